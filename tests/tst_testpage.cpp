// The test page: the range-to-divider coupling of the force selectors, the
// statistics clear buttons and the maintenance button pair.
#include <QtTest>

#include <QPushButton>
#include <QRadioButton>

#include <QLabel>
#include <QSignalSpy>
#include <QTabBar>

#include "app/form_main.h"
#include "support/formaccess.h"
#include "support/instrument_bytes.h"
#include "widgets/mbargraph.h"
#include "widgets/pagecontrol.h"
#include "widgets/radiogroup.h"
#include "widgets/speedbutton.h"

using formaccess::control;

namespace {

constexpr int CommandBitsIndex = 3;
constexpr int GainForceIndex = 34;
constexpr int DividerForceIndex = 35;
constexpr int RangeForceIndex = 98;

quint8 byteAt(const QByteArray &data, int index)
{
    return quint8(data.at(index - 1));
}

} // namespace

class TestTestPage : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<TForm_Main> w;

    TRadioGroup *range() const { return control<TRadioGroup>(*w, "RadioGroup_MereshatarForce"); }
    TRadioGroup *divider() const { return control<TRadioGroup>(*w, "RadioGroup_DividerForce"); }
    TRadioGroup *gain() const { return control<TRadioGroup>(*w, "RadioGroup_GainForce"); }
    TRadioGroup *channel() const { return control<TRadioGroup>(*w, "RadioGroup_GainForceCH"); }
    QString text(const char *name) const { return control<QLabel>(*w, name)->text(); }
    double bar(const char *name) const { return control<TMBarGraph>(*w, name)->MBGValue(); }
    QByteArray request()
    {
        w->SendInstrumentRequest();
        return formaccess::sentData(*w);
    }
    // A reply whose averaged readings are these, everything else 0.
    void decodeReadings(qint32 ch0, qint32 ch1)
    {
        testbytes::DataBytes data(88);
        data.int32(13, ch0).int32(17, ch1);
        formaccess::loadReply(*w, data.bytes());
        w->DecodeInstrumentReply();
    }
    // The user picks a page on the tab bar.
    void turnTo(const char *page) { QVERIFY(formaccess::clickPage(*w, page)); }

private slots:
    void init() { w = std::make_unique<TForm_Main>(); }
    void cleanup() { w.reset(); }

    void selectorsStartAtTheirFirstItem()
    {
        for (const char *name : {"RadioGroup_GainForce", "RadioGroup_GainForceCH",
                                 "RadioGroup_DividerForce", "RadioGroup_MereshatarForce"})
            QCOMPARE(control<TRadioGroup>(*w, name)->ItemIndex(), 0);
        QCOMPARE(range()->Items().size(), 8);
        QCOMPARE(divider()->Items().size(), 4);
    }

    void dividerFollowsTheForcedRange_data()
    {
        QTest::addColumn<int>("rangeItem");
        QTest::addColumn<int>("dividerItem");
        QTest::newRow("150 mV") << 1 << 1;
        QTest::newRow("450 mV") << 2 << 1;
        QTest::newRow("2,3 V") << 3 << 2;
        QTest::newRow("10 V") << 4 << 2;
        QTest::newRow("40 V") << 5 << 3;
        QTest::newRow("100 V") << 6 << 3;
        QTest::newRow("20 mA") << 7 << 3;
    }
    void dividerFollowsTheForcedRange()
    {
        QFETCH(int, rangeItem);
        QFETCH(int, dividerItem);
        range()->setItemIndex(rangeItem);
        QCOMPARE(divider()->ItemIndex(), dividerItem);
        // Back to "Force Off" leaves the divider where the range put it.
        range()->setItemIndex(0);
        QCOMPARE(divider()->ItemIndex(), dividerItem);
    }

    void dividerStaysAHandChoiceUntilTheRangeChanges()
    {
        range()->setItemIndex(7);
        QCOMPARE(divider()->ItemIndex(), 3);
        divider()->setItemIndex(1);
        QCOMPARE(range()->ItemIndex(), 7);
        QCOMPARE(divider()->ItemIndex(), 1);
        // The user's pick of another range couples again.
        QTest::mouseClick(range()->button(3), Qt::LeftButton);
        QCOMPARE(range()->ItemIndex(), 3);
        QCOMPARE(divider()->ItemIndex(), 2);
        // "Force Off" by hand leaves it too.
        QTest::mouseClick(range()->button(0), Qt::LeftButton);
        QCOMPARE(divider()->ItemIndex(), 2);
    }

    void clearTakesTheLastReadingPerChannel()
    {
        w->ADAveragedCH0 = 1000;
        w->ADAveragedCH1 = -250;
        w->MinCH0 = -5;
        w->MaxCH0 = 1500;
        w->PrevCH0 = 990;
        w->MinCH1 = -900;
        w->MaxCH1 = 0;
        w->PrevCH1 = -260;

        QTest::mouseClick(control<QPushButton>(*w, "Button_MinMaxTorles0"), Qt::LeftButton);
        QCOMPARE(w->MinCH0, 1000);
        QCOMPARE(w->MaxCH0, 1000);
        QCOMPARE(w->PrevCH0, 990);
        // The other channel is untouched.
        QCOMPARE(w->MinCH1, -900);
        QCOMPARE(w->MaxCH1, 0);

        QTest::mouseClick(control<QPushButton>(*w, "Button_MinMaxTorles1"), Qt::LeftButton);
        QCOMPARE(w->MinCH1, -250);
        QCOMPARE(w->MaxCH1, -250);
        QCOMPARE(w->PrevCH1, -260);
        QCOMPARE(w->MinCH0, 1000);
    }

    void maintenanceButtonsAreOnePair()
    {
        auto *temperature = control<TSpeedButton>(*w, "SpeedButton_HomersekletMinMaxTorlese");
        auto *fram = control<TSpeedButton>(*w, "SpeedButton_FRAMTorlesReset");
        QVERIFY(!temperature->Down());
        QVERIFY(!fram->Down());
        QTest::mouseClick(fram, Qt::LeftButton);
        QVERIFY(fram->Down());
        QTest::mouseClick(temperature, Qt::LeftButton);
        QVERIFY(temperature->Down());
        QVERIFY(!fram->Down());
        // Pressing it again withdraws the command.
        QTest::mouseClick(temperature, Qt::LeftButton);
        QVERIFY(!temperature->Down());
        QVERIFY(!fram->Down());
    }
    void rangeForcingOnTheWire()
    {
        range()->setItemIndex(7); // 20 mA
        QByteArray data = request();
        QCOMPARE(byteAt(data, RangeForceIndex), quint8(134));
        QCOMPARE(byteAt(data, DividerForceIndex), quint8(130));
        range()->setItemIndex(0);
        data = request();
        QCOMPARE(byteAt(data, RangeForceIndex), quint8(0));
        QCOMPARE(byteAt(data, DividerForceIndex), quint8(130));
        range()->setItemIndex(1);
        data = request();
        QCOMPARE(byteAt(data, RangeForceIndex), quint8(128));
        QCOMPARE(byteAt(data, DividerForceIndex), quint8(128));
        range()->setItemIndex(4);
        QCOMPARE(byteAt(request(), DividerForceIndex), quint8(129));
    }

    void gainForcingOnTheWire_data()
    {
        QTest::addColumn<int>("gainItem");
        QTest::addColumn<int>("channelItem");
        QTest::addColumn<int>("code");
        const int codes[] = {0, 129, 130, 132, 136, 144, 160};
        for (int item = 0; item < 7; ++item) {
            QTest::addRow("item %d CH0", item) << item << 0 << codes[item];
            QTest::addRow("item %d CH1", item) << item << 1 << codes[item] + 64;
        }
    }
    void gainForcingOnTheWire()
    {
        QFETCH(int, gainItem);
        QFETCH(int, channelItem);
        QFETCH(int, code);
        gain()->setItemIndex(gainItem);
        channel()->setItemIndex(channelItem);
        QCOMPARE(byteAt(request(), GainForceIndex), quint8(code));
    }

    void leavingThePageResetsEveryForcing()
    {
        w->show();
        turnTo("TabSheet_Test");
        gain()->setItemIndex(6);
        channel()->setItemIndex(1);
        range()->setItemIndex(5); // 40 V
        QByteArray data = request();
        QCOMPARE(byteAt(data, GainForceIndex), quint8(224));
        QCOMPARE(byteAt(data, DividerForceIndex), quint8(130));
        QCOMPARE(byteAt(data, RangeForceIndex), quint8(132));

        turnTo("TabSheet_Uzemmod");
        turnTo("TabSheet_Test");
        QCOMPARE(gain()->ItemIndex(), 0);
        QCOMPARE(channel()->ItemIndex(), 0);
        QCOMPARE(divider()->ItemIndex(), 0);
        QCOMPARE(range()->ItemIndex(), 0);
        data = request();
        QCOMPARE(byteAt(data, GainForceIndex), quint8(0));
        QCOMPARE(byteAt(data, DividerForceIndex), quint8(0));
        QCOMPARE(byteAt(data, RangeForceIndex), quint8(0));
    }

    void firstReadingBeforeAnyClear()
    {
        decodeReadings(1500, -40);
        QCOMPARE(text("Label_Min0"), QStringLiteral("  0"));
        QCOMPARE(text("Label_Max0"), QStringLiteral(" 1 500"));
        QCOMPARE(text("Label_Delta0"), QStringLiteral(" 1 500"));
        QCOMPARE(bar("MBarGraph_Delta0"), 1.0);
        // A negative reading keeps the maximum at 0.
        QCOMPARE(text("Label_Min1"), QStringLiteral("  -40"));
        QCOMPARE(text("Label_Max1"), QStringLiteral("  0"));
        QCOMPARE(bar("MBarGraph_Delta1"), 1.0);
    }

    void statisticsAfterAClear()
    {
        decodeReadings(1000, 2000000);
        QTest::mouseClick(control<QPushButton>(*w, "Button_MinMaxTorles0"), Qt::LeftButton);
        QTest::mouseClick(control<QPushButton>(*w, "Button_MinMaxTorles1"), Qt::LeftButton);
        // The labels follow with the next decoded reply.
        QCOMPARE(text("Label_Min0"), QStringLiteral("  0"));

        // The cleared value again: no spread, the bar keeps its value.
        const double before = bar("MBarGraph_Delta0");
        decodeReadings(1000, 2000000);
        QCOMPARE(text("Label_Min0"), QStringLiteral(" 1 000"));
        QCOMPARE(text("Label_Max0"), QStringLiteral(" 1 000"));
        QCOMPARE(text("Label_Delta0"), QStringLiteral("  0"));
        QCOMPARE(bar("MBarGraph_Delta0"), before);
        QCOMPARE(text("Label_Min1"), QStringLiteral("2 000 000"));
        // The rest of that reply is still decoded.
        QCOMPARE(text("Label_RAM1AdatForras"), QStringLiteral("RAM 1. terület"));

        decodeReadings(1010, 2000000);
        QCOMPARE(text("Label_Min0"), QStringLiteral(" 1 000"));
        QCOMPARE(text("Label_Max0"), QStringLiteral(" 1 010"));
        QCOMPARE(text("Label_Delta0"), QStringLiteral("  10"));
        QCOMPARE(bar("MBarGraph_Delta0"), 1.0);

        decodeReadings(1005, 2000000);
        QCOMPARE(text("Label_Delta0"), QStringLiteral("  10"));
        QCOMPARE(bar("MBarGraph_Delta0"), 0.5);
        QCOMPARE(w->PrevCH0, 1005);
    }

    void maintenancePairOnTheWire()
    {
        auto *temperature = control<TSpeedButton>(*w, "SpeedButton_HomersekletMinMaxTorlese");
        auto *fram = control<TSpeedButton>(*w, "SpeedButton_FRAMTorlesReset");
        QTest::mouseClick(fram, Qt::LeftButton);
        QCOMPARE(byteAt(request(), CommandBitsIndex), quint8(8));
        QTest::mouseClick(temperature, Qt::LeftButton);
        QCOMPARE(byteAt(request(), CommandBitsIndex), quint8(2));
        // The acknowledgement releases it.
        testbytes::DataBytes data(88);
        data.byte(24, 2);
        formaccess::loadReply(*w, data.bytes());
        w->DecodeInstrumentReply();
        QVERIFY(!temperature->Down());
        QCOMPARE(byteAt(request(), CommandBitsIndex), quint8(0));
    }

    void diagnosticValues()
    {
        testbytes::DataBytes data(88);
        data.byte(21, 2)
            .byte(22, 9)
            .byte(23, 17)
            .byte(25, 8)
            .byte(26, 32)
            .real(28, 1.25f)
            .byte(32, 6)
            .byte(34, 101)
            .real(35, 0.5f)
            .word(59, 4800)
            .word(62, 40000)
            .byte(64, 2)
            .real(73, 0.0f)
            .real(77, 10.0f);
        formaccess::loadReply(*w, data.bytes());
        w->DecodeInstrumentReply();
        QCOMPARE(text("Label_BemenoErtek2"), text("Label_BemenoErtek"));
        QCOMPARE(text("Label_OutputValue2"), text("Label_OutputValue"));
        QCOMPARE(text("Label_PWMErtek2"), QStringLiteral("40 000"));
        QCOMPARE(bar("MBarGraph_PWM2"), 40000 / 65535.0);
        QCOMPARE(text("Label_ErositesCH0"), QStringLiteral("8"));
        QCOMPARE(text("Label_ErositesCH1"), QStringLiteral("32"));
        QCOMPARE(text("Label_uDivider"), QStringLiteral("2"));
        QCOMPARE(text("Label_uADSamples"), QStringLiteral("4800"));
        QCOMPARE(text("Label_RAM1AdatForras"), QStringLiteral("FRAM 1. terület"));
        QCOMPARE(text("Label_RAM2AdatForras"), QStringLiteral("????"));
        request();
        QCOMPARE(text("Label_CalibrationStep"), QStringLiteral("0"));
    }
};

QTEST_MAIN(TestTestPage)
#include "tst_testpage.moc"
