// The calibration records store against real databases: SQLite files in
// temporary folders and a PostgreSQL server the suite starts itself
// (support/pgserver). Bench processes are this program started again with
// KX_RECORDS_WRITER set, each storing 100 records as a bench would.
#include <cstdio>
#include <QtTest>

#include "core/calibration_log.h"
#include "records/bench_records.h"
#include "records/entry_json.h"
#include "records/records_schema.h"
#include "records/sql_connection.h"
#include "support/fulldisk.h"
#include "support/pgserver.h"

#include <QProcess>

#include <algorithm>
#include <set>

namespace {

const QDateTime Base(QDate(2026, 3, 2), QTime(9, 15, 30, 125), Qt::OffsetFromUTC, 3600);

// An input calibration with all a bench records: the stored
// points, the state as found and as left, both verifications, two standards.
CalibrationEntry calibration(const QString &serial, const QDateTime &time)
{
    CalibrationRecord record = CalibrationRecord::forInput(InstrumentRequest{});
    for (std::size_t i = 0; i < record.inputPoints.size(); ++i)
        record.inputPoints[i].reading = qint32(i * 100003) - 700000;
    record.time = time;
    record.port = QStringLiteral("/dev/ttyUSB0");
    record.firmware = QStringLiteral("2013-09-30");
    record.programVersion = QStringLiteral("2013.10.09");
    record.serialNumber = serial;
    record.technician = QStringLiteral("Kovács Éva");
    record.asFound = InstrumentState{1000, 27.0495, QDate(2013, 10, 1), 0x04};
    record.asLeft = InstrumentState{1001, std::nullopt, time.date(), 0};
    CalibrationEntry e = CalibrationEntry::fromRecord(record);
    e.approver = QStringLiteral("Nagy Péter");
    e.ambientTemperature = 23.4;
    e.relativeHumidity = 41.5;
    const auto verification = [&](VerificationPhase phase, double error, Verdict verdict) {
        Verification v{phase,
                       VerificationSide::Input,
                       time.addSecs(phase == VerificationPhase::AsFound ? -600 : 60),
                       QStringLiteral("mA"),
                       0.1,
                       0.02,
                       {}};
        for (int p = 0; p <= 4; ++p)
            v.points.push_back({QStringLiteral("%1 %").arg(p * 25), 4 + 4.0 * p,
                                4 + 4.0 * p + error, error, error / 16 * 100,
                                p == 2 ? verdict : Verdict::Pass});
        return v;
    };
    e.verifications = {
        verification(VerificationPhase::AsFound, 0.0312, Verdict::Fail),
        verification(VerificationPhase::AsLeft, 0.0139, Verdict::PassWithinGuardBand)};
    e.standards = {{QStringLiteral("CAL-7"), QStringLiteral("process calibrator"),
                    QStringLiteral("OMH-2026/118"), QDate(2027, 1, 31)},
                   {QStringLiteral("DMM-2"), {}, QStringLiteral("K-55"), QDate(2026, 11, 2)}};
    return e;
}

// A database of either kind, empty.
struct Database {
    QTemporaryDir folder;
    PostgresServer *server = nullptr;
    RecordsPlace place;

    Database(PostgresServer *pg, const QString &name) : server(pg)
    {
        place.folder = folder.path();
        place.bench = QStringLiteral("bench 3/A");
        if (server) {
            QString error;
            place.shared = parseConnectionString(server->createDatabase(name), error);
        }
    }
    std::unique_ptr<SqlConnection> connect() const
    {
        QString error;
        return place.shared ? SqlConnection::openPostgres(*place.shared, error)
                            : SqlConnection::openSqlite(place.localDatabasePath(), error);
    }
};

int writeAsBench()
{
    RecordsPlace place;
    place.folder = qEnvironmentVariable("KX_RECORDS_FOLDER");
    place.bench = qEnvironmentVariable("KX_RECORDS_WRITER");
    QString error;
    if (qEnvironmentVariableIsSet("KX_RECORDS_SHARED"))
        place.shared = parseConnectionString(qEnvironmentVariable("KX_RECORDS_SHARED"), error);
    BenchRecords bench(place);
    if (!bench.open()) {
        std::fprintf(stderr, "bench %s: %s\n", qPrintable(place.bench), qPrintable(bench.error()));
        return 2;
    }
    const int later = place.bench.endsWith(u'B') ? 1 : 0;
    for (int k = 0; k < 100; ++k) {
        // Both benches calibrate the same ten units in the same seconds.
        CalibrationEntry e = calibration(QStringLiteral("U%1").arg(k % 10), Base.addSecs(k / 10));
        e.id = QUuid::createUuid();
        e.dueDate = e.time.date().addMonths(12).addDays(later * 7 + k / 10);
        if (bench.store(e).where != BenchRecords::Stored::Where::Records) return 1;
    }
    return 0;
}

} // namespace

class TestRecords : public QObject {
    Q_OBJECT

    PostgresServer m_server;
    bool m_serverStarted = false;
    int m_databases = 0;

    // The row's database; null (and skipped) for PostgreSQL without a server.
    std::unique_ptr<Database> database()
    {
        QFETCH(bool, postgres);
        if (postgres && !m_serverStarted) return nullptr;
        return std::make_unique<Database>(postgres ? &m_server : nullptr,
                                          QStringLiteral("records%1").arg(++m_databases));
    }
    void backends()
    {
        QTest::addColumn<bool>("postgres");
        QTest::newRow("sqlite") << false;
        QTest::newRow("postgresql") << true;
    }

private slots:
    void initTestCase() { m_serverStarted = m_server.start(); }

#define NEED_SERVER()                                                                              \
    if (!m_serverStarted) {                                                                        \
        if (PostgresServer::required()) QFAIL(qPrintable(m_server.whyNot()));                      \
        QSKIP(qPrintable(m_server.whyNot() + QStringLiteral("; ") + PostgresServer::howToRun()));  \
    }
#define DATABASE(db)                                                                               \
    const std::unique_ptr<Database> db = database();                                               \
    if (!db) NEED_SERVER();

    void connectionStrings_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("host");
        QTest::addColumn<QString>("options"); // or the start of the refusal
        QTest::newRow("user, host, database")
            << "postgresql://bench3@qa-server/calibration"
            << "qa-server"
            << "connect_timeout=5;keepalives_idle=10;keepalives_interval=3;keepalives_count=3;"
               "tcp_user_timeout=15000";
        QTest::newRow("socket folder, own timeout")
            << "postgres://bench3@/calibration?host=/run/"
               "postgresql&connect_timeout=2&sslmode=disable"
            << "/run/postgresql"
            << "connect_timeout=2;sslmode=disable;keepalives_idle=10;keepalives_interval=3;"
               "keepalives_count=3;tcp_user_timeout=15000";
        QTest::newRow("password")
            << "postgresql://bench3:secret@qa/calibration" << QString()
            << "the connection string postgresql://bench3@qa/calibration holds a password";
        QTest::newRow("password parameter")
            << "postgresql://qa/c?password=x" << QString()
            << "the connection string postgresql://qa/c?password=x holds";
        QTest::newRow("parameter not passed on")
            << "postgresql://qa/c?options=-csearch_path" << QString()
            << "the connection string postgresql://qa/c?options=-csearch_path has a parameter "
               "\"options\"";
        QTest::newRow("option breaking the list")
            << "postgresql://qa/c?sslmode=a;b" << QString() << "the value of \"sslmode\"";
        QTest::newRow("other scheme")
            << "mysql://qa/c" << QString() << "\"mysql://qa/c\" is not a connection string";
    }
    void connectionStrings()
    {
        QFETCH(QString, text);
        QFETCH(QString, host);
        QFETCH(QString, options);
        QString error;
        const std::optional<PostgresAddress> address = parseConnectionString(text, error);
        if (host.isEmpty()) {
            QVERIFY(!address);
            QVERIFY2(error.startsWith(options), qPrintable(error));
            QVERIFY(!error.contains(QLatin1String("secret")));
            return;
        }
        QVERIFY2(address, qPrintable(error));
        QCOMPARE(address->host, host);
        QCOMPARE(address->user, QStringLiteral("bench3"));
        QCOMPARE(address->database, QStringLiteral("calibration"));
        QCOMPARE(address->options, options);
    }

    // The environment wins over the initialisation file's [Files] keys; the
    // file's names go without regard to letter case, the first one counts.
    void placeChosen()
    {
        QTemporaryDir folder;
        const QString ini = folder.filePath(QStringLiteral("kx4720r-config.ini"));
        QFile file(ini);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("[Date]\nDate=x\nRecordsDatabase=postgresql://date@qa/c\n[files]\n"
                   "RECORDSDATABASE = postgresql://bench3@qa/c\nRecordsDatabase=postgresql://"
                   "second@qa/c\nBench=line 3\n");
        file.close();
        QCOMPARE(windowIniPath(folder.filePath(QStringLiteral("kx4720r-cli"))), ini);
        const auto choose = [&] {
            return chooseRecordsPlace(profileValue(ini, RecordsSection, RecordsDatabaseKey),
                                      profileValue(ini, RecordsSection, BenchKey));
        };
        RecordsChoice choice = choose();
        QVERIFY(choice.place && choice.place->shared);
        QCOMPARE(choice.place->shared->user, QStringLiteral("bench3"));
        QCOMPARE(choice.place->bench, QStringLiteral("line 3"));
        QCOMPARE(choice.place->localDatabasePath(),
                 CalibrationLog::defaultFolder() + QStringLiteral("/records.sqlite"));
        qputenv("KX4720R_RECORDS_DB", "postgresql://other@qa/c");
        qputenv("KX4720R_BENCH", "bench9");
        choice = choose();
        QCOMPARE(choice.place->shared->user, QStringLiteral("other"));
        QCOMPARE(choice.place->bench, QStringLiteral("bench9"));
        qputenv("KX4720R_RECORDS_DB", "qa-server");
        choice = choose();
        qunsetenv("KX4720R_RECORDS_DB");
        qunsetenv("KX4720R_BENCH");
        QVERIFY(!choice.place);
        QVERIFY(choice.error.startsWith(QLatin1String("\"qa-server\" is not a connection string")));
    }

    void entryLines_data()
    {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<QString>("reason");
        QTest::newRow("not JSON") << QByteArray("{\"format\": ") << "not JSON";
        QTest::newRow("a list") << QByteArray("[]") << "not a JSON object";
        QTest::newRow("other format")
            << QByteArray(R"({"format": "kx4720r-settings", "version": 1})")
            << "format is not \"kx4720r-records-entry\"";
        QTest::newRow("newer version")
            << QByteArray(R"({"format": "kx4720r-records-entry", "version": 2})")
            << "version 2 is not known";
        QTest::newRow("log: unknown event")
            << QByteArray(R"({"logged": "x", "event": "print", "record": {}})")
            << "event \"print\" is neither";
        QTest::newRow("log: no time")
            << QByteArray(
                   R"({"event": "calibration", "record": {"format": "kx4720r-calibration-record", "version": 1, "kind": "input"}})")
            << "record.time is missing";
        QTest::newRow("log: PWM far beyond 16 bits")
            << QByteArray(
                   R"({"event": "report", "record": {"format": "kx4720r-calibration-record", "version": 1, "kind": "output", "time": "2026-03-02T09:15:30.125+01:00", "program": {"version": "1"}, "instrument": {"model": "KX4720R", "port": "p", "firmware": "f", "serialNumber": "S"}, "technician": null, "asFound": null, "asLeft": null, "outputPoints": [{"name": "uOut4mA", "target": "4 mA", "pwm": 1e300}]}})")
            << "record.outputPoints[0].pwm is not a whole number from 0 to 65535";
    }
    void entryLines()
    {
        QFETCH(QByteArray, line);
        QFETCH(QString, reason);
        const EntryRead read = readEntryLine(line);
        QVERIFY(!read.entry);
        QVERIFY2(read.error.startsWith(reason), qPrintable(read.error));
    }

    // Everything stored comes back as it was, in either database and through
    // the spool's JSON; stored again, nothing doubles.
    void storedWhole_data()
    {
        backends();
    }
    void storedWhole()
    {
        DATABASE(db);
        BenchRecords bench(db->place);
        QVERIFY2(bench.open(), qPrintable(bench.error()));
        CalibrationEntry e = calibration(QStringLiteral("A10K3ZQ1"), Base);
        QCOMPARE(readEntryLine(QJsonDocument(entryToJson(e)).toJson()).entry, e);
        const BenchRecords::Stored stored = bench.store(e);
        QCOMPARE(stored.where, BenchRecords::Stored::Where::Records);
        QCOMPARE(stored.certificateNumber,
                 db->server ? QStringLiteral("000001") : QStringLiteral("bench-3-A-000001"));
        QCOMPARE(e.bench, QStringLiteral("bench 3/A"));
        QCOMPARE(bench.records()->entry(e.id), e);

        CalibrationEntry again = e;
        QCOMPARE(bench.store(again).kind, RecordsStore::Outcome::Kind::AlreadyThere);
        QCOMPARE(again.certificateNumber, e.certificateNumber);
        QCOMPARE(bench.records()->list({})->size(), std::size_t(1));
        QCOMPARE(bench.records()->find(e.id.toString(QUuid::WithoutBraces).left(6).toUpper()),
                 std::vector<QUuid>{e.id});
        QCOMPARE(bench.records()->find(e.certificateNumber), std::vector<QUuid>{e.id});
        QCOMPARE(bench.records()->standards()->size(), std::size_t(2));
    }

    // A unit's history is newest first; its due date is its latest
    // calibration's, whatever order they were stored in; the due list holds
    // overdue units and leaves out units not yet due.
    void historyAndDue_data()
    {
        backends();
    }
    void historyAndDue()
    {
        DATABASE(db);
        BenchRecords bench(db->place);
        QVERIFY(bench.open());
        const QDate today(2027, 2, 1);
        struct Made {
            const char *serial;
            int days;
            QDate due;
        };
        const Made made[] = {{"S1", 10, QDate(2027, 3, 1)},
                             {"S1", 0, QDate(2027, 2, 5)},
                             {"S2", 0, QDate(2027, 1, 20)},
                             {"S3", 0, QDate(2027, 6, 1)},
                             {"S1", 5, QDate()}};
        for (const Made &m : made) {
            CalibrationEntry e = calibration(QString::fromLatin1(m.serial), Base.addDays(m.days));
            e.dueDate = m.due;
            QCOMPARE(bench.store(e).where, BenchRecords::Stored::Where::Records);
        }
        const auto history =
            bench.records()->history(QStringLiteral("KX4720R"), QStringLiteral("S1"));
        QVERIFY(history);
        QCOMPARE(history->size(), std::size_t(3));
        QCOMPARE(history->at(0).time, Base.addDays(10));
        QCOMPARE(history->at(2).time, Base);
        QCOMPARE(history->at(0).asFound, Verdict::Fail);
        QCOMPARE(history->at(0).asLeft, Verdict::PassWithinGuardBand);

        const auto due = bench.records()->dueBy(today.addDays(30));
        QVERIFY(due);
        QStringList units;
        for (const EntrySummary &s : *due)
            units << s.serialNumber + u' ' + s.dueDate.toString(Qt::ISODate);
        QCOMPARE(units, (QStringList{"S2 2027-01-20", "S1 2027-03-01"}));
    }

    // The calibration log is imported once, and then only what it gained;
    // a report names the unit of a calibration logged without one, and a
    // second report with another unit is refused. The log stays as it was.
    void calibrationLogImported()
    {
        QTemporaryDir folder;
        RecordsPlace place{std::nullopt, folder.path(), QStringLiteral("bench3")};
        CalibrationRecord record = CalibrationRecord::forInput(InstrumentRequest{});
        record.time = Base;
        const auto line = [&](const char *event, const QString &serial) {
            record.serialNumber = serial;
            return QJsonDocument(
                       QJsonObject{{"logged", "t"}, {"event", event}, {"record", record.toJson()}})
                       .toJson(QJsonDocument::Compact) +
                   '\n';
        };
        const QByteArray log =
            line("calibration", {}) + "{broken\n" + line("report", "S7") + line("report", "S8");
        QFile file(place.calibrationLogPath());
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(log) == log.size());
        file.close();

        std::vector<EntrySummary> list;
        for (int run = 0; run < 2; ++run) {
            BenchRecords bench(place);
            QVERIFY(bench.open());
            QCOMPARE(bench.notes().size(), run == 0 ? 2 : 0);
            if (run == 0) {
                QVERIFY2(bench.notes()[0].contains(QLatin1String(", line 2: not JSON")),
                         qPrintable(bench.notes()[0]));
                QVERIFY(bench.notes()[1].contains(QLatin1String(
                    "line 4: the calibration of 2026-03-02 09:15:30 belongs to unit S7")));
            }
            list = *bench.local().list({});
        }
        QCOMPARE(list.size(), std::size_t(1));
        QCOMPARE(list.front().serialNumber, QStringLiteral("S7"));
        QCOMPARE(list.front().dueDate, QDate(2027, 3, 2));
        QVERIFY(list.front().certificateNumber.isEmpty()); // no certificate was ever issued

        record.time = Base.addDays(1);
        QVERIFY(file.open(QIODevice::Append) && file.write(line("calibration", "S9")) > 0);
        file.close();
        BenchRecords bench(place);
        QVERIFY(bench.open());
        QVERIFY(bench.notes().isEmpty());
        QCOMPARE(bench.local().list({})->size(), std::size_t(2));
        QVERIFY(file.open(QIODevice::ReadOnly) && file.readAll().startsWith(log));
    }

    // Migrations run once each, in a transaction each, and never backwards.
    void migrations_data()
    {
        backends();
    }
    void migrations()
    {
        DATABASE(db);
        const auto conn = db->connect();
        QVERIFY(conn);
        QString error;
        std::vector<Migration> steps{
            {1, {"CREATE TABLE t1 (a INTEGER)"}, {"CREATE TABLE t1 (a INTEGER)"}},
            {2,
             {"CREATE TABLE t2 (a INTEGER)", "INSERT INTO nowhere VALUES (1)"},
             {"CREATE TABLE t2 (a INTEGER)", "INSERT INTO nowhere VALUES (1)"}}};
        QVERIFY(!migrate(*conn, steps, error));
        QVERIFY2(error.startsWith(QLatin1String("migration 2 of ")), qPrintable(error));
        QCOMPARE(schemaVersion(*conn), 1);
        QVERIFY(conn->select("SELECT a FROM t1"));
        QVERIFY(!conn->select("SELECT a FROM t2")); // taken back with its migration

        steps[1] = {2, {"CREATE TABLE t2 (a INTEGER)"}, {"CREATE TABLE t2 (a INTEGER)"}};
        QVERIFY2(migrate(*conn, steps, error), qPrintable(error)); // t1 is not made again
        QVERIFY(migrate(*conn, steps, error));
        QCOMPARE(schemaVersion(*conn), 2);

        steps.pop_back();
        QVERIFY(!migrate(*conn, steps, error));
        QVERIFY2(error.endsWith(QLatin1String("holds records of a newer program (schema 2; this "
                                              "program knows up to 1): update this program")),
                 qPrintable(error));
        QCOMPARE(schemaVersion(*conn), 2);
    }

    // Two benches store 100 records each at once, for the same ten units in
    // the same seconds: every record is there once, no certificate number
    // twice, and each unit is due as its latest calibration says.
    void twoBenchesAtOnce_data()
    {
        backends();
    }
    void twoBenchesAtOnce()
    {
        DATABASE(db);
        std::vector<std::unique_ptr<QProcess>> benches;
        for (const char *name : {"bench-A", "bench-B"}) {
            auto process = std::make_unique<QProcess>();
            QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
            environment.insert("KX_RECORDS_WRITER", name);
            environment.insert("KX_RECORDS_FOLDER", db->folder.path());
            if (db->place.shared) environment.insert("KX_RECORDS_SHARED", db->place.shared->text);
            process->setProcessEnvironment(environment);
            process->setProcessChannelMode(QProcess::ForwardedChannels);
            process->start(QCoreApplication::applicationFilePath(), {});
            benches.push_back(std::move(process));
        }
        for (const auto &process : benches) {
            QVERIFY(process->waitForFinished(120000));
            QCOMPARE(process->exitCode(), 0);
        }
        BenchRecords bench(db->place);
        QVERIFY(bench.open());
        const std::vector<EntrySummary> all = *bench.records()->list({});
        QCOMPARE(all.size(), std::size_t(200));
        std::set<QString> numbers;
        std::set<QUuid> ids;
        for (const EntrySummary &s : all) {
            QVERIFY(!s.certificateNumber.isEmpty());
            numbers.insert(s.certificateNumber);
            ids.insert(s.id);
        }
        QCOMPARE(numbers.size(), std::size_t(200));
        QCOMPARE(ids.size(), std::size_t(200));
        const std::vector<EntrySummary> due = *bench.records()->dueBy(QDate(2100, 1, 1));
        QCOMPARE(due.size(), std::size_t(10));
        for (const EntrySummary &unit : due) {
            std::vector<EntrySummary> history =
                *bench.records()->history("KX4720R", unit.serialNumber);
            QCOMPARE(history.size(), std::size_t(20));
            const auto latest =
                std::max_element(history.begin(), history.end(), [](const auto &a, const auto &b) {
                    return std::pair(a.time, a.id.toString(QUuid::WithoutBraces)) <
                           std::pair(b.time, b.id.toString(QUuid::WithoutBraces));
                });
            QCOMPARE(unit.id, latest->id);
            QCOMPARE(unit.dueDate, latest->dueDate);
        }
    }

    // The shared server stops in the middle: the bench keeps its records in
    // the spool, marked, and sends them first, in order and once each, when
    // the server is back.
    void serverStoppedInTheMiddle()
    {
        NEED_SERVER();
        Database db(&m_server, QStringLiteral("stopped"));
        BenchRecords bench(db.place);
        QVERIFY(bench.open());
        std::vector<QUuid> made;
        const auto store = [&] {
            CalibrationEntry e =
                calibration(QStringLiteral("S1"), Base.addSecs(qint64(made.size())));
            e.id = QUuid::createUuid();
            made.push_back(e.id);
            return bench.store(e);
        };
        for (int k = 0; k < 2; ++k)
            QCOMPARE(store().where, BenchRecords::Stored::Where::Records);
        QVERIFY(m_server.stop());
        for (int k = 0; k < 3; ++k) {
            const BenchRecords::Stored spooled = store();
            QCOMPARE(spooled.where, BenchRecords::Stored::Where::Spool);
            QVERIFY2(spooled.certificateNumber.startsWith(QLatin1String("bench-3-A-")),
                     qPrintable(spooled.certificateNumber));
            QVERIFY(!spooled.reason.isEmpty());
        }
        QCOMPARE(bench.spooled()->size(), std::size_t(3));
        QVERIFY(!bench.records());
        // Listed all the same, marked, and the unit due as its latest says.
        const auto listed = bench.list();
        QVERIFY(listed && !listed->complete && listed->records.size() == 3);
        QVERIFY(listed->records.front().pending && listed->records.front().id == made.back());
        const auto due = bench.dueBy(QDate(2100, 1, 1));
        QVERIFY(due && due->records.size() == 1 && due->records.front().id == made.back());
        QVERIFY(m_server.resume());
        QCOMPARE(store().where, BenchRecords::Stored::Where::Records); // after the spool's
        QCOMPARE(bench.spooled()->size(), std::size_t(0));
        const auto rows =
            db.connect()->select(QStringLiteral("SELECT uuid FROM calibrations ORDER BY id"));
        std::vector<QUuid> shared;
        for (const QVariantList &row : *rows)
            shared.push_back(QUuid::fromString(row[0].toString()));
        QCOMPARE(shared, made);
    }

    // A full disk under the bench's own database: the record that does not
    // fit is reported, never said to be stored, and costs none kept before.
    void fullDisk()
    {
        FullDisk disk("384k");
        if (!disk.mounted) QSKIP("a tmpfs of its own cannot be mounted here (only root may)");
        RecordsPlace place{std::nullopt, disk.folder.path(), QStringLiteral("bench3")};
        std::vector<QUuid> kept;
        QString reason;
        BenchRecords bench(place);
        QVERIFY2(bench.open(), qPrintable(bench.error()));
        for (int k = 0; k < 5000 && reason.isEmpty(); ++k) {
            CalibrationEntry e = calibration(QStringLiteral("S%1").arg(k), Base.addSecs(k));
            e.id = QUuid::createUuid();
            const BenchRecords::Stored stored = bench.store(e);
            if (stored.where == BenchRecords::Stored::Where::Records)
                kept.push_back(e.id);
            else
                reason = stored.reason;
        }
        QVERIFY2(reason.contains(QLatin1String("full")), qPrintable(reason));
        QVERIFY(!kept.empty());
        QCOMPARE(bench.local().list({})->size(), kept.size());
        QVERIFY(bench.local().entry(kept.back()));
    }
};

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    if (qEnvironmentVariableIsSet("KX_RECORDS_WRITER")) return writeAsBench();
    TestRecords test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_records.moc"
