// The readings file: its columns, their texts, and the writing of whole lines.
#include "core/readings_csv.h"

#include "core/file_write.h"
#include "core/number_text.h"

#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr const char16_t *Columns[] = {
    u"time",          u"input",         u"input unit",         u"output",
    u"output unit",   u"scale ratio",   u"temperature (degC)", u"status bits",
    u"ADAveragedCH0", u"ADAveragedCH1",
};
// The same in Hungarian; the converters' readings keep the names of their fields.
constexpr const char16_t *HungarianColumns[std::size(Columns)] = {
    u"idő",
    u"bemenet",
    u"bemenet mértékegysége",
    u"kimenet",
    u"kimenet mértékegysége",
    u"skálaarány",
    u"hőmérséklet (°C)",
    u"állapotbitek",
    u"ADAveragedCH0",
    u"ADAveragedCH1",
};

QString number(const std::optional<double> &value, QChar decimalMark)
{
    return value ? singlePrecisionText(*value, decimalMark) : QString();
}

} // namespace

CsvFormat CsvFormat::forLocale(const QLocale &locale)
{
    // A spreadsheet that reads numbers with a decimal comma splits fields at
    // semicolons.
    if (locale.decimalPoint() == QStringLiteral(",")) return {u';', u','};
    return {u',', u'.'};
}

ReadingsCsvWriter::ReadingsCsvWriter(CsvFormat format) : m_format(format) {}

ReadingsCsvWriter::~ReadingsCsvWriter()
{
    close();
}

QByteArray ReadingsCsvWriter::headerLine(const CsvFormat &format)
{
    const bool hu = format.language == TextLanguage::Hungarian;
    QStringList columns;
    for (std::size_t i = 0; i < std::size(Columns); ++i)
        columns << QString::fromUtf16(hu ? HungarianColumns[i] : Columns[i]);
    if (format.portColumn) columns.prepend(QStringLiteral("port"));
    return columns.join(format.separator).toUtf8() + '\n';
}

QByteArray ReadingsCsvWriter::line(const DecodedReading &reading, const CsvFormat &format,
                                   const QString &port)
{
    const QChar mark = format.decimalMark;
    const QString fields[] = {
        reading.time.toString(QStringLiteral("yyyy-MM-dd'T'HH:mm:ss.zzz")),
        number(reading.inputValue, mark),
        reading.inputUnit,
        number(reading.outputValue, mark),
        reading.outputUnit,
        singlePrecisionText(reading.scaleRatio, mark),
        number(reading.temperature, mark),
        QString::number(reading.statusBits),
        QString::number(reading.adAveragedCH0),
        QString::number(reading.adAveragedCH1),
    };
    QString text = fields[0];
    if (format.portColumn) {
        // A path with the separator or a quote in it stays one field.
        QString shown = port;
        if (shown.contains(format.separator) || shown.contains(u'"'))
            shown = u'"' + shown.replace(u'"', QStringLiteral("\"\"")) + u'"';
        text = shown + format.separator + text;
    }
    for (std::size_t i = 1; i < std::size(fields); ++i)
        text += format.separator + fields[i];
    return text.toUtf8() + '\n';
}

bool ReadingsCsvWriter::open(const QString &path)
{
    close();
    m_path = path;
    m_error = Error::None;
    m_systemMessage.clear();
    m_lines = 0;

    if (const FileWriteError refused = unwritableTarget(path); refused.failed()) {
        m_error = Error::CannotOpen;
        m_systemMessage = refused.reason();
        return false;
    }
    const QByteArray name = QFile::encodeName(path);
    // Without blocking: a FIFO or a terminal at the name must not hang us.
    m_fd = ::open(name.constData(), O_RDWR | O_CREAT | O_APPEND | O_CLOEXEC | O_NOCTTY | O_NONBLOCK,
                  0666);
    if (m_fd < 0) return fail(Error::CannotOpen, errno);
    struct stat info {};
    if (::fstat(m_fd, &info) != 0) return fail(Error::CannotOpen, errno);
    m_device = info.st_dev;
    m_inode = info.st_ino;
    if (!S_ISREG(info.st_mode)) {
        // A pipe or a device has no lines to take back.
        close();
        m_error = Error::CannotOpen;
        m_systemMessage = QStringLiteral("not a regular file");
        return false;
    }

    const QByteArray header = headerLine(m_format);
    if (info.st_size == 0) {
        if (writeWhole(header)) return true;
        const Error error = m_error;
        const QString message = m_systemMessage;
        close();
        m_error = error;
        m_systemMessage = message;
        return false;
    }
    // Readings are only ever added to a file of the same columns and format,
    // whichever language named the columns.
    CsvFormat other = m_format;
    other.language = m_format.language == TextLanguage::English ? TextLanguage::Hungarian
                                                                : TextLanguage::English;
    const QByteArray otherHeader = headerLine(other);
    QByteArray start(std::max(header.size(), otherHeader.size()), '\0');
    const ssize_t got = ::pread(m_fd, start.data(), std::size_t(start.size()), 0);
    start.truncate(std::max<ssize_t>(got, 0));
    if (!start.startsWith(header) && !start.startsWith(otherHeader)) {
        close();
        m_error = Error::ForeignFile;
        m_systemMessage = QStringLiteral("the file holds other data");
        return false;
    }
    return true;
}

bool ReadingsCsvWriter::append(const DecodedReading &reading, const QString &port)
{
    if (m_fd < 0) {
        m_error = Error::NotOpen;
        m_systemMessage = QStringLiteral("no file open");
        return false;
    }
    if (!writeWhole(line(reading, m_format, port))) return false;
    ++m_lines;
    m_error = Error::None;
    m_systemMessage.clear();
    return true;
}

bool ReadingsCsvWriter::writeWhole(const QByteArray &bytes)
{
    // A line every few milliseconds: passed to the system at once, synced by it.
    const int code = appendWhole(m_fd, bytes, SyncToDisk::No);
    return code == 0 || fail(Error::CannotWrite, code);
}

bool ReadingsCsvWriter::fail(Error error, int code)
{
    m_error = error;
    m_systemMessage = systemErrorText(code);
    if (error == Error::CannotOpen && m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
    }
    return false;
}

bool ReadingsCsvWriter::stillAtItsName()
{
    if (m_fd < 0) return false;
    struct stat atName {};
    if (::stat(QFile::encodeName(m_path).constData(), &atName) == 0 &&
        quint64(atName.st_dev) == m_device && quint64(atName.st_ino) == m_inode)
        return true;
    close();
    m_error = Error::Gone;
    m_systemMessage = QStringLiteral("the file is no longer at its name");
    return false;
}

void ReadingsCsvWriter::close()
{
    if (m_fd < 0) return;
    ::close(m_fd);
    m_fd = -1;
}

QString ReadingsCsvWriter::errorString() const
{
    switch (m_error) {
    case Error::None:
        return {};
    case Error::CannotOpen:
        return QStringLiteral("cannot open %1 for writing: %2").arg(m_path, m_systemMessage);
    case Error::ForeignFile:
        return QStringLiteral("%1 holds something other than readings in this format; choose "
                              "another file")
            .arg(m_path);
    case Error::CannotWrite:
        return QStringLiteral("cannot write to %1: %2").arg(m_path, m_systemMessage);
    case Error::NotOpen:
        return QStringLiteral("no readings file is open");
    case Error::Gone:
        return QStringLiteral("%1 was deleted, moved or replaced while it was written").arg(m_path);
    }
    return {};
}
