// A run's result reaches the user's file before its result page, or the user is
// told why not: on a dBase folder whose next write fails.
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "Tabellentest.h"
#include "common/AccessVorlagen.h"
#include "common/FremdeLeser.h"
#include "common/Jet4Pruefer.h"
#include "common/Stoertreiber.h"
#include "foundation/mdlFeldtypen.h"
#include "operations/mdlMuellsuche.h"
#include "operations/mdlSplitten.h"
#include "operations/mdlVerschmelzen.h"

using namespace dao;

namespace {
struct Lauf {
    const char* name;
    std::function<void(FakeOberfläche&)> seite;
    std::function<void()> starten;
    int16_t ergebnisseite;
};

const std::vector<Lauf> kLäufe = {
    {"Splitten",
     [](FakeOberfläche& ui) {
         ui.WertSetzen(u"cbxSplittenTypus", SplittenBeliebig);
         ui.InhaltSetzen(u"cbxSplitten1", u"ORT");
         ui.InhaltSetzen(u"tbxSplitten1", u"NR");
         ui.InhaltSetzen(u"tbxSplitten2", u"TEXT");
         ui.InhaltSetzen(u"tbxSplitten_Trennzeichen", u" ");
         ui.WertSetzen(u"chkSplittenLöschen", 0);
     },
     [] { FelderSplitten(Variante(u"Adressen"), Variante(u"Ergebnis")); }, rahmen::SplittenProtokoll},
    {"Verschmelzen",
     [](FakeOberfläche& ui) {
         ui.InhaltSetzen(u"cbxVerschmelzen1", u"ORT");
         ui.InhaltSetzen(u"cbxVerschmelzen2", u"NAME");
         ui.InhaltSetzen(u"tbxVerschmolzen", u"ALLES");
         ui.WertSetzen(u"otnTrennzeichen", 0, 0);
         ui.WertSetzen(u"otnTrennzeichen", -1, 1);
         ui.WertSetzen(u"chkVerschmelzenLöschen", 0);
     },
     [] { FelderVerschmelzen(Variante(u"Adressen"), Variante(u"Ergebnis")); }, rahmen::VerschmelzenProtokoll},
    {"Müllsuche",
     [](FakeOberfläche& ui) {
         FeldtypenInitialisieren();
         Feldzuordnung ort;
         ort.Gruppe = GruppeVonFeldtyp(TypOrt);
         ort.Bits = Typen[TypOrt].Bit;
         gFelder1 = {ort, Feldzuordnung()};
         gAnzahlFelder = 2;
         gAktuellerRahmen = -1;
         ui.WertSetzen(u"chkPostalisch", 1);
     },
     [] { MüllsucheStarten(Variante(u"Adressen"), Variante(u"Ergebnis")); }, rahmen::MüllProtokoll},
};

struct Antwort {
    const char* was;
    int fehlschläge;
    int antwort;           // to the box; 0: none expected
    bool ergebnisseite;    // the run ends on its result page
    bool vorDemSchließen;  // the result file stands before the database is closed
};

const std::vector<Antwort> kAntworten = {
    {"gelingt", 0, 0, true, true},
    {"Wiederholen", 1, vb::Retry, true, true},
    {"Ignorieren", 1, vb::Ignore, true, false},
    {"Abbrechen", 1, vb::Abort, false, false},
};

class Rückschreiben : public Tabellentest {};
}  // namespace

TEST_F(Rückschreiben, ErgebnisErreichtDieDateiVorDerErgebnisseite) {
    for (const auto& lauf : kLäufe)
        for (const auto& a : kAntworten) {
            SCOPED_TRACE(std::string(lauf.name) + ": " + a.was);
            const TempVerzeichnis ordner;
            DatenbankSchließen(gDatenbank);
            auto störung = GestörtenDbaseOrdnerÖffnen(ordner.pfad());
            Anlegen(u"Adressen", {{u"ORT", dbText, 30}, {u"NAME", dbText, 20}},
                    {{T(u"1 Berlin"), T(u"Meier")}, {N(), N()}});
            ASSERT_TRUE(DatenbankSpeichern());
            gAbbruch = gFehlerAbbruch = false;
            ui.wechsel.clear();
            lauf.seite(ui);
            störung->fehlschläge = a.fehlschläge;
            if (a.antwort)
                ui.Antworten(a.antwort, u"Fehler beim Speichern der Datenbank.\rSystemmeldung:\r" + kVollerDatenträger);
            lauf.starten();
            EXPECT_EQ(ui.offeneAntworten(), 0u);
            const bool datei = std::filesystem::exists(ordner / "Ergebnis.dbf");
            EXPECT_EQ(datei, a.vorDemSchließen);
            if (a.ergebnisseite) {
                EXPECT_FALSE(gFehlerAbbruch);
                ASSERT_FALSE(ui.wechsel.empty());
                EXPECT_EQ(ui.wechsel.back(), lauf.ergebnisseite);
            } else {
                EXPECT_TRUE(gFehlerAbbruch);
                EXPECT_EQ(gAktuellerRahmen, rahmen::Tabelle);
                EXPECT_FALSE(Gibt(u"Ergebnis"));  // an aborted run leaves no result
            }
            // What the user chose to keep in the working store goes with the close.
            DatenbankSchließen(gDatenbank);
            EXPECT_EQ(std::filesystem::exists(ordner / "Ergebnis.dbf"), a.ergebnisseite);
            EXPECT_TRUE(std::filesystem::exists(ordner / "Adressen.dbf"));
            gDatenbank = gArbeitsbereich->CreateDatabase(ausUtf8(tmp / (std::string(lauf.name) + a.was + ".sqlite")));
        }
}

// The same runs on an Access file: the result table stands in the file when the result
// page shows, as mdbtools reads it, beside the source it left as it was.
TEST_F(Rückschreiben, ErgebnisInDerAccessDatei) {
    ACCESS_FIXTUREN_NOETIG();
    for (const auto& lauf : kLäufe) {
        SCOPED_TRACE(lauf.name);
        const TempVerzeichnis ordner;
        const std::string datei = AccessKopie(ordner, "empty.mdb");
        DatenbankSchließen(gDatenbank);
        DatenbankÖffnen(Variante(ausUtf8(datei)), Variante(u""), gDatenbank);
        ASSERT_FALSE(gFehlerAbbruch);
        Anlegen(u"Adressen", {{u"ORT", dbText, 30}, {u"NAME", dbText, 20}},
                {{T(u"1 Berlin"), T(u"Meier")}, {T(u"2 Köln"), T(u"Schulz")}, {N(), N()}});
        ASSERT_TRUE(DatenbankSpeichern());
        const auto quelle = fremd::MdbExport(datei, "Adressen").zeilen;
        gAbbruch = gFehlerAbbruch = false;
        ui.wechsel.clear();
        lauf.seite(ui);
        lauf.starten();
        EXPECT_FALSE(gAbbruch || gFehlerAbbruch);
        ASSERT_FALSE(ui.wechsel.empty());
        EXPECT_EQ(ui.wechsel.back(), lauf.ergebnisseite);
        const size_t zeilen = TabellenSpalte(u"Ergebnis", u"NAME").size();
        EXPECT_GT(zeilen, 0u);
        EXPECT_EQ(fremd::MdbExport(datei, "Ergebnis").zeilen.size(), zeilen);
        EXPECT_TRUE(fremd::MdbExport(datei, "Adressen").zeilen == quelle);
        for (const auto& p : Jet4Prüfen(DateiBytes(datei))) ADD_FAILURE() << p;
        DatenbankSchließen(gDatenbank);
        gDatenbank = gArbeitsbereich->CreateDatabase(ausUtf8(tmp / (std::string(lauf.name) + ".sqlite")));
    }
}
