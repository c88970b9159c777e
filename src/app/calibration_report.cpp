// Laying out and writing the calibration report page.
#include "app/calibration_report.h"

#include "app/commandline.h"
#include "app/pdf_page.h"
#include "text/numberpattern.h"

#include <QDir>
#include <QFileInfo>
#include <QPainter>

#include <vector>

namespace {

// The report's own words in the window's two languages.
struct ReportWords {
    QString inputTitle, outputTitle;
    QString unitHeading, model, serialNumber, firmware, stored, technician, port;
    QString stateHeading, asFound, asLeft, notSeen;
    QString workingTime, hoursMinutes, temperature, noReading, calibrationDate, none, status,
        statusOk;
    QString valuesHeading, number, point, step, reading, outputSetTo, pwmValue;
    QString testHeading, testPoint, noTestPoint;
    QString signature, date, footer, version;
};

ReportWords words(CaptionLanguage language)
{
    if (language == CaptionLanguage::Hungarian)
        return {QStringLiteral("Bemenet kalibrálási jegyzőkönyve"),
                QStringLiteral("Kimenet kalibrálási jegyzőkönyve"),
                QStringLiteral("Készülék és kalibrálás"),
                QStringLiteral("Típus"),
                QStringLiteral("Gyári szám"),
                QStringLiteral("Förmver"),
                QStringLiteral("Tárolva (PC ideje)"),
                QStringLiteral("Kalibrálást végezte"),
                QStringLiteral("Soros port"),
                QStringLiteral("A készülék állapota"),
                QStringLiteral("Tárolás előtt"),
                QStringLiteral("Tárolás után"),
                QStringLiteral("ebben a kapcsolatban nem látott"),
                QStringLiteral("Üzemidő"),
                QStringLiteral("%1 óra %2 perc"),
                QStringLiteral("Hőmérséklet"),
                QStringLiteral("nincs mérés"),
                QStringLiteral("Kalibrálás dátuma"),
                QStringLiteral("nincs"),
                QStringLiteral("Állapotjelzők"),
                QStringLiteral("rendben"),
                QStringLiteral("A készülékben tárolt kalibrálási értékek"),
                QStringLiteral("Sor"),
                QStringLiteral("Pont"),
                QStringLiteral("Lépés (ahogy a varázsló nevezi)"),
                QStringLiteral("AD érték (átlagolt)"),
                QStringLiteral("Kimenet beállítva"),
                QStringLiteral("PWM érték"),
                QStringLiteral("Ellenőrzött tesztpontok"),
                QStringLiteral("Tesztpont"),
                QStringLiteral("A kimenet egyik tesztpontra sem lett vezérelve."),
                QStringLiteral("Aláírás"),
                QStringLiteral("Dátum"),
                QStringLiteral("Az adatok gépi formában: %1 (a kalibrálási naplóban is)."),
                QStringLiteral("Verzió: %1")};
    return {QStringLiteral("Input calibration report"),
            QStringLiteral("Output calibration report"),
            QStringLiteral("Unit and calibration"),
            QStringLiteral("Model"),
            QStringLiteral("Serial number"),
            QStringLiteral("Firmware"),
            QStringLiteral("Stored (PC time)"),
            QStringLiteral("Technician"),
            QStringLiteral("Serial port"),
            QStringLiteral("Instrument state"),
            QStringLiteral("As found"),
            QStringLiteral("As left"),
            QStringLiteral("not seen in this connection"),
            QStringLiteral("Working time"),
            QStringLiteral("%1 h %2 min"),
            QStringLiteral("Temperature"),
            QStringLiteral("no reading"),
            QStringLiteral("Calibration date"),
            QStringLiteral("none"),
            QStringLiteral("Status flags"),
            QStringLiteral("OK"),
            QStringLiteral("Calibration values stored in the instrument"),
            QStringLiteral("No."),
            QStringLiteral("Point"),
            QStringLiteral("Step"),
            QStringLiteral("Averaged reading"),
            QStringLiteral("Output set to"),
            QStringLiteral("PWM value"),
            QStringLiteral("Test points checked"),
            QStringLiteral("Test point"),
            QStringLiteral("The output was driven to none of the test points."),
            QStringLiteral("Signature"),
            QStringLiteral("Date"),
            QStringLiteral("Machine-readable record: %1 (also kept in the calibration log)."),
            QStringLiteral("Version %1")};
}

// The status flags in the window's own words for them.
QString statusText(quint8 bits, CaptionLanguage language, const ReportWords &w)
{
    QStringList set;
    for (const quint8 flag : statusFlags(bits)) {
        using namespace instrument::Status;
        const Caption caption = flag == InputNotCalibrated    ? Caption::UncalibratedInput
                                : flag == FramError           ? Caption::FramError
                                : flag == OutputNotCalibrated ? Caption::UncalibratedOutput
                                : flag == OutputRangeError    ? Caption::OutputRangeError
                                : flag == InputRangeError     ? Caption::InputRangeError
                                                              : Caption::AdcError;
        set << captionText(language, caption);
    }
    return set.isEmpty() ? w.statusOk : set.join(QStringLiteral(", "));
}

QString stateCell(const std::optional<InstrumentState> &state, const ReportWords &w,
                  CaptionLanguage language, int row)
{
    if (!state) return w.notSeen;
    switch (row) {
    case 0:
        return w.hoursMinutes.arg(state->workingMinutes / 60).arg(state->workingMinutes % 60);
    case 1:
        // Numbers as the report's language writes them, whatever the PC's locale.
        return state->temperature
                   ? formatPattern(*state->temperature, u"0.0",
                                   language == CaptionLanguage::Hungarian ? u',' : u'.') +
                         QStringLiteral(" °C")
                   : w.noReading;
    case 2:
        return state->calibrationDate ? state->calibrationDate->toString(Qt::ISODate) : w.none;
    default:
        return statusText(state->statusBits, language, w);
    }
}

} // namespace

void paintDocumentHeader(PdfPage &page, CaptionLanguage language, const QString &title)
{
    const ReportWords w = words(language);
    const double width = PdfPage::Right - PdfPage::Left;
    // Header: the product on the left, the program and its version on the right.
    page.text(PdfPage::Left, width, kModelName, 20.0, true);
    page.text(PdfPage::Left, width, captionText(language, Caption::ProgramTitle), 8.5, false,
              Qt::AlignRight, QColor(80, 80, 80));
    page.y += 11.0;
    page.text(PdfPage::Left, width, w.version.arg(kVersionDate), 8.5, false, Qt::AlignRight,
              QColor(80, 80, 80));
    page.y += 15.0;
    page.text(PdfPage::Left, width, title, 14.0, true);
    page.y += 22.0;
    page.rule(1.2);
}

void paintInstrumentState(PdfPage &page, const CalibrationRecord &record, CaptionLanguage language)
{
    const ReportWords w = words(language);
    const double width = PdfPage::Right - PdfPage::Left;
    page.heading(w.stateHeading);
    std::vector<PdfRow> state{{{QString()}, {w.asFound}, {w.asLeft}}};
    const QString stateNames[] = {w.workingTime, w.temperature, w.calibrationDate, w.status};
    for (int row = 0; row < 4; ++row)
        state.push_back({{stateNames[row], Qt::AlignLeft, true},
                         {stateCell(record.asFound, w, language, row)},
                         {stateCell(record.asLeft, w, language, row)}});
    page.table({125.0, (width - 125.0) / 2, (width - 125.0) / 2}, state);
}

void paintStoredValues(PdfPage &page, const CalibrationRecord &record, CaptionLanguage language)
{
    const ReportWords w = words(language);
    const double width = PdfPage::Right - PdfPage::Left;
    page.heading(w.valuesHeading);
    if (record.kind == CalibrationKind::Input) {
        std::vector<PdfRow> rows{
            {{w.number, Qt::AlignRight}, {w.point}, {w.step}, {w.reading, Qt::AlignRight}}};
        int n = 0;
        for (const InputPointValue &point : record.inputPoints)
            rows.push_back(
                {{QString::number(++n), Qt::AlignRight},
                 {point.name},
                 {language == CaptionLanguage::English ? englishStepTitle(point) : point.step},
                 {formatPattern(point.reading, u"0 000 000"), Qt::AlignRight}});
        page.table({32.0, 60.0, width - 32.0 - 60.0 - 120.0, 120.0}, rows);
    } else {
        std::vector<PdfRow> rows{{{w.point}, {w.outputSetTo}, {w.pwmValue, Qt::AlignRight}}};
        for (const OutputPointValue &point : record.outputPoints)
            rows.push_back({{point.name},
                            {point.target},
                            {formatPattern(point.pwm, u"## ##0"), Qt::AlignRight}});
        page.table({120.0, width - 240.0, 120.0}, rows);

        page.heading(w.testHeading);
        if (record.testPoints.empty()) {
            page.text(PdfPage::Left, width, w.noTestPoint, 9.0, false);
            page.y += 14.0;
        } else {
            std::vector<PdfRow> tests{{{w.testPoint}, {QString()}, {w.pwmValue, Qt::AlignRight}}};
            for (const OutputTestPoint &point : record.testPoints)
                tests.push_back({{point.name},
                                 {QString()},
                                 {formatPattern(point.pwm, u"## ##0"), Qt::AlignRight}});
            page.table({120.0, width - 240.0, 120.0}, tests);
        }
    }
}

namespace {

void paintReport(QPainter &painter, const CalibrationRecord &record, CaptionLanguage language,
                 const QString &recordFileName)
{
    const ReportWords w = words(language);
    PdfPage page(painter, nullptr);
    const double width = PdfPage::Right - PdfPage::Left;

    paintDocumentHeader(page, language,
                        record.kind == CalibrationKind::Input ? w.inputTitle : w.outputTitle);

    page.heading(w.unitHeading);
    // Label and value pairs, two to a row; the time needs the wider value column.
    const std::vector<double> pairs{85.0, 140.0, 100.0, width - 325.0};
    const auto label = [](const QString &s) { return PdfCell{s, Qt::AlignLeft, true}; };
    const auto value = [](const QString &s) { return PdfCell{s}; };
    page.table(
        pairs,
        {
            {label(w.serialNumber), value(record.serialNumber), label(w.stored),
             value(pdfTimeText(record.time))},
            {label(w.model), value(kModelName), label(w.technician), value(record.technician)},
            {label(w.firmware), value(record.firmware), label(w.port), value(record.port)},
        },
        false);

    paintInstrumentState(page, record, language);
    paintStoredValues(page, record, language);

    // The signature block and the footer stand at the foot of the page.
    page.y = PdfPage::Height - 150.0;
    page.text(PdfPage::Left, width, w.technician + QStringLiteral(": ") + record.technician, 10.0,
              false);
    page.y = PdfPage::Height - 100.0;
    painter.setPen(QPen(Qt::black, 0.6));
    painter.drawLine(QPointF(PdfPage::Left, page.y), QPointF(PdfPage::Left + 250.0, page.y));
    painter.drawLine(QPointF(PdfPage::Right - 150.0, page.y), QPointF(PdfPage::Right, page.y));
    page.y += 3.0;
    page.text(PdfPage::Left, 250.0, w.signature, 8.5, false, Qt::AlignLeft, QColor(80, 80, 80));
    page.text(PdfPage::Right - 150.0, 150.0, w.date, 8.5, false, Qt::AlignLeft, QColor(80, 80, 80));
    page.y = PdfPage::Height - 48.0;
    page.rule(0.5);
    page.y += 4.0;
    page.text(PdfPage::Left, width, w.footer.arg(recordFileName), 7.5, false, Qt::AlignLeft,
              QColor(80, 80, 80));
}

} // namespace

QString calibrationRecordPathFor(const QString &reportPath)
{
    const QFileInfo info(reportPath);
    const QString base = info.suffix().compare(QLatin1String("pdf"), Qt::CaseInsensitive) == 0
                             ? info.completeBaseName()
                             : info.fileName();
    return info.dir().filePath(base + QStringLiteral(".json"));
}

bool writeCalibrationReport(const CalibrationRecord &record, const QString &reportPath,
                            CaptionLanguage language, QString &error)
{
    const QString recordPath = calibrationRecordPathFor(reportPath);
    const ReportWords w = words(language);
    return writePdfWithRecord(
        reportPath,
        (record.kind == CalibrationKind::Input ? w.inputTitle : w.outputTitle) +
            QStringLiteral(" - ") + record.serialNumber,
        [&](QPainter &painter, QPagedPaintDevice &) {
            paintReport(painter, record, language, QFileInfo(recordPath).fileName());
        },
        recordPath, record.toJsonText(), error);
}
