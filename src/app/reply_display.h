// The window's displays of a decoded reply: the system panel, the values on
// the Settings, Output Check and Test pages, the calibration pages' status
// pictures, and the window's reply variables these displays keep.
#pragma once

#include "core/exchange_reply.h"

#include <QtGlobal>

#include <array>
#include <utility>

class TForm_Main;
class TSpeedButton;
namespace Ui {
class TForm_Main;
}

// The command push-buttons by their bit in CommandBits and AckBits, in the
// order an acknowledgement releases them.
using CommandButtons = std::array<std::pair<quint8, TSpeedButton *>, 6>;
CommandButtons commandButtons(const Ui::TForm_Main &ui);

class ReplyDisplay {
public:
    explicit ReplyDisplay(TForm_Main &window);

    // Empties the displays that only a reply fills.
    void showNoReadingsYet();
    // Shows one decoded reply, group by group in frame order. A display that
    // fails throws; the groups shown before keep their new values.
    void show(const ExchangeReply &decoded);

private:
    void showConverters(const InstrumentReply &reply);
    void showAcknowledgements(quint8 acknowledged);
    void showGainsAndStatus(const InstrumentReply &reply);
    void showInput(const InstrumentReply &reply, const DecodedReading &reading);
    void showOutput(const InstrumentReply &reply, const DecodedReading &reading);
    void showTimeAndTemperature(const InstrumentReply &reply, const DecodedReading &reading);
    void showTestValuesAndScale(const InstrumentReply &reply);

    TForm_Main &m_w;
    Ui::TForm_Main &m_ui;
};
