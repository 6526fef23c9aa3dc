#pragma once
// The field merge: a copy of the source table with one new text column right
// behind the first chosen column that joins the values of two columns, with or
// without a separator, optionally without the two source columns. Read from page 41.
#include "platform/basic/Variante.h"

// Runs the merge of Quelltabelle into Zieltabelle; ends on page 42, or after a
// cancel on page 3, or, when the inputs do not pass, back on page 41.
void FelderVerschmelzen(const Variante& Quelltabelle, const Variante& Zieltabelle);
void VerschmelzenAbbrechen();
// Drops the state the last run left behind: the state at program start.
void VerschmelzenZustandZurücksetzen();
// The inputs of page 41 as a run needs them (two different columns of the table,
// a new name); false after the " Achtung!" box when one fails.
bool VerschmelzenEingabenPrüfen(const Variante& Quelltabelle);
