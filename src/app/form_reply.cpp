// Decoding the instrument reply into the window's variables and displays.
#include "app/form_main.h"

void TForm_Main::DecodeInstrumentReply()
{
    // Read the reply fields from MB1's RX data buffer and show them.
}
