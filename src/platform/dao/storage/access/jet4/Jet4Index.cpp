// Format facts: mdbtools' HACKING notes and the Apache-licensed Jackcess library.
#include "platform/dao/storage/access/jet4/Jet4Index.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <compare>
#include <cstring>
#include <span>
#include <stdexcept>
#include <string>
#include <unordered_set>

#include "platform/dao/storage/access/jet4/Jet4Sortierung.h"

namespace dao::speicher::access::jet4 {
namespace {

// Flag byte before each column's bytes.
constexpr uint8_t kAufsteigend = 0x7F, kAbsteigend = 0x80, kNullAuf = 0x00, kNullAb = 0xFF;
constexpr uint8_t kOhneNull = 0x02;

// Index page header (both kinds).
constexpr size_t kFrei = 2, kTdef = 4, kVor = 12, kNach = 16, kSchwanz = 20, kPräfix = 24;
constexpr size_t kMaske = 27, kDaten = 480;
static_assert(kDaten + kIndexNutzraum == kSeitengröße);

uint16_t Lies16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }
uint32_t Lies32(const uint8_t* p) { return p[0] | p[1] << 8 | p[2] << 16 | static_cast<uint32_t>(p[3]) << 24; }
void Schreib16(uint8_t* p, size_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}
void Schreib32(uint8_t* p, uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}

// Key values are big-endian so that bytes compare as numbers do.
void GroßAnhängen(std::vector<uint8_t>& ziel, uint64_t v, int bytes) {
    for (int i = bytes - 1; i >= 0; --i) ziel.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

void Invertieren(std::vector<uint8_t>& v, size_t ab) {
    for (size_t i = ab; i < v.size(); ++i) v[i] = static_cast<uint8_t>(~v[i]);
}

Text Spaltenname(const Spalte& s) { return u"\"" + s.name + u"\""; }

[[noreturn]] void Unpassend(const Spalte& s) {
    throw NichtSchreibbar(u"Ein Wert passt nicht in die indizierte Spalte " + Spaltenname(s) +
                          u"; Purivo schreibt keinen Index, der nicht zu den Zeilen passt.");
}

int64_t Ganzzahl(const Variante& w, const Spalte& s, int64_t min, int64_t max) {
    double d;
    if (w.typ() == VTyp::Currency) d = static_cast<double>(w.währungRoh()) / 10000.0;
    else if (w.istZahl() || w.istDatum()) d = w.zahl();
    else Unpassend(s);
    if (!(d >= static_cast<double>(min) && d <= static_cast<double>(max)) || d != std::floor(d)) Unpassend(s);
    return static_cast<int64_t>(d);
}

double Kommazahl(const Variante& w, const Spalte& s) {
    if (w.typ() == VTyp::Currency) return static_cast<double>(w.währungRoh()) / 10000.0;
    if (w.istZahl() || w.istDatum()) return w.zahl();
    Unpassend(s);
}

// Two's complement with the sign bit flipped sorts as unsigned bytes.
void GanzAnhängen(std::vector<uint8_t>& ziel, int64_t v, int bytes, bool aufsteigend) {
    const size_t ab = ziel.size();
    GroßAnhängen(ziel, static_cast<uint64_t>(v), bytes);
    ziel[ab] ^= 0x80;
    if (!aufsteigend) Invertieren(ziel, ab);
}

// IEEE bits: positive numbers get the sign bit set, negative ones are inverted whole.
void FließAnhängen(std::vector<uint8_t>& ziel, uint64_t bits, int bytes, bool aufsteigend) {
    const size_t ab = ziel.size();
    GroßAnhängen(ziel, bits, bytes);
    const bool negativ = ziel[ab] & 0x80;
    if (!negativ) ziel[ab] ^= 0x80;
    if (negativ == aufsteigend) Invertieren(ziel, ab);
}

// Binary data in groups of eight bytes, each followed by a length byte: 9 for "more
// follows", else the bytes used in the last group (padded with zeros). Descending
// inverts all but the 9s.
void BinärAnhängen(std::vector<uint8_t>& ziel, std::span<const uint8_t> daten, bool aufsteigend) {
    size_t pos = 0;
    while (daten.size() - pos > 8) {
        const size_t ab = ziel.size();
        const auto von = daten.begin() + static_cast<ptrdiff_t>(pos);
        ziel.insert(ziel.end(), von, von + 8);
        if (!aufsteigend) Invertieren(ziel, ab);
        ziel.push_back(9);
        pos += 8;
    }
    if (pos < daten.size()) {
        const size_t ab = ziel.size();
        const size_t rest = daten.size() - pos;
        ziel.insert(ziel.end(), daten.begin() + static_cast<ptrdiff_t>(pos), daten.end());
        ziel.insert(ziel.end(), 8 - rest, 0);
        ziel.push_back(static_cast<uint8_t>(rest));
        if (!aufsteigend) Invertieren(ziel, ab);
    }
}

// "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}" to its 16 bytes in the order written.
std::vector<uint8_t> GuidAusText(const Variante& w, const Spalte& s) {
    if (!w.istText()) Unpassend(s);
    const Text& t = w.text();
    static constexpr char16_t kMuster[] = u"{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}";
    if (t.size() != std::size(kMuster) - 1) Unpassend(s);
    std::vector<uint8_t> bytes;
    int hälfte = -1;
    for (size_t i = 0; i < t.size(); ++i) {
        const char16_t c = t[i];
        if (kMuster[i] != u'X') {
            if (c != kMuster[i]) Unpassend(s);
            continue;
        }
        int z = c >= u'0' && c <= u'9'   ? c - u'0'
                : c >= u'A' && c <= u'F' ? c - u'A' + 10
                : c >= u'a' && c <= u'f' ? c - u'a' + 10
                                         : -1;
        if (z < 0) Unpassend(s);
        if (hälfte < 0) {
            hälfte = z;
        } else {
            bytes.push_back(static_cast<uint8_t>(hälfte * 16 + z));
            hälfte = -1;
        }
    }
    return bytes;
}

bool Textspalte(const Spalte& s) { return s.typ == kText; }

void TextspaltePrüfen(const Spalte& s) {
    if (s.sortierung != kSortierungAllgemein || s.sortversion != 0)
        throw NichtSchreibbar(u"Die indizierte Spalte " + Spaltenname(s) + u" verwendet die Sortierreihenfolge " +
                              ausUtf8(std::to_string(s.sortierung)) + u" (Version " +
                              ausUtf8(std::to_string(s.sortversion)) +
                              u"); Purivo schreibt nur Indizes in der Sortierreihenfolge \"Allgemein\" von Access "
                              u"2000 bis 2003.");
}

[[noreturn]] void OhneSchlüssel(const Spalte& s) {
    const Text typ = s.typ == kMemo        ? Text(u"Memo")
                     : s.typ == kOle       ? Text(u"OLE-Objekt")
                     : s.typ == kNumerisch ? Text(u"Dezimal")
                                           : u"Nummer " + ausUtf8(std::to_string(s.typ));
    throw NichtSchreibbar(u"Die Spalte " + Spaltenname(s) + u" hat den Typ " + typ +
                          u", für den Purivo keine Indexschlüssel schreibt.");
}

size_t SpalteDerNummer(const Tabellendef& def, uint16_t nummer) {
    for (size_t k = 0; k < def.spalten.size(); ++k)
        if (def.spalten[k].nummer == nummer) return k;
    throw Formatfehler("jet4: index column " + std::to_string(nummer) + " is not in the table");
}

bool IstNull(const Variante& w) { return w.istNull() || w.istEmpty(); }

// ---- index pages ----------------------------------------------------------------------

struct Seitenbild {
    bool blatt = true;
    uint32_t vor = 0, nach = 0, schwanz = 0;
    std::vector<uint32_t> kinder;  // node pages: child of each entry
};

// Decodes the entries of index page `nr` into `ziel` (keys with the page's prefix put back).
Seitenbild SeiteLesen(const Datei& datei, uint32_t nr, std::vector<Indexeintrag>& ziel) {
    const uint8_t* p = datei.Seite(nr);
    Seitenbild bild;
    if (p[0] == static_cast<uint8_t>(Seitentyp::IndexBlatt)) bild.blatt = true;
    else if (p[0] == static_cast<uint8_t>(Seitentyp::IndexKnoten)) bild.blatt = false;
    else throw Formatfehler("jet4: page " + std::to_string(nr) + " is no index page");
    bild.vor = Lies32(p + kVor);
    bild.nach = Lies32(p + kNach);
    bild.schwanz = Lies32(p + kSchwanz);
    const size_t präfixLänge = Lies16(p + kPräfix);
    const size_t anhang = bild.blatt ? 4 : 8;  // row pointer, and the child page in nodes

    const uint8_t* daten = p + kDaten;
    std::vector<uint8_t> präfix;
    size_t anfang = 0;
    bool erster = true;
    for (size_t byte = 0; byte < kDaten - kMaske; ++byte) {
        const uint8_t m = p[kMaske + byte];
        if (!m) continue;
        for (int bit = 0; bit < 8; ++bit) {
            if (!(m & (1 << bit))) continue;
            const size_t ende = byte * 8 + static_cast<size_t>(bit);
            if (ende > kIndexNutzraum || ende <= anfang)
                throw Formatfehler("jet4: index page " + std::to_string(nr) + " has a bad entry bitmap");
            std::vector<uint8_t> voll;
            if (erster) {
                if (präfixLänge > ende)
                    throw Formatfehler("jet4: index page " + std::to_string(nr) + " has a bad prefix");
                präfix.assign(daten, daten + präfixLänge);
                voll.assign(daten, daten + ende);
                erster = false;
            } else {
                voll.reserve(präfix.size() + ende - anfang);
                voll = präfix;
                voll.insert(voll.end(), daten + anfang, daten + ende);
            }
            if (voll.size() <= anhang)
                throw Formatfehler("jet4: index page " + std::to_string(nr) + " has a short entry");
            const uint8_t* z = voll.data() + voll.size() - anhang;
            Zeilenort ort{static_cast<uint32_t>(z[0] << 16 | z[1] << 8 | z[2]), z[3]};
            if (!bild.blatt) bild.kinder.push_back(static_cast<uint32_t>(z[4]) << 24 | z[5] << 16 | z[6] << 8 | z[7]);
            voll.erase(voll.end() - static_cast<std::ptrdiff_t>(anhang), voll.end());
            ziel.push_back({std::move(voll), ort});
            anfang = ende;
        }
    }
    return bild;
}

// One entry as a page stores it: the key, the row pointer, in nodes the child page.
struct Eintragssicht {
    const std::vector<uint8_t>* schlüssel;
    Zeilenort ort;
    uint32_t kind;
};

size_t GemeinsamerAnfang(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b) {
    const size_t n = std::min(a.size(), b.size());
    size_t i = 0;
    while (i < n && a[i] == b[i]) ++i;
    return i;
}

// The page's prefix: what the keys of its first and last entry share (in sorted order all
// keys between them share it too). Only a page whose entries would not fit otherwise has
// one; Access leaves the others uncompressed.
size_t Präfix(std::span<const Eintragssicht> e, size_t anhang) {
    size_t roh = 0;
    for (const Eintragssicht& x : e) roh += x.schlüssel->size() + anhang;
    if (roh <= kIndexNutzraum || e.size() < 2) return 0;
    return GemeinsamerAnfang(*e.front().schlüssel, *e.back().schlüssel);
}

void SeiteSchreiben(uint8_t* p, bool blatt, uint32_t tdef, uint32_t vor, uint32_t nach, uint32_t schwanz,
                    std::span<const Eintragssicht> einträge) {
    std::memset(p, 0, kSeitengröße);
    p[0] = static_cast<uint8_t>(blatt ? Seitentyp::IndexBlatt : Seitentyp::IndexKnoten);
    p[1] = 0x01;
    Schreib32(p + kTdef, tdef);
    Schreib32(p + kVor, vor);
    Schreib32(p + kNach, nach);
    Schreib32(p + kSchwanz, schwanz);
    const size_t präfix = Präfix(einträge, blatt ? 4 : 8);
    Schreib16(p + kPräfix, präfix);
    uint8_t* daten = p + kDaten;
    size_t pos = 0;
    for (size_t i = 0; i < einträge.size(); ++i) {
        const Eintragssicht& e = einträge[i];
        const size_t ab = i == 0 ? 0 : präfix;
        const size_t länge = e.schlüssel->size() - ab + (blatt ? 4 : 8);
        if (pos + länge > kIndexNutzraum) throw std::logic_error("jet4: index page overfull");
        std::memcpy(daten + pos, e.schlüssel->data() + ab, e.schlüssel->size() - ab);
        uint8_t* z = daten + pos + e.schlüssel->size() - ab;
        z[0] = static_cast<uint8_t>(e.ort.seite >> 16);
        z[1] = static_cast<uint8_t>(e.ort.seite >> 8);
        z[2] = static_cast<uint8_t>(e.ort.seite);
        z[3] = e.ort.zeile;
        if (!blatt)
            for (int k = 0; k < 4; ++k) z[4 + k] = static_cast<uint8_t>(e.kind >> (8 * (3 - k)));
        pos += länge;
        p[kMaske + pos / 8] = static_cast<uint8_t>(p[kMaske + pos / 8] | 1 << (pos % 8));
    }
    Schreib16(p + kFrei, kIndexNutzraum - pos);
}

// A page of the tree being built: its range in the level below (entries for leaves).
struct Knoten {
    size_t von = 0, bis = 0;
    size_t letzter = 0;  // the last entry below it
    size_t eltern = 0;   // index in the level above
    uint32_t seite = 0;
};

// Fills leaves as far as they go.
std::vector<Knoten> BlätterTeilen(const std::vector<Indexeintrag>& e) {
    std::vector<Knoten> blätter;
    size_t i = 0;
    while (i < e.size()) {
        size_t j = i, roh = 0;
        while (j < e.size()) {
            const size_t neuRoh = roh + e[j].schlüssel.size() + 4;
            const size_t präfix = j > i ? GemeinsamerAnfang(e[i].schlüssel, e[j].schlüssel) : 0;
            if (j > i && neuRoh - präfix * (j - i) > kIndexNutzraum) break;
            roh = neuRoh;
            ++j;
        }
        blätter.push_back({i, j, j - 1, 0, 0});
        i = j;
    }
    return blätter;
}

// Groups the pages of a level under node pages. A node lists all its children but the
// last by their last entry; the last child is its tail and takes no room.
std::vector<Knoten> KnotenTeilen(const std::vector<Indexeintrag>& e, std::vector<Knoten>& unten) {
    std::vector<Knoten> oben;
    size_t a = 0;
    while (a < unten.size()) {
        size_t b = a + 1, roh = 0;
        while (b < unten.size()) {
            const Indexeintrag& neu = e[unten[b - 1].letzter];  // the tail until now becomes an entry
            const size_t neuRoh = roh + neu.schlüssel.size() + 8;
            const size_t präfix = b - 1 > a ? GemeinsamerAnfang(e[unten[a].letzter].schlüssel, neu.schlüssel) : 0;
            if (neuRoh - präfix * (b - 1 - a) > kIndexNutzraum) break;
            roh = neuRoh;
            ++b;
        }
        for (size_t k = a; k < b; ++k) unten[k].eltern = oben.size();
        oben.push_back({a, b, unten[b - 1].letzter, 0, 0});
        a = b;
    }
    return oben;
}

}  // namespace

void SchlüsselAnhängen(std::vector<uint8_t>& ziel, const Spalte& spalte, const Variante& wert, bool aufsteigend) {
    const uint8_t start = aufsteigend ? kAufsteigend : kAbsteigend;
    if (spalte.typ == kBoolean) {
        // Never Null in a key: Null counts as No. Yes sorts first.
        const bool ja = !IstNull(wert) && wert.alsBool();
        ziel.push_back(start);
        ziel.push_back(ja == aufsteigend ? 0x00 : 0xFF);
        return;
    }
    switch (spalte.typ) {
        case kByte:
        case kInteger:
        case kLong:
        case kCurrency:
        case kSingle:
        case kDouble:
        case kDatum:
        case kText: break;
        case kGuid: break;
        case kBinär:
            if (IstNull(wert)) break;
            throw NichtSchreibbar(u"Die Spalte " + Spaltenname(spalte) +
                                  u" ist binär; ihr Indexschlüssel braucht die Bytes der Zeile.");
        default: OhneSchlüssel(spalte);
    }
    if (Textspalte(spalte)) TextspaltePrüfen(spalte);
    if (IstNull(wert)) {
        ziel.push_back(aufsteigend ? kNullAuf : kNullAb);
        return;
    }
    ziel.push_back(start);
    switch (spalte.typ) {
        case kByte: {
            ziel.push_back(static_cast<uint8_t>(Ganzzahl(wert, spalte, 0, 255)));
            if (!aufsteigend) Invertieren(ziel, ziel.size() - 1);
            break;
        }
        case kInteger: GanzAnhängen(ziel, Ganzzahl(wert, spalte, INT16_MIN, INT16_MAX), 2, aufsteigend); break;
        case kLong: GanzAnhängen(ziel, Ganzzahl(wert, spalte, INT32_MIN, INT32_MAX), 4, aufsteigend); break;
        case kCurrency: {
            int64_t roh;
            if (wert.typ() == VTyp::Currency) {
                roh = wert.währungRoh();
            } else {
                const double d = Kommazahl(wert, spalte) * 10000.0;
                if (!(std::fabs(d) < 9.2e18)) Unpassend(spalte);
                roh = std::llround(d);
            }
            GanzAnhängen(ziel, roh, 8, aufsteigend);
            break;
        }
        case kSingle:
            FließAnhängen(ziel, std::bit_cast<uint32_t>(static_cast<float>(Kommazahl(wert, spalte))), 4, aufsteigend);
            break;
        case kDouble:
        case kDatum: FließAnhängen(ziel, std::bit_cast<uint64_t>(Kommazahl(wert, spalte)), 8, aufsteigend); break;
        case kText:
            TextSchlüsselAnhängen(ziel, wert.istText() ? TextSicht(wert.text()) : TextSicht(wert.alsText()),
                                  aufsteigend);
            break;
        case kGuid: BinärAnhängen(ziel, GuidAusText(wert, spalte), aufsteigend); break;
        default: OhneSchlüssel(spalte);
    }
}

void SchlüsselAnhängen(std::vector<uint8_t>& ziel, const Spalte& spalte, const std::optional<std::vector<uint8_t>>& roh,
                       bool aufsteigend) {
    if (spalte.typ != kBinär && spalte.typ != kGuid) OhneSchlüssel(spalte);
    if (!roh) {
        ziel.push_back(aufsteigend ? kNullAuf : kNullAb);
        return;
    }
    ziel.push_back(aufsteigend ? kAufsteigend : kAbsteigend);
    if (spalte.typ == kBinär) {
        BinärAnhängen(ziel, *roh, aufsteigend);
        return;
    }
    if (roh->size() != 16) Unpassend(spalte);
    // The row keeps the first three groups little-endian; the key has them as written.
    std::vector<uint8_t> g(*roh);
    std::reverse(g.begin(), g.begin() + 4);
    std::reverse(g.begin() + 4, g.begin() + 6);
    std::reverse(g.begin() + 6, g.begin() + 8);
    BinärAnhängen(ziel, g, aufsteigend);
}

std::vector<uint8_t> Schlüssel(const Tabellendef& def, const RealerIndex& index, const std::vector<Variante>& werte,
                               const Rohwerte* roh) {
    std::vector<uint8_t> schlüssel;
    for (const IndexSpalte& is : index.spalten) {
        const size_t k = SpalteDerNummer(def, is.nummer);
        const Spalte& spalte = def.spalten[k];
        const bool binär = spalte.typ == kBinär || (spalte.typ == kGuid && roh && roh->count(k));
        if (binär) {
            if (!roh)
                throw NichtSchreibbar(u"Die indizierte Spalte " + Spaltenname(spalte) +
                                      u" ist binär; ihr Indexschlüssel braucht die Bytes der Zeile.");
            const auto it = roh->find(k);
            SchlüsselAnhängen(schlüssel, spalte,
                              it == roh->end() ? std::nullopt : std::optional<std::vector<uint8_t>>(it->second),
                              is.aufsteigend);
            continue;
        }
        if (k >= werte.size())  // an index over a column the table lacks: a broken definition
            throw NichtSchreibbar(u"Ein Index der Tabelle verweist auf eine Spalte, die die Tabelle nicht hat.");
        SchlüsselAnhängen(schlüssel, spalte, werte[k], is.aufsteigend);
    }
    return schlüssel;
}

bool OhneEintrag(const Tabellendef& def, const RealerIndex& index, const std::vector<Variante>& werte,
                 const Rohwerte* roh) {
    if (!(index.flags & kOhneNull)) return false;
    for (const IndexSpalte& is : index.spalten) {
        const size_t k = SpalteDerNummer(def, is.nummer);
        const Spalte& spalte = def.spalten[k];
        if (spalte.typ == kBoolean) return false;
        if (roh && roh->count(k)) return false;
        if (k < werte.size() && !IstNull(werte[k])) return false;
    }
    return true;
}

bool Vor(const Indexeintrag& a, const Indexeintrag& b) {
    const auto c = std::lexicographical_compare_three_way(a.schlüssel.begin(), a.schlüssel.end(), b.schlüssel.begin(),
                                                          b.schlüssel.end());
    if (c != 0) return c < 0;
    return a.ort < b.ort;
}

std::vector<Indexeintrag> IndexLesen(const Datei& datei, uint32_t wurzel) {
    std::vector<Indexeintrag> einträge;
    std::unordered_set<uint32_t> besucht;
    // Down the first child of each node page to the leftmost leaf.
    uint32_t seite = wurzel;
    for (;;) {
        if (seite == 0) throw Formatfehler("jet4: index link to page 0");
        if (!besucht.insert(seite).second) throw Formatfehler("jet4: index pages form a loop");
        std::vector<Indexeintrag> knoten;
        const Seitenbild bild = SeiteLesen(datei, seite, knoten);
        if (bild.blatt) break;
        seite = bild.kinder.empty() ? bild.schwanz : bild.kinder.front();
    }
    // Then along the leaves.
    besucht = {seite};
    while (seite != 0) {
        const Seitenbild bild = SeiteLesen(datei, seite, einträge);
        if (!bild.blatt) throw Formatfehler("jet4: leaf page " + std::to_string(seite) + " links to a node page");
        seite = bild.nach;
        if (seite != 0 && !besucht.insert(seite).second) throw Formatfehler("jet4: index leaves form a loop");
    }
    return einträge;
}

void IndexBauen(Datei& datei, const Tabellendef& def, RealerIndex& index, Nutzungskarte& karte,
                const std::vector<Indexeintrag>& eintraege) {
    const std::vector<Indexeintrag>* e = &eintraege;
    std::vector<Indexeintrag> sortiert;
    if (!std::is_sorted(eintraege.begin(), eintraege.end(), Vor)) {
        sortiert = eintraege;
        std::sort(sortiert.begin(), sortiert.end(), Vor);
        e = &sortiert;
    }
    for (size_t i = 0; i < e->size(); ++i) {
        const Indexeintrag& x = (*e)[i];
        // Only a broken definition (an index over no column) gives an empty key.
        if (x.schlüssel.empty())
            throw NichtSchreibbar(u"Ein Index der Tabelle hat keine Spalte, aus der sich ein Schlüssel bilden lässt.");
        if (x.schlüssel.size() > kSchlüsselHöchstens)
            throw NichtSchreibbar(u"Ein Indexschlüssel der Tabelle ist länger, als eine Indexseite fassen kann (" +
                                  ausUtf8(std::to_string(x.schlüssel.size())) + u" Bytes).");
        if (i > 0 && x == (*e)[i - 1]) throw NichtSchreibbar(u"Ein Eintrag eines Index der Tabelle kommt doppelt vor.");
    }

    // The old tree goes first, so its pages can be taken again.
    const std::vector<uint32_t> alt = karte.Seiten();
    for (uint32_t s : alt) {
        const uint8_t* p = datei.Seite(s);
        const bool index =
            p[0] == static_cast<uint8_t>(Seitentyp::IndexBlatt) || p[0] == static_cast<uint8_t>(Seitentyp::IndexKnoten);
        if (!index || Lies32(p + kTdef) != def.seite)
            throw NichtSchreibbar(u"Die Nutzungskarte eines Index verzeichnet eine Seite, die keine Indexseite "
                                  u"der Tabelle ist; Purivo ändert die Datei nicht.");
    }
    for (uint32_t s : alt) {
        karte.Entfernen(s);
        datei.SeiteFreigeben(s);
    }

    std::vector<std::vector<Knoten>> ebenen;
    ebenen.push_back(BlätterTeilen(*e));
    if (ebenen[0].empty()) ebenen[0].push_back({});  // the empty index: one empty leaf
    while (ebenen.back().size() > 1) ebenen.push_back(KnotenTeilen(*e, ebenen.back()));
    for (auto& ebene : ebenen)
        for (Knoten& k : ebene) {
            k.seite = datei.SeiteAnlegen();
            karte.Hinzufügen(k.seite);
        }

    std::vector<Eintragssicht> sicht;
    for (size_t stufe = 0; stufe < ebenen.size(); ++stufe) {
        const std::vector<Knoten>& ebene = ebenen[stufe];
        for (size_t i = 0; i < ebene.size(); ++i) {
            const Knoten& k = ebene[i];
            // Leaves are chained from first to last; node pages only under the same parent.
            const bool blatt = stufe == 0;
            const bool mitVor = i > 0 && (blatt || ebene[i - 1].eltern == k.eltern);
            const bool mitNach = i + 1 < ebene.size() && (blatt || ebene[i + 1].eltern == k.eltern);
            uint32_t schwanz = 0;
            sicht.clear();
            if (blatt) {
                for (size_t j = k.von; j < k.bis; ++j) sicht.push_back({&(*e)[j].schlüssel, (*e)[j].ort, 0});
            } else {
                const std::vector<Knoten>& unten = ebenen[stufe - 1];
                const size_t bis = k.bis - k.von > 1 ? k.bis - 1 : k.bis;
                if (bis != k.bis) schwanz = unten[k.bis - 1].seite;
                for (size_t j = k.von; j < bis; ++j) {
                    const Indexeintrag& l = (*e)[unten[j].letzter];
                    sicht.push_back({&l.schlüssel, l.ort, unten[j].seite});
                }
            }
            SeiteSchreiben(datei.Seite(k.seite), blatt, def.seite, mitVor ? ebene[i - 1].seite : 0,
                           mitNach ? ebene[i + 1].seite : 0, schwanz, sicht);
        }
    }

    index.wurzel = ebenen.back().front().seite;
    uint32_t verschieden = 0;
    for (size_t i = 0; i < e->size(); ++i)
        if (i == 0 || (*e)[i].schlüssel != (*e)[i - 1].schlüssel) ++verschieden;
    index.zeilen = verschieden;
}

}  // namespace dao::speicher::access::jet4
