#include "loadorder/loadordercreation.h"
#include "support/testwindow.h"

#include <QDir>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

class TstLoadOrderCreation : public QObject
{
    Q_OBJECT
private slots:
    void realModulesLoadAfterEverythingTheyImport();
    void nameInsideALongerNameIsNoImport();
    void everyImportedModuleMustBePlacedFirst();
    void cyclesAndWhatDependsOnThemStayOut();
    void passesMatchThePlainPassLoop();
    void duplicateNamesResolveToTheFirstFile();
    void headerScanQuirks();
};

namespace {

SelectionEntry module(const char *name, const char *imports)
{
    return SelectionEntry{QString::fromLatin1(name) + ".txt", {}, name, imports};
}

QList<int> orderOf(const QList<SelectionEntry> &entries)
{
    return placeInPasses(findDependencies(entries));
}

// The modules named after FROM in an IMPORTS clause, read independently of the word matcher.
QStringList fromModules(const QByteArray &importsText)
{
    static const QRegularExpression from(QStringLiteral("\\bFROM\\s+([A-Za-z0-9-]+)"));
    QStringList names;
    for (const QRegularExpressionMatch &match : from.globalMatch(QString::fromLatin1(importsText)))
        names.append(match.captured(1));
    return names;
}

// The real modules with CR LF line ends, in file-list order.
QList<SelectionEntry> realModules(const QTemporaryDir &dir)
{
    const QDir shared(qEnvironmentVariable("VELMOR_SHARED_DIR") + "/mibs");
    const QStringList names =
        shared.entryList({"*.txt"}, QDir::Files, QDir::Name | QDir::IgnoreCase);
    QList<SelectionEntry> entries;
    for (const QString &name : names) {
        QByteArray text = readFile(shared.filePath(name));
        text.replace("\n", "\r\n");
        writeFile(dir.filePath(name), text);
        entries.append(SelectionEntry{name, dir.filePath(name), {}, {}});
    }
    return entries;
}

} // namespace

void TstLoadOrderCreation::realModulesLoadAfterEverythingTheyImport()
{
    QTemporaryDir dir;
    QList<SelectionEntry> entries = realModules(dir);
    QCOMPARE(entries.size(), 78);
    QVERIFY(scanSelection(entries).ok());
    const QList<int> order = orderOf(entries);
    QCOMPARE(order.size(), entries.size());

    QHash<QString, qsizetype> position; // module name -> place in the load order
    for (qsizetype at = 0; at < order.size(); ++at)
        position.insert(QString::fromLatin1(entries.at(order.at(at)).moduleName), at);
    int checked = 0;
    for (qsizetype at = 0; at < order.size(); ++at) {
        const SelectionEntry &entry = entries.at(order.at(at));
        for (const QString &imported : fromModules(entry.importsText)) {
            if (!position.contains(imported))
                continue; // not in the set, e.g. RFC-1212
            QVERIFY2(position.value(imported) < at,
                     qPrintable(entry.fileName + " loads before " + imported));
            ++checked;
        }
    }
    QVERIFY(checked > 150);
}

void TstLoadOrderCreation::nameInsideALongerNameIsNoImport()
{
    QTemporaryDir dir;
    QList<SelectionEntry> entries = realModules(dir);
    QVERIFY(scanSelection(entries).ok());
    const auto indexOf = [&](const char *name) {
        for (int i = 0; i < entries.size(); ++i) {
            if (entries.at(i).moduleName == name)
                return i;
        }
        return -1;
    };
    const int tcp = indexOf("TCP-MIB");
    const int ipv6Tcp = indexOf("IPV6-TCP-MIB");
    QVERIFY(tcp >= 0 && ipv6Tcp >= 0);
    const QList<QList<int>> dependencies = findDependencies(entries);
    QVERIFY(!dependencies.at(ipv6Tcp).contains(tcp));
    QVERIFY(dependencies.at(ipv6Tcp).contains(indexOf("IPV6-TC")));

    // Names glued to punctuation still count; names inside longer words do not.
    const QList<SelectionEntry> glued = {
        module("A", "IMPORTS x FROM IPV6-TCP-MIB y FROM TCP-MIBX z FROM XTCP-MIB;"),
        module("B", "IMPORTS x FROM TCP-MIB;"),
        module("TCP-MIB", ""),
    };
    QCOMPARE(findDependencies(glued), (QList<QList<int>>{{}, {2}, {}}));
    QCOMPARE(findDependencies(
                 {module("A", "IMPORTS x FROM C,y FROM(B);"), module("B", ""), module("C", "")}),
             (QList<QList<int>>{{1, 2}, {}, {}}));
}

void TstLoadOrderCreation::everyImportedModuleMustBePlacedFirst()
{
    // A names B and C; C comes late, so A must wait for it although B is placed at once.
    const QList<SelectionEntry> fanIn = {
        module("A", "IMPORTS a FROM B b FROM C;"),
        module("B", ""),
        module("C", "IMPORTS c FROM D;"),
        module("D", ""),
    };
    QCOMPARE(orderOf(fanIn), (QList<int>{1, 3, 2, 0}));

    // A chain against table order needs one pass per file; one along it needs a single pass.
    QList<SelectionEntry> against, along;
    for (int i = 0; i < 50; ++i) {
        const QByteArray name = "M" + QByteArray::number(100 + i);
        const QByteArray next = "M" + QByteArray::number(101 + i);
        const QByteArray previous = "M" + QByteArray::number(99 + i);
        against.append(SelectionEntry{name, {}, name, i < 49 ? "IMPORTS x FROM " + next : ""});
        along.append(SelectionEntry{name, {}, name, i > 0 ? "IMPORTS x FROM " + previous : ""});
    }
    const QList<int> backwards = orderOf(against);
    QCOMPARE(backwards.size(), 50);
    QCOMPARE(backwards.first(), 49);
    QCOMPARE(backwards.last(), 0);
    const QList<int> forwards = orderOf(along);
    QCOMPARE(forwards.first(), 0);
    QCOMPARE(forwards.last(), 49);

    // A file that imports only unselected modules, or itself, is placed in the first pass.
    QCOMPARE(orderOf({module("B", "IMPORTS x FROM A;"), module("A", "IMPORTS y FROM A Z-MIB;"),
                      module("C", "IMPORTS x FROM RFC-1212;")}),
             (QList<int>{1, 2, 0}));
}

void TstLoadOrderCreation::cyclesAndWhatDependsOnThemStayOut()
{
    QCOMPARE(orderOf({module("A", "IMPORTS x FROM B;"), module("B", "IMPORTS y FROM A;")}),
             QList<int>{});
    const QList<SelectionEntry> partly = {
        module("A", "IMPORTS x FROM B;"), module("B", "IMPORTS y FROM C;"),
        module("C", "IMPORTS z FROM B;"), module("D", ""),
        module("E", "IMPORTS x FROM D;"),
    };
    QCOMPARE(orderOf(partly), (QList<int>{3, 4}));
}

// The placement computes passes without running them; it must give exactly the order that
// running the passes one by one gives.
void TstLoadOrderCreation::passesMatchThePlainPassLoop()
{
    const auto passLoop = [](const QList<QList<int>> &dependencies) {
        QList<bool> placed(dependencies.size(), false);
        QList<int> order;
        for (int pass = 0; pass <= dependencies.size(); ++pass) {
            for (int k = 0; k < dependencies.size(); ++k) {
                if (!placed.at(k) &&
                    std::all_of(dependencies.at(k).begin(), dependencies.at(k).end(),
                                [&](int j) { return placed.at(j); })) {
                    placed[k] = true;
                    order.append(k);
                }
            }
        }
        return order;
    };
    QRandomGenerator random(4711);
    for (int round = 0; round < 300; ++round) {
        const int count = 1 + random.bounded(12);
        QList<QList<int>> dependencies(count);
        for (int k = 0; k < count; ++k) {
            for (int j = 0; j < count; ++j) {
                if (j != k && random.bounded(100) < 18)
                    dependencies[k].append(j);
            }
        }
        QCOMPARE(placeInPasses(dependencies), passLoop(dependencies));
    }
}

void TstLoadOrderCreation::duplicateNamesResolveToTheFirstFile()
{
    const QList<SelectionEntry> twice = {
        SelectionEntry{"a.txt", {}, "X", "IMPORTS x FROM Y;"},
        SelectionEntry{"b.txt", {}, "X", ""},
        SelectionEntry{"c.txt", {}, "Y", ""},
        SelectionEntry{"d.txt", {}, "Z", "IMPORTS x FROM X;"},
    };
    QCOMPARE(findDependencies(twice), (QList<QList<int>>{{2}, {}, {}, {0}}));
    QCOMPARE(orderOf(twice), (QList<int>{1, 2, 0, 3}));
}

void TstLoadOrderCreation::headerScanQuirks()
{
    QTemporaryDir dir;
    const QList<QPair<QString, QByteArray>> files = {
        {"a.txt", "A-MIB DEFINITIONS ::= BEGIN\r\nIMPORTS x FROM B-MIB;\r\n"
                  "y OBJECT IDENTIFIER ::= { x 1 }\r\n-- see C-MIB; too\r\nEND\r\n"},
        {"b.txt", "-- The IMPORTS below\r\nB-MIB DEFINITIONS ::= BEGIN\r\n"
                  "IMPORTS\r\n  x\r\n    FROM D-MIB;\r\n"},
        {"c.txt", "-- a comment\nC-MIB DEFINITIONS ::= BEGIN\nIMPORTS x\n FROM A-MIB;\nEND\n"},
        {"d.txt", "D-MIB DEFINITIONS ::= BEGIN\n IMPORTS x FROM SNMPv2-SMI;\nEND\n"},
    };
    QList<SelectionEntry> entries;
    for (const auto &[name, text] : files) {
        writeFile(dir.filePath(name), text);
        entries.append(SelectionEntry{name, dir.filePath(name), {}, {}});
    }
    QVERIFY(scanSelection(entries).ok());
    // A one-line clause keeps collecting up to the next line with ";".
    QCOMPARE(entries.at(0).importsText,
             QByteArray("IMPORTS x FROM B-MIB; y OBJECT IDENTIFIER ::= { x 1 }"
                        " -- see C-MIB; too"));
    // A comment mentioning IMPORTS starts the clause early; the real one still follows in it.
    QCOMPARE(entries.at(1).moduleName, QByteArray("B-MIB"));
    QVERIFY(entries.at(1).importsText.startsWith("-- The IMPORTS below B-MIB DEFINITIONS"));
    QVERIFY(entries.at(1).importsText.endsWith("FROM D-MIB;"));
    // LF-only files are one line: a name with a comment before it is no module name.
    QCOMPARE(entries.at(2).moduleName, QByteArray("-- a comment\nC-MIB"));
    QCOMPARE(entries.at(3).moduleName, QByteArray("D-MIB"));
    QVERIFY(entries.at(3).importsText.endsWith("END\n"));
    QCOMPARE(findDependencies(entries), (QList<QList<int>>{{1}, {3}, {0}, {}}));
    QCOMPARE(orderOf(entries), (QList<int>{3, 1, 0, 2}));

    // A file that cannot be read stops the scan with the reason.
    entries.append(SelectionEntry{"gone.txt", dir.filePath("gone.txt"), {}, {}});
    const Status scanned = scanSelection(entries);
    QVERIFY(!scanned.ok());
    QVERIFY(!scanned.failure().description.isEmpty());
}

QTEST_GUILESS_MAIN(TstLoadOrderCreation)
#include "tst_loadordercreation.moc"
