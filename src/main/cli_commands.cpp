// The commands: choosing the port, running the operation, and telling the
// result with its exit code.
#include "cli_commands.h"

#include "cli_output.h"
#include "cli_report.h"
#include "core/instrument_operations.h"
#include "core/number_text.h"
#include "core/readings_csv.h"
#include "core/settings_file.h"
#include "link/discardtext.h"
#include "ports/portinfo.h"
#include "ports/portprobe.h"

#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>

#include <cerrno>
#include <chrono>
#include <functional>

namespace cli {

namespace {

// The link answers its identification itself, at once: a short wait will do,
// and a unit that says nothing costs the rack little.
constexpr int StationNameTimeoutMs = 200;

// The failure's line, with what it leaves uncertain added.
int failure(const LinkFailure &f, const QString &addendum = {})
{
    printError(f.text() + addendum);
    if (f.portProblem()) return ExitPort;
    // No usable answer: none came, or only replies that could not be read.
    if (f.kind == LinkFailure::Kind::NoAnswer || f.kind == LinkFailure::Kind::BadAnswer)
        return ExitNoAnswer;
    return ExitRefused;
}

// The state of a port as the listing names it.
struct PortState {
    const char *id;
    const char *words;
};

PortState portState(const SerialStatus &status)
{
    if (status.ok()) return {"free", "free"};
    switch (status.kind) {
    case PortFailure::NoPermission:
        return {"noPermission", "no permission"};
    case PortFailure::Busy:
        return {"busy", "busy"};
    case PortFailure::NotFound:
        return {"missing", "missing"};
    default:
        return {"unavailable", "unavailable"};
    }
}

int listPorts(const Options &options)
{
    // The same probe, details and reasons as the link panel's list and tool tips.
    const DeviceHolders holders;
    PortProbe probe = probePorts(
        allPortCandidates(), [&](const QString &port) { return probePort(port, holders); },
        &holders);
    // The system console is never offered; listed, it says why.
    for (const QString &console : consolePorts())
        probe.outcomes.insert(console, {EBUSY,
                                        QStringLiteral("the system console (kernel messages "
                                                       "go there), not offered"),
                                        PortFailure::Other});
    QStringList ports = probe.outcomes.keys();
    std::sort(ports.begin(), ports.end());
    const PortCatalog catalog;

    QJsonArray list;
    QString text;
    for (const QString &port : ports) {
        const SerialStatus status = probe.outcomes.value(port);
        const PortState state = portState(status);
        QString group;
        for (const PortRefusal &refusal : probe.noPermission)
            if (refusal.port == port) group = refusal.group;
        std::optional<PortHolder> holder;
        for (const PortHolding &holding : probe.heldElsewhere)
            if (holding.port == port) holder = holding.holder;
        const PortDetails details = catalog.details(port);

        QJsonObject entry{{"path", port},
                          {"state", QLatin1String(state.id)},
                          {"kind", QLatin1String(details.kind.id)},
                          {"description", details.description()}};
        if (!status.ok()) entry.insert(QStringLiteral("reason"), status.message);
        if (!group.isEmpty()) entry.insert(QStringLiteral("group"), group);
        if (holder)
            entry.insert(QStringLiteral("holder"),
                         QJsonObject{{"pid", qint64(holder->pid)}, {"program", holder->program}});
        if (!details.byId.isEmpty()) entry.insert(QStringLiteral("byId"), details.byId);
        if (details.usb)
            entry.insert(QStringLiteral("usb"),
                         QJsonObject{{"vendorId", details.usb->vendorId},
                                     {"productId", details.usb->productId},
                                     {"manufacturer", details.usb->manufacturer},
                                     {"product", details.usb->product},
                                     {"serial", details.usb->serial}});
        list << entry;

        text += QStringLiteral("%1 %2 %3 %4")
                    .arg(port, -16)
                    .arg(QLatin1String(state.words), -14)
                    .arg(QLatin1String(details.kind.words), -22)
                    .arg(portRefusalText(status, group, holder))
                    .trimmed() +
                u'\n';
        // What is behind it, as the window's tool tip says it.
        for (const QString &line : details.lines())
            if (line != QLatin1String(details.kind.words))
                text += QStringLiteral("    ") + line + u'\n';
    }
    if (options.json)
        print(QString::fromUtf8(QJsonDocument(QJsonObject{{"ports", list}}).toJson()));
    else
        print(text.isEmpty() ? QStringLiteral("no serial ports found\n") : text);
    return ExitDone;
}

// The port to use: the one named, or the only free one.
std::optional<QString> choosePort(const Options &options, int &exitCode)
{
    if (!options.link.port.isEmpty()) return options.link.port;
    const PortProbe probe = probePorts(allPortCandidates(), tryOpenExclusively);
    if (probe.available.size() == 1) return probe.available.first();
    if (probe.available.isEmpty()) {
        QString message = QStringLiteral("no free serial port found");
        if (!probe.noPermission.isEmpty()) {
            QStringList refused;
            for (const PortRefusal &refusal : probe.noPermission)
                refused << QStringLiteral("%1 cannot be opened without permission: %2")
                               .arg(refusal.port, permissionRemedy(refusal.group));
            message += QStringLiteral("; ") + refused.join(QStringLiteral("; "));
        } else {
            message += QStringLiteral("; name one with -p PORT");
        }
        printError(message);
        exitCode = ExitPort;
        return std::nullopt;
    }
    printError(QStringLiteral("several free serial ports (%1); choose one with -p PORT")
                   .arg(probe.available.join(QStringLiteral(", "))));
    exitCode = ExitUsage;
    return std::nullopt;
}

int withInstrument(const Options &options, InstrumentSession &session,
                   const std::function<int(InstrumentOperations &)> &work)
{
    int exitCode = ExitDone;
    const std::optional<QString> port = choosePort(options, exitCode);
    if (!port) return exitCode;
    LinkSettings link = options.link;
    link.port = *port;
    if (!session.open(link)) return failure(session.failure());
    InstrumentOperations operations(session);
    exitCode = work(operations);
    if (options.askStationName) session.identify(StationNameTimeoutMs);
    session.close();
    return exitCode;
}

QString firmwareText(const InstrumentReply &reply)
{
    return QStringLiteral("%1-%2-%3")
        .arg(reply.FirmwareYear, 4, 10, QLatin1Char('0'))
        .arg(reply.FirmwareMonth, 2, 10, QLatin1Char('0'))
        .arg(reply.FirmwareDay, 2, 10, QLatin1Char('0'));
}

LinkCounts linkCounts(const InstrumentSession &session)
{
    return {session.lastTries(), session.engine().discardCounts()};
}

int status(const Options &options, InstrumentSession &session, InstrumentOperations &operations)
{
    const std::optional<InstrumentReply> reply = operations.readOnce();
    if (!reply) return failure(session.failure());
    if (options.json)
        print(QString::fromUtf8(
            QJsonDocument(statusJson(*reply, session.port(), linkCounts(session))).toJson()));
    else
        print(statusText(*reply, session.port(), linkCounts(session)));
    return ExitDone;
}

int read(const Options &options, InstrumentSession &session, InstrumentOperations &operations)
{
    const std::optional<InstrumentReply> reply = operations.readOnce();
    if (!reply) return failure(session.failure());
    const std::optional<InstrumentSettings> stored = InstrumentSettings::fromReply(*reply);
    if (!stored) {
        printError(QStringLiteral("the reply of the instrument on %1 holds no settings (input type "
                                  "code %2, output type code %3)")
                       .arg(session.port())
                       .arg(reply->InputType)
                       .arg(reply->OutputType));
        return ExitRefused;
    }
    if (const QList<SettingsProblem> problems = stored->problems(); !problems.isEmpty()) {
        printError(QStringLiteral("the instrument on %1 holds settings that are not valid: %2")
                       .arg(session.port(), problems.first().text(TextLanguage::English)));
        return ExitRefused;
    }
    const SettingsDocument document{
        *stored, SettingsSource{session.port(), session.lastReplyTime(), firmwareText(*reply)}};
    if (options.outputFile.isEmpty()) {
        print(QString::fromUtf8(*settingsFileText(document)));
        return ExitDone;
    }
    QString error;
    if (!writeSettingsFile(options.outputFile, document, error)) {
        printError(QStringLiteral("cannot write %1: %2; the settings read from %3 were not saved")
                       .arg(options.outputFile, error, session.port()));
        return ExitUsage;
    }
    return ExitDone;
}

} // namespace

std::optional<InstrumentSettings> settingsToWrite(const Options &options)
{
    if (!options.settingsFile.isEmpty()) {
        const SettingsFileRead read = readSettingsFile(options.settingsFile);
        if (!read.ok()) {
            printError(QStringLiteral("%1: %2").arg(options.settingsFile,
                                                    read.error.text(TextLanguage::English)));
            return std::nullopt;
        }
        return read.document->settings;
    }
    const InstrumentSettings settings{*options.input, *options.output};
    if (const QList<SettingsProblem> problems = settings.problems(); !problems.isEmpty()) {
        printError(problems.first().text(TextLanguage::English));
        return std::nullopt;
    }
    return settings;
}

namespace {

QString differenceText(const QStringList &fields, const InstrumentSettings &wanted,
                       const InstrumentSettings &stored)
{
    QStringList parts;
    for (const QString &field : fields) {
        const bool input = field.startsWith(u"input");
        const ScaleSetting &w = input ? wanted.input : wanted.output;
        const ScaleSetting &s = input ? stored.input : stored.output;
        QString have, want;
        if (field.endsWith(u".type")) {
            have = instrument::signalTypeName(s.type);
            want = instrument::signalTypeName(w.type);
        } else {
            const bool low = field.endsWith(u".low");
            have = numberAsGiven(low ? s.low : s.high);
            want = numberAsGiven(low ? w.low : w.high);
        }
        parts << QStringLiteral("%1 is %2, not %3").arg(field, have, want);
    }
    return parts.join(QStringLiteral("; "));
}

int write(const Options &options, InstrumentSession &session)
{
    const std::optional<InstrumentSettings> settings = settingsToWrite(options);
    if (!settings) return ExitUsage; // nothing is sent from settings that failed their check
    if (options.dryRun) {
        print(QStringLiteral("would write: %1\n").arg(settingsSummary(*settings)));
        return ExitDone;
    }
    return withInstrument(options, session, [&](InstrumentOperations &operations) {
        using Outcome = InstrumentOperations::WriteResult::Outcome;
        const auto result =
            operations.writeSettings(*settings, std::chrono::milliseconds(options.ackTimeoutMs));
        const QString port = session.port();
        // Once the request has left, a failure cannot tell whether the
        // instrument stored the settings before the exchange broke.
        const QString uncertain = QStringLiteral("; the instrument may or may not hold the new "
                                                 "settings (\"kx4720r-cli read -p %1\" shows "
                                                 "what it holds)")
                                      .arg(port);
        switch (result.outcome) {
        case Outcome::Confirmed:
            if (print(
                    QStringLiteral("written and read back: %1\n").arg(settingsSummary(*settings))))
                return int(ExitDone);
            printError(QStringLiteral("the instrument on %1 holds the new settings, but %2")
                           .arg(port, outputErrorText()));
            return int(ExitUsage);
        case Outcome::InvalidSettings:
            printError(QStringLiteral("%1; nothing was sent to %2")
                           .arg(result.problems.first().text(TextLanguage::English), port));
            return int(ExitUsage);
        case Outcome::NotAcknowledged:
            printError(
                QStringLiteral("the instrument on %1 did not acknowledge the settings within "
                               "%2 ms")
                    .arg(port)
                    .arg(options.ackTimeoutMs) +
                uncertain);
            return int(ExitRefused);
        case Outcome::ReadBackDiffers:
            printError(
                QStringLiteral("the instrument on %1 acknowledged, but holds other "
                               "settings: %2")
                    .arg(port, differenceText(result.differences, *settings, *result.stored)));
            return int(ExitRefused);
        case Outcome::NoSettingsInReply:
            printError(QStringLiteral("the instrument on %1 acknowledged, but its reply holds no "
                                      "settings to compare")
                           .arg(port) +
                       uncertain);
            return int(ExitRefused);
        case Outcome::LinkFailed:
            if (session.isCancelled()) {
                printError(QStringLiteral("interrupted before the instrument on %1 confirmed the "
                                          "settings")
                               .arg(port) +
                           uncertain);
                return int(ExitRefused);
            }
            return failure(session.failure(), uncertain);
        }
        return int(ExitRefused);
    });
}

int monitor(const Options &options, InstrumentSession &session)
{
    ReadingsCsvWriter csv;
    if (!options.csvFile.isEmpty() && !csv.open(options.csvFile)) {
        printError(csv.errorString());
        return ExitUsage;
    }
    return withInstrument(options, session, [&](InstrumentOperations &operations) {
        int replies = 0;
        int resent = 0;
        // The last line tells what the link went through over the whole run:
        // after Ctrl-C, a failure or the last of --count.
        const auto summary = [&] {
            const LinkCounts link = linkCounts(session);
            print(QStringLiteral("summary: %1 %2, %3 re-sent, %4\n")
                      .arg(replies)
                      .arg(replies == 1 ? QStringLiteral("reply") : QStringLiteral("replies"))
                      .arg(resent)
                      .arg(mb::discardSummaryText(link.discards)));
        };
        for (; options.count == 0 || replies < options.count; ++replies) {
            const std::optional<InstrumentReply> reply = operations.readOnce();
            if (!reply) {
                summary();
                // Ctrl-C is how monitoring normally ends.
                return session.isCancelled() ? int(ExitDone) : failure(session.failure());
            }
            resent += std::max(0, session.lastTries() - 1);
            const DecodedReading reading =
                DecodedReading::fromReply(*reply, session.lastReplyTime());
            const QString stopped =
                QStringLiteral("; monitoring of %1 stopped").arg(session.port());
            if (!print(monitorLine(reading, linkCounts(session)) + u'\n')) {
                // A reader that went away (`| head`) ends the monitoring as
                // Ctrl-C does; a full disk or a broken device is a failure.
                if (outputReaderGone()) return int(ExitDone);
                printError(outputErrorText() + stopped);
                return int(ExitUsage);
            }
            passReading(reading);
            // Monitoring mostly ends by Ctrl-C, when nothing more is asked.
            if (options.askStationName && replies == 0) session.identify(StationNameTimeoutMs);
            if (csv.isOpen() && !csv.append(reading)) {
                printError(csv.errorString() + stopped);
                return int(ExitUsage);
            }
        }
        summary();
        return int(ExitDone);
    });
}

int command(const Options &options, InstrumentSession &session, quint8 bit, const QString &what)
{
    return withInstrument(options, session, [&](InstrumentOperations &operations) {
        using Outcome = InstrumentOperations::CommandResult::Outcome;
        const auto result =
            operations.runCommand(bit, std::chrono::milliseconds(options.ackTimeoutMs));
        switch (result.outcome) {
        case Outcome::Acknowledged:
            print(QStringLiteral("%1: acknowledged by the instrument\n").arg(what));
            return int(ExitDone);
        case Outcome::NotAcknowledged:
            printError(
                QStringLiteral("the instrument on %1 did not acknowledge the %2 within %3 ms")
                    .arg(session.port(), what.toLower())
                    .arg(options.ackTimeoutMs));
            return int(ExitRefused);
        case Outcome::LinkFailed:
            return failure(session.failure());
        }
        return int(ExitRefused);
    });
}

int dispatch(const Options &options, InstrumentSession &session)
{
    switch (options.command) {
    case Command::None:
        return ExitUsage;
    case Command::Ports:
        return listPorts(options);
    case Command::Status:
        return withInstrument(options, session, [&](InstrumentOperations &operations) {
            return status(options, session, operations);
        });
    case Command::Read:
        return withInstrument(options, session, [&](InstrumentOperations &operations) {
            return read(options, session, operations);
        });
    case Command::Write:
        return write(options, session);
    case Command::Monitor:
        return monitor(options, session);
    case Command::Restart:
        return command(options, session, instrument::Command::Reset, QStringLiteral("Restart"));
    case Command::ClearTemperature:
        return command(options, session, instrument::Command::ClearTemperatureMinMax,
                       QStringLiteral("Temperature clear"));
    }
    return ExitUsage;
}

} // namespace

int runCommand(const Options &options, InstrumentSession &session)
{
    const int exitCode = dispatch(options, session);
    // A result that did not get out is no result; a failure already told
    // keeps its own code. A reader that went away ends monitoring quietly,
    // as Ctrl-C does.
    if (exitCode != ExitDone || outputError() == 0 ||
        (options.command == Command::Monitor && outputReaderGone()))
        return exitCode;
    const QString port = session.port();
    printError(outputErrorText() +
               (port.isEmpty() ? QString() : QStringLiteral(" (port %1)").arg(port)));
    return ExitUsage;
}

} // namespace cli
