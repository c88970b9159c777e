// TimingLog: a record of the simulator's exchanges in time, one line per
// reply sent, for measuring a program from the instrument's side of the line
// (how long it takes to ask again once a reply is complete, how soon after
// starting it asks at all).
//
// Each line holds the request's number and three moments in microseconds of
// the system's monotonic clock (CLOCK_MONOTONIC, the same in every process,
// so another program can set its own moments beside them):
//   <request> <first character> <accepted> <last reply character written>
// A line starting with '#' is a comment.
#pragma once

#include "sim/simulator.h"

#include <QObject>

#include <chrono>

class QIODevice;

class TimingLog : public QObject {
    Q_OBJECT
public:
    // Writes to `out` (open for writing, not owned) for every reply
    // `simulator` sends from now on, beginning with a comment line naming the
    // columns.
    TimingLog(InstrumentSimulator &simulator, QIODevice &out, QObject *parent = nullptr);

    static qint64 microseconds(InstrumentSimulator::Clock::time_point time);
    // The line of one exchange, with its end of line.
    static QByteArray line(const InstrumentSimulator::ReceivedRequest &request,
                           const InstrumentSimulator::SentReply &reply);

private:
    void onReplySent(quint64 requestNumber);

    InstrumentSimulator &m_simulator;
    QIODevice &m_out;
};
