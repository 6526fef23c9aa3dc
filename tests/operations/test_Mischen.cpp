#include <string>
#include <vector>

#include "Tabellentest.h"
#include "foundation/Oberflaeche.h"
#include "foundation/mdlAllgemeines.h"
#include "foundation/mdlFeldtypen.h"
#include "operations/mdlMischen.h"

using namespace dao;

namespace {
// The assignment of a column holding the given types (all of one group).
Feldzuordnung Z(const std::vector<Typcode>& typen) {
    Feldzuordnung z{GruppeVonFeldtyp(typen.front()), 0};
    for (Typcode t : typen) z.Bits = static_cast<int16_t>(z.Bits | Typen[t].Bit);
    return z;
}

const std::string Unberührt = "<unberührt>";

class Mischen : public Tabellentest {
protected:
    void SetUp() override {
        Tabellentest::SetUp();
        vorher_ = ProgrammVerzeichnis();
        ProgrammVerzeichnisSetzen(ausUtf8(tmp.pfad()));  // built-in field types
        FeldtypenInitialisieren();
    }
    void TearDown() override {
        ProgrammVerzeichnisSetzen(vorher_);
        Tabellentest::TearDown();
    }
    // Mixes Kunden (typed f1) with Neu (typed f2) into TEMP_DA, the result into f1
    // as the two-table drivers do it.
    void Starten(std::vector<Feldzuordnung>& f1, const std::vector<Feldzuordnung>& f2) {
        MischenStarten(Variante(u"Kunden"), Variante(u"Neu"), Variante(u"TEMP_DA"), f1, f2, f1);
    }
    void ErwarteErfolg() {
        EXPECT_FALSE(gAbbruch);
        EXPECT_FALSE(gFehlerAbbruch);
        EXPECT_EQ(ui.offeneAntworten(), 0u);
        EXPECT_EQ(ui.geöffneteRahmen.back(), std::make_pair(int16_t(6), true));
        EXPECT_EQ(ui.Beschriftung(u"lblTeilFortschritt"), u"100 %");
        // Both phases are committed.
        EXPECT_THROW(gArbeitsbereich->CommitTrans(), LaufzeitFehler);
    }
    // After a cancel: no mixed table, the page left to the driver, the button on again.
    void ErwarteAbbruch(const std::vector<Feldzuordnung>& f1, size_t spalten) {
        EXPECT_FALSE(Gibt(u"TEMP_DA"));
        EXPECT_EQ(f1.size(), spalten);
        EXPECT_EQ(ui.Beschriftung(u"lblInformation"), u"Breche Mischvorgang ab ...");
        EXPECT_TRUE(ui.wechsel.empty());
        EXPECT_TRUE(ui.aktiv[u"btnZurück"]);
        EXPECT_FALSE(ui.timer[u"tmrDauer"].aktiv);
        EXPECT_THROW(gArbeitsbereich->CommitTrans(), LaufzeitFehler);
    }
    Text vorher_;
};

struct Zielspalte {
    std::vector<Typcode> typen;
    std::string erwartet;  // as W shows it, or Unberührt
    int16_t typ = dbText;
    int32_t attribute = 0;
};

struct Quellspalte {
    std::vector<Typcode> typen;
    Variante wert;
};

struct Abbildungsfall {
    const char* name;
    std::vector<Quellspalte> quelle;
    std::vector<Zielspalte> ziel;
};
}  // namespace

// One row of the second table onto the first table's columns, by field type.
TEST_F(Mischen, DatensatzAbbilden) {
    const Abbildungsfall fälle[] = {
        {"Straße und Hausnummer in eine Spalte",
         {{{TypStraße}, T(u"Am Markt")}, {{TypHausnummer}, T(u"12 b")}},
         {{{TypStraße, TypHausnummer}, "Am Markt 12 b"}, {{TypStraße}, "Am Markt"}, {{TypHausnummer}, "12 b"}}},
        {"eine kombinierte Spalte speist zwei, die erste ihres Typs zählt",
         {{{TypPostleitzahl, TypOrt}, T(u"12345 Berlin")}, {{TypOrt}, T(u"Hamburg")}},
         {{{TypPostleitzahl}, "12345"}, {{TypOrt}, "Berlin"}, {{TypPostleitzahl, TypOrt}, "12345 Berlin"}}},
        {"Vorwahl und Telefon",
         {{{TypVorwahl}, T(u"030")}, {{TypTelefon}, T(u"1234567")}, {{TypTelefax}, T(u"7654321")}},
         {{{TypVorwahl, TypTelefon}, "030 / 1234567"},
          {{TypVorwahl, TypTelefax}, "030 / 7654321"},
          {{TypTelefax}, "7654321"}}},
        {"fehlt der erste Teil, bleibt vom Trenner etwas",
         {{{TypTelefon}, T(u"030 1234567")}},
         {{{TypVorwahl, TypTelefon}, "/ 1234567"}, {{TypVorwahl}, "<Null>"}}},
        {"Firma und Rechtsform",
         {{{TypFirmenname, TypRechtsform}, T(u"Beispiel GmbH")}, {{TypBranche}, Variante(4711)}},
         {{{TypFirmenname}, "Beispiel"},
          {{TypRechtsform}, "GmbH"},
          {{TypFirmenname, TypRechtsform}, "Beispiel GmbH"},
          {{TypBranche}, "#4711"},
          {{TypFirmenname, TypBranche}, "<Null>"}}},
        {"Personen",
         {{{TypAnrede, TypVorname, TypNachname}, T(u"Herr Dr. Hans Beispiel")}},
         {{{TypAnrede}, "Herr Dr."},
          {{TypVorname}, "Hans"},
          {{TypNachname}, "Beispiel"},
          {{TypAnrede, TypNachname}, "Herr Dr. Beispiel"},
          {{TypVorname, TypNachname}, "Hans Beispiel"},
          {{TypAnrede, TypVorname, TypNachname}, "Herr Dr. Hans Beispiel"},
          {{TypAnrede, TypVorname}, "<Null>"}}},
        {"ein Vorname ohne Fund bleibt, wie er ist, nur allein",
         {{{TypVorname}, T(u"Hans")}},
         {{{TypVorname}, "Hans"}, {{TypVorname, TypNachname}, "<Null>"}}},
        {"Spalten, die die Abbildung nicht anrührt, und solche ohne Fall",
         {{{TypEmailadresse}, T(u"a@b.de")}, {{TypIndex}, Variante(7)}, {{TypTelefon}, T(u"1234")}},
         {{{TypEmailadresse}, "a@b.de"},
          {{TypIndex}, "<Null>", dbLong},
          {{TypIndex}, Unberührt, dbLong, dbAutoIncrField},
          {{TypEmailadresse}, Unberührt, dbDate},
          {{TypEmailadresse}, Unberührt, dbBoolean},
          {{TypEmailadresse}, Unberührt, dbCurrency},
          {{TypEmailadresse}, Unberührt, dbTime},
          {{TypTelefon, TypTelefax}, "<Null>"},
          {{TypIgnorieren}, "<Null>"}}},
        {"eine zweite Tabelle ganz aus Ignorieren",
         {{{TypIgnorieren}, T(u"x")}, {{TypIgnorieren}, T(u"12345 Berlin")}},
         {{{TypIgnorieren}, "<Null>"}, {{TypPostleitzahl}, "<Null>"}, {{TypOrt}, "<Null>"}}},
    };
    for (const auto& f : fälle) {
        SCOPED_TRACE(f.name);
        std::vector<Feldzuordnung> felder2, felder1;
        std::vector<Variante> werte;
        std::vector<Mischspalte> spalten;
        for (const auto& q : f.quelle) {
            felder2.push_back(Z(q.typen));
            werte.push_back(q.wert);
        }
        for (const auto& z : f.ziel) {
            felder1.push_back(Z(z.typen));
            spalten.push_back({z.typ, z.attribute});
        }
        const auto neu = DatensatzAbbilden(werte, felder1, spalten, TypspaltenBilden(felder2));
        ASSERT_EQ(neu.size(), f.ziel.size());
        for (size_t i = 0; i < neu.size(); ++i)
            EXPECT_EQ(neu[i] ? W(*neu[i]) : Unberührt, f.ziel[i].erwartet) << "Spalte " << i;
    }
}

// The rows of table 1 as they are, then those of table 2 mapped; TEMP_DSQ last;
// a unique index of table 1 does not refuse table 2's repeats; the sources stay.
TEST_F(Mischen, AufbauDerGemischtenTabelle) {
    Anlegen(u"Kunden", {{u"Name", dbText, 30}, {u"Ort", dbText, 30}, {u"Umsatz", dbLong}},
            {{T(u"Beispiel"), T(u"Berlin"), Variante(10)}, {T(u"Muster"), T(u"Hamburg"), N()}});
    auto ix = gDatenbank->TableDefs()[u"Kunden"]->CreateIndex(u"OrtEindeutig");
    ix->Fields().Append(ix->CreateField(u"Ort"));
    ix->Unique(true);
    gDatenbank->TableDefs()[u"Kunden"]->Indexes().Append(ix);
    Anlegen(u"Neu", {{u"Anschrift", dbText, 60}, {u"Firma", dbText, 30}},
            {{T(u"10115 Berlin"), T(u"Neufirma")}, {T(u"80331 München"), N()}});
    std::vector<Feldzuordnung> f1 = {Z({TypNachname}), Z({TypOrt}), Z({TypIgnorieren})};
    const std::vector<Feldzuordnung> f2 = {Z({TypPostleitzahl, TypOrt}), Z({TypFirmenname})};
    Starten(f1, f2);
    ErwarteErfolg();

    EXPECT_EQ(Felder(u"TEMP_DA"),
              (std::vector<Feldbild>{
                  {u"Name", dbText, 30}, {u"Ort", dbText, 30}, {u"Umsatz", dbLong, 0}, {u"TEMP_DSQ", dbByte, 0}}));
    EXPECT_EQ(Spaltenwerte(u"TEMP_DA", u"Name"), (std::vector<std::string>{"Beispiel", "Muster", "<Null>", "<Null>"}));
    EXPECT_EQ(Spaltenwerte(u"TEMP_DA", u"Ort"), (std::vector<std::string>{"Berlin", "Hamburg", "Berlin", "München"}));
    EXPECT_EQ(Spaltenwerte(u"TEMP_DA", u"Umsatz"), (std::vector<std::string>{"#10", "<Null>", "<Null>", "<Null>"}));
    EXPECT_EQ(Spaltenwerte(u"TEMP_DA", u"TEMP_DSQ"), (std::vector<std::string>{"#1", "#1", "#2", "#2"}));
    const auto index = gDatenbank->TableDefs()[u"TEMP_DA"]->Indexes()[u"OrtEindeutig"];
    EXPECT_FALSE(index->Unique());
    EXPECT_EQ(index->Fields()[0]->Name(), u"Ort");

    ASSERT_EQ(f1.size(), 4u);
    EXPECT_EQ(f1[1].Gruppe, 3);
    EXPECT_EQ(f1[3].Gruppe, 0);
    EXPECT_EQ(f1[3].Bits, 2);
    EXPECT_EQ(ui.Beschriftung(u"lblDatensätze"), u"4 Datensätze insgesamt");
    EXPECT_EQ(ui.Beschriftung(u"lblInformation"), u"Mische 'Kunden' mit Tabelle 'Neu' ...");
    EXPECT_EQ(gFortschrittGesamt, 4);
    EXPECT_EQ(gFortschrittPosition, 4);
    EXPECT_TRUE(VomLaufAngelegt(u"TEMP_DA"));
    EXPECT_EQ(Zeilen(u"Kunden").size(), 2u);
    EXPECT_EQ(Felder(u"Neu").size(), 2u);
    EXPECT_TRUE(gDatenbank->TableDefs()[u"Kunden"]->Indexes()[u"OrtEindeutig"]->Unique());
}

// The mixed table numbers its auto-increment column itself, over both tables; a
// primary key on it becomes a plain index.
TEST_F(Mischen, AutowertNeuGezählt) {
    Anlegen(u"Kunden", {{u"Nr", dbLong}, {u"Name", dbText, 30}}, {{Variante(5), T(u"A")}, {Variante(9), T(u"B")}});
    auto t = gDatenbank->TableDefs()[u"Kunden"];
    t->Fields()[u"Nr"]->Attributes(dbAutoIncrField);
    auto ix = t->CreateIndex(u"Primärschlüssel");
    ix->Fields().Append(ix->CreateField(u"Nr"));
    ix->Primary(true);
    t->Indexes().Append(ix);
    Anlegen(u"Neu", {{u"Nummer", dbLong}, {u"Person", dbText, 30}}, {{Variante(9), T(u"C")}, {Variante(1), T(u"D")}});
    std::vector<Feldzuordnung> f1 = {Z({TypIndex}), Z({TypNachname})};
    Starten(f1, {Z({TypIndex}), Z({TypNachname})});
    ErwarteErfolg();
    EXPECT_EQ(Spaltenwerte(u"TEMP_DA", u"Nr"), (std::vector<std::string>{"#1", "#2", "#3", "#4"}));
    EXPECT_EQ(Spaltenwerte(u"TEMP_DA", u"Name"), (std::vector<std::string>{"A", "B", "C", "D"}));
    EXPECT_FALSE(gDatenbank->TableDefs()[u"TEMP_DA"]->Indexes()[u"Primärschlüssel"]->Primary());
    EXPECT_EQ(Spaltenwerte(u"Kunden", u"Nr"), (std::vector<std::string>{"#5", "#9"}));
}

// A second table without rows: the mixed table holds table 1's rows, without an error.
TEST_F(Mischen, LeereZweiteTabelle) {
    Anlegen(u"Kunden", {{u"Name", dbText, 30}}, {{T(u"A")}});
    Anlegen(u"Neu", {{u"Name", dbText, 30}}, {});
    std::vector<Feldzuordnung> f1 = {Z({TypNachname})};
    Starten(f1, {Z({TypNachname})});
    ErwarteErfolg();
    EXPECT_TRUE(ui.meldungen.empty());
    EXPECT_EQ(Spaltenwerte(u"TEMP_DA", u"TEMP_DSQ"), (std::vector<std::string>{"#1"}));
    EXPECT_EQ(f1.size(), 2u);
}

// "Abbrechen" in the mapping phase: the committed batches go with the mixed table.
TEST_F(Mischen, AbbruchBeimAbbilden) {
    std::vector<std::vector<Variante>> zeilen;
    for (int32_t i = 0; i < 1500; ++i) zeilen.push_back({Variante(u"Name " + ausUtf8(std::to_string(i)))});
    Anlegen(u"Kunden", {{u"Name", dbText, 30}}, zeilen);
    Anlegen(u"Neu", {{u"Name", dbText, 30}}, zeilen);
    int gesehen = 0;
    ui.beiEreignissen = [&] {
        if (++gesehen == 1500 + 1200) gAbbruch = true;
    };
    std::vector<Feldzuordnung> f1 = {Z({TypNachname})};
    Starten(f1, {Z({TypNachname})});
    EXPECT_TRUE(gAbbruch);
    EXPECT_EQ(gFortschrittPosition, 1500 + 1199);
    ErwarteAbbruch(f1, 1);
    EXPECT_EQ(Zeilen(u"Neu").size(), 1500u);
}

// A mixed table of the name the user declined to replace stays as it was.
TEST_F(Mischen, ErsetzenAbgelehnt) {
    Anlegen(u"Kunden", {{u"Name", dbText, 30}}, {{T(u"A")}});
    Anlegen(u"Neu", {{u"Name", dbText, 30}}, {{T(u"B")}});
    Anlegen(u"TEMP_DA", {{u"Alt", dbText, 10}}, {{T(u"bleibt")}});
    ui.Antworten(vb::No, u"Sind sie sicher, dass die Tabelle \"TEMP_DA\"");
    std::vector<Feldzuordnung> f1 = {Z({TypNachname})};
    Starten(f1, {Z({TypNachname})});
    EXPECT_TRUE(gAbbruch);
    EXPECT_EQ(Spaltenwerte(u"TEMP_DA", u"Alt"), (std::vector<std::string>{"bleibt"}));
    EXPECT_EQ(f1.size(), 1u);
    EXPECT_EQ(ui.Beschriftung(u"lblInformation"), u"Breche Mischvorgang ab ...");
}

// A value table 1's column cannot take: the box names the row and the column;
// ignore leaves the column empty and goes on, abort cancels after that row.
TEST_F(Mischen, FehlerBeimAbbilden) {
    struct Fall {
        int antwort;
        std::vector<std::string> orte;  // empty: cancelled
    };
    const Fall fälle[] = {{vb::Ignore, {"Berlin", "<Null>", "Ulm"}}, {vb::Abort, {}}};
    for (const auto& f : fälle) {
        SCOPED_TRACE(f.antwort);
        Anlegen(u"Kunden", {{u"Ort", dbText, 6}}, {{T(u"Berlin")}});
        Anlegen(u"Neu", {{u"Nr", dbLong}, {u"Stadt", dbText, 30}},
                {{Variante(7), T(u"Frankfurt am Main")}, {Variante(8), T(u"Ulm")}});
        ui.Antworten(f.antwort, u"Fehler beim Ergänzen des Datensatzes '7' im Feld 'Ort'.");
        std::vector<Feldzuordnung> f1 = {Z({TypOrt})};
        Starten(f1, {Z({TypIndex}), Z({TypOrt})});
        EXPECT_EQ(ui.meldungen.back().titel, u" Fehler!");
        if (f.orte.empty()) {
            EXPECT_TRUE(gFehlerAbbruch);
            ErwarteAbbruch(f1, 1);
        } else {
            ErwarteErfolg();
            EXPECT_EQ(Spaltenwerte(u"TEMP_DA", u"Ort"), f.orte);
            gDatenbank->TableDefs().Delete(u"TEMP_DA");
        }
        gDatenbank->TableDefs().Delete(u"Kunden");
        gDatenbank->TableDefs().Delete(u"Neu");
    }
}

// A source holding a bookkeeping column, or a work table as a source, is refused
// before anything is created.
TEST_F(Mischen, ReservierteNamen) {
    struct Fall {
        Text tabelle1, tabelle2, spalte2;
        const char16_t* meldung;
    };
    const Fall fälle[] = {
        {u"Kunden", u"Neu", u"temp_dsq", u"enthält die Spalte 'temp_dsq'"},
        {u"Kunden", u"TEMP_DS", u"Name", u"Der Tabellenname 'TEMP_DS' ist für die Arbeitstabellen"},
    };
    for (const auto& f : fälle) {
        SCOPED_TRACE(u8(f.meldung));
        Anlegen(f.tabelle1, {{u"Name", dbText, 30}}, {{T(u"A")}});
        Anlegen(f.tabelle2, {{f.spalte2, dbText, 30}}, {{T(u"B")}});
        ui.Antworten(vb::OK, f.meldung);
        std::vector<Feldzuordnung> f1 = {Z({TypNachname})};
        MischenStarten(Variante(f.tabelle1), Variante(f.tabelle2), Variante(u"TEMP_DA"), f1, {Z({TypNachname})}, f1);
        EXPECT_EQ(ui.meldungen.back().titel, u" Achtung!");
        EXPECT_TRUE(gAbbruch);
        EXPECT_TRUE(ui.geöffneteRahmen.empty());
        ErwarteAbbruch(f1, 1);
        gDatenbank->TableDefs().Delete(f.tabelle1);
        gDatenbank->TableDefs().Delete(f.tabelle2);
    }
}

// A table that cannot be counted gets the mixing's error box before the progress page.
TEST_F(Mischen, FehlendeZweiteTabelle) {
    Anlegen(u"Kunden", {{u"Name", dbText, 30}}, {{T(u"A")}});
    ui.Antworten(vb::Abort, u"Fehler beim Erstellen der gemischten Tabelle.");
    std::vector<Feldzuordnung> f1 = {Z({TypNachname})};
    Starten(f1, {Z({TypNachname})});
    EXPECT_TRUE(gFehlerAbbruch);
    EXPECT_TRUE(ui.geöffneteRahmen.empty());
    ErwarteAbbruch(f1, 1);
}
