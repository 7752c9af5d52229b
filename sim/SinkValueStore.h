#pragma once

#include <string>

#include "host/IDevRtdbCtrl.h"

namespace sim {

// A value store that takes every value and keeps nothing: every name is
// a double variable (a text one when it starts with "s"), every channel a
// double channel. For benchmarks and fuzzing.
class SinkValueStore : public IDevRtdbCtrl {
public:
    int GetValueTypeByName(const char* name, DATATYPE& type) override
    {
        return type = name[0] == 's' ? DATATYPE_STRING : DATATYPE_DOUBLE, 0;
    }
    int GetValueByName(const char*, int& v) override { return v = 3, 0; }
    int GetValueByName(const char*, double& v) override { return v = 2.5, 0; }
    int GetValueByName(const char*, std::string& v) override { return v = "1,2,3", 0; }
    int SetValueByName(const char*, int) override { return 0; }
    int SetValueByName(const char*, double) override { return 0; }
    int SetValueByName(const char*, std::string&) override { return 0; }
    int GetValueTypeByChannel(int, DATATYPE& t) override { return t = DATATYPE_DOUBLE, 0; }
    int GetValueByChannel(int, int&) override { return -1; }
    int GetValueByChannel(int, double&) override { return -1; }
    int GetValueByChannel(int, std::string&) override { return -1; }
    int SetValueByChannel(int, int) override { return 0; }
    int SetValueByChannel(int, double) override { return 0; }
    int SetValueByChannel(int, std::string&) override { return 0; }
    int GetValueIDByChannel(int, int&) override { return 0; }
};

} // namespace sim
