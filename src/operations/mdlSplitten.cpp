#include "operations/mdlSplitten.h"

#include <string>
#include <vector>

#include "foundation/Oberflaeche.h"
#include "foundation/mdlAllgemeines.h"
#include "foundation/mdlDatenbank.h"
#include "foundation/mdlDeklarationen.h"
#include "foundation/mdlFeldInhalte.h"
#include "foundation/mdlMeldungen.h"
#include "operations/Vorgangsrahmen.h"
#include "platform/basic/Fehler.h"
#include "platform/basic/Laufzeit.h"

namespace {
// Run state of one split.
Vorgangslauf Lauf;

struct Eingaben {
    int32_t Typ = 0;
    Text Spalte1, Spalte2;
    std::vector<Text> Namen;  // two or three new columns
    Text Trennzeichen;
    bool Löschen = false;
};

int32_t AnzahlNeu(int32_t typ) { return typ == SplittenAnredeVornameName || typ == SplittenTelefonTelefax ? 3 : 2; }

Eingaben Lesen() {
    const auto& o = Oberfläche();
    Eingaben e;
    e.Typ = o.Wert(u"cbxSplittenTypus");
    e.Spalte1 = o.Inhalt(u"cbxSplitten1");
    e.Spalte2 = o.Inhalt(u"cbxSplitten2");
    for (int32_t i = 1; i <= AnzahlNeu(e.Typ); ++i)
        e.Namen.push_back(Trim(o.Inhalt(u"tbxSplitten" + ausUtf8(std::to_string(i)))));
    e.Trennzeichen = o.Inhalt(u"tbxSplitten_Trennzeichen");
    e.Löschen = o.Wert(u"chkSplittenLöschen") == 1;
    return e;
}

// Present: neither Null nor the empty value (the empty text, 0 for a number).
bool Vorhanden(const Variante& v) { return v != Variante::Empty(); }

// The parts of one record by the split type; Empty where a part is missing.
void TeileBerechnen(const Eingaben& e, const Variante& wert, const Variante& wert2, Variante (&teil)[3]) {
    switch (e.Typ) {
        case SplittenPostleitzahlOrt:
            teil[0] = PostleitzahlNormalisieren(wert);
            teil[1] = OrtNormalisieren(wert);
            break;
        case SplittenStraßeHausnummer:
            teil[0] = StraßeNormalisieren(wert);
            teil[1] = HausnummerNormalisieren(wert);
            break;
        case SplittenAnredeVornameName:
            teil[0] = AnredeNormalisieren(wert);
            teil[1] = VornameNormalisieren(wert);
            teil[2] = NachnameNormalisieren(wert);
            break;
        case SplittenVorwahlDurchwahl:
            teil[0] = VorwahlNormalisieren(wert);
            teil[1] = TelefonNormalisieren(wert);
            break;
        case SplittenTelefonTelefax:
            teil[0] = VorwahlNormalisieren(wert);
            if (!Vorhanden(teil[0])) teil[0] = VorwahlNormalisieren(wert2);
            teil[1] = TelefonNormalisieren(wert);
            teil[2] = TelefonNormalisieren(wert2);
            break;
        case SplittenBeliebig: {
            const Text t = wert.alsText();
            const int32_t p = InStr(1, t, e.Trennzeichen);
            if (p > 0) {
                teil[0] = Variante(Left(t, p - 1));
                teil[1] = Variante(Mid(t, p + Len(e.Trennzeichen)));
            } else {
                teil[0] = Variante(t);
            }
            break;
        }
        default: break;
    }
}

}  // namespace

bool SplittenEingabenPrüfen(const Variante& Quelltabelle) {
    const Eingaben e = Lesen();
    if (e.Typ < SplittenPostleitzahlOrt || e.Typ > SplittenBeliebig) {
        AchtungAnzeigen(Variante(u"Wählen sie bitte aus, von welchem Typ die Aufspaltung ist."));
        return false;
    }
    const bool zwei = e.Typ == SplittenTelefonTelefax;
    for (const Text* s : {&e.Spalte1, &e.Spalte2}) {
        if (s == &e.Spalte2 && !zwei) break;
        if (!FeldVorhanden(Quelltabelle, *s)) {
            AchtungAnzeigen(Variante(u"Wählen sie bitte das Feld aus, das aufgespalten werden soll."));
            return false;
        }
    }
    if (zwei && Großschreiben(Variante(e.Spalte1)) == Großschreiben(Variante(e.Spalte2))) {
        AchtungAnzeigen(Variante(u"Das Telefonfeld und das Telefaxfeld müssen verschiedene Felder sein."));
        return false;
    }
    if (!NeueFeldnamenPrüfen(Quelltabelle, e.Namen)) return false;
    if (e.Typ == SplittenBeliebig && e.Trennzeichen.empty()) {
        AchtungAnzeigen(Variante(u"Sie müssen ein Trennzeichen angeben, nach\rdem das Feld geteilt werden soll."));
        return false;
    }
    return true;
}

void SplittenAbbrechen() { Lauf.Abbrechen(u"Breche Vorgang ab ...", true, {Lauf.Ziel}, Rückkehr::SchließenUndÖffnen); }

void FelderSplitten(const Variante& Quelltabelle, const Variante& Zieltabelle) {
    auto& o = Oberfläche();
    // Cleared first, so that a refused start does not report the last run's flags.
    gAbbruch = false;
    gFehlerAbbruch = false;
    if (!SplittenEingabenPrüfen(Quelltabelle)) {
        o.RahmenÖffnen(rahmen::Splitten, false);
        return;
    }
    const Eingaben e = Lesen();
    const int32_t anzahl = static_cast<int32_t>(e.Namen.size());
    Fehlerfalle falle(
        [] { return u"Fehler beim Splitten der Felder \ran der Position: " + ausUtf8(std::to_string(Lauf.Zähler)); });

    Lauf.Starten(Quelltabelle, Zieltabelle, u"Splitte Feld(er) ...");

    // Sizes of the new columns, read from the source's definition.
    int32_t größe = 0;
    if (!falle([&] {
            größe = Lauf.Quellfeldgröße(e.Spalte1);
            if (e.Typ == SplittenTelefonTelefax)
                größe = Minimum(Variante(255), Variante(größe + Lauf.Quellfeldgröße(e.Spalte2))).alsLong();
        }))
        return SplittenAbbrechen();
    std::vector<NeuesFeld> neu;
    for (const Text& n : e.Namen) neu.push_back({n, dao::dbText, größe});
    if (!Lauf.StrukturKopieren(true, Variante(e.Spalte1), neu)) return SplittenAbbrechen();

    if (!Lauf.Öffnen(falle)) return SplittenAbbrechen();

    const bool fertig = Lauf.Durchlaufen(falle, Lauf.rsQuelle, {0, false}, [&] {
        if (!falle([&] { Lauf.rsZiel->AddNew(); })) return false;
        if (!Lauf.SpaltenKopieren(falle, e.Spalte1, anzahl)) return false;
        Variante wert, wert2, teil[3];
        if (!falle([&] { wert = Lauf.rsQuelle->Fields()[e.Spalte1]->Value(); })) return false;
        if (e.Typ == SplittenTelefonTelefax && !falle([&] { wert2 = Lauf.rsQuelle->Fields()[e.Spalte2]->Value(); }))
            return false;
        // Type 4 also from the telefax alone, so that deleting the sources keeps it.
        const bool vorhanden = Vorhanden(wert) || (e.Typ == SplittenTelefonTelefax && Vorhanden(wert2));
        if (vorhanden && !falle([&] { TeileBerechnen(e, wert, wert2, teil); })) return false;
        for (int32_t k = 0; k < anzahl; ++k)
            if (!falle([&] {
                    const Variante v = Vorhanden(teil[k]) ? Variante(Left(teil[k].alsText(), größe)) : Variante::Null();
                    Lauf.rsZiel->Fields()[e.Namen[static_cast<size_t>(k)]]->Value(v);
                }))
                return false;
        return Lauf.Schreiben(falle);
    });
    if (!fertig) return SplittenAbbrechen();

    if (!Lauf.Beenden(falle)) return SplittenAbbrechen();
    if (!Lauf.Beginnen(falle)) return SplittenAbbrechen();

    if (e.Löschen) {
        o.BeschriftungSetzen(u"lblInformation", u"Lösche alte Felder ...");
        FeldLöschenMitWarnung(Zieltabelle, e.Spalte1);
        if (e.Typ == SplittenTelefonTelefax) FeldLöschenMitWarnung(Zieltabelle, e.Spalte2);
    }

    if (!Lauf.Festschreiben(falle)) return SplittenAbbrechen();
    RelationenErstellen(Quelltabelle, Zieltabelle);
    // The result reaches the user's file before the run reports it.
    if (!DatenbankSpeichern()) return SplittenAbbrechen();
    o.RahmenWechseln(rahmen::Durchführung, rahmen::SplittenProtokoll, true, true);
}

void SplittenZustandZurücksetzen() { Lauf = Vorgangslauf{}; }
