// libFuzzer target for the initialisation file: arbitrary bytes as the
// profile text and as the file itself. The reader never fails; the keys a
// save sets read back as set, and a second save of the same keys changes
// nothing; every key the save does not set reads as before; and the settings
// the program loads survive the save it makes when it closes.
#include "app/inifile.h"
#include "app/profile.h"

#include <QDir>
#include <QFile>
#include <QSet>
#include <QTemporaryDir>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdlib>

namespace {

void check(bool ok)
{
    if (!ok) std::abort();
}

QString iniPath()
{
    // In memory where the system offers it: saving syncs the file to disk.
    static QTemporaryDir folder(QFile::exists(QStringLiteral("/dev/shm"))
                                    ? QStringLiteral("/dev/shm/kx-fuzz-ini-XXXXXX")
                                    : QDir::tempPath() + QStringLiteral("/kx-fuzz-ini-XXXXXX"));
    return folder.filePath(QStringLiteral("kx4720r-config.ini"));
}

// FNV-1a.
std::uint32_t inputHash(const std::uint8_t *data, std::size_t size)
{
    std::uint32_t hash = 2166136261u;
    for (std::size_t i = 0; i < size; ++i)
        hash = (hash ^ data[i]) * 16777619u;
    return hash;
}

// A value as the reader gives it back: no control characters, no blanks at
// either end.
QString storable(QByteArrayView bytes)
{
    QString text = QString::fromUtf8(bytes);
    text.removeIf(
        [](QChar c) { return c != u'\t' && (c.unicode() < 0x20 || c.unicode() == 0x7f); });
    while (text.startsWith(u' ') || text.startsWith(u'\t'))
        text.remove(0, 1);
    while (text.endsWith(u' ') || text.endsWith(u'\t'))
        text.chop(1);
    return text;
}

void checkDocument(const QByteArray &bytes)
{
    const ProfileDocument document(bytes);
    const QStringList sections = document.sectionNames();

    // Values taken from the input itself, so they meet its own names.
    const qsizetype third = bytes.size() / 3;
    const std::array<ProfileEntry, 3> entries{{
        {QStringLiteral("Date"), QStringLiteral("Date"), storable(bytes.first(third))},
        {QStringLiteral("Com"), QStringLiteral("MBLastUsedPort"),
         storable(bytes.sliced(third, third))},
        {sections.isEmpty() ? QStringLiteral("Language") : sections.first(),
         QStringLiteral("GsSelectedLanguage"), QStringLiteral("english")},
    }};
    const QByteArray written = document.withEntriesFirst(entries);
    const ProfileDocument reread(written);
    for (const ProfileEntry &entry : entries)
        check(reread.value(entry.section, entry.key) == entry.value);
    check(reread.withEntriesFirst(entries) == written);
    // Every section is still there; keys the save did not set read as before
    // (in the first section: each look-up reads the whole text).
    QSet<QString> rereadSections;
    for (const QString &section : reread.sectionNames())
        rereadSections.insert(section.toCaseFolded());
    for (const QString &section : sections)
        check(rereadSections.contains(section.toCaseFolded()));
    if (!sections.isEmpty())
        check(reread.value(sections.first(), u"x") == document.value(sections.first(), u"x"));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    // A settings file is a few lines: longer inputs only cost time (each
    // check reads the text again).
    const QByteArray bytes(reinterpret_cast<const char *>(data),
                           qsizetype(std::min<std::size_t>(size, 1024)));
    checkDocument(bytes);

    // The file itself, for one input in sixty-four: a load and a save are
    // some ten system calls each, far more than the text's own work. Chosen
    // by a hash of the whole input, not by a byte of it: the corpus fills
    // with inputs that reach the file (they cover more), and mutants keep a
    // byte far more often than a hash.
    if (size == 0 || inputHash(data, size) % 64 != 0) return 0;
    const IniFile file(iniPath());
    {
        QFile raw(iniPath());
        check(raw.open(QIODevice::WriteOnly | QIODevice::Truncate));
        check(raw.write(bytes) == bytes.size());
    }
    const IniSettings loaded = file.load();
    const IniSaveResult saved = file.save(loaded);
    check(saved.ok);
    check(file.load() == loaded);
    return 0;
}
