// The failure kinds' sentences, as the command-line tool prints them.
#include "core/link_failure.h"

#include "ports/portinfo.h"
#include "protocol/instrument_protocol.h"

LinkFailure::Kind LinkFailure::ofOpening(PortFailure failure)
{
    switch (failure) {
    case PortFailure::None:
        return Kind::None;
    case PortFailure::NotFound:
        return Kind::PortMissing;
    case PortFailure::Busy:
        return Kind::PortBusy;
    case PortFailure::NoPermission:
        return Kind::NoPermission;
    default:
        return Kind::PortUnusable;
    }
}

QString LinkFailure::text() const
{
    switch (kind) {
    case Kind::None:
        return {};
    case Kind::PortMissing:
        return QStringLiteral("cannot open %1: %2 (\"kx4720r-cli ports\" lists the serial ports)")
            .arg(port, reason);
    case Kind::PortBusy:
        return QStringLiteral("%1 is %2; close that program or choose another port")
            .arg(port, reason);
    case Kind::NoPermission:
        return QStringLiteral("cannot open %1: %2; %3").arg(port, reason, permissionRemedy(group));
    case Kind::PortUnusable:
        return QStringLiteral("cannot use %1: %2").arg(port, reason);
    case Kind::PortLost:
        return QStringLiteral("lost the port %1: %2").arg(port, reason);
    case Kind::NoAnswer:
        return QStringLiteral("no answer from the instrument on %1 after %2 %3 of %4 ms%5; "
                              "check the cable, the instrument's power and the line speed")
            .arg(port)
            .arg(tries)
            .arg(tries == 1 ? QStringLiteral("try") : QStringLiteral("tries"))
            .arg(timeoutMs)
            .arg(tries == 1 ? QString() : QStringLiteral(" each"));
    case Kind::BadAnswer:
        return QStringLiteral("the instrument on %1 answered, but with replies that cannot be "
                              "read (%2 data bytes where the reply has %3), %4 tries of %5 ms "
                              "each; check that the instrument at address %6 is a KX4720R and "
                              "that no other device answers at that address")
            .arg(port)
            .arg(replyDataBytes)
            .arg(instrument::ReplyDataSize)
            .arg(tries)
            .arg(timeoutMs)
            .arg(instrument::Address);
    case Kind::Refused:
        return QStringLiteral("the instrument on %1 refused the request (result code %2)")
            .arg(port)
            .arg(resultCode);
    case Kind::Cancelled:
        return QStringLiteral("interrupted while talking to the instrument on %1").arg(port);
    }
    return {};
}
