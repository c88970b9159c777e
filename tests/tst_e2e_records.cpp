// Settings files and calibration records end to end: the window (offscreen)
// against the simulated instrument over a pty. A loaded settings file reaches
// the instrument only with "Write settings to instrument", and files of the
// window and of the real kx4720r-cli are each other's. Both wizards run to the
// store: a record holds what the acknowledged store request carried and the
// instrument's state around it, goes into the calibration log, and its report
// (the PDF's text, read with pdftotext) shows the unit, the firmware and every
// stored value.
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <memory>

#include "app/form_calrecord.h"
#include "app/form_main.h"
#include "app/form_settingsfile.h"
#include "app/outcal_view.h"
#include "app/profile.h"
#include "panel/mb.h"
#include "sim/simulator.h"
#include "support/formaccess.h"
#include "support/pdftext.h"
#include "support/windowsetup.h"
#include "text/numberpattern.h"
#include "widgets/edit.h"
#include "widgets/pagecontrol.h"
#include "widgets/speedbutton.h"

using formaccess::control;

namespace {

const QByteArray VoltageFile = R"({
  "format": "kx4720r-settings",
  "version": 1,
  "input": {"type": "voltage", "low": -2.5, "high": 7.5, "unit": "V"},
  "output": {"type": "voltage", "low": 0.5, "high": 10, "unit": "V"}
}
)";

struct Run {
    int exitCode = -1;
    QByteArray out, err;
};

InstrumentSettings fromFile(const QString &path)
{
    const SettingsFileRead read = readSettingsFile(path);
    if (!read.ok()) qWarning() << read.error.text(TextLanguage::English);
    return read.ok() ? read.document->settings : InstrumentSettings{};
}

QList<QJsonObject> logLines(const QString &path)
{
    QFile file(path);
    QList<QJsonObject> lines;
    if (!file.open(QIODevice::ReadOnly)) return lines;
    for (const QByteArray &line : file.readAll().split('\n'))
        if (!line.isEmpty()) lines << QJsonDocument::fromJson(line).object();
    return lines;
}

} // namespace

class TestE2ERecords : public QObject {
    Q_OBJECT

    std::unique_ptr<InstrumentSimulator> sim;
    std::unique_ptr<WindowSetup> setup;
    std::unique_ptr<TForm_Main> w;
    std::unique_ptr<QTemporaryDir> folder;
    QStringList messages;
    QList<ReportDetailsQuestion> asked;
    QList<SerialNumberQuestion> serialAsked;
    QString answer; // the settings file the "dialog" gives

    bool exchanges(quint64 count)
    {
        const quint64 target = sim->requestCount() + count;
        return QTest::qWaitFor([&] { return sim->requestCount() >= target; }, 5000);
    }
    void start(bool neverAcknowledge = false, const QString &logFolder = {})
    {
        InstrumentSimulator::Settings settings;
        settings.model.inputCalibrated = false;
        settings.model.outputCalibrated = false;
        settings.model.inputSignal = 0.0;
        settings.faults.neverAck = neverAcknowledge; // as kx4720r-sim --never-ack
        sim = std::make_unique<InstrumentSimulator>(settings);
        QVERIFY2(sim->startOnNewPty(), qPrintable(sim->errorText()));
        folder = std::make_unique<QTemporaryDir>();
        setup = std::make_unique<WindowSetup>();
        setup->writeIni("[Language]\nGsSelectedLanguage=english\n");
        w = std::make_unique<TForm_Main>(setup->environment());
        // The wizards' values are stored whether plausible or not.
        w->askStoreAnyway = [](QWidget *, const QString &, const QString &) { return true; };
        CalibrationRecorder &records = *w->calibrationRecords;
        records.log = CalibrationLog(logFolder.isEmpty() ? folder->filePath("log") : logFolder);
        records.showMessage = [this](QWidget *, const QString &, const QString &text) {
            messages << text;
        };
        records.askReportDetails = [this](QWidget *, const ReportDetailsQuestion &q) {
            asked << q;
            return std::optional<ReportDetails>(
                ReportDetails{QStringLiteral("KX-0042/B"), QStringLiteral("Kovács Éva")});
        };
        records.askFileName = [this](QWidget *, const FileQuestion &) {
            return folder->filePath(QStringLiteral("report"));
        };
        // A barcode scanner's answer.
        records.askSerialNumber = [this](QWidget *, const SerialNumberQuestion &q) {
            serialAsked << q;
            return std::optional<QString>(QStringLiteral("KX-0042/B"));
        };
        w->settingsFiles->askFileName = [this](QWidget *, const FileQuestion &) { return answer; };
        w->settingsFiles->showMessage = records.showMessage;
        openPort();
        // The first reply has loaded the instrument's settings.
        QTRY_VERIFY(!button("SpeedButton_ReadSettings")->Down());
    }
    void openPort()
    {
        QVERIFY(formaccess::mb1(*w)->engine().MBOpenPort(sim->portPath()));
        QVERIFY(exchanges(2));
    }
    // Presses the store of that kind and waits for its record.
    CalibrationRecord store(CalibrationKind kind)
    {
        QSignalSpy finished(w->calibrationRecords, &CalibrationRecorder::recordFinished);
        button(kind == CalibrationKind::Input ? "SpeedButton_ADCalBeiras"
                                              : "SpeedButton_WriteOutputCalibrationToKX")
            ->click();
        finished.wait(5000);
        return w->calibrationRecords->record(kind).value_or(CalibrationRecord{});
    }
    // The tool runs while this thread's event loop keeps the simulator answering.
    Run cli(const QStringList &arguments)
    {
        QProcess process;
        process.start(QStringLiteral(KX_CLI_BINARY), arguments);
        process.waitForStarted();
        // A tool that never ends is killed and counts as failed (exit code -1).
        if (!QTest::qWaitFor([&] { return process.state() == QProcess::NotRunning; }, 30000)) {
            process.kill();
            process.waitForFinished();
        }
        Run run;
        if (process.state() == QProcess::NotRunning && process.exitStatus() == QProcess::NormalExit)
            run.exitCode = process.exitCode();
        run.out = process.readAllStandardOutput();
        run.err = process.readAllStandardError();
        return run;
    }
    void closePort()
    {
        formaccess::mb1(*w)->MBClosePort();
        QTRY_VERIFY(!formaccess::mb1(*w)->MBPortOpen());
    }
    // The scale the instrument last reported as stored.
    InstrumentSettings reported() const
    {
        InstrumentReply reply;
        reply.InputType = w->InputType;
        reply.OutputType = w->OutputType;
        reply.InputLow = w->StoredInputLow;
        reply.InputHigh = w->StoredInputHigh;
        reply.OutputLow = w->StoredOutputLow;
        reply.OutputHigh = w->StoredOutputHigh;
        return InstrumentSettings::fromReply(reply).value_or(InstrumentSettings{});
    }
    void turnTo(const char *page) { formaccess::showPage(*w, page); }
    TSpeedButton *button(const char *name) { return control<TSpeedButton>(*w, name); }
    // The requests that carried the store command.
    QList<InstrumentRequest> storeRequests(quint8 bit) const
    {
        QList<InstrumentRequest> found;
        for (const auto &record : sim->receivedRequests())
            if (record.request.CommandBits & bit) found << record.request;
        return found;
    }

private slots:
    void cleanup()
    {
        if (w) formaccess::mb1(*w)->MBClosePort();
        w.reset();
        setup.reset();
        sim.reset();
        folder.reset();
        messages.clear();
        asked.clear();
        serialAsked.clear();
        answer.clear();
    }

    void aLoadedFileReachesTheInstrumentOnlyWithWrite()
    {
        start();
        const InstrumentSettings before = reported();
        QCOMPARE(before, InstrumentSettings::factoryDefaults());
        answer = folder->filePath(QStringLiteral("site.kx4720r.json"));
        QFile file(answer);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(VoltageFile);
        file.close();
        const InstrumentSettings wanted = fromFile(answer);

        const quint64 loadedAt = sim->requestCount();
        QVERIFY(w->settingsFiles->load());
        QVERIFY(messages.isEmpty());
        QVERIFY(exchanges(5));
        for (const auto &record : sim->receivedRequests())
            if (record.number > loadedAt)
                QCOMPARE(record.request.CommandBits & instrument::Command::WriteSettings, 0);
        QCOMPARE(reported(), before); // the instrument still holds its own

        auto *write = control<TSpeedButton>(*w, "SpeedButton_WriteSettings");
        write->click();
        QTRY_VERIFY(!write->Down());                                                 // acknowledged
        QTRY_VERIFY(!control<TSpeedButton>(*w, "SpeedButton_ReadSettings")->Down()); // read back
        QCOMPARE(reported().differences(wanted), QStringList());

        // The tool reads exactly the file's values from the instrument, and
        // its file loads in the window.
        closePort();
        const QString readBack = folder->filePath(QStringLiteral("read.kx4720r.json"));
        const Run run = cli({"read", "-p", sim->portPath(), "-o", readBack});
        QVERIFY2(run.exitCode == 0, run.err.constData());
        QCOMPARE(fromFile(readBack).differences(wanted), QStringList());
        control<QPushButton>(*w, "Button_GyariAlapSkala")->click();
        answer = readBack;
        QVERIFY(w->settingsFiles->load());
        QString reason;
        QCOMPARE(w->settingsFiles->shownSettings(reason)->differences(wanted), QStringList());
    }

    void aFileSavedByTheWindowIsTheTools()
    {
        start();
        // Typed and not written: the file says so, and names no instrument;
        // so does the settings group.
        QLabel *note = w->settingsFiles->editedNote();
        QVERIFY(note->isHidden());
        control<QPushButton>(*w, "Button_GyariAlapSkala")->click();
        control<TEdit>(*w, "Edit_OutputHigh")->setText(QStringLiteral("12.5"));
        QCOMPARE(note->isHidden() ? QString() : note->text(),
                 QStringLiteral("Edited, not yet written to the instrument"));
        answer = folder->filePath(QStringLiteral("saved.kx4720r.json"));
        QVERIFY(w->settingsFiles->save());
        SettingsFileRead read = readSettingsFile(answer);
        QVERIFY(read.ok() && !read.document->source && read.document->edited);

        // Written and read back: what the instrument holds, and where and
        // when it was last heard from.
        auto *write = button("SpeedButton_WriteSettings");
        write->click();
        QTRY_VERIFY(!write->Down() && !button("SpeedButton_ReadSettings")->Down());
        QVERIFY(note->isHidden());
        QVERIFY(w->settingsFiles->save());
        read = readSettingsFile(answer);
        QVERIFY(read.ok() && read.document->source);
        QCOMPARE(read.document->source->firmware, QStringLiteral("2013-09-30"));
        QCOMPARE(read.document->source->port, sim->portPath());
        QCOMPARE(read.document->settings, reported());

        Run run = cli({"write", "--dry-run", answer});
        QVERIFY2(run.exitCode == 0, run.err.constData());
        closePort();
        run = cli({"write", "-p", sim->portPath(), answer});
        QVERIFY2(run.exitCode == 0, run.err.constData());
        QVERIFY2(run.out.contains("written and read back"), run.out.constData());
    }

    void inputRecordHoldsWhatTheStoreCarried()
    {
        start();
        turnTo("TabSheet_InputCalibration");
        QStringList titles;
        for (int i = 0; i < 14; ++i) {
            QTRY_COMPARE(w->InCalState, 10 * (i + 1) + 1);
            titles << control<QLabel>(*w, "Label_InputCalibration1")->text();
            QVERIFY(exchanges(2));
            button("SpeedButton_InputCalibrationNext")->click();
            w->InCalStep();
        }
        CalibrationRecorder &records = *w->calibrationRecords;
        QPushButton *report = records.reportButton(CalibrationKind::Input);
        QVERIFY(report->isHidden()); // nothing to report yet
        QSignalSpy finished(&records, &CalibrationRecorder::recordFinished);
        const QDateTime before = QDateTime::currentDateTime();
        button("SpeedButton_ADCalBeiras")->click();
        QVERIFY(finished.wait(5000));
        QCOMPARE(finished.size(), 1);

        const QList<InstrumentRequest> stores =
            storeRequests(instrument::Command::StoreInputCalibration);
        QCOMPARE(stores.size(), 1);
        const InstrumentRequest &store = stores.first();
        const CalibrationRecord record = *records.record(CalibrationKind::Input);
        QCOMPARE(record.kind, CalibrationKind::Input);
        const qint32 InstrumentRequest::*fields[] = {
            &InstrumentRequest::InCalLow1,  &InstrumentRequest::InCalLow2,
            &InstrumentRequest::InCalLow3,  &InstrumentRequest::InCalHigh1,
            &InstrumentRequest::InCalHigh2, &InstrumentRequest::InCalHigh3,
            &InstrumentRequest::InCalLow4,  &InstrumentRequest::InCalLow5,
            &InstrumentRequest::InCalLow6,  &InstrumentRequest::InCalHigh4,
            &InstrumentRequest::InCalHigh5, &InstrumentRequest::InCalHigh6,
            &InstrumentRequest::InCalLow7,  &InstrumentRequest::InCalHigh7};
        const char *names[] = {"Low1", "Low2", "Low3",  "High1", "High2", "High3", "Low4",
                               "Low5", "Low6", "High4", "High5", "High6", "Low7",  "High7"};
        QCOMPARE(record.inputPoints.size(), std::size_t(14));
        for (int i = 0; i < 14; ++i) {
            QCOMPARE(record.inputPoints[i].name, QString::fromLatin1(names[i]));
            QCOMPARE(record.inputPoints[i].step, titles[i]); // as the wizard showed it
            QCOMPARE(record.inputPoints[i].reading, store.*fields[i]);
        }
        QCOMPARE(record.firmware, QStringLiteral("2013-09-30"));
        QCOMPARE(record.port, sim->portPath());
        QCOMPARE(record.programVersion, QStringLiteral("2013-10-09"));
        QVERIFY(record.time >= before && record.time <= QDateTime::currentDateTime());
        // Found uncalibrated; left as the instrument then reported itself.
        QVERIFY(record.asFound && record.asLeft);
        QVERIFY(record.asFound->statusBits & instrument::Status::InputNotCalibrated);
        QVERIFY(!record.asFound->calibrationDate);
        const bool calibrated = sim->model().inputCalibrated();
        QCOMPARE(!(record.asLeft->statusBits & instrument::Status::InputNotCalibrated), calibrated);
        QCOMPARE(record.asLeft->calibrationDate.has_value(), calibrated);
        if (calibrated) QCOMPARE(*record.asLeft->calibrationDate, QDate::currentDate());
        QVERIFY(record.asLeft->temperature);
        QVERIFY(record.asLeft->workingMinutes >= record.asFound->workingMinutes);

        QVERIFY(!report->isHidden());
        QCOMPARE(report->text(), QStringLiteral("Save calibration report…"));
        QList<QJsonObject> log = logLines(records.log.path());
        QCOMPARE(log.size(), 1);
        QCOMPARE(log[0]["event"].toString(), QStringLiteral("calibration"));
        QCOMPARE(log[0]["record"].toObject(), record.toJson());
        QVERIFY(QDateTime::fromString(log[0]["logged"].toString(), Qt::ISODateWithMs).isValid());

        QVERIFY(records.saveReport(CalibrationKind::Input));
        QVERIFY(messages.isEmpty());
        QCOMPARE(asked.size(), 1);
        QCOMPARE(asked[0].suggested.technician, QString()); // nobody remembered yet
        const QString pdf = folder->filePath(QStringLiteral("report.pdf"));
        QFile json(folder->filePath(QStringLiteral("report.json")));
        QVERIFY(json.open(QIODevice::ReadOnly));
        CalibrationRecord signedRecord = record;
        signedRecord.serialNumber = QStringLiteral("KX-0042/B");
        signedRecord.technician = QStringLiteral("Kovács Éva");
        QCOMPARE(QJsonDocument::fromJson(json.readAll()).object(), signedRecord.toJson());

        const QString text = pdfText(pdf);
        QVERIFY2(!text.isEmpty(), "pdftotext (poppler-utils) read nothing");
        for (const QString &expected :
             {QStringLiteral("KX4720R"), QStringLiteral("Input calibration report"),
              QStringLiteral("Version 2013-10-09"), QStringLiteral("KX-0042/B"),
              QStringLiteral("Kovács Éva"), QStringLiteral("2013-09-30"), sim->portPath()})
            QVERIFY2(pdfShows(text, expected), qPrintable(expected));
        // An English report names the wizard's steps in English.
        for (const InputPointValue &point : record.inputPoints) {
            const QString row =
                point.name + englishStepTitle(point) + formatPattern(point.reading, u"0 000 000");
            QVERIFY2(pdfShows(text, row), qPrintable(row));
        }
        QVERIFY(pdfShows(text, QStringLiteral("Uin High1 calibration: 150 mV")));

        // The log learns the unit; the technician's name is remembered.
        log = logLines(records.log.path());
        QCOMPARE(log.size(), 2);
        QCOMPARE(log[1]["event"].toString(), QStringLiteral("report"));
        QCOMPARE(log[1]["record"].toObject(), signedRecord.toJson());
        const ProfileDocument ini(setup->readIni());
        QCOMPARE(ini.value(u"Files", u"Technician"), QStringLiteral("Kovács Éva"));
        QVERIFY(records.saveReport(CalibrationKind::Input));
        QCOMPARE(asked[1].suggested.serialNumber, QStringLiteral("KX-0042/B"));
        QCOMPARE(asked[1].suggested.technician, QStringLiteral("Kovács Éva"));
    }

    void outputRecordHoldsThePwmValuesAndTheTestPointsDriven()
    {
        start();
        turnTo("TabSheet_OutputCalibration");
        auto *next = button("SpeedButton_OutputCalibrationNext");
        const int found[] = {0, 12000, 64000, 0, 11500, 58000, 0}; // by step
        for (int step = 1; step <= 6; ++step) {
            QCOMPARE(w->OutCalStep(), step);
            if (step != 3 && step != 6) w->outputCalibration().setPWMSetpoint(found[step]);
            QVERIFY(exchanges(3));
            if (step == 3) {
                // The technician looks at 4 and 20 mA as well; 12 mA came first.
                button("SpeedButton_Test4mA")->click();
                QVERIFY(exchanges(3));
                button("SpeedButton_Test20mA")->click();
                QVERIFY(exchanges(3));
            }
            next->click();
        }
        CalibrationRecorder &records = *w->calibrationRecords;
        QSignalSpy finished(&records, &CalibrationRecorder::recordFinished);
        button("SpeedButton_WriteOutputCalibrationToKX")->click();
        QVERIFY(finished.wait(5000));

        const QList<InstrumentRequest> stores =
            storeRequests(instrument::Command::StoreOutputCalibration);
        QCOMPARE(stores.size(), 1);
        const CalibrationRecord record = *records.record(CalibrationKind::Output);
        QCOMPARE(record.outputPoints,
                 (std::vector<OutputPointValue>{{"uOut4mA", "4 mA", stores[0].OutCalPWM4mA},
                                                {"uOut20mA", "20 mA", stores[0].OutCalPWM20mA},
                                                {"uOut2V", "2 V", stores[0].OutCalPWM2V},
                                                {"uOut10V", "10 V", stores[0].OutCalPWM10V}}));
        QCOMPARE(stores[0].OutCalPWM20mA, 64000);
        QCOMPARE(record.testPoints,
                 (std::vector<OutputTestPoint>{
                     {"12 mA", 38000}, {"4 mA", 12000}, {"20 mA", 64000}, {"6 V", 34750}}));
        QVERIFY(record.asFound->statusBits & instrument::Status::OutputNotCalibrated);
        QVERIFY(!(record.asLeft->statusBits & instrument::Status::OutputNotCalibrated));
        QVERIFY(records.record(CalibrationKind::Input) == std::nullopt);
        QVERIFY(records.reportButton(CalibrationKind::Input)->isHidden());

        // Written in the caption language of the moment.
        button("SpeedButton_Magyar")->click();
        QCOMPARE(records.reportButton(CalibrationKind::Output)->text(),
                 QStringLiteral("Jegyzőkönyv mentése…"));
        QVERIFY(records.saveReport(CalibrationKind::Output));
        const QString text = pdfText(folder->filePath(QStringLiteral("report.pdf")));
        QVERIFY2(!text.isEmpty(), "pdftotext (poppler-utils) read nothing");
        // Hungarian words and numbers: a decimal comma, whatever the PC's locale.
        for (const QString &expected :
             {QStringLiteral("Kimenet kalibrálási jegyzőkönyve"), QStringLiteral("KX-0042/B"),
              QStringLiteral("2013-09-30"), QStringLiteral("Kalibrálatlan kimenet"),
              formatPattern(*record.asLeft->temperature, u"0.0", u',') + QStringLiteral(" °C")})
            QVERIFY2(pdfShows(text, expected), qPrintable(expected));
        for (const OutputPointValue &point : record.outputPoints) {
            const QString row = point.name + point.target + formatPattern(point.pwm, u"## ##0");
            QVERIFY2(pdfShows(text, row), qPrintable(row));
        }
        for (const OutputTestPoint &point : record.testPoints) {
            const QString row = point.name + formatPattern(point.pwm, u"## ##0");
            QVERIFY2(pdfShows(text, row), qPrintable(row));
        }
    }

    void asFoundIsTheFirstReplyOfTheSameConnection()
    {
        start();
        closePort();
        // Another unit on the same adapter: calibrated, long in service. Its
        // store is pressed before the port is opened.
        InstrumentModel::Options other;
        other.operatingMinutes = 50000;
        sim->model() = InstrumentModel(other);
        button("SpeedButton_WriteOutputCalibrationToKX")->setDown(true);
        const quint64 before = sim->requestCount();
        QSignalSpy finished(w->calibrationRecords, &CalibrationRecorder::recordFinished);
        openPort();
        QVERIFY(finished.wait(5000));

        const CalibrationRecord record = *w->calibrationRecords->record(CalibrationKind::Output);
        QVERIFY(record.asFound && record.asFound->workingMinutes >= 50000);
        QVERIFY(!(record.asFound->statusBits & instrument::Status::OutputNotCalibrated));
        // The store waited for the unit's first reply.
        QCOMPARE(sim->receivedRequests()[before].request.CommandBits &
                     instrument::Command::StoreOutputCalibration,
                 0);
    }

    void aCalibrationBelongsToTheUnitOfItsConnection()
    {
        start();
        // Asked once for the unit on the line, and carried by both records.
        const CalibrationRecord output = store(CalibrationKind::Output);
        const CalibrationRecord input = store(CalibrationKind::Input);
        QVERIFY(serialAsked.size() == 1 && serialAsked[0].label.contains(sim->portPath()));
        QCOMPARE(output.serialNumber, QStringLiteral("KX-0042/B"));
        QCOMPARE(input.serialNumber, QStringLiteral("KX-0042/B"));

        // Never reported for another unit.
        w->calibrationRecords->askReportDetails = [this](QWidget *,
                                                         const ReportDetailsQuestion &q) {
            asked << q;
            return std::optional<ReportDetails>(
                ReportDetails{QStringLiteral("KX-0099"), QStringLiteral("Kovács Éva")});
        };
        QVERIFY(!w->calibrationRecords->saveReport(CalibrationKind::Output));
        QVERIFY(asked.last().serialFixed);
        QCOMPARE(messages.size(), 1);
        QVERIFY2(messages[0].contains(QStringLiteral("KX-0042/B")) &&
                     messages[0].contains(QStringLiteral("KX-0099")),
                 qPrintable(messages[0]));
    }

    void aStoreNeverAcknowledgedMakesNoRecord()
    {
        start(true);
        turnTo("TabSheet_InputCalibration");
        w->InCalState = 150; // the last point just captured
        TSpeedButton *store = button("SpeedButton_ADCalBeiras");
        QTRY_VERIFY(!store->isHidden());
        QSignalSpy finished(w->calibrationRecords, &CalibrationRecorder::recordFinished);
        store->click();
        QVERIFY(exchanges(10));
        QVERIFY(store->Down());
        QVERIFY(!storeRequests(instrument::Command::StoreInputCalibration).isEmpty());
        formaccess::mb1(*w)->MBClosePort();
        QCOMPARE(finished.size(), 0);
        QVERIFY(!w->calibrationRecords->record(CalibrationKind::Input));
        QVERIFY(w->calibrationRecords->reportButton(CalibrationKind::Input)->isHidden());
        QVERIFY(!QFile::exists(w->calibrationRecords->log.path()));
    }

    void aLogThatCannotBeWrittenIsReported()
    {
        // A file stands where the log's folder should be made.
        QTemporaryDir place;
        QFile blocker(place.filePath(QStringLiteral("blocker")));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        const QString logFolder = place.filePath(QStringLiteral("blocker/kx4720r"));
        start(false, logFolder);
        turnTo("TabSheet_OutputCalibration");
        w->outputCalibration().setStep(7);
        QSignalSpy finished(w->calibrationRecords, &CalibrationRecorder::recordFinished);
        button("SpeedButton_WriteOutputCalibrationToKX")->click();
        QVERIFY(finished.wait(5000));
        QCOMPARE(messages.size(), 1);
        QVERIFY2(messages[0].contains(logFolder), qPrintable(messages[0]));
        QVERIFY2(messages[0].contains(QStringLiteral("could not be added to the calibration log")),
                 qPrintable(messages[0]));
        // The record is kept all the same, ready for its report.
        QVERIFY(w->calibrationRecords->record(CalibrationKind::Output));
        QVERIFY(!w->calibrationRecords->reportButton(CalibrationKind::Output)->isHidden());
    }
};

QTEST_MAIN(TestE2ERecords)
#include "tst_e2e_records.moc"
