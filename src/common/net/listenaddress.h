#pragma once

#include "common/core/result.h"

#include <QHostAddress>
#include <QString>

// The number a row's start reports for an address it cannot listen on.
inline constexpr int AddressNotValidError = 10049;

// The address a row may listen on: the wildcard or an address of one of this machine's
// interfaces. The system would also bind a broadcast or multicast address, where no client
// ever reaches the row; anything but the wildcard or an own address fails with 10049.
Result<QHostAddress> listenAddress(const QString &text);
