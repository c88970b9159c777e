// The window's drawings load from the resources at their sizes, and the
// wiring drawings show the blue and red wires on the terminals they name.
#include <QtTest>

#include <QImageReader>
#include <QPixmap>

#include "ui/pictures.h"

namespace {
// Layout of the wiring drawings: a column of ten terminals from 6 pixels
// below the top to 6 pixels above the bottom, numbered downwards, the
// terminal cells between x = 6 and x = 34 (the cell of a wired terminal
// takes its wire's colour).
int terminalAt(int y, int height)
{
    const double pitch = (height - 12) / 10.0;
    return int((y - 6) / pitch) + 1;
}

bool isBlue(QColor c)
{
    return c.blue() > 160 && c.red() < 90 && c.green() < 140;
}
bool isRed(QColor c)
{
    return c.red() > 180 && c.green() < 80 && c.blue() < 80;
}

// The terminal whose cell is painted in the given colour, or 0; -1 if the
// colour is found on more than one terminal.
int colouredTerminal(const QImage &img, bool (*matches)(QColor))
{
    int found = 0;
    for (int y = 0; y < img.height(); ++y) {
        // Sample the number side of the cell, clear of the screw and wire.
        const QColor c = img.pixelColor(9, y);
        if (!matches(c)) continue;
        const int t = terminalAt(y, img.height());
        if (found != 0 && found != t) return -1;
        found = t;
    }
    return found;
}
} // namespace

class TestPictures : public QObject {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        initPictures();
        initPictures(); // twice is harmless
        QVERIFY(QImageReader::supportedImageFormats().contains("svg"));
    }

    void eachPictureLoadsAtItsSize_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QSize>("size");
        QTest::newRow("Image_78") << "Image_78.svg" << QSize(97, 158);
        QTest::newRow("Image_79") << "Image_79.svg" << QSize(74, 185);
        QTest::newRow("Image_710") << "Image_710.svg" << QSize(97, 177);
        QTest::newRow("Image_56") << "Image_56.svg" << QSize(97, 162);
        QTest::newRow("Image_34") << "Image_34.svg" << QSize(97, 181);
        QTest::newRow("check") << "check.svg" << QSize(41, 38);
        QTest::newRow("back") << "back.svg" << QSize(51, 37);
        QTest::newRow("next") << "next.svg" << QSize(64, 50);
    }
    void eachPictureLoadsAtItsSize()
    {
        QFETCH(QString, name);
        QFETCH(QSize, size);
        QVERIFY(pictureNames().contains(name));
        const QPixmap pm(picturePath(name));
        QVERIFY2(!pm.isNull(), qPrintable(name));
        QCOMPARE(pm.size(), size);
        // Not blank: the drawing has a fair share of non-background pixels.
        const QImage img = pm.toImage();
        int inked = 0;
        for (int y = 0; y < img.height(); ++y)
            for (int x = 0; x < img.width(); ++x)
                inked += qAlpha(img.pixel(x, y)) > 0 && qGray(img.pixel(x, y)) < 200;
        QVERIFY2(inked > img.width() * img.height() / 20, qPrintable(QString::number(inked)));
    }

    void everyListedPictureIsShipped()
    {
        QCOMPARE(pictureNames().size(), 8);
        for (const QString &name : pictureNames())
            QVERIFY2(QFile::exists(picturePath(name)), qPrintable(name));
    }

    void wiresSitOnTheNamedTerminals_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("blue");
        QTest::addColumn<int>("red");
        QTest::newRow("7-8") << "Image_78.svg" << 7 << 8;
        QTest::newRow("7-9") << "Image_79.svg" << 7 << 9;
        QTest::newRow("7-10") << "Image_710.svg" << 7 << 10;
        QTest::newRow("5-6") << "Image_56.svg" << 5 << 6;
        QTest::newRow("3-4") << "Image_34.svg" << 3 << 4;
    }
    void wiresSitOnTheNamedTerminals()
    {
        QFETCH(QString, name);
        QFETCH(int, blue);
        QFETCH(int, red);
        const QImage img = QPixmap(picturePath(name)).toImage();
        QCOMPARE(colouredTerminal(img, isBlue), blue);
        QCOMPARE(colouredTerminal(img, isRed), red);
        // Both wires leave the drawing at the bottom edge.
        bool blueOut = false, redOut = false;
        for (int x = 0; x < img.width(); ++x) {
            blueOut |= isBlue(img.pixelColor(x, img.height() - 2));
            redOut |= isRed(img.pixelColor(x, img.height() - 2));
        }
        QVERIFY(blueOut);
        QVERIFY(redOut);
    }

    void checkMarkIsGreen()
    {
        const QImage img = QPixmap(picturePath(QStringLiteral("check.svg"))).toImage();
        int green = 0;
        for (int y = 0; y < img.height(); ++y)
            for (int x = 0; x < img.width(); ++x) {
                const QColor c = img.pixelColor(x, y);
                green += c.alpha() > 200 && c.green() > 150 && c.red() < 100 && c.blue() < 100;
            }
        QVERIFY2(green > 100, qPrintable(QString::number(green)));
    }

    void glyphsScaleCleanly()
    {
        // Drawn as vector glyphs, they stay sharp on a high-density screen.
        const QIcon next(picturePath(QStringLiteral("next.svg")));
        const QPixmap big = next.pixmap(QSize(128, 100));
        QCOMPARE(big.size(), QSize(128, 100));
    }
};

QTEST_MAIN(TestPictures)
#include "tst_pictures.moc"
