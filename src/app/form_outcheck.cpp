// The output check page: the technician picks an output level of 0 ... 100 %
// in steps of 5 %. The page only keeps the choice on its track bar; every
// request carries it, marked as an output check while the page is active.
#include "app/form_main.h"

#include "ui_form_main.h"
#include "widgets/trackbar.h"

namespace {
constexpr int PercentPerStep = 5;
constexpr int MeanPosition = 10;
constexpr int MaxPosition = 20;
} // namespace

void TForm_Main::TrackBar_OutCheckChange(QObject *)
{
    const int percent = ui->TrackBar_OutCheck->Position() * PercentPerStep;
    ui->Label_OutputCheckPercent->setText(QString::number(percent) + QStringLiteral(" %"));
}

// The buttons only move the track bar; its change handler does the rest, and
// a button for the position already held changes nothing.
void TForm_Main::Button_OutCheckMinClick(QObject *)
{
    ui->TrackBar_OutCheck->setPosition(0);
}

void TForm_Main::Button_OutCheckMaxClick(QObject *)
{
    ui->TrackBar_OutCheck->setPosition(MaxPosition);
}

void TForm_Main::Button_OutCheckMeanClick(QObject *)
{
    ui->TrackBar_OutCheck->setPosition(MeanPosition);
}
