#include "platform/dao/storage/access/jet4/Jet4Zeilen.h"

#include "platform/dao/storage/Bytes.h"

// Format facts: mdbtools' HACKING notes and the Apache-licensed Jackcess library.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <limits>
#include <set>
#include <stdexcept>
#include <string>

#include "platform/dao/storage/access/jet4/Jet4Karte.h"

namespace dao::speicher::access::jet4 {
namespace {

// Data pages: type, 1, free space, owning TDEF ("LVAL" on long-value pages), 4 bytes
// unknown, row count, then the row offsets; rows grow from the page end downward.
constexpr size_t kFreiStelle = 2, kTdefStelle = 4, kZeilenzahlStelle = 12, kZeilentabelle = 14;
constexpr uint16_t kGelöscht = 0x8000, kVerweis = 0x4000, kOffsetMaske = 0x1FFF;
constexpr uint16_t kAnfangsfrei = kSeitengröße - kZeilentabelle;
constexpr size_t kMaxZeilen = 255;
constexpr size_t kMaxZeile = 4060;  // the largest row Access writes on a data page
constexpr uint8_t kLval[4] = {'L', 'V', 'A', 'L'};

// Long values: 4 bytes length with the kind in the top bits, row pointer, 4 bytes 0.
constexpr size_t kLangwertKopf = 12;
constexpr uint32_t kInline = 0x80000000, kEineZeile = 0x40000000, kArtMaske = 0xC0000000;
constexpr size_t kMaxInline = 64;             // larger values go to long-value pages
constexpr size_t kMaxLangwertZeile = 4076;    // a long-value row that fills a fresh page
constexpr size_t kMaxKomprimiert = 1024;      // longer texts are never compressed
constexpr size_t kLängenGrenze = 0x3FFFFFFF;  // the length field of a long value

uint64_t L64(const uint8_t* p) { return static_cast<uint64_t>(le32(p)) | (static_cast<uint64_t>(le32(p + 4)) << 32); }

[[noreturn]] void Kaputt(const std::string& was) { throw Formatfehler("jet4: " + was); }

struct RohZeile {
    uint16_t eintrag = 0;  // the offset entry with its flags
    std::span<const uint8_t> bytes;
};

// Row `zeile` of data page `seite`; a deleted row's bytes only when `auchGelöscht`.
RohZeile ZeileRoh(const Datei& datei, uint32_t seite, uint8_t zeile, bool auchGelöscht) {
    if (seite == 0 || seite >= datei.Seitenzahl()) Kaputt("row pointer to page " + std::to_string(seite));
    const uint8_t* s = datei.Seite(seite);
    if (s[0] != static_cast<uint8_t>(Seitentyp::Daten)) Kaputt("row pointer to a page that holds no rows");
    const size_t zahl = le16(s + kZeilenzahlStelle);
    if (zahl > kMaxZeilen + 1 || zeile >= zahl) Kaputt("row pointer past the rows of page " + std::to_string(seite));
    RohZeile r;
    r.eintrag = le16(s + kZeilentabelle + 2 * zeile);
    if ((r.eintrag & kGelöscht) && !auchGelöscht) return r;
    const size_t anfang = r.eintrag & kOffsetMaske;
    const size_t ende = zeile == 0 ? kSeitengröße : (le16(s + kZeilentabelle + 2 * (zeile - 1)) & kOffsetMaske);
    if (anfang < kZeilentabelle + 2 * zahl || anfang > ende || ende > kSeitengröße)
        Kaputt("row outside its page " + std::to_string(seite));
    r.bytes = std::span<const uint8_t>(s + anfang, ende - anfang);
    return r;
}

bool Lang(uint8_t typ) { return typ == kMemo || typ == kOle; }

// Bytes a fixed column takes in the row (Boolean lives in the Null mask).
size_t FesteGröße(const Spalte& s) {
    if (s.typ == kBoolean) return 0;
    const uint16_t n = FesteLänge(s.typ);
    return n ? n : s.länge;
}

// Appends the text as Access stores it: compressed when the column allows it, the text
// is short enough, no character has a zero low byte (it would read as a mode switch) and
// the result is shorter; characters up to U+00FF in one-byte runs, the others in two-byte
// runs, so that no two-byte character has a zero byte either.
void TextKodieren(TextSicht t, bool komprimieren, std::vector<uint8_t>& ziel) {
    if (komprimieren && t.size() <= kMaxKomprimiert) {
        size_t kosten = 2;
        bool einzeln = true, geht = true;
        for (const char16_t c : t) {
            if ((c & 0xFF) == 0) {
                geht = false;
                break;
            }
            const bool klein = c <= 0xFF;
            if (klein != einzeln) {
                ++kosten;
                einzeln = klein;
            }
            kosten += klein ? 1 : 2;
        }
        if (geht && kosten < 2 * t.size()) {
            const size_t basis = ziel.size();
            ziel.resize(basis + kosten);
            uint8_t* p = ziel.data() + basis;
            *p++ = 0xFF;
            *p++ = 0xFE;
            einzeln = true;
            for (const char16_t c : t) {
                const bool klein = c <= 0xFF;
                if (klein != einzeln) {
                    *p++ = 0;
                    einzeln = klein;
                }
                *p++ = static_cast<uint8_t>(c);
                if (!klein) *p++ = static_cast<uint8_t>(c >> 8);
            }
            return;
        }
    }
    const size_t basis = ziel.size();
    ziel.resize(basis + 2 * t.size());
    uint8_t* p = ziel.data() + basis;
    for (const char16_t c : t) {
        *p++ = static_cast<uint8_t>(c);
        *p++ = static_cast<uint8_t>(c >> 8);
    }
}

// A long value's bytes. Inline values come as a view into the row; the others are
// collected in `puffer`. A chain that comes back to a row it passed is damage.
std::span<const uint8_t> LangwertHolen(const Datei& datei, std::span<const uint8_t> feld,
                                       std::vector<uint8_t>& puffer) {
    if (feld.empty()) return feld;  // tolerated: a present value without its header is ""
    if (feld.size() < kLangwertKopf) Kaputt("long value header too short");
    const uint32_t kopf = le32(feld.data());
    const size_t länge = kopf & ~kArtMaske;
    const uint32_t art = kopf & kArtMaske;
    if (art == kInline) return feld.subspan(kLangwertKopf);
    Zeilenort ort = Zeilenort::AusZeiger(le32(feld.data() + 4));
    if (art == kEineZeile) {
        const RohZeile r = ZeileRoh(datei, ort.seite, ort.zeile, true);
        if (r.bytes.size() < länge) Kaputt("long value row shorter than its value");
        return r.bytes.first(länge);
    }
    if (art != 0) Kaputt("unknown long value kind");
    puffer.clear();
    // A chain holds at most one row per page of the file: a damaged length must not
    // make every read reserve megabytes.
    if (länge > static_cast<size_t>(datei.Seitenzahl()) * kSeitengröße) Kaputt("long value longer than the file");
    puffer.reserve(länge);
    std::set<uint32_t> besucht;
    while (puffer.size() < länge) {
        if (ort.seite == 0) Kaputt("long value chain ends early");
        if (!besucht.insert(ort.Zeiger()).second) Kaputt("long value chain loops");
        const RohZeile r = ZeileRoh(datei, ort.seite, ort.zeile, true);
        if (r.bytes.size() < 4) Kaputt("long value chain row too short");
        ort = Zeilenort::AusZeiger(le32(r.bytes.data()));
        const size_t stück = std::min(r.bytes.size() - 4, länge - puffer.size());
        puffer.insert(puffer.end(), r.bytes.begin() + 4, r.bytes.begin() + 4 + static_cast<ptrdiff_t>(stück));
    }
    return puffer;
}

// A row taken apart: its column count, Null mask and variable-length offset table.
class Zerlegung {
public:
    Zerlegung(const Tabellendef& def, std::span<const uint8_t> zeile) : z_(zeile) {
        if (z_.size() < 2) Kaputt("row too short");
        spalten_ = le16(z_.data());
        const size_t maske = (spalten_ + 7) / 8;
        if (z_.size() < 2 + maske) Kaputt("row too short for its Null mask");
        maske_ = z_.data() + z_.size() - maske;
        festEnde_ = z_.size() - maske;
        mitVar_ = std::any_of(def.spalten.begin(), def.spalten.end(), [](const Spalte& s) { return !s.Fest(); });
        if (!mitVar_) return;
        if (festEnde_ < 2 + 2) Kaputt("row too short for its offset table");
        varZahl_ = le16(z_.data() + festEnde_ - 2);
        if (festEnde_ < 2 + 2 + 2 * (varZahl_ + size_t{1})) Kaputt("row too short for its offset table");
        tabelle_ = festEnde_ - 2;  // entry k lies at tabelle_ - 2 (k + 1); entry varZahl_ is the end of data
        festEnde_ = tabelle_ - 2 * (varZahl_ + size_t{1});
    }

    bool Da(const Spalte& s) const { return s.nummer < spalten_ && ((maske_[s.nummer / 8] >> (s.nummer % 8)) & 1); }

    // The bytes of a present column; empty optional for a column the row is too old for.
    std::optional<std::span<const uint8_t>> Feld(const Spalte& s) const {
        if (s.Fest()) {
            const size_t größe = FesteGröße(s), anfang = 2 + size_t{s.festOffset};
            if (anfang + größe > festEnde_) Kaputt("fixed column outside its row");
            return z_.subspan(anfang, größe);
        }
        if (!mitVar_ || s.varIndex >= varZahl_) return std::nullopt;
        const size_t von = Offset(s.varIndex), bis = Offset(s.varIndex + size_t{1});
        if (von < 2 || von > bis || bis > festEnde_) Kaputt("variable column outside its row");
        return z_.subspan(von, bis - von);
    }

private:
    size_t Offset(size_t k) const { return le16(z_.data() + tabelle_ - 2 * (k + 1)); }

    std::span<const uint8_t> z_;
    size_t spalten_ = 0, festEnde_ = 0, varZahl_ = 0, tabelle_ = 0;
    const uint8_t* maske_ = nullptr;
    bool mitVar_ = false;
};

// As the existing driver (libmdb) shows a GUID: no dash between its last two groups.
Text GuidText(const uint8_t* p) {
    static const char16_t* const kZiffern = u"0123456789ABCDEF";
    static constexpr int kFolge[16] = {3, 2, 1, 0, 5, 4, 7, 6, 8, 9, 10, 11, 12, 13, 14, 15};
    Text t = u"{";
    for (int k = 0; k < 16; ++k) {
        if (k == 4 || k == 6 || k == 8) t.push_back(u'-');
        t.push_back(kZiffern[p[kFolge[k]] >> 4]);
        t.push_back(kZiffern[p[kFolge[k]] & 0xF]);
    }
    t.push_back(u'}');
    return t;
}

// Numeric: sign byte (0x80 negative), then the unscaled value as 128 bits in four
// 32-bit little-endian words, the most significant first.
double NumerischLesen(const uint8_t* p, uint8_t stellen) {
    unsigned __int128 w = 0;
    for (int k = 0; k < 4; ++k) w = (w << 32) | le32(p + 1 + 4 * k);
    std::string ziffern;
    do {
        ziffern.push_back(static_cast<char>('0' + static_cast<int>(w % 10)));
        w /= 10;
    } while (w != 0);
    while (ziffern.size() <= stellen) ziffern.push_back('0');
    std::reverse(ziffern.begin(), ziffern.end());
    if (stellen > 0) ziffern.insert(ziffern.end() - stellen, '.');
    double d = std::strtod(ziffern.c_str(), nullptr);
    return (p[0] & 0x80) ? -d : d;
}

Variante WertAus(const Datei& datei, const Spalte& s, std::span<const uint8_t> b, std::vector<uint8_t>& puffer) {
    const size_t nötig = s.Fest() || Lang(s.typ) || s.typ == kText || s.typ == kBinär ? 0 : FesteGröße(s);
    if (b.size() < nötig) Kaputt("value shorter than its type");
    const uint8_t* p = b.data();
    switch (s.typ) {
        case kByte: return Variante(p[0]);
        case kInteger: return Variante(static_cast<int16_t>(le16(p)));
        case kLong: return Variante(static_cast<int32_t>(le32(p)));
        case kCurrency: return Variante::Währung(static_cast<int64_t>(L64(p)));
        case kSingle: {
            float f;
            const uint32_t w = le32(p);
            std::memcpy(&f, &w, sizeof f);
            return Variante(f);
        }
        case kDouble:
        case kDatum: {
            double d;
            const uint64_t w = L64(p);
            std::memcpy(&d, &w, sizeof d);
            return s.typ == kDatum ? Variante::Datum(d) : Variante(d);
        }
        case kText: return Variante(TextLesen(p, b.size()));
        case kMemo: {
            const auto wert = LangwertHolen(datei, b, puffer);
            return Variante(TextLesen(wert.data(), wert.size()));
        }
        case kGuid: return Variante(GuidText(p));
        case kNumerisch: return Variante(NumerischLesen(p, s.stellen));
        default: return Variante::Null();  // Binary, OLE and unknown types have no value type here
    }
}

}  // namespace

// Jet 4 text: UCS-2LE, or after FF FE "compressed", where a 0 byte switches between one
// byte per character (the low byte) and two.
Text TextLesen(const uint8_t* p, size_t n) {
    Text t;
    size_t i = 0;
    if (n >= 2 && p[0] == 0xFF && p[1] == 0xFE) {
        bool komprimiert = true;
        i = 2;
        t.reserve(n - 2);
        while (i < n) {
            if (p[i] == 0) {
                komprimiert = !komprimiert;
                ++i;
            } else if (komprimiert) {
                t.push_back(static_cast<char16_t>(p[i++]));
            } else if (i + 1 < n) {
                t.push_back(static_cast<char16_t>(p[i] | (p[i + 1] << 8)));
                i += 2;
            } else {
                break;
            }
        }
        return t;
    }
    t.reserve(n / 2);
    for (; i + 1 < n; i += 2) t.push_back(static_cast<char16_t>(p[i] | (p[i + 1] << 8)));
    return t;
}

std::span<const uint8_t> ZeileAn(const Datei& datei, Zeilenort ort) {
    const RohZeile r = ZeileRoh(datei, ort.seite, ort.zeile, false);
    if (r.eintrag & kGelöscht) return {};
    if (!(r.eintrag & kVerweis)) return r.bytes;
    if (r.bytes.size() < 4) Kaputt("overflow row too short");
    // The row moved: its place holds a pointer to the row's data (marked deleted there).
    const Zeilenort ziel = Zeilenort::AusZeiger(le32(r.bytes.data()));
    const RohZeile z = ZeileRoh(datei, ziel.seite, ziel.zeile, true);
    if (z.eintrag & kVerweis) Kaputt("overflow row points to another overflow row");
    return z.bytes;
}

void ZeilenDurchgehen(const Datei& datei, const Tabellendef& def,
                      const std::function<void(Zeilenort, std::span<const uint8_t>)>& je) {
    // Reading a map changes nothing; the map class only lacks a const form.
    const Nutzungskarte karte(const_cast<Datei&>(datei), def.belegt);
    for (const uint32_t nr : karte.Seiten()) {
        if (nr == 0 || nr >= datei.Seitenzahl()) Kaputt("owned page " + std::to_string(nr) + " past the end");
        const uint8_t* s = datei.Seite(nr);
        // Long-value pages carry "LVAL" where data pages name their table.
        if (s[0] != static_cast<uint8_t>(Seitentyp::Daten) || le32(s + kTdefStelle) != def.seite) continue;
        const size_t zahl = le16(s + kZeilenzahlStelle);
        if (zahl > kMaxZeilen + 1) Kaputt("too many rows on page " + std::to_string(nr));
        for (size_t z = 0; z < zahl; ++z) {
            if (le16(s + kZeilentabelle + 2 * z) & kGelöscht) continue;
            const Zeilenort ort{nr, static_cast<uint8_t>(z)};
            je(ort, ZeileAn(datei, ort));
        }
    }
}

std::vector<Variante> ZeileLesen(const Datei& datei, const Tabellendef& def, std::span<const uint8_t> zeile) {
    const Zerlegung z(def, zeile);
    std::vector<Variante> werte;
    werte.reserve(def.spalten.size());
    std::vector<uint8_t> puffer;
    for (const Spalte& s : def.spalten) {
        const bool da = z.Da(s);
        if (s.typ == kBoolean) {
            werte.emplace_back(da);  // Jet keeps a Yes/No in the Null mask
            continue;
        }
        const auto feld = da ? z.Feld(s) : std::nullopt;
        werte.push_back(feld ? WertAus(datei, s, *feld, puffer) : Variante::Null());
    }
    return werte;
}

std::optional<std::vector<uint8_t>> RohwertLesen(const Datei& datei, const Tabellendef& def,
                                                 std::span<const uint8_t> zeile, size_t spalte) {
    const Spalte& s = def.spalten.at(spalte);
    const Zerlegung z(def, zeile);
    const bool da = z.Da(s);
    if (s.typ == kBoolean) return std::vector<uint8_t>{static_cast<uint8_t>(da ? 1 : 0)};
    if (!da) return std::nullopt;
    const auto feld = z.Feld(s);
    if (!feld) return std::nullopt;
    if (!Lang(s.typ)) return std::vector<uint8_t>(feld->begin(), feld->end());
    std::vector<uint8_t> puffer;
    const auto wert = LangwertHolen(datei, *feld, puffer);
    if (wert.data() == puffer.data() && !puffer.empty()) return puffer;
    return std::vector<uint8_t>(wert.begin(), wert.end());
}

// ---------------------------------------------------------------------------------------
// Writing

namespace {

[[noreturn]] void Zuviel(const Spalte& s, const char16_t* typ) {
    throw NichtSchreibbar(u"Der Wert im Feld \"" + s.name + u"\" passt nicht in den Feldtyp " + typ + u".");
}

double Zahl(const Spalte& s, const Variante& v) {
    if (!v.istText()) return v.zahl();
    try {
        return v.alsDouble();
    } catch (...) {
        throw NichtSchreibbar(u"Der Text im Feld \"" + s.name + u"\" ist keine Zahl.");
    }
}

// Whole numbers round half to even, as the engine converts them.
int64_t Ganz(const Spalte& s, const Variante& v, int64_t min, int64_t max, const char16_t* typ) {
    const double d = std::nearbyint(Zahl(s, v));
    if (!std::isfinite(d) || d < static_cast<double>(min) || d > static_cast<double>(max)) Zuviel(s, typ);
    return static_cast<int64_t>(d);
}

void Anhängen(std::vector<uint8_t>& aus, uint64_t w, size_t bytes) {
    for (size_t k = 0; k < bytes; ++k) aus.push_back(static_cast<uint8_t>(w >> (8 * k)));
}

int HexWert(char16_t c) {
    if (c >= u'0' && c <= u'9') return c - u'0';
    if (c >= u'a' && c <= u'f') return c - u'a' + 10;
    if (c >= u'A' && c <= u'F') return c - u'A' + 10;
    return -1;
}

void GuidKodieren(const Spalte& s, TextSicht t, std::vector<uint8_t>& aus) {
    static constexpr int kFolge[16] = {3, 2, 1, 0, 5, 4, 7, 6, 8, 9, 10, 11, 12, 13, 14, 15};
    if (t.size() >= 2 && t.front() == u'{' && t.back() == u'}') t = t.substr(1, t.size() - 2);
    uint8_t b[16] = {};
    size_t k = 0, i = 0;
    for (; i < t.size() && k < 16; ++i) {
        if (t[i] == u'-' && (k == 4 || k == 6 || k == 8 || k == 10)) continue;
        const int hoch = HexWert(t[i]), tief = i + 1 < t.size() ? HexWert(t[i + 1]) : -1;
        if (hoch < 0 || tief < 0) break;
        b[kFolge[k++]] = static_cast<uint8_t>(hoch << 4 | tief);
        ++i;
    }
    if (k != 16 || i != t.size())
        throw NichtSchreibbar(u"Der Wert im Feld \"" + s.name + u"\" ist keine gültige Replikations-ID.");
    aus.insert(aus.end(), b, b + 16);
}

void NumerischKodieren(const Spalte& s, const Variante& v, std::vector<uint8_t>& aus) {
    const double d = Zahl(s, v);
    const double skaliert = std::nearbyint(std::fabs(d) * std::pow(10.0, s.stellen));
    const double grenze = std::pow(10.0, std::max<int>(1, std::min<int>(s.genauigkeit ? s.genauigkeit : 18, 28)));
    if (!std::isfinite(skaliert) || skaliert >= grenze) Zuviel(s, u"Dezimal");
    auto w = static_cast<unsigned __int128>(skaliert);
    aus.push_back(d < 0 && skaliert != 0 ? 0x80 : 0x00);
    for (int k = 3; k >= 0; --k) Anhängen(aus, static_cast<uint32_t>(w >> (32 * k)), 4);
}

// The bytes of one value as the row (or a long-value page) stores them; false for Null.
bool Kodieren(const Spalte& s, const Variante& v, std::vector<uint8_t>& aus) {
    aus.clear();
    if (v.istNull() || v.istEmpty()) return false;
    switch (s.typ) {
        case kByte: aus.push_back(static_cast<uint8_t>(Ganz(s, v, 0, 255, u"Byte"))); return true;
        case kInteger: Anhängen(aus, static_cast<uint64_t>(Ganz(s, v, -32768, 32767, u"Integer")), 2); return true;
        case kLong:
            Anhängen(aus,
                     static_cast<uint64_t>(
                         Ganz(s, v, std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max(), u"Long")),
                     4);
            return true;
        case kCurrency: {
            int64_t w;
            if (v.typ() == VTyp::Currency) {
                w = v.währungRoh();
            } else {
                const double d = std::nearbyint(Zahl(s, v) * 10000.0);
                if (!std::isfinite(d) || std::fabs(d) >= 9.2e18) Zuviel(s, u"Währung");
                w = static_cast<int64_t>(d);
            }
            Anhängen(aus, static_cast<uint64_t>(w), 8);
            return true;
        }
        case kSingle: {
            const double d = Zahl(s, v);
            if (std::isfinite(d) && std::fabs(d) > std::numeric_limits<float>::max()) Zuviel(s, u"Single");
            const auto f = static_cast<float>(d);
            uint32_t w;
            std::memcpy(&w, &f, sizeof w);
            Anhängen(aus, w, 4);
            return true;
        }
        case kDouble:
        case kDatum: {
            if (s.typ == kDatum && v.istText())
                throw NichtSchreibbar(u"Der Text im Feld \"" + s.name + u"\" ist kein Datum.");
            const double d = Zahl(s, v);
            uint64_t w;
            std::memcpy(&w, &d, sizeof w);
            Anhängen(aus, w, 8);
            return true;
        }
        case kText:
        case kMemo: {
            Text eigener;
            const Text* t = &v.text();
            if (!v.istText()) {
                eigener = v.alsText();
                t = &eigener;
            }
            if (s.typ == kText && t->size() > s.länge / 2u)
                throw NichtSchreibbar(u"Der Text im Feld \"" + s.name + u"\" ist mit " +
                                      ausUtf8(std::to_string(t->size())) + u" Zeichen länger als die " +
                                      ausUtf8(std::to_string(s.länge / 2u)) + u" Zeichen, die das Feld fasst.");
            if (s.typ == kMemo && t->size() > (size_t{1} << 29))
                throw NichtSchreibbar(u"Der Text im Feld \"" + s.name + u"\" ist zu lang für ein Memofeld.");
            TextKodieren(*t, (s.flagsErw & 0x01) && !s.Fest(), aus);
            if (s.Fest()) aus.resize(s.länge, 0);
            return true;
        }
        case kGuid:
            if (!v.istText()) throw NichtSchreibbar(u"Der Wert im Feld \"" + s.name + u"\" ist keine Replikations-ID.");
            GuidKodieren(s, v.text(), aus);
            return true;
        case kNumerisch: NumerischKodieren(s, v, aus); return true;
        default: return false;  // Binary and OLE only as raw bytes
    }
}

// Room for a row of `größe` bytes on a data page, judged by its free space and row table.
bool Passt(const uint8_t* s, size_t größe) {
    const size_t zahl = le16(s + kZeilenzahlStelle);
    if (zahl >= kMaxZeilen || le16(s + kFreiStelle) < größe + 2) return false;
    const size_t ende = zahl == 0 ? kSeitengröße : (le16(s + kZeilentabelle + 2 * (zahl - 1)) & kOffsetMaske);
    return ende >= größe && ende - größe >= kZeilentabelle + 2 * (zahl + 1);
}

// Puts a row made of `a` and then `b` on the page below its last row.
uint8_t Ablegen(uint8_t* s, std::span<const uint8_t> a, std::span<const uint8_t> b) {
    const size_t zahl = le16(s + kZeilenzahlStelle), größe = a.size() + b.size();
    const size_t ende = zahl == 0 ? kSeitengröße : (le16(s + kZeilentabelle + 2 * (zahl - 1)) & kOffsetMaske);
    const size_t anfang = ende - größe;
    if (!a.empty()) std::memcpy(s + anfang, a.data(), a.size());
    if (!b.empty()) std::memcpy(s + anfang + a.size(), b.data(), b.size());
    setze16(s + kZeilentabelle + 2 * zahl, static_cast<uint16_t>(anfang));
    setze16(s + kZeilenzahlStelle, static_cast<uint16_t>(zahl + 1));
    setze16(s + kFreiStelle, static_cast<uint16_t>(le16(s + kFreiStelle) - größe - 2));
    return static_cast<uint8_t>(zahl);
}

}  // namespace

struct Zeilenschreiber::Zustand {
    // The pages one long-value column fills (with its maps where the definition has them).
    struct Langspalte {
        std::optional<Nutzungskarte> belegt, frei;
        uint32_t seite = 0;  // page for values of one row, 0: none yet
        bool seiteFrei = false;

        // A value that fits one long-value row: onto the column's page, a fresh one when full.
        Zeilenort EinzelnAblegen(Datei& datei, std::span<const uint8_t> wert);
        // A longer value as a chain of rows on fresh pages; returns the first page.
        uint32_t KetteAblegen(Datei& datei, std::span<const uint8_t> wert);
    };

    Zustand(Datei& d, Tabellendef& t) : belegt(d, t.belegt), frei(d, t.frei) {}

    Nutzungskarte belegt, frei;
    bool seiteFrei = false;  // the data page being filled is in the free-space map

    uint16_t spaltenzahl = 0;  // columns a row carries (deleted ones included)
    size_t festEnde = 0, varZahl = 0, maske = 0;
    std::vector<size_t> var;  // variable columns by their place in the offset table
    std::vector<int> langNr;  // per column: its Langspalte or -1
    std::vector<Langspalte> lang;
    std::vector<size_t> autoSpalten;  // auto-increment Long columns

    // Reused from row to row.
    std::vector<std::vector<uint8_t>> daten;
    std::vector<uint8_t> da, inline_;
    std::vector<std::array<uint8_t, kLangwertKopf>> kopf;
    std::vector<uint8_t> zeile;
};

Zeilenschreiber::Zeilenschreiber(Datei& datei, Tabellendef& def)
    : datei_(datei), def_(def), z_(std::make_unique<Zustand>(datei, def)) {
    Zustand& z = *z_;
    const size_t n = def.spalten.size();
    z.daten.resize(n);
    z.da.resize(n);
    z.inline_.resize(n);
    z.kopf.resize(n);
    z.langNr.assign(n, -1);
    size_t höchsteNummer = 0;
    for (size_t i = 0; i < n; ++i) {
        const Spalte& s = def.spalten[i];
        höchsteNummer = std::max<size_t>(höchsteNummer, s.nummer + size_t{1});
        if (s.Fest()) {
            z.festEnde = std::max(z.festEnde, s.festOffset + FesteGröße(s));
        } else {
            z.var.push_back(i);
            z.varZahl = std::max<size_t>(z.varZahl, s.varIndex + size_t{1});
        }
        if (s.Auto() && s.typ == kLong) z.autoSpalten.push_back(i);
        if (!Lang(s.typ)) continue;
        z.langNr[i] = static_cast<int>(z.lang.size());
        Zustand::Langspalte& l = z.lang.emplace_back();
        // Access keeps a long-value column's pages in maps of its own (after the index names
        // of the definition). They only keep the pages in order: without both, the values are
        // written all the same.
        if (s.lvBelegt.seite == 0 || s.lvFrei.seite == 0) continue;
        try {
            l.belegt.emplace(datei, s.lvBelegt);
            l.frei.emplace(datei, s.lvFrei);
        } catch (const Formatfehler&) {
            l.belegt.reset();
            l.frei.reset();
            continue;
        }
        const auto freie = l.frei->Seiten();
        const auto eigene = l.belegt->Seiten();
        for (auto e = eigene.rbegin(); e != eigene.rend(); ++e) {
            if (*e >= datei.Seitenzahl() || !std::binary_search(freie.begin(), freie.end(), *e)) continue;
            const uint8_t* p = datei.Seite(*e);
            if (p[0] == static_cast<uint8_t>(Seitentyp::Daten) && std::memcmp(p + kTdefStelle, kLval, 4) == 0) {
                l.seite = *e;
                l.seiteFrei = true;
                break;
            }
        }
    }
    std::sort(z.var.begin(), z.var.end(),
              [&](size_t a, size_t b) { return def.spalten[a].varIndex < def.spalten[b].varIndex; });
    // A column numbered 65535 would need a count the row cannot hold (the mask would
    // come out empty and the row be written past its end).
    const size_t spaltenzahl = std::max<size_t>(def.nächsteSpalte, höchsteNummer);
    if (spaltenzahl > UINT16_MAX)
        throw NichtSchreibbar(u"Die Tabelle hat mehr Spaltennummern, als eine Zeile der Datei fassen kann.");
    z.spaltenzahl = static_cast<uint16_t>(spaltenzahl);
    z.maske = (z.spaltenzahl + size_t{7}) / 8;

    // Go on where the table has room, as Access does: its last owned page with free space.
    const auto freie = z.frei.Seiten();
    const auto eigene = z.belegt.Seiten();
    for (auto e = eigene.rbegin(); e != eigene.rend(); ++e) {
        if (*e >= datei.Seitenzahl() || !std::binary_search(freie.begin(), freie.end(), *e)) continue;
        const uint8_t* p = datei.Seite(*e);
        if (p[0] == static_cast<uint8_t>(Seitentyp::Daten) && le32(p + kTdefStelle) == def.seite) {
            seite_ = *e;
            z.seiteFrei = true;
            break;
        }
    }
}

Zeilenschreiber::~Zeilenschreiber() = default;

namespace {

uint32_t NeueSeite(Datei& datei, const uint8_t (*lval)[4], uint32_t tdef) {
    const uint32_t nr = datei.SeiteAnlegen();
    uint8_t* s = datei.Seite(nr);
    s[0] = static_cast<uint8_t>(Seitentyp::Daten);
    s[1] = 1;
    setze16(s + kFreiStelle, kAnfangsfrei);
    if (lval) std::memcpy(s + kTdefStelle, *lval, 4);
    else setze32(s + kTdefStelle, tdef);
    setze32(s + 8, 0);
    setze16(s + kZeilenzahlStelle, 0);
    return nr;
}

}  // namespace

Zeilenort Zeilenschreiber::Zustand::Langspalte::EinzelnAblegen(Datei& datei, std::span<const uint8_t> wert) {
    if (seite == 0 || !Passt(datei.Seite(seite), wert.size())) {
        if (seite != 0 && seiteFrei && frei) frei->Entfernen(seite);
        seite = NeueSeite(datei, &kLval, 0);
        if (belegt) belegt->Hinzufügen(seite);
        if (frei) frei->Hinzufügen(seite);
        seiteFrei = frei.has_value();
    }
    return {seite, Ablegen(datei.Seite(seite), wert, {})};
}

uint32_t Zeilenschreiber::Zustand::Langspalte::KetteAblegen(Datei& datei, std::span<const uint8_t> wert) {
    // Each row starts with the pointer to the next; all on fresh pages, which Access keeps
    // out of the free-space map.
    constexpr size_t kStück = kMaxLangwertZeile - 4;
    const uint32_t erste = NeueSeite(datei, &kLval, 0);
    uint32_t seite = erste;
    for (size_t von = 0; von < wert.size(); von += kStück) {
        if (belegt) belegt->Hinzufügen(seite);
        const size_t stück = std::min(kStück, wert.size() - von);
        const uint32_t nächste = von + stück < wert.size() ? NeueSeite(datei, &kLval, 0) : 0;
        uint8_t zeiger[4];
        setze32(zeiger, nächste == 0 ? 0 : Zeilenort{nächste, 0}.Zeiger());
        Ablegen(datei.Seite(seite), zeiger, wert.subspan(von, stück));
        seite = nächste;
    }
    return erste;
}

namespace {

NichtSchreibbar ZeileZuLang(size_t bytes) {
    return NichtSchreibbar(u"Eine Zeile der Tabelle ist mit " + ausUtf8(std::to_string(bytes)) +
                           u" Bytes länger als die 4060 Bytes, die auf eine Datenseite passen; die Tabelle "
                           u"wurde nicht geschrieben.");
}

}  // namespace

Zeilenort Zeilenschreiber::Einfügen(std::vector<Variante>& werte, const Rohwerte& roh) {
    if (werte.size() != def_.spalten.size())
        throw std::invalid_argument("jet4: row has another number of values than the table");
    const uint32_t letzter = autoWerteVergeben(werte, roh);
    size_t größe = werteKodieren(werte, roh);
    if (größe > kMaxZeile) throw ZeileZuLang(größe);
    größe = langwerteEinbetten(größe);
    // Nothing can fail now but the file itself.
    langwerteSchreiben();
    zeileBauen(größe);
    const Zeilenort ort = zeileAblegen(größe);
    ++def_.zeilen;
    def_.autoWert = letzter;
    return ort;
}

// Auto-increment numbers first: the value a row gets is what it stores. The definition
// keeps the last number handed out (Access files say so: 3 rows, IDs 1 to 3, counter 3);
// the caller stores it only once the row is written.
uint32_t Zeilenschreiber::autoWerteVergeben(std::vector<Variante>& werte, const Rohwerte& roh) const {
    uint32_t letzter = def_.autoWert;
    for (const size_t i : z_->autoSpalten) {
        Variante& v = werte[i];
        if (roh.count(i)) continue;
        if (v.istNull() || v.istEmpty()) {
            if (letzter >= static_cast<uint32_t>(std::numeric_limits<int32_t>::max()))
                throw NichtSchreibbar(u"Der AutoWert des Felds \"" + def_.spalten[i].name + u"\" ist ausgeschöpft.");
            v = Variante(static_cast<int32_t>(++letzter));
        } else {
            const int64_t w = Ganz(def_.spalten[i], v, std::numeric_limits<int32_t>::min(),
                                   std::numeric_limits<int32_t>::max(), u"Long");
            if (w > static_cast<int64_t>(letzter)) letzter = static_cast<uint32_t>(w);
        }
    }
    return letzter;
}

// Every value's bytes; returns the row's size with long values as references.
size_t Zeilenschreiber::werteKodieren(const std::vector<Variante>& werte, const Rohwerte& roh) {
    Zustand& z = *z_;
    size_t größe = 2 + z.festEnde + z.maske + (z.varZahl ? 4 + 2 * z.varZahl : 0);
    for (size_t i = 0; i < def_.spalten.size(); ++i) {
        const Spalte& s = def_.spalten[i];
        const auto r = roh.find(i);
        z.inline_[i] = 0;
        if (s.typ == kBoolean) {
            z.da[i] = r != roh.end() ? (!r->second.empty() && r->second[0] != 0)
                                     : (!werte[i].istNull() && !werte[i].istEmpty() && werte[i].alsBool());
            continue;
        }
        if (r != roh.end()) {
            z.daten[i].assign(r->second.begin(), r->second.end());
            z.da[i] = 1;
            if (s.Fest() && z.daten[i].size() != FesteGröße(s))
                throw NichtSchreibbar(u"Der Wert im Feld \"" + s.name + u"\" hat nicht die Länge des Feldtyps.");
        } else {
            z.da[i] = Kodieren(s, werte[i], z.daten[i]);
        }
        if (z.da[i] && !s.Fest()) größe += Lang(s.typ) ? kLangwertKopf : z.daten[i].size();
    }
    return größe;
}

// Short long values stay in the row while it has room, in the order of the offset table;
// returns the row's size with them.
size_t Zeilenschreiber::langwerteEinbetten(size_t größe) {
    Zustand& z = *z_;
    for (const size_t i : z.var) {
        if (!z.da[i] || !Lang(def_.spalten[i].typ)) continue;
        const size_t länge = z.daten[i].size();
        if (länge > kLängenGrenze)
            throw NichtSchreibbar(u"Der Wert im Feld \"" + def_.spalten[i].name + u"\" ist zu lang für die Datei.");
        if (länge <= kMaxInline && größe + länge <= kMaxZeile) {
            z.inline_[i] = 1;
            größe += länge;
        }
    }
    return größe;
}

// The long values that leave the row go to their pages; every long value gets its
// reference for the row.
void Zeilenschreiber::langwerteSchreiben() {
    Zustand& z = *z_;
    for (const size_t i : z.var) {
        if (!z.da[i] || !Lang(def_.spalten[i].typ)) continue;
        auto& kopf = z.kopf[i];
        const auto länge = static_cast<uint32_t>(z.daten[i].size());
        std::fill(kopf.begin(), kopf.end(), 0);
        if (z.inline_[i]) {
            setze32(kopf.data(), länge | kInline);
            continue;
        }
        Zustand::Langspalte& l = z.lang[static_cast<size_t>(z.langNr[i])];
        const std::span<const uint8_t> wert(z.daten[i]);
        if (wert.size() <= kMaxLangwertZeile) {
            const Zeilenort ort = l.EinzelnAblegen(datei_, wert);
            setze32(kopf.data(), länge | kEineZeile);
            setze32(kopf.data() + 4, ort.Zeiger());
        } else {
            const uint32_t erste = l.KetteAblegen(datei_, wert);
            setze32(kopf.data(), länge);
            setze32(kopf.data() + 4, Zeilenort{erste, 0}.Zeiger());
        }
    }
}

// The row: column count, fixed data, variable data, end of data, offsets (last first),
// their count, Null mask.
void Zeilenschreiber::zeileBauen(size_t größe) {
    Zustand& z = *z_;
    std::vector<uint8_t>& b = z.zeile;
    b.assign(größe, 0);
    setze16(b.data(), z.spaltenzahl);
    uint8_t* maske = b.data() + größe - z.maske;
    for (size_t i = 0; i < def_.spalten.size(); ++i) {
        const Spalte& s = def_.spalten[i];
        if (!z.da[i]) continue;
        maske[s.nummer / 8] = static_cast<uint8_t>(maske[s.nummer / 8] | (1u << (s.nummer % 8)));
        // A broken definition may give a fixed column no bytes or more than its place.
        const size_t n = std::min(z.daten[i].size(), FesteGröße(s));
        if (s.Fest() && s.typ != kBoolean && n > 0) std::memcpy(b.data() + 2 + s.festOffset, z.daten[i].data(), n);
    }
    if (!z.varZahl) return;
    size_t pos = 2 + z.festEnde, eintrag = 0;
    uint8_t* tabelle = maske - 2;  // entry k lies at tabelle - 2 (k + 1)
    setze16(tabelle, static_cast<uint16_t>(z.varZahl));
    for (const size_t i : z.var) {
        const Spalte& s = def_.spalten[i];
        // Places of deleted columns get an empty value.
        for (; eintrag <= s.varIndex; ++eintrag) setze16(tabelle - 2 * (eintrag + 1), static_cast<uint16_t>(pos));
        if (!z.da[i]) continue;
        if (Lang(s.typ)) {
            std::memcpy(b.data() + pos, z.kopf[i].data(), kLangwertKopf);
            pos += kLangwertKopf;
            if (!z.inline_[i]) continue;
        }
        if (!z.daten[i].empty()) std::memcpy(b.data() + pos, z.daten[i].data(), z.daten[i].size());
        pos += z.daten[i].size();
    }
    for (; eintrag <= z.varZahl; ++eintrag) setze16(tabelle - 2 * (eintrag + 1), static_cast<uint16_t>(pos));
}

// Onto the page being filled, or a new one when it has no room left.
Zeilenort Zeilenschreiber::zeileAblegen(size_t größe) {
    Zustand& z = *z_;
    if (seite_ == 0 || !Passt(datei_.Seite(seite_), größe)) {
        if (seite_ != 0 && z.seiteFrei) z.frei.Entfernen(seite_);
        seite_ = NeueSeite(datei_, nullptr, def_.seite);
        z.belegt.Hinzufügen(seite_);
        z.frei.Hinzufügen(seite_);
        z.seiteFrei = true;
    }
    return {seite_, Ablegen(datei_.Seite(seite_), z.zeile, {})};
}

// ---------------------------------------------------------------------------------------
// Deleting

namespace {

bool OhneLebendeZeile(const uint8_t* s) {
    const size_t zahl = std::min<size_t>(le16(s + kZeilenzahlStelle), kMaxZeilen + 1);
    for (size_t z = 0; z < zahl; ++z)
        if (!(le16(s + kZeilentabelle + 2 * z) & kGelöscht)) return false;
    return true;
}

}  // namespace

// Access sets both flag bits on a row it deletes; libmdb skips a row only by the second.
void AlsGelöschtMarkieren(Datei& datei, Zeilenort ort) {
    uint8_t* s = datei.Seite(ort.seite);
    if (s[0] != static_cast<uint8_t>(Seitentyp::Daten) || ort.zeile >= le16(s + kZeilenzahlStelle))
        Kaputt("row to flag is not there");
    uint8_t* eintrag = s + kZeilentabelle + 2 * size_t{ort.zeile};
    setze16(eintrag, static_cast<uint16_t>(le16(eintrag) | kGelöscht | kVerweis));
}

void ZeileLöschen(Datei& datei, Tabellendef& def, Zeilenort ort) {
    const RohZeile kopf = ZeileRoh(datei, ort.seite, ort.zeile, false);
    if (kopf.eintrag & kGelöscht) Kaputt("row to delete is deleted already");
    std::span<const uint8_t> bytes = kopf.bytes;
    if (kopf.eintrag & kVerweis) bytes = ZeileAn(datei, ort);  // the moved row is flagged already

    // The rows of its long values, each with the column it belongs to.
    std::vector<std::pair<Zeilenort, size_t>> lang;
    const Zerlegung z(def, bytes);
    for (size_t i = 0; i < def.spalten.size(); ++i) {
        const Spalte& s = def.spalten[i];
        if (!Lang(s.typ) || !z.Da(s)) continue;
        const auto feld = z.Feld(s);
        if (!feld || feld->size() < kLangwertKopf) continue;
        const uint32_t k = le32(feld->data());
        const uint32_t art = k & kArtMaske;
        if (art == kInline) continue;
        Zeilenort l = Zeilenort::AusZeiger(le32(feld->data() + 4));
        if (art == kEineZeile) {
            ZeileRoh(datei, l.seite, l.zeile, false);
            lang.emplace_back(l, i);
            continue;
        }
        if (art != 0) Kaputt("unknown long value kind");
        std::set<uint32_t> besucht;
        while (l.seite != 0) {
            if (!besucht.insert(l.Zeiger()).second) Kaputt("long value chain loops");
            const RohZeile r = ZeileRoh(datei, l.seite, l.zeile, false);
            if (r.eintrag & kGelöscht) Kaputt("long value row deleted already");
            if (r.bytes.size() < 4) Kaputt("long value chain row too short");
            lang.emplace_back(l, i);
            l = Zeilenort::AusZeiger(le32(r.bytes.data()));
        }
    }

    AlsGelöschtMarkieren(datei, ort);
    for (const auto& [l, i] : lang) AlsGelöschtMarkieren(datei, l);
    std::set<uint32_t> erledigt;
    for (const auto& [l, i] : lang) {
        if (!erledigt.insert(l.seite).second || !OhneLebendeZeile(datei.Seite(l.seite))) continue;
        // Out of whichever maps of the table list it, then free.
        const Spalte& s = def.spalten[i];
        for (const Zeilenort karte : {s.lvBelegt, s.lvFrei, def.belegt, def.frei}) {
            if (karte.seite == 0) continue;
            Nutzungskarte k(datei, karte);
            if (k.Enthält(l.seite)) k.Entfernen(l.seite);
        }
        datei.SeiteFreigeben(l.seite);
    }
    if (def.zeilen > 0) --def.zeilen;
}

Zeilenort ZeileErsetzen(Datei& datei, Tabellendef& def, Zeilenort ort,
                        const std::function<void(std::vector<Variante>& werte, Rohwerte& roh)>& ändern) {
    const auto bytes = ZeileAn(datei, ort);
    if (bytes.empty()) Kaputt("row to replace is deleted");
    std::vector<Variante> werte = ZeileLesen(datei, def, bytes);
    Rohwerte roh;
    for (size_t i = 0; i < def.spalten.size(); ++i) {
        const uint8_t typ = def.spalten[i].typ;
        if (typ != kOle && typ != kBinär && typ != kGuid && typ != kNumerisch) continue;
        if (auto w = RohwertLesen(datei, def, bytes, i)) roh[i] = std::move(*w);
        else werte[i] = Variante::Null();
    }
    ändern(werte, roh);
    Zeilenort neu;
    {
        Zeilenschreiber schreiber(datei, def);
        neu = schreiber.Einfügen(werte, roh);
    }
    ZeileLöschen(datei, def, ort);
    return neu;
}

}  // namespace dao::speicher::access::jet4
