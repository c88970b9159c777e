// What the link threw away, in words: the one wording the window's receive
// indicator and the command-line tool both use, so that the same line shows
// the same counts in either.
#pragma once

#include "frame/mbreceiver.h"

#include <QString>

namespace mb {

// "nothing discarded", "3 frames discarded (bad CRC 2, late reply 1)",
// "500 characters discarded outside a frame", or both parts:
// "3 frames discarded (bad CRC 3), 500 characters outside a frame".
QString discardSummaryText(const MBDiscardCounts &counts);
// A heading with the totals, then every reason on a line of its own with its
// count (the receive indicator's tool tip).
QString discardListText(const MBDiscardCounts &counts);

} // namespace mb
