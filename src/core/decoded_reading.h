// One instrument reply as measured values with their units: what a readings
// file records and what a monitor shows. The reply's own fields stay in
// InstrumentReply; this adds the meaning the range and type tables give them.
#pragma once

#include "protocol/instrument_protocol.h"

#include <QDateTime>
#include <QString>

#include <optional>

struct DecodedReading {
    QDateTime time; // when the reply arrived (local time)

    // The input in the unit of the range in use (mV, V or mA); no value while
    // the input is not calibrated or the range is one the table does not know.
    std::optional<double> inputValue;
    QString inputUnit; // empty for an unknown range
    quint8 inputRange = 0; // the reply's range index, which a view shows the input by
    // The output, from the stored output scale and the position within it; no
    // value while the output is not calibrated.
    std::optional<double> outputValue;
    QString outputUnit; // empty for an unknown output type

    double scaleRatio = 0.0;           // position of the input within its scale, 0 ... 1
    std::optional<double> temperature; // none while the sensor gives no reading
    quint8 statusBits = 0;
    qint32 adAveragedCH0 = 0;
    qint32 adAveragedCH1 = 0;

    static DecodedReading fromReply(const InstrumentReply &reply, const QDateTime &time = {});

    bool operator==(const DecodedReading &) const = default;
};

// The instrument reports -200 degrees and below when its sensor gives no reading.
bool temperatureIsReading(double temperature);
