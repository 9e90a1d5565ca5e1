#include "frmnicinfo.h"

#include "adapterdetails.h"
#include "adapterinfo.h"
#include "common/widgets/controlnames.h"
#include "detaillinedelegate.h"

#include <QLabel>
#include <QListWidget>
#include <QScreen>
#include <QSignalBlocker>
#include <QVBoxLayout>

namespace {
constexpr int WindowWidth = 480;
constexpr int WindowHeight = 400;
constexpr int AdapterListHeight = 96;
// Each entry of lbxNIC keeps the index of the adapter it names.
constexpr int AdapterIndexRole = Qt::UserRole;
} // namespace

FrmNicInfo::FrmNicInfo(AdapterInfo &ipInfo, QWidget *parent) : QDialog(parent), m_ipInfo(ipInfo)
{
    nameControl(this, QStringLiteral("frmNicInfo"), QStringLiteral("Network Information"));
    setWindowTitle(QStringLiteral("  Network Information"));
    auto *layout = new QVBoxLayout(this);
    auto *lblNIC = new QLabel(QStringLiteral("NIC (Ethernet):"), this);
    nameControl(lblNIC, QStringLiteral("lblNIC"), lblNIC->text());
    lbxNIC = new QListWidget(this);
    nameControl(lbxNIC, QStringLiteral("lbxNIC"), QStringLiteral("NIC (Ethernet):"));
    lbxNIC->setFixedHeight(AdapterListHeight);
    auto *lblAdapterInfo = new QLabel(QStringLiteral("NIC Information:"), this);
    nameControl(lblAdapterInfo, QStringLiteral("lblAdapterInfo"), lblAdapterInfo->text());
    lbxAdapterInfo = new QListWidget(this);
    nameControl(lbxAdapterInfo, QStringLiteral("lbxAdapterInfo"),
                QStringLiteral("NIC Information:"));
    lbxAdapterInfo->setItemDelegate(new DetailLineDelegate(lbxAdapterInfo));
    layout->addWidget(lblNIC);
    layout->addWidget(lbxNIC);
    layout->addWidget(lblAdapterInfo);
    layout->addWidget(lbxAdapterInfo, 1);
    resize(WindowWidth, WindowHeight);

    // Keyboard moves through the list as well as clicks, and the details follow both.
    connect(lbxNIC, &QListWidget::currentRowChanged, this, &FrmNicInfo::lbxNIC_Click);
    Form_Load();
}

void FrmNicInfo::Form_Load()
{
    centreOnScreen();
    m_ipInfo.refresh();
    const int startAdapter = m_ipInfo.currentAdapter();
    {
        const QSignalBlocker quiet(lbxNIC);
        lbxNIC->clear();
        for (int i = 0; i < m_ipInfo.adapterCount(); ++i) {
            m_ipInfo.setCurrentAdapter(i);
            if (m_ipInfo.adapterType().toUpper() != QStringLiteral("ETHERNET"))
                continue;
            auto *entry = new QListWidgetItem(m_ipInfo.adapterName(), lbxNIC);
            entry->setData(AdapterIndexRole, i);
        }
        m_ipInfo.setCurrentAdapter(startAdapter);
        // The adapter whose address the rows got, when it is listed.
        int shown = 0;
        for (int row = 0; row < lbxNIC->count(); ++row) {
            if (lbxNIC->item(row)->data(AdapterIndexRole).toInt() == startAdapter)
                shown = row;
        }
        if (lbxNIC->count() > 0)
            lbxNIC->setCurrentRow(shown);
    }
    ShowAdapterInfo();
}

void FrmNicInfo::ShowAdapterInfo()
{
    const QListWidgetItem *entry = lbxNIC->currentItem();
    const int startAdapter = m_ipInfo.currentAdapter();
    m_ipInfo.setCurrentAdapter(entry ? entry->data(AdapterIndexRole).toInt() : -1);
    const QStringList lines = adapterDetailLines(m_ipInfo);
    m_ipInfo.setCurrentAdapter(startAdapter);
    lbxAdapterInfo->clear();
    lbxAdapterInfo->addItems(lines);
}

void FrmNicInfo::lbxNIC_Click()
{
    ShowAdapterInfo();
}

void FrmNicInfo::centreOnScreen()
{
    const QScreen *display = screen();
    if (!display)
        return;
    const QRect area = display->geometry();
    // Halves of the differences with the remainder dropped, on whichever screen it opens.
    move(area.x() + (area.width() - width()) / 2, area.y() + (area.height() - height()) / 2);
}
