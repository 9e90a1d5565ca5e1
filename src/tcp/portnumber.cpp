#include "portnumber.h"

#include <QRegularExpression>

#include <limits>

Result<int> portNumberFromText(const QString &text)
{
    const QString digits = text.trimmed();
    bool ok = false;
    const qlonglong value = digits.toLongLong(&ok, 10);
    if (!ok) {
        // A run of digits too long even for 64 bits is a number all the same.
        static const QRegularExpression number(QStringLiteral("^[+-]?[0-9]+$"));
        if (number.match(digits).hasMatch())
            return failure(QStringLiteral("Overflow"), 6);
        return failure(QStringLiteral("Type mismatch"), 13);
    }
    if (value < std::numeric_limits<int>::min() || value > std::numeric_limits<int>::max())
        return failure(QStringLiteral("Overflow"), 6);
    return int(value);
}
