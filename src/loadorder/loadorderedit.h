#pragma once

#include "common/core/result.h"

#include <QByteArray>
#include <QList>
#include <QString>

// Load-order edits compare entries with names regardless of letter case (only case: blanks
// still count).
class EntryMatcher
{
public:
    explicit EntryMatcher(const QString &name) : m_upper(name.toUpper()) {}
    bool matches(const QByteArray &entry) const;

private:
    QString m_upper;
};

// The edits on the lines of LoadOrder.txt. None of them drops a line it does not mean to.
QList<QByteArray> insertAfterMatches(const QList<QByteArray> &lines, const QString &current,
                                     const QByteArray &entry);
QList<QByteArray> removeMatches(const QList<QByteArray> &lines, const QString &current);
// Every line matching current swaps with the line before it; a matching first line stays.
QList<QByteArray> moveMatchesUp(const QList<QByteArray> &lines, const QString &current);
// Every line matching current swaps with the line after it; a matching last line stays.
QList<QByteArray> moveMatchesDown(const QList<QByteArray> &lines, const QString &current);

struct EditOutcome
{
    bool reload = true; // false when Add found the name already present
    QString keptName;   // the entry to make current after the reload
    Status status;      // a failed edit left LoadOrder.txt as it was
};

// Applies the toolbar key "Add", "Remove", "Up" or "Down" to LoadOrder.txt. fileName is the
// file list's current file (for Add), current the load-order list's current entry.
EditOutcome editLoadOrderFile(const QString &programFolder, const QString &key,
                              const QString &fileName, const QString &current);
