// libFuzzer target for the number pictures and the edit number reader:
// arbitrary text read with either decimal separator, and arbitrary doubles
// written with the program's own pictures and with arbitrary ones. Nothing
// crashes; a value read is finite; the written text is never longer than the
// picture plus the digits of a double; and a value written with a plain
// decimal picture reads back within half a unit of its last place. Every
// text written is also the one the reference formatter writes.
#include "text/numberpattern.h"

#include "../tests/support/numberpattern_reference.h"

#include <QString>

#include <array>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

void check(bool ok)
{
    if (!ok) std::abort();
}

// The pictures the window uses.
constexpr std::array<const char16_t *, 15> kPictures{
    u"0 000 000", u"# ### ##0", u"# ### ### ##0", u"## ##0", u"00 000",
    u"##0.00",    u"##0.00000", u"#0.000",        u"0.0000", u"0.000",
    u"0.00",      u"0.0",       u"0000",          u"00",     u"0"};

// Decimal places of a picture and whether its text reads back as a number
// once the blanks between digit groups are removed.
int decimalsOf(QStringView picture)
{
    const qsizetype point = picture.indexOf(u'.');
    return point < 0 ? 0 : int(picture.size() - point - 1);
}

void checkWritten(double value, QStringView picture, QChar separator, bool readsBack)
{
    const QString text = formatPattern(value, picture, separator);
    check(text == reference::formatPattern(value, picture, separator));
    if (std::isnan(value)) {
        check(text == QStringLiteral("NaN"));
        return;
    }
    if (std::isinf(value)) {
        check(text == (value > 0 ? QStringLiteral("INF") : QStringLiteral("-INF")));
        return;
    }
    // A double has at most 309 integer digits; the picture adds its own
    // characters, one sign and one separator at most.
    check(text.size() <= picture.size() + 311);
    if (!readsBack) return;
    QString plain = text;
    plain.remove(u' ');
    const std::optional<double> back = parseLocaleNumber(plain, separator);
    check(back.has_value());
    const double tolerance =
        0.5 * std::pow(10.0, -decimalsOf(picture)) * (1 + 1e-9) + std::fabs(value) * 1e-15;
    check(std::fabs(*back - value) <= tolerance);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    if (size == 0) return 0;
    const std::uint8_t mode = data[0];
    ++data;
    --size;

    if (mode < 0x80) {
        // Text as typed: read with both separators.
        const QString text =
            mode & 1 ? QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size))
                     : QString::fromLatin1(reinterpret_cast<const char *>(data), qsizetype(size));
        for (QChar separator : {QChar(u'.'), QChar(u',')}) {
            const std::optional<double> value = parseLocaleNumber(text, separator);
            if (value) check(std::isfinite(*value));
        }
        return 0;
    }

    // A double from eight bytes, then a picture: one of the window's, or the
    // rest of the input as UTF-16.
    double value = 0;
    std::uint8_t raw[8] = {};
    std::memcpy(raw, data, std::min<std::size_t>(size, 8));
    std::memcpy(&value, raw, 8);
    const std::uint8_t *rest = data + std::min<std::size_t>(size, 8);
    const std::size_t restSize = size - std::min<std::size_t>(size, 8);

    for (QChar separator : {QChar(u'.'), QChar(u',')}) {
        if (mode & 0x40) {
            std::u16string units(restSize / 2, u'\0'); // copied: the input may be unaligned
            std::memcpy(units.data(), rest, units.size() * 2);
            const QString picture = QString::fromStdU16String(units);
            checkWritten(value, picture, separator, false);
        } else {
            for (const char16_t *picture : kPictures)
                checkWritten(value, QStringView(picture), separator, true);
        }
    }
    return 0;
}
