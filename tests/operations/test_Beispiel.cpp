// The shipped sample workbook run through the engine the way a new user would
// run it: the field types guessed, the options as their pages open. Each run has
// to find what the sample plants, and nothing else.
#include <algorithm>
#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "common/AccessVorlagen.h"
#include "common/FremdeLeser.h"
#include "common/Jet4Pruefer.h"
#include "foundation/Oberflaeche.h"
#include "foundation/mdlFeldInhalte.h"
#include "operations/mdlDatenabgleich.h"
#include "operations/mdlMuellsuche.h"
#include "search/Suchdatenbank.h"
#include "search/mdlDublettensuche.h"

using S = std::vector<std::string>;

namespace {

// The groups of a review, each as its members (status 13): a record of the first
// table by its Kundennr, one of the second by "R " and its Firma.
using Gruppen = std::set<std::multiset<std::string>>;

Gruppen GruppenLesen() {
    std::map<int32_t, std::multiset<std::string>> gruppen;
    auto rs = gDatenbank->OpenRecordset(u"Ergebnis");
    bool gemischt = false;
    for (const auto& f : rs->Fields().liste()) gemischt |= f->Name() == u"TEMP_DSQ";
    for (; !rs->EOF_(); rs->MoveNext()) {
        if (rs->Fields()[u"TEMP_DSS"]->Value().alsLong() != 13) continue;
        const bool zweite = gemischt && rs->Fields()[u"TEMP_DSQ"]->Value().alsLong() == 2;
        gruppen[rs->Fields()[u"TEMP_BN"]->Value().alsLong()].insert(zweite ? "R " + W(rs->Fields()[u"Firma"]->Value())
                                                                           : W(rs->Fields()[u"Kundennr"]->Value()));
    }
    rs->Close();
    Gruppen r;
    for (const auto& [nummer, mitglieder] : gruppen) r.insert(mitglieder);
    return r;
}

// The duplicates planted in "Kunden".
const Gruppen KundenDubletten = {
    {"#1002", "#1017", "#1038"}, {"#1005", "#1025"}, {"#1009", "#1031"}, {"#1013", "#1034"}, {"#1020", "#1041"}};

std::vector<std::pair<int16_t, int16_t>> Typen(const std::vector<Feldzuordnung>& felder) {
    std::vector<std::pair<int16_t, int16_t>> r;
    for (const auto& f : felder) r.emplace_back(f.Gruppe, f.Bits);
    return r;
}

// Runs on a copy of the workbook ("xls"), or on an Access file that holds its sheets as
// tables ("mdb"); every run writes its result into that file.
class Beispiel : public Suchdatenbank, public ::testing::WithParamInterface<std::string> {
protected:
    void SetUp() override {
        Suchdatenbank::SetUp();
        const std::string muster = std::string(PURIVO_FIXTURES) + "/../../share/Beispiel.xls";
        ASSERT_TRUE(std::filesystem::exists(muster)) << "scripts/beispiel_erstellen.py writes it";
        std::string datei = tmp / "Beispiel.xls";
        std::filesystem::copy_file(muster, datei);
        if (GetParam() == "mdb") {
            if (!std::filesystem::exists(kAccessOrdner + "empty.mdb")) GTEST_SKIP() << "Die Access-Vorlagen fehlen.";
            datei = AccessKopie(tmp, "empty.mdb");
            AlsAccessTabellen(tmp / "Beispiel.xls", datei);
            mdb = datei;
        }
        DatenbankSchließen(gDatenbank);
        DatenbankÖffnen(Variante(ausUtf8(datei)), Variante(u""), gDatenbank);
        ASSERT_FALSE(gFehlerAbbruch);
        FeldtypenErraten(u"Kunden", gFelder1, gAnzahlFelder, u"lstFelder", false);
        ASSERT_FALSE(gFehlerAbbruch);
        SuchoptionenWieVorbesetzt();
    }

    // The search-option page as it opens on the guessed types: passes 1 and 2 on,
    // sorted by company, postcode, street and by area code, telephone, company;
    // three leading characters, tolerance "hoch", quick mode, several contacts per
    // company allowed.
    void SuchoptionenWieVorbesetzt() {
        const std::pair<int16_t, Typcode> sortierung[6] = {{2, TypFirmenname}, {3, TypPostleitzahl},
                                                           {3, TypStraße},     {5, TypVorwahl},
                                                           {5, TypTelefon},    {2, TypFirmenname}};
        for (int i = 0; i < 6; ++i) {
            const int16_t spalte = SpalteSuchen(gFelder1, sortierung[i].first, sortierung[i].second);
            ASSERT_GE(spalte, 0) << i;
            oberfläche.WertSetzen(u"cbxSuchFeld", spalte + 1, i);
        }
        for (int p = 0; p < 3; ++p) {
            oberfläche.WertSetzen(u"chkSucheDurchführen", p < 2 ? 1 : 0, p);
            oberfläche.WertSetzen(u"sdrZeichenRichtig", 3, p);
        }
        oberfläche.WertSetzen(u"sdrToleranz", 1);
        oberfläche.WertSetzen(u"chkQuickSuche", 1);
        oberfläche.WertSetzen(u"chkAnsprechpartnerDifferenzieren", 1);
    }

    // The review takes nothing over; it records the groups it was shown.
    void Nachbearbeitung() {
        oberfläche.beiDublettenBearbeiten = [this] {
            gruppen = GruppenLesen();
            angereichert = 0;
            for (const auto& s : TabellenSpalte(u"Ergebnis", u"TEMP_DSS")) angereichert += s == "#12";
            return 0;
        };
    }

    // The result the run left in the Access file, as mdbtools reads it.
    void TearDown() override {
        if (!mdb.empty() && !HasFatalFailure()) {
            const bool ergebnis = Gibt(u"Ergebnis");
            const size_t zeilen = ergebnis ? TabellenSpalte(u"Ergebnis", u"Kundennr").size() : 0;
            DatenbankSchließen(gDatenbank);
            const auto tabellen = fremd::MdbTabellen(mdb);
            EXPECT_EQ(std::count(tabellen.begin(), tabellen.end(), "Ergebnis"), ergebnis ? 1 : 0);
            if (ergebnis) {
                EXPECT_EQ(fremd::MdbExport(mdb, "Ergebnis").zeilen.size(), zeilen);
            }
            for (const auto& p : Jet4Prüfen(DateiBytes(mdb))) ADD_FAILURE() << p;
        }
        Suchdatenbank::TearDown();
    }

    // The workbook's sheets as new tables of the Access file, field by field and row by row.
    static void AlsAccessTabellen(const std::string& mappe, const std::string& ziel) {
        auto ws = dao::CreateWorkspace(u"", u"admin", u"");
        auto von = ws->OpenDatabase(ausUtf8(mappe), false, true, u"Excel 8.0;");
        auto nach = ws->OpenDatabase(ausUtf8(ziel), false, false, u";PWD=;");
        for (const Text name : {u"Kunden", u"Referenz"}) {
            auto quelle = von->TableDefs()[name];
            auto t = nach->CreateTableDef(name);
            for (const auto& f : quelle->Fields().liste())
                t->Fields().Append(t->CreateField(f->Name(), f->Type(), f->Size()));
            nach->TableDefs().Append(t);
            auto lesen = von->OpenRecordset(name);
            auto schreiben = nach->OpenRecordset(name);
            for (; !lesen->EOF_(); lesen->MoveNext()) {
                schreiben->AddNew();
                for (int32_t i = 0; i < lesen->Fields().Count(); ++i)
                    schreiben->Fields()[i]->Value(lesen->Fields()[i]->Value());
                schreiben->Update();
            }
        }
        nach->Close();
        von->Close();
    }

    Gruppen gruppen;
    int angereichert = -1;
    std::string mdb;  // the Access file of the run, "" for the workbook
};

// The sheets under their own names, and every column typed as its name says; the
// combined columns get both their types.
TEST_P(Beispiel, BlätterUndFeldtypen) {
    S namen;
    for (const auto& t : gDatenbank->TableDefs().liste())
        if (t->Attributes() == 0) namen.push_back(u8(t->Name()));
    EXPECT_EQ(namen, (S{"Kunden", "Referenz"}));
    EXPECT_EQ(TabellenSpalte(u"Kunden", u"Kundennr").size(), 43u);
    EXPECT_EQ(TabellenSpalte(u"Referenz", u"Firma").size(), 15u);

    const std::vector<Feldzuordnung> adresse = {FirmaUndForm,    Anrede,    Vorname,           Nachname,
                                                StraßeUndNummer, PlzUndOrt, VorwahlUndTelefon, VorwahlUndTelefax,
                                                Email,           Internet};
    std::vector<Feldzuordnung> kunden = {Index};
    kunden.insert(kunden.end(), adresse.begin(), adresse.end());
    EXPECT_EQ(Typen(gFelder1), Typen(kunden));
    int16_t anzahl = 0;
    FeldtypenErraten(u"Referenz", gFelder2, anzahl, u"lstFelder", false);
    EXPECT_EQ(Typen(gFelder2), Typen(adresse));
}

// The five planted groups and no other; "Fertig" keeps the 32 records in none.
TEST_P(Beispiel, Dublettensuche) {
    Nachbearbeitung();
    DublettensucheStarten(Variante(u"Kunden"), Variante(u"Ergebnis"));
    ASSERT_FALSE(gAbbruch || gFehlerAbbruch);
    EXPECT_EQ(gAnzahlDubletten, 11);
    EXPECT_EQ(gruppen, KundenDubletten);
    EXPECT_EQ(angereichert, 5);
    EXPECT_EQ(TabellenSpalte(u"Ergebnis", u"Kundennr").size(), 32u);
}

// The boxes of page 21 as it opens: the five planted junk records, each for what
// makes it junk.
TEST_P(Beispiel, Müllsuche) {
    for (const char16_t* kästchen :
         {u"chkFirmenname", u"chkPostalisch", u"chkHausnummer", u"chkNachname", u"chkTelefon"})
        oberfläche.WertSetzen(kästchen, 1);
    std::map<std::string, std::string> müll;
    oberfläche.beiMüllBearbeiten = [&] {
        auto rs = gDatenbank->OpenRecordset(u"SELECT * FROM [Ergebnis] WHERE [TEMP_DSS] = 14");
        for (; !rs->EOF_(); rs->MoveNext())
            müll[W(rs->Fields()[u"Kundennr"]->Value())] = W(rs->Fields()[u"TEMP_AMK"]->Value());
        rs->Close();
    };
    gAktuellerRahmen = -1;  // page 21 was left by "Starten"
    MüllsucheStarten(Variante(u"Kunden"), Variante(u"Ergebnis"));
    ASSERT_FALSE(gAbbruch || gFehlerAbbruch);
    EXPECT_EQ(gAnzahlMüll, 5);
    EXPECT_EQ(müll, (std::map<std::string, std::string>{
                        {"#1007", "k. Firmenn.;"},
                        {"#1015", "k. Hausnr.; k. PLZ; k. Vorwahl; k. Telefonnr.; k. Vorwahl;"},
                        {"#1022", "k. PLZ;"},
                        {"#1028", "k. Vorwahl; k. Telefonnr.;"},
                        {"#1036", "Firmenn. unvernünftig;"},
                    }));
    EXPECT_EQ(TabellenSpalte(u"Ergebnis", u"Kundennr").size(), 38u);
}

// Against "Referenz": each of its five known firms pairs with its customer, its
// ten new ones with nothing; the groups within "Kunden" are found as well. The
// result keeps the 27 customers in no group.
TEST_P(Beispiel, Datenabgleich) {
    int16_t anzahl = 0;
    FeldtypenErraten(u"Referenz", gFelder2, anzahl, u"lstFelder", false);
    Nachbearbeitung();
    DatenabgleichStarten(Variante(u"Kunden"), Variante(u"Referenz"), Variante(u"Ergebnis"), gFelder1, gFelder2);
    ASSERT_FALSE(gAbbruch || gFehlerAbbruch);
    Gruppen erwartet = KundenDubletten;
    erwartet.insert({{"#1001", "R Lorenz Druck + Medien GmbH"},
                     {"#1010", "R Schneider & Partner Rechtsanwälte"},
                     {"#1016", "R Fischer Logistik GmbH"},
                     {"#1023", "R Hofmann Immobilien"},
                     {"#1029", "R Schulz Getränkehandel GmbH"}});
    EXPECT_EQ(gruppen, erwartet);
    EXPECT_EQ(gAnzahlDubletten, 21);
    EXPECT_EQ(TabellenSpalte(u"Ergebnis", u"Kundennr").size(), 27u);
}

// Adding "Referenz" to "Kunden": the 27 customers in no group, one enriched record for
// each of the ten groups (five within "Kunden", five across both tables) and the ten
// new firms of "Referenz", which have no Kundennr.
TEST_P(Beispiel, NeueDaten) {
    int16_t anzahl = 0;
    FeldtypenErraten(u"Referenz", gFelder2, anzahl, u"lstFelder", false);
    Nachbearbeitung();
    NeueDatenStarten(Variante(u"Kunden"), Variante(u"Referenz"), Variante(u"Ergebnis"), gFelder1, gFelder2);
    ASSERT_FALSE(gAbbruch || gFehlerAbbruch);
    const auto nummern = TabellenSpalte(u"Ergebnis", u"Kundennr");
    EXPECT_EQ(nummern.size(), 47u);
    EXPECT_EQ(std::count(nummern.begin(), nummern.end(), "<Null>"), 10);
}

INSTANTIATE_TEST_SUITE_P(Formate, Beispiel, ::testing::Values("xls", "mdb"),
                         [](const ::testing::TestParamInfo<std::string>& i) { return i.param; });

}  // namespace
