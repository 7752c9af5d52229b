#include "tools/fx5-config/Compiler.h"

#include <algorithm>
#include <functional>
#include <set>

#include "config/ConfigBlob.h"
#include "config/SectionedConfig.h"
#include "sim/DeviceAddress.h"
#include "sim/DeviceMemory.h"
#include "tags/TreeSerialize.h"
#include "tools/fx5-config/ProjectJson.h"
#include "vi5z_uvevarov_ave/KVSGConvertLayer.h"

namespace fx5cfg {

namespace {

// The frame's device number has three bytes.
constexpr uint64_t kMaxDeviceNumber = 0xFFFFFF;
// The controller reads and writes at most 960 words in one request, and a
// string is always read or written whole.
constexpr uint64_t kMaxStringWords = 960;
// The tree's stored types of the scalars, as the tag record stores them.
uint32_t StoredType(Scalar s)
{
    switch (s) {
    case Scalar::Bool: return 0;
    case Scalar::Int16: return 3;
    case Scalar::UInt16: return 4;
    case Scalar::Int32: return 5;
    case Scalar::UInt32: return 6;
    case Scalar::Float: return 9;
    case Scalar::WString: return 11;
    case Scalar::String: return 12;
    }
    return 21;
}
constexpr uint32_t kInnerNodeType = 21;

enum class Unit { Point, Word, DoubleWord };
Unit UnitOf(size_t area)
{
    switch (sim::DeviceAreas()[area].unit) {
    case sim::DeviceUnit::Bit: return Unit::Point;
    case sim::DeviceUnit::Word: return Unit::Word;
    case sim::DeviceUnit::DoubleWord: return Unit::DoubleWord;
    }
    return Unit::Word;
}

std::string ArrayKey(const std::vector<uint32_t>& index)
{
    std::string key = "[";
    for (size_t i = 0; i < index.size(); ++i) key += (i ? "," : "") + std::to_string(index[i]);
    return key + "]";
}

class Builder {
public:
    Builder(const Project& project, Diagnostics& diagnostics) : m_project(project), m_diagnostics(diagnostics)
    {
        for (const StructType& type : project.structs) m_structs[type.name] = &type;
    }

    void Fail(const std::string& where, const std::string& message) { m_diagnostics.push_back({where, message}); }

    // Size of one element in bits of the area's unit (points count 1).
    bool SizeBits(const Declaration& d, Unit unit, uint64_t& bits, std::vector<std::string>& chain)
    {
        if (const auto scalar = ScalarByName(d.type)) {
            if (unit == Unit::Point) {
                if (*scalar != Scalar::Bool)
                    return Fail(d.where + "/type", "type " + d.type + " needs a word device; bit devices hold bool tags"), false;
                bits = 1;
                return true;
            }
            const uint64_t word = unit == Unit::DoubleWord ? 32 : 16;
            switch (*scalar) {
            case Scalar::Bool: bits = 1; return true;
            case Scalar::Int16:
            case Scalar::UInt16:
                if (unit == Unit::DoubleWord)
                    return Fail(d.where + "/type", "a 16-bit type on a double-word device; use int32, uint32, float or bool"), false;
                bits = 16;
                return true;
            case Scalar::Int32:
            case Scalar::UInt32:
            case Scalar::Float: bits = 32; return true;
            case Scalar::String:
            case Scalar::WString:
                if (unit == Unit::DoubleWord) return Fail(d.where + "/type", "strings need a word device"), false;
                if (d.length == 0) return Fail(d.where + "/length", "missing: a string needs its length"), false;
                {
                    const bool bytes = *scalar == Scalar::String;
                    const uint64_t words = bytes ? (uint64_t{d.length} + 1) / 2 : uint64_t{d.length};
                    if (words > kMaxStringWords)
                        return Fail(d.where + "/length",
                                    "a " + d.type + " may hold at most " + std::to_string(bytes ? 2 * kMaxStringWords : kMaxStringWords) +
                                        (bytes ? " bytes" : " characters") + " (960 words, what one request reads or writes); found " +
                                        std::to_string(d.length)),
                               false;
                    bits = words * word;
                    return true;
                }
            }
        }
        auto it = m_structs.find(d.type);
        if (it == m_structs.end())
            return Fail(d.where + "/type", "unknown data type \"" + d.type + "\"; expected " + ScalarNames() + " or a structure type"),
                   false;
        if (unit != Unit::Word) return Fail(d.where + "/type", "a structure needs a word device such as D, W or R"), false;
        if (std::find(chain.begin(), chain.end(), d.type) != chain.end())
            return Fail(d.where + "/type", "structure \"" + d.type + "\" contains itself"), false;
        const StructType& type = *it->second;
        if (type.sizeWords) {
            bits = uint64_t{*type.sizeWords} * 16;
            return true;
        }
        // Each structure's size is worked out once, however often it is used.
        if (auto known = m_structBits.find(d.type); known != m_structBits.end()) {
            bits = known->second;
            return true;
        }
        chain.push_back(d.type);
        uint64_t end = 0;
        for (const Declaration& m : type.members) {
            uint64_t memberBits = 0, offset = 0;
            if (!MemberOffset(m, offset) || !SizeBits(m, Unit::Word, memberBits, chain)) {
                chain.pop_back();
                return false;
            }
            end = std::max(end, offset + memberBits * Count(m.dims));
        }
        chain.pop_back();
        bits = (end + 15) / 16 * 16;
        m_structBits[d.type] = bits;
        return true;
    }

    // A member's offset in bits from its structure's start: "3" or "3.5".
    bool MemberOffset(const Declaration& m, uint64_t& bits)
    {
        const size_t dot = m.offset.find('.');
        const std::string words = m.offset.substr(0, dot), bit = dot == std::string::npos ? "" : m.offset.substr(dot + 1);
        auto number = [](const std::string& text, uint64_t& v) {
            if (text.empty() || text.size() > 9 || text.find_first_not_of("0123456789") != std::string::npos) return false;
            v = std::stoull(text);
            return true;
        };
        uint64_t w = 0, b = 0;
        if (!number(words, w) || (dot != std::string::npos && (!number(bit, b) || b > 15)))
            return Fail(m.where + "/offset",
                        "found \"" + m.offset + "\", expected words from the structure's start such as \"3\", or a bit as \"3.5\""),
                   false;
        bits = w * 16 + b;
        return true;
    }

    static uint64_t Count(const std::vector<uint32_t>& dims)
    {
        uint64_t n = 1;
        for (uint32_t d : dims) n *= d;
        return n;
    }

    // Places one declaration at `bits` (from device 0 of the area, in bits of
    // its unit) and returns its subtree.
    TreeSerialize::NodeSpec Place(const Declaration& d, size_t area, uint64_t at, const std::string& path, const std::string& key,
                                  bool withDims, std::vector<std::string>& chain)
    {
        if (m_leaves.size() >= kMaxLeaves) {
            if (!m_tooMany) Fail(d.where, "the project expands to more than " + std::to_string(kMaxLeaves) + " scalar tags");
            m_tooMany = true;
            return {};
        }
        const Unit unit = UnitOf(area);
        const uint64_t unitBits = unit == Unit::Point ? 1 : (unit == Unit::Word ? 16 : 32);
        if (withDims && !d.dims.empty()) {
            uint64_t element = 0;
            SizeBits(d, unit, element, chain);
            TreeSerialize::NodeSpec node{Inner(key, path, area, at / unitBits, true), {}};
            const uint64_t count = Count(d.dims);
            std::vector<uint32_t> index(d.dims.size(), 0);
            for (uint64_t i = 0; i < count && !m_tooMany; ++i) {
                const std::string elementKey = ArrayKey(index);
                node.children.push_back(Place(d, area, at + i * element, path + elementKey, elementKey, false, chain));
                for (size_t k = index.size(); k-- > 0;) {
                    if (++index[k] < d.dims[k]) break;
                    index[k] = 0;
                }
            }
            return node;
        }
        if (const auto scalar = ScalarByName(d.type)) {
            Leaf leaf;
            leaf.scalar = *scalar;
            leaf.area = area;
            leaf.number = static_cast<uint32_t>(at / unitBits);
            if (*scalar == Scalar::Bool && unit != Unit::Point)
                leaf.bit = static_cast<int>(at % unitBits);
            else if (at % unitBits != 0)
                Fail(d.where, "a " + d.type + " must start on a whole word");
            leaf.length = d.length;
            m_leaves[path] = leaf;
            KVSG::KVSGVariable tag = KVSG::MakeVariable(key, path, StoredType(*scalar), static_cast<uint32_t>(area), leaf.number,
                                                        leaf.bit < 0 ? 0xFFFFFFFFu : static_cast<uint32_t>(leaf.bit), d.length);
            return {tag, {}};
        }
        TreeSerialize::NodeSpec node{Inner(key, path, area, at / unitBits, false), {}};
        auto it = m_structs.find(d.type);
        if (it == m_structs.end()) return node;
        chain.push_back(d.type);
        for (const Declaration& m : it->second->members) {
            uint64_t offset = 0;
            if (!MemberOffset(m, offset)) continue;
            node.children.push_back(Place(m, area, at + offset, path + "." + m.name, m.name, true, chain));
        }
        chain.pop_back();
        return node;
    }

    static KVSG::KVSGVariable Inner(const std::string& key, const std::string& path, size_t area, uint64_t number, bool array)
    {
        KVSG::KVSGVariable tag = KVSG::MakeVariable(key, path, kInnerNodeType, static_cast<uint32_t>(area), static_cast<uint32_t>(number));
        tag.m_isArray = array;
        return tag;
    }

    bool Build(TreeSerialize::NodeSpec& root)
    {
        root = {KVSG::MakeVariable("", "", kInnerNodeType, 0xFFFFFFFFu, 0xFFFFFFFFu), {}};
        const size_t before = m_diagnostics.size();
        CheckStructs();
        std::set<std::string> names;
        for (const Declaration& d : m_project.tags) {
            if (!ValidName(d.name))
                Fail(d.where + "/name", "found \"" + d.name + "\", expected a name without '.', '[', ']', ',' or spaces");
            if (!names.insert(d.name).second) Fail(d.where + "/name", "tag \"" + d.name + "\" is defined twice");
            const auto address = sim::ParseDeviceAddress(d.device);
            const size_t dot = d.device.find('.');
            const auto word = dot == std::string::npos ? std::nullopt : sim::ParseDeviceAddress(d.device.substr(0, dot));
            if (!address && word) {
                const sim::DeviceArea& area = sim::DeviceAreas()[word->area];
                Fail(d.where + "/device",
                     "found \"" + d.device + "\": " +
                         (area.unit == sim::DeviceUnit::Bit
                              ? std::string(area.name) + " is a bit device and has no bit numbers"
                              : std::string(area.name) + " has bits 0 … " + (area.unit == sim::DeviceUnit::Word ? "15" : "31")));
                continue;
            }
            if (!address) {
                Fail(d.where + "/device",
                     "found \"" + d.device + "\", expected a device address such as D100, D100.5, M20, X17, W1F, R2000 or LZ2");
                continue;
            }
            const sim::DeviceArea& area = sim::DeviceAreas()[address->area];
            const Unit unit = UnitOf(address->area);
            if (address->bit && ScalarByName(d.type) != Scalar::Bool) {
                Fail(d.where + "/device", "a bit address (" + d.device + ") holds only a bool tag");
                continue;
            }
            std::vector<std::string> chain;
            uint64_t element = 0;
            if (!SizeBits(d, unit, element, chain)) continue;
            const uint64_t unitBits = unit == Unit::Point ? 1 : (unit == Unit::Word ? 16 : 32);
            const uint64_t start = uint64_t{address->number} * unitBits + (address->bit ? *address->bit : 0);
            const uint64_t endBits = start + element * Count(d.dims);
            const uint64_t lastDevice = (endBits - 1) / unitBits;
            if (lastDevice > kMaxDeviceNumber) {
                Fail(d.where + "/device",
                     "found " + d.device + ": the frame's 3-byte device number reaches " + std::string(area.name) + " 16777215 at most");
                continue;
            }
            if (lastDevice >= area.points) {
                const std::string first = sim::FormatDeviceAddress({address->area, 0, std::nullopt});
                const std::string last = sim::FormatDeviceAddress({address->area, area.points - 1, std::nullopt});
                const std::string end = sim::FormatDeviceAddress(
                    {address->area, static_cast<uint32_t>(std::min<uint64_t>(lastDevice, UINT32_MAX)), std::nullopt});
                Fail(d.where + "/device",
                     "found " + d.device + (end != d.device ? " (ending at " + end + ")" : "") + ", expected " + first + " … " + last);
                continue;
            }
            root.children.push_back(Place(d, address->area, start, d.name, d.name, true, chain));
        }
        return m_diagnostics.size() == before;
    }

    void CheckStructs()
    {
        std::set<std::string> seen;
        for (const StructType& type : m_project.structs) {
            if (ScalarByName(type.name)) Fail(type.where, "a structure cannot be named like the scalar type \"" + type.name + "\"");
            std::set<std::string> members;
            for (const Declaration& m : type.members) {
                if (!ValidName(m.name))
                    Fail(m.where + "/name", "found \"" + m.name + "\", expected a name without '.', '[', ']', ',' or spaces");
                if (!members.insert(m.name).second) Fail(m.where + "/name", "member \"" + m.name + "\" is defined twice");
            }
            std::vector<std::string> chain;
            Declaration probe;
            probe.type = type.name;
            probe.where = type.where;
            uint64_t bits = 0;
            SizeBits(probe, Unit::Word, bits, chain);
        }
    }

    static bool ValidName(const std::string& name) { return !name.empty() && name.find_first_of(".[], \t") == std::string::npos; }

    std::map<std::string, Leaf> m_leaves;

private:
    // More scalars than any panel binds: a project of this size is a mistake.
    static constexpr size_t kMaxLeaves = 1000000;
    bool m_tooMany = false;
    std::map<std::string, uint64_t> m_structBits;
    const Project& m_project;
    Diagnostics& m_diagnostics;
    std::map<std::string, const StructType*> m_structs;
};

std::vector<unsigned char> PropertySection(const DeviceSettings& s)
{
    auto set = std::make_shared<DevicePropertyConfigWraper>();
    KVSG::KVSGConvertLayer::DefineProperties(*set);
    const unsigned values[4] = {s.waitTimeMs, s.blockCollection == "contiguous" ? 1u : 0u, s.stringEncoding == "unicode" ? 1u : 0u,
                                s.stringByteOrder == "12" ? 1u : 0u};
    for (int i = 0; i < 4; ++i)
        set->getPropertyFromName(KVSG::PropertyKey(DEV_STR_PROPERTYNAME[i]).c_str())->SetProValueInt(static_cast<int>(values[i]));
    DevicePropertySerilize writer;
    writer.fromDeviceProperty(set);
    return writer.bytes();
}

// The index part of a path's last bracket, checked against the tag's dims.
void CheckChannel(const Channel& c, const std::map<std::string, Leaf>& leaves, const Project& project, Diagnostics& diagnostics)
{
    if (leaves.count(c.tag)) return;
    // Say why: an index outside the dimensions, or no such tag.
    const std::string top = c.tag.substr(0, c.tag.find_first_of(".["));
    for (const Declaration& d : project.tags) {
        if (d.name != top) continue;
        // A tag that failed its own check is reported once, not again for
        // every channel bound to it.
        const bool failed = std::any_of(diagnostics.begin(), diagnostics.end(), [&d](const Diagnostic& m) {
            return m.where.compare(0, d.where.size(), d.where) == 0 && (m.where.size() == d.where.size() || m.where[d.where.size()] == '/');
        });
        if (failed) return;
        const size_t open = c.tag.find('[');
        if (open == top.size() && !d.dims.empty()) {
            const std::string inside = c.tag.substr(open + 1, c.tag.find(']') - open - 1);
            diagnostics.push_back(
                {c.where + "/tag", "\"" + c.tag + "\": index [" + inside + "] is outside the dimensions of " + d.name + " (" + [&] {
                     std::string dims;
                     for (uint32_t n : d.dims) dims += (dims.empty() ? "" : ", ") + std::string("0..") + std::to_string(n - 1);
                     return dims;
                 }() + ") or names no element"});
            return;
        }
        diagnostics.push_back({c.where + "/tag", "\"" + c.tag + "\" does not resolve to a scalar of tag " + d.name});
        return;
    }
    diagnostics.push_back({c.where + "/tag", "\"" + c.tag + "\" names no tag"});
}

} // namespace

bool Compile(const Project& project, Compiled& out, Diagnostics& diagnostics)
{
    const size_t before = diagnostics.size();
    Builder builder(project, diagnostics);
    TreeSerialize::NodeSpec root;
    builder.Build(root);
    out.leaves = std::move(builder.m_leaves);
    // One string encoding per device: strings of both kinds cannot all read right.
    bool narrow = false, wide = false;
    for (const auto& [path, leaf] : out.leaves) {
        narrow = narrow || leaf.scalar == Scalar::String;
        wide = wide || leaf.scalar == Scalar::WString;
    }
    if ((narrow && project.device.stringEncoding != "ascii") || (wide && project.device.stringEncoding != "unicode"))
        diagnostics.push_back(
            {"/device/stringEncoding", std::string("found \"") + project.device.stringEncoding + "\", but the project holds " +
                                           (narrow && wide ? "string and wstring tags; the device reads all strings in one encoding"
                                            : narrow       ? "string tags, which need \"ascii\""
                                                           : "wstring tags, which need \"unicode\"")});
    std::vector<std::string> paths;
    for (const Channel& c : project.channels) {
        CheckChannel(c, out.leaves, project, diagnostics);
        paths.push_back(c.tag);
    }
    // A structure's mistake shows once however many tags use it.
    std::set<std::pair<std::string, std::string>> seen;
    diagnostics.erase(std::remove_if(diagnostics.begin() + static_cast<long>(before), diagnostics.end(),
                                     [&seen](const Diagnostic& d) {
                                         return !seen.insert({d.where, d.message}).second;
                                     }),
                      diagnostics.end());
    if (diagnostics.size() != before) return false;
    const std::string text = WriteProject(project, false);
    const std::vector<unsigned char> projectBytes(text.begin(), text.end());
    out.blob = WriteConfigBlob(WriteSectionedContainer({{SECTION_PROPERTIES, PropertySection(project.device)},
                                                        {SECTION_TAGTREE, TreeSerialize::WriteTree(root)},
                                                        {kProjectSection, projectBytes}}),
                               paths);
    return true;
}

} // namespace fx5cfg
