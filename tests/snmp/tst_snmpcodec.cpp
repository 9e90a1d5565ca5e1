#include "snmp/bercodec.h"
#include "snmp/snmpmessage.h"
#include "snmp/snmpvalue.h"

#include <QtTest>

// Byte vectors are written out by hand from the encoding rules, so a fault that the encoder and
// decoder share cannot hide behind a round trip.
class TstSnmpCodec : public QObject
{
    Q_OBJECT
private slots:
    void integers_data();
    void integers();
    void identifiers_data();
    void identifiers();
    void badIdentifierTexts_data();
    void badIdentifierTexts();
    void lengths_data();
    void lengths();
    void readerRefusesWhatItCannotBound_data();
    void readerRefusesWhatItCannotBound();
    void valueTexts_data();
    void valueTexts();
    void getRequestVector();
    void untouchedVariablesGoOutAsTheyCame();
    void responseKeepsTheVersion();
    void bulkFieldsAreNoErrorStatus();
    void refusedMessages_data();
    void refusedMessages();
};

static QByteArray hex(const char *text)
{
    return QByteArray::fromHex(text);
}

void TstSnmpCodec::integers_data()
{
    QTest::addColumn<qint64>("value");
    QTest::addColumn<QByteArray>("content");
    QTest::newRow("0") << qint64(0) << hex("00");
    QTest::newRow("127") << qint64(127) << hex("7f");
    QTest::newRow("128") << qint64(128) << hex("0080");
    QTest::newRow("-1") << qint64(-1) << hex("ff");
    QTest::newRow("-128") << qint64(-128) << hex("80");
    QTest::newRow("-129") << qint64(-129) << hex("ff7f");
    QTest::newRow("int32 min") << qint64(INT32_MIN) << hex("80000000");
    QTest::newRow("int32 max") << qint64(INT32_MAX) << hex("7fffffff");
    QTest::newRow("int64 min") << qint64(INT64_MIN) << hex("8000000000000000");
}

void TstSnmpCodec::integers()
{
    QFETCH(qint64, value);
    QFETCH(QByteArray, content);
    QCOMPARE(ber::encodeInteger(value).toHex(), content.toHex());
    const Result<qint64> decoded = ber::decodeInteger(content);
    QVERIFY(decoded.ok());
    QCOMPARE(decoded.value(), value);
}

void TstSnmpCodec::identifiers_data()
{
    QTest::addColumn<QString>("dotted");
    QTest::addColumn<QByteArray>("content");
    QTest::newRow("sysName.0") << "1.3.6.1.2.1.1.5.0" << hex("2b06010201010500");
    QTest::newRow("enterprise arc") << "1.3.6.1.4.1.7394.1.99.4"
                                    << hex("2b06010401b9620163"
                                           "04");
    QTest::newRow("joint-iso big second arc") << "2.999.3" << hex("883703");
    QTest::newRow("32-bit arc") << "1.3.4294967295" << hex("2b8fffffff7f");
    QTest::newRow("64-bit arc") << "1.3.18446744073709551615" << hex("2b81ffffffffffffffff7f");
    QTest::newRow("two arcs") << "0.0" << hex("00");
}

void TstSnmpCodec::identifiers()
{
    QFETCH(QString, dotted);
    QFETCH(QByteArray, content);
    const Result<QByteArray> encoded = ber::encodeOid(dotted);
    QVERIFY2(encoded.ok(), qPrintable(encoded.ok() ? "" : encoded.failure().description));
    QCOMPARE(encoded.value().toHex(), content.toHex());
    const Result<QString> decoded = ber::decodeOid(content);
    QVERIFY(decoded.ok());
    QCOMPARE(decoded.value(), dotted);
}

void TstSnmpCodec::badIdentifierTexts_data()
{
    QTest::addColumn<QString>("dotted");
    QTest::newRow("leading dot") << ".1.3.6.1";
    QTest::newRow("trailing blank") << "1.3.6.1 ";
    QTest::newRow("one arc") << "1";
    QTest::newRow("empty") << "";
    QTest::newRow("empty arc") << "1.3..6";
    QTest::newRow("first arc 3") << "3.1";
    QTest::newRow("second arc 40 under 1") << "1.40";
    QTest::newRow("arc beyond 64 bits") << "1.3.18446744073709551616";
    QTest::newRow("letters") << "1.3.six";
}

void TstSnmpCodec::badIdentifierTexts()
{
    QFETCH(QString, dotted);
    QVERIFY(!ber::encodeOid(dotted).ok());
}

void TstSnmpCodec::lengths_data()
{
    QTest::addColumn<int>("length");
    QTest::addColumn<QByteArray>("header");
    QTest::newRow("127") << 127 << hex("047f");
    QTest::newRow("128") << 128 << hex("048180");
    QTest::newRow("255") << 255 << hex("0481ff");
    QTest::newRow("256") << 256 << hex("04820100");
    QTest::newRow("65536") << 65536 << hex("0483010000");
}

void TstSnmpCodec::lengths()
{
    QFETCH(int, length);
    QFETCH(QByteArray, header);
    const QByteArray content(length, 'x');
    const QByteArray encoded = ber::element(ber::OctetString, content);
    QCOMPARE(encoded.left(header.size()).toHex(), header.toHex());
    QCOMPARE(encoded.size(), header.size() + length);
    ber::Reader reader(encoded);
    const Result<ber::Element> element = reader.read();
    QVERIFY(element.ok());
    QCOMPARE(element.value().content.size(), length);
    QVERIFY(reader.atEnd());
}

void TstSnmpCodec::readerRefusesWhatItCannotBound_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("empty") << QByteArray();
    QTest::newRow("tag only") << hex("30");
    QTest::newRow("content truncated") << hex("30050201");
    QTest::newRow("long length truncated") << hex("308201");
    QTest::newRow("indefinite length") << hex("30800000");
    QTest::newRow("five length bytes") << hex("30850000000001ff");
    QTest::newRow("huge length") << hex("3084ffffffff0201");
    QTest::newRow("length one past the end") << hex("0404616263");
    QTest::newRow("multi-byte tag") << hex("1f8100");
}

void TstSnmpCodec::readerRefusesWhatItCannotBound()
{
    QFETCH(QByteArray, bytes);
    ber::Reader reader(bytes);
    QVERIFY(!reader.read().ok());
    QVERIFY(!decodeMessage(bytes).ok());
}

void TstSnmpCodec::valueTexts_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("element"); // empty: the text does not fit
    QTest::newRow("Integer32 negative") << SnmpType::Integer32 << "-129" << hex("0202ff7f");
    QTest::newRow("Integer32 letters") << SnmpType::Integer32 << "abc" << QByteArray();
    QTest::newRow("Integer32 too big") << SnmpType::Integer32 << "2147483648" << QByteArray();
    QTest::newRow("Integer32 blank") << SnmpType::Integer32 << " 1" << QByteArray();
    QTest::newRow("OctetString UTF-8")
        << SnmpType::OctetString << QString::fromUtf8("Å") << hex("0402c385");
    QTest::newRow("OctetString empty") << SnmpType::OctetString << "" << hex("0400");
    QTest::newRow("OID") << SnmpType::ObjectIdentifier << "1.3.6.1.4.1.7394.1.99.1"
                         << hex("060a2b06010401b962016301");
    QTest::newRow("OID text") << SnmpType::ObjectIdentifier << "up" << QByteArray();
    QTest::newRow("IpAddress") << SnmpType::IpAddress << "10.0.0.255" << hex("40040a0000ff");
    QTest::newRow("IpAddress 256") << SnmpType::IpAddress << "10.0.0.256" << QByteArray();
    QTest::newRow("IpAddress 3 parts") << SnmpType::IpAddress << "10.0.0" << QByteArray();
    QTest::newRow("Counter32 max") << SnmpType::Counter32 << "4294967295" << hex("410500ffffffff");
    QTest::newRow("Counter32 over") << SnmpType::Counter32 << "4294967296" << QByteArray();
    QTest::newRow("Counter32 negative") << SnmpType::Counter32 << "-1" << QByteArray();
    QTest::newRow("Gauge32") << SnmpType::Gauge32 << "128" << hex("42020080");
    QTest::newRow("Unsigned32 shares the tag") << SnmpType::Unsigned32 << "5" << hex("420105");
    QTest::newRow("TimeTicks") << SnmpType::TimeTicks << "9000" << hex("43022328");
    // 497 days of uptime pass 2^32 hundredths; the clock starts over as agents' clocks do.
    QTest::newRow("TimeTicks wraps") << SnmpType::TimeTicks << "4294967396" << hex("430164");
    QTest::newRow("TimeTicks letters") << SnmpType::TimeTicks << "9000x" << QByteArray();
    QTest::newRow("Counter64 max")
        << SnmpType::Counter64 << "18446744073709551615" << hex("460900ffffffffffffffff");
    QTest::newRow("Counter64 over")
        << SnmpType::Counter64 << "18446744073709551616" << QByteArray();
    QTest::newRow("Null") << SnmpType::Null << "anything" << hex("0500");
}

void TstSnmpCodec::valueTexts()
{
    QFETCH(int, type);
    QFETCH(QString, text);
    QFETCH(QByteArray, element);
    const Result<QByteArray> encoded = encodeValue(type, text);
    if (element.isEmpty()) {
        QVERIFY(!encoded.ok());
        QVERIFY2(encoded.failure().description.startsWith("Type mismatch"),
                 qPrintable(encoded.failure().description));
        return;
    }
    QVERIFY2(encoded.ok(), qPrintable(encoded.ok() ? "" : encoded.failure().description));
    QCOMPARE(encoded.value().toHex(), element.toHex());
    ber::Reader reader(element);
    const ber::Element read = reader.read().value();
    const Result<SnmpValue> decoded = decodeValue(read.tag, read.content);
    QVERIFY(decoded.ok());
    if (type != SnmpType::Null && type != SnmpType::TimeTicks)
        QCOMPARE(decoded.value().text, text);
}

// snmpget -v1 -c public, request id 0x1234, sysDescr.0.
static const QByteArray v1Get = hex("302702010004067075626c6963a01a020212340201000201003"
                                    "00e300c06082b060102010101000500");

void TstSnmpCodec::getRequestVector()
{
    const Result<SnmpMessage> decoded = decodeMessage(v1Get);
    QVERIFY2(decoded.ok(), qPrintable(decoded.ok() ? "" : decoded.failure().description));
    const SnmpMessage &message = decoded.value();
    QCOMPARE(message.version, SnmpVersion::V1);
    QCOMPARE(message.Community, QStringLiteral("public"));
    QCOMPARE(message.Type, 32);
    QCOMPARE(message.MessageNumber, 0x1234);
    QCOMPARE(message.Variables.size(), 1);
    QCOMPARE(message.Variables[0].Oid(), QStringLiteral("1.3.6.1.2.1.1.1.0"));
    QCOMPARE(message.Variables[0].Type(), SnmpType::Null);
    QCOMPARE(encodeMessage(message).value().toHex(), v1Get.toHex());
}

void TstSnmpCodec::untouchedVariablesGoOutAsTheyCame()
{
    // Values of every kind, one with a padded length and a non-minimal integer that a fresh
    // encoding would shorten: nobody touches them,
    // so they leave byte for byte.
    const QByteArray bindings = hex("300906022b0602030000"
                                    "05")                           // Integer 5 in three bytes
                                + hex("300b06022b0604810461626364") // OctetString, long form
                                + hex("300b06022b06460500ffffffff") // Counter64
                                + hex("300806022b06430200c8")       // TimeTicks 200
                                + hex("300a06022b0640040a000001")   // IpAddress
                                + hex("300606022b068000")           // noSuchObject
                                + hex("300a06022b0644040102030f");  // Opaque
    const QByteArray list = ber::element(ber::Sequence, bindings);
    const QByteArray pdu = hex("020105020100020100") + list;
    const QByteArray message = ber::element(ber::Sequence, hex("02010104046368617"
                                                               "2") +
                                                               ber::element(0xa1, pdu));
    const Result<SnmpMessage> decoded = decodeMessage(message);
    QVERIFY2(decoded.ok(), qPrintable(decoded.ok() ? "" : decoded.failure().description));
    QCOMPARE(decoded.value().Variables.size(), 7);
    QCOMPARE(decoded.value().Variables[1].Value(), QStringLiteral("abcd"));
    QCOMPARE(decoded.value().Variables[2].Type(), SnmpType::Counter64);
    QCOMPARE(decoded.value().Variables[2].Value(), QStringLiteral("4294967295"));
    QCOMPARE(decoded.value().Variables[4].Value(), QStringLiteral("10.0.0.1"));
    QCOMPARE(decoded.value().Variables[5].Type(), SnmpType::NoSuchObject);
    QCOMPARE(encodeMessage(decoded.value()).value().toHex(), message.toHex());
}

void TstSnmpCodec::responseKeepsTheVersion()
{
    // A v1 GetNext answered with the v2c response code must still leave as a v1 message.
    SnmpMessage message = decodeMessage(v1Get).value();
    message.Type = 66;
    message.ErrorStatus = 2;
    message.ErrorIndex = 1;
    QVERIFY(message.Variables[0].setOid("1.3.6.1.2.1.1.2.0").ok());
    message.Variables[0].setValue("1.3.6.1.4.1.7394.1.99.1");
    QVERIFY(message.Variables[0].setType(SnmpType::ObjectIdentifier).ok());
    const QByteArray expected = hex("303102010004067075626c6963a224020212340201020201013"
                                    "018301606082b06010201010200060a2b06010401b962016301");
    const QByteArray encoded = encodeMessage(message).value();
    QCOMPARE(encoded.toHex(), expected.toHex());
    const SnmpMessage back = decodeMessage(encoded).value();
    QCOMPARE(back.version, SnmpVersion::V1);
    QCOMPARE(back.Type, 34);
}

void TstSnmpCodec::bulkFieldsAreNoErrorStatus()
{
    const QByteArray bulk = hex("302602010104066b6574746c65a51902017b02010002010a300e300c"
                                "06082b060102010101000500");
    const Result<SnmpMessage> decoded = decodeMessage(bulk);
    QVERIFY2(decoded.ok(), qPrintable(decoded.ok() ? "" : decoded.failure().description));
    QCOMPARE(decoded.value().Type, 69);
    QCOMPARE(decoded.value().maxRepetitions, 10);
    QCOMPARE(decoded.value().ErrorStatus, 0);
    QCOMPARE(decoded.value().ErrorIndex, 0);
}

void TstSnmpCodec::refusedMessages_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("SNMPv3") << hex("3027020103300d020101020203e80401040201030400301104000400"
                                   "a00b0201010201000201003000");
    QTest::newRow("version 2") << hex("302602010204067075626c6963a0190201010201000201003"
                                      "00e300c06082b060102010101000500");
    QTest::newRow("v1 trap") << hex("302202010004067075626c6963a41506022b06400400000000020100"
                                    "0201004301003000");
    QTest::newRow("GetBulk in v1") << hex("302602010004067075626c6963a519020101020100020100"
                                          "300e300c06082b060102010101000500");
    QTest::newRow("data after message") << v1Get + hex("00");
    QTest::newRow("PDU tag a9") << hex("302602010104067075626c6963a919020101020100020100300e"
                                       "300c06082b060102010101000500");
    QTest::newRow("unknown value tag") << hex("302702010104067075626c6963a01a020101020100020100"
                                              "300f300d06082b06010201010100470101");
    QTest::newRow("empty OID") << hex("301e02010104067075626c6963a01102010102010002010030063004"
                                      "06000500");
    QTest::newRow("OID ends in an arc") << hex("302002010104067075626c6963a01302010102010002010"
                                               "03008300606022b860500");
    QTest::newRow("request id beyond 32 bits") << hex("302a02010104067075626c6963a01d0205010000"
                                                      "0000020100020100300e300c06082b0601020101"
                                                      "01000500");
    QTest::newRow("binding without value") << hex("302402010104067075626c6963a01702010102010002"
                                                  "0100300c300a06082b06010201010100");
    QTest::newRow("IpAddress of 3 bytes") << hex("302902010104067075626c6963a01c020101020100020"
                                                 "1003011300f06082b0601020101010040030a0000");
    QTest::newRow("deep nesting") << QByteArray(200, '\x30');
}

void TstSnmpCodec::refusedMessages()
{
    QFETCH(QByteArray, bytes);
    QVERIFY(!decodeMessage(bytes).ok());
}

QTEST_GUILESS_MAIN(TstSnmpCodec)
#include "tst_snmpcodec.moc"
