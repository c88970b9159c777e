// The window's drawings (terminal wiring, check mark, Back/Next glyphs),
// compiled in as Qt resources under ":/pictures/".
#pragma once

#include <QString>
#include <QStringList>

// Registers the resources. They live in a static library, whose resource
// initialiser the linker may drop, so every program and test that shows
// the pictures calls this once before loading one. Calling again is harmless.
void initPictures();

// Resource path of a picture by file name, e.g. picturePath("next.svg").
QString picturePath(const QString &fileName);

// File names of every picture shipped.
QStringList pictureNames();
