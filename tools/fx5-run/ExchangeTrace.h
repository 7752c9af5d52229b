// One line an exchange for `fx5-run --trace`: the time, the device, what was
// asked (command, first device, points, decoded as fx5-sim's request log
// decodes it), what was answered (end code and its meaning from the one
// end-code table) and the response time; a request left without a complete
// answer says how much of it came.
#pragma once

#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "tools/common/TcpChannel.h"

namespace fx5run {

class ExchangeTrace {
public:
    ExchangeTrace(std::string device, std::FILE* out) : m_device(std::move(device)), m_out(out) {}
    void OnWire(const fx5::WireEvent& event);
    // The line for a request and its answer: the answer's first bytes
    // (`head`: enough for its end code), how many came, whether it was
    // complete, `ms` after the request went.
    static std::string Line(const std::vector<uint8_t>& request, const std::vector<uint8_t>& head, size_t answerBytes, bool complete,
                            double ms);

private:
    void Finish(bool complete);

    std::string m_device;
    std::FILE* m_out;
    std::vector<uint8_t> m_request, m_answer;
    size_t m_answerBytes = 0;
    bool m_open = false; // a request waits for its answer
    std::chrono::steady_clock::time_point m_sent{};
};

} // namespace fx5run
