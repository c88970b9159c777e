// 0x00BBGGRR colours: conversion to and from QColor, system colours, the
// blend of the bar colours and the inverse text colour.
#include <QApplication>
#include <QtTest>
#include <cmath>

#include "widgets/colors.h"

using namespace kxcolor;

class TestColors : public QObject {
    Q_OBJECT
private slots:
    void redIsTheLowestByte()
    {
        QCOMPARE(toQColor(0x0080FF), QColor(255, 128, 0));
        QCOMPARE(toQColor(0xC080FF), QColor(255, 128, 192));
        QCOMPARE(fromQColor(QColor(255, 128, 0)), TColor(0x0080FF));
        QCOMPARE(fromQColor(QColor(10, 20, 30, 40)), TColor(0x1E140A)); // alpha dropped
        QCOMPARE(resolve(0x12345678), TColor(0x345678));                // unused top byte ignored
    }

    void systemColorsFollowThePalette()
    {
        QPalette palette;
        palette.setColor(QPalette::Active, QPalette::Button, QColor(0x12, 0x34, 0x56));
        palette.setColor(QPalette::Active, QPalette::WindowText, QColor(1, 2, 3));
        const TColor face = systemColor(SystemColor::ButtonFace);
        QVERIFY(isSystemColor(face));
        QVERIFY(!isSystemColor(yellow));
        QCOMPARE(resolve(face, palette), TColor(0x563412));
        QCOMPARE(toQColor(face, palette), QColor(0x12, 0x34, 0x56));
        QCOMPARE(resolve(systemColor(SystemColor::WindowText), palette), TColor(0x030201));
        QCOMPARE(resolve(systemColorFlag | 0x7F, palette), black); // no such entry
        const TColor appFace = resolve(face);
        QCOMPARE(toQColor(appFace), QApplication::palette().color(QPalette::Button));
    }

    void blend_data()
    {
        QTest::addColumn<TColor>("a");
        QTest::addColumn<TColor>("b");
        QTest::addColumn<double>("f");
        QTest::addColumn<TColor>("expected");
        // Blue: 255 + rnd(-127.5) = 127.
        QTest::newRow("white to yellow at a half") << white << yellow << 0.5 << TColor(0x7FFFFF);
        QTest::newRow("at 0") << white << TColor(0x0080FF) << 0.0 << white;
        QTest::newRow("at 1") << white << TColor(0x0080FF) << 1.0 << TColor(0x0080FF);
        QTest::newRow("below 0 limited") << white << red << -3.0 << white;
        QTest::newRow("above 1 limited") << white << red << 7.0 << red;
        QTest::newRow("NaN as 0") << white << red << std::nan("") << white;
        // Green 0 + rnd(128 * 0.5) = 64, blue 0 + rnd(255 * 0.5) = 128 (127.5 to even).
        QTest::newRow("black to 0xFF8000") << black << TColor(0xFF8000) << 0.5 << TColor(0x804000);
        QTest::newRow("pink at a quarter") << white << TColor(0xC080FF) << 0.25 << TColor(0xEFDFFF);
    }

    void blend()
    {
        QFETCH(TColor, a);
        QFETCH(TColor, b);
        QFETCH(double, f);
        QFETCH(TColor, expected);
        QCOMPARE(kxcolor::blend(a, b, f), expected);
    }

    void blendResolvesSystemColours()
    {
        const TColor face = resolve(systemColor(SystemColor::ButtonFace));
        QCOMPARE(kxcolor::blend(systemColor(SystemColor::ButtonFace), white, 0.0), face);
        QCOMPARE(kxcolor::blend(black, systemColor(SystemColor::ButtonFace), 1.0), face);
    }

    void inverse()
    {
        QCOMPARE(kxcolor::inverse(0x0080FF), TColor(0xFF7F00));
        QCOMPARE(kxcolor::inverse(white), black);
        QCOMPARE(kxcolor::inverse(black), white);
        const TColor face = resolve(systemColor(SystemColor::ButtonFace));
        QCOMPARE(kxcolor::inverse(systemColor(SystemColor::ButtonFace)), face ^ 0xFFFFFF);
    }
};

QTEST_MAIN(TestColors)
#include "tst_colors.moc"
