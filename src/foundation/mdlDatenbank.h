#pragma once
// Database access: opening and closing the one database, counting records,
// finding a table by name; and the copy of a table's structure with its
// relations. gDAOVerbindung and gADOVerbindung live in mdlDeklarationen.
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "foundation/mdlDeklarationen.h"
#include "platform/basic/Fehler.h"
#include "platform/basic/Text.h"
#include "platform/basic/Variante.h"

namespace dao {
class Recordset;
}

// An optional argument: std::nullopt where the caller leaves it out, which is
// distinct from every value, Empty and Null included.
using Wahlweise = std::optional<Variante>;

// An object reference that may be empty, as the runtime treats it: using an empty
// one is error 91 into the caller's trap, never a crash.
template <class T>
T& Objekt(const std::shared_ptr<T>& p) {
    if (!p) FehlerAuslösen(91, u"Objektvariable oder With-Blockvariable nicht festgelegt");
    return *p;
}
// gDatenbank and gArbeitsbereich through Objekt.
dao::Database& Datenbank();
dao::Workspace& Arbeitsbereich();
// The column names of a table of gDatenbank, in order. Raises the engine's error.
std::vector<Text> Spaltennamen(const Text& Tabelle);
// Closes the recordset with every error ignored, as the clean-ups do, and clears it.
void RecordsetSchließen(std::shared_ptr<dao::Recordset>& rs);

// Opens Pfad by its extension into Datenbank; gFehlerAbbruch is false when it opened.
// The caller closes the previous database first.
void DatenbankÖffnen(const Variante& Pfad, const Variante& Passwort, std::shared_ptr<dao::Database>& Datenbank);
// Closes and clears the reference. Only a failed write-back is reported, in the
// box of DatenbankSpeichern; the database then stays open and the reference kept,
// whatever the answer (abort also sets gFehlerAbbruch). Everything else is silent.
void DatenbankSchließen(std::shared_ptr<dao::Database>& Datenbank);
// Writes what changed in gDatenbank back to the user's file. A failure shows
// "Fehler beim Speichern der Datenbank." with the driver's reason: retry writes
// again, ignore goes on with the changes kept for the next try, abort sets
// gFehlerAbbruch. False when the user chose abort.
bool DatenbankSpeichern();
// The records of rs; afterwards rs stands on its first record when it has any.
int32_t DatensätzeZählen(const std::shared_ptr<dao::Recordset>& rs);
// Position of the table named Name in gDatenbank.TableDefs (under Großschreiben), -1 when none.
int16_t TabellenIndexErmitteln(const Variante& Name);

// Whether the relation steps of the structure copy run: the open database is an
// Access file (the file dialog's marker "Access" or the ";PWD=…;" of the open).
bool RelationenBehandeln();

// An empty copy of Quelle's structure named Ziel, up to three new fields behind
// NachFeld. The outcome is in gAbbruch (declined) and gFehlerAbbruch (error).
void TabelleKopieren(const Variante& Quelle, const Variante& Ziel, bool MitRelationen,
                     const Wahlweise& NachFeld = std::nullopt, const Wahlweise& Reserve = std::nullopt,
                     const Wahlweise& Name1 = std::nullopt, const Wahlweise& Typ1 = std::nullopt,
                     const Wahlweise& Größe1 = std::nullopt, const Wahlweise& Name2 = std::nullopt,
                     const Wahlweise& Typ2 = std::nullopt, const Wahlweise& Größe2 = std::nullopt,
                     const Wahlweise& Name3 = std::nullopt, const Wahlweise& Typ3 = std::nullopt,
                     const Wahlweise& Größe3 = std::nullopt);
// Copies the relations whose primary table is Quelle onto Ziel, named "… (korrigiert)".
void RelationenErstellen(const Variante& Quelle, const Variante& Ziel);

// A unique or primary index of a table, kept aside while the table may hold rows
// that break it (a mixed table, a work table with its duplicates).
struct Indexbild {
    Text Name;
    std::vector<Text> Felder;
    std::vector<int32_t> Attribute;  // of each index field (descending order)
    bool Unique = false;
    bool Primary = false;
};
// The table's unique and primary indexes as they stand. Raises the engine's error.
std::vector<Indexbild> Schlüsselindizes(const Text& Tabelle);
// Replaces every unique or primary index of the table by a plain one on the same
// columns and returns what was replaced. Raises the engine's error.
std::vector<Indexbild> IndizesEntschärfen(const Text& Tabelle);
// Makes the indexes unique or primary again; a violation raises the engine's error
// and leaves that index plain.
void IndizesWiederherstellen(const Text& Tabelle, const std::vector<Indexbild>& Bilder);
