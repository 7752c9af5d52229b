#include "tools/fx5-config/ProjectJson.h"

#include <nlohmann/json.hpp>

namespace fx5cfg {

namespace {

using Json = nlohmann::ordered_json;

// Reads the members of one object, reporting unknown and mistyped ones.
class ObjectReader {
public:
    ObjectReader(const Json& object, std::string where, Diagnostics& diagnostics)
        : m_object(object), m_where(std::move(where)), m_diagnostics(diagnostics)
    {
        if (!object.is_object()) Fail(m_where, "expected an object");
    }
    bool Has(const char* key) const { return m_object.is_object() && m_object.contains(key); }
    std::string At(const char* key) const { return m_where + "/" + key; }
    void Fail(const std::string& where, const std::string& message) const { m_diagnostics.push_back({where, message}); }

    std::string String(const char* key, const std::string& fallback = "", bool required = false)
    {
        m_known.push_back(key);
        if (!Has(key)) {
            if (required) Fail(At(key), "missing");
            return fallback;
        }
        if (!m_object[key].is_string()) {
            Fail(At(key), "found " + m_object[key].dump() + ", expected a text");
            return fallback;
        }
        return m_object[key].get<std::string>();
    }
    uint32_t Unsigned(const char* key, uint32_t fallback, uint32_t minimum = 0)
    {
        m_known.push_back(key);
        if (!Has(key)) return fallback;
        const Json& v = m_object[key];
        if (!v.is_number_integer() || v.get<long long>() < minimum || v.get<long long>() > 0xFFFFFFFFLL) {
            Fail(At(key), "found " + v.dump() + ", expected a whole number from " + std::to_string(minimum) + " to 4294967295");
            return fallback;
        }
        return static_cast<uint32_t>(v.get<long long>());
    }
    std::vector<uint32_t> Dims(const char* key)
    {
        m_known.push_back(key);
        std::vector<uint32_t> dims;
        if (!Has(key)) return dims;
        const Json& v = m_object[key];
        if (!v.is_array() || v.empty()) {
            Fail(At(key), "found " + v.dump() + ", expected a list of array sizes such as [10] or [3, 4]");
            return dims;
        }
        for (size_t i = 0; i < v.size(); ++i) {
            if (!v[i].is_number_integer() || v[i].get<long long>() < 1 || v[i].get<long long>() > 65535) {
                Fail(At(key) + "/" + std::to_string(i), "found " + v[i].dump() + ", expected a size from 1 to 65535");
                continue;
            }
            dims.push_back(static_cast<uint32_t>(v[i].get<long long>()));
        }
        return dims;
    }
    const Json* Array(const char* key)
    {
        m_known.push_back(key);
        if (!Has(key)) return nullptr;
        if (!m_object[key].is_array()) {
            Fail(At(key), "expected a list");
            return nullptr;
        }
        return &m_object[key];
    }
    const Json* Object(const char* key)
    {
        m_known.push_back(key);
        if (!Has(key)) return nullptr;
        if (!m_object[key].is_object()) {
            Fail(At(key), "expected an object");
            return nullptr;
        }
        return &m_object[key];
    }
    // Members nobody asked for are mistakes too (a misspelt "lenght").
    void Finish() const
    {
        if (!m_object.is_object()) return;
        for (const auto& item : m_object.items()) {
            bool known = false;
            for (const char* k : m_known) known = known || item.key() == k;
            if (!known) Fail(At(item.key().c_str()), "unknown member");
        }
    }

private:
    const Json& m_object;
    std::string m_where;
    Diagnostics& m_diagnostics;
    std::vector<const char*> m_known;
};

Declaration ReadDeclaration(const Json& json, const std::string& where, bool member, Diagnostics& diagnostics)
{
    ObjectReader r(json, where, diagnostics);
    Declaration d;
    d.where = where;
    d.name = r.String("name", "", true);
    d.type = r.String("type", "", true);
    if (member)
        d.offset = r.String("offset", "", true);
    else
        d.device = r.String("device", "", true);
    d.dims = r.Dims("dims");
    d.length = r.Unsigned("length", 0, 1);
    d.comment = r.String("comment");
    r.Finish();
    return d;
}

Json WriteDeclaration(const Declaration& d, bool member)
{
    Json j;
    j["name"] = d.name;
    j["type"] = d.type;
    if (member)
        j["offset"] = d.offset;
    else
        j["device"] = d.device;
    if (!d.dims.empty()) j["dims"] = d.dims;
    if (d.length) j["length"] = d.length;
    if (!d.comment.empty()) j["comment"] = d.comment;
    return j;
}

} // namespace

bool ParseProject(const std::string& text, Project& project, Diagnostics& diagnostics)
{
    project = Project();
    Json root;
    // Syntax errors, and numbers too large for any number type (1e999),
    // which the JSON reader reports as a range error of its own.
    try {
        root = Json::parse(text);
    } catch (const Json::exception& e) {
        diagnostics.push_back({"", std::string("not a JSON document: ") + e.what()});
        return false;
    }
    ObjectReader top(root, "", diagnostics);
    if (const Json* device = top.Object("device")) {
        ObjectReader r(*device, "/device", diagnostics);
        DeviceSettings& s = project.device;
        s.waitTimeMs = r.Unsigned("waitTimeMs", s.waitTimeMs, 1);
        s.blockCollection = r.String("blockCollection", s.blockCollection);
        s.stringEncoding = r.String("stringEncoding", s.stringEncoding);
        s.stringByteOrder = r.String("stringByteOrder", s.stringByteOrder);
        if (s.blockCollection != "maxLength" && s.blockCollection != "contiguous")
            r.Fail("/device/blockCollection", "found \"" + s.blockCollection + "\", expected \"maxLength\" or \"contiguous\"");
        if (s.stringEncoding != "ascii" && s.stringEncoding != "unicode")
            r.Fail("/device/stringEncoding", "found \"" + s.stringEncoding + "\", expected \"ascii\" or \"unicode\"");
        if (s.stringByteOrder != "12" && s.stringByteOrder != "21")
            r.Fail("/device/stringByteOrder",
                   "found \"" + s.stringByteOrder + "\", expected \"12\" (first character in the low byte) or \"21\"");
        r.Finish();
    }
    if (const Json* structs = top.Object("structs")) {
        for (const auto& item : structs->items()) {
            const std::string where = "/structs/" + item.key();
            ObjectReader r(item.value(), where, diagnostics);
            StructType type;
            type.name = item.key();
            type.where = where;
            if (r.Has("sizeWords")) type.sizeWords = r.Unsigned("sizeWords", 1, 1);
            if (const Json* members = r.Array("members")) {
                for (size_t i = 0; i < members->size(); ++i)
                    type.members.push_back(ReadDeclaration((*members)[i], where + "/members/" + std::to_string(i), true, diagnostics));
            } else {
                r.Fail(where + "/members", "missing: a structure lists its members");
            }
            r.Finish();
            project.structs.push_back(std::move(type));
        }
    }
    if (const Json* tags = top.Array("tags")) {
        for (size_t i = 0; i < tags->size(); ++i)
            project.tags.push_back(ReadDeclaration((*tags)[i], "/tags/" + std::to_string(i), false, diagnostics));
    }
    if (const Json* channels = top.Array("channels")) {
        for (size_t i = 0; i < channels->size(); ++i) {
            const std::string where = "/channels/" + std::to_string(i);
            ObjectReader r((*channels)[i], where, diagnostics);
            Channel c;
            c.where = where;
            c.tag = r.String("tag", "", true);
            c.hostType = r.String("type", "");
            if (!c.hostType.empty() && c.hostType != "integer" && c.hostType != "double" && c.hostType != "text")
                r.Fail(where + "/type", "found \"" + c.hostType + "\", expected \"integer\", \"double\" or \"text\"");
            r.Finish();
            project.channels.push_back(std::move(c));
        }
    }
    top.Finish();
    return root.is_object();
}

std::string WriteProject(const Project& project, bool pretty)
{
    Json root;
    root["device"] = {{"waitTimeMs", project.device.waitTimeMs},
                      {"blockCollection", project.device.blockCollection},
                      {"stringEncoding", project.device.stringEncoding},
                      {"stringByteOrder", project.device.stringByteOrder}};
    if (!project.structs.empty()) {
        Json structs = Json::object();
        for (const StructType& type : project.structs) {
            Json t;
            if (type.sizeWords) t["sizeWords"] = *type.sizeWords;
            Json members = Json::array();
            for (const Declaration& m : type.members) members.push_back(WriteDeclaration(m, true));
            t["members"] = members;
            structs[type.name] = t;
        }
        root["structs"] = structs;
    }
    Json tags = Json::array();
    for (const Declaration& d : project.tags) tags.push_back(WriteDeclaration(d, false));
    root["tags"] = tags;
    Json channels = Json::array();
    for (const Channel& c : project.channels) {
        Json j;
        j["tag"] = c.tag;
        if (!c.hostType.empty()) j["type"] = c.hostType;
        channels.push_back(j);
    }
    root["channels"] = channels;
    // Text that is not UTF-8 (from a label list) is written with U+FFFD in
    // its place rather than failing the whole file.
    return pretty ? root.dump(2, ' ', false, Json::error_handler_t::replace) + "\n"
                  : root.dump(-1, ' ', false, Json::error_handler_t::replace);
}

} // namespace fx5cfg
