#include "notificationform.h"

#include "snmp/agent/formnumbers.h"
#include "snmp/usm/usmengine.h"

namespace {

const QStringList StandardNames{QStringLiteral("coldStart"), QStringLiteral("warmStart"),
                                QStringLiteral("linkDown"), QStringLiteral("linkUp"),
                                QStringLiteral("authenticationFailure")};
const QStringList StandardOids{StandardTrap::ColdStart, StandardTrap::WarmStart,
                               StandardTrap::LinkDown, StandardTrap::LinkUp,
                               StandardTrap::AuthenticationFailure};

Result<NotificationDestination> destinationOf(const DestinationForm &form)
{
    NotificationDestination destination;
    destination.address = form.address.trimmed();
    const std::optional<int> port = wholeNumber(form.port, 1, 65535);
    if (!port)
        return failure(
            QStringLiteral("port \"%1\" is not a whole number from 1 to 65535").arg(form.port));
    destination.port = *port;
    destination.version = NotificationVersion(qBound(0, form.version, 2));
    destination.community = form.community;
    destination.user = form.user.trimmed().toUtf8();
    destination.level = SecurityLevel(qBound(0, form.level, 2));
    destination.kind = NotificationKind(qBound(0, form.kind, 1));
    return destination;
}

} // namespace

QStringList notificationVersionNames()
{
    return {QStringLiteral("v1"), QStringLiteral("v2c"), QStringLiteral("v3")};
}

QStringList securityLevelNames()
{
    return {QStringLiteral("noAuthNoPriv"), QStringLiteral("authNoPriv"),
            QStringLiteral("authPriv")};
}

QStringList notificationKindNames()
{
    return {QStringLiteral("Trap"), QStringLiteral("INFORM")};
}

QStringList scheduleModeNames()
{
    return {QStringLiteral("Off"), QStringLiteral("Every interval"), QStringLiteral("Storm")};
}

QStringList notificationNames()
{
    return StandardNames;
}

Result<NotificationChoice> choiceOf(const ChoiceForm &form, const QString &field)
{
    NotificationChoice choice;
    const QString typed = form.notification.trimmed();
    const qsizetype named = StandardNames.indexOf(typed);
    choice.oid = named >= 0 ? StandardOids[named] : typed;
    const bool link = choice.oid == StandardTrap::LinkDown || choice.oid == StandardTrap::LinkUp;
    if (link) {
        const std::optional<int> ifIndex = wholeNumber(form.interface, 1, 0x7fffffff);
        if (!ifIndex)
            return failure(QStringLiteral("%1 interface: linkDown and linkUp name an ifIndex, "
                                          "not \"%2\"")
                               .arg(field, form.interface));
        choice.ifIndex = *ifIndex;
    }
    const Status checked = checkChoice(choice);
    if (!checked)
        return failure(field + QStringLiteral(": ") + checked.failure().description);
    return choice;
}

NotificationForm formOf(const NotificationSettings &settings)
{
    NotificationForm form;
    for (qsizetype i = 0;
         i < settings.destinations.size() && i < qsizetype(form.destinations.size()); ++i) {
        const NotificationDestination &d = settings.destinations[i];
        form.destinations[i] = {d.address,   QString::number(d.port),   int(d.version),
                                d.community, QString::fromUtf8(d.user), int(d.level),
                                int(d.kind)};
    }
    form.coldStart = settings.coldStart;
    form.authenticationFailure = settings.authenticationFailure;
    const NotificationSchedule &schedule = settings.schedule;
    form.schedule = schedule.mode;
    const qsizetype named = StandardOids.indexOf(schedule.notification.oid);
    form.scheduled.notification = named >= 0 ? StandardNames[named] : schedule.notification.oid;
    if (schedule.notification.ifIndex > 0)
        form.scheduled.interface = QString::number(schedule.notification.ifIndex);
    form.interval = QString::number(schedule.intervalSeconds);
    form.rate = QString::number(schedule.ratePerSecond);
    return form;
}

Result<NotificationSettings> settingsOf(const NotificationForm &form, const QList<UsmUser> &users)
{
    NotificationSettings settings;
    for (size_t i = 0; i < form.destinations.size(); ++i) {
        if (form.destinations[i].address.trimmed().isEmpty())
            continue;
        const QString name = QStringLiteral("Destination %1: ").arg(i + 1);
        const Result<NotificationDestination> destination = destinationOf(form.destinations[i]);
        if (!destination)
            return failure(name + destination.failure().description);
        const Status checked = checkDestination(destination.value(), users);
        if (!checked)
            return failure(name + checked.failure().description);
        settings.destinations.append(destination.value());
    }
    settings.coldStart = form.coldStart;
    settings.authenticationFailure = form.authenticationFailure;
    NotificationSchedule &schedule = settings.schedule;
    schedule.mode = NotificationSchedule::Mode(qBound(0, form.schedule, 2));
    if (schedule.mode == NotificationSchedule::Off)
        return settings;
    if (schedule.mode == NotificationSchedule::Periodic) {
        const std::optional<int> interval = wholeNumber(form.interval, 1, schedule.MaxInterval);
        if (!interval)
            return failure(QStringLiteral("Schedule: the interval is 1 to %1 s, not \"%2\"")
                               .arg(schedule.MaxInterval)
                               .arg(form.interval));
        schedule.intervalSeconds = *interval;
    } else {
        const std::optional<int> rate = wholeNumber(form.rate, 1, schedule.MaxRate);
        if (!rate)
            return failure(QStringLiteral("Schedule: the rate is 1 to %1 a second, not \"%2\"")
                               .arg(schedule.MaxRate)
                               .arg(form.rate));
        schedule.ratePerSecond = *rate;
    }
    const Result<NotificationChoice> choice = choiceOf(form.scheduled, QStringLiteral("Schedule"));
    if (!choice)
        return choice.failure();
    schedule.notification = choice.value();
    return settings;
}

QString notificationCountsText(const NotificationCounts &counts)
{
    QStringList lines{QStringLiteral("Sent: %1").arg(counts.sent),
                      QStringLiteral("Acknowledged: %1").arg(counts.acknowledged),
                      QStringLiteral("Unacknowledged: %1").arg(counts.unacknowledged),
                      QStringLiteral("Held back by the rate limit: %1").arg(counts.heldBack),
                      QStringLiteral("Failed attempts: %1").arg(counts.failedAttempts)};
    for (int reason = 0; reason < NotSentReasons; ++reason) {
        if (counts.notSent[size_t(reason)] > 0)
            lines.append(QStringLiteral("Not sent, %1: %2")
                             .arg(notSentName(NotSent(reason)))
                             .arg(counts.notSent[size_t(reason)]));
    }
    return lines.join(QLatin1Char('\n'));
}

QString notificationSummary(const NotificationCounts &counts)
{
    quint64 notSent = 0;
    for (const quint64 count : counts.notSent)
        notSent += count;
    if (counts.sent == 0 && counts.heldBack == 0 && notSent == 0)
        return {};
    return QStringLiteral("Notifications: %1 sent, %2 acknowledged, %3 unacknowledged, "
                          "%4 held back, %5 not sent")
        .arg(counts.sent)
        .arg(counts.acknowledged)
        .arg(counts.unacknowledged)
        .arg(counts.heldBack)
        .arg(notSent);
}
