// Key filtering and focus-exit reporting of TEdit.
#include "widgets/edit.h"

#include <QFocusEvent>
#include <QKeyEvent>

TEdit::TEdit(QWidget *parent) : QLineEdit(parent) {}

void TEdit::keyPressEvent(QKeyEvent *event)
{
    const QString text = event->text();
    // Only a key that types one character goes through the filter; editing
    // keys and shortcuts (arrows, Ctrl+C) are the edit's own business.
    if (text.size() != 1 || !text[0].isPrint() ||
        (event->modifiers() & (Qt::ControlModifier | Qt::MetaModifier))) {
        QLineEdit::keyPressEvent(event);
        return;
    }
    QChar key = text[0];
    emit OnKeyPress(key);
    if (key.isNull()) {
        event->accept();
        return;
    }
    if (key == text[0]) {
        QLineEdit::keyPressEvent(event);
        return;
    }
    // Typed as a plain character key, so the edit inserts the replacement
    // exactly as if the user had typed it (selection, max length, validator).
    QKeyEvent replaced(event->type(), Qt::Key_unknown, event->modifiers() & Qt::ShiftModifier,
                       QString(key), event->isAutoRepeat(), ushort(event->count()));
    QLineEdit::keyPressEvent(&replaced);
    event->setAccepted(replaced.isAccepted());
}

void TEdit::focusOutEvent(QFocusEvent *event)
{
    QLineEdit::focusOutEvent(event);
    // Switching to another window or opening a context menu is not leaving
    // the edit: the focus comes straight back to it.
    const Qt::FocusReason reason = event->reason();
    if (reason == Qt::ActiveWindowFocusReason || reason == Qt::PopupFocusReason) return;
    emit OnExit();
}
