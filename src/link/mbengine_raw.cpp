// MBEngine sending in diagnostic mode (a master's frame, no reply awaited),
// and byte and string mode: raw bytes out, raw bytes or a stop-byte ended
// text in.
#include "link/mbengine.h"

#include "link/cp1250.h"
#include "link/mbframe.h"

// ---------------------------------------------------------------- diagnostic mode

void MBEngine::diagnosticSend()
{
    if (!sendMasterFrame()) {
        masterEndWithPortError();
        return;
    }
    if (!setStatusNow(TMBStatusNow::stnSending)) return;
    countTxFrame();
    updateTryStatistics(1);
    if (!setBusy(false)) return;
    if (!setStatusNow(TMBStatusNow::stnReady)) return;
    setStatus(TMBStatus::stOK);
    endTransaction();
}

// ---------------------------------------------------------------- byte and string mode

void MBEngine::rawSend(bool stringMode)
{
    bool sent = false;
    if (!m_portOpen) {
        if (!setStatusNow(TMBStatusNow::stnPortError)) return;
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
        if (!sent) {
            // As in master mode: a failed hand-over puts out the light a
            // previous send may have left on.
            emit transmitIndicatorOff();
            if (!setStatusNow(TMBStatusNow::stnPortError)) return;
        }
    }
    if (!sent) {
        if (!setBusy(true)) return;
        setStatus(TMBStatus::stPortError);
        endTransaction();
        return;
    }
    if (!setStatusNow(TMBStatusNow::stnSending)) return;
    m_txFrames += stringMode ? 1u : quint32(m_tx.MBDataNumberToSend());
    emit txCounterChanged(m_txFrames);
    updateTryStatistics(1);
    if (!setBusy(false)) return;
    if (!setStatusNow(TMBStatusNow::stnReady)) return;
    setStatus(TMBStatus::stOK);
    endTransaction();
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
    if (!setStatusNow(TMBStatusNow::stnReady)) return;
    const int received = m_rx.MBReceivedDataNumber();
    (void)survives([&] { emit OnMBReceivedAByte(received); });
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
        if (!setStatusNow(TMBStatusNow::stnReady)) return;
        const auto bytes = m_rx.receivedData();
        // One character per byte, the stop byte included.
        const QString text = mb::fromWindows1250(
            QByteArrayView(reinterpret_cast<const char *>(bytes.data()), qsizetype(bytes.size())));
        (void)survives([&] { emit OnMBReceivedAString(text); });
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
