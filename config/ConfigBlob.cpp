// The tag driver's blob: its prefix, the container it frames and the channel
// list after it, read with bounds and written by the tools.
#include "config/ConfigBlob.h"

#include "config/MemoryBuffer.h"

bool ReadConfigBlob(const unsigned char* data, unsigned size, ConfigBlobView& view)
{
    view = ConfigBlobView();
    if (!data || size < BLOB_PREFIX_BYTES) return false;
    const uint32_t containerSize = utils::LoadLe32(data + 8);
    if (containerSize > size - BLOB_PREFIX_BYTES) return false;
    view.container = data + BLOB_PREFIX_BYTES;
    view.containerSize = containerSize;
    view.list = view.container + containerSize;
    view.listSize = size - BLOB_PREFIX_BYTES - containerSize;
    return true;
}

std::vector<std::string> ReadChannelPaths(const ConfigBlobView& view)
{
    std::vector<std::string> paths;
    if (!view.list) return paths;
    utils::memoryRef list(view.list, view.listSize);
    uint32_t count = 0;
    if (!utils::Deserialize(list, count)) return paths;
    // Reserve only what the bytes present can hold: each entry takes at
    // least its 4-byte length.
    paths.reserve(count < list.remaining() / 4 ? count : list.remaining() / 4);
    for (uint32_t i = 0; i < count; ++i) {
        uint32_t length = 0;
        if (!utils::Deserialize(list, length) || length > list.remaining()) break;
        std::string path(length, '\0');
        if (length) list.read(reinterpret_cast<unsigned char*>(&path[0]), length);
        paths.push_back(std::move(path));
    }
    return paths;
}

std::vector<unsigned char> WriteConfigBlob(const std::vector<unsigned char>& container, const std::vector<std::string>& channelPaths)
{
    utils::MemoryBuffer out;
    for (uint32_t word : {0u, 0u, static_cast<uint32_t>(container.size()), 0u}) utils::Serialize(out, word);
    out.write(container.data(), static_cast<unsigned>(container.size()));
    utils::Serialize(out, static_cast<uint32_t>(channelPaths.size()));
    for (const std::string& path : channelPaths) {
        utils::Serialize(out, static_cast<uint32_t>(path.size()));
        out.write(reinterpret_cast<const unsigned char*>(path.data()), static_cast<unsigned>(path.size()));
    }
    return out.bytes();
}
