// Parameters of control strings: literals or names of host variables,
// resolved through the state record's hooks.
#include "convert/StringToNumber.h"
#include "vi5z_uvevarov_ave/DevData.h"
#include "vi5z_uvevarov_ave/DevServer.h"

namespace {
// Preset type of a query: stays when no host variable answers.
constexpr DATATYPE kUnknownType = static_cast<DATATYPE>(-2);

DATATYPE TypeOf(ZOLT_DATA& data, const CString& name)
{
    DATATYPE type = kUnknownType;
    if (data.m_pfnGetParamType) data.m_pfnGetParamType(data, name, type);
    return type;
}
} // namespace

int CDevServer::SvrGetParaValue(ZOLT_DATA& data, CString& text, double& out)
{
    out = 0.0;
    const DATATYPE type = data.m_pfnGetParamType ? TypeOf(data, text) : kUnknownType;
    if (type == DATATYPE_DOUBLE) {
        double value = 0.0;
        if (data.m_pfnGetParamValue) data.m_pfnGetParamValue(data, text, DATATYPE_DOUBLE, &value);
        out = value;
        return 1;
    }
    if (type == DATATYPE_STRING) return 0;
    if (type == DATATYPE_INT) {
        int value = 0;
        if (data.m_pfnGetParamValue) data.m_pfnGetParamValue(data, text, DATATYPE_INT, &value);
        out = value;
        return 1;
    }
    text.Trim();
    if (!text.IsEmpty()) cstringToNumeric(text, "%lf", &out);
    return 1;
}

int CDevServer::SvrGetParaValue(ZOLT_DATA& data, CString& text, CString& out)
{
    out.Empty();
    if (data.m_pfnGetParamType) {
        const DATATYPE type = TypeOf(data, text);
        if (type == DATATYPE_INT || type == DATATYPE_DOUBLE) return 0;
        if (type == DATATYPE_STRING) {
            if (data.m_pfnGetParamValue) data.m_pfnGetParamValue(data, text, DATATYPE_STRING, &out);
            return 1;
        }
    }
    out = text;
    return 1;
}

int CDevServer::SvrSetParaValue(ZOLT_DATA& data, CString& name, double& value)
{
    if (!data.m_pfnGetParamType) return 0;
    const DATATYPE type = TypeOf(data, name);
    if (type == DATATYPE_INT) {
        int rounded = Double2Int(value);
        if (data.m_pfnSetParamValue) data.m_pfnSetParamValue(data, name, DATATYPE_INT, &rounded);
        return 1;
    }
    if (type == DATATYPE_DOUBLE) {
        if (data.m_pfnSetParamValue) data.m_pfnSetParamValue(data, name, DATATYPE_DOUBLE, &value);
        return 1;
    }
    return 0;
}

int CDevServer::SvrSetParaValue(ZOLT_DATA& data, CString& name, CString& value)
{
    if (!data.m_pfnGetParamType) return 0;
    if (TypeOf(data, name) != DATATYPE_STRING) return 0;
    if (data.m_pfnSetParamValue) data.m_pfnSetParamValue(data, name, DATATYPE_STRING, &value);
    return 1;
}

int CDevServer::SvrGetCmdStr(CString& source, CString& separator, CString& left, CString& right)
{
    const int at = source.Find(separator.c_str());
    if (at < 0) return 0;
    left = source.Left(at);
    right = source.Mid(at + 1);
    left.Trim();
    right.Trim();
    return 1;
}
