#pragma once
// The field-type model: which kinds of content a column can hold, their bits
// within their group and their weights in the record comparison. Built once at
// start-up from the built-in table or, when present, from Einstellungen.CFG.
#include <array>
#include <cstdint>

#include "platform/basic/Fehler.h"
#include "platform/basic/Text.h"

// Ten times the group plus the item (1 to 4) within the group; codes below 10 are group 0.
using Typcode = int16_t;

inline constexpr Typcode TypIgnorieren = 1;
inline constexpr Typcode TypIndex = 11;
inline constexpr Typcode TypFirmenname = 21;
inline constexpr Typcode TypRechtsform = 22;
inline constexpr Typcode TypBranche = 23;
inline constexpr Typcode TypStraße = 31;
inline constexpr Typcode TypHausnummer = 32;
inline constexpr Typcode TypPostleitzahl = 33;
inline constexpr Typcode TypOrt = 34;
inline constexpr Typcode TypAnrede = 41;
inline constexpr Typcode TypVorname = 42;
inline constexpr Typcode TypNachname = 43;
inline constexpr Typcode TypAbteilungPosition = 44;
inline constexpr Typcode TypVorwahl = 51;
inline constexpr Typcode TypTelefon = 52;
inline constexpr Typcode TypTelefax = 53;
inline constexpr Typcode TypEmailadresse = 61;
inline constexpr Typcode TypInternetadresse = 62;

struct Feldtyp {
    Text Name;
    int16_t Bit = -1;  // -1 in every slot whose code names no type
    int16_t Relevanz = 0;
    int16_t Signifikanz = 0;
};

struct Feldgruppe {
    Text Name;
};

// A fixed array with the index range of the original tables; an index outside it
// raises error 9 into the caller's error trap instead of reading past the end.
template <typename T, int Von, int Bis>
class Bereichsfeld {
public:
    T& operator[](int index) { return werte_[position(index)]; }
    const T& operator[](int index) const { return werte_[position(index)]; }
    static constexpr int Untergrenze() { return Von; }
    static constexpr int Obergrenze() { return Bis; }
    void Leeren() { werte_.fill(T{}); }

private:
    static size_t position(int index) {
        if (index < Von || index > Bis) FehlerAuslösen(fehlernummer::IndexAusserhalb);
        return static_cast<size_t>(index - Von);
    }
    std::array<T, Bis - Von + 1> werte_{};
};

using Feldtypen = Bereichsfeld<Feldtyp, 1, 69>;
using Feldgruppen = Bereichsfeld<Feldgruppe, 0, 6>;

inline Feldtypen Typen;
inline Feldgruppen Gruppen;

// Builds Typen, Gruppen, gRelevanz and gSignifikanz; once, at start-up.
void FeldtypenInitialisieren();
// The group of a type code: 0 below 10, else the first digit of the code.
int16_t GruppeVonFeldtyp(double Code);
// Whether the bit of type `Code` is contained in `Maske` (the Bits of a column).
bool FeldtypInMaske(int16_t Maske, int Code);
