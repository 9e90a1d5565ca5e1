#pragma once

#include <QDialog>

class AdapterInfo;
class QListWidget;

// The network-information window: the Ethernet adapters of ipInfo and the details of one.
// It only reads the component and leaves its current adapter where it found it.
class FrmNicInfo : public QDialog
{
    Q_OBJECT
public:
    FrmNicInfo(AdapterInfo &ipInfo, QWidget *parent = nullptr);

    QListWidget *lbxNIC = nullptr;
    QListWidget *lbxAdapterInfo = nullptr;

    void Form_Load();
    void ShowAdapterInfo();
    void lbxNIC_Click();

private:
    void centreOnScreen();

    AdapterInfo &m_ipInfo;
};
