// What a verification of a unit found: each test point with the value
// applied, the unit's reading, its error and the verdict against the
// tolerance, for the input or the output, as found (before any adjustment)
// or as left (after it); and the reference standards it was measured
// against. The records keep these as they stand here.
#pragma once

#include <QDate>
#include <QDateTime>
#include <QString>

#include <optional>
#include <vector>

// A point passes, fails, or passes only within the guard band (inside the
// tolerance but too close to its edge to be sure). In order from best to
// worst.
enum class Verdict { Pass, PassWithinGuardBand, Fail };

enum class VerificationPhase { AsFound, AsLeft };
enum class VerificationSide { Input, Output };

// The worst of the verdicts; none for none.
std::optional<Verdict> worstVerdict(const std::vector<Verdict> &verdicts);

struct VerificationPoint {
    QString point; // "25 %"
    double applied = 0;
    double reading = 0;
    double error = 0; // reading - applied, in the verification's unit
    double errorPercentOfSpan = 0;
    Verdict verdict = Verdict::Pass;
    bool operator==(const VerificationPoint &) const = default;
};

struct Verification {
    VerificationPhase phase = VerificationPhase::AsFound;
    VerificationSide side = VerificationSide::Input;
    QDateTime time;
    QString unit; // "mA", "V", "mV"
    double tolerancePercentOfSpan = 0.1;
    double guardBandPercentOfSpan = 0;
    std::vector<VerificationPoint> points;

    std::optional<Verdict> verdict() const;
    bool operator==(const Verification &) const = default;
};

// A reference standard (a calibrator, a meter) as the list keeps it, and as
// it stood when it was used: its certificate and due date then.
struct ReferenceStandard {
    QString identifier;
    QString description;
    QString certificateNumber;
    QDate dueDate;
    bool operator==(const ReferenceStandard &) const = default;
};
