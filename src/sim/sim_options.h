// Command line of the instrument simulator: where it listens, how fast the
// line runs, and which faults it plays.
#pragma once

#include "sim/instrument_model.h"
#include "sim/sim_faults.h"

#include <QString>
#include <QStringList>

#include <cstdint>

struct SimOptions {
    SimFaults faults;
    std::uint32_t seed = 1;
    int baud = 115200;
    QString linkPath;   // a symbolic link to the simulator's pty
    QString portDevice; // a serial device to use instead of a pty
    QString timingPath; // where to write the exchanges' timing (see TimingLog)
    quint64 pullAt = 0; // pull the cable when this request arrives (0: never)
    int replugAfterMs = 2000; // how long a pulled cable stays out
    bool uncalibrated = false;

    InstrumentModel::Options modelOptions() const;
};

struct SimOptionsParse {
    SimOptions options;
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
