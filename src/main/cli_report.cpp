// Texts and JSON of the instrument's state.
#include "cli_report.h"

#include "core/instrument_units.h"
#include "core/number_text.h"
#include "link/discardtext.h"

#include <QJsonArray>

#include <array>

namespace cli {

namespace {

QString date(int year, int month, int day)
{
    return QStringLiteral("%1-%2-%3")
        .arg(year, 4, 10, QLatin1Char('0'))
        .arg(month, 2, 10, QLatin1Char('0'))
        .arg(day, 2, 10, QLatin1Char('0'));
}

QString firmware(const InstrumentReply &reply)
{
    return date(reply.FirmwareYear, reply.FirmwareMonth, reply.FirmwareDay);
}

// Six significant digits: as much as the instrument's readings carry.
QString shown(double value)
{
    return QString::number(value, 'g', 6);
}

// A measured value for JSON: the number as the instrument sent it, or null.
QJsonValue measured(const std::optional<double> &value)
{
    if (!value) return QJsonValue::Null;
    const std::optional<double> clean = singlePrecisionValue(*value);
    return clean ? QJsonValue(*clean) : QJsonValue(QJsonValue::Null);
}

QJsonValue measured(double value)
{
    return measured(std::optional<double>(value));
}

QJsonValue typeName(int code)
{
    const auto type = instrument::signalTypeFromCode(code);
    return type ? QJsonValue(instrument::signalTypeName(*type)) : QJsonValue(QJsonValue::Null);
}

QJsonValue scaleJson(int typeCode, double low, double high)
{
    const auto type = instrument::signalTypeFromCode(typeCode);
    return QJsonObject{
        {"low", measured(low)},
        {"high", measured(high)},
        {"unit", type ? QJsonValue(instrument::unitOf(*type)) : QJsonValue(QJsonValue::Null)}};
}

QString typeText(int code)
{
    const auto type = instrument::signalTypeFromCode(code);
    return type ? instrument::signalTypeName(*type) : QStringLiteral("unknown type %1").arg(code);
}

QString scaleText(int typeCode, double low, double high)
{
    const auto type = instrument::signalTypeFromCode(typeCode);
    return QStringLiteral("%1 ... %2 %3")
        .arg(shown(low), shown(high), type ? instrument::unitOf(*type) : QString());
}

QString valueText(const std::optional<double> &value, const QString &unit, bool calibrated)
{
    if (!calibrated) return QStringLiteral("uncalibrated");
    if (!value) return QStringLiteral("unknown");
    return shown(*value) + u' ' + unit;
}

// The JSON name of each reason, in the link's order of reasons.
const char *discardName(mb::DiscardReason reason)
{
    switch (reason) {
    case mb::DiscardReason::BadCrc:
        return "badCrc";
    case mb::DiscardReason::ForeignFrame:
        return "foreignFrame";
    case mb::DiscardReason::Overlong:
        return "overlong";
    case mb::DiscardReason::StartInFrame:
        return "startInFrame";
    case mb::DiscardReason::OutsideFrame:
        return "outsideFrame";
    case mb::DiscardReason::LateReply:
        return "lateReply";
    case mb::DiscardReason::NotDecodable:
        break;
    }
    return "notDecodable";
}

} // namespace

QJsonObject discardedJson(const mb::MBDiscardCounts &discards)
{
    QJsonObject object{{"total", qint64(discards.total())},
                       {"frames", qint64(discards.frames())},
                       {"characters", qint64(discards.characters())}};
    for (const mb::DiscardReason reason : mb::kDiscardReasons)
        object.insert(QLatin1String(discardName(reason)), qint64(discards[reason]));
    return object;
}

QStringList statusFlagWords(quint8 statusBits)
{
    QStringList words;
    for (const instrument::StatusFlag &flag : instrument::statusFlagTable())
        if (statusBits & flag.bit) words << flag.words.toString();
    return words;
}

QStringList statusFlagNames(quint8 statusBits)
{
    QStringList names;
    for (const instrument::StatusFlag &flag : instrument::statusFlagTable())
        if (statusBits & flag.bit) names << flag.name.toString();
    return names;
}

QString statusText(const InstrumentReply &reply, const QString &port, const LinkCounts &link)
{
    using namespace instrument;
    const DecodedReading reading = DecodedReading::fromReply(reply);
    const bool inputCalibrated = !(reply.StatusBits & Status::InputNotCalibrated);
    const bool outputCalibrated = !(reply.StatusBits & Status::OutputNotCalibrated);
    const InputRangeUnits *range = inputRangeUnits(reply.InputRange);
    const OutputRangeUnits *outputRange = outputRangeUnits(reply.OutputType);

    const auto row = [](const char *label, const QString &text) {
        return QStringLiteral("%1 %2\n").arg(QLatin1String(label), -16).arg(text);
    };
    QString text;
    text += row("Model", QStringLiteral("KX4720R"));
    text += row("Port", port);
    text += row("Firmware", firmware(reply));
    text += row("Calibrated", reply.hasCalibrationDate()
                                  ? date(reply.CalYear, reply.CalMonth, reply.CalDay)
                                  : QStringLiteral("no calibration date"));
    text += row("Working time", QStringLiteral("%1 h %2 min")
                                    .arg(reply.OperatingMinutes / 60)
                                    .arg(reply.OperatingMinutes % 60));
    text +=
        row("Input",
            typeText(reply.InputType) + QStringLiteral(", range ") +
                (range ? QStringLiteral("-%1 ... +%1 %2").arg(shown(range->fullScale), range->unit)
                       : QStringLiteral("unknown (%1)").arg(reply.InputRange)));
    text += row("Input value", valueText(reading.inputValue, reading.inputUnit, inputCalibrated));
    text += row("Input scale", scaleText(reply.InputType, reply.InputLow, reply.InputHigh));
    text += row("Output", typeText(reply.OutputType) + QStringLiteral(", range ") +
                              (outputRange ? QStringLiteral("%1 ... +%2 %3")
                                                 .arg(shown(outputRange->low),
                                                      shown(outputRange->high), outputRange->unit)
                                           : QStringLiteral("unknown")));
    text +=
        row("Output value", valueText(reading.outputValue, reading.outputUnit, outputCalibrated));
    text += row("Output scale", scaleText(reply.OutputType, reply.OutputLow, reply.OutputHigh));
    text += row("Scale position",
                QString::number(reply.ScaleRatio * 100.0, 'f', 1) + QStringLiteral(" %"));
    text += row("Temperature",
                QStringLiteral("%1 (min %2 °C, max %3 °C)")
                    .arg(reading.temperature
                             ? QString::number(*reading.temperature, 'f', 1) + QStringLiteral(" °C")
                             : QStringLiteral("no reading"),
                         QString::number(reply.TemperatureMin, 'f', 1),
                         QString::number(reply.TemperatureMax, 'f', 1)));
    const QStringList flags = statusFlagWords(reply.StatusBits);
    text +=
        row("Status", flags.isEmpty() ? QStringLiteral("ok") : flags.join(QStringLiteral(", ")));
    text += row("Link", QStringLiteral("%1 %2, %3")
                            .arg(link.tries)
                            .arg(link.tries == 1 ? QStringLiteral("try") : QStringLiteral("tries"),
                                 mb::discardSummaryText(link.discards)));
    return text;
}

QJsonObject statusJson(const InstrumentReply &reply, const QString &port, const LinkCounts &link)
{
    using namespace instrument;
    const DecodedReading reading = DecodedReading::fromReply(reply);
    const InputRangeUnits *range = inputRangeUnits(reply.InputRange);
    const OutputRangeUnits *outputRange = outputRangeUnits(reply.OutputType);

    QJsonObject input{
        {"type", typeName(reply.InputType)},
        {"rangeIndex", reply.InputRange},
        {"range", range ? QJsonValue(QJsonObject{{"low", -range->fullScale},
                                                 {"high", range->fullScale},
                                                 {"unit", range->unit.toString()}})
                        : QJsonValue(QJsonValue::Null)},
        {"calibrated", !(reply.StatusBits & Status::InputNotCalibrated)},
        {"value", measured(reading.inputValue)},
        {"unit", reading.inputUnit.isEmpty() ? QJsonValue(QJsonValue::Null)
                                             : QJsonValue(reading.inputUnit)},
        {"scale", scaleJson(reply.InputType, reply.InputLow, reply.InputHigh)},
    };
    QJsonObject output{
        {"type", typeName(reply.OutputType)},
        {"range", outputRange ? QJsonValue(QJsonObject{{"low", outputRange->low},
                                                       {"high", outputRange->high},
                                                       {"unit", outputRange->unit.toString()}})
                              : QJsonValue(QJsonValue::Null)},
        {"calibrated", !(reply.StatusBits & Status::OutputNotCalibrated)},
        {"value", measured(reading.outputValue)},
        {"unit", reading.outputUnit.isEmpty() ? QJsonValue(QJsonValue::Null)
                                              : QJsonValue(reading.outputUnit)},
        {"scale", scaleJson(reply.OutputType, reply.OutputLow, reply.OutputHigh)},
    };
    return QJsonObject{
        {"port", port},
        {"tries", link.tries},
        {"discarded", discardedJson(link.discards)},
        {"model", QStringLiteral("KX4720R")},
        {"firmware", firmware(reply)},
        {"calibrationDate", reply.hasCalibrationDate()
                                ? QJsonValue(date(reply.CalYear, reply.CalMonth, reply.CalDay))
                                : QJsonValue(QJsonValue::Null)},
        {"workingMinutes", qint64(reply.OperatingMinutes)},
        {"input", input},
        {"output", output},
        {"scaleRatio", measured(reply.ScaleRatio)},
        {"temperature", QJsonObject{{"value", measured(reading.temperature)},
                                    {"min", measured(reply.TemperatureMin)},
                                    {"max", measured(reply.TemperatureMax)},
                                    {"unit", QStringLiteral("°C")}}},
        {"status",
         QJsonObject{{"bits", reply.StatusBits},
                     {"flags", QJsonArray::fromStringList(statusFlagNames(reply.StatusBits))}}},
        {"converters", QJsonObject{{"ch0", QJsonObject{{"raw", reply.ADValueCH0},
                                                       {"averaged", reply.ADAveragedCH0},
                                                       {"gain", reply.GainCH0}}},
                                   {"ch1", QJsonObject{{"raw", reply.ADValueCH1},
                                                       {"averaged", reply.ADAveragedCH1},
                                                       {"gain", reply.GainCH1},
                                                       {"divider", reply.DividerCH1}}},
                                   {"samplesPerSecond", reply.ADSamplesPerSecond}}},
        {"pwm", reply.PWMValue},
        {"errorNumber", reply.ErrorNumber},
    };
}

QString monitorLine(const DecodedReading &reading, const LinkCounts &link)
{
    const bool inputCalibrated = !(reading.statusBits & instrument::Status::InputNotCalibrated);
    const bool outputCalibrated = !(reading.statusBits & instrument::Status::OutputNotCalibrated);
    const QStringList flags = statusFlagWords(reading.statusBits);
    const QString tries = link.tries > 1 ? QStringLiteral("  tries %1").arg(link.tries) : QString();
    return QStringLiteral("%1  input %2  output %3  ratio %4  %5  %6%7  %8")
        .arg(reading.time.toString(QStringLiteral("yyyy-MM-dd'T'HH:mm:ss.zzz")),
             valueText(reading.inputValue, reading.inputUnit, inputCalibrated),
             valueText(reading.outputValue, reading.outputUnit, outputCalibrated),
             QString::number(reading.scaleRatio, 'f', 3),
             reading.temperature
                 ? QString::number(*reading.temperature, 'f', 1) + QStringLiteral(" °C")
                 : QStringLiteral("--.- °C"),
             flags.isEmpty() ? QStringLiteral("ok") : flags.join(QStringLiteral(", ")), tries,
             mb::discardSummaryText(link.discards));
}

QString settingsSummary(const InstrumentSettings &settings)
{
    const auto side = [](const char *name, const ScaleSetting &scale) {
        return QStringLiteral("%1 %2 %3 ... %4 %5")
            .arg(QLatin1String(name), instrument::signalTypeName(scale.type),
                 numberAsGiven(scale.low), numberAsGiven(scale.high),
                 instrument::unitOf(scale.type));
    };
    return side("input", settings.input) + QStringLiteral(", ") + side("output", settings.output);
}

} // namespace cli
