// Host growable arrays of the MFC kind. New elements are value-initialised
// (zero for plain types); SetSize(0) frees the storage. A grow-by of -1
// keeps the current step. Out-of-range reads answer a default element
// rather than touching foreign memory.
#pragma once

#include <algorithm>
#include <vector>

#include "CString.h"

template <class TYPE, class ARG_TYPE = const TYPE&>
class CArray {
public:
    int GetSize() const { return static_cast<int>(m_data.size()); }
    int GetCount() const { return GetSize(); }
    bool IsEmpty() const { return m_data.empty(); }

    void SetSize(int newSize, int growBy = -1)
    {
        if (growBy >= 0) m_growBy = growBy;
        if (newSize <= 0) {
            std::vector<TYPE>().swap(m_data);
            return;
        }
        const size_t wanted = static_cast<size_t>(newSize);
        if (wanted > m_data.capacity()) m_data.reserve(std::max(wanted, m_data.capacity() + GrowStep()));
        m_data.resize(wanted);
    }

    void RemoveAll() { SetSize(0); }
    void FreeExtra() { m_data.shrink_to_fit(); }

    TYPE* GetData() { return m_data.empty() ? nullptr : m_data.data(); }
    const TYPE* GetData() const { return m_data.empty() ? nullptr : m_data.data(); }

    TYPE& operator[](int index) { return m_data[static_cast<size_t>(index)]; }
    const TYPE& operator[](int index) const { return m_data[static_cast<size_t>(index)]; }
    TYPE GetAt(int index) const { return InRange(index) ? m_data[static_cast<size_t>(index)] : TYPE(); }
    void SetAt(int index, ARG_TYPE value)
    {
        if (InRange(index)) m_data[static_cast<size_t>(index)] = value;
    }

    void SetAtGrow(int index, ARG_TYPE value)
    {
        if (index < 0) return;
        if (index >= GetSize()) SetSize(index + 1);
        m_data[static_cast<size_t>(index)] = value;
    }

    int Add(ARG_TYPE value)
    {
        const int index = GetSize();
        SetAtGrow(index, value);
        return index;
    }

    void InsertAt(int index, ARG_TYPE value, int count = 1)
    {
        if (index < 0 || count <= 0) return;
        if (index >= GetSize()) SetSize(index);
        m_data.insert(m_data.begin() + index, static_cast<size_t>(count), value);
    }

    void RemoveAt(int index, int count = 1)
    {
        if (!InRange(index) || count <= 0) return;
        const int end = std::min(GetSize(), index + count);
        m_data.erase(m_data.begin() + index, m_data.begin() + end);
    }

private:
    bool InRange(int index) const { return index >= 0 && index < GetSize(); }
    size_t GrowStep() const
    {
        if (m_growBy > 0) return static_cast<size_t>(m_growBy);
        const size_t step = m_data.size() / 8;
        return step < 4 ? 4 : (step > 1024 ? 1024 : step);
    }

    std::vector<TYPE> m_data;
    int m_growBy = 0;
};

using CByteArray = CArray<unsigned char, unsigned char>;
using CStringArray = CArray<CString, const CString&>;
