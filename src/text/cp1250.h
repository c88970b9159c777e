// Windows-1250, the Central European code page in which every text crosses
// the line (the slave name, string mode). Table-driven, so it does not
// depend on which code pages the Qt build happens to carry.
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

namespace mb {

// One byte per character; a character the code page lacks becomes '?'.
QByteArray toWindows1250(QStringView text);
// One character per byte. The five bytes the code page leaves without a
// character (0x81, 0x83, 0x88, 0x90, 0x98) keep their value as the control
// characters U+0081 and so on, so a text read and written back is the same bytes.
QString fromWindows1250(QByteArrayView bytes);

} // namespace mb
