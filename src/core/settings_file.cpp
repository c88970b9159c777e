// Reading and writing settings files. The reader walks the document the
// format describes, field by field, and stops at the first thing wrong, with
// the line it is on.
#include "core/settings_file.h"

#include "core/number_text.h"

#include <QFile>

#include "core/file_write.h"

#include <cerrno>
#include <cmath>
#include <fcntl.h>
#include <sys/stat.h>

namespace {

using Kind = SettingsFileError::Kind;
using instrument::SignalType;

SettingsFileError error(Kind kind, int line, QString field = {}, QString detail = {})
{
    SettingsFileError e;
    e.kind = kind;
    e.line = line;
    e.field = std::move(field);
    e.detail = std::move(detail);
    return e;
}

QString path(const QString &parent, const QString &name)
{
    return parent.isEmpty() ? name : parent + u'.' + name;
}

// Names that appear twice or are not among `allowed`, in file order.
std::optional<SettingsFileError> checkNames(const json::Value &object, const QString &parent,
                                            std::initializer_list<QStringView> allowed)
{
    for (std::size_t i = 0; i < object.members.size(); ++i) {
        const json::Member &member = object.members[i];
        for (std::size_t j = 0; j < i; ++j)
            if (object.members[j].name == member.name)
                return error(Kind::RepeatedField, member.line, path(parent, member.name));
        if (std::find(allowed.begin(), allowed.end(), QStringView(member.name)) == allowed.end())
            return error(Kind::UnknownField, member.line, path(parent, member.name));
    }
    return std::nullopt;
}

// A member that must be there with a value of that kind.
const json::Value *field(const json::Value &object, const QString &parent, QStringView name,
                         json::Value::Kind kind, const char *kindWord,
                         std::optional<SettingsFileError> &failure)
{
    const json::Member *member = object.member(name);
    if (!member) {
        failure = error(Kind::MissingField, object.line, path(parent, name.toString()));
        return nullptr;
    }
    if (member->value->kind != kind) {
        failure = error(Kind::WrongKind, member->value->line, path(parent, name.toString()),
                        QString::fromLatin1(kindWord));
        return nullptr;
    }
    return member->value.get();
}

// Lines of the values, for the settings' own check.
struct ScaleLines {
    int low = 0;
    int high = 0;
};

std::optional<SettingsFileError> readScale(const json::Value &root, const QString &side,
                                           ScaleSetting &scale, ScaleLines &lines)
{
    std::optional<SettingsFileError> failure;
    const json::Value *object = field(root, {}, side, json::Value::Kind::Object, "object", failure);
    if (!object) return failure;
    if (auto bad = checkNames(*object, side, {u"type", u"low", u"high", u"unit"})) return bad;

    const json::Value *type =
        field(*object, side, u"type", json::Value::Kind::String, "text", failure);
    if (!type) return failure;
    const auto signalType = instrument::signalTypeFromName(type->string);
    if (!signalType)
        return error(Kind::UnknownType, type->line, path(side, QStringLiteral("type")),
                     type->string);
    scale.type = *signalType;

    const json::Value *low =
        field(*object, side, u"low", json::Value::Kind::Number, "number", failure);
    if (!low) return failure;
    const json::Value *high =
        field(*object, side, u"high", json::Value::Kind::Number, "number", failure);
    if (!high) return failure;
    const json::Value *unit =
        field(*object, side, u"unit", json::Value::Kind::String, "text", failure);
    if (!unit) return failure;
    if (unit->string != instrument::unitOf(scale.type)) {
        SettingsFileError e =
            error(Kind::WrongUnit, unit->line, path(side, QStringLiteral("unit")), unit->string);
        e.type = scale.type;
        return e;
    }
    scale.low = low->number;
    scale.high = high->number;
    lines = {low->line, high->line};
    return std::nullopt;
}

std::optional<SettingsFileError> readSource(const json::Value &root,
                                            std::optional<SettingsSource> &source)
{
    const json::Member *member = root.member(u"source");
    if (!member) return std::nullopt; // a file written by hand was read from nowhere
    std::optional<SettingsFileError> failure;
    const json::Value *object =
        field(root, {}, u"source", json::Value::Kind::Object, "object", failure);
    if (!object) return failure;
    const QString side = QStringLiteral("source");
    if (auto bad = checkNames(*object, side, {u"port", u"time", u"firmware"})) return bad;
    const json::Value *port =
        field(*object, side, u"port", json::Value::Kind::String, "text", failure);
    if (!port) return failure;
    const json::Value *time =
        field(*object, side, u"time", json::Value::Kind::String, "text", failure);
    if (!time) return failure;
    SettingsSource result;
    result.port = port->string;
    result.time = QDateTime::fromString(time->string, Qt::ISODateWithMs);
    if (!result.time.isValid())
        return error(Kind::BadTime, time->line, path(side, QStringLiteral("time")), time->string);
    if (object->member(u"firmware")) {
        const json::Value *firmware =
            field(*object, side, u"firmware", json::Value::Kind::String, "text", failure);
        if (!firmware) return failure;
        result.firmware = firmware->string;
    }
    source = result;
    return std::nullopt;
}

std::optional<SettingsFileError> readEdited(const json::Value &root,
                                            std::optional<QDateTime> &edited)
{
    if (!root.member(u"edited")) return std::nullopt;
    std::optional<SettingsFileError> failure;
    const json::Value *object =
        field(root, {}, u"edited", json::Value::Kind::Object, "object", failure);
    if (!object) return failure;
    const QString side = QStringLiteral("edited");
    if (auto bad = checkNames(*object, side, {u"time"})) return bad;
    const json::Value *time =
        field(*object, side, u"time", json::Value::Kind::String, "text", failure);
    if (!time) return failure;
    edited = QDateTime::fromString(time->string, Qt::ISODateWithMs);
    if (!edited->isValid())
        return error(Kind::BadTime, time->line, path(side, QStringLiteral("time")), time->string);
    if (root.member(u"source"))
        return error(Kind::SourceAndEdited, root.member(u"edited")->line, side);
    return std::nullopt;
}

SettingsFileRead failed(SettingsFileError e)
{
    SettingsFileRead read;
    read.error = std::move(e);
    return read;
}

QByteArray jsonString(const QString &text)
{
    QByteArray out = "\"";
    for (const char c : text.toUtf8()) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\')
            out += QByteArray("\\") + c;
        else if (byte < 0x20)
            out += QStringLiteral("\\u%1").arg(byte, 4, 16, QLatin1Char('0')).toLatin1();
        else
            out += c;
    }
    return out + '"';
}

// The offset keeps the moment unambiguous wherever the file is read.
QByteArray timeJson(const QDateTime &time)
{
    return jsonString(time.toOffsetFromUtc(time.offsetFromUtc()).toString(Qt::ISODateWithMs));
}

QByteArray scaleText(const char *side, const ScaleSetting &scale)
{
    return QByteArray("  \"") + side + "\": {\n" +
           "    \"type\": " + jsonString(instrument::signalTypeName(scale.type)) + ",\n" +
           "    \"low\": " + singlePrecisionText(scale.low).toLatin1() + ",\n" +
           "    \"high\": " + singlePrecisionText(scale.high).toLatin1() + ",\n" +
           "    \"unit\": " + jsonString(instrument::unitOf(scale.type)) + "\n  }";
}

// The words a message puts in for the kinds of value a field must have.
QString kindWord(const QString &kind, bool hu)
{
    if (kind == u"text") return hu ? QStringLiteral("szöveg") : QStringLiteral("a text");
    if (kind == u"number") return hu ? QStringLiteral("szám") : QStringLiteral("a number");
    if (kind == u"object") return hu ? QStringLiteral("objektum") : QStringLiteral("an object");
    return hu ? QStringLiteral("egész szám") : QStringLiteral("a whole number");
}

QString expectedText(json::SyntaxError::Expected expected, bool hu)
{
    using E = json::SyntaxError::Expected;
    switch (expected) {
    case E::Value:
        return hu ? QStringLiteral("érték") : QStringLiteral("a value");
    case E::CommaOrBrace:
        return hu ? QStringLiteral("„,” vagy „}”") : QStringLiteral("\",\" or \"}\"");
    case E::CommaOrBracket:
        return hu ? QStringLiteral("„,” vagy „]”") : QStringLiteral("\",\" or \"]\"");
    case E::Colon:
        return hu ? QStringLiteral("„:”") : QStringLiteral("\":\"");
    case E::Name:
        return hu ? QStringLiteral("idézőjeles mezőnév") : QStringLiteral("a field name in quotes");
    }
    return {};
}

QString syntaxReason(const json::SyntaxError &syntax, bool hu)
{
    using S = json::SyntaxError::Kind;
    switch (syntax.kind) {
    case S::UnexpectedEnd:
        return hu ? QStringLiteral("nem érvényes JSON: a szöveg idő előtt véget ér")
                  : QStringLiteral("not valid JSON: the text ends too early");
    case S::UnexpectedCharacter:
        return hu ? QStringLiteral("nem érvényes JSON: „%1” áll ott, ahol %2 várható")
                        .arg(syntax.detail, expectedText(syntax.expected, hu))
                  : QStringLiteral("not valid JSON: \"%1\" where %2 belongs")
                        .arg(syntax.detail, expectedText(syntax.expected, hu));
    case S::BadString:
        return hu ? QStringLiteral("nem érvényes JSON: egy idézőjeles szöveg nincs lezárva, vagy "
                                   "a JSON-ban nem megengedett jelet tartalmaz")
                  : QStringLiteral("not valid JSON: a text in quotes is not closed or holds a "
                                   "sign JSON does not allow");
    case S::NotUtf8:
        return hu ? QStringLiteral("a fájl nem UTF-8 kódolású szöveg")
                  : QStringLiteral("the file is not UTF-8 text");
    case S::BadNumber:
        return hu ? QStringLiteral("nem érvényes JSON: „%1” nem szám").arg(syntax.detail)
                  : QStringLiteral("not valid JSON: \"%1\" is not a number").arg(syntax.detail);
    case S::NotFinite:
        return hu ? QStringLiteral("„%1” nem véges szám; a készülék csak véges számot fogad el")
                        .arg(syntax.detail)
                  : QStringLiteral("\"%1\" is not a finite number; the instrument takes finite "
                                   "numbers only")
                        .arg(syntax.detail);
    case S::TooDeep:
        return hu ? QStringLiteral("nem érvényes beállításfájl: túl mély egymásba ágyazás")
                  : QStringLiteral("not a settings file: nested too deeply");
    case S::TrailingContent:
        return hu ? QStringLiteral("a dokumentum vége után további szöveg áll")
                  : QStringLiteral("more text follows the end of the document");
    }
    return {};
}

} // namespace

QString SettingsFileError::reason(TextLanguage language) const
{
    const bool hu = language == TextLanguage::Hungarian;
    const QString format = QString::fromLatin1(SettingsFormatName);
    switch (kind) {
    case Kind::None:
        return {};
    case Kind::CannotRead:
        return hu ? QStringLiteral("a fájl nem olvasható: %1").arg(detail)
                  : QStringLiteral("cannot read the file: %1").arg(detail);
    case Kind::TooLarge:
        return hu ? QStringLiteral("a fájl nagyobb %1 KiB-nál; egy beállításfájl néhány száz bájt")
                        .arg(SettingsFileMaxSize / 1024)
                  : QStringLiteral("the file is larger than %1 KiB; a settings file is a few "
                                   "hundred bytes")
                        .arg(SettingsFileMaxSize / 1024);
    case Kind::Syntax:
        return syntaxReason(syntax, hu);
    case Kind::NotAnObject:
        return hu ? QStringLiteral("a fájl nem beállításfájl: nem JSON objektum")
                  : QStringLiteral("the file is not a settings file: it holds no JSON object");
    case Kind::WrongFormat:
        return hu ? QStringLiteral("a fájl nem ennek a programnak a beállításfájlja (formátum: "
                                   "„%1”, várt: „%2”)")
                        .arg(detail, format)
                  : QStringLiteral("the file is not a settings file of this program (format "
                                   "\"%1\", expected \"%2\")")
                        .arg(detail, format);
    case Kind::UnknownVersion:
        return hu ? QStringLiteral("a(z) %1. verziót ez a program nem ismeri; a(z) %2. verziót "
                                   "olvassa")
                        .arg(detail)
                        .arg(SettingsFormatVersion)
                  : QStringLiteral("version %1 is not known to this program, which reads "
                                   "version %2")
                        .arg(detail)
                        .arg(SettingsFormatVersion);
    case Kind::MissingField:
        return hu ? QStringLiteral("hiányzik a(z) „%1” mező").arg(field)
                  : QStringLiteral("the field \"%1\" is missing").arg(field);
    case Kind::UnknownField:
        return hu ? QStringLiteral("ismeretlen mező: „%1”").arg(field)
                  : QStringLiteral("unknown field \"%1\"").arg(field);
    case Kind::RepeatedField:
        return hu ? QStringLiteral("a(z) „%1” mező többször szerepel").arg(field)
                  : QStringLiteral("the field \"%1\" appears more than once").arg(field);
    case Kind::WrongKind:
        return hu ? QStringLiteral("„%1”: hibás érték, %2 várható").arg(field, kindWord(detail, hu))
                  : QStringLiteral("\"%1\" must be %2").arg(field, kindWord(detail, hu));
    case Kind::UnknownType:
        return hu ? QStringLiteral("„%1” értéke „%2”; a típus „current” (áram) vagy „voltage” "
                                   "(feszültség) lehet")
                        .arg(field, detail)
                  : QStringLiteral("\"%1\" is \"%2\"; a type is \"current\" or \"voltage\"")
                        .arg(field, detail);
    case Kind::WrongUnit:
        if (hu)
            return (type == SignalType::Current
                        ? QStringLiteral("„%1” értéke „%2”, de az áramskála mértékegysége %3")
                        : QStringLiteral("„%1” értéke „%2”, de a feszültségskála mértékegysége %3"))
                .arg(field, detail, instrument::unitOf(type));
        return QStringLiteral("\"%1\" is \"%2\", but a %3 scale is in %4")
            .arg(field, detail, instrument::signalTypeName(type), instrument::unitOf(type));
    case Kind::BadTime:
        return hu ? QStringLiteral("„%1” nem dátum és idő (ISO 8601, például "
                                   "2026-03-04T05:06:07+01:00)")
                        .arg(detail)
                  : QStringLiteral("\"%1\" is not a date and time (ISO 8601, for example "
                                   "2026-03-04T05:06:07+01:00)")
                        .arg(detail);
    case Kind::BadValue:
        return problem ? problem->text(language) : QString();
    case Kind::SourceAndEdited:
        return hu ? QStringLiteral("a „source” és az „edited” mező kizárja egymást: a fájl vagy "
                                   "egy készülékből olvasott, vagy kézzel megadott beállításokat "
                                   "tartalmaz")
                  : QStringLiteral("\"source\" and \"edited\" exclude each other: a file holds "
                                   "settings either read from an instrument or given by hand");
    }
    return {};
}

QString SettingsFileError::text(TextLanguage language) const
{
    if (line <= 0) return reason(language);
    return language == TextLanguage::Hungarian
               ? QStringLiteral("%1. sor: %2").arg(line).arg(reason(language))
               : QStringLiteral("line %1: %2").arg(line).arg(reason(language));
}

SettingsFileRead parseSettingsFile(const QByteArray &bytes)
{
    if (bytes.size() > SettingsFileMaxSize) return failed(error(Kind::TooLarge, 0));
    json::ParseResult parsed = json::parse(bytes);
    if (!parsed.value) {
        SettingsFileError e = error(Kind::Syntax, parsed.error.line);
        e.syntax = parsed.error;
        return failed(e);
    }
    const json::Value &root = *parsed.value;
    if (root.kind != json::Value::Kind::Object) return failed(error(Kind::NotAnObject, root.line));

    // Which program's file this is comes first: for someone else's file that
    // says more than anything wrong inside it.
    std::optional<SettingsFileError> failure;
    const json::Value *format =
        field(root, {}, u"format", json::Value::Kind::String, "text", failure);
    if (!format) return failed(*failure);
    if (format->string != QLatin1String(SettingsFormatName))
        return failed(
            error(Kind::WrongFormat, format->line, QStringLiteral("format"), format->string));
    const json::Value *version =
        field(root, {}, u"version", json::Value::Kind::Number, "whole number", failure);
    if (!version) return failed(*failure);
    if (version->number != std::floor(version->number))
        return failed(
            error(Kind::WrongKind, version->line, QStringLiteral("version"), "whole number"));
    if (version->number != SettingsFormatVersion)
        return failed(error(Kind::UnknownVersion, version->line, QStringLiteral("version"),
                            QString::number(version->number, 'g', 17)));
    if (auto bad = checkNames(root, {},
                              {u"format", u"version", u"input", u"output", u"source", u"edited"}))
        return failed(*bad);

    SettingsDocument document;
    ScaleLines inputLines, outputLines;
    if (auto bad = readScale(root, QStringLiteral("input"), document.settings.input, inputLines))
        return failed(*bad);
    if (auto bad = readScale(root, QStringLiteral("output"), document.settings.output, outputLines))
        return failed(*bad);
    if (auto bad = readSource(root, document.source)) return failed(*bad);
    if (auto bad = readEdited(root, document.edited)) return failed(*bad);

    const QList<SettingsProblem> problems = document.settings.problems();
    if (!problems.isEmpty()) {
        const SettingsProblem &first = problems.first();
        const bool input = first.field.startsWith(u"input");
        const ScaleLines &lines = input ? inputLines : outputLines;
        // A scale without span is shown at its end value.
        const int line = first.field.endsWith(u".low") ? lines.low : lines.high;
        SettingsFileError e = error(Kind::BadValue, line, first.field);
        e.problem = first;
        return failed(e);
    }
    SettingsFileRead read;
    read.document = std::move(document);
    return read;
}

SettingsFileRead readSettingsFile(const QString &filePath)
{
    // Opened without blocking and read only when it is a regular file, as the
    // window does: a FIFO without a writer or a terminal would wait for ever.
    const int fd = ::open(QFile::encodeName(filePath).constData(),
                          O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) return failed(error(Kind::CannotRead, 0, {}, systemErrorText(errno)));
    QFile file;
    file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle);
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode))
        return failed(error(Kind::CannotRead, 0, {}, QStringLiteral("not a regular file")));
    // One byte more than allowed tells a file that is too large, whatever its
    // reported size.
    const QByteArray bytes = file.read(SettingsFileMaxSize + 1);
    if (file.error() != QFileDevice::NoError)
        return failed(error(Kind::CannotRead, 0, {}, file.errorString()));
    return parseSettingsFile(bytes);
}

std::optional<QByteArray> settingsFileText(const SettingsDocument &document)
{
    if (!document.settings.isValid()) return std::nullopt;
    QByteArray text = QByteArray("{\n  \"format\": ") +
                      jsonString(QLatin1String(SettingsFormatName)) +
                      ",\n  \"version\": " + QByteArray::number(SettingsFormatVersion) + ",\n" +
                      scaleText("input", document.settings.input) + ",\n" +
                      scaleText("output", document.settings.output);
    if (document.source) {
        const SettingsSource &source = *document.source;
        text += ",\n  \"source\": {\n    \"port\": " + jsonString(source.port) +
                ",\n    \"time\": " + timeJson(source.time);
        if (!source.firmware.isEmpty())
            text += ",\n    \"firmware\": " + jsonString(source.firmware);
        text += "\n  }";
    } else if (document.edited) {
        text += ",\n  \"edited\": {\n    \"time\": " + timeJson(*document.edited) + "\n  }";
    }
    return text + "\n}\n";
}

bool writeSettingsFile(const QString &filePath, const SettingsDocument &document,
                       QString &errorText, TextLanguage language)
{
    const std::optional<QByteArray> text = settingsFileText(document);
    if (!text) {
        errorText = document.settings.problems().first().text(language);
        return false;
    }
    const FileWriteError error = writeFileWhole(filePath, *text);
    errorText = error.reason(language);
    return !error.failed();
}
