#include "loadorder/loadorderactions.h"
#include "loadorder/loadorderbuttons.h"
#include "loadorder/loadordercreation.h"
#include "loadorder/loadorderedit.h"
#include "support/listhelpers.h"
#include "support/testwindow.h"
#include "workbench/filebrowser.h"
#include "workbench/mibfixpage.h"

#include <QAction>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QtTest>

using Dependencies = QList<QList<int>>;
using Files = QList<std::pair<QString, QByteArray>>;
using Lines = QList<QByteArray>;
using Imports = QMap<QString, QStringList>;

class TstLoadOrder : public QObject
{
    Q_OBJECT
private slots:
    void modulesLoadAfterTheWholeWordsTheyImport();
    void createOrdersTheSelectedFiles();
    void failuresShowTheFileAsItIs_data();
    void failuresShowTheFileAsItIs();
    void editsToolbarsDeleteAndOpenAndTheListFollows();
    void loadOrderFollowsTheModulesReallyImported();
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

void TstLoadOrder::editsToolbarsDeleteAndOpenAndTheListFollows()
{
    // Duplicates in any letter case all move or go; the ends stay.
    QCOMPARE(moveMatchesDown({"a", "B", "c", "b", "d"}, "b"), (Lines{"a", "c", "B", "d", "b"}));
    QCOMPARE(moveMatchesUp({"c", "a", "B", "d", "b"}, "C"), (Lines{"c", "a", "B", "d", "b"}));
    QCOMPARE(moveMatchesDown({"c", "a", "d"}, "d"), (Lines{"c", "a", "d"}));
    QCOMPARE(removeMatches({"c", "a", "B", "d", "b"}, "b"), (Lines{"c", "a", "d"}));
    QCOMPARE(insertAfterMatches({"a", "B", "b"}, "b", "x"), (Lines{"a", "B", "x", "b", "x"}));
    // An empty current entry only matches empty lines; only letter case is ignored.
    QCOMPARE(moveMatchesUp({"A", "B"}, ""), (Lines{"A", "B"}));
    QCOMPARE(removeMatches({"A.txt ", "a.TXT"}, "A.txt"), Lines{"A.txt "});
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

// IMPORTS clauses as real modules write them, over many lines with blanks, tabs, comments and
// a lone ";": the real modules as Fix CRLF leaves them, two changed into layouts the shared
// folder lacks, and one in LF line ends.
void TstLoadOrder::loadOrderFollowsTheModulesReallyImported()
{
    QTemporaryDir layouts;
    const QString shared = qEnvironmentVariable("VELMOR_SHARED_DIR") + "/mibs/";
    QList<SelectionEntry> selection;
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
        writeFile(layouts.filePath(module + ".txt"), text);
        selection.append({module + ".txt", layouts.filePath(module + ".txt"), {}, {}});
    }
    QVERIFY(scanSelection(selection).ok());
    const QList<QList<int>> dependencies = findDependencies(selection);
    Imports found;
    for (int k = 0; k < selection.size(); ++k) {
        QStringList &modules = found[QString::fromLatin1(selection.at(k).moduleName)];
        for (int j : dependencies.at(k))
            modules.append(QString::fromLatin1(selection.at(j).moduleName));
    }
    QCOMPARE(found, ReallyImported);
}

QTEST_MAIN(TstLoadOrder)
#include "tst_loadorder.moc"
