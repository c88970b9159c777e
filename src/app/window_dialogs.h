// The questions the window's file actions put to the user: a file name, the
// unit's serial number, the technician's name, and a message. Each is a
// replaceable function, so tests answer them without a modal dialog; the
// defaults are the standard file dialog, a small form and a message box.
#pragma once

#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

class QWidget;

struct FileQuestion {
    enum class Mode { Open, Save };
    Mode mode = Mode::Open;
    QString title;
    QString startPath; // a folder, or a suggested file in one
    QStringList filters;
};
// The chosen file; empty when the user cancelled.
using AskFileName = std::function<QString(QWidget *parent, const FileQuestion &)>;
QString askFileNameWithDialog(QWidget *parent, const FileQuestion &question);

struct ReportDetails {
    QString serialNumber;
    QString technician;
};
struct ReportDetailsQuestion {
    QString title;
    QString serialLabel;
    QString technicianLabel;
    ReportDetails suggested;
    bool serialFixed = false; // the record names its unit: shown, not to be changed
};
// Both given (trimmed, not empty), or nothing when the user cancelled.
using AskReportDetails =
    std::function<std::optional<ReportDetails>(QWidget *parent, const ReportDetailsQuestion &)>;
std::optional<ReportDetails> askReportDetailsWithDialog(QWidget *parent,
                                                        const ReportDetailsQuestion &question);

// The serial number of the unit on the line, which the instrument does not
// report: typed, or scanned from its barcode.
struct SerialNumberQuestion {
    QString title;
    QString label;
    QString hint;
};
// The number given (trimmed, not empty), or nothing when the user cancelled.
using AskSerialNumber =
    std::function<std::optional<QString>(QWidget *parent, const SerialNumberQuestion &)>;
std::optional<QString> askSerialNumberWithDialog(QWidget *parent,
                                                 const SerialNumberQuestion &question);

// Shown without waiting: a message may come while the exchange with the
// instrument goes on, and must not hold it up.
using ShowMessage = std::function<void(QWidget *parent, const QString &title, const QString &text)>;
void showWarningBox(QWidget *parent, const QString &title, const QString &text);
