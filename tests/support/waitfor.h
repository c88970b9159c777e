// Waiting for the event, not the clock: the event loop runs until a
// condition holds, and the condition is checked again at each emission of a
// signal that can make it true, so the wait ends as soon as that has
// happened. (QTest::qWaitFor and the QTRY_ macros check between sleeps of
// 10 to 50 ms, which add up over a suite of many short waits.)
#pragma once

#include <QDeadlineTimer>
#include <QSignalSpy>

// Whether `done()` holds within `timeoutMs`; checked at once and after each
// emission of `signal` by `sender`.
template <typename Sender, typename Signal, typename Done>
bool waitOn(const Sender *sender, Signal signal, Done &&done, int timeoutMs = 10000)
{
    if (done()) return true;
    QSignalSpy emitted(sender, signal);
    const QDeadlineTimer deadline(timeoutMs);
    while (!deadline.hasExpired())
        if (emitted.wait(int(qMax<qint64>(1, deadline.remainingTime()))) && done()) return true;
    return done();
}
