#pragma once
// The program's string type: UTF-16, like the strings of the runtime it replaces.
#include <string>
#include <string_view>

using Text = std::u16string;
using TextSicht = std::u16string_view;

// UTF-8 <-> UTF-16 at the edges (file names, console, Qt's byte APIs). Invalid
// sequences become U+FFFD; nothing throws.
Text ausUtf8(std::string_view utf8);
std::string nachUtf8(TextSicht text);

// Upper/lower case per character through ICU's simple case mapping, so that
// the length never changes and "ß" stays "ß" (full mapping would give "SS").
Text Grossbuchstaben(TextSicht text);
Text Kleinbuchstaben(TextSicht text);
// The same mappings for one UTF-16 unit, for scans that need no copy of the
// text; ASCII, by far the most frequent, is mapped without asking ICU.
char16_t GrossbuchstabeAusserhalbAscii(char16_t c);
char16_t KleinbuchstabeAusserhalbAscii(char16_t c);
inline char16_t Grossbuchstabe(char16_t c) {
    if (c >= 0x80) return GrossbuchstabeAusserhalbAscii(c);
    return c >= u'a' && c <= u'z' ? static_cast<char16_t>(c - 0x20) : c;
}
inline char16_t Kleinbuchstabe(char16_t c) {
    if (c >= 0x80) return KleinbuchstabeAusserhalbAscii(c);
    return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c + 0x20) : c;
}

// The ANSI code page (windows-1252), one byte per UTF-16 unit. A character it
// lacks becomes '?'; the five bytes it leaves undefined map to the control
// characters of the same number, both ways, as the system did.
std::string AnsiAusText(TextSicht text);
Text TextAusAnsi(std::string_view ansi);
