#include "leasefiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {

QByteArray contentsOf(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void addKeyValueLease(const QString &path, const QByteArray &text, QList<DhcpLease> &leases)
{
    if (const auto lease = parseKeyValueLease(text, QFileInfo(path).lastModified()))
        leases.append(*lease);
}

void addDhclientLease(const QByteArray &text, const QString &interfaceName,
                      QList<DhcpLease> &leases)
{
    if (const auto lease = parseDhclientLease(text, interfaceName))
        leases.append(*lease);
}

QStringList filesIn(const QString &folder, const QString &pattern)
{
    QStringList paths;
    const QDir dir(folder);
    const QStringList names = dir.entryList({pattern}, QDir::Files | QDir::Readable, QDir::Name);
    for (const QString &name : names)
        paths.append(dir.filePath(name));
    return paths;
}

} // namespace

QList<DhcpLease> readLeases(const QString &root, const QString &interfaceName, int interfaceIndex)
{
    QList<DhcpLease> leases;
    const QDir base(root);
    if (interfaceIndex > 0) {
        const QString path =
            base.filePath(QStringLiteral("run/systemd/netif/leases/%1").arg(interfaceIndex));
        addKeyValueLease(path, contentsOf(path), leases);
    }

    // NetworkManager names its files "<client>-<connection>-<interface>.lease".
    const QString ownSuffix = QLatin1Char('-') + interfaceName + QStringLiteral(".lease");
    const QString managerFolder = base.filePath(QStringLiteral("var/lib/NetworkManager"));
    for (const QString &path : filesIn(managerFolder, QStringLiteral("*.lease"))) {
        if (!path.endsWith(ownSuffix))
            continue;
        const QByteArray text = contentsOf(path);
        if (text.contains("lease {"))
            addDhclientLease(text, interfaceName, leases);
        else
            addKeyValueLease(path, text, leases);
    }

    // dhclient keeps one file for all interfaces or one per interface; each block names its own.
    const QStringList dhclientFolders = {QStringLiteral("var/lib/dhcp"),
                                         QStringLiteral("var/lib/dhclient")};
    for (const QString &folder : dhclientFolders) {
        const QStringList paths =
            filesIn(base.filePath(folder), QStringLiteral("dhclient*.lease*"));
        for (const QString &path : paths) {
            if (!QFileInfo(path).fileName().startsWith(QStringLiteral("dhclient6")))
                addDhclientLease(contentsOf(path), interfaceName, leases);
        }
    }
    return leases;
}
