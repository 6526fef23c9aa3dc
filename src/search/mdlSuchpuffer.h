#pragma once
// The two tables a duplicate search builds from the table it searches: the work
// table (a full copy that becomes the result) and the search copy TEMP_DS (the
// prepared values without the ignored columns). Both end in the bookkeeping
// columns; TEMP_DSN numbers the same record alike in both.
#include <cstdint>

// The value of TEMP_DSS. 1x: marked for deletion, 2x: marked to keep.
enum Datensatzstatus : uint8_t {
    StatusNormal = 11,
    StatusAngereichert = 12,
    StatusDublette = 13,
    StatusMüll = 14,
    StatusAngereichertÜbernehmen = 21,
    StatusDubletteÜbernehmen = 22,
    StatusMüllBeibehalten = 23,
};

// The bookkeeping columns, appended in this order as the last ones of both tables.
inline constexpr const char16_t* SpalteStatus = u"TEMP_DSS";
inline constexpr const char16_t* SpalteNummer = u"TEMP_DSN";
inline constexpr const char16_t* SpalteGruppe = u"TEMP_BN";
inline constexpr const char16_t* SpalteAnmerkung = u"TEMP_AMK";
inline constexpr int32_t AnmerkungGröße = 30;

// Builds and fills both tables from Suchquelle (engine state of mdlSuche.h).
// Outcome in gAbbruch / gFehlerAbbruch; a cancel during the copy has cleaned up.
void SuchpufferErstellen();
// Drops TEMP_DS with every error ignored; nothing before the first search.
void SuchpufferLöschen();
