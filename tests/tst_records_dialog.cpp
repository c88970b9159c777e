// The "Records" dialog (offscreen) on a real SQLite file of records: a unit's
// calibrations newest first with their verdicts, certificate numbers and due
// dates, the units due in the next days, the mark on records that wait in the
// bench's spool, and a record's report printed again.
#include <QtTest>
#include <QtWidgets>

#include "app/records_dialog.h"
#include "app/window_records.h"

namespace {

const QDate Today = QDate::currentDate();

// A calibration of `serial`, days ago, due on `due`; verified as found and
// as left with those verdicts (none: not verified).
CalibrationEntry calibration(const QString &serial, int daysAgo, const QDate &due,
                             EntryKind kind = EntryKind::Input,
                             std::optional<Verdict> asFound = std::nullopt,
                             std::optional<Verdict> asLeft = std::nullopt)
{
    CalibrationEntry e;
    e.serialNumber = serial;
    e.kind = kind;
    e.time = QDateTime(Today.addDays(-daysAgo), QTime(10, 30));
    e.port = QStringLiteral("/dev/ttyUSB0");
    e.technician = QStringLiteral("Kovács Éva");
    e.dueDate = due;
    for (const auto &[phase, verdict] :
         {std::pair{VerificationPhase::AsFound, asFound}, {VerificationPhase::AsLeft, asLeft}})
        if (verdict)
            e.verifications.push_back({phase,
                                       VerificationSide::Input,
                                       e.time,
                                       "mA",
                                       0.1,
                                       0,
                                       {{"50 %", 12, 12.01, 0.01, 0.0625, *verdict}}});
    return e;
}

QString pdfText(const QString &path)
{
    QProcess process;
    process.start(QStringLiteral("pdftotext"), {path, QStringLiteral("-")});
    process.waitForFinished(30000);
    return QString::fromUtf8(process.readAllStandardOutput());
}

QStringList column(const QTreeWidget *list, int column)
{
    QStringList texts;
    for (int i = 0; i < list->topLevelItemCount(); ++i)
        texts << list->topLevelItem(i)->text(column);
    return texts;
}

// Where screenshots go when KX4720R_SHOTS names a folder.
void shoot(QWidget &widget, const QString &name)
{
    const QString folder = qEnvironmentVariable("KX4720R_SHOTS");
    if (folder.isEmpty()) return;
    QCoreApplication::processEvents(); // the status line's new height
    widget.grab().save(folder + u'/' + name);
}

} // namespace

class TestRecordsDialog : public QObject {
    Q_OBJECT

    QTemporaryDir folder;
    RecordsPlace place;
    std::vector<BenchRecords::Stored> stored; // in the order below

    std::unique_ptr<RecordsDialog> open(WindowRecords &records, CaptionLanguage language,
                                        const QString &serial)
    {
        auto dialog = std::make_unique<RecordsDialog>(records, language, serial);
        QSignalSpy history(dialog.get(), &RecordsDialog::historyShown);
        QSignalSpy due(dialog.get(), &RecordsDialog::dueShown);
        dialog->show();
        const auto ready = [&] {
            return (serial.isEmpty() || !history.isEmpty()) && !due.isEmpty();
        };
        if (!QTest::qWaitFor(ready, 10000)) return nullptr;
        return dialog;
    }

private slots:
    void initTestCase()
    {
        place.folder = folder.filePath(QStringLiteral("bench"));
        place.bench = QStringLiteral("bench7");
        BenchRecords bench(place);
        QVERIFY2(bench.open(), qPrintable(bench.error()));
        CalibrationEntry entries[] = {
            calibration("KX-1", 400, Today.addDays(-35), EntryKind::Input),
            calibration("KX-1", 20, Today.addDays(345), EntryKind::Verification, Verdict::Fail),
            calibration("KX-1", 19, Today.addDays(346), EntryKind::Output, Verdict::Fail,
                        Verdict::PassWithinGuardBand),
            calibration("KX-2", 355, Today.addDays(10)),
            calibration("KX-3", 300, Today.addDays(65)),
            calibration("KX-4", 370, Today.addDays(-5)),
        };
        for (CalibrationEntry &e : entries) {
            stored.push_back(bench.store(e));
            QCOMPARE(stored.back().where, BenchRecords::Stored::Where::Records);
        }
    }

    void historyIsTheUnitsNewestFirst_data()
    {
        QTest::addColumn<CaptionLanguage>("language");
        QTest::addColumn<QStringList>("verdicts"); // as found, as left of the newest
        QTest::newRow("english") << CaptionLanguage::English
                                 << QStringList{"Fail", "Pass within guard band"};
        QTest::newRow("hungarian") << CaptionLanguage::Hungarian
                                   << QStringList{"Nem felelt meg", "Megfelelt (védősávon belül)"};
    }
    void historyIsTheUnitsNewestFirst()
    {
        QFETCH(CaptionLanguage, language);
        QFETCH(QStringList, verdicts);
        WindowRecords records(RecordsChoice{place, {}});
        const auto dialog = open(records, language, QStringLiteral("KX-1"));
        QVERIFY(dialog);
        const QTreeWidget *list = dialog->historyList();
        QCOMPARE(column(list, 2),
                 (QStringList{stored[2].certificateNumber, stored[1].certificateNumber,
                              stored[0].certificateNumber}));
        QCOMPARE(list->topLevelItem(0)->text(3), verdicts[0]);
        QCOMPARE(list->topLevelItem(0)->text(4), verdicts[1]);
        QCOMPARE(list->topLevelItem(0)->text(5), Today.addDays(346).toString(Qt::ISODate));
        QVERIFY(
            list->topLevelItem(2)->text(5).startsWith(Today.addDays(-35).toString(Qt::ISODate)));
        shoot(*dialog, QStringLiteral("records-%1.png").arg(QTest::currentDataTag()));

        // Sorted by the column clicked; the serial number typed is another unit.
        dialog->historyList()->header()->setSortIndicator(0, Qt::AscendingOrder);
        QCOMPARE(list->topLevelItem(0)->text(2), stored[0].certificateNumber);
        QSignalSpy shown(dialog.get(), &RecordsDialog::historyShown);
        dialog->serialEdit()->setText(QStringLiteral("KX-2"));
        QTest::keyClick(dialog->serialEdit(), Qt::Key_Return);
        QVERIFY(shown.wait(10000));
        QCOMPARE(column(list, 2), QStringList{stored[3].certificateNumber});
        QVERIFY(dialog->isVisible()); // Return reads; it does not close
    }

    void dueListsTheNextDaysAndTheOverdue()
    {
        WindowRecords records(RecordsChoice{place, {}});
        const auto dialog = open(records, CaptionLanguage::English, {});
        QVERIFY(dialog);
        QCOMPARE(dialog->dueDays()->value(), 30);
        const QTreeWidget *list = dialog->dueList();
        QCOMPARE(column(list, 1), (QStringList{"KX-4", "KX-2"}));
        QCOMPARE(list->topLevelItem(0)->text(0),
                 Today.addDays(-5).toString(Qt::ISODate) + QStringLiteral(" (overdue)"));

        QSignalSpy shown(dialog.get(), &RecordsDialog::dueShown);
        dialog->dueDays()->setValue(90);
        QVERIFY(shown.wait(10000));
        QCOMPARE(column(list, 1), (QStringList{"KX-4", "KX-2", "KX-3"}));
        dialog->tabs()->setCurrentIndex(1);
        shoot(*dialog, QStringLiteral("records-due-english.png"));
    }

    void doubleClickReprintsTheRecord()
    {
        WindowRecords records(RecordsChoice{place, {}});
        const auto dialog = open(records, CaptionLanguage::English, QStringLiteral("KX-1"));
        QVERIFY(dialog);
        QString suggested;
        dialog->askFileName = [&](QWidget *, const FileQuestion &q) {
            suggested = q.startPath;
            return folder.filePath(QStringLiteral("again"));
        };
        QTreeWidget *list = dialog->historyList();
        QSignalSpy finished(dialog.get(), &RecordsDialog::reprintFinished);
        const QRect row = list->visualItemRect(list->topLevelItem(0));
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, row.center());
        QVERIFY(dialog->reprintButton()->isEnabled());
        QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, row.center());
        QVERIFY(finished.wait(10000));
        const QString path = folder.filePath(QStringLiteral("again.pdf"));
        QCOMPARE(finished.first().first().toString(), path);
        QVERIFY2(suggested.endsWith(
                     QStringLiteral("KX4720R_KX-1_%1.pdf").arg(stored[2].certificateNumber)),
                 qPrintable(suggested));
        const QString text = pdfText(path);
        QVERIFY2(text.contains(QStringLiteral("KX-1")) &&
                     text.contains(QStringLiteral("Calibration certificate")) &&
                     text.contains(stored[2].certificateNumber),
                 qPrintable(text));

        // Escape closes.
        QTest::keyClick(dialog.get(), Qt::Key_Escape);
        QVERIFY(!dialog->isVisible());
    }

    void spooledRecordsAreMarkedAndReprinted()
    {
        // The shared server's socket folder holds no server: it is down.
        QTemporaryDir bench;
        RecordsPlace shared{{}, bench.path(), QStringLiteral("bench8")};
        QString error;
        shared.shared = parseConnectionString(
            QStringLiteral("postgresql://bench8@/records?host=%1").arg(bench.path()), error);
        QVERIFY2(shared.shared, qPrintable(error));
        {
            BenchRecords spool(shared);
            QVERIFY(spool.open());
            CalibrationEntry e = calibration("KX-9", 1, Today.addDays(364));
            QCOMPARE(spool.store(e).where, BenchRecords::Stored::Where::Spool);
        }
        WindowRecords records(RecordsChoice{shared, {}});
        const auto dialog = open(records, CaptionLanguage::English, QStringLiteral("KX-9"));
        QVERIFY(dialog);
        QTreeWidget *list = dialog->historyList();
        QCOMPARE(list->topLevelItemCount(), 1);
        QCOMPARE(list->topLevelItem(0)->text(8), QStringLiteral("not yet in the shared records"));
        QVERIFY2(dialog->statusLabel()->text().contains(bench.path()),
                 qPrintable(dialog->statusLabel()->text()));
        shoot(*dialog, QStringLiteral("records-spooled-english.png"));

        dialog->askFileName = [&](QWidget *, const FileQuestion &) {
            return bench.filePath(QStringLiteral("spooled.pdf"));
        };
        list->setCurrentItem(list->topLevelItem(0));
        QSignalSpy finished(dialog.get(), &RecordsDialog::reprintFinished);
        dialog->reprintButton()->click();
        QVERIFY(finished.wait(10000));
        QVERIFY(pdfText(bench.filePath(QStringLiteral("spooled.pdf"))).contains("KX-9"));
    }
};

QTEST_MAIN(TestRecordsDialog)
#include "tst_records_dialog.moc"
