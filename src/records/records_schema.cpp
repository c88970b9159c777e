// The schema of the calibration records, version by version.
#include "records/records_schema.h"

namespace {

// Tables both databases have; the types differ. Times are kept in UTC
// (with the bench's offset beside them, so a record shows the bench's clock),
// text ISO 8601 on SQLite.
QStringList commonTables(bool postgres)
{
    const QString key =
        postgres ? QStringLiteral("BIGSERIAL PRIMARY KEY") : QStringLiteral("INTEGER PRIMARY KEY");
    const QString time = postgres ? QStringLiteral("TIMESTAMPTZ") : QStringLiteral("TEXT");
    const QString date = postgres ? QStringLiteral("DATE") : QStringLiteral("TEXT");
    const QString real = postgres ? QStringLiteral("DOUBLE PRECISION") : QStringLiteral("REAL");
    const QString uuid = postgres ? QStringLiteral("UUID") : QStringLiteral("TEXT");
    const QString ref = postgres ? QStringLiteral("BIGINT") : QStringLiteral("INTEGER");
    return {
        QStringLiteral("CREATE TABLE units ("
                       " id %1,"
                       " model TEXT NOT NULL,"
                       " serial_number TEXT NOT NULL,"
                       // The due date comes from the unit's latest calibration
                       // that gives one; due_from orders them (time, then UUID).
                       " due_date %2,"
                       " due_from TEXT,"
                       " due_calibration %3,"
                       " UNIQUE (model, serial_number))")
            .arg(key, date, ref),
        QStringLiteral("CREATE INDEX units_due_date ON units (due_date)"),
        QStringLiteral("CREATE TABLE calibrations ("
                       " id %1,"
                       " uuid %2 NOT NULL UNIQUE,"
                       " certificate_number TEXT UNIQUE,"
                       " unit_id %3 REFERENCES units (id),"
                       " kind TEXT NOT NULL CHECK (kind IN ('input', 'output', 'verification')),"
                       " performed_at %4 NOT NULL,"
                       " utc_offset INTEGER NOT NULL,"
                       " bench TEXT, port TEXT, firmware TEXT, program_version TEXT,"
                       " technician TEXT, approver TEXT,"
                       " ambient_temperature %5, relative_humidity %5,"
                       " due_date %6,"
                       " as_found_verdict TEXT, as_left_verdict TEXT,"
                       " stored_at %4 NOT NULL)")
            .arg(key, uuid, ref, time, real, date),
        QStringLiteral("CREATE INDEX calibrations_unit ON calibrations (unit_id, performed_at)"),
        QStringLiteral("CREATE INDEX calibrations_time ON calibrations (performed_at)"),
        QStringLiteral("CREATE TABLE instrument_states ("
                       " calibration_id %1 NOT NULL REFERENCES calibrations (id),"
                       " phase TEXT NOT NULL CHECK (phase IN ('asFound', 'asLeft')),"
                       " working_minutes BIGINT NOT NULL,"
                       " temperature %2,"
                       " calibration_date %3,"
                       " status_bits INTEGER NOT NULL,"
                       " PRIMARY KEY (calibration_id, phase))")
            .arg(ref, real, date),
        // The values stored in the instrument: the input points, the output
        // points, the output's test points.
        QStringLiteral("CREATE TABLE stored_points ("
                       " calibration_id %1 NOT NULL REFERENCES calibrations (id),"
                       " list TEXT NOT NULL CHECK (list IN ('input', 'output', 'test')),"
                       " position INTEGER NOT NULL,"
                       " name TEXT NOT NULL,"
                       " label TEXT,"
                       " value BIGINT NOT NULL,"
                       " PRIMARY KEY (calibration_id, list, position))")
            .arg(ref),
        QStringLiteral("CREATE TABLE verifications ("
                       " calibration_id %1 NOT NULL REFERENCES calibrations (id),"
                       " position INTEGER NOT NULL,"
                       " phase TEXT NOT NULL CHECK (phase IN ('asFound', 'asLeft')),"
                       " side TEXT NOT NULL CHECK (side IN ('input', 'output')),"
                       " performed_at %2 NOT NULL,"
                       " utc_offset INTEGER NOT NULL,"
                       " unit TEXT,"
                       " tolerance_pct %3 NOT NULL,"
                       " guard_band_pct %3 NOT NULL,"
                       " verdict TEXT,"
                       " PRIMARY KEY (calibration_id, position))")
            .arg(ref, time, real),
        QStringLiteral("CREATE TABLE verification_points ("
                       " calibration_id %1 NOT NULL,"
                       " verification INTEGER NOT NULL,"
                       " position INTEGER NOT NULL,"
                       " point TEXT,"
                       " applied %2 NOT NULL, reading %2 NOT NULL,"
                       " error %2 NOT NULL, error_pct_span %2 NOT NULL,"
                       " verdict TEXT NOT NULL"
                       "  CHECK (verdict IN ('pass', 'passWithinGuardBand', 'fail')),"
                       " PRIMARY KEY (calibration_id, verification, position),"
                       " FOREIGN KEY (calibration_id, verification)"
                       "  REFERENCES verifications (calibration_id, position))")
            .arg(ref, real),
        QStringLiteral("CREATE TABLE reference_standards ("
                       " id %1,"
                       " identifier TEXT NOT NULL UNIQUE,"
                       " description TEXT,"
                       " certificate_number TEXT,"
                       " due_date %2)")
            .arg(key, date),
        // A standard as it stood when it was used: its certificate is
        // renewed, the calibration stays traceable to the one then valid.
        QStringLiteral("CREATE TABLE standards_used ("
                       " calibration_id %1 NOT NULL REFERENCES calibrations (id),"
                       " standard_id %1 NOT NULL REFERENCES reference_standards (id),"
                       " position INTEGER NOT NULL,"
                       " certificate_number TEXT,"
                       " due_date %2,"
                       " PRIMARY KEY (calibration_id, standard_id))")
            .arg(ref, date),
    };
}

Migration firstSchema()
{
    Migration m;
    m.version = 1;
    m.postgres = commonTables(true);
    // Certificate numbers of the shared records: one sequence for every bench.
    m.postgres << QStringLiteral("CREATE SEQUENCE certificate_numbers");
    m.sqlite = commonTables(false);
    m.sqlite
        // The bench's own certificate numbers, never given twice.
        << QStringLiteral("CREATE TABLE counters (name TEXT PRIMARY KEY, next_value INTEGER NOT "
                          "NULL)")
        << QStringLiteral("INSERT INTO counters VALUES ('certificate', 0)")
        // Records for the shared database that could not be sent yet, in
        // the order they were made.
        << QStringLiteral("CREATE TABLE spool (seq INTEGER PRIMARY KEY AUTOINCREMENT, uuid TEXT "
                          "NOT NULL UNIQUE, entry TEXT NOT NULL, queued_at TEXT NOT NULL, "
                          "last_error TEXT)")
        // How far the calibration log has been imported.
        << QStringLiteral("CREATE TABLE log_imports (path TEXT PRIMARY KEY, file_id TEXT NOT "
                          "NULL, imported_bytes INTEGER NOT NULL, imported_lines INTEGER NOT "
                          "NULL)");
    return m;
}

const std::vector<Migration> &migrations()
{
    static const std::vector<Migration> all{firstSchema()};
    return all;
}

bool lockSchema(SqlConnection &db)
{
    if (db.dialect() == SqlDialect::SQLite) return true; // BEGIN IMMEDIATE holds the write lock
    // A constant key of ours: two benches migrating a new database take turns.
    return db.execute(QStringLiteral("SELECT pg_advisory_xact_lock(4720310001)"));
}

bool createVersionTable(SqlConnection &db)
{
    return db.execute(
        QStringLiteral("CREATE TABLE IF NOT EXISTS schema_version (version INTEGER NOT NULL)"));
}

} // namespace

std::span<const Migration> recordsMigrations()
{
    return migrations();
}

std::optional<int> schemaVersion(SqlConnection &db)
{
    const auto rows = db.select(QStringLiteral("SELECT MAX(version) FROM schema_version"));
    if (!rows) return std::nullopt;
    return rows->empty() || rows->front().value(0).isNull() ? 0 : rows->front().value(0).toInt();
}

bool migrate(SqlConnection &db, std::span<const Migration> migrations, QString &error)
{
    const int latest = migrations.empty() ? 0 : migrations.back().version;
    for (;;) {
        if (!db.begin() || !lockSchema(db) || !createVersionTable(db)) {
            error = db.lastError();
            db.rollback();
            return false;
        }
        const std::optional<int> version = schemaVersion(db);
        if (!version) {
            error = db.lastError();
            db.rollback();
            return false;
        }
        if (*version > latest) {
            db.rollback();
            error = QStringLiteral("%1 holds records of a newer program (schema %2; this program "
                                   "knows up to %3): update this program")
                        .arg(db.name())
                        .arg(*version)
                        .arg(latest);
            return false;
        }
        const Migration *next = nullptr;
        for (const Migration &m : migrations)
            if (m.version > *version) {
                next = &m;
                break;
            }
        if (!next) {
            if (db.commit()) return true;
            error = db.lastError();
            db.rollback();
            return false;
        }
        const QStringList &statements =
            db.dialect() == SqlDialect::SQLite ? next->sqlite : next->postgres;
        bool ok = true;
        for (const QString &statement : statements)
            if (!(ok = db.execute(statement))) break;
        ok = ok && db.change(QStringLiteral("DELETE FROM schema_version")) &&
             db.change(QStringLiteral("INSERT INTO schema_version (version) VALUES (?)"),
                       {next->version}) &&
             db.commit();
        if (!ok) {
            error = QStringLiteral("migration %1 of %2 failed: %3")
                        .arg(next->version)
                        .arg(db.name(), db.lastError());
            db.rollback();
            return false;
        }
    }
}
