#include "portnumber.h"

Result<qint32> portNumber(const QString &text)
{
    const QString trimmed = text.trimmed();
    qsizetype start =
        trimmed.startsWith(QLatin1Char('-')) || trimmed.startsWith(QLatin1Char('+')) ? 1 : 0;
    bool digits = trimmed.size() > start;
    for (qsizetype i = start; i < trimmed.size() && digits; ++i)
        digits = trimmed[i] >= QLatin1Char('0') && trimmed[i] <= QLatin1Char('9');
    if (!digits)
        return failure(QStringLiteral("Type mismatch"), 13);
    bool ok = false;
    const qint64 value = trimmed.toLongLong(&ok);
    if (!ok || value < INT32_MIN || value > INT32_MAX)
        return failure(QStringLiteral("Overflow"), 6);
    return qint32(value);
}
