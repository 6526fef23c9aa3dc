#include "operations/mdlVerschmelzen.h"

#include <string>
#include <vector>

#include "foundation/Oberflaeche.h"
#include "foundation/mdlAllgemeines.h"
#include "foundation/mdlDatenbank.h"
#include "foundation/mdlDeklarationen.h"
#include "foundation/mdlMeldungen.h"
#include "operations/Vorgangsrahmen.h"
#include "platform/basic/Fehler.h"
#include "platform/basic/Laufzeit.h"

namespace {
// Run state of one merge.
Vorgangslauf Lauf;

struct Eingaben {
    Text Spalte1, Spalte2, Name;
    bool MitTrennzeichen = false;
    Text Trennzeichen;
    bool Löschen = false;
};

Eingaben Lesen() {
    const auto& o = Oberfläche();
    Eingaben e;
    e.Spalte1 = o.Inhalt(u"cbxVerschmelzen1");
    e.Spalte2 = o.Inhalt(u"cbxVerschmelzen2");
    e.Name = Trim(o.Inhalt(u"tbxVerschmolzen"));
    e.MitTrennzeichen = o.Wert(u"otnTrennzeichen", 0) != 0;
    e.Trennzeichen = o.Inhalt(u"tbxTrennzeichen");
    e.Löschen = o.Wert(u"chkVerschmelzenLöschen") == 1;
    return e;
}

// Present: neither Null nor the empty text.
bool Vorhanden(const Variante& v) { return !v.istNull() && !v.istEmpty() && !(v.istText() && v.text().empty()); }

}  // namespace

bool VerschmelzenEingabenPrüfen(const Variante& Quelltabelle) {
    const Eingaben e = Lesen();
    if (e.Spalte1 == e.Spalte2) {
        AchtungAnzeigen(Variante(u"Ein Feld kann nicht mit sich selbst verschmolzen werden."));
        return false;
    }
    if (!FeldVorhanden(Quelltabelle, e.Spalte1) || !FeldVorhanden(Quelltabelle, e.Spalte2)) {
        AchtungAnzeigen(Variante(u"Wählen sie bitte die beiden Felder aus, die verschmolzen werden sollen."));
        return false;
    }
    if (e.Name.empty()) {
        AchtungAnzeigen(Variante(u"Geben sie einen Namen für das verschmolzene Feld an."));
        return false;
    }
    return NeueFeldnamenPrüfen(Quelltabelle, {e.Name});
}

void VerschmelzenAbbrechen() {
    Lauf.Abbrechen(u"Breche Vorgang ab ...", true, {Lauf.Ziel}, Rückkehr::SchließenUndÖffnen);
}

void FelderVerschmelzen(const Variante& Quelltabelle, const Variante& Zieltabelle) {
    auto& o = Oberfläche();
    // Cleared first, so that a refused start does not report the last run's flags.
    gAbbruch = false;
    gFehlerAbbruch = false;
    if (!VerschmelzenEingabenPrüfen(Quelltabelle)) {
        o.RahmenÖffnen(rahmen::Verschmelzen, false);
        return;
    }
    const Eingaben e = Lesen();
    const Text trennzeichen = e.MitTrennzeichen ? e.Trennzeichen : Text();
    Fehlerfalle falle([] {
        return u"Fehler beim Verschmelzen der Felder \ran der Position: " + ausUtf8(std::to_string(Lauf.Zähler));
    });

    Lauf.Starten(Quelltabelle, Zieltabelle, u"Verschmelze Felder ...");

    // The new column holds both values and the separator between them.
    int32_t größe = 0;
    if (!falle([&] {
            const int32_t summe = Lauf.Quellfeldgröße(e.Spalte1) + Lauf.Quellfeldgröße(e.Spalte2) + Len(trennzeichen);
            größe = Minimum(Variante(255), Variante(summe)).alsLong();
        }))
        return VerschmelzenAbbrechen();
    if (!Lauf.StrukturKopieren(true, Variante(e.Spalte1), {{e.Name, dao::dbText, größe}}))
        return VerschmelzenAbbrechen();

    if (!Lauf.Öffnen(falle)) return VerschmelzenAbbrechen();

    const bool fertig = Lauf.Durchlaufen(falle, Lauf.rsQuelle, {0, false}, [&] {
        if (!falle([&] { Lauf.rsZiel->AddNew(); })) return false;
        if (!Lauf.SpaltenKopieren(falle, e.Spalte1, 1)) return false;
        Variante wert1, wert2;
        if (!falle([&] { wert1 = Lauf.rsQuelle->Fields()[e.Spalte1]->Value(); })) return false;
        if (!falle([&] { wert2 = Lauf.rsQuelle->Fields()[e.Spalte2]->Value(); })) return false;
        Variante ergebnis;
        if (!falle([&] {
                if (e.MitTrennzeichen && Vorhanden(wert1) && Vorhanden(wert2))
                    ergebnis = wert1 & Variante(trennzeichen) & wert2;
                else ergebnis = wert1 & wert2;
            }))
            return false;
        if (!falle([&] {
                const Variante v = Vorhanden(ergebnis) ? Variante(Left(ergebnis.alsText(), größe)) : Variante::Null();
                Lauf.rsZiel->Fields()[e.Name]->Value(v);
            }))
            return false;
        return Lauf.Schreiben(falle);
    });
    if (!fertig) return VerschmelzenAbbrechen();

    if (!Lauf.Beenden(falle)) return VerschmelzenAbbrechen();
    if (!Lauf.Beginnen(falle)) return VerschmelzenAbbrechen();

    if (e.Löschen) {
        o.BeschriftungSetzen(u"lblInformation", u"Lösche alte Felder ...");
        FeldLöschenMitWarnung(Zieltabelle, e.Spalte1);
        FeldLöschenMitWarnung(Zieltabelle, e.Spalte2);
    }

    if (!Lauf.Festschreiben(falle)) return VerschmelzenAbbrechen();
    RelationenErstellen(Quelltabelle, Zieltabelle);
    // The result reaches the user's file before the run reports it.
    if (!DatenbankSpeichern()) return VerschmelzenAbbrechen();
    o.RahmenWechseln(rahmen::Durchführung, rahmen::VerschmelzenProtokoll, true, true);
}

void VerschmelzenZustandZurücksetzen() { Lauf = Vorgangslauf{}; }
