#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

// One IPv4 default route of the kernel's routing table.
struct DefaultRoute
{
    QString interfaceName;
    QString gateway; // dotted quad; empty for a route without a next hop
    quint32 metric = 0;
};

// The usable default routes listed in /proc/net/route text, lowest metric first.
QList<DefaultRoute> parseDefaultRoutes(const QByteArray &procNetRoute);

// The gateway of the interface's best default route; empty when it has none.
QString gatewayOf(const QList<DefaultRoute> &routes, const QString &interfaceName);
