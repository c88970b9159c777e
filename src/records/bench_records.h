// The records as one bench sees them: the bench's own SQLite database, and
// the shared PostgreSQL database when one is named. Nothing is lost on the
// way: a record that cannot go to the shared database (the server stopped,
// the network gone) waits in the bench's spool, marked "not yet in the
// shared records", and is sent when the server answers again, oldest first,
// before anything newer; its UUID keeps a second sending from doubling it.
// The calibration log the window kept before the records had a database is
// imported as it grows, each line once.
//
// Every call returns only when what it reports is on the disk (or in the
// server's committed transaction): a caller says "stored" after store().
#pragma once

#include "records/records_place.h"
#include "records/records_store.h"

#include <functional>
#include <memory>
#include <optional>
#include <vector>

class BenchRecords {
public:
    explicit BenchRecords(RecordsPlace place);
    ~BenchRecords();

    const RecordsPlace &place() const { return m_place; }
    const QString &error() const { return m_error; }
    // What opening met on the way: lines of the calibration log that could
    // not be imported, records of the spool that could not be sent yet.
    const QStringList &notes() const { return m_notes; }

    // Opens the bench's own database, then sends what waits in the spool and
    // imports what is new in the calibration log (both only as far as the
    // records can be reached). False when the bench's own database cannot be
    // used; nothing can be kept then.
    bool open();

    // Where records are read: the shared database when one is named (null
    // while it cannot be reached, error() says why), else the bench's own.
    RecordsStore *records();
    RecordsStore &local() { return *m_local; }

    struct Stored {
        enum class Where { Records, Spool, Nowhere };
        Where where = Where::Nowhere;
        RecordsStore::Outcome::Kind kind = RecordsStore::Outcome::Kind::Failed;
        QString certificateNumber;
        QString otherSerialNumber; // kind OtherUnit
        QString reason; // Spool: why the shared records were not reached; Nowhere: why not kept
    };
    // Keeps one record (with its verifications, standards, ...). A record
    // without an id or bench gets this bench's; one without a certificate
    // number gets the next. Nowhere only when even the bench's own disk
    // refused it: the caller must keep the record and say so.
    Stored store(CalibrationEntry &entry);

    // The records as the bench sees them: the shared ones (or its own) and
    // those waiting in its spool, marked pending. While the shared ones
    // cannot be reached, the spool's alone, and not complete (error() says
    // why). None when even these cannot be read.
    struct Listing {
        std::vector<EntrySummary> records;
        bool complete = true;
    };
    // All records, or one unit's; newest first.
    std::optional<Listing> list(const QString &serialNumber = {});
    // The units due on or before `date`, overdue ones too, soonest first,
    // each with the calibration that set its due date: a unit calibrated
    // while the shared records were out of reach by its spooled calibration.
    std::optional<Listing> dueBy(const QDate &date);

    struct Delivery {
        int sent = 0;
        int waiting = 0; // still in the spool
        QString error;   // why the rest waits
    };
    Delivery deliverSpool();
    // What waits in the spool, oldest first.
    std::optional<std::vector<CalibrationEntry>> spooled();

    struct Import {
        int stored = 0;
        int alreadyThere = 0;
        int attached = 0;
        int refused = 0;   // lines that are no record
        int otherUnit = 0; // records kept for another unit: not attached to a second
        QStringList notes; // lines refused and records not attached, with their line
        QString error;     // set when the import did not happen (nothing of it is kept)
    };
    // Every line of a JSON-lines file: the calibration log, or an export.
    Import importFile(const QString &path);
    // The lines the calibration log gained since the last import (all of it
    // the first time, or when the file was replaced). The log itself is kept.
    Import importLog();

private:
    Import importText(const QByteArray &text, int firstLine);
    // The records the store gives, or none while it cannot be reached.
    std::optional<Listing>
    listing(const std::function<std::optional<std::vector<EntrySummary>>(RecordsStore &)> &query);
    bool spool(CalibrationEntry &entry, const QString &reason);
    void dropSharedIfGone();

    RecordsPlace m_place;
    std::unique_ptr<RecordsStore> m_local;
    std::unique_ptr<RecordsStore> m_shared;
    QString m_error;
    QStringList m_notes;
};
