// Readings files: one line per decoded instrument reply, for a spreadsheet.
// A header line names the columns; the separator and the decimal mark follow
// the locale the way spreadsheets read them (comma-separated with a decimal
// point, semicolon-separated with a decimal comma). Each line goes to the
// system as soon as it is written, and a line that cannot be written whole is
// taken back, so a full disk or a stopped program never leaves half a line.
#pragma once

#include "core/decoded_reading.h"
#include "core/instrument_settings.h"

#include <QByteArray>
#include <QChar>
#include <QLocale>
#include <QString>

struct CsvFormat {
    QChar separator = u',';
    QChar decimalMark = u'.';
    // Of the header's column names; the lines are the same in both.
    TextLanguage language = TextLanguage::English;
    // A first column with the port of each reading: one file for many
    // instruments.
    bool portColumn = false;

    static CsvFormat forLocale(const QLocale &locale);

    bool operator==(const CsvFormat &) const = default;
};

class ReadingsCsvWriter {
public:
    enum class Error {
        None,
        CannotOpen,  // the file cannot be created or opened for writing
        ForeignFile, // the file holds something other than readings in this format
        CannotWrite, // a line could not be written (disk full, device gone, ...)
        NotOpen,
        Gone, // the file was deleted, moved or replaced while it was written
    };

    explicit ReadingsCsvWriter(CsvFormat format = CsvFormat::forLocale(QLocale()));
    ~ReadingsCsvWriter();
    ReadingsCsvWriter(const ReadingsCsvWriter &) = delete;
    ReadingsCsvWriter &operator=(const ReadingsCsvWriter &) = delete;

    // Creates the file with its header line, or continues a file that holds
    // readings in the same format (its header in either language); a file
    // with other contents is left alone.
    bool open(const QString &path);
    // Writes the reading's line. On failure nothing of the line stays in the
    // file and the writer stays open, so a later line may succeed.
    bool append(const DecodedReading &reading, const QString &port = {});
    void close();
    // Whether the file open is still the one at its name. A file deleted (or
    // its folder), moved away or replaced keeps taking lines that nobody will
    // ever read: false, with the error Gone, and the writer closed.
    bool stillAtItsName();

    bool isOpen() const { return m_fd >= 0; }
    QString path() const { return m_path; }
    CsvFormat format() const { return m_format; }
    int linesWritten() const { return m_lines; }

    Error error() const { return m_error; }
    // The system's reason for the last failure ("No space left on device").
    QString systemMessage() const { return m_systemMessage; }
    // The failure as one English sentence naming the file.
    QString errorString() const;

    static QByteArray headerLine(const CsvFormat &format);
    static QByteArray line(const DecodedReading &reading, const CsvFormat &format,
                           const QString &port = {});

private:
    bool writeWhole(const QByteArray &bytes);
    bool fail(Error error, int code);

    CsvFormat m_format;
    QString m_path;
    int m_fd = -1;
    int m_lines = 0;
    // The open file's identity (device, inode).
    quint64 m_device = 0;
    quint64 m_inode = 0;
    Error m_error = Error::None;
    QString m_systemMessage;
};
