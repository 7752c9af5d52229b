// Every result code of the device-control interface and of the protocol
// engine, each with its name and meaning, and the texts of a device's
// communication status. The two families overlap in value (-2 is "no
// communication channel" at the interface and "no response" in the
// engine), so each has its own text function.
#pragma once

#include <string>

// Results of the interface's eight operations (besides the communication
// status, which they return when nothing else applies).
constexpr int DEVCTRL_OK = 0;                                            // success
constexpr int DEVCTRL_BAD_ARGUMENT = static_cast<int>(0x80000001u);      // bad argument, configuration refused, or an exception
constexpr int DEVCTRL_ACCESSOR_DISABLED = static_cast<int>(0x80000002u); // the value-store accessor is disabled
constexpr int DEVCTRL_NO_VALUE_STORE = static_cast<int>(0x80000000u);    // no value store behind the host-variable hooks
constexpr int DEVCTRL_NO_ROW = -1;                                       // a host channel without a row
constexpr int DEVCTRL_NO_COMM = -2;                                      // no communication channel
constexpr int DEVCTRL_NO_ACCESSOR = -3;                                  // no accessor, or host flags that map to no row
constexpr int DEVCTRL_NO_PARENTHESES = -5;                               // a control string without "(" or ")"
constexpr int DEVCTRL_ADDRESS_PENDING = -10;                             // a channel address pending correction
constexpr int DEVCTRL_SETCHLTAG_ARGUMENTS = 5;                           // "SetChlTag" with other than five arguments

// Results of the protocol engine (block read, write, exchange, direct commands).
constexpr int ENGINE_NO_BLOCK = -1;         // no block of the rank, or a block no request can carry
constexpr int ENGINE_NO_RESPONSE = -2;      // nothing arrived within the wait time
constexpr int ENGINE_ROUTING_MISMATCH = -3; // the answer's routing bytes differ from the request's
constexpr int ENGINE_WRITE_FAILED = -4;     // a write failed, whatever the cause
constexpr int ENGINE_PARSE_FAILED = -5;     // a direct command that does not parse
constexpr int ENGINE_NOT_DELIVERED = -6;    // direct results not delivered, or nothing planned
constexpr int ENGINE_END_CODE = -100;       // -(100 + end code): the controller refused
constexpr int ENGINE_READ_FAILED = -100;    // a collection step whose read failed
constexpr int ENGINE_DIRECT_DONE = 1;       // a direct command completed
// A positive count from an exchange or a block read: an answer of that many
// bytes, which is success only when it is the size expected.

// Building a write request (mfFormWriteOrder): the request's expected
// answer size (11) when it holds a request, or one of these.
constexpr int WRITE_ORDER_NOTHING = 0;       // nothing to write (no points, a block no request can carry)
constexpr int WRITE_ORDER_IMAGE_UNREAD = -1; // the words around a bit could not be read

// One receive pass over the host's channel (SvrReadTcpip), besides a byte count.
constexpr int RECEIVE_FAILED = -1; // no channel, or the channel reported an error

// Results of the tag configuration load, channel making and rebinding.
constexpr int LOAD_OK = 0;
constexpr int LOAD_REFUSED = -1;        // no blob, no container, or no tag tree
constexpr int MAKECHANNEL_NO_TAG = -1;  // the path is not a leaf, or generation refused it
constexpr int SETCHLTAG_NO_DEVICE = -1; // no device data record
constexpr int SETCHLTAG_RANGE = 100000; // + start + count - rows: the range passes the rows
constexpr int SETCHLTAG_TYPE = 200000;  // + start: a new tag's stored type does not fit the first-bound one
constexpr int SETCHLTAG_PATH = 300001;  // + host channel: its path cannot be rewritten or names no tag

// Communication status of a device: entry 0 of its values, returned by
// collection, writes and control strings.
constexpr int STATUS_GOOD = 0;
constexpr int STATUS_NO_BLOCK = 1;
constexpr int STATUS_NO_RESPONSE = 2;
constexpr int STATUS_ROUTING_MISMATCH = 3;
constexpr int STATUS_END_CODE = 100; // 100 + the controller's end code
// A negative status is minus the byte count of an answer of the wrong length.

struct ResultCodeInfo {
    int code;
    const char* name;
    const char* meaning;
};

// The meaning of an interface result (null for a code outside the table).
const ResultCodeInfo* DevCtrlResult(int code);
// The meaning of a protocol-engine result (end codes named).
std::string EngineResultText(int code);
// What a communication status, or any result an operation returned, means.
std::string StatusText(int status);
