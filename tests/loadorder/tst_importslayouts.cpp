#include "../workbench/listhelpers.h"
#include "loadorder/loadordercreation.h"
#include "support/testwindow.h"
#include "workbench/filebrowser.h"
#include "workbench/importsview.h"
#include "workbench/mibfixpage.h"

#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QtTest>

// IMPORTS clauses as real modules write them: over many lines, indented with blanks, tabs or
// not at all, with blank lines, comments and a lone ";". View IMPORTS must show the whole
// clause, and Create LoadOrder.txt must order by the modules it really imports.
class TstImportsLayouts : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void viewShowsTheWholeClause_data();
    void viewShowsTheWholeClause();
    void loadOrderFollowsTheModulesReallyImported();

private:
    QTemporaryDir m_folder;
};

namespace {

using Imports = QMap<QString, QStringList>;

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

// The real modules as Fix CRLF leaves them, two of them changed into layouts the shared folder
// lacks, and one module still in LF line ends.
void TstImportsLayouts::initTestCase()
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
        writeFile(m_folder.filePath(module + ".txt"), text);
    }
}

void TstImportsLayouts::viewShowsTheWholeClause_data()
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

void TstImportsLayouts::viewShowsTheWholeClause()
{
    QFETCH(QString, file);
    QFETCH(int, first);
    QFETCH(int, last);
    TestWindow test;
    FrmMain &window = test.open();
    window.fileBrowser->openDirectory(m_folder.path());
    MibFixPage &page = *window.mibFix;
    page.lbxFile->setCurrentRow(int(entries(page.lbxFile).indexOf(file)));
    window.importsView->mnuViewImports_Click();
    QCOMPARE(page.lblImports->text(), "IMPORTS section from " + file);
    const QList<QByteArray> lines = readFile(m_folder.filePath(file)).split('\n');
    QStringList clause;
    for (int line = first; line <= last; ++line)
        clause.append(QString::fromLatin1(lines.at(line - 1).chopped(1))); // without its CR
    QCOMPARE(page.txtImports->toPlainText().split(QLatin1Char('\n')), clause);
}

void TstImportsLayouts::loadOrderFollowsTheModulesReallyImported()
{
    QList<SelectionEntry> selection;
    for (const QString &module : ReallyImported.keys())
        selection.append({module + ".txt", m_folder.filePath(module + ".txt"), {}, {}});
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
    test.window().fileBrowser->openDirectory(m_folder.path());
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

QTEST_MAIN(TstImportsLayouts)
#include "tst_importslayouts.moc"
