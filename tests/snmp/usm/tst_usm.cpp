#include "support/securedrequests.h"

#include "snmp/codec/snmpvalue.h"
#include "snmp/usm/usmengine.h"

#include <QtTest>

using usm::Auth;
using usm::Priv;

namespace {

constexpr quint8 AuthPriv = SnmpV3Flag::Auth | SnmpV3Flag::Priv | SnmpV3Flag::Reportable;
constexpr quint8 AuthOnly = SnmpV3Flag::Auth | SnmpV3Flag::Reportable;

// The counter a refusal adds to, by the last arc but one of its identifier; 0 for none.
quint32 counter(const UsmStats &stats, int arc)
{
    const quint32 values[] = {0,
                              stats.unsupportedSecLevels,
                              stats.notInTimeWindows,
                              stats.unknownUserNames,
                              stats.unknownEngineIds,
                              stats.wrongDigests,
                              stats.decryptionErrors};
    return values[arc];
}

} // namespace

class TstUsm : public QObject
{
    Q_OBJECT

private slots:
    void publishedKeys_data();
    void publishedKeys();
    void encryption();
    void incomingChecks_data();
    void incomingChecks();
};

void TstUsm::publishedKeys_data()
{
    QTest::addColumn<Auth>("auth");
    QTest::addColumn<QByteArray>("key");
    QTest::addColumn<QByteArray>("localized");
    QTest::newRow("md5") << Auth::Md5 << QByteArray("9faf3283884e92834ebc9847d8edd963")
                         << QByteArray("526f5eed9fcce26f8964c2930787d82b");
    QTest::newRow("sha1") << Auth::Sha1 << QByteArray("9fb5cc0381497b3793528939ff788d5d79145211")
                          << QByteArray("6695febc9288e36282235fc7151f128497b38f3f");
}

// The published worked example: passphrase "maplesyrup" at engine 00...02.
void TstUsm::publishedKeys()
{
    QFETCH(Auth, auth);
    QFETCH(QByteArray, key);
    QFETCH(QByteArray, localized);
    const Result<QByteArray> made = usm::passwordToKey(auth, "maplesyrup");
    QVERIFY(made);
    QCOMPARE(made.value().toHex(), key);
    const QByteArray engine = QByteArray::fromHex("000000000000000000000002");
    QCOMPARE(usm::localizeKey(auth, made.value(), engine).value().toHex(), localized);
}

// What a peer never shows: a fresh salt for every message from one user's keyed cipher, the
// cipher's state not carried from one message to the next, cut salts and DES blocks refused.
void TstUsm::encryption()
{
    const QByteArray engine = QByteArray::fromHex("80001f8804766d6c6d6f72");
    const QByteArray local = usm::localizedKey(Auth::Sha1, "pass67890", engine).value();
    const QByteArray plain = "scoped pdu of 23 bytes!"; // DES pads it, AES must not
    for (const Priv priv : {Priv::Des, Priv::Aes128, Priv::Aes192, Priv::Aes256}) {
        const QByteArray key = usm::privacyKey(Auth::Sha1, priv, local).value();
        usm::Cipher cipher(priv, key);
        QByteArray data[2];
        QByteArray salt[2];
        for (int i = 0; i < 2; ++i) {
            data[i].resize(cipher.encryptedSize(plain.size()));
            salt[i].resize(usm::saltLength(priv));
            QVERIFY(cipher.encrypt(7, 1234, plain, data[i].data(), salt[i].data()));
        }
        QVERIFY(salt[0] != salt[1] && data[0] != data[1]);
        QByteArray back;
        QVERIFY(cipher.decrypt(7, 1234, salt[0], data[0], back));
        QCOMPARE(back.left(plain.size()), plain);
        QCOMPARE(usm::decrypt(priv, key, 7, 1234, salt[1], data[1]).value(), back);
        if (priv == Priv::Des)
            QVERIFY(!usm::decrypt(priv, key, 7, 1234, salt[0], data[0].chopped(1)));
        else
            QCOMPARE(back.size(), plain.size());
        QVERIFY(!usm::decrypt(priv, key, 7, 1234, salt[0].chopped(1), data[0]));
    }
}

void TstUsm::incomingChecks_data()
{
    QTest::addColumn<QByteArray>("user");
    QTest::addColumn<quint8>("flags");
    QTest::addColumn<int>("bootsOffset");
    QTest::addColumn<int>("timeOffset");
    QTest::addColumn<QByteArray>("privPassphrase");
    QTest::addColumn<int>("refusal");        // the usmStats arc, 0 when the request passes
    QTest::addColumn<quint8>("reportFlags"); // 0xff when no report may go out

    const auto row = [](const char *name, const char *user, quint8 flags, int boots, int time,
                        int refusal, quint8 reportFlags, const char *priv = "pass67890") {
        QTest::newRow(name) << QByteArray(user) << flags << boots << time << QByteArray(priv)
                            << refusal << reportFlags;
    };
    row("accepted", "u1", AuthPriv, 0, 0, 0, 0xff);
    row("auth-only user asks for privacy", "a1", AuthPriv, 0, 0, 1, 0);
    row("time 151 s ahead", "a1", AuthOnly, 0, 151, 2, SnmpV3Flag::Auth);
    row("time 150 s ahead", "a1", AuthOnly, 0, 150, 0, 0xff);
    row("unknown user not reportable", "u9", AuthOnly & ~SnmpV3Flag::Reportable, 0, 0, 3, 0xff);
    row("wrong privacy key", "u1", AuthPriv, 0, 0, 6, 0, "other-pass");
}

void TstUsm::incomingChecks()
{
    QFETCH(QByteArray, user);
    QFETCH(quint8, flags);
    QFETCH(int, bootsOffset);
    QFETCH(int, timeOffset);
    QFETCH(QByteArray, privPassphrase);
    QFETCH(int, refusal);
    QFETCH(quint8, reportFlags);

    UsmEngine engine(99999, 5);
    QVERIFY(engine.addUser("u1", Auth::Sha256, "pass12345", Priv::Aes128, "pass67890"));
    QVERIFY(engine.addUser("a1", Auth::Sha256, "pass12345"));
    // A Get of sysName.0, request id 42 in message 7.
    const ManagerUser manager = managerUser(user, engine.engineId(), Auth::Sha256, "pass12345",
                                            Priv::Aes128, privPassphrase);
    const QByteArray datagram =
        securedMessage(makeRequest(64, {"1.3.6.1.2.1.1.5.0"}, {}, 42), 7, flags, manager,
                       engine.engineId(), engine.boots() + bootsOffset, engine.time() + timeOffset);
    const UsmEngine::Outcome outcome = engine.receive(datagram);
    QCOMPARE(outcome.report.isEmpty(), reportFlags == 0xff);
    for (int arc = 1; arc <= 6; ++arc)
        QCOMPARE(counter(engine.stats(), arc), arc == refusal ? 1u : 0u);
    if (!outcome.report.isEmpty()) {
        // The manager learns the engine's clock and the counter from the report.
        const SnmpV3Message report = decodeV3Message(outcome.report).value();
        QCOMPARE(report.flags, reportFlags);
        QCOMPARE(report.messageId, 7);
        QCOMPARE(report.usm.boots, engine.boots());
        const SnmpMessage pdu = decodePdu(report.pdu).value();
        QCOMPARE(pdu.Type, SnmpPdu::V2cBase + 8);
        QCOMPARE(pdu.Variables.value(0).Oid(),
                 QStringLiteral("1.3.6.1.6.3.15.1.1.%1.0").arg(refusal));
        QCOMPARE(pdu.Variables.value(0).Value(), QStringLiteral("1"));
    }
    QCOMPARE(outcome.request.has_value() && outcome.request->pdu.MessageNumber == 42, refusal == 0);
}

QTEST_GUILESS_MAIN(TstUsm)
#include "tst_usm.moc"
