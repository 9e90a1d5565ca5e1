#pragma once

#include "snmp/agent/snmpagents.h"

#include <QWidget>

#include <array>

class QComboBox;
class QGridLayout;
class QGroupBox;
class QLineEdit;
class QPushButton;

// The controls of the "SNMP Agent" tab: the agent rows and the two controlled objects.
class SnmpAgentPage : public QWidget
{
    Q_OBJECT
public:
    explicit SnmpAgentPage(QWidget *parent = nullptr);

    QGroupBox *fraSimpleSnmpAgent = nullptr;
    QGroupBox *fraControlSnmpAgent = nullptr;
    std::array<QLineEdit *, SnmpAgents::RowCount> txtSnmpIpAddr{};
    std::array<QLineEdit *, SnmpAgents::RowCount> txtSnmpPort{};
    std::array<QPushButton *, SnmpAgents::RowCount> cmdSnmpControl{};
    std::array<QLineEdit *, SnmpAgents::RowCount> txtSnmpStatus{};

    QLineEdit *txtOid1 = nullptr;
    QComboBox *cboType1 = nullptr;
    QLineEdit *txtValue1 = nullptr;
    QLineEdit *txtOid2 = nullptr;
    QComboBox *cboType2 = nullptr;
    QLineEdit *txtValue2 = nullptr;

private:
    void addRow(QWidget *frame, QGridLayout *grid, int gridRow, int index);
    void addObjectBoxes(QWidget *frame, QGridLayout *grid, int gridRow, int set, QLineEdit *&oid,
                        QComboBox *&type, QLineEdit *&value, const QString &oidText,
                        const QString &valueText);
};
