// Format facts: mdbtools' HACKING notes and the Apache-licensed Jackcess library (whose
// sort-code tables are built in from third_party/jet4-sortierung).
#include "platform/dao/storage/access/jet4/Jet4Sortierung.h"

#include <algorithm>
#include <array>
#include <stdexcept>
#include <string_view>

#include "platform/dao/storage/access/jet4/Jet4Datei.h"

namespace dao::speicher::access::jet4 {

namespace sortierung {
// Generated at build time from the code files, one line per UTF-16 code unit.
extern const char* const kKodes[256];
extern const char* const kKodesErweitert[63232];
}  // namespace sortierung

namespace {

// Kinds of code lines.
enum Art : uint8_t {
    kFehlt = 0,               // no line: a surrogate
    kEinfach = 'S',           // sort bytes only
    kInternational = 'I',     // sort bytes and an extra byte (accents and the like)
    kUndruckbar = 'U',        // no sort bytes; a marked code at the very end
    kUndruckbarErw = 'P',     // no sort bytes; adds to the previous extra byte
    kInternationalErw = 'Z',  // sort bytes, perhaps extra bytes, and a two-bit flag
    kIgnoriert = 'X',         // leaves no trace in the key
};

struct Kode {
    uint8_t art = kFehlt;
    uint8_t flagge = 0;  // kInternationalErw: 2 or 3
    uint8_t inlineLänge = 0, extraLänge = 0, undruckbarLänge = 0;
    uint8_t zusatz = 0;   // kUndruckbarErw: added to the previous extra byte
    uint32_t anfang = 0;  // in Tabelle::bytes: inline, then extra, then unprintable bytes
};

struct Tabelle {
    std::vector<Kode> kodes = std::vector<Kode>(0x10000);
    std::vector<uint8_t> bytes;
};

[[noreturn]] void Kaputt(std::string_view zeile) {
    throw std::logic_error("jet4: sort code line not understood: " + std::string(zeile));
}

int Hexziffer(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Hex digits to bytes; an odd count lost its leading zero.
size_t HexAnhängen(std::vector<uint8_t>& ziel, std::string_view hex, std::string_view zeile) {
    std::string s = (hex.size() % 2) ? "0" + std::string(hex) : std::string(hex);
    for (size_t i = 0; i < s.size(); i += 2) {
        int h = Hexziffer(s[i]), l = Hexziffer(s[i + 1]);
        if (h < 0 || l < 0) Kaputt(zeile);
        ziel.push_back(static_cast<uint8_t>(h * 16 + l));
    }
    if (s.size() / 2 > 255) Kaputt(zeile);
    return s.size() / 2;
}

std::vector<std::string_view> Felder(std::string_view rest) {
    std::vector<std::string_view> felder;
    size_t von = 0;
    for (;;) {
        size_t komma = rest.find(',', von);
        felder.push_back(rest.substr(von, komma == std::string_view::npos ? std::string_view::npos : komma - von));
        if (komma == std::string_view::npos) return felder;
        von = komma + 1;
    }
}

Kode Lesen(std::string_view zeile, std::vector<uint8_t>& bytes) {
    if (zeile.empty()) Kaputt(zeile);
    Kode k;
    k.art = static_cast<uint8_t>(zeile[0]);
    k.anfang = static_cast<uint32_t>(bytes.size());
    std::vector<std::string_view> f = Felder(zeile.substr(1));
    auto pflicht = [&](std::string_view hex) {
        if (hex.empty()) Kaputt(zeile);
        return static_cast<uint8_t>(HexAnhängen(bytes, hex, zeile));
    };
    switch (k.art) {
        case kEinfach:
            if (f.size() != 1) Kaputt(zeile);
            k.inlineLänge = pflicht(f[0]);
            break;
        case kInternational:
            if (f.size() != 2) Kaputt(zeile);
            k.inlineLänge = pflicht(f[0]);
            k.extraLänge = pflicht(f[1]);
            break;
        case kUndruckbar:
            if (f.size() != 1) Kaputt(zeile);
            k.undruckbarLänge = pflicht(f[0]);
            break;
        case kUndruckbarErw: {
            if (f.size() != 1) Kaputt(zeile);
            std::vector<uint8_t> z;
            if (f[0].empty() || HexAnhängen(z, f[0], zeile) != 1) Kaputt(zeile);
            k.zusatz = z[0];
            break;
        }
        case kInternationalErw:
            if (f.size() != 3) Kaputt(zeile);
            k.inlineLänge = pflicht(f[0]);
            if (!f[1].empty()) k.extraLänge = static_cast<uint8_t>(HexAnhängen(bytes, f[1], zeile));
            k.flagge = f[2] == "1" ? 2 : 3;
            break;
        case kIgnoriert: break;
        default: Kaputt(zeile);
    }
    return k;
}

const Tabelle& Kodes() {
    static const Tabelle tabelle = [] {
        Tabelle t;
        t.bytes.reserve(200000);
        for (uint32_t c = 0; c < 0x10000; ++c) {
            if (c >= 0xD800 && c <= 0xDFFF) continue;
            const char* zeile =
                c < 0x100 ? sortierung::kKodes[c] : sortierung::kKodesErweitert[c - 0x100 - (c > 0xDFFF ? 0x800 : 0)];
            t.kodes[c] = Lesen(zeile, t.bytes);
        }
        return t;
    }();
    return tabelle;
}

void Invertieren(std::vector<uint8_t>& v, size_t ab) {
    for (size_t i = ab; i < v.size(); ++i) v[i] = static_cast<uint8_t>(~v[i]);
}

// What a key gathers besides the sort bytes, character by character.
struct Nebenbytes {
    // The extra bytes: one per character up to the last one that has one (2 standing
    // for "plain"); characters of kind P change the byte before them instead.
    std::vector<uint8_t> extra;
    bool mitExtra = false;
    size_t extraZeichen = 0;   // characters the extra bytes account for
    size_t extraVorspann = 0;  // 1 when a P character came before any extra byte
    std::vector<uint8_t> undruckbar;
    std::vector<uint8_t> flaggen;
};

// `stelle`: the characters with sort bytes before this one.
void extraAnhängen(Nebenbytes& n, const Kode& k, const uint8_t* b, size_t stelle) {
    n.mitExtra = true;
    if (n.extraZeichen < stelle) {
        n.extra.insert(n.extra.end(), stelle - n.extraZeichen, 0x02);
        n.extraZeichen = stelle;
    }
    if (k.extraLänge) {
        const uint8_t* e = b + k.inlineLänge;
        n.extra.insert(n.extra.end(), e, e + k.extraLänge);
        ++n.extraZeichen;
    } else if (!n.extra.empty()) {
        n.extra.back() = static_cast<uint8_t>(n.extra.back() + k.zusatz);
    } else {
        n.extra.push_back(k.zusatz);
        n.extraVorspann = 1;
    }
}

void undruckbarAnhängen(Nebenbytes& n, const Kode& k, const uint8_t* b, size_t stelle) {
    // The position counts the extra bytes as Access does, even those that
    // are trimmed off later.
    size_t pos = stelle;
    if (n.mitExtra) pos = n.extra.size() + (stelle - n.extraZeichen) - n.extraVorspann;
    const uint32_t v = (7 + 4 * static_cast<uint32_t>(pos)) | 0x8000;
    n.undruckbar.push_back(static_cast<uint8_t>(v >> 8));
    n.undruckbar.push_back(static_cast<uint8_t>(v));
    n.undruckbar.push_back(0x06);
    const uint8_t* u = b + k.inlineLänge + k.extraLänge;
    n.undruckbar.insert(n.undruckbar.end(), u, u + k.undruckbarLänge);
}

// The sort bytes go straight into `ziel`, the rest into `n` for after them.
void zeichenDurchgehen(std::vector<uint8_t>& ziel, TextSicht text, Nebenbytes& n) {
    const Tabelle& t = Kodes();
    size_t zeichen = 0;  // characters with sort bytes so far
    for (char16_t c : text) {
        const Kode& k = t.kodes[c];
        if (k.art == kFehlt) {
            throw NichtSchreibbar(u"Ein Text enthält ein Zeichen außerhalb der Unicode-Grundebene (Ersatzzeichen "
                                  u"U+D800 bis U+DFFF); dafür kennt die Sortierreihenfolge \"Allgemein\" keinen "
                                  u"Indexschlüssel.");
        }
        const size_t stelle = zeichen;
        const uint8_t* b = t.bytes.data() + k.anfang;
        if (k.inlineLänge) {
            ziel.insert(ziel.end(), b, b + k.inlineLänge);
            ++zeichen;
        }
        if (k.art == kEinfach || k.art == kIgnoriert) continue;
        if (k.extraLänge || k.zusatz) extraAnhängen(n, k, b, stelle);
        if (k.undruckbarLänge) undruckbarAnhängen(n, k, b, stelle);
        if (k.flagge) n.flaggen.push_back(k.flagge);
    }
}

// Trailing 3s say nothing; the rest goes three flags of two bits to a byte.
void flaggenAnhängen(std::vector<uint8_t>& ziel, std::vector<uint8_t>& flaggen) {
    while (!flaggen.empty() && flaggen.back() == 0x03) flaggen.pop_back();
    for (size_t i = 0; i < flaggen.size(); i += 3) {
        uint8_t byte = 0x80;
        for (size_t j = 0; j < 3 && i + j < flaggen.size(); ++j)
            byte = static_cast<uint8_t>(byte | (flaggen[i + j] << ((2 - j) * 2)));
        ziel.push_back(byte);
    }
    static constexpr std::array<uint8_t, 5> kSchluss{0xFF, 0x02, 0x80, 0xFF, 0x80};
    ziel.insert(ziel.end(), kSchluss.begin(), kSchluss.end());
}

// Everything after the sort bytes, without the end byte.
void nebenbytesAnhängen(std::vector<uint8_t>& ziel, Nebenbytes& n) {
    ziel.push_back(0x01);
    while (!n.extra.empty() && n.extra.back() <= 0x02) n.extra.pop_back();
    const bool mitUndruckbar = !n.undruckbar.empty();
    const bool mitFlaggen = !n.flaggen.empty();
    ziel.insert(ziel.end(), n.extra.begin(), n.extra.end());
    if (!mitFlaggen && !mitUndruckbar) return;
    ziel.push_back(0x01);
    ziel.push_back(0x01);
    if (mitFlaggen) {
        flaggenAnhängen(ziel, n.flaggen);
        if (mitUndruckbar) ziel.push_back(0xFF);
    }
    if (mitUndruckbar) {
        ziel.push_back(0x01);
        ziel.insert(ziel.end(), n.undruckbar.begin(), n.undruckbar.end());
    }
}

}  // namespace

void TextSchlüsselAnhängen(std::vector<uint8_t>& ziel, TextSicht text, bool aufsteigend) {
    const size_t anfang = ziel.size();
    text = text.substr(0, std::min(text.size(), kTextSchlüsselZeichen));
    Nebenbytes n;
    zeichenDurchgehen(ziel, text, n);
    nebenbytesAnhängen(ziel, n);
    if (!aufsteigend) {
        // Descending: one end byte more, all inverted, then the plain end byte.
        ziel.push_back(0x00);
        Invertieren(ziel, anfang);
    }
    ziel.push_back(0x00);
}

}  // namespace dao::speicher::access::jet4
