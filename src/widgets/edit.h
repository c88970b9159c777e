// TEdit: the single-line edit of the scale settings. OnKeyPress sees each
// typed character first and may replace it (QChar() drops it); OnExit runs
// when the focus moves to another control of the window.
#pragma once

#include <QLineEdit>

class TEdit : public QLineEdit {
    Q_OBJECT
public:
    explicit TEdit(QWidget *parent = nullptr);

signals:
    // `key` is the typed character; the handler may change it, and a null
    // character swallows the key.
    void OnKeyPress(QChar &key);
    void OnExit();

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;
};
