// MatchesPattern over a 100 MB file of MIB-like lines, read as the search reads it, against
// grep -c -i on the same file.
#include "common/core/textlines.h"
#include "workbench/patternmatch.h"
#include "workbenchdata.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>

namespace {

constexpr qsizetype FileBytes = 100 * 1000 * 1000;
constexpr int Rounds = 3;

// Counts the matching lines of the file, as grep -c does.
qint64 countMatches(const QString &path, const CompiledPattern &pattern)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return -1;
    LineReader reader(file);
    QByteArrayView line;
    qint64 hits = 0;
    bool found = false;
    while (reader.readLine(line)) {
        modCompareText::MatchesPattern(line, pattern, found);
        hits += found;
    }
    return hits;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    const QString path = dir.filePath("mibs.txt");
    if (!writeBytes(path, mibLikeText(FileBytes, "\r\n", 5000)))
        return 1;
    const Result<CompiledPattern> pattern = CompiledPattern::compile("*quandix*");
    const qint64 size = QFile(path).size();

    double ours = 1e9, grep = 1e9;
    qint64 ourHits = 0;
    QByteArray grepOutput;
    countMatches(path, pattern.value()); // page cache warm for both
    for (int round = 0; round < Rounds; ++round) {
        QElapsedTimer timer;
        timer.start();
        ourHits = countMatches(path, pattern.value());
        ours = std::min(ours, timer.nsecsElapsed() / 1e9);
        const double seconds = timeProgram("grep", {"-c", "-i", "quandix", path}, &grepOutput);
        if (seconds < 0) {
            std::fprintf(stderr, "grep could not be run\n");
            return 1;
        }
        grep = std::min(grep, seconds);
    }
    const double mb = size / 1e6;
    std::printf("MatchesPattern \"*quandix*\", case ignored, %.0f MB of MIB-like lines\n", mb);
    std::printf("  ours:               %7.3f s  %8.1f MB/s  %lld matching lines\n", ours, mb / ours,
                static_cast<long long>(ourHits));
    std::printf("  grep -c -i quandix: %7.3f s  %8.1f MB/s  %s matching lines\n", grep, mb / grep,
                grepOutput.trimmed().constData());
    std::printf("  throughput ratio ours/grep: %.2f (target >= 0.5)\n", grep / ours);
    return ourHits == grepOutput.trimmed().toLongLong() ? 0 : 2;
}
