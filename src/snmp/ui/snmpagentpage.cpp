#include "snmpagentpage.h"

#include "common/widgets/controlnames.h"
#include "common/widgets/rowcontrols.h"
#include "snmp/codec/snmptypes.h"

#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

SnmpAgentPage::SnmpAgentPage(QWidget *parent) : QWidget(parent)
{
    auto *layout = new QVBoxLayout(this);
    fraSimpleSnmpAgent =
        new QGroupBox(QStringLiteral("Simple SNMP Agents (replies to system objects)"), this);
    nameControl(fraSimpleSnmpAgent, QStringLiteral("fraSimpleSnmpAgent"),
                fraSimpleSnmpAgent->title());
    fraControlSnmpAgent = new QGroupBox(QStringLiteral("Value Controlled SNMP Agents"), this);
    nameControl(fraControlSnmpAgent, QStringLiteral("fraControlSnmpAgent"),
                fraControlSnmpAgent->title());

    auto *simple = new QGridLayout(fraSimpleSnmpAgent);
    simple->setVerticalSpacing(2);
    for (int i = 0; i < 5; ++i)
        addRow(fraSimpleSnmpAgent, simple, i * 2, i);

    auto *controlled = new QGridLayout(fraControlSnmpAgent);
    controlled->setVerticalSpacing(2);
    addRow(fraControlSnmpAgent, controlled, 0, 5);
    addObjectBoxes(fraControlSnmpAgent, controlled, 2, 1, txtOid1, cboType1, txtValue1,
                   QStringLiteral("1.3.6.1.2.1.2.2.1.8.1"), QStringLiteral("1"));
    addRow(fraControlSnmpAgent, controlled, 4, 6);
    addObjectBoxes(fraControlSnmpAgent, controlled, 6, 2, txtOid2, cboType2, txtValue2,
                   QStringLiteral("1.3.6.1.2.1.11.2.0"), QStringLiteral("100"));

    layout->addWidget(fraSimpleSnmpAgent);
    layout->addWidget(fraControlSnmpAgent);
    layout->addStretch();
}

void SnmpAgentPage::addRow(QWidget *frame, QGridLayout *grid, int gridRow, int index)
{
    txtSnmpIpAddr[index] =
        arrayTextBox(frame, QStringLiteral("txtSnmpIpAddr"), index,
                     QStringLiteral("255.255.255.255"), QStringLiteral("IP Address:"));
    txtSnmpPort[index] = arrayTextBox(frame, QStringLiteral("txtSnmpPort"), index,
                                      QString::number(171 + index), QStringLiteral("Port:"));
    cmdSnmpControl[index] =
        arrayButton(frame, QStringLiteral("cmdSnmpControl"), index, QStringLiteral("Start"));
    txtSnmpStatus[index] = arrayTextBox(frame, QStringLiteral("txtSnmpStatus"), index,
                                        QStringLiteral("Stopped"), QStringLiteral("Status:"));
    txtSnmpStatus[index]->setReadOnly(true);

    grid->addWidget(rowLabel(frame, QStringLiteral("IP Address:"), txtSnmpIpAddr[index]), gridRow,
                    0);
    grid->addWidget(txtSnmpIpAddr[index], gridRow, 1);
    grid->addWidget(rowLabel(frame, QStringLiteral("Port:"), txtSnmpPort[index]), gridRow, 2);
    grid->addWidget(txtSnmpPort[index], gridRow, 3);
    grid->addWidget(rowLabel(frame, QStringLiteral("Status:"), txtSnmpStatus[index]), gridRow + 1,
                    0);
    grid->addWidget(txtSnmpStatus[index], gridRow + 1, 1);
    grid->addWidget(cmdSnmpControl[index], gridRow + 1, 2, 1, 2);
}

void SnmpAgentPage::addObjectBoxes(QWidget *frame, QGridLayout *grid, int gridRow, int set,
                                   QLineEdit *&oid, QComboBox *&type, QLineEdit *&value,
                                   const QString &oidText, const QString &valueText)
{
    const QString suffix = QString::number(set);
    oid = new QLineEdit(oidText, frame);
    nameControl(oid, QStringLiteral("txtOid") + suffix, QStringLiteral("OID:"));
    type = new QComboBox(frame);
    nameControl(type, QStringLiteral("cboType") + suffix, QStringLiteral("Type:"));
    type->addItems(typedObjectTypeNames());
    value = new QLineEdit(valueText, frame);
    nameControl(value, QStringLiteral("txtValue") + suffix, QStringLiteral("Value:"));

    grid->addWidget(rowLabel(frame, QStringLiteral("OID:"), oid), gridRow, 0);
    grid->addWidget(oid, gridRow, 1, 1, 3);
    auto *typeValue = new QHBoxLayout;
    typeValue->addWidget(rowLabel(frame, QStringLiteral("Type:"), type));
    typeValue->addWidget(type, 1);
    typeValue->addWidget(rowLabel(frame, QStringLiteral("Value:"), value));
    typeValue->addWidget(value, 1);
    grid->addLayout(typeValue, gridRow + 1, 0, 1, 4);
}
