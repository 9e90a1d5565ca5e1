#pragma once

#include "manager.h"
#include "recorders.h"
#include "testfiles.h"

#include "snmp/agent/recordingloader.h"
#include "snmp/agent/snmpagents.h"
#include "trace/debugtrace.h"

// The objects typed below rows 5 and 6 when the window starts.
inline const ControlledObject TypedObjects[SnmpAgents::TypedObjectSets] = {
    {"1.3.6.1.2.1.2.2.1.8.1", "Integer32", "1"}, {"1.3.6.1.2.1.11.2.0", "Integer32", "100"}};

// The agent rows without a window: the controller and the recording loader on a temporary
// program folder (with its Debug/ trace folder), messages captured, and a manager on loopback
// to talk to them. Rows 5 and 6 answer the typed objects, as in the window.
class TestRows
{
    QTemporaryDir m_programFolder; // made before the trace that writes into it

public:
    TestRows() : trace(m_programFolder.path()), agents(trace, messages), loader(agents, messages)
    {
        QDir(m_programFolder.path()).mkdir(QStringLiteral("Debug"));
        for (int set = 0; set < SnmpAgents::TypedObjectSets; ++set) {
            agents.setTypedObject(set, TypedObjects[set]);
            agents.setTypedObjectSet(5 + set, set);
        }
    }

    // Starts the row on `address` and a port the system chooses; false when it did not start.
    bool start(int row, const QString &address = QStringLiteral("127.0.0.1"))
    {
        agents.setAddress(row, address);
        return agents.startOnAnyPort(row);
    }
    quint16 port(int row) const { return agents.port(row).toUShort(); }
    std::optional<SnmpMessage> exchange(int row, const SnmpMessage &request, int ms = 2000)
    {
        return manager.exchange(port(row), request, ms);
    }
    // A net-snmp tool run against the row: the options, the row's address, the operands.
    ToolRun run(int row, const QString &tool, const QStringList &options,
                const QStringList &operands = {}, bool mibs = false) const
    {
        return runTool(tool, options + QStringList{"127.0.0.1:" + agents.port(row)} + operands,
                       mibs);
    }
    // Serves the recording at `path` on the row; false when its reading did not end in time.
    bool serve(int row, const QString &path)
    {
        bool ended = false;
        QObject context;
        QObject::connect(&loader, &RecordingLoader::loadEnded, &context,
                         [&](int index) { ended = ended || index == row; });
        loader.serveFile(row, path);
        return waitFor([&] { return ended; }, 20000);
    }

    QString traceFolder() const { return m_programFolder.path() + QStringLiteral("/Debug"); }
    // The file the row traces into, by its address and port as they stand.
    QString traceFile(int row) const
    {
        return trace.traceFilePath(TraceKind::Snmp, agents.address(row), agents.port(row));
    }

    RecordingMessages messages;
    DebugTrace trace;
    SnmpAgents agents;
    RecordingLoader loader;
    Manager manager;
};
