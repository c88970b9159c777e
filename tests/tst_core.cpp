// The instrument core's value types: readings with their units and the
// readings file, the settings with their limits, the settings file reader and
// its errors, the request built from a plain state, and command latches.
#include <QtTest>

#include "core/decoded_reading.h"
#include "core/readings_csv.h"

#include <QTemporaryDir>

#include <csignal>
#include <sys/resource.h>

namespace {

QDateTime fixedTime()
{
    return QDateTime(QDate(2026, 3, 4), QTime(5, 6, 7, 89));
}

InstrumentReply replyWith(quint8 range, double inputValue, quint8 outputType, quint8 status)
{
    InstrumentReply reply;
    reply.InputRange = range;
    reply.InputValue = inputValue;
    reply.OutputType = outputType;
    reply.OutputLow = 4.0;
    reply.OutputHigh = 20.0;
    reply.OutputRatio = 0.25;
    reply.StatusBits = status;
    reply.ScaleRatio = 0.5;
    reply.Temperature = 27.25;
    reply.ADAveragedCH0 = -1500;
    reply.ADAveragedCH1 = 8388607;
    return reply;
}

QByteArray fileBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

class TestCore : public QObject {
    Q_OBJECT

private slots:
    void readingTakesUnitsFromTheTables_data();
    void readingTakesUnitsFromTheTables();
    void csvLineFollowsTheLocale_data();
    void csvLineFollowsTheLocale();
    void csvFileIsCreatedOrContinuedNeverMixed();
    void csvFileThatCannotBeOpenedSaysWhy();
    void csvLineThatDoesNotFitIsTakenBack();
};

void TestCore::readingTakesUnitsFromTheTables_data()
{
    QTest::addColumn<InstrumentReply>("reply");
    QTest::addColumn<QVariant>("input"); // invalid: no value
    QTest::addColumn<QString>("inputUnit");
    QTest::addColumn<QVariant>("output");
    QTest::addColumn<QString>("outputUnit");

    using namespace instrument;
    QTest::newRow("mV range") << replyWith(0, 0.125, Type::Current, 0) << QVariant(125.0) << "mV"
                              << QVariant(8.0) << "mA";
    QTest::newRow("V range, voltage output")
        << replyWith(3, 7.5, Type::Voltage, 0) << QVariant(7.5) << "V" << QVariant(8.0) << "V";
    QTest::newRow("mA range") << replyWith(6, 12.0, Type::Current, 0) << QVariant(12.0) << "mA"
                              << QVariant(8.0) << "mA";
    QTest::newRow("unknown range and output type")
        << replyWith(7, 1.0, 99, 0) << QVariant() << "" << QVariant(8.0) << "";
    QTest::newRow("both uncalibrated")
        << replyWith(6, 12.0, Type::Current,
                     Status::InputNotCalibrated | Status::OutputNotCalibrated)
        << QVariant() << "mA" << QVariant() << "mA";
}

void TestCore::readingTakesUnitsFromTheTables()
{
    QFETCH(InstrumentReply, reply);
    QFETCH(QVariant, input);
    QFETCH(QString, inputUnit);
    QFETCH(QVariant, output);
    QFETCH(QString, outputUnit);

    const DecodedReading reading = DecodedReading::fromReply(reply, fixedTime());
    QCOMPARE(reading.inputValue.has_value(), input.isValid());
    if (input.isValid()) QCOMPARE(*reading.inputValue, input.toDouble());
    QCOMPARE(reading.inputUnit, inputUnit);
    QCOMPARE(reading.outputValue.has_value(), output.isValid());
    if (output.isValid()) QCOMPARE(*reading.outputValue, output.toDouble());
    QCOMPARE(reading.outputUnit, outputUnit);
    QCOMPARE(reading.time, fixedTime());
    QCOMPARE(reading.temperature, std::optional<double>(27.25));
}

void TestCore::csvLineFollowsTheLocale_data()
{
    QTest::addColumn<QLocale>("locale");
    QTest::addColumn<DecodedReading>("reading");
    QTest::addColumn<QByteArray>("header");
    QTest::addColumn<QByteArray>("line");

    using namespace instrument;
    DecodedReading measured =
        DecodedReading::fromReply(replyWith(0, 0.1, Type::Current, 0), fixedTime());
    // Without calibration and without a sensor reading the value fields stay
    // empty: a spreadsheet leaves the cells blank instead of plotting zeros.
    InstrumentReply bare =
        replyWith(6, 1.0, Type::Voltage, Status::InputNotCalibrated | Status::OutputNotCalibrated);
    bare.Temperature = -200.0;
    const DecodedReading blank = DecodedReading::fromReply(bare, fixedTime());

    const QLocale point(QLocale::English, QLocale::UnitedStates);
    const QLocale comma(QLocale::Hungarian, QLocale::Hungary);
    QTest::newRow("decimal point")
        << point << measured
        << QByteArray("time,input,input unit,output,output unit,scale ratio,temperature (degC),"
                      "status bits,ADAveragedCH0,ADAveragedCH1\n")
        << QByteArray("2026-03-04T05:06:07.089,100,mV,8,mA,0.5,27.25,0,-1500,8388607\n");
    QTest::newRow("decimal comma")
        << comma << measured
        << QByteArray("time;input;input unit;output;output unit;scale ratio;temperature (degC);"
                      "status bits;ADAveragedCH0;ADAveragedCH1\n")
        << QByteArray("2026-03-04T05:06:07.089;100;mV;8;mA;0,5;27,25;0;-1500;8388607\n");
    QTest::newRow("empty values") << comma << blank << QByteArray()
                                  << QByteArray(
                                         "2026-03-04T05:06:07.089;;mA;;V;0,5;;160;-1500;8388607\n");
}

void TestCore::csvLineFollowsTheLocale()
{
    QFETCH(QLocale, locale);
    QFETCH(DecodedReading, reading);
    QFETCH(QByteArray, header);
    QFETCH(QByteArray, line);

    const CsvFormat format = CsvFormat::forLocale(locale);
    if (!header.isEmpty()) QCOMPARE(ReadingsCsvWriter::headerLine(format), header);
    QCOMPARE(ReadingsCsvWriter::line(reading, format), line);
}

void TestCore::csvFileIsCreatedOrContinuedNeverMixed()
{
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("readings.csv"));
    const CsvFormat point{u',', u'.'};
    const DecodedReading reading =
        DecodedReading::fromReply(replyWith(3, 1.5, instrument::Type::Voltage, 0), fixedTime());
    const QByteArray line = ReadingsCsvWriter::line(reading, point);
    {
        ReadingsCsvWriter writer(point);
        QVERIFY2(writer.open(path), qPrintable(writer.errorString()));
        QVERIFY(writer.append(reading));
        // Each line is in the file at once, not when the writer closes.
        QCOMPARE(fileBytes(path), ReadingsCsvWriter::headerLine(point) + line);
    }
    {
        ReadingsCsvWriter writer(point);
        QVERIFY(writer.open(path));
        QVERIFY(writer.append(reading));
    }
    QCOMPARE(fileBytes(path), ReadingsCsvWriter::headerLine(point) + line + line);

    // The other locale's format, or any other file, is never added to.
    ReadingsCsvWriter semicolons(CsvFormat{u';', u','});
    QVERIFY(!semicolons.open(path));
    QCOMPARE(semicolons.error(), ReadingsCsvWriter::Error::ForeignFile);
    QVERIFY(!semicolons.append(reading));
    QCOMPARE(semicolons.error(), ReadingsCsvWriter::Error::NotOpen);
    QCOMPARE(fileBytes(path), ReadingsCsvWriter::headerLine(point) + line + line);
}

void TestCore::csvFileThatCannotBeOpenedSaysWhy()
{
    QTemporaryDir folder;
    ReadingsCsvWriter writer;
    QVERIFY(!writer.open(folder.filePath(QStringLiteral("missing/readings.csv"))));
    QCOMPARE(writer.error(), ReadingsCsvWriter::Error::CannotOpen);
    QVERIFY2(writer.errorString().contains(QStringLiteral("No such file or directory")),
             qPrintable(writer.errorString()));
    QVERIFY(!writer.open(folder.path()));
    QCOMPARE(writer.error(), ReadingsCsvWriter::Error::CannotOpen);
    QVERIFY(!writer.isOpen());
}

void TestCore::csvLineThatDoesNotFitIsTakenBack()
{
    // A file size limit stands in for a full disk: the write that reaches it
    // is cut short, the next one fails.
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("readings.csv"));
    const CsvFormat point{u',', u'.'};
    const DecodedReading reading =
        DecodedReading::fromReply(replyWith(6, 12.0, instrument::Type::Current, 0), fixedTime());
    const QByteArray header = ReadingsCsvWriter::headerLine(point);
    const QByteArray line = ReadingsCsvWriter::line(reading, point);

    rlimit saved{};
    QVERIFY(::getrlimit(RLIMIT_FSIZE, &saved) == 0);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit limited = saved;
    limited.rlim_cur = rlim_t(header.size() + line.size() + line.size() / 2);
    QVERIFY(::setrlimit(RLIMIT_FSIZE, &limited) == 0);

    ReadingsCsvWriter writer(point);
    const bool opened = writer.open(path);
    const bool first = opened && writer.append(reading);
    const bool second = opened && writer.append(reading);
    ::setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, oldHandler);

    QVERIFY(opened);
    QVERIFY(first);
    QVERIFY(!second);
    QCOMPARE(writer.error(), ReadingsCsvWriter::Error::CannotWrite);
    QVERIFY2(!writer.systemMessage().isEmpty(), "the reason is given");
    QCOMPARE(writer.linesWritten(), 1);
    QCOMPARE(fileBytes(path), header + line);
}

QTEST_GUILESS_MAIN(TestCore)
#include "tst_core.moc"
