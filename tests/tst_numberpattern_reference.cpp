// The number-picture formatter against its earlier, plainer implementation
// (tests/support/numberpattern_reference.h): the same text for every value
// and picture -- random bit patterns (huge, tiny, subnormal, NaN, infinities),
// halves and near-halves at every decimal place, integers around the digit
// group boundaries, with the pictures the program uses and with random ones.
#include <QtTest>
#include <cmath>
#include <limits>
#include <vector>

#include "support/numberpattern_reference.h"
#include "text/numberpattern.h"

namespace {

// Every picture the program writes numbers with.
const char16_t *const kProgramPictures[] = {u"0",         u"00",        u"0000",         u"0.0",
                                            u"0.00",      u"0.000",     u"0.0000",       u"#0.000",
                                            u"##0.00",    u"##0.00000", u"## ##0",       u"00 000",
                                            u"0 000 000", u"# ### ##0", u"# ### ### ##0"};

std::vector<double> sampleValues()
{
    std::vector<double> values = {0.0,
                                  -0.0,
                                  std::numeric_limits<double>::quiet_NaN(),
                                  std::numeric_limits<double>::infinity(),
                                  -std::numeric_limits<double>::infinity(),
                                  std::numeric_limits<double>::max(),
                                  std::numeric_limits<double>::lowest(),
                                  std::numeric_limits<double>::min(),
                                  std::numeric_limits<double>::denorm_min(),
                                  -std::numeric_limits<double>::denorm_min(),
                                  4294967295.0,
                                  9007199254740993.0,
                                  1e21,
                                  1e22,
                                  0.99999999999999989,
                                  9.9999999999999982};
    QRandomGenerator random(4720);
    // Halves at every decimal place, exactly and one step either side, and
    // strings of nines that carry into a new digit.
    for (int places = 0; places <= 6; ++places) {
        const double unit = std::pow(10.0, -places);
        for (int i = 0; i < 300; ++i) {
            const double half = (double(random.bounded(2000000)) - 1000000.0 + 0.5) * unit;
            values.insert(values.end(),
                          {half, std::nextafter(half, 0.0), std::nextafter(half, half * 2)});
        }
        for (double nines = 9 * unit; nines < 1e7; nines = nines * 10 + 9 * unit)
            values.insert(values.end(), {nines, -nines, nines + unit / 2, -(nines + unit / 2)});
    }
    // Counters and readings around the group boundaries.
    for (double power = 1; power < 1e16; power *= 10)
        for (double delta : {-1.0, -0.5, 0.0, 0.5, 1.0})
            values.insert(values.end(), {power + delta, -(power + delta)});
    // Any bit pattern at all, and plain magnitudes of every size.
    for (int i = 0; i < 4000; ++i) {
        const quint64 bits = random.generate64();
        double value = 0;
        std::memcpy(&value, &bits, sizeof value);
        values.push_back(value);
        const double magnitude = std::pow(10.0, random.bounded(-30.0) + random.bounded(60.0));
        values.push_back(random.bounded(2) ? magnitude : -magnitude);
        values.push_back(double(qint64(random.generate64() >> random.bounded(64))) / 1000.0);
    }
    return values;
}

QString describe(double value)
{
    return QString::number(value, 'g', 17);
}

} // namespace

class TestNumberPatternReference : public QObject {
    Q_OBJECT
private slots:
    void programPicturesWriteWhatTheReferenceWrites();
    void randomPicturesWriteWhatTheReferenceWrites();
};

void TestNumberPatternReference::programPicturesWriteWhatTheReferenceWrites()
{
    const std::vector<double> values = sampleValues();
    QVERIFY(values.size() > 15000);
    for (const char16_t *picture : kProgramPictures)
        for (QChar separator : {QChar(u'.'), QChar(u',')})
            for (double value : values) {
                const QString expected = reference::formatPattern(value, picture, separator);
                const QString written = formatPattern(value, picture, separator);
                if (written != expected)
                    QFAIL(qPrintable(
                        QStringLiteral("%1 in \"%2\": \"%3\", expected \"%4\"")
                            .arg(describe(value), QStringView(picture), written, expected)));
            }
}

void TestNumberPatternReference::randomPicturesWriteWhatTheReferenceWrites()
{
    // Pictures of placeholders, separators, blanks, signs and other text, in
    // any order and number, also with several points and none at all.
    const QString alphabet = QStringLiteral("00##.. ,-%ké");
    const std::vector<double> values = sampleValues();
    QRandomGenerator random(115200);
    for (int i = 0; i < 400; ++i) {
        QString picture;
        const int length = int(random.bounded(14));
        for (int j = 0; j < length; ++j)
            picture += alphabet[random.bounded(alphabet.size())];
        if (i % 50 == 0) picture += QString(int(random.bounded(40)), u'0'); // long pictures
        for (int k = 0; k < 200; ++k) {
            const double value = values[random.bounded(quint32(values.size()))];
            const QChar separator = random.bounded(2) ? u',' : u'.';
            const QString expected = reference::formatPattern(value, picture, separator);
            const QString written = formatPattern(value, picture, separator);
            if (written != expected)
                QFAIL(qPrintable(QStringLiteral("%1 in \"%2\": \"%3\", expected \"%4\"")
                                     .arg(describe(value), picture, written, expected)));
        }
    }
}

QTEST_GUILESS_MAIN(TestNumberPatternReference)
#include "tst_numberpattern_reference.moc"
