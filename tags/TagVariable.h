// One tag of the controller program: its name, path, data type and where
// it lives in device memory, with the Set and Run stream forms.
#pragma once

#include <cstdint>
#include <string>

#include "config/MemoryBuffer.h"

class ILabel {
public:
    virtual std::string DEV_ZOLT_getLabelName() const = 0;
    virtual std::string DEV_ZOLT_getLabelComment() const = 0;
    virtual int DEV_ZOLT_getDataType() const = 0;
    virtual std::string DEV_ZOLT_getLabelPath() const = 0;
    virtual std::string DEV_ZOLT_getLabelLinkName() const = 0;
    virtual bool DEV_ZOLT_isArray() const = 0;
    virtual std::string DEV_ZOLT_getChannelName() const = 0;
    virtual std::string DEV_ZOLT_getDataTypeName() const = 0;
    virtual ~ILabel() = default;
};

template <class Name, class Text>
class LabelNode : public ILabel {
};

namespace Tag {

class TagVariable : public LabelNode<std::string, std::string> {
public:
    std::string DEV_ZOLT_getLabelName() const override { return m_varKey; }
    std::string DEV_ZOLT_getLabelComment() const override { return m_comment; }
    int DEV_ZOLT_getDataType() const override;
    std::string DEV_ZOLT_getLabelPath() const override { return m_fullPath; }
    std::string DEV_ZOLT_getLabelLinkName() const override { return m_fullPath; }
    bool DEV_ZOLT_isArray() const override { return m_isArray; }
    std::string DEV_ZOLT_getChannelName() const override { return m_fullPath; }
    std::string DEV_ZOLT_getDataTypeName() const override { return m_typeKey; }

    virtual std::string getTypeKey() const { return m_typeKey; }
    virtual std::string getVarKey() const { return m_varKey; }
    virtual std::string getFullPath() const { return m_fullPath; }
    virtual int serializeSet(utils::imemorywrite& out) const;
    virtual int deserializeSet(utils::imemoryread& in);
    virtual int serializeRun(utils::imemorywrite& out) const;
    virtual int deserializeRun(utils::imemoryread& in);

    std::string m_varKey;
    std::string m_fullPath;
    std::string m_comment;
    std::string m_typeKey;
    uint32_t m_storedType = 21;
    uint32_t m_length = 0;
    bool m_isArray = false;
    uint32_t m_extraWord = 2;
    uint32_t m_registerType = 0xFFFFFFFFu;
    uint32_t m_address = 0xFFFFFFFFu;

private:
    void WriteCommon(utils::imemorywrite& out, bool withTexts) const;
    void ReadCommon(utils::imemoryread& in, bool withTexts);
};

} // namespace Tag

namespace KVSG {

class KVSGVariable : public Tag::TagVariable {
public:
    int serializeSet(utils::imemorywrite& out) const override;
    int deserializeSet(utils::imemoryread& in) override;
    int serializeRun(utils::imemorywrite& out) const override;
    int deserializeRun(utils::imemoryread& in) override;

    uint32_t m_bit = 0xFFFFFFFFu;
};

// A tag record of the fields a configuration tool sets.
KVSGVariable MakeVariable(const std::string& key, const std::string& path, uint32_t storedType, uint32_t registerType, uint32_t address,
                          uint32_t bit = 0xFFFFFFFFu, uint32_t length = 0);

} // namespace KVSG
