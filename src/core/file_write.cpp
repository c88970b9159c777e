// Whole-file writes through a temporary file and a rename, and whole-line
// appends (see file_write.h).
#include "core/file_write.h"

#include "core/reason_text.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// The file a name stands for: a link is written through, never replaced by a
// file of its own.
QString followLinks(const QString &path)
{
    QFileInfo info(path);
    for (int depth = 0; depth < 40 && info.isSymLink(); ++depth)
        info = QFileInfo(info.symLinkTarget());
    return info.absoluteFilePath();
}

QByteArray encoded(const QString &path)
{
    return QFile::encodeName(path);
}

// write() until all of it is in; 0 when done, otherwise errno.
int writeAll(int fd, const QByteArray &bytes)
{
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t written =
            ::write(fd, bytes.constData() + done, std::size_t(bytes.size() - done));
        if (written < 0 && errno == EINTR) continue;
        if (written < 0) return errno;
        if (written == 0) return ENOSPC; // the system took nothing and said nothing
        done += written;
    }
    return 0;
}

// fsync, where the file system has it: a file system without it (a pipe-like
// device, some network mounts) keeps no promise we could wait for.
int syncToDisk(int fd)
{
    if (::fsync(fd) == 0 || errno == EINVAL || errno == EROFS) return 0;
    return errno;
}

FileWriteError systemError(const QString &path, int code)
{
    return {FileWriteError::Kind::System, path, code};
}

} // namespace

QString systemErrorText(int code, TextLanguage language)
{
    // The system's own words, in the message's language where the program
    // knows them.
    char buffer[256];
    return reasonText(QString::fromLocal8Bit(::strerror_r(code, buffer, sizeof buffer)), language);
}

QString FileWriteError::reason(TextLanguage language) const
{
    const bool hu = language == TextLanguage::Hungarian;
    switch (kind) {
    case Kind::None:
        return {};
    case Kind::NotARegularFile:
        return hu ? QStringLiteral("nem közönséges fájl") : QStringLiteral("not a regular file");
    case Kind::ReadOnly:
        return hu ? QStringLiteral("a fájl csak olvasható")
                  : QStringLiteral("the file is read-only");
    case Kind::System:
        return systemErrorText(code, language);
    }
    return {};
}

FileWriteError unwritableTarget(const QString &path)
{
    const QByteArray name = encoded(path);
    struct stat info {};
    if (::stat(name.constData(), &info) != 0)
        return errno == ENOENT ? FileWriteError{} : systemError(path, errno);
    if (!S_ISREG(info.st_mode)) return {FileWriteError::Kind::NotARegularFile, path, 0};
    // Root may write anything; a file its owner made read-only is still
    // meant to stay as it is.
    if (!(info.st_mode & S_IWUSR)) return {FileWriteError::Kind::ReadOnly, path, 0};
    if (::access(name.constData(), W_OK) != 0) return systemError(path, errno);
    return {};
}

StagedFile::StagedFile(QString path) : m_path(followLinks(path)) {}

StagedFile::~StagedFile()
{
    if (!m_staged.isEmpty()) ::unlink(encoded(m_staged).constData());
}

bool StagedFile::fail(int code)
{
    m_error = systemError(m_path, code);
    if (!m_staged.isEmpty()) {
        ::unlink(encoded(m_staged).constData());
        m_staged.clear();
    }
    return false;
}

bool StagedFile::stage(const QByteArray &bytes)
{
    m_error = unwritableTarget(m_path);
    if (m_error.failed()) return false;
    struct stat old {};
    const bool replacing = ::stat(encoded(m_path).constData(), &old) == 0;

    // A name of our own beside the target, so the rename stays within one
    // file system; O_EXCL never takes over another's file.
    int fd = -1;
    for (int attempt = 0; fd < 0 && attempt < 100; ++attempt) {
        m_staged = QStringLiteral("%1.%2.tmp")
                       .arg(m_path, QString::number(QRandomGenerator::global()->generate(), 36));
        fd = ::open(encoded(m_staged).constData(),
                    O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY, 0666);
        if (fd < 0 && errno != EEXIST) {
            const int code = errno;
            m_staged.clear();
            return fail(code);
        }
    }
    if (fd < 0) {
        m_staged.clear();
        return fail(EEXIST);
    }
    int code = 0;
    if (replacing) {
        // The new file keeps the old one's owner when root saves a user's
        // file, and its permissions (set last: a change of owner clears some).
        if (::geteuid() == 0 && ::fchown(fd, old.st_uid, old.st_gid) != 0) {
            // The file is then root's; its contents are what matters.
        }
        if (::fchmod(fd, old.st_mode & 07777) != 0) code = errno;
    }
    if (code == 0) code = writeAll(fd, bytes);
    // A full disk or a network file system may only tell at the sync or the close.
    if (code == 0) code = syncToDisk(fd);
    if (::close(fd) != 0 && code == 0 && errno != EINTR) code = errno;
    if (code != 0) return fail(code);
    return true;
}

bool StagedFile::commit()
{
    if (m_staged.isEmpty()) return false;
    if (::rename(encoded(m_staged).constData(), encoded(m_path).constData()) != 0)
        return fail(errno);
    m_staged.clear();
    // The rename itself is on the disk once the folder is: a failure here
    // leaves the new file in place, so it is not reported.
    const int folder = ::open(encoded(QFileInfo(m_path).absolutePath()).constData(),
                              O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder >= 0) {
        ::fsync(folder);
        ::close(folder);
    }
    return true;
}

FileWriteError writeFileWhole(const QString &path, const QByteArray &bytes)
{
    StagedFile file(path);
    if (file.stage(bytes) && file.commit()) return {};
    return file.error();
}

int appendWhole(int fd, const QByteArray &bytes, SyncToDisk sync)
{
    struct stat before {};
    if (::fstat(fd, &before) != 0) return errno;
    int code = writeAll(fd, bytes);
    if (code == 0 && sync == SyncToDisk::Yes) code = syncToDisk(fd);
    // Whatever part got in goes again: a reader of the file never meets half
    // a line. Nothing more can be done when that fails too.
    if (code != 0 && ::ftruncate(fd, before.st_size) != 0) {
        // The failure that brought us here is reported.
    }
    return code;
}

FileWriteError appendLines(const QString &path, const QByteArray &lines, SyncToDisk sync)
{
    FileWriteError error = unwritableTarget(path);
    if (error.failed()) return error;
    // Without blocking: a FIFO put at the name meanwhile must not hang us.
    const int fd = ::open(encoded(path).constData(),
                          O_RDWR | O_APPEND | O_CREAT | O_CLOEXEC | O_NOCTTY | O_NONBLOCK, 0666);
    if (fd < 0) return systemError(path, errno);
    struct stat info {};
    QByteArray bytes = lines;
    int code = ::fstat(fd, &info) == 0 ? 0 : errno;
    if (code == 0 && !S_ISREG(info.st_mode)) {
        error = {FileWriteError::Kind::NotARegularFile, path, 0};
    } else if (code == 0 && info.st_size > 0) {
        char last = '\n';
        if (::pread(fd, &last, 1, info.st_size - 1) == 1 && last != '\n') bytes.prepend('\n');
    }
    if (!error.failed() && code == 0) code = appendWhole(fd, bytes, sync);
    if (::close(fd) != 0 && code == 0 && errno != EINTR) code = errno;
    if (!error.failed() && code != 0) error = systemError(path, code);
    return error;
}
