// Program entry of kx4720r-sim, the instrument simulator: listens on a new
// pty (or a given serial device), prints where, and answers the program until
// SIGINT or SIGTERM. SIGUSR1 pulls the cable (see --pull-at). With --count it
// runs a rack of instruments instead, one line printed per unit.
#include "common/readme_line.h"
#include "quit_signals.h"
#include "sim/sim_options.h"
#include "sim/simulator.h"
#include "sim/simulator_rack.h"
#include "sim/timing_log.h"

#include <QCoreApplication>
#include <QFile>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

namespace {

// A rack: every unit started, one line each (then one that says all are
// ready), until SIGINT or SIGTERM; SIGUSR1 pulls every unit's cable.
int runRack(QCoreApplication &app, const std::vector<SimOptions> &units)
{
    std::vector<InstrumentSimulator::Settings> settings;
    for (const SimOptions &unit : units)
        settings.push_back(InstrumentSimulator::fromOptions(unit));
    SimulatorRack rack(settings);
    if (!quitsignals::install(
            app, [&app] { app.quit(); }, [&rack] { rack.pullCables(); })) {
        std::fprintf(stderr, "kx4720r-sim: cannot set up signal handling: %s\n",
                     std::strerror(errno));
        return 1;
    }
    QObject::connect(&rack, &SimulatorRack::cablePulled, &app, [&](int unit) {
        std::fprintf(stderr, "kx4720r-sim: unit %d: cable pulled; back in %d ms\n", unit,
                     units[std::size_t(unit)].replugAfterMs);
    });
    const auto print = [&rack](int unit) {
        std::printf("kx4720r-sim: %s\n", qPrintable(rack.describe(unit)));
        std::fflush(stdout);
    };
    QObject::connect(&rack, &SimulatorRack::cableBack, &app, print);
    if (!rack.start()) {
        std::fprintf(stderr, "kx4720r-sim: %s\n", qPrintable(rack.errorText()));
        return 1;
    }
    for (int unit = 0; unit < rack.size(); ++unit)
        print(unit);
    std::printf("kx4720r-sim: %d units ready\n", rack.size());
    std::fflush(stdout);
    const int rc = app.exec();
    rack.stop(); // the links go with the ptys
    return rc;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const SimOptionsParse parsed = parseSimOptions(QCoreApplication::arguments());
    if (!parsed.ok) {
        std::fprintf(stderr, "kx4720r-sim: %s\n\n%s", qPrintable(parsed.error),
                     qPrintable(parsed.helpText));
        return 2;
    }
    if (parsed.helpRequested) {
        std::fputs(qPrintable(parsed.helpText + readmeLine(QStringLiteral("kx4720r-sim"))), stdout);
        return 0;
    }
    if (parsed.versionRequested) {
        std::puts("kx4720r-sim " KX4720R_VERSION);
        return 0;
    }
    if (!parsed.units.empty()) return runRack(app, parsed.units);
    const SimOptions &options = parsed.options;

    InstrumentSimulator simulator(InstrumentSimulator::fromOptions(options));
    const auto pullCable = [&] {
        if (options.portDevice.isEmpty()) simulator.pullCable();
    };
    if (!quitsignals::install(
            app, [&app] { app.quit(); }, pullCable)) {
        std::fprintf(stderr, "kx4720r-sim: cannot set up signal handling: %s\n",
                     std::strerror(errno));
        return 1;
    }
    // A script follows the line's state on these lines.
    QObject::connect(&simulator, &InstrumentSimulator::cablePulled, &app, [&] {
        std::fprintf(stderr, "kx4720r-sim: cable pulled; back in %d ms\n", options.replugAfterMs);
    });
    QObject::connect(&simulator, &InstrumentSimulator::cableBack, &app, [](const QString &path) {
        std::printf("kx4720r-sim: %s\n", qPrintable(path));
        std::fflush(stdout);
    });

    const bool started = options.portDevice.isEmpty() ? simulator.startOnNewPty()
                                                      : simulator.startOnPort(options.portDevice);
    if (!started) {
        std::fprintf(stderr, "kx4720r-sim: %s\n", qPrintable(simulator.errorText()));
        return 1;
    }
    int exitCode = 0;
    QObject::connect(&simulator, &InstrumentSimulator::portLost, &app, [&](const QString &reason) {
        std::fprintf(stderr, "kx4720r-sim: %s\n",
                     qPrintable(QString(reason).replace(QLatin1Char('\r'), QLatin1String(": "))));
        exitCode = 1;
        app.quit();
    });

    QFile timingFile(options.timingPath);
    std::unique_ptr<TimingLog> timing;
    if (!options.timingPath.isEmpty()) {
        if (!timingFile.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
            std::fprintf(stderr, "kx4720r-sim: cannot write %s: %s\n",
                         qPrintable(options.timingPath), qPrintable(timingFile.errorString()));
            return 1;
        }
        timing = std::make_unique<TimingLog>(simulator, timingFile);
    }

    // The one line a script waits for: the port (and its link) is ready
    // when it appears. A cable pulled and back repeats it with the new pty.
    std::printf("kx4720r-sim: %s\n", qPrintable(simulator.portPath()));
    std::fflush(stdout);

    const int rc = app.exec();
    simulator.stop(); // the link goes with the pty
    return exitCode != 0 ? exitCode : rc;
}
