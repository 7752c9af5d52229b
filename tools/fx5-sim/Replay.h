// The controller of a capture, played back: each request is answered with
// the answer recorded for the same request (same bytes, but for a 4E serial
// number), in the order of the capture across its connections, in the
// pieces and at the pace they came, and a request that got no answer gets
// none again. The first request the capture cannot answer is reported with
// what was asked and what the capture holds next.
#pragma once

#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "sim/TcpServer.h"
#include "tools/common/CaptureFile.h"

namespace fx5sim {

class Replay {
public:
    // False, with the reason, when the capture holds no SLMP request.
    bool Load(const std::vector<fx5::CapturedStream>& streams, std::string& error);
    // The recorded answer to `request`; a mismatch is told once to `report`.
    sim::PlayedAnswer Next(const uint8_t* request, size_t size);
    void OnMismatch(std::function<void(const std::string&)> report) { m_report = std::move(report); }
    size_t Exchanges() const { return m_exchanges.size(); }

private:
    struct Exchange {
        double seconds = 0; // when the request went
        std::vector<uint8_t> request;
        std::vector<std::pair<double, std::vector<uint8_t>>> pieces; // seconds after the request
    };
    std::vector<Exchange> m_exchanges;
    size_t m_next = 0;
    bool m_reported = false;
    std::mutex m_lock;
    std::function<void(const std::string&)> m_report;
};

} // namespace fx5sim
