#include "tools/fx5-config/BlobToProject.h"

#include <algorithm>
#include <functional>
#include <map>

#include "config/ConfigBlob.h"
#include "config/SectionedConfig.h"
#include "sim/DeviceAddress.h"
#include "sim/DeviceMemory.h"
#include "tags/TreeSerialize.h"
#include "tools/fx5-config/Compiler.h"
#include "tools/fx5-config/ProjectJson.h"
#include "vi5z_uvevarov_ave/KVSGConvertLayer.h"

namespace fx5cfg {

namespace {

using Node = KVSG::TagTree;

struct Sections {
    ConfigBlobView view;
    utils::MemoryBuffer properties, tree, project;
};

bool Open(const std::vector<unsigned char>& blob, Sections& s, Diagnostics& diagnostics)
{
    if (!ReadConfigBlob(blob.data(), static_cast<unsigned>(blob.size()), s.view)) {
        diagnostics.push_back({"", "not a configuration blob: shorter than its 16-byte prefix and stated container"});
        return false;
    }
    DevDeserialize container;
    container.open(s.view.container, s.view.containerSize);
    container.readSection(SECTION_PROPERTIES, s.properties);
    container.readSection(kProjectSection, s.project);
    if (!container.readSection(SECTION_TAGTREE, s.tree) || s.tree.size() == 0) {
        diagnostics.push_back({"", "the container holds no tag tree (section 3)"});
        return false;
    }
    return true;
}

std::optional<Scalar> ScalarOfStored(uint32_t stored)
{
    switch (stored) {
    case 0: return Scalar::Bool;
    case 3: return Scalar::Int16;
    case 4: return Scalar::UInt16;
    case 5: return Scalar::Int32;
    case 6: return Scalar::UInt32;
    case 9: return Scalar::Float;
    case 11: return Scalar::WString;
    case 12: return Scalar::String;
    default: return std::nullopt;
    }
}

std::string DeviceOf(const KVSG::KVSGVariable& tag)
{
    if (tag.m_registerType >= sim::DeviceAreas().size()) return "";
    std::optional<unsigned> bit;
    if (tag.m_bit != 0xFFFFFFFFu && sim::DeviceAreas()[tag.m_registerType].unit != sim::DeviceUnit::Bit) bit = tag.m_bit;
    return sim::FormatDeviceAddress({tag.m_registerType, tag.m_address, bit});
}

bool IsElementKey(const std::string& key) { return !key.empty() && key.front() == '['; }

// Describes a blob made elsewhere: leaves as scalars, arrays and structures
// as the tree shows them.
class Deriver {
public:
    static constexpr unsigned kMaxNesting = 64;
    static constexpr unsigned long kMaxIndex = 65535;
    static constexpr size_t kMaxDimensions = 8;
    explicit Deriver(Project& project) : m_project(project) {}

    void Tag(const Node& node)
    {
        Declaration d;
        d.name = node.label().getVarKey();
        if (Describe(node, d)) {
            d.device = DeviceOf(First(node));
            m_project.tags.push_back(d);
        }
    }
    std::map<std::string, Scalar> leaves;

private:
    // The first leaf below a node: where it starts.
    static const KVSG::KVSGVariable& First(const Node& node)
    {
        const Node* n = &node;
        while (!n->children().empty()) n = n->children().front().get();
        return n->label();
    }

    bool Describe(const Node& node, Declaration& d, unsigned depth = 0)
    {
        // Deeper nesting than a project describes is not followed.
        if (depth > kMaxNesting) return false;
        const KVSG::KVSGVariable& tag = node.label();
        if (node.children().empty()) {
            const auto scalar = ScalarOfStored(tag.m_storedType);
            if (!scalar) return false;
            d.type = ScalarName(*scalar);
            if (*scalar == Scalar::String || *scalar == Scalar::WString) d.length = tag.m_length;
            leaves[tag.getFullPath()] = *scalar;
            return true;
        }
        if (std::all_of(node.children().begin(), node.children().end(),
                        [](const auto& c) { return IsElementKey(c->label().getVarKey()); })) {
            // Dimensions from the largest index in each position.
            for (const auto& child : node.children()) {
                const std::string key = child->label().getVarKey();
                size_t dim = 0, start = 1;
                while (start < key.size()) {
                    const size_t end = key.find_first_of(",]", start);
                    if (end == std::string::npos) break;
                    const unsigned long index = std::strtoul(key.substr(start, end - start).c_str(), nullptr, 10);
                    // Indexes a project cannot declare are not described.
                    if (index >= kMaxIndex || dim >= kMaxDimensions) return false;
                    if (d.dims.size() <= dim) d.dims.push_back(0);
                    d.dims[dim] = std::max(d.dims[dim], static_cast<uint32_t>(index + 1));
                    ++dim;
                    start = end + 1;
                }
                Declaration element;
                if (!Describe(*child, element, depth + 1)) return false;
                d.type = element.type;
                d.length = element.length;
            }
            return true;
        }
        // A structure: a type of its own, members at their offsets from its start.
        const KVSG::KVSGVariable& base = First(node);
        StructType type;
        type.name = tag.getFullPath();
        std::replace(type.name.begin(), type.name.end(), '.', '_');
        type.name.erase(std::remove_if(type.name.begin(), type.name.end(), [](char c) { return c == '[' || c == ']' || c == ','; }),
                        type.name.end());
        type.name += "_t";
        for (const auto& child : node.children()) {
            Declaration m;
            m.name = child->label().getVarKey();
            if (!Describe(*child, m, depth + 1)) continue;
            const KVSG::KVSGVariable& at = First(*child);
            const int64_t words = static_cast<int64_t>(at.m_address) - static_cast<int64_t>(base.m_address);
            m.offset = std::to_string(std::max<int64_t>(0, words));
            if (at.m_bit != 0xFFFFFFFFu && at.m_bit < 16) m.offset += "." + std::to_string(at.m_bit);
            type.members.push_back(m);
        }
        if (std::none_of(m_project.structs.begin(), m_project.structs.end(), [&](const StructType& s) { return s.name == type.name; }))
            m_project.structs.push_back(type);
        d.type = type.name;
        return true;
    }

    Project& m_project;
};

} // namespace

bool Inspect(const std::vector<unsigned char>& blob, Inspection& out, Diagnostics& diagnostics)
{
    Sections s;
    if (!Open(blob, s, diagnostics)) return false;
    if (s.project.size() > 0) {
        Diagnostics ignored;
        const std::string text(s.project.data(), s.project.data() + s.project.size());
        Project carried;
        Compiled again;
        if (ParseProject(text, carried, ignored) && ignored.empty() && Compile(carried, again, ignored) && again.blob == blob) {
            out.project = carried;
            out.exact = true;
            return true;
        }
        out.note = "the blob's project section does not compile to this blob; described from the tag tree instead";
    } else {
        out.note = "the blob carries no project section; described from the tag tree";
    }
    // Device settings from the property section.
    auto set = std::make_shared<DevicePropertyConfigWraper>();
    KVSG::KVSGConvertLayer::DefineProperties(*set);
    DevicePropertySerilize(s.properties.bytes()).toDeviceProperty(set);
    auto value = [&](int i) { return set->getPropertyFromName(KVSG::PropertyKey(DEV_STR_PROPERTYNAME[i]).c_str()); };
    out.project.device.waitTimeMs = static_cast<uint32_t>(value(0)->GetProValueInt());
    out.project.device.blockCollection = value(1)->GetProValueStr() == DEV_STR_PROPERTLIST[0] ? "maxLength" : "contiguous";
    out.project.device.stringEncoding = value(2)->GetProValueStr() == DEV_STR_PROPERTLIST[2] ? "ascii" : "unicode";
    out.project.device.stringByteOrder = value(3)->GetProValueStr() == DEV_STR_PROPERTLIST[4] ? "21" : "12";

    std::unique_ptr<Node> root = TreeSerialize::ReadTree(s.tree, [](const Node*) {});
    if (!root) {
        diagnostics.push_back({"", "the tag tree is not a tree (an offset outside the section or a record read twice)"});
        return false;
    }
    Deriver deriver(out.project);
    for (const auto& child : root->children()) deriver.Tag(*child);
    for (const std::string& path : ReadChannelPaths(s.view)) {
        auto leaf = deriver.leaves.find(path);
        out.project.channels.push_back({path, leaf == deriver.leaves.end() ? "integer" : DefaultHostType(leaf->second), ""});
    }
    return true;
}

bool TreeOutline(const std::vector<unsigned char>& blob, std::string& outline, Diagnostics& diagnostics)
{
    Sections s;
    if (!Open(blob, s, diagnostics)) return false;
    std::unique_ptr<Node> root = TreeSerialize::ReadTree(s.tree, [](const Node*) {});
    if (!root) {
        diagnostics.push_back({"", "the tag tree is not a tree"});
        return false;
    }
    // Depth first without recursion: deep trees are allowed.
    std::vector<std::pair<const Node*, size_t>> stack;
    for (auto it = root->children().rbegin(); it != root->children().rend(); ++it) stack.push_back({it->get(), 0});
    while (!stack.empty()) {
        const auto [node, depth] = stack.back();
        stack.pop_back();
        const KVSG::KVSGVariable& tag = node->label();
        outline += std::string(2 * depth, ' ') + tag.getVarKey();
        if (node->children().empty()) {
            const auto scalar = ScalarOfStored(tag.m_storedType);
            outline += std::string("  ") + (scalar ? ScalarName(*scalar) : "stored type " + std::to_string(tag.m_storedType));
            if ((scalar == Scalar::String || scalar == Scalar::WString)) outline += "(" + std::to_string(tag.m_length) + ")";
            outline += "  " + DeviceOf(tag);
        } else {
            outline += tag.m_isArray ? "  array" : "";
            const std::string device = DeviceOf(tag);
            if (!device.empty()) outline += "  at " + device;
        }
        outline += "\n";
        for (auto it = node->children().rbegin(); it != node->children().rend(); ++it) stack.push_back({it->get(), depth + 1});
    }
    return true;
}

} // namespace fx5cfg
