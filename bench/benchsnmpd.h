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
// Reads what waits on `fd` (up to `count` datagrams) into slots of `slot` bytes in `buffers`;
// returns how many came, each one's length in its header.
inline int receiveBatch(int fd, mmsghdr *headers, iovec *vectors, char *buffers, int count,
                        std::size_t slot)
{
    for (int i = 0; i < count; ++i) {
        vectors[i] = {buffers + std::size_t(i) * slot, slot};
        headers[i] = {};
        headers[i].msg_hdr.msg_iov = &vectors[i];
        headers[i].msg_hdr.msg_iovlen = 1;
    }
    return ::recvmmsg(fd, headers, unsigned(count), MSG_DONTWAIT, nullptr);
}

// Sends the `count` datagrams the headers describe; one the socket refuses ends the batch, and
// the load generators count it as lost.
inline void sendBatch(int fd, mmsghdr *headers, int count)
{
    for (int sent = 0; sent < count;) {
        const int done = ::sendmmsg(fd, headers + sent, unsigned(count - sent), 0);
        if (done <= 0)
            break;
        sent += done;
    }
}

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
