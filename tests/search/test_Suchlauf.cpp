#include <algorithm>
#include <cmath>
#include <functional>
#include <optional>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "platform/dao/Dao.h"
#include "search/SuchTest.h"
#include "search/mdlDublettenpaare.h"
#include "search/mdlSuchlauf.h"

namespace {

using Paar = std::pair<int32_t, int32_t>;
using Zeile = std::vector<Variante>;
const Variante N = Variante::Null();

// A TEMP_DS in a native database, with the bookkeeping columns at its end.
class Suchlauf : public SuchTest {
protected:
    void SetUp() override {
        SuchTest::SetUp();
        gArbeitsbereich = dao::CreateWorkspace(u"", u"Admin", u"");
        gDatenbank = gArbeitsbereich->CreateDatabase(ausUtf8(tmp / "such.db"));
        Suchpuffername = u"TEMP_DS";
        gAbbruch = false;
        gRelevanz = 0.73f;
        DublettenpaareZurücksetzen();
    }
    void TearDown() override {
        for (auto* rs : {&rsPuffer, &rsVergleichB, &rsBereich}) rs->reset();
        gDatenbank->Close();
        gDatenbank.reset();
        gArbeitsbereich.reset();
        gAbbruch = false;
        DublettenpaareZurücksetzen();
        SuchTest::TearDown();
    }

    // Columns named by `namen`, typed by `typen`; row r gets TEMP_DSN r + 1.
    void Puffer(const std::vector<Text>& namen, std::vector<Feldzuordnung> typen, const std::vector<Zeile>& zeilen) {
        if (gDatenbank->TableDefs().Position(u"TEMP_DS") >= 0) gDatenbank->TableDefs().Delete(u"TEMP_DS");
        auto t = gDatenbank->CreateTableDef(u"TEMP_DS");
        for (const auto& n : namen) {
            // A column named "Lang" holds long texts.
            auto f = n == u"Lang" ? t->CreateField(n, dao::dbMemo) : t->CreateField(n, dao::dbText, 255);
            f->AllowZeroLength(true);
            t->Fields().Append(f);
        }
        t->Fields().Append(t->CreateField(u"TEMP_DSS", dao::dbByte));
        t->Fields().Append(t->CreateField(u"TEMP_DSN", dao::dbLong));
        t->Fields().Append(t->CreateField(u"TEMP_BN", dao::dbLong));
        auto amk = t->CreateField(u"TEMP_AMK", dao::dbText, 30);
        amk->AllowZeroLength(true);
        t->Fields().Append(amk);
        gDatenbank->TableDefs().Append(t);
        auto rs = gDatenbank->OpenRecordset(u"TEMP_DS");
        int32_t dsn = 0;
        for (const auto& z : zeilen) {
            rs->AddNew();
            for (size_t i = 0; i < z.size(); ++i) rs->Fields()[static_cast<int32_t>(i)]->Value(z[i]);
            rs->Fields()[u"TEMP_DSS"]->Value(Variante(static_cast<uint8_t>(11)));
            rs->Fields()[u"TEMP_DSN"]->Value(Variante(++dsn));
            rs->Fields()[u"TEMP_BN"]->Value(Variante(0));
            rs->Fields()[u"TEMP_AMK"]->Value(Variante(u""));
            rs->Update();
        }
        rs->Close();
        Typisieren(std::move(typen));
    }

    static std::vector<Paar> Paare() {
        std::vector<Paar> r;
        for (int32_t p = 0; p < AnzahlDublettenpaare; ++p)
            r.emplace_back(Dublettenpaare[p].Satz1, Dublettenpaare[p].Satz2);
        return r;
    }
    // TEMP_AMK by TEMP_DSN.
    static std::vector<Text> Bemerkungen() {
        std::vector<Text> r;
        auto rs = gDatenbank->OpenRecordset(u"SELECT * FROM [TEMP_DS] ORDER BY [TEMP_DSN]");
        for (; !rs->EOF_(); rs->MoveNext()) r.push_back(rs->Fields()[u"TEMP_AMK"]->Value().alsText());
        rs->Close();
        return r;
    }
    bool FortschrittLäuft() { return oberfläche.timer[u"tmrDauer"].aktiv; }
};

// Block key K (typed Index: weight 0), compared column F (Firmenname).
const std::vector<Text> KF{u"K", u"F"};
const std::vector<Feldzuordnung> KFTypen{Index, Firmenname};

}  // namespace

TEST_F(Suchlauf, QuickVergleichtNachbarnUndSchreibtBemerkungen) {
    // Sorted by F: 2 "a b", 3 "a b c", 5 "a b c", 1 "x", 4 "z".
    Puffer(KF, KFTypen, {{u"", u"x"}, {u"", u"a b"}, {u"", u"a b c"}, {u"", u"z"}, {u"", u"a b c"}});
    ASSERT_EQ(WortÄhnlichkeit(Variante(u"a b"), Variante(u"a b c")), 0.8f);
    SuchlaufDurchführen(1, 3, u"[F],[TEMP_DSN]", true);
    EXPECT_FALSE(gAbbruch || gFehlerAbbruch);
    EXPECT_EQ(Paare(), (std::vector<Paar>{{2, 3}, {3, 5}}));
    // Record 3 is in both recorded pairs: the later remark stays.
    EXPECT_EQ(Bemerkungen(), (std::vector<Text>{u"", u"80%", u"100%", u"", u"100%"}));
    EXPECT_EQ(gFortschrittGesamt, 4);
    EXPECT_EQ(gFortschrittPosition, 4);
    EXPECT_EQ(oberfläche.ereignisse, 4);
    EXPECT_FALSE(FortschrittLäuft());
    EXPECT_EQ(oberfläche.Beschriftung(u"lblInformation"),
              u"Durchsuche die Tabelle nach Dubletten ... \r\nUnter Sortierung der Tabelle nach \"[F],[TEMP_DSN]\" "
              u"im Quicksuch-Modus.");
    EXPECT_TRUE(oberfläche.meldungen.empty());
    // A pass over a second sort order adds to the same list; known pairs are not added twice.
    SuchlaufDurchführen(1, 3, u"[TEMP_DSN]", true);
    EXPECT_EQ(Paare(), (std::vector<Paar>{{2, 3}, {3, 5}}));
}

// More remarks than one transaction holds, in a sort order against the table's own:
// each still reaches its record.
TEST_F(Suchlauf, QuickBemerkungenVielerPaareAnIhrenSätzen) {
    constexpr int32_t n = 3000;
    const Text muster[] = {u"x y", u"a b", u"a b c"};  // by sort position modulo 3
    std::vector<Zeile> zeilen;
    for (int32_t dsn = 1; dsn <= n; ++dsn) {
        const int32_t stelle = n - dsn + 1;  // K sorts the table backwards
        Text k = ausUtf8(std::to_string(100000 + stelle));
        zeilen.push_back({Variante(k), Variante(muster[stelle % 3])});
    }
    Puffer(KF, KFTypen, zeilen);
    SuchlaufDurchführen(1, 3, u"[K],[TEMP_DSN]", true);
    ASSERT_FALSE(gAbbruch || gFehlerAbbruch);
    EXPECT_EQ(AnzahlDublettenpaare, n / 3);
    const std::vector<Text> bemerkungen = Bemerkungen();
    ASSERT_EQ(bemerkungen.size(), static_cast<size_t>(n));
    int32_t falsch = 0;
    for (int32_t dsn = 1; dsn <= n; ++dsn) {
        const int32_t stelle = n - dsn + 1;
        if (bemerkungen[static_cast<size_t>(dsn - 1)] != (stelle % 3 == 0 ? u"" : u"80%")) ++falsch;
    }
    EXPECT_EQ(falsch, 0);
}

TEST_F(Suchlauf, QuickSchwelleUndBemerkungAnDerSchwelle) {
    // The remark is the floor of the score times 100 in double precision.
    Puffer(KF, KFTypen, {{u"", u"a b"}, {u"", u"a b c"}});
    struct Fall {
        float schwelle;
        bool gefunden;
    };
    for (const Fall& f : {Fall{0.8f, true}, Fall{std::nextafter(0.8f, 1.0f), false}, Fall{0.82f, false}}) {
        DublettenpaareZurücksetzen();
        gRelevanz = f.schwelle;
        SuchlaufDurchführen(1, 3, u"[F]", true);
        EXPECT_EQ(AnzahlDublettenpaare, f.gefunden ? 1 : 0) << f.schwelle;
    }
    EXPECT_EQ(Bemerkungen(), (std::vector<Text>{u"80%", u"80%"}));
}

TEST_F(Suchlauf, VollmodusDieVierSchwellenDesReglers) {
    // One block of two records per key; the scores of the four blocks.
    Puffer(KF, KFTypen,
           {{u"k1", u"a b"},
            {u"k1", u"a b c"},
            {u"k2", u"a"},
            {u"k2", u"a b c"},
            {u"k3", u"a b"},
            {u"k3", u"a b c d"},
            {u"k4", u"a b c d e f g h i"},
            {u"k4", u"a b c d e f g h"}});
    ASSERT_EQ(WortÄhnlichkeit(Variante(u"a"), Variante(u"a b c")), 0.5f);
    ASSERT_NEAR(WortÄhnlichkeit(Variante(u"a b"), Variante(u"a b c d")), 2.0 / 3, 1e-6);
    ASSERT_NEAR(WortÄhnlichkeit(Variante(u"a b c d e f g h i"), Variante(u"a b c d e f g h")), 16.0 / 17, 1e-6);
    struct Fall {
        float schwelle;
        std::vector<Paar> paare;
    };
    const std::vector<Fall> fälle{
        {0.82f, {{7, 8}}},
        {0.73f, {{1, 2}, {7, 8}}},
        {0.62f, {{1, 2}, {5, 6}, {7, 8}}},
        {0.5f, {{1, 2}, {3, 4}, {5, 6}, {7, 8}}},
    };
    for (const auto& f : fälle) {
        DublettenpaareZurücksetzen();
        gRelevanz = f.schwelle;
        SuchlaufDurchführen(0, 5, u"[K],[TEMP_DSN]", false);
        EXPECT_EQ(Paare(), f.paare) << f.schwelle;
        EXPECT_EQ(gFortschrittGesamt, 4);
        EXPECT_EQ(gFortschrittPosition, 4);
    }
    // Full mode writes no remarks.
    EXPECT_EQ(Bemerkungen(), std::vector<Text>(8, u""));
    EXPECT_EQ(oberfläche.Beschriftung(u"lblInformation"),
              u"Durchsuche die Tabelle nach Dubletten ... \r\nUnter Sortierung der Tabelle nach \"[K],[TEMP_DSN]\".");
}

TEST_F(Suchlauf, VollmodusBlockeUndReihenfolgeDerPaare) {
    // Blocks by the leading two characters: "ab" x3, "b1" x1, "cd" x4 (one of them "cD": its own block).
    Puffer(KF, KFTypen,
           {{u"ab1", u"m"},
            {u"ab2", u"m"},
            {u"ab3", u"m"},
            {u"b1", u"m"},
            {u"cd1", u"m"},
            {u"cd2", u"m"},
            {u"cd3", u"m"},
            {u"cd4", u"m"},
            {u"cD5", u"m"}});
    SuchlaufDurchführen(0, 2, u"[K],[TEMP_DSN]", false);
    EXPECT_FALSE(gAbbruch || gFehlerAbbruch);
    EXPECT_EQ(Paare(), (std::vector<Paar>{{1, 2}, {1, 3}, {2, 3}, {5, 6}, {5, 7}, {5, 8}, {6, 7}, {6, 8}, {7, 8}}));
    EXPECT_EQ(gFortschrittGesamt, 9);
    EXPECT_EQ(gFortschrittPosition, 9);
    EXPECT_EQ(oberfläche.ereignisse, 4);  // one pair of chunks per block, the blocks of one included
    EXPECT_FALSE(FortschrittLäuft());
}

TEST_F(Suchlauf, VollmodusBlockVonZehnInStücken) {
    std::vector<Zeile> zeilen(10, Zeile{u"x", u"m"});
    zeilen.push_back({u"y", u"m"});
    Puffer(KF, KFTypen, zeilen);
    SuchlaufDurchführen(0, 1, u"[K],[TEMP_DSN]", false);
    // k = 6: chunk 1..6 against itself and 7..10, then 7..10 against itself.
    std::vector<Paar> erwartet;
    for (int32_t i = 1; i <= 6; ++i)
        for (int32_t j = i + 1; j <= 6; ++j) erwartet.emplace_back(i, j);
    for (int32_t i = 1; i <= 6; ++i)
        for (int32_t j = 7; j <= 10; ++j) erwartet.emplace_back(i, j);
    for (int32_t i = 7; i <= 10; ++i)
        for (int32_t j = i + 1; j <= 10; ++j) erwartet.emplace_back(i, j);
    EXPECT_EQ(Paare(), erwartet);
    EXPECT_EQ(gFortschrittPosition, 45);
    EXPECT_EQ(oberfläche.ereignisse, 3 + 1);
}

TEST_F(Suchlauf, VollmodusEinsZweiDreiSortierspalten) {
    // The main column forms the blocks; the further columns order the records within them.
    const std::vector<Text> namen{u"K", u"G", u"H", u"F"};
    Puffer(namen, {Index, {0, 2}, {0, 2}, Firmenname},
           {{u"x", u"b", u"2", u"m"}, {u"x", u"a", u"9", u"m"}, {u"x", u"b", u"1", u"m"}, {u"y", u"a", u"1", u"m"}});
    struct Fall {
        Text sortierliste;
        std::vector<Paar> paare;
    };
    const std::vector<Fall> fälle{
        {u"[K],[TEMP_DSN]", {{1, 2}, {1, 3}, {2, 3}}},
        {u"[K],[G],[TEMP_DSN]", {{2, 1}, {2, 3}, {1, 3}}},
        {u"[K],[G],[H]", {{2, 3}, {2, 1}, {3, 1}}},
    };
    for (const auto& f : fälle) {
        DublettenpaareZurücksetzen();
        SuchlaufDurchführen(0, 1, f.sortierliste, false);
        EXPECT_EQ(Paare(), f.paare) << u8(f.sortierliste);
    }
    // The main column need not be the first column of TEMP_DS.
    DublettenpaareZurücksetzen();
    SuchlaufDurchführen(1, 1, u"[G],[TEMP_DSN]", false);
    EXPECT_EQ(Paare(), (std::vector<Paar>{{2, 4}, {1, 3}}));
}

TEST_F(Suchlauf, VollmodusNullUndLeerBildenÜbersprungeneBlöcke) {
    // Null keys form a block of their own (before ""), and both are skipped.
    Puffer(KF, KFTypen, {{N, u"m"}, {u"", u"m"}, {u"a", u"m"}, {N, u"m"}, {u"", u"m"}, {u"a", u"m"}});
    SuchlaufDurchführen(0, 3, u"[K],[TEMP_DSN]", false);
    EXPECT_FALSE(gAbbruch);
    EXPECT_EQ(Paare(), (std::vector<Paar>{{3, 6}}));
    EXPECT_EQ(gFortschrittGesamt, 1);
}

TEST_F(Suchlauf, KeinVergleichNotwendig) {
    struct Fall {
        std::vector<Zeile> zeilen;
        int32_t zeichen;
    };
    const std::vector<Fall> fälle{
        {{{u"a", u"m"}}, 3},                              // one record
        {{{u"", u"m"}, {u"", u"m"}, {N, u"m"}}, 3},       // only empty and Null keys
        {{{u"a", u"m"}, {u"a", u"m"}, {u"b", u"m"}}, 0},  // Zeichen 0: one empty key
    };
    for (const auto& f : fälle) {
        Puffer(KF, KFTypen, f.zeilen);
        gAbbruch = false;
        oberfläche.Antworten(vb::OK, u"Kein Vergleich notwendig.\r\nVersuchen sie es eventuell noch einmal mit dem "
                                     u"Quicksuche-Modus.");
        SuchlaufDurchführen(0, f.zeichen, u"[K],[TEMP_DSN]", false);
        EXPECT_TRUE(gAbbruch);
        EXPECT_FALSE(gFehlerAbbruch);
        EXPECT_EQ(AnzahlDublettenpaare, 0);
        EXPECT_EQ(oberfläche.Beschriftung(u"lblInformation"), u"Berechne notwendige Zeit ...");
        ASSERT_EQ(oberfläche.meldungen.size(), 1u);
        EXPECT_EQ(oberfläche.meldungen.back().titel, u" Hinweis");
        oberfläche.meldungen.clear();
    }
    // One record in quick mode: nothing to compare, a normal end.
    Puffer(KF, KFTypen, {{u"a", u"m"}});
    gAbbruch = false;
    SuchlaufDurchführen(0, 3, u"[K]", true);
    EXPECT_FALSE(gAbbruch);
    EXPECT_EQ(gFortschrittGesamt, 0);
    EXPECT_EQ(oberfläche.ereignisse, 0);
}

TEST_F(Suchlauf, AbbrechenMittenImLauf) {
    std::vector<Zeile> zeilen(10, Zeile{u"x", u"m"});
    Puffer(KF, KFTypen, zeilen);
    int yields = 0;
    oberfläche.beiEreignissen = [&] {
        if (++yields == 2) gAbbruch = true;
    };
    SuchlaufDurchführen(0, 1, u"[TEMP_DSN]", true);
    EXPECT_TRUE(gAbbruch);
    EXPECT_EQ(Paare(), (std::vector<Paar>{{1, 2}, {2, 3}}));
    EXPECT_EQ(gFortschrittPosition, 2);
    EXPECT_TRUE(FortschrittLäuft());  // the cancel routine stops the display

    // Full mode: after the first pair of chunks (1..6 against itself).
    DublettenpaareZurücksetzen();
    gAbbruch = false;
    yields = 0;
    oberfläche.beiEreignissen = [&] {
        if (++yields == 1) gAbbruch = true;
    };
    SuchlaufDurchführen(0, 1, u"[TEMP_DSN]", false);
    EXPECT_TRUE(gAbbruch);
    EXPECT_EQ(AnzahlDublettenpaare, 15);
    EXPECT_EQ(gFortschrittPosition, 15);
    EXPECT_EQ(gFortschrittGesamt, 45);
    EXPECT_TRUE(FortschrittLäuft());
}

TEST_F(Suchlauf, AbbrechenImFehlerfensterEndetDenLaufSofort) {
    // Record 2 holds 300 words: its comparisons overflow and show the comparison's error box.
    Text viele;
    for (int i = 0; i < 300; ++i) viele += u"w ";
    Puffer({u"K", u"Lang"}, KFTypen, {{u"x", u"m"}, {u"x", Variante(viele)}, {u"x", u"m"}, {u"x", u"m"}});
    for (bool quick : {true, false}) {
        DublettenpaareZurücksetzen();
        gFehlerAbbruch = false;
        oberfläche.meldungen.clear();
        oberfläche.Antworten(vb::Abort, u"Fehler beim Vergleichen der Datensätze");
        SuchlaufDurchführen(0, 1, u"[TEMP_DSN]", quick);
        EXPECT_TRUE(gFehlerAbbruch) << quick;
        EXPECT_EQ(oberfläche.meldungen.size(), 1u) << quick;
        EXPECT_EQ(gFortschrittPosition, 0) << quick;  // stopped at the failing comparison
        EXPECT_EQ(AnzahlDublettenpaare, 0) << quick;
    }
    // Ignore goes on: the failing pairs keep the weight reached and the pass ends normally.
    DublettenpaareZurücksetzen();
    gFehlerAbbruch = false;
    for (int i = 0; i < 3; ++i) oberfläche.Antworten(vb::Ignore, u"Fehler beim Vergleichen");
    SuchlaufDurchführen(0, 1, u"[TEMP_DSN]", false);
    EXPECT_FALSE(gFehlerAbbruch);
    EXPECT_EQ(Paare(), (std::vector<Paar>{{1, 3}, {1, 4}, {3, 4}}));
    EXPECT_EQ(gFortschrittPosition, 6);
}

TEST_F(Suchlauf, GeänderteWerteUnterDerselbenNummerWerdenNeuVerglichen) {
    // The prepared data is kept by TEMP_DSN; a record whose values changed is prepared anew.
    Puffer(KF, KFTypen, {{u"", u"a b"}, {u"", u"a b c"}, {u"", u"x"}});
    SuchlaufDurchführen(1, 3, u"[TEMP_DSN]", true);
    EXPECT_EQ(Paare(), (std::vector<Paar>{{1, 2}}));
    Puffer(KF, KFTypen, {{u"", u"q"}, {u"", u"x y"}, {u"", u"x y"}});
    DublettenpaareZurücksetzen();
    SuchlaufDurchführen(1, 3, u"[TEMP_DSN]", true);
    EXPECT_EQ(Paare(), (std::vector<Paar>{{2, 3}}));
    EXPECT_EQ(Bemerkungen(), (std::vector<Text>{u"", u"100%", u"100%"}));
}

TEST_F(Suchlauf, FehlerBeimÖffnen) {
    Puffer(KF, KFTypen, {{u"x", u"m"}, {u"x", u"m"}});
    PositionA = 7;
    oberfläche.Antworten(vb::Abort, u"Fehler bei der Dublettensuche an der Position 7.");
    SuchlaufDurchführen(0, 1, u"[Fehlt]", false);
    EXPECT_TRUE(gFehlerAbbruch);
    EXPECT_EQ(AnzahlDublettenpaare, 0);
    // A main column beyond the columns: reported with the bounds of the block scanner.
    gFehlerAbbruch = false;
    oberfläche.Antworten(vb::Abort, u"Fehler bei der Dublettensuche im Bereich  bis .");
    SuchlaufDurchführen(9, 1, u"[K]", false);
    EXPECT_TRUE(gFehlerAbbruch);
}

// ---- full mode on worker threads ----

namespace {

// Logs every box and every yield with the progress and the pair count at that
// moment; answers the boxes by their number (from 1).
class Protokoll : public FakeOberfläche {
public:
    std::function<int(int)> antwort = [](int) { return vb::Ignore; };
    std::vector<std::string> zeilen;

    int Meldung(const Text& text, int stil, const std::optional<Text>& titel) override {
        meldungen.push_back({text, stil, titel});
        zeilen.push_back("Meldung " + u8(text) + Stand());
        return antwort(static_cast<int>(meldungen.size()));
    }
    void Ereignisse() override {
        zeilen.push_back("Ereignisse" + Stand());
        FakeOberfläche::Ereignisse();
    }

private:
    static std::string Stand() {
        return " @" + std::to_string(gFortschrittPosition) + " Paare " + std::to_string(AnzahlDublettenpaare);
    }
};

struct Ergebnis {
    std::vector<std::string> protokoll;
    std::vector<Paar> paare;
    int32_t position = 0, gesamt = 0;
    bool abbruch = false, fehlerAbbruch = false;
    int32_t laufend = -1;  // workers alive after the pass
};

// Rows in blocks by K: eleven of about 200 records, one of 800 (cut into many
// units of work), some with an empty or a Null key, and a few of 300 words in
// "Lang", whose comparisons overflow and go through the error box.
std::vector<Zeile> Blockzeilen() {
    std::mt19937 z(4711);
    const char16_t* stämme[] = {u"aa", u"ab", u"ba", u"bb", u"ca", u"cb", u"da", u"db", u"ea", u"eb", u"fa", u"gg"};
    const char16_t* wörter[] = {u"müller", u"bau", u"gmbh", u"schmidt", u"druck", u"kg", u"meier", u"holz"};
    Text viele;
    for (int i = 0; i < 300; ++i) viele += u"w ";
    std::vector<Zeile> zeilen;
    for (int r = 0; r < 3000; ++r) {
        const size_t s = z() % 16;
        Variante k = s < 11 ? Variante(Text(stämme[s]) + ausUtf8(std::to_string(z() % 10))) : Variante(u"gg");
        if (z() % 100 == 0) k = Variante(u"");
        if (z() % 150 == 0) k = N;
        Text f;
        for (size_t w = 0, n = 1 + z() % 3; w < n; ++w) f += Text(w ? u" " : u"") + wörter[z() % 8];
        const Variante lang = r % 700 == 350 ? Variante(viele) : Variante(wörter[z() % 8]);
        zeilen.push_back({k, Variante(f), Variante(ausUtf8(std::to_string(z() % 3))), lang});
    }
    return zeilen;
}

}  // namespace

class Sucharbeiter : public Suchlauf {
protected:
    void SetUp() override {
        Suchlauf::SetUp();
        Puffer({u"K", u"F", u"O", u"Lang"}, {Index, Firmenname, Ort, Firmenname}, Blockzeilen());
    }
    void TearDown() override {
        SuchArbeiter = 0;
        OberflächeSetzen(&oberfläche);
        Suchlauf::TearDown();
    }
    Ergebnis Lauf(int32_t arbeiter, std::function<int(int)> antwort, std::function<void(int)> beiEreignis = {}) {
        SuchArbeiter = arbeiter;
        DublettenpaareZurücksetzen();
        gAbbruch = gFehlerAbbruch = false;
        Protokoll p;
        p.antwort = std::move(antwort);
        int yields = 0;
        p.beiEreignissen = [&] {
            if (beiEreignis) beiEreignis(++yields);
        };
        SuchlaufDurchführen(0, 2, u"[K],[TEMP_DSN]", false);
        Ergebnis e{p.zeilen, Paare(),        gFortschrittPosition, gFortschrittGesamt,
                   gAbbruch, gFehlerAbbruch, SuchArbeiterLaufend()};
        OberflächeSetzen(&oberfläche);
        return e;
    }
    static void Gleich(const Ergebnis& a, const Ergebnis& b, int32_t arbeiter) {
        EXPECT_EQ(a.paare, b.paare) << arbeiter;
        EXPECT_EQ(a.position, b.position) << arbeiter;
        EXPECT_EQ(a.gesamt, b.gesamt) << arbeiter;
        EXPECT_EQ(a.abbruch, b.abbruch) << arbeiter;
        EXPECT_EQ(a.fehlerAbbruch, b.fehlerAbbruch) << arbeiter;
        EXPECT_EQ(b.laufend, 0) << arbeiter;
        ASSERT_EQ(a.protokoll.size(), b.protokoll.size()) << arbeiter;
        for (size_t i = 0; i < a.protokoll.size(); ++i)
            ASSERT_EQ(a.protokoll[i], b.protokoll[i]) << arbeiter << " " << i;
    }
};

TEST_F(Sucharbeiter, VollmodusMitArbeiternWieAllein) {
    // Every overflowing comparison answered "Ignorieren": the pass goes to its end.
    const Ergebnis allein = Lauf(1, [](int) { return vb::Ignore; });
    ASSERT_FALSE(allein.abbruch || allein.fehlerAbbruch);
    ASSERT_GT(allein.paare.size(), 1000u);
    ASSERT_GT(std::count_if(allein.protokoll.begin(), allein.protokoll.end(),
                            [](const std::string& z) { return z.rfind("Meldung", 0) == 0; }),
              100);
    EXPECT_EQ(allein.position, allein.gesamt);
    for (int32_t arbeiter : {2, 3, 8}) Gleich(allein, Lauf(arbeiter, [](int) { return vb::Ignore; }), arbeiter);
}

TEST_F(Sucharbeiter, FehlerfensterInDerReihenfolgeEinesThreads) {
    // Retry, then ignore, and abort at the 40th box: the pass ends there with no further box.
    auto antwort = [](int n) { return n == 40 ? vb::Abort : n % 3 == 1 ? vb::Retry : vb::Ignore; };
    const Ergebnis allein = Lauf(1, antwort);
    ASSERT_TRUE(allein.fehlerAbbruch);
    ASSERT_EQ(std::count_if(allein.protokoll.begin(), allein.protokoll.end(),
                            [](const std::string& z) { return z.rfind("Meldung", 0) == 0; }),
              40);
    EXPECT_EQ(allein.protokoll.back().rfind("Meldung Fehler beim Vergleichen der Datensätze", 0), 0u);
    for (int32_t arbeiter : {2, 8}) Gleich(allein, Lauf(arbeiter, antwort), arbeiter);
}

TEST_F(Sucharbeiter, AbbrechenHältDieArbeiterAn) {
    // "Abbrechen" on the progress page at the 25th yield: the pass returns there, the workers are joined.
    auto abbrechen = [](int yield) {
        if (yield == 25) gAbbruch = true;
    };
    const Ergebnis allein = Lauf(
        1, [](int) { return vb::Ignore; }, abbrechen);
    ASSERT_TRUE(allein.abbruch);
    ASSERT_LT(allein.position, allein.gesamt);
    for (int32_t arbeiter : {2, 8}) {
        const Ergebnis e = Lauf(
            arbeiter, [](int) { return vb::Ignore; }, abbrechen);
        Gleich(allein, e, arbeiter);
    }
}
