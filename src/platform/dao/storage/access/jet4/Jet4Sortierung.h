#pragma once
// Text in index keys: Jet 4's "General" sort order in its legacy variant (sort order 1033,
// version 0), the one Access 2000 to 2003 write. Each character becomes sort codes of one
// or more bytes; accents, unprintable characters and a few others add trailing bytes
// after the codes, so that texts that differ only there still sort differently.
#include <cstdint>
#include <vector>

#include "platform/basic/Text.h"

namespace dao::speicher::access::jet4 {

inline constexpr uint16_t kSortierungAllgemein = 1033;
// Only the first 255 characters of a text go into its key.
inline constexpr size_t kTextSchlüsselZeichen = 255;

// Appends the key bytes of a text that is not Null (without the column's flag byte),
// inverted for a descending column as the format stores it. NichtSchreibbar for a
// character the sort order has no code for (UTF-16 surrogates).
void TextSchlüsselAnhängen(std::vector<uint8_t>& ziel, TextSicht text, bool aufsteigend);

}  // namespace dao::speicher::access::jet4
