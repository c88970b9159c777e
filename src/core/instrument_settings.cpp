// Checking and comparing settings.
#include "core/instrument_settings.h"

#include "core/number_text.h"

#include <cmath>
#include <limits>

namespace {

using instrument::SignalType;

// A value as the message's language writes numbers: Hungarian with a
// decimal comma.
QString valueText(double value, bool hungarian = false)
{
    QString text = numberAsGiven(value);
    return hungarian ? text.replace(u'.', u',') : text;
}

// A field in Hungarian words: a message in Hungarian names no field of the
// file format ("input.low"), which a sentence cannot take.
QString hungarianField(const QString &field)
{
    const bool input = field.startsWith(u"input");
    const QString side = input ? QStringLiteral("bemenet") : QStringLiteral("kimenet");
    if (field.endsWith(u".low")) return QStringLiteral("a %1 kezdőértéke").arg(side);
    if (field.endsWith(u".high")) return QStringLiteral("a %1 végértéke").arg(side);
    return QStringLiteral("a %1").arg(side);
}

// A value that can be put in a request at all.
std::optional<SettingsProblem> realProblem(const QString &field, double value)
{
    if (!std::isfinite(value))
        return SettingsProblem{SettingsProblem::Kind::NotFinite, field, value, 0.0, {}};
    if (!instrument::travelsAsReal(value))
        return SettingsProblem{SettingsProblem::Kind::TooLarge, field, value, 0.0, {}};
    return std::nullopt;
}

void checkScale(const QString &side, const ScaleSetting &scale, bool isInput,
                QList<SettingsProblem> &problems)
{
    bool numbers = true;
    for (const auto &[name, value] : {std::pair(QStringLiteral("low"), scale.low),
                                      std::pair(QStringLiteral("high"), scale.high)}) {
        const QString field = side + u'.' + name;
        if (const auto problem = realProblem(field, value)) {
            problems << *problem;
            numbers = false;
            continue;
        }
        const double limit = instrument::inputLimit(scale.type);
        if (isInput && std::abs(value) > limit)
            problems << SettingsProblem{SettingsProblem::Kind::BeyondInputLimit, field, value,
                                        limit, scale.type};
    }
    // Equal ends leave the instrument nothing to scale between.
    if (numbers && float(scale.low) == float(scale.high))
        problems << SettingsProblem{SettingsProblem::Kind::NoSpan, side, scale.low, 0.0,
                                    scale.type};
}

double stored(double value)
{
    return instrument::travelsAsReal(value) ? double(float(value)) : value;
}

} // namespace

QString SettingsProblem::text(TextLanguage language) const
{
    const QString unit = instrument::unitOf(type);
    if (language == TextLanguage::Hungarian) {
        const QString what = hungarianField(field);
        const QString number = valueText(value, true);
        switch (kind) {
        case Kind::NotFinite:
            return QStringLiteral("%1 nem véges szám").arg(what);
        case Kind::TooLarge:
            return QStringLiteral("%1 (%2) túl nagy ahhoz, hogy a készülék tárolni tudja")
                .arg(what, number);
        case Kind::BeyondInputLimit:
            return (type == SignalType::Current
                        ? QStringLiteral("%1 (%2 %3) túllépi az árambemenet ±%4 %3 határát")
                        : QStringLiteral("%1 (%2 %3) túllépi a feszültségbemenet ±%4 %3 határát"))
                .arg(what, number, unit, valueText(limit, true));
        case Kind::NoSpan:
            return QStringLiteral("%1 kezdőértéke és végértéke egyenlő (%2 %3), a skálának nincs "
                                  "terjedelme")
                .arg(what, number, unit);
        }
        return {};
    }
    switch (kind) {
    case Kind::NotFinite:
        return QStringLiteral("%1 is not a finite number").arg(field);
    case Kind::TooLarge:
        return QStringLiteral("%1 (%2) is too large for the instrument to hold")
            .arg(field, valueText(value));
    case Kind::BeyondInputLimit:
        return QStringLiteral("%1 (%2 %3) is beyond the limit of ±%4 %3 for a %5 input")
            .arg(field, valueText(value), unit, valueText(limit), instrument::signalTypeName(type));
    case Kind::NoSpan:
        return QStringLiteral("%1: the initial and the end value are equal (%2 %3), so the "
                              "scale has no span")
            .arg(field, valueText(value), unit);
    }
    return {};
}

std::optional<InstrumentSettings> InstrumentSettings::fromReply(const InstrumentReply &reply)
{
    const auto inputType = instrument::signalTypeFromCode(reply.InputType);
    const auto outputType = instrument::signalTypeFromCode(reply.OutputType);
    if (!inputType || !outputType) return std::nullopt;
    return InstrumentSettings{{*inputType, reply.InputLow, reply.InputHigh},
                              {*outputType, reply.OutputLow, reply.OutputHigh}};
}

QList<SettingsProblem> InstrumentSettings::problems() const
{
    QList<SettingsProblem> problems;
    checkScale(QStringLiteral("input"), input, true, problems);
    checkScale(QStringLiteral("output"), output, false, problems);
    return problems;
}

InstrumentSettings InstrumentSettings::asStored() const
{
    InstrumentSettings settings = *this;
    for (double *value :
         {&settings.input.low, &settings.input.high, &settings.output.low, &settings.output.high})
        *value = stored(*value);
    return settings;
}

QStringList InstrumentSettings::differences(const InstrumentSettings &other) const
{
    const InstrumentSettings a = asStored();
    const InstrumentSettings b = other.asStored();
    QStringList fields;
    const auto compare = [&](const QString &side, const ScaleSetting &x, const ScaleSetting &y) {
        if (x.type != y.type) fields << side + QStringLiteral(".type");
        // NaN differs from everything, itself included.
        if (!(x.low == y.low)) fields << side + QStringLiteral(".low");
        if (!(x.high == y.high)) fields << side + QStringLiteral(".high");
    };
    compare(QStringLiteral("input"), a.input, b.input);
    compare(QStringLiteral("output"), a.output, b.output);
    return fields;
}

void InstrumentSettings::applyTo(InstrumentRequest &request) const
{
    request.InputType = instrument::signalTypeCode(input.type);
    request.OutputType = instrument::signalTypeCode(output.type);
    request.InputLow = input.low;
    request.InputHigh = input.high;
    request.OutputLow = output.low;
    request.OutputHigh = output.high;
}
