# Sourced by the scripts: installs with apt-get whatever of the build and test needs is missing.
VELMOR_PACKAGES=(cmake ninja-build g++ ccache qt6-base-dev qt6-base-dev-tools libgl-dev
  fonts-dejavu-core snmp snmpd dos2unix libcap2-bin libssl-dev clang-format snmptrapd)

velmor_install_missing() {
  local missing=()
  for pkg in "${VELMOR_PACKAGES[@]}"; do
    dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q "install ok installed" || missing+=("$pkg")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "Installing: ${missing[*]}"
  local sudo=""
  [ "$(id -u)" -ne 0 ] && sudo="sudo"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" </dev/null
}

# Configures and builds one build folder: velmor_build DIR BUILD_TYPE [extra cmake args...]
velmor_build() {
  local dir=$1 type=$2
  shift 2
  cmake -S "$VELMOR_ROOT" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE="$type" "$@" >/dev/null
  cmake --build "$dir" -j "$(nproc)"
}

# Fails, naming them, when a C++ file of the tree is not as clang-format writes it.
velmor_check_format() {
  local files
  mapfile -t files < <(cd "$VELMOR_ROOT" && find src tests bench tools -name '*.h' -o -name '*.cpp' | sort)
  (cd "$VELMOR_ROOT" && clang-format --dry-run --Werror "${files[@]}")
}
