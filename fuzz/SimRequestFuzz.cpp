// The simulator's request handling: the input as one frame, and as a byte
// stream split at places the input chooses, cut into requests as the
// server cuts them.
#include <cstdint>
#include <vector>

#include "sim/SlmpHandler.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static sim::DeviceMemory memory;
    sim::SlmpHandler handler(memory);
    handler.Handle(data, size);
    if (size < 1) return 0;
    // The first byte picks the segment length of the stream.
    const size_t segment = 1 + data[0] % 64;
    std::vector<uint8_t> pending;
    for (size_t at = 1; at < size; at += segment) {
        pending.insert(pending.end(), data + at, data + std::min(size, at + segment));
        size_t request = 0;
        sim::StreamState state;
        while ((state = sim::FirstRequest(pending.data(), pending.size(), request)) == sim::StreamState::Complete) {
            handler.Handle(pending.data(), request);
            pending.erase(pending.begin(), pending.begin() + static_cast<long>(request));
        }
        if (state == sim::StreamState::NotAFrame) pending.clear();
    }
    return 0;
}
