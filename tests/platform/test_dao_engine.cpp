#include <gtest/gtest.h>

#include <sqlite3.h>
#include <unicode/ucol.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "common/Fehlerfang.h"
#include "platform/basic/Fehler.h"
#include "platform/dao/Dao.h"
#include "platform/dao/DaoIntern.h"

using namespace dao;

namespace {
class DaoTest : public ::testing::Test {
protected:
    void SetUp() override {
        pfad_ = "/tmp/purivo_dao_" + std::to_string(::getpid()) + "_" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name() + ".db";
        std::remove(pfad_.c_str());
        ws_ = CreateWorkspace(u"", u"admin", u"");
        db_ = ws_->CreateDatabase(ausUtf8(pfad_));
        auto t = db_->CreateTableDef(u"Kunden");
        auto id = t->CreateField(u"ID", dbLong);
        id->Attributes(dbAutoIncrField);
        t->Fields().Append(id);
        t->Fields().Append(t->CreateField(u"Name", dbText, 10));
        t->Fields().Append(t->CreateField(u"Zahl", dbByte));
        auto ix = t->CreateIndex(u"PK");
        ix->Fields().Append(ix->CreateField(u"ID"));
        ix->Primary(true);
        t->Indexes().Append(ix);
        db_->TableDefs().Append(t);
    }
    void TearDown() override {
        db_.reset();
        std::remove(pfad_.c_str());
    }
    void Anfügen(const Text& name) {
        auto rs = db_->OpenRecordset(u"Kunden");
        rs->AddNew();
        rs->Fields()[u"Name"]->Value(Variante(name));
        rs->Update();
    }
    std::string pfad_;
    WorkspacePtr ws_;
    DatabasePtr db_;
};
}  // namespace

TEST_F(DaoTest, WertregelnBeimUpdate) {
    struct Fall {
        const char16_t* feld;
        Variante wert;
        int32_t fehler;
    } fälle[] = {
        {u"Name", Variante(u"zu lang für zehn"), 3163},
        {u"Name", Variante(u""), 3315},
        {u"Zahl", Variante(u"abc"), 3421},
        {u"Zahl", Variante(256), 3349},
        {u"Zahl", Variante(u"12"), 0},
        {u"Name", Variante(u"ok"), 0},
    };
    for (auto& f : fälle) {
        auto rs = db_->OpenRecordset(u"Kunden");
        rs->AddNew();
        // Type, range and size at the assignment, the rest at Update.
        int32_t fehler = FehlerVon([&] { rs->Fields()[f.feld]->Value(f.wert); });
        if (!fehler) fehler = FehlerVon([&] { rs->Update(); });
        EXPECT_EQ(fehler, f.fehler) << nachUtf8(f.feld);
    }
    auto rs = db_->OpenRecordset(u"SELECT * FROM [Kunden] WHERE [Zahl] = 12");
    ASSERT_EQ(rs->RecordCount(), 1);
    EXPECT_TRUE(rs->Fields()[u"Zahl"]->Value().identisch(Variante(uint8_t{12})));
}

TEST_F(DaoTest, AnfügenHinterDieZeilenUndMoveZurückVomEnde) {
    Anfügen(u"b");
    Anfügen(u"a");
    auto rs = db_->OpenRecordset(u"SELECT * FROM [Kunden] ORDER BY [Name]");
    EXPECT_EQ(rs->Fields()[u"Name"]->Value().text(), u"a");
    rs->AddNew();
    rs->Fields()[u"Name"]->Value(Variante(u"0"));
    rs->Update();
    EXPECT_EQ(rs->Fields()[u"Name"]->Value().text(), u"a");
    rs->MoveLast();
    EXPECT_EQ(rs->RecordCount(), 3);
    EXPECT_EQ(rs->Fields()[u"Name"]->Value().text(), u"0");
    EXPECT_TRUE(rs->Fields()[u"ID"]->Value().identisch(Variante(int32_t{3})));
    rs->MoveNext();
    EXPECT_TRUE(rs->EOF_());
    EXPECT_EQ(FehlerVon([&] { rs->Fields()[u"Name"]->Value(); }), 3021);
    rs->Move(-2);
    EXPECT_EQ(rs->Fields()[u"Name"]->Value().text(), u"b");
}

TEST_F(DaoTest, TransaktionenUndStrukturNachWiederöffnen) {
    EXPECT_EQ(FehlerVon([&] { ws_->CommitTrans(); }), 3034);
    ws_->BeginTrans();
    Anfügen(u"x");
    ws_->BeginTrans();
    Anfügen(u"y");
    ws_->Rollback();
    ws_->CommitTrans();
    EXPECT_EQ(db_->OpenRecordset(u"Kunden")->RecordCount(), 1);
    db_->Close();
    db_ = ws_->OpenDatabase(ausUtf8(pfad_));
    auto t = db_->TableDefs()[u"KUNDEN"];
    ASSERT_EQ(t->Fields().Count(), 3);
    EXPECT_EQ(t->Fields()[1]->Size(), 10);
    EXPECT_EQ(t->Fields()[0]->Attributes(), dbAutoIncrField);
    EXPECT_TRUE(t->Indexes()[u"PK"]->Primary());
    EXPECT_EQ(FehlerVon([&] { t->Fields().Delete(u"ID"); }), 3280);
    EXPECT_EQ(FehlerVon([&] { ws_->OpenDatabase(u"/tmp/gibt_es_nicht.db"); }), 3024);
}

TEST_F(DaoTest, SqlMitFeindlichenNamenUndSortierungOhneGroßschreibung) {
    auto t = db_->CreateTableDef(u"a[b\"c;'");
    t->Fields().Append(t->CreateField(u"Nä\"me", dbText, 50));
    t->Fields().Append(t->CreateField(u"K", dbLong));
    db_->TableDefs().Append(t);
    const char16_t* namen[] = {u"Zorn", u"ähre", u"Abend", u"apfel"};
    auto rs = db_->OpenRecordset(u"a[b\"c;'");
    int32_t k = 0;
    for (auto n : namen) {
        rs->AddNew();
        rs->Fields()[0]->Value(Variante(n));
        rs->Fields()[1]->Value(Variante(k++));
        rs->Update();
    }
    EXPECT_EQ(FehlerVon([&] { db_->OpenRecordset(u"SELECT * FROM [a]b] ORDER BY [K]"); }), 3075);
    auto sortiert = db_->OpenRecordset(u"SELECT * FROM [a[b\"c;'] ORDER BY [Nä\"me],[K],[Nä\"me]");
    auto zeilen = sortiert->GetRows(10);
    ASSERT_EQ(zeilen[0].size(), 4u);
    const char16_t* erwartet[] = {u"Abend", u"ähre", u"apfel", u"Zorn"};
    for (size_t i = 0; i < 4; ++i) EXPECT_EQ(zeilen[0][i].text(), erwartet[i]);
    EXPECT_TRUE(sortiert->EOF_());
    db_->Execute(u"DELETE * FROM [Kunden] WHERE ([ID] = 2 AND NOT ([ID] = 21 OR [ID] = 22))");
    auto s = db_->TableDefs()[u"Kunden"];
    (void)s;
    auto r2 = db_->OpenRecordset(u"SELECT * FROM [Kunden]WHERE [Zahl] = 13AND [ID] = 7");
    EXPECT_TRUE(r2->EOF_());
}

// The German order in both text encodings a file may have, for values at odd places
// in SQLite's records (after integers of every width) and longer than any stack buffer.
TEST_F(DaoTest, SortierungInJederKodierungUndLage) {
    const Text a300(300, u'a'), ä300(300, u'ä');
    std::vector<Text> erwartet;
    for (char16_t ende : {u'b', u'c', u'd', u'e'}) {
        erwartet.push_back(a300 + ende);
        erwartet.push_back(ä300 + ende);
    }
    for (const char16_t* t : {u"Abend", u"ähre", u"apfel", u"Zorn"}) erwartet.emplace_back(t);
    const int64_t zahlen[] = {1, 300, 70000, 1 << 30, 1LL << 40, 1LL << 60};
    for (const char* kodierung : {"UTF-16le", "UTF-8"}) {
        const std::string pfad = pfad_ + "." + kodierung;
        std::remove(pfad.c_str());
        sqlite3* roh = nullptr;
        ASSERT_EQ(sqlite3_open(pfad.c_str(), &roh), SQLITE_OK);
        sqlite3_exec(roh,
                     (std::string("PRAGMA encoding='") + kodierung + "'; CREATE TABLE w(k INTEGER, t TEXT)").c_str(),
                     nullptr, nullptr, nullptr);
        sqlite3_stmt* s = nullptr;
        sqlite3_prepare_v2(roh, "INSERT INTO w VALUES(?, ?)", -1, &s, nullptr);
        for (size_t i = erwartet.size(); i-- > 0;) {  // backwards, so ties would show
            sqlite3_bind_int64(s, 1, zahlen[i % 6]);
            sqlite3_bind_text16(s, 2, erwartet[i].data(), static_cast<int>(erwartet[i].size() * 2), SQLITE_TRANSIENT);
            sqlite3_step(s);
            sqlite3_reset(s);
        }
        sqlite3_finalize(s);
        sqlite3_close(roh);
        auto db = ws_->OpenDatabase(ausUtf8(pfad));
        auto zeilen = db->OpenRecordset(u"SELECT * FROM [w] ORDER BY [t]")->GetRows(100);
        ASSERT_EQ(zeilen[1].size(), erwartet.size()) << kodierung;
        for (size_t i = 0; i < erwartet.size(); ++i)
            EXPECT_EQ(zeilen[1][i].text(), erwartet[i]) << kodierung << " " << i;
        db->Close();
        std::remove(pfad.c_str());
    }
}

namespace {
// The reference order: SQLite's own sorter with an independent German comparison.
int Referenzvergleich(void* c, int la, const void* a, int lb, const void* b) {
    std::u16string x(static_cast<size_t>(la / 2), u'\0'), y(static_cast<size_t>(lb / 2), u'\0');
    std::memcpy(x.data(), a, static_cast<size_t>(la / 2) * 2);
    std::memcpy(y.data(), b, static_cast<size_t>(lb / 2) * 2);
    return ucol_strcoll(static_cast<UCollator*>(c), x.data(), static_cast<int32_t>(x.size()), y.data(),
                        static_cast<int32_t>(y.size()));
}
}  // namespace

// The engine orders a recordset itself; it must be SQLite's order exactly: Null first,
// numbers before texts, texts equal in the German order (case) tied by their row.
TEST_F(DaoTest, SortierungGleichDerVonSqlite) {
    auto t = db_->CreateTableDef(u"S");
    auto name = t->CreateField(u"Name", dbMemo);
    name->AllowZeroLength(true);
    t->Fields().Append(name);
    t->Fields().Append(t->CreateField(u"Zahl", dbDouble));
    t->Fields().Append(t->CreateField(u"Nr", dbLong));
    t->Fields().Append(t->CreateField(u"Betrag", dbCurrency));
    db_->TableDefs().Append(t);
    const std::vector<Variante> namen = {Variante::Null(),         Variante(u""),
                                         Variante(u" "),           Variante(u"a"),
                                         Variante(u"A"),           Variante(u"á"),
                                         Variante(u"ä"),           Variante(u"Ä"),
                                         Variante(u"ae"),          Variante(u"b"),
                                         Variante(u"ß"),           Variante(u"ss"),
                                         Variante(u"Straße"),      Variante(u"STRASSE"),
                                         Variante(u"zebra"),       Variante(u"Zebra"),
                                         Variante(u"Émile"),       Variante(u"emile"),
                                         Variante(u"10"),          Variante(u"9"),
                                         Variante(u"a b"),         Variante(u"a-b"),
                                         Variante(u"ab"),          Variante(u"日本"),
                                         Variante(u"\U0001F600"),  Variante(Text(300, u'a') + u"b"),
                                         Variante(Text(300, u'a'))};
    const std::vector<Variante> zahlen = {Variante::Null(), Variante(-1.5),  Variante(0.0),    Variante(-0.0),
                                          Variante(2.0),    Variante(1e300), Variante(-1e300), Variante(0.1)};
    const std::vector<Variante> nummern = {
        Variante::Null(),     Variante(int32_t{-5}),         Variante(int32_t{0}),
        Variante(int32_t{7}), Variante(int32_t{2147483647}), Variante(int32_t{-2147483647})};
    const std::vector<Variante> beträge = {Variante::Null(), Variante::Währung(5), Variante::Währung(-5),
                                           Variante::Währung(int64_t{1} << 60), Variante::Währung(-(int64_t{1} << 60))};
    {
        auto rs = db_->OpenRecordset(u"S");
        for (size_t i = 0; i < 600; ++i) {
            rs->AddNew();
            rs->Fields()[0]->Value(namen[(i * 7) % namen.size()]);
            rs->Fields()[1]->Value(zahlen[(i * 11) % zahlen.size()]);
            rs->Fields()[2]->Value(nummern[(i * 13) % nummern.size()]);
            rs->Fields()[3]->Value(beträge[(i * 3) % beträge.size()]);
            rs->Update();
        }
    }
    const struct {
        const char16_t* jet;
        const char* sqlite;
    } fälle[] = {
        {u"ORDER BY [Name]", "ORDER BY Name COLLATE ref"},
        {u"ORDER BY [Name] DESC", "ORDER BY Name COLLATE ref DESC"},
        {u"ORDER BY [Zahl], [Name] DESC", "ORDER BY Zahl, Name COLLATE ref DESC"},
        {u"ORDER BY [Nr] DESC, [Zahl] DESC, [Name]", "ORDER BY Nr DESC, Zahl DESC, Name COLLATE ref"},
        {u"ORDER BY [Betrag], [Name]", "ORDER BY Betrag, Name COLLATE ref"},
        {u"WHERE [Nr] > 0 ORDER BY [Name] ASC, [Nr]", "WHERE Nr > 0 ORDER BY Name COLLATE ref, Nr"},
    };
    // On one core and on several (the parts as small as a few rows).
    std::vector<std::vector<int64_t>> vonDerEngine, aufVielen;
    const size_t ab = detail::SortierenParallelAb;
    for (auto* ziel : {&vonDerEngine, &aufVielen}) {
        detail::SortierenParallelAb = ziel == &vonDerEngine ? ab : 16;
        for (const auto& f : fälle) {
            auto rs = db_->OpenRecordset(u"SELECT * FROM [S] " + Text(f.jet));
            std::vector<int64_t> reihe;
            for (; !rs->EOF_(); rs->MoveNext()) reihe.push_back(rs->Bookmark());
            ziel->push_back(reihe);
        }
    }
    detail::SortierenParallelAb = ab;
    EXPECT_EQ(aufVielen, vonDerEngine);
    db_->Close();
    sqlite3* roh = nullptr;
    ASSERT_EQ(sqlite3_open_v2(pfad_.c_str(), &roh, SQLITE_OPEN_READONLY, nullptr), SQLITE_OK);
    UErrorCode status = U_ZERO_ERROR;
    UCollator* deutsch = ucol_open("de", &status);
    ucol_setStrength(deutsch, UCOL_SECONDARY);
    sqlite3_create_collation16(roh, u"ref", SQLITE_UTF16, deutsch, Referenzvergleich);
    for (size_t k = 0; k < std::size(fälle); ++k) {
        sqlite3_stmt* s = nullptr;
        const std::string sql = std::string("SELECT rowid FROM S ") + fälle[k].sqlite + ", rowid";
        ASSERT_EQ(sqlite3_prepare_v2(roh, sql.c_str(), -1, &s, nullptr), SQLITE_OK) << sql;
        std::vector<int64_t> reihe;
        while (sqlite3_step(s) == SQLITE_ROW) reihe.push_back(sqlite3_column_int64(s, 0));
        sqlite3_finalize(s);
        EXPECT_EQ(vonDerEngine[k], reihe) << sql;
    }
    sqlite3_close(roh);
    ucol_close(deutsch);
}
