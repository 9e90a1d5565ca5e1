#pragma once

#include "common/core/version.h"

#include <QString>

// The main window's caption keeps its two leading blanks; message boxes use the plain name.
inline QString mainWindowTitle()
{
    return QStringLiteral("  Velmor SNMP Test Tool, ver " VELMOR_VERSION);
}
inline QString applicationTitle()
{
    return QStringLiteral("Velmor SNMP Test Tool");
}
