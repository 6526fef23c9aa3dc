#pragma once
// The pair list the search passes fill and the record list of duplicate groups
// the evaluation builds from it. Records are named by their TEMP_DSN.
//
// Slot p of a list (counted from 1, as everywhere in the engine) is element
// p - 1 of its vector; the vector's size is the number of slots, which starts at
// 100 and grows by 100. The presence and membership tests and the group numbering
// work on indexes built beside the lists, so a search costs O(pairs) here.
#include <cstdint>
#include <vector>

#include "foundation/mdlDeklarationen.h"  // gAnzahlDubletten

struct Dublettenpaar {
    int32_t Satz1 = 0;  // the record earlier in the sort order of the pass that found the pair
    int32_t Satz2 = 0;
    int32_t Gruppe = 0;  // 0 until the groups are numbered
};

struct Dublettenlisteneintrag {
    int32_t Satz = 0;
    int32_t Gruppe = 0;
};

inline std::vector<Dublettenpaar> Dublettenpaare;
inline int32_t AnzahlDublettenpaare = 0;
inline bool ZuVieleDublettenGemeldet = false;

inline std::vector<Dublettenlisteneintrag> Dublettenliste;

// Beyond this many slots new pairs are refused (after one message per search).
inline constexpr int32_t DublettenpaareHöchstzahl = 3000000;
// The bound in force; tests lower it, so as not to fill three million slots.
inline int32_t DublettenpaareSchranke = DublettenpaareHöchstzahl;

// The start of a search: no pairs, 100 zeroed slots, the message not yet shown.
void DublettenpaareZurücksetzen();
// Records (a, b) unless present or refused by the bound.
void DublettenpaarEintragen(int32_t a, int32_t b);
// Whether (a, b) or (b, a) is stored.
bool DublettenpaarVorhanden(const int32_t& a, const int32_t& b);
// Gives `Gruppe` to every unnumbered pair connected with `Satz` through unnumbered pairs.
void DublettengruppeZuweisen(int32_t Satz, int32_t Gruppe);
// Numbers all pairs: 1, 2, … in the order of the lowest-indexed pair of each
// connected group; returns the number of groups.
int32_t DublettengruppenNummerieren();
// Releases the pair storage (one empty slot); AnzahlDublettenpaare is kept.
void DublettenpaareFreigeben();

// The evaluation's start of the record list: no entries, 100 zeroed slots.
void DublettenlisteZurücksetzen();
bool DatensatzGelistet(const int32_t& Satz);
void DatensatzEintragen(const int32_t& Satz, const int32_t& Gruppe);
// The record list from the numbered pairs: for every pair its first, then its
// second record, each listed once with the pair's group.
void DublettenlisteAufbauen();
// -1 when entry i comes before entry j, 1 after, 0 the same (group, then record).
int16_t ListenEinträgeVergleichen(const int32_t& i, const int32_t& j);
void ListenEinträgeTauschen(int32_t i, int32_t j);
// Sorts entries Von to Bis (from 1) in place; an explicit stack instead of recursion.
void ListeQuickSort(int32_t Von, int32_t Bis);
void DublettenSortieren();
// Releases the record list storage (one empty slot); gAnzahlDubletten is kept.
void DublettenlisteFreigeben();
// Back to the state at program start: both lists empty, no index, the default bound.
void DublettenpaareZustandZurücksetzen();
