#pragma once
// What the engine and its storage drivers share beyond the errors: the Jet type codes
// and attributes, and Jet's rule for names.
#include <cstdint>

#include "platform/basic/Text.h"

namespace dao {

// Jet field type codes.
inline constexpr int16_t dbBoolean = 1, dbByte = 2, dbInteger = 3, dbLong = 4, dbCurrency = 5, dbSingle = 6,
                         dbDouble = 7, dbDate = 8, dbText = 10, dbLongBinary = 11, dbMemo = 12, dbTime = 22;
inline constexpr int32_t dbAutoIncrField = 16;
// Table attributes: a system table is no user table (the table lists leave it out).
inline constexpr int32_t dbSystemObject = static_cast<int32_t>(0x80000002), dbHiddenObject = 1;
inline constexpr int32_t dbOpenTable = 1, dbOpenDynaset = 2, dbOpenSnapshot = 4;
inline constexpr int32_t dbRelationUpdateCascade = 0x100, dbRelationDeleteCascade = 0x1000;

// Jet's name rule: case-blind, "ß" equal to "SS".
Text NamenSchlüssel(TextSicht name);

}  // namespace dao
