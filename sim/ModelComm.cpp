#include "sim/ModelComm.h"

#include <algorithm>

#include "host/ZoltTools.h"

namespace sim {

int ModelComm::SendData(unsigned char* data, int* length, int)
{
    if (!data || !length || *length <= 0) return -1;
    std::vector<uint8_t> request(data, data + *length);
    m_requests.push_back(request);
    m_pending.insert(m_pending.end(), m_faults.staleBytes.begin(), m_faults.staleBytes.end());
    m_faults.staleBytes.clear();
    if (m_faults.silent) return *length;

    std::vector<uint8_t> response = m_handler.Handle(request.data(), request.size());
    if (m_faults.forcedEndCode >= 0 && response.size() >= 11) {
        response.resize(11);
        response[7] = 2;
        response[8] = 0;
        response[9] = static_cast<uint8_t>(m_faults.forcedEndCode);
        response[10] = static_cast<uint8_t>(m_faults.forcedEndCode >> 8);
    }
    if (m_faults.wrongRouting && response.size() > 3) response[3] ^= 0x01;
    if (m_faults.garbleAt >= 0 && static_cast<size_t>(m_faults.garbleAt) < response.size())
        response[static_cast<size_t>(m_faults.garbleAt)] ^= 0xFF;
    const size_t cut = std::min(response.size(), static_cast<size_t>(std::max(0, m_faults.cutBytes)));
    response.resize(response.size() - cut);
    response.insert(response.end(), static_cast<size_t>(std::max(0, m_faults.extraBytes)), 0xEE);
    m_pending.insert(m_pending.end(), response.begin(), response.end());
    m_readyAt = Zolt_GetTickCount() + m_faults.delayMs;
    return *length;
}

int ModelComm::ReceiveData(unsigned char* data, int* length, int)
{
    ++m_receives;
    if (!data || !length) return -1;
    if (m_pending.empty() || Zolt_GetTickCount() < m_readyAt) {
        *length = 0;
        return 0;
    }
    size_t take = std::min(m_pending.size(), static_cast<size_t>(std::max(0, *length)));
    if (m_faults.chunkBytes > 0) take = std::min(take, static_cast<size_t>(m_faults.chunkBytes));
    std::copy_n(m_pending.begin(), take, data);
    m_pending.erase(m_pending.begin(), m_pending.begin() + static_cast<long>(take));
    // A split delivery leaves the rest for a later pass, as TCP does.
    *length = (m_faults.chunkBytes > 0) ? 0 : static_cast<int>(std::min<size_t>(m_pending.size(), 512));
    return static_cast<int>(take);
}

} // namespace sim
