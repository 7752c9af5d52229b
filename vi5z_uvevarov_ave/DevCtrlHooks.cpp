// Host-variable hooks: read and write host variables by name through the
// value-store accessor. Their signatures are the hook type's, name by value.
// NOLINTBEGIN(performance-unnecessary-value-param)
#include "vi5z_uvevarov_ave/DevCtrl.h"

// cppcheck-suppress passedByValue
int CDevCtrl::GetParamType_Fun(ZOLT_DATA& data, CString name, DATATYPE& type)
{
    if (name.IsEmpty()) return DEVCTRL_BAD_ARGUMENT;
    if (!data.m_pRtdb) return DEVCTRL_NO_VALUE_STORE;
    return data.m_pRtdb->GetValueTypeByName(name.c_str(), type);
}

// cppcheck-suppress passedByValue
int CDevCtrl::GetParamValue_Fun(ZOLT_DATA& data, CString name, DATATYPE type, void* value)
{
    if (!value || name.IsEmpty()) return DEVCTRL_BAD_ARGUMENT;
    if (!data.m_pRtdb) return DEVCTRL_NO_VALUE_STORE;
    switch (type) {
    case DATATYPE_INT: return data.m_pRtdb->GetValueByName(name.c_str(), *static_cast<int*>(value));
    case DATATYPE_DOUBLE: return data.m_pRtdb->GetValueByName(name.c_str(), *static_cast<double*>(value));
    case DATATYPE_STRING: {
        std::string text;
        const int result = data.m_pRtdb->GetValueByName(name.c_str(), text);
        *static_cast<CString*>(value) = CString(text);
        return result;
    }
    default: return DEVCTRL_BAD_ARGUMENT;
    }
}

// cppcheck-suppress passedByValue
int CDevCtrl::SetParamValue_Fun(ZOLT_DATA& data, CString name, DATATYPE type, void* value)
{
    if (!value || name.IsEmpty()) return DEVCTRL_BAD_ARGUMENT;
    if (!data.m_pRtdb) return DEVCTRL_NO_VALUE_STORE;
    switch (type) {
    case DATATYPE_INT: return data.m_pRtdb->SetValueByName(name.c_str(), *static_cast<int*>(value));
    case DATATYPE_DOUBLE: return data.m_pRtdb->SetValueByName(name.c_str(), *static_cast<double*>(value));
    case DATATYPE_STRING: {
        std::string text = static_cast<CString*>(value)->str();
        return data.m_pRtdb->SetValueByName(name.c_str(), text);
    }
    default: return DEVCTRL_BAD_ARGUMENT;
    }
}
// NOLINTEND(performance-unnecessary-value-param)
