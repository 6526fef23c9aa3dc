#pragma once
// One search pass over TEMP_DS in the order of a pass's sort columns: quick mode
// compares every record with its successor, full mode every pair within a block
// of records whose main sort column agrees in its leading `Zeichen` characters.
// Pairs reaching gRelevanz go into the pair list (mdlDublettenpaare.h).
#include <cstdint>

#include "platform/basic/Text.h"

// Threads that score the blocks of full mode: 0 one per core, 1 none (the
// calling thread compares alone). The result is the same either way.
inline int32_t SuchArbeiter = 0;
// Worker threads alive at this moment; 0 whenever no pass runs.
int32_t SuchArbeiterLaufend();

// `Hauptspalte`: position (from 0) of the main sort column among the columns of
// TEMP_DS; `Sortierliste`: the ORDER BY list ("[A],[B]"). On cancel, on an abort
// in an error box or with nothing to compare it returns with gAbbruch or
// gFehlerAbbruch set and the cursors open (SucheAbbrechen closes them).
void SuchlaufDurchführen(int32_t Hauptspalte, int32_t Zeichen, const Text& Sortierliste, bool Quick);
// Back to the program's start: the pass's row windows, chunks and remarks empty.
void SuchlaufZustandZurücksetzen();
// The neighbour pair (Position, Position + 1) of quick mode; PositionA is p + 1 afterwards.
void QuicksucheVergleichen(int32_t& Position);
// All pairs of the block at the sorted positions Von to Bis.
void BereichVergleichen(const int32_t& Von, const int32_t& Bis);
