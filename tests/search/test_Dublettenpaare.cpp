#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <utility>
#include <vector>

#include "common/FakeOberflaeche.h"
#include "foundation/mdlDeklarationen.h"
#include "search/mdlDublettenpaare.h"

namespace {

using Paar = std::pair<int32_t, int32_t>;

class Dublettenpaare_ : public ::testing::Test {
protected:
    FakeOberfläche oberfläche;
    void SetUp() override { DublettenpaareZurücksetzen(); }
    void TearDown() override {
        DublettenpaareZurücksetzen();
        DublettenlisteZurücksetzen();
    }

    static void Eintragen(const std::vector<Paar>& paare) {
        for (auto [a, b] : paare) DublettenpaarEintragen(a, b);
    }
    static std::vector<Paar> Gespeichert() {
        std::vector<Paar> r;
        for (int32_t p = 0; p < AnzahlDublettenpaare; ++p)
            r.emplace_back(Dublettenpaare[p].Satz1, Dublettenpaare[p].Satz2);
        return r;
    }
    static std::vector<int32_t> Gruppen() {
        std::vector<int32_t> r;
        for (int32_t p = 0; p < AnzahlDublettenpaare; ++p) r.push_back(Dublettenpaare[p].Gruppe);
        return r;
    }
    // Record list entries as (record, group).
    static std::vector<Paar> Liste() {
        std::vector<Paar> r;
        for (int32_t i = 0; i < gAnzahlDubletten; ++i) r.emplace_back(Dublettenliste[i].Satz, Dublettenliste[i].Gruppe);
        return r;
    }
    static void ListeSetzen(const std::vector<Paar>& einträge) {
        DublettenlisteZurücksetzen();
        for (auto [s, g] : einträge) DatensatzEintragen(s, g);
    }
};

}  // namespace

TEST_F(Dublettenpaare_, EinPaarNurEinmalInBeidenRichtungen) {
    Eintragen({{9, 5}, {5, 9}, {5, 9}, {9, 5}, {5, 7}});
    EXPECT_EQ(Gespeichert(), (std::vector<Paar>{{9, 5}, {5, 7}}));
    EXPECT_TRUE(DublettenpaarVorhanden(5, 9));
    EXPECT_TRUE(DublettenpaarVorhanden(7, 5));
    EXPECT_FALSE(DublettenpaarVorhanden(9, 7));
    EXPECT_EQ(Dublettenpaare.size(), 100u);
    EXPECT_EQ(Gruppen(), (std::vector<int32_t>{0, 0}));
    // A new search starts empty again.
    DublettenpaareZurücksetzen();
    EXPECT_FALSE(DublettenpaarVorhanden(5, 9));
    DublettenpaarEintragen(5, 9);
    EXPECT_EQ(Gespeichert(), (std::vector<Paar>{{5, 9}}));
}

TEST_F(Dublettenpaare_, WachsenInSchrittenVonHundert) {
    for (int32_t i = 1; i <= 100; ++i) DublettenpaarEintragen(i, i + 1000);
    EXPECT_EQ(Dublettenpaare.size(), 100u);
    DublettenpaarEintragen(101, 1101);
    EXPECT_EQ(Dublettenpaare.size(), 200u);
    EXPECT_EQ(AnzahlDublettenpaare, 101);
    EXPECT_EQ(Dublettenpaare[100].Satz1, 101);
    EXPECT_EQ(Dublettenpaare[101].Satz1, 0);  // new slots are zero

    DublettenlisteZurücksetzen();
    for (int32_t i = 1; i <= 100; ++i) DatensatzEintragen(i, 1);
    EXPECT_EQ(Dublettenliste.size(), 100u);
    DatensatzEintragen(101, 1);
    EXPECT_EQ(Dublettenliste.size(), 200u);
    EXPECT_EQ(gAnzahlDubletten, 101);
    EXPECT_TRUE(DatensatzGelistet(101));
    EXPECT_FALSE(DatensatzGelistet(102));
}

TEST_F(Dublettenpaare_, GruppenNachDemNiedrigstenPaar) {
    struct Fall {
        std::vector<Paar> paare;
        std::vector<int32_t> gruppen;
        int32_t anzahl;
    };
    const std::vector<Fall> fälle{
        {{{1, 2}, {3, 4}, {2, 3}, {7, 8}}, {1, 1, 1, 2}, 2},
        {{{10, 20}, {30, 40}, {20, 30}}, {1, 1, 1}, 1},
        {{{7, 8}, {1, 2}, {3, 4}, {8, 1}}, {1, 1, 2, 1}, 2},
        {{{5, 6}, {6, 5}, {1, 9}, {9, 6}, {2, 3}}, {1, 1, 1, 2}, 2},
    };
    for (const auto& f : fälle) {
        DublettenpaareZurücksetzen();
        Eintragen(f.paare);
        EXPECT_EQ(DublettengruppenNummerieren(), f.anzahl);
        EXPECT_EQ(Gruppen(), f.gruppen);
    }
    // A pair already numbered is left alone; only unnumbered connected pairs change.
    DublettenpaareZurücksetzen();
    Eintragen({{1, 2}, {2, 3}, {3, 4}});
    Dublettenpaare[1].Gruppe = 5;
    DublettengruppeZuweisen(1, 7);
    EXPECT_EQ(Gruppen(), (std::vector<int32_t>{7, 5, 0}));
    DublettengruppeZuweisen(99, 8);  // in no pair
    EXPECT_EQ(Gruppen(), (std::vector<int32_t>{7, 5, 0}));
}

TEST_F(Dublettenpaare_, LangeKetteOhneTiefeRekursion) {
    // A chain of 300000 records, stored out of order: one group.
    const int32_t n = 300000;
    for (int32_t i = 1; i < n; i += 2) DublettenpaarEintragen(i, i + 1);
    for (int32_t i = 2; i < n; i += 2) DublettenpaarEintragen(i + 1, i);
    DublettenpaarEintragen(n + 10, n + 11);
    EXPECT_EQ(DublettengruppenNummerieren(), 2);
    const auto g = Gruppen();
    EXPECT_TRUE(std::all_of(g.begin(), g.end() - 1, [](int32_t x) { return x == 1; }));
    EXPECT_EQ(g.back(), 2);
    DublettenlisteAufbauen();
    EXPECT_EQ(gAnzahlDubletten, n + 2);
    DublettenSortieren();
    for (int32_t i = 0; i < n; ++i) ASSERT_EQ(Dublettenliste[i].Satz, i + 1);
}

TEST_F(Dublettenpaare_, ListeAusDenPaarenUndSortiert) {
    Eintragen({{4, 2}, {2, 7}});
    DublettengruppenNummerieren();
    DublettenlisteAufbauen();
    EXPECT_EQ(Liste(), (std::vector<Paar>{{4, 1}, {2, 1}, {7, 1}}));
    DublettenSortieren();
    EXPECT_EQ(Liste(), (std::vector<Paar>{{2, 1}, {4, 1}, {7, 1}}));

    DublettenpaareZurücksetzen();
    Eintragen({{8, 3}, {20, 21}, {3, 5}});
    DublettengruppenNummerieren();
    DublettenlisteAufbauen();
    EXPECT_EQ(Liste(), (std::vector<Paar>{{8, 1}, {3, 1}, {20, 2}, {21, 2}, {5, 1}}));
    DublettenSortieren();
    EXPECT_EQ(Liste(), (std::vector<Paar>{{3, 1}, {5, 1}, {8, 1}, {20, 2}, {21, 2}}));
    // Released storage keeps the counts.
    DublettenpaareFreigeben();
    DublettenlisteFreigeben();
    EXPECT_EQ(Dublettenpaare.size(), 1u);
    EXPECT_EQ(AnzahlDublettenpaare, 3);
    EXPECT_EQ(Dublettenliste.size(), 1u);
    EXPECT_EQ(gAnzahlDubletten, 5);
}

TEST_F(Dublettenpaare_, SortierenNachGruppeDannSatz) {
    ListeSetzen({{5, 2}, {3, 1}, {9, 1}, {1, 2}});
    DublettenSortieren();
    EXPECT_EQ(Liste(), (std::vector<Paar>{{3, 1}, {9, 1}, {1, 2}, {5, 2}}));
    EXPECT_EQ(ListenEinträgeVergleichen(1, 2), -1);
    EXPECT_EQ(ListenEinträgeVergleichen(3, 2), 1);
    EXPECT_EQ(ListenEinträgeVergleichen(4, 4), 0);

    std::mt19937 zufall(7);
    std::vector<Paar> geordnet;
    for (int32_t g = 1; g <= 300; ++g)
        for (int32_t s = 0; s < 1 + g % 7; ++s) geordnet.emplace_back(g * 100 + s, g);
    std::vector<Paar> einGruppe;
    for (int32_t s = 1; s <= 500; ++s) einGruppe.emplace_back(s, 1);
    for (const auto& erwartet : {geordnet, einGruppe}) {
        auto rückwärts = erwartet;
        std::reverse(rückwärts.begin(), rückwärts.end());
        auto gemischt = erwartet;
        std::shuffle(gemischt.begin(), gemischt.end(), zufall);
        for (const auto& eingabe : {erwartet, rückwärts, gemischt}) {
            ListeSetzen(eingabe);
            DublettenSortieren();
            ASSERT_EQ(Liste(), erwartet);
        }
    }
}

TEST_F(Dublettenpaare_, SchrankeMitEinerMeldungJeSuche) {
    EXPECT_EQ(DublettenpaareSchranke, 3000000);
    // The same rule at a lower bound, a whole number of steps as the real one.
    struct Schranke {
        int32_t vorher = DublettenpaareSchranke;
        Schranke() { DublettenpaareSchranke = 2500; }
        ~Schranke() { DublettenpaareSchranke = vorher; }
    } gesenkt;
    const int32_t schranke = DublettenpaareSchranke + 1;
    for (int32_t i = 1; i <= schranke; ++i) DublettenpaarEintragen(i, -i);
    EXPECT_EQ(AnzahlDublettenpaare, schranke);
    EXPECT_EQ(Dublettenpaare.size(), 2600u);
    oberfläche.Antworten(vb::OK, u"Es wurden zu viele Dubletten gefunden!\rFühren sie die Suche nach Beendigung "
                                 u"erneut aus.");
    DublettenpaarEintragen(1, 2);
    DublettenpaarEintragen(3, 4);
    DublettenpaarEintragen(1, -1);  // present, and refused as well
    EXPECT_EQ(AnzahlDublettenpaare, schranke);
    ASSERT_EQ(oberfläche.meldungen.size(), 1u);
    EXPECT_EQ(oberfläche.meldungen[0].titel, u" Hinweis");
    // The next search shows it again when needed.
    DublettenpaareZurücksetzen();
    for (int32_t i = 1; i <= schranke; ++i) DublettenpaarEintragen(i, -i);
    oberfläche.Antworten(vb::OK, u"zu viele Dubletten");
    DublettenpaarEintragen(1, 2);
    EXPECT_EQ(oberfläche.meldungen.size(), 2u);
}
