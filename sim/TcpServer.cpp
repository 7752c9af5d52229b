#include "sim/TcpServer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <map>
#include <vector>

namespace sim {

bool TcpServer::Start(uint16_t port)
{
    m_listen = ::socket(AF_INET, SOCK_STREAM, 0);
    if (m_listen < 0) return false;
    const int yes = 1;
    ::setsockopt(m_listen, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (::bind(m_listen, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || ::listen(m_listen, 4) != 0 ||
        ::getsockname(m_listen, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        ::close(m_listen);
        m_listen = -1;
        return false;
    }
    m_port = ntohs(address.sin_port);
    m_running = true;
    m_thread = std::thread([this] { Serve(); });
    return true;
}

void TcpServer::Stop()
{
    if (!m_running.exchange(false)) return;
    if (m_thread.joinable()) m_thread.join();
    ::close(m_listen);
    m_listen = -1;
}

void TcpServer::Serve()
{
    std::map<int, std::vector<uint8_t>> clients;
    while (m_running) {
        std::vector<pollfd> fds{{m_listen, POLLIN, 0}};
        for (const auto& client : clients) fds.push_back({client.first, POLLIN, 0});
        if (::poll(fds.data(), fds.size(), 50) <= 0) continue;
        if (fds[0].revents & POLLIN) {
            const int client = ::accept(m_listen, nullptr, nullptr);
            if (client >= 0) clients[client];
        }
        for (size_t i = 1; i < fds.size(); ++i) {
            if (!(fds[i].revents & (POLLIN | POLLHUP | POLLERR))) continue;
            uint8_t chunk[2048];
            const ssize_t got = ::recv(fds[i].fd, chunk, sizeof chunk, 0);
            if (got <= 0) {
                ::close(fds[i].fd);
                clients.erase(fds[i].fd);
                continue;
            }
            std::vector<uint8_t>& pending = clients[fds[i].fd];
            pending.insert(pending.end(), chunk, chunk + got);
            // A stream that is not SLMP is dropped rather than buffered forever.
            if (pending.size() >= 2 && (pending[0] != 0x50 || pending[1] != 0x00)) pending.clear();
            while (size_t size = CompleteRequestSize(pending.data(), pending.size())) {
                std::vector<uint8_t> response;
                {
                    std::lock_guard<std::mutex> lock(m_lock);
                    response = m_handler.Handle(pending.data(), size);
                }
                ++m_requests;
                pending.erase(pending.begin(), pending.begin() + static_cast<long>(size));
                if (!response.empty()) ::send(fds[i].fd, response.data(), response.size(), MSG_NOSIGNAL);
            }
        }
    }
    for (const auto& client : clients) ::close(client.first);
}

} // namespace sim
