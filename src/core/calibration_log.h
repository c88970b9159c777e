// The calibration log: every calibration record, and every report written
// from one, appended as one JSON line with the time it was logged. It lives
// in the user's data folder (XDG data home), so a record survives a report
// that was never printed and a report can be written again from it later.
#pragma once

#include "core/calibration_record.h"

#include <QDateTime>
#include <QJsonObject>
#include <QString>

class CalibrationLog {
public:
    // The folder of ours in the user's data folder: $XDG_DATA_HOME/kx4720r
    // (~/.local/share/kx4720r without the variable).
    static QString defaultFolder();
    static constexpr char FileName[] = "calibration-log.jsonl";

    explicit CalibrationLog(QString folder) : m_folder(std::move(folder)) {}

    QString folder() const { return m_folder; }
    QString path() const;

    // One line {"logged": time, "event": event, "record": {...}}, written whole
    // or not at all. False with the system's reason when the folder cannot be
    // made or the file cannot be written (or is no regular file).
    bool append(const QString &event, const CalibrationRecord &record, QString &error,
                const QDateTime &now = QDateTime::currentDateTime()) const;
    // One line holding `object` as it stands (a certificate's whole entry,
    // which the records read back as they read their own exports).
    bool appendObject(const QJsonObject &object, QString &error) const;

private:
    QString m_folder;
};
