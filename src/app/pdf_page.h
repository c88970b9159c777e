// The printed pages of the program (calibration reports, certificates): A4
// laid out from top to bottom in points, with headings, wrapping tables and
// a new page when the next block does not fit; and the writing of a page
// with its machine-readable record beside it, both whole or neither.
#pragma once

#include <QByteArray>
#include <QColor>
#include <QDateTime>
#include <QFont>
#include <QPainter>
#include <QString>

#include <functional>
#include <vector>

class QPagedPaintDevice;

struct PdfCell {
    QString text;
    Qt::Alignment align = Qt::AlignLeft;
    bool bold = false;
};
using PdfRow = std::vector<PdfCell>;

class PdfPage {
public:
    static constexpr double Width = 595.0; // A4 in points
    static constexpr double Height = 842.0;
    static constexpr double Left = 56.0;
    static constexpr double Right = Width - 56.0;
    static constexpr double Top = 48.0;
    static constexpr double Bottom = Height - 56.0;

    // `device` (may be null: one page only) gives the further pages.
    PdfPage(QPainter &painter, QPagedPaintDevice *device) : p(painter), m_device(device) {}

    QFont font(double points, bool bold = false) const;
    void text(double x, double w, const QString &s, double points, bool bold,
              Qt::Alignment align = Qt::AlignLeft, QColor colour = Qt::black);
    double height(double w, const QString &s, double points, bool bold = false) const;
    void rule(double width = 0.8);
    void heading(const QString &s, double points = 11.0);
    // A paragraph across the page, wrapped.
    void paragraph(const QString &s, double points = 9.0, bool bold = false);
    // Rows of cells in columns of the given widths; with a header, the first
    // row is shaded and bold, and stands again at the top of a new page.
    // Cells wrap; a row is as tall as its tallest cell.
    void table(const std::vector<double> &widths, const std::vector<PdfRow> &rows,
               bool withHeader = true);
    // Starts a new page unless `needed` points still fit on this one.
    void keepRoom(double needed);

    QPainter &p;
    double y = Top;

private:
    double rowHeight(const std::vector<double> &widths, const PdfRow &row, bool bold) const;
    void paintRow(const std::vector<double> &widths, const PdfRow &row, bool header);

    QPagedPaintDevice *m_device;
};

// "2026-12-08 05:10:00 (UTC+01:00)".
QString pdfTimeText(const QDateTime &time);

// Paints the pages (into a PDF in memory: the PDF writer does not tell a
// failed write), then writes them and the record beside them, both whole or
// neither: a full disk never leaves a new page beside an old record. A path
// held by something other than a regular file is refused, never replaced.
bool writePdfWithRecord(const QString &pdfPath, const QString &title,
                        const std::function<void(QPainter &, QPagedPaintDevice &)> &paint,
                        const QString &recordPath, const QByteArray &record, QString &error);
