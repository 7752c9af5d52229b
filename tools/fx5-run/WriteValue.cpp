#include "tools/fx5-run/WriteValue.h"

#include <cfloat>
#include <climits>
#include <cmath>
#include <vector>

#include "tools/common/NumberText.h"
#include "vi5z_uvevarov_ave/DevServer.h"

namespace fx5run {

namespace {

struct Range {
    double min, max;
    bool whole;
};

Range RangeOf(fx5cfg::Scalar scalar)
{
    switch (scalar) {
    case fx5cfg::Scalar::Bool: return {0, 1, true};
    case fx5cfg::Scalar::Int16: return {-32768, 32767, true};
    case fx5cfg::Scalar::UInt16: return {0, 65535, true};
    case fx5cfg::Scalar::Int32: return {INT_MIN, INT_MAX, true};
    case fx5cfg::Scalar::UInt32: return {0, 4294967295.0, true};
    default: return {-FLT_MAX, FLT_MAX, false};
    }
}

// Bytes of `text` (UTF-8) in the encoding a string tag is written in, by
// the driver's own conversion; nothing when it cannot be encoded.
std::optional<size_t> EncodedBytes(const std::string& text, const char* encoding)
{
    std::string in = text;
    std::vector<char> out(4 * text.size() + 8);
    int room = static_cast<int>(out.size());
    if (CDevServer::ConvertCode("UTF-8", encoding, &in[0], static_cast<int>(in.size()), out.data(), room) != 0) return std::nullopt;
    return out.size() - static_cast<size_t>(room);
}

bool CheckText(const std::string& text, const fx5cfg::Leaf& leaf, std::string& why)
{
    const bool wide = leaf.scalar == fx5cfg::Scalar::WString;
    if (!wide && leaf.scalar != fx5cfg::Scalar::String) return true;
    const std::optional<size_t> bytes = EncodedBytes(text, wide ? "UTF-16LE" : "GB18030");
    if (!bytes) return why = "the text cannot be encoded for the controller, nothing written", false;
    const size_t units = wide ? *bytes / 2 : *bytes;
    if (units <= leaf.length) return true;
    why = "the text takes " + std::to_string(units) + (wide ? " characters" : " bytes") + ", longer than the " +
          std::to_string(leaf.length) + " of " + fx5cfg::ScalarName(leaf.scalar) + " tag; nothing written";
    return false;
}

} // namespace

bool ParseWriteValue(const std::string& text, DATATYPE channelType, const std::optional<fx5cfg::Leaf>& leaf, WriteValue& value,
                     std::string& why)
{
    if (channelType == DATATYPE_STRING) return !leaf || CheckText(text, *leaf, why);
    double v = 0;
    if (!fx5::ParseWholeDouble(text, v)) return why = "not a number, nothing written", false;
    if (!std::isfinite(v)) return why = "not a finite number, nothing written", false;
    const bool numeric = leaf && leaf->scalar != fx5cfg::Scalar::String && leaf->scalar != fx5cfg::Scalar::WString;
    const Range range = numeric ? RangeOf(leaf->scalar) : Range{-DBL_MAX, DBL_MAX, channelType == DATATYPE_INT};
    const std::string type = numeric ? fx5cfg::ScalarName(leaf->scalar) : "an integer channel";
    if ((range.whole || channelType == DATATYPE_INT) && v != std::trunc(v))
        return why = text + " is not a whole number, as " + (range.whole ? type : "an integer channel") + " needs; nothing written", false;
    if (v < range.min || v > range.max)
        return why = text + " is outside " + type + " (" + fx5::ShortestText(range.min) + " … " + fx5::ShortestText(range.max) +
                     "); nothing written",
               false;
    value.number = v;
    if (channelType != DATATYPE_INT) return true;
    // An integer channel carries 32 bits: a uint32 value above 2^31 goes as
    // its two's complement, which the controller stores as the same bits.
    if (v >= INT_MIN && v <= INT_MAX) {
        value.integer = static_cast<int>(v);
        return true;
    }
    if (numeric && leaf->scalar == fx5cfg::Scalar::UInt32) {
        value.integer = static_cast<int>(static_cast<uint32_t>(v));
        return true;
    }
    return why =
               text + " is outside an integer channel (" + std::to_string(INT_MIN) + " … " + std::to_string(INT_MAX) + "); nothing written",
           false;
}

} // namespace fx5run
