#include "netinfo/dhcplease.h"
#include "netinfo/leasefiles.h"
#include "netinfo/resolverconfig.h"
#include "netinfo/routetable.h"
#include "netinfo/systemadapters.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

namespace {

QDateTime utc(int year, int month, int day, int hour, int minute, int second)
{
    return QDateTime(QDate(year, month, day), QTime(hour, minute, second), QTimeZone::utc());
}

void writeFile(const QString &path, const QByteArray &bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

// Two interfaces, two leases for eth0 over time; quotes and comments hold ';' and '}'.
const QByteArray DhclientSample = R"(default-duid "\000\001\000\001";
lease {
  interface "eth0";
  fixed-address 10.1.2.3;
  option dhcp-lease-time 3600;
  option dhcp-server-identifier 10.1.2.1;
  expire 3 2026/12/02 01:00:00;
}
lease {
  interface "wlan0";
  fixed-address 10.9.9.9;
  option dhcp-server-identifier 10.9.9.1;
  expire 3 2026/12/02 02:00:00;
}
# renewed; the newest block comes last }
lease {
  interface "eth0";
  fixed-address 10.1.2.3;
  option domain-search "lab; }odd";
  option dhcp-lease-time 86400;
  option dhcp-server-identifier 10.1.2.254;
  renew 3 2026/12/02 12:00:00;
  expire 4 2026/12/03 0:30:05;
}
)";

} // namespace

class TstAdapterParsers : public QObject
{
    Q_OBJECT
private slots:
    void defaultRoutesAndGateways();
    void nameServers();
    void dhclientLeases();
    void keyValueLeases();
    void staleLeasesAreIgnored();
    void leaseTimesAreLocalIso();
    void leaseFilesOfTheUsualClients();
    void wirelessIsNotEthernet();
};

void TstAdapterParsers::defaultRoutesAndGateways()
{
    const QByteArray table =
        "Iface\tDestination\tGateway \tFlags\tRefCnt\tUse\tMetric\tMask\t\tMTU\tWindow\tIRTT\n"
        "wlan0\t00000000\t0101A8C0\t0003\t0\t0\t600\t00000000\t0\t0\t0\n"
        "eth0\t00000000\t0102000A\t0003\t0\t0\t100\t00000000\t0\t0\t0\n"
        "eth0\t0002000A\t00000000\t0001\t0\t0\t100\t00FFFFFF\t0\t0\t0\n"
        "eth1\t00000000\t0103000A\t0002\t0\t0\t1\t00000000\t0\t0\t0\n"   // not up
        "tun0\t00000000\t00000000\t0001\t0\t0\t700\t00000000\t0\t0\t0\n" // no next hop
        "broken\t0000\n";
    const QList<DefaultRoute> routes = parseDefaultRoutes(table);
    QCOMPARE(routes.size(), 3);
    QCOMPARE(routes.at(0).interfaceName, QStringLiteral("eth0")); // lowest metric first
    QCOMPARE(routes.at(0).gateway, QStringLiteral("10.0.2.1"));
    QCOMPARE(gatewayOf(routes, "wlan0"), QStringLiteral("192.168.1.1"));
    QCOMPARE(routes.at(2).interfaceName, QStringLiteral("tun0"));
    QCOMPARE(gatewayOf(routes, "tun0"), QString());
    QCOMPARE(gatewayOf(routes, "eth1"), QString());
}

void TstAdapterParsers::nameServers()
{
    const QByteArray conf = "# written by hand\n"
                            "search lab.example\n"
                            "nameserver\t10.0.0.53\n"
                            "  nameserver 2001:db8::53  \n"
                            "; nameserver 10.0.0.99\n"
                            "nameserver 10.0.0.53\n"
                            "options edns0\n";
    QCOMPARE(parseNameServers(conf), QStringList({"10.0.0.53", "2001:db8::53"}));

    const QByteArray stub = "nameserver 127.0.0.53\noptions edns0 trust-ad\n";
    const QByteArray upstream = "nameserver 10.0.0.1\nnameserver 10.0.0.2\n";
    QCOMPARE(chooseNameServers(stub, upstream), QStringList({"10.0.0.1", "10.0.0.2"}));
    // A resolv.conf naming real servers is what the resolver uses, whatever else exists.
    QCOMPARE(chooseNameServers(conf, upstream), QStringList({"10.0.0.53", "2001:db8::53"}));
    QCOMPARE(chooseNameServers(stub, QByteArray()), QStringList({"127.0.0.53"}));
}

void TstAdapterParsers::dhclientLeases()
{
    const auto eth0 = parseDhclientLease(DhclientSample, "eth0");
    QVERIFY(eth0);
    QCOMPARE(eth0->address, QStringLiteral("10.1.2.3"));
    QCOMPARE(eth0->server, QStringLiteral("10.1.2.254"));
    QCOMPARE(eth0->expires, utc(2026, 12, 3, 0, 30, 5));
    QCOMPARE(eth0->obtained, utc(2026, 12, 2, 0, 30, 5));

    // Without a lease time the moment it was obtained is unknown.
    const auto wlan0 = parseDhclientLease(DhclientSample, "wlan0");
    QVERIFY(wlan0);
    QCOMPARE(wlan0->server, QStringLiteral("10.9.9.1"));
    QVERIFY(!wlan0->obtained.isValid());

    QVERIFY(!parseDhclientLease(DhclientSample, "eth1"));
    QVERIFY(!parseDhclientLease("lease { interface \"eth0\"; fixed-addr", "eth0"));

    const QByteArray epoch = "lease {\n interface \"eth0\";\n fixed-address 10.1.2.3;\n"
                             " expire epoch 1796173200; # Wed Dec  2 01:00:00 2026\n}\n";
    QCOMPARE(parseDhclientLease(epoch, "eth0")->expires,
             QDateTime::fromSecsSinceEpoch(1796173200, QTimeZone::utc()));
    const QByteArray never = "lease { interface \"eth0\"; fixed-address 10.1.2.3; expire never; }";
    QVERIFY(!parseDhclientLease(never, "eth0")->expires.isValid());
}

void TstAdapterParsers::keyValueLeases()
{
    const QByteArray networkd = "# This is private data. Do not parse.\n"
                                "ADDRESS=10.4.0.20\n"
                                "NETMASK=255.255.255.0\n"
                                "ROUTER=10.4.0.1\n"
                                "SERVER_ADDRESS=10.4.0.2\n"
                                "LIFETIME=7200\n";
    const QDateTime written = utc(2026, 12, 6, 9, 0, 0);
    const auto lease = parseKeyValueLease(networkd, written);
    QVERIFY(lease);
    QCOMPARE(lease->address, QStringLiteral("10.4.0.20"));
    QCOMPARE(lease->server, QStringLiteral("10.4.0.2"));
    QCOMPARE(lease->obtained, written);
    QCOMPARE(lease->expires, utc(2026, 12, 6, 11, 0, 0));

    // NetworkManager's own client keeps only the address.
    const auto bare = parseKeyValueLease("ADDRESS=10.4.0.21\n", written);
    QVERIFY(bare);
    QVERIFY(bare->server.isEmpty());
    QVERIFY(!bare->expires.isValid());
    QVERIFY(!parseKeyValueLease("LIFETIME=7200\n", written));
}

void TstAdapterParsers::staleLeasesAreIgnored()
{
    const DhcpLease old{"10.0.0.5", "10.0.0.1", {}, utc(2026, 1, 1, 0, 0, 0)};
    const DhcpLease newer{"10.0.0.5", "10.0.0.2", {}, utc(2026, 6, 1, 0, 0, 0)};
    const DhcpLease elsewhere{"10.7.7.7", "10.7.7.1", {}, utc(2026, 12, 1, 0, 0, 0)};
    QCOMPARE(chooseLease({old, newer, elsewhere}, {"10.0.0.5"})->server,
             QStringLiteral("10.0.0.2"));
    QCOMPARE(chooseLease({newer, old}, {"10.0.0.5"})->server, QStringLiteral("10.0.0.2"));
    QVERIFY(!chooseLease({elsewhere}, {"10.0.0.5"}));
}

void TstAdapterParsers::leaseTimesAreLocalIso()
{
    QCOMPARE(leaseTimeText(QDateTime()), QString());
    const QDateTime moment = utc(2026, 12, 3, 0, 30, 5);
    const QString text = leaseTimeText(moment);
    QVERIFY2(QRegularExpression(R"(^\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d(Z|[+-]\d\d:\d\d)$)")
                 .match(text)
                 .hasMatch(),
             qPrintable(text));
    // The clock reading is the local one, and the text names the same instant.
    const QDateTime local = moment.toLocalTime();
    QVERIFY(text.startsWith(local.toString("yyyy-MM-ddTHH:mm:ss")));
    QCOMPARE(QDateTime::fromString(text, Qt::ISODate), moment);
}

void TstAdapterParsers::leaseFilesOfTheUsualClients()
{
    QTemporaryDir root;
    const QString base = root.path() + "/";
    writeFile(base + "run/systemd/netif/leases/4", "ADDRESS=10.4.0.20\nLIFETIME=60\n");
    writeFile(base + "run/systemd/netif/leases/5", "ADDRESS=10.5.0.20\n");
    writeFile(base + "var/lib/NetworkManager/internal-5f1e-eth0.lease", "ADDRESS=10.4.0.21\n");
    writeFile(base + "var/lib/NetworkManager/internal-5f1e-eth00.lease", "ADDRESS=10.4.0.99\n");
    writeFile(base + "var/lib/NetworkManager/dhclient-77aa-eth0.lease",
              "lease { interface \"eth0\"; fixed-address 10.4.0.22; }\n");
    writeFile(base + "var/lib/dhcp/dhclient.eth0.leases", DhclientSample);
    writeFile(base + "var/lib/dhcp/dhclient6.eth0.leases",
              "lease { interface \"eth0\"; fixed-address 10.4.0.66; }\n");

    QStringList addresses;
    for (const DhcpLease &lease : readLeases(root.path(), "eth0", 4))
        addresses.append(lease.address);
    addresses.sort();
    QCOMPARE(addresses, QStringList({"10.1.2.3", "10.4.0.20", "10.4.0.21", "10.4.0.22"}));

    QVERIFY(readLeases(root.path(), "eth7", 7).isEmpty());
    QVERIFY(readLeases(root.path() + "/missing", "eth0", 4).isEmpty());
}

void TstAdapterParsers::wirelessIsNotEthernet()
{
    const QByteArray wlan = "DEVTYPE=wlan\nINTERFACE=wlan0\nIFINDEX=3\n";
    const QByteArray bridge = "DEVTYPE=bridge\nINTERFACE=br0\n";
    QCOMPARE(adapterTypeName(QNetworkInterface::Ethernet, wlan), QStringLiteral("Wireless"));
    QCOMPARE(adapterTypeName(QNetworkInterface::Ethernet, bridge), QStringLiteral("Ethernet"));
    QCOMPARE(adapterTypeName(QNetworkInterface::Ethernet, QByteArray()),
             QStringLiteral("Ethernet"));
}

QTEST_GUILESS_MAIN(TstAdapterParsers)
#include "tst_adapterparsers.moc"
