#include "app/frmmain.h"
#include "common/apptitle.h"
#include "common/editorlauncher.h"
#include "common/filechooser.h"
#include "common/messagepresenter.h"
#include "common/openfilelimit.h"
#include "netinfo/adapterinfo.h"
#include "netinfo/systemadapters.h"

#include <QApplication>
#include <QDir>

int main(int argc, char *argv[])
{
    raiseOpenFileLimit();
    QApplication app(argc, argv);
    QApplication::setApplicationName(applicationTitle());
    QApplication::setApplicationVersion(QStringLiteral("1.01"));

    QueuedMessageBoxes messages;
    DesktopEditorLauncher editor(messages);
    AdapterInfo ipInfo(readSystemAdapters);
    DialogFileChooser files;
    const AppServices services{QCoreApplication::applicationDirPath(), messages, editor,
                               &files};
    FrmMain window(ipInfo, services, QDir::currentPath());
    window.show();
    return app.exec();
}
