#include <gtest/gtest.h>

#include <algorithm>
#include <initializer_list>
#include <set>
#include <string>
#include <vector>

#include "common/FakeOberflaeche.h"
#include "common/TempVerzeichnis.h"
#include "common/Testtabelle.h"
#include "foundation/mdlDeklarationen.h"
#include "foundation/mdlFeldInhalte.h"
#include "platform/basic/Laufzeit.h"
#include "platform/dao/Dao.h"

namespace {

const Variante E = Variante::Empty();
const Variante N = Variante::Null();

struct Fall {
    Variante ein, aus;
};

using Normalisierer = Variante (*)(const Variante&);

void prüfen(Normalisierer f, std::initializer_list<Fall> fälle) {
    for (const auto& fall : fälle) {
        const Variante ist = f(fall.ein);
        EXPECT_TRUE(ist.identisch(fall.aus)) << fall.ein << " gives " << ist << ", expected " << fall.aus;
    }
}

}  // namespace

TEST(FeldInhalte, EmptyUndNullGebenEmpty) {
    for (Normalisierer f : {FirmennameNormalisieren, RechtsformNormalisieren, StraßeNormalisieren,
                            HausnummerNormalisieren, PostleitzahlNormalisieren, OrtNormalisieren,
                            LandesvorwahlErmitteln, VorwahlNormalisieren, TelefonNormalisieren, AnredeErmitteln,
                            TitelErmitteln, AnredeNormalisieren, VornameNormalisieren, NachnameNormalisieren}) {
        EXPECT_TRUE(f(E).istEmpty());
        EXPECT_TRUE(f(N).istEmpty());
    }
}

TEST(FeldInhalte, Firmenname) {
    prüfen(FirmennameNormalisieren,
           {
               {u"Beispiel GmbH & Co. KG", u"Beispiel & Co."},  // whole words only: "Co." stays
               {u"GmbH", E},
               {u"G. M. B. H.", u""},  // removal leaves the empty text, whose empty word stays
               {u"", u""},
               {u" GmbH", u""},
               {u"Muster g. m. b. h.", u"Muster"},
               {u"Muster G. m. b. H.", u"Muster"},
               {u"Muster G.m.b.H.", u"Muster G.m.b.H."},
               {u"Beispiel gmbh & co kg", u"Beispiel &"},
               {u"Beispiel  AG", u"Beispiel"},
               {u"Agrar KGaA", u"Agrar"},
               {u"Beispiel GbR mbH", u"Beispiel"},
               {u"Agentur Beispiel", u"Agentur Beispiel"},
               {Variante(4711), u"4711"},
           });
}

TEST(FeldInhalte, Rechtsform) {
    prüfen(RechtsformNormalisieren, {
                                        {u"Beispiel GmbH & Co. KG", u"GmbH & Co. KG"},
                                        {u"Beispiel Computer", u"Co."},  // a word beginning with CO counts
                                        {u"GmbH", E},                    // no blank before it
                                        {u"Beispiel G. M. B. H.", u"GmbH"},
                                        {u"Beispiel gmbh Agentur", u"GmbH AG"},
                                        {u"Beispiel GbRmbH", u"GbRmbH"},
                                        {u"Beispiel GbR", u"GbR"},
                                        {u"Beispiel mbH", u"GmbH"},
                                        {u"Beispiel KGaA", u"KGaA"},  // the KG inside it is removed with it
                                        {u"Beispiel GmbH, Muster GmbH", u"GmbH"},
                                        {u"Beispiel G. M. B. H. und Muster GmbH", u"GmbH GmbH"},
                                        {u"Beispiel MB GmbHH", u"GmbH GmbH"},  // removing GMBH leaves a MBH
                                        {u"Beispiel", E},
                                    });
}

TEST(FeldInhalte, StraßeUndHausnummer) {
    struct Adresse {
        Variante ein, straße, hausnummer;
    };
    for (const auto& f : {
             Adresse{u"Musterstr. 12a", u"Musterstr.", u"12a"},
             Adresse{u"Hauptstraße 12a ", u"Hauptstraße", u"12a "},  // the number keeps its blank
             Adresse{u"12 Hauptstraße", E, u"12 Hauptstraße"},
             Adresse{u"  Am Markt  ", u"Am Markt", E},
             Adresse{u"Straße des 17. Juni 5", u"Straße des", u"17. Juni 5"},
             Adresse{u"   ", u"", E},
             Adresse{u"", u"", E},
             Adresse{Variante(12), E, u"12"},
         }) {
        EXPECT_TRUE(StraßeNormalisieren(f.ein).identisch(f.straße)) << f.ein << " " << StraßeNormalisieren(f.ein);
        EXPECT_TRUE(HausnummerNormalisieren(f.ein).identisch(f.hausnummer))
            << f.ein << " " << HausnummerNormalisieren(f.ein);
    }
}

TEST(FeldInhalte, PostleitzahlUndOrt) {
    struct Adresse {
        Variante ein, plz, ort;
    };
    for (const auto& f : {
             Adresse{u"12345 Berlin-Mitte", u"12345", u"Berlin-Mitte"},
             Adresse{u"D-12345 Berlin", u"12345", u"D-12345 Berlin"},
             Adresse{u"12345", u"12345", E},
             Adresse{u"123", E, E},
             Adresse{u"1234 AB", u"1234", u"AB"},
             Adresse{u"12345-6789", u"12345-6789", E},
             Adresse{u"12 34 Ort", u"12 34", u"Ort"},
             Adresse{u"1 2 x", E, u"x"},
             Adresse{u"12345Äbc", u"12345", u"Äbc"},
             Adresse{u"12345 - Bad Homburg ", u"12345 -", u"Bad Homburg "},  // the town untrimmed
             Adresse{u"Berlin", E, u"Berlin"},
             Adresse{u" - ", E, E},
             Adresse{Variante(22767), u"22767", E},
         }) {
        EXPECT_TRUE(PostleitzahlNormalisieren(f.ein).identisch(f.plz))
            << f.ein << " " << PostleitzahlNormalisieren(f.ein);
        EXPECT_TRUE(OrtNormalisieren(f.ein).identisch(f.ort)) << f.ein << " " << OrtNormalisieren(f.ein);
    }
}

TEST(FeldInhalte, LandesUndOrtsvorwahl) {
    struct Nummer {
        Variante ein, land, vorwahl;
    };
    for (const auto& f : {
             Nummer{u"+49 221 1234", u"+49", u"0221"},
             Nummer{u"0049 221 1234", u"+49", u"0221"},
             Nummer{u"49 221 1234", u"+49", u"0221"},
             Nummer{u" +49 221 1234", u"+49", u"0221"},  // the leading blank does not shift the cut
             Nummer{u"  0049 221 1234", u"+49", u"0221"},
             Nummer{u" 49 221 1234", u"+49", u"0221"},
             Nummer{u" +49", u"+49", E},
             Nummer{u"+49 (040) 123456", u"+49", u"040"},
             Nummer{u"+49 040 123456", u"+49", u"040"},
             Nummer{u"+49-221-1234", u"+49", u"0221"},
             Nummer{u"49/221", u"+49", u"0221"},
             Nummer{u"+49", u"+49", E},
             Nummer{u"49", u"+49", E},
             Nummer{u"+4 9", u"+4 ", u"09"},  // a digit beside a blank is numeric
             Nummer{u"0221 1234", E, u"0221"},
             Nummer{u"0221/1234", E, u"0221"},
             Nummer{u"(0221) 1234", E, u"0221"},
             Nummer{u"221 1234", E, E},
             Nummer{u"+/49 221", E, E},
             Nummer{u"+", E, E},
             Nummer{u"", E, E},
         }) {
        EXPECT_TRUE(LandesvorwahlErmitteln(f.ein).identisch(f.land)) << f.ein << " " << LandesvorwahlErmitteln(f.ein);
        EXPECT_TRUE(VorwahlNormalisieren(f.ein).identisch(f.vorwahl)) << f.ein << " " << VorwahlNormalisieren(f.ein);
    }
}

TEST(FeldInhalte, Telefon) {
    prüfen(TelefonNormalisieren, {
                                     {u"0221 123456", u"123456"},
                                     {u"0221/12 34 56", u"3456"},  // a short last word takes the one before it
                                     {u"+49 221 123-456", u"123456"},
                                     {u"0221 12 3", u"123"},
                                     {u"123", u"123"},
                                     {u"0221", E},
                                     {u"0221 01 23", E},
                                     {u"/-", u""},
                                     {Variante(123456), u"123456"},
                                 });
}

TEST(FeldInhalte, AnredeUndTitel) {
    prüfen(AnredeErmitteln, {
                                {u"Herrn Beispiel", E},
                                {u"Fr. Dr. Beispiel", u"Frau"},
                                {u"Herr", u"Herr"},
                                {u"herr beispiel", u"Herr"},
                                {u"Hr. Beispiel", u"Herr"},
                                {u"Frau und Herr Beispiel", u"Herr"},
                                {u"Frau", u"Frau"},
                                {u"Chr. Beispiel", u"Herr"},  // substring test
                                {u"Damen und Herren", E},
                                {u"Firma Beispiel", E},
                            });
    prüfen(TitelErmitteln, {
                               {u"Herr Prof. Dr. Beispiel", u"Prof. Dr."},
                               {u"dr. med. Beispiel", u"dr. med."},
                               {u"Dr. rer. nat. h. c. Beispiel", u"Dr. rer. nat. h. c."},
                               {u"Dr. phil.  Dr. pol.", u"Dr. phil. Dr. pol."},
                               {u"Dr Beispiel", E},
                               {u"Prof.Dr. Beispiel", E},
                               {u"Beispiel", E},
                           });
    prüfen(AnredeNormalisieren, {
                                    {u"Herr Prof. Dr. Beispiel", u"Herr Prof. Dr."},
                                    {u"Dr. Beispiel", u"Dr."},
                                    {u"Frau Beispiel", u"Frau"},
                                    {u"FRAU DR. Beispiel", u"Frau DR."},
                                    {u"Beispiel", E},
                                });
}

TEST(FeldInhalte, VorUndNachname) {
    prüfen(VornameNormalisieren, {
                                     {u"Herr Dr. Hans Beispiel", u"Hans"},
                                     {u"Hans Peter Beispiel", u"Hans"},
                                     {u"Beispiel", E},
                                     {u" Hans Beispiel", u""},  // the empty first word qualifies
                                     {u"Beispiel Beispiel", E},
                                     {u"Frau Beispiel", E},
                                     {u"Herrn Hans Beispiel", u"Herrn"},
                                     {u"Hans Beispiel ", u"Hans"},
                                     {u"", E},
                                 });
    prüfen(NachnameNormalisieren, {
                                      {u"Hans Peter Beispiel", u"Beispiel"},
                                      {u"Beispiel", u"Beispiel"},
                                      {u"Beispiel ", u""},
                                      {u"", u""},
                                      // Without a blank the value comes back unchanged: a number stays a number.
                                      {Variante(42), Variante(42)},
                                      {Variante(2.5), Variante(2.5)},
                                      {Variante(u"4 2"), u"2"},
                                  });
}

TEST(FeldInhalte, DispatchNachTyp) {
    struct Typfall {
        Typcode typ;
        Variante ein, aus;
    };
    for (const auto& f : {
             Typfall{21, u"Beispiel GmbH", u"Beispiel"},
             Typfall{22, u"Beispiel GmbH", u"GmbH"},
             Typfall{31, u"Musterstr. 12a", u"Musterstr."},
             Typfall{32, u"Musterstr. 12a", u"12a"},
             Typfall{33, u"12345 Berlin", u"12345"},
             Typfall{34, u"12345 Berlin", u"Berlin"},
             Typfall{41, u"Herr Dr. Hans Beispiel", u"Herr Dr."},
             Typfall{42, u"Herr Dr. Hans Beispiel", u"Hans"},
             Typfall{43, u"Herr Dr. Hans Beispiel", u"Beispiel"},
             Typfall{51, u"+49 (040) 123456", u"040"},
             Typfall{52, u"+49 (040) 123456", u"123456"},
             Typfall{53, u"+49 (040) 123456", u"123456"},
             Typfall{1, u" Hans ", u" Hans "},
             Typfall{11, Variante(42), Variante(42)},  // passed through as a number
             Typfall{23, u"Handel 12", u"Handel 12"},
             Typfall{44, u"Einkauf", u"Einkauf"},
             Typfall{61, u"info@beispiel.de", u"info@beispiel.de"},
             Typfall{62, u"www.beispiel.de", u"www.beispiel.de"},
             Typfall{0, u"Hans", E},
             Typfall{12, u"Hans", E},
             Typfall{99, u"Hans", E},
             Typfall{-1, u"Hans", E},
         }) {
        const Variante ist = FeldinhaltNormalisieren(f.ein, f.typ);
        EXPECT_TRUE(ist.identisch(f.aus)) << f.typ << ": " << f.ein << " gives " << ist;
    }
}

TEST(FeldInhalte, DispatchEmptyUndNull) {
    for (Typcode typ : {1, 11, 23, 44, 61, 62}) {
        EXPECT_TRUE(FeldinhaltNormalisieren(N, typ).istNull()) << typ;
        EXPECT_TRUE(FeldinhaltNormalisieren(E, typ).istEmpty()) << typ;
    }
    for (Typcode typ : {0, 12, 21, 22, 31, 32, 33, 34, 41, 42, 43, 51, 52, 53}) {
        EXPECT_TRUE(FeldinhaltNormalisieren(N, typ).istEmpty()) << typ;
        EXPECT_TRUE(FeldinhaltNormalisieren(E, typ).istEmpty()) << typ;
    }
}

// ---- column lookup -------------------------------------------------------------

TEST(Spaltensuche, ErsteSpalteMitDemTyp) {
    FakeOberfläche ui;
    FeldtypenInitialisieren();
    const std::vector<Feldzuordnung> felder = {
        {0, 1}, {3, 1}, {3, 12}, {5, 2}, {3, 1}, {4, 12},  // 4,12: Nachname and Abteilung, not Ort
    };
    struct Fall {
        Typcode code;
        int16_t spalte;
    };
    for (const auto& f : {Fall{TypStraße, 1}, Fall{TypPostleitzahl, 2}, Fall{TypOrt, 2}, Fall{TypTelefon, 3},
                          Fall{TypIgnorieren, 0}, Fall{TypNachname, 5}, Fall{TypAbteilungPosition, 5},
                          Fall{TypHausnummer, -1}, Fall{TypVorwahl, -1}, Fall{12, -1}, Fall{2, -1}}) {
        EXPECT_EQ(SpalteVonFeldtyp(felder, f.code), f.spalte) << f.code;
    }
    // Only the bit is tested against the code; the group comes from the caller.
    EXPECT_EQ(SpalteSuchen(felder, 4, TypPostleitzahl), 5);
    EXPECT_EQ(SpalteSuchen(felder, 3, TypAbteilungPosition), 2);
    // A code that names no type is -1 even where every bit is set.
    EXPECT_EQ(SpalteSuchen({{1, -1}}, 1, 12), -1);
    EXPECT_EQ(SpalteSuchen({}, 3, TypOrt), -1);
    EXPECT_THROW(SpalteSuchen(felder, 0, 70), LaufzeitFehler);
}

// ---- field-type guessing -------------------------------------------------------

namespace {

constexpr TextSicht kListe = u"lstFelder";

class Erraten : public ::testing::Test {
protected:
    void SetUp() override {
        FeldtypenInitialisieren();
        gFehlerAbbruch = false;
        gArbeitsbereich = dao::CreateWorkspace(u"", u"Admin", u"", 2);
        gDatenbank = gArbeitsbereich->CreateDatabase(ausUtf8(tmp / "adressen.db"));
    }
    void TearDown() override {
        gDatenbank->Close();
        gDatenbank.reset();
        gArbeitsbereich.reset();
        gFehlerAbbruch = false;
    }

    // A table of text columns; every row gives one value per column (Null for none).
    void Tabelle(const Text& name, const std::vector<Text>& spalten, const std::vector<std::vector<Variante>>& zeilen) {
        std::vector<Testspalte> s;
        for (const auto& n : spalten) s.push_back({n, dao::dbText, 255});
        TesttabelleAnlegen(name, s, zeilen);
    }
    // `anzahl` rows, all with the same values.
    void Tabelle(const Text& name, const std::vector<Text>& spalten, const std::vector<Variante>& zeile,
                 size_t anzahl) {
        Tabelle(name, spalten, std::vector<std::vector<Variante>>(anzahl, zeile));
    }

    const std::vector<Text>& Zeilen() { return ui.listen[Text(kListe)]; }

    FakeOberfläche ui;  // an unexpected error box fails the test
    TempVerzeichnis tmp;
    std::vector<Feldzuordnung> felder;
    int16_t anzahl = -1;
};

struct Erwartet {
    Text spalte;
    int16_t gruppe, bits;
    Text label;
};

}  // namespace

TEST_F(Erraten, TypischeDeutscheSpaltennamen) {
    const std::vector<Erwartet> erwartet = {
        {u"Kundennummer", 1, 1, u"(Index)"},
        {u"ID", 1, 1, u"(Index)"},
        {u"Provider", 1, 1, u"(Index)"},
        {u"Firmenname", 2, 3, u"(Firmenname,Rechtsform)"},
        {u"Firmenbranche", 2, 7, u"(Firmenname,Branche,Rechtsform)"},
        {u"Rechtsform", 2, 2, u"(Rechtsform)"},
        {u"Straße", 3, 3, u"(Straße,Hausnummer)"},  // the samples hold a number
        {u"Hausnummer", 3, 2, u"(Hausnummer)"},
        {u"PLZ", 3, 4, u"(Postleitzahl)"},
        {u"Ort", 3, 8, u"(Ort)"},
        {u"Sport", 3, 8, u"(Ort)"},
        {u"Anrede", 4, 1, u"(Anrede)"},
        {u"Vorname", 4, 2, u"(Vorname)"},
        {u"Nachname", 4, 4, u"(Nachname)"},                   // no sample with a blank
        {u"Kundenname", 4, 7, u"(Anrede,Vorname,Nachname)"},  // samples with a blank
        {u"Kontakt", 4, 7, u"(Anrede,Vorname,Nachname)"},
        {u"Abteilung", 4, 8, u"(Abteilung/Position)"},
        {u"Vorwahl", 5, 1, u"(Vorwahl)"},
        {u"Telefon", 5, 3, u"(Vorwahl,Telefon)"},  // long samples: the area code is in
        {u"Telefonnummer", 5, 2, u"(Telefon)"},
        {u"Tel", 5, 2, u"(Telefon)"},
        {u"Tel.", 0, 1, u"(Ignorieren)"},
        {u"Telefax", 5, 4, u"(Telefax)"},
        {u"EMail", 6, 1, u"(Emailadresse)"},
        {u"Webseite", 6, 2, u"(Internetadresse)"},
        {u"Bemerkung", 0, 1, u"(Ignorieren)"},
    };
    const std::vector<Variante> zeile = {
        u"K-1",
        u"7",
        u"x",
        u"Beispiel GmbH",
        u"Handel",
        u"GmbH",
        u"Hauptstraße 12",
        u"12a",
        u"50667",
        u"Köln",
        u"Tennis",
        u"Herr",
        u"Hans",
        u"Beispiel",
        u"Hans Beispiel",
        u"Herr Hans Beispiel",
        u"Einkauf",
        u"0221",
        u"0221 1234567",
        u"1234",
        u"5678",
        u"0221 99",
        u"0221 7654",
        u"a@b.de",
        u"www.b.de",
        u"-",
    };
    std::vector<Text> spalten;
    for (const auto& e : erwartet) spalten.push_back(e.spalte);
    Tabelle(u"Kunden", spalten, zeile, 8);

    RandomizeMit(7);
    gZuordnung = {{6, 6}};
    FeldtypenErraten(u"Kunden", gZuordnung, gAnzahlFelder, kListe, true);

    EXPECT_FALSE(gFehlerAbbruch);
    ASSERT_EQ(gAnzahlFelder, static_cast<int16_t>(erwartet.size()));
    ASSERT_EQ(gZuordnung.size(), erwartet.size());
    ASSERT_EQ(Zeilen().size(), erwartet.size());
    for (size_t i = 0; i < erwartet.size(); ++i) {
        const auto& e = erwartet[i];
        EXPECT_EQ(gZuordnung[i].Gruppe, e.gruppe) << u8(e.spalte);
        EXPECT_EQ(gZuordnung[i].Bits, e.bits) << u8(e.spalte);
        EXPECT_EQ(Zeilen()[i], Zuordnungszeile(e.spalte, e.label)) << u8(Zeilen()[i]);
    }
    EXPECT_EQ(ui.auswahl[Text(kListe)], 0);
}

// Without a telling name no sample is drawn and the values decide nothing; a
// name that only says street, contact or telephone leaves the rest to the samples.
TEST_F(Erraten, NurDieStichprobenEntscheiden) {
    const std::vector<Text> bedeutungslos = {u"Feld1", u"Feld2", u"Feld3", u"Feld4", u"X"};
    const std::vector<Text> halb = {u"Anschrift", u"Ansprechpartner", u"Phon", u"Fax", u"Wort"};
    struct Fall {
        std::vector<Variante> zeile;
        std::vector<int16_t> bits;  // of the second table's columns
    };
    for (const auto& f : {
             Fall{{u"Hauptstraße 12", u"Hans Beispiel", u"0221 1234567", u"0221 7654321", u"Köln"}, {3, 7, 3, 5, 8}},
             Fall{{u"Am Markt", u"Beispiel", u"1234567", u"7654321", u"Köln"}, {1, 4, 2, 4, 8}},
         }) {
        SCOPED_TRACE(u8(f.zeile[0].alsText()));
        Tabelle(u"A", bedeutungslos, f.zeile, 30);
        Tabelle(u"B", halb, f.zeile, 30);

        RandomizeMit(11);
        FeldtypenErraten(u"A", felder, anzahl, kListe, true);
        ASSERT_EQ(anzahl, 5);
        for (size_t i = 0; i < felder.size(); ++i) {
            EXPECT_EQ(felder[i].Gruppe, 0) << i;
            EXPECT_EQ(felder[i].Bits, 1) << i;
            EXPECT_EQ(Zeilen()[i], Zuordnungszeile(bedeutungslos[i], u"(Ignorieren)"));
        }
        const float nächste = Rnd();
        RandomizeMit(11);
        EXPECT_EQ(Rnd(), nächste) << "samples drawn without a name hit";

        FeldtypenErraten(u"B", felder, anzahl, kListe, true);
        ASSERT_EQ(anzahl, 5);
        const int16_t gruppen[] = {3, 4, 5, 5, 3};
        for (size_t i = 0; i < felder.size(); ++i) {
            EXPECT_EQ(felder[i].Gruppe, gruppen[i]) << u8(halb[i]);
            EXPECT_EQ(felder[i].Bits, f.bits[i]) << u8(halb[i]);
        }
        EXPECT_EQ(Zeilen()[0], Zuordnungszeile(u"Anschrift", f.bits[0] == 3 ? u"(Straße,Hausnummer)" : u"(Straße)"));
        gDatenbank->TableDefs().Delete(u"A");
        gDatenbank->TableDefs().Delete(u"B");
    }
}

// Samples come from the first min(count - 2, 300) records only: two records give
// the first, one record or none give empty samples.
TEST_F(Erraten, StichprobenfensterDerErstenDatensätze) {
    const std::vector<Text> spalten = {u"Ansprechpartner1", u"Ansprechpartner2", u"Ansprechpartner3",
                                       u"Ansprechpartner4", u"Ansprechpartner5"};
    const Variante mit(u"Hans Beispiel"), ohne(u"Beispiel");
    struct Fall {
        const char* was;
        size_t vorn, hinten;  // records without a blank in front, then records with one
        bool vornMit;         // or the other way round
        int16_t bits;
    };
    for (const auto& f : {
             Fall{"two records: the first", 1, 1, true, 7},
             Fall{"two records: never the second", 1, 1, false, 4},
             Fall{"one record: empty samples", 1, 0, true, 4},
             Fall{"no record", 0, 0, true, 4},
             Fall{"never the last two", 10, 2, false, 4},
             Fall{"never behind the 300th", 300, 98, false, 4},
             Fall{"three records: the first", 1, 2, true, 7},
             Fall{"three records: only the first", 1, 2, false, 4},
         }) {
        SCOPED_TRACE(f.was);
        std::vector<std::vector<Variante>> zeilen;
        for (size_t k = 0; k < f.vorn; ++k) zeilen.emplace_back(spalten.size(), f.vornMit ? mit : ohne);
        for (size_t k = 0; k < f.hinten; ++k) zeilen.emplace_back(spalten.size(), f.vornMit ? ohne : mit);
        Tabelle(u"Kontakte", spalten, zeilen);
        RandomizeMit(3);
        FeldtypenErraten(u"Kontakte", felder, anzahl, kListe, true);
        ASSERT_EQ(felder.size(), spalten.size());
        for (const auto& z : felder) {
            EXPECT_EQ(z.Gruppe, 4);
            EXPECT_EQ(z.Bits, f.bits);
        }
        EXPECT_EQ(Zeilen().size(), spalten.size());
        gDatenbank->TableDefs().Delete(u"Kontakte");
    }
}

// Exactly ten samples per telephone column; more than five longer than nine
// characters bring the area code. The draws are replayed from the same seed.
TEST_F(Erraten, VorwahlAbSechsLangenStichproben) {
    constexpr int kSätze = 40, kFenster = kSätze - 2;
    for (int ziel : {6, 5}) {
        SCOPED_TRACE(ziel);
        // Mark records as long until exactly `ziel` of the ten draws hit one.
        std::vector<int> gezogen;
        uint32_t saat = 1;
        std::set<int> lang;
        for (;; ++saat) {
            RandomizeMit(saat);
            gezogen.clear();
            for (int k = 0; k < 10; ++k) gezogen.push_back(static_cast<int>(Int(double(Rnd()) * kFenster)));
            lang.clear();
            int treffer = 0;
            for (int g : gezogen) {
                if (lang.count(g)) continue;
                const int mal = static_cast<int>(std::count(gezogen.begin(), gezogen.end(), g));
                if (treffer + mal <= ziel) {
                    lang.insert(g);
                    treffer += mal;
                }
            }
            if (treffer == ziel) break;
        }
        std::vector<std::vector<Variante>> zeilen;
        for (int k = 0; k < kSätze; ++k)
            zeilen.push_back({lang.count(k) ? Variante(u"0221 12345") : Variante(u"0221 1234")});
        Tabelle(u"Telefonliste", {u"Telefon"}, zeilen);

        RandomizeMit(saat);
        FeldtypenErraten(u"Telefonliste", felder, anzahl, kListe, true);
        ASSERT_EQ(felder.size(), 1u);
        EXPECT_EQ(felder[0].Bits, ziel > 5 ? 3 : 2);
        // Exactly ten draws were made.
        RandomizeMit(saat);
        for (int k = 0; k < 10; ++k) Rnd();
        const float nachZehn = Rnd();
        RandomizeMit(saat);
        FeldtypenErraten(u"Telefonliste", felder, anzahl, kListe, false);
        EXPECT_EQ(Rnd(), nachZehn);
        gDatenbank->TableDefs().Delete(u"Telefonliste");
    }
}

TEST_F(Erraten, ZeilenPunkteUndAuswahl) {
    const Text lang58(58 - 12, u'a');  // with (Ignorieren): no room left, no dots
    const Text lang70(70, u'b');       // the filler would be negative
    const Text lang57(57 - 12, u'c');  // one dot
    Tabelle(u"T", {u"PLZ", lang58, lang70, u"Ort", lang57}, {}, 0);

    ui.listen[Text(kListe)] = {u"alt"};
    FeldtypenErraten(u"T", felder, anzahl, kListe, true);
    const auto& z = Zeilen();
    ASSERT_EQ(z.size(), 5u);
    EXPECT_EQ(z[0], u" PLZ" + Text(41, u'.') + u"(Postleitzahl)");
    EXPECT_EQ(z[0].size(), 59u);
    EXPECT_EQ(z[1], u" " + lang58 + u"(Ignorieren)");
    EXPECT_EQ(z[2], u" " + lang70 + u"(Ignorieren)");
    EXPECT_EQ(z[3], u" Ort" + Text(50, u'.') + u"(Ort)");
    EXPECT_EQ(z[4], u" " + lang57 + u".(Ignorieren)");
    EXPECT_EQ(ui.auswahl[Text(kListe)], 0);

    // Without the list only the assignment is made.
    ui.listen[Text(kListe)] = {u"alt"};
    ui.auswahl[Text(kListe)] = -1;
    felder.clear();
    FeldtypenErraten(u"T", felder, anzahl, kListe, false);
    EXPECT_EQ(anzahl, 5);
    EXPECT_EQ(felder.size(), 5u);
    EXPECT_EQ(Zeilen(), std::vector<Text>{u"alt"});
    EXPECT_EQ(ui.auswahl[Text(kListe)], -1);
}

TEST_F(Erraten, FehlendeTabelleMitAbbruch) {
    felder = {{3, 4}};
    anzahl = 1;
    ui.listen[Text(kListe)] = {u"alt"};
    ui.Antworten(vb::Abort, u"Fehler beim Öffnen des Feldes .");
    FeldtypenErraten(u"Fehlt", felder, anzahl, kListe, true);
    EXPECT_TRUE(gFehlerAbbruch);
    ASSERT_EQ(felder.size(), 1u);
    EXPECT_EQ(felder[0].Gruppe, 3);
    EXPECT_EQ(anzahl, 1);
    EXPECT_EQ(Zeilen(), std::vector<Text>{u"alt"});
    EXPECT_EQ(ZufallswertHolen(1), u"");  // the guesser's state is gone
}
