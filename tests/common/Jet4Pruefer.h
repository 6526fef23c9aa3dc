#pragma once
// A structural check of a whole Jet 4 file, for the tests of the writer: it walks every
// page on its own (usage maps, data pages, long values, index B-trees) and says what is
// wrong, so that a test notices what a reader that skips validation would not.
//
// What it holds a sound file to (as Access itself leaves its files):
//   - page 0 is the header; page 1 holds the global usage map (row 0), whose set bits
//     are the free pages (Access sets the bits past the end of the file too; pages past
//     the reach of an inline global map count as free);
//   - every other page is accounted for exactly once: a free page, a table definition
//     page (the tables are the rows of type 1 in MSysObjects, Id = first TDEF page), a
//     page holding usage-map rows (several tables may share one), a map page (0x05) of a
//     reference map, a data page in a table's owned map, an index page in its index's
//     map, or a long-value page (tag "LVAL") reached from a Memo/OLE value of a row;
//     no map lists TDEF pages, map-holding pages or long-value pages;
//   - data pages: free-space field = 4096 - 14 - 2 * rows - bytes of all rows (deleted
//     ones too), rows inside the page and not overlapping, TDEF pointer = owner;
//   - row count of each TDEF = live rows (not flagged 0x8000); overflow rows (0x4000)
//     point to a row of the same table that is flagged deleted;
//   - each real index: leaf entries in key order (Vor), one per live row with the key
//     Schlüssel computes, each pointing at a live row; leaf chain linked both ways; node
//     entries bound their children; every page of the tree in the index's map and used once;
//   - a free-space map lists only pages the table owns.
#include <cstdint>
#include <string>
#include <vector>

// What a check covered, so that a test can tell a sound file from one barely looked at.
struct Jet4Prüfbericht {
    size_t tabellen = 0;
    size_t seitenJeArt[8] = {};       // Kopf, frei, TDEF, Kartenzeilen, Kartenseiten, Daten, Index, Langwerte
    size_t zeilen = 0;                // live rows
    size_t langwerte = 0;             // long-value rows reached
    size_t indexeinträge = 0;         // leaf entries read
    size_t knotenseiten = 0;          // index node pages (0x03) walked
    size_t schlüsselVerglichen = 0;   // entries compared with the key of their row
    size_t indizesOhneSchlüssel = 0;  // indexes whose keys could not be formed (structure checked only)
};

// The problems found, each naming the page, row or table; empty when the file is sound.
// Never throws and never loops, whatever the bytes.
std::vector<std::string> Jet4Prüfen(const std::vector<uint8_t>& datei, Jet4Prüfbericht* bericht = nullptr);
