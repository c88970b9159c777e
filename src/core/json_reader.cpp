// Recursive descent over the bytes, counting lines as it goes.
#include "core/json_reader.h"

#include <QStringDecoder>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>

namespace json {

const Member *Value::member(QStringView name) const
{
    for (const Member &m : members)
        if (m.name == name) return &m;
    return nullptr;
}

namespace {

class Parser {
public:
    explicit Parser(const QByteArray &text) : m_text(text)
    {
        // A byte-order mark, as some editors write, is no content.
        if (m_text.startsWith("\xEF\xBB\xBF")) m_pos = 3;
    }

    ParseResult run()
    {
        ParseResult result;
        Value value;
        if (!parseValue(value, 0)) {
            result.error = m_error;
            return result;
        }
        skipSpace();
        if (m_pos < m_text.size()) {
            fail(SyntaxError::Kind::TrailingContent, QString(QChar::fromLatin1(peek())));
            result.error = m_error;
            return result;
        }
        result.value = std::move(value);
        return result;
    }

private:
    char peek() const { return m_pos < m_text.size() ? m_text[m_pos] : '\0'; }
    bool atEnd() const { return m_pos >= m_text.size(); }
    static bool isLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
    static bool isDigit(char c) { return c >= '0' && c <= '9'; }

    bool fail(SyntaxError::Kind kind, QString detail = {})
    {
        m_error = {kind, m_line, std::move(detail), m_expected};
        return false;
    }

    bool failUnexpected(SyntaxError::Expected expected)
    {
        m_expected = expected;
        if (atEnd()) return fail(SyntaxError::Kind::UnexpectedEnd);
        const auto byte = static_cast<unsigned char>(peek());
        if (byte >= 0x80) return fail(SyntaxError::Kind::NotUtf8);
        if (byte < 0x20)
            return fail(SyntaxError::Kind::UnexpectedCharacter,
                        QStringLiteral("\\x%1").arg(byte, 2, 16, QLatin1Char('0')));
        return fail(SyntaxError::Kind::UnexpectedCharacter, QString(QChar::fromLatin1(peek())));
    }

    void skipSpace()
    {
        while (!atEnd()) {
            const char c = peek();
            if (c == '\n')
                ++m_line;
            else if (c != ' ' && c != '\t' && c != '\r')
                return;
            ++m_pos;
        }
    }

    bool expectColon()
    {
        skipSpace();
        if (peek() != ':') return failUnexpected(SyntaxError::Expected::Colon);
        ++m_pos;
        return true;
    }

    bool parseValue(Value &value, int depth)
    {
        if (depth > MaxDepth) return fail(SyntaxError::Kind::TooDeep);
        skipSpace();
        value.line = m_line;
        const char c = peek();
        if (c == '{') return parseObject(value, depth);
        if (c == '[') return parseArray(value, depth);
        if (c == '"') {
            value.kind = Value::Kind::String;
            return parseString(value.string);
        }
        if (c == '-' || (c >= '0' && c <= '9')) return parseNumber(value);
        if (isLetter(c)) return parseWord(value);
        return failUnexpected(SyntaxError::Expected::Value);
    }

    bool parseWord(Value &value)
    {
        const qsizetype start = m_pos;
        while (isLetter(peek()))
            ++m_pos;
        const QByteArray word = m_text.mid(start, m_pos - start);
        if (word == "true" || word == "false") {
            value.kind = Value::Kind::Bool;
            value.boolean = word == "true";
            return true;
        }
        if (word == "null") {
            value.kind = Value::Kind::Null;
            return true;
        }
        const QByteArray lower = word.toLower();
        if (lower == "nan" || lower == "infinity" || lower == "inf")
            return fail(SyntaxError::Kind::NotFinite, QString::fromLatin1(word));
        m_pos = start;
        return failUnexpected(SyntaxError::Expected::Value);
    }

    bool parseNumber(Value &value)
    {
        const qsizetype start = m_pos;
        if (peek() == '-') ++m_pos;
        const auto digits = [&] {
            const qsizetype from = m_pos;
            while (isDigit(peek()))
                ++m_pos;
            return m_pos - from;
        };
        const qsizetype integer = m_pos;
        const qsizetype intDigits = digits();
        // No leading zeros, at least one digit in each part.
        bool good = intDigits > 0 && !(intDigits > 1 && m_text[integer] == '0');
        if (good && peek() == '.') {
            ++m_pos;
            good = digits() > 0;
        }
        if (good && (peek() == 'e' || peek() == 'E')) {
            ++m_pos;
            if (peek() == '+' || peek() == '-') ++m_pos;
            good = digits() > 0;
        }
        // Whatever is glued to the number belongs to what is wrong with it.
        while (!atEnd() && !QByteArrayView(" \t\r\n,]}").contains(peek())) {
            good = false;
            ++m_pos;
        }
        const QByteArray text = m_text.mid(start, m_pos - start);
        const QByteArray lower = text.toLower();
        if (lower == "-infinity" || lower == "-inf")
            return fail(SyntaxError::Kind::NotFinite, QString::fromLatin1(text));
        if (!good) return fail(SyntaxError::Kind::BadNumber, QString::fromLatin1(text));
        double number = 0.0;
        const auto [end, error] =
            std::from_chars(text.constData(), text.constData() + text.size(), number);
        if (error == std::errc::result_out_of_range) {
            // Beyond a double is no finite number; below the smallest one
            // is as good as zero.
            if (tooLarge(text))
                return fail(SyntaxError::Kind::NotFinite, QString::fromLatin1(text));
            number = 0.0;
        } else if (error != std::errc() || end != text.constData() + text.size()) {
            return fail(SyntaxError::Kind::BadNumber, QString::fromLatin1(text));
        }
        value.kind = Value::Kind::Number;
        value.number = number;
        return true;
    }

    // Whether a number from_chars found out of range is too large (rather
    // than too small): its decimal magnitude, from the first significant
    // digit and the exponent, is above zero.
    static bool tooLarge(const QByteArray &text)
    {
        QByteArray mantissa = text;
        qint64 exponent = 0;
        const qsizetype e = std::max(text.indexOf('e'), text.indexOf('E'));
        if (e >= 0) {
            const QByteArray power = text.mid(e + 1);
            bool ok = false;
            exponent = power.toLongLong(&ok);
            // An exponent beyond 64 bits only needs its sign.
            if (!ok) exponent = power.startsWith('-') ? -(qint64(1) << 40) : (qint64(1) << 40);
            exponent = std::clamp(exponent, -(qint64(1) << 40), qint64(1) << 40);
            mantissa = text.left(e);
        }
        if (mantissa.startsWith('-')) mantissa.remove(0, 1);
        const qsizetype dot = mantissa.indexOf('.');
        QByteArray whole = dot < 0 ? mantissa : mantissa.left(dot);
        const QByteArray fraction = dot < 0 ? QByteArray() : mantissa.mid(dot + 1);
        while (whole.startsWith('0'))
            whole.remove(0, 1);
        if (!whole.isEmpty()) return qint64(whole.size() - 1) + exponent > 0;
        qsizetype zeros = 0;
        while (zeros < fraction.size() && fraction[zeros] == '0')
            ++zeros;
        if (zeros == fraction.size()) return false; // zero
        return exponent - qint64(zeros + 1) > 0;
    }

    bool parseString(QString &out)
    {
        ++m_pos; // the opening quote
        QByteArray bytes;
        while (true) {
            if (atEnd()) return fail(SyntaxError::Kind::BadString, QStringLiteral("unterminated"));
            const char c = m_text[m_pos++];
            if (c == '"') break;
            if (static_cast<unsigned char>(c) < 0x20)
                return fail(SyntaxError::Kind::BadString, QStringLiteral("control character"));
            if (c != '\\') {
                bytes += c;
                continue;
            }
            if (atEnd()) return fail(SyntaxError::Kind::BadString, QStringLiteral("unterminated"));
            const char e = m_text[m_pos++];
            switch (e) {
            case '"':
            case '\\':
            case '/':
                bytes += e;
                break;
            case 'b':
                bytes += '\b';
                break;
            case 'f':
                bytes += '\f';
                break;
            case 'n':
                bytes += '\n';
                break;
            case 'r':
                bytes += '\r';
                break;
            case 't':
                bytes += '\t';
                break;
            case 'u': {
                char32_t point = 0;
                if (!codePoint(point)) return false;
                bytes += QString::fromUcs4(&point, 1).toUtf8();
                break;
            }
            default:
                return fail(SyntaxError::Kind::BadString,
                            QStringLiteral("escape \\") + QChar::fromLatin1(e));
            }
        }
        QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
        out = decoder.decode(bytes);
        if (decoder.hasError()) return fail(SyntaxError::Kind::NotUtf8);
        return true;
    }

    // The character of a \u escape, a surrogate pair joined; a lone half of
    // a pair is no character.
    bool codePoint(char32_t &point)
    {
        char16_t unit = 0;
        if (!hexUnit(unit)) return false;
        point = unit;
        if (QChar::isLowSurrogate(unit))
            return fail(SyntaxError::Kind::BadString, QStringLiteral("lone surrogate"));
        if (!QChar::isHighSurrogate(unit)) return true;
        char16_t low = 0;
        if (m_text.mid(m_pos, 2) != "\\u")
            return fail(SyntaxError::Kind::BadString, QStringLiteral("lone surrogate"));
        m_pos += 2;
        if (!hexUnit(low)) return false;
        if (!QChar::isLowSurrogate(low))
            return fail(SyntaxError::Kind::BadString, QStringLiteral("lone surrogate"));
        point = QChar::surrogateToUcs4(unit, low);
        return true;
    }

    bool hexUnit(char16_t &unit)
    {
        if (m_pos + 4 > m_text.size())
            return fail(SyntaxError::Kind::BadString, QStringLiteral("escape \\u"));
        bool ok = false;
        const uint value = m_text.mid(m_pos, 4).toUInt(&ok, 16);
        const bool allHex = std::all_of(m_text.begin() + m_pos, m_text.begin() + m_pos + 4,
                                        [](char h) { return std::isxdigit(uchar(h)); });
        if (!ok || !allHex) return fail(SyntaxError::Kind::BadString, QStringLiteral("escape \\u"));
        m_pos += 4;
        unit = char16_t(value);
        return true;
    }

    bool parseArray(Value &value, int depth)
    {
        value.kind = Value::Kind::Array;
        ++m_pos;
        skipSpace();
        if (peek() == ']') {
            ++m_pos;
            value.endLine = m_line;
            return true;
        }
        while (true) {
            Value item;
            if (!parseValue(item, depth + 1)) return false;
            value.items.push_back(std::move(item));
            skipSpace();
            if (peek() == ',') {
                ++m_pos;
                continue;
            }
            if (peek() == ']') {
                ++m_pos;
                value.endLine = m_line;
                return true;
            }
            return failUnexpected(SyntaxError::Expected::CommaOrBracket);
        }
    }

    bool parseObject(Value &value, int depth)
    {
        value.kind = Value::Kind::Object;
        ++m_pos;
        skipSpace();
        if (peek() == '}') {
            ++m_pos;
            value.endLine = m_line;
            return true;
        }
        while (true) {
            skipSpace();
            if (peek() != '"') return failUnexpected(SyntaxError::Expected::Name);
            Member member;
            member.line = m_line;
            if (!parseString(member.name)) return false;
            if (!expectColon()) return false;
            member.value = std::make_unique<Value>();
            if (!parseValue(*member.value, depth + 1)) return false;
            value.members.push_back(std::move(member));
            skipSpace();
            if (peek() == ',') {
                ++m_pos;
                continue;
            }
            if (peek() == '}') {
                ++m_pos;
                value.endLine = m_line;
                return true;
            }
            return failUnexpected(SyntaxError::Expected::CommaOrBrace);
        }
    }

    const QByteArray &m_text;
    qsizetype m_pos = 0;
    int m_line = 1;
    SyntaxError m_error;
    SyntaxError::Expected m_expected = SyntaxError::Expected::Value;
};

} // namespace

ParseResult parse(const QByteArray &text)
{
    return Parser(text).run();
}

} // namespace json
