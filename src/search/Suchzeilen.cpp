#include "search/Suchzeilen.h"

#include <algorithm>

#include "foundation/mdlFeldInhalte.h"
#include "platform/basic/Fehler.h"
#include "platform/basic/Laufzeit.h"
#include "search/SucheIntern.h"
#include "search/mdlSuche.h"

namespace {

using Verfahren = Suchzeilen::Verfahren;
using Normalisierer = Suchzeilen::Normalisierer;

struct Teilzeile {
    Verfahren verfahren;
    Normalisierer normalisierer;
};

// One row of the branch table: the types whose bits form its pattern (and give
// its weights, in this order), the parts compared, and whether it is a contact row.
struct Zweig {
    int16_t gruppe;
    Typcode typen[3];
    uint8_t typzahl;
    Teilzeile teile[3];
    uint8_t teilzahl;
    bool kontakt;
};

constexpr Verfahren W = Verfahren::Wort, Z = Verfahren::Ziffer;

const Zweig zweige[] = {
    {1, {TypIndex}, 1, {}, 0, false},
    {2, {TypFirmenname}, 1, {{W, nullptr}}, 1, false},
    {2, {TypRechtsform}, 1, {{W, nullptr}}, 1, false},
    {2, {TypFirmenname, TypRechtsform}, 2, {{W, FirmennameNormalisieren}, {W, RechtsformNormalisieren}}, 2, false},
    {2, {TypBranche}, 1, {{W, nullptr}}, 1, false},
    {3, {TypStraße}, 1, {{W, nullptr}}, 1, false},
    {3, {TypHausnummer}, 1, {{Z, nullptr}}, 1, false},
    {3, {TypStraße, TypHausnummer}, 2, {{W, StraßeNormalisieren}, {Z, HausnummerNormalisieren}}, 2, false},
    {3, {TypPostleitzahl}, 1, {{Z, nullptr}}, 1, false},
    {3, {TypOrt}, 1, {{W, nullptr}}, 1, false},
    {3, {TypPostleitzahl, TypOrt}, 2, {{Z, PostleitzahlNormalisieren}, {W, OrtNormalisieren}}, 2, false},
    {4, {TypAnrede}, 1, {{W, nullptr}}, 1, true},
    {4, {TypVorname}, 1, {{W, nullptr}}, 1, true},
    {4, {TypNachname}, 1, {{W, nullptr}}, 1, true},
    {4, {TypVorname, TypNachname}, 2, {{W, VornameNormalisieren}, {W, NachnameNormalisieren}}, 2, true},
    {4, {TypAnrede, TypNachname}, 2, {{W, AnredeNormalisieren}, {W, NachnameNormalisieren}}, 2, true},
    {4,
     {TypAnrede, TypVorname, TypNachname},
     3,
     {{W, AnredeNormalisieren}, {W, VornameNormalisieren}, {W, NachnameNormalisieren}},
     3,
     true},
    {4, {TypAbteilungPosition}, 1, {{W, nullptr}}, 1, false},
    {5, {TypVorwahl}, 1, {{Z, VorwahlNormalisieren}}, 1, false},
    {5, {TypTelefon}, 1, {{Z, nullptr}}, 1, false},
    {5, {TypTelefax}, 1, {{Z, nullptr}}, 1, false},
    {5, {TypVorwahl, TypTelefon}, 2, {{Z, VorwahlNormalisieren}, {W, TelefonNormalisieren}}, 2, false},
    {5, {TypVorwahl, TypTelefax}, 2, {{Z, VorwahlNormalisieren}, {W, TelefonNormalisieren}}, 2, false},
    {6, {TypEmailadresse}, 1, {{W, nullptr}}, 1, false},
    {6, {TypInternetadresse}, 1, {{W, nullptr}}, 1, false},
};

const Zweig* zweigFinden(const Feldzuordnung& a) {
    for (const auto& z : zweige) {
        if (z.gruppe != a.Gruppe) continue;
        int16_t muster = 0;
        for (uint8_t i = 0; i < z.typzahl; ++i) muster = static_cast<int16_t>(muster | Typen[z.typen[i]].Bit);
        if (muster == a.Bits) return &z;
    }
    return nullptr;
}

}  // namespace

void Suchzeilen::planBilden() {
    plan_.clear();
    teileJeZeile_ = 0;
    const size_t spalten = std::min(Suchzuordnung.size(), static_cast<size_t>(std::max<int16_t>(Suchspaltenzahl, 0)));
    int16_t k = 0;
    for (size_t col = 0; col < spalten; ++col) {
        const Feldzuordnung& a = Suchzuordnung[col];
        if (Ignoriert(a)) continue;
        if (const Zweig* z = zweigFinden(a)) {
            Spaltenplan p;
            p.quellspalte = static_cast<int16_t>(col);
            p.spalte = k;
            p.kontakt = z->kontakt;
            p.teile = z->teilzahl;
            p.gewichte = z->typzahl;
            for (uint8_t i = 0; i < z->typzahl; ++i) {
                p.gewicht[i] = static_cast<float>(Typen[z->typen[i]].Relevanz);
                p.gewichtsumme += p.gewicht[i];
            }
            for (uint8_t i = 0; i < z->teilzahl; ++i) p.teil[i] = {z->teile[i].verfahren, z->teile[i].normalisierer};
            p.erstesTeil = teileJeZeile_;
            teileJeZeile_ += p.teile;
            plan_.push_back(p);
        }
        ++k;
    }
}

Suchzeilen::Wertsicht Suchzeilen::sichtBilden(const Variante& wert, bool ziffern) {
    Wertsicht w;
    if (wert.istEmpty()) {
        w.zustand = Zustand::Empty;
        w.numerisch = true;
        return w;
    }
    if (wert.istNull()) {
        w.zustand = Zustand::Null;
        return w;
    }
    try {
        const Text t = wert.alsText();
        w.anfang = static_cast<uint32_t>(zeichen_.size());
        w.länge = static_cast<uint32_t>(t.size());
        if (ziffern) {
            w.numerisch = IsNumeric(wert);
        } else {
            w.erstesWort = static_cast<uint32_t>(wörter_.size());
            w.maske = suche_intern::WörterBilden(t, wörter_);
            w.wörter = static_cast<uint32_t>(wörter_.size()) - w.erstesWort;
            // Beyond 255 words the comparison overflows anyway; the count suffices.
            if (w.wörter > 255) wörter_.resize(w.erstesWort);
        }
        zeichen_.append(t);
        w.zustand = Zustand::Text;
    } catch (const std::exception&) {
        w = Wertsicht{};
        w.zustand = Zustand::Fehler;
    }
    return w;
}

void Suchzeilen::Setzen(std::vector<std::vector<Variante>> zeilen) {
    zeilen_ = std::move(zeilen);
    zeilenzahl_ = zeilen_.empty() ? 0 : static_cast<int32_t>(zeilen_[0].size());
    planBilden();
    const size_t n = static_cast<size_t>(zeilenzahl_);
    leer_.assign(n * plan_.size(), 0);
    teile_.assign(n * teileJeZeile_, Wertsicht{});
    zeichen_.clear();
    wörter_.clear();
    // Row by row, so that the texts of one record lie side by side.
    for (size_t r = 0; r < n; ++r) {
        for (size_t j = 0; j < plan_.size(); ++j) {
            const Spaltenplan& p = plan_[j];
            const size_t k = static_cast<size_t>(p.spalte);
            if (k >= zeilen_.size() || zeilen_[k].size() <= r) {
                // Reading the value fails in the comparison's own trap.
                leer_[r * plan_.size() + j] = ZelleFehler;
                continue;
            }
            const Variante& wert = zeilen_[k][r];
            if (suche_intern::IstLeer(wert)) {
                leer_[r * plan_.size() + j] = ZelleLeer;
                continue;
            }
            Wertsicht* teile = &teile_[r * teileJeZeile_ + p.erstesTeil];
            for (uint8_t i = 0; i < p.teile; ++i) {
                const Teilplan& t = p.teil[i];
                const bool ziffern = t.verfahren == Verfahren::Ziffer;
                if (!t.normalisierer) {
                    teile[i] = sichtBilden(wert, ziffern);
                    continue;
                }
                try {
                    teile[i] = sichtBilden(t.normalisierer(wert), ziffern);
                } catch (const std::exception&) {
                    teile[i] = Wertsicht{};
                    teile[i].zustand = Zustand::Fehler;
                }
            }
        }
    }
}

const Variante& Suchzeilen::Wert(int32_t spalte, int32_t zeile) const {
    if (spalte < 0 || static_cast<size_t>(spalte) >= zeilen_.size() || zeile < 0 ||
        static_cast<size_t>(zeile) >= zeilen_[static_cast<size_t>(spalte)].size())
        FehlerAuslösen(fehlernummer::IndexAusserhalb);
    return zeilen_[static_cast<size_t>(spalte)][static_cast<size_t>(zeile)];
}
