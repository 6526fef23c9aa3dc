#include "platform/dao/storage/access/jet4/Jet4Karte.h"

#include <algorithm>
#include <string>

#include "platform/dao/storage/Bytes.h"

// Format facts: mdbtools' HACKING notes and the Apache-licensed Jackcess library.
namespace dao::speicher::access::jet4 {
namespace {

constexpr uint32_t kFreiOffset = 2;         // data page: free bytes
constexpr uint32_t kZeilenzahlOffset = 12;  // data page: row count, then the row offsets
constexpr uint16_t kOffsetMaske = 0x1FFF;
constexpr uint16_t kGelöscht = 0x8000, kVerweis = 0x4000;
constexpr uint32_t kKartenseiteDaten = 4;  // map page (0x05): bitmap from here
constexpr uint32_t kInlineZeile = 69;      // type, start page, 64 bytes of bitmap: 512 pages
constexpr Zeilenort kGlobaleKarte{1, 0};
constexpr uint32_t kSeitenJeKartenseite = (kSeitengröße - kKartenseiteDaten) * 8;


// The bytes of a map row: [anfang, ende) on its page.
struct Kartenzeile {
    const uint8_t* seite;
    uint32_t anfang, ende;
    uint32_t Länge() const { return ende - anfang; }
    const uint8_t* Daten() const { return seite + anfang; }
};

Kartenzeile zeileFinden(const Datei& datei, Zeilenort ort) {
    const uint8_t* s = datei.Seite(ort.seite);
    if (ort.seite == 0 || s[0] != static_cast<uint8_t>(Seitentyp::Daten))
        throw Formatfehler("jet4: usage map row on page " + std::to_string(ort.seite) + " which is no data page");
    const uint16_t zeilen = le16(s + kZeilenzahlOffset);
    const uint32_t tabelleEnde = kZeilenzahlOffset + 2 + 2u * zeilen;
    if (ort.zeile >= zeilen || tabelleEnde > kSeitengröße) throw Formatfehler("jet4: usage map row does not exist");
    const uint16_t roh = le16(s + kZeilenzahlOffset + 2 + 2u * ort.zeile);
    if (roh & (kGelöscht | kVerweis)) throw Formatfehler("jet4: usage map row deleted or moved");
    const uint32_t anfang = roh & kOffsetMaske;
    const uint32_t ende =
        ort.zeile == 0 ? kSeitengröße : (le16(s + kZeilenzahlOffset + 2 + 2u * (ort.zeile - 1)) & kOffsetMaske);
    if (anfang < tabelleEnde || ende > kSeitengröße || anfang >= ende)
        throw Formatfehler("jet4: usage map row outside its page");
    return {s, anfang, ende};
}

// Calls je(page) for every page set in the bitmap `bits` of `länge` bytes starting at `erste`.
template <typename F>
void bitsDurchgehen(const uint8_t* bits, uint32_t länge, uint64_t erste, F&& je) {
    for (uint32_t i = 0; i < länge; ++i) {
        if (!bits[i]) continue;
        for (int b = 0; b < 8; ++b)
            if (bits[i] & (1u << b)) {
                const uint64_t seite = erste + uint64_t{i} * 8 + static_cast<uint64_t>(b);
                if (seite <= UINT32_MAX) je(static_cast<uint32_t>(seite));
            }
    }
}

const uint8_t* kartenseite(const Datei& datei, uint32_t nr) {
    const uint8_t* s = datei.Seite(nr);
    if (nr == 0 || s[0] != static_cast<uint8_t>(Seitentyp::Karte))
        throw Formatfehler("jet4: usage map page " + std::to_string(nr) + " is no map page");
    return s;
}

}  // namespace

Nutzungskarte::Nutzungskarte(Datei& datei, Zeilenort ort) : datei_(&datei), ort_(ort) {
    const Kartenzeile z = zeileFinden(datei, ort);
    const uint8_t typ = z.Daten()[0];
    if ((typ == 0 && z.Länge() < 5) || (typ == 1 && z.Länge() < 1) || typ > 1)
        throw Formatfehler("jet4: row " + std::to_string(ort.zeile) + " on page " + std::to_string(ort.seite) +
                           " is no usage map");
}

bool Nutzungskarte::Enthält(uint32_t seite) const {
    const Kartenzeile z = zeileFinden(*datei_, ort_);
    const uint8_t* d = z.Daten();
    if (d[0] == 0) {
        const uint32_t erste = le32(d + 1);
        if (seite < erste) return false;
        const uint64_t bit = seite - erste;
        if (bit >= uint64_t{z.Länge() - 5} * 8) return false;
        return d[5 + bit / 8] & (1u << (bit % 8));
    }
    const uint32_t k = seite / kSeitenJeKartenseite;
    if (uint64_t{k} * 4 + 5 > z.Länge()) return false;
    const uint32_t nr = le32(d + 1 + 4 * k);
    if (nr == 0) return false;
    const uint32_t bit = seite % kSeitenJeKartenseite;
    return kartenseite(*datei_, nr)[kKartenseiteDaten + bit / 8] & (1u << (bit % 8));
}

bool Nutzungskarte::Reicht(uint32_t seite) const {
    const Kartenzeile z = zeileFinden(*datei_, ort_);
    const uint8_t* d = z.Daten();
    if (d[0] == 0) {
        const uint32_t erste = le32(d + 1);
        return seite >= erste && uint64_t{seite} - erste < uint64_t{z.Länge() - 5} * 8;
    }
    return uint64_t{seite / kSeitenJeKartenseite} * 4 + 5 <= z.Länge();
}

std::vector<uint32_t> Nutzungskarte::Seiten() const {
    const Kartenzeile z = zeileFinden(*datei_, ort_);
    const uint8_t* d = z.Daten();
    std::vector<uint32_t> aus;
    const auto dazu = [&](uint32_t s) { aus.push_back(s); };
    if (d[0] == 0) {
        bitsDurchgehen(d + 5, z.Länge() - 5, le32(d + 1), dazu);
        return aus;
    }
    for (uint32_t k = 0; uint64_t{k} * 4 + 5 <= z.Länge(); ++k) {
        const uint32_t nr = le32(d + 1 + 4 * k);
        if (nr == 0) continue;
        bitsDurchgehen(kartenseite(*datei_, nr) + kKartenseiteDaten, kSeitengröße - kKartenseiteDaten,
                       uint64_t{k} * kSeitenJeKartenseite, dazu);
    }
    return aus;
}

std::vector<uint32_t> Nutzungskarte::Kartenseiten() const {
    const Kartenzeile z = zeileFinden(*datei_, ort_);
    const uint8_t* d = z.Daten();
    std::vector<uint32_t> aus;
    if (d[0] != 1) return aus;
    for (uint32_t k = 0; uint64_t{k} * 4 + 5 <= z.Länge(); ++k)
        if (const uint32_t nr = le32(d + 1 + 4 * k); nr != 0) {
            kartenseite(*datei_, nr);  // Formatfehler for a page that is none
            aus.push_back(nr);
        }
    return aus;
}

uint8_t* Nutzungskarte::zeileSchreibbar(uint32_t& länge) {
    const Kartenzeile z = zeileFinden(*datei_, ort_);
    länge = z.Länge();
    return datei_->Seite(ort_.seite) + z.anfang;
}

uint32_t Nutzungskarte::kartenseiteAnlegen(uint32_t k) {
    // The global map cannot take its own map page from itself: that page is appended and
    // counts as used. As Access does inline, it marks the pages past the file's end free.
    const bool global = ort_ == kGlobaleKarte;
    const uint32_t nr = global ? datei_->SeiteAnhängen() : datei_->SeiteAnlegen();
    uint8_t* s = datei_->Seite(nr);
    s[0] = static_cast<uint8_t>(Seitentyp::Karte);
    s[1] = 0x01;
    if (global) {
        const uint64_t erste = uint64_t{k} * kSeitenJeKartenseite;
        for (uint64_t bit = 0; bit < kSeitenJeKartenseite; ++bit)
            if (erste + bit >= datei_->Seitenzahl())
                s[kKartenseiteDaten + bit / 8] |= static_cast<uint8_t>(1u << (bit % 8));
    }
    return nr;
}

void Nutzungskarte::bitSetzen(uint32_t seite, bool an) {
    uint32_t länge = 0;
    uint8_t* d = zeileSchreibbar(länge);
    uint8_t* bits = nullptr;
    uint64_t bit = 0;
    if (d[0] == 0) {
        const uint32_t erste = le32(d + 1);
        bit = uint64_t{seite} - erste;
        if (seite < erste || bit >= uint64_t{länge - 5} * 8) throw Formatfehler("jet4: page outside the usage map");
        bits = d + 5;
    } else {
        const uint32_t k = seite / kSeitenJeKartenseite;
        if (uint64_t{k} * 4 + 5 > länge) throw Formatfehler("jet4: page beyond the reach of a reference usage map");
        uint32_t nr = le32(d + 1 + 4 * k);
        if (nr == 0) {
            if (!an) return;
            nr = kartenseiteAnlegen(k);
            d = zeileSchreibbar(länge);  // the file may have grown
            setze32(d + 1 + 4 * k, nr);
        }
        kartenseite(*datei_, nr);
        bits = datei_->Seite(nr) + kKartenseiteDaten;
        bit = seite % kSeitenJeKartenseite;
    }
    const auto maske = static_cast<uint8_t>(1u << (bit % 8));
    if (an) bits[bit / 8] |= maske;
    else bits[bit / 8] &= static_cast<uint8_t>(~maske);
}

void Nutzungskarte::Hinzufügen(uint32_t seite) {
    if (Reicht(seite)) return bitSetzen(seite, true);
    uint32_t länge = 0;
    uint8_t* d = zeileSchreibbar(länge);
    if (d[0] == 1) throw Formatfehler("jet4: page beyond the reach of a reference usage map");
    const uint64_t reichweite = uint64_t{länge - 5} * 8;

    std::vector<uint32_t> seiten = Seiten();
    seiten.push_back(seite);
    const auto [lo, hi] = std::minmax_element(seiten.begin(), seiten.end());
    const uint32_t anfang = *lo - *lo % 8;
    // The global map never moves: a reader may take the pages outside its reach as free.
    const bool verschieben = ort_ != kGlobaleKarte && uint64_t{*hi} - anfang < reichweite;
    if (!verschieben && uint64_t{*hi} / kSeitenJeKartenseite * 4 + 5 > länge)
        throw Formatfehler("jet4: page beyond the reach of any usage map");
    std::fill(d + 1, d + länge, uint8_t{0});
    if (verschieben) setze32(d + 1, anfang);
    else d[0] = 1;  // a reference map: its row holds the numbers of its map pages
    for (uint32_t s : seiten) bitSetzen(s, true);
}

void Nutzungskarte::Entfernen(uint32_t seite) {
    if (Reicht(seite)) bitSetzen(seite, false);
}

Zeilenort Nutzungskarte::Anlegen(Datei& datei, uint32_t seite) {
    uint8_t* s = datei.Seite(seite);
    if (seite == 0 || s[0] != static_cast<uint8_t>(Seitentyp::Daten))
        throw Formatfehler("jet4: usage map row for a page that is no data page");
    const uint16_t zeilen = le16(s + kZeilenzahlOffset);
    if (zeilen >= 0xFF) throw Formatfehler("jet4: no room for another usage map row");
    // Rows grow down from the page's end; the offset table grows up behind the header.
    const uint32_t unten =
        zeilen == 0 ? kSeitengröße : (le16(s + kZeilenzahlOffset + 2 + 2u * (zeilen - 1)) & kOffsetMaske);
    const uint32_t tabelleEnde = kZeilenzahlOffset + 2 + 2u * (zeilen + 1);
    if (unten < tabelleEnde + kInlineZeile) throw Formatfehler("jet4: no room for another usage map row");
    const uint32_t anfang = unten - kInlineZeile;
    std::fill(s + anfang, s + unten, uint8_t{0});  // type 0, start page 0, no pages
    setze16(s + kZeilenzahlOffset + 2 + 2u * zeilen, static_cast<uint16_t>(anfang));
    setze16(s + kZeilenzahlOffset, static_cast<uint16_t>(zeilen + 1));
    setze16(s + kFreiOffset, static_cast<uint16_t>(anfang - tabelleEnde));
    return {seite, static_cast<uint8_t>(zeilen)};
}

}  // namespace dao::speicher::access::jet4
