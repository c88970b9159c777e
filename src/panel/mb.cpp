// TMB: construction, destruction and the re-raising of the engine's events.
#include "panel/mb.h"

namespace {
constexpr int kWidth = 157;
constexpr int kHeight = 171;
} // namespace

TMB::TMB(QWidget *parent) : QGroupBox(parent), m_panel(*this, m_engine)
{
    setFixedSize(kWidth, kHeight);
    move(0, 0);
    // A user at the panel sees the list follow the devices and a pulled
    // adapter come back by itself.
    m_engine.setFollowPorts(true);
    forwardEvents();
}

TMB::~TMB()
{
    // The engine closes the port on its own destruction; no event of that
    // closing may reach a host that is itself being torn down.
    m_engine.disconnect(this);
}

void TMB::forwardEvents()
{
    // Direct connections: the host's handler runs inside the engine's step,
    // in the engine's order, and may call MBSendFrame from there.
    const auto direct = Qt::DirectConnection;
    MBEngine *e = &m_engine;
    connect(e, &MBEngine::OnMBMasterEndOfEvent, this, &TMB::OnMBMasterEndOfEvent, direct);
    connect(e, &MBEngine::OnMBPortOpenedOrClosed, this, &TMB::OnMBPortOpenedOrClosed, direct);
    connect(e, &MBEngine::OnMBStatusNowChanged, this, &TMB::OnMBStatusNowChanged, direct);
    connect(e, &MBEngine::OnMBBusyChanged, this, &TMB::OnMBBusyChanged, direct);
    connect(
        e, &MBEngine::OnMBDiagnosticReceivedAFrame, this,
        [this](int received) { emit OnMBDiagnosticReceivedAFrame(quint16(received)); }, direct);
    connect(
        e, &MBEngine::OnMBSlaveReceivedCommand, this,
        [this](int command, bool queryMode, int received) {
            emit OnMBSlaveReceivedCommand(quint8(command), queryMode, quint16(received));
        },
        direct);
    connect(
        e, &MBEngine::OnMBReceivedAByte, this,
        [this](int received) { emit OnMBReceivedAByte(quint16(received)); }, direct);
    connect(e, &MBEngine::OnMBReceivedAString, this, &TMB::OnMBReceivedAString, direct);
}
