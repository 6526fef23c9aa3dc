#pragma once
// Little-endian fields of the binary formats, read from and written into byte strings.
// The caller has checked that the bytes are there.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace dao::speicher {

inline uint16_t le16(std::string_view d, size_t p) {
    return static_cast<uint16_t>(static_cast<uint8_t>(d[p]) | (static_cast<uint8_t>(d[p + 1]) << 8));
}
inline uint32_t le32(std::string_view d, size_t p) {
    return le16(d, p) | (static_cast<uint32_t>(le16(d, p + 2)) << 16);
}
inline void setze16(std::string& d, size_t p, uint16_t w) {
    d[p] = static_cast<char>(w & 0xFF);
    d[p + 1] = static_cast<char>(w >> 8);
}
inline void setze32(std::string& d, size_t p, uint32_t w) {
    setze16(d, p, static_cast<uint16_t>(w & 0xFFFF));
    setze16(d, p + 2, static_cast<uint16_t>(w >> 16));
}

// The same on raw pages.
inline uint16_t le16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
inline uint32_t le32(const uint8_t* p) { return le16(p) | (static_cast<uint32_t>(le16(p + 2)) << 16); }
inline void setze16(uint8_t* p, uint16_t w) {
    p[0] = static_cast<uint8_t>(w & 0xFF);
    p[1] = static_cast<uint8_t>(w >> 8);
}
inline void setze32(uint8_t* p, uint32_t w) {
    setze16(p, static_cast<uint16_t>(w & 0xFFFF));
    setze16(p + 2, static_cast<uint16_t>(w >> 16));
}

}  // namespace dao::speicher
