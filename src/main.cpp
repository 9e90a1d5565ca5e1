#include "app/frmmain.h"
#include "common/core/apptitle.h"
#include "common/core/openfilelimit.h"
#include "common/widgets/desktopeditor.h"
#include "common/widgets/dialogfilechooser.h"
#include "common/widgets/messageboxes.h"
#include "netinfo/adapterinfo.h"
#include "netinfo/systemadapters.h"

#include <QApplication>
#include <QDir>

int main(int argc, char *argv[])
{
    raiseOpenFileLimit();
    QApplication app(argc, argv);
    QApplication::setApplicationName(applicationTitle());
    QApplication::setApplicationVersion(QStringLiteral(VELMOR_VERSION));

    QueuedMessageBoxes messages;
    DesktopEditorLauncher editor(messages);
    AdapterInfo ipInfo(readSystemAdapters);
    DialogFileChooser files;
    const AppServices services{QCoreApplication::applicationDirPath(), messages, editor, &files};
    FrmMain window(ipInfo, services, QDir::currentPath());
    window.show();
    return app.exec();
}
