// The exchange's steps: a request out, one decoding of its reply, the
// failure's kind from how the transaction ended and from the engine's own
// failure kinds.
#include "core/instrument_exchange.h"

#include "link/mbengine.h"

#include <cstdlib>
#include <utility>

namespace {

// While TZ is unset the C library looks at /etc/localtime again (a stat) at
// every conversion to local time: three times an exchange in the window (the
// request's date, the reply's time, the trend's point), and in the tool under
// a lock all the rack's threads share. Naming that file in TZ has it read
// once per run; this runs before main(), before any thread.
// A TZ of the user's own is kept. A zone changed while the program runs
// shows from its next start.
[[maybe_unused]] const bool kLocalZoneReadOnce = [] {
    if (!qEnvironmentVariableIsSet("TZ")) ::setenv("TZ", ":/etc/localtime", 0);
    return true;
}();

} // namespace

InstrumentExchange::InstrumentExchange(MBEngine &engine, QObject *parent)
    : QObject(parent), m_engine(engine)
{
    m_engine.setMBMasterAddressToSlave(instrument::Address);
    m_engine.setMBMasterIDToSlave(instrument::RequestId);
    // A reply of another length than the reply's layout holds no reading:
    // the engine throws it away (counted as not decodable) and goes on
    // waiting, so a short reply never shows as zeros.
    m_engine.setExpectedReplyDataBytes(instrument::ReplyDataSize);
}

void InstrumentExchange::followEngine()
{
    connect(&m_engine, &MBEngine::OnMBMasterEndOfEvent, this,
            [this](TMBStatus status, const QString &) { take(status); });
}

bool InstrumentExchange::send(const InstrumentRequest &request)
{
    m_engine.setMBMasterCommandToSlave(instrument::RequestCommand);
    if (!writeRequest(m_engine.txBuffer(), request)) {
        LinkFailure failure;
        failure.kind = LinkFailure::Kind::PortUnusable;
        failure.reason = QStringLiteral("the request holds a value that cannot travel");
        fail(std::move(failure));
        // Not an end of a transaction: the views hear of it at once, after
        // the end they are still to be shown.
        showTaken();
        emit failureShown(m_failure);
        return false;
    }
    m_request = request;
    m_notDecodableAtSend = m_engine.discardCounts().notDecodable;
    emit requestSent(request);
    m_engine.MBSendFrame(); // a closed or failing port ends the transaction at once
    return true;
}

ExchangeReply InstrumentExchange::linkReply() const
{
    // The buffer's own read index is the link panel's, not ours.
    return decodeReply(m_engine.rxBuffer(), m_request);
}

void InstrumentExchange::take(TMBStatus status, Views views)
{
    m_showDue = false; // an end never shown is overtaken by this one
    const int tries = m_engine.MBMasterTryNumber();
    LinkFailure failure;
    switch (status) {
    case TMBStatus::stOK: {
        ExchangeReply decoded = linkReply();
        decoded.tries = tries;
        decoded.reading.time = QDateTime::currentDateTime();
        m_last = std::move(decoded);
        m_failure = {};
        emit replyDecoded(*m_last);
        break;
    }
    case TMBStatus::stSlaveGlobalError:
        m_last.reset();
        failure.kind = LinkFailure::Kind::Refused;
        failure.resultCode = m_engine.rxBuffer().command();
        fail(std::move(failure));
        break;
    case TMBStatus::stTimeOut:
        // Replies that came but could not be read are a bad answer, not silence.
        failure.kind = m_engine.discardCounts().notDecodable != m_notDecodableAtSend
                           ? LinkFailure::Kind::BadAnswer
                           : LinkFailure::Kind::NoAnswer;
        failure.tries = m_engine.MBMasterMaxTryNumber();
        failure.timeoutMs = int(m_engine.answerInterval());
        failure.replyDataBytes = m_engine.lastNotDecodableDataBytes();
        fail(std::move(failure));
        break;
    case TMBStatus::stPortError:
        failure.kind = LinkFailure::Kind::PortLost;
        // Still open: the frame could not be written. Closed: the port was lost.
        failure.reason = m_engine.MBPortOpen() ? m_engine.lastWriteFailure().message
                                               : m_engine.portFailureStatus().message;
        fail(std::move(failure));
        break;
    }
    emit ended(status);
    m_shownFailure = m_failure;
    m_showDue = true;
    if (views == Views::Now) showTaken();
}

void InstrumentExchange::showTaken()
{
    if (!std::exchange(m_showDue, false)) return;
    if (m_shownFailure.kind == LinkFailure::Kind::None && m_last)
        emit replyShown(*m_last);
    else
        emit failureShown(m_shownFailure);
}

bool InstrumentExchange::goesOn(TMBStatus status)
{
    if (!m_engine.MBPortOpen()) return false;
    if (status == TMBStatus::stPortError) {
        // Closed the way a lost port ends: lamp red with the reason, the port
        // list probed again so the user can open a port at once.
        m_engine.closePortAfterFailure();
        return false;
    }
    return true;
}

void InstrumentExchange::fail(LinkFailure failure)
{
    failure.port = m_engine.Port();
    m_failure = std::move(failure);
    emit failed(m_failure);
}

void InstrumentExchange::noteUndecodable(const char *what)
{
    m_engine.noteUndecodableFrame(what);
}
