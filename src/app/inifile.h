// The program's initialisation file: the language, the last used serial port
// and the time of the last run, kept between runs.
//
// Where it lives: beside the executable, named like it with ".ini". When that
// place cannot be written (an installed program in a system folder), the same
// file name in the user's configuration folder is used instead, for reading
// and for writing; only the first time, while the user has no file yet, a
// file an administrator put in the system's configuration folder
// (/etc/kx4720r/), or else beside such an executable, is read as the
// starting point. A copy that can write beside itself never reads the
// user's folder nor the system's.
#pragma once

#include <QDateTime>
#include <QLocale>
#include <QString>

#include <span>

struct ProfileEntry;

struct IniSettings {
    // "Com"/"MBLastUsedPort": the last used serial port as the link component stores it.
    QString lastUsedPort;
    // "Language"/"GsSelectedLanguage": the current language name.
    QString languageName = QStringLiteral("magyar");
    // "Date"/"Date": when the program last closed; written, never acted upon.
    QString date;

    friend bool operator==(const IniSettings &, const IniSettings &) = default;
};

struct IniLocation {
    QString readPath;
    QString writePath;
};

// A failed save is an answer, not an exception: the window closes regardless.
struct IniSaveResult {
    bool ok = false;
    QString path;
    QString error;

    explicit operator bool() const { return ok; }
};

// The executable's path with its extension replaced by ".ini" (appended when
// the name has none).
QString iniPathBesideExecutable(const QString &executablePath);

// Decides where to read and where to write, given the two candidate places
// and the administrator's file in the system's configuration folder.
IniLocation resolveIniLocation(const QString &besideExecutable, const QString &fallback,
                               const QString &systemSeed = {});

// The "Date" value: the short date, three spaces, the long time, in the
// given locale's formats (the time without a time-zone name).
QString iniDateText(const QDateTime &when, const QLocale &locale);
QString currentIniDateText(); // now, in the system locale

class IniFile {
public:
    explicit IniFile(IniLocation location) : m_location(std::move(location)) {}
    // One path for both reading and writing (tests, tools).
    explicit IniFile(const QString &path) : m_location{path, path} {}

    // The file of the running program: beside the executable, or in the
    // user's configuration folder when the executable's folder is not writable.
    static IniFile forThisProgram();

    const IniLocation &location() const { return m_location; }

    // A missing or unreadable file, or missing keys, give the defaults.
    IniSettings load() const;

    // Writes the sections "Date", "Com", "Language" first, in that order;
    // every other line already in the file is kept byte for byte. A file
    // that exists but cannot be read (too large, no permission) is left as
    // it is, and the result says why.
    IniSaveResult save(const IniSettings &settings) const;

    // Values of sections of the program's own besides the three above (the
    // window's memory of folders and names). Empty when missing.
    QString value(const QString &section, const QString &key) const;
    // Writes one such value at once; the three sections stay first, in their
    // order, with what the file holds.
    IniSaveResult setValue(const QString &section, const QString &key, const QString &value) const;

private:
    IniSaveResult write(std::span<const ProfileEntry> entries) const;

    IniLocation m_location;
};
