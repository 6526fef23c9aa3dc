#pragma once
// The runtime functions the program uses, with their original rules: positions
// are 1-based, comparisons exact (case-sensitive), Trim removes blanks only.
#include <cstdint>
#include <optional>

#include "platform/basic/Text.h"
#include "platform/basic/Variante.h"

int32_t Len(TextSicht s);
inline int32_t Len(const Text& s) { return static_cast<int32_t>(s.size()); }
inline int32_t Len(const char16_t* s) { return Len(TextSicht(s)); }
Variante Len(const Variante& v);  // Null gives Null, Empty 0, a number the length of its text

Text Left(TextSicht s, int32_t n);  // n < 0 raises error 5
Text Right(TextSicht s, int32_t n);
Text Mid(TextSicht s, int32_t start);  // start < 1 raises error 5
Text Mid(TextSicht s, int32_t start, int32_t laenge);

// 0 when not found; an empty search text is found at `start` (0 when start > Len + 1).
int32_t InStr(TextSicht s, TextSicht suchen);
int32_t InStr(int32_t start, TextSicht s, TextSicht suchen);
// Searching backwards from `start` (-1: from the end).
int32_t InStrRev(TextSicht s, TextSicht suchen, int32_t start = -1);

Text LTrim(TextSicht s);
Text RTrim(TextSicht s);
Text Trim(TextSicht s);
// Trim as a view into s, for callers that need no copy.
inline TextSicht TrimSicht(TextSicht s) {
    size_t i = 0, n = s.size();
    while (i < n && s[i] == u' ') ++i;
    while (n > i && s[n - 1] == u' ') --n;
    return s.substr(i, n - i);
}
inline Text UCase(TextSicht s) { return Grossbuchstaben(s); }
inline Text LCase(TextSicht s) { return Kleinbuchstaben(s); }
Text StrReverse(TextSicht s);
Text Space(int32_t n);

// The one rule for text to number (CDbl, IsNumeric, a number field fed a text):
// blanks around are ignored; an optional sign; digits with at most one decimal
// separator, which may be "," (the German form) or "."; an optional exponent
// "E"/"e" with sign and digits; or "&H"/"&O" with hex/octal digits. Nothing else.
std::optional<double> ZahlAusText(TextSicht s);
bool IsNumeric(const Variante& v);  // Empty is numeric, Null is not
// Val: leading blanks skipped, then as many characters as form a number with "."
// as the only decimal separator; blanks inside are skipped; 0 when none.
double Val(TextSicht s);

// CStr of a number as the German runtime wrote it: up to 15 significant digits
// (7 for Single), decimal comma, no thousands separator, exponent form for very
// large or small values.
Text ZahlAlsText(double d, bool einfach = false);
Text DatumAlsText(double tage);  // "dd.mm.yyyy", " hh:mm:ss" when a time is held

// Format for the number patterns the program uses: "0", "00", "0.00" etc.
// (zero-padded integer part, fixed decimals, halves away from zero).
Text Format(double wert, TextSicht muster);

double Int(double d);           // floor
double Fix(double d);           // toward zero
int32_t CLng(double d);         // half to even; overflow raises error 6
int16_t CInt(double d);         // half to even; overflow raises error 6
double RundenGerade(double d);  // half to even

// The program's random generator (the runtime's 24-bit linear congruential one).
void Randomize();                  // from the clock
void RandomizeMit(uint32_t saat);  // fixed seed, for tests
float Rnd();                       // uniform in [0, 1)
