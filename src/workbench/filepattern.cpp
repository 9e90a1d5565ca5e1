#include "filepattern.h"

namespace {

// Greedy wildcard match with one backtrack point: linear in practice, never exponential.
bool wildcardMatch(QStringView name, QStringView pattern)
{
    qsizetype n = 0, p = 0, starP = -1, starN = 0;
    while (n < name.size()) {
        if (p < pattern.size() && pattern[p] == u'*') {
            starP = p++;
            starN = n;
        } else if (p < pattern.size() &&
                   (pattern[p] == u'?' || QChar::toCaseFolded(pattern[p].unicode()) ==
                                              QChar::toCaseFolded(name[n].unicode()))) {
            ++n;
            ++p;
        } else if (starP >= 0) {
            p = starP + 1;
            n = ++starN;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == u'*')
        ++p;
    return p == pattern.size();
}

} // namespace

FilePattern::FilePattern(const QString &text)
{
    for (const QString &part : text.split(QLatin1Char(';'))) {
        const QString trimmed = part.trimmed();
        if (!trimmed.isEmpty())
            m_parts.append(trimmed);
    }
}

bool FilePattern::matches(const QString &fileName) const
{
    for (const QString &part : m_parts) {
        if (wildcardMatch(fileName, part))
            return true;
        if (part.endsWith(QLatin1String(".*")) && !fileName.contains(QLatin1Char('.')) &&
            wildcardMatch(fileName, QStringView(part).chopped(2)))
            return true;
    }
    return false;
}
