// Controller replies of any shape: every request of a collection cycle, of
// writes (a bit inside a word included) and of direct commands is answered
// with bytes from the input. Half the inputs keep a valid 3E answer header
// so that the bytes after it are reached.
#include <algorithm>
#include <cstdint>
#include <vector>

#include "fuzz/FuzzDevice.h"
#include "support/BlobBuilder.h"

namespace {

// Hands out the input as one reply per request.
class ReplyComm : public ICommunication {
public:
    void Reset(const uint8_t* data, size_t size)
    {
        m_data = data;
        m_size = size;
        m_at = 1;
        m_withHeader = size > 0 && (data[0] & 1) == 0;
        m_pending.clear();
    }
    int SendData(unsigned char*, int* length, int) override
    {
        m_pending.clear();
        if (m_at >= m_size) return *length;
        // A length byte, then that many bytes of reply.
        const size_t stated = m_data[m_at++];
        const size_t n = std::min<size_t>(stated, m_size - m_at);
        if (m_withHeader) {
            const uint8_t header[] = {0xD0, 0x00, 0x00, 0xFF, 0xFF, 0x03, 0x00, static_cast<uint8_t>(n), 0x00};
            m_pending.assign(header, header + sizeof header);
        }
        m_pending.insert(m_pending.end(), m_data + m_at, m_data + m_at + n);
        m_at += n;
        return *length;
    }
    int ReceiveData(unsigned char* data, int* length, int) override
    {
        const size_t n = std::min<size_t>(m_pending.size(), static_cast<size_t>(std::max(0, *length)));
        std::copy_n(m_pending.begin(), n, data);
        m_pending.erase(m_pending.begin(), m_pending.begin() + static_cast<long>(n));
        *length = m_pending.empty() ? 0 : 512;
        return static_cast<int>(n);
    }
    int PrepareSend() override { return 0; }
    int SelectDevice(char*) override { return 0; }
    int GetLinkKind() override { return 1; }

private:
    const uint8_t* m_data = nullptr;
    size_t m_size = 0, m_at = 0;
    bool m_withHeader = false;
    std::vector<uint8_t> m_pending;
};

std::vector<unsigned char> Configuration()
{
    using KVSG::MakeVariable;
    using testing_support::Node;
    return testing_support::Blob(
        Node(MakeVariable("", "", 21, 0, 0),
             {Node(MakeVariable("w", "w", 3, REG_D, 10)), Node(MakeVariable("d", "d", 5, REG_D, 12)),
              Node(MakeVariable("f", "f", 9, REG_D, 14)), Node(MakeVariable("b", "b", 0, REG_D, 16, 5)),
              Node(MakeVariable("m", "m", 0, REG_M, 20)), Node(MakeVariable("z", "z", 5, REG_LZ, 1)),
              Node(MakeVariable("s", "s", 12, REG_D, 100, 0xFFFFFFFFu, 10)), Node(MakeVariable("u", "u", 11, REG_D, 200, 0xFFFFFFFFu, 4))}),
        {"w", "d", "f", "b", "m", "z", "s", "u"});
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static ReplyComm comm;
    static sim::SinkValueStore store;
    static KVSG::KVSGConvertLayer driver("PLC1", &store);
    static const bool ready = [] {
        zolt_log::SetSink(nullptr);
        zolt_clock::UseVirtualClock(true);
        driver.UpdataCommunication(&comm);
        const std::vector<unsigned char> blob = Configuration();
        return driver.InitDevice(blob.data(), static_cast<int>(blob.size())) == 0;
    }();
    if (!ready) __builtin_trap();
    comm.Reset(data, size);
    const int flags[8] = {1, 1, 1, 1, 1, 1, 1, 1};
    driver.ChannelRefChange(flags, 8);
    for (int i = 0; i < 8; ++i) driver.CollectDevData(flags, 8);
    int one = 1;
    double half = 2.5;
    char text[] = "AB";
    driver.WriteChannel(3, DATATYPE_INT, &one);
    driver.WriteChannel(5, DATATYPE_DOUBLE, &half);
    driver.WriteChannel(6, DATATYPE_STRING, text);
    driver.DevIOCtrl("READP(D,10,WUB,3,a,b,c)WRITEP(D,100,BT06,3,a,b,c)");
    driver.DevIOCtrl("READBLOCK(D,10,[WUB][BT03][DF],2,r)");
    return 0;
}
