// Checking and comparing settings.
#include "core/instrument_settings.h"

#include "core/number_text.h"

#include <cmath>
#include <limits>

namespace {

using instrument::SignalType;

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
    const bool hu = language == TextLanguage::Hungarian;
    const QString unit = instrument::unitOf(type);
    switch (kind) {
    case Kind::NotFinite:
        return hu ? QStringLiteral("%1 nem véges szám").arg(field)
                  : QStringLiteral("%1 is not a finite number").arg(field);
    case Kind::TooLarge:
        return hu ? QStringLiteral("%1 (%2) túl nagy ahhoz, hogy a készülék tárolni tudja")
                        .arg(field, numberAsGiven(value))
                  : QStringLiteral("%1 (%2) is too large for the instrument to hold")
                        .arg(field, numberAsGiven(value));
    case Kind::BeyondInputLimit:
        if (hu)
            return (type == SignalType::Current
                        ? QStringLiteral("%1 (%2 %3) túllépi az árambemenet ±%4 %3 határát")
                        : QStringLiteral("%1 (%2 %3) túllépi a feszültségbemenet ±%4 %3 határát"))
                .arg(field, numberAsGiven(value), unit, numberAsGiven(limit));
        return QStringLiteral("%1 (%2 %3) is beyond the limit of ±%4 %3 for a %5 input")
            .arg(field, numberAsGiven(value), unit, numberAsGiven(limit),
                 instrument::signalTypeName(type));
    case Kind::NoSpan:
        return hu ? QStringLiteral("%1: a kezdőérték és a végérték egyenlő (%2 %3), a skálának "
                                   "nincs terjedelme")
                        .arg(field, numberAsGiven(value), unit)
                  : QStringLiteral("%1: the initial and the end value are equal (%2 %3), so the "
                                   "scale has no span")
                        .arg(field, numberAsGiven(value), unit);
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
