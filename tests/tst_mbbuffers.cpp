// TX and RX data buffers appends, reads, clamped indices,
// the buffer-end rules and the MBAppendReal overflow contract.
#include <QtTest>

#include <cfloat>
#include <cmath>
#include <limits>
#include <vector>

#include "frame/mbbuffers.h"

using Bytes = std::vector<std::uint8_t>;

static Bytes txData(const mb::MBTXDataBuffer &tx)
{
    const auto d = tx.dataToSend();
    return Bytes(d.begin(), d.end());
}

// An RX buffer holding a frame with the given data bytes.
static mb::MBRXDataBuffer rxWith(const Bytes &data)
{
    mb::MBRXDataBuffer rx;
    Bytes frame{0x81, 0x00, 0x00};
    frame.insert(frame.end(), data.begin(), data.end());
    frame.push_back(0); // CRC not checked by the buffer
    frame.push_back(0);
    rx.loadFrame(frame);
    return rx;
}

class TestMBBuffers : public QObject {
    Q_OBJECT
private slots:
    void constructionState()
    {
        mb::MBTXDataBuffer tx;
        QCOMPARE(tx.MBMBTXDataBufferIndex(), std::uint16_t(1));
        QCOMPARE(tx.MBDataNumberToSend(), std::uint16_t(0));
        mb::MBRXDataBuffer rx;
        QCOMPARE(rx.MBMBRXDataBufferIndex(), std::uint16_t(1));
        QCOMPARE(rx.MBReceivedDataNumber(), std::uint16_t(0));
        QCOMPARE(rx.MBReadByte(), std::uint8_t(0));
    }

    void appendLayouts()
    {
        mb::MBTXDataBuffer tx;
        QVERIFY(tx.MBAppendByte(0xAB));
        QVERIFY(tx.MBAppendWord(0x1234));
        QVERIFY(tx.MBAppendCardinal(0x89ABCDEF));
        QVERIFY(tx.MBAppendInteger(-2));
        QVERIFY(tx.MBAppendReal(1.5));
        QVERIFY(tx.MBAppendString("Hi"));
        QCOMPARE(txData(tx), (Bytes{0xAB, 0x34, 0x12, 0xEF, 0xCD, 0xAB, 0x89, 0xFE, 0xFF, 0xFF,
                                    0xFF, 0x00, 0x00, 0xC0, 0x3F, 'H', 'i', 0x00}));
        QCOMPARE(tx.MBMBTXDataBufferIndex(), std::uint16_t(19));
        QCOMPARE(tx.MBDataNumberToSend(), std::uint16_t(18));
    }

    void appendRealWorkedExample()
    {
        mb::MBTXDataBuffer tx;
        tx.MBAppendReal(1.5);
        QCOMPARE(txData(tx), (Bytes{0x00, 0x00, 0xC0, 0x3F}));
    }

    void appendRealRoundsToNearest()
    {
        mb::MBTXDataBuffer tx;
        tx.MBAppendReal(0.1); // 0x3DCCCCCD (rounded up), not 0x3DCCCCCC (truncated)
        QCOMPARE(txData(tx), (Bytes{0xCD, 0xCC, 0xCC, 0x3D}));
    }

    void integerAndCardinalOfMinusOne()
    {
        mb::MBTXDataBuffer tx;
        tx.MBAppendInteger(-1);
        QCOMPARE(txData(tx), (Bytes{0xFF, 0xFF, 0xFF, 0xFF}));
        mb::MBRXDataBuffer rx = rxWith(txData(tx));
        QCOMPARE(rx.MBReadInteger(), -1);
        rx.setMBMBRXDataBufferIndex(1);
        QCOMPARE(rx.MBReadCardinal(), 4294967295u);
        mb::MBTXDataBuffer tx2;
        tx2.MBAppendCardinal(0xFFFFFFFFu);
        QCOMPARE(txData(tx2), txData(tx));
    }

    void emptyString()
    {
        mb::MBTXDataBuffer tx;
        QVERIFY(tx.MBAppendString(""));
        QCOMPARE(txData(tx), (Bytes{0x00}));
        QCOMPARE(tx.MBMBTXDataBufferIndex(), std::uint16_t(2));
    }

    void stringEightBit()
    {
        mb::MBTXDataBuffer tx;
        const Bytes text{0xE1, 0xF5, 0xFB}; // Windows-1250 á ő ű
        QVERIFY(tx.MBAppendString(std::span<const std::uint8_t>(text)));
        QCOMPARE(txData(tx), (Bytes{0xE1, 0xF5, 0xFB, 0x00}));
    }

    void clearZeroesEverything()
    {
        mb::MBTXDataBuffer tx;
        tx.MBAppendCardinal(0x01020304);
        tx.setMBDataNumberToSend(2043);
        tx.MBClearTXData();
        QCOMPARE(tx.MBMBTXDataBufferIndex(), std::uint16_t(1));
        QCOMPARE(tx.MBDataNumberToSend(), std::uint16_t(0));
        for (std::size_t i = 1; i <= 2043; ++i)
            QCOMPARE(tx.dataAt(i), std::uint8_t(0));
    }

    void txClamps()
    {
        mb::MBTXDataBuffer tx;
        tx.setMBMBTXDataBufferIndex(0);
        QCOMPARE(tx.MBMBTXDataBufferIndex(), std::uint16_t(1));
        tx.setMBMBTXDataBufferIndex(5000);
        QCOMPARE(tx.MBMBTXDataBufferIndex(), std::uint16_t(2043));
        tx.setMBMBTXDataBufferIndex(-7);
        QCOMPARE(tx.MBMBTXDataBufferIndex(), std::uint16_t(1));
        tx.setMBDataNumberToSend(3000);
        QCOMPARE(tx.MBDataNumberToSend(), std::uint16_t(2043));
        tx.setMBDataNumberToSend(-1);
        QCOMPARE(tx.MBDataNumberToSend(), std::uint16_t(0));
    }

    void rxClamps()
    {
        mb::MBRXDataBuffer rx;
        rx.setMBMBRXDataBufferIndex(0);
        QCOMPARE(rx.MBMBRXDataBufferIndex(), std::uint16_t(1));
        rx.setMBMBRXDataBufferIndex(5000);
        QCOMPARE(rx.MBMBRXDataBufferIndex(), std::uint16_t(2043));
    }

    void movingIndexBackOverwritesWithoutShortening()
    {
        mb::MBTXDataBuffer tx;
        tx.MBAppendCardinal(0x04030201);
        tx.setMBMBTXDataBufferIndex(2);
        tx.MBAppendByte(0xAA);
        QCOMPARE(txData(tx), (Bytes{0x01, 0xAA, 0x03, 0x04}));
        QCOMPARE(tx.MBDataNumberToSend(), std::uint16_t(4));
        QCOMPARE(tx.MBMBTXDataBufferIndex(), std::uint16_t(3));
    }

    void appendBeyondEndIsIgnored()
    {
        mb::MBTXDataBuffer tx;
        tx.setMBMBTXDataBufferIndex(2041); // i + 4 = 2045 > 2044
        QVERIFY(!tx.MBAppendCardinal(0xFFFFFFFF));
        QVERIFY(!tx.MBAppendInteger(-1));
        QVERIFY(!tx.MBAppendReal(2.0));
        QVERIFY(!tx.MBAppendString("abc"));
        QCOMPARE(tx.MBMBTXDataBufferIndex(), std::uint16_t(2041));
        QCOMPARE(tx.MBDataNumberToSend(), std::uint16_t(0));
        for (std::size_t i = 2041; i <= 2043; ++i)
            QCOMPARE(tx.dataAt(i), std::uint8_t(0));
        // A value that ends before 2043 moves the index normally.
        QVERIFY(tx.MBAppendByte(7)); // i + k = 2042
        QCOMPARE(tx.MBMBTXDataBufferIndex(), std::uint16_t(2042));
        QCOMPARE(tx.MBDataNumberToSend(), std::uint16_t(2041));
    }

    void appendEndingExactlyAt2043()
    {
        // Our choice for i + k = 2044: written and counted, index stays at
        // 2043, buffer full until the host positions the index.
        mb::MBTXDataBuffer tx;
        tx.setMBMBTXDataBufferIndex(2042);
        QVERIFY(tx.MBAppendWord(0xBBAA));
        QCOMPARE(tx.dataAt(2042), std::uint8_t(0xAA));
        QCOMPARE(tx.dataAt(2043), std::uint8_t(0xBB));
        QCOMPARE(tx.MBDataNumberToSend(), std::uint16_t(2043));
        QCOMPARE(tx.MBMBTXDataBufferIndex(), std::uint16_t(2043));
        // Full: a one-byte append (which would fit at 2043) must not
        // overwrite the word's high byte.
        QVERIFY(!tx.MBAppendByte(0x11));
        QVERIFY(!tx.MBAppendString(""));
        QCOMPARE(tx.dataAt(2043), std::uint8_t(0xBB));
        QCOMPARE(tx.MBMBTXDataBufferIndex(), std::uint16_t(2043));
        // The host positions the index explicitly: overwriting is allowed.
        tx.setMBMBTXDataBufferIndex(2043);
        QVERIFY(tx.MBAppendByte(0x11));
        QCOMPARE(tx.dataAt(2043), std::uint8_t(0x11));
        QCOMPARE(tx.MBDataNumberToSend(), std::uint16_t(2043));
        // The whole buffer through appends: 2043 bytes, frame of 2048.
        tx.MBClearTXData();
        int appended = 0;
        while (tx.MBAppendByte(std::uint8_t(appended)))
            ++appended;
        QCOMPARE(appended, 2043);
        QCOMPARE(tx.MBDataNumberToSend(), std::uint16_t(2043));
        QCOMPARE(tx.buildFrame(1, 0, 1).size(), std::size_t(2048));
        // A string that ends exactly at 2043.
        tx.MBClearTXData();
        tx.setMBMBTXDataBufferIndex(2040);
        QVERIFY(tx.MBAppendString("xyz"));
        QCOMPARE(tx.dataAt(2043), std::uint8_t(0));
        QCOMPARE(tx.dataAt(2042), std::uint8_t('z'));
        QCOMPARE(tx.MBDataNumberToSend(), std::uint16_t(2043));
    }

    void realOverflowContract()
    {
        mb::MBTXDataBuffer tx;
        tx.MBAppendByte(9);
        const double beyond[] = {1e39, -1e39, std::numeric_limits<double>::max(),
                                 std::numeric_limits<double>::infinity(),
                                 -std::numeric_limits<double>::infinity(),
                                 0x1p128 - 0x1p103 /* the midpoint rounds to infinity */};
        for (double v : beyond) {
            bool thrown = false;
            try {
                tx.MBAppendReal(v);
            } catch (const mb::FloatOverflow &e) {
                thrown = true;
                QVERIFY(e.value() == v || (std::isnan(e.value()) && std::isnan(v)));
            }
            QVERIFY2(thrown, qPrintable(QString::number(v)));
            QCOMPARE(txData(tx), (Bytes{9}));
            QCOMPARE(tx.MBMBTXDataBufferIndex(), std::uint16_t(2));
        }
        // Overflow is reported even when the value would not fit anyway.
        tx.setMBMBTXDataBufferIndex(2043);
        QVERIFY_THROWS_EXCEPTION(std::overflow_error, tx.MBAppendReal(1e300));
    }

    void realAtTheEdgeOfTheRange()
    {
        mb::MBTXDataBuffer tx;
        QVERIFY(tx.MBAppendReal(FLT_MAX));
        // Just above FLT_MAX but below the midpoint: rounds down to FLT_MAX.
        QVERIFY(tx.MBAppendReal(double(FLT_MAX) * (1 + 1e-9)));
        QVERIFY(tx.MBAppendReal(-double(FLT_MAX)));
        QVERIFY(tx.MBAppendReal(1e-50)); // underflow is not an error: becomes 0
        QVERIFY(tx.MBAppendReal(std::numeric_limits<double>::quiet_NaN()));
        mb::MBRXDataBuffer rx = rxWith(txData(tx));
        QCOMPARE(rx.MBReadReal(), double(FLT_MAX));
        QCOMPARE(rx.MBReadReal(), double(FLT_MAX));
        QCOMPARE(rx.MBReadReal(), -double(FLT_MAX));
        QCOMPARE(rx.MBReadReal(), 0.0);
        QVERIFY(std::isnan(rx.MBReadReal()));
    }

    void readLayouts()
    {
        mb::MBRXDataBuffer rx = rxWith({0xAB, 0x34, 0x12, 0xEF, 0xCD, 0xAB, 0x89, 0xFE, 0xFF,
                                        0xFF, 0xFF, 0x00, 0x00, 0xC0, 0x3F});
        QCOMPARE(rx.MBReceivedDataNumber(), std::uint16_t(15));
        QCOMPARE(rx.address(), std::uint8_t(0x81));
        QCOMPARE(rx.MBReadByte(), std::uint8_t(0xAB));
        QCOMPARE(rx.MBReadWord(), std::uint16_t(0x1234));
        QCOMPARE(rx.MBReadCardinal(), std::uint32_t(0x89ABCDEF));
        QCOMPARE(rx.MBReadInteger(), -2);
        QCOMPARE(rx.MBReadReal(), 1.5);
        QCOMPARE(rx.MBMBRXDataBufferIndex(), std::uint16_t(16));
        QCOMPARE(rx.MBReadByte(), std::uint8_t(0));
        QCOMPARE(rx.MBMBRXDataBufferIndex(), std::uint16_t(16));
    }

    void readPastDataLeavesIndex()
    {
        mb::MBRXDataBuffer rx = rxWith({0x11, 0x22, 0x33});
        QCOMPARE(rx.MBReadWord(), std::uint16_t(0x2211));
        QCOMPARE(rx.MBReadWord(), std::uint16_t(0)); // one byte left
        QCOMPARE(rx.MBMBRXDataBufferIndex(), std::uint16_t(3));
        QCOMPARE(rx.MBReadCardinal(), std::uint32_t(0));
        QCOMPARE(rx.MBReadInteger(), 0);
        QCOMPARE(rx.MBReadReal(), 0.0);
        QCOMPARE(rx.MBMBRXDataBufferIndex(), std::uint16_t(3));
        QCOMPARE(rx.MBReadByte(), std::uint8_t(0x33));
        QCOMPARE(rx.MBMBRXDataBufferIndex(), std::uint16_t(4));
    }

    void fiveByteReplyReadsZero()
    {
        mb::MBRXDataBuffer rx = rxWith({});
        QCOMPARE(rx.MBReceivedDataNumber(), std::uint16_t(0));
        QCOMPARE(rx.MBReadByte(), std::uint8_t(0));
        QCOMPARE(rx.MBReadWord(), std::uint16_t(0));
        QCOMPARE(rx.MBReadCardinal(), std::uint32_t(0));
        QCOMPARE(rx.MBReadInteger(), 0);
        QCOMPARE(rx.MBReadReal(), 0.0);
        QCOMPARE(rx.MBMBRXDataBufferIndex(), std::uint16_t(1));
    }

    void loadFrameResetsIndexAndRefusesBadSizes()
    {
        mb::MBRXDataBuffer rx = rxWith({1, 2, 3, 4});
        rx.MBReadWord();
        QVERIFY(!rx.loadFrame(Bytes{1, 2, 3, 4})); // too short: no change
        QVERIFY(!rx.loadFrame(Bytes(2049, 0)));     // too long: no change
        QCOMPARE(rx.MBReceivedDataNumber(), std::uint16_t(4));
        QCOMPARE(rx.MBMBRXDataBufferIndex(), std::uint16_t(3));
        QVERIFY(rx.loadFrame(Bytes(2048, 0x5A)));
        QCOMPARE(rx.MBReceivedDataNumber(), std::uint16_t(2043));
        QCOMPARE(rx.MBMBRXDataBufferIndex(), std::uint16_t(1));
    }

    void readEndingAt2043KeepsIndex()
    {
        mb::MBRXDataBuffer rx;
        Bytes frame(2048, 0);
        frame[2042 + 2] = 0x34; // data index 2042
        frame[2043 + 2] = 0x12; // data index 2043
        rx.loadFrame(frame);
        rx.setMBMBRXDataBufferIndex(2042);
        QCOMPARE(rx.MBReadWord(), std::uint16_t(0x1234));
        QCOMPARE(rx.MBMBRXDataBufferIndex(), std::uint16_t(2042)); // i + k = 2044 > 2043
        rx.setMBMBRXDataBufferIndex(2041);
        QCOMPARE(rx.MBReadWord(), std::uint16_t(0x3400));
        QCOMPARE(rx.MBMBRXDataBufferIndex(), std::uint16_t(2043));
    }

    void rawLoad()
    {
        mb::MBRXDataBuffer rx = rxWith({9, 9});
        rx.setMBMBRXDataBufferIndex(2);
        rx.loadRaw(Bytes{'O', 'K', 13});
        QCOMPARE(rx.MBReceivedDataNumber(), std::uint16_t(3));
        QCOMPARE(rx.MBMBRXDataBufferIndex(), std::uint16_t(2)); // raw load keeps the index
        QCOMPARE(rx.MBReadByte(), std::uint8_t('K'));
        QCOMPARE(rx.MBReadByte(), std::uint8_t(13));
        QCOMPARE(rx.MBReadByte(), std::uint8_t(0));
        // A full assembly buffer: 2048 raw bytes, readable at the top index.
        Bytes raw(2048);
        for (std::size_t n = 0; n < raw.size(); ++n)
            raw[n] = std::uint8_t(n);
        rx.loadRaw(raw);
        QCOMPARE(rx.MBReceivedDataNumber(), std::uint16_t(2048));
        rx.setMBMBRXDataBufferIndex(2043);
        QCOMPARE(rx.MBReadCardinal(), std::uint32_t(0xFDFCFBFA)); // indices 2043..2046
        QCOMPARE(rx.MBMBRXDataBufferIndex(), std::uint16_t(2043));
        rx.loadRaw(Bytes(5000, 1));
        QCOMPARE(rx.MBReceivedDataNumber(), std::uint16_t(2048));
        rx.clear();
        QCOMPARE(rx.MBReceivedDataNumber(), std::uint16_t(0));
        QCOMPARE(rx.MBMBRXDataBufferIndex(), std::uint16_t(1));
    }
};

QTEST_APPLESS_MAIN(TestMBBuffers)
#include "tst_mbbuffers.moc"
