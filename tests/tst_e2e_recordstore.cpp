// Calibrations stored through the window into the records, end to end: the
// window (offscreen) against the simulated instrument over a pty, the records
// in a data folder of the test's own. A calibration the instrument
// acknowledged is in the records' SQLite file before the calibration page
// says "stored", once (its log line, imported later, is the same record).
// With the shared server hung the record waits, the window goes on
// exchanging, and the record lands in the bench's spool, marked; with the
// records unusable a message says what failed.
#include <QtTest>
#include <QtWidgets>

#include <memory>

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include "app/form_calrecord.h"
#include "app/form_main.h"
#include "app/outcal_view.h"
#include "app/records_dialog.h"
#include "app/records_keeper.h"
#include "panel/mb.h"
#include "sim/simulator.h"
#include "support/formaccess.h"
#include "support/pgserver.h"
#include "support/windowsetup.h"
#include "widgets/speedbutton.h"

using formaccess::control;

namespace {

// A PostgreSQL server's socket that takes connections and never answers, as
// a hung server does, until it is closed: then what waited is cut off.
struct HungServer {
    QByteArray path;
    int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);

    explicit HungServer(const QString &socket) : path(QFile::encodeName(socket))
    {
        sockaddr_un address{AF_UNIX, {}};
        path.truncate(sizeof address.sun_path - 1);
        std::copy(path.begin(), path.end(), address.sun_path);
        if (::bind(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0 ||
            ::listen(fd, 8) != 0)
            close();
    }
    ~HungServer() { close(); }
    bool called() const // a connection waits to be taken
    {
        pollfd p{fd, POLLIN, 0};
        return ::poll(&p, 1, 0) == 1;
    }
    void close()
    {
        if (fd >= 0) ::close(fd);
        fd = -1;
        ::unlink(path.constData());
    }
};

} // namespace

class TestE2ERecordStore : public QObject {
    Q_OBJECT

    std::unique_ptr<InstrumentSimulator> sim;
    std::unique_ptr<QTemporaryDir> data;
    std::unique_ptr<WindowSetup> setup;
    std::unique_ptr<TForm_Main> w;
    QStringList messages;

    QString dataFolder() const { return data->filePath(QStringLiteral("kx4720r")); }
    RecordsPlace place() const { return {{}, dataFolder(), QStringLiteral("bench5")}; }

    bool exchanges(quint64 count)
    {
        const quint64 target = sim->requestCount() + count;
        return QTest::qWaitFor([&] { return sim->requestCount() >= target; }, 5000);
    }
    // A window whose records are in a data folder of the test's own.
    void start(const QByteArray &files = {})
    {
        InstrumentSimulator::Settings settings;
        settings.model.outputCalibrated = false;
        sim = std::make_unique<InstrumentSimulator>(settings);
        QVERIFY2(sim->startOnNewPty(), qPrintable(sim->errorText()));
        setup = std::make_unique<WindowSetup>();
        setup->writeIni("[Language]\nGsSelectedLanguage=english\n" + files);
        w = std::make_unique<TForm_Main>(setup->environment());
        // The wizards' values are stored whether plausible or not.
        w->askStoreAnyway = [](QWidget *, const QString &, const QString &) { return true; };
        CalibrationRecorder &recorder = *w->calibrationRecords;
        recorder.showMessage = [this](QWidget *, const QString &, const QString &text) {
            messages << text;
        };
        recorder.askSerialNumber = [](QWidget *, const SerialNumberQuestion &) {
            return std::optional<QString>(QStringLiteral("KX-0042/B"));
        };
        QVERIFY(formaccess::mb1(*w)->engine().MBOpenPort(sim->portPath()));
        QVERIFY(exchanges(2));
    }
    RecordsKeeper &keeper() { return *w->findChild<RecordsKeeper *>(); }
    // Presses the output calibration's store; the record is finished.
    void storeOutput()
    {
        formaccess::showPage(*w, "TabSheet_OutputCalibration");
        w->outputCalibration().setStep(7);
        QSignalSpy finished(w->calibrationRecords, &CalibrationRecorder::recordFinished);
        control<TSpeedButton>(*w, "SpeedButton_WriteOutputCalibrationToKX")->click();
        QVERIFY(finished.wait(5000));
    }
    QString notice() { return keeper().notice(CalibrationKind::Output)->text(); }

private slots:
    void init()
    {
        data = std::make_unique<QTemporaryDir>();
        qputenv("XDG_DATA_HOME", data->path().toUtf8());
        messages.clear();
    }
    void cleanup()
    {
        w.reset();
        sim.reset();
    }

    void aStoredCalibrationIsInTheRecordsOnce()
    {
        start();
        QSignalSpy kept(&keeper(), &RecordsKeeper::recordKept);
        storeOutput();
        QVERIFY(kept.wait(10000));
        const CalibrationRecord record = *w->calibrationRecords->record(CalibrationKind::Output);
        const BenchRecords::Stored stored = *keeper().kept(CalibrationKind::Output);
        QCOMPARE(stored.where, BenchRecords::Stored::Where::Records);
        QCOMPARE(
            notice(),
            QStringLiteral("Stored in the records, certificate %1").arg(stored.certificateNumber));

        // Another program reads it, after importing the log that holds it too.
        BenchRecords bench(place());
        QVERIFY2(bench.open(), qPrintable(bench.error()));
        const auto listing = bench.list(QStringLiteral("KX-0042/B"));
        QVERIFY(listing && listing->complete);
        QCOMPARE(listing->records.size(), std::size_t(1));
        const std::optional<CalibrationEntry> entry =
            bench.records()->entry(listing->records[0].id);
        QVERIFY(entry);
        QCOMPARE(entry->certificateNumber, stored.certificateNumber);
        QCOMPARE(entry->toRecord().toJsonText(), record.toJsonText());
        QVERIFY(messages.isEmpty());

        // The Settings page opens the unit's records, by the connection's serial number.
        formaccess::showPage(*w, "TabSheet_Uzemmod");
        control<QPushButton>(*w, "Button_Records")->click();
        auto *dialog = w->findChild<RecordsDialog *>();
        QVERIFY(dialog && dialog->isVisible());
        QCOMPARE(dialog->serialEdit()->text(), QStringLiteral("KX-0042/B"));
        QTRY_COMPARE(dialog->historyList()->topLevelItemCount(), 1);
        QCOMPARE(dialog->historyList()->topLevelItem(0)->text(2), stored.certificateNumber);
    }

    void aHungServerKeepsTheRecordInTheSpool()
    {
        const QString socketFolder = data->filePath(QStringLiteral("pg"));
        QVERIFY(QDir().mkpath(socketFolder));
        HungServer server(socketFolder + QStringLiteral("/.s.PGSQL.5432"));
        QVERIFY(server.fd >= 0);
        start(QStringLiteral("[Files]\nRecordsDatabase=postgresql://bench5@/records?host=%1&"
                             "port=5432&connect_timeout=120\n")
                  .arg(socketFolder)
                  .toUtf8());
        QTRY_VERIFY_WITH_TIMEOUT(server.called(), 10000); // the records opening
        QSignalSpy kept(&keeper(), &RecordsKeeper::recordKept);
        storeOutput();
        QCOMPARE(notice(), QStringLiteral("Storing in the records…"));
        // The window goes on with the instrument while the records wait.
        QVERIFY(exchanges(10));
        QVERIFY(kept.isEmpty());
        QCOMPARE(notice(), QStringLiteral("Storing in the records…"));

        server.close();
        QVERIFY(kept.wait(30000));
        QCOMPARE(keeper().kept(CalibrationKind::Output)->where, BenchRecords::Stored::Where::Spool);
        QVERIFY2(notice().endsWith(QStringLiteral("not yet in the shared records")),
                 qPrintable(notice()));
        QVERIFY(messages.isEmpty());

        RecordsPlace local = place();
        local.shared = PostgresAddress{}; // named, and out of reach: only the spool is read
        local.shared->host = data->path();
        BenchRecords bench(local);
        QVERIFY(bench.open());
        const auto spooled = bench.spooled();
        QVERIFY(spooled && spooled->size() == 1);
        QCOMPARE(spooled->front().serialNumber, QStringLiteral("KX-0042/B"));
    }

    void aSpooledRecordIsSentWhenTheServerIsBack()
    {
        PostgresServer server;
        KX_START_POSTGRES(server);
        const QString shared = server.createDatabase(QStringLiteral("window"));
        QVERIFY(server.stop());
        start("[Files]\nRecordsDatabase=" + shared.toUtf8() + '\n');
        QSignalSpy kept(&keeper(), &RecordsKeeper::recordKept);
        storeOutput();
        QVERIFY(kept.wait(10000));
        const BenchRecords::Stored spooled = *keeper().kept(CalibrationKind::Output);
        QCOMPARE(spooled.where, BenchRecords::Stored::Where::Spool);

        QVERIFY(server.resume());
        QSignalSpy tried(&keeper(), &RecordsKeeper::spoolTried);
        keeper().setDeliveryInterval(std::chrono::milliseconds(50));
        QTRY_VERIFY_WITH_TIMEOUT(!tried.isEmpty() && tried.last().at(1).toInt() == 0, 20000);
        RecordsPlace place = this->place();
        QString error;
        place.shared = parseConnectionString(shared, error);
        BenchRecords bench(place);
        QVERIFY(bench.open());
        const auto listing = bench.list(QStringLiteral("KX-0042/B"));
        QVERIFY(listing && listing->complete && listing->records.size() == 1);
        QVERIFY(!listing->records[0].pending);
        QCOMPARE(listing->records[0].certificateNumber, spooled.certificateNumber);
    }

    void recordsThatCannotBeUsedAreReported()
    {
        // A folder stands where the records' file should be.
        QVERIFY(QDir().mkpath(dataFolder() + QStringLiteral("/records.sqlite")));
        start();
        QSignalSpy kept(&keeper(), &RecordsKeeper::recordKept);
        storeOutput();
        QVERIFY(kept.wait(10000));
        QCOMPARE(notice(), QStringLiteral("Not stored in the records"));
        QCOMPARE(messages.size(), 1);
        QVERIFY2(messages[0].contains(dataFolder() + QStringLiteral("/records.sqlite")) &&
                     messages[0].contains(QStringLiteral("stays in the calibration log")),
                 qPrintable(messages[0]));
        QVERIFY(QFileInfo(dataFolder() + QStringLiteral("/calibration-log.jsonl")).size() > 0);
    }
};

QTEST_MAIN(TestE2ERecordStore)
#include "tst_e2e_recordstore.moc"
