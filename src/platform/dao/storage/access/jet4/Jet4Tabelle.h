#pragma once
// Table definitions (TDEF pages): columns, indexes, counters and usage-map places.
#include <cstdint>
#include <vector>

#include "platform/dao/storage/Speichertreiber.h"
#include "platform/dao/storage/access/jet4/Jet4Datei.h"

namespace dao::speicher::access::jet4 {

// Column types as the format stores them.
enum Spaltentyp : uint8_t {
    kBoolean = 0x01,
    kByte = 0x02,
    kInteger = 0x03,
    kLong = 0x04,
    kCurrency = 0x05,
    kSingle = 0x06,
    kDouble = 0x07,
    kDatum = 0x08,
    kBinär = 0x09,
    kText = 0x0A,
    kOle = 0x0B,
    kMemo = 0x0C,
    kGuid = 0x0F,
    kNumerisch = 0x10,
};

struct Spalte {
    Text name;
    uint8_t typ = kText;
    uint16_t nummer = 0;      // col_num, stable id of the column
    uint16_t varIndex = 0;    // position among the variable-length columns
    uint16_t festOffset = 0;  // offset among the fixed-length data
    uint16_t länge = 0;       // bytes (Text: two per character)
    uint8_t flags = 0;        // 0x01 fixed length, 0x02 may be Null, 0x04 auto-increment, …
    uint8_t flagsErw = 0;     // 0x01 compressed Unicode
    uint16_t sortierung = 0;  // sort order (1033 General); Access writes it for every type but Numeric
    uint8_t sortversion = 0;
    uint8_t genauigkeit = 0, stellen = 0;  // Numeric
    // Memo/OLE: the column's own usage maps; its long-value pages are in `lvBelegt`, those
    // with room left also in `lvFrei`. {0,0}: the column has none (Jet 3 style).
    Zeilenort lvBelegt, lvFrei;
    bool Fest() const { return flags & 0x01; }
    bool Auto() const { return flags & 0x04; }
};

struct IndexSpalte {
    uint16_t nummer = 0;  // col_num
    bool aufsteigend = true;
};

// The B-tree itself; several logical indexes may share one.
struct RealerIndex {
    std::vector<IndexSpalte> spalten;  // at most 10
    Zeilenort karte;                   // its usage map
    uint32_t wurzel = 0;               // first (root) index page
    uint8_t flags = 0;                 // 0x01 unique, 0x02 ignore Nulls, 0x08 required
    uint32_t zeilen = 0;               // the per-index row count of the header block
};

// What Access lists as an index: name, kind, and relation ends (foreign keys).
struct LogischerIndex {
    Text name;
    uint32_t nummer = 0;
    uint32_t real = 0;     // number of its RealerIndex
    uint8_t art = 0;       // 1 primary key, 2 foreign key end, 0 plain
    uint8_t fremdTyp = 0;  // relation fields, kept as read
    uint32_t fremdIndex = 0, fremdTabelle = 0;
    uint8_t kaskadeÄndern = 0, kaskadeLöschen = 0;
};

struct Tabellendef {
    uint32_t seite = 0;               // first TDEF page
    std::vector<uint32_t> defSeiten;  // every TDEF page of it, continuations included (as read or written)
    uint8_t typ = 0x4E;               // 0x4E user, 0x53 system
    uint32_t zeilen = 0;              // row count
    uint32_t autoWert = 0;            // last auto-increment value handed out (0: none yet)
    uint16_t nächsteSpalte = 0;
    Zeilenort belegt, frei;       // usage maps: owned pages, pages with free space
    std::vector<Spalte> spalten;  // in the definition's order
    std::vector<RealerIndex> realeIndizes;
    std::vector<LogischerIndex> logischeIndizes;
};

// Bytes a column of a fixed-length type declares (Boolean 1, though its value lives in
// the Null mask); 0 for the variable-length types.
uint16_t FesteLänge(uint8_t typ);

// Reads the definition starting at `seite` (following its continuation pages).
Tabellendef TabelleLesen(const Datei& datei, uint32_t seite);

// The layout of a new table for the engine's description: column numbers, fixed
// offsets, variable indexes, sizes, flags, sort order of the file; one real index per
// distinct column list (primary and unique first). NichtSchreibbar for a type the
// format has no column for.
Tabellendef EntwurfAus(const TabellenBeschreibung& beschreibung, uint16_t sortierung, uint16_t sortversion);

// Writes a new definition: its TDEF page(s), the page with its usage-map rows (owned,
// free space, one per real index), and fills `def.seite`, `def.belegt`, `def.frei` and
// each real index's `karte`. The pages are in the table's own owned map as Access keeps them.
void TabelleAnlegen(Datei& datei, Tabellendef& def);

// Writes back, in place, only the counters of a definition that exists: row count,
// auto-increment value, each real index's row count and root page. Nothing else moves.
void ZählerSchreiben(Datei& datei, const Tabellendef& def);

}  // namespace dao::speicher::access::jet4
