// Laying out the calibration certificate.
#include "app/certificate.h"

#include "app/calibration_report.h"
#include "app/commandline.h"
#include "app/pdf_page.h"
#include "core/verification.h"
#include "records/entry_json.h"
#include "text/numberpattern.h"

#include <QFileInfo>
#include <QJsonDocument>
#include <QPagedPaintDevice>
#include <QStringList>

#include <set>

namespace {

struct CertificateWords {
    QString title, number;
    QString unitHeading, model, serialNumber, firmware, calibrated, bench, port;
    QString procedureHeading, program, points, tolerance, guardBand, ofSpan;
    QString standardsHeading, identifier, description, standardCertificate, standardDue,
        noStandards;
    QString ambientHeading, ambientTemperature, humidity, notRecorded;
    QString asFoundHeading, asLeftHeading, notVerified, input, output;
    QString point, applied, reading, error, errorPercent, verdict;
    QString performedHeading, notPerformed;
    QString overall, none, nextDue, noDueDate;
    QString technician, approver, signature, date;
};

CertificateWords words(CaptionLanguage language)
{
    if (language == CaptionLanguage::Hungarian)
        return {QStringLiteral("Kalibrálási bizonyítvány"),
                QStringLiteral("Bizonyítvány száma"),
                QStringLiteral("Készülék"),
                QStringLiteral("Típus"),
                QStringLiteral("Gyári szám"),
                QStringLiteral("Förmver"),
                QStringLiteral("Kalibrálva"),
                QStringLiteral("Munkahely"),
                QStringLiteral("Soros port"),
                QStringLiteral("Eljárás"),
                QStringLiteral("Program"),
                QStringLiteral("Mérési pontok"),
                QStringLiteral("Tűrés"),
                QStringLiteral("Védősáv"),
                QStringLiteral("a méréstartományra vonatkoztatva"),
                QStringLiteral("Felhasznált etalonok"),
                QStringLiteral("Azonosító"),
                QStringLiteral("Leírás"),
                QStringLiteral("Bizonyítvány"),
                QStringLiteral("Érvényes"),
                QStringLiteral("Nincs feljegyzett etalon."),
                QStringLiteral("Környezeti feltételek"),
                QStringLiteral("Hőmérséklet"),
                QStringLiteral("Relatív páratartalom"),
                QStringLiteral("nincs feljegyezve"),
                QStringLiteral("Átvételi állapot (beállítás előtt)"),
                QStringLiteral("Kiadási állapot (beállítás után)"),
                QStringLiteral("Nem történt ellenőrzés."),
                QStringLiteral("Bemenet"),
                QStringLiteral("Kimenet"),
                QStringLiteral("Pont"),
                QStringLiteral("Alapérték"),
                QStringLiteral("Mért érték"),
                QStringLiteral("Hiba"),
                QStringLiteral("Hiba, %"),
                QStringLiteral("Minősítés"),
                QStringLiteral("Elvégzett kalibrálás"),
                QStringLiteral("Nem történt beállítás: csak ellenőrzés."),
                QStringLiteral("Összesített minősítés"),
                QStringLiteral("nincs"),
                QStringLiteral("Következő kalibrálás esedékes"),
                QStringLiteral("nincs megadva"),
                QStringLiteral("Kalibrálást végezte"),
                QStringLiteral("Jóváhagyta"),
                QStringLiteral("Aláírás"),
                QStringLiteral("Dátum")};
    return {QStringLiteral("Calibration certificate"),
            QStringLiteral("Certificate No."),
            QStringLiteral("Unit"),
            QStringLiteral("Model"),
            QStringLiteral("Serial number"),
            QStringLiteral("Firmware"),
            QStringLiteral("Calibrated"),
            QStringLiteral("Bench"),
            QStringLiteral("Serial port"),
            QStringLiteral("Procedure"),
            QStringLiteral("Program"),
            QStringLiteral("Test points"),
            QStringLiteral("Tolerance"),
            QStringLiteral("Guard band"),
            QStringLiteral("of span"),
            QStringLiteral("Reference standards used"),
            QStringLiteral("Identifier"),
            QStringLiteral("Description"),
            QStringLiteral("Certificate"),
            QStringLiteral("Due"),
            QStringLiteral("No reference standard recorded."),
            QStringLiteral("Ambient conditions"),
            QStringLiteral("Temperature"),
            QStringLiteral("Relative humidity"),
            QStringLiteral("not recorded"),
            QStringLiteral("As found (before adjustment)"),
            QStringLiteral("As left (after adjustment)"),
            QStringLiteral("Not verified."),
            QStringLiteral("Input"),
            QStringLiteral("Output"),
            QStringLiteral("Point"),
            QStringLiteral("Applied"),
            QStringLiteral("Reading"),
            QStringLiteral("Error"),
            QStringLiteral("Error, %"),
            QStringLiteral("Verdict"),
            QStringLiteral("Calibration performed"),
            QStringLiteral("No adjustment made: verification only."),
            QStringLiteral("Overall verdict"),
            QStringLiteral("none"),
            QStringLiteral("Next calibration due"),
            QStringLiteral("not set"),
            QStringLiteral("Technician"),
            QStringLiteral("Approved by"),
            QStringLiteral("Signature"),
            QStringLiteral("Date")};
}

QChar decimalMark(CaptionLanguage language)
{
    return language == CaptionLanguage::Hungarian ? u',' : u'.';
}

QString percentText(double value, CaptionLanguage language)
{
    return certificateNumberText(value, 3, language) + QStringLiteral(" %");
}

PdfCell label(const QString &s)
{
    return {s, Qt::AlignLeft, true};
}

PdfCell right(const QString &s)
{
    return {s, Qt::AlignRight};
}

class Certificate {
public:
    Certificate(QPainter &painter, QPagedPaintDevice &device, const CalibrationEntry &entry,
                CaptionLanguage language)
        : page(painter, &device), e(entry), lang(language), w(words(language))
    {
    }

    void paint()
    {
        paintDocumentHeader(page, lang, w.title);
        page.y += 4.0;
        page.paragraph(w.number + QStringLiteral(": ") + e.certificateNumber, 12.0, true);
        unit();
        procedure();
        standards();
        ambient();
        verifications(VerificationPhase::AsFound, w.asFoundHeading);
        verifications(VerificationPhase::AsLeft, w.asLeftHeading);
        performed();
        verdict();
        signatures();
    }

private:
    void unit()
    {
        page.heading(w.unitHeading);
        const double width = PdfPage::Right - PdfPage::Left;
        page.table({85.0, 140.0, 85.0, width - 310.0},
                   {{label(w.model), {e.model}, label(w.calibrated), {pdfTimeText(e.time)}},
                    {label(w.serialNumber), {e.serialNumber}, label(w.bench), {e.bench}},
                    {label(w.firmware), {e.firmware}, label(w.port), {e.port}}},
                   false);
    }

    void procedure()
    {
        page.heading(w.procedureHeading);
        QString version = e.programVersion.isEmpty() ? kVersionDate : e.programVersion;
        QStringList points;
        std::set<std::pair<double, double>> tolerances;
        for (const Verification &v : e.verifications) {
            tolerances.insert({v.tolerancePercentOfSpan, v.guardBandPercentOfSpan});
            if (points.isEmpty())
                for (const VerificationPoint &p : v.points)
                    points << p.point;
        }
        std::vector<PdfRow> rows{
            {label(w.program), {QStringLiteral("kx4720r-config %1").arg(version)}}};
        if (!points.isEmpty())
            rows.push_back({label(w.points), {points.join(QStringLiteral(", "))}});
        for (const auto &[tolerance, guard] : tolerances) {
            QString text = QStringLiteral("±") + percentText(tolerance, lang) + u' ' + w.ofSpan;
            if (guard > 0)
                text +=
                    QStringLiteral("; %1 %2").arg(w.guardBand.toLower(), percentText(guard, lang));
            rows.push_back({label(w.tolerance), {text}});
        }
        page.table({125.0, PdfPage::Right - PdfPage::Left - 125.0}, rows, false);
    }

    void standards()
    {
        page.heading(w.standardsHeading);
        if (e.standards.empty()) {
            page.paragraph(w.noStandards);
            return;
        }
        std::vector<PdfRow> rows{
            {{w.identifier}, {w.description}, {w.standardCertificate}, {w.standardDue}}};
        for (const ReferenceStandard &s : e.standards)
            rows.push_back({{s.identifier},
                            {s.description},
                            {s.certificateNumber},
                            {s.dueDate.isValid() ? s.dueDate.toString(Qt::ISODate) : w.none}});
        const double width = PdfPage::Right - PdfPage::Left;
        page.table({100.0, width - 300.0, 120.0, 80.0}, rows);
    }

    void ambient()
    {
        page.heading(w.ambientHeading);
        const auto value = [&](const std::optional<double> &v, const QString &unit) {
            return v ? certificateNumberText(*v, 1, lang) + unit : w.notRecorded;
        };
        const double width = PdfPage::Right - PdfPage::Left;
        page.table({125.0, 100.0, 125.0, width - 350.0},
                   {{label(w.ambientTemperature),
                     {value(e.ambientTemperature, QStringLiteral(" °C"))},
                     label(w.humidity),
                     {value(e.relativeHumidity, QStringLiteral(" %"))}}},
                   false);
    }

    void verifications(VerificationPhase phase, const QString &heading)
    {
        page.heading(heading);
        bool any = false;
        for (const Verification &v : e.verifications) {
            if (v.phase != phase) continue;
            any = true;
            const QString side = v.side == VerificationSide::Input ? w.input : w.output;
            page.paragraph(QStringLiteral("%1 (%2), %3; %4 ±%5")
                               .arg(side, v.unit, pdfTimeText(v.time), w.tolerance.toLower(),
                                    percentText(v.tolerancePercentOfSpan, lang)),
                           9.0, true);
            std::vector<PdfRow> rows{{{w.point},
                                      right(w.applied),
                                      right(w.reading),
                                      right(w.error),
                                      right(w.errorPercent),
                                      {w.verdict}}};
            for (const VerificationPoint &p : v.points)
                rows.push_back({{p.point},
                                right(certificateNumberText(p.applied, 4, lang)),
                                right(certificateNumberText(p.reading, 4, lang)),
                                right(certificateNumberText(p.error, 4, lang)),
                                right(certificateNumberText(p.errorPercentOfSpan, 3, lang)),
                                {verdictText(p.verdict, lang)}});
            const double width = PdfPage::Right - PdfPage::Left;
            page.table({50.0, 80.0, 80.0, 75.0, 65.0, width - 350.0}, rows);
            if (const std::optional<Verdict> verdict = v.verdict())
                page.paragraph(w.verdict + QStringLiteral(": ") + verdictText(*verdict, lang), 9.0,
                               true);
        }
        if (!any) page.paragraph(w.notVerified);
    }

    void performed()
    {
        page.heading(w.performedHeading);
        if (e.kind == EntryKind::Verification) {
            page.paragraph(w.notPerformed);
            return;
        }
        const CalibrationRecord record = e.toRecord();
        paintInstrumentState(page, record, lang);
        paintStoredValues(page, record, lang);
    }

    void verdict()
    {
        const std::optional<Verdict> overall = overallVerdict(e.verifications);
        page.y += 10.0;
        page.paragraph(w.overall + QStringLiteral(": ") +
                           (overall ? verdictText(*overall, lang) : w.none),
                       13.0, true);
        page.paragraph(w.nextDue + QStringLiteral(": ") +
                           (e.dueDate.isValid() ? e.dueDate.toString(Qt::ISODate) : w.noDueDate),
                       11.0, true);
    }

    void signatures()
    {
        page.keepRoom(110.0);
        page.y += 16.0;
        const std::pair<QString, QString> people[] = {{w.technician, e.technician},
                                                      {w.approver, e.approver}};
        for (const auto &[role, name] : people) {
            page.text(PdfPage::Left, 250.0, role + QStringLiteral(": ") + name, 10.0, false);
            page.y += 34.0;
            page.p.setPen(QPen(Qt::black, 0.6));
            page.p.drawLine(QPointF(PdfPage::Left, page.y), QPointF(PdfPage::Left + 250.0, page.y));
            page.p.drawLine(QPointF(PdfPage::Right - 150.0, page.y),
                            QPointF(PdfPage::Right, page.y));
            page.y += 3.0;
            page.text(PdfPage::Left, 250.0, w.signature, 8.5, false, Qt::AlignLeft,
                      QColor(80, 80, 80));
            page.text(PdfPage::Right - 150.0, 150.0, w.date, 8.5, false, Qt::AlignLeft,
                      QColor(80, 80, 80));
            page.y += 16.0;
        }
    }

    PdfPage page;
    const CalibrationEntry &e;
    CaptionLanguage lang;
    CertificateWords w;
};

} // namespace

QString verdictText(Verdict verdict, CaptionLanguage language)
{
    const bool hu = language == CaptionLanguage::Hungarian;
    switch (verdict) {
    case Verdict::Pass:
        return hu ? QStringLiteral("Megfelelt") : QStringLiteral("Pass");
    case Verdict::PassWithinGuardBand:
        return hu ? QStringLiteral("Megfelelt (védősávon belül)")
                  : QStringLiteral("Passed within guard band");
    case Verdict::Fail:
        break;
    }
    return hu ? QStringLiteral("Nem felelt meg") : QStringLiteral("Fail");
}

QString certificateNumberText(double value, int decimals, CaptionLanguage language)
{
    QString pattern = QStringLiteral("# ### ### ##0");
    if (decimals > 0) pattern += QStringLiteral(".") + QString(decimals, u'0');
    return formatPattern(value, pattern, decimalMark(language)).trimmed();
}

bool writeCertificatePdf(const CalibrationEntry &entry, CaptionLanguage language,
                         const QString &path, QString &error)
{
    const QString recordPath = calibrationRecordPathFor(path);
    const QByteArray record = QJsonDocument(entryToJson(entry)).toJson(QJsonDocument::Indented);
    return writePdfWithRecord(
        path,
        words(language).title + QStringLiteral(" ") + entry.certificateNumber +
            QStringLiteral(" - ") + entry.serialNumber,
        [&](QPainter &painter, QPagedPaintDevice &device) {
            Certificate(painter, device, entry, language).paint();
        },
        recordPath, record, error);
}
