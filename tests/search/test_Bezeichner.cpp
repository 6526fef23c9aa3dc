// A column name that reads like SQL never changes a statement of the search: its
// sort list, deletions and lookups quote every name by the engine's one rule.
#include <string>
#include <vector>

#include "foundation/Oberflaeche.h"
#include "platform/dao/Dao.h"
#include "search/Suchdatenbank.h"
#include "search/mdlDublettensuche.h"

namespace {

using S = std::vector<std::string>;
Variante T(const char16_t* t) { return Variante(t); }

class SuchBezeichner : public Suchdatenbank {};

TEST_F(SuchBezeichner, NamenMitKlammernBleibenNamen) {
    for (const char16_t* firma : {u"x] DESC, [y", u"Firma]", u"[Firma", u"a]]b"}) {
        SCOPED_TRACE(nachUtf8(firma));
        LaufTabellenLeeren();
        for (const char16_t* t : {u"Adressen", u"Ergebnis"})
            if (TabellenIndexErmitteln(Variante(Text(t))) >= 0) gDatenbank->TableDefs().Delete(t);
        // "y" exists too: a broken sort list would sort by it without an error.
        TesttabelleAnlegen(u"Adressen", {{u"Nr", dao::dbLong}, {firma}, {u"Straße"}, {u"y"}},
                           {{Variante(1), T(u"Müller GmbH"), T(u"Hauptstr. 5"), T(u"10115 Berlin")},
                            {Variante(2), T(u"Anders KG"), T(u"Talweg 9"), T(u"80331 München")},
                            {Variante(3), T(u"Müller GmbH"), T(u"Hauptstraße 5"), T(u"10115 Berlin-Mitte")},
                            {Variante(4), T(u"Schmidt AG"), T(u"Ringweg 3"), T(u"20095 Hamburg")},
                            {Variante(5), T(u"Schmidt AG"), T(u"Ringweg 3"), T(u"20095 Hamburg")},
                            {Variante(6), T(u"Zander OHG"), T(u"Seeweg 1"), T(u"01067 Dresden")}});
        gFelder1 = {Index, Firmenname, StraßeUndNummer, PlzUndOrt};
        Pass(0, {2});  // sorted by the second column
        gAbbruch = gFehlerAbbruch = false;
        DublettensucheStarten(Variante(u"Adressen"), Variante(u"Ergebnis"));
        ASSERT_FALSE(gAbbruch || gFehlerAbbruch);
        EXPECT_EQ(gAnzahlDubletten, 4);
        EXPECT_EQ(TabellenSpalte(u"Ergebnis", u"Nr"), (S{"#2", "#6"}));
    }
}

// The rule itself: what it quotes reads back as the same name.
TEST_F(SuchBezeichner, DieRegelSelbst) {
    EXPECT_EQ(dao::SqlBezeichner(u"Name"), u"[Name]");
    EXPECT_EQ(dao::SqlBezeichner(u"x] DESC, [y"), u"[x]] DESC, [y]");
    TesttabelleAnlegen(u"T", {{u"a]b", dao::dbLong}, {u"c"}}, {{Variante(2), T(u"z")}, {Variante(1), T(u"y")}});
    auto rs = gDatenbank->OpenRecordset(u"SELECT * FROM " + dao::SqlBezeichner(u"T") + u" ORDER BY " +
                                        dao::SqlBezeichner(u"a]b"));
    EXPECT_EQ(rs->Fields()[u"c"]->Value().alsText(), u"y");
    gDatenbank->Execute(u"DELETE * FROM [T] WHERE " + dao::SqlBezeichner(u"a]b") + u" = 1");
    EXPECT_EQ(TabellenSpalte(u"T", u"c"), (S{"z"}));
}

}  // namespace
