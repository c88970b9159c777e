// Calibration records in the window. When the instrument acknowledges the
// input or the output calibration's store command, the recorder keeps a
// record of it: the values the acknowledged request carried, the unit's
// serial number, the state the unit was found in (the first reply of the
// connection) and left in after the store (the first reply after the
// acknowledgement), the PC's time, the firmware and, for the output, the test
// points driven. Each record goes into the calibration log at once; "Save
// calibration report…" on each calibration page writes it as a PDF report
// with its JSON beside it, for the unit it was recorded for and no other.
//
// A store waits (the request leaves its bit out) until the connection has
// had its first reply and the unit's serial number is known; the recorder
// asks for the number once per connection, as soon as a store is pressed.
//
// The recorder takes every decoded reply of the exchange, before the window
// shows it, together with the request that reply answers, so an
// acknowledgement is matched with the very values it acknowledges.
#pragma once

#include "app/file_memory.h"
#include "app/window_dialogs.h"
#include "core/calibration_log.h"
#include "core/calibration_record.h"
#include "core/instrument_exchange.h"
#include "core/settings_file.h"
#include "link/mbtypes.h"
#include "ui/captions.h"

#include <QDateTime>
#include <QObject>
#include <QPointer>

#include <array>
#include <optional>
#include <vector>

#include <QPushButton>
class TForm_Main;

class CalibrationRecorder : public QObject {
    Q_OBJECT
public:
    // Must be made before the window connects its displays to the exchange.
    CalibrationRecorder(TForm_Main &window, FileMemory memory);
    // A record still waiting for its "as left" goes into the log without it.
    ~CalibrationRecorder() override;

    // Questions to the user; tests answer them without dialogs.
    AskFileName askFileName = askFileNameWithDialog;
    AskReportDetails askReportDetails = askReportDetailsWithDialog;
    AskSerialNumber askSerialNumber = askSerialNumberWithDialog;
    ShowMessage showMessage = showWarningBox;
    // Where every record is appended; tests give a temporary folder.
    CalibrationLog log{CalibrationLog::defaultFolder()};

    void applyLanguage(CaptionLanguage language);
    QPushButton *reportButton(CalibrationKind kind) const;

    // The last finished record of that kind.
    const std::optional<CalibrationRecord> &record(CalibrationKind kind) const;

    // "Save calibration report…": asks for the technician's name (and the
    // unit's serial number, for a record made without one) and a file, then
    // writes the report and its record. A serial number other than the
    // record's is refused: a calibration belongs to one unit.
    bool saveReport(CalibrationKind kind);

signals:
    // A record is complete and logged (or the failure to log it reported).
    void recordFinished(CalibrationKind kind);

private:
    struct Slot {
        std::optional<CalibrationRecord> pending; // acknowledged, waiting for the next reply
        std::optional<CalibrationRecord> done;
        QPointer<QPushButton> button;
    };

    void replyDecoded(const ExchangeReply &decoded);
    void trackTestPoint(const InstrumentRequest &request, const InstrumentReply &reply);
    void finish(CalibrationKind kind);
    Slot &slot(CalibrationKind kind) { return m_slots[kind == CalibrationKind::Input ? 0 : 1]; }
    const Slot &slot(CalibrationKind kind) const
    {
        return m_slots[kind == CalibrationKind::Input ? 0 : 1];
    }
    QString text(FileCaption caption) const { return fileCaptionText(m_language, caption); }
    void tellNotLogged(const QString &error);
    bool storeLatched() const;
    // Asks for the unit's serial number when a store waits for it.
    void askSerialNumberIfWanted();

    TForm_Main &m_window;
    FileMemory m_memory;
    CaptionLanguage m_language = kDefaultCaptionLanguage;
    std::array<Slot, 2> m_slots;
    // Test points of the output wizard's checking steps the instrument was
    // driven to, since the wizard was last on its first step.
    std::vector<OutputTestPoint> m_testPoints;
    bool m_askingSerialNumber = false;
};
