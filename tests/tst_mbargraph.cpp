// The bar graph control: construction values, geometry of the four layouts,
// clamping, the value text and its placement rules, colours, the painted
// parts, and what a new or an unchanged value repaints.
#include <QLabel>
#include <QtTest>
#include <cmath>
#include <limits>

#include "common/rounding.h"
#include "text/numberpattern.h"
#include "widgets/mbargraph.h"

using namespace kxcolor;
using TextPos = TMBGTextPosition;

namespace {

QRect bounds(const MBGPart *part)
{
    return part->geometry();
}
bool shown(const MBGPart *part)
{
    return part->isShown();
}
TColor textColor(const MBGText *text)
{
    return text->color();
}

// An unsigned horizontal bar of the given width, text outside for
// predictable text geometry unless the test says otherwise.
void makeUnsigned(TMBarGraph &bar, int width, TextPos position = TextPos::tpOutside)
{
    bar.resize(width, 17);
    bar.setMBGMode(TMBGMode::modeUnsigned);
    bar.setMBGTextPosition(position);
}

} // namespace

class TestMBarGraph : public QObject {
    Q_OBJECT
private slots:
    void init() { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); }
    void cleanup() { QLocale::setDefault(QLocale::c()); }

    void constructionValues();
    void designerPropertiesClampOnWrite();

    void signedHorizontalFullNegative();
    void signedHorizontalPositiveAndHalf();
    void middleTiesGoToEven();
    void zeroHidesBothBars();
    void valuesAreClampedForDrawingOnly();
    void signedVertical();
    void unsignedVertical();
    void minimumSizeFollowsOrientation();

    void unsignedHorizontalBar();
    void negativeUnsignedTextAgainstLastBounds();
    void overFullScale();
    void decimalsAndSeparator();
    void textPositions();
    void autoPositionHysteresis();
    void textInOtherLayouts();
    void showTextAndFont();

    void colourBlendOnTheBars();
    void inverseText();
    void rendering();

    void textAsALabelPaintsIt_data();
    void textAsALabelPaintsIt();
    void repaintsOnlyWhatChanged();
};

void TestMBarGraph::constructionValues()
{
    TMBarGraph bar;
    QCOMPARE(bar.objectName(), QStringLiteral("MBarGraph"));
    QCOMPARE(bar.size(), QSize(105, 17));
    QCOMPARE(bar.minimumSize(), QSize(30, 5));
    QCOMPARE(bar.frameShape(), QFrame::Panel);
    QCOMPARE(bar.frameShadow(), QFrame::Sunken);
    QCOMPARE(bar.backgroundRole(), QPalette::Button);
    QCOMPARE(bar.MBGOrientation(), TMBGOrientation::orientationHorizontal);
    QCOMPARE(bar.MBGValue(), 0.5);
    QCOMPARE(bar.MBGMinusColorAt0(), white);
    QCOMPARE(bar.MBGMinusColorAt1(), TColor(0xFF0000));
    QCOMPARE(bar.MBGPlusColorAt0(), white);
    QCOMPARE(bar.MBGPlusColorAt1(), TColor(0x0000FF));
    QCOMPARE(bar.MBGMode(), TMBGMode::modeUnsigned);
    QVERIFY(bar.MBGShowText());
    QVERIFY(!bar.MBGInverseText());
    QCOMPARE(bar.MBGTextPosition(), TextPos::tpAuto);
    QCOMPARE(bar.MBGTextLeft(), 0);
    QCOMPARE(bar.MBGTextTop(), 0);
    QCOMPARE(bar.MBGDecimals(), 0);

    // Parts placed as the signed layout at full scale (xMid 52), no layout
    // pass yet.
    QCOMPARE(bounds(bar.minusBar()), QRect(1, 1, 51, 15));
    QCOMPARE(bounds(bar.zeroMarker()), QRect(53, 1, 1, 15));
    QCOMPARE(bounds(bar.plusBar()), QRect(55, 1, 49, 15));
    QVERIFY(!shown(bar.minusBar()));
    QVERIFY(!shown(bar.plusBar()));
    QVERIFY(shown(bar.zeroMarker()));
    QVERIFY(shown(bar.valueText()));
    QCOMPARE(bar.valueText()->text(), QStringLiteral("0%"));
    QCOMPARE(bar.minusBar()->brushColor(), TColor(0xFF0000));
    QCOMPARE(bar.plusBar()->brushColor(), TColor(0x0000FF));
    QCOMPARE(bar.zeroMarker()->brushColor(), white);
}

void TestMBarGraph::designerPropertiesClampOnWrite()
{
    TMBarGraph bar;
    QVERIFY(bar.setProperty("MBGDecimals", 9));
    QCOMPARE(bar.MBGDecimals(), 4);
    QCOMPARE(bar.property("MBGDecimals").toInt(), 4);
    bar.setMBGDecimals(-3);
    QCOMPARE(bar.MBGDecimals(), 0);
    QVERIFY(bar.setProperty("MBGMode", QVariant::fromValue(TMBGMode::modeSigned)));
    QCOMPARE(bar.MBGMode(), TMBGMode::modeSigned);
    QVERIFY(bar.setProperty("MBGPlusColorAt1", 0x0080FFu));
    QCOMPARE(bar.property("MBGPlusColorAt1").toUInt(), 0x0080FFu);
    QVERIFY(bar.setProperty("MBGValue", -0.25));
    QCOMPARE(bar.MBGValue(), -0.25);
    QVERIFY(bar.setProperty("MBGTextPosition", QVariant::fromValue(TextPos::tpCentre)));
    QCOMPARE(bar.MBGTextPosition(), TextPos::tpCentre);
}

void TestMBarGraph::signedHorizontalFullNegative()
{
    TMBarGraph bar;
    bar.resize(273, 17);
    bar.setMBGMode(TMBGMode::modeSigned);
    bar.setMBGValue(-1);
    // xMid 136: minus bar 1 ... 135, zero marker at 137.
    QCOMPARE(bounds(bar.minusBar()), QRect(1, 1, 135, 15));
    QVERIFY(shown(bar.minusBar()));
    QVERIFY(!shown(bar.plusBar()));
    QCOMPARE(bounds(bar.zeroMarker()), QRect(137, 1, 1, 15));
    QVERIFY(shown(bar.zeroMarker()));
    QCOMPARE(bar.minusBar()->brushColor(), bar.MBGMinusColorAt1());
}

void TestMBarGraph::signedHorizontalPositiveAndHalf()
{
    TMBarGraph bar;
    bar.resize(273, 17);
    bar.setMBGMode(TMBGMode::modeSigned);
    bar.setMBGValue(1);
    // The plus bar starts at xMid + 3 = 139 and runs to xMax - 1 = 271.
    QCOMPARE(bounds(bar.plusBar()), QRect(139, 1, 133, 15));
    QVERIFY(shown(bar.plusBar()));
    QVERIFY(!shown(bar.minusBar()));

    // Left 136 + rnd(135 * -0.5) = 136 - 68; colour at 0.5: 255 + rnd(-127.5) = 127.
    bar.setMBGValue(-0.5);
    QCOMPARE(bounds(bar.minusBar()), QRect(68, 1, 68, 15));
    QCOMPARE(bar.minusBar()->brushColor(), TColor(0xFF7F7F));
    QVERIFY(!shown(bar.plusBar()));
}

void TestMBarGraph::middleTiesGoToEven()
{
    for (int width : {100, 102}) {
        TMBarGraph bar;
        bar.resize(width, 17);
        bar.setMBGMode(TMBGMode::modeSigned);
        bar.setMBGValue(1);
        QCOMPARE(bar.zeroMarker()->x(), 51); // xMid 50
        QCOMPARE(bar.plusBar()->x(), 53);
        bar.setMBGValue(-1);
        QCOMPARE(bounds(bar.minusBar()), QRect(1, 1, 49, 15));
    }
}

void TestMBarGraph::zeroHidesBothBars()
{
    TMBarGraph bar;
    bar.resize(273, 17);
    bar.setMBGMode(TMBGMode::modeSigned);
    bar.setMBGValue(0.7);
    QVERIFY(shown(bar.plusBar()));
    bar.setMBGValue(0.0);
    QVERIFY(!shown(bar.plusBar()));
    QVERIFY(!shown(bar.minusBar()));
    QVERIFY(shown(bar.zeroMarker()));
    bar.setMBGValue(-0.0);
    QVERIFY(!shown(bar.plusBar()));
    QVERIFY(!shown(bar.minusBar()));

    bar.setMBGMode(TMBGMode::modeUnsigned);
    QVERIFY(!shown(bar.zeroMarker()));
    QVERIFY(!shown(bar.plusBar()));
}

void TestMBarGraph::valuesAreClampedForDrawingOnly()
{
    TMBarGraph bar;
    bar.resize(273, 17);
    bar.setMBGMode(TMBGMode::modeSigned);

    bar.setMBGValue(std::nan(""));
    QVERIFY(std::isnan(bar.MBGValue())); // read back exactly as written
    QCOMPARE(bounds(bar.minusBar()), QRect(1, 1, 135, 15));
    QVERIFY(shown(bar.minusBar()));

    bar.setMBGValue(7.0);
    QCOMPARE(bar.MBGValue(), 7.0);
    QCOMPARE(bounds(bar.plusBar()), QRect(139, 1, 133, 15));

    bar.setMBGValue(-std::numeric_limits<double>::infinity());
    QCOMPARE(bounds(bar.minusBar()), QRect(1, 1, 135, 15));
    QVERIFY(!shown(bar.plusBar()));
}

void TestMBarGraph::signedVertical()
{
    TMBarGraph bar;
    bar.setMBGOrientation(TMBGOrientation::orientationVertical);
    bar.resize(20, 101);
    bar.setMBGMode(TMBGMode::modeSigned);
    // yMid 50: plus bar top 1 + rnd(0.5 * 49) = 25, height rnd(49 * 0.5) = 24.
    bar.setMBGValue(0.5);
    QCOMPARE(bounds(bar.plusBar()), QRect(1, 25, 18, 24));
    QVERIFY(shown(bar.plusBar()));
    QCOMPARE(bounds(bar.zeroMarker()), QRect(1, 51, 18, 1));
    // Minus bar from yMinusStart 53 down to yMax - 1.
    bar.setMBGValue(-1);
    QCOMPARE(bounds(bar.minusBar()), QRect(1, 53, 18, 47));
    QVERIFY(!shown(bar.plusBar()));
    bar.setMBGValue(1);
    QCOMPARE(bounds(bar.plusBar()), QRect(1, 1, 18, 49));
}

void TestMBarGraph::unsignedVertical()
{
    TMBarGraph bar;
    bar.setMBGOrientation(TMBGOrientation::orientationVertical);
    bar.resize(20, 101);
    // Grows up from the bottom: top 1 + rnd(0.75 * 99) = 75, height rnd(99 * 0.25) = 25.
    bar.setMBGValue(0.25);
    QCOMPARE(bounds(bar.plusBar()), QRect(1, 75, 18, 25));
    QVERIFY(shown(bar.plusBar()));
    QVERIFY(!shown(bar.zeroMarker()));
    bar.setMBGValue(1);
    QCOMPARE(bounds(bar.plusBar()), QRect(1, 1, 18, 99));
    bar.setMBGValue(-0.5);
    QVERIFY(!shown(bar.plusBar()));
    QVERIFY(!shown(bar.minusBar()));
}

void TestMBarGraph::minimumSizeFollowsOrientation()
{
    TMBarGraph bar;
    bar.setMBGOrientation(TMBGOrientation::orientationVertical);
    QCOMPARE(bar.minimumSize(), QSize(6, 30));
    QVERIFY(bar.height() >= 30);
    bar.setMBGOrientation(TMBGOrientation::orientationHorizontal);
    QCOMPARE(bar.minimumSize(), QSize(30, 6));
}

void TestMBarGraph::unsignedHorizontalBar()
{
    TMBarGraph bar;
    bar.setMBGValue(0.5);
    // x0 1, xMax 104: width rnd(103 * 0.5) = rnd(51.5) = 52.
    QCOMPARE(bounds(bar.plusBar()), QRect(1, 1, 52, 15));
    QVERIFY(shown(bar.plusBar()));
    QVERIFY(!shown(bar.minusBar()));
    QVERIFY(!shown(bar.zeroMarker()));
    QCOMPARE(bar.valueText()->text(), QStringLiteral("50%"));
    bar.setMBGValue(0.0);
    QVERIFY(!shown(bar.plusBar()));
    QCOMPARE(bar.valueText()->text(), QStringLiteral("0%"));
}

void TestMBarGraph::negativeUnsignedTextAgainstLastBounds()
{
    TMBarGraph bar;
    makeUnsigned(bar, 105);
    bar.setMBGValue(0.6); // width rnd(61.8) = 62
    QCOMPARE(bounds(bar.plusBar()), QRect(1, 1, 62, 15));
    bar.setMBGValue(-0.2);
    QVERIFY(!shown(bar.plusBar()));
    QVERIFY(!shown(bar.minusBar()));
    QCOMPARE(bar.valueText()->text(), QStringLiteral("-20%"));
    const QFontMetrics fm(bar.valueText()->font());
    QCOMPARE(bar.valueText()->x(), 1 + 62 + 5);
    QCOMPARE(bar.valueText()->y(), roundHalfEvenInt((15 - fm.height()) / 2.0) + 1);
    QCOMPARE(bar.valueText()->width(), fm.horizontalAdvance(QStringLiteral("-20%")));
}

void TestMBarGraph::overFullScale()
{
    TMBarGraph bar;
    makeUnsigned(bar, 105);
    bar.setMBGValue(1.5);
    QCOMPARE(bounds(bar.plusBar()), QRect(1, 1, 103, 15));
    QCOMPARE(bar.plusBar()->brushColor(), bar.MBGPlusColorAt1());
    QCOMPARE(bar.valueText()->text(), QStringLiteral("150%"));
    bar.setMBGValue(1.0);
    QCOMPARE(bounds(bar.plusBar()), QRect(1, 1, 103, 15));
    QCOMPARE(bar.valueText()->text(), QStringLiteral("100%"));
}

void TestMBarGraph::decimalsAndSeparator()
{
    TMBarGraph bar;
    makeUnsigned(bar, 200);
    bar.setMBGValue(0.12345);
    QCOMPARE(bar.valueText()->text(), QStringLiteral("12%"));
    bar.setMBGDecimals(1);
    QCOMPARE(bar.valueText()->text(), QStringLiteral("12.3%"));
    bar.setMBGDecimals(9);
    QCOMPARE(bar.MBGDecimals(), 4);
    QCOMPARE(bar.valueText()->text(), QStringLiteral("12.3450%"));
    bar.setMBGDecimals(2);
    QCOMPARE(bar.valueText()->text(), QStringLiteral("12.35%")); // the decimal half, up

    QLocale::setDefault(QLocale(QLocale::Hungarian, QLocale::Hungary));
    bar.setMBGValue(-0.5);
    QCOMPARE(bar.valueText()->text(), QStringLiteral("-50,00%"));
    bar.setMBGDecimals(0);
    bar.setMBGValue(0.1234);
    QCOMPARE(bar.valueText()->text(), QStringLiteral("12%"));
}

void TestMBarGraph::textPositions()
{
    TMBarGraph bar;
    makeUnsigned(bar, 203, TextPos::tpInside);
    bar.setMBGValue(0.5); // bar 1 ... 101 (width rnd(100.5) = 100)
    QCOMPARE(bounds(bar.plusBar()), QRect(1, 1, 100, 15));
    const QFontMetrics fm(bar.valueText()->font());
    const int w = fm.horizontalAdvance(QStringLiteral("50%"));
    const int h = fm.height();
    QCOMPARE(bar.valueText()->size(), QSize(w, h));
    QCOMPARE(bar.valueText()->x(), 101 - w - 5);
    const int centredTop = bar.valueText()->y();
    QCOMPARE(centredTop, roundHalfEvenInt((15 - h) / 2.0) + 1);

    bar.setMBGTextPosition(TextPos::tpOutside);
    QCOMPARE(bar.valueText()->x(), 101 + 5);
    QCOMPARE(bar.valueText()->y(), centredTop);

    bar.setMBGTextLeft(17);
    bar.setMBGTextTop(-2);
    QCOMPARE(bar.valueText()->x(), 101 + 5); // only tpFix uses them
    bar.setMBGTextPosition(TextPos::tpFix);
    QCOMPARE(bar.valueText()->pos(), QPoint(17, -2));

    // tpCentre: rnd((xMax - x0) / 2) + L - rnd(w / 2), the middle of the control.
    bar.setMBGTextPosition(TextPos::tpCentre);
    QCOMPARE(bar.valueText()->x(), 100 + 1 - roundHalfEvenInt(w / 2.0));
    QCOMPARE(bar.valueText()->y(), centredTop);
}

void TestMBarGraph::autoPositionHysteresis()
{
    TMBarGraph bar;
    // Prefer a font in which the text "50%" is 30 pixels wide, as in the worked
    // example (bar below 40 outside, above 50 inside); the rule is checked
    // against the measured width either way.
    QFont font = bar.font();
    [&] {
        for (int px = 10; px <= 16; ++px)
            for (int quarter = 0; quarter <= 8; ++quarter) {
                font.setPixelSize(px);
                font.setLetterSpacing(QFont::AbsoluteSpacing, quarter / 4.0);
                if (QFontMetrics(font).horizontalAdvance(QStringLiteral("50%")) == 30) return;
            }
    }();
    bar.setFont(font);
    const int w = QFontMetrics(font).horizontalAdvance(QStringLiteral("50%"));
    if (w != 30) qInfo("text width %d instead of 30 in this font set", w);

    // The value stays 0.5 ("50%"); a control 2 W + 2 wide gives the bar width W.
    auto outside = [&] { return bar.valueText()->x() == 1 + bar.plusBar()->width() + 5; };
    auto inside = [&] { return bar.valueText()->x() == 1 + bar.plusBar()->width() - w - 5; };

    // The first pass after construction, with a bar between the two limits,
    // starts from outside.
    bar.resize(2 * (w + 15) + 2, 17);
    bar.setMBGValue(0.5);
    QCOMPARE(bar.plusBar()->width(), w + 15);
    QCOMPARE(bar.valueText()->width(), w);
    QVERIFY(outside());

    bar.show(); // from here each resize is a forced pass
    QVERIFY(QTest::qWaitForWindowExposed(&bar));
    const struct {
        int barWidth;
        bool outside;
    } steps[] = {
        {w + 20, true},                   // upper limit itself: unchanged
        {w + 21, false},                  // above it: inside
        {w + 15, false}, {w + 10, false}, // between and at the lower limit: unchanged
        {w + 9, true},                    // below it: outside
        {w + 10, true},  {w + 20, true},
        {w + 30, false}, {14, true}, // the narrowest control: 30 pixels
    };
    for (const auto &step : steps) {
        bar.resize(2 * step.barWidth + 2, 17);
        QCOMPARE(bar.plusBar()->width(), step.barWidth);
        QCOMPARE(outside(), step.outside);
        QCOMPARE(inside(), !step.outside);
    }
    // A value write that only places the text keeps the remembered side.
    bar.resize(2 * (w + 15) + 2, 17);
    QVERIFY(outside());
    bar.setMBGValue(0.5);
    QVERIFY(outside());
}

void TestMBarGraph::textInOtherLayouts()
{
    // Signed and vertical layouts: the same text, centred (or at the fixed
    // place), never a stale caption from an earlier layout.
    TMBarGraph bar;
    bar.resize(273, 17);
    bar.setMBGMode(TMBGMode::modeSigned);
    bar.setMBGValue(-0.35);
    QCOMPARE(bar.valueText()->text(), QStringLiteral("-35%"));
    const MBGText *text = bar.valueText();
    QVERIFY(std::abs(text->x() + text->width() / 2.0 - 273 / 2.0) <= 1.0);
    bar.setMBGTextPosition(TextPos::tpFix);
    bar.setMBGTextLeft(4);
    bar.setMBGTextTop(3);
    QCOMPARE(text->pos(), QPoint(4, 3));
    bar.setMBGOrientation(TMBGOrientation::orientationVertical);
    bar.setMBGValue(0.8);
    QCOMPARE(text->text(), QStringLiteral("80%"));
    QCOMPARE(text->pos(), QPoint(4, 3));
}

void TestMBarGraph::showTextAndFont()
{
    TMBarGraph bar;
    makeUnsigned(bar, 200);
    bar.setMBGValue(0.25);
    bar.setMBGShowText(false);
    QVERIFY(!shown(bar.valueText()));
    bar.setMBGValue(0.75); // a hidden text is not laid out
    QCOMPARE(bar.valueText()->text(), QStringLiteral("25%"));
    bar.setMBGShowText(true);
    QVERIFY(shown(bar.valueText()));
    QCOMPARE(bar.valueText()->text(), QStringLiteral("75%"));

    // A font write lays nothing out; the next pass takes the font over.
    const QSize before = bar.valueText()->size();
    QFont big = bar.font();
    big.setPixelSize(40);
    bar.setFont(big);
    QCOMPARE(bar.valueText()->size(), before);
    QVERIFY(bar.valueText()->font().pixelSize() != 40);
    bar.setMBGValue(0.75);
    QCOMPARE(bar.valueText()->font().pixelSize(), 40);
    QCOMPARE(bar.valueText()->height(), QFontMetrics(big).height());
}

void TestMBarGraph::colourBlendOnTheBars()
{
    TMBarGraph bar;
    makeUnsigned(bar, 105);
    bar.setMBGPlusColorAt1(yellow);
    bar.setMBGValue(0.5);
    QCOMPARE(bar.plusBar()->brushColor(), TColor(0x7FFFFF));
    bar.setMBGValue(1.0);
    QCOMPARE(bar.plusBar()->brushColor(), yellow);
    // A colour write is a forced pass: the bar takes the new colour at once.
    bar.setMBGPlusColorAt1(0x0080FF);
    QCOMPARE(bar.plusBar()->brushColor(), TColor(0x0080FF));
}

void TestMBarGraph::inverseText()
{
    TMBarGraph bar;
    makeUnsigned(bar, 105);
    bar.setMBGPlusColorAt1(0x0080FF);
    bar.setMBGValue(1.0);
    QCOMPARE(textColor(bar.valueText()), black);
    bar.setMBGInverseText(true);
    QCOMPARE(textColor(bar.valueText()), TColor(0xFF7F00));
    bar.setMBGValue(0.5); // brush blends white and orange: 0x7FBFFF, inverse 0x804000
    QCOMPARE(bar.plusBar()->brushColor(), TColor(0x7FBFFF));
    QCOMPARE(textColor(bar.valueText()), TColor(0x804000));
    bar.setMBGInverseText(false);
    QCOMPARE(textColor(bar.valueText()), black);
}

void TestMBarGraph::rendering()
{
    TMBarGraph bar;
    bar.setMBGShowText(false);
    bar.setMBGPlusColorAt0(0x0080FF);
    bar.setMBGPlusColorAt1(0x0080FF);
    bar.setMBGValue(0.5); // plus bar 1 ... 52
    const QImage image = bar.grab().toImage();
    QCOMPARE(image.pixelColor(20, 8), QColor(255, 128, 0));                   // inside
    QCOMPARE(image.pixelColor(1, 8), QColor(Qt::black));                      // its pen
    QCOMPARE(image.pixelColor(90, 8), bar.palette().color(QPalette::Button)); // outside

    bar.setMBGValue(0.0);
    const QImage empty = bar.grab().toImage();
    QCOMPARE(empty.pixelColor(20, 8), bar.palette().color(QPalette::Button));
}

void TestMBarGraph::textAsALabelPaintsIt_data()
{
    QTest::addColumn<QSize>("size");
    QTest::addColumn<bool>("isSigned");
    QTest::addColumn<TextPos>("position");
    QTest::addColumn<double>("value");
    QTest::addColumn<bool>("enabled");
    QTest::addColumn<bool>("inverse");
    const QSize small(105, 17);
    const QSize wide(273, 17);
    QTest::newRow("inside the bar")
        << QSize(203, 17) << false << TextPos::tpInside << 0.5 << true << false;
    QTest::newRow("beside the bar") << small << false << TextPos::tpAuto << 0.123 << true << false;
    QTest::newRow("over the frame") << small << false << TextPos::tpFix << 0.77 << true << false;
    QTest::newRow("signed, centred") << wide << true << TextPos::tpAuto << -0.04 << true << false;
    QTest::newRow("higher than the control")
        << QSize(273, 9) << true << TextPos::tpAuto << 0.5 << true << false;
    QTest::newRow("disabled") << small << false << TextPos::tpAuto << 0.9 << false << false;
    QTest::newRow("inverse") << small << false << TextPos::tpInside << 0.9 << true << true;
}

// The value text looks as a label with that text, font and place would on
// the same control: glyphs, colour (the inverse one as well), and clipping
// to its bounds and the control's.
void TestMBarGraph::textAsALabelPaintsIt()
{
    QFETCH(QSize, size);
    QFETCH(bool, isSigned);
    QFETCH(TextPos, position);
    QFETCH(double, value);
    QFETCH(bool, enabled);
    QFETCH(bool, inverse);
    auto setUp = [&](TMBarGraph &bar) {
        bar.resize(size);
        bar.setMBGMode(isSigned ? TMBGMode::modeSigned : TMBGMode::modeUnsigned);
        bar.setMBGTextPosition(position);
        bar.setMBGTextLeft(17);
        bar.setMBGTextTop(-2);
        bar.setMBGDecimals(1);
        bar.setEnabled(enabled);
        bar.setMBGInverseText(inverse);
        bar.setMBGValue(value);
    };
    auto image = [](QWidget &w) {
        return w.grab().toImage().convertToFormat(QImage::Format_RGB32);
    };
    TMBarGraph bar;
    setUp(bar);
    const MBGText *text = bar.valueText();
    QVERIFY(shown(text));

    TMBarGraph plain;
    setUp(plain);
    plain.setMBGShowText(false);
    const QImage withoutText = image(plain);
    auto *label = new QLabel(text->text(), &plain);
    label->setFont(text->font());
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    label->setGeometry(text->geometry());
    if (inverse) {
        QPalette palette = label->palette();
        palette.setColor(label->foregroundRole(), toQColor(text->color()));
        label->setPalette(palette);
    }
    const QImage drawn = image(bar);
    QVERIFY(drawn != withoutText);
    QCOMPARE(drawn, image(plain));
}

// A new value repaints the parts that changed, within the control: nothing
// beneath it or beside it; what the screen shows is then what the control
// looks like. An unchanged value repaints nothing.
void TestMBarGraph::repaintsOnlyWhatChanged()
{
    struct PaintCounter : QObject {
        QHash<QObject *, QRegion> painted;
        bool eventFilter(QObject *watched, QEvent *event) override
        {
            if (event->type() == QEvent::Paint)
                painted[watched] += static_cast<QPaintEvent *>(event)->region();
            return false;
        }
    };
    QWidget window;
    window.resize(300, 60);
    auto *bar = new TMBarGraph(&window);
    bar->setGeometry(10, 10, 273, 17);
    auto *neighbour = new QLabel(QStringLiteral("neighbour"), &window);
    neighbour->setGeometry(10, 30, 100, 17);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    auto onScreen = [&] {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::UpdateRequest);
        return window.screen()
            ->grabWindow(window.winId())
            .toImage()
            .convertToFormat(QImage::Format_RGB32);
    };
    auto parts = [&] {
        QRegion region;
        for (const MBGPart *part : {static_cast<const MBGPart *>(bar->minusBar()),
                                    static_cast<const MBGPart *>(bar->plusBar()),
                                    static_cast<const MBGPart *>(bar->valueText())})
            if (part->isShown()) region += part->geometry();
        return region;
    };
    onScreen();

    PaintCounter paints;
    qApp->installEventFilter(&paints);
    const struct {
        bool isSigned;
        double value;
    } steps[] = {{false, 0.3}, {false, 0.6}, {false, 0.05}, {false, 1.7}, {false, 1.9},
                 {true, 0.4},  {true, -0.7}, {true, 0.0},   {true, -0.02}};
    for (const auto &step : steps) {
        bar->setMBGMode(step.isSigned ? TMBGMode::modeSigned : TMBGMode::modeUnsigned);
        QImage before = onScreen();
        paints.painted.clear();
        const QRegion partsBefore = parts();
        bar->setMBGValue(step.value);
        const QImage after = onScreen();
        QVERIFY(paints.painted.contains(bar));
        QVERIFY(paints.painted[bar].subtracted(partsBefore + parts()).isEmpty());
        QVERIFY(!paints.painted.contains(&window));
        QVERIFY(!paints.painted.contains(neighbour));
        QVERIFY(after != before);
        QCOMPARE(after, window.grab().toImage().convertToFormat(QImage::Format_RGB32));

        paints.painted.clear();
        for (int i = 0; i < 10; ++i)
            bar->setMBGValue(step.value);
        onScreen();
        QVERIFY(paints.painted.isEmpty());
    }
    qApp->removeEventFilter(&paints);
}

QTEST_MAIN(TestMBarGraph)
#include "tst_mbargraph.moc"
