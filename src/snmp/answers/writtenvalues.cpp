#include "writtenvalues.h"

const QByteArray *WrittenValues::find(QByteArrayView oidContent) const
{
    const auto found = m_values.find(oidContent);
    return found == m_values.end() ? nullptr : &found->second;
}

void WrittenValues::write(QByteArrayView oidContent, QByteArrayView valueElement)
{
    m_values.insert_or_assign(oidContent.toByteArray(), valueElement.toByteArray());
}
