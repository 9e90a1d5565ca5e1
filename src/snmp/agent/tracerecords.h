#pragma once

#include <QString>
#include <QStringList>

struct SnmpMessage;
struct V1Trap;

// The lines of a request record as it came, and of a response as it goes out; the time stamp
// comes first when they are written.
QStringList requestRecord(const QString &name, const SnmpMessage &message);
// An answer spoiled on purpose says so, so that the trace does not look like the row's fault.
QStringList responseRecord(const SnmpMessage &message, bool malformed = false);

// A notification as it goes to `destination` ("address:port"), and an INFORM's
// acknowledgement as it came from there.
QStringList notificationRecord(const QString &name, const QString &destination,
                               const SnmpMessage &pdu);
QStringList v1TrapRecord(const QString &destination, const V1Trap &trap);
QStringList acknowledgementRecord(const QString &destination, qint32 requestId);
