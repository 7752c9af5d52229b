// Both ends of a connected IPv4 socket, in host order: what a capture of the
// connection names it by, from either side.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <cstdint>

namespace sim {

struct ConnectionEnds {
    uint32_t localAddress = 0, peerAddress = 0;
    uint16_t localPort = 0, peerPort = 0;
};

// All zero when the system cannot say.
inline ConnectionEnds EndsOf(int fd)
{
    ConnectionEnds ends;
    sockaddr_in local{}, peer{};
    socklen_t localLength = sizeof local, peerLength = sizeof peer;
    if (::getsockname(fd, reinterpret_cast<sockaddr*>(&local), &localLength) == 0 &&
        ::getpeername(fd, reinterpret_cast<sockaddr*>(&peer), &peerLength) == 0) {
        ends.localAddress = ntohl(local.sin_addr.s_addr);
        ends.peerAddress = ntohl(peer.sin_addr.s_addr);
        ends.localPort = ntohs(local.sin_port);
        ends.peerPort = ntohs(peer.sin_port);
    }
    return ends;
}

} // namespace sim
