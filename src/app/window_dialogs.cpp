// The standard dialogs behind the window's file questions.
#include "app/window_dialogs.h"

#include "widgets/dialogs.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>

#include <algorithm>

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

namespace {

// One line of a question's form.
struct LineField {
    QString label;
    QString text;
    int maxLength = 0;
    bool readOnly = false;
};

// A form of lines, each to be filled, with OK (once every line holds more
// than blanks) and Cancel; the first empty line has the focus, so a barcode
// scanner, which types like a keyboard and ends with Enter, fills it and
// closes the form. The lines trimmed, or nothing when cancelled.
std::optional<QStringList> askLines(QWidget *parent, const QString &title, const QString &hint,
                                    const QList<LineField> &fields)
{
    QDialog dialog(parent);
    useWindowFont(&dialog, parent);
    dialog.setWindowTitle(title);
    auto *form = new QFormLayout(&dialog);
    if (!hint.isEmpty()) {
        auto *text = new QLabel(hint, &dialog);
        text->setWordWrap(true);
        form->addRow(text);
    }
    QList<QLineEdit *> edits;
    for (const LineField &field : fields) {
        auto *edit = new QLineEdit(field.text, &dialog);
        edit->setMinimumWidth(220);
        edit->setMaxLength(field.maxLength);
        edit->setReadOnly(field.readOnly);
        form->addRow(field.label, edit);
        edits << edit;
    }
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
    form->addRow(buttons);
    QPushButton *ok = buttons->button(QDialogButtonBox::Ok);
    const auto check = [&] {
        ok->setEnabled(std::all_of(edits.begin(), edits.end(), [](const QLineEdit *edit) {
            return !edit->text().trimmed().isEmpty();
        }));
    };
    for (QLineEdit *edit : edits)
        QObject::connect(edit, &QLineEdit::textChanged, &dialog, check);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    check();
    const auto empty = std::find_if(edits.begin(), edits.end(),
                                    [](const QLineEdit *edit) { return edit->text().isEmpty(); });
    (empty != edits.end() ? *empty : edits.last())->setFocus();
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    QStringList lines;
    for (const QLineEdit *edit : edits)
        lines << edit->text().trimmed();
    return lines;
}

// Both go into a table cell of a one-page report.
constexpr int kSerialNumberLength = 64;
constexpr int kTechnicianLength = 80;

} // namespace

std::optional<ReportDetails> askReportDetailsWithDialog(QWidget *parent,
                                                        const ReportDetailsQuestion &question)
{
    const std::optional<QStringList> lines =
        askLines(parent, question.title, QString(),
                 {{question.serialLabel, question.suggested.serialNumber, kSerialNumberLength,
                   question.serialFixed},
                  {question.technicianLabel, question.suggested.technician, kTechnicianLength}});
    if (!lines) return std::nullopt;
    return ReportDetails{lines->at(0), lines->at(1)};
}

std::optional<QString> askSerialNumberWithDialog(QWidget *parent,
                                                 const SerialNumberQuestion &question)
{
    const std::optional<QStringList> lines = askLines(
        parent, question.title, question.hint, {{question.label, QString(), kSerialNumberLength}});
    if (!lines) return std::nullopt;
    return lines->first();
}

void showWarningBox(QWidget *parent, const QString &title, const QString &text)
{
    auto *box = new QMessageBox(QMessageBox::Warning, title, text, QMessageBox::Ok, parent);
    useWindowFont(box, parent);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
}
