#include <gtest/gtest.h>

#include "platform/basic/Fehler.h"
#include "platform/basic/Laufzeit.h"
#include "platform/basic/Variante.h"

TEST(Variante, EmptyNullUndLeertextSindVerschieden) {
    const Variante e, n = Variante::Null(), l = Variante(u"");
    EXPECT_TRUE(e.istEmpty());
    EXPECT_TRUE(n.istNull());
    EXPECT_TRUE(l.istText());
    EXPECT_FALSE(e.identisch(l));
    EXPECT_FALSE(n.identisch(l));
    EXPECT_TRUE(Len(e).identisch(Variante(0)));
    EXPECT_TRUE(Len(n).istNull());
    EXPECT_TRUE(Len(Variante(1234)).identisch(Variante(4)));
    EXPECT_EQ(e.alsText(), u"");
    EXPECT_THROW(n.alsText(), LaufzeitFehler);
}

TEST(Variante, VerkettenMitUndUndPlus) {
    const Variante e, n = Variante::Null(), a = u"ab";
    EXPECT_TRUE((a & n).identisch(Variante(u"ab")));
    EXPECT_TRUE((n & e).identisch(Variante(u"")));
    EXPECT_TRUE((a & Variante(12)).identisch(Variante(u"ab12")));
    EXPECT_TRUE((a + n).istNull());
    EXPECT_TRUE((n + a).istNull());
    EXPECT_TRUE((a + e).identisch(a));
    EXPECT_TRUE((a + Variante(u"c")).identisch(Variante(u"abc")));
    EXPECT_TRUE((Variante(2) + Variante(u"3")).identisch(Variante(5.0)));  // a text operand makes it Double
    EXPECT_TRUE((Variante(2) + Variante(0.5)).identisch(Variante(2.5)));
    EXPECT_THROW(Variante(2) + Variante(u"x"), LaufzeitFehler);
}

TEST(Variante, VergleichMitNullIstFalsch) {
    const Variante n = Variante::Null();
    EXPECT_FALSE(n == n);
    EXPECT_FALSE(n != n);
    EXPECT_FALSE(n < Variante(1));
    EXPECT_FALSE(Variante(1) >= n);
    EXPECT_TRUE(Variante(u"a") < Variante(u"b"));
    EXPECT_TRUE(Variante(u"B") < Variante(u"a"));  // exact, by character code
    EXPECT_TRUE(Variante(5) < Variante(u"1"));     // numbers before texts
    EXPECT_TRUE(Variante() == Variante(0));
    EXPECT_TRUE(Variante() == Variante(u""));
    EXPECT_TRUE(Variante(300) > Variante(12.5));
    EXPECT_TRUE(Variante(true) == Variante(-1));
}
