// The reasons a failure gives, in the language of the message they go into.
// The system writes its reasons ("No space left on device") in its own
// language, and parts of this program write theirs ("... is not a regular
// file") in English; a Hungarian message must not carry them so.
#pragma once

#include "core/instrument_settings.h"

#include <QString>

// `reason` in `language` when it is one the program knows (the system's
// messages for the errors files meet, and the program's own reasons); as it
// is otherwise.
QString reasonText(const QString &reason, TextLanguage language);
