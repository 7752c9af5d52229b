// The tag tree's stream: node records linked by offsets from the start of
// the section, each carrying its tag in the Run form. The reader stops at
// the section's end and refuses offsets that revisit a record; the writer
// produces what the reader accepts.
#pragma once

#include <functional>
#include <memory>
#include <vector>

#include "config/MemoryBuffer.h"
#include "tags/TagTree.h"

namespace TreeSerialize {

constexpr unsigned kNodeHeaderBytes = 20;

using LeafCallback = std::function<void(const KVSG::TagTree*)>;

// Reads the whole tree from offset 0; null when the stream is not a tree.
std::unique_ptr<KVSG::TagTree> ReadTree(utils::imemoryread& section, const LeafCallback& onLeaf);

// A tree given in memory, for writing.
struct NodeSpec {
    KVSG::KVSGVariable tag;
    std::vector<NodeSpec> children;
};
std::vector<unsigned char> WriteTree(const NodeSpec& root);

} // namespace TreeSerialize
