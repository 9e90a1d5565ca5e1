#include "systemadapters.h"

#include "dhcplease.h"
#include "leasefiles.h"
#include "resolverconfig.h"
#include "routetable.h"

#include <QFile>
#include <QHostAddress>

namespace {

const QString ListSeparator = QStringLiteral(", ");

QByteArray contentsOf(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// What every adapter record draws on besides the interface itself.
struct SystemTables
{
    QList<DefaultRoute> defaultRoutes;
    QStringList nameServers;
};

// The scope suffix ("%eth0") only repeats the adapter the line belongs to.
QString addressText(QHostAddress address)
{
    address.setScopeId(QString());
    return address.toString();
}

void fillAddresses(const QNetworkInterface &nic, AdapterRecord &record, QStringList &ipv4)
{
    QStringList ipv6Global;
    QStringList ipv6Local;
    for (const QNetworkAddressEntry &entry : nic.addressEntries()) {
        const QHostAddress ip = entry.ip();
        if (ip.protocol() == QAbstractSocket::IPv4Protocol) {
            if (ipv4.isEmpty())
                record.subnetMask = entry.netmask().toString();
            ipv4.append(ip.toString());
        } else if (ip.protocol() == QAbstractSocket::IPv6Protocol) {
            (ip.isLinkLocal() ? ipv6Local : ipv6Global).append(addressText(ip));
        }
    }
    // A global IPv6 address is the one others reach the adapter by; link-local ones come after.
    QStringList ipv6 = ipv6Global + ipv6Local;
    QStringList others = ipv4.mid(1);
    if (!ipv4.isEmpty())
        record.ipv4Address = ipv4.first();
    if (!ipv6.isEmpty())
        record.ipv6Address = ipv6.takeFirst();
    others += ipv6;
    record.otherAddresses = others.join(ListSeparator);
}

AdapterRecord recordOf(const QNetworkInterface &nic, const SystemTables &tables)
{
    AdapterRecord record;
    record.name = nic.name();
    record.type = adapterTypeName(
        nic.type(), contentsOf(QStringLiteral("/sys/class/net/%1/uevent").arg(nic.name())));
    record.physicalAddress = nic.hardwareAddress();
    QStringList ipv4;
    fillAddresses(nic, record, ipv4);
    record.gateway = gatewayOf(tables.defaultRoutes, nic.name());

    const QNetworkInterface::InterfaceFlags flags = nic.flags();
    // The resolver serves the whole machine; it is listed where it can be reached through.
    if (flags.testFlag(QNetworkInterface::IsUp) && !flags.testFlag(QNetworkInterface::IsLoopBack))
        record.dnsServer = tables.nameServers.join(ListSeparator);

    const auto lease = chooseLease(readLeases(QStringLiteral("/"), nic.name(), nic.index()), ipv4);
    if (lease) {
        record.dhcpEnabled = true;
        record.dhcpServer = lease->server;
        record.leaseObtained = leaseTimeText(lease->obtained);
        record.leaseExpires = leaseTimeText(lease->expires);
    }
    return record;
}

int indexOfName(const QList<AdapterRecord> &adapters, const QString &name)
{
    for (int i = 0; i < adapters.size(); ++i) {
        if (adapters.at(i).name == name)
            return i;
    }
    return -1;
}

} // namespace

QString adapterTypeName(QNetworkInterface::InterfaceType type, const QByteArray &uevent)
{
    switch (type) {
    case QNetworkInterface::Ethernet:
        return uevent.split('\n').contains("DEVTYPE=wlan") ? QStringLiteral("Wireless")
                                                           : QStringLiteral("Ethernet");
    case QNetworkInterface::Loopback:
        return QStringLiteral("Loopback");
    case QNetworkInterface::Wifi:
        return QStringLiteral("Wireless");
    case QNetworkInterface::Virtual:
        return QStringLiteral("Virtual");
    case QNetworkInterface::Ppp:
        return QStringLiteral("PPP");
    default:
        return QStringLiteral("Other");
    }
}

AdapterSnapshot readSystemAdapters()
{
    SystemTables tables;
    tables.defaultRoutes = parseDefaultRoutes(contentsOf(QStringLiteral("/proc/net/route")));
    tables.nameServers =
        chooseNameServers(contentsOf(QStringLiteral("/etc/resolv.conf")),
                          contentsOf(QStringLiteral("/run/systemd/resolve/resolv.conf")));

    AdapterSnapshot snapshot;
    int firstUp = -1;
    int firstUpWithAddress = -1;
    for (const QNetworkInterface &nic : QNetworkInterface::allInterfaces()) {
        const int index = int(snapshot.adapters.size());
        snapshot.adapters.append(recordOf(nic, tables));
        const QNetworkInterface::InterfaceFlags flags = nic.flags();
        if (!flags.testFlag(QNetworkInterface::IsUp) ||
            flags.testFlag(QNetworkInterface::IsLoopBack))
            continue;
        if (firstUp < 0)
            firstUp = index;
        if (firstUpWithAddress < 0 && !snapshot.adapters.last().ipv4Address.isEmpty())
            firstUpWithAddress = index;
    }
    // Routes are ordered by metric, so the first one the adapters know is the one in use.
    for (const DefaultRoute &route : tables.defaultRoutes) {
        snapshot.currentIndex = indexOfName(snapshot.adapters, route.interfaceName);
        if (snapshot.currentIndex >= 0)
            break;
    }
    if (snapshot.currentIndex < 0)
        snapshot.currentIndex = firstUpWithAddress >= 0 ? firstUpWithAddress : firstUp;
    return snapshot;
}
