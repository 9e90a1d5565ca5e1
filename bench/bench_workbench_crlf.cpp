// "Fix CRLF" of a 100 MB LF-only file against unix2dos on a copy of the same file.
#include "workbench/crlffix.h"
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

QByteArray fileBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool freshCopy(const QString &from, const QString &to)
{
    QFile::remove(to);
    return QFile::copy(from, to);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    const QString source = dir.filePath("source.txt");
    const QString ourFile = dir.filePath("ours.txt");
    const QString theirFile = dir.filePath("theirs.txt");
    if (!writeBytes(source, mibLikeText(FileBytes, "\n", 0)))
        return 1;

    double ours = 1e9, theirs = 1e9;
    for (int round = 0; round < Rounds; ++round) {
        if (!freshCopy(source, ourFile) || !freshCopy(source, theirFile))
            return 1;
        QElapsedTimer timer;
        timer.start();
        if (fixCrLfFile(ourFile) != FixCrLfOutcome::Fixed) {
            std::fprintf(stderr, "Fix CRLF failed\n");
            return 1;
        }
        ours = std::min(ours, timer.nsecsElapsed() / 1e9);
        const double seconds = timeProgram("unix2dos", {"-q", theirFile});
        if (seconds < 0) {
            std::fprintf(stderr, "unix2dos could not be run\n");
            return 1;
        }
        theirs = std::min(theirs, seconds);
    }
    // An LF-only file gains one more CR LF at its end (its last line was unterminated).
    const bool same = fileBytes(ourFile) == fileBytes(theirFile) + "\r\n";
    const double mb = QFile(source).size() / 1e6;
    std::printf("Fix CRLF of a %.0f MB LF-only file\n", mb);
    std::printf("  ours:     %7.3f s  %8.1f MB/s\n", ours, mb / ours);
    std::printf("  unix2dos: %7.3f s  %8.1f MB/s\n", theirs, mb / theirs);
    std::printf("  speed ratio ours/unix2dos: %.2f (target >= 1), output %s\n", theirs / ours,
                same ? "as expected" : "DIFFERS");
    return same ? 0 : 2;
}
