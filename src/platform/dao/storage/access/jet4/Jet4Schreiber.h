#pragma once
// The Jet 4 writer: adds new tables to a file held in memory.
#include <cstdint>
#include <optional>
#include <vector>

#include "platform/dao/storage/Speichertreiber.h"
#include "platform/dao/storage/access/jet4/Jet4Tabelle.h"

namespace dao::speicher::access::jet4 {

// Why this writer must leave the file alone (sort order, encryption, …), or nullopt.
std::optional<Text> Hindernis(const Datei& datei);

// Appends the rows of `quelle` (values in the order of def.spalten) to the table and
// rebuilds each of its indexes from all its rows; writes the counters back.
void ZeilenAnfügen(Datei& datei, Tabellendef& def, const Zeilenquelle& quelle);

// Rebuilds every real index of the table from all its rows and writes the counters back.
void IndizesNeuBauen(Datei& datei, Tabellendef& def);

// Creates the table `beschreibung` with the rows of `zeilen` (values in the order of
// its fields) and enters it in the catalogue.
void TabelleHinzufügen(Datei& datei, const TabellenBeschreibung& beschreibung,
                       const std::function<void(const Zeilenziel&)>& zeilen, double jetzt);

// Drops the user table `name`: out of the catalogue, its pages back to the free pages
// for later tables. NichtSchreibbar, with nothing changed, for a table a relation still
// names or whose maps list pages that are not its own.
void TabelleLöschen(Datei& datei, TextSicht name);

}  // namespace dao::speicher::access::jet4
