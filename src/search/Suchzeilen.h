#pragma once
// A block of TEMP_DS rows as GetRows delivers them ([column][row]), together with
// what the record comparison needs of each row: the text form of every compared
// value, the parts of combined columns (the normalisers are pure, so their
// results can be kept), word lists and the numeric test. DatensätzeVergleichen
// then works on views into one character store and allocates nothing.
//
// That prepared data lives in a store of the whole search, one slot per
// TEMP_DSN, so a record is prepared once however many passes and chunks read it.
// A slot remembers a fingerprint of the values it was prepared from and the plan
// it was prepared under; a row whose values or typing differ is prepared anew, so
// the store never changes a score. A block without a serial number per row keeps
// its prepared data to itself.
//
// The comparison plan (which columns count, their parts and weights) is formed
// from Suchzuordnung, Suchspaltenzahl and Typen when the block is filled; the
// search sets them before its first pass and does not change them while the
// passes run. Two blocks compared with each other must be filled under the same
// typing.
#include <algorithm>
#include <cstdint>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <vector>

#include "foundation/mdlFeldtypen.h"
#include "platform/basic/Text.h"
#include "platform/basic/Variante.h"
#include "search/SucheIntern.h"

namespace suche_intern {

enum class Verfahren : uint8_t { Wort, Ziffer };
using Normalisierer = Variante (*)(const Variante&);

struct Teilplan {
    Verfahren verfahren = Verfahren::Wort;
    Normalisierer normalisierer = nullptr;  // nullptr: the column value itself
};

// One column that a row of the branch table applies to.
struct Spaltenplan {
    int16_t quellspalte = 0;  // position in the source table, Ignorieren columns included
    int16_t spalte = 0;       // position in TEMP_DS
    bool kontakt = false;     // a contact row (gate while KontakteDifferenzieren is set)
    uint8_t teile = 0;        // parts compared, 0 to 3
    uint8_t gewichte = 0;     // weights added: as many as parts, one for Index
    float gewicht[3] = {0, 0, 0};
    double gewichtsumme = 0;  // the weights added in one expression
    Teilplan teil[3];
    uint32_t erstesTeil = 0;  // slot of its first part within a row
};

// One compared value of one row: Empty, Null, a text (a view into the store's
// characters) or a value whose text form or part could not be formed, which
// sends the comparison to its error path.
enum class Zustand : uint8_t { Empty, Null, Text, Fehler };
struct Wertsicht {
    uint32_t maske = 0;  // character classes (word parts)
    uint32_t anfang = 0;
    uint32_t länge = 0;
    uint32_t erstesWort = 0;  // into the store's word list (word parts, up to 255 words)
    uint16_t wörter = 0;      // blanks + 1 (word parts; more than 255 only counted)
    Zustand zustand = Zustand::Empty;
    bool numerisch = false;  // digit parts
};

// Elements appended in blocks of 2^Bits, addressed by one number (the block in the
// high bits, the place in the low ones): a store of a million records grows without
// ever copying what it holds, and without needing it twice while it grows. An
// appended run never crosses a block; one longer than a block gets a block of its own.
// Several threads may append at once, each at a Stelle of its own (a block of its
// own); nobody reads while they do.
inline std::mutex Blockvergabe;
template <class T, unsigned Bits>
class Blockspeicher {
public:
    static constexpr size_t kBlock = size_t{1} << Bits;
    struct Stelle {
        std::vector<T>* block = nullptr;
        uint32_t nummer = 0;
    };
    // The block to append up to `n` elements to at `s`; `anfang` gets the number of the first.
    std::vector<T>& platz(size_t n, uint32_t& anfang, Stelle& s) {
        if (!s.block || s.block->size() + n > kBlock) neuerBlock(n, s);
        anfang = s.nummer << Bits | static_cast<uint32_t>(s.block->size());
        return *s.block;
    }
    const T* zeiger(uint32_t anfang) const {
        const size_t b = anfang >> Bits;
        return b < blöcke_.size() ? blöcke_[b]->data() + (anfang & (kBlock - 1)) : nullptr;
    }
    // Every block given back; the Stellen must be reset too.
    void leeren() { blöcke_.clear(); }

private:
    void neuerBlock(size_t n, Stelle& s) {
        std::lock_guard<std::mutex> l(Blockvergabe);
        if (blöcke_.size() >= (size_t{1} << (32 - Bits))) throw std::length_error("Blockspeicher voll");
        blöcke_.push_back(std::make_unique<std::vector<T>>());
        s.block = blöcke_.back().get();
        s.nummer = static_cast<uint32_t>(blöcke_.size() - 1);
        // The first block grows as needed, so a small store stays small.
        if (blöcke_.size() > 1) s.block->reserve(std::max(n, kBlock));
    }
    std::vector<std::unique_ptr<std::vector<T>>> blöcke_;
};

// The cells of one row, one per plan column: filled, Empty/Null/"", or not readable.
inline constexpr uint8_t ZelleGefüllt = 0, ZelleLeer = 1, ZelleFehler = 2;

// Prepared rows in slots. Reading it is safe from several threads as long as
// nobody prepares into it at the same time.
class Vergleichsdaten {
public:
    const std::vector<Spaltenplan>& Plan() const { return plan_; }
    int32_t Slotzahl() const { return static_cast<int32_t>(kennung_.size()); }
    const uint8_t* Zellen(int32_t slot) const { return zellen_.data() + static_cast<size_t>(slot) * plan_.size(); }
    const Wertsicht* Teile(int32_t slot) const { return teile_.data() + static_cast<size_t>(slot) * teileJeZeile_; }
    TextSicht Zeichen(const Wertsicht& w) const {
        return w.länge ? TextSicht(zeichen_.zeiger(w.anfang), w.länge) : TextSicht();
    }
    Wortliste Wörter(const Wertsicht& w) const { return {Zeichen(w), wörter_.zeiger(w.erstesWort), w.wörter, w.maske}; }

    // Empties every slot and takes `plan`.
    void Neu(const std::vector<Spaltenplan>& plan);
    // Takes `plan` when the store has none yet; whether `plan` is the one in force.
    bool PlanAnnehmen(const std::vector<Spaltenplan>& plan);
    // A fingerprint of the compared values of row `r` of `zeilen` (never 0).
    uint64_t Kennung(const std::vector<std::vector<Variante>>& zeilen, size_t r) const;
    // 0: slot `slot` is empty; 1: it holds a row of this fingerprint; 2: another row.
    int Stand(int32_t slot, uint64_t kennung) const {
        if (slot < 0 || slot >= Slotzahl() || kennung_[static_cast<size_t>(slot)] == 0) return 0;
        return kennung_[static_cast<size_t>(slot)] == kennung ? 1 : 2;
    }
    // Slot `slot` gets row `r` of `zeilen`, whose fingerprint is `kennung`.
    void Vorbereiten(int32_t slot, uint64_t kennung, const std::vector<std::vector<Variante>>& zeilen, size_t r) {
        vorbereitenMit(slot, kennung, zeilen, r, haupt_);
    }
    struct Auftrag {
        int32_t slot;
        uint64_t kennung;
        size_t zeile;
    };
    // The same for many rows, on up to `arbeiter` threads (each its own slots); a
    // slot asked for twice is prepared once. A row whose preparation failed leaves
    // its slot empty.
    void Vorbereiten(const std::vector<Auftrag>& aufträge, const std::vector<std::vector<Variante>>& zeilen,
                     int32_t arbeiter);
    // Every slot emptied and the memory given back; the next plan offered is taken.
    void Freigeben();

private:
    struct Schreibstellen {
        Blockspeicher<char16_t, 20>::Stelle zeichen;
        Blockspeicher<Wort, 18>::Stelle wörter;
    };
    Wertsicht sichtBilden(const Variante& wert, bool ziffern, Schreibstellen& st);
    void vorbereitenMit(int32_t slot, uint64_t kennung, const std::vector<std::vector<Variante>>& zeilen, size_t r,
                        Schreibstellen& st);
    void slotsBereitstellen(size_t slots);

    std::vector<Spaltenplan> plan_;
    bool planGesetzt_ = false;
    uint32_t teileJeZeile_ = 0;
    std::vector<uint64_t> kennung_;  // per slot; 0: empty
    std::vector<uint8_t> zellen_;
    std::vector<Wertsicht> teile_;
    Blockspeicher<char16_t, 20> zeichen_;
    Blockspeicher<Wort, 18> wörter_;
    Schreibstellen haupt_;               // of the calling thread
    std::vector<Schreibstellen> neben_;  // of the helper threads, kept from call to call
};

// The comparison of two prepared slots (the same or two stores), without the
// error trap and touching no global state: false when the pair needs the trapped
// path (a part that could not be formed, an overflow).
bool VorbereitetVergleichen(const Vergleichsdaten& A, int32_t a, const Vergleichsdaten& B, int32_t b,
                            bool kontakteDifferenzieren, float& wert);

// Prepares the rows of `zeilen` into the search's store before their block is filled,
// on up to `arbeiter` threads; the block then finds them there. Rows the store holds
// already or cannot take are left to their block. How many rows it prepared.
size_t Vorausbereiten(const std::vector<std::vector<Variante>>& zeilen, int32_t arbeiter);

// The store of the running search. A slot once filled is never overwritten
// while the store lives: a block whose rows the store holds differently (or
// under another plan) keeps its prepared data to itself. While gesperrt, the
// same holds for rows the store does not hold yet, so nothing writes to it.
Vergleichsdaten& Suchvergleichsdaten();
inline bool SuchvergleichsdatenGesperrt = false;

}  // namespace suche_intern

// Releases the prepared data of the last search.
void VergleichsdatenVerwerfen();

class Suchzeilen {
public:
    using Verfahren = suche_intern::Verfahren;
    using Normalisierer = suche_intern::Normalisierer;
    using Teilplan = suche_intern::Teilplan;
    using Spaltenplan = suche_intern::Spaltenplan;
    using Zustand = suche_intern::Zustand;
    using Wertsicht = suche_intern::Wertsicht;
    static constexpr uint8_t ZelleGefüllt = suche_intern::ZelleGefüllt, ZelleLeer = suche_intern::ZelleLeer,
                             ZelleFehler = suche_intern::ZelleFehler;

    Suchzeilen() = default;
    explicit Suchzeilen(std::vector<std::vector<Variante>> zeilen) { Setzen(std::move(zeilen)); }
    Suchzeilen(const Suchzeilen&) = delete;
    Suchzeilen& operator=(const Suchzeilen&) = delete;
    Suchzeilen(Suchzeilen&& z) noexcept { *this = std::move(z); }
    Suchzeilen& operator=(Suchzeilen&& z) noexcept;
    // Takes a new block of rows; the buffers of the old one are reused.
    void Setzen(std::vector<std::vector<Variante>> zeilen);

    int32_t Zeilenzahl() const { return zeilenzahl_; }
    int32_t Spaltenzahl() const { return static_cast<int32_t>(zeilen_.size()); }
    // The value as read; outside the block raises error 9.
    const Variante& Wert(int32_t spalte, int32_t zeile) const;
    const std::vector<std::vector<Variante>>& Zeilen() const { return zeilen_; }

    const std::vector<Spaltenplan>& Plan() const { return daten_->Plan(); }
    // Where the prepared data of row `zeile` stands.
    const suche_intern::Vergleichsdaten& Daten() const { return *daten_; }
    int32_t Slot(int32_t zeile) const { return slots_[static_cast<size_t>(zeile)]; }
    // The slot of row `zeile` in the search's store, -1 when the row is kept here.
    int32_t Suchslot(int32_t zeile) const { return daten_ == &eigene_ ? -1 : Slot(zeile); }

    const uint8_t* Zellen(int32_t zeile) const { return daten_->Zellen(Slot(zeile)); }
    const Wertsicht* Teile(int32_t zeile) const { return daten_->Teile(Slot(zeile)); }
    TextSicht Zeichen(const Wertsicht& w) const { return daten_->Zeichen(w); }
    suche_intern::Wortliste Wörter(const Wertsicht& w) const { return daten_->Wörter(w); }

private:
    std::vector<std::vector<Variante>> zeilen_;
    int32_t zeilenzahl_ = 0;
    std::vector<int32_t> slots_;
    suche_intern::Vergleichsdaten eigene_;
    const suche_intern::Vergleichsdaten* daten_ = &eigene_;
};
