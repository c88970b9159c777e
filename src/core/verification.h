// Verifying a unit against a reference: the test points along its scales,
// the error of each reading in units and in % of span, the verdict against
// the tolerance and its guard band, the capture of a steady averaged input
// reading, and the runs as found and as left of the unit on the line.
#pragma once

#include "core/decoded_reading.h"
#include "core/verification_types.h"

#include <QString>

#include <deque>
#include <optional>
#include <vector>

// The test points, in % of a scale: 2 to 11 of them, each 0 ... 100 and none
// twice, kept in the order given.
struct TestPoints {
    static constexpr int Min = 2;
    static constexpr int Max = 11;
    std::vector<double> percents{0, 25, 50, 75, 100};

    // "0;25;50;75;100", as the initialisation file keeps them.
    QString text() const;
    // None for a list that breaks the rules above.
    static std::optional<TestPoints> fromText(const QString &text);
    bool operator==(const TestPoints &) const = default;
};

// "25 %": how a record and a certificate name a test point.
QString testPointName(double percent);

// A scale of the unit's input or output, in the unit a verification uses.
struct VerificationScale {
    double low = 4.0;
    double high = 20.0;
    QString unit = QStringLiteral("mA");

    double span() const { return high - low; }
    double valueAt(double percent) const { return low + span() * percent / 100.0; }
};

struct Tolerance {
    double percentOfSpan = 0.1;
    // Taken from inside the tolerance: an error in that margin passes only
    // "within guard band". 0: none.
    double guardBandPercentOfSpan = 0;

    // The error's verdict: a pass up to the tolerance less its guard band,
    // a pass within guard band up to the tolerance (edges included), a fail
    // beyond it or for an error that is no number.
    Verdict judge(double errorPercentOfSpan) const;
};

// One point measured: the error of `reading` against `applied` and its verdict.
VerificationPoint measuredPoint(double percent, double applied, double reading,
                                const VerificationScale &scale, const Tolerance &tolerance);

// The instrument's input as a verification on `scale` reads it: in the
// scale's unit (a reading of the 200 mV range in mV on a scale in V
// becomes volts); none without a calibrated reading.
std::optional<double> inputInScaleUnit(const DecodedReading &reading,
                                       const VerificationScale &scale);

// The capture of one input point: readings are fed reply by reply, and the
// capture is done when the last `replies` of them lie within `band` of each
// other (max - min); their mean is the reading. A jump of the input (the
// source still settling, a new value applied) pushes the older readings
// out, so a capture never averages across it. A reading that is no number
// starts the capture afresh.
class InputCapture {
public:
    static constexpr int DefaultReplies = 10;

    InputCapture(int replies, double band);

    // True once the capture is done; readings fed after that change nothing.
    bool feed(double reading);
    bool isDone() const { return m_done.has_value(); }
    std::optional<double> average() const { return m_done; }
    // How many of the readings that would be averaged are in (0 ... replies).
    int steadyCount() const { return int(m_window.size()); }
    int replies() const { return m_replies; }

private:
    int m_replies;
    double m_band;
    std::deque<double> m_window;
    std::optional<double> m_done;
};

// One verification run of one side, point by point; points may be measured
// in any order and again.
class VerificationRun {
public:
    VerificationRun(VerificationPhase phase, VerificationSide side, VerificationScale scale,
                    Tolerance tolerance, TestPoints points);

    int pointCount() const { return int(m_points.percents.size()); }
    // What the reference applies (input) or the unit should deliver
    // (output) at point `index`.
    double expected(int index) const;
    double percent(int index) const { return m_points.percents[std::size_t(index)]; }
    void measure(int index, double reading, const QDateTime &time);
    bool isMeasured(int index) const { return m_measured[std::size_t(index)].has_value(); }
    bool isComplete() const;
    const VerificationScale &scale() const { return m_scale; }

    // The points measured so far, in test point order; its time is that of
    // the last measurement.
    Verification result() const;

private:
    VerificationPhase m_phase;
    VerificationSide m_side;
    VerificationScale m_scale;
    Tolerance m_tolerance;
    TestPoints m_points;
    std::vector<std::optional<VerificationPoint>> m_measured;
    QDateTime m_time;
};

// The verdict a certificate gives: the as left runs' when any ran (the unit
// as it leaves the bench), else the as found runs'; none without either.
std::optional<Verdict> overallVerdict(const std::vector<Verification> &verifications);

// The verifications of one unit in one connection: as found, then as left,
// each side's latest run of each phase. A new connection or another serial
// number starts from nothing, since another unit may be on the line.
class UnitVerifications {
public:
    // Forgets everything unless the unit is the one the runs were for.
    void forUnit(quint64 connection, const QString &serialNumber);
    quint64 connection() const { return m_connection; }
    const QString &serialNumber() const { return m_serialNumber; }

    // Replaces the run of the same phase and side.
    void keep(const Verification &verification);
    const std::vector<Verification> &all() const { return m_runs; }
    bool has(VerificationPhase phase) const;

    // A calibration was stored into the unit: as left runs from before it
    // say nothing of the unit as it is now.
    void calibrationStored();

    // What the guided order does next: as found; then a calibration when as
    // found did not pass; after one, as left; then the certificate.
    enum class Next { AsFound, Calibrate, AsLeft, Certificate };
    Next next() const;

private:
    quint64 m_connection = 0;
    QString m_serialNumber;
    std::vector<Verification> m_runs;
    bool m_calibrated = false;
};
