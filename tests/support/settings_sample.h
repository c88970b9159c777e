// A valid settings file for the tests that break it one way at a time; its
// line numbers are what the rejections are checked against.
#pragma once

#include <QByteArray>
#include <QtGlobal>

namespace settingssample {

inline const QByteArray kValid = "{\n"                                   // 1
                                 "  \"format\": \"kx4720r-settings\",\n" // 2
                                 "  \"version\": 1,\n"                   // 3
                                 "  \"input\": {\n"                      // 4
                                 "    \"type\": \"voltage\",\n"          // 5
                                 "    \"low\": -10,\n"                   // 6
                                 "    \"high\": 10,\n"                   // 7
                                 "    \"unit\": \"V\"\n"                 // 8
                                 "  },\n"                                // 9
                                 "  \"output\": {\n"                     // 10
                                 "    \"type\": \"current\",\n"          // 11
                                 "    \"low\": 4,\n"                     // 12
                                 "    \"high\": 20,\n"                   // 13
                                 "    \"unit\": \"mA\"\n"                // 14
                                 "  }\n"                                 // 15
                                 "}\n";                                  // 16

// The valid file with the first `from` replaced by `to`.
inline QByteArray edited(const char *from, const char *to)
{
    QByteArray text = kValid;
    const qsizetype at = text.indexOf(from);
    Q_ASSERT(at >= 0);
    return text.replace(at, qsizetype(qstrlen(from)), to);
}

} // namespace settingssample
