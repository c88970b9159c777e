// Both calibration wizards end to end: the real window (offscreen) talks to
// the simulated instrument over a pty, and the requests the instrument
// received show what the wizards forced, captured and asked it to store.
#include <QLabel>
#include <QListWidget>
#include <QSignalSpy>
#include <QTimer>
#include <QtTest>

#include <memory>

#include "app/form_calrecord.h"
#include "app/form_main.h"
#include "app/outcal_view.h"
#include "panel/mb.h"
#include "sim/simulator.h"
#include "support/formaccess.h"
#include "text/numberpattern.h"
#include "widgets/pagecontrol.h"
#include "widgets/speedbutton.h"

using formaccess::control;

class TstE2EWizards : public QObject {
    Q_OBJECT

    std::unique_ptr<InstrumentSimulator> sim;
    std::unique_ptr<TForm_Main> w;

    const InstrumentRequest &last() const { return sim->receivedRequests().back().request; }
    // Lets `count` more exchanges happen.
    bool exchanges(quint64 count)
    {
        const quint64 target = sim->requestCount() + count;
        return QTest::qWaitFor([&] { return sim->requestCount() >= target; }, 5000);
    }
    QStringList inputLines() const
    {
        QStringList lines;
        auto *list = control<QListWidget>(*w, "ListBox_InputCalibrated");
        for (int i = 0; i < list->count(); ++i)
            lines << list->item(i)->text();
        return lines;
    }
    void turnTo(const char *page) { formaccess::showPage(*w, page); }
    TSpeedButton *button(const char *name) { return control<TSpeedButton>(*w, name); }

private slots:
    void init()
    {
        InstrumentSimulator::Settings settings;
        settings.model.inputCalibrated = false;
        settings.model.outputCalibrated = false;
        settings.model.inputSignal = 0.0;
        sim = std::make_unique<InstrumentSimulator>(settings);
        QVERIFY2(sim->startOnNewPty(), qPrintable(sim->errorText()));
        w = std::make_unique<TForm_Main>();
        // The wizards' values are stored whether plausible or not.
        w->askStoreAnyway = [](QWidget *, const QString &, const QString &) { return true; };
        w->calibrationRecords->askSerialNumber = [](QWidget *, const SerialNumberQuestion &) {
            return std::optional<QString>(QStringLiteral("KX-0001"));
        };
        QVERIFY(formaccess::mb1(*w)->engine().MBOpenPort(sim->portPath()));
        QVERIFY(exchanges(2));
    }
    void cleanup()
    {
        if (w) formaccess::mb1(*w)->MBClosePort();
        w.reset();
        sim.reset();
    }

    void inputWizardCapturesFourteenPointsAndStoresThem()
    {
        struct Point {
            int gain, divider;
            qint32 TForm_Main::*captured;
            qint32 InstrumentRequest::*field;
            bool fromCH0;
            QString prefix;
            double signal; // what the technician connects, in mA on the current input
        };
        using F = TForm_Main;
        using R = InstrumentRequest;
        const Point points[] = {
            {194, 128, &F::InCalLow1, &R::InCalLow1, false, "Low1 = ", 0},
            {193, 128, &F::InCalLow2, &R::InCalLow2, false, "Low2 = ", 0},
            {193, 129, &F::InCalLow3, &R::InCalLow3, false, "Low3 = ", 0},
            {194, 128, &F::InCalHigh1, &R::InCalHigh1, false, "High1 = ", 0},
            {193, 128, &F::InCalHigh2, &R::InCalHigh2, false, "High2 = ", 0},
            {193, 129, &F::InCalHigh3, &R::InCalHigh3, false, "High3 = ", 0},
            {194, 129, &F::InCalLow4, &R::InCalLow4, false, "Low4 = ", 0},
            {196, 130, &F::InCalLow5, &R::InCalLow5, false, "Low5 = ", 0},
            {193, 130, &F::InCalLow6, &R::InCalLow6, false, "Low6 = ", 0},
            {194, 129, &F::InCalHigh4, &R::InCalHigh4, false, "High4 = ", 0},
            {196, 130, &F::InCalHigh5, &R::InCalHigh5, false, "High5 = ", 0},
            {193, 130, &F::InCalHigh6, &R::InCalHigh6, false, "High6 = ", 0},
            {129, 130, &F::InCalLow7, &R::InCalLow7, true, "Low7 = ", 0},
            {129, 130, &F::InCalHigh7, &R::InCalHigh7, true, "High7 = ", 20},
        };
        QSignalSpy ticks(w->Timer_InCal, &QTimer::timeout);
        turnTo("TabSheet_InputCalibration");
        QCOMPARE(w->Timer_InCal->interval(), 100);

        QStringList lines;
        for (int i = 0; i < 14; ++i) {
            const Point &p = points[i];
            // The timer shows the step (the first one the page entry shows).
            QTRY_COMPARE(w->InCalState, 10 * (i + 1) + 1);
            sim->model().setInputSignal(p.signal);
            // The instrument is forced as the step says, and readings taken
            // that way have come back.
            QTRY_VERIFY(last().GainForce == p.gain && last().DividerForce == p.divider);
            QCOMPARE(last().RangeForce, quint8(0));
            QVERIFY(exchanges(3));

            auto *next = button("SpeedButton_InputCalibrationNext");
            next->click();
            if (i == 1) next->click(); // a double press
            // Capture at once, so the reading is the one seen here.
            const qint32 reading = p.fromCH0 ? w->ADAveragedCH0 : w->ADAveragedCH1;
            w->InCalStep();
            QCOMPARE((*w).*p.captured, reading);
            lines << p.prefix + formatPattern(reading, u"0 000 000");
            QCOMPARE(inputLines(), lines);
            // The value travels in the requests from now on.
            QTRY_COMPARE(last().*p.field, reading);

            if (i == 1) {
                // The second press of the double one captured nothing.
                QTRY_COMPARE(w->InCalState, 31);
                const int seen = ticks.count();
                QTRY_VERIFY(ticks.count() >= seen + 3);
                QCOMPARE(w->InCalState, 31);
                QCOMPARE(inputLines().size(), 2);
            }
            if (i == 7) {
                // With nothing on the voltage terminals CH1 reads its own
                // negative offset: listed with its sign.
                QVERIFY(reading < 0);
                QVERIFY(lines.last().startsWith(QStringLiteral("Low5 = -0 00")));
            }
        }

        // The closing step lifts the forcing and offers the store button.
        TSpeedButton *store = button("SpeedButton_ADCalBeiras");
        QTRY_VERIFY(!store->isHidden());
        QCOMPARE(w->InCalState, 0);
        QTRY_VERIFY(last().GainForce == 0 && last().DividerForce == 0);
        QVERIFY(!sim->model().inputCalibrated());

        const quint64 before = sim->requestCount();
        store->click();
        QTRY_VERIFY(!store->Down()); // acknowledged
        QVERIFY(exchanges(2));
        QCOMPARE(last().CommandBits & 128, 0);
        // Exactly the requests between the press and the acknowledgement
        // carried the command, with the fourteen values captured.
        int carried = 0;
        for (const auto &record : sim->receivedRequests()) {
            if (record.number <= before || !(record.request.CommandBits & 128)) continue;
            ++carried;
            for (const Point &p : points)
                QCOMPARE(record.request.*p.field, (*w).*p.captured);
        }
        QCOMPARE(carried, 1);
        // The instrument takes the values when every point's zero and full
        // scale differ. On the current input the voltage converter reads
        // only its offset and noise, so equal pairs can happen by chance.
        const std::pair<qint32 F::*, qint32 F::*> pairs[] = {
            {&F::InCalLow1, &F::InCalHigh1}, {&F::InCalLow2, &F::InCalHigh2},
            {&F::InCalLow3, &F::InCalHigh3}, {&F::InCalLow4, &F::InCalHigh4},
            {&F::InCalLow5, &F::InCalHigh5}, {&F::InCalLow6, &F::InCalHigh6},
            {&F::InCalLow7, &F::InCalHigh7}};
        bool distinct = true;
        for (const auto &[low, high] : pairs)
            distinct = distinct && (*w).*low != (*w).*high;
        QVERIFY(w->InCalLow7 != w->InCalHigh7); // 0 and 20 mA
        QCOMPARE(sim->model().inputCalibrated(), distinct);
        QTRY_COMPARE(!control<QLabel>(*w, "Image_InputCalibrationOK")->isHidden(), distinct);
    }

    void storeRepeatedUntilAcknowledged()
    {
        sim->model().setNeverAcknowledge(true);
        turnTo("TabSheet_InputCalibration");
        w->InCalState = 150; // the last point just captured
        TSpeedButton *store = button("SpeedButton_ADCalBeiras");
        QTRY_VERIFY(!store->isHidden());
        store->click();
        QTRY_VERIFY(last().CommandBits & 128); // once the unit's serial number is given
        const quint64 from = sim->requestCount();
        QVERIFY(exchanges(5));
        for (const auto &record : sim->receivedRequests())
            if (record.number > from) QCOMPARE(record.request.CommandBits & 128, 128);
        QVERIFY(store->Down());

        sim->model().setNeverAcknowledge(false);
        QTRY_VERIFY(!store->Down());
        QVERIFY(exchanges(2));
        QCOMPARE(last().CommandBits & 128, 0);
    }

    void leavingThePageRestartsAtLowOne()
    {
        turnTo("TabSheet_InputCalibration");
        QTRY_VERIFY(last().GainForce == 194 && last().DividerForce == 128);
        QVERIFY(exchanges(2));
        button("SpeedButton_InputCalibrationNext")->click();
        QTRY_COMPARE(w->InCalState, 21);
        QTRY_VERIFY(last().GainForce == 193 && last().DividerForce == 128);
        const qint32 low1 = w->InCalLow1;
        QTRY_COMPARE(last().InCalLow1, low1);
        QCOMPARE(inputLines().size(), 1);

        turnTo("TabSheet_Uzemmod");
        QTRY_VERIFY(last().GainForce == 0 && last().DividerForce == 0 && last().PWMForce == 0);

        turnTo("TabSheet_InputCalibration");
        QCOMPARE(control<QLabel>(*w, "Label_InputCalibration1")->text(),
                 QStringLiteral("Ube Low1 kalibrálás"));
        QCOMPARE(inputLines(), QStringList{});
        QTRY_VERIFY(last().GainForce == 194 && last().DividerForce == 128);
        // The earlier capture is still sent until overwritten; the output is
        // forced with the lowest PWM value.
        QCOMPARE(last().InCalLow1, low1);
        QCOMPARE(last().PWMForce, quint16(1));
    }

    void outputWizardRunAndStore()
    {
        turnTo("TabSheet_OutputCalibration");
        QTRY_COMPARE(last().PWMForce, quint16(1));
        auto *next = button("SpeedButton_OutputCalibrationNext");
        const int found[7] = {0, 12000, 64000, 0, 11500, 58000, 0}; // by step
        for (int step = 1; step <= 6; ++step) {
            QCOMPARE(w->OutCalStep(), step);
            if (step != 3 && step != 6) w->outputCalibration().setPWMSetpoint(found[step]);
            if (step == 3 || step == 6) {
                // The checking steps start at the middle test point.
                const int middle = step == 3 ? 38000 : 34750;
                QCOMPARE(w->PWMSetpoint, middle);
            }
            QTRY_COMPARE(last().PWMForce, quint16(w->PWMForce));
            next->click();
        }
        QCOMPARE(w->OutCalStep(), 7);
        QTRY_VERIFY(last().OutCalPWM4mA == 12000 && last().OutCalPWM20mA == 64000 &&
                    last().OutCalPWM2V == 11500 && last().OutCalPWM10V == 58000);
        QVERIFY(!sim->model().outputCalibrated());

        TSpeedButton *store = button("SpeedButton_WriteOutputCalibrationToKX");
        store->click();
        QTRY_VERIFY(!store->Down());
        QVERIFY(sim->model().outputCalibrated());
        QVERIFY(exchanges(2));
        QCOMPARE(last().CommandBits & 64, 0);
        QTRY_VERIFY(!control<QLabel>(*w, "Image_OutputCalibrationOK")->isHidden());
    }
};

QTEST_MAIN(TstE2EWizards)
#include "tst_e2e_wizards.moc"
