// Conversion, blending and inversion of the program's 0x00BBGGRR colours.
#include "widgets/colors.h"

#include <QGuiApplication>

#include "common/rounding.h"

namespace kxcolor {

namespace {

bool roleOf(SystemColor c, QPalette::ColorRole &role)
{
    switch (c) {
    case SystemColor::Window:
        role = QPalette::Base;
        return true;
    case SystemColor::WindowText:
        role = QPalette::WindowText;
        return true;
    case SystemColor::Highlight:
        role = QPalette::Highlight;
        return true;
    case SystemColor::HighlightText:
        role = QPalette::HighlightedText;
        return true;
    case SystemColor::ButtonFace:
        role = QPalette::Button;
        return true;
    case SystemColor::ButtonShadow:
        role = QPalette::Mid;
        return true;
    case SystemColor::GrayText:
        role = QPalette::PlaceholderText;
        return true;
    case SystemColor::ButtonText:
        role = QPalette::ButtonText;
        return true;
    case SystemColor::ButtonHighlight:
        role = QPalette::Light;
        return true;
    }
    return false;
}

int blendChannel(int a, int b, double f)
{
    return (a + roundHalfEvenInt((b - a) * f)) & 0xFF;
}

} // namespace

TColor resolve(TColor c, const QPalette &palette)
{
    if (!isSystemColor(c)) return c & 0xFFFFFF;
    QPalette::ColorRole role;
    if (!roleOf(static_cast<SystemColor>(c & 0xFF), role)) return black;
    return fromQColor(palette.color(QPalette::Active, role));
}

TColor resolve(TColor c)
{
    return isSystemColor(c) ? resolve(c, QGuiApplication::palette()) : (c & 0xFFFFFF);
}

QColor toQColor(TColor c, const QPalette &palette)
{
    const TColor plain = resolve(c, palette);
    return QColor(redOf(plain), greenOf(plain), blueOf(plain));
}

QColor toQColor(TColor c)
{
    const TColor plain = resolve(c);
    return QColor(redOf(plain), greenOf(plain), blueOf(plain));
}

TColor fromQColor(const QColor &c)
{
    const QColor rgbColor = c.toRgb();
    return rgb(rgbColor.red(), rgbColor.green(), rgbColor.blue());
}

TColor blend(TColor a, TColor b, double f)
{
    if (!(f > 0.0)) // also catches NaN
        f = 0.0;
    else if (f > 1.0)
        f = 1.0;
    a = resolve(a);
    b = resolve(b);
    return rgb(blendChannel(redOf(a), redOf(b), f), blendChannel(greenOf(a), greenOf(b), f),
               blendChannel(blueOf(a), blueOf(b), f));
}

TColor inverse(TColor c)
{
    return resolve(c) ^ 0xFFFFFF;
}

} // namespace kxcolor
