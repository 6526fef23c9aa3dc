#pragma once
// Junk-record removal: a copy of the source table from which the records that
// lack required values, or hold unreasonable ones for their field type, are
// removed once the user has reviewed them. Criteria read from page 21; every
// finding leaves a short remark ("k. Ort;", "Firmenn. unvernünftig;") that the
// review shows.
#include <cstdint>
#include <vector>

#include "foundation/mdlDeklarationen.h"
#include "platform/basic/Text.h"
#include "platform/basic/Variante.h"
#include "platform/dao/Dao.h"

// The check boxes of page 21 as bits. An inner box (Rechtsform, Hausnummer, the
// four contact boxes, Fax) counts only together with its outer box.
using Müllkriterien = uint16_t;
inline constexpr Müllkriterien KriteriumFirmenname = 1 << 0, KriteriumRechtsform = 1 << 1, KriteriumBranche = 1 << 2,
                               KriteriumPostalisch = 1 << 3, KriteriumHausnummer = 1 << 4, KriteriumKontakt = 1 << 5,
                               KriteriumAnrede = 1 << 6, KriteriumVorname = 1 << 7, KriteriumNachname = 1 << 8,
                               KriteriumAbteilung = 1 << 9, KriteriumTelefon = 1 << 10, KriteriumFax = 1 << 11,
                               KriteriumEmail = 1 << 12, KriteriumInternet = 1 << 13;

// The boxes as ticked now (value 1; the grey state counts as not ticked).
Müllkriterien MüllkriterienLesen();

// What the tests found in one record: the remarks in finding order, trimmed, and
// whether it is junk (at least one finding).
struct Müllbefund {
    Text Anmerkung;
    bool Müll = false;
};

// The remarks of one column's value for its assignment.
Text SpalteBeurteilen(const Variante& Wert, const Feldzuordnung& Zuordnung, Müllkriterien Kriterien);
// The tests of one record: the user's columns' values, their engine types and
// their assignment (same positions). Boolean, currency, date and time columns and
// columns without an assignment are not tested; index columns always are.
Müllbefund DatensatzBeurteilen(const std::vector<Variante>& Werte, const std::vector<int16_t>& Typen,
                               const std::vector<Feldzuordnung>& Zuordnung, Müllkriterien Kriterien);

// Tests the current record of the work table (in edit mode) with gFelder1 and
// gAnzahlFelder: writes its remarks into TEMP_AMK and, for junk, TEMP_DSS 14, and
// counts it in gAnzahlMüll. An abort in its error box sets gFehlerAbbruch.
void DatensatzEntmüllen(dao::Recordset& rs);

// Runs the junk-record removal of Quelltabelle into Zieltabelle; ends on page 23,
// after a cancel or when nothing was found on page 3, or, when the source holds a
// column named like a bookkeeping column, back on page 21.
void MüllsucheStarten(const Variante& Quelltabelle, const Variante& Zieltabelle);
void MüllsucheAbbrechen();
// Drops the state the last run left behind: the state at program start.
void MüllsucheZustandZurücksetzen();
