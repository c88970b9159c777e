// The calibration records in one database, SQLite or PostgreSQL: storing a
// calibration with everything it carries in one transaction, reading it back
// whole, a unit's history, the units due, and the reference standards list.
//
// Several benches may store at once, also records of the same unit in the
// same second: each record is a row of its own, a unit is made once however
// many benches name it at the same moment, and a unit's due date follows its
// latest calibration (by time, then UUID) whatever order the benches commit
// in. Certificate numbers come from one sequence on PostgreSQL, and from the
// bench's own counter, behind the bench's name, on SQLite.
#pragma once

#include "records/records_entry.h"

#include <QString>
#include <QStringList>
#include <QUuid>
#include <QVariant>

#include <memory>
#include <optional>
#include <vector>

class SqlConnection;

class RecordsStore {
public:
    // Brings the database's schema up to date first.
    static std::unique_ptr<RecordsStore> open(std::unique_ptr<SqlConnection> db, QString bench,
                                              QString &error);
    ~RecordsStore();

    SqlConnection &connection() { return *m_db; }
    // Why the last call failed.
    const QString &error() const;

    enum class Numbering {
        Assign, // a record without a certificate number gets the next one
        Keep,   // records made elsewhere (a spool, an import) keep theirs, or none
    };

    struct Outcome {
        enum class Kind {
            Stored,
            AlreadyThere, // a record with this UUID is kept already: nothing changed
            Attached,     // it was kept without a unit, and now belongs to this one
            OtherUnit,    // it was kept for another unit: refused, nothing changed
            Failed,
        };
        Kind kind = Kind::Failed;
        QString certificateNumber; // as the database keeps it
        QString otherSerialNumber; // OtherUnit
    };

    // One record, in a transaction of its own: in the database once this
    // returns Stored (or one of the kinds that say it was there already).
    // The entry gets its certificate number (Assign) as soon as one is
    // drawn, so a record whose commit is in doubt keeps the number it may
    // have been stored with.
    Outcome store(CalibrationEntry &entry, Numbering numbering);
    // Several in one transaction: all of them, or none (every outcome Failed).
    std::vector<Outcome> storeAll(std::vector<CalibrationEntry> &entries, Numbering numbering);

    // The next certificate number of this database, never given again.
    std::optional<QString> nextCertificateNumber();

    std::optional<CalibrationEntry> entry(const QUuid &id);
    // The records a key names: a certificate number, a UUID, or the start of
    // one (at least 4 hexadecimal digits).
    std::optional<std::vector<QUuid>> find(const QString &key);

    struct Filter {
        QString serialNumber; // empty: every unit
        QDateTime since;      // invalid: from the first
    };
    // Newest first.
    std::optional<std::vector<EntrySummary>> list(const Filter &filter);
    std::optional<std::vector<EntrySummary>> history(const QString &model,
                                                     const QString &serialNumber);
    // The units due on or before `date` (overdue ones too), each with the
    // calibration that set its due date; soonest first.
    std::optional<std::vector<EntrySummary>> dueBy(const QDate &date);

    // The reference standards list: adds one, or updates the one with its
    // identifier.
    bool saveStandard(const ReferenceStandard &standard);
    std::optional<std::vector<ReferenceStandard>> standards();

private:
    RecordsStore(std::unique_ptr<SqlConnection> db, QString bench);

    std::optional<Outcome> storeInTransaction(CalibrationEntry &entry, Numbering numbering);
    std::optional<Outcome> keptAlready(CalibrationEntry &entry, const QVariant &unitId);
    // The new record's id; an invalid value when one with its UUID is kept already.
    std::optional<QVariant> insertEntry(const CalibrationEntry &entry, const QVariant &unitId);
    bool insertDetails(const CalibrationEntry &entry, const QVariant &calibrationId);
    std::optional<QVariant> unitId(const QString &model, const QString &serialNumber);
    bool updateDue(const QVariant &unitId, const QVariant &calibrationId,
                   const CalibrationEntry &entry);
    bool insertRows(const QString &table, const QStringList &columns,
                    const std::vector<QVariantList> &rows);
    std::optional<std::vector<EntrySummary>> summaries(const QString &sql,
                                                       const QVariantList &values);
    bool readDetails(const QVariant &calibrationId, CalibrationEntry &entry);

    std::unique_ptr<SqlConnection> m_db;
    QString m_bench;
};
