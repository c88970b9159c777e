// Number displays that keep an earlier measure while only digits change:
// the link panel's frame counters, the bar graph's value text and the
// window's auto-size labels end up exactly where a fresh measurement puts
// them, over long runs of values (kerned digit pairs such as "11" coming and
// going) and in fonts with and without digits set alike.
#include <QFontDatabase>
#include <QLabel>
#include <QtTest>

#include "panel/mb.h"
#include "link/mbengine.h"
#include "ui/formextras.h"
#include "widgets/mbargraph.h"

namespace {

QList<QFont> fontsToCheck()
{
    QList<QFont> fonts;
    for (const QString &family : {u"Arial"_qs, u"DejaVu Sans"_qs, u"DejaVu Serif"_qs})
        for (int pixels : {11, 14}) {
            QFont font(family);
            font.setPixelSize(pixels);
            fonts << font;
        }
    return fonts;
}

// Counts as a link runs through them: one by one, with jumps into runs of
// ones and nines.
QList<quint32> counts()
{
    QList<quint32> list;
    for (quint32 n = 1; n < 130; ++n)
        list << n;
    for (quint32 start : {1090u, 11095u, 109990u, 1110995u, 4294967200u})
        for (quint32 n = start; n < start + 30; ++n)
            list << n;
    return list;
}

QSize freshHint(const QFont &font, const QString &text)
{
    QLabel label(text);
    label.setFont(font);
    return label.sizeHint();
}

} // namespace

class TestNumberLabelSizes : public QObject {
    Q_OBJECT
private slots:
    void counterLabelsFitEveryCount();
    void barGraphTextStandsWhereAFreshOneDoes();
    void autoSizeLabelsFitEveryText();
    void autoSizeLabelsAddedAndRemovedLater();
};

void TestNumberLabelSizes::counterLabelsFitEveryCount()
{
    for (const QFont &font : fontsToCheck()) {
        TMB mb;
        mb.setFont(font);
        auto *tx = mb.findChild<QLabel *>(u"Label_TxCounter"_qs);
        auto *rx = mb.findChild<QLabel *>(u"Label_RxCounter"_qs);
        QVERIFY(tx && rx);
        const int txRight = tx->geometry().right();
        const int rxRight = rx->geometry().right();
        for (quint32 n : counts()) {
            emit mb.engine().txCounterChanged(n);
            emit mb.engine().rxCounterChanged(n);
            for (QLabel *label : {tx, rx}) {
                const QByteArray why = (label->text() + u" in "_qs + font.toString()).toUtf8();
                QVERIFY2(label->size() == freshHint(font, label->text()), why.constData());
                QVERIFY2(label->geometry().right() == (label == tx ? txRight : rxRight),
                         why.constData());
            }
        }
    }
}

void TestNumberLabelSizes::barGraphTextStandsWhereAFreshOneDoes()
{
    // Placements without memory of earlier passes, so a fresh control given
    // the same value is the full measurement to compare with.
    const TMBGTextPosition positions[] = {TMBGTextPosition::tpInside, TMBGTextPosition::tpOutside,
                                          TMBGTextPosition::tpCentre};
    QRandomGenerator random(17);
    for (const QFont &font : fontsToCheck())
        for (int decimals : {0, 1, 3}) {
            const TMBGTextPosition position = positions[decimals % 3];
            auto setUp = [&](TMBarGraph &graph) {
                graph.setFont(font);
                graph.resize(160, 20);
                graph.setMBGDecimals(decimals);
                graph.setMBGTextPosition(position);
            };
            TMBarGraph graph;
            setUp(graph);
            double value = 0.11;
            for (int i = 0; i < 150; ++i) {
                // A walk that keeps landing on runs of ones; above zero, as a
                // hidden bar keeps the bounds of an earlier value.
                value = i % 10 == 0 ? (random.bounded(2) ? 0.1111 : 0.0111)
                                    : std::fabs(value + (random.bounded(2.0) - 1.0) * 0.003);
                graph.setMBGValue(value);
                TMBarGraph fresh;
                setUp(fresh);
                fresh.setMBGValue(value);
                const QString text = graph.valueText()->text();
                QCOMPARE(text, fresh.valueText()->text());
                QVERIFY2(graph.valueText()->geometry() == fresh.valueText()->geometry(),
                         qPrintable(text + u" in "_qs + font.toString()));
                QCOMPARE(graph.valueText()->width(), QFontMetrics(font).horizontalAdvance(text));
            }
        }
}

void TestNumberLabelSizes::autoSizeLabelsFitEveryText()
{
    for (const QFont &font : fontsToCheck()) {
        QWidget root;
        root.resize(400, 100);
        auto *left = new QLabel(u"0"_qs, &root);
        auto *right = new QLabel(u"0"_qs, &root);
        for (QLabel *label : {left, right}) {
            label->setProperty("autoSize", true);
            label->setFont(font);
        }
        left->setGeometry(10, 10, 50, 20);
        right->setAlignment(Qt::AlignRight);
        right->setGeometry(200, 40, 50, 20);
        applyFormExtras(&root);
        root.show();
        QVERIFY(QTest::qWaitForWindowExposed(&root));
        for (quint32 n : counts()) {
            left->setText(QString::number(n % 1000) + u".1 V"_qs);
            right->setText(QString::number(n).rightJustified(11, u' '));
            QCoreApplication::sendPostedEvents(&root, QEvent::LayoutRequest);
            for (QLabel *label : {left, right}) {
                const int width = QFontMetrics(font).horizontalAdvance(label->text());
                QVERIFY2(label->width() == width,
                         qPrintable(label->text() + u" in "_qs + font.toString()));
            }
            QCOMPARE(left->x(), 10);
            QCOMPARE(right->x() + right->width(), 250);
        }
    }
}

void TestNumberLabelSizes::autoSizeLabelsAddedAndRemovedLater()
{
    QWidget root;
    root.resize(300, 100);
    auto *first = new QLabel(u"1"_qs, &root);
    first->setProperty("autoSize", true);
    applyFormExtras(&root);
    root.show();
    QVERIFY(QTest::qWaitForWindowExposed(&root));
    first->setText(u"12 345"_qs);
    QTRY_COMPARE(first->width(), first->fontMetrics().horizontalAdvance(first->text()));

    // A label that comes later is followed too; one that goes is forgotten.
    auto *later = new QLabel(&root);
    later->setProperty("autoSize", true);
    later->setGeometry(0, 40, 5, 20);
    later->show();
    later->setText(u"67 890 V"_qs);
    QTRY_COMPARE(later->width(), later->fontMetrics().horizontalAdvance(later->text()));
    delete first;
    later->setText(u"1 234 567 V"_qs);
    QTRY_COMPARE(later->width(), later->fontMetrics().horizontalAdvance(later->text()));
}

QTEST_MAIN(TestNumberLabelSizes)
#include "tst_number_label_sizes.moc"
