// Reading and rendering PDFs with poppler's tools.
#include "support/pdftext.h"

#include <QFile>
#include <QProcess>

QString pdfText(const QString &path)
{
    QProcess process;
    process.start(QStringLiteral("pdftotext"),
                  {QStringLiteral("-enc"), QStringLiteral("UTF-8"), path, QStringLiteral("-")});
    if (!process.waitForFinished(30000) || process.exitCode() != 0) return {};
    return QString::fromUtf8(process.readAllStandardOutput()).simplified().remove(u' ');
}

bool pdfShows(const QString &pdf, QString text)
{
    return pdf.contains(text.remove(u' '));
}

bool renderFirstPage(const QString &pdfPath, const QString &pngPath)
{
    QString base = pngPath;
    if (base.endsWith(QLatin1String(".png"))) base.chop(4);
    QProcess process;
    process.start(QStringLiteral("pdftoppm"),
                  {QStringLiteral("-png"), QStringLiteral("-r"), QStringLiteral("100"),
                   QStringLiteral("-f"), QStringLiteral("1"), QStringLiteral("-l"),
                   QStringLiteral("1"), QStringLiteral("-singlefile"), pdfPath, base});
    return process.waitForFinished(30000) && process.exitCode() == 0 && QFile::exists(pngPath);
}
