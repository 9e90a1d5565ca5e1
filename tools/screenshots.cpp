// Saves a picture of every tab of the main window, and of the NIC Info window, as PNG files.
#include "app/frmmain.h"
#include "common/core/apptitle.h"
#include "common/widgets/desktopeditor.h"
#include "common/widgets/messageboxes.h"
#include "netinfo/adapterinfo.h"
#include "netinfo/frmnicinfo.h"
#include "netinfo/systemadapters.h"

#include <QApplication>
#include <QDir>
#include <QImage>
#include <QTabWidget>
#include <QTextStream>

namespace {

// A window picture has few colours: a palette and full compression keep the file small.
bool savePicture(QWidget &widget, const QString &path)
{
    const QImage picture = widget.grab().toImage().convertToFormat(
        QImage::Format_Indexed8, Qt::ThresholdDither | Qt::AvoidDither);
    return picture.save(path, "PNG", 0);
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(applicationTitle());
    if (argc < 2) {
        QTextStream(stderr) << "usage: velmor-screenshots OUTPUT_FOLDER\n";
        return 2;
    }
    const QDir out(QString::fromLocal8Bit(argv[1]));

    QueuedMessageBoxes messages;
    DesktopEditorLauncher editor(messages);
    AdapterInfo ipInfo(readSystemAdapters);
    const AppServices services{QCoreApplication::applicationDirPath(), messages, editor};
    FrmMain window(ipInfo, services, QDir::currentPath());
    window.show();

    const QStringList names = {QStringLiteral("mib-fix"), QStringLiteral("snmp-agent"),
                               QStringLiteral("tcp-service"), QStringLiteral("help")};
    for (int i = 0; i < names.size(); ++i) {
        window.tab1->setCurrentIndex(i);
        QApplication::processEvents();
        const QString path = out.filePath(QStringLiteral("tab%1-%2.png").arg(i).arg(names.at(i)));
        if (!savePicture(window, path))
            return 1;
        QTextStream(stdout) << path << '\n';
    }

    window.cmdNetInfo_Click();
    QApplication::processEvents();
    if (auto *nicInfo = window.findChild<FrmNicInfo *>()) {
        const QString path = out.filePath(QStringLiteral("nic-info.png"));
        if (!savePicture(*nicInfo, path))
            return 1;
        QTextStream(stdout) << path << '\n';
    }
    return 0;
}
