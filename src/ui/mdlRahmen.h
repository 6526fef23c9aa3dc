#pragma once
// The page flow of the wizard: leaving a page (its input checks), entering a
// page (its buttons and set-up), the change between two pages, and the routes
// the buttons take for every operation.
#include <cstdint>

#include "platform/basic/Text.h"

// Leaves page `Seite`, with its input checks when `Prüfen`; false when it stays.
bool RahmenSchließen(int16_t Seite, bool Prüfen);
// Enters page `Seite`, with its set-up when `Einrichten`.
void RahmenÖffnen(int16_t Seite, bool Einrichten);
// Leaves `Von` and, when that succeeds, enters `Nach`.
void RahmenWechseln(int16_t Von, int16_t Nach, bool Prüfen, bool Einrichten);

void btnWeiter_Click();
void btnZurück_Click();
void btnAuswahl_Click(int Index);
// "Wollen sie den aktuellen Vorgang wirklich abbrechen?"; Yes sets gAbbruch.
void AbbruchFragen();

// The page that follows on "Weiter  >>" and on "<<  Zurück" for the state as it
// stands (gVorgang, gZuordnungNr); -1 where the button goes nowhere.
int16_t NächsteSeite(int16_t Seite);
int16_t VorigeSeite(int16_t Seite);

// The naming rule for a table of the open database's format (by gDAOVerbindung);
// empty when `Name` passes, else the message that says why not.
Text TabellennamenRegel(const Text& Name);
