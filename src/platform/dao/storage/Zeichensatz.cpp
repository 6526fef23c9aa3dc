#include "platform/dao/storage/Zeichensatz.h"

#include <unicode/ucnv.h>

#include <map>
#include <memory>
#include <mutex>
#include <vector>

namespace dao::speicher {

bool IcuKennt(const std::string& name) {
    UErrorCode e = U_ZERO_ERROR;
    UConverter* k = ucnv_open(name.c_str(), &e);
    if (k) ucnv_close(k);
    return U_SUCCESS(e) && k;
}

std::string CodepageName(unsigned n) {
    switch (n) {
        case 0:
        case 32769: return "windows-1252";
        case 367: return "US-ASCII";
        case 1200: return "UTF-16LE";
        case 10000:
        case 32768: return "macintosh";
        case 65001: return "UTF-8";
        default: break;
    }
    if (n >= 28591 && n <= 28599) return "ISO-8859-" + std::to_string(n - 28590);
    if (n == 874 || (n >= 932 && n <= 950) || (n >= 1250 && n <= 1258)) return "windows-" + std::to_string(n);
    if (n >= 437 && n <= 869) return "ibm-" + std::to_string(n);
    const std::string cp = "cp" + std::to_string(n);
    return IcuKennt(cp) ? cp : std::string();
}

Zeichensatz::Zeichensatz(std::string icuName) : name_(std::move(icuName)) {
    if (name_ != "windows-1252" && !name_.empty()) {
        UErrorCode e = U_ZERO_ERROR;
        konverter_ = ucnv_open(name_.c_str(), &e);
        if (U_FAILURE(e)) {
            if (konverter_) ucnv_close(konverter_);
            konverter_ = nullptr;
        }
    }
    if (!konverter_) {
        name_ = "windows-1252";
        return;
    }
    UErrorCode e = U_ZERO_ERROR;
    ucnv_setSubstChars(konverter_, "?", 1, &e);
}

Zeichensatz::~Zeichensatz() {
    if (konverter_) ucnv_close(konverter_);
}

Text Zeichensatz::dekodieren(std::string_view bytes) const {
    if (!konverter_) return TextAusAnsi(bytes);
    if (bytes.empty()) return {};
    Text t(bytes.size() + 1, u'\0');
    UErrorCode e = U_ZERO_ERROR;
    int32_t n = ucnv_toUChars(konverter_, t.data(), static_cast<int32_t>(t.size()), bytes.data(),
                              static_cast<int32_t>(bytes.size()), &e);
    if (e == U_BUFFER_OVERFLOW_ERROR) {
        t.assign(static_cast<size_t>(n) + 1, u'\0');
        e = U_ZERO_ERROR;
        n = ucnv_toUChars(konverter_, t.data(), static_cast<int32_t>(t.size()), bytes.data(),
                          static_cast<int32_t>(bytes.size()), &e);
    }
    t.resize(U_SUCCESS(e) ? static_cast<size_t>(n) : 0);
    return t;
}

std::string Zeichensatz::kodieren(TextSicht text, size_t max) const {
    if (!konverter_) {
        std::string s = AnsiAusText(text);
        if (s.size() > max) s.resize(max);
        return s;
    }
    // With the source position of every byte, so that a cut falls between characters.
    std::string s(text.size() * static_cast<size_t>(ucnv_getMaxCharSize(konverter_)) + 16, '\0');
    std::vector<int32_t> herkunft(s.size());
    ucnv_resetFromUnicode(konverter_);
    char* ziel = s.data();
    const UChar* quelle = text.data();
    UErrorCode e = U_ZERO_ERROR;
    ucnv_fromUnicode(konverter_, &ziel, s.data() + s.size(), &quelle, text.data() + text.size(), herkunft.data(), true,
                     &e);
    s.resize(U_SUCCESS(e) ? static_cast<size_t>(ziel - s.data()) : 0);
    if (s.size() <= max) return s;
    size_t schnitt = max;
    while (schnitt > 0 && herkunft[schnitt] == herkunft[schnitt - 1]) --schnitt;
    s.resize(schnitt);
    return s;
}

size_t Zeichensatz::ersterFremder(TextSicht text) const {
    if (!konverter_) {
        const std::string s = AnsiAusText(text);
        for (size_t i = 0; i < text.size() && i < s.size(); ++i)
            if (s[i] == '?' && text[i] != u'?') return i;
        return TextSicht::npos;
    }
    // A converter of its own that stops at the first character it cannot map.
    UErrorCode e = U_ZERO_ERROR;
    UConverter* streng = ucnv_open(name_.c_str(), &e);
    if (U_FAILURE(e) || !streng) {
        if (streng) ucnv_close(streng);
        return TextSicht::npos;
    }
    ucnv_setFromUCallBack(streng, UCNV_FROM_U_CALLBACK_STOP, nullptr, nullptr, nullptr, &e);
    std::string puffer(8 * text.size() + 16, '\0');
    std::vector<int32_t> herkunft(puffer.size());
    char* ziel = puffer.data();
    const UChar* quelle = text.data();
    e = U_ZERO_ERROR;
    ucnv_fromUnicode(streng, &ziel, puffer.data() + puffer.size(), &quelle, text.data() + text.size(), herkunft.data(),
                     true, &e);
    ucnv_close(streng);
    if (U_SUCCESS(e)) return TextSicht::npos;
    // The source stops after the character that failed (a surrogate pair counts as one).
    size_t i = static_cast<size_t>(quelle - text.data());
    if (i > 0) --i;
    if (i > 0 && (text[i] & 0xFC00) == 0xDC00 && (text[i - 1] & 0xFC00) == 0xD800) --i;
    return i;
}

const Zeichensatz& ZeichensatzDerCodepage(unsigned nummer) {
    static std::mutex sperre;
    static std::map<unsigned, std::unique_ptr<Zeichensatz>> vorrat;
    const std::lock_guard<std::mutex> halten(sperre);
    auto& z = vorrat[nummer];
    if (!z) z = std::make_unique<Zeichensatz>(CodepageName(nummer));
    return *z;
}

}  // namespace dao::speicher
