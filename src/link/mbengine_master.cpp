// MBEngine: MBSendFrame, the framed receive path and the master transaction
// (send, answer timer with retries, acceptance of the addressed slave's reply).
#include "link/mbengine.h"

#include "link/mbframe.h"

#include <climits>

// ---------------------------------------------------------------- sending

void MBEngine::MBSendFrame()
{
    m_answerTimer.stop();
    setBusy(true);
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
        setStatusNow(TMBStatusNow::stnPortError);
        setStatus(TMBStatus::stPortError);
        setBusy(true);
        return false;
    }
    emit transmitFlashed();
    return true;
}

void MBEngine::masterEndWithPortError()
{
    if (m_statusNow != TMBStatusNow::stnPortError) setStatusNow(TMBStatusNow::stnPortError);
    setBusy(true);
    setStatus(TMBStatus::stPortError);
    emit OnMBMasterEndOfEvent(m_status, m_statusString);
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
    setStatusNow(TMBStatusNow::stnSending);
    countTxFrame();
    updateTryStatistics(1);

    if (m_addressToSlave != 0) {
        setStatusNow(TMBStatusNow::stnWaitingForAnswer);
        m_sendingTime = calculateTimeOfSending(m_tx.MBDataNumberToSend(), m_baudRate);
        m_answerTimer.start(int(std::min<qint64>(answerInterval(), INT_MAX)));
        m_receiver.resetAssembly();
        return;
    }
    // A broadcast gets no reply.
    setBusy(false);
    setStatusNow(TMBStatusNow::stnReady);
    setStatus(TMBStatus::stOK);
    emit OnMBMasterEndOfEvent(m_status, m_statusString);
}

void MBEngine::onAnswerTimeout()
{
    m_answerTimer.stop();
    // The timer only runs for a master transaction; a mode changed meanwhile
    // must not make a slave send master frames.
    if (m_mode != TMBMode::modeMaster) return;

    if (m_tryNumber < m_maxTryNumber) {
        updateTryStatistics(m_tryNumber + 1);
        if (!sendMasterFrame()) {
            masterEndWithPortError();
            return;
        }
        setStatusNow(TMBStatusNow::stnSending);
        m_answerTimer.start(int(std::min<qint64>(answerInterval(), INT_MAX)));
        setStatusNow(TMBStatusNow::stnWaitingForAnswer);
        return;
    }
    setStatusNow(TMBStatusNow::stnTimeOut);
    setBusy(false);
    setStatus(TMBStatus::stTimeOut);
    emit OnMBMasterEndOfEvent(m_status, m_statusString);
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
        switch (m_receiver.feed(std::uint8_t(c))) {
        case mb::RxEvent::StartAccepted:
            setStatusNow(TMBStatusNow::stnReceiving);
            break;
        case mb::RxEvent::StartRefused:
        case mb::RxEvent::FrameDiscarded:
            onAssemblyReset();
            break;
        case mb::RxEvent::FrameAccepted:
            onFrameAccepted();
            break;
        case mb::RxEvent::None:
        case mb::RxEvent::Ignored:
        case mb::RxEvent::ByteStored:
            break;
        }
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

void MBEngine::onAssemblyReset()
{
    switch (m_mode) {
    case TMBMode::modeMaster:
        setStatusNow(TMBStatusNow::stnWaitingForAnswer);
        break;
    case TMBMode::modeSlave:
        setStatusNow(TMBStatusNow::stnWaitingForCommand);
        break;
    default:
        break;
    }
}

void MBEngine::onFrameAccepted()
{
    switch (m_mode) {
    case TMBMode::modeMaster:
        masterFrameAccepted();
        break;
    case TMBMode::modeSlave:
        slaveFrameAccepted();
        break;
    case TMBMode::modeDiagnostic:
        diagnosticFrameAccepted();
        break;
    case TMBMode::modeByte:
    case TMBMode::modeString:
        break; // no framing in these modes
    }
}

void MBEngine::masterFrameAccepted()
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
    setStatusNow(TMBStatusNow::stnReady);
    setBusy(false);
    emit OnMBMasterEndOfEvent(m_status, m_statusString);
}
