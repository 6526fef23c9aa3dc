// The charts of the result pages: three bars on one bottom line, scaled
// against a reference bar that keeps its design height, and four labels.
#include <array>
#include <cmath>
#include <string>

#include "foundation/mdlDatenbank.h"
#include "foundation/mdlDeklarationen.h"
#include "foundation/mdlMeldungen.h"
#include "platform/dao/Dao.h"
#include "search/mdlSuchpuffer.h"
#include "ui/Seiten.h"
#include "ui/frmHaupt.h"

namespace {

Text Zahl(int64_t n) { return ausUtf8(std::to_string(n)); }

int32_t Zählen(const Text& quelle) {
    auto rs = Datenbank().OpenRecordset(quelle);
    const int32_t n = DatensätzeZählen(rs);
    RecordsetSchließen(rs);
    return n;
}

// Int(a / b × H): rounded down; a division by zero fails into the page's trap.
int32_t Höhe(double a, double b, double h) {
    if (b == 0) FehlerAuslösen(11, u"Division durch Null");
    return static_cast<int32_t>(std::floor(a / b * h));
}

struct Diagramm {
    QString balken, beschriftung[4];
    int bezug;  // the reference bar, 1 or 3
};

Diagramm DiagrammVon(int16_t seite) {
    switch (seite) {
        case 13:
            return {
                "shpDubletten", {"lblDubletten1", "lblDubletten2", "lblDubletten3", "lblDublettenVerunreinigung"}, 1};
        case 23: return {"shpMüll", {"lblMüll1", "lblMüll2", "lblMüll3", "lblMüllVerunreinigung"}, 1};
        case 53:
            return {"shpDatenabgleich",
                    {"lblDatenabgleich1", "lblDatenabgleich2", "lblDatenabgleich3", "lblDatenabgleich4"},
                    1};
        default: return {"shpNeueDaten", {"lblNeueDaten1", "lblNeueDaten2", "lblNeueDaten3", "lblNeueDaten4"}, 3};
    }
}

}  // namespace

bool ProtokollEinrichten(frmHaupt& f, int16_t seite, Fehlerfalle& falle) {
    const Diagramm d = DiagrammVon(seite);
    auto balken = [&](int i) -> forms::Figur& {
        return dynamic_cast<forms::Figur&>(*f.Elemente().Finden(d.balken + QString::number(i)));
    };
    auto beschriften = [&](int i, const Text& t) { f.Elemente().Finden(d.beschriftung[i])->InhaltSetzen(forms::Q(t)); };
    int32_t S = 0, T = 0;
    if (!falle([&] { S = Zählen(gTabelle1); })) return false;
    if (!falle([&] { T = Zählen(gZieltabelle); })) return false;
    const double H = balken(d.bezug).Höhe();
    const int32_t D = gAnzahlDubletten, M = gAnzahlMüll, A = f.azlAngereichert;
    // The two bars other than the reference, with their heights.
    struct Balkenmaß {
        int balken;
        double zähler, nenner;
    };
    const auto andere = [&]() -> std::array<Balkenmaß, 2> {
        switch (seite) {
            case 13: return {{{2, double(D), double(S)}, {3, double(T), double(S)}}};
            case 23: return {{{2, double(M), double(S)}, {3, double(T), double(S)}}};
            case 53: return {{{2, D / 2.0, double(S)}, {3, double(T), double(S)}}};
            default: return {{{1, double(S), double(T)}, {2, D / 2.0, double(T)}}};
        }
    }();
    for (const Balkenmaß& m : andere) {
        forms::Figur& b = balken(m.balken);
        int32_t h = 0;
        if (!falle([&] { h = Höhe(m.zähler, m.nenner, H); })) return false;
        if (!falle([&] { b.HöheSetzen(h); })) return false;
        if (!falle([&] { b.ObenSetzen(balken(d.bezug).Oben() + balken(d.bezug).Höhe() - h); })) return false;
    }
    const int32_t halbe = D / 2;
    Text texte[4];
    switch (seite) {
        case 13:
            texte[0] = Zahl(S) + u" Datensätze";
            texte[1] = Zahl(D) + u" Dubletten";
            texte[2] = Zahl(T) + u" Datensätze nach Korrektur";
            break;
        case 23:
            texte[0] = Zahl(S) + u" Datensätze";
            texte[1] = Zahl(M) + u" Mülldatensätze";
            texte[2] = Zahl(T) + u" Datensätze nach Bereinigung";
            break;
        case 53:
            texte[0] = Zahl(S) + u" Quelldatensätze";
            texte[1] = u"davon " + Zahl(halbe) + u" in Referenz vorhanden";
            texte[2] = Zahl(T) + u" Datensätze nach Abgleich";
            break;
        default:
            texte[0] = Zahl(S) + u" Quelldatensätze";
            texte[1] = Zahl(halbe) + u" doppelt vorhanden";
            texte[2] = Zahl(T) + u" Datensätze nach Korrektur";
            break;
    }
    for (int i = 0; i < 3; ++i)
        if (!falle([&] { beschriften(i, texte[i]); })) return false;
    return falle([&] {
        switch (seite) {
            case 13: texte[3] = Zahl(Höhe(D - A, S, 100)) + u"% Verunreinigung"; break;
            case 23: texte[3] = Zahl(Höhe(M, S, 100)) + u"% Verunreinigung"; break;
            default: texte[3] = Zahl(Höhe(halbe, S, 100)) + u"% Übereinstimmung"; break;
        }
        beschriften(3, texte[3]);
    });
}

void frmHaupt::NachDerBearbeitung() {
    // The enriched records of the run, taken over or not, before the bookkeeping
    // columns go: the result page subtracts one per group from the duplicates.
    azlAngereichert = 0;
    Fehlerfalle::ohneFehler([this] {
        azlAngereichert = Zählen(u"SELECT * FROM " + dao::SqlBezeichner(gZieltabelle) + u" WHERE [" +
                                 Text(SpalteStatus) + u"] = 12 OR [" + Text(SpalteStatus) + u"] = 21");
    });
}
