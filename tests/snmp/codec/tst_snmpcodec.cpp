#include "support/requests.h"

#include "snmp/codec/bercodec.h"
#include "snmp/codec/snmpmessage.h"
#include "snmp/codec/snmpvalue.h"

#include <QtTest>

// Encoding and decoding, without sockets. Byte vectors are written out by hand, so a fault the
// encoder and decoder share cannot hide behind a round trip.
class TstSnmpCodec : public QObject
{
    Q_OBJECT
private slots:
    void valueTexts_data();
    void valueTexts();
    void messagesGoOutAsTheyCame();
    void identifiersAtTheFirstArcs_data();
    void identifiersAtTheFirstArcs();
    void decodingReusesTheAnswersBuffers();
    void refusedMessages_data();
    void refusedMessages();
};

static QByteArray hex(const char *text)
{
    return QByteArray::fromHex(text);
}

void TstSnmpCodec::valueTexts_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("element"); // empty: the text does not fit
    QTest::newRow("Integer32 128") << SnmpType::Integer32 << "128" << hex("02020080");
    QTest::newRow("Integer32 -128") << SnmpType::Integer32 << "-128" << hex("020180");
    QTest::newRow("Integer32 -129") << SnmpType::Integer32 << "-129" << hex("0202ff7f");
    QTest::newRow("Integer32 min") << SnmpType::Integer32 << "-2147483648" << hex("020480000000");
    QTest::newRow("Integer32 too big") << SnmpType::Integer32 << "2147483648" << QByteArray();
    QTest::newRow("OctetString UTF-8")
        << SnmpType::OctetString << QString::fromUtf8("Å") << hex("0402c385");
    const std::pair<int, const char *> lengths[] = {
        {127, "047f"}, {128, "048180"}, {256, "04820100"}, {65536, "0483010000"}};
    for (const auto &[length, header] : lengths) {
        QTest::addRow("OctetString of %d", length) << SnmpType::OctetString << QString(length, 'x')
                                                   << hex(header) + QByteArray(length, 'x');
    }
    const int oid = SnmpType::ObjectIdentifier;
    QTest::newRow("OID") << oid << "1.3.6.1.4.1.7394.1.99.4" << hex("060a2b06010401b962016304");
    QTest::newRow("OID big second arc") << oid << "2.999.3" << hex("0603883703");
    QTest::newRow("OID 32-bit arc") << oid << "1.3.4294967295" << hex("06062b8fffffff7f");
    QTest::newRow("OID 64-bit arc")
        << oid << "1.3.18446744073709551615" << hex("060b2b81ffffffffffffffff7f");
    QTest::newRow("OID arc beyond 64 bits") << oid << "1.3.18446744073709551616" << QByteArray();
    for (const char *bad : {".1.3.6", "1.3.6 ", "1", "", "1.3..6", "3.1", "1.40", "1.3.six"})
        QTest::addRow("OID '%s'", bad) << oid << bad << QByteArray();
    QTest::newRow("IpAddress") << SnmpType::IpAddress << "192.0.2.255" << hex("4004c00002ff");
    QTest::newRow("IpAddress 256") << SnmpType::IpAddress << "192.0.2.256" << QByteArray();
    QTest::newRow("Counter32 max") << SnmpType::Counter32 << "4294967295" << hex("410500ffffffff");
    QTest::newRow("Counter32 over") << SnmpType::Counter32 << "4294967296" << QByteArray();
    QTest::newRow("Counter32 negative") << SnmpType::Counter32 << "-1" << QByteArray();
    QTest::newRow("Unsigned32 is Gauge32") << SnmpType::Unsigned32 << "128" << hex("42020080");
    QTest::newRow("TimeTicks top bit")
        << SnmpType::TimeTicks << "2147483648" << hex("43050080000000");
    QTest::newRow("TimeTicks over") << SnmpType::TimeTicks << "4294967296" << QByteArray();
    QTest::newRow("Counter64 max")
        << SnmpType::Counter64 << "18446744073709551615" << hex("460900ffffffffffffffff");
    QTest::newRow("Counter64 over")
        << SnmpType::Counter64 << "18446744073709551616" << QByteArray();
    QTest::newRow("Null") << SnmpType::Null << "" << hex("0500");
    QTest::newRow("Null with a text") << SnmpType::Null << "anything" << QByteArray();
}

void TstSnmpCodec::valueTexts()
{
    QFETCH(int, type);
    QFETCH(QString, text);
    QFETCH(QByteArray, element);
    const Result<QByteArray> encoded = encodeValue(type, text);
    if (element.isEmpty()) {
        QVERIFY(!encoded.ok());
        const QString why = encoded.failure().description;
        QVERIFY2(why.startsWith("Type mismatch"), qPrintable(why));
        QVERIFY2(QRegularExpression("not (a [^AEIOU]|an [AEIOU])").match(why).hasMatch(),
                 qPrintable(why));
        return;
    }
    QVERIFY2(encoded.ok(), qPrintable(encoded.ok() ? "" : encoded.failure().description));
    QCOMPARE(encoded.value().toHex(), element.toHex());
    ber::Reader reader(element);
    const ber::Element read = reader.read().value();
    const Result<SnmpValue> decoded = decodeValue(read.tag, read.content);
    QVERIFY(decoded.ok());
    QCOMPARE(decoded.value().text, text);
}

// snmpget -v1 -c public, request id 0x1234, sysDescr.0.
static const QByteArray v1Get = hex("302702010004067075626c6963a01a020212340201000201003"
                                    "00e300c06082b060102010101000500");

void TstSnmpCodec::messagesGoOutAsTheyCame()
{
    const SnmpMessage get = decodeMessage(v1Get).value();
    QCOMPARE(get.Variables[0].Oid(), QStringLiteral("1.3.6.1.2.1.1.1.0"));
    QCOMPARE(encodeMessage(get).value().toHex(), v1Get.toHex());

    // Non-minimal lengths and integers a fresh encoding would shorten.
    const QByteArray bindings = hex("300906022b060203000005")       // Integer 5 in three bytes
                                + hex("300b06022b0604810461626364") // OctetString, long form
                                + hex("300b06022b06460500ffffffff") // Counter64
                                + hex("300806022b06430200c8")       // TimeTicks 200
                                + hex("300a06022b064004c0000201")   // IpAddress
                                + hex("300606022b068000")           // noSuchObject
                                + hex("300a06022b0644040102030f");  // Opaque
    const QByteArray pdu = hex("020105020100020100") + ber::element(ber::Sequence, bindings);
    const QByteArray message =
        ber::element(ber::Sequence, hex("020101040463686172") + ber::element(0xa1, pdu));
    const Result<SnmpMessage> decoded = decodeMessage(message);
    QVERIFY2(decoded.ok(), qPrintable(decoded.ok() ? "" : decoded.failure().description));
    const QList<SnmpVariable> &variables = decoded.value().Variables;
    QCOMPARE(variables.size(), 7);
    QCOMPARE(variables[1].Value(), QStringLiteral("abcd"));
    QCOMPARE(variables[2].Value(), QStringLiteral("4294967295"));
    QCOMPARE(variables[4].Value(), QStringLiteral("192.0.2.1"));
    QCOMPARE(variables[5].Type(), SnmpType::NoSuchObject);
    QCOMPARE(encodeMessage(decoded.value()).value().toHex(), message.toHex());
}

// A request is decoded into the buffers of the previous one's answer, which must then hold the
// request's bytes and leave an empty binding behind, not half of one.
void TstSnmpCodec::identifiersAtTheFirstArcs_data()
{
    QTest::addColumn<QString>("dotted");
    QTest::addColumn<QByteArray>("content"); // empty: no identifier
    // The first two arcs share one sub-identifier, 40 * first + second; only under 2 may the
    // second reach 40 and beyond.
    QTest::newRow("0.0") << "0.0" << hex("00");
    QTest::newRow("0.39") << "0.39.5" << hex("2705");
    QTest::newRow("1.0, the LLDP MIB's") << "1.0.8802.1.1.2" << hex("28c462010102");
    QTest::newRow("1.39") << "1.39.1" << hex("4f01");
    QTest::newRow("2.0") << "2.0.1" << hex("5001");
    QTest::newRow("2.40") << "2.40.1" << hex("7801");
    QTest::newRow("2.47, one byte") << "2.47" << hex("7f");
    QTest::newRow("2.48, two bytes") << "2.48" << hex("8100");
    QTest::newRow("0.40") << "0.40.1" << QByteArray();
    QTest::newRow("1.40") << "1.40.1" << QByteArray();
    QTest::newRow("3.1") << "3.1" << QByteArray();
}

// Names and values alike, through a whole message and back.
void TstSnmpCodec::identifiersAtTheFirstArcs()
{
    QFETCH(QString, dotted);
    QFETCH(QByteArray, content);
    const Result<QByteArray> encoded = ber::encodeOid(dotted);
    QCOMPARE(encoded.ok(), !content.isEmpty());
    if (content.isEmpty())
        return;
    QCOMPARE(encoded.value().toHex(), content.toHex());
    QCOMPARE(ber::decodeOid(content).value(), dotted);
    SnmpMessage message = makeRequest(SnmpPdu::V2cBase + SnmpPdu::Response, {});
    const Result<SnmpVariable> variable =
        SnmpVariable::make(dotted, SnmpType::ObjectIdentifier, dotted);
    QVERIFY2(variable, qPrintable(variable ? QString() : variable.failure().description));
    message.Variables.append(variable.value());
    const Result<SnmpMessage> decoded = decodeMessage(encodeMessage(message).value());
    QVERIFY2(decoded, qPrintable(decoded ? QString() : decoded.failure().description));
    QCOMPARE(decoded.value().Variables[0].Oid(), dotted);
    QCOMPARE(decoded.value().Variables[0].Value(), dotted);
    QCOMPARE(ber::contentOf(decoded.value().Variables[0].oidElement()), content);
}

void TstSnmpCodec::decodingReusesTheAnswersBuffers()
{
    const auto answered = [] {
        SnmpMessage message = decodeMessage(v1Get).value();
        message.Variables[0].setEncoded(
            ber::element(ber::ObjectIdentifier, ber::encodeOid("1.3.6.1.4.1.9.9.1.2.3").value()),
            ber::element(ber::OctetString, QByteArray(40, 'x')));
        return message;
    };
    // snmpget -v1 -c public, request id 0x1235, sysName.0.
    const QByteArray nameGet = hex("302702010004067075626c6963a01a020212350201000201003"
                                   "00e300c06082b060102010105000500");
    SnmpMessage alone = answered();
    const SnmpMessage request = decodeMessage(nameGet, &alone).value();
    QCOMPARE(encodeMessage(request).value().toHex(), nameGet.toHex());
    QCOMPARE(request.Variables[0].Oid(), QStringLiteral("1.3.6.1.2.1.1.5.0"));
    QCOMPARE(request.Variables[0].Type(), SnmpType::Null);
    QVERIFY(alone.Variables[0].Oid().isEmpty());
}

void TstSnmpCodec::refusedMessages_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("empty") << QByteArray();
    QTest::newRow("content truncated") << hex("30050201");
    QTest::newRow("long length truncated") << hex("308201");
    QTest::newRow("indefinite length") << hex("30800000");
    QTest::newRow("five length bytes") << hex("30850000000001ff");
    QTest::newRow("huge length") << hex("3084ffffffff0201");
    QTest::newRow("deep nesting") << QByteArray(200, '\x30');
    QTest::newRow("data after message") << v1Get + hex("00");
    QTest::newRow("OID ends in an arc") << hex("302002010104067075626c6963a01302010102010002010"
                                               "03008300606022b860500");
    QTest::newRow("request id beyond 32 bits") << hex("302a02010104067075626c6963a01d0205010000"
                                                      "0000020100020100300e300c06082b0601020101"
                                                      "01000500");
}

void TstSnmpCodec::refusedMessages()
{
    QFETCH(QByteArray, bytes);
    QVERIFY(!decodeMessage(bytes).ok());
}

QTEST_GUILESS_MAIN(TstSnmpCodec)
#include "tst_snmpcodec.moc"
