// Laying out the "Records" dialog, filling its lists and reprinting a record.
#include "app/records_dialog.h"

#include "app/certificate.h"
#include "app/form_main.h"
#include "app/window_records.h"

#include <QDialogButtonBox>
#include <QDir>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QSpinBox>
#include <QTabWidget>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <span>

namespace {

enum Role { IdRole = Qt::UserRole, PendingRole };

constexpr int DefaultDueDays = 30;
// Typing a serial number (or a scanner typing it) reads once it pauses.
constexpr int TypingPauseMs = 300;

// The lists' columns, by their headings.
using Columns = std::span<const RecordsCaption>;
constexpr RecordsCaption History[] = {
    RecordsCaption::ColumnTime,        RecordsCaption::ColumnKind,
    RecordsCaption::ColumnCertificate, RecordsCaption::ColumnAsFound,
    RecordsCaption::ColumnAsLeft,      RecordsCaption::ColumnDue,
    RecordsCaption::ColumnBench,       RecordsCaption::ColumnTechnician,
    RecordsCaption::ColumnState};
constexpr RecordsCaption Due[] = {RecordsCaption::ColumnDue,         RecordsCaption::ColumnSerial,
                                  RecordsCaption::ColumnTime,        RecordsCaption::ColumnKind,
                                  RecordsCaption::ColumnCertificate, RecordsCaption::ColumnAsLeft,
                                  RecordsCaption::ColumnBench,       RecordsCaption::ColumnState};
constexpr Columns HistoryColumns(History);
constexpr Columns DueColumns(Due);

// Dates as text that sorts in time order in either language.
QString timeText(const QDateTime &time)
{
    return time.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm"));
}
QString dateText(const QDate &date)
{
    return date.isValid() ? date.toString(Qt::ISODate) : QString();
}

RecordsCaption kindCaption(EntryKind kind)
{
    switch (kind) {
    case EntryKind::Input:
        return RecordsCaption::KindInput;
    case EntryKind::Output:
        return RecordsCaption::KindOutput;
    case EntryKind::Verification:
        break;
    }
    return RecordsCaption::KindVerification;
}

std::optional<RecordsCaption> verdictCaption(const std::optional<Verdict> &verdict)
{
    if (!verdict) return std::nullopt;
    switch (*verdict) {
    case Verdict::Pass:
        return RecordsCaption::VerdictPass;
    case Verdict::PassWithinGuardBand:
        return RecordsCaption::VerdictGuardBand;
    case Verdict::Fail:
        break;
    }
    return RecordsCaption::VerdictFail;
}

QTreeWidget *makeList(Columns columns, CaptionLanguage language, QWidget *parent)
{
    QStringList headers;
    for (const RecordsCaption column : columns)
        headers << recordsCaptionText(language, column);
    auto *list = new QTreeWidget(parent);
    list->setRootIsDecorated(false);
    list->setUniformRowHeights(true);
    list->setAllColumnsShowFocus(true);
    list->setSelectionMode(QAbstractItemView::SingleSelection);
    list->setHeaderLabels(headers);
    list->setSortingEnabled(true);
    return list;
}

} // namespace

bool writeRecordReport(const CalibrationEntry &entry, const QString &path, CaptionLanguage language,
                       QString &error)
{
    return writeCertificatePdf(entry, language, path, error);
}

RecordsDialog::RecordsDialog(WindowRecords &records, CaptionLanguage language,
                             const QString &serialNumber, QWidget *parent)
    : QDialog(parent), m_records(records), m_language(language)
{
    setObjectName(QStringLiteral("RecordsDialog"));
    setWindowTitle(text(RecordsCaption::DialogTitle));

    m_serial = new QLineEdit(serialNumber, this);
    m_serial->setObjectName(QStringLiteral("Edit_RecordsSerial"));
    m_serial->setClearButtonEnabled(true);
    auto *serialLabel = new QLabel(text(RecordsCaption::SerialFilter), this);
    serialLabel->setBuddy(m_serial);

    m_history = makeList(HistoryColumns, language, this);
    m_history->setObjectName(QStringLiteral("List_RecordsHistory"));
    m_history->sortByColumn(0, Qt::DescendingOrder);

    auto *duePage = new QWidget(this);
    m_due = makeList(DueColumns, language, duePage);
    m_due->setObjectName(QStringLiteral("List_RecordsDue"));
    m_due->sortByColumn(0, Qt::AscendingOrder);
    m_days = new QSpinBox(duePage);
    m_days->setObjectName(QStringLiteral("Spin_RecordsDueDays"));
    m_days->setRange(0, 3650);
    m_days->setValue(DefaultDueDays);
    auto *daysLabel = new QLabel(text(RecordsCaption::DueWithin), duePage);
    daysLabel->setBuddy(m_days);
    auto *daysRow = new QHBoxLayout;
    daysRow->addWidget(daysLabel);
    daysRow->addWidget(m_days);
    daysRow->addWidget(new QLabel(text(RecordsCaption::DaysSuffix), duePage));
    daysRow->addStretch();
    auto *dueLayout = new QVBoxLayout(duePage);
    dueLayout->addLayout(daysRow);
    dueLayout->addWidget(m_due);

    m_tabs = new QTabWidget(this);
    m_tabs->addTab(m_history, text(RecordsCaption::HistoryTab));
    m_tabs->addTab(duePage, text(RecordsCaption::DueTab));

    m_status = new QLabel(this);
    m_status->setWordWrap(true);
    m_status->setTextInteractionFlags(Qt::TextSelectableByMouse);

    m_reprint = new QPushButton(text(RecordsCaption::Reprint), this);
    m_reprint->setEnabled(false);
    auto *buttons = new QDialogButtonBox(this);
    buttons->addButton(m_reprint, QDialogButtonBox::ActionRole);
    QPushButton *close =
        buttons->addButton(text(RecordsCaption::Close), QDialogButtonBox::RejectRole);
    // Return in the serial number reads the records; it never closes the dialog.
    for (QPushButton *b : {m_reprint, close}) {
        b->setAutoDefault(false);
        b->setDefault(false);
    }

    auto *serialRow = new QHBoxLayout;
    serialRow->addWidget(serialLabel);
    serialRow->addWidget(m_serial, 1);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(serialRow);
    layout->addWidget(m_tabs, 1);
    layout->addWidget(m_status);
    layout->addWidget(buttons);
    setTabOrder(m_serial, m_tabs);
    setTabOrder(m_tabs, m_history);
    setTabOrder(m_history, m_days);
    setTabOrder(m_days, m_due);
    setTabOrder(m_due, m_reprint);
    setTabOrder(m_reprint, close);
    resize(960, 460);
    // A unit named: its calibrations at hand; none: the number is typed first.
    if (serialNumber.isEmpty())
        m_serial->setFocus();
    else
        m_history->setFocus();

    m_typing = new QTimer(this);
    m_typing->setSingleShot(true);
    m_typing->setInterval(TypingPauseMs);
    connect(m_typing, &QTimer::timeout, this, &RecordsDialog::showHistory);
    connect(m_serial, &QLineEdit::textEdited, m_typing, qOverload<>(&QTimer::start));
    connect(m_serial, &QLineEdit::returnPressed, this, &RecordsDialog::showHistory);
    connect(m_days, &QSpinBox::valueChanged, this, &RecordsDialog::showDue);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(m_reprint, &QPushButton::clicked, this, &RecordsDialog::reprintSelected);
    connect(m_tabs, &QTabWidget::currentChanged, this, &RecordsDialog::showStatus);
    for (QTreeWidget *list : {m_history, m_due}) {
        connect(list, &QTreeWidget::itemActivated, this, &RecordsDialog::reprintSelected);
        connect(list, &QTreeWidget::itemSelectionChanged, this, &RecordsDialog::showStatus);
    }
    showHistory();
    showDue();
}

QString RecordsDialog::text(RecordsCaption caption) const
{
    return recordsCaptionText(m_language, caption);
}

void RecordsDialog::showHistory()
{
    m_typing->stop();
    const QString serial = m_serial->text().trimmed();
    m_history->clear();
    if (serial.isEmpty()) {
        m_historyStatus = text(RecordsCaption::NoneFound);
        showStatus();
        emit historyShown();
        return;
    }
    m_historyStatus = text(RecordsCaption::Reading);
    showStatus();
    const quint64 ticket = ++m_historyTicket;
    m_records.run<Read>(
        this,
        [serial](BenchRecords *records, const QString &why) {
            if (!records) return Read{std::nullopt, why};
            std::optional<BenchRecords::Listing> listing = records->list(serial);
            return Read{std::move(listing), records->error()};
        },
        [this, ticket](const Read &read) {
            if (ticket != m_historyTicket) return; // another number was typed meanwhile
            fill(m_history, read, false);
            emit historyShown();
        });
}

void RecordsDialog::showDue()
{
    m_due->clear();
    m_dueStatus = text(RecordsCaption::Reading);
    showStatus();
    const quint64 ticket = ++m_dueTicket;
    const QDate by = QDate::currentDate().addDays(m_days->value());
    m_records.run<Read>(
        this,
        [by](BenchRecords *records, const QString &why) {
            if (!records) return Read{std::nullopt, why};
            std::optional<BenchRecords::Listing> listing = records->dueBy(by);
            return Read{std::move(listing), records->error()};
        },
        [this, ticket](const Read &read) {
            if (ticket != m_dueTicket) return;
            fill(m_due, read, true);
            emit dueShown();
        });
}

void RecordsDialog::fill(QTreeWidget *list, const Read &read, bool dueColumns)
{
    QString &status = dueColumns ? m_dueStatus : m_historyStatus;
    list->clear();
    if (!read.listing) {
        status = text(RecordsCaption::NotRead).arg(read.error.simplified());
        showStatus();
        return;
    }
    list->setSortingEnabled(false);
    for (const EntrySummary &summary : read.listing->records)
        list->addTopLevelItem(item(summary, dueColumns));
    list->setSortingEnabled(true);
    for (int column = 0; column < list->columnCount(); ++column)
        list->resizeColumnToContents(column);
    const qsizetype count = read.listing->records.size();
    status = count == 0 ? text(RecordsCaption::NoneFound) : text(RecordsCaption::Count).arg(count);
    if (!read.listing->complete)
        status = text(RecordsCaption::SharedAway).arg(read.error.simplified()) + u' ' + status;
    showStatus();
}

QTreeWidgetItem *RecordsDialog::item(const EntrySummary &summary, bool dueColumns) const
{
    const auto verdict = [this](const std::optional<Verdict> &v) {
        const std::optional<RecordsCaption> caption = verdictCaption(v);
        return caption ? text(*caption) : QString();
    };
    const auto value = [&](RecordsCaption column) -> QString {
        switch (column) {
        case RecordsCaption::ColumnTime:
            return timeText(summary.time);
        case RecordsCaption::ColumnKind:
            return text(kindCaption(summary.kind));
        case RecordsCaption::ColumnCertificate:
            return summary.certificateNumber;
        case RecordsCaption::ColumnAsFound:
            return verdict(summary.asFound);
        case RecordsCaption::ColumnAsLeft:
            return verdict(summary.asLeft);
        case RecordsCaption::ColumnDue:
            if (summary.dueDate.isValid() && summary.dueDate < QDate::currentDate())
                return QStringLiteral("%1 (%2)").arg(dateText(summary.dueDate),
                                                     text(RecordsCaption::Overdue));
            return dateText(summary.dueDate);
        case RecordsCaption::ColumnSerial:
            return summary.serialNumber;
        case RecordsCaption::ColumnBench:
            return summary.bench;
        case RecordsCaption::ColumnTechnician:
            return summary.technician;
        case RecordsCaption::ColumnState:
            return summary.pending ? text(RecordsCaption::NotYetShared) : QString();
        default:
            return {};
        }
    };
    QStringList columns;
    for (const RecordsCaption column : dueColumns ? DueColumns : HistoryColumns)
        columns << value(column);
    auto *row = new QTreeWidgetItem(columns);
    row->setData(0, IdRole, summary.id);
    row->setData(0, PendingRole, summary.pending);
    if (summary.pending) {
        QFont font = row->font(0);
        font.setItalic(true);
        for (int column = 0; column < columns.size(); ++column)
            row->setFont(column, font);
    }
    return row;
}

void RecordsDialog::showStatus()
{
    const bool due = m_tabs->currentIndex() == 1;
    m_status->setText(due ? m_dueStatus : m_historyStatus);
    const QTreeWidget *list = due ? m_due : m_history;
    m_reprint->setEnabled(list->currentItem() && list->currentItem()->isSelected());
}

void RecordsDialog::reprintSelected()
{
    const QTreeWidget *list = m_tabs->currentIndex() == 1 ? m_due : m_history;
    const QTreeWidgetItem *row = list->currentItem();
    if (!row) return;
    reprint(row->data(0, IdRole).toUuid(), row->data(0, PendingRole).toBool());
}

void RecordsDialog::reprint(const QUuid &id, bool pending)
{
    struct Found {
        std::optional<CalibrationEntry> entry;
        QString why;
    };
    m_reprint->setEnabled(false);
    m_records.run<Found>(
        this,
        [id, pending](BenchRecords *records, const QString &why) -> Found {
            if (!records) return {std::nullopt, why};
            // A record waiting in the spool may have been sent meanwhile.
            if (pending) {
                const auto spooled = records->spooled();
                if (!spooled) return {std::nullopt, records->error()};
                for (const CalibrationEntry &e : *spooled)
                    if (e.id == id) return {e, {}};
            }
            RecordsStore *store = records->records();
            if (!store) return {std::nullopt, records->error()};
            std::optional<CalibrationEntry> entry = store->entry(id);
            if (!entry) return {std::nullopt, store->error()};
            return {std::move(entry), {}};
        },
        [this](const Found &found) {
            showStatus();
            written(found.entry, found.why);
        });
}

void RecordsDialog::written(const std::optional<CalibrationEntry> &entry, const QString &why)
{
    const QString title = text(RecordsCaption::ReprintTitle);
    if (!entry) {
        showMessage(this, title, text(RecordsCaption::NotReprinted).arg(why));
        emit reprintFinished({});
        return;
    }
    QString name = entry->certificateNumber.isEmpty()
                       ? entry->time.toString(QStringLiteral("yyyyMMdd-HHmm"))
                       : entry->certificateNumber;
    name = QStringLiteral("KX4720R_%1_%2.pdf").arg(entry->serialNumber, name);
    name.replace(QRegularExpression(QStringLiteral("[^A-Za-z0-9._-]+")), QStringLiteral("_"));
    FileQuestion question;
    question.mode = FileQuestion::Mode::Save;
    question.title = title;
    question.startPath = QDir(QDir::homePath()).filePath(name);
    question.filters = {fileCaptionText(m_language, FileCaption::PdfFilter),
                        fileCaptionText(m_language, FileCaption::AllFilesFilter)};
    QString path = askFileName(this, question);
    if (path.isEmpty()) {
        emit reprintFinished({});
        return;
    }
    if (QFileInfo(path).suffix().isEmpty()) path += QStringLiteral(".pdf");
    QString error;
    if (!writeReport(*entry, path, m_language, error)) {
        showMessage(this, title, text(RecordsCaption::NotReprinted).arg(error));
        emit reprintFinished({});
        return;
    }
    m_status->setText(text(RecordsCaption::Reprinted).arg(QDir::toNativeSeparators(path)));
    emit reprintFinished(path);
}

RecordsDialog *showRecordsDialog(QWidget *parent, const QString &serialNumber)
{
    auto *window = parent ? qobject_cast<TForm_Main *>(parent->window()) : nullptr;
    auto *records = window ? window->findChild<WindowRecords *>() : nullptr;
    if (!records) return nullptr;
    if (auto *open = window->findChild<RecordsDialog *>()) {
        if (!serialNumber.isEmpty() && open->serialEdit()->text() != serialNumber) {
            open->serialEdit()->setText(serialNumber);
            open->showHistory();
        }
        open->raise();
        open->activateWindow();
        return open;
    }
    auto *dialog =
        new RecordsDialog(*records, window->captions().language().value_or(kDefaultCaptionLanguage),
                          serialNumber, window);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->show();
    return dialog;
}
