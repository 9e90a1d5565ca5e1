#include "snmpvariable.h"

#include "snmp/codec/bercodec.h"
#include "snmp/codec/snmpvalue.h"

#include <algorithm>

namespace {

void assignBytes(QByteArray &to, QByteArrayView from)
{
    if (!to.isDetached() || to.capacity() < from.size()) {
        to = from.toByteArray();
        return;
    }
    to.resize(from.size());
    std::copy(from.begin(), from.end(), to.data());
}

// The same in the storage of `spare` when nothing else shares it.
void assignBytes(QByteArray &to, QByteArray *spare, QByteArrayView from)
{
    if (spare->isDetached())
        to = std::move(*spare);
    assignBytes(to, from);
}

} // namespace

Result<SnmpVariable> SnmpVariable::make(const QString &oid, int type, const QString &value)
{
    SnmpVariable variable;
    variable.m_type = type;
    variable.m_value = value;
    const Result<QByteArray> element = encodeValue(type, value);
    if (!element)
        return element.failure();
    variable.m_valueElement = element.value();
    const Status named = variable.setOid(oid);
    if (!named)
        return named.failure();
    return variable;
}

Result<SnmpVariable> SnmpVariable::decode(const ber::Element &oidElement,
                                          const ber::Element &valueElement, SnmpVariable *like)
{
    const Status oid = ber::checkObjectName(oidElement.content);
    if (!oid)
        return oid.failure();
    const Result<SnmpValue> value = decodeValue(valueElement.tag, valueElement.content);
    if (!value)
        return value.failure();
    SnmpVariable variable;
    variable.m_oidPending = true;
    QByteArray spareOid;
    QByteArray spareValue;
    if (like) {
        // Only the bytes are shared: the text is made from them, as for any received identifier.
        if (like->m_oidElement == oidElement.encoded)
            variable.m_oidElement = like->m_oidElement;
        else
            spareOid = std::move(like->m_oidElement);
        spareValue = std::move(like->m_valueElement);
        // What remains of it is an empty binding, not one with half its bytes.
        *like = SnmpVariable();
    }
    if (variable.m_oidElement.isNull())
        assignBytes(variable.m_oidElement, &spareOid, oidElement.encoded);
    variable.m_type = value.value().type;
    variable.m_value = value.value().text;
    // Requests carry Null values: unless an answer's own buffer is there to hold one, they
    // share one buffer.
    static const QByteArray null = QByteArray::fromRawData("\x05\x00", 2);
    if (valueElement.encoded == null && !spareValue.isDetached())
        variable.m_valueElement = null;
    else
        assignBytes(variable.m_valueElement, &spareValue, valueElement.encoded);
    return variable;
}

Status SnmpVariable::setValue(const QString &text)
{
    return setValueAndType(text, m_type);
}

Status SnmpVariable::setType(int type)
{
    const Result<QByteArray> element = encodeValue(type, Value());
    if (!element)
        return element.failure();
    m_type = type;
    m_valueElement = element.value();
    return {};
}

Status SnmpVariable::setValueAndType(const QString &text, int type)
{
    Result<QByteArray> element = encodeValue(type, text);
    if (!element)
        return element.failure();
    m_value = text;
    m_valuePending = false;
    m_type = type;
    m_valueElement = std::move(element.value());
    return {};
}

QByteArrayView SnmpVariable::receivedOidContent() const
{
    return m_oidPending ? ber::contentOf(m_oidElement) : QByteArrayView();
}

void SnmpVariable::makeOidText() const
{
    m_oid = ber::decodeOid(ber::contentOf(m_oidElement)).value();
    m_oidPending = false;
}

void SnmpVariable::answerWith(const SnmpVariable &answer)
{
    m_value = answer.Value();
    m_valuePending = false;
    m_type = answer.m_type;
    m_valueElement = answer.m_valueElement;
    // While this text is not made the bytes decide: equal content means equal text, the
    // answer's being in the form decoding writes.
    const bool same = m_oidPending ? receivedOidContent() == ber::contentOf(answer.m_oidElement)
                                   : m_oid == answer.Oid();
    if (!same || m_oidElement.isEmpty()) {
        m_oid = answer.Oid();
        m_oidPending = false;
        m_oidElement = answer.m_oidElement;
    }
}

void SnmpVariable::setEncoded(QByteArrayView oidElement, int type, const QString &text,
                              QByteArrayView valueElement)
{
    if (m_oidElement != oidElement) {
        assignBytes(m_oidElement, oidElement);
        m_oid.clear();
        m_oidPending = true;
    }
    m_type = type;
    m_value = text;
    m_valuePending = false;
    assignBytes(m_valueElement, valueElement);
}

void SnmpVariable::setEncoded(QByteArrayView oidElement, QByteArrayView valueElement)
{
    setEncoded(oidElement, typeOfTag(quint8(valueElement[0])), QString(), valueElement);
    m_valuePending = true;
}

void SnmpVariable::makeValueText() const
{
    const Result<SnmpValue> value =
        decodeValue(quint8(m_valueElement[0]), ber::contentOf(m_valueElement));
    m_value = value ? value.value().text : QString();
    m_valuePending = false;
}

void SnmpVariable::setEncodedValue(int type, const QString &text, const QByteArray &element)
{
    m_type = type;
    m_value = text;
    m_valuePending = false;
    m_valueElement = element;
}

Status SnmpVariable::setOid(const QString &dotted)
{
    if (dotted == Oid() && !m_oidElement.isEmpty())
        return {};
    const Result<QByteArray> content = ber::encodeOid(dotted);
    if (!content)
        return content.failure();
    m_oid = dotted;
    m_oidPending = false;
    m_oidElement = ber::element(ber::ObjectIdentifier, content.value());
    return {};
}
