// Settings files end to end: the window (offscreen) against the simulated
// instrument over a pty, cross-checked with the real kx4720r-cli on the same
// simulator. A loaded file reaches the instrument only with "Write settings to
// instrument"; files of the window and of the tool are each other's.
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

#include "app/form_main.h"
#include "app/form_settingsfile.h"
#include "panel/mb.h"
#include "sim/simulator.h"
#include "support/formaccess.h"
#include "support/windowsetup.h"
#include "widgets/edit.h"
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

} // namespace

class TestE2ESettingsFile : public QObject {
    Q_OBJECT

    std::unique_ptr<InstrumentSimulator> sim;
    std::unique_ptr<WindowSetup> setup;
    std::unique_ptr<TForm_Main> w;
    QTemporaryDir folder;
    QString answer;
    QStringList messages;

    bool exchanges(quint64 count)
    {
        const quint64 target = sim->requestCount() + count;
        return QTest::qWaitFor([&] { return sim->requestCount() >= target; }, 5000);
    }
    // The tool runs while this thread's event loop keeps the simulator answering.
    Run cli(const QStringList &arguments)
    {
        QProcess process;
        process.start(QStringLiteral(KX_CLI_BINARY), arguments);
        process.waitForStarted();
        QTest::qWaitFor([&] { return process.state() == QProcess::NotRunning; }, 30000);
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
    InstrumentSettings fromFile(const QString &path)
    {
        const SettingsFileRead read = readSettingsFile(path);
        if (!read.ok()) qWarning() << read.error.text(TextLanguage::English);
        return read.ok() ? read.document->settings : InstrumentSettings{};
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

private slots:
    void init()
    {
        sim = std::make_unique<InstrumentSimulator>();
        QVERIFY2(sim->startOnNewPty(), qPrintable(sim->errorText()));
        setup = std::make_unique<WindowSetup>();
        w = std::make_unique<TForm_Main>(setup->environment());
        w->settingsFiles->askFileName = [this](QWidget *, const FileQuestion &) { return answer; };
        w->settingsFiles->showMessage = [this](QWidget *, const QString &, const QString &text) {
            messages << text;
        };
        QVERIFY(formaccess::mb1(*w)->engine().MBOpenPort(sim->portPath()));
        QVERIFY(exchanges(3));
        // The first reply has loaded the instrument's settings.
        QTRY_VERIFY(!control<TSpeedButton>(*w, "SpeedButton_ReadSettings")->Down());
    }
    void cleanup()
    {
        if (w) formaccess::mb1(*w)->MBClosePort();
        w.reset();
        setup.reset();
        sim.reset();
        messages.clear();
    }

    void aLoadedFileReachesTheInstrumentOnlyWithWrite()
    {
        const InstrumentSettings before = reported();
        QCOMPARE(before, InstrumentSettings::factoryDefaults());
        answer = folder.filePath(QStringLiteral("site.kx4720r.json"));
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
        const QString readBack = folder.filePath(QStringLiteral("read.kx4720r.json"));
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
        control<QPushButton>(*w, "Button_GyariAlapSkala")->click();
        control<TEdit>(*w, "Edit_OutputHigh")->setText(QStringLiteral("12.5"));
        answer = folder.filePath(QStringLiteral("saved.kx4720r.json"));
        QVERIFY(w->settingsFiles->save());
        const SettingsFileRead read = readSettingsFile(answer);
        QVERIFY(read.ok());
        // Where and when the instrument was last heard from.
        QVERIFY(read.document->source);
        QCOMPARE(read.document->source->firmware, QStringLiteral("2013-09-30"));
        QCOMPARE(read.document->source->port, sim->portPath());

        Run run = cli({"write", "--dry-run", answer});
        QVERIFY2(run.exitCode == 0, run.err.constData());
        closePort();
        run = cli({"write", "-p", sim->portPath(), answer});
        QVERIFY2(run.exitCode == 0, run.err.constData());
        QVERIFY2(run.out.contains("written and read back"), run.out.constData());
    }
};

QTEST_MAIN(TestE2ESettingsFile)
#include "tst_e2e_settingsfile.moc"
