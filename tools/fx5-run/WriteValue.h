// A value given for a write, checked against what its tag can hold before
// anything is connected: a number outside the tag type's range, a fraction
// for an integer tag, a non-finite number or a text longer than the tag is
// refused with the reason, so that the controller never receives a value
// other than the one typed. A value that fits is taken whatever its spelling
// (3000000000 on uint32, 0x7FFF, 1e3 on an integer tag).
#pragma once

#include <optional>
#include <string>

#include "host/IDevRtdbCtrl.h"
#include "tools/fx5-config/Compiler.h"

namespace fx5run {

struct WriteValue {
    int integer = 0;   // for an integer channel
    double number = 0; // for a double channel
};

// `leaf` is the tag's place and type when the project gives it; without it
// only the channel's own type is checked. False with `why`.
bool ParseWriteValue(const std::string& text, DATATYPE channelType, const std::optional<fx5cfg::Leaf>& leaf, WriteValue& value,
                     std::string& why);

} // namespace fx5run
