#include "operations/Programmzustand.h"

#include "foundation/mdlDeklarationen.h"
#include "foundation/mdlFeldInhalte.h"
#include "foundation/mdlFeldtypen.h"
#include "foundation/mdlLaufTabellen.h"
#include "foundation/mdlMeldungen.h"
#include "operations/mdlDatenabgleich.h"
#include "operations/mdlMischen.h"
#include "operations/mdlMuellsuche.h"
#include "operations/mdlSplitten.h"
#include "operations/mdlVerschmelzen.h"
#include "search/Suchzeilen.h"
#include "search/mdlDublettenpaare.h"
#include "search/mdlDublettensuche.h"
#include "search/mdlSuche.h"
#include "search/mdlSuchlauf.h"

namespace {

void GrundlagenZurücksetzen() {
    gArbeitsbereich.reset();
    gDatenbankPfad.clear();
    gDatenbank.reset();
    gTabelle1.clear();
    gAnzahlFelder = 0;
    gFelder1.clear();
    gTabelle2.clear();
    gFelder2.clear();
    gZieltabelle.clear();
    gRegSchlüssel.clear();
    gVorgang = VorgangKeiner;
    gAbbruch = false;
    gFehlerAbbruch = false;
    gAktuellerRahmen = 0;
    gSystemmeldung = false;
    gRelevanz = 0.0f;
    gSignifikanz = 0.0f;
    gZuordnungNr = 0;
    gZuordnungTabelle.clear();
    gZuordnung.clear();
    gDAOVerbindung.clear();
    gADOVerbindung.clear();
    gAnzahlDubletten = 0;
    gAnzahlMüll = 0;

    gFortschrittPosition = 0;
    gFortschrittGesamt = 0;
    gFortschrittDauer = 0;

    // Empty until FeldtypenInitialisieren fills them at start-up.
    Typen.Leeren();
    Gruppen.Leeren();

    FeldInhalteZustandZurücksetzen();
    LaufTabellenLeeren();
}

void SucheZurücksetzen() {
    Suchquelle = Variante();
    Suchziel = Variante();
    Suchpuffername.clear();
    Suchzuordnung.clear();
    Suchspaltenzahl = 0;
    Suchdatensatzzahl = 0;
    Anreicherung = false;
    NeueDatenModus = false;
    KontakteDifferenzieren = false;
    rsQuelle.reset();
    rsZiel.reset();
    rsPuffer.reset();
    rsVergleichB.reset();
    rsBereich.reset();
    PositionA = 0;
    PositionB = 0;
    Suchschlüssel.clear();

    Dublettenquelle = Variante();
    Dublettenziel = Variante();
    Dublettenpuffer = Variante();

    SuchArbeiter = 0;
    suche_intern::SuchvergleichsdatenGesperrt = false;
    VergleichsdatenVerwerfen();
    SuchlaufZustandZurücksetzen();
    DublettenpaareZustandZurücksetzen();
}

void VorgängeZurücksetzen() {
    MüllsucheZustandZurücksetzen();
    SplittenZustandZurücksetzen();
    VerschmelzenZustandZurücksetzen();
    MischenZustandZurücksetzen();
    DatenabgleichZustandZurücksetzen();
}

}  // namespace

void ProgrammzustandZurücksetzen() {
    // From the top down: a run's state may hold recordsets of the search's database.
    VorgängeZurücksetzen();
    SucheZurücksetzen();
    GrundlagenZurücksetzen();
}
