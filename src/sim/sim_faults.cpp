// The simulator's fault schedule, reply tag, chunking and line pacing.
#include "sim/sim_faults.h"

#include <algorithm>

namespace {

bool isNth(quint64 count, int every)
{
    return every > 0 && count % quint64(every) == 0;
}

} // namespace

ExchangeFaults FaultSchedule::next()
{
    ExchangeFaults fate;
    ++requests_;
    if (isNth(requests_, faults_.dropEvery)) {
        fate.drop = true;
        return fate;
    }
    ++replies_;
    fate.corruptCrc = isNth(replies_, faults_.corruptEvery);
    if (faults_.errorCode && isNth(replies_, faults_.errorEvery))
        fate.resultCode = *faults_.errorCode;
    if (faults_.tagReplies) {
        lastTag_ = lastTag_ >= HighestReplyTag ? 1 : lastTag_ + 1;
        fate.tag = lastTag_;
    }
    return fate;
}

void applyReplyTag(InstrumentReply &reply, quint32 tag)
{
    reply.ADValueCH1 = qint32(std::clamp<quint32>(tag, 1, HighestReplyTag));
}

quint32 replyTag(const InstrumentReply &reply)
{
    return reply.ADValueCH1 > 0 ? quint32(reply.ADValueCH1) : 0;
}

void corruptCrc(std::span<std::uint8_t> frame)
{
    if (!frame.empty()) frame.back() ^= 0xFF;
}

std::vector<QByteArray> ChunkSplitter::split(const QByteArray &characters)
{
    std::vector<QByteArray> chunks;
    const int maxChunk = std::max(1, max_);
    for (qsizetype at = 0; at < characters.size();) {
        const int size = 1 + int(random_() % std::uint32_t(maxChunk));
        chunks.push_back(characters.mid(at, size));
        at += size;
    }
    return chunks;
}

std::chrono::microseconds characterTime(qint64 characters, int baud)
{
    if (characters <= 0 || baud <= 0) return std::chrono::microseconds(0);
    // Rounded up: the last character has not arrived before its stop bit ends.
    return std::chrono::microseconds((characters * 10 * 1000000 + baud - 1) / baud);
}

std::chrono::microseconds lineTime(int frameBytes, int baud)
{
    return characterTime(qint64(frameBytes) * 2, baud);
}
