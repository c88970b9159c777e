// The link's log: one line for each discarded frame and its reason, each
// re-send and each port failure. Off by default; turned on with
// QT_LOGGING_RULES="kx4720r.link.debug=true".
#pragma once

#include <QLoggingCategory>

Q_DECLARE_LOGGING_CATEGORY(lcLink)
