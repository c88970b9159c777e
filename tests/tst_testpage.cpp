// The test page: the range-to-divider coupling of the force selectors, the
// statistics clear buttons and the maintenance button pair.
#include <QtTest>

#include <QPushButton>

#include "app/form_main.h"
#include "widgets/radiogroup.h"
#include "widgets/speedbutton.h"

class TestTestPage : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<TForm_Main> w;

    template <class T> T *control(const char *name) const
    {
        auto *c = w->findChild<T *>(QLatin1String(name));
        if (!c) qFatal("no control %s", name);
        return c;
    }
    TRadioGroup *range() const { return control<TRadioGroup>("RadioGroup_MereshatarForce"); }
    TRadioGroup *divider() const { return control<TRadioGroup>("RadioGroup_DividerForce"); }

private slots:
    void init() { w = std::make_unique<TForm_Main>(); }
    void cleanup() { w.reset(); }

    void selectorsStartAtTheirFirstItem()
    {
        for (const char *name : {"RadioGroup_GainForce", "RadioGroup_GainForceCH",
                                 "RadioGroup_DividerForce", "RadioGroup_MereshatarForce"})
            QCOMPARE(control<TRadioGroup>(name)->ItemIndex(), 0);
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

        QTest::mouseClick(control<QPushButton>("Button_MinMaxTorles0"), Qt::LeftButton);
        QCOMPARE(w->MinCH0, 1000);
        QCOMPARE(w->MaxCH0, 1000);
        QCOMPARE(w->PrevCH0, 990);
        // The other channel is untouched.
        QCOMPARE(w->MinCH1, -900);
        QCOMPARE(w->MaxCH1, 0);

        QTest::mouseClick(control<QPushButton>("Button_MinMaxTorles1"), Qt::LeftButton);
        QCOMPARE(w->MinCH1, -250);
        QCOMPARE(w->MaxCH1, -250);
        QCOMPARE(w->PrevCH1, -260);
        QCOMPARE(w->MinCH0, 1000);
    }

    void maintenanceButtonsAreOnePair()
    {
        auto *temperature = control<TSpeedButton>("SpeedButton_HomersekletMinMaxTorlese");
        auto *fram = control<TSpeedButton>("SpeedButton_FRAMTorlesReset");
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
};

QTEST_MAIN(TestTestPage)
#include "tst_testpage.moc"
