// The instrument reply on the line: every field read from its data index,
// short replies, the calibration date without a year, and the simulator's
// writer checked against the same indices.
#include <QtTest>

#include "frame/mbbuffers.h"
#include "protocol/instrument_protocol.h"
#include "support/instrument_bytes.h"

#include <limits>

using namespace testbytes;

namespace {

InstrumentReply read(const DataBytes &d)
{
    mb::MBRXDataBuffer rx = d.rx();
    return readReply(rx);
}

// A full reply with a distinct value in every field, placed by hand.
DataBytes everyField()
{
    DataBytes d(88);
    d.word(1, 2013)
        .byte(3, 6)
        .byte(4, 18)
        .int32(5, 8388607)
        .int32(9, -8388607)
        .int32(13, 1500)
        .int32(17, -42)
        .byte(21, 2)
        .byte(22, 3)
        .byte(23, 0x5A)
        .byte(24, 48)
        .byte(25, 4)
        .byte(26, 8)
        .byte(27, 160)
        .real(28, 12.25f)
        .byte(32, 5)
        .byte(33, 101)
        .byte(34, 100)
        .real(35, 0.75f)
        .cardinal(39, 125)
        .word(43, 2013)
        .byte(45, 10)
        .byte(46, 9)
        .real(47, -199.9f)
        .real(51, -250.0f)
        .real(55, 85.5f)
        .word(59, 50)
        .byte(61, 7)
        .word(62, 40000)
        .byte(64, 2)
        .real(65, -125.0f)
        .real(69, 125.0f)
        .real(73, 4.0f)
        .real(77, 20.0f)
        .real(81, 0.5f)
        .real(85, 1.0f);
    return d;
}

} // namespace

class TestInstrumentReply : public QObject {
    Q_OBJECT
private slots:
    void everyFieldFromItsDataIndex()
    {
        const InstrumentReply r = read(everyField());
        QCOMPARE(r.FirmwareYear, 2013);
        QCOMPARE(r.FirmwareMonth, 6);
        QCOMPARE(r.FirmwareDay, 18);
        QCOMPARE(r.ADValueCH0, 8388607);
        QCOMPARE(r.ADValueCH1, -8388607);
        QCOMPARE(r.ADAveragedCH0, 1500);
        QCOMPARE(r.ADAveragedCH1, -42);
        QCOMPARE(r.RAM1Source, 2);
        QCOMPARE(r.RAM2Source, 3);
        QCOMPARE(r.SpareByte, 0x5A);
        QCOMPARE(r.AckBits, 48);
        QCOMPARE(r.GainCH0, 4);
        QCOMPARE(r.GainCH1, 8);
        QCOMPARE(r.StatusBits, 160);
        QCOMPARE(r.InputValue, 12.25);
        QCOMPARE(r.InputRange, 5);
        QCOMPARE(r.InputType, 101);
        QCOMPARE(r.OutputType, 100);
        QCOMPARE(r.OutputRatio, 0.75);
        QCOMPARE(r.OperatingMinutes, 125u);
        QCOMPARE(r.CalYear, 2013);
        QCOMPARE(r.CalMonth, 10);
        QCOMPARE(r.CalDay, 9);
        QVERIFY(r.hasCalibrationDate());
        QCOMPARE(r.Temperature, double(-199.9f)); // widened exactly, not re-rounded
        QCOMPARE(r.TemperatureMin, -250.0);
        QCOMPARE(r.TemperatureMax, 85.5);
        QCOMPARE(r.ADSamplesPerSecond, 50);
        QCOMPARE(r.ErrorNumber, 7);
        QCOMPARE(r.PWMValue, 40000);
        QCOMPARE(r.DividerCH1, 2);
        QCOMPARE(r.InputLow, -125.0);
        QCOMPARE(r.InputHigh, 125.0);
        QCOMPARE(r.OutputLow, 4.0);
        QCOMPARE(r.OutputHigh, 20.0);
        QCOMPARE(r.ScaleRatio, 0.5);
        QCOMPARE(r.SpareReal, 1.0);
    }

    void firmwareBytes()
    {
        DataBytes d(88);
        d.byte(1, 0xDD).byte(2, 0x07).byte(3, 0x06).byte(4, 0x12);
        const InstrumentReply r = read(d);
        QCOMPARE(r.FirmwareYear, 2013);
        QCOMPARE(r.FirmwareMonth, 6);
        QCOMPARE(r.FirmwareDay, 18);
    }

    void converterReadingsAtFullScaleBothWays()
    {
        DataBytes d(88);
        d.byte(5, 0xFF).byte(6, 0xFF).byte(7, 0x7F).byte(8, 0x00);    // +8388607
        d.byte(9, 0x01).byte(10, 0x00).byte(11, 0x80).byte(12, 0xFF); // -8388607
        const InstrumentReply r = read(d);
        QCOMPARE(r.ADValueCH0, instrument::ConverterFullScale);
        QCOMPARE(r.ADValueCH1, -instrument::ConverterFullScale);
    }

    void noCalibrationYearStillConsumesMonthAndDay()
    {
        DataBytes d = everyField();
        d.word(43, 0).byte(45, 0xEE).byte(46, 0xEE).real(47, 23.5f).real(51, 20.0f);
        const InstrumentReply r = read(d);
        QVERIFY(!r.hasCalibrationDate());
        QCOMPARE(r.CalYear, 0);
        QCOMPARE(r.Temperature, 23.5); // from data index 47
        QCOMPARE(r.TemperatureMin, 20.0);
        QCOMPARE(r.PWMValue, 40000); // everything behind stays aligned
        QCOMPARE(r.SpareReal, 1.0);
    }

    void temperatureThresholdValues()
    {
        DataBytes d(88);
        d.real(47, -200.0f).real(51, -250.0f).real(55, -199.9f);
        const InstrumentReply r = read(d);
        QCOMPARE(r.Temperature, -200.0);
        QCOMPARE(r.TemperatureMin, -250.0);
        QVERIFY(r.TemperatureMax > -200.0);
    }

    void aReplyEndingAfterIndex20ReadsZerosForTheRest()
    {
        DataBytes d = everyField();
        d.truncate(20);
        const InstrumentReply r = read(d);

        InstrumentReply expected;
        expected.FirmwareYear = 2013;
        expected.FirmwareMonth = 6;
        expected.FirmwareDay = 18;
        expected.ADValueCH0 = 8388607;
        expected.ADValueCH1 = -8388607;
        expected.ADAveragedCH0 = 1500;
        expected.ADAveragedCH1 = -42;
        QVERIFY(r == expected);
        QVERIFY(!r.hasCalibrationDate());
        QCOMPARE(r.RAM1Source, instrument::MemoryArea::Ram1);
    }

    void aFieldCutShortZeroesEverythingBehindIt_data()
    {
        QTest::addColumn<int>("length");
        QTest::newRow("inside Temperature") << 49;
        QTest::newRow("inside OperatingMinutes") << 40;
        QTest::newRow("inside InputValue") << 29;
    }
    void aFieldCutShortZeroesEverythingBehindIt()
    {
        // The narrower fields behind a missing wide one must not be read
        // from the wide one's bytes.
        QFETCH(int, length);
        DataBytes d(88);
        for (int i = 1; i <= 88; ++i)
            d.byte(i, 0x33);
        d.truncate(length);
        const InstrumentReply r = read(d);
        QCOMPARE(r.FirmwareYear, 0x3333);
        QCOMPARE(r.ADSamplesPerSecond, 0);
        QCOMPARE(r.ErrorNumber, 0);
        QCOMPARE(r.PWMValue, 0);
        QCOMPARE(r.DividerCH1, 0);
        QCOMPARE(r.SpareReal, 0.0);
        if (length == 49) {
            QCOMPARE(r.CalDay, 0x33);
            QCOMPARE(r.Temperature, 0.0);
        }
        if (length == 29) {
            QCOMPARE(r.StatusBits, 0x33);
            QCOMPARE(r.InputRange, 0);
            QCOMPARE(r.InputType, 0);
        }
    }

    void aReplyWithoutDataReadsAllZeros()
    {
        const InstrumentReply r = read(DataBytes(0));
        QVERIFY(r == InstrumentReply{});
    }

    void readingStartsAtTheBufferIndex()
    {
        // After an accepted frame the index is 1; a host that moved it reads
        // from there, which the decoder never does but must not break on.
        mb::MBRXDataBuffer rx = everyField().rx();
        QCOMPARE(rx.MBMBRXDataBufferIndex(), 1);
        const InstrumentReply first = readReply(rx);
        QCOMPARE(rx.MBMBRXDataBufferIndex(), 89);
        QCOMPARE(first.SpareReal, 1.0);
        const InstrumentReply second = readReply(rx); // nothing left
        QCOMPARE(second.FirmwareYear, 0);
    }

    void writerPutsEveryFieldAtItsDataIndex()
    {
        // The simulator's side: the same table checked through the writer.
        const InstrumentReply source = read(everyField());
        mb::MBTXDataBuffer tx;
        QVERIFY(writeReply(tx, source));
        QCOMPARE(sent(tx).toHex(' '), everyField().bytes().toHex(' '));

        InstrumentReply r;
        r.AckBits = 0x82;
        r.OperatingMinutes = 0x01020304;
        r.PWMValue = 0xBEEF;
        r.ScaleRatio = 1.5;
        QVERIFY(writeReply(tx, r));
        const QByteArray d = sent(tx);
        QCOMPARE(d.size(), instrument::ReplyDataSize);
        QCOMPARE(quint8(d.at(23)), quint8(0x82));
        QCOMPARE(d.mid(38, 4).toHex(), QByteArray("04030201"));
        QCOMPARE(d.mid(61, 2).toHex(), QByteArray("efbe"));
        QCOMPARE(d.mid(80, 4).toHex(), QByteArray("0000c03f"));
    }

    void writerRefusesARealThatCannotTravel()
    {
        InstrumentReply r;
        r.Temperature = std::numeric_limits<double>::infinity();
        mb::MBTXDataBuffer tx;
        QVERIFY(!writeReply(tx, r));
        QCOMPARE(tx.MBDataNumberToSend(), 0);
    }
};

QTEST_MAIN(TestInstrumentReply)
#include "tst_instrument_reply.moc"
