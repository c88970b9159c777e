// The "Files" section of the initialisation file, kept through the file's own
// reader and writer.
#include "app/file_memory.h"

QString FileMemory::value(const char *key) const
{
    return m_file.value(QString::fromLatin1(Section), QString::fromLatin1(key));
}

IniSaveResult FileMemory::setValue(const char *key, const QString &value) const
{
    return m_file.setValue(QString::fromLatin1(Section), QString::fromLatin1(key), value);
}
