#include "loadorder/loadorderactions.h"
#include "loadorder/loadorderbuttons.h"
#include "loadorder/loadordercreation.h"
#include "loadorder/loadorderedit.h"
#include "support/listhelpers.h"
#include "support/testwindow.h"
#include "workbench/filebrowser.h"
#include "workbench/importsview.h"
#include "workbench/mibfixpage.h"

#include <QAction>
#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QtTest>

#include <algorithm>

using Dependencies = QList<QList<int>>;
using Files = QList<std::pair<QString, QByteArray>>;
using Lines = QList<QByteArray>;
using Imports = QMap<QString, QStringList>;

class TstLoadOrder : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void modulesLoadAfterTheWholeWordsTheyImport();
    void placementMatchesThePlainPassLoop();
    void createOrdersTheSelectedFiles();
    void failuresShowTheFileAsItIs_data();
    void failuresShowTheFileAsItIs();
    void editsMatchEveryEntryOfTheName();
    void toolbarsDeleteAndOpenAndTheListFollows();
    void viewShowsTheWholeClause_data();
    void viewShowsTheWholeClause();
    void loadOrderFollowsTheModulesReallyImported();

private:
    QTemporaryDir m_layouts; // real modules in layouts of their own
};

namespace {

QByteArray mib(const QByteArray &name, const QByteArray &imports)
{
    return name + " DEFINITIONS ::= BEGIN\r\nIMPORTS\r\n  x\r\n    FROM " + imports + ";\r\n";
}

// A window whose start directory holds the given files.
struct Window
{
    explicit Window(const Files &files = {})
    {
        for (const auto &[name, bytes] : files)
            writeFile(test.startDirectory() + "/" + name, bytes);
        page = test.open().mibFix;
    }
    QString path() const { return test.programFolder() + "/LoadOrder.txt"; }
    QByteArray bytes() const { return readFile(path()); }
    QString counter() const { return page->lblLoadOrderCounter->text(); }
    void edit(const QString &key) { test.window().loadOrderActions->EditLoadOrder(key); }
    void setLoadOrder(const QByteArray &bytes)
    {
        writeFile(path(), bytes);
        edit("Reload"); // no edit, but the list shows the file
    }
    // What the user sees of the load order: the list with the current entry in brackets, the
    // counter, Add/Remove/Up/Down and the six buttons that Create locks.
    QString state() const
    {
        QStringList listed;
        for (int row = 0; row < page->lbxLoadOrder->count(); ++row) {
            const QString text = page->lbxLoadOrder->item(row)->text();
            listed.append(row == page->lbxLoadOrder->currentRow() ? '[' + text + ']' : text);
        }
        const auto on = [](auto... buttons) {
            return (QString() + ... + QChar(buttons->isEnabled() ? '1' : '0'));
        };
        return listed.join(',') + '|' + counter() + '|' +
               on(page->tbrAdd, page->tbrRemove, page->tbrUp, page->tbrDown) + '|' +
               on(page->cmdSelectAll, page->cmdUnSelectAll, page->cmdRename, page->cmdDelete,
                  page->cmdFixCrLf, page->cmdCreateLoadOrder);
    }
    TestWindow test;
    MibFixPage *page = nullptr;
};

// Read off the files by hand: each module and the selected modules its clause names after FROM.
const Imports ReallyImported = {
    {"HOST-RESOURCES-MIB", {"IF-MIB", "SNMPv2-CONF", "SNMPv2-SMI", "SNMPv2-TC"}},
    {"IF-MIB", {"SNMPv2-CONF", "SNMPv2-SMI", "SNMPv2-TC"}},
    {"LF-ONLY-MIB", {"SNMPv2-CONF", "SNMPv2-SMI", "SNMPv2-TC"}},
    {"NET-SNMP-AGENT-MIB", {"SNMP-FRAMEWORK-MIB", "SNMPv2-CONF", "SNMPv2-SMI", "SNMPv2-TC"}},
    {"SNMP-FRAMEWORK-MIB", {"SNMPv2-CONF", "SNMPv2-SMI", "SNMPv2-TC"}},
    {"SNMP-TSM-MIB", {"SNMPv2-CONF", "SNMPv2-SMI", "SNMPv2-TC"}},
    {"SNMP-USER-BASED-SM-MIB", {"SNMP-FRAMEWORK-MIB", "SNMPv2-CONF", "SNMPv2-SMI", "SNMPv2-TC"}},
    {"SNMP-USM-DH-OBJECTS-MIB",
     {"SNMP-FRAMEWORK-MIB", "SNMP-USER-BASED-SM-MIB", "SNMPv2-CONF", "SNMPv2-SMI", "SNMPv2-TC"}},
    {"SNMPv2-CONF", {"SNMPv2-SMI"}},
    {"SNMPv2-SMI", {}},
    {"SNMPv2-TC", {"SNMPv2-SMI"}},
};

QString moduleOf(const QString &fileName)
{
    return fileName.chopped(4); // ".txt"
}

} // namespace

void TstLoadOrder::modulesLoadAfterTheWholeWordsTheyImport()
{
    // A name inside a longer name is no import; names glued to punctuation are; a module's own
    // name and unselected modules do not count; a module declared twice resolves to its first
    // file, also for the second one itself.
    QCOMPARE(findDependencies({
                 {"a.txt", {}, "A", "IMPORTS x FROM IPV6-TCP-MIB y FROM TCP-MIBX z FROM XTCP-MIB;"},
                 {"b.txt", {}, "B", "IMPORTS x FROM TCP-MIB,y FROM(C);"},
                 {"c.txt", {}, "C", "IMPORTS x FROM C y FROM RFC-1212;"},
                 {"tcp.txt", {}, "TCP-MIB", ""},
                 {"c2.txt", {}, "C", "IMPORTS x FROM C;"},
                 {"d.txt", {}, "D", "IMPORTS x FROM C;"},
             }),
             (Dependencies{{}, {2, 3}, {}, {}, {}, {2}}));
    // Real modules: every module named after FROM, read independently of the word matcher,
    // loads earlier.
    QTemporaryDir dir;
    const QDir shared(qEnvironmentVariable("VELMOR_SHARED_DIR") + "/mibs");
    QList<SelectionEntry> entries;
    for (const QString &name : shared.entryList({"*.txt"}, QDir::Files, QDir::Name)) {
        writeFile(dir.filePath(name), readFile(shared.filePath(name)).replace("\n", "\r\n"));
        entries.append(SelectionEntry{name, dir.filePath(name), {}, {}});
    }
    QVERIFY(scanSelection(entries).ok());
    const QList<int> order = placeInPasses(findDependencies(entries));
    QCOMPARE(order.size(), entries.size());
    QHash<QString, int> position;
    for (int at = 0; at < order.size(); ++at)
        position.insert(QString::fromLatin1(entries.at(order.at(at)).moduleName), at);
    static const QRegularExpression from(QStringLiteral("\\bFROM\\s+([A-Za-z0-9-]+)"));
    int checked = 0;
    for (const SelectionEntry &entry : entries) {
        for (const auto &match : from.globalMatch(QString::fromLatin1(entry.importsText))) {
            const int imported = position.value(match.captured(1), -1); // -1: not in the set
            QVERIFY2(imported < position[QString::fromLatin1(entry.moduleName)],
                     qPrintable(entry.fileName + " loads before " + match.captured(1)));
            checked += imported >= 0;
        }
    }
    QVERIFY(checked > 150);
}

// The placement derives the passes without running them; it must give exactly the order that
// running the passes one by one gives.
void TstLoadOrder::placementMatchesThePlainPassLoop()
{
    QRandomGenerator random(4711);
    for (int round = 0; round < 300; ++round) {
        Dependencies dependencies(1 + random.bounded(12));
        for (int k = 0; k < dependencies.size(); ++k) {
            for (int j = 0; j < dependencies.size(); ++j) {
                if (j != k && random.bounded(100) < 18)
                    dependencies[k].append(j);
            }
        }
        QList<int> passLoop;
        for (int pass = 0; pass <= dependencies.size(); ++pass) {
            for (int k = 0; k < dependencies.size(); ++k) {
                const auto placed = [&](int j) { return passLoop.contains(j); };
                if (!placed(k) && std::ranges::all_of(dependencies.at(k), placed))
                    passLoop.append(k);
            }
        }
        QCOMPARE(placeInPasses(dependencies), passLoop);
    }
}

void TstLoadOrder::createOrdersTheSelectedFiles()
{
    Window w({{"a-mib.txt", mib("A-MIB", "C-MIB")},
              {"B\u00f8-MIB.txt", mib("B-MIB", "SNMPv2-SMI")},
              {"c-mib.txt", mib("C-MIB", "B-MIB")},
              {"x.txt", mib("X-MIB", "Y-MIB")},
              {"y.txt", mib("Y-MIB", "X-MIB")},
              {"z.txt", mib("Z-MIB", "SNMPv2-SMI")}});
    w.setLoadOrder("old.txt\r\n");
    w.page->cmdCreateLoadOrder->click();
    QCOMPARE(w.test.messages.texts, QStringList{"Please select one or more files to order"});
    QVERIFY(QFile::exists(w.path()) && w.bytes().isEmpty());
    QCOMPARE(w.state(), QStringLiteral("|0|0000|111111"));
    for (int row : {0, 1, 2})
        w.page->lbxFile->item(row)->setSelected(true);
    w.page->cmdCreateLoadOrder->click();
    QCOMPARE(w.state(), "B\u00f8-MIB.txt,c-mib.txt,[a-mib.txt]|3|0110|111111");
    // The name's on-disk bytes, so the entry finds the file again.
    QCOMPARE(w.bytes(), QByteArray("B\xc3\xb8-MIB.txt\r\nc-mib.txt\r\na-mib.txt\r\n"));
    // What a cycle leaves is listed, but no LoadOrder.txt claims a complete order.
    w.page->cmdSelectAll->click();
    w.page->cmdCreateLoadOrder->click();
    QCOMPARE(w.test.messages.texts,
             QStringList({"Please select one or more files to order",
                          "A problem occurred when creating LoadOrder.txt"}));
    QCOMPARE(w.state(), "B\u00f8-MIB.txt,c-mib.txt,z.txt,a-mib.txt|4|0000|111111");
    QVERIFY(!QFile::exists(w.path()));
    // More than 1000 selected files end the run before any file is read; 1000 are accepted.
    const QString many = w.test.startDirectory() + "/many/f%1.txt";
    for (int i = 0; i < 1001; ++i)
        writeFile(many.arg(i, 4, 10, QChar('0')), "M" + QByteArray::number(i) + " DEFINITIONS\r\n");
    w.test.window().fileBrowser->openDirectory(w.test.startDirectory() + "/many");
    w.page->cmdSelectAll->click();
    w.page->cmdCreateLoadOrder->click();
    QVERIFY(w.test.messages.texts.last().contains("1000"));
    QCOMPARE(w.state(), QStringLiteral("|0|0000|111111"));
    w.page->lbxFile->item(1000)->setSelected(false);
    w.page->cmdCreateLoadOrder->click();
    QCOMPARE(w.test.messages.texts.size(), 3);
    QCOMPARE(w.counter(), QStringLiteral("1000"));
}

void TstLoadOrder::failuresShowTheFileAsItIs_data()
{
    QTest::addColumn<QString>("fault");
    QTest::addColumn<QString>("action");
    QTest::addColumn<QString>("message"); // part of the one message shown
    QTest::addColumn<QString>("state");   // besides the six buttons, all enabled again
    QTest::addColumn<bool>("kept");       // LoadOrder.txt still holds what Create wrote
    const auto row = [](const char *fault, const char *action, const char *message,
                        const char *state, bool kept) {
        QTest::addRow("%s, %s", action, fault)
            << QString(fault) << QString(action) << QString(message) << QString(state) << kept;
    };
    // A read-only LoadOrder.txt stays, also for a privileged user.
    row("read-only", "Create", "read-only", "a.txt,b.txt|2|0000", true);
    row("gone", "Create", "No such file", "|0|0000", false);
    row("link", "Create", "Cannot replace", "|0|0000", false);
    // A name with a line break would stand as two lines: refused before anything changes.
    row("CR in name", "Create", "\"IF<CR>MIB.txt\"", "a.txt,b.txt|2|1000", true);
    row("LF in name", "Add", "\"IF<LF>MIB.txt\"", "[a.txt],b.txt|2|1101", true);
    row("read-only", "Down", "read-only", "[a.txt],b.txt|2|0101", true);
    row("directory", "Down", "Cannot read", "|0|0000", false);
    // What the system refuses is reported in its words.
    row("directory", "Delete", ": Is a directory", "[a.txt],b.txt|2|0101", false);
}

// After any failure the window shows LoadOrder.txt as the failure left it, with every button
// usable again, and no temporary file is left behind.
void TstLoadOrder::failuresShowTheFileAsItIs()
{
    QFETCH(QString, fault);
    QFETCH(QString, action);
    QFETCH(QString, message);
    QFETCH(QString, state);
    QFETCH(bool, kept);
    Window w({{"a.txt", mib("A-MIB", "SNMPv2-SMI")},
              {"b.txt", mib("B-MIB", "A-MIB")},
              {"gone.txt", {}},
              {"IF\rMIB.txt", {}},
              {"IF\nMIB.txt", {}}});
    QListWidget *files = w.page->lbxFile;
    select(files, {"a.txt", "b.txt"});
    w.page->cmdCreateLoadOrder->click();
    w.page->lbxLoadOrder->setCurrentRow(0);
    if (fault == "read-only") {
        QFile::setPermissions(w.path(), QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther);
    } else if (fault == "gone") {
        select(files, {"gone.txt"});
        QFile::remove(w.test.startDirectory() + "/gone.txt");
    } else if (fault == "link") {
        QFile::remove(w.path());
        QFile::link(w.test.programFolder() + "/missing/LoadOrder.txt", w.path());
    } else if (fault == "directory") {
        QFile::remove(w.path());
        QDir().mkpath(w.path());
    } else {
        const QString name =
            QStringLiteral("IF%1MIB.txt").arg(fault.startsWith("CR") ? '\r' : '\n');
        select(files, {name});
        files->setCurrentItem(files->findItems(name, Qt::MatchExactly).value(0));
    }
    if (action == "Create")
        w.page->cmdCreateLoadOrder->click();
    else if (action == "Delete")
        w.page->cmdDeleteLoadOrder->click();
    else
        w.edit(action);
    const QStringList &shown = w.test.messages.texts;
    QVERIFY2(shown.size() == 1 && shown.first().contains(message), qPrintable(shown.join('\n')));
    QCOMPARE(w.state(), state + "|111111");
    QCOMPARE(w.bytes(), kept ? QByteArray("a.txt\r\nb.txt\r\n") : QByteArray());
    QString left = QDir(w.test.programFolder()).entryList(QDir::Files | QDir::System).join(' ');
    QCOMPARE(left.remove("LoadOrder.txt"), QString());
}

void TstLoadOrder::editsMatchEveryEntryOfTheName()
{
    // Duplicates in any letter case all move or go; the ends stay; no line past the 999th is lost.
    QCOMPARE(moveMatchesDown({"a", "B", "c", "b", "d"}, "b"), (Lines{"a", "c", "B", "d", "b"}));
    QCOMPARE(moveMatchesUp({"c", "a", "B", "d", "b"}, "C"), (Lines{"c", "a", "B", "d", "b"}));
    QCOMPARE(moveMatchesDown({"c", "a", "d"}, "d"), (Lines{"c", "a", "d"}));
    QCOMPARE(removeMatches({"c", "a", "B", "d", "b"}, "b"), (Lines{"c", "a", "d"}));
    QCOMPARE(insertAfterMatches({"a", "B", "b"}, "b", "x"), (Lines{"a", "B", "x", "b", "x"}));
    Lines many(1200, "f");
    many[1100] = "x";
    const Lines moved = moveMatchesUp(many, "X");
    QCOMPARE(moved.size(), 1200);
    QCOMPARE(moved.mid(1098, 4), (Lines{"f", "x", "f", "f"}));
    // An empty current entry only matches empty lines; only letter case is ignored.
    QCOMPARE(moveMatchesUp({"A", "B"}, ""), (Lines{"A", "B"}));
    QCOMPARE(removeMatches({"A.txt ", "a.TXT"}, "A.txt"), Lines{"A.txt "});
}

void TstLoadOrder::toolbarsDeleteAndOpenAndTheListFollows()
{
    Window w({{"a.txt", {}}, {"b.txt", {}}, {"c.txt", {}}, {"d.txt", {}}});
    // A leftover LoadOrder.tmp, here a link to a file elsewhere, is no part of any rewrite.
    const QString victim = w.test.startDirectory() + "/elsewhere/victim.txt";
    const QString leftover = w.test.programFolder() + "/LoadOrder.tmp";
    writeFile(victim, "victim");
    QVERIFY(QFile::link(victim, leftover));
    w.page->lbxFile->setCurrentRow(1); // b.txt
    w.test.window().loadOrderActions->tbrRightLeft_ButtonClick("Add");
    QCOMPARE(w.bytes(), QByteArray("b.txt\r\n"));
    QCOMPARE(w.state(), QStringLiteral("[b.txt]|1|1100|111111"));
    // With no current entry the file goes last, with one it goes directly below it.
    w.page->lbxFile->setCurrentRow(3); // d.txt
    w.page->lbxLoadOrder->setCurrentRow(-1);
    w.edit("Add");
    w.page->lbxFile->setCurrentRow(2); // c.txt
    w.page->lbxLoadOrder->setCurrentRow(0);
    w.edit("Add");
    QCOMPARE(w.bytes(), QByteArray("b.txt\r\nc.txt\r\nd.txt\r\n"));
    QCOMPARE(w.state(), QStringLiteral("b.txt,[c.txt],d.txt|3|1111|111111"));
    w.page->tbrUp->trigger();
    QCOMPARE(w.bytes(), QByteArray("c.txt\r\nb.txt\r\nd.txt\r\n"));
    QCOMPARE(w.state(), QStringLiteral("[c.txt],b.txt,d.txt|3|1101|111111"));
    w.page->tbrRemove->trigger();
    QCOMPARE(w.bytes(), QByteArray("b.txt\r\nd.txt\r\n"));
    QCOMPARE(w.state(), QStringLiteral("b.txt,d.txt|2|1000|111111"));
    QCOMPARE(readFile(victim), QByteArray("victim"));
    QCOMPARE(QFileInfo(leftover).symLinkTarget(), victim);
    // A name already there in another letter case is refused; a new one is not glued to a
    // hand-edited last line without CR LF.
    writeFile(w.path(), "b.txt\r\nD.TXT");
    w.page->lbxFile->setCurrentRow(3); // d.txt
    w.edit("Add");
    w.page->lbxFile->setCurrentRow(0); // a.txt
    w.edit("Add");
    QCOMPARE(w.bytes(), QByteArray("b.txt\r\nD.TXT\r\na.txt\r\n"));
    w.page->cmdOpenLoadOrder->click();
    QCOMPARE(w.test.editor.paths, QStringList{w.path()});
    // Without LoadOrder.txt, Open starts no editor, Delete keeps the list, and an edit writes
    // nothing and empties the list.
    QFile::remove(w.path());
    w.page->cmdOpenLoadOrder->click();
    w.page->cmdDeleteLoadOrder->click();
    QCOMPARE(w.test.editor.paths.size(), 1);
    QCOMPARE(w.state(), QStringLiteral("b.txt,D.TXT,[a.txt]|3|1110|111111"));
    for (const char *key : {"Remove", "Up", "Down"})
        w.edit(key);
    QVERIFY(!QFile::exists(w.path()));
    QCOMPARE(w.counter(), QStringLiteral("0"));
    // Delete removes an existing file, read-only too, and empties the list.
    w.setLoadOrder("a.txt\r\n");
    QFile::setPermissions(w.path(), QFile::ReadOwner);
    w.page->lbxFile->setCurrentRow(-1);
    w.page->cmdDeleteLoadOrder->click();
    QVERIFY(!QFile::exists(w.path()));
    QCOMPARE(w.state(), QStringLiteral("|0|0000|111111"));
    QVERIFY(w.test.messages.texts.isEmpty());
}

// IMPORTS clauses as real modules write them: over many lines, indented with blanks, tabs or
// not at all, with blank lines, comments and a lone ";". View IMPORTS must show the whole
// clause, and Create LoadOrder.txt must order by the modules it really imports. Here: the real
// modules as Fix CRLF leaves them, two of them changed into layouts the shared folder lacks,
// and one module still in LF line ends.
void TstLoadOrder::initTestCase()
{
    const QString shared = qEnvironmentVariable("VELMOR_SHARED_DIR") + "/mibs/";
    for (const QString &module : ReallyImported.keys()) {
        QByteArray text = readFile(shared + module + ".txt");
        if (module == "LF-ONLY-MIB") {
            text = "LF-ONLY-MIB DEFINITIONS ::= BEGIN\nIMPORTS\n    x FROM SNMPv2-SMI -- RFC 2578\n"
                   "    y FROM SNMPv2-TC--RFC 2579--z FROM SNMPv2-CONF;\nEND\n";
        } else {
            QVERIFY2(!text.isEmpty(), qPrintable(shared + module));
            text.replace("\n", "\r\n");
        }
        if (module == "SNMP-USM-DH-OBJECTS-MIB") // FROM at the end of a line
            text.replace("\r\n        FROM ", " FROM\r\n        ");
        if (module == "SNMP-USER-BASED-SM-MIB") // a commented-out import with a ";"
            text.replace("IMPORTS\r\n", "IMPORTS\r\n    -- usmDHKickstartGroup FROM "
                                        "SNMP-USM-DH-OBJECTS-MIB; not used yet\r\n");
        writeFile(m_layouts.filePath(module + ".txt"), text);
    }
}

void TstLoadOrder::viewShowsTheWholeClause_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<int>("first"); // the clause's first and last line in the file
    QTest::addColumn<int>("last");
    QTest::newRow("not indented, blank lines") << "HOST-RESOURCES-MIB.txt" << 3 << 12;
    QTest::newRow("FROM after tabs, blank lines") << "NET-SNMP-AGENT-MIB.txt" << 7 << 21;
    QTest::newRow("comment inside, FROM at line ends") << "SNMP-USM-DH-OBJECTS-MIB.txt" << 3 << 15;
    QTest::newRow("comments after FROM, a lone ;") << "SNMP-TSM-MIB.txt" << 3 << 11;
    QTest::newRow("names on the IMPORTS line") << "SNMPv2-CONF.txt" << 3 << 4;
    QTest::newRow("a ; in a comment") << "SNMP-USER-BASED-SM-MIB.txt" << 3 << 13;
}

void TstLoadOrder::viewShowsTheWholeClause()
{
    QFETCH(QString, file);
    QFETCH(int, first);
    QFETCH(int, last);
    TestWindow test;
    FrmMain &window = test.open();
    window.fileBrowser->openDirectory(m_layouts.path());
    MibFixPage &page = *window.mibFix;
    page.lbxFile->setCurrentRow(int(entries(page.lbxFile).indexOf(file)));
    window.importsView->mnuViewImports_Click();
    QCOMPARE(page.lblImports->text(), "IMPORTS section from " + file);
    const QList<QByteArray> lines = readFile(m_layouts.filePath(file)).split('\n');
    QStringList clause;
    for (int line = first; line <= last; ++line)
        clause.append(QString::fromLatin1(lines.at(line - 1).chopped(1))); // without its CR
    QCOMPARE(page.txtImports->toPlainText().split(QLatin1Char('\n')), clause);
}

void TstLoadOrder::loadOrderFollowsTheModulesReallyImported()
{
    QList<SelectionEntry> selection;
    for (const QString &module : ReallyImported.keys())
        selection.append({module + ".txt", m_layouts.filePath(module + ".txt"), {}, {}});
    QVERIFY(scanSelection(selection).ok());
    const QList<QList<int>> dependencies = findDependencies(selection);
    Imports found;
    for (int k = 0; k < selection.size(); ++k) {
        QStringList &modules = found[QString::fromLatin1(selection.at(k).moduleName)];
        for (int j : dependencies.at(k))
            modules.append(QString::fromLatin1(selection.at(j).moduleName));
    }
    QCOMPARE(found, ReallyImported);

    TestWindow test;
    MibFixPage &page = *test.open().mibFix;
    test.window().fileBrowser->openDirectory(m_layouts.path());
    page.cmdSelectAll->click();
    page.cmdCreateLoadOrder->click();
    QCOMPARE(test.messages.texts, QStringList());
    const QStringList order = QString::fromLatin1(readFile(test.programFolder() + "/LoadOrder.txt"))
                                  .split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
    QCOMPARE(order.size(), ReallyImported.size());
    for (const QString &file : order) {
        for (const QString &imported : ReallyImported.value(moduleOf(file)))
            QVERIFY2(order.indexOf(imported + ".txt") < order.indexOf(file),
                     qPrintable(file + " loads before " + imported));
    }
}

QTEST_MAIN(TstLoadOrder)
#include "tst_loadorder.moc"
