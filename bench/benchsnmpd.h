#pragma once

#include <QByteArray>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QString>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>

// The load generators' socket: non-blocking UDP on 127.0.0.1 with room for a burst of answers.
inline int openSocket()
{
    const int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(fd, reinterpret_cast<sockaddr *>(&local), sizeof local);
    const int size = 4 << 20;
    ::setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &size, sizeof size);
    ::fcntl(fd, F_SETFL, O_NONBLOCK);
    return fd;
}

// snmpd and its tools keep their files in `folder` and load no MIBs: nothing of the
// machine's own configuration takes part.
inline QProcessEnvironment snmpdEnvironment(const QString &folder)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("SNMP_PERSISTENT_DIR"), folder);
    environment.insert(QStringLiteral("MIBS"), QString());
    return environment;
}

// Starts snmpd in the foreground on 127.0.0.1:`port` with `conf` as its only configuration.
inline bool startSnmpd(QProcess &process, const QString &snmpd, const QString &folder,
                       const QByteArray &conf, quint16 port)
{
    QFile file(folder + QStringLiteral("/snmpd.conf"));
    if (!file.open(QIODevice::WriteOnly) || file.write(conf) != conf.size() || !file.flush())
        return false;
    file.close();
    process.setProcessEnvironment(snmpdEnvironment(folder));
    process.setStandardOutputFile(QProcess::nullDevice());
    process.setStandardErrorFile(QProcess::nullDevice());
    process.start(snmpd, {"-f", "-Lo", "-C", "-c", file.fileName(),
                          "udp:127.0.0.1:" + QString::number(port)});
    return true;
}
