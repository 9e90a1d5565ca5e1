#pragma once

#include "dhcplease.h"

#include <QList>
#include <QString>

// Every lease that the usual DHCP clients (systemd-networkd, NetworkManager, dhclient) keep for
// the interface, read from their files below root ("/" on a real system). Missing or unreadable
// files give nothing.
QList<DhcpLease> readLeases(const QString &root, const QString &interfaceName, int interfaceIndex);
