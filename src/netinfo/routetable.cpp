#include "routetable.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr quint32 RouteUp = 0x0001;
constexpr quint32 RouteViaGateway = 0x0002;

// The kernel prints the address as the 32-bit word it holds in network byte order, so the
// bytes of that word in memory are the address bytes in order.
QString dottedQuad(quint32 word)
{
    unsigned char bytes[4];
    std::memcpy(bytes, &word, sizeof bytes);
    return QStringLiteral("%1.%2.%3.%4").arg(bytes[0]).arg(bytes[1]).arg(bytes[2]).arg(bytes[3]);
}

bool readHex(const QByteArray &field, quint32 &value)
{
    bool ok = false;
    value = field.toUInt(&ok, 16);
    return ok;
}

} // namespace

QList<DefaultRoute> parseDefaultRoutes(const QByteArray &procNetRoute)
{
    // Iface Destination Gateway Flags RefCnt Use Metric Mask MTU Window IRTT
    QList<DefaultRoute> routes;
    const QList<QByteArray> lines = procNetRoute.split('\n');
    for (const QByteArray &line : lines) {
        const QList<QByteArray> fields = line.simplified().split(' ');
        if (fields.size() < 8)
            continue;
        quint32 destination = 0, gateway = 0, flags = 0, mask = 0;
        bool metricOk = false;
        const quint32 metric = fields.at(6).toUInt(&metricOk);
        if (!readHex(fields.at(1), destination) || !readHex(fields.at(2), gateway) ||
            !readHex(fields.at(3), flags) || !readHex(fields.at(7), mask) || !metricOk)
            continue; // the heading, or a damaged line
        if (destination != 0 || mask != 0 || !(flags & RouteUp))
            continue;
        DefaultRoute route;
        route.interfaceName = QString::fromLatin1(fields.at(0));
        if (flags & RouteViaGateway)
            route.gateway = dottedQuad(gateway);
        route.metric = metric;
        routes.append(route);
    }
    std::stable_sort(
        routes.begin(), routes.end(),
        [](const DefaultRoute &a, const DefaultRoute &b) { return a.metric < b.metric; });
    return routes;
}

QString gatewayOf(const QList<DefaultRoute> &routes, const QString &interfaceName)
{
    for (const DefaultRoute &route : routes) {
        if (route.interfaceName == interfaceName)
            return route.gateway;
    }
    return {};
}
