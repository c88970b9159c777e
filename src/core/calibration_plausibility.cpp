// The plausibility of calibration values before they are stored.
#include "core/calibration_plausibility.h"

#include "protocol/instrument_protocol.h"

#include <QStringList>

#include <cmath>
#include <cstdlib>

namespace {

using instrument::ConverterFullScale;

QString grouped(qint64 value)
{
    // Thin enough for both languages: digits in threes, space-separated.
    QString digits = QString::number(std::abs(value));
    for (int i = digits.size() - 3; i > 0; i -= 3)
        digits.insert(i, u' ');
    return value < 0 ? QStringLiteral("-") + digits : digits;
}

void inputPointDoubts(int k, qint32 low, qint32 high, std::vector<CalibrationDoubt> &doubts)
{
    const QString lowName = QStringLiteral("Low%1").arg(k);
    const QString highName = QStringLiteral("High%1").arg(k);
    const qint64 step = qint64(high) - low;
    if (step == 0) {
        doubts.push_back({QStringLiteral("%1 equals %2: no signal applied?").arg(highName, lowName),
                          QStringLiteral("%1 egyenlő %2 értékével: nem kapcsolt jelet a bemenetre?")
                              .arg(highName, lowName)});
    } else if (step < 0) {
        doubts.push_back(
            {QStringLiteral("%1 is below %2: signal applied with reversed polarity?")
                 .arg(highName, lowName),
             QStringLiteral("%1 kisebb, mint %2: fordított polaritással kapcsolta a jelet?")
                 .arg(highName, lowName)});
    } else if (double(step) < MinimumPointSpan * ConverterFullScale) {
        doubts.push_back(
            {QStringLiteral("%1 is only %2 above %3: no signal applied?")
                 .arg(highName, grouped(step), lowName),
             QStringLiteral("%1 csak %2 értékkel nagyobb, mint %3: nem kapcsolt jelet a bemenetre?")
                 .arg(highName, grouped(step), lowName)});
    }
    if (std::abs(double(low)) > MaximumZeroOffset * ConverterFullScale)
        doubts.push_back(
            {QStringLiteral("%1 is far from zero (%2): inputs not shorted?")
                 .arg(lowName, grouped(low)),
             QStringLiteral("%1 messze van a nullától (%2): nem zárta össze a bemeneteket?")
                 .arg(lowName, grouped(low))});
    for (const auto &[name, value] : {std::pair{lowName, low}, std::pair{highName, high}})
        if (std::abs(qint64(value)) >= ConverterFullScale)
            doubts.push_back(
                {QStringLiteral("%1 is at the converter's limit (%2): input overloaded?")
                     .arg(name, grouped(value)),
                 QStringLiteral("%1 a konverter határán van (%2): túlvezérelt bemenet?")
                     .arg(name, grouped(value))});
}

struct OutputPair {
    const char *lowName;
    const char *highName;
    int lowIndex;
    int highIndex;
};
constexpr OutputPair OutputPairs[] = {{"uOut4mA", "uOut20mA", 0, 1}, {"uOut2V", "uOut10V", 2, 3}};

// What the wizard's adjusting steps start from: a value captured from them
// unchanged was never adjusted. A setting of 0 is captured as 1.
constexpr int LowStart = 1;
constexpr int HighStart = 65535;

} // namespace

std::vector<CalibrationDoubt> inputCalibrationDoubts(const RequestState &state)
{
    std::vector<CalibrationDoubt> doubts;
    for (int k = 0; k < int(state.inputCalibration.size()); ++k)
        inputPointDoubts(k + 1, state.inputCalibration[std::size_t(k)].low,
                         state.inputCalibration[std::size_t(k)].high, doubts);
    return doubts;
}

std::vector<CalibrationDoubt> outputCalibrationDoubts(const RequestState &state)
{
    std::vector<CalibrationDoubt> doubts;
    const auto unadjusted = [&](const char *name, int value) {
        const QString n = QString::fromLatin1(name);
        doubts.push_back(
            {QStringLiteral("%1 left at its starting value %2: output not adjusted?")
                 .arg(n, grouped(value)),
             QStringLiteral("%1 a kezdőértékén maradt (%2): nem állította be a kimenetet?")
                 .arg(n, grouped(value))});
    };
    for (const OutputPair &pair : OutputPairs) {
        const int low = state.outputCalibration[std::size_t(pair.lowIndex)];
        const int high = state.outputCalibration[std::size_t(pair.highIndex)];
        if (low <= LowStart) unadjusted(pair.lowName, low);
        if (high >= HighStart) unadjusted(pair.highName, high);
        if (high <= low)
            doubts.push_back({QStringLiteral("%1 is not above %2: steps swapped?")
                                  .arg(QLatin1String(pair.highName), QLatin1String(pair.lowName)),
                              QStringLiteral("%1 nem nagyobb, mint %2: felcserélt lépések?")
                                  .arg(QLatin1String(pair.highName), QLatin1String(pair.lowName))});
    }
    return doubts;
}

QString doubtsText(const std::vector<CalibrationDoubt> &doubts, TextLanguage language)
{
    QStringList lines;
    for (const CalibrationDoubt &d : doubts)
        lines << d.text(language);
    return lines.join(u'\n');
}
