#pragma once
// dBase storage: a folder is the database, each .dbf file in it a table named after
// the file without its extension. Reads dBase III, IV, 5 and 7 and FoxPro files of the
// common field types (C, N, F, D, L, M); writes dBase III/IV files. Index files are
// neither read nor written.
#include <memory>

#include "platform/dao/storage/Speichertreiber.h"

namespace dao::speicher::dbase {

// Raises error 3044 when `ordner` is no folder. With `nurLesen` nothing is ever written.
std::unique_ptr<Speichertreiber> TreiberÖffnen(const Text& ordner, bool nurLesen);

}  // namespace dao::speicher::dbase
