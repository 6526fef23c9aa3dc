#pragma once
// Code pages of the file formats (dBase, Excel BIFF5, Jet 3): the one way the drivers
// open a converter.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/basic/Text.h"

struct UConverter;

namespace dao::speicher {

// A code page: windows-1252 through the text layer (every byte round-trips), all
// others through ICU with '?' for what they lack.
class Zeichensatz {
public:
    explicit Zeichensatz(std::string icuName);  // an unknown name gives windows-1252
    ~Zeichensatz();
    Zeichensatz(const Zeichensatz&) = delete;
    Zeichensatz& operator=(const Zeichensatz&) = delete;
    const std::string& name() const { return name_; }
    Text dekodieren(std::string_view bytes) const;
    // At most `max` bytes, cut at a character boundary.
    std::string kodieren(TextSicht text, size_t max = SIZE_MAX) const;
    // Position of the first character the code page cannot hold; npos when it holds all.
    size_t ersterFremder(TextSicht text) const;

private:
    std::string name_;
    UConverter* konverter_ = nullptr;  // null for windows-1252
};

// ICU's name for a Windows code page number (Excel's CODEPAGE record, a Jet 3 header,
// a .cpg file); "" for a number ICU does not know. 0 counts as windows-1252.
std::string CodepageName(unsigned nummer);
// Whether ICU has a converter of that name.
bool IcuKennt(const std::string& name);

// One converter per code page number for the whole run: the readers decode every text
// value with it. Unknown numbers give windows-1252.
const Zeichensatz& ZeichensatzDerCodepage(unsigned nummer);

}  // namespace dao::speicher
