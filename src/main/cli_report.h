// What kx4720r-cli prints: the instrument's state as text and as JSON, one
// monitor line per reply, and settings in a line. The JSON field names are
// part of the tool's documented interface (README): keep them stable.
#pragma once

#include "core/decoded_reading.h"
#include "core/instrument_settings.h"

#include <QJsonObject>
#include <QString>
#include <QStringList>

namespace cli {

// The flags of StatusBits in words ("input not calibrated") and as JSON names
// ("inputNotCalibrated"), from bit 7 down.
QStringList statusFlagWords(quint8 statusBits);
QStringList statusFlagNames(quint8 statusBits);

QString statusText(const InstrumentReply &reply, const QString &port);
QJsonObject statusJson(const InstrumentReply &reply, const QString &port, int tries);
QString monitorLine(const DecodedReading &reading);
// "input voltage -10 ... 10 V, output current 4 ... 20 mA"
QString settingsSummary(const InstrumentSettings &settings);

} // namespace cli
