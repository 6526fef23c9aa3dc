#pragma once
// The duplicate search engine: its state, set by DublettenSuchen at every start
// and read by the buffer, the preparation, the comparison, the passes and the
// evaluation; the record preparation; the two similarity measures and the
// weighted record comparison.
#include <cstdint>
#include <vector>

#include "foundation/mdlDatenbank.h"
#include "foundation/mdlDeklarationen.h"
#include "platform/basic/Text.h"
#include "platform/basic/Variante.h"
#include "platform/dao/Dao.h"

class Suchzeilen;

// ---- engine state ----
inline Variante Suchquelle;  // name of the searched table
inline Variante Suchziel;    // name of the work table
inline Text Suchpuffername;  // "TEMP_DS" once a search has started
// The engine's own copy of the column typing, one entry per source column.
inline std::vector<Feldzuordnung> Suchzuordnung;
inline int16_t Suchspaltenzahl = 0;
inline int32_t Suchdatensatzzahl = 0;
inline bool Anreicherung = false;
inline bool NeueDatenModus = false;
inline bool KontakteDifferenzieren = false;
inline dao::RecordsetPtr rsQuelle;
inline dao::RecordsetPtr rsZiel;
inline dao::RecordsetPtr rsPuffer;
inline dao::RecordsetPtr rsVergleichB;
inline dao::RecordsetPtr rsBereich;
inline int32_t PositionA = 0;
inline int32_t PositionB = 0;
// The work table's unique and primary indexes, kept plain while the table holds
// the duplicates and the enriched records; restored for the corrected table.
inline std::vector<Indexbild> Suchschlüssel;

// A column typed "Ignorieren": absent from TEMP_DS.
inline bool Ignoriert(const Feldzuordnung& a) { return a.Gruppe == 0 && a.Bits == 1; }

// ---- search control ----
// One whole search of Quelle into the work table Ziel: the buffer, the enabled
// passes of the search-option page, the evaluation. Afterwards gAbbruch or
// gFehlerAbbruch tell a cancel (everything cleaned up by SucheAbbrechen), else
// the work table holds the marks and TEMP_DS is still there.
void DublettenSuchen(const Variante& Quelle, const Variante& Ziel, const std::vector<Feldzuordnung>& Felder,
                     bool Anreichern, bool NeueDaten);
// The engine's clean-up: roll back, stop the progress, close the cursors, drop
// TEMP_DS and the work table where this run created them. The page stays.
void SucheAbbrechen();

// Below this weighted agreement of the contact columns a pair scores 0.
inline constexpr double Kontaktschwelle = 0.7;

// ---- record preparation ----
// Replaces every typed value of the unsaved current row of `rs` (a new row of
// TEMP_DS) by its prepared form. Under its own error trap; an abort sets
// gFehlerAbbruch and leaves the columns not yet reached as copied.
void DatensatzAufbereiten(dao::Recordset& rs);
// Lower case, runs of kept characters (a-z, 0-9, ä, ö, ü) joined by one blank.
Text TextNormalisieren(const Variante& Wert);
// The digits of the text form; Empty and Null give "".
Text NurZiffern(const Variante& Wert);
// Every occurrence of `Teil` removed (case-sensitive); Null gives Empty.
Variante TeilEntfernen(const Variante& Wert, TextSicht Teil);

// ---- similarity ----
// Position-wise agreement of two number-like values from the left; 0 when the
// first characters differ or either is Null or not numeric.
float ZiffernÄhnlichkeit(const Variante& a, const Variante& b);
// Share of the words of both texts found in the other; raises an overflow
// (error 6) beyond 255 words together or for a text of 32766 characters or more.
float WortÄhnlichkeit(const Variante& a, const Variante& b);

// ---- weighted record comparison ----
// Scores row `idxA` of `ZeilenA` against row `idxB` of `ZeilenB` (the two may be
// the same block) into `Wert`. After an abort in its error box `Wert` is left as
// it was and gFehlerAbbruch is set.
void DatensätzeVergleichen(const Suchzeilen& ZeilenA, const Suchzeilen& ZeilenB, int32_t idxA, int32_t idxB,
                           float& Wert);
