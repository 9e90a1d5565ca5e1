#pragma once

#include "common/core/appservices.h"
#include "trace/debugtrace.h"

#include <QWidget>

class AdapterInfo;
class FileBrowser;
class FileFixups;
class HelpPage;
class ImportsView;
class LoadOrderActions;
class LoadOrderButtons;
class MibFixPage;
class QTabWidget;
class SearchInFiles;
class RecordingLoader;
class SnmpAgentPage;
class SnmpAgentTab;
class SnmpAgents;
class TcpServicePage;
class TcpServices;

// The main window: the four tabs, start-up and the tab-switch widths.
class FrmMain : public QWidget
{
    Q_OBJECT
public:
    // Start-up runs in the constructor, before the window is first shown.
    FrmMain(AdapterInfo &ipInfo, const AppServices &services, const QString &startDirectory,
            QWidget *parent = nullptr);
    ~FrmMain() override;

    void tab1_Click();
    void chkDebugMode_Click();
    void cmdNetInfo_Click();

    QTabWidget *tab1 = nullptr;
    MibFixPage *mibFix = nullptr;
    SnmpAgentPage *snmpAgent = nullptr;
    TcpServicePage *tcpService = nullptr;
    HelpPage *help = nullptr;

    FileBrowser *fileBrowser = nullptr;
    LoadOrderButtons *loadOrderButtons = nullptr;
    LoadOrderActions *loadOrderActions = nullptr;
    SearchInFiles *searchInFiles = nullptr;
    FileFixups *fileFixups = nullptr;
    ImportsView *importsView = nullptr;
    SnmpAgents *snmpAgents = nullptr;
    RecordingLoader *recordingLoader = nullptr;
    SnmpAgentTab *snmpAgentTab = nullptr;
    TcpServices *tcpServices = nullptr;

    DebugTrace &trace() { return m_trace; }
    AdapterInfo &ipInfo() { return m_ipInfo; }

    // Window and tab widths in twips for the tab now shown.
    static constexpr int WideWindowTwips = 12090;
    static constexpr int NarrowWindowTwips = 5490;
    static constexpr int TabMarginTwips = 435;

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void Form_Load();
    void setWidths(int windowTwips);

    AppServices m_services;
    AdapterInfo &m_ipInfo;
    DebugTrace m_trace;
};
