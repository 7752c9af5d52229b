// Expands a channel request into rows with their locations, data-type
// codes and generated names.
#include "config/ChannelGeneration.h"

#include "convert/StringToNumber.h"
#include "vi5z_uvevarov_ave/DevBas.h"

namespace {

// Every number of a request is decimal, whatever the register type shows.
int ParseDecimal(const CString& text)
{
    int value = 0;
    cstringToNumeric(text, "%d", &value);
    return value;
}

struct CodePlan {
    int code = 0;
    unsigned bit = 0;
    int step = 0; // W: bits per word for bit codes, points per channel otherwise
    int stringWords = 0;
};

// The row's code, bit and step from the type's option count: none (bit
// device), 23 or 24 (16-bit word types, 24 with a string option) or 36
// (32-bit word types). False for a bit option below 0.
bool PlanCode(int type, SChlInfo& info, CodePlan& plan)
{
    const unsigned options = SELECT2_DWORD_PROPERTYNUM[type];
    const int o = info.m_nDataOption;
    if (options == 0) {
        plan = {CHLCODE_BITDEVICE, 0, 1, 0};
    } else if (options == 23 || options == 24) {
        if (o < 0) return false;
        if (o <= 15)
            plan = {o, static_cast<unsigned>(o), 16, 0};
        else if (o <= 18)
            plan = {o + 67, 0, 1, 0};
        else if (options == 24 && o == 23) {
            if (info.m_nLength < 0) info.m_nLength = DEFAULT_STRING_BYTES;
            plan = {CHLCODE_STRING, static_cast<unsigned>(info.m_nLength), 0,
                    static_cast<int>((static_cast<unsigned>(info.m_nLength) + 1) / 2)};
        } else
            plan = {o + 67, 0, 2, 0};
    } else if (options == 36) {
        if (o < 0) return false;
        if (o <= 31)
            plan = {o, static_cast<unsigned>(o), 32, 0};
        else
            plan = {o + 54, 0, 2, 0};
    }
    return true;
}

// "读写DWUB0100": access prefix, register, data type, address, bit or length.
CString ChannelName(const CDevRow& row, int type, int code)
{
    CString name = CString(CHLNAME_STR_RWFLAG[row.GetdwValue(ROW_RWFLAG) % 3]) + CHL_STR_NAME[type];
    if (code >= 80) name += code == CHLCODE_STRING ? "STR" : (code - 80 < DATATYPE_COUNT ? DATATYPE_STR_NAME[code - 80] : "");
    CString part;
    part.Format(DEV_STR_ADDRESSFORMAT[type], row.GetdwValue(ROW_LOGICADDRESS));
    name += part;
    if (code < 32 && *DEV_STR_BITFORMAT[type]) {
        part.Format(DEV_STR_BITFORMAT[type], code);
        name += part;
    }
    if (code == CHLCODE_STRING) {
        part.Format("_%d", row.GetdwValue(ROW_BIT));
        name += part;
    }
    return name.MakeUpper();
}

} // namespace

int CDevBas::mfMakeDevRowsFromSChlInfo(SChlInfo& info, CArray<CDevRow, CDevRow&>& rows)
{
    const int type = info.m_nRegType;
    if (!IsRegisterType(type)) return 0;
    const int underscore = info.m_strAddress.Find('_');
    int logical = ParseDecimal(underscore >= 0 ? info.m_strAddress.Left(underscore) : info.m_strAddress);
    if (underscore >= 0) info.m_nLength = ParseDecimal(info.m_strAddress.Mid(underscore + 1));
    if (logical < 0) logical = 0;
    unsigned address = static_cast<unsigned>(ParseDecimal(info.m_strAddress));

    CodePlan plan;
    if (!PlanCode(type, info, plan)) return 0;
    if (CHLTYPE_DWORD_RWFLAG[type] == 0) info.m_nRWFlag = 0;
    CDevRow templ;
    templ.SetdwValue(ROW_TYPE, static_cast<unsigned>(type));
    templ.SetdwValue(ROW_ADDRESS, address);
    templ.SetdwValue(ROW_LOGICADDRESS, static_cast<unsigned>(logical));
    templ.SetdwValue(ROW_RWFLAG, static_cast<unsigned>(info.m_nRWFlag));
    templ.SetdwValue(ROW_DATATYPE, static_cast<unsigned>(plan.code));
    templ.SetdwValue(ROW_BIT, plan.bit);

    const unsigned count = GeneratedRowCount(info.m_nCount);
    int code = plan.code;
    for (unsigned n = 0; n < count; ++n) {
        templ.StringAt(ROW_NAME) = ChannelName(templ, type, code);
        rows.Add(templ);
        if (code < 32) {
            if (code < plan.step - 1)
                ++code;
            else {
                code = 0;
                ++address;
            }
            templ.SetdwValue(ROW_DATATYPE, static_cast<unsigned>(code));
            templ.SetdwValue(ROW_BIT, static_cast<unsigned>(code));
        } else if (code == CHLCODE_STRING) {
            address += static_cast<unsigned>(plan.stringWords);
        } else {
            address += DEV_CHL_WORD_LEN_TYPE[type] == 2 ? 1u : static_cast<unsigned>(plan.step);
        }
        templ.SetdwValue(ROW_ADDRESS, address);
        templ.SetdwValue(ROW_LOGICADDRESS, address);
    }
    info.m_strAddress.Format("%d", static_cast<int>(address));
    return 1;
}
