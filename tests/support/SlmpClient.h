// A small SLMP binary client written from the protocol alone, sharing no
// code with the driver or the controller model: what a user of another
// client library would send to the simulator.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace testing_support {

// Device codes of the binary frame.
namespace code {
constexpr uint8_t X = 0x9C, Y = 0x9D, M = 0x90, D = 0xA8, W = 0xB4, LZ = 0x62;
}

class SlmpClient {
public:
    explicit SlmpClient(uint16_t port, bool fourE = false);
    ~SlmpClient();
    SlmpClient(const SlmpClient&) = delete;
    SlmpClient& operator=(const SlmpClient&) = delete;
    bool Connected() const { return m_fd >= 0; }

    struct Answer {
        bool received = false;
        uint16_t endCode = 0xFFFF;
        uint16_t serial = 0;
        std::vector<uint8_t> routing; // network, PC, module I/O (2), station
        std::vector<uint8_t> data;
    };
    // One request with the default routing 00 FF FF03 00; waits up to
    // timeoutMs for the whole answer.
    Answer Request(uint16_t command, uint16_t subcommand, const std::vector<uint8_t>& data, int timeoutMs = 2000);
    Answer RequestRouted(const std::vector<uint8_t>& routing, uint16_t command, uint16_t subcommand, const std::vector<uint8_t>& data,
                         int timeoutMs = 2000);

    std::vector<uint16_t> ReadWords(uint8_t device, uint32_t number, uint16_t count);
    uint16_t WriteWords(uint8_t device, uint32_t number, const std::vector<uint16_t>& words);
    std::vector<bool> ReadBits(uint8_t device, uint32_t number, uint16_t count);
    uint16_t WriteBits(uint8_t device, uint32_t number, const std::vector<bool>& bits);

    bool SendRaw(const std::vector<uint8_t>& bytes);
    // Sends give up after this long (a flooding client must not block forever).
    void SetSendTimeout(int ms);
    // True when the peer closed the connection within timeoutMs.
    bool ClosedByPeer(int timeoutMs);

    // The device reference of a request: number (3 bytes) and code.
    static void PutDevice(std::vector<uint8_t>& out, uint8_t device, uint32_t number);
    static void Put16(std::vector<uint8_t>& out, unsigned v);

private:
    bool ReceiveExactly(uint8_t* out, size_t size, int timeoutMs);

    int m_fd = -1;
    bool m_fourE;
    uint16_t m_serial = 0x1234;
};

} // namespace testing_support
