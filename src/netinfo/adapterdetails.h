#pragma once

#include <QStringList>

class AdapterInfo;

// The eleven detail lines of the component's current adapter: label, two TABs, value.
QStringList adapterDetailLines(const AdapterInfo &ipInfo);
