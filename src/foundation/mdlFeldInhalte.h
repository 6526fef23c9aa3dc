#pragma once
// Field-content normalisers: each reduces one raw value to the part that matters
// for its field type, so that it also picks its part out of a combined column.
// All are pure; Empty and Null give Empty, a value without the sought part Empty
// (a few give the empty text, as noted). Numbers are looked at in their text form.
#include <cstdint>
#include <vector>

#include "foundation/mdlDeklarationen.h"
#include "foundation/mdlFeldtypen.h"
#include "platform/basic/Text.h"
#include "platform/basic/Variante.h"

// The normalised value for field type code `Typ`; the types without a normaliser
// (Ignorieren, Index, Branche, Abteilung/Position, Email- and Internetadresse)
// pass `Wert` through unchanged, Null included; an unknown code gives Empty.
Variante FeldinhaltNormalisieren(const Variante& Wert, Typcode Typ);

Variante FirmennameNormalisieren(const Variante& Wert);    // without the legal-form words
Variante RechtsformNormalisieren(const Variante& Wert);    // canonical legal forms found
Variante StraßeNormalisieren(const Variante& Wert);        // text before the first digit, trimmed
Variante HausnummerNormalisieren(const Variante& Wert);    // text from the first digit on
Variante PostleitzahlNormalisieren(const Variante& Wert);  // the postcode run, at least 4 characters
Variante OrtNormalisieren(const Variante& Wert);           // from the first non-digit, non-hyphen, non-blank
Variante LandesvorwahlErmitteln(const Variante& Wert);     // "+" and (up to) two characters
Variante VorwahlNormalisieren(const Variante& Wert);       // the area code with its leading "0"
Variante TelefonNormalisieren(const Variante& Wert);       // the subscriber number (telephone and fax)
Variante AnredeErmitteln(const Variante& Wert);            // "Herr", "Frau" or Empty
Variante TitelErmitteln(const Variante& Wert);             // the academic title words
Variante AnredeNormalisieren(const Variante& Wert);        // salutation and titles
Variante VornameNormalisieren(const Variante& Wert);       // the first name
Variante NachnameNormalisieren(const Variante& Wert);      // the text behind the last blank

// Column lookup over a field assignment (one entry per column, from 0): the first
// column of group `Gruppe` whose bits hold type `Code`, so that a combined column
// counts for each of its types; -1 when there is none or `Code` names no type.
// `Code` must lie in 1 to 69 (else error 9).
int16_t SpalteSuchen(const std::vector<Feldzuordnung>& Felder, int16_t Gruppe, Typcode Code);
int16_t SpalteVonFeldtyp(const std::vector<Feldzuordnung>& Felder, Typcode Code);

// The type label of a column: "(" and the names of the types joined by "," and ")".
Text Typenbeschriftung(const std::vector<Typcode>& Codes);
// The list row of one column: a blank, the name, dots and the label, 59 characters
// in all; a name and label longer than that get no dots rather than a cut.
Text Zuordnungszeile(TextSicht Name, TextSicht Beschriftung);

// Proposes the field types of every column of table `Tabelle` of gDatenbank from
// the column names and from random sample records, into `Felder` (created afresh,
// one per column) and `Anzahl`; with `MitListe` it refills the list box `Liste`
// with one Zuordnungszeile per column and selects its first row. Failures go
// through the error box; abort sets gFehlerAbbruch and keeps what was done.
void FeldtypenErraten(const Text& Tabelle, std::vector<Feldzuordnung>& Felder, int16_t& Anzahl, TextSicht Liste,
                      bool MitListe);
// The value of column `Spalte` (from 1) of a random one of the first records of the
// table being typed, as text; the empty text when it has none. Only while
// FeldtypenErraten runs; a failed move goes to its error trap.
Text ZufallswertHolen(int32_t Spalte);
// Drops what a guess left behind (its sample table and records): the state at program start.
void FeldInhalteZustandZurücksetzen();
