#include "tools/fx5-run/ValueStore.h"

#include "tools/common/NumberText.h"

#include <cstdio>
#include <cstdlib>
#include <type_traits>

namespace fx5run {

std::string ValueText(const Value& value)
{
    if (const int* i = std::get_if<int>(&value)) return std::to_string(*i);
    if (const double* d = std::get_if<double>(&value)) return fx5::ShortestText(*d);
    return std::get<std::string>(value);
}

const char* TypeName(DATATYPE type)
{
    switch (type) {
    case DATATYPE_INT: return "integer";
    case DATATYPE_DOUBLE: return "double";
    case DATATYPE_STRING: return "text";
    default: return "none";
    }
}

namespace {
// A value as the type the host asks for; false for a text that is no number.
template <class T>
bool FromValue(const Value& value, T& out)
{
    if constexpr (std::is_same_v<T, std::string>) {
        out = ValueText(value);
        return true;
    } else {
        if (const std::string* s = std::get_if<std::string>(&value)) {
            double d = 0.0;
            if (!fx5::ParseWholeDouble(*s, d)) return false;
            out = static_cast<T>(d);
            return true;
        }
        out = std::holds_alternative<int>(value) ? static_cast<T>(std::get<int>(value)) : static_cast<T>(std::get<double>(value));
        return true;
    }
}

DATATYPE TypeOf(const Value& value)
{
    return std::holds_alternative<int>(value) ? DATATYPE_INT : std::holds_alternative<double>(value) ? DATATYPE_DOUBLE : DATATYPE_STRING;
}
} // namespace

bool Variables::Type(const std::string& name, DATATYPE& type) const
{
    std::lock_guard<std::mutex> hold(m_lock);
    auto it = m_values.find(name);
    if (it == m_values.end()) return false;
    type = TypeOf(it->second);
    return true;
}

bool Variables::Get(const std::string& name, Value& value) const
{
    std::lock_guard<std::mutex> hold(m_lock);
    auto it = m_values.find(name);
    if (it == m_values.end()) return false;
    value = it->second;
    return true;
}

bool Variables::Set(const std::string& name, const Value& value)
{
    std::lock_guard<std::mutex> hold(m_lock);
    auto it = m_values.find(name);
    if (it == m_values.end()) return false;
    // A variable keeps its type: the value is converted to it, and a text
    // that is no number leaves a numeric variable as it was.
    if (std::holds_alternative<std::string>(it->second)) {
        it->second = ValueText(value);
    } else if (std::holds_alternative<int>(it->second)) {
        int i = 0;
        if (const std::string* s = std::get_if<std::string>(&value)) {
            if (!fx5::ParseWholeInt(*s, i)) return false;
        } else {
            i = std::holds_alternative<int>(value) ? std::get<int>(value) : static_cast<int>(std::get<double>(value));
        }
        it->second = i;
    } else {
        double d = 0.0;
        if (!FromValue(value, d)) return false;
        it->second = d;
    }
    return true;
}

void Variables::Declare(const std::string& name, const Value& value)
{
    std::lock_guard<std::mutex> hold(m_lock);
    m_values[name] = value;
}

std::map<std::string, Value> Variables::Snapshot() const
{
    std::lock_guard<std::mutex> hold(m_lock);
    return m_values;
}

namespace {
std::vector<DATATYPE> TypesOf(const std::vector<ChannelState>& channels)
{
    std::vector<DATATYPE> types;
    types.reserve(channels.size());
    for (const ChannelState& channel : channels) types.push_back(channel.type);
    return types;
}
} // namespace

ValueStore::ValueStore(std::vector<ChannelState> channels, Variables& variables, OnValue onValue)
    : m_types(TypesOf(channels)), m_channels(std::move(channels)), m_variables(variables), m_onValue(std::move(onValue)),
      m_deliveredIn(m_channels.size(), 0)
{
}

int ValueStore::GetValueTypeByName(const char* name, DATATYPE& type) { return name && m_variables.Type(name, type) ? 0 : -1; }

template <class T>
int ValueStore::ReadVariable(const char* name, T& out)
{
    Value value;
    if (!name || !m_variables.Get(name, value)) return -1;
    return FromValue(value, out) ? 0 : -1;
}

int ValueStore::GetValueByName(const char* name, int& value) { return ReadVariable(name, value); }
int ValueStore::GetValueByName(const char* name, double& value) { return ReadVariable(name, value); }
int ValueStore::GetValueByName(const char* name, std::string& value) { return ReadVariable(name, value); }
int ValueStore::SetValueByName(const char* name, int value) { return name && m_variables.Set(name, value) ? 0 : -1; }
int ValueStore::SetValueByName(const char* name, double value) { return name && m_variables.Set(name, value) ? 0 : -1; }
int ValueStore::SetValueByName(const char* name, std::string& value) { return name && m_variables.Set(name, value) ? 0 : -1; }

int ValueStore::GetValueTypeByChannel(int channel, DATATYPE& type)
{
    if (channel < 0 || static_cast<size_t>(channel) >= m_types.size()) return -1;
    type = m_types[static_cast<size_t>(channel)];
    return 0;
}

template <class T>
static int ReadChannel(const std::vector<ChannelState>& channels, std::mutex& lock, int channel, T& out)
{
    std::lock_guard<std::mutex> hold(lock);
    if (channel < 0 || static_cast<size_t>(channel) >= channels.size() || !channels[static_cast<size_t>(channel)].has) return -1;
    return FromValue(channels[static_cast<size_t>(channel)].value, out) ? 0 : -1;
}

int ValueStore::GetValueByChannel(int channel, int& value) { return ReadChannel(m_channels, m_lock, channel, value); }
int ValueStore::GetValueByChannel(int channel, double& value) { return ReadChannel(m_channels, m_lock, channel, value); }
int ValueStore::GetValueByChannel(int channel, std::string& value) { return ReadChannel(m_channels, m_lock, channel, value); }

int ValueStore::GetValueIDByChannel(int channel, int& id)
{
    id = channel;
    return channel >= 0 && static_cast<size_t>(channel) < m_channels.size() ? 0 : -1;
}

int ValueStore::Deliver(int channel, Value value)
{
    if (channel < 0 || static_cast<size_t>(channel) >= m_channels.size()) return -1;
    if (m_collecting) {
        m_held.emplace_back(channel, std::move(value));
        return 0;
    }
    // Outside a collection call: a call of this one value, at this moment.
    CollectionStarted(Clock::now());
    m_held.emplace_back(channel, std::move(value));
    CollectionEnded();
    return 0;
}

void ValueStore::CollectionStarted(Clock::time_point time)
{
    m_collecting = time;
    m_held.clear();
}

void ValueStore::CollectionEnded()
{
    if (!m_collecting) return;
    const Clock::time_point started = *m_collecting;
    m_collecting.reset();
    if (m_held.empty()) return;
    // The listener is told outside the lock, from copies taken under it.
    std::vector<std::pair<int, ChannelState>> told;
    if (m_onValue) told.reserve(m_held.size());
    {
        std::lock_guard<std::mutex> hold(m_lock);
        for (auto& [channel, value] : m_held) {
            uint64_t& in = m_deliveredIn[static_cast<size_t>(channel)];
            if (in != m_generation) {
                in = m_generation;
                ++m_refreshed;
            }
            ChannelState& state = m_channels[static_cast<size_t>(channel)];
            state.value = std::move(value);
            state.has = true;
            state.updated = started;
            ++state.reads;
            if (m_onValue) told.emplace_back(channel, state);
        }
    }
    m_held.clear();
    for (const auto& [channel, state] : told) m_onValue(channel, state);
}

std::vector<ChannelState> ValueStore::Snapshot() const
{
    std::lock_guard<std::mutex> hold(m_lock);
    return m_channels;
}

} // namespace fx5run
