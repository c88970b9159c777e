// Program entry of kx4720r-sim, the instrument simulator: listens on a new
// pty (or a given serial device), prints where, and answers the program until
// SIGINT or SIGTERM. SIGUSR1 pulls the cable (see --pull-at).
#include "sim/sim_options.h"
#include "sim/simulator.h"
#include "sim/timing_log.h"

#include <QCoreApplication>
#include <QFile>
#include <QSocketNotifier>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <memory>
#include <sys/socket.h>
#include <unistd.h>

namespace {

int g_signalPipe[2] = {-1, -1};

void onSignal(int number)
{
    // The byte says which: SIGUSR1 pulls the cable, the others end the run.
    const char byte = number == SIGUSR1 ? 'p' : 'q';
    // Only async-signal-safe work here; the event loop does the rest.
    [[maybe_unused]] const auto rc = ::write(g_signalPipe[1], &byte, 1);
}

bool installSignalHandlers()
{
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, g_signalPipe) != 0)
        return false;
    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    return ::sigaction(SIGINT, &action, nullptr) == 0 &&
           ::sigaction(SIGTERM, &action, nullptr) == 0 &&
           ::sigaction(SIGUSR1, &action, nullptr) == 0;
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
        std::fputs(qPrintable(parsed.helpText), stdout);
        return 0;
    }
    const SimOptions &options = parsed.options;

    if (!installSignalHandlers()) {
        std::fprintf(stderr, "kx4720r-sim: cannot set up signal handling: %s\n",
                     std::strerror(errno));
        return 1;
    }
    InstrumentSimulator simulator(InstrumentSimulator::fromOptions(options));
    QSocketNotifier signalNotifier(g_signalPipe[0], QSocketNotifier::Read);
    QObject::connect(&signalNotifier, &QSocketNotifier::activated, &app, [&] {
        char bytes[16];
        ssize_t n;
        while ((n = ::read(g_signalPipe[0], bytes, sizeof bytes)) > 0) {
            for (ssize_t i = 0; i < n; ++i) {
                if (bytes[i] == 'q') app.quit();
                if (bytes[i] == 'p' && options.portDevice.isEmpty()) simulator.pullCable();
            }
        }
    });
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
