#pragma once
// A Jet 4 file (Access 2000 to 2003, 4096-byte pages) held in memory page by page, for
// the writer: it changes pages here and the driver writes the whole file out at once.
//
// Format facts come from the public descriptions of the format (mdbtools' HACKING notes
// and the Apache-licensed Java library for Access files); the code is our own.
#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/basic/Text.h"

namespace dao::speicher::access::jet4 {

inline constexpr uint32_t kSeitengröße = 4096;

enum class Seitentyp : uint8_t {
    Kopf = 0x00,
    Daten = 0x01,
    Tabelle = 0x02,
    IndexKnoten = 0x03,
    IndexBlatt = 0x04,
    Karte = 0x05,
};

// A structure that is not what the format allows: the driver reports the file as damaged.
struct Formatfehler : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// A sound file (or value) this writer cannot write without risk; `grund` is the German
// reason the read-only error shows.
struct NichtSchreibbar : std::runtime_error {
    explicit NichtSchreibbar(Text g) : std::runtime_error("jet4: nicht schreibbar"), grund(std::move(g)) {}
    Text grund;
};

// Where a row lives: page and row number on it (a row pointer on disk is page << 8 | row).
struct Zeilenort {
    uint32_t seite = 0;
    uint8_t zeile = 0;
    static Zeilenort AusZeiger(uint32_t z) { return {z >> 8, static_cast<uint8_t>(z & 0xFF)}; }
    uint32_t Zeiger() const { return (seite << 8) | zeile; }
    friend bool operator==(const Zeilenort&, const Zeilenort&) = default;
    friend auto operator<=>(const Zeilenort&, const Zeilenort&) = default;
};

class Datei {
public:
    // Takes the whole file, decrypted header included as on disk. Formatfehler when it is
    // not a Jet 4 file of 4096-byte pages whose size is a multiple of the page size.
    explicit Datei(std::vector<uint8_t> inhalt);

    uint32_t Seitenzahl() const { return static_cast<uint32_t>(inhalt_.size() / kSeitengröße); }
    // Formatfehler for a page past the end (or page 0 where a structure page is expected
    // is the caller's check).
    uint8_t* Seite(uint32_t nr);
    const uint8_t* Seite(uint32_t nr) const;

    // A zeroed page, taken from the free pages of the global usage map or appended at the
    // end; it is no longer free afterwards. The caller writes its type byte.
    //
    // The global map (page 1, row 0) records the free pages: a set bit is a page nobody
    // uses. Access writes it inline from page 0 with 512 pages of reach and sets every bit
    // past the end of the file. A page inside the file is either page 0, free, or used:
    // data pages are in their table's owned map, index pages (0x03/0x04) in their index's
    // map, and TDEF pages (continuations too), the pages holding usage-map rows (page 1,
    // the page after each TDEF), long-value pages ("LVAL" at offset 4) and the map pages
    // (0x05) of reference maps are used but in no map. A page outside the global map's
    // reach counts as used here; before the file outgrows the inline reach the map
    // becomes a reference map (map pages of 0x05, 32736 pages each).
    uint32_t SeiteAnlegen();
    // Back to the free pages of the global usage map, zeroed.
    void SeiteFreigeben(uint32_t nr);
    // A zeroed page appended at the end, the global map left alone (for its own map pages).
    uint32_t SeiteAnhängen();

    // Header facts the writer checks before it changes anything.
    bool Verschlüsselt() const { return verschlüsselt_; }     // pages encrypted (database key not 0)
    uint16_t Sortierung() const { return sortierung_; }       // text sort order (1033 for "General")
    uint16_t Sortierversion() const { return sortversion_; }  // 0: legacy General, as Access 2000–2003 write

    const std::vector<uint8_t>& Inhalt() const { return inhalt_; }

private:
    std::vector<uint8_t> inhalt_;
    // Read once from the masked header of page 0; the writer never changes them.
    bool verschlüsselt_ = false;
    uint16_t sortierung_ = 0;
    uint8_t sortversion_ = 0;
    uint32_t freiAb_ = 0;  // no free page below this one (only this class frees pages)
};

}  // namespace dao::speicher::access::jet4
