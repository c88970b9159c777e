// The window's life cycle and the endless request/reply exchange with the
// instrument on MB1.
#include "app/form_main.h"

void TForm_Main::FormCreate(QObject *)
{
    // Read the initialisation file, hand the last used port to MB1, apply the saved language.
}

void TForm_Main::FormActivate(QObject *)
{
    // Compose the window caption and choose the normal or factory-level view.
}

void TForm_Main::FormClose(QObject *)
{
    // Close MB1's port, which stops the cycle, and write the initialisation file.
}

void TForm_Main::MB1MBPortOpenedOrClosed(QObject *, bool)
{
    // On opening, send the first instrument request and so start the cycle.
}

void TForm_Main::PageControl1Change(QObject *)
{
    // Reset the force selectors and prepare the page the user turned to.
}
