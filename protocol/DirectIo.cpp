// Direct read and write commands of control strings: a temporary channel
// table per command, planned and exchanged like configured channels, with
// results delivered to host variables.
#include <algorithm>
#include <memory>
#include <vector>

#include "config/ChannelGeneration.h"
#include "convert/StringToNumber.h"
#include "protocol/ChannelSpan.h"
#include "vi5z_uvevarov_ave/ControlString.h"
#include "vi5z_uvevarov_ave/DevBas.h"
#include "vi5z_uvevarov_ave/DevServer.h"
#include "vi5z_uvevarov_ave/ResultCodes.h"

namespace {

enum Command : int {
    CMD_READ = 0,
    CMD_WRITE,
    CMD_READ32,
    CMD_WRITE32,
    CMD_READP,
    CMD_WRITEP,
    CMD_READPV,
    CMD_WRITEPV,
    CMD_READBLOCK,
    CMD_WRITEBLOCK,
    CMD_READMUTIREG,
    CMD_WRITEMUTIREG,
};
constexpr int kAttempts = 3;

// Even command indexes read, odd ones write.
bool IsWrite(int index) { return index % 2 == 1; }

// Channels of one command in the order the command names them.
struct Channel {
    CDevRow row;
    CString parameter; // host variable of a single-valued channel
    CString text;      // value text of the block and multi-register writes
    int tableRow = -1;
};

struct ParsedCommand {
    std::vector<Channel> channels;
    CString resultParameter; // READBLOCK / ReadMutiReg: one variable for all values
    CString statusParameter;
    int blockWidth = 0; // values per repetition of a READBLOCK
};

// The fields of a part, split at "," and trimmed.
std::vector<CString> Fields(const CString& part)
{
    std::vector<CString> fields;
    int start = 0;
    for (;;) {
        const int comma = part.Find(',', start);
        fields.push_back(part.Mid(start, comma < 0 ? part.GetLength() - start : comma - start).Trim());
        if (comma < 0) return fields;
        start = comma + 1;
    }
}

// The register type a field names (directly or through a text variable),
// exact first, then without regard to case; -1 for none.
int RegisterTypeOf(ZOLT_DATA& data, CString field)
{
    CString name;
    CDevServer::SvrGetParaValue(data, field, name);
    // The field is trimmed; a name held by a text variable is taken as it is.
    name.MakeUpper();
    for (int t = 0; t < REGISTER_TYPE_COUNT; ++t)
        if (name == CHL_STR_NAME[t]) return t;
    for (int t = 0; t < REGISTER_TYPE_COUNT; ++t)
        if (name.CompareNoCase(CHL_STR_NAME[t]) == 0) return t;
    return -1;
}

// The address a field gives: a numeric host variable's value, or the text
// in the register type's own digits. False for other characters or a
// negative address.
bool AddressOf(ZOLT_DATA& data, int type, CString field, int& address)
{
    double value = 0.0;
    DATATYPE known = static_cast<DATATYPE>(-2);
    if (data.m_pfnGetParamType && !field.IsEmpty()) data.m_pfnGetParamType(data, field, known);
    if (known == DATATYPE_INT || known == DATATYPE_DOUBLE) {
        CDevServer::SvrGetParaValue(data, field, value);
    } else {
        const bool hex = type == REG_B || type == REG_W || type == REG_SB || type == REG_SW;
        const bool xy = type == REG_X || type == REG_Y;
        if (hex || xy) {
            const char* allowed = hex ? "0123456789ABCDEFabcdef" : "012345678";
            if (field.SpanIncluding(allowed).GetLength() != field.GetLength()) return false;
        }
        // Decimal addresses: the digits up to the first other character.
        if (hex) {
            unsigned parsed = 0;
            cstringToNumeric(field, "%x", &parsed);
            value = parsed;
        } else {
            int parsed = 0;
            cstringToNumeric(field, "%d", &parsed);
            value = parsed;
        }
    }
    address = CDevServer::Double2Int(value);
    return address >= 0;
}

// The data-type option of a named data type for the register type.
bool OptionOf(int type, const CString& name, int& option)
{
    if (name.GetLength() < 2) return false;
    const int count = static_cast<int>(SELECT2_DWORD_PROPERTYNUM[type]);
    if (count == 0) {
        option = 0;
        return true;
    }
    const char* longName = nullptr;
    for (int i = 0; i < DATATYPE_COUNT - 1; ++i)
        if (name == DATATYPE_STR_NAME[i]) longName = DATATYPE_STR_SELECT2NAME[i];
    for (int i = 0; i < BITNAME_COUNT; ++i)
        if (name == DATATYPE_STR_BITNAME[i]) longName = DATATYPE_STR_SELECT2BITNAME[i];
    if (!longName) return false;
    const char* const* options = SELECT2_STR_PROPERTYNAME + Select2OptionOffset(type);
    for (int i = 0; i < count; ++i) {
        if (CString(options[i]) == longName) {
            option = i;
            return true;
        }
    }
    return false;
}

// A count: a host variable's value or the literal, rounded.
int CountOf(ZOLT_DATA& data, CString field)
{
    double value = 0.0;
    CDevServer::SvrGetParaValue(data, field, value);
    return CDevServer::Double2Int(value);
}

// Appends `count` rows of one data type from info's address on.
bool Generate(SChlInfo& info, int option, int count, std::vector<Channel>& out)
{
    info.m_nDataOption = option;
    info.m_nCount = count;
    CArray<CDevRow, CDevRow&> rows;
    if (CDevBas::mfMakeDevRowsFromSChlInfo(info, rows) == 0) return false;
    for (int i = 0; i < rows.GetSize(); ++i) out.push_back({rows[i], CString(), CString(), -1});
    return true;
}

// The values of a block or multi-register write, from the fields (the first
// may name a text variable holding the list).
std::vector<CString> ValueTexts(ZOLT_DATA& data, const std::vector<CString>& fields, size_t first)
{
    if (first >= fields.size()) return {};
    CString head = fields[first];
    CString joined;
    CDevServer::SvrGetParaValue(data, head, joined);
    for (size_t i = first + 1; i < fields.size(); ++i) joined += CString(",") + fields[i];
    // Carriage-return/line-feed pairs are removed, not separators.
    CString clean;
    for (int i = 0; i < joined.GetLength(); ++i) {
        if (joined[i] == '\r' && i + 1 < joined.GetLength() && joined[i + 1] == '\n')
            ++i;
        else
            clean += joined[i];
    }
    return Fields(clean);
}

// Parses one part; the fields after the command's own are the status name.
bool ParsePart(ZOLT_DATA& data, int index, const CString& part, ParsedCommand& command)
{
    const std::vector<CString> f = Fields(part);
    if (f.size() < 3) return false;
    const int type = RegisterTypeOf(data, f[0]);
    if (type < 0 || (IsWrite(index) && CHLTYPE_DWORD_RWFLAG[type] == 0)) return false;
    int address = 0;
    if (!AddressOf(data, type, f[1], address)) return false;
    SChlInfo info;
    info.m_nRegType = type;
    info.m_nRWFlag = 2;
    info.m_strAddress.Format("%d", address);
    std::vector<Channel>& out = command.channels;
    const size_t firstNew = out.size();
    size_t used = 0;
    int option = 0;

    switch (index) {
    case CMD_READ:
    case CMD_WRITE:
    case CMD_READ32:
    case CMD_WRITE32: {
        const int eq = f[2].Find('=');
        if (eq < 0 || !OptionOf(type, f[2].Left(eq), option) || !Generate(info, option, 1, out)) return false;
        const CString target = f[2].Mid(eq + 1).Trim();
        if (target.IsEmpty()) return false;
        (index == CMD_WRITE32 ? out.back().text : out.back().parameter) = target;
        used = 3;
        break;
    }
    case CMD_READP:
    case CMD_WRITEP:
    case CMD_READPV:
    case CMD_WRITEPV: {
        if (f.size() < 5 || !OptionOf(type, f[2], option)) return false;
        const int count = CountOf(data, f[3]);
        if (!Generate(info, option, count, out)) return false;
        const size_t made = out.size() - firstNew;
        if (index == CMD_READP || index == CMD_WRITEP) {
            if (f.size() < 4 + made) return false;
            for (size_t i = 0; i < made; ++i) out[firstNew + i].parameter = f[4 + i];
            used = 4 + made;
        } else {
            const CString& name = f[4];
            int digits = 0;
            while (digits < name.GetLength() && name[name.GetLength() - 1 - digits] >= '0' && name[name.GetLength() - 1 - digits] <= '9')
                ++digits;
            if (digits == 0) return false;
            const CString stem = name.Left(name.GetLength() - digits);
            int first = 0;
            cstringToNumeric(name.Right(digits), "%d", &first);
            CString format;
            format.Format("%%.%dd", digits);
            for (size_t i = 0; i < made; ++i) {
                CString number;
                number.Format(format.c_str(), first + static_cast<int>(i));
                out[firstNew + i].parameter = stem + number;
            }
            used = 5;
        }
        break;
    }
    case CMD_READBLOCK:
    case CMD_WRITEBLOCK: {
        if (f.size() < 5) return false;
        std::vector<int> options;
        CString types = f[2];
        while (!types.IsEmpty()) {
            const int open = types.Find('['), close = types.Find(']');
            // Only the bracketed names are trimmed and upper-cased.
            if (open != 0 || close < 0 || !OptionOf(type, types.Mid(1, close - 1).Trim().MakeUpper(), option)) return false;
            options.push_back(option);
            types = types.Mid(close + 1).Trim();
        }
        // No repetition names nothing to read or write; more than a count
        // of rows may have would only hold the panel's thread.
        const int repeat = CountOf(data, f[3]);
        if (options.empty() || repeat <= 0 || repeat > static_cast<int>(MAX_GENERATED_ROWS)) return false;
        for (int r = 0; r < repeat; ++r)
            for (int o : options)
                if (!Generate(info, o, 1, out)) return false;
        command.blockWidth = static_cast<int>(options.size());
        used = 4;
        break;
    }
    case CMD_READMUTIREG:
    case CMD_WRITEMUTIREG: {
        if (f.size() < 5 || !OptionOf(type, f[3], option)) return false;
        if (!Generate(info, option, CountOf(data, f[2]), out)) return false;
        used = 4;
        break;
    }
    default: return false;
    }

    const size_t made = out.size() - firstNew;
    if (index == CMD_READBLOCK || index == CMD_READMUTIREG) {
        command.resultParameter = f[used];
        ++used;
    } else if (index == CMD_WRITEBLOCK || index == CMD_WRITEMUTIREG) {
        std::vector<CString> values = ValueTexts(data, f, used);
        if (values.size() < made) return false;
        for (size_t i = 0; i < made; ++i) out[firstNew + i].text = values[i];
        used = f.size();
    }
    command.statusParameter = used < f.size() ? f[used] : CString();
    return true;
}

// A read value as text: %u for 32-bit unsigned, %lf for floats, %d else.
CString FormatValue(double value, unsigned code)
{
    CString text;
    if (code == CHLCODE_DUB)
        text.Format("%u", static_cast<unsigned>(CDevServer::Double2Int(value)));
    else if (code == CHLCODE_DF || code == CHLCODE_DECIMAL_TEXT)
        text.Format("%lf", value);
    else
        text.Format("%d", CDevServer::Double2Int(value));
    return text;
}

// A value to write from its text, parsed as the command and code want it.
double ParseValue(const CString& text, unsigned code, int index)
{
    if (index == CMD_WRITE32 && code == CHLCODE_DUB) {
        unsigned u = 0;
        cstringToNumeric(text, "%u", &u);
        return u;
    }
    if (index == CMD_WRITE32 && code != CHLCODE_DF && code != CHLCODE_DECIMAL_TEXT) {
        int i = 0;
        cstringToNumeric(text, "%d", &i);
        return i;
    }
    double d = 0.0;
    cstringToNumeric(text, "%lf", &d);
    return d;
}

// A device record for one command: the device's settings, no channels.
// Built whole before it is handed out: memory running out half-way leaves
// nothing behind.
DEV_DATA* TemporaryRecord(const DEV_DATA* source)
{
    auto table = std::make_unique<CDevTable>();
    auto dev = std::make_unique<DEV_DATA>();
    if (source) {
        dev->m_arDevParam = source->m_arDevParam;
        dev->m_arTypeLimit = source->m_arTypeLimit;
        dev->m_nReadCap = source->m_nReadCap;
    } else {
        dev->m_arDevParam.SetSize(4);
        dev->m_arDevParam[PARAM_WAITTIME] = 200;
        dev->m_arDevParam[PARAM_DECODEORDER] = 1;
        CDevBas::mfDefaultTypeLimits(*dev);
    }
    dev->m_pTable = table.release();
    return dev.release();
}

// Plans, exchanges and delivers one parsed command over its temporary
// table. ENGINE_DIRECT_DONE, ENGINE_NOT_DELIVERED, or the failure of the
// rank that failed three times.
int Execute(ZOLT_DATA& temp, ParsedCommand& command, int index)
{
    DEV_DATA& dev = *temp.m_pDevData;
    CDevTable& table = *dev.m_pTable;
    for (const Channel& channel : command.channels) table.Insert(channel.row);
    table.BuildRowMap();
    for (Channel& channel : command.channels) channel.tableRow = table.IndexOf(channel.row);
    const int rows = table.GetRowCount();

    CArray<int, int> refs;
    refs.SetSize(rows + 1);
    for (int i = 1; i <= rows; ++i) refs[i] = 1;
    const int ranks = CDevBas::mfMakeBlockDynamic(temp, refs, IsWrite(index) ? 4 : 3, index);
    if (ranks <= 0) return ENGINE_NOT_DELIVERED;

    CArray<double, double> values;
    CStringArray strings;
    values.SetSize(rows + 1);
    strings.SetSize(rows + 1);
    if (IsWrite(index)) {
        for (Channel& channel : command.channels) {
            const unsigned code = channel.row.GetdwValue(ROW_DATATYPE);
            double v = 0.0;
            if (index == CMD_WRITE || index == CMD_WRITEP || index == CMD_WRITEPV)
                CDevServer::SvrGetParaValue(temp, channel.parameter, v);
            else {
                CString text = channel.text;
                if (index == CMD_WRITE32) {
                    CString resolved;
                    CDevServer::SvrGetParaValue(temp, text, resolved);
                    text = resolved;
                }
                v = ParseValue(text, code, index);
            }
            values[channel.tableRow + 1] = v;
        }
    }

    CArray<int, int> status = refs;
    for (int rank = 0; rank < ranks; ++rank) {
        int result = 0;
        for (int attempt = 0; attempt < kAttempts; ++attempt) {
            if (IsWrite(index)) {
                result = CDevBas::_WriteBlock(temp, values, strings, rank, 1);
                if (result != ENGINE_WRITE_FAILED) break;
            } else {
                dev.m_nReadBlock = rank;
                result = CDevBas::_ReadBlock(temp, status, values, strings, rank);
                if (result == 0) break;
            }
        }
        if (IsWrite(index) ? result == ENGINE_WRITE_FAILED : result < 0) return result;
    }
    if (IsWrite(index)) return ENGINE_DIRECT_DONE;

    int delivered = 1;
    if (index == CMD_READBLOCK || index == CMD_READMUTIREG) {
        CString all;
        for (size_t i = 0; i < command.channels.size(); ++i) {
            const Channel& channel = command.channels[i];
            if (i > 0) {
                const bool lineEnd = index == CMD_READBLOCK && command.blockWidth > 0 && i % static_cast<size_t>(command.blockWidth) == 0;
                all += lineEnd ? "\r\n" : ",";
            }
            all += FormatValue(values[channel.tableRow + 1], channel.row.GetdwValue(ROW_DATATYPE));
        }
        if (index == CMD_READBLOCK) all += "\r\n";
        delivered = CDevServer::SvrSetParaValue(temp, command.resultParameter, all);
    } else {
        // Delivered in row order: the last delivery decides the result.
        std::vector<const Channel*> inRowOrder;
        for (const Channel& channel : command.channels) inRowOrder.push_back(&channel);
        std::stable_sort(inRowOrder.begin(), inRowOrder.end(),
                         [](const Channel* a, const Channel* b) { return a->tableRow < b->tableRow; });
        for (const Channel* ordered : inRowOrder) {
            const Channel& channel = *ordered;
            CString name = channel.parameter;
            double value = values[channel.tableRow + 1];
            if (index == CMD_READ32) {
                CString text = FormatValue(value, channel.row.GetdwValue(ROW_DATATYPE));
                delivered = CDevServer::SvrSetParaValue(temp, name, text);
            } else {
                delivered = CDevServer::SvrSetParaValue(temp, name, value);
            }
        }
    }
    return delivered ? ENGINE_DIRECT_DONE : ENGINE_NOT_DELIVERED;
}

} // namespace

int CDevBas::mfDevIOWriteAndRead(ZOLT_DATA& data, CString& arguments, int index)
{
    ParsedCommand command;
    bool parsed = !arguments.IsEmpty();
    int start = 0;
    while (parsed) {
        const int semicolon = arguments.Find(';', start);
        const CString part = arguments.Mid(start, semicolon < 0 ? arguments.GetLength() - start : semicolon - start);
        parsed = ParsePart(data, index, part, command);
        if (semicolon < 0) break;
        start = semicolon + 1;
    }
    if (command.channels.empty()) parsed = false;

    ZOLT_DATA temp = data;
    temp.m_pArchive = nullptr;
    temp.m_pDevData = TemporaryRecord(data.m_pDevData);
    // Released however the command ends, memory running out included.
    struct Release {
        ZOLT_DATA& temp;
        ~Release() { mfDeleteMydata(temp, nullptr); }
    } release{temp};
    const int result = parsed ? Execute(temp, command, index) : ENGINE_PARSE_FAILED;

    double statusValue = result == ENGINE_DIRECT_DONE ? 0.0 : -static_cast<double>(result);
    if (!command.statusParameter.IsEmpty()) CDevServer::SvrSetParaValue(data, command.statusParameter, statusValue);
    return result;
}

int CDevBas::mfDevIOCtrl(ZOLT_DATA& data, CString& command, CArray<double, double>&, CStringArray&)
{
    // A string holds commands one after another; the later ones run first,
    // and the first one's result is the answer.
    std::vector<ControlString> commands;
    CString remaining = command;
    for (;;) {
        ControlString parts;
        if (!SplitControlString(remaining, parts)) break;
        commands.push_back(parts);
        if (parts.rest.IsEmpty()) break;
        remaining = parts.rest;
    }
    if (commands.empty()) return ENGINE_PARSE_FAILED;
    int result = 0;
    for (size_t i = commands.size(); i-- > 0;) {
        result = 0;
        for (int k = 0; k < IOCTRL_COMMAND_COUNT; ++k) {
            if (commands[i].word.CompareNoCase(IOCTRL_STR_PROPERTYNAME[k]) == 0) {
                result = mfDevIOWriteAndRead(data, commands[i].arguments, k);
                break;
            }
        }
    }
    return result;
}
