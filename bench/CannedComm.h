// A communication object that passes the first exchange to another one and
// answers every later request with that first answer again, so that a
// benchmark counts the driver's work alone.
#pragma once

#include <algorithm>
#include <vector>

#include "host/ICommunication.h"

namespace benchmarks {

class CannedComm : public ICommunication {
public:
    explicit CannedComm(ICommunication& first) : m_first(first) {}
    int SendData(unsigned char* data, int* length, int timeoutMs) override
    {
        if (m_answer.empty()) return m_first.SendData(data, length, timeoutMs);
        m_at = 0;
        return *length;
    }
    int ReceiveData(unsigned char* data, int* length, int timeoutMs) override
    {
        if (m_answer.empty()) {
            const int got = m_first.ReceiveData(data, length, timeoutMs);
            if (got > 0) m_answer.assign(data, data + got);
            m_at = m_answer.size();
            return got;
        }
        const size_t take = std::min(m_answer.size() - m_at, static_cast<size_t>(std::max(0, *length)));
        std::copy_n(m_answer.begin() + static_cast<long>(m_at), take, data);
        m_at += take;
        *length = static_cast<int>(std::min<size_t>(m_answer.size() - m_at, 512));
        return static_cast<int>(take);
    }
    int PrepareSend() override { return m_answer.empty() ? m_first.PrepareSend() : 0; }
    int SelectDevice(char*) override { return 0; }
    int GetLinkKind() override { return 1; }

private:
    ICommunication& m_first;
    std::vector<unsigned char> m_answer;
    size_t m_at = 0;
};

} // namespace benchmarks
