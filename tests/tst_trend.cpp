// End to end: the trend page of the main window (offscreen) against the
// instrument simulator over a pty. The lines follow the decoded replies, a
// range change starts a new line in the new unit, a closed port leaves a gap,
// Pause stops the plot, and a page nobody sees is not painted.
#include <QtTest>

#include <QComboBox>
#include <QPushButton>
#include <QTabBar>

#include "app/form_main.h"
#include "core/decoded_reading.h"
#include "panel/mb.h"
#include "support/formaccess.h"
#include "support/simulator_runner.h"
#include "support/windowsetup.h"
#include "trend/trend_chart.h"
#include "trend/trend_page.h"
#include "widgets/pagecontrol.h"
#include "widgets/radiogroup.h"

using formaccess::control;
using formaccess::mb1;

namespace {

constexpr qint64 kStart = 1'700'000'000'000;
constexpr qint64 kExchangeMsecs = 40; // the test clock's step per exchange

// Paint events of one widget.
class PaintCounter : public QObject {
public:
    explicit PaintCounter(QWidget *widget) { widget->installEventFilter(this); }
    int count = 0;

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Paint) ++count;
        return false;
    }
};

// The window on its trend page against the simulator, on a clock of the
// test's own: every exchange moves it on by kExchangeMsecs, so time in the
// plot does not depend on the machine's speed.
class Bench {
public:
    explicit Bench(QStringList parameters = {})
        : setup(std::move(parameters)), form(setup.environment()), page(form.TabSheet_Trend)
    {
        page->clock = [this] { return now; };
        // After the window's own handler: the reply has been plotted.
        QObject::connect(&link(), &TMB::OnMBMasterEndOfEvent, &form, [this](TMBStatus status) {
            if (status == TMBStatus::stOK) {
                const DecodedReading reading = form.decodedReading();
                inputs.append(reading.inputValue.value_or(qQNaN()));
                outputs.append(reading.outputValue.value_or(qQNaN()));
            }
            now += kExchangeMsecs;
        });
        pages()->setActivePage(page);
        form.show();
        form.FormActivate(&form);
        page->spanBox()->setCurrentIndex(0); // one minute
    }
    TMB &link() { return *mb1(form); }
    TPageControl *pages() { return control<TPageControl>(form, "PageControl1"); }
    TrendChart::TrackPicture picture(TrendQuantity quantity, const QString &unit)
    {
        page->redraw();
        return page->chart()->picture(quantity, unit);
    }
    bool exchange(int count) { return sim.waitForExchanges(sim.exchanges() + count); }

    SimulatorRunner sim;
    WindowSetup setup;
    TForm_Main form;
    TrendPage *page;
    qint64 now = kStart;
    QList<double> inputs, outputs; // every decoded reply's values, in order
};

QList<double> valuesOf(const QList<QPointF> &points)
{
    QList<double> values;
    for (const QPointF &p : points)
        values.append(p.y());
    return values;
}

} // namespace

class TestTrend : public QObject {
    Q_OBJECT

private slots:
    void theTrendTabFollowsTheSettingsTabInBothViews_data();
    void theTrendTabFollowsTheSettingsTabInBothViews();
    void theLinesFollowTheReplies();
    void aRangeChangeStartsANewLineInTheNewUnit();
    void aClosedPortLeavesAGap();
    void pauseStopsThePlot();
    void aHiddenPageIsNotPainted();
    void theCaptionsFollowTheLanguage();
};

void TestTrend::theTrendTabFollowsTheSettingsTabInBothViews_data()
{
    QTest::addColumn<QStringList>("parameters");
    QTest::newRow("normal view") << QStringList{};
    QTest::newRow("factory-level view") << QStringList{QStringLiteral("/VARNEL")};
}

void TestTrend::theTrendTabFollowsTheSettingsTabInBothViews()
{
    QFETCH(QStringList, parameters);
    WindowSetup setup(parameters);
    TForm_Main form(setup.environment());
    form.show();
    form.FormActivate(&form);
    auto *pages = control<TPageControl>(form, "PageControl1");
    const int settings = pages->indexOf(control<QWidget>(form, "TabSheet_Uzemmod"));
    QCOMPARE(pages->indexOf(form.TabSheet_Trend), settings + 1);
    QVERIFY(pages->isTabVisible(form.TabSheet_Trend));
    QCOMPARE(pages->tabText(settings + 1), QStringLiteral("Trend"));

    // Picking the trend after a calibration page leaves the output unforced.
    form.PWMForce = 1234;
    QTabBar *bar = pages->tabBar();
    QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(settings + 1).center());
    QCOMPARE(pages->ActivePage(), form.TabSheet_Trend);
    QCOMPARE(form.PWMForce, 0);
}

void TestTrend::theLinesFollowTheReplies()
{
    Bench bench;
    QVERIFY2(bench.sim.isRunning(), qPrintable(bench.sim.errorText()));
    QVERIFY(bench.sim.openOn(bench.link().engine()));
    QVERIFY(bench.exchange(60));

    // The simulated input sweeps a current scale; the output follows it.
    for (const auto &[quantity, unit, decoded] :
         {std::tuple{TrendQuantity::Input, QStringLiteral("mA"), &bench.inputs},
          std::tuple{TrendQuantity::Output, QStringLiteral("mA"), &bench.outputs}}) {
        const TrendChart::TrackPicture picture = bench.picture(quantity, unit);
        QCOMPARE(picture.pieces.size(), 1);
        QVERIFY(picture.axisVisible);
        QVERIFY2(picture.title.endsWith(QStringLiteral(" (mA)")), qPrintable(picture.title));
        // Every point is a decoded value, and no reply's peak is lost.
        const QList<double> plotted = valuesOf(picture.pieces.first());
        QList<float> sent;
        for (double value : *decoded)
            sent.append(float(value));
        for (double value : plotted)
            QVERIFY2(sent.contains(float(value)), qPrintable(QString::number(value)));
        QCOMPARE(float(*std::min_element(plotted.begin(), plotted.end())),
                 *std::min_element(sent.begin(), sent.end()));
        QCOMPARE(float(*std::max_element(plotted.begin(), plotted.end())),
                 *std::max_element(sent.begin(), sent.end()));
        // Time runs along with the exchanges.
        QVERIFY(picture.pieces.first().last().x() > picture.pieces.first().first().x());
        QVERIFY(picture.pieces.first().last().x() <= double(bench.now));
    }
    QCOMPARE(bench.picture(TrendQuantity::Temperature, QStringLiteral("°C")).pieces.size(), 1);
}

void TestTrend::aRangeChangeStartsANewLineInTheNewUnit()
{
    Bench bench;
    QVERIFY(bench.sim.openOn(bench.link().engine()));
    QVERIFY(bench.exchange(10));
    // The Test page's forcing stays while the trend is shown: the
    // instrument measures on its 200 mV range from the next request on.
    control<TRadioGroup>(bench.form, "RadioGroup_MereshatarForce")->setItemIndex(1);
    QTRY_COMPARE(int(bench.form.InputRange), 0);
    QVERIFY(bench.exchange(10));

    const auto milliamps = bench.picture(TrendQuantity::Input, QStringLiteral("mA"));
    const auto millivolts = bench.picture(TrendQuantity::Input, QStringLiteral("mV"));
    QCOMPARE(milliamps.pieces.size(), 1);
    QCOMPARE(millivolts.pieces.size(), 1);
    QVERIFY2(millivolts.title.endsWith(QStringLiteral(" (mV)")), qPrintable(millivolts.title));
    QVERIFY(milliamps.axisVisible && millivolts.axisVisible);
    // The two lines follow one another in time and are not joined.
    QVERIFY(milliamps.pieces.first().last().x() <= millivolts.pieces.first().first().x());
    // The output did not change its unit and goes on in one line.
    QCOMPARE(bench.picture(TrendQuantity::Output, QStringLiteral("mA")).pieces.size(), 1);
}

void TestTrend::aClosedPortLeavesAGap()
{
    Bench bench;
    QVERIFY(bench.sim.openOn(bench.link().engine()));
    QVERIFY(bench.exchange(10));
    bench.link().MBClosePort();
    QVERIFY(!bench.link().MBPortOpen());
    const qint64 closedAt = bench.now;
    bench.now += 5000; // the port stays closed for five seconds
    QVERIFY(bench.sim.openOn(bench.link().engine()));
    QVERIFY(bench.sim.waitForExchanges(10));

    for (TrendQuantity quantity : {TrendQuantity::Input, TrendQuantity::Output}) {
        const auto picture = bench.picture(quantity, QStringLiteral("mA"));
        QCOMPARE(picture.pieces.size(), 2);
        QVERIFY(picture.pieces[0].last().x() <= double(closedAt));
        QVERIFY(picture.pieces[1].first().x() >= double(closedAt + 5000));
    }
}

void TestTrend::pauseStopsThePlot()
{
    Bench bench;
    QVERIFY(bench.sim.openOn(bench.link().engine()));
    QVERIFY(bench.exchange(10));
    QTest::mouseClick(bench.page->pauseButton(), Qt::LeftButton);
    QVERIFY(bench.page->isPaused());
    const auto before = bench.picture(TrendQuantity::Input, QStringLiteral("mA"));
    QVERIFY(bench.exchange(10));
    bench.page->redraw(); // as the redraw timer would, were it running
    QCOMPARE(bench.page->chart()->picture(TrendQuantity::Input, QStringLiteral("mA")).pieces,
             before.pieces);
    // The readings went on into the store meanwhile and show once resumed.
    QTest::mouseClick(bench.page->pauseButton(), Qt::LeftButton);
    const auto after = bench.picture(TrendQuantity::Input, QStringLiteral("mA"));
    QVERIFY(after.pieces.first().last().x() > before.pieces.first().last().x());

    QTest::mouseClick(bench.page->clearButton(), Qt::LeftButton);
    QVERIFY(bench.picture(TrendQuantity::Input, QStringLiteral("mA")).pieces.isEmpty());
}

void TestTrend::aHiddenPageIsNotPainted()
{
    Bench bench;
    PaintCounter paints(bench.page->chart()->viewport());
    bench.pages()->setActivePage(control<QWidget>(bench.form, "TabSheet_Uzemmod"));
    QVERIFY(bench.sim.openOn(bench.link().engine()));
    QVERIFY(bench.exchange(30));
    QCOMPARE(paints.count, 0);

    bench.pages()->setActivePage(bench.page);
    QTRY_VERIFY(paints.count > 0);
    // Shown, the plot has every reading at once, not only those from now on.
    QCOMPARE(bench.page->chart()
                     ->picture(TrendQuantity::Input, QStringLiteral("mA"))
                     .pieces.first()
                     .size() > 10,
             true);
}

void TestTrend::theCaptionsFollowTheLanguage()
{
    Bench bench;
    QVERIFY(bench.sim.openOn(bench.link().engine()));
    QVERIFY(bench.exchange(3));
    // A first start speaks Hungarian.
    QCOMPARE(bench.page->pauseButton()->text(), QStringLiteral("Szünet"));
    QCOMPARE(bench.picture(TrendQuantity::Input, QStringLiteral("mA")).title,
             QStringLiteral("Bemenő érték (mA)"));
    QCOMPARE(bench.page->spanBox()->itemText(3), QStringLiteral("60 perc"));

    bench.form.ApplyLanguage(QStringLiteral("english"));
    QCOMPARE(bench.page->pauseButton()->text(), QStringLiteral("Pause"));
    QCOMPARE(bench.picture(TrendQuantity::Temperature, QStringLiteral("°C")).title,
             QStringLiteral("Temperature (°C)"));
    QCOMPARE(bench.page->spanBox()->itemText(0), QStringLiteral("1 min"));
    QCOMPARE(bench.pages()->tabText(bench.pages()->indexOf(bench.page)), QStringLiteral("Trend"));
}

QTEST_MAIN(TestTrend)
#include "tst_trend.moc"
