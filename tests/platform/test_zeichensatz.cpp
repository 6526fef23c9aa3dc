// Code pages as every driver opens them.
#include <gtest/gtest.h>

#include "platform/dao/storage/Zeichensatz.h"

namespace {

using namespace dao::speicher;

TEST(Zeichensatz, NamenDerCodepages) {
    const std::pair<unsigned, const char*> fälle[] = {
        {0, "windows-1252"}, {1252, "windows-1252"}, {32769, "windows-1252"}, {1250, "windows-1250"},
        {850, "ibm-850"},    {437, "ibm-437"},       {65001, "UTF-8"},        {28591, "ISO-8859-1"},
        {28605, ""},         {1200, "UTF-16LE"},     {10000, "macintosh"},    {932, "windows-932"},
        {4711, ""},
    };
    for (const auto& [nummer, name] : fälle) EXPECT_EQ(CodepageName(nummer), name) << nummer;
    // An unknown number reads as windows-1252, the format's default.
    EXPECT_EQ(ZeichensatzDerCodepage(4711).name(), "windows-1252");
    EXPECT_EQ(&ZeichensatzDerCodepage(850), &ZeichensatzDerCodepage(850));
}

TEST(Zeichensatz, ErsterFremderUndHinUndZurück) {
    const struct {
        const char* codepage;
        Text text;
        size_t fremd;
    } fälle[] = {
        {"windows-1252", u"Straße € ?", TextSicht::npos},
        {"windows-1252", u"abПривет", 2},
        {"windows-1252", u"a\U0001F600b", 1},
        {"ibm-850", u"Müller", TextSicht::npos},
        {"ibm-850", u"Preis: 5 €", 9},
        {"windows-1251", u"Привет", TextSicht::npos},
        {"windows-1251", u"Привет ä", 7},
        {"ibm-850", u"xy\U0001F600", 2},
    };
    for (const auto& f : fälle) {
        SCOPED_TRACE(std::string(f.codepage) + " " + nachUtf8(f.text));
        const Zeichensatz zs(f.codepage);
        EXPECT_EQ(zs.ersterFremder(f.text), f.fremd);
        if (f.fremd == TextSicht::npos) {
            EXPECT_EQ(zs.dekodieren(zs.kodieren(f.text)), f.text);
        }
    }
}

}  // namespace
