// The "Records" dialog: the calibrations of one unit, found by its serial
// number, newest first, with their verdicts, certificate numbers and due
// dates; the units due in the next days; and the report of any record printed
// again. Records the bench has not yet sent to the shared records are marked
// so. The records are read on their own thread: the dialog, like the window
// behind it, never waits for a server.
#pragma once

#include "app/window_dialogs.h"
#include "records/bench_records.h"
#include "ui/records_captions.h"

#include <QDialog>

#include <functional>

class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;
class QTabWidget;
class QTimer;
class QTreeWidget;
class QTreeWidgetItem;
class WindowRecords;

// Writes the certificate of one record (and its JSON beside it), whole or not at all.
using WriteRecordReport = std::function<bool(const CalibrationEntry &entry, const QString &path,
                                             CaptionLanguage language, QString &error)>;
bool writeRecordReport(const CalibrationEntry &entry, const QString &path, CaptionLanguage language,
                       QString &error);

class RecordsDialog : public QDialog {
    Q_OBJECT
public:
    RecordsDialog(WindowRecords &records, CaptionLanguage language, const QString &serialNumber,
                  QWidget *parent = nullptr);

    // Questions to the user and the report's writer; tests replace them.
    AskFileName askFileName = askFileNameWithDialog;
    ShowMessage showMessage = showWarningBox;
    WriteRecordReport writeReport = writeRecordReport;

    QLineEdit *serialEdit() const { return m_serial; }
    QTabWidget *tabs() const { return m_tabs; }
    QTreeWidget *historyList() const { return m_history; }
    QTreeWidget *dueList() const { return m_due; }
    QSpinBox *dueDays() const { return m_days; }
    QPushButton *reprintButton() const { return m_reprint; }
    QLabel *statusLabel() const { return m_status; }

    // Reads the unit's calibrations (the serial number typed), and the units due.
    void showHistory();
    void showDue();
    // Prints the report of the record selected in the list shown again.
    void reprintSelected();

signals:
    void historyShown();
    void dueShown();
    // The report was written to `path`, or not (empty path).
    void reprintFinished(const QString &path);

private:
    struct Read {
        std::optional<BenchRecords::Listing> listing;
        QString error;
    };
    QString text(RecordsCaption caption) const;
    void fill(QTreeWidget *list, const Read &read, bool dueColumns);
    QTreeWidgetItem *item(const EntrySummary &summary, bool dueColumns) const;
    void reprint(const QUuid &id, bool pending);
    void written(const std::optional<CalibrationEntry> &entry, const QString &why);
    void showStatus();

    WindowRecords &m_records;
    CaptionLanguage m_language;
    QLineEdit *m_serial = nullptr;
    QTabWidget *m_tabs = nullptr;
    QTreeWidget *m_history = nullptr;
    QTreeWidget *m_due = nullptr;
    QSpinBox *m_days = nullptr;
    QPushButton *m_reprint = nullptr;
    QLabel *m_status = nullptr;
    QTimer *m_typing = nullptr;
    QString m_historyStatus, m_dueStatus;
    quint64 m_historyTicket = 0, m_dueTicket = 0;
};

// Opens the dialog over the main window `parent` belongs to, for the unit
// with this serial number (empty: the technician types one), in the
// window's language; an open one is brought to the front instead. Null
// when `parent` is not in a main window.
RecordsDialog *showRecordsDialog(QWidget *parent, const QString &serialNumber);
