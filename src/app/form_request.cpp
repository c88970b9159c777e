// Building the instrument request from the window's current state.
#include "app/form_main.h"

void TForm_Main::SendInstrumentRequest()
{
    // Append the request fields to MB1's TX data buffer and start a master transaction.
}
