#pragma once
// The system catalogue of a Jet 4 file: MSysObjects (its definition on page 2) lists
// every object; MSysACEs holds the access-control rows. A new table needs its row in
// the one and copies of the Tables container's rows in the other, with both tables'
// indexes and row counts kept right.
#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

#include "platform/dao/storage/Speichertreiber.h"
#include "platform/dao/storage/access/jet4/Jet4Tabelle.h"

namespace dao::speicher::access::jet4 {

inline constexpr uint32_t kKatalogSeite = 2;
// ParentId of the containers (Tables, Databases, Relationships) in MSysObjects.
inline constexpr int32_t kKatalogWurzel = 0x0F000000;
// Access allows at most this many characters in a table name.
inline constexpr size_t kTabellennameHöchstens = 64;

// Checks, without changing anything, that `name` can be entered: the catalogue is as
// TabelleEintragen expects it and no object of the Tables container has that name (as
// Access compares names: case and the General sort order's equal spellings alike).
// NichtSchreibbar with the German reason otherwise; a caller checks before it creates
// the table's pages.
void EintragPrüfen(const Datei& datei, TextSicht name);

// Enters the new table whose definition is at `def.seite` under `beschreibung.name`,
// created and changed at `jetzt` (Variante::Datum days): its MSysObjects row with the
// column properties (Required, AllowZeroLength) in its property blob, and the access
// rows Access copies from the Tables container. NichtSchreibbar when the catalogue is
// not as the writer expects it (checked before anything is written).
void TabelleEintragen(Datei& datei, const Tabellendef& def, const TabellenBeschreibung& beschreibung, double jetzt);

// The first definition page of the user table `name` and its name as the catalogue
// spells it (exactly so, else as Access compares names). NichtSchreibbar when there is none.
std::pair<uint32_t, Text> TabelleFinden(const Datei& datei, TextSicht name);

// Takes the table `name` out of the catalogue: its MSysObjects row and its access rows.
// Returns its definition's page; its pages are the caller's. NichtSchreibbar while a
// relation still names it, or when the catalogue is not as expected.
uint32_t TabelleAustragen(Datei& datei, TextSicht name);

// Why the relation `name` with these attribute bits (grbit) stays: one with referential
// integrity has its ends in its tables' definitions, which this writer leaves alone.
// nullopt when it can be taken out.
std::optional<Text> BeziehungBleibtGrund(TextSicht name, int32_t attribute);

// Takes the relation `name` out: its MSysRelationships rows, its MSysObjects row and its
// access rows. NichtSchreibbar for a relation with referential integrity, whose ends are
// entries in its tables' definitions.
void BeziehungAustragen(Datei& datei, TextSicht name);

// Renames tables, each pair (name in the file, new name) at once, so that names may be
// swapped: the new names are checked as for a new table against the names as they will
// be. The relation rows follow; a relation's own name stays.
void TabellenUmbenennen(Datei& datei, const std::vector<std::pair<Text, Text>>& paare, double jetzt);

// The property blob Access keeps for a new table: per field, in the order of the
// description, Required and (Text and Memo only) AllowZeroLength.
std::vector<uint8_t> SpalteneigenschaftenKodieren(const TabellenBeschreibung& beschreibung);

}  // namespace dao::speicher::access::jet4
