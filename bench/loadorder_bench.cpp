// Times "Create LoadOrder.txt" on 1000 generated module files, from the click to the written
// file, next to one plain read of the same files.
#include "app/frmmain.h"
#include "benchservices.h"
#include "common/core/editorlauncher.h"
#include "common/core/messagepresenter.h"
#include "netinfo/adapterinfo.h"
#include "workbench/filebrowser.h"
#include "workbench/mibfixpage.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QListWidget>
#include <QPushButton>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <numeric>
#include <random>

namespace {

constexpr int FileCount = 1000;
constexpr int Rounds = 15;

class CountingMessages : public MessagePresenter
{
public:
    void showMessage(const QString &text) override { texts.append(text); }
    QStringList texts;
};

QByteArray moduleName(int i)
{
    return "BENCH" + QByteArray::number(10000 + i) + "-MIB";
}

// A module file of about 8 KB: header, IMPORTS clause and a body of object definitions.
QByteArray moduleText(int i, const QList<int> &imports)
{
    QByteArray text = "-- Generated module " + QByteArray::number(i) + "\r\n\r\n";
    text += moduleName(i) + " DEFINITIONS ::= BEGIN\r\n\r\nIMPORTS\r\n";
    text += "    MODULE-IDENTITY, OBJECT-TYPE, Integer32\r\n        FROM SNMPv2-SMI\r\n";
    for (int j : imports)
        text += "    bench" + QByteArray::number(j) + "Object\r\n        FROM " + moduleName(j) +
                "\r\n";
    text += "    DisplayString\r\n        FROM SNMPv2-TC;\r\n\r\n";
    for (int k = 0; k < 24; ++k) {
        text += "bench" + QByteArray::number(i) + "Object" + QByteArray::number(k) +
                " OBJECT-TYPE\r\n    SYNTAX      Integer32 (0..65535)\r\n"
                "    MAX-ACCESS  read-only\r\n    STATUS      current\r\n"
                "    DESCRIPTION\r\n        \"A counter kept for the benchmark, with text of"
                " the length real modules carry in their descriptions.\"\r\n"
                "    ::= { benchObjects " +
                QByteArray::number(k + 1) + " }\r\n\r\n";
    }
    return text + "END\r\n";
}

// Module i imports module i + 1: every pass places one file, from the end of the table.
QList<QList<int>> chainAgainstTableOrder()
{
    QList<QList<int>> imports(FileCount);
    for (int i = 0; i + 1 < FileCount; ++i)
        imports[i] = {i + 1};
    return imports;
}

// Each module imports 3 to 6 modules that rank below it in a hidden random order.
QList<QList<int>> realisticFanIn()
{
    std::mt19937 random(20261206);
    QList<int> byRank(FileCount);
    std::iota(byRank.begin(), byRank.end(), 0);
    std::shuffle(byRank.begin(), byRank.end(), random);
    QList<QList<int>> imports(FileCount);
    for (int rank = 1; rank < FileCount; ++rank) {
        const int wanted = std::min(rank, 3 + int(random() % 4));
        QList<int> &chosen = imports[byRank.at(rank)];
        while (chosen.size() < wanted) {
            const int module = byRank.at(int(random() % rank));
            if (!chosen.contains(module))
                chosen.append(module);
        }
    }
    return imports;
}

double median(QList<double> values)
{
    std::sort(values.begin(), values.end());
    return values.at(values.size() / 2);
}

bool writeModules(const QTemporaryDir &moduleFolder, const QList<QList<int>> &imports)
{
    for (int i = 0; i < FileCount; ++i) {
        QFile file(moduleFolder.filePath(QString::fromLatin1(moduleName(i)) + ".txt"));
        if (!file.open(QIODevice::WriteOnly) || file.write(moduleText(i, imports.at(i))) < 0)
            return false;
    }
    return true;
}

bool runScenario(const char *title, const QTemporaryDir &moduleFolder)
{
    QTemporaryDir programFolder;
    CountingMessages messages;
    NoEditor editor;
    AdapterInfo adapters{AdapterSnapshot{}};
    const AppServices services{programFolder.path(), messages, editor};
    FrmMain window(adapters, services, moduleFolder.path());
    MibFixPage &page = *window.mibFix;
    page.cmdSelectAll->click();
    const QStringList names = window.fileBrowser->selectedFileNames();
    if (names.size() != FileCount)
        return false;

    QList<double> createMs, readMs;
    qint64 bytes = 0;
    for (int round = 0; round < Rounds; ++round) {
        QElapsedTimer timer;
        timer.start();
        page.cmdCreateLoadOrder->click();
        createMs.append(timer.nsecsElapsed() / 1e6);
        if (!messages.texts.isEmpty() || page.lbxLoadOrder->count() != FileCount ||
            !QFile::exists(programFolder.filePath("LoadOrder.txt")))
            return false;

        timer.restart();
        bytes = 0;
        for (const QString &name : names) {
            QFile file(window.fileBrowser->FullFilePath(name));
            if (file.open(QIODevice::ReadOnly))
                bytes += file.readAll().size();
        }
        readMs.append(timer.nsecsElapsed() / 1e6);
    }
    const double create = median(createMs);
    const double read = median(readMs);
    std::printf("%s: %d files, %.1f MB\n", title, FileCount, bytes / 1e6);
    std::printf("  create LoadOrder.txt (click to written file): %8.1f ms\n", create);
    std::printf("  plain read of the same files (reference):     %8.1f ms\n", read);
    std::printf("  ratio create / read:                          %8.2f\n", create / read);
    return true;
}

} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    std::printf("Load-order creation, median of %d rounds (target: under 500 ms, ratio under 3)\n",
                Rounds);
    // Both sets are written before any timing: deleting one set while the other is timed
    // would time the file system's clean-up instead.
    QTemporaryDir chain, fanIn;
    if (!writeModules(chain, chainAgainstTableOrder()) || !writeModules(fanIn, realisticFanIn()) ||
        !runScenario("Import chain against table order", chain) ||
        !runScenario("Realistic fan-in (3-6 imports each)", fanIn)) {
        std::fprintf(stderr, "load-order creation did not complete\n");
        return 1;
    }
    return 0;
}
