// MB frame codec: CRC-16, nibble-pair encoding and frame building, checked
// against the documented example frames byte for byte.
#include <QtTest>

#include <string_view>
#include <vector>

#include "frame/mbbuffers.h"
#include "frame/mbframe.h"

using Bytes = std::vector<std::uint8_t>;

static Bytes bytes(std::span<const std::uint8_t> s) { return Bytes(s.begin(), s.end()); }

class TestMBFrame : public QObject {
    Q_OBJECT
private slots:
    void constants()
    {
        QCOMPARE(mb::kFrameArea, std::size_t(2048));
        QCOMPARE(mb::kDataCapacity, std::size_t(2043));
        QCOMPARE(mb::kMinFrame, std::size_t(5));
    }

    void crcCheckValue()
    {
        constexpr std::string_view digits = "123456789";
        const auto *p = reinterpret_cast<const std::uint8_t *>(digits.data());
        QCOMPARE(mb::crc16(std::span(p, digits.size())), std::uint16_t(0x4B37));
        QCOMPARE(mb::crc16({}), std::uint16_t(0xFFFF)); // no final inversion
    }

    void crcMatchesBitwiseDefinition()
    {
        // The table must agree with the definition's eight shift/XOR steps.
        for (unsigned seed = 0; seed < 300; ++seed) {
            Bytes data;
            for (unsigned n = 0; n < seed % 17; ++n)
                data.push_back(static_cast<std::uint8_t>(seed * 31 + n * 7));
            std::uint16_t r = 0xFFFF;
            for (std::uint8_t b : data) {
                r ^= b;
                for (int s = 0; s < 8; ++s)
                    r = (r & 1) ? std::uint16_t((r >> 1) ^ 0xA001) : std::uint16_t(r >> 1);
            }
            QCOMPARE(mb::crc16(data), r);
        }
    }

    void encodeByteFlags()
    {
        QCOMPARE(mb::encodeByte(0x00, false, false), (mb::CharPair{0x00, 0x40}));
        QCOMPARE(mb::encodeByte(0xA5, false, false), (mb::CharPair{0x05, 0x4A}));
        QCOMPARE(mb::encodeByte(0x01, true, false), (mb::CharPair{0x01, 0xC0}));
        QCOMPARE(mb::encodeByte(0x5B, false, true), (mb::CharPair{0x0B, 0x65}));
        QCOMPARE(mb::encodeByte(0xFF, true, true), (mb::CharPair{0x0F, 0xEF}));
        // Every byte: low char has bit 6 clear, high char bit 6 set.
        for (unsigned b = 0; b < 256; ++b) {
            for (int flags = 0; flags < 4; ++flags) {
                const auto pair = mb::encodeByte(std::uint8_t(b), flags & 1, flags & 2);
                QVERIFY(!(pair[0] & 0x40));
                QVERIFY(pair[1] & 0x40);
                QCOMPARE(pair[0] | ((pair[1] & 0x0F) << 4), int(b));
                QCOMPARE(bool(pair[1] & 0x80), bool(flags & 1));
                QCOMPARE(bool(pair[1] & 0x20), bool(flags & 2));
            }
        }
    }

    void masterWorkedExample()
    {
        mb::MBTXDataBuffer tx;
        tx.MBClearTXData();
        tx.MBAppendWord(0x1234);
        tx.MBAppendByte(5);
        QCOMPARE(tx.MBDataNumberToSend(), std::uint16_t(3));
        const auto frame = tx.buildFrame(mb::masterAddressByte(1, false), 0, 1);
        QCOMPARE(bytes(frame), (Bytes{0x01, 0x00, 0x01, 0x34, 0x12, 0x05, 0x8D, 0x5B}));
        QCOMPARE(mb::encodeLine(frame),
                 (Bytes{0x01, 0xC0, 0x00, 0x40, 0x01, 0x40, 0x04, 0x43, 0x02, 0x41, 0x05, 0x40,
                        0x0D, 0x48, 0x0B, 0x65}));
        // Pair by pair, as the engine writes them.
        const Bytes line = mb::encodeLine(frame);
        for (std::size_t p = 0; p < frame.size(); ++p) {
            const auto pair = mb::encodeFramePosition(frame, p);
            QCOMPARE(pair[0], line[2 * p]);
            QCOMPARE(pair[1], line[2 * p + 1]);
        }
        QVERIFY(mb::frameCrcOk(frame));
    }

    void slaveWorkedExample()
    {
        mb::MBTXDataBuffer tx;
        tx.MBClearTXData();
        tx.MBAppendWord(0x0064);
        const auto frame = tx.buildFrame(mb::slaveAddressByte(1), 0, 0);
        QCOMPARE(bytes(frame), (Bytes{0x81, 0x00, 0x00, 0x64, 0x00, 0x32, 0xDE}));
        QCOMPARE(mb::encodeLine(frame), (Bytes{0x01, 0xC8, 0x00, 0x40, 0x00, 0x40, 0x04, 0x46,
                                               0x00, 0x40, 0x02, 0x43, 0x0E, 0x6D}));
        QCOMPARE(mb::makeFrame(0x81, 0, 0, Bytes{0x64, 0x00}), bytes(frame));
    }

    void addressBytes()
    {
        QCOMPARE(mb::masterAddressByte(1, true), std::uint8_t(0x41));
        QCOMPARE(mb::masterAddressByte(15, false), std::uint8_t(0x0F));
        QCOMPARE(mb::masterAddressByte(0, false), std::uint8_t(0x00));
        QCOMPARE(mb::slaveAddressByte(7), std::uint8_t(0x87));
    }

    void clearGivesFiveByteFrame()
    {
        mb::MBTXDataBuffer tx;
        tx.MBAppendCardinal(0xDEADBEEF);
        tx.MBClearTXData();
        const auto frame = tx.buildFrame(0x01, 0x00, 0x01);
        QCOMPARE(frame.size(), std::size_t(5));
        QCOMPARE(frame[0], std::uint8_t(0x01));
        QCOMPARE(frame[1], std::uint8_t(0x00));
        QCOMPARE(frame[2], std::uint8_t(0x01));
        const std::uint16_t crc = mb::crc16(frame.first(3));
        QCOMPARE(frame[3], std::uint8_t(crc & 0xFF));
        QCOMPARE(frame[4], std::uint8_t(crc >> 8));
        const Bytes line = mb::encodeLine(frame);
        QCOMPARE(line.size(), std::size_t(10));
        QCOMPARE(line[1] & 0xF0, 0xC0);
        QCOMPARE(line[9] & 0xF0, 0x60);
        for (std::size_t n = 3; n < 9; n += 2)
            QCOMPARE(line[n] & 0xF0, 0x40);
    }

    void longestFrame()
    {
        mb::MBTXDataBuffer tx;
        tx.setMBDataNumberToSend(3000);
        QCOMPARE(tx.MBDataNumberToSend(), std::uint16_t(2043));
        const auto frame = tx.buildFrame(1, 2, 3);
        QCOMPARE(frame.size(), std::size_t(2048));
        QVERIFY(mb::frameCrcOk(frame));
        QCOMPARE(mb::encodeLine(frame).size(), std::size_t(4096));
    }

    void retryResendsUnchanged()
    {
        mb::MBTXDataBuffer tx;
        tx.MBAppendString("abc");
        const Bytes first = bytes(tx.buildFrame(1, 0, 1));
        const Bytes second = bytes(tx.buildFrame(1, 0, 1));
        QCOMPARE(first, second);
    }

    void frameCrcOkRejects()
    {
        Bytes f{0x01, 0x00, 0x01, 0x34, 0x12, 0x05, 0x8D, 0x5B};
        QVERIFY(mb::frameCrcOk(f));
        f[3] ^= 1;
        QVERIFY(!mb::frameCrcOk(f));
        QVERIFY(!mb::frameCrcOk(Bytes{0xFF, 0xFF, 0xFF, 0xFF}));  // too short
        QVERIFY(!mb::frameCrcOk(Bytes{}));
    }
};

QTEST_APPLESS_MAIN(TestMBFrame)
#include "tst_mbframe.moc"
