#pragma once
// Field-content normalisers: each reduces one raw value to the part that matters
// for its field type, so that it also picks its part out of a combined column.
// All are pure; Empty and Null give Empty, a value without the sought part Empty
// (a few give the empty text, as noted). Numbers are looked at in their text form.
#include "foundation/mdlFeldtypen.h"
#include "platform/basic/Variante.h"

// The normalised value for field type code `Typ`; the types without a normaliser
// (Ignorieren, Index, Branche, Abteilung/Position, Email- and Internetadresse)
// pass `Wert` through unchanged, Null included; an unknown code gives Empty.
Variante FeldinhaltNormalisieren(const Variante& Wert, Typcode Typ);

Variante FirmennameNormalisieren(const Variante& Wert);  // without the legal-form words
Variante RechtsformNormalisieren(const Variante& Wert);  // canonical legal forms found
Variante StraßeNormalisieren(const Variante& Wert);      // text before the first digit, trimmed
Variante HausnummerNormalisieren(const Variante& Wert);  // text from the first digit on
Variante PostleitzahlNormalisieren(const Variante& Wert);  // the postcode run, at least 4 characters
Variante OrtNormalisieren(const Variante& Wert);         // from the first non-digit, non-hyphen, non-blank
Variante LandesvorwahlErmitteln(const Variante& Wert);   // "+" and (up to) two characters
Variante VorwahlNormalisieren(const Variante& Wert);     // the area code with its leading "0"
Variante TelefonNormalisieren(const Variante& Wert);     // the subscriber number (telephone and fax)
Variante AnredeErmitteln(const Variante& Wert);          // "Herr", "Frau" or Empty
Variante TitelErmitteln(const Variante& Wert);           // the academic title words
Variante AnredeNormalisieren(const Variante& Wert);      // salutation and titles
Variante VornameNormalisieren(const Variante& Wert);     // the first name
Variante NachnameNormalisieren(const Variante& Wert);    // the text behind the last blank
