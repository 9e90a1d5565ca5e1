#pragma once

#include <QString>
#include <QStringList>

struct SnmpMessage;

// The lines of a request record as it came, and of a response as it goes out; the time stamp
// comes first when they are written.
QStringList requestRecord(const QString &name, const SnmpMessage &message);
// An answer spoiled on purpose says so, so that the trace does not look like the row's fault.
QStringList responseRecord(const SnmpMessage &message, bool malformed = false);
