// When a number's text may keep its old measure: the same text, or only
// digits exchanged in a font that sets them alike. Every pair of texts the
// shortcut lets through must measure exactly alike with the full layout, in
// every font a label of the window can have; fonts whose digits differ in
// width must not take it.
#include <QLabel>
#include <QtTest>

#include "app/form_main.h"
#include "support/windowsetup.h"
#include "widgets/digitshape.h"
#include "widgets/mbargraph.h"

namespace {

// Number texts as the window writes them: grouped counters, signed readings
// with either separator, percentages and units.
QStringList numberTexts(QRandomGenerator &random)
{
    const QStringList shapes = {u"#"_qs,           u"##"_qs,        u"  #"_qs,        u"# ###"_qs,
                                u" -# ###"_qs,     u"# ### ###"_qs, u"-# ### ###"_qs, u"#.###"_qs,
                                u"-#.###"_qs,      u"##,##"_qs,     u"#.#%"_qs,       u"-##.##%"_qs,
                                u"##.### V"_qs,    u"#,#### mA"_qs, u"+#"_qs,         u"#:##"_qs,
                                u"V####-##-##"_qs, u"#.#k"_qs,      u"(#)"_qs,        u"#/#"_qs,
                                u"###### ###"_qs};
    QStringList texts;
    for (const QString &shape : shapes)
        for (int i = 0; i < 8; ++i) {
            QString text = shape;
            for (QChar &c : text)
                if (c == u'#') c = QChar(u'0' + int(random.bounded(10)));
            texts << text;
        }
    // Every digit in every place of a short number, so each digit meets
    // every neighbour.
    for (int n = 0; n < 100; ++n)
        texts << QString::number(n).rightJustified(2, u'0') + u" %"_qs;
    return texts;
}

// The fonts a label or a bar graph of the window can have, in either view:
// its described font (the window's Arial at its sizes, bold or not, and the
// fonts that stand in for it here), and for a label that keeps inside its
// space every smaller size it may be set in, down to the window's smallest
// (8 pixels).
QList<QFont> fontsToCheck()
{
    constexpr int kSmallestPixels = 8;
    QList<QFont> fonts;
    auto add = [&fonts](const QFont &font) {
        if (!fonts.contains(font)) fonts << font;
    };
    WindowSetup setup({u"/VARNEL"_qs});
    TForm_Main form(setup.environment());
    for (QWidget *widget : form.findChildren<QWidget *>()) {
        if (qobject_cast<TMBarGraph *>(widget)) add(widget->font());
        auto *label = qobject_cast<QLabel *>(widget);
        if (!label) continue;
        const QVariant described = label->property("kxDescribedFont");
        QFont font = described.isValid() ? described.value<QFont>() : label->font();
        add(font);
        if (!label->property("shrinkToFit").toBool()) continue;
        for (int pixels = QFontInfo(font).pixelSize() - 1; pixels >= kSmallestPixels; --pixels) {
            font.setPixelSize(pixels);
            add(font);
        }
    }
    return fonts;
}

// What the full layout gives a text in a font (advance, exact advance, box,
// a label's size hint), measured once per text.
using Measures = std::tuple<int, qreal, QRect, QSize>;

// Whether exchanging digits changes the measure of some short text: a digit
// alone, two digits, or a digit beside a blank or a percent sign.
bool digitsSetApartSomewhere(const QFontMetricsF &metrics)
{
    auto measure = [&metrics](const QString &text) {
        return std::pair(metrics.horizontalAdvance(text),
                         metrics.boundingRect(QRectF(0, 0, 2000, 2000), Qt::AlignLeft, text));
    };
    for (const QString &shape : {u"#"_qs, u"##"_qs, u" #"_qs, u"# "_qs, u"#%"_qs, u"%#"_qs}) {
        QString first = shape;
        first.replace(u'#', u'0');
        for (int a = 0; a < 10; ++a)
            for (int b = 0; b < 10; ++b) {
                QString text = shape;
                text.replace(text.indexOf(u'#'), 1, QChar(u'0' + a));
                if (text.contains(u'#')) text.replace(text.indexOf(u'#'), 1, QChar(u'0' + b));
                if (measure(text) != measure(first)) return true;
            }
    }
    return false;
}

} // namespace

class TestDigitShape : public QObject {
    Q_OBJECT
    QList<QFont> m_fonts;
private slots:
    void initTestCase() { m_fonts = fontsToCheck(); }
    void sameTextAlwaysLaysOutAlike();
    void onlyExchangedDigitsMayLayOutAlike();
    void shortcutMatchesTheFullLayout();
    void memoMeasuresAgainOnlyWhenItMust();
};

void TestDigitShape::sameTextAlwaysLaysOutAlike()
{
    for (const QFont &font : m_fonts) {
        QVERIFY(laysOutAlike(font, u"", u""));
        QVERIFY(laysOutAlike(font, u"Tx frames: 1 234 Ω", u"Tx frames: 1 234 Ω"));
    }
}

void TestDigitShape::onlyExchangedDigitsMayLayOutAlike()
{
    const QFont font = QApplication::font();
    QVERIFY(!laysOutAlike(font, u"99", u"100"));    // longer
    QVERIFY(!laysOutAlike(font, u"1.5", u"1,5"));   // punctuation exchanged
    QVERIFY(!laysOutAlike(font, u" 5", u"-5"));     // a sign where a blank stood
    QVERIFY(!laysOutAlike(font, u"12 V", u"12 A")); // letters exchanged
    QVERIFY(!laysOutAlike(font, u"1", u"l"));       // a letter for a digit
    QVERIFY(!laysOutAlike(font, u"5", u"\u0665"));  // a digit of another script

    // The window's font kerns "11" where its substitute here does: digits of
    // one advance, told apart in pairs.
    QFont windowFont(u"Arial"_qs);
    windowFont.setPixelSize(11);
    const QFontMetricsF metrics(windowFont);
    QVERIFY(laysOutAlike(windowFont, u"1 234", u"1 235"));
    if (metrics.horizontalAdvance(u"11"_qs) != metrics.horizontalAdvance(u"12"_qs)) {
        QVERIFY(!laysOutAlike(windowFont, u"1 211", u"1 234"));
        QVERIFY(!laysOutAlike(windowFont, u"1 234", u"1 211"));
        QVERIFY(laysOutAlike(windowFont, u"1 211", u"9 311"));
    }
}

void TestDigitShape::shortcutMatchesTheFullLayout()
{
    QRandomGenerator random(29);
    const QStringList texts = numberTexts(random);
    int fontsWithAlikeDigits = 0;
    int fontsWithoutAlikeDigits = 0;
    for (const QFont &font : m_fonts) {
        const QFontMetrics metrics(font);
        const QFontMetricsF metricsF(font);
        QLabel label;
        label.setFont(font);
        QList<Measures> measures;
        for (const QString &text : texts) {
            label.setText(text);
            measures << Measures(metrics.horizontalAdvance(text), metricsF.horizontalAdvance(text),
                                 metrics.boundingRect(QRect(0, 0, 2000, 2000), Qt::AlignLeft, text),
                                 label.sizeHint());
        }
        int shortcuts = 0;
        bool digitChangeRefused = false;
        for (qsizetype b = 0; b < texts.size(); ++b)
            for (qsizetype a = 0; a < texts.size(); ++a) {
                const QString &before = texts[b];
                const QString &after = texts[a];
                if (before.size() != after.size()) continue;
                if (!laysOutAlike(font, before, after)) {
                    if (before.size() == 2 + 2 && before.endsWith(u" %"_qs) &&
                        after.endsWith(u" %"_qs))
                        digitChangeRefused = true;
                    continue;
                }
                ++shortcuts;
                if (!(measures[a] == measures[b]))
                    QFAIL(qPrintable(QStringLiteral("\"%1\" -> \"%2\" in %3")
                                         .arg(before, after, font.toString())));
            }
        if (shortcuts > int(texts.size()) * 4) ++fontsWithAlikeDigits;
        if (digitChangeRefused) {
            ++fontsWithoutAlikeDigits;
            // Then the font does set digits apart somewhere: in width, in
            // kerning, or in how far the last one reaches out of its advance
            // (an italic's or a serif's overhang counts in a label's size), so
            // a text ending in a digit would measure differently. The texts
            // above need not show it: their digits never stand last.
            QVERIFY2(digitsSetApartSomewhere(metricsF), qPrintable(font.toString()));
            qInfo("digits set apart: %s", qPrintable(font.toString()));
        }
    }
    qInfo("fonts with digits set alike: %d, without: %d", fontsWithAlikeDigits,
          fontsWithoutAlikeDigits);
    // The window's font is one where the shortcut applies.
    QVERIFY(fontsWithAlikeDigits > 0);
}

void TestDigitShape::memoMeasuresAgainOnlyWhenItMust()
{
    const QFont font = QApplication::font();
    if (!laysOutAlike(font, u"1 234", u"5 678")) QSKIP("the default font sets digits apart");
    TextMeasureMemo<int> memo;
    int measured = 0;
    auto width = [&](const QFont &f, const QString &text) {
        return memo.get(f, text, [&] {
            ++measured;
            return QFontMetrics(f).horizontalAdvance(text);
        });
    };
    const int first = width(font, u"1 234"_qs);
    QCOMPARE(measured, 1);
    QCOMPARE(width(font, u"5 678"_qs), first);
    QCOMPARE(width(font, u"1 234"_qs), first);
    QCOMPARE(measured, 1);
    QCOMPARE(width(font, u"12 345"_qs), QFontMetrics(font).horizontalAdvance(u"12 345"_qs));
    QCOMPARE(measured, 2);
    QFont larger = font;
    larger.setPixelSize(40);
    QCOMPARE(width(larger, u"12 345"_qs), QFontMetrics(larger).horizontalAdvance(u"12 345"_qs));
    QCOMPARE(measured, 3);
    memo.clear();
    width(larger, u"12 345"_qs);
    QCOMPARE(measured, 4);
}

QTEST_MAIN(TestDigitShape)
#include "tst_digitshape.moc"
