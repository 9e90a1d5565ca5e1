#include "netinfo/adapterinfo.h"
#include "netinfo/dhcplease.h"
#include "netinfo/frmnicinfo.h"
#include "netinfo/leasefiles.h"
#include "netinfo/resolverconfig.h"
#include "netinfo/routetable.h"
#include "netinfo/systemadapters.h"
#include "support/listhelpers.h"
#include "support/testwindow.h"

#include <QHostAddress>
#include <QtTest>

namespace {

const QStringList Labels = {
    "Physical Address :", "IPv4 Address :",   "Other Addresses :", "Subnet Mask :",
    "Gateway :",          "IPv6 Address :",   "DNS Server :",      "DHCP Enabled :",
    "DHCP Server :",      "Lease Obtained :", "Lease Expires :"};

// The eleven lines of an adapter with these values, label and value two TABs apart.
QStringList detailLines(const QStringList &values)
{
    QStringList lines;
    for (int i = 0; i < Labels.size(); ++i)
        lines.append(Labels.at(i) + "\t\t" + values.value(i, i == 7 ? "False" : ""));
    return lines;
}

// The values of a leased adapter, in the order of the labels.
const QStringList Eth0 = QString("02:00:00:00:00:0A|127.0.0.10|127.0.0.11, fe80::a|255.255.255.0|"
                                 "127.0.0.1|fd00::a|127.0.0.53, ::1|True|127.0.0.2|"
                                 "2026-12-06T10:00:00+01:00|2026-12-07T10:00:00+01:00")
                             .split('|');
const QStringList Usb1 = {"02:00:00:00:00:14", "127.0.0.20"};

AdapterRecord adapterShowing(const QString &name, const QString &type, QStringList v)
{
    v.resize(Labels.size());
    return {name, type, v[0],           v[1], v[2], v[3], v[4],
            v[5], v[6], v[7] == "True", v[8], v[9], v[10]};
}

// Empty, or one address of the protocol.
bool isAddress(const QString &text, QAbstractSocket::NetworkLayerProtocol protocol)
{
    return text.isEmpty() || QHostAddress(text).protocol() == protocol;
}

// The address lines of one adapter: one address each, a mask with an address, IPv6 without
// a zone, and no lease data without a lease.
void checkDetailLines(const QListWidget *list)
{
    const QStringList v = entries(list).replaceInStrings(QRegularExpression("^[^\t]*\t\t"), "");
    const QByteArray all = v.join(" | ").toUtf8();
    QCOMPARE(v.size(), Labels.size());
    const auto ipv4 = QAbstractSocket::IPv4Protocol;
    QVERIFY2(isAddress(v[1], ipv4) && isAddress(v[3], ipv4) && isAddress(v[4], ipv4), all);
    QCOMPARE(v[3].isEmpty(), v[1].isEmpty());
    QVERIFY2(isAddress(v[5], QAbstractSocket::IPv6Protocol) && !v[5].contains('%'), all);
    QVERIFY2(v[7] == "True" || (v[7] == "False" && v.mid(8) == QStringList(3)), all);
}

// A lease on one line (times in UTC), "none" for no lease.
QString leaseText(const std::optional<DhcpLease> &lease)
{
    const auto utc = [](const QDateTime &time) { return time.toUTC().toString(Qt::ISODate); };
    return lease ? QStringList{lease->address, lease->server, utc(lease->obtained),
                               utc(lease->expires)}
                       .join(' ')
                 : "none";
}

// Two leases for eth0 over time, the newest last; quotes and comments hold ';' and '}'.
const QByteArray DhclientSample = R"(default-duid "\000\001\000\001";
lease { interface "eth0"; fixed-address 192.0.2.3; option dhcp-lease-time 3600;
  option dhcp-server-identifier 192.0.2.1; expire 3 2026/12/02 01:00:00; }
# renewed; the newest block comes last }
lease { interface "eth0"; fixed-address 192.0.2.3; option domain-search "lab; }odd";
  option dhcp-lease-time 86400; option dhcp-server-identifier 192.0.2.254;
  expire 4 2026/12/03 0:30:05;
}
)";

} // namespace

class TstNicInfo : public QObject
{
    Q_OBJECT
private slots:
    void listsEthernetAdaptersAndShowsTheOneInUse();
    void realAdaptersGiveWellFormedLines();
    void routesNameServersAdapterTypesAndLeases();
};

void TstNicInfo::listsEthernetAdaptersAndShowsTheOneInUse()
{
    // A loopback, a leased Ethernet adapter, a wireless one and one whose type text is oddly
    // cased. Start-up took its address from the wireless adapter, not listed: the first one
    // listed is shown.
    TestWindow test(
        {{adapterRecord("lo", "Loopback", "127.0.0.1"), adapterShowing("eth0", "Ethernet", Eth0),
          adapterRecord("wlan0", "Wireless"), adapterShowing("usb1", "EtHeRnEt", Usb1)},
         2});
    FrmMain &main = test.open();
    main.cmdNetInfo_Click();
    // The handler must return at once (no nested loop of its own) with the window up and modal,
    // so the agents and services keep being served.
    QPointer<FrmNicInfo> window = main.findChild<FrmNicInfo *>();
    QVERIFY(window && window->isVisible());
    QCOMPARE(window->windowModality(), Qt::ApplicationModal);
    QCOMPARE(entries(window->lbxNIC), QStringList({"eth0", "usb1"}));
    QCOMPARE(entries(window->lbxAdapterInfo), detailLines(Eth0));
    // Clicks and keys move the current entry; the details follow it, never a neighbour's values.
    QTest::keyClick(window->lbxNIC, Qt::Key_Down);
    QCOMPARE(entries(window->lbxAdapterInfo), detailLines(Usb1));
    // Loading again in place must not append to what is there.
    window->Form_Load();
    QCOMPARE(entries(window->lbxNIC), QStringList({"eth0", "usb1"}));
    QCOMPARE(entries(window->lbxAdapterInfo), detailLines(Eth0));
    // Closing unloads the window, so a second opening leaves exactly one behind.
    window->close();
    QTRY_VERIFY(window.isNull());
    main.cmdNetInfo_Click();
    QCOMPARE(main.findChildren<FrmNicInfo *>().size(), 1);
    // Start-up's address source is where the window found it.
    QCOMPARE(test.ipInfo.currentAdapter(), 2);
    QVERIFY(test.messages.texts.isEmpty());

    // Only other adapters: nothing listed, and no stray adapter's values shown.
    AdapterInfo none(
        {{adapterRecord("lo", "Loopback", "127.0.0.1"), adapterRecord("ppp0", "PPP")}, 0});
    FrmNicInfo empty(none);
    QCOMPARE(empty.lbxNIC->count(), 0);
    QCOMPARE(entries(empty.lbxAdapterInfo), detailLines({}));
    QCOMPARE(none.currentAdapter(), 0);
}

// Whatever adapters this machine has, the window lists its Ethernet ones and their lines are
// well formed.
void TstNicInfo::realAdaptersGiveWellFormedLines()
{
    AdapterInfo ipInfo(readSystemAdapters);
    // Start-up's address is an IPv4 address, and never a loopback adapter's unless the machine
    // has nothing else.
    QVERIFY2(!ipInfo.ipv4Address().isEmpty() &&
                 isAddress(ipInfo.ipv4Address(), QAbstractSocket::IPv4Protocol),
             qPrintable(ipInfo.ipv4Address()));
    QVERIFY(ipInfo.adapterType() != QStringLiteral("Loopback"));
    FrmNicInfo window(ipInfo);
    for (int row = 0; row < window.lbxNIC->count(); ++row) {
        QVERIFY(!window.lbxNIC->item(row)->text().isEmpty());
        window.lbxNIC->setCurrentRow(row);
        checkDetailLines(window.lbxAdapterInfo);
    }
}

void TstNicInfo::routesNameServersAdapterTypesAndLeases()
{
    const QByteArray table =
        "Iface\tDestination\tGateway \tFlags\tRefCnt\tUse\tMetric\tMask\t\tMTU\tWindow\tIRTT\n"
        "wlan0\t00000000\t017100CB\t0003\t0\t0\t600\t00000000\t0\t0\t0\n"
        "eth0\t00000000\t016433C6\t0003\t0\t0\t100\t00000000\t0\t0\t0\n"
        "eth0\t006433C6\t00000000\t0001\t0\t0\t100\t00FFFFFF\t0\t0\t0\n"
        "eth1\t00000000\t016533C6\t0002\t0\t0\t1\t00000000\t0\t0\t0\n"   // not up
        "tun0\t00000000\t00000000\t0001\t0\t0\t700\t00000000\t0\t0\t0\n" // no next hop
        "broken\t0000\n";
    const QList<DefaultRoute> routes = parseDefaultRoutes(table);
    QStringList found; // lowest metric first
    for (const DefaultRoute &route : routes)
        found.append(route.interfaceName + " " + route.gateway);
    QCOMPARE(found, QStringList({"eth0 198.51.100.1", "wlan0 203.0.113.1", "tun0 "}));
    QCOMPARE(gatewayOf(routes, "wlan0"), QStringLiteral("203.0.113.1"));
    QCOMPARE(gatewayOf(routes, "eth1"), QString());

    const QByteArray conf = "# written by hand\nsearch lab.example\nnameserver\t100.64.0.53\n"
                            "  nameserver 2001:db8::53  \n; nameserver 100.64.0.99\n"
                            "nameserver 100.64.0.53\noptions edns0\n";
    // Comments and repeats are skipped. Behind the local stub the upstream servers are the ones
    // queries go to; a resolv.conf naming real servers is what the resolver uses.
    const QByteArray stub = "nameserver 127.0.0.53\noptions edns0 trust-ad\n";
    const QByteArray upstream = "nameserver 100.64.0.1\nnameserver 100.64.0.2\n";
    QCOMPARE(chooseNameServers(stub, upstream), QStringList({"100.64.0.1", "100.64.0.2"}));
    QCOMPARE(chooseNameServers(conf, upstream), QStringList({"100.64.0.53", "2001:db8::53"}));
    QCOMPARE(chooseNameServers(stub, QByteArray()), QStringList({"127.0.0.53"}));

    // Wireless adapters look like Ethernet at the link layer.
    const auto ethernet = QNetworkInterface::Ethernet;
    QCOMPARE(adapterTypeName(ethernet, "DEVTYPE=wlan\nINTERFACE=wlan0\nIFINDEX=3\n"), "Wireless");
    QCOMPARE(adapterTypeName(ethernet, {}), "Ethernet");

    const auto dhclient = [](const QByteArray &text, const char *adapter) {
        return leaseText(parseDhclientLease(text, adapter));
    };
    QCOMPARE(dhclient(DhclientSample, "eth0"),
             "192.0.2.3 192.0.2.254 2026-12-02T00:30:05Z 2026-12-03T00:30:05Z");
    QCOMPARE(dhclient(DhclientSample, "eth1"), "none");
    // Without a lease time the moment it was obtained is unknown.
    QCOMPARE(dhclient("lease {\n interface \"eth0\";\n fixed-address 192.0.2.3;\n"
                      " expire epoch 1796173200; # Wed Dec  2 01:00:00 2026\n}\n",
                      "eth0"),
             "192.0.2.3   2026-12-02T01:00:00Z");
    // Shown as the local clock reading with its offset, naming the same instant.
    const QDateTime expires = parseDhclientLease(DhclientSample, "eth0")->expires;
    const QString text = leaseTimeText(expires);
    QVERIFY(text.startsWith(expires.toLocalTime().toString("yyyy-MM-ddTHH:mm:ss")));
    QCOMPARE(QDateTime::fromString(text, Qt::ISODate), expires);

    const QByteArray networkd = "# This is private data. Do not parse.\nADDRESS=198.51.100.20\n"
                                "SERVER_ADDRESS=198.51.100.2\nLIFETIME=7200\n";
    const QDateTime written(QDate(2026, 12, 6), QTime(9, 0), QTimeZone::utc());
    QCOMPARE(leaseText(parseKeyValueLease(networkd, written)),
             "198.51.100.20 198.51.100.2 2026-12-06T09:00:00Z 2026-12-06T11:00:00Z");
    QCOMPARE(leaseText(parseKeyValueLease("LIFETIME=7200\n", written)), "none");
    // A lease for an address the adapter no longer has is stale; of the others the latest
    // expiring counts.
    const DhcpLease old{"100.64.0.5", "100.64.0.1", {}, written.addDays(-300)};
    const DhcpLease newer{"100.64.0.5", "100.64.0.2", {}, written.addDays(-200)};
    const DhcpLease elsewhere{"100.71.7.7", "100.71.7.1", {}, written.addDays(-10)};
    QCOMPARE(chooseLease({old, newer, elsewhere}, {"100.64.0.5"})->server, "100.64.0.2");
    QVERIFY(!chooseLease({elsewhere}, {"100.64.0.5"}));

    QTemporaryDir root;
    const auto place = [&root](const QString &path, const QByteArray &text) {
        writeFile(root.filePath(path), text);
    };
    place("run/systemd/netif/leases/4", "ADDRESS=198.51.100.20\nLIFETIME=60\n");
    place("run/systemd/netif/leases/5", "ADDRESS=100.69.0.20\n");
    place("var/lib/NetworkManager/internal-5f1e-eth0.lease", "ADDRESS=198.51.100.21\n");
    place("var/lib/NetworkManager/internal-5f1e-eth00.lease", "ADDRESS=100.68.0.99\n");
    place("var/lib/NetworkManager/dhclient-77aa-eth0.lease",
          "lease { interface \"eth0\"; fixed-address 198.51.100.22; }\n");
    place("var/lib/dhcp/dhclient.eth0.leases", DhclientSample);
    place("var/lib/dhcp/dhclient6.eth0.leases",
          "lease { interface \"eth0\"; fixed-address 100.68.0.66; }\n");
    QStringList addresses;
    for (const DhcpLease &lease : readLeases(root.path(), "eth0", 4))
        addresses.append(lease.address);
    addresses.sort();
    QCOMPARE(addresses,
             QStringList({"192.0.2.3", "198.51.100.20", "198.51.100.21", "198.51.100.22"}));
    QVERIFY(readLeases(root.path(), "eth7", 7).isEmpty());
}

QTEST_MAIN(TstNicInfo)
#include "tst_nicinfo.moc"
