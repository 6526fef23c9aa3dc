#pragma once
// The cores of the two similarity measures, on plain text views, shared by the
// measures themselves and by the record comparison's prepared rows.
#include <cstdint>
#include <vector>

#include "platform/basic/Text.h"
#include "platform/basic/Variante.h"

namespace suche_intern {

// A text of blanks only, the empty text included: what the preparation leaves of
// a combined column whose parts are all missing.
inline bool NurLeerzeichen(TextSicht t) { return t.find_first_not_of(u' ') == TextSicht::npos; }

// A column value that takes no part in the comparison: Empty, Null, "" or blanks only.
inline bool IstLeer(const Variante& v) {
    return v.istEmpty() || v.istNull() || (v.istText() && NurLeerzeichen(v.text()));
}

// A coarse set of the characters of a text (32 classes): a word whose class set
// is not within that of a text cannot occur in it.
inline uint32_t Zeichenklasse(char16_t c) { return uint32_t{1} << ((c ^ (c >> 5)) & 31); }

// One word of a text (split at every blank, empty words included). Eight bytes, as
// the search keeps the words of every record; texts long enough to overflow the
// 16-bit offsets are never compared word by word (see WortÜberlauf).
struct Wort {
    uint32_t maske;
    uint16_t anfang;  // offset into the text
    uint16_t länge;
};

// A text with its words, the words of the text with one blank appended: its
// blanks plus one, the last one empty when the text ends in a blank.
struct Wortliste {
    TextSicht text;
    const Wort* wörter;
    uint32_t anzahl;
    uint32_t maske;
};

// Appends the words of `t` to `wörter`; returns the class set of the whole text.
uint32_t WörterBilden(TextSicht t, std::vector<Wort>& wörter);

// Whether the two word counters or the 16-bit positions would overflow.
inline bool WortÜberlauf(uint32_t wörterA, uint32_t wörterB, size_t längeA, size_t längeB) {
    return wörterA + wörterB > 255 || längeA >= 32766 || längeB >= 32766;
}

// found / total over the words of both texts; the caller has ruled out an overflow.
float WortKern(const Wortliste& a, const Wortliste& b);

// Agreement position by position from the left of two numeric text forms.
float ZiffernKern(TextSicht a, TextSicht b);

}  // namespace suche_intern
