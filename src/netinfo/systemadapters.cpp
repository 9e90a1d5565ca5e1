#include "systemadapters.h"

#include <QFile>
#include <QHostAddress>
#include <QNetworkInterface>

namespace {

QString defaultRouteInterface()
{
    // /proc/net/route: Iface Destination Gateway ...; destination 00000000 is the default.
    QFile routes(QStringLiteral("/proc/net/route"));
    if (!routes.open(QIODevice::ReadOnly))
        return {};
    const QList<QByteArray> lines = routes.readAll().split('\n');
    for (const QByteArray &line : lines) {
        const QList<QByteArray> fields = line.simplified().split(' ');
        if (fields.size() > 2 && fields.at(1) == "00000000")
            return QString::fromLatin1(fields.at(0));
    }
    return {};
}

QString typeName(QNetworkInterface::InterfaceType type)
{
    switch (type) {
    case QNetworkInterface::Ethernet: return QStringLiteral("Ethernet");
    case QNetworkInterface::Loopback: return QStringLiteral("Loopback");
    case QNetworkInterface::Wifi: return QStringLiteral("Wireless");
    case QNetworkInterface::Virtual: return QStringLiteral("Virtual");
    case QNetworkInterface::Ppp: return QStringLiteral("PPP");
    default: return QStringLiteral("Other");
    }
}

AdapterRecord recordOf(const QNetworkInterface &nic)
{
    AdapterRecord record;
    record.name = nic.humanReadableName();
    record.type = typeName(nic.type());
    record.physicalAddress = nic.hardwareAddress();
    QStringList others;
    for (const QNetworkAddressEntry &entry : nic.addressEntries()) {
        const QHostAddress ip = entry.ip();
        if (ip.protocol() == QAbstractSocket::IPv4Protocol) {
            if (record.ipv4Address.isEmpty()) {
                record.ipv4Address = ip.toString();
                record.subnetMask = entry.netmask().toString();
            } else {
                others.append(ip.toString());
            }
        } else if (ip.protocol() == QAbstractSocket::IPv6Protocol) {
            if (record.ipv6Address.isEmpty())
                record.ipv6Address = ip.toString();
            else
                others.append(ip.toString());
        }
    }
    record.otherAddresses = others.join(QLatin1Char(' '));
    return record;
}

} // namespace

AdapterSnapshot readSystemAdapters()
{
    AdapterSnapshot snapshot;
    const QString routed = defaultRouteInterface();
    int firstUp = -1;
    for (const QNetworkInterface &nic : QNetworkInterface::allInterfaces()) {
        const int index = int(snapshot.adapters.size());
        snapshot.adapters.append(recordOf(nic));
        const bool up = nic.flags().testFlag(QNetworkInterface::IsUp);
        const bool loopback = nic.flags().testFlag(QNetworkInterface::IsLoopBack);
        if (!routed.isEmpty() && nic.name() == routed)
            snapshot.currentIndex = index;
        if (firstUp < 0 && up && !loopback && !snapshot.adapters.last().ipv4Address.isEmpty())
            firstUp = index;
    }
    if (snapshot.currentIndex < 0)
        snapshot.currentIndex = firstUp;
    return snapshot;
}
