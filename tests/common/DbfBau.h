#pragma once
// A dBase file without memo built byte by byte, for the faults and layouts a
// writer would never produce; records given without the deletion flag.
#include <cstdint>
#include <string>
#include <vector>

struct DbfFeld {
    std::string name;
    char typ;
    uint8_t breite, dez;
};

inline std::string DbfBauen(uint8_t version, uint8_t treiber, const std::vector<DbfFeld>& felder,
                            const std::vector<std::string>& sätze) {
    std::string d(32, '\0');
    d[0] = static_cast<char>(version);
    d[1] = 124, d[2] = 1, d[3] = 1;
    const uint32_t n = static_cast<uint32_t>(sätze.size()), kopf = 33 + 32 * static_cast<uint32_t>(felder.size());
    uint32_t satz = 1;
    for (const auto& f : felder) satz += f.breite;
    for (int i = 0; i < 4; ++i) d[4 + i] = static_cast<char>(n >> (8 * i));
    d[8] = static_cast<char>(kopf & 0xFF), d[9] = static_cast<char>(kopf >> 8);
    d[10] = static_cast<char>(satz & 0xFF), d[11] = static_cast<char>(satz >> 8);
    d[29] = static_cast<char>(treiber);
    for (const auto& f : felder) {
        std::string b(32, '\0');
        b.replace(0, f.name.size(), f.name);
        b[11] = f.typ, b[16] = static_cast<char>(f.breite), b[17] = static_cast<char>(f.dez);
        d += b;
    }
    d += '\x0D';
    for (const auto& s : sätze) d += " " + s;
    return d + '\x1A';
}
