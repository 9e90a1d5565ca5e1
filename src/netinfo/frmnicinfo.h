#pragma once

#include <QDialog>

class AdapterInfo;
class QListWidget;

// The network-information window. Filled in by the NIC Info work.
class FrmNicInfo : public QDialog
{
    Q_OBJECT
public:
    FrmNicInfo(AdapterInfo &ipInfo, QWidget *parent = nullptr);

    QListWidget *lbxNIC = nullptr;
    QListWidget *lbxAdapterInfo = nullptr;

private:
    AdapterInfo &m_ipInfo;
};
