#pragma once

#include "snmptesthelpers.h"

#include "snmp/bercodec.h"

#include <QByteArray>
#include <QList>
#include <QRandomGenerator>

// Requests and non-requests as seeds, sent as they are or truncated, flipped, re-tagged,
// re-lengthed, nested or replaced by noise.
class SnmpMutations
{
public:
    explicit SnmpMutations(quint32 seed) : m_random(seed)
    {
        const auto seedOf = [](int type, const QStringList &oids, const char *c = "kettle") {
            return encodeMessage(makeRequest(type, oids, c, 0x7fff1234)).value();
        };
        const QString sys = QStringLiteral("1.3.6.1.2.1.1.");
        m_seeds = {
            seedOf(32, {sys + "5.0"}),
            seedOf(65, {sys + "1", sys + "3.0", "1.3.6.1.2.1.2.2.1.8.1"}),
            seedOf(69, {"1.3.6.1.2.1"}),
            seedOf(67, {sys + "4.0"}),
            seedOf(64, {sys + "7", "1.3.6.1.4.1.18446744073709551615"}, "public"),
            // None of these may be answered: responses, inform, traps, report, SNMPv3.
            seedOf(66, {sys + "5.0"}), seedOf(34, {sys + "5.0"}), seedOf(70, {sys + "3.0"}),
            seedOf(71, {sys + "3.0"}), seedOf(72, {sys + "3.0"}),
            QByteArray::fromHex("302202010004067075626c6963a41506022b0640040000000002010002010043"
                                "01003000"),
            QByteArray::fromHex("3027020103300d020101020203e80401040201030400301104000400a00b02"
                                "01010201000201003000"),
        };
    }

    QByteArray next()
    {
        QByteArray bytes = m_seeds[m_random.bounded(m_seeds.size())];
        switch (m_random.bounded(7)) {
        case 0:
            bytes.truncate(m_random.bounded(bytes.size()));
            break;
        case 1:
            for (int i = 0, n = 1 + m_random.bounded(4); i < n; ++i)
                bytes[m_random.bounded(bytes.size())] = char(m_random.bounded(256));
            break;
        case 2: // noise
            bytes.resize(m_random.bounded(300));
            for (char &byte : bytes)
                byte = char(m_random.bounded(256));
            break;
        case 3: { // a length made long, indefinite or huge
            static const char *const lengths[] = {"80", "84ffffffff",   "847fffffff", "8201",
                                                  "ff", "850000000001", "81"};
            const int at = 1 + m_random.bounded(bytes.size() - 1);
            bytes.replace(at, 1, QByteArray::fromHex(lengths[m_random.bounded(7)]));
            break;
        }
        case 4: // far deeper than any message
            for (int i = 0, depth = 1 + m_random.bounded(300); i < depth; ++i)
                bytes = ber::element(ber::Sequence, bytes);
            break;
        case 5: { // a wrong tag where one is expected
            static const int tagPositions[] = {0, 2, 5, 13, 15};
            const int at = tagPositions[m_random.bounded(5)];
            if (at < bytes.size())
                bytes[at] = char(m_random.bounded(256));
            break;
        }
        default: // the seed as it is
            break;
        }
        return bytes;
    }

private:
    QRandomGenerator m_random;
    QList<QByteArray> m_seeds;
};
