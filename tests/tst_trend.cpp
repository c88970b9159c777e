// End to end: the trend page of the main window (offscreen) against the
// instrument simulator over a pty. The lines follow the decoded replies, a
// range change starts a new line in the new unit, a closed port leaves a gap,
// Pause stops the plot, and a page nobody sees is not painted. The log has
// one line per decoded reply with the values the simulator sent, in either
// locale; a file that cannot be written is reported and the exchange goes on.
#include <QtTest>

#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QRegularExpression>
#include <QTabBar>
#include <QTemporaryDir>

#include <csignal>
#include <sys/resource.h>

#include "app/form_main.h"
#include "app/profile.h"
#include "core/decoded_reading.h"
#include "core/readings_csv.h"
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
                const DecodedReading &reading = form.instrumentExchange().lastReply()->reading;
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

// The lines of a readings file after its header.
QList<QByteArray> linesOf(const QString &path, QByteArray *header = nullptr)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return {};
    QList<QByteArray> lines = file.readAll().split('\n');
    if (!lines.isEmpty() && lines.last().isEmpty()) lines.removeLast();
    if (!lines.isEmpty() && header) *header = lines.first() + '\n';
    if (!lines.isEmpty()) lines.removeFirst();
    return lines;
}

// A line's time: the field before the first separator.
QDateTime timeOf(const QByteArray &line, char separator)
{
    return QDateTime::fromString(QString::fromLatin1(line.left(line.indexOf(separator))),
                                 QStringLiteral("yyyy-MM-dd'T'HH:mm:ss.zzz"));
}

QList<double> valuesOf(const QList<QPointF> &points)
{
    QList<double> values;
    for (const QPointF &p : points)
        values.append(p.y());
    return values;
}

// The trend page alone, one minute wide, fed by the test: one reading every
// kExchangeMsecs, of the input (mA) or the temperature.
struct Plot {
    Plot()
    {
        page->resize(737, 470);
        page->clock = [this] { return now; };
        page->spanBox()->setCurrentIndex(0);
        page->show();
    }
    void add(std::optional<double> input, std::optional<double> temperature)
    {
        DecodedReading reading;
        reading.time = QDateTime::fromMSecsSinceEpoch(now += kExchangeMsecs);
        reading.inputValue = input;
        reading.inputUnit = QStringLiteral("mA");
        reading.temperature = temperature;
        page->addReading(reading, instrument::CurrentInputRange);
    }
    TrendChart::TrackPicture picture(TrendQuantity quantity)
    {
        page->redraw();
        return page->chart()->picture(quantity, quantity == TrendQuantity::Input ? "mA" : "°C");
    }
    std::unique_ptr<TrendPage> page = std::make_unique<TrendPage>();
    qint64 now = kStart;
};

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
    void theLogHasEveryReplyTheSimulatorSent_data();
    void theLogHasEveryReplyTheSimulatorSent();
    void aFileThatCannotBeWrittenStopsTheLogNotTheExchange();
    void aDeletedFolderStopsTheLogWithTheReason();
    void everyValueLiesInsideItsAxis_data();
    void everyValueLiesInsideItsAxis();
    void aDenseBandIsDrawnSolid();
    void theSpanIsKeptBetweenRuns();
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

    // The legend hides a line with its axis, and shows it again.
    bench.page->chart()->toggleTrack(TrendQuantity::Temperature, QStringLiteral("°C"));
    auto hidden = bench.picture(TrendQuantity::Temperature, QStringLiteral("°C"));
    QVERIFY(hidden.hidden && hidden.pieces.isEmpty() && !hidden.axisVisible);
    bench.page->chart()->toggleTrack(TrendQuantity::Temperature, QStringLiteral("°C"));
    QVERIFY(bench.picture(TrendQuantity::Temperature, QStringLiteral("°C")).axisVisible);
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
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("readings.csv"));
    QVERIFY(bench.page->startRecording(path));
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
    // The log goes on across the gap, which has no lines.
    QVERIFY(bench.page->isRecording());
    bench.page->stopRecording();
    const QList<QByteArray> lines = linesOf(path);
    QCOMPARE(lines.size(), bench.inputs.size());
    const char separator = lines.first().at(23);
    int gaps = 0;
    for (int i = 1; i < lines.size(); ++i) {
        const qint64 step = timeOf(lines[i - 1], separator).msecsTo(timeOf(lines[i], separator));
        QVERIFY(step > 0);
        if (step >= 5000) ++gaps;
    }
    QCOMPARE(gaps, 1);
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

    QVERIFY(bench.page->pausedLabel()->isHidden());

    // A paused plot says so; a line hidden through the legend stays hidden
    // when Clear starts the lines again.
    QTest::mouseClick(bench.page->pauseButton(), Qt::LeftButton);
    QVERIFY(bench.page->pausedLabel()->isVisible() &&
            bench.page->pausedLabel()->text().startsWith(QStringLiteral("Megállítva: ")));
    QTest::mouseClick(bench.page->pauseButton(), Qt::LeftButton);
    bench.page->chart()->toggleTrack(TrendQuantity::Temperature, QStringLiteral("°C"));
    QTest::mouseClick(bench.page->clearButton(), Qt::LeftButton);
    QVERIFY(bench.picture(TrendQuantity::Input, QStringLiteral("mA")).pieces.isEmpty());
    QVERIFY(bench.exchange(3)); // the lines start again
    QVERIFY(bench.picture(TrendQuantity::Temperature, QStringLiteral("°C")).hidden);
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

void TestTrend::theLogHasEveryReplyTheSimulatorSent_data()
{
    QTest::addColumn<QLocale>("locale");
    QTest::newRow("decimal point") << formaccess::localeWithSeparator(u'.');
    QTest::newRow("decimal comma") << formaccess::localeWithSeparator(u',');
}

void TestTrend::theLogHasEveryReplyTheSimulatorSent()
{
    QFETCH(QLocale, locale);
    const QLocale saved;
    QLocale::setDefault(locale);
    Bench bench;
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("readings.csv"));
    bench.page->chooseRecordFile = [&](QWidget *) { return path; };
    QTest::mouseClick(bench.page->recordButton(), Qt::LeftButton);
    QVERIFY(bench.page->isRecording());
    QVERIFY(!bench.page->recordButton()->isEnabled());
    QVERIFY2(bench.page->recordStatus()->text().contains(QDir::toNativeSeparators(path)),
             qPrintable(bench.page->recordStatus()->text()));

    QVERIFY(bench.sim.openOn(bench.link().engine()));
    QVERIFY(bench.exchange(15));
    // Pause stops the plot, not the log.
    QTest::mouseClick(bench.page->pauseButton(), Qt::LeftButton);
    QVERIFY(bench.exchange(15));
    QTest::mouseClick(bench.page->stopButton(), Qt::LeftButton);
    QVERIFY(!bench.page->isRecording());
    const int decoded = bench.inputs.size();
    QVERIFY(bench.exchange(3)); // nothing more is written
    QLocale::setDefault(saved);

    // The columns named in the window's language (Hungarian at a first start).
    CsvFormat format = CsvFormat::forLocale(locale);
    format.language = TextLanguage::Hungarian;
    QByteArray header;
    const QList<QByteArray> lines = linesOf(path, &header);
    QCOMPARE(header, ReadingsCsvWriter::headerLine(format));
    QVERIFY(header.contains("hőmérséklet"));
    QCOMPARE(lines.size(), decoded);
    // The same requests, answered again by an instrument of the same make:
    // the simulator's replies, one per line, in order.
    InstrumentModel instrument;
    const auto &requests = bench.sim.simulator().receivedRequests();
    QVERIFY(int(requests.size()) >= decoded);
    QDateTime previous;
    for (int i = 0; i < decoded; ++i) {
        const auto &request = requests[std::size_t(i)];
        const InstrumentReply reply = instrument.answer(request.request, request.elapsed);
        const QDateTime time = timeOf(lines[i], format.separator.toLatin1());
        QVERIFY2(time.isValid(), lines[i].constData());
        QVERIFY(!previous.isValid() || time > previous);
        previous = time;
        QCOMPARE(lines[i] + '\n',
                 ReadingsCsvWriter::line(DecodedReading::fromReply(reply, time), format));
    }
}

void TestTrend::aFileThatCannotBeWrittenStopsTheLogNotTheExchange()
{
    Bench bench;
    QTemporaryDir folder;
    QVERIFY(bench.sim.openOn(bench.link().engine()));
    QVERIFY(bench.exchange(3));

    // A folder is no file: a recording that never started says so.
    QVERIFY(!bench.page->startRecording(folder.path()));
    QVERIFY(bench.page->recordStatus()->isVisibleTo(bench.page));
    QVERIFY2(
        bench.page->recordStatus()->text().startsWith(QStringLiteral("A rögzítés nem indult el: ")),
        qPrintable(bench.page->recordStatus()->text()));
    QVERIFY(bench.page->recordButton()->isEnabled() && !bench.page->stopButton()->isEnabled());

    // A file size limit stands in for a disk that fills up after a few lines.
    const QString path = folder.filePath(QStringLiteral("readings.csv"));
    QVERIFY(bench.page->startRecording(path));
    rlimit saved{};
    QVERIFY(::getrlimit(RLIMIT_FSIZE, &saved) == 0);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit limited = saved;
    limited.rlim_cur = rlim_t(QFileInfo(path).size() + 300);
    QVERIFY(::setrlimit(RLIMIT_FSIZE, &limited) == 0);
    const bool stopped = QTest::qWaitFor([&] { return !bench.page->isRecording(); });
    ::setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, oldHandler);
    QVERIFY(stopped);
    // In the window's language, the system's reason too.
    QVERIFY2(
        bench.page->recordStatus()->text().contains(QStringLiteral("nem írható: A fájl túl nagy")),
        qPrintable(bench.page->recordStatus()->text()));
    // Only whole lines are in the file, and the exchange goes on.
    QByteArray header;
    const QList<QByteArray> lines = linesOf(path, &header);
    QVERIFY(!lines.isEmpty());
    for (const QByteArray &line : lines)
        QCOMPARE(line.count(header.at(4)), header.count(header.at(4)));
    const quint32 frames = bench.link().MBNumberOfTxFrames();
    QVERIFY(bench.exchange(5));
    QVERIFY(bench.link().MBNumberOfTxFrames() > frames);

    // Closing the window ends a log too.
    QVERIFY(bench.page->startRecording(path));
    bench.form.close();
    QVERIFY(!bench.page->isRecording());
}

void TestTrend::aDeletedFolderStopsTheLogWithTheReason()
{
    Bench bench;
    QTemporaryDir place;
    const QString path = place.filePath(QStringLiteral("day1/readings.csv"));
    QVERIFY(QDir().mkpath(place.filePath(QStringLiteral("day1"))));
    QVERIFY(bench.page->startRecording(path));
    QVERIFY(bench.sim.openOn(bench.link().engine()));
    QVERIFY(bench.exchange(3));
    // Lines would go on into the deleted file, where nobody can read them.
    QVERIFY(QDir(place.filePath(QStringLiteral("day1"))).removeRecursively());
    QTRY_VERIFY(!bench.page->isRecording());
    const QString status = bench.page->recordStatus()->text();
    QVERIFY2(status.startsWith(QStringLiteral("A rögzítés leállt: ") + path) &&
                 status.contains(QStringLiteral("törölték")),
             qPrintable(status));
}

void TestTrend::everyValueLiesInsideItsAxis_data()
{
    // Temperatures in two phases, the plot drawn after each; a first phase
    // 66 s before the end has left the one-minute span.
    QTest::addColumn<QList<double>>("first");
    QTest::addColumn<QList<double>>("second");
    const auto ramp = [](double from, double to, int count) {
        QList<double> values;
        for (int i = 0; i < count; ++i)
            values << from + (to - from) * i / (count - 1);
        return values;
    };
    QTest::newRow("on the top of the range kept")
        << ramp(23.3, 26.6, 200) << QList<double>(200, 27.0);
    QTest::newRow("on the bottom of the range kept")
        << ramp(26.9, 23.4, 200) << QList<double>(200, 23.0);
    QTest::newRow("constant 0") << QList<double>(50, 0.0) << QList<double>(50, 0.0);
    const QList<double> noise = {23.019, 23.021, 23.019, 23.021, 23.019, 23.021};
    QTest::newRow("23.02 and its noise") << noise << noise;
    QTest::newRow("narrower than the range kept") << ramp(3.0, 22.0, 200) << ramp(0.5, 9.5, 1450);
}

void TestTrend::everyValueLiesInsideItsAxis()
{
    QFETCH(QList<double>, first);
    QFETCH(QList<double>, second);
    Plot plot;
    for (const QList<double> &phase : {first, second}) {
        for (const double value : phase)
            plot.add({}, value);
        plot.picture(TrendQuantity::Temperature);
    }
    const auto picture = plot.picture(TrendQuantity::Temperature);
    const QList<double> values = valuesOf(picture.pieces.value(0));
    const auto [low, high] = std::minmax_element(values.begin(), values.end());

    // No value on an edge, where the plot's border would hide it; the values
    // fill a fair part of the axis; the labels are plain numbers, each its own.
    const double range = picture.axisHigh - picture.axisLow;
    QVERIFY(*low > picture.axisLow + 0.01 * range && *high < picture.axisHigh - 0.01 * range);
    if (*high > *low) QVERIFY(*high - *low >= 0.4 * range);
    QCOMPARE(QSet<QString>(picture.tickTexts.begin(), picture.tickTexts.end()).size(),
             picture.tickTexts.size());
    for (const QString &text : picture.tickTexts)
        QVERIFY2(!text.contains(u'e') && text.size() <= 7, qPrintable(text));
}

void TestTrend::aDenseBandIsDrawnSolid()
{
    Plot plot; // as wide as in the window: more pixels than the span has columns
    QVERIFY(QTest::qWaitForWindowExposed(plot.page.get()));
    // A noisy input: every reading at the other end of the band, for a minute.
    for (int i = 0; i < 60000 / kExchangeMsecs; ++i)
        plot.add(i % 2 ? 13.0 : 11.0, {});
    const auto picture = plot.picture(TrendQuantity::Input);
    // Across the band's middle, over the whole span, the line's colour everywhere.
    const QRectF area = plot.page->chart()->chart()->plotArea();
    const int y = int(area.bottom() - (12.0 - picture.axisLow) * area.height() /
                                          (picture.axisHigh - picture.axisLow));
    const QImage image = plot.page->chart()->viewport()->grab().toImage();
    const QColor line = image.pixelColor(int(area.center().x()), y);
    int gaps = 0;
    for (int x = int(area.left()) + 5; x < int(area.right()) - 5; ++x)
        gaps += image.pixelColor(x, y) != line;
    QCOMPARE(gaps, 0);
}

void TestTrend::theSpanIsKeptBetweenRuns()
{
    WindowSetup setup;
    {
        TForm_Main form(setup.environment());
        QCOMPARE(form.TabSheet_Trend->spanMinutes(), 5); // the first start's
        form.TabSheet_Trend->spanBox()->setCurrentIndex(2);
        form.close();
    }
    QVERIFY(ProfileDocument(setup.readIni()).sectionNames().endsWith(QStringLiteral("Trend")));
    TForm_Main next(setup.environment());
    QCOMPARE(next.TabSheet_Trend->spanMinutes(), 15);
}

QTEST_MAIN(TestTrend)
#include "tst_trend.moc"
