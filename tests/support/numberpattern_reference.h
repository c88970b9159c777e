// The number-picture formatter as it was before it was rewritten to build its
// text without temporary strings: kept unchanged as the reference that the
// differential test and the fuzz target compare the program's formatter with.
// Header only, so the fuzz target can use it without the test support library.
#pragma once

#include <QString>
#include <QStringView>
#include <charconv>
#include <cmath>
#include <string>
#include <string_view>

namespace reference {

inline bool isPlaceholder(QChar c)
{
    return c == u'0' || c == u'#';
}

// |value| as decimal digits rounded half away from zero to `decimals` places,
// split into the integer digits (no leading zeros, empty for zero) and exactly
// `decimals` fraction digits.
struct RoundedDigits {
    std::string integer;
    std::string fraction;
};

inline RoundedDigits roundedDigits(double magnitude, int decimals)
{
    std::string digits;
    int pointPos = 0; // the decimal point stands after this many digits
    if (magnitude != 0.0) {
        char buf[64];
        // Shortest text that reads back as the same double: the digits the
        // user thinks of, free of binary noise.
        const auto res =
            std::to_chars(buf, buf + sizeof buf, magnitude, std::chars_format::scientific);
        const std::string text(buf, res.ptr);
        const auto e = text.find('e');
        for (std::size_t i = 0; i < e; ++i)
            if (text[i] != '.') digits += text[i];
        pointPos = std::stoi(text.substr(e + 1)) + 1;
    }

    const long long keep = static_cast<long long>(pointPos) + decimals;
    if (keep < static_cast<long long>(digits.size())) {
        const bool roundUp = keep >= 0 && digits[static_cast<std::size_t>(keep)] >= '5';
        digits.resize(keep > 0 ? static_cast<std::size_t>(keep) : 0);
        if (keep < 0) pointPos = -decimals;
        if (roundUp) {
            std::size_t i = digits.size();
            while (i > 0 && digits[i - 1] == '9')
                digits[--i] = '0';
            if (i > 0) {
                ++digits[i - 1];
            } else {
                digits.insert(digits.begin(), '1');
                ++pointPos;
            }
        }
    }

    RoundedDigits out;
    for (int i = 0; i < pointPos; ++i)
        out.integer += i < static_cast<int>(digits.size()) ? digits[std::size_t(i)] : '0';
    const auto firstNonZero = out.integer.find_first_not_of('0');
    out.integer.erase(0, firstNonZero == std::string::npos ? out.integer.size() : firstNonZero);
    for (int j = 0; j < decimals; ++j) {
        const int index = pointPos + j;
        out.fraction += index >= 0 && index < static_cast<int>(digits.size())
                            ? digits[std::size_t(index)]
                            : '0';
    }
    return out;
}

inline QString formatPattern(double value, QStringView pattern, QChar decimalSeparator)
{
    if (std::isnan(value)) return QStringLiteral("NaN");
    if (std::isinf(value)) return value > 0 ? QStringLiteral("INF") : QStringLiteral("-INF");

    const qsizetype point = pattern.indexOf(u'.');
    const QStringView intPattern = point < 0 ? pattern : pattern.left(point);
    const QStringView fracPattern = point < 0 ? QStringView() : pattern.mid(point + 1);

    int intPlaces = 0;
    for (QChar c : intPattern)
        intPlaces += isPlaceholder(c);
    int maxDecimals = 0; // every placeholder after the separator
    int minDecimals = 0; // up to and including the last "0" there
    for (QChar c : fracPattern) {
        if (isPlaceholder(c)) ++maxDecimals;
        if (c == u'0') minDecimals = maxDecimals;
    }

    RoundedDigits digits = roundedDigits(std::fabs(value), maxDecimals);
    std::size_t shownDecimals = digits.fraction.size();
    while (shownDecimals > std::size_t(minDecimals) && digits.fraction[shownDecimals - 1] == '0')
        --shownDecimals;
    const bool negative =
        value < 0 &&
        (!digits.integer.empty() || digits.fraction.find_first_not_of('0') != std::string::npos);

    QString out;
    out.reserve(pattern.size() + qsizetype(digits.integer.size()) + 2);
    bool signPending = negative;
    auto writeDigits = [&](std::string_view d) {
        if (d.empty()) return;
        if (signPending) {
            out += u'-';
            signPending = false;
        }
        out += QLatin1String(d.data(), qsizetype(d.size()));
    };

    const int intLen = static_cast<int>(digits.integer.size());
    int placeIndex = 0; // placeholders seen so far, from the left
    for (QChar c : intPattern) {
        if (!isPlaceholder(c)) {
            out += c;
            continue;
        }
        const int place = intPlaces - 1 - placeIndex; // 0 = units
        if (placeIndex == 0 && intLen > intPlaces)    // digits the picture has no room for
            writeDigits(
                std::string_view(digits.integer).substr(0, std::size_t(intLen - intPlaces)));
        if (place < intLen)
            writeDigits(
                std::string_view(digits.integer).substr(std::size_t(intLen - 1 - place), 1));
        else if (c == u'0')
            writeDigits("0");
        ++placeIndex;
    }
    if (intPlaces == 0) writeDigits(digits.integer);

    if (shownDecimals > 0) {
        if (signPending && digits.integer.empty() && intPlaces == 0) {
            out += u'-'; // "-.50" rather than ".-50"
            signPending = false;
        }
        out += decimalSeparator;
        std::size_t fracIndex = 0;
        for (QChar c : fracPattern) {
            if (!isPlaceholder(c)) {
                out += c;
                continue;
            }
            if (fracIndex < shownDecimals)
                writeDigits(std::string_view(digits.fraction).substr(fracIndex, 1));
            ++fracIndex;
        }
    } else if (!fracPattern.isEmpty()) {
        for (QChar c : fracPattern)
            if (!isPlaceholder(c)) out += c;
    }
    return out;
}

} // namespace reference
