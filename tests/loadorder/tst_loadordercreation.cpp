#include "loadorder/loadordercreation.h"
#include "support/testwindow.h"

#include <QDir>
#include <QHash>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

#include <algorithm>
#include <numeric>

class TstLoadOrderCreation : public QObject
{
    Q_OBJECT
private slots:
    void realModulesLoadAfterEverythingTheyImport();
    void dependenciesAreWholeWords();
    void placement();
    void placementMatchesThePlainPassLoop();
    void headerScanQuirks();
};

namespace {

using Dependencies = QList<QList<int>>;

SelectionEntry module(const char *name, const char *imports)
{
    return SelectionEntry{QString::fromLatin1(name) + ".txt", {}, name, imports};
}

QList<int> orderOf(const QList<SelectionEntry> &entries)
{
    return placeInPasses(findDependencies(entries));
}

} // namespace

void TstLoadOrderCreation::realModulesLoadAfterEverythingTheyImport()
{
    QTemporaryDir dir;
    const QDir shared(qEnvironmentVariable("VELMOR_SHARED_DIR") + "/mibs");
    QList<SelectionEntry> entries;
    for (const QString &name : shared.entryList({"*.txt"}, QDir::Files, QDir::Name)) {
        writeFile(dir.filePath(name), readFile(shared.filePath(name)).replace("\n", "\r\n"));
        entries.append(SelectionEntry{name, dir.filePath(name), {}, {}});
    }
    QCOMPARE(entries.size(), 78);
    QVERIFY(scanSelection(entries).ok());
    const QList<int> order = orderOf(entries);
    QCOMPARE(order.size(), entries.size());

    // Every module named after FROM, read independently of the word matcher, loads earlier.
    QHash<QString, qsizetype> position;
    for (qsizetype at = 0; at < order.size(); ++at)
        position.insert(QString::fromLatin1(entries.at(order.at(at)).moduleName), at);
    static const QRegularExpression from(QStringLiteral("\\bFROM\\s+([A-Za-z0-9-]+)"));
    int checked = 0;
    for (qsizetype at = 0; at < order.size(); ++at) {
        const SelectionEntry &entry = entries.at(order.at(at));
        for (const auto &match : from.globalMatch(QString::fromLatin1(entry.importsText))) {
            const QString imported = match.captured(1);
            if (!position.contains(imported))
                continue; // not in the set, e.g. RFC-1212
            QVERIFY2(position.value(imported) < at,
                     qPrintable(entry.fileName + " loads before " + imported));
            ++checked;
        }
    }
    QVERIFY(checked > 150);

    const auto indexOf = [&](const char *name) {
        return int(std::find_if(entries.begin(), entries.end(),
                                [&](const SelectionEntry &e) { return e.moduleName == name; }) -
                   entries.begin());
    };
    const QList<int> ipv6Tcp = findDependencies(entries).at(indexOf("IPV6-TCP-MIB"));
    QVERIFY(!ipv6Tcp.contains(indexOf("TCP-MIB")));
    QVERIFY(ipv6Tcp.contains(indexOf("IPV6-TC")));
}

void TstLoadOrderCreation::dependenciesAreWholeWords()
{
    // A name inside a longer name is no import; names glued to punctuation are; a module's own
    // name and unselected modules do not count.
    const QList<SelectionEntry> entries = {
        module("A", "IMPORTS x FROM IPV6-TCP-MIB y FROM TCP-MIBX z FROM XTCP-MIB;"),
        module("B", "IMPORTS x FROM TCP-MIB,y FROM(C);"),
        module("C", "IMPORTS x FROM C y FROM RFC-1212;"),
        module("TCP-MIB", ""),
    };
    QCOMPARE(findDependencies(entries), (Dependencies{{}, {2, 3}, {}, {}}));

    // A module declared twice resolves to its first file, also for the second one itself.
    const QList<SelectionEntry> twice = {
        SelectionEntry{"a.txt", {}, "X", "IMPORTS x FROM Y;"},
        SelectionEntry{"b.txt", {}, "X", "IMPORTS x FROM X;"},
        SelectionEntry{"c.txt", {}, "Y", ""},
        SelectionEntry{"d.txt", {}, "Z", "IMPORTS x FROM X;"},
    };
    QCOMPARE(findDependencies(twice), (Dependencies{{2}, {}, {}, {0}}));
}

void TstLoadOrderCreation::placement()
{
    // A names B and C; C comes late, so A must wait for it although B is placed at once.
    QCOMPARE(orderOf({module("A", "IMPORTS a FROM B b FROM C;"), module("B", ""),
                      module("C", "IMPORTS c FROM D;"), module("D", "")}),
             (QList<int>{1, 3, 2, 0}));

    // A chain against table order needs one pass per file.
    Dependencies chain(50);
    for (int i = 0; i < 49; ++i)
        chain[i] = {i + 1};
    QList<int> backwards(50);
    std::iota(backwards.rbegin(), backwards.rend(), 0);
    QCOMPARE(placeInPasses(chain), backwards);

    // A cycle and what depends on it stay out; the rest is placed.
    QCOMPARE(placeInPasses({{1}, {0}}), QList<int>{});
    QCOMPARE(placeInPasses({{1}, {2}, {1}, {}, {3}}), (QList<int>{3, 4}));
}

// The placement derives the passes without running them; it must give exactly the order that
// running the passes one by one gives.
void TstLoadOrderCreation::placementMatchesThePlainPassLoop()
{
    const auto passLoop = [](const Dependencies &dependencies) {
        QList<bool> placed(dependencies.size(), false);
        QList<int> order;
        for (int pass = 0; pass <= dependencies.size(); ++pass) {
            for (int k = 0; k < dependencies.size(); ++k) {
                const QList<int> &needs = dependencies.at(k);
                if (!placed.at(k) &&
                    std::all_of(needs.begin(), needs.end(), [&](int j) { return placed[j]; })) {
                    placed[k] = true;
                    order.append(k);
                }
            }
        }
        return order;
    };
    QRandomGenerator random(4711);
    for (int round = 0; round < 300; ++round) {
        Dependencies dependencies(1 + random.bounded(12));
        for (int k = 0; k < dependencies.size(); ++k) {
            for (int j = 0; j < dependencies.size(); ++j) {
                if (j != k && random.bounded(100) < 18)
                    dependencies[k].append(j);
            }
        }
        QCOMPARE(placeInPasses(dependencies), passLoop(dependencies));
    }
}

void TstLoadOrderCreation::headerScanQuirks()
{
    QTemporaryDir dir;
    const QList<QPair<QString, QByteArray>> files = {
        // A one-line clause goes on up to the next line with ";".
        {"a.txt", "A-MIB DEFINITIONS ::= BEGIN\r\nIMPORTS x FROM B-MIB;\r\n"
                  "y OBJECT IDENTIFIER ::= { x 1 }\r\n-- see C-MIB; too\r\nEND\r\n"},
        // A comment naming IMPORTS starts the clause early; the real one follows within it.
        {"b.txt", "-- The IMPORTS below\r\nB-MIB DEFINITIONS ::= BEGIN\r\n"
                  "IMPORTS\r\n  x\r\n    FROM D-MIB;\r\n"},
        // LF-only files are one line: a comment before the name spoils the name.
        {"c.txt", "-- a comment\nC-MIB DEFINITIONS ::= BEGIN\nIMPORTS x\n FROM A-MIB;\nEND\n"},
        {"d.txt", "D-MIB DEFINITIONS ::= BEGIN\n IMPORTS x FROM SNMPv2-SMI;\nEND\n"},
    };
    QList<SelectionEntry> entries;
    for (const auto &[name, text] : files) {
        writeFile(dir.filePath(name), text);
        entries.append(SelectionEntry{name, dir.filePath(name), {}, {}});
    }
    QVERIFY(scanSelection(entries).ok());
    QVERIFY(entries.at(0).importsText.endsWith("-- see C-MIB; too"));
    QCOMPARE(entries.at(2).moduleName, QByteArray("-- a comment\nC-MIB"));
    QCOMPARE(entries.at(3).moduleName, QByteArray("D-MIB"));
    QCOMPARE(findDependencies(entries), (Dependencies{{1}, {3}, {0}, {}}));
    QCOMPARE(orderOf(entries), (QList<int>{3, 1, 0, 2}));

    // A file that cannot be read stops the scan with the reason.
    entries.append(SelectionEntry{"gone.txt", dir.filePath("gone.txt"), {}, {}});
    const Status scanned = scanSelection(entries);
    QVERIFY(!scanned.ok() && !scanned.failure().description.isEmpty());
}

QTEST_GUILESS_MAIN(TstLoadOrderCreation)
#include "tst_loadordercreation.moc"
