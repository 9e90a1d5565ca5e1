#include "snmptypes.h"

#include "snmp/codec/bercodec.h"

#include <iterator>

namespace {

struct TypeInfo
{
    int type;
    quint8 tag;
    const char *name;
};

// The typed objects' nine first, in the order they are offered; a tag shared by two types
// decodes as the first.
constexpr TypeInfo Types[] = {
    {SnmpType::Integer32, ber::Integer, "Integer32"},
    {SnmpType::OctetString, ber::OctetString, "OctetString"},
    {SnmpType::ObjectIdentifier, ber::ObjectIdentifier, "ObjectIdentifier"},
    {SnmpType::IpAddress, SnmpTag::IpAddress, "IpAddress"},
    {SnmpType::Counter32, SnmpTag::Counter32, "Counter32"},
    {SnmpType::Gauge32, SnmpTag::Gauge32, "Gauge32"},
    {SnmpType::TimeTicks, SnmpTag::TimeTicks, "TimeTicks"},
    {SnmpType::Counter64, SnmpTag::Counter64, "Counter64"},
    {SnmpType::Unsigned32, SnmpTag::Gauge32, "Unsigned32"},
    {SnmpType::Null, ber::Null, "Null"},
    {SnmpType::Opaque, SnmpTag::Opaque, "Opaque"},
    {SnmpType::NoSuchObject, SnmpTag::NoSuchObject, "noSuchObject"},
    {SnmpType::NoSuchInstance, SnmpTag::NoSuchInstance, "noSuchInstance"},
    {SnmpType::EndOfMibView, SnmpTag::EndOfMibView, "endOfMibView"},
};
constexpr int TypedObjectTypes = 9;

const TypeInfo *infoOf(int type)
{
    for (const TypeInfo &info : Types) {
        if (info.type == type)
            return &info;
    }
    return nullptr;
}

} // namespace

QStringList typedObjectTypeNames()
{
    QStringList names;
    for (int i = 0; i < TypedObjectTypes; ++i)
        names.append(QLatin1String(Types[i].name));
    return names;
}

int typeCodeOfName(const QString &name)
{
    for (int i = 0; i < TypedObjectTypes; ++i) {
        if (name == QLatin1String(Types[i].name))
            return Types[i].type;
    }
    return 0;
}

QString typeName(int type)
{
    const TypeInfo *info = infoOf(type);
    return info ? QLatin1String(info->name) : QStringLiteral("type %1").arg(type);
}

quint8 tagOfType(int type)
{
    const TypeInfo *info = infoOf(type);
    return info ? info->tag : 0;
}

int typeOfTag(quint8 tag)
{
    for (const TypeInfo &info : Types) {
        if (info.tag == tag)
            return info.type;
    }
    return 0;
}
