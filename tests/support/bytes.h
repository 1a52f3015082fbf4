// Little-endian fields for the files and archives tests write by hand.
#pragma once

#include <cstdint>
#include <string>

namespace tidebell_test {

inline void putLe16(std::string& s, uint32_t v)
{
    s += static_cast<char>(v & 0xFF);
    s += static_cast<char>((v >> 8) & 0xFF);
}

inline void putLe32(std::string& s, uint32_t v)
{
    putLe16(s, v & 0xFFFF);
    putLe16(s, v >> 16);
}

inline std::string le16(uint32_t v)
{
    std::string s;
    putLe16(s, v);
    return s;
}

inline std::string le32(uint32_t v)
{
    std::string s;
    putLe32(s, v);
    return s;
}

}  // namespace tidebell_test
