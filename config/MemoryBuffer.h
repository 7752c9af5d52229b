// Byte streams of the configuration formats: a growable owned buffer and
// a read-only window. Reads past the end copy nothing and return false.
#pragma once

#include <cstdint>
#include <vector>

namespace utils {

// What every stream shows: its bytes.
class imemory {
public:
    virtual ~imemory() = default;
    virtual unsigned size() const = 0;
    virtual const unsigned char* data() const = 0;
};

class imemoryread : public imemory {
public:
    virtual unsigned tell_read() const = 0;
    virtual unsigned seek_read(unsigned pos) = 0;
    virtual bool read(unsigned char* dst, unsigned n) = 0;
    // Bytes left to read: what a bounded reader checks counts against.
    unsigned remaining() const { return tell_read() < size() ? size() - tell_read() : 0; }
};

// A stream that is also written, at a position of its own.
class imemorywrite : public imemoryread {
public:
    virtual unsigned tell_write() const = 0;
    virtual unsigned seek_write(unsigned pos) = 0;
    virtual void write(const unsigned char* src, unsigned n) = 0;
};

// An owned, growable buffer: writes past the end extend it.
class MemoryBuffer : public imemorywrite {
public:
    MemoryBuffer() = default;
    MemoryBuffer(const MemoryBuffer&) = delete;
    MemoryBuffer& operator=(const MemoryBuffer&) = delete;

    unsigned size() const override { return static_cast<unsigned>(m_data.size()); }
    const unsigned char* data() const override { return m_data.data(); }
    unsigned tell_read() const override { return m_read; }
    unsigned seek_read(unsigned pos) override;
    bool read(unsigned char* dst, unsigned n) override;
    unsigned tell_write() const override { return m_write; }
    unsigned seek_write(unsigned pos) override;
    void write(const unsigned char* src, unsigned n) override;
    void clear();
    std::vector<unsigned char> bytes() const { return m_data; }

private:
    std::vector<unsigned char> m_data;
    unsigned m_read = 0;
    unsigned m_write = 0;
};

class memoryRef : public imemoryread {
public:
    memoryRef(const unsigned char* data, unsigned size) : m_data(data), m_size(data ? size : 0) {}
    unsigned size() const override { return m_size; }
    const unsigned char* data() const override { return m_data; }
    unsigned tell_read() const override { return m_read; }
    unsigned seek_read(unsigned pos) override;
    bool read(unsigned char* dst, unsigned n) override;

private:
    const unsigned char* m_data;
    unsigned m_size;
    unsigned m_read = 0;
};

// Little-endian 32-bit transfers.
inline uint32_t LoadLe32(const unsigned char* p)
{
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
           static_cast<uint32_t>(p[3]) << 24;
}
inline void StoreLe32(unsigned char* p, uint32_t v)
{
    p[0] = static_cast<unsigned char>(v);
    p[1] = static_cast<unsigned char>(v >> 8);
    p[2] = static_cast<unsigned char>(v >> 16);
    p[3] = static_cast<unsigned char>(v >> 24);
}
inline void Serialize(imemorywrite& out, uint32_t value)
{
    unsigned char bytes[4];
    StoreLe32(bytes, value);
    out.write(bytes, 4);
}
inline bool Deserialize(imemoryread& in, uint32_t& value)
{
    unsigned char bytes[4];
    if (!in.read(bytes, 4)) return false;
    value = LoadLe32(bytes);
    return true;
}

} // namespace utils
