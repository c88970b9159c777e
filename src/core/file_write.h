// Writing the files the programs keep (settings files, the initialisation
// file, calibration reports, the calibration log, readings files) so that a
// failure never costs the user what the file held before. A new version goes
// whole into a temporary file beside the old one, is checked and synced to
// the disk, and only then renamed over it; on any failure the old file stays
// as it was and the temporary is removed. An append adds whole lines or
// nothing. The reasons a write fails are worded here, in one place.
#pragma once

#include "core/instrument_settings.h"

#include <QByteArray>
#include <QString>

struct FileWriteError {
    enum class Kind {
        None,
        NotARegularFile, // a folder, a device or a FIFO stands at the name
        ReadOnly,        // the file's owner may not write it (kept so even for root)
        System,          // the system refused a step; code says why
    };
    Kind kind = Kind::None;
    QString path;
    int code = 0; // System: errno

    bool failed() const { return kind != Kind::None; }
    // "No space left on device", "the file is read-only", ...; the path is
    // the caller's to name.
    QString reason(TextLanguage language = TextLanguage::English) const;
};

// The system's reason for an errno, in the user's language.
QString systemErrorText(int code, TextLanguage language = TextLanguage::English);

// Why nothing may be written at `path`: something other than a regular file
// stands there, or a file its owner may not write. None when a regular file
// that may be written, or nothing, stands there. Links are followed.
FileWriteError unwritableTarget(const QString &path);

// A file's new contents, written beside it and not yet in its place. Put
// several files in place together by staging each before committing any.
class StagedFile {
public:
    explicit StagedFile(QString path);
    ~StagedFile(); // removes the temporary file unless it was committed
    StagedFile(const StagedFile &) = delete;
    StagedFile &operator=(const StagedFile &) = delete;

    // Writes `bytes` whole into a temporary file beside the target (with the
    // old file's permissions) and syncs it to the disk.
    bool stage(const QByteArray &bytes);
    // Renames the staged file over the target.
    bool commit();
    const FileWriteError &error() const { return m_error; }

private:
    bool fail(int code);

    QString m_path;   // the file meant, links followed
    QString m_staged; // the temporary file, while there is one
    FileWriteError m_error;
};

// stage() and commit() at once.
FileWriteError writeFileWhole(const QString &path, const QByteArray &bytes);

enum class SyncToDisk { No, Yes };
// Writes `bytes` at the end of the open file; when they do not all get in,
// the part that did is taken back, so the file never holds half a line.
// 0 when done, otherwise errno.
int appendWhole(int fd, const QByteArray &bytes, SyncToDisk sync);
// Opens (creating it) and appends to the file at `path`, a regular file its
// owner may write. A file that does not end with a line's end (cut short by
// a crash) gets one first, so the new line stands alone.
FileWriteError appendLines(const QString &path, const QByteArray &lines, SyncToDisk sync);
