#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <string>
#include <utility>

#include "common/AlsNobody.h"
#include "common/FakeOberflaeche.h"
#include "common/TempVerzeichnis.h"
#include "foundation/mdlAllgemeines.h"
#include "foundation/mdlDeklarationen.h"
#include "foundation/mdlFeldtypen.h"
#include "platform/basic/Fehler.h"

namespace {

using Gewichtstabelle = std::map<int, std::pair<int, int>>;

// The weights of every slot that has any, as (Relevanz, Signifikanz).
Gewichtstabelle Gewichte() {
    Gewichtstabelle g;
    for (int c = 1; c <= 69; ++c)
        if (Typen[c].Relevanz != 0 || Typen[c].Signifikanz != 0) g[c] = {Typen[c].Relevanz, Typen[c].Signifikanz};
    return g;
}

class FeldtypModell : public ::testing::Test {
protected:
    void SetUp() override {
        vorher_ = ProgrammVerzeichnis();
        ProgrammVerzeichnisSetzen(ausUtf8(tmp.pfad()));
    }
    void TearDown() override {
        ProgrammVerzeichnisSetzen(vorher_);
        FeldtypenInitialisieren();
    }
    std::string Datei() const { return tmp / "Einstellungen.CFG"; }
    void Schreiben(const std::string& inhalt) const {
        std::ofstream f(Datei(), std::ios::binary | std::ios::trunc);
        f << inhalt;
    }
    void Laden(const std::string& inhalt) const {
        Schreiben(inhalt);
        FeldtypenInitialisieren();
    }

    TempVerzeichnis tmp;
    FakeOberfläche ui;  // any error box would fail the test

private:
    Text vorher_;
};

TEST_F(FeldtypModell, OhneDateiGeltenDieEingebautenWerte) {
    gRelevanz = 0;
    FeldtypenInitialisieren();
    EXPECT_EQ(Typen[TypPostleitzahl].Name, u"Postleitzahl");
    EXPECT_EQ(Typen[33].Bit, 4);
    EXPECT_EQ(Typen[33].Relevanz, 100);
    EXPECT_EQ(Typen[33].Signifikanz, 20);
    EXPECT_EQ(Typen[2].Name, u"");
    EXPECT_EQ(Typen[2].Bit, -1);
    EXPECT_EQ(Typen[2].Relevanz, 0);
    EXPECT_EQ(Typen[2].Signifikanz, 0);
    EXPECT_EQ(gRelevanz, 0.8f);
    EXPECT_EQ(gSignifikanz, 0.6f);
    EXPECT_EQ(Typen[TypStraße].Name, u"Straße");
    EXPECT_EQ(Typen[TypAbteilungPosition].Name, u"Abteilung/Position");
    EXPECT_EQ(Gruppen[0].Name, u"Allgemeines");
    EXPECT_EQ(Gruppen[5].Name, u"Kommunikation");

    // 18 named types, each with the bit of its item number; 51 empty slots.
    int benannt = 0;
    for (int c = 1; c <= 69; ++c) {
        if (Typen[c].Name.empty()) {
            EXPECT_EQ(Typen[c].Bit, -1) << c;
            continue;
        }
        ++benannt;
        EXPECT_EQ(Typen[c].Bit, 1 << (c % 10 - 1)) << c;
    }
    EXPECT_EQ(benannt, 18);
    const Gewichtstabelle erwartet{{21, {20, 100}}, {22, {5, 10}},   {23, {20, 50}}, {31, {40, 60}},
                                   {32, {20, 40}},  {33, {100, 20}}, {34, {80, 20}}, {41, {10, 10}},
                                   {42, {20, 50}},  {43, {30, 60}},  {44, {10, 50}}, {51, {80, 80}},
                                   {52, {80, 80}},  {53, {80, 80}},  {61, {70, 30}}, {62, {70, 50}}};
    EXPECT_EQ(Gewichte(), erwartet);
}

TEST_F(FeldtypModell, ZweiZeilenSetzenNurDieseGewichte) {
    FeldtypenInitialisieren();
    std::map<int, std::pair<Text, int>> eingebaut;
    for (int c = 1; c <= 69; ++c) eingebaut[c] = {Typen[c].Name, Typen[c].Bit};

    Laden("21\r\nRelevanzFaktor = 50\r\n");
    EXPECT_EQ(Gewichte(), (Gewichtstabelle{{TypFirmenname, {50, 0}}}));
    for (int c = 1; c <= 69; ++c) EXPECT_EQ(std::make_pair(Typen[c].Name, int{Typen[c].Bit}), eingebaut[c]) << c;
    EXPECT_EQ(gRelevanz, 0.8f);
    EXPECT_EQ(gSignifikanz, 0.6f);
}

TEST_F(FeldtypModell, LeereDateiLässtAlleGewichteNull) {
    Laden("");
    EXPECT_TRUE(Gewichte().empty());
    EXPECT_EQ(Typen[TypOrt].Bit, 8);
    EXPECT_EQ(gRelevanz, 0.8f);
}

TEST_F(FeldtypModell, GlobaleFaktorenInProzent) {
    struct Fall {
        const char* inhalt;
        float relevanz, signifikanz;
    };
    for (const auto& f :
         {Fall{"gRelevanz = 75", 0.75f, 0.6f}, Fall{"gSignifikanz = 30", 0.8f, 0.3f},
          Fall{"   gRelevanz = 75\n\tgSignifikanz = 25", 0.75f, 0.25f}, Fall{"grelevanz = 75", 0.8f, 0.6f},
          Fall{"GRELEVANZ = 75", 0.8f, 0.6f}, Fall{"gRelevanz=75", 0.8f, 0.6f}, Fall{"gRelevanz =75", 0.8f, 0.6f},
          Fall{"gRelevanz= 75", 0.8f, 0.6f}, Fall{"gRelevanz = viel", 0.8f, 0.6f}, Fall{"x gRelevanz = 75", 0.8f, 0.6f},
          Fall{"gRelevanz = 1e300", 0.8f, 0.6f},
          // the comma ends the item: "7" is the value, "5" the next item
          Fall{"gRelevanz = 7,5", 0.07f, 0.6f}, Fall{"gRelevanz = 7.5", 0.075f, 0.6f}}) {
        Laden(f.inhalt);
        EXPECT_FLOAT_EQ(gRelevanz, f.relevanz) << f.inhalt;
        EXPECT_FLOAT_EQ(gSignifikanz, f.signifikanz) << f.inhalt;
    }
}

TEST_F(FeldtypModell, UnbrauchbareGewichtszeilenÄndernNichts) {
    for (const char* inhalt :
         {"RelevanzFaktor = 50\n21", "SignifikanzFaktor = 50", "70\nRelevanzFaktor = 50", "0\nRelevanzFaktor = 50",
          "-21\nRelevanzFaktor = 50", "21\n70\nRelevanzFaktor = 50", "21\nRelevanzFaktor = fünfzig",
          "21\nRelevanzFaktor = ", "21\nRelevanzFaktor = 40000", "21\nSignifikanzFaktor = -32769",
          "21\nrelevanzfaktor = 50", "21\nRelevanzFaktor= 50", "21\nRelevanzFaktor =50", "21\nRelevanz = 50",
          "21 RelevanzFaktor = 50", "21\nRelevanzFaktor = 50 Punkte"}) {
        Laden(inhalt);
        EXPECT_TRUE(Gewichte().empty()) << inhalt;
    }
}

TEST_F(FeldtypModell, ElementeUndTrenner) {
    struct Fall {
        const char* inhalt;
        Gewichtstabelle erwartet;
    };
    const Fall fälle[] = {
        {"21,RelevanzFaktor = 5,  SignifikanzFaktor = 6\r33\rRelevanzFaktor = 7\n34\r\n \t RelevanzFaktor = 8\r\n",
         {{21, {5, 6}}, {33, {7, 0}}, {34, {8, 0}}}},
        // a code rounds half to even, and so do the factors
        {"21.5\nRelevanzFaktor = 2.5\nSignifikanzFaktor = 3.5", {{22, {2, 4}}}},
        {"22.5\nRelevanzFaktor = -7", {{22, {-7, 0}}}},
        {"  &H15  \nRelevanzFaktor = 32767", {{21, {32767, 0}}}},
        // later lines win; returning to a code changes it again
        {"21\nRelevanzFaktor = 1\n33\nRelevanzFaktor = 2\n21\nRelevanzFaktor = 3", {{21, {3, 0}}, {33, {2, 0}}}},
        // a matching prefix is cut off before the next one is tested
        {"21\nRelevanzFaktor = SignifikanzFaktor = 9", {{21, {0, 9}}}},
        {"61\nRelevanzFaktor = 10\nHinweis: Firmen\n\n\n,,,RelevanzFaktor = 11", {{61, {11, 0}}}},
        {"1\nRelevanzFaktor = 4\n69\nSignifikanzFaktor = 5", {{1, {4, 0}}, {69, {0, 5}}}},
        // a UTF-8 byte-order mark before the first item is no part of it; anywhere else it is
        {"\xEF\xBB\xBF"
         "21\nRelevanzFaktor = 5",
         {{21, {5, 0}}}},
        {"\xEF\xBB\xBF"
         "\xEF\xBB\xBF"
         "21\nRelevanzFaktor = 5",
         {}},
        {"21\n\xEF\xBB\xBF"
         "RelevanzFaktor = 5",
         {}},
    };
    for (const auto& f : fälle) {
        Laden(f.inhalt);
        EXPECT_EQ(Gewichte(), f.erwartet) << f.inhalt;
    }
}

TEST_F(FeldtypModell, BinärerMüllWirdÜberlesen) {
    std::mt19937 zufall(4711);
    std::string inhalt;
    for (int i = 0; i < 200000; ++i) inhalt.push_back(static_cast<char>(zufall() & 0xFF));
    inhalt += std::string("\0\xFF\xE4\n", 4) + "21\nRelevanzFaktor = 50\n\x80\x81\x9D";
    Laden(inhalt);
    const auto g = Gewichte();
    ASSERT_TRUE(g.count(TypFirmenname));
    EXPECT_EQ(g.at(TypFirmenname), std::make_pair(50, 0));
    EXPECT_EQ(Typen[TypFirmenname].Name, u"Firmenname");
}

// Speed is for a benchmark to measure; here only that the end of a large file is reached.
TEST_F(FeldtypModell, GroßeDateienWerdenBisZumEndeGelesen) {
    const std::string schluss = "\n21\nRelevanzFaktor = 50\ngRelevanz = 70";
    for (const char füllung : {',', 'A', ' '}) {
        Schreiben(std::string(50u << 20, füllung) + schluss);
        FeldtypenInitialisieren();
        EXPECT_EQ(Gewichte(), (Gewichtstabelle{{21, {50, 0}}})) << "Füllung " << füllung;
        EXPECT_FLOAT_EQ(gRelevanz, 0.7f);
    }
}

TEST_F(FeldtypModell, NichtLesbareDateiGibtDieEingebautenWerte) {
    Schreiben("21\nRelevanzFaktor = 50\n");
    ::chmod(Datei().c_str(), 0);
    EXPECT_TRUE(OhneRootRechte(
        [&] {
            ASSERT_NE(::access(Datei().c_str(), R_OK), 0);
            FeldtypenInitialisieren();
            EXPECT_EQ(Typen[TypFirmenname].Relevanz, 20);
            EXPECT_EQ(Typen[TypPostleitzahl].Relevanz, 100);
            EXPECT_EQ(gRelevanz, 0.8f);
        },
        {tmp.pfad(), Datei()}));
}

TEST_F(FeldtypModell, VerzeichnisStattDateiGibtDieEingebautenWerte) {
    std::filesystem::create_directory(Datei());
    FeldtypenInitialisieren();
    EXPECT_EQ(Typen[TypOrt].Relevanz, 80);
    EXPECT_EQ(Typen[TypOrt].Signifikanz, 20);
}

TEST(Feldtypen, GruppeVonFeldtyp) {
    struct Fall {
        double code;
        int16_t gruppe;
    };
    for (const auto& f : {Fall{1, 0}, Fall{9, 0}, Fall{9.99, 0}, Fall{-34, 0}, Fall{10, 1}, Fall{11, 1}, Fall{34, 3},
                          Fall{44.5, 4}, Fall{62, 6}, Fall{69, 6}, Fall{100, 1}, Fall{712, 7}})
        EXPECT_EQ(GruppeVonFeldtyp(f.code), f.gruppe) << f.code;
}

TEST(Feldtypen, FeldtypInMaske) {
    FeldtypenInitialisieren();
    struct Fall {
        int16_t maske;
        int code;
        bool erwartet;
    };
    for (const auto& f : {Fall{12, 33, true}, Fall{12, 34, true}, Fall{12, 31, false}, Fall{12, 32, false},
                          Fall{15, 31, true}, Fall{1, TypIgnorieren, true}, Fall{2, 2, false}, Fall{0, 2, false},
                          Fall{32767, 2, false}, Fall{-1, 2, true}, Fall{-1, 69, true}})
        EXPECT_EQ(FeldtypInMaske(f.maske, f.code), f.erwartet) << f.maske << " " << f.code;
}

TEST(Feldtypen, IndexAußerhalbIstEinLaufzeitfehler) {
    for (const int code : {0, 70, -1}) {
        try {
            FeldtypInMaske(-1, code);
            ADD_FAILURE() << code;
        } catch (const LaufzeitFehler& e) {
            EXPECT_EQ(e.Nummer(), fehlernummer::IndexAusserhalb) << code;
        }
    }
    EXPECT_THROW(Gruppen[7], LaufzeitFehler);
    EXPECT_THROW(Gruppen[-1], LaufzeitFehler);
    EXPECT_NO_THROW(Gruppen[0]);
    EXPECT_NO_THROW(Typen[69]);
}

}  // namespace
