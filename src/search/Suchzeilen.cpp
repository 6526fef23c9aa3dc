#include "search/Suchzeilen.h"

#include <algorithm>
#include <cstring>
#include <system_error>
#include <thread>
#include <utility>

#include "foundation/mdlFeldInhalte.h"
#include "platform/basic/Fehler.h"
#include "platform/basic/Laufzeit.h"
#include "search/SucheIntern.h"
#include "search/mdlSuche.h"

namespace {

using suche_intern::Normalisierer;
using suche_intern::Spaltenplan;
using suche_intern::Verfahren;
using suche_intern::Wertsicht;
using suche_intern::Zustand;

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

// The plan of the typing in force.
void planBilden(std::vector<Spaltenplan>& plan) {
    plan.clear();
    uint32_t teileJeZeile = 0;
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
            p.erstesTeil = teileJeZeile;
            teileJeZeile += p.teile;
            plan.push_back(p);
        }
        ++k;
    }
}

bool gleich(const Spaltenplan& a, const Spaltenplan& b) {
    if (a.quellspalte != b.quellspalte || a.spalte != b.spalte || a.kontakt != b.kontakt || a.teile != b.teile ||
        a.gewichte != b.gewichte || a.gewichtsumme != b.gewichtsumme || a.erstesTeil != b.erstesTeil)
        return false;
    for (int i = 0; i < 3; ++i)
        if (a.gewicht[i] != b.gewicht[i] || a.teil[i].verfahren != b.teil[i].verfahren ||
            a.teil[i].normalisierer != b.teil[i].normalisierer)
            return false;
    return true;
}

bool gleich(const std::vector<Spaltenplan>& a, const std::vector<Spaltenplan>& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (!gleich(a[i], b[i])) return false;
    return true;
}

// A 64-bit fingerprint: each word of input is folded in by a full 64x64-bit
// multiply whose halves are mixed (as in the wyhash family); texts go in four
// characters at a time.
struct Streuung {
    uint64_t h = 0x243f6a8885a308d3ull;
    static uint64_t mischen(uint64_t a, uint64_t b) {
        const unsigned __int128 r = static_cast<unsigned __int128>(a) * b;
        return static_cast<uint64_t>(r) ^ static_cast<uint64_t>(r >> 64);
    }
    void add(uint64_t x) { h = mischen(h ^ x ^ 0xa0761d6478bd642full, 0xe7037ed1a0b428dbull); }
    void add(TextSicht t) {
        add(t.size());
        size_t i = 0;
        for (; i + 4 <= t.size(); i += 4) {
            uint64_t w;
            std::memcpy(&w, t.data() + i, sizeof w);
            add(w);
        }
        if (i < t.size()) {
            uint64_t w = 0;
            std::memcpy(&w, t.data() + i, (t.size() - i) * sizeof(char16_t));
            add(w);
        }
    }
};

uint64_t bits(double d) {
    uint64_t b;
    std::memcpy(&b, &d, sizeof b);
    return b;
}

// Serial numbers beyond this are not given a slot of the search's store.
constexpr double Höchstslot = 1 << 26;

// The row's TEMP_DSN (third column from the end) as a slot, or -1.
int32_t slotVon(const std::vector<std::vector<Variante>>& zeilen, size_t r) {
    if (zeilen.size() < 3) return -1;
    const auto& spalte = zeilen[zeilen.size() - 3];
    if (spalte.size() <= r || !spalte[r].istZahl()) return -1;
    const double n = spalte[r].zahl();
    if (!(n >= 1 && n <= Höchstslot) || n != static_cast<double>(static_cast<int32_t>(n))) return -1;
    return static_cast<int32_t>(n);
}

suche_intern::Vergleichsdaten suchdaten;

}  // namespace

namespace suche_intern {

Vergleichsdaten& Suchvergleichsdaten() { return suchdaten; }

void Vergleichsdaten::Neu(const std::vector<Spaltenplan>& plan) {
    kennung_.clear();
    zellen_.clear();
    teile_.clear();
    zeichen_.leeren();
    wörter_.leeren();
    haupt_ = {};
    neben_.clear();
    plan_ = plan;
    planGesetzt_ = true;
    teileJeZeile_ = 0;
    for (const auto& p : plan_) teileJeZeile_ += p.teile;
}

bool Vergleichsdaten::PlanAnnehmen(const std::vector<Spaltenplan>& plan) {
    if (!planGesetzt_) Neu(plan);
    return gleich(plan, plan_);
}

void Vergleichsdaten::Freigeben() {
    Vergleichsdaten leer;
    std::swap(*this, leer);
}

uint64_t Vergleichsdaten::Kennung(const std::vector<std::vector<Variante>>& zeilen, size_t r) const {
    Streuung s;
    for (const Spaltenplan& p : plan_) {
        const size_t k = static_cast<size_t>(p.spalte);
        if (k >= zeilen.size() || zeilen[k].size() <= r) {
            s.add(0xfe);
            continue;
        }
        const Variante& v = zeilen[k][r];
        if (p.teile == 0) {
            s.add(IstLeer(v) ? 1 : 2);
            continue;
        }
        s.add(static_cast<uint64_t>(v.typ()) + 16);
        if (v.istText()) {
            s.add(v.text());
        } else {
            s.add(bits(v.zahl()));
            s.add(static_cast<uint64_t>(v.währungRoh()));
        }
    }
    return s.h == 0 ? 1 : s.h;
}

Wertsicht Vergleichsdaten::sichtBilden(const Variante& wert, bool ziffern, Schreibstellen& st) {
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
        // A text is taken as it is; other values by their text form.
        Text umgewandelt;
        if (!wert.istText()) umgewandelt = wert.alsText();
        const TextSicht t = wert.istText() ? TextSicht(wert.text()) : TextSicht(umgewandelt);
        w.länge = static_cast<uint32_t>(t.size());
        if (ziffern) {
            w.numerisch = IsNumeric(wert);
        } else if (t.size() >= 32766) {
            // Compared only through the trapped path, which overflows on it.
            w.wörter = 1;
        } else {
            // A text has at most one word more than it has characters.
            std::vector<Wort>& ziel = wörter_.platz(t.size() + 1, w.erstesWort, st.wörter);
            const size_t vorher = ziel.size();
            w.maske = WörterBilden(t, ziel);
            const size_t n = ziel.size() - vorher;
            w.wörter = static_cast<uint16_t>(std::min<size_t>(n, 65535));
            // Beyond 255 words the comparison overflows anyway; the count suffices.
            if (n > 255) ziel.resize(vorher);
        }
        std::vector<char16_t>& ziel = zeichen_.platz(t.size(), w.anfang, st.zeichen);
        ziel.insert(ziel.end(), t.begin(), t.end());
        w.zustand = Zustand::Text;
    } catch (const std::exception&) {
        w = Wertsicht{};
        w.zustand = Zustand::Fehler;
    }
    return w;
}

void Vergleichsdaten::slotsBereitstellen(size_t slots) {
    if (slots <= kennung_.size()) return;
    kennung_.resize(slots, 0);
    zellen_.resize(slots * plan_.size(), 0);
    teile_.resize(slots * teileJeZeile_);
}

void Vergleichsdaten::Vorbereiten(const std::vector<Auftrag>& aufträge,
                                  const std::vector<std::vector<Variante>>& zeilen, int32_t arbeiter) {
    // Room and fingerprints first, on this thread: the threads then write their own slots only.
    std::vector<const Auftrag*> offen;
    offen.reserve(aufträge.size());
    int32_t größter = 0;
    for (const Auftrag& a : aufträge) größter = std::max(größter, a.slot);
    slotsBereitstellen(static_cast<size_t>(größter) + 1);
    for (const Auftrag& a : aufträge) {
        if (a.slot <= 0 || Stand(a.slot, a.kennung) != 0) continue;
        kennung_[static_cast<size_t>(a.slot)] = a.kennung;
        offen.push_back(&a);
    }
    const size_t teile = std::clamp<size_t>(static_cast<size_t>(std::max(arbeiter, 1)), 1, offen.size() / 256 + 1);
    if (neben_.size() < teile) neben_.resize(teile);
    auto teil = [&](size_t k) {
        for (size_t i = k * offen.size() / teile; i < (k + 1) * offen.size() / teile; ++i) {
            const Auftrag& a = *offen[i];
            try {
                vorbereitenMit(a.slot, a.kennung, zeilen, a.zeile, neben_[k]);
            } catch (...) {  // its block prepares it again, with the error where it belongs
                kennung_[static_cast<size_t>(a.slot)] = 0;
            }
        }
    };
    std::vector<std::thread> fäden;
    for (size_t k = 1; k < teile; ++k) {
        try {
            fäden.emplace_back(teil, k);
        } catch (const std::system_error&) {  // no thread to be had: this one does the part
            teil(k);
        }
    }
    teil(0);
    for (auto& f : fäden) f.join();
}

void Vergleichsdaten::vorbereitenMit(int32_t slot, uint64_t kennung, const std::vector<std::vector<Variante>>& zeilen,
                                     size_t r, Schreibstellen& st) {
    const auto s = static_cast<size_t>(slot);
    slotsBereitstellen(s + 1);
    uint8_t* zellen = zellen_.data() + s * plan_.size();
    Wertsicht* alle = teile_.data() + s * teileJeZeile_;
    for (size_t j = 0; j < plan_.size(); ++j) {
        const Spaltenplan& p = plan_[j];
        Wertsicht* teile = alle + p.erstesTeil;
        for (uint8_t i = 0; i < p.teile; ++i) teile[i] = Wertsicht{};
        const size_t k = static_cast<size_t>(p.spalte);
        if (k >= zeilen.size() || zeilen[k].size() <= r) {
            // Reading the value fails in the comparison's own trap.
            zellen[j] = ZelleFehler;
            continue;
        }
        const Variante& wert = zeilen[k][r];
        if (IstLeer(wert)) {
            zellen[j] = ZelleLeer;
            continue;
        }
        zellen[j] = ZelleGefüllt;
        for (uint8_t i = 0; i < p.teile; ++i) {
            const Teilplan& t = p.teil[i];
            const bool ziffern = t.verfahren == Verfahren::Ziffer;
            if (!t.normalisierer) {
                teile[i] = sichtBilden(wert, ziffern, st);
                continue;
            }
            try {
                teile[i] = sichtBilden(t.normalisierer(wert), ziffern, st);
            } catch (const std::exception&) {
                teile[i] = Wertsicht{};
                teile[i].zustand = Zustand::Fehler;
            }
        }
    }
    kennung_[s] = kennung;
}

size_t Vorausbereiten(const std::vector<std::vector<Variante>>& zeilen, int32_t arbeiter) {
    if (SuchvergleichsdatenGesperrt || zeilen.empty() || zeilen[0].empty()) return 0;
    std::vector<Spaltenplan> plan;
    planBilden(plan);
    if (!suchdaten.PlanAnnehmen(plan)) return 0;
    std::vector<Vergleichsdaten::Auftrag> aufträge;
    for (size_t r = 0; r < zeilen[0].size(); ++r) {
        const int32_t slot = slotVon(zeilen, r);
        if (slot <= 0) continue;
        const uint64_t kennung = suchdaten.Kennung(zeilen, r);
        if (suchdaten.Stand(slot, kennung) == 0) aufträge.push_back({slot, kennung, r});
    }
    suchdaten.Vorbereiten(aufträge, zeilen, arbeiter);
    return aufträge.size();
}

}  // namespace suche_intern

void VergleichsdatenVerwerfen() { suchdaten.Freigeben(); }

Suchzeilen& Suchzeilen::operator=(Suchzeilen&& z) noexcept {
    if (this == &z) return *this;
    zeilen_ = std::move(z.zeilen_);
    zeilenzahl_ = z.zeilenzahl_;
    slots_ = std::move(z.slots_);
    const bool eigen = z.daten_ == &z.eigene_;
    eigene_ = std::move(z.eigene_);
    daten_ = eigen ? &eigene_ : z.daten_;
    z.zeilenzahl_ = 0;
    z.daten_ = &z.eigene_;
    return *this;
}

void Suchzeilen::Setzen(std::vector<std::vector<Variante>> zeilen) {
    static thread_local std::vector<Spaltenplan> plan;
    zeilen_ = std::move(zeilen);
    zeilenzahl_ = zeilen_.empty() ? 0 : static_cast<int32_t>(zeilen_[0].size());
    planBilden(plan);
    const size_t n = static_cast<size_t>(zeilenzahl_);
    slots_.resize(n);
    const bool gesperrt = suche_intern::SuchvergleichsdatenGesperrt;
    // An empty block leaves the store alone (it must not fix the store's plan).
    bool suchweit = n > 0 && (gesperrt ? gleich(plan, suchdaten.Plan()) : suchdaten.PlanAnnehmen(plan));
    // Row by row, so that the texts of one record lie side by side.
    for (size_t r = 0; r < n && suchweit; ++r) {
        slots_[r] = slotVon(zeilen_, r);
        if (slots_[r] <= 0) {
            suchweit = false;
            break;
        }
        const uint64_t kennung = suchdaten.Kennung(zeilen_, r);
        const int stand = suchdaten.Stand(slots_[r], kennung);
        if (stand == 2 || (stand == 0 && gesperrt)) suchweit = false;
        else if (stand == 0) suchdaten.Vorbereiten(slots_[r], kennung, zeilen_, r);
    }
    if (suchweit) {
        daten_ = &suchdaten;
        return;
    }
    daten_ = &eigene_;
    eigene_.Neu(plan);
    for (size_t r = 0; r < n; ++r) {
        slots_[r] = static_cast<int32_t>(r);
        eigene_.Vorbereiten(slots_[r], eigene_.Kennung(zeilen_, r), zeilen_, r);
    }
}

const Variante& Suchzeilen::Wert(int32_t spalte, int32_t zeile) const {
    if (spalte < 0 || static_cast<size_t>(spalte) >= zeilen_.size() || zeile < 0 ||
        static_cast<size_t>(zeile) >= zeilen_[static_cast<size_t>(spalte)].size())
        FehlerAuslösen(fehlernummer::IndexAusserhalb);
    return zeilen_[static_cast<size_t>(spalte)][static_cast<size_t>(zeile)];
}
