// Command line of the instrument simulator: where it listens, how fast the
// line runs and how it hands replies over, which faults it plays, and a rack
// of many simulated instruments, each with faults of its own.
#pragma once

#include "sim/instrument_model.h"
#include "sim/sim_faults.h"

#include <QString>
#include <QStringList>

#include <cstdint>
#include <vector>

struct SimOptions {
    SimFaults faults;
    std::uint32_t seed = 1;
    int baud = 115200;
    QString linkPath;   // a symbolic link to the simulator's pty
    QString portDevice; // a serial device to use instead of a pty
    QString timingPath; // where to write the exchanges' timing (see TimingLog)
    QString serialNumber = QStringLiteral("SIM00001"); // reported by the link's identification
    quint64 pullAt = 0; // pull the cable when this request arrives (0: never)
    int replugAfterMs = 2000; // how long a pulled cable stays out
    bool uncalibrated = false;
    qint32 inputDrift = 0; // converter counts

    InstrumentModel::Options modelOptions() const;
};

struct SimOptionsParse {
    // One instrument; with --count, what every unit starts from.
    SimOptions options;
    // With --count: every unit of the rack, with its own link (the prefix and
    // its number), seed, serial number and faults.
    std::vector<SimOptions> units;
    bool ok = false;
    bool helpRequested = false;
    bool versionRequested = false;
    QString error;    // why the command line was refused
    QString helpText; // usage, for --help and with an error
};

// `arguments` includes the program name first, as QCoreApplication gives it.
// Nothing is silently replaced: a value out of range refuses the whole line.
SimOptionsParse parseSimOptions(const QStringList &arguments);

// The line speeds the link offers; --baud accepts these only.
bool isOfferedBaud(int baud);

// The serial number `n` places after `first`: its trailing number counted up
// at its width ("SIM00009" + 1 is "SIM00010"), or "-n" appended when it ends
// in no digit.
QString nthSerialNumber(const QString &first, int n);

// The result code of a refused settings write (--refuse-write): the first
// code above the link's own 129 and 130, which a master reports as a slave
// error.
inline constexpr quint8 RefusedWriteCode = 131;
