#pragma once
// The mixing of two tables into one work table for the two-table operations: the
// rows of the first table as they are, then the rows of the second mapped onto the
// first table's columns by field type, each row marked in TEMP_DSQ with the table
// it came from. The duplicate search then runs over the mixed table.
#include <array>
#include <cstdint>
#include <optional>
#include <vector>

#include "foundation/mdlDeklarationen.h"
#include "platform/basic/Variante.h"
#include "platform/dao/Dao.h"

// The value of TEMP_DSQ: which table a row of the mixed table came from.
using Datensatzquelle = uint8_t;
inline constexpr Datensatzquelle QuelleTabelle1 = 1, QuelleTabelle2 = 2;

// Builds the mixed table `Temp` ("TEMP_DA" or "TEMP_ND") from Tabelle1 and Tabelle2.
// Runs inside a two-table driver, which owns the run's table list. With neither
// flag set afterwards the table is complete and FelderErgebnis holds Felder1 plus
// the entry of TEMP_DSQ; otherwise the mixing is undone, the page is left as it
// is and FelderErgebnis unchanged. FelderErgebnis may be Felder1 itself.
void MischenStarten(const Variante& Tabelle1, const Variante& Tabelle2, const Variante& Temp,
                    const std::vector<Feldzuordnung>& Felder1, const std::vector<Feldzuordnung>& Felder2,
                    std::vector<Feldzuordnung>& FelderErgebnis);
// Drops the state the last mixing left behind: the state at program start.
void MischenZustandZurücksetzen();

// Per type code c (1 to 69), at c - 1: the first column of the second table that
// holds type c, combined columns included; -1 when none.
using Typspaltenfeld = std::array<int16_t, 69>;
Typspaltenfeld TypspaltenBilden(const std::vector<Feldzuordnung>& Felder2);

// What the mapping looks at of a column of the mixed table.
struct Mischspalte {
    int16_t Typ = dao::dbText;
    int32_t Attribute = 0;
};

// One row of the second table (`Quelle`, a value per column) mapped onto the first
// table's columns (`Felder1` and `Spalten`, one entry each): per column the value
// to store (Null where nothing maps), or nullopt for a column the mapping leaves
// to the table (auto numbers, yes/no, currency, date and time columns).
std::vector<std::optional<Variante>> DatensatzAbbilden(const std::vector<Variante>& Quelle,
                                                       const std::vector<Feldzuordnung>& Felder1,
                                                       const std::vector<Mischspalte>& Spalten,
                                                       const Typspaltenfeld& Typspalten);
