// A slave that answers every request once and in turn, as an instrument
// slower than the answer window does: request n (from 0) is answered
// delays[n % size] ms after it came (-1: never), never before the reply
// before it has left. By default a reply echoes the request's data: every
// reply carries the tag of the request it answers.
#pragma once

#include "support/frameslave.h"

#include <QTimer>

#include <chrono>
#include <deque>
#include <functional>

class SlowPeer : public QObject {
    Q_OBJECT
public:
    using Reply = std::function<QByteArray(int number, const SlaveRequest &request)>;
    SlowPeer(PtyPair &pty, QList<int> delaysMs, Reply reply = {});
    int repliesSent() const { return m_sent; }
    bool idle() const { return m_queue.empty(); } // nothing waits to be sent

private:
    using Clock = std::chrono::steady_clock;
    void sendDue();
    FrameSlave m_slave;
    QList<int> m_delays;
    Reply m_reply;
    std::deque<std::pair<Clock::time_point, QByteArray>> m_queue;
    QTimer m_timer;
    int m_sent = 0;
};
