// A channel request: register type, start address, data-type option,
// count and read/write flag, expanded into consecutive channel rows.
#pragma once

#include "config/DevRow.h"
#include "host/afx.h"

struct SChlInfo {
    virtual ~SChlInfo() = default;
    int m_nFirst = -1;
    int m_nRegType = -1;
    int m_nDataOption = -1;
    int m_nLength = -1;
    CString m_strAddress = "0";
    int m_nCount = -1;
    int m_nRWFlag = -1;
    int m_nFurther = -1;
    CString m_strText1, m_strText2, m_strText3;
    CStringArray m_strArList1, m_strArList2;
};

constexpr unsigned MAX_GENERATED_ROWS = 5000;
// Rows a request's count makes: 0 makes one; the count is compared
// unsigned, so a negative count, like anything from 5000 up, makes 5000.
inline unsigned GeneratedRowCount(int count)
{
    const unsigned n = static_cast<unsigned>(count);
    return n == 0 ? 1u : (n >= MAX_GENERATED_ROWS ? MAX_GENERATED_ROWS : n);
}
// Bytes of a string channel whose request gives no (or a negative) length.
constexpr int DEFAULT_STRING_BYTES = 60;
