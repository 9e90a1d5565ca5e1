#include "support/testwindow.h"

#include "netinfo/adapterinfo.h"
#include "netinfo/frmnicinfo.h"

#include <QListWidget>
#include <QPointer>
#include <QScreen>
#include <QtTest>

namespace {

AdapterRecord adapter(const QString &name, const QString &type, const QString &ipv4)
{
    AdapterRecord record;
    record.name = name;
    record.type = type;
    record.ipv4Address = ipv4;
    return record;
}

// A loopback, a leased Ethernet adapter, a wireless one and one whose type text is oddly cased.
AdapterSnapshot mixedAdapters()
{
    AdapterRecord eth = adapter("eth0", "Ethernet", "127.0.0.10");
    eth.physicalAddress = "02:00:00:00:00:0A";
    eth.otherAddresses = "127.0.0.11, fe80::a";
    eth.subnetMask = "255.255.255.0";
    eth.gateway = "127.0.0.1";
    eth.ipv6Address = "fd00::a";
    eth.dnsServer = "127.0.0.53, ::1";
    eth.dhcpEnabled = true;
    eth.dhcpServer = "127.0.0.2";
    eth.leaseObtained = "2026-12-06T10:00:00+01:00";
    eth.leaseExpires = "2026-12-07T10:00:00+01:00";
    AdapterRecord odd = adapter("usb1", "EtHeRnEt", "127.0.0.20");
    odd.physicalAddress = "02:00:00:00:00:14";
    return AdapterSnapshot{{adapter("lo", "Loopback", "127.0.0.1"), eth,
                            adapter("wlan0", "Wireless", "127.0.0.30"), odd},
                           2};
}

QStringList texts(const QListWidget *list)
{
    QStringList result;
    for (int i = 0; i < list->count(); ++i)
        result.append(list->item(i)->text());
    return result;
}

QStringList emptyDetails()
{
    return {
        "Physical Address :\t\t", "IPv4 Address :\t\t",      "Other Addresses :\t\t",
        "Subnet Mask :\t\t",      "Gateway :\t\t",           "IPv6 Address :\t\t",
        "DNS Server :\t\t",       "DHCP Enabled :\t\tFalse", "DHCP Server :\t\t",
        "Lease Obtained :\t\t",   "Lease Expires :\t\t",
    };
}

void clickEntry(QListWidget *list, int row)
{
    const QRect rect = list->visualItemRect(list->item(row));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, rect.center());
}

} // namespace

class TstNicInfo : public QObject
{
    Q_OBJECT
private slots:
    void listsEthernetAdaptersAndShowsTheFirst();
    void clickingAnEntryShowsItsAdapter();
    void openingTwiceShowsTheSameLists();
    void noEthernetAdapterStillOpens();
    void reopeningReadsTheAdaptersAfresh();
};

void TstNicInfo::listsEthernetAdaptersAndShowsTheFirst()
{
    TestWindow test(mixedAdapters());
    FrmMain &main = test.open();
    main.cmdNetInfo_Click();
    // The handler must return at once (no nested loop of its own) with the window up and modal,
    // so the agents and services keep being served.
    auto *window = main.findChild<FrmNicInfo *>();
    QVERIFY(window);
    QVERIFY(window->isVisible());
    QCOMPARE(window->windowModality(), Qt::ApplicationModal);
    QCOMPARE(window->windowTitle(), QStringLiteral("  Network Information"));

    QCOMPARE(texts(window->lbxNIC), QStringList({"eth0", "usb1"}));
    const QStringList details = {
        "Physical Address :\t\t02:00:00:00:00:0A",
        "IPv4 Address :\t\t127.0.0.10",
        "Other Addresses :\t\t127.0.0.11, fe80::a",
        "Subnet Mask :\t\t255.255.255.0",
        "Gateway :\t\t127.0.0.1",
        "IPv6 Address :\t\tfd00::a",
        "DNS Server :\t\t127.0.0.53, ::1",
        "DHCP Enabled :\t\tTrue",
        "DHCP Server :\t\t127.0.0.2",
        "Lease Obtained :\t\t2026-12-06T10:00:00+01:00",
        "Lease Expires :\t\t2026-12-07T10:00:00+01:00",
    };
    QCOMPARE(texts(window->lbxAdapterInfo), details);
    // Start-up's address source is where the window found it.
    QCOMPARE(test.ipInfo.currentAdapter(), 2);

    const QRect screen = window->screen()->geometry();
    QCOMPARE(window->pos(), QPoint((screen.width() - window->width()) / 2,
                                   (screen.height() - window->height()) / 2));
    QVERIFY(test.messages.texts.isEmpty());
}

void TstNicInfo::clickingAnEntryShowsItsAdapter()
{
    TestWindow test(mixedAdapters());
    test.open().cmdNetInfo_Click();
    auto *window = test.window().findChild<FrmNicInfo *>();
    QVERIFY(QTest::qWaitForWindowExposed(window));

    clickEntry(window->lbxNIC, 1);
    QCOMPARE(window->lbxAdapterInfo->count(), 11);
    QCOMPARE(window->lbxAdapterInfo->item(0)->text(),
             QStringLiteral("Physical Address :\t\t02:00:00:00:00:14"));
    QCOMPARE(window->lbxAdapterInfo->item(1)->text(),
             QStringLiteral("IPv4 Address :\t\t127.0.0.20"));
    QCOMPARE(window->lbxAdapterInfo->item(7)->text(), QStringLiteral("DHCP Enabled :\t\tFalse"));

    clickEntry(window->lbxNIC, 0);
    QCOMPARE(window->lbxAdapterInfo->item(1)->text(),
             QStringLiteral("IPv4 Address :\t\t127.0.0.10"));
    QTest::keyClick(window->lbxNIC, Qt::Key_Down);
    QCOMPARE(window->lbxAdapterInfo->item(1)->text(),
             QStringLiteral("IPv4 Address :\t\t127.0.0.20"));
    QCOMPARE(test.ipInfo.currentAdapter(), 2);
}

void TstNicInfo::openingTwiceShowsTheSameLists()
{
    TestWindow test(mixedAdapters());
    FrmMain &main = test.open();
    main.cmdNetInfo_Click();
    QPointer<FrmNicInfo> first = main.findChild<FrmNicInfo *>();
    QVERIFY(first);
    const QStringList adapters = texts(first->lbxNIC);
    const QStringList details = texts(first->lbxAdapterInfo);
    // Loading again in place must not append to what is there.
    first->Form_Load();
    QCOMPARE(texts(first->lbxNIC), adapters);
    QCOMPARE(texts(first->lbxAdapterInfo), details);

    // Closing unloads the window, so a second opening leaves exactly one behind.
    first->close();
    QTRY_VERIFY(first.isNull());
    main.cmdNetInfo_Click();
    const QList<FrmNicInfo *> windows = main.findChildren<FrmNicInfo *>();
    QCOMPARE(windows.size(), 1);
    QCOMPARE(texts(windows.first()->lbxNIC), adapters);
    QCOMPARE(texts(windows.first()->lbxAdapterInfo), details);
}

void TstNicInfo::noEthernetAdapterStillOpens()
{
    TestWindow bare(AdapterSnapshot{});
    bare.open().cmdNetInfo_Click();
    auto *window = bare.window().findChild<FrmNicInfo *>();
    QVERIFY(window && window->isVisible());
    QCOMPARE(window->lbxNIC->count(), 0);
    QCOMPARE(texts(window->lbxAdapterInfo), emptyDetails());
    QVERIFY(bare.messages.texts.isEmpty());

    // Adapters of other types only: nothing listed, and no stray adapter's values shown.
    TestWindow others(
        AdapterSnapshot{{adapter("lo", "Loopback", "127.0.0.1"), adapter("ppp0", "PPP", "")}, 0});
    others.open().cmdNetInfo_Click();
    window = others.window().findChild<FrmNicInfo *>();
    QCOMPARE(window->lbxNIC->count(), 0);
    QCOMPARE(texts(window->lbxAdapterInfo), emptyDetails());
    QCOMPARE(others.ipInfo.currentAdapter(), 0);
}

void TstNicInfo::reopeningReadsTheAdaptersAfresh()
{
    bool plugged = false;
    AdapterInfo ipInfo([&plugged] {
        AdapterSnapshot snapshot{{adapter("eth0", "Ethernet", "127.0.0.10")}, 0};
        if (plugged) // an adapter plugged in ahead of the one in use
            snapshot.adapters.prepend(adapter("eth9", "Ethernet", "127.0.0.90"));
        return snapshot;
    });
    FrmNicInfo first(ipInfo);
    QCOMPARE(texts(first.lbxNIC), QStringList({"eth0"}));
    plugged = true;
    FrmNicInfo second(ipInfo);
    QCOMPARE(texts(second.lbxNIC), QStringList({"eth9", "eth0"}));
    QCOMPARE(second.lbxAdapterInfo->item(1)->text(),
             QStringLiteral("IPv4 Address :\t\t127.0.0.90"));
    // The adapter start-up took its address from is still the current one.
    QCOMPARE(ipInfo.currentAdapter(), 1);
    QCOMPARE(ipInfo.ipv4Address(), QStringLiteral("127.0.0.10"));
}

QTEST_MAIN(TstNicInfo)
#include "tst_nicinfo.moc"
