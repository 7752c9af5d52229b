// Host string of the MFC kind: 8-bit, NUL-terminated text with the
// operations the driver relies on. Built on std::string; indices are int
// and Find answers -1 when the text is absent.
#pragma once

#include <string>
#include <utility>

class CString {
public:
    CString() = default;
    CString(const char* text) : m_str(text ? text : "") {}
    CString(const std::string& text) : m_str(text) {}
    CString(std::string&& text) : m_str(std::move(text)) {}
    CString(char ch, int count) : m_str(count > 0 ? static_cast<size_t>(count) : 0u, ch) {}
    CString(const char* data, int length) : m_str(data ? data : "", (data && length > 0) ? static_cast<size_t>(length) : 0u) {}

    CString& operator=(const char* text)
    {
        m_str = text ? text : "";
        return *this;
    }
    CString& operator+=(const CString& other)
    {
        m_str += other.m_str;
        return *this;
    }
    CString& operator+=(const char* text)
    {
        if (text) m_str += text;
        return *this;
    }
    CString& operator+=(char ch)
    {
        m_str += ch;
        return *this;
    }

    int GetLength() const { return static_cast<int>(m_str.size()); }
    bool IsEmpty() const { return m_str.empty(); }
    void Empty() { m_str.clear(); }
    operator const char*() const { return m_str.c_str(); }
    const char* c_str() const { return m_str.c_str(); }
    const std::string& str() const { return m_str; }
    char GetAt(int index) const { return (index >= 0 && index < GetLength()) ? m_str[static_cast<size_t>(index)] : '\0'; }
    char operator[](int index) const { return GetAt(index); }

    // printf semantics; the result replaces the text.
    void Format(const char* format, ...)
#if defined(__GNUC__)
        __attribute__((format(printf, 2, 3)))
#endif
        ;

    CString Mid(int start) const;
    CString Mid(int start, int count) const;
    CString Left(int count) const;
    CString Right(int count) const;
    int Find(const char* text, int start = 0) const;
    int Find(char ch, int start = 0) const;
    CString& TrimLeft();
    CString& TrimRight();
    // Both sides.
    CString& Trim() { return TrimLeft().TrimRight(); }
    CString& MakeUpper();
    CString SpanIncluding(const char* set) const;
    CString SpanExcluding(const char* set) const;
    int Delete(int index, int count = 1);
    int CompareNoCase(const char* text) const;

    // Direct writes into the character buffer, as the MFC string allows.
    char* GetBuffer(int minLength);
    char* GetBufferSetLength(int length);
    void ReleaseBuffer(int length = -1);

    friend bool operator==(const CString& a, const CString& b) { return a.m_str == b.m_str; }
    friend bool operator==(const CString& a, const char* b) { return a.m_str == (b ? b : ""); }
    friend bool operator!=(const CString& a, const CString& b) { return !(a == b); }
    friend bool operator!=(const CString& a, const char* b) { return !(a == b); }
    friend bool operator<(const CString& a, const CString& b) { return a.m_str < b.m_str; }

private:
    std::string m_str;
};

inline CString operator+(const CString& a, const CString& b)
{
    CString r(a);
    r += b;
    return r;
}
inline CString operator+(const CString& a, const char* b)
{
    CString r(a);
    r += b;
    return r;
}
inline CString operator+(const char* a, const CString& b)
{
    CString r(a);
    r += b;
    return r;
}
inline CString operator+(const CString& a, char b)
{
    CString r(a);
    r += b;
    return r;
}
