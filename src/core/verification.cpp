// Test points, errors and verdicts, the steady input capture and the runs
// of the unit on the line.
#include "core/verification.h"

#include <QStringList>

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

// Errors are compared with the limits at this resolution, so an error that
// reads exactly the tolerance is not failed by the last bit of a double.
double resolved(double percent)
{
    return std::round(percent * 1e9) / 1e9;
}

} // namespace

std::optional<Verdict> worstVerdict(const std::vector<Verdict> &verdicts)
{
    if (verdicts.empty()) return std::nullopt;
    return *std::max_element(verdicts.begin(), verdicts.end());
}

std::optional<Verdict> Verification::verdict() const
{
    std::vector<Verdict> verdicts;
    for (const VerificationPoint &p : points)
        verdicts.push_back(p.verdict);
    return worstVerdict(verdicts);
}

QString TestPoints::text() const
{
    QStringList parts;
    for (const double p : percents)
        parts << QString::number(p);
    return parts.join(u';');
}

std::optional<TestPoints> TestPoints::fromText(const QString &text)
{
    TestPoints points;
    points.percents.clear();
    for (const QString &part : text.split(u';')) {
        bool ok = false;
        const double p = part.trimmed().toDouble(&ok);
        if (!ok || !(p >= 0.0 && p <= 100.0)) return std::nullopt;
        if (std::find(points.percents.begin(), points.percents.end(), p) != points.percents.end())
            return std::nullopt;
        points.percents.push_back(p);
    }
    const int count = int(points.percents.size());
    if (count < Min || count > Max) return std::nullopt;
    return points;
}

QString testPointName(double percent)
{
    return QString::number(percent) + QStringLiteral(" %");
}

Verdict Tolerance::judge(double errorPercentOfSpan) const
{
    if (!std::isfinite(errorPercentOfSpan)) return Verdict::Fail;
    const double error = resolved(std::fabs(errorPercentOfSpan));
    if (error > resolved(percentOfSpan)) return Verdict::Fail;
    if (error > resolved(percentOfSpan - guardBandPercentOfSpan))
        return Verdict::PassWithinGuardBand;
    return Verdict::Pass;
}

VerificationPoint measuredPoint(double percent, double applied, double reading,
                                const VerificationScale &scale, const Tolerance &tolerance)
{
    VerificationPoint point;
    point.point = testPointName(percent);
    point.applied = applied;
    point.reading = reading;
    point.error = reading - applied;
    // A scale without span has no percentage: such an error fails.
    point.errorPercentOfSpan = scale.span() != 0.0 ? point.error / std::fabs(scale.span()) * 100.0
                                                   : std::numeric_limits<double>::quiet_NaN();
    point.verdict = tolerance.judge(point.errorPercentOfSpan);
    return point;
}

std::optional<double> inputInScaleUnit(const DecodedReading &reading,
                                       const VerificationScale &scale)
{
    if (!reading.inputValue) return std::nullopt;
    if (reading.inputUnit == QLatin1String("mV") && scale.unit == QLatin1String("V"))
        return *reading.inputValue / 1000.0;
    if (reading.inputUnit == QLatin1String("V") && scale.unit == QLatin1String("mV"))
        return *reading.inputValue * 1000.0;
    if (reading.inputUnit != scale.unit) return std::nullopt;
    return reading.inputValue;
}

InputCapture::InputCapture(int replies, double band)
    : m_replies(std::max(1, replies)), m_band(std::fabs(band))
{
}

bool InputCapture::feed(double reading)
{
    if (m_done) return true;
    if (!std::isfinite(reading)) {
        m_window.clear();
        return false;
    }
    m_window.push_back(reading);
    // Older readings go until the rest lie within the band: the newest
    // always stays, so a jump starts the count again from it.
    const auto spread = [this] {
        const auto [low, high] = std::minmax_element(m_window.begin(), m_window.end());
        return *high - *low;
    };
    while (spread() > m_band)
        m_window.pop_front();
    if (int(m_window.size()) > m_replies) m_window.pop_front();
    if (int(m_window.size()) < m_replies) return false;
    double sum = 0.0;
    for (const double r : m_window)
        sum += r;
    m_done = sum / m_replies;
    return true;
}

VerificationRun::VerificationRun(VerificationPhase phase, VerificationSide side,
                                 VerificationScale scale, Tolerance tolerance, TestPoints points)
    : m_phase(phase), m_side(side), m_scale(std::move(scale)), m_tolerance(tolerance),
      m_points(std::move(points)), m_measured(m_points.percents.size())
{
}

double VerificationRun::expected(int index) const
{
    return m_scale.valueAt(m_points.percents[std::size_t(index)]);
}

void VerificationRun::measure(int index, double reading, const QDateTime &time)
{
    m_measured[std::size_t(index)] = measuredPoint(m_points.percents[std::size_t(index)],
                                                   expected(index), reading, m_scale, m_tolerance);
    m_time = time;
}

bool VerificationRun::isComplete() const
{
    return std::all_of(m_measured.begin(), m_measured.end(),
                       [](const auto &p) { return p.has_value(); });
}

Verification VerificationRun::result() const
{
    Verification v;
    v.phase = m_phase;
    v.side = m_side;
    v.time = m_time;
    v.unit = m_scale.unit;
    v.tolerancePercentOfSpan = m_tolerance.percentOfSpan;
    v.guardBandPercentOfSpan = m_tolerance.guardBandPercentOfSpan;
    for (const auto &p : m_measured)
        if (p) v.points.push_back(*p);
    return v;
}

std::optional<Verdict> overallVerdict(const std::vector<Verification> &verifications)
{
    std::vector<Verdict> asFound, asLeft;
    for (const Verification &v : verifications)
        if (const std::optional<Verdict> verdict = v.verdict())
            (v.phase == VerificationPhase::AsLeft ? asLeft : asFound).push_back(*verdict);
    return asLeft.empty() ? worstVerdict(asFound) : worstVerdict(asLeft);
}

void UnitVerifications::forUnit(quint64 connection, const QString &serialNumber)
{
    if (connection == m_connection && serialNumber == m_serialNumber) return;
    m_connection = connection;
    m_serialNumber = serialNumber;
    m_runs.clear();
    m_calibrated = false;
}

void UnitVerifications::keep(const Verification &verification)
{
    std::erase_if(m_runs, [&](const Verification &v) {
        return v.phase == verification.phase && v.side == verification.side;
    });
    m_runs.push_back(verification);
}

bool UnitVerifications::has(VerificationPhase phase) const
{
    return std::any_of(m_runs.begin(), m_runs.end(),
                       [&](const Verification &v) { return v.phase == phase; });
}

void UnitVerifications::calibrationStored()
{
    std::erase_if(m_runs,
                  [](const Verification &v) { return v.phase == VerificationPhase::AsLeft; });
    m_calibrated = true;
}

UnitVerifications::Next UnitVerifications::next() const
{
    if (m_calibrated) return has(VerificationPhase::AsLeft) ? Next::Certificate : Next::AsLeft;
    if (!has(VerificationPhase::AsFound)) return Next::AsFound;
    return overallVerdict(m_runs) == Verdict::Fail ? Next::Calibrate : Next::Certificate;
}
