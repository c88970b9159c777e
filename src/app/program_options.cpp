// The command line of kx4720r-config: options and usage text.
#include "app/program_options.h"

#include "app/commandline.h"

namespace {

ProgramOptions refused(const QString &error)
{
    ProgramOptions options;
    options.action = ProgramOptions::Action::UsageError;
    options.error = error;
    return options;
}

} // namespace

ProgramOptions parseProgramOptions(const QStringList &parameters)
{
    ProgramOptions options;
    for (qsizetype i = 0; i < parameters.size(); ++i) {
        const QString &parameter = parameters[i];
        if (parameter == QLatin1String("--")) break;
        if (parameter == QLatin1String("--help") || parameter == QLatin1String("-h")) {
            options.action = ProgramOptions::Action::Help;
            return options;
        }
        if (parameter == QLatin1String("--version")) {
            options.action = ProgramOptions::Action::Version;
            return options;
        }
        if (parameter == QLatin1String("--open")) {
            options.openPort = true;
        } else if (parameter == QLatin1String("--port")) {
            // The next parameter is the path, whatever it looks like, as the
            // port probe reads it.
            if (++i >= parameters.size() || parameters[i].isEmpty())
                return refused(QStringLiteral("option --port needs a path"));
        } else if (parameter.startsWith(QLatin1String("--port="))) {
            if (parameter.size() == 7) return refused(QStringLiteral("option --port needs a path"));
        } else if (parameter.startsWith(QLatin1String("--"))) {
            return refused(QStringLiteral("unknown option %1").arg(parameter));
        }
    }
    return options;
}

QString programUsage()
{
    return QStringLiteral(
               "Usage: kx4720r-config [%1] [--port PATH]... [--open]\n"
               "Configures and calibrates the KX4720R DC signal converter over a serial line.\n"
               "\n"
               "  %1         the factory-level view, with the calibration, output check\n"
               "                  and test pages (any letter case, any position)\n"
               "  --port PATH     offer the serial port PATH in the port list, first and\n"
               "                  preselected unless the last used port is listed (repeatable)\n"
               "  --open          press Open once the port list has been filled\n"
               "  -h, --help      show this help and exit\n"
               "  --version       show the version and exit\n"
               "\n"
               "KX4720R_PORTS, a colon-separated list, offers ports as --port does.\n"
               "Qt's own options (-platform, -style, ...) are passed on with one dash.\n"
               "The language, the last used port and the time of the last run are kept in\n"
               "kx4720r-config.ini beside the program, or in the user's configuration folder\n"
               "(~/.config) when the program's folder is not writable.\n")
        .arg(kFactoryAccessSwitch);
}
