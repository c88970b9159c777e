// Shortest round-trip texts of single-precision values.
#include "core/number_text.h"

#include <charconv>
#include <cmath>
#include <limits>

namespace {

// The shortest fixed-notation text of the single-precision value nearest to
// `value`; empty when there is none.
std::string shortestSingle(double value)
{
    if (!std::isfinite(value) || std::abs(value) > std::numeric_limits<float>::max()) return {};
    const float single = float(value);
    if (single == 0.0f) return "0"; // no "-0"
    char buffer[64];
    const auto [end, error] =
        std::to_chars(buffer, buffer + sizeof buffer, single, std::chars_format::fixed);
    if (error != std::errc()) return {};
    return std::string(buffer, end);
}

} // namespace

QString singlePrecisionText(double value, QChar decimalMark)
{
    QString text = QString::fromStdString(shortestSingle(value));
    if (decimalMark != u'.') text.replace(u'.', decimalMark);
    return text;
}

QString numberAsGiven(double value)
{
    if (std::isfinite(value) && std::abs(value) <= std::numeric_limits<float>::max() &&
        double(float(value)) == value)
        return singlePrecisionText(value);
    char buffer[64];
    const auto [end, error] = std::to_chars(buffer, buffer + sizeof buffer, value);
    return error == std::errc() ? QString::fromLatin1(buffer, end - buffer) : QString();
}

std::optional<double> singlePrecisionValue(double value)
{
    const std::string text = shortestSingle(value);
    if (text.empty()) return std::nullopt;
    double result = 0.0;
    std::from_chars(text.data(), text.data() + text.size(), result);
    return result;
}
