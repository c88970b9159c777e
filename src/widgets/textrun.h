// A one-line plain text drawn as QPainter::drawText(rect, flags, text) draws
// it, from glyphs kept between paints. Numbers on display are painted again
// at every reply, mostly changed in their digits alone: while a new text lays
// out as the last one did (see digitshape.h), its digits' glyphs are exchanged
// in the kept run instead of shaping and laying the text out again.
#pragma once

#include <QFont>
#include <QGlyphRun>
#include <QList>
#include <QString>
#include <array>

class QPainter;
class QRect;
class QStyle;

class TextRun {
public:
    // Whether draw() takes these flags and this text: one line, aligned but
    // not justified, no mnemonics, tabs or line breaks. Draw any other text
    // the usual way.
    static bool handles(int flags, const QString &text);
    // Whether the style draws an enabled item's text as the pen of its role
    // and QPainter::drawText, so that draw() may stand in for it.
    static bool plainIn(const QStyle *style);

    // Draws the text in the painter's font and pen.
    void draw(QPainter &painter, const QRect &rect, int flags, const QString &text);

private:
    void layOut(const QFont &font, int flags, const QString &text);
    bool exchangeDigits(const QString &text);

    bool m_valid = false;
    QFont m_font;
    int m_flags = 0;
    QString m_text;
    QList<QGlyphRun> m_runs;
    qreal m_width = 0;   // the line's natural width, with the last glyph's overhang
    qreal m_advance = 0; // the line's advance
    qreal m_height = 0;  // the line's height
    // The glyph of each digit in the run's font, when the run holds one glyph
    // per character in text order; empty otherwise (no exchange then).
    QList<quint32> m_digitGlyphs;
};
