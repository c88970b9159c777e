// The unit on the line: what the program knows of the instrument it talks to
// now. A connection lasts from the opening of the port to its closing; a new
// opening is a new connection, because another unit may have been put on the
// adapter meanwhile, so nothing of the last one carries over. The state the
// unit was found in is the first reply of its connection; its serial number,
// which the instrument does not report, is the one given for the connection.
// Whatever records, reports or certifies a unit reads it from here.
#pragma once

#include "core/calibration_record.h"
#include "core/instrument_settings.h"
#include "core/settings_file.h"

#include <QDateTime>
#include <QObject>
#include <QString>

#include <optional>

class ConnectedUnit : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    // The port opened: a new connection, of which nothing is known yet.
    void begin(const QString &port);
    // The port closed or was lost.
    void end();
    bool isConnected() const { return m_connected; }
    // Counts the connections: an answer given for one is void in another.
    quint64 connection() const { return m_connection; }
    QString port() const { return m_port; }

    // A good reply of this connection, when it came.
    void noteReply(const InstrumentReply &reply, const QDateTime &time);
    bool hasReplied() const { return m_asFound.has_value(); }
    // The state of the first reply of the connection.
    const std::optional<InstrumentState> &asFound() const { return m_asFound; }
    // Where, when and with which firmware the unit last answered.
    std::optional<SettingsSource> lastHeard() const;
    // The settings the unit reported holding in its latest reply; none for
    // type codes the program does not know.
    const std::optional<InstrumentSettings> &heldSettings() const { return m_held; }

    QString serialNumber() const { return m_serialNumber; }
    // For this connection; false, changing nothing, when no port is open, the
    // number is blank, or another number was given for this unit already.
    bool setSerialNumber(const QString &serialNumber);

    // A calibration is stored only into a unit whose state before it was seen
    // in this connection and whose serial number is known, so that its record
    // names the right unit and the right state. Outside a connection nothing
    // is sent at all.
    bool holdsBackCalibrationStore() const
    {
        return m_connected && (!hasReplied() || m_serialNumber.isEmpty());
    }

signals:
    // A connection began or ended, its first reply came, or its serial
    // number was given.
    void changed();
    // The settings the unit holds are other than in its reply before.
    void heldSettingsChanged();

private:
    bool m_connected = false;
    quint64 m_connection = 0;
    QString m_port;
    std::optional<InstrumentState> m_asFound;
    std::optional<InstrumentSettings> m_held;
    QDateTime m_lastReply;
    QString m_firmware;
    QString m_serialNumber;
};
