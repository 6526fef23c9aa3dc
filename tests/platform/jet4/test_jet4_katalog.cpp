// Property blobs and the catalogue entry of a new table, against the Access files in the
// shared fixtures, with mdbtools (mdb-export, mdb-prop, mdb-tables, mdb-schema) as the
// independent reader.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <iterator>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "common/AccessVorlagen.h"
#include "common/Dateiinhalt.h"
#include "common/FremdeLeser.h"
#include "common/Jet4Pruefer.h"
#include "common/TempVerzeichnis.h"
#include "platform/dao/storage/access/jet4/Jet4Datei.h"
#include "platform/dao/storage/access/jet4/Jet4Eigenschaften.h"
#include "platform/dao/storage/access/jet4/Jet4Index.h"
#include "platform/dao/storage/access/jet4/Jet4Katalog.h"
#include "platform/dao/storage/access/jet4/Jet4Schreiber.h"
#include "platform/dao/storage/access/jet4/Jet4Zeilen.h"

namespace {

using namespace dao::speicher::access::jet4;
using dao::speicher::FeldBeschreibung;
using dao::speicher::IndexBeschreibung;
using dao::speicher::TabellenBeschreibung;
namespace fs = std::filesystem;

#define FIXTUREN_UND_MDBTOOLS_NOETIG()                                                                        \
    do {                                                                                                      \
        if (!fs::is_directory(kAccessOrdner))                                                                 \
            GTEST_SKIP() << "Access-Testdateien fehlen (" << kAccessOrdner << "): ../shared ist nicht da";    \
        if (std::system("command -v mdb-export >/dev/null 2>&1 && command -v mdb-prop >/dev/null 2>&1") != 0) \
            GTEST_SKIP() << "mdbtools (mdb-export, mdb-prop) ist nicht installiert";                          \
    } while (0)

std::vector<std::string> Teilen(const std::string& s, char trenner) {
    std::vector<std::string> teile(1);
    for (char c : s) {
        if (c == trenner) teile.emplace_back();
        else teile.back() += c;
    }
    if (teile.back().empty()) teile.pop_back();
    return teile;
}

std::vector<uint8_t> AusHex(const std::string& hex) {
    std::vector<uint8_t> b;
    for (size_t i = 0; i + 1 < hex.size(); i += 2)
        b.push_back(static_cast<uint8_t>(std::stoi(hex.substr(i, 2), nullptr, 16)));
    return b;
}

// MSysObjects as mdb-export prints it: one map of column to value per row, binary columns in hex.
std::vector<std::map<std::string, std::string>> Katalogzeilen(const std::string& pfad) {
    const auto zeilen =
        Teilen(fremd::Ausgabe("mdb-export -Q -b hex -d '\t' " + fremd::Shell(pfad) + " MSysObjects"), '\n');
    std::vector<std::map<std::string, std::string>> aus;
    if (zeilen.empty()) return aus;
    const auto köpfe = Teilen(zeilen[0] + "\t", '\t');
    for (size_t z = 1; z < zeilen.size(); ++z) {
        const auto felder = Teilen(zeilen[z] + "\t", '\t');
        std::map<std::string, std::string> zeile;
        for (size_t i = 0; i < köpfe.size(); ++i) zeile[köpfe[i]] = i < felder.size() ? felder[i] : "";
        aus.push_back(std::move(zeile));
    }
    return aus;
}

// ---- property blobs ----

TEST(Jet4Eigenschaften, JederBlockDerAccessDateienKommtByteGleichZurück) {
    FIXTUREN_UND_MDBTOOLS_NOETIG();
    size_t blöcke = 0;
    for (const auto& datei : kJet4Dateien) {
        SCOPED_TRACE(datei);
        for (const auto& zeile : Katalogzeilen(kAccessOrdner + datei)) {
            const auto blob = AusHex(zeile.at("LvProp"));
            if (blob.empty()) continue;
            SCOPED_TRACE(zeile.at("Name"));
            ++blöcke;
            const Eigenschaftsblock block = EigenschaftsblockLesen(blob);
            EXPECT_EQ(EigenschaftenKodieren(block), blob);
            // Without the pool the groups still come back as they were.
            const auto gruppen = EigenschaftenLesen(blob);
            const auto wieder = EigenschaftenLesen(EigenschaftenKodieren(gruppen));
            ASSERT_EQ(wieder.size(), gruppen.size());
            for (size_t g = 0; g < gruppen.size(); ++g) {
                EXPECT_EQ(wieder[g].objekt, gruppen[g].objekt);
                EXPECT_EQ(wieder[g].art, gruppen[g].art);
                ASSERT_EQ(wieder[g].eigenschaften.size(), gruppen[g].eigenschaften.size());
                for (size_t e = 0; e < gruppen[g].eigenschaften.size(); ++e) {
                    EXPECT_EQ(wieder[g].eigenschaften[e].name, gruppen[g].eigenschaften[e].name);
                    EXPECT_EQ(wieder[g].eigenschaften[e].wert, gruppen[g].eigenschaften[e].wert);
                }
            }
        }
    }
    EXPECT_GT(blöcke, 40u);
}

// The value as mdb-prop prints it, for the types it prints plainly; "" for the others.
std::string WieMdbProp(const Eigenschaft& e) {
    const auto& w = e.wert;
    auto ganz = [&](size_t n) {
        int64_t v = 0;
        for (size_t i = 0; i < n && i < w.size(); ++i) v |= static_cast<int64_t>(w[i]) << (8 * i);
        if (n == 2) v = static_cast<int16_t>(v);
        if (n == 4) v = static_cast<int32_t>(v);
        return std::to_string(v);
    };
    switch (e.typ) {
        case 1: return !w.empty() && w[0] ? "yes" : "no";
        case 2: return ganz(1);
        case 3: return ganz(2);
        case 4: return ganz(4);
        case 10:
        case 12: {
            Text t;
            for (size_t i = 0; i + 1 < w.size(); i += 2) t += static_cast<char16_t>(w[i] | (w[i + 1] << 8));
            return nachUtf8(t);
        }
        default: return "";
    }
}

TEST(Jet4Eigenschaften, TabellenUndSpalteneigenschaftenWieMdbProp) {
    FIXTUREN_UND_MDBTOOLS_NOETIG();
    size_t verglichen = 0;
    for (const auto& datei : kJet4Dateien) {
        SCOPED_TRACE(datei);
        const std::string pfad = kAccessOrdner + datei;
        for (const auto& zeile : Katalogzeilen(pfad)) {
            const auto blob = AusHex(zeile.at("LvProp"));
            if (blob.empty() || zeile.at("Type") != "1") continue;
            SCOPED_TRACE(zeile.at("Name"));
            // mdb-prop: "name: <group>" ("(none)" for the table's own), then "\t<property>: <value>".
            std::map<std::string, std::map<std::string, std::string>> erwartet;
            std::string gruppe;
            for (const auto& z : Teilen(fremd::Ausgabe("mdb-prop " + fremd::Shell(pfad) + " " +
                                                       fremd::Shell(zeile.at("Name")) + " 2>/dev/null"),
                                        '\n')) {
                if (z.rfind("name: ", 0) == 0) {
                    gruppe = z.substr(6) == "(none)" ? "" : z.substr(6);
                    erwartet[gruppe];
                } else if (z.rfind("\t", 0) == 0 && z.find(": ") != std::string::npos) {
                    const size_t d = z.find(": ");
                    erwartet[gruppe][z.substr(1, d - 1)] = z.substr(d + 2);
                }
            }
            std::map<std::string, std::map<std::string, std::string>> gelesen;
            for (const auto& g : EigenschaftenLesen(blob)) {
                auto& ziel = gelesen[nachUtf8(g.objekt)];
                for (const auto& e : g.eigenschaften) ziel[nachUtf8(e.name)] = WieMdbProp(e);
            }
            ASSERT_EQ(gelesen.size(), erwartet.size());
            for (const auto& [g, props] : erwartet) {
                SCOPED_TRACE(g);
                ASSERT_TRUE(gelesen.count(g));
                ASSERT_EQ(gelesen[g].size(), props.size());
                for (const auto& [name, wert] : props) {
                    ASSERT_TRUE(gelesen[g].count(name)) << name;
                    if (!gelesen[g][name].empty()) {
                        EXPECT_EQ(gelesen[g][name], wert) << name;
                    }
                    ++verglichen;
                }
            }
        }
    }
    EXPECT_GT(verglichen, 500u);
}

TEST(Jet4Eigenschaften, KaputteBlöckeSindFormatfehler) {
    const std::vector<uint8_t> gut = EigenschaftenKodieren(std::vector<Eigenschaftsgruppe>{
        {u"", {BoolEigenschaft(u"Required", true)}, {}},
        {u"Straße", {BoolEigenschaft(u"Required", false), BoolEigenschaft(u"AllowZeroLength", true)}, {}}});
    ASSERT_EQ(EigenschaftenLesen(gut).size(), 2u);
    // Every cut short blob and every single changed byte is read safely: groups or Formatfehler.
    std::set<size_t> grenzen = {4};  // a blob cut between chunks is a shorter blob
    for (size_t p = 4; p + 4 <= gut.size();) grenzen.insert(p += gut[p] | (gut[p + 1] << 8));
    for (size_t n = 0; n < gut.size(); ++n) {
        std::vector<uint8_t> kurz(gut.begin(), gut.begin() + static_cast<long>(n));
        if (grenzen.count(n)) EXPECT_NO_THROW(EigenschaftenLesen(kurz)) << n;
        else EXPECT_THROW(EigenschaftenLesen(kurz), Formatfehler) << n;
    }
    for (size_t i = 0; i < gut.size(); ++i)
        for (uint8_t x : {uint8_t{0x01}, uint8_t{0x80}, uint8_t{0xFF}}) {
            auto kaputt = gut;
            kaputt[i] ^= x;
            try {
                EigenschaftenLesen(kaputt);
            } catch (const Formatfehler&) {
            }
        }
    struct Fall {
        const char* was;
        std::vector<uint8_t> blob;
    };
    const std::vector<Fall> fälle = {
        {"Kennung eines Jet-3-Blocks", {'K', 'K', 'D', 0}},
        {"Werte vor der Namensliste", {'M', 'R', '2', 0, 12, 0, 0, 0, 0, 0, 6, 0, 0, 0, 0, 0}},
        {"Namensindex außerhalb der Liste", {'M', 'R', '2', 0, 8, 0, 0, 0, 0x80, 0, 0, 0,  // pool with one empty name
                                             21,  0,   0,   0, 0, 0, 6, 0, 0,    0, 0, 0, 9, 0, 1, 1, 1, 0, 1, 0, 1}},
        {"Blocklänge unter dem Kopf", {'M', 'R', '2', 0, 3, 0, 0, 0, 0x80, 0}},
    };
    for (const auto& f : fälle) EXPECT_THROW(EigenschaftenLesen(f.blob), Formatfehler) << f.was;
}

// ---- the catalogue entry of a new table ----

std::vector<uint8_t> DateiBytes(const std::string& pfad) {
    const std::string s = lesen(pfad);
    return {s.begin(), s.end()};
}

void Speichern(const Datei& d, const std::string& pfad) {
    schreiben(pfad, std::string(d.Inhalt().begin(), d.Inhalt().end()));
}

// The rows of a table as mdb-export prints them (binary in hex, dates in ISO form), one string per row.
std::multiset<std::string> Exportzeilen(const std::string& pfad, const std::string& tabelle) {
    const auto zeilen = Teilen(fremd::Ausgabe("mdb-export -H -Q -b hex -d '\t' -T '%Y-%m-%d %H:%M:%S' " +
                                              fremd::Shell(pfad) + " " + fremd::Shell(tabelle)),
                               '\n');
    return {zeilen.begin(), zeilen.end()};
}

std::vector<std::string> Neu(const std::multiset<std::string>& vorher, const std::multiset<std::string>& nachher) {
    std::vector<std::string> neu;
    std::set_difference(nachher.begin(), nachher.end(), vorher.begin(), vorher.end(), std::back_inserter(neu));
    return neu;
}

TabellenBeschreibung Kunden(const Text& name) {
    TabellenBeschreibung b;
    b.name = name;
    FeldBeschreibung nr{u"Nr", 4, 4, 0, true, true};
    FeldBeschreibung kname{u"Name", 10, 50, 0, false, false};
    FeldBeschreibung straße{u"Straße", 10, 60, 0, true, false};
    FeldBeschreibung notiz{u"Notiz", 12, 0, 0, true, true};
    FeldBeschreibung geändert{u"Geändert", 8, 8, 0, true, false};
    b.felder = {nr, kname, straße, notiz, geändert};
    b.indizes = {IndexBeschreibung{u"PrimaryKey", {u"Nr"}, true, true},
                 IndexBeschreibung{u"Name", {u"Name"}, false, false}};
    return b;
}

constexpr double kJetzt = 46000.75;  // 2025-12-09 18:00:00

Tabellendef Anlegen(Datei& d, const TabellenBeschreibung& b) {
    EintragPrüfen(d, b.name);
    Tabellendef def = EntwurfAus(b, d.Sortierung(), d.Sortierversion());
    TabelleAnlegen(d, def);
    TabelleEintragen(d, def, b, kJetzt);
    return def;
}

// Column index of `name` in the tab-separated export of MSysObjects.
const std::vector<std::string> kKatalogspalten = {
    "Id",          "ParentId", "Name",     "Type",     "DateCreate",  "DateUpdate",
    "Owner",       "Flags",    "Database", "Connect",  "ForeignName", "RmtInfoShort",
    "RmtInfoLong", "Lv",       "LvProp",   "LvModule", "LvExtra"};
std::map<std::string, std::string> Katalogfelder(const std::string& zeile) {
    const auto f = Teilen(zeile + "\t", '\t');
    std::map<std::string, std::string> m;
    for (size_t i = 0; i < kKatalogspalten.size(); ++i) m[kKatalogspalten[i]] = i < f.size() ? f[i] : "?";
    return m;
}

std::string Feld(const std::multiset<std::string>& zeilen, const std::string& name, const std::string& parent,
                 const std::string& spalte) {
    for (const auto& z : zeilen) {
        auto f = Katalogfelder(z);
        if (f["Name"] == name && (parent.empty() || f["ParentId"] == parent)) return f[spalte];
    }
    return "";
}

// The access rows Jet gives a new table: the Tables container's inheritable rows, the
// Creator's rights going to the database's owner (first four hex digits of the SID, ACM).
// test2V2000's MSP_PROJECTS, made through Jet by another program, has exactly these.
const std::map<std::string, std::vector<std::string>> kNeueAces = {
    {"V2000_no-password.mdb", {"CD14 983294", "CFCE 1048319", "CC14 1048319"}},
    {"V2000_with-password.mdb", {"90AC 983294", "9276 1048319", "91AC 1048319"}},
    {"V2003_with-password.mdb", {"E408 983294", "E6D2 1048319", "E508 1048319"}},
    {"empty.mdb", {"A633 983294", "A4F7 1048319", "A733 1048319"}},
    {"indexTestV2000.mdb", {"AEE3 983294", "AC39 1048319", "AFE3 1048319"}},
    {"sample-adressen.mdb", {"A633 983294", "A4F7 1048319", "A733 1048319"}},
    {"test2V2000.mdb", {"2165 983294", "2065 1048319"}},
    {"testUnicodeCompV2003.mdb", {"3067 983294", "32BD 1048319", "3167 1048319"}},
};

TEST(Jet4Katalog, NeueTabelleStehtImKatalogWieJetSieEinträgt) {
    FIXTUREN_UND_MDBTOOLS_NOETIG();
    const Text tabelle = u"Kundenübersicht";
    size_t geschrieben = 0;
    for (const auto& datei : kJet4Dateien) {
        SCOPED_TRACE(datei);
        const std::string quelle = kAccessOrdner + datei;
        Datei d(DateiBytes(quelle));
        if (Hindernis(d)) continue;
        const auto objekteVorher = Exportzeilen(quelle, "MSysObjects");
        const auto acesVorher = Exportzeilen(quelle, "MSysACEs");
        const Tabellendef def = Anlegen(d, Kunden(tabelle));
        TempVerzeichnis tmp;
        const std::string pfad = tmp / datei;
        Speichern(d, pfad);
        ++geschrieben;
        EXPECT_EQ(Jet4Prüfen(d.Inhalt()), std::vector<std::string>{});
        if (fremd::MdbReaderDa() && datei.find("with-password") == std::string::npos) {
            const auto gelesen = fremd::MdbReaderLesen(pfad, nachUtf8(tabelle));
            ASSERT_EQ(gelesen.size(), 1u);
            EXPECT_EQ(gelesen[0].spalten.size(), 5u);
            EXPECT_EQ(gelesen[0].fehler, "");
        }

        const auto tabellen = Teilen(fremd::Ausgabe("mdb-tables -1 " + fremd::Shell(pfad)), '\n');
        EXPECT_NE(std::find(tabellen.begin(), tabellen.end(), nachUtf8(tabelle)), tabellen.end());

        const std::string schema = fremd::Ausgabe("mdb-schema -T " + fremd::Shell(nachUtf8(tabelle)) + " " +
                                                  fremd::Shell(pfad) + " access 2>/dev/null");
        for (const char* spalte :
             {"[Nr]\t\t\tLong Integer NOT NULL", "[Name]\t\t\tText (50)", "[Straße]\t\t\tText (60)",
              "[Notiz]\t\t\tMemo/Hyperlink (255) NOT NULL", "[Geändert]\t\t\tDateTime"})
            EXPECT_NE(schema.find(spalte), std::string::npos) << spalte << "\n" << schema;
        const std::string indizes = fremd::Ausgabe("mdb-schema --indexes -T " + fremd::Shell(nachUtf8(tabelle)) + " " +
                                                   fremd::Shell(pfad) + " mysql 2>/dev/null");
        EXPECT_NE(indizes.find("ADD PRIMARY KEY (`Nr`)"), std::string::npos) << indizes;
        EXPECT_NE(indizes.find("ADD INDEX `Name` (`Name`)"), std::string::npos) << indizes;

        std::map<std::string, std::map<std::string, std::string>> props;
        std::string gruppe;
        for (const auto& z : Teilen(fremd::Ausgabe("mdb-prop " + fremd::Shell(pfad) + " " +
                                                   fremd::Shell(nachUtf8(tabelle)) + " 2>/dev/null"),
                                    '\n')) {
            if (z.rfind("name: ", 0) == 0) gruppe = z.substr(6);
            else if (z.find(": ") != std::string::npos)
                props[gruppe][z.substr(1, z.find(": ") - 1)] = z.substr(z.find(": ") + 2);
        }
        const std::map<std::string, std::map<std::string, std::string>> erwartet = {
            {"Nr", {{"Required", "yes"}}},
            {"Name", {{"Required", "no"}, {"AllowZeroLength", "no"}}},
            {"Straße", {{"Required", "no"}, {"AllowZeroLength", "yes"}}},
            {"Notiz", {{"Required", "yes"}, {"AllowZeroLength", "yes"}}},
            {"Geändert", {{"Required", "no"}}}};
        EXPECT_EQ(props, erwartet);

        // The catalogue keeps every row it had and gains exactly the new one.
        const auto objekteNachher = Exportzeilen(pfad, "MSysObjects");
        EXPECT_TRUE(
            std::includes(objekteNachher.begin(), objekteNachher.end(), objekteVorher.begin(), objekteVorher.end()));
        const auto neueObjekte = Neu(objekteVorher, objekteNachher);
        ASSERT_EQ(neueObjekte.size(), 1u);
        auto f = Katalogfelder(neueObjekte[0]);
        const std::string tabellenId = Feld(objekteVorher, "Tables", "251658240", "Id");
        const std::string datenbanken = Feld(objekteVorher, "Databases", "251658240", "Id");
        EXPECT_EQ(f["Id"], std::to_string(def.seite));
        EXPECT_EQ(f["ParentId"], tabellenId);
        EXPECT_EQ(f["Name"], nachUtf8(tabelle));
        EXPECT_EQ(f["Type"], "1");
        EXPECT_EQ(f["DateCreate"], "2025-12-09 18:00:00");
        EXPECT_EQ(f["DateUpdate"], "2025-12-09 18:00:00");
        EXPECT_EQ(f["Owner"], Feld(objekteVorher, "MSysDb", datenbanken, "Owner"));
        EXPECT_FALSE(f["Owner"].empty());
        EXPECT_EQ(f["Flags"], "0");
        EXPECT_FALSE(f["LvProp"].empty());
        for (const char* leer :
             {"Database", "Connect", "ForeignName", "RmtInfoShort", "RmtInfoLong", "Lv", "LvModule", "LvExtra"})
            EXPECT_EQ(f[leer], "") << leer;

        const auto acesNachher = Exportzeilen(pfad, "MSysACEs");
        EXPECT_TRUE(std::includes(acesNachher.begin(), acesNachher.end(), acesVorher.begin(), acesVorher.end()));
        std::multiset<std::string> neueAces, erwarteteAces;
        for (const auto& z : Neu(acesVorher, acesNachher)) {
            const auto a = Teilen(z + "\t", '\t');  // ObjectId, SID, ACM, FInheritable
            ASSERT_EQ(a.size(), 4u) << z;
            EXPECT_EQ(a[0], std::to_string(def.seite));
            EXPECT_EQ(a[3], "0");
            neueAces.insert(a[1].substr(0, 4) + " " + a[2]);
        }
        for (const auto& e : kNeueAces.at(datei)) erwarteteAces.insert(e);
        EXPECT_EQ(neueAces, erwarteteAces);

        // Entered once, the name is taken in every spelling Access sees as the same.
        EXPECT_THROW(EintragPrüfen(d, u"KUNDENÜBERSICHT"), NichtSchreibbar);
        EXPECT_THROW(TabelleEintragen(d, def, Kunden(u"kundenÜbersicht"), kJetzt), NichtSchreibbar);
    }
    EXPECT_GE(geschrieben, 4u);
}

TEST(Jet4Katalog, VorhandeneNamenWerdenOhneRücksichtAufSchreibungAbgewiesen) {
    FIXTUREN_UND_MDBTOOLS_NOETIG();
    struct Fall {
        const char* datei;
        const char16_t* name;
        bool frei;
    };
    const std::vector<Fall> fälle = {
        {"V2000_no-password.mdb", u"table1", false},
        {"V2000_no-password.mdb", u"TABLE1", false},
        {"indexTestV2000.mdb", u"tAbLe3", false},
        {"testUnicodeCompV2003.mdb", u"TABLE", false},
        {"empty.mdb", u"msysobjects", false},
        {"empty.mdb", u"MSysACEs", false},
        {"sample-adressen.mdb", u"ADRESSEN", false},
        {"test2V2000.mdb", u"msp_projects", false},
        // The General sort order gives "ß" the key of "ss": to Access the same name.
        {"sample-adressen.mdb", u"Adressen2", true},
        {"sample-adressen.mdb", u"ADREßEN", false},
        {"V2000_no-password.mdb", u"Täble1", true},
        {"empty.mdb", u"Tables", true},
        {"empty.mdb", u"", false},
        {"empty.mdb", u" Vorn", false},
        {"empty.mdb", u"a.b", false},
        {"empty.mdb", u"[x]", false},
        {"empty.mdb", u"1234567890123456789012345678901234567890123456789012345678901234", true},
        {"empty.mdb", u"1234567890123456789012345678901234567890123456789012345678901234x", false},
    };
    for (const auto& f : fälle) {
        SCOPED_TRACE(std::string(f.datei) + " " + nachUtf8(f.name));
        const Datei d(DateiBytes(kAccessOrdner + f.datei));
        if (f.frei) EXPECT_NO_THROW(EintragPrüfen(d, f.name));
        else EXPECT_THROW(EintragPrüfen(d, f.name), NichtSchreibbar);
    }
}

// Changes the first occurrence of `alt` (as Jet stores a short name: compressed or UTF-16)
// on the catalogue's data pages.
bool NamenÄndern(Datei& d, const std::string& alt, const std::string& neu) {
    const Tabellendef katalog = TabelleLesen(d, kKatalogSeite);
    std::set<uint32_t> seiten;
    ZeilenDurchgehen(d, katalog, [&](Zeilenort ort, std::span<const uint8_t>) { seiten.insert(ort.seite); });
    for (uint32_t s : seiten) {
        uint8_t* p = d.Seite(s);
        std::string kompr = std::string("\xFF\xFE") + alt, utf16;
        for (char c : alt) utf16 += std::string(1, c) + '\0';
        const std::string seite(reinterpret_cast<char*>(p), kSeitengröße);
        for (const std::string& muster : {kompr, utf16}) {
            const size_t at = seite.find(muster);
            if (at == std::string::npos) continue;
            const bool kompakt = &muster == &kompr;
            for (size_t i = 0; i < neu.size(); ++i) p[at + (kompakt ? 2 + i : 2 * i)] = static_cast<uint8_t>(neu[i]);
            return true;
        }
    }
    return false;
}

TEST(Jet4Katalog, EinUnerwarteterKatalogIstNichtSchreibbar) {
    FIXTUREN_UND_MDBTOOLS_NOETIG();
    struct Fall {
        const char* was;
        std::function<bool(Datei&)> verderben;
    };
    const std::vector<Fall> fälle = {
        {"Seite 2 ist keine Tabellendefinition", [](Datei& d) { return (d.Seite(2)[0] = 0x01), true; }},
        {"kein Container Tables", [](Datei& d) { return NamenÄndern(d, "Tables", "Tablex"); }},
        {"keine Tabelle MSysACEs", [](Datei& d) { return NamenÄndern(d, "MSysACEs", "MSysACEx"); }},
        {"kein MSysDb", [](Datei& d) { return NamenÄndern(d, "MSysDb", "MSysDx"); }},
    };
    for (const auto& f : fälle) {
        SCOPED_TRACE(f.was);
        Datei d(DateiBytes(kAccessOrdner + "empty.mdb"));
        ASSERT_TRUE(f.verderben(d));
        const auto vorher = d.Inhalt();
        try {
            EintragPrüfen(d, u"Neu");
            ADD_FAILURE() << "nicht abgewiesen";
        } catch (const NichtSchreibbar& e) {
            EXPECT_NE(e.grund.find(u"Systemkatalog"), Text::npos) << nachUtf8(e.grund);
        }
        Tabellendef def;
        def.seite = d.Seitenzahl() - 1;
        EXPECT_THROW(TabelleEintragen(d, def, Kunden(u"Neu"), kJetzt), NichtSchreibbar);
        EXPECT_EQ(d.Inhalt(), vorher) << "geändert, obwohl abgewiesen";
    }
}

TEST(Jet4Katalog, DreihundertTabellenBleibenÜberDenNamensindexAuffindbar) {
    FIXTUREN_UND_MDBTOOLS_NOETIG();
    Datei d(DateiBytes(kAccessOrdner + "empty.mdb"));
    std::vector<Text> namen;
    for (int i = 0; i < 300; ++i) {
        Text n = u"Übersicht " + ausUtf8(std::to_string((i * 7919) % 1000));  // not in key order
        TabellenBeschreibung b;
        b.name = n;
        b.felder = {FeldBeschreibung{u"Nr", 4, 4, 0, true, false}, FeldBeschreibung{u"Größe", 10, 20, 0, true, false}};
        Anlegen(d, b);
        namen.push_back(n);
    }
    TempVerzeichnis tmp;
    Speichern(d, tmp / "viele.mdb");
    Jet4Prüfbericht bericht;
    auto befund = Jet4Prüfen(d.Inhalt(), &bericht);
    // The check does not yet follow the maps of long-value columns: the map of LvProp's
    // pages has become a reference map by now, and its map page looks unaccounted for.
    std::erase_if(befund,
                  [](const std::string& b) { return b.find("von nichts erfasst (Typ 0x05)") != std::string::npos; });
    EXPECT_EQ(befund, std::vector<std::string>{});
    EXPECT_EQ(bericht.tabellen, 305u);
    const auto gelistet = Teilen(fremd::Ausgabe("mdb-tables -1 " + fremd::Shell(tmp / "viele.mdb")), '\n');
    for (const auto& n : namen)
        EXPECT_NE(std::find(gelistet.begin(), gelistet.end(), nachUtf8(n)), gelistet.end()) << nachUtf8(n);

    const Tabellendef katalog = TabelleLesen(d, kKatalogSeite);
    size_t parentId = 0, name = 0;
    for (size_t i = 0; i < katalog.spalten.size(); ++i) {
        if (katalog.spalten[i].name == u"ParentId") parentId = i;
        if (katalog.spalten[i].name == u"Name") name = i;
    }
    const RealerIndex* namensindex = nullptr;
    for (const auto& r : katalog.realeIndizes)
        if (r.spalten.size() == 2 && r.spalten[0].nummer == katalog.spalten[parentId].nummer &&
            r.spalten[1].nummer == katalog.spalten[name].nummer)
            namensindex = &r;
    ASSERT_NE(namensindex, nullptr);
    EXPECT_EQ(d.Seite(namensindex->wurzel)[0], static_cast<uint8_t>(Seitentyp::IndexKnoten)) << "keine Teilung";
    const auto einträge = IndexLesen(d, namensindex->wurzel);
    EXPECT_EQ(einträge.size(), katalog.zeilen);
    const int32_t tabellenId = 251658241;
    for (const auto& n : namen) {
        SCOPED_TRACE(nachUtf8(n));
        std::vector<Variante> werte(katalog.spalten.size(), Variante::Null());
        werte[parentId] = Variante(tabellenId);
        werte[name] = Variante(n);
        const auto schlüssel = Schlüssel(katalog, *namensindex, werte);
        const auto it = std::find_if(einträge.begin(), einträge.end(),
                                     [&](const Indexeintrag& e) { return e.schlüssel == schlüssel; });
        ASSERT_NE(it, einträge.end());
        const auto zeile = ZeileLesen(d, katalog, ZeileAn(d, it->ort));
        EXPECT_EQ(zeile[name].text(), n);
    }
    EXPECT_TRUE(std::is_sorted(einträge.begin(), einträge.end(), Vor));
}

}  // namespace
