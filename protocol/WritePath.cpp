// The write path: one request for one row or one planned block; a bit
// inside a word is written by reading the word first.
#include <vector>

#include "protocol/ChannelSpan.h"
#include "protocol/Slmp.h"
#include "vi5z_uvevarov_ave/DevBas.h"
#include "vi5z_uvevarov_ave/DevServer.h"

namespace {

constexpr int kWriteResponse = slmp::kResponseHeaderBytes;
constexpr int kWriteFailed = -4;

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
                                               unicode ? textLength + 1 : textLength,
                                               reinterpret_cast<char*>(bytes.GetData()), left);
    source.ReleaseBuffer(textLength);
    if (result == 0) bytes.SetSize(capacity - left);
    CDevServer::SvrChangeStrIncode(bytes, static_cast<int>(dev.Param(PARAM_DECODEORDER, 1)));
    bytes.SetSize(static_cast<int>((length + 1) & ~1u));
    CString hex;
    CDevServer::SvrHByte2HStr(bytes, hex);
    return hex;
}

// Reads the word (or double word) image around a bit; false on failure.
bool ReadImage(ZOLT_DATA& data, unsigned type, unsigned address, int points, uint32_t& image)
{
    CString response;
    const int result = CDevServer::SvrExchange(data, slmp::ReadRequest(type, address, points), slmp::ReadResponseBytes(points), response);
    if (result == slmp::kNoResponse || result == slmp::kRoutingMismatch || result <= -100) return false;
    double low = CDevServer::SvrStr2Double(response.Mid(slmp::kDataPos, 4), CHLCODE_WUB, 2, 4);
    image = static_cast<uint32_t>(CDevServer::Double2Int(low));
    if (IsDoubleWordType(type)) {
        double high = CDevServer::SvrStr2Double(response.Mid(slmp::kDataPos + 4, 4), CHLCODE_WUB, 2, 4);
        image += static_cast<uint32_t>(CDevServer::Double2Int(high)) << 16;
    }
    return true;
}

CString ImageBytes(uint32_t image)
{
    CString bytes;
    bytes.Format("%.2x%.2x", image & 0xFFu, (image >> 8) & 0xFFu);
    return bytes;
}

} // namespace

int CDevBas::mfFormWriteOrder(ZOLT_DATA& data, CArray<double, double>& values, CStringArray& strings,
                              CString& request, int index, int isBlock)
{
    DEV_DATA* dev = data.m_pDevData;
    if (!dev || index < 0) return 0;
    int firstRow = index, lastRow = index;
    if (isBlock == 1) {
        if (index >= dev->m_arBlock.GetSize()) return 0;
        firstRow = dev->m_arBlock[index].m_nFirstRow;
        lastRow = dev->m_arBlock[index].m_nLastRow;
    }
    const CDevTable& table = *dev->m_pTable;
    const CDevRow* first = table.Row(static_cast<unsigned>(firstRow));
    const CDevRow* last = table.Row(static_cast<unsigned>(lastRow));
    if (!first || !last) return 0;
    const unsigned type = first->GetdwValue(ROW_TYPE);
    if (!IsRegisterType(type)) return 0;
    const unsigned address = first->GetdwValue(ROW_ADDRESS);
    const unsigned firstCode = first->GetdwValue(ROW_DATATYPE);
    const char* deviceCode = CHL_STR_WRITEORDER[type];
    auto valueAt = [&](int row) { return row + 1 < values.GetSize() ? values[row + 1] : 0.0; };

    if (firstCode == CHLCODE_STRING) {
        const unsigned length = first->GetdwValue(ROW_BIT);
        const CString text = firstRow + 1 < strings.GetSize() ? strings[firstRow + 1] : CString();
        const unsigned points = (length + 1) / 2;
        if (points == 0 || points > 0xFFFF) return 0;
        request = slmp::WithHeader(CString(slmp::kBatchWriteWordsBody) + slmp::DeviceReference(address, deviceCode) +
                                   slmp::Count16(points) + EncodeString(*dev, text, length));
        return kWriteResponse;
    }

    const int points = RunSpan(*first, *last);
    if (points <= 0 || points > 0xFFFF) return 0;
    const unsigned wordLen = WordLenType(type);
    uint32_t image = 0;
    if (wordLen != 0 && firstCode < 32) {
        if (!ReadImage(data, type, address, IsDoubleWordType(type) ? 2 : points, image)) return -1;
    }

    CString payload;
    // Bit units carry two points a byte, the first in the high nibble.
    std::vector<unsigned char> bitPoints;
    if (wordLen == 0) bitPoints.assign(static_cast<size_t>(points), 0);
    for (int r = firstRow; r <= lastRow; ++r) {
        const CDevRow* row = table.Row(static_cast<unsigned>(r));
        if (!row) continue;
        double v = valueAt(r);
        const unsigned code = row->GetdwValue(ROW_DATATYPE);
        if (wordLen == 0) {
            const unsigned offset = row->GetdwValue(ROW_ADDRESS) - address;
            if (offset < bitPoints.size()) bitPoints[offset] = v == 0.0 ? 0 : 1;
        } else if (code < 32) {
            if (CDevServer::Double2Int(v) != 0) image |= 1u << code;
            else image &= ~(1u << code);
            if (wordLen == 1 && (code % 8 == 7 || r == lastRow)) payload += ImageBytes(image);
        } else if (wordLen == 1) {
            payload += CDevServer::SvrDouble2Str(v, static_cast<int>(code), 8);
        } else {
            image = static_cast<uint32_t>(CDevServer::Double2Int(v));
        }
    }

    for (size_t i = 0; i < bitPoints.size(); i += 2) {
        CString pair;
        pair.Format("%u%u", bitPoints[i], i + 1 < bitPoints.size() ? bitPoints[i + 1] : 0u);
        payload += pair;
    }

    if (wordLen == 2) {
        const unsigned lastCode = last->GetdwValue(ROW_DATATYPE);
        const CString data32 = lastCode == CHLCODE_DF
                                   ? CDevServer::SvrDouble2Str(valueAt(lastRow), CHLCODE_DF, 8)
                                   : CDevServer::SvrDouble2Str(static_cast<double>(image), lastCode < 32 ? CHLCODE_DUB : static_cast<int>(lastCode), 8);
        request = CString(slmp::kRandomWriteDword) + slmp::DeviceReference(address, deviceCode) + data32;
        return kWriteResponse;
    }
    request = slmp::WithHeader(CString(wordLen == 0 ? slmp::kBatchWriteBitsBody : slmp::kBatchWriteWordsBody) +
                               slmp::DeviceReference(address, deviceCode) + slmp::Count16(static_cast<unsigned>(points)) +
                               payload);
    return kWriteResponse;
}

int CDevBas::_WriteBlock(ZOLT_DATA& data, CArray<double, double>& values, CStringArray& strings, int index,
                         int isBlock)
{
    CString request;
    if (mfFormWriteOrder(data, values, strings, request, index, isBlock) < 1) return kWriteFailed;
    CString response;
    return CDevServer::SvrExchange(data, request, kWriteResponse, response) == kWriteResponse ? kWriteResponse : kWriteFailed;
}
