// Settings files (*.kx4720r.json): the instrument's settings in a small,
// versioned JSON document with a format name, the input and output type, the
// low and high values with their unit, and optionally where and when the
// settings were read from an instrument or, instead, when settings typed by
// hand were saved. Every file is untrusted input: the
// reader rejects, with the line and a plain reason (English or Hungarian),
// anything that is not such a document or holds settings the instrument must
// not be given, and returns settings only from a file that passed.
#pragma once

#include "core/instrument_settings.h"
#include "core/json_reader.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>

#include <optional>

inline constexpr char SettingsFormatName[] = "kx4720r-settings";
inline constexpr int SettingsFormatVersion = 1;
inline constexpr char SettingsFileSuffix[] = ".kx4720r.json";
// Larger files are refused unread: a settings file is a few hundred bytes.
inline constexpr qint64 SettingsFileMaxSize = 64 * 1024;

// Where and when the settings were read from an instrument.
struct SettingsSource {
    QString port;
    QDateTime time;   // with its UTC offset
    QString firmware; // "2013-09-30", empty when unknown

    bool operator==(const SettingsSource &) const = default;
};

struct SettingsDocument {
    InstrumentSettings settings;
    // Where the settings were read from; none for a file written by hand.
    std::optional<SettingsSource> source;
    // When settings that were typed or loaded, not read from an instrument,
    // were saved: the file then tells no instrument's settings.
    std::optional<QDateTime> edited = std::nullopt;

    bool operator==(const SettingsDocument &) const = default;
};

struct SettingsFileError {
    enum class Kind {
        None,
        CannotRead,      // detail: the system's reason
        TooLarge,        // the file is larger than SettingsFileMaxSize
        Syntax,          // not JSON; syntax says what
        NotAnObject,     // the document is not a JSON object
        WrongFormat,     // "format" is not this program's; detail: what it is
        UnknownVersion,  // detail: the version found
        MissingField,    // field: the name with its path
        UnknownField,    // field
        RepeatedField,   // field
        WrongKind,       // field; detail: "text", "number", "object"
        UnknownType,     // field; detail: the type name found
        WrongUnit,       // field; detail: the unit found; the problem's type says which fits
        BadTime,         // field; detail: the text found
        BadValue,        // the settings' check failed; problem says why
        SourceAndEdited, // "source" and "edited" together: the file contradicts itself
    };
    Kind kind = Kind::None;
    int line = 0; // 1-based; 0 when the whole file is meant
    QString field;
    QString detail;
    json::SyntaxError syntax;
    std::optional<SettingsProblem> problem;
    instrument::SignalType type = instrument::SignalType::Current; // WrongUnit: the field's type

    // The reason alone, and the reason with its line ("line 7: ...", "7. sor: ...").
    QString reason(TextLanguage language) const;
    QString text(TextLanguage language) const;
};

struct SettingsFileRead {
    std::optional<SettingsDocument> document; // only when the file passed every check
    SettingsFileError error;

    bool ok() const { return document.has_value(); }
};

SettingsFileRead parseSettingsFile(const QByteArray &bytes);
SettingsFileRead readSettingsFile(const QString &path);

// The document's text, one field per line. Settings that fail their check are
// not written (nullopt): no file this program writes is one it would refuse.
std::optional<QByteArray> settingsFileText(const SettingsDocument &document);
// Writes the file whole or not at all: a failure leaves an old file as it
// was. False with the reason in `language`.
bool writeSettingsFile(const QString &path, const SettingsDocument &document, QString &error,
                       TextLanguage language = TextLanguage::English);
