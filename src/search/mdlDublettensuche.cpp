#include "search/mdlDublettensuche.h"

#include <string>

#include "foundation/Oberflaeche.h"
#include "foundation/mdlDatenbank.h"
#include "foundation/mdlDeklarationen.h"
#include "foundation/mdlLaufTabellen.h"
#include "foundation/mdlMeldungen.h"
#include "platform/basic/Fehler.h"
#include "search/mdlSuche.h"
#include "search/mdlSuchpuffer.h"

namespace {
bool Abgebrochen() { return gAbbruch || gFehlerAbbruch; }
}  // namespace

Text StatusLöschen(const Text& Tabelle, int Status) {
    return u"DELETE * FROM " + dao::SqlBezeichner(Tabelle) + u" WHERE " + dao::SqlBezeichner(SpalteStatus) + u" = " +
           ausUtf8(std::to_string(Status));
}

void DublettensucheStarten(const Variante& Quelltabelle, const Variante& Zieltabelle) {
    gAbbruch = false;
    gFehlerAbbruch = false;
    LaufTabellenLeeren();
    Dublettenquelle = Quelltabelle;
    Dublettenziel = Zieltabelle;
    Dublettenpuffer = Variante(u"TEMP_DS");
    auto& o = Oberfläche();

    DublettenSuchen(Dublettenquelle, Dublettenziel, gFelder1, true, false);
    if (Abgebrochen()) return DublettensucheAbbrechen();
    if (gAnzahlDubletten < 1) {
        HinweisAnzeigen(Variante(u"Es wurden keine Dubletten gefunden."));
        return DublettensucheAbbrechen();
    }
    o.BeschriftungSetzen(u"lblInformation", u"Bereite Anzeige der Ergebnisse vor ...");
    o.RahmenWechseln(rahmen::Durchführung, rahmen::DublettenNachbearbeitung, true, true);
    o.DublettenBearbeiten();
    if (Abgebrochen()) return DublettensucheAbbrechen();
    o.NachDerBearbeitung();
    KorrigierteTabelleErstellen();
    if (Abgebrochen()) return DublettensucheAbbrechen();
    SuchpufferLöschen();
    if (Abgebrochen()) return DublettensucheAbbrechen();
    // The result reaches the user's file before the run reports it.
    if (!DatenbankSpeichern()) return DublettensucheAbbrechen();
    o.RahmenWechseln(rahmen::DublettenNachbearbeitung, rahmen::DublettenProtokoll, true, true);
}

void KorrigierteTabelleErstellen() {
    Fehlerfalle falle([] { return Text(u"Fehler beim Erstellen der korrigierten Tabelle."); });
    const Text t = Dublettenziel.alsText();
    if (!falle([] { Arbeitsbereich().BeginTrans(); })) return;
    for (int status : {StatusAngereichert, StatusDublette})
        if (!falle([&] { Datenbank().Execute(StatusLöschen(t, status)); })) return;
    if (!falle([] { Arbeitsbereich().CommitTrans(); })) return;
    if (!falle([] { Arbeitsbereich().BeginTrans(); })) return;
    for (const char16_t* s : {SpalteStatus, SpalteNummer, SpalteGruppe, SpalteAnmerkung})
        if (!falle([&] { Datenbank().TableDefs()[t]->Fields().Delete(s); })) return;
    if (!falle([] { Arbeitsbereich().CommitTrans(); })) return;
    // Keys the kept records break cannot be given back: the run ends instead of
    // writing a table without them, whether the box was answered abort or ignore.
    bool zurück = false;
    if (!falle([&] {
            IndizesWiederherstellen(t, Suchschlüssel);
            zurück = true;
        }))
        return;
    if (!zurück) gFehlerAbbruch = true;
}

void DublettensucheAbbrechen() {
    auto& o = Oberfläche();
    o.AktivSetzen(u"btnZurück", false);
    o.BeschriftungSetzen(u"lblInformation", u"Breche Vorgang ab ...");
    Fehlerfalle::ohneFehler([] { Arbeitsbereich().Rollback(); });
    LaufTabelleLöschen(Dublettenziel.alsText());
    LaufTabelleLöschen(Dublettenpuffer.alsText());
    o.RahmenWechseln(gAktuellerRahmen, rahmen::Tabelle, true, true);
    o.AktivSetzen(u"btnZurück", true);
}
