#include "ownobjects.h"

#include "snmp/answers/snmpstatistics.h"
#include "snmp/codec/bercodec.h"
#include "snmp/codec/oidorder.h"

#include <QList>

#include <algorithm>

namespace {

enum class Own {
    InPkts,
    InBadVersions,
    InBadCommunityNames,
    InBadCommunityUses,
    InAsnParseErrs,
    EnableAuthenTraps,
    SilentDrops,
    ProxyDrops,
    EngineId,
    EngineBoots,
    EngineTime,
    EngineMaxMessageSize,
    UnknownSecurityModels,
    InvalidMsgs,
    UnknownPduHandlers,
    UnknownContexts,
    UnsupportedSecLevels,
    NotInTimeWindows,
    UnknownUserNames,
    UnknownEngineIds,
    WrongDigests,
    DecryptionErrors,
};

struct Definition
{
    const char *oid;
    Own value;
};

// In identifier order. The SNMP group comes first: it is all a row without users serves.
constexpr Definition Definitions[] = {
    {"1.3.6.1.2.1.11.1.0", Own::InPkts},
    {"1.3.6.1.2.1.11.3.0", Own::InBadVersions},
    {"1.3.6.1.2.1.11.4.0", Own::InBadCommunityNames},
    {"1.3.6.1.2.1.11.5.0", Own::InBadCommunityUses},
    {"1.3.6.1.2.1.11.6.0", Own::InAsnParseErrs},
    {"1.3.6.1.2.1.11.30.0", Own::EnableAuthenTraps},
    {"1.3.6.1.2.1.11.31.0", Own::SilentDrops},
    {"1.3.6.1.2.1.11.32.0", Own::ProxyDrops},
    {"1.3.6.1.6.3.10.2.1.1.0", Own::EngineId},
    {"1.3.6.1.6.3.10.2.1.2.0", Own::EngineBoots},
    {"1.3.6.1.6.3.10.2.1.3.0", Own::EngineTime},
    {"1.3.6.1.6.3.10.2.1.4.0", Own::EngineMaxMessageSize},
    {"1.3.6.1.6.3.11.2.1.1.0", Own::UnknownSecurityModels},
    {"1.3.6.1.6.3.11.2.1.2.0", Own::InvalidMsgs},
    {"1.3.6.1.6.3.11.2.1.3.0", Own::UnknownPduHandlers},
    {"1.3.6.1.6.3.12.1.5.0", Own::UnknownContexts},
    {"1.3.6.1.6.3.15.1.1.1.0", Own::UnsupportedSecLevels},
    {"1.3.6.1.6.3.15.1.1.2.0", Own::NotInTimeWindows},
    {"1.3.6.1.6.3.15.1.1.3.0", Own::UnknownUserNames},
    {"1.3.6.1.6.3.15.1.1.4.0", Own::UnknownEngineIds},
    {"1.3.6.1.6.3.15.1.1.5.0", Own::WrongDigests},
    {"1.3.6.1.6.3.15.1.1.6.0", Own::DecryptionErrors},
};
constexpr int SnmpGroupSize = 8;
constexpr int AllSize = int(std::size(Definitions));

constexpr quint8 Counter32Tag = 0x41;
constexpr qint64 MaxMessageSize = 65507;
constexpr int AuthenTrapsDisabled = 2;

const QList<QByteArray> &oidElements()
{
    static const QList<QByteArray> elements = [] {
        QList<QByteArray> made;
        for (const Definition &definition : Definitions)
            made.append(ber::element(ber::ObjectIdentifier,
                                     ber::encodeOid(QLatin1String(definition.oid)).value()));
        return made;
    }();
    return elements;
}

QByteArray counter(quint32 value)
{
    return ber::unsignedElement(Counter32Tag, value);
}

QByteArray integer(qint64 value)
{
    return ber::element(ber::Integer, ber::encodeInteger(value));
}

} // namespace

OwnObjects::OwnObjects(const SnmpStatistics &statistics, std::optional<EngineFacts> engine)
    : m_statistics(&statistics), m_engine(std::move(engine)),
      m_count(m_engine ? AllSize : SnmpGroupSize)
{
}

int OwnObjects::find(QByteArrayView oidContent) const
{
    const int after = upperBound(oidContent);
    return after > 0 && oidContent == this->oidContent(after - 1) ? after - 1 : -1;
}

int OwnObjects::next(QByteArrayView oidContent) const
{
    const int after = upperBound(oidContent);
    return after < m_count ? after : -1;
}

int OwnObjects::upperBound(QByteArrayView oidContent) const
{
    int low = 0;
    int high = m_count;
    while (low < high) {
        const int middle = (low + high) / 2;
        if (compareOidContents(this->oidContent(middle), oidContent) <= 0)
            low = middle + 1;
        else
            high = middle;
    }
    return low;
}

QByteArrayView OwnObjects::oidElement(int position) const
{
    return oidElements()[position];
}

QByteArrayView OwnObjects::oidContent(int position) const
{
    return ber::contentOf(oidElements()[position]);
}

QByteArray OwnObjects::valueElement(int position) const
{
    const SnmpStatistics &s = *m_statistics;
    switch (Definitions[position].value) {
    case Own::InPkts:
        return counter(s.inPkts);
    case Own::InBadVersions:
        return counter(s.inBadVersions);
    case Own::InBadCommunityNames:
        return counter(s.inBadCommunityNames);
    case Own::InBadCommunityUses:
        return counter(s.inBadCommunityUses);
    case Own::InAsnParseErrs:
        return counter(s.inAsnParseErrs);
    case Own::EnableAuthenTraps:
        return integer(AuthenTrapsDisabled);
    case Own::SilentDrops:
        return counter(s.silentDrops);
    case Own::ProxyDrops:
        return counter(s.proxyDrops);
    default:
        break;
    }
    const EngineFacts &engine = *m_engine;
    switch (Definitions[position].value) {
    case Own::EngineId:
        return ber::element(ber::OctetString, engine.id);
    case Own::EngineBoots:
        return integer(engine.boots);
    case Own::EngineTime:
        return integer(engine.time);
    case Own::EngineMaxMessageSize:
        return integer(MaxMessageSize);
    default:
        break;
    }
    // The counters stand in their identifiers' order, the processing ones first.
    const int index = int(Definitions[position].value) - int(Own::UnknownSecurityModels);
    const int processing = int(engine.processing.size());
    return counter(index < processing ? engine.processing[index] : engine.usm[index - processing]);
}
