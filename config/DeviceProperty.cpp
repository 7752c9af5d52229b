// The device's named properties: general (a checked number) and enumerated
// (one of fixed option texts), each with its own value check.
#include "config/DeviceProperty.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace Device {
void EnumPropertyConfig::AddOption(const std::string& text)
{
    if (std::find(m_options.begin(), m_options.end(), text) == m_options.end()) m_options.push_back(text);
}
} // namespace Device

namespace {
// A double becomes the nearest unsigned value; out-of-range values are
// offered as the largest one and so fail any smaller maximum.
// A number for an unsigned property: converted, not its storage reinterpreted.
unsigned ToUnsigned(double value)
{
    if (!(value >= 0.0)) return 0;
    if (value >= 4294967295.0) return 0xFFFFFFFFu;
    return static_cast<unsigned>(std::lround(value));
}
} // namespace

void PropertyWraper<unsigned int>::SetProValueStr(std::string value)
{
    char* end = nullptr;
    const unsigned long long parsed = std::strtoull(value.c_str(), &end, 10);
    if (end != value.c_str() && parsed <= 0xFFFFFFFFull) m_config->Store(static_cast<unsigned>(parsed));
}

void PropertyWraper<unsigned int>::SetProValueDouble(double value) { m_config->Store(ToUnsigned(value)); }

std::string PropertyWraper<Device::EnumPropertyConfig>::GetProValueStr() const
{
    const unsigned index = m_config->Raw();
    return index < m_config->Options().size() ? m_config->Options()[index] : std::string();
}

void PropertyWraper<Device::EnumPropertyConfig>::SetProValueStr(std::string value)
{
    const auto& options = m_config->Options();
    for (unsigned i = 0; i < options.size(); ++i)
        if (options[i] == value) m_config->Store(i);
}

void PropertyWraper<Device::EnumPropertyConfig>::SetProValueDouble(double value) { m_config->Store(ToUnsigned(value)); }

// 1 and nothing changed when the name is taken; 0 when inserted.
int DevicePropertyConfigWraper::insert(unsigned version, const Property& property)
{
    if (!property) return 1;
    const std::string name = property->GetProName();
    if (m_properties.count(name)) return 1;
    m_properties.emplace(name, property);
    m_versions.emplace(name, version);
    return 0;
}

DevicePropertyConfigWraper::Property DevicePropertyConfigWraper::getPropertyFromName(const char* name) const
{
    if (!name) return nullptr;
    auto it = m_properties.find(name);
    return it == m_properties.end() ? nullptr : it->second;
}

// 0xFFFFFFFF for a name that was never inserted.
unsigned DevicePropertyConfigWraper::getPropertyVersionFromName(const char* name) const
{
    if (!name) return 0xFFFFFFFFu;
    auto it = m_versions.find(name);
    return it == m_versions.end() ? 0xFFFFFFFFu : it->second;
}
