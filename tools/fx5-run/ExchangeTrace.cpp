#include "tools/fx5-run/ExchangeTrace.h"

#include <algorithm>

#include "protocol/EndCodes.h"
#include "sim/SlmpFrame.h"
#include "tools/fx5-run/Reporter.h"

namespace fx5run {

namespace {
// An answer's end code follows its data length: byte 9 of a 3E answer,
// byte 13 of a 4E one (which carries a serial number and two reserved bytes).
constexpr size_t kEndCodeAt3E = 9, kEndCodeAt4E = 13;
constexpr uint8_t kSubheader4E = 0xD4;
} // namespace

std::string ExchangeTrace::Line(const std::vector<uint8_t>& request, const std::vector<uint8_t>& head, size_t answerBytes, bool complete,
                                double ms)
{
    std::string asked = sim::DescribeRequest(request.data(), request.size());
    if (asked.empty()) asked = "a request that is no SLMP frame";
    char tail[64];
    const size_t at = !head.empty() && head[0] == kSubheader4E ? kEndCodeAt4E : kEndCodeAt3E;
    if (!complete || head.size() < at + 2) {
        std::snprintf(tail, sizeof tail, "no complete answer (%zu bytes came) after %.3f ms", answerBytes, ms);
        return asked + ": " + tail;
    }
    const uint16_t code = sim::Le16(head.data() + at);
    const slmp::EndCodeInfo* info = slmp::FindEndCode(code);
    std::snprintf(tail, sizeof tail, "), %.3f ms", ms);
    char number[8];
    std::snprintf(number, sizeof number, "%04X", code);
    return asked + ": end code " + number + " (" + (info ? info->meaning : "no meaning known") + tail;
}

void ExchangeTrace::Finish(bool complete)
{
    if (!m_open) return;
    m_open = false;
    const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - m_sent).count();
    std::fprintf(m_out, "%s %s %s\n", UtcNow().substr(11, 12).c_str(), m_device.c_str(),
                 Line(m_request, m_answer, m_answerBytes, complete, ms).c_str());
    std::fflush(m_out);
}

void ExchangeTrace::OnWire(const fx5::WireEvent& event)
{
    switch (event.kind) {
    case fx5::WireEvent::Sent:
        Finish(false); // the last request got no complete answer
        m_request.assign(event.bytes, event.bytes + event.size);
        m_answer.clear();
        m_answerBytes = 0;
        m_open = true;
        m_sent = std::chrono::steady_clock::now();
        break;
    case fx5::WireEvent::Received:
        // The head of the answer names its end code; the rest is counted.
        m_answer.insert(m_answer.end(), event.bytes, event.bytes + std::min(event.size, kEndCodeAt4E + 2 - m_answer.size()));
        m_answerBytes += event.size;
        break;
    case fx5::WireEvent::Answered: Finish(true); break;
    case fx5::WireEvent::Closed: Finish(false); break;
    case fx5::WireEvent::Connected:
    case fx5::WireEvent::Unanswered: break;
    }
}

} // namespace fx5run
