// Both halves of the frames: builders of the requests' parts (device
// references, point counts, the header with its data length, the read
// request of a register type) and readers of the answers (completeness,
// routing and end code, values cut out of the data).
#include "protocol/Slmp.h"

#include <algorithm>
#include <string>
#include <string_view>

#include "config/DevTables.h"
#include "convert/StringToNumber.h"
#include "vi5z_uvevarov_ave/DevServer.h"

namespace slmp {

namespace {

// Writes `bytes` bytes of `value`, least significant first, as upper-case
// hex at `at`; returns the end.
char* PutHexLittleEndian(char* at, unsigned value, int bytes)
{
    for (int i = 0; i < bytes; ++i, value >>= 8) {
        *at++ = kHexDigitChars[(value >> 4) & 0xFu];
        *at++ = kHexDigitChars[value & 0xFu];
    }
    return at;
}

std::string HexLittleEndian(unsigned value, int bytes)
{
    std::string out(2 * static_cast<size_t>(bytes), '\0');
    PutHexLittleEndian(&out[0], value, bytes);
    return out;
}

// A device reference: the number in three bytes, then the device code.
constexpr size_t kDeviceNumberChars = 6;
size_t DeviceReferenceChars(std::string_view deviceCode) { return kDeviceNumberChars + deviceCode.size(); }

// Writes the reference at `at`; returns the end.
char* PutDeviceReference(char* at, unsigned address, std::string_view deviceCode)
{
    at = PutHexLittleEndian(at, address & kMaxDeviceNumber, 3);
    return std::copy(deviceCode.begin(), deviceCode.end(), at);
}

// The characters of `text` from `pos` on, at most `count`, as Mid picks them
// (a negative position counts from 0).
std::string_view Field(const CString& text, int pos, int count)
{
    const std::string& all = text.str();
    if (pos < 0) pos = 0;
    if (count <= 0 || static_cast<size_t>(pos) >= all.size()) return std::string_view(all).substr(all.size());
    const auto from = static_cast<size_t>(pos);
    const auto length = static_cast<size_t>(count);
    return std::string_view(all).substr(from, length);
}

} // namespace

CString DeviceReference(unsigned address, const char* deviceCode)
{
    const std::string_view code(deviceCode);
    std::string reference(DeviceReferenceChars(code), '\0');
    PutDeviceReference(&reference[0], address, code);
    return CString(std::move(reference));
}

CString Count16(unsigned count) { return CString(HexLittleEndian(count & 0xFFFFu, 2)); }

bool WithHeader(const CString& body, CString& request)
{
    // The data length counts the bytes from the monitoring timer on.
    const int bytes = body.GetLength() / 2;
    if (bytes > kMaxRequestDataBytes) return false;
    request = CString(kHeaderPrefix + HexLittleEndian(static_cast<unsigned>(bytes), 2) + body.str());
    return true;
}

void ReadRequestInto(CString& out, unsigned registerType, unsigned address, int words)
{
    const char* code = registerType < REGISTER_TYPE_COUNT ? CHL_STR_READORDER[registerType] : "00";
    const bool dword = registerType < REGISTER_TYPE_COUNT && DEV_CHL_WORD_LEN_TYPE[registerType] == 2;
    const std::string_view command(dword ? kRandomReadDword : kBatchReadWords);
    const std::string_view device(code);
    // Written in place: the request is made for every block read, and the
    // device's buffer already has the room.
    const size_t length = command.size() + DeviceReferenceChars(device) + (dword ? 0 : 4);
    char* at = out.GetBufferSetLength(static_cast<int>(length));
    at = std::copy(command.begin(), command.end(), at);
    at = PutDeviceReference(at, address, device);
    // Low byte then high byte; for up to 255 words the same as "%.2X" and "00".
    if (!dword) PutHexLittleEndian(at, static_cast<unsigned>(words) & 0xFFFFu, 2);
}

CString ReadRequest(unsigned registerType, unsigned address, int words)
{
    CString request;
    ReadRequestInto(request, registerType, address, words);
    return request;
}

bool AnswerComplete(const unsigned char* bytes, int count)
{
    if (count < kResponseLengthEnd) return false;
    const int stated = bytes[kResponseLengthEnd - 2] | (bytes[kResponseLengthEnd - 1] << 8);
    return count >= kResponseLengthEnd + stated;
}

int CheckAnswer(const CString& request, const CString& answer, int bytes)
{
    if (bytes == 0) return ENGINE_NO_RESPONSE;
    if (Field(answer, kRoutingPos, kRoutingLen) != Field(request, kRoutingPos, kRoutingLen)) return ENGINE_ROUTING_MISMATCH;
    // An answer cut before or inside its end code reports the end code its
    // characters give (none: 0), never success.
    if (Field(answer, kEndCodePos, 4) != "0000") {
        unsigned code = 0;
        cstringToNumeric(answer.Mid(kEndCodePos + 2, 2) + answer.Mid(kEndCodePos, 2), "%x", &code);
        return ENGINE_END_CODE - static_cast<int>(code);
    }
    return bytes;
}

FieldView AnswerFieldView(const CString& answer, int word, int count)
{
    const std::string_view field = Field(answer, kDataPos + 4 * word, count);
    return {field.data(), static_cast<int>(field.size())};
}

CString AnswerField(const CString& answer, int word, int count)
{
    const FieldView view = AnswerFieldView(answer, word, count);
    return CString(view.chars, view.length);
}

bool AnswerWords(const CString& answer, int words, std::vector<uint16_t>& out)
{
    if (answer.GetLength() < kDataPos + 4 * words) return false;
    out.resize(static_cast<size_t>(words));
    for (int i = 0; i < words; ++i) {
        const FieldView field = AnswerFieldView(answer, i, 4);
        double word = CDevServer::SvrChars2Double(field.chars, field.length, CHLCODE_WUB, 2, 4);
        out[static_cast<size_t>(i)] = static_cast<uint16_t>(CDevServer::Double2Int(word));
    }
    return true;
}

} // namespace slmp
