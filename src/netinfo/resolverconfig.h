#pragma once

#include <QByteArray>
#include <QStringList>

// The name servers of resolv.conf text, in file order, each once.
QStringList parseNameServers(const QByteArray &resolvConf);

// The servers that queries really go to. When /etc/resolv.conf points only at systemd-resolved's
// local stub, the upstream servers come from the file the resolver daemon writes beside it.
QStringList chooseNameServers(const QByteArray &etcResolvConf, const QByteArray &resolvedConf);
