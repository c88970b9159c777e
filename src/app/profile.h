// Plain profile text, the syntax of our initialisation file: "[Section]"
// headers followed by "key=value" lines, no quoting and no escaping. Our own
// small reader and writer, because a settings library would reorder the
// sections, escape the values and rewrite what it does not understand.
//
// The document is the file's bytes. Only the lines a save sets are
// rewritten; every other line (other sections, comments, notes in another
// code page, lines with control characters) goes back byte for byte.
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QStringView>

#include <span>

struct ProfileEntry {
    QString section;
    QString key;
    QString value;
};

class ProfileDocument {
public:
    // Larger files are not read (nor, by the initialisation file, replaced):
    // a bound on memory, far above any real settings file.
    static constexpr qsizetype kMaxBytes = 64 * 1024 * 1024;

    ProfileDocument() = default;
    explicit ProfileDocument(QByteArray bytes) : m_bytes(std::move(bytes)) {}

    const QByteArray &bytes() const { return m_bytes; }

    // Reading never fails: lines that are neither a header nor a key=value
    // pair are passed over, and so are lines carrying control characters
    // (binary data). Section and key names compare without regard to letter
    // case; the first occurrence of a key counts, also across repeated
    // sections. Values are UTF-8, or Windows-1250 where they are not valid
    // UTF-8.
    bool contains(QStringView section, QStringView key) const;
    QString value(QStringView section, QStringView key, const QString &fallback = {}) const;

    // Section names in the order they first appear.
    QStringList sectionNames() const;

    // The text with these entries set: their sections come first, in the
    // order they first appear in the list, each as its first occurrence in
    // the file with the given spelling; each entry replaces its key's first
    // line in that occurrence, or stands right below the header. Everything
    // else is kept byte for byte and in its order (lines before the first
    // header stay at the top). Control characters other than the tab are
    // left out of the new lines, so no value can break its line and smuggle
    // in another key or section.
    QByteArray withEntriesFirst(std::span<const ProfileEntry> entries) const;

private:
    QByteArray m_bytes;
};
