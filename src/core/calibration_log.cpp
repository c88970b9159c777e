// Appending to the calibration log.
#include "core/calibration_log.h"

#include "core/file_target.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
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
    if (m_folder.isEmpty()) {
        error = QStringLiteral("no data folder is known (neither XDG_DATA_HOME nor HOME is set)");
        return false;
    }
    if (!QDir().mkpath(m_folder)) {
        error = QStringLiteral("cannot create the folder %1").arg(m_folder);
        return false;
    }
    const QString file = path();
    error = notARegularFile(file);
    if (!error.isEmpty()) return false;
    QJsonObject entry;
    entry[QStringLiteral("logged")] =
        now.toOffsetFromUtc(now.offsetFromUtc()).toString(Qt::ISODateWithMs);
    entry[QStringLiteral("event")] = event;
    entry[QStringLiteral("record")] = record.toJson();
    const QByteArray line = QJsonDocument(entry).toJson(QJsonDocument::Compact) + '\n';

    // One unbuffered write in append mode puts the line at the end in one
    // piece; a short write (disk full) is taken back, so the log never holds
    // half a line.
    QFile log(file);
    if (!log.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered)) {
        error = log.errorString();
        return false;
    }
    const qint64 before = log.size();
    const qint64 written = log.write(line);
    if (written != line.size()) {
        error = log.errorString();
        if (written > 0) log.resize(before);
        return false;
    }
    if (!log.flush()) {
        error = log.errorString();
        return false;
    }
    return true;
}
