// Laying out printed pages and writing them.
#include "app/pdf_page.h"

#include "app/commandline.h"
#include "core/file_write.h"

#include <QBuffer>
#include <QDir>
#include <QFontMetricsF>
#include <QPageSize>
#include <QPdfWriter>

#include <algorithm>
#include <cstdlib>

QFont PdfPage::font(double points, bool bold) const
{
    QFont f(QStringLiteral("Arial"));
    f.setPointSizeF(points);
    f.setBold(bold);
    return f;
}

void PdfPage::text(double x, double w, const QString &s, double points, bool bold,
                   Qt::Alignment align, QColor colour)
{
    p.setFont(font(points, bold));
    p.setPen(colour);
    const QRectF box(x, y, w, 1000.0);
    p.drawText(box, int(align | Qt::AlignTop | Qt::TextWordWrap), s);
}

double PdfPage::height(double w, const QString &s, double points, bool bold) const
{
    const QFontMetricsF metrics(font(points, bold), p.device());
    return metrics.boundingRect(QRectF(0, 0, w, 1000.0), Qt::TextWordWrap, s).height();
}

void PdfPage::rule(double width)
{
    p.setPen(QPen(Qt::black, width));
    p.drawLine(QPointF(Left, y), QPointF(Right, y));
}

void PdfPage::heading(const QString &s, double points)
{
    // A heading never stands alone at the foot of a page, nor with a table's
    // first row alone below it.
    keepRoom(14.0 + height(Right - Left, s, points, true) + 80.0);
    y += 14.0;
    text(Left, Right - Left, s, points, true);
    y += height(Right - Left, s, points, true) + 4.0;
}

void PdfPage::paragraph(const QString &s, double points, bool bold)
{
    const double h = height(Right - Left, s, points, bold);
    keepRoom(h);
    text(Left, Right - Left, s, points, bold);
    y += h + 3.0;
}

namespace {
constexpr double Pad = 3.0;
constexpr double TablePoints = 9.0;
} // namespace

double PdfPage::rowHeight(const std::vector<double> &widths, const PdfRow &row, bool bold) const
{
    double h = 0.0;
    for (std::size_t c = 0; c < row.size(); ++c)
        h = std::max(h, height(widths[c] - 2 * Pad, row[c].text, TablePoints, bold || row[c].bold));
    return h + 2 * Pad;
}

void PdfPage::paintRow(const std::vector<double> &widths, const PdfRow &row, bool header)
{
    const double h = rowHeight(widths, row, header);
    double x = Left;
    if (header) p.fillRect(QRectF(Left, y, Right - Left, h), QColor(230, 230, 230));
    for (std::size_t c = 0; c < row.size(); ++c) {
        const double top = y;
        y += Pad;
        text(x + Pad, widths[c] - 2 * Pad, row[c].text, TablePoints, header || row[c].bold,
             row[c].align);
        y = top;
        x += widths[c];
    }
    y += h;
    p.setPen(QPen(QColor(150, 150, 150), 0.5));
    p.drawLine(QPointF(Left, y), QPointF(Right, y));
}

void PdfPage::table(const std::vector<double> &widths, const std::vector<PdfRow> &rows,
                    bool withHeader)
{
    for (std::size_t r = 0; r < rows.size(); ++r) {
        const bool header = withHeader && r == 0;
        const double needed =
            rowHeight(widths, rows[r], header) +
            (header && r + 1 < rows.size() ? rowHeight(widths, rows[r + 1], false) : 0.0);
        if (m_device && y + needed > Bottom) {
            keepRoom(needed);
            if (withHeader && !header) paintRow(widths, rows.front(), true);
        }
        paintRow(widths, rows[r], header);
    }
}

void PdfPage::keepRoom(double needed)
{
    if (!m_device || y + needed <= Bottom) return;
    m_device->newPage();
    y = Top;
}

QString pdfTimeText(const QDateTime &time)
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

bool writePdfWithRecord(const QString &pdfPath, const QString &title,
                        const std::function<void(QPainter &, QPagedPaintDevice &)> &paint,
                        const QString &recordPath, const QByteArray &record, QString &error)
{
    QByteArray pages;
    QBuffer pdf(&pages);
    pdf.open(QIODevice::WriteOnly);
    {
        QPdfWriter writer(&pdf);
        writer.setPageSize(QPageSize(QPageSize::A4));
        writer.setPageMargins(QMarginsF(0, 0, 0, 0));
        writer.setResolution(72); // one unit a point
        writer.setCreator(QStringLiteral("kx4720r-config ") + kVersionDate);
        writer.setTitle(title);
        QPainter painter;
        if (!painter.begin(&writer)) {
            error = QStringLiteral("the PDF writer could not start");
            return false;
        }
        paint(painter, writer);
        painter.end();
    }

    StagedFile page(pdfPath);
    StagedFile json(recordPath);
    if (page.stage(pages) && json.stage(record) && page.commit() && json.commit()) return true;
    // The window's message names the page; the record beside it is named here.
    error = page.error().failed()
                ? page.error().reason()
                : QStringLiteral("%1: %2").arg(QDir::toNativeSeparators(recordPath),
                                               json.error().reason());
    return false;
}
