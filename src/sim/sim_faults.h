// Faults the simulator plays on demand, so that the program's error paths and
// a long soak run meet a misbehaving instrument for real: what to do with
// each instrument request, how to cut and pace the reply on the line, and
// the tag that lets a soak harness tell every reply apart.
//
// Faults concern the instrument requests (command 1) only; the link's own
// service commands are answered by the link engine and never disturbed.
//
// Reply tag: while tagging is on, every reply carries its serial number
// 1, 2, ... in ADValueCH1, the raw reading of the voltage converter. The
// instrument fills that field freely, the window shows it (Test page number
// and bar) and keeps it in its variable ADValueCH1, and nothing computes with
// it: the calibration and the statistics use the averaged readings. So a tag
// changes no layout and no behaviour, and a harness can read back exactly
// which reply the window decoded. Tags stay within the converter's range
// (1 ... 8388607, then 1 again), so the bar and the seven-digit pattern show
// them like any reading.
#pragma once

#include "protocol/instrument_protocol.h"

#include <QByteArray>

#include <chrono>
#include <cstdint>
#include <optional>
#include <random>
#include <span>
#include <vector>

struct SimFaults {
    int dropEvery = 0;    // no reply to every Nth instrument request (0: never)
    int corruptEvery = 0; // a wrong CRC on every Nth reply sent (0: never)
    // Result code in place of 0 on every errorEvery-th reply sent; the reply
    // still carries its data (codes up to 128 count as success).
    std::optional<quint8> errorCode;
    int errorEvery = 0;
    int delayMs = 0;       // wait this long before answering
    bool split = false;    // hand the reply's line characters over in random chunks
    bool pace = false;     // take as long as the line would (see lineTime)
    // How the reply is handed over: in pieces of this many milliseconds of
    // line time, as a serial adapter's latency timer or a UART's FIFO hands
    // them to the program (0: character by character). Paced, each piece
    // goes when the line has carried its last character (1 ms when unset);
    // unpaced, the pieces have the same sizes and follow each other at once.
    std::optional<int> pieceMs;
    bool neverAck = false;    // carry commands out but never acknowledge them
    bool neverAnswer = false; // read the line, answer nothing (not even the link's own commands)
    // Refuse a request that asks to write the settings: answer it with this
    // result code (above 128) and store nothing.
    std::optional<quint8> refuseWriteCode;
    bool tagReplies = false;
};

// The fate of one instrument request.
struct ExchangeFaults {
    bool drop = false;       // send nothing
    bool corruptCrc = false; // send the reply with a broken CRC
    quint8 resultCode = 0;
    std::optional<quint32> tag; // for the reply's ADValueCH1
};

// Decides, request by request, which faults apply. Requests are counted from
// 1; dropped requests count as requests but not as replies, so "every Nth
// reply" counts the replies that leave.
class FaultSchedule {
public:
    explicit FaultSchedule(const SimFaults &faults) : faults_(faults) {}

    ExchangeFaults next();

    quint64 requests() const { return requests_; }
    quint64 replies() const { return replies_; }

private:
    SimFaults faults_;
    quint64 requests_ = 0;
    quint64 replies_ = 0;
    quint32 lastTag_ = 0;
};

// The tag travels in ADValueCH1 (see above).
inline constexpr quint32 HighestReplyTag = quint32(instrument::ConverterFullScale);
void applyReplyTag(InstrumentReply &reply, quint32 tag);
quint32 replyTag(const InstrumentReply &reply);

// Breaks a frame's CRC (its last byte) so that the receiver must discard it.
void corruptCrc(std::span<std::uint8_t> frame);

// Cuts the line characters of a reply into chunks of 1 ... maxChunk
// characters, sizes drawn from a seeded generator so a run can be repeated.
class ChunkSplitter {
public:
    explicit ChunkSplitter(std::uint32_t seed, int maxChunk = 32) : random_(seed), max_(maxChunk) {}

    std::vector<QByteArray> split(const QByteArray &characters);

private:
    std::mt19937 random_;
    int max_;
};

// Time a frame of `frameBytes` bytes takes on the line: two characters of
// ten bit times each per frame byte.
std::chrono::microseconds lineTime(int frameBytes, int baud);
// Time `characters` line characters take, ten bit times each.
std::chrono::microseconds characterTime(qint64 characters, int baud);
