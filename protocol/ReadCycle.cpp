// The read cycle: one read rank per collection step, values cut out of
// the response by register type and data type.
#include "protocol/ChannelSpan.h"
#include "protocol/Slmp.h"
#include "vi5z_uvevarov_ave/DevBas.h"
#include "vi5z_uvevarov_ave/DevServer.h"
#include "vi5z_uvevarov_ave/ResultCodes.h"

namespace {

// Collect flags after a read: a fresh value was stored, or the read failed.
constexpr int kFresh = 3;
constexpr int kFailed = 4;

// Marks the wanted rows of every block of the current rank failed.
void MarkRankFailed(const DEV_DATA& dev, CArray<int, int>& status)
{
    for (int b = dev.m_nReadBlock; b >= 0 && b < dev.m_arBlock.GetSize() && dev.m_arBlock[b].m_nRank <= dev.m_nReadRank; ++b) {
        const DynBlock& block = dev.m_arBlock[b];
        if (block.m_nRank != dev.m_nReadRank) continue;
        for (int r = block.m_nFirstRow; r <= block.m_nLastRow; ++r) {
            if (r + 1 < status.GetSize() && status[r + 1] > 0) status[r + 1] = kFailed;
        }
    }
}

// The value of a numeric or bit row from a read answer: its characters sit
// 4 per word from the block's start (bit devices: the word holding the
// point), converted by the row's code; bits come out as 1.0 or 0.0.
double CutNumber(const CString& response, const CDevRow& row, unsigned blockStart)
{
    const unsigned type = row.GetdwValue(ROW_TYPE);
    const unsigned code = row.GetdwValue(ROW_DATATYPE);
    const unsigned address = row.GetdwValue(ROW_ADDRESS);
    int wordAt = 0;
    int count = 4;
    unsigned convertCode = CHLCODE_WUB;
    unsigned bit = code;
    switch (WordLenType(type)) {
    case 0:
        wordAt = static_cast<int>((address - blockStart + blockStart % 16) / 16);
        bit = address % 16;
        break;
    case 2:
        wordAt = static_cast<int>(address - blockStart);
        count = 8;
        convertCode = code <= CHLCODE_BIT_LAST ? CHLCODE_DUB : code;
        break;
    default:
        wordAt = static_cast<int>(address - blockStart);
        count = (code <= CHLCODE_BIT_LAST || code < CHLCODE_DUB) ? 4 : 8;
        convertCode = code <= CHLCODE_BIT_LAST ? CHLCODE_WUB : code;
        break;
    }
    const slmp::FieldView field = slmp::AnswerFieldView(response, wordAt, count);
    const double value = CDevServer::SvrChars2Double(field.chars, field.length, static_cast<int>(convertCode), 2, count);
    if (code > CHLCODE_BITDEVICE) return value;
    double word = value;
    const uint32_t pattern = static_cast<uint32_t>(CDevServer::Double2Int(word));
    return ((pattern >> (bit & 31u)) & 1u) ? 1.0 : 0.0;
}

// The text of a string row: its bytes from the answer's data, byte pairs
// swapped in order "0 - 21", converted to UTF-8 from GB18030 or UTF-16LE.
CString CutString(const ZOLT_DATA& data, const CString& response, const CDevRow& row)
{
    const int length = static_cast<int>(row.GetdwValue(ROW_BIT));
    CString hex = slmp::AnswerField(response, 0, 2 * length);
    CByteArray bytes;
    CDevServer::SvrHStr2HByte(hex, bytes);
    const DEV_DATA& dev = *data.m_pDevData;
    CDevServer::SvrChangeStrIncode(bytes, static_cast<int>(dev.Param(PARAM_DECODEORDER, 1)));
    const bool unicode = dev.Param(PARAM_ENCODING, 0) == 1;
    if (unicode) {
        bytes.SetSize(bytes.GetSize() & ~1);
        bytes.SetAtGrow(bytes.GetSize(), 0);
        bytes.SetAtGrow(bytes.GetSize(), 0);
    } else {
        bytes.SetAtGrow(bytes.GetSize(), 0);
    }
    int capacity = 2 * bytes.GetSize();
    CString text;
    char* out = text.GetBufferSetLength(capacity);
    int left = capacity;
    const int result = CDevServer::ConvertCode(unicode ? "UTF-16LE" : "GB18030", "UTF-8//IGNORE", reinterpret_cast<char*>(bytes.GetData()),
                                               bytes.GetSize(), out, left);
    // A failed conversion keeps the zero-filled buffer at its full length.
    if (result == 0) text.ReleaseBuffer(-1);
    return text;
}

} // namespace

// One collection step. 0: nothing planned, or the rank was read (its wanted
// rows fresh, the rank moved on); ENGINE_READ_FAILED: the rank's wanted rows
// are marked failed, values[0] holds minus the read's result, and the same
// rank is read next time.
int CDevBas::mfCollectDevData(ZOLT_DATA& data, CArray<int, int>& status, CArray<double, double>& values, CStringArray& strings)
{
    DEV_DATA* dev = data.m_pDevData;
    if (!dev || dev->m_nRankNum <= 0) return 0;
    const int result = _ReadBlock(data, status, values, strings, dev->m_nReadRank);
    if (values.GetSize() == 0) values.SetSize(1);
    if (result != 0) {
        MarkRankFailed(*dev, status);
        values[0] = -static_cast<double>(result);
        return ENGINE_READ_FAILED;
    }
    // The block read has already marked the rank's wanted rows fresh.
    int b = dev->m_nReadBlock;
    while (b < dev->m_arBlock.GetSize() && dev->m_arBlock[b].m_nRank <= dev->m_nReadRank) ++b;
    if (b < dev->m_arBlock.GetSize()) dev->m_nReadBlock = b;
    if (++dev->m_nReadRank >= dev->m_nRankNum) {
        dev->m_nReadRank = 0;
        dev->m_nReadBlock = 0;
    }
    values[0] = 0.0;
    return 0;
}

// Reads the block of `rank` and stores its rows' values. 0: read;
// ENGINE_NO_BLOCK: no such block, or one no request can carry;
// ENGINE_NO_RESPONSE, ENGINE_ROUTING_MISMATCH or ENGINE_END_CODE - code as the
// exchange found; a positive count: an answer of the wrong length.
int CDevBas::_ReadBlock(ZOLT_DATA& data, CArray<int, int>& status, CArray<double, double>& values, CStringArray& strings, int rank)
{
    DEV_DATA* dev = data.m_pDevData;
    if (!dev) return ENGINE_NO_BLOCK;
    int found = -1;
    for (int b = dev->m_nReadBlock; b >= 0 && b < dev->m_arBlock.GetSize(); ++b) {
        if (dev->m_arBlock[b].m_nRank == rank) {
            found = b;
            break;
        }
    }
    if (found < 0) return ENGINE_NO_BLOCK;
    const CDevTable& table = *dev->m_pTable;
    const DynBlock& block = dev->m_arBlock[found];
    const CDevRow* first = table.Row(static_cast<unsigned>(block.m_nFirstRow));
    const CDevRow* last = table.Row(static_cast<unsigned>(block.m_nLastRow));
    if (!first || !last) return ENGINE_NO_BLOCK;

    const unsigned type = first->GetdwValue(ROW_TYPE);
    const unsigned start = first->GetdwValue(ROW_ADDRESS);
    const int points = RunSpan(*first, *last);
    // No request can carry such a block: refused as a rank without a block.
    if (points <= 0 || points > slmp::kMaxRequestPoints || !slmp::FitsDeviceNumber(start)) return ENGINE_NO_BLOCK;
    int words = points;
    unsigned readAddress = start;
    if (WordLenType(type) == 0) {
        readAddress = start - start % 16;
        words = (static_cast<int>(start % 16) + points + 15) / 16;
    }
    const int expected = slmp::ReadResponseBytes(words);
    // The device's own buffers: a steady cycle allocates nothing here.
    CString& request = dev->m_exchange.readRequest;
    CString& response = dev->m_exchange.readAnswer;
    slmp::ReadRequestInto(request, type, readAddress, words);
    const int exchanged = CDevServer::SvrExchange(data, request, expected, response);
    if (exchanged != expected) return exchanged;

    for (int b = found; b < dev->m_arBlock.GetSize() && dev->m_arBlock[b].m_nRank == rank; ++b) {
        const DynBlock& part = dev->m_arBlock[b];
        for (int r = part.m_nFirstRow; r <= part.m_nLastRow; ++r) {
            const CDevRow* row = table.Row(static_cast<unsigned>(r));
            if (!row) continue;
            if ((row->GetdwValue(ROW_RWFLAG) & ~2u) == 0) {
                if (row->GetdwValue(ROW_DATATYPE) == CHLCODE_STRING) {
                    if (r + 1 < strings.GetSize()) strings[r + 1] = CutString(data, response, *row);
                } else if (r + 1 < values.GetSize()) {
                    values[r + 1] = CutNumber(response, *row, start);
                }
            }
            if (r + 1 < status.GetSize() && status[r + 1] > 0) status[r + 1] = kFresh;
        }
    }
    return 0;
}
