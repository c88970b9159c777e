// The simulated instrument's side of the exchange: acknowledgements, stored
// settings, forcing, the output check, calibration and its flags, working
// time, temperature and repeatable noise.
#include <QtTest>

#include "sim/instrument_model.h"

#include <chrono>
#include <cmath>

using namespace std::chrono_literals;
using namespace instrument;

namespace {

// Answers the same request until the instrument's filter has settled.
InstrumentReply settle(InstrumentModel &model, const InstrumentRequest &request,
                       std::chrono::milliseconds at = 0ms)
{
    InstrumentReply reply;
    for (int i = 0; i < 60; ++i)
        reply = model.answer(request, at);
    return reply;
}

InstrumentRequest writingSettings(quint8 inputType, quint8 outputType, double inLow, double inHigh,
                                  double outLow, double outHigh)
{
    InstrumentRequest r;
    r.CommandBits = Command::WriteSettings;
    r.InputType = inputType;
    r.OutputType = outputType;
    r.InputLow = inLow;
    r.InputHigh = inHigh;
    r.OutputLow = outLow;
    r.OutputHigh = outHigh;
    return r;
}

} // namespace

class TestInstrumentModel : public QObject {
    Q_OBJECT
private slots:
    void commandsAreAcknowledged_data()
    {
        QTest::addColumn<int>("commands");
        QTest::addColumn<int>("acknowledged");
        QTest::newRow("none") << 0 << 0;
        QTest::newRow("write settings + restart") << 48 << 48;
        QTest::newRow("each command") << 128 << 128;
        QTest::newRow("clear min/max") << 2 << 2;
        QTest::newRow("bits without a command") << 5 << 0;
        QTest::newRow("all bits") << 255 << int(Command::All);
    }
    void commandsAreAcknowledged()
    {
        QFETCH(int, commands);
        QFETCH(int, acknowledged);
        InstrumentModel model;
        InstrumentRequest r;
        r.CommandBits = quint8(commands);
        QCOMPARE(int(model.answer(r, 0ms).AckBits), acknowledged);
    }

    void neverAcknowledgingStillCarriesOut()
    {
        InstrumentModel::Options options;
        options.neverAcknowledge = true;
        InstrumentModel model(options);
        const auto r = writingSettings(Type::Voltage, Type::Voltage, -10, 10, 0, 10);
        for (int i = 0; i < 3; ++i) {
            const InstrumentReply reply = model.answer(r, 0ms);
            QCOMPARE(reply.AckBits, 0);
            QCOMPARE(reply.InputType, Type::Voltage);
        }
        model.setNeverAcknowledge(false);
        QCOMPARE(model.answer(r, 0ms).AckBits, Command::WriteSettings);
    }

    void writtenSettingsAreStoredAndReportedBack()
    {
        InstrumentModel model;
        InstrumentReply reply = model.answer(InstrumentRequest{}, 0ms);
        QCOMPARE(reply.InputType, Type::Current);
        QCOMPARE(reply.InputLow, 4.0);
        QCOMPARE(reply.OutputHigh, 20.0);

        model.answer(writingSettings(Type::Voltage, Type::Voltage, -10.0, 10.0, 0.0, 0.1), 0ms);
        // Later requests without the command do not change what is stored.
        reply = model.answer(InstrumentRequest{}, 0ms);
        QCOMPARE(reply.InputType, Type::Voltage);
        QCOMPARE(reply.OutputType, Type::Voltage);
        QCOMPARE(reply.InputLow, -10.0);
        QCOMPARE(reply.InputHigh, 10.0);
        QCOMPARE(reply.OutputLow, 0.0);
        QCOMPARE(reply.OutputHigh, double(0.1f)); // held in single precision
        QCOMPARE(reply.RAM1Source, MemoryArea::Ram1);

        // A type group without a selection sends 99: the stored type stays.
        model.answer(writingSettings(99, 99, 0, 20, 4, 20), 0ms);
        reply = model.answer(InstrumentRequest{}, 0ms);
        QCOMPARE(reply.InputType, Type::Voltage);
        QCOMPARE(reply.OutputType, Type::Voltage);
        QCOMPARE(reply.InputLow, 0.0);
    }

    void theInstrumentChoosesItsOwnRange()
    {
        InstrumentModel model;
        InstrumentReply reply = model.answer(InstrumentRequest{}, 0ms);
        QCOMPARE(reply.InputRange, CurrentInputRange);

        model.answer(writingSettings(Type::Voltage, Type::Current, -10, 10, 4, 20), 0ms);
        reply = model.answer(InstrumentRequest{}, 0ms);
        QCOMPARE(reply.InputRange, 3);
        QCOMPARE(reply.GainCH1, 2);
        QCOMPARE(reply.DividerCH1, 1);

        model.answer(writingSettings(Type::Voltage, Type::Current, 0, 0.15, 4, 20), 0ms);
        QCOMPARE(model.answer(InstrumentRequest{}, 0ms).InputRange, 0);
    }

    void forcingIsReflected()
    {
        InstrumentModel model;
        InstrumentRequest r;
        r.RangeForce = rangeForceCode(5); // index 4, "40 V"
        InstrumentReply reply = model.answer(r, 0ms);
        QCOMPARE(reply.InputRange, 4);
        QCOMPARE(reply.GainCH1, 4);
        QCOMPARE(reply.DividerCH1, 2);

        r.GainForce = gainForceCode(6, true); // 224: Au = 32 on CH1
        r.DividerForce = dividerForceCode(1); // minimum division
        reply = model.answer(r, 0ms);
        QCOMPARE(reply.GainCH1, 32);
        QCOMPARE(reply.DividerCH1, 0);
        QCOMPARE(reply.InputRange, 4);

        r = {};
        r.GainForce = gainForceCode(3, false); // Au = 4 on CH0
        QCOMPARE(model.answer(r, 0ms).GainCH0, 4);

        r = {};
        r.PWMForce = 12345;
        QCOMPARE(model.answer(r, 0ms).PWMValue, 12345);
        r.PWMForce = 1;
        QCOMPARE(model.answer(r, 0ms).PWMValue, 1);

        // Codes that name nothing leave the choice to the instrument.
        r = {};
        r.RangeForce = 140;
        r.GainForce = 64;
        QCOMPARE(model.answer(r, 0ms).InputRange, CurrentInputRange);
    }

    void forcedGainScalesTheReading()
    {
        InstrumentModel::Options options;
        options.inputSignal = 0.1; // V
        InstrumentModel model(options);
        model.answer(writingSettings(Type::Voltage, Type::Current, -0.5, 0.5, 4, 20), 0ms);
        InstrumentRequest r;
        r.GainForce = gainForceCode(0, true);
        const qint32 zero = [&] {
            InstrumentModel shorted(options);
            shorted.setInputSignal(0.0);
            shorted.answer(writingSettings(Type::Voltage, Type::Current, -0.5, 0.5, 4, 20), 0ms);
            return settle(shorted, r).ADAveragedCH1;
        }();
        const InstrumentReply single = settle(model, r);
        QCOMPARE(single.GainCH1, 1);
        r.GainForce = gainForceCode(2, true); // Au = 2
        const InstrumentReply twice = settle(model, r);
        QCOMPARE(twice.GainCH1, 2);
        const double ratio = double(twice.ADAveragedCH1 - zero) / (single.ADAveragedCH1 - zero);
        QVERIFY2(std::fabs(ratio - 2.0) < 0.001, qPrintable(QString::number(ratio)));
    }

    void outputCheckPercentDrivesThePwm()
    {
        InstrumentModel model;
        InstrumentRequest r;
        r.CalibrationStep = OutputCheckStep;
        quint16 previous = 0;
        for (int percent = 0; percent <= 100; percent += 5) {
            r.OutCheckPercent = quint8(percent);
            const InstrumentReply reply = model.answer(r, 0ms);
            if (percent > 0) QVERIFY(reply.PWMValue > previous);
            previous = reply.PWMValue;
            // The output is calibrated: the ratio lands on the percentage.
            QVERIFY2(std::fabs(reply.OutputRatio - percent / 100.0) < 0.001,
                     qPrintable(QString::number(reply.OutputRatio)));
        }
        // 0 % and 100 % of the default 4 ... 20 mA scale are the calibration's
        // own 4 mA and 20 mA points.
        r.OutCheckPercent = 0;
        const quint16 at4mA = model.answer(r, 0ms).PWMValue;
        r.OutCheckPercent = 100;
        const quint16 at20mA = model.answer(r, 0ms).PWMValue;
        InstrumentRequest store;
        store.CommandBits = Command::StoreOutputCalibration;
        store.OutCalPWM4mA = 10000;
        store.OutCalPWM20mA = 50000;
        store.OutCalPWM2V = 1;
        store.OutCalPWM10V = 2;
        model.answer(store, 0ms);
        QVERIFY(at4mA != 10000 && at20mA != 50000);
        r.OutCheckPercent = 0;
        QCOMPARE(model.answer(r, 0ms).PWMValue, 10000);
        r.OutCheckPercent = 100;
        QCOMPARE(model.answer(r, 0ms).PWMValue, 50000);
        r.OutCheckPercent = 50;
        QCOMPARE(model.answer(r, 0ms).PWMValue, 30000);

        // Without the output check marker the percentage means nothing.
        InstrumentModel::Options fixed;
        fixed.inputSignal = 4.0; // mA: the bottom of the input scale
        InstrumentModel other(fixed);
        InstrumentRequest plain;
        plain.OutCheckPercent = 100;
        const InstrumentReply reply = settle(other, plain);
        QVERIFY(reply.PWMValue < at20mA / 2);
        // A forced PWM value wins over the output check.
        r.PWMForce = 777;
        QCOMPARE(model.answer(r, 0ms).PWMValue, 777);
    }

    void storedCalibrationClearsTheFlags()
    {
        InstrumentModel::Options options;
        options.inputCalibrated = false;
        options.outputCalibrated = false;
        InstrumentModel model(options);
        InstrumentReply reply = model.answer(InstrumentRequest{}, 0ms);
        QCOMPARE(reply.StatusBits & Status::InputNotCalibrated, Status::InputNotCalibrated);
        QCOMPARE(reply.StatusBits & Status::OutputNotCalibrated, Status::OutputNotCalibrated);
        QCOMPARE(reply.CalYear, 0);

        InstrumentRequest r;
        r.CalYear = 2026;
        r.CalMonth = 3;
        r.CalDay = 4;
        r.CommandBits = Command::StoreInputCalibration;
        // One point without a slope: not a calibration.
        r.InCalLow1 = r.InCalHigh1 = 5;
        reply = model.answer(r, 0ms);
        QVERIFY(reply.StatusBits & Status::InputNotCalibrated);
        QCOMPARE(reply.CalYear, 0);

        qint32 *points[] = {&r.InCalLow1, &r.InCalHigh1, &r.InCalLow2, &r.InCalHigh2,
                            &r.InCalLow3, &r.InCalHigh3, &r.InCalLow4, &r.InCalHigh4,
                            &r.InCalLow5, &r.InCalHigh5, &r.InCalLow6, &r.InCalHigh6,
                            &r.InCalLow7, &r.InCalHigh7};
        for (int i = 0; i < 14; ++i)
            *points[i] = (i % 2) ? 1000000 + i : -1000 - i;
        reply = model.answer(r, 0ms);
        QCOMPARE(reply.StatusBits & Status::InputNotCalibrated, 0);
        QCOMPARE(reply.StatusBits & Status::OutputNotCalibrated, Status::OutputNotCalibrated);
        QCOMPARE(reply.CalYear, 2026);
        QCOMPARE(reply.CalMonth, 3);
        QCOMPARE(reply.CalDay, 4);
        QVERIFY(model.inputCalibrated());

        r.CommandBits = Command::StoreOutputCalibration;
        r.OutCalPWM4mA = 50000; // above its 20 mA point: refused
        r.OutCalPWM20mA = 40000;
        QVERIFY(model.answer(r, 0ms).StatusBits & Status::OutputNotCalibrated);
        r.OutCalPWM4mA = 11000;
        r.CalDay = 5;
        reply = model.answer(r, 0ms);
        QCOMPARE(reply.StatusBits & Status::OutputNotCalibrated, 0);
        QCOMPARE(reply.CalDay, 5);

        // Clearing the FRAM loses it all again.
        r = {};
        r.CommandBits = Command::ClearFramAndReset;
        reply = model.answer(r, 0ms);
        QCOMPARE(reply.StatusBits & (Status::InputNotCalibrated | Status::OutputNotCalibrated),
                 Status::InputNotCalibrated | Status::OutputNotCalibrated);
        QCOMPARE(reply.CalYear, 0);
        QCOMPARE(reply.RAM1Source, MemoryArea::FactoryDefaults);
    }

    void calibrationMeasuredThroughTheWizardGivesTrueValues()
    {
        // The fourteen points taken as the calibration wizard takes them:
        // each zero point shorted, each full-scale point at its reference,
        // with the wizard's forcing.
        struct Point {
            quint8 gainForce, dividerForce;
            bool current;
            double reference;
        };
        const Point wizard[7] = {{194, 128, false, 0.150}, {193, 128, false, 0.450},
                                 {193, 129, false, 2.3},   {194, 129, false, 10.0},
                                 {196, 130, false, 40.0},  {193, 130, false, 100.0},
                                 {129, 130, true, 20.0}};
        InstrumentModel::Options options;
        options.inputCalibrated = false;
        InstrumentModel model(options);
        InstrumentRequest store;
        qint32 *lows[] = {&store.InCalLow1, &store.InCalLow2, &store.InCalLow3, &store.InCalLow4,
                          &store.InCalLow5, &store.InCalLow6, &store.InCalLow7};
        qint32 *highs[] = {&store.InCalHigh1, &store.InCalHigh2, &store.InCalHigh3,
                           &store.InCalHigh4, &store.InCalHigh5, &store.InCalHigh6,
                           &store.InCalHigh7};
        for (int p = 0; p < 7; ++p) {
            const Point &pt = wizard[p];
            model.answer(writingSettings(pt.current ? Type::Current : Type::Voltage, Type::Current,
                                         0, 20, 4, 20),
                         0ms);
            InstrumentRequest forced;
            forced.GainForce = pt.gainForce;
            forced.DividerForce = pt.dividerForce;
            model.setInputSignal(0.0);
            const InstrumentReply low = settle(model, forced);
            model.setInputSignal(pt.reference);
            const InstrumentReply high = settle(model, forced);
            *lows[p] = pt.current ? low.ADAveragedCH0 : low.ADAveragedCH1;
            *highs[p] = pt.current ? high.ADAveragedCH0 : high.ADAveragedCH1;
        }

        // Before storing: the nominal conversion is off by the converter's
        // offset and gain error.
        model.answer(writingSettings(Type::Voltage, Type::Current, -10, 10, 4, 20), 0ms);
        model.setInputSignal(7.5);
        InstrumentReply reply = settle(model, InstrumentRequest{});
        QCOMPARE(reply.InputRange, 3);
        QVERIFY(std::fabs(reply.InputValue - 7.5) > 0.05);

        store.CommandBits = Command::StoreInputCalibration;
        model.answer(store, 0ms);
        reply = settle(model, InstrumentRequest{});
        QCOMPARE(reply.StatusBits & Status::InputNotCalibrated, 0);
        QVERIFY2(std::fabs(reply.InputValue - 7.5) < 0.002,
                 qPrintable(QString::number(reply.InputValue)));
        QVERIFY(std::fabs(reply.ScaleRatio - 0.875) < 0.001);

        model.answer(writingSettings(Type::Current, Type::Current, 4, 20, 4, 20), 0ms);
        model.setInputSignal(12.0);
        reply = settle(model, InstrumentRequest{});
        QCOMPARE(reply.InputRange, CurrentInputRange);
        QVERIFY2(std::fabs(reply.InputValue - 12.0) < 0.002,
                 qPrintable(QString::number(reply.InputValue)));
        QVERIFY(std::fabs(reply.ScaleRatio - 0.5) < 0.001);
        // The output follows the input: half of its scale.
        QVERIFY(std::fabs(reply.OutputRatio - 0.5) < 0.001);
    }

    void overrangeIsFlagged()
    {
        InstrumentModel::Options options;
        options.inputSignal = 30.0; // V, on the 10 V range
        InstrumentModel model(options);
        model.answer(writingSettings(Type::Voltage, Type::Current, -10, 10, 4, 20), 0ms);
        const InstrumentReply reply = model.answer(InstrumentRequest{}, 0ms);
        QCOMPARE(reply.ADValueCH1, ConverterFullScale);
        QVERIFY(reply.StatusBits & Status::InputRangeError);
        QCOMPARE(reply.ScaleRatio, 1.0);
    }

    void workingTimeRuns()
    {
        InstrumentModel::Options options;
        options.operatingMinutes = 1000;
        InstrumentModel model(options);
        QCOMPARE(model.answer({}, 0ms).OperatingMinutes, 1000u);
        QCOMPARE(model.answer({}, 59999ms).OperatingMinutes, 1000u);
        QCOMPARE(model.answer({}, 60s).OperatingMinutes, 1001u);
        QCOMPARE(model.answer({}, 2h).OperatingMinutes, 1120u);
    }

    void firmwareDateAndPlausibleReadings()
    {
        InstrumentModel::Options options;
        options.inputSignal = 12.0;
        InstrumentModel model(options);
        qint32 lowest = ConverterFullScale, highest = -ConverterFullScale;
        for (int i = 0; i < 50; ++i) {
            const InstrumentReply reply = model.answer({}, std::chrono::seconds(i));
            QCOMPARE(reply.FirmwareYear, InstrumentModel::FirmwareDate.year);
            QCOMPARE(reply.FirmwareMonth, InstrumentModel::FirmwareDate.month);
            QCOMPARE(reply.FirmwareDay, InstrumentModel::FirmwareDate.day);
            QVERIFY(reply.Temperature > 15.0 && reply.Temperature < 45.0);
            QVERIFY(reply.TemperatureMin <= reply.Temperature);
            QVERIFY(reply.TemperatureMax >= reply.Temperature);
            QCOMPARE(reply.StatusBits, 0);
            QVERIFY(reply.CalYear != 0);
            lowest = std::min(lowest, reply.ADValueCH0);
            highest = std::max(highest, reply.ADValueCH0);
        }
        // Noisy, but only just.
        QVERIFY(highest > lowest);
        QVERIFY(highest - lowest <= 80);
    }

    void clearingTheTemperatureExtremes()
    {
        InstrumentModel model;
        const InstrumentReply before = model.answer({}, 0ms);
        QVERIFY(before.TemperatureMin < before.Temperature);
        InstrumentRequest r;
        r.CommandBits = Command::ClearTemperatureMinMax;
        const InstrumentReply cleared = model.answer(r, 10s);
        QCOMPARE(cleared.TemperatureMin, cleared.Temperature);
        QCOMPARE(cleared.TemperatureMax, cleared.Temperature);
    }

    void aSeedRepeatsARun()
    {
        InstrumentModel::Options options;
        options.seed = 7;
        InstrumentModel a(options), b(options);
        options.seed = 8;
        InstrumentModel c(options);
        bool differs = false;
        for (int i = 0; i < 20; ++i) {
            const auto t = std::chrono::milliseconds(i * 250);
            const InstrumentReply ra = a.answer({}, t);
            QVERIFY(ra == b.answer({}, t));
            differs = differs || !(ra == c.answer({}, t));
        }
        QVERIFY(differs);
    }
};

QTEST_MAIN(TestInstrumentModel)
#include "tst_instrument_model.moc"
