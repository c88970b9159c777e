// Parsing and checking of the simulator's command line. The options that
// describe one instrument's behaviour are read by one function from either
// source: the command line, for every instrument, or one unit's part of
// --fault-on, on top of that.
#include "sim/sim_options.h"

#include <QCommandLineParser>
#include <QHash>

#include <algorithm>
#include <array>
#include <functional>
#include <limits>
#include <optional>

namespace {

constexpr std::array OfferedBauds = {75,    110,   134,    150,    300,    600,    1200,
                                     1800,  2400,  4800,   7200,   9600,   14400,  19200,
                                     38400, 57600, 115200, 128000, 230400, 460800, 921600};
constexpr qint64 IntMax = std::numeric_limits<int>::max();
constexpr int MaxUnits = 256;

// An option of one instrument's behaviour; without a value name it is a flag.
struct InstrumentOption {
    const char *name;
    const char *valueName;
    const char *description;
};
constexpr InstrumentOption InstrumentOptions[] = {
    {"drop-every", "N", "Leave every Nth request unanswered."},
    {"corrupt-every", "N", "Break the CRC of every Nth reply."},
    {"error-code", "C",
     "Answer with result code C (0-255) instead of 0; every reply, or every Nth with "
     "--error-every."},
    {"error-every", "N", "Use --error-code on every Nth reply."},
    {"delay", "MS", "Wait MS milliseconds before each reply."},
    {"split", nullptr, "Send each reply in chunks of random sizes."},
    {"pace", nullptr,
     "Take the line's time at the --baud speed, both ways (20 bit times per frame byte): the "
     "reply begins once the request has had its line time, and goes out in pieces of 1 ms of "
     "line time."},
    {"piece-ms", "N",
     "Hand each paced reply over in pieces of N ms of line time, each when the line has carried "
     "its last character: 1 as a UART or a low-latency USB adapter, 16 as a USB adapter's "
     "default latency timer, 0 character by character (0-1000; implies --pace)."},
    {"never-ack", nullptr, "Carry commands out, never acknowledge them."},
    {"never-answer", nullptr,
     "Read the line and answer nothing, not even the link's own commands (a unit without power "
     "or with a broken wire)."},
    {"refuse-write", nullptr,
     "Answer a request that writes the settings with result code 131 and store nothing; other "
     "requests are answered as usual."},
    {"tag", nullptr, "Number the replies 1, 2, ... in the raw CH1 reading (for soak runs)."},
    {"uncalibrated", nullptr, "Start without input and output calibration."},
    {"input-drift", "COUNTS",
     "Both input converters' offsets have drifted this many counts (-1000000 to 1000000) since "
     "the stored calibration: the input value reads off until the input is calibrated again."},
    {"pull-at", "N",
     "Pull the cable when request N arrives, before answering it: the pty closes (the program "
     "sees a hang-up, as from a pulled USB adapter) and a new one comes back at the same link "
     "path after --replug-after. SIGUSR1 pulls it (every unit's) at any moment."},
    {"replug-after", "MS", "How long a pulled cable stays out, in milliseconds (default 2000)."},
};

const InstrumentOption *instrumentOption(const QString &name)
{
    for (const InstrumentOption &option : InstrumentOptions)
        if (name == QLatin1String(option.name)) return &option;
    return nullptr;
}

// An option's text as given, or nothing when it was not given (a flag: empty).
using OptionValue = std::function<std::optional<QString>(const QString &name)>;

// An integer within [low, high]; false with `error` set otherwise.
bool readInt(const QString &name, const QString &text, qint64 low, qint64 high, qint64 &value,
             QString &error)
{
    bool ok = false;
    const qint64 v = text.toLongLong(&ok);
    if (!ok || v < low || v > high) {
        error = QStringLiteral("--%1: \"%2\" is not a whole number from %3 to %4")
                    .arg(name, text)
                    .arg(low)
                    .arg(high);
        return false;
    }
    value = v;
    return true;
}

// Applies what `given` holds of the instrument options to `o`.
bool applyInstrumentOptions(const OptionValue &given, SimOptions &o, QString &error)
{
    qint64 v = 0;
    // False only for a value given and refused; `apply` runs for a value given and taken.
    const auto number = [&](const char *name, qint64 low, qint64 high, auto apply) {
        const std::optional<QString> text = given(QLatin1String(name));
        if (!text) return true;
        if (!readInt(QLatin1String(name), *text, low, high, v, error)) return false;
        apply();
        return true;
    };
    const auto flag = [&](const char *name, bool &target) {
        if (given(QLatin1String(name))) target = true;
    };
    SimFaults &f = o.faults;
    const bool numbersTaken =
        number("drop-every", 0, IntMax, [&] { f.dropEvery = int(v); }) &&
        number("corrupt-every", 0, IntMax, [&] { f.corruptEvery = int(v); }) &&
        number("error-every", 0, IntMax, [&] { f.errorEvery = int(v); }) &&
        number("error-code", 0, 255,
               [&] {
                   f.errorCode = quint8(v);
                   // A code alone goes on every reply.
                   if (f.errorEvery == 0) f.errorEvery = 1;
               }) &&
        number("delay", 0, 600000, [&] { f.delayMs = int(v); }) &&
        number("piece-ms", 0, 1000,
               [&] {
                   f.pieceMs = int(v);
                   f.pace = true;
               }) &&
        number("pull-at", 1, IntMax, [&] { o.pullAt = quint64(v); }) &&
        number("replug-after", 0, 3600000, [&] { o.replugAfterMs = int(v); }) &&
        number("input-drift", -1000000, 1000000, [&] { o.inputDrift = qint32(v); });
    if (!numbersTaken) return false;
    flag("split", f.split);
    flag("pace", f.pace);
    flag("never-ack", f.neverAck);
    flag("never-answer", f.neverAnswer);
    flag("tag", f.tagReplies);
    flag("uncalibrated", o.uncalibrated);
    if (given(QStringLiteral("refuse-write"))) f.refuseWriteCode = RefusedWriteCode;

    if (f.errorEvery > 0 && !f.errorCode) {
        error = QStringLiteral("--error-every needs --error-code");
        return false;
    }
    if (f.split && f.pieceMs) {
        error = QStringLiteral("--split and --piece-ms cut the reply two ways; give one");
        return false;
    }
    return true;
}

// Unit numbers from "3", "2,5" or "0-3" (and mixes of them), each below `count`.
bool readUnits(const QString &text, int count, std::vector<bool> &chosen, QString &error)
{
    chosen.assign(std::size_t(count), false);
    for (const QString &part : text.split(QLatin1Char(','))) {
        const QStringList ends = part.split(QLatin1Char('-'));
        bool okLow = false, okHigh = false;
        const int low = ends.value(0).toInt(&okLow);
        const int high = ends.size() == 2 ? ends[1].toInt(&okHigh) : low;
        if (!okLow || (ends.size() == 2 && !okHigh) || ends.size() > 2 || low > high || low < 0 ||
            high >= count) {
            error = QStringLiteral("\"%1\" is not a unit number from 0 to %2, or a range of them")
                        .arg(part)
                        .arg(count - 1);
            return false;
        }
        for (int unit = low; unit <= high; ++unit)
            chosen[std::size_t(unit)] = true;
    }
    return true;
}

// One --fault-on: "UNITS:NAME[=VALUE][,NAME[=VALUE]...]", applied to the
// units it names.
bool applyFaultOn(const QString &faultText, std::vector<SimOptions> &units, QString &error)
{
    const qsizetype colon = faultText.indexOf(QLatin1Char(':'));
    std::vector<bool> chosen;
    if (colon < 0 || !readUnits(faultText.left(colon), int(units.size()), chosen, error)) {
        if (colon < 0) error = QStringLiteral("give the units, a colon and the faults");
        error = QStringLiteral("--fault-on %1: %2").arg(faultText, error);
        return false;
    }
    QHash<QString, QString> faults;
    for (const QString &item : faultText.mid(colon + 1).split(QLatin1Char(','))) {
        const qsizetype equals = item.indexOf(QLatin1Char('='));
        const QString name = equals < 0 ? item : item.left(equals);
        const InstrumentOption *option = instrumentOption(name);
        if (!option)
            error = QStringLiteral("\"%1\" is not a fault of one instrument").arg(name);
        else if (option->valueName && equals < 0)
            error = QStringLiteral("%1 needs a value (%1=%2)").arg(name, option->valueName);
        else if (!option->valueName && equals >= 0)
            error = QStringLiteral("%1 takes no value").arg(name);
        else if (faults.contains(name))
            error = QStringLiteral("%1 is given twice").arg(name);
        if (!error.isEmpty()) {
            error = QStringLiteral("--fault-on %1: %2").arg(faultText, error);
            return false;
        }
        faults.insert(name, equals < 0 ? QString() : item.mid(equals + 1));
    }
    const OptionValue given = [&](const QString &name) -> std::optional<QString> {
        const auto it = faults.constFind(name);
        return it == faults.cend() ? std::nullopt : std::optional<QString>(*it);
    };
    for (std::size_t unit = 0; unit < units.size(); ++unit) {
        if (!chosen[unit]) continue;
        if (!applyInstrumentOptions(given, units[unit], error)) {
            error = QStringLiteral("--fault-on %1: %2").arg(faultText, error);
            return false;
        }
    }
    return true;
}

} // namespace

bool isOfferedBaud(int baud)
{
    return std::find(OfferedBauds.begin(), OfferedBauds.end(), baud) != OfferedBauds.end();
}

QString nthSerialNumber(const QString &first, int n)
{
    qsizetype digits = first.size();
    while (digits > 0 && first[digits - 1].isDigit())
        --digits;
    if (digits == first.size()) return n == 0 ? first : first + QStringLiteral("-%1").arg(n);
    const QString number = first.mid(digits);
    return first.left(digits) + QStringLiteral("%1").arg(number.toLongLong() + n,
                                                         int(number.size()), 10, QLatin1Char('0'));
}

InstrumentModel::Options SimOptions::modelOptions() const
{
    InstrumentModel::Options model;
    model.seed = seed;
    model.neverAcknowledge = faults.neverAck;
    model.inputCalibrated = !uncalibrated;
    model.outputCalibrated = !uncalibrated;
    model.inputDrift = inputDrift;
    return model;
}

SimOptionsParse parseSimOptions(const QStringList &arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "KX4720R instrument simulator: answers instrument requests on a pty or a serial device as "
        "the instrument would, with faults on demand; with --count, a rack of instruments."));
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")},
                                  QStringLiteral("Show this help."));
    const QCommandLineOption version(QStringLiteral("version"),
                                     QStringLiteral("Show the version."));
    QList<QCommandLineOption> options = {help, version};
    for (const InstrumentOption &option : InstrumentOptions)
        options.append(option.valueName ? QCommandLineOption(QLatin1String(option.name),
                                                             QLatin1String(option.description),
                                                             QLatin1String(option.valueName))
                                        : QCommandLineOption(QLatin1String(option.name),
                                                             QLatin1String(option.description)));
    const auto valued = [](const char *name, const char *description, const char *value) {
        return QCommandLineOption(QLatin1String(name), QLatin1String(description),
                                  QLatin1String(value));
    };
    options << valued("seed", "Seed S of the noise and of the chunk sizes.", "S")
            << valued("baud", "Line speed B (default 115200).", "B")
            << valued("link", "Make PATH a symbolic link to the pty.", "PATH")
            << valued("port", "Use serial device DEVICE instead of a pty.", "DEVICE")
            << valued("timing",
                      "Write the moments of every exchange to FILE (microseconds of the "
                      "monotonic clock), for measuring the program.",
                      "FILE")
            << valued("serial",
                      "The instrument's serial number S, reported by the link's identification "
                      "command (default SIM00001); the units of a rack count on from it.",
                      "S")
            << valued("count",
                      "A rack of N instruments (1-256) in this process, each on a pty of its own, "
                      "with its own serial number and seed (--seed plus its number).",
                      "N")
            << valued("link-prefix",
                      "With --count: make PREFIX0, PREFIX1, ... symbolic links to the units' "
                      "ptys (rack/tty gives rack/tty0 ...).",
                      "PREFIX")
            << valued("fault-on",
                      "With --count: faults of some units only, on top of those given for all: "
                      "UNITS:FAULT[,FAULT...], UNITS a number, a list (2,5) or a range (0-3), "
                      "FAULT an option of this list without its dashes, a value after '=' "
                      "(3:never-answer, 5:refuse-write, 0-1:drop-every=10,delay=5). "
                      "Repeatable.",
                      "UNITS:FAULT");
    parser.addOptions(options);

    SimOptionsParse result;
    result.helpText = parser.helpText();
    if (!parser.parse(arguments)) {
        result.error = parser.errorText();
        return result;
    }
    if (!parser.positionalArguments().isEmpty()) {
        result.error =
            QStringLiteral("Unexpected argument: %1").arg(parser.positionalArguments().first());
        return result;
    }
    if (parser.isSet(help) || parser.isSet(version)) {
        result.helpRequested = parser.isSet(help);
        result.versionRequested = !result.helpRequested;
        result.ok = true;
        return result;
    }

    SimOptions &o = result.options;
    QString &error = result.error;
    const auto given = [&](const QString &name) -> std::optional<QString> {
        return parser.isSet(name) ? std::optional<QString>(parser.value(name)) : std::nullopt;
    };
    if (!applyInstrumentOptions(given, o, error)) return result;
    qint64 v = 0;
    if (parser.isSet(QStringLiteral("seed"))) {
        if (!readInt(QStringLiteral("seed"), parser.value(QStringLiteral("seed")), 0,
                     std::numeric_limits<std::uint32_t>::max(), v, error))
            return result;
        o.seed = std::uint32_t(v);
    }
    if (parser.isSet(QStringLiteral("baud"))) {
        if (!readInt(QStringLiteral("baud"), parser.value(QStringLiteral("baud")), 75, 921600, v,
                     error))
            return result;
        if (!isOfferedBaud(int(v))) {
            error = QStringLiteral("--baud: %1 is not one of the link's speeds").arg(v);
            return result;
        }
        o.baud = int(v);
    }
    // A path option given must name something.
    const auto path = [&](const char *name, QString &target) {
        target = parser.value(QLatin1String(name));
        if (!parser.isSet(QLatin1String(name)) || !target.isEmpty()) return true;
        error = QStringLiteral("--%1 needs a value").arg(QLatin1String(name));
        return false;
    };
    QString linkPrefix;
    if (!path("link", o.linkPath) || !path("port", o.portDevice) || !path("timing", o.timingPath) ||
        !path("serial", o.serialNumber) || !path("link-prefix", linkPrefix))
        return result;
    if (!parser.isSet(QStringLiteral("serial"))) o.serialNumber = SimOptions().serialNumber;
    if ((o.pullAt != 0 || parser.isSet(QStringLiteral("replug-after"))) &&
        !o.portDevice.isEmpty()) {
        error = QStringLiteral("only the simulator's own pty can be pulled, not --port");
        return result;
    }
    if (!o.linkPath.isEmpty() && !o.portDevice.isEmpty()) {
        error = QStringLiteral("--link names the pty's path; it cannot go with --port");
        return result;
    }

    if (!parser.isSet(QStringLiteral("count"))) {
        if (!linkPrefix.isEmpty() || parser.isSet(QStringLiteral("fault-on"))) {
            error = QStringLiteral("--link-prefix and --fault-on are for a rack: give --count");
            return result;
        }
        result.ok = true;
        return result;
    }
    if (!readInt(QStringLiteral("count"), parser.value(QStringLiteral("count")), 1, MaxUnits, v,
                 error))
        return result;
    if (!o.linkPath.isEmpty() || !o.portDevice.isEmpty() || !o.timingPath.isEmpty()) {
        error = QStringLiteral("a rack (--count) has a pty per unit: use --link-prefix, not "
                               "--link, --port or --timing");
        return result;
    }
    for (int unit = 0; unit < int(v); ++unit) {
        SimOptions u = o;
        if (!linkPrefix.isEmpty()) u.linkPath = linkPrefix + QString::number(unit);
        u.seed = o.seed + std::uint32_t(unit); // different noise on every unit
        u.serialNumber = nthSerialNumber(o.serialNumber, unit);
        result.units.push_back(u);
    }
    for (const QString &faults : parser.values(QStringLiteral("fault-on")))
        if (!applyFaultOn(faults, result.units, error)) {
            result.units.clear();
            return result;
        }
    result.ok = true;
    return result;
}
