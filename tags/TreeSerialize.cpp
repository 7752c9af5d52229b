#include "tags/TreeSerialize.h"

#include <vector>

namespace TreeSerialize {

namespace {

// One node record read from the section: the node, and where its child
// offsets lie (read again when needed, so a deep or wide tree costs no copy).
struct NodeRecord {
    std::unique_ptr<KVSG::TagTree> node;
    uint32_t childTable = 0;
    uint32_t childCount = 0;
};

// Reads the record at `offset`; false for an offset outside the section, a
// record already read (the stream would not be a tree) or a header cut short.
bool ReadRecord(utils::imemoryread& section, uint32_t offset, std::vector<bool>& visited, NodeRecord& out)
{
    if (offset >= section.size() || visited[offset]) return false;
    visited[offset] = true;
    section.seek_read(offset);
    uint32_t header[5] = {0, 0, 0, 0, 0};
    for (uint32_t& word : header) {
        if (!utils::Deserialize(section, word)) return false;
    }
    const uint32_t recordLength = header[1];
    out.childCount = header[4];
    if (out.childCount > section.remaining() / 4) return false;
    out.childTable = section.tell_read();
    section.seek_read(out.childTable + 4 * out.childCount);
    const unsigned window = recordLength < section.remaining() ? recordLength : section.remaining();
    utils::memoryRef record(section.data() + section.tell_read(), window);
    KVSG::KVSGVariable tag;
    tag.deserializeRun(record);
    out.node = std::make_unique<KVSG::TagTree>(std::move(tag));
    return true;
}

uint32_t ChildOffset(utils::imemoryread& section, const NodeRecord& parent, uint32_t index)
{
    section.seek_read(parent.childTable + 4 * index);
    uint32_t offset = 0;
    utils::Deserialize(section, offset);
    return offset;
}

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

std::unique_ptr<KVSG::TagTree> ReadTree(utils::imemoryread& section, const LeafCallback& onLeaf)
{
    // Depth first in pre-order, without recursion: a node is attached to its
    // parent before its children are read, and the stack holds only the
    // path from the root, so no depth exhausts anything.
    // One flag per byte of the section: where a record was read.
    std::vector<bool> visited(section.size(), false);
    NodeRecord root;
    if (!ReadRecord(section, 0, visited, root)) return nullptr;
    std::unique_ptr<KVSG::TagTree> tree = std::move(root.node);
    if (root.childCount == 0) {
        onLeaf(tree.get());
        return tree;
    }
    struct Open {
        KVSG::TagTree* node;
        NodeRecord record;
        uint32_t next;
    };
    std::vector<Open> stack;
    stack.push_back({tree.get(), std::move(root), 0});
    while (!stack.empty()) {
        Open& top = stack.back();
        if (top.next == top.record.childCount) {
            stack.pop_back();
            continue;
        }
        NodeRecord child;
        if (!ReadRecord(section, ChildOffset(section, top.record, top.next++), visited, child)) return nullptr;
        KVSG::TagTree* attached = top.node->Adopt(std::move(child.node));
        if (child.childCount == 0)
            onLeaf(attached);
        else
            stack.push_back({attached, std::move(child), 0});
    }
    return tree;
}

std::vector<unsigned char> WriteTree(const NodeSpec& root)
{
    utils::MemoryBuffer out;
    WriteNode(root, out);
    return out.bytes();
}

} // namespace TreeSerialize
