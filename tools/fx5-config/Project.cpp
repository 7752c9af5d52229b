#include "tools/fx5-config/Project.h"

namespace fx5cfg {

namespace {
struct ScalarInfo {
    Scalar scalar;
    const char* name;
    const char* hostType;
};
constexpr ScalarInfo kScalars[] = {
    {Scalar::Bool, "bool", "integer"},   {Scalar::Int16, "int16", "integer"},  {Scalar::UInt16, "uint16", "integer"},
    {Scalar::Int32, "int32", "integer"}, {Scalar::UInt32, "uint32", "double"}, {Scalar::Float, "float", "double"},
    {Scalar::String, "string", "text"},  {Scalar::WString, "wstring", "text"},
};
} // namespace

std::optional<Scalar> ScalarByName(const std::string& name)
{
    for (const ScalarInfo& info : kScalars)
        if (name == info.name) return info.scalar;
    return std::nullopt;
}

const char* ScalarName(Scalar scalar)
{
    for (const ScalarInfo& info : kScalars)
        if (info.scalar == scalar) return info.name;
    return "?";
}

const char* DefaultHostType(Scalar scalar)
{
    for (const ScalarInfo& info : kScalars)
        if (info.scalar == scalar) return info.hostType;
    return "integer";
}

std::string ScalarNames()
{
    std::string names;
    for (const ScalarInfo& info : kScalars) names += (names.empty() ? "" : ", ") + std::string(info.name);
    return names;
}

} // namespace fx5cfg
