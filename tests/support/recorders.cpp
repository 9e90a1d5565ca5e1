#include "recorders.h"
