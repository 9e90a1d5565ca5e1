#include "netinfo/adapterinfo.h"
#include "netinfo/frmnicinfo.h"
#include "netinfo/systemadapters.h"

#include <QHostAddress>
#include <QListWidget>
#include <QRegularExpression>
#include <QtTest>

namespace {

bool isAddress(const QString &text, QAbstractSocket::NetworkLayerProtocol protocol)
{
    const QHostAddress address(text);
    return !address.isNull() && address.protocol() == protocol;
}

bool isAnyAddress(const QString &text)
{
    return !QHostAddress(text).isNull();
}

// Empty, or a list of ", "-separated items each accepted by the check.
template <typename Check> bool isListOf(const QString &text, Check check)
{
    if (text.isEmpty())
        return true;
    const QStringList items = text.split(QStringLiteral(", "));
    return std::all_of(items.begin(), items.end(), check);
}

bool isLeaseTime(const QString &text)
{
    return text.isEmpty() || QDateTime::fromString(text, Qt::ISODate).isValid();
}

// Checks one adapter's eleven lines against what each value may look like.
void checkDetailLines(const QListWidget *list)
{
    static const QStringList labels = {
        "Physical Address :", "IPv4 Address :",   "Other Addresses :", "Subnet Mask :",
        "Gateway :",          "IPv6 Address :",   "DNS Server :",      "DHCP Enabled :",
        "DHCP Server :",      "Lease Obtained :", "Lease Expires :"};
    QCOMPARE(list->count(), labels.size());
    QStringList values;
    for (int i = 0; i < labels.size(); ++i) {
        const QString line = list->item(i)->text();
        QVERIFY2(line.startsWith(labels.at(i) + "\t\t"), qPrintable(line));
        const QString value = line.mid(labels.at(i).size() + 2);
        QVERIFY2(!value.contains('\t') && !value.contains('\n') && !value.contains('\r'),
                 qPrintable(line));
        values.append(value);
    }
    const auto v4 = [](const QString &s) { return isAddress(s, QAbstractSocket::IPv4Protocol); };
    const auto v6 = [](const QString &s) { return isAddress(s, QAbstractSocket::IPv6Protocol); };
    const QRegularExpression hardware(R"(^([0-9A-Fa-f]{2}(:[0-9A-Fa-f]{2})*)?$)");
    QVERIFY2(hardware.match(values.at(0)).hasMatch(), qPrintable(values.at(0)));
    QVERIFY2(values.at(1).isEmpty() || v4(values.at(1)), qPrintable(values.at(1)));
    QVERIFY2(isListOf(values.at(2), isAnyAddress), qPrintable(values.at(2)));
    QVERIFY2(values.at(3).isEmpty() || v4(values.at(3)), qPrintable(values.at(3)));
    QCOMPARE(values.at(3).isEmpty(), values.at(1).isEmpty()); // a mask goes with an address
    QVERIFY2(values.at(4).isEmpty() || v4(values.at(4)), qPrintable(values.at(4)));
    QVERIFY2(values.at(5).isEmpty() || v6(values.at(5)), qPrintable(values.at(5)));
    QVERIFY2(!values.at(5).contains('%'), qPrintable(values.at(5)));
    QVERIFY2(isListOf(values.at(6), isAnyAddress), qPrintable(values.at(6)));
    QVERIFY2(values.at(7) == "True" || values.at(7) == "False", qPrintable(values.at(7)));
    if (values.at(7) == "False") // no lease, no lease data
        QCOMPARE(values.mid(8), QStringList({"", "", ""}));
    QVERIFY2(values.at(8).isEmpty() || isAnyAddress(values.at(8)), qPrintable(values.at(8)));
    QVERIFY2(isLeaseTime(values.at(9)) && isLeaseTime(values.at(10)), qPrintable(values.at(9)));
}

} // namespace

class TstSystemAdapters : public QObject
{
    Q_OBJECT
private slots:
    void realAdaptersGiveWellFormedLines();
};

void TstSystemAdapters::realAdaptersGiveWellFormedLines()
{
    AdapterInfo ipInfo(readSystemAdapters);
    const int startAdapter = ipInfo.currentAdapter();
    QVERIFY(startAdapter >= -1 && startAdapter < ipInfo.adapterCount());
    // Start-up's address is an IPv4 address whatever the machine has, and never a loopback
    // adapter's unless the machine has nothing else.
    QVERIFY2(isAddress(ipInfo.ipv4Address(), QAbstractSocket::IPv4Protocol),
             qPrintable(ipInfo.ipv4Address()));
    QVERIFY(ipInfo.adapterType() != QStringLiteral("Loopback"));

    QStringList ethernet;
    for (int i = 0; i < ipInfo.adapterCount(); ++i) {
        ipInfo.setCurrentAdapter(i);
        QVERIFY(!ipInfo.adapterName().isEmpty());
        if (ipInfo.adapterType().toUpper() == QStringLiteral("ETHERNET"))
            ethernet.append(ipInfo.adapterName());
    }
    ipInfo.setCurrentAdapter(startAdapter);

    FrmNicInfo window(ipInfo);
    QCOMPARE(window.lbxNIC->count(), ethernet.size());
    checkDetailLines(window.lbxAdapterInfo);
    for (int row = 0; row < window.lbxNIC->count(); ++row) {
        QCOMPARE(window.lbxNIC->item(row)->text(), ethernet.at(row));
        window.lbxNIC->setCurrentRow(row);
        checkDetailLines(window.lbxAdapterInfo);
    }
    QCOMPARE(ipInfo.currentAdapter(), startAdapter);
}

QTEST_MAIN(TstSystemAdapters)
#include "tst_systemadapters.moc"
