#include "notificationsdialog.h"

#include "common/core/messagepresenter.h"
#include "common/widgets/controlnames.h"
#include "snmp/agent/notificationform.h"
#include "snmp/agent/snmpagent.h"
#include "snmp/agent/snmpagents.h"
#include "snmp/usm/usmengine.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

QComboBox *choiceBox(QWidget *parent, const QString &name, const QString &label,
                     const QStringList &items, bool editable = false)
{
    auto *box = new QComboBox(parent);
    box->addItems(items);
    box->setEditable(editable);
    nameControl(box, name, label);
    return box;
}

} // namespace

NotificationsDialog::NotificationsDialog(SnmpAgents &agents, int index, MessagePresenter &messages,
                                         QWidget *parent)
    : QDialog(parent), m_agents(agents), m_index(index), m_messages(messages)
{
    nameControl(this, QStringLiteral("dlgNotifications"), QStringLiteral("Notifications"));
    setWindowTitle(QStringLiteral("Notifications of Agent %1").arg(index + 1));
    setAttribute(Qt::WA_DeleteOnClose);
    auto *layout = new QVBoxLayout(this);
    addDestinations(layout);

    auto *triggers = new QGroupBox(QStringLiteral("Triggers"), this);
    nameControl(triggers, QStringLiteral("fraTriggers"), triggers->title());
    auto *form = new QFormLayout(triggers);
    chkColdStart =
        named(new QCheckBox(QStringLiteral("coldStart when the row starts"), this),
              QStringLiteral("chkColdStart"), QStringLiteral("coldStart when the row starts"));
    form->addRow(chkColdStart);
    chkAuthenticationFailure = named(
        new QCheckBox(QStringLiteral("authenticationFailure when the row refuses a request"), this),
        QStringLiteral("chkAuthenticationFailure"),
        QStringLiteral("authenticationFailure when the row refuses a request"));
    form->addRow(chkAuthenticationFailure);
    cboSchedule = choiceBox(this, QStringLiteral("cboSchedule"), QStringLiteral("Schedule"),
                            scheduleModeNames());
    form->addRow(QStringLiteral("Schedule:"), cboSchedule);
    cboScheduledNotification =
        choiceBox(this, QStringLiteral("cboScheduledNotification"),
                  QStringLiteral("Scheduled notification"), notificationNames(), true);
    txtScheduledInterface = named(new QLineEdit(this), QStringLiteral("txtScheduledInterface"),
                                  QStringLiteral("Scheduled notification's interface"));
    txtScheduledInterface->setPlaceholderText(QStringLiteral("ifIndex"));
    auto *scheduled = new QHBoxLayout;
    scheduled->addWidget(cboScheduledNotification, 1);
    scheduled->addWidget(txtScheduledInterface);
    form->addRow(QStringLiteral("Notification:"), scheduled);
    txtInterval = named(new QLineEdit(this), QStringLiteral("txtInterval"),
                        QStringLiteral("Interval in seconds"));
    form->addRow(QStringLiteral("Every (s, 1 to 86400):"), txtInterval);
    txtStormRate = named(new QLineEdit(this), QStringLiteral("txtStormRate"),
                         QStringLiteral("Storm rate a second"));
    form->addRow(QStringLiteral("Storm rate (a second, up to 100000):"), txtStormRate);
    layout->addWidget(triggers);

    auto *now = new QHBoxLayout;
    cboNotification =
        choiceBox(this, QStringLiteral("cboNotification"),
                  QStringLiteral("Notification to send now"), notificationNames(), true);
    txtInterface = named(new QLineEdit(this), QStringLiteral("txtInterface"),
                         QStringLiteral("Interface to send now"));
    txtInterface->setPlaceholderText(QStringLiteral("ifIndex"));
    cmdSendNow = new QPushButton(QStringLiteral("Send Now"), this);
    nameControl(cmdSendNow, QStringLiteral("cmdSendNow"), cmdSendNow->text());
    now->addWidget(cboNotification, 1);
    now->addWidget(txtInterface);
    now->addWidget(cmdSendNow);
    layout->addLayout(now);

    lblNotificationCounts = new QLabel(this);
    lblNotificationCounts->setTextInteractionFlags(Qt::TextSelectableByMouse);
    nameControl(lblNotificationCounts, QStringLiteral("lblNotificationCounts"),
                QStringLiteral("Counts"));
    layout->addWidget(lblNotificationCounts);

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    cmdApply = buttons->addButton(QStringLiteral("Apply"), QDialogButtonBox::ApplyRole);
    nameControl(cmdApply, QStringLiteral("cmdApply"), cmdApply->text());
    layout->addWidget(buttons);

    connect(cmdApply, &QPushButton::clicked, this, &NotificationsDialog::cmdApply_Click);
    connect(cmdSendNow, &QPushButton::clicked, this, &NotificationsDialog::cmdSendNow_Click);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(cboSchedule, &QComboBox::currentIndexChanged, this, &NotificationsDialog::enableFields);
    // Users added or removed while the dialog is open are offered at once.
    connect(&m_agents, &SnmpAgents::servedChanged, this, [this](int changed) {
        if (changed == m_index)
            showUsers();
    });
    connect(&m_agents, &SnmpAgents::notificationCountsChanged, this, [this](int changed) {
        if (changed == m_index)
            showCounts();
    });
    showSettings();
    showCounts();
}

void NotificationsDialog::addDestinations(QLayout *layout)
{
    auto *box = new QGroupBox(QStringLiteral("Destinations"), this);
    nameControl(box, QStringLiteral("fraDestinations"), box->title());
    auto *grid = new QGridLayout(box);
    const QStringList headers{QStringLiteral("Address"), QStringLiteral("Port"),
                              QStringLiteral("Version"), QStringLiteral("Community"),
                              QStringLiteral("User"),    QStringLiteral("Level"),
                              QStringLiteral("Kind")};
    for (int column = 0; column < headers.size(); ++column)
        grid->addWidget(new QLabel(headers[column], box), 0, column);
    for (int i = 0; i < Destinations; ++i) {
        const QString of = QStringLiteral(" of destination %1").arg(i + 1);
        txtDestAddress[i] =
            named(new QLineEdit(box), arrayElementName(QStringLiteral("txtDestAddress"), i),
                  QStringLiteral("Address") + of);
        txtDestPort[i] =
            named(new QLineEdit(box), arrayElementName(QStringLiteral("txtDestPort"), i),
                  QStringLiteral("Port") + of);
        cboDestVersion[i] = choiceBox(box, arrayElementName(QStringLiteral("cboDestVersion"), i),
                                      QStringLiteral("Version") + of, notificationVersionNames());
        txtDestCommunity[i] =
            named(new QLineEdit(box), arrayElementName(QStringLiteral("txtDestCommunity"), i),
                  QStringLiteral("Community") + of);
        cboDestUser[i] = choiceBox(box, arrayElementName(QStringLiteral("cboDestUser"), i),
                                   QStringLiteral("SNMPv3 user") + of, {}, true);
        cboDestLevel[i] = choiceBox(box, arrayElementName(QStringLiteral("cboDestLevel"), i),
                                    QStringLiteral("Security level") + of, securityLevelNames());
        cboDestKind[i] = choiceBox(box, arrayElementName(QStringLiteral("cboDestKind"), i),
                                   QStringLiteral("Kind") + of, notificationKindNames());
        const QList<QWidget *> line{txtDestAddress[i],   txtDestPort[i], cboDestVersion[i],
                                    txtDestCommunity[i], cboDestUser[i], cboDestLevel[i],
                                    cboDestKind[i]};
        for (int column = 0; column < line.size(); ++column)
            grid->addWidget(line[column], i + 1, column);
        connect(cboDestVersion[i], &QComboBox::currentIndexChanged, this,
                &NotificationsDialog::enableFields);
    }
    grid->setColumnStretch(0, 1);
    layout->addWidget(box);
    showUsers();
}

void NotificationsDialog::showUsers()
{
    QStringList users;
    for (const QByteArray &user : m_agents.v3Users(m_index))
        users.append(QString::fromUtf8(user));
    for (QComboBox *box : cboDestUser) {
        const QString typed = box->currentText();
        box->clear();
        box->addItems(users);
        box->setCurrentText(typed);
    }
}

NotificationForm NotificationsDialog::typed() const
{
    NotificationForm form;
    for (int i = 0; i < Destinations; ++i) {
        form.destinations[i] = {txtDestAddress[i]->text(),         txtDestPort[i]->text(),
                                cboDestVersion[i]->currentIndex(), txtDestCommunity[i]->text(),
                                cboDestUser[i]->currentText(),     cboDestLevel[i]->currentIndex(),
                                cboDestKind[i]->currentIndex()};
    }
    form.coldStart = chkColdStart->isChecked();
    form.authenticationFailure = chkAuthenticationFailure->isChecked();
    form.schedule = cboSchedule->currentIndex();
    form.scheduled = {cboScheduledNotification->currentText(), txtScheduledInterface->text()};
    form.interval = txtInterval->text();
    form.rate = txtStormRate->text();
    return form;
}

void NotificationsDialog::showSettings()
{
    const NotificationForm form = formOf(m_agents.notifications(m_index));
    for (int i = 0; i < Destinations; ++i) {
        const DestinationForm &d = form.destinations[i];
        txtDestAddress[i]->setText(d.address);
        txtDestPort[i]->setText(d.port);
        cboDestVersion[i]->setCurrentIndex(d.version);
        txtDestCommunity[i]->setText(d.community);
        cboDestUser[i]->setCurrentText(d.user);
        cboDestLevel[i]->setCurrentIndex(d.level);
        cboDestKind[i]->setCurrentIndex(d.kind);
    }
    chkColdStart->setChecked(form.coldStart);
    chkAuthenticationFailure->setChecked(form.authenticationFailure);
    cboSchedule->setCurrentIndex(form.schedule);
    cboScheduledNotification->setCurrentText(form.scheduled.notification);
    txtScheduledInterface->setText(form.scheduled.interface);
    txtInterval->setText(form.interval);
    txtStormRate->setText(form.rate);
    enableFields();
}

void NotificationsDialog::enableFields()
{
    for (int i = 0; i < Destinations; ++i) {
        const bool v3 = cboDestVersion[i]->currentIndex() == int(NotificationVersion::V3);
        txtDestCommunity[i]->setEnabled(!v3);
        cboDestUser[i]->setEnabled(v3);
        cboDestLevel[i]->setEnabled(v3);
    }
    const int schedule = cboSchedule->currentIndex();
    cboScheduledNotification->setEnabled(schedule != NotificationSchedule::Off);
    txtScheduledInterface->setEnabled(schedule != NotificationSchedule::Off);
    txtInterval->setEnabled(schedule == NotificationSchedule::Periodic);
    txtStormRate->setEnabled(schedule == NotificationSchedule::Storm);
}

bool NotificationsDialog::applyTyped()
{
    const UsmEngine *engine = m_agents.snmpAgent(m_index).usmIfAny();
    const Result<NotificationSettings> settings =
        settingsOf(typed(), engine ? engine->users() : QList<UsmUser>());
    Status applied = settings ? Status() : Status(settings.failure());
    // Unchanged settings are not applied again: that would forget the counts and the INFORMs
    // waiting for their acknowledgement.
    if (applied && settings.value() != m_agents.notifications(m_index))
        applied = m_agents.setNotifications(m_index, settings.value());
    if (!applied) {
        // Left as typed, to be corrected.
        m_messages.showMessage(applied.failure().description);
        return false;
    }
    showSettings();
    return true;
}

void NotificationsDialog::cmdApply_Click()
{
    applyTyped();
}

void NotificationsDialog::cmdSendNow_Click()
{
    const Result<NotificationChoice> choice = choiceOf(
        {cboNotification->currentText(), txtInterface->text()}, QStringLiteral("Send Now"));
    if (!choice) {
        m_messages.showMessage(choice.failure().description);
        return;
    }
    if (!applyTyped())
        return;
    if (m_agents.notifications(m_index).destinations.isEmpty()) {
        m_messages.showMessage(
            QStringLiteral("Destinations: none is typed in, so nothing was sent"));
        return;
    }
    const Status sent = m_agents.sendNotification(m_index, choice.value());
    if (!sent)
        m_messages.showMessage(sent.failure().description);
    showCounts();
}

void NotificationsDialog::showCounts()
{
    lblNotificationCounts->setText(notificationCountsText(m_agents.notificationCounts(m_index)));
}
