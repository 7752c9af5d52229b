// Growable byte buffers with separate read and write positions, and read
// windows over memory that never read past their end.
#include "config/MemoryBuffer.h"

#include <cstring>

namespace utils {

// Positions past the end are held at the end.
unsigned MemoryBuffer::seek_read(unsigned pos)
{
    const unsigned previous = m_read;
    if (pos <= size()) m_read = pos;
    return previous;
}

// False, nothing copied and the position kept, when n bytes are not there.
bool MemoryBuffer::read(unsigned char* dst, unsigned n)
{
    if (static_cast<uint64_t>(m_read) + n > size()) return false;
    if (n) std::memcpy(dst, m_data.data() + m_read, n);
    m_read += n;
    return true;
}

unsigned MemoryBuffer::seek_write(unsigned pos)
{
    const unsigned previous = m_write;
    if (pos > size()) m_data.resize(pos, 0);
    m_write = pos;
    return previous;
}

// Grows to twice the capacity when that suffices, else to exactly what the
// write needs.
void MemoryBuffer::write(const unsigned char* src, unsigned n)
{
    if (!src || n == 0) return;
    const size_t end = static_cast<size_t>(m_write) + n;
    if (end > m_data.size()) {
        if (end > m_data.capacity()) m_data.reserve(end - m_data.capacity() <= m_data.capacity() ? 2 * m_data.capacity() : end);
        m_data.resize(end);
    }
    std::memcpy(m_data.data() + m_write, src, n);
    m_write = static_cast<unsigned>(end);
}

void MemoryBuffer::clear()
{
    std::vector<unsigned char>().swap(m_data);
    m_read = m_write = 0;
}

unsigned memoryRef::seek_read(unsigned pos)
{
    if (pos >= m_size) return 0xFFFFFFFFu;
    m_read = pos;
    return pos;
}

// A window never reads past its own end.
bool memoryRef::read(unsigned char* dst, unsigned n)
{
    if (static_cast<uint64_t>(m_read) + n > m_size) return false;
    if (n) std::memcpy(dst, m_data + m_read, n);
    m_read += n;
    return true;
}

} // namespace utils
