// Registration of the picture resources.
#include "ui/pictures.h"

#include <QtGlobal>

// Q_INIT_RESOURCE must be used outside any namespace.
static void registerPictureResources()
{
    Q_INIT_RESOURCE(pictures);
}

void initPictures()
{
    static const bool done = (registerPictureResources(), true);
    Q_UNUSED(done);
}

QString picturePath(const QString &fileName)
{
    return QStringLiteral(":/pictures/") + fileName;
}

QStringList pictureNames()
{
    return {QStringLiteral("Image_78.svg"),  QStringLiteral("Image_79.svg"),
            QStringLiteral("Image_710.svg"), QStringLiteral("Image_56.svg"),
            QStringLiteral("Image_34.svg"),  QStringLiteral("check.svg"),
            QStringLiteral("back.svg"),      QStringLiteral("next.svg")};
}
