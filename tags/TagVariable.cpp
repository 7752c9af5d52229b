#include "tags/TagVariable.h"

#include "config/DevTables.h"

namespace {

void WriteString(utils::imemorywrite& out, const std::string& text)
{
    utils::Serialize(out, static_cast<uint32_t>(text.size()));
    out.write(reinterpret_cast<const unsigned char*>(text.data()), static_cast<unsigned>(text.size()));
}

// A length larger than what is left is not data: the string stays empty.
void ReadString(utils::imemoryread& in, std::string& text)
{
    uint32_t length = 0;
    if (!utils::Deserialize(in, length) || length > in.remaining()) return;
    text.resize(length);
    if (length) in.read(reinterpret_cast<unsigned char*>(&text[0]), length);
}

} // namespace

namespace Tag {

int TagVariable::DEV_ZOLT_getDataType() const { return m_storedType < TAG_TYPE_MAP_COUNT ? TAG_TYPE_MAP[m_storedType] : -1; }

void TagVariable::WriteCommon(utils::imemorywrite& out, bool withTexts) const
{
    WriteString(out, m_varKey);
    WriteString(out, m_fullPath);
    if (withTexts) {
        WriteString(out, m_comment);
        WriteString(out, m_typeKey);
    }
    utils::Serialize(out, m_storedType);
    utils::Serialize(out, m_length);
    const unsigned char flag = m_isArray ? 1 : 0;
    out.write(&flag, 1);
    utils::Serialize(out, m_extraWord);
    utils::Serialize(out, m_registerType);
    utils::Serialize(out, m_address);
}

void TagVariable::ReadCommon(utils::imemoryread& in, bool withTexts)
{
    ReadString(in, m_varKey);
    ReadString(in, m_fullPath);
    if (withTexts) {
        ReadString(in, m_comment);
        ReadString(in, m_typeKey);
    }
    utils::Deserialize(in, m_storedType);
    utils::Deserialize(in, m_length);
    unsigned char flag = 0;
    if (in.read(&flag, 1)) m_isArray = flag != 0;
    utils::Deserialize(in, m_extraWord);
    utils::Deserialize(in, m_registerType);
    utils::Deserialize(in, m_address);
}

int TagVariable::serializeSet(utils::imemorywrite& out) const { return WriteCommon(out, true), 0; }
int TagVariable::deserializeSet(utils::imemoryread& in) { return ReadCommon(in, true), 0; }
int TagVariable::serializeRun(utils::imemorywrite& out) const { return WriteCommon(out, false), 0; }
int TagVariable::deserializeRun(utils::imemoryread& in) { return ReadCommon(in, false), 0; }

} // namespace Tag

namespace KVSG {

KVSGVariable MakeVariable(const std::string& key, const std::string& path, uint32_t storedType, uint32_t registerType, uint32_t address,
                          uint32_t bit, uint32_t length)
{
    KVSGVariable tag;
    tag.m_varKey = key;
    tag.m_fullPath = path;
    tag.m_storedType = storedType;
    tag.m_registerType = registerType;
    tag.m_address = address;
    tag.m_bit = bit;
    tag.m_length = length;
    return tag;
}

int KVSGVariable::serializeSet(utils::imemorywrite& out) const
{
    TagVariable::serializeSet(out);
    utils::Serialize(out, m_bit);
    return 0;
}
int KVSGVariable::deserializeSet(utils::imemoryread& in)
{
    TagVariable::deserializeSet(in);
    utils::Deserialize(in, m_bit);
    return 0;
}
int KVSGVariable::serializeRun(utils::imemorywrite& out) const
{
    TagVariable::serializeRun(out);
    utils::Serialize(out, m_bit);
    return 0;
}
int KVSGVariable::deserializeRun(utils::imemoryread& in)
{
    TagVariable::deserializeRun(in);
    utils::Deserialize(in, m_bit);
    return 0;
}

} // namespace KVSG
