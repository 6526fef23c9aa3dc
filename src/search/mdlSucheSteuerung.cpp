// The one entry of the duplicate search engine and its clean-up.
#include <string>
#include <vector>

#include "foundation/Oberflaeche.h"
#include "foundation/mdlDatenbank.h"
#include "foundation/mdlLaufTabellen.h"
#include "foundation/mdlMeldungen.h"
#include "platform/basic/Fehler.h"
#include "search/Suchzeilen.h"
#include "search/mdlAuswertung.h"
#include "search/mdlDublettenpaare.h"
#include "search/mdlSuche.h"
#include "search/mdlSuchlauf.h"
#include "search/mdlSuchpuffer.h"

namespace {
// A table of this run (the mixed table of a two-table operation) may carry TEMP_DSQ;
// the user's own tables are refused when they use the program's names.
bool NamenZulässig() {
    std::vector<Text> namen{Suchziel.alsText()}, quellen;
    if (!VomLaufAngelegt(Suchquelle.alsText())) {
        namen.push_back(Suchquelle.alsText());
        quellen.push_back(Suchquelle.alsText());
    }
    return ReservierteNamenPrüfen(namen, quellen);
}

// A pass that cannot run as chosen: the pass's error box, then the search ends.
void PassVerweigern(const Text& Spalte) {
    FehlerMerken(LaufzeitFehler(3265, u"Das Feld '" + Spalte +
                                          u"' ist als \"Ignorieren\" zugeordnet und fehlt "
                                          u"daher in der Suchkopie."));
    Variante text(u"Fehler bei der Dublettensuche an der Position 0.");
    FehlerAnzeigen(text);
    Err().Clear();
    gFehlerAbbruch = true;
}

struct Suchlauf {
    Text Sortierliste;
    int32_t Hauptspalte = -1;
    int32_t Zeichen = 0;
};

// The sort columns of pass p as the option page names them. False (flag set) when
// a chosen column is not in the search copy.
bool SuchlaufEinrichten(int p, const std::vector<Text>& Quellspalten, const std::vector<Text>& Pufferspalten,
                        Suchlauf& Lauf) {
    auto& o = Oberfläche();
    for (int j = 0; j < 3; ++j) {
        const int32_t k = o.Wert(u"cbxSuchFeld", 3 * p + j);
        if (k == 0) continue;
        const Text name = k >= 1 && k <= static_cast<int32_t>(Quellspalten.size()) ? Quellspalten[k - 1] : Text();
        int32_t position = -1;
        for (size_t i = 0; i < Pufferspalten.size(); ++i)
            if (Pufferspalten[i] == name) position = static_cast<int32_t>(i);
        if (name.empty() || position < 0) {
            PassVerweigern(name.empty() ? ausUtf8(std::to_string(k)) : name);
            return false;
        }
        if (Lauf.Hauptspalte == -1) {
            Lauf.Hauptspalte = position;
            Lauf.Zeichen = o.Wert(u"sdrZeichenRichtig", p);
        }
        Lauf.Sortierliste += dao::SqlBezeichner(name) + u",";
    }
    if (!Lauf.Sortierliste.empty()) Lauf.Sortierliste.pop_back();
    return true;
}

void SchwelleSetzen() {
    switch (Oberfläche().Wert(u"sdrToleranz")) {
        case 0: gRelevanz = 0.82f; break;
        case 1: gRelevanz = 0.73f; break;
        case 2: gRelevanz = 0.62f; break;
        case 3: gRelevanz = 0.5f; break;
        default: break;
    }
}

}  // namespace

void DublettenSuchen(const Variante& Quelle, const Variante& Ziel, const std::vector<Feldzuordnung>& Felder,
                     bool Anreichern, bool NeueDaten) {
    gAbbruch = false;
    gFehlerAbbruch = false;
    VergleichsdatenVerwerfen();
    Suchquelle = Quelle;
    Suchziel = Ziel;
    Suchpuffername = u"TEMP_DS";
    Suchzuordnung = Felder;
    Suchspaltenzahl = static_cast<int16_t>(Felder.size());
    Anreicherung = Anreichern;
    NeueDatenModus = NeueDaten;
    auto& o = Oberfläche();

    // The source was chosen from the table list or made by this run; should it be
    // gone, the buffer's trap reports it and the count stays 0.
    Fehlerfalle falle([] { return Text(u"Fehler beim Erstellen des Suchpuffers."); });
    Suchdatensatzzahl = 0;
    if (!falle([&] {
            rsQuelle = Datenbank().OpenRecordset(Suchquelle.alsText());
            Suchdatensatzzahl = DatensätzeZählen(rsQuelle);
            rsQuelle->Close();
            rsQuelle.reset();
        })) {
        SucheAbbrechen();
        return;
    }

    o.RahmenÖffnen(rahmen::Durchführung, true);
    if (!NamenZulässig()) {
        gFehlerAbbruch = true;
        SucheAbbrechen();
        return;
    }
    SuchpufferErstellen();
    if (gAbbruch || gFehlerAbbruch) {
        SucheAbbrechen();
        return;
    }
    SchwelleSetzen();
    KontakteDifferenzieren = o.Wert(u"chkAnsprechpartnerDifferenzieren") != 0;
    DublettenpaareZurücksetzen();

    std::vector<Text> quellspalten, pufferspalten;
    if (!falle([&] {
            quellspalten = Spaltennamen(Suchquelle.alsText());
            pufferspalten = Spaltennamen(Suchpuffername);
        })) {
        SucheAbbrechen();
        return;
    }
    for (int p = 0; p < 3; ++p) {
        if (o.Wert(u"chkSucheDurchführen", p) != 1) continue;
        Suchlauf lauf;
        if (!SuchlaufEinrichten(p, quellspalten, pufferspalten, lauf)) {
            SucheAbbrechen();
            return;
        }
        if (lauf.Hauptspalte == -1) continue;
        SuchlaufDurchführen(lauf.Hauptspalte, lauf.Zeichen, lauf.Sortierliste, o.Wert(u"chkQuickSuche") != 0);
        if (gAbbruch || gFehlerAbbruch) {
            SucheAbbrechen();
            return;
        }
    }
    // The passes are over: their prepared comparison data is no longer needed.
    VergleichsdatenVerwerfen();
    DublettenAuswerten();
    if (gAbbruch || gFehlerAbbruch) SucheAbbrechen();
}

void SucheAbbrechen() {
    auto& o = Oberfläche();
    o.AktivSetzen(u"btnZurück", false);
    o.BeschriftungSetzen(u"lblInformation", u"Breche Suchvorgang ab ...");
    Fehlerfalle::ohneFehler([] { Arbeitsbereich().Rollback(); });
    Fehlerfalle::ohneFehler([] { FortschrittAnhalten(); });
    for (auto* rs : {&rsQuelle, &rsZiel, &rsPuffer, &rsVergleichB, &rsBereich}) RecordsetSchließen(*rs);
    VergleichsdatenVerwerfen();
    LaufTabelleLöschen(Suchpuffername);
    LaufTabelleLöschen(Suchziel.alsText());
    o.AktivSetzen(u"btnZurück", true);
}
