#include <gtest/gtest.h>

#include "platform/basic/Fehler.h"
#include "platform/basic/Laufzeit.h"

TEST(Laufzeit, TeiltexteSindEinsbasiert) {
    EXPECT_EQ(Left(u"Straße", 3), u"Str");
    EXPECT_EQ(Right(u"Straße", 2), u"ße");
    EXPECT_EQ(Right(u"ab", 5), u"ab");
    EXPECT_EQ(Mid(u"Hamburg", 4), u"burg");
    EXPECT_EQ(Mid(u"Hamburg", 4, 2), u"bu");
    EXPECT_EQ(Mid(u"Hamburg", 9), u"");
    EXPECT_THROW(Mid(u"x", 0), LaufzeitFehler);
    EXPECT_THROW(Left(u"x", -1), LaufzeitFehler);
}

TEST(Laufzeit, InStrUndInStrRev) {
    struct Fall {
        const char16_t* s;
        const char16_t* f;
        int32_t start;
        int32_t erwartet;
    };
    for (const auto& f : {Fall{u"abcabc", u"bc", 1, 2}, Fall{u"abcabc", u"bc", 3, 5}, Fall{u"abc", u"B", 1, 0},
                          Fall{u"abc", u"", 2, 2}, Fall{u"abc", u"", 5, 0}, Fall{u"abc", u"c", 4, 0}})
        EXPECT_EQ(InStr(f.start, f.s, f.f), f.erwartet) << nachUtf8(f.s) << " / " << nachUtf8(f.f);
    EXPECT_EQ(InStrRev(u"a.b.c", u"."), 4);
    EXPECT_EQ(InStrRev(u"a.b.c", u".", 3), 2);
    EXPECT_EQ(InStrRev(u"abc", u"x"), 0);
}

TEST(Laufzeit, TrimNurLeerzeichen) {
    EXPECT_EQ(Trim(u"  a b \t "), u"a b \t");
    EXPECT_EQ(LTrim(u"  a "), u"a ");
    EXPECT_EQ(RTrim(u"  a "), u"  a");
    EXPECT_EQ(Trim(u"    "), u"");
}

TEST(Laufzeit, GrossUndKleinLassenScharfesS) {
    EXPECT_EQ(UCase(u"straße äöü"), u"STRAßE ÄÖÜ");
    EXPECT_EQ(LCase(u"STRAßE ÄÖÜ"), u"straße äöü");
    EXPECT_EQ(StrReverse(u"abc"), u"cba");
}

TEST(Laufzeit, TextZuZahl) {
    struct Fall {
        const char16_t* s;
        std::optional<double> z;
    };
    for (const auto& f :
         {Fall{u"12", 12.0}, Fall{u" -1,5 ", -1.5}, Fall{u"1.5", 1.5}, Fall{u"1e3", 1000.0}, Fall{u"&H10", 16.0},
          Fall{u"&HFFFF", -1.0}, Fall{u"", std::nullopt}, Fall{u"12a", std::nullopt}, Fall{u"1,5,3", std::nullopt},
          Fall{u"1 2", std::nullopt}, Fall{u"-", std::nullopt}, Fall{u"1e", std::nullopt}})
        EXPECT_EQ(ZahlAusText(f.s), f.z) << nachUtf8(f.s);
    EXPECT_TRUE(IsNumeric(Variante::Empty()));
    EXPECT_FALSE(IsNumeric(Variante::Null()));
    EXPECT_TRUE(IsNumeric(Variante(u"22767")));
    EXPECT_FALSE(IsNumeric(Variante(u"D-22767")));
    EXPECT_DOUBLE_EQ(Val(u"  12 34abc"), 1234);
    EXPECT_DOUBLE_EQ(Val(u"3.5,7"), 3.5);
    EXPECT_DOUBLE_EQ(Val(u"abc"), 0);
}

TEST(Laufzeit, ZahlenUndDatenAlsText) {
    EXPECT_EQ(Variante(22767).alsText(), u"22767");
    EXPECT_EQ(Variante(1.5).alsText(), u"1,5");
    EXPECT_EQ(Variante(0.1f).alsText(), u"0,1");
    EXPECT_EQ(Variante(-0.25).alsText(), u"-0,25");
    EXPECT_EQ(Variante(1e20).alsText(), u"1E+20");
    EXPECT_EQ(Variante::Währung(123450).alsText(), u"12,345");
    EXPECT_EQ(Variante(true).alsText(), u"Wahr");
    EXPECT_EQ(Variante::Datum(36526).alsText(), u"01.01.2000");
    EXPECT_EQ(Variante::Datum(36526.5).alsText(), u"01.01.2000 12:00:00");
    EXPECT_EQ(Variante::Datum(0.75).alsText(), u"18:00:00");
}

TEST(Laufzeit, FormatUndRunden) {
    EXPECT_EQ(Format(12.5, u"0"), u"13");
    EXPECT_EQ(Format(33.333, u"0"), u"33");
    EXPECT_EQ(Format(5, u"00"), u"05");
    EXPECT_EQ(Format(1.005, u"0.00"), u"1,00");
    EXPECT_EQ(Format(-0.4, u"0"), u"0");
    EXPECT_EQ(CLng(2.5), 2);
    EXPECT_EQ(CLng(3.5), 4);
    EXPECT_EQ(CLng(-2.5), -2);
    EXPECT_THROW(CLng(3e9), LaufzeitFehler);
    EXPECT_EQ(Int(-1.5), -2);
    EXPECT_EQ(Fix(-1.5), -1);
}

TEST(Laufzeit, ZufallIstMitSaatWiederholbar) {
    RandomizeMit(42);
    const float a = Rnd(), b = Rnd();
    RandomizeMit(42);
    EXPECT_EQ(Rnd(), a);
    EXPECT_EQ(Rnd(), b);
    for (int i = 0; i < 1000; ++i) {
        const float r = Rnd();
        ASSERT_GE(r, 0.0f);
        ASSERT_LT(r, 1.0f);
    }
}
