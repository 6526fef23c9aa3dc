// The structural checker of Jet 4 files: quiet on what Access wrote, loud on each kind of
// damage, and safe on garbage.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "common/AccessVorlagen.h"
#include "common/Dateiinhalt.h"
#include "common/Jet4Pruefer.h"
#include "platform/dao/storage/access/jet4/Jet4Katalog.h"
#include "platform/dao/storage/access/jet4/Jet4Schreiber.h"
#include "platform/dao/storage/access/jet4/Jet4Tabelle.h"
#include "platform/dao/storage/access/jet4/Jet4Zeilen.h"

namespace {

namespace jet4 = dao::speicher::access::jet4;
using Bytes = std::vector<uint8_t>;

Bytes Laden(const std::string& name) { return DateiBytes(kAccessOrdner + name); }

#define VORLAGEN_ODER_SKIP()                                                           \
    do {                                                                               \
        if (!std::filesystem::exists(kAccessOrdner + "empty.mdb"))                     \
            GTEST_SKIP() << "Die Access-Testdateien fehlen (" << kAccessOrdner << ")"; \
    } while (0)

std::string Liste(const std::vector<std::string>& probleme) {
    std::string s;
    for (const auto& p : probleme) s += "  " + p + "\n";
    return s;
}

uint16_t L16(const Bytes& d, size_t o) { return static_cast<uint16_t>(d[o] | d[o + 1] << 8); }
uint32_t L32(const Bytes& d, size_t o) { return L16(d, o) | uint32_t(L16(d, o + 2)) << 16; }
void S16(Bytes& d, size_t o, uint16_t v) {
    d[o] = static_cast<uint8_t>(v);
    d[o + 1] = static_cast<uint8_t>(v >> 8);
}
void S32(Bytes& d, size_t o, uint32_t v) {
    S16(d, o, static_cast<uint16_t>(v));
    S16(d, o + 2, static_cast<uint16_t>(v >> 16));
}
size_t Seite(uint32_t nr) { return size_t(nr) * jet4::kSeitengröße; }

// The definition of the table `name`, found through MSysObjects.
jet4::Tabellendef Tabelle(const Bytes& d, const Text& name) {
    const jet4::Datei datei(d);
    const jet4::Tabellendef katalog = jet4::TabelleLesen(datei, jet4::kKatalogSeite);
    size_t id = 0, spalteName = 0;
    for (size_t i = 0; i < katalog.spalten.size(); ++i) {
        if (katalog.spalten[i].name == u"Id") id = i;
        if (katalog.spalten[i].name == u"Name") spalteName = i;
    }
    uint32_t seite = 0;
    jet4::ZeilenDurchgehen(datei, katalog, [&](jet4::Zeilenort, std::span<const uint8_t> zeile) {
        const auto werte = jet4::ZeileLesen(datei, katalog, zeile);
        if (werte[spalteName].istText() && werte[spalteName].text() == name)
            seite = static_cast<uint32_t>(werte[id].alsLong()) & 0xFFFFFF;
    });
    if (seite == 0) throw std::runtime_error("keine Tabelle " + nachUtf8(name));
    return jet4::TabelleLesen(datei, seite);
}

// Where row `ort` of a data page starts.
size_t Zeilenanfang(const Bytes& d, jet4::Zeilenort ort) {
    return Seite(ort.seite) + (L16(d, Seite(ort.seite) + 14 + 2 * ort.zeile) & 0x1FFF);
}

// Sets or clears the bit of page `seite` in an inline usage map.
void Kartenbit(Bytes& d, jet4::Zeilenort karte, uint32_t seite, bool an) {
    const size_t z = Zeilenanfang(d, karte);
    if (d[z] != 0x00) throw std::runtime_error("keine eingebettete Karte");
    const uint32_t bit = seite - L32(d, z + 1);
    uint8_t& b = d[z + 5 + bit / 8];
    b = an ? static_cast<uint8_t>(b | 1 << (bit % 8)) : static_cast<uint8_t>(b & ~(1 << (bit % 8)));
}

// The entry ends an index page marks in its bitmap (offsets into its entry area).
std::vector<size_t> Eintragsenden(const Bytes& d, uint32_t seite) {
    std::vector<size_t> enden;
    for (size_t i = 0; i < (480 - 27) * 8; ++i)
        if (d[Seite(seite) + 27 + i / 8] & (1 << (i % 8))) enden.push_back(i);
    return enden;
}

uint32_t ErsteEigeneSeite(const Bytes& d, const jet4::Tabellendef& def) {
    const size_t z = Zeilenanfang(d, def.belegt);
    for (size_t i = 5;; ++i)
        for (int bit = 0; bit < 8; ++bit)
            if (d[z + i] & (1 << bit)) return L32(d, z + 1) + static_cast<uint32_t>((i - 5) * 8 + bit);
}

bool Enthält(const std::vector<std::string>& probleme, const std::string& teil) {
    return std::any_of(probleme.begin(), probleme.end(),
                       [&](const std::string& p) { return p.find(teil) != std::string::npos; });
}

}  // namespace

TEST(Jet4Pruefer, FindetNichtsInDenAccessDateien) {
    VORLAGEN_ODER_SKIP();
    for (const std::string& name : kJet4Dateien) {
        Jet4Prüfbericht b;
        const Bytes d = Laden(name);
        const auto probleme = Jet4Prüfen(d, &b);
        EXPECT_TRUE(probleme.empty()) << name << ":\n" << Liste(probleme);
        // It really looked: every page accounted for, every index entry matched with its row's key.
        size_t seiten = 0;
        for (size_t n : b.seitenJeArt) seiten += n;
        EXPECT_EQ(seiten, d.size() / jet4::kSeitengröße) << name;
        EXPECT_GE(b.tabellen, 5u) << name;
        EXPECT_GT(b.indexeinträge, 0u) << name;
        EXPECT_EQ(b.schlüsselVerglichen, b.indexeinträge) << name;
        EXPECT_GT(b.langwerte, 0u) << name;
    }
}

TEST(Jet4Pruefer, MeldetJedeArtVonSchaden) {
    VORLAGEN_ODER_SKIP();
    const Bytes heil = Laden("indexTestV2000.mdb");
    const jet4::Tabellendef t1 = Tabelle(heil, u"Table1");
    const jet4::Tabellendef t2 = Tabelle(heil, u"Table2");
    const uint32_t daten1 = ErsteEigeneSeite(heil, t1);
    const uint32_t daten2 = ErsteEigeneSeite(heil, t2);
    const uint32_t blatt = t1.realeIndizes.at(0).wurzel;
    const std::string seite1 = "Seite " + std::to_string(daten1);
    const std::string tabelle1 = "Tabelle \"Table1\" (Seite " + std::to_string(t1.seite) + ")";
    ASSERT_GE(Eintragsenden(heil, blatt).size(), 3u);

    struct Fall {
        const char* was;
        std::function<void(Bytes&)> schaden;
        std::string meldung;
    };
    const Fall fälle[] = {
        {"eigene Seite aus der Karte genommen", [&](Bytes& d) { Kartenbit(d, t1.belegt, daten1, false); },
         seite1 + ": von nichts erfasst"},
        {"Seite zweimal beansprucht", [&](Bytes& d) { Kartenbit(d, t1.belegt, daten2, true); },
         "Seite " + std::to_string(daten2) + ": doppelt erfasst"},
        {"Zeilenzahl um eins daneben",
         [&](Bytes& d) { S32(d, Seite(t1.seite) + 16, L32(d, Seite(t1.seite) + 16) + 1); },
         tabelle1 + ": Zeilenzahl " + std::to_string(t1.zeilen + 1) + ", gefunden " + std::to_string(t1.zeilen)},
        {"Freiraum der Datenseite falsch", [&](Bytes& d) { S16(d, Seite(daten1) + 2, L16(d, Seite(daten1) + 2) - 2); },
         seite1 + " (" + tabelle1 + "): Freiraum"},
        {"Indexeintrag entfernt",
         [&](Bytes& d) {
             const size_t letztes = Eintragsenden(d, blatt).back();
             d[Seite(blatt) + 27 + letztes / 8] &= static_cast<uint8_t>(~(1 << (letztes % 8)));
         },
         tabelle1 + ", Index 0: Eintrag für Zeile"},
        {"zwei Indexeinträge vertauscht",
         [&](Bytes& d) {
             const auto enden = Eintragsenden(d, blatt);
             const size_t a = Seite(blatt) + 480 + enden[0], länge = enden[1] - enden[0];
             ASSERT_EQ(länge, enden[2] - enden[1]);
             std::swap_ranges(d.begin() + static_cast<long>(a), d.begin() + static_cast<long>(a + länge),
                              d.begin() + static_cast<long>(a + länge));
         },
         "(Schlüsselfolge)"},
        {"Verweis aufs nächste Blatt kaputt", [&](Bytes& d) { S32(d, Seite(blatt) + 16, blatt); },
         "Seite " + std::to_string(blatt) + " (" + tabelle1 + ", Index 0): Verweis aufs nächste Blatt"},
        {"Freiraumkarte nennt fremde Seite", [&](Bytes& d) { Kartenbit(d, t1.frei, daten2, true); },
         tabelle1 + ": Freiraumkarte nennt Seite " + std::to_string(daten2)},
        {"Datenseite zeigt auf fremde Tabelle", [&](Bytes& d) { S32(d, Seite(daten1) + 4, t2.seite); },
         seite1 + " (" + tabelle1 + "): gehört laut Seitenkopf zu Seite " + std::to_string(t2.seite)},
    };
    for (const Fall& f : fälle) {
        Bytes d = heil;
        f.schaden(d);
        const auto probleme = Jet4Prüfen(d);
        EXPECT_TRUE(Enthält(probleme, f.meldung)) << f.was << ": erwartet \"" << f.meldung << "\", gemeldet:\n"
                                                  << Liste(probleme);
    }
}

// A table grown by the writer to trees of several levels: sound as written, and each
// broken link of the tree is found.
TEST(Jet4Pruefer, PrueftMehrstufigeBaeume) {
    VORLAGEN_ODER_SKIP();
    Bytes gross;
    {
        jet4::Datei datei(Laden("indexTestV2000.mdb"));
        jet4::Tabellendef def = Tabelle(datei.Inhalt(), u"Table1");
        int i = 0;
        jet4::ZeilenAnfügen(datei, def, [&](std::vector<Variante>& z) {
            if (i == 3000) return false;
            z = {Variante(int32_t(100 + i)), Variante(int32_t(i % 7)), Variante(int32_t(i)),
                 Variante(ausUtf8("Eintrag Nummer " + std::to_string(i))), Variante(int32_t(0))};
            ++i;
            return true;
        });
        gross = datei.Inhalt();
    }
    Jet4Prüfbericht b;
    const auto probleme = Jet4Prüfen(gross, &b);
    ASSERT_TRUE(probleme.empty()) << Liste(probleme);
    ASSERT_GT(b.knotenseiten, 0u);

    // A node page of the table and a leaf that has one before it.
    const jet4::Tabellendef def = Tabelle(gross, u"Table1");
    uint32_t knoten = 0, blatt = 0;
    for (uint32_t nr = 1; nr < gross.size() / jet4::kSeitengröße; ++nr) {
        if (L32(gross, Seite(nr) + 4) != def.seite) continue;
        if (gross[Seite(nr)] == 0x03 && Eintragsenden(gross, nr).size() >= 2 && !knoten) knoten = nr;
        if (gross[Seite(nr)] == 0x04 && L32(gross, Seite(nr) + 12) != 0 && !blatt) blatt = nr;
    }
    ASSERT_NE(knoten, 0u);
    ASSERT_NE(blatt, 0u);
    // Where the child page of node entry `i` is stored (the entry's last four bytes, big-endian).
    auto kindOrt = [&](size_t i) { return Seite(knoten) + 480 + Eintragsenden(gross, knoten)[i] - 4; };
    auto kindSetzen = [](Bytes& d, size_t ort, uint32_t seite) {
        for (int k = 0; k < 4; ++k) d[ort + k] = static_cast<uint8_t>(seite >> (24 - 8 * k));
    };
    auto kind = [&](size_t i) {
        uint32_t s = 0;
        for (int k = 0; k < 4; ++k) s = s << 8 | gross[kindOrt(i) + k];
        return s;
    };
    struct Fall {
        const char* was;
        std::function<void(Bytes&)> schaden;
        std::string meldung;
    };
    const Fall fälle[] = {
        {"Verweis aufs vorige Blatt kaputt", [&](Bytes& d) { S32(d, Seite(blatt) + 12, 0); },
         "Seite " + std::to_string(blatt) + " (Tabelle \"Table1\" (Seite " + std::to_string(def.seite) + "), Index"},
        {"Kinder eines Knotens vertauscht",
         [&](Bytes& d) {
             const uint32_t a = kind(0), b = kind(1);
             kindSetzen(d, kindOrt(0), b);
             kindSetzen(d, kindOrt(1), a);
         },
         "liegt außerhalb der Schlüssel des Knotens darüber"},
        {"Kind zweimal genannt", [&](Bytes& d) { kindSetzen(d, kindOrt(1), kind(0)); }, "kommt im Baum mehrfach vor"},
        {"Knoten nennt sich selbst", [&](Bytes& d) { kindSetzen(d, kindOrt(0), knoten); },
         "Seite " + std::to_string(knoten) + " (Tabelle \"Table1\" (Seite " + std::to_string(def.seite) + "), Index"},
    };
    for (const Fall& f : fälle) {
        Bytes d = gross;
        f.schaden(d);
        const auto gemeldet = Jet4Prüfen(d);
        EXPECT_TRUE(Enthält(gemeldet, f.meldung)) << f.was << ": erwartet \"" << f.meldung << "\", gemeldet:\n"
                                                  << Liste(gemeldet);
    }
}

// Random bytes over a real file: the checker (and the readers it builds on) must neither
// crash nor hang; under the sanitizers this also finds reads out of bounds.
TEST(Jet4Pruefer, BleibtAufZerstoertenDateienStandfest) {
    VORLAGEN_ODER_SKIP();
    const Bytes heil = Laden("indexTestV2000.mdb");
    std::mt19937 zufall(4711);
    for (int lauf = 0; lauf < 200; ++lauf) {
        Bytes d = heil;
        const int stellen = 1 + lauf % 40;
        for (int i = 0; i < stellen; ++i) {
            // Page headers and row tables are where damage does most harm.
            const size_t seite = 1 + zufall() % (d.size() / jet4::kSeitengröße - 1);
            const size_t ort = zufall() % 3 ? zufall() % 64 : zufall() % jet4::kSeitengröße;
            d[Seite(static_cast<uint32_t>(seite)) + ort] = static_cast<uint8_t>(zufall());
        }
        const auto probleme = Jet4Prüfen(d);
        EXPECT_LE(probleme.size(), 201u);
    }
}
