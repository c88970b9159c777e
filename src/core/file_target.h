// What may stand at a name the program writes a file to.
#pragma once

#include <QString>

// Why no file may be written at `path`: something other than a regular file
// stands there (a folder, a device, a FIFO, a link to one). Empty when nothing
// or a regular file does. A save writes a new file and renames it over the
// old one, which would otherwise put a file in a device's place.
QString notARegularFile(const QString &path);
