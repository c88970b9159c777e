// A record of one calibration stored in an instrument: when it was stored,
// with which firmware, the instrument's state as found before the store and
// as left after it, and the values stored. The record goes into a JSON file
// beside the printed report and into the calibration log, so what a unit was
// calibrated with is never known from a sheet of paper alone.
#pragma once

#include "protocol/instrument_protocol.h"

#include <QByteArray>
#include <QDate>
#include <QDateTime>
#include <QJsonObject>
#include <QString>

#include <optional>
#include <vector>

inline constexpr char CalibrationRecordFormatName[] = "kx4720r-calibration-record";
inline constexpr int CalibrationRecordFormatVersion = 1;

enum class CalibrationKind { Input, Output };

// What a reply tells about the instrument that a calibration may change.
struct InstrumentState {
    quint32 workingMinutes = 0;
    std::optional<double> temperature;    // degrees Celsius; none without a sensor reading
    std::optional<QDate> calibrationDate; // none while the instrument holds none
    quint8 statusBits = 0;

    static InstrumentState fromReply(const InstrumentReply &reply);
    bool operator==(const InstrumentState &) const = default;
};

// The status flags set in `bits` by their names in files ("inputNotCalibrated",
// "framError", ...), from bit 7 down.
QStringList statusFlagNames(quint8 bits);
// The flags set in `bits` as their own bit values, from bit 7 down.
QList<quint8> statusFlags(quint8 bits);

// One of the fourteen input points: its name ("Low1"), the title of the
// wizard's step that captured it, and the averaged converter reading stored.
struct InputPointValue {
    QString name;
    QString step;
    qint32 reading = 0;
    bool operator==(const InputPointValue &) const = default;
};

// One of the four output points: its name ("uOut4mA"), what the output was
// set to deliver ("4 mA") and the PWM value stored for it.
struct OutputPointValue {
    QString name;
    QString target;
    int pwm = 0;
    bool operator==(const OutputPointValue &) const = default;
};

// A test point of the checking steps ("12 mA") that the instrument was
// driven to, with the PWM value it was driven with.
struct OutputTestPoint {
    QString name;
    int pwm = 0;
    bool operator==(const OutputTestPoint &) const = default;
};

struct CalibrationRecord {
    CalibrationKind kind = CalibrationKind::Input;
    QDateTime time; // the PC's time when the instrument acknowledged the store
    QString port;
    QString firmware; // "2013-09-30"
    QString programVersion;
    std::optional<InstrumentState> asFound;     // none when no reply came before the store
    std::optional<InstrumentState> asLeft;      // none when no reply came after it
    std::vector<InputPointValue> inputPoints;   // input: the fourteen, in capture order
    std::vector<OutputPointValue> outputPoints; // output: the four, in step order
    std::vector<OutputTestPoint> testPoints;    // output: in the order first driven
    // Given when a report is written: the instrument reports neither.
    QString serialNumber;
    QString technician;

    // The values the store request carried.
    static CalibrationRecord forInput(const InstrumentRequest &store);
    static CalibrationRecord forOutput(const InstrumentRequest &store);

    QJsonObject toJson() const;
    // Indented, for a file of its own.
    QByteArray toJsonText() const;

    bool operator==(const CalibrationRecord &) const = default;
};

// The wizard's step title of an input point in English ("Uin High1
// calibration: 150 mV"); the wizard itself speaks Hungarian only.
QString englishStepTitle(const InputPointValue &point);

// "input" or "output": the kind in files.
QString calibrationKindName(CalibrationKind kind);
// "2013-09-30": the firmware date a reply reports.
QString firmwareText(const InstrumentReply &reply);
