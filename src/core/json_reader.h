// A small, strict JSON reader for the files the program reads (RFC 8259, UTF-8,
// an optional byte-order mark). Unlike QJsonDocument it keeps the line of
// every value and of every object member's name, so that a file's reader can
// say on which line a field is missing, repeated or wrong. Numbers keep their
// value as a double: one too large for a double is an error of its own, as
// are the words NaN and Infinity, which JSON does not have but people write.
// Nesting is limited, so no input can exhaust the stack.
#pragma once

#include <QByteArray>
#include <QString>

#include <memory>
#include <optional>
#include <utility>
#include <vector>

namespace json {

struct Value;

struct Member {
    QString name;
    int line = 0; // the line of the name
    std::unique_ptr<Value> value;
};

struct Value {
    enum class Kind { Null, Bool, Number, String, Array, Object };
    Kind kind = Kind::Null;
    int line = 0;    // where the value starts
    int endLine = 0; // where an array or object ends
    bool boolean = false;
    double number = 0.0;
    QString string;
    std::vector<Value> items;    // Array
    std::vector<Member> members; // Object, in file order, repeats kept

    // The first member of that name, or nullptr.
    const Member *member(QStringView name) const;
};

struct SyntaxError {
    enum class Kind {
        UnexpectedEnd,       // the text ends inside a value
        UnexpectedCharacter, // `detail` holds the character
        BadString,           // unterminated, bad escape, control character
        NotUtf8,             // bytes that are no UTF-8 text
        BadNumber,           // `detail` holds the text
        NotFinite,           // NaN, Infinity, or a number beyond a double
        TooDeep,             // nesting beyond the limit
        TrailingContent,     // more after the document's value
    };
    // What the reader wanted where it met something else.
    enum class Expected { Value, CommaOrBrace, CommaOrBracket, Colon, Name };
    Kind kind = Kind::UnexpectedEnd;
    int line = 1;
    QString detail;
    Expected expected = Expected::Value;
};

struct ParseResult {
    std::optional<Value> value;
    SyntaxError error; // meaningful when !value
};

inline constexpr int MaxDepth = 32;

ParseResult parse(const QByteArray &text);

} // namespace json
