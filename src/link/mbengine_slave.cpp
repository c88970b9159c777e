// MBEngine in slave mode: a request addressed to this station (or broadcast)
// is checked, the link's own service commands are answered here, every other
// command goes to the host, and the reply leaves at once or after
// MBSlaveDelayTime. Also the receiving side of diagnostic mode, the other
// mode that takes frames it did not ask for.
#include "link/mbengine.h"

#include "frame/mbframe.h"

namespace {

// The link's own version date, reported by the identification command.
constexpr quint16 kLinkVersionYear = 2013;
constexpr quint8 kLinkVersionMonth = 6;
constexpr quint8 kLinkVersionDay = 18;

// Result codes a slave produces by itself.
constexpr int kIdMismatch = 129;
constexpr int kUnknownCommand = 130;
// Codes from this value on are errors on the slave's side.
constexpr int kFirstErrorCode = 128;

// Service commands.
constexpr quint8 kPing = 0;
constexpr quint8 kPingAlso = 128;
constexpr quint8 kIdentify = 129;
constexpr quint8 kFrameCounter = 130;

} // namespace

void MBEngine::countRxFrames(quint32 count, bool countSpeed)
{
    m_rxFrames += count;
    emit rxCounterChanged(m_rxFrames);
    if (countSpeed) ++m_speedCount;
}

// ---------------------------------------------------------------- slave mode

bool MBEngine::slaveFrameAccepted()
{
    m_slaveDelayTimer.stop(); // a newer request supersedes a reply still due
    m_tx.MBClearTXData();
    m_slaveErrorCode = 0;
    m_slaveReplyDeferred = false;

    emit receiveFlashed();
    m_rx.loadFrame(m_receiver.frame());
    if (!setStatusNow(TMBStatusNow::stnReceivedCommand)) return false;

    const quint8 address = m_rx.address();
    const quint8 id = m_rx.id();
    const quint8 command = m_rx.command();
    bool counterReset = false;
    if (id != m_slaveID && id != 0) {
        m_slaveErrorCode = kIdMismatch;
    } else {
        if (command == kFrameCounter) {
            counterReset = m_rx.MBReceivedDataNumber() > 0 && m_rx.dataAt(1) == 1;
        }
        if (!slaveCommand(command, (address & mb::kQueryFlag) != 0)) return false;
        // The host's handler may have closed the port or left slave mode;
        // this request then has no one left to answer it.
        if (!portReady() || !m_portOpen || m_mode != TMBMode::modeSlave) return true;
    }

    if (m_slaveErrorCode >= kFirstErrorCode) {
        setStatus(TMBStatus::stSlaveGlobalError, m_slaveErrorCode);
    } else {
        if (counterReset) {
            // A count like any other, shown in the counter's picture.
            m_rxFrames = 0;
            emit rxCounterChanged(0);
            ++m_speedCount;
        } else {
            countRxFrames(1, true);
        }
        setStatus(TMBStatus::stOK);
    }

    if ((address & 0x0F) == 0) {
        // A broadcast is carried out but never answered; the status stays
        // "received" until the next frame starts, and the assembly keeps the
        // frame, as a master's does after a reply.
        return true;
    }
    if (!setStatusNow(TMBStatusNow::stnSending)) return false;
    // A handler of the status change may have closed the port or changed the mode.
    if (!m_portOpen || m_mode != TMBMode::modeSlave) return true;
    if (m_slaveReplyDeferred) {
        // The host answers by itself, later or never.
        if (!setStatusNow(TMBStatusNow::stnReady)) return false;
        m_receiver.resetAssembly();
        return setStatusNow(TMBStatusNow::stnWaitingForCommand);
    }
    if (m_slaveDelayTime == 0) return sendSlaveReply();
    m_slaveDelayTimer.start(m_slaveDelayTime);
    return true;
}

bool MBEngine::slaveCommand(quint8 command, bool queryMode)
{
    switch (command) {
    case kPing:
    case kPingAlso:
        return true;
    case kIdentify:
        m_tx.MBAppendWord(kLinkVersionYear);
        m_tx.MBAppendByte(kLinkVersionMonth);
        m_tx.MBAppendByte(kLinkVersionDay);
        m_tx.MBAppendWord(quint16(m_slaveVerYear));
        m_tx.MBAppendByte(quint8(m_slaveVerMonth));
        m_tx.MBAppendByte(quint8(m_slaveVerDay));
        MBAppendString(m_slaveName);
        return true;
    case kFrameCounter: {
        // A request without data reads its first byte as 0.
        const bool reset = m_rx.MBReadByte() == 1;
        m_tx.MBAppendCardinal(reset ? 0 : m_rxFrames + 1);
        return true;
    }
    default:
        break;
    }
    if (command > kFrameCounter) {
        m_slaveErrorCode = kUnknownCommand;
        return true;
    }
    // Commands 1-127 belong to the host. It finds the request's data at
    // index 1 and an empty TX data buffer for its reply.
    m_rx.setMBMBRXDataBufferIndex(1);
    const int received = m_rx.MBReceivedDataNumber();
    return survives([&] { emit OnMBSlaveReceivedCommand(command, queryMode, received); });
}

bool MBEngine::sendSlaveReply()
{
    m_slaveDelayTimer.stop();
    if (m_mode != TMBMode::modeSlave || !m_portOpen) return true;

    const auto frame = m_tx.buildFrame(mb::slaveAddressByte(std::uint8_t(m_slaveOwnAddress)),
                                       std::uint8_t(m_slaveID), std::uint8_t(m_slaveErrorCode));
    QByteArray line(qsizetype(frame.size() * 2), Qt::Uninitialized);
    mb::encodeLine(
        frame, std::span(reinterpret_cast<std::uint8_t *>(line.data()), std::size_t(line.size())));
    if (!writeLine(line)) {
        // The reply could not leave: the slave's panel shows the port failure;
        // the reader reports a vanished device by itself.
        emit transmitIndicatorOff();
        if (!setStatusNow(TMBStatusNow::stnPortError)) return false;
        setStatus(TMBStatus::stPortError);
        m_receiver.resetAssembly();
        return true;
    }
    emit transmitFlashed();
    // Replies are not counted: MBNumberOfTxFrames stays 0 in slave mode.
    if (!setStatusNow(TMBStatusNow::stnReady)) return false;
    m_receiver.resetAssembly();
    return setStatusNow(TMBStatusNow::stnWaitingForCommand);
}

// ---------------------------------------------------------------- diagnostic mode

bool MBEngine::diagnosticFrameAccepted()
{
    emit receiveFlashed();
    m_rx.loadFrame(m_receiver.frame());
    countRxFrames(1, true);
    setStatus(TMBStatus::stOK);
    if (!setStatusNow(TMBStatusNow::stnReady)) return false;
    // Reset before the event, so that a handler sees a clean assembly and a
    // frame it starts to send cannot mix with this one.
    m_receiver.resetAssembly();
    const int received = m_rx.MBReceivedDataNumber();
    return survives([&] { emit OnMBDiagnosticReceivedAFrame(received); });
}
