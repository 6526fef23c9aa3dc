#pragma once
// The program's own registry routines: one text or 32-bit number per call,
// each opening its key, doing one read or write and closing it again. None of
// them shows a message or raises; a missing key or value simply changes or
// yields nothing, and the status results are only for whoever wants them.
#include <cstdint>

#include "platform/basic/Text.h"
#include "platform/basic/Variante.h"

// Creates (or opens) `KeyName` below `hKey` and closes it again.
void RegSchlüsselAnlegen(int32_t hKey, const Text& KeyName);
// Writes one value of type 1 (text) or 4 (32-bit number) under an existing key.
void RegWertSchreiben(int32_t hKey, const Text& KeyName, const Text& ValueName, int32_t Typ, const Variante& Wert);
// The value as text or Long; Empty when nothing could be read.
Variante RegWertLesen(int32_t hKey, const Text& KeyName, const Text& ValueName);

// On an open key: writes a type 1 or 4 value; any other type writes nothing and gives 0.
int32_t RegWertSetzen(int32_t hKey, const Text& ValueName, int32_t Typ, const Variante& Wert);
// On an open key: reads a type 1 or 4 value into `Wert`. A missing value leaves
// `Wert` as it was and gives the status; another type leaves it too and gives -1.
int32_t RegWertAbfragen(int32_t hKey, Text ValueName, Variante& Wert);
