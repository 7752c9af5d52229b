// The simulator's serving rate over loopback: batch reads of 64 words from
// 1 and from 8 concurrent clients, each with its own connection. The time
// per iteration of the 1-client run is the round trip of one request;
// items_per_second is requests per second over all clients.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <benchmark/benchmark.h>

#include <vector>

#include "bench/LoopbackServer.h"
#include "sim/TcpServer.h"

namespace {

sim::TcpServer& Server() { return benchmarks::LoopbackServer(); }

int Connect(uint16_t port)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) return -1;
    const int yes = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &yes, sizeof yes);
    return fd;
}

// The same server answering like a controller with a 10 ms scan.
sim::TcpServer& ScanServer()
{
    static sim::DeviceMemory memory;
    static sim::TcpServer server(memory);
    static const bool started = (server.SetClientLimit(sim::TcpServer::kMaxClients), server.SetScanTime(10), server.Start(0));
    (void)started;
    return server;
}

void BatchReads(benchmark::State& state, sim::TcpServer& server)
{
    const int fd = Connect(server.Port());
    if (fd < 0) {
        state.SkipWithError("no connection");
        return;
    }
    // Batch read in word units of D100, 64 words: a 21-byte request, a
    // 139-byte answer.
    const std::vector<uint8_t> request = {0x50, 0x00, 0x00, 0xFF, 0xFF, 0x03, 0x00, 0x0C, 0x00, 0x10, 0x00,
                                          0x01, 0x04, 0x00, 0x00, 0x64, 0x00, 0x00, 0xA8, 0x40, 0x00};
    uint8_t answer[139];
    for (auto _ : state) {
        if (::send(fd, request.data(), request.size(), MSG_NOSIGNAL) != static_cast<ssize_t>(request.size())) {
            state.SkipWithError("send failed");
            break;
        }
        size_t got = 0;
        while (got < sizeof answer) {
            const ssize_t n = ::recv(fd, answer + got, sizeof answer - got, 0);
            if (n <= 0) break;
            got += static_cast<size_t>(n);
        }
        if (got != sizeof answer) {
            state.SkipWithError("short answer");
            break;
        }
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()));
    ::close(fd);
}
void BM_SimBatchRead64Words(benchmark::State& state) { BatchReads(state, Server()); }
BENCHMARK(BM_SimBatchRead64Words)->Threads(1)->Threads(8)->UseRealTime()->MinTime(1.0);
// A client should expect about one answer a scan a connection: 100/s here.
void BM_SimBatchRead64WordsScan10ms(benchmark::State& state) { BatchReads(state, ScanServer()); }
BENCHMARK(BM_SimBatchRead64WordsScan10ms)->Threads(1)->Threads(8)->UseRealTime()->MinTime(1.0);

} // namespace
