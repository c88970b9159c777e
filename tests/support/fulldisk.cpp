// A tmpfs of a few KiB, filled on demand.
#include "support/fulldisk.h"

#include <QDir>
#include <QFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/mount.h>
#include <unistd.h>

namespace {

const QString FillerName = QStringLiteral("filler");

} // namespace

FullDisk::FullDisk(int kib)
{
    if (::geteuid() != 0) {
        m_whyNot = QStringLiteral("a full disk needs a tmpfs of its own, which only root may "
                                  "mount; run the suite as root to test it");
        return;
    }
    const QByteArray options = "size=" + QByteArray::number(kib) + "k,mode=0755";
    if (::mount("tmpfs", QFile::encodeName(m_folder.path()).constData(), "tmpfs",
                MS_NOSUID | MS_NODEV, options.constData()) != 0) {
        m_whyNot = QStringLiteral("mounting a tmpfs is not allowed here (%1)")
                       .arg(QString::fromLocal8Bit(std::strerror(errno)));
        return;
    }
    m_mounted = true;
}

FullDisk::~FullDisk()
{
    if (m_mounted) ::umount2(QFile::encodeName(m_folder.path()).constData(), MNT_DETACH);
}

bool FullDisk::put(const QString &name, const QByteArray &bytes) const
{
    QFile file(path(name));
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.flush();
}

bool FullDisk::fill() const
{
    const int fd = ::open(QFile::encodeName(path(FillerName)).constData(),
                          O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) return false;
    const QByteArray block(4096, 'f');
    ssize_t written = 0;
    do {
        written = ::write(fd, block.constData(), std::size_t(block.size()));
    } while (written > 0);
    const bool full = written < 0 && errno == ENOSPC;
    ::close(fd);
    return full;
}

QStringList FullDisk::entries() const
{
    QStringList names =
        QDir(m_folder.path())
            .entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System);
    names.removeAll(FillerName);
    return names;
}
