// Buffers a device's exchanges reuse, so that a collection cycle in the
// steady state allocates nothing: the request as bytes, the answer as bytes,
// and the read request and its answer as text. Owned by the device record
// and used only within one call of its own; every exchange overwrites or
// clears each buffer before it reads it.
#pragma once

#include <vector>

#include "host/afx.h"

struct ExchangeScratch {
    std::vector<unsigned char> requestBytes;
    std::vector<unsigned char> answerBytes;
    CString readRequest;
    CString readAnswer;
};
