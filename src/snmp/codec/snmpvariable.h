#pragma once

#include "common/core/result.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

namespace ber {
struct Element;
}

// One variable binding. What is never set goes out in the bytes it came in.
class SnmpVariable
{
public:
    SnmpVariable() = default;
    // A fresh binding of an identifier to Null, as a manager sends it.
    static Result<SnmpVariable> make(const QString &oid, int type = 20, const QString &value = {});
    // Shares the identifier's buffer with `like` when it holds the same bytes, and otherwise
    // takes over the buffers `like` does not share, which it leaves empty.
    static Result<SnmpVariable> decode(const ber::Element &oid, const ber::Element &value,
                                       SnmpVariable *like = nullptr);

    const QString &Oid() const
    {
        if (m_oidPending)
            makeOidText();
        return m_oid;
    }
    int Type() const { return m_type; }
    const QString &Value() const
    {
        if (m_valuePending)
            makeValueText();
        return m_value;
    }

    // Text and encoding always say the same: a text that does not fit the type fails and
    // changes nothing, so what is traced is what goes out.
    Status setValue(const QString &text);
    Status setType(int type);
    Status setOid(const QString &dotted);
    Status setValueAndType(const QString &text, int type);
    // What setValueAndType then setOid give for an answer that fits: its identifier, type and
    // value as they are encoded. The identifier's encoding stays when the text is the same. The
    // answer's identifier is written as decoding writes it (no leading zeros in an arc).
    void answerWith(const SnmpVariable &answer);
    // An answer from stored encodings; the identifier's text is made when first asked for.
    void setEncoded(QByteArrayView oidElement, int type, const QString &text,
                    QByteArrayView valueElement);
    // The same with the value's text made from its element when first asked for.
    void setEncoded(QByteArrayView oidElement, QByteArrayView valueElement);
    // Takes a value with an encoding the caller made from the same text and type.
    void setEncodedValue(int type, const QString &text, const QByteArray &element);

    // The encoded identifier and value elements.
    const QByteArray &oidElement() const { return m_oidElement; }
    const QByteArray &valueElement() const { return m_valueElement; }
    // The identifier's content as it came in, while its text is not made yet; empty otherwise.
    // Bytes and text say the same then, since decoding takes no padded arcs.
    QByteArrayView receivedOidContent() const;

private:
    void makeOidText() const;
    void makeValueText() const;

    // A received identifier's text is made when first asked for: answers mostly need its bytes.
    mutable QString m_oid;
    mutable bool m_oidPending = false;
    int m_type = 20;
    // An answer's value text is only read for traces: made from the element when asked for.
    mutable QString m_value;
    mutable bool m_valuePending = false;
    QByteArray m_oidElement;
    QByteArray m_valueElement;
};
