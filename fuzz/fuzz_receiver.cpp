// libFuzzer target for the streaming MB receiver and the RX data buffer.
// The input drives a sequence of operations: raw character chunks, valid
// encoded frames (so acceptance is reached often), assembly resets, raw
// appends and typed reads at arbitrary indices. Every step is checked against
// a straightforward reference model of the receive rules; any mismatch aborts.
#include <algorithm>
#include <bit>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <span>
#include <vector>

#include "frame/mbbuffers.h"
#include "frame/mbframe.h"
#include "frame/mbreceiver.h"

namespace {

// NDEBUG-proof, unlike assert(); names the failed check's line.
void fail(int line)
{
    std::fprintf(stderr, "check failed at line %d\n", line);
    std::abort();
}
#define check(ok) ((ok) ? void() : fail(__LINE__))

class Input {
public:
    Input(const std::uint8_t *data, std::size_t size) : data_(data), size_(size) {}
    bool empty() const { return pos_ >= size_; }
    std::uint8_t byte() { return pos_ < size_ ? data_[pos_++] : 0; }

private:
    const std::uint8_t *data_;
    std::size_t size_;
    std::size_t pos_ = 0;
};

// Reference receiver: the receive rules written as plainly as possible.
struct Model {
    std::vector<std::uint8_t> assembly;
    std::uint8_t nibble = 0;
    bool complete = false;   // the assembly holds an accepted frame
    bool overflowed = false; // the frame outgrew 2048 bytes, so its end is lost

    void clear()
    {
        assembly.clear();
        complete = overflowed = false;
    }

    mb::RxEvent feed(std::uint8_t c, bool accept)
    {
        if (!(c & 0x40)) {
            nibble = c & 0x0F;
            return mb::RxEvent::None;
        }
        const std::uint8_t b = std::uint8_t((c & 0x0F) * 16 + nibble);
        if (c & 0x80) {
            clear();
            if (!accept)
                return mb::RxEvent::StartRefused;
            assembly.push_back(b);
            return mb::RxEvent::StartAccepted;
        }
        if (assembly.empty())
            return mb::RxEvent::Ignored;
        if (assembly.size() < 2048)
            assembly.push_back(b);
        else
            overflowed = true;
        if (!(c & 0x20))
            return mb::RxEvent::ByteStored;
        // Bytes behind an accepted frame never make another one of it.
        if (!complete && !overflowed && assembly.size() >= 5) {
            std::uint16_t crc = 0xFFFF;
            for (std::size_t n = 0; n + 2 < assembly.size(); ++n) {
                crc ^= assembly[n];
                for (int s = 0; s < 8; ++s)
                    crc = (crc & 1) ? std::uint16_t((crc >> 1) ^ 0xA001) : std::uint16_t(crc >> 1);
            }
            if (assembly[assembly.size() - 2] == (crc & 0xFF) && assembly.back() == (crc >> 8)) {
                complete = true;
                return mb::RxEvent::FrameAccepted;
            }
        }
        clear();
        return mb::RxEvent::FrameDiscarded;
    }
};

// Reads at index i of width k from a heap copy of the received data, so an
// out-of-bounds reference read is caught by ASan as well.
std::uint32_t expectedRead(const std::vector<std::uint8_t> &data, std::size_t i, std::size_t k)
{
    if (i + k - 1 > data.size())
        return 0;
    std::uint32_t v = 0;
    for (std::size_t n = 0; n < k; ++n)
        v |= std::uint32_t(data.at(i - 1 + n)) << (8 * n);
    return v;
}

void exerciseReads(mb::MBRXDataBuffer &rx, const std::vector<std::uint8_t> &data, Input &in)
{
    check(rx.MBReceivedDataNumber() == data.size());
    const int reads = in.byte() % 8;
    for (int r = 0; r < reads; ++r) {
        const std::uint8_t op = in.byte();
        if (op & 0x80) { // position the index anywhere, clamped
            const int want = int(in.byte()) * 16 - 64 + (op & 0x0F);
            rx.setMBMBRXDataBufferIndex(want);
            check(rx.MBMBRXDataBufferIndex() >= 1 && rx.MBMBRXDataBufferIndex() <= 2043);
        }
        const std::size_t i = rx.MBMBRXDataBufferIndex();
        std::size_t k = 1;
        std::uint32_t got = 0;
        switch (op % 5) {
        case 0: got = rx.MBReadByte(); k = 1; break;
        case 1: got = rx.MBReadWord(); k = 2; break;
        case 2: got = rx.MBReadCardinal(); k = 4; break;
        case 3: got = std::uint32_t(rx.MBReadInteger()); k = 4; break;
        case 4: {
            const double v = rx.MBReadReal();
            k = 4;
            const std::uint32_t want = expectedRead(data, i, k);
            const bool nanPattern = (want & 0x7F800000u) == 0x7F800000u && (want & 0x007FFFFFu);
            // Widening is exact; a NaN may come back quieted, so only its kind is compared.
            got = nanPattern ? (std::isnan(v) ? want : ~want)
                             : std::bit_cast<std::uint32_t>(static_cast<float>(v));
            break;
        }
        }
        check(got == expectedRead(data, i, k));
        const bool readable = i + k - 1 <= data.size();
        const std::size_t next = (readable && i + k <= 2043) ? i + k : i;
        check(rx.MBMBRXDataBufferIndex() == next);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    Input in(data, size);
    const std::uint8_t seed = in.byte();
    const int mode = seed % 4;
    const std::uint8_t address = (seed >> 2) & 0x0F;
    std::uint32_t random = 0x9E3779B9u ^ seed; // xorshift for mode 3

    auto accepts = [&](std::uint8_t b) {
        switch (mode) {
        case 0: return true;                                                     // diagnostic
        case 1: return (b & 0x80) && (b & 0x0F) == address;                      // master
        case 2: return !(b & 0x80) && ((b & 0x0F) == address || (b & 0x0F) == 0); // slave
        default:
            random ^= random << 13;
            random ^= random >> 17;
            random ^= random << 5;
            return (random & 1) != 0;
        }
    };
    // Mode 3 decides each start once; the model must see the same decision.
    bool lastDecision = false;
    int offered = 0;
    mb::MBReceiver receiver([&](std::uint8_t b) {
        ++offered;
        lastDecision = accepts(b);
        return lastDecision;
    });
    Model model;
    mb::MBRXDataBuffer rx;
    std::vector<std::uint8_t> rxData; // reference copy of the RX data

    auto feedOne = [&](std::uint8_t c) {
        const int before = offered;
        const mb::RxEvent e = receiver.feed(c);
        const bool isStart = (c & 0xC0) == 0xC0;
        check(offered == before + (isStart ? 1 : 0));
        check(e == model.feed(c, isStart && lastDecision));
        check(receiver.MBNumberOfReceivedBytes() == model.assembly.size());
        check(receiver.MBNumberOfReceivedBytes() <= 2048);
        check(receiver.MBRxBufferFull() == (receiver.MBNumberOfReceivedBytes() == 2048));
        check(receiver.latchedLowNibble() == model.nibble);
        if (e == mb::RxEvent::FrameAccepted) {
            const auto frame = receiver.frame();
            check(frame.size() >= 5 && frame.size() <= 2048);
            check(mb::frameCrcOk(frame));
            check(rx.loadFrame(frame));
            rxData.assign(frame.begin() + 3, frame.end() - 2);
            check(rx.MBMBRXDataBufferIndex() == 1);
            check(rx.address() == frame[0] && rx.id() == frame[1] && rx.command() == frame[2]);
            exerciseReads(rx, rxData, in);
        }
    };

    while (!in.empty()) {
        const std::uint8_t op = in.byte();
        if (op < 0x08) { // the master's send empties the assembly
            receiver.resetAssembly();
            model.clear();
        } else if (op < 0x10) { // raw appends (byte mode) and a raw load
            const int n = 1 + (op & 0x07) * 300;
            for (int m = 0; m < n; ++m) {
                const std::uint8_t b = in.byte();
                const bool stored = receiver.appendRaw(b);
                check(stored == (model.assembly.size() < 2048));
                if (stored)
                    model.assembly.push_back(b);
                check(receiver.MBRxBufferFull() == (model.assembly.size() == 2048));
            }
            rx.loadRaw(receiver.assembly());
            rxData.assign(receiver.assembly().begin(), receiver.assembly().end());
            exerciseReads(rx, rxData, in);
        } else if (op < 0x30) { // a valid frame, fed in chunks
            const std::size_t n = (op < 0x2C) ? in.byte() % 40 : std::size_t(in.byte()) * 9; // up to 2295
            std::vector<std::uint8_t> payload(std::min<std::size_t>(n, 2043));
            for (auto &b : payload)
                b = in.byte();
            const std::uint8_t head = in.byte();
            const std::uint8_t id = in.byte();
            const std::uint8_t command = in.byte();
            const auto line = mb::encodeLine(mb::makeFrame(head, id, command, payload));
            // An optional bit flip somewhere in the line.
            std::vector<std::uint8_t> sent = line;
            if (op & 1) {
                const std::size_t hi = in.byte();
                const std::size_t at = (hi * 256 + in.byte()) % sent.size();
                sent[at] ^= std::uint8_t(1u << (in.byte() % 8));
            }
            for (std::uint8_t c : sent)
                feedOne(c);
        } else { // raw characters
            const std::size_t n = op & 0x3F;
            for (std::size_t m = 0; m < n && !in.empty(); ++m)
                feedOne(in.byte());
        }
    }
    return 0;
}
