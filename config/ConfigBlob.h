// The tag driver's configuration blob: a 16-byte prefix whose third word
// is the container's length, the sectioned container, then the tag path of
// every host channel. Reader and writer of the outer layout.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

constexpr unsigned BLOB_PREFIX_BYTES = 16;

struct ConfigBlobView {
    const unsigned char* container = nullptr;
    uint32_t containerSize = 0;
    std::vector<std::string> channelPaths;
};

// False when the blob is shorter than its stated parts; the channel list
// is bounded by the bytes present.
bool ReadConfigBlob(const unsigned char* data, unsigned size, ConfigBlobView& view);

std::vector<unsigned char> WriteConfigBlob(const std::vector<unsigned char>& container, const std::vector<std::string>& channelPaths);
