// Every client of the simulator as a TCP stream of one capture file, seen
// from the controller's side.
#pragma once

#include <map>
#include <memory>
#include <mutex>

#include "sim/TcpServer.h"
#include "tools/common/CaptureFile.h"

namespace fx5sim {

class CapturedClients {
public:
    explicit CapturedClients(fx5::CaptureFile& file) : m_file(file) {}
    // From the threads serving the clients.
    void Record(const sim::ServerWire& wire);

private:
    fx5::CaptureFile& m_file;
    std::mutex m_lock;
    std::map<const void*, std::unique_ptr<fx5::CaptureFile::Connection>> m_connections;
};

} // namespace fx5sim
