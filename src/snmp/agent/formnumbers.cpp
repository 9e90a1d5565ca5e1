#include "formnumbers.h"

std::optional<int> wholeNumber(const QString &text, int least, int most)
{
    bool ok = false;
    const int value = text.trimmed().toInt(&ok);
    if (!ok || value < least || value > most)
        return std::nullopt;
    return value;
}
