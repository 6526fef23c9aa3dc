#pragma once
// The tables the running operation appended to the database. Cancel routines drop
// only these, so a table the user already had (or declined to replace) survives
// whichever routine cancels. One list for the whole run, shared by the duplicate
// search and the table operations.
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
