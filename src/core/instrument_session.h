// The instrument for a command that talks to one port and waits: a session
// opens a port by name on a link engine of its own, runs one exchange at a
// time on the instrument exchange and waits for its end, says why when the
// link fails, and closes. Waiting runs the event loop, so a tool stays
// responsive: cancel(), called from a signal's notifier, ends the wait at once.
#pragma once

#include "core/instrument_exchange.h"
#include "core/link_failure.h"
#include "link/mbengine.h"
#include "protocol/instrument_protocol.h"

#include <QDateTime>
#include <QObject>
#include <QString>

#include <optional>

class QEventLoop;

// The line as the link engine takes it.
struct LinkSettings {
    QString port;
    quint32 baud = 115200;
    int tries = 5;        // transmissions of one request before "no answer"
    int timeoutMs = 1000; // the instrument's allowance per try, after the sending time
};

class InstrumentSession : public QObject {
    Q_OBJECT
public:
    explicit InstrumentSession(QObject *parent = nullptr);
    ~InstrumentSession() override;

    // False with failure() when the port cannot be opened.
    bool open(const LinkSettings &settings);
    // Closes and releases the port.
    void close();
    bool isOpen() const { return m_engine.MBPortOpen(); }

    // One exchange; nullopt with failure() when it failed.
    std::optional<InstrumentReply> exchange(const InstrumentRequest &request);
    // The station's name as the link's identification command reports it
    // ("KX4720R simulator, serial SIM00003"), asked once per session: one
    // try within timeoutMs. nullopt when refused, silent or cancelled; the
    // instrument's own exchanges and their counts are not touched.
    std::optional<QString> identify(int timeoutMs);
    // What identify() was told; nullopt when it was not asked or got nothing.
    std::optional<QString> stationName() const { return m_stationName.value_or(std::nullopt); }
    // Ends a waiting exchange (and every later one) with Cancelled.
    void cancel();
    bool isCancelled() const { return m_cancelled; }

    const LinkFailure &failure() const { return m_failure; }
    // When the last good reply arrived (local time), and after how many tries.
    QDateTime lastReplyTime() const { return m_replyTime; }
    int lastTries() const { return m_tries; }
    QString port() const { return m_settings.port; }
    const MBEngine &engine() const { return m_engine; }

private:
    std::optional<InstrumentReply> fail(LinkFailure::Kind kind, QString reason = {});

    MBEngine m_engine;
    InstrumentExchange m_exchange{m_engine};
    LinkSettings m_settings;
    LinkFailure m_failure;
    QEventLoop *m_loop = nullptr;
    bool m_ended = false;
    bool m_cancelled = false;
    TMBStatus m_status = TMBStatus::stOK;
    int m_tries = 0;
    QDateTime m_replyTime;
    std::optional<std::optional<QString>> m_stationName; // asked already, and the answer
};
