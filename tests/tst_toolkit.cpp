// The toolkit semantics the main window relies on: speed-button groups,
// radio-group selection, user-only page changes, track-bar and edit events,
// and the same controls built by uic from a form.
#include <QtTest>

#include <QRadioButton>
#include <QTabBar>

#include "ui/pictures.h"
#include "ui_toolkit_form.h"
#include "widgets/bevel.h"
#include "widgets/edit.h"
#include "widgets/pagecontrol.h"
#include "widgets/radiogroup.h"
#include "widgets/shape.h"
#include "widgets/speedbutton.h"
#include "widgets/trackbar.h"

namespace {
TSpeedButton *makeButton(QWidget *parent, int group, bool allowAllUp, int x)
{
    auto *b = new TSpeedButton(parent);
    b->setGroupIndex(group);
    b->setAllowAllUp(allowAllUp);
    b->setGeometry(x, 0, 40, 20);
    return b;
}

void click(QWidget *w)
{
    QTest::mouseClick(w, Qt::LeftButton, {}, w->rect().center());
}

// A radio button reacts to clicks on its indicator and label only.
void clickRadio(QRadioButton *b)
{
    QTest::mouseClick(b, Qt::LeftButton, {}, QPoint(6, b->height() / 2));
}

// Brings a window up with the keyboard focus, as the offscreen platform
// activates windows on request.
void showActive(QWidget &w)
{
    w.show();
    w.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&w));
}
} // namespace

class TestToolkit : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { initPictures(); }

    // --- speed buttons ---------------------------------------------------
    void speedButtonGroupWithAllUp()
    {
        QWidget parent;
        TSpeedButton *a = makeButton(&parent, 101, true, 0);
        TSpeedButton *b = makeButton(&parent, 101, true, 50);
        TSpeedButton *c = makeButton(&parent, 101, true, 100);
        QWidget other(&parent); // same group number, other parent: another group
        TSpeedButton *foreign = makeButton(&other, 101, true, 0);
        foreign->setDown(true);
        parent.show();
        QSignalSpy clicksA(a, &TSpeedButton::OnClick), clicksB(b, &TSpeedButton::OnClick),
            clicksC(c, &TSpeedButton::OnClick);

        // The state is already updated when OnClick runs.
        bool downInHandler = false;
        connect(a, &TSpeedButton::OnClick, this, [&] { downInHandler = a->Down(); });
        click(a);
        QVERIFY(a->Down());
        QVERIFY(downInHandler);
        QCOMPARE(clicksA.count(), 1);

        click(a); // pressing the down one again releases it
        QVERIFY(!a->Down());
        QVERIFY(!downInHandler);
        QCOMPARE(clicksA.count(), 2);

        click(a);
        click(b); // pressing another releases the first
        QVERIFY(!a->Down());
        QVERIFY(b->Down());
        QCOMPARE(clicksB.count(), 1);

        c->setDown(true); // from code: releases the others, no click anywhere
        QVERIFY(c->Down());
        QVERIFY(!b->Down());
        QCOMPARE(clicksA.count(), 3);
        QCOMPARE(clicksB.count(), 1);
        QCOMPARE(clicksC.count(), 0);

        c->setDown(false); // released from code, still no click
        QVERIFY(!a->Down() && !b->Down() && !c->Down());
        QCOMPARE(clicksC.count(), 0);
        QVERIFY(foreign->Down());
    }

    void speedButtonGroupWithoutAllUp()
    {
        QWidget parent;
        TSpeedButton *en = makeButton(&parent, 30, false, 0);
        TSpeedButton *hu = makeButton(&parent, 30, false, 50);
        TSpeedButton *cmd = makeButton(&parent, 5, true, 100); // other group, same parent
        parent.show();
        en->setDown(true);
        cmd->setDown(true);
        QSignalSpy clicksEn(en, &TSpeedButton::OnClick), clicksHu(hu, &TSpeedButton::OnClick);

        click(en); // already down: stays down, the click is still reported
        QVERIFY(en->Down());
        QCOMPARE(clicksEn.count(), 1);

        click(hu);
        QVERIFY(hu->Down());
        QVERIFY(!en->Down());
        QCOMPARE(clicksHu.count(), 1);
        QVERIFY(cmd->Down()); // other groups are untouched

        en->setDown(true);
        QVERIFY(!hu->Down());
        QCOMPARE(clicksEn.count(), 1);
        QCOMPARE(clicksHu.count(), 1);
    }

    void speedButtonOutsideAGroupDoesNotLatch()
    {
        QWidget parent;
        TSpeedButton *next = makeButton(&parent, 0, false, 0);
        parent.show();
        QSignalSpy clicks(next, &TSpeedButton::OnClick);
        click(next);
        click(next);
        QCOMPARE(clicks.count(), 2);
        QVERIFY(!next->Down());
        QCOMPARE(next->focusPolicy(), Qt::NoFocus);
    }

    void speedButtonJoiningAGroupReleasesItsMates()
    {
        QWidget parent;
        TSpeedButton *a = makeButton(&parent, 8, false, 0);
        a->setDown(true);
        // A form may set Down before GroupIndex: the group is enforced then.
        auto *b = new TSpeedButton(&parent);
        b->setDown(true);
        QVERIFY(a->Down());
        b->setGroupIndex(8);
        QVERIFY(b->Down());
        QVERIFY(!a->Down());
        b->setGroupIndex(-3);
        QCOMPARE(b->GroupIndex(), 0);
    }

    void speedButtonLooksPressedWhenDown()
    {
        TSpeedButton b;
        b.setText(QStringLiteral("Restart"));
        b.setGroupIndex(5);
        b.resize(65, 25);
        b.show();
        const QImage up = b.grab().toImage();
        b.setDown(true);
        const QImage down = b.grab().toImage();
        QVERIFY(up != down);
        // The face darkens: average brightness drops clearly.
        auto brightness = [](const QImage &img) {
            qint64 sum = 0;
            for (int y = 0; y < img.height(); ++y)
                for (int x = 0; x < img.width(); ++x)
                    sum += qGray(img.pixel(x, y));
            return double(sum) / (img.width() * img.height());
        };
        QVERIFY2(brightness(down) < brightness(up) - 10,
                 qPrintable(QString::number(brightness(up)) + " vs " +
                            QString::number(brightness(down))));
    }

    void speedButtonShowsItsGlyph()
    {
        TSpeedButton b;
        b.resize(73, 55);
        b.setGlyph(QIcon(picturePath(QStringLiteral("next.svg"))));
        QVERIFY(!b.Glyph().isNull());
        b.show();
        const QImage img = b.grab().toImage();
        int bluish = 0;
        for (int y = 0; y < img.height(); ++y)
            for (int x = 0; x < img.width(); ++x) {
                const QColor c = img.pixelColor(x, y);
                bluish += c.blue() > 150 && c.red() < 100;
            }
        QVERIFY2(bluish > 200, qPrintable(QString::number(bluish))); // the blue arrow
    }

    // --- radio groups ----------------------------------------------------
    void radioGroupClickFromCodeAndUser()
    {
        TRadioGroup g;
        g.setItems({QStringLiteral("Current"), QStringLiteral("Voltage")});
        QCOMPARE(g.ItemIndex(), -1);
        g.resize(169, 57);
        g.show();
        QSignalSpy clicks(&g, &TRadioGroup::OnClick);

        g.setItemIndex(0);
        QCOMPARE(clicks.count(), 1);
        QVERIFY(g.button(0)->isChecked());
        g.setItemIndex(0); // no change, no click
        QCOMPARE(clicks.count(), 1);

        g.setItemIndex(7); // past the end selects the last item
        QCOMPARE(g.ItemIndex(), 1);
        QCOMPARE(clicks.count(), 2);
        g.setItemIndex(-5); // below -1: no selection
        QCOMPARE(g.ItemIndex(), -1);
        QVERIFY(!g.button(0)->isChecked() && !g.button(1)->isChecked());
        QCOMPARE(clicks.count(), 3);

        clickRadio(g.button(1));
        QCOMPARE(g.ItemIndex(), 1);
        QCOMPARE(clicks.count(), 4);
        clickRadio(g.button(1)); // the selected item again: nothing changes
        QCOMPARE(g.ItemIndex(), 1);
        QVERIFY(g.button(1)->isChecked());
        QCOMPARE(clicks.count(), 4);
        clickRadio(g.button(0));
        QCOMPARE(g.ItemIndex(), 0);
        QVERIFY(!g.button(1)->isChecked());
        QCOMPARE(clicks.count(), 5);
    }

    void radioGroupItemReplacement()
    {
        TRadioGroup g;
        g.setItems({QStringLiteral("Current"), QStringLiteral("Voltage")});
        g.setItemIndex(1);
        QSignalSpy clicks(&g, &TRadioGroup::OnClick);

        // The language switch: remember, replace, select again.
        const int remembered = g.ItemIndex();
        g.setItems({QStringLiteral("Áram"), QStringLiteral("Feszültség")});
        g.setItemIndex(remembered);
        QCOMPARE(g.ItemIndex(), 1);
        QCOMPARE(g.button(1)->text(), QStringLiteral("Feszültség"));
        QVERIFY(g.button(1)->isChecked());
        QCOMPARE(g.findChildren<QRadioButton *>().size(), 2); // old buttons are gone
        QCOMPARE(clicks.count(), 0);

        // Fewer items than the index: no selection, reported as a change.
        g.setItems({QStringLiteral("Only")});
        QCOMPARE(g.ItemIndex(), -1);
        QCOMPARE(clicks.count(), 1);
        g.setItems({});
        QCOMPARE(g.ItemIndex(), -1);
        QCOMPARE(clicks.count(), 1);
    }

    void radioGroupColumns()
    {
        TRadioGroup g;
        g.setColumns(2);
        g.setItems({"a", "b", "c", "d"});
        g.resize(200, 80);
        g.show();
        QVERIFY(QTest::qWaitForWindowExposed(&g));
        // Items run down the first column, then the second.
        QCOMPARE(g.button(1)->x(), g.button(0)->x());
        QVERIFY(g.button(1)->y() > g.button(0)->y());
        QVERIFY(g.button(2)->x() > g.button(0)->x());
        g.setColumns(0);
        QCOMPARE(g.Columns(), 1);
    }

    // --- page control ----------------------------------------------------
    void pageControlChangesOnlyByTheUser()
    {
        TPageControl pc;
        auto *settings = new QWidget;
        auto *hidden = new QWidget;
        hidden->setProperty(TPageControl::TabVisibleProperty, false);
        auto *test = new QWidget;
        pc.addTab(settings, QStringLiteral("Settings"));
        pc.addTab(hidden, QStringLiteral("Input Calibration"));
        pc.addTab(test, QStringLiteral("Test Page"));
        pc.resize(400, 300);
        showActive(pc);
        QVERIFY(!pc.isTabVisible(hidden));
        QVERIFY(pc.isTabVisible(settings));
        QCOMPARE(pc.count(), 3);
        QSignalSpy changes(&pc, &TPageControl::OnChange);

        QTabBar *bar = pc.tabBar();
        QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(2).center());
        QCOMPARE(pc.ActivePage(), test);
        QCOMPARE(changes.count(), 1);

        // Clicking the tab of the page already shown changes nothing.
        QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(2).center());
        QCOMPARE(changes.count(), 1);

        pc.setActivePageIndex(0);
        QCOMPARE(pc.ActivePage(), settings);
        pc.setActivePage(test);
        QCOMPARE(pc.ActivePageIndex(), 2);
        pc.setActivePageIndex(99); // clamps
        QCOMPARE(pc.ActivePageIndex(), 2);
        pc.setActivePage(nullptr); // not a page: ignored
        QCOMPARE(pc.ActivePageIndex(), 2);
        QCOMPARE(changes.count(), 1);

        // Keyboard on the tab bar is the user too.
        bar->setFocus();
        QTest::keyClick(bar, Qt::Key_Left);
        QCOMPARE(pc.ActivePage(), settings); // the hidden tab is skipped
        QCOMPARE(changes.count(), 2);
        QTest::keyClick(&pc, Qt::Key_Tab, Qt::ControlModifier);
        QCOMPARE(pc.ActivePage(), test);
        QCOMPARE(changes.count(), 3);
    }

    void pageControlHiddenTabsKeepTheirPages()
    {
        TPageControl pc;
        QWidget *pages[3];
        for (auto &p : pages) {
            p = new QWidget;
            pc.addTab(p, QStringLiteral("step"));
        }
        pc.resize(300, 200);
        showActive(pc);
        QSignalSpy changes(&pc, &TPageControl::OnChange);

        // Hiding the active page's tab leaves that page active and shown.
        pc.setTabVisible(pages[0], false);
        QCOMPARE(pc.ActivePage(), pages[0]);
        QVERIFY(pages[0]->isVisible());
        QCOMPARE(pages[0]->property(TPageControl::TabVisibleProperty), QVariant(false));

        // A wizard with every tab hidden moves between its pages from code.
        pc.setTabVisible(1, false);
        pc.setTabVisible(2, false);
        for (int i : {2, 1, 0, 1}) {
            pc.setActivePageIndex(i);
            QCOMPARE(pc.ActivePage(), pages[i]);
            QVERIFY(pages[i]->isVisible());
            for (int j = 0; j < 3; ++j)
                if (j != i) QVERIFY(!pages[j]->isVisible());
        }
        pc.setTabVisible(pages[2], true);
        QVERIFY(pc.isTabVisible(pages[2]));
        QCOMPARE(pc.ActivePage(), pages[1]);
        QCOMPARE(changes.count(), 0);
    }

    // --- track bar -------------------------------------------------------
    void trackBarChangesFromCodeToo()
    {
        QWidget w;
        auto *tb = new TTrackBar(&w);
        auto *other = new TEdit(&w);
        other->move(0, 50);
        tb->setMin(0);
        tb->setMax(20);
        QSignalSpy changes(tb, &TTrackBar::OnChange);
        tb->setPosition(7);
        QCOMPARE(changes.count(), 1);
        tb->setPosition(7); // same position: nothing
        QCOMPARE(changes.count(), 1);
        tb->setPosition(25); // clamps
        QCOMPARE(tb->Position(), 20);
        QCOMPARE(changes.count(), 2);
        tb->setMax(10); // the range pulls the position along: a change too
        QCOMPARE(tb->Position(), 10);
        QCOMPARE(changes.count(), 3);
        QCOMPARE(tb->orientation(), Qt::Horizontal);

        // The user moving it is a change as well.
        showActive(w);
        tb->setFocus();
        QTest::keyClick(tb, Qt::Key_Left);
        QCOMPARE(tb->Position(), 9);
        QCOMPARE(changes.count(), 4);

        // Whether the user holds it is observable through the focus.
        QVERIFY(tb->hasFocus());
        other->setFocus();
        QTRY_VERIFY(!tb->hasFocus());
    }

    // --- edit --------------------------------------------------------------
    void editExitWhenTheFocusLeaves()
    {
        QWidget w;
        auto *low = new TEdit(&w);
        auto *high = new TEdit(&w);
        high->move(0, 40);
        showActive(w);
        QSignalSpy exits(low, &TEdit::OnExit);
        low->setFocus();
        QTRY_VERIFY(low->hasFocus());
        QCOMPARE(exits.count(), 0);
        high->setFocus(Qt::TabFocusReason);
        QTRY_COMPARE(exits.count(), 1);

        // Another window taking the focus is not leaving the edit.
        low->setFocus();
        QTRY_VERIFY(low->hasFocus());
        QWidget other;
        showActive(other);
        QTRY_VERIFY(!low->hasFocus());
        QCOMPARE(exits.count(), 1);
    }

    void editKeyPressMayReplaceOrSwallow()
    {
        QWidget w;
        auto *e = new TEdit(&w);
        showActive(w);
        e->setFocus();
        QString seen;
        connect(e, &TEdit::OnKeyPress, this, [&](QChar &key) {
            seen += key;
            if (key == u',')
                key = u'.';
            else if (key == u'x')
                key = QChar();
        });
        QTest::keyClicks(e, QStringLiteral("1,5x2"));
        QCOMPARE(e->text(), QStringLiteral("1.52"));
        QCOMPARE(seen, QStringLiteral("1,5x2"));

        // Editing keys are not characters: the handler never sees them.
        QTest::keyClick(e, Qt::Key_Backspace);
        QTest::keyClick(e, Qt::Key_Home);
        QCOMPARE(e->text(), QStringLiteral("1.5"));
        QCOMPARE(seen, QStringLiteral("1,5x2"));

        // A replacement is typed like the original: it replaces a selection
        // and respects the length limit.
        e->selectAll();
        QTest::keyClick(e, Qt::Key_Comma);
        QCOMPARE(e->text(), QStringLiteral("."));
        e->setMaxLength(2);
        QTest::keyClicks(e, QStringLiteral("7,"));
        QCOMPARE(e->text(), QStringLiteral(".7"));
    }

    // --- shape and bevel ---------------------------------------------------
    void shapePaintsPenAndBrush()
    {
        TShape s;
        s.resize(12, 12);
        s.setPenColor(Qt::black);
        s.setBrushColor(QColor(0, 255, 0));
        QCOMPARE(s.BrushColor(), QColor(0, 255, 0));
        QImage img = s.grab().toImage();
        QCOMPARE(img.pixelColor(0, 0), QColor(Qt::black));
        QCOMPARE(img.pixelColor(11, 11), QColor(Qt::black));
        QCOMPARE(img.pixelColor(6, 6), QColor(0, 255, 0));
        s.setBrushColor(Qt::red);
        img = s.grab().toImage();
        QCOMPARE(img.pixelColor(6, 6), QColor(Qt::red));
        s.setPenWidth(99);
        QCOMPARE(s.PenWidth(), 32);
    }

    void bevelIsLowered()
    {
        TBevel b;
        b.resize(9, 40);
        const QImage img = b.grab().toImage();
        const QColor dark = b.palette().color(QPalette::Dark);
        const QColor light = b.palette().color(QPalette::Light);
        QCOMPARE(img.pixel(0, 20), dark.rgb());  // shadow left
        QCOMPARE(img.pixel(8, 20), light.rgb()); // highlight right
        b.setStyle(TBevel::BevelStyle::bsRaised);
        QCOMPARE(b.grab().toImage().pixel(0, 20), light.rgb());
    }

    // --- the same controls as a form builds them -------------------------
    void controlsFromAForm()
    {
        QWidget host;
        Ui::ToolkitForm ui;
        ui.setupUi(&host);
        QVERIFY(ui.SpeedButton_Angol->Down());
        QVERIFY(!ui.SpeedButton_Magyar->Down());
        QCOMPARE(ui.SpeedButton_Angol->GroupIndex(), 30);
        QVERIFY(!ui.SpeedButton_Next->Glyph().isNull());
        // The form lists the index before the items; the selection survives.
        QCOMPARE(ui.RadioGroup_Type->Items().size(), 2);
        QCOMPARE(ui.RadioGroup_Type->ItemIndex(), 1);
        QCOMPARE(ui.TrackBar_PWM->Position(), 50);
        QCOMPARE(ui.TrackBar_PWM->PageSize(), 10);
        QCOMPARE(ui.Shape_Lamp->BrushColor(), QColor(Qt::red));
        QCOMPARE(ui.PageControl1->count(), 2);
        QVERIFY(ui.PageControl1->isTabVisible(ui.TabSheet_Uzemmod));
        QVERIFY(!ui.PageControl1->isTabVisible(ui.TabSheet_Test));
        QCOMPARE(ui.PageControl1->ActivePage(), ui.TabSheet_Uzemmod);
        QVERIFY(!ui.PageControl4->isTabVisible(0));
        QVERIFY(!ui.PageControl4->isTabVisible(1));
        QCOMPARE(ui.PageControl4->ActivePage(), ui.TabSheet_OutCalStep2);
        showActive(host);
        QVERIFY(ui.TabSheet_OutCalStep2->isVisible());
        QVERIFY(ui.TabSheet_Uzemmod->isVisible());

        QSignalSpy language(ui.SpeedButton_Magyar, &TSpeedButton::OnClick);
        click(ui.SpeedButton_Magyar);
        QCOMPARE(language.count(), 1);
        QVERIFY(ui.SpeedButton_Magyar->Down());
        QVERIFY(!ui.SpeedButton_Angol->Down());
    }
};

QTEST_MAIN(TestToolkit)
#include "tst_toolkit.moc"
