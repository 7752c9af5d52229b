#include "vi5z_uvevarov_ave/ResultCodes.h"

#include <cstdio>

#include "protocol/EndCodes.h"

namespace {

const ResultCodeInfo kDevCtrlResults[] = {
    {DEVCTRL_OK, "DEVCTRL_OK", "success"},
    {DEVCTRL_BAD_ARGUMENT, "DEVCTRL_BAD_ARGUMENT", "bad argument or configuration refused"},
    {DEVCTRL_ACCESSOR_DISABLED, "DEVCTRL_ACCESSOR_DISABLED", "value-store accessor disabled"},
    {DEVCTRL_NO_VALUE_STORE, "DEVCTRL_NO_VALUE_STORE", "no value store"},
    {DEVCTRL_NO_ROW, "DEVCTRL_NO_ROW", "a host channel without a row"},
    {DEVCTRL_NO_COMM, "DEVCTRL_NO_COMM", "no communication channel"},
    {DEVCTRL_NO_ACCESSOR, "DEVCTRL_NO_ACCESSOR", "host flags that cannot be mapped to rows (a channel bound to no tag)"},
    {DEVCTRL_NO_PARENTHESES, "DEVCTRL_NO_PARENTHESES", "control string without \"(\" or \")\""},
    {DEVCTRL_ADDRESS_PENDING, "DEVCTRL_ADDRESS_PENDING", "a channel address pending correction"},
};

const ResultCodeInfo kEngineResults[] = {
    {ENGINE_NO_BLOCK, "ENGINE_NO_BLOCK", "no block to read (a device number or length no request can carry)"},
    {ENGINE_NO_RESPONSE, "ENGINE_NO_RESPONSE", "no response within the wait time"},
    {ENGINE_ROUTING_MISMATCH, "ENGINE_ROUTING_MISMATCH", "routing mismatch (the answer's network/PC/module/station differ)"},
    {ENGINE_WRITE_FAILED, "ENGINE_WRITE_FAILED", "the write failed"},
    {ENGINE_PARSE_FAILED, "ENGINE_PARSE_FAILED", "a direct command that does not parse"},
    {ENGINE_NOT_DELIVERED, "ENGINE_NOT_DELIVERED", "direct results not delivered, or nothing planned"},
    {ENGINE_DIRECT_DONE, "ENGINE_DIRECT_DONE", "the direct command completed"},
};

std::string EndCodeText(unsigned code)
{
    const slmp::EndCodeInfo* info = slmp::FindEndCode(static_cast<uint16_t>(code));
    char text[160];
    std::snprintf(text, sizeof text, "controller end code %04X%s%s", code, info ? ": " : "", info ? info->meaning : "");
    return text;
}

std::string WrongLength(int bytes)
{
    char text[80];
    std::snprintf(text, sizeof text, "an answer of the wrong length (%d bytes)", bytes);
    return text;
}

} // namespace

const ResultCodeInfo* DevCtrlResult(int code)
{
    for (const ResultCodeInfo& info : kDevCtrlResults)
        if (info.code == code) return &info;
    return nullptr;
}

std::string EngineResultText(int code)
{
    for (const ResultCodeInfo& info : kEngineResults)
        if (info.code == code) return info.meaning;
    if (code <= ENGINE_END_CODE && code >= ENGINE_END_CODE - 0xFFFF) return EndCodeText(static_cast<unsigned>(ENGINE_END_CODE - code));
    if (code > 0) return WrongLength(code);
    return "result " + std::to_string(code);
}

std::string StatusText(int status)
{
    switch (status) {
    case STATUS_GOOD: return "good";
    case STATUS_NO_BLOCK: return EngineResultText(ENGINE_NO_BLOCK);
    case STATUS_NO_RESPONSE: return EngineResultText(ENGINE_NO_RESPONSE);
    case STATUS_ROUTING_MISMATCH: return EngineResultText(ENGINE_ROUTING_MISMATCH);
    default: break;
    }
    if (const ResultCodeInfo* info = DevCtrlResult(status)) return info->meaning;
    if (status >= STATUS_END_CODE && status <= STATUS_END_CODE + 0xFFFF)
        return EndCodeText(static_cast<unsigned>(status - STATUS_END_CODE));
    if (status < 0) return WrongLength(-status);
    return "status " + std::to_string(status);
}
