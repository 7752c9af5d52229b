#include "tools/fx5-config/LabelImport.h"

#include <algorithm>
#include <cctype>
#include <map>
#include <set>

#include "sim/DeviceAddress.h"
#include "sim/DeviceMemory.h"

namespace fx5cfg {

namespace {

// UTF-16LE to UTF-8; surrogate pairs joined, lone ones replaced.
std::string FromUtf16(const std::string& bytes, size_t start)
{
    std::string out;
    for (size_t i = start; i + 1 < bytes.size(); i += 2) {
        uint32_t c = static_cast<uint32_t>(static_cast<uint8_t>(bytes[i])) | static_cast<uint32_t>(static_cast<uint8_t>(bytes[i + 1])) << 8;
        if (c >= 0xD800 && c < 0xDC00 && i + 3 < bytes.size()) {
            const uint32_t low =
                static_cast<uint32_t>(static_cast<uint8_t>(bytes[i + 2])) | static_cast<uint32_t>(static_cast<uint8_t>(bytes[i + 3])) << 8;
            if (low >= 0xDC00 && low < 0xE000) {
                c = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
                i += 2;
            } else {
                c = 0xFFFD;
            }
        } else if (c >= 0xD800 && c < 0xE000) {
            c = 0xFFFD;
        }
        if (c < 0x80)
            out += static_cast<char>(c);
        else if (c < 0x800)
            out += {static_cast<char>(0xC0 | (c >> 6)), static_cast<char>(0x80 | (c & 0x3F))};
        else if (c < 0x10000)
            out += {static_cast<char>(0xE0 | (c >> 12)), static_cast<char>(0x80 | ((c >> 6) & 0x3F)), static_cast<char>(0x80 | (c & 0x3F))};
        else
            out += {static_cast<char>(0xF0 | (c >> 18)), static_cast<char>(0x80 | ((c >> 12) & 0x3F)),
                    static_cast<char>(0x80 | ((c >> 6) & 0x3F)), static_cast<char>(0x80 | (c & 0x3F))};
    }
    return out;
}

struct Record {
    size_t line; // where it starts, 1-based
    std::vector<std::string> fields;
};

// Splits delimited text into records: quoted fields may hold separators,
// line breaks and doubled quotes; CR LF and LF both end a record.
std::vector<Record> Records(const std::string& text, char separator)
{
    std::vector<Record> records;
    Record current{1, {std::string()}};
    size_t line = 1;
    bool quoted = false, any = false;
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (quoted) {
            if (c == '"' && i + 1 < text.size() && text[i + 1] == '"') {
                current.fields.back() += '"';
                ++i;
            } else if (c == '"') {
                quoted = false;
            } else {
                if (c == '\n') ++line;
                current.fields.back() += c;
            }
            continue;
        }
        if (c == '"' && current.fields.back().empty()) {
            quoted = any = true;
        } else if (c == separator) {
            current.fields.emplace_back();
            any = true;
        } else if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
            continue;
        } else if (c == '\n') {
            // A line of nothing at all is no record (every character sets `any`).
            if (any) records.push_back(current);
            current = Record{++line, {std::string()}};
            any = false;
        } else {
            current.fields.back() += c;
            any = true;
        }
    }
    if (any) records.push_back(current);
    return records;
}

// Whether the text is well-formed UTF-8.
bool IsUtf8(const std::string& text)
{
    for (size_t i = 0; i < text.size();) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        const size_t n = c < 0x80 ? 1 : (c >> 5) == 0x6 ? 2 : (c >> 4) == 0xE ? 3 : (c >> 3) == 0x1E ? 4 : 0;
        if (n == 0 || i + n > text.size()) return false;
        for (size_t k = 1; k < n; ++k)
            if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80) return false;
        i += n;
    }
    return true;
}

std::string Trim(std::string s)
{
    const auto notSpace = [](unsigned char c) { return !std::isspace(c); };
    s.erase(s.begin(), std::find_if(s.begin(), s.end(), notSpace));
    s.erase(std::find_if(s.rbegin(), s.rend(), notSpace).base(), s.end());
    return s;
}

std::string Lower(std::string s)
{
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

// Column titles the tool writes, in English and Japanese.
const std::map<std::string, std::vector<std::string>> kTitles = {
    {"class", {"class", "クラス"}},
    {"name", {"label name", "ラベル名", "name"}},
    {"type", {"data type", "データ型", "type"}},
    {"device", {"assign (device/label)", "割付(デバイス/ラベル)", "割付(デバイス／ラベル)", "device"}},
    {"comment", {"comment", "コメント"}},
};

std::map<std::string, size_t> FindColumns(const std::vector<std::string>& titles)
{
    std::map<std::string, size_t> columns;
    for (size_t i = 0; i < titles.size(); ++i) {
        const std::string title = Lower(Trim(titles[i]));
        for (const auto& [column, names] : kTitles)
            if (!columns.count(column) && std::find(names.begin(), names.end(), title) != names.end()) columns[column] = i;
    }
    return columns;
}

struct TypeParse {
    std::optional<Scalar> scalar;
    uint32_t length = 0;
    std::vector<uint32_t> dims;
    std::string skipReason;
    // A type the tool has but the driver cannot map (skipped), or a
    // structure's name, rather than a misspelt one (a mistake).
    bool known = true;
};

// Types of the engineering tool that no tag of this driver can hold.
const std::set<std::string> kUnmappedTypes = {
    "float [double precision]", "time",         "timer",  "counter", "long timer", "retentive timer",
    "long retentive timer",     "long counter", "pointer"};

// The words every built-in type name starts with: a name that starts so but
// is none of them is misspelt; any other name is a structure's.
bool LooksBuiltIn(const std::string& lower)
{
    for (const char* word : {"bit", "word", "double word", "float", "string"})
        if (lower.rfind(word, 0) == 0) return true;
    return false;
}

// "Word [Signed]", "String(32)", "String [Unicode](16)(0..9)", "Bit(0..2,0..3)".
TypeParse ParseType(std::string type)
{
    TypeParse p;
    type = Trim(type);
    // An array suffix holds "..".
    const size_t open = type.rfind('(');
    if (open != std::string::npos && type.back() == ')' && type.find("..", open) != std::string::npos) {
        const std::string ranges = type.substr(open + 1, type.size() - open - 2);
        type = Trim(type.substr(0, open));
        size_t start = 0;
        while (start <= ranges.size()) {
            const size_t comma = ranges.find(',', start);
            const std::string range = Trim(ranges.substr(start, comma == std::string::npos ? std::string::npos : comma - start));
            const size_t dots = range.find("..");
            const long low = std::strtol(range.substr(0, dots).c_str(), nullptr, 10);
            const long high = dots == std::string::npos ? -1 : std::strtol(range.substr(dots + 2).c_str(), nullptr, 10);
            if (dots == std::string::npos || low != 0 || high < 0 || high > 65534) {
                p.skipReason = "array range (" + ranges + ") does not start at 0";
                return p;
            }
            p.dims.push_back(static_cast<uint32_t>(high + 1));
            if (comma == std::string::npos) break;
            start = comma + 1;
        }
    }
    static const std::map<std::string, Scalar> kScalarTypes = {
        {"bit", Scalar::Bool},
        {"word [signed]", Scalar::Int16},
        {"word [unsigned]/bit string [16-bit]", Scalar::UInt16},
        {"double word [signed]", Scalar::Int32},
        {"double word [unsigned]/bit string [32-bit]", Scalar::UInt32},
        {"float [single precision]", Scalar::Float},
    };
    const std::string lower = Lower(type);
    if (auto it = kScalarTypes.find(lower); it != kScalarTypes.end()) {
        p.scalar = it->second;
        return p;
    }
    for (const auto& [prefix, scalar] :
         {std::pair<const char*, Scalar>{"string [unicode](", Scalar::WString}, {"string(", Scalar::String}}) {
        const std::string pre = prefix;
        if (lower.rfind(pre, 0) == 0 && lower.back() == ')') {
            const long n = std::strtol(lower.substr(pre.size()).c_str(), nullptr, 10);
            if (n <= 0) {
                p.skipReason = "string without a length";
                return p;
            }
            p.scalar = scalar;
            p.length = static_cast<uint32_t>(n);
            return p;
        }
    }
    const bool unmapped = kUnmappedTypes.count(lower) != 0;
    p.known = unmapped || !LooksBuiltIn(lower);
    p.skipReason = "data type \"" + type + "\" " +
                   (unmapped  ? "is not supported"
                    : p.known ? "is a structure, not supported"
                              : "is unknown") +
                   " (supported: Bit, Word [Signed], Word [Unsigned]/Bit String [16-bit], Double Word [Signed], "
                   "Double Word [Unsigned]/Bit String [32-bit], FLOAT [Single Precision], String(n), String [Unicode](n))";
    return p;
}

void AddChannels(const Declaration& d, Project& project)
{
    const auto scalar = ScalarByName(d.type);
    const std::string host = scalar ? DefaultHostType(*scalar) : "integer";
    if (d.dims.empty()) {
        project.channels.push_back({d.name, host, ""});
        return;
    }
    std::vector<uint32_t> index(d.dims.size(), 0);
    uint64_t count = 1;
    for (uint32_t n : d.dims) count *= n;
    for (uint64_t i = 0; i < count; ++i) {
        std::string path = d.name + "[";
        for (size_t k = 0; k < index.size(); ++k) path += (k ? "," : "") + std::to_string(index[k]);
        project.channels.push_back({path + "]", host, ""});
        for (size_t k = index.size(); k-- > 0;) {
            if (++index[k] < d.dims[k]) break;
            index[k] = 0;
        }
    }
}

// UTF-16LE saved without its byte-order mark: in the first characters many
// high bytes are 0 (ASCII, tabs, line ends) and no low byte is.
bool LooksLikeUtf16(const std::string& bytes)
{
    const size_t pairs = std::min<size_t>(bytes.size(), 1024) / 2;
    size_t zeroHigh = 0;
    for (size_t i = 0; i < pairs; ++i) {
        if (bytes[2 * i] == '\0') return false;
        zeroHigh += bytes[2 * i + 1] == '\0';
    }
    return pairs > 0 && zeroHigh * 4 >= pairs;
}

} // namespace

bool ImportLabels(const std::string& fileName, const std::string& bytes, const std::string& encoding, bool channels, Import& out,
                  Diagnostics& diagnostics)
{
    const size_t before = diagnostics.size();
    std::string text;
    const bool utf16Bom = bytes.size() >= 2 && static_cast<uint8_t>(bytes[0]) == 0xFF && static_cast<uint8_t>(bytes[1]) == 0xFE;
    const bool utf16 = utf16Bom || LooksLikeUtf16(bytes);
    if (encoding == "utf-16le" || (encoding == "auto" && utf16)) {
        if (bytes.size() % 2 != 0) {
            diagnostics.push_back(
                {fileName, "UTF-16LE text of an odd number of bytes (" + std::to_string(bytes.size()) + "): the file is cut short"});
            return false;
        }
        text = FromUtf16(bytes, utf16Bom ? 2 : 0);
    } else if (encoding == "utf-8" || encoding == "auto") {
        text = bytes.compare(0, 3, "\xEF\xBB\xBF") == 0 ? bytes.substr(3) : bytes;
    } else {
        diagnostics.push_back({fileName, "unknown encoding \"" + encoding + "\"; expected auto, utf-16le or utf-8"});
        return false;
    }
    if (!IsUtf8(text)) {
        diagnostics.push_back({fileName, "not UTF-8 text: a label list is UTF-16LE or UTF-8"});
        return false;
    }
    const size_t firstLine = text.find('\n');
    const bool exported = text.substr(0, firstLine).find('\t') == std::string::npos && text.find('\t') != std::string::npos;
    std::vector<Record> records = Records(text, exported ? '\t' : ',');
    // The export opens with the project name alone; the titles follow.
    if (exported && !records.empty()) records.erase(records.begin());
    if (records.empty()) {
        diagnostics.push_back({fileName, "no column titles"});
        return false;
    }
    const std::map<std::string, size_t> columns = FindColumns(records.front().fields);
    for (const char* needed : {"name", "type", "device"}) {
        if (!columns.count(needed)) {
            diagnostics.push_back({fileName + ":" + std::to_string(records.front().line),
                                   std::string("no column titled ") + (std::string(needed) == "name"   ? "\"Label Name\""
                                                                       : std::string(needed) == "type" ? "\"Data Type\""
                                                                                                       : "\"Assign (Device/Label)\"")});
        }
    }
    if (diagnostics.size() != before) return false;
    auto field = [&](const Record& r, const char* column) {
        auto it = columns.find(column);
        return it != columns.end() && it->second < r.fields.size() ? Trim(r.fields[it->second]) : std::string();
    };
    std::set<std::string> names;
    bool anyString = false, anyWString = false;
    std::vector<std::pair<Declaration, size_t>> strings;
    for (size_t i = 1; i < records.size(); ++i) {
        const Record& r = records[i];
        const std::string where = fileName + ":" + std::to_string(r.line);
        const std::string name = field(r, "name");
        if (name.empty()) continue;
        const std::string cls = field(r, "class");
        if (!cls.empty() && cls != "VAR_GLOBAL") {
            out.skipped.push_back(where + ": " + name + ": class " + cls + " (only VAR_GLOBAL labels become tags)");
            continue;
        }
        const std::string device = field(r, "device");
        if (device.empty()) {
            out.skipped.push_back(where + ": " + name + ": no device assigned");
            continue;
        }
        const TypeParse type = ParseType(field(r, "type"));
        if (!type.scalar) {
            if (type.known)
                out.skipped.push_back(where + ": " + name + ": " + type.skipReason);
            else
                diagnostics.push_back({where, name + ": " + type.skipReason});
            continue;
        }
        const std::optional<sim::DeviceAddress> address = sim::ParseDeviceAddress(device);
        if (!address) {
            diagnostics.push_back(
                {where, name + ": found device \"" + device + "\", expected a device address such as D100, D100.5, M20, X17 or W1F"});
            continue;
        }
        const sim::DeviceArea& area = sim::DeviceAreas()[address->area];
        if (address->number >= area.points) {
            diagnostics.push_back({where, name + ": found device " + device + ", expected " +
                                              sim::FormatDeviceAddress({address->area, 0, std::nullopt}) + " … " +
                                              sim::FormatDeviceAddress({address->area, area.points - 1, std::nullopt})});
            continue;
        }
        if (name.find_first_of(".[], ") != std::string::npos) {
            diagnostics.push_back({where, "found label name \"" + name + "\", expected a name without '.', '[', ']', ',' or spaces"});
            continue;
        }
        if (!names.insert(name).second) {
            diagnostics.push_back({where, "label \"" + name + "\" is defined twice"});
            continue;
        }
        Declaration d;
        d.name = name;
        d.type = ScalarName(*type.scalar);
        d.device = device;
        d.dims = type.dims;
        d.length = type.length;
        d.comment = field(r, "comment");
        anyString = anyString || *type.scalar == Scalar::String;
        anyWString = anyWString || *type.scalar == Scalar::WString;
        out.project.tags.push_back(d);
    }
    // The device reads every string in one encoding: the kind that is more
    // common stays, the other is listed as skipped.
    if (anyString && anyWString) {
        size_t narrow = 0, wide = 0;
        for (const Declaration& d : out.project.tags) {
            if (d.type == "string")
                ++narrow;
            else if (d.type == "wstring")
                ++wide;
        }
        const std::string drop = wide > narrow ? "string" : "wstring";
        for (auto it = out.project.tags.begin(); it != out.project.tags.end();) {
            if (it->type != drop) {
                ++it;
                continue;
            }
            out.skipped.push_back(fileName + ": " + it->name + ": a " + drop +
                                  " label; the device reads all strings in one encoding and the other kind is more common");
            it = out.project.tags.erase(it);
        }
        anyWString = drop == "string";
    }
    // Strings read as the controller stores them: first character in the low byte.
    out.project.device.stringEncoding = anyWString ? "unicode" : "ascii";
    out.project.device.stringByteOrder = "12";
    if (channels)
        for (const Declaration& d : out.project.tags) AddChannels(d, out.project);
    return diagnostics.size() == before;
}

} // namespace fx5cfg
