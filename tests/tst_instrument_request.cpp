// The instrument request on the line: every field at its data index, the
// worked frames byte by byte, the forcing codes, and reals that cannot travel.
#include <QtTest>

#include "frame/mbbuffers.h"
#include "protocol/instrument_protocol.h"
#include "support/instrument_bytes.h"

#include <cfloat>
#include <cmath>
#include <limits>

using namespace testbytes;

namespace {

QByteArray written(const InstrumentRequest &request)
{
    mb::MBTXDataBuffer tx;
    if (!writeRequest(tx, request)) return {};
    return sent(tx);
}

quint8 at(const QByteArray &data, int index)
{
    return quint8(data.at(index - 1));
}

} // namespace

class TestInstrumentRequest : public QObject {
    Q_OBJECT
private slots:
    void freshStartFrameByteByByte()
    {
        // Settings page, nothing down, every selector at item 0, both types
        // current, scale 4 / 20, output check at 0, date 9 October 2013.
        InstrumentRequest request;
        request.CalYear = 2013;
        request.CalMonth = 10;
        request.CalDay = 9;
        const QByteArray data = written(request);

        const QByteArray expected = QByteArray::fromHex("0000"                             // 1-2
                                                        "00"                               // 3
                                                        "00000000000000000000000000000000" // 4-19
                                                        "0000ffff0000ffff"                 // 20-27
                                                        "dd070a09"                         // 28-31
                                                        "00"                               // 32
                                                        "000000"                           // 33-35
                                                        + QByteArray(80, '0')              // 36-75
                                                        + "6464"                           // 76-77
                                                          "00008040"                       // 78-81
                                                          "0000a041"                       // 82-85
                                                          "00008040"                       // 86-89
                                                          "0000a041"                       // 90-93
                                                          "00000000"                       // 94-97
                                                          "00");                           // 98
        QCOMPARE(expected.size(), instrument::RequestDataSize);
        QCOMPARE(data.toHex(' '), expected.toHex(' '));
    }

    void everyFieldAtItsDataIndex()
    {
        InstrumentRequest r;
        r.PWMForce = 0x1234;
        r.CommandBits = instrument::Command::WriteSettings | instrument::Command::Reset;
        r.InCalLow1 = 0x01020304;
        r.InCalHigh1 = -2;
        r.InCalLow2 = 1000;
        r.InCalHigh2 = -8388607;
        r.OutCalPWM4mA = 11000;
        r.OutCalPWM20mA = 54000;
        r.OutCalPWM2V = 12000;
        r.OutCalPWM10V = 60000;
        r.CalYear = 2026;
        r.CalMonth = 12;
        r.CalDay = 31;
        r.CalibrationStep = instrument::OutputCheckStep;
        r.OutCheckPercent = 100;
        r.GainForce = 224;
        r.DividerForce = 130;
        r.InCalLow3 = 3;
        r.InCalHigh3 = 33;
        r.InCalLow4 = 4;
        r.InCalHigh4 = 44;
        r.InCalLow5 = -5;
        r.InCalHigh5 = 55;
        r.InCalLow6 = 6;
        r.InCalHigh6 = 66;
        r.InCalLow7 = 7;
        r.InCalHigh7 = 77;
        r.InputType = instrument::Type::Voltage;
        r.OutputType = 99;
        r.InputLow = -125.0;
        r.InputHigh = 0.1;
        r.OutputLow = 0.0;
        r.OutputHigh = 150.0;
        r.SpareReal = 0.0;
        r.RangeForce = 134;
        const QByteArray d = written(r);
        QCOMPARE(d.size(), 98);

        QCOMPARE(d.mid(0, 2).toHex(), QByteArray("3412"));
        QCOMPARE(at(d, 3), quint8(48));
        QCOMPARE(d.mid(3, 4).toHex(), QByteArray("04030201"));
        QCOMPARE(d.mid(7, 4).toHex(), QByteArray("feffffff"));
        QCOMPARE(int32At(d, 12), 1000);
        QCOMPARE(int32At(d, 16), -8388607);
        QCOMPARE(wordAt(d, 20), 11000);
        QCOMPARE(wordAt(d, 22), 54000);
        QCOMPARE(wordAt(d, 24), 12000);
        QCOMPARE(wordAt(d, 26), 60000);
        QCOMPARE(d.mid(27, 4).toHex(), QByteArray("ea070c1f"));
        QCOMPARE(at(d, 32), quint8(255));
        QCOMPARE(at(d, 33), quint8(100));
        QCOMPARE(at(d, 34), quint8(224));
        QCOMPARE(at(d, 35), quint8(130));
        const int calIndex[] = {36, 40, 44, 48, 52, 56, 60, 64, 68, 72};
        const int calValue[] = {3, 33, 4, 44, -5, 55, 6, 66, 7, 77};
        for (int i = 0; i < 10; ++i)
            QCOMPARE(int32At(d, calIndex[i]), calValue[i]);
        QCOMPARE(at(d, 76), quint8(101));
        QCOMPARE(at(d, 77), quint8(99));
        QCOMPARE(d.mid(77, 4).toHex(), QByteArray("0000fac2")); // -125.0
        QCOMPARE(d.mid(81, 4).toHex(), QByteArray("cdcccc3d")); // 0.1 rounded to single
        QCOMPARE(realAt(d, 86), 0.0f);
        QCOMPARE(d.mid(89, 4).toHex(), QByteArray("00001643")); // 150.0, no limit
        QCOMPARE(realAt(d, 94), 0.0f);
        QCOMPARE(at(d, 98), quint8(134));
    }

    void gainForceCodes_data()
    {
        QTest::addColumn<int>("item");
        QTest::addColumn<bool>("ch1");
        QTest::addColumn<int>("code");
        QTest::newRow("off CH0") << 0 << false << 0;
        QTest::newRow("off CH1") << 0 << true << 64;
        QTest::newRow("Au=1") << 1 << false << 129;
        QTest::newRow("Au=2") << 2 << false << 130;
        QTest::newRow("Au=4") << 3 << false << 132;
        QTest::newRow("Au=8") << 4 << false << 136;
        QTest::newRow("Au=16") << 5 << false << 144;
        QTest::newRow("Au=32") << 6 << false << 160;
        QTest::newRow("Au=32 CH1") << 6 << true << 224;
        QTest::newRow("Au=2 CH1 (wizard)") << 2 << true << 194;
    }
    void gainForceCodes()
    {
        QFETCH(int, item);
        QFETCH(bool, ch1);
        QFETCH(int, code);
        QCOMPARE(int(instrument::gainForceCode(item, ch1)), code);

        InstrumentRequest r;
        r.GainForce = instrument::gainForceCode(item, ch1);
        QCOMPARE(int(at(written(r), 34)), code);
    }

    void dividerAndRangeCodes()
    {
        const int dividers[] = {0, 128, 129, 130};
        for (int item = 0; item < 4; ++item)
            QCOMPARE(int(instrument::dividerForceCode(item)), dividers[item]);
        QCOMPARE(int(instrument::rangeForceCode(0)), 0);
        for (int item = 1; item <= 7; ++item)
            QCOMPARE(int(instrument::rangeForceCode(item)), 127 + item);
    }

    void decodingTheForcingCodes()
    {
        using namespace instrument;
        QVERIFY(!decodeGainForce(0));
        QVERIFY(!decodeGainForce(64));  // channel flag alone forces nothing
        QVERIFY(!decodeGainForce(128)); // no gain named
        QVERIFY(!decodeGainForce(131)); // two gains named
        const auto g = decodeGainForce(224);
        QVERIFY(g);
        QCOMPARE(g->gain, 32);
        QVERIFY(g->channelCH1);
        QCOMPARE(decodeGainForce(129)->gain, 1);
        QVERIFY(!decodeGainForce(129)->channelCH1);

        QVERIFY(!decodeDividerForce(0));
        QCOMPARE(*decodeDividerForce(128), 0);
        QCOMPARE(*decodeDividerForce(130), 2);
        QVERIFY(!decodeDividerForce(131));

        QVERIFY(!decodeRangeForce(0));
        QCOMPARE(*decodeRangeForce(128), 0);
        QCOMPARE(*decodeRangeForce(134), 6);
        QVERIFY(!decodeRangeForce(135));
    }

    void realsThatCannotTravelStopTheBuild_data()
    {
        QTest::addColumn<double>("value");
        QTest::newRow("1e39") << 1e39;
        QTest::newRow("-1e39") << -1e39;
        QTest::newRow("inf") << std::numeric_limits<double>::infinity();
        QTest::newRow("nan") << std::numeric_limits<double>::quiet_NaN();
    }
    void realsThatCannotTravelStopTheBuild()
    {
        QFETCH(double, value);
        QVERIFY(!instrument::travelsAsReal(value));

        mb::MBTXDataBuffer tx;
        tx.MBAppendByte(7); // left over from an earlier frame
        InstrumentRequest r;
        r.OutputHigh = value;
        QVERIFY(!writeRequest(tx, r));
        QCOMPARE(tx.MBDataNumberToSend(), 0);
        QCOMPARE(tx.MBMBTXDataBufferIndex(), 1);
    }

    void realsAtTheEdgeOfSinglePrecisionTravel()
    {
        QVERIFY(instrument::travelsAsReal(FLT_MAX));
        QVERIFY(instrument::travelsAsReal(-FLT_MAX));
        QVERIFY(instrument::travelsAsReal(1e-50)); // underflows to 0, no overflow
        InstrumentRequest r;
        r.InputHigh = -double(FLT_MAX);
        QCOMPARE(written(r).mid(81, 4).toHex(), QByteArray("ffff7fff"));
    }

    void readingARequestFromItsDataIndices()
    {
        DataBytes d(98);
        d.word(1, 40000)
            .byte(3, 130)
            .int32(4, -1)
            .int32(16, 123456)
            .word(22, 54321)
            .word(28, 2013)
            .byte(30, 10)
            .byte(31, 9)
            .byte(32, 255)
            .byte(33, 35)
            .byte(34, 194)
            .byte(35, 129)
            .int32(36, 300)
            .int32(72, -7)
            .byte(76, 101)
            .byte(77, 100)
            .real(78, -25.0f)
            .real(90, 20.5f)
            .byte(98, 131);
        mb::MBRXDataBuffer rx = d.rx(0x01, 1);
        const InstrumentRequest r = readRequest(rx);
        QCOMPARE(r.PWMForce, 40000);
        QCOMPARE(r.CommandBits, 130);
        QCOMPARE(r.InCalLow1, -1);
        QCOMPARE(r.InCalHigh2, 123456);
        QCOMPARE(r.OutCalPWM4mA, 0);
        QCOMPARE(r.OutCalPWM20mA, 54321);
        QCOMPARE(r.CalYear, 2013);
        QCOMPARE(r.CalMonth, 10);
        QCOMPARE(r.CalDay, 9);
        QCOMPARE(r.CalibrationStep, 255);
        QCOMPARE(r.OutCheckPercent, 35);
        QCOMPARE(r.GainForce, 194);
        QCOMPARE(r.DividerForce, 129);
        QCOMPARE(r.InCalLow3, 300);
        QCOMPARE(r.InCalHigh7, -7);
        QCOMPARE(r.InputType, 101);
        QCOMPARE(r.OutputType, 100);
        QCOMPARE(r.InputLow, -25.0);
        QCOMPARE(r.InputHigh, 0.0);
        QCOMPARE(r.OutputHigh, 20.5);
        QCOMPARE(r.RangeForce, 131);
        QCOMPARE(r.inputCalibration()[6].high, -7);
        QCOMPARE(r.inputCalibration()[2].low, 300);
    }

    void aShortRequestReadsZerosBehindItsEnd()
    {
        // Ends inside InCalLow3 (36-39): it and everything after read as 0,
        // also the single bytes that a misaligned read would have found.
        DataBytes d(98);
        for (int i = 1; i <= 98; ++i)
            d.byte(i, 0x11);
        d.truncate(37);
        mb::MBRXDataBuffer rx = d.rx(0x01, 1);
        const InstrumentRequest r = readRequest(rx);
        QCOMPARE(r.DividerForce, 0x11);
        QCOMPARE(r.InCalLow3, 0);
        QCOMPARE(r.InputType, 0);
        QCOMPARE(r.OutputType, 0);
        QCOMPARE(r.InputLow, 0.0);
        QCOMPARE(r.RangeForce, 0);
    }

    void writtenRequestReadsBackUnchanged()
    {
        InstrumentRequest r;
        r.PWMForce = 1;
        r.CommandBits = instrument::Command::All;
        r.InCalHigh5 = 8388607;
        r.InputLow = -0.5;
        r.RangeForce = instrument::rangeForceCode(7);
        mb::MBTXDataBuffer tx;
        QVERIFY(writeRequest(tx, r));
        mb::MBRXDataBuffer rx;
        QVERIFY(rx.loadFrame(
            tx.buildFrame(instrument::Address, instrument::RequestId, instrument::RequestCommand)));
        QCOMPARE(rx.MBReceivedDataNumber(), 98);
        QVERIFY(readRequest(rx) == r);
    }
};

QTEST_MAIN(TestInstrumentRequest)
#include "tst_instrument_request.moc"
