// Program entry of kx4720r-cli, the KX4720R tool for production lines and
// scripts: the instrument core without a window. Ctrl-C, SIGTERM or SIGHUP
// (a terminal or an SSH session that went away) ends the command in progress
// cleanly: the wait is cut short, the port closed and released, and files are
// left with whole lines only. A signal always ends the tool: when the clean
// end cannot come (the tool is stuck writing to an output nobody reads), it
// ends at once a moment later, or at the next signal.
#include "cli_commands.h"
#include "cli_options.h"
#include "cli_output.h"
#include "cli_rack.h"
#include "cli_records.h"
#include "common/readme_line.h"
#include "core/instrument_session.h"

#include <QCoreApplication>
#include <QSocketNotifier>

#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

namespace {

int g_signalPipe[2] = {-1, -1};
volatile std::sig_atomic_t g_signalled = 0;

// How long a clean end may take once a signal came; closing the port and
// writing the last line take milliseconds.
constexpr unsigned CleanEndSeconds = 2;

[[noreturn]] void endAtOnce()
{
    static const char message[] =
        "kx4720r-cli: interrupted; the command could not end cleanly and was ended at once\n";
    [[maybe_unused]] const auto written = ::write(STDERR_FILENO, message, sizeof message - 1);
    ::_exit(1); // an interrupted command
}

void onSignal(int number)
{
    // Only async-signal-safe work here; the event loop does the rest.
    if (number == SIGALRM || g_signalled) endAtOnce();
    g_signalled = 1;
    ::alarm(CleanEndSeconds);
    const char byte = 1;
    [[maybe_unused]] const auto written = ::write(g_signalPipe[1], &byte, 1);
}

bool installSignalHandlers()
{
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, g_signalPipe) != 0)
        return false;
    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    // A closed pipe on standard output is noticed by the writes instead.
    std::signal(SIGPIPE, SIG_IGN);
    for (const int number : {SIGINT, SIGTERM, SIGHUP, SIGALRM})
        if (::sigaction(number, &action, nullptr) != 0) return false;
    return true;
}

} // namespace

int main(int argc, char *argv[])
{
    // Before anything can block: a signal must end even the earliest wait.
    const bool signalsHandled = installSignalHandlers();
    QCoreApplication app(argc, argv);
    const QStringList arguments = QCoreApplication::arguments().mid(1);
    // The records commands talk to no instrument: a parser of their own.
    if (!arguments.isEmpty() && arguments.first() == u"records") {
        if (!signalsHandled) {
            cli::printError(QStringLiteral("cannot set up signal handling"));
            return cli::ExitUsage;
        }
        return cli::runRecords(arguments.mid(1));
    }
    const cli::Parse parse = cli::parseArguments(arguments);
    if (!parse.error.isEmpty()) {
        cli::printError(parse.error);
        return cli::ExitUsage;
    }
    const cli::Options &options = parse.options;
    if (options.help || options.version) {
        const QString text = options.help ? cli::helpText(options.command) +
                                                readmeLine(QStringLiteral("kx4720r-cli"))
                                          : cli::versionText();
        if (cli::print(text)) return cli::ExitDone;
        cli::printError(cli::outputErrorText());
        return cli::ExitUsage;
    }

    if (!signalsHandled) {
        cli::printError(QStringLiteral("cannot set up signal handling"));
        return cli::ExitUsage;
    }
    QSocketNotifier signalNotifier(g_signalPipe[0], QSocketNotifier::Read);
    const auto onSignal = [](auto &target) {
        char bytes[16];
        while (::read(g_signalPipe[0], bytes, sizeof bytes) > 0) {
        }
        target.cancel();
    };
    if (options.manyPorts()) {
        cli::Rack rack(options);
        QObject::connect(&signalNotifier, &QSocketNotifier::activated, &rack,
                         [&] { onSignal(rack); });
        return rack.run();
    }
    InstrumentSession session;
    QObject::connect(&signalNotifier, &QSocketNotifier::activated, &session,
                     [&] { onSignal(session); });
    return cli::runCommand(options, session);
}
