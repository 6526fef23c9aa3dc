// Format facts: mdbtools' HACKING notes and the Apache-licensed Jackcess library.
#include "Jet4Pruefer.h"

#include <algorithm>
#include <cstring>
#include <exception>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <span>

#include "platform/dao/storage/Bytes.h"
#include "platform/dao/storage/access/jet4/Jet4Datei.h"
#include "platform/dao/storage/access/jet4/Jet4Index.h"
#include "platform/dao/storage/access/jet4/Jet4Katalog.h"
#include "platform/dao/storage/access/jet4/Jet4Tabelle.h"
#include "platform/dao/storage/access/jet4/Jet4Zeilen.h"

namespace {

using namespace dao::speicher::access::jet4;
using dao::speicher::le16;
using dao::speicher::le32;

constexpr uint32_t P = kSeitengröße;
constexpr size_t kDatenKopf = 14;  // data page: header before the row table
constexpr size_t kIndexMaske = 27, kIndexDaten = 480;
constexpr size_t kHöchstensProbleme = 200;  // a garbage file says enough after that
constexpr uint32_t kLval = 0x4C41564C;      // "LVAL" where a data page has its TDEF pointer


std::string Hex(unsigned v) {
    static const char* ziffern = "0123456789abcdef";
    std::string s;
    do {
        s.insert(s.begin(), ziffern[v & 0xF]);
        v >>= 4;
    } while (v);
    return "0x" + (s.size() < 2 ? "0" + s : s);
}

// Key bytes for a message, shortened.
std::string HexBytes(const std::vector<uint8_t>& b) {
    static const char* ziffern = "0123456789abcdef";
    std::string s;
    for (size_t i = 0; i < b.size() && i < 48; ++i) {
        s += ziffern[b[i] >> 4];
        s += ziffern[b[i] & 0xF];
    }
    return b.size() > 48 ? s + "…" : s;
}

std::string Ort(Zeilenort o) { return std::to_string(o.seite) + ":" + std::to_string(o.zeile); }

// One slot of a data page's row table.
struct Zeilenlage {
    uint16_t roh = 0;
    size_t anfang = 0, ende = 0;  // ende = start of the row before it (the page end for row 0)
    bool gelöscht() const { return roh & 0x8000; }
    bool überlauf() const { return roh & 0x4000; }
};

// What a usage map lists, restricted to pages inside the file.
struct Karteninhalt {
    std::set<uint32_t> seiten;
    std::vector<uint32_t> kartenseiten;  // map pages (0x05) of a reference map
};

enum class Art { Kopf, Frei, Tdef, Kartenhalter, Kartenseite, Daten, Index, Langwert };

struct Besitz {
    Art art;
    std::string wer;
};

// Key bounds of a subtree: entries must lie in (unten, oben].
struct Grenzen {
    const Indexeintrag* unten = nullptr;
    const Indexeintrag* oben = nullptr;
};

struct Indexseite {
    bool blatt = false;
    uint32_t vor = 0, nach = 0, schwanz = 0;
    std::vector<Indexeintrag> einträge;
    std::vector<uint32_t> kinder;
};

struct Zeilenwerte {
    Zeilenort ort;
    std::vector<Variante> werte;
    Rohwerte roh;
};

class Prüfer {
public:
    Prüfer(const std::vector<uint8_t>& inhalt, Jet4Prüfbericht& bericht)
        : inhalt_(inhalt), seiten_(static_cast<uint32_t>(inhalt.size() / P)), bericht_(bericht) {
        bericht_ = {};
    }

    std::vector<std::string> Ausführen() {
        try {
            datei_ = std::make_unique<Datei>(inhalt_);
        } catch (const std::exception& e) {
            Melden(std::string("Kopf: keine Jet-4-Datei (") + e.what() + ")");
            return probleme_;
        }
        besitz_.assign(seiten_, std::nullopt);
        Erfassen(0, Art::Kopf, "Kopf");
        if (seiten_ < 3) {
            Melden("Datei: nur " + std::to_string(seiten_) + " Seiten");
            return probleme_;
        }
        Erfassen(1, Art::Kartenhalter, "globale Karte");
        if (auto frei = KarteLesen({1, 0}, "globale Karte", true)) {
            for (uint32_t s : frei->seiten) Erfassen(s, Art::Frei, "frei laut globaler Karte");
            for (uint32_t s : frei->kartenseiten) Erfassen(s, Art::Kartenseite, "Kartenseite der globalen Karte");
        }
        for (const auto& [seite, name] : TabellenDesKatalogs()) TabellePrüfen(seite, name);
        for (uint32_t s = 0; s < seiten_; ++s)
            if (!besitz_[s])
                Melden("Seite " + std::to_string(s) + ": von nichts erfasst (Typ " + Hex(Seite(s)[0]) + ")");
        return probleme_;
    }

private:
    const std::vector<uint8_t>& inhalt_;
    const uint32_t seiten_;
    Jet4Prüfbericht& bericht_;
    std::unique_ptr<Datei> datei_;  // (an optional here trips a false warning of gcc 12)
    std::vector<std::optional<Besitz>> besitz_;
    std::set<Zeilenort> langwertZeilen_;  // long-value rows already reached
    std::vector<std::string> probleme_;

    const uint8_t* Seite(uint32_t nr) const { return inhalt_.data() + size_t(nr) * P; }

    void Melden(std::string text) {
        if (probleme_.size() < kHöchstensProbleme) probleme_.push_back(std::move(text));
        else if (probleme_.size() == kHöchstensProbleme) probleme_.push_back("… weitere Probleme nicht aufgeführt");
    }

    // Accounts page `seite` to `wer`; pages holding map rows and long-value pages may
    // serve several owners of their own kind.
    void Erfassen(uint32_t seite, Art art, const std::string& wer) {
        if (seite >= seiten_) {
            Melden("Seite " + std::to_string(seite) + " (" + wer + "): hinter dem Ende der Datei (" +
                   std::to_string(seiten_) + " Seiten)");
            return;
        }
        auto& b = besitz_[seite];
        if (!b) {
            b = Besitz{art, wer};
            ++bericht_.seitenJeArt[static_cast<size_t>(art)];
            return;
        }
        if (b->art == art && (art == Art::Kartenhalter || art == Art::Langwert)) return;
        Melden("Seite " + std::to_string(seite) + ": doppelt erfasst, von " + b->wer + " und von " + wer);
    }

    // The row table of a data page; empty with a problem when the count cannot be.
    std::vector<Zeilenlage> Zeilentabelle(uint32_t nr, const std::string& wer) {
        const uint8_t* s = Seite(nr);
        const size_t n = le16(s + 12);
        std::vector<Zeilenlage> lagen;
        if (n > 256 || kDatenKopf + 2 * n > P) {
            Melden("Seite " + std::to_string(nr) + " (" + wer + "): " + std::to_string(n) +
                   " Zeilen passen nicht auf die Seite");
            return lagen;
        }
        size_t ende = P;
        for (size_t i = 0; i < n; ++i) {
            Zeilenlage z;
            z.roh = le16(s + kDatenKopf + 2 * i);
            z.anfang = z.roh & 0x1FFF;
            z.ende = ende;
            lagen.push_back(z);
            ende = z.anfang;
        }
        return lagen;
    }

    // The bytes of row `ort` of a page holding map rows or long values; nullopt with a problem.
    std::optional<std::span<const uint8_t>> RohZeile(Zeilenort ort, const std::string& wer) {
        const std::string wo = "Zeile " + Ort(ort) + " (" + wer + ")";
        if (ort.seite == 0 || ort.seite >= seiten_) {
            Melden(wo + ": Seite außerhalb der Datei");
            return std::nullopt;
        }
        if (Seite(ort.seite)[0] != static_cast<uint8_t>(Seitentyp::Daten)) {
            Melden(wo + ": Seite vom Typ " + Hex(Seite(ort.seite)[0]) + " statt Datenseite");
            return std::nullopt;
        }
        const auto lagen = Zeilentabelle(ort.seite, wer);
        if (ort.zeile >= lagen.size()) {
            Melden(wo + ": die Seite hat nur " + std::to_string(lagen.size()) + " Zeilen");
            return std::nullopt;
        }
        const Zeilenlage& z = lagen[ort.zeile];
        if (z.gelöscht()) {
            Melden(wo + ": Zeile ist gelöscht");
            return std::nullopt;
        }
        const size_t kopf = kDatenKopf + 2 * lagen.size();
        if (z.anfang < kopf || z.anfang > z.ende || z.ende > P) {
            Melden(wo + ": Zeile liegt nicht in der Seite");
            return std::nullopt;
        }
        return std::span<const uint8_t>(Seite(ort.seite) + z.anfang, z.ende - z.anfang);
    }

    // A usage map: inline (start page, bitmap) or reference (pages 0x05 with bitmaps).
    // The global map's bits past the end of the file are simply free pages.
    std::optional<Karteninhalt> KarteLesen(Zeilenort ort, const std::string& wer, bool global) {
        const auto zeile = RohZeile(ort, "Karte von " + wer);
        if (!zeile) return std::nullopt;
        const std::span<const uint8_t> b = *zeile;
        Karteninhalt k;
        size_t dahinter = 0;
        auto bitsLesen = [&](const uint8_t* bits, size_t bytes, uint64_t start) {
            for (size_t i = 0; i < bytes; ++i)
                for (int bit = 0; bit < 8; ++bit)
                    if (bits[i] & (1 << bit)) {
                        const uint64_t s = start + i * 8 + bit;
                        if (s < seiten_) k.seiten.insert(static_cast<uint32_t>(s));
                        else ++dahinter;
                    }
        };
        if (b.size() >= 5 && b[0] == 0x00) {
            const uint64_t start = le32(b.data() + 1);
            bitsLesen(b.data() + 5, b.size() - 5, start);
            // Pages past the reach of the global map count as free, so no used page may lie there.
            if (global)
                for (uint64_t s = start + (b.size() - 5) * 8; s < seiten_; ++s)
                    k.seiten.insert(static_cast<uint32_t>(s));
        } else if (b.size() >= 1 && b[0] == 0x01) {
            for (size_t j = 0; 1 + 4 * j + 4 <= b.size(); ++j) {
                const uint32_t mp = le32(b.data() + 1 + 4 * j);
                if (mp == 0) continue;
                if (mp >= seiten_ || Seite(mp)[0] != static_cast<uint8_t>(Seitentyp::Karte)) {
                    Melden("Karte von " + wer + ": Kartenseite " + std::to_string(mp) +
                           " ist keine Seite vom Typ 0x05");
                    continue;
                }
                k.kartenseiten.push_back(mp);
                bitsLesen(Seite(mp) + 4, P - 4, uint64_t(j) * (P - 4) * 8);
            }
        } else {
            Melden("Karte von " + wer + " (Zeile " + Ort(ort) + "): keine Nutzungskarte");
            return std::nullopt;
        }
        if (dahinter && !global)
            Melden("Karte von " + wer + ": nennt " + std::to_string(dahinter) + " Seiten hinter dem Ende der Datei");
        return k;
    }

    // The tables MSysObjects lists (type 1; Id is the first TDEF page), MSysObjects first.
    std::map<uint32_t, std::string> TabellenDesKatalogs() {
        std::map<uint32_t, std::string> tabellen{{kKatalogSeite, "MSysObjects"}};
        try {
            const Tabellendef def = TabelleLesen(*datei_, kKatalogSeite);
            size_t id = def.spalten.size(), typ = id, name = id;
            for (size_t i = 0; i < def.spalten.size(); ++i) {
                if (def.spalten[i].name == u"Id") id = i;
                if (def.spalten[i].name == u"Type") typ = i;
                if (def.spalten[i].name == u"Name") name = i;
            }
            if (id == def.spalten.size() || typ == id || name == id) {
                Melden("Katalog (Seite 2): Spalten Id, Type, Name fehlen");
                return tabellen;
            }
            const auto owned = KarteLesen(def.belegt, "MSysObjects", false);
            if (!owned) return tabellen;
            for (uint32_t s : owned->seiten) {
                if (Seite(s)[0] != static_cast<uint8_t>(Seitentyp::Daten) || le32(Seite(s) + 4) != kKatalogSeite)
                    continue;
                const auto lagen = Zeilentabelle(s, "MSysObjects");
                for (size_t r = 0; r < lagen.size(); ++r) {
                    if (lagen[r].gelöscht()) continue;
                    try {
                        const auto zeile = ZeileAn(*datei_, {s, static_cast<uint8_t>(r)});
                        if (zeile.empty()) continue;
                        const auto werte = ZeileLesen(*datei_, def, zeile);
                        if (werte.size() != def.spalten.size() || werte[typ].istNull() || werte[id].istNull()) continue;
                        if (werte[typ].alsLong() != 1) continue;
                        const uint32_t seite = static_cast<uint32_t>(werte[id].alsLong()) & 0x00FFFFFF;
                        tabellen[seite] = werte[name].istText() ? nachUtf8(werte[name].text()) : "?";
                    } catch (const std::exception& e) {
                        Melden("Katalog, Zeile " + std::to_string(s) + ":" + std::to_string(r) + ": " + e.what());
                    }
                }
            }
        } catch (const std::exception& e) {
            Melden(std::string("Katalog (Seite 2): ") + e.what());
        }
        return tabellen;
    }

    void TabellePrüfen(uint32_t seite, const std::string& name) {
        const std::string wer = "Tabelle \"" + name + "\" (Seite " + std::to_string(seite) + ")";
        // Its definition pages.
        std::set<uint32_t> tdef;
        for (uint32_t s = seite; s != 0;) {
            if (s >= seiten_) {
                Melden(wer + ": Definitionsseite " + std::to_string(s) + " hinter dem Ende der Datei");
                return;
            }
            if (!tdef.insert(s).second) {
                Melden(wer + ": Definitionsseiten bilden einen Kreis");
                break;
            }
            if (Seite(s)[0] != static_cast<uint8_t>(Seitentyp::Tabelle)) {
                Melden(wer + ": Definitionsseite " + std::to_string(s) + " hat Typ " + Hex(Seite(s)[0]));
                return;
            }
            Erfassen(s, Art::Tdef, "Definition von " + wer);
            s = le32(Seite(s) + 4);
        }
        Tabellendef def;
        try {
            def = TabelleLesen(*datei_, seite);
        } catch (const std::exception& e) {
            Melden(wer + ": Definition nicht lesbar: " + e.what());
            return;
        }

        // Owned pages and the free-space map.
        Erfassen(def.belegt.seite, Art::Kartenhalter, "Karten von " + wer);
        const auto belegt = KarteLesen(def.belegt, wer, false);
        std::set<uint32_t> eigene;
        if (belegt) {
            eigene = belegt->seiten;
            for (uint32_t s : belegt->kartenseiten) Erfassen(s, Art::Kartenseite, "Kartenseite von " + wer);
            for (uint32_t s : eigene) Erfassen(s, Art::Daten, wer);
        }
        Erfassen(def.frei.seite, Art::Kartenhalter, "Karten von " + wer);
        if (const auto frei = KarteLesen(def.frei, wer + ", Freiraumkarte", false)) {
            for (uint32_t s : frei->kartenseiten)
                Erfassen(s, Art::Kartenseite, "Kartenseite der Freiraumkarte von " + wer);
            for (uint32_t s : frei->seiten)
                if (!eigene.count(s))
                    Melden(wer + ": Freiraumkarte nennt Seite " + std::to_string(s) + ", die der Tabelle nicht gehört");
        }

        // Memo and OLE columns keep their long-value pages in maps of their own.
        for (const Spalte& sp : def.spalten) {
            if ((sp.typ != kMemo && sp.typ != kOle) || sp.lvBelegt == Zeilenort{}) continue;
            const std::string lw = wer + ", Langwerte von \"" + nachUtf8(sp.name) + "\"";
            std::set<uint32_t> langseiten;
            Erfassen(sp.lvBelegt.seite, Art::Kartenhalter, "Karten von " + lw);
            if (const auto k = KarteLesen(sp.lvBelegt, lw, false)) {
                for (uint32_t s : k->kartenseiten) Erfassen(s, Art::Kartenseite, "Kartenseite von " + lw);
                for (uint32_t s : k->seiten) {
                    const uint8_t* p = Seite(s);
                    if (p[0] != static_cast<uint8_t>(Seitentyp::Daten) || std::memcmp(p + 4, "LVAL", 4) != 0)
                        Melden("Seite " + std::to_string(s) + " (" + lw + "): keine Langwertseite");
                    else Erfassen(s, Art::Langwert, lw);
                    langseiten.insert(s);
                }
            }
            if (sp.lvFrei == Zeilenort{}) continue;
            Erfassen(sp.lvFrei.seite, Art::Kartenhalter, "Karten von " + lw);
            if (const auto k = KarteLesen(sp.lvFrei, lw + ", Freiraumkarte", false)) {
                for (uint32_t s : k->kartenseiten)
                    Erfassen(s, Art::Kartenseite, "Kartenseite der Freiraumkarte von " + lw);
                for (uint32_t s : k->seiten)
                    if (!langseiten.count(s))
                        Melden(lw + ": Freiraumkarte nennt Seite " + std::to_string(s) + ", die die Spalte nicht hat");
            }
        }

        // Data pages: header, row table, free space; the live rows.
        std::vector<Zeilenort> lebende;
        std::vector<std::pair<Zeilenort, Zeilenort>> überläufe;  // row, where its data lies
        std::set<Zeilenort> gelöschte;
        std::vector<Zeilenort> nurGelöscht;
        for (uint32_t s : eigene) {
            const uint8_t* p = Seite(s);
            const std::string wo = "Seite " + std::to_string(s) + " (" + wer + ")";
            if (p[0] != static_cast<uint8_t>(Seitentyp::Daten)) {
                Melden(wo + ": Typ " + Hex(p[0]) + " statt Datenseite");
                continue;
            }
            if (le32(p + 4) != seite) {
                Melden(wo + ": gehört laut Seitenkopf zu Seite " + std::to_string(le32(p + 4)));
                continue;
            }
            const auto lagen = Zeilentabelle(s, wer);
            const size_t kopf = kDatenKopf + 2 * lagen.size();
            size_t belegtBytes = 0;
            bool heil = true;
            for (size_t r = 0; r < lagen.size(); ++r) {
                const Zeilenlage& z = lagen[r];
                const Zeilenort ort{s, static_cast<uint8_t>(r)};
                if (z.anfang < kopf || z.anfang > P) {
                    Melden(wo + ", Zeile " + std::to_string(r) + ": Anfang " + std::to_string(z.anfang) +
                           " liegt nicht hinter dem Seitenkopf in der Seite");
                    heil = false;
                    continue;
                }
                if (z.anfang > z.ende) {
                    Melden(wo + ", Zeile " + std::to_string(r) + ": überlappt Zeile " + std::to_string(r - 1));
                    heil = false;
                    continue;
                }
                belegtBytes += z.ende - z.anfang;
                if (z.gelöscht()) {
                    gelöschte.insert(ort);
                    if (!z.überlauf()) nurGelöscht.push_back(ort);
                    continue;
                }
                lebende.push_back(ort);
                if (z.überlauf()) {
                    if (z.ende - z.anfang < 4)
                        Melden(wo + ", Zeile " + std::to_string(r) + ": Überlaufzeile ohne Zeiger");
                    else überläufe.emplace_back(ort, Zeilenort::AusZeiger(le32(p + z.anfang)));
                }
            }
            if (heil && Freiraumfeld(p) != P - kopf - belegtBytes)
                Melden(wo + ": Freiraum " + std::to_string(Freiraumfeld(p)) + ", tatsächlich " +
                       std::to_string(P - kopf - belegtBytes));
        }
        std::set<Zeilenort> ziele;
        for (const auto& [ort, ziel] : überläufe) {
            if (!eigene.count(ziel.seite) || !gelöschte.count(ziel) || !ziele.insert(ziel).second)
                Melden(wer + ", Zeile " + Ort(ort) + ": Überlaufzeiger auf " + Ort(ziel) +
                       " trifft keine (als gelöscht markierte) Zeile der Tabelle");
        }
        // Access flags a deleted row with both bits; one with the first alone is the moved
        // data of an overflow row, which libmdb reads as a row of its own otherwise.
        for (const Zeilenort ort : nurGelöscht)
            if (!ziele.count(ort))
                Melden(wer + ", Zeile " + Ort(ort) +
                       ": gelöscht ohne das zweite Kennzeichen (0x4000), doch kein Überlaufziel");
        ++bericht_.tabellen;
        bericht_.zeilen += lebende.size();
        if (def.zeilen != lebende.size())
            Melden(wer + ": Zeilenzahl " + std::to_string(def.zeilen) + ", gefunden " + std::to_string(lebende.size()));

        // Long values and, for the indexes, every row's values.
        std::vector<Zeilenwerte> zeilen;
        std::set<uint16_t> rohSpalten;
        for (const RealerIndex& ix : def.realeIndizes)
            for (const IndexSpalte& is : ix.spalten)
                for (size_t i = 0; i < def.spalten.size(); ++i)
                    if (def.spalten[i].nummer == is.nummer &&
                        (def.spalten[i].typ == kBinär || def.spalten[i].typ == kGuid))
                        rohSpalten.insert(static_cast<uint16_t>(i));
        bool werteVollständig = true;
        for (Zeilenort ort : lebende) {
            std::span<const uint8_t> zeile;
            try {
                zeile = ZeileAn(*datei_, ort);
            } catch (const std::exception& e) {
                Melden(wer + ", Zeile " + Ort(ort) + ": " + e.what());
                werteVollständig = false;
                continue;
            }
            LangwerteErfassen(def, zeile, wer + ", Zeile " + Ort(ort));
            if (def.realeIndizes.empty()) continue;
            try {
                Zeilenwerte zw{ort, ZeileLesen(*datei_, def, zeile), {}};
                for (uint16_t i : rohSpalten)
                    if (auto r = RohwertLesen(*datei_, def, zeile, i)) zw.roh[i] = std::move(*r);
                zeilen.push_back(std::move(zw));
            } catch (const std::exception& e) {
                Melden(wer + ", Zeile " + Ort(ort) + ": Werte nicht lesbar: " + e.what());
                werteVollständig = false;
            }
        }

        const std::set<Zeilenort> lebendSet(lebende.begin(), lebende.end());
        for (size_t k = 0; k < def.realeIndizes.size(); ++k)
            IndexPrüfen(def, def.realeIndizes[k], wer + ", Index " + std::to_string(k), seite, lebendSet,
                        werteVollständig ? &zeilen : nullptr);
    }

    static size_t Freiraumfeld(const uint8_t* p) { return le16(p + 2); }

    // The bytes of variable column `varIndex` of a row, nullopt when it has none.
    static std::optional<std::span<const uint8_t>> VariableSpalte(std::span<const uint8_t> z, uint16_t varIndex) {
        if (z.size() < 2) return std::nullopt;
        const size_t maske = (le16(z.data()) + 7) / 8;
        if (z.size() < maske + 2) return std::nullopt;
        const size_t zahlOrt = z.size() - maske - 2;
        const size_t anzahl = le16(z.data() + zahlOrt);
        if (varIndex >= anzahl || zahlOrt < 2 * (anzahl + 1)) return std::nullopt;
        auto eintrag = [&](size_t i) { return le16(z.data() + zahlOrt - 2 * (i + 1)); };
        const size_t von = eintrag(varIndex), bis = eintrag(varIndex + 1);
        if (von > bis || bis > zahlOrt - 2 * (anzahl + 1)) return std::nullopt;
        return z.subspan(von, bis - von);
    }

    static bool NichtNull(std::span<const uint8_t> z, uint16_t nummer) {
        if (z.size() < 2) return false;
        const size_t spalten = le16(z.data());
        const size_t maske = (spalten + 7) / 8;
        if (nummer >= spalten || z.size() < maske) return false;
        return z[z.size() - maske + nummer / 8] & (1 << (nummer % 8));
    }

    // Follows each Memo/OLE value of the row to its long-value rows and accounts their pages.
    void LangwerteErfassen(const Tabellendef& def, std::span<const uint8_t> zeile, const std::string& wer) {
        for (const Spalte& sp : def.spalten) {
            if (sp.typ != kMemo && sp.typ != kOle) continue;
            if (sp.Fest() || !NichtNull(zeile, sp.nummer)) continue;
            const auto wert = VariableSpalte(zeile, sp.varIndex);
            if (!wert || wert->size() < 12) continue;
            const uint32_t kopf = le32(wert->data());
            if (kopf & 0x80000000) continue;  // inline
            Zeilenort ort = Zeilenort::AusZeiger(le32(wert->data() + 4));
            const std::string wo = wer + ", Spalte \"" + nachUtf8(sp.name) + "\"";
            const bool einzeln = kopf & 0x40000000;
            for (size_t schritte = 0; ort.seite != 0 || ort.zeile != 0; ++schritte) {
                if (schritte > seiten_ * 256u) {
                    Melden(wo + ": Langwertkette endet nicht");
                    break;
                }
                const auto lz = LangwertZeile(ort, wo);
                if (!lz || einzeln) break;
                if (lz->size() < 4) {
                    Melden(wo + ": Langwertzeile " + Ort(ort) + " ohne Verweis");
                    break;
                }
                ort = Zeilenort::AusZeiger(le32(lz->data()));
            }
        }
    }

    std::optional<std::span<const uint8_t>> LangwertZeile(Zeilenort ort, const std::string& wer) {
        if (ort.seite == 0 || ort.seite >= seiten_) {
            Melden(wer + ": Langwert auf Seite " + std::to_string(ort.seite) + " außerhalb der Datei");
            return std::nullopt;
        }
        if (le32(Seite(ort.seite) + 4) != kLval) {
            Melden(wer + ": Langwert auf Seite " + std::to_string(ort.seite) + ", die keine Langwertseite ist");
            return std::nullopt;
        }
        if (!langwertZeilen_.insert(ort).second) {
            Melden(wer + ": Langwertzeile " + Ort(ort) + " ist schon anderweitig verwendet");
            return std::nullopt;
        }
        auto z = RohZeile(ort, wer);
        // A long value a live row refers to is never one Access counts as deleted: a
        // writer that frees deleted rows' pages relies on it.
        if (z && ort.zeile < le16(Seite(ort.seite) + 12) && (le16(Seite(ort.seite) + 14 + 2 * ort.zeile) & 0x8000))
            Melden(wer + ": Langwertzeile " + Ort(ort) + " ist als gelöscht markiert");
        if (z) {
            Erfassen(ort.seite, Art::Langwert, "Langwerte");
            ++bericht_.langwerte;
        }
        return z;
    }

    // Decodes index page `nr` (entries with the page's prefix restored); nullopt with a problem.
    std::optional<Indexseite> IndexseiteLesen(uint32_t nr, const std::string& wer) {
        const uint8_t* p = Seite(nr);
        const std::string wo = "Seite " + std::to_string(nr) + " (" + wer + ")";
        Indexseite seite;
        if (p[0] == static_cast<uint8_t>(Seitentyp::IndexBlatt)) seite.blatt = true;
        else if (p[0] != static_cast<uint8_t>(Seitentyp::IndexKnoten)) {
            Melden(wo + ": Typ " + Hex(p[0]) + " statt Indexseite");
            return std::nullopt;
        }
        seite.vor = le32(p + 12);
        seite.nach = le32(p + 16);
        seite.schwanz = le32(p + 20);
        const size_t präfix = le16(p + 24);
        const size_t anhang = seite.blatt ? 4 : 8;
        const uint8_t* daten = p + kIndexDaten;
        std::vector<uint8_t> vorn;
        size_t anfang = 0;
        for (size_t i = 0; i < (kIndexDaten - kIndexMaske) * 8; ++i) {
            if (!(p[kIndexMaske + i / 8] & (1 << (i % 8)))) continue;
            const size_t ende = i;
            if (ende > P - kIndexDaten || ende <= anfang) {
                Melden(wo + ": Eintragsmaske markiert ein Ende bei " + std::to_string(ende));
                return std::nullopt;
            }
            std::vector<uint8_t> voll;
            if (seite.einträge.empty()) {
                if (präfix > ende) {
                    Melden(wo + ": gemeinsamer Anfang länger als der erste Eintrag");
                    return std::nullopt;
                }
                vorn.assign(daten, daten + präfix);
                voll.assign(daten, daten + ende);
            } else {
                voll = vorn;
                voll.insert(voll.end(), daten + anfang, daten + ende);
            }
            if (voll.size() <= anhang) {
                Melden(wo + ": Eintrag " + std::to_string(seite.einträge.size()) + " zu kurz");
                return std::nullopt;
            }
            const uint8_t* z = voll.data() + voll.size() - anhang;
            Zeilenort ort{static_cast<uint32_t>(z[0] << 16 | z[1] << 8 | z[2]), z[3]};
            if (!seite.blatt) seite.kinder.push_back(uint32_t(z[4]) << 24 | uint32_t(z[5]) << 16 | z[6] << 8 | z[7]);
            voll.resize(voll.size() - anhang);
            seite.einträge.push_back({std::move(voll), ort});
            anfang = ende;
        }
        return seite;
    }

    struct Baumlauf {
        const std::set<uint32_t>* karte;
        uint32_t tabelle;
        std::string wer;
        std::set<uint32_t> besucht;
        std::vector<std::pair<uint32_t, Indexseite>> blätter;  // in key order
    };

    static bool Innerhalb(const Indexeintrag& e, const Grenzen& g) {
        return (!g.unten || Vor(*g.unten, e)) && (!g.oben || !Vor(*g.oben, e));
    }

    void Absteigen(Baumlauf& lauf, uint32_t nr, Grenzen grenzen, int tiefe) {
        const std::string wo = "Seite " + std::to_string(nr) + " (" + lauf.wer + ")";
        if (nr == 0 || nr >= seiten_) {
            Melden(lauf.wer + ": Verweis auf Seite " + std::to_string(nr) + " außerhalb der Datei");
            return;
        }
        if (tiefe > 32) {
            Melden(wo + ": Baum tiefer als 32 Ebenen");
            return;
        }
        if (!lauf.besucht.insert(nr).second) {
            Melden(wo + ": kommt im Baum mehrfach vor");
            return;
        }
        if (!lauf.karte->count(nr)) Melden(wo + ": fehlt in der Karte des Index");
        if (le32(Seite(nr) + 4) != lauf.tabelle)
            Melden(wo + ": gehört laut Seitenkopf zu Seite " + std::to_string(le32(Seite(nr) + 4)));
        auto seite = IndexseiteLesen(nr, lauf.wer);
        if (!seite) return;
        for (size_t i = 0; i < seite->einträge.size(); ++i) {
            if (!Innerhalb(seite->einträge[i], grenzen)) {
                Melden(wo + ": Eintrag " + std::to_string(i) + " (Zeile " + Ort(seite->einträge[i].ort) +
                       ") liegt außerhalb der Schlüssel des Knotens darüber");
                break;
            }
        }
        if (seite->blatt) {
            lauf.blätter.emplace_back(nr, std::move(*seite));
            return;
        }
        ++bericht_.knotenseiten;
        const Indexseite knoten = std::move(*seite);
        for (size_t i = 0; i < knoten.kinder.size(); ++i) {
            Grenzen g{i == 0 ? grenzen.unten : &knoten.einträge[i - 1], &knoten.einträge[i]};
            Absteigen(lauf, knoten.kinder[i], g, tiefe + 1);
        }
        // The tail is the last child, listed by an entry or not.
        if (knoten.schwanz != 0 && (knoten.kinder.empty() || knoten.schwanz != knoten.kinder.back()))
            Absteigen(lauf, knoten.schwanz,
                      {knoten.einträge.empty() ? grenzen.unten : &knoten.einträge.back(), grenzen.oben}, tiefe + 1);
        else if (knoten.kinder.empty()) Melden(wo + ": Knotenseite ohne Kinder");
    }

    void IndexPrüfen(const Tabellendef& def, const RealerIndex& ix, const std::string& wer, uint32_t tabelle,
                     const std::set<Zeilenort>& lebende, const std::vector<Zeilenwerte>* zeilen) {
        Erfassen(ix.karte.seite, Art::Kartenhalter, "Karten von " + wer);
        const auto karte = KarteLesen(ix.karte, wer, false);
        if (!karte) return;
        for (uint32_t s : karte->kartenseiten) Erfassen(s, Art::Kartenseite, "Kartenseite von " + wer);
        for (uint32_t s : karte->seiten) Erfassen(s, Art::Index, wer);

        Baumlauf lauf{&karte->seiten, tabelle, wer, {}, {}};
        Absteigen(lauf, ix.wurzel, {}, 0);
        for (uint32_t s : karte->seiten)
            if (!lauf.besucht.count(s))
                Melden("Seite " + std::to_string(s) + " (" + wer + "): in der Karte des Index, aber nicht im Baum");

        // The leaf chain, both ways, in the order of the tree.
        const auto& blätter = lauf.blätter;
        for (size_t i = 0; i < blätter.size(); ++i) {
            const uint32_t erwartetVor = i == 0 ? 0 : blätter[i - 1].first;
            const uint32_t erwartetNach = i + 1 == blätter.size() ? 0 : blätter[i + 1].first;
            const std::string wo = "Seite " + std::to_string(blätter[i].first) + " (" + wer + ")";
            if (blätter[i].second.nach != erwartetNach)
                Melden(wo + ": Verweis aufs nächste Blatt " + std::to_string(blätter[i].second.nach) + " statt " +
                       std::to_string(erwartetNach));
            if (blätter[i].second.vor != erwartetVor)
                Melden(wo + ": Verweis aufs vorige Blatt " + std::to_string(blätter[i].second.vor) + " statt " +
                       std::to_string(erwartetVor));
        }

        // Entries: in key order, each at a live row, one per row with the row's key.
        std::vector<Indexeintrag> alle;
        for (const auto& [nr, blatt] : blätter) {
            for (const Indexeintrag& e : blatt.einträge) {
                if (!alle.empty() && !Vor(alle.back(), e))
                    Melden("Seite " + std::to_string(nr) + " (" + wer + "): Eintrag für Zeile " + Ort(e.ort) +
                           " steht nicht hinter dem für Zeile " + Ort(alle.back().ort) + " (Schlüsselfolge)");
                if (!lebende.count(e.ort))
                    Melden("Seite " + std::to_string(nr) + " (" + wer + "): Eintrag zeigt auf Zeile " + Ort(e.ort) +
                           ", die es nicht gibt");
                alle.push_back(e);
                ++bericht_.indexeinträge;
            }
        }
        if (!zeilen) return;
        std::multimap<Zeilenort, const std::vector<uint8_t>*> gefunden;
        for (const Indexeintrag& e : alle) gefunden.emplace(e.ort, &e.schlüssel);
        for (const Zeilenwerte& z : *zeilen) {
            std::optional<std::vector<uint8_t>> schlüssel;
            try {
                if (OhneEintrag(def, ix, z.werte, &z.roh)) {
                    if (gefunden.count(z.ort))
                        Melden(wer + ": Eintrag für Zeile " + Ort(z.ort) + ", die keinen haben darf");
                    continue;
                }
                schlüssel = Schlüssel(def, ix, z.werte, &z.roh);
            } catch (const NichtSchreibbar&) {
                ++bericht_.indizesOhneSchlüssel;
                return;  // keys this writer cannot form (another sort order): structure only
            } catch (const std::exception& e) {
                Melden(wer + ", Zeile " + Ort(z.ort) + ": Schlüssel nicht bildbar: " + e.what());
                continue;
            }
            const auto [von, bis] = gefunden.equal_range(z.ort);
            const size_t anzahl = static_cast<size_t>(std::distance(von, bis));
            if (anzahl == 0) Melden(wer + ": Eintrag für Zeile " + Ort(z.ort) + " fehlt");
            else if (anzahl > 1) Melden(wer + ": " + std::to_string(anzahl) + " Einträge für Zeile " + Ort(z.ort));
            else if (*von->second != *schlüssel)
                Melden(wer + ": Eintrag für Zeile " + Ort(z.ort) + " hat einen anderen Schlüssel als die Zeile (" +
                       HexBytes(*von->second) + " statt " + HexBytes(*schlüssel) + ")");
            else ++bericht_.schlüsselVerglichen;
        }
    }
};

}  // namespace

std::vector<std::string> Jet4Prüfen(const std::vector<uint8_t>& datei, Jet4Prüfbericht* bericht) {
    Jet4Prüfbericht leer;
    try {
        return Prüfer(datei, bericht ? *bericht : leer).Ausführen();
    } catch (const std::exception& e) {
        return {std::string("Prüfung abgebrochen: ") + e.what()};
    }
}
