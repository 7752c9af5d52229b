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
    const unsigned char* list = nullptr; // the channel list after the container
    uint32_t listSize = 0;
};

// False when the blob is shorter than its prefix and stated container.
bool ReadConfigBlob(const unsigned char* data, unsigned size, ConfigBlobView& view);
// The tag path of every host channel, in host channel order. Bounded by the
// bytes present: a count or a path that runs past the end ends the list there.
std::vector<std::string> ReadChannelPaths(const ConfigBlobView& view);

std::vector<unsigned char> WriteConfigBlob(const std::vector<unsigned char>& container, const std::vector<std::string>& channelPaths);
