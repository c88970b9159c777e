// Every file the programs write, on a disk with no block left: the write is
// reported as failed with the system's reason, the file that was there keeps
// what it held to the byte, and no temporary file stays behind. Each row is
// the real entry point: the window's Save to file, kx4720r-cli read -o
// against the simulator, the initialisation file, the calibration log and
// report, the readings file.
#include <QProcess>
#include <QtTest>

#include "app/calibration_report.h"
#include "app/form_main.h"
#include "app/form_settingsfile.h"
#include "app/inifile.h"
#include "core/calibration_log.h"
#include "core/readings_csv.h"
#include "support/fulldisk.h"
#include "support/simulator_runner.h"
#include "support/windowsetup.h"

namespace {

enum class Target { SaveToFile, CliRead, IniFile, CalibrationLog, CalibrationReport, ReadingsFile };

// Old contents that leave only a few bytes free in their last block, so a
// line appended there is cut by the full disk half-way.
QByteArray oldContents(Target target)
{
    QByteArray bytes = target == Target::ReadingsFile ? ReadingsCsvWriter::headerLine(CsvFormat{})
                                                      : QByteArray("old contents\n");
    while (bytes.size() < 4096 - 40)
        bytes += QByteArray(63, 'o') + '\n';
    return bytes.left(4096 - 40);
}

QByteArray bytesOf(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(unreadable)");
}

CalibrationRecord record()
{
    CalibrationRecord record = CalibrationRecord::forInput(InstrumentRequest{});
    record.time = QDateTime::currentDateTime();
    record.port = QStringLiteral("/dev/ttyUSB0");
    record.serialNumber = QStringLiteral("A-1");
    return record;
}

// The failure as the user is told of it; empty when the write claimed success.
QString attempt(Target target, const FullDisk &disk, const QString &file)
{
    const QString path = disk.path(file);
    QString error;
    switch (target) {
    case Target::SaveToFile: {
        WindowSetup setup;
        TForm_Main window(setup.environment());
        QString told;
        window.settingsFiles->showMessage = [&](QWidget *, const QString &, const QString &text) {
            told = text;
        };
        return window.settingsFiles->saveTo(path) ? QString() : told;
    }
    case Target::CliRead: {
        SimulatorRunner sim;
        QProcess cli;
        cli.start(QStringLiteral(KX_CLI_BINARY), {"read", "-p", sim.portPath(), "-o", path});
        if (!QTest::qWaitFor([&] { return cli.state() == QProcess::NotRunning; }, 30000))
            cli.kill();
        const QString err = QString::fromLocal8Bit(cli.readAllStandardError());
        if (cli.exitCode() == 0) return {};
        return cli.exitCode() == 2 && err.count(u'\n') == 1
                   ? err
                   : QStringLiteral("exit %1: %2").arg(cli.exitCode()).arg(err);
    }
    case Target::IniFile:
        return IniFile(path).save(IniSettings{}).error;
    case Target::CalibrationLog:
        CalibrationLog(QFileInfo(path).absolutePath())
            .append(QStringLiteral("report"), record(), error);
        return error;
    case Target::CalibrationReport:
        writeCalibrationReport(record(), path, CaptionLanguage::English, error);
        return error;
    case Target::ReadingsFile: {
        ReadingsCsvWriter csv(CsvFormat{});
        if (!csv.open(path)) return QStringLiteral("not opened: ") + csv.errorString();
        return csv.append(DecodedReading::fromReply(typicalReply(), QDateTime::currentDateTime()))
                   ? QString()
                   : csv.errorString();
    }
    }
    return {};
}

} // namespace

class TestFullDisk : public QObject {
    Q_OBJECT

private slots:
    void aFullDiskLeavesTheOldFileAsItWas_data();
    void aFullDiskLeavesTheOldFileAsItWas();
};

void TestFullDisk::aFullDiskLeavesTheOldFileAsItWas_data()
{
    QTest::addColumn<int>("target");
    QTest::addColumn<QStringList>("files"); // what the target writes, each there before
    QTest::newRow("Save to file") << int(Target::SaveToFile) << QStringList{"line.kx4720r.json"};
    QTest::newRow("kx4720r-cli read -o") << int(Target::CliRead) << QStringList{"keep.json"};
    QTest::newRow("initialisation file")
        << int(Target::IniFile) << QStringList{"kx4720r-config.ini"};
    QTest::newRow("calibration log")
        << int(Target::CalibrationLog) << QStringList{CalibrationLog::FileName};
    QTest::newRow("calibration report")
        << int(Target::CalibrationReport) << QStringList{"report.json", "report.pdf"};
    QTest::newRow("readings file") << int(Target::ReadingsFile) << QStringList{"readings.csv"};
}

void TestFullDisk::aFullDiskLeavesTheOldFileAsItWas()
{
    QFETCH(int, target);
    QFETCH(QStringList, files);
    FullDisk disk;
    if (!disk.isMounted()) QSKIP(qPrintable(disk.whyNot()));
    const QByteArray old = oldContents(Target(target));
    for (const QString &file : files)
        QVERIFY(disk.put(file, old));
    QVERIFY(disk.fill());

    const QString told = attempt(Target(target), disk, files.last());
    QVERIFY2(told.contains(QStringLiteral("No space left on device")),
             qPrintable(QStringLiteral("told: \"%1\"").arg(told)));
    for (const QString &file : files)
        QVERIFY2(bytesOf(disk.path(file)) == old, qPrintable(file + QStringLiteral(" changed")));
    QCOMPARE(disk.entries(), files); // no temporary file left
}

QTEST_MAIN(TestFullDisk)
#include "tst_full_disk.moc"
