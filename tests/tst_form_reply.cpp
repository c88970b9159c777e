// The instrument reply as the main window shows it: reply data built byte by
// byte at the offsets of the reply layout, loaded into MB1's RX data buffer,
// decoded, and the labels, pictures, bar graphs, buttons and window variables
// checked. Numbers are checked with a "." and a "," decimal separator.
#include <QtTest>

#include <QLabel>
#include <QLineEdit>
#include <QRandomGenerator>

#include "app/form_main.h"
#include "support/formaccess.h"
#include "support/instrument_bytes.h"
#include "widgets/mbargraph.h"
#include "widgets/radiogroup.h"
#include "widgets/speedbutton.h"

using formaccess::control;
using testbytes::DataBytes;

namespace {

// A reply's data: 88 zero bytes to be filled at the layout's offsets.
DataBytes reply()
{
    return DataBytes(88);
}

// The expected text with "." as the default locale's decimal separator.
QString dec(const char *text)
{
    return QString::fromUtf8(text).replace(u'.', QLocale().decimalPoint());
}

// A reply in which every field holds something other than 0.
DataBytes busyReply()
{
    return reply()
        .word(1, 2020)
        .byte(3, 1)
        .byte(4, 2)
        .int32(5, 111)
        .int32(9, 222)
        .int32(13, 333)
        .int32(17, 444)
        .byte(21, 4)
        .byte(22, 3)
        .byte(23, 7)
        .byte(24, 0)
        .byte(25, 8)
        .byte(26, 16)
        .byte(27, 64 | 16 | 8 | 4)
        .real(28, 1.5f)
        .byte(32, 3)
        .byte(33, 101)
        .byte(34, 101)
        .real(35, 0.5f)
        .cardinal(39, 600)
        .word(43, 2012)
        .byte(45, 3)
        .byte(46, 4)
        .real(47, 30.0f)
        .real(51, 20.0f)
        .real(55, 40.0f)
        .word(59, 50)
        .byte(61, 9)
        .word(62, 30000)
        .byte(64, 2)
        .real(65, -10.0f)
        .real(69, 10.0f)
        .real(73, 0.0f)
        .real(77, 10.0f)
        .real(81, 0.25f)
        .real(85, 1.0f);
}

} // namespace

class TestFormReply : public QObject {
    Q_OBJECT

    std::unique_ptr<TForm_Main> window;

    void decode(const DataBytes &data)
    {
        formaccess::loadReply(*window, data.bytes());
        window->DecodeInstrumentReply();
    }
    QString text(const char *label) { return control<QLabel>(*window, label)->text(); }
    bool shown(const char *name) { return !control<QWidget>(*window, name)->isHidden(); }
    double bar(const char *name) { return control<TMBarGraph>(*window, name)->MBGValue(); }
    TSpeedButton *button(const char *name) { return control<TSpeedButton>(*window, name); }

    static void separators()
    {
        QTest::addColumn<QChar>("separator");
        QTest::newRow("point") << QChar(u'.');
        QTest::newRow("comma") << QChar(u',');
    }
    static void useSeparator()
    {
        QFETCH(QChar, separator);
        QLocale::setDefault(formaccess::localeWithSeparator(separator));
    }

private slots:
    void init()
    {
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        window = std::make_unique<TForm_Main>();
        window->ApplyLanguage(QStringLiteral("english"));
    }
    void cleanup() { window.reset(); }

    void firmwareVersion()
    {
        decode(reply().byte(1, 0xDD).byte(2, 0x07).byte(3, 0x06).byte(4, 0x12));
        QCOMPARE(text("Label_FormverVerzio"), QStringLiteral("V2013-06-18"));
        decode(reply().word(1, 2026).byte(3, 12).byte(4, 1));
        QCOMPARE(text("Label_FormverVerzio"), QStringLiteral("V2026-12-01"));
    }

    void converterReadings()
    {
        decode(reply().int32(5, 8388607).int32(9, -8388607).int32(13, -8388607).int32(17, 8388607));
        QCOMPARE(bar("MBarGraph_AD"), 1.0);
        QCOMPARE(bar("MBarGraph_AD2"), -1.0);
        QCOMPARE(bar("MBarGraph_ADSzurt"), -1.0);
        QCOMPARE(bar("MBarGraph_AD2Szurt"), 1.0);
        QCOMPARE(text("Label_ADErtek"), QStringLiteral("8 388 607"));
        QCOMPARE(text("Label_ADErtek2"), QStringLiteral("-8 388 607"));
        QCOMPARE(text("Label_ADErtekAtlagolt"), QStringLiteral("-8 388 607"));
        QCOMPARE(text("Label_ADErtekAtlagolt2"), QStringLiteral("8 388 607"));
        QCOMPARE(window->ADValueCH0, 8388607);
        QCOMPARE(window->ADValueCH1, -8388607);
        QCOMPARE(window->ADAveragedCH0, -8388607);
        QCOMPARE(window->ADAveragedCH1, 8388607);

        decode(reply().int32(5, 1234).int32(9, 0));
        QCOMPARE(text("Label_ADErtek"), QStringLiteral("0 001 234"));
        QCOMPARE(text("Label_ADErtek2"), QStringLiteral("0 000 000"));
        QCOMPARE(bar("MBarGraph_AD"), 1234 / 8388607.0);
    }

    void statisticsOfTheFirstReplies()
    {
        decode(reply().int32(13, 1500).int32(17, -300));
        QCOMPARE(window->MinCH0, 0);
        QCOMPARE(window->MaxCH0, 1500);
        QCOMPARE(window->PrevCH0, 1500);
        QCOMPARE(text("Label_Min0"), QStringLiteral("  0"));
        QCOMPARE(text("Label_Max0"), QStringLiteral(" 1 500"));
        QCOMPARE(text("Label_Delta0"), QStringLiteral(" 1 500"));
        QCOMPARE(bar("MBarGraph_Delta0"), 1.0);
        // CH1 below zero: the minimum moves, the maximum stays 0.
        QCOMPARE(window->MinCH1, -300);
        QCOMPARE(window->MaxCH1, 0);
        QCOMPARE(text("Label_Min1"), QStringLiteral("  -300"));
        QCOMPARE(text("Label_Delta1"), QStringLiteral("  300"));
        QCOMPARE(bar("MBarGraph_Delta1"), 1.0);

        // The next reply moves 300 within a span of 1500.
        decode(reply().int32(13, 1200).int32(17, -300));
        QCOMPARE(window->MaxCH0, 1500);
        QCOMPARE(bar("MBarGraph_Delta0"), 0.2);
        QCOMPARE(window->PrevCH0, 1200);
        QCOMPARE(bar("MBarGraph_Delta1"), 0.0);
    }

    void zeroSpanAfterAClear()
    {
        decode(reply().int32(13, 1000));
        decode(reply().int32(13, 1400));
        const double before = bar("MBarGraph_Delta0");
        QVERIFY(before > 0.0);
        // What the Test page's clear button leaves.
        window->MinCH0 = window->MaxCH0 = window->ADAveragedCH0;
        decode(reply().int32(13, 1400).byte(64, 2).word(62, 123));
        QCOMPARE(text("Label_Delta0"), QStringLiteral("  0"));
        QCOMPARE(bar("MBarGraph_Delta0"), before);
        // The rest of the reply is still shown.
        QCOMPARE(text("Label_uDivider"), QStringLiteral("2"));
        QCOMPARE(text("Label_PWMErtek"), QStringLiteral(" 123"));
    }

    void extremeReadingsDoNotOverflowTheStatistics()
    {
        decode(reply().int32(13, std::numeric_limits<qint32>::max()));
        decode(reply().int32(13, std::numeric_limits<qint32>::min()));
        QCOMPARE(text("Label_Delta0"), QStringLiteral("4294 967 295"));
        QCOMPARE(bar("MBarGraph_Delta0"), 1.0);
    }

    void memoryAreas_data()
    {
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("shown");
        QTest::newRow("0") << 0 << QStringLiteral("RAM 1. terület");
        QTest::newRow("1") << 1 << QStringLiteral("RAM 2. terület");
        QTest::newRow("2") << 2 << QStringLiteral("FRAM 1. terület");
        QTest::newRow("3") << 3 << QStringLiteral("FRAM 2. terület");
        QTest::newRow("4") << 4 << QStringLiteral("GYÁRI ALAPADATOK");
        QTest::newRow("5") << 5 << QStringLiteral("????");
        QTest::newRow("255") << 255 << QStringLiteral("????");
    }
    void memoryAreas()
    {
        QFETCH(int, code);
        decode(reply().byte(21, quint8(code)).byte(22, quint8(4 - std::min(code, 4))));
        QTEST(text("Label_RAM1AdatForras"), "shown");
        QCOMPARE(text("Label_RAM2AdatForras"),
                 QStringList({"GYÁRI ALAPADATOK", "FRAM 2. terület", "FRAM 1. terület",
                              "RAM 2. terület", "RAM 1. terület"})[std::min(code, 4)]);
    }

    void acknowledgements()
    {
        const char *commands[] = {"SpeedButton_ADCalBeiras",
                                  "SpeedButton_WriteOutputCalibrationToKX",
                                  "SpeedButton_WriteSettings", "SpeedButton_Reset",
                                  "SpeedButton_HomersekletMinMaxTorlese"};
        for (const char *name : commands)
            button(name)->setDown(true);
        auto *readSettings = button("SpeedButton_ReadSettings");
        readSettings->setDown(false);

        // Bits 32 and 16: only those two come up; the read-back is asked for.
        decode(reply().byte(24, 48));
        QVERIFY(!button("SpeedButton_WriteSettings")->Down());
        QVERIFY(!button("SpeedButton_Reset")->Down());
        QVERIFY(readSettings->Down());
        QVERIFY(button("SpeedButton_ADCalBeiras")->Down());
        QVERIFY(button("SpeedButton_WriteOutputCalibrationToKX")->Down());
        QVERIFY(button("SpeedButton_HomersekletMinMaxTorlese")->Down());

        decode(reply().byte(24, 128 | 64 | 2));
        QVERIFY(!button("SpeedButton_ADCalBeiras")->Down());
        QVERIFY(!button("SpeedButton_WriteOutputCalibrationToKX")->Down());
        QVERIFY(!button("SpeedButton_HomersekletMinMaxTorlese")->Down());

        button("SpeedButton_FRAMTorlesReset")->setDown(true);
        decode(reply().byte(24, 1 | 4)); // bits without a command
        QVERIFY(button("SpeedButton_FRAMTorlesReset")->Down());
        decode(reply().byte(24, 8));
        QVERIFY(!button("SpeedButton_FRAMTorlesReset")->Down());
    }

    void writtenSettingsAreReadBack_data() { separators(); }
    void writtenSettingsAreReadBack()
    {
        useSeparator();
        auto *readSettings = button("SpeedButton_ReadSettings");
        auto *writeSettings = button("SpeedButton_WriteSettings");
        auto *inputLow = control<QLineEdit>(*window, "Edit_InputLow");
        auto *outputHigh = control<QLineEdit>(*window, "Edit_OutputHigh");
        // The first reply, read while the window starts with the button down.
        QVERIFY(readSettings->Down());
        decode(
            reply().byte(33, 100).byte(34, 100).real(65, 4.0f).real(69, 20.0f).real(73, 4.0f).real(
                77, 20.0f));
        QVERIFY(!readSettings->Down());

        writeSettings->setDown(true);
        inputLow->setText(dec("1.5"));
        // Not acknowledged yet: nothing is loaded.
        decode(reply().byte(33, 100).byte(34, 100).real(65, 4.0f));
        QVERIFY(writeSettings->Down());
        QCOMPARE(inputLow->text(), dec("1.5"));

        // Acknowledged: the button comes up, and the read-back it asks for
        // takes the stored scale of this very reply, which ends the read.
        decode(reply()
                   .byte(24, 32)
                   .byte(33, 101)
                   .byte(34, 100)
                   .real(65, -1.5f)
                   .real(69, 0.1f)
                   .real(73, 4.0f)
                   .real(77, 150.0f));
        QVERIFY(!writeSettings->Down());
        QVERIFY(!readSettings->Down());
        QCOMPARE(control<TRadioGroup>(*window, "RadioGroup_BemenetTipusa")->ItemIndex(), 1);
        QCOMPARE(control<TRadioGroup>(*window, "RadioGroup_KimenetTipusa")->ItemIndex(), 0);
        QCOMPARE(text("Label_InputLowMertekegyseg"), QStringLiteral("V"));
        QCOMPARE(text("Label_OutputHighMertekegyseg"), QStringLiteral("mA"));
        QCOMPARE(inputLow->text(), dec("-1.5000"));
        QCOMPARE(control<QLineEdit>(*window, "Edit_InputHigh")->text(), dec("0.10000"));
        QCOMPARE(outputHigh->text(), dec("150.000"));

        // A read pushed by hand loads the next reply.
        readSettings->setDown(true);
        decode(
            reply().byte(33, 100).byte(34, 101).real(65, 4.0f).real(69, 20.0f).real(73, 0.0f).real(
                77, 10.0f));
        QVERIFY(!readSettings->Down());
        QCOMPARE(inputLow->text(), dec("4.000"));
        QCOMPARE(text("Label_OutputHighMertekegyseg"), QStringLiteral("V"));
    }

    void gainsSamplesErrorAndDivider()
    {
        decode(reply().byte(25, 32).byte(26, 1).word(59, 1600).byte(61, 255).byte(64, 1));
        QCOMPARE(text("Label_ErositesCH0"), QStringLiteral("32"));
        QCOMPARE(text("Label_ErositesCH1"), QStringLiteral("1"));
        QCOMPARE(text("Label_uADSamples"), QStringLiteral("1600"));
        QCOMPARE(text("Label_ErrorNumber"), QStringLiteral("255"));
        QCOMPARE(text("Label_uDivider"), QStringLiteral("1"));
    }

    void statusFlags_data()
    {
        QTest::addColumn<int>("bits");
        QTest::addColumn<QStringList>("labels");
        QTest::newRow("none") << 0 << QStringList{};
        QTest::newRow("FRAM error") << 64 << QStringList{"Label_EEPROMHiba"};
        QTest::newRow("output range") << 16 << QStringList{"Label_OutputRangeError"};
        QTest::newRow("input range") << 8 << QStringList{"Label_ADOverflow"};
        QTest::newRow("converter") << 4 << QStringList{"Label_ADError"};
        QTest::newRow("unused bits") << 3 << QStringList{};
        QTest::newRow("uncalibrated both")
            << 160 << QStringList{"Label_ADNincsKalibralva", "Label_KimenetNincsKalibralva"};
        QTest::newRow("all") << 255 << QStringList{"Label_ADNincsKalibralva",
                                                   "Label_EEPROMHiba",
                                                   "Label_KimenetNincsKalibralva",
                                                   "Label_OutputRangeError",
                                                   "Label_ADOverflow",
                                                   "Label_ADError"};
    }
    void statusFlags()
    {
        QFETCH(int, bits);
        QFETCH(QStringList, labels);
        const char *all[] = {
            "Label_ADNincsKalibralva", "Label_EEPROMHiba", "Label_KimenetNincsKalibralva",
            "Label_OutputRangeError",  "Label_ADOverflow", "Label_ADError"};
        // Start from the opposite state, so every flag has to move.
        decode(reply().byte(27, quint8(~bits)));
        decode(reply().byte(27, quint8(bits)).real(81, 0.375f));
        for (const char *name : all)
            QCOMPARE(shown(name), labels.contains(QLatin1String(name)));
        QCOMPARE(shown("Image_InputCalibrationOK"), !(bits & 128));
        QCOMPARE(shown("Image_OutputCalibrationOK"), !(bits & 32));
        QCOMPARE(int(window->StatusBits), bits);
        // The scale bar follows the reply whatever the calibration state.
        QCOMPARE(bar("MBarGraph_SkalaSzazalek"), 0.375);
    }

    void uncalibratedValues()
    {
        decode(reply().byte(27, 160).real(28, 1.0f).byte(34, 100).real(35, 0.5f));
        for (const char *label :
             {"Label_BemenoErtek", "Label_BemenoErtek2", "Label_OutputValue", "Label_OutputValue2"})
            QCOMPARE(text(label), QStringLiteral("Uncalibrated!"));
        // Only the input uncalibrated: the output value is a number again.
        decode(reply().byte(27, 128).byte(34, 100).real(73, 4.0f).real(77, 20.0f).real(35, 0.5f));
        QCOMPARE(text("Label_BemenoErtek"), QStringLiteral("Uncalibrated!"));
        QCOMPARE(text("Label_OutputValue"), QStringLiteral("12.000 mA"));
    }

    void inputRanges_data()
    {
        QTest::addColumn<QChar>("separator");
        QTest::addColumn<int>("range");
        QTest::addColumn<float>("value");
        QTest::addColumn<QString>("rangeText");
        QTest::addColumn<QString>("connector");
        QTest::addColumn<QString>("valueText");
        QTest::addColumn<QString>("picture");
        for (QChar sep : {QChar(u'.'), QChar(u',')}) {
            auto row = [&](int range) -> QTestData & {
                return QTest::addRow("range %d, '%c'", range, sep.toLatin1()) << sep << range;
            };
            row(0) << 0.1234f << "-200 mV ... +200 mV"
                   << "IN+: terminal 9 (Uin1)"
                   << "123.40 mV"
                   << "Image_79";
            row(1) << -0.5f << "-500 mV ... +500 mV"
                   << "IN+: terminal 9 (Uin1)"
                   << "-500.00 mV"
                   << "Image_79";
            row(2) << 1.23456f << "-2.5 V ... +2.5 V"
                   << "IN+: terminal 9 (Uin1)"
                   << "1.2346 V"
                   << "Image_79";
            row(3) << 9.5f << "-10 V ... +10 V"
                   << "IN+: terminal 10 (Uin2)"
                   << "9.500 V"
                   << "Image_710";
            row(4) << -42.125f << "-50 V ... +50 V"
                   << "IN+: terminal 10 (Uin2)"
                   << "-42.125 V"
                   << "Image_710";
            row(5) << 124.5f << "-125 V ... +125 V"
                   << "IN+: terminal 10 (Uin2)"
                   << "124.50 V"
                   << "Image_710";
            row(6) << 20.0f << "-25 mA ... +25 mA"
                   << "IN+: terminal 8 (Iin)"
                   << "20.000 mA"
                   << "Image_78";
        }
    }
    void inputRanges()
    {
        useSeparator();
        QFETCH(int, range);
        QFETCH(float, value);
        QFETCH(QString, valueText);
        QFETCH(QString, picture);
        // Another range first, so every text and picture has to change.
        decode(reply().byte(32, quint8(range == 6 ? 0 : 6)).real(28, 1.0f));
        decode(reply().byte(32, quint8(range)).real(28, value));
        QTEST(text("Label_Input"), "rangeText");
        QTEST(text("Label_InputSignalPlus"), "connector");
        const QString expected = valueText.replace(u'.', QLocale().decimalPoint());
        QCOMPARE(text("Label_BemenoErtek"), expected);
        QCOMPARE(text("Label_BemenoErtek2"), expected);
        for (const char *image : {"Image_78", "Image_79", "Image_710"})
            QCOMPARE(shown(image), picture == QLatin1String(image));
        QCOMPARE(int(window->InputRange), range);
    }

    void rangeChangeShowsTheValueInTheNewRange_data() { separators(); }
    void rangeChangeShowsTheValueInTheNewRange()
    {
        useSeparator();
        decode(reply().byte(32, 3).real(28, 1.5f));
        QCOMPARE(text("Label_BemenoErtek"), dec("1.500 V"));
        // The very reply that reports range 0 is shown with its factor and unit.
        decode(reply().byte(32, 0).real(28, 0.15f));
        QCOMPARE(text("Label_BemenoErtek"), dec("150.00 mV"));
        QCOMPARE(text("Label_Input"), QStringLiteral("-200 mV ... +200 mV"));
    }

    void unknownInputRange_data()
    {
        QTest::addColumn<int>("range");
        QTest::newRow("7") << 7;
        QTest::newRow("128") << 128;
        QTest::newRow("255") << 255;
    }
    void unknownInputRange()
    {
        QFETCH(int, range);
        decode(reply().byte(32, 4).real(28, 12.0f));
        decode(reply().byte(32, quint8(range)).real(28, 12.0f));
        QCOMPARE(text("Label_Input"), QStringLiteral("????"));
        QCOMPARE(text("Label_InputSignalPlus"), QStringLiteral("????"));
        QCOMPARE(text("Label_BemenoErtek"), QStringLiteral("????"));
        QCOMPARE(text("Label_BemenoErtek2"), QStringLiteral("????"));
        for (const char *image : {"Image_78", "Image_79", "Image_710"})
            QVERIFY(!shown(image));
        // Still no number without a unit when the input is uncalibrated.
        decode(reply().byte(32, quint8(range)).byte(27, 128));
        QCOMPARE(text("Label_BemenoErtek"), QStringLiteral("Uncalibrated!"));
        // A known range again shows everything again.
        decode(reply().byte(32, 6).real(28, 4.0f));
        QCOMPARE(text("Label_BemenoErtek"), QStringLiteral("4.000 mA"));
        QVERIFY(shown("Image_78"));
    }

    void outputTypes_data() { separators(); }
    void outputTypes()
    {
        useSeparator();
        decode(reply().byte(34, 100).real(73, 4.0f).real(77, 20.0f).real(35, 0.5f));
        QCOMPARE(text("Label_Output"), QStringLiteral("0 ... +22 mA"));
        QCOMPARE(text("Label_OutputSignalPlus"), QStringLiteral("OUT+: terminal 6 (+Iout)"));
        QCOMPARE(text("Label_OutputSignalMinus"), QStringLiteral("OUT-: terminal 5 (-Iout)"));
        QVERIFY(shown("Image_56"));
        QVERIFY(!shown("Image_34"));
        QCOMPARE(text("Label_OutputValue"), dec("12.000 mA"));
        QCOMPARE(text("Label_OutputValue2"), dec("12.000 mA"));
        QCOMPARE(int(window->OutputType), 100);

        // A new type and stored scale are shown with the reply that brings them.
        decode(reply().byte(34, 101).real(73, 0.0f).real(77, 10.0f).real(35, 0.25f));
        QCOMPARE(text("Label_Output"), QStringLiteral("0 ... +10.5 V"));
        QCOMPARE(text("Label_OutputSignalPlus"), QStringLiteral("OUT+: terminal 4 (+Uout)"));
        QCOMPARE(text("Label_OutputSignalMinus"), QStringLiteral("OUT-: terminal 3 (-Uout)"));
        QVERIFY(shown("Image_34"));
        QVERIFY(!shown("Image_56"));
        QCOMPARE(text("Label_OutputValue"), dec("2.500 V"));

        // An unknown type: no range text, no unit, connectors and pictures kept.
        decode(reply().byte(34, 7).real(73, 0.0f).real(77, 10.0f).real(35, 1.0f));
        QCOMPARE(text("Label_Output"), QString());
        QCOMPARE(text("Label_OutputSignalPlus"), QStringLiteral("OUT+: terminal 4 (+Uout)"));
        QVERIFY(shown("Image_34"));
        QCOMPARE(text("Label_OutputValue"), dec("10.000 "));
    }

    void workingTime_data()
    {
        QTest::addColumn<QString>("language");
        QTest::addColumn<uint>("minutes");
        QTest::addColumn<QString>("shown");
        QTest::newRow("59, English")
            << QStringLiteral("english") << 59u << QStringLiteral("0 hours  59 minutes.");
        QTest::newRow("125, English")
            << QStringLiteral("english") << 125u << QStringLiteral("2 hours  05 minutes.");
        QTest::newRow("125, Hungarian")
            << QStringLiteral("magyar") << 125u << QStringLiteral("2 óra  05 perc.");
        QTest::newRow("0, Hungarian")
            << QStringLiteral("magyar") << 0u << QStringLiteral("0 óra  00 perc.");
        QTest::newRow("largest") << QStringLiteral("english") << 4294967295u
                                 << QStringLiteral("71582788 hours  15 minutes.");
    }
    void workingTime()
    {
        QFETCH(QString, language);
        QFETCH(uint, minutes);
        window->ApplyLanguage(language);
        decode(reply().cardinal(39, minutes));
        QTEST(text("Label_Uzemorak"), "shown");
    }

    void calibrationDate_data() { separators(); }
    void calibrationDate()
    {
        useSeparator();
        decode(reply().word(43, 2013).byte(45, 10).byte(46, 9).real(47, 21.0f));
        QCOMPARE(text("Label_KalibralasDatuma"), QStringLiteral("2013-10-09"));
        // No date: month and day bytes are skipped, the temperature is at 47.
        decode(reply().word(43, 0).byte(45, 0x12).byte(46, 0x34).real(47, 23.46f));
        QCOMPARE(text("Label_KalibralasDatuma"), QStringLiteral("?"));
        QCOMPARE(text("Label_MertHomerseklet"), dec("23.5"));
    }

    void temperatures_data() { separators(); }
    void temperatures()
    {
        useSeparator();
        decode(reply().real(47, -200.0f).real(51, -250.0f).real(55, 85.0f));
        QCOMPARE(text("Label_MertHomerseklet"), QStringLiteral("--.-"));
        QCOMPARE(text("Label_MertHomersekletMin"), dec("-250.0"));
        QCOMPARE(text("Label_MertHomersekletMax"), dec("85.0"));
        decode(reply().real(47, -199.9f));
        QCOMPARE(text("Label_MertHomerseklet"), dec("-199.9"));
        decode(reply().real(47, std::numeric_limits<float>::quiet_NaN()));
        QCOMPARE(text("Label_MertHomerseklet"), QStringLiteral("--.-"));
    }

    void pwmValue()
    {
        decode(reply().word(62, 65535));
        QCOMPARE(bar("MBarGraph_PWM"), 1.0);
        QCOMPARE(bar("MBarGraph_PWM2"), 1.0);
        QCOMPARE(text("Label_PWMErtek"), QStringLiteral("65 535"));
        QCOMPARE(text("Label_PWMErtek2"), QStringLiteral("65 535"));
        decode(reply().word(62, 0));
        QCOMPARE(bar("MBarGraph_PWM"), 0.0);
        QCOMPARE(text("Label_PWMErtek"), QStringLiteral(" 0"));
    }

    void storedScaleAndBoardIdentifier()
    {
        decode(reply()
                   .real(65, -1.5f)
                   .real(69, 0.1f)
                   .real(73, 4.0f)
                   .real(77, 150.0f)
                   .real(81, 0.5f)
                   .byte(23, 42)
                   .byte(33, 101)
                   .byte(34, 100));
        QCOMPARE(window->StoredInputLow, -1.5);
        QCOMPARE(window->StoredInputHigh, double(0.1f));
        QCOMPARE(window->StoredOutputLow, 4.0);
        QCOMPARE(window->StoredOutputHigh, 150.0);
        QCOMPARE(int(window->InputType), 101);
        QCOMPARE(int(window->OutputType), 100);
        QCOMPARE(bar("MBarGraph_SkalaSzazalek"), 0.5);
        QCOMPARE(int(window->SpareByte), 42);
        QCOMPARE(text("Label_NYAKCime"), QStringLiteral("42"));
    }

    void replyEndingAfterIndex20()
    {
        decode(busyReply());
        QVERIFY(shown("Label_EEPROMHiba"));
        QCOMPARE(text("Label_KalibralasDatuma"), QStringLiteral("2012-03-04"));

        decode(reply().word(1, 2013).byte(3, 6).byte(4, 18).int32(17, 555).truncate(20));
        QCOMPARE(text("Label_FormverVerzio"), QStringLiteral("V2013-06-18"));
        QCOMPARE(text("Label_ADErtekAtlagolt2"), QStringLiteral("0 000 555"));
        QCOMPARE(text("Label_RAM1AdatForras"), QStringLiteral("RAM 1. terület"));
        QCOMPARE(text("Label_RAM2AdatForras"), QStringLiteral("RAM 1. terület"));
        for (const char *name :
             {"Label_ADNincsKalibralva", "Label_EEPROMHiba", "Label_KimenetNincsKalibralva",
              "Label_OutputRangeError", "Label_ADOverflow", "Label_ADError"})
            QVERIFY2(!shown(name), name);
        // Range 0 of this very reply.
        QCOMPARE(text("Label_BemenoErtek"), QStringLiteral("0.00 mV"));
        QCOMPARE(text("Label_KalibralasDatuma"), QStringLiteral("?"));
        QCOMPARE(text("Label_Uzemorak"), QStringLiteral("0 hours  00 minutes."));
        QCOMPARE(text("Label_NYAKCime"), QStringLiteral("0"));
    }

    void anyContentDecodesWithoutHarm()
    {
        decode(DataBytes(0));
        QCOMPARE(text("Label_FormverVerzio"), QStringLiteral("V0000-00-00"));
        QCOMPARE(text("Label_Input"), QStringLiteral("-200 mV ... +200 mV"));

        QRandomGenerator random(4720);
        for (int round = 0; round < 300; ++round) {
            DataBytes data(int(random.bounded(0, 200)));
            for (int i = 1; i <= int(data.bytes().size()); ++i)
                data.byte(i, quint8(random.bounded(256)));
            decode(data);
            const QByteArray &bytes = data.bytes();
            QCOMPARE(text("Label_NYAKCime"),
                     QString::number(bytes.size() >= 23 ? quint8(bytes.at(22)) : 0));
            // What a full reply reports for the calibration date.
            if (bytes.size() >= 88 && bytes.at(42) == 0 && bytes.at(43) == 0)
                QCOMPARE(text("Label_KalibralasDatuma"), QStringLiteral("?"));
        }
    }
};

QTEST_MAIN(TestFormReply)
#include "tst_form_reply.moc"
