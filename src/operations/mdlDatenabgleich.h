#pragma once
// The two operations over two tables: matching the current table against a
// reference table ("Datenabgleich") and adding new data ("Daten hinzufügen").
// Both mix the tables into one work table, search it for duplicates into the
// target, let the user review the marks and then delete what their rules drop.
// They differ in the mixed table's name, in the first mark of the enriched
// records and in the deletions at the end; every other step is shared.
#include <vector>

#include "foundation/mdlDeklarationen.h"
#include "platform/basic/Text.h"
#include "platform/basic/Variante.h"

// Each runs from the search-option page to its result page or, after a cancel,
// to the table page. A target named like the second table (or the first) or
// like a work table is refused before anything is created; the wizard then
// shows the option page again.
void DatenabgleichStarten(const Variante& Tabelle1, const Variante& Tabelle2, const Variante& Ziel,
                          const std::vector<Feldzuordnung>& Felder1, const std::vector<Feldzuordnung>& Felder2);
void NeueDatenStarten(const Variante& Tabelle1, const Variante& Tabelle2, const Variante& Ziel,
                      const std::vector<Feldzuordnung>& Felder1, const std::vector<Feldzuordnung>& Felder2);

// The statements that drop what the result does not keep, in their order.
// Matching: the group members, the enriched records, then the second table's
// records the review did not take over. Adding: the enriched records not taken
// over, then the group members.
std::vector<Text> DatenabgleichLöschungen(const Text& Ziel);
std::vector<Text> NeueDatenLöschungen(const Text& Ziel);

// The steps of the last run, for its own driver: the deletions, the removal of
// the bookkeeping columns and the target's keys from the first table where its
// records allow them (an abort in the error box sets gFehlerAbbruch); the drop of
// the mixed table; the cancel, which drops only what the run created.
void DatenabgleichErgebnisErstellen();
void NeueDatenErgebnisErstellen();
void DatenabgleichTempTabelleLöschen();
void NeueDatenTempTabelleLöschen();
void DatenabgleichAbbrechen();
void NeueDatenAbbrechen();
// Drops the state the last run left behind: the state at program start.
void DatenabgleichZustandZurücksetzen();
