#include <gtest/gtest.h>

#include "common/FakeOberflaeche.h"
#include "foundation/mdlDeklarationen.h"
#include "foundation/mdlMeldungen.h"
#include "platform/dao/DaoFehler.h"

namespace {
struct Meldungen : ::testing::Test {
    FakeOberfläche o;
    void SetUp() override {
        gSystemmeldung = true;
        gFehlerAbbruch = false;
        dao::FehlerSammlungLeeren();
        Err().Clear();
    }
};
}  // namespace

TEST_F(Meldungen, BalkenUndProzent) {
    struct Fall {
        int32_t pos, gesamt;
        float balken;
        const char16_t* label;
    };
    for (const auto& f : {Fall{50, 200, 25, u"25 %"}, Fall{0, 40, 0, u"0 %"}, Fall{1, 3, 33.333332f, u"33 %"},
                          Fall{1, 8, 12.5f, u"13 %"}, Fall{40, 40, 100, u"100 %"}, Fall{5, 0, 0, u"0 %"},
                          Fall{9, 4, 100, u"100 %"}, Fall{-3, 4, 0, u"0 %"}}) {
        gFortschrittPosition = f.pos;
        gFortschrittGesamt = f.gesamt;
        FortschrittBalkenTakt();
        EXPECT_FLOAT_EQ(o.balken, f.balken) << f.pos << "/" << f.gesamt;
        EXPECT_EQ(o.Beschriftung(u"lblTeilFortschritt"), f.label) << f.pos << "/" << f.gesamt;
    }
}

TEST_F(Meldungen, StartenBeendenAnhalten) {
    int32_t gesamt = 200;
    gFortschrittPosition = 7;
    gFortschrittDauer = 99;
    FortschrittStarten(gesamt, 1.0);
    EXPECT_EQ(gFortschrittGesamt, 200);
    EXPECT_EQ(gFortschrittPosition, 0);
    EXPECT_EQ(gFortschrittDauer, 0);
    EXPECT_TRUE(o.timer[u"tmrDauer"].aktiv);
    EXPECT_EQ(o.timer[u"tmrDauer"].intervall, 1000);
    EXPECT_EQ(o.timer[u"tmrFortschritt"].intervall, 10);
    o.BeschriftungSetzen(u"lblDauer", u"Geschätzte Dauer : 0:00:10");
    FortschrittBeenden();
    EXPECT_FALSE(o.timer[u"tmrDauer"].aktiv);
    EXPECT_FALSE(o.timer[u"tmrFortschritt"].aktiv);
    EXPECT_EQ(o.balken, 100);
    EXPECT_EQ(o.Beschriftung(u"lblTeilFortschritt"), u"100 %");
    EXPECT_EQ(o.Beschriftung(u"lblDauer"), u"Geschätzte Dauer : 0:00:10");
    FortschrittZurücksetzen();
    EXPECT_EQ(o.Beschriftung(u"lblDauer"), u"");
    EXPECT_EQ(o.Beschriftung(u"lblVerbleibendeZeit"), u"");
    EXPECT_EQ(o.Beschriftung(u"lblTeilFortschritt"), u"0 %");
    EXPECT_EQ(o.balken, 0);
}

TEST_F(Meldungen, DauerUndRestzeit) {
    int32_t gesamt = 200;
    FortschrittStarten(gesamt, 1.0);
    // Nothing done yet: both times empty though time passes.
    FortschrittDauerTakt();
    EXPECT_EQ(gFortschrittDauer, 1000);
    EXPECT_EQ(o.Beschriftung(u"lblDauer"), u"");
    EXPECT_EQ(o.Beschriftung(u"lblVerbleibendeZeit"), u"");
    gFortschrittDauer = 3600000 - 1000;
    gFortschrittPosition = 100;
    FortschrittDauerTakt();
    EXPECT_EQ(o.Beschriftung(u"lblDauer"), u"Geschätzte Dauer : 2:00:00");
    EXPECT_EQ(o.Beschriftung(u"lblVerbleibendeZeit"), u"Verbleibende Zeit  : 1:00:00");
    // Long phases: no overflow, and the remaining time never goes below zero.
    gFortschrittGesamt = 2000000000;
    gFortschrittPosition = 1;
    gFortschrittDauer = 2000000000 - 1000;
    FortschrittDauerTakt();
    EXPECT_EQ(o.Beschriftung(u"lblDauer"), u"Geschätzte Dauer : 1111111111111:06:40");
    gFortschrittGesamt = 10;
    gFortschrittPosition = 20;
    gFortschrittDauer = 0;
    FortschrittDauerTakt();
    EXPECT_EQ(o.Beschriftung(u"lblVerbleibendeZeit"), u"Verbleibende Zeit  : 0:00:00");
    EXPECT_EQ(ZeitTextErmitteln(3723999), u"1:02:03");
}

TEST_F(Meldungen, HinweisUndAchtung) {
    o.Antworten(vb::OK);
    o.Antworten(vb::OK);
    HinweisAnzeigen(Variante(u"Es wurden keine Dubletten gefunden."));
    AchtungAnzeigen(Variante(u"Achtung"));
    ASSERT_EQ(o.meldungen.size(), 2u);
    EXPECT_EQ(o.meldungen[0].stil, 64);
    EXPECT_EQ(o.meldungen[0].titel, u" Hinweis");
    EXPECT_EQ(o.meldungen[1].stil, 48);
    EXPECT_EQ(o.meldungen[1].titel, u" Achtung!");
}

TEST_F(Meldungen, FehlerboxMitUndOhneSystemmeldung) {
    struct Fall {
        bool system;
        const char16_t* beschreibung;
        bool engineFehler;
        const char16_t* erwartet;
    };
    for (const auto& f : {Fall{false, u"X", false, u"Fehler beim Test."},
                          Fall{true, u"X", false, u"Fehler beim Test.\rSystemmeldung:\rX"},
                          Fall{true, u"", false, u"Fehler beim Test."},
                          Fall{true, u"X", true, u"Fehler beim Test.\rSystemmeldung:\rX\r"},
                          Fall{false, u"X", true, u"Fehler beim Test.\r"}}) {
        gSystemmeldung = f.system;
        Err().Description = f.beschreibung;
        if (f.engineFehler) {
            try {
                dao::FehlerAuslösen(3021, u"Kein aktueller Datensatz.");
            } catch (const LaufzeitFehler&) {
            }
        } else {
            dao::FehlerSammlungLeeren();
        }
        o.Antworten(vb::Ignore);
        Variante text(u"Fehler beim Test.");
        EXPECT_EQ(FehlerAnzeigen(text), ReaktionIgnorieren);
        EXPECT_EQ(text.alsText(), f.erwartet);  // the caller's variable is extended
        EXPECT_EQ(o.meldungen.back().stil, 530);
        EXPECT_EQ(o.meldungen.back().titel, u" Fehler!");
    }
}

TEST_F(Meldungen, FehlerfalleWiederholenIgnorierenAbbrechen) {
    int versuche = 0;
    Fehlerfalle falle([] { return Text(u"Fehler beim Schritt."); });
    // Retry runs the same step again.
    o.Antworten(vb::Retry, u"Systemmeldung:\rkaputt");
    EXPECT_TRUE(falle([&] {
        if (++versuche == 1) FehlerAuslösen(5, u"kaputt");
    }));
    EXPECT_EQ(versuche, 2);
    // Ignore goes on after the step; the step had no further effect.
    int nachher = 0;
    o.Antworten(vb::Ignore);
    EXPECT_TRUE(falle([&] {
        FehlerAuslösen(5);
        nachher = 1;
    }));
    EXPECT_EQ(nachher, 0);
    EXPECT_FALSE(gFehlerAbbruch);
    // Abort sets the flag and the procedure leaves.
    o.Antworten(vb::Abort);
    EXPECT_FALSE(falle([&] { FehlerAuslösen(5); }));
    EXPECT_TRUE(gFehlerAbbruch);
    EXPECT_TRUE(falle.abgebrochen());
    EXPECT_EQ(Err().Number, 0);  // the handled error is cleared
    // The table page's traps leave without the flag.
    gFehlerAbbruch = false;
    Fehlerfalle tabellenseite([] { return Text(u"Fehler beim Löschen."); }, false);
    o.Antworten(vb::Abort);
    EXPECT_FALSE(tabellenseite([] { FehlerAuslösen(5); }));
    EXPECT_FALSE(gFehlerAbbruch);
    // Skipped steps show nothing.
    Fehlerfalle::ohneFehler([] { FehlerAuslösen(5); });
    EXPECT_EQ(o.meldungen.size(), 4u);
}

TEST_F(Meldungen, FehlerEinesAufgerufenenOhneFalleGehtAnDenAufrufer) {
    int aufrufe = 0;
    auto ohneFalle = [&] {
        ++aufrufe;
        if (aufrufe < 3) FehlerAuslösen(5);
    };
    Fehlerfalle falle([] { return Text(u"Fehler beim Aufruf."); });
    o.Antworten(vb::Retry);
    o.Antworten(vb::Retry);
    EXPECT_TRUE(falle(ohneFalle));
    EXPECT_EQ(aufrufe, 3);
}
