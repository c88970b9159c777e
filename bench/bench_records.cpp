// The calibration records at a factory's size: 100,000 records of 10,000
// units (each unit calibrated once a year for ten years), in a SQLite file
// as a bench keeps it (WAL, synced at every commit) and in a PostgreSQL
// server started for the run with its usual durability. Measured on each:
// a unit's history, the list of units due within the next month, and one
// record stored (its own transaction, committed to the disk).
//
//   bench_records [--records N] [--units N] [--backend sqlite|postgresql|both]
#include "records/records_store.h"
#include "records/sql_connection.h"
#include "support/pgserver.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

struct Figures {
    std::vector<double> ms;

    double at(double share) const
    {
        std::vector<double> sorted = ms;
        std::sort(sorted.begin(), sorted.end());
        return sorted[std::min(sorted.size() - 1, std::size_t(share * double(sorted.size())))];
    }
};

template <typename F> Figures measure(int times, F work)
{
    Figures figures;
    for (int i = 0; i < times; ++i) {
        QElapsedTimer timer;
        timer.start();
        work(i);
        figures.ms.push_back(double(timer.nsecsElapsed()) / 1e6);
    }
    return figures;
}

QString loadAverage()
{
    QFile file(QStringLiteral("/proc/loadavg"));
    file.open(QIODevice::ReadOnly);
    return QString::fromLatin1(file.readAll()).section(u' ', 0, 2);
}

// A yearly input calibration as a bench records it: the fourteen points,
// the state as found and as left, both verifications of five points, and
// the standard used.
CalibrationEntry calibration(int unit, const QDateTime &time)
{
    CalibrationRecord record = CalibrationRecord::forInput(InstrumentRequest{});
    record.time = time;
    record.port = QStringLiteral("/dev/ttyUSB0");
    record.firmware = QStringLiteral("2013-09-30");
    record.programVersion = QStringLiteral("2013.10.09");
    record.serialNumber = QStringLiteral("KX%1").arg(unit, 6, 10, QLatin1Char('0'));
    record.technician = QStringLiteral("Technician %1").arg(unit % 7);
    record.asFound = InstrumentState{quint32(unit) * 10, 26.5, time.date().addYears(-1), 0};
    record.asLeft = record.asFound;
    CalibrationEntry e = CalibrationEntry::fromRecord(record);
    e.bench = QStringLiteral("bench%1").arg(unit % 4);
    for (const VerificationPhase phase : {VerificationPhase::AsFound, VerificationPhase::AsLeft}) {
        Verification v{phase, VerificationSide::Input, time, QStringLiteral("mA"), 0.1, 0.02, {}};
        for (int p = 0; p <= 4; ++p)
            v.points.push_back({QStringLiteral("%1 %").arg(p * 25), 4.0 + 4 * p, 4.001 + 4 * p,
                                0.001, 0.00625, Verdict::Pass});
        e.verifications.push_back(v);
    }
    e.standards = {{QStringLiteral("CAL-%1").arg(unit % 3),
                    {},
                    QStringLiteral("OMH-118"),
                    time.date().addMonths(6)}};
    return e;
}

void report(const char *backend, const char *what, const Figures &f, double target)
{
    std::printf("%-10s %-28s median %8.2f ms  p99 %8.2f ms  max %8.2f ms  (target <= %g ms)\n",
                backend, what, f.at(0.5), f.at(0.99), f.at(1.0), target);
    std::fflush(stdout); // a long run shows its figures as they come
}

bool run(const char *backend, std::unique_ptr<SqlConnection> db, int records, int units)
{
    QString error;
    std::unique_ptr<RecordsStore> store =
        RecordsStore::open(std::move(db), QStringLiteral("bench1"), error);
    if (!store) {
        std::printf("%s: %s\n", backend, qPrintable(error));
        return false;
    }
    // Ten years back, each unit once a year: every unit's latest
    // calibration lies within the last year, so about a twelfth of them
    // fall due within the next month.
    const QDateTime now = QDateTime::currentDateTime();
    const qint64 span = qint64(records / units) * 365 * 86400;
    const QDateTime first = now.addSecs(-span);
    QElapsedTimer fill;
    fill.start();
    const int batch = 1000;
    for (int start = 0; start < records; start += batch) {
        std::vector<CalibrationEntry> entries;
        for (int i = start; i < std::min(records, start + batch); ++i)
            entries.push_back(calibration(i % units, first.addSecs(span * i / records)));
        const auto outcomes = store->storeAll(entries, RecordsStore::Numbering::Assign);
        if (outcomes.front().kind != RecordsStore::Outcome::Kind::Stored) {
            std::printf("%s: filling failed: %s\n", backend, qPrintable(store->error()));
            return false;
        }
    }
    std::printf("%-10s %d records of %d units stored in %.1f s (load average %s)\n", backend,
                records, units, double(fill.elapsed()) / 1000, qPrintable(loadAverage()));

    QRandomGenerator random(4720);
    std::size_t rows = 0;
    const Figures history = measure(1000, [&](int) {
        const int unit = int(random.bounded(units));
        rows += store
                    ->history(QStringLiteral("KX4720R"),
                              QStringLiteral("KX%1").arg(unit, 6, 10, QLatin1Char('0')))
                    ->size();
    });
    report(backend, "a unit's history", history, 10);
    std::size_t dueUnits = 0;
    const Figures due = measure(
        20, [&](int) { dueUnits = store->dueBy(QDate::currentDate().addDays(30))->size(); });
    report(backend, "units due within 30 days", due, 100);
    const Figures one = measure(200, [&](int i) {
        CalibrationEntry e = calibration(int(random.bounded(units)), now.addSecs(i));
        store->store(e, RecordsStore::Numbering::Assign);
    });
    report(backend, "one record stored", one, 20);
    std::printf("%-10s (%.1f records per history, %zu units due within 30 days)\n", backend,
                double(rows) / 1000, dueUnits);
    return true;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.addOptions({{"records", "records to store", "N", "100000"},
                       {"units", "units they belong to", "N", "10000"},
                       {"backend", "sqlite, postgresql or both", "NAME", "both"}});
    parser.addHelpOption();
    parser.process(app);
    const int records = parser.value("records").toInt();
    const int units = std::max(1, parser.value("units").toInt());
    const QString backend = parser.value("backend");
    bool ok = true;
    if (backend != u"postgresql") {
        QTemporaryDir folder;
        QString error;
        auto db =
            SqlConnection::openSqlite(folder.filePath(QStringLiteral("records.sqlite")), error);
        ok = db && run("SQLite", std::move(db), records, units) && ok;
    }
    if (backend != u"sqlite") {
        PostgresServer server(PostgresServer::Durability::Real);
        if (!server.start()) {
            std::printf("PostgreSQL left out: %s; %s\n", qPrintable(server.whyNot()),
                        qPrintable(PostgresServer::howToRun()));
            return ok ? 0 : 1;
        }
        QString error;
        const std::optional<PostgresAddress> address =
            parseConnectionString(server.createDatabase(QStringLiteral("records")), error);
        auto db = address ? SqlConnection::openPostgres(*address, error) : nullptr;
        ok = db && run("PostgreSQL", std::move(db), records, units) && ok;
    }
    return ok ? 0 : 1;
}
