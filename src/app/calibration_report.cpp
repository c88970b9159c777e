// Laying out and writing the calibration report page.
#include "app/calibration_report.h"

#include "app/commandline.h"
#include "core/file_write.h"
#include "text/numberpattern.h"

#include <QBuffer>
#include <QDir>
#include <QFileInfo>
#include <QFontMetricsF>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>

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

QString timeText(const QDateTime &time)
{
    const int offset = time.offsetFromUtc();
    const QChar sign = offset < 0 ? u'-' : u'+';
    const int minutes = std::abs(offset) / 60;
    return time.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")) +
           QStringLiteral(" (UTC%1%2:%3)")
               .arg(sign)
               .arg(minutes / 60, 2, 10, QLatin1Char('0'))
               .arg(minutes % 60, 2, 10, QLatin1Char('0'));
}

struct Cell {
    QString text;
    Qt::Alignment align = Qt::AlignLeft;
    bool bold = false;
};
using Row = std::vector<Cell>;

// A page laid out from top to bottom in points (1/72 inch).
class Page {
public:
    static constexpr double Width = 595.0; // A4 in points
    static constexpr double Height = 842.0;
    static constexpr double Left = 56.0;
    static constexpr double Right = Width - 56.0;

    explicit Page(QPainter &painter) : p(painter) {}

    QFont font(double points, bool bold = false) const
    {
        QFont f(QStringLiteral("Arial"));
        f.setPointSizeF(points);
        f.setBold(bold);
        return f;
    }

    void text(double x, double w, const QString &s, double points, bool bold,
              Qt::Alignment align = Qt::AlignLeft, QColor colour = Qt::black)
    {
        p.setFont(font(points, bold));
        p.setPen(colour);
        const QRectF box(x, y, w, 1000.0);
        p.drawText(box, int(align | Qt::AlignTop | Qt::TextWordWrap), s);
    }

    double height(double w, const QString &s, double points, bool bold = false) const
    {
        const QFontMetricsF metrics(font(points, bold), p.device());
        return metrics.boundingRect(QRectF(0, 0, w, 1000.0), Qt::TextWordWrap, s).height();
    }

    void rule(double width = 0.8)
    {
        p.setPen(QPen(Qt::black, width));
        p.drawLine(QPointF(Left, y), QPointF(Right, y));
    }

    void heading(const QString &s)
    {
        y += 14.0;
        text(Left, Right - Left, s, 11.0, true);
        y += height(Right - Left, s, 11.0, true) + 4.0;
    }

    // Rows of cells in columns of the given widths; with a header, the first
    // row is shaded and bold. Cells wrap; a row is as tall as its tallest cell.
    void table(const std::vector<double> &widths, const std::vector<Row> &rows,
               bool withHeader = true)
    {
        constexpr double Pad = 3.0;
        constexpr double Points = 9.0;
        for (std::size_t r = 0; r < rows.size(); ++r) {
            const bool header = withHeader && r == 0;
            double rowHeight = 0.0;
            for (std::size_t c = 0; c < rows[r].size(); ++c)
                rowHeight = std::max(rowHeight, height(widths[c] - 2 * Pad, rows[r][c].text, Points,
                                                       header || rows[r][c].bold));
            rowHeight += 2 * Pad;
            double x = Left;
            if (header) p.fillRect(QRectF(Left, y, Right - Left, rowHeight), QColor(230, 230, 230));
            for (std::size_t c = 0; c < rows[r].size(); ++c) {
                const double top = y;
                y += Pad;
                text(x + Pad, widths[c] - 2 * Pad, rows[r][c].text, Points,
                     header || rows[r][c].bold, rows[r][c].align);
                y = top;
                x += widths[c];
            }
            y += rowHeight;
            p.setPen(QPen(QColor(150, 150, 150), 0.5));
            p.drawLine(QPointF(Left, y), QPointF(Right, y));
        }
    }

    QPainter &p;
    double y = 48.0;
};

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

void paintReport(QPainter &painter, const CalibrationRecord &record, CaptionLanguage language,
                 const QString &recordFileName)
{
    const ReportWords w = words(language);
    Page page(painter);
    const double width = Page::Right - Page::Left;

    // Header: the product on the left, the program and its version on the right.
    page.text(Page::Left, width, kModelName, 20.0, true);
    page.text(Page::Left, width, captionText(language, Caption::ProgramTitle), 8.5, false,
              Qt::AlignRight, QColor(80, 80, 80));
    page.y += 11.0;
    page.text(Page::Left, width, w.version.arg(kVersionDate), 8.5, false, Qt::AlignRight,
              QColor(80, 80, 80));
    page.y += 15.0;
    page.text(Page::Left, width,
              record.kind == CalibrationKind::Input ? w.inputTitle : w.outputTitle, 14.0, true);
    page.y += 22.0;
    page.rule(1.2);

    page.heading(w.unitHeading);
    // Label and value pairs, two to a row; the time needs the wider value column.
    const std::vector<double> pairs{85.0, 140.0, 100.0, width - 325.0};
    const auto label = [](const QString &s) { return Cell{s, Qt::AlignLeft, true}; };
    const auto value = [](const QString &s) { return Cell{s}; };
    page.table(
        pairs,
        {
            {label(w.serialNumber), value(record.serialNumber), label(w.stored),
             value(timeText(record.time))},
            {label(w.model), value(kModelName), label(w.technician), value(record.technician)},
            {label(w.firmware), value(record.firmware), label(w.port), value(record.port)},
        },
        false);

    page.heading(w.stateHeading);
    std::vector<Row> state{{{QString()}, {w.asFound}, {w.asLeft}}};
    const QString stateNames[] = {w.workingTime, w.temperature, w.calibrationDate, w.status};
    for (int row = 0; row < 4; ++row)
        state.push_back({{stateNames[row], Qt::AlignLeft, true},
                         {stateCell(record.asFound, w, language, row)},
                         {stateCell(record.asLeft, w, language, row)}});
    page.table({125.0, (width - 125.0) / 2, (width - 125.0) / 2}, state);

    page.heading(w.valuesHeading);
    if (record.kind == CalibrationKind::Input) {
        std::vector<Row> rows{
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
        std::vector<Row> rows{{{w.point}, {w.outputSetTo}, {w.pwmValue, Qt::AlignRight}}};
        for (const OutputPointValue &point : record.outputPoints)
            rows.push_back({{point.name},
                            {point.target},
                            {formatPattern(point.pwm, u"## ##0"), Qt::AlignRight}});
        page.table({120.0, width - 240.0, 120.0}, rows);

        page.heading(w.testHeading);
        if (record.testPoints.empty()) {
            page.text(Page::Left, width, w.noTestPoint, 9.0, false);
            page.y += 14.0;
        } else {
            std::vector<Row> tests{{{w.testPoint}, {QString()}, {w.pwmValue, Qt::AlignRight}}};
            for (const OutputTestPoint &point : record.testPoints)
                tests.push_back({{point.name},
                                 {QString()},
                                 {formatPattern(point.pwm, u"## ##0"), Qt::AlignRight}});
            page.table({120.0, width - 240.0, 120.0}, tests);
        }
    }

    // The signature block and the footer stand at the foot of the page.
    page.y = Page::Height - 150.0;
    page.text(Page::Left, width, w.technician + QStringLiteral(": ") + record.technician, 10.0,
              false);
    page.y = Page::Height - 100.0;
    painter.setPen(QPen(Qt::black, 0.6));
    painter.drawLine(QPointF(Page::Left, page.y), QPointF(Page::Left + 250.0, page.y));
    painter.drawLine(QPointF(Page::Right - 150.0, page.y), QPointF(Page::Right, page.y));
    page.y += 3.0;
    page.text(Page::Left, 250.0, w.signature, 8.5, false, Qt::AlignLeft, QColor(80, 80, 80));
    page.text(Page::Right - 150.0, 150.0, w.date, 8.5, false, Qt::AlignLeft, QColor(80, 80, 80));
    page.y = Page::Height - 48.0;
    page.rule(0.5);
    page.y += 4.0;
    page.text(Page::Left, width, w.footer.arg(recordFileName), 7.5, false, Qt::AlignLeft,
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
    // The page is made in memory: the PDF writer does not tell a failed write.
    QByteArray page;
    QBuffer pdf(&page);
    pdf.open(QIODevice::WriteOnly);
    {
        QPdfWriter writer(&pdf);
        writer.setPageSize(QPageSize(QPageSize::A4));
        writer.setPageMargins(QMarginsF(0, 0, 0, 0));
        writer.setResolution(72); // one unit a point
        writer.setCreator(QStringLiteral("kx4720r-config ") + kVersionDate);
        const ReportWords w = words(language);
        writer.setTitle((record.kind == CalibrationKind::Input ? w.inputTitle : w.outputTitle) +
                        QStringLiteral(" - ") + record.serialNumber);
        QPainter painter;
        if (!painter.begin(&writer)) {
            error = QStringLiteral("the PDF writer could not start");
            return false;
        }
        paintReport(painter, record, language, QFileInfo(recordPath).fileName());
        painter.end();
    }

    // Both are written out before either takes its place, so a full disk
    // never leaves a new page beside an old record or the other way round.
    StagedFile report(reportPath);
    StagedFile json(recordPath);
    if (report.stage(page) && json.stage(record.toJsonText()) && report.commit() && json.commit())
        return true;
    // The window's message names the report; the record beside it is named here.
    error = report.error().failed()
                ? report.error().reason()
                : QStringLiteral("%1: %2").arg(QDir::toNativeSeparators(recordPath),
                                               json.error().reason());
    return false;
}
