// The host's value store as fx5-run keeps it: typed channels (integer,
// double, text, as the project gives them) with the last value, its age and
// how often it came, and host variables by name shared by every device.
#pragma once

#include <chrono>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <variant>
#include <vector>

#include "host/IDevRtdbCtrl.h"

namespace fx5run {

using Clock = std::chrono::steady_clock;
using Value = std::variant<int, double, std::string>;
std::string ValueText(const Value& value);
const char* TypeName(DATATYPE type);

// Host variables by name, for control strings; thread-safe.
class Variables {
public:
    bool Type(const std::string& name, DATATYPE& type) const;
    bool Get(const std::string& name, Value& value) const;
    bool Set(const std::string& name, const Value& value); // false for an unknown name
    void Declare(const std::string& name, const Value& value);
    std::map<std::string, Value> Snapshot() const;

private:
    mutable std::mutex m_lock;
    std::map<std::string, Value> m_values;
};

struct ChannelState {
    std::string tag;
    DATATYPE type = DATATYPE_INT;
    bool has = false;
    Value value;
    Clock::time_point updated{};
    uint64_t reads = 0;
};

class ValueStore : public IDevRtdbCtrl {
public:
    // Told of every value delivered: channel index and its state after it.
    using OnValue = std::function<void(int channel, const ChannelState& state)>;
    ValueStore(std::vector<ChannelState> channels, Variables& variables, OnValue onValue);

    int GetValueTypeByName(const char* name, DATATYPE& type) override;
    int GetValueByName(const char* name, int& value) override;
    int GetValueByName(const char* name, double& value) override;
    int GetValueByName(const char* name, std::string& value) override;
    int SetValueByName(const char* name, int value) override;
    int SetValueByName(const char* name, double value) override;
    int SetValueByName(const char* name, std::string& value) override;
    int GetValueTypeByChannel(int channel, DATATYPE& type) override;
    int GetValueByChannel(int channel, int& value) override;
    int GetValueByChannel(int channel, double& value) override;
    int GetValueByChannel(int channel, std::string& value) override;
    int SetValueByChannel(int channel, int value) override { return Deliver(channel, value); }
    int SetValueByChannel(int channel, double value) override { return Deliver(channel, value); }
    int SetValueByChannel(int channel, std::string& value) override { return Deliver(channel, value); }
    int GetValueIDByChannel(int channel, int& id) override;

    std::vector<ChannelState> Snapshot() const;
    // A collection call's deliveries carry its start time (one clock reading
    // a call, not one a value) and are held back until it ends; then they
    // are recorded under one lock and the listener is told of each, in
    // delivery order. Outside a call a value is recorded at once, with its
    // own moment. Both on the device's own thread, which alone delivers.
    void CollectionStarted(Clock::time_point time);
    void CollectionEnded();
    size_t Count() const { return m_channels.size(); }
    // Channels delivered since the last StartRefresh, each counted once; on
    // the device's thread, as deliveries are.
    void StartRefresh()
    {
        ++m_generation;
        m_refreshed = 0;
    }
    size_t Refreshed() const { return m_refreshed; }

private:
    int Deliver(int channel, Value value);
    template <class T>
    int ReadVariable(const char* name, T& out);

    // Channel types are fixed when the store is made: read without the lock.
    const std::vector<DATATYPE> m_types;
    mutable std::mutex m_lock;
    std::vector<ChannelState> m_channels;
    Variables& m_variables;
    OnValue m_onValue;
    // The device thread's own: the call in progress and what it delivered.
    std::optional<Clock::time_point> m_collecting;
    std::vector<std::pair<int, Value>> m_held;
    // The refresh each channel last delivered in, and how many did in this one.
    std::vector<uint64_t> m_deliveredIn;
    uint64_t m_generation = 1;
    size_t m_refreshed = 0;
};

} // namespace fx5run
