// Program entry of kx4720r-config: creates the main window and runs the
// event loop until it closes.
#include <QApplication>

#include "app/form_main.h"

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    TForm_Main Form_Main;
    Form_Main.show();
    return app.exec();
}
