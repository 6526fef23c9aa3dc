#pragma once
// The database engine's errors: raised as LaufzeitFehler and kept in the
// engine's error collection, which holds the entries of the last engine error.
#include <cstdint>

#include "platform/basic/Fehler.h"
#include "platform/dao/DaoFehlernummern.h"

namespace dao {
[[noreturn]] void FehlerAuslösen(int32_t nummer, Text beschreibung);
// Entries in the error collection (0 until the engine raised its first error).
int32_t FehlerAnzahl();
void FehlerSammlungLeeren();
}  // namespace dao
