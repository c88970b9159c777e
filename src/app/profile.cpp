// Reader and writer of the plain profile syntax used by the initialisation
// file, working on the file's bytes so that what it does not set stays as it was.
#include "app/profile.h"

#include "text/cp1250.h"

#include <QByteArrayView>
#include <QSet>
#include <QStringDecoder>

#include <algorithm>
#include <array>
#include <optional>
#include <vector>

namespace {

const QByteArrayView kBom("\xEF\xBB\xBF");

// Control characters other than the tab, by byte: a look-up, as every byte
// of every line is tested.
constexpr std::array<bool, 256> kControl = [] {
    std::array<bool, 256> table{};
    for (int c = 0; c < 0x20; ++c)
        table[std::size_t(c)] = c != '\t';
    table[0x7f] = true;
    return table;
}();

bool isControl(char c)
{
    return kControl[static_cast<unsigned char>(c)];
}

bool isBlank(char c)
{
    return c == ' ' || c == '\t';
}

QByteArrayView trimmed(QByteArrayView text)
{
    while (!text.isEmpty() && isBlank(text.front()))
        text = text.sliced(1);
    while (!text.isEmpty() && isBlank(text.back()))
        text.chop(1);
    return text;
}

bool isAscii(QByteArrayView text)
{
    return std::all_of(text.begin(), text.end(),
                       [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

// Our own files are UTF-8; files written on Windows are in its Central
// European code page.
QString decode(QByteArrayView bytes)
{
    if (isAscii(bytes)) return QString::fromLatin1(bytes);
    // A value's own leading U+FEFF is text, not a byte-order mark.
    QStringDecoder utf8(QStringDecoder::Utf8,
                        QStringDecoder::Flag::Stateless | QStringDecoder::Flag::ConvertInitialBom);
    QString text = utf8(bytes);
    if (!utf8.hasError()) return text;
    return mb::fromWindows1250(bytes);
}

bool sameName(QByteArrayView raw, QStringView name)
{
    if (isAscii(raw)) {
        if (raw.size() != name.size()) return false;
        for (qsizetype i = 0; i < raw.size(); ++i)
            if (QChar::toLower(char32_t(uchar(raw[i]))) != name[i].toLower().unicode())
                return false;
        return true;
    }
    return QStringView(decode(raw)).compare(name, Qt::CaseInsensitive) == 0;
}

// Appends text in UTF-8 without its control characters.
void appendClean(QByteArray &out, const QString &text)
{
    for (char c : text.toUtf8())
        if (!isControl(c)) out += c;
}

struct Line {
    enum class Kind { Other, Header, BrokenHeader, Entry };
    qsizetype start = 0; // first byte of the line
    qsizetype end = 0;   // end of its content: before "\n" or "\r\n"
    qsizetype next = 0;  // first byte of the next line
    Kind kind = Kind::Other;
    QByteArrayView name;  // a header's section name or an entry's key
    QByteArrayView value; // an entry's value

    bool startsSection() const { return kind == Kind::Header || kind == Kind::BrokenHeader; }
};

// The lines of the text one by one, classified as the reader sees them.
class LineScanner {
public:
    explicit LineScanner(const QByteArray &bytes)
        : m_text(bytes), m_position(bytes.startsWith(kBom) ? kBom.size() : 0)
    {
    }

    qsizetype bodyStart() const { return m_text.startsWith(kBom) ? kBom.size() : 0; }

    std::optional<Line> next()
    {
        if (m_position >= m_text.size()) return std::nullopt;
        Line line;
        line.start = m_position;
        const qsizetype newline = m_text.indexOf('\n', m_position);
        line.next = newline < 0 ? m_text.size() : newline + 1;
        line.end = newline < 0 ? m_text.size() : newline;
        if (newline > line.start && m_text[newline - 1] == '\r') --line.end;
        m_position = line.next;
        classify(line);
        return line;
    }

private:
    void classify(Line &line) const
    {
        const QByteArrayView content =
            trimmed(QByteArrayView(m_text).sliced(line.start, line.end - line.start));
        if (content.isEmpty() || content.front() == ';') return;
        // Only a header or an entry is looked at for control characters:
        // any other line is passed over all the same.
        const auto clean = [content] {
            return std::none_of(content.begin(), content.end(), isControl);
        };
        if (content.front() == '[') {
            if (!clean()) return;
            const qsizetype close = content.indexOf(']');
            line.name = close < 0 ? QByteArrayView() : trimmed(content.sliced(1, close - 1));
            line.kind = line.name.isEmpty() ? Line::Kind::BrokenHeader : Line::Kind::Header;
            return;
        }
        const qsizetype equals = content.indexOf('=');
        if (equals <= 0) return;
        const QByteArrayView key = trimmed(content.first(equals));
        if (key.isEmpty() || !clean()) return;
        line.name = key;
        line.value = trimmed(content.sliced(equals + 1));
        line.kind = Line::Kind::Entry;
    }

    const QByteArray &m_text;
    qsizetype m_position;
};

// The value of the key's first entry in the section's occurrences.
std::optional<QByteArrayView> findEntry(const QByteArray &bytes, QStringView section,
                                        QStringView key)
{
    LineScanner scanner(bytes);
    bool inSection = false;
    while (const std::optional<Line> line = scanner.next()) {
        if (line->startsSection())
            inSection = line->kind == Line::Kind::Header && sameName(line->name, section);
        else if (inSection && line->kind == Line::Kind::Entry && sameName(line->name, key))
            return line->value;
    }
    return std::nullopt;
}

// A stretch of whole lines: a header with the lines up to the next header.
struct Range {
    qsizetype start = 0;
    qsizetype end = 0;
};

} // namespace

bool ProfileDocument::contains(QStringView section, QStringView key) const
{
    return findEntry(m_bytes, section, key).has_value();
}

QString ProfileDocument::value(QStringView section, QStringView key, const QString &fallback) const
{
    const std::optional<QByteArrayView> found = findEntry(m_bytes, section, key);
    return found ? decode(*found) : fallback;
}

QStringList ProfileDocument::sectionNames() const
{
    QStringList names;
    QSet<QString> known; // case-folded, so a file of many sections reads in one pass
    LineScanner scanner(m_bytes);
    while (const std::optional<Line> line = scanner.next()) {
        if (line->kind != Line::Kind::Header) continue;
        QString name = decode(line->name);
        QString folded = name.toCaseFolded();
        if (!known.contains(folded)) {
            known.insert(std::move(folded));
            names.append(std::move(name));
        }
    }
    return names;
}

QByteArray ProfileDocument::withEntriesFirst(std::span<const ProfileEntry> entries) const
{
    // The sections to set, in order, each with its first occurrence in the
    // file and the first line of each of its keys there.
    struct Target {
        QString name;
        std::optional<Range> block;
        qsizetype headerEnd = 0;
        qsizetype headerNext = 0;
        std::vector<const ProfileEntry *> entries;
        std::vector<std::optional<Range>> keyLines; // content only, the line end stays
    };
    std::vector<Target> targets;
    for (const ProfileEntry &entry : entries) {
        auto it = std::find_if(targets.begin(), targets.end(), [&entry](const Target &t) {
            return QString::compare(t.name, entry.section, Qt::CaseInsensitive) == 0;
        });
        if (it == targets.end()) {
            targets.emplace_back();
            targets.back().name = entry.section;
            it = std::prev(targets.end());
        }
        it->entries.push_back(&entry);
        it->keyLines.emplace_back();
    }

    LineScanner scanner(m_bytes);
    std::optional<qsizetype> firstSectionStart;
    QByteArray lineEnd = "\n"; // for new lines: the file's own line end
    bool lineEndKnown = false;
    Target *open = nullptr; // a target whose first occurrence is being read
    while (const std::optional<Line> line = scanner.next()) {
        if (!lineEndKnown && line->next > line->end) {
            lineEnd = m_bytes.sliced(line->end, line->next - line->end);
            lineEndKnown = true;
        }
        if (line->startsSection()) {
            if (open) open->block->end = line->start;
            open = nullptr;
            if (!firstSectionStart) firstSectionStart = line->start;
            if (line->kind != Line::Kind::Header) continue;
            for (Target &target : targets)
                if (!target.block && sameName(line->name, target.name)) {
                    target.block = Range{line->start, m_bytes.size()};
                    target.headerEnd = line->end;
                    target.headerNext = line->next;
                    open = &target;
                    break;
                }
            continue;
        }
        if (!open || line->kind != Line::Kind::Entry) continue;
        for (std::size_t i = 0; i < open->entries.size(); ++i)
            if (!open->keyLines[i] && sameName(line->name, open->entries[i]->key)) {
                open->keyLines[i] = Range{line->start, line->end};
                break;
            }
    }

    const qsizetype body = scanner.bodyStart();
    const qsizetype sectionsStart = firstSectionStart.value_or(m_bytes.size());
    QByteArray out;
    out.reserve(m_bytes.size() + 256);
    // Ends a last line that had no end, so that what follows starts a line of
    // its own. A line that ends in a carriage return keeps it as its own
    // (a "\n" alone would make it the line end and change the line).
    auto endLine = [&out, &lineEnd] {
        if (out.isEmpty() || out.endsWith('\n')) return;
        out += out.endsWith('\r') ? QByteArrayView("\r\n") : QByteArrayView(lineEnd);
    };
    auto appendEntry = [&out](const ProfileEntry &entry) {
        appendClean(out, entry.key);
        out += '=';
        appendClean(out, entry.value);
    };

    out += m_bytes.first(body); // a byte-order mark stays first
    out += QByteArrayView(m_bytes).sliced(body, sectionsStart - body);
    endLine();
    for (const Target &target : targets) {
        out += '[';
        appendClean(out, target.name);
        out += ']';
        if (!target.block) {
            out += lineEnd;
            for (const ProfileEntry *entry : target.entries) {
                appendEntry(*entry);
                out += lineEnd;
            }
            continue;
        }
        // The header keeps its own line end.
        out +=
            QByteArrayView(m_bytes).sliced(target.headerEnd, target.headerNext - target.headerEnd);
        endLine();
        for (std::size_t i = 0; i < target.entries.size(); ++i)
            if (!target.keyLines[i]) {
                appendEntry(*target.entries[i]);
                out += lineEnd;
            }
        // The rest of the occurrence, with the keys' lines replaced in place.
        std::vector<std::pair<Range, std::size_t>> replaced;
        for (std::size_t i = 0; i < target.entries.size(); ++i)
            if (target.keyLines[i]) replaced.emplace_back(*target.keyLines[i], i);
        std::sort(replaced.begin(), replaced.end(),
                  [](const auto &a, const auto &b) { return a.first.start < b.first.start; });
        qsizetype from = target.headerNext;
        for (const auto &[range, i] : replaced) {
            out += QByteArrayView(m_bytes).sliced(from, range.start - from);
            appendEntry(*target.entries[i]);
            from = range.end;
        }
        out += QByteArrayView(m_bytes).sliced(from, target.block->end - from);
        endLine();
    }

    // The other sections, in their order, the occurrences moved up left out.
    std::vector<Range> moved;
    for (const Target &target : targets)
        if (target.block) moved.push_back(*target.block);
    std::sort(moved.begin(), moved.end(),
              [](const Range &a, const Range &b) { return a.start < b.start; });
    qsizetype from = sectionsStart;
    for (const Range &range : moved) {
        out += QByteArrayView(m_bytes).sliced(from, range.start - from);
        from = range.end;
    }
    out += QByteArrayView(m_bytes).sliced(from);
    return out;
}
