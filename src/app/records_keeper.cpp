// Storing the window's calibration records, and the notice that says where.
#include "app/records_keeper.h"

#include "app/form_calrecord.h"
#include "app/form_main.h"
#include "app/window_records.h"
#include "records/entry_json.h"
#include "ui/records_captions.h"
#include "ui_form_main.h"

#include <QDateTime>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>

namespace {

// Beside the check mark that says the calibration is done, on both pages.
const QRect NoticePlace(400, 2, 100, 56);

// A server that is away costs the records' thread its connection timeout
// (5 s) per try; once a minute leaves that thread free for what the window asks.
constexpr std::chrono::minutes DeliveryInterval(1);

} // namespace

CalibrationEntry entryForLoggedRecord(const CalibrationRecord &record)
{
    // Through the log's own reader: the same line read from the log later is
    // the same entry, with the same UUID.
    QJsonObject line;
    line[QStringLiteral("logged")] = record.time.toString(Qt::ISODateWithMs);
    line[QStringLiteral("event")] = QStringLiteral("calibration");
    line[QStringLiteral("record")] = record.toJson();
    const EntryRead read = readEntryLine(QJsonDocument(line).toJson(QJsonDocument::Compact));
    return read.entry ? *read.entry : CalibrationEntry::fromRecord(record);
}

RecordsKeeper::RecordsKeeper(TForm_Main &window, CalibrationRecorder &recorder,
                             WindowRecords &records)
    : QObject(&window), m_window(window), m_recorder(recorder), m_records(records)
{
    const std::pair<CalibrationKind, QWidget *> pages[] = {
        {CalibrationKind::Input, m_window.ui->TabSheet_InputCalibration},
        {CalibrationKind::Output, m_window.ui->TabSheet_OutputCalibration}};
    for (const auto &[kind, sheet] : pages) {
        auto *label = new QLabel(sheet);
        label->setObjectName(kind == CalibrationKind::Input
                                 ? QStringLiteral("Label_InputCalibrationRecords")
                                 : QStringLiteral("Label_OutputCalibrationRecords"));
        label->setGeometry(NoticePlace);
        label->setWordWrap(true);
        label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
        label->hide(); // until a record is stored
        page(kind).notice = label;
    }
    connect(&recorder, &CalibrationRecorder::recordFinished, this, &RecordsKeeper::store);
    // Records spooled in an earlier run wait too.
    m_delivery.setSingleShot(true);
    connect(&m_delivery, &QTimer::timeout, this, &RecordsKeeper::deliverSpool);
    setDeliveryInterval(DeliveryInterval);
}

void RecordsKeeper::setDeliveryInterval(std::chrono::milliseconds interval)
{
    m_delivery.start(interval);
}

void RecordsKeeper::deliverSpool()
{
    m_records.run<BenchRecords::Delivery>(
        this,
        [](BenchRecords *records, const QString &why) {
            return records ? records->deliverSpool() : BenchRecords::Delivery{0, 0, why};
        },
        [this](const BenchRecords::Delivery &delivery) {
            if (delivery.waiting > 0 || !delivery.error.isEmpty()) m_delivery.start();
            emit spoolTried(delivery.sent, delivery.waiting);
        });
}

void RecordsKeeper::applyLanguage(CaptionLanguage language)
{
    m_language = language;
    for (const CalibrationKind kind : {CalibrationKind::Input, CalibrationKind::Output})
        showNotice(kind);
}

QLabel *RecordsKeeper::notice(CalibrationKind kind) const
{
    return page(kind).notice;
}

const std::optional<BenchRecords::Stored> &RecordsKeeper::kept(CalibrationKind kind) const
{
    return page(kind).kept;
}

void RecordsKeeper::store(CalibrationKind kind)
{
    const std::optional<CalibrationRecord> &record = m_recorder.record(kind);
    if (!record) return;
    Page &p = page(kind);
    p.ticket = ++m_tickets;
    p.storing = true;
    p.kept.reset();
    showNotice(kind);
    const CalibrationEntry entry = entryForLoggedRecord(*record);
    m_records.run<BenchRecords::Stored>(
        this,
        [entry](BenchRecords *records, const QString &why) {
            if (!records) {
                BenchRecords::Stored failed;
                failed.reason = why;
                return failed;
            }
            CalibrationEntry stored = entry;
            return records->store(stored);
        },
        [this, kind, ticket = p.ticket](const BenchRecords::Stored &result) {
            stored(kind, ticket, result);
        });
}

void RecordsKeeper::stored(CalibrationKind kind, quint64 ticket, const BenchRecords::Stored &result)
{
    Page &p = page(kind);
    if (ticket == p.ticket) {
        p.storing = false;
        p.kept = result;
        showNotice(kind);
    }
    if (result.where == BenchRecords::Stored::Where::Spool && !m_delivery.isActive())
        m_delivery.start();
    using Kind = RecordsStore::Outcome::Kind;
    if (result.where == BenchRecords::Stored::Where::Nowhere)
        m_recorder.showMessage(
            &m_window, text(RecordsCaption::NotStoredTitle),
            text(RecordsCaption::NotStored).arg(m_records.where(), result.reason));
    else if (result.kind == Kind::OtherUnit)
        m_recorder.showMessage(&m_window, text(RecordsCaption::NotStoredTitle),
                               text(RecordsCaption::OtherUnit).arg(result.otherSerialNumber));
    emit recordKept(kind);
}

QString RecordsKeeper::text(RecordsCaption caption) const
{
    return recordsCaptionText(m_language, caption);
}

void RecordsKeeper::showNotice(CalibrationKind kind)
{
    Page &p = page(kind);
    if (!p.notice) return;
    using Where = BenchRecords::Stored::Where;
    QString notice;
    if (p.storing)
        notice = text(RecordsCaption::NoticeStoring);
    else if (!p.kept)
        notice.clear();
    else if (p.kept->where == Where::Nowhere ||
             p.kept->kind == RecordsStore::Outcome::Kind::OtherUnit)
        notice = text(RecordsCaption::NoticeNotStored);
    else if (p.kept->where == Where::Spool)
        notice = text(RecordsCaption::NoticeSpooled).arg(p.kept->certificateNumber);
    else if (p.kept->certificateNumber.isEmpty())
        notice = text(RecordsCaption::NoticeStoredNone);
    else
        notice = text(RecordsCaption::NoticeStored).arg(p.kept->certificateNumber);
    p.notice->setText(notice);
    // The whole of it, should a long certificate number not fit its place.
    p.notice->setToolTip(p.kept && !p.kept->reason.isEmpty()
                             ? notice + QStringLiteral("\n") + p.kept->reason.simplified()
                             : notice);
    p.notice->setVisible(!notice.isEmpty());
}
