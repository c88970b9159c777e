// Writing the simulator's exchanges in time.
#include "sim/timing_log.h"

#include <QIODevice>

#include <algorithm>

TimingLog::TimingLog(InstrumentSimulator &simulator, QIODevice &out, QObject *parent)
    : QObject(parent), m_simulator(simulator), m_out(out)
{
    m_out.write("# request first_character_us accepted_us reply_written_us (CLOCK_MONOTONIC)\n");
    connect(&simulator, &InstrumentSimulator::replySent, this, &TimingLog::onReplySent);
}

qint64 TimingLog::microseconds(InstrumentSimulator::Clock::time_point time)
{
    return std::chrono::duration_cast<std::chrono::microseconds>(time.time_since_epoch()).count();
}

QByteArray TimingLog::line(const InstrumentSimulator::ReceivedRequest &request,
                           const InstrumentSimulator::SentReply &reply)
{
    return QByteArray::number(request.number) + ' ' +
           QByteArray::number(microseconds(request.firstCharacter)) + ' ' +
           QByteArray::number(microseconds(request.time)) + ' ' +
           QByteArray::number(microseconds(reply.time)) + '\n';
}

void TimingLog::onReplySent(quint64 requestNumber)
{
    const auto &received = m_simulator.receivedRequests();
    const auto &sent = m_simulator.sentReplies();
    if (sent.empty()) return;
    // The reply just sent answers one of the latest requests.
    const auto request =
        std::find_if(received.rbegin(), received.rend(),
                     [requestNumber](const auto &r) { return r.number == requestNumber; });
    if (request == received.rend()) return;
    m_out.write(line(*request, sent.back()));
}
