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
        const int delay = m_delays[number % m_delays.size()];
        if (delay < 0) return QByteArray();
        m_queue.emplace_back(Clock::now() + std::chrono::milliseconds(delay),
                             m_reply ? m_reply(number, request)
                                     : FrameSlave::replyLine(1, 0, 0, request.data));
        if (!m_timer.isActive()) sendDue();
        return QByteArray();
    });
}

void SlowPeer::sendDue()
{
    for (; !m_queue.empty() && m_queue.front().first <= Clock::now(); ++m_sent) {
        m_slave.write(m_queue.front().second);
        m_queue.pop_front();
    }
    if (m_queue.empty()) return;
    const auto wait =
        std::chrono::ceil<std::chrono::milliseconds>(m_queue.front().first - Clock::now());
    m_timer.start(int(std::max<qint64>(0, wait.count())));
}
