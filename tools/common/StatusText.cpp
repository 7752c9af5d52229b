#include "tools/common/StatusText.h"

#include <cstdio>

#include "protocol/EndCodes.h"

namespace fx5 {

std::string StatusMeaning(int status)
{
    switch (status) {
    case 0: return "good";
    case 1: return "no block to read (a device number or length no request can carry)";
    case 2: return "no response within the wait time";
    case 3: return "routing mismatch (the answer's network/PC/module/station differ)";
    case -1: return "a host channel without a row";
    case -2: return "no communication channel";
    case -3: return "host flags that cannot be mapped to rows (a channel bound to no tag)";
    case -5: return "control string without \"(\" or \")\"";
    case -10: return "a channel address pending correction";
    case static_cast<int>(0x80000001u): return "bad argument or configuration rejected";
    case static_cast<int>(0x80000002u): return "value-store accessor disabled";
    case static_cast<int>(0x80000000u): return "no value store";
    default: break;
    }
    char text[160];
    if (status >= 100 && status <= 100 + 0xFFFF) {
        const uint16_t code = static_cast<uint16_t>(status - 100);
        const slmp::EndCodeInfo* info = slmp::FindEndCode(code);
        std::snprintf(text, sizeof text, "controller end code %04X%s%s", code, info ? ": " : "", info ? info->meaning : "");
        return text;
    }
    if (status < 0) {
        std::snprintf(text, sizeof text, "an answer of the wrong length (%d bytes)", -status);
        return text;
    }
    std::snprintf(text, sizeof text, "status %d", status);
    return text;
}

} // namespace fx5
