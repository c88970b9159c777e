// The calibration wizards' plans in the core, without a window: the input
// wizard's steps in the states it has no step for, and the output wizard's
// middle test point.
#include <QtTest>

#include "core/input_calibration_plan.h"
#include "core/output_calibration_plan.h"

class TstCalibrationPlans : public QObject {
    Q_OBJECT

private slots:
    void otherStatesDoNothing()
    {
        for (int state : {0, 5, 9, 151, 160, 1000, -10}) {
            const incal::Step step = incal::step(state, true);
            // No step: the window keeps its state and its instruction.
            QCOMPARE(step.kind, incal::Step::Kind::None);
            QVERIFY(!step.point);
        }
    }

    void twelveMilliampPointRoundsHalfToEven_data()
    {
        QTest::addColumn<int>("at4mA");
        QTest::addColumn<int>("at20mA");
        QTest::newRow("1 and 65534") << 1 << 65534;
        QTest::newRow("2 and 65535") << 2 << 65535;
    }
    void twelveMilliampPointRoundsHalfToEven()
    {
        QFETCH(int, at4mA);
        QFETCH(int, at20mA);
        const int setting = outcal::middleTestPoint(at4mA, at20mA);
        QCOMPARE(setting, 32768);
        QCOMPARE(outcal::forcedPWM(setting), 32768);
    }
};

QTEST_GUILESS_MAIN(TstCalibrationPlans)
#include "tst_calibration_plans.moc"
