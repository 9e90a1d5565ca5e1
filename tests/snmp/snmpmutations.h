#pragma once

#include "snmp/bercodec.h"
#include "snmp/snmpmessage.h"

#include <QByteArray>
#include <QList>
#include <QRandomGenerator>

// Datagrams that managers, broken managers and other agents might send: valid requests and
// non-requests as seeds, then truncated, flipped, re-tagged, re-lengthed and nested variants.
class SnmpMutations
{
public:
    explicit SnmpMutations(quint32 seed) : m_random(seed)
    {
        const auto seedOf = [](int type, const QStringList &oids, const QString &community) {
            SnmpMessage message;
            message.version = type < SnmpPdu::V2cBase ? SnmpVersion::V1 : SnmpVersion::V2c;
            message.Type = type;
            message.Community = community;
            message.MessageNumber = 0x7fff1234;
            for (const QString &oid : oids)
                message.Variables.append(SnmpVariable::make(oid).value());
            return encodeMessage(message).value();
        };
        const QString sys = QStringLiteral("1.3.6.1.2.1.1.");
        m_seeds = {
            seedOf(32, {sys + "5.0"}, "kettle"),
            seedOf(65, {sys + "1", sys + "3.0", "1.3.6.1.2.1.2.2.1.8.1"}, "kettle"),
            seedOf(69, {"1.3.6.1.2.1"}, "kettle"),
            seedOf(67, {sys + "4.0"}, "kettle"),
            seedOf(64, {sys + "7", "1.3.6.1.4.1.18446744073709551615"}, "public"),
            seedOf(66, {sys + "5.0"}, "kettle"), // a response
            seedOf(71, {sys + "3.0"}, "kettle"), // a trap
            seedOf(72, {sys + "3.0"}, "kettle"), // a report
            QByteArray::fromHex("3027020103300d020101020203e80401040201030400301104000400a00b0201"
                                "010201000201003000"), // SNMPv3
        };
    }

    QByteArray next()
    {
        QByteArray bytes = m_seeds[m_random.bounded(m_seeds.size())];
        switch (m_random.bounded(9)) {
        case 0: // truncated
            bytes.truncate(m_random.bounded(bytes.size()));
            break;
        case 1: // flipped bytes
            for (int i = 0, n = 1 + m_random.bounded(4); i < n; ++i)
                bytes[m_random.bounded(bytes.size())] = char(m_random.bounded(256));
            break;
        case 2: // noise
            bytes = randomBytes(m_random.bounded(300));
            break;
        case 3: { // a length byte made long, indefinite or huge
            static const char *const lengths[] = {"80", "84ffffffff",   "847fffffff", "8201",
                                                  "ff", "850000000001", "81"};
            const int at = 1 + m_random.bounded(bytes.size() - 1);
            bytes.replace(at, 1, QByteArray::fromHex(lengths[m_random.bounded(7)]));
            break;
        }
        case 4: // nesting far deeper than a message has
            bytes = nested(1 + m_random.bounded(300), bytes);
            break;
        case 5: { // a wrong tag where one is expected
            static const int tagPositions[] = {0, 2, 5, 13, 15};
            const int at = tagPositions[m_random.bounded(5)];
            if (at < bytes.size())
                bytes[at] = char(m_random.bounded(256));
            break;
        }
        case 6: // bytes dropped or inserted
            if (m_random.bounded(2) && bytes.size() > 1)
                bytes.remove(m_random.bounded(bytes.size()), 1 + m_random.bounded(3));
            else
                bytes.insert(m_random.bounded(bytes.size()), randomBytes(1 + m_random.bounded(3)));
            break;
        case 7: // trailing data
            bytes += randomBytes(1 + m_random.bounded(8));
            break;
        default: // unchanged seed
            break;
        }
        return bytes;
    }

private:
    QByteArray randomBytes(int count)
    {
        QByteArray bytes(count, '\0');
        for (char &byte : bytes)
            byte = char(m_random.bounded(256));
        return bytes;
    }

    static QByteArray nested(int depth, const QByteArray &inner)
    {
        QByteArray bytes = inner;
        for (int i = 0; i < depth; ++i)
            bytes = ber::element(ber::Sequence, bytes);
        return bytes;
    }

    QRandomGenerator m_random;
    QList<QByteArray> m_seeds;
};
