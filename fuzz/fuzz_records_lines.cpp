// libFuzzer target for the reader of calibration logs and record exports:
// arbitrary bytes as a JSON-lines file. The reader never crashes; every
// line is either taken or refused with its number and a reason; and what it
// takes, written as an entry and read again, settles at once: a second
// writing reads back as the same entry.
#include "records/entry_json.h"

#include <QJsonDocument>

#include <cstdint>
#include <cstdlib>

namespace {

void check(bool ok)
{
    if (!ok) std::abort();
}

std::optional<CalibrationEntry> again(const CalibrationEntry &entry)
{
    return readEntryLine(QJsonDocument(entryToJson(entry)).toJson(QJsonDocument::Compact)).entry;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    const EntryLines lines = readEntryLines(bytes);
    const int count = int(bytes.count('\n'));
    for (const RefusedLine &refused : lines.refused)
        check(refused.line >= 1 && refused.line <= count && !refused.reason.isEmpty());
    for (const EntryRead &read : lines.entries) {
        check(read.line >= 1 && read.line <= count && read.error.isEmpty());
        const std::optional<CalibrationEntry> first = again(*read.entry);
        check(first.has_value());
        const std::optional<CalibrationEntry> second = again(*first);
        check(second.has_value() && *second == *first);
    }
    return 0;
}
