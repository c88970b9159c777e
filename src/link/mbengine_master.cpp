// MBEngine: MBSendFrame, the framed receive path and the master transaction
// (send, answer timer with retries, acceptance of the addressed slave's reply).
#include "link/mbengine.h"

#include "link/commthread.h"
#include "link/linklog.h"
#include "link/mbframe.h"

#include <algorithm>
#include <climits>

// ---------------------------------------------------------------- sending

void MBEngine::MBSendFrame()
{
    m_answerTimer.stop();
    if (!setBusy(true)) return;
    switch (m_mode) {
    case TMBMode::modeMaster:
        masterSend();
        break;
    case TMBMode::modeSlave:
        break; // a slave only answers
    case TMBMode::modeDiagnostic:
        diagnosticSend();
        break;
    case TMBMode::modeByte:
        rawSend(false);
        break;
    case TMBMode::modeString:
        rawSend(true);
        break;
    }
}

bool MBEngine::sendMasterFrame()
{
    if (!m_portOpen) return false;
    const auto frame =
        m_tx.buildFrame(mb::masterAddressByte(std::uint8_t(m_addressToSlave), m_queryMode),
                        std::uint8_t(m_idToSlave), std::uint8_t(m_commandToSlave));
    // The whole frame goes to the driver in one write: the same characters
    // in the same order as pair by pair, without a system call per pair.
    QByteArray line(qsizetype(frame.size() * 2), Qt::Uninitialized);
    mb::encodeLine(
        frame, std::span(reinterpret_cast<std::uint8_t *>(line.data()), std::size_t(line.size())));
    if (!writeLine(line)) {
        emit transmitIndicatorOff();
        return false;
    }
    emit transmitFlashed();
    return true;
}

void MBEngine::masterSend()
{
    // A new transaction: whatever was read for the one before no longer counts.
    ++m_transaction;
    // The outcome of this very send decides, not a port error status left
    // over from an earlier failed write.
    if (!sendMasterFrame()) {
        endWithPortError();
        return;
    }
    if (!setStatusNow(TMBStatusNow::stnSending)) return;
    countTxFrame();
    updateTryStatistics(1);
    // A broadcast gets no reply.
    if (m_addressToSlave == 0) {
        endWithoutReply();
        return;
    }
    if (!awaitReply()) return;
    m_receiver.resetAssembly();
}

// ---------------------------------------------------------------- transitions

bool MBEngine::awaitReply()
{
    if (!setStatusNow(TMBStatusNow::stnWaitingForAnswer)) return false;
    m_sendingTime = calculateTimeOfSending(m_tx.MBDataNumberToSend(), m_baudRate);
    m_state = LinkState::AwaitingReply;
    m_timerTransaction = m_transaction;
    m_answerTimer.start(int(std::min<qint64>(answerInterval(), INT_MAX)));
    return true;
}

bool MBEngine::endWithReply(int code)
{
    m_state = LinkState::Idle;
    if (code > 128) {
        setStatus(TMBStatus::stSlaveGlobalError, code);
    } else {
        ++m_rxFrames;
        emit rxCounterChanged(m_rxFrames);
        setStatus(TMBStatus::stOK);
    }
    if (!setStatusNow(TMBStatusNow::stnReady)) return false;
    if (!setBusy(false)) return false;
    return endTransaction();
}

bool MBEngine::endWithoutReply()
{
    m_state = LinkState::Idle;
    if (!setBusy(false)) return false;
    if (!setStatusNow(TMBStatusNow::stnReady)) return false;
    setStatus(TMBStatus::stOK);
    return endTransaction();
}

bool MBEngine::endTimedOut()
{
    m_state = LinkState::Idle;
    if (!setStatusNow(TMBStatusNow::stnTimeOut)) return false;
    if (!setBusy(false)) return false;
    setStatus(TMBStatus::stTimeOut);
    return endTransaction();
}

bool MBEngine::endWithPortError()
{
    // The port may still count as open; MBBusy stays true until the next
    // send or opening.
    if (portReady()) m_state = LinkState::Idle;
    if (!setStatusNow(TMBStatusNow::stnPortError)) return false;
    setStatus(TMBStatus::stPortError);
    if (!setBusy(true)) return false;
    return endTransaction();
}

bool MBEngine::endTransaction()
{
    // Copies: a handler that deletes the engine must not leave later
    // receivers of the event with texts that went with it.
    const TMBStatus status = m_status;
    const QString text = m_statusString;
    return survives([&] { emit OnMBMasterEndOfEvent(status, text); });
}

// ---------------------------------------------------------------- answer timer

void MBEngine::onAnswerTimeout()
{
    m_answerTimer.stop();
    // Only the timer of the transaction awaited now counts; a mode changed
    // meanwhile must not make a slave send master frames.
    if (m_state != LinkState::AwaitingReply || m_mode != TMBMode::modeMaster ||
        !belongsToTransaction(m_timerTransaction))
        return;

    if (m_reader->device().outputWaiting() > 0) {
        // The request has not even left within its own answer window: the
        // line takes nothing (a peer that reads nothing, a stuck adapter).
        // Writes never wait for the line, so this is where that shows.
        m_reader->device().discardOutput();
        m_lastWriteFailure = SerialStatus::failure(
            ETIMEDOUT,
            QStringLiteral("The line took no characters for %1 ms").arg(answerInterval()));
        qCDebug(lcLink).noquote() << "port failure (lost):" << m_lastWriteFailure.message;
        emit transmitIndicatorOff();
        endWithPortError();
        return;
    }

    if (m_tryNumber < m_maxTryNumber) {
        qCDebug(lcLink).nospace() << "no reply from slave " << m_addressToSlave << " within "
                                  << answerInterval() << " ms: try " << m_tryNumber + 1 << " of "
                                  << m_maxTryNumber;
        updateTryStatistics(m_tryNumber + 1);
        if (!sendMasterFrame()) {
            endWithPortError();
            return;
        }
        if (!setStatusNow(TMBStatusNow::stnSending)) return;
        m_answerTimer.start(int(std::min<qint64>(answerInterval(), INT_MAX)));
        (void)setStatusNow(TMBStatusNow::stnWaitingForAnswer);
        return;
    }
    qCDebug(lcLink).nospace() << "no reply from slave " << m_addressToSlave << " after "
                              << m_maxTryNumber << " tries: time-out";
    endTimedOut();
}

// ---------------------------------------------------------------- receiving

void MBEngine::receiveFramed(const QByteArray &chunk)
{
    const quint64 transaction = m_transaction;
    // Logging looks at the counts only when it is on.
    const bool logging = lcLink().isDebugEnabled();
    MBDiscardCounts seen;
    if (logging) seen = m_receiver.discards();
    for (qsizetype i = 0; i < chunk.size(); ++i) {
        // A handler may close the port halfway through the chunk; what follows
        // then belongs to no one.
        if (!portReady()) return;
        // Nor can it answer a request a handler sent meanwhile: these
        // characters arrived before that request went out. (A late second
        // reply behind the one just taken would otherwise pass for the answer
        // to the next request, and every reply after it would be one behind.)
        if (!belongsToTransaction(transaction)) {
            dropLateCharacters(QByteArrayView(chunk).sliced(i));
            return;
        }
        bool alive = true;
        switch (m_receiver.feed(std::uint8_t(chunk[i]))) {
        case mb::RxEvent::StartAccepted:
            if (logging) logDiscards(seen); // a frame cut short by this start
            alive = setStatusNow(TMBStatusNow::stnReceiving);
            break;
        case mb::RxEvent::StartRefused:
        case mb::RxEvent::FrameDiscarded:
            if (logging) logDiscards(seen);
            alive = onAssemblyReset();
            break;
        case mb::RxEvent::FrameAccepted:
            alive = onFrameAccepted();
            break;
        case mb::RxEvent::None:
        case mb::RxEvent::Ignored:
        case mb::RxEvent::ByteStored:
            break;
        }
        // A handler deleted the engine: nothing of it is left to go on with.
        if (!alive) return;
    }
    if (logging) logDiscards(seen); // characters outside a frame
}

void MBEngine::dropLateCharacters(QByteArrayView rest)
{
    // Each start flag among them is a reply (or a frame) that came too late;
    // without one they are the rest of such a reply.
    const auto starts = std::count_if(rest.begin(), rest.end(), [](char c) {
        return (std::uint8_t(c) & (mb::kHighNibbleBit | mb::kStartFlag)) ==
               (mb::kHighNibbleBit | mb::kStartFlag);
    });
    const auto late = std::uint32_t(std::max<qsizetype>(starts, 1));
    m_receiver.countDiscard(DiscardReason::LateReply, late);
    qCDebug(lcLink).nospace() << "discarded " << late << ": "
                              << mb::discardReasonText(DiscardReason::LateReply);
}

void MBEngine::logDiscards(MBDiscardCounts &seen) const
{
    const MBDiscardCounts &now = m_receiver.discards();
    for (const DiscardReason reason : mb::kDiscardReasons) {
        const std::uint32_t added = now[reason] - seen[reason];
        if (added == 0) continue;
        qCDebug(lcLink).nospace() << "discarded " << added << ": " << mb::discardReasonText(reason);
    }
    seen = now;
}

bool MBEngine::acceptFirstByte(quint8 firstByte) const
{
    switch (m_mode) {
    case TMBMode::modeMaster:
        // Only a slave's reply (bit 7) from the addressed slave; requests on
        // the line, our own echo included, have bit 7 clear.
        return (firstByte & mb::kReplyFlag) && (firstByte & 0x0F) == m_addressToSlave;
    case TMBMode::modeSlave:
        return !(firstByte & mb::kReplyFlag) &&
               ((firstByte & 0x0F) == m_slaveOwnAddress || (firstByte & 0x0F) == 0);
    case TMBMode::modeDiagnostic:
        return true;
    case TMBMode::modeByte:
    case TMBMode::modeString:
        return false;
    }
    return false;
}

bool MBEngine::onAssemblyReset()
{
    switch (m_mode) {
    case TMBMode::modeMaster:
        return setStatusNow(TMBStatusNow::stnWaitingForAnswer);
    case TMBMode::modeSlave:
        return setStatusNow(TMBStatusNow::stnWaitingForCommand);
    default:
        return true;
    }
}

bool MBEngine::onFrameAccepted()
{
    switch (m_mode) {
    case TMBMode::modeMaster:
        return masterFrameAccepted();
    case TMBMode::modeSlave:
        return slaveFrameAccepted();
    case TMBMode::modeDiagnostic:
        return diagnosticFrameAccepted();
    case TMBMode::modeByte:
    case TMBMode::modeString:
        break; // no framing in these modes
    }
    return true;
}

bool MBEngine::masterFrameAccepted()
{
    // Any well-formed reply of the addressed slave ends the transaction, and
    // one that comes while none is awaited (late, after the time-out) ends
    // "it" once more: the host hears of every reply.
    emit receiveFlashed();
    m_answerTimer.stop();
    m_rx.loadFrame(m_receiver.frame());
    return endWithReply(m_rx.command());
}
