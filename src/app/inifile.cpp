// Location, reading and writing of the initialisation file.
#include "app/inifile.h"

#include "app/profile.h"
#include "core/file_write.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

namespace {

const QString kSectionDate = QStringLiteral("Date");
const QString kKeyDate = QStringLiteral("Date");
const QString kSectionCom = QStringLiteral("Com");
const QString kKeyLastUsedPort = QStringLiteral("MBLastUsedPort");
const QString kSectionLanguage = QStringLiteral("Language");
const QString kKeyLanguage = QStringLiteral("GsSelectedLanguage");

// What a file holds, or why it could not be had. A file that exists but
// cannot be read is never replaced: whatever it holds would be lost.
struct FileContent {
    enum class State { Missing, Read, Unreadable } state = State::Missing;
    QByteArray bytes;
    QString reason;
};

// Only a regular file is read: a directory, a FIFO or a device at that path
// would give nothing useful, or block for ever.
FileContent readFile(const QString &path)
{
    using State = FileContent::State;
    const QFileInfo info(path);
    if (path.isEmpty() || !info.exists()) return {};
    if (!info.isFile()) return {State::Unreadable, {}, QStringLiteral("not a regular file")};
    if (info.size() > ProfileDocument::kMaxBytes)
        return {State::Unreadable, {}, QStringLiteral("too large to be read")};
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return {State::Unreadable, {}, file.errorString()};
    // What the file holds, not the limit: a read of the limit's size would
    // set that much memory aside for a file of a few lines.
    QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) return {State::Unreadable, {}, file.errorString()};
    if (bytes.size() > ProfileDocument::kMaxBytes)
        return {State::Unreadable, {}, QStringLiteral("too large to be read")};
    return {State::Read, std::move(bytes), {}};
}

// An installed program's folder belongs to the system, even for root, who
// could write there: its settings are the user's, kept in the user's folder.
bool inSystemFolder(const QString &path)
{
    const QString folder = QFileInfo(path).absolutePath() + u'/';
    for (const char *system : {"/usr/", "/opt/", "/bin/", "/sbin/"})
        if (folder.startsWith(QLatin1String(system))) return true;
    return false;
}

bool isWritablePlace(const QString &path)
{
    if (path.isEmpty() || inSystemFolder(path)) return false;
    const QFileInfo info(path);
    if (info.exists()) return info.isFile() && info.isWritable();
    const QFileInfo folder(info.absolutePath());
    return folder.isDir() && folder.isWritable();
}

// The locale's long time format without its time-zone field: the value
// records a local wall-clock time, and for a time without a date the zone
// name would be guessed (a summer date can come out with the winter name).
QString longTimeFormatWithoutZone(const QLocale &locale)
{
    const QString format = locale.timeFormat(QLocale::LongFormat);
    QString result;
    bool quoted = false;
    for (QChar c : format) {
        if (c == u'\'') quoted = !quoted;
        if (!quoted && c == u't') {
            while (result.endsWith(u' '))
                result.chop(1);
            continue;
        }
        result.append(c);
    }
    return result.trimmed();
}

} // namespace

QString iniPathBesideExecutable(const QString &executablePath)
{
    const QFileInfo info(executablePath);
    const QString name = info.fileName();
    const qsizetype dot = name.lastIndexOf(u'.');
    const QString base = dot > 0 ? name.left(dot) : name;
    const QString folder = executablePath.left(executablePath.size() - name.size());
    return folder + base + QStringLiteral(".ini");
}

IniLocation resolveIniLocation(const QString &besideExecutable, const QString &fallback,
                               const QString &systemSeed)
{
    // A copy that can keep its file beside itself reads nothing else: another
    // copy's settings in the user's folder are not its own.
    if (isWritablePlace(besideExecutable) || fallback.isEmpty())
        return {besideExecutable, besideExecutable};
    // An installed copy: the user's own file, seeded the first time from one
    // an administrator put where the system keeps configuration (/etc), or
    // beside the executable, where the program has always looked.
    IniLocation location{fallback, fallback};
    if (QFileInfo::exists(fallback)) return location;
    for (const QString &seed : {systemSeed, besideExecutable}) {
        if (!seed.isEmpty() && QFileInfo(seed).isFile()) {
            location.readPath = seed;
            break;
        }
    }
    return location;
}

QString iniDateText(const QDateTime &when, const QLocale &locale)
{
    return locale.toString(when.date(), QLocale::ShortFormat) + QStringLiteral("   ") +
           locale.toString(when.time(), longTimeFormatWithoutZone(locale));
}

QString currentIniDateText()
{
    return iniDateText(QDateTime::currentDateTime(), QLocale::system());
}

IniFile IniFile::forThisProgram()
{
    const QString beside = iniPathBesideExecutable(QCoreApplication::applicationFilePath());
    QString fallback;
    const QString config = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    const QString name = QFileInfo(beside).fileName();
    if (!config.isEmpty()) fallback = config + u'/' + name;
    return IniFile(resolveIniLocation(beside, fallback, QStringLiteral("/etc/kx4720r/") + name));
}

IniSettings IniFile::load() const
{
    IniSettings settings;
    FileContent content = readFile(m_location.readPath);
    if (content.state != FileContent::State::Read) return settings;
    const ProfileDocument document(std::move(content.bytes));
    settings.date = document.value(kSectionDate, kKeyDate);
    settings.lastUsedPort = document.value(kSectionCom, kKeyLastUsedPort);
    settings.languageName = document.value(kSectionLanguage, kKeyLanguage, settings.languageName);
    return settings;
}

IniSaveResult IniFile::save(const IniSettings &settings) const
{
    const ProfileEntry entries[] = {{kSectionDate, kKeyDate, settings.date},
                                    {kSectionCom, kKeyLastUsedPort, settings.lastUsedPort},
                                    {kSectionLanguage, kKeyLanguage, settings.languageName}};
    return write(entries);
}

QString IniFile::value(const QString &section, const QString &key) const
{
    FileContent content = readFile(m_location.readPath);
    if (content.state != FileContent::State::Read) return {};
    return ProfileDocument(std::move(content.bytes)).value(section, key);
}

IniSaveResult IniFile::setValue(const QString &section, const QString &key,
                                const QString &value) const
{
    const IniSettings current = load();
    const ProfileEntry entries[] = {{kSectionDate, kKeyDate, current.date},
                                    {kSectionCom, kKeyLastUsedPort, current.lastUsedPort},
                                    {kSectionLanguage, kKeyLanguage, current.languageName},
                                    {section, key, value}};
    return write(entries);
}

IniSaveResult IniFile::write(std::span<const ProfileEntry> entries) const
{
    IniSaveResult result;
    result.path = m_location.writePath;
    if (result.path.isEmpty()) {
        result.error = QStringLiteral("No place to write the initialisation file");
        return result;
    }

    const QFileInfo info(result.path);
    if (const FileWriteError refused = unwritableTarget(result.path); refused.failed()) {
        result.error = QStringLiteral("%1: %2").arg(result.path, refused.reason());
        return result;
    }
    if (!QDir().mkpath(info.absolutePath())) {
        result.error = QStringLiteral("Cannot create the folder %1").arg(info.absolutePath());
        return result;
    }

    // Keep whatever else the file holds (the read place may differ from the
    // write place the first time: start from what was read). A file that
    // cannot be read stays as it is.
    FileContent existing = readFile(m_location.writePath);
    if (existing.state == FileContent::State::Unreadable) {
        result.error = QStringLiteral("%1 is left as it is: %2").arg(result.path, existing.reason);
        return result;
    }
    if (existing.state == FileContent::State::Missing && m_location.readPath != result.path) {
        existing = readFile(m_location.readPath);
        if (existing.state != FileContent::State::Read) existing = {};
    }
    const QByteArray bytes = ProfileDocument(std::move(existing.bytes)).withEntriesFirst(entries);

    const FileWriteError failure = writeFileWhole(result.path, bytes);
    result.error = failure.reason();
    result.ok = !failure.failed();
    return result;
}
