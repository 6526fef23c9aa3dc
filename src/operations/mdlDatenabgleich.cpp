#include "operations/mdlDatenabgleich.h"

#include <string>

#include "foundation/Oberflaeche.h"
#include "foundation/mdlAllgemeines.h"
#include "foundation/mdlDatenbank.h"
#include "foundation/mdlLaufTabellen.h"
#include "foundation/mdlMeldungen.h"
#include "operations/Vorgangsrahmen.h"
#include "operations/mdlMischen.h"
#include "platform/dao/Dao.h"
#include "search/mdlDublettensuche.h"
#include "search/mdlSuche.h"
#include "search/mdlSuchpuffer.h"

namespace {
constexpr const char16_t* SpalteQuelle = u"TEMP_DSQ";
constexpr const char16_t* Suchpuffer = u"TEMP_DS";

// What sets the twins apart; everything else they do alike.
struct Zweitabellenvorgang {
    const char16_t* Mischtabelle;
    bool NeueDaten;  // enriched records start as taken over
    std::vector<Text> (*Löschungen)(const Text& Ziel);
    const char16_t* Fehlertext;
    int16_t Protokoll;
};

const Zweitabellenvorgang Abgleich{u"TEMP_DA", false, DatenabgleichLöschungen,
                                   u"Fehler beim Erstellen der Tabelle mit abgeglichenen Datensätzen.",
                                   rahmen::DatenabgleichProtokoll};
const Zweitabellenvorgang Hinzufügen{u"TEMP_ND", true, NeueDatenLöschungen,
                                     u"Fehler beim Erstellen der Tabelle mit neuen Datensätzen.",
                                     rahmen::NeueDatenProtokoll};

// ---- run state ----

// Quelle: the first table, Ziel: the target. No recordsets of its own: the
// mixing and the search keep theirs.
Vorgangslauf Lauf;
Variante ZweiteTabelle;
Variante Mischtabelle;
// The first table's assignment; after the mixing the mixed table's.
std::vector<Feldzuordnung> Zuordnung1, Zuordnung2;

bool Gestört() { return gAbbruch || gFehlerAbbruch; }

Text Zahl(int n) { return ausUtf8(std::to_string(n)); }

// The target must not be a table the run reads or one of its work tables: the
// overwrite question would otherwise drop a table still to be read.
bool NamenPrüfen(const Variante& Tabelle1, const Variante& Tabelle2, const Variante& Ziel) {
    const Text t1 = Tabelle1.alsText(), t2 = Tabelle2.alsText();
    if (!ReservierteNamenPrüfen({Ziel.alsText(), t1, t2}, {t1, t2})) return false;
    const std::pair<const Variante*, const char16_t*> Quellen[] = {
        {&Tabelle1, u"Die Zieltabelle kann nicht identisch mit der Ausgangstabelle sein."},
        {&Tabelle2, u"Die Zieltabelle kann nicht identisch mit der zweiten Tabelle sein."},
    };
    for (const auto& [quelle, meldung] : Quellen)
        if (Großschreiben(Ziel) == Großschreiben(*quelle)) {
            AchtungAnzeigen(Variante(meldung));
            return false;
        }
    return true;
}

void ErgebnisErstellen(const Zweitabellenvorgang& Art) {
    Fehlerfalle falle([&] { return Text(Art.Fehlertext); });
    const Text t = Lauf.Ziel.alsText();
    if (!Lauf.Beginnen(falle)) return;
    for (const Text& s : Art.Löschungen(t))
        if (!falle([&] { Datenbank().Execute(s); })) return;
    if (!Lauf.Festschreiben(falle) || !Lauf.Beginnen(falle)) return;
    for (const char16_t* s : {SpalteQuelle, SpalteStatus, SpalteNummer, SpalteGruppe, SpalteAnmerkung})
        if (!falle([&] { Datenbank().TableDefs()[t]->Fields().Delete(s); })) return;
    if (!Lauf.Festschreiben(falle)) return;
    // The mixed table held the first table's keys as plain indexes. Each comes back
    // where the kept records allow it; one they break (records of the second table
    // without a key value, or repeating one) stays a plain index, so nothing kept
    // is lost for it, and the user is told.
    std::vector<Indexbild> schlüssel;
    Fehlerfalle::ohneFehler([&] { schlüssel = Schlüsselindizes(Lauf.Quelle.alsText()); });
    Text schlicht;
    for (const Indexbild& b : schlüssel) {
        bool zurück = false;
        Fehlerfalle::ohneFehler([&] {
            IndizesWiederherstellen(t, {b});
            zurück = true;
        });
        if (!zurück) schlicht += (schlicht.empty() ? u"'" : u", '") + b.Name + u"'";
    }
    if (!schlicht.empty())
        HinweisAnzeigen(Variante(u"Der eindeutige Index " + schlicht + u" der Ausgangstabelle wurde in der Tabelle '" +
                                 t + u"' als einfacher Index angelegt," + Text(1, 13) +
                                 u"da übernommene Datensätze seine Werte wiederholen oder keinen Wert haben."));
}

void TempTabelleLöschen() { LaufTabelleLöschen(Mischtabelle.alsText()); }

void Abbrechen() {
    // Before the progress page was shown (a table that could not be counted)
    // there is no page to leave.
    Lauf.Abbrechen(u"Breche Vorgang ab ...", false, {Mischtabelle, Variante(Suchpuffer), Lauf.Ziel},
                   gAktuellerRahmen < 0 ? Rückkehr::NurÖffnen : Rückkehr::Wechseln);
}

void Starten(const Zweitabellenvorgang& Art, const Variante& Tabelle1, const Variante& Tabelle2, const Variante& Ziel,
             const std::vector<Feldzuordnung>& Felder1, const std::vector<Feldzuordnung>& Felder2) {
    auto& o = Oberfläche();
    // Cleared first, so that a refused start does not report the last run's flags.
    gAbbruch = false;
    gFehlerAbbruch = false;
    if (!NamenPrüfen(Tabelle1, Tabelle2, Ziel)) {
        o.RahmenÖffnen(rahmen::Suchoptionen, false);
        return;
    }
    LaufTabellenLeeren();
    Lauf = Vorgangslauf();
    Lauf.Quelle = Tabelle1;
    Lauf.Ziel = Ziel;
    ZweiteTabelle = Tabelle2;
    Zuordnung1 = Felder1;
    Zuordnung2 = Felder2;
    Mischtabelle = Variante(Art.Mischtabelle);

    MischenStarten(Lauf.Quelle, ZweiteTabelle, Mischtabelle, Zuordnung1, Zuordnung2, Zuordnung1);
    if (Gestört()) return Abbrechen();
    // With no group found the review opens with empty lists.
    DublettenSuchen(Mischtabelle, Lauf.Ziel, Zuordnung1, true, Art.NeueDaten);
    if (Gestört()) return Abbrechen();
    o.BeschriftungSetzen(u"lblInformation", u"Bereite Anzeige der Ergebnisse vor ...");
    o.RahmenWechseln(rahmen::Durchführung, rahmen::DublettenNachbearbeitung, true, true);
    o.DublettenBearbeiten();
    if (Gestört()) return Abbrechen();
    o.NachDerBearbeitung();
    ErgebnisErstellen(Art);
    if (Gestört()) return Abbrechen();
    TempTabelleLöschen();
    if (Gestört()) return Abbrechen();
    SuchpufferLöschen();
    if (Gestört()) return Abbrechen();
    // The result reaches the user's file before the run reports it.
    if (!DatenbankSpeichern()) return Abbrechen();
    o.RahmenWechseln(rahmen::DublettenNachbearbeitung, Art.Protokoll, true, true);
}
}  // namespace

std::vector<Text> DatenabgleichLöschungen(const Text& Ziel) {
    return {StatusLöschen(Ziel, StatusDublette), StatusLöschen(Ziel, StatusAngereichert),
            u"DELETE * FROM " + dao::SqlBezeichner(Ziel) + u" WHERE ([" + SpalteQuelle + u"] = " +
                Zahl(QuelleTabelle2) + u" AND NOT ([" + SpalteStatus + u"] = " + Zahl(StatusAngereichertÜbernehmen) +
                u" OR [" + SpalteStatus + u"] = " + Zahl(StatusDubletteÜbernehmen) + u"))"};
}

std::vector<Text> NeueDatenLöschungen(const Text& Ziel) {
    return {StatusLöschen(Ziel, StatusAngereichert), StatusLöschen(Ziel, StatusDublette)};
}

void DatenabgleichStarten(const Variante& Tabelle1, const Variante& Tabelle2, const Variante& Ziel,
                          const std::vector<Feldzuordnung>& Felder1, const std::vector<Feldzuordnung>& Felder2) {
    Starten(Abgleich, Tabelle1, Tabelle2, Ziel, Felder1, Felder2);
}

void NeueDatenStarten(const Variante& Tabelle1, const Variante& Tabelle2, const Variante& Ziel,
                      const std::vector<Feldzuordnung>& Felder1, const std::vector<Feldzuordnung>& Felder2) {
    Starten(Hinzufügen, Tabelle1, Tabelle2, Ziel, Felder1, Felder2);
}

void DatenabgleichErgebnisErstellen() { ErgebnisErstellen(Abgleich); }
void NeueDatenErgebnisErstellen() { ErgebnisErstellen(Hinzufügen); }
void DatenabgleichTempTabelleLöschen() { TempTabelleLöschen(); }
void NeueDatenTempTabelleLöschen() { TempTabelleLöschen(); }
void DatenabgleichAbbrechen() { Abbrechen(); }
void NeueDatenAbbrechen() { Abbrechen(); }

void DatenabgleichZustandZurücksetzen() {
    Lauf = Vorgangslauf{};
    ZweiteTabelle = Variante();
    Mischtabelle = Variante();
    Zuordnung1.clear();
    Zuordnung2.clear();
}
