// Reader and writer of the plain profile syntax used by the initialisation file.
#include "app/profile.h"

#include <QStringList>

#include <algorithm>

namespace {

bool hasControlCharacter(QStringView text)
{
    return std::any_of(text.begin(), text.end(), [](QChar c) {
        return c != u'\t' && (c.unicode() < 0x20 || c.unicode() == 0x7f);
    });
}

// A tab stays, as on reading: it cannot break a line, and a name that lost
// its tab on the way out could come back as another entry's name.
QString withoutControlCharacters(const QString &text)
{
    QString clean;
    clean.reserve(text.size());
    for (QChar c : text) {
        if (c == u'\t' || !(c.unicode() < 0x20 || c.unicode() == 0x7f)) clean.append(c);
    }
    return clean;
}

bool sameName(QStringView a, QStringView b)
{
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

} // namespace

ProfileDocument ProfileDocument::parse(QStringView text)
{
    ProfileDocument document;
    if (text.startsWith(QChar(0xfeff))) text = text.mid(1);

    // Keys before the first header, or after a broken header, belong nowhere.
    Section *current = nullptr;
    qsizetype start = 0;
    while (start <= text.size()) {
        qsizetype end = text.indexOf(u'\n', start);
        if (end < 0) end = text.size();
        QStringView line = text.mid(start, end - start);
        start = end + 1;
        if (line.endsWith(u'\r')) line.chop(1);
        line = line.trimmed();

        if (line.isEmpty() || line.startsWith(u';')) continue;
        if (hasControlCharacter(line)) continue;

        if (line.startsWith(u'[')) {
            const qsizetype close = line.indexOf(u']');
            current = nullptr;
            if (close < 0) continue;
            const QStringView name = line.mid(1, close - 1).trimmed();
            if (name.isEmpty()) continue;
            current = document.findSection(name);
            if (!current) {
                document.m_sections.push_back(Section{name.toString(), {}});
                current = &document.m_sections.back();
            }
            continue;
        }

        const qsizetype equals = line.indexOf(u'=');
        if (!current || equals <= 0) continue;
        const QStringView key = line.left(equals).trimmed();
        if (key.isEmpty()) continue;
        const bool known = std::any_of(current->entries.begin(), current->entries.end(),
                                       [key](const Entry &e) { return sameName(e.key, key); });
        if (!known)
            current->entries.push_back(
                Entry{key.toString(), line.mid(equals + 1).trimmed().toString()});
    }
    return document;
}

const ProfileDocument::Section *ProfileDocument::findSection(QStringView name) const
{
    const auto it = std::find_if(m_sections.begin(), m_sections.end(),
                                 [name](const Section &s) { return sameName(s.name, name); });
    return it == m_sections.end() ? nullptr : &*it;
}

ProfileDocument::Section *ProfileDocument::findSection(QStringView name)
{
    return const_cast<Section *>(std::as_const(*this).findSection(name));
}

bool ProfileDocument::contains(QStringView section, QStringView key) const
{
    const Section *s = findSection(section);
    return s && std::any_of(s->entries.begin(), s->entries.end(),
                            [key](const Entry &e) { return sameName(e.key, key); });
}

QString ProfileDocument::value(QStringView section, QStringView key, const QString &fallback) const
{
    if (const Section *s = findSection(section)) {
        for (const Entry &e : s->entries) {
            if (sameName(e.key, key)) return e.value;
        }
    }
    return fallback;
}

void ProfileDocument::setValue(const QString &section, const QString &key, const QString &value)
{
    // The names take the given spelling, so the file reads the same whatever
    // letter case an earlier hand edit left.
    Section *s = findSection(section);
    if (!s) {
        m_sections.push_back(Section{section, {}});
        s = &m_sections.back();
    }
    s->name = section;
    for (Entry &e : s->entries) {
        if (sameName(e.key, key)) {
            e.key = key;
            e.value = value;
            return;
        }
    }
    s->entries.push_back(Entry{key, value});
}

void ProfileDocument::moveSectionsToFront(const QStringList &order)
{
    auto front = m_sections.begin();
    for (const QString &name : order) {
        const auto it = std::find_if(front, m_sections.end(),
                                     [&name](const Section &s) { return sameName(s.name, name); });
        if (it == m_sections.end()) continue;
        std::rotate(front, it, std::next(it));
        ++front;
    }
}

QStringList ProfileDocument::sectionNames() const
{
    QStringList names;
    for (const Section &s : m_sections)
        names.append(s.name);
    return names;
}

QString ProfileDocument::toText() const
{
    QString text;
    for (const Section &s : m_sections) {
        text += QLatin1Char('[') + withoutControlCharacters(s.name) + QLatin1String("]\n");
        for (const Entry &e : s.entries)
            text += withoutControlCharacters(e.key) + QLatin1Char('=') +
                    withoutControlCharacters(e.value) + QLatin1Char('\n');
    }
    return text;
}
