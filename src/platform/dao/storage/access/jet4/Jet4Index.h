#pragma once
// Index keys and index pages. A key is the concatenation of its columns' encodings
// (a flag byte for Null/ascending/descending, then the value's bytes, text in the
// "General" sort order); the B-tree keeps keys with their row pointer in leaf pages
// (0x04) under node pages (0x03), each page's entries marked in the page's entry bitmap
// and, on a page that needs it, prefix-compressed against the page's first key.
#include <cstdint>
#include <optional>
#include <vector>

#include "platform/basic/Variante.h"
#include "platform/dao/storage/access/jet4/Jet4Karte.h"
#include "platform/dao/storage/access/jet4/Jet4Tabelle.h"
#include "platform/dao/storage/access/jet4/Jet4Zeilen.h"

namespace dao::speicher::access::jet4 {

// Bytes an index page holds for its entries (4096 less header and entry bitmap).
inline constexpr size_t kIndexNutzraum = 3616;
// The longest key IndexBauen takes: a node entry (key, row pointer, child page) must fit a page.
inline constexpr size_t kSchlüsselHöchstens = kIndexNutzraum - 8;

// Appends the key bytes of one column's value. A GUID comes as its text
// "{XXXXXXXX-XXXX-…}". NichtSchreibbar for a type that has no index key (Memo, OLE,
// Numeric, Binary other than Null), a text column in another sort order than General, a
// value the column cannot hold, or a text the General sort order cannot encode (never a
// wrong key).
void SchlüsselAnhängen(std::vector<uint8_t>& ziel, const Spalte& spalte, const Variante& wert, bool aufsteigend);
// Binary and GUID columns from their raw bytes as the row stores them; nullopt is Null.
void SchlüsselAnhängen(std::vector<uint8_t>& ziel, const Spalte& spalte, const std::optional<std::vector<uint8_t>>& roh,
                       bool aufsteigend);

// The whole key of a row for a real index (values in the order of def.spalten). Binary
// columns take their bytes from `roh` (a column missing there is Null; without `roh` a
// Binary column is NichtSchreibbar); GUID columns from `roh` when there, else from `werte`.
std::vector<uint8_t> Schlüssel(const Tabellendef& def, const RealerIndex& index, const std::vector<Variante>& werte,
                               const Rohwerte* roh = nullptr);

// True when the index leaves this row out: it ignores Nulls (flag 0x02) and every one of
// its columns is Null (a Boolean never is).
bool OhneEintrag(const Tabellendef& def, const RealerIndex& index, const std::vector<Variante>& werte,
                 const Rohwerte* roh = nullptr);

struct Indexeintrag {
    std::vector<uint8_t> schlüssel;
    Zeilenort ort;
    friend bool operator==(const Indexeintrag&, const Indexeintrag&) = default;
};

// Key order of the format: bytes compared unsigned, then the row pointer.
bool Vor(const Indexeintrag& a, const Indexeintrag& b);

// Builds the B-tree of `eintraege` (sorted by Vor) on pages taken from the file and put
// into `karte`; pages of the index's previous tree in `karte` are freed first. Writes
// the root page into `index.wurzel` and, as Access counts it, the number of distinct
// keys into `index.zeilen`. Leaves are filled as far as they go; node pages list every
// child but the last by its last entry and point to the last one as their tail. An
// empty index is one empty leaf. NichtSchreibbar for a key longer than
// kSchlüsselHöchstens or a page in `karte` that is not an index page of this table.
void IndexBauen(Datei& datei, const Tabellendef& def, RealerIndex& index, Nutzungskarte& karte,
                const std::vector<Indexeintrag>& eintraege);

// Every leaf entry below `wurzel`, in page order, keys decompressed. Formatfehler for
// pages that are not index pages or links that go nowhere.
std::vector<Indexeintrag> IndexLesen(const Datei& datei, uint32_t wurzel);

}  // namespace dao::speicher::access::jet4
