#include "malformedanswers.h"

#include "snmp/codec/bercodec.h"
#include "snmp/codec/snmpmessage.h"
#include "snmp/codec/snmptypes.h"

namespace {

bool holdsValue(const SnmpVariable &variable)
{
    switch (variable.Type()) {
    case SnmpType::Null:
    case SnmpType::NoSuchObject:
    case SnmpType::NoSuchInstance:
    case SnmpType::EndOfMibView:
        return false;
    default:
        return true;
    }
}

// A string becomes a number (its length), anything else the string of its text.
bool giveWrongType(SnmpVariable &variable)
{
    if (variable.Type() == SnmpType::OctetString) {
        const qsizetype length = ber::contentOf(variable.valueElement()).size();
        return variable.setValueAndType(QString::number(length), SnmpType::Integer32).ok();
    }
    return variable.setValueAndType(variable.Value(), SnmpType::OctetString).ok();
}

bool lengthPastEnd(QByteArray &datagram)
{
    if (datagram.size() < 2)
        return false;
    const quint8 first = quint8(datagram[1]);
    qsizetype headerSize = 2;
    if (first & 0x80) {
        headerSize += first & 0x7f;
        if (headerSize == 2 || headerSize > 6 || datagram.size() < headerSize)
            return false;
    }
    QByteArray header;
    ber::appendHeader(header, quint8(datagram[0]), datagram.size() - headerSize + 1);
    datagram.replace(0, headerSize, header);
    return true;
}

} // namespace

SpoiledPart spoiledPart(MalformedKind kind)
{
    switch (kind) {
    case MalformedKind::CutShort:
    case MalformedKind::LengthPastEnd:
        return SpoiledPart::Bytes;
    case MalformedKind::TwoAnswers:
        return SpoiledPart::Sending;
    default:
        return SpoiledPart::Message;
    }
}

bool spoilMessage(SnmpMessage &answer, MalformedKind kind)
{
    switch (kind) {
    case MalformedKind::WrongRequestId:
        answer.MessageNumber = ~answer.MessageNumber;
        return true;
    case MalformedKind::WrongValueType:
        for (SnmpVariable &variable : answer.Variables) {
            if (holdsValue(variable))
                return giveWrongType(variable);
        }
        return false;
    case MalformedKind::MissingLastVariable:
        if (answer.Variables.isEmpty())
            return false;
        answer.Variables.removeLast();
        return true;
    default:
        return false;
    }
}

bool spoilBytes(QByteArray &datagram, MalformedKind kind)
{
    switch (kind) {
    case MalformedKind::CutShort:
        if (datagram.size() < 2)
            return false;
        datagram.truncate(datagram.size() / 2);
        return true;
    case MalformedKind::LengthPastEnd:
        return lengthPastEnd(datagram);
    default:
        return false;
    }
}

int answerCopies(MalformedKind kind)
{
    return kind == MalformedKind::TwoAnswers ? 2 : 1;
}
