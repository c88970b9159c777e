// The program's main window: instrument exchange, scale settings and the
// factory-level calibration and test pages.
#pragma once

#include <QMainWindow>

class TForm_Main : public QMainWindow {
    Q_OBJECT
public:
    explicit TForm_Main(QWidget *parent = nullptr);
    ~TForm_Main() override;
};
