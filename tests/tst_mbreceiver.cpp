// Streaming MB receiver chunking,
// latched low nibble, start/end flags, acceptance hook, checks and limits.
#include <QtTest>

#include <vector>

#include "frame/mbbuffers.h"
#include "frame/mbframe.h"
#include "frame/mbreceiver.h"

using Bytes = std::vector<std::uint8_t>;
using mb::RxEvent;

namespace {
// The slave reply of the worked example: 81 00 00 64 00 32 DE.
const Bytes kReplyLine{0x01, 0xC8, 0x00, 0x40, 0x00, 0x40, 0x04, 0x46,
                       0x00, 0x40, 0x02, 0x43, 0x0E, 0x6D};
const Bytes kReplyFrame{0x81, 0x00, 0x00, 0x64, 0x00, 0x32, 0xDE};

// Master acceptance for slave address 1.
bool masterAccepts1(std::uint8_t b) { return (b & 0x80) && (b & 0x0F) == 1; }

struct Outcome {
    std::vector<RxEvent> events; // the non-trivial ones
    std::vector<Bytes> frames;   // accepted frames
};

Outcome feedChunks(mb::MBReceiver &rx, const Bytes &line, const std::vector<std::size_t> &cuts)
{
    Outcome out;
    std::size_t from = 0;
    auto run = [&](std::size_t to) {
        rx.feed(std::span(line).subspan(from, to - from), [&](RxEvent e) {
            out.events.push_back(e);
            if (e == RxEvent::FrameAccepted) {
                const auto f = rx.frame();
                out.frames.emplace_back(f.begin(), f.end());
            }
        });
        from = to;
    };
    for (std::size_t cut : cuts)
        run(cut);
    run(line.size());
    return out;
}

Bytes cat(std::initializer_list<Bytes> parts)
{
    Bytes all;
    for (const Bytes &p : parts)
        all.insert(all.end(), p.begin(), p.end());
    return all;
}
} // namespace

class TestMBReceiver : public QObject {
    Q_OBJECT
private slots:
    void workedExampleCharByChar()
    {
        mb::MBReceiver rx(masterAccepts1);
        std::vector<RxEvent> events;
        for (std::uint8_t c : kReplyLine)
            events.push_back(rx.feed(c));
        QCOMPARE(events.size(), std::size_t(14));
        QCOMPARE(events[0], RxEvent::None);
        QCOMPARE(events[1], RxEvent::StartAccepted);
        for (int n = 2; n < 12; n += 2) {
            QCOMPARE(events[n], RxEvent::None);
            QCOMPARE(events[n + 1], RxEvent::ByteStored);
        }
        QCOMPARE(events[13], RxEvent::FrameAccepted);
        QCOMPARE(Bytes(rx.frame().begin(), rx.frame().end()), kReplyFrame);
        QCOMPARE(rx.MBNumberOfReceivedBytes(), std::uint16_t(7));

        mb::MBRXDataBuffer data;
        QVERIFY(data.loadFrame(rx.frame()));
        QCOMPARE(data.MBReceivedDataNumber(), std::uint16_t(2));
        QCOMPARE(data.MBReadWord(), std::uint16_t(100));
        QCOMPARE(data.command(), std::uint8_t(0));
    }

    void masterExampleAcceptedInDiagnostic()
    {
        mb::MBReceiver rx; // no test: every first byte
        const Bytes line{0x01, 0xC0, 0x00, 0x40, 0x01, 0x40, 0x04, 0x43,
                         0x02, 0x41, 0x05, 0x40, 0x0D, 0x48, 0x0B, 0x65};
        const Outcome out = feedChunks(rx, line, {});
        QCOMPARE(out.frames.size(), std::size_t(1));
        QCOMPARE(out.frames[0], (Bytes{0x01, 0x00, 0x01, 0x34, 0x12, 0x05, 0x8D, 0x5B}));
    }

    void splitAtEveryPosition()
    {
        const Bytes line = cat({kReplyLine, kReplyLine});
        for (std::size_t a = 0; a <= line.size(); ++a) {
            for (std::size_t b = a; b <= line.size(); ++b) {
                mb::MBReceiver rx(masterAccepts1);
                const Outcome out = feedChunks(rx, line, {a, b});
                QCOMPARE(out.frames.size(), std::size_t(2));
                QCOMPARE(out.frames[0], kReplyFrame);
                // The second frame's start restarts the assembly.
                QCOMPARE(out.frames[1], kReplyFrame);
            }
        }
    }

    void oneCharacterChunks()
    {
        mb::MBReceiver rx(masterAccepts1);
        std::vector<std::size_t> cuts;
        for (std::size_t n = 1; n < kReplyLine.size(); ++n)
            cuts.push_back(n);
        QCOMPARE(feedChunks(rx, kReplyLine, cuts).frames.size(), std::size_t(1));
    }

    void latchedNibbleSurvivesChunksAndResets()
    {
        mb::MBReceiver rx(masterAccepts1);
        rx.feed(0x01);
        QCOMPARE(rx.latchedLowNibble(), std::uint8_t(1));
        rx.resetAssembly();
        QCOMPARE(rx.latchedLowNibble(), std::uint8_t(1));
        // A refused start resets the assembly but keeps the nibble.
        QCOMPARE(rx.feed(0xC0), RxEvent::StartRefused); // 0x01: bit 7 clear, refused
        QCOMPARE(rx.latchedLowNibble(), std::uint8_t(1));
        QCOMPARE(rx.feed(0xC8), RxEvent::StartAccepted); // same nibble again: 0x81
        QCOMPARE(rx.frame()[0], std::uint8_t(0x81));
    }

    void twoLowNibblesInARow()
    {
        // 0x07 then 0x01 before the start flag: only 0x01 counts.
        mb::MBReceiver rx(masterAccepts1);
        Bytes line = kReplyLine;
        line.insert(line.begin(), 0x07);
        // And inside the frame: an extra low nibble before data byte 0x64.
        line.insert(line.begin() + 7, 0x0F);
        const Outcome out = feedChunks(rx, line, {});
        QCOMPARE(out.frames.size(), std::size_t(1));
        QCOMPARE(out.frames[0], kReplyFrame);
    }

    void lowNibbleIgnoresBits457()
    {
        mb::MBReceiver rx(masterAccepts1);
        QCOMPARE(rx.feed(0xB1), RxEvent::None); // bit 6 clear: low-nibble character
        QCOMPARE(rx.latchedLowNibble(), std::uint8_t(1));
    }

    void strayHighNibblesWhileIdle()
    {
        mb::MBReceiver rx(masterAccepts1);
        QCOMPARE(rx.feed(0x45), RxEvent::Ignored);
        QCOMPARE(rx.feed(0x6D), RxEvent::Ignored); // an end flag too: no frame under way
        QCOMPARE(rx.MBNumberOfReceivedBytes(), std::uint16_t(0));
        const Outcome out = feedChunks(rx, cat({Bytes{0x4F, 0x03, 0x41}, kReplyLine}), {});
        QCOMPARE(out.frames.size(), std::size_t(1));
        QCOMPARE(out.frames[0], kReplyFrame);
    }

    void startFlagMidFrame()
    {
        mb::MBReceiver rx(masterAccepts1);
        // Half a reply, then a whole one: the partial frame is lost.
        const Bytes line = cat({Bytes(kReplyLine.begin(), kReplyLine.begin() + 8), kReplyLine});
        const Outcome out = feedChunks(rx, line, {});
        QCOMPARE(out.events, (std::vector<RxEvent>{RxEvent::StartAccepted, RxEvent::StartAccepted,
                                                   RxEvent::FrameAccepted}));
        QCOMPARE(out.frames[0], kReplyFrame);
    }

    void refusedStartMidFrameDiscards()
    {
        mb::MBReceiver rx(masterAccepts1);
        // Our own echo (a request, bit 7 clear) interrupts a reply.
        const Bytes echo = mb::encodeLine(mb::makeFrame(0x01, 0, 1, Bytes{}));
        Bytes line(kReplyLine.begin(), kReplyLine.begin() + 8);
        line.insert(line.end(), echo.begin(), echo.end());
        line.insert(line.end(), kReplyLine.begin() + 8, kReplyLine.end()); // tail: ignored
        const Outcome out = feedChunks(rx, line, {});
        QCOMPARE(out.events, (std::vector<RxEvent>{RxEvent::StartAccepted, RxEvent::StartRefused}));
        QCOMPARE(rx.MBNumberOfReceivedBytes(), std::uint16_t(0));
        QVERIFY(out.frames.empty());
    }

    void startCharacterIsNotAnEnd()
    {
        mb::MBReceiver rx;
        QCOMPARE(rx.feed(0xE1), RxEvent::StartAccepted); // start and end flag together
        QCOMPARE(rx.MBNumberOfReceivedBytes(), std::uint16_t(1));
    }

    void acceptanceSeesTheFirstByte()
    {
        std::vector<std::uint8_t> offered;
        mb::MBReceiver rx([&](std::uint8_t b) { offered.push_back(b); return true; });
        feedChunks(rx, kReplyLine, {3, 9});
        QCOMPARE(offered, (std::vector<std::uint8_t>{0x81}));
        // Slave acceptance: requests to 1 or broadcast.
        rx.setStartAcceptance([](std::uint8_t b) { return !(b & 0x80) && ((b & 0x0F) == 1 || (b & 0x0F) == 0); });
        QCOMPARE(feedChunks(rx, kReplyLine, {}).frames.size(), std::size_t(0));
        const Bytes request = mb::encodeLine(mb::makeFrame(0x40, 0, 130, Bytes{1}));
        QCOMPARE(feedChunks(rx, request, {}).frames.size(), std::size_t(1));
    }

    void shortFramesDiscarded()
    {
        for (std::size_t len = 1; len < 5; ++len) {
            mb::MBReceiver rx;
            // A "frame" of len bytes whose last two bytes would be a valid CRC
            // of the bytes before them where possible.
            Bytes frame{0x81, 0x00, 0x00, 0x00};
            frame.resize(len);
            if (len >= 3) {
                const std::uint16_t crc = mb::crc16(std::span(frame).first(len - 2));
                frame[len - 2] = std::uint8_t(crc & 0xFF);
                frame[len - 1] = std::uint8_t(crc >> 8);
            }
            const Bytes line = mb::encodeLine(frame);
            const Outcome out = feedChunks(rx, line, {});
            QVERIFY(out.frames.empty());
            if (len >= 2) {
                QCOMPARE(out.events.back(), RxEvent::FrameDiscarded);
                QCOMPARE(rx.MBNumberOfReceivedBytes(), std::uint16_t(0));
            }
        }
    }

    void wrongCrcDiscarded()
    {
        mb::MBReceiver rx(masterAccepts1);
        Bytes line = kReplyLine;
        line[6] ^= 0x01; // data byte 0x64 -> 0x65
        const Outcome out = feedChunks(rx, line, {});
        QCOMPARE(out.events, (std::vector<RxEvent>{RxEvent::StartAccepted, RxEvent::FrameDiscarded}));
        QCOMPARE(rx.MBNumberOfReceivedBytes(), std::uint16_t(0));
        QVERIFY(!rx.MBRxBufferFull());
        // The next good frame is taken.
        QCOMPARE(feedChunks(rx, kReplyLine, {}).frames.size(), std::size_t(1));
    }

    void longestFrameAccepted()
    {
        mb::MBReceiver rx;
        const Bytes frame = mb::makeFrame(0x81, 0, 0, Bytes(2043, 0xA5));
        const Outcome out = feedChunks(rx, mb::encodeLine(frame), {1000, 3001});
        QCOMPARE(out.frames.size(), std::size_t(1));
        QCOMPARE(out.frames[0], frame);
        QVERIFY(rx.MBRxBufferFull());
        mb::MBRXDataBuffer data;
        QVERIFY(data.loadFrame(rx.frame()));
        QCOMPARE(data.MBReceivedDataNumber(), std::uint16_t(2043));
    }

    void oversizeFrameDiscarded()
    {
        mb::MBReceiver rx;
        const Bytes frame = mb::makeFrame(0x81, 0, 0, Bytes(2043, 0x00));
        Bytes big = frame;
        big.insert(big.begin() + 3, 0x00); // one data byte too many; CRC of the real frame kept
        const std::uint16_t crc = mb::crc16(std::span(big).first(big.size() - 2));
        big[big.size() - 2] = std::uint8_t(crc & 0xFF);
        big[big.size() - 1] = std::uint8_t(crc >> 8);
        QCOMPARE(big.size(), std::size_t(2049));
        const Bytes line = mb::encodeLine(big);
        std::vector<RxEvent> events;
        for (std::size_t n = 0; n + 2 < line.size(); ++n)
            events.push_back(rx.feed(line[n]));
        QCOMPARE(rx.MBNumberOfReceivedBytes(), std::uint16_t(2048));
        QVERIFY(rx.MBRxBufferFull());
        QCOMPARE(rx.feed(line[line.size() - 2]), RxEvent::None);
        QCOMPARE(rx.feed(line.back()), RxEvent::FrameDiscarded); // last byte dropped, CRC fails
        QCOMPARE(rx.MBNumberOfReceivedBytes(), std::uint16_t(0));
        QVERIFY(!rx.MBRxBufferFull());
    }

    void overlongFrameEndingInAGoodCrcIsDiscarded()
    {
        // 2049 bytes whose first 2048 end in the CRC of the bytes before them.
        Bytes overlong = mb::makeFrame(0x81, 0, 0, Bytes(2043, 0x5A));
        overlong.push_back(0x00);
        mb::MBReceiver rx(masterAccepts1);
        const Outcome out = feedChunks(rx, cat({mb::encodeLine(overlong), kReplyLine}), {});
        QCOMPARE(out.frames, std::vector<Bytes>{kReplyFrame});
        QCOMPARE(rx.discards().overlong, 1u);
        QCOMPARE(rx.discards().total(), 1u);
    }

    void acceptedFrameStaysUntilReset()
    {
        // The reset after an accepted frame is left to the mode.
        mb::MBReceiver rx(masterAccepts1);
        feedChunks(rx, kReplyLine, {});
        QCOMPARE(rx.MBNumberOfReceivedBytes(), std::uint16_t(7));
        QCOMPARE(rx.feed(0x40), RxEvent::ByteStored); // assembly still under way
        QCOMPARE(rx.MBNumberOfReceivedBytes(), std::uint16_t(8));
        rx.resetAssembly();
        QCOMPARE(rx.MBNumberOfReceivedBytes(), std::uint16_t(0));
        QCOMPARE(rx.feed(0x40), RxEvent::Ignored);
    }

    void resetFromTheCallback()
    {
        // A host callback may empty the assembly (a new master send) between
        // two characters of the same chunk.
        mb::MBReceiver rx(masterAccepts1);
        const Bytes line = cat({kReplyLine, Bytes{0x03, 0x44}, kReplyLine});
        int accepted = 0;
        rx.feed(std::span<const std::uint8_t>(line), [&](RxEvent e) {
            if (e == RxEvent::FrameAccepted) {
                ++accepted;
                rx.resetAssembly();
            }
        });
        QCOMPARE(accepted, 2);
        QCOMPARE(rx.MBNumberOfReceivedBytes(), std::uint16_t(0));
    }

    void rawBytes()
    {
        mb::MBReceiver rx;
        for (int n = 0; n < 2048; ++n)
            QVERIFY(rx.appendRaw(std::uint8_t(n)));
        QVERIFY(rx.MBRxBufferFull());
        QVERIFY(!rx.appendRaw(1));
        QCOMPARE(rx.MBNumberOfReceivedBytes(), std::uint16_t(2048));
        mb::MBRXDataBuffer data;
        data.loadRaw(rx.assembly());
        QCOMPARE(data.MBReceivedDataNumber(), std::uint16_t(2048));
        QCOMPARE(data.MBReadByte(), std::uint8_t(0));
        rx.resetAssembly();
        QVERIFY(!rx.MBRxBufferFull());
        QCOMPARE(rx.MBNumberOfReceivedBytes(), std::uint16_t(0));
    }
};

QTEST_APPLESS_MAIN(TestMBReceiver)
#include "tst_mbreceiver.moc"
