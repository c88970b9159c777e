// FullDisk: a small file system of its own (a tmpfs of a few KiB mounted in a
// temporary folder) that a test fills to the last block, so that writes meet
// "No space left on device" for real. Mounting needs root (as CI runs the
// suite); elsewhere the fixture says why it could not, for a QSKIP.
//
//   FullDisk disk;
//   if (!disk.isMounted()) QSKIP(qPrintable(disk.whyNot()));
//   ... write the files that were there before ...
//   QVERIFY(disk.fill());
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

class FullDisk {
public:
    explicit FullDisk(int kib = 32);
    ~FullDisk();
    FullDisk(const FullDisk &) = delete;
    FullDisk &operator=(const FullDisk &) = delete;

    bool isMounted() const { return m_mounted; }
    QString whyNot() const { return m_whyNot; }
    QString path(const QString &name) const { return m_folder.filePath(name); }

    // Writes a file there (before the disk is filled).
    bool put(const QString &name, const QByteArray &bytes) const;
    // Takes every block left, with a file of its own.
    bool fill() const;
    // What the folder holds besides that file, by name.
    QStringList entries() const;

private:
    QTemporaryDir m_folder;
    bool m_mounted = false;
    QString m_whyNot;
};
