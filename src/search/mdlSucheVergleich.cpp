// The weighted record comparison of two prepared rows of TEMP_DS.
#include <exception>

#include "foundation/mdlMeldungen.h"
#include "platform/basic/Laufzeit.h"
#include "search/SucheIntern.h"
#include "search/Suchzeilen.h"
#include "search/mdlSuche.h"

namespace {

using suche_intern::Spaltenplan;
using suche_intern::Verfahren;
using suche_intern::Wertsicht;
using suche_intern::Zustand;
using suche_intern::ZelleFehler;
using suche_intern::ZelleGefüllt;

struct Summen {
    float W = 0, S = 0;
    double Wk = 0, Sk = 0;

    void gewichteAddieren(const Spaltenplan& p, bool kontakt) {
        // Whole numbers: the order of the additions does not matter.
        if (kontakt) Wk += p.gewichtsumme;
        else W = static_cast<float>(static_cast<double>(W) + p.gewichtsumme);
    }
    void ähnlichkeitenAddieren(const Spaltenplan& p, const float* s, bool kontakt) {
        double v = kontakt ? Sk : static_cast<double>(S);
        for (uint8_t i = 0; i < p.gewichte; ++i) v = v + static_cast<double>(s[i]) * static_cast<double>(p.gewicht[i]);
        if (kontakt) Sk = v;
        else S = static_cast<float>(v);
    }
    float ergebnis(bool kontakteDifferenzieren) {
        if (kontakteDifferenzieren && Wk != 0 && Sk / Wk < Kontaktschwelle) S = 0;
        if (W != 0) return static_cast<float>(static_cast<double>(S) / static_cast<double>(W));
        return 0;
    }
};

bool ohneWert(const Wertsicht& w) { return w.zustand == Zustand::Empty || w.zustand == Zustand::Null; }

// The comparison on the prepared views; false when a value needs the trapped
// path (a part that could not be formed, an overflow, a row outside a block).
bool schnellVergleichen(const Suchzeilen& A, const Suchzeilen& B, int32_t ia, int32_t ib, float& wert) {
    if (ia < 0 || ia >= A.Zeilenzahl() || ib < 0 || ib >= B.Zeilenzahl() || B.Plan().size() != A.Plan().size())
        return false;
    return suche_intern::VorbereitetVergleichen(A.Daten(), A.Slot(ia), B.Daten(), B.Slot(ib), KontakteDifferenzieren,
                                                wert);
}

float teilVergleichen(const Suchzeilen::Teilplan& t, const Variante& a, const Variante& b) {
    const Variante x = t.normalisierer ? t.normalisierer(a) : a;
    const Variante y = t.normalisierer ? t.normalisierer(b) : b;
    return t.verfahren == Verfahren::Wort ? WortÄhnlichkeit(x, y) : ZiffernÄhnlichkeit(x, y);
}

// The same comparison step by step from the rows' values, each step under the
// error trap: retry repeats the step, ignore goes on with the next one (a column
// keeps the weights added and the parts reached), abort leaves `wert` untouched.
void vergleichenMitFalle(const Suchzeilen& A, const Suchzeilen& B, int32_t ia, int32_t ib, float& wert) {
    Summen sum;
    const Spaltenplan* aktuell = nullptr;
    Variante a, b;
    Fehlerfalle falle([&]() -> Text {
        Variante erster, zweiter;
        try {
            erster = A.Wert(0, ia);
        } catch (const std::exception&) {
        }
        try {
            zweiter = B.Wert(0, ib);
        } catch (const std::exception&) {
        }
        const Variante feld(static_cast<int32_t>(aktuell ? aktuell->quellspalte + 1 : 0));
        return (Variante(u"Fehler beim Vergleichen der Datensätze '") & erster & Variante(u"' und '") & zweiter &
                Variante(u"' im Feld ") & feld & Variante(u" mit den Werten '") & a & Variante(u"' und '") & b &
                Variante(u"'."))
            .text();
    });
    for (const Spaltenplan& p : A.Plan()) {
        aktuell = &p;
        a = Variante::Empty();
        b = Variante::Empty();
        bool leer = false;
        if (!falle([&] {
                a = A.Wert(p.spalte, ia);
                b = B.Wert(p.spalte, ib);
                leer = suche_intern::IstLeer(a) || suche_intern::IstLeer(b);
            }))
            return;
        if (leer) continue;
        float s[3] = {0, 0, 0};
        const bool kontakt = p.kontakt && KontakteDifferenzieren;
        if (!falle([&] { sum.gewichteAddieren(p, kontakt); })) return;
        for (uint8_t i = 0; i < p.teile; ++i)
            if (!falle([&] { s[i] = teilVergleichen(p.teil[i], a, b); })) return;
        if (!falle([&] { sum.ähnlichkeitenAddieren(p, s, kontakt); })) return;
    }
    wert = sum.ergebnis(KontakteDifferenzieren);
}

}  // namespace

namespace suche_intern {

bool VorbereitetVergleichen(const Vergleichsdaten& A, int32_t a, const Vergleichsdaten& B, int32_t b,
                            bool kontakteDifferenzieren, float& wert) {
    const auto& plan = A.Plan();
    if (B.Plan().size() != plan.size()) return false;
    Summen sum;
    const uint8_t* zellenA = A.Zellen(a);
    const uint8_t* zellenB = B.Zellen(b);
    const Wertsicht* teileA = A.Teile(a);
    const Wertsicht* teileB = B.Teile(b);
    const size_t spalten = plan.size();
    for (size_t j = 0; j < spalten; ++j) {
        const uint8_t za = zellenA[j], zb = zellenB[j];
        if (za != ZelleGefüllt || zb != ZelleGefüllt) {
            if (za == ZelleFehler || zb == ZelleFehler) return false;
            continue;
        }
        const Spaltenplan& p = plan[j];
        float s[3] = {0, 0, 0};
        for (uint8_t i = 0; i < p.teile; ++i) {
            const Wertsicht& x = teileA[p.erstesTeil + i];
            const Wertsicht& y = teileB[p.erstesTeil + i];
            if (x.zustand == Zustand::Fehler || y.zustand == Zustand::Fehler) return false;
            if (p.teil[i].verfahren == Verfahren::Wort) {
                if (ohneWert(x) || ohneWert(y)) continue;
                if (WortÜberlauf(x.wörter, y.wörter, x.länge, y.länge)) return false;
                s[i] = WortKern(A.Wörter(x), B.Wörter(y));
            } else {
                if (x.zustand == Zustand::Null || y.zustand == Zustand::Null || !x.numerisch || !y.numerisch) continue;
                s[i] = ZiffernKern(A.Zeichen(x), B.Zeichen(y));
            }
        }
        const bool kontakt = p.kontakt && kontakteDifferenzieren;
        sum.gewichteAddieren(p, kontakt);
        sum.ähnlichkeitenAddieren(p, s, kontakt);
    }
    wert = sum.ergebnis(kontakteDifferenzieren);
    return true;
}

}  // namespace suche_intern

void DatensätzeVergleichen(const Suchzeilen& ZeilenA, const Suchzeilen& ZeilenB, int32_t idxA, int32_t idxB,
                           float& Wert) {
    // The trapped path starts again from the first column: up to its first error
    // it computes exactly what the prepared path did.
    if (!schnellVergleichen(ZeilenA, ZeilenB, idxA, idxB, Wert))
        vergleichenMitFalle(ZeilenA, ZeilenB, idxA, idxB, Wert);
}
