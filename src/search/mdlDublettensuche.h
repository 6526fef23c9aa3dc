#pragma once
// The operation "Dubletten suchen": the search, the review, the corrected table.
#include "platform/basic/Text.h"
#include "platform/basic/Variante.h"

inline Variante Dublettenquelle;
inline Variante Dublettenziel;
inline Variante Dublettenpuffer;

// Runs the whole operation on Quelltabelle with gFelder1 and the search options;
// ends on the result page or, after a cancel, on the table page.
void DublettensucheStarten(const Variante& Quelltabelle, const Variante& Zieltabelle);
// Deletes what the review left marked for deletion (12, 13), removes the
// bookkeeping columns and gives the table its unique and primary indexes back.
// An abort in its error box sets gFehlerAbbruch.
void KorrigierteTabelleErstellen();
void DublettensucheAbbrechen();
// "DELETE * FROM [T] WHERE [TEMP_DSS] = s": the deletion of one status.
Text StatusLöschen(const Text& Tabelle, int Status);
