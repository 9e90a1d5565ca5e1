// Start-up time and resident memory of the main window next to a bare Qt window.
// Each sample is a fresh process: it builds its window, shows it, lets the event loop draw it
// once, then reports its resident memory. The parent times from spawn to that report.
#include "app/frmmain.h"
#include "common/widgets/desktopeditor.h"
#include "common/widgets/messageboxes.h"
#include "netinfo/adapterinfo.h"
#include "netinfo/systemadapters.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTextStream>

#include <algorithm>
#include <memory>

namespace {

long residentKilobytes()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLong();
    }
    return -1;
}

int child(int argc, char *argv[], bool full)
{
    QApplication app(argc, argv);
    QTemporaryDir programFolder;
    QueuedMessageBoxes messages;
    DesktopEditorLauncher editor(messages);
    std::unique_ptr<AdapterInfo> ipInfo;
    std::unique_ptr<AppServices> services;
    std::unique_ptr<QWidget> window;
    if (full) {
        ipInfo = std::make_unique<AdapterInfo>(readSystemAdapters());
        services =
            std::make_unique<AppServices>(AppServices{programFolder.path(), messages, editor});
        window = std::make_unique<FrmMain>(*ipInfo, *services, programFolder.path());
    } else {
        window = std::make_unique<QWidget>();
        window->setWindowTitle(QStringLiteral("bare"));
        window->resize(806, 640);
    }
    window->show();
    QApplication::processEvents();
    window->grab(); // the first paint
    QTextStream(stdout) << "ready " << residentKilobytes() << Qt::endl;
    return 0;
}

struct Sample
{
    double milliseconds = 0;
    long rssKb = 0;
};

Sample runOnce(const QString &self, const QString &mode)
{
    QProcess process;
    QElapsedTimer timer;
    timer.start();
    process.start(self, {mode});
    process.waitForReadyRead(30000);
    const double ms = timer.nsecsElapsed() / 1e6;
    const QByteArray line = process.readAllStandardOutput().trimmed();
    process.waitForFinished(30000);
    return {ms, line.split(' ').value(1).toLong()};
}

Sample median(QList<Sample> samples)
{
    std::sort(samples.begin(), samples.end(),
              [](const Sample &a, const Sample &b) { return a.milliseconds < b.milliseconds; });
    Sample middle = samples.at(samples.size() / 2);
    QList<long> rss;
    for (const Sample &s : samples)
        rss.append(s.rssKb);
    std::sort(rss.begin(), rss.end());
    middle.rssKb = rss.at(rss.size() / 2);
    return middle;
}

} // namespace

int main(int argc, char *argv[])
{
    qputenv("QT_QPA_PLATFORM",
            qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    if (argc > 1 && (qstrcmp(argv[1], "full") == 0 || qstrcmp(argv[1], "bare") == 0))
        return child(argc, argv, qstrcmp(argv[1], "full") == 0);

    QCoreApplication app(argc, argv);
    const QString self = QCoreApplication::applicationFilePath();
    constexpr int Runs = 11;
    QList<Sample> full, bare;
    for (int i = 0; i < Runs; ++i) {
        bare.append(runOnce(self, QStringLiteral("bare")));
        full.append(runOnce(self, QStringLiteral("full")));
    }
    const Sample f = median(full), b = median(bare);
    QTextStream out(stdout);
    out << "start-up (spawn to first paint, median of " << Runs << " runs, offscreen)\n";
    out << QStringLiteral("  main window: %1 ms, %2 MiB resident\n")
               .arg(f.milliseconds, 0, 'f', 1)
               .arg(f.rssKb / 1024.0, 0, 'f', 1);
    out << QStringLiteral("  bare window: %1 ms, %2 MiB resident\n")
               .arg(b.milliseconds, 0, 'f', 1)
               .arg(b.rssKb / 1024.0, 0, 'f', 1);
    out << QStringLiteral("  ratio: time %1x, memory %2x\n")
               .arg(f.milliseconds / b.milliseconds, 0, 'f', 2)
               .arg(double(f.rssKb) / b.rssKb, 0, 'f', 2);
    return 0;
}
