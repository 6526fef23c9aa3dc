#include <string>
#include <utility>
#include <vector>

#include "foundation/Oberflaeche.h"
#include "operations/mdlDatenabgleich.h"
#include "search/Suchdatenbank.h"

using S = std::vector<std::string>;

namespace {

Variante T(const char16_t* t) { return Variante(t); }

enum class Vorgang { Abgleich, Hinzufügen };

// Kunden (the current table) against Neu (the second table, other columns in
// another order), searched in quick mode by Firma.
class Zweitabellen : public Suchdatenbank {
protected:
    void SetUp() override {
        Suchdatenbank::SetUp();
        Pass(0, {2});
        TesttabelleAnlegen(u"Kunden", {{u"Nr", dao::dbLong}, {u"Firma"}, {u"Straße"}, {u"Ort"}},
                           {{Variante(1), T(u"Anders KG"), T(u"Talweg 9"), T(u"80331 München")},
                            {Variante(2), T(u"Müller GmbH"), T(u"Hauptstr. 5"), T(u"10115 Berlin")}});
    }
    void Neu(const std::vector<std::vector<Variante>>& zeilen) {
        TesttabelleAnlegen(u"Neu", {{u"PLZ"}, {u"Ort"}, {u"Anschrift"}, {u"Name"}}, zeilen);
    }
    void Starten(Vorgang v, const char16_t* ziel = u"Ergebnis") {
        const std::vector<Feldzuordnung> f1 = {Index, Firmenname, StraßeUndNummer, PlzUndOrt};
        const std::vector<Feldzuordnung> f2 = {Postleitzahl, Ort, StraßeUndNummer, Firmenname};
        (v == Vorgang::Abgleich ? DatenabgleichStarten : NeueDatenStarten)(Variante(u"Kunden"), Variante(u"Neu"),
                                                                           Variante(ziel), f1, f2);
    }
    // The review: every record of this source (TEMP_DSQ) and status moves to the take-over list.
    void Übernehmen(std::vector<std::pair<int, int>> marken) {
        oberfläche.beiDublettenBearbeiten = [this, marken] {
            EXPECT_EQ(gAktuellerRahmen, rahmen::DublettenNachbearbeitung);
            status = TabellenSpalte(u"Ergebnis", u"TEMP_DSS");
            auto rs = gDatenbank->OpenRecordset(u"Ergebnis");
            for (; !rs->EOF_(); rs->MoveNext())
                for (auto [quelle, alt] : marken)
                    if (rs->Fields()[u"TEMP_DSQ"]->Value().alsLong() == quelle &&
                        rs->Fields()[u"TEMP_DSS"]->Value().alsLong() == alt) {
                        rs->Edit();
                        rs->Fields()[u"TEMP_DSS"]->Value(Variante(static_cast<uint8_t>(alt == 12 ? 21 : 22)));
                        rs->Update();
                    }
            rs->Close();
            return 0;
        };
    }
    void ErwarteQuellenUnverändert() {
        EXPECT_EQ(TabellenSpalte(u"Kunden", u"Nr"), (S{"#1", "#2"}));
        EXPECT_EQ(TabellenSpalten(u"Neu"), (S{"PLZ", "Ort", "Anschrift", "Name"}));
    }
    void ErwarteKeineArbeitstabellen() {
        for (const char16_t* t : {u"TEMP_DA", u"TEMP_ND", u"TEMP_DS"}) EXPECT_FALSE(Gibt(t)) << u8(t);
    }
    S status;  // TEMP_DSS as the review found it
};

const std::vector<Variante> Zander = {T(u"01067"), T(u"Dresden"), T(u"Seeweg 1"), T(u"Zander")};
const std::vector<Variante> Schmidt = {T(u"20095"), T(u"Hamburg"), T(u"Ringweg 3"), T(u"Schmidt")};
const std::vector<Variante> Müller = {T(u"10115"), T(u"Berlin"), T(u"Hauptstraße 5"), T(u"Müller GmbH")};

struct Lauffall {
    const char* name;
    Vorgang vorgang;
    std::vector<std::vector<Variante>> neu;
    std::vector<std::pair<int, int>> übernehmen;  // source, status
    S statusNachSuche;
    S nr, firma;
};

// From two tables to the result: what stays by source and status, with the
// first table's columns only and no work table left.
TEST_F(Zweitabellen, VonAnfangBisEnde) {
    const Lauffall fälle[] = {
        {"Abgleich ohne Dubletten: nur die erste Tabelle",
         Vorgang::Abgleich,
         {Zander, Schmidt},
         {},
         {"#11", "#11", "#11", "#11"},
         {"#1", "#2"},
         {"Anders KG", "Müller GmbH"}},
        {"Abgleich mit Dublette über beide Tabellen: auch der Datensatz der ersten fällt",
         Vorgang::Abgleich,
         {Zander, Müller},
         {},
         {"#11", "#13", "#11", "#13", "#12"},
         {"#1"},
         {"Anders KG"}},
        {"Abgleich: ein übernommener Datensatz der zweiten Tabelle bleibt",
         Vorgang::Abgleich,
         {Zander, Müller},
         {{2, 13}},
         {"#11", "#13", "#11", "#13", "#12"},
         {"#1", "<Null>"},
         {"Anders KG", "Müller"}},
        {"Hinzufügen ohne Dubletten: beide Tabellen",
         Vorgang::Hinzufügen,
         {Zander, Schmidt},
         {},
         {"#11", "#11", "#11", "#11"},
         {"#1", "#2", "<Null>", "<Null>"},
         {"Anders KG", "Müller GmbH", "Zander", "Schmidt"}},
        {"Hinzufügen mit Gruppe: ihr angereicherter Datensatz statt der Mitglieder",
         Vorgang::Hinzufügen,
         {Zander, Müller},
         {},
         {"#11", "#13", "#11", "#13", "#21"},
         {"#1", "<Null>", "#2"},
         {"Anders KG", "Zander", "Müller GmbH"}},
    };
    for (const auto& f : fälle) {
        SCOPED_TRACE(f.name);
        Neu(f.neu);
        Übernehmen(f.übernehmen);
        oberfläche.nachDerBearbeitung = 0;
        Starten(f.vorgang);
        ASSERT_FALSE(gAbbruch || gFehlerAbbruch);
        EXPECT_EQ(status, f.statusNachSuche);
        EXPECT_EQ(oberfläche.nachDerBearbeitung, 1);
        EXPECT_EQ(gAktuellerRahmen,
                  f.vorgang == Vorgang::Abgleich ? rahmen::DatenabgleichProtokoll : rahmen::NeueDatenProtokoll);
        EXPECT_EQ(TabellenSpalten(u"Ergebnis"), (S{"Nr", "Firma", "Straße", "Ort"}));
        EXPECT_EQ(TabellenSpalte(u"Ergebnis", u"Nr"), f.nr);
        EXPECT_EQ(TabellenSpalte(u"Ergebnis", u"Firma"), f.firma);
        ErwarteKeineArbeitstabellen();
        ErwarteQuellenUnverändert();
        gDatenbank->TableDefs().Delete(u"Ergebnis");
        gDatenbank->TableDefs().Delete(u"Neu");
    }
}

TEST(Zweitabellenergebnis, Löschanweisungen) {
    EXPECT_EQ(DatenabgleichLöschungen(u"Kunden"),
              (std::vector<Text>{u"DELETE * FROM [Kunden] WHERE [TEMP_DSS] = 13",
                                 u"DELETE * FROM [Kunden] WHERE [TEMP_DSS] = 12",
                                 u"DELETE * FROM [Kunden] WHERE ([TEMP_DSQ] = 2 AND NOT ([TEMP_DSS] = 21 OR "
                                 u"[TEMP_DSS] = 22))"}));
    EXPECT_EQ(NeueDatenLöschungen(u"Kunden"), (std::vector<Text>{u"DELETE * FROM [Kunden] WHERE [TEMP_DSS] = 12",
                                                                 u"DELETE * FROM [Kunden] WHERE [TEMP_DSS] = 13"}));
}

// The first table's unique index comes back where the kept records allow it;
// where a record of the second table repeats its value it stays a plain index,
// every record is kept and the user is told.
TEST_F(Zweitabellen, SchlüsselDerErstenTabelle) {
    auto t = gDatenbank->TableDefs()[u"Kunden"];
    auto ix = t->CreateIndex(u"OrtEindeutig");
    ix->Fields().Append(ix->CreateField(u"Ort"));
    ix->Unique(true);
    t->Indexes().Append(ix);
    Neu({Zander, {T(u"80331"), T(u"München"), T(u"Hafenweg 2"), T(u"Schmidt")}});
    const std::pair<Vorgang, size_t> fälle[] = {{Vorgang::Abgleich, 2}, {Vorgang::Hinzufügen, 4}};
    for (auto [vorgang, zeilen] : fälle) {
        SCOPED_TRACE(zeilen);
        Übernehmen({});
        if (vorgang == Vorgang::Hinzufügen) oberfläche.Antworten(vb::OK, u"Der eindeutige Index 'OrtEindeutig'");
        Starten(vorgang);
        ASSERT_FALSE(gAbbruch || gFehlerAbbruch);
        EXPECT_EQ(oberfläche.offeneAntworten(), 0u);
        EXPECT_EQ(TabellenSpalte(u"Ergebnis", u"Ort").size(), zeilen);
        const auto schlüssel = gDatenbank->TableDefs()[u"Ergebnis"]->Indexes()[u"OrtEindeutig"];
        EXPECT_EQ(schlüssel->Unique(), vorgang == Vorgang::Abgleich);
        EXPECT_EQ(schlüssel->Fields()[0]->Name(), u"Ort");
        gDatenbank->TableDefs().Delete(u"Ergebnis");
    }
}

// A cancel in the search, in the review, or at the declined overwrite: no table of
// the run is left, a table the user kept stays, the wizard shows the table page.
TEST_F(Zweitabellen, Abbrüche) {
    enum Ort { Suche, Nachbearbeitung, Überschreiben };
    const std::pair<Vorgang, Ort> fälle[] = {
        {Vorgang::Abgleich, Suche},           {Vorgang::Hinzufügen, Suche},
        {Vorgang::Abgleich, Nachbearbeitung}, {Vorgang::Hinzufügen, Nachbearbeitung},
        {Vorgang::Abgleich, Überschreiben},
    };
    Neu({Zander, Müller});
    for (const auto& fall : fälle) {
        // Named copies: clang 14 cannot capture structured bindings in a lambda.
        const Vorgang vorgang = fall.first;
        const Ort ort = fall.second;
        SCOPED_TRACE(ort);
        oberfläche.beiEreignissen = [this, ort] {
            if (ort == Suche && oberfläche.Beschriftung(u"lblInformation").starts_with(u"Durchsuche die Tabelle"))
                gAbbruch = true;
        };
        bool geprüft = false;
        oberfläche.beiDublettenBearbeiten = [&geprüft] {
            geprüft = true;
            gAbbruch = true;
            return 0;
        };
        if (ort == Überschreiben) {
            TesttabelleAnlegen(u"Ergebnis", {{u"Alt"}}, {{T(u"bleibt")}});
            oberfläche.Antworten(vb::No, u"Sind sie sicher, dass die Tabelle \"Ergebnis\"");
        }
        Starten(vorgang);
        EXPECT_TRUE(gAbbruch);
        EXPECT_EQ(geprüft, ort == Nachbearbeitung);
        EXPECT_EQ(gAktuellerRahmen, rahmen::Tabelle);
        EXPECT_EQ(oberfläche.Beschriftung(u"lblInformation"), u"Breche Vorgang ab ...");
        EXPECT_TRUE(oberfläche.aktiv[u"btnZurück"]);
        ErwarteKeineArbeitstabellen();
        ErwarteQuellenUnverändert();
        if (ort == Überschreiben) EXPECT_EQ(TabellenSpalte(u"Ergebnis", u"Alt"), (S{"bleibt"}));
        else EXPECT_FALSE(Gibt(u"Ergebnis"));
    }
}

// A second table that cannot be read ends the run in the mixing's error box,
// before the progress page: the wizard enters the table page directly.
TEST_F(Zweitabellen, FehlendeZweiteTabelle) {
    gAktuellerRahmen = -1;  // the option page has been left
    oberfläche.Antworten(vb::Abort, u"Fehler beim Erstellen der gemischten Tabelle.");
    Starten(Vorgang::Abgleich);
    EXPECT_TRUE(gFehlerAbbruch);
    EXPECT_EQ(oberfläche.geöffneteRahmen, (std::vector<std::pair<int16_t, bool>>{{rahmen::Tabelle, true}}));
    EXPECT_TRUE(oberfläche.wechsel.empty());
    ErwarteKeineArbeitstabellen();
    EXPECT_FALSE(Gibt(u"Ergebnis"));
}

// A target named like a table the run reads or like a work table is refused
// before anything is created; the option page shows again.
TEST_F(Zweitabellen, Zielname) {
    const std::pair<const char16_t*, const char16_t*> fälle[] = {
        {u"neu", u"Die Zieltabelle kann nicht identisch mit der zweiten Tabelle sein."},
        {u"KUNDEN", u"Die Zieltabelle kann nicht identisch mit der Ausgangstabelle sein."},
        {u"temp_nd", u"Der Tabellenname 'temp_nd' ist für die Arbeitstabellen des Programms reserviert.\r"
                     u"Bitte wählen sie einen anderen Namen."},
        {u"TEMP_DS", u"Der Tabellenname 'TEMP_DS' ist für die Arbeitstabellen"},
    };
    Neu({Zander});
    for (auto [ziel, meldung] : fälle) {
        SCOPED_TRACE(u8(ziel));
        oberfläche.Antworten(vb::OK, meldung);
        oberfläche.geöffneteRahmen.clear();
        gAbbruch = gFehlerAbbruch = true;  // as the run before left them
        Starten(Vorgang::Hinzufügen, ziel);
        EXPECT_EQ(oberfläche.meldungen.back().titel, u" Achtung!");
        EXPECT_EQ(oberfläche.geöffneteRahmen, (std::vector<std::pair<int16_t, bool>>{{rahmen::Suchoptionen, false}}));
        EXPECT_FALSE(gAbbruch || gFehlerAbbruch);
        ErwarteKeineArbeitstabellen();
        EXPECT_EQ(TabellenSpalte(u"Neu", u"Name"), (S{"Zander"}));
        ErwarteQuellenUnverändert();
    }
}

}  // namespace
