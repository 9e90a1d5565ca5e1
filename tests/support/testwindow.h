#pragma once

#include "app/frmmain.h"
#include "netinfo/adapterinfo.h"
#include "recorders.h"
#include "testfiles.h"

#include <QTemporaryDir>

#include <memory>

// An adapter with a name, a type ("Ethernet" is listed by NIC Info) and perhaps an address.
AdapterRecord adapterRecord(const QString &name, const QString &type, const QString &ipv4 = {});

// Adapters of a made-up machine: one Ethernet adapter on 127.0.0.1, so the rows' address boxes
// hold a loopback address from start-up on.
AdapterSnapshot loopbackAdapters();

// A main window on a temporary program folder (with its Debug/ trace folder) and a temporary
// start directory, with message boxes and editor launches captured.
class TestWindow
{
public:
    explicit TestWindow(AdapterSnapshot adapters = loopbackAdapters());

    // Creates the window; files placed in programFolder() or startDirectory() before this call
    // are there at start-up.
    FrmMain &open();
    FrmMain &window() { return *m_window; }

    QString programFolder() const { return m_programFolder.path(); }
    QString traceFolder() const { return m_programFolder.path() + QStringLiteral("/Debug"); }
    QString startDirectory() const { return m_startDirectory.path(); }

    RecordingMessages messages;
    RecordingEditor editor;
    ChosenFile files;
    AdapterInfo ipInfo;

private:
    QTemporaryDir m_programFolder;
    QTemporaryDir m_startDirectory;
    AppServices m_services;
    std::unique_ptr<FrmMain> m_window;
};
