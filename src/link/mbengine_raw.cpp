// MBEngine sending in diagnostic mode (a master's frame, no reply awaited),
// and byte and string mode: raw bytes out, raw bytes or a stop-byte ended
// text in.
#include "link/mbengine.h"

#include "frame/mbframe.h"
#include "serial/linklog.h"
#include "text/cp1250.h"

// ---------------------------------------------------------------- diagnostic mode

void MBEngine::diagnosticSend()
{
    if (!sendMasterFrame()) {
        endWithPortError();
        return;
    }
    if (!setStatusNow(TMBStatusNow::stnSending)) return;
    countTxFrame();
    updateTryStatistics(1);
    endWithoutReply();
}

// ---------------------------------------------------------------- byte and string mode

void MBEngine::rawSend(bool stringMode)
{
    bool sent = false;
    if (m_portOpen) {
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
        // As in master mode: a failed hand-over puts out the light a
        // previous send may have left on.
        if (!sent) emit transmitIndicatorOff();
    }
    if (!sent) {
        endWithPortError();
        return;
    }
    if (!setStatusNow(TMBStatusNow::stnSending)) return;
    m_txFrames += stringMode ? 1u : quint32(m_tx.MBDataNumberToSend());
    emit txCounterChanged(m_txFrames);
    updateTryStatistics(1);
    endWithoutReply();
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
    // Characters nobody asked for (before a send, after the stop byte) are
    // neither kept nor counted as received: they lie outside any text.
    const auto discard = [this](qsizetype count) {
        if (count == 0) return;
        m_receiver.countDiscard(DiscardReason::OutsideFrame, std::uint32_t(count));
        qCDebug(lcLink).nospace() << "discarded " << count << ": "
                                  << mb::discardReasonText(DiscardReason::OutsideFrame);
    };
    for (qsizetype i = 0; i < chunk.size(); ++i) {
        if (!m_stringArmed) {
            discard(chunk.size() - i);
            return;
        }
        const auto c = std::uint8_t(chunk[i]);
        m_receiver.appendRaw(c);
        if (c != m_stopByte) continue;

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
        if (!survives([&] { emit OnMBReceivedAString(text); })) return;
        // The rest of this chunk arrived before any send the handler made:
        // it answers nothing.
        discard(chunk.size() - i - 1);
        return;
    }
}

void MBEngine::MBClearRXData()
{
    m_receiver.resetAssembly();
    m_rx.clear();
}
