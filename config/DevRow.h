// One channel row: nine named properties (register type, address, bit,
// data type, flags, name, logical address). Rows order by register type,
// address and bit; the property list is class-wide.
#pragma once

#include <cstdint>

#include "config/DevTables.h"
#include "config/OwnerArchive.h"
#include "host/afx.h"

namespace KVSG {
class KVSGVariable;
}

class COwnerObject {
public:
    virtual ~COwnerObject() = default;
    virtual void Serialize(COwnerArchive& archive) = 0;
};

// Property indices, in the order of DEVROW_STR_PROPERTYNAME.
enum DevRowProperty : int {
    ROW_RWFLAG = 0,
    ROW_TYPE = 1,
    ROW_ADDRESS = 2,
    ROW_BIT = 3,
    ROW_DATATYPE = 4,
    ROW_READFAST = 5,
    ROW_READMAX = 6,
    ROW_NAME = 7,
    ROW_LOGICADDRESS = 8,
};

class CDevRow : public COwnerObject {
public:
    static unsigned m_dwPropertyNum;
    static CStringArray m_strArPropertyName;
    static CArray<unsigned int, unsigned int> m_dwArPropertyType;
    static CArray<unsigned int, unsigned int> m_dwArPropertyTaxis;
    // Rewrites the class-wide description from the constant tables.
    static void InitPropertyDescription();

    CDevRow();

    // m_dwPropertyNum + 10 when the name is no property.
    static int GetIndexFromName(const CString& name);
    static int GetIndexFromName(const char* name);
    unsigned GetdwValue(const char* name) const { return GetdwValue(GetIndexFromName(name)); }
    void SetdwValue(const char* name, unsigned value) { SetdwValue(GetIndexFromName(name), value); }
    unsigned GetdwValue(int index) const { return (index >= 0 && index < DEVROW_PROPERTY_COUNT) ? m_dwValue[index] : 0u; }
    void SetdwValue(int index, unsigned value);
    CString& StringAt(int index);
    const CString& StringAt(int index) const;
    const CString& Name() const { return StringAt(ROW_NAME); }

    bool operator<(const CDevRow& other) const;

    void Serialize(COwnerArchive& archive) override;
    void Store(COwnerArchive& archive) const;
    // Both read the same layout; false when the archive ran out.
    bool DeserializeFormOld(COwnerArchive& archive);
    bool DeserializeFormnew(COwnerArchive& archive) { return DeserializeFormOld(archive); }

    uint32_t m_nHostOrder = 0;
    int32_t m_nCopyValue = -1;
    const KVSG::KVSGVariable* m_pTag = nullptr;

private:
    unsigned m_dwValue[DEVROW_PROPERTY_COUNT];
    CString m_strValue[DEVROW_PROPERTY_COUNT];
};
