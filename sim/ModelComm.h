// A communication channel straight into the controller model, with the
// faults a real link shows: silence, delay, split delivery, short, long
// and garbled responses, wrong routing, forced end codes, stale bytes.
#pragma once

#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "host/ICommunication.h"
#include "sim/SlmpHandler.h"

namespace sim {

struct Faults {
    bool silent = false;             // no response at all
    uint64_t delayMs = 0;            // response available this long after sending
    int chunkBytes = 0;              // at most this many bytes per receive (0 = all)
    int cutBytes = 0;                // drop this many bytes from the end
    int extraBytes = 0;              // append this many 0xEE bytes
    int garbleAt = -1;               // invert the byte at this position
    bool wrongRouting = false;       // change the PC number of the response
    int forcedEndCode = -1;          // answer every request with this end code
    std::vector<uint8_t> staleBytes; // delivered before the next response
    int prepareSendResult = 0;
    bool discardOnPrepare = false; // PrepareSend drops waiting bytes, as a TCP channel should
    int linkKind = 1;
};

class ModelComm : public ICommunication {
public:
    explicit ModelComm(SlmpHandler& handler) : m_handler(handler) {}

    int SendData(unsigned char* data, int* length, int timeoutMs) override;
    int ReceiveData(unsigned char* data, int* length, int timeoutMs) override;
    int PrepareSend() override
    {
        if (m_faults.discardOnPrepare) m_pending.clear();
        return m_faults.prepareSendResult;
    }
    int SelectDevice(char* name) override
    {
        ++m_selects;
        m_selected = name ? name : "";
        return 0;
    }
    int GetLinkKind() override { return m_faults.linkKind; }

    Faults& faults() { return m_faults; }
    const std::vector<std::vector<uint8_t>>& requests() const { return m_requests; }
    void ClearRequests() { m_requests.clear(); }
    int receiveCalls() const { return m_receives; }
    int selects() const { return m_selects; }
    const std::string& selected() const { return m_selected; }

private:
    SlmpHandler& m_handler;
    Faults m_faults;
    std::vector<std::vector<uint8_t>> m_requests;
    std::deque<uint8_t> m_pending;
    uint64_t m_readyAt = 0;
    int m_receives = 0;
    int m_selects = 0;
    std::string m_selected;
};

} // namespace sim
