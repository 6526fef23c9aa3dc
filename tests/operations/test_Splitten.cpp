#include <filesystem>
#include <string>
#include <vector>

#include "Tabellentest.h"
#include "common/Dbaseordner.h"
#include "foundation/Oberflaeche.h"
#include "operations/mdlSplitten.h"

using namespace dao;

namespace {
class Splitten : public Tabellentest {
protected:
    // The split page as the user left it.
    void Seite(int typ, const Text& spalte1, std::vector<Text> namen, Text trennzeichen = u"/", bool löschen = false,
               const Text& spalte2 = {}) {
        ui.WertSetzen(u"cbxSplittenTypus", typ);
        ui.InhaltSetzen(u"cbxSplitten1", spalte1);
        ui.InhaltSetzen(u"cbxSplitten2", spalte2);
        namen.resize(3);
        ui.InhaltSetzen(u"tbxSplitten1", namen[0]);
        ui.InhaltSetzen(u"tbxSplitten2", namen[1]);
        ui.InhaltSetzen(u"tbxSplitten3", namen[2]);
        ui.InhaltSetzen(u"tbxSplitten_Trennzeichen", trennzeichen);
        ui.WertSetzen(u"chkSplittenLöschen", löschen ? 1 : 0);
    }
    void Starten() { FelderSplitten(Variante(u"Adressen"), Variante(u"Ergebnis")); }
    void ErwarteErfolg() {
        EXPECT_FALSE(gAbbruch);
        EXPECT_FALSE(gFehlerAbbruch);
        ASSERT_FALSE(ui.wechsel.empty());
        EXPECT_EQ(ui.wechsel.back(), 32);
        EXPECT_EQ(gAktuellerRahmen, 32);
    }
};

struct Beispiel {
    Variante wert;
    Variante teile[3];
};

struct Typfall {
    int typ;
    Text trennzeichen;
    std::vector<Beispiel> beispiele;
};
}  // namespace

// Each type's examples: the parts land in the new columns behind the source, the
// other columns are copied, Null and the empty text give Null in every new column.
TEST_F(Splitten, TeileJeTyp) {
    const Typfall fälle[] = {
        {SplittenPostleitzahlOrt,
         u"/",
         {{T(u"12345 Berlin-Mitte"), {T(u"12345"), T(u"Berlin-Mitte"), {}}},
          {T(u"D-80331 München"), {T(u"80331"), T(u"D-80331 München"), {}}},
          {T(u"Berlin"), {N(), T(u"Berlin"), {}}},
          {T(u"123 Dorf"), {N(), T(u"Dorf"), {}}}}},
        {SplittenStraßeHausnummer,
         u"/",
         {{T(u"Hauptstraße 12a"), {T(u"Hauptstraße"), T(u"12a"), {}}},
          {T(u"Am Markt"), {T(u"Am Markt"), N(), {}}},
          {T(u"12 b"), {N(), T(u"12 b"), {}}}}},
        {SplittenAnredeVornameName,
         u"/",
         {{T(u"Herr Dr. Hans Beispiel"), {T(u"Herr Dr."), T(u"Hans"), T(u"Beispiel")}},
          {T(u"Frau Erika Muster"), {T(u"Frau"), T(u"Erika"), T(u"Muster")}},
          {T(u"Beispiel"), {N(), N(), T(u"Beispiel")}}}},
        {SplittenVorwahlDurchwahl,
         u"/",
         {{T(u"030 1234567"), {T(u"030"), T(u"1234567"), {}}},
          {T(u"+49 30 1234567"), {T(u"030"), T(u"1234567"), {}}},
          {T(u"1234567"), {N(), T(u"1234567"), {}}}}},
        {SplittenBeliebig,
         u";",
         {{T(u"ab;cd"), {T(u"ab"), T(u"cd"), {}}},
          {T(u"abcd"), {T(u"abcd"), N(), {}}},
          {T(u";cd"), {N(), T(u"cd"), {}}},
          {T(u"ab;"), {T(u"ab"), N(), {}}},
          {T(u"a;b;c"), {T(u"a"), T(u"b;c"), {}}}}},
        {SplittenBeliebig, u" ", {{T(u"Hans Beispiel"), {T(u"Hans"), T(u"Beispiel"), {}}}}},
    };
    for (const auto& f : fälle) {
        SCOPED_TRACE("Typ " + std::to_string(f.typ) + " Trennzeichen '" + u8(f.trennzeichen) + "'");
        std::vector<std::vector<Variante>> zeilen;
        int32_t id = 0;
        for (const auto& b : f.beispiele) zeilen.push_back({Variante(++id), b.wert, T(u"x")});
        zeilen.push_back({Variante(++id), N(), T(u"null")});
        zeilen.push_back({Variante(++id), T(u""), T(u"leer")});
        Anlegen(u"Adressen", {{u"ID", dbLong}, {u"Wert", dbText, 40}, {u"Rest", dbText, 10}}, zeilen);
        const bool drei = f.typ == SplittenAnredeVornameName;
        Seite(f.typ, u"Wert", {u"Teil1", u"Teil2", drei ? u"Teil3" : u"Unbenutzt"}, f.trennzeichen);
        Starten();
        ErwarteErfolg();

        const auto erg = Zeilen(u"Ergebnis");
        const size_t neu = drei ? 3 : 2;
        ASSERT_EQ(erg.size(), zeilen.size());
        for (size_t r = 0; r < erg.size(); ++r) {
            SCOPED_TRACE("Zeile " + std::to_string(r + 1));
            ASSERT_EQ(erg[r].size(), 3 + neu);
            EXPECT_EQ(W(erg[r][0]), W(zeilen[r][0]));
            EXPECT_EQ(W(erg[r][1]), W(zeilen[r][1]));
            EXPECT_EQ(W(erg[r][2 + neu]), W(zeilen[r][2]));
            for (size_t k = 0; k < neu; ++k) {
                const Variante erwartet = r < f.beispiele.size() ? f.beispiele[r].teile[k] : N();
                EXPECT_EQ(W(erg[r][2 + k]), W(erwartet)) << "neues Feld " << k + 1;
            }
        }
        gDatenbank->TableDefs().Delete(u"Ergebnis");
        gDatenbank->TableDefs().Delete(u"Adressen");
        ui.wechsel.clear();
    }
}

// Type 4: the area code from the telephone, else from the telefax; a record with
// only a telefax keeps it; the three columns stand behind the telephone column.
TEST_F(Splitten, TelefonUndTelefax) {
    Anlegen(u"Adressen", {{u"Telefon", dbText, 200}, {u"Name", dbText, 20}, {u"Telefax", dbText, 100}},
            {{T(u"030 123456"), T(u"A"), T(u"030 123457")},
             {T(u"123456"), T(u"B"), T(u"0221 98765")},
             {N(), T(u"C"), T(u"089 55555")},
             {N(), T(u"D"), N()}});
    Seite(SplittenTelefonTelefax, u"Telefon", {u"Vorwahl", u"Tel", u"Fax"}, u"/", false, u"Telefax");
    Starten();
    ErwarteErfolg();
    const std::vector<Feldbild> felder = {{u"Telefon", dbText, 200}, {u"Vorwahl", dbText, 255},
                                          {u"Tel", dbText, 255},     {u"Fax", dbText, 255},
                                          {u"Name", dbText, 20},     {u"Telefax", dbText, 100}};
    EXPECT_EQ(Felder(u"Ergebnis"), felder);
    EXPECT_EQ(Spaltenwerte(u"Ergebnis", u"Vorwahl"), (std::vector<std::string>{"030", "0221", "089", "<Null>"}));
    EXPECT_EQ(Spaltenwerte(u"Ergebnis", u"Tel"), (std::vector<std::string>{"123456", "123456", "<Null>", "<Null>"}));
    EXPECT_EQ(Spaltenwerte(u"Ergebnis", u"Fax"), (std::vector<std::string>{"123457", "98765", "55555", "<Null>"}));
}

TEST_F(Splitten, TelefonUndTelefaxDasselbeFeld) {
    Anlegen(u"Adressen", {{u"Telefon", dbText, 20}}, {{T(u"030 1")}});
    Seite(SplittenTelefonTelefax, u"Telefon", {u"V", u"T", u"F"}, u"/", false, u"Telefon");
    ui.Antworten(vb::OK, u"verschiedene Felder");
    Starten();
    EXPECT_EQ(ui.meldungen.back().titel, u" Achtung!");
    EXPECT_FALSE(Gibt(u"Ergebnis"));
    ASSERT_FALSE(ui.geöffneteRahmen.empty());
    EXPECT_EQ(ui.geöffneteRahmen.back(), std::make_pair(int16_t(31), false));
}

// The sizes: the source column's size, 255 for a column that is not text; a
// longer part is cut to its column.
TEST_F(Splitten, GrößenUndNichtTextQuellen) {
    Anlegen(u"Adressen", {{u"PLZ", dbLong}, {u"Notiz", dbMemo}},
            {{Variante(12345), Variante(Text(300, u'a') + u";" + Text(10, u'b'))}, {Variante(0), T(u"x;y")}});
    Seite(SplittenPostleitzahlOrt, u"PLZ", {u"P", u"O"});
    Starten();
    ErwarteErfolg();
    EXPECT_EQ(
        Felder(u"Ergebnis"),
        (std::vector<Feldbild>{{u"PLZ", dbLong, 0}, {u"P", dbText, 255}, {u"O", dbText, 255}, {u"Notiz", dbMemo, 0}}));
    // A number 0 is the empty value: no parts.
    EXPECT_EQ(Spaltenwerte(u"Ergebnis", u"P"), (std::vector<std::string>{"12345", "<Null>"}));
    EXPECT_EQ(Spaltenwerte(u"Ergebnis", u"O"), (std::vector<std::string>{"<Null>", "<Null>"}));

    gDatenbank->TableDefs().Delete(u"Ergebnis");
    Seite(SplittenBeliebig, u"Notiz", {u"Vorn", u"Hinten"}, u";");
    Starten();
    ErwarteErfolg();
    EXPECT_EQ(Spaltenwerte(u"Ergebnis", u"Vorn"), (std::vector<std::string>{W(Variante(Text(255, u'a'))), "x"}));
    EXPECT_EQ(Spaltenwerte(u"Ergebnis", u"Hinten"), (std::vector<std::string>{W(Variante(Text(10, u'b'))), "y"}));
}

// Type 2 adds three columns of the source's size right behind it.
TEST_F(Splitten, DreiSpaltenHinterDerQuelle) {
    Anlegen(u"Adressen", {{u"Firma", dbText, 30}, {u"Kontakt", dbText, 60}, {u"Ort", dbText, 30}},
            {{T(u"F"), T(u"Herr Hans Beispiel"), T(u"O")}});
    Seite(SplittenAnredeVornameName, u"Kontakt", {u"Anrede", u"Vorname", u"Nachname"});
    Starten();
    ErwarteErfolg();
    EXPECT_EQ(Felder(u"Ergebnis"), (std::vector<Feldbild>{{u"Firma", dbText, 30},
                                                          {u"Kontakt", dbText, 60},
                                                          {u"Anrede", dbText, 60},
                                                          {u"Vorname", dbText, 60},
                                                          {u"Nachname", dbText, 60},
                                                          {u"Ort", dbText, 30}}));
    EXPECT_EQ(Felder(u"Adressen").size(), 3u);
}

TEST_F(Splitten, QuellspaltenLöschen) {
    Anlegen(u"Adressen", {{u"ID", dbLong}, {u"Ort", dbText, 40}}, {{Variante(1), T(u"12345 Berlin")}});
    Seite(SplittenPostleitzahlOrt, u"Ort", {u"PLZ", u"Stadt"}, u"/", true);
    Starten();
    ErwarteErfolg();
    EXPECT_TRUE(ui.meldungen.empty());
    EXPECT_EQ(Felder(u"Ergebnis"),
              (std::vector<Feldbild>{{u"ID", dbLong, 0}, {u"PLZ", dbText, 40}, {u"Stadt", dbText, 40}}));
    EXPECT_EQ(ui.Beschriftung(u"lblInformation"), u"Lösche alte Felder ...");
    EXPECT_EQ(Felder(u"Adressen").size(), 2u);
}

// An indexed source column stays, with the warning naming it; the run ends on page 32.
TEST_F(Splitten, IndexfeldWirdNichtGelöscht) {
    Anlegen(u"Adressen", {{u"Telefon", dbText, 20}, {u"Telefax", dbText, 20}}, {{T(u"030 1234"), T(u"030 5678")}});
    Indizieren(u"Adressen", u"Telefon");
    Seite(SplittenTelefonTelefax, u"Telefon", {u"V", u"T", u"F"}, u"/", true, u"Telefax");
    ui.Antworten(vb::OK, u"\"Telefon\" konnte nicht gelöscht werden.\rVermutlich handelt es sich um ein Indexfeld.");
    Starten();
    ErwarteErfolg();
    ASSERT_EQ(ui.meldungen.size(), 1u);
    EXPECT_EQ(ui.meldungen[0].stil, vb::OKOnly + vb::Exclamation);
    EXPECT_EQ(ui.meldungen[0].titel, u"");
    EXPECT_EQ(
        Felder(u"Ergebnis"),
        (std::vector<Feldbild>{{u"Telefon", dbText, 20}, {u"V", dbText, 40}, {u"T", dbText, 40}, {u"F", dbText, 40}}));
    EXPECT_EQ(Spaltenwerte(u"Ergebnis", u"F"), (std::vector<std::string>{"5678"}));
}

// "Abbrechen" after 2500 records: no target, the source as it was, page 3 set up.
TEST_F(Splitten, AbbruchNach2500Datensätzen) {
    std::vector<std::vector<Variante>> zeilen;
    for (int32_t i = 1; i <= 3000; ++i)
        zeilen.push_back({Variante(i), Variante(u"1000" + ausUtf8(std::to_string(i % 10)) + u" Ort")});
    Anlegen(u"Adressen", {{u"ID", dbLong}, {u"Ort", dbText, 40}}, zeilen);
    const auto vorher = Zeilen(u"Adressen");
    int gesehen = 0;
    int32_t festgeschrieben = -1;
    ui.beiEreignissen = [&] {
        if (++gesehen != 2500) return;
        // What another connection sees is what the batches committed so far.
        auto andere = CreateWorkspace(u"", u"Admin", u"", 2)->OpenDatabase(ausUtf8(tmp / "daten.sqlite"));
        festgeschrieben = DatensätzeZählen(andere->OpenRecordset(u"Ergebnis"));
        EXPECT_FALSE(ui.aktiv.count(u"btnZurück") && !ui.aktiv[u"btnZurück"]);
        gAbbruch = true;
    };
    Seite(SplittenPostleitzahlOrt, u"Ort", {u"PLZ", u"Stadt"});
    Starten();
    EXPECT_EQ(gesehen, 2500);
    EXPECT_EQ(festgeschrieben, 2001);
    EXPECT_EQ(gFortschrittPosition, 2499);
    EXPECT_FALSE(Gibt(u"Ergebnis"));
    EXPECT_EQ(Zeilen(u"Adressen").size(), vorher.size());
    const auto nachher = Zeilen(u"Adressen");
    for (size_t i = 0; i < vorher.size(); ++i) EXPECT_EQ(W(nachher[i][1]), W(vorher[i][1]));
    EXPECT_EQ(Felder(u"Adressen").size(), 2u);
    EXPECT_EQ(ui.Beschriftung(u"lblInformation"), u"Breche Vorgang ab ...");
    EXPECT_EQ(ui.Beschriftung(u"lblDatensätze"), u"3000 Datensätze insgesamt");
    EXPECT_FALSE(ui.timer[u"tmrDauer"].aktiv);
    EXPECT_FALSE(ui.timer[u"tmrFortschritt"].aktiv);
    ASSERT_FALSE(ui.geschlosseneRahmen.empty());
    EXPECT_EQ(ui.geschlosseneRahmen.back(), std::make_pair(int16_t(6), false));
    EXPECT_EQ(ui.geöffneteRahmen.back(), std::make_pair(int16_t(3), true));
    EXPECT_TRUE(ui.aktiv[u"btnZurück"]);
    // The workspace holds no open transaction afterwards.
    EXPECT_THROW(gArbeitsbereich->CommitTrans(), LaufzeitFehler);
}

// No to the overwrite question: the run ends on page 3 and the table stays as it was.
TEST_F(Splitten, ÜberschreibenAbgelehnt) {
    Anlegen(u"Adressen", {{u"Ort", dbText, 40}}, {{T(u"12345 Berlin")}});
    Anlegen(u"Ergebnis", {{u"Alt", dbText, 10}}, {{T(u"bleibt")}, {T(u"auch")}});
    Seite(SplittenPostleitzahlOrt, u"Ort", {u"PLZ", u"Stadt"});
    ui.Antworten(vb::No, u"Sind sie sicher, dass die Tabelle \"Ergebnis\"");
    Starten();
    EXPECT_TRUE(gAbbruch);
    EXPECT_EQ(gAktuellerRahmen, 3);
    EXPECT_EQ(Felder(u"Ergebnis"), (std::vector<Feldbild>{{u"Alt", dbText, 10}}));
    EXPECT_EQ(Spaltenwerte(u"Ergebnis", u"Alt"), (std::vector<std::string>{"bleibt", "auch"}));
}

// Yes replaces the table; a cancel afterwards drops the new one, which this run made.
TEST_F(Splitten, ÜberschriebenUndAbgebrochen) {
    Anlegen(u"Adressen", {{u"Ort", dbText, 40}}, {{T(u"12345 Berlin")}, {T(u"80331 München")}});
    Anlegen(u"Ergebnis", {{u"Alt", dbText, 10}}, {{T(u"alt")}});
    Seite(SplittenPostleitzahlOrt, u"Ort", {u"PLZ", u"Stadt"});
    ui.Antworten(vb::Yes, u"inklusive ihrer Relationen überschrieben werden soll?");
    ui.beiEreignissen = [] { gAbbruch = true; };
    Starten();
    EXPECT_FALSE(Gibt(u"Ergebnis"));
    EXPECT_EQ(gAktuellerRahmen, 3);
    EXPECT_FALSE(VomLaufAngelegt(u"Ergebnis"));
}

// The new names pass the page's rules before anything is created.
TEST_F(Splitten, EingabenWerdenGeprüft) {
    struct Fall {
        int typ;
        std::vector<Text> namen;
        Text trennzeichen;
        Text verbindung;
        const char16_t* meldung;
    };
    const Fall fälle[] = {
        {SplittenPostleitzahlOrt, {u"PLZ", u""}, u"/", u"", u"Geben sie einen Namen für das Zielfeld an."},
        {SplittenPostleitzahlOrt, {u"plz", u"ORT"}, u"/", u"", u"Das Zielfeld exisitiert bereits."},
        {SplittenPostleitzahlOrt,
         {u"Strasse", u"STRASSE"},
         u"/",
         u"",
         u"Die Zielfelder müssen verschiedene Namen haben."},
        {SplittenPostleitzahlOrt,
         {u"Straße", u"STRASSE"},
         u"/",
         u"",
         u"Die Zielfelder müssen verschiedene Namen haben."},
        {SplittenAnredeVornameName, {u"A", u"B", u""}, u"/", u"", u"Geben sie einen Namen für das Zielfeld an."},
        {SplittenBeliebig, {u"A", u"B"}, u"", u"", u"Sie müssen ein Trennzeichen angeben, nach\rdem das Feld"},
        {SplittenPostleitzahlOrt, {u"Postleitzahl", u"B"}, u"/", u"Dbase 5;", u"länger als 10 Zeichen"},
        {SplittenPostleitzahlOrt, {u"A.B", u"B"}, u"/", u"", u"enthält ungültige Zeichen"},
    };
    Anlegen(u"Adressen", {{u"Ort", dbText, 40}, {u"PLZ", dbText, 5}}, {{T(u"12345 Berlin"), T(u"1")}});
    for (const auto& f : fälle) {
        SCOPED_TRACE(u8(f.meldung));
        gDAOVerbindung = f.verbindung;
        Seite(f.typ, u"Ort", f.namen, f.trennzeichen);
        ui.Antworten(vb::OK, f.meldung);
        ui.geöffneteRahmen.clear();
        gAbbruch = gFehlerAbbruch = true;  // as the run before left them
        Starten();
        EXPECT_FALSE(gAbbruch || gFehlerAbbruch);
        EXPECT_EQ(ui.meldungen.back().titel, u" Achtung!");
        EXPECT_FALSE(Gibt(u"Ergebnis"));
        EXPECT_EQ(ui.geöffneteRahmen, (std::vector<std::pair<int16_t, bool>>{{31, false}}));
    }
    // Names typed with blanks around are used trimmed; the third box is ignored for type 0.
    gDAOVerbindung.clear();
    Seite(SplittenPostleitzahlOrt, u"Ort", {u"  Zahl ", u" Stadt", u"Ort"});
    Starten();
    ErwarteErfolg();
    EXPECT_EQ(Felder(u"Ergebnis")[1].name, u"Zahl");
    EXPECT_EQ(Felder(u"Ergebnis")[2].name, u"Stadt");
}

// One record commits after it and once more, empty, at the end.
TEST_F(Splitten, EinDatensatz) {
    Anlegen(u"Adressen", {{u"Ort", dbText, 40}}, {{T(u"12345 Berlin")}});
    Seite(SplittenPostleitzahlOrt, u"Ort", {u"PLZ", u"Stadt"});
    Starten();
    ErwarteErfolg();
    EXPECT_EQ(ui.Beschriftung(u"lblDatensätze"), u"1 Datensätze insgesamt");
    EXPECT_EQ(ui.Beschriftung(u"lblTeilFortschritt"), u"100 %");
    EXPECT_EQ(Spaltenwerte(u"Ergebnis", u"Stadt"), (std::vector<std::string>{"Berlin"}));
    EXPECT_THROW(gArbeitsbereich->CommitTrans(), LaufzeitFehler);
}

// A failing step shows the error box with the position; abort cancels the run.
TEST_F(Splitten, FehlerMitAbbruch) {
    Anlegen(u"Adressen", {{u"Ort", dbText, 40}}, {{T(u"1 A")}, {T(u"2 B")}, {T(u"3 C")}, {T(u"4 D")}});
    int gesehen = 0;
    ui.beiEreignissen = [&] {
        // The target vanishes under the run: writing the next record fails.
        if (++gesehen == 2) gDatenbank->TableDefs().Delete(u"Ergebnis");
    };
    Seite(SplittenBeliebig, u"Ort", {u"Nr", u"Text"}, u" ");
    ui.Antworten(vb::Abort, u"Fehler beim Splitten der Felder \ran der Position: 2");
    Starten();
    ASSERT_FALSE(ui.meldungen.empty());
    EXPECT_EQ(ui.meldungen.back().titel, u" Fehler!");
    EXPECT_TRUE(gFehlerAbbruch);
    EXPECT_FALSE(Gibt(u"Ergebnis"));
    EXPECT_EQ(gAktuellerRahmen, 3);
    EXPECT_EQ(Zeilen(u"Adressen").size(), 4u);
}

// On a dBase folder: the result is written back as its own file, sizes and values
// as on a native database; the source file stays as it was.
TEST_F(Splitten, DbaseOrdner) {
    const std::string ordner = tmp / "dbase";
    std::filesystem::create_directory(ordner);
    DatenbankSchließen(gDatenbank);
    DbaseOrdnerÖffnen(ordner);
    Anlegen(u"Adressen", {{u"ID", dbLong}, {u"ORT", dbText, 30}},
            {{Variante(1), T(u"12345 Berlin-Mitte")}, {Variante(2), N()}, {Variante(3), T(u"Hamburg")}});
    DatenbankSchließen(gDatenbank);
    DbaseOrdnerÖffnen(ordner);

    ui.Antworten(vb::OK, u"länger als 10 Zeichen");
    Seite(SplittenPostleitzahlOrt, u"ORT", {u"POSTLEITZAHL", u"STADT"}, u"/", true);
    FelderSplitten(Variante(u"Adressen"), Variante(u"Ergebnis"));
    EXPECT_FALSE(Gibt(u"Ergebnis"));

    Seite(SplittenPostleitzahlOrt, u"ORT", {u"PLZ", u"STADT"}, u"/", true);
    FelderSplitten(Variante(u"Adressen"), Variante(u"Ergebnis"));
    ErwarteErfolg();
    DatenbankSchließen(gDatenbank);
    EXPECT_TRUE(std::filesystem::exists(ordner + "/Ergebnis.dbf"));

    DbaseOrdnerÖffnen(ordner);
    const auto felder = Felder(u"Ergebnis");
    ASSERT_EQ(felder.size(), 3u);
    EXPECT_EQ(felder[1], (Feldbild{u"PLZ", dbText, 30}));
    EXPECT_EQ(felder[2], (Feldbild{u"STADT", dbText, 30}));
    EXPECT_EQ(Spaltenwerte(u"Ergebnis", u"PLZ"), (std::vector<std::string>{"12345", "<Null>", "<Null>"}));
    EXPECT_EQ(Spaltenwerte(u"Ergebnis", u"STADT"), (std::vector<std::string>{"Berlin-Mitte", "<Null>", "Hamburg"}));
    EXPECT_EQ(Felder(u"Adressen").size(), 2u);
    EXPECT_EQ(Spaltenwerte(u"Adressen", u"ORT"), (std::vector<std::string>{"12345 Berlin-Mitte", "<Null>", "Hamburg"}));
}
