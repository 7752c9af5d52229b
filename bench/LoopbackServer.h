// One controller model served on a loopback port for the benchmarks that
// measure over TCP, started on first use.
#pragma once

#include "sim/TcpServer.h"

namespace benchmarks {

inline sim::TcpServer& LoopbackServer()
{
    static sim::DeviceMemory memory;
    static sim::TcpServer server(memory);
    static const bool started = server.Start(0);
    (void)started;
    return server;
}

} // namespace benchmarks
