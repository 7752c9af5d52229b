#include "CString.h"

#include <algorithm>
#include <cctype>
#include <cstdarg>
#include <cstdio>
#include <strings.h>

void CString::Format(const char* format, ...)
{
    if (!format) {
        m_str.clear();
        return;
    }
    va_list args;
    va_start(args, format);
    va_list copy;
    va_copy(copy, args);
    const int needed = std::vsnprintf(nullptr, 0, format, copy);
    va_end(copy);
    if (needed < 0) {
        m_str.clear();
    } else {
        std::string out(static_cast<size_t>(needed) + 1, '\0');
        std::vsnprintf(&out[0], out.size(), format, args);
        out.resize(static_cast<size_t>(needed));
        m_str.swap(out);
    }
    va_end(args);
}

CString CString::Mid(int start) const { return Mid(start, GetLength()); }

CString CString::Mid(int start, int count) const
{
    if (start < 0) start = 0;
    if (count < 0) count = 0;
    const int length = GetLength();
    if (start >= length || count == 0) return CString();
    if (count > length - start) count = length - start;
    return CString(m_str.substr(static_cast<size_t>(start), static_cast<size_t>(count)));
}

CString CString::Left(int count) const { return Mid(0, count); }

CString CString::Right(int count) const
{
    const int length = GetLength();
    if (count <= 0) return CString();
    if (count >= length) return *this;
    return Mid(length - count, count);
}

int CString::Find(const char* text, int start) const
{
    if (!text || start < 0 || start > GetLength()) return -1;
    const size_t pos = m_str.find(text, static_cast<size_t>(start));
    return pos == std::string::npos ? -1 : static_cast<int>(pos);
}

int CString::Find(char ch, int start) const
{
    if (start < 0 || start > GetLength()) return -1;
    const size_t pos = m_str.find(ch, static_cast<size_t>(start));
    return pos == std::string::npos ? -1 : static_cast<int>(pos);
}

static bool IsSpace(char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; }

CString& CString::TrimLeft()
{
    size_t i = 0;
    while (i < m_str.size() && IsSpace(m_str[i])) ++i;
    m_str.erase(0, i);
    return *this;
}

CString& CString::TrimRight()
{
    size_t n = m_str.size();
    while (n > 0 && IsSpace(m_str[n - 1])) --n;
    m_str.resize(n);
    return *this;
}

CString& CString::MakeUpper()
{
    for (char& c : m_str) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return *this;
}

CString CString::SpanIncluding(const char* set) const
{
    if (!set) return CString();
    const size_t n = m_str.find_first_not_of(set);
    return CString(m_str.substr(0, n));
}

CString CString::SpanExcluding(const char* set) const
{
    if (!set) return *this;
    const size_t n = m_str.find_first_of(set);
    return CString(m_str.substr(0, n));
}

int CString::Delete(int index, int count)
{
    if (index >= 0 && count > 0 && index < GetLength()) m_str.erase(static_cast<size_t>(index), static_cast<size_t>(count));
    return GetLength();
}

int CString::CompareNoCase(const char* text) const { return strcasecmp(m_str.c_str(), text ? text : ""); }

char* CString::GetBuffer(int minLength)
{
    if (minLength > GetLength()) m_str.resize(static_cast<size_t>(minLength));
    return &m_str[0];
}

char* CString::GetBufferSetLength(int length)
{
    m_str.resize(length > 0 ? static_cast<size_t>(length) : 0u);
    return &m_str[0];
}

void CString::ReleaseBuffer(int length)
{
    if (length < 0) {
        m_str.resize(std::char_traits<char>::length(m_str.c_str()));
    } else if (static_cast<size_t>(length) <= m_str.size()) {
        m_str.resize(static_cast<size_t>(length));
    }
}
