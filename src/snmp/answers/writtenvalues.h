#pragma once

#include <QByteArray>
#include <QByteArrayView>

#include <map>
#include <string_view>

// The values a row was set to, by identifier: answered in place of what it serves until the row
// stops or its user resets them. Only served objects are written, so no identifier is added to
// what the row walks.
class WrittenValues
{
public:
    bool isEmpty() const { return m_values.empty(); }
    qsizetype size() const { return qsizetype(m_values.size()); }
    void clear() { m_values.clear(); }

    // The value element written for the identifier's content; null when none is.
    const QByteArray *find(QByteArrayView oidContent) const;
    void write(QByteArrayView oidContent, QByteArrayView valueElement);

private:
    struct Less
    {
        using is_transparent = void;
        bool operator()(QByteArrayView a, QByteArrayView b) const
        {
            return std::string_view(a.data(), size_t(a.size())) <
                   std::string_view(b.data(), size_t(b.size()));
        }
    };
    std::map<QByteArray, QByteArray, Less> m_values;
};
