#pragma once

#include "snmp/agent/notificationsettings.h"

#include <QDialog>

#include <array>

class MessagePresenter;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class SnmpAgents;
struct NotificationForm;

// Where and when one row sends traps and INFORMs, and what came of them. Apply sets the row
// at once; a field that does not read is named and nothing changes. Send Now sends one
// notification, applying what was typed first.
class NotificationsDialog : public QDialog
{
    Q_OBJECT
public:
    static constexpr int Destinations = NotificationSettings::MaxDestinations;

    NotificationsDialog(SnmpAgents &agents, int index, MessagePresenter &messages,
                        QWidget *parent = nullptr);

    int row() const { return m_index; }
    void cmdApply_Click();
    void cmdSendNow_Click();

    // A destination a line, used while its address box is not empty.
    std::array<QLineEdit *, Destinations> txtDestAddress{};
    std::array<QLineEdit *, Destinations> txtDestPort{};
    std::array<QComboBox *, Destinations> cboDestVersion{};
    std::array<QLineEdit *, Destinations> txtDestCommunity{};
    std::array<QComboBox *, Destinations> cboDestUser{};
    std::array<QComboBox *, Destinations> cboDestLevel{};
    std::array<QComboBox *, Destinations> cboDestKind{};
    QCheckBox *chkColdStart = nullptr;
    QCheckBox *chkAuthenticationFailure = nullptr;
    QComboBox *cboSchedule = nullptr;
    QComboBox *cboScheduledNotification = nullptr;
    QLineEdit *txtScheduledInterface = nullptr;
    QLineEdit *txtInterval = nullptr;
    QLineEdit *txtStormRate = nullptr;
    QComboBox *cboNotification = nullptr;
    QLineEdit *txtInterface = nullptr;
    QPushButton *cmdSendNow = nullptr;
    QLabel *lblNotificationCounts = nullptr;
    QPushButton *cmdApply = nullptr;

private:
    void addDestinations(QLayout *layout);
    void showUsers();
    NotificationForm typed() const;
    // The typed settings made the row's; false, with the reason shown, when they do not read.
    bool applyTyped();
    void showSettings();
    void showCounts();
    void enableFields();

    SnmpAgents &m_agents;
    int m_index;
    MessagePresenter &m_messages;
};
