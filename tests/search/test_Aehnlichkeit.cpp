#include <gtest/gtest.h>

#include <string>

#include "platform/basic/Fehler.h"
#include "search/mdlSuche.h"

namespace {

struct Fall {
    Variante a, b;
    float erwartet;
};

Variante Wörter(int n, const char16_t* wort) {
    Text t;
    for (int i = 0; i < n; ++i) t += (i ? u" " : u"") + Text(wort);
    return Variante(t);
}

}  // namespace

TEST(WortAehnlichkeit, BeispieleUndRaender) {
    const Fall fälle[] = {
        {u"müller bau", u"müller bau", 1.0f},
        {u"müller bau", u"müller", 0.6666667f},
        {u"bau", u"baumann", 0.5f},
        {u"Bau", u"bau", 0.0f},
        {u"", u"abc", 0.5f},
        {u"", u"", 1.0f},
        {u" ", u"abc", 2.0f / 3.0f},        // two empty words, both found
        {u"a  b", u"a b", 1.0f},            // the empty word between two blanks is found
        {u"ab cd", u"xcdx", 1.0f / 3.0f},   // found inside a word of the other text
        {Variante(12345), u"12345", 1.0f},  // a number by its text form
        {Variante(1.5), u"1,5", 1.0f},
        {Variante::Empty(), u"abc", 0.0f},
        {Variante::Null(), u"abc", 0.0f},
        {Variante::Null(), Variante::Null(), 0.0f},
    };
    for (const auto& f : fälle) {
        EXPECT_EQ(WortÄhnlichkeit(f.a, f.b), f.erwartet) << f.a << " / " << f.b;
        EXPECT_EQ(WortÄhnlichkeit(f.b, f.a), f.erwartet) << f.b << " / " << f.a;
    }
}

TEST(WortAehnlichkeit, UeberlaufDerZaehlerUndPositionen) {
    // 255 words together still count; one more overflows.
    EXPECT_EQ(WortÄhnlichkeit(Wörter(128, u"x"), Wörter(127, u"x")), 1.0f);
    for (const auto& [a, b] :
         {std::pair{Wörter(128, u"x"), Wörter(128, u"x")}, std::pair{Wörter(256, u"x"), Variante(u"x")}}) {
        try {
            WortÄhnlichkeit(a, b);
            ADD_FAILURE() << "kein Überlauf";
        } catch (const LaufzeitFehler& e) {
            EXPECT_EQ(e.Nummer(), fehlernummer::Ueberlauf);
        }
    }
    // The appended blank of a text of 32765 characters stands at 32766: still fine.
    EXPECT_EQ(WortÄhnlichkeit(Variante(Text(32765, u'a')), u"a"), 0.5f);
    EXPECT_THROW(WortÄhnlichkeit(Variante(Text(32766, u'a')), u"a"), LaufzeitFehler);
    EXPECT_THROW(WortÄhnlichkeit(u"a", Variante(Text(32766, u'a'))), LaufzeitFehler);
}

TEST(ZiffernAehnlichkeit, BeispieleUndRaender) {
    const Fall fälle[] = {
        {u"12345", u"12345", 1.0f},
        {u"12345", u"12354", 0.6f},
        {u"1234", u"123", 0.625f},
        {u"512", u"612", 0.0f},
        {u"0711", u"711", 0.0f},
        {u"7", u"712", 0.0f},
        {u"5", u"5123", 0.0f},
        {u"12a", u"12a", 0.0f},
        {u"", u"", 0.0f},  // the empty text is not numeric
        {Variante(12345), u"12345", 1.0f},
        {Variante::Empty(), Variante(12), 0.0f},
        {Variante::Empty(), Variante::Empty(), 0.0f},
        {Variante::Null(), u"1", 0.0f},
        {u"12", u"13", 0.5f},
        {u"1200", u"1300", 0.75f},
        {u"123456", u"1234", static_cast<float>(4.0 / 6 - 0.5 * 2 / 6)},
        {u"1234567", u"1234567", 1.0f},  // seven sevenths summed one by one
    };
    for (const auto& f : fälle) {
        EXPECT_EQ(ZiffernÄhnlichkeit(f.a, f.b), f.erwartet) << f.a << " / " << f.b;
        EXPECT_EQ(ZiffernÄhnlichkeit(f.b, f.a), f.erwartet) << f.b << " / " << f.a;
    }
}
