// One decoded reply with what a view needs of it, and its decoding from a
// reply buffer: the one place a reply's data becomes fields, a reading in
// its units and the acknowledged commands.
#pragma once

#include "core/decoded_reading.h"
#include "protocol/instrument_protocol.h"

namespace mb {
class MBRXDataBuffer;
}

struct ExchangeReply {
    InstrumentRequest request; // the request this reply answers
    InstrumentReply reply;
    DecodedReading reading;  // its values in their units, with its input range
    quint8 acknowledged = 0; // the commands (instrument::Command) it acknowledges
    int tries = 0;           // transmissions the request took
};

// Reads the buffer's data from its start; the buffer's own read index is
// left as it was.
ExchangeReply decodeReply(const mb::MBRXDataBuffer &rx, const InstrumentRequest &request = {});
