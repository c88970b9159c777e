// Every file the programs write, on a tmpfs of its own filled to the last
// block (mounting needs root, as CI runs the suite): the write is reported
// with the system's reason, the old file keeps what it held to the byte, and
// no temporary file stays behind. Each row is the real entry point.
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

CalibrationRecord record()
{
    CalibrationRecord record = CalibrationRecord::forInput(InstrumentRequest{});
    record.time = QDateTime::currentDateTime();
    return record;
}

// The failure as the user is told of it; empty when the write claimed success.
QString attempt(Target target, const QString &path)
{
    QString error;
    switch (target) {
    case Target::SaveToFile: {
        WindowSetup setup;
        TForm_Main window(setup.environment());
        window.settingsFiles->showMessage = [&](QWidget *, const QString &, const QString &text) {
            error = text;
        };
        window.settingsFiles->saveTo(path);
        return error;
    }
    case Target::CliRead: {
        SimulatorRunner sim;
        QProcess cli;
        cli.start(QStringLiteral(KX_CLI_BINARY), {"read", "-p", sim.portPath(), "-o", path});
        if (!QTest::qWaitFor([&] { return cli.state() == QProcess::NotRunning; }, 30000))
            cli.kill();
        return cli.exitCode() == 2 ? QString::fromLocal8Bit(cli.readAllStandardError()) : QString();
    }
    case Target::IniFile:
        return IniFile(path).save(IniSettings{}).error;
    case Target::CalibrationLog:
        CalibrationLog(QFileInfo(path).absolutePath()).append("report", record(), error);
        return error;
    case Target::CalibrationReport:
        writeCalibrationReport(record(), path, CaptionLanguage::English, error);
        return error;
    case Target::ReadingsFile: {
        ReadingsCsvWriter csv(CsvFormat{});
        const DecodedReading reading = DecodedReading::fromReply(typicalReply());
        return csv.open(path) && csv.append(reading) ? QString() : csv.errorString();
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
    QTest::newRow("Save to file") << int(Target::SaveToFile) << QStringList{"a.kx4720r.json"};
    QTest::newRow("kx4720r-cli read -o") << int(Target::CliRead) << QStringList{"keep.json"};
    QTest::newRow("initialisation file") << int(Target::IniFile) << QStringList{"a.ini"};
    QTest::newRow("calibration log")
        << int(Target::CalibrationLog) << QStringList{CalibrationLog::FileName};
    QTest::newRow("calibration report")
        << int(Target::CalibrationReport) << QStringList{"report.json", "report.pdf"};
    QTest::newRow("readings file") << int(Target::ReadingsFile) << QStringList{"r.csv"};
}

void TestFullDisk::aFullDiskLeavesTheOldFileAsItWas()
{
    QFETCH(int, target);
    QFETCH(QStringList, files);
    FullDisk disk;
    if (!disk.mounted) QSKIP("a tmpfs of its own cannot be mounted here (only root may)");
    // Old contents that leave a few bytes free in their last block, so that
    // a line appended there is cut by the full disk half-way.
    QByteArray old = ReadingsCsvWriter::headerLine(CsvFormat{});
    old = old.leftJustified(4096 - 8, 'o');
    for (const QString &file : files) {
        QFile out(disk.folder.filePath(file));
        QVERIFY(out.open(QIODevice::WriteOnly) && out.write(old) == old.size());
    }
    QVERIFY(disk.fill());

    const QString said = attempt(Target(target), disk.folder.filePath(files.last()));
    // The window says it in its own language.
    QVERIFY2(said.contains(QStringLiteral("No space left on device")) ||
                 said.contains(QStringLiteral("Nincs több hely az eszközön")),
             qPrintable(said));
    for (const QString &file : files) {
        QFile in(disk.folder.filePath(file));
        QVERIFY(in.open(QIODevice::ReadOnly) && in.readAll() == old);
    }
    QStringList left = QDir(disk.folder.path()).entryList(QDir::Files | QDir::Hidden);
    left.removeOne(QStringLiteral("filler"));
    QCOMPARE(left, files); // no temporary file left
}

QTEST_MAIN(TestFullDisk)
#include "tst_full_disk.moc"
