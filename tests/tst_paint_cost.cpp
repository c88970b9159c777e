// The window's labels that fill their own background: the window looks the
// same pixel for pixel, on screen after replies have been shown and in a
// fresh rendering, as with transparent labels; and a reply that changes only
// values repaints the labels, not the group boxes, pages and window beneath.
#include <QtTest>

#include <QHash>
#include <QLabel>
#include <QScreen>

#include "app/form_main.h"
#include "panel/mb.h"
#include "support/formaccess.h"
#include "support/simulator_runner.h"
#include "support/windowsetup.h"
#include "ui/opaquelabels.h"
#include "widgets/pagecontrol.h"

using formaccess::control;
using formaccess::mb1;

namespace {

// Paint events per control, and the area they covered, for every control
// of the application.
class PaintCounter : public QObject {
public:
    PaintCounter() { qApp->installEventFilter(this); }
    ~PaintCounter() override { qApp->removeEventFilter(this); }
    int count(const QObject *control) const { return m_counts.value(control); }
    QRegion painted(const QObject *control) const { return m_regions.value(control); }
    QList<const QObject *> controls() const { return m_counts.keys(); }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Paint) {
            ++m_counts[watched];
            m_regions[watched] += static_cast<QPaintEvent *>(event)->region();
        }
        return false;
    }

private:
    QHash<const QObject *, int> m_counts;
    QHash<const QObject *, QRegion> m_regions;
};

// Lets the posted layout requests, background readings and repaints run.
void settle()
{
    for (int i = 0; i < 5; ++i) {
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents();
    }
}

// Runs the pending layouts and repaints, and nothing else: no exchange can
// change a value meanwhile.
void flushRepaints()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::UpdateRequest);
}

// What the window shows on the (offscreen) screen: its backing store, built
// up by the repaints so far, not a fresh rendering.
QImage onScreen(QWidget &window)
{
    flushRepaints();
    return window.screen()
        ->grabWindow(window.winId())
        .toImage()
        .convertToFormat(QImage::Format_RGB32);
}

QImage rendered(QWidget &window)
{
    return window.grab().toImage().convertToFormat(QImage::Format_RGB32);
}

// The first pixel where two images differ, for the failure message.
QString firstDifference(const QImage &a, const QImage &b)
{
    if (a.size() != b.size())
        return QStringLiteral("sizes differ: %1x%2 and %3x%4")
            .arg(a.width())
            .arg(a.height())
            .arg(b.width())
            .arg(b.height());
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x)
            if (a.pixel(x, y) != b.pixel(x, y))
                return QStringLiteral("pixel (%1, %2): %3 and %4")
                    .arg(x)
                    .arg(y)
                    .arg(a.pixel(x, y), 8, 16)
                    .arg(b.pixel(x, y), 8, 16);
    return {};
}

class Bench {
public:
    explicit Bench(bool factory)
        : setup(factory ? QStringList{QStringLiteral("/VARNEL")} : QStringList{}),
          form(setup.environment())
    {
        form.show();
        form.FormActivate(&form);
    }
    void showPage(const char *name)
    {
        control<TPageControl>(form, "PageControl1")->setActivePage(control<QWidget>(form, name));
    }
    bool start() { return sim.isRunning() && sim.openOn(mb1(form)->engine()); }
    bool exchange(int count) { return sim.waitForExchanges(sim.exchanges() + count); }

    SimulatorRunner sim;
    WindowSetup setup;
    TForm_Main form;
};

} // namespace

class TestPaintCost : public QObject {
    Q_OBJECT

private slots:
    void lookUnchanged_data()
    {
        QTest::addColumn<bool>("factory");
        QTest::addColumn<QString>("page");
        QTest::newRow("normal view") << false << "TabSheet_Uzemmod";
        QTest::newRow("factory: settings") << true << "TabSheet_Uzemmod";
        QTest::newRow("factory: input calibration") << true << "TabSheet_InputCalibration";
        QTest::newRow("factory: output calibration") << true << "TabSheet_OutputCalibration";
        QTest::newRow("factory: output check") << true << "TabSheet_KimenetEllenorzes";
        QTest::newRow("factory: test page") << true << "TabSheet_Test";
    }

    // Replies shown with filling labels, on screen and rendered afresh, look
    // as the same window does with every label transparent again. The images
    // are taken without running the event loop, so no reply comes between.
    void lookUnchanged()
    {
        QFETCH(bool, factory);
        QFETCH(QString, page);
        Bench bench(factory);
        bench.showPage(page.toLatin1().constData());
        QVERIFY2(bench.start(), qPrintable(bench.sim.errorText()));
        QVERIFY(bench.exchange(3));
        // Labels fill from the first readings after being shown on, and the
        // next replies repaint them that way.
        QTRY_VERIFY(opaqueLabelCount(&bench.form) >= 10);
        QVERIFY(bench.exchange(5));

        const QImage screenWithFill = onScreen(bench.form);
        const QImage renderedWithFill = rendered(bench.form);
        QVERIFY(opaqueLabelCount(&bench.form) >= 10);
        QRegion filled; // the filling labels' places in the window
        for (QLabel *label : bench.form.findChildren<QLabel *>())
            if (label->isVisible() && label->testAttribute(Qt::WA_OpaquePaintEvent))
                filled += QRect(label->mapTo(&bench.form, QPoint(0, 0)), label->size());
        removeOpaqueLabels(&bench.form);
        QCOMPARE(opaqueLabelCount(&bench.form), 0);
        bench.form.repaint(); // all of it, as Qt paints it by itself
        const QImage screenWithout = onScreen(bench.form);
        const QImage renderedWithout = rendered(bench.form);

        QVERIFY2(renderedWithFill == renderedWithout,
                 qPrintable(firstDifference(renderedWithFill, renderedWithout)));
        // On screen, the places of the filling labels: the window's repaints
        // differ from a full one elsewhere on some pages (a track bar), with
        // transparent labels as well.
        QVERIFY(!filled.isEmpty());
        for (const QRect &place : filled)
            QVERIFY2(
                screenWithFill.copy(place) == screenWithout.copy(place),
                qPrintable(firstDifference(screenWithFill.copy(place), screenWithout.copy(place))));
    }

    // A label that moves or changes size is read again at its new place, or
    // fills at once at a place among the same neighbours where it was read
    // before; a label overlapping one beneath it does not fill over it.
    void labelMovedOrCovering()
    {
        Bench bench(false);
        QVERIFY2(bench.start(), qPrintable(bench.sim.errorText()));
        QVERIFY(bench.exchange(3));
        auto *value = control<QLabel>(bench.form, "Label_BemenoErtek");
        QTRY_VERIFY(value->testAttribute(Qt::WA_OpaquePaintEvent));

        // Onto the group box's frame line: transparent at once, and no flat
        // colour to fill there.
        const QRect home = value->geometry();
        value->move(0, home.y());
        QVERIFY(!value->testAttribute(Qt::WA_OpaquePaintEvent));
        {
            // Tried again after letting events run: on a busy machine a reply
            // can land, or a repaint still be due, between the two pictures.
            QString difference;
            const auto screenShowsWindow = [&] {
                const QImage screen = onScreen(bench.form);
                const QImage fresh = rendered(bench.form);
                difference = firstDifference(screen, fresh);
                return screen == fresh;
            };
            QTRY_VERIFY2(screenShowsWindow(), qPrintable(difference));
        }
        settle();
        QVERIFY(!value->testAttribute(Qt::WA_OpaquePaintEvent));

        // Back home: it fills again.
        value->setGeometry(home);
        QTRY_VERIFY(value->testAttribute(Qt::WA_OpaquePaintEvent));

        // Away, and back to where it was read before: it fills at once, and
        // nothing beneath it is painted there again.
        value->move(home.topLeft() + QPoint(3, 0));
        settle();
        {
            PaintCounter paints;
            value->setGeometry(home);
            QVERIFY(value->testAttribute(Qt::WA_OpaquePaintEvent));
            flushRepaints();
            QVERIFY(!paints.painted(value->parentWidget()).intersects(home));
            QCOMPARE(onScreen(bench.form)
                         .copy(QRect(value->mapTo(&bench.form, QPoint(0, 0)), value->size())),
                     rendered(bench.form)
                         .copy(QRect(value->mapTo(&bench.form, QPoint(0, 0)), value->size())));
        }

        // Over a label beneath it: it would hide that label's text.
        auto *beneath = new QLabel(QStringLiteral("under"), value->parentWidget());
        beneath->setGeometry(home.adjusted(10, 2, -10, -2));
        beneath->stackUnder(value);
        beneath->show();
        value->resize(value->size() + QSize(0, 1)); // a change that asks for a new reading
        settle();
        QVERIFY(!value->testAttribute(Qt::WA_OpaquePaintEvent));
        QCOMPARE(onScreen(bench.form), rendered(bench.form));
        // Home again, where it filled before the label beneath came: read
        // again, among its new neighbour.
        value->setGeometry(home);
        settle();
        QVERIFY(!value->testAttribute(Qt::WA_OpaquePaintEvent));
        QCOMPARE(onScreen(bench.form), rendered(bench.form));
    }

    // Replies that change only values repaint the value labels; nothing
    // beneath a filling label (its group box, page, tab frame, window) is
    // painted again at its place.
    void parentsNotRepainted()
    {
        Bench bench(false);
        QVERIFY2(bench.start(), qPrintable(bench.sim.errorText()));
        QVERIFY(bench.exchange(3));
        QTRY_VERIFY(opaqueLabelCount(&bench.form) >= 10);
        QVERIFY(bench.exchange(2));
        settle();

        PaintCounter paints;
        QVERIFY(bench.exchange(10));
        settle();

        // The values did change and were painted...
        const char *const values[] = {"Label_BemenoErtek", "Label_OutputValue"};
        for (const char *name : values) {
            auto *label = control<QLabel>(bench.form, name);
            QVERIFY2(paints.count(label) > 0, name);
            QVERIFY2(label->testAttribute(Qt::WA_OpaquePaintEvent), name);
            // ...and nothing beneath them was, at their place.
            for (QWidget *under = label->parentWidget(); under; under = under->parentWidget()) {
                const QRect place(label->mapTo(under, QPoint(0, 0)), label->size());
                QVERIFY2(!paints.painted(under).intersects(place),
                         qPrintable(QStringLiteral("%1 under %2")
                                        .arg(under->objectName(), QLatin1String(name))));
            }
        }
        // The groups holding only such values are not painted at all.
        const char *const groups[] = {"GroupBox2", "GroupBox3", "TabSheet_Uzemmod", "PageControl1"};
        for (const char *name : groups)
            QVERIFY2(paints.count(control<QWidget>(bench.form, name)) == 0, name);
    }

    void overlappingLabels_data()
    {
        QTest::addColumn<bool>("factory");
        QTest::addColumn<QString>("page");
        QTest::addColumn<QString>("beneath"); // the label stacked under the other
        QTest::addColumn<QString>("above");
        QTest::addColumn<QString>("group");
        QTest::addColumn<bool>("lowerFills");
        QTest::newRow("raw and averaged reading")
            << false << "TabSheet_Uzemmod" << "Label_ADErtek" << "Label_ADErtekAtlagolt"
            << "GroupBox_System" << true;
        QTest::newRow("second channel")
            << false << "TabSheet_Uzemmod" << "Label_ADErtek2" << "Label_ADErtekAtlagolt2"
            << "GroupBox_System" << true;
        QTest::newRow("frame counters") << false << "TabSheet_Uzemmod" << "Label_TxCounter"
                                        << "Label_RxCounter" << "MB1" << true;
        // The minimum touches the frame's inner line: only the maximum fills.
        QTest::newRow("test page minimum and maximum")
            << true << "TabSheet_Test" << "Label_Min0" << "Label_Max0" << "GroupBox4" << false;
    }

    // Two labels sharing a few rows: new texts repaint the labels, not their
    // group box; and where the lower one's text reaches into the shared rows,
    // the upper one's fill does not hide it.
    void overlappingLabels()
    {
        QFETCH(bool, factory);
        QFETCH(QString, page);
        QFETCH(QString, beneath);
        QFETCH(QString, above);
        QFETCH(QString, group);
        QFETCH(bool, lowerFills);
        Bench bench(factory);
        bench.showPage(page.toLatin1().constData());
        auto *lower = control<QLabel>(bench.form, beneath.toLatin1().constData());
        auto *upper = control<QLabel>(bench.form, above.toLatin1().constData());
        auto *box = control<QWidget>(bench.form, group.toLatin1().constData());
        QVERIFY(lower->geometry().intersects(upper->geometry()));
        QVERIFY(box->children().indexOf(lower) < box->children().indexOf(upper));
        box->show(); // the system group appears with the instrument's first reply
        // Texts of one width each, so the labels keep their places.
        lower->setText(QStringLiteral("1 234 567"));
        upper->setText(QStringLiteral("2 345 678"));
        settle();
        QVERIFY(upper->testAttribute(Qt::WA_OpaquePaintEvent));
        QCOMPARE(lower->testAttribute(Qt::WA_OpaquePaintEvent), lowerFills);

        PaintCounter paints;
        upper->setText(QStringLiteral("8 765 432"));
        if (lowerFills) lower->setText(QStringLiteral("7 654 321"));
        flushRepaints();
        QVERIFY(paints.count(upper) > 0);
        if (lowerFills) QVERIFY(paints.count(lower) > 0);
        QCOMPARE(paints.count(box), 0);

        // Descenders and a comma reach the shared rows.
        lower->setText(QStringLiteral("gjpq,y"));
        settle();
        QVERIFY(upper->testAttribute(Qt::WA_OpaquePaintEvent));
        lower->setText(QStringLiteral("yqpjg,"));
        upper->setText(QStringLiteral("3 456 789"));
        const QRect place(
            box->mapTo(&bench.form, lower->geometry().united(upper->geometry()).topLeft()),
            lower->geometry().united(upper->geometry()).size());
        const QImage withFill = onScreen(bench.form).copy(place);
        removeOpaqueLabels(&bench.form);
        bench.form.repaint();
        const QImage without = onScreen(bench.form).copy(place);
        QVERIFY2(withFill == without, qPrintable(firstDifference(withFill, without)));
    }
};

QTEST_MAIN(TestPaintCost)
#include "tst_paint_cost.moc"
