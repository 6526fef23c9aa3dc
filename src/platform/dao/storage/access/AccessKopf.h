#pragma once
// Page 0 of a Jet file: format, page size, code page and the database password.
// Pure byte work without file access, so that any input can be fed to it before
// the file reaches libmdb.
#include <cstddef>
#include <cstdint>

#include "platform/basic/Text.h"

namespace dao::speicher::access {

// Layout of page 0. From kVerschlüsseltAb on, 126 (Jet 3) or 128 (Jet 4) bytes are
// masked with the RC4 stream of kKopfSchlüssel.
inline constexpr uint8_t kKopfSchlüssel[4] = {0xC7, 0xDA, 0x39, 0x6B};
inline constexpr size_t kVerschlüsseltAb = 0x18;
inline constexpr size_t kVerschlüsseltJet3 = 126, kVerschlüsseltJet4 = 128;
inline constexpr size_t kVersionOffset = 0x14;
inline constexpr size_t kCodepageOffset = 0x3C;
inline constexpr size_t kSchlüsselOffset = 0x3E;
inline constexpr size_t kKennwortOffset = 0x42;
inline constexpr size_t kKennwortJet3 = 20, kKennwortJet4 = 40;  // bytes
inline constexpr size_t kErstelltOffset = 0x72;                  // Jet 4: creation date (double)

enum class Kopfbefund {
    gültig,
    zuKurz,         // less than one page
    keinJet,        // no Jet signature
    neueresFormat,  // ACE (.accdb) or a Jet version after 4
};

struct JetKopf {
    int version = 0;           // 3 or 4
    uint32_t seitengröße = 0;  // 2048 or 4096
    uint16_t codepage = 0;
    uint32_t datenbankschlüssel = 0;  // not 0: the pages are encrypted
    Text kennwort;                    // as stored, "" when the file has none
};

// XORs `daten` with the RC4 stream of `schlüssel` (encrypts and decrypts alike).
void Rc4Anwenden(const uint8_t* schlüssel, size_t schlüssellänge, uint8_t* daten, size_t länge);

// The 4 bytes with which Jet 4 masks the password: the creation date truncated to
// an integer, little-endian.
void KennwortMaske(double erstellt, uint8_t maske[4]);

// Reads the header from the first `länge` bytes of a file; `kopf` is filled only
// for gültig.
Kopfbefund KopfLesen(const uint8_t* daten, size_t länge, JetKopf& kopf);

// Jet compares the password exactly, case included.
inline bool KennwortPasst(const JetKopf& kopf, TextSicht passwort) { return kopf.kennwort == passwort; }

// Text in a Jet 3 file's code page (the header's value; 0 counts as windows-1252).
Text TextAusCodepage(std::string_view bytes, uint16_t codepage);

}  // namespace dao::speicher::access
