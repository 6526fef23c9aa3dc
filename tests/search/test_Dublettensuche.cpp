#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "common/Dbaseordner.h"
#include "foundation/Oberflaeche.h"
#include "foundation/mdlFeldInhalte.h"
#include "platform/dao/Dao.h"
#include "search/Suchdatenbank.h"
#include "search/mdlAuswertung.h"
#include "search/mdlDublettensuche.h"
#include "search/mdlSuchpuffer.h"

using S = std::vector<std::string>;

namespace {

const Variante N = Variante::Null();
Variante T(const char16_t* t) { return Variante(t); }

// ---- the enriched values of one group ----

struct Anreicherungsfall {
    const char* name;
    Anreicherungsspalte spalte;
    std::vector<Variante> mitglieder;  // the column's value of each member
    std::string erwartet;
};

Anreicherungsspalte Textspalte(Feldzuordnung z, int32_t größe = 50) { return {dao::dbText, größe, false, z}; }

TEST_F(SuchTest, AngereicherteWerte) {
    const Anreicherungsfall fälle[] = {
        {"gleich lang: der erste bleibt", Textspalte(Firmenname), {T(u"Meier"), T(u"Maier")}, "Meier"},
        {"längster Text", Textspalte(Firmenname), {T(u"Meier"), N, T(u"Meier GmbH")}, "Meier GmbH"},
        {"Ja/Nein: Nein ist größer", {dao::dbBoolean, 0, false, {0, 0}}, {Variante(true), Variante(false)}, "#Falsch"},
        {"Memo nach Zeichencode", {dao::dbMemo, 0, false, {0, 0}}, {T(u"abc"), T(u"b")}, "b"},
        {"Zahl: größter Wert", {dao::dbLong, 0, false, {0, 0}}, {Variante(7), Variante(12), Variante(3)}, "#12"},
        {"alle Null", Textspalte({0, 0}), {N, N}, "<Empty>"},
        {"Zähler bleibt der Datenbank", {dao::dbLong, 0, true, Index}, {Variante(1), Variante(2)}, "<Empty>"},
        {"Rechtsform normalisiert", Textspalte(Rechtsform), {T(u"AG"), T(u"gmbh & co kg")}, "Co. KG"},
        {"Hausnummer normalisiert", Textspalte(Hausnummer), {T(u"5"), T(u"5 a")}, "5 a"},
        {"Straße und Nummer neu gebaut",
         Textspalte(StraßeUndNummer),
         {T(u"Hauptstr. 5"), T(u"Hauptstraße")},
         "Hauptstraße 5"},
        {"neu gebaut, auf die Größe gekürzt", Textspalte(StraßeUndNummer, 10), {T(u"Hauptstraße 5")}, "Hauptstraß"},
        {"PLZ und Ort", Textspalte(PlzUndOrt), {T(u"10115"), T(u"Berlin")}, "10115 Berlin"},
        {"ohne Straße und Nummer: Wert der Mitglieder", Textspalte(StraßeUndNummer), {T(u"--"), T(u"-")}, "--"},
        {"Telefon ohne Vorwahl", Textspalte(VorwahlUndTelefon), {T(u"123456")}, "/ 123456"},
        {"weder Vorwahl noch Telefon: nur der Strich", Textspalte(VorwahlUndTelefon), {N, N}, "<Empty>"},
        {"Anrede mit Titel", Textspalte(Anrede), {T(u"Frau"), T(u"Herrn Dr.")}, "Frau Dr."},
        {"keine Anrede, kein Titel", Textspalte(Anrede), {T(u"xy"), T(u"z")}, "xy"},
        {"Vor- und Nachname",
         Textspalte(VorUndNachname),
         {T(u"Hans Meier"), T(u"Hans-Peter Meier")},
         "Hans-Peter Meier"},
        {"Firmenname bleibt roh", Textspalte(FirmaUndForm), {T(u"Meier gmbh"), T(u"Meier")}, "Meier gmbh"},
    };
    for (const auto& f : fälle) {
        SCOPED_TRACE(f.name);
        std::vector<std::vector<Variante>> mitglieder;
        for (const auto& v : f.mitglieder) mitglieder.push_back({v});
        const auto werte = AngereicherteWerte({f.spalte}, mitglieder);
        ASSERT_EQ(werte.size(), 1u);
        EXPECT_EQ(W(werte[0]), f.erwartet);
    }
}

// Two columns of one type each take their own values.
TEST_F(SuchTest, ZweiteSpalteGleichenTypsNimmtIhreEigenenWerte) {
    const auto werte = AngereicherteWerte({Textspalte(Telefon), Textspalte(Telefon)},
                                          {{T(u"111"), T(u"22222")}, {T(u"1111"), T(u"2")}});
    EXPECT_EQ(W(werte[0]), "1111");
    EXPECT_EQ(W(werte[1]), "22222");
}

// ---- the whole search ----

class Dublettensuche : public Suchdatenbank {
protected:
    void SetUp() override {
        Suchdatenbank::SetUp();
        Pass(0, {2});  // sorted by Firma
    }
    // Two groups: records 1 and 3, records 4 and 5.
    void Adressen() {
        TesttabelleAnlegen(u"Adressen", {{u"Nr", dao::dbLong}, {u"Firma"}, {u"Straße"}, {u"Ort"}},
                           {{Variante(1), T(u"Müller GmbH"), T(u"Hauptstr. 5"), T(u"10115 Berlin")},
                            {Variante(2), T(u"Anders KG"), T(u"Talweg 9"), T(u"80331 München")},
                            {Variante(3), T(u"Müller GmbH"), T(u"Hauptstraße 5"), T(u"10115 Berlin-Mitte")},
                            {Variante(4), T(u"Schmidt AG"), T(u"Ringweg 3"), T(u"20095 Hamburg")},
                            {Variante(5), T(u"Schmidt AG"), T(u"Ringweg 3"), T(u"20095 Hamburg")},
                            {Variante(6), T(u"Zander OHG"), T(u"Seeweg 1"), T(u"01067 Dresden")}});
        gFelder1 = {Index, Firmenname, StraßeUndNummer, PlzUndOrt};
    }
    void Primärschlüssel() {
        auto t = gDatenbank->TableDefs()[u"Adressen"];
        auto ix = t->CreateIndex(u"PrimaryKey");
        ix->Fields().Append(ix->CreateField(u"Nr"));
        ix->Primary(true);
        t->Indexes().Append(ix);
    }
    void Starten() { DublettensucheStarten(Variante(u"Adressen"), Variante(u"Ergebnis")); }
    // The review: records (by TEMP_DSN) moved to the take-over list.
    void Übernehmen(std::vector<int> nummern) {
        oberfläche.beiDublettenBearbeiten = [this, nummern] {
            EXPECT_EQ(gAktuellerRahmen, rahmen::DublettenNachbearbeitung);
            nachDerSuche = {TabellenSpalte(u"Ergebnis", u"TEMP_DSS"), TabellenSpalte(u"Ergebnis", u"TEMP_BN"),
                            TabellenSpalte(u"Ergebnis", u"TEMP_AMK")};
            for (int n : nummern) {
                auto rs = gDatenbank->OpenRecordset(u"Ergebnis");
                rs->FindFirst(u"[TEMP_DSN] = " + ausUtf8(std::to_string(n)));
                rs->Edit();
                const int alt = rs->Fields()[u"TEMP_DSS"]->Value().alsLong();
                rs->Fields()[u"TEMP_DSS"]->Value(Variante(static_cast<uint8_t>(alt == 12 ? 21 : 22)));
                rs->Update();
                rs->Close();
            }
            return 0;
        };
    }
    void ErwarteAbbruch() {
        EXPECT_FALSE(Gibt(u"Ergebnis"));
        EXPECT_FALSE(Gibt(u"TEMP_DS"));
        EXPECT_EQ(gAktuellerRahmen, rahmen::Tabelle);
        EXPECT_EQ(oberfläche.Beschriftung(u"lblInformation"), u"Breche Vorgang ab ...");
    }
    std::vector<S> nachDerSuche;
};

// Two groups found, marked and enriched; "Fertig" without a move keeps only the
// records in no group, with the source's columns and no search copy left.
TEST_F(Dublettensuche, ZweiGruppenVonAnfangBisEnde) {
    Adressen();
    Übernehmen({});
    Starten();
    ASSERT_FALSE(gAbbruch || gFehlerAbbruch);
    EXPECT_EQ(gAnzahlDubletten, 4);
    ASSERT_EQ(nachDerSuche.size(), 3u);
    EXPECT_EQ(nachDerSuche[0], (S{"#13", "#11", "#13", "#13", "#13", "#11", "#12", "#12"}));
    EXPECT_EQ(nachDerSuche[1], (S{"#1", "#0", "#1", "#2", "#2", "#0", "#1", "#2"}));
    EXPECT_EQ(nachDerSuche[2][6], "Angereichert");
    EXPECT_EQ(oberfläche.nachDerBearbeitung, 1);
    EXPECT_EQ(gAktuellerRahmen, rahmen::DublettenProtokoll);
    EXPECT_EQ(TabellenSpalten(u"Ergebnis"), (S{"Nr", "Firma", "Straße", "Ort"}));
    EXPECT_EQ(TabellenSpalte(u"Ergebnis", u"Nr"), (S{"#2", "#6"}));
    EXPECT_FALSE(Gibt(u"TEMP_DS"));
    EXPECT_EQ(TabellenSpalte(u"Adressen", u"Nr").size(), 6u);
}

// An enriched record taken over stays, built from its group; a kept member stays
// beside it, the other members go.
TEST_F(Dublettensuche, ÜbernommenerAngereicherterDatensatz) {
    Adressen();
    Übernehmen({7, 4});
    Starten();
    ASSERT_FALSE(gAbbruch || gFehlerAbbruch);
    EXPECT_EQ(TabellenSpalte(u"Ergebnis", u"Nr"), (S{"#2", "#4", "#6", "#3"}));
    EXPECT_EQ(TabellenSpalte(u"Ergebnis", u"Firma"), (S{"Anders KG", "Schmidt AG", "Zander OHG", "Müller GmbH"}));
    EXPECT_EQ(TabellenSpalte(u"Ergebnis", u"Straße")[3], "Hauptstraße 5");
    EXPECT_EQ(TabellenSpalte(u"Ergebnis", u"Ort")[3], "10115 Berlin-Mitte");
}

// The primary key comes back on the corrected table; when the kept records break
// it, the step's error box ends the run and no table is left.
TEST_F(Dublettensuche, PrimärschlüsselDerKorrigiertenTabelle) {
    Adressen();
    Primärschlüssel();
    Übernehmen({7});
    Starten();
    ASSERT_FALSE(gAbbruch || gFehlerAbbruch);
    bool primär = false;
    for (const auto& ix : gDatenbank->TableDefs()[u"Ergebnis"]->Indexes().liste()) primär |= ix->Primary();
    EXPECT_TRUE(primär);

    // Member 3 and the enriched record (Nr 3, the greatest of its group) both kept.
    Übernehmen({7, 3});
    oberfläche.Antworten(vb::Yes, u"Ergebnis");
    oberfläche.Antworten(vb::Ignore, u"Fehler beim Erstellen der korrigierten Tabelle.");
    Starten();
    EXPECT_TRUE(gFehlerAbbruch);
    ErwarteAbbruch();
}

TEST_F(Dublettensuche, KeineDubletten) {
    Adressen();
    gDatenbank->Execute(u"DELETE * FROM [Adressen] WHERE [Nr] = 5");
    Pass(0, {1});  // by Nr: no neighbours alike
    oberfläche.Antworten(vb::OK, u"Es wurden keine Dubletten gefunden.");
    Starten();
    EXPECT_EQ(gAnzahlDubletten, 0);
    ErwarteAbbruch();
    EXPECT_EQ(oberfläche.meldungen.back().titel, u" Hinweis");
}

TEST_F(Dublettensuche, AbbruchInDerNachbearbeitung) {
    Adressen();
    oberfläche.beiDublettenBearbeiten = [] {
        gAbbruch = true;
        return 0;
    };
    Starten();
    EXPECT_TRUE(gAbbruch);
    EXPECT_EQ(oberfläche.nachDerBearbeitung, 0);
    ErwarteAbbruch();
}

// A cancel while the groups are marked: nothing of the evaluation stays.
TEST_F(Dublettensuche, AbbruchInDerAuswertung) {
    Adressen();
    int member = 0;
    oberfläche.beiEreignissen = [&] {
        if (oberfläche.Beschriftung(u"lblInformation") == u"Reichere Datensätze an ..." && ++member == 3)
            gAbbruch = true;
    };
    Starten();
    EXPECT_TRUE(gAbbruch);
    ErwarteAbbruch();
}

// A field the evaluation needs is gone from the result table (here dropped during the
// pass): its error box answered Ignorieren cannot let it go on without the field, so
// the search ends as aborted, with no further box.
TEST_F(Dublettensuche, IgnorierterFeldschrittDerAuswertungBrichtAb) {
    Adressen();
    bool weg = false;
    oberfläche.beiEreignissen = [&] {
        if (weg || oberfläche.Beschriftung(u"lblInformation").rfind(u"Durchsuche die Tabelle", 0) != 0) return;
        gDatenbank->TableDefs()[u"Ergebnis"]->Fields().Delete(u"TEMP_BN");
        weg = true;
    };
    oberfläche.Antworten(ReaktionIgnorieren, u"Fehler bei der Ähnlichkeitenauswertung.");
    Starten();
    EXPECT_TRUE(weg);
    EXPECT_TRUE(gFehlerAbbruch);
    EXPECT_EQ(oberfläche.offeneAntworten(), 0u);
    ErwarteAbbruch();
}

// The same search on a dBase folder: the corrected table is a file of its own.
TEST_F(Dublettensuche, DbaseOrdner) {
    const std::string ordner = tmp / "dbase";
    std::filesystem::create_directory(ordner);
    DatenbankSchließen(gDatenbank);
    DbaseOrdnerÖffnen(ordner);
    TesttabelleAnlegen(
        u"Adressen", {{u"NR", dao::dbLong}, {u"FIRMA"}},
        {{Variante(1), T(u"Müller GmbH")}, {Variante(2), T(u"Müller GmbH")}, {Variante(3), T(u"Anders")}});
    gFelder1 = {Index, Firmenname};
    Übernehmen({4});
    DublettensucheStarten(Variante(u"Adressen"), Variante(u"Ergebnis"));
    ASSERT_FALSE(gAbbruch || gFehlerAbbruch);
    DatenbankSchließen(gDatenbank);
    EXPECT_TRUE(std::filesystem::exists(ordner + "/Ergebnis.dbf"));
    EXPECT_FALSE(std::filesystem::exists(ordner + "/TEMP_DS.dbf"));
    DbaseOrdnerÖffnen(ordner);
    EXPECT_EQ(TabellenSpalten(u"Ergebnis"), (S{"NR", "FIRMA"}));
    EXPECT_EQ(TabellenSpalte(u"Ergebnis", u"NR"), (S{"#3", "#2"}));
}

// Area code + telephone (or fax) without a value is prepared to one blank,
// which counts as empty: in the comparison and as a block key.
class OhneTelefon : public Dublettensuche {
protected:
    void Firmen(const std::vector<std::vector<Variante>>& zeilen) {
        TesttabelleAnlegen(u"Adressen",
                           {{u"Nr", dao::dbLong}, {u"Firma"}, {u"Straße"}, {u"Ort"}, {u"Telefon"}, {u"Fax"}}, zeilen);
        gFelder1 = {Index, Firmenname, StraßeUndNummer, PlzUndOrt, VorwahlUndTelefon, VorwahlUndTelefax};
    }
    // The number of comparisons the full-mode pass counted.
    int32_t Vergleiche() const { return vergleiche_; }
    void VergleicheMitzählen() {
        oberfläche.beiEreignissen = [this] {
            if (oberfläche.Beschriftung(u"lblInformation").starts_with(u"Durchsuche die Tabelle nach Dubletten"))
                vergleiche_ = gFortschrittGesamt;
        };
    }

private:
    int32_t vergleiche_ = -1;
};

TEST_F(OhneTelefon, GenaueKopieIstDublette) {
    Firmen({{Variante(1), T(u"Müller GmbH"), T(u"Hauptstr. 5"), T(u"10115 Berlin"), N, N},
            {Variante(2), T(u"Anders KG"), T(u"Talweg 9"), T(u"80331 München"), T(u"089 123456"), N},
            {Variante(3), T(u"Müller GmbH"), T(u"Hauptstr. 5"), T(u"10115 Berlin"), N, N}});
    Übernehmen({});
    Starten();
    ASSERT_FALSE(gAbbruch || gFehlerAbbruch);
    EXPECT_EQ(gAnzahlDubletten, 2);
    ASSERT_EQ(nachDerSuche.size(), 3u);
    EXPECT_EQ(nachDerSuche[0], (S{"#13", "#11", "#13", "#12"}));
    EXPECT_EQ(nachDerSuche[2][2], "100%");
    EXPECT_EQ(TabellenSpalte(u"Ergebnis", u"Nr"), (S{"#2"}));
}

// Full mode sorted by the telephone: the records without one are no block of
// their own to compare, whether they look alike or not.
TEST_F(OhneTelefon, VollmodusOhneBlockDerFehlendenNummern) {
    Firmen({{Variante(1), T(u"Müller GmbH"), T(u"Hauptstr. 5"), T(u"10115 Berlin"), N, N},
            {Variante(2), T(u"Anders KG"), T(u"Talweg 9"), T(u"80331 München"), T(u"089 123456"), N},
            {Variante(3), T(u"Müller GmbH"), T(u"Hauptstr. 5"), T(u"10115 Berlin"), N, N},
            {Variante(4), T(u"Anders KG"), T(u"Talweg 9"), T(u"80331 München"), T(u"089 123456"), N},
            {Variante(5), T(u"Zander OHG"), T(u"Seeweg 1"), T(u"01067 Dresden"), T(u""), N},
            {Variante(6), T(u"Schmidt AG"), T(u"Ringweg 3"), T(u"20095 Hamburg"), N, T(u"040 98765")}});
    oberfläche.WertSetzen(u"chkQuickSuche", 0);
    Pass(0, {5}, 2);
    VergleicheMitzählen();
    Übernehmen({});
    Starten();
    ASSERT_FALSE(gAbbruch || gFehlerAbbruch);
    EXPECT_EQ(Vergleiche(), 1);  // the two records "089 123456"
    EXPECT_EQ(gAnzahlDubletten, 2);
    EXPECT_EQ(TabellenSpalte(u"Ergebnis", u"Nr"), (S{"#1", "#3", "#5", "#6"}));
}

TEST_F(OhneTelefon, VollmodusOhneJedeNummerVergleichtNichts) {
    Firmen({{Variante(1), T(u"Müller GmbH"), T(u"Hauptstr. 5"), T(u"10115 Berlin"), N, N},
            {Variante(2), T(u"Müller GmbH"), T(u"Hauptstr. 5"), T(u"10115 Berlin"), N, T(u"0221 4711")},
            {Variante(3), T(u"Anders KG"), T(u"Talweg 9"), T(u"80331 München"), N, N}});
    oberfläche.WertSetzen(u"chkQuickSuche", 0);
    Pass(0, {5}, 1);
    oberfläche.Antworten(vb::OK, u"Kein Vergleich notwendig.");
    Starten();
    EXPECT_TRUE(gAbbruch);
    ErwarteAbbruch();
}

}  // namespace

namespace {
// A real dBase file (177 countries) with one country entered twice: the guessed
// typing, a full-mode pass over the name; the two records give way to nothing
// (neither is taken over), the other 176 stay, and the file keeps its columns.
TEST_F(Dublettensuche, EchteDbaseDatei) {
    const std::string ordner = tmp / "echt";
    std::filesystem::create_directory(ordner);
    for (const char* endung : {".dbf", ".cpg"})
        std::filesystem::copy_file(std::string(PURIVO_FIXTURES) + "/dbase/naturalearth_lowres" + endung,
                                   ordner + "/laender" + endung);
    DatenbankSchließen(gDatenbank);
    DbaseOrdnerÖffnen(ordner);
    {
        auto rs = gDatenbank->OpenRecordset(u"laender");
        rs->FindFirst(u"[name] = 'Germany'");
        ASSERT_FALSE(rs->NoMatch());
        std::vector<Variante> werte;
        for (int32_t i = 0; i < rs->Fields().Count(); ++i) werte.push_back(rs->Fields()[i]->Value());
        rs->AddNew();
        for (int32_t i = 0; i < rs->Fields().Count(); ++i) rs->Fields()[i]->Value(werte[static_cast<size_t>(i)]);
        rs->Update();
        rs->Close();
    }
    int16_t anzahl = 0;
    FeldtypenErraten(u"laender", gFelder1, anzahl, u"lstFelder", false);
    oberfläche.WertSetzen(u"chkQuickSuche", 0);
    const auto spalten = TabellenSpalten(u"laender");
    const auto name = std::find(spalten.begin(), spalten.end(), "name");
    ASSERT_NE(name, spalten.end());
    Pass(0, {static_cast<int>(name - spalten.begin()) + 1}, 2);
    Übernehmen({});
    DublettensucheStarten(Variante(u"laender"), Variante(u"ergebnis"));
    ASSERT_FALSE(gAbbruch || gFehlerAbbruch);
    EXPECT_EQ(gAnzahlDubletten, 2);
    DatenbankSchließen(gDatenbank);
    DbaseOrdnerÖffnen(ordner);
    EXPECT_EQ(TabellenSpalten(u"ergebnis"), spalten);
    const auto namen = TabellenSpalte(u"ergebnis", u"name");
    EXPECT_EQ(namen.size(), 176u);
    EXPECT_EQ(std::count(namen.begin(), namen.end(), "Germany"), 0);
    EXPECT_FALSE(std::filesystem::exists(ordner + "/TEMP_DS.dbf"));
}
}  // namespace

namespace {
std::string Ausgabe(const std::string& befehl) {
    std::string aus;
    if (FILE* p = popen(befehl.c_str(), "r")) {
        char puffer[4096];
        size_t n;
        while ((n = fread(puffer, 1, sizeof puffer, p)) > 0) aus.append(puffer, n);
        pclose(p);
    }
    return aus;
}

// An Excel workbook (written by python3-xlwt): the corrected table becomes a sheet
// of the workbook, TEMP_DS never reaches it, as python3-xlrd reads the file.
TEST_F(Dublettensuche, ExcelMappe) {
    if (std::system("/usr/bin/python3 -c 'import xlrd, xlwt' >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "python3-xlrd or python3-xlwt missing";
    const std::string datei = tmp / "adressen.xls";
    Ausgabe("/usr/bin/python3 -c \"import xlwt, sys\n"
            "wb = xlwt.Workbook(encoding='utf-8'); s = wb.add_sheet('Adressen')\n"
            "for r, z in enumerate([['Firma', 'Ort'], ['Müller GmbH', 'Köln'], ['Anders KG', 'Bonn'],"
            " ['Müller GmbH', 'Köln'], ['Zander OHG', 'Aachen']]):\n"
            "    [s.write(r, c, v) for c, v in enumerate(z)]\n"
            "wb.save(sys.argv[1])\" '" +
            datei + "'");
    ASSERT_TRUE(std::filesystem::exists(datei));
    DatenbankSchließen(gDatenbank);
    DatenbankÖffnen(Variante(ausUtf8(datei)), Variante(u""), gDatenbank);
    ASSERT_FALSE(gFehlerAbbruch);
    gFelder1 = {Firmenname, Ort};
    Pass(0, {1});
    Übernehmen({5});  // the enriched record
    DublettensucheStarten(Variante(u"Adressen"), Variante(u"Ergebnis"));
    ASSERT_FALSE(gAbbruch || gFehlerAbbruch);
    DatenbankSchließen(gDatenbank);
    EXPECT_EQ(
        Ausgabe("/usr/bin/python3 -c \"import xlrd, sys\n"
                "b = xlrd.open_workbook(sys.argv[1])\n"
                "print(b.sheet_names())\n"
                "print([b.sheet_by_name('Ergebnis').row_values(r) for r in range(b.sheet_by_name('Ergebnis').nrows)])"
                "\" '" +
                datei + "'"),
        "['Adressen', 'Ergebnis']\n"
        "[['Firma', 'Ort'], ['Anders KG', 'Bonn'], ['Zander OHG', 'Aachen'], ['Müller GmbH', 'Köln']]\n");
}
}  // namespace
