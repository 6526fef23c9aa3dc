#pragma once
// The last step of every duplicate search: pairs into numbered groups, the
// members marked in the work table, and one enriched record per group.
#include <cstdint>
#include <vector>

#include "foundation/mdlDeklarationen.h"
#include "platform/basic/Variante.h"

// One column of the work table as the enrichment sees it.
struct Anreicherungsspalte {
    int16_t Typ = 0;      // database type (dao::dbText, …)
    int32_t Größe = 0;    // characters of a text column
    bool Zähler = false;  // auto-increment: left to the database
    Feldzuordnung Zuordnung;
};

// The values of a group's enriched record, one per column, from its members'
// values (rows in ascending record number). A column typed with one field type
// takes its longest normalised value of that type, a combined column is rebuilt
// from its parts (cut to the column's size), every other column takes the longest
// text or the greatest value; a rebuilt value without content falls back to the
// latter. Auto-increment columns give Empty.
std::vector<Variante> AngereicherteWerte(const std::vector<Anreicherungsspalte>& Spalten,
                                         const std::vector<std::vector<Variante>>& Mitglieder);

// Numbers the groups, marks the members (13) and appends the enriched records
// (12, or 21 in new-data mode) in one transaction. An abort in its error box sets
// gFehlerAbbruch after a roll back; a cancel leaves with gAbbruch and the
// transaction open for SucheAbbrechen.
void DublettenAuswerten();
