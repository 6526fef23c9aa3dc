#pragma once
// The frame every table operation runs in: the start on the progress page, the
// structure copy of the target, the batched copy loop with its progress counter,
// the finish, and the common steps of the cancel routines. Each operation module
// keeps one Vorgangslauf as its run state and calls these steps in order; what
// the operation adds lies in its own module.
#include <cstdint>
#include <functional>
#include <vector>

#include "foundation/mdlDatenbank.h"
#include "foundation/mdlMeldungen.h"
#include "platform/basic/Text.h"
#include "platform/basic/Variante.h"
#include "platform/dao/Dao.h"

// A text column the structure copy adds behind the chosen column.
struct NeuesFeld {
    Text Name;
    int16_t Typ = dao::dbText;
    int32_t Größe = 0;
};

// Where the record counter starts and whether it is raised before the record's
// work (it is then also the record's serial number) or after the batch test.
struct Zählweise {
    int32_t Start = 0;
    bool VorDemSchreiben = false;
    // Added to the counter for the progress display, when a run shows two
    // loops as one (the second loop continues where the first ended).
    int32_t Fortschrittsversatz = 0;
};

// How a cancel routine returns the wizard to the table page.
enum class Rückkehr {
    SchließenUndÖffnen,  // leave the current page unchecked (errors skipped), then enter page 3 set up
    Wechseln,            // RahmenWechseln(current page, 3, True, True)
    NurÖffnen,           // no page was entered yet: only page 3 is entered, set up
    Keine,               // the page stays; the calling driver cancels next
};

class Vorgangslauf {
public:
    Variante Quelle, Ziel;
    dao::RecordsetPtr rsQuelle, rsZiel;
    int32_t Zähler = 0;
    int32_t Gesamt = 0;

    // Keeps the names, clears both flags and the run's table list, enters the
    // progress page with set-up and writes the first status line.
    void Starten(const Variante& Quelltabelle, const Variante& Zieltabelle, TextSicht Status);
    // The target's structure as a copy of the source, with the new fields behind
    // NachFeld; the target is noted on the run's list when the copy created it.
    // False when a question was declined or the copy's error box was aborted.
    bool StrukturKopieren(bool MitRelationen, const Wahlweise& NachFeld = std::nullopt,
                          const std::vector<NeuesFeld>& Felder = {});
    // What a column of the source lends to the size formulas (Feldgröße); raises
    // into the caller's trap when the table or the column is missing.
    int32_t Quellfeldgröße(const Text& Spalte) const;
    // Opens source and target, counts the source, shows the total, begins the
    // transaction and starts the progress display. False on abort in the trap.
    bool Öffnen(Fehlerfalle& Falle);
    // One pass per record of `rs` from its first: Datensatz does the record's work
    // (false: abort chosen in its trap); then the batch test, the move to the next
    // record, the yield and the test of gAbbruch. False when the run is to be
    // cancelled; the caller then runs its cancel routine.
    bool Durchlaufen(Fehlerfalle& Falle, const dao::RecordsetPtr& rs, Zählweise Weise,
                     const std::function<bool()>& Datensatz);
    // For split and merge: every column of the current source record into the
    // new target record at the same position, shifted by `Eingefügt` behind the
    // column named exactly `NachSpalte`. False on abort in the trap.
    bool SpaltenKopieren(Fehlerfalle& Falle, const Text& NachSpalte, int32_t Eingefügt);
    // Writes the new record; a record whose Update failed and was ignored
    // is left out. False on abort in the trap.
    bool Schreiben(Fehlerfalle& Falle);
    // A workspace transaction begun or committed as a step of the trap.
    bool Beginnen(Fehlerfalle& Falle);
    bool Festschreiben(Fehlerfalle& Falle);
    // Progress at 100 %, commit, both recordsets closed. False on abort in the trap.
    bool Beenden(Fehlerfalle& Falle);

    // The common steps of a cancel routine: button off, status line, with errors
    // skipped the roll back, the progress stop, the recordsets closed and the
    // named tables dropped where this run created them; then the way back to the
    // table page and the button on again.
    void Abbrechen(TextSicht Status, bool FortschrittStoppen, const std::vector<Variante>& Tabellen, Rückkehr Art);

private:
    void Schließen();
};

// The size a source column lends to the size formulas of the new columns: its own
// size for a text column, 255 for every other type.
int32_t Feldgröße(const dao::Field& Feld);
// A name for a new column that the open database's format can hold: the naming
// rule of the format (by gDAOVerbindung). Empty when it passes, else the message.
Text FeldnameRegelVerletzt(const Text& Name);
// The " Achtung!" checks every new column name passes before a run: given, new to
// the table (case-blind), different from the other new names, allowed by the format.
bool NeueFeldnamenPrüfen(const Variante& Tabelle, const std::vector<Text>& Namen);
// Whether the table has a column of exactly this name.
bool FeldVorhanden(const Variante& Tabelle, const Text& Name);
// Deletes a column from the target with errors skipped; a failure gets the warning
// that it probably is an index field.
void FeldLöschenMitWarnung(const Variante& Tabelle, const Text& Name);
