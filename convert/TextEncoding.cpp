// The driver's one character-set conversion, through the system's iconv.
#include <iconv.h>

#include <cstring>

#include "vi5z_uvevarov_ave/DevServer.h"

namespace {
constexpr int kConvertFailed = static_cast<int>(0x80000000u);
}

int CDevServer::ConvertCode(const char* fromcode, const char* tocode, char* in, int inlen, char* out, int& outlen)
{
    if (!fromcode || !tocode) return kConvertFailed;
    iconv_t cd = iconv_open(tocode, fromcode);
    if (cd == reinterpret_cast<iconv_t>(-1)) return kConvertFailed; // NOLINT(performance-no-int-to-ptr): iconv's failure value
    if (outlen < 0) outlen = 0;
    if (out && outlen > 0) std::memset(out, 0, static_cast<size_t>(outlen));

    char* inPtr = in;
    size_t inLeft = (in && inlen > 0) ? static_cast<size_t>(inlen) : 0u;
    char* outPtr = out;
    size_t outLeft = out ? static_cast<size_t>(outlen) : 0u;
    const size_t result = iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft);
    iconv_close(cd);
    outlen = static_cast<int>(outLeft);
    return result == static_cast<size_t>(-1) ? kConvertFailed : 0;
}

int CDevServer::Utf8ToGbk(char* in, int inlen, char* out, int& outlen)
{
    return ConvertCode("UTF-8", "GB18030//IGNORE", in, inlen, out, outlen);
}

void CDevServer::SvrChangeStrIncode(CByteArray& bytes, int order)
{
    if (order != 0) return;
    if (bytes.GetSize() % 2 != 0) bytes.SetAtGrow(bytes.GetSize(), 0);
    for (int i = 0; i + 1 < bytes.GetSize(); i += 2) {
        const unsigned char first = bytes[i];
        bytes[i] = bytes[i + 1];
        bytes[i + 1] = first;
    }
}
