// A slave for link tests that answers every request once and in turn, each
// after a delay of its own, as an instrument slower than the link's answer
// window does: request n (counted from 0) is answered delays[n % size] ms
// after it came (-1: never), but never before the reply to the request before
// it has left. By default a reply echoes the request's data, so every reply
// carries the tag of the request it answers.
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

    int requests() const { return int(m_slave.requestCount()); }
    int repliesSent() const { return m_sent; }
    // Nothing waits to be sent.
    bool idle() const { return m_queue.empty(); }

private:
    using Clock = std::chrono::steady_clock;
    struct Due {
        Clock::time_point at;
        QByteArray line;
    };
    void sendDue();

    FrameSlave m_slave;
    QList<int> m_delays;
    Reply m_reply;
    std::deque<Due> m_queue;
    QTimer m_timer;
    int m_sent = 0;
};
