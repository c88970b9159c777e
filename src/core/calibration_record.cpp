// Calibration records: the values from the store request, the instrument's
// state from its replies, and the record as JSON.
#include "core/calibration_record.h"

#include "core/decoded_reading.h"
#include "core/instrument_units.h"
#include "core/number_text.h"

#include <QJsonArray>
#include <QJsonDocument>

#include <array>

namespace {

struct InputPointRow {
    const char16_t *name;
    const char16_t *step; // the wizard's step title, as the technician saw it
    const char16_t *english; // the same in English, for an English report
    qint32 InstrumentRequest::*field;
};

// In the order the wizard captures them; each zero point is taken with the
// forcing of the full-scale point it belongs to.
using R = InstrumentRequest;
constexpr std::array<InputPointRow, 14> InputPoints{{
    {u"Low1", u"Ube Low1 kalibrálás", u"Uin Low1 calibration", &R::InCalLow1},
    {u"Low2", u"Ube Low2 kalibrálás", u"Uin Low2 calibration", &R::InCalLow2},
    {u"Low3", u"Ube Low3 kalibrálás", u"Uin Low3 calibration", &R::InCalLow3},
    {u"High1", u"Ube High1 kalibrálás: 150 mV", u"Uin High1 calibration: 150 mV", &R::InCalHigh1},
    {u"High2", u"Ube High2 kalibrálás: 450 mV", u"Uin High2 calibration: 450 mV", &R::InCalHigh2},
    {u"High3", u"Ube High3 kalibrálás: 2,3 V", u"Uin High3 calibration: 2.3 V", &R::InCalHigh3},
    {u"Low4", u"Ube Low4 kalibrálás", u"Uin Low4 calibration", &R::InCalLow4},
    {u"Low5", u"Ube Low5 kalibrálás", u"Uin Low5 calibration", &R::InCalLow5},
    {u"Low6", u"Ube Low6 kalibrálás", u"Uin Low6 calibration", &R::InCalLow6},
    {u"High4", u"Ube High4 kalibrálás: 10 V", u"Uin High4 calibration: 10 V", &R::InCalHigh4},
    {u"High5", u"Ube High5 kalibrálás: 40 V", u"Uin High5 calibration: 40 V", &R::InCalHigh5},
    {u"High6", u"Ube High6 kalibrálás: 100 V", u"Uin High6 calibration: 100 V", &R::InCalHigh6},
    {u"Low7", u"Ibe Low kalibrálás", u"Iin Low calibration", &R::InCalLow7},
    {u"High7", u"Ibe High kalibrálás: 20 mA", u"Iin High calibration: 20 mA", &R::InCalHigh7},
}};

struct OutputPointRow {
    const char16_t *name;
    const char16_t *target;
    quint16 InstrumentRequest::*field;
};

constexpr std::array<OutputPointRow, 4> OutputPoints{{
    {u"uOut4mA", u"4 mA", &R::OutCalPWM4mA},
    {u"uOut20mA", u"20 mA", &R::OutCalPWM20mA},
    {u"uOut2V", u"2 V", &R::OutCalPWM2V},
    {u"uOut10V", u"10 V", &R::OutCalPWM10V},
}};

QString isoDate(int year, int month, int day)
{
    return QStringLiteral("%1-%2-%3")
        .arg(year, 4, 10, QLatin1Char('0'))
        .arg(month, 2, 10, QLatin1Char('0'))
        .arg(day, 2, 10, QLatin1Char('0'));
}

QJsonValue stateJson(const std::optional<InstrumentState> &state)
{
    if (!state) return QJsonValue::Null;
    QJsonObject object;
    object[QStringLiteral("workingMinutes")] = qint64(state->workingMinutes);
    // The instrument measures in single precision: 27.0495, not 27.049503326416016.
    const std::optional<double> temperature =
        state->temperature ? singlePrecisionValue(*state->temperature) : std::nullopt;
    object[QStringLiteral("temperature")] =
        temperature ? QJsonValue(QJsonObject{{QStringLiteral("value"), *temperature},
                                             {QStringLiteral("unit"), QStringLiteral("°C")}})
                    : QJsonValue(QJsonValue::Null);
    object[QStringLiteral("calibrationDate")] =
        state->calibrationDate ? QJsonValue(state->calibrationDate->toString(Qt::ISODate))
                               : QJsonValue(QJsonValue::Null);
    object[QStringLiteral("status")] = QJsonObject{
        {QStringLiteral("bits"), int(state->statusBits)},
        {QStringLiteral("flags"), QJsonArray::fromStringList(statusFlagNames(state->statusBits))}};
    return object;
}

} // namespace

InstrumentState InstrumentState::fromReply(const InstrumentReply &reply)
{
    InstrumentState state;
    state.workingMinutes = reply.OperatingMinutes;
    if (temperatureIsReading(reply.Temperature)) state.temperature = reply.Temperature;
    if (reply.hasCalibrationDate()) {
        const QDate date(reply.CalYear, reply.CalMonth, reply.CalDay);
        if (date.isValid()) state.calibrationDate = date;
    }
    state.statusBits = reply.StatusBits;
    return state;
}

QList<quint8> statusFlags(quint8 bits)
{
    QList<quint8> set;
    for (const instrument::StatusFlag &flag : instrument::statusFlagTable())
        if (bits & flag.bit) set << flag.bit;
    return set;
}

QStringList statusFlagNames(quint8 bits)
{
    QStringList names;
    for (const instrument::StatusFlag &flag : instrument::statusFlagTable())
        if (bits & flag.bit) names << flag.name.toString();
    return names;
}

QString englishStepTitle(const InputPointValue &point)
{
    for (const InputPointRow &row : InputPoints)
        if (point.name == QStringView(row.name)) return QString::fromUtf16(row.english);
    return point.step;
}

QString calibrationKindName(CalibrationKind kind)
{
    return kind == CalibrationKind::Input ? QStringLiteral("input") : QStringLiteral("output");
}

QString firmwareText(const InstrumentReply &reply)
{
    return isoDate(reply.FirmwareYear, reply.FirmwareMonth, reply.FirmwareDay);
}

CalibrationRecord CalibrationRecord::forInput(const InstrumentRequest &store)
{
    CalibrationRecord record;
    record.kind = CalibrationKind::Input;
    for (const InputPointRow &row : InputPoints)
        record.inputPoints.push_back(
            {QString::fromUtf16(row.name), QString::fromUtf16(row.step), store.*row.field});
    return record;
}

CalibrationRecord CalibrationRecord::forOutput(const InstrumentRequest &store)
{
    CalibrationRecord record;
    record.kind = CalibrationKind::Output;
    for (const OutputPointRow &row : OutputPoints)
        record.outputPoints.push_back(
            {QString::fromUtf16(row.name), QString::fromUtf16(row.target), store.*row.field});
    return record;
}

QJsonObject CalibrationRecord::toJson() const
{
    QJsonObject object;
    object[QStringLiteral("format")] = QString::fromLatin1(CalibrationRecordFormatName);
    object[QStringLiteral("version")] = CalibrationRecordFormatVersion;
    object[QStringLiteral("kind")] = calibrationKindName(kind);
    // The offset keeps the moment unambiguous wherever the record is read.
    object[QStringLiteral("time")] =
        time.toOffsetFromUtc(time.offsetFromUtc()).toString(Qt::ISODateWithMs);
    object[QStringLiteral("program")] =
        QJsonObject{{QStringLiteral("name"), QStringLiteral("kx4720r-config")},
                    {QStringLiteral("version"), programVersion}};
    QJsonObject unit{{QStringLiteral("model"), QStringLiteral("KX4720R")},
                     {QStringLiteral("port"), port},
                     {QStringLiteral("firmware"), firmware}};
    unit[QStringLiteral("serialNumber")] =
        serialNumber.isEmpty() ? QJsonValue(QJsonValue::Null) : QJsonValue(serialNumber);
    object[QStringLiteral("instrument")] = unit;
    object[QStringLiteral("technician")] =
        technician.isEmpty() ? QJsonValue(QJsonValue::Null) : QJsonValue(technician);
    object[QStringLiteral("asFound")] = stateJson(asFound);
    object[QStringLiteral("asLeft")] = stateJson(asLeft);

    if (kind == CalibrationKind::Input) {
        QJsonArray points;
        for (const InputPointValue &p : inputPoints)
            points.append(QJsonObject{{QStringLiteral("name"), p.name},
                                      {QStringLiteral("step"), p.step},
                                      {QStringLiteral("reading"), p.reading}});
        object[QStringLiteral("inputPoints")] = points;
    } else {
        QJsonArray points;
        for (const OutputPointValue &p : outputPoints)
            points.append(QJsonObject{{QStringLiteral("name"), p.name},
                                      {QStringLiteral("target"), p.target},
                                      {QStringLiteral("pwm"), p.pwm}});
        object[QStringLiteral("outputPoints")] = points;
        QJsonArray tests;
        for (const OutputTestPoint &p : testPoints)
            tests.append(
                QJsonObject{{QStringLiteral("name"), p.name}, {QStringLiteral("pwm"), p.pwm}});
        object[QStringLiteral("testPoints")] = tests;
    }
    return object;
}

QByteArray CalibrationRecord::toJsonText() const
{
    return QJsonDocument(toJson()).toJson(QJsonDocument::Indented);
}
