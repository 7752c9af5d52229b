// What a device's communication status means, in words: the result codes
// of the device interface and the statuses of collection, end codes named.
#pragma once

#include <string>

namespace fx5 {

std::string StatusMeaning(int status);

} // namespace fx5
