// The output calibration wizard in the real window: PWM adjustment and its
// limits, the track bar and bar graph, the steps with their captures and
// record lines, Back, the test points and the store button.
#include <QGroupBox>
#include <QLabel>
#include <QListWidget>
#include <QLocale>
#include <QPushButton>
#include <QtTest>

#include <memory>

#include "app/form_main.h"
#include "app/outcal_view.h"
#include "protocol/instrument_protocol.h"
#include "support/formaccess.h"
#include "support/instrument_bytes.h"
#include "widgets/mbargraph.h"
#include "widgets/pagecontrol.h"
#include "widgets/speedbutton.h"
#include "widgets/trackbar.h"

using formaccess::control;

class TstOutCal : public QObject {
    Q_OBJECT

    std::unique_ptr<TForm_Main> w;

    QStringList listLines() const
    {
        QStringList lines;
        for (int i = 0; i < control<QListWidget>(*w, "ListBox_OutputCalibrated")->count(); ++i)
            lines << control<QListWidget>(*w, "ListBox_OutputCalibrated")->item(i)->text();
        return lines;
    }
    void next() { control<TSpeedButton>(*w, "SpeedButton_OutputCalibrationNext")->click(); }
    void back() { control<TSpeedButton>(*w, "SpeedButton_OutputCalibrationBack")->click(); }
    // The page as the technician sees it, with the window active so the
    // track bar can hold the input focus.
    void showPage()
    {
        w->show();
        control<TPageControl>(*w, "PageControl1")->setVisible(true);
        control<TPageControl>(*w, "PageControl1")
            ->setTabVisible(control<QWidget>(*w, "TabSheet_OutputCalibration"), true);
        control<TPageControl>(*w, "PageControl1")
            ->setActivePage(control<QWidget>(*w, "TabSheet_OutputCalibration"));
        w->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(w.get()));
    }

private slots:
    void init()
    {
        w = std::make_unique<TForm_Main>();
        // The wizards' values are stored whether plausible or not.
        w->askStoreAnyway = [](QWidget *, const QString &, const QString &) { return true; };
        // As the window starts: setting 0, not forced, wizard on step 1.
        QCOMPARE(w->PWMSetpoint, 0);
        QCOMPARE(w->OutCalStep(), 1);
        QCOMPARE(control<QListWidget>(*w, "ListBox_OutputCalibrated")->count(), 0);
        // Step 1 shows the adjustment controls from the start, not the
        // checking steps' bar lying over them, and forces nothing yet.
        QVERIFY(!control<QGroupBox>(*w, "GroupBox_PWMErtekValtoztatas")->isHidden());
        QVERIFY(control<TMBarGraph>(*w, "MBarGraph_OutputCalibration")->isHidden());
        QCOMPARE(w->PWMForce, 0);
    }
    void cleanup() { w.reset(); }

    void adjustment_data()
    {
        QTest::addColumn<QString>("control");
        QTest::addColumn<int>("start");
        QTest::addColumn<int>("expected");
        QTest::newRow("-1 at 0") << "Button5" << 0 << 0;
        QTest::newRow("-1 at 1") << "Button5" << 1 << 0;
        QTest::newRow("+1 at 65535") << "Button6" << 65535 << 65535;
        QTest::newRow("+1 at 65534") << "Button6" << 65534 << 65535;
        QTest::newRow("-10 000 at 9999") << "Button1" << 9999 << 0;
        QTest::newRow("-10 000 at 10000") << "Button1" << 10000 << 0;
        QTest::newRow("-10 000 at 10001") << "Button1" << 10001 << 1;
        QTest::newRow("+10 000 at 55535") << "Button10" << 55535 << 65535;
        QTest::newRow("+10 000 at 55536") << "Button10" << 55536 << 65535;
        QTest::newRow("+10 000 at 55534") << "Button10" << 55534 << 65534;
        QTest::newRow("-1000 at 999") << "Button2" << 999 << 0;
        QTest::newRow("-1000 at 1500") << "Button2" << 1500 << 500;
        QTest::newRow("-100 at 100") << "Button3" << 100 << 0;
        QTest::newRow("-10 at 15") << "Button4" << 15 << 5;
        QTest::newRow("+10 at 65530") << "Button7" << 65530 << 65535;
        QTest::newRow("+100 at 65435") << "Button8" << 65435 << 65535;
        QTest::newRow("+1000 at 64535") << "Button9" << 64535 << 65535;
        QTest::newRow("+1000 at 64536") << "Button9" << 64536 << 65535;
        QTest::newRow("0") << "Button_Out0" << 12345 << 0;
        QTest::newRow("F") << "Button_OutVegertek" << 12345 << 65535;
        QTest::newRow("50 %") << "Button_Out50Percents" << 12345 << 32768;
    }
    void adjustment()
    {
        QFETCH(QString, control);
        QFETCH(int, start);
        QFETCH(int, expected);
        w->outputCalibration().setPWMSetpoint(start);
        formaccess::control<QPushButton>(*w, control.toLatin1().constData())->click();
        QCOMPARE(w->PWMSetpoint, expected);
        QCOMPARE(w->PWMForce, std::max(expected, 1));
    }

    void refreshShowsSetting_data()
    {
        QTest::addColumn<int>("setting");
        QTest::addColumn<QString>("label");
        QTest::addColumn<int>("percent");
        QTest::addColumn<int>("force");
        QTest::newRow("0") << 0 << "00 000" << 0 << 1;
        QTest::newRow("5") << 5 << "00 005" << 0 << 5;
        QTest::newRow("327") << 327 << "00 327" << 0 << 327;
        QTest::newRow("328") << 328 << "00 328" << 1 << 328;
        QTest::newRow("32768") << 32768 << "32 768" << 50 << 32768;
        QTest::newRow("65535") << 65535 << "65 535" << 100 << 65535;
    }
    void refreshShowsSetting()
    {
        QFETCH(int, setting);
        QFETCH(QString, label);
        QFETCH(int, percent);
        QFETCH(int, force);
        for (const char *locale : {"en_US", "hu_HU"}) {
            QLocale::setDefault(QLocale(QString::fromLatin1(locale)));
            w->outputCalibration().setPWMSetpoint(setting);
            QCOMPARE(control<QLabel>(*w, "Label_BeallitottPWM")->text(), label);
            QCOMPARE(control<TTrackBar>(*w, "TrackBar_PWM")->Position(), percent);
            QCOMPARE(control<TMBarGraph>(*w, "MBarGraph_OutputCalibration")->MBGValue(),
                     percent / 100.0);
            QCOMPARE(w->PWMForce, force);
        }
        QLocale::setDefault(QLocale::c());
    }

    void setting32768PutsTrackBarAtHalf()
    {
        control<QPushButton>(*w, "Button_Out50Percents")->click();
        QCOMPARE(control<TTrackBar>(*w, "TrackBar_PWM")->Position(), 50);
        QCOMPARE(control<TMBarGraph>(*w, "MBarGraph_OutputCalibration")->MBGValue(), 0.5);
    }

    void trackBarWithFocus_data()
    {
        QTest::addColumn<int>("position");
        QTest::addColumn<int>("expected");
        QTest::newRow("50, a half to even") << 50 << 32768;
        QTest::newRow("1") << 1 << 655;
        QTest::newRow("100") << 100 << 65535;
        QTest::newRow("0") << 0 << 0;
        QTest::newRow("99") << 99 << 64880; // 64879.65
    }
    void trackBarWithFocus()
    {
        QFETCH(int, position);
        QFETCH(int, expected);
        showPage();
        w->outputCalibration().setPWMSetpoint(12345); // percent 19
        TTrackBar *bar = control<TTrackBar>(*w, "TrackBar_PWM");
        bar->setFocus();
        QTRY_VERIFY(bar->hasFocus());
        bar->setPosition(position);
        QCOMPARE(w->PWMSetpoint, expected);
        QCOMPARE(w->PWMForce, std::max(expected, 1));
        // The bar stays where the technician put it.
        QCOMPARE(bar->Position(), position);
    }

    void trackBarWithoutFocusChangesNothing()
    {
        w->outputCalibration().setPWMSetpoint(1000);
        QVERIFY(!control<TTrackBar>(*w, "TrackBar_PWM")->hasFocus());
        control<TTrackBar>(*w, "TrackBar_PWM")->setPosition(80);
        QCOMPARE(w->PWMSetpoint, 1000);
        QCOMPARE(control<QLabel>(*w, "Label_BeallitottPWM")->text(), QStringLiteral("01 000"));
    }

    void focusedTrackBarIsNotMovedByTheRefresh()
    {
        showPage();
        TTrackBar *bar = control<TTrackBar>(*w, "TrackBar_PWM");
        bar->setFocus();
        QTRY_VERIFY(bar->hasFocus());
        bar->setPosition(30);
        w->outputCalibration().setPWMSetpoint(65535);
        QCOMPARE(bar->Position(), 30);
        QCOMPARE(control<TMBarGraph>(*w, "MBarGraph_OutputCalibration")->MBGValue(), 1.0);
        QCOMPARE(w->PWMSetpoint, 65535);
    }

    void zeroSettingForcesOneAndIsCapturedAsOne()
    {
        w->outputCalibration().setPWMSetpoint(0);
        QCOMPARE(control<QLabel>(*w, "Label_BeallitottPWM")->text(), QStringLiteral("00 000"));
        QCOMPARE(w->PWMForce, 1);
        next();
        QCOMPARE(w->OutCalPWM4mA, 1);
        QCOMPARE(listLines(), (QStringList{"Step 1:", "uOut4mA =  1"}));
    }

    void fullRunRecordsEveryCapture()
    {
        const QString separator(43, QLatin1Char('-'));
        w->outputCalibration().setPWMSetpoint(13107);
        next();
        QCOMPARE(w->OutCalStep(), 2);
        QCOMPARE(w->PWMSetpoint, 65535); // step 2 starts from the 20 mA value
        w->outputCalibration().setPWMSetpoint(65000);
        next();
        QCOMPARE(w->OutCalStep(), 3);
        QVERIFY(control<TSpeedButton>(*w, "SpeedButton_Test12mA")->Down());
        QCOMPARE(w->PWMSetpoint, 39054); // (13107 + 65000) / 2 = 39053.5, to even
        next();
        QCOMPARE(w->OutCalStep(), 4);
        QCOMPARE(w->PWMSetpoint, 0);
        w->outputCalibration().setPWMSetpoint(12000);
        next();
        QCOMPARE(w->PWMSetpoint, 65535);
        w->outputCalibration().setPWMSetpoint(60000);
        next();
        QCOMPARE(w->OutCalStep(), 6);
        QVERIFY(control<TSpeedButton>(*w, "SpeedButton_Test6V")->Down());
        QCOMPARE(w->PWMSetpoint, 36000);
        next();
        QCOMPARE(w->OutCalStep(), 7);

        QCOMPARE(w->OutCalPWM4mA, 13107);
        QCOMPARE(w->OutCalPWM20mA, 65000);
        QCOMPARE(w->OutCalPWM2V, 12000);
        QCOMPARE(w->OutCalPWM10V, 60000);
        QCOMPARE(listLines(), (QStringList{"Step 1:", "uOut4mA = 13 107", separator,
                                           "Step 2:", "uOut20mA = 65 000", separator,
                                           "Step 4:", "uOut2V = 12 000", separator,
                                           "Step 5:", "uOut10V = 60 000"}));
        QCOMPARE(separator.size(), 43);
        // The last line is the selected one.
        QCOMPARE(control<QListWidget>(*w, "ListBox_OutputCalibrated")->currentRow(), 10);
        // Step 7 keeps the output where step 6 left it; Next has gone.
        QCOMPARE(w->PWMForce, 36000);
        QVERIFY(control<TSpeedButton>(*w, "SpeedButton_OutputCalibrationNext")->isHidden());
        QVERIFY(!control<TSpeedButton>(*w, "SpeedButton_OutputCalibrationBack")->isHidden());
        QVERIFY(control<QGroupBox>(*w, "GroupBox_PWM")->isHidden());
        // ... and Next on the last step does nothing.
        w->SpeedButton_OutputCalibrationNextClick2(
            control<TSpeedButton>(*w, "SpeedButton_OutputCalibrationNext"));
        QCOMPARE(w->OutCalStep(), 7);
        QCOMPARE(listLines().size(), 11);
    }

    void stepSetupShowsTheRightControls()
    {
        struct Expect {
            bool next, back, force, bar, value;
        };
        const Expect expect[] = {{true, false, true, false, true}, {true, true, true, false, true},
                                 {true, true, false, true, true},  {true, true, true, false, true},
                                 {true, true, true, false, true},  {true, true, false, true, true},
                                 {false, true, false, true, false}};
        // Walk forward from a set-up step 1, then back again.
        w->outputCalibration().setStep(1);
        auto check = [&](int step) {
            QCOMPARE(w->OutCalStep(), step);
            const Expect &e = expect[step - 1];
            QCOMPARE(!control<TSpeedButton>(*w, "SpeedButton_OutputCalibrationNext")->isHidden(),
                     e.next);
            QCOMPARE(!control<TSpeedButton>(*w, "SpeedButton_OutputCalibrationBack")->isHidden(),
                     e.back);
            QCOMPARE(!control<QGroupBox>(*w, "GroupBox_PWMErtekValtoztatas")->isHidden(), e.force);
            QCOMPARE(!control<TMBarGraph>(*w, "MBarGraph_OutputCalibration")->isHidden(), e.bar);
            QCOMPARE(!control<QGroupBox>(*w, "GroupBox_PWM")->isHidden(), e.value);
        };
        for (int step = 1; step <= 7; ++step) {
            if (step > 1) next();
            check(step);
            if (QTest::currentTestFailed()) return;
        }
        for (int step = 6; step >= 1; --step) {
            back();
            check(step);
            if (QTest::currentTestFailed()) return;
        }
    }

    void testPointButtons()
    {
        w->OutCalPWM4mA = 100;
        w->OutCalPWM20mA = 201;
        w->OutCalPWM2V = 1000;
        w->OutCalPWM10V = 2001;
        w->outputCalibration().setStep(3);
        QCOMPARE(w->PWMSetpoint, 150); // 150.5 to even
        control<TSpeedButton>(*w, "SpeedButton_Test4mA")->click();
        QCOMPARE(w->PWMSetpoint, 100);
        QVERIFY(!control<TSpeedButton>(*w, "SpeedButton_Test12mA")->Down());
        control<TSpeedButton>(*w, "SpeedButton_Test20mA")->click();
        QCOMPARE(w->PWMSetpoint, 201);
        // A click on the button already down keeps it down and sets its point again.
        w->outputCalibration().setPWMSetpoint(7);
        control<TSpeedButton>(*w, "SpeedButton_Test20mA")->click();
        QVERIFY(control<TSpeedButton>(*w, "SpeedButton_Test20mA")->Down());
        QCOMPARE(w->PWMSetpoint, 201);
        // A handler called while its button is up does nothing.
        w->SpeedButton_Test4mAClick2(control<TSpeedButton>(*w, "SpeedButton_Test4mA"));
        QCOMPARE(w->PWMSetpoint, 201);

        w->outputCalibration().setStep(6);
        QCOMPARE(w->PWMSetpoint, 1500); // 1500.5 to even
        control<TSpeedButton>(*w, "SpeedButton_Test2V")->click();
        QCOMPARE(w->PWMSetpoint, 1000);
        control<TSpeedButton>(*w, "SpeedButton_Test10V")->click();
        QCOMPARE(w->PWMSetpoint, 2001);
        QCOMPARE(w->PWMForce, 2001);
        control<TSpeedButton>(*w, "SpeedButton_Test6V")->click();
        QCOMPARE(w->PWMSetpoint, 1500);
    }

    void backFromStepTwoEmptiesTheList()
    {
        w->outputCalibration().setPWMSetpoint(4000);
        next();
        QCOMPARE(listLines().size(), 2);
        w->outputCalibration().setPWMSetpoint(9);
        back();
        QCOMPARE(w->OutCalStep(), 1);
        QCOMPARE(listLines(), QStringList{});
        QCOMPARE(w->PWMSetpoint, 4000); // the value found before is reloaded
        QVERIFY(control<TSpeedButton>(*w, "SpeedButton_OutputCalibrationBack")->isHidden());
    }

    void nextBackNextRecordsStepOneOnce()
    {
        w->outputCalibration().setPWMSetpoint(4000);
        next();
        back();
        w->outputCalibration().setPWMSetpoint(4001);
        next();
        QCOMPARE(listLines(), (QStringList{"Step 1:", "uOut4mA = 4 001"}));
        QCOMPARE(w->OutCalPWM4mA, 4001);
    }

    void backTrimsTheLinesOfEachStep()
    {
        for (int i = 0; i < 6; ++i)
            next();
        QCOMPARE(w->OutCalStep(), 7);
        const int full = listLines().size();
        QCOMPARE(full, 11);
        const int remaining[] = {11, 8, 5, 5, 2}; // after Back from 7, 6, 5, 4, 3
        for (int i = 0; i < 5; ++i) {
            back();
            QCOMPARE(w->OutCalStep(), 6 - i);
            QCOMPARE(listLines().size(), remaining[i]);
            QCOMPARE(control<QListWidget>(*w, "ListBox_OutputCalibrated")->currentRow(),
                     remaining[i] - 1);
        }
        // Back does not undo a capture: step 2 resumes from the value found.
        QCOMPARE(w->OutCalStep(), 2);
        QCOMPARE(w->PWMSetpoint, w->OutCalPWM20mA);
    }

    void stepSurvivesLeavingThePage()
    {
        showPage();
        for (int i = 0; i < 4; ++i)
            next();
        QCOMPARE(w->OutCalStep(), 5);
        w->outputCalibration().setPWMSetpoint(0);
        // Away to the Settings page (output no longer forced) and back.
        control<TPageControl>(*w, "PageControl1")
            ->setActivePage(control<QWidget>(*w, "TabSheet_Uzemmod"));
        w->PageControl1Change(control<TPageControl>(*w, "PageControl1"));
        QCOMPARE(w->PWMForce, 0);
        control<TPageControl>(*w, "PageControl1")
            ->setActivePage(control<QWidget>(*w, "TabSheet_OutputCalibration"));
        w->PageControl1Change(control<TPageControl>(*w, "PageControl1"));
        QCOMPARE(w->OutCalStep(), 5);
        QCOMPARE(w->PWMSetpoint, 0);
        QCOMPARE(control<QLabel>(*w, "Label_BeallitottPWM")->text(), QStringLiteral("00 000"));
        QCOMPARE(w->PWMForce, 1);
        QCOMPARE(listLines().size(), 8);
    }

    void requestCarriesForceAndCaptures()
    {
        w->outputCalibration().setPWMSetpoint(0);
        w->SendInstrumentRequest();
        QCOMPARE(testbytes::wordAt(formaccess::sentData(*w), 1), quint16(1));
        next(); // 1
        w->outputCalibration().setPWMSetpoint(65535);
        next(); // 65535
        next();
        w->outputCalibration().setPWMSetpoint(13000);
        next();
        w->outputCalibration().setPWMSetpoint(64000);
        next();
        w->SendInstrumentRequest();
        const QByteArray sent = formaccess::sentData(*w);
        QCOMPARE(testbytes::wordAt(sent, 20), quint16(1));
        QCOMPARE(testbytes::wordAt(sent, 22), quint16(65535));
        QCOMPARE(testbytes::wordAt(sent, 24), quint16(13000));
        QCOMPARE(testbytes::wordAt(sent, 26), quint16(64000));
        QCOMPARE(testbytes::wordAt(sent, 1), quint16(38500)); // the 6 V point
    }

    void storeCommandRepeatedUntilAcknowledged()
    {
        for (int i = 0; i < 6; ++i)
            next();
        TSpeedButton *store = control<TSpeedButton>(*w, "SpeedButton_WriteOutputCalibrationToKX");
        QVERIFY(!store->Down());
        store->click();
        QVERIFY(store->Down());
        // A second press withdraws the command, a third gives it again.
        store->click();
        QVERIFY(!store->Down());
        w->SendInstrumentRequest();
        QCOMPARE(quint8(formaccess::sentData(*w).at(3 - 1)), quint8(0));
        store->click();
        for (int i = 0; i < 3; ++i) {
            w->SendInstrumentRequest();
            QCOMPARE(quint8(formaccess::sentData(*w).at(3 - 1)), quint8(64));
            testbytes::DataBytes reply(instrument::ReplyDataSize);
            reply.byte(24, 128); // the input store's bit
            formaccess::loadReply(*w, reply.bytes());
            w->DecodeInstrumentReply();
            QVERIFY(store->Down());
        }
        testbytes::DataBytes ack(instrument::ReplyDataSize);
        ack.byte(24, 64);
        formaccess::loadReply(*w, ack.bytes());
        w->DecodeInstrumentReply();
        QVERIFY(!store->Down());
        w->SendInstrumentRequest();
        QCOMPARE(quint8(formaccess::sentData(*w).at(3 - 1)), quint8(0));
        // The output still forced with the last test point of step 6.
        QCOMPARE(testbytes::wordAt(formaccess::sentData(*w), 1), quint16(32768));
    }
};

QTEST_MAIN(TstOutCal)
#include "tst_outcal.moc"
