// Names of the records' kinds and verdicts, and entries from the window's
// calibration records.
#include "records/records_entry.h"

#include <algorithm>
#include <array>
#include <utility>

namespace {

// The names an enum's values have in files and in the database.
template <typename E, std::size_t N> struct NameTable {
    std::array<std::pair<E, const char *>, N> rows;

    QString name(E value) const
    {
        for (const auto &[v, text] : rows)
            if (v == value) return QString::fromLatin1(text);
        return {};
    }
    std::optional<E> value(const QString &name) const
    {
        for (const auto &[v, text] : rows)
            if (name == QLatin1String(text)) return v;
        return std::nullopt;
    }
};

constexpr NameTable<EntryKind, 3> KindNames{{{{EntryKind::Input, "input"},
                                              {EntryKind::Output, "output"},
                                              {EntryKind::Verification, "verification"}}}};
// In order from best to worst.
constexpr NameTable<Verdict, 3> VerdictNames{
    {{{Verdict::Pass, "pass"},
      {Verdict::PassWithinGuardBand, "passWithinGuardBand"},
      {Verdict::Fail, "fail"}}}};
constexpr NameTable<VerificationPhase, 2> PhaseNames{
    {{{VerificationPhase::AsFound, "asFound"}, {VerificationPhase::AsLeft, "asLeft"}}}};
constexpr NameTable<VerificationSide, 2> SideNames{
    {{{VerificationSide::Input, "input"}, {VerificationSide::Output, "output"}}}};

} // namespace

QString entryKindName(EntryKind kind)
{
    return KindNames.name(kind);
}
std::optional<EntryKind> entryKindFromName(const QString &name)
{
    return KindNames.value(name);
}
QString verdictName(Verdict verdict)
{
    return VerdictNames.name(verdict);
}
std::optional<Verdict> verdictFromName(const QString &name)
{
    return VerdictNames.value(name);
}
QString phaseName(VerificationPhase phase)
{
    return PhaseNames.name(phase);
}
std::optional<VerificationPhase> phaseFromName(const QString &name)
{
    return PhaseNames.value(name);
}
QString sideName(VerificationSide side)
{
    return SideNames.name(side);
}
std::optional<VerificationSide> sideFromName(const QString &name)
{
    return SideNames.value(name);
}

std::optional<Verdict> CalibrationEntry::verdict(VerificationPhase phase) const
{
    std::vector<Verdict> verdicts;
    for (const Verification &v : verifications)
        if (v.phase == phase)
            if (const std::optional<Verdict> verdict = v.verdict()) verdicts.push_back(*verdict);
    return worstVerdict(verdicts);
}

CalibrationEntry CalibrationEntry::fromRecord(const CalibrationRecord &record)
{
    CalibrationEntry entry;
    entry.id = QUuid::createUuid();
    entry.serialNumber = record.serialNumber;
    entry.kind = record.kind == CalibrationKind::Input ? EntryKind::Input : EntryKind::Output;
    entry.time = record.time;
    entry.port = record.port;
    entry.firmware = record.firmware;
    entry.programVersion = record.programVersion;
    entry.technician = record.technician;
    entry.asFound = record.asFound;
    entry.asLeft = record.asLeft;
    entry.inputPoints = record.inputPoints;
    entry.outputPoints = record.outputPoints;
    entry.testPoints = record.testPoints;
    entry.dueDate = record.time.date().addMonths(DefaultIntervalMonths);
    return entry;
}

CalibrationRecord CalibrationEntry::toRecord() const
{
    CalibrationRecord record;
    record.kind = kind == EntryKind::Output ? CalibrationKind::Output : CalibrationKind::Input;
    record.time = time;
    record.port = port;
    record.firmware = firmware;
    record.programVersion = programVersion;
    record.asFound = asFound;
    record.asLeft = asLeft;
    record.inputPoints = inputPoints;
    record.outputPoints = outputPoints;
    record.testPoints = testPoints;
    record.serialNumber = serialNumber;
    record.technician = technician;
    return record;
}

EntrySummary EntrySummary::of(const CalibrationEntry &entry)
{
    return {entry.id,
            entry.certificateNumber,
            entry.model,
            entry.serialNumber,
            entry.kind,
            entry.time,
            entry.bench,
            entry.technician,
            entry.verdict(VerificationPhase::AsFound),
            entry.verdict(VerificationPhase::AsLeft),
            entry.dueDate,
            false};
}
