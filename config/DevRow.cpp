// Channel rows: nine named properties each, their order in the table, and
// their archive form.
#include "DevRow.h"

#include <cstring>

unsigned CDevRow::m_dwPropertyNum = DEVROW_PROPERTY_COUNT;
CStringArray CDevRow::m_strArPropertyName;
CArray<unsigned int, unsigned int> CDevRow::m_dwArPropertyType;
CArray<unsigned int, unsigned int> CDevRow::m_dwArPropertyTaxis;

namespace {
// Fills the description when the library loads, so rows built before the
// first device (tools, tests) already see the nine properties.
struct DescriptionAtLoad {
    DescriptionAtLoad() { CDevRow::InitPropertyDescription(); }
} g_descriptionAtLoad;
} // namespace

void CDevRow::InitPropertyDescription()
{
    m_dwPropertyNum = DEVROW_PROPERTY_COUNT;
    m_strArPropertyName.SetSize(DEVROW_PROPERTY_COUNT);
    m_dwArPropertyType.SetSize(static_cast<int>(m_dwPropertyNum));
    m_dwArPropertyTaxis.SetSize(static_cast<int>(m_dwPropertyNum));
    for (int i = 0; i < DEVROW_PROPERTY_COUNT && i < static_cast<int>(m_dwPropertyNum); ++i) {
        m_strArPropertyName[i] = DEVROW_STR_PROPERTYNAME[i];
        m_dwArPropertyType[i] = DEVROW_DWORD_PROPERTYTYPE[i];
        m_dwArPropertyTaxis[i] = DEVROW_DWORD_PROPERTYTAXIS[i];
    }
}

CDevRow::CDevRow() : m_dwValue{} {}

// The index of a property name; for a name that is none, an index past the
// nine values, which the value accessors refuse to touch.
int CDevRow::GetIndexFromName(const char* name)
{
    if (!name) return static_cast<int>(m_dwPropertyNum) + 10;
    // The engine passes the table's own pointers: recognise them first.
    for (int i = 0; i < DEVROW_PROPERTY_COUNT; ++i) {
        if (name == DEVROW_STR_PROPERTYNAME[i]) return i;
    }
    for (int i = 0; i < m_strArPropertyName.GetSize(); ++i) {
        if (std::strcmp(m_strArPropertyName[i].c_str(), name) == 0) return i;
    }
    return static_cast<int>(m_dwPropertyNum) + 10;
}

int CDevRow::GetIndexFromName(const CString& name) { return GetIndexFromName(name.c_str()); }

void CDevRow::SetdwValue(int index, unsigned value)
{
    if (index >= 0 && index < DEVROW_PROPERTY_COUNT) m_dwValue[index] = value;
}

CString& CDevRow::StringAt(int index) { return m_strValue[(index >= 0 && index < DEVROW_PROPERTY_COUNT) ? index : ROW_NAME]; }

const CString& CDevRow::StringAt(int index) const { return m_strValue[(index >= 0 && index < DEVROW_PROPERTY_COUNT) ? index : ROW_NAME]; }

bool CDevRow::operator<(const CDevRow& other) const
{
    for (int i = 0; i < DEVROW_PROPERTY_COUNT; ++i) {
        if (DEVROW_DWORD_PROPERTYTAXIS[i] == 0) continue;
        if (DEVROW_DWORD_PROPERTYTYPE[i] == 2) {
            const int order = std::strcmp(m_strValue[i].c_str(), other.m_strValue[i].c_str());
            if (order != 0) return order < 0;
        } else if (m_dwValue[i] != other.m_dwValue[i]) {
            return m_dwValue[i] < other.m_dwValue[i];
        }
    }
    return false;
}

void CDevRow::Serialize(COwnerArchive& archive)
{
    if (!archive.IsStoring()) {
        DeserializeFormOld(archive);
        return;
    }
    Store(archive);
}

void CDevRow::Store(COwnerArchive& archive) const
{
    for (int i = 0; i < DEVROW_PROPERTY_COUNT; ++i) {
        if (DEVROW_DWORD_PROPERTYTYPE[i] == 2) {
            archive << static_cast<unsigned>(m_strValue[i].GetLength());
            archive.SvrWrite(reinterpret_cast<const unsigned char*>(m_strValue[i].c_str()), m_strValue[i].GetLength());
        } else {
            archive << m_dwValue[i];
        }
    }
}

bool CDevRow::DeserializeFormOld(COwnerArchive& archive)
{
    if (archive.GetNowVersion() > 20001) return true;
    // Fields past the end of the archive keep their values; a name whose
    // length runs past the end is not read.
    for (int i = 0; i < DEVROW_PROPERTY_COUNT; ++i) {
        if (DEVROW_DWORD_PROPERTYTYPE[i] == 2) {
            unsigned length = 0;
            archive >> length;
            if (length == 0 || length > static_cast<unsigned>(archive.Remaining())) continue;
            CString text;
            archive.SvrRead(reinterpret_cast<unsigned char*>(text.GetBufferSetLength(static_cast<int>(length))), static_cast<int>(length));
            m_strValue[i] = text;
        } else {
            archive >> m_dwValue[i];
        }
    }
    return true;
}
