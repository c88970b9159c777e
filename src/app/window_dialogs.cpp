// The standard dialogs behind the window's file questions.
#include "app/window_dialogs.h"

#include "widgets/dialogs.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>

QString askFileNameWithDialog(QWidget *parent, const FileQuestion &question)
{
    const auto dialog = makeFileDialog(parent, question.title, question.startPath,
                                       question.filters.join(QStringLiteral(";;")));
    if (question.mode == FileQuestion::Mode::Save) {
        dialog->setAcceptMode(QFileDialog::AcceptSave);
    } else {
        dialog->setAcceptMode(QFileDialog::AcceptOpen);
        dialog->setFileMode(QFileDialog::ExistingFile);
    }
    return dialog->exec() == QDialog::Accepted ? dialog->selectedFiles().value(0) : QString();
}

std::optional<ReportDetails> askReportDetailsWithDialog(QWidget *parent,
                                                        const ReportDetailsQuestion &question)
{
    QDialog dialog(parent);
    useWindowFont(&dialog, parent);
    dialog.setWindowTitle(question.title);
    auto *serial = new QLineEdit(question.suggested.serialNumber, &dialog);
    auto *technician = new QLineEdit(question.suggested.technician, &dialog);
    serial->setMinimumWidth(220);
    // Both go into a table cell of a one-page report.
    serial->setMaxLength(64);
    technician->setMaxLength(80);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
    auto *form = new QFormLayout(&dialog);
    form->addRow(question.serialLabel, serial);
    form->addRow(question.technicianLabel, technician);
    form->addRow(buttons);
    // A report names both: OK only once both are given.
    QPushButton *ok = buttons->button(QDialogButtonBox::Ok);
    const auto check = [&] {
        ok->setEnabled(!serial->text().trimmed().isEmpty() &&
                       !technician->text().trimmed().isEmpty());
    };
    QObject::connect(serial, &QLineEdit::textChanged, &dialog, check);
    QObject::connect(technician, &QLineEdit::textChanged, &dialog, check);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    check();
    (question.suggested.serialNumber.isEmpty() ? serial : technician)->setFocus();
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    return ReportDetails{serial->text().trimmed(), technician->text().trimmed()};
}

void showWarningBox(QWidget *parent, const QString &title, const QString &text)
{
    auto *box = new QMessageBox(QMessageBox::Warning, title, text, QMessageBox::Ok, parent);
    useWindowFont(box, parent);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
}
