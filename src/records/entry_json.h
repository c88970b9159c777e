// Calibration entries as JSON: one object per entry (the bench's spool, the
// tool's --json output, an export that another database imports), and the
// reading of JSON-lines files: exports, and the calibration log the window
// kept before the records had a database. Every line read is untrusted: a
// line that is not what it claims is refused with a plain reason, never
// half taken.
#pragma once

#include "records/records_entry.h"

#include <QByteArray>
#include <QJsonObject>
#include <QString>

#include <optional>
#include <vector>

inline constexpr char EntryFormatName[] = "kx4720r-records-entry";
inline constexpr int EntryFormatVersion = 1;

QJsonObject entryToJson(const CalibrationEntry &entry);

// One line of a JSON-lines file.
struct EntryRead {
    std::optional<CalibrationEntry> entry;
    QString error; // why the line was refused
    int line = 0;  // in the file read
};

// An entry as entryToJson writes it, or a line of the calibration log
// ({"logged", "event", "record"}). A log record gets a UUID made from its
// kind, time and port, so the same calibration read again (a second import,
// its "report" line) is the same entry; its due date is the default interval
// after it.
EntryRead readEntryLine(const QByteArray &line);

struct RefusedLine {
    int line = 0;
    QString reason;
};

struct EntryLines {
    std::vector<EntryRead> entries; // in file order
    std::vector<RefusedLine> refused;
};

// Every complete line of the text (a last line without its end, cut short by
// a crash, is left for later); empty lines are passed over.
EntryLines readEntryLines(const QByteArray &text, int firstLine = 1);
