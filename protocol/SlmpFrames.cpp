#include "protocol/Slmp.h"

#include "config/DevTables.h"
#include "vi5z_uvevarov_ave/DevServer.h"

namespace slmp {

CString DeviceReference(unsigned address, const char* deviceCode)
{
    CString number;
    number.Format("%.6X", address & kMaxDeviceNumber);
    return number.Mid(4, 2) + number.Mid(2, 2) + number.Mid(0, 2) + deviceCode;
}

CString Count16(unsigned count)
{
    CString digits;
    digits.Format("%.4X", count & 0xFFFFu);
    return digits.Right(2) + digits.Left(2);
}

CString WithHeader(const CString& body)
{
    return CString(kHeaderPrefix) + CDevServer::SvrDouble2Str(body.GetLength() / 2, CHLCODE_WUB, 4) + body;
}

CString ReadRequest(unsigned registerType, unsigned address, int words)
{
    const char* code = registerType < REGISTER_TYPE_COUNT ? CHL_STR_READORDER[registerType] : "00";
    if (registerType < REGISTER_TYPE_COUNT && DEV_CHL_WORD_LEN_TYPE[registerType] == 2)
        return CString(kRandomReadDword) + DeviceReference(address, code);
    // Low byte then high byte; for up to 255 words the same as "%.2X" and "00".
    return CString(kBatchReadWords) + DeviceReference(address, code) + Count16(static_cast<unsigned>(words));
}

} // namespace slmp
