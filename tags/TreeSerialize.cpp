#include "tags/TreeSerialize.h"

#include <set>

namespace TreeSerialize {

namespace {

struct Reader {
    utils::MemoryBuffer& section;
    const LeafCallback& onLeaf;
    std::set<uint32_t> visited;

    // Reads the node at `offset` under `parent` (null for the root).
    std::unique_ptr<KVSG::TagTree> ReadNode(uint32_t offset, unsigned depth, bool& ok)
    {
        if (depth > kMaxDepth || !visited.insert(offset).second || offset >= section.size()) {
            ok = false;
            return nullptr;
        }
        section.seek_read(offset);
        uint32_t header[5] = {0, 0, 0, 0, 0};
        for (uint32_t& word : header) {
            if (!utils::Deserialize(section, word)) {
                ok = false;
                return nullptr;
            }
        }
        const uint32_t recordLength = header[1];
        const uint32_t childCount = header[4];
        if (childCount > section.remaining() / 4) {
            ok = false;
            return nullptr;
        }
        std::vector<uint32_t> children(childCount);
        for (uint32_t& child : children) utils::Deserialize(section, child);
        const unsigned window = recordLength < section.remaining() ? recordLength : section.remaining();
        utils::memoryRef record(section.data() + section.tell_read(), window);
        section.seek_read(section.tell_read() + window);
        KVSG::KVSGVariable tag;
        tag.deserializeRun(record);

        auto node = std::make_unique<KVSG::TagTree>(tag);
        if (childCount == 0) {
            onLeaf(node.get());
            return node;
        }
        for (uint32_t child : children) {
            std::unique_ptr<KVSG::TagTree> built = ReadNode(child, depth + 1, ok);
            if (!ok) return nullptr;
            node->Adopt(std::move(built));
        }
        return node;
    }
};

void WriteNode(const NodeSpec& spec, utils::MemoryBuffer& out)
{
    utils::MemoryBuffer record;
    spec.tag.serializeRun(record);
    const uint32_t count = static_cast<uint32_t>(spec.children.size());
    for (uint32_t word : {0u, record.size(), 0u, 0u, count}) utils::Serialize(out, word);
    const uint32_t table = out.tell_write();
    for (uint32_t i = 0; i < count; ++i) utils::Serialize(out, 0);
    out.write(record.data(), record.size());
    for (uint32_t i = 0; i < count; ++i) {
        const uint32_t childAt = out.tell_write();
        out.seek_write(table + 4 * i);
        utils::Serialize(out, childAt);
        out.seek_write(childAt);
        WriteNode(spec.children[i], out);
    }
}

} // namespace

std::unique_ptr<KVSG::TagTree> ReadTree(utils::MemoryBuffer& section, const LeafCallback& onLeaf)
{
    Reader reader{section, onLeaf, {}};
    bool ok = true;
    std::unique_ptr<KVSG::TagTree> root = reader.ReadNode(0, 0, ok);
    return ok ? std::move(root) : nullptr;
}

std::vector<unsigned char> WriteTree(const NodeSpec& root)
{
    utils::MemoryBuffer out;
    WriteNode(root, out);
    return out.bytes();
}

} // namespace TreeSerialize
