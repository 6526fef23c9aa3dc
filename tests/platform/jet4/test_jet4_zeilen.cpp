// Rows, data pages and long values of the Jet 4 writer: read against the existing driver
// on the real files, written and read back, and read by libmdb as an independent reader.
#include <gtest/gtest.h>

// libmdb needs glib's types before its own header.
#include <glib.h>
#include <mdbtools.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <limits>
#include <map>
#include <string>
#include <vector>

#include "common/AccessVorlagen.h"
#include "common/TempVerzeichnis.h"
#include "platform/dao/storage/Bytes.h"
#include "platform/dao/storage/Speichertreiber.h"
#include "platform/dao/storage/access/jet4/Jet4Karte.h"
#include "platform/dao/storage/access/jet4/Jet4Zeilen.h"

namespace {

using namespace dao::speicher;
using namespace dao::speicher::access::jet4;
namespace fs = std::filesystem;

void Speichern(const std::string& pfad, const std::vector<uint8_t>& bytes) {
    std::ofstream(pfad, std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

size_t SpalteNamens(const Tabellendef& def, TextSicht name) {
    for (size_t i = 0; i < def.spalten.size(); ++i)
        if (def.spalten[i].name == name) return i;
    ADD_FAILURE() << "keine Spalte " << nachUtf8(name);
    return 0;
}

// The TDEF page of every table, from MSysObjects as our own reader sees it.
std::map<Text, uint32_t> Tabellenseiten(const Datei& datei) {
    const Tabellendef katalog = TabelleLesen(datei, 2);
    const size_t id = SpalteNamens(katalog, u"Id"), name = SpalteNamens(katalog, u"Name"),
                 typ = SpalteNamens(katalog, u"Type");
    std::map<Text, uint32_t> seiten;
    ZeilenDurchgehen(datei, katalog, [&](Zeilenort, std::span<const uint8_t> zeile) {
        const auto w = ZeileLesen(datei, katalog, zeile);
        if (!w[typ].istNull() && w[typ].zahl() == 1)
            seiten[w[name].text()] = static_cast<uint32_t>(w[id].alsLong()) & 0x00FFFFFF;
    });
    return seiten;
}

TEST(Jet4Zeilen, LiestJedeZeileWieDerVorhandeneTreiber) {
    ACCESS_FIXTUREN_NOETIG();
    size_t zeilenGesamt = 0;
    for (const std::string& name : kJet4Dateien) {
        SCOPED_TRACE(name);
        const std::string pfad = kAccessOrdner + name;
        const Text passwort = name.find("with-password") != std::string::npos ? u"password" : u"";
        auto treiber = TreiberÖffnen(u"", ausUtf8(pfad), passwort, true);
        ASSERT_TRUE(treiber);
        const Datei datei(DateiBytes(pfad));
        const auto seiten = Tabellenseiten(datei);
        for (const TabellenBeschreibung& t : treiber->StrukturLesen().tabellen) {
            SCOPED_TRACE(nachUtf8(t.name));
            ASSERT_TRUE(seiten.count(t.name));
            const Tabellendef def = TabelleLesen(datei, seiten.at(t.name));
            std::vector<size_t> spalte;
            for (const FeldBeschreibung& f : t.felder) spalte.push_back(SpalteNamens(def, f.name));
            std::vector<std::vector<Variante>> erwartet;
            treiber->ZeilenLesen(t, [&](const std::vector<Variante>& z) { erwartet.push_back(z); });
            size_t k = 0;
            ZeilenDurchgehen(datei, def, [&](Zeilenort ort, std::span<const uint8_t> zeile) {
                const auto werte = ZeileLesen(datei, def, zeile);
                ASSERT_LT(k, erwartet.size());
                for (size_t f = 0; f < spalte.size(); ++f)
                    EXPECT_TRUE(werte[spalte[f]].identisch(erwartet[k][f]))
                        << "Zeile " << k << " (Seite " << ort.seite << ", " << int(ort.zeile) << "), Feld "
                        << nachUtf8(t.felder[f].name) << ": " << werte[spalte[f]] << " statt " << erwartet[k][f];
                ++k;
            });
            EXPECT_EQ(k, erwartet.size());
            zeilenGesamt += k;
        }
    }
    EXPECT_GT(zeilenGesamt, 40u);
}

// Every table of the catalogue, system tables with their moved (overflow) rows included,
// reads with as many rows as its definition counts.
TEST(Jet4Zeilen, LiestJedeKatalogtabelleMitIhrerZeilenzahl) {
    ACCESS_FIXTUREN_NOETIG();
    size_t tabellen = 0;
    for (const std::string& name : kJet4Dateien) {
        SCOPED_TRACE(name);
        const Datei datei(DateiBytes(kAccessOrdner + name));
        for (const auto& [tabelle, seite] : Tabellenseiten(datei)) {
            SCOPED_TRACE(nachUtf8(tabelle));
            const Tabellendef def = TabelleLesen(datei, seite);
            size_t zeilen = 0;
            ZeilenDurchgehen(datei, def, [&](Zeilenort, std::span<const uint8_t> z) {
                EXPECT_EQ(ZeileLesen(datei, def, z).size(), def.spalten.size());
                for (size_t i = 0; i < def.spalten.size(); ++i) (void)RohwertLesen(datei, def, z, i);
                ++zeilen;
            });
            EXPECT_EQ(zeilen, def.zeilen);
            ++tabellen;
        }
    }
    EXPECT_GT(tabellen, 60u);
}

// ---------------------------------------------------------------------------------------
// Round trip on a table of every type, built by hand on a copy of empty.mdb in memory.

void Setze16(uint8_t* p, uint16_t w) {
    p[0] = static_cast<uint8_t>(w);
    p[1] = static_cast<uint8_t>(w >> 8);
}
void Setze32(uint8_t* p, uint32_t w) {
    Setze16(p, static_cast<uint16_t>(w));
    Setze16(p + 2, static_cast<uint16_t>(w >> 16));
}

bool Lang(uint8_t typ) { return typ == kMemo || typ == kOle; }

struct Feld {
    Text name;
    uint8_t typ;
    uint16_t zeichen = 0;  // Text
    bool komprimiert = true;
    bool auto_ = false;
};

// A data page as Access starts one; `tdef` 0 for a page of map rows.
void DatenseiteBeginnen(uint8_t* s, uint32_t tdef) {
    std::memset(s, 0, kSeitengröße);
    s[0] = 0x01;
    s[1] = 0x01;
    Setze16(s + 2, kSeitengröße - 14);
    Setze32(s + 4, tdef);
}

// The table: a one-page definition without indexes (as libmdb reads it), its maps on a
// page of their own, and the maps of each long-value column after the index names.
struct Probe {
    Datei datei;
    Tabellendef def;
    uint32_t kartenseite = 0;
    std::map<uint16_t, std::pair<Zeilenort, Zeilenort>> langKarten;

    explicit Probe(const std::vector<Feld>& felder) : datei(DateiBytes(kAccessOrdner + "empty.mdb")) {
        def.seite = datei.SeiteAnlegen();
        kartenseite = datei.SeiteAnlegen();
        DatenseiteBeginnen(datei.Seite(kartenseite), 0);
        def.belegt = Nutzungskarte::Anlegen(datei, kartenseite);
        def.frei = Nutzungskarte::Anlegen(datei, kartenseite);
        uint16_t fest = 0, var = 0;
        size_t langeVar = 0;
        for (const Feld& f : felder) langeVar += !FesteLänge(f.typ);
        for (const Feld& f : felder) langeVar -= Lang(f.typ);
        uint16_t langIndex = static_cast<uint16_t>(langeVar);
        for (const Feld& f : felder) {
            Spalte s;
            s.name = f.name;
            s.typ = f.typ;
            s.nummer = static_cast<uint16_t>(def.spalten.size());
            s.flags = static_cast<uint8_t>(0x02 | (FesteLänge(f.typ) ? 0x01 : 0) | (f.auto_ ? 0x04 : 0));
            if (FesteLänge(f.typ)) {
                s.festOffset = fest;
                s.länge = FesteLänge(f.typ);
                if (f.typ != kBoolean) fest = static_cast<uint16_t>(fest + s.länge);
            } else {
                // Long values after the others, as Access numbers them.
                s.varIndex = Lang(f.typ) ? langIndex++ : var++;
                s.länge = f.typ == kText ? static_cast<uint16_t>(2 * f.zeichen) : 0;
            }
            if (f.typ == kNumerisch) {
                s.genauigkeit = 18;
                s.stellen = 4;
            }
            if (f.typ == kText || f.typ == kMemo) {
                s.sortierung = 1033;
                s.flagsErw = f.komprimiert ? 0x01 : 0x00;
            }
            if (Lang(f.typ)) {
                s.lvBelegt = Nutzungskarte::Anlegen(datei, kartenseite);
                s.lvFrei = Nutzungskarte::Anlegen(datei, kartenseite);
                langKarten[s.nummer] = {s.lvBelegt, s.lvFrei};
            }
            def.spalten.push_back(s);
        }
        def.nächsteSpalte = static_cast<uint16_t>(def.spalten.size());
        DefinitionSchreiben();
    }

    void DefinitionSchreiben() {
        std::vector<uint8_t> b(63, 0);
        b[0] = 0x02;
        b[1] = 0x01;
        Setze32(&b[16], def.zeilen);
        Setze32(&b[20], def.autoWert);
        b[24] = 1;
        b[40] = 0x4E;
        uint16_t varZahl = 0;
        for (const Spalte& s : def.spalten) varZahl = static_cast<uint16_t>(varZahl + !s.Fest());
        Setze16(&b[41], def.nächsteSpalte);
        Setze16(&b[43], varZahl);
        Setze16(&b[45], static_cast<uint16_t>(def.spalten.size()));
        Setze32(&b[55], def.belegt.Zeiger());
        Setze32(&b[59], def.frei.Zeiger());
        for (const Spalte& s : def.spalten) {
            uint8_t c[25] = {};
            c[0] = s.typ;
            Setze16(c + 5, s.nummer);
            Setze16(c + 7, s.varIndex);
            Setze16(c + 9, s.nummer);
            Setze16(c + 11, s.sortierung);
            if (s.typ == kNumerisch) {
                c[11] = s.genauigkeit;
                c[12] = s.stellen;
            }
            c[15] = s.flags;
            c[16] = s.flagsErw;
            Setze16(c + 21, s.festOffset);
            Setze16(c + 23, s.länge);
            b.insert(b.end(), c, c + 25);
        }
        for (const Spalte& s : def.spalten) {
            uint8_t l[2];
            Setze16(l, static_cast<uint16_t>(2 * s.name.size()));
            b.insert(b.end(), l, l + 2);
            for (const char16_t z : s.name) {
                b.push_back(static_cast<uint8_t>(z));
                b.push_back(static_cast<uint8_t>(z >> 8));
            }
        }
        for (const auto& [nummer, karten] : langKarten) {
            uint8_t e[10];
            Setze16(e, nummer);
            Setze32(e + 2, karten.first.Zeiger());
            Setze32(e + 6, karten.second.Zeiger());
            b.insert(b.end(), e, e + 10);
        }
        b.push_back(0xFF);
        b.push_back(0xFF);
        Setze32(&b[8], static_cast<uint32_t>(b.size()));
        Setze16(&b[2], static_cast<uint16_t>(kSeitengröße - b.size() - 8));
        ASSERT_LE(b.size(), kSeitengröße);
        uint8_t* seite = datei.Seite(def.seite);
        std::memset(seite, 0, kSeitengröße);
        std::memcpy(seite, b.data(), b.size());
    }

    std::vector<std::vector<Variante>> Lesen() const {
        std::vector<std::vector<Variante>> zeilen;
        ZeilenDurchgehen(datei, def,
                         [&](Zeilenort, std::span<const uint8_t> z) { zeilen.push_back(ZeileLesen(datei, def, z)); });
        return zeilen;
    }
};

Text Wiederholt(TextSicht stück, size_t zeichen) {
    Text t;
    while (t.size() < zeichen) t += stück;
    t.resize(zeichen);
    return t;
}

const std::vector<Feld> kAlleTypen = {
    {u"ID", kLong, 0, true, true},
    {u"Ja", kBoolean},
    {u"Byte", kByte},
    {u"Integer", kInteger},
    {u"Long", kLong},
    {u"Währung", kCurrency},
    {u"Single", kSingle},
    {u"Double", kDouble},
    {u"Datum", kDatum},
    {u"Text", kText, 255},
    {u"Memo", kMemo},
    {u"Schlicht", kText, 40, false},
    {u"Objekt", kOle},
    {u"Guid", kGuid},
    {u"Dezimal", kNumerisch},
};

// The values a test writes, by column name; the others are Null.
std::vector<Variante> Zeile(const Tabellendef& def, std::map<Text, Variante> werte) {
    std::vector<Variante> z(def.spalten.size(), Variante::Null());
    for (auto& [name, wert] : werte) z[SpalteNamens(def, name)] = wert;
    return z;
}

TEST(Jet4Zeilen, SchreibtJedenTypUndLiestIhnGleichZurueck) {
    ACCESS_FIXTUREN_NOETIG();
    Probe p(kAlleTypen);
    const Text kyrillisch = u"Съешь же ещё этих мягких французских булок";
    const std::vector<std::map<Text, Variante>> fälle = {
        {},  // Null in every column
        {{u"Ja", true}, {u"Text", u""}, {u"Memo", u""}, {u"Schlicht", u""}, {u"Byte", uint8_t{0}}},
        {{u"Byte", uint8_t{255}},
         {u"Integer", int16_t{-32768}},
         {u"Long", std::numeric_limits<int32_t>::min()},
         {u"Währung", Variante::Währung(-9223372036854775807LL)},
         {u"Single", std::numeric_limits<float>::max()},
         {u"Double", std::numeric_limits<double>::max()},
         {u"Datum", Variante::Datum(-657434.0)},
         {u"Text", u"Müller-Lüdenscheidt, Straße 5, ÄÖÜ äöü ß"},
         {u"Memo", u"Zehn Bytes"}},
        {{u"Integer", int16_t{32767}},
         {u"Long", std::numeric_limits<int32_t>::max()},
         {u"Währung", Variante::Währung(12345678901234LL)},
         {u"Single", -1.5e-38f},
         {u"Double", -std::numeric_limits<double>::denorm_min()},
         {u"Datum", Variante::Datum(-1.25)},
         {u"Text", kyrillisch},
         {u"Schlicht", u"Ωμέγα και άλφα"},
         {u"Memo", Wiederholt(u"Grüße aus Köln. ", 1000)}},
        {{u"Datum", Variante::Datum(45000.75)},
         {u"Text", Wiederholt(u"x", 255)},
         {u"Memo", Wiederholt(u"Straße ", 3000)},
         {u"Schlicht", u"Ölmühle Ω 12"},
         {u"Guid", u"{6F9619FF-8B86-D011-B42D00C04FC964FF}"},
         {u"Dezimal", -0.5}},
        {{u"Text", Wiederholt(u"Straße Ω ", 255)},
         {u"Dezimal", 12345678901234.5678},
         {u"Memo", Wiederholt(kyrillisch, 70000)}},
        {{u"Memo", Wiederholt(u"Memo über 64 KiB. ", 300000)}, {u"Text", u"ab"}},
        {{u"ID", int32_t{100}},
         {u"Memo", Wiederholt(u"\u0100\u0101", 2000)},
         {u"Guid", u"{00112233-4455-6677-8899-AABBCCDDEEFF}"}},
        {{u"Text", u"danach 101"}},
    };
    std::vector<std::vector<Variante>> geschrieben;
    Zeilenschreiber schreiber(p.datei, p.def);
    for (const auto& fall : fälle) {
        auto werte = Zeile(p.def, fall);
        schreiber.Einfügen(werte);
        geschrieben.push_back(werte);
    }
    EXPECT_EQ(p.def.zeilen, fälle.size());
    EXPECT_EQ(p.def.autoWert, 101u) << "der letzte vergebene Wert";

    const auto gelesen = p.Lesen();
    ASSERT_EQ(gelesen.size(), geschrieben.size());
    for (size_t k = 0; k < gelesen.size(); ++k) {
        // IDs counted from 1, then on from an ID given.
        const int32_t id = k < 7 ? static_cast<int32_t>(k + 1) : k == 7 ? 100 : 101;
        EXPECT_TRUE(gelesen[k][0].identisch(Variante(id))) << k << ": " << gelesen[k][0];
        for (size_t i = 1; i < p.def.spalten.size(); ++i) {
            Variante soll = geschrieben[k][i];
            if (p.def.spalten[i].typ == kBoolean) soll = Variante(!soll.istNull() && soll.alsBool());
            if (p.def.spalten[i].typ == kOle) soll = Variante::Null();
            // A GUID reads back as the existing driver shows it.
            if (p.def.spalten[i].typ == kGuid && k == 7) soll = Variante(u"{00112233-4455-6677-8899AABBCCDDEEFF}");
            EXPECT_TRUE(gelesen[k][i].identisch(soll))
                << "Zeile " << k << ", " << nachUtf8(p.def.spalten[i].name) << ": " << gelesen[k][i].text().size()
                << " Zeichen statt " << soll.text().size() << " (" << gelesen[k][i] << ")";
        }
    }
}

// libmdb, handed the definition page as a catalogue entry, reads the rows as written.
void MitLibmdbVergleichen(Probe& p, const std::vector<std::vector<Variante>>& zeilen) {
    p.DefinitionSchreiben();  // with the row count, which libmdb reads
    TempVerzeichnis ordner;
    const std::string pfad = ordner / "probe.mdb";
    Speichern(pfad, p.datei.Inhalt());
    MdbHandle* mdb = mdb_open(pfad.c_str(), MDB_NOFLAGS);
    ASSERT_NE(mdb, nullptr);
    mdb_set_bind_size(mdb, 1 << 21);  // whole memos, not their first 16 KiB
    MdbCatalogEntry eintrag{};
    eintrag.mdb = mdb;
    std::strcpy(eintrag.object_name, "Probe");
    eintrag.object_type = MDB_TABLE;
    eintrag.table_pg = p.def.seite;
    MdbTableDef* t = mdb_read_table(&eintrag);
    ASSERT_NE(t, nullptr);
    ASSERT_TRUE(mdb_read_columns(t));
    ASSERT_EQ(t->num_cols, p.def.spalten.size());
    std::vector<MdbField> felder(t->num_cols);
    mdb_rewind_table(t);
    size_t k = 0;
    while (mdb_fetch_row(t)) {
        int anfang = 0;
        size_t länge = 0;
        ASSERT_EQ(mdb_find_row(mdb, static_cast<int>(t->cur_row - 1), &anfang, &länge), 0);
        ASSERT_GE(mdb_crack_row(t, anfang & 0x1FFF, länge, felder.data()), 0);
        ASSERT_LT(k, zeilen.size());
        for (size_t i = 0; i < p.def.spalten.size(); ++i) {
            const Spalte& s = p.def.spalten[i];
            const MdbField& f = felder[i];
            const Variante& soll = zeilen[k][i];
            SCOPED_TRACE("Zeile " + std::to_string(k) + ", " + nachUtf8(s.name));
            const auto* c = static_cast<MdbColumn*>(g_ptr_array_index(t->columns, i));
            ASSERT_EQ(std::string(c->name), nachUtf8(s.name));
            if (s.typ == kBoolean) {
                EXPECT_EQ(!f.is_null, !soll.istNull() && soll.alsBool());
                continue;
            }
            EXPECT_EQ(bool(f.is_null), soll.istNull());
            if (f.is_null || soll.istNull()) continue;
            const uint8_t* roh = static_cast<const uint8_t*>(mdb->pg_buf) + f.start;
            if (s.typ == kText || s.typ == kMemo || s.typ == kGuid || s.typ == kLong || s.typ == kInteger ||
                s.typ == kByte) {
                char* text = mdb_col_to_string(mdb, mdb->pg_buf, f.start, s.typ, f.siz);
                const std::string erwartet = s.typ == kText || s.typ == kMemo || s.typ == kGuid
                                                 ? nachUtf8(soll.text())
                                                 : std::to_string(static_cast<long long>(soll.zahl()));
                EXPECT_EQ(std::string(text).size(), erwartet.size());
                EXPECT_TRUE(std::string(text) == erwartet) << std::string(text).substr(0, 80);
                g_free(text);
            } else if (s.typ == kDouble || s.typ == kDatum) {
                double d;
                std::memcpy(&d, roh, 8);
                EXPECT_EQ(d, soll.zahl());
            } else if (s.typ == kSingle) {
                float fl;
                std::memcpy(&fl, roh, 4);
                EXPECT_EQ(fl, static_cast<float>(soll.zahl()));
            } else if (s.typ == kNumerisch) {
                // Called as the existing driver calls it.
                char* text = mdb_numeric_to_string(mdb, f.start, c->col_scale, c->col_prec);
                EXPECT_EQ(std::strtod(text, nullptr), soll.zahl()) << text;
                g_free(text);
            } else if (s.typ == kCurrency) {
                int64_t w;
                std::memcpy(&w, roh, 8);
                EXPECT_EQ(w, soll.währungRoh());
            }
        }
        ++k;
    }
    EXPECT_EQ(k, zeilen.size());
    mdb_free_tabledef(t);
    mdb_close(mdb);
}

TEST(Jet4Zeilen, LibmdbLiestDieGeschriebenenZeilen) {
    ACCESS_FIXTUREN_NOETIG();
    Probe p(kAlleTypen);
    Zeilenschreiber schreiber(p.datei, p.def);
    std::vector<std::vector<Variante>> zeilen;
    const std::vector<std::map<Text, Variante>> fälle = {
        {},
        {{u"Ja", true}, {u"Text", u""}, {u"Memo", u""}, {u"Long", int32_t{-7}}, {u"Byte", uint8_t{255}}},
        {{u"Text", u"Müller Straße äöü ÄÖÜ"},
         {u"Schlicht", u"Ωμέγα"},
         {u"Memo", u"Zehn Bytes"},
         {u"Double", -1e300},
         {u"Datum", Variante::Datum(-657434.5)},
         {u"Währung", Variante::Währung(-12345)},
         {u"Guid", u"{6F9619FF-8B86-D011-B42D00C04FC964FF}"},
         {u"Integer", int16_t{-32768}}},
        {{u"Text", u"Ölmühle Ω 12 – Straße"},
         {u"Memo", Wiederholt(u"Grüße aus Köln. ", 1000)},
         {u"Single", 0.25f},
         {u"Dezimal", -1234567.8912}},
        {{u"Dezimal", 1234567890.1234}},
        {{u"Dezimal", 0.0001}},
        {{u"Memo", Wiederholt(u"Straße ", 3000)}},
        {{u"Memo", Wiederholt(u"Съешь же ещё этих мягких французских булок", 70000)}},
        {{u"Memo", Wiederholt(u"Memo über 64 KiB. ", 300000)}},
    };
    // Enough rows for several data pages.
    for (size_t n = 0; n < 400; ++n)
        for (const auto& fall : fälle) {
            if (n > 0 && fall.count(u"Memo") && fall.at(u"Memo").text().size() > 1000) continue;
            auto werte = Zeile(p.def, fall);
            schreiber.Einfügen(werte);
            zeilen.push_back(werte);
        }
    MitLibmdbVergleichen(p, zeilen);
}

// The encodings Access uses, seen in the stored bytes of a Text column.
TEST(Jet4Zeilen, KomprimiertTexteWieAccess) {
    ACCESS_FIXTUREN_NOETIG();
    Probe p({{u"Text", kText, 255}, {u"Schlicht", kText, 255, false}});
    struct Fall {
        Text text;
        std::vector<uint8_t> bytes;
    };
    const std::vector<Fall> fälle = {
        {u"Müller", {0xFF, 0xFE, 'M', 0xFC, 'l', 'l', 'e', 'r'}},
        {u"ab", {'a', 0, 'b', 0}},  // two characters: compressing saves nothing
        {u"Ωμ", {0xA9, 0x03, 0xBC, 0x03}},
        {u"Ω 1", {0xA9, 0x03, ' ', 0, '1', 0}},
        {u"Straße Ωμ", {0xFF, 0xFE, 'S', 't', 'r', 'a', 0xDF, 'e', ' ', 0, 0xA9, 0x03, 0xBC, 0x03}},
        {u"Ωμ Straße", {0xFF, 0xFE, 0, 0xA9, 0x03, 0xBC, 0x03, 0, ' ', 'S', 't', 'r', 'a', 0xDF, 'e'}},
        {u"a\u0100bcd", {'a', 0, 0x00, 0x01, 'b', 0, 'c', 0, 'd', 0}},  // a zero low byte: never compressed
    };
    Zeilenschreiber schreiber(p.datei, p.def);
    for (const Fall& f : fälle) {
        auto werte = std::vector<Variante>{Variante(f.text), Variante(f.text)};
        schreiber.Einfügen(werte);
    }
    size_t k = 0;
    ZeilenDurchgehen(p.datei, p.def, [&](Zeilenort, std::span<const uint8_t> z) {
        ASSERT_LT(k, fälle.size());
        EXPECT_EQ(RohwertLesen(p.datei, p.def, z, 0), fälle[k].bytes) << nachUtf8(fälle[k].text);
        const auto schlicht = RohwertLesen(p.datei, p.def, z, 1);
        ASSERT_TRUE(schlicht);
        EXPECT_EQ(schlicht->size(), 2 * fälle[k].text.size()) << "ohne Kompressionsflag nie komprimiert";
        EXPECT_TRUE(ZeileLesen(p.datei, p.def, z)[0].identisch(Variante(fälle[k].text)));
        ++k;
    });
    EXPECT_EQ(k, fälle.size());
}

TEST(Jet4Zeilen, WeistWerteAbDieDasFeldNichtFasst) {
    ACCESS_FIXTUREN_NOETIG();
    std::vector<Feld> breit = {
        {u"ID", kLong, 0, true, true}, {u"Byte", kByte}, {u"Integer", kInteger}, {u"Text", kText, 255}};
    for (int k = 0; k < 9; ++k) breit.push_back({u"T" + ausUtf8(std::to_string(k)), kText, 255});
    const Text lang = Wiederholt(u"Ж", 255);
    std::map<Text, Variante> zuBreit;
    for (int k = 0; k < 9; ++k) zuBreit[u"T" + ausUtf8(std::to_string(k))] = lang;
    const std::vector<std::pair<const char*, std::map<Text, Variante>>> fälle = {
        {"Text über 255 Zeichen", {{u"Text", Wiederholt(u"x", 256)}}},
        {"Byte 256", {{u"Byte", int16_t{256}}}},
        {"Byte -1", {{u"Byte", int16_t{-1}}}},
        {"Integer 40000", {{u"Integer", int32_t{40000}}}},
        {"Zahl als Text", {{u"Integer", u"zwölf"}}},
        {"Zeile über eine Seite", zuBreit},
    };
    for (const auto& [name, fall] : fälle) {
        SCOPED_TRACE(name);
        Probe p(breit);
        Zeilenschreiber schreiber(p.datei, p.def);
        auto gut = Zeile(p.def, {{u"Text", u"vorher"}});
        schreiber.Einfügen(gut);
        const auto vorher = p.datei.Inhalt();
        auto werte = Zeile(p.def, fall);
        try {
            schreiber.Einfügen(werte);
            ADD_FAILURE() << "nicht abgewiesen";
        } catch (const NichtSchreibbar& e) {
            EXPECT_FALSE(e.grund.empty());
        }
        EXPECT_EQ(p.def.zeilen, 1u);
        EXPECT_EQ(p.def.autoWert, 1u) << "der Zähler läuft bei einer abgewiesenen Zeile nicht weiter";
        EXPECT_TRUE(p.datei.Inhalt() == vorher) << "eine abgewiesene Zeile ändert die Datei nicht";
        auto danach = Zeile(p.def, {{u"Text", u"danach"}});
        schreiber.Einfügen(danach);
        EXPECT_EQ(p.Lesen().size(), 2u);
    }
}

// A definition whose column number needs more than a row's column count (a broken
// file) is refused before anything is written, not written past the row's end.
TEST(Jet4Zeilen, WeistSpaltennummernUeberDieZeilenbreiteAb) {
    ACCESS_FIXTUREN_NOETIG();
    Probe p({{u"ID", kLong, 0, true, true}, {u"Text", kText, 20}});
    p.def.spalten[1].nummer = 65535;
    const auto vorher = p.datei.Inhalt();
    EXPECT_THROW(Zeilenschreiber(p.datei, p.def), NichtSchreibbar);
    EXPECT_TRUE(p.datei.Inhalt() == vorher);
}

// Rows appended to a table Access wrote go on after its rows, and the driver reads both.
TEST(Jet4Zeilen, HaengtZeilenAnEineAccessTabelleAn) {
    ACCESS_FIXTUREN_NOETIG();
    const std::string quelle = kAccessOrdner + "sample-adressen.mdb";
    Datei datei(DateiBytes(quelle));
    Tabellendef def = TabelleLesen(datei, Tabellenseiten(datei).at(u"Adressen"));
    std::vector<std::vector<Variante>> alle;
    ZeilenDurchgehen(datei, def,
                     [&](Zeilenort, std::span<const uint8_t> z) { alle.push_back(ZeileLesen(datei, def, z)); });
    const size_t alt = alle.size();
    ASSERT_GT(alt, 0u);
    const uint32_t zeilenVorher = def.zeilen;
    const Spalte& bemerkung = def.spalten[SpalteNamens(def, u"Bemerkung")];
    ASSERT_NE(bemerkung.lvBelegt.seite, 0u);
    const size_t langseitenVorher = Nutzungskarte(datei, bemerkung.lvBelegt).Seiten().size();
    {
        Zeilenschreiber schreiber(datei, def);
        const size_t id = SpalteNamens(def, u"ID");
        for (size_t n = 0; n < 500; ++n) {
            auto werte = alle[n % alt];
            werte[id] = Variante::Null();
            schreiber.Einfügen(werte);
            alle.push_back(werte);
        }
    }
    EXPECT_EQ(def.zeilen, zeilenVorher + 500);
    // New IDs go on after the highest one Access handed out.
    const size_t id = SpalteNamens(def, u"ID");
    int32_t höchste = 0;
    for (size_t k = 0; k < alt; ++k) höchste = std::max(höchste, alle[k][id].alsLong());
    for (size_t k = alt; k < alle.size(); ++k)
        EXPECT_TRUE(alle[k][id].identisch(Variante(static_cast<int32_t>(höchste + 1 + (k - alt)))));
    Setze32(datei.Seite(def.seite) + 16, def.zeilen);  // the row count libmdb goes by

    TempVerzeichnis ordner;
    const std::string pfad = ordner / "adressen.mdb";
    Speichern(pfad, datei.Inhalt());
    auto treiber = TreiberÖffnen(u"", ausUtf8(pfad), u"", true);
    ASSERT_TRUE(treiber);
    const auto struktur = treiber->StrukturLesen();
    ASSERT_EQ(struktur.tabellen.size(), 1u);
    const TabellenBeschreibung& t = struktur.tabellen[0];
    std::vector<std::vector<Variante>> gelesen;
    treiber->ZeilenLesen(t, [&](const std::vector<Variante>& z) { gelesen.push_back(z); });
    ASSERT_EQ(gelesen.size(), alle.size());
    for (size_t k = 0; k < gelesen.size(); ++k)
        for (size_t f = 0; f < t.felder.size(); ++f)
            EXPECT_TRUE(gelesen[k][f].identisch(alle[k][SpalteNamens(def, t.felder[f].name)]))
                << "Zeile " << k << ", " << nachUtf8(t.felder[f].name) << ": " << gelesen[k][f];
    // The new data pages are the table's, and pages with room are in its free-space map.
    Nutzungskarte belegt(datei, def.belegt), frei(datei, def.frei);
    size_t datenseiten = 0;
    for (const uint32_t s : belegt.Seiten()) {
        const uint8_t* seite = datei.Seite(s);
        if (seite[0] != 0x01 || dao::speicher::le32(seite + 4) != def.seite) continue;
        ++datenseiten;
        if (frei.Enthält(s)) {
            EXPECT_GT(dao::speicher::le16(seite + 2), 0u);
        }
    }
    EXPECT_GT(datenseiten, 5u);
    // The memos' long-value pages are the column's, as in the file Access wrote.
    EXPECT_GT(Nutzungskarte(datei, bemerkung.lvBelegt).Seiten().size(), langseitenVorher + 20);
}

// Long values go where Access puts them: short ones in the row, one page's worth in one
// row of a long-value page, longer ones in a chain of full pages; the pages are the
// column's, in its free-space map only while they take single values.
TEST(Jet4Zeilen, LegtLangwerteAbWieAccess) {
    ACCESS_FIXTUREN_NOETIG();
    Probe p({{u"Memo", kMemo}});
    const auto& [belegtOrt, freiOrt] = p.langKarten.at(0);
    struct Fall {
        size_t zeichen;
        uint8_t art;           // top byte of the length field
        size_t kettenglieder;  // rows of a chain
    };
    const std::vector<Fall> fälle = {{10, 0x80, 0},     {64 - 2, 0x80, 0},  {1000, 0x40, 0}, {1024, 0x40, 0},
                                     {1025, 0x40, 0},   {2038, 0x40, 0},    {2039, 0x00, 2}, {3000, 0x00, 2},
                                     {70000, 0x00, 35}, {300000, 0x00, 148}};
    Zeilenschreiber schreiber(p.datei, p.def);
    for (const Fall& f : fälle) {
        std::vector<Variante> werte{Variante(Wiederholt(u"Grüße ", f.zeichen))};
        schreiber.Einfügen(werte);
    }
    Nutzungskarte belegt(p.datei, belegtOrt), frei(p.datei, freiOrt);
    size_t k = 0;
    uint32_t einzelseite = 0;
    ZeilenDurchgehen(p.datei, p.def, [&](Zeilenort, std::span<const uint8_t> z) {
        ASSERT_LT(k, fälle.size());
        const Fall& f = fälle[k++];
        SCOPED_TRACE(f.zeichen);
        ASSERT_GE(z.size(), 2u + 12u);
        const uint32_t länge = dao::speicher::le32(z.data() + 2);
        EXPECT_EQ(länge >> 24, f.art);
        EXPECT_EQ(länge & 0x3FFFFFFF, f.zeichen <= 1024 ? f.zeichen + 2 : 2 * f.zeichen);
        EXPECT_TRUE(ZeileLesen(p.datei, p.def, z)[0].identisch(Variante(Wiederholt(u"Grüße ", f.zeichen))));
        if (f.art == 0x80) return;
        Zeilenort ort = Zeilenort::AusZeiger(dao::speicher::le32(z.data() + 6));
        size_t glieder = 0;
        while (ort.seite != 0) {
            const uint8_t* s = p.datei.Seite(ort.seite);
            EXPECT_EQ(std::memcmp(s + 4, "LVAL", 4), 0);
            EXPECT_TRUE(belegt.Enthält(ort.seite));
            if (f.art == 0x40) {
                einzelseite = ort.seite;
                break;
            }
            ++glieder;
            EXPECT_FALSE(frei.Enthält(ort.seite)) << "Kettenseiten nicht in der Freiraumkarte";
            EXPECT_EQ(ort.zeile, 0);
            const uint16_t anfang = dao::speicher::le16(s + 14) & 0x1FFF;
            ort = Zeilenort::AusZeiger(dao::speicher::le32(s + anfang));
        }
        EXPECT_EQ(glieder, f.kettenglieder);
    });
    EXPECT_EQ(k, fälle.size());
    EXPECT_TRUE(frei.Enthält(einzelseite)) << "die Seite, die noch Platz hat";
    // The two single-row values share a long-value page; no page is the table's.
    Nutzungskarte tabelle(p.datei, p.def.belegt);
    for (const uint32_t s : tabelle.Seiten()) EXPECT_NE(std::memcmp(p.datei.Seite(s) + 4, "LVAL", 4), 0);
}

// Rows written before columns were added carry fewer columns: the new ones read as Null.
TEST(Jet4Zeilen, AlteZeilenOhneSpaeterAngefuegteSpalten) {
    ACCESS_FIXTUREN_NOETIG();
    Probe p({{u"Long", kLong}, {u"Text", kText, 20}});
    Zeilenschreiber schreiber(p.datei, p.def);
    auto werte = std::vector<Variante>{Variante(int32_t{7}), Variante(u"alt")};
    schreiber.Einfügen(werte);
    Spalte ja;
    ja.name = u"Ja";
    ja.typ = kBoolean;
    ja.nummer = 2;
    ja.flags = 0x03;
    Spalte zahl = ja;
    zahl.name = u"Zahl";
    zahl.typ = kDouble;
    zahl.nummer = 3;
    zahl.festOffset = 4;
    zahl.länge = 8;
    Spalte memo = ja;
    memo.name = u"Memo";
    memo.typ = kMemo;
    memo.nummer = 4;
    memo.flags = 0x02;
    memo.varIndex = 1;
    p.def.spalten.insert(p.def.spalten.end(), {ja, zahl, memo});
    p.def.nächsteSpalte = 5;
    const auto zeilen = p.Lesen();
    ASSERT_EQ(zeilen.size(), 1u);
    const std::vector<Variante> soll = {Variante(int32_t{7}), Variante(u"alt"), Variante(false), Variante::Null(),
                                        Variante::Null()};
    for (size_t i = 0; i < soll.size(); ++i) EXPECT_TRUE(zeilen[0][i].identisch(soll[i])) << i << ": " << zeilen[0][i];
}

// Columns without a value type take raw bytes (OLE in all three forms, GUID) and give them back.
TEST(Jet4Zeilen, SchreibtUndLiestRohwerte) {
    ACCESS_FIXTUREN_NOETIG();
    Probe p({{u"Objekt", kOle}, {u"Guid", kGuid}});
    std::vector<std::vector<uint8_t>> blobs;
    for (const size_t n : {size_t{0}, size_t{40}, size_t{3000}, size_t{10000}}) {
        std::vector<uint8_t> b(n);
        for (size_t k = 0; k < n; ++k) b[k] = static_cast<uint8_t>(k * 7 + n);
        blobs.push_back(b);
    }
    const std::vector<uint8_t> guid = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
    Zeilenschreiber schreiber(p.datei, p.def);
    for (const auto& b : blobs) {
        std::vector<Variante> werte(2, Variante::Null());
        schreiber.Einfügen(werte, {{0, b}, {1, guid}});
    }
    size_t k = 0;
    ZeilenDurchgehen(p.datei, p.def, [&](Zeilenort, std::span<const uint8_t> z) {
        ASSERT_LT(k, blobs.size());
        EXPECT_EQ(RohwertLesen(p.datei, p.def, z, 0), blobs[k]);
        EXPECT_EQ(RohwertLesen(p.datei, p.def, z, 1), guid);
        EXPECT_TRUE(ZeileLesen(p.datei, p.def, z)[1].identisch(Variante(u"{04030201-0605-0807-090A0B0C0D0E0F10}")));
        ++k;
    });
    EXPECT_EQ(k, blobs.size());
}

// ---------------------------------------------------------------------------------------
// Damaged pages: Formatfehler, never a crash or a loop.

struct Kaputt {
    Datei datei;
    Tabellendef def;
    uint32_t daten = 0, lval = 0, karte = 0;

    Kaputt() : datei(Mit4Seiten()) {
        const uint32_t n = datei.Seitenzahl();
        def.seite = n - 4;
        daten = n - 3;
        lval = n - 2;
        karte = n - 1;
        datei.Seite(def.seite)[0] = 0x02;
        DatenseiteBeginnen(datei.Seite(daten), def.seite);
        DatenseiteBeginnen(datei.Seite(lval), 0);
        std::memcpy(datei.Seite(lval) + 4, "LVAL", 4);
        DatenseiteBeginnen(datei.Seite(karte), 0);
        // An inline map (type 0 from page 0) that owns the data page.
        std::vector<uint8_t> bitmap(1 + 4 + 16, 0);
        bitmap[5 + daten / 8] = static_cast<uint8_t>(1u << (daten % 8));
        ZeileSetzen(karte, 0, bitmap);
        def.belegt = {karte, 0};
        def.frei = {karte, 0};
        Spalte text;
        text.name = u"Text";
        text.typ = kText;
        text.länge = 100;
        text.flags = 0x02;
        Spalte memo = text;
        memo.name = u"Memo";
        memo.typ = kMemo;
        memo.nummer = 1;
        memo.varIndex = 1;
        def.spalten = {text, memo};
        def.nächsteSpalte = 2;
        // One row: "ab" and a memo of 100 bytes in a long-value row.
        std::vector<uint8_t> z = {2, 0, 'a', 0, 'b', 0};
        std::vector<uint8_t> kopf(12, 0);
        Setze32(kopf.data(), 100 | 0x40000000u);
        Setze32(kopf.data() + 4, Zeilenort{lval, 0}.Zeiger());
        z.insert(z.end(), kopf.begin(), kopf.end());
        for (const uint16_t w : {uint16_t{18}, uint16_t{6}, uint16_t{2}, uint16_t{2}}) {
            z.push_back(static_cast<uint8_t>(w));
            z.push_back(static_cast<uint8_t>(w >> 8));
        }
        z.push_back(0x03);
        ZeileSetzen(daten, 0, z);
        ZeileSetzen(lval, 0, std::vector<uint8_t>(100, 'm'));
    }

    static std::vector<uint8_t> Mit4Seiten() {
        auto b = DateiBytes(kAccessOrdner + "empty.mdb");
        b.resize(b.size() + 4 * kSeitengröße, 0);
        return b;
    }

    // Row `nr` (the next one) of the page, below the rows before it.
    void ZeileSetzen(uint32_t seite, uint16_t nr, const std::vector<uint8_t>& bytes, uint16_t flags = 0) {
        uint8_t* s = datei.Seite(seite);
        const uint16_t ende = nr == 0 ? kSeitengröße : (dao::speicher::le16(s + 14 + 2 * (nr - 1)) & 0x1FFF);
        const auto anfang = static_cast<uint16_t>(ende - bytes.size());
        std::memcpy(s + anfang, bytes.data(), bytes.size());
        Setze16(s + 14 + 2 * nr, static_cast<uint16_t>(anfang | flags));
        Setze16(s + 12, static_cast<uint16_t>(nr + 1));
    }

    uint8_t* Zeile0() { return datei.Seite(daten) + (dao::speicher::le16(datei.Seite(daten) + 14) & 0x1FFF); }

    void AllesLesen() const {
        ZeilenDurchgehen(datei, def, [&](Zeilenort, std::span<const uint8_t> z) { (void)ZeileLesen(datei, def, z); });
    }
};

TEST(Jet4Zeilen, BeschaedigteSeitenSindFormatfehler) {
    ACCESS_FIXTUREN_NOETIG();
    {
        Kaputt k;  // the undamaged file reads
        std::vector<Variante> werte;
        ZeilenDurchgehen(k.datei, k.def,
                         [&](Zeilenort, std::span<const uint8_t> z) { werte = ZeileLesen(k.datei, k.def, z); });
        ASSERT_EQ(werte.size(), 2u);
        EXPECT_TRUE(werte[0].identisch(Variante(u"ab")));
        EXPECT_EQ(werte[1].text().size(), 50u);
    }
    const std::vector<std::pair<const char*, std::function<void(Kaputt&)>>> fälle = {
        {"Zeilenoffset in der Zeilentabelle", [](Kaputt& k) { Setze16(k.datei.Seite(k.daten) + 14, 8); }},
        {"Zeilenoffset hinter der Seite", [](Kaputt& k) { Setze16(k.datei.Seite(k.daten) + 14, 0x1FF0); }},
        {"zu viele Zeilen", [](Kaputt& k) { Setze16(k.datei.Seite(k.daten) + 12, 2100); }},
        {"Verweis auf sich selbst",
         [](Kaputt& k) {
             Setze16(k.datei.Seite(k.daten) + 14,
                     static_cast<uint16_t>(dao::speicher::le16(k.datei.Seite(k.daten) + 14) | 0x4000));
             Setze32(k.Zeile0(), Zeilenort{k.daten, 0}.Zeiger());
         }},
        {"Verweis hinter das Dateiende",
         [](Kaputt& k) {
             Setze16(k.datei.Seite(k.daten) + 14,
                     static_cast<uint16_t>(dao::speicher::le16(k.datei.Seite(k.daten) + 14) | 0x4000));
             Setze32(k.Zeile0(), Zeilenort{0xFFFFFF, 0}.Zeiger());
         }},
        {"Spaltenoffset hinter der Zeile", [](Kaputt& k) { Setze16(k.Zeile0() + 18 + 2, 400); }},
        {"Spaltenzahl größer als die Zeile", [](Kaputt& k) { Setze16(k.Zeile0(), 0xFFFF); }},
        {"Langwertzeile fehlt",
         [](Kaputt& k) {
             Setze32(k.Zeile0() + 6 + 4, Zeilenort{k.lval, 7}.Zeiger());
         }},
        {"Langwertkette im Kreis",
         [](Kaputt& k) {
             Setze32(k.Zeile0() + 6, 100000);  // a chain
             std::vector<uint8_t> glied(104, 'm');
             Setze32(glied.data(), Zeilenort{k.lval, 1}.Zeiger());
             k.ZeileSetzen(k.lval, 1, glied);
             Setze32(k.Zeile0() + 6 + 4, Zeilenort{k.lval, 1}.Zeiger());
         }},
        {"Langwertkette endet zu früh", [](Kaputt& k) { Setze32(k.Zeile0() + 6, 100000); }},
        {"Karte nennt Seite hinter dem Ende",
         [](Kaputt& k) {
             uint8_t* s = k.datei.Seite(k.karte);
             uint8_t* map = s + (dao::speicher::le16(s + 14) & 0x1FFF);
             Setze32(map + 1, k.datei.Seitenzahl());
         }},
    };
    for (const auto& [name, schaden] : fälle) {
        SCOPED_TRACE(name);
        Kaputt k;
        schaden(k);
        EXPECT_THROW(k.AllesLesen(), Formatfehler);
    }
}

}  // namespace
