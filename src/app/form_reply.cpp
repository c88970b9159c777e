// The window's handler of a decoded reply: the reply display shows it (see
// reply_display.cpp); a display that fails ends this reply's showing.
#include "app/form_main.h"
#include "app/reply_display.h"

#include <exception>

void TForm_Main::DecodeInstrumentReply()
{
    DecodeInstrumentReply(m_exchange->linkReply());
}

void TForm_Main::DecodeInstrumentReply(const ExchangeReply &decoded)
{
    // The displays keep what they have, and the exchange goes on.
    try {
        m_replyDisplay->show(decoded);
    } catch (const std::exception &failure) {
        // Silent for the user; counted and logged for the developer.
        m_exchange->noteUndecodable(failure.what());
    }
}
