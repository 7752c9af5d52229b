// The host's communication channel as the driver sees it. Slot order is
// part of the host ABI: the five operations first, then the destructor.
#pragma once

class ICommunication {
public:
    // Sends *length bytes; the result is not checked by the driver.
    virtual int SendData(unsigned char* data, int* length, int timeoutMs) = 0;
    // Places at most *length bytes into data; returns the count placed,
    // 0 for nothing yet, negative on error.
    virtual int ReceiveData(unsigned char* data, int* length, int timeoutMs) = 0;
    // 0 when a request may be sent now.
    virtual int PrepareSend() = 0;
    virtual int SelectDevice(char* deviceName) = 0;
    // 1 or 2; anything else is refused by the driver.
    virtual int GetLinkKind() = 0;
    virtual ~ICommunication() = default;
};
