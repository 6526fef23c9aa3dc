#pragma once
// The tables the running operation appended to the database. Cancel routines drop
// only these, so a table the user already had (or declined to replace) survives
// whichever routine cancels. One list for the whole run, shared by the duplicate
// search and the table operations.
#include <vector>

#include "platform/basic/Text.h"

// Starts a run: the list is emptied.
void LaufTabellenLeeren();
// Notes a table that this run appended (TabelleKopieren calls it).
void LaufTabelleAngelegt(TextSicht Name);
// Whether this run appended a table of that name (case-blind, "ß" as "SS").
bool VomLaufAngelegt(TextSicht Name);
// Deletes the table from gDatenbank when this run appended it; errors are ignored,
// as in every cancel routine. Returns whether it was deleted.
bool LaufTabelleLöschen(TextSicht Name);

// The program's own names: its work tables (TEMP_DS, TEMP_DA, TEMP_ND) and the
// bookkeeping columns it adds to them. A user's table or column of such a name
// would be dropped or overwritten by a run, so a run refuses it before it starts.
bool ReservierterTabellenname(TextSicht Name);
// The first column of the table whose name (under Großschreiben) is one of the
// bookkeeping columns; empty when there is none or the table cannot be read.
Text ReservierteSpalte(TextSicht Tabelle);
// The checks at the start of a run, each refusal with a " Achtung!" message:
// no name of `Namen` is a work table's, no table of `Quellen` holds a
// bookkeeping column. False when refused.
bool ReservierteNamenPrüfen(const std::vector<Text>& Namen, const std::vector<Text>& Quellen);
