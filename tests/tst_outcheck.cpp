// The output check page: the track bar's percentage, its label and the three
// buttons that move it.
#include <QtTest>

#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>

#include <QTabBar>

#include "app/form_main.h"
#include "support/formaccess.h"
#include "support/instrument_bytes.h"
#include "widgets/pagecontrol.h"
#include "widgets/trackbar.h"

using formaccess::control;

namespace {

constexpr int PWMForceIndex = 1;
constexpr int CalibrationStepIndex = 32;
constexpr int OutCheckPercentIndex = 33;

quint8 byteAt(const QByteArray &data, int index)
{
    return quint8(data.at(index - 1));
}

} // namespace

class TestOutCheck : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<TForm_Main> w;

    TTrackBar *bar() const { return control<TTrackBar>(*w, "TrackBar_OutCheck"); }
    QString percentText() const { return control<QLabel>(*w, "Label_OutputCheckPercent")->text(); }
    void click(const char *name)
    {
        QTest::mouseClick(control<QPushButton>(*w, name), Qt::LeftButton);
    }
    QByteArray request()
    {
        w->SendInstrumentRequest();
        return formaccess::sentData(*w);
    }
    // The user picks a page on the tab bar.
    void turnTo(const char *page) { QVERIFY(formaccess::clickPage(*w, page)); }

private slots:
    void init() { w = std::make_unique<TForm_Main>(); }
    void cleanup() { w.reset(); }

    void startsAtZero()
    {
        QCOMPARE(byteAt(request(), OutCheckPercentIndex), quint8(0));
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
        auto *label = control<QLabel>(*w, "Label_OutputCheckPercent");
        label->setText(QStringLiteral("marker"));
        click("Button_OutCheckMean");
        QCOMPARE(changes.count(), 0);
        QCOMPARE(label->text(), QStringLiteral("marker"));
        QCOMPARE(bar()->Position(), 10);
        click("Button_OutCheckMax");
        QCOMPARE(changes.count(), 1);
        QCOMPARE(label->text(), QStringLiteral("100 %"));
    }
    void everyPositionIsSentAsAMultipleOfFive()
    {
        for (int position = 0; position <= 20; ++position) {
            bar()->setPosition(position);
            QCOMPARE(byteAt(request(), OutCheckPercentIndex), quint8(position * 5));
        }
    }

    void buttonsSendTheirPercentage()
    {
        click("Button_OutCheckMax");
        QCOMPARE(byteAt(request(), OutCheckPercentIndex), quint8(100));
        click("Button_OutCheckMean");
        QCOMPARE(byteAt(request(), OutCheckPercentIndex), quint8(50));
        click("Button_OutCheckMean");
        QCOMPARE(byteAt(request(), OutCheckPercentIndex), quint8(50));
        click("Button_OutCheckMin");
        QCOMPARE(byteAt(request(), OutCheckPercentIndex), quint8(0));
    }

    // Only while the page is active is the percentage an output check, with
    // the output not forced; elsewhere it still travels, unmarked.
    void theActivePageMarksTheCheck()
    {
        w->show();
        w->PWMForce = 1234; // as a calibration page leaves it
        turnTo("TabSheet_KimenetEllenorzes");
        click("Button_OutCheckMax");
        QByteArray data = request();
        QCOMPARE(byteAt(data, CalibrationStepIndex), quint8(255));
        QCOMPARE(testbytes::wordAt(data, PWMForceIndex), quint16(0));
        QCOMPARE(byteAt(data, OutCheckPercentIndex), quint8(100));
        QCOMPARE(control<QLabel>(*w, "Label_CalibrationStep")->text(), QStringLiteral("255"));

        turnTo("TabSheet_Uzemmod");
        data = request();
        QCOMPARE(byteAt(data, CalibrationStepIndex), quint8(0));
        QCOMPARE(testbytes::wordAt(data, PWMForceIndex), quint16(0));
        QCOMPARE(byteAt(data, OutCheckPercentIndex), quint8(100));
        QCOMPARE(control<QLabel>(*w, "Label_CalibrationStep")->text(), QStringLiteral("0"));
        // The position survives leaving the page.
        QCOMPARE(bar()->Position(), 20);
        QCOMPARE(percentText(), QStringLiteral("100 %"));
    }
};

QTEST_MAIN(TestOutCheck)
#include "tst_outcheck.moc"
