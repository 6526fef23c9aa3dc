// The duplicate search, the matching and the adding write their result to the
// user's file before the result page, or tell the user why not: on a dBase folder
// whose next write fails.
#include <filesystem>
#include <string>
#include <vector>

#include "common/Stoertreiber.h"
#include "foundation/Oberflaeche.h"
#include "operations/mdlDatenabgleich.h"
#include "search/Suchdatenbank.h"
#include "search/mdlDublettensuche.h"

namespace {
struct Lauf {
    const char* name;
    void (*starten)();
    int16_t ergebnisseite;
};

const std::vector<Feldzuordnung> kFelder = {Index, Firmenname};
const std::vector<Lauf> kLäufe = {
    {"Dublettensuche", [] { DublettensucheStarten(Variante(u"Adressen"), Variante(u"Ergebnis")); },
     rahmen::DublettenProtokoll},
    {"Datenabgleich",
     [] { DatenabgleichStarten(Variante(u"Adressen"), Variante(u"NEU"), Variante(u"Ergebnis"), kFelder, kFelder); },
     rahmen::DatenabgleichProtokoll},
    {"Neue Daten",
     [] { NeueDatenStarten(Variante(u"Adressen"), Variante(u"NEU"), Variante(u"Ergebnis"), kFelder, kFelder); },
     rahmen::NeueDatenProtokoll},
};

struct Fall {
    const char* was;
    int fehlschläge;
    int antwort;  // 0: no box expected
    bool ergebnisseite;
    bool vorDemSchließen;  // Ergebnis.dbf stands before the close
};

class Rückschreiben : public Suchdatenbank {
protected:
    void SetUp() override {
        Suchdatenbank::SetUp();
        gSystemmeldung = true;  // as the program starts
    }
};
}  // namespace

TEST_F(Rückschreiben, ErgebnisErreichtDieDateiVorDerErgebnisseite) {
    const std::vector<Fall> fälle = {
        {"gelingt", 0, 0, true, true},
        {"Wiederholen", 1, vb::Retry, true, true},
        {"Ignorieren", 1, vb::Ignore, true, false},
        {"Abbrechen", 1, vb::Abort, false, false},
    };
    for (const auto& lauf : kLäufe)
        for (const auto& f : fälle) {
            SCOPED_TRACE(std::string(lauf.name) + ": " + f.was);
            const TempVerzeichnis ordner;
            DatenbankSchließen(gDatenbank);
            auto störung = GestörtenDbaseOrdnerÖffnen(ordner.pfad());
            const std::vector<Testspalte> spalten = {{u"NR", dao::dbLong}, {u"FIRMA"}};
            TesttabelleAnlegen(u"Adressen", spalten,
                               {{Variante(1), Variante(u"Müller GmbH")},
                                {Variante(2), Variante(u"Müller GmbH")},
                                {Variante(3), Variante(u"Anders")}});
            TesttabelleAnlegen(u"NEU", spalten, {{Variante(7), Variante(u"Müller GmbH")}});
            ASSERT_TRUE(DatenbankSpeichern());
            gFelder1 = kFelder;
            Pass(0, {2});
            gAktuellerRahmen = rahmen::Suchoptionen;
            oberfläche.wechsel.clear();
            oberfläche.beiDublettenBearbeiten = [] { return 0; };
            störung->fehlschläge = f.fehlschläge;
            if (f.antwort)
                oberfläche.Antworten(f.antwort,
                                     u"Fehler beim Speichern der Datenbank.\rSystemmeldung:\r" + kVollerDatenträger);
            lauf.starten();
            EXPECT_EQ(oberfläche.offeneAntworten(), 0u);
            EXPECT_EQ(std::filesystem::exists(ordner / "Ergebnis.dbf"), f.vorDemSchließen);
            for (const char* arbeit : {"TEMP_DS.dbf", "TEMP_DA.dbf", "TEMP_ND.dbf"})
                EXPECT_FALSE(std::filesystem::exists(ordner / arbeit)) << arbeit;
            if (f.ergebnisseite) {
                EXPECT_FALSE(gAbbruch || gFehlerAbbruch);
                ASSERT_FALSE(oberfläche.wechsel.empty());
                EXPECT_EQ(oberfläche.wechsel.back(), lauf.ergebnisseite);
            } else {
                EXPECT_TRUE(gFehlerAbbruch);
                EXPECT_EQ(gAktuellerRahmen, rahmen::Tabelle);
                EXPECT_FALSE(Gibt(u"Ergebnis"));
            }
            DatenbankSchließen(gDatenbank);
            EXPECT_FALSE(gDatenbank);
            EXPECT_EQ(std::filesystem::exists(ordner / "Ergebnis.dbf"), f.ergebnisseite);
            gAbbruch = gFehlerAbbruch = false;
            gDatenbank = gArbeitsbereich->CreateDatabase(ausUtf8(tmp / (std::string(lauf.name) + f.was + ".sqlite")));
        }
}
