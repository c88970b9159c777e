// Appending to the calibration log.
#include "core/calibration_log.h"

#include "core/file_write.h"

#include <QDir>
#include <QJsonDocument>
#include <QStandardPaths>

QString CalibrationLog::defaultFolder()
{
    const QString data = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    return data.isEmpty() ? QString() : data + QStringLiteral("/kx4720r");
}

QString CalibrationLog::path() const
{
    return m_folder.isEmpty() ? QString() : m_folder + u'/' + QLatin1String(FileName);
}

bool CalibrationLog::append(const QString &event, const CalibrationRecord &record, QString &error,
                            const QDateTime &now) const
{
    QJsonObject entry;
    entry[QStringLiteral("logged")] =
        now.toOffsetFromUtc(now.offsetFromUtc()).toString(Qt::ISODateWithMs);
    entry[QStringLiteral("event")] = event;
    entry[QStringLiteral("record")] = record.toJson();
    return appendObject(entry, error);
}

bool CalibrationLog::appendObject(const QJsonObject &object, QString &error) const
{
    if (m_folder.isEmpty()) {
        error = QStringLiteral("no data folder is known (neither XDG_DATA_HOME nor HOME is set)");
        return false;
    }
    if (!QDir().mkpath(m_folder)) {
        error = QStringLiteral("cannot create the folder %1").arg(m_folder);
        return false;
    }
    const QByteArray line = QJsonDocument(object).toJson(QJsonDocument::Compact) + '\n';
    // A record is evidence of a calibration: it is on the disk before we say so.
    const FileWriteError failure = appendLines(path(), line, SyncToDisk::Yes);
    error = failure.reason();
    return !failure.failed();
}
