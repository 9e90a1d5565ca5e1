#include "snmp/usmcrypto.h"

#include <QTest>

using usm::Auth;
using usm::Priv;

class TstUsmCrypto : public QObject
{
    Q_OBJECT

private slots:
    void publishedKeys_data();
    void publishedKeys();
    void shortPassphraseRefused();
    void roundTrip_data();
    void roundTrip();
    void digestCatchesOneFlippedBit();
};

void TstUsmCrypto::publishedKeys_data()
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
void TstUsmCrypto::publishedKeys()
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

void TstUsmCrypto::shortPassphraseRefused()
{
    QVERIFY(!usm::passwordToKey(Auth::Sha256, "1234567"));
    QVERIFY(usm::passwordToKey(Auth::Sha256, "12345678"));
}

void TstUsmCrypto::roundTrip_data()
{
    QTest::addColumn<Auth>("auth");
    QTest::addColumn<Priv>("priv");
    QTest::addColumn<int>("digestBytes");
    // Odd lengths catch DES padding and the stream ciphers' lack of it.
    QTest::newRow("md5 des") << Auth::Md5 << Priv::Des << 12;
    QTest::newRow("sha1 aes128") << Auth::Sha1 << Priv::Aes128 << 12;
    QTest::newRow("md5 aes256 extended") << Auth::Md5 << Priv::Aes256 << 12;
    QTest::newRow("sha1 aes192 extended") << Auth::Sha1 << Priv::Aes192 << 12;
    QTest::newRow("sha224 aes256 extended") << Auth::Sha224 << Priv::Aes256 << 16;
    QTest::newRow("sha256 aes256") << Auth::Sha256 << Priv::Aes256 << 24;
    QTest::newRow("sha384 aes128") << Auth::Sha384 << Priv::Aes128 << 32;
    QTest::newRow("sha512 des") << Auth::Sha512 << Priv::Des << 48;
}

void TstUsmCrypto::roundTrip()
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

void TstUsmCrypto::digestCatchesOneFlippedBit()
{
    const QByteArray key(32, 'k');
    QByteArray message(100, 'x');
    const QByteArray good = usm::digest(Auth::Sha256, key, message).value();
    message[50] = char(message[50] ^ 1);
    const QByteArray bad = usm::digest(Auth::Sha256, key, message).value();
    QVERIFY(!usm::digestsEqual(good, bad));
    QVERIFY(usm::digestsEqual(good, good));
    QVERIFY(!usm::digestsEqual(good, good.left(12)));
}

QTEST_GUILESS_MAIN(TstUsmCrypto)
#include "tst_usmcrypto.moc"
