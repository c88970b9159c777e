// Program entry of kx4720r-cli, the KX4720R tool for production lines and
// scripts: the instrument core without a window. Ctrl-C (or SIGTERM) ends the
// command in progress cleanly: the wait is cut short, the port closed and
// released, and files are left with whole lines only.
#include "cli_commands.h"
#include "cli_options.h"
#include "common/readme_line.h"
#include "core/instrument_session.h"

#include <QCoreApplication>
#include <QSocketNotifier>

#include <csignal>
#include <cstdio>
#include <sys/socket.h>
#include <unistd.h>

namespace {

int g_signalPipe[2] = {-1, -1};

void onSignal(int)
{
    // Only async-signal-safe work here; the event loop does the rest.
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
    return ::sigaction(SIGINT, &action, nullptr) == 0 &&
           ::sigaction(SIGTERM, &action, nullptr) == 0;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const cli::Parse parse = cli::parseArguments(QCoreApplication::arguments().mid(1));
    if (!parse.error.isEmpty()) {
        cli::printError(parse.error);
        return cli::ExitUsage;
    }
    const cli::Options &options = parse.options;
    if (options.help) {
        const QString help =
            cli::helpText(options.command) + readmeLine(QStringLiteral("kx4720r-cli"));
        std::fputs(help.toLocal8Bit().constData(), stdout);
        return cli::ExitDone;
    }
    if (options.version) {
        std::fputs(cli::versionText().toLocal8Bit().constData(), stdout);
        return cli::ExitDone;
    }

    InstrumentSession session;
    if (!installSignalHandlers()) {
        cli::printError(QStringLiteral("cannot set up signal handling"));
        return cli::ExitUsage;
    }
    QSocketNotifier signalNotifier(g_signalPipe[0], QSocketNotifier::Read);
    QObject::connect(&signalNotifier, &QSocketNotifier::activated, &session, [&session] {
        char bytes[16];
        while (::read(g_signalPipe[0], bytes, sizeof bytes) > 0) {
        }
        session.cancel();
    });
    return cli::runCommand(options, session);
}
