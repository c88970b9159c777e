// Colours as the window description and the bar graph hold them: 32-bit values
// 0x00BBGGRR (red in the lowest byte), or named system colours that stand for
// an entry of the current palette. All conversion to and from QColor is here.
#pragma once

#include <QColor>
#include <QPalette>
#include <QtGlobal>

using TColor = quint32;

namespace kxcolor {

// A named system colour has this bit set; its lowest byte selects the entry.
inline constexpr TColor systemColorFlag = 0x80000000u;

// The palette entries the program names, numbered as the classic system
// colour indices so stored values keep their meaning.
enum class SystemColor : quint8 {
    Window = 5,
    WindowText = 8,
    Highlight = 13,
    HighlightText = 14,
    ButtonFace = 15,
    ButtonShadow = 16,
    GrayText = 17,
    ButtonText = 18,
    ButtonHighlight = 20,
};

inline constexpr TColor black = 0x000000;
inline constexpr TColor white = 0xFFFFFF;
inline constexpr TColor red = 0x0000FF;
inline constexpr TColor lime = 0x00FF00;
inline constexpr TColor blue = 0xFF0000;
inline constexpr TColor yellow = 0x00FFFF;
inline constexpr TColor aqua = 0xFFFF00;

inline constexpr TColor systemColor(SystemColor c)
{
    return systemColorFlag | static_cast<quint8>(c);
}
inline constexpr bool isSystemColor(TColor c)
{
    return (c & systemColorFlag) != 0;
}
inline constexpr TColor rgb(int r, int g, int b)
{
    return TColor(r & 0xFF) | (TColor(g & 0xFF) << 8) | (TColor(b & 0xFF) << 16);
}
inline constexpr int redOf(TColor c)
{
    return int(c & 0xFF);
}
inline constexpr int greenOf(TColor c)
{
    return int((c >> 8) & 0xFF);
}
inline constexpr int blueOf(TColor c)
{
    return int((c >> 16) & 0xFF);
}

// A plain 0x00BBGGRR value: system colours looked up in the palette (the
// application's when none is given), unknown entries as black; the unused
// top byte of a plain colour is ignored.
TColor resolve(TColor c, const QPalette &palette);
TColor resolve(TColor c);

QColor toQColor(TColor c, const QPalette &palette);
QColor toQColor(TColor c);
TColor fromQColor(const QColor &c); // alpha is dropped

// a + rnd((b - a) * f) per channel, f limited to 0 ... 1 (NaN counts as 0),
// halves to even. System colours are resolved first.
TColor blend(TColor a, TColor b, double f);
// 255 minus each channel; system colours are resolved first.
TColor inverse(TColor c);

} // namespace kxcolor
