// MBEngine: MBSendFrame, the framed receive path and the master transaction
// (send, answer timer with retries, acceptance of the addressed slave's reply).
#include "link/mbengine.h"

#include "link/commthread.h"
#include "link/mbframe.h"

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

bool MBEngine::masterEndWithPortError()
{
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

void MBEngine::masterSend()
{
    ++m_masterTransactions;
    // The outcome of this very send decides, not a port error status left
    // over from an earlier failed write.
    if (!sendMasterFrame()) {
        masterEndWithPortError();
        return;
    }
    if (!setStatusNow(TMBStatusNow::stnSending)) return;
    countTxFrame();
    updateTryStatistics(1);

    if (m_addressToSlave != 0) {
        if (!setStatusNow(TMBStatusNow::stnWaitingForAnswer)) return;
        m_sendingTime = calculateTimeOfSending(m_tx.MBDataNumberToSend(), m_baudRate);
        m_answerTimer.start(int(std::min<qint64>(answerInterval(), INT_MAX)));
        m_receiver.resetAssembly();
        return;
    }
    // A broadcast gets no reply.
    if (!setBusy(false)) return;
    if (!setStatusNow(TMBStatusNow::stnReady)) return;
    setStatus(TMBStatus::stOK);
    endTransaction();
}

void MBEngine::onAnswerTimeout()
{
    m_answerTimer.stop();
    // The timer only runs for a master transaction; a mode changed meanwhile
    // must not make a slave send master frames.
    if (m_mode != TMBMode::modeMaster) return;

    if (m_readerOpen && m_reader->device().outputWaiting() > 0) {
        // The request has not even left within its own answer window: the
        // line takes nothing (a peer that reads nothing, a stuck adapter).
        // Writes never wait for the line, so this is where that shows.
        m_reader->device().discardOutput();
        m_lastWriteError =
            QStringLiteral("The line took no characters for %1 ms").arg(answerInterval());
        emit transmitIndicatorOff();
        masterEndWithPortError();
        return;
    }

    if (m_tryNumber < m_maxTryNumber) {
        updateTryStatistics(m_tryNumber + 1);
        if (!sendMasterFrame()) {
            masterEndWithPortError();
            return;
        }
        if (!setStatusNow(TMBStatusNow::stnSending)) return;
        m_answerTimer.start(int(std::min<qint64>(answerInterval(), INT_MAX)));
        (void)setStatusNow(TMBStatusNow::stnWaitingForAnswer);
        return;
    }
    if (!setStatusNow(TMBStatusNow::stnTimeOut)) return;
    if (!setBusy(false)) return;
    setStatus(TMBStatus::stTimeOut);
    endTransaction();
}

// ---------------------------------------------------------------- receiving

void MBEngine::receiveFramed(const QByteArray &chunk)
{
    const quint64 transaction = m_masterTransactions;
    for (const char c : chunk) {
        // A handler may close the port halfway through the chunk; what follows
        // then belongs to no one.
        if (!m_readerOpen) return;
        // Nor can it answer a request a handler sent meanwhile: these
        // characters arrived before that request went out. (A late second
        // reply behind the one just taken would otherwise pass for the answer
        // to the next request, and every reply after it would be one behind.)
        if (m_masterTransactions != transaction) return;
        bool alive = true;
        switch (m_receiver.feed(std::uint8_t(c))) {
        case mb::RxEvent::StartAccepted:
            alive = setStatusNow(TMBStatusNow::stnReceiving);
            break;
        case mb::RxEvent::StartRefused:
        case mb::RxEvent::FrameDiscarded:
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
    emit receiveFlashed();
    m_answerTimer.stop();
    m_rx.loadFrame(m_receiver.frame());

    const int code = m_rx.command();
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
