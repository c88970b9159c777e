// Keeping calibration records from the exchange, and writing their reports.
#include "app/form_calrecord.h"

#include "app/calibration_report.h"
#include "app/commandline.h"
#include "app/form_main.h"
#include "app/form_settingsfile.h"
#include "core/reason_text.h"
#include "panel/mb.h"
#include "ui_form_main.h"

#include <QDir>
#include <QFileInfo>
#include <QPushButton>
#include <QRegularExpression>
#include <QTimer>

#include <algorithm>
#include <vector>

namespace {

// Below the list of captured values, left of the Next button, on both pages.
const QRect ReportButtonPlace(504, 412, 137, 33);

quint8 storeCommand(CalibrationKind kind)
{
    return kind == CalibrationKind::Input ? instrument::Command::StoreInputCalibration
                                          : instrument::Command::StoreOutputCalibration;
}

// A serial number as part of a file name: letters, digits, '-', '_' and '.'.
QString fileNamePart(const QString &text)
{
    QString part = text;
    part.replace(QRegularExpression(QStringLiteral("[^A-Za-z0-9._-]+")), QStringLiteral("_"));
    return part;
}

} // namespace

CalibrationRecorder::CalibrationRecorder(TForm_Main &window, FileMemory memory)
    : QObject(&window), m_window(window), m_memory(std::move(memory))
{
    TMB *mb1 = m_window.ui->MB1;
    connect(&m_window.instrumentExchange(), &InstrumentExchange::replyDecoded, this,
            &CalibrationRecorder::replyDecoded);
    connect(mb1, &TMB::OnMBPortOpenedOrClosed, this, [this](bool open) {
        // No reply of this instrument can come any more: what waits for its
        // "as left" is complete without one.
        if (!open) {
            finish(CalibrationKind::Input);
            finish(CalibrationKind::Output);
        }
    });

    const std::pair<CalibrationKind, QWidget *> pages[] = {
        {CalibrationKind::Input, m_window.ui->TabSheet_InputCalibration},
        {CalibrationKind::Output, m_window.ui->TabSheet_OutputCalibration}};
    for (const auto &[kind, page] : pages) {
        auto *button = new QPushButton(page);
        button->setObjectName(kind == CalibrationKind::Input
                                  ? QStringLiteral("Button_SaveInputCalibrationReport")
                                  : QStringLiteral("Button_SaveOutputCalibrationReport"));
        button->setGeometry(ReportButtonPlace);
        button->hide(); // until there is a record to report
        connect(button, &QPushButton::clicked, this, [this, kind = kind] { saveReport(kind); });
        slot(kind).button = button;
    }
}

CalibrationRecorder::~CalibrationRecorder()
{
    // The window's controls may be gone by now: only the log is written.
    for (Slot &s : m_slots) {
        if (!s.pending) continue;
        QString error;
        log.append(QStringLiteral("calibration"), *s.pending, error);
    }
}

void CalibrationRecorder::applyLanguage(CaptionLanguage language)
{
    m_language = language;
    for (Slot &s : m_slots)
        if (s.button) s.button->setText(text(FileCaption::SaveReport));
}

QPushButton *CalibrationRecorder::reportButton(CalibrationKind kind) const
{
    return slot(kind).button;
}

const std::optional<CalibrationRecord> &CalibrationRecorder::record(CalibrationKind kind) const
{
    return slot(kind).done;
}

void CalibrationRecorder::replyDecoded(const ExchangeReply &decoded)
{
    const InstrumentReply &reply = decoded.reply;
    const InstrumentRequest &request = decoded.request;
    // Most replies hold nothing for the recorder: it has work only where a
    // calibration can be stored (a store asked for or latched, a record
    // waiting for its "as left") or on the output calibration wizard's page.
    const quint8 stores =
        storeCommand(CalibrationKind::Input) | storeCommand(CalibrationKind::Output);
    const Ui::TForm_Main &ui = *m_window.ui;
    if (!(request.CommandBits & stores) && !slot(CalibrationKind::Input).pending &&
        !slot(CalibrationKind::Output).pending && !storeLatched() &&
        ui.PageControl1->ActivePage() != ui.TabSheet_OutputCalibration)
        return;
    const QDateTime &now = decoded.reading.time;
    const ConnectedUnit &unit = m_window.connectedUnit;

    for (const CalibrationKind kind : {CalibrationKind::Input, CalibrationKind::Output}) {
        Slot &s = slot(kind);
        if (s.pending) {
            s.pending->asLeft = InstrumentState::fromReply(reply);
            finish(kind);
        }
        const quint8 bit = storeCommand(kind);
        const bool asked = request.CommandBits & bit;
        if (asked && (reply.AckBits & bit)) {
            CalibrationRecord record = kind == CalibrationKind::Input
                                           ? CalibrationRecord::forInput(request)
                                           : CalibrationRecord::forOutput(request);
            record.time = now;
            record.port = m_window.ui->MB1->Port();
            record.firmware = firmwareText(reply);
            record.programVersion = kVersionDate;
            record.asFound = unit.asFound();
            record.serialNumber = unit.serialNumber();
            if (kind == CalibrationKind::Output) record.testPoints = m_testPoints;
            s.pending = std::move(record);
        }
    }
    trackTestPoint(request, reply);
    askSerialNumberIfWanted();
}

bool CalibrationRecorder::storeLatched() const
{
    return m_window.ui->SpeedButton_ADCalBeiras->Down() ||
           m_window.ui->SpeedButton_WriteOutputCalibrationToKX->Down();
}

void CalibrationRecorder::askSerialNumberIfWanted()
{
    const ConnectedUnit &unit = m_window.connectedUnit;
    if (m_askingSerialNumber || !storeLatched() || !unit.isConnected() ||
        !unit.serialNumber().isEmpty())
        return;
    m_askingSerialNumber = true;
    // Asked after this exchange's handlers, which must send the next
    // request: the exchange goes on while the question is open.
    QTimer::singleShot(0, this, [this] {
        ConnectedUnit &unit = m_window.connectedUnit;
        const quint64 connection = unit.connection();
        SerialNumberQuestion question;
        question.title = text(FileCaption::UnitSerialTitle);
        question.label = text(FileCaption::UnitSerialLabel).arg(unit.port());
        question.hint = text(FileCaption::UnitSerialHint);
        const std::optional<QString> given = askSerialNumber(&m_window, question);
        m_askingSerialNumber = false;
        // The number belongs to the unit that was on the line when asked.
        if (unit.connection() != connection || !unit.isConnected()) return;
        if (given) {
            unit.setSerialNumber(*given);
            return;
        }
        // No number, no store: the command is withdrawn, as by a second press.
        m_window.ui->SpeedButton_ADCalBeiras->setDown(false);
        m_window.ui->SpeedButton_WriteOutputCalibrationToKX->setDown(false);
    });
}

void CalibrationRecorder::trackTestPoint(const InstrumentRequest &request,
                                         const InstrumentReply &reply)
{
    const Ui::TForm_Main &ui = *m_window.ui;
    if (ui.PageControl1->ActivePage() != ui.TabSheet_OutputCalibration) return;
    const int step = m_window.OutCalStep();
    if (step == 1) m_testPoints.clear(); // a new run of the wizard
    if (step != 3 && step != 6) return;
    // Driven: the instrument reports the PWM value of the request, and the
    // window still asks for it (the test point has not changed since).
    if (request.PWMForce == 0 || reply.PWMValue != request.PWMForce ||
        m_window.PWMForce != request.PWMForce)
        return;
    const std::array<TSpeedButton *, 3> buttons =
        step == 3
            ? std::array{ui.SpeedButton_Test4mA, ui.SpeedButton_Test12mA, ui.SpeedButton_Test20mA}
            : std::array{ui.SpeedButton_Test2V, ui.SpeedButton_Test6V, ui.SpeedButton_Test10V};
    const auto down = std::find_if(buttons.begin(), buttons.end(),
                                   [](const TSpeedButton *b) { return b->Down(); });
    if (down == buttons.end()) return;
    const QString name = (*down)->text();
    const auto seen = std::find_if(m_testPoints.begin(), m_testPoints.end(),
                                   [&](const OutputTestPoint &p) { return p.name == name; });
    if (seen != m_testPoints.end())
        seen->pwm = request.PWMForce; // driven again, perhaps from a new capture
    else
        m_testPoints.push_back({name, request.PWMForce});
}

void CalibrationRecorder::finish(CalibrationKind kind)
{
    Slot &s = slot(kind);
    if (!s.pending) return;
    s.done = std::move(s.pending);
    s.pending.reset();
    QString error;
    if (!log.append(QStringLiteral("calibration"), *s.done, error)) tellNotLogged(error);
    if (s.button) s.button->show();
    emit recordFinished(kind);
}

void CalibrationRecorder::tellNotLogged(const QString &error)
{
    const QString where =
        QDir::toNativeSeparators(log.path().isEmpty() ? log.folder() : log.path());
    QString title = text(FileCaption::SaveReport);
    title.remove(QChar(0x2026));
    showMessage(
        &m_window, title,
        text(FileCaption::NotLogged).arg(where, reasonText(error, textLanguage(m_language))));
}

bool CalibrationRecorder::saveReport(CalibrationKind kind)
{
    Slot &s = slot(kind);
    if (!s.done) return false;
    QString title = text(FileCaption::SaveReport);
    title.remove(QChar(0x2026));

    ReportDetailsQuestion details;
    details.title = title;
    details.serialLabel = text(FileCaption::SerialNumber);
    details.technicianLabel = text(FileCaption::Technician);
    details.suggested = {s.done->serialNumber, s.done->technician.isEmpty()
                                                   ? m_memory.value(FileMemory::TechnicianKey)
                                                   : s.done->technician};
    details.serialFixed = !s.done->serialNumber.isEmpty();
    const std::optional<ReportDetails> given = askReportDetails(&m_window, details);
    if (!given || given->serialNumber.isEmpty() || given->technician.isEmpty()) return false;
    if (!s.done->serialNumber.isEmpty() && given->serialNumber != s.done->serialNumber) {
        showMessage(&m_window, title,
                    text(FileCaption::AnotherUnit).arg(s.done->serialNumber, given->serialNumber));
        return false;
    }

    CalibrationRecord record = *s.done;
    record.serialNumber = given->serialNumber;
    record.technician = given->technician;
    // Remembered at once: the next unit on the bench is likely the same
    // technician's.
    m_memory.setValue(FileMemory::TechnicianKey, record.technician);

    QString folder = m_memory.value(FileMemory::ReportFolderKey);
    if (folder.isEmpty() || !QFileInfo(folder).isDir()) folder = QDir::homePath();
    FileQuestion question;
    question.mode = FileQuestion::Mode::Save;
    question.title = title;
    question.startPath =
        QDir(folder).filePath(QStringLiteral("KX4720R_%1_%2-calibration_%3.pdf")
                                  .arg(fileNamePart(record.serialNumber), calibrationKindName(kind),
                                       record.time.toString(QStringLiteral("yyyyMMdd-HHmm"))));
    question.filters = {text(FileCaption::PdfFilter), text(FileCaption::AllFilesFilter)};
    QString path = askFileName(&m_window, question);
    if (path.isEmpty()) return false;
    if (QFileInfo(path).suffix().isEmpty()) path += QStringLiteral(".pdf");

    QString error;
    if (!writeCalibrationReport(record, path, m_language, error)) {
        showMessage(
            &m_window, title,
            text(FileCaption::ReportNotWritten)
                .arg(QDir::toNativeSeparators(path), reasonText(error, textLanguage(m_language))));
        return false;
    }
    // The dialogs ran the event loop: a newer record may have come meanwhile,
    // and the serial number given belongs to this one only.
    if (s.done && s.done->time == record.time) {
        s.done->serialNumber = record.serialNumber;
        s.done->technician = record.technician;
    }
    m_memory.setValue(FileMemory::ReportFolderKey, QFileInfo(path).absolutePath());
    // The log learns which unit the calibration belongs to.
    if (!log.append(QStringLiteral("report"), record, error)) tellNotLogged(error);
    return true;
}
