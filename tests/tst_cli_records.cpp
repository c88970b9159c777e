// End to end: kx4720r-cli's records commands, the real tool against the
// bench's SQLite file in a data folder of the suite's own and against a
// PostgreSQL server the suite starts itself.
#include <QtTest>

#include "records/bench_records.h"
#include "support/pgserver.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>

namespace {

struct Run {
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};

Run cli(const QStringList &arguments, const QString &dataHome, const QString &database = {},
        const QString &outputFile = {})
{
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("XDG_DATA_HOME"), dataHome);
    environment.insert(QStringLiteral("KX4720R_BENCH"), QStringLiteral("bench3"));
    environment.insert(QStringLiteral("LANG"), QStringLiteral("C.UTF-8"));
    if (!database.isEmpty()) environment.insert(QStringLiteral("KX4720R_RECORDS_DB"), database);
    process.setProcessEnvironment(environment);
    if (!outputFile.isEmpty()) process.setStandardOutputFile(outputFile);
    process.start(QStringLiteral(KX_CLI_BINARY),
                  QStringList{QStringLiteral("records")} + arguments);
    if (!process.waitForFinished(60000)) process.kill();
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            process.readAllStandardOutput(), process.readAllStandardError()};
}

// A failure is one line on standard error.
bool oneErrorLine(const Run &run)
{
    return run.err.startsWith("kx4720r-cli: ") && run.err.count('\n') == 1;
}

// A calibration log as the window writes it: a calibration, its report.
QByteArray calibrationLog()
{
    CalibrationRecord record = CalibrationRecord::forOutput(InstrumentRequest{});
    record.time = QDateTime(QDate(2026, 12, 7), QTime(16, 7, 14, 317), Qt::OffsetFromUTC, 3600);
    record.port = QStringLiteral("/dev/ttyUSB0");
    QByteArray log;
    for (const char *event : {"calibration", "report"}) {
        if (QByteArray(event) == "report") record.serialNumber = QStringLiteral("A10K3ZQ1");
        log += QJsonDocument(
                   QJsonObject{{"logged", "x"}, {"event", event}, {"record", record.toJson()}})
                   .toJson(QJsonDocument::Compact) +
               '\n';
    }
    return log;
}

} // namespace

class TestCliRecords : public QObject {
    Q_OBJECT

private slots:
    // The window's log becomes the bench's records; they are listed, shown,
    // exported, and imported into another bench's records once.
    void benchRecords()
    {
        QTemporaryDir home;
        QVERIFY(QDir().mkpath(home.filePath(QStringLiteral("kx4720r"))));
        QFile log(home.filePath(QStringLiteral("kx4720r/calibration-log.jsonl")));
        QVERIFY(log.open(QIODevice::WriteOnly) && log.write(calibrationLog()) > 0);
        log.close();

        const Run list = cli({QStringLiteral("list")}, home.path());
        QCOMPARE(list.exitCode, 0);
        const QList<QByteArray> lines = list.out.split('\n');
        QVERIFY(lines[0].startsWith("ID        CERTIFICATE  TIME              SERIAL    KIND"));
        QVERIFY2(lines[1].contains("2026-12-07 16:07  A10K3ZQ1  output"), list.out);
        const QByteArray id = lines[1].left(8);

        const Run json = cli({QStringLiteral("list"), QStringLiteral("--serial"),
                              QStringLiteral("A10K3ZQ1"), QStringLiteral("--json")},
                             home.path());
        const QJsonObject record = QJsonDocument::fromJson(json.out)
                                       .object()[QStringLiteral("records")]
                                       .toArray()[0]
                                       .toObject();
        QCOMPARE(record[QStringLiteral("dueDate")].toString(), QStringLiteral("2027-12-07"));
        QCOMPARE(record[QStringLiteral("spooled")].toBool(), false);
        QCOMPARE(
            cli({QStringLiteral("list"), QStringLiteral("--csv")}, home.path()).out.split('\n')[0],
            QByteArray("id,certificateNumber,model,serialNumber,kind,time,bench,technician,"
                       "asFound,asLeft,dueDate,spooled"));
        const Run show = cli({QStringLiteral("show"), QString::fromLatin1(id)}, home.path());
        QCOMPARE(show.exitCode, 0);
        QVERIFY2(show.out.contains("Unit              KX4720R, serial number A10K3ZQ1\n"),
                 show.out);
        QVERIFY(show.out.contains("Stored output     uOut4mA = PWM 0 (4 mA)\n"));

        const Run exported = cli({QStringLiteral("export"), QStringLiteral("--since"),
                                  QStringLiteral("2026-12-01"), QStringLiteral("--json")},
                                 home.path());
        QCOMPARE(exported.out.count('\n'), 1);
        QTemporaryDir other;
        QFile file(other.filePath(QStringLiteral("export.jsonl")));
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(exported.out) > 0);
        file.close();
        for (const char *said : {"1 imported, 0 kept already", "0 imported, 1 kept already"}) {
            const Run import = cli({QStringLiteral("import"), file.fileName()}, other.path());
            QCOMPARE(import.exitCode, 0);
            QVERIFY2(import.out.startsWith(said), import.out);
        }
        QCOMPARE(cli({QStringLiteral("show"), QString::fromLatin1(id), QStringLiteral("--json")},
                     other.path())
                     .out,
                 cli({QStringLiteral("show"), QString::fromLatin1(id), QStringLiteral("--json")},
                     home.path())
                     .out);
    }

    void failures_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("database");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("message");
        const QString unreachable =
            QStringLiteral("postgresql://kx@/calibration?host=/nonexistent");
        QTest::newRow("no action") << QStringList{} << QString() << 2 << "records: no action given";
        QTest::newRow("bad span") << QStringList{"list", "--due-within", "1m"} << QString() << 2
                                  << "records list: --due-within \"1m\" is not a number of days";
        QTest::newRow("two formats") << QStringList{"list", "--json", "--csv"} << QString() << 2
                                     << "records list: --json and --csv go one at a time";
        QTest::newRow("no such record")
            << QStringList{"show", "000042"} << QString() << 1 << "no record is named \"000042\"";
        QTest::newRow("no such file")
            << QStringList{"import", "/nonexistent.jsonl"} << QString() << 2
            << "/nonexistent.jsonl is not a file that can be imported";
        QTest::newRow("password in the string")
            << QStringList{"list"} << QStringLiteral("postgresql://kx:pw@qa/c") << 2
            << "the connection string postgresql://kx@qa/c holds a password";
        QTest::newRow("database out of reach")
            << QStringList{"list"} << unreachable << 3
            << "cannot reach the records database " + unreachable;
        QTest::newRow("output to a full disk")
            << QStringList{"list"} << QString() << 2
            << "cannot write to standard output: No space left on device";
    }
    void failures()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, database);
        QFETCH(int, exitCode);
        QFETCH(QString, message);
        QTemporaryDir home;
        const bool full = QByteArray(QTest::currentDataTag()) == "output to a full disk";
        const Run run =
            cli(arguments, home.path(), database, full ? QStringLiteral("/dev/full") : QString());
        QCOMPARE(run.exitCode, exitCode);
        QVERIFY2(oneErrorLine(run), run.err);
        QVERIFY2(run.err.startsWith("kx4720r-cli: " + message.toUtf8()), run.err);
    }

    // Records the bench could not send are listed, marked, while the shared
    // database is out of reach, and sent by the tool once it is back.
    void sharedRecords()
    {
        PostgresServer server;
        KX_START_POSTGRES(server);
        const QString database = server.createDatabase(QStringLiteral("calibration"));
        QTemporaryDir home;
        QString error;
        RecordsPlace place{parseConnectionString(database, error), home.filePath("kx4720r"),
                           QStringLiteral("bench3")};
        BenchRecords bench(place);
        QVERIFY(bench.open());
        QVERIFY(server.stop());
        CalibrationEntry entry =
            CalibrationEntry::fromRecord(CalibrationRecord::forInput(InstrumentRequest{}));
        entry.time = QDateTime::currentDateTime();
        entry.serialNumber = QStringLiteral("S1");
        QCOMPARE(bench.store(entry).where, BenchRecords::Stored::Where::Spool);

        const Run offline = cli({QStringLiteral("list")}, home.path(), database);
        QCOMPARE(offline.exitCode, 3);
        QVERIFY2(offline.out.contains("bench3-000001") &&
                     offline.out.contains("not yet in the shared records\n"),
                 offline.out);
        QVERIFY(offline.err.endsWith("; only the records of this bench's spool are listed\n"));

        QVERIFY(server.resume());
        const Run online =
            cli({QStringLiteral("list"), QStringLiteral("--json")}, home.path(), database);
        QCOMPARE(online.exitCode, 0);
        const QJsonArray records =
            QJsonDocument::fromJson(online.out).object()["records"].toArray();
        QCOMPARE(records.size(), 1);
        QCOMPARE(records[0]["certificateNumber"].toString(), QStringLiteral("bench3-000001"));
        QCOMPARE(records[0]["spooled"].toBool(), false);
        QCOMPARE(bench.spooled()->size(), std::size_t(0));
    }
};

QTEST_GUILESS_MAIN(TestCliRecords)
#include "tst_cli_records.moc"
