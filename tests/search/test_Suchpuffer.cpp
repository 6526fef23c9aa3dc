#include <filesystem>
#include <string>
#include <vector>

#include "common/Dbaseordner.h"
#include "platform/dao/Dao.h"
#include "search/Suchdatenbank.h"
#include "search/mdlDublettenpaare.h"
#include "search/mdlSuchpuffer.h"

using dao::dbLong;
using dao::CreateWorkspace;
using S = std::vector<std::string>;

namespace {

const Variante N = Variante::Null();
Variante T(const char16_t* t) { return Variante(t); }

class Suchpuffer : public Suchdatenbank {
protected:
    // Nr (Index), Firma, Notiz (Ignorieren), Ort (PLZ+Ort).
    void Adressen(int anzahl = 0) {
        std::vector<std::vector<Variante>> zeilen = {
            {Variante(1), T(u"Müller GmbH"), T(u"anrufen"), T(u"10115 Berlin")},
            {Variante(2), T(u"Schmidt & Co."), N, T(u"20095  Hamburg")},
            {Variante(3), N, T(u"x"), N},
        };
        for (int i = 4; i <= anzahl; ++i) zeilen.push_back({Variante(i), T(u"Firma"), N, T(u"Ort")});
        TesttabelleAnlegen(u"Adressen", {{u"Nr", dbLong}, {u"Firma"}, {u"Notiz"}, {u"Ort"}}, zeilen);
        typen = {Index, Firmenname, Ignorieren, PlzUndOrt};
    }
    void Suchen() { DublettenSuchen(Variante(u"Adressen"), Variante(u"Ergebnis"), typen, true, false); }
    void ErwarteNichtsÜbrig() {
        EXPECT_FALSE(Gibt(u"Ergebnis"));
        EXPECT_FALSE(Gibt(u"TEMP_DS"));
        EXPECT_EQ(oberfläche.Beschriftung(u"lblInformation"), u"Breche Suchvorgang ab ...");
    }
    std::vector<Feldzuordnung> typen;
};

// Without a pass the search builds both tables and finds nothing: the work table
// is the full copy, TEMP_DS the prepared one without the ignored column; both end
// in the bookkeeping columns and number the records alike.
TEST_F(Suchpuffer, BautArbeitstabelleUndSuchkopie) {
    Adressen();
    Suchen();
    ASSERT_FALSE(gAbbruch || gFehlerAbbruch);
    EXPECT_EQ(gAnzahlDubletten, 0);
    EXPECT_EQ(TabellenSpalten(u"Ergebnis"),
              (S{"Nr", "Firma", "Notiz", "Ort", "TEMP_DSS", "TEMP_DSN", "TEMP_BN", "TEMP_AMK"}));
    EXPECT_EQ(TabellenSpalten(u"TEMP_DS"), (S{"Nr", "Firma", "Ort", "TEMP_DSS", "TEMP_DSN", "TEMP_BN", "TEMP_AMK"}));
    EXPECT_EQ(TabellenSpalte(u"Ergebnis", u"Firma"), (S{"Müller GmbH", "Schmidt & Co.", "<Null>"}));
    EXPECT_EQ(TabellenSpalte(u"Ergebnis", u"Notiz"), (S{"anrufen", "<Null>", "x"}));
    EXPECT_EQ(TabellenSpalte(u"TEMP_DS", u"Firma"), (S{"müller gmbh", "schmidt co", ""}));
    for (const Text t : {u"Ergebnis", u"TEMP_DS"}) {
        EXPECT_EQ(TabellenSpalte(t, u"TEMP_DSN"), (S{"#1", "#2", "#3"}));
        EXPECT_EQ(TabellenSpalte(t, u"TEMP_DSS"), (S{"#11", "#11", "#11"}));
        EXPECT_EQ(TabellenSpalte(t, u"TEMP_BN"), (S{"#0", "#0", "#0"}));
        EXPECT_EQ(TabellenSpalte(t, u"TEMP_AMK"), (S{"", "", ""}));
        const auto amk = gDatenbank->TableDefs()[t]->Fields()[u"TEMP_AMK"];
        EXPECT_EQ(amk->Size(), 30);
        EXPECT_TRUE(amk->AllowZeroLength());
    }
    EXPECT_EQ(oberfläche.Beschriftung(u"lblDatensätze"), u"3 Datensätze insgesamt");
    SuchpufferLöschen();
    EXPECT_FALSE(Gibt(u"TEMP_DS"));
    EXPECT_TRUE(Gibt(u"Ergebnis"));
    SuchpufferLöschen();  // a second time: nothing left, nothing said
}

// The copy commits after every 1000 records: what another connection sees of the
// work table at the yields after records 999 to 2001, and at the end.
TEST_F(Suchpuffer, SchreibtJeTausendDatensätzeFest) {
    Adressen(2500);
    auto andere = CreateWorkspace(u"", u"Admin", u"", 2);
    const auto zählen = [&](const Text& tabelle) {
        auto zweite = andere->OpenDatabase(ausUtf8(tmp / "daten.sqlite"), false, true);
        auto rs = zweite->OpenRecordset(tabelle);
        if (!rs->EOF_()) rs->MoveLast();
        const int32_t n = rs->RecordCount();
        rs->Close();
        zweite->Close();
        return n;
    };
    int yield = 0;
    std::vector<std::pair<int, int32_t>> gesehen;
    oberfläche.beiEreignissen = [&] {
        ++yield;
        if (yield != 999 && yield != 1000 && yield != 1001 && yield != 2000 && yield != 2001) return;
        gesehen.emplace_back(yield, zählen(u"Ergebnis"));
    };
    Suchen();
    ASSERT_FALSE(gAbbruch || gFehlerAbbruch);
    EXPECT_EQ(gesehen,
              (std::vector<std::pair<int, int32_t>>{{999, 0}, {1000, 1000}, {1001, 1000}, {2000, 2000}, {2001, 2000}}));
    EXPECT_EQ(zählen(u"TEMP_DS"), 2500);
}

// Every way out of a failed build leaves exactly the tables the user had.
TEST_F(Suchpuffer, AbbruchLässtNurDieTabellenDesBenutzers) {
    Adressen(50);
    TesttabelleAnlegen(u"Ergebnis", {{u"Alt"}}, {{T(u"bleibt")}});

    // The overwrite question declined: the old target stays, TEMP_DS goes.
    oberfläche.Antworten(vb::No, u"Ergebnis");
    Suchen();
    EXPECT_TRUE(gAbbruch);
    EXPECT_EQ(TabellenSpalte(u"Ergebnis", u"Alt"), (S{"bleibt"}));
    EXPECT_FALSE(Gibt(u"TEMP_DS"));

    // Cancelled during the copy: neither the replaced target nor TEMP_DS survives.
    oberfläche.Antworten(vb::Yes, u"Ergebnis");
    int yield = 0;
    oberfläche.beiEreignissen = [&] {
        if (++yield == 20) gAbbruch = true;
    };
    Suchen();
    EXPECT_TRUE(gAbbruch);
    ErwarteNichtsÜbrig();
    EXPECT_TRUE(Gibt(u"Adressen"));
}

// An ignored column in an index cannot leave the search copy: the message about
// a probable index field, and nothing is left.
TEST_F(Suchpuffer, IgnoriertesIndexfeld) {
    Adressen();
    auto t = gDatenbank->TableDefs()[u"Adressen"];
    auto ix = t->CreateIndex(u"ixNotiz");
    ix->Fields().Append(ix->CreateField(u"Notiz"));
    t->Indexes().Append(ix);
    oberfläche.Antworten(vb::OK, u"Bei dem Feld \"Notiz\" handelt es sich vermutlich im ein Indexfeld.");
    Suchen();
    EXPECT_TRUE(gFehlerAbbruch);
    ErwarteNichtsÜbrig();
}

// The program's own names are refused before anything is written.
TEST_F(Suchpuffer, ReservierteNamen) {
    Adressen();
    struct Fall {
        Text quelle, ziel, meldung;
    } fälle[] = {
        {u"Adressen", u"temp_ds", u"'temp_ds' ist für die Arbeitstabellen"},
        {u"Adressen", u"TEMP_ND", u"'TEMP_ND' ist für die Arbeitstabellen"},
        {u"Spalten", u"Ergebnis", u"die Spalte 'temp_dsq'"},
    };
    TesttabelleAnlegen(u"Spalten", {{u"Firma"}, {u"temp_dsq"}}, {{T(u"A"), T(u"1")}});
    for (const auto& f : fälle) {
        SCOPED_TRACE(nachUtf8(f.ziel));
        oberfläche.Antworten(vb::OK, f.meldung);
        DublettenSuchen(Variante(f.quelle), Variante(f.ziel), {Firmenname, Index}, true, false);
        EXPECT_TRUE(gFehlerAbbruch);
        EXPECT_FALSE(Gibt(u"TEMP_DS"));
        EXPECT_FALSE(Gibt(u"Ergebnis"));
        EXPECT_FALSE(Gibt(u"TEMP_ND"));
    }
    EXPECT_EQ(oberfläche.offeneAntworten(), 0u);
}

// A sort column typed "Ignorieren" is not in the search copy: the pass is refused
// with its error box before it runs, and the search cleans up.
TEST_F(Suchpuffer, SortierspalteIgnoriert) {
    Adressen();
    Pass(0, {3});
    oberfläche.Antworten(vb::Abort, u"Fehler bei der Dublettensuche");
    Suchen();
    EXPECT_TRUE(gFehlerAbbruch);
    ErwarteNichtsÜbrig();
}

// On a dBase folder the two tables are written back as files of their own when the
// database is closed; the source stays as it was.
TEST_F(Suchpuffer, DbaseOrdner) {
    const std::string ordner = tmp / "dbase";
    std::filesystem::create_directory(ordner);
    DatenbankSchließen(gDatenbank);
    DbaseOrdnerÖffnen(ordner);
    TesttabelleAnlegen(u"Adressen", {{u"NR", dbLong}, {u"FIRMA"}},
                       {{Variante(1), T(u"Müller GmbH")}, {Variante(2), N}});
    typen = {Index, Firmenname};
    DublettenSuchen(Variante(u"Adressen"), Variante(u"Ergebnis"), typen, true, false);
    ASSERT_FALSE(gAbbruch || gFehlerAbbruch);
    DatenbankSchließen(gDatenbank);
    EXPECT_TRUE(std::filesystem::exists(ordner + "/Ergebnis.dbf"));
    DbaseOrdnerÖffnen(ordner);
    EXPECT_EQ(TabellenSpalte(u"Ergebnis", u"FIRMA"), (S{"Müller GmbH", "<Null>"}));
    EXPECT_EQ(TabellenSpalte(u"Ergebnis", u"TEMP_DSN"), (S{"#1", "#2"}));
    EXPECT_EQ(TabellenSpalte(u"TEMP_DS", u"FIRMA"), (S{"müller gmbh", "<Null>"}));
    EXPECT_EQ(TabellenSpalten(u"Adressen"), (S{"NR", "FIRMA"}));
}

}  // namespace
