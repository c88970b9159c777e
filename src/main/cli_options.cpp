// Parsing kx4720r-cli's command line, and its help.
#include "cli_options.h"

#include "cli_arguments.h"
#include "cli_rack.h"
#include "cli_records.h"

#include "link/mbtypes.h"

#include <algorithm>
#include <array>
#include <limits>

namespace cli {

namespace {

struct CommandInfo {
    Command command;
    const char *name;
    const char *usage;
    const char *summary;
    // Which options beyond the link's it takes.
    bool talks; // to the instrument: -p, -b, --tries, --timeout
    bool json;
    bool ackTimeout;
};

constexpr std::array<CommandInfo, 7> Commands{{
    {Command::Ports, "ports", "ports [--port PATH]... [--json]",
     "List the serial ports: free, busy or without permission (with the reason), and what "
     "kind of port each is.",
     false, true, false},
    {Command::Status, "status", "status [-p PORT] [--json]",
     "One exchange with the instrument: model, firmware, calibration date, working time, input "
     "and output type and range, values with units, temperature with its minimum and maximum, "
     "status flags.",
     true, true, false},
    {Command::Read, "read", "read [-p PORT] [-o FILE]",
     "The settings the instrument holds, as a settings file (*.kx4720r.json); on standard "
     "output without -o.",
     true, false, false},
    {Command::Write, "write",
     "write [-p PORT] FILE | --input current|voltage LOW HIGH --output current|voltage LOW "
     "HIGH [--dry-run]",
     "Write settings from a settings file or from the command line, wait for the instrument's "
     "acknowledgement and read them back; succeeds only if the instrument now holds them. "
     "Nothing is sent when the settings fail their check. --dry-run checks and shows them "
     "without opening a port.",
     true, false, true},
    {Command::Monitor, "monitor", "monitor [-p PORT] [--count N] [--csv FILE]",
     "One line per reply (time, input, output, scale position, temperature, status) until "
     "Ctrl-C or N replies; --csv also records each reply in FILE (a new file, or one this "
     "program recorded before in the same format).",
     true, false, false},
    {Command::Restart, "restart", "restart [-p PORT]",
     "Restart the instrument and wait for its acknowledgement.", true, false, true},
    {Command::ClearTemperature, "clear-temperature", "clear-temperature [-p PORT]",
     "Clear the instrument's recorded temperature minimum and maximum and wait for its "
     "acknowledgement.",
     true, false, true},
}};

const CommandInfo *findCommand(Command command)
{
    for (const CommandInfo &info : Commands)
        if (info.command == command) return &info;
    return nullptr;
}

const char *const LinkOptionsHelp =
    "  -p, --port PORT      the serial port (may be left out when exactly one is free);\n"
    "                       repeated for many instruments at once\n"
    "      --ports FILE     many instruments: their ports, one a line (# comments)\n"
    "      --all            many instruments: every free port whose instrument answers a\n"
    "                       short probe (the others are listed as skipped)\n"
    "  -b, --baud B         line speed in baud (default 115200)\n"
    "      --tries N        transmissions of a request before giving up (1-100, default 5)\n"
    "      --timeout MS     the instrument's time to answer each try, in ms (0-65535,\n"
    "                       default 1000)\n";

const char *const ExitCodesHelp =
    "Exit codes:\n"
    "  0  done\n"
    "  1  the instrument refused, did not acknowledge in time, or read back different "
    "settings\n"
    "  2  usage error, a bad settings file, or a file or output that cannot be written\n"
    "  3  port error: missing, busy, no permission, or lost; for records: the records database\n"
    "     cannot be reached or used\n"
    "  4  no answer from the instrument\n";

bool wholeNumber(const QString &text, qint64 low, qint64 high, qint64 &value)
{
    bool ok = false;
    value = text.toLongLong(&ok);
    return ok && value >= low && value <= high;
}

// A number as people type it on a command line: decimal point, optional sign.
std::optional<double> decimalNumber(const QString &text)
{
    bool ok = false;
    const double value = text.toDouble(&ok); // C locale: "1.5", never "1,5"
    if (!ok) return std::nullopt;
    return value;
}

class Parser {
public:
    explicit Parser(const QStringList &arguments)
        : m_args(arguments), m_cursor(arguments, m_parse.error)
    {
    }

    Parse run()
    {
        step();
        if (!m_parse.error.isEmpty()) m_parse.options.help = m_parse.options.version = false;
        return m_parse;
    }

private:
    void step()
    {
        Options &o = m_parse.options;
        if (m_args.isEmpty()) {
            m_parse.error = QStringLiteral("no command given (see kx4720r-cli --help)");
            return;
        }
        const QString first = m_args.first();
        if (first == u"--help" || first == u"-h") {
            o.help = true;
            return;
        }
        if (first == u"--version") {
            o.version = true;
            return;
        }
        for (const CommandInfo &info : Commands)
            if (first == QLatin1String(info.name)) m_info = &info;
        if (!m_info) {
            m_parse.error =
                QStringLiteral("unknown command \"%1\" (see kx4720r-cli --help)").arg(first);
            return;
        }
        o.command = m_info->command;
        o.commandName = first;
        m_cursor.setCommand(first);
        while (m_cursor.next())
            option();
        if (m_cursor.failed() || o.help || o.version) return;
        finish();
    }

    std::optional<QString> value() { return m_cursor.value(); }
    void usage(const QString &message) { m_cursor.usage(message); }
    void once(const QString &option) { m_cursor.once(option); }

    void option()
    {
        Options &o = m_parse.options;
        const QString &argument = m_cursor.argument();
        const QString &name = m_cursor.name();
        const bool inlineValue = m_cursor.hasInlineValue();
        const bool link = m_info->talks;
        qint64 n = 0;
        if (name == u"--help" || name == u"-h") {
            o.help = true;
        } else if (name == u"--version") {
            o.version = true;
        } else if (link && (name == u"-p" || name == u"--port")) {
            if (const auto v = value()) {
                if (v->isEmpty()) usage(QStringLiteral("%1 needs a port").arg(name));
                // The same port twice would be opened twice: the second busy.
                if (o.ports.contains(*v))
                    usage(QStringLiteral("the port %1 is given more than once").arg(*v));
                o.ports << *v;
                if (o.link.port.isEmpty()) o.link.port = *v;
            }
        } else if (link && name == u"--ports") {
            once(QStringLiteral("--ports"));
            if (const auto v = value()) o.portsFile = fileName(name, *v);
        } else if (link && name == u"--all" && !inlineValue) {
            once(QStringLiteral("--all"));
            o.allPorts = true;
        } else if (link && o.command != Command::Monitor && name == u"--stop-on-first-failure" &&
                   !inlineValue) {
            once(QStringLiteral("--stop-on-first-failure"));
            o.stopOnFirstFailure = true;
        } else if (link && !m_info->json && o.command != Command::Monitor && name == u"--json" &&
                   !inlineValue) {
            // Without one port, every command tells its instruments as JSON lines.
            once(QStringLiteral("--json"));
            o.json = true;
            m_jsonForMany = true;
        } else if (link && (name == u"-b" || name == u"--baud")) {
            once(QStringLiteral("-b/--baud"));
            if (const auto v = value()) {
                const bool offered =
                    wholeNumber(*v, 1, 921600, n) &&
                    std::any_of(kMBBaudTable.begin(), kMBBaudTable.end(),
                                [&](const MBBaudEntry &e) { return e.speed == quint32(n); });
                if (!offered)
                    usage(QStringLiteral("%1 \"%2\" is not one of the link's speeds (75 ... "
                                         "921600 baud, for example 9600 or 115200)")
                              .arg(name, *v));
                o.link.baud = quint32(n);
            }
        } else if (link && name == u"--tries") {
            once(QStringLiteral("--tries"));
            if (const auto v = value()) {
                if (!wholeNumber(*v, 1, 100, n))
                    usage(QStringLiteral("--tries \"%1\" is not a whole number from 1 to 100")
                              .arg(*v));
                o.link.tries = int(n);
            }
        } else if (link && name == u"--timeout") {
            once(QStringLiteral("--timeout"));
            if (const auto v = value()) {
                if (!wholeNumber(*v, 0, 65535, n))
                    usage(QStringLiteral("--timeout \"%1\" is not a whole number of ms from 0 to "
                                         "65535")
                              .arg(*v));
                o.link.timeoutMs = int(n);
            }
        } else if (o.command == Command::Ports && name == u"--port") {
            // Listed as well; the probe takes these from the command line.
            value();
        } else if (m_info->ackTimeout && name == u"--ack-timeout") {
            once(QStringLiteral("--ack-timeout"));
            if (const auto v = value()) {
                if (!wholeNumber(*v, 1, 3600000, n))
                    usage(QStringLiteral("--ack-timeout \"%1\" is not a whole number of ms from 1 "
                                         "to 3600000")
                              .arg(*v));
                o.ackTimeoutMs = int(n);
            }
        } else if (m_info->json && name == u"--json" && !inlineValue) {
            once(QStringLiteral("--json"));
            o.json = true;
        } else if (o.command == Command::Read && name == u"-o") {
            once(QStringLiteral("-o"));
            if (const auto v = value()) o.outputFile = fileName(name, *v);
        } else if (o.command == Command::Monitor && name == u"--count") {
            once(QStringLiteral("--count"));
            if (const auto v = value()) {
                if (!wholeNumber(*v, 1, std::numeric_limits<int>::max(), n))
                    usage(QStringLiteral("--count \"%1\" is not a whole number from 1").arg(*v));
                o.count = int(n);
            }
        } else if (o.command == Command::Monitor && name == u"--csv") {
            once(QStringLiteral("--csv"));
            if (const auto v = value()) o.csvFile = fileName(name, *v);
        } else if (o.command == Command::Monitor && name == u"--csv-per-port") {
            once(QStringLiteral("--csv-per-port"));
            if (const auto v = value()) o.csvDirectory = fileName(name, *v);
        } else if (o.command == Command::Write && name == u"--dry-run" && !inlineValue) {
            once(QStringLiteral("--dry-run"));
            o.dryRun = true;
        } else if (o.command == Command::Write && (name == u"--input" || name == u"--output")) {
            once(name);
            scaleOption(name, name == u"--input" ? o.input : o.output);
        } else if (o.command == Command::Write && !argument.startsWith(u'-')) {
            if (!o.settingsFile.isEmpty())
                usage(QStringLiteral("one settings file at a time (\"%1\" and \"%2\")")
                          .arg(o.settingsFile, argument));
            o.settingsFile = argument;
        } else if (argument.startsWith(u'-')) {
            usage(QStringLiteral("unknown option %1").arg(name));
        } else {
            usage(QStringLiteral("unexpected argument \"%1\"").arg(argument));
        }
    }

    QString fileName(const QString &name, const QString &value)
    {
        if (value.isEmpty()) usage(QStringLiteral("%1 needs a file name").arg(name));
        return value;
    }

    // --input TYPE LOW HIGH, three values.
    void scaleOption(const QString &name, std::optional<ScaleSetting> &target)
    {
        const std::optional<QStringList> given = m_cursor.values(3);
        if (!given) {
            usage(QStringLiteral("%1 needs a type (current or voltage), a low and a high value")
                      .arg(name));
            return;
        }
        const QString &typeName = given->at(0);
        const QString &lowText = given->at(1);
        const QString &highText = given->at(2);
        const auto type = instrument::signalTypeFromName(typeName);
        if (!type) {
            usage(QStringLiteral("%1: \"%2\" is no type; current or voltage").arg(name, typeName));
            return;
        }
        const auto low = decimalNumber(lowText);
        const auto high = decimalNumber(highText);
        if (!low || !high) {
            usage(QStringLiteral("%1: \"%2\" is no number").arg(name, !low ? lowText : highText));
            return;
        }
        target = ScaleSetting{*type, *low, *high};
    }

    void finish()
    {
        Options &o = m_parse.options;
        if (!m_info->talks) return;
        manyPorts(o);
        if (o.command != Command::Write) return;
        const bool fromArguments = o.input || o.output;
        if (!o.settingsFile.isEmpty() && fromArguments)
            usage(QStringLiteral("give either a settings file or --input and --output"));
        else if (fromArguments && !(o.input && o.output))
            usage(QStringLiteral("--input and --output go together"));
        else if (o.settingsFile.isEmpty() && !fromArguments)
            usage(QStringLiteral("no settings given: a settings file, or --input and --output"));
    }

    // The options of many instruments at once, and the ports they name.
    void manyPorts(Options &o)
    {
        const bool listed = o.ports.size() > 1 || !o.portsFile.isEmpty();
        if (o.allPorts && (listed || !o.ports.isEmpty()))
            usage(QStringLiteral("--all takes every free port: give no -p or --ports with it"));
        else if (!o.portsFile.isEmpty() && !o.ports.isEmpty())
            usage(QStringLiteral("give the ports either with -p or in --ports"));
        if (m_cursor.failed()) return;
        if (!o.portsFile.isEmpty()) {
            QString error;
            const std::optional<QStringList> ports = readPortList(o.portsFile, error);
            if (!ports) {
                usage(error);
                return;
            }
            o.ports = *ports;
            o.link.port = o.ports.first();
        }
        const QString many = QStringLiteral("with many ports");
        if (o.manyPorts()) {
            if (!o.outputFile.isEmpty())
                usage(QStringLiteral("-o writes one instrument's settings: %1, use --json")
                          .arg(many));
            else if (!o.csvFile.isEmpty() && !o.csvDirectory.isEmpty())
                usage(QStringLiteral("give either --csv or --csv-per-port"));
            return;
        }
        const QString one = QStringLiteral("%1 is for many ports (-p repeated, --ports or --all)");
        if (m_jsonForMany)
            usage(one.arg(QStringLiteral("--json")));
        else if (o.stopOnFirstFailure)
            usage(one.arg(QStringLiteral("--stop-on-first-failure")));
        else if (!o.csvDirectory.isEmpty())
            usage(one.arg(QStringLiteral("--csv-per-port")));
    }

    const QStringList &m_args;
    Parse m_parse;
    ArgumentCursor m_cursor;
    bool m_jsonForMany = false;
    const CommandInfo *m_info = nullptr;
};

} // namespace

Parse parseArguments(const QStringList &arguments)
{
    return Parser(arguments).run();
}

QString helpText(Command command)
{
    const CommandInfo *info = findCommand(command);
    QString text;
    if (!info) {
        text = QStringLiteral(
            "Usage: kx4720r-cli COMMAND [OPTIONS]\n"
            "Configures and reads the KX4720R DC signal converter over a serial line, without a "
            "window.\n\nCommands:\n");
        for (const CommandInfo &c : Commands)
            text += QStringLiteral("  %1\n").arg(QLatin1String(c.usage));
        text += recordsUsage();
        text += QStringLiteral("\nOptions of the commands that talk to the instrument:\n") +
                QLatin1String(LinkOptionsHelp) +
                QStringLiteral("  -h, --help           this text; COMMAND --help for a command's "
                               "own\n"
                               "      --version        the program's version\n\n");
        return text + QLatin1String(ExitCodesHelp);
    }
    text = QStringLiteral("Usage: kx4720r-cli %1\n%2\n\nOptions:\n")
               .arg(QLatin1String(info->usage), QLatin1String(info->summary));
    if (info->talks) text += QLatin1String(LinkOptionsHelp);
    if (info->json)
        text += QStringLiteral("      --json           machine-readable output (see the README)\n");
    if (info->talks) {
        text += QStringLiteral("With many ports, every instrument is served at once: one line per "
                               "instrument\n(--json: one JSON object per line, with its port), a "
                               "summary naming the ports\nthat failed, and the worst of their exit "
                               "codes (0 < 1 < 4 < 3 < 2).\n");
        if (!info->json && command != Command::Monitor)
            text += QStringLiteral("      --json           with many ports: JSON Lines\n");
        if (command != Command::Monitor)
            text += QStringLiteral(
                "      --stop-on-first-failure  with many ports: after the first failure,\n"
                "                       the others are interrupted (a write under way may or\n"
                "                       may not be stored: each says so)\n");
    }
    if (info->ackTimeout)
        text += QStringLiteral("      --ack-timeout MS how long to wait for the acknowledgement "
                               "(default 5000)\n");
    if (command == Command::Ports)
        text += QStringLiteral("      --port PATH      list PATH as well (repeatable; so does "
                               "KX4720R_PORTS)\n");
    if (command == Command::Read)
        text += QStringLiteral("  -o FILE              write the settings file to FILE\n");
    if (command == Command::Monitor)
        text += QStringLiteral("      --count N        stop after N replies\n"
                               "      --csv FILE       record every reply in FILE (with many "
                               "ports: a port column)\n"
                               "      --csv-per-port DIR  with many ports: one file per port in "
                               "DIR\n");
    if (command == Command::Write)
        text += QStringLiteral("      --input TYPE LOW HIGH   input type (current or voltage) "
                               "and scale\n"
                               "      --output TYPE LOW HIGH  output type and scale\n"
                               "      --dry-run        check and show, send nothing\n");
    text += QStringLiteral("  -h, --help           this text\n      --version        the "
                           "program's version\n\n");
    return text + QLatin1String(ExitCodesHelp);
}

QString versionText()
{
    return QStringLiteral("kx4720r-cli %1\n").arg(QStringLiteral(KX_VERSION));
}

} // namespace cli
