// What the window remembers about files between runs: the folder last used
// for settings files, the folder last used for calibration reports and the
// technician's name. They are kept in a section of their own, "Files", in the
// initialisation file, after the window's three sections, which keep their
// place and order; every other line of the file is kept as the file's own
// writer keeps it.
#pragma once

#include "app/inifile.h"

#include <QString>

class FileMemory {
public:
    static constexpr char Section[] = "Files";
    static constexpr char SettingsFolderKey[] = "SettingsFolder";
    static constexpr char ReportFolderKey[] = "ReportFolder";
    static constexpr char TechnicianKey[] = "Technician";

    explicit FileMemory(IniFile file) : m_file(std::move(file)) {}

    // Empty when the file or the key is missing.
    QString value(const char *key) const;
    // Writes the value at once, so it survives a program that never closes
    // its window normally. A failure is returned, never raised.
    IniSaveResult setValue(const char *key, const QString &value) const;

private:
    IniFile m_file;
};
