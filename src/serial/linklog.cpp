// The link's logging category: debug lines off unless the rules turn them on.
#include "serial/linklog.h"

Q_LOGGING_CATEGORY(lcLink, "kx4720r.link", QtInfoMsg)
