#pragma once

#include "requests.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QNetworkDatagram>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>
#include <QUdpSocket>

#include <optional>

// A UDP port on loopback that nothing holds at the moment of asking; another process may take
// it before it is used, so only what cannot bind port 0 itself asks for one.
inline quint16 freeUdpPort()
{
    QUdpSocket probe;
    probe.bind(QHostAddress::LocalHost, 0, QAbstractSocket::DontShareAddress);
    return probe.localPort();
}

// Runs this thread's events until `done` or until `ms` have passed, so agents living on this
// thread answer meanwhile; false on the time-out.
template <typename Done> bool waitFor(Done done, int ms)
{
    const QDeadlineTimer deadline(ms);
    while (!done()) {
        if (deadline.hasExpired())
            return false;
        QTimer wake; // bounds the wait for the next event
        wake.start(int(qMin<qint64>(10, deadline.remainingTime())));
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    return true;
}

// A manager's socket on a loopback address, talking to agents on this thread.
class Manager
{
public:
    explicit Manager(const QHostAddress &loopback = QHostAddress::LocalHost) : address(loopback)
    {
        socket.bind(loopback, 0);
    }

    // The first datagram back; nullopt when none came in `ms`, or when a request's answer is no
    // community message.
    std::optional<QByteArray> exchange(quint16 port, const QByteArray &datagram, int ms = 2000)
    {
        socket.writeDatagram(datagram, address, port);
        if (!waitFor([this] { return socket.hasPendingDatagrams(); }, ms))
            return std::nullopt;
        return socket.receiveDatagram().data();
    }
    std::optional<SnmpMessage> exchange(quint16 port, const SnmpMessage &request, int ms = 2000)
    {
        const auto answer = exchange(port, encodeMessage(request).value(), ms);
        const Result<SnmpMessage> message = decodeMessage(answer.value_or(QByteArray()));
        return message ? std::optional(message.value()) : std::nullopt;
    }

    // What the agent sent back for `datagrams`: a Get probe follows them, and the agent takes
    // datagrams in order, so what it answered comes before the probe's answer.
    struct Answers
    {
        QList<QByteArray> datagrams;
        bool probed = false; // the probe was answered in time
    };
    Answers answersTo(quint16 port, const QList<QByteArray> &datagrams, int ms = 3000)
    {
        const SnmpMessage probe = makeRequest(64, {"1.3.6.1.2.1.1.5.0"}, "kettle", ++m_probes);
        for (const QByteArray &datagram : datagrams + QList{encodeMessage(probe).value()})
            socket.writeDatagram(datagram, address, port);
        Answers answers;
        answers.probed = waitFor(
            [&] {
                while (socket.hasPendingDatagrams()) {
                    const QByteArray answer = socket.receiveDatagram().data();
                    const Result<SnmpMessage> message = decodeMessage(answer);
                    if (message && message.value().MessageNumber == probe.MessageNumber)
                        return true;
                    answers.datagrams.append(answer);
                }
                return false;
            },
            ms);
        return answers;
    }

    QUdpSocket socket;
    const QHostAddress address;

private:
    qint32 m_probes = 500000;
};

// A net-snmp tool's options for `user` at a security level.
inline QStringList v3(const char *level, const char *user)
{
    return {"-v3", "-l", level, "-u", user};
}

struct ToolRun
{
    int exitCode = -1; // -1 when the tool hung and was killed
    QString out, err;
};

// A net-snmp tool with numeric names and its own state folder, so the output does not depend on
// what is installed; `mibs` prints through the real MIB files (hints, enumerations, units).
inline ToolRun runTool(const QString &tool, const QStringList &arguments, bool mibs = false)
{
    static const QTemporaryDir state;
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("SNMP_PERSISTENT_DIR", state.path());
    environment.insert("SNMPCONFPATH", state.path());
    process.setProcessEnvironment(environment);
    const QStringList modules =
        mibs ? QStringList{"-M", qEnvironmentVariable("VELMOR_SHARED_DIR") + "/mibs", "-m", "ALL"}
             : QStringList{"-m", ""};
    process.start(tool, QStringList{"-On", "-t", "2", "-r", "1"} + modules + arguments);
    // The tools' own time-outs bound the run; waiting keeps this thread's agents answering.
    if (!waitFor([&] { return process.state() == QProcess::NotRunning; }, 30000) ||
        process.error() == QProcess::FailedToStart)
        return {};
    return {process.exitCode(), QString::fromUtf8(process.readAllStandardOutput()),
            QString::fromUtf8(process.readAllStandardError())};
}
