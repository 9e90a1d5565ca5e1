#include "testwindow.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

AdapterSnapshot loopbackAdapters()
{
    AdapterRecord nic;
    nic.name = QStringLiteral("test0");
    nic.type = QStringLiteral("Ethernet");
    nic.physicalAddress = QStringLiteral("02-00-00-00-00-01");
    nic.ipv4Address = QStringLiteral("127.0.0.1");
    nic.subnetMask = QStringLiteral("255.0.0.0");
    return AdapterSnapshot{{nic}, 0};
}

TestWindow::TestWindow(AdapterSnapshot adapters)
    : ipInfo(std::move(adapters)), m_services{m_programFolder.path(), messages, editor, &files}
{
    QDir(m_programFolder.path()).mkdir(QStringLiteral("Debug"));
}

FrmMain &TestWindow::open()
{
    m_window = std::make_unique<FrmMain>(ipInfo, m_services, m_startDirectory.path());
    return *m_window;
}

void writeFile(const QString &path, const QByteArray &bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        file.write(bytes);
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}
