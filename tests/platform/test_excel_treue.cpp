// The Excel driver keeps what a workbook holds: headers as they were read, dates over the
// whole range of both date systems by their serial number; python3-xlrd reads it alike.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>

#include "common/Rueckschrift.h"
#include "common/TempVerzeichnis.h"
#include "platform/basic/Fehler.h"
#include "platform/dao/Dao.h"
#include "platform/dao/storage/excel/ExcelTreiber.h"

namespace fs = std::filesystem;
using namespace dao::speicher;

namespace {

const std::string kFixtures = std::string(PURIVO_FIXTURES) + "/excel";

std::string xlrd(const std::string& skript) {
    TempVerzeichnis t;
    std::ofstream(t / "s.py") << skript;
    FILE* p = ::popen(("/usr/bin/python3 " + (t / "s.py") + " 2>&1").c_str(), "r");
    std::string aus;
    char b[4096];
    size_t n;
    while ((n = std::fread(b, 1, sizeof b, p)) > 0) aus.append(b, n);
    ::pclose(p);
    return aus;
}

// A field as the workbook reports it: text 255 wide, numbers and dates 8 bytes.
FeldBeschreibung blattfeld(Text name, int16_t typ) { return feld(std::move(name), typ, typ == dao::dbText ? 255 : 8); }
Rückschrift unverändert(Speichertreiber& d) {
    Rückschrift r;
    for (const auto& b : d.StrukturLesen().tabellen)
        r.tabellen.push_back(eintrag(b, Rückschrift::Zustand::unverändert, b.name, {}));
    return r;
}
const TabellenBeschreibung* tabelle(const Struktur& s, TextSicht name) {
    for (const auto& t : s.tabellen)
        if (t.name == name) return &t;
    return nullptr;
}
std::vector<std::vector<Variante>> zeilen(Speichertreiber& d, TextSicht name) {
    const Struktur s = d.StrukturLesen();
    std::vector<std::vector<Variante>> z;
    if (const auto* t = tabelle(s, name)) d.ZeilenLesen(*t, [&](const std::vector<Variante>& r) { z.push_back(r); });
    return z;
}

}  // namespace

TEST(ExcelTreue, DatenÜberDenGanzenBereichBeiderDatumssysteme) {
    struct Fall {
        const char* mappe;
        bool system1904;
        std::vector<double> gut;         // OLE dates that the workbook holds
        std::vector<double> abgewiesen;  // and those it cannot
    };
    // OLE: 2 = 1.1.1900, 60 = 28.2.1900, 61 = 1.3.1900, 1462 = 1.1.1904 (serial 0, a time), 2958465 = 31.12.9999.
    const std::vector<Fall> fälle = {
        {"Test97.xls", false, {2, 59.5, 60, 61, 45351.75, 2958465, 2958465.5, 0.25}, {1, 1.5, -3, 2958466}},
        {"Test1904.xls", true, {1463, 1463.25, 45351.75, 2958465, 0.25}, {1462, 1462.5, 1461, 61, 2, 2958466}},
    };
    for (const Fall& f : fälle) {
        SCOPED_TRACE(f.mappe);
        TempVerzeichnis t;
        const std::string datei = t / f.mappe;
        fs::copy_file(kFixtures + "/" + f.mappe, datei);
        TabellenBeschreibung b;
        b.name = u"Tage";
        b.felder = {blattfeld(u"Tag", dao::dbDate)};
        {
            auto d = excel::TreiberÖffnen(ausUtf8(datei), false);
            std::vector<std::vector<Variante>> z;
            for (double ole : f.gut) z.push_back({Variante::Datum(ole)});
            Rückschrift r = unverändert(*d);
            r.tabellen.push_back(eintrag(b, Rückschrift::Zustand::neu, u"", z));
            d->Schreiben(r);
        }
        auto d = excel::TreiberÖffnen(ausUtf8(datei), false);
        const auto z = zeilen(*d, u"Tage");
        ASSERT_EQ(z.size(), f.gut.size());
        for (size_t i = 0; i < z.size(); ++i) {
            EXPECT_TRUE(z[i][0].istDatum()) << i;
            EXPECT_NEAR(z[i][0].zahl(), f.gut[i], 1e-6) << i;
        }
        // xlrd takes the serials with the workbook's date system (before 1.3.1900 it refuses).
        std::string erwartet;
        for (double ole : f.gut) {
            if (!f.system1904 && ole < 61 && ole >= 1) continue;
            const auto tag = static_cast<int64_t>(std::floor(ole));
            const int sekunden = static_cast<int>(std::lround((ole - static_cast<double>(tag)) * 86400));
            std::chrono::year_month_day ymd{std::chrono::sys_days{std::chrono::year{1899} / 12 / 30} +
                                            std::chrono::days{tag}};
            char s[64];
            if (ole < 1)
                std::snprintf(s, sizeof s, "(0, 0, 0, %d, %d, %d)\n", sekunden / 3600, sekunden / 60 % 60,
                              sekunden % 60);
            else
                std::snprintf(s, sizeof s, "(%d, %u, %u, %d, %d, %d)\n", static_cast<int>(ymd.year()),
                              static_cast<unsigned>(ymd.month()), static_cast<unsigned>(ymd.day()), sekunden / 3600,
                              sekunden / 60 % 60, sekunden % 60);
            erwartet += s;
        }
        EXPECT_EQ(xlrd("import xlrd\nb = xlrd.open_workbook('" + datei +
                       "')\ns = b.sheet_by_name('Tage')\n"
                       "for r in range(1, s.nrows):\n    v = s.cell_value(r, 0)\n"
                       "    if " +
                       std::string(f.system1904 ? "True" : "v >= 61 or v < 1") +
                       ": print(xlrd.xldate_as_tuple(v, b.datemode))\n"),
                  erwartet);

        // What the date system cannot hold is refused, the file kept.
        const std::string vorher = [&] {
            std::ifstream e(datei, std::ios::binary);
            return std::string(std::istreambuf_iterator<char>(e), {});
        }();
        for (double ole : f.abgewiesen) {
            SCOPED_TRACE(ole);
            Rückschrift r = unverändert(*d);
            b.name = u"Falsch";
            r.tabellen.push_back(eintrag(b, Rückschrift::Zustand::neu, u"", {{Variante::Datum(ole)}}));
            try {
                d->Schreiben(r);
                ADD_FAILURE() << "kein Fehler";
            } catch (const LaufzeitFehler& e) {
                const std::string w = e.what();
                EXPECT_EQ(e.Nummer(), 3000) << w;
                EXPECT_NE(w.find(datei), std::string::npos) << w;
                EXPECT_NE(w.find("Feld 'Tag'"), std::string::npos) << w;
                EXPECT_NE(w.find(f.system1904 ? "Datumssystem 1904" : "Datumssystem 1900"), std::string::npos) << w;
            }
            std::ifstream e(datei, std::ios::binary);
            EXPECT_TRUE(std::string(std::istreambuf_iterator<char>(e), {}) == vorher) << "the workbook changed";
        }
    }
}

// Headers a field name cannot hold are mapped to '#' alike; a sheet written back keeps its
// headers as they were, a new sheet gets the field names.
TEST(ExcelTreue, KöpfeBleibenWieSieGelesenWurden) {
    TempVerzeichnis t;
    const std::string datei = t / "m.xls";
    fs::copy_file(kFixtures + "/Test97.xls", datei);
    const std::vector<Text> köpfe = {u"Str. Nr.", u"Preis [EUR]", u"Achtung!", u"Name"};
    {
        auto d = excel::TreiberÖffnen(ausUtf8(datei), false);
        TabellenBeschreibung b;
        b.name = u"Liste";
        for (const auto& k : köpfe) b.felder.push_back(blattfeld(k, dao::dbText));
        Rückschrift r = unverändert(*d);
        r.tabellen.push_back(eintrag(b, Rückschrift::Zustand::neu, u"",
                                     {{Variante(u"1"), Variante(u"2"), Variante(u"3"), Variante(u"4")}}));
        d->Schreiben(r);
    }
    auto d = excel::TreiberÖffnen(ausUtf8(datei), false);
    const Struktur s = d->StrukturLesen();
    const auto* liste = tabelle(s, u"Liste");
    ASSERT_TRUE(liste);
    std::vector<Text> namen;
    for (const auto& f : liste->felder) namen.push_back(f.name);
    EXPECT_EQ(namen, (std::vector<Text>{u"Str# Nr#", u"Preis #EUR#", u"Achtung#", u"Name"}));

    // Changed: a row more; and a new sheet under the mapped names.
    Rückschrift r;
    for (const auto& b : s.tabellen)
        if (b.name != u"Liste") r.tabellen.push_back(eintrag(b, Rückschrift::Zustand::unverändert, b.name, {}));
    r.tabellen.push_back(eintrag(*liste, Rückschrift::Zustand::geändert, u"Liste",
                                 {{Variante(u"1"), Variante(u"2"), Variante(u"3"), Variante(u"4")},
                                  {Variante(u"5"), Variante(u"6"), Variante(u"7"), Variante(u"8")}}));
    TabellenBeschreibung neu = *liste;
    neu.name = u"Kopie";
    r.tabellen.push_back(eintrag(neu, Rückschrift::Zustand::neu, u"", {}));
    d->Schreiben(r);
    EXPECT_EQ(xlrd("import xlrd\nb = xlrd.open_workbook('" + datei +
                   "')\n"
                   "for n in ('Liste', 'Kopie'):\n    print(b.sheet_by_name(n).row_values(0))\n"),
              "['Str. Nr.', 'Preis [EUR]', 'Achtung!', 'Name']\n['Str# Nr#', 'Preis #EUR#', 'Achtung#', 'Name']\n");
}

// A character the workbook's code page cannot hold is refused as the dBase driver refuses
// it: engine error 3000 naming table, field and character.
TEST(ExcelTreue, ZeichenAusserhalbDerCodepageNenntTabelleUndFeld) {
    TempVerzeichnis t;
    const std::string datei = t / "Test95.xls";  // BIFF5, code page 932
    fs::copy_file(kFixtures + "/Test95.xls", datei);
    auto d = excel::TreiberÖffnen(ausUtf8(datei), false);
    TabellenBeschreibung b;
    b.name = u"Neu";
    b.felder = {blattfeld(u"Ort", dao::dbText)};
    Rückschrift r = unverändert(*d);
    r.tabellen.push_back(eintrag(b, Rückschrift::Zustand::neu, u"", {{Variante(u"abc")}, {Variante(u"5 €")}}));
    try {
        d->Schreiben(r);
        ADD_FAILURE() << "kein Fehler";
    } catch (const LaufzeitFehler& e) {
        const std::string w = e.what();
        EXPECT_EQ(e.Nummer(), 3000) << w;
        for (const char* teil : {"Tabelle 'Neu'", "Feld 'Ort'", "Das Zeichen '€'", "Codepage 932", "Test95.xls"})
            EXPECT_NE(w.find(teil), std::string::npos) << teil << ": " << w;
    }
}
