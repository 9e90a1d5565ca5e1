#pragma once

#include "adapterinfo.h"

#include <QByteArray>
#include <QNetworkInterface>

// The machine's adapters as the operating system reports them. The current adapter is the one
// that carries the default route, else the first non-loopback adapter that is up.
AdapterSnapshot readSystemAdapters();

// The type text of an adapter. Wireless adapters look like Ethernet at the link layer; the
// kernel's uevent text ("DEVTYPE=wlan") tells them apart.
QString adapterTypeName(QNetworkInterface::InterfaceType type, const QByteArray &uevent);
