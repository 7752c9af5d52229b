// A host value store for tests: typed channels and host variables, every
// write recorded.
#pragma once

#include <map>
#include <string>
#include <variant>
#include <vector>

#include "host/IDevRtdbCtrl.h"

namespace testing_support {

using StoreValue = std::variant<int, double, std::string>;

class RecordingStore : public IDevRtdbCtrl {
public:
    std::map<int, DATATYPE> channelTypes;
    std::map<int, StoreValue> channels;
    std::map<std::string, StoreValue> variables;
    int calls = 0;
    int channelWrites = 0;

    void DeclareChannels(int count, DATATYPE type)
    {
        for (int i = 0; i < count; ++i) channelTypes[i] = type;
    }
    double Number(int channel) const
    {
        auto it = channels.find(channel);
        if (it == channels.end()) return -12345.0;
        if (auto* i = std::get_if<int>(&it->second)) return *i;
        if (auto* d = std::get_if<double>(&it->second)) return *d;
        return -12345.0;
    }
    std::string Text(int channel) const
    {
        auto it = channels.find(channel);
        if (it == channels.end()) return "<none>";
        if (auto* s = std::get_if<std::string>(&it->second)) return *s;
        return "<not text>";
    }

    int GetValueTypeByName(const char* name, DATATYPE& type) override
    {
        ++calls;
        auto it = variables.find(name);
        if (it == variables.end()) return -1;
        type = static_cast<DATATYPE>(it->second.index() + 1);
        return 0;
    }
    int GetValueByName(const char* name, int& v) override { return Get(name, v); }
    int GetValueByName(const char* name, double& v) override { return Get(name, v); }
    int GetValueByName(const char* name, std::string& v) override { return Get(name, v); }
    int SetValueByName(const char* name, int v) override { return Set(name, v); }
    int SetValueByName(const char* name, double v) override { return Set(name, v); }
    int SetValueByName(const char* name, std::string& v) override { return Set(name, v); }
    int GetValueTypeByChannel(int channel, DATATYPE& type) override
    {
        ++calls;
        auto it = channelTypes.find(channel);
        if (it == channelTypes.end()) return -1;
        type = it->second;
        return 0;
    }
    int GetValueByChannel(int, int&) override { return ++calls, -1; }
    int GetValueByChannel(int, double&) override { return ++calls, -1; }
    int GetValueByChannel(int, std::string&) override { return ++calls, -1; }
    int SetValueByChannel(int channel, int v) override { return Put(channel, v); }
    int SetValueByChannel(int channel, double v) override { return Put(channel, v); }
    int SetValueByChannel(int channel, std::string& v) override { return Put(channel, v); }
    int GetValueIDByChannel(int channel, int& id) override { return ++calls, id = channel, 0; }

private:
    template <class T>
    int Get(const char* name, T& out)
    {
        ++calls;
        auto it = variables.find(name);
        if (it == variables.end()) return -1;
        if (auto* v = std::get_if<T>(&it->second)) {
            out = *v;
            return 0;
        }
        return -1;
    }
    template <class T>
    int Set(const char* name, const T& value)
    {
        ++calls;
        variables[name] = value;
        return 0;
    }
    template <class T>
    int Put(int channel, const T& value)
    {
        ++calls;
        ++channelWrites;
        channels[channel] = value;
        return 0;
    }
};

} // namespace testing_support
