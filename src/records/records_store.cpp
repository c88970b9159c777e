// Storing and reading calibration records.
#include "records/records_store.h"

#include "records/records_place.h"
#include "records/records_schema.h"

#include <QRegularExpression>

namespace {

using Rows = SqlConnection::Rows;

QVariant text(const QString &value)
{
    return SqlConnection::textValue(value);
}

QVariant number(const std::optional<double> &value)
{
    return value ? QVariant(*value) : QVariant(QMetaType(QMetaType::Double));
}

QVariant verdict(const std::optional<Verdict> &value)
{
    return value ? QVariant(verdictName(*value)) : text({});
}

// Orders a unit's calibrations for its due date: by time, then by UUID, so
// two made in the same millisecond still have an order every bench agrees on.
QString dueOrder(const CalibrationEntry &entry)
{
    return SqlConnection::timeValue(entry.time).toString() + u'|' +
           entry.id.toString(QUuid::WithoutBraces);
}

QUuid uuidFrom(const QVariant &value)
{
    return QUuid::fromString(value.toString());
}

const QString SummaryColumns = QStringLiteral(
    "SELECT c.uuid, c.certificate_number, u.model, u.serial_number, c.kind, c.performed_at, "
    "c.utc_offset, c.bench, c.technician, c.as_found_verdict, c.as_left_verdict, c.due_date ");

EntrySummary summaryFrom(const QVariantList &row)
{
    EntrySummary s;
    s.id = uuidFrom(row[0]);
    s.certificateNumber = row[1].toString();
    s.model = row[2].isNull() ? QString::fromLatin1(InstrumentModelName) : row[2].toString();
    s.serialNumber = row[3].toString();
    s.kind = entryKindFromName(row[4].toString()).value_or(EntryKind::Verification);
    s.time = SqlConnection::timeFrom(row[5], row[6].toInt());
    s.bench = row[7].toString();
    s.technician = row[8].toString();
    s.asFound = verdictFromName(row[9].toString());
    s.asLeft = verdictFromName(row[10].toString());
    s.dueDate = SqlConnection::dateFrom(row[11]);
    return s;
}

std::optional<InstrumentState> stateFrom(const QVariantList &row)
{
    InstrumentState state;
    state.workingMinutes = quint32(row[1].toLongLong());
    if (!row[2].isNull()) state.temperature = row[2].toDouble();
    if (const QDate date = SqlConnection::dateFrom(row[3]); date.isValid())
        state.calibrationDate = date;
    state.statusBits = quint8(row[4].toInt());
    return state;
}

} // namespace

RecordsStore::RecordsStore(std::unique_ptr<SqlConnection> db, QString bench)
    : m_db(std::move(db)), m_bench(std::move(bench))
{
}

RecordsStore::~RecordsStore() = default;

const QString &RecordsStore::error() const
{
    return m_db->lastError();
}

std::unique_ptr<RecordsStore> RecordsStore::open(std::unique_ptr<SqlConnection> db, QString bench,
                                                 QString &error)
{
    if (!migrate(*db, recordsMigrations(), error)) return nullptr;
    return std::unique_ptr<RecordsStore>(new RecordsStore(std::move(db), std::move(bench)));
}

RecordsStore::Outcome RecordsStore::store(CalibrationEntry &entry, Numbering numbering)
{
    std::vector<CalibrationEntry> one{entry};
    const Outcome outcome = storeAll(one, numbering).front();
    // The number drawn stays with the entry even when the commit failed.
    entry.certificateNumber = one.front().certificateNumber;
    return outcome;
}

std::vector<RecordsStore::Outcome> RecordsStore::storeAll(std::vector<CalibrationEntry> &entries,
                                                          Numbering numbering)
{
    std::vector<Outcome> outcomes;
    const auto failed = [&] {
        m_db->rollback();
        return std::vector<Outcome>(std::max<std::size_t>(entries.size(), 1));
    };
    if (!m_db->begin()) return failed();
    for (CalibrationEntry &entry : entries) {
        const std::optional<Outcome> outcome = storeInTransaction(entry, numbering);
        if (!outcome) return failed();
        outcomes.push_back(*outcome);
    }
    if (!m_db->commit()) return failed();
    return outcomes;
}

std::optional<QString> RecordsStore::nextCertificateNumber()
{
    if (m_db->dialect() == SqlDialect::PostgreSQL) {
        const auto rows = m_db->select(QStringLiteral("SELECT nextval('certificate_numbers')"));
        if (!rows || rows->empty()) return std::nullopt;
        return QStringLiteral("%1").arg(rows->front().value(0).toLongLong(), 6, 10,
                                        QLatin1Char('0'));
    }
    const auto rows =
        m_db->select(QStringLiteral("UPDATE counters SET next_value = next_value + 1 WHERE name = "
                                    "'certificate' RETURNING next_value"));
    if (!rows || rows->empty()) return std::nullopt;
    return QStringLiteral("%1-%2")
        .arg(benchPrefix(m_bench))
        .arg(rows->front().value(0).toLongLong(), 6, 10, QLatin1Char('0'));
}

std::optional<RecordsStore::Outcome> RecordsStore::storeInTransaction(CalibrationEntry &entry,
                                                                      Numbering numbering)
{
    if (numbering == Numbering::Assign && entry.certificateNumber.isEmpty()) {
        const std::optional<QString> number = nextCertificateNumber();
        if (!number) return std::nullopt;
        entry.certificateNumber = *number;
    }
    QVariant unit{QMetaType(QMetaType::LongLong)}; // NULL: the record names no unit
    if (!entry.serialNumber.isEmpty()) {
        const std::optional<QVariant> id = unitId(entry.model, entry.serialNumber);
        if (!id) return std::nullopt;
        unit = *id;
    }
    const std::optional<QVariant> id = insertEntry(entry, unit);
    if (!id) return std::nullopt;
    if (!id->isValid()) return keptAlready(entry, unit);
    if (!insertDetails(entry, *id) || (!unit.isNull() && !updateDue(unit, *id, entry)))
        return std::nullopt;
    return Outcome{Outcome::Kind::Stored, entry.certificateNumber, {}};
}

std::optional<RecordsStore::Outcome> RecordsStore::keptAlready(CalibrationEntry &entry,
                                                               const QVariant &unit)
{
    using Kind = Outcome::Kind;
    const auto existing = m_db->select(
        QStringLiteral("SELECT c.id, c.certificate_number, u.serial_number FROM calibrations c "
                       "LEFT JOIN units u ON u.id = c.unit_id WHERE c.uuid = ?"),
        {entry.id.toString(QUuid::WithoutBraces)});
    if (!existing || existing->empty()) return std::nullopt;
    const QVariantList &row = existing->front();
    Outcome outcome{Kind::AlreadyThere, row[1].toString(), {}};
    entry.certificateNumber = outcome.certificateNumber;
    const QString kept = row[2].toString();
    if (entry.serialNumber.isEmpty() || kept == entry.serialNumber) return outcome;
    if (!kept.isEmpty()) return Outcome{Kind::OtherUnit, outcome.certificateNumber, kept};
    // A record kept without its unit (a calibration logged before its
    // report) learns which unit it belongs to.
    if (!m_db->change(QStringLiteral("UPDATE calibrations SET unit_id = ?, technician = "
                                     "COALESCE(technician, ?) WHERE id = ?"),
                      {unit, text(entry.technician), row[0]}) ||
        !updateDue(unit, row[0], entry))
        return std::nullopt;
    outcome.kind = Kind::Attached;
    return outcome;
}

std::optional<QVariant> RecordsStore::unitId(const QString &model, const QString &serialNumber)
{
    // Made once however many benches name it at the same moment: the second
    // waits for the first and takes its row.
    const auto rows = m_db->select(
        QStringLiteral("INSERT INTO units (model, serial_number) VALUES (?, ?) ON CONFLICT "
                       "(model, serial_number) DO UPDATE SET model = excluded.model RETURNING id"),
        {model, serialNumber});
    if (!rows || rows->empty()) return std::nullopt;
    return rows->front().value(0);
}

bool RecordsStore::updateDue(const QVariant &unitId, const QVariant &calibrationId,
                             const CalibrationEntry &entry)
{
    if (!entry.dueDate.isValid()) return true;
    // One statement: a bench that commits later with an older calibration
    // leaves the newer one's due date in place (the row lock makes the
    // second bench see the first's value before it compares).
    const QString order = dueOrder(entry);
    return m_db->change(
        QStringLiteral("UPDATE units SET due_date = ?, due_from = ?, "
                       "due_calibration = ? WHERE id = ? AND (due_from IS NULL OR "
                       "due_from < ?)"),
        {SqlConnection::dateValue(entry.dueDate), order, calibrationId, unitId, order});
}

bool RecordsStore::insertRows(const QString &table, const QStringList &columns,
                              const std::vector<QVariantList> &rows)
{
    if (rows.empty()) return true;
    const QString one = u'(' + QStringList(columns.size(), QStringLiteral("?")).join(u',') + u')';
    QVariantList values;
    for (const QVariantList &row : rows)
        values += row;
    return m_db->change(QStringLiteral("INSERT INTO %1 (%2) VALUES %3")
                            .arg(table, columns.join(QStringLiteral(", ")),
                                 QStringList(qsizetype(rows.size()), one).join(u',')),
                        values);
}

std::optional<QVariant> RecordsStore::insertEntry(const CalibrationEntry &e, const QVariant &unitId)
{
    // A record kept already (sent again after a lost answer, imported
    // twice) is left as it is: no row comes back.
    const auto inserted = m_db->select(
        QStringLiteral(
            "INSERT INTO calibrations (uuid, certificate_number, unit_id, kind, performed_at, "
            "utc_offset, bench, port, firmware, program_version, technician, approver, "
            "ambient_temperature, relative_humidity, due_date, as_found_verdict, as_left_verdict, "
            "stored_at) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?) ON CONFLICT "
            "(uuid) DO NOTHING RETURNING id"),
        {e.id.toString(QUuid::WithoutBraces), text(e.certificateNumber), unitId,
         entryKindName(e.kind), SqlConnection::timeValue(e.time), e.time.offsetFromUtc(),
         text(e.bench), text(e.port), text(e.firmware), text(e.programVersion), text(e.technician),
         text(e.approver), number(e.ambientTemperature), number(e.relativeHumidity),
         SqlConnection::dateValue(e.dueDate), verdict(e.verdict(VerificationPhase::AsFound)),
         verdict(e.verdict(VerificationPhase::AsLeft)),
         SqlConnection::timeValue(QDateTime::currentDateTimeUtc())});
    if (!inserted) return std::nullopt;
    return inserted->empty() ? QVariant() : inserted->front().value(0);
}

bool RecordsStore::insertDetails(const CalibrationEntry &e, const QVariant &id)
{
    std::vector<QVariantList> states;
    for (const auto &[phase, state] : {std::pair{QStringLiteral("asFound"), e.asFound},
                                       std::pair{QStringLiteral("asLeft"), e.asLeft}})
        if (state)
            states.push_back({id, phase, qint64(state->workingMinutes), number(state->temperature),
                              SqlConnection::dateValue(state->calibrationDate.value_or(QDate())),
                              int(state->statusBits)});
    std::vector<QVariantList> points;
    for (const InputPointValue &p : e.inputPoints)
        points.push_back({id, QStringLiteral("input"), int(points.size()), p.name, text(p.step),
                          qint64(p.reading)});
    for (const OutputPointValue &p : e.outputPoints)
        points.push_back({id, QStringLiteral("output"), int(points.size()), p.name, text(p.target),
                          qint64(p.pwm)});
    for (const OutputTestPoint &p : e.testPoints)
        points.push_back(
            {id, QStringLiteral("test"), int(points.size()), p.name, text({}), qint64(p.pwm)});
    if (!insertRows(QStringLiteral("instrument_states"),
                    {"calibration_id", "phase", "working_minutes", "temperature",
                     "calibration_date", "status_bits"},
                    states) ||
        !insertRows(QStringLiteral("stored_points"),
                    {"calibration_id", "list", "position", "name", "label", "value"}, points))
        return false;

    std::vector<QVariantList> verifications;
    std::vector<QVariantList> results;
    for (const Verification &v : e.verifications) {
        const int position = int(verifications.size());
        verifications.push_back({id, position, phaseName(v.phase), sideName(v.side),
                                 SqlConnection::timeValue(v.time), v.time.offsetFromUtc(),
                                 text(v.unit), v.tolerancePercentOfSpan, v.guardBandPercentOfSpan,
                                 verdict(v.verdict())});
        for (std::size_t p = 0; p < v.points.size(); ++p) {
            const VerificationPoint &point = v.points[p];
            results.push_back({id, position, int(p), text(point.point), point.applied,
                               point.reading, point.error, point.errorPercentOfSpan,
                               verdictName(point.verdict)});
        }
    }
    if (!insertRows(QStringLiteral("verifications"),
                    {"calibration_id", "position", "phase", "side", "performed_at", "utc_offset",
                     "unit", "tolerance_pct", "guard_band_pct", "verdict"},
                    verifications) ||
        !insertRows(QStringLiteral("verification_points"),
                    {"calibration_id", "verification", "position", "point", "applied", "reading",
                     "error", "error_pct_span", "verdict"},
                    results))
        return false;
    for (std::size_t i = 0; i < e.standards.size(); ++i) {
        const ReferenceStandard &s = e.standards[i];
        // A standard not yet in the list joins it as it was used.
        const auto standard = m_db->select(
            QStringLiteral("INSERT INTO reference_standards (identifier, description, "
                           "certificate_number, due_date) VALUES (?, ?, ?, ?) ON CONFLICT "
                           "(identifier) DO UPDATE SET identifier = excluded.identifier "
                           "RETURNING id"),
            {s.identifier, text(s.description), text(s.certificateNumber),
             SqlConnection::dateValue(s.dueDate)});
        if (!standard || standard->empty() ||
            !m_db->change(QStringLiteral("INSERT INTO standards_used (calibration_id, "
                                         "standard_id, position, certificate_number, due_date) "
                                         "VALUES (?, ?, ?, ?, ?)"),
                          {id, standard->front().value(0), int(i), text(s.certificateNumber),
                           SqlConnection::dateValue(s.dueDate)}))
            return false;
    }
    return true;
}

std::optional<CalibrationEntry> RecordsStore::entry(const QUuid &uuid)
{
    const auto rows = m_db->select(
        QStringLiteral("SELECT c.id, c.uuid, c.certificate_number, u.model, u.serial_number, "
                       "c.kind, c.performed_at, c.utc_offset, c.bench, c.port, c.firmware, "
                       "c.program_version, c.technician, c.approver, c.ambient_temperature, "
                       "c.relative_humidity, c.due_date FROM calibrations c LEFT JOIN units u ON "
                       "u.id = c.unit_id WHERE c.uuid = ?"),
        {uuid.toString(QUuid::WithoutBraces)});
    if (!rows || rows->empty()) return std::nullopt;
    const QVariantList &r = rows->front();
    CalibrationEntry e;
    e.id = uuidFrom(r[1]);
    e.certificateNumber = r[2].toString();
    if (!r[3].isNull()) e.model = r[3].toString();
    e.serialNumber = r[4].toString();
    e.kind = entryKindFromName(r[5].toString()).value_or(EntryKind::Verification);
    e.time = SqlConnection::timeFrom(r[6], r[7].toInt());
    e.bench = r[8].toString();
    e.port = r[9].toString();
    e.firmware = r[10].toString();
    e.programVersion = r[11].toString();
    e.technician = r[12].toString();
    e.approver = r[13].toString();
    if (!r[14].isNull()) e.ambientTemperature = r[14].toDouble();
    if (!r[15].isNull()) e.relativeHumidity = r[15].toDouble();
    e.dueDate = SqlConnection::dateFrom(r[16]);
    if (!readDetails(r[0], e)) return std::nullopt;
    return e;
}

bool RecordsStore::readDetails(const QVariant &id, CalibrationEntry &e)
{
    const auto states = m_db->select(
        QStringLiteral("SELECT phase, working_minutes, temperature, calibration_date, status_bits "
                       "FROM instrument_states WHERE calibration_id = ?"),
        {id});
    const auto points = m_db->select(QStringLiteral("SELECT list, name, label, value FROM "
                                                    "stored_points WHERE calibration_id = ? "
                                                    "ORDER BY position"),
                                     {id});
    const auto verifications = m_db->select(
        QStringLiteral("SELECT phase, side, performed_at, utc_offset, unit, tolerance_pct, "
                       "guard_band_pct FROM verifications WHERE calibration_id = ? ORDER BY "
                       "position"),
        {id});
    const auto results = m_db->select(
        QStringLiteral("SELECT verification, point, applied, reading, error, error_pct_span, "
                       "verdict FROM verification_points WHERE calibration_id = ? ORDER BY "
                       "verification, position"),
        {id});
    const auto standards = m_db->select(
        QStringLiteral("SELECT s.identifier, s.description, u.certificate_number, u.due_date FROM "
                       "standards_used u JOIN reference_standards s ON s.id = u.standard_id WHERE "
                       "u.calibration_id = ? ORDER BY u.position"),
        {id});
    if (!states || !points || !verifications || !results || !standards) return false;
    for (const QVariantList &row : *states)
        (row[0].toString() == u"asFound" ? e.asFound : e.asLeft) = stateFrom(row);
    for (const QVariantList &row : *points) {
        const QString list = row[0].toString();
        if (list == u"input")
            e.inputPoints.push_back(
                {row[1].toString(), row[2].toString(), qint32(row[3].toLongLong())});
        else if (list == u"output")
            e.outputPoints.push_back(
                {row[1].toString(), row[2].toString(), int(row[3].toLongLong())});
        else
            e.testPoints.push_back({row[1].toString(), int(row[3].toLongLong())});
    }
    for (const QVariantList &row : *verifications) {
        Verification v;
        v.phase = phaseFromName(row[0].toString()).value_or(VerificationPhase::AsFound);
        v.side = sideFromName(row[1].toString()).value_or(VerificationSide::Input);
        v.time = SqlConnection::timeFrom(row[2], row[3].toInt());
        v.unit = row[4].toString();
        v.tolerancePercentOfSpan = row[5].toDouble();
        v.guardBandPercentOfSpan = row[6].toDouble();
        e.verifications.push_back(std::move(v));
    }
    for (const QVariantList &p : *results) {
        const std::size_t verification = std::size_t(p[0].toInt());
        if (verification >= e.verifications.size()) continue;
        e.verifications[verification].points.push_back(
            {p[1].toString(), p[2].toDouble(), p[3].toDouble(), p[4].toDouble(), p[5].toDouble(),
             verdictFromName(p[6].toString()).value_or(Verdict::Fail)});
    }
    for (const QVariantList &row : *standards)
        e.standards.push_back({row[0].toString(), row[1].toString(), row[2].toString(),
                               SqlConnection::dateFrom(row[3])});
    return true;
}

std::optional<std::vector<QUuid>> RecordsStore::find(const QString &key)
{
    const QString wanted = key.trimmed();
    std::optional<Rows> rows;
    static const QRegularExpression uuidStart(QStringLiteral("^[0-9a-fA-F]{4}[0-9a-fA-F-]*$"));
    if (uuidStart.match(wanted).hasMatch())
        rows = m_db->select(QStringLiteral("SELECT uuid FROM calibrations WHERE "
                                           "certificate_number = ? OR CAST(uuid AS TEXT) LIKE ?"),
                            {wanted, wanted.toLower() + u'%'});
    else
        rows = m_db->select(
            QStringLiteral("SELECT uuid FROM calibrations WHERE certificate_number = ?"), {wanted});
    if (!rows) return std::nullopt;
    std::vector<QUuid> found;
    for (const QVariantList &row : *rows)
        found.push_back(uuidFrom(row[0]));
    return found;
}

std::optional<std::vector<EntrySummary>> RecordsStore::summaries(const QString &sql,
                                                                 const QVariantList &values)
{
    const auto rows = m_db->select(SummaryColumns + sql, values);
    if (!rows) return std::nullopt;
    std::vector<EntrySummary> list;
    list.reserve(rows->size());
    for (const QVariantList &row : *rows)
        list.push_back(summaryFrom(row));
    return list;
}

std::optional<std::vector<EntrySummary>> RecordsStore::list(const Filter &filter)
{
    QStringList where;
    QVariantList values;
    if (!filter.serialNumber.isEmpty()) {
        where << QStringLiteral("u.serial_number = ?");
        values << filter.serialNumber;
    }
    if (filter.since.isValid()) {
        where << QStringLiteral("c.performed_at >= ?");
        values << SqlConnection::timeValue(filter.since);
    }
    return summaries(QStringLiteral("FROM calibrations c LEFT JOIN units u ON u.id = c.unit_id %1 "
                                    "ORDER BY c.performed_at DESC, c.uuid DESC")
                         .arg(where.isEmpty()
                                  ? QString()
                                  : QStringLiteral("WHERE ") + where.join(QStringLiteral(" AND "))),
                     values);
}

std::optional<std::vector<EntrySummary>> RecordsStore::history(const QString &model,
                                                               const QString &serialNumber)
{
    return summaries(QStringLiteral("FROM units u JOIN calibrations c ON c.unit_id = u.id WHERE "
                                    "u.model = ? AND u.serial_number = ? ORDER BY c.performed_at "
                                    "DESC, c.uuid DESC"),
                     {model, serialNumber});
}

std::optional<std::vector<EntrySummary>> RecordsStore::dueBy(const QDate &date)
{
    return summaries(QStringLiteral("FROM units u JOIN calibrations c ON c.id = u.due_calibration "
                                    "WHERE u.due_date <= ? ORDER BY u.due_date, u.serial_number"),
                     {SqlConnection::dateValue(date)});
}

bool RecordsStore::saveStandard(const ReferenceStandard &s)
{
    return m_db->change(
        QStringLiteral("INSERT INTO reference_standards (identifier, description, "
                       "certificate_number, due_date) VALUES (?, ?, ?, ?) ON CONFLICT (identifier) "
                       "DO UPDATE SET description = excluded.description, certificate_number = "
                       "excluded.certificate_number, due_date = excluded.due_date"),
        {s.identifier, text(s.description), text(s.certificateNumber),
         SqlConnection::dateValue(s.dueDate)});
}

std::optional<std::vector<ReferenceStandard>> RecordsStore::standards()
{
    const auto rows = m_db->select(QStringLiteral(
        "SELECT identifier, description, certificate_number, due_date FROM reference_standards "
        "ORDER BY identifier"));
    if (!rows) return std::nullopt;
    std::vector<ReferenceStandard> list;
    for (const QVariantList &row : *rows)
        list.push_back({row[0].toString(), row[1].toString(), row[2].toString(),
                        SqlConnection::dateFrom(row[3])});
    return list;
}
