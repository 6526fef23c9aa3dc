#pragma once
// The storage driver for Access files (.mdb, Jet 3 and Jet 4), read through libmdb.
// Jet 4 files are written by our own writer (jet4/): tables added, replaced, renamed
// and dropped; Jet 3 files are read only.
#include <memory>

#include "platform/dao/storage/Speichertreiber.h"

namespace dao::speicher::access {

// Opens `datei` after checking its header and its database password (compared
// exactly; "" opens a file without one). Engine errors: 3024 missing file, 3051 a
// file that cannot be read, 3343 not a Jet 3/4 file, damaged or newer (.accdb),
// 3031 wrong password. With `nurLesen` the driver never writes.
std::unique_ptr<Speichertreiber> TreiberÖffnen(const Text& datei, const Text& passwort, bool nurLesen);

}  // namespace dao::speicher::access
