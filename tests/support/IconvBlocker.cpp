#include "support/IconvBlocker.h"

#include <dlfcn.h>
#include <iconv.h>

#include <atomic>
#include <cerrno>

namespace {
std::atomic<bool> g_blocked{false};
} // namespace

extern "C" iconv_t iconv_open(const char* tocode, const char* fromcode)
{
    if (g_blocked) {
        errno = EINVAL;
        return reinterpret_cast<iconv_t>(-1);
    }
    using Open = iconv_t (*)(const char*, const char*);
    static const auto real = reinterpret_cast<Open>(dlsym(RTLD_NEXT, "iconv_open"));
    return real(tocode, fromcode);
}

namespace testing_support {

IconvBlocker::IconvBlocker() { g_blocked = true; }

IconvBlocker::~IconvBlocker() { g_blocked = false; }

} // namespace testing_support
