#include "tools/runner/TcpComm.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

TcpComm::~TcpComm() { Close(); }

void TcpComm::Close()
{
    if (m_socket >= 0) ::close(m_socket);
    m_socket = -1;
}

bool TcpComm::Connect()
{
    if (m_socket >= 0) return true;
    m_socket = ::socket(AF_INET, SOCK_STREAM, 0);
    if (m_socket < 0) return false;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(m_port);
    if (::inet_pton(AF_INET, m_host.c_str(), &address.sin_addr) != 1 ||
        ::connect(m_socket, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        Close();
        return false;
    }
    const int yes = 1;
    ::setsockopt(m_socket, IPPROTO_TCP, TCP_NODELAY, &yes, sizeof yes);
    return true;
}

int TcpComm::PrepareSend() { return Connect() ? 0 : -1; }

int TcpComm::SendData(unsigned char* data, int* length, int)
{
    if (!data || !length || *length <= 0 || !Connect()) return -1;
    const ssize_t sent = ::send(m_socket, data, static_cast<size_t>(*length), MSG_NOSIGNAL);
    if (sent != *length) {
        Close();
        return -1;
    }
    return static_cast<int>(sent);
}

int TcpComm::ReceiveData(unsigned char* data, int* length, int timeoutMs)
{
    if (!data || !length || m_socket < 0) return -1;
    pollfd fd{m_socket, POLLIN, 0};
    if (::poll(&fd, 1, timeoutMs > 0 ? timeoutMs : 0) <= 0) {
        *length = 0;
        return 0;
    }
    const ssize_t got = ::recv(m_socket, data, static_cast<size_t>(*length > 0 ? *length : 0), 0);
    if (got <= 0) {
        Close();
        *length = 0;
        return -1;
    }
    // Ask for another call only when more bytes are already waiting.
    pollfd more{m_socket, POLLIN, 0};
    *length = ::poll(&more, 1, 0) > 0 ? 512 : 0;
    return static_cast<int>(got);
}
