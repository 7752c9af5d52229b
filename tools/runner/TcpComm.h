// The host's communication channel over a TCP connection to a controller
// (or to the simulator). Connects lazily and again after a failure.
#pragma once

#include <cstdint>
#include <string>

#include "host/ICommunication.h"

class TcpComm : public ICommunication {
public:
    TcpComm(std::string host, uint16_t port) : m_host(std::move(host)), m_port(port) {}
    ~TcpComm() override;
    TcpComm(const TcpComm&) = delete;
    TcpComm& operator=(const TcpComm&) = delete;

    int SendData(unsigned char* data, int* length, int timeoutMs) override;
    int ReceiveData(unsigned char* data, int* length, int timeoutMs) override;
    int PrepareSend() override;
    int SelectDevice(char*) override { return 0; }
    int GetLinkKind() override { return 1; }

private:
    bool Connect();
    void Close();

    std::string m_host;
    uint16_t m_port;
    int m_socket = -1;
};
