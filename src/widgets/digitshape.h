// Numbers on display change on every reply, mostly in their digits alone
// ("  1 234" -> "  1 235"). Measuring such a text again costs a full shaping
// and line layout; where the font sets every digit alike, the new text is
// exactly as wide as the old one and the old measure still holds.
#pragma once

#include <QFont>
#include <QString>
#include <QStringView>

// Whether `after` lays out exactly as wide and high as `before` in `font`:
// the same text, or the same length with only digits 0-9 exchanged for
// others, in a font where every digit has the same advance and laid-out
// width, where each exchanged digit kerns with its neighbours as the digit
// before it did (digit pairs compared pair by pair, as "11" often kerns, and
// other neighbours required to kern alike with every digit). The font's
// digits are measured once per font, each other neighbour once.
bool laysOutAlike(const QFont &font, QStringView before, QStringView after);

// The last measure of a text (its width, or the size a label wants for it),
// kept while later texts lay out alike in the same font. `measure` must
// depend on nothing but the font and the text.
template <typename T> class TextMeasureMemo {
public:
    template <typename Measure> T get(const QFont &font, const QString &text, Measure &&measure)
    {
        if (!m_valid || m_font != font || !laysOutAlike(font, m_text, text)) {
            m_value = measure();
            m_font = font;
            m_text = text;
            m_valid = true;
        }
        return m_value;
    }

    void clear() { m_valid = false; }

private:
    bool m_valid = false;
    QFont m_font;
    QString m_text; // a text of the measured shape
    T m_value{};
};
