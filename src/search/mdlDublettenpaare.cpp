// The pair list of the search passes and the record list of duplicate groups.
#include "search/mdlDublettenpaare.h"

#include <algorithm>
#include <unordered_map>
#include <utility>

#include "foundation/mdlMeldungen.h"

namespace {

constexpr size_t Schritt = 100;  // slots added at a time

// A set of 64-bit keys, open addressing with linear probing: a few bytes per
// key, where a node-based set would need several times that for millions of pairs.
class Schlüsselmenge {
public:
    void leeren() {
        feld_.clear();
        feld_.shrink_to_fit();
        anzahl_ = 0;
        mitFrei_ = false;
    }
    bool enthält(uint64_t k) const {
        if (k == frei) return mitFrei_;
        if (feld_.empty()) return false;
        for (size_t i = mischen(k) & maske();; i = (i + 1) & maske()) {
            if (feld_[i] == k) return true;
            if (feld_[i] == frei) return false;
        }
    }
    void einfügen(uint64_t k) {
        if (k == frei) {
            mitFrei_ = true;
            return;
        }
        if ((anzahl_ + 1) * 2 > feld_.size()) wachsen();
        if (setzen(feld_, k)) ++anzahl_;
    }

private:
    static constexpr uint64_t frei = ~uint64_t{0};
    static uint64_t mischen(uint64_t x) {
        x ^= x >> 30;
        x *= 0xbf58476d1ce4e5b9ULL;
        x ^= x >> 27;
        x *= 0x94d049bb133111ebULL;
        return x ^ (x >> 31);
    }
    size_t maske() const { return feld_.size() - 1; }
    static bool setzen(std::vector<uint64_t>& feld, uint64_t k) {
        const size_t m = feld.size() - 1;
        for (size_t i = mischen(k) & m;; i = (i + 1) & m) {
            if (feld[i] == k) return false;
            if (feld[i] == frei) {
                feld[i] = k;
                return true;
            }
        }
    }
    void wachsen() {
        std::vector<uint64_t> neu(std::max<size_t>(64, feld_.size() * 2), frei);
        for (uint64_t k : feld_)
            if (k != frei) setzen(neu, k);
        feld_ = std::move(neu);
    }

    std::vector<uint64_t> feld_;
    size_t anzahl_ = 0;
    bool mitFrei_ = false;
};

uint64_t Paarschlüssel(int32_t a, int32_t b) {
    const int32_t lo = std::min(a, b), hi = std::max(a, b);
    return (uint64_t{static_cast<uint32_t>(lo)} << 32) | static_cast<uint32_t>(hi);
}

// The indexes follow the lists by their counts: pairs and entries are only ever
// appended, and a list that starts again has a smaller count than was indexed.
Schlüsselmenge paarindex;
int32_t paareIndexiert = 0;
Schlüsselmenge listenindex;
int32_t einträgeIndexiert = 0;

void PaarindexAbgleichen() {
    if (paareIndexiert > AnzahlDublettenpaare) {
        paarindex.leeren();
        paareIndexiert = 0;
    }
    const int32_t bis = std::min<int32_t>(AnzahlDublettenpaare, static_cast<int32_t>(Dublettenpaare.size()));
    for (; paareIndexiert < bis; ++paareIndexiert) {
        const Dublettenpaar& p = Dublettenpaare[static_cast<size_t>(paareIndexiert)];
        paarindex.einfügen(Paarschlüssel(p.Satz1, p.Satz2));
    }
}

void ListenindexAbgleichen() {
    if (einträgeIndexiert > gAnzahlDubletten) {
        listenindex.leeren();
        einträgeIndexiert = 0;
    }
    const int32_t bis = std::min<int32_t>(gAnzahlDubletten, static_cast<int32_t>(Dublettenliste.size()));
    for (; einträgeIndexiert < bis; ++einträgeIndexiert)
        listenindex.einfügen(static_cast<uint32_t>(Dublettenliste[static_cast<size_t>(einträgeIndexiert)].Satz));
}

// Which pairs touch which record (pair indexes in ascending order), built once
// for the pairs stored when the numbering starts.
struct Nachbarschaft {
    int32_t paare = -1;                           // pairs covered; -1: not built
    std::unordered_map<int32_t, int32_t> nummer;  // record -> dense number
    std::vector<int32_t> anfang;                  // per dense number, into `paar`
    std::vector<int32_t> paar;

    void bilden() {
        const int32_t n = std::min<int32_t>(AnzahlDublettenpaare, static_cast<int32_t>(Dublettenpaare.size()));
        nummer.clear();
        nummer.reserve(static_cast<size_t>(n) * 2);
        std::vector<int32_t> grad;
        auto dicht = [&](int32_t satz) {
            auto [it, neu] = nummer.try_emplace(satz, static_cast<int32_t>(grad.size()));
            if (neu) grad.push_back(0);
            return it->second;
        };
        for (int32_t p = 0; p < n; ++p) {
            const Dublettenpaar& d = Dublettenpaare[static_cast<size_t>(p)];
            ++grad[static_cast<size_t>(dicht(d.Satz1))];
            ++grad[static_cast<size_t>(dicht(d.Satz2))];
        }
        anfang.assign(grad.size() + 1, 0);
        for (size_t i = 0; i < grad.size(); ++i) anfang[i + 1] = anfang[i] + grad[i];
        paar.assign(static_cast<size_t>(anfang.back()), 0);
        std::vector<int32_t> frei(anfang.begin(), anfang.end() - 1);
        for (int32_t p = 0; p < n; ++p) {
            const Dublettenpaar& d = Dublettenpaare[static_cast<size_t>(p)];
            paar[static_cast<size_t>(frei[static_cast<size_t>(nummer[d.Satz1])]++)] = p;
            paar[static_cast<size_t>(frei[static_cast<size_t>(nummer[d.Satz2])]++)] = p;
        }
        paare = n;
    }
    void freigeben() {
        paare = -1;
        nummer = {};
        anfang = {};
        paar = {};
    }
};
Nachbarschaft nachbarn;

}  // namespace

void DublettenpaareZurücksetzen() {
    AnzahlDublettenpaare = 0;
    Dublettenpaare.assign(Schritt, Dublettenpaar{});
    ZuVieleDublettenGemeldet = false;
    paarindex.leeren();
    paareIndexiert = 0;
    nachbarn.freigeben();
}

void DublettenpaareZustandZurücksetzen() {
    Dublettenpaare.clear();
    Dublettenpaare.shrink_to_fit();
    AnzahlDublettenpaare = 0;
    ZuVieleDublettenGemeldet = false;
    Dublettenliste.clear();
    Dublettenliste.shrink_to_fit();
    DublettenpaareSchranke = DublettenpaareHöchstzahl;
    paarindex.leeren();
    paareIndexiert = 0;
    listenindex.leeren();
    einträgeIndexiert = 0;
    nachbarn.freigeben();
}

bool DublettenpaarVorhanden(const int32_t& a, const int32_t& b) {
    if (AnzahlDublettenpaare < 1) return false;
    PaarindexAbgleichen();
    return paarindex.enthält(Paarschlüssel(a, b));
}

void DublettenpaarEintragen(int32_t a, int32_t b) {
    if (Dublettenpaare.size() > static_cast<size_t>(DublettenpaareSchranke)) {
        if (!ZuVieleDublettenGemeldet) {
            HinweisAnzeigen(Variante(u"Es wurden zu viele Dubletten gefunden!\rFühren sie die Suche nach Beendigung "
                                     u"erneut aus."));
            ZuVieleDublettenGemeldet = true;
        }
        return;
    }
    if (DublettenpaarVorhanden(a, b)) return;
    PaarindexAbgleichen();
    ++AnzahlDublettenpaare;
    if (static_cast<size_t>(AnzahlDublettenpaare) > Dublettenpaare.size())
        Dublettenpaare.resize(Dublettenpaare.size() + Schritt);
    Dublettenpaar& p = Dublettenpaare[static_cast<size_t>(AnzahlDublettenpaare - 1)];
    p.Satz1 = a;
    p.Satz2 = b;
    paarindex.einfügen(Paarschlüssel(a, b));
    paareIndexiert = AnzahlDublettenpaare;
}

void DublettengruppeZuweisen(int32_t Satz, int32_t Gruppe) {
    const int32_t n = std::min<int32_t>(AnzahlDublettenpaare, static_cast<int32_t>(Dublettenpaare.size()));
    if (nachbarn.paare != n) nachbarn.bilden();
    const auto start = nachbarn.nummer.find(Satz);
    if (start == nachbarn.nummer.end()) return;
    // Depth-first over records; a pair is numbered when first met, so each pair
    // is followed once, as in the recursive form, and the same pairs get the number.
    std::vector<int32_t> offen{start->second};
    while (!offen.empty()) {
        const int32_t r = offen.back();
        offen.pop_back();
        for (int32_t i = nachbarn.anfang[static_cast<size_t>(r)]; i < nachbarn.anfang[static_cast<size_t>(r) + 1];
             ++i) {
            Dublettenpaar& d = Dublettenpaare[static_cast<size_t>(nachbarn.paar[static_cast<size_t>(i)])];
            if (d.Gruppe != 0) continue;
            d.Gruppe = Gruppe;
            const int32_t dichtEins = nachbarn.nummer[d.Satz1];
            offen.push_back(dichtEins == r ? nachbarn.nummer[d.Satz2] : dichtEins);
        }
    }
}

int32_t DublettengruppenNummerieren() {
    int32_t g = 0;
    const int32_t n = std::min<int32_t>(AnzahlDublettenpaare, static_cast<int32_t>(Dublettenpaare.size()));
    for (int32_t p = 0; p < n; ++p) {
        if (Dublettenpaare[static_cast<size_t>(p)].Gruppe != 0) continue;
        ++g;
        DublettengruppeZuweisen(Dublettenpaare[static_cast<size_t>(p)].Satz1, g);
    }
    return g;
}

void DublettenpaareFreigeben() {
    Dublettenpaare.assign(1, Dublettenpaar{});
    Dublettenpaare.shrink_to_fit();
    paarindex.leeren();
    paareIndexiert = 0;
    nachbarn.freigeben();
}

void DublettenlisteZurücksetzen() {
    gAnzahlDubletten = 0;
    Dublettenliste.assign(Schritt, Dublettenlisteneintrag{});
    listenindex.leeren();
    einträgeIndexiert = 0;
}

bool DatensatzGelistet(const int32_t& Satz) {
    if (gAnzahlDubletten < 1) return false;
    ListenindexAbgleichen();
    return listenindex.enthält(static_cast<uint32_t>(Satz));
}

void DatensatzEintragen(const int32_t& Satz, const int32_t& Gruppe) {
    ListenindexAbgleichen();
    ++gAnzahlDubletten;
    if (static_cast<size_t>(gAnzahlDubletten) > Dublettenliste.size())
        Dublettenliste.resize(Dublettenliste.size() + Schritt);
    Dublettenliste[static_cast<size_t>(gAnzahlDubletten - 1)] = {Satz, Gruppe};
    listenindex.einfügen(static_cast<uint32_t>(Satz));
    einträgeIndexiert = gAnzahlDubletten;
}

void DublettenlisteAufbauen() {
    DublettenlisteZurücksetzen();
    const int32_t n = std::min<int32_t>(AnzahlDublettenpaare, static_cast<int32_t>(Dublettenpaare.size()));
    for (int32_t p = 0; p < n; ++p) {
        const Dublettenpaar d = Dublettenpaare[static_cast<size_t>(p)];
        if (!DatensatzGelistet(d.Satz1)) DatensatzEintragen(d.Satz1, d.Gruppe);
        if (!DatensatzGelistet(d.Satz2)) DatensatzEintragen(d.Satz2, d.Gruppe);
    }
}

namespace {

int16_t EinträgeVergleichen(const Dublettenlisteneintrag& x, const Dublettenlisteneintrag& y) {
    if (x.Gruppe < y.Gruppe) return -1;
    if (x.Gruppe > y.Gruppe) return 1;
    if (x.Satz < y.Satz) return -1;
    if (x.Satz > y.Satz) return 1;
    return 0;
}

Dublettenlisteneintrag& Eintrag(int32_t i) { return Dublettenliste[static_cast<size_t>(i - 1)]; }

}  // namespace

int16_t ListenEinträgeVergleichen(const int32_t& i, const int32_t& j) {
    return EinträgeVergleichen(Eintrag(i), Eintrag(j));
}

void ListenEinträgeTauschen(int32_t i, int32_t j) { std::swap(Eintrag(i), Eintrag(j)); }

void ListeQuickSort(int32_t Von, int32_t Bis) {
    // Hoare's partition as in the recursive form; the smaller side is sorted
    // first from an explicit stack, so the stack stays logarithmic.
    std::vector<std::pair<int32_t, int32_t>> offen{{Von, Bis}};
    while (!offen.empty()) {
        auto [lo, hi] = offen.back();
        offen.pop_back();
        while (lo < hi) {
            const Dublettenlisteneintrag pivot = Eintrag(lo + (hi - lo) / 2);
            int32_t i = lo, j = hi;
            do {
                while (EinträgeVergleichen(Eintrag(i), pivot) < 0) ++i;
                while (EinträgeVergleichen(pivot, Eintrag(j)) < 0) --j;
                if (i <= j) {
                    ListenEinträgeTauschen(i, j);
                    ++i;
                    --j;
                }
            } while (i <= j);
            // Left part lo..j, right part i..hi.
            if (j - lo < hi - i) {
                if (i < hi) offen.emplace_back(i, hi);
                hi = j;
            } else {
                if (lo < j) offen.emplace_back(lo, j);
                lo = i;
            }
        }
    }
}

void DublettenSortieren() { ListeQuickSort(1, gAnzahlDubletten); }

void DublettenlisteFreigeben() {
    Dublettenliste.assign(1, Dublettenlisteneintrag{});
    Dublettenliste.shrink_to_fit();
    listenindex.leeren();
    einträgeIndexiert = 0;
}
