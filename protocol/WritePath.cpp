// The write path: one request for one row or one planned block; a bit
// inside a word is written by reading the word first.
#include <vector>

#include "protocol/ChannelSpan.h"
#include "protocol/Slmp.h"
#include "vi5z_uvevarov_ave/DevBas.h"
#include "vi5z_uvevarov_ave/DevServer.h"
#include "vi5z_uvevarov_ave/ResultCodes.h"

namespace {

constexpr int kWriteResponse = slmp::kResponseHeaderBytes;

// The data of a string write: the text in the device's encoding, byte
// pairs swapped in order "0 - 21", cut or zero-padded to the channel's
// length rounded up to whole words.
CString EncodeString(const DEV_DATA& dev, const CString& text, unsigned length)
{
    const bool unicode = dev.Param(PARAM_ENCODING, 0) == 1;
    const int textLength = text.GetLength();
    int capacity = unicode ? (textLength + 1) * 4 : textLength + (textLength % 2 == 0 ? 2 : 1);
    CByteArray bytes;
    bytes.SetSize(capacity);
    int left = capacity;
    CString source = text;
    char* in = source.GetBuffer(textLength + 1);
    const int result = CDevServer::ConvertCode("UTF-8", unicode ? "UTF-16LE//IGNORE" : "GB18030//IGNORE", in,
                                               unicode ? textLength + 1 : textLength, reinterpret_cast<char*>(bytes.GetData()), left);
    source.ReleaseBuffer(textLength);
    if (result == 0) bytes.SetSize(capacity - left);
    CDevServer::SvrChangeStrIncode(bytes, static_cast<int>(dev.Param(PARAM_DECODEORDER, 1)));
    bytes.SetSize(static_cast<int>((length + 1) & ~1u));
    CString hex;
    CDevServer::SvrHByte2HStr(bytes, hex);
    return hex;
}

// Reads `words` words (a double word counts 2) at `address`: the image that
// a bit write changes. Only a complete answer counts: routing, end code
// "0000" and every byte of the data, so that no word is ever written back
// that was not read.
bool ReadWords(ZOLT_DATA& data, unsigned type, unsigned address, int words, std::vector<uint16_t>& image)
{
    if (!slmp::FitsDeviceNumber(address)) return false;
    CString response;
    const int expected = slmp::ReadResponseBytes(words);
    if (CDevServer::SvrExchange(data, slmp::ReadRequest(type, address, words), expected, response) != expected) return false;
    return slmp::AnswerWords(response, words, image);
}

// A word as the write sends it after a bit change: low byte first.
CString ImageBytes(uint32_t image)
{
    CString bytes;
    bytes.Format("%.2x%.2x", image & 0xFFu, (image >> 8) & 0xFFu);
    return bytes;
}

bool HasBitRow(const CDevTable& table, int firstRow, int lastRow)
{
    for (int r = firstRow; r <= lastRow; ++r) {
        const CDevRow* row = table.Row(static_cast<unsigned>(r));
        if (row && row->GetdwValue(ROW_DATATYPE) < 32) return true;
    }
    return false;
}

// Data of a word-unit write of `points` words from `address`: every word
// named by a row, numeric rows as their code formats them, and bits changed
// in words read first. False (nothing may be sent) when a word would be
// sent that no row names, or the words around a bit could not be read.
bool WordUnitData(ZOLT_DATA& data, const CDevTable& table, int firstRow, int lastRow, unsigned type, unsigned address, int points,
                  const CArray<double, double>& values, CString& payload)
{
    const size_t count = static_cast<size_t>(points);
    std::vector<uint16_t> image;
    if (HasBitRow(table, firstRow, lastRow) && !ReadWords(data, type, address, points, image)) return false;
    std::vector<CString> words(count);
    for (int r = firstRow; r <= lastRow; ++r) {
        const CDevRow* row = table.Row(static_cast<unsigned>(r));
        if (!row) continue;
        double v = r + 1 < values.GetSize() ? values[r + 1] : 0.0;
        const unsigned code = row->GetdwValue(ROW_DATATYPE);
        const size_t offset = row->GetdwValue(ROW_ADDRESS) - address;
        if (code < 32) {
            const size_t at = offset + code / 16;
            if (at >= count) return false;
            const uint16_t mask = static_cast<uint16_t>(1u << (code % 16));
            if (CDevServer::Double2Int(v) != 0)
                image[at] |= mask;
            else
                image[at] &= static_cast<uint16_t>(~mask);
            words[at] = ImageBytes(image[at]);
            continue;
        }
        const CString text = CDevServer::SvrDouble2Str(v, static_cast<int>(code), 8);
        // Codes that do not fill whole words have no word-unit form.
        if (text.IsEmpty() || text.GetLength() % 4 != 0) return false;
        for (size_t w = 0; w < static_cast<size_t>(text.GetLength()) / 4; ++w) {
            if (offset + w >= count) return false;
            words[offset + w] = text.Mid(static_cast<int>(4 * w), 4);
            if (!image.empty()) image[offset + w] = static_cast<uint16_t>(CDevServer::SvrStr2Double(words[offset + w], CHLCODE_WUB, 2, 4));
        }
    }
    for (const CString& word : words) {
        if (word.IsEmpty()) return false;
        payload += word;
    }
    return true;
}

// Data of a bit-unit write: two points a byte, the first in the high nibble.
// False when a point of the span is named by no row.
bool BitUnitData(const CDevTable& table, int firstRow, int lastRow, unsigned address, int points, const CArray<double, double>& values,
                 CString& payload)
{
    std::vector<int> bits(static_cast<size_t>(points), -1);
    for (int r = firstRow; r <= lastRow; ++r) {
        const CDevRow* row = table.Row(static_cast<unsigned>(r));
        if (!row) continue;
        const size_t offset = row->GetdwValue(ROW_ADDRESS) - address;
        if (offset < bits.size()) bits[offset] = (r + 1 < values.GetSize() && values[r + 1] != 0.0) ? 1 : 0;
    }
    for (size_t i = 0; i < bits.size(); i += 2) {
        const int second = i + 1 < bits.size() ? bits[i + 1] : 0;
        if (bits[i] < 0 || second < 0) return false;
        CString pair;
        pair.Format("%d%d", bits[i], second);
        payload += pair;
    }
    return true;
}

} // namespace

// Builds the write request of a row (isBlock 0) or of a planned block (1).
// The answer size to expect (11) when `request` holds one;
// WRITE_ORDER_NOTHING when there is nothing a request may carry;
// WRITE_ORDER_IMAGE_UNREAD when the words around a bit could not be read.
int CDevBas::mfFormWriteOrder(ZOLT_DATA& data, CArray<double, double>& values, CStringArray& strings, CString& request, int index,
                              int isBlock)
{
    DEV_DATA* dev = data.m_pDevData;
    if (!dev || index < 0) return WRITE_ORDER_NOTHING;
    int firstRow = index, lastRow = index;
    if (isBlock == 1) {
        if (index >= dev->m_arBlock.GetSize()) return WRITE_ORDER_NOTHING;
        firstRow = dev->m_arBlock[index].m_nFirstRow;
        lastRow = dev->m_arBlock[index].m_nLastRow;
    }
    const CDevTable& table = *dev->m_pTable;
    const CDevRow* first = table.Row(static_cast<unsigned>(firstRow));
    const CDevRow* last = table.Row(static_cast<unsigned>(lastRow));
    if (!first || !last) return WRITE_ORDER_NOTHING;
    const unsigned type = first->GetdwValue(ROW_TYPE);
    if (!IsRegisterType(type)) return WRITE_ORDER_NOTHING;
    const unsigned address = first->GetdwValue(ROW_ADDRESS);
    if (!slmp::FitsDeviceNumber(address)) return WRITE_ORDER_NOTHING;
    const unsigned firstCode = first->GetdwValue(ROW_DATATYPE);
    const char* deviceCode = CHL_STR_WRITEORDER[type];
    auto valueAt = [&](int row) { return row + 1 < values.GetSize() ? values[row + 1] : 0.0; };

    if (firstCode == CHLCODE_STRING) {
        const unsigned length = first->GetdwValue(ROW_BIT);
        const CString text = firstRow + 1 < strings.GetSize() ? strings[firstRow + 1] : CString();
        const unsigned points = (length + 1) / 2;
        if (points == 0 || points > static_cast<unsigned>(slmp::kMaxRequestPoints)) return WRITE_ORDER_NOTHING;
        const CString body = CString(slmp::kBatchWriteWordsBody) + slmp::DeviceReference(address, deviceCode) + slmp::Count16(points) +
                             EncodeString(*dev, text, length);
        return slmp::WithHeader(body, request) ? kWriteResponse : WRITE_ORDER_NOTHING;
    }

    const int points = RunSpan(*first, *last);
    if (points <= 0 || points > slmp::kMaxRequestPoints) return WRITE_ORDER_NOTHING;
    const unsigned wordLen = WordLenType(type);

    if (wordLen == 2) {
        // A double-word block holds one address: the bits change one image.
        std::vector<uint16_t> read;
        if (firstCode < 32 && !ReadWords(data, type, address, 2, read)) return WRITE_ORDER_IMAGE_UNREAD;
        uint32_t image = read.empty() ? 0u : read[0] | (static_cast<uint32_t>(read[1]) << 16);
        for (int r = firstRow; r <= lastRow; ++r) {
            const CDevRow* row = table.Row(static_cast<unsigned>(r));
            if (!row) continue;
            double v = valueAt(r);
            const unsigned code = row->GetdwValue(ROW_DATATYPE);
            if (code < 32) {
                if (CDevServer::Double2Int(v) != 0)
                    image |= 1u << code;
                else
                    image &= ~(1u << code);
            } else {
                image = static_cast<uint32_t>(CDevServer::Double2Int(v));
            }
        }
        const unsigned lastCode = last->GetdwValue(ROW_DATATYPE);
        const CString data32 =
            lastCode == CHLCODE_DF
                ? CDevServer::SvrDouble2Str(valueAt(lastRow), CHLCODE_DF, 8)
                : CDevServer::SvrDouble2Str(static_cast<double>(image), lastCode < 32 ? CHLCODE_DUB : static_cast<int>(lastCode), 8);
        request = CString(slmp::kRandomWriteDword) + slmp::DeviceReference(address, deviceCode) + data32;
        return kWriteResponse;
    }

    CString payload;
    if (wordLen == 0) {
        if (!BitUnitData(table, firstRow, lastRow, address, points, values, payload)) return WRITE_ORDER_NOTHING;
    } else if (!WordUnitData(data, table, firstRow, lastRow, type, address, points, values, payload)) {
        return HasBitRow(table, firstRow, lastRow) ? WRITE_ORDER_IMAGE_UNREAD : WRITE_ORDER_NOTHING;
    }
    const CString body = CString(wordLen == 0 ? slmp::kBatchWriteBitsBody : slmp::kBatchWriteWordsBody) +
                         slmp::DeviceReference(address, deviceCode) + slmp::Count16(static_cast<unsigned>(points)) + payload;
    return slmp::WithHeader(body, request) ? kWriteResponse : WRITE_ORDER_NOTHING;
}

// Builds, sends and checks one write. 11 (the answer's size): written;
// ENGINE_WRITE_FAILED for every failure, nothing sent when the request could
// not be built.
int CDevBas::_WriteBlock(ZOLT_DATA& data, CArray<double, double>& values, CStringArray& strings, int index, int isBlock)
{
    CString request;
    if (mfFormWriteOrder(data, values, strings, request, index, isBlock) < 1) return ENGINE_WRITE_FAILED;
    CString response;
    return CDevServer::SvrExchange(data, request, kWriteResponse, response) == kWriteResponse ? kWriteResponse : ENGINE_WRITE_FAILED;
}
