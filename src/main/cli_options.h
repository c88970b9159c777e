// The command line of kx4720r-cli: the commands, their options, their help
// texts and the exit codes. Parsing checks every value, so a command only
// runs with options that make sense; nothing falls back silently.
#pragma once

#include "core/instrument_session.h"
#include "core/instrument_settings.h"

#include <QString>
#include <QStringList>

#include <optional>

namespace cli {

// Documented in --help and the README; scripts rely on them.
enum ExitCode {
    ExitDone = 0,
    ExitRefused = 1,  // refused, not acknowledged in time, or read back different
    ExitUsage = 2,    // usage error, a bad settings file, or a file that cannot be written
    ExitPort = 3,     // missing, busy, no permission, or lost
    ExitNoAnswer = 4, // no answer from the instrument
};

enum class Command { None, Ports, Status, Read, Write, Monitor, Restart, ClearTemperature };

struct Options {
    Command command = Command::None;
    QString commandName;
    bool help = false;
    bool version = false;

    LinkSettings link; // link.port empty: choose the one free port
    // Many instruments at once: -p repeated, --ports FILE or --all. Every
    // port named, in order; link.port is the first.
    QStringList ports;
    QString portsFile;
    bool allPorts = false;
    bool stopOnFirstFailure = false;
    QString csvDirectory; // monitor --csv-per-port
    bool json = false;
    QString outputFile;                        // read -o
    QString settingsFile;                      // write FILE
    std::optional<ScaleSetting> input, output; // write --input / --output
    bool dryRun = false;
    int ackTimeoutMs = 5000;
    int count = 0; // monitor: 0 runs until Ctrl-C
    QString csvFile;
    // A unit of a rack: the station's name (its serial number) is asked once,
    // after the command's work (monitoring: after its first reading).
    bool askStationName = false;

    // One line per instrument and a summary, instead of one instrument's output.
    bool manyPorts() const { return ports.size() > 1 || !portsFile.isEmpty() || allPorts; }
};

struct Parse {
    Options options;
    QString error; // usage error, one line; empty when the command line is good
};

// arguments without the program name.
Parse parseArguments(const QStringList &arguments);

// The general help, or the command's own.
QString helpText(Command command);
QString versionText();

} // namespace cli
