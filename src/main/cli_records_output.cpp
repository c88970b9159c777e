// The texts, JSON and CSV of the records commands.
#include "cli_records_output.h"

#include "core/number_text.h"
#include "records/entry_json.h"

#include <QJsonArray>

#include <algorithm>

namespace cli {

namespace {

QString orDash(const QString &text)
{
    return text.isEmpty() ? QStringLiteral("-") : text;
}

QString verdictWords(const std::optional<Verdict> &verdict)
{
    if (!verdict) return QStringLiteral("-");
    switch (*verdict) {
    case Verdict::Pass:
        return QStringLiteral("pass");
    case Verdict::PassWithinGuardBand:
        return QStringLiteral("passed within guard band");
    case Verdict::Fail:
        return QStringLiteral("fail");
    }
    return {};
}

QString shortTime(const QDateTime &time)
{
    return time.toString(QStringLiteral("yyyy-MM-dd HH:mm"));
}

// The bench's clock and its offset: "2026-12-07 16:07:14 (UTC+01:00)".
QString longTime(const QDateTime &time)
{
    const int offset = time.offsetFromUtc();
    const int minutes = std::abs(offset) / 60;
    return time.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")) +
           QStringLiteral(" (UTC%1%2:%3)")
               .arg(QChar(offset < 0 ? u'-' : u'+'))
               .arg(minutes / 60, 2, 10, QLatin1Char('0'))
               .arg(minutes % 60, 2, 10, QLatin1Char('0'));
}

QString dueText(const QDate &due, const QDate &today)
{
    if (!due.isValid()) return QStringLiteral("-");
    const QString date = due.toString(Qt::ISODate);
    if (!today.isValid()) return date;
    const qint64 days = today.daysTo(due);
    if (days < 0) return date + QStringLiteral(" (overdue %1 d)").arg(-days);
    return date + (days == 0 ? QStringLiteral(" (today)") : QStringLiteral(" (in %1 d)").arg(days));
}

QString csvField(const QString &text, QChar separator)
{
    if (!text.contains(separator) && !text.contains(u'"') && !text.contains(u'\n') &&
        !text.contains(u'\r'))
        return text;
    QString quoted = text;
    quoted.replace(QStringLiteral("\""), QStringLiteral("\"\""));
    return u'"' + quoted + u'"';
}

QString csvLine(const QStringList &fields, const CsvFormat &format)
{
    QStringList quoted;
    for (const QString &field : fields)
        quoted << csvField(field, format.separator);
    return quoted.join(format.separator) + u'\n';
}

QString csvNumber(const std::optional<double> &value, const CsvFormat &format)
{
    if (!value) return {};
    QString text = numberAsGiven(*value);
    text.replace(u'.', format.decimalMark);
    return text;
}

QJsonValue textOrNull(const QString &text)
{
    return text.isEmpty() ? QJsonValue(QJsonValue::Null) : QJsonValue(text);
}

QJsonValue verdictOrNull(const std::optional<Verdict> &verdict)
{
    return verdict ? QJsonValue(verdictName(*verdict)) : QJsonValue(QJsonValue::Null);
}

QString stateText(const std::optional<InstrumentState> &state)
{
    if (!state) return QStringLiteral("no reply seen");
    QStringList flags = statusFlagNames(state->statusBits);
    return QStringLiteral("working time %1 h %2 min, temperature %3, calibrated %4, status %5")
        .arg(state->workingMinutes / 60)
        .arg(state->workingMinutes % 60)
        .arg(state->temperature ? singlePrecisionText(*state->temperature) + QStringLiteral(" °C")
                                : QStringLiteral("no reading"))
        .arg(state->calibrationDate ? state->calibrationDate->toString(Qt::ISODate)
                                    : QStringLiteral("never"))
        .arg(flags.isEmpty() ? QStringLiteral("ok") : flags.join(QStringLiteral(", ")));
}

QString standardsText(const std::vector<ReferenceStandard> &standards)
{
    QStringList list;
    for (const ReferenceStandard &s : standards)
        list << QStringLiteral("%1 (certificate %2, due %3)")
                    .arg(s.identifier, orDash(s.certificateNumber),
                         s.dueDate.isValid() ? s.dueDate.toString(Qt::ISODate)
                                             : QStringLiteral("-"));
    return list.join(QStringLiteral("; "));
}

} // namespace

QString recordsTable(const std::vector<EntrySummary> &records, const QDate &today)
{
    if (records.empty()) return QStringLiteral("no records\n");
    std::vector<QStringList> rows{{"ID", "CERTIFICATE", "TIME", "SERIAL", "KIND", "AS FOUND",
                                   "AS LEFT", "DUE", "TECHNICIAN", "BENCH", ""}};
    for (const EntrySummary &r : records)
        rows.push_back({r.id.toString(QUuid::WithoutBraces).left(8), orDash(r.certificateNumber),
                        shortTime(r.time), orDash(r.serialNumber), entryKindName(r.kind),
                        verdictWords(r.asFound), verdictWords(r.asLeft), dueText(r.dueDate, today),
                        orDash(r.technician), orDash(r.bench),
                        r.pending ? QString::fromLatin1(NotYetSharedText) : QString()});
    std::vector<qsizetype> widths(rows.front().size(), 0);
    for (const QStringList &row : rows)
        for (qsizetype i = 0; i < row.size(); ++i)
            widths[std::size_t(i)] = std::max(widths[std::size_t(i)], row[i].size());
    QString text;
    for (const QStringList &row : rows) {
        QString line;
        for (qsizetype i = 0; i < row.size(); ++i)
            line += row[i].leftJustified(widths[std::size_t(i)] + 2);
        text += line.trimmed() + u'\n';
    }
    return text;
}

QJsonObject recordsJson(const std::vector<EntrySummary> &records)
{
    QJsonArray list;
    for (const EntrySummary &r : records)
        list.append(QJsonObject{
            {"id", r.id.toString(QUuid::WithoutBraces)},
            {"certificateNumber", textOrNull(r.certificateNumber)},
            {"model", r.model},
            {"serialNumber", textOrNull(r.serialNumber)},
            {"kind", entryKindName(r.kind)},
            {"time", r.time.toString(Qt::ISODateWithMs)},
            {"bench", textOrNull(r.bench)},
            {"technician", textOrNull(r.technician)},
            {"asFound", verdictOrNull(r.asFound)},
            {"asLeft", verdictOrNull(r.asLeft)},
            {"dueDate", r.dueDate.isValid() ? QJsonValue(r.dueDate.toString(Qt::ISODate))
                                            : QJsonValue(QJsonValue::Null)},
            {"spooled", r.pending},
        });
    return {{"records", list}};
}

QString recordsCsv(const std::vector<EntrySummary> &records, const CsvFormat &format)
{
    QString text = csvLine({"id", "certificateNumber", "model", "serialNumber", "kind", "time",
                            "bench", "technician", "asFound", "asLeft", "dueDate", "spooled"},
                           format);
    for (const EntrySummary &r : records)
        text += csvLine({r.id.toString(QUuid::WithoutBraces), r.certificateNumber, r.model,
                         r.serialNumber, entryKindName(r.kind), r.time.toString(Qt::ISODateWithMs),
                         r.bench, r.technician, r.asFound ? verdictName(*r.asFound) : QString(),
                         r.asLeft ? verdictName(*r.asLeft) : QString(),
                         r.dueDate.toString(Qt::ISODate), r.pending ? "yes" : "no"},
                        format);
    return text;
}

QString recordText(const ShownEntry &shown)
{
    const CalibrationEntry &e = shown.entry;
    QStringList lines;
    const auto line = [&](const char *name, const QString &value) {
        lines << QStringLiteral("%1 %2").arg(QLatin1String(name), -17).arg(value);
    };
    line("Record", e.id.toString(QUuid::WithoutBraces));
    line("Certificate",
         orDash(e.certificateNumber) +
             (shown.spooled ? QStringLiteral(" (%1)").arg(QLatin1String(NotYetSharedText))
                            : QString()));
    line("Unit", QStringLiteral("%1, serial number %2").arg(e.model, orDash(e.serialNumber)));
    line("Kind", entryKindName(e.kind));
    line("Time", longTime(e.time));
    line("Bench", QStringLiteral("%1, port %2").arg(orDash(e.bench), orDash(e.port)));
    line("Firmware", orDash(e.firmware));
    line("Program", QStringLiteral("kx4720r-config %1").arg(orDash(e.programVersion)));
    line("Technician", orDash(e.technician));
    line("Approver", orDash(e.approver));
    if (e.ambientTemperature || e.relativeHumidity)
        line("Ambient", QStringLiteral("%1 °C, %2 %RH")
                            .arg(e.ambientTemperature ? numberAsGiven(*e.ambientTemperature)
                                                      : QStringLiteral("-"),
                                 e.relativeHumidity ? numberAsGiven(*e.relativeHumidity)
                                                    : QStringLiteral("-")));
    line("Standards", e.standards.empty() ? QStringLiteral("-") : standardsText(e.standards));
    line("As found", stateText(e.asFound));
    line("As left", stateText(e.asLeft));
    for (const InputPointValue &p : e.inputPoints)
        line("Stored input", QStringLiteral("%1 = %2 (%3)").arg(p.name).arg(p.reading).arg(p.step));
    for (const OutputPointValue &p : e.outputPoints)
        line("Stored output",
             QStringLiteral("%1 = PWM %2 (%3)").arg(p.name).arg(p.pwm).arg(p.target));
    for (const OutputTestPoint &p : e.testPoints)
        line("Test point", QStringLiteral("%1 at PWM %2").arg(p.name).arg(p.pwm));
    for (const Verification &v : e.verifications) {
        line("Verification",
             QStringLiteral("%1 %2, %3, tolerance ±%4 % of span, guard band %5 %: %6")
                 .arg(v.phase == VerificationPhase::AsFound ? QStringLiteral("as found")
                                                            : QStringLiteral("as left"),
                      sideName(v.side), longTime(v.time), numberAsGiven(v.tolerancePercentOfSpan),
                      numberAsGiven(v.guardBandPercentOfSpan), verdictWords(v.verdict())));
        for (const VerificationPoint &p : v.points)
            lines << QStringLiteral("  %1: applied %2 %6, reading %3 %6, error %4 %6 (%5 % of "
                                    "span), %7")
                         .arg(orDash(p.point), numberAsGiven(p.applied), numberAsGiven(p.reading),
                              numberAsGiven(p.error), numberAsGiven(p.errorPercentOfSpan), v.unit,
                              verdictWords(p.verdict));
    }
    line("Due", e.dueDate.isValid() ? e.dueDate.toString(Qt::ISODate) : QStringLiteral("-"));
    return lines.join(u'\n') + u'\n';
}

QJsonObject recordJson(const ShownEntry &shown)
{
    QJsonObject object = entryToJson(shown.entry);
    object[QStringLiteral("spooled")] = shown.spooled;
    return object;
}

QString exportCsv(const std::vector<ShownEntry> &entries, const CsvFormat &format)
{
    QString text = csvLine({"id", "certificateNumber", "model", "serialNumber", "kind", "time",
                            "bench", "port", "firmware", "programVersion", "technician", "approver",
                            "asFound", "asLeft", "dueDate", "standards", "ambientTemperature",
                            "relativeHumidity", "spooled"},
                           format);
    for (const ShownEntry &shown : entries) {
        const CalibrationEntry &e = shown.entry;
        const std::optional<Verdict> found = e.verdict(VerificationPhase::AsFound);
        const std::optional<Verdict> left = e.verdict(VerificationPhase::AsLeft);
        text += csvLine({e.id.toString(QUuid::WithoutBraces), e.certificateNumber, e.model,
                         e.serialNumber, entryKindName(e.kind), e.time.toString(Qt::ISODateWithMs),
                         e.bench, e.port, e.firmware, e.programVersion, e.technician, e.approver,
                         found ? verdictName(*found) : QString(),
                         left ? verdictName(*left) : QString(), e.dueDate.toString(Qt::ISODate),
                         standardsText(e.standards), csvNumber(e.ambientTemperature, format),
                         csvNumber(e.relativeHumidity, format), shown.spooled ? "yes" : "no"},
                        format);
    }
    return text;
}

} // namespace cli
