// Number pictures of the displays and the number reader of the edits, with a
// point and with a comma as the decimal separator.
#include <QtTest>
#include <cmath>
#include <limits>

#include "text/numberpattern.h"

class TestNumberPattern : public QObject {
    Q_OBJECT
private slots:
    void cleanup() { QLocale::setDefault(QLocale::c()); }

    void formats_data();
    void formats();
    void roundsTheDecimalTextHalfAwayFromZero_data();
    void roundsTheDecimalTextHalfAwayFromZero();
    void notANumberAndInfinities();
    void usesTheDefaultLocaleSeparator();

    void parses_data();
    void parses();
    void rejects_data();
    void rejects();
    void parsesWithTheDefaultLocaleSeparator();
};

void TestNumberPattern::formats_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("pattern");
    QTest::addColumn<QString>("expected"); // "." stands for the separator in use

    // Counters, readings, statistics: literal spaces are written even where
    // no digit stands before them.
    QTest::newRow("0 000 000 full") << 1234567.0 << "0 000 000"
                                    << "1 234 567";
    QTest::newRow("0 000 000 zero") << 0.0 << "0 000 000"
                                    << "0 000 000";
    QTest::newRow("0 000 000 small") << 12.0 << "0 000 000"
                                     << "0 000 012";
    QTest::newRow("0 000 000 negative") << -123.0 << "0 000 000"
                                        << "-0 000 123";
    QTest::newRow("0 000 000 wider than the picture") << 12345678.0 << "0 000 000"
                                                      << "12 345 678";
    QTest::newRow("0 000 000 full negative") << -8388607.0 << "0 000 000"
                                             << "-8 388 607";
    QTest::newRow("# ### ##0 full") << 1234567.0 << "# ### ##0"
                                    << "1 234 567";
    QTest::newRow("# ### ##0 four digits") << 1500.0 << "# ### ##0"
                                           << " 1 500";
    QTest::newRow("# ### ##0 one digit") << 5.0 << "# ### ##0"
                                         << "  5";
    QTest::newRow("# ### ##0 zero") << 0.0 << "# ### ##0"
                                    << "  0";
    QTest::newRow("# ### ##0 negative") << -1500.0 << "# ### ##0"
                                        << " -1 500";
    QTest::newRow("# ### ### ##0 counter 5") << 5.0 << "# ### ### ##0"
                                             << "   5";
    QTest::newRow("# ### ### ##0 counter big") << 4294967295.0 << "# ### ### ##0"
                                               << "4 294 967 295";
    QTest::newRow("## ##0 65535") << 65535.0 << "## ##0"
                                  << "65 535";
    QTest::newRow("## ##0 40000") << 40000.0 << "## ##0"
                                  << "40 000";
    QTest::newRow("## ##0 12345") << 12345.0 << "## ##0"
                                  << "12 345";
    QTest::newRow("## ##0 345") << 345.0 << "## ##0"
                                << " 345";
    QTest::newRow("## ##0 zero") << 0.0 << "## ##0"
                                 << " 0";
    QTest::newRow("## ##0 negative") << -345.0 << "## ##0"
                                     << " -345";
    QTest::newRow("## ##0 keeps every digit") << 1234567.0 << "## ##0"
                                              << "1234 567";
    QTest::newRow("00 000 zero") << 0.0 << "00 000"
                                 << "00 000";
    QTest::newRow("00 000 five") << 5.0 << "00 000"
                                 << "00 005";
    QTest::newRow("00 000 32768") << 32768.0 << "00 000"
                                  << "32 768";
    QTest::newRow("0000 year") << 2013.0 << "0000"
                               << "2013";
    QTest::newRow("0000 short") << 5.0 << "0000"
                                << "0005";
    QTest::newRow("00 month") << 5.0 << "00"
                              << "05";
    QTest::newRow("00 wide") << 125.0 << "00"
                             << "125";
    QTest::newRow("0 hours") << 2.0 << "0"
                             << "2";
    QTest::newRow("0 zero") << 0.0 << "0"
                            << "0";
    QTest::newRow("0 huge") << 1e20 << "0"
                            << "100000000000000000000";
    QTest::newRow("# zero writes nothing") << 0.0 << "#"
                                           << "";

    // Decimals.
    QTest::newRow("0.0 23.46") << 23.46 << "0.0"
                               << "23.5";
    QTest::newRow("0.0 -199.9") << -199.9 << "0.0"
                                << "-199.9";
    QTest::newRow("0.0 -250") << -250.0 << "0.0"
                              << "-250.0";
    QTest::newRow("0.0 rounds to zero without a sign") << -0.04 << "0.0"
                                                       << "0.0";
    QTest::newRow("0.0 negative zero") << -0.0 << "0.0"
                                       << "0.0";
    QTest::newRow("0.0 carries") << 0.96 << "0.0"
                                 << "1.0";
    QTest::newRow("0.000") << 12.3456 << "0.000"
                           << "12.346";
    QTest::newRow("#0.000 four") << 4.0 << "#0.000"
                                 << "4.000";
    QTest::newRow("#0.000 twenty") << 20.0 << "#0.000"
                                   << "20.000";
    QTest::newRow("#0.000 half") << 0.5 << "#0.000"
                                 << "0.500";
    QTest::newRow("#0.000 wide") << 150.0 << "#0.000"
                                 << "150.000";
    QTest::newRow("#0.000 zero") << 0.0 << "#0.000"
                                 << "0.000";
    QTest::newRow("##0.00 hundred") << 100.0 << "##0.00"
                                    << "100.00";
    QTest::newRow("##0.00 negative") << -300.0 << "##0.00"
                                     << "-300.00";
    QTest::newRow("##0.00 small") << 0.1 << "##0.00"
                                  << "0.10";
    QTest::newRow("0.0000") << 1.5 << "0.0000"
                            << "1.5000";
    QTest::newRow("##0.00000 tenth") << 0.1 << "##0.00000"
                                     << "0.10000";
    QTest::newRow("##0.00000 single-precision tenth") << double(0.1f) << "##0.00000"
                                                      << "0.10000";
    QTest::newRow("##0.00000 tiny") << 1e-300 << "##0.00000"
                                    << "0.00000";
    QTest::newRow("bar text 150%") << 150.0 << "0"
                                   << "150";
    QTest::newRow("bar text -20%") << -20.0 << "0"
                                   << "-20";

    // Optional decimals and literals after the separator.
    QTest::newRow("0.## trims") << 1.5 << "0.##"
                                << "1.5";
    QTest::newRow("0.## drops the separator") << 1.0 << "0.##"
                                              << "1";
    QTest::newRow("0.0# keeps the forced one") << 1.0 << "0.0#"
                                               << "1.0";
    QTest::newRow("literal prefix and suffix") << 7.25 << "V0.00 x"
                                               << "V7.25 x";
    QTest::newRow("no integer places") << 12.5 << ".00"
                                       << "12.50";
    QTest::newRow("no integer places, below one") << 0.5 << ".00"
                                                  << ".50";
    QTest::newRow("no integer places, negative") << -0.5 << ".00"
                                                 << "-.50";
}

void TestNumberPattern::formats()
{
    QFETCH(double, value);
    QFETCH(QString, pattern);
    QFETCH(QString, expected);
    QCOMPARE(formatPattern(value, pattern, u'.'), expected);
    QString withComma = expected;
    withComma.replace(u'.', u',');
    QCOMPARE(formatPattern(value, pattern, u','), withComma);
}

void TestNumberPattern::roundsTheDecimalTextHalfAwayFromZero_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("pattern");
    QTest::addColumn<QString>("expected");
    // Each of these sits just below the half in binary; the user sees a half.
    QTest::newRow("2.675") << 2.675 << "0.00"
                           << "2.68";
    QTest::newRow("1.005") << 1.005 << "0.00"
                           << "1.01";
    QTest::newRow("23.45") << 23.45 << "0.0"
                           << "23.5";
    QTest::newRow("-23.45") << -23.45 << "0.0"
                            << "-23.5";
    QTest::newRow("0.125") << 0.125 << "0.00"
                           << "0.13";
    QTest::newRow("0.5") << 0.5 << "0"
                         << "1";
    QTest::newRow("2.5") << 2.5 << "0"
                         << "3";
    QTest::newRow("-2.5") << -2.5 << "0"
                          << "-3";
    QTest::newRow("9.995 carries") << 9.995 << "0.00"
                                   << "10.00";
    QTest::newRow("999.5 carries") << 999.5 << "## ##0"
                                   << "1 000";
    QTest::newRow("0.0005") << 0.0005 << "0.000"
                            << "0.001";
    QTest::newRow("0.0004") << 0.0004 << "0.000"
                            << "0.000";
    QTest::newRow("0.00049") << 0.00049 << "0.000"
                             << "0.000";
    QTest::newRow("-0.5 to a signed one") << -0.5 << "0"
                                          << "-1";
    QTest::newRow("-0.4 to zero") << -0.4 << "0"
                                  << "0";
    QTest::newRow("a half far beyond the places") << 0.00000005 << "0.0000"
                                                  << "0.0000";
}

void TestNumberPattern::roundsTheDecimalTextHalfAwayFromZero()
{
    QFETCH(double, value);
    QFETCH(QString, pattern);
    QFETCH(QString, expected);
    QCOMPARE(formatPattern(value, pattern, u'.'), expected);
}

void TestNumberPattern::notANumberAndInfinities()
{
    const double inf = std::numeric_limits<double>::infinity();
    QCOMPARE(formatPattern(std::nan(""), u"0.0", u'.'), QStringLiteral("NaN"));
    QCOMPARE(formatPattern(inf, u"0 000 000", u'.'), QStringLiteral("INF"));
    QCOMPARE(formatPattern(-inf, u"## ##0", u'.'), QStringLiteral("-INF"));
    // The largest double keeps all of its 309 integer digits.
    const QString max = formatPattern(std::numeric_limits<double>::max(), u"0", u'.');
    QCOMPARE(max.size(), 309);
    QVERIFY(max.startsWith(QStringLiteral("17976931348623157")));
}

void TestNumberPattern::usesTheDefaultLocaleSeparator()
{
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    QCOMPARE(localeDecimalSeparator(), QChar(u','));
    QCOMPARE(formatPattern(23.46, u"0.0"), QStringLiteral("23,5"));
    QCOMPARE(formatPattern(1234567, u"0 000 000"), QStringLiteral("1 234 567"));
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    QCOMPARE(localeDecimalSeparator(), QChar(u'.'));
    QCOMPARE(formatPattern(23.46, u"0.0"), QStringLiteral("23.5"));
}

void TestNumberPattern::parses_data()
{
    QTest::addColumn<QString>("text"); // "." stands for the separator in use
    QTest::addColumn<double>("expected");
    QTest::newRow("integer") << "20" << 20.0;
    QTest::newRow("decimal") << "1.5" << 1.5;
    QTest::newRow("negative") << "-300" << -300.0;
    QTest::newRow("plus sign") << "+4" << 4.0;
    QTest::newRow("blanks around") << "  0.1\t" << 0.1;
    QTest::newRow("leading separator") << ".5" << 0.5;
    QTest::newRow("trailing separator") << "5." << 5.0;
    QTest::newRow("exponent") << "1.5E3" << 1500.0;
    QTest::newRow("negative exponent") << "25e-1" << 2.5;
    QTest::newRow("negative zero") << "-0" << 0.0;
    QTest::newRow("many digits") << "0.1000000014901161193847656" << double(0.1f);
}

void TestNumberPattern::parses()
{
    QFETCH(QString, text);
    QFETCH(double, expected);
    const auto withPoint = parseLocaleNumber(text, u'.');
    QVERIFY(withPoint.has_value());
    QCOMPARE(*withPoint, expected);
    QString commaText = text;
    commaText.replace(u'.', u',');
    const auto withComma = parseLocaleNumber(commaText, u',');
    QVERIFY(withComma.has_value());
    QCOMPARE(*withComma, expected);
}

void TestNumberPattern::rejects_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QChar>("separator");
    QTest::newRow("empty") << "" << QChar(u'.');
    QTest::newRow("blanks") << "   " << QChar(u'.');
    QTest::newRow("nan") << "nan" << QChar(u'.');
    QTest::newRow("NaN") << "NaN" << QChar(u',');
    QTest::newRow("inf") << "inf" << QChar(u'.');
    QTest::newRow("-inf") << "-inf" << QChar(u'.');
    QTest::newRow("infinity") << "Infinity" << QChar(u'.');
    QTest::newRow("letters") << "abc" << QChar(u'.');
    QTest::newRow("trailing letters") << "12abc" << QChar(u'.');
    QTest::newRow("comma where point is the separator") << "1,5" << QChar(u'.');
    QTest::newRow("point where comma is the separator") << "1.5" << QChar(u',');
    QTest::newRow("group separator") << "1 000" << QChar(u'.');
    QTest::newRow("two separators") << "1.2.3" << QChar(u'.');
    QTest::newRow("sign only") << "-" << QChar(u'.');
    QTest::newRow("separator only") << "." << QChar(u'.');
    QTest::newRow("two signs") << "+-1" << QChar(u'.');
    QTest::newRow("exponent without digits") << "1e" << QChar(u'.');
    QTest::newRow("exponent without mantissa") << "e5" << QChar(u'.');
    QTest::newRow("hexadecimal") << "0x10" << QChar(u'.');
    QTest::newRow("too large") << "1e400" << QChar(u'.');
    QTest::newRow("too large negative") << "-1e400" << QChar(u'.');
    QTest::newRow("other digits") << QStringLiteral("\u0663") << QChar(u'.');
    QTest::newRow("embedded blank") << "1 .5" << QChar(u'.');
}

void TestNumberPattern::rejects()
{
    QFETCH(QString, text);
    QFETCH(QChar, separator);
    QVERIFY(!parseLocaleNumber(text, separator).has_value());
}

void TestNumberPattern::parsesWithTheDefaultLocaleSeparator()
{
    QLocale::setDefault(QLocale(QLocale::Hungarian, QLocale::Hungary));
    QCOMPARE(parseLocaleNumber(u"2,5").value_or(0), 2.5);
    QVERIFY(!parseLocaleNumber(u"2.5").has_value());
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedKingdom));
    QCOMPARE(parseLocaleNumber(u"2.5").value_or(0), 2.5);
    QVERIFY(!parseLocaleNumber(u"2,5").has_value());
}

QTEST_GUILESS_MAIN(TestNumberPattern)
#include "tst_numberpattern.moc"
