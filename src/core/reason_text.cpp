// The known reasons in both languages.
#include "core/reason_text.h"

#include <QRegularExpression>

#include <array>
#include <cerrno>
#include <cstring>

namespace {

struct SystemReason {
    int code;
    const char16_t *english; // as the C library writes it without a locale
    const char16_t *hungarian;
};

// What saving, logging and recording meet on a bench PC's disks and drives.
constexpr std::array<SystemReason, 16> kSystemReasons{{
    {ENOSPC, u"No space left on device", u"Nincs több hely az eszközön"},
    {EDQUOT, u"Disk quota exceeded", u"Elfogyott a lemezkvóta"},
    {EFBIG, u"File too large", u"A fájl túl nagy"},
    {EACCES, u"Permission denied", u"Hozzáférés megtagadva"},
    {EPERM, u"Operation not permitted", u"A művelet nem engedélyezett"},
    {EROFS, u"Read-only file system", u"Csak olvasható fájlrendszer"},
    {ENOENT, u"No such file or directory", u"Nincs ilyen fájl vagy könyvtár"},
    {ENOTDIR, u"Not a directory", u"Nem könyvtár"},
    {EISDIR, u"Is a directory", u"Ez egy könyvtár"},
    {EEXIST, u"File exists", u"A fájl már létezik"},
    {ENAMETOOLONG, u"File name too long", u"A fájlnév túl hosszú"},
    {ELOOP, u"Too many levels of symbolic links", u"Túl sok szimbolikus link követi egymást"},
    {EIO, u"Input/output error", u"Bemeneti/kimeneti hiba"},
    {ENXIO, u"No such device or address", u"Nincs ilyen eszköz vagy cím"},
    {EBUSY, u"Device or resource busy", u"Az eszköz vagy az erőforrás foglalt"},
    {EMFILE, u"Too many open files", u"Túl sok a megnyitott fájl"},
}};

// The program's own reasons; %1 stands for the name they carry.
struct OwnReason {
    const char16_t *english;
    const char16_t *hungarian;
};

constexpr std::array<OwnReason, 5> kOwnReasons{{
    {u"%1 is not a regular file", u"%1 nem közönséges fájl"},
    {u"not a regular file", u"nem közönséges fájl"},
    {u"cannot create the folder %1", u"a(z) %1 mappa nem hozható létre"},
    {u"no data folder is known (neither XDG_DATA_HOME nor HOME is set)",
     u"nincs ismert adatmappa (sem az XDG_DATA_HOME, sem a HOME nincs megadva)"},
    {u"the PDF writer could not start", u"a PDF-író nem indult el"},
}};

// The pattern of an own reason, with its %1 matching any name.
QRegularExpression patternOf(const QString &text)
{
    QStringList parts = text.split(QStringLiteral("%1"));
    for (QString &part : parts)
        part = QRegularExpression::escape(part);
    return QRegularExpression(
        QRegularExpression::anchoredPattern(parts.join(QStringLiteral("(.+)"))));
}

} // namespace

QString reasonText(const QString &reason, TextLanguage language)
{
    const bool hu = language == TextLanguage::Hungarian;
    for (const SystemReason &known : kSystemReasons) {
        // The system's words in its own locale, too.
        const QString english = QString::fromUtf16(known.english);
        const QString hungarian = QString::fromUtf16(known.hungarian);
        if (reason == english || reason == hungarian ||
            reason == QString::fromLocal8Bit(std::strerror(known.code)))
            return hu ? hungarian : english;
    }
    for (const OwnReason &own : kOwnReasons) {
        for (const char16_t *text : {own.english, own.hungarian}) {
            const QRegularExpressionMatch match = patternOf(QString::fromUtf16(text)).match(reason);
            if (!match.hasMatch()) continue;
            QString translated = QString::fromUtf16(hu ? own.hungarian : own.english);
            return match.lastCapturedIndex() > 0 ? translated.arg(match.captured(1)) : translated;
        }
    }
    return reason;
}
