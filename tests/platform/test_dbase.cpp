// The dBase driver through its interface, against real files and python3-dbf /
// python3-dbfread as an independent writer and reader.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>

#include <charconv>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "common/Dateiinhalt.h"
#include "common/DbfBau.h"
#include "common/Rueckschrift.h"
#include "common/TempVerzeichnis.h"
#include "platform/basic/Fehler.h"
#include "platform/dao/Dao.h"
#include "platform/dao/storage/dbase/DbaseTreiber.h"

namespace fs = std::filesystem;
using namespace dao::speicher;
using Zeilen = std::vector<std::vector<Variante>>;

namespace {

// Runs a python3 script with the Debian interpreter (where python3-dbf lives); its stdout.
std::string python(const std::string& skript, int* rc = nullptr) {
    TempVerzeichnis t;
    schreiben(t / "s.py", skript);
    FILE* p = ::popen(("/usr/bin/python3 " + (t / "s.py") + " 2>&1").c_str(), "r");
    std::string out;
    char buf[4096];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
    const int status = ::pclose(p);
    if (rc) *rc = status;
    else EXPECT_EQ(status, 0) << out;
    return out;
}
bool pythonDa() {
    int rc = 0;
    python("import dbf, dbfread\n", &rc);
    return rc == 0;
}
#define PYTHON_NOETIG() \
    if (!pythonDa()) GTEST_SKIP() << "python3-dbf/python3-dbfread fehlen (scripts/einrichten.sh --tests)"

// One text per value, the same on both sides: Null and "" as <Null>, numbers as Python's repr of a float.
std::string wertText(const Variante& v) {
    if (v.istNull() || v.istEmpty() || (v.istText() && v.text().empty())) return "<Null>";
    switch (v.typ()) {
        case VTyp::Boolean: return v.alsBool() ? "True" : "False";
        case VTyp::Text: return nachUtf8(v.text());
        case VTyp::Date: {
            using namespace std::chrono;
            const year_month_day t{sys_days{year{1899} / 12 / 30} + days{static_cast<int64_t>(std::floor(v.zahl()))}};
            char b[16];
            std::snprintf(b, sizeof b, "%04d-%02u-%02u", static_cast<int>(t.year()), static_cast<unsigned>(t.month()),
                          static_cast<unsigned>(t.day()));
            return b;
        }
        default: {
            const double d = v.typ() == VTyp::Currency ? static_cast<double>(v.währungRoh()) / 10000 : v.alsDouble();
            char b[64];
            const bool sci = d != 0 && (std::fabs(d) >= 1e16 || std::fabs(d) < 1e-4);
            const auto r =
                std::to_chars(b, b + sizeof b, d, sci ? std::chars_format::scientific : std::chars_format::fixed);
            std::string s(b, r.ptr);
            if (!sci && s.find('.') == std::string::npos) s += ".0";
            return s;
        }
    }
}
std::string zeilenText(const Zeilen& z) {
    std::string s;
    for (size_t i = 0; i < z.size(); ++i) {
        if (i) s += '\x1e';
        for (size_t j = 0; j < z[i].size(); ++j) s += (j ? "\x1f" : "") + wertText(z[i][j]);
    }
    return s;
}

// What dbfread reads from a .dbf, in the form of zeilenText.
std::string dbfread(const std::string& pfad, const std::string& encoding = "None") {
    return python(R"(
import dbfread, datetime, sys
enc = )" + encoding +
                  R"(
d = dbfread.DBF(')" +
                  pfad + R"(', encoding=enc, char_decode_errors='strict')
out = []
for r in d:
    vals = []
    for v in r.values():
        if v is None or v == '': vals.append('<Null>')
        elif isinstance(v, bool): vals.append('True' if v else 'False')
        elif isinstance(v, (int, float)): vals.append(repr(float(v)))
        elif isinstance(v, datetime.date): vals.append(v.isoformat())
        else: vals.append(str(v))
    out.append('\x1f'.join(vals))
sys.stdout.buffer.write('\x1e'.join(out).encode('utf-8'))
)");
}

const TabellenBeschreibung& tabelle(const Struktur& s, TextSicht name) {
    for (const auto& t : s.tabellen)
        if (dao::NamenSchlüssel(t.name) == dao::NamenSchlüssel(name)) return t;
    throw std::runtime_error("Tabelle fehlt: " + nachUtf8(name));
}
Zeilen alle(Speichertreiber& t, TextSicht name) {
    const Struktur s = t.StrukturLesen();
    Zeilen z;
    t.ZeilenLesen(tabelle(s, name), [&](const std::vector<Variante>& zeile) { z.push_back(zeile); });
    return z;
}


// The engine's error: number and a description that names the file and says what is wrong.
template <class F>
void erwarteFehler(F&& f, int32_t nummer, const std::string& datei, const std::string& was) {
    try {
        f();
        ADD_FAILURE() << "kein Fehler, erwartet: " << was;
    } catch (const LaufzeitFehler& e) {
        EXPECT_EQ(e.Nummer(), nummer) << e.what();
        EXPECT_NE(std::string(e.what()).find(datei), std::string::npos) << e.what();
        EXPECT_NE(std::string(e.what()).find(was), std::string::npos) << e.what();
    }
}

std::vector<std::string> dateien(const std::string& ordner) {
    std::vector<std::string> n;
    for (const auto& e : fs::directory_iterator(ordner)) n.push_back(e.path().filename().string());
    std::sort(n.begin(), n.end());
    return n;
}

// A small dBase III file built byte by byte, for the faults a writer would never make.
struct Roh {
    using F = DbfFeld;
    std::vector<F> felder;
    std::vector<std::string> sätze;  // without the deletion flag
    uint8_t version = 0x03, treiber = 0x57;
    std::string bauen() const { return DbfBauen(version, treiber, felder, sätze); }
};

}  // namespace

TEST(Dbase, ReadsTheRealFixturesAsDbfreadDoes) {
    PYTHON_NOETIG();
    TempVerzeichnis t;
    for (const char* n : {"sids.dbf", "naturalearth_lowres.dbf", "naturalearth_lowres.cpg"})
        fs::copy_file(std::string(PURIVO_FIXTURES) + "/dbase/" + n, t / n);
    const timespec mittag[2] = {{1580472000, 0}, {1580472000, 0}};  // 31.01.2020 12:00 UTC
    ::utimensat(AT_FDCWD, (t / "sids.dbf").c_str(), mittag, 0);
    auto treiber = dbase::TreiberÖffnen(ausUtf8(t.pfad()), true);
    const Struktur s = treiber->StrukturLesen();
    ASSERT_EQ(s.tabellen.size(), 2u);
    EXPECT_NEAR(s.tabellen[1].geändert, 43861.5, 0.5);      // the file's time, in whatever zone
    EXPECT_EQ(s.tabellen[0].name, u"naturalearth_lowres");  // the file's name, case kept
    EXPECT_EQ(s.tabellen[1].name, u"sids");

    const auto& sids = tabelle(s, u"SIDS");  // found case-blind
    ASSERT_EQ(sids.felder.size(), 14u);
    EXPECT_EQ(sids.felder[0].name, u"AREA");
    EXPECT_EQ(sids.felder[0].typ, dao::dbDouble);  // N(12,3)
    EXPECT_EQ(sids.felder[3].typ, dao::dbDouble);  // N(11,0): wider than a Long holds
    EXPECT_EQ(sids.felder[4].typ, dao::dbText);    // C(32)
    EXPECT_EQ(sids.felder[4].größe, 32);
    EXPECT_EQ(sids.felder[7].typ, dao::dbLong);  // N(3,0)

    const Zeilen z = alle(*treiber, u"sids");
    ASSERT_EQ(z.size(), 100u);
    EXPECT_TRUE(z[0][4].identisch(Variante(u"Ashe")));
    EXPECT_EQ(zeilenText(z), dbfread(t / "sids.dbf"));

    // The .cpg names ISO-8859-1; dbfread does not read .cpg files, so it is told.
    const Zeilen n = alle(*treiber, u"naturalearth_lowres");
    ASSERT_EQ(n.size(), 177u);
    EXPECT_EQ(zeilenText(n), dbfread(t / "naturalearth_lowres.dbf", "'iso-8859-1'"));
    EXPECT_NE(zeilenText(n).find("Côte d'Ivoire"), std::string::npos);
}

TEST(Dbase, ReadsPythonDbfFilesOfEveryLayoutAndCodePage) {
    PYTHON_NOETIG();
    TempVerzeichnis t;
    // dBase III with .dbt (cp850 and cp437), FoxPro with .fpt (cp1252), Visual FoxPro (binary memo numbers).
    python(
        R"(
import dbf
for name, typ, cp in [('d3_850', 'db3', 'cp850'), ('d3_437', 'db3', 'cp437'), ('fox', 'fp', 'cp1252'), ('vfp', 'vfp', 'cp1252')]:
    t = dbf.Table(')" +
        t.pfad() +
        R"(/' + name + '.dbf', 'name C(20); plz N(5,0); geb D; aktiv L; notiz M; betrag N(10,2)', dbf_type=typ, codepage=cp)
    t.open(mode=dbf.READ_WRITE)
    t.append(('Müller Straße', 12345, dbf.Date(2020, 1, 31), True, 'Memo ÄÖÜ äöü ß\r\nzweite Zeile', 12.5))
    t.append(('gelöscht', 1, None, None, 'weg', None))
    t.append(('x' * 20, -9999, dbf.Date(1899, 12, 30), False, 'y' * 1500, -0.25))
    t.append(('', None, None, None, '', None))
    dbf.delete(t[1])
    t.close()
)");
    auto treiber = dbase::TreiberÖffnen(ausUtf8(t.pfad()), true);
    const Struktur s = treiber->StrukturLesen();
    ASSERT_EQ(s.tabellen.size(), 4u);
    for (const auto& tab : s.tabellen) {
        SCOPED_TRACE(nachUtf8(tab.name));
        ASSERT_EQ(tab.felder.size(), 6u);
        const int16_t typen[] = {dao::dbText, dao::dbLong, dao::dbDate, dao::dbBoolean, dao::dbMemo, dao::dbDouble};
        for (size_t i = 0; i < 6; ++i) EXPECT_EQ(tab.felder[i].typ, typen[i]);
        const Zeilen z = alle(*treiber, tab.name);
        ASSERT_EQ(z.size(), 3u);  // the deleted record is skipped
        EXPECT_TRUE(z[0][0].identisch(Variante(u"Müller Straße")));
        EXPECT_TRUE(z[0][1].identisch(Variante(int32_t{12345})));
        EXPECT_TRUE(z[0][2].identisch(Variante::Datum(43861)));  // 31.01.2020
        EXPECT_TRUE(z[0][4].identisch(Variante(u"Memo ÄÖÜ äöü ß\r\nzweite Zeile")));
        EXPECT_TRUE(z[1][2].identisch(Variante::Datum(0)));
        EXPECT_EQ(z[1][4].text().size(), 1500u);                               // over three memo blocks
        for (size_t i : {0, 1, 2, 3, 5}) EXPECT_TRUE(z[2][i].istNull()) << i;  // blank C field: Null
        EXPECT_EQ(zeilenText(z), dbfread(t / (nachUtf8(tab.name) + ".dbf")));
    }
}

TEST(Dbase, LanguageDriverAndCpgChooseTheCodePage) {
    TempVerzeichnis t;
    // 0x84 is "ä" in 437 and 850, 0xE4 in 1252; an unknown or empty byte means 1252.
    struct Fall {
        const char* datei;
        uint8_t treiber;
        const char* cpg;
        std::string bytes;
        Text erwartet;
    };
    const Fall fälle[] = {
        {"dos437", 0x01, nullptr, "M\x84ller \x9A\xE1", u"Mäller Üß"},
        {"dos850", 0x02, nullptr, "M\x84ller \x9A\xE1", u"Mäller Üß"},
        {"ansi", 0x57, nullptr, "M\xE4ller \xDC\xDF", u"Mäller Üß"},
        {"leer", 0x00, nullptr, "M\xE4ller \xDC\xDF", u"Mäller Üß"},
        {"unbek", 0xEE, nullptr, "M\xE4ller \xDC\xDF", u"Mäller Üß"},
        {"utf8", 0x57, "UTF-8", "M\xC3\xA4ller \xC3\x9C\xC3\x9F", u"Mäller Üß"},
        {"ansicpg", 0x01, "ANSI 1252", "M\xE4ller \xDC\xDF", u"Mäller Üß"},
    };
    for (const auto& f : fälle) {
        Roh r;
        r.treiber = f.treiber;
        r.felder = {{"NAME", 'C', 20, 0}};
        r.sätze = {f.bytes + std::string(20 - f.bytes.size(), ' ')};
        schreiben(t / (std::string(f.datei) + ".dbf"), r.bauen());
        if (f.cpg) schreiben(t / (std::string(f.datei) + ".cpg"), f.cpg);
    }
    auto treiber = dbase::TreiberÖffnen(ausUtf8(t.pfad()), true);
    for (const auto& f : fälle) {
        const Zeilen z = alle(*treiber, ausUtf8(f.datei));
        ASSERT_EQ(z.size(), 1u);
        EXPECT_TRUE(z[0][0].identisch(Variante(f.erwartet))) << f.datei << ": " << z[0][0];
    }
}

TEST(Dbase, WritesNewTablesThatDbfreadReads) {
    PYTHON_NOETIG();
    TempVerzeichnis t;
    auto treiber = dbase::TreiberÖffnen(ausUtf8(t.pfad()), false);
    ASSERT_TRUE(treiber->Schreibbar());
    treiber->StrukturLesen();
    TabellenBeschreibung b;
    b.name = u"Kunden";
    b.felder = {
        feld(u"Name", dao::dbText, 30),  feld(u"Notiz", dao::dbMemo),        feld(u"Anzahl", dao::dbLong, 4),
        feld(u"Klein", dao::dbByte, 1),  feld(u"Mittel", dao::dbInteger, 2), feld(u"Betrag", dao::dbCurrency, 8),
        feld(u"Wert", dao::dbDouble, 8), feld(u"Geboren", dao::dbDate, 8),   feld(u"Aktiv", dao::dbBoolean, 1)};
    const Text langeNotiz(2000, u'ö');
    const Zeilen zeilen = {
        {Variante(u"Jürgen Weiß"), Variante(u"erste Zeile\r\nzweite: äöüß"), Variante(int32_t{-2147483647}),
         Variante(uint8_t{255}), Variante(int16_t{-32768}), Variante::Währung(-12345678901234), Variante(0.125),
         Variante::Datum(36526), Variante(true)},
        {Variante(u""), Variante(u""), Variante::Null(), Variante::Null(), Variante::Null(), Variante::Null(),
         Variante::Null(), Variante::Null(), Variante::Null()},
        {Variante(u"€ und ŒŸ"), Variante(langeNotiz), Variante(int32_t{0}), Variante(uint8_t{0}), Variante(int16_t{7}),
         Variante::Währung(5), Variante(-1.5e-3), Variante::Datum(-657434), Variante(false)},
    };
    Rückschrift r;
    r.tabellen.push_back(eintrag(b, Rückschrift::Zustand::neu, u"", zeilen));
    treiber->Schreiben(r);

    EXPECT_EQ(dateien(t.pfad()), (std::vector<std::string>{"Kunden.dbf", "Kunden.dbt"}));  // no temporary left
    const std::string kopf = lesen(t / "Kunden.dbf");
    EXPECT_EQ(static_cast<uint8_t>(kopf[0]), 0x8B);   // dBase IV with memo
    EXPECT_EQ(static_cast<uint8_t>(kopf[29]), 0x57);  // windows-1252

    EXPECT_EQ(python(R"(
import dbfread
d = dbfread.DBF(')" + (t / "Kunden.dbf") +
                     R"(')
print([(f.name, f.type, f.length, f.decimal_count) for f in d.fields])
)"),
              "[('Name', 'C', 30, 0), ('Notiz', 'M', 10, 0), ('Anzahl', 'N', 11, 0), ('Klein', 'N', 3, 0), "
              "('Mittel', 'N', 6, 0), ('Betrag', 'N', 20, 4), ('Wert', 'N', 20, 8), ('Geboren', 'D', 8, 0), "
              "('Aktiv', 'L', 1, 0)]\n");
    EXPECT_EQ(dbfread(t / "Kunden.dbf"), zeilenText(zeilen));

    // Back through the driver: the same values, Null for "" in C and M fields.
    const Zeilen z = alle(*treiber, u"kunden");
    ASSERT_EQ(z.size(), 3u);
    EXPECT_TRUE(z[0][0].identisch(Variante(u"Jürgen Weiß")));
    EXPECT_TRUE(z[1][0].istNull());
    EXPECT_TRUE(z[1][1].istNull());
    EXPECT_TRUE(z[2][1].identisch(Variante(langeNotiz)));
    EXPECT_TRUE(z[0][5].identisch(Variante(-1234567890.1234)));  // Currency comes back as a number
    EXPECT_TRUE(z[2][7].identisch(Variante::Datum(-657434)));    // 01.01.0100
    EXPECT_EQ(zeilenText(z), zeilenText(zeilen));
}

TEST(Dbase, ChangedRenamedAndDeletedTablesReachTheFolder) {
    PYTHON_NOETIG();
    TempVerzeichnis t;
    python(R"(
import dbf
for name in ['ALT', 'weg', 'bleibt']:
    t = dbf.Table(')" +
           t.pfad() + R"(/' + name + '.dbf', 'name C(12); plz N(5,0); notiz M', dbf_type='db3', codepage='cp850')
    t.open(mode=dbf.READ_WRITE)
    t.append(('Köln', 50667, 'Dom'))
    t.append(('Düsseldorf', 40213, 'Rhein'))
    t.close()
)");
    schreiben(t / "ALT.cpg", "850");
    auto treiber = dbase::TreiberÖffnen(ausUtf8(t.pfad()), false);
    const Struktur s = treiber->StrukturLesen();
    const std::string bleibtVorher = lesen(t / "bleibt.dbf");
    struct stat vorher {};
    ::stat((t / "bleibt.dbf").c_str(), &vorher);

    // ALT is renamed to Neu and changed (a row less, a field more); weg is deleted; a new weg
    // takes its name; bleibt is only listed.
    TabellenBeschreibung neu = tabelle(s, u"ALT");
    neu.name = u"Neu";
    neu.felder.push_back(feld(u"Zusatz", dao::dbText, 5));
    TabellenBeschreibung weg2;
    weg2.name = u"weg";
    weg2.felder = {feld(u"nr", dao::dbInteger, 2)};
    Rückschrift r;
    r.tabellen.push_back(
        eintrag(neu, Rückschrift::Zustand::geändert, u"ALT",
                {{Variante(u"Münster"), Variante(int32_t{48143}), Variante(u"Schloß"), Variante(u"ö")}}));
    r.tabellen.push_back(eintrag(tabelle(s, u"bleibt"), Rückschrift::Zustand::unverändert, u"bleibt", {}));
    r.tabellen.push_back(eintrag(weg2, Rückschrift::Zustand::neu, u"", {{Variante(int16_t{42})}}));
    r.gelöscht = {u"weg"};
    treiber->Schreiben(r);

    EXPECT_EQ(dateien(t.pfad()),
              (std::vector<std::string>{"Neu.cpg", "Neu.dbf", "Neu.dbt", "bleibt.dbf", "bleibt.dbt", "weg.dbf"}));
    // Written in the table's own code page and layout: dBase III with memo, cp850, PLZ still N(5,0).
    const std::string d = lesen(t / "Neu.dbf");
    EXPECT_EQ(static_cast<uint8_t>(d[0]), 0x83);
    EXPECT_EQ(static_cast<uint8_t>(d[29]), 0x02);
    EXPECT_NE(d.find("M\x81nster"), std::string::npos);
    EXPECT_EQ(
        python(R"(
import dbfread
d = dbfread.DBF(')" +
               (t / "Neu.dbf") + R"(')
print([(f.name, f.type, f.length) for f in d.fields], [list(r.values()) for r in d])
)"),
        "[('NAME', 'C', 12), ('PLZ', 'N', 5), ('NOTIZ', 'M', 10), ('Zusatz', 'C', 5)] [['Münster', 48143, 'Schloß', "
        "'ö']]\n");
    EXPECT_EQ(dbfread(t / "weg.dbf"), "42.0");

    // The table only read keeps its bytes and its time.
    struct stat nachher {};
    ::stat((t / "bleibt.dbf").c_str(), &nachher);
    EXPECT_EQ(lesen(t / "bleibt.dbf"), bleibtVorher);
    EXPECT_EQ(nachher.st_mtim.tv_sec, vorher.st_mtim.tv_sec);
    EXPECT_EQ(nachher.st_mtim.tv_nsec, vorher.st_mtim.tv_nsec);
    EXPECT_EQ(nachher.st_ino, vorher.st_ino);

    // The driver lists what is there now.
    const Struktur danach = treiber->StrukturLesen();
    ASSERT_EQ(danach.tabellen.size(), 3u);
    EXPECT_EQ(danach.tabellen[1].name, u"Neu");
}

TEST(Dbase, AFailedWriteLeavesEveryFileAsItWas) {
    TempVerzeichnis t;
    auto treiber = dbase::TreiberÖffnen(ausUtf8(t.pfad()), false);
    treiber->StrukturLesen();
    TabellenBeschreibung a;
    a.name = u"a";
    a.felder = {feld(u"x", dao::dbText, 10)};
    Rückschrift r1;
    r1.tabellen.push_back(eintrag(a, Rückschrift::Zustand::neu, u"", {{Variante(u"alt")}}));
    treiber->Schreiben(r1);
    const std::string vorher = lesen(t / "a.dbf");
    const Struktur s = treiber->StrukturLesen();

    // Table a changes fine, but b holds a number its N(3,0) field cannot take: nothing is replaced.
    TabellenBeschreibung b;
    b.name = u"b";
    b.felder = {feld(u"n", dao::dbByte, 1)};
    Rückschrift r2;
    r2.tabellen.push_back(eintrag(tabelle(s, u"a"), Rückschrift::Zustand::geändert, u"a", {{Variante(u"neu")}}));
    r2.tabellen.push_back(eintrag(b, Rückschrift::Zustand::neu, u"", {{Variante(int32_t{1000})}}));
    erwarteFehler([&] { treiber->Schreiben(r2); }, 3349, t.pfad() + "/b.dbf", "Feld 'n'");
    EXPECT_EQ(lesen(t / "a.dbf"), vorher);
    EXPECT_EQ(dateien(t.pfad()), std::vector<std::string>{"a.dbf"});
}

TEST(Dbase, TenThousandRowsComeBackUnchanged) {
    PYTHON_NOETIG();
    TempVerzeichnis t;
    auto treiber = dbase::TreiberÖffnen(ausUtf8(t.pfad()), false);
    treiber->StrukturLesen();
    TabellenBeschreibung b;
    b.name = u"adressen";
    b.felder = {feld(u"Firma", dao::dbText, 40), feld(u"Strasse", dao::dbText, 30), feld(u"PLZ", dao::dbText, 5),
                feld(u"Ort", dao::dbText, 25),   feld(u"Nr", dao::dbLong, 4),       feld(u"Notiz", dao::dbMemo)};
    Zeilen zeilen;
    for (int i = 0; i < 10000; ++i) {
        const Text n = ausUtf8(std::to_string(i));
        zeilen.push_back({Variante(u"Müller & Söhne " + n), Variante(u"Hauptstraße " + n),
                          Variante(ausUtf8(std::to_string(10000 + i))),
                          i % 7 ? Variante(u"Göttingen") : Variante::Null(), Variante(int32_t{i}),
                          i % 100 ? Variante::Null() : Variante(u"Notiz " + n)});
    }
    Rückschrift r;
    r.tabellen.push_back(eintrag(b, Rückschrift::Zustand::neu, u"", zeilen));
    treiber->Schreiben(r);
    const std::string dbf1 = lesen(t / "adressen.dbf"), dbt1 = lesen(t / "adressen.dbt");

    // Read and written back as a changed table: byte for byte the same files.
    const Struktur s = treiber->StrukturLesen();
    const Zeilen gelesen = alle(*treiber, u"adressen");
    ASSERT_EQ(gelesen.size(), 10000u);
    EXPECT_EQ(zeilenText(gelesen), zeilenText(zeilen));
    Rückschrift r2;
    r2.tabellen.push_back(eintrag(tabelle(s, u"adressen"), Rückschrift::Zustand::geändert, u"adressen", gelesen));
    treiber->Schreiben(r2);
    EXPECT_EQ(lesen(t / "adressen.dbf"), dbf1);
    EXPECT_EQ(lesen(t / "adressen.dbt"), dbt1);
    EXPECT_EQ(dbfread(t / "adressen.dbf"), zeilenText(zeilen));
}

TEST(Dbase, DamagedFilesGiveClearErrors) {
    TempVerzeichnis t;
    Roh gut;
    gut.felder = {{"NAME", 'C', 6, 0}, {"ZAHL", 'N', 5, 1}, {"TAG", 'D', 8, 0}, {"JA", 'L', 1, 0}};
    gut.sätze = {"Anna  123.4"
                 "20240229"
                 "T",
                 "Bernd  -1.0"
                 "        "
                 "?"};
    const std::string g = gut.bauen();
    auto mit = [&](size_t pos, std::string bytes) {
        std::string d = g;
        d.replace(pos, bytes.size(), bytes);
        return d;
    };
    const size_t satz1 = 33 + 4 * 32 + 1;  // first byte after the deletion flag of record 1
    struct Fall {
        const char* name;
        std::string inhalt;
        bool beimÖffnen;  // the header is wrong, else a record
        const char* was;
    };
    const Fall fälle[] = {
        {"kurz", g.substr(0, 20), true, "Dateikopf ist unvollständig"},
        {"version", mit(0, "\x07"), true, "Versionskennung 0x07"},
        {"kopflang", mit(8, std::string("\xFF\x7F", 2)), true, "reicht über das Dateiende"},
        {"kopfkurz", mit(8, std::string("\x10\x00", 2)), true, "Kopflänge von 16 Bytes ist zu klein"},
        {"typ", mit(32 + 11, "X"), true, "Typ 'X'"},
        {"name", mit(32, std::string("\x01\x02\0", 3)), true, "keinen gültigen Namen"},
        {"datbreite", mit(32 + 2 * 32 + 16, "\x05"), true, "unmögliche Breite 5"},
        {"satzlänge", mit(10, std::string("\x05\x00", 2)), true, "Satzlänge von 5 Bytes"},
        {"ohneende", mit(32 + 4 * 32, "N"), true, "reicht über den Dateikopf hinaus"},
        {"zahl", mit(satz1 + 6, "12x.4"), false, "Satz 1, Feld 'ZAHL' enthält keine gültige Zahl ('12x.4')"},
        {"datum", mit(satz1 + 11, "20230229"), false, "Satz 1, Feld 'TAG' enthält kein gültiges Datum ('20230229')"},
        {"logisch", mit(satz1 + 19, "X"), false, "Feld 'JA' enthält keinen Wahrheitswert"},
    };
    for (const auto& f : fälle) {
        SCOPED_TRACE(f.name);
        TempVerzeichnis o;
        const std::string pfad = o / (std::string(f.name) + ".dbf");
        schreiben(pfad, f.inhalt);
        auto treiber = dbase::TreiberÖffnen(ausUtf8(o.pfad()), false);
        if (f.beimÖffnen) {
            erwarteFehler([&] { treiber->StrukturLesen(); }, 3343, pfad, f.was);
        } else {
            erwarteFehler([&] { alle(*treiber, ausUtf8(f.name)); }, 3343, pfad, f.was);
        }
        EXPECT_EQ(lesen(pfad), f.inhalt);  // nothing written
    }
}

TEST(Dbase, RecordCountIsTrustedOnlyAsFarAsTheFileReaches) {
    TempVerzeichnis t;
    Roh r;
    r.felder = {{"NR", 'N', 3, 0}};
    for (int i = 1; i <= 5; ++i) r.sätze.push_back("  " + std::to_string(i));
    std::string d = r.bauen();
    d[4] = 100;  // says 100 records
    schreiben(t / "zuviel.dbf", d);
    schreiben(t / "abgeschnitten.dbf", r.bauen().substr(0, 33 + 32 + 4 * 4 + 2));  // cut inside record 5
    auto treiber = dbase::TreiberÖffnen(ausUtf8(t.pfad()), true);
    EXPECT_EQ(alle(*treiber, u"zuviel").size(), 5u);
    const Zeilen z = alle(*treiber, u"abgeschnitten");
    ASSERT_EQ(z.size(), 4u);
    EXPECT_TRUE(z[3][0].identisch(Variante(int32_t{4})));
}

TEST(Dbase, MissingOrShortMemoFilesGiveClearErrors) {
    PYTHON_NOETIG();
    TempVerzeichnis t;
    python(R"(
import dbf
t = dbf.Table(')" +
           t.pfad() + R"(/memo.dbf', 'name C(5); notiz M', dbf_type='db3')
t.open(mode=dbf.READ_WRITE)
t.append(('a', 'x' * 600))
t.append(('b', 'zweite'))
t.close()
)");
    auto treiber = dbase::TreiberÖffnen(ausUtf8(t.pfad()), true);
    const std::string memo = lesen(t / "memo.dbt");
    schreiben(t / "memo.dbt", memo.substr(0, 1024));  // the second memo's block is gone
    erwarteFehler([&] { alle(*treiber, u"memo"); }, 3343, t / "memo.dbt", "Block 3");
    fs::remove(t / "memo.dbt");
    erwarteFehler([&] { alle(*treiber, u"memo"); }, 3024, t / "memo.dbf", "Memodatei");
}

TEST(Dbase, ReadsDbase7AndRefusesFieldTypesItCannotRead) {
    PYTHON_NOETIG();
    TempVerzeichnis t;
    // dBase 7: a 68-byte header with the driver's name and 48-byte field descriptors.
    std::string d(68, '\0');
    d[0] = 0x04;
    d[4] = 1;
    const uint16_t kopf = 68 + 2 * 48 + 1, satz = 1 + 10 + 8;
    d[8] = static_cast<char>(kopf & 0xFF), d[9] = static_cast<char>(kopf >> 8), d[10] = static_cast<char>(satz);
    d.replace(32, 8, "DB850DE0");
    for (auto [name, typ, breite] : {std::tuple{"STADT", 'C', 10}, std::tuple{"TAG", 'D', 8}}) {
        std::string f(48, '\0');
        f.replace(0, std::strlen(name), name);
        f[32] = typ, f[33] = static_cast<char>(breite);
        d += f;
    }
    d += "\x0D \x99hringen  19991231\x1A";
    schreiben(t / "sieben.dbf", d);
    auto treiber = dbase::TreiberÖffnen(ausUtf8(t.pfad()), true);
    const Zeilen z = alle(*treiber, u"sieben");
    ASSERT_EQ(z.size(), 1u);
    EXPECT_TRUE(z[0][0].identisch(Variante(u"Öhringen")));
    EXPECT_TRUE(z[0][1].identisch(Variante::Datum(36525)));

    python(R"(
import dbf
t = dbf.Table(')" +
           t.pfad() + R"(/vfpint.dbf', 'name C(5); nummer I', dbf_type='vfp')
t.open(mode=dbf.READ_WRITE)
t.append(('a', 1))
t.close()
)");
    erwarteFehler([&] { treiber->StrukturLesen(); }, 3343, t / "vfpint.dbf", "Feld 'NUMMER' hat den Typ 'I'");
}

TEST(Dbase, FolderNamesAndReadOnly) {
    TempVerzeichnis t;
    erwarteFehler([&] { dbase::TreiberÖffnen(ausUtf8(t / "fehlt"), false); }, 3044, t / "fehlt",
                  "kein zulässiger Pfad");

    auto treiber = dbase::TreiberÖffnen(ausUtf8(t.pfad()), false);
    for (const char16_t* gut : {u"KUNDEN", u"ABCDEFGH", u"Straße", u"TEMP_DS"})
        EXPECT_NO_THROW(treiber->TabellennamePrüfen(gut)) << nachUtf8(gut);
    for (const char16_t* schlecht :
         {u"", u"ABCDEFGHI", u"a/b", u"a\\b", u"a:b", u"a*b", u"a?b", u"a[b", u"a]b", u"a.b", u" ab"})
        EXPECT_THROW(treiber->TabellennamePrüfen(schlecht), LaufzeitFehler) << nachUtf8(schlecht);

    auto nurLesen = dbase::TreiberÖffnen(ausUtf8(t.pfad()), true);
    EXPECT_FALSE(nurLesen->Schreibbar());
    ::chmod(t.pfad().c_str(), 0555);
    if (::access(t.pfad().c_str(), W_OK) != 0) {  // root may write anyway
        EXPECT_FALSE(treiber->Schreibbar());
        EXPECT_NE(nachUtf8(treiber->SchreibschutzGrund()).find(t.pfad()), std::string::npos);
    }
}

TEST(Dbase, ChangedFoxProTablesAreWrittenAsDbaseIV) {
    PYTHON_NOETIG();
    TempVerzeichnis t;
    python(R"(
import dbf
t = dbf.Table(')" +
           t.pfad() + R"(/fox.dbf', 'name C(10); notiz M; wert N(8,3)', dbf_type='vfp', codepage='cp1252')
t.open(mode=dbf.READ_WRITE)
t.append(('Größe', 'lange Notiz ' * 100, 1.25))
t.append(('', None, None))
t.close()
)");
    const std::string vorher = dbfread(t / "fox.dbf");
    auto treiber = dbase::TreiberÖffnen(ausUtf8(t.pfad()), false);
    const Struktur s = treiber->StrukturLesen();
    Rückschrift r;
    r.tabellen.push_back(eintrag(tabelle(s, u"fox"), Rückschrift::Zustand::geändert, u"fox", alle(*treiber, u"fox")));
    treiber->Schreiben(r);
    EXPECT_EQ(dateien(t.pfad()), (std::vector<std::string>{"fox.dbf", "fox.dbt"}));
    EXPECT_EQ(static_cast<uint8_t>(lesen(t / "fox.dbf")[0]), 0x8B);
    EXPECT_EQ(dbfread(t / "fox.dbf"), vorher);
}

TEST(Dbase, LongFieldNamesAreCutToTenBytesAndKeptApart) {
    PYTHON_NOETIG();
    TempVerzeichnis t;
    auto treiber = dbase::TreiberÖffnen(ausUtf8(t.pfad()), false);
    treiber->StrukturLesen();
    TabellenBeschreibung b;
    b.name = u"namen";
    b.felder = {feld(u"Bemerkungen1", dao::dbText, 5), feld(u"Bemerkungen2", dao::dbText, 5),
                feld(u"Straße", dao::dbText, 5)};
    Rückschrift r;
    r.tabellen.push_back(
        eintrag(b, Rückschrift::Zustand::neu, u"", {{Variante(u"a"), Variante(u"b"), Variante(u"c")}}));
    treiber->Schreiben(r);
    EXPECT_EQ(python("import dbfread\nprint([f.name for f in dbfread.DBF('" + (t / "namen.dbf") +
                     "', encoding='cp1252').fields])\n"),
              "['Bemerkunge', 'Bemerkun~1', 'Straße']\n");
}

TEST(Dbase, ANewTableMayTakeTheNameOfOneRenamedAway) {
    TempVerzeichnis t;
    auto treiber = dbase::TreiberÖffnen(ausUtf8(t.pfad()), false);
    treiber->StrukturLesen();
    TabellenBeschreibung a;
    a.name = u"A";
    a.felder = {feld(u"notiz", dao::dbMemo)};
    Rückschrift r1;
    r1.tabellen.push_back(eintrag(a, Rückschrift::Zustand::neu, u"", {{Variante(u"alte Notiz")}}));
    treiber->Schreiben(r1);
    const Struktur s = treiber->StrukturLesen();

    TabellenBeschreibung b = tabelle(s, u"A");
    b.name = u"B";
    TabellenBeschreibung a2;
    a2.name = u"A";
    a2.felder = {feld(u"x", dao::dbText, 3)};
    Rückschrift r2;
    r2.tabellen.push_back(eintrag(b, Rückschrift::Zustand::geändert, u"A", alle(*treiber, u"A")));
    r2.tabellen.push_back(eintrag(a2, Rückschrift::Zustand::neu, u"", {{Variante(u"neu")}}));
    treiber->Schreiben(r2);
    EXPECT_EQ(dateien(t.pfad()), (std::vector<std::string>{"A.dbf", "B.dbf", "B.dbt"}));  // A's old memo is gone
    EXPECT_EQ(zeilenText(alle(*treiber, u"B")), "alte Notiz");
    EXPECT_EQ(zeilenText(alle(*treiber, u"A")), "neu");
}

TEST(Dbase, TextTooLongForItsFieldIsCutBetweenCharacters) {
    TempVerzeichnis t;
    Roh r;
    r.felder = {{"NAME", 'C', 5, 0}};
    r.sätze = {"abc  "};
    schreiben(t / "utf8.dbf", r.bauen());
    schreiben(t / "utf8.cpg", "UTF-8");
    schreiben(t / "dos.dbf", r.bauen());
    auto treiber = dbase::TreiberÖffnen(ausUtf8(t.pfad()), false);
    const Struktur s = treiber->StrukturLesen();
    Rückschrift rs;
    for (const char16_t* n : {u"utf8", u"dos"})
        rs.tabellen.push_back(eintrag(tabelle(s, n), Rückschrift::Zustand::geändert, n, {{Variante(u"äöüß€x")}}));
    treiber->Schreiben(rs);
    EXPECT_TRUE(alle(*treiber, u"utf8")[0][0].identisch(Variante(u"äö")));    // 2 bytes each: ü no longer fits
    EXPECT_TRUE(alle(*treiber, u"dos")[0][0].identisch(Variante(u"äöüß€")));  // windows-1252: one byte each
    EXPECT_EQ(lesen(t / "utf8.cpg"), "UTF-8");
}
