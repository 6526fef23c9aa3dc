#include "search/Sucharbeit.h"

#include <algorithm>
#include <exception>
#include <utility>

namespace suche_intern {

namespace {
constexpr int64_t Einheitsgröße = 32768;  // comparisons per unit of work, at least
std::atomic<int32_t> laufend{0};
}  // namespace

int32_t LaufendeArbeiter() { return laufend.load(); }

Sucharbeit::Sucharbeit(const Vergleichsdaten& daten, std::vector<int32_t> slots, std::vector<Vollblock> blöcke,
                       float schwelle, bool kontakteDifferenzieren, int32_t arbeiter)
    : daten_(daten), slots_(std::move(slots)), blöcke_(std::move(blöcke)), schwelle_(schwelle),
      kontakte_(kontakteDifferenzieren) {
    // Items (one chunk of cursor A of a block) grouped into units of similar work.
    std::vector<int32_t> einheitsanfänge;
    int64_t summe = Einheitsgröße;
    for (size_t b = 0; b < blöcke_.size(); ++b) {
        const Vollblock& bl = blöcke_[b];
        blockAnfang_.push_back(static_cast<int32_t>(stücke_.size()));
        const int32_t k = std::max<int32_t>(bl.k, 1);
        for (int32_t a = 0; bl.von + static_cast<int64_t>(a) * k <= bl.bis; ++a) {
            const int64_t anfang = bl.von + static_cast<int64_t>(a) * k;
            const int64_t nA = std::min<int64_t>(k, bl.bis - anfang + 1);
            const int64_t kosten = nA * (nA - 1) / 2 + nA * (bl.bis - anfang - nA + 1) + 1;
            if (summe >= Einheitsgröße) {
                einheitsanfänge.push_back(static_cast<int32_t>(stücke_.size()));
                summe = 0;
            }
            summe += kosten;
            einheitVon_.push_back(static_cast<int32_t>(einheitsanfänge.size()) - 1);
            stücke_.emplace_back(static_cast<int32_t>(b), a);
        }
    }
    einheitenzahl_ = static_cast<int32_t>(einheitsanfänge.size());
    einheiten_ = std::make_unique<Einheit[]>(static_cast<size_t>(einheitenzahl_));
    for (int32_t u = 0; u < einheitenzahl_; ++u) {
        einheiten_[u].von = einheitsanfänge[u];
        einheiten_[u].bis = u + 1 < einheitenzahl_ ? einheitsanfänge[u + 1] : static_cast<int32_t>(stücke_.size());
    }
    fenster_ = std::max(8, 8 * arbeiter);
    arbeiter = std::min(arbeiter, std::max(einheitenzahl_, 1));
    for (int32_t i = 0; i < arbeiter; ++i) {
        ++laufend;
        try {
            threads_.emplace_back([this] {
                arbeiten();
                --laufend;
            });
        } catch (const std::exception&) {
            --laufend;  // fewer workers; the pass still gets every unit
            if (threads_.empty()) throw;
            break;
        }
    }
}

Sucharbeit::~Sucharbeit() {
    {
        std::lock_guard<std::mutex> l(mutex_);
        stopp_ = true;
    }
    cvArbeiter_.notify_all();
    for (auto& t : threads_) t.join();
}

int32_t Sucharbeit::BlockSuchen(int32_t von, int32_t bis) {
    for (int32_t b = nächsterBlock_; b < static_cast<int32_t>(blöcke_.size()); ++b)
        if (blöcke_[static_cast<size_t>(b)].von == von && blöcke_[static_cast<size_t>(b)].bis == bis) {
            nächsterBlock_ = b + 1;
            return b;
        }
    return -1;
}

bool Sucharbeit::Ereignisse(int32_t block, int32_t stück, const Ereignis*& anfang, const Ereignis*& ende) {
    if (block < 0 || static_cast<size_t>(block) >= blöcke_.size()) return false;
    const int64_t item = static_cast<int64_t>(blockAnfang_[static_cast<size_t>(block)]) + stück;
    const int32_t letztes = static_cast<size_t>(block) + 1 < blöcke_.size()
                                ? blockAnfang_[static_cast<size_t>(block) + 1]
                                : static_cast<int32_t>(stücke_.size());
    if (stück < 0 || item >= letztes) return false;
    const int32_t u = einheitVon_[static_cast<size_t>(item)];
    Einheit& e = einheiten_[u];
    {
        std::unique_lock<std::mutex> l(mutex_);
        if (u > verbraucht_) {
            // The units read before are done with: their memory goes, the workers may go on.
            for (int32_t x = verbraucht_; x < u; ++x) {
                einheiten_[x].ereignisse = {};
                einheiten_[x].enden = {};
            }
            verbraucht_ = u;
            cvArbeiter_.notify_all();
        }
        cvHaupt_.wait(l, [&] { return e.fertig; });
    }
    if (e.fehler) return false;
    const size_t i = static_cast<size_t>(item - e.von);
    const Ereignis* basis = e.ereignisse.data();
    anfang = basis + (i == 0 ? 0 : e.enden[i - 1]);
    ende = basis + e.enden[i];
    return true;
}

void Sucharbeit::arbeiten() {
    for (;;) {
        int32_t u = 0;
        {
            std::unique_lock<std::mutex> l(mutex_);
            cvArbeiter_.wait(l,
                             [&] { return stopp_ || nächste_ >= einheitenzahl_ || nächste_ < verbraucht_ + fenster_; });
            if (stopp_ || nächste_ >= einheitenzahl_) return;
            u = nächste_++;
        }
        Einheit& e = einheiten_[u];
        bool fehler = false;
        try {
            rechnen(e);
        } catch (const std::exception&) {
            fehler = true;
        }
        if (stopp_) return;
        {
            std::lock_guard<std::mutex> l(mutex_);
            e.fehler = fehler;
            e.fertig = true;
        }
        cvHaupt_.notify_one();
    }
}

bool Sucharbeit::vergleichen(int32_t p, int32_t q, float& wert) const {
    // A position the scan did not reach is compared by the pass.
    if (p < 1 || q < 1 || static_cast<size_t>(p) > slots_.size() || static_cast<size_t>(q) > slots_.size())
        return false;
    const int32_t a = slots_[static_cast<size_t>(p - 1)], b = slots_[static_cast<size_t>(q - 1)];
    if (a < 0 || b < 0) return false;
    return VorbereitetVergleichen(daten_, a, daten_, b, kontakte_, wert);
}

void Sucharbeit::rechnen(Einheit& e) {
    float letzter = 0;
    bool letzterBekannt = true;
    for (int32_t item = e.von; item < e.bis; ++item) {
        const auto [blockNr, stück] = stücke_[static_cast<size_t>(item)];
        const Vollblock& b = blöcke_[static_cast<size_t>(blockNr)];
        const int32_t k = std::max<int32_t>(b.k, 1);
        const int32_t pA0 = b.von + stück * k;
        const int32_t nA = std::min(k, b.bis - pA0 + 1);
        if (stück == 0) {
            letzter = 0;  // each block starts with the score 0
            letzterBekannt = true;
        } else if (item == e.von) {
            // The comparison before this chunk's first: its last row against the block's last.
            float w = 0;
            letzterBekannt = vergleichen(pA0 - 1, b.bis, w);
            letzter = letzterBekannt ? w : 0;
        }
        for (int32_t pB0 = pA0; pB0 <= b.bis;) {
            if (stopp_) return;
            const int32_t nB = std::min(k, b.bis - pB0 + 1);
            const bool erstes = pB0 == pA0;
            for (int32_t i = 0; i < nA; ++i)
                for (int32_t j = erstes ? i + 1 : 0; j < nB; ++j) {
                    const int32_t p = pA0 + i, q = pB0 + j;
                    float w = 0;
                    const bool ok = vergleichen(p, q, w);
                    if (!ok) e.ereignisse.push_back({p, q, 0, letzter, Ereignisart::Nachholen, letzterBekannt});
                    else if (w >= schwelle_)
                        e.ereignisse.push_back({p, q, w, letzter, Ereignisart::Treffer, letzterBekannt});
                    letzter = ok ? w : 0;
                    letzterBekannt = ok;
                }
            pB0 += nB;
        }
        e.enden.push_back(static_cast<uint32_t>(e.ereignisse.size()));
    }
}

}  // namespace suche_intern
