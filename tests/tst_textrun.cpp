// Texts drawn from kept glyphs: pixel for pixel as QPainter::drawText and
// QLabel draw them, through texts that change only in their digits and
// texts that change shape; and a label given its own text again is not
// painted again.
#include <QLabel>
#include <QPainter>
#include <QtTest>

#include "ui/opaquelabels.h"
#include "widgets/textrun.h"

namespace {

const QStringList kTexts = {
    u"1 234"_qs,   u"1 235"_qs, u"9 870"_qs,   u"-9 870"_qs,  u"-1 111"_qs, u"12.5 mA"_qs,
    u"13.0 mA"_qs, u"-- V"_qs,  u"  7 001"_qs, u"  7 011"_qs, u"100.0%"_qs, u"99.9%"_qs,
};

QImage drawn(const QFont &font, const QRect &place, const std::function<void(QPainter &)> &draw)
{
    QImage image(place.size() + QSize(10, 8), QImage::Format_ARGB32_Premultiplied);
    image.fill(QColor(0xEC, 0xE9, 0xD8));
    QPainter painter(&image);
    painter.setFont(font);
    painter.setPen(Qt::black);
    draw(painter);
    return image;
}

} // namespace

class TestTextRun : public QObject {
    Q_OBJECT
private slots:
    void asDrawText_data()
    {
        QTest::addColumn<int>("alignment");
        QTest::addColumn<int>("pixels");
        QTest::addColumn<bool>("bold");
        QTest::newRow("left, top") << int(Qt::AlignLeft | Qt::AlignTop) << 11 << false;
        QTest::newRow("right, top, bold") << int(Qt::AlignRight | Qt::AlignTop) << 11 << true;
        QTest::newRow("centred") << int(Qt::AlignHCenter | Qt::AlignVCenter) << 13 << false;
        QTest::newRow("right, bottom, small")
            << int(Qt::AlignRight | Qt::AlignBottom) << 8 << false;
    }

    // One run drawing each text in turn, in a place that fits, one wider and
    // one too small (the text cut off at its edges), as drawText draws it.
    void asDrawText()
    {
        QFETCH(int, alignment);
        QFETCH(int, pixels);
        QFETCH(bool, bold);
        QFont font;
        font.setPixelSize(pixels);
        font.setBold(bold);
        const QFontMetrics metrics(font);
        const int flags = alignment | Qt::TextForceLeftToRight;
        for (const int extra : {0, 7, -4}) {
            TextRun run;
            for (const QString &text : kTexts) {
                QVERIFY(TextRun::handles(flags, text));
                const QRect place(3, 2, metrics.horizontalAdvance(text) + extra,
                                  metrics.height() + extra / 2);
                const QImage expected =
                    drawn(font, place, [&](QPainter &p) { p.drawText(place, flags, text); });
                const QImage actual =
                    drawn(font, place, [&](QPainter &p) { run.draw(p, place, flags, text); });
                QVERIFY2(actual == expected,
                         qPrintable(text + u" extra "_qs + QString::number(extra)));
            }
        }
        QVERIFY(!TextRun::handles(flags, u"two\nlines"_qs));
        QVERIFY(!TextRun::handles(flags | Qt::TextShowMnemonic, u"&Go"_qs));
    }

    // Labels the keeper watches look as QLabel paints them, in their own
    // font, alignment and margins; the same text again paints nothing.
    void labels()
    {
        QWidget window;
        window.resize(240, 80);
        auto *right = new QLabel(&window);
        right->setGeometry(10, 10, 90, 16);
        right->setAlignment(Qt::AlignRight | Qt::AlignTop);
        auto *left = new QLabel(&window);
        left->setGeometry(110, 10, 90, 20);
        QFont bold = left->font();
        bold.setBold(true);
        left->setFont(bold);
        left->setContentsMargins(0, 2, 0, 0);
        applyOpaqueLabels(&window);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        auto screen = [&] {
            QCoreApplication::sendPostedEvents(nullptr, QEvent::UpdateRequest);
            return window.screen()
                ->grabWindow(window.winId())
                .toImage()
                .convertToFormat(QImage::Format_RGB32);
        };
        QList<QImage> kept;
        for (const QString &text : kTexts) {
            right->setText(text);
            left->setText(text);
            kept.append(screen());
        }
        removeOpaqueLabels(&window);
        for (qsizetype i = 0; i < kTexts.size(); ++i) {
            right->setText(kTexts[i]);
            left->setText(kTexts[i]);
            QVERIFY2(screen() == kept[i], qPrintable(kTexts[i]));
        }

        struct PaintCounter : QObject {
            int paints = 0;
            bool eventFilter(QObject *, QEvent *event) override
            {
                paints += event->type() == QEvent::Paint;
                return false;
            }
        } counter;
        right->installEventFilter(&counter);
        right->setText(right->text());
        screen();
        QCOMPARE(counter.paints, 0);
    }
};

QTEST_MAIN(TestTextRun)
#include "tst_textrun.moc"
