// Benchmark of the MB codec: building and line-encoding the instrument
// request (98 data bytes), and receiving line characters through the
// streaming receiver. Prints results; never asserts on timing.
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <vector>

#include "frame/mbbuffers.h"
#include "frame/mbframe.h"
#include "frame/mbreceiver.h"

namespace {

using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point start)
{
    return std::chrono::duration<double>(Clock::now() - start).count();
}

volatile std::uint32_t sink; // keeps results alive

void benchEncode()
{
    mb::MBTXDataBuffer tx;
    std::vector<std::uint8_t> line(2 * mb::kFrameArea);
    const int frames = 2'000'000;
    const auto start = Clock::now();
    std::uint32_t acc = 0;
    for (int n = 0; n < frames; ++n) {
        // The request builder's work: clear, 98 data bytes field by field.
        tx.MBClearTXData();
        tx.MBAppendByte(std::uint8_t(n));
        for (int f = 0; f < 16; ++f)
            tx.MBAppendWord(std::uint16_t(n + f));
        for (int f = 0; f < 14; ++f)
            tx.MBAppendInteger(n - f);
        for (int f = 0; f < 2; ++f)
            tx.MBAppendReal(0.5 * f + n);
        tx.MBAppendByte(1); // 1 + 32 + 56 + 8 + 1 = 98
        const auto frame = tx.buildFrame(0x01, 0x00, 0x01);
        acc += std::uint32_t(mb::encodeLine(frame, line)) + line[7];
    }
    const double s = secondsSince(start);
    sink = acc;
    const std::size_t frameBytes = tx.MBDataNumberToSend() + mb::kMinFrame;
    std::printf("encode: request of %u data bytes (%zu frame bytes, %zu line characters)\n",
                unsigned(tx.MBDataNumberToSend()), frameBytes, 2 * frameBytes);
    std::printf(
        "  build + encode: %.0f frames/s, %.1f MB/s of line characters (%.1f ns per frame)\n",
        frames / s, frames * 2.0 * double(frameBytes) / s / 1e6, s / frames * 1e9);

    // The line encoding alone, of the same frame.
    const auto frame = tx.buildFrame(0x01, 0x00, 0x01);
    const auto start2 = Clock::now();
    for (int n = 0; n < frames; ++n) {
        acc += std::uint32_t(mb::encodeLine(frame, line)) + line[n & 127];
    }
    const double s2 = secondsSince(start2);
    sink = acc;
    std::printf("  encode only:    %.0f frames/s, %.1f MB/s of line characters\n", frames / s2,
                frames * 2.0 * double(frameBytes) / s2 / 1e6);
}

void benchReceive()
{
    // A stream of replies (88 data bytes, as the instrument sends) with some
    // noise between them, received through the master's acceptance test.
    std::vector<std::uint8_t> data(88);
    for (std::size_t n = 0; n < data.size(); ++n)
        data[n] = std::uint8_t(n * 37);
    const auto reply = mb::encodeLine(mb::makeFrame(0x81, 0x00, 0x00, data));
    std::vector<std::uint8_t> stream;
    for (int n = 0; n < 1000; ++n) {
        stream.insert(stream.end(), reply.begin(), reply.end());
        stream.push_back(0x45); // a stray high-nibble character while idle
    }
    mb::MBReceiver receiver([](std::uint8_t b) { return (b & 0x80) && (b & 0x0F) == 1; });
    mb::MBRXDataBuffer rx;
    const int rounds = 400;
    std::size_t frames = 0;
    const auto start = Clock::now();
    std::uint32_t acc = 0;
    for (int r = 0; r < rounds; ++r) {
        // Chunks of 64 characters, as a reader thread might deliver them.
        for (std::size_t at = 0; at < stream.size(); at += 64) {
            const std::size_t n = std::min<std::size_t>(64, stream.size() - at);
            frames += receiver.feed(std::span(stream).subspan(at, n), [&](mb::RxEvent e) {
                if (e == mb::RxEvent::FrameAccepted) {
                    rx.loadFrame(receiver.frame());
                    acc += rx.MBReadWord();
                    receiver.resetAssembly();
                }
            });
        }
    }
    const double s = secondsSince(start);
    sink = acc;
    const double chars = double(stream.size()) * rounds;
    std::printf("receive: %zu replies of %zu data bytes in 64-character chunks\n", frames,
                data.size());
    std::printf("  %.1f MB/s of line characters, %.0f frames/s\n", chars / s / 1e6, frames / s);
}

} // namespace

int main()
{
    benchEncode();
    benchReceive();
    return 0;
}
