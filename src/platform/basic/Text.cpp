#include "platform/basic/Text.h"

#include <unicode/uchar.h>
#include <unicode/utf16.h>
#include <unicode/utf8.h>

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
Text abbilden(TextSicht text, F f) {
    Text out(text);
    for (auto& ch : out) {
        // Surrogate halves stay as they are; the letters the program handles are all in the BMP.
        if (!U16_IS_SURROGATE(ch)) {
            const UChar32 m = f(static_cast<UChar32>(ch));
            if (m <= 0xFFFF) ch = static_cast<char16_t>(m);
        }
    }
    return out;
}
}  // namespace

Text Grossbuchstaben(TextSicht text) { return abbilden(text, [](UChar32 c) { return u_toupper(c); }); }
Text Kleinbuchstaben(TextSicht text) { return abbilden(text, [](UChar32 c) { return u_tolower(c); }); }
