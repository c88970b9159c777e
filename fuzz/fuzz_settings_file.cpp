// libFuzzer target for the settings file reader: arbitrary bytes as a
// settings file. The reader never crashes; what it accepts passes the
// settings' own check; a rejection names a line inside the text and has a
// reason in both languages; and what it accepts, written again, reads back
// as the same document.
#include "core/settings_file.h"

#include <cstdint>
#include <cstdlib>

namespace {

void check(bool ok)
{
    if (!ok) std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    const SettingsFileRead read = parseSettingsFile(bytes);
    if (!read.ok()) {
        check(read.error.kind != SettingsFileError::Kind::None);
        check(read.error.line >= 0 && read.error.line <= bytes.count('\n') + 1);
        check(!read.error.reason(TextLanguage::English).isEmpty());
        check(!read.error.reason(TextLanguage::Hungarian).isEmpty());
        return 0;
    }
    check(read.document->settings.isValid());
    const std::optional<QByteArray> text = settingsFileText(*read.document);
    check(text.has_value());
    const SettingsFileRead again = parseSettingsFile(*text);
    check(again.ok());
    check(again.document->settings.differences(read.document->settings).isEmpty());
    check(again.document->source.has_value() == read.document->source.has_value());
    if (again.document->source) {
        check(again.document->source->port == read.document->source->port);
        check(again.document->source->time == read.document->source->time);
        check(again.document->source->firmware == read.document->source->firmware);
    }
    return 0;
}
