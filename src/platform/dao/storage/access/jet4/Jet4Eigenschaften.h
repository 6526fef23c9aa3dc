#pragma once
// The property blob of a catalogue row (MSysObjects.LvProp): named properties of the
// object and of each column, such as Required and AllowZeroLength.
//
// Layout: "MR2\0", then chunks of (u32 length with its 6-byte head, u16 kind). Kind 0x80
// is the pool of property names (u16 byte length + UTF-16LE each); kind 0 holds the
// object's own properties, kind 1 a column's. A value chunk starts with its group name
// (u32 length with itself, u16 byte length, name), then one entry per property: u16
// length with itself, u8 DDL flag, u8 Jet type, u16 index into the pool, u16 value
// length, the value's bytes.
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "platform/basic/Text.h"

namespace dao::speicher::access::jet4 {

struct Eigenschaft {
    Text name;
    uint8_t typ = 0;            // Jet column type of the value (1 Boolean, 10 Text, …)
    uint8_t ddl = 0;            // 1: set by DDL, kept as read
    std::vector<uint8_t> wert;  // the value's bytes as stored
};

struct Eigenschaftsgruppe {
    Text objekt;  // "" or the object's own name for the table, else the column's name
    std::vector<Eigenschaft> eigenschaften;
    // The chunk kind as read (0 the object's own, 1 a column's); unset: 0 for "", else 1.
    std::optional<uint16_t> art;
};

// A whole blob with its name pool as stored: Access keeps names in the pool that no
// group uses (of properties removed since), so the pool is needed to write a read blob
// back unchanged.
struct Eigenschaftsblock {
    std::vector<Text> namen;
    std::vector<Eigenschaftsgruppe> gruppen;
};

// The pool lists the names in the order of their first use.
std::vector<uint8_t> EigenschaftenKodieren(const std::vector<Eigenschaftsgruppe>& gruppen);
// The pool as given, names the groups use but the pool lacks appended.
std::vector<uint8_t> EigenschaftenKodieren(const Eigenschaftsblock& block);
// Formatfehler for a blob that is not one.
std::vector<Eigenschaftsgruppe> EigenschaftenLesen(std::span<const uint8_t> blob);
Eigenschaftsblock EigenschaftsblockLesen(std::span<const uint8_t> blob);

// A Boolean property as Access stores one (one byte, 0 or 1), flagged as set by DDL.
Eigenschaft BoolEigenschaft(Text name, bool wert);

}  // namespace dao::speicher::access::jet4
