// SimulatorRunner: an in-process instrument simulator on a fresh pty, for
// end-to-end tests of the engine or of the whole window.
//
//   SimulatorRunner sim;                    // or SimulatorRunner sim(faults);
//   QVERIFY2(sim.isRunning(), qPrintable(sim.errorText()));
//
//   // Either open the pty on an existing engine (for the window: its MB1's
//   // engine(), TMB::engine()); the window's OnMBPortOpenedOrClosed handler
//   // then starts its exchange cycle as after a click on Open:
//   QVERIFY(sim.openOn(form.MB1->engine()));
//   QVERIFY(sim.waitForExchanges(1));       // the first reply's end event has run
//   QCOMPARE(sim.lastRequest().CommandBits, 0);
//
//   // Or offer the port to a window created afterwards: KX4720R_PORTS names
//   // the pty (restored when the runner goes), so the port probe lists it
//   // first and preselects it unless the ini names another listed port.
//   sim.offerPort();
//
// Exchanges and requests are counted from openOn(). waitFor... return false
// after the timeout instead of failing the test themselves, so callers can
// QVERIFY2 with their own message. The simulator itself (faults, model,
// records of requests and replies) is reachable through simulator().
#pragma once

#include "sim/simulator.h"

#include <QByteArray>
#include <QMetaObject>
#include <QPointer>

#include <optional>

class SimulatorRunner {
public:
    explicit SimulatorRunner(const SimFaults &faults = {},
                             const InstrumentModel::Options &model = {}, int baud = 115200);
    explicit SimulatorRunner(const InstrumentSimulator::Settings &settings);
    ~SimulatorRunner();
    SimulatorRunner(const SimulatorRunner &) = delete;
    SimulatorRunner &operator=(const SimulatorRunner &) = delete;

    bool isRunning() const { return m_simulator.isRunning(); }
    QString errorText() const { return m_simulator.errorText(); }
    // The path a program opens (/dev/pts/N).
    QString portPath() const { return m_simulator.portPath(); }
    InstrumentSimulator &simulator() { return m_simulator; }

    // Sets KX4720R_PORTS to the pty's path for port probes from now on.
    void offerPort();

    // Sets the engine to the simulator's speed and opens the pty on it; true
    // when the port is open. The engine must stay alive while the runner
    // watches it, or be closed first.
    bool openOn(MBEngine &engine);
    // Waits until the engine opened by openOn() has ended `count` master
    // transactions (any status) since the opening.
    bool waitForExchanges(int count, int timeoutMs = 10000);
    // Waits until the simulator has received `count` instrument requests
    // since openOn() (or construction).
    bool waitForRequests(int count, int timeoutMs = 10000);
    int exchanges() const { return m_exchanges; }
    int requests() const { return int(m_simulator.requestCount() - m_requestBase); }
    // The last instrument request received (a default one before any).
    InstrumentRequest lastRequest() const;

private:
    static InstrumentSimulator::Settings
    settingsFor(const SimFaults &faults, const InstrumentModel::Options &model, int baud);

    InstrumentSimulator m_simulator;
    QMetaObject::Connection m_endConnection;
    int m_exchanges = 0;
    quint64 m_requestBase = 0;
    std::optional<QByteArray> m_savedPorts; // KX4720R_PORTS before offerPort()
    bool m_offered = false;
};
