// Capture files as fx5-sim --replay reads them: any bytes as a file, its
// connections joined into exchanges, and a request played against them.
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "tools/common/CaptureFile.h"
#include "tools/fx5-sim/Replay.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::FILE* file = fmemopen(const_cast<uint8_t*>(data), size, "rb");
    if (!file) return 0;
    std::vector<fx5::CapturedStream> streams;
    std::string error;
    fx5sim::Replay replay;
    if (!fx5::CaptureFile::ReadStreams(file, streams, error) || !replay.Load(streams, error)) return 0;
    const uint8_t request[] = {0x50, 0x00, 0x00, 0xFF, 0xFF, 0x03, 0x00, 0x0C, 0x00, 0x10, 0x00,
                               0x01, 0x04, 0x00, 0x00, 0x00, 0x00, 0x00, 0xA8, 0x01, 0x00};
    for (int i = 0; i < 3; ++i) replay.Next(request, sizeof request);
    return 0;
}
