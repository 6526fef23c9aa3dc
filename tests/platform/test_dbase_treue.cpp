// A dBase table written back keeps what it held: version, language driver byte and every
// field's type, width and decimals; a character its code page cannot hold is refused.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "common/Dateiinhalt.h"
#include "common/DbfBau.h"
#include "common/TempVerzeichnis.h"
#include "platform/basic/Fehler.h"
#include "platform/dao/Dao.h"
#include "platform/dao/storage/dbase/DbaseTreiber.h"

using namespace dao::speicher;

namespace {

using Feld = DbfFeld;
// A dBase file without memo, built byte by byte; records without the deletion flag.
std::string dbf(uint8_t version, uint8_t treiber, const std::vector<Feld>& felder,
                const std::vector<std::string>& sätze) {
    return DbfBauen(version, treiber, felder, sätze);
}

// Version, language driver and the field descriptors' name, type, width and decimals.
std::string kopfbild(const std::string& d) {
    std::string s = std::to_string(static_cast<uint8_t>(d[0])) + "/" + std::to_string(static_cast<uint8_t>(d[29]));
    for (size_t p = 32; p + 32 <= d.size() && d[p] != '\x0D'; p += 32)
        s += " " + std::string(d.c_str() + p) + ":" + d[p + 11] + std::to_string(static_cast<uint8_t>(d[p + 16])) +
             "," + std::to_string(static_cast<uint8_t>(d[p + 17]));
    return s;
}

Rückschrift::Tabelle geändert(const TabellenBeschreibung& b, std::vector<std::vector<Variante>> zeilen) {
    Rückschrift::Tabelle t;
    t.beschreibung = b;
    t.zustand = Rückschrift::Zustand::geändert;
    t.alterName = b.name;
    t.zeilen = [zeilen = std::move(zeilen)](const Zeilenziel& ziel) {
        for (const auto& z : zeilen) ziel(z);
    };
    return t;
}

}  // namespace

TEST(DbaseTreue, EineGeänderteTabelleBehältVersionCodepageUndFelder) {
    const std::vector<Feld> felder = {{"LANG", 'C', 255, 0}, {"PREIS", 'N', 12, 2}, {"PLZ", 'N', 5, 0},
                                      {"MENGE", 'F', 10, 3}, {"TAG", 'D', 8, 0},    {"OK", 'L', 1, 0}};
    const std::string satz = std::string(255, 'a') + "     1234.50" + "50667" + "     1.500" + "20200517" + "T";
    struct Fall {
        uint8_t version, treiber;
    };
    for (const Fall f : {Fall{0x03, 0x00}, Fall{0x03, 0x57}, Fall{0x03, 0x02}, Fall{0x03, 0x64}}) {
        SCOPED_TRACE(std::to_string(f.version) + "/" + std::to_string(f.treiber));
        TempVerzeichnis t;
        const std::string vorher = dbf(f.version, f.treiber, felder, {satz});
        std::ofstream(t / "preise.dbf", std::ios::binary) << vorher;
        auto d = dbase::TreiberÖffnen(ausUtf8(t.pfad()), false);
        const Struktur s = d->StrukturLesen();
        ASSERT_EQ(s.tabellen.size(), 1u);
        Rückschrift r;
        r.tabellen.push_back(geändert(s.tabellen[0], {{Variante(Text(255, u'ä')), Variante(99.25), Variante(int32_t{1}),
                                                       Variante(2.125), Variante::Datum(45000), Variante(false)}}));
        d->Schreiben(r);
        const std::string nachher = lesen(t / "preise.dbf");
        EXPECT_EQ(kopfbild(nachher), kopfbild(vorher));
        EXPECT_NE(nachher.find("       99.25"), std::string::npos);
        auto wieder = dbase::TreiberÖffnen(ausUtf8(t.pfad()), false);
        const Struktur s2 = wieder->StrukturLesen();
        std::vector<Variante> zeile;
        wieder->ZeilenLesen(s2.tabellen[0], [&](const std::vector<Variante>& z) { zeile = z; });
        ASSERT_EQ(zeile.size(), 6u);
        EXPECT_EQ(zeile[0].text(), Text(255, u'ä'));
    }
}

// In a character field and in a memo, what the code page lacks is refused, never a '?'.
TEST(DbaseTreue, EinZeichenAusserhalbDerCodepageWirdAbgewiesen) {
    struct Fall {
        uint8_t treiber;
        const char16_t* text;
        const char16_t* zeichen;
        bool memo;
        const char* codepage;
    };
    for (const Fall f :
         {Fall{0x57, u"Łódź", u"Ł", false, "windows-1252"}, Fall{0x02, u"5 €", u"€", false, "ibm-850"},
          Fall{0x57, u"Ωmega", u"Ω", true, "windows-1252"}, Fall{0x26, u"日本", u"日", true, "ibm-866"}}) {
        SCOPED_TRACE(f.codepage);
        TempVerzeichnis t;
        const std::string vorher = dbf(0x03, f.treiber, {{"NAME", 'C', 20, 0}}, {std::string(20, 'x')});
        std::ofstream(t / "orte.dbf", std::ios::binary) << vorher;
        auto d = dbase::TreiberÖffnen(ausUtf8(t.pfad()), false);
        TabellenBeschreibung b = d->StrukturLesen().tabellen.at(0);
        FeldBeschreibung notiz;
        notiz.name = u"Notiz";
        notiz.typ = dao::dbMemo;
        if (f.memo) b.felder.push_back(notiz);
        Rückschrift r;
        r.tabellen.push_back(f.memo ? geändert(b, {{Variante(u"gut"), Variante(f.text)}})
                                    : geändert(b, {{Variante(f.text)}}));
        try {
            d->Schreiben(r);
            ADD_FAILURE() << "kein Fehler";
        } catch (const LaufzeitFehler& e) {
            const std::string w = e.what();
            EXPECT_EQ(e.Nummer(), 3000) << w;
            EXPECT_NE(w.find("Tabelle 'orte'"), std::string::npos) << w;
            EXPECT_NE(w.find(f.memo ? "Feld 'Notiz'" : "Feld 'NAME'"), std::string::npos) << w;
            EXPECT_NE(w.find("'" + nachUtf8(f.zeichen) + "'"), std::string::npos) << w;
            EXPECT_NE(w.find(f.codepage), std::string::npos) << w;
        }
        EXPECT_EQ(lesen(t / "orte.dbf"), vorher);
    }
}

// A work or result table made as a structure copy of a table takes its version, code
// page (.cpg included) and field layouts; a table of its own gets the standard ones.
TEST(DbaseTreue, EineStrukturkopieNimmtVersionUndCodepageIhrerQuelle) {
    TempVerzeichnis t;
    const std::vector<Feld> felder = {{"NAME", 'C', 30, 0}, {"PREIS", 'N', 12, 2}};
    std::ofstream(t / "kunden.dbf", std::ios::binary)
        << dbf(0x03, 0x00, felder, {std::string(30, 'x') + "       12.50"});
    std::ofstream(t / "kunden.cpg", std::ios::binary) << "ISO-8859-1";
    std::ofstream(t / "orte.dbf", std::ios::binary) << dbf(0x03, 0x64, {{"ORT", 'C', 20, 0}}, {std::string(20, 'y')});
    auto d = dbase::TreiberÖffnen(ausUtf8(t.pfad()), false);
    const Struktur s = d->StrukturLesen();
    auto neu = [](const TabellenBeschreibung& quelle, Text name, std::vector<FeldBeschreibung> dazu) {
        TabellenBeschreibung b = quelle;
        b.name = std::move(name);
        b.felder.insert(b.felder.begin() + 1, dazu.begin(), dazu.end());
        Rückschrift::Tabelle e;
        e.beschreibung = b;
        e.zustand = Rückschrift::Zustand::neu;
        e.zeilen = [n = b.felder.size()](const Zeilenziel& ziel) {
            std::vector<Variante> z(n, Variante::Null());
            z[0] = Variante(u"Łukasz ÿ");
            ziel(z);
        };
        return e;
    };
    FeldBeschreibung zusatz;
    zusatz.name = u"TEMP_DSN";
    zusatz.typ = dao::dbLong;
    Rückschrift r;
    for (const auto& b : s.tabellen) {
        Rückschrift::Tabelle e;
        e.beschreibung = b;
        e.alterName = b.name;
        r.tabellen.push_back(e);
    }
    const TabellenBeschreibung& kunden = s.tabellen[0].name == u"kunden" ? s.tabellen[0] : s.tabellen[1];
    const TabellenBeschreibung& orte = s.tabellen[0].name == u"orte" ? s.tabellen[0] : s.tabellen[1];
    r.tabellen.push_back(neu(orte, u"ergebnis", {zusatz}));  // ibm-852 holds "Ł" but not "ÿ"
    try {
        d->Schreiben(r);
        ADD_FAILURE() << "ÿ is not in ibm-852";
    } catch (const LaufzeitFehler& e) {
        EXPECT_NE(std::string(e.what()).find("'ÿ' kann in der Codepage ibm-852"), std::string::npos) << e.what();
    }
    r.tabellen.back() = neu(kunden, u"ergebnis", {zusatz});
    TabellenBeschreibung eigen;
    eigen.name = u"eigen";
    FeldBeschreibung name;
    name.name = u"NAME";
    name.typ = dao::dbText;
    name.größe = 30;
    eigen.felder = {name};
    r.tabellen.push_back(neu(eigen, u"eigen", {}));
    try {
        d->Schreiben(r);
        ADD_FAILURE() << "Ł is not in ISO-8859-1";
    } catch (const LaufzeitFehler& e) {
        EXPECT_NE(std::string(e.what()).find("ISO-8859-1"), std::string::npos) << e.what();
    }
    r.tabellen.resize(r.tabellen.size() - 2);
    r.tabellen.push_back(neu(kunden, u"ergebnis", {zusatz}));
    r.tabellen.back().zeilen = [](const Zeilenziel& ziel) {
        ziel({Variante(u"Ÿves ÿ"), Variante::Null(), Variante(12.5)});
    };
    EXPECT_THROW(d->Schreiben(r), LaufzeitFehler);  // "Ÿ" is windows-1252's, not ISO-8859-1's
    r.tabellen.back().zeilen = [](const Zeilenziel& ziel) {
        ziel({Variante(u"Çé ÿ"), Variante(int32_t{1}), Variante(12.5)});
    };
    d->Schreiben(r);
    EXPECT_EQ(lesen(t / "ergebnis.cpg"), "ISO-8859-1");
    EXPECT_EQ(kopfbild(lesen(t / "ergebnis.dbf")), "3/0 NAME:C30,0 TEMP_DSN:N11,0 PREIS:N12,2");
    EXPECT_NE(lesen(t / "ergebnis.dbf").find("\xC7\xE9 \xFF"), std::string::npos);
}

// A number too wide for its decimals takes the exponent form; one too wide for any form, and
// a date beyond the years 1 to 9999, are refused with the field and the file named.
TEST(DbaseTreue, ZuBreiteZahlenUndDatenWerdenGekürztOderAbgewiesen) {
    TempVerzeichnis t;
    const std::string vorher =
        dbf(0x03, 0x57, {{"BETRAG", 'N', 10, 2}, {"ZAHL", 'N', 4, 0}, {"TAG", 'D', 8, 0}}, {"      1.00   120240101"});
    std::ofstream(t / "orte.dbf", std::ios::binary) << vorher;
    auto d = dbase::TreiberÖffnen(ausUtf8(t.pfad()), false);
    const TabellenBeschreibung b = d->StrukturLesen().tabellen.at(0);
    const auto schreiben = [&](std::vector<Variante> zeile) {
        Rückschrift r;
        r.tabellen.push_back(geändert(b, {std::move(zeile)}));
        d->Schreiben(r);
    };
    schreiben({Variante(1e12), Variante(int32_t{-999}), Variante::Datum(36526)});
    EXPECT_NE(lesen(t / "orte.dbf").find("1.0000E+12-99920000101"), std::string::npos);

    const std::string gut = lesen(t / "orte.dbf");
    struct Fall {
        Variante zahl, tag;
        const char* feld;
    };
    for (const Fall& f : {Fall{Variante(int32_t{12345}), Variante::Datum(36526), "Feld 'ZAHL' (N 4,0)"},
                          Fall{Variante(int32_t{1}), Variante::Datum(3000000), "Feld 'TAG' (D 8,0)"}}) {
        SCOPED_TRACE(f.feld);
        try {
            schreiben({Variante(1.0), f.zahl, f.tag});
            ADD_FAILURE() << "kein Fehler";
        } catch (const LaufzeitFehler& e) {
            const std::string w = e.what();
            EXPECT_EQ(e.Nummer(), 3349) << w;
            EXPECT_NE(w.find(f.feld), std::string::npos) << w;
            EXPECT_NE(w.find("orte"), std::string::npos) << w;
        }
        EXPECT_EQ(lesen(t / "orte.dbf"), gut);
    }
}
