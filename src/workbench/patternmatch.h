#pragma once

#include "common/core/result.h"

#include <QByteArrayView>
#include <QString>

#include <array>
#include <cstdint>
#include <vector>

// A wildcard pattern, compiled once and then matched against many lines of 8-bit text:
// "?" one character, "*" any run (also none), "#" one digit, "[list]" / "[!list]" one character
// in / not in the list (ranges such as a-z), anything else the character itself. A text matches
// when the whole of it fits the whole pattern.
//
// The pattern is cut at its stars into runs of one-character elements. The first run must fit
// the text's start and the last its end; each run in between is taken at its leftmost place
// after the previous one. That choice is never worse than a later one, so nothing is retried:
// at worst the cost is the text length times the pattern length, never exponential.
class CompiledPattern
{
public:
    // Fails on an unclosed "[" and on a range in descending order.
    static Result<CompiledPattern> compile(const QString &pattern);

    // ignoreCase folds letters (Latin-1 ones too) in the text and in the pattern alike.
    bool matches(QByteArrayView text, bool ignoreCase) const;

private:
    using ByteSet = std::array<bool, 256>;

    struct Run
    {
        int first = 0;  // index of the run's first element
        int length = 0; // number of elements, each matching exactly one character
    };

    // The run's element that admits the fewest and rarest characters (one or two), found
    // with memchr before the whole run is tried there.
    struct Anchor
    {
        int offset = -1; // within the run; -1: no such element, a Horspool search instead
        int count = 0;
        uint8_t bytes[2] = {0, 0};
    };

    struct Mode
    {
        std::vector<ByteSet> accepts; // per element: the characters it matches
        std::vector<Anchor> anchors;  // per run
        std::vector<int> shiftTable;  // per run: its Horspool skip table, -1 when anchored
        std::vector<std::array<int, 256>> shiftTables;
    };

    void addElement(const ByteSet &positive, bool negated);
    static Anchor chooseAnchor(const Mode &mode, const Run &run);
    void finish();
    bool fitsAt(const Mode &mode, const Run &run, const uint8_t *text) const;
    qsizetype find(const Mode &mode, int runIndex, const uint8_t *text, qsizetype from,
                   qsizetype to) const;
    qsizetype findAnchored(const Mode &mode, const Run &run, const Anchor &anchor,
                           const uint8_t *text, qsizetype from, qsizetype to) const;

    std::vector<Run> m_runs;
    bool m_starred = false;
    Mode m_exact;
    Mode m_folded;
};

// The comparison mode belongs to the module, as the routine exists once per mode.
namespace modCompareBin {
void MatchesPattern(QByteArrayView text, const CompiledPattern &pattern, bool &result);
}

namespace modCompareText {
void MatchesPattern(QByteArrayView text, const CompiledPattern &pattern, bool &result);
}
