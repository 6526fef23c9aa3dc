// Table definitions, usage maps and page allocation of the Jet 4 writer, checked against the
// Access files of the shared fixtures with libmdb as the independent reader.
#include <gtest/gtest.h>

#include <mdbtools.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <memory>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "common/AccessVorlagen.h"
#include "common/TempVerzeichnis.h"
#include "platform/dao/storage/access/jet4/Jet4Datei.h"
#include "platform/dao/storage/access/jet4/Jet4Karte.h"
#include "platform/dao/storage/access/jet4/Jet4Tabelle.h"

namespace {

using namespace dao::speicher;
using namespace dao::speicher::access::jet4;
namespace fs = std::filesystem;

std::string utf8(const Text& t) { return nachUtf8(t); }

struct MdbSchliessen {
    void operator()(MdbHandle* m) const { mdb_close(m); }
};
struct TabelleFreigeben {
    void operator()(MdbTableDef* t) const { mdb_free_tabledef(t); }
};
using MdbPtr = std::unique_ptr<MdbHandle, MdbSchliessen>;
using MdbTabellePtr = std::unique_ptr<MdbTableDef, TabelleFreigeben>;

// Name and first page of every table in libmdb's catalogue, system tables included.
std::vector<std::pair<std::string, uint32_t>> tabellenNachMdb(MdbHandle* mdb) {
    std::vector<std::pair<std::string, uint32_t>> aus;
    GPtrArray* katalog = mdb_read_catalog(mdb, MDB_TABLE);
    if (!katalog) return aus;
    for (guint i = 0; i < katalog->len; ++i) {
        auto* e = static_cast<MdbCatalogEntry*>(g_ptr_array_index(katalog, i));
        aus.emplace_back(e->object_name, static_cast<uint32_t>(e->table_pg));
    }
    return aus;
}

// Compares our reading of a definition with libmdb's reading of the same pages.
void vergleicheMitMdb(MdbTableDef* t, const Tabellendef& def, const std::string& wo) {
    SCOPED_TRACE(wo);
    ASSERT_TRUE(mdb_read_columns(t));
    EXPECT_EQ(def.zeilen, t->num_rows);
    ASSERT_EQ(def.spalten.size(), t->num_cols);
    std::map<std::string, const Spalte*> nachName;
    for (const Spalte& s : def.spalten) nachName[utf8(s.name)] = &s;
    for (guint i = 0; i < t->columns->len; ++i) {
        auto* c = static_cast<MdbColumn*>(g_ptr_array_index(t->columns, i));
        ASSERT_TRUE(nachName.count(c->name)) << c->name;
        const Spalte& s = *nachName[c->name];
        SCOPED_TRACE(c->name);
        EXPECT_EQ(s.typ, c->col_type);
        if (s.typ != kBoolean) {
            EXPECT_EQ(s.länge, c->col_size);  // libmdb reports 0 for Boolean
        }
        EXPECT_EQ(s.nummer, c->col_num);
        EXPECT_EQ(s.Fest(), c->is_fixed != 0);
        if (s.Fest()) {
            EXPECT_EQ(s.festOffset, c->fixed_offset);
        } else {
            EXPECT_EQ(s.varIndex, c->var_col_num);
        }
        if (s.typ == kNumerisch) {
            EXPECT_EQ(s.genauigkeit, c->col_prec);
            EXPECT_EQ(s.stellen, c->col_scale);
        }
    }
    // mdb_read_indices lowers num_real_idxs where real indexes serve only foreign-key ends.
    ASSERT_EQ(def.realeIndizes.size(), t->num_real_idxs);
    mdb_read_indices(t);
    ASSERT_EQ(def.logischeIndizes.size(), t->num_idxs);
    // libmdb leaves the foreign-key ends without their real index.
    for (guint i = 0; i < t->indices->len; ++i) {
        auto* x = static_cast<MdbIndex*>(g_ptr_array_index(t->indices, i));
        const auto li = std::find_if(def.logischeIndizes.begin(), def.logischeIndizes.end(),
                                     [&](const LogischerIndex& l) { return utf8(l.name) == x->name; });
        ASSERT_NE(li, def.logischeIndizes.end()) << x->name;
        SCOPED_TRACE(x->name);
        EXPECT_EQ(li->art, x->index_type);
        EXPECT_EQ(li->nummer, static_cast<uint32_t>(x->index_num));
        if (x->index_type == 2) continue;
        const RealerIndex& r = def.realeIndizes.at(li->real);
        EXPECT_EQ(r.wurzel, x->first_pg);
        EXPECT_EQ(r.flags, x->flags);
        ASSERT_EQ(r.spalten.size(), x->num_keys);
        for (size_t k = 0; k < r.spalten.size(); ++k) {
            // libmdb counts key columns from 1 and by their place in the column list.
            const auto sp = std::find_if(def.spalten.begin(), def.spalten.end(),
                                         [&](const Spalte& s) { return s.nummer == r.spalten[k].nummer; });
            ASSERT_NE(sp, def.spalten.end());
            auto* c = static_cast<MdbColumn*>(g_ptr_array_index(t->columns, x->key_col_num[k] - 1));
            EXPECT_EQ(utf8(sp->name), c->name);
            EXPECT_EQ(r.spalten[k].aufsteigend, x->key_col_order[k] == MDB_ASC);
        }
    }
}

TEST(Jet4Tabelle, LiestJedeDefinitionDerAccessDateien) {
    ACCESS_FIXTUREN_NOETIG();
    for (const std::string& name : kJet4Dateien) {
        const std::string pfad = kAccessOrdner + name;
        const Datei datei(DateiBytes(pfad));
        MdbPtr mdb(mdb_open(pfad.c_str(), MDB_NOFLAGS));
        ASSERT_TRUE(mdb) << name;
        const auto tabellen = tabellenNachMdb(mdb.get());
        ASSERT_GE(tabellen.size(), 5u) << name;
        GPtrArray* katalog = mdb->catalog;
        for (guint i = 0; i < katalog->len; ++i) {
            auto* e = static_cast<MdbCatalogEntry*>(g_ptr_array_index(katalog, i));
            if (e->object_type != MDB_TABLE) continue;
            const std::string wo = std::string(name) + ": " + e->object_name;
            Tabellendef def;
            ASSERT_NO_THROW(def = TabelleLesen(datei, static_cast<uint32_t>(e->table_pg))) << wo;
            EXPECT_EQ(def.seite, e->table_pg);
            EXPECT_TRUE(def.typ == 0x53 || def.typ == 0x4E) << wo;
            MdbTabellePtr t(mdb_read_table(e));
            ASSERT_TRUE(t) << wo;
            vergleicheMitMdb(t.get(), def, wo);
        }
    }
}

TEST(Jet4Datei, LiestKopfUndPrueftGroesse) {
    ACCESS_FIXTUREN_NOETIG();
    for (const std::string& name : kJet4Dateien) {
        const Datei d(DateiBytes(kAccessOrdner + name));
        EXPECT_FALSE(d.Verschlüsselt()) << name;
        EXPECT_EQ(d.Sortierung(), 1033) << name;
        EXPECT_EQ(d.Sortierversion(), 0) << name;
        EXPECT_THROW(d.Seite(d.Seitenzahl()), Formatfehler);
    }
    std::vector<uint8_t> jet3 = DateiBytes(kAccessOrdner + "testV1997.mdb");
    EXPECT_THROW(Datei{jet3}, Formatfehler);
    std::vector<uint8_t> kurz = DateiBytes(kAccessOrdner + "empty.mdb");
    kurz.resize(kurz.size() - 100);
    EXPECT_THROW(Datei{kurz}, Formatfehler);
}

// Every table definition page of a file, by its first page (catalogue of libmdb).
std::vector<uint32_t> tabellenseiten(const std::string& pfad) {
    MdbPtr mdb(mdb_open(pfad.c_str(), MDB_NOFLAGS));
    std::vector<uint32_t> aus;
    if (!mdb) return aus;
    for (const auto& [name, seite] : tabellenNachMdb(mdb.get())) aus.push_back(seite);
    std::sort(aus.begin(), aus.end());
    aus.erase(std::unique(aus.begin(), aus.end()), aus.end());
    return aus;
}

bool istLval(const Datei& d, uint32_t nr) { return std::memcmp(d.Seite(nr) + 4, "LVAL", 4) == 0; }

// Every page of an Access file is exactly one of: page 0, free in the global map, a TDEF
// page, a page holding usage-map rows, a data page in its table's owned map, an index page
// in its index's map, a long-value page in its column's map, or a reference map's map page.
TEST(Jet4Karte, JedeSeiteDerAccessDateienIstGenauEinmalVerbucht) {
    ACCESS_FIXTUREN_NOETIG();
    for (const std::string& name : kJet4Dateien) {
        SCOPED_TRACE(name);
        Datei datei(DateiBytes(kAccessOrdner + name));
        std::map<uint32_t, std::vector<std::string>> wer;
        wer[0].push_back("Kopf");
        for (uint32_t p : Nutzungskarte(datei, {1, 0}).Seiten())
            if (p < datei.Seitenzahl()) wer[p].push_back("frei");
        std::set<uint32_t> kartenzeilenseiten = {1};
        const auto karte = [&](Zeilenort ort, const std::string& was, uint32_t tdef, const std::set<uint8_t>& typen) {
            if (ort.Zeiger() == 0) return;
            kartenzeilenseiten.insert(ort.seite);
            Nutzungskarte k(datei, ort);
            const std::vector<uint32_t> seiten = k.Seiten();
            EXPECT_TRUE(std::is_sorted(seiten.begin(), seiten.end()));
            for (uint32_t p : seiten) {
                ASSERT_LT(p, datei.Seitenzahl()) << was;
                const uint8_t* s = datei.Seite(p);
                EXPECT_TRUE(typen.count(s[0])) << was << " Seite " << p << " Typ " << int(s[0]);
                if ((s[0] == 0x01 && !istLval(datei, p)) || s[0] == 0x03 || s[0] == 0x04) {
                    uint32_t t;
                    std::memcpy(&t, s + 4, 4);
                    EXPECT_EQ(t, tdef) << was << " Seite " << p;
                }
                wer[p].push_back(was);
            }
        };
        for (uint32_t tp : tabellenseiten(kAccessOrdner + name)) {
            const Tabellendef def = TabelleLesen(datei, tp);
            for (uint32_t p : def.defSeiten) wer[p].push_back("TDEF");
            karte(def.belegt, "belegt " + std::to_string(tp), tp, {0x01});
            for (const RealerIndex& r : def.realeIndizes)
                karte(r.karte, "Index " + std::to_string(tp), tp, {0x03, 0x04});
            for (const Spalte& s : def.spalten) karte(s.lvBelegt, "Langwerte " + std::to_string(tp), tp, {0x01});
            for (const Spalte& s : def.spalten)
                for (uint32_t p :
                     s.lvBelegt.Zeiger() ? Nutzungskarte(datei, s.lvBelegt).Seiten() : std::vector<uint32_t>{})
                    EXPECT_TRUE(istLval(datei, p));
            if (def.frei.Zeiger()) {
                // Pages with room are pages the table owns.
                kartenzeilenseiten.insert(def.frei.seite);
                const Nutzungskarte belegt(datei, def.belegt);
                for (uint32_t p : Nutzungskarte(datei, def.frei).Seiten()) EXPECT_TRUE(belegt.Enthält(p)) << p;
            }
        }
        for (uint32_t p : kartenzeilenseiten) wer[p].push_back("Kartenzeilen");
        for (uint32_t p = 0; p < datei.Seitenzahl(); ++p)
            if (datei.Seite(p)[0] == 0x05) wer[p].push_back("Kartenseite");
        for (uint32_t p = 0; p < datei.Seitenzahl(); ++p) EXPECT_EQ(wer[p].size(), 1u) << "Seite " << p;
    }
}

// A fixture copied into a temporary folder, loaded from there.
Datei kopieLaden(const TempVerzeichnis& tmp, const std::string& name) {
    const std::string ziel = tmp / name;
    fs::copy_file(kAccessOrdner + name, ziel, fs::copy_options::overwrite_existing);
    return Datei(DateiBytes(ziel));
}

void speichern(const std::string& pfad, const Datei& d) {
    std::ofstream(pfad, std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char*>(d.Inhalt().data()), static_cast<std::streamsize>(d.Inhalt().size()));
}

std::vector<uint32_t> freieSeiten(Datei& d) {
    std::vector<uint32_t> aus;
    for (uint32_t p : Nutzungskarte(d, {1, 0}).Seiten())
        if (p < d.Seitenzahl()) aus.push_back(p);
    return aus;
}

bool leer(const Datei& d, uint32_t nr) {
    const uint8_t* s = d.Seite(nr);
    return std::all_of(s, s + kSeitengröße, [](uint8_t b) { return b == 0; });
}

TEST(Jet4Karte, SeitenAnlegenNimmtFreieSeitenVorDemAnhaengen) {
    ACCESS_FIXTUREN_NOETIG();
    TempVerzeichnis tmp;
    Datei d = kopieLaden(tmp, "V2000_with-password.mdb");
    const std::vector<uint32_t> frei = freieSeiten(d);
    ASSERT_GE(frei.size(), 3u);
    const uint32_t ende = d.Seitenzahl();
    for (uint32_t f : frei) {
        EXPECT_EQ(d.SeiteAnlegen(), f);
        EXPECT_TRUE(leer(d, f));
        d.Seite(f)[0] = 0x01;
    }
    EXPECT_TRUE(freieSeiten(d).empty());
    EXPECT_EQ(d.SeiteAnlegen(), ende);
    EXPECT_EQ(d.Seitenzahl(), ende + 1);
    EXPECT_FALSE(Nutzungskarte(d, {1, 0}).Enthält(ende));
    EXPECT_TRUE(Nutzungskarte(d, {1, 0}).Enthält(ende + 1));  // past the end: free, as Access keeps it

    d.SeiteFreigeben(frei[1]);
    EXPECT_TRUE(leer(d, frei[1]));
    EXPECT_EQ(freieSeiten(d), std::vector<uint32_t>{frei[1]});
    EXPECT_EQ(d.SeiteAnlegen(), frei[1]);
    EXPECT_EQ(d.SeiteAnlegen(), ende + 1);
    for (uint32_t nr : {0u, 1u, 2u, d.Seitenzahl()}) EXPECT_THROW(d.SeiteFreigeben(nr), Formatfehler) << nr;
}

TEST(Jet4Karte, GlobaleKarteWirdJenseitsIhrerReichweiteZurVerweiskarte) {
    ACCESS_FIXTUREN_NOETIG();
    TempVerzeichnis tmp;
    Datei d = kopieLaden(tmp, "empty.mdb");
    std::vector<uint32_t> neu;
    while (d.Seitenzahl() < 700) {
        neu.push_back(d.SeiteAnlegen());
        d.Seite(neu.back())[0] = 0x01;
    }
    Nutzungskarte global(d, {1, 0});
    EXPECT_TRUE(global.Reicht(100000));
    for (uint32_t p : neu) ASSERT_FALSE(global.Enthält(p)) << p;
    EXPECT_TRUE(std::is_sorted(neu.begin(), neu.end()));
    d.SeiteFreigeben(600);
    d.SeiteFreigeben(30);
    EXPECT_EQ(freieSeiten(d), (std::vector<uint32_t>{30, 600}));
    EXPECT_EQ(d.SeiteAnlegen(), 30u);
    EXPECT_EQ(d.SeiteAnlegen(), 600u);
    const uint32_t n = d.Seitenzahl();
    EXPECT_EQ(d.SeiteAnlegen(), n);
    // libmdb still reads the catalogue of the grown file.
    const std::string pfad = tmp / "gross.mdb";
    speichern(pfad, d);
    MdbPtr mdb(mdb_open(pfad.c_str(), MDB_NOFLAGS));
    ASSERT_TRUE(mdb);
    EXPECT_GE(tabellenNachMdb(mdb.get()).size(), 5u);
}

TEST(Jet4Karte, HinzufuegenUndEntfernenInlineUndAlsVerweiskarte) {
    ACCESS_FIXTUREN_NOETIG();
    TempVerzeichnis tmp;
    Datei d = kopieLaden(tmp, "indexTestV2000.mdb");
    uint32_t tdef = 0;
    for (uint32_t tp : tabellenseiten(kAccessOrdner + "indexTestV2000.mdb"))
        if (TabelleLesen(d, tp).typ == 0x4E && !Nutzungskarte(d, TabelleLesen(d, tp).belegt).Seiten().empty())
            tdef = tp;
    ASSERT_NE(tdef, 0u);
    const Tabellendef def = TabelleLesen(d, tdef);
    Nutzungskarte k(d, def.belegt);
    const std::vector<uint32_t> vorher = k.Seiten();
    const std::vector<uint32_t> freiVorher = Nutzungskarte(d, def.frei).Seiten();
    const auto mit = [&](std::vector<uint32_t> v, std::initializer_list<uint32_t> dazu) {
        v.insert(v.end(), dazu);
        std::sort(v.begin(), v.end());
        return v;
    };

    k.Hinzufügen(300);
    EXPECT_EQ(k.Seiten(), mit(vorher, {300}));
    k.Entfernen(300);
    k.Entfernen(301);  // not in it: nothing happens
    EXPECT_EQ(k.Seiten(), vorher);
    EXPECT_FALSE(k.Reicht(40000));

    uint32_t kartenseitenVorher = 0;
    for (uint32_t p = 0; p < d.Seitenzahl(); ++p) kartenseitenVorher += d.Seite(p)[0] == 0x05;
    k.Hinzufügen(40000);  // far beyond 512 pages: the map becomes a reference map
    EXPECT_TRUE(k.Reicht(100000));
    EXPECT_EQ(k.Seiten(), mit(vorher, {40000}));
    for (uint32_t p : mit(vorher, {40000})) EXPECT_TRUE(k.Enthält(p)) << p;
    uint32_t kartenseiten = 0;
    for (uint32_t p = 0; p < d.Seitenzahl(); ++p) kartenseiten += d.Seite(p)[0] == 0x05;
    EXPECT_EQ(kartenseiten, kartenseitenVorher + 2);  // one per 32736 pages touched
    k.Hinzufügen(7);
    k.Entfernen(40000);
    EXPECT_EQ(k.Seiten(), mit(vorher, {7}));
    // The neighbouring row on the same page is untouched, and the file reads as before.
    EXPECT_EQ(Nutzungskarte(d, def.frei).Seiten(), freiVorher);
    EXPECT_NO_THROW(TabelleLesen(d, tdef));
}

TEST(Jet4Karte, NeueInlinekarteVerschiebtIhrenAnfang) {
    ACCESS_FIXTUREN_NOETIG();
    TempVerzeichnis tmp;
    Datei d = kopieLaden(tmp, "empty.mdb");
    const uint32_t seite = d.SeiteAnlegen();
    d.Seite(seite)[0] = 0x01;
    d.Seite(seite)[1] = 0x01;
    const Zeilenort a = Nutzungskarte::Anlegen(d, seite);
    const Zeilenort b = Nutzungskarte::Anlegen(d, seite);
    EXPECT_EQ(a, (Zeilenort{seite, 0}));
    EXPECT_EQ(b, (Zeilenort{seite, 1}));
    Nutzungskarte k(d, a);
    EXPECT_TRUE(k.Seiten().empty());
    k.Hinzufügen(1000);
    k.Hinzufügen(1300);
    EXPECT_EQ(k.Seiten(), (std::vector<uint32_t>{1000, 1300}));
    EXPECT_FALSE(k.Reicht(10));  // moved up, still inline
    k.Hinzufügen(999);
    EXPECT_EQ(k.Seiten(), (std::vector<uint32_t>{999, 1000, 1300}));
    k.Hinzufügen(200000);
    EXPECT_EQ(k.Seiten(), (std::vector<uint32_t>{999, 1000, 1300, 200000}));
    EXPECT_TRUE(Nutzungskarte(d, b).Seiten().empty());
}

// A damaged structure gives Formatfehler: never a crash, never an endless loop.
TEST(Jet4Tabelle, BeschaedigteStrukturenGebenFormatfehler) {
    ACCESS_FIXTUREN_NOETIG();
    const std::vector<uint8_t> roh = DateiBytes(kAccessOrdner + "indexTestV2000.mdb");
    const std::vector<uint32_t> tabellen = tabellenseiten(kAccessOrdner + "indexTestV2000.mdb");
    ASSERT_FALSE(tabellen.empty());
    const uint32_t t = tabellen.back();
    const Tabellendef def = TabelleLesen(Datei(roh), t);
    const auto setze32 = [](std::vector<uint8_t>& b, size_t at, uint32_t w) {
        for (int i = 0; i < 4; ++i) b[at + static_cast<size_t>(i)] = static_cast<uint8_t>(w >> (8 * i));
    };
    const size_t tp = size_t{t} * kSeitengröße;
    struct Fall {
        const char* was;
        std::function<void(std::vector<uint8_t>&)> kaputt;
        std::function<void(Datei&)> lesen;
    };
    const auto tabelle = [t](Datei& d) { TabelleLesen(d, t); };
    const Fall fälle[] = {
        {"Fortsetzung auf sich selbst", [&](auto& b) { setze32(b, tp + 4, t); }, tabelle},
        {"Fortsetzungsring",
         [&](auto& b) {
             setze32(b, tp + 4, 5);
             setze32(b, 5 * kSeitengröße + 4, t);
         },
         tabelle},
        {"Fortsetzung hinter dem Ende", [&](auto& b) { setze32(b, tp + 4, 0x7FFFFFFF); }, tabelle},
        {"Fortsetzung auf eine Datenseite", [&](auto& b) { setze32(b, tp + 4, 1); }, tabelle},
        {"Spaltenzahl jenseits der Seite",
         [&](auto& b) {
             b[tp + 45] = 0xFF;
             b[tp + 46] = 0xFF;
         },
         tabelle},
        {"Indexzahl jenseits der Seite", [&](auto& b) { setze32(b, tp + 47, 0x10000000); }, tabelle},
        {"reale Indizes jenseits der Seite", [&](auto& b) { setze32(b, tp + 51, 200); }, tabelle},
        {"keine TDEF-Seite", [&](auto& b) { b[tp] = 0x01; }, tabelle},
        {"TDEF auf Seite 0", [&](auto&) {}, [](Datei& d) { TabelleLesen(d, 0); }},
        {"Kartenzeile gibt es nicht", [&](auto&) {},
         [&](Datei& d) {
             Nutzungskarte(d, {def.belegt.seite, 200}).Seiten();
         }},
        {"Kartentyp unbekannt",
         [&](auto& b) {
             const size_t s = size_t{def.belegt.seite} * kSeitengröße;
             const uint16_t off = static_cast<uint16_t>(
                 (b[s + 14 + 2 * def.belegt.zeile] | b[s + 15 + 2 * def.belegt.zeile] << 8) & 0x1FFF);
             b[s + off] = 7;
         },
         [&](Datei& d) { Nutzungskarte(d, def.belegt).Seiten(); }},
        {"Verweiskarte zeigt auf eine Datenseite",
         [&](auto& b) {
             const size_t s = size_t{def.belegt.seite} * kSeitengröße;
             const uint16_t off = static_cast<uint16_t>(
                 (b[s + 14 + 2 * def.belegt.zeile] | b[s + 15 + 2 * def.belegt.zeile] << 8) & 0x1FFF);
             b[s + off] = 1;
             setze32(b, s + off + 1, 1);
         },
         [&](Datei& d) { Nutzungskarte(d, def.belegt).Seiten(); }},
        {"Zeilenversatz außerhalb der Seite",
         [&](auto& b) {
             const size_t s = size_t{def.belegt.seite} * kSeitengröße;
             b[s + 14 + 2 * def.belegt.zeile] = 0x05;
             b[s + 15 + 2 * def.belegt.zeile] = 0x00;
         },
         [&](Datei& d) { Nutzungskarte(d, def.belegt).Seiten(); }},
    };
    for (const Fall& f : fälle) {
        std::vector<uint8_t> b = roh;
        f.kaputt(b);
        Datei d(b);
        EXPECT_THROW(f.lesen(d), Formatfehler) << f.was;
    }
    std::vector<uint8_t> kurz = roh;
    kurz.resize(kurz.size() + 1);
    EXPECT_THROW(Datei{kurz}, Formatfehler);

    // Random bytes in a definition: read or refused, nothing else.
    std::mt19937 zufall(4711);
    for (int runde = 0; runde < 300; ++runde) {
        std::vector<uint8_t> b = roh;
        for (int n = 0; n < 12; ++n) b[tp + 8 + zufall() % (kSeitengröße - 8)] = static_cast<uint8_t>(zufall());
        if (runde % 3 == 0) setze32(b, tp + 4, zufall() % 80);
        Datei d(b);
        try {
            const Tabellendef x = TabelleLesen(d, t);
            for (const RealerIndex& r : x.realeIndizes) {
                try {
                    Nutzungskarte(d, r.karte).Seiten();
                } catch (const Formatfehler&) {
                }
            }
        } catch (const Formatfehler&) {
        }
    }
}

FeldBeschreibung feld(const char* name, int16_t typ, int32_t größe = 0, bool pflicht = false, int32_t attribute = 0) {
    FeldBeschreibung f;
    f.name = ausUtf8(name);
    f.typ = typ;
    f.größe = größe;
    f.pflicht = pflicht;
    f.attribute = attribute;
    return f;
}

IndexBeschreibung index(const char* name, std::vector<const char*> felder, bool eindeutig, bool primär) {
    IndexBeschreibung x;
    x.name = ausUtf8(name);
    for (const char* f : felder) x.felder.push_back(ausUtf8(f));
    x.eindeutig = eindeutig;
    x.primär = primär;
    return x;
}

// Every field type, Required and not, texts of 1 and 255 characters, a primary key on the
// AutoNumber and a unique index on two columns.
TabellenBeschreibung alleTypen() {
    TabellenBeschreibung t;
    t.name = u"Alles";
    t.felder = {feld("Ja", 1),       feld("Byte", 2, 1, true),    feld("Ganz", 3),       feld("ID", 4, 4, true, 16),
                feld("Geld", 5, 8),  feld("Einfach", 6, 4),       feld("Doppelt", 7, 8), feld("Wann", 8, 8, true),
                feld("Kurz", 10, 1), feld("Lang", 10, 255, true), feld("Notiz", 12),     feld("Straße", 10, 50)};
    t.indizes = {index("PrimaryKey", {"ID"}, true, true), index("Paar", {"Kurz", "Ganz"}, true, false)};
    return t;
}

bool gleich(const Spalte& a, const Spalte& b) {
    return a.name == b.name && a.typ == b.typ && a.nummer == b.nummer && a.varIndex == b.varIndex &&
           a.festOffset == b.festOffset && a.länge == b.länge && a.flags == b.flags && a.flagsErw == b.flagsErw &&
           a.sortierung == b.sortierung && a.sortversion == b.sortversion && a.lvBelegt == b.lvBelegt &&
           a.lvFrei == b.lvFrei;
}

void gleicheDefinition(const Tabellendef& a, const Tabellendef& b) {
    EXPECT_EQ(a.seite, b.seite);
    EXPECT_EQ(a.defSeiten, b.defSeiten);
    EXPECT_EQ(a.typ, b.typ);
    EXPECT_EQ(a.zeilen, b.zeilen);
    EXPECT_EQ(a.autoWert, b.autoWert);
    EXPECT_EQ(a.nächsteSpalte, b.nächsteSpalte);
    EXPECT_EQ(a.belegt, b.belegt);
    EXPECT_EQ(a.frei, b.frei);
    ASSERT_EQ(a.spalten.size(), b.spalten.size());
    for (size_t i = 0; i < a.spalten.size(); ++i)
        EXPECT_TRUE(gleich(a.spalten[i], b.spalten[i])) << utf8(a.spalten[i].name);
    ASSERT_EQ(a.realeIndizes.size(), b.realeIndizes.size());
    for (size_t i = 0; i < a.realeIndizes.size(); ++i) {
        const RealerIndex &x = a.realeIndizes[i], &y = b.realeIndizes[i];
        EXPECT_EQ(x.karte, y.karte);
        EXPECT_EQ(x.wurzel, y.wurzel);
        EXPECT_EQ(x.flags, y.flags);
        EXPECT_EQ(x.zeilen, y.zeilen);
        ASSERT_EQ(x.spalten.size(), y.spalten.size());
        for (size_t k = 0; k < x.spalten.size(); ++k) {
            EXPECT_EQ(x.spalten[k].nummer, y.spalten[k].nummer);
            EXPECT_EQ(x.spalten[k].aufsteigend, y.spalten[k].aufsteigend);
        }
    }
    ASSERT_EQ(a.logischeIndizes.size(), b.logischeIndizes.size());
    for (size_t i = 0; i < a.logischeIndizes.size(); ++i) {
        const LogischerIndex &x = a.logischeIndizes[i], &y = b.logischeIndizes[i];
        EXPECT_EQ(x.name, y.name);
        EXPECT_EQ(x.nummer, y.nummer);
        EXPECT_EQ(x.real, y.real);
        EXPECT_EQ(x.art, y.art);
        EXPECT_EQ(x.fremdIndex, y.fremdIndex);
        EXPECT_EQ(x.kaskadeÄndern, y.kaskadeÄndern);
    }
}

// libmdb reads the definition at `seite` of the file written to `pfad`.
void mitMdbVergleichen(const std::string& pfad, const Tabellendef& def) {
    MdbPtr mdb(mdb_open(pfad.c_str(), MDB_NOFLAGS));
    ASSERT_TRUE(mdb);
    MdbCatalogEntry eintrag{};
    eintrag.mdb = mdb.get();
    std::snprintf(eintrag.object_name, sizeof eintrag.object_name, "%s", "Neu");
    eintrag.object_type = MDB_TABLE;
    eintrag.table_pg = def.seite;
    MdbTabellePtr t(mdb_read_table(&eintrag));
    ASSERT_TRUE(t);
    vergleicheMitMdb(t.get(), def, "neue Tabelle");
}

TEST(Jet4Tabelle, EntwurfLegtSpaltenUndIndizesWieAccessAn) {
    const Tabellendef def = EntwurfAus(alleTypen(), 1033, 0);
    ASSERT_EQ(def.spalten.size(), 12u);
    EXPECT_EQ(def.nächsteSpalte, 12);
    struct Erwartet {
        uint8_t typ;
        uint8_t flags, flagsErw;
        uint16_t länge, festOffset, varIndex;
    };
    const Erwartet erwartet[] = {
        {kBoolean, 0x03, 0, 1, 0, 0}, {kByte, 0x01, 0, 1, 0, 0},     {kInteger, 0x03, 0, 2, 1, 0},
        {kLong, 0x05, 0, 4, 3, 0},    {kCurrency, 0x03, 0, 8, 7, 0}, {kSingle, 0x03, 0, 4, 15, 0},
        {kDouble, 0x03, 0, 8, 19, 0}, {kDatum, 0x01, 0, 8, 27, 0},   {kText, 0x02, 1, 2, 0, 0},
        {kText, 0x00, 1, 510, 0, 1},  {kMemo, 0x02, 1, 0, 0, 2},     {kText, 0x02, 1, 100, 0, 3},
    };
    for (size_t i = 0; i < def.spalten.size(); ++i) {
        const Spalte& s = def.spalten[i];
        SCOPED_TRACE(utf8(s.name));
        EXPECT_EQ(s.nummer, i);
        EXPECT_EQ(s.typ, erwartet[i].typ);
        EXPECT_EQ(s.flags, erwartet[i].flags);
        EXPECT_EQ(s.flagsErw, erwartet[i].flagsErw);
        EXPECT_EQ(s.länge, erwartet[i].länge);
        EXPECT_EQ(s.festOffset, erwartet[i].festOffset);
        EXPECT_EQ(s.varIndex, erwartet[i].varIndex);
        EXPECT_EQ(s.sortierung, 1033);
    }
    ASSERT_EQ(def.realeIndizes.size(), 2u);
    EXPECT_EQ(def.realeIndizes[0].flags, 0x89);  // primary: unique and required
    EXPECT_EQ(def.realeIndizes[1].flags, 0x81);
    EXPECT_EQ(def.realeIndizes[1].spalten.size(), 2u);
    ASSERT_EQ(def.logischeIndizes.size(), 2u);
    EXPECT_EQ(def.logischeIndizes[0].name, u"Paar");  // sorted by name, numbered as created
    EXPECT_EQ(def.logischeIndizes[0].nummer, 1u);
    EXPECT_EQ(def.logischeIndizes[0].art, 0);
    EXPECT_EQ(def.logischeIndizes[1].art, 1);
    EXPECT_EQ(def.logischeIndizes[1].real, 0u);

    // Two indexes on one column list share their real index.
    TabellenBeschreibung zwei = alleTypen();
    zwei.indizes.push_back(index("NochmalID", {"ID"}, false, false));
    EXPECT_EQ(EntwurfAus(zwei, 1033, 0).realeIndizes.size(), 2u);
    EXPECT_EQ(EntwurfAus(zwei, 1033, 0).logischeIndizes.size(), 3u);

    const std::function<void(TabellenBeschreibung&)> falsch[] = {
        [](TabellenBeschreibung& t) { t.felder.push_back(feld("Bild", 11)); },
        [](TabellenBeschreibung& t) { t.felder.push_back(feld("Zuviel", 10, 256)); },
        [](TabellenBeschreibung& t) { t.felder[2].attribute = 16; },
        [](TabellenBeschreibung& t) { t.indizes.push_back(index("X", {"Fehlt"}, false, false)); },
        [](TabellenBeschreibung& t) { t.indizes.push_back(index("X", {"Notiz"}, false, false)); },
        [](TabellenBeschreibung& t) {
            t.felder.clear();
            t.indizes.clear();
        },
    };
    for (const auto& f : falsch) {
        TabellenBeschreibung t = alleTypen();
        f(t);
        EXPECT_THROW(EntwurfAus(t, 1033, 0), NichtSchreibbar);
    }
}

TEST(Jet4Tabelle, NeueTabelleLiestSichZurueckAuchMitLibmdb) {
    ACCESS_FIXTUREN_NOETIG();
    TempVerzeichnis tmp;
    TabellenBeschreibung breit;
    breit.name = u"Breit";
    for (int i = 0; i < 120; ++i)
        breit.felder.push_back(
            feld(("Ein recht langer Feldname Nummer " + std::to_string(i)).c_str(), i % 3 ? 10 : 4, 20));
    breit.indizes = {index("Schluessel", {"Ein recht langer Feldname Nummer 0"}, true, true)};
    TabellenBeschreibung memos;  // more usage-map rows than one page holds
    memos.name = u"Memos";
    for (int i = 0; i < 40; ++i) memos.felder.push_back(feld(("Notiz" + std::to_string(i)).c_str(), 12));
    for (const TabellenBeschreibung& beschreibung : {alleTypen(), breit, memos}) {
        SCOPED_TRACE(utf8(beschreibung.name));
        Datei d = kopieLaden(tmp, "V2000_with-password.mdb");
        const std::vector<uint32_t> freiVorher = freieSeiten(d);
        Tabellendef def = EntwurfAus(beschreibung, d.Sortierung(), d.Sortierversion());
        TabelleAnlegen(d, def);
        const Tabellendef gelesen = TabelleLesen(d, def.seite);
        gleicheDefinition(gelesen, def);
        EXPECT_EQ(def.defSeiten.size() > 1, beschreibung.name == u"Breit");  // 120 long names: continuation pages
        EXPECT_EQ(def.seite, freiVorher.front());                            // free pages are taken first

        // The new pages: none free any more, none in the table's own map; each index owns its root.
        Nutzungskarte global(d, {1, 0});
        for (uint32_t p : def.defSeiten) EXPECT_FALSE(global.Enthält(p));
        EXPECT_FALSE(global.Enthält(def.belegt.seite));
        EXPECT_TRUE(Nutzungskarte(d, def.belegt).Seiten().empty());
        EXPECT_TRUE(Nutzungskarte(d, def.frei).Seiten().empty());
        for (const RealerIndex& r : def.realeIndizes) {
            EXPECT_EQ(Nutzungskarte(d, r.karte).Seiten(), std::vector<uint32_t>{r.wurzel});
            EXPECT_EQ(d.Seite(r.wurzel)[0], 0x04);
            EXPECT_FALSE(global.Enthält(r.wurzel));
        }
        // Usage-map rows, in this order on the page(s) after the definition: owned, free space,
        // one per real index, a pair per Memo column; all of them and nothing else there.
        std::vector<Zeilenort> zeilen = {def.belegt, def.frei};
        for (const RealerIndex& r : def.realeIndizes) zeilen.push_back(r.karte);
        for (const Spalte& s : def.spalten) {
            if (s.typ != kMemo) continue;
            zeilen.push_back(s.lvBelegt);
            zeilen.push_back(s.lvFrei);
        }
        std::map<uint32_t, size_t> jeSeite;
        for (const Zeilenort& z : zeilen) ++jeSeite[z.seite];
        EXPECT_TRUE(std::is_sorted(zeilen.begin(), zeilen.end()));
        EXPECT_EQ(std::adjacent_find(zeilen.begin(), zeilen.end()), zeilen.end());
        for (const auto& [seite, anzahl] : jeSeite) {
            EXPECT_EQ(d.Seite(seite)[0], 0x01);
            EXPECT_EQ(d.Seite(seite)[12], anzahl);
            EXPECT_FALSE(global.Enthält(seite));
        }
        EXPECT_EQ(jeSeite.size() > 1, beschreibung.name == u"Memos");
        EXPECT_EQ(def.frei, (Zeilenort{def.belegt.seite, 1}));

        const std::string pfad = tmp / "neu.mdb";
        speichern(pfad, d);
        mitMdbVergleichen(pfad, def);
    }
}

TEST(Jet4Tabelle, ZaehlerSchreibenAendertNurDieZaehler) {
    ACCESS_FIXTUREN_NOETIG();
    TempVerzeichnis tmp;
    TabellenBeschreibung breit;
    breit.name = u"Breit";
    for (int i = 0; i < 120; ++i)
        breit.felder.push_back(feld(("Ein recht langer Feldname Nummer " + std::to_string(i)).c_str(), 4));
    breit.indizes = {index("A", {"Ein recht langer Feldname Nummer 0"}, true, true),
                     index("B", {"Ein recht langer Feldname Nummer 7"}, false, false)};
    for (const TabellenBeschreibung& beschreibung : {alleTypen(), breit}) {
        SCOPED_TRACE(utf8(beschreibung.name));
        Datei d = kopieLaden(tmp, "empty.mdb");
        Tabellendef def = EntwurfAus(beschreibung, 1033, 0);
        TabelleAnlegen(d, def);
        const std::vector<uint8_t> vorher = d.Inhalt();
        def.zeilen = 0x01020304;
        def.autoWert = 77;
        for (RealerIndex& r : def.realeIndizes) {
            r.zeilen = 5;
            r.wurzel = 0x00ABCDEF;
        }
        ZählerSchreiben(d, def);
        size_t anders = 0;
        for (size_t i = 0; i < vorher.size(); ++i) anders += vorher[i] != d.Inhalt()[i];
        // Row count (4 bytes), AutoNumber (1), each index's count (1) and root (3).
        EXPECT_EQ(anders, 5 + 4 * def.realeIndizes.size());
        gleicheDefinition(TabelleLesen(d, def.seite), def);
    }
}

}  // namespace
