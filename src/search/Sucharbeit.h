#pragma once
// Full mode's comparisons computed ahead on worker threads. The workers read only
// the prepared comparison data of the search (locked while they run), the store
// slot of every sorted position and the blocks; they return, for every chunk of
// cursor A of a block, the comparisons that matter to the pass in the order the
// pass makes them: the pairs that reach the threshold, and those that need the
// trapped comparison, which the pass makes itself. Everything else of the pass
// (cursors, pair list, progress, yields, error boxes) stays on its thread.
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "search/Suchzeilen.h"

namespace suche_intern {

struct Vollblock {
    int32_t von, bis;  // sorted positions
    int16_t k;         // chunk size
};

enum class Ereignisart : uint8_t { Treffer, Nachholen };

struct Ereignis {
    int32_t p, q;  // sorted positions of the pair, p through cursor A
    float wert;    // the score (Treffer)
    float vorher;  // the score of the comparison before it in its block
    Ereignisart art;
    bool vorherBekannt;  // false: that comparison was itself made by the pass
};

class Sucharbeit {
public:
    // `slots`: the store slot of every sorted position (index position - 1), -1 for
    // a row the store does not hold. Starts `arbeiter` threads.
    Sucharbeit(const Vergleichsdaten& daten, std::vector<int32_t> slots, std::vector<Vollblock> blöcke, float schwelle,
               bool kontakteDifferenzieren, int32_t arbeiter);
    // Stops the workers (at their next chunk) and joins them.
    ~Sucharbeit();
    Sucharbeit(const Sucharbeit&) = delete;
    Sucharbeit& operator=(const Sucharbeit&) = delete;

    // The number of the block Von..Bis, when it is one of those given; -1 otherwise.
    int32_t BlockSuchen(int32_t von, int32_t bis);
    // The events of chunk `stück` of block `block`, in the order of the pass; waits for
    // them. False when the workers could not give them (the pass compares itself).
    bool Ereignisse(int32_t block, int32_t stück, const Ereignis*& anfang, const Ereignis*& ende);

private:
    struct Einheit {
        int32_t von = 0, bis = 0;  // items
        std::vector<Ereignis> ereignisse;
        std::vector<uint32_t> enden;  // end of each item's events
        bool fertig = false, fehler = false;
    };
    void arbeiten();
    void rechnen(Einheit& e);
    bool vergleichen(int32_t p, int32_t q, float& wert) const;

    const Vergleichsdaten& daten_;
    const std::vector<int32_t> slots_;
    const std::vector<Vollblock> blöcke_;
    const float schwelle_;
    const bool kontakte_;
    std::vector<int32_t> blockAnfang_;                 // first item of each block
    std::vector<std::pair<int32_t, int32_t>> stücke_;  // item: block, chunk of cursor A
    std::vector<int32_t> einheitVon_;                  // unit of each item
    std::unique_ptr<Einheit[]> einheiten_;
    int32_t einheitenzahl_ = 0;
    int32_t nächsterBlock_ = 0;

    std::mutex mutex_;
    std::condition_variable cvHaupt_, cvArbeiter_;
    int32_t nächste_ = 0;     // next unit to compute
    int32_t verbraucht_ = 0;  // the unit the pass reads
    int32_t fenster_ = 0;     // units computed ahead at most
    std::atomic<bool> stopp_{false};
    std::vector<std::thread> threads_;
};

// Worker threads alive at this moment.
int32_t LaufendeArbeiter();

}  // namespace suche_intern
