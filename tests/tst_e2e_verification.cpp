// Verification and certificate end to end: the real window (offscreen)
// verifies the simulated instrument over a pty, whose input converters have
// drifted since its calibration. As found fails; the input calibration
// wizard captures the drifted converter; as left passes; the certificate is
// stored in the bench's records (a real SQLite file) and written, and its
// text carries both tables. And a calibration stepped through without
// adjusting anything reaches the instrument only once the technician has
// confirmed the doubt about it.
#include <algorithm>
#include <QComboBox>
#include <QDateEdit>
#include <QJsonDocument>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSignalSpy>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

#include "app/form_calrecord.h"
#include "app/form_main.h"
#include "app/form_verify.h"
#include "core/calibration_plausibility.h"
#include "panel/mb.h"
#include "records/bench_records.h"
#include "records/entry_json.h"
#include "records/records_place.h"
#include "sim/simulator.h"
#include "support/formaccess.h"
#include "support/pdftext.h"
#include "support/windowsetup.h"
#include "widgets/speedbutton.h"

using formaccess::control;

class TstE2EVerification : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> folder;
    std::unique_ptr<InstrumentSimulator> sim;
    std::unique_ptr<WindowSetup> setup;
    std::unique_ptr<TForm_Main> w;
    QStringList doubtsAsked;
    bool storeAnyway = true;

    VerificationPage &page() { return *w->TabSheet_Verification; }
    const InstrumentRequest &last() const { return sim->receivedRequests().back().request; }
    bool exchanges(quint64 count)
    {
        const quint64 target = sim->requestCount() + count;
        return QTest::qWaitFor([&] { return sim->requestCount() >= target; }, 10000);
    }
    TSpeedButton *button(const char *name) { return control<TSpeedButton>(*w, name); }

    // Applies each test point's value to the input and captures it.
    DecodedReading lastReading() const
    {
        const auto &last = w->instrumentExchange().lastReply();
        return last ? last->reading : DecodedReading{};
    }
    void verifyInput()
    {
        formaccess::showPage(*w, "TabSheet_Verification");
        QCOMPARE(page().sideBox->currentIndex(), 0);
        QCOMPARE(page().table->rowCount(), 5);
        for (int row = 0; row < 5; ++row) {
            sim->model().setInputSignal(4.0 + 4.0 * row); // the reference source
            page().table->selectRow(row);
            page().captureButton->click();
            QTRY_VERIFY2_WITH_TIMEOUT(!page().table->item(row, 5)->text().isEmpty(),
                                      qPrintable(QStringLiteral("row %1: %2; input %3 %4")
                                                     .arg(row)
                                                     .arg(page().statusText())
                                                     .arg(lastReading().inputValue.value_or(-1))
                                                     .arg(lastReading().inputUnit)),
                                      30000);
        }
    }

private slots:
    void init()
    {
        doubtsAsked.clear();
        storeAnyway = true;
        folder = std::make_unique<QTemporaryDir>();
        // The bench's records in a folder of this test.
        qputenv("XDG_DATA_HOME", folder->filePath(QStringLiteral("data")).toUtf8());
        qputenv("KX4720R_BENCH", "bench-e2e");
        qunsetenv("KX4720R_RECORDS_DB");
        InstrumentSimulator::Settings settings;
        settings.model.inputSignal = 12.0;
        settings.model.inputDrift = 10000; // about 0.06 mA on the current input
        sim = std::make_unique<InstrumentSimulator>(settings);
        QVERIFY2(sim->startOnNewPty(), qPrintable(sim->errorText()));
        setup = std::make_unique<WindowSetup>(QStringList{QStringLiteral("/VARNEL")});
        setup->writeIni("[Language]\nGsSelectedLanguage=english\n");
        w = std::make_unique<TForm_Main>(setup->environment());
        const auto serial = [](QWidget *, const SerialNumberQuestion &) {
            return std::optional<QString>(QStringLiteral("KX-0042"));
        };
        w->calibrationRecords->askSerialNumber = serial;
        w->calibrationRecords->log = CalibrationLog(folder->filePath(QStringLiteral("log")));
        page().askSerialNumber = serial;
        page().log = w->calibrationRecords->log;
        page().askFileName = [this](QWidget *, const FileQuestion &) {
            return folder->filePath(QStringLiteral("certificate.pdf"));
        };
        page().showMessage = [](QWidget *, const QString &, const QString &text) {
            QFAIL(qPrintable(text));
        };
        w->askStoreAnyway = [this](QWidget *, const QString &, const QString &text) {
            doubtsAsked << text;
            return storeAnyway;
        };
        QVERIFY(formaccess::mb1(*w)->engine().MBOpenPort(sim->portPath()));
        QVERIFY(exchanges(2));
    }
    void cleanup()
    {
        if (w) formaccess::mb1(*w)->MBClosePort();
        w.reset();
        sim.reset();
        setup.reset();
        folder.reset();
    }

    void asFoundCalibrationAsLeftCertificate()
    {
        QCOMPARE(page().nextLabel->text(),
                 QStringLiteral("Next: verify as found, before any adjustment."));
        verifyInput();
        QCOMPARE(page().table->item(2, 5)->text(), QStringLiteral("Fail"));
        QCOMPARE(page().nextLabel->text(),
                 QStringLiteral("Next: calibrate on the calibration pages, then verify as left."));

        // The input calibration wizard: the current input's zero and 20 mA
        // points are what this unit measures.
        formaccess::showPage(*w, "TabSheet_InputCalibration");
        for (int i = 0; i < 14; ++i) {
            QTRY_COMPARE(w->InCalState, 10 * (i + 1) + 1);
            sim->model().setInputSignal(i == 13 ? 20.0 : 0.0);
            // The forcing of the step and the instrument's filter have settled.
            QVERIFY(exchanges(60));
            button("SpeedButton_InputCalibrationNext")->click();
        }
        TSpeedButton *store = button("SpeedButton_ADCalBeiras");
        QTRY_VERIFY(!store->isHidden());
        // The simulated current input's voltage terminals get no signal: the
        // voltage points read their converter's offset alone, and the check
        // doubts each of them (the instrument would refuse a pair that noise
        // made equal). They get what a calibrator on the terminals gives.
        using F = TForm_Main;
        qint32 F::*const points[7][2] = {
            {&F::InCalLow1, &F::InCalHigh1}, {&F::InCalLow2, &F::InCalHigh2},
            {&F::InCalLow3, &F::InCalHigh3}, {&F::InCalLow4, &F::InCalHigh4},
            {&F::InCalLow5, &F::InCalHigh5}, {&F::InCalLow6, &F::InCalHigh6},
            {&F::InCalLow7, &F::InCalHigh7}};
        RequestState captured;
        for (std::size_t k = 0; k < 7; ++k)
            captured.inputCalibration[k] = {(*w).*points[k][0], (*w).*points[k][1]};
        QCOMPARE(inputCalibrationDoubts(captured).size(), std::size_t(6));
        for (std::size_t k = 0; k < 6; ++k)
            (*w).*points[k][1] = (*w).*points[k][0] + 2000000;
        QSignalSpy recorded(w->calibrationRecords, &CalibrationRecorder::recordFinished);
        store->click();
        QVERIFY(doubtsAsked.isEmpty()); // plausible values go without a question
        QVERIFY(recorded.wait(10000));
        QCOMPARE(page().phaseBox->currentIndex(), 1); // as left comes next
        QCOMPARE(page().nextLabel->text(),
                 QStringLiteral("Next: verify as left, after the calibration."));

        verifyInput();
        for (int row = 0; row < 5; ++row)
            QCOMPARE(page().table->item(row, 5)->text(), QStringLiteral("Pass"));
        QCOMPARE(page().nextLabel->text(), QStringLiteral("Next: the certificate."));
        // The reference standard used: added to the list the records keep, and picked.
        page().standardId->setText(QStringLiteral("CAL-7"));
        page().standardDescription->setText(QStringLiteral("process calibrator"));
        page().standardCertificate->setText(QStringLiteral("OMH-2026/118"));
        page().standardDue->setDate(QDate(2027, 1, 31));
        page().saveStandardButton->click();
        QTRY_COMPARE(page().standardsList->count(), 1);
        page().standardsList->item(0)->setCheckState(Qt::Checked);

        // Screenshots for the record of the work, when asked for.
        if (const QString shots = qEnvironmentVariable("KX_VERIFY_SHOTS"); !shots.isEmpty()) {
            w->grab().save(shots + QStringLiteral("/verification-window-en.png"));
            page().grab().save(shots + QStringLiteral("/verification-page-en.png"));
            button("SpeedButton_Magyar")->click();
            page().grab().save(shots + QStringLiteral("/verification-page-hu.png"));
            button("SpeedButton_Angol")->click();
        }

        page().technicianEdit->setText(QStringLiteral("Kovács Éva"));
        page().temperatureEdit->setText(QStringLiteral("23.5"));
        QSignalSpy done(&page(), &VerificationPage::certificateDone);
        page().certificateButton->click();
        QVERIFY(done.wait(20000));
        QCOMPARE(done[0][0].toBool(), true);
        const QString number = done[0][1].toString();
        // The calibration's own record, stored when the instrument took it,
        // has the bench's first number; the certificate is the next record.
        QCOMPARE(number, QStringLiteral("bench-e2e-000002"));

        const QString text = pdfText(folder->filePath(QStringLiteral("certificate.pdf")));
        QVERIFY2(!text.isEmpty(), "pdftotext (poppler-utils) read nothing");
        const QString due = QDate::currentDate().addMonths(12).toString(Qt::ISODate);
        for (const QString &expected :
             {QStringLiteral("Certificate No.: ") + number, QStringLiteral("Serial number KX-0042"),
              QStringLiteral("As found (before adjustment)"), QStringLiteral("Verdict: Fail"),
              QStringLiteral("As left (after adjustment)"), QStringLiteral("Verdict: Pass"),
              QStringLiteral("50 % 12.0000"), QStringLiteral("High7"),
              QStringLiteral("Overall verdict: Pass"),
              QStringLiteral("Next calibration due: ") + due, QStringLiteral("Temperature 23.5 °C"),
              QStringLiteral("CAL-7 process calibrator OMH-2026/118 2027-01-31")})
            QVERIFY2(pdfShows(text, expected), qPrintable(expected));

        // The record beside it carries both runs, point by point.
        QFile json(folder->filePath(QStringLiteral("certificate.json")));
        QVERIFY(json.open(QIODevice::ReadOnly));
        const EntryRead read =
            readEntryLine(QJsonDocument::fromJson(json.readAll()).toJson(QJsonDocument::Compact));
        QVERIFY2(read.entry, qPrintable(read.error));
        QCOMPARE(read.entry->certificateNumber, number);
        QCOMPARE(read.entry->verifications.size(), std::size_t(2));
        QCOMPARE(read.entry->verdict(VerificationPhase::AsFound), std::optional(Verdict::Fail));
        QCOMPARE(read.entry->verdict(VerificationPhase::AsLeft), std::optional(Verdict::Pass));
        QCOMPARE(read.entry->verifications[1].points.size(), std::size_t(5));

        // The calibration log keeps it too, as the same entry.
        QFile log(page().log.path());
        QVERIFY(log.open(QIODevice::ReadOnly));
        QByteArray line;
        for (const QByteArray &l : log.readAll().split('\n'))
            if (l.contains(EntryFormatName)) line = l;
        const EntryRead logged = readEntryLine(line);
        QVERIFY2(logged.entry, qPrintable(logged.error));
        QCOMPARE(*logged.entry, *read.entry);

        // The record is in the bench's records with both verdicts.
        const RecordsChoice choice = chooseRecordsPlace({}, {});
        QVERIFY2(choice.place, qPrintable(choice.error));
        BenchRecords records(*choice.place);
        QVERIFY2(records.open(), qPrintable(records.error()));
        const auto listing = records.list(QStringLiteral("KX-0042"));
        QVERIFY(listing && listing->records.size() == 2);
        const auto certificate =
            std::ranges::find(listing->records, number, &EntrySummary::certificateNumber);
        QVERIFY(certificate != listing->records.end());
        const EntrySummary &kept = *certificate;
        QCOMPARE(kept.kind, EntryKind::Input);
        QCOMPARE(kept.asFound, std::optional(Verdict::Fail));
        QCOMPARE(kept.asLeft, std::optional(Verdict::Pass));
        QCOMPARE(kept.dueDate, QDate::currentDate().addMonths(12));
    }

    void outputPointsAreTypedFromTheMeter()
    {
        formaccess::showPage(*w, "TabSheet_Verification");
        page().sideBox->setCurrentIndex(1);
        QTableWidget *table = page().table;
        QCOMPARE(table->item(2, 1)->text(), QStringLiteral("12.0000")); // from the output scale
        QVERIFY(!page().captureButton->isEnabled());
        // What a keyboard-wedge meter types; text that is no number is refused.
        table->item(2, 2)->setText(QStringLiteral("12.0161"));
        table->item(3, 2)->setText(QStringLiteral("16 mA"));
        QCOMPARE(table->item(2, 5)->text(), QStringLiteral("Fail"));
        QCOMPARE(table->item(3, 2)->text(), QString());
        table->item(2, 2)->setText(QStringLiteral("12.0159"));
        QCOMPARE(table->item(2, 5)->text(), QStringLiteral("Pass"));
        const std::vector<Verification> &runs = page().verifications().all();
        QCOMPARE(runs.size(), std::size_t(1));
        QCOMPARE(runs[0].side, VerificationSide::Output);
        QCOMPARE(runs[0].points.size(), std::size_t(1));
        QCOMPARE(runs[0].points[0].reading, 12.0159);
    }

    void noCertificateForAUnitNeitherVerifiedNorCalibrated()
    {
        QStringList told;
        page().showMessage = [&](QWidget *, const QString &, const QString &text) { told << text; };
        page().certificateButton->click();
        QCOMPARE(told.size(), 1);
        QVERIFY(told[0].startsWith(QStringLiteral("Nothing to certify yet")));
        QVERIFY(!QFile::exists(folder->filePath(QStringLiteral("certificate.pdf"))));
    }

    void testPointsKeptInTheInitialisationFile()
    {

        page().pointsEdit->setText(QStringLiteral("0; 50;100"));
        emit page().pointsEdit->editingFinished();
        QCOMPARE(page().table->rowCount(), 3);
        QVERIFY(setup->readIni().contains("[Verification]"));
        QVERIFY(setup->readIni().contains("TestPoints=0;50;100"));
        // A list that breaks the rules is refused, and says why.
        page().pointsEdit->setText(QStringLiteral("0;50;50"));
        emit page().pointsEdit->editingFinished();
        QCOMPARE(page().table->rowCount(), 3);
        QVERIFY(!page().pointsEdit->toolTip().isEmpty());
        QVERIFY(setup->readIni().contains("TestPoints=0;50;100"));
        // A new window starts from what the file keeps.
        TForm_Main again(setup->environment());
        QCOMPARE(again.TabSheet_Verification->pointsEdit->text(), QStringLiteral("0;50;100"));
    }

    void unadjustedCalibrationWaitsForConfirmation()
    {
        formaccess::showPage(*w, "TabSheet_OutputCalibration");
        for (int step = 1; step <= 6; ++step)
            button("SpeedButton_OutputCalibrationNext")->click();
        QTRY_VERIFY(last().OutCalPWM4mA == 1 && last().OutCalPWM20mA == 65535);
        TSpeedButton *store = button("SpeedButton_WriteOutputCalibrationToKX");
        const quint64 before = sim->requestCount();
        storeAnyway = false;
        store->click();
        QCOMPARE(doubtsAsked.size(), 1);
        QVERIFY(doubtsAsked[0].contains(
            QStringLiteral("uOut4mA left at its starting value 1: output not adjusted?")));
        QVERIFY(!store->Down());
        QVERIFY(exchanges(5));
        for (const auto &record : sim->receivedRequests())
            if (record.number > before) QCOMPARE(record.request.CommandBits & 64, 0);

        storeAnyway = true;
        store->click();
        QCOMPARE(doubtsAsked.size(), 2);
        QTRY_VERIFY(!store->Down()); // acknowledged
        QTRY_VERIFY(w->calibrationRecords->record(CalibrationKind::Output).has_value());
        QCOMPARE(w->calibrationRecords->record(CalibrationKind::Output)->outputPoints[0].pwm, 1);
    }
};

QTEST_MAIN(TstE2EVerification)
#include "tst_e2e_verification.moc"
