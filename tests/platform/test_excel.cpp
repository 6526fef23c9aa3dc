// The Excel storage driver, tested through its interface against real workbooks:
// the shared fixtures written by Excel, and workbooks made at run time with
// python3-xlwt and gnumeric's ssconvert, read back by python3-xlrd and ssconvert.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "common/TempVerzeichnis.h"
#include "platform/basic/Fehler.h"
#include "platform/dao/Dao.h"
#include "platform/dao/storage/excel/ExcelTreiber.h"
#include "platform/dao/storage/excel/Verbunddatei.h"

namespace {
namespace sp = dao::speicher;
namespace fs = std::filesystem;
using sp::Rückschrift;

const std::string kFixtures = std::string(PURIVO_FIXTURES) + "/excel";

std::string Ausführen(const std::string& befehl) {
    std::string aus;
    FILE* p = popen(befehl.c_str(), "r");
    if (!p) return aus;
    std::array<char, 4096> puffer;
    size_t n;
    while ((n = fread(puffer.data(), 1, puffer.size(), p)) > 0) aus.append(puffer.data(), n);
    pclose(p);
    return aus;
}

bool WerkzeugeDa() {
    static const bool da = std::system("/usr/bin/python3 -c 'import xlrd, xlwt' >/dev/null 2>&1") == 0 &&
                           std::system("ssconvert --version >/dev/null 2>&1") == 0;
    return da;
}
#define WERKZEUGE_NÖTIG() \
    if (!WerkzeugeDa()) GTEST_SKIP() << "python3-xlrd, python3-xlwt or ssconvert missing"

std::string Bytes(const std::string& datei) {
    std::ifstream ein(datei, std::ios::binary);
    std::ostringstream s;
    s << ein.rdbuf();
    return s.str();
}
void Speichern(const std::string& datei, const std::string& inhalt) {
    std::ofstream(datei, std::ios::binary | std::ios::trunc) << inhalt;
}

// Every sheet's cells and the MD5 of each other stream, as python3-xlrd sees them.
std::string Xlrd(const std::string& datei) {
    return Ausführen("/usr/bin/python3 '" + kFixtures + "/lesen_xlrd.py' '" + datei + "' 2>&1");
}
// Sheet number n (from 1) as CSV, as ssconvert sees it.
std::string Csv(const std::string& datei, int n) {
    const std::string ziel = datei + ".csv.d";
    fs::create_directories(ziel);
    Ausführen("ssconvert -S '" + datei + "' '" + ziel + "/%n.csv' >/dev/null 2>&1");
    const std::string csv = Bytes(ziel + "/" + std::to_string(n - 1) + ".csv");
    fs::remove_all(ziel);
    return csv;
}

// The workbook as gnumeric's own XML, where formulas stand as text.
std::string Formeln(const std::string& datei) {
    Ausführen("ssconvert '" + datei + "' '" + datei + ".gnumeric' >/dev/null 2>&1");
    const std::string xml = Ausführen("zcat '" + datei + ".gnumeric'");
    fs::remove(datei + ".gnumeric");
    return xml;
}

std::string Xlwt(const TempVerzeichnis& tmp, const std::string& name, bool geschützt = false) {
    const std::string datei = tmp / name;
    Ausführen("/usr/bin/python3 '" + kFixtures + "/mappe_xlwt.py' '" + datei + "'" + (geschützt ? " schutz" : ""));
    return datei;
}
// A two-sheet workbook from CSV through ssconvert ("excel_biff7" or "excel_biff8").
std::string Ssconvert(const TempVerzeichnis& tmp, const std::string& name, const std::string& format) {
    Speichern(tmp / "Kunden.csv", "Name,Ort,Betrag,Datum\nMüller,Köln,12.5,2020-05-17\nSchäfer,,7,\n");
    Speichern(tmp / "Notizen.csv", "Notiz\nGrüße\n");
    const std::string datei = tmp / name;
    Ausführen("cd '" + tmp.pfad() + "' && ssconvert --merge-to='" + datei + "' -T Gnumeric_Excel:" + format +
              " Kunden.csv Notizen.csv >/dev/null 2>&1");
    return datei;
}
std::string Kopie(const TempVerzeichnis& tmp, const std::string& fixture) {
    fs::copy_file(kFixtures + "/" + fixture, tmp / fixture);
    return tmp / fixture;
}

std::unique_ptr<sp::Speichertreiber> Öffnen(const std::string& datei, bool nurLesen = false) {
    return sp::excel::TreiberÖffnen(ausUtf8(datei), nurLesen);
}

std::vector<std::vector<Variante>> Zeilen(sp::Speichertreiber& t, const Text& tabelle) {
    const auto s = t.StrukturLesen();
    for (const auto& b : s.tabellen)
        if (b.name == tabelle) {
            std::vector<std::vector<Variante>> z;
            t.ZeilenLesen(b, [&](const std::vector<Variante>& zeile) { z.push_back(zeile); });
            return z;
        }
    ADD_FAILURE() << "no table " << nachUtf8(tabelle);
    return {};
}
const sp::TabellenBeschreibung* Tabelle(const sp::Struktur& s, const Text& name) {
    for (const auto& t : s.tabellen)
        if (t.name == name) return &t;
    return nullptr;
}

double Ole(int j, int m, int t) {
    // 1964-03-23 is 23459; the tests use dates after 1900-03-01.
    std::tm tm{};
    tm.tm_year = j - 1900;
    tm.tm_mon = m - 1;
    tm.tm_mday = t;
    tm.tm_hour = 12;
    return std::floor(static_cast<double>(timegm(&tm)) / 86400.0) + 25569;
}

// The rows the writing tests hand to the driver.
Rückschrift::Tabelle NeueTabelle(const Text& name, bool umlaute) {
    Rückschrift::Tabelle t;
    t.zustand = Rückschrift::Zustand::neu;
    t.beschreibung.name = name;
    auto feld = [&](Text n, int16_t typ) {
        sp::FeldBeschreibung f;
        f.name = std::move(n);
        f.typ = typ;
        t.beschreibung.felder.push_back(f);
    };
    feld(u"Name", dao::dbText);
    feld(u"Betrag", dao::dbDouble);
    feld(u"Datum", dao::dbDate);
    feld(u"Ja", dao::dbBoolean);
    feld(u"Anzahl", dao::dbLong);
    const Text name1 = umlaute ? u"Jürgen Größe" : u"Juergen";
    t.zeilen = [=](const sp::Zeilenziel& ziel) {
        ziel({Variante(name1), Variante(12.25), Variante::Datum(Ole(1999, 12, 31)), Variante(true),
              Variante(int32_t{42})});
        ziel({Variante::Null(), Variante(-0.5), Variante::Datum(Ole(2024, 2, 29) + 0.75), Variante(false),
              Variante::Null()});
        ziel({Variante(u"zwei"), Variante::Null(), Variante::Null(), Variante::Null(), Variante(int32_t{-7})});
    };
    return t;
}

// An unchanged entry for every table the driver listed.
Rückschrift Unverändert(sp::Speichertreiber& t) {
    Rückschrift r;
    const auto s = t.StrukturLesen();
    for (const auto& b : s.tabellen) {
        Rückschrift::Tabelle e;
        e.beschreibung = b;
        e.alterName = b.name;
        r.tabellen.push_back(e);
    }
    return r;
}

std::string OhneZeilenVon(const std::string& xlrd, const std::string& blatt) {
    // The xlrd listing without the section of one sheet.
    std::istringstream ein(xlrd);
    std::string z, aus;
    bool weg = false;
    while (std::getline(ein, z)) {
        if (!z.empty() && (z[0] == '#' || z[0] == '@')) weg = z == "#" + blatt;
        if (!weg) aus += z + "\n";
    }
    return aus;
}

void ErwarteFehler(const std::function<void()>& f, int32_t nummer, const std::string& datei, const char* teil = "") {
    try {
        f();
        ADD_FAILURE() << "no engine error";
    } catch (const LaufzeitFehler& e) {
        EXPECT_EQ(e.Nummer(), nummer) << e.what();
        EXPECT_NE(std::string(e.what()).find(datei), std::string::npos) << e.what();
        EXPECT_NE(std::string(e.what()).find(teil), std::string::npos) << e.what();
    }
}

}  // namespace

TEST(ExcelLesen, EchteMappenVonExcel) {
    struct Fall {
        const char* datei;
        std::vector<Text> blätter;
    };
    for (const Fall& f : {Fall{"Test95.xls", {u"Sheet1-ASC", u"Sheet1-ASC (2)"}},
                          Fall{"Test97.xls", {u"Sheet1-ASC", u"Sheet2"}}, Fall{"Test1904.xls", {u"Sheet1-ASC"}},
                          Fall{"namesdemo.xls", {u"Sheet1", u"Sheet2", u"Sheet3", u"Seamus O'Reilly"}}}) {
        SCOPED_TRACE(f.datei);
        auto t = Öffnen(kFixtures + "/" + f.datei, true);
        const auto s = t->StrukturLesen();
        std::vector<Text> namen;
        for (const auto& b : s.tabellen) namen.push_back(b.name);
        EXPECT_EQ(namen, f.blätter);
        EXPECT_FALSE(t->Schreibbar());
    }
    // A column of text, a date, numbers and a formula's cached result is Text; the 1904
    // date system gives the same date.
    for (const char* datei : {"Test95.xls", "Test97.xls", "Test1904.xls"}) {
        SCOPED_TRACE(datei);
        auto t = Öffnen(kFixtures + "/" + datei, true);
        const auto s = t->StrukturLesen();
        const auto* b = Tabelle(s, u"Sheet1-ASC");
        ASSERT_TRUE(b);
        ASSERT_EQ(b->felder.size(), 2u);
        EXPECT_EQ(b->felder[0].name, u"ASC");
        EXPECT_EQ(b->felder[1].name, u"This Data is 'ASC Only'");
        EXPECT_EQ(b->felder[1].typ, dao::dbText);
        const auto z = Zeilen(*t, u"Sheet1-ASC");
        ASSERT_GE(z.size(), 5u);
        EXPECT_TRUE(z[0][1].identisch(Variante(u"23.03.1964")));
        EXPECT_TRUE(z[1][1].identisch(Variante(u"12345")));
        EXPECT_TRUE(z[2][1].identisch(Variante(u"1,29")));
        EXPECT_TRUE(z[4][0].identisch(Variante(u"Formula")));
        if (std::string(datei) != "Test1904.xls") {
            EXPECT_TRUE(z[4][1].identisch(Variante(u"1246912,89012345"))) << z[4][1];
        }
    }
}

TEST(ExcelLesen, SpaltentypenWieJet) {
    WERKZEUGE_NÖTIG();
    TempVerzeichnis tmp;
    auto t = Öffnen(Xlwt(tmp, "m.xls"));
    const auto s = t->StrukturLesen();
    const auto* k = Tabelle(s, u"Kunden");
    ASSERT_TRUE(k);
    const std::vector<std::pair<Text, int16_t>> erwartet = {
        {u"Name", dao::dbText},    {u"Ort", dao::dbText},      {u"Betrag", dao::dbDouble},
        {u"Geboren", dao::dbDate}, {u"Aktiv", dao::dbBoolean}, {u"Gemischt", dao::dbText},
        {u"F7", dao::dbText},      {u"Notiz", dao::dbMemo},    {u"Summe", dao::dbText}};
    ASSERT_EQ(k->felder.size(), erwartet.size());
    for (size_t i = 0; i < erwartet.size(); ++i) {
        EXPECT_EQ(k->felder[i].name, erwartet[i].first);
        EXPECT_EQ(k->felder[i].typ, erwartet[i].second) << nachUtf8(erwartet[i].first);
    }
    const auto z = Zeilen(*t, u"Kunden");
    ASSERT_EQ(z.size(), 3u);
    EXPECT_TRUE(z[0][0].identisch(Variante(u"Müller")));
    EXPECT_TRUE(z[0][2].identisch(Variante(12.5)));
    EXPECT_TRUE(z[0][3].identisch(Variante::Datum(23459)));
    EXPECT_TRUE(z[0][4].identisch(Variante(true)));
    EXPECT_TRUE(z[0][6].istNull());
    EXPECT_TRUE(z[1][1].istNull());
    EXPECT_NEAR(z[1][3].zahl(), 43968.57303240741, 1e-6);
    EXPECT_TRUE(z[1][4].identisch(Variante(false)));
    EXPECT_TRUE(z[1][5].identisch(Variante(u"3,25")));
    EXPECT_EQ(z[1][7].text(), Text(300, u'ß'));
    EXPECT_TRUE(z[2][0].istNull());
    EXPECT_TRUE(z[2][2].identisch(Variante(-0.001)));
    EXPECT_TRUE(z[2][5].identisch(Variante(u"03.02.2001")));
    // An empty sheet is a table with one column and no rows; a header alone gives no rows.
    const auto* leer = Tabelle(s, u"Leer");
    ASSERT_TRUE(leer);
    ASSERT_EQ(leer->felder.size(), 1u);
    EXPECT_EQ(leer->felder[0].name, u"F1");
    EXPECT_TRUE(Zeilen(*t, u"Leer").empty());
    EXPECT_TRUE(Zeilen(*t, u"Frei").empty());
}

namespace {

// One case per workbook, so that ctest runs them side by side.
struct Mappenfall {
    const char* name;
    std::string (*machen)(const TempVerzeichnis&);
    int blätter;
    bool umlaute;
};
const Mappenfall kMappen[] = {
    {"xlwt8", [](const TempVerzeichnis& t) { return Xlwt(t, "xlwt8.xls"); }, 4, true},
    {"ss8", [](const TempVerzeichnis& t) { return Ssconvert(t, "ss8.xls", "excel_biff8"); }, 2, true},
    {"ss5", [](const TempVerzeichnis& t) { return Ssconvert(t, "ss5.xls", "excel_biff7"); }, 2, true},
    {"Test95", [](const TempVerzeichnis& t) { return Kopie(t, "Test95.xls"); }, 2, false},  // code page 932
    {"Test97", [](const TempVerzeichnis& t) { return Kopie(t, "Test97.xls"); }, 2, true},
    {"Test1904", [](const TempVerzeichnis& t) { return Kopie(t, "Test1904.xls"); }, 1, true},
    {"namesdemo", [](const TempVerzeichnis& t) { return Kopie(t, "namesdemo.xls"); }, 4, true},
};
void PrintTo(const Mappenfall& f, std::ostream* aus) { *aus << f.name; }
class NeuesBlatt : public ::testing::TestWithParam<Mappenfall> {};

}  // namespace

// A new sheet goes into the workbook in its own BIFF version; every other sheet
// reads as before and every other stream keeps its bytes.
TEST_P(NeuesBlatt, InJedeMappe) {
    WERKZEUGE_NÖTIG();
    TempVerzeichnis tmp;
    const Mappenfall& fall = GetParam();
    struct Fall {
        std::string datei;
        int blätter;
        bool umlaute;
    };
    {
        const Fall f{fall.machen(tmp), fall.blätter, fall.umlaute};
        SCOPED_TRACE(f.datei);
        const std::string vorher = Xlrd(f.datei);
        ASSERT_EQ(vorher.find("Traceback"), std::string::npos) << vorher;
        std::vector<std::string> csvVorher;
        for (int n = 1; n <= f.blätter; ++n) csvVorher.push_back(Csv(f.datei, n));
        {
            auto t = Öffnen(f.datei);
            ASSERT_TRUE(t->Schreibbar());
            Rückschrift r = Unverändert(*t);
            r.tabellen.push_back(NeueTabelle(u"Neu Blatt", f.umlaute));
            t->Schreiben(r);
            // The driver reads what it wrote.
            const auto s = t->StrukturLesen();
            const auto* neu = Tabelle(s, u"Neu Blatt");
            ASSERT_TRUE(neu);
            std::vector<int16_t> typen;
            for (const auto& fd : neu->felder) typen.push_back(fd.typ);
            EXPECT_EQ(typen,
                      (std::vector<int16_t>{dao::dbText, dao::dbDouble, dao::dbDate, dao::dbBoolean, dao::dbDouble}));
            const auto z = Zeilen(*t, u"Neu Blatt");
            ASSERT_EQ(z.size(), 3u);
            EXPECT_TRUE(z[0][2].identisch(Variante::Datum(Ole(1999, 12, 31))));
            EXPECT_NEAR(z[1][2].zahl(), Ole(2024, 2, 29) + 0.75, 1e-5);
            EXPECT_TRUE(z[1][3].identisch(Variante(false)));
            EXPECT_TRUE(z[2][1].istNull());
        }
        const std::string nachher = Xlrd(f.datei);
        const std::string name1 = f.umlaute ? "Jürgen Größe" : "Juergen";
        const double d1 = Ole(1999, 12, 31), d2 = Ole(2024, 2, 29) + 0.75;
        const double versatz = f.datei.find("1904") != std::string::npos ? 1462 : 0;
        auto zahl = [](double d) {  // as Python's repr writes it
            std::string s = Ausführen("/usr/bin/python3 -c 'print(repr(" + std::to_string(d) + "))'");
            return s.substr(0, s.size() - 1);
        };
        std::ostringstream neu;
        neu << "#Neu Blatt\ns:Name|s:Betrag|s:Datum|s:Ja|s:Anzahl\n"
            << "s:" << name1 << "|n:12.25|d:" << zahl(d1 - versatz) << "|b:1|n:42.0\n"
            << "e:|n:-0.5|d:" << zahl(d2 - versatz) << "|b:0|e:\n"
            << "s:zwei|e:|e:|e:|n:-7.0\n";
        // The listing: the old sheets unchanged, then the new one, then the same streams.
        const size_t streams = vorher.find("\n@");
        const std::string erwartet = streams == std::string::npos
                                         ? vorher + neu.str()
                                         : vorher.substr(0, streams + 1) + neu.str() + vorher.substr(streams + 1);
        EXPECT_EQ(nachher, erwartet);
        for (int n = 1; n <= f.blätter; ++n) EXPECT_EQ(Csv(f.datei, n), csvVorher[n - 1]) << "sheet " << n;
        EXPECT_NE(Csv(f.datei, f.blätter + 1).find("zwei"), std::string::npos);
    }
}
INSTANTIATE_TEST_SUITE_P(ExcelSchreiben, NeuesBlatt, ::testing::ValuesIn(kMappen),
                         [](const ::testing::TestParamInfo<Mappenfall>& i) { return std::string(i.param.name); });

TEST(ExcelSchreiben, LöschenUmbenennenÄndern) {
    WERKZEUGE_NÖTIG();
    TempVerzeichnis tmp;
    const std::string datei = Xlwt(tmp, "m.xls");
    const std::string vorher = Xlrd(datei);
    ASSERT_NE(Formeln(datei).find("=Kunden!C2+1"), std::string::npos);
    {
        auto t = Öffnen(datei);
        Rückschrift r = Unverändert(*t);
        // Kunden renamed, Leer dropped, Frei with new rows.
        r.tabellen[0].beschreibung.name = u"Kundschaft";
        r.gelöscht.push_back(u"Leer");
        r.tabellen.erase(r.tabellen.begin() + 2);
        Rückschrift::Tabelle& frei = r.tabellen[2];
        frei.zustand = Rückschrift::Zustand::geändert;
        frei.zeilen = [](const sp::Zeilenziel& ziel) {
            ziel({Variante(u"eins")});
            ziel({Variante(2.5)});
            ziel({Variante(Text(300, u'ü'))});  // a Memo value
        };
        t->Schreiben(r);
        std::vector<Text> namen;
        const auto s = t->StrukturLesen();
        for (const auto& b : s.tabellen) namen.push_back(b.name);
        EXPECT_EQ(namen, (std::vector<Text>{u"Kundschaft", u"Notizen", u"Frei"}));
        EXPECT_EQ(s.tabellen[2].felder[0].typ, dao::dbMemo);
        EXPECT_EQ(Zeilen(*t, u"Frei")[2][0].text(), Text(300, u'ü'));
    }
    std::string erwartet = OhneZeilenVon(vorher, "Leer");
    erwartet.replace(erwartet.find("#Kunden"), 7, "#Kundschaft");
    std::string lang;
    for (int i = 0; i < 300; ++i) lang += "ü";
    erwartet.replace(erwartet.find("#Frei\ns:Wert\n"), 13, "#Frei\ns:Wert\ns:eins\nn:2.5\ns:" + lang + "\n");
    EXPECT_EQ(Xlrd(datei), erwartet);
    // The formula on Notizen still finds its sheet, under the new name.
    EXPECT_NE(Formeln(datei).find("=Kundschaft!C2+1"), std::string::npos);
}

// A sheet that formulas or defined names refer to stays; the file is untouched.
TEST(ExcelSchreiben, LöschenVerweigertBeiVerweisen) {
    WERKZEUGE_NÖTIG();
    TempVerzeichnis tmp;
    for (const std::string& datei :
         {Xlwt(tmp, "m.xls"), Ssconvert(tmp, "s5.xls", "excel_biff7"), Ssconvert(tmp, "s8.xls", "excel_biff8")}) {
        SCOPED_TRACE(datei);
        const std::string bytes = Bytes(datei);
        auto t = Öffnen(datei);
        Rückschrift r = Unverändert(*t);
        const Text opfer = r.tabellen[0].beschreibung.name;
        r.gelöscht.push_back(opfer);
        r.tabellen.erase(r.tabellen.begin());
        ErwarteFehler([&] { t->Schreiben(r); }, 3000, datei,
                      nachUtf8(u"'" + opfer + u"' kann nicht gelöscht werden").c_str());
        EXPECT_EQ(Bytes(datei), bytes);
        // Dropped and created again under the same name, it is replaced in its place.
        r.tabellen.push_back(NeueTabelle(opfer, true));
        t->Schreiben(r);
        std::vector<Text> namen;
        const auto s = t->StrukturLesen();
        for (const auto& b : s.tabellen) namen.push_back(b.name);
        EXPECT_EQ(namen.front(), opfer);
        EXPECT_TRUE(Zeilen(*t, opfer)[0][0].identisch(Variante(u"Jürgen Größe")));
        EXPECT_EQ(Xlrd(datei).find("Traceback"), std::string::npos);
    }
}

TEST(ExcelSchreiben, UmbenennenInBiff5ÄndertDieVerweise) {
    WERKZEUGE_NÖTIG();
    TempVerzeichnis tmp;
    const std::string datei = Ssconvert(tmp, "s5.xls", "excel_biff7");
    const std::string vorher = Xlrd(datei);
    auto t = Öffnen(datei);
    Rückschrift r = Unverändert(*t);
    r.tabellen[0].beschreibung.name = u"Kundschaft";
    t->Schreiben(r);
    std::string erwartet = vorher;
    erwartet.replace(erwartet.find("#Kunden.csv"), 11, "#Kundschaft");
    EXPECT_EQ(Xlrd(datei), erwartet);
    // The references in the globals and in each sheet name the sheet anew.
    const std::string bytes = Bytes(datei);
    EXPECT_EQ(bytes.find("\x03Kunden.csv"), std::string::npos);
    EXPECT_NE(bytes.find("\x03Kundschaft"), std::string::npos);
}

TEST(ExcelSchreiben, SchreibschutzUndUngültigeNamen) {
    WERKZEUGE_NÖTIG();
    TempVerzeichnis tmp;
    const std::string geschützt = Xlwt(tmp, "g.xls", true), offen = Xlwt(tmp, "o.xls");
    const std::string bytes = Bytes(geschützt);
    auto g = Öffnen(geschützt);
    EXPECT_FALSE(g->Schreibbar());
    EXPECT_NE(nachUtf8(g->SchreibschutzGrund()).find("Kennwort"), std::string::npos);
    EXPECT_EQ(Zeilen(*g, u"Kunden").size(), 3u);  // reading works
    Rückschrift r = Unverändert(*g);
    r.tabellen.push_back(NeueTabelle(u"Neu", true));
    ErwarteFehler([&] { g->Schreiben(r); }, 3027, geschützt, "Kennwort");
    EXPECT_EQ(Bytes(geschützt), bytes);

    auto nurLesen = Öffnen(offen, true);
    EXPECT_FALSE(nurLesen->Schreibbar());
    EXPECT_TRUE(nurLesen->SchreibschutzGrund().empty());
    ErwarteFehler([&] { nurLesen->Schreiben(r); }, 3027, offen);

    auto t = Öffnen(offen);
    EXPECT_TRUE(t->Schreibbar());
    const auto zeit = fs::last_write_time(offen);
    t->Schreiben(Unverändert(*t));  // nothing changed: the file stays as it is
    EXPECT_EQ(fs::last_write_time(offen), zeit);
    for (const Text& name : {Text(u""), Text(32, u'a'), Text(u"a:b"), Text(u"a/b"), Text(u"a\\b"), Text(u"a*b"),
                             Text(u"a?b"), Text(u"[a]"), Text(u"a$b")})
        ErwarteFehler([&] { t->TabellennamePrüfen(name); }, 3125, offen);
    EXPECT_NO_THROW(t->TabellennamePrüfen(Text(31, u'ä')));
    // A new sheet under a name the workbook already has is refused, the file kept.
    Rückschrift doppelt = Unverändert(*t);
    doppelt.tabellen.push_back(NeueTabelle(u"KUNDEN", true));
    const std::string vorher = Bytes(offen);
    ErwarteFehler([&] { t->Schreiben(doppelt); }, 3000, offen, "KUNDEN");
    EXPECT_EQ(Bytes(offen), vorher);
}

// Text the BIFF5 code page cannot hold is refused instead of being replaced.
TEST(ExcelSchreiben, ZeichenAusserhalbDerCodepage) {
    TempVerzeichnis tmp;
    const std::string datei = Kopie(tmp, "Test95.xls");  // code page 932
    const std::string bytes = Bytes(datei);
    auto t = Öffnen(datei);
    Rückschrift r = Unverändert(*t);
    r.tabellen.push_back(NeueTabelle(u"Neu", true));
    ErwarteFehler([&] { t->Schreiben(r); }, 3000, datei, "Codepage 932");
    EXPECT_EQ(Bytes(datei), bytes);
}

namespace {
uint32_t Le32(const std::string& d, size_t p) {
    return static_cast<uint8_t>(d[p]) | static_cast<uint8_t>(d[p + 1]) << 8 | static_cast<uint8_t>(d[p + 2]) << 16 |
           static_cast<uint32_t>(static_cast<uint8_t>(d[p + 3])) << 24;
}
void Setze32(std::string& d, size_t p, uint32_t w) {
    for (int i = 0; i < 4; ++i) d[p + i] = static_cast<char>(w >> (8 * i));
}
// Position in the file of the first record of a type in xlwt's workbook stream,
// which starts at sector 0 and lies in one piece.
size_t SatzImStrom(const std::string& d, uint16_t typ) {
    for (size_t p = 512; p + 4 <= d.size();) {
        const uint16_t t = static_cast<uint8_t>(d[p]) | static_cast<uint8_t>(d[p + 1]) << 8;
        if (t == typ) return p;
        p += 4 + (static_cast<uint8_t>(d[p + 2]) | static_cast<uint8_t>(d[p + 3]) << 8);
    }
    return std::string::npos;
}
}  // namespace

// A broken file gives the engine's error naming it; never a crash, a hang or a write.
TEST(ExcelLesen, KaputteDateien) {
    WERKZEUGE_NÖTIG();
    TempVerzeichnis tmp;
    const std::string gut = Bytes(Xlwt(tmp, "gut.xls"));
    ASSERT_EQ(Le32(gut, 0x4C), 8u);  // the FAT sector, after the workbook stream
    const size_t fat = 9 * 512, blatt = SatzImStrom(gut, 0x0085);
    ASSERT_NE(blatt, std::string::npos);
    struct Fall {
        const char* was;
        std::function<void(std::string&)> verderben;
    };
    const std::vector<Fall> fälle = {
        {"leer", [](std::string& d) { d.clear(); }},
        {"nur ein Teil des Kopfes", [](std::string& d) { d.resize(100); }},
        {"nur der Kopf", [](std::string& d) { d.resize(512); }},
        {"abgeschnitten", [](std::string& d) { d.resize(1500); }},
        {"halbiert", [](std::string& d) { d.resize(d.size() / 2); }},
        {"kein Verbunddokument", [](std::string& d) { d = std::string(4096, 'x'); }},
        {"Sektorkette im Kreis", [&](std::string& d) { Setze32(d, fat, 0); }},
        {"Sektor hinter dem Ende", [&](std::string& d) { Setze32(d, fat, 0x7FFFFF00); }},
        {"Verzeichnis hinter dem Ende", [](std::string& d) { Setze32(d, 0x30, 0x00FFFFFF); }},
        {"zu viele FAT-Sektoren", [](std::string& d) { Setze32(d, 0x2C, 0x10000000); }},
        {"BOF zu lang", [](std::string& d) { d[514] = '\xFF', d[515] = '\xFF'; }},
        {"kein BOF", [](std::string& d) { d[512] = 0x10; }},
        {"Blatt hinter dem Strom", [&](std::string& d) { Setze32(d, blatt + 4, 0x7FFFFFF0); }},
        {"Blatt in den globalen Daten", [&](std::string& d) { Setze32(d, blatt + 4, 0); }},
        {"Blatt ohne BOF", [&](std::string& d) { Setze32(d, blatt + 4, Le32(d, blatt + 4) + 4); }},
        {"Satz im Blatt zu lang",
         [&](std::string& d) {
             const size_t p = 512 + Le32(d, blatt + 4);
             d[p + 2] = '\xF0', d[p + 3] = '\x7F';
         }},
    };
    for (const Fall& f : fälle) {
        SCOPED_TRACE(f.was);
        std::string d = gut;
        f.verderben(d);
        const std::string datei = tmp / "kaputt.xls";
        Speichern(datei, d);
        ErwarteFehler([&] { Öffnen(datei)->StrukturLesen(); }, 3274, datei);
        EXPECT_EQ(Bytes(datei), d);
    }
    ErwarteFehler([&] { Öffnen(tmp / "fehlt.xls"); }, 3044, tmp / "fehlt.xls");
}

// Past 109 FAT sectors (some 7 MB) the FAT's own sectors are found through the DIFAT chain;
// the small streams stay in the mini stream.
TEST(ExcelLesen, EinGroßerStromKommtÜberDieDifatKetteZurück) {
    const sp::excel::Verbunddatei alt(Bytes(kFixtures + "/Test97.xls"));
    sp::excel::Verbunddatei v = alt;
    const int mappe = v.StromSuchen(u"Workbook");
    ASSERT_GE(mappe, 0);
    std::string groß(8 << 20, '\0');
    for (size_t i = 0; i < groß.size(); ++i) groß[i] = static_cast<char>(i / 4 + i / 512);
    v.StromErsetzen(mappe, groß);
    const std::string datei = v.Schreiben();
    ASSERT_NE(datei[0x48], 0);  // DIFAT sectors
    const sp::excel::Verbunddatei neu(datei);
    ASSERT_EQ(neu.Einträge().size(), alt.Einträge().size());
    for (size_t i = 0; i < alt.Einträge().size(); ++i)
        EXPECT_TRUE(neu.Einträge()[i].inhalt == (static_cast<int>(i) == mappe ? groß : alt.Einträge()[i].inhalt)) << i;
    size_t klein = 0;
    for (const auto& e : alt.Einträge()) klein += e.art == 2 && !e.inhalt.empty() && e.inhalt.size() < 4096;
    EXPECT_GT(klein, 0u);
}
