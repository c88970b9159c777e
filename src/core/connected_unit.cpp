// The unit of the connection: begun at the opening, filled from its replies.
#include "core/connected_unit.h"

void ConnectedUnit::begin(const QString &port)
{
    end();
    m_connected = true;
    ++m_connection;
    m_port = port;
    emit changed();
}

void ConnectedUnit::end()
{
    const bool heldAny = m_held.has_value();
    const bool wasConnected = m_connected;
    m_connected = false;
    m_asFound.reset();
    m_held.reset();
    m_lastReply = {};
    m_firmware.clear();
    m_serialNumber.clear();
    if (heldAny) emit heldSettingsChanged();
    if (wasConnected) emit changed();
}

void ConnectedUnit::noteReply(const InstrumentReply &reply, const QDateTime &time)
{
    if (!m_connected) return;
    m_lastReply = time;
    m_firmware = firmwareText(reply);
    const std::optional<InstrumentSettings> held = InstrumentSettings::fromReply(reply);
    const bool heldChanged = held != m_held;
    m_held = held;
    const bool first = !m_asFound;
    if (first) m_asFound = InstrumentState::fromReply(reply);
    if (heldChanged) emit heldSettingsChanged();
    if (first) emit changed();
}

std::optional<SettingsSource> ConnectedUnit::lastHeard() const
{
    if (!m_lastReply.isValid()) return std::nullopt;
    return SettingsSource{m_port, m_lastReply, m_firmware};
}

bool ConnectedUnit::setSerialNumber(const QString &serialNumber)
{
    const QString number = serialNumber.trimmed();
    if (!m_connected || number.isEmpty()) return false;
    if (!m_serialNumber.isEmpty()) return m_serialNumber == number;
    m_serialNumber = number;
    emit changed();
    return true;
}
