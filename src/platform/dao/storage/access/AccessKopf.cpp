#include "platform/dao/storage/access/AccessKopf.h"

#include <cmath>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "platform/dao/storage/Bytes.h"
#include "platform/dao/storage/Zeichensatz.h"

namespace dao::speicher::access {
namespace {


constexpr char kSignaturJet[] = "Standard Jet DB";  // with its NUL: 16 bytes
constexpr char kSignaturAce[] = "Standard ACE DB";

}  // namespace

void Rc4Anwenden(const uint8_t* schlüssel, size_t schlüssellänge, uint8_t* daten, size_t länge) {
    uint8_t s[256];
    for (int i = 0; i < 256; ++i) s[i] = static_cast<uint8_t>(i);
    if (schlüssellänge > 0) {
        uint8_t j = 0;
        for (int i = 0; i < 256; ++i) {
            j = static_cast<uint8_t>(j + s[i] + schlüssel[static_cast<size_t>(i) % schlüssellänge]);
            std::swap(s[i], s[j]);
        }
    }
    uint8_t i = 0, j = 0;
    for (size_t n = 0; n < länge; ++n) {
        i = static_cast<uint8_t>(i + 1);
        j = static_cast<uint8_t>(j + s[i]);
        std::swap(s[i], s[j]);
        daten[n] ^= s[static_cast<uint8_t>(s[i] + s[j])];
    }
}

void KennwortMaske(double erstellt, uint8_t maske[4]) {
    // A date outside the 32-bit range (only in a damaged header) gives the value an
    // x86 conversion gives, instead of undefined behaviour.
    int32_t tage = INT32_MIN;
    if (std::isfinite(erstellt) && erstellt > -2147483649.0 && erstellt < 2147483648.0)
        tage = static_cast<int32_t>(erstellt);
    const auto u = static_cast<uint32_t>(tage);
    for (int k = 0; k < 4; ++k) maske[k] = static_cast<uint8_t>(u >> (8 * k));
}

Kopfbefund KopfLesen(const uint8_t* daten, size_t länge, JetKopf& kopf) {
    if (länge < 0x20) return Kopfbefund::zuKurz;
    if (!(daten[0] == 0x00 && daten[1] == 0x01 && daten[2] == 0x00 && daten[3] == 0x00)) return Kopfbefund::keinJet;
    if (std::memcmp(daten + 4, kSignaturAce, sizeof kSignaturAce) == 0) return Kopfbefund::neueresFormat;
    if (std::memcmp(daten + 4, kSignaturJet, sizeof kSignaturJet) != 0) return Kopfbefund::keinJet;
    const uint32_t version = le32(daten + kVersionOffset);
    if (version > 1) return Kopfbefund::neueresFormat;
    const bool jet4 = version == 1;
    const uint32_t seite = jet4 ? 4096 : 2048;
    if (länge < seite) return Kopfbefund::zuKurz;

    const size_t verschlüsselt = jet4 ? kVerschlüsseltJet4 : kVerschlüsseltJet3;
    std::vector<uint8_t> klar(daten, daten + kVerschlüsseltAb + verschlüsselt);
    Rc4Anwenden(kKopfSchlüssel, sizeof kKopfSchlüssel, klar.data() + kVerschlüsseltAb, verschlüsselt);

    JetKopf k;
    k.version = jet4 ? 4 : 3;
    k.seitengröße = seite;
    k.codepage = le16(&klar[kCodepageOffset]);
    k.datenbankschlüssel = le32(&klar[kSchlüsselOffset]);
    if (jet4) {
        double erstellt;
        std::memcpy(&erstellt, &klar[kErstelltOffset], sizeof erstellt);
        uint8_t maske[4];
        KennwortMaske(erstellt, maske);
        for (size_t n = 0; n + 1 < kKennwortJet4; n += 2) {
            const auto lo = static_cast<uint8_t>(klar[kKennwortOffset + n] ^ maske[n % 4]);
            const auto hi = static_cast<uint8_t>(klar[kKennwortOffset + n + 1] ^ maske[(n + 1) % 4]);
            const auto c = static_cast<char16_t>(lo | (hi << 8));
            if (c == 0) break;
            k.kennwort.push_back(c);
        }
    } else {
        std::string roh;
        for (size_t n = 0; n < kKennwortJet3 && klar[kKennwortOffset + n] != 0; ++n)
            roh.push_back(static_cast<char>(klar[kKennwortOffset + n]));
        k.kennwort = TextAusCodepage(roh, k.codepage);
    }
    kopf = std::move(k);
    return Kopfbefund::gültig;
}

Text TextAusCodepage(std::string_view bytes, uint16_t codepage) {
    return ZeichensatzDerCodepage(codepage).dekodieren(bytes);
}

}  // namespace dao::speicher::access
