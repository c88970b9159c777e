// The last line of each program's --help: where its README is. An installed
// program finds it in its package's documentation folder under its own
// prefix (/usr/bin/kx4720r-cli: /usr/share/doc/kx4720r-cli/README.md.gz);
// one run from the build tree points to the README of the sources. Works
// before any Qt application object exists (the window's --help needs none).
#pragma once

#include <QDir>
#include <QFileInfo>
#include <QString>

inline QString readmeLine(const QString &package)
{
    const QString executable = QFileInfo(QStringLiteral("/proc/self/exe")).canonicalFilePath();
    const QString installed =
        QDir::cleanPath(QFileInfo(executable).absolutePath() +
                        QStringLiteral("/../share/doc/%1/README.md.gz").arg(package));
    if (!executable.isEmpty() && QFileInfo(installed).isFile())
        return QStringLiteral("The README: %1 (zless reads it).\n").arg(installed);
    return QStringLiteral("The README: README.md in the program's sources.\n");
}
