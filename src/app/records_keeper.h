// Every calibration the window records goes into the calibration records:
// once the recorder has finished a record (and appended it to the calibration
// log), the keeper stores it through the records' thread and says on the
// calibration page where it is kept: in the records with its certificate
// number, or in the bench's spool, "not yet in the shared records". It says
// "stored" only after the records committed it. When even the bench's own
// database refuses the record, a message says what failed; the record stays
// in the calibration log, which the records import at the next start.
//
// The record goes in under the UUID its log line is imported under, so the
// log and the records never hold it twice. While records wait in the spool,
// the keeper tries the shared records again now and then, so they are sent
// when the server is back even if no calibration follows.
#pragma once

#include "app/window_dialogs.h"
#include "core/calibration_record.h"
#include "records/bench_records.h"
#include "ui/records_captions.h"

#include <QObject>
#include <QPointer>
#include <QTimer>

#include <array>
#include <chrono>
#include <optional>

class QLabel;
class CalibrationRecorder;
class TForm_Main;
class WindowRecords;

// The entry the calibration log's line of this record is imported as.
CalibrationEntry entryForLoggedRecord(const CalibrationRecord &record);

class RecordsKeeper : public QObject {
    Q_OBJECT
public:
    RecordsKeeper(TForm_Main &window, CalibrationRecorder &recorder, WindowRecords &records);

    void applyLanguage(CaptionLanguage language);
    // The notice on the page of that calibration.
    QLabel *notice(CalibrationKind kind) const;
    // How the last record of that kind was kept, once the records answered.
    const std::optional<BenchRecords::Stored> &kept(CalibrationKind kind) const;
    // How often the spool is tried again while records wait in it.
    void setDeliveryInterval(std::chrono::milliseconds interval);

signals:
    void recordKept(CalibrationKind kind);
    // A try to send the spool's records ended; `waiting` of them are still there.
    void spoolTried(int sent, int waiting);

private:
    struct Page {
        QPointer<QLabel> notice;
        std::optional<BenchRecords::Stored> kept;
        bool storing = false;
        quint64 ticket = 0; // the latest record of the kind: an older answer changes nothing
    };
    Page &page(CalibrationKind kind) { return m_pages[kind == CalibrationKind::Input ? 0 : 1]; }
    const Page &page(CalibrationKind kind) const
    {
        return m_pages[kind == CalibrationKind::Input ? 0 : 1];
    }
    void store(CalibrationKind kind);
    void stored(CalibrationKind kind, quint64 ticket, const BenchRecords::Stored &result);
    void showNotice(CalibrationKind kind);
    void deliverSpool();
    QString text(RecordsCaption caption) const;

    TForm_Main &m_window;
    CalibrationRecorder &m_recorder;
    WindowRecords &m_records;
    CaptionLanguage m_language = kDefaultCaptionLanguage;
    std::array<Page, 2> m_pages;
    quint64 m_tickets = 0;
    QTimer m_delivery;
};
