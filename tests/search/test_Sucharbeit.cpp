// The whole search in full mode scored on worker threads gives the same tables as
// on the calling thread alone.
#include <random>
#include <string>
#include <vector>

#include "search/Suchdatenbank.h"
#include "search/mdlDublettenpaare.h"
#include "search/mdlSuchlauf.h"

namespace {

using Spalten = std::vector<std::vector<std::string>>;

// Firms with near copies in blocks by their first characters, streets, towns and phones.
void Firmen() {
    std::mt19937 z(20261211);
    const char16_t* namen[] = {u"Müller", u"Meyer", u"Schmidt", u"Schulz", u"Becker", u"Weber", u"Wagner"};
    const char16_t* branchen[] = {u"Bau", u"Druck", u"Holz", u"Elektro", u"Reisen"};
    const char16_t* formen[] = {u"GmbH", u"KG", u"AG", u""};
    const char16_t* orte[] = {u"Berlin", u"Köln", u"Hamburg", u"Bremen"};
    std::vector<std::vector<Variante>> zeilen;
    for (int32_t i = 1; i <= 2500; ++i) {
        Text firma = Text(namen[z() % 7]) + u" " + branchen[z() % 5];
        if (const Text form = formen[z() % 4]; !form.empty()) firma += u" " + form;
        if (z() % 4 == 0) firma += u" Nord";
        const Text straße = u"Hauptstraße " + ausUtf8(std::to_string(1 + z() % 3));
        const Text ort = ausUtf8(std::to_string(10000 + z() % 3)) + u" " + orte[z() % 4];
        const Variante telefon = z() % 3 ? Variante(u"030/" + ausUtf8(std::to_string(z() % 50))) : Variante::Null();
        zeilen.push_back({Variante(i), Variante(firma), Variante(straße), Variante(ort), telefon});
    }
    TesttabelleAnlegen(u"Adressen", {{u"Nr", dao::dbLong}, {u"Firma"}, {u"Straße"}, {u"Ort"}, {u"Telefon"}}, zeilen);
}

}  // namespace

class Arbeitersuche : public Suchdatenbank {
protected:
    void TearDown() override {
        SuchArbeiter = 0;
        Suchdatenbank::TearDown();
    }
    // Every column of the work table and of TEMP_DS, the pair and group counts;
    // both tables are dropped afterwards.
    Spalten Suchen(int32_t arbeiter) {
        SuchArbeiter = arbeiter;
        DublettenSuchen(Variante(u"Adressen"), Variante(u"Ergebnis"),
                        {Index, FirmaUndForm, StraßeUndNummer, PlzUndOrt, VorwahlUndTelefon}, true, false);
        EXPECT_FALSE(gAbbruch || gFehlerAbbruch) << arbeiter;
        EXPECT_EQ(SuchArbeiterLaufend(), 0);
        Spalten r;
        for (const Text t : {u"Ergebnis", u"TEMP_DS"})
            for (const auto& s : TabellenSpalten(t)) r.push_back(TabellenSpalte(t, ausUtf8(s)));
        r.push_back({std::to_string(AnzahlDublettenpaare), std::to_string(gAnzahlDubletten)});
        SucheAbbrechen();
        LaufTabellenLeeren();
        EXPECT_FALSE(Gibt(u"Ergebnis"));
        return r;
    }
};

TEST_F(Arbeitersuche, VollmodusGibtMitArbeiternDieselbenTabellen) {
    Firmen();
    oberfläche.WertSetzen(u"chkQuickSuche", 0);
    Pass(0, {2}, 4);     // by Firma, blocks by four characters
    Pass(1, {4, 3}, 5);  // by Ort and Straße, blocks by the postcode
    const Spalten allein = Suchen(1);
    ASSERT_EQ(allein.size(), 2 * 9 + 1u);
    // TEMP_BN of the work table: the groups found.
    EXPECT_GT(std::stoi(allein.back()[1]), 1000);
    for (int32_t arbeiter : {2, 8}) {
        const Spalten mehrere = Suchen(arbeiter);
        ASSERT_EQ(mehrere.size(), allein.size()) << arbeiter;
        for (size_t i = 0; i < allein.size(); ++i) EXPECT_EQ(mehrere[i], allein[i]) << arbeiter << " Spalte " << i;
    }
}

// Quick mode prepares the rows it reads ahead on the workers: the tables are the same.
TEST_F(Arbeitersuche, QuickmodusGibtMitArbeiternDieselbenTabellen) {
    Firmen();
    oberfläche.WertSetzen(u"chkQuickSuche", 1);
    Pass(0, {2}, 4);
    Pass(1, {4, 3}, 5);
    const Spalten allein = Suchen(1);
    EXPECT_GT(std::stoi(allein.back()[1]), 1000);
    const Spalten mehrere = Suchen(8);
    ASSERT_EQ(mehrere.size(), allein.size());
    for (size_t i = 0; i < allein.size(); ++i) EXPECT_EQ(mehrere[i], allein[i]) << "Spalte " << i;
}
