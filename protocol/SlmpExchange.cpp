// One request and one response over the host's communication channel,
// polled within the device's wait time.
#include <cstring>

#include "convert/StringToNumber.h"
#include "host/ZoltTools.h"
#include "protocol/Slmp.h"
#include "vi5z_uvevarov_ave/DevData.h"
#include "vi5z_uvevarov_ave/DevServer.h"

namespace {
// The host channel hands over at most 512 bytes a call.
constexpr int kChunk = 512;
// Later calls of one receive pass wait briefly: the rest of an answer
// follows its start closely, or not at all.
constexpr int kFollowUpTimeoutMs = 20;
// Pause between receive passes while an answer is awaited.
constexpr unsigned kPollPauseMs = 10;

unsigned WaitTime(const ZOLT_DATA& data) { return data.m_pDevData ? data.m_pDevData->WaitTime() : 200u; }

int HexToBytes(const CString& text, CByteArray& bytes)
{
    const int n = text.GetLength();
    if (n == 0 || n % 2 != 0) return 0;
    bytes.SetSize(n / 2);
    const char* digits = text.c_str();
    for (int i = 0; i < n / 2; ++i) {
        const int high = HexDigitValue(digits[2 * i]);
        const int low = HexDigitValue(digits[2 * i + 1]);
        // Same result as parsing the pair with "%x": stop at a non-digit.
        bytes[i] = static_cast<unsigned char>(high < 0 ? 0 : (low < 0 ? high : high * 16 + low));
    }
    return 1;
}

} // namespace

int CDevServer::SvrHByte2HStr(CByteArray& bytes, CString& text)
{
    static const char kDigits[] = "0123456789ABCDEF";
    const int n = bytes.GetSize();
    char* out = text.GetBufferSetLength(2 * n);
    for (int i = 0; i < n; ++i) {
        out[2 * i] = kDigits[bytes[i] >> 4];
        out[2 * i + 1] = kDigits[bytes[i] & 0x0F];
    }
    return 1;
}

int CDevServer::SvrHStr2HByte(CString& text, CByteArray& bytes) { return HexToBytes(text, bytes); }

int CDevServer::SvrReadTcpip(ZOLT_DATA& data, CByteArray& out)
{
    if (!data.m_pComm) return RECEIVE_FAILED;
    out.SetSize(0);
    int length = kChunk;
    int timeout = static_cast<int>(WaitTime(data));
    unsigned char buffer[kChunk];
    for (;;) {
        std::memset(buffer, 0, sizeof buffer);
        if (length > kChunk) length = kChunk;
        const int got = data.m_pComm->ReceiveData(buffer, &length, timeout);
        if (got < 0) return RECEIVE_FAILED;
        if (got == 0) return out.GetSize();
        // A channel that claims more than it may deliver is cut to the buffer.
        const int usable = got > kChunk ? kChunk : got;
        const int base = out.GetSize();
        out.SetSize(base + usable);
        std::memcpy(out.GetData() + base, buffer, static_cast<size_t>(usable));
        if (length <= 0) return out.GetSize();
        timeout = kFollowUpTimeoutMs;
    }
}

int CDevServer::SvrExchange(ZOLT_DATA& data, const CString& request, int expected, CString& response)
{
    CByteArray bytes;
    HexToBytes(request, bytes);
    const unsigned wait = WaitTime(data);
    if (data.m_pComm && data.m_pComm->PrepareSend() == 0 && bytes.GetSize() > 0) {
        int count = bytes.GetSize();
        data.m_pComm->SendData(bytes.GetData(), &count, static_cast<int>(wait));
    }

    bytes.SetSize(0);
    const uint64_t start = Zolt_GetTickCount();
    CByteArray chunk;
    for (;;) {
        const int got = SvrReadTcpip(data, chunk);
        if (got <= 0) {
            if (Zolt_GetTickCount() - start >= wait) break;
            Zolt_Sleep(kPollPauseMs);
            continue;
        }
        const int room = expected - bytes.GetSize();
        const int take = got < room ? got : (room > 0 ? room : 0);
        const int base = bytes.GetSize();
        bytes.SetSize(base + take);
        if (take > 0) std::memcpy(bytes.GetData() + base, chunk.GetData(), static_cast<size_t>(take));
        // An answer whose own length is reached is complete: an error answer
        // is shorter than the data answer, and waiting would cost the whole
        // wait time.
        if (bytes.GetSize() >= expected || slmp::AnswerComplete(bytes)) break;
        Zolt_Sleep(kPollPauseMs);
    }

    SvrHByte2HStr(bytes, response);
    return slmp::CheckAnswer(request, response, bytes.GetSize());
}
