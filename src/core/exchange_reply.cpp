// Decoding a reply buffer once for every view.
#include "core/exchange_reply.h"

#include "core/command_latches.h"
#include "frame/mbbuffers.h"

ExchangeReply decodeReply(const mb::MBRXDataBuffer &rx, const InstrumentRequest &request)
{
    mb::MBRXDataBuffer data = rx;
    data.setMBMBRXDataBufferIndex(1);
    ExchangeReply decoded;
    decoded.request = request;
    decoded.reply = readReply(data);
    decoded.reading = DecodedReading::fromReply(decoded.reply);
    decoded.acknowledged = CommandLatches::acknowledgedCommands(decoded.reply.AckBits);
    return decoded;
}
