#include "frmmain.h"

#include "common/core/apptitle.h"
#include "common/widgets/accessibleroles.h"
#include "common/widgets/controlnames.h"
#include "helppage.h"
#include "loadorder/loadorderactions.h"
#include "loadorder/loadorderbuttons.h"
#include "loadorder/loadorderfile.h"
#include "netinfo/adapterinfo.h"
#include "netinfo/frmnicinfo.h"
#include "snmp/agent/recordingloader.h"
#include "snmp/agent/snmpagents.h"
#include "snmp/ui/snmpagentpage.h"
#include "snmp/ui/snmpagenttab.h"
#include "tcp/tcpservicepage.h"
#include "tcp/tcpservices.h"
#include "trace/tracefiles.h"
#include "twips.h"
#include "workbench/filebrowser.h"
#include "workbench/filefixups.h"
#include "workbench/importsview.h"
#include "workbench/mibfixpage.h"
#include "workbench/searchinfiles.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>

namespace {
constexpr int WindowHeight = 640;
constexpr int TabLeft = 8;
constexpr int TabTop = 8;
} // namespace

FrmMain::FrmMain(AdapterInfo &ipInfo, const AppServices &services, const QString &startDirectory,
                 QWidget *parent)
    : QWidget(parent), m_services(services), m_ipInfo(ipInfo), m_trace(services.programFolder)
{
    presentAsWindow(this);
    nameControl(this, QStringLiteral("frmMain"), mainWindowTitle());
    setWindowTitle(mainWindowTitle());

    tab1 = new QTabWidget(this);
    nameControl(tab1, QStringLiteral("tab1"), QStringLiteral("Tabs"));
    mibFix = new MibFixPage(tab1);
    snmpAgent = new SnmpAgentPage(tab1);
    tcpService = new TcpServicePage(tab1);
    help = new HelpPage(tab1);
    tab1->addTab(mibFix, QStringLiteral("MIB Fix"));
    tab1->addTab(snmpAgent, QStringLiteral("SNMP Agent"));
    tab1->addTab(tcpService, QStringLiteral("TCP Service"));
    tab1->addTab(help, QStringLiteral("Help"));

    fileBrowser = new FileBrowser(*mibFix, startDirectory, this);
    loadOrderButtons = new LoadOrderButtons(*mibFix, m_services, this);
    loadOrderActions =
        new LoadOrderActions(*mibFix, *fileBrowser, *loadOrderButtons, m_services, this);
    searchInFiles = new SearchInFiles(*mibFix, *fileBrowser, m_services, this);
    fileFixups = new FileFixups(*mibFix, *fileBrowser, m_services, this);
    importsView = new ImportsView(*mibFix, *fileBrowser, m_services, this);
    snmpAgents = new SnmpAgents(m_trace, m_services.messages, this);
    recordingLoader = new RecordingLoader(*snmpAgents, m_services.messages, this);
    snmpAgentTab = new SnmpAgentTab(*snmpAgent, *snmpAgents, *recordingLoader, m_services, this);
    tcpServices = new TcpServices(*tcpService, m_trace, m_services, this);

    connect(tab1, &QTabWidget::currentChanged, this, &FrmMain::tab1_Click);
    // Every change of the box counts: mouse, keyboard, the accessible Toggle action, code.
    connect(help->chkDebugMode, &QCheckBox::toggled, this, &FrmMain::chkDebugMode_Click);
    connect(help->cmdNetInfo, &QPushButton::clicked, this, &FrmMain::cmdNetInfo_Click);

    tab1->setCurrentIndex(0);
    setWidths(WideWindowTwips);
    Form_Load();
}

FrmMain::~FrmMain() = default;

void FrmMain::Form_Load()
{
    const QString loadOrder = loadOrderFilePath(m_services.programFolder);
    if (QFile::exists(loadOrder))
        QFile::remove(loadOrder);
    DeleteTraceFiles(m_services.programFolder);
    loadOrderButtons->UpdateLoadOrderButtons();
    fileBrowser->UpdateFileCounter();
    for (QLineEdit *address : snmpAgent->txtSnmpIpAddr)
        address->setText(m_ipInfo.ipv4Address());
    snmpAgent->cboType1->setCurrentIndex(0);
    snmpAgent->cboType2->setCurrentIndex(0);
    for (QLineEdit *address : tcpService->txtTcpIpAddr)
        address->setText(m_ipInfo.ipv4Address());
}

void FrmMain::setWidths(int windowTwips)
{
    resize(twipsToPixels(windowTwips, *this), WindowHeight);
    tab1->setGeometry(TabLeft, TabTop, twipsToPixels(windowTwips - TabMarginTwips, *this),
                      WindowHeight - 2 * TabTop);
}

void FrmMain::closeEvent(QCloseEvent *event)
{
    searchInFiles->cancelSearch();
    QWidget::closeEvent(event);
}

void FrmMain::tab1_Click()
{
    setWidths(tab1->currentIndex() == 0 ? WideWindowTwips : NarrowWindowTwips);
}

void FrmMain::chkDebugMode_Click()
{
    if (help->chkDebugMode->isChecked()) {
        DeleteTraceFiles(m_services.programFolder);
        m_trace.setDebugMode(true);
    } else {
        m_trace.setDebugMode(false);
    }
}

void FrmMain::cmdNetInfo_Click()
{
    auto *window = new FrmNicInfo(m_ipInfo, this);
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->setWindowModality(Qt::ApplicationModal);
    window->show();
}
