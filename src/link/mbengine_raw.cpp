// MBEngine sending in diagnostic mode (a master's frame, no reply awaited),
// and byte and string mode: raw bytes out, raw bytes or a stop-byte ended
// text in.
#include "link/mbengine.h"

#include "link/mbframe.h"

// ---------------------------------------------------------------- diagnostic mode

void MBEngine::diagnosticSend()
{
    if (!sendMasterFrame()) {
        masterEndWithPortError();
        return;
    }
    setStatusNow(TMBStatusNow::stnSending);
    countTxFrame();
    updateTryStatistics(1);
    setBusy(false);
    setStatusNow(TMBStatusNow::stnReady);
    setStatus(TMBStatus::stOK);
    emit OnMBMasterEndOfEvent(m_status, m_statusString);
}

// ---------------------------------------------------------------- byte and string mode

void MBEngine::rawSend(bool stringMode)
{
    bool sent = false;
    if (!m_portOpen) {
        setStatusNow(TMBStatusNow::stnPortError);
    } else {
        if (stringMode) {
            // The answer to this text starts afresh.
            m_receiver.resetAssembly();
            m_stringArmed = true;
        }
        const auto data = m_tx.dataToSend();
        // One write hands the bytes over in order, as byte by byte would,
        // without a system call per byte; the indicator flash is the same.
        sent = data.empty() || writeLine(QByteArray(reinterpret_cast<const char *>(data.data()),
                                                    qsizetype(data.size())));
        if (sent && !data.empty()) emit transmitFlashed();
        if (!sent) setStatusNow(TMBStatusNow::stnPortError);
    }
    if (!sent) {
        setBusy(true);
        setStatus(TMBStatus::stPortError);
        emit OnMBMasterEndOfEvent(m_status, m_statusString);
        return;
    }
    setStatusNow(TMBStatusNow::stnSending);
    m_txFrames += stringMode ? 1u : quint32(m_tx.MBDataNumberToSend());
    emit txCounterChanged(m_txFrames);
    updateTryStatistics(1);
    setBusy(false);
    setStatusNow(TMBStatusNow::stnReady);
    setStatus(TMBStatus::stOK);
    emit OnMBMasterEndOfEvent(m_status, m_statusString);
}

void MBEngine::receiveBytes(const QByteArray &chunk)
{
    if (chunk.isEmpty()) return;
    m_rxFrames += quint32(chunk.size()); // the counter counts bytes here
    for (const char c : chunk)
        m_receiver.appendRaw(std::uint8_t(c)); // dropped once 2048 are held
    // The RX data buffer mirrors the whole assembly; the host keeps its own
    // read position.
    m_rx.loadRaw(m_receiver.assembly());
    emit receiveFlashed();
    emit rxCounterChanged(m_rxFrames);
    setStatus(TMBStatus::stOK);
    setStatusNow(TMBStatusNow::stnReady);
    emit OnMBReceivedAByte(m_rx.MBReceivedDataNumber());
}

void MBEngine::receiveString(const QByteArray &chunk)
{
    for (const char c : chunk) {
        // Characters nobody asked for (before a send, after the stop byte)
        // are neither kept nor counted.
        if (!m_stringArmed) return;
        m_receiver.appendRaw(std::uint8_t(c));
        if (std::uint8_t(c) != m_stopByte) continue;

        m_stringArmed = false;
        m_rx.loadRaw(m_receiver.assembly());
        emit receiveFlashed();
        countRxFrames(1, true);
        setStatus(TMBStatus::stOK);
        setStatusNow(TMBStatusNow::stnReady);
        const auto bytes = m_rx.receivedData();
        // One character per byte, the stop byte included.
        emit OnMBReceivedAString(QString::fromLatin1(reinterpret_cast<const char *>(bytes.data()),
                                                     qsizetype(bytes.size())));
        // The rest of this chunk arrived before any send the handler made:
        // it answers nothing.
        return;
    }
}

void MBEngine::MBClearRXData()
{
    m_receiver.resetAssembly();
    m_rx.clear();
}
