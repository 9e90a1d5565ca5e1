#include "usmtesthelpers.h"

#include <QTest>

using usm::Auth;
using usm::Priv;

namespace {

constexpr quint8 AuthPriv = SnmpV3Flag::Auth | SnmpV3Flag::Priv | SnmpV3Flag::Reportable;
constexpr quint8 AuthOnly = SnmpV3Flag::Auth | SnmpV3Flag::Reportable;

// The counter a refusal adds to, by the last arc but one of its identifier; 0 for none.
quint32 counter(const UsmStats &stats, int arc)
{
    const quint32 values[] = {0, stats.unsupportedSecLevels, stats.notInTimeWindows,
                              stats.unknownUserNames, stats.unknownEngineIds, stats.wrongDigests,
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
    void shortPassphraseRefused();
    void roundTrip_data();
    void roundTrip();
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

void TstUsm::shortPassphraseRefused()
{
    QVERIFY(!usm::passwordToKey(Auth::Sha256, "1234567"));
    QVERIFY(usm::passwordToKey(Auth::Sha256, "12345678"));
}

void TstUsm::roundTrip_data()
{
    QTest::addColumn<Auth>("auth");
    QTest::addColumn<Priv>("priv");
    QTest::addColumn<int>("digestBytes");
    // Odd lengths catch DES padding and the stream ciphers' lack of it.
    QTest::newRow("md5 des") << Auth::Md5 << Priv::Des << 12;
    QTest::newRow("sha1 aes192 extended") << Auth::Sha1 << Priv::Aes192 << 12;
    QTest::newRow("sha224 aes256 extended") << Auth::Sha224 << Priv::Aes256 << 16;
    QTest::newRow("sha384 aes128") << Auth::Sha384 << Priv::Aes128 << 32;
}

void TstUsm::roundTrip()
{
    QFETCH(Auth, auth);
    QFETCH(Priv, priv);
    QFETCH(int, digestBytes);
    const QByteArray engine = QByteArray::fromHex("80001f8804766d6c6d6f72");
    const Result<QByteArray> localized = usm::localizedKey(auth, "pass67890", engine);
    QVERIFY(localized);
    QCOMPARE(usm::digest(auth, localized.value(), "m").value().size(), digestBytes);
    const Result<QByteArray> key = usm::privacyKey(auth, priv, localized.value());
    QVERIFY(key);
    const QByteArray plain = "scoped pdu of 23 bytes!";
    const Result<usm::Encrypted> first = usm::encrypt(priv, key.value(), 7, 1234, plain);
    QVERIFY2(first, qPrintable(first ? QString() : first.failure().description));
    const Result<usm::Encrypted> second = usm::encrypt(priv, key.value(), 7, 1234, plain);
    QVERIFY(first.value().salt != second.value().salt);
    QVERIFY(first.value().data != second.value().data);
    const auto &[data, salt] = first.value();
    const Result<QByteArray> back = usm::decrypt(priv, key.value(), 7, 1234, salt, data);
    QVERIFY(back);
    QCOMPARE(back.value().left(plain.size()), plain);
    if (priv != Priv::Des) { // the counter values are part of the IV
        QCOMPARE(back.value().size(), plain.size());
        QVERIFY(usm::decrypt(priv, key.value(), 7, 1235, salt, data).value() != plain);
    } else {
        QVERIFY(!usm::decrypt(priv, key.value(), 7, 1234, salt, data.chopped(1)));
    }
    QVERIFY(!usm::decrypt(priv, key.value(), 7, 1234, salt.chopped(1), data));
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

    const QByteArray right = "pass67890";
    QTest::newRow("accepted") << QByteArray("u1") << AuthPriv << 0 << 0 << right << 0
                              << quint8(0xff);
    QTest::newRow("auth-only user asks for privacy")
        << QByteArray("a1") << AuthPriv << 0 << 0 << right << 1 << quint8(0);
    QTest::newRow("other boots") << QByteArray("u1") << AuthPriv << 1 << 0 << right << 2
                                 << quint8(SnmpV3Flag::Auth);
    QTest::newRow("time 151 s ahead") << QByteArray("a1") << AuthOnly << 0 << 151 << right << 2
                                      << quint8(SnmpV3Flag::Auth);
    QTest::newRow("time 150 s ahead") << QByteArray("a1") << AuthOnly << 0 << 150 << right << 0
                                      << quint8(0xff);
    QTest::newRow("unknown user not reportable")
        << QByteArray("u9") << quint8(AuthOnly & ~SnmpV3Flag::Reportable) << 0 << 0 << right << 3
        << quint8(0xff);
    QTest::newRow("wrong privacy key") << QByteArray("u1") << AuthPriv << 0 << 0
                                       << QByteArray("other-pass") << 6 << quint8(0);
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
    const QByteArray datagram =
        securedGet(engine.engineId(), engine.boots() + bootsOffset, engine.time() + timeOffset,
                   user, flags, Auth::Sha256, Priv::Aes128, privPassphrase);
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
        QCOMPARE(pdu.Variables.value(0).Oid(), QStringLiteral("1.3.6.1.6.3.15.1.1.%1.0")
                                                   .arg(refusal));
        QCOMPARE(pdu.Variables.value(0).Value(), QStringLiteral("1"));
    }
    QCOMPARE(outcome.request.has_value() && outcome.request->pdu.MessageNumber == 42,
             refusal == 0);
}

QTEST_GUILESS_MAIN(TstUsm)
#include "tst_usm.moc"
