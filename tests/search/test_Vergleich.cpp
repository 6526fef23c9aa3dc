#include <random>

#include "search/SuchTest.h"

namespace {

using Zeile = std::vector<Variante>;
const Variante N = Variante::Null();

class Vergleich : public SuchTest {};

// Firmenname, Straße + Hausnummer, Postleitzahl + Ort, Telefon, Nachname.
void BeispielTypisieren() { Typisieren({Firmenname, StraßeUndNummer, PlzUndOrt, Telefon, Nachname}); }
const Zeile beispielA{u"müller bau", u"haupt 12", u"12345 berlin", u"123456", u"hans beispiel"};
const Zeile beispielB{u"müller bau", u"haupt 13", u"12345 berlin", N, u"beispiel"};

}  // namespace

TEST_F(Vergleich, GerechnetesBeispielUndSchranke) {
    BeispielTypisieren();
    EXPECT_EQ(Punkte(beispielA, beispielB), 0.9310345f);  // 270 / 290
    EXPECT_EQ(Punkte(beispielB, beispielA), 0.9310345f);
    Zeile ohneName = beispielB;
    ohneName[4] = N;
    EXPECT_EQ(Punkte(beispielA, ohneName), 0.96153843f);  // 250 / 260
    KontakteDifferenzieren = true;
    EXPECT_EQ(Punkte(beispielA, beispielB), 0.0f);  // 20 / 30 below the gate
    // Contact columns empty in one record: the other columns alone.
    EXPECT_EQ(Punkte(beispielA, ohneName), 0.96153843f);
    // Contact names that agree enough leave the other columns' score.
    Zeile gleicherName = beispielB;
    gleicherName[4] = Variante(u"hans beispiel");
    EXPECT_EQ(Punkte(beispielA, gleicherName), 0.96153843f);
}

TEST_F(Vergleich, SchrankeOhneUndMitKontakt) {
    Typisieren({Firmenname, Ort, Nachname, Abteilung});
    const Zeile a{u"beispiel", u"köln", u"meier", u"einkauf"};
    const Zeile b{u"beispiel", u"köln", u"schulz", u"einkauf"};
    EXPECT_EQ(Punkte(a, b), static_cast<float>(110.0 / 140.0));  // Nachname counts with weight 30
    KontakteDifferenzieren = true;
    EXPECT_EQ(Punkte(a, b), 0.0f);
    // Abteilung/Position is no contact row: it keeps counting in the mean.
    Typisieren({Abteilung, Nachname});
    EXPECT_EQ(Punkte({u"einkauf", u"meier"}, {u"verkauf", u"meier"}), 0.0f);
    EXPECT_EQ(Punkte({u"einkauf", u"meier"}, {u"einkauf", u"meier"}), 1.0f);
    // A weighted contact agreement of exactly 0.7 passes the gate: (20 + 30 * 0.5) / 50.
    Typisieren({Firmenname, Vorname, Nachname});
    EXPECT_EQ(Punkte({u"abc", u"hans", u"bau"}, {u"abc", u"hans", u"baumann"}), 1.0f);
    EXPECT_EQ(Punkte({u"abc", u"hans", u"bau"}, {u"abc", u"hansi", u"baumann"}), 0.0f);
    // Records that agree only in their contact columns score 0: nothing in W.
    Typisieren({Firmenname, Kontaktname});
    EXPECT_EQ(Punkte({N, u"herr hans meier"}, {u"x", u"herr hans meier"}), 0.0f);
}

TEST_F(Vergleich, LeereSpaltenUndPositionen) {
    struct Fall {
        std::vector<Feldzuordnung> typen;
        Zeile a, b;
        float erwartet;
    };
    const Fall fälle[] = {
        // Empty, Null, "" and blanks only in either record leave the column out.
        {{Firmenname, Ort}, {u"abc", u""}, {u"abc", u"köln"}, 1.0f},
        {{Firmenname, Ort}, {u"abc", N}, {u"abc", u"köln"}, 1.0f},
        {{Firmenname, Ort}, {u"abc", Variante::Empty()}, {u"abc", u"köln"}, 1.0f},
        {{Firmenname, Ort}, {u"abc", u" "}, {u"abc", u"x"}, 1.0f},
        {{Firmenname, VorwahlUndTelefon}, {u"abc", u"   "}, {u"abc", u" "}, 1.0f},
        // A blank before a number is no empty value: the missing area code scores 0.
        {{Firmenname, VorwahlUndTelefon},
         {u"abc", u" 123456"},
         {u"abc", u"0221 123456"},
         static_cast<float>((20 + 80) / 180.0)},
        // Nothing filled in both: W = 0.
        {{Firmenname, Ort}, {u"abc", N}, {N, u"köln"}, 0.0f},
        // An ignored column is absent from TEMP_DS and does not move the position.
        {{Ignorieren, Firmenname}, {u"abc"}, {u"abc"}, 1.0f},
        {{Ignorieren, Firmenname, Ort}, {u"abc", u"köln"}, {u"xyz", u"köln"}, 0.8f},
        // Group 0 other than Ignorieren, Bits 0 and combinations without a row: stepped over.
        {{{0, 2}, Firmenname}, {u"1", u"abc"}, {u"2", u"abc"}, 1.0f},
        {{{3, 0}, Firmenname}, {u"1", u"abc"}, {u"2", u"abc"}, 1.0f},
        {{{3, 5}, Firmenname}, {u"1 a", u"abc"}, {u"2 b", u"abc"}, 1.0f},
        {{{4, 3}, Firmenname}, {u"x", u"abc"}, {u"y", u"abc"}, 1.0f},
        // A Firmenname column is not split; only Firmenname + Rechtsform is.
        {{Firmenname}, {u"müller gmbh"}, {u"müller"}, 0.6666667f},
        {{FirmaUndForm}, {u"müller GmbH"}, {u"müller"}, static_cast<float>(20.0 / 25)},
        // Hausnummer alone by digits; Straße alone by words.
        {{Hausnummer}, {u"12"}, {u"13"}, 0.5f},
        {{Straße}, {u"haupt 12"}, {u"haupt 13"}, static_cast<float>(2.0 / 4)},
        {{StraßeUndNummer}, {u"haupt 12"}, {u"haupt 13"}, static_cast<float>((40 + 20 * 0.5) / 60)},
        {{PlzUndOrt}, {u"12345 köln"}, {u"12354 köln"}, static_cast<float>((100 * 0.6 + 80) / 180)},
        // The area code column is normalised again; the telephone column is not.
        {{Vorwahl}, {u"+49 221"}, {u"0221"}, 1.0f},
        {{Telefon}, {u"123456"}, {u"123457"}, static_cast<float>(5.0 / 6)},
        {{Telefax}, {u"123456"}, {u"123457"}, static_cast<float>(5.0 / 6)},
        // The second part of an area-code column goes by words.
        {{VorwahlUndTelefon}, {u"0221 123456"}, {u"0221 123457"}, 0.5f},
        {{VorwahlUndTelefax}, {u"0221 123456"}, {u"0221 123456"}, 1.0f},
        {{VorUndNachname}, {u"hans meier"}, {u"peter meier"}, 0.6f},
        {{AnredeUndNachname}, {u"herr dr meier"}, {u"herr meier"}, 1.0f},
        {{Kontaktname}, {u"Herr Hans Meier"}, {u"Frau Hans Meier"}, static_cast<float>(50.0 / 60)},
        {{Email, Internet},
         {u"a b", u"www x de"},
         {u"a b", u"www y de"},
         static_cast<float>((70 + 70 * 4.0 / 6) / 140)},
        {{Branche, Rechtsform}, {u"bau", u"GmbH"}, {u"bau", u"KG"}, 0.8f},
        // Numbers in TEMP_DS are compared by their text form.
        {{Postleitzahl}, {Variante(12345)}, {u"12345"}, 1.0f},
    };
    for (const auto& f : fälle) {
        Typisieren(f.typen);
        EXPECT_FLOAT_EQ(Punkte(f.a, f.b), f.erwartet) << f.a[0] << " / " << f.b[0];
        EXPECT_EQ(Punkte(f.b, f.a), Punkte(f.a, f.b)) << f.b[0] << " / " << f.a[0];
    }
}

TEST_F(Vergleich, IndexGewichtZiehtHerunter) {
    Typisieren({Index, Firmenname});
    EXPECT_EQ(Punkte({Variante(1), u"abc"}, {Variante(2), u"abc"}), 1.0f);  // built-in weight 0
    Typen[TypIndex].Relevanz = 10;
    EXPECT_EQ(Punkte({Variante(1), u"abc"}, {Variante(2), u"abc"}), 0.6666667f);
}

TEST_F(Vergleich, ZeilenZweierBloeckeUndSymmetrie) {
    Typisieren({Index, FirmaUndForm, Branche, StraßeUndNummer, Postleitzahl, Ort, Anrede, Vorname, Nachname,
                VorwahlUndTelefon, Telefax, Email, Internet});
    const char16_t* firmen[] = {u"müller bau GmbH", u"müller bau", u"meier  KG", u"", u" beispiel"};
    const char16_t* straßen[] = {u"haupt 12", u"haupt 12", u"ger 3", u" 7", u"markt"};
    const char16_t* plz[] = {u"12345", u"12354", u"1234", u"0711", u""};
    std::mt19937 zufall(7);
    auto wahl = [&](const auto& liste) -> Variante {
        const size_t i = zufall() % (std::size(liste) + 1);
        return i == std::size(liste) ? N : Variante(liste[i]);
    };
    std::vector<Zeile> zeilen;
    for (int r = 0; r < 60; ++r)
        zeilen.push_back({Variante(r), wahl(firmen), wahl(firmen), wahl(straßen), wahl(plz), wahl(firmen), wahl(firmen),
                          wahl(firmen), wahl(firmen), wahl(straßen), wahl(plz), wahl(firmen), wahl(straßen)});
    const Suchzeilen alle(Spaltenweise(zeilen));
    for (int i = 0; i < 60; ++i)
        for (int j = 0; j < 60; ++j) {
            // The same pair read from two separate blocks scores the same, both ways.
            const Suchzeilen paar(Spaltenweise({zeilen[i], zeilen[j]}));
            float ab = -1, ba = -1, getrennt = -1;
            DatensätzeVergleichen(alle, alle, i, j, ab);
            DatensätzeVergleichen(alle, alle, j, i, ba);
            DatensätzeVergleichen(paar, alle, 0, j, getrennt);
            ASSERT_EQ(ab, ba) << i << " / " << j;
            ASSERT_EQ(ab, getrennt) << i << " / " << j;
            ASSERT_GE(ab, 0.0f);
            ASSERT_LE(ab, 1.0f);
        }
}

TEST_F(Vergleich, FehlerfalleBeiUeberlauf) {
    // Index (weight 0), an ignored column, a Firmenname of too many words, a town.
    Typisieren({Index, Ignorieren, Firmenname, Ort});
    Text viele;
    for (int i = 0; i < 200; ++i) viele += u"w ";
    const Zeile a{Variante(7), Variante(viele), u"köln"};
    const Zeile b{Variante(8), Variante(viele), u"köln"};
    const Suchzeilen z(Spaltenweise({a, b}));
    const Text werte = u" im Feld 3 mit den Werten '" + viele + u"' und '" + viele + u"'.";

    // Ignore: the column keeps its weight with the part similarity 0.
    oberfläche.Antworten(ReaktionIgnorieren, u"Fehler beim Vergleichen der Datensätze '7' und '8'" + werte);
    float wert = -1;
    DatensätzeVergleichen(z, z, 0, 1, wert);
    EXPECT_EQ(wert, 0.8f);  // 80 / (20 + 80)
    EXPECT_FALSE(gFehlerAbbruch);

    // Retry runs the step again; abort leaves the score as it was.
    oberfläche.Antworten(ReaktionWiederholen);
    oberfläche.Antworten(ReaktionAbbrechen);
    wert = 0.25f;
    DatensätzeVergleichen(z, z, 1, 0, wert);
    EXPECT_EQ(wert, 0.25f);
    EXPECT_TRUE(gFehlerAbbruch);
    ASSERT_EQ(oberfläche.meldungen.size(), 3u);
    EXPECT_EQ(oberfläche.meldungen[2].text, u"Fehler beim Vergleichen der Datensätze '8' und '7'" + werte);
    EXPECT_EQ(oberfläche.meldungen[2].stil, 530);
}

TEST_F(Vergleich, UeberlangerTextUndNullImMeldungstext) {
    Typisieren({Ort, Firmenname});
    const Text lang(32766, u'x');
    const Suchzeilen z(Spaltenweise({{N, Variante(lang)}, {u"köln", u"abc"}}));
    oberfläche.Antworten(ReaktionIgnorieren,
                         u"Fehler beim Vergleichen der Datensätze '' und 'köln' im Feld 2 mit den Werten '" + lang +
                             u"' und 'abc'.");
    float wert = -1;
    DatensätzeVergleichen(z, z, 0, 1, wert);
    EXPECT_EQ(wert, 0.0f);  // the town is left out, the name kept its weight with 0
}

TEST_F(Vergleich, GleicheDatensaetzeErgebenEins) {
    BeispielTypisieren();
    EXPECT_EQ(Punkte(beispielA, beispielA), 1.0f);
    KontakteDifferenzieren = true;
    EXPECT_EQ(Punkte(beispielA, beispielA), 1.0f);
}

// The store of prepared texts in blocks of four: runs never cross a block, a run
// longer than a block gets one of its own, and every run reads back as written.
TEST(Blockspeicher, LaeufeBleibenInIhremBlock) {
    suche_intern::Blockspeicher<char16_t, 2> speicher;
    const std::vector<std::u16string> läufe = {u"ab", u"c", u"", u"d", u"efghij", u"k", u"lmno", u"pq"};
    suche_intern::Blockspeicher<char16_t, 2>::Stelle stelle;
    std::vector<uint32_t> anfänge;
    for (const auto& l : läufe) {
        uint32_t anfang = 0;
        auto& ziel = speicher.platz(l.size(), anfang, stelle);
        ziel.insert(ziel.end(), l.begin(), l.end());
        anfänge.push_back(anfang);
    }
    // abc(empty)d | efghij | k | lmno | pq
    const std::vector<uint32_t> erwartet = {0, 2, 3, 3, 4, 8, 12, 16};
    EXPECT_EQ(anfänge, erwartet);
    for (size_t i = 0; i < läufe.size(); ++i) {
        if (läufe[i].empty()) continue;
        EXPECT_EQ(std::u16string(speicher.zeiger(anfänge[i]), läufe[i].size()), läufe[i]) << i;
    }
    EXPECT_EQ(speicher.zeiger(7u << 2), nullptr);
    speicher.leeren();
    EXPECT_EQ(speicher.zeiger(0), nullptr);
}
