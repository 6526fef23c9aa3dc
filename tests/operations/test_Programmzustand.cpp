// The core's state back at its start values: every module's globals and file statics,
// and the shared fixtures, whose SetUp hands each test that state whatever ran before.
#include <gtest/gtest.h>

#include "Tabellentest.h"
#include "common/FakeOberflaeche.h"
#include "common/TempVerzeichnis.h"
#include "foundation/mdlAllgemeines.h"
#include "foundation/mdlDeklarationen.h"
#include "foundation/mdlFeldtypen.h"
#include "foundation/mdlLaufTabellen.h"
#include "foundation/mdlMeldungen.h"
#include "operations/Programmzustand.h"
#include "platform/dao/Dao.h"
#include "search/Suchdatenbank.h"
#include "search/Suchzeilen.h"
#include "search/mdlDublettenpaare.h"
#include "search/mdlDublettensuche.h"
#include "search/mdlSuche.h"
#include "search/mdlSuchlauf.h"

namespace {

int BenannteFeldtypen() {
    int n = 0;
    for (int c = Typen.Untergrenze(); c <= Typen.Obergrenze(); ++c) n += !Typen[c].Name.empty() || Typen[c].Bit != -1;
    return n;
}

// What a run leaves behind in every module, none of it a start value.
void Verschmutzen() {
    gDatenbankPfad = u"/tmp/kunden.mdb";
    gTabelle1 = u"Kunden";
    gAnzahlFelder = 3;
    gFelder1 = {{2, 1}, {3, 1}, {3, 8}};
    gTabelle2 = u"Neu";
    gZieltabelle = u"Kunden_bereinigt";
    gRegSchlüssel = u"Software\\Purivo";
    gVorgang = VorgangMüll;
    gAbbruch = gFehlerAbbruch = true;
    gAktuellerRahmen = 21;
    gSystemmeldung = true;
    gZuordnungNr = 2;
    gZuordnung = {{4, 4}};
    gDAOVerbindung = u"Dbase 5;";
    gAnzahlDubletten = 4;
    gAnzahlMüll = 7;
    gFortschrittGesamt = 10;
    gFortschrittPosition = 5;
    LaufTabelleAngelegt(u"TEMP_DS");

    Suchquelle = Variante(u"Kunden");
    Suchpuffername = u"TEMP_DS";
    Suchzuordnung = {{2, 1}};
    Suchspaltenzahl = 1;
    Suchdatensatzzahl = 9;
    Anreicherung = NeueDatenModus = KontakteDifferenzieren = true;
    PositionA = 5;
    Dublettenziel = Variante(u"Kunden_bereinigt");
    SuchArbeiter = 1;
    suche_intern::SuchvergleichsdatenGesperrt = true;
    DublettenpaareZurücksetzen();
    DublettenpaarEintragen(1, 2);
    DublettenpaareSchranke = 10;
    DublettenlisteZurücksetzen();
    DatensatzEintragen(1, 1);
}

// The start values of what Verschmutzen changed, apart from what a fixture sets itself.
void StartwerteErwarten() {
    EXPECT_TRUE(gDatenbankPfad.empty());
    EXPECT_TRUE(gTabelle1.empty());
    EXPECT_EQ(gAnzahlFelder, 0);
    EXPECT_TRUE(gFelder1.empty());
    EXPECT_TRUE(gTabelle2.empty());
    EXPECT_TRUE(gZieltabelle.empty());
    EXPECT_TRUE(gRegSchlüssel.empty());
    EXPECT_EQ(gVorgang, VorgangKeiner);
    EXPECT_FALSE(gAbbruch);
    EXPECT_FALSE(gFehlerAbbruch);
    EXPECT_EQ(gZuordnungNr, 0);
    EXPECT_TRUE(gZuordnung.empty());
    EXPECT_TRUE(gDAOVerbindung.empty());
    EXPECT_EQ(gAnzahlDubletten, 0);
    EXPECT_EQ(gAnzahlMüll, 0);
    EXPECT_EQ(gFortschrittGesamt, 0);
    EXPECT_EQ(gFortschrittPosition, 0);
    EXPECT_FALSE(VomLaufAngelegt(u"TEMP_DS"));

    EXPECT_TRUE(Suchquelle.istEmpty());
    EXPECT_TRUE(Suchpuffername.empty());
    EXPECT_TRUE(Suchzuordnung.empty());
    EXPECT_EQ(Suchspaltenzahl, 0);
    EXPECT_EQ(Suchdatensatzzahl, 0);
    EXPECT_FALSE(Anreicherung);
    EXPECT_FALSE(NeueDatenModus);
    EXPECT_FALSE(KontakteDifferenzieren);
    EXPECT_EQ(PositionA, 0);
    EXPECT_TRUE(Dublettenziel.istEmpty());
    EXPECT_EQ(SuchArbeiter, 0);
    EXPECT_FALSE(suche_intern::SuchvergleichsdatenGesperrt);
    EXPECT_EQ(DublettenpaareSchranke, DublettenpaareHöchstzahl);
    EXPECT_EQ(AnzahlDublettenpaare, 0);
    EXPECT_TRUE(Dublettenpaare.empty());
    EXPECT_TRUE(Dublettenliste.empty());
    EXPECT_FALSE(ZuVieleDublettenGemeldet);
    // The pair and record indexes went with the lists: a new search finds neither.
    DublettenpaareZurücksetzen();
    EXPECT_FALSE(DublettenpaarVorhanden(1, 2));
    DublettenlisteZurücksetzen();
    gAnzahlDubletten = 1;
    EXPECT_FALSE(DatensatzGelistet(1));
    gAnzahlDubletten = 0;
}

// A fixture whose SetUp and TearDown a test runs by hand, to put two tests' runs
// into one assertion.
template <class Fixture>
class VonHand : public Fixture {
public:
    void TestBody() override {}
    void Vor() { this->SetUp(); }
    void Nach() { this->TearDown(); }
};

template <class Fixture>
void ZweiTestsNacheinander() {
    {
        VonHand<Fixture> erster;
        erster.Vor();
        erster.Nach();
    }
    {
        // What a test leaves behind that its own TearDown did not clear.
        FakeOberfläche oberfläche;
        Verschmutzen();
    }
    VonHand<Fixture> zweiter;
    zweiter.Vor();
    StartwerteErwarten();
    zweiter.Nach();
}

}  // namespace

TEST(Programmzustand, SetztJedesModulAufSeineStartwerte) {
    FakeOberfläche oberfläche;
    TempVerzeichnis tmp;
    const Text vorher = ProgrammVerzeichnis();
    ProgrammVerzeichnisSetzen(ausUtf8(tmp.pfad()));  // no settings file: built-in weights
    ProgrammzustandZurücksetzen();
    FeldtypenInitialisieren();
    ASSERT_GT(BenannteFeldtypen(), 0);
    ASSERT_GT(gRelevanz, 0.0f);
    gArbeitsbereich = dao::CreateWorkspace(u"", u"Admin", u"", 2);
    gDatenbank = gArbeitsbereich->CreateDatabase(ausUtf8(tmp / "daten.sqlite"));
    Verschmutzen();

    ProgrammzustandZurücksetzen();

    StartwerteErwarten();
    EXPECT_EQ(BenannteFeldtypen(), 0);
    EXPECT_EQ(gRelevanz, 0.0f);
    EXPECT_EQ(gSignifikanz, 0.0f);
    EXPECT_FALSE(gSystemmeldung);
    EXPECT_EQ(gAktuellerRahmen, 0);
    EXPECT_FALSE(gDatenbank);
    EXPECT_FALSE(gArbeitsbereich);
    ProgrammVerzeichnisSetzen(vorher);
}

TEST(Programmzustand, EinTestDerOperationenSiehtNichtsVomVorigen) { ZweiTestsNacheinander<Tabellentest>(); }

TEST(Programmzustand, EinTestDerSucheSiehtNichtsVomVorigen) { ZweiTestsNacheinander<Suchdatenbank>(); }
