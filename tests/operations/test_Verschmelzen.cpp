#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "Tabellentest.h"
#include "common/Dbaseordner.h"
#include "foundation/Oberflaeche.h"
#include "operations/mdlVerschmelzen.h"

using namespace dao;

namespace {
class Verschmelzen : public Tabellentest {
protected:
    // The merge page as the user left it.
    void Seite(const Text& spalte1, const Text& spalte2, const Text& name, bool mitTrennzeichen,
               const Text& trennzeichen = u"-", bool löschen = false) {
        ui.InhaltSetzen(u"cbxVerschmelzen1", spalte1);
        ui.InhaltSetzen(u"cbxVerschmelzen2", spalte2);
        ui.InhaltSetzen(u"tbxVerschmolzen", name);
        ui.WertSetzen(u"otnTrennzeichen", mitTrennzeichen ? -1 : 0, 0);
        ui.WertSetzen(u"otnTrennzeichen", mitTrennzeichen ? 0 : -1, 1);
        ui.InhaltSetzen(u"tbxTrennzeichen", trennzeichen);
        ui.WertSetzen(u"chkVerschmelzenLöschen", löschen ? 1 : 0);
    }
    void Starten() { FelderVerschmelzen(Variante(u"Adressen"), Variante(u"Ergebnis")); }
    void ErwarteErfolg() {
        EXPECT_FALSE(gAbbruch);
        EXPECT_FALSE(gFehlerAbbruch);
        ASSERT_FALSE(ui.wechsel.empty());
        EXPECT_EQ(ui.wechsel.back(), 42);
    }
    void Neu() {
        gDatenbank->TableDefs().Delete(u"Ergebnis");
        ui.wechsel.clear();
    }
};
}  // namespace

// With and without separator, with Null and empty parts.
TEST_F(Verschmelzen, MitUndOhneTrennzeichen) {
    Anlegen(u"Adressen", {{u"A", dbText, 20}, {u"B", dbText, 30}},
            {{T(u"AB"), T(u"CD")}, {T(u"AB"), N()}, {N(), T(u"CD")}, {N(), N()}, {T(u""), T(u"CD")}, {T(u""), T(u"")}});
    Seite(u"A", u"B", u"AB", true, u"-");
    Starten();
    ErwarteErfolg();
    EXPECT_EQ(Spaltenwerte(u"Ergebnis", u"AB"),
              (std::vector<std::string>{"AB-CD", "AB", "CD", "<Null>", "CD", "<Null>"}));
    EXPECT_EQ(Felder(u"Ergebnis"),
              (std::vector<Feldbild>{{u"A", dbText, 20}, {u"AB", dbText, 51}, {u"B", dbText, 30}}));

    Neu();
    Seite(u"A", u"B", u"AB", false, u"-");
    Starten();
    ErwarteErfolg();
    EXPECT_EQ(Spaltenwerte(u"Ergebnis", u"AB"),
              (std::vector<std::string>{"ABCD", "AB", "CD", "<Null>", "CD", "<Null>"}));
    EXPECT_EQ(Felder(u"Ergebnis")[1], (Feldbild{u"AB", dbText, 50}));

    // A separator of three characters fills the column to its size without a refusal.
    Neu();
    Anlegen(u"Voll", {{u"A", dbText, 20}, {u"B", dbText, 30}}, {{Variante(Text(20, u'a')), Variante(Text(30, u'b'))}});
    ui.InhaltSetzen(u"cbxVerschmelzen1", u"A");
    ui.InhaltSetzen(u"tbxTrennzeichen", u" / ");
    ui.WertSetzen(u"otnTrennzeichen", -1, 0);
    FelderVerschmelzen(Variante(u"Voll"), Variante(u"Ergebnis"));
    ErwarteErfolg();
    EXPECT_EQ(Spaltenwerte(u"Ergebnis", u"AB"),
              (std::vector<std::string>{nachUtf8(Text(20, u'a') + u" / " + Text(30, u'b'))}));
    EXPECT_EQ(Felder(u"Ergebnis")[1], (Feldbild{u"AB", dbText, 53}));
}

// The new column stands behind the first chosen column, also when the second comes
// first; other columns keep their order, types and sizes; numbers join as text.
TEST_F(Verschmelzen, SpaltenfolgeUndGrößen) {
    Anlegen(u"Adressen", {{u"Nr", dbLong}, {u"Ort", dbText, 200}, {u"Notiz", dbMemo}, {u"Straße", dbText, 100}},
            {{Variante(7), T(u"Berlin"), Variante(Text(300, u'n')), T(u"Hauptstraße")}});
    Seite(u"Straße", u"Ort", u"Anschrift", true, u", ");
    Starten();
    ErwarteErfolg();
    EXPECT_EQ(Felder(u"Ergebnis"), (std::vector<Feldbild>{{u"Nr", dbLong, 0},
                                                          {u"Ort", dbText, 200},
                                                          {u"Notiz", dbMemo, 0},
                                                          {u"Straße", dbText, 100},
                                                          {u"Anschrift", dbText, 255}}));
    EXPECT_EQ(Spaltenwerte(u"Ergebnis", u"Anschrift"), (std::vector<std::string>{"Hauptstraße, Berlin"}));
    EXPECT_EQ(Spaltenwerte(u"Ergebnis", u"Notiz"), (std::vector<std::string>{nachUtf8(Text(300, u'n'))}));

    // A number column counts as 255; a join longer than 255 is cut to 255.
    Neu();
    Seite(u"Nr", u"Notiz", u"Gesamt", false);
    Starten();
    ErwarteErfolg();
    EXPECT_EQ(Felder(u"Ergebnis")[1], (Feldbild{u"Gesamt", dbText, 255}));
    EXPECT_EQ(Spaltenwerte(u"Ergebnis", u"Gesamt"), (std::vector<std::string>{nachUtf8(u"7" + Text(254, u'n'))}));
}

TEST_F(Verschmelzen, QuellspaltenLöschen) {
    Anlegen(u"Adressen", {{u"ID", dbLong}, {u"Vorname", dbText, 20}, {u"Name", dbText, 20}},
            {{Variante(1), T(u"Hans"), T(u"Beispiel")}});
    Seite(u"Vorname", u"Name", u"Kontakt", true, u" ", true);
    Starten();
    ErwarteErfolg();
    EXPECT_TRUE(ui.meldungen.empty());
    EXPECT_EQ(Felder(u"Ergebnis"), (std::vector<Feldbild>{{u"ID", dbLong, 0}, {u"Kontakt", dbText, 41}}));
    EXPECT_EQ(Spaltenwerte(u"Ergebnis", u"Kontakt"), (std::vector<std::string>{"Hans Beispiel"}));

    // An indexed column stays and is named; the other one goes.
    Neu();
    Indizieren(u"Adressen", u"Name");
    ui.Antworten(vb::OK,
                 u"Das Feld \"Name\" konnte nicht gelöscht werden.\rVermutlich handelt es sich um ein Indexfeld.");
    Starten();
    ErwarteErfolg();
    EXPECT_EQ(Felder(u"Ergebnis"),
              (std::vector<Feldbild>{{u"ID", dbLong, 0}, {u"Kontakt", dbText, 41}, {u"Name", dbText, 20}}));
}

TEST_F(Verschmelzen, EingabenWerdenGeprüft) {
    struct Fall {
        Text spalte1, spalte2, name;
        const char16_t* meldung;
    };
    const Fall fälle[] = {
        {u"", u"", u"X", u"Ein Feld kann nicht mit sich selbst verschmolzen werden."},
        {u"A", u"A", u"X", u"Ein Feld kann nicht mit sich selbst verschmolzen werden."},
        {u"A", u"B", u"  ", u"Geben sie einen Namen für das verschmolzene Feld an."},
        {u"A", u"B", u"a", u"Das Zielfeld exisitiert bereits. Bitte wählen sie einen anderen Namen."},
        {u"A", u"Fehlt", u"X", u"Wählen sie bitte die beiden Felder aus"},
    };
    Anlegen(u"Adressen", {{u"A", dbText, 20}, {u"B", dbText, 30}}, {{T(u"a"), T(u"b")}});
    for (const auto& f : fälle) {
        SCOPED_TRACE(u8(f.meldung));
        Seite(f.spalte1, f.spalte2, f.name, true);
        ui.Antworten(vb::OK, f.meldung);
        ui.geöffneteRahmen.clear();
        gAbbruch = gFehlerAbbruch = true;  // as the run before left them
        Starten();
        EXPECT_FALSE(gAbbruch || gFehlerAbbruch);
        EXPECT_EQ(ui.meldungen.back().titel, u" Achtung!");
        EXPECT_FALSE(Gibt(u"Ergebnis"));
        EXPECT_EQ(ui.geöffneteRahmen, (std::vector<std::pair<int16_t, bool>>{{41, false}}));
    }
}

// A cancel in the copy loop leaves neither target nor changes; No to the overwrite
// question keeps the existing table.
TEST_F(Verschmelzen, AbbruchUndAbgelehntesÜberschreiben) {
    std::vector<std::vector<Variante>> zeilen;
    for (int32_t i = 1; i <= 1500; ++i) zeilen.push_back({Variante(i), T(u"x")});
    Anlegen(u"Adressen", {{u"A", dbLong}, {u"B", dbText, 5}}, zeilen);
    int gesehen = 0;
    ui.beiEreignissen = [&] {
        if (++gesehen == 1200) gAbbruch = true;
    };
    Seite(u"A", u"B", u"AB", false);
    Starten();
    EXPECT_FALSE(Gibt(u"Ergebnis"));
    EXPECT_EQ(Zeilen(u"Adressen").size(), 1500u);
    EXPECT_EQ(Felder(u"Adressen").size(), 2u);
    EXPECT_EQ(gAktuellerRahmen, 3);
    EXPECT_EQ(ui.Beschriftung(u"lblInformation"), u"Breche Vorgang ab ...");

    ui.beiEreignissen = nullptr;
    Anlegen(u"Ergebnis", {{u"Alt", dbText, 10}}, {{T(u"bleibt")}});
    ui.Antworten(vb::No, u"Sind sie sicher, dass die Tabelle \"Ergebnis\"");
    Starten();
    EXPECT_EQ(gAktuellerRahmen, 3);
    EXPECT_EQ(Felder(u"Ergebnis"), (std::vector<Feldbild>{{u"Alt", dbText, 10}}));
    EXPECT_EQ(Spaltenwerte(u"Ergebnis", u"Alt"), (std::vector<std::string>{"bleibt"}));
}

// On a dBase folder: a merge writes its result file; a cancelled one leaves no file
// behind and the source file byte for byte as it was.
TEST_F(Verschmelzen, DbaseOrdner) {
    const std::string ordner = tmp / "dbase";
    std::filesystem::create_directory(ordner);
    const auto lesen = [](const std::string& datei) {
        std::ifstream f(datei, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
    };
    DatenbankSchließen(gDatenbank);
    DbaseOrdnerÖffnen(ordner);
    std::vector<std::vector<Variante>> zeilen;
    for (int32_t i = 1; i <= 1200; ++i) zeilen.push_back({T(u"Hans"), Variante(u"Nr" + ausUtf8(std::to_string(i)))});
    Anlegen(u"Adressen", {{u"VORNAME", dbText, 20}, {u"NAME", dbText, 20}}, zeilen);
    DatenbankSchließen(gDatenbank);
    const std::string quelle = lesen(ordner + "/Adressen.dbf");
    ASSERT_FALSE(quelle.empty());

    DbaseOrdnerÖffnen(ordner);
    int gesehen = 0;
    ui.beiEreignissen = [&] {
        if (++gesehen == 1100) gAbbruch = true;
    };
    Seite(u"VORNAME", u"NAME", u"KONTAKT", true, u" ");
    Starten();
    EXPECT_EQ(gAktuellerRahmen, 3);
    DatenbankSchließen(gDatenbank);
    EXPECT_FALSE(std::filesystem::exists(ordner + "/Ergebnis.dbf"));
    EXPECT_EQ(lesen(ordner + "/Adressen.dbf"), quelle);

    DbaseOrdnerÖffnen(ordner);
    ui.beiEreignissen = nullptr;
    Starten();
    ErwarteErfolg();
    DatenbankSchließen(gDatenbank);
    DbaseOrdnerÖffnen(ordner);
    EXPECT_EQ(Felder(u"Ergebnis"),
              (std::vector<Feldbild>{{u"VORNAME", dbText, 20}, {u"KONTAKT", dbText, 41}, {u"NAME", dbText, 20}}));
    const auto werte = Spaltenwerte(u"Ergebnis", u"KONTAKT");
    ASSERT_EQ(werte.size(), 1200u);
    EXPECT_EQ(werte.front(), "Hans Nr1");
    EXPECT_EQ(werte.back(), "Hans Nr1200");
}
