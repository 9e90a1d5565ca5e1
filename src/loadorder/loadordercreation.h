#pragma once

#include "common/core/result.h"

#include <QByteArray>
#include <QList>
#include <QString>

// One selected module file of a load-order run.
struct SelectionEntry
{
    QString fileName; // as the file list shows it
    QString filePath;
    QByteArray moduleName;
    QByteArray importsText; // the IMPORTS lines without their comments, joined with blanks
};

// More selected files than this end the run before any file is read.
constexpr int MaxLoadOrderEntries = 1000;

// Fills in module name and IMPORTS text of every entry, one read per file; stops at the first
// file that cannot be read.
Status scanSelection(QList<SelectionEntry> &entries);

// For each entry, the entries whose modules it imports: a selected module counts when its name
// stands in the IMPORTS text as a whole word (letters, digits and "-") and is not the entry's
// own name. A module declared twice resolves to its first entry. Indexes are unique and sorted.
QList<QList<int>> findDependencies(const QList<SelectionEntry> &entries);

// The indexes of the entries in load order, pass by pass: each pass takes, in table order, every
// entry whose dependencies are all placed, earlier in this pass or before. Entries caught in a
// cycle, or depending on one, are left out.
QList<int> placeInPasses(const QList<QList<int>> &dependencies);
