// The archive stream: load and store modes, the version header, and reads
// that copy nothing past the buffer's end.
#include "OwnerArchive.h"

#include "config/MemoryBuffer.h"

#include <algorithm>
#include <cstring>

// Grows by a step at least, zero-filled: the legacy load reads that zero
// tail as data past the end of a blob.
void COwnerArchive::mfCheckBuffer(int n)
{
    if (n <= 0 || m_nPosition < 0) return;
    const long long end = static_cast<long long>(m_nPosition) + n;
    if (end <= GetSize()) return;
    const long long grown = std::max<long long>(static_cast<long long>(GetSize()) + ARCHIVE_GROW_STEP, end);
    m_buffer.SetSize(static_cast<int>(grown));
}

void COwnerArchive::SvrWrite(const unsigned char* src, int n)
{
    if (m_nMode == ARCHIVE_LOAD) SvrChangeMode(ARCHIVE_STORE);
    if (!src || n <= 0 || m_nPosition < 0) return;
    mfCheckBuffer(n);
    std::memcpy(m_buffer.GetData() + m_nPosition, src, static_cast<size_t>(n));
    m_nPosition += n;
}

// True when the n bytes were there; otherwise nothing is copied and the
// position stays, so a reader's preset value survives.
bool COwnerArchive::SvrRead(unsigned char* dst, int n)
{
    if (m_nMode == ARCHIVE_STORE) SvrChangeMode(ARCHIVE_LOAD);
    if (!dst || n <= 0 || m_nPosition < 0) return false;
    if (static_cast<long long>(m_nPosition) + n > GetSize()) return false;
    std::memcpy(dst, m_buffer.GetData() + m_nPosition, static_cast<size_t>(n));
    m_nPosition += n;
    return true;
}

// At position 0: a store writes the header 20000; a load reads it and
// rewinds when it is below 20000 (an archive without a header).
void COwnerArchive::HeaderStep()
{
    if (m_nMode == ARCHIVE_STORE) {
        const unsigned char header[2] = {ARCHIVE_VERSION & 0xFF, ARCHIVE_VERSION >> 8};
        mfCheckBuffer(2);
        std::memcpy(m_buffer.GetData() + m_nPosition, header, 2);
        m_nPosition += 2;
        return;
    }
    unsigned char header[2] = {0, 0};
    SvrRead(header, 2);
    // An archive without a header is read from its first byte.
    if ((header[0] | (header[1] << 8)) < ARCHIVE_VERSION) m_nPosition = 0;
}

// Switching cuts the buffer to the position (what was written so far) and
// runs the header step from the start.
void COwnerArchive::SvrChangeMode(ARCHIVESTATUS mode)
{
    if (mode != ARCHIVE_LOAD && mode != ARCHIVE_STORE) return;
    if (mode != m_nMode) {
        m_nMode = mode;
        if (m_nPosition != 0) {
            m_buffer.SetSize(std::max(0, m_nPosition));
            m_nPosition = 0;
        }
        HeaderStep();
    } else if (m_nPosition == 0) {
        HeaderStep();
    }
}

// The header at byte 0, without moving the position; 0 for a buffer shorter
// than two bytes.
unsigned short COwnerArchive::GetNowVersion()
{
    if (m_nMode == ARCHIVE_STORE) SvrChangeMode(ARCHIVE_LOAD);
    const int saved = m_nPosition;
    m_nPosition = 0;
    unsigned char header[2] = {0, 0};
    SvrRead(header, 2);
    m_nPosition = saved;
    return static_cast<unsigned short>(header[0] | (header[1] << 8));
}

COwnerArchive& COwnerArchive::operator>>(unsigned int& value)
{
    unsigned char bytes[4];
    if (SvrRead(bytes, 4)) value = utils::LoadLe32(bytes);
    return *this;
}

COwnerArchive& COwnerArchive::operator>>(int& value)
{
    unsigned int raw = static_cast<unsigned int>(value);
    *this >> raw;
    value = static_cast<int>(raw);
    return *this;
}

COwnerArchive& COwnerArchive::operator<<(unsigned int value)
{
    const unsigned char bytes[4] = {static_cast<unsigned char>(value), static_cast<unsigned char>(value >> 8),
                                    static_cast<unsigned char>(value >> 16), static_cast<unsigned char>(value >> 24)};
    SvrWrite(bytes, 4);
    return *this;
}
