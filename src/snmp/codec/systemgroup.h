#pragma once

#include <QByteArrayView>
#include <QString>

// The seven objects of the MIB-II system group, sysDescr.0 (1) to sysServices.0 (7).
namespace SystemGroup {
constexpr int Objects = 7;
constexpr int Uptime = 3;
constexpr int Services = 7;

// The content of object `number`'s identifier, and its dotted text.
QByteArrayView content(int number);
const QString &oid(int number);
// The object an identifier's content names: 1 to 7, or 0. The short form without the ".0"
// names it too where `shortForm` is allowed.
int numberOf(QByteArrayView content, bool shortForm = false);
} // namespace SystemGroup
