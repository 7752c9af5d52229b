// One controller model served on a loopback port for the benchmarks that
// measure over TCP, started on first use.
#pragma once

#include "sim/TcpServer.h"

namespace benchmarks {

inline sim::TcpServer& LoopbackServer()
{
    static sim::DeviceMemory memory;
    static sim::TcpServer server(memory);
    // A load test: the benchmarks' clients together exceed a controller's 8.
    static const bool started = (server.SetClientLimit(sim::TcpServer::kMaxClients), server.Start(0));
    (void)started;
    return server;
}

} // namespace benchmarks
