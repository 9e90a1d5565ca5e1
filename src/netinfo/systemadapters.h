#pragma once

#include "adapterinfo.h"

// The machine's adapters as the operating system reports them. The current adapter is the one
// that carries the default route, else the first non-loopback adapter that is up.
AdapterSnapshot readSystemAdapters();
