// The calibration certificate as a reader gets it: written from a record
// that went through a real records database (SQLite) and was read back, as
// a reprint years later would be, and read with pdftotext in both
// languages; a field check without adjustment; a long one over pages.
#include <QtTest>

#include "app/certificate.h"
#include "core/verification.h"
#include "records/bench_records.h"
#include "records/certificate_entry.h"
#include "records/entry_json.h"
#include "support/pdftext.h"

#include <QJsonDocument>
#include <QStandardPaths>
#include <QTemporaryDir>

namespace {

const QDateTime Calibrated(QDate(2026, 12, 8), QTime(10, 30), Qt::OffsetFromUTC, 3600);

Verification run(VerificationPhase phase, VerificationSide side, double offset,
                 const TestPoints &points = {})
{
    const VerificationScale scale{4.0, 20.0, QStringLiteral("mA")};
    VerificationRun r(phase, side, scale, Tolerance{0.1, 0.02}, points);
    for (int i = 0; i < r.pointCount(); ++i)
        r.measure(i, r.expected(i) + offset,
                  Calibrated.addSecs(phase == VerificationPhase::AsFound ? -900 : 900));
    return r.result();
}

CertificateDetails details()
{
    CertificateDetails d;
    d.serialNumber = QStringLiteral("KX-0042");
    d.port = QStringLiteral("/dev/ttyUSB0");
    d.firmware = QStringLiteral("2013-09-30");
    d.programVersion = QStringLiteral("2013.10.09");
    d.technician = QStringLiteral("Kovács Éva");
    d.approver = QStringLiteral("Nagy Péter");
    d.standards = {{QStringLiteral("CAL-7"), QStringLiteral("process calibrator"),
                    QStringLiteral("OMH-2026/118"), QDate(2027, 1, 31)}};
    d.ambientTemperature = 23.4;
    d.relativeHumidity = 41.5;
    return d;
}

CalibrationRecord inputCalibration()
{
    CalibrationRecord record = CalibrationRecord::forInput(InstrumentRequest{});
    for (std::size_t i = 0; i < record.inputPoints.size(); ++i)
        record.inputPoints[i].reading = qint32(i * 100003) - 700000;
    record.time = Calibrated;
    record.port = QStringLiteral("/dev/ttyUSB0");
    record.firmware = QStringLiteral("2013-09-30");
    record.asFound = InstrumentState{1000, 27.0, QDate(2025, 12, 1), 0};
    record.asLeft = InstrumentState{1001, 27.5, Calibrated.date(), 0};
    return record;
}

} // namespace

class TestCertificate : public QObject {
    Q_OBJECT

    QTemporaryDir m_folder;

    // The entry kept in a bench's own records, as read back from them.
    CalibrationEntry storedAndReadBack(CalibrationEntry entry)
    {
        RecordsPlace place;
        place.folder = m_folder.filePath(QStringLiteral("records"));
        place.bench = QStringLiteral("bench3");
        BenchRecords bench(place);
        if (!bench.open()) qFatal("records: %s", qPrintable(bench.error()));
        const BenchRecords::Stored stored = bench.store(entry);
        if (stored.where != BenchRecords::Stored::Where::Records) qFatal("not stored");
        return *bench.records()->entry(entry.id);
    }

    QString written(const CalibrationEntry &entry, CaptionLanguage language, const QString &name)
    {
        const QString path = m_folder.filePath(name + QStringLiteral(".pdf"));
        QString error;
        if (!writeCertificatePdf(entry, language, path, error)) qFatal("%s", qPrintable(error));
        // The first page as a picture, for the record of the work, when asked for.
        const QString shots = qEnvironmentVariable("KX_CERTIFICATE_SHOTS");
        if (!shots.isEmpty()) renderFirstPage(path, shots + u'/' + name + QStringLiteral(".png"));
        return pdfText(path);
    }

private slots:
    void initTestCase()
    {
        if (QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty())
            QSKIP("pdftotext (poppler-utils) is not installed: scripts/install-deps installs it");
    }

    void calibrationWithBothVerifications()
    {
        std::vector<Verification> runs{
            run(VerificationPhase::AsFound, VerificationSide::Input, 0.05),
            run(VerificationPhase::AsLeft, VerificationSide::Input, 0.0024)};
        const CalibrationEntry entry =
            storedAndReadBack(certificateEntry(inputCalibration(), runs, details(), {}));
        QCOMPARE(entry.certificateNumber, QStringLiteral("bench3-000001"));
        QCOMPARE(entry.dueDate, QDate(2027, 12, 8));
        // The record beside it carries the same.
        const QString english =
            written(entry, CaptionLanguage::English, QStringLiteral("certificate-en"));
        QFile json(m_folder.filePath(QStringLiteral("certificate-en.json")));
        QVERIFY(json.open(QIODevice::ReadOnly));
        QCOMPARE(
            readEntryLine(QJsonDocument::fromJson(json.readAll()).toJson(QJsonDocument::Compact))
                .entry,
            std::optional(entry));

        QVERIFY2(!english.isEmpty(), "pdftotext read nothing");
        for (const QString &expected : {
                 QStringLiteral("Calibration certificate"),
                 QStringLiteral("Certificate No.: bench3-000001"),
                 QStringLiteral("Serial number KX-0042"),
                 QStringLiteral("Firmware 2013-09-30"),
                 QStringLiteral("Program kx4720r-config 2013.10.09"),
                 QStringLiteral("Test points 0 %, 25 %, 50 %, 75 %, 100 %"),
                 QStringLiteral("Tolerance ±0.100 % of span; guard band 0.020 %"),
                 QStringLiteral("CAL-7 process calibrator OMH-2026/118 2027-01-31"),
                 QStringLiteral("Temperature 23.4 °C Relative humidity 41.5 %"),
                 // As found: 0.05 mA off, 0.3125 % of span.
                 QStringLiteral("As found (before adjustment)"),
                 QStringLiteral("Point Applied Reading Error Error, % Verdict"),
                 QStringLiteral("50 % 12.0000 12.0500 0.0500 0.313 Fail"),
                 QStringLiteral("Verdict: Fail"),
                 QStringLiteral("As left (after adjustment)"),
                 QStringLiteral("75 % 16.0000 16.0024 0.0024 0.015 Pass"),
                 QStringLiteral("Verdict: Pass"),
                 QStringLiteral("Calibration performed"),
                 QStringLiteral("Low1"),
                 QStringLiteral("-0 700 000"),
                 QStringLiteral("Overall verdict: Pass"),
                 QStringLiteral("Next calibration due: 2027-12-08"),
                 QStringLiteral("Technician: Kovács Éva"),
                 QStringLiteral("Approved by: Nagy Péter"),
             })
            QVERIFY2(pdfShows(english, expected), qPrintable(expected));

        const QString hungarian =
            written(entry, CaptionLanguage::Hungarian, QStringLiteral("certificate-hu"));
        for (const QString &expected : {
                 QStringLiteral("Kalibrálási bizonyítvány"),
                 QStringLiteral("Bizonyítvány száma: bench3-000001"),
                 QStringLiteral("50 % 12,0000 12,0500 0,0500 0,313 Nem felelt meg"),
                 QStringLiteral("75 % 16,0000 16,0024 0,0024 0,015 Megfelelt"),
                 QStringLiteral("Hőmérséklet 23,4 °C"),
                 QStringLiteral("Összesített minősítés: Megfelelt"),
                 QStringLiteral("Következő kalibrálás esedékes: 2027-12-08"),
             })
            QVERIFY2(pdfShows(hungarian, expected), qPrintable(expected));
        QCOMPARE(certificateNumberText(-1234567.891, 2, CaptionLanguage::Hungarian),
                 QStringLiteral("-1 234 567,89"));
    }

    void fieldCheckOverSeveralPages()
    {
        // As found only, eleven points on both sides, in the guard band:
        // no adjustment, the unit passes only within it.
        const TestPoints eleven{{0, 10, 20, 30, 40, 50, 60, 70, 80, 90, 100}};
        std::vector<Verification> runs{
            run(VerificationPhase::AsFound, VerificationSide::Input, 0.0144, eleven),
            run(VerificationPhase::AsFound, VerificationSide::Output, -0.0144, eleven)};
        CertificateDetails d = details();
        d.approver.clear();
        d.standards.clear();
        d.ambientTemperature.reset();
        d.intervalMonths = 6;
        const CalibrationEntry entry =
            storedAndReadBack(certificateEntry(std::nullopt, runs, d, {}));
        QCOMPARE(entry.kind, EntryKind::Verification);
        QCOMPARE(entry.time, Calibrated.addSecs(-900)); // the verification's
        const QString text =
            written(entry, CaptionLanguage::English, QStringLiteral("field-check-en"));
        for (const QString &expected : {
                 QStringLiteral("No reference standard recorded."),
                 QStringLiteral("Temperature not recorded"),
                 QStringLiteral("Input (mA)"),
                 QStringLiteral("Output (mA)"),
                 QStringLiteral("90 % 18.4000 18.4144 0.0144 0.090 Passed within guard band"),
                 QStringLiteral("90 % 18.4000 18.3856 -0.0144 -0.090 Passed within guard band"),
                 QStringLiteral("Not verified."),
                 QStringLiteral("No adjustment made: verification only."),
                 QStringLiteral("Overall verdict: Passed within guard band"),
                 QStringLiteral("Next calibration due: 2027-06-08"),
                 QStringLiteral("Approved by: Signature"),
             })
            QVERIFY2(pdfShows(text, expected), qPrintable(expected));
    }
};

QTEST_MAIN(TestCertificate)
#include "tst_certificate.moc"
