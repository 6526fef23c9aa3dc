#pragma once
// The storage driver for an Excel workbook (.xls, BIFF5 and BIFF8): each worksheet
// is a table named after the sheet, its first row holding the column names.
#include <memory>

#include "platform/basic/Text.h"
#include "platform/dao/storage/Speichertreiber.h"

namespace dao::speicher::excel {

// Opens the workbook `datei`; a missing or broken file raises an engine error
// naming it. With `nurLesen` (or a protected, encrypted or pre-BIFF5 workbook) the
// driver is not writable.
std::unique_ptr<Speichertreiber> TreiberÖffnen(const Text& datei, bool nurLesen);

}  // namespace dao::speicher::excel
