#include "loadorderedit.h"

#include "loadorderfile.h"

#include <QFile>

#include <algorithm>

bool EntryMatcher::matches(const QByteArray &entry) const
{
    return loadOrderEntryName(entry).toUpper() == m_upper;
}

QList<QByteArray> insertAfterMatches(const QList<QByteArray> &lines, const QString &current,
                                     const QByteArray &entry)
{
    const EntryMatcher matcher(current);
    QList<QByteArray> result;
    result.reserve(lines.size() + 1);
    for (const QByteArray &line : lines) {
        result.append(line);
        if (matcher.matches(line))
            result.append(entry);
    }
    return result;
}

QList<QByteArray> removeMatches(const QList<QByteArray> &lines, const QString &current)
{
    const EntryMatcher matcher(current);
    QList<QByteArray> result;
    for (const QByteArray &line : lines) {
        if (!matcher.matches(line))
            result.append(line);
    }
    return result;
}

namespace {

// Swaps each pair of neighbours for which `swapAt(i)` holds and goes on after both.
template <typename SwapAt>
QList<QByteArray> swapPairs(const QList<QByteArray> &lines, SwapAt swapAt)
{
    QList<QByteArray> result;
    result.reserve(lines.size());
    qsizetype i = 0;
    while (i < lines.size()) {
        if (i + 1 < lines.size() && swapAt(i)) {
            result.append(lines.at(i + 1));
            result.append(lines.at(i));
            i += 2;
        } else {
            result.append(lines.at(i));
            i += 1;
        }
    }
    return result;
}

} // namespace

QList<QByteArray> moveMatchesUp(const QList<QByteArray> &lines, const QString &current)
{
    const EntryMatcher matcher(current);
    return swapPairs(lines, [&](qsizetype i) { return matcher.matches(lines.at(i + 1)); });
}

QList<QByteArray> moveMatchesDown(const QList<QByteArray> &lines, const QString &current)
{
    const EntryMatcher matcher(current);
    return swapPairs(lines, [&](qsizetype i) { return matcher.matches(lines.at(i)); });
}

EditOutcome editLoadOrderFile(const QString &programFolder, const QString &key,
                              const QString &fileName, const QString &current)
{
    EditOutcome outcome;
    const bool isAdd = key == QStringLiteral("Add");
    const bool isMove = key == QStringLiteral("Up") || key == QStringLiteral("Down");
    if (!isAdd && !isMove && key != QStringLiteral("Remove"))
        return outcome;
    if (isMove)
        outcome.keptName = current;
    if (isAdd && fileName.isEmpty()) {
        // No current file (the list was re-read since the buttons were set): nothing to add.
        outcome.reload = false;
        return outcome;
    }
    if (isAdd) {
        outcome.status = checkLoadOrderEntry(fileName);
        if (!outcome.status)
            return outcome;
    }
    const bool exists = QFile::exists(loadOrderFilePath(programFolder));
    if (!exists && !isAdd)
        return outcome;

    Result<QList<QByteArray>> read = readLoadOrder(programFolder);
    if (!read) {
        outcome.status = read.failure();
        return outcome;
    }
    const QList<QByteArray> &lines = read.value();
    QList<QByteArray> edited;
    if (isAdd) {
        const EntryMatcher matcher(fileName);
        if (std::any_of(lines.begin(), lines.end(),
                        [&](const QByteArray &line) { return matcher.matches(line); })) {
            outcome.reload = false;
            return outcome;
        }
        const QByteArray entry = loadOrderEntry(fileName);
        if (current.isEmpty() || !exists) {
            edited = lines;
            edited.append(entry);
        } else {
            edited = insertAfterMatches(lines, current, entry);
        }
        outcome.keptName = fileName;
    } else if (key == QStringLiteral("Remove")) {
        edited = removeMatches(lines, current);
    } else if (key == QStringLiteral("Up")) {
        edited = moveMatchesUp(lines, current);
    } else {
        edited = moveMatchesDown(lines, current);
    }
    outcome.status = replaceLoadOrder(programFolder, edited);
    return outcome;
}
