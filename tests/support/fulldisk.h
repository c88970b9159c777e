// A tmpfs of its own in a temporary folder, to be filled to the last block:
// how the suites show that a write on a full disk is reported and costs
// nothing already kept. Mounting needs root, as CI runs the suites; without
// it `mounted` is false and the suite skips with a message.
#pragma once

#include <QByteArray>
#include <QFile>
#include <QTemporaryDir>

#include <sys/mount.h>

struct FullDisk {
    explicit FullDisk(const char *size = "32k")
        : mounted(::mount("tmpfs", path.constData(), "tmpfs", 0,
                          QByteArray("size=").append(size).constData()) == 0)
    {
    }
    ~FullDisk()
    {
        if (mounted) ::umount2(path.constData(), MNT_DETACH);
    }
    // Takes every block left.
    bool fill() const
    {
        QFile filler(folder.filePath(QStringLiteral("filler")));
        filler.open(QIODevice::WriteOnly | QIODevice::Unbuffered);
        while (filler.write(QByteArray(4096, 'f')) > 0) {
        }
        return filler.error() == QFileDevice::ResourceError; // ENOSPC
    }

    QTemporaryDir folder;
    const QByteArray path = QFile::encodeName(folder.path());
    const bool mounted;
};
