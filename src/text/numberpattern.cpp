// The number-picture formatter and the edit number reader.
#include "text/numberpattern.h"

#include <QLocale>
#include <charconv>
#include <cmath>
#include <cstring>
#include <string>

namespace {

bool isPlaceholder(char16_t c)
{
    return c == u'0' || c == u'#';
}

// |value| rounded half away from zero to `decimals` places, as the digits of
// its shortest decimal text: digit i stands at decimal place point - 1 - i
// (the units digit is at i = point - 1); every place outside the digits held
// is a zero. A value rounded to zero holds no digits; otherwise the first
// digit is not a zero, so the integer part has exactly `point` digits.
class RoundedDigits {
public:
    RoundedDigits(double magnitude, int decimals)
    {
        if (magnitude < 0x1p53 && magnitude == std::floor(magnitude)) {
            // A whole number below 2^53 (counters, readings) is its own
            // shortest text: its neighbours lie at most one apart.
            char *const end = std::to_chars(m_digits, m_digits + sizeof m_digits,
                                            static_cast<unsigned long long>(magnitude))
                                  .ptr;
            m_count = int(end - m_digits);
            m_point = m_count;
            while (m_count > 0 && m_digits[m_count - 1] == '0')
                --m_count;
        } else {
            // Shortest text that reads back as the same double: the digits
            // the user thinks of, free of binary noise ("d.ddde-05").
            char text[32];
            const char *end =
                std::to_chars(text, text + sizeof text, magnitude, std::chars_format::scientific)
                    .ptr;
            const char *p = text;
            for (; *p != 'e'; ++p)
                if (*p != '.') m_digits[m_count++] = *p;
            int exponent = 0;
            std::from_chars(p + 1 + (p[1] == '+'), end, exponent);
            m_point = exponent + 1;
        }
        roundTo(decimals);
    }

    int integerLength() const { return m_count > 0 && m_point > 0 ? m_point : 0; }
    bool isZero() const { return m_count == 0; }
    // The digit at index i of the integer part (0 = its first digit).
    char integerDigit(long long i) const { return at(i); }
    // Fraction digit j (0 = tenths).
    char fractionDigit(long long j) const { return at(m_point + j); }

private:
    char at(long long i) const { return i >= 0 && i < m_count ? m_digits[i] : '0'; }

    void roundTo(int decimals)
    {
        const long long keep = static_cast<long long>(m_point) + decimals;
        if (keep >= m_count) return;
        const bool roundUp = keep >= 0 && m_digits[keep] >= '5';
        m_count = keep > 0 ? int(keep) : 0;
        if (keep < 0) m_point = -decimals;
        if (!roundUp) return;
        int i = m_count;
        while (i > 0 && m_digits[i - 1] == '9')
            m_digits[--i] = '0';
        if (i > 0) {
            ++m_digits[i - 1];
            return;
        }
        // All nines (or nothing kept): one more digit in front.
        std::memmove(m_digits + 1, m_digits, std::size_t(m_count));
        m_digits[0] = '1';
        ++m_count;
        ++m_point;
    }

    char m_digits[24]; // a double's shortest text has at most 17 digits
    int m_count = 0;
    int m_point = 0; // the decimal point stands after this many digits
};

} // namespace

QString formatPattern(double value, QStringView pattern, QChar decimalSeparator)
{
    if (std::isnan(value)) return QStringLiteral("NaN");
    if (std::isinf(value)) return value > 0 ? QStringLiteral("INF") : QStringLiteral("-INF");

    int intPlaces = 0;
    qsizetype point = 0;
    for (; point < pattern.size() && pattern[point] != u'.'; ++point)
        intPlaces += isPlaceholder(pattern[point].unicode());
    const QStringView intPattern = pattern.first(point);
    const QStringView fracPattern =
        point < pattern.size() ? pattern.sliced(point + 1) : QStringView();

    int maxDecimals = 0; // every placeholder after the separator
    int minDecimals = 0; // up to and including the last "0" there
    for (QChar c : fracPattern) {
        if (isPlaceholder(c.unicode())) ++maxDecimals;
        if (c == u'0') minDecimals = maxDecimals;
    }

    const RoundedDigits digits(std::fabs(value), maxDecimals);
    int shownDecimals = maxDecimals;
    while (shownDecimals > minDecimals && digits.fractionDigit(shownDecimals - 1) == '0')
        --shownDecimals;

    // Every picture character gives at most one character, the separator
    // included; the digits beyond the picture's places and a sign come on top.
    const int intLen = digits.integerLength();
    QString out(pattern.size() + intLen + 2, Qt::Uninitialized);
    char16_t *const begin = reinterpret_cast<char16_t *>(out.data());
    char16_t *o = begin;
    bool signPending = value < 0 && !digits.isZero();
    auto writeDigit = [&](char digit) {
        if (signPending) {
            *o++ = u'-';
            signPending = false;
        }
        *o++ = char16_t(digit);
    };
    auto writeIntegerDigits = [&](int from, int to) {
        for (int i = from; i < to; ++i)
            writeDigit(digits.integerDigit(i));
    };

    int placeIndex = 0; // placeholders seen so far, from the left
    for (QChar qc : intPattern) {
        const char16_t c = qc.unicode();
        if (!isPlaceholder(c)) {
            *o++ = c;
            continue;
        }
        const int place = intPlaces - 1 - placeIndex; // 0 = units
        if (placeIndex == 0 && intLen > intPlaces)    // digits the picture has no room for
            writeIntegerDigits(0, intLen - intPlaces);
        if (place < intLen)
            writeDigit(digits.integerDigit(intLen - 1 - place));
        else if (c == u'0')
            writeDigit('0');
        ++placeIndex;
    }
    if (intPlaces == 0) writeIntegerDigits(0, intLen);

    if (shownDecimals > 0) {
        if (signPending && intLen == 0 && intPlaces == 0) {
            *o++ = u'-'; // "-.50" rather than ".-50"
            signPending = false;
        }
        *o++ = decimalSeparator.unicode();
        int fracIndex = 0;
        for (QChar qc : fracPattern) {
            const char16_t c = qc.unicode();
            if (!isPlaceholder(c)) {
                *o++ = c;
                continue;
            }
            if (fracIndex < shownDecimals) writeDigit(digits.fractionDigit(fracIndex));
            ++fracIndex;
        }
    } else {
        for (QChar qc : fracPattern)
            if (!isPlaceholder(qc.unicode())) *o++ = qc.unicode();
    }
    out.truncate(o - begin);
    return out;
}

QChar localeDecimalSeparator()
{
    // Asking a locale for its separator builds a string; the window asks for
    // every number it shows, and the default locale seldom changes.
    thread_local QLocale asked = QLocale::c();
    thread_local QChar separator = u'.';
    const QLocale current;
    if (current != asked) {
        const QString point = current.decimalPoint();
        separator = point.isEmpty() ? QChar(u'.') : point.front();
        asked = current;
    }
    return separator;
}

QString formatPattern(double value, QStringView pattern)
{
    return formatPattern(value, pattern, localeDecimalSeparator());
}

std::optional<double> parseLocaleNumber(QStringView text, QChar decimalSeparator)
{
    text = text.trimmed();
    std::string plain;
    plain.reserve(std::size_t(text.size()));
    qsizetype i = 0;
    auto isDigit = [&](qsizetype at) {
        return at < text.size() && text[at] >= u'0' && text[at] <= u'9';
    };

    if (i < text.size() && (text[i] == u'+' || text[i] == u'-')) {
        if (text[i] == u'-') plain += '-';
        ++i;
    }
    int mantissaDigits = 0;
    for (; isDigit(i); ++i, ++mantissaDigits)
        plain += char(text[i].unicode());
    if (i < text.size() && text[i] == decimalSeparator) {
        plain += '.';
        for (++i; isDigit(i); ++i, ++mantissaDigits)
            plain += char(text[i].unicode());
    }
    if (mantissaDigits == 0) return std::nullopt;
    if (i < text.size() && (text[i] == u'e' || text[i] == u'E')) {
        plain += 'e';
        ++i;
        if (i < text.size() && (text[i] == u'+' || text[i] == u'-'))
            plain += char(text[i++].unicode());
        if (!isDigit(i)) return std::nullopt;
        for (; isDigit(i); ++i)
            plain += char(text[i].unicode());
    }
    if (i != text.size()) return std::nullopt;

    double value = 0.0;
    const auto res = std::from_chars(plain.data(), plain.data() + plain.size(), value);
    if (res.ec != std::errc() || res.ptr != plain.data() + plain.size() || !std::isfinite(value))
        return std::nullopt;
    return value;
}

std::optional<double> parseLocaleNumber(QStringView text)
{
    return parseLocaleNumber(text, localeDecimalSeparator());
}
