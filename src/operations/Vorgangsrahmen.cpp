#include "operations/Vorgangsrahmen.h"

#include <string>

#include "foundation/Oberflaeche.h"
#include "foundation/mdlAllgemeines.h"
#include "foundation/mdlDatenbank.h"
#include "foundation/mdlDeklarationen.h"
#include "foundation/mdlLaufTabellen.h"
#include "platform/basic/Fehler.h"
#include "platform/basic/Laufzeit.h"

namespace {
constexpr int32_t Stapelgröße = 1000;

Wahlweise Wahl(const Variante& v) { return v; }
}  // namespace

void Vorgangslauf::Starten(const Variante& Quelltabelle, const Variante& Zieltabelle, TextSicht Status) {
    Quelle = Quelltabelle;
    Ziel = Zieltabelle;
    rsQuelle.reset();
    rsZiel.reset();
    Zähler = 0;
    Gesamt = 0;
    gAbbruch = false;
    gFehlerAbbruch = false;
    LaufTabellenLeeren();
    auto& o = Oberfläche();
    o.RahmenÖffnen(rahmen::Durchführung, true);
    o.BeschriftungSetzen(u"lblInformation", Text(Status));
}

bool Vorgangslauf::StrukturKopieren(bool MitRelationen, const Wahlweise& NachFeld,
                                    const std::vector<NeuesFeld>& Felder) {
    Wahlweise n[3], t[3], g[3];
    for (size_t i = 0; i < Felder.size() && i < 3; ++i) {
        n[i] = Wahl(Variante(Felder[i].Name));
        t[i] = Wahl(Variante(Felder[i].Typ));
        g[i] = Wahl(Variante(Felder[i].Größe));
    }
    TabelleKopieren(Quelle, Ziel, MitRelationen, NachFeld, std::nullopt, n[0], t[0], g[0], n[1], t[1], g[1], n[2], t[2],
                    g[2]);
    return !gAbbruch && !gFehlerAbbruch;
}

int32_t Vorgangslauf::Quellfeldgröße(const Text& Spalte) const {
    return Feldgröße(*Datenbank().TableDefs()[Quelle.alsText()]->Fields()[Spalte]);
}

bool Vorgangslauf::Öffnen(Fehlerfalle& Falle) {
    auto& o = Oberfläche();
    if (!Falle([&] { rsQuelle = Datenbank().OpenRecordset(Quelle.alsText()); })) return false;
    if (!Falle([&] { rsZiel = Datenbank().OpenRecordset(Ziel.alsText()); })) return false;
    if (!Falle([&] { Gesamt = DatensätzeZählen(rsQuelle); })) return false;
    if (!Falle([&] {
            o.BeschriftungSetzen(u"lblDatensätze", ausUtf8(std::to_string(Gesamt)) + u" Datensätze insgesamt");
        }))
        return false;
    if (!Beginnen(Falle)) return false;
    FortschrittZurücksetzen();
    FortschrittStarten(Gesamt, 1);
    return true;
}

bool Vorgangslauf::Durchlaufen(Fehlerfalle& Falle, const dao::RecordsetPtr& rs, Zählweise Weise,
                               const std::function<bool()>& Datensatz) {
    Zähler = Weise.Start;
    for (;;) {
        bool ende = true;
        if (!Falle([&] { ende = !rs || rs->EOF_(); })) return false;
        if (ende) return true;
        if (Weise.VorDemSchreiben) ++Zähler;
        if (!Datensatz()) return false;
        if (Zähler % Stapelgröße == 0 && !(Festschreiben(Falle) && Beginnen(Falle))) return false;
        if (!Falle([&] { rs->MoveNext(); })) return false;
        Oberfläche().Ereignisse();
        if (gAbbruch) return false;
        if (!Weise.VorDemSchreiben) ++Zähler;
        gFortschrittPosition = Zähler + Weise.Fortschrittsversatz;
    }
}

bool Vorgangslauf::SpaltenKopieren(Fehlerfalle& Falle, const Text& NachSpalte, int32_t Eingefügt) {
    int32_t anzahl = 0;
    if (!Falle([&] { anzahl = rsQuelle->Fields().Count(); })) return false;
    int32_t j = 0;
    for (int32_t i = 0; i < anzahl; ++i) {
        if (!Falle([&] { rsZiel->Fields()[j]->Value(rsQuelle->Fields()[i]->Value()); })) return false;
        bool gewählt = false;
        if (!Falle([&] { gewählt = rsQuelle->Fields()[i]->Name() == NachSpalte; })) return false;
        if (gewählt) j += Eingefügt;
        ++j;
    }
    return true;
}

bool Vorgangslauf::Schreiben(Fehlerfalle& Falle) {
    bool geschrieben = false;
    if (!Falle([&] {
            rsZiel->Update();
            geschrieben = true;
        }))
        return false;
    if (!geschrieben) Fehlerfalle::ohneFehler([&] { rsZiel->CancelUpdate(); });
    return true;
}

bool Vorgangslauf::Beginnen(Fehlerfalle& Falle) {
    return Falle([] { Arbeitsbereich().BeginTrans(); });
}

bool Vorgangslauf::Festschreiben(Fehlerfalle& Falle) {
    return Falle([] { Arbeitsbereich().CommitTrans(); });
}

bool Vorgangslauf::Beenden(Fehlerfalle& Falle) {
    FortschrittBeenden();
    if (!Festschreiben(Falle)) return false;
    Schließen();
    return true;
}

void Vorgangslauf::Schließen() {
    RecordsetSchließen(rsQuelle);
    RecordsetSchließen(rsZiel);
}

void Vorgangslauf::Abbrechen(TextSicht Status, bool FortschrittStoppen, const std::vector<Variante>& Tabellen,
                             Rückkehr Art) {
    auto& o = Oberfläche();
    o.AktivSetzen(u"btnZurück", false);
    o.BeschriftungSetzen(u"lblInformation", Text(Status));
    Fehlerfalle::ohneFehler([&] { Arbeitsbereich().Rollback(); });
    if (FortschrittStoppen) Fehlerfalle::ohneFehler([] { FortschrittAnhalten(); });
    Schließen();
    for (const auto& t : Tabellen)
        if (t.istText()) LaufTabelleLöschen(t.text());
    switch (Art) {
        case Rückkehr::SchließenUndÖffnen:
            Fehlerfalle::ohneFehler([&] { o.RahmenSchließen(gAktuellerRahmen, false); });
            o.RahmenÖffnen(rahmen::Tabelle, true);
            break;
        case Rückkehr::Wechseln: o.RahmenWechseln(gAktuellerRahmen, rahmen::Tabelle, true, true); break;
        case Rückkehr::NurÖffnen: o.RahmenÖffnen(rahmen::Tabelle, true); break;
        case Rückkehr::Keine: break;
    }
    o.AktivSetzen(u"btnZurück", true);
}

// ---- new columns ----

int32_t Feldgröße(const dao::Field& Feld) { return Feld.Type() == dao::dbText ? Feld.Size() : 255; }

Text FeldnameRegelVerletzt(const Text& Name) {
    const Text& v = gDAOVerbindung;
    const bool dbase = v == u"Dbase III;" || v == u"Dbase IV;" || v == u"Dbase 5;";
    const bool excel = v == u"Excel 5.0;";
    // dBase keeps at most 10 characters of a field name; Jet allows 64 elsewhere.
    const int32_t länge = dbase ? 10 : 64;
    const TextSicht verboten = dbase ? TextSicht(u":/\\*?[]") : TextSicht(u"!.[]'\"`");
    bool gut = !Name.empty() && Len(Name) <= länge && Name.front() != u' ';
    for (char16_t c : Name)
        if (verboten.find(c) != TextSicht::npos || c < 0x20) gut = false;
    if (gut) return {};
    const Text zeichen = dbase ? Text(u"( / \\ ? : [ ] * )") : Text(u"( ! . [ ] ' \" ` )");
    const Text format = dbase   ? Text(u"einer dBase-Datenbank")
                        : excel ? Text(u"eines Excel-Tabellenblattes")
                                : Text(u"einer Access-Datenbanktabelle");
    return u"Der Feldname \"" + Name + u"\" enthält ungültige Zeichen " + zeichen + u" für ein Feld" + u"\r" + format +
           u", oder ist länger als " + ausUtf8(std::to_string(länge)) + u" Zeichen.";
}

bool FeldVorhanden(const Variante& Tabelle, const Text& Name) {
    bool da = false;
    Fehlerfalle::ohneFehler([&] {
        for (const Text& n : Spaltennamen(Tabelle.alsText()))
            if (n == Name) da = true;
    });
    return da;
}

bool NeueFeldnamenPrüfen(const Variante& Tabelle, const std::vector<Text>& Namen) {
    for (const Text& n : Namen)
        if (n.empty()) {
            AchtungAnzeigen(Variante(u"Geben sie einen Namen für das Zielfeld an."));
            return false;
        }
    std::vector<Text> spalten;
    Fehlerfalle::ohneFehler([&] { spalten = Spaltennamen(Tabelle.alsText()); });
    for (const Text& s : spalten)
        for (const Text& n : Namen)
            if (Großschreiben(Variante(s)) == Großschreiben(Variante(n))) {
                AchtungAnzeigen(Variante(u"Das Zielfeld exisitiert bereits. Bitte wählen sie einen anderen Namen."));
                return false;
            }
    for (size_t i = 0; i < Namen.size(); ++i)
        for (size_t j = 0; j < i; ++j)
            if (Großschreiben(Variante(Namen[i])) == Großschreiben(Variante(Namen[j]))) {
                AchtungAnzeigen(Variante(u"Die Zielfelder müssen verschiedene Namen haben."));
                return false;
            }
    for (const Text& n : Namen)
        if (const Text m = FeldnameRegelVerletzt(n); !m.empty()) {
            AchtungAnzeigen(Variante(m));
            return false;
        }
    return true;
}

void FeldLöschenMitWarnung(const Variante& Tabelle, const Text& Name) {
    bool gelöscht = false;
    Fehlerfalle::ohneFehler([&] {
        Datenbank().TableDefs()[Tabelle.alsText()]->Fields().Delete(Name);
        gelöscht = true;
    });
    if (!gelöscht)
        Oberfläche().Meldung(u"Das Feld \"" + Name + u"\" konnte nicht gelöscht werden." + u"\r" +
                                 u"Vermutlich handelt es sich um ein Indexfeld.",
                             vb::OKOnly + vb::Exclamation, Text());
}
