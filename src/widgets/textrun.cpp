// Glyphs of a one-line text kept between paints (see textrun.h).
#include "widgets/textrun.h"

#include <QPainter>
#include <QRawFont>
#include <QStyle>
#include <QTextLayout>

#include "widgets/digitshape.h"

namespace {

bool isDigit(QChar c)
{
    return c >= u'0' && c <= u'9';
}

} // namespace

bool TextRun::handles(int flags, const QString &text)
{
    constexpr int beyond = Qt::TextShowMnemonic | Qt::TextHideMnemonic | Qt::TextWordWrap |
                           Qt::TextWrapAnywhere | Qt::TextExpandTabs | Qt::TextJustificationForced |
                           Qt::TextIncludeTrailingSpaces | Qt::TextDontClip | Qt::TextSingleLine |
                           Qt::AlignJustify | Qt::AlignAbsolute | Qt::TextForceRightToLeft;
    if (flags & beyond) return false;
    for (const QChar c : text)
        if (c == u'\n' || c == u'\t' || c == u'&' || c == QChar::LineSeparator ||
            c.direction() == QChar::DirR || c.direction() == QChar::DirAL)
            return false;
    return !text.isEmpty();
}

bool TextRun::plainIn(const QStyle *style)
{
    const QString name = style->name();
    return name == u"fusion" || name == u"windows";
}

void TextRun::layOut(const QFont &font, int flags, const QString &text)
{
    m_valid = true;
    m_font = font;
    m_flags = flags;
    m_text = text;
    QTextLayout layout(text, font);
    QTextOption option;
    option.setWrapMode(QTextOption::NoWrap);
    option.setTextDirection(Qt::LeftToRight);
    layout.setTextOption(option);
    layout.beginLayout();
    QTextLine line = layout.createLine();
    line.setPosition(QPointF(0, 0));
    layout.endLayout();
    m_width = line.naturalTextWidth();
    m_advance = line.horizontalAdvance();
    m_height = line.ascent() + line.descent(); // not rounded up, unlike line.height()
    m_runs = layout.glyphRuns();

    m_digitGlyphs.clear();
    if (m_runs.size() != 1 || m_runs.front().glyphIndexes().size() != text.size()) return;
    const QList<quint32> digits = m_runs.front().rawFont().glyphIndexesForString(u"0123456789"_qs);
    const QList<quint32> glyphs = m_runs.front().glyphIndexes();
    if (digits.size() != 10) return;
    for (qsizetype i = 0; i < text.size(); ++i)
        if (isDigit(text[i]) && glyphs[i] != digits[text[i].unicode() - u'0']) return;
    m_digitGlyphs = digits;
}

bool TextRun::exchangeDigits(const QString &text)
{
    if (m_digitGlyphs.isEmpty() || !laysOutAlike(m_font, m_text, text)) return false;
    QGlyphRun &run = m_runs.front();
    QList<quint32> glyphs = run.glyphIndexes();
    for (qsizetype i = 0; i < text.size(); ++i)
        if (text[i] != m_text[i]) glyphs[i] = m_digitGlyphs[text[i].unicode() - u'0'];
    run.setGlyphIndexes(glyphs);
    m_text = text;
    return true;
}

void TextRun::draw(QPainter &painter, const QRect &rect, int flags, const QString &text)
{
    const QFont &font = painter.font();
    if (!m_valid || flags != m_flags || font != m_font || (text != m_text && !exchangeDigits(text)))
        layOut(font, flags, text);

    // Placed by the advance, checked for room by the natural width, which
    // takes in the last glyph's overhang.
    const auto offset = [&flags](int room, qreal extent, Qt::Alignment far, Qt::Alignment middle) {
        return (flags & far) ? room - extent : (flags & middle) ? (room - extent) / 2 : 0.0;
    };
    const qreal x = rect.x() + offset(rect.width(), m_advance, Qt::AlignRight, Qt::AlignHCenter);
    const qreal y = rect.y() + offset(rect.height(), m_height, Qt::AlignBottom, Qt::AlignVCenter);
    const QRectF bounds(rect.x() + offset(rect.width(), m_width, Qt::AlignRight, Qt::AlignHCenter),
                        y, m_width, m_height);

    // A text that does not fit its place is cut off at the place's edges.
    const bool clip = !QRectF(rect).contains(bounds);
    if (clip) {
        painter.save();
        painter.setClipRect(rect, Qt::IntersectClip);
    }
    for (const QGlyphRun &run : std::as_const(m_runs))
        painter.drawGlyphRun(QPointF(x, y), run);
    if (clip) painter.restore();
}
