// The instrument request as the main window builds it: the bytes left in
// MB1's TX data buffer, checked at the offsets of the request layout, for the
// window's controls and variables in the states that matter. The port stays
// closed: the buffer still holds what the window built.
#include <QtTest>

#include <QLabel>
#include <QLineEdit>

#include "app/form_main.h"
#include "panel/mb.h"
#include "support/formaccess.h"
#include "support/instrument_bytes.h"
#include "widgets/pagecontrol.h"
#include "widgets/radiogroup.h"
#include "widgets/speedbutton.h"
#include "widgets/trackbar.h"

using formaccess::control;
using formaccess::sentData;
using testbytes::int32At;
using testbytes::realAt;
using testbytes::wordAt;

namespace {

quint8 byteAt(const QByteArray &data, int index)
{
    return quint8(data.at(index - 1));
}

QByteArray hex(const char *text)
{
    return QByteArray::fromHex(text);
}

} // namespace

class TestFormRequest : public QObject {
    Q_OBJECT

    std::unique_ptr<TForm_Main> window;

    QByteArray send()
    {
        window->SendInstrumentRequest();
        return sentData(*window);
    }
    TSpeedButton *button(const char *name) { return control<TSpeedButton>(*window, name); }
    TRadioGroup *group(const char *name) { return control<TRadioGroup>(*window, name); }
    QLineEdit *edit(const char *name) { return control<QLineEdit>(*window, name); }

private slots:
    void init()
    {
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        window = std::make_unique<TForm_Main>();
        window->CurrentLocalDate = [] { return QDate(2013, 10, 9); };
    }
    void cleanup() { window.reset(); }

    void freshStartFrameByteByByte()
    {
        // The state the window starts in.
        QCOMPARE(control<TPageControl>(*window, "PageControl1")->ActivePage(),
                 control<QWidget>(*window, "TabSheet_Uzemmod"));
        QCOMPARE(control<TTrackBar>(*window, "TrackBar_OutCheck")->Position(), 0);
        QCOMPARE(edit("Edit_InputLow")->text(), QStringLiteral("4"));
        QCOMPARE(edit("Edit_OutputHigh")->text(), QStringLiteral("20"));

        // clang-format off
        const QByteArray expected = hex("0000"     // 1-2 PWMForce
                                        "00"       // 3 CommandBits
                                        "00000000" "00000000" "00000000" "00000000" // 4-19
                                        "0000ffff0000ffff" // 20-27 output calibration
                                        "dd070a09"         // 28-31 date
                                        "00" "00" "00" "00" // 32-35
                                        "00000000" "00000000" "00000000" "00000000" "00000000"
                                        "00000000" "00000000" "00000000" "00000000"
                                        "00000000" // 36-75
                                        "6464"     // 76-77 types
                                        "00008040" "0000a041" "00008040" "0000a041"
                                        "00000000" // 78-97 reals
                                        "00");     // 98 RangeForce
        // clang-format on
        QCOMPARE(expected.size(), 98);
        const QByteArray data = send();
        QCOMPARE(data.toHex(' '), expected.toHex(' '));
        QCOMPARE(formaccess::mb1(*window)->MBMasterCommandToSlave(), 1);
        QCOMPARE(control<QLabel>(*window, "Label_CalibrationStep")->text(), QStringLiteral("0"));
    }

    void commandBits_data()
    {
        QTest::addColumn<QStringList>("down");
        QTest::addColumn<int>("bits");
        QTest::newRow("none") << QStringList{} << 0;
        QTest::newRow("store input calibration") << QStringList{"SpeedButton_ADCalBeiras"} << 128;
        QTest::newRow("store output calibration")
            << QStringList{"SpeedButton_WriteOutputCalibrationToKX"} << 64;
        QTest::newRow("write settings") << QStringList{"SpeedButton_WriteSettings"} << 32;
        QTest::newRow("restart") << QStringList{"SpeedButton_Reset"} << 16;
        QTest::newRow("clear FRAM") << QStringList{"SpeedButton_FRAMTorlesReset"} << 8;
        QTest::newRow("clear temperatures")
            << QStringList{"SpeedButton_HomersekletMinMaxTorlese"} << 2;
        QTest::newRow("write settings and restart")
            << QStringList{"SpeedButton_WriteSettings", "SpeedButton_Reset"} << 48;
        // The two clearing buttons of the Test page exclude each other.
        QTest::newRow("five at once")
            << QStringList{"SpeedButton_ADCalBeiras", "SpeedButton_WriteOutputCalibrationToKX",
                           "SpeedButton_WriteSettings", "SpeedButton_Reset",
                           "SpeedButton_HomersekletMinMaxTorlese"}
            << 242;
    }
    void commandBits()
    {
        QFETCH(QStringList, down);
        QFETCH(int, bits);
        for (const QString &name : down)
            button(name.toLatin1().constData())->setDown(true);
        const QByteArray data = send();
        QCOMPARE(int(byteAt(data, 3)), bits);
        // A button released by hand ends its command with the next request.
        for (const QString &name : down)
            button(name.toLatin1().constData())->setDown(false);
        QCOMPARE(int(byteAt(send(), 3)), 0);
    }

    void forcingCodes_data()
    {
        QTest::addColumn<int>("gain");
        QTest::addColumn<int>("channel");
        QTest::addColumn<int>("divider");
        QTest::addColumn<int>("range");
        QTest::addColumn<int>("gainCode");
        QTest::addColumn<int>("dividerCode");
        QTest::addColumn<int>("rangeCode");
        QTest::newRow("Au = 32 on CH1") << 6 << 1 << 0 << 0 << 224 << 0 << 0;
        QTest::newRow("Force Off on CH1") << 0 << 1 << 0 << 0 << 64 << 0 << 0;
        QTest::newRow("Au = 4 on CH0, minimum division, 150 mV")
            << 3 << 0 << 1 << 1 << 132 << 128 << 128;
        QTest::newRow("Au = 1, medium division, 10 V") << 1 << 0 << 2 << 4 << 129 << 129 << 131;
        QTest::newRow("Au = 16, maximum division, 20 mA") << 5 << 0 << 3 << 7 << 144 << 130 << 134;
    }
    void forcingCodes()
    {
        QFETCH(int, gain);
        QFETCH(int, channel);
        QFETCH(int, divider);
        QFETCH(int, range);
        group("RadioGroup_GainForce")->setItemIndex(gain);
        group("RadioGroup_GainForceCH")->setItemIndex(channel);
        group("RadioGroup_DividerForce")->setItemIndex(divider);
        group("RadioGroup_MereshatarForce")->setItemIndex(range);
        const QByteArray data = send();
        QTEST(int(byteAt(data, 34)), "gainCode");
        QTEST(int(byteAt(data, 35)), "dividerCode");
        QTEST(int(byteAt(data, 98)), "rangeCode");
    }

    void outputCheckPercent()
    {
        auto *track = control<TTrackBar>(*window, "TrackBar_OutCheck");
        track->setPosition(20);
        QCOMPARE(int(byteAt(send(), 33)), 100);
        track->setPosition(7);
        QCOMPARE(int(byteAt(send(), 33)), 35);
    }

    void calibrationStepOnlyOnTheOutputCheckPage()
    {
        auto *pages = control<TPageControl>(*window, "PageControl1");
        auto *label = control<QLabel>(*window, "Label_CalibrationStep");
        for (int i = 0; i < pages->count(); ++i) {
            pages->setActivePageIndex(i);
            const bool outputCheck =
                pages->ActivePage()->objectName() == "TabSheet_KimenetEllenorzes";
            const QByteArray data = send();
            QCOMPARE(int(byteAt(data, 32)), outputCheck ? 255 : 0);
            QCOMPARE(label->text(), outputCheck ? QStringLiteral("255") : QStringLiteral("0"));
        }
    }

    void windowVariablesAtTheirOffsets()
    {
        window->PWMForce = 1;
        window->InCalLow1 = -1;
        window->InCalHigh1 = 0x01020304;
        window->InCalLow2 = -8388607;
        window->InCalHigh2 = 8388607;
        window->InCalLow3 = 3;
        window->InCalHigh3 = 33;
        window->InCalLow4 = 4;
        window->InCalHigh4 = 44;
        window->InCalLow5 = 5;
        window->InCalHigh5 = 55;
        window->InCalLow6 = 6;
        window->InCalHigh6 = 66;
        window->InCalLow7 = -7;
        window->InCalHigh7 = 77;
        window->OutCalPWM4mA = 12000;
        window->OutCalPWM20mA = 60000;
        window->OutCalPWM2V = 0x10000 + 5; // cut to its low 16 bits
        window->OutCalPWM10V = 50000;
        const QByteArray data = send();
        QCOMPARE(data.size(), 98);
        QCOMPARE(data.left(2), hex("0100"));
        QCOMPARE(int32At(data, 4), -1);
        QCOMPARE(data.mid(7, 4), hex("04030201"));
        QCOMPARE(int32At(data, 12), -8388607);
        QCOMPARE(int32At(data, 16), 8388607);
        QCOMPARE(int(wordAt(data, 20)), 12000);
        QCOMPARE(int(wordAt(data, 22)), 60000);
        QCOMPARE(int(wordAt(data, 24)), 5);
        QCOMPARE(int(wordAt(data, 26)), 50000);
        const int lows[] = {36, 44, 52, 60, 68};
        const qint32 expected[][2] = {{3, 33}, {4, 44}, {5, 55}, {6, 66}, {-7, 77}};
        for (int i = 0; i < 5; ++i) {
            QCOMPARE(int32At(data, lows[i]), expected[i][0]);
            QCOMPARE(int32At(data, lows[i] + 4), expected[i][1]);
        }

        window->PWMForce = 70000; // the low 16 bits travel
        QCOMPARE(int(wordAt(send(), 1)), 70000 - 65536);
    }

    void forcedOutputFollowsThePage_data()
    {
        QTest::addColumn<QString>("page");
        QTest::addColumn<int>("pwmForce");
        QTest::newRow("input calibration") << "TabSheet_InputCalibration" << 1;
        QTest::newRow("output calibration") << "TabSheet_OutputCalibration" << 1;
        QTest::newRow("output check") << "TabSheet_KimenetEllenorzes" << 0;
        QTest::newRow("settings") << "TabSheet_Uzemmod" << 0;
    }
    void forcedOutputFollowsThePage()
    {
        QFETCH(QString, page);
        auto *pages = control<TPageControl>(*window, "PageControl1");
        window->PWMSetpoint = 0;
        window->PWMForce = 777;
        // The user turns to the page.
        pages->setActivePage(control<QWidget>(*window, page.toLatin1().constData()));
        window->PageControl1Change(pages);
        QTEST(window->PWMForce, "pwmForce");
        const QByteArray data = send();
        QTEST(int(wordAt(data, 1)), "pwmForce");
    }

    void dateOfTheMoment()
    {
        QCOMPARE(send().mid(27, 4), hex("dd070a09"));
        window->CurrentLocalDate = [] { return QDate(2026, 1, 31); };
        QCOMPARE(send().mid(27, 4), hex("ea07011f"));
    }

    void signalTypes()
    {
        group("RadioGroup_BemenetTipusa")->setItemIndex(1);
        group("RadioGroup_KimenetTipusa")->setItemIndex(1);
        QCOMPARE(send().mid(75, 2), hex("6565"));
        group("RadioGroup_BemenetTipusa")->setItemIndex(-1);
        group("RadioGroup_KimenetTipusa")->setItemIndex(0);
        QCOMPARE(send().mid(75, 2), hex("6364"));
    }

    void scaleValues_data()
    {
        QTest::addColumn<QChar>("separator");
        QTest::addColumn<int>("inputType");
        QTest::addColumn<QString>("inputLow");
        QTest::addColumn<QString>("inputHigh");
        QTest::addColumn<QString>("outputLow");
        QTest::addColumn<QString>("outputHigh");
        QTest::addColumn<float>("sentInputLow");
        QTest::addColumn<float>("sentInputHigh");
        QTest::addColumn<float>("sentOutputLow");
        QTest::addColumn<float>("sentOutputHigh");
        for (QChar sep : {QChar(u'.'), QChar(u',')}) {
            const QString s(sep);
            auto row = [&](const char *name) -> QTestData & {
                return QTest::addRow("%s, '%c'", name, sep.toLatin1()) << sep;
            };
            row("-300 on a voltage input") << 1 << "-300"
                                           << "20"
                                           << "4"
                                           << "20" << -125.0f << 20.0f << 4.0f << 20.0f;
            row("-300 on a current input") << 0 << "-300"
                                           << "20"
                                           << "4"
                                           << "20" << -25.0f << 20.0f << 4.0f << 20.0f;
            row("limits themselves") << 1 << "-125"
                                     << "125"
                                     << "4"
                                     << "20" << -125.0f << 125.0f << 4.0f << 20.0f;
            row("just above the current limit") << 0 << "0"
                                                << "25" + s + "001"
                                                << "4"
                                                << "20" << 0.0f << 25.0f << 4.0f << 20.0f;
            row("letters only") << 0 << "abc"
                                << "xyz"
                                << "mA"
                                << "" << 4.0f << 20.0f << 4.0f << 20.0f;
            row("output not limited") << 1 << "4"
                                      << "20"
                                      << "-500"
                                      << "150" << 4.0f << 20.0f << -500.0f << 150.0f;
            row("locale separator") << 1 << "1" + s + "5"
                                    << "-0" + s + "25"
                                    << "0" + s + "5"
                                    << "10" + s + "75" << 1.5f << -0.25f << 0.5f << 10.75f;
            // Beyond single precision: no number the instrument could take.
            row("beyond single precision") << 1 << "1e39"
                                           << "-1e39"
                                           << "-1e39"
                                           << "3" + s + "5e38" << 4.0f << 20.0f << 4.0f << 20.0f;
            row("largest single") << 1 << "4"
                                  << "20"
                                  << "-3" + s + "4e38"
                                  << "3" + s + "4e38" << 4.0f << 20.0f << -3.4e38f << 3.4e38f;
        }
        // The other separator is not a decimal point of this locale.
        QTest::newRow("point in a comma locale") << QChar(u',') << 1 << "1.5"
                                                 << "2.5"
                                                 << "3.5"
                                                 << "4.5" << 4.0f << 20.0f << 4.0f << 20.0f;
    }
    void scaleValues()
    {
        QFETCH(QChar, separator);
        QFETCH(int, inputType);
        QLocale::setDefault(formaccess::localeWithSeparator(separator));
        QCOMPARE(QLocale().decimalPoint(), QString(separator));
        group("RadioGroup_BemenetTipusa")->setItemIndex(inputType);
        QFETCH(QString, inputLow);
        QFETCH(QString, inputHigh);
        QFETCH(QString, outputLow);
        QFETCH(QString, outputHigh);
        edit("Edit_InputLow")->setText(inputLow);
        edit("Edit_InputHigh")->setText(inputHigh);
        edit("Edit_OutputLow")->setText(outputLow);
        edit("Edit_OutputHigh")->setText(outputHigh);

        const QByteArray data = send();
        QCOMPARE(data.size(), 98);
        QTEST(realAt(data, 78), "sentInputLow");
        QTEST(realAt(data, 82), "sentInputHigh");
        QTEST(realAt(data, 86), "sentOutputLow");
        QTEST(realAt(data, 90), "sentOutputHigh");
        QCOMPARE(data.mid(93, 4), hex("00000000"));
        // The edits keep what the user typed.
        QCOMPARE(edit("Edit_InputLow")->text(), inputLow);
        QCOMPARE(edit("Edit_OutputHigh")->text(), outputHigh);
        // The window's scale values are what was sent.
        QCOMPARE(float(window->InputLow), realAt(data, 78));
        QCOMPARE(float(window->OutputHigh), realAt(data, 90));
    }

    void unsendableScaleDoesNotStopTheRequests()
    {
        edit("Edit_OutputHigh")->setText("1e300");
        QCOMPARE(send().size(), 98);
        // The next request is complete as well, and carries the fallback.
        const QByteArray again = send();
        QCOMPARE(again.size(), 98);
        QCOMPARE(realAt(again, 90), 20.0f);
        QCOMPARE(again.right(1), hex("00"));
    }
};

QTEST_MAIN(TestFormRequest)
#include "tst_form_request.moc"
