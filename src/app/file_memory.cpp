// The "Files" section of the initialisation file, read and written with the
// profile reader and writer the file's own sections use.
#include "app/file_memory.h"

#include "app/profile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <optional>

namespace {

// Only a regular file of a sensible size is read, as for the window's own sections.
std::optional<ProfileDocument> readProfile(const QString &path)
{
    const QFileInfo info(path);
    if (path.isEmpty() || !info.isFile() || info.size() > ProfileDocument::kMaxBytes)
        return std::nullopt;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return std::nullopt;
    return ProfileDocument::parse(QString::fromUtf8(file.read(ProfileDocument::kMaxBytes)));
}

} // namespace

QString FileMemory::value(const char *key) const
{
    const IniLocation &location = m_file.location();
    std::optional<ProfileDocument> document = readProfile(location.writePath);
    if (!document) document = readProfile(location.readPath);
    return document ? document->value(QString::fromLatin1(Section), QString::fromLatin1(key))
                    : QString();
}

IniSaveResult FileMemory::setValue(const char *key, const QString &value) const
{
    const IniLocation &location = m_file.location();
    IniSaveResult result;
    result.path = location.writePath;
    const QFileInfo info(result.path);
    // Never replace a device or a folder with a file of ours.
    if (result.path.isEmpty() || (info.exists() && !info.isFile())) {
        result.error = QStringLiteral("%1 is not a regular file").arg(result.path);
        return result;
    }
    if (!QDir().mkpath(info.absolutePath())) {
        result.error = QStringLiteral("Cannot create the folder %1").arg(info.absolutePath());
        return result;
    }
    std::optional<ProfileDocument> existing = readProfile(location.writePath);
    if (!existing) existing = readProfile(location.readPath);
    ProfileDocument document = existing.value_or(ProfileDocument{});
    document.setValue(QString::fromLatin1(Section), QString::fromLatin1(key), value);
    document.moveSectionsToFront(
        {QStringLiteral("Date"), QStringLiteral("Com"), QStringLiteral("Language")});

    QSaveFile file(result.path);
    const QByteArray bytes = document.toText().toUtf8();
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
        result.error = file.errorString();
        return result;
    }
    result.ok = true;
    return result;
}
