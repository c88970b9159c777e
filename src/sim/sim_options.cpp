// Parsing and checking of the simulator's command line.
#include "sim/sim_options.h"

#include <QCommandLineParser>

#include <algorithm>
#include <array>
#include <limits>

namespace {

constexpr std::array OfferedBauds = {75,    110,   134,    150,    300,    600,    1200,
                                     1800,  2400,  4800,   7200,   9600,   14400,  19200,
                                     38400, 57600, 115200, 128000, 230400, 460800, 921600};

// An integer option within [low, high]; false with `error` set otherwise.
bool readInt(const QCommandLineParser &parser, const QString &name, qint64 low, qint64 high,
             qint64 &value, QString &error)
{
    bool ok = false;
    const QString text = parser.value(name);
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

} // namespace

bool isOfferedBaud(int baud)
{
    return std::find(OfferedBauds.begin(), OfferedBauds.end(), baud) != OfferedBauds.end();
}

InstrumentModel::Options SimOptions::modelOptions() const
{
    InstrumentModel::Options model;
    model.seed = seed;
    model.neverAcknowledge = faults.neverAck;
    model.inputCalibrated = !uncalibrated;
    model.outputCalibrated = !uncalibrated;
    return model;
}

SimOptionsParse parseSimOptions(const QStringList &arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("KX4720R instrument simulator: answers instrument requests on a pty or a "
                       "serial device as the instrument would, with faults on demand."));
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")},
                                  QStringLiteral("Show this help."));
    const QCommandLineOption version(QStringLiteral("version"),
                                     QStringLiteral("Show the version."));
    const QList<QCommandLineOption> options = {
        help,
        version,
        {QStringLiteral("drop-every"), QStringLiteral("Leave every Nth request unanswered."),
         QStringLiteral("N")},
        {QStringLiteral("corrupt-every"), QStringLiteral("Break the CRC of every Nth reply."),
         QStringLiteral("N")},
        {QStringLiteral("error-code"),
         QStringLiteral("Answer with result code C (0-255) instead of 0; every reply, or every "
                        "Nth with --error-every."),
         QStringLiteral("C")},
        {QStringLiteral("error-every"), QStringLiteral("Use --error-code on every Nth reply."),
         QStringLiteral("N")},
        {QStringLiteral("delay"), QStringLiteral("Wait MS milliseconds before each reply."),
         QStringLiteral("MS")},
        {QStringLiteral("split"), QStringLiteral("Send each reply in chunks of random sizes.")},
        {QStringLiteral("pace"),
         QStringLiteral("Take the line's time at the --baud speed, both ways (20 bit times per "
                        "frame byte).")},
        {QStringLiteral("never-ack"),
         QStringLiteral("Carry commands out, never acknowledge them.")},
        {QStringLiteral("tag"),
         QStringLiteral("Number the replies 1, 2, ... in the raw CH1 reading (for soak runs).")},
        {QStringLiteral("uncalibrated"),
         QStringLiteral("Start without input and output calibration.")},
        {QStringLiteral("seed"), QStringLiteral("Seed S of the noise and of the chunk sizes."),
         QStringLiteral("S")},
        {QStringLiteral("baud"), QStringLiteral("Line speed B (default 115200)."),
         QStringLiteral("B")},
        {QStringLiteral("link"), QStringLiteral("Make PATH a symbolic link to the pty."),
         QStringLiteral("PATH")},
        {QStringLiteral("port"), QStringLiteral("Use serial device DEVICE instead of a pty."),
         QStringLiteral("DEVICE")},
        {QStringLiteral("pull-at"),
         QStringLiteral("Pull the cable when request N arrives, before answering it: the pty "
                        "closes (the program sees a hang-up, as from a pulled USB adapter) and "
                        "a new one comes back at the same --link path after --replug-after. "
                        "SIGUSR1 pulls it at any moment."),
         QStringLiteral("N")},
        {QStringLiteral("replug-after"),
         QStringLiteral("How long a pulled cable stays out, in milliseconds (default 2000)."),
         QStringLiteral("MS")},
        {QStringLiteral("timing"),
         QStringLiteral("Write the moments of every exchange to FILE (microseconds of the "
                        "monotonic clock), for measuring the program."),
         QStringLiteral("FILE")},
    };
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
    constexpr qint64 IntMax = std::numeric_limits<int>::max();
    qint64 v = 0;
    QString &error = result.error;
    const auto count = [&](const QString &name, int &target) {
        if (!parser.isSet(name)) return true;
        if (!readInt(parser, name, 0, IntMax, v, error)) return false;
        target = int(v);
        return true;
    };
    if (!count(QStringLiteral("drop-every"), o.faults.dropEvery) ||
        !count(QStringLiteral("corrupt-every"), o.faults.corruptEvery) ||
        !count(QStringLiteral("error-every"), o.faults.errorEvery))
        return result;
    if (parser.isSet(QStringLiteral("error-code"))) {
        if (!readInt(parser, QStringLiteral("error-code"), 0, 255, v, error)) return result;
        o.faults.errorCode = quint8(v);
        if (!parser.isSet(QStringLiteral("error-every"))) o.faults.errorEvery = 1;
    } else if (parser.isSet(QStringLiteral("error-every"))) {
        error = QStringLiteral("--error-every needs --error-code");
        return result;
    }
    if (parser.isSet(QStringLiteral("delay"))) {
        if (!readInt(parser, QStringLiteral("delay"), 0, 600000, v, error)) return result;
        o.faults.delayMs = int(v);
    }
    o.faults.split = parser.isSet(QStringLiteral("split"));
    o.faults.pace = parser.isSet(QStringLiteral("pace"));
    o.faults.neverAck = parser.isSet(QStringLiteral("never-ack"));
    o.faults.tagReplies = parser.isSet(QStringLiteral("tag"));
    o.uncalibrated = parser.isSet(QStringLiteral("uncalibrated"));
    if (parser.isSet(QStringLiteral("seed"))) {
        if (!readInt(parser, QStringLiteral("seed"), 0, std::numeric_limits<std::uint32_t>::max(),
                     v, error))
            return result;
        o.seed = std::uint32_t(v);
    }
    if (parser.isSet(QStringLiteral("baud"))) {
        if (!readInt(parser, QStringLiteral("baud"), 75, 921600, v, error)) return result;
        if (!isOfferedBaud(int(v))) {
            error = QStringLiteral("--baud: %1 is not one of the link's speeds").arg(v);
            return result;
        }
        o.baud = int(v);
    }
    o.linkPath = parser.value(QStringLiteral("link"));
    o.portDevice = parser.value(QStringLiteral("port"));
    if (parser.isSet(QStringLiteral("link")) && o.linkPath.isEmpty()) {
        error = QStringLiteral("--link needs a path");
        return result;
    }
    if (parser.isSet(QStringLiteral("port")) && o.portDevice.isEmpty()) {
        error = QStringLiteral("--port needs a device");
        return result;
    }
    o.timingPath = parser.value(QStringLiteral("timing"));
    if (parser.isSet(QStringLiteral("timing")) && o.timingPath.isEmpty()) {
        error = QStringLiteral("--timing needs a file");
        return result;
    }
    if (parser.isSet(QStringLiteral("pull-at"))) {
        if (!readInt(parser, QStringLiteral("pull-at"), 1, IntMax, v, error)) return result;
        o.pullAt = quint64(v);
    }
    if (parser.isSet(QStringLiteral("replug-after"))) {
        if (!readInt(parser, QStringLiteral("replug-after"), 0, 3600000, v, error)) return result;
        o.replugAfterMs = int(v);
    }
    if ((o.pullAt != 0 || parser.isSet(QStringLiteral("replug-after"))) &&
        !o.portDevice.isEmpty()) {
        error = QStringLiteral("only the simulator's own pty can be pulled, not --port");
        return result;
    }
    if (!o.linkPath.isEmpty() && !o.portDevice.isEmpty()) {
        error = QStringLiteral("--link names the pty's path; it cannot go with --port");
        return result;
    }
    result.ok = true;
    return result;
}
