#pragma once

#include <QString>

// The path "Rename To .mib" gives a file: its name is cut after its first "." and "mib" is
// appended (IF-MIB.my.txt becomes IF-MIB.mib). Dots in folder names do not count. A name without
// a dot yields the path unchanged.
QString mibRenameTarget(const QString &path);
