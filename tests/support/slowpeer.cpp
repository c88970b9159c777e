// A slave that answers in turn, each reply after its own delay.
#include "support/slowpeer.h"

SlowPeer::SlowPeer(PtyPair &pty, QList<int> delaysMs, Reply reply)
    : m_slave(pty), m_delays(std::move(delaysMs)), m_reply(std::move(reply))
{
    m_timer.setSingleShot(true);
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, &SlowPeer::sendDue);
    m_slave.setResponder([this](const SlaveRequest &request) {
        const int number = int(m_slave.requestCount()) - 1;
        const int delay = m_delays.isEmpty() ? 0 : m_delays[number % m_delays.size()];
        if (delay < 0) return QByteArray();
        const QByteArray line = m_reply ? m_reply(number, request)
                                        : FrameSlave::replyLine(1, 0, 0, request.data);
        m_queue.push_back({Clock::now() + std::chrono::milliseconds(delay), line});
        if (!m_timer.isActive()) sendDue();
        return QByteArray();
    });
}

void SlowPeer::sendDue()
{
    // The line carries one reply after the other, each at its time.
    while (!m_queue.empty() && m_queue.front().at <= Clock::now()) {
        m_slave.write(m_queue.front().line);
        m_queue.pop_front();
        ++m_sent;
    }
    if (m_queue.empty()) return;
    const auto wait = std::chrono::ceil<std::chrono::milliseconds>(m_queue.front().at - Clock::now());
    m_timer.start(int(std::max<qint64>(0, wait.count())));
}
