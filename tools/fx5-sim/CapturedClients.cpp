#include "tools/fx5-sim/CapturedClients.h"

namespace fx5sim {

void CapturedClients::Record(const sim::ServerWire& wire)
{
    std::lock_guard<std::mutex> hold(m_lock);
    std::unique_ptr<fx5::CaptureFile::Connection>& connection = m_connections[wire.client];
    switch (wire.kind) {
    case sim::ServerWire::Accepted:
        connection = std::make_unique<fx5::CaptureFile::Connection>(m_file);
        connection->Opened(wire.ends.peerAddress, wire.ends.peerPort, wire.ends.localAddress, wire.ends.localPort);
        break;
    case sim::ServerWire::Received:
        if (connection) connection->Data(true, wire.bytes, wire.size);
        break;
    case sim::ServerWire::Sent:
        if (connection) connection->Data(false, wire.bytes, wire.size);
        break;
    case sim::ServerWire::Closed:
        if (connection) connection->Closed();
        m_connections.erase(wire.client);
        break;
    }
}

} // namespace fx5sim
