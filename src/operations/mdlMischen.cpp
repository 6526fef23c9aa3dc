#include "operations/mdlMischen.h"

#include <string>

#include "foundation/Oberflaeche.h"
#include "foundation/mdlDatenbank.h"
#include "foundation/mdlFeldInhalte.h"
#include "foundation/mdlFeldtypen.h"
#include "foundation/mdlLaufTabellen.h"
#include "foundation/mdlMeldungen.h"
#include "operations/Vorgangsrahmen.h"
#include "platform/basic/Fehler.h"
#include "platform/basic/Laufzeit.h"

namespace {
// The combinations a column of the first table can hold that the mapping fills:
// the types whose values are joined, in order, and the separator between them.
struct Abbildungsfall {
    std::vector<Typcode> Teile;
    const char16_t* Trenner = u" ";
    // A first name the normaliser finds nothing in is taken as it stands.
    bool VornameUnverändert = false;
};

const std::vector<Abbildungsfall> Fälle = {
    {{TypFirmenname}},
    {{TypRechtsform}},
    {{TypFirmenname, TypRechtsform}},
    {{TypBranche}},
    {{TypStraße}},
    {{TypHausnummer}},
    {{TypStraße, TypHausnummer}},
    {{TypPostleitzahl}},
    {{TypOrt}},
    {{TypPostleitzahl, TypOrt}},
    {{TypAnrede}},
    {{TypVorname}, u" ", true},
    {{TypNachname}},
    {{TypVorname, TypNachname}},
    {{TypAnrede, TypNachname}},
    {{TypAnrede, TypVorname, TypNachname}},
    {{TypAbteilungPosition}},
    {{TypVorwahl}},
    {{TypTelefon}},
    {{TypTelefax}},
    {{TypVorwahl, TypTelefon}, u" / "},
    {{TypVorwahl, TypTelefax}, u" / "},
    {{TypEmailadresse}},
    {{TypInternetadresse}},
};

// The case whose types are exactly those of the column; none for every other mix.
const Abbildungsfall* FallSuchen(const Feldzuordnung& Feld) {
    for (const auto& f : Fälle) {
        if (GruppeVonFeldtyp(f.Teile.front()) != Feld.Gruppe) continue;
        int16_t bits = 0;
        for (Typcode t : f.Teile) bits = static_cast<int16_t>(bits | Typen[t].Bit);
        if (bits == Feld.Bits) return &f;
    }
    return nullptr;
}

bool Leer(const Variante& v) { return v.istEmpty() || v.istNull() || (v.istText() && v.text().empty()); }

// Columns whose values the table makes itself or that no text of an address fits.
bool Unberührt(const Mischspalte& s) {
    return (s.Attribute & dao::dbAutoIncrField) != 0 || s.Typ == dao::dbBoolean || s.Typ == dao::dbCurrency ||
           s.Typ == dao::dbDate || s.Typ == dao::dbTime;
}

std::optional<Variante> FeldAbbilden(const std::vector<Variante>& Quelle, const Feldzuordnung& Feld,
                                     const Mischspalte& Spalte, const Typspaltenfeld& Typspalten) {
    if (Unberührt(Spalte)) return std::nullopt;
    Variante wert;
    if (const Abbildungsfall* fall = FallSuchen(Feld)) {
        for (size_t k = 0; k < fall->Teile.size(); ++k) {
            const Typcode typ = fall->Teile[k];
            const int16_t s = Typspalten[static_cast<size_t>(typ - 1)];
            // A type the second table lacks is left out, its separator with it.
            if (s < 0 || static_cast<size_t>(s) >= Quelle.size()) continue;
            const Variante& roh = Quelle[static_cast<size_t>(s)];
            Variante teil = FeldinhaltNormalisieren(roh, typ);
            if (fall->VornameUnverändert && Leer(teil)) teil = roh;
            wert = k == 0 ? teil : Variante(Trim((wert & Variante(fall->Trenner) & teil).alsText()));
        }
    }
    return wert.istEmpty() ? Variante::Null() : wert;
}

// ---- run state of one mixing ----

// Quelle: the first table, Ziel: the mixed table; rsQuelle holds the first table
// in the copy phase and the second in the mapping phase.
Vorgangslauf Lauf;
Variante ZweiteTabelle;
int32_t Anzahl1 = 0, Anzahl2 = 0;
std::vector<Feldzuordnung> Zuordnung1, Zuordnung2, Ergebnis;

Text Name(const Variante& v) { return v.istText() ? v.text() : Text(); }

void MischenAbbrechen() { Lauf.Abbrechen(u"Breche Mischvorgang ab ...", true, {Lauf.Ziel}, Rückkehr::Keine); }

// One row of the second table into the new row of the mixed table. False on
// abort in its trap; the row is then not written.
bool ZeileAbbilden(const std::vector<Mischspalte>& Spalten, const std::vector<Text>& Namen,
                   const Typspaltenfeld& Typspalten) {
    Variante erster;
    Text feld;
    Fehlerfalle falle([&] {
        return (Variante(u"Fehler beim Ergänzen des Datensatzes '") & erster & Variante(u"' im Feld '") &
                Variante(feld) & Variante(u"'."))
            .alsText();
    });
    int32_t anzahl = 0;
    if (!falle([&] { anzahl = Lauf.rsQuelle->Fields().Count(); })) return false;
    std::vector<Variante> werte(static_cast<size_t>(anzahl));
    for (int32_t i = 0; i < anzahl; ++i) {
        if (!falle([&] {
                feld = Lauf.rsQuelle->Fields()[i]->Name();
                werte[static_cast<size_t>(i)] = Lauf.rsQuelle->Fields()[i]->Value();
            }))
            return false;
        if (i == 0) erster = werte[0];
    }
    // Column by column, so that an error names the mixed table's column and an
    // ignored one costs only that column's value (it is then left without one).
    for (size_t i = 0; i < Zuordnung1.size() && i < Spalten.size(); ++i) {
        feld = i < Namen.size() ? Namen[i] : Text();
        if (Unberührt(Spalten[i])) continue;
        Variante wert = Variante::Null();
        if (!falle([&] { wert = *FeldAbbilden(werte, Zuordnung1[i], Spalten[i], Typspalten); })) return false;
        if (!falle([&] { Lauf.rsZiel->Fields()[static_cast<int32_t>(i)]->Value(wert); })) return false;
    }
    return true;
}

// The work of one mixing; a set flag on return sends MischenStarten to the cancel.
void TabellenMischen() {
    auto& o = Oberfläche();
    Fehlerfalle falle([] { return Text(u"Fehler beim Erstellen der gemischten Tabelle."); });

    o.BeschriftungSetzen(u"lblInformation", u"Bereite Tabelle '" + Name(Lauf.Quelle) + u"' vor ...");
    int32_t gesamt = Anzahl1 + Anzahl2;
    o.BeschriftungSetzen(u"lblDatensätze", ausUtf8(std::to_string(gesamt)) + u" Datensätze insgesamt");

    if (!Lauf.StrukturKopieren(false)) return;
    // The second table's rows may repeat the first table's keys: a duplicate search
    // is to find them, so the mixed table's indexes must not refuse them.
    if (!falle([&] { IndizesEntschärfen(Name(Lauf.Ziel)); })) return;
    std::vector<Mischspalte> spalten;
    std::vector<Text> namen;
    if (!falle([&] {
            spalten.clear();
            namen.clear();
            for (const auto& f : Datenbank().TableDefs()[Name(Lauf.Ziel)]->Fields().liste()) {
                spalten.push_back({f->Type(), f->Attributes()});
                namen.push_back(f->Name());
            }
        }))
        return;
    const auto dsq = static_cast<int32_t>(spalten.size());
    if (!falle([&] {
            auto t = Datenbank().TableDefs()[Name(Lauf.Ziel)];
            t->Fields().Append(t->CreateField(u"TEMP_DSQ", dao::dbByte));
        }))
        return;
    Ergebnis.push_back({0, 2});

    if (!falle([&] { Lauf.rsQuelle = Datenbank().OpenRecordset(Name(Lauf.Quelle)); })) return;
    if (!falle([&] { Lauf.rsZiel = Datenbank().OpenRecordset(Name(Lauf.Ziel)); })) return;
    if (!Lauf.Beginnen(falle)) return;
    FortschrittZurücksetzen();
    FortschrittStarten(gesamt, 0.1);

    // Auto numbers are the mixed table's own, so they run on over both tables.
    if (!Lauf.Durchlaufen(falle, Lauf.rsQuelle, {0, true, 0}, [&] {
            if (!falle([&] { Lauf.rsZiel->AddNew(); })) return false;
            for (int32_t i = 0; i < dsq; ++i) {
                if (spalten[static_cast<size_t>(i)].Attribute & dao::dbAutoIncrField) continue;
                if (!falle([&] { Lauf.rsZiel->Fields()[i]->Value(Lauf.rsQuelle->Fields()[i]->Value()); })) return false;
            }
            if (!falle([&] { Lauf.rsZiel->Fields()[dsq]->Value(Variante(QuelleTabelle1)); })) return false;
            return Lauf.Schreiben(falle);
        }))
        return;

    if (Anzahl2 > 0) {
        if (!Lauf.Festschreiben(falle)) return;
        if (!falle([&] { Lauf.rsQuelle->Close(); })) return;
        o.BeschriftungSetzen(u"lblInformation",
                             u"Mische '" + Name(Lauf.Quelle) + u"' mit Tabelle '" + Name(ZweiteTabelle) + u"' ...");
        const Typspaltenfeld typspalten = TypspaltenBilden(Zuordnung2);
        if (!falle([&] { Lauf.rsQuelle = Datenbank().OpenRecordset(Name(ZweiteTabelle)); })) return;
        if (!Lauf.Beginnen(falle)) return;
        if (!Lauf.Durchlaufen(falle, Lauf.rsQuelle, {0, true, Anzahl1}, [&] {
                if (!falle([&] { Lauf.rsZiel->AddNew(); })) return false;
                if (!ZeileAbbilden(spalten, namen, typspalten)) return false;
                if (!falle([&] { Lauf.rsZiel->Fields()[dsq]->Value(Variante(QuelleTabelle2)); })) return false;
                return Lauf.Schreiben(falle);
            }))
            return;
    }
    Lauf.Beenden(falle);
}
}  // namespace

Typspaltenfeld TypspaltenBilden(const std::vector<Feldzuordnung>& Felder2) {
    Typspaltenfeld t{};
    for (Typcode c = 1; c <= 69; ++c) t[static_cast<size_t>(c - 1)] = SpalteVonFeldtyp(Felder2, c);
    return t;
}

std::vector<std::optional<Variante>> DatensatzAbbilden(const std::vector<Variante>& Quelle,
                                                       const std::vector<Feldzuordnung>& Felder1,
                                                       const std::vector<Mischspalte>& Spalten,
                                                       const Typspaltenfeld& Typspalten) {
    std::vector<std::optional<Variante>> neu;
    for (size_t i = 0; i < Felder1.size() && i < Spalten.size(); ++i)
        neu.push_back(FeldAbbilden(Quelle, Felder1[i], Spalten[i], Typspalten));
    return neu;
}

void MischenStarten(const Variante& Tabelle1, const Variante& Tabelle2, const Variante& Temp,
                    const std::vector<Feldzuordnung>& Felder1, const std::vector<Feldzuordnung>& Felder2,
                    std::vector<Feldzuordnung>& FelderErgebnis) {
    gAbbruch = false;
    gFehlerAbbruch = false;
    // Copies first: the caller may hand the same array as input and result.
    Lauf.Quelle = Tabelle1;
    Lauf.Ziel = Temp;
    Lauf.rsQuelle.reset();
    Lauf.rsZiel.reset();
    Lauf.Zähler = 0;
    ZweiteTabelle = Tabelle2;
    Zuordnung1 = Felder1;
    Zuordnung2 = Felder2;
    Ergebnis = Zuordnung1;
    Anzahl1 = Anzahl2 = 0;

    const std::vector<Text> tabellen = {Name(Tabelle1), Name(Tabelle2)};
    if (!ReservierteNamenPrüfen(tabellen, tabellen)) {
        gAbbruch = true;
        return MischenAbbrechen();
    }

    Fehlerfalle falle([] { return Text(u"Fehler beim Erstellen der gemischten Tabelle."); });
    // Plain pair members, not structured bindings: clang 14 cannot capture those in a lambda.
    for (const auto& paar : {std::pair{&tabellen[0], &Anzahl1}, std::pair{&tabellen[1], &Anzahl2}})
        if (!falle([&] {
                auto rs = Datenbank().OpenRecordset(*paar.first);
                *paar.second = DatensätzeZählen(rs);
                rs->Close();
            }))
            return MischenAbbrechen();

    Oberfläche().RahmenÖffnen(rahmen::Durchführung, true);
    TabellenMischen();
    if (gAbbruch || gFehlerAbbruch) return MischenAbbrechen();
    FelderErgebnis = Ergebnis;
}

void MischenZustandZurücksetzen() {
    Lauf = Vorgangslauf{};
    ZweiteTabelle = Variante();
    Anzahl1 = Anzahl2 = 0;
    Zuordnung1.clear();
    Zuordnung2.clear();
    Ergebnis.clear();
}
