// MBEngine: MBSendFrame, the framed receive path and the master transaction
// (send, answer timer with retries, acceptance of the addressed slave's reply).
#include "link/mbengine.h"

#include "frame/mbframe.h"
#include "link/commthread.h"
#include "serial/linklog.h"

#include <algorithm>
#include <climits>

// ---------------------------------------------------------------- sending

void MBEngine::MBSendFrame()
{
    m_answerTimer.stop();
    if (!setBusy(true)) return;
    switch (m_mode) {
    case TMBMode::modeMaster:
        (void)masterSend();
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
    // Taken before the write: nothing read from then on can be older than
    // the request (the events the send raises may take their time).
    m_lastSentAt = Clock::now();
    if (!writeLine(line)) {
        emit transmitIndicatorOff();
        return false;
    }
    emit transmitFlashed();
    return true;
}

bool MBEngine::masterSend()
{
    // A transaction still waiting is abandoned by the host on purpose: what
    // it sent is no longer waited for, and its replies are taken as they
    // come.
    if (m_state == LinkState::AwaitingReply) {
        std::erase_if(m_unanswered,
                      [this](const Transmission &t) { return t.transaction == m_transaction; });
        m_state = LinkState::Idle;
    }
    // A reply still owed to an earlier try could not be told from the answer
    // to this request: the request waits until the line is clear.
    if (m_portOpen && portReady() && m_addressToSlave != 0 && repliesOwed()) {
        m_state = LinkState::ClearingLine;
        return true;
    }
    if (m_state == LinkState::ClearingLine) m_state = LinkState::Idle;
    return sendRequest();
}

bool MBEngine::sendRequest()
{
    // A new transaction: whatever was read for the one before no longer counts.
    ++m_transaction;
    // The outcome of this very send decides, not a port error status left
    // over from an earlier failed write.
    if (!sendMasterFrame()) return endWithPortError();
    if (!setStatusNow(TMBStatusNow::stnSending)) return false;
    countTxFrame();
    updateTryStatistics(1);
    // A broadcast gets no reply.
    if (m_addressToSlave == 0) return endWithoutReply();
    m_sendingTime = calculateTimeOfSending(m_tx.MBDataNumberToSend(), m_baudRate);
    noteTransmission();
    if (!awaitReply()) return false;
    m_receiver.resetAssembly();
    return true;
}

void MBEngine::noteTransmission()
{
    m_unanswered.push_back({m_transaction, m_lastSentAt, answerInterval()});
}

bool MBEngine::repliesOwed()
{
    // A reply is owed for one more answer window after its own, or as long
    // again as the slowest answer since the opening took: a slave that
    // answers just after the window answers the retry the same way. Past
    // that, the request (or its reply) is taken as lost on the line.
    const Clock::time_point now = Clock::now();
    Clock::time_point until = now;
    std::erase_if(m_unanswered, [&](const Transmission &t) {
        const auto owedUntil = t.sentAt + std::chrono::milliseconds(
                                              t.windowMs + std::max(t.windowMs, m_slowestAnswerMs));
        if (owedUntil <= now) return true;
        until = std::max(until, owedUntil);
        return false;
    });
    if (m_unanswered.empty()) return false;
    const auto wait = std::chrono::ceil<std::chrono::milliseconds>(until - now);
    qCDebug(lcLink).nospace() << m_unanswered.size() << " repl"
                              << (m_unanswered.size() == 1 ? "y" : "ies")
                              << " still owed to earlier tries: the next request waits up to "
                              << wait.count() << " ms for them";
    m_clearLineTimer.start(int(std::min<qint64>(wait.count(), INT_MAX)));
    return true;
}

bool MBEngine::onLineClear()
{
    if (m_state != LinkState::ClearingLine || m_mode != TMBMode::modeMaster) return true;
    if (!m_unanswered.empty() && repliesOwed()) return true; // still waiting
    m_clearLineTimer.stop();
    m_state = LinkState::Idle;
    return sendRequest();
}

// ---------------------------------------------------------------- transitions

bool MBEngine::awaitReply()
{
    if (!setStatusNow(TMBStatusNow::stnWaitingForAnswer)) return false;
    m_state = LinkState::AwaitingReply;
    m_timerTransaction = m_transaction;
    m_answerTimer.start(int(std::min<qint64>(answerInterval(), INT_MAX)));
    return true;
}

bool MBEngine::endWithReply(int code)
{
    m_state = LinkState::Idle;
    m_lastAnswered = true;
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
    m_lastAnswered = false;
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
    m_lastAnswered = true;
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
        // Writes never wait for the line, so this is where that shows. The
        // driver's queue goes too: a frame cut in two would otherwise go out
        // half, in front of the next request.
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
        noteTransmission();
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
    // These characters were read before anything sent from here on: a frame
    // among them cannot answer that. (A late second reply behind the one
    // just taken would otherwise pass for the answer to the next request,
    // and every reply after it would be one behind.)
    m_chunkReadAt = receivedAt();
    // Logging looks at the counts only when it is on.
    const bool logging = lcLink().isDebugEnabled();
    MBDiscardCounts seen;
    if (logging) seen = m_receiver.discards();
    for (qsizetype i = 0; i < chunk.size(); ++i) {
        // A handler may close the port halfway through the chunk; what follows
        // then belongs to no one.
        if (!portReady()) return;
        bool alive = true;
        switch (m_receiver.feed(std::uint8_t(chunk[i]))) {
        case mb::RxEvent::StartAccepted:
            if (logging) logDiscards(seen); // a frame cut short by this start
            alive = setStatusNow(TMBStatusNow::stnReceiving);
            break;
        case mb::RxEvent::FrameDiscarded:
            alive = damagedReplySeen() && onAssemblyReset();
            if (logging) logDiscards(seen);
            break;
        case mb::RxEvent::StartRefused:
            if (logging) logDiscards(seen);
            alive = onAssemblyReset();
            break;
        case mb::RxEvent::FrameAccepted:
            alive = onFrameAccepted();
            if (logging) logDiscards(seen);
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

MBEngine::ReplyRole MBEngine::matchReply()
{
    // The oldest transmission still unanswered, if it went out before these
    // characters were read; a reply never answers a request sent after it.
    if (m_unanswered.empty() || m_unanswered.front().sentAt > m_chunkReadAt)
        return ReplyRole::Unexpected;
    const Transmission answered = m_unanswered.front();
    m_unanswered.pop_front();
    const qint64 tookMs =
        std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - answered.sentAt)
            .count();
    m_slowestAnswerMs = std::max(m_slowestAnswerMs, tookMs);
    if (answered.transaction != m_transaction) return ReplyRole::Late;
    if (m_state == LinkState::AwaitingReply) return ReplyRole::Answer;
    // The latest transaction has ended. Its first reply after a time-out
    // still answers it (the host hears of it once more); a second reply to
    // one already answered is late.
    if (m_state == LinkState::Idle && !m_lastAnswered) return ReplyRole::Answer;
    return ReplyRole::Late;
}

bool MBEngine::masterFrameAccepted()
{
    const ReplyRole role = matchReply();
    if (role != ReplyRole::Answer) {
        // A reply to an earlier try, or to no request out now (the log line
        // of the discard follows).
        m_receiver.countDiscard(DiscardReason::LateReply);
        if (m_state == LinkState::ClearingLine && m_unanswered.empty()) return onLineClear();
        return onAssemblyReset();
    }
    const auto frame = m_receiver.frame();
    const int code = frame[2];
    const int dataBytes = int(frame.size() - mb::kMinFrame);
    if (code <= 128 && m_expectedReplyData >= 0 && dataBytes != m_expectedReplyData) {
        // Read by its layout, a shorter reply would give zeros for what is
        // missing and a longer one garbage: it is no reading. The window
        // keeps running, as after a frame that failed its CRC.
        m_receiver.countDiscard(DiscardReason::NotDecodable);
        m_lastNotDecodable = dataBytes;
        return onAssemblyReset();
    }
    emit receiveFlashed();
    m_answerTimer.stop();
    m_rx.loadFrame(frame);
    return endWithReply(m_rx.command());
}

bool MBEngine::damagedReplySeen()
{
    // A reply that came damaged still answered the oldest transmission
    // waiting, as long as its length says it was a reply.
    if (m_mode != TMBMode::modeMaster || m_expectedReplyData < 0 ||
        m_receiver.damagedFrameLength() != std::size_t(m_expectedReplyData) + mb::kMinFrame ||
        m_unanswered.empty() || m_unanswered.front().sentAt > m_chunkReadAt)
        return true;
    m_unanswered.pop_front();
    if (m_state == LinkState::ClearingLine && m_unanswered.empty()) return onLineClear();
    return true;
}
