// libFuzzer target for the initialisation file: arbitrary bytes as the
// profile text and as the file itself. The reader never fails; what it
// writes reads back the same (writing is a fixed point after one round); and
// the settings the program loads survive the save it makes when it closes.
#include "app/inifile.h"
#include "app/profile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

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

void checkDocument(const QString &text)
{
    const ProfileDocument document = ProfileDocument::parse(text);
    const QString written = document.toText();
    const ProfileDocument reread = ProfileDocument::parse(written);
    check(reread.toText() == written);
    check(reread.sectionNames().size() == document.sectionNames().size());
    for (const QString &section : document.sectionNames())
        for (const QString &key : {QStringLiteral("GsSelectedLanguage"),
                                   QStringLiteral("MBLastUsedPort"), QStringLiteral("Date")})
            check(reread.value(section, key) == document.value(section, key));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    checkDocument(QString::fromUtf8(bytes));
    checkDocument(QString::fromLatin1(bytes));

    // The file itself, for one input in eight (files cost time).
    if (size == 0 || (data[0] & 7) != 1) return 0;
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
