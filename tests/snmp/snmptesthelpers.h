#pragma once

#include "app/frmmain.h"
#include "snmp/codec/bercodec.h"
#include "snmp/ui/snmpagentpage.h"
#include "snmp/agent/snmpagents.h"
#include "snmp/codec/snmpmessage.h"

#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QStringList>
#include <QTemporaryDir>
#include <QTest>
#include <QUdpSocket>

// A request as a manager sends it: each identifier bound to Null.
inline SnmpMessage makeRequest(int type, const QStringList &oids,
                               const QString &community = QStringLiteral("kettle"),
                               qint32 number = 1234)
{
    SnmpMessage message;
    message.version = type < SnmpPdu::V2cBase ? SnmpVersion::V1 : SnmpVersion::V2c;
    message.Type = type;
    message.Community = community;
    message.MessageNumber = number;
    for (const QString &oid : oids)
        message.Variables.append(SnmpVariable::make(oid).value());
    return message;
}

inline quint16 freeUdpPort()
{
    QUdpSocket probe;
    probe.bind(QHostAddress::LocalHost, 0, QAbstractSocket::DontShareAddress);
    return probe.localPort();
}

// Types the boxes and clicks the row's button; true when the row then runs.
inline bool clickRow(FrmMain &window, int row, const QString &port,
                     const QString &address = QStringLiteral("127.0.0.1"))
{
    window.snmpAgent->txtSnmpIpAddr[row]->setText(address);
    window.snmpAgent->txtSnmpPort[row]->setText(port);
    window.snmpAgent->cmdSnmpControl[row]->click();
    return window.snmpAgents->agentTable()[row].AgentRunning;
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
    QSignalSpy finished(&process, &QProcess::finished);
    process.start(tool, QStringList{"-On", "-t", "2", "-r", "1"} + modules + arguments);
    // The tools' own time-outs bound the run; waiting keeps this thread's agents answering.
    if (!finished.wait(30000))
        return {};
    return {process.exitCode(), QString::fromUtf8(process.readAllStandardOutput()),
            QString::fromUtf8(process.readAllStandardError())};
}

// A seed as it is, or truncated, flipped, re-lengthed, nested, one byte up or replaced by noise.
inline QByteArray mutated(QByteArray bytes, QRandomGenerator &random)
{
    const auto any = [&](qsizetype below) { return int(random.bounded(int(below))); };
    switch (any(7)) {
    case 0:
        bytes.truncate(any(bytes.size()));
        break;
    case 1:
        for (int i = any(4); i >= 0; --i)
            bytes[any(bytes.size())] = char(any(256));
        break;
    case 2: // noise
        bytes = QByteArray(any(300), 0);
        for (char &byte : bytes)
            byte = char(any(256));
        break;
    case 3: { // a length made long, indefinite or huge
        static const char *const lengths[] = {"80", "84ffffffff", "847fffffff", "8201",
                                              "ff", "850000000001", "81", "84"};
        bytes.replace(1 + any(bytes.size() - 1), 1, QByteArray::fromHex(lengths[any(8)]));
        break;
    }
    case 4: // far deeper than any message
        for (int depth = any(300); depth >= 0; --depth)
            bytes = ber::element(ber::Sequence, bytes);
        break;
    case 5: // a length off by one
        ++bytes[1 + any(bytes.size() - 1)];
        break;
    }
    return bytes;
}
