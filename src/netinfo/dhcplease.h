#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

// What a DHCP client recorded of the lease it holds on one interface.
struct DhcpLease
{
    QString address;
    QString server;
    QDateTime obtained; // invalid when the client did not record it
    QDateTime expires;
};

// The newest lease for the interface in a dhclient lease file ("lease { ... }" blocks, appended
// over time). Times there are UTC ("expire 3 2026/12/02 01:00:00") or "epoch N".
std::optional<DhcpLease> parseDhclientLease(const QByteArray &text, const QString &interfaceName);

// A KEY=VALUE lease as systemd-networkd and NetworkManager's own client write it. It carries the
// lifetime but no date, so the file's modification time stands for the moment it was obtained.
std::optional<DhcpLease> parseKeyValueLease(const QByteArray &text, const QDateTime &written);

// Of the leases found for an adapter, the one that gave it one of its present IPv4 addresses
// (the latest expiring); a lease left over from an address the adapter no longer has is stale.
std::optional<DhcpLease> chooseLease(const QList<DhcpLease> &candidates,
                                     const QStringList &ipv4Addresses);

// ISO 8601 in local time with its offset; empty for an unknown time.
QString leaseTimeText(const QDateTime &time);
