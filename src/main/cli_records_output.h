// What the records commands print: lists of records as a table, JSON or CSV,
// one record in full, and the export. The JSON and CSV field names are part
// of the tool's documented interface (README): keep them stable.
#pragma once

#include "core/readings_csv.h"
#include "records/records_entry.h"

#include <QDate>
#include <QJsonObject>
#include <QString>

#include <vector>

namespace cli {

// The mark of a record kept in the bench's spool.
inline constexpr char NotYetSharedText[] = "not yet in the shared records";

// A table with a header line; `today` set: a due list, whose due dates say
// how far off (or overdue) they are.
QString recordsTable(const std::vector<EntrySummary> &records, const QDate &today = {});
// {"records": [...]}
QJsonObject recordsJson(const std::vector<EntrySummary> &records);
QString recordsCsv(const std::vector<EntrySummary> &records, const CsvFormat &format);

// A record in full, and whether it waits in the bench's spool.
struct ShownEntry {
    CalibrationEntry entry;
    bool spooled = false;
};

// One record in full, as text, and as JSON (the entry with "spooled").
QString recordText(const ShownEntry &shown);
QJsonObject recordJson(const ShownEntry &shown);
// One line per record: everything but the points, which the JSON export has.
QString exportCsv(const std::vector<ShownEntry> &entries, const CsvFormat &format);

} // namespace cli
