// One calibration event as the records keep it: the unit (model and serial
// number), who did it where and when, the instrument's state as found and as
// left, the values stored, the verifications run before and after with their
// points and verdicts, the reference standards used, the certificate number
// and the date the unit is next due. Each event carries a UUID made at the
// bench, so sending it again (after a lost connection, an import run twice)
// never makes a second record.
#pragma once

#include "core/calibration_record.h"
#include "core/verification_types.h"

#include <QDate>
#include <QDateTime>
#include <QString>
#include <QUuid>

#include <optional>
#include <vector>

inline constexpr char InstrumentModelName[] = "KX4720R";
// The calibration interval when the procedure gives none.
inline constexpr int DefaultIntervalMonths = 12;

// What happened to the unit: one of the wizards stored values, or it was
// only verified (a field check).
enum class EntryKind { Input, Output, Verification };

QString entryKindName(EntryKind kind); // "input", "output", "verification"
std::optional<EntryKind> entryKindFromName(const QString &name);
QString verdictName(Verdict verdict); // "pass", "passWithinGuardBand", "fail"
std::optional<Verdict> verdictFromName(const QString &name);
QString phaseName(VerificationPhase phase); // "asFound", "asLeft"
std::optional<VerificationPhase> phaseFromName(const QString &name);
QString sideName(VerificationSide side); // "input", "output"
std::optional<VerificationSide> sideFromName(const QString &name);

struct CalibrationEntry {
    QUuid id;
    QString certificateNumber; // empty: none issued (records from before certificates)
    QString model = QString::fromLatin1(InstrumentModelName);
    QString serialNumber; // empty: the calibration was never tied to a unit
    EntryKind kind = EntryKind::Verification;
    QDateTime time; // at the bench, with its offset from UTC
    QString bench;
    QString port;
    QString firmware;
    QString programVersion;
    QString technician;
    QString approver;
    std::optional<InstrumentState> asFound;
    std::optional<InstrumentState> asLeft;
    std::vector<InputPointValue> inputPoints;
    std::vector<OutputPointValue> outputPoints;
    std::vector<OutputTestPoint> testPoints;
    std::vector<Verification> verifications;
    std::vector<ReferenceStandard> standards;
    std::optional<double> ambientTemperature; // degrees Celsius
    std::optional<double> relativeHumidity;   // percent
    QDate dueDate;                            // invalid: this event sets no due date

    // The calibration the window recorded, as an entry with a new UUID.
    static CalibrationEntry fromRecord(const CalibrationRecord &record);
    // What of it a calibration record holds (a verification as an input record).
    CalibrationRecord toRecord() const;

    // The verdict of the verifications of one phase; none when none ran.
    std::optional<Verdict> verdict(VerificationPhase phase) const;

    bool operator==(const CalibrationEntry &) const = default;
};

// What a list of records shows of one.
struct EntrySummary {
    QUuid id;
    QString certificateNumber;
    QString model;
    QString serialNumber;
    EntryKind kind = EntryKind::Verification;
    QDateTime time;
    QString bench;
    QString technician;
    std::optional<Verdict> asFound;
    std::optional<Verdict> asLeft;
    QDate dueDate;
    // Kept in the bench's spool: "not yet in the shared records".
    bool pending = false;

    static EntrySummary of(const CalibrationEntry &entry);
    bool operator==(const EntrySummary &) const = default;
};
