// One request and one response over the host's communication channel,
// polled within the device's wait time.
#include <cstring>
#include <vector>

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

// Each pair of hex digits as parsing it with "%x" gives it: a pair stops at
// a non-digit.
void HexPairsToBytes(const char* digits, size_t pairs, unsigned char* out)
{
    for (size_t i = 0; i < pairs; ++i) {
        const int high = HexDigitValue(digits[2 * i]);
        const int low = HexDigitValue(digits[2 * i + 1]);
        out[i] = static_cast<unsigned char>(high < 0 ? 0 : (low < 0 ? high : high * 16 + low));
    }
}

// False, with `bytes` empty, for an empty or odd text.
bool HexToBytes(const CString& text, std::vector<unsigned char>& bytes)
{
    bytes.clear();
    const int n = text.GetLength();
    if (n == 0 || n % 2 != 0) return false;
    bytes.resize(static_cast<size_t>(n / 2));
    HexPairsToBytes(text.c_str(), bytes.size(), bytes.data());
    return true;
}

void BytesToHex(const unsigned char* bytes, size_t n, CString& text)
{
    char* out = text.GetBufferSetLength(static_cast<int>(2 * n));
    for (size_t i = 0; i < n; ++i) {
        out[2 * i] = kHexDigitChars[bytes[i] >> 4];
        out[2 * i + 1] = kHexDigitChars[bytes[i] & 0x0F];
    }
}

// One receive pass: the channel is called until it has nothing more or says
// the answer is complete, each piece handed to `take`. The received count,
// 0 for nothing, RECEIVE_FAILED without a channel or when it fails.
template <class Take>
int ReceivePass(ZOLT_DATA& data, Take take)
{
    if (!data.m_pComm) return RECEIVE_FAILED;
    int length = kChunk;
    int timeout = static_cast<int>(WaitTime(data));
    int total = 0;
    unsigned char buffer[kChunk];
    for (;;) {
        std::memset(buffer, 0, sizeof buffer);
        if (length > kChunk) length = kChunk;
        const int got = data.m_pComm->ReceiveData(buffer, &length, timeout);
        if (got < 0) return RECEIVE_FAILED;
        if (got == 0) return total;
        // A channel that claims more than it may deliver is cut to the buffer.
        const int usable = got > kChunk ? kChunk : got;
        take(buffer, usable);
        total += usable;
        if (length <= 0) return total;
        timeout = kFollowUpTimeoutMs;
    }
}

} // namespace

int CDevServer::SvrHByte2HStr(CByteArray& bytes, CString& text)
{
    BytesToHex(bytes.GetData(), static_cast<size_t>(bytes.GetSize()), text);
    return 1;
}

int CDevServer::SvrHStr2HByte(CString& text, CByteArray& bytes)
{
    const int n = text.GetLength();
    if (n == 0 || n % 2 != 0) return 0;
    bytes.SetSize(n / 2);
    HexPairsToBytes(text.c_str(), static_cast<size_t>(n / 2), bytes.GetData());
    return 1;
}

int CDevServer::SvrReadTcpip(ZOLT_DATA& data, CByteArray& out)
{
    // Without a channel `out` keeps what it had.
    if (!data.m_pComm) return RECEIVE_FAILED;
    out.SetSize(0);
    return ReceivePass(data, [&out](const unsigned char* bytes, int n) {
        const int base = out.GetSize();
        out.SetSize(base + n);
        std::memcpy(out.GetData() + base, bytes, static_cast<size_t>(n));
    });
}

int CDevServer::SvrExchange(ZOLT_DATA& data, const CString& request, int expected, CString& response)
{
    // The device's own buffers when it has a record: reused, none allocates
    // once it has grown to the device's largest exchange.
    ExchangeScratch local;
    ExchangeScratch& scratch = data.m_pDevData ? data.m_pDevData->m_exchange : local;
    std::vector<unsigned char>& bytes = scratch.requestBytes;
    std::vector<unsigned char>& answer = scratch.answerBytes;
    // An empty or odd request sends nothing, whatever an earlier one held.
    HexToBytes(request, bytes);
    const unsigned wait = WaitTime(data);
    if (data.m_pComm && data.m_pComm->PrepareSend() == 0 && !bytes.empty()) {
        int count = static_cast<int>(bytes.size());
        data.m_pComm->SendData(bytes.data(), &count, static_cast<int>(wait));
    }

    answer.clear();
    const uint64_t start = Zolt_GetTickCount();
    for (;;) {
        // Bytes past the expected length are received and dropped.
        const size_t before = answer.size();
        const int got = ReceivePass(data, [&answer, expected](const unsigned char* piece, int n) {
            const int room = expected - static_cast<int>(answer.size());
            const int take = n < room ? n : (room > 0 ? room : 0);
            answer.insert(answer.end(), piece, piece + take);
        });
        // A pass the channel ends with a failure delivers nothing: its bytes
        // may be half of an answer nobody can vouch for.
        if (got < 0) answer.resize(before);
        if (got <= 0) {
            if (Zolt_GetTickCount() - start >= wait) break;
            Zolt_Sleep(kPollPauseMs);
            continue;
        }
        // An answer whose own length is reached is complete: an error answer
        // is shorter than the data answer, and waiting would cost the whole
        // wait time.
        if (static_cast<int>(answer.size()) >= expected || slmp::AnswerComplete(answer.data(), static_cast<int>(answer.size()))) break;
        Zolt_Sleep(kPollPauseMs);
    }

    BytesToHex(answer.data(), answer.size(), response);
    return slmp::CheckAnswer(request, response, static_cast<int>(answer.size()));
}
