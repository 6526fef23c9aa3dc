#pragma once
// Small text, path, file and shell helpers used throughout the program.
#include <cstdint>

#include "platform/basic/Text.h"
#include "platform/basic/Variante.h"

void EmailSenden(const Text& Adresse, const Text& Betreff, const Text& Text);
void InternetseiteÖffnen(const Text& URL);
Variante Minimum(const Variante& a, const Variante& b);
Text TextErsetzen(TextSicht Text, TextSicht Suchen, TextSicht Ersetzen);
Text TextEntfernen(TextSicht Text, TextSicht Suchen);
// The program's case-blind keys; Null raises "Unzulässige Verwendung von Null".
Text Großschreiben(const Variante& Wert);
Text Kleinschreiben(const Variante& Wert);
Variante WortErmitteln(const Variante& Text, int32_t Nummer);
// Paths: "/" and "\" both separate folders.
Text DateinameErmitteln(const Variante& Pfad);
Text VerzeichnisErmitteln(const Variante& Pfad);
Variante DateiendungErmitteln(const Variante& Pfad);
Variante DateiExistiert(const Variante& Pfad);
bool BitGesetzt(int64_t Wert, int64_t Maske);

// The program's own directory (where Einstellungen.CFG and Hilfe.HLP lie), with
// its trailing separator; the executable's folder unless set (tests).
Text ProgrammVerzeichnis();
void ProgrammVerzeichnisSetzen(const Text& verzeichnis);
