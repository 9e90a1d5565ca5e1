#pragma once

#include "common/core/result.h"
#include "snmp/answers/notificationcontent.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <array>

struct UsmUser;

enum class NotificationVersion { V1, V2c, V3 };
enum class NotificationKind { Trap, Inform };
enum class SecurityLevel { NoAuthNoPriv, AuthNoPriv, AuthPriv };

// A manager that listens for the row's notifications.
struct NotificationDestination
{
    QString address; // IPv4 or IPv6, unicast
    int port = 162;
    NotificationVersion version = NotificationVersion::V2c;
    QString community = QStringLiteral("kettle");
    QByteArray user; // SNMPv3: one of the row's users, at a level it has
    SecurityLevel level = SecurityLevel::NoAuthNoPriv;
    NotificationKind kind = NotificationKind::Trap; // INFORM for v2c and v3 only
    bool operator==(const NotificationDestination &) const = default;
};

// What to send: a notification identifier with the objects it carries, read from the row when
// it goes. linkDown and linkUp name one of the row's interfaces and carry its status.
struct NotificationChoice
{
    QString oid = StandardTrap::ColdStart;
    int ifIndex = 0;
    QStringList objects;
    bool operator==(const NotificationChoice &) const = default;
};

struct NotificationSchedule
{
    enum Mode { Off, Periodic, Storm };
    static constexpr int MaxInterval = 86400;
    static constexpr int MaxRate = 100000;
    Mode mode = Off;
    NotificationChoice notification;
    int intervalSeconds = 60; // Periodic: 1 to MaxInterval
    int ratePerSecond = 1000; // Storm: 1 to MaxRate
    bool operator==(const NotificationSchedule &) const = default;
};

// Where and when a row sends notifications. coldStart goes when the row starts as soon as there
// is a destination; authenticationFailure when it refuses a request, at most once a second.
struct NotificationSettings
{
    static constexpr int MaxDestinations = 8;
    QList<NotificationDestination> destinations;
    bool coldStart = true;
    bool authenticationFailure = false;
    NotificationSchedule schedule;
    bool operator==(const NotificationSettings &) const = default;
};

// Why a notification did not go to a destination.
enum class NotSent {
    NoV1Form,       // it carries a Counter64
    NoEngine,       // the receiver's SNMPv3 engine did not answer discovery
    NoUser,         // the destination's SNMPv3 user is gone from the row
    SendRefused,    // the system would not send it
    TooManyWaiting, // INFORMs awaiting acknowledgement reached their bound
    NotRunning,     // the row stopped before it went
};
constexpr int NotSentReasons = 6;
QString notSentName(NotSent reason);

// What a row's notifications came to since its settings were last applied.
struct NotificationCounts
{
    quint64 sent = 0;           // notifications that went out, once each whatever the retries
    quint64 acknowledged = 0;   // INFORMs answered
    quint64 unacknowledged = 0; // INFORMs that ran out of retries
    quint64 heldBack = 0;       // triggers the rate limits dropped
    quint64 failedAttempts = 0; // INFORM sends a destination refused (ICMP unreachable)
    std::array<quint64, NotSentReasons> notSent{};
    quint64 &notSentFor(NotSent reason) { return notSent[size_t(reason)]; }
    quint64 notSentFor(NotSent reason) const { return notSent[size_t(reason)]; }
};

// A failure naming the first field that does not hold, fit to show as it is. `users` are the
// row's SNMPv3 users.
Status checkNotifications(const NotificationSettings &settings, const QList<UsmUser> &users);
// The same for one destination; the failure names its field, not the destination.
Status checkDestination(const NotificationDestination &destination, const QList<UsmUser> &users);
Status checkChoice(const NotificationChoice &choice);
