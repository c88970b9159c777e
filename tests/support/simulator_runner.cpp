// In-process instrument simulator for end-to-end tests.
#include "support/simulator_runner.h"

#include <QFile>
#include <QTest>

InstrumentSimulator::Settings SimulatorRunner::settingsFor(const SimFaults &faults,
                                                           const InstrumentModel::Options &model,
                                                           int baud)
{
    InstrumentSimulator::Settings settings;
    settings.faults = faults;
    settings.model = model;
    settings.baud = baud;
    return settings;
}

SimulatorRunner::SimulatorRunner(const SimFaults &faults, const InstrumentModel::Options &model,
                                 int baud)
    : SimulatorRunner(settingsFor(faults, model, baud))
{
}

SimulatorRunner::SimulatorRunner(const InstrumentSimulator::Settings &settings)
    : m_simulator(settings)
{
    m_simulator.startOnNewPty();
}

SimulatorRunner::~SimulatorRunner()
{
    QObject::disconnect(m_endConnection);
    if (m_offered) {
        if (m_savedPorts)
            qputenv("KX4720R_PORTS", *m_savedPorts);
        else
            qunsetenv("KX4720R_PORTS");
    }
}

void SimulatorRunner::offerPort()
{
    if (!m_offered && qEnvironmentVariableIsSet("KX4720R_PORTS"))
        m_savedPorts = qgetenv("KX4720R_PORTS");
    m_offered = true;
    qputenv("KX4720R_PORTS", QFile::encodeName(portPath()));
}

bool SimulatorRunner::openOn(MBEngine &engine)
{
    QObject::disconnect(m_endConnection);
    m_exchanges = 0;
    m_requestBase = m_simulator.requestCount();
    // Connected after the host's own handlers: when it counts, the host has
    // dealt with the reply.
    m_endConnection = QObject::connect(&engine, &MBEngine::OnMBMasterEndOfEvent, &m_simulator,
                                       [this] { ++m_exchanges; });
    engine.setBaudRate(quint32(m_simulator.engine().BaudRate()));
    return engine.MBOpenPort(portPath());
}

bool SimulatorRunner::waitForExchanges(int count, int timeoutMs)
{
    return QTest::qWaitFor([&] { return m_exchanges >= count; }, timeoutMs);
}

bool SimulatorRunner::waitForRequests(int count, int timeoutMs)
{
    return QTest::qWaitFor([&] { return requests() >= count; }, timeoutMs);
}

InstrumentRequest SimulatorRunner::lastRequest() const
{
    const auto &received = m_simulator.receivedRequests();
    return received.empty() ? InstrumentRequest{} : received.back().request;
}
