// Device properties: named, typed, range- or option-checked values, seen
// through one wrapper interface, and the property set with versions.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <utility>
#include <variant>
#include <vector>

namespace ADT {
using Value = std::variant<char, unsigned char, short, unsigned short, int, unsigned int, long long, unsigned long long, float, double,
                           std::string, std::wstring>;
}

namespace Device {

// One configured value: name, state, default and current value, and the
// check every new value must pass.
class IPropertyConfig {
public:
    enum PropertyState : int32_t { STATE_NONE = 0, STATE_NORMAL = 1 };
    virtual ~IPropertyConfig() = default;
    virtual std::string getPropertyName() const = 0;
    virtual int getPropertyType() const = 0;
    virtual PropertyState getPropertyState() const = 0;
    virtual void setPropertyState(PropertyState state) = 0;
    virtual bool setValue(const ADT::Value& value) = 0;
    virtual ADT::Value getValue() const = 0;
    virtual ADT::Value getDefaultValue() const = 0;
    virtual bool _CheckValue(const unsigned& value) const = 0;
};

// A value of type T; what passes is decided by the derived check.
template <class T>
class PropertyConfig : public IPropertyConfig {
public:
    PropertyConfig(std::string name, PropertyState state, T defaultValue)
        : m_name(std::move(name)), m_state(state), m_default(defaultValue), m_value(defaultValue)
    {
    }
    std::string getPropertyName() const override { return m_name; }
    int getPropertyType() const override { return 1; }
    PropertyState getPropertyState() const override { return m_state; }
    void setPropertyState(PropertyState state) override { m_state = state; }
    bool setValue(const ADT::Value& value) override
    {
        const T* candidate = std::get_if<T>(&value);
        if (!candidate || !_CheckValue(*candidate)) return false;
        m_value = *candidate;
        return true;
    }
    ADT::Value getValue() const override { return m_value; }
    ADT::Value getDefaultValue() const override { return m_default; }
    T Raw() const { return m_value; }
    // Guarded store: the candidate replaces the value only when it passes.
    void Store(T candidate)
    {
        if (_CheckValue(candidate)) m_value = candidate;
    }

private:
    std::string m_name;
    PropertyState m_state;
    T m_default;
    T m_value;
};

template <class T>
class GeneralPropertyConfig : public PropertyConfig<T> {
public:
    GeneralPropertyConfig(std::string name, IPropertyConfig::PropertyState state, T defaultValue, T minimum, T maximum)
        : PropertyConfig<T>(std::move(name), state, defaultValue), m_min(minimum), m_max(maximum)
    {
    }
    bool _CheckValue(const unsigned& value) const override { return m_min <= value && value <= m_max; }
    T Minimum() const { return m_min; }
    T Maximum() const { return m_max; }

private:
    T m_min, m_max;
};

class EnumPropertyConfig : public PropertyConfig<unsigned int> {
public:
    EnumPropertyConfig(std::string name, PropertyState state, unsigned defaultValue)
        : PropertyConfig<unsigned int>(std::move(name), state, defaultValue)
    {
    }
    int getPropertyType() const override { return 4; }
    bool _CheckValue(const unsigned&) const override { return true; }
    // Adds an option unless the same text is already there.
    void AddOption(const std::string& text);
    const std::vector<std::string>& Options() const { return m_options; }

private:
    std::vector<std::string> m_options;
};

} // namespace Device

namespace DEV_DLL_FRAME {
namespace DEV_DLL_CTRL {

class stProperty {
public:
    virtual ~stProperty() = default;
    virtual std::shared_ptr<stProperty> clone() const = 0;
    virtual std::string GetProName() const = 0;
    // 0 unsigned, 1 double, 2 text, 3 enumeration.
    virtual int GetProDataType() const = 0;
    virtual int GetProValueInt() const = 0;
    virtual void SetProValueInt(int value) = 0;
    virtual std::string GetProValueStr() const = 0;
    virtual void SetProValueStr(std::string value) = 0;
    virtual double GetProValueDouble() const = 0;
    virtual void SetProValueDouble(double value) = 0;
    virtual std::pair<double, double> GetRange() const = 0;
    virtual std::vector<std::string> GetEumList() const = 0;
};

} // namespace DEV_DLL_CTRL
} // namespace DEV_DLL_FRAME

template <class Config>
class PropertyWraper;

// An unsigned property with a range. Its text and double forms convert the
// number rather than move raw storage.
template <>
class PropertyWraper<unsigned int> : public DEV_DLL_FRAME::DEV_DLL_CTRL::stProperty {
public:
    using Config = Device::GeneralPropertyConfig<unsigned int>;
    explicit PropertyWraper(std::shared_ptr<Config> config) : m_config(std::move(config)) {}
    std::shared_ptr<stProperty> clone() const override { return std::make_shared<PropertyWraper>(std::make_shared<Config>(*m_config)); }
    std::string GetProName() const override { return m_config->getPropertyName(); }
    int GetProDataType() const override { return 0; }
    int GetProValueInt() const override { return static_cast<int>(m_config->Raw()); }
    void SetProValueInt(int value) override { m_config->Store(static_cast<unsigned>(value)); }
    std::string GetProValueStr() const override { return std::to_string(m_config->Raw()); }
    void SetProValueStr(std::string value) override;
    double GetProValueDouble() const override { return m_config->Raw(); }
    void SetProValueDouble(double value) override;
    std::pair<double, double> GetRange() const override { return {m_config->Minimum(), m_config->Maximum()}; }
    std::vector<std::string> GetEumList() const override { return {}; }

private:
    std::shared_ptr<Config> m_config;
};

template <>
class PropertyWraper<Device::EnumPropertyConfig> : public DEV_DLL_FRAME::DEV_DLL_CTRL::stProperty {
public:
    using Config = Device::EnumPropertyConfig;
    explicit PropertyWraper(std::shared_ptr<Config> config) : m_config(std::move(config)) {}
    std::shared_ptr<stProperty> clone() const override { return std::make_shared<PropertyWraper>(std::make_shared<Config>(*m_config)); }
    std::string GetProName() const override { return m_config->getPropertyName(); }
    int GetProDataType() const override { return 3; }
    int GetProValueInt() const override { return static_cast<int>(m_config->Raw()); }
    void SetProValueInt(int value) override { m_config->Store(static_cast<unsigned>(value)); }
    std::string GetProValueStr() const override;
    void SetProValueStr(std::string value) override;
    double GetProValueDouble() const override { return m_config->Raw(); }
    void SetProValueDouble(double value) override;
    std::pair<double, double> GetRange() const override { return {0.0, 0.0}; }
    std::vector<std::string> GetEumList() const override { return m_config->Options(); }

private:
    std::shared_ptr<Config> m_config;
};

class DevicePropertyConfigWraper {
public:
    using Property = std::shared_ptr<DEV_DLL_FRAME::DEV_DLL_CTRL::stProperty>;
    // 1 when the name is taken (nothing changes), 0 when inserted.
    int insert(unsigned version, const Property& property);
    Property getPropertyFromName(const char* name) const;
    unsigned getPropertyVersionFromName(const char* name) const;
    const std::unordered_map<std::string, Property>& properties() const { return m_properties; }
    size_t size() const { return m_properties.size(); }

private:
    std::unordered_map<std::string, Property> m_properties;
    std::unordered_map<std::string, unsigned> m_versions;
};

constexpr unsigned PROPERTY_VERSION = 20000;
