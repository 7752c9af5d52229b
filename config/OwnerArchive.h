// Growable in-memory byte stream with a load/store mode and a two-byte
// version header. Reads past the end in load mode copy nothing and leave
// the position where it was.
#pragma once

#include "host/afx.h"

constexpr unsigned short ARCHIVE_VERSION = 20000;
// Growth step of the stream's buffer.
constexpr int ARCHIVE_GROW_STEP = 16534;

class COwnerArchive {
public:
    enum ARCHIVESTATUS { ARCHIVE_LOAD = 0, ARCHIVE_STORE = 1 };

    COwnerArchive() = default;
    explicit COwnerArchive(ARCHIVESTATUS mode) : m_nMode(mode) {}
    virtual ~COwnerArchive() = default;

    void SvrWrite(const unsigned char* src, int n);
    // False when the bytes were not there (nothing copied).
    bool SvrRead(unsigned char* dst, int n);
    void SvrChangeMode(ARCHIVESTATUS mode);
    unsigned short GetNowVersion();
    void mfCheckBuffer(int n);

    COwnerArchive& operator>>(int& value);
    COwnerArchive& operator>>(unsigned int& value);
    COwnerArchive& operator<<(unsigned int value);

    bool IsStoring() const { return m_nMode == ARCHIVE_STORE; }
    int GetPosition() const { return m_nPosition; }
    void SetPosition(int position) { m_nPosition = position; }
    int GetSize() const { return m_buffer.GetSize(); }
    // Bytes a read can still take, the zero padding of growth included:
    // bounded readers cap their counts with it.
    int Remaining() const { return m_nPosition >= GetSize() ? 0 : GetSize() - m_nPosition; }
    bool AtEnd() const { return m_nPosition >= GetSize(); }
    const unsigned char* GetData() const { return m_buffer.GetData(); }

private:
    void HeaderStep();

    CByteArray m_buffer;
    int m_nPosition = 0;
    ARCHIVESTATUS m_nMode = ARCHIVE_STORE;
};
