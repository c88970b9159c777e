// Location, reading and writing of the initialisation file.
#include "app/inifile.h"

#include "app/profile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>

#include <optional>

namespace {

const QString kSectionDate = QStringLiteral("Date");
const QString kKeyDate = QStringLiteral("Date");
const QString kSectionCom = QStringLiteral("Com");
const QString kKeyLastUsedPort = QStringLiteral("MBLastUsedPort");
const QString kSectionLanguage = QStringLiteral("Language");
const QString kKeyLanguage = QStringLiteral("GsSelectedLanguage");

// Only a regular file is read: a directory, a FIFO or a device at that path
// would give nothing useful, or block for ever.
std::optional<ProfileDocument> readDocument(const QString &path)
{
    const QFileInfo info(path);
    if (path.isEmpty() || !info.isFile() || info.size() > ProfileDocument::kMaxBytes)
        return std::nullopt;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return std::nullopt;
    const QByteArray bytes = file.read(ProfileDocument::kMaxBytes + 1);
    if (bytes.size() > ProfileDocument::kMaxBytes) return std::nullopt;
    return ProfileDocument::parse(QString::fromUtf8(bytes));
}

bool isWritablePlace(const QString &path)
{
    if (path.isEmpty()) return false;
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

IniLocation resolveIniLocation(const QString &besideExecutable, const QString &fallback)
{
    // A copy that can keep its file beside itself reads nothing else: another
    // copy's settings in the user's folder are not its own.
    if (isWritablePlace(besideExecutable) || fallback.isEmpty())
        return {besideExecutable, besideExecutable};
    // An installed copy: the user's own file, seeded the first time from one
    // an administrator put beside the executable.
    IniLocation location{fallback, fallback};
    if (!QFileInfo::exists(fallback) && QFileInfo(besideExecutable).isFile())
        location.readPath = besideExecutable;
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
    if (!config.isEmpty()) fallback = config + u'/' + QFileInfo(beside).fileName();
    return IniFile(resolveIniLocation(beside, fallback));
}

IniSettings IniFile::load() const
{
    IniSettings settings;
    const std::optional<ProfileDocument> document = readDocument(m_location.readPath);
    if (!document) return settings;
    settings.date = document->value(kSectionDate, kKeyDate);
    settings.lastUsedPort = document->value(kSectionCom, kKeyLastUsedPort);
    settings.languageName = document->value(kSectionLanguage, kKeyLanguage, settings.languageName);
    return settings;
}

IniSaveResult IniFile::save(const IniSettings &settings) const
{
    IniSaveResult result;
    result.path = m_location.writePath;
    if (result.path.isEmpty()) {
        result.error = QStringLiteral("No place to write the initialisation file");
        return result;
    }

    const QFileInfo info(result.path);
    if (info.exists() && !info.isFile()) {
        result.error = QStringLiteral("%1 is not a regular file").arg(result.path);
        return result;
    }
    if (info.exists() && !info.isWritable()) {
        result.error = QStringLiteral("%1 is read-only").arg(result.path);
        return result;
    }
    if (!QDir().mkpath(info.absolutePath())) {
        result.error = QStringLiteral("Cannot create the folder %1").arg(info.absolutePath());
        return result;
    }

    // Keep whatever else the file holds (the read place may differ from the
    // write place the first time: start from what was read).
    std::optional<ProfileDocument> existing = readDocument(m_location.writePath);
    if (!existing) existing = readDocument(m_location.readPath);
    ProfileDocument document = existing.value_or(ProfileDocument{});
    document.setValue(kSectionDate, kKeyDate, settings.date);
    document.setValue(kSectionCom, kKeyLastUsedPort, settings.lastUsedPort);
    document.setValue(kSectionLanguage, kKeyLanguage, settings.languageName);
    document.moveSectionsToFront({kSectionDate, kSectionCom, kSectionLanguage});

    // Written aside and renamed, so a failure half-way leaves the old file whole.
    QSaveFile file(result.path);
    if (!file.open(QIODevice::WriteOnly)) {
        result.error = file.errorString();
        return result;
    }
    const QByteArray bytes = document.toText().toUtf8();
    if (file.write(bytes) != bytes.size() || !file.commit()) {
        result.error = file.errorString();
        return result;
    }
    result.ok = true;
    return result;
}
