#include "app/form_main.h"

TForm_Main::TForm_Main(QWidget *parent) : QMainWindow(parent)
{
    setObjectName(QStringLiteral("Form_Main"));
}

TForm_Main::~TForm_Main() = default;
