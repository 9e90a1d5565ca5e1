#include "notificationsettings.h"

#include "snmp/codec/bercodec.h"
#include "snmp/usm/usmengine.h"

#include <QHostAddress>
#include <QRegularExpression>

namespace {

bool isUnicast(const QHostAddress &address)
{
    return !address.isNull() && !address.isMulticast() && !address.isBroadcast() &&
           address != QHostAddress::AnyIPv4 && address != QHostAddress::AnyIPv6;
}

const UsmUser *userNamed(const QList<UsmUser> &users, const QByteArray &name)
{
    for (const UsmUser &user : users) {
        if (user.name == name)
            return &user;
    }
    return nullptr;
}

} // namespace

Status checkDestination(const NotificationDestination &destination, const QList<UsmUser> &users)
{
    if (!isUnicast(QHostAddress(destination.address)))
        return failure(QStringLiteral("address \"%1\" is not a unicast IPv4 or IPv6 address")
                           .arg(destination.address));
    if (destination.port < 1 || destination.port > 65535)
        return failure(QStringLiteral("port %1 is outside 1 to 65535").arg(destination.port));
    if (destination.kind == NotificationKind::Inform &&
        destination.version == NotificationVersion::V1)
        return failure(QStringLiteral("kind: SNMPv1 has no INFORM"));
    if (destination.version == NotificationVersion::V2c && destination.community.isEmpty())
        return failure(QStringLiteral("community is empty"));
    if (destination.version != NotificationVersion::V3)
        return {};
    const UsmUser *user = userNamed(users, destination.user);
    if (!user)
        return failure(QStringLiteral("user \"%1\" is not one of the row's SNMPv3 users")
                           .arg(QString::fromUtf8(destination.user)));
    if ((destination.level != SecurityLevel::NoAuthNoPriv && user->auth == usm::Auth::None) ||
        (destination.level == SecurityLevel::AuthPriv && user->priv == usm::Priv::None))
        return failure(QStringLiteral("level: user \"%1\" has no keys for it")
                           .arg(QString::fromUtf8(destination.user)));
    return {};
}

QString notSentName(NotSent reason)
{
    switch (reason) {
    case NotSent::NoV1Form:
        return QStringLiteral("a Counter64 has no SNMPv1 form");
    case NotSent::NoEngine:
        return QStringLiteral("the receiver's engine did not answer");
    case NotSent::NoUser:
        return QStringLiteral("the SNMPv3 user is gone");
    case NotSent::SendRefused:
        return QStringLiteral("the system refused to send");
    case NotSent::TooManyWaiting:
        return QStringLiteral("too many INFORMs waiting");
    case NotSent::NotRunning:
        return QStringLiteral("the row stopped");
    }
    return {};
}

Status checkChoice(const NotificationChoice &choice)
{
    static const QRegularExpression numeric(QStringLiteral("^\\d+(\\.\\d+)+$"));
    if (!numeric.match(choice.oid).hasMatch() || !ber::encodeOid(choice.oid))
        return failure(
            QStringLiteral("Notification identifier \"%1\" is not numeric").arg(choice.oid));
    for (const QString &object : choice.objects) {
        if (!numeric.match(object).hasMatch() || !ber::encodeOid(object))
            return failure(QStringLiteral("Object \"%1\" is not a numeric identifier").arg(object));
    }
    const bool link = choice.oid == StandardTrap::LinkDown || choice.oid == StandardTrap::LinkUp;
    if (link && choice.ifIndex < 1)
        return failure(QStringLiteral("Interface: linkDown and linkUp name an ifIndex"));
    return {};
}

Status checkNotifications(const NotificationSettings &settings, const QList<UsmUser> &users)
{
    if (settings.destinations.size() > NotificationSettings::MaxDestinations)
        return failure(
            QStringLiteral("Destinations: at most %1").arg(NotificationSettings::MaxDestinations));
    for (qsizetype i = 0; i < settings.destinations.size(); ++i) {
        const Status checked = checkDestination(settings.destinations[i], users);
        if (!checked)
            return failure(QStringLiteral("Destination %1: ").arg(i + 1) +
                           checked.failure().description);
    }
    const NotificationSchedule &schedule = settings.schedule;
    if (schedule.mode == NotificationSchedule::Off)
        return {};
    if (schedule.mode == NotificationSchedule::Periodic &&
        (schedule.intervalSeconds < 1 || schedule.intervalSeconds > schedule.MaxInterval))
        return failure(QStringLiteral("Schedule: the interval is 1 to %1 s, not %2")
                           .arg(schedule.MaxInterval)
                           .arg(schedule.intervalSeconds));
    if (schedule.mode == NotificationSchedule::Storm &&
        (schedule.ratePerSecond < 1 || schedule.ratePerSecond > schedule.MaxRate))
        return failure(QStringLiteral("Schedule: the rate is 1 to %1 a second, not %2")
                           .arg(schedule.MaxRate)
                           .arg(schedule.ratePerSecond));
    const Status choice = checkChoice(schedule.notification);
    if (!choice)
        return failure(QStringLiteral("Schedule: ") + choice.failure().description);
    return {};
}
