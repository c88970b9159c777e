// Plain profile text, the syntax of our initialisation file: "[Section]"
// headers followed by "key=value" lines, no quoting and no escaping. Our own
// small reader and writer, because a settings library would reorder the
// sections and escape the values.
#pragma once

#include <QString>
#include <QStringView>

#include <vector>

class ProfileDocument {
public:
    // Files larger than this are not ours: they are not read at all.
    static constexpr qsizetype kMaxBytes = 1024 * 1024;

    // Never fails: lines that are not a header or a key=value pair are
    // skipped, and so are lines carrying control characters (binary data).
    static ProfileDocument parse(QStringView text);

    // Section and key names compare without regard to letter case; the first
    // occurrence of a duplicated section or key is the one that counts.
    bool contains(QStringView section, QStringView key) const;
    QString value(QStringView section, QStringView key, const QString &fallback = {}) const;
    // Adds or replaces; an existing section or key takes the given spelling.
    void setValue(const QString &section, const QString &key, const QString &value);

    // Puts the named sections first, in the given order; the others follow as
    // they were.
    void moveSectionsToFront(const QStringList &order);

    QStringList sectionNames() const;

    // Control characters other than the tab are left out of names and
    // values, so no value can break its line and smuggle in another key or
    // section.
    QString toText() const;

private:
    struct Entry {
        QString key;
        QString value;
    };
    struct Section {
        QString name;
        std::vector<Entry> entries;
    };

    const Section *findSection(QStringView name) const;
    Section *findSection(QStringView name);

    std::vector<Section> m_sections;
};
