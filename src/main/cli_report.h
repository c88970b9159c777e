// What kx4720r-cli prints: the instrument's state as text and as JSON, one
// monitor line per reply, and settings in a line. The JSON field names are
// part of the tool's documented interface (README): keep them stable.
#pragma once

#include "core/decoded_reading.h"
#include "core/instrument_settings.h"
#include "frame/mbreceiver.h"

#include <QJsonObject>
#include <QString>
#include <QStringList>

namespace cli {

// The flags of StatusBits in words ("input not calibrated") and as JSON names
// ("inputNotCalibrated"), from bit 7 down.
QStringList statusFlagWords(quint8 statusBits);
QStringList statusFlagNames(quint8 statusBits);

// What the link went through: the transmissions the last exchange took, and
// what the link threw away since the port was opened, and why (a cable that
// garbles shows as bad CRCs long before replies go missing).
struct LinkCounts {
    int tries = 1;
    mb::MBDiscardCounts discards;
};
// {"total", "frames", "characters", "badCrc", "foreignFrame", "overlong",
// "startInFrame", "lateReply", "notDecodable", "outsideFrame"}: total is
// frames and characters together.
QJsonObject discardedJson(const mb::MBDiscardCounts &discards);

QString statusText(const InstrumentReply &reply, const QString &port, const LinkCounts &link);
QJsonObject statusJson(const InstrumentReply &reply, const QString &port, const LinkCounts &link);
// The reading, then "tries N" when the exchange needed more than one, then
// the discards so far.
QString monitorLine(const DecodedReading &reading, const LinkCounts &link);
// "input voltage -10 ... 10 V, output current 4 ... 20 mA"
QString settingsSummary(const InstrumentSettings &settings);

} // namespace cli
