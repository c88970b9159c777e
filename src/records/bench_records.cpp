// The bench's records: its own database, the shared one, the spool between
// them, and the import of JSON-lines files.
#include "records/bench_records.h"

#include "records/entry_json.h"
#include "records/sql_connection.h"

#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>

#include <sys/stat.h>

#include <algorithm>
#include <set>

namespace {

using Kind = RecordsStore::Outcome::Kind;

// Far beyond any calibration log; keeps a wrong file from filling the memory.
constexpr qint64 MaxImportBytes = qint64(1) << 30;
// Records stored per transaction while importing.
constexpr std::size_t ImportBatch = 500;

// Which file stands at the path: a log replaced by another is read anew.
QString fileIdentity(const QString &path)
{
    struct stat status {};
    if (::stat(QFile::encodeName(path).constData(), &status) != 0) return {};
    return QStringLiteral("%1:%2").arg(status.st_dev).arg(status.st_ino);
}

QString timeText(const QDateTime &time)
{
    return time.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

} // namespace

BenchRecords::BenchRecords(RecordsPlace place) : m_place(std::move(place)) {}

BenchRecords::~BenchRecords() = default;

bool BenchRecords::open()
{
    std::unique_ptr<SqlConnection> db =
        SqlConnection::openSqlite(m_place.localDatabasePath(), m_error);
    if (!db) return false;
    m_local = RecordsStore::open(std::move(db), m_place.bench, m_error);
    if (!m_local) return false;
    // Unreachable shared records are the caller's to report when it needs them.
    if (m_place.shared && !records()) return true;
    const Delivery delivery = deliverSpool();
    if (!delivery.error.isEmpty()) m_notes << delivery.error;
    const Import log = importLog();
    m_notes += log.notes;
    if (!log.error.isEmpty()) m_notes << log.error;
    return true;
}

RecordsStore *BenchRecords::records()
{
    if (!m_place.shared) return m_local.get();
    if (m_shared) return m_shared.get();
    std::unique_ptr<SqlConnection> db = SqlConnection::openPostgres(*m_place.shared, m_error);
    if (db) m_shared = RecordsStore::open(std::move(db), m_place.bench, m_error);
    return m_shared.get();
}

void BenchRecords::dropSharedIfGone()
{
    // The server stopped or the network went: connect anew next time.
    if (m_shared && !m_shared->connection().answers()) m_shared.reset();
}

BenchRecords::Stored BenchRecords::store(CalibrationEntry &entry)
{
    if (entry.id.isNull()) entry.id = QUuid::createUuid();
    if (entry.bench.isEmpty()) entry.bench = m_place.bench;
    Stored stored;
    if (!m_place.shared) {
        const RecordsStore::Outcome outcome =
            m_local->store(entry, RecordsStore::Numbering::Assign);
        stored.kind = outcome.kind;
        stored.certificateNumber = outcome.certificateNumber;
        stored.otherSerialNumber = outcome.otherSerialNumber;
        if (outcome.kind == Kind::Failed)
            stored.reason = m_local->error();
        else
            stored.where = Stored::Where::Records;
        return stored;
    }
    // What waits in the spool goes first: records reach the shared database
    // in the order they were made.
    const Delivery delivery = deliverSpool();
    QString reason = delivery.error;
    if (delivery.waiting == 0) {
        if (RecordsStore *shared = records()) {
            const RecordsStore::Outcome outcome =
                shared->store(entry, RecordsStore::Numbering::Assign);
            if (outcome.kind != Kind::Failed) {
                stored.where = Stored::Where::Records;
                stored.kind = outcome.kind;
                stored.certificateNumber = outcome.certificateNumber;
                stored.otherSerialNumber = outcome.otherSerialNumber;
                return stored;
            }
            reason = shared->error();
            dropSharedIfGone();
        } else {
            reason = m_error;
        }
    }
    if (!spool(entry, reason)) {
        stored.reason = m_local->error();
        return stored;
    }
    stored.where = Stored::Where::Spool;
    stored.kind = Kind::Stored;
    stored.certificateNumber = entry.certificateNumber;
    stored.reason = reason;
    return stored;
}

bool BenchRecords::spool(CalibrationEntry &entry, const QString &reason)
{
    SqlConnection &db = m_local->connection();
    if (!db.begin()) return false;
    // A number drawn from the shared sequence before the failure stays with
    // the record; otherwise the bench gives one of its own, behind its name.
    if (entry.certificateNumber.isEmpty()) {
        const std::optional<QString> number = m_local->nextCertificateNumber();
        if (!number) {
            db.rollback();
            return false;
        }
        entry.certificateNumber = *number;
    }
    const QByteArray json = QJsonDocument(entryToJson(entry)).toJson(QJsonDocument::Compact);
    if (!db.change(QStringLiteral("INSERT INTO spool (uuid, entry, queued_at, last_error) VALUES "
                                  "(?, ?, ?, ?) ON CONFLICT (uuid) DO NOTHING"),
                   {entry.id.toString(QUuid::WithoutBraces), QString::fromUtf8(json),
                    SqlConnection::timeValue(QDateTime::currentDateTimeUtc()),
                    SqlConnection::textValue(reason)}) ||
        !db.commit()) {
        db.rollback();
        return false;
    }
    return true;
}

std::optional<std::vector<CalibrationEntry>> BenchRecords::spooled()
{
    const auto rows =
        m_local->connection().select(QStringLiteral("SELECT seq, entry FROM spool ORDER BY seq"));
    if (!rows) return std::nullopt;
    std::vector<CalibrationEntry> entries;
    for (const QVariantList &row : *rows) {
        const EntryRead read = readEntryLine(row[1].toString().toUtf8());
        if (!read.entry) {
            m_error = QStringLiteral("the spool of %1 holds a record that cannot be read (%2)")
                          .arg(m_place.localDatabasePath(), read.error);
            return std::nullopt;
        }
        entries.push_back(*read.entry);
    }
    return entries;
}

std::optional<BenchRecords::Listing> BenchRecords::listing(
    const std::function<std::optional<std::vector<EntrySummary>>(RecordsStore &)> &query)
{
    Listing listing;
    RecordsStore *store = records();
    listing.complete = store != nullptr;
    if (!store) return listing;
    std::optional<std::vector<EntrySummary>> records = query(*store);
    if (!records) {
        m_error = store->error();
        dropSharedIfGone();
        return std::nullopt;
    }
    listing.records = std::move(*records);
    return listing;
}

std::optional<BenchRecords::Listing> BenchRecords::list(const QString &serialNumber)
{
    const std::optional<std::vector<CalibrationEntry>> waiting = spooled();
    std::optional<Listing> listing = waiting ? this->listing([&](RecordsStore &store) {
        return store.list({serialNumber, {}});
    })
                                             : std::nullopt;
    if (!listing) return std::nullopt;
    for (const CalibrationEntry &e : *waiting)
        if (serialNumber.isEmpty() || e.serialNumber == serialNumber) {
            EntrySummary summary = EntrySummary::of(e);
            summary.pending = true;
            listing->records.push_back(summary);
        }
    std::stable_sort(listing->records.begin(), listing->records.end(),
                     [](const EntrySummary &a, const EntrySummary &b) { return a.time > b.time; });
    return listing;
}

std::optional<BenchRecords::Listing> BenchRecords::dueBy(const QDate &date)
{
    const std::optional<std::vector<CalibrationEntry>> waiting = spooled();
    std::set<QUuid> superseded; // spooled calibrations older than the unit's latest kept
    const auto query = [&](RecordsStore &store) -> std::optional<std::vector<EntrySummary>> {
        for (const CalibrationEntry &e : *waiting) {
            if (e.serialNumber.isEmpty() || !e.dueDate.isValid()) continue;
            const auto history = store.history(e.model, e.serialNumber);
            if (!history) return std::nullopt;
            if (!history->empty() && history->front().time > e.time) superseded.insert(e.id);
        }
        return store.dueBy(date);
    };
    std::optional<Listing> listing = waiting ? this->listing(query) : std::nullopt;
    if (!listing) return std::nullopt;
    std::vector<EntrySummary> &due = listing->records;
    for (const CalibrationEntry &e : *waiting) {
        if (e.serialNumber.isEmpty() || !e.dueDate.isValid() || superseded.count(e.id)) continue;
        // The unit is due as this calibration says, not as the records still say.
        due.erase(std::remove_if(due.begin(), due.end(),
                                 [&](const EntrySummary &s) {
                                     return s.model == e.model && s.serialNumber == e.serialNumber;
                                 }),
                  due.end());
        if (e.dueDate > date) continue;
        EntrySummary summary = EntrySummary::of(e);
        summary.pending = true;
        due.push_back(summary);
    }
    std::stable_sort(due.begin(), due.end(), [](const EntrySummary &a, const EntrySummary &b) {
        return a.dueDate < b.dueDate;
    });
    return listing;
}

BenchRecords::Delivery BenchRecords::deliverSpool()
{
    Delivery delivery;
    if (!m_place.shared) return delivery;
    SqlConnection &local = m_local->connection();
    const auto rows = local.select(QStringLiteral("SELECT seq, entry FROM spool ORDER BY seq"));
    if (!rows) return {0, 0, local.lastError()};
    delivery.waiting = int(rows->size());
    if (rows->empty()) return delivery;
    RecordsStore *shared = records();
    if (!shared) {
        delivery.error = m_error;
        return delivery;
    }
    for (const QVariantList &row : *rows) {
        const EntryRead read = readEntryLine(row[1].toString().toUtf8());
        if (!read.entry) {
            delivery.error =
                QStringLiteral("a record in the spool cannot be read: %1").arg(read.error);
            return delivery;
        }
        CalibrationEntry entry = *read.entry;
        if (shared->store(entry, RecordsStore::Numbering::Keep).kind == Kind::Failed) {
            delivery.error = shared->error();
            local.change(QStringLiteral("UPDATE spool SET last_error = ? WHERE seq = ?"),
                         {delivery.error, row[0]});
            dropSharedIfGone();
            return delivery;
        }
        // Sent: a crash before this line sends it again, and its UUID makes
        // that a no-op.
        if (!local.change(QStringLiteral("DELETE FROM spool WHERE seq = ?"), {row[0]})) {
            delivery.error = local.lastError();
            return delivery;
        }
        ++delivery.sent;
        --delivery.waiting;
    }
    return delivery;
}

BenchRecords::Import BenchRecords::importText(const QByteArray &text, int firstLine)
{
    Import import;
    RecordsStore *target = records();
    if (!target) {
        import.error = m_error;
        return import;
    }
    EntryLines lines = readEntryLines(text, firstLine);
    for (const RefusedLine &refused : lines.refused)
        import.notes << QStringLiteral("line %1: %2").arg(refused.line).arg(refused.reason);
    import.refused = int(lines.refused.size());
    for (std::size_t start = 0; start < lines.entries.size(); start += ImportBatch) {
        const std::size_t end = std::min(lines.entries.size(), start + ImportBatch);
        std::vector<CalibrationEntry> batch;
        for (std::size_t i = start; i < end; ++i)
            batch.push_back(*lines.entries[i].entry);
        const std::vector<RecordsStore::Outcome> outcomes =
            target->storeAll(batch, RecordsStore::Numbering::Keep);
        for (std::size_t i = 0; i < outcomes.size(); ++i) {
            const CalibrationEntry &entry = batch[i];
            switch (outcomes[i].kind) {
            case Kind::Stored:
                ++import.stored;
                break;
            case Kind::AlreadyThere:
                ++import.alreadyThere;
                break;
            case Kind::Attached:
                ++import.attached;
                break;
            case Kind::OtherUnit:
                ++import.otherUnit;
                import.notes << QStringLiteral("line %1: the calibration of %2 belongs to unit "
                                               "%3; it is not attached to unit %4 as well")
                                    .arg(lines.entries[start + i].line)
                                    .arg(timeText(entry.time), outcomes[i].otherSerialNumber,
                                         entry.serialNumber);
                break;
            case Kind::Failed:
                import.error = target->error();
                dropSharedIfGone();
                return import;
            }
        }
    }
    return import;
}

BenchRecords::Import BenchRecords::importFile(const QString &path)
{
    QFile file(path);
    const QFileInfo info(path);
    Import import;
    if (!info.isFile()) {
        import.error = info.exists() ? QStringLiteral("%1 is not a regular file").arg(path)
                                     : QStringLiteral("%1 does not exist").arg(path);
        return import;
    }
    if (info.size() > MaxImportBytes || !file.open(QIODevice::ReadOnly)) {
        import.error = QStringLiteral("cannot read %1: %2")
                           .arg(path, info.size() > MaxImportBytes ? QStringLiteral("too large")
                                                                   : file.errorString());
        return import;
    }
    QByteArray text = file.readAll();
    if (!text.isEmpty() && !text.endsWith('\n')) text += '\n'; // a whole file: its last line counts
    return importText(text, 1);
}

BenchRecords::Import BenchRecords::importLog()
{
    const QString path = m_place.calibrationLogPath();
    const QString identity = fileIdentity(path);
    if (identity.isEmpty() || !QFileInfo(path).isFile()) return {};
    SqlConnection &local = m_local->connection();
    const auto marker = local.select(
        QStringLiteral("SELECT file_id, imported_bytes, imported_lines FROM log_imports WHERE "
                       "path = ?"),
        {path});
    Import failed;
    if (!marker) {
        failed.error = local.lastError();
        return failed;
    }
    QFile file(path);
    const qint64 size = QFileInfo(path).size();
    qint64 start = 0;
    int lines = 0;
    if (!marker->empty() && marker->front()[0].toString() == identity &&
        marker->front()[1].toLongLong() <= size) {
        start = marker->front()[1].toLongLong();
        lines = marker->front()[2].toInt();
    }
    if (start == size) return {};
    if (size - start > MaxImportBytes || !file.open(QIODevice::ReadOnly) || !file.seek(start)) {
        failed.error = QStringLiteral("cannot read %1: %2").arg(path, file.errorString());
        return failed;
    }
    QByteArray text = file.read(size - start);
    // A line still being written (or cut short) waits for its end.
    text.truncate(text.lastIndexOf('\n') + 1);
    if (text.isEmpty()) return {};
    Import import = importText(text, lines + 1);
    for (QString &note : import.notes)
        note = path + QStringLiteral(", ") + note;
    if (!import.error.isEmpty()) return import;
    if (!local.change(QStringLiteral("INSERT INTO log_imports (path, file_id, imported_bytes, "
                                     "imported_lines) VALUES (?, ?, ?, ?) ON CONFLICT (path) DO "
                                     "UPDATE SET file_id = excluded.file_id, imported_bytes = "
                                     "excluded.imported_bytes, imported_lines = "
                                     "excluded.imported_lines"),
                      {path, identity, start + text.size(), lines + int(text.count('\n'))}))
        import.error = local.lastError();
    return import;
}
