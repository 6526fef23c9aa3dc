#pragma once
// The sample workbook shipped beside the program, for a first try.
#include "platform/basic/Text.h"

// The folder of the user's own copy of the sample (with its trailing separator),
// copied from the shipped one on first use; the shipped file is never opened for
// writing. Empty when the program ships no sample or the copy cannot be made.
Text BeispielordnerBereitstellen();
