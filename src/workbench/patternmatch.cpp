#include "patternmatch.h"

#include <QStringView>

#include <algorithm>
#include <cstring>

namespace {

// Letters of the 8-bit code page (Latin-1) to lower case; other characters unchanged.
uint8_t foldCase(unsigned c)
{
    if ((c >= 'A' && c <= 'Z') || (c >= 0xC0 && c <= 0xDE && c != 0xD7))
        return uint8_t(c + 0x20);
    return uint8_t(c);
}

QString quoted(const QString &text)
{
    return QLatin1Char('"') + text + QLatin1Char('"');
}

// How often a character turns up in MIB text, roughly: blanks and common letters high.
int commonness(unsigned c)
{
    static const char byFrequency[] = "etaoinsrhdlcumfpgwybvkxjqz";
    const unsigned lower = foldCase(c);
    if (lower >= 'a' && lower <= 'z')
        return 30 - int(std::strchr(byFrequency, int(lower)) - byFrequency);
    if (c == ' ')
        return 40;
    return c >= 0x20 && c < 0x7F ? 8 : 1;
}

const uint8_t *findByte(const uint8_t *from, const uint8_t *end, uint8_t wanted)
{
    const void *hit = std::memchr(from, wanted, size_t(end - from));
    return hit ? static_cast<const uint8_t *>(hit) : end;
}

} // namespace

Result<CompiledPattern> CompiledPattern::compile(const QString &pattern)
{
    CompiledPattern compiled;
    compiled.m_runs.push_back(Run{});
    const QStringView whole(pattern);
    for (qsizetype i = 0; i < whole.size(); ++i) {
        const char16_t ch = whole.at(i).unicode();
        ByteSet set{};
        if (ch == '*') {
            // Stars in a row are one star.
            if (!compiled.m_starred || compiled.m_runs.back().length > 0)
                compiled.m_runs.push_back(Run{int(compiled.m_exact.accepts.size()), 0});
            compiled.m_starred = true;
            continue;
        }
        if (ch == '?') {
            set.fill(true);
        } else if (ch == '#') {
            std::fill(set.begin() + '0', set.begin() + '9' + 1, true);
        } else if (ch == '[') {
            const qsizetype close = whole.indexOf(QLatin1Char(']'), i + 1);
            if (close < 0) {
                return failure(QStringLiteral("The search pattern %1 has a \"[\" without its "
                                              "closing \"]\".")
                                   .arg(quoted(pattern)));
            }
            QStringView list = whole.mid(i + 1, close - i - 1);
            i = close;
            const bool negated = list.startsWith(QLatin1Char('!'));
            if (negated)
                list = list.mid(1);
            else if (list.isEmpty())
                continue; // "[]" stands for the empty text
            for (qsizetype j = 0; j < list.size();) {
                const char16_t low = list.at(j).unicode();
                char16_t high = low;
                if (j + 2 < list.size() && list.at(j + 1) == QLatin1Char('-')) {
                    high = list.at(j + 2).unicode();
                    if (high < low) {
                        return failure(
                            QStringLiteral("The search pattern %1 has the range %2 "
                                           "in descending order.")
                                .arg(quoted(pattern), quoted(list.mid(j, 3).toString())));
                    }
                    j += 3;
                } else {
                    ++j;
                }
                for (unsigned c = low; c <= high && c < 256; ++c)
                    set[c] = true;
            }
            compiled.addElement(set, negated);
            continue;
        } else if (ch < 256) {
            set[ch] = true;
        } // a character the code page cannot hold matches nothing
        compiled.addElement(set, false);
    }
    compiled.finish();
    return compiled;
}

void CompiledPattern::addElement(const ByteSet &positive, bool negated)
{
    // Folding happens before negation: ignoring case, "A" is in "[a]" and so not in "[!a]".
    std::array<bool, 256> byFold{};
    for (unsigned c = 0; c < 256; ++c) {
        if (positive[c])
            byFold[foldCase(c)] = true;
    }
    ByteSet exact, folded;
    for (unsigned c = 0; c < 256; ++c) {
        exact[c] = positive[c] != negated;
        folded[c] = byFold[foldCase(c)] != negated;
    }
    m_exact.accepts.push_back(exact);
    m_folded.accepts.push_back(folded);
    ++m_runs.back().length;
}

CompiledPattern::Anchor CompiledPattern::chooseAnchor(const Mode &mode, const Run &run)
{
    Anchor best;
    int bestScore = 0;
    for (int j = 0; j < run.length; ++j) {
        const ByteSet &accepts = mode.accepts[size_t(run.first + j)];
        Anchor candidate;
        candidate.offset = j;
        int score = 0;
        for (unsigned c = 0; c < 256 && candidate.count <= 2; ++c) {
            if (accepts[c]) {
                if (candidate.count < 2)
                    candidate.bytes[candidate.count] = uint8_t(c);
                ++candidate.count;
                score += commonness(c);
            }
        }
        if (candidate.count >= 1 && candidate.count <= 2 &&
            (best.offset < 0 || score < bestScore)) {
            best = candidate;
            bestScore = score;
        }
    }
    return best;
}

void CompiledPattern::finish()
{
    for (Mode *mode : {&m_exact, &m_folded}) {
        for (const Run &run : m_runs) {
            mode->anchors.push_back(chooseAnchor(*mode, run));
            if (mode->anchors.back().offset >= 0) {
                mode->shiftTable.push_back(-1);
                continue;
            }
            // Skip distances of the Horspool search: how far the window may move when its
            // last character is c without passing over a place where the run could start.
            mode->shiftTable.push_back(int(mode->shiftTables.size()));
            std::array<int, 256> &shift = mode->shiftTables.emplace_back();
            shift.fill(std::max(run.length, 1));
            for (int j = 0; j + 1 < run.length; ++j) {
                const ByteSet &accepts = mode->accepts[size_t(run.first + j)];
                for (unsigned c = 0; c < 256; ++c) {
                    if (accepts[c])
                        shift[c] = run.length - 1 - j;
                }
            }
        }
    }
}

bool CompiledPattern::fitsAt(const Mode &mode, const Run &run, const uint8_t *text) const
{
    const ByteSet *accepts = mode.accepts.data() + run.first;
    for (int j = 0; j < run.length; ++j) {
        if (!accepts[j][text[j]])
            return false;
    }
    return true;
}

qsizetype CompiledPattern::find(const Mode &mode, int runIndex, const uint8_t *text, qsizetype from,
                                qsizetype to) const
{
    const Run &run = m_runs[size_t(runIndex)];
    if (run.length == 0)
        return from;
    const Anchor &anchor = mode.anchors[size_t(runIndex)];
    if (anchor.offset >= 0)
        return findAnchored(mode, run, anchor, text, from, to);
    const qsizetype last = run.length - 1;
    const ByteSet &lastAccepts = mode.accepts[size_t(run.first + last)];
    const std::array<int, 256> &shift = mode.shiftTables[size_t(mode.shiftTable[size_t(runIndex)])];
    for (qsizetype pos = from; pos + last < to;) {
        const uint8_t c = text[pos + last];
        if (lastAccepts[c] && fitsAt(mode, run, text + pos))
            return pos;
        pos += shift[c];
    }
    return -1;
}

qsizetype CompiledPattern::findAnchored(const Mode &mode, const Run &run, const Anchor &anchor,
                                        const uint8_t *text, qsizetype from, qsizetype to) const
{
    // The anchor's place for every start from `from` to the last one that leaves room.
    const qsizetype lastStart = to - run.length;
    if (lastStart < from)
        return -1;
    const uint8_t *next = text + from + anchor.offset;
    const uint8_t *const end = text + lastStart + anchor.offset + 1;
    // Each byte's next place is searched once and remembered until passed.
    const uint8_t *first = findByte(next, end, anchor.bytes[0]);
    const uint8_t *second = anchor.count == 2 ? findByte(next, end, anchor.bytes[1]) : end;
    for (;;) {
        const uint8_t *hit = first < second ? first : second;
        if (hit == end)
            return -1;
        const qsizetype pos = (hit - text) - anchor.offset;
        if (fitsAt(mode, run, text + pos))
            return pos;
        next = hit + 1;
        if (first < next)
            first = findByte(next, end, anchor.bytes[0]);
        if (second < next && anchor.count == 2)
            second = findByte(next, end, anchor.bytes[1]);
    }
}

bool CompiledPattern::matches(QByteArrayView text, bool ignoreCase) const
{
    const Mode &mode = ignoreCase ? m_folded : m_exact;
    const auto *data = reinterpret_cast<const uint8_t *>(text.data());
    const qsizetype size = text.size();
    const Run &head = m_runs.front();
    if (!m_starred)
        return size == head.length && fitsAt(mode, head, data);

    const Run &tail = m_runs.back();
    if (size < head.length + tail.length)
        return false;
    if (!fitsAt(mode, head, data) || !fitsAt(mode, tail, data + size - tail.length))
        return false;
    qsizetype pos = head.length;
    const qsizetype end = size - tail.length;
    for (int r = 1; r + 1 < int(m_runs.size()); ++r) {
        const qsizetype at = find(mode, r, data, pos, end);
        if (at < 0)
            return false;
        pos = at + m_runs[size_t(r)].length;
    }
    return true;
}

void modCompareBin::MatchesPattern(QByteArrayView text, const CompiledPattern &pattern,
                                   bool &result)
{
    result = pattern.matches(text, false);
}

void modCompareText::MatchesPattern(QByteArrayView text, const CompiledPattern &pattern,
                                    bool &result)
{
    result = pattern.matches(text, true);
}
