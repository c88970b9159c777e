// What may stand at a name the program writes a file to (see file_target.h).
#include "core/file_target.h"

#include <QFileInfo>

QString notARegularFile(const QString &path)
{
    const QFileInfo info(path);
    if (info.exists() && !info.isFile())
        return QStringLiteral("%1 is not a regular file").arg(path);
    return {};
}
