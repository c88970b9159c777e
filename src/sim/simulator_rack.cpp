// Starting, stopping and describing the units of a simulated rack.
#include "sim/simulator_rack.h"

SimulatorRack::SimulatorRack(const std::vector<InstrumentSimulator::Settings> &units,
                             QObject *parent)
    : QObject(parent)
{
    for (const InstrumentSimulator::Settings &settings : units) {
        const int index = int(m_units.size());
        m_units.push_back(std::make_unique<InstrumentSimulator>(settings));
        m_serialNumbers.push_back(settings.serialNumber);
        InstrumentSimulator *unit = m_units.back().get();
        connect(unit, &InstrumentSimulator::cablePulled, this,
                [this, index] { emit cablePulled(index); });
        connect(unit, &InstrumentSimulator::cableBack, this,
                [this, index] { emit cableBack(index); });
    }
}

SimulatorRack::~SimulatorRack() = default;

bool SimulatorRack::start()
{
    for (std::size_t i = 0; i < m_units.size(); ++i) {
        if (m_units[i]->startOnNewPty()) continue;
        m_error = QStringLiteral("unit %1: %2").arg(i).arg(m_units[i]->errorText());
        stop();
        return false;
    }
    m_error.clear();
    return true;
}

void SimulatorRack::stop()
{
    for (const auto &unit : m_units)
        unit->stop();
}

void SimulatorRack::pullCables()
{
    for (const auto &unit : m_units)
        unit->pullCable();
}

QString SimulatorRack::describe(int index) const
{
    const InstrumentSimulator &unit = *m_units[std::size_t(index)];
    QString line = QStringLiteral("unit %1 %2").arg(index).arg(unit.portPath());
    if (!unit.linkPath().isEmpty()) line += QStringLiteral(" at ") + unit.linkPath();
    return line + QStringLiteral(", serial ") + m_serialNumbers[std::size_t(index)];
}
