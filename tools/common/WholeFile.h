// A whole file read into memory, or written out and checked: the tools
// read projects, blobs and label files whole and write their results at
// once.
#pragma once

#include <fstream>
#include <iterator>
#include <string>

namespace fx5 {

// False when the file cannot be opened; `bytes` then keeps what it had.
inline bool ReadWholeFile(const std::string& path, std::string& bytes)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return true;
}

// False when not every byte reached the file: closed before the check, so
// that a full disk, which shows only when the rest is written, counts.
inline bool WriteWholeFile(const std::string& path, const std::string& bytes)
{
    std::ofstream out(path, std::ios::binary);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.close();
    return static_cast<bool>(out);
}

} // namespace fx5
