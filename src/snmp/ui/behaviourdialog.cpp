#include "behaviourdialog.h"

#include "common/core/messagepresenter.h"
#include "common/widgets/controlnames.h"
#include "snmp/agent/behaviourform.h"
#include "snmp/agent/snmpagents.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

namespace {

QString countsText(const RowCounts &c)
{
    return QStringLiteral("Requests received: %1\nAnswered: %2\n"
                          "Dropped: %3 by loss, %4 muted, %5 other\n"
                          "Faults injected: %6 errors, %7 malformed\n"
                          "Answers waiting on latency: %8")
        .arg(c.received)
        .arg(c.answered)
        .arg(c.droppedByLoss)
        .arg(c.droppedByMute)
        .arg(c.droppedOther)
        .arg(c.errorsInjected)
        .arg(c.malformedSent)
        .arg(c.waiting);
}

} // namespace

BehaviourDialog::BehaviourDialog(SnmpAgents &agents, int index, MessagePresenter &messages,
                                 QWidget *parent)
    : QDialog(parent), m_agents(agents), m_index(index), m_messages(messages)
{
    nameControl(this, QStringLiteral("dlgBehaviour"), QStringLiteral("Behaviour"));
    setWindowTitle(QStringLiteral("Behaviour of Agent %1").arg(index + 1));
    setAttribute(Qt::WA_DeleteOnClose);
    auto *layout = new QVBoxLayout(this);
    auto *form = new QFormLayout;

    chkCountersAdvance =
        named(new QCheckBox(QStringLiteral("Counters advance"), this),
              QStringLiteral("chkCountersAdvance"), QStringLiteral("Counters advance"));
    cboSpeedFactor = new QComboBox(this);
    cboSpeedFactor->addItems(speedFactorNames());
    nameControl(cboSpeedFactor, QStringLiteral("cboSpeedFactor"), QStringLiteral("Speed factor"));
    form->addRow(chkCountersAdvance, cboSpeedFactor);

    chkAcceptSet = named(new QCheckBox(QStringLiteral("Accept Set"), this),
                         QStringLiteral("chkAcceptSet"), QStringLiteral("Accept Set"));
    cmdResetValues = new QPushButton(QStringLiteral("Reset values"), this);
    nameControl(cmdResetValues, QStringLiteral("cmdResetValues"), cmdResetValues->text());
    form->addRow(chkAcceptSet, cmdResetValues);

    txtLatency =
        named(new QLineEdit(this), QStringLiteral("txtLatency"), QStringLiteral("Latency in ms"));
    form->addRow(QStringLiteral("Latency (ms):"), txtLatency);
    txtJitter =
        named(new QLineEdit(this), QStringLiteral("txtJitter"), QStringLiteral("Jitter in ms"));
    form->addRow(QStringLiteral("Jitter (ms):"), txtJitter);
    txtLoss =
        named(new QLineEdit(this), QStringLiteral("txtLoss"), QStringLiteral("Loss in percent"));
    form->addRow(QStringLiteral("Loss (%):"), txtLoss);
    chkMute = named(new QCheckBox(QStringLiteral("Mute"), this), QStringLiteral("chkMute"),
                    QStringLiteral("Mute"));
    form->addRow(chkMute);

    txtErrorShare = named(new QLineEdit(this), QStringLiteral("txtErrorShare"),
                          QStringLiteral("Error share in percent"));
    form->addRow(QStringLiteral("Error share (%):"), txtErrorShare);
    cboErrorStatus = new QComboBox(this);
    cboErrorStatus->setEditable(true);
    cboErrorStatus->addItems(errorStatusChoices());
    nameControl(cboErrorStatus, QStringLiteral("cboErrorStatus"), QStringLiteral("Error status"));
    form->addRow(QStringLiteral("Error status:"), cboErrorStatus);

    txtMalformedShare = named(new QLineEdit(this), QStringLiteral("txtMalformedShare"),
                              QStringLiteral("Malformed share in percent"));
    form->addRow(QStringLiteral("Malformed share (%):"), txtMalformedShare);
    cboMalformedKind = new QComboBox(this);
    for (int kind = 0; kind < MalformedKinds; ++kind)
        cboMalformedKind->addItem(malformedKindName(MalformedKind(kind)));
    nameControl(cboMalformedKind, QStringLiteral("cboMalformedKind"),
                QStringLiteral("Malformed kind"));
    form->addRow(QStringLiteral("Malformed kind:"), cboMalformedKind);

    chkLegacyV2c = named(new QCheckBox(QStringLiteral("Legacy v2c"), this),
                         QStringLiteral("chkLegacyV2c"), QStringLiteral("Legacy v2c"));
    form->addRow(chkLegacyV2c);
    layout->addLayout(form);

    lblCounts = new QLabel(this);
    lblCounts->setTextInteractionFlags(Qt::TextSelectableByMouse);
    nameControl(lblCounts, QStringLiteral("lblCounts"), QStringLiteral("Counts"));
    layout->addWidget(lblCounts);

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    cmdApply = buttons->addButton(QStringLiteral("Apply"), QDialogButtonBox::ApplyRole);
    nameControl(cmdApply, QStringLiteral("cmdApply"), cmdApply->text());
    layout->addWidget(buttons);

    connect(cmdApply, &QPushButton::clicked, this, &BehaviourDialog::apply);
    connect(cmdResetValues, &QPushButton::clicked, this,
            [this] { m_agents.resetWrittenValues(m_index); });
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    // Another dialog of the same row, or a test, may set it too.
    connect(&m_agents, &SnmpAgents::behaviourChanged, this, [this](int changed) {
        if (changed == m_index)
            showSettings();
    });
    m_countsTimer = new QTimer(this);
    m_countsTimer->setInterval(500);
    connect(m_countsTimer, &QTimer::timeout, this, &BehaviourDialog::showCounts);
    m_countsTimer->start();
    showSettings();
    showCounts();
}

void BehaviourDialog::showSettings()
{
    const BehaviourForm form = formOf(m_agents.behaviour(m_index));
    chkCountersAdvance->setChecked(form.countersAdvance);
    cboSpeedFactor->setCurrentText(form.speedFactor);
    chkAcceptSet->setChecked(form.acceptSet);
    txtLatency->setText(form.latency);
    txtJitter->setText(form.jitter);
    txtLoss->setText(form.loss);
    chkMute->setChecked(form.mute);
    txtErrorShare->setText(form.errorShare);
    cboErrorStatus->setCurrentText(form.errorStatus);
    txtMalformedShare->setText(form.malformedShare);
    cboMalformedKind->setCurrentIndex(form.malformedKind);
    chkLegacyV2c->setChecked(form.legacyV2c);
}

void BehaviourDialog::apply()
{
    const BehaviourForm form{chkCountersAdvance->isChecked(),
                             cboSpeedFactor->currentText(),
                             chkAcceptSet->isChecked(),
                             txtLatency->text(),
                             txtJitter->text(),
                             txtLoss->text(),
                             chkMute->isChecked(),
                             txtErrorShare->text(),
                             cboErrorStatus->currentText(),
                             txtMalformedShare->text(),
                             cboMalformedKind->currentIndex(),
                             chkLegacyV2c->isChecked()};
    const Result<RowBehaviour> behaviour = behaviourOf(form);
    if (!behaviour) {
        // Left as typed, to be corrected.
        m_messages.showMessage(behaviour.failure().description);
        return;
    }
    m_agents.setBehaviour(m_index, behaviour.value());
}

void BehaviourDialog::showCounts()
{
    lblCounts->setText(countsText(m_agents.rowCounts(m_index)));
}
