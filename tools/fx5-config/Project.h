// A project as people write it: the device's settings by readable names,
// the controller's tags with their device addresses as the engineering tool
// shows them, structure types, and the host channels bound to tag paths.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace fx5cfg {

struct DeviceSettings {
    uint32_t waitTimeMs = 200;
    std::string blockCollection = "maxLength"; // or "contiguous"
    std::string stringEncoding = "ascii";      // or "unicode"
    std::string stringByteOrder = "12";        // "12": first character in the low byte; "21": swapped
};

// A tag, or a member of a structure type.
struct Declaration {
    std::string name;
    std::string type;           // a scalar type name or a structure type's name
    std::string device;         // tags: "D100", "M20", "D100.5"
    std::string offset;         // members: words from the structure's start, "3" or "3.5"
    std::vector<uint32_t> dims; // array dimensions, empty for a scalar
    uint32_t length = 0;        // strings: bytes (string) or characters (wstring)
    std::string comment;
    std::string where; // JSON path, for messages
};

struct StructType {
    std::string name;
    std::vector<Declaration> members;
    std::optional<uint32_t> sizeWords; // stride in arrays; computed when absent
    std::string where;
};

struct Channel {
    std::string tag;      // "Line1.speed", "recipe[3]", "Tank.level[2].hi"
    std::string hostType; // "integer", "double", "text"
    std::string where;
};

struct Project {
    DeviceSettings device;
    std::vector<StructType> structs;
    std::vector<Declaration> tags;
    std::vector<Channel> channels;
};

// A mistake in an input, with where it is, what was found and what was expected.
struct Diagnostic {
    std::string where; // "/tags/12/device" or "labels.csv:57"
    std::string message;
};
using Diagnostics = std::vector<Diagnostic>;

// Scalar types of tags and members, and the host value type each gets by default.
enum class Scalar { Bool, Int16, UInt16, Int32, UInt32, Float, String, WString };
std::optional<Scalar> ScalarByName(const std::string& name);
const char* ScalarName(Scalar scalar);
const char* DefaultHostType(Scalar scalar);
// The scalar type names, for messages.
std::string ScalarNames();

} // namespace fx5cfg
