#include "frmnicinfo.h"

#include "adapterinfo.h"
#include "common/controlnames.h"

#include <QLabel>
#include <QListWidget>
#include <QVBoxLayout>

FrmNicInfo::FrmNicInfo(AdapterInfo &ipInfo, QWidget *parent) : QDialog(parent), m_ipInfo(ipInfo)
{
    nameControl(this, QStringLiteral("frmNicInfo"), QStringLiteral("Network Information"));
    setWindowTitle(QStringLiteral("  Network Information"));
    auto *layout = new QVBoxLayout(this);
    auto *lblNIC = new QLabel(QStringLiteral("NIC (Ethernet):"), this);
    nameControl(lblNIC, QStringLiteral("lblNIC"), lblNIC->text());
    lbxNIC = new QListWidget(this);
    nameControl(lbxNIC, QStringLiteral("lbxNIC"), QStringLiteral("NIC (Ethernet):"));
    auto *lblAdapterInfo = new QLabel(QStringLiteral("NIC Information:"), this);
    nameControl(lblAdapterInfo, QStringLiteral("lblAdapterInfo"), lblAdapterInfo->text());
    lbxAdapterInfo = new QListWidget(this);
    nameControl(lbxAdapterInfo, QStringLiteral("lbxAdapterInfo"), QStringLiteral("NIC Information:"));
    layout->addWidget(lblNIC);
    layout->addWidget(lbxNIC);
    layout->addWidget(lblAdapterInfo);
    layout->addWidget(lbxAdapterInfo);
}
