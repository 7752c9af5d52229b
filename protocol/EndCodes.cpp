// The end-code table: each code the controller answers with, named and
// explained once.
#include "protocol/EndCodes.h"

namespace slmp {

const EndCodeInfo kEndCodes[] = {
    {endcode::kOk, "OK", "normal completion"},
    {endcode::kNotWhileRunning, "NOT_WHILE_RUNNING", "the operation is not possible while the CPU runs"},
    {0xC050, "ASCII_DATA", "ASCII data that cannot be converted to binary"},
    {endcode::kPointsOutOfRange, "POINTS_OUT_OF_RANGE", "the number of points of a batch request is out of range"},
    {0xC052, "WRITE_POINTS_OUT_OF_RANGE", "the number of write points is out of range"},
    {0xC053, "RANDOM_BIT_POINTS_OUT_OF_RANGE", "the number of random bit points is out of range"},
    {endcode::kRandomPointsOutOfRange, "RANDOM_POINTS_OUT_OF_RANGE", "the number of random points is out of range"},
    {endcode::kDeviceOutOfRange, "DEVICE_OUT_OF_RANGE", "a device outside its area's range"},
    {0xC058, "DATA_LENGTH", "the request data length does not match the data"},
    {endcode::kUnsupportedCommand, "UNSUPPORTED_COMMAND", "a command or subcommand the controller does not support"},
    {endcode::kDeviceNotFound, "DEVICE_NOT_ACCESSIBLE", "a device code the controller does not have or cannot reach"},
    {endcode::kWrongUnit, "WRONG_REQUEST", "a request the device cannot take (bit units on a word device, a double word in a batch)"},
    {endcode::kNotExecutable, "NOT_EXECUTABLE", "a request the target cannot execute (a route to another station)"},
    {endcode::kWrongContent, "WRONG_CONTENT", "the request's content is wrong"},
    {endcode::kLengthMismatch, "LENGTH_MISMATCH", "the request data length does not match the point count"},
    {endcode::kPasswordMismatch, "PASSWORD_MISMATCH", "the remote password is wrong"},
    {endcode::kPasswordLocked, "PASSWORD_LOCKED", "the remote password locks the controller: unlock first"},
};
const unsigned kEndCodeCount = sizeof kEndCodes / sizeof kEndCodes[0];

const EndCodeInfo* FindEndCode(uint16_t code)
{
    for (unsigned i = 0; i < kEndCodeCount; ++i)
        if (kEndCodes[i].code == code) return &kEndCodes[i];
    return nullptr;
}

} // namespace slmp
