// The instrument's settings as a value: input type and scale, output type and
// scale. The check says what is wrong with a value and why, in English or
// Hungarian; the comparison looks at the values as the instrument holds them
// (single precision), which is what a read-back returns.
#pragma once

#include "core/instrument_units.h"
#include "protocol/instrument_protocol.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

// The languages of texts meant for the user: the window's two caption languages.
enum class TextLanguage { English, Hungarian };

struct ScaleSetting {
    instrument::SignalType type = instrument::SignalType::Current;
    double low = instrument::DefaultScaleLow;   // the value at the start of the scale
    double high = instrument::DefaultScaleHigh; // the value at the end of the scale

    bool operator==(const ScaleSetting &) const = default;
};

// One thing wrong with a settings value.
struct SettingsProblem {
    enum class Kind {
        NotFinite,        // NaN or infinite
        TooLarge,         // beyond what a single-precision real holds
        BeyondInputLimit, // an input value beyond +-25 mA or +-125 V
        NoSpan,           // the initial and the end value are equal
    };
    Kind kind = Kind::NotFinite;
    QString field; // "input.low", "output.high", ...; for NoSpan "input" or "output"
    double value = 0.0;
    double limit = 0.0; // BeyondInputLimit: the limit
    instrument::SignalType type = instrument::SignalType::Current;

    QString text(TextLanguage language) const;
    bool operator==(const SettingsProblem &) const = default;
};

struct InstrumentSettings {
    ScaleSetting input;
    ScaleSetting output;

    // Current input and output, 4 ... 20 mA on both sides.
    static InstrumentSettings factoryDefaults() { return {}; }
    // The settings a reply reports as stored; nullopt when a type code is
    // none the instrument knows (a reply that holds no settings).
    static std::optional<InstrumentSettings> fromReply(const InstrumentReply &reply);

    // Everything wrong, in field order: input low, high, span, then output.
    QList<SettingsProblem> problems() const;
    bool isValid() const { return problems().isEmpty(); }

    // The four values as the instrument holds them: rounded to single precision.
    InstrumentSettings asStored() const;
    // The fields ("input.type", "input.low", ...) in which the two differ
    // once both are as the instrument holds them.
    QStringList differences(const InstrumentSettings &other) const;

    // Puts the types and the four scale values into a request.
    void applyTo(InstrumentRequest &request) const;

    bool operator==(const InstrumentSettings &) const = default;
};
