// Index keys and index pages of Jet 4, against the keys Access wrote into the fixtures.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#include "common/AccessVorlagen.h"
#include "platform/dao/storage/access/jet4/Jet4Datei.h"
#include "platform/dao/storage/access/jet4/Jet4Index.h"
#include "platform/dao/storage/access/jet4/Jet4Karte.h"
#include "platform/dao/storage/access/jet4/Jet4Sortierung.h"
#include "platform/dao/storage/access/jet4/Jet4Tabelle.h"
#include "platform/dao/storage/access/jet4/Jet4Zeilen.h"

namespace {

using namespace dao::speicher::access::jet4;
namespace fs = std::filesystem;

Datei Laden(const std::string& name) {
    std::ifstream f(kAccessOrdner + name, std::ios::binary);
    return Datei(std::vector<uint8_t>(std::istreambuf_iterator<char>(f), {}));
}

std::string Hex(const std::vector<uint8_t>& b) {
    static const char* const z = "0123456789abcdef";
    std::string s;
    for (uint8_t x : b) s += {z[x >> 4], z[x & 15]};
    return s;
}

size_t SpalteNamens(const Tabellendef& def, const Text& name) {
    for (size_t k = 0; k < def.spalten.size(); ++k)
        if (def.spalten[k].name == name) return k;
    ADD_FAILURE() << "Spalte fehlt: " << nachUtf8(name);
    return 0;
}

struct Tabelle {
    Text name;
    Tabellendef def;
};

// Every table the catalogue lists (system tables too), read from its definition.
std::vector<Tabelle> AlleTabellen(const Datei& datei) {
    const Tabellendef katalog = TabelleLesen(datei, 2);
    const size_t id = SpalteNamens(katalog, u"Id"), name = SpalteNamens(katalog, u"Name"),
                 typ = SpalteNamens(katalog, u"Type");
    std::vector<Tabelle> tabellen;
    ZeilenDurchgehen(datei, katalog, [&](Zeilenort, std::span<const uint8_t> zeile) {
        const std::vector<Variante> w = ZeileLesen(datei, katalog, zeile);
        if (w[typ].istNull() || w[typ].alsLong() != 1) return;
        const uint32_t seite = static_cast<uint32_t>(w[id].alsLong()) & 0xFFFFFF;
        tabellen.push_back({w[name].text(), TabelleLesen(datei, seite)});
    });
    return tabellen;
}

Rohwerte RohwerteDer(const Datei& datei, const Tabellendef& def, std::span<const uint8_t> zeile) {
    Rohwerte roh;
    for (size_t k = 0; k < def.spalten.size(); ++k)
        if (def.spalten[k].typ == kBinär || def.spalten[k].typ == kGuid)
            if (auto b = RohwertLesen(datei, def, zeile, k)) roh[k] = *b;
    return roh;
}

std::vector<uint8_t> TextSchlüssel(const Text& t, bool aufsteigend = true) {
    std::vector<uint8_t> k;
    TextSchlüsselAnhängen(k, t, aufsteigend);
    return k;
}

// The main check: for every real index of every table of every Jet 4 fixture, the key our
// encoder computes from each row equals, byte for byte, the one Access wrote, and every
// row has its entry.
TEST(Jet4Index, SchluesselGleichenDenenVonAccess) {
    ACCESS_FIXTUREN_NOETIG();
    size_t einträge = 0, textEinträge = 0;
    bool parentIdName = false, unicode = false;
    for (const std::string& dateiname : kJet4Dateien) {
        SCOPED_TRACE(dateiname);
        const Datei datei = Laden(dateiname);
        for (const Tabelle& t : AlleTabellen(datei)) {
            SCOPED_TRACE(nachUtf8(t.name));
            std::set<Zeilenort> zeilen;
            ZeilenDurchgehen(datei, t.def, [&](Zeilenort ort, std::span<const uint8_t>) { zeilen.insert(ort); });
            for (const RealerIndex& index : t.def.realeIndizes) {
                SCOPED_TRACE("Wurzel " + std::to_string(index.wurzel));
                bool mitText = false;
                for (const IndexSpalte& s : index.spalten)
                    for (const Spalte& sp : t.def.spalten)
                        if (sp.nummer == s.nummer && sp.typ == kText) mitText = true;
                const std::vector<Indexeintrag> liste = IndexLesen(datei, index.wurzel);
                std::set<Zeilenort> erfasst;
                for (const Indexeintrag& e : liste) {
                    const std::span<const uint8_t> zeile = ZeileAn(datei, e.ort);
                    ASSERT_FALSE(zeile.empty()) << "Eintrag zeigt auf eine gelöschte Zeile";
                    const std::vector<Variante> werte = ZeileLesen(datei, t.def, zeile);
                    const Rohwerte roh = RohwerteDer(datei, t.def, zeile);
                    EXPECT_EQ(Hex(Schlüssel(t.def, index, werte, &roh)), Hex(e.schlüssel))
                        << "Zeile " << e.ort.seite << ":" << int(e.ort.zeile);
                    erfasst.insert(e.ort);
                    ++einträge;
                    if (mitText) ++textEinträge;
                }
                EXPECT_EQ(erfasst.size(), liste.size()) << "eine Zeile steht doppelt im Index";
                for (Zeilenort ort : zeilen) {
                    if (erfasst.count(ort)) continue;
                    const std::span<const uint8_t> zeile = ZeileAn(datei, ort);
                    const Rohwerte roh = RohwerteDer(datei, t.def, zeile);
                    EXPECT_TRUE(OhneEintrag(t.def, index, ZeileLesen(datei, t.def, zeile), &roh))
                        << "Zeile " << ort.seite << ":" << int(ort.zeile) << " fehlt im Index";
                }
                if (t.name == u"MSysObjects" && index.spalten.size() == 2) parentIdName = true;
                if (dateiname == "testUnicodeCompV2003.mdb" && t.name == u"Table" && mitText)
                    unicode = liste.size() == 8;
            }
        }
    }
    EXPECT_TRUE(parentIdName) << "MSysObjects' ParentIdName fehlte";
    EXPECT_TRUE(unicode) << "der Text-Index von testUnicodeCompV2003.mdb fehlte";
    EXPECT_GT(einträge, 1300u);
    EXPECT_GT(textEinträge, 290u);
}

// Orders as Access has them. Where they come from: 'a' and 'A' are both 4a and 'ä' is 4a
// with the extra byte 13 (MSysObjects names and "ääkkösiä" in testUnicodeCompV2003); digits
// sort before letters ('3' is 3c in "3L9…", 'a' 4a); '-' and '\'' are unprintable, kept only
// at the key's very end (the word sort of Access); "ß" has the codes of "ss"; an empty
// text is 7f 01 00, Null is 00.
TEST(Jet4Index, SortiertWieAccess) {
    struct Fall {
        const char16_t* links;
        const char16_t* rechts;
        int erwartet;  // -1 links first, 0 the same key, 1 rechts first
    };
    const Fall fälle[] = {
        {u"a", u"ä", -1},
        {u"ä", u"b", -1},
        {u"ab", u"äa", 1},
        {u"Müller", u"Mueller", 1},
        {u"Müller", u"Muller", 1},
        {u"Müller", u"Mulm", -1},
        {u"ss", u"ß", 0},
        {u"Strauß", u"Strauss", 0},
        {u"Straße", u"Strasse", 0},
        {u"Groß", u"Große", -1},
        {u"a", u"A", 0},
        {u"ÄRGER", u"ärger", 0},
        {u"Zeta", u"alpha", 1},
        {u"9", u"a", -1},
        {u"10", u"9", -1},
        {u"", u"a", -1},
        {u"co-op", u"coop", 1},
        {u"co-op", u"coopa", -1},
        {u"O'Neil", u"Oneil", 1},
        {u"a b", u"ab", -1},
        {u"é", u"e", 1},
        {u"é", u"f", -1},
        {u"Мир", u"Zeta", 1},
    };
    for (const Fall& f : fälle) {
        const auto l = TextSchlüssel(f.links), r = TextSchlüssel(f.rechts);
        const int ist = l < r ? -1 : (l == r ? 0 : 1);
        EXPECT_EQ(ist, f.erwartet) << nachUtf8(f.links) << " / " << nachUtf8(f.rechts) << ": " << Hex(l) << " / "
                                   << Hex(r);
        // Descending reverses every order and keeps equal keys equal.
        const auto ld = TextSchlüssel(f.links, false), rd = TextSchlüssel(f.rechts, false);
        EXPECT_EQ(ld < rd ? -1 : (ld == rd ? 0 : 1), -f.erwartet) << nachUtf8(f.links) << " absteigend";
    }
    // Null before the empty text before any other, in a whole key.
    Spalte text;
    text.typ = kText;
    text.sortierung = 1033;
    std::vector<uint8_t> null, leer, a;
    SchlüsselAnhängen(null, text, Variante::Null(), true);
    SchlüsselAnhängen(leer, text, Variante(u""), true);
    SchlüsselAnhängen(a, text, Variante(u"a"), true);
    EXPECT_EQ(Hex(null), "00");
    EXPECT_EQ(Hex(leer), "7f0100");
    EXPECT_LT(null, leer);
    EXPECT_LT(leer, a);
    std::vector<uint8_t> nullAb, leerAb;
    SchlüsselAnhängen(nullAb, text, Variante::Null(), false);
    SchlüsselAnhängen(leerAb, text, Variante(u""), false);
    EXPECT_EQ(Hex(nullAb), "ff");
    EXPECT_LT(leerAb, nullAb);
}

// The order Access gave the rows of every text index in its files (names of MSysObjects,
// the umlaut, Greek, Cyrillic and CJK texts of testUnicodeCompV2003) is the order of our
// keys: Long columns by value, text by our key, Null first, equal keys by row.
TEST(Jet4Index, OrdnetTexteWieAccess) {
    ACCESS_FIXTUREN_NOETIG();
    size_t indizes = 0;
    for (const std::string& dateiname : kJet4Dateien) {
        if (dateiname == "sample-adressen.mdb") continue;  // not written by Access
        SCOPED_TRACE(dateiname);
        const Datei datei = Laden(dateiname);
        for (const Tabelle& t : AlleTabellen(datei)) {
            for (const RealerIndex& index : t.def.realeIndizes) {
                std::vector<size_t> spalten;
                bool mitText = false, nurLangUndText = true;
                for (const IndexSpalte& is : index.spalten)
                    for (size_t k = 0; k < t.def.spalten.size(); ++k)
                        if (t.def.spalten[k].nummer == is.nummer) {
                            spalten.push_back(k);
                            mitText |= t.def.spalten[k].typ == kText;
                            nurLangUndText &= t.def.spalten[k].typ == kText || t.def.spalten[k].typ == kLong;
                        }
                if (!mitText || !nurLangUndText) continue;
                struct Zeile {
                    std::vector<Variante> werte;
                    Zeilenort ort;
                };
                std::vector<Zeile> access;
                for (const Indexeintrag& e : IndexLesen(datei, index.wurzel))
                    access.push_back({ZeileLesen(datei, t.def, ZeileAn(datei, e.ort)), e.ort});
                if (access.size() < 2) continue;
                ++indizes;
                std::vector<Zeile> unsere = access;
                std::stable_sort(unsere.begin(), unsere.end(), [&](const Zeile& a, const Zeile& b) {
                    for (size_t k : spalten) {
                        const Variante &x = a.werte[k], &y = b.werte[k];
                        if (x.istNull() != y.istNull()) return x.istNull();
                        if (x.istNull()) continue;
                        if (t.def.spalten[k].typ == kLong) {
                            if (x.alsLong() != y.alsLong()) return x.alsLong() < y.alsLong();
                        } else {
                            const auto kx = TextSchlüssel(x.text()), ky = TextSchlüssel(y.text());
                            if (kx != ky) return kx < ky;
                        }
                    }
                    return a.ort < b.ort;
                });
                for (size_t i = 0; i < access.size(); ++i)
                    EXPECT_EQ(access[i].ort, unsere[i].ort)
                        << nachUtf8(t.name) << " Platz " << i << ": Access hat " << access[i].werte[spalten.back()]
                        << ", wir " << unsere[i].werte[spalten.back()];
            }
        }
    }
    EXPECT_GT(indizes, 20u);
}

// Numbers, dates, Booleans and GUIDs: keys sort as the values do, reversed when descending,
// Null first (last when descending).
TEST(Jet4Index, ZahlenSortierenWieIhreWerte) {
    struct Fall {
        uint8_t typ;
        std::vector<Variante> werte;  // ascending
    };
    const Fall fälle[] = {
        {kByte,
         {Variante(uint8_t{0}), Variante(uint8_t{1}), Variante(uint8_t{127}), Variante(uint8_t{128}),
          Variante(uint8_t{255})}},
        {kInteger,
         {Variante(int16_t{-32768}), Variante(int16_t{-1}), Variante(int16_t{0}), Variante(int16_t{1}),
          Variante(int16_t{32767})}},
        {kLong,
         {Variante(int32_t{INT32_MIN}), Variante(int32_t{-256}), Variante(int32_t{-1}), Variante(int32_t{0}),
          Variante(int32_t{1}), Variante(int32_t{256}), Variante(int32_t{INT32_MAX})}},
        {kCurrency,
         {Variante::Währung(-922337203685477580), Variante::Währung(-10000), Variante::Währung(-1),
          Variante::Währung(0), Variante::Währung(1), Variante::Währung(12345678)}},
        {kSingle,
         {Variante(-1e30f), Variante(-2.5f), Variante(-1.0f), Variante(-1e-30f), Variante(0.0f), Variante(1e-30f),
          Variante(1.0f), Variante(2.5f), Variante(1e30f)}},
        {kDouble,
         {Variante(-1e300), Variante(-2.5), Variante(-1.0), Variante(-1e-300), Variante(0.0), Variante(1e-300),
          Variante(0.5), Variante(1.0), Variante(1e300)}},
        {kDatum,
         {Variante::Datum(-657434.0), Variante::Datum(-1.5), Variante::Datum(0.0), Variante::Datum(0.25),
          Variante::Datum(45000.75), Variante::Datum(2958465.0)}},
        {kGuid,
         {Variante(u"{00000000-0000-0000-0000-000000000000}"), Variante(u"{00000000-0000-0000-0000-000000000001}"),
          Variante(u"{0000FFFF-0000-0000-0000-000000000000}"), Variante(u"{FF000000-0000-0000-0000-000000000000}")}},
    };
    for (const Fall& f : fälle) {
        Spalte s;
        s.typ = f.typ;
        for (bool auf : {true, false}) {
            SCOPED_TRACE(std::to_string(f.typ) + (auf ? " aufsteigend" : " absteigend"));
            std::vector<std::vector<uint8_t>> keys;
            std::vector<uint8_t> null;
            SchlüsselAnhängen(null, s, Variante::Null(), auf);
            keys.push_back(null);
            for (const Variante& w : f.werte) {
                std::vector<uint8_t> k;
                SchlüsselAnhängen(k, s, w, auf);
                keys.push_back(k);
            }
            for (size_t i = 1; i < keys.size(); ++i)
                EXPECT_TRUE(auf ? keys[i - 1] < keys[i] : keys[i] < keys[i - 1]) << i << ": " << Hex(keys[i]);
        }
    }
    // As Access wrote them: Long 1 and 10 (Table1 of V2000_no-password, indexTestV2000).
    Spalte lang;
    lang.typ = kLong;
    std::vector<uint8_t> k;
    SchlüsselAnhängen(k, lang, Variante(int32_t{1}), true);
    SchlüsselAnhängen(k, lang, Variante(int32_t{10}), true);
    EXPECT_EQ(Hex(k), "7f800000017f8000000a");
    // A Boolean is never Null: Null counts as No, Yes sorts first.
    Spalte bool_;
    bool_.typ = kBoolean;
    std::vector<uint8_t> ja, nein, null;
    SchlüsselAnhängen(ja, bool_, Variante(true), true);
    SchlüsselAnhängen(nein, bool_, Variante(false), true);
    SchlüsselAnhängen(null, bool_, Variante::Null(), true);
    EXPECT_EQ(Hex(ja), "7f00");
    EXPECT_EQ(Hex(nein), "7fff");
    EXPECT_EQ(null, nein);
}

TEST(Jet4Index, VerweigertWasKeinenSchluesselHat) {
    Spalte memo;
    memo.typ = kMemo;
    Spalte fremd;
    fremd.typ = kText;
    fremd.sortierung = 1031;  // a text in another sort order
    Spalte neu;
    neu.typ = kText;
    neu.sortierung = 1033;
    neu.sortversion = 1;  // the General order of Access 2010
    Spalte text;
    text.typ = kText;
    text.sortierung = 1033;
    Spalte lang;
    lang.typ = kLong;
    Spalte binär;
    binär.typ = kBinär;
    const std::pair<const Spalte*, Variante> fälle[] = {
        {&memo, Variante(u"x")},
        {&fremd, Variante(u"x")},
        {&neu, Variante(u"x")},
        {&text, Variante(Text(u"a\xD83D\xDE00"))},  // a surrogate pair
        {&text, Variante(Text(1, u'\xDC00'))},
        {&lang, Variante(3.5)},
        {&lang, Variante(4294967296.0)},
        {&binär, Variante(u"x")},
    };
    for (const auto& [spalte, wert] : fälle) {
        std::vector<uint8_t> k;
        try {
            SchlüsselAnhängen(k, *spalte, wert, true);
            ADD_FAILURE() << "kein Fehler für Typ " << int(spalte->typ) << " " << wert;
        } catch (const NichtSchreibbar& f) {
            EXPECT_FALSE(f.grund.empty());
        }
    }
}

// ---- the B-tree ------------------------------------------------------------------------

uint32_t L32(const uint8_t* p) { return p[0] | p[1] << 8 | p[2] << 16 | static_cast<uint32_t>(p[3]) << 24; }

// A page's entries as stored, prefix put back: key, row pointer, in nodes the child page.
struct Roheintrag {
    std::vector<uint8_t> schlüssel;
    Zeilenort ort;
    uint32_t kind = 0;
};

std::vector<Roheintrag> Einträge(const uint8_t* p) {
    const bool blatt = p[0] == 0x04;
    const size_t präfix = static_cast<size_t>(p[24] | p[25] << 8);
    std::vector<std::vector<uint8_t>> voll;
    size_t anfang = 0;
    for (size_t bit = 0; bit < 453 * 8; ++bit)
        if (p[27 + bit / 8] & (1 << (bit % 8))) {
            std::vector<uint8_t> e;
            if (!voll.empty()) e.assign(voll[0].begin(), voll[0].begin() + static_cast<ptrdiff_t>(präfix));
            e.insert(e.end(), p + 480 + anfang, p + 480 + bit);
            voll.push_back(e);
            anfang = bit;
        }
    std::vector<Roheintrag> aus;
    for (const auto& e : voll) {
        const size_t n = e.size() - (blatt ? 4 : 8);
        Roheintrag r{std::vector<uint8_t>(e.begin(), e.begin() + static_cast<ptrdiff_t>(n)),
                     Zeilenort{static_cast<uint32_t>(e[n] << 16 | e[n + 1] << 8 | e[n + 2]), e[n + 3]}, 0};
        if (!blatt) r.kind = static_cast<uint32_t>(e[n + 4]) << 24 | e[n + 5] << 16 | e[n + 6] << 8 | e[n + 7];
        aus.push_back(r);
    }
    // The bitmap's last mark is the end of the data: free space follows from it.
    EXPECT_EQ(static_cast<size_t>(p[2] | p[3] << 8), 3616 - anfang);
    return aus;
}

// The last leaf entry below a page: down the tails (or last entries) to a leaf.
Roheintrag Letzter(const Datei& datei, uint32_t seite) {
    for (;;) {
        const uint8_t* p = datei.Seite(seite);
        const std::vector<Roheintrag> e = Einträge(p);
        if (p[0] == 0x04) return e.back();
        seite = L32(p + 20) ? L32(p + 20) : e.back().kind;
    }
}

struct Baumbild {
    size_t stufen = 0;
    std::set<uint32_t> seiten;
};

// Walks the whole tree and checks what IndexLesen does not look at: headers, node
// entries naming their child's last entry, tails, and the links of each level.
Baumbild BaumPrüfen(const Datei& datei, uint32_t wurzel, uint32_t tdef) {
    Baumbild bild;
    std::vector<std::vector<uint32_t>> geschwister{{wurzel}};  // pages of a level, by parent
    for (;;) {
        ++bild.stufen;
        std::vector<uint32_t> ebene;
        for (const auto& g : geschwister) ebene.insert(ebene.end(), g.begin(), g.end());
        const uint8_t ebenentyp = datei.Seite(ebene[0])[0];
        for (uint32_t s : ebene) {
            const uint8_t* p = datei.Seite(s);
            EXPECT_EQ(p[0], ebenentyp) << "Seite " << s;
            EXPECT_EQ(p[1], 1);
            EXPECT_EQ(L32(p + 4), tdef);
            EXPECT_TRUE(bild.seiten.insert(s).second) << "Seite " << s << " doppelt";
        }
        // Leaves are chained from first to last; node pages only under their parent.
        for (const auto& g : ebenentyp == 0x04 ? std::vector<std::vector<uint32_t>>{ebene} : geschwister)
            for (size_t i = 0; i < g.size(); ++i) {
                const uint8_t* p = datei.Seite(g[i]);
                EXPECT_EQ(L32(p + 12), i > 0 ? g[i - 1] : 0u) << "Seite " << g[i];
                EXPECT_EQ(L32(p + 16), i + 1 < g.size() ? g[i + 1] : 0u) << "Seite " << g[i];
            }
        if (ebenentyp == 0x04) {
            for (uint32_t s : ebene) EXPECT_EQ(L32(datei.Seite(s) + 20), 0u);
            break;
        }
        EXPECT_EQ(ebenentyp, 0x03);
        std::vector<std::vector<uint32_t>> unten;
        for (uint32_t s : ebene) {
            const uint8_t* p = datei.Seite(s);
            const std::vector<Roheintrag> e = Einträge(p);
            const uint32_t schwanz = L32(p + 20);
            EXPECT_FALSE(e.empty());
            // One child is an entry, never a tail; of more, the last is the tail.
            EXPECT_FALSE(e.empty()) << "Knoten " << s;
            std::vector<uint32_t> kinder;
            for (const Roheintrag& r : e) {
                const Roheintrag l = Letzter(datei, r.kind);
                EXPECT_EQ(Hex(r.schlüssel), Hex(l.schlüssel)) << "Knoten " << s;
                EXPECT_EQ(r.ort, l.ort);
                kinder.push_back(r.kind);
            }
            if (schwanz) kinder.push_back(schwanz);
            unten.push_back(kinder);
        }
        geschwister = unten;
    }
    return bild;
}

std::vector<Indexeintrag> Zufallseinträge(size_t n, size_t zeichen, uint32_t saat) {
    uint32_t x = saat;
    auto zufall = [&] { return x = x * 1664525u + 1013904223u; };
    std::vector<Indexeintrag> e;
    for (size_t i = 0; i < n; ++i) {
        Text t;
        for (size_t k = 0; k < zeichen; ++k) t.push_back(static_cast<char16_t>(u'a' + (zufall() >> 16) % 26));
        std::vector<uint8_t> k{0x7F};
        TextSchlüsselAnhängen(k, t, true);
        e.push_back({k, Zeilenort{100 + static_cast<uint32_t>(i / 200), static_cast<uint8_t>(i % 200)}});
    }
    std::sort(e.begin(), e.end(), Vor);
    return e;
}

// Keys of `länge` bytes whose first and last share only the flag byte.
std::vector<Indexeintrag> Festeinträge(size_t n, size_t länge) {
    std::vector<Indexeintrag> e;
    for (size_t i = 0; i < n; ++i) {
        std::vector<uint8_t> k(länge, 0x55);
        k[0] = 0x7F;
        k[1] = static_cast<uint8_t>(i * 2 / n);
        k[2] = static_cast<uint8_t>(i);
        e.push_back({k, Zeilenort{70, static_cast<uint8_t>(i)}});
    }
    std::sort(e.begin(), e.end(), Vor);
    return e;
}

struct Ziel {
    Datei datei;
    Tabellendef def;
    size_t nr = 0;  // real index
};

// A real index of empty.mdb's MSysRelationships to build into (its tree is an empty leaf).
Ziel Leerziel() {
    Ziel z{Laden("empty.mdb"), {}, 0};
    for (const Tabelle& t : AlleTabellen(z.datei))
        if (t.name == u"MSysRelationships") z.def = t.def;
    EXPECT_FALSE(z.def.realeIndizes.empty());
    return z;
}

size_t Verschieden(const std::vector<Indexeintrag>& e) {
    std::set<std::vector<uint8_t>> s;
    for (const auto& x : e) s.insert(x.schlüssel);
    return s.size();
}

TEST(Jet4Index, BauenUndLesenGebenDieEintraegeZurueck) {
    ACCESS_FIXTUREN_NOETIG();
    // A leaf holds 3616 bytes: the first entry whole, the others without the shared flag byte.
    const size_t voll = 1 + (3616 - 14) / 13;
    std::vector<Indexeintrag> doppelt = Zufallseinträge(300, 3, 7);
    doppelt.push_back({doppelt[5].schlüssel, Zeilenort{999, 1}});  // the same key for two rows
    std::sort(doppelt.begin(), doppelt.end(), Vor);
    struct Fall {
        const char* name;
        std::vector<Indexeintrag> einträge;
        size_t stufen;
    };
    const Fall fälle[] = {
        {"leer", {}, 1},
        {"eins", Zufallseinträge(1, 10, 1), 1},
        {"eine volle Seite", Festeinträge(voll, 10), 1},
        {"eine mehr", Festeinträge(voll + 1, 10), 2},
        {"doppelte Schlüssel", doppelt, 1},
        {"lange Texte", Zufallseinträge(2000, 255, 3), 3},
        {"100 000", Zufallseinträge(100000, 40, 5), 3},
    };
    for (const Fall& f : fälle) {
        SCOPED_TRACE(f.name);
        Ziel z = Leerziel();
        RealerIndex& index = z.def.realeIndizes[z.nr];
        const uint32_t alteWurzel = index.wurzel;
        Nutzungskarte karte(z.datei, index.karte);
        ASSERT_EQ(karte.Seiten(), std::vector<uint32_t>{alteWurzel});
        IndexBauen(z.datei, z.def, index, karte, f.einträge);

        const std::vector<Indexeintrag> gelesen = IndexLesen(z.datei, index.wurzel);
        ASSERT_EQ(gelesen.size(), f.einträge.size());
        EXPECT_TRUE(gelesen == f.einträge);
        EXPECT_EQ(index.zeilen, Verschieden(f.einträge));
        const Baumbild bild = BaumPrüfen(z.datei, index.wurzel, z.def.seite);
        EXPECT_EQ(bild.stufen, f.stufen);
        const std::vector<uint32_t> inKarte = karte.Seiten();
        EXPECT_EQ(std::set<uint32_t>(inKarte.begin(), inKarte.end()), bild.seiten) << "Karte und Baum";
        if (!bild.seiten.count(alteWurzel)) {
            EXPECT_EQ(z.datei.Seite(alteWurzel)[0], 0) << "alte Wurzel nicht frei";
        }
        if (f.einträge.empty()) {
            const uint8_t* p = z.datei.Seite(index.wurzel);
            EXPECT_EQ(p[0], 0x04);
            EXPECT_EQ(p[2] | p[3] << 8, 3616);
            EXPECT_TRUE(std::all_of(p + 27, p + 480, [](uint8_t b) { return b == 0; }));
        }

        // Built again over itself: the old pages go back, the new tree takes their place.
        const std::vector<Indexeintrag> klein = Zufallseinträge(3, 5, 11);
        IndexBauen(z.datei, z.def, index, karte, klein);
        EXPECT_EQ(IndexLesen(z.datei, index.wurzel), klein);
        EXPECT_EQ(karte.Seiten(), std::vector<uint32_t>{index.wurzel});
        EXPECT_TRUE(bild.seiten.count(index.wurzel)) << "eine freigegebene Seite wird wieder genommen";
        for (uint32_t s : bild.seiten)
            if (s != index.wurzel) {
                EXPECT_EQ(z.datei.Seite(s)[0], 0) << "Seite " << s << " nicht frei";
            }
    }
}

// Every index of the Access files that fits one leaf, built again from its entries, is
// the page Access wrote, byte for byte (Access leaves old bytes after the data at times).
TEST(Jet4Index, BautKleineIndizesWieAccess) {
    ACCESS_FIXTUREN_NOETIG();
    size_t seiten = 0, mitEinträgen = 0;
    for (const std::string& dateiname : kJet4Dateien) {
        if (dateiname == "sample-adressen.mdb") continue;  // not written by Access
        SCOPED_TRACE(dateiname);
        const Datei original = Laden(dateiname);
        for (const Tabelle& t : AlleTabellen(original)) {
            for (size_t i = 0; i < t.def.realeIndizes.size(); ++i) {
                SCOPED_TRACE(nachUtf8(t.name) + " Index " + std::to_string(i));
                const uint8_t* alt = original.Seite(t.def.realeIndizes[i].wurzel);
                if (alt[0] != 0x04) continue;
                const std::vector<Indexeintrag> liste = IndexLesen(original, t.def.realeIndizes[i].wurzel);
                Datei datei = original;
                Tabellendef def = t.def;
                Nutzungskarte karte(datei, def.realeIndizes[i].karte);
                IndexBauen(datei, def, def.realeIndizes[i], karte, liste);
                const uint8_t* neu = datei.Seite(def.realeIndizes[i].wurzel);
                const size_t genutzt = kSeitengröße - static_cast<size_t>(neu[2] | neu[3] << 8);
                EXPECT_EQ(Hex(std::vector<uint8_t>(neu, neu + genutzt)), Hex(std::vector<uint8_t>(alt, alt + genutzt)));
                EXPECT_TRUE(std::all_of(neu + genutzt, neu + kSeitengröße, [](uint8_t b) { return b == 0; }));
                ++seiten;
                if (!liste.empty()) ++mitEinträgen;
            }
        }
    }
    EXPECT_GT(seiten, 80u);
    EXPECT_GT(mitEinträgen, 60u);
}

TEST(Jet4Index, BauenVerweigertZuLangeSchluessel) {
    ACCESS_FIXTUREN_NOETIG();
    Ziel z = Leerziel();
    RealerIndex& index = z.def.realeIndizes[z.nr];
    Nutzungskarte karte(z.datei, index.karte);
    std::vector<Indexeintrag> e{{std::vector<uint8_t>(kSchlüsselHöchstens + 1, 0x7F), Zeilenort{70, 0}}};
    EXPECT_THROW(IndexBauen(z.datei, z.def, index, karte, e), NichtSchreibbar);
    e[0].schlüssel.resize(kSchlüsselHöchstens);
    IndexBauen(z.datei, z.def, index, karte, e);
    EXPECT_EQ(IndexLesen(z.datei, index.wurzel), e);
}

// Damaged trees end in Formatfehler, never in a loop or a read past the page.
TEST(Jet4Index, LesenErkenntKaputteSeiten) {
    ACCESS_FIXTUREN_NOETIG();
    Ziel vorlage = Leerziel();
    RealerIndex& index = vorlage.def.realeIndizes[vorlage.nr];
    Nutzungskarte karte(vorlage.datei, index.karte);
    IndexBauen(vorlage.datei, vorlage.def, index, karte, Zufallseinträge(3000, 20, 9));
    const uint32_t wurzel = index.wurzel;
    ASSERT_EQ(vorlage.datei.Seite(wurzel)[0], 0x03);
    std::vector<uint32_t> blätter{Einträge(vorlage.datei.Seite(wurzel))[0].kind};
    while (uint32_t n = L32(vorlage.datei.Seite(blätter.back()) + 16)) blätter.push_back(n);
    ASSERT_GT(blätter.size(), 5u);

    auto setze32 = [](uint8_t* p, uint32_t v) {
        for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
    };
    auto ersteMarke = [](const uint8_t* p) {
        size_t bit = 0;
        while (!(p[27 + bit / 8] & (1 << (bit % 8)))) ++bit;
        return bit;
    };
    struct Schaden {
        const char* name;
        std::function<void(Datei&)> tun;
        uint32_t wurzel;
    };
    const uint32_t tdef = vorlage.def.seite;
    const Schaden schäden[] = {
        {"Blätter im Kreis", [&](Datei& d) { setze32(d.Seite(blätter.back()) + 16, blätter[0]); }, wurzel},
        {"Blatt auf sich", [&](Datei& d) { setze32(d.Seite(blätter[3]) + 16, blätter[3]); }, wurzel},
        {"Blatt zur Tabellenseite", [&](Datei& d) { setze32(d.Seite(blätter[1]) + 16, tdef); }, wurzel},
        {"Blatt hinter das Ende", [&](Datei& d) { setze32(d.Seite(blätter[1]) + 16, d.Seitenzahl() + 5); }, wurzel},
        {"Knoten auf sich",
         [&](Datei& d) {
             uint8_t* p = d.Seite(wurzel);
             const size_t ende = ersteMarke(p);
             for (int i = 0; i < 4; ++i) p[480 + ende - 4 + i] = static_cast<uint8_t>(wurzel >> (8 * (3 - i)));
         },
         wurzel},
        {"Wurzel ist keine Indexseite", [](Datei&) {}, tdef},
        {"Wurzel ist Seite 0", [](Datei&) {}, 0},
        {"Präfix länger als der erste Eintrag", [&](Datei& d) { d.Seite(blätter[2])[24] = 0xFF; }, wurzel},
        {"Marke hinter den Daten", [&](Datei& d) { d.Seite(blätter[2])[27 + 452] |= 0x80; }, wurzel},
        {"Eintrag zu kurz",
         [&](Datei& d) {
             uint8_t* p = d.Seite(blätter[2]);
             std::fill(p + 27, p + 480, 0);
             p[27] = 0x08;
         },
         wurzel},
    };
    for (const Schaden& s : schäden) {
        SCOPED_TRACE(s.name);
        Datei d = vorlage.datei;
        s.tun(d);
        EXPECT_THROW(IndexLesen(d, s.wurzel), Formatfehler);
    }
    // Random bytes in a leaf or the root: an error or entries, nothing else.
    uint32_t x = 42;
    for (int runde = 0; runde < 300; ++runde) {
        Datei d = vorlage.datei;
        const uint32_t seite = runde % 3 == 0 ? wurzel : blätter[runde % blätter.size()];
        uint8_t* p = d.Seite(seite);
        const uint8_t typ = p[0];
        for (size_t i = 1; i < kSeitengröße; ++i)
            if (runde % 2 == 0 || i < 480) p[i] = static_cast<uint8_t>((x = x * 1103515245u + 12345u) >> 16);
        p[0] = typ;
        try {
            (void)IndexLesen(d, wurzel);
        } catch (const Formatfehler&) {
        }
    }
}

}  // namespace
