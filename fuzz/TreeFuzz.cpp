// Tag tree streams of any shape, read alone, then searched.
#include <cstdint>

#include "tags/TreeSerialize.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    utils::MemoryBuffer section;
    section.write(data, static_cast<unsigned>(size));
    size_t leaves = 0;
    std::unique_ptr<KVSG::TagTree> root = TreeSerialize::ReadTree(section, [&leaves](const KVSG::TagTree*) { ++leaves; });
    if (root) {
        for (const char* path : {"a", "a.b", "a[0]", "a[0].b[1,2]", "[0]", ".", "a..b", "]"}) root->find(path);
    }
    return 0;
}
