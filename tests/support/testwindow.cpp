#include "testwindow.h"

#include <QDir>

AdapterRecord adapterRecord(const QString &name, const QString &type, const QString &ipv4)
{
    AdapterRecord adapter;
    adapter.name = name;
    adapter.type = type;
    adapter.ipv4Address = ipv4;
    return adapter;
}

AdapterSnapshot loopbackAdapters()
{
    AdapterRecord nic = adapterRecord("test0", "Ethernet", "127.0.0.1");
    nic.physicalAddress = QStringLiteral("02-00-00-00-00-01");
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
