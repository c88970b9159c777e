// Why an exchange with the instrument failed, as a kind with the system's own
// message beside it. The kind comes from the link engine's own failure kinds
// and from how a transaction ended; no host reads a reason back out of a text.
#pragma once

#include "link/mbtypes.h"
#include "serial/serialdevice.h"

#include <QString>

struct LinkFailure {
    enum class Kind {
        None,
        PortMissing,  // no such device
        PortBusy,     // another program holds it
        NoPermission, // the user may not open it
        PortUnusable, // it opened but is no serial port at this speed, or similar
        PortLost,     // it went away or failed while in use
        NoAnswer,     // every try timed out
        BadAnswer,    // every try timed out, and replies came that could not be decoded
        Refused,      // the instrument answered with an error result code
        Cancelled,    // the user interrupted
    };
    Kind kind = Kind::None;
    QString port;
    QString reason;         // the system's message
    QString group;          // NoPermission: the group that owns the device, when known
    int resultCode = 0;     // Refused
    int tries = 0;          // NoAnswer, BadAnswer
    int timeoutMs = 0;      // NoAnswer, BadAnswer: the answer window per try
    int replyDataBytes = 0; // BadAnswer: the length of the last reply that could not be decoded

    // The kind of a port that could not be opened.
    static Kind ofOpening(PortFailure failure);

    bool portProblem() const
    {
        return kind == Kind::PortMissing || kind == Kind::PortBusy || kind == Kind::NoPermission ||
               kind == Kind::PortUnusable || kind == Kind::PortLost;
    }
    // One sentence: what went wrong, and what to do about it where there is
    // something to do.
    QString text() const;
};
