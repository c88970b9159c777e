// The instrument core's value types: readings with their units and the
// readings file, the settings with their limits, the settings file reader and
// its errors, the request built from a plain state, and command latches.
#include <QtTest>

#include "core/command_latches.h"
#include "core/decoded_reading.h"
#include "core/readings_csv.h"
#include "core/reason_text.h"
#include "core/settings_file.h"
#include "support/settings_sample.h"

#include <QTemporaryDir>

#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>

using settingssample::edited;
const QByteArray &ValidFile = settingssample::kValid;

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
    void settingsAreComparedAsTheInstrumentHoldsThem();
    void settingsFileIsRejectedWithLineAndReason_data();
    void settingsFileIsRejectedWithLineAndReason();
    void settingsFileRoundTrip();
    void reasonsInTheLanguageOfTheirMessage_data();
    void reasonsInTheLanguageOfTheirMessage();
    void commandLatchesEndByAcknowledgementOrTheirTimeLimit();
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
    // Columns named in Hungarian are the same columns: each language goes on
    // in the other's file.
    ReadingsCsvWriter hungarian(CsvFormat{u',', u'.', TextLanguage::Hungarian});
    QVERIFY(hungarian.open(path) && hungarian.append(reading));
    hungarian.close();
    QCOMPARE(fileBytes(path), ReadingsCsvWriter::headerLine(point) + line + line + line);

    // The other locale's format, or any other file, is never added to.
    ReadingsCsvWriter semicolons(CsvFormat{u';', u','});
    QVERIFY(!semicolons.open(path));
    QCOMPARE(semicolons.error(), ReadingsCsvWriter::Error::ForeignFile);
    QVERIFY(!semicolons.append(reading));
    QCOMPARE(semicolons.error(), ReadingsCsvWriter::Error::NotOpen);
    QCOMPARE(fileBytes(path), ReadingsCsvWriter::headerLine(point) + line + line + line);
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

void TestCore::settingsAreComparedAsTheInstrumentHoldsThem()
{
    using instrument::SignalType;
    const InstrumentSettings typed{{SignalType::Voltage, 0.1, 10.0}, {SignalType::Current, 4, 20}};
    // What comes back from the instrument is the single-precision value.
    InstrumentReply reply;
    reply.InputType = instrument::Type::Voltage;
    reply.OutputType = instrument::Type::Current;
    reply.InputLow = double(0.1f);
    reply.InputHigh = 10.0;
    reply.OutputLow = 4.0;
    reply.OutputHigh = 20.0;
    const auto stored = InstrumentSettings::fromReply(reply);
    QVERIFY(stored);
    QVERIFY(typed.differences(*stored).isEmpty());

    InstrumentSettings other = typed;
    other.input.type = SignalType::Current;
    other.output.high = 20.5;
    QCOMPARE(typed.differences(other), QStringList({"input.type", "output.high"}));

    reply.OutputType = 99; // a reply that holds no settings
    QVERIFY(!InstrumentSettings::fromReply(reply));
}

void TestCore::settingsFileIsRejectedWithLineAndReason_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<SettingsFileError::Kind>("kind");
    QTest::addColumn<int>("line");
    QTest::addColumn<QString>("english"); // part of the English reason

    using K = SettingsFileError::Kind;
    QTest::newRow("bad JSON") << edited("\"version\": 1,", "\"version\": 1") << K::Syntax << 4
                              << "\"\"\" where \",\" or \"}\" belongs";
    QTest::newRow("cut short") << ValidFile.left(60) << K::Syntax << 4 << "ends too early";
    QTest::newRow("not UTF-8") << edited("voltage", "volt\xff") << K::Syntax << 5 << "UTF-8";
    QTest::newRow("too large") << QByteArray(SettingsFileMaxSize + 1, ' ') << K::TooLarge << 0
                               << "larger than 64 KiB";
    QTest::newRow("not an object")
        << QByteArray("[1, 2]") << K::NotAnObject << 1 << "no JSON object";
    QTest::newRow("other format") << edited("kx4720r-settings", "other") << K::WrongFormat << 2
                                  << "format \"other\"";
    QTest::newRow("unknown version") << edited("\"version\": 1", "\"version\": 2")
                                     << K::UnknownVersion << 3 << "version 2 is not known";
    QTest::newRow("missing field")
        << edited("    \"high\": 10,\n", "") << K::MissingField << 4 << "\"input.high\" is missing";
    QTest::newRow("unknown field") << edited("\"high\": 10,", "\"hihg\": 10,") << K::UnknownField
                                   << 7 << "unknown field \"input.hihg\"";
    QTest::newRow("repeated field") << edited("\"high\": 10,", "\"high\": 10,\n    \"high\": 11,")
                                    << K::RepeatedField << 8 << "more than once";
    QTest::newRow("number as text") << edited("\"low\": -10", "\"low\": \"-10\"") << K::WrongKind
                                    << 6 << "\"input.low\" must be a number";
    QTest::newRow("unknown type") << edited("voltage", "volts") << K::UnknownType << 5
                                  << "\"volts\"";
    QTest::newRow("unit of the other type") << edited("\"unit\": \"V\"", "\"unit\": \"mA\"")
                                            << K::WrongUnit << 8 << "a voltage scale is in V";
    QTest::newRow("NaN") << edited("-10", "NaN") << K::Syntax << 6 << "not a finite number";
    QTest::newRow("infinity") << edited("-10", "-Infinity") << K::Syntax << 6
                              << "not a finite number";
    QTest::newRow("beyond a double")
        << edited("\"high\": 10", "\"high\": 1e999") << K::Syntax << 7 << "not a finite number";
    QTest::newRow("beyond the input limit")
        << edited("-10", "-300") << K::BadValue << 6 << "beyond the limit of ±125 V";
    QTest::newRow("beyond single precision")
        << edited("\"high\": 20", "\"high\": 1e39") << K::BadValue << 13 << "too large";
    QTest::newRow("no span") << edited("\"low\": 4", "\"low\": 20") << K::BadValue << 13
                             << "no span";
    QTest::newRow("bad time")
        << edited("  }\n}",
                  "  },\n  \"source\": {\"port\": \"/dev/ttyUSB0\", \"time\": \"today\"}\n}")
        << K::BadTime << 16 << "not a date and time";
    QTest::newRow("read and edited")
        << edited("  }\n}", "  },\n  \"source\": {\"port\": \"/dev/ttyUSB0\", "
                            "\"time\": \"2026-03-04T05:06:07Z\"},\n  "
                            "\"edited\": {\"time\": \"2026-03-04T05:06:07Z\"}\n}")
        << K::SourceAndEdited << 17 << "exclude each other";
}

void TestCore::settingsFileIsRejectedWithLineAndReason()
{
    QFETCH(QByteArray, text);
    QFETCH(SettingsFileError::Kind, kind);
    QFETCH(int, line);
    QFETCH(QString, english);

    const SettingsFileRead read = parseSettingsFile(text);
    QVERIFY(!read.ok());
    QCOMPARE(read.error.kind, kind);
    QCOMPARE(read.error.line, line);
    const QString en = read.error.text(TextLanguage::English);
    const QString hu = read.error.text(TextLanguage::Hungarian);
    QVERIFY2(en.contains(english), qPrintable(en));
    QVERIFY2(line == 0 || en.startsWith(QStringLiteral("line %1: ").arg(line)), qPrintable(en));
    QVERIFY2(line == 0 || hu.startsWith(QStringLiteral("%1. sor: ").arg(line)), qPrintable(hu));
    QVERIFY2(hu != en && hu.size() > 12, qPrintable(hu));
}

void TestCore::settingsFileRoundTrip()
{
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("bench.kx4720r.json"));
    SettingsDocument document;
    document.settings.input = {instrument::SignalType::Voltage, double(0.1f), -2.5};
    document.settings.output = {instrument::SignalType::Voltage, 0.0, 10.0};
    document.source =
        SettingsSource{QStringLiteral("/dev/ttyUSB0 \"A\""),
                       QDateTime(QDate(2026, 3, 4), QTime(5, 6, 7, 89), Qt::OffsetFromUTC, 3600),
                       QStringLiteral("2013-09-30")};
    QString error;
    QVERIFY2(writeSettingsFile(path, document, error), qPrintable(error));
    const QByteArray text = fileBytes(path);
    // Values as the instrument holds them, written the short way.
    QVERIFY2(text.contains("\"low\": 0.1,"), text.constData());
    QVERIFY2(text.contains("\"time\": \"2026-03-04T05:06:07.089+01:00\""), text.constData());
    const SettingsFileRead read = readSettingsFile(path);
    QVERIFY2(read.ok(), qPrintable(read.error.text(TextLanguage::English)));
    QCOMPARE(read.document->source, document.source);
    QVERIFY(read.document->settings.differences(document.settings).isEmpty());

    // A device or FIFO at the name is written to by nobody, and stays what it is
    // (saving through a renamed new file would put a file in its place).
    const QString fifo = folder.filePath(QStringLiteral("line"));
    QCOMPARE(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    QVERIFY(!writeSettingsFile(fifo, document, error));
    QVERIFY2(error.contains(QStringLiteral("not a regular file")), qPrintable(error));
    QVERIFY(QFileInfo(fifo).exists() && !QFileInfo(fifo).isFile());

    // A file written by hand needs no source, and an editor's byte-order mark is no content.
    const SettingsFileRead hand = parseSettingsFile("\xEF\xBB\xBF" + ValidFile);
    QVERIFY(hand.ok());
    QVERIFY(!hand.document->source);
    QCOMPARE(hand.document->settings.input.low, -10.0);

    // Settings the reader would refuse are never written.
    document.settings.input.low = -300;
    QVERIFY(!writeSettingsFile(path, document, error));
    QVERIFY(error.contains(QStringLiteral("beyond the limit")));
    QCOMPARE(fileBytes(path), text);
}

void TestCore::reasonsInTheLanguageOfTheirMessage_data()
{
    QTest::addColumn<QString>("reason");
    QTest::addColumn<QString>("english");
    QTest::addColumn<QString>("hungarian");
    const QString full = QStringLiteral("No space left on device");
    const QString fullHu = QStringLiteral("Nincs több hely az eszközön");
    QTest::newRow("the system's") << full << full << fullHu;
    QTest::newRow("the system's, in Hungarian") << fullHu << full << fullHu;
    QTest::newRow("ours, with a name") << QStringLiteral("/tmp/a b is not a regular file")
                                       << QStringLiteral("/tmp/a b is not a regular file")
                                       << QStringLiteral("/tmp/a b nem közönséges fájl");
    QTest::newRow("unknown") << QStringLiteral("Odd") << QStringLiteral("Odd")
                             << QStringLiteral("Odd");
}

void TestCore::reasonsInTheLanguageOfTheirMessage()
{
    QFETCH(QString, reason);
    QFETCH(QString, english);
    QFETCH(QString, hungarian);
    QCOMPARE(reasonText(reason, TextLanguage::English), english);
    QCOMPARE(reasonText(reason, TextLanguage::Hungarian), hungarian);
}

void TestCore::commandLatchesEndByAcknowledgementOrTheirTimeLimit()
{
    using namespace instrument::Command;
    const auto now = CommandLatches::Clock::now();
    CommandLatches latches;
    latches.press(Reset, now + std::chrono::seconds(1));
    latches.press(WriteSettings | ClearTemperatureMinMax);
    QCOMPARE(latches.pending(), quint8(Reset | WriteSettings | ClearTemperatureMinMax));
    // Only a command with a time limit is given up, and only once it has passed.
    QCOMPARE(latches.expire(now), quint8(0));
    QCOMPARE(latches.expire(now + std::chrono::seconds(2)), quint8(Reset));
    // Bits 0 and 2 carry no command; an acknowledgement of a command not
    // latched still counts as done.
    QCOMPARE(latches.acknowledge(quint8(WriteSettings | StoreInputCalibration | 4)),
             quint8(WriteSettings | StoreInputCalibration));
    QCOMPARE(latches.pending(), quint8(ClearTemperatureMinMax));
    QVERIFY(CommandLatches::readBackDue(WriteSettings));
}

QTEST_GUILESS_MAIN(TestCore)
#include "tst_core.moc"
