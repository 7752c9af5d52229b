// The host's real-time value store. Slot order is part of the host ABI.
#pragma once

#include <string>

enum DATATYPE : int {
    DATATYPE_NONE = 0,
    DATATYPE_INT = 1,
    DATATYPE_DOUBLE = 2,
    DATATYPE_STRING = 3,
};

class IDevRtdbCtrl {
public:
    virtual int GetValueTypeByName(const char* name, DATATYPE& type) = 0;
    virtual int GetValueByName(const char* name, int& value) = 0;
    virtual int GetValueByName(const char* name, double& value) = 0;
    virtual int GetValueByName(const char* name, std::string& value) = 0;
    virtual int SetValueByName(const char* name, int value) = 0;
    virtual int SetValueByName(const char* name, double value) = 0;
    virtual int SetValueByName(const char* name, std::string& value) = 0;
    virtual int GetValueTypeByChannel(int channel, DATATYPE& type) = 0;
    virtual int GetValueByChannel(int channel, int& value) = 0;
    virtual int GetValueByChannel(int channel, double& value) = 0;
    virtual int GetValueByChannel(int channel, std::string& value) = 0;
    virtual int SetValueByChannel(int channel, int value) = 0;
    virtual int SetValueByChannel(int channel, double value) = 0;
    virtual int SetValueByChannel(int channel, std::string& value) = 0;
    virtual int GetValueIDByChannel(int channel, int& id) = 0;
    virtual ~IDevRtdbCtrl() = default;
};
