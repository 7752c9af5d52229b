#include "tools/fx5-sim/Replay.h"

#include <algorithm>
#include <cstdio>

#include "sim/SlmpFrame.h"

namespace fx5sim {

namespace {

constexpr uint8_t kSubheader4E = 0x54;
constexpr size_t kSerialAt = 2; // a 4E frame's serial number, after its subheader
constexpr double kMaxPauseMs = 3600000.0;

// Two requests are the same but for a 4E serial number.
bool SameRequest(const std::vector<uint8_t>& recorded, const uint8_t* request, size_t size)
{
    if (recorded.size() != size) return false;
    for (size_t i = 0; i < size; ++i) {
        const bool serial = recorded[0] == kSubheader4E && (i == kSerialAt || i == kSerialAt + 1);
        if (!serial && recorded[i] != request[i]) return false;
    }
    return true;
}

std::string Described(const std::vector<uint8_t>& request)
{
    std::string text = sim::DescribeRequest(request.data(), request.size());
    if (text.empty()) return "bytes that are no request";
    text += " (";
    for (size_t i = 0; i < request.size() && i < 32; ++i) {
        char hex[4];
        std::snprintf(hex, sizeof hex, "%02X", request[i]);
        text += hex;
    }
    return text + (request.size() > 32 ? "…)" : ")");
}

} // namespace

bool Replay::Load(const std::vector<fx5::CapturedStream>& streams, std::string& error)
{
    for (const fx5::CapturedStream& stream : streams) {
        std::vector<uint8_t> pending;
        std::vector<Exchange> found;
        for (const fx5::CapturedStream::Segment& segment : stream.segments) {
            if (!segment.fromClient) {
                if (!found.empty()) found.back().pieces.emplace_back(segment.seconds - found.back().seconds, segment.bytes);
                continue;
            }
            pending.insert(pending.end(), segment.bytes.begin(), segment.bytes.end());
            size_t size = 0;
            while (sim::FirstRequest(pending.data(), pending.size(), size) == sim::StreamState::Complete) {
                found.push_back({segment.seconds, std::vector<uint8_t>(pending.begin(), pending.begin() + static_cast<long>(size)), {}});
                pending.erase(pending.begin(), pending.begin() + static_cast<long>(size));
            }
        }
        m_exchanges.insert(m_exchanges.end(), found.begin(), found.end());
    }
    // The order the requests went in, across the connections.
    std::stable_sort(m_exchanges.begin(), m_exchanges.end(), [](const Exchange& a, const Exchange& b) { return a.seconds < b.seconds; });
    if (m_exchanges.empty()) return error = "the capture holds no SLMP request", false;
    return true;
}

sim::PlayedAnswer Replay::Next(const uint8_t* request, size_t size)
{
    std::lock_guard<std::mutex> hold(m_lock);
    sim::PlayedAnswer answer;
    if (m_next < m_exchanges.size() && SameRequest(m_exchanges[m_next].request, request, size)) {
        const Exchange& played = m_exchanges[m_next++];
        double last = 0;
        for (const auto& [after, bytes] : played.pieces) {
            std::vector<uint8_t> piece = bytes;
            // A 4E answer carries the serial number of the request it answers.
            if (request[0] == kSubheader4E && &bytes == &played.pieces.front().second && piece.size() >= kSerialAt + 2) {
                piece[kSerialAt] = request[kSerialAt];
                piece[kSerialAt + 1] = request[kSerialAt + 1];
            }
            // A pause as recorded, but never beyond an hour (a capture's
            // clock may jump) nor before the piece it follows.
            const double ms = std::clamp((after - last) * 1000.0, 0.0, kMaxPauseMs);
            answer.pieces.push_back({static_cast<unsigned>(ms), std::move(piece)});
            last = after;
        }
        return answer;
    }
    answer.unanswerable = true;
    if (!m_reported && m_report) {
        m_reported = true;
        m_report("request " + std::to_string(m_next + 1) + " cannot be answered from the capture: asked " +
                 Described(std::vector<uint8_t>(request, request + size)) + "; the capture holds next " +
                 (m_next < m_exchanges.size() ? Described(m_exchanges[m_next].request) : std::string("nothing more")));
    }
    return answer;
}

} // namespace fx5sim
