#include "resolverconfig.h"

#include <QHostAddress>

#include <algorithm>

QStringList parseNameServers(const QByteArray &resolvConf)
{
    QStringList servers;
    const QList<QByteArray> lines = resolvConf.split('\n');
    for (const QByteArray &line : lines) {
        const QList<QByteArray> fields = line.simplified().split(' ');
        if (fields.size() < 2 || fields.at(0) != "nameserver")
            continue;
        const QString server = QString::fromLatin1(fields.at(1));
        if (!servers.contains(server))
            servers.append(server);
    }
    return servers;
}

QStringList chooseNameServers(const QByteArray &etcResolvConf, const QByteArray &resolvedConf)
{
    const QStringList configured = parseNameServers(etcResolvConf);
    const bool onlyLocalStub =
        std::all_of(configured.begin(), configured.end(),
                    [](const QString &server) { return QHostAddress(server).isLoopback(); });
    if (onlyLocalStub) {
        const QStringList upstream = parseNameServers(resolvedConf);
        if (!upstream.isEmpty())
            return upstream;
    }
    return configured;
}
