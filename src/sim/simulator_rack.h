// SimulatorRack: many simulated instruments in one process, as on a
// production line's rack of USB-serial adapters: each unit on a pty of its
// own (and its own link), with its own serial number, seed and faults, all
// answered by one event loop.
#pragma once

#include "sim/simulator.h"

#include <QObject>
#include <QString>

#include <memory>
#include <vector>

class SimulatorRack : public QObject {
    Q_OBJECT
public:
    explicit SimulatorRack(const std::vector<InstrumentSimulator::Settings> &units,
                           QObject *parent = nullptr);
    ~SimulatorRack() override;

    // Starts every unit on a new pty; false, with errorText() and every unit
    // stopped again, when one could not start.
    bool start();
    void stop();
    // As if the rack's hub were pulled: every unit's cable, each back after
    // its own replug time.
    void pullCables();

    int size() const { return int(m_units.size()); }
    InstrumentSimulator &unit(int index) { return *m_units[std::size_t(index)]; }
    QString errorText() const { return m_error; }

    // One unit's line for a script: its number, pty, link and serial number.
    QString describe(int index) const;

signals:
    void cablePulled(int unit);
    void cableBack(int unit);

private:
    std::vector<std::unique_ptr<InstrumentSimulator>> m_units;
    std::vector<QString> m_serialNumbers;
    QString m_error;
};
