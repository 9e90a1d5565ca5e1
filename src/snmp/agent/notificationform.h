#pragma once

#include "common/core/result.h"
#include "snmp/agent/notificationsettings.h"

#include <QString>
#include <QStringList>

#include <array>

// One destination as the notifications dialog shows it; unused while its address is empty.
struct DestinationForm
{
    QString address;
    QString port = QStringLiteral("162");
    int version = int(NotificationVersion::V2c);
    QString community = QStringLiteral("kettle");
    QString user;
    int level = int(SecurityLevel::NoAuthNoPriv);
    int kind = int(NotificationKind::Trap);
};

// A notification to send, as typed: a name from notificationNames() or an identifier, and the
// interface linkDown and linkUp name.
struct ChoiceForm
{
    QString notification = QStringLiteral("coldStart");
    QString interface;
};

// What the notifications dialog collects for one row, as typed.
struct NotificationForm
{
    std::array<DestinationForm, NotificationSettings::MaxDestinations> destinations;
    bool coldStart = true;
    bool authenticationFailure = false;
    int schedule = NotificationSchedule::Off;
    ChoiceForm scheduled;
    QString interval = QStringLiteral("60");
    QString rate = QStringLiteral("1000");
};

QStringList notificationVersionNames();
QStringList securityLevelNames();
QStringList notificationKindNames();
QStringList scheduleModeNames();
// The notifications a manager knows by name, in the order Send Now offers them.
QStringList notificationNames();

NotificationForm formOf(const NotificationSettings &settings);
// The settings the form asks for, its destinations checked against the row's SNMPv3 users. A
// failure names the destination and field, fit to show as it is.
Result<NotificationSettings> settingsOf(const NotificationForm &form, const QList<UsmUser> &users);
// `field` names the controls in a failure.
Result<NotificationChoice> choiceOf(const ChoiceForm &form, const QString &field);

// What the dialog shows of the counts, a line each; and the one line of the row's tooltip,
// empty while nothing was sent or held.
QString notificationCountsText(const NotificationCounts &counts);
QString notificationSummary(const NotificationCounts &counts);
