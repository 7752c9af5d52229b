// SLMP 3E binary frames as the driver composes them: upper-case hex text,
// two characters per byte in wire order.
#pragma once

#include <cstdint>
#include <vector>

#include "host/afx.h"
#include "vi5z_uvevarov_ave/ResultCodes.h"

namespace slmp {

// Subheader 50 00 (3E request), network 00, PC FF (the station itself),
// module I/O 03FF (the CPU) and station 00: the route to the CPU the panel
// is wired to, without relaying.
constexpr const char* kHeaderPrefix = "500000FFFF0300";
// Each fixed request below carries the monitoring timer 0x0010: 16 x 250 ms,
// the 4 s the controller may take before it answers with a time-out error,
// well above any wait time a panel sets.
constexpr const char* kBatchReadWords = "500000FFFF03000C00100001040000";
constexpr const char* kRandomReadDword = "500000FFFF03000C001000030400000001";
constexpr const char* kBatchWriteWordsBody = "100001140000";
constexpr const char* kBatchWriteBitsBody = "100001140100";
constexpr const char* kRandomWriteDword = "500000FFFF030010001000021400000001";

// Response layout, in characters of the hex text.
constexpr int kRoutingPos = 4;
constexpr int kRoutingLen = 10;
constexpr int kEndCodePos = 18;
constexpr int kDataPos = 22;
constexpr int kResponseHeaderBytes = 11;
// Bytes up to and including the response data length (subheader, routing,
// length): the length counts the bytes after it.
constexpr int kResponseLengthEnd = 9;

// Bytes of the response to a read of `words` words (a double word counts 2).
inline int ReadResponseBytes(int words) { return kResponseHeaderBytes + 2 * words; }

// The frame's device-number field is three bytes: a larger number cannot be
// named, and masking it would silently address another device.
constexpr unsigned kMaxDeviceNumber = 0xFFFFFFu;
inline bool FitsDeviceNumber(unsigned address) { return address <= kMaxDeviceNumber; }
// The 16-bit point count of a request.
constexpr int kMaxRequestPoints = 0xFFFF;

// Exchange results besides a byte count: ENGINE_NO_RESPONSE,
// ENGINE_ROUTING_MISMATCH and ENGINE_END_CODE - end code (ResultCodes.h).

// Device number (three bytes, little-endian) and device code; callers check
// FitsDeviceNumber first.
CString DeviceReference(unsigned address, const char* deviceCode);
// A 16-bit count, low byte first.
CString Count16(unsigned count);
// The request data length is 16 bits: a body longer than this would wrap it,
// and the controller would take the rest of the body as further requests.
constexpr int kMaxRequestDataBytes = 0xFFFF;
// Prefixes a body (monitoring timer onwards) with the header and its length;
// false, with `request` untouched, when the length field cannot carry it.
bool WithHeader(const CString& body, CString& request);
// The read request for `words` words (or one double word) at `address`;
// the second form writes it over `out`, reusing its room.
CString ReadRequest(unsigned registerType, unsigned address, int words);
void ReadRequestInto(CString& out, unsigned registerType, unsigned address, int words);

// Replies: the other half of each frame.
//
// Whether an answer's own length (bytes 7-8) says it has all its bytes.
bool AnswerComplete(const unsigned char* bytes, int count);
// What an answer of `bytes` bytes (as hex text) to `request` (hex text)
// says: ENGINE_NO_RESPONSE for none, ENGINE_ROUTING_MISMATCH when its
// routing differs, ENGINE_END_CODE - code when its end code is not "0000"
// (a missing end code is not "0000"), otherwise the byte count.
int CheckAnswer(const CString& request, const CString& answer, int bytes);
// `count` characters of the answer's data from word `word` on (fewer, or
// none, when the answer is shorter).
CString AnswerField(const CString& answer, int word, int count);
// The same characters in place: where they start and how many there are.
struct FieldView {
    const char* chars;
    int length;
};
FieldView AnswerFieldView(const CString& answer, int word, int count);
// The words of a read answer; false when it does not hold them all.
bool AnswerWords(const CString& answer, int words, std::vector<uint16_t>& out);

} // namespace slmp
