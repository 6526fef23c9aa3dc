#include "platform/basic/Text.h"

#include <unicode/uchar.h>
#include <unicode/utf16.h>
#include <unicode/utf8.h>

#include <array>

Text ausUtf8(std::string_view utf8) {
    Text out;
    out.reserve(utf8.size());
    const auto* s = reinterpret_cast<const uint8_t*>(utf8.data());
    int32_t i = 0;
    const auto n = static_cast<int32_t>(utf8.size());
    while (i < n) {
        UChar32 c;
        U8_NEXT(s, i, n, c);
        if (c < 0) c = 0xFFFD;
        if (c <= 0xFFFF) {
            out.push_back(static_cast<char16_t>(c));
        } else {
            out.push_back(static_cast<char16_t>(U16_LEAD(c)));
            out.push_back(static_cast<char16_t>(U16_TRAIL(c)));
        }
    }
    return out;
}

std::string nachUtf8(TextSicht text) {
    std::string out;
    out.reserve(text.size());
    const auto n = static_cast<int32_t>(text.size());
    int32_t i = 0;
    while (i < n) {
        UChar32 c;
        U16_NEXT(text.data(), i, n, c);
        if (U_IS_SURROGATE(c)) c = 0xFFFD;
        uint8_t buf[4];
        int32_t len = 0;
        UBool fehler = false;
        U8_APPEND(buf, len, 4, c, fehler);
        if (fehler) continue;
        out.append(reinterpret_cast<const char*>(buf), static_cast<size_t>(len));
    }
    return out;
}

namespace {
template <typename F>
char16_t abbilden(char16_t ch, F f) {
    // Surrogate halves stay as they are; the letters the program handles are all in the BMP.
    if (U16_IS_SURROGATE(ch)) return ch;
    const UChar32 m = f(static_cast<UChar32>(ch));
    return m <= 0xFFFF ? static_cast<char16_t>(m) : ch;
}
}  // namespace

char16_t GrossbuchstabeAusserhalbAscii(char16_t c) { return abbilden(c, u_toupper); }
char16_t KleinbuchstabeAusserhalbAscii(char16_t c) { return abbilden(c, u_tolower); }

Text Grossbuchstaben(TextSicht text) {
    Text out(text);
    for (auto& ch : out) ch = Grossbuchstabe(ch);
    return out;
}
Text Kleinbuchstaben(TextSicht text) {
    Text out(text);
    for (auto& ch : out) ch = Kleinbuchstabe(ch);
    return out;
}

namespace {
constexpr std::array<char16_t, 32> kObereSteuerzeichen = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

char ansiZeichen(char32_t c) {
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) return static_cast<char>(c);
    for (size_t i = 0; i < kObereSteuerzeichen.size(); ++i)
        if (kObereSteuerzeichen[i] == c) return static_cast<char>(0x80 + i);
    return '?';
}

}  // namespace

std::string AnsiAusText(TextSicht text) {
    std::string out;
    out.reserve(text.size());
    // One byte per UTF-16 unit, so that a text's length is its byte count; each
    // half of a character outside the BMP becomes its own '?'.
    for (char16_t c : text) out.push_back(c >= 0xD800 && c <= 0xDFFF ? '?' : ansiZeichen(c));
    return out;
}

Text TextAusAnsi(std::string_view ansi) {
    Text out;
    out.reserve(ansi.size());
    for (char ch : ansi) {
        const auto b = static_cast<unsigned char>(ch);
        out.push_back(b >= 0x80 && b < 0xA0 ? kObereSteuerzeichen[b - 0x80] : static_cast<char16_t>(b));
    }
    return out;
}
