#pragma once
// The field split: a copy of the source table in which one column (telephone and
// telefax: two) is split into two or three new text columns standing right
// behind it, optionally without the source column(s). Read from page 31.
#include "platform/basic/Variante.h"

// Split types by the list index of cbxSplittenTypus.
inline constexpr int SplittenPostleitzahlOrt = 0, SplittenStraßeHausnummer = 1, SplittenAnredeVornameName = 2,
                     SplittenVorwahlDurchwahl = 3, SplittenTelefonTelefax = 4, SplittenBeliebig = 5;

// Runs the split of Quelltabelle into Zieltabelle; ends on page 32, or after a
// cancel on page 3, or, when the inputs do not pass, back on page 31.
void FelderSplitten(const Variante& Quelltabelle, const Variante& Zieltabelle);
void SplittenAbbrechen();
// Drops the state the last run left behind: the state at program start.
void SplittenZustandZurücksetzen();
// The inputs of page 31 as a run needs them (type chosen, source columns in the
// table and for type 4 different, new names, separator for type 5); false after
// the " Achtung!" box when one fails.
bool SplittenEingabenPrüfen(const Variante& Quelltabelle);
