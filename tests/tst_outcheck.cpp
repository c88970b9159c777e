// The output check page: the track bar's percentage, its label and the three
// buttons that move it.
#include <QtTest>

#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>

#include "app/form_main.h"
#include "widgets/trackbar.h"

class TestOutCheck : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<TForm_Main> w;

    template <class T> T *control(const char *name) const
    {
        auto *c = w->findChild<T *>(QLatin1String(name));
        if (!c) qFatal("no control %s", name);
        return c;
    }
    TTrackBar *bar() const { return control<TTrackBar>("TrackBar_OutCheck"); }
    QString percentText() const { return control<QLabel>("Label_OutputCheckPercent")->text(); }
    void click(const char *name) { QTest::mouseClick(control<QPushButton>(name), Qt::LeftButton); }

private slots:
    void init() { w = std::make_unique<TForm_Main>(); }
    void cleanup() { w.reset(); }

    void startsAtZero()
    {
        QCOMPARE(bar()->Position(), 0);
        QCOMPARE(bar()->Min(), 0);
        QCOMPARE(bar()->Max(), 20);
        QCOMPARE(percentText(), QStringLiteral("0 %"));
    }

    void everyPositionShowsItsPercentage()
    {
        for (int position = 0; position <= 20; ++position) {
            bar()->setPosition(position);
            QCOMPARE(percentText(), QString::number(position * 5) + QStringLiteral(" %"));
        }
        bar()->setPosition(7);
        QCOMPARE(percentText(), QStringLiteral("35 %"));
        // Positions beyond the bar clamp to its ends.
        bar()->setPosition(25);
        QCOMPARE(percentText(), QStringLiteral("100 %"));
        bar()->setPosition(-1);
        QCOMPARE(percentText(), QStringLiteral("0 %"));
    }

    void theUsersMoveShowsToo()
    {
        bar()->setFocus();
        QTest::keyClick(bar(), Qt::Key_Right);
        QCOMPARE(bar()->Position(), 1);
        QCOMPARE(percentText(), QStringLiteral("5 %"));
        QTest::keyClick(bar(), Qt::Key_End);
        QCOMPARE(percentText(), QStringLiteral("100 %"));
    }

    void buttonsMoveTheBar()
    {
        click("Button_OutCheckMax");
        QCOMPARE(bar()->Position(), 20);
        QCOMPARE(percentText(), QStringLiteral("100 %"));
        click("Button_OutCheckMean");
        QCOMPARE(bar()->Position(), 10);
        QCOMPARE(percentText(), QStringLiteral("50 %"));
        click("Button_OutCheckMin");
        QCOMPARE(bar()->Position(), 0);
        QCOMPARE(percentText(), QStringLiteral("0 %"));
    }

    void theHeldPositionChangesNothing()
    {
        click("Button_OutCheckMean");
        QSignalSpy changes(bar(), &TTrackBar::OnChange);
        auto *label = control<QLabel>("Label_OutputCheckPercent");
        label->setText(QStringLiteral("marker"));
        click("Button_OutCheckMean");
        QCOMPARE(changes.count(), 0);
        QCOMPARE(label->text(), QStringLiteral("marker"));
        QCOMPARE(bar()->Position(), 10);
        click("Button_OutCheckMax");
        QCOMPARE(changes.count(), 1);
        QCOMPARE(label->text(), QStringLiteral("100 %"));
    }
};

QTEST_MAIN(TestOutCheck)
#include "tst_outcheck.moc"
