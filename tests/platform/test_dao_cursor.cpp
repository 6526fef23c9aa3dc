// Cursor semantics, transactions, Jet SQL, stored structure and renames of the engine.
#include <gtest/gtest.h>

#include <map>

#include "common/Fehlerfang.h"
#include "common/TempVerzeichnis.h"
#include "platform/basic/Fehler.h"
#include "platform/dao/Dao.h"
#include "platform/dao/DaoIntern.h"

using namespace dao;

namespace {
struct Cursor : ::testing::Test {
    TempVerzeichnis ordner;
    WorkspacePtr ws = CreateWorkspace(u"", u"admin", u"");
    DatabasePtr db;
    void SetUp() override {
        db = ws->CreateDatabase(ausUtf8(ordner / "c.db"));
        Tabelle(u"T");
    }
    void Tabelle(const Text& name, const Text& textfeld = u"Name", const Text& zahlfeld = u"Nr") {
        auto t = db->CreateTableDef(name);
        t->Fields().Append(t->CreateField(textfeld, dbText, 50));
        t->Fields().Append(t->CreateField(zahlfeld, dbLong));
        db->TableDefs().Append(t);
    }
    void Füllen(const Text& tabelle, std::initializer_list<Variante> namen) {
        auto rs = db->OpenRecordset(tabelle);
        int32_t nr = rs->RecordCount();
        for (auto& n : namen) {
            rs->AddNew();
            rs->Fields()[0]->Value(n);
            rs->Fields()[1]->Value(Variante(++nr));
            rs->Update();
        }
    }
    // The Nr of every row, in the recordset's order.
    static std::vector<int32_t> Nummern(const RecordsetPtr& rs) {
        std::vector<int32_t> aus;
        if (rs->RecordCount() == 0) return aus;
        rs->MoveFirst();
        const auto zeilen = rs->GetRows(1000);
        for (auto& v : zeilen[1]) aus.push_back(v.alsLong());
        return aus;
    }
    int32_t Nr(const RecordsetPtr& rs) { return rs->Fields()[u"Nr"]->Value().alsLong(); }
    // Up to n rows of rs from position `ab`, read field by field through a clone of it.
    static std::vector<std::vector<Variante>> Einzeln(const RecordsetPtr& rs, int32_t ab, int32_t n) {
        auto ref = rs->Clone();
        ref->Move(ab);
        std::vector<std::vector<Variante>> werte(2);
        for (; n > 0 && !ref->EOF_(); --n, ref->MoveNext())
            for (int c = 0; c < 2; ++c) werte[static_cast<size_t>(c)].push_back(ref->Fields()[c]->Value());
        return werte;
    }
};
}  // namespace

TEST_F(Cursor, LeereMengeIstZugleichBofUndEof) {
    auto rs = db->OpenRecordset(u"T");
    EXPECT_TRUE(rs->EOF_());
    EXPECT_TRUE(rs->BOF_());
    EXPECT_EQ(rs->RecordCount(), 0);
    EXPECT_EQ(FehlerVon([&] { rs->MoveFirst(); }), 3021);
    EXPECT_EQ(FehlerVon([&] { rs->MoveNext(); }), 3021);
    EXPECT_EQ(FehlerVon([&] { rs->Edit(); }), 3021);
    auto z = rs->GetRows(5);
    ASSERT_EQ(z.size(), 2u);
    EXPECT_TRUE(z[0].empty());
}

TEST_F(Cursor, BewegungenUndGetRows) {
    Füllen(u"T", {u"a", u"b", u"c", u"d", u"e"});
    auto rs = db->OpenRecordset(u"T");
    EXPECT_EQ(Nr(rs), 1);
    const struct {
        std::function<void()> schritt;
        int32_t nr;  // 0: EOF, -1: BOF
    } schritte[] = {
        {[&] { rs->Move(2); }, 3},         {[&] { rs->Move(-1); }, 2},       {[&] { rs->Move(10); }, 0},
        {[&] { rs->Move(-1); }, 5},        {[&] { rs->Move(1); }, 0},        {[&] { rs->Move(-3); }, 3},
        {[&] { rs->Move(-10); }, -1},      {[&] { rs->Move(2); }, 2},        {[&] { rs->MoveLast(); }, 5},
        {[&] { rs->MoveNext(); }, 0},      {[&] { rs->MovePrevious(); }, 5}, {[&] { rs->MoveFirst(); }, 1},
        {[&] { rs->MovePrevious(); }, -1},
    };
    int i = 0;
    for (auto& s : schritte) {
        s.schritt();
        if (s.nr == 0) EXPECT_TRUE(rs->EOF_()) << i;
        else if (s.nr == -1) EXPECT_TRUE(rs->BOF_() && !rs->EOF_()) << i;
        else EXPECT_EQ(Nr(rs), s.nr) << i;
        ++i;
    }
    EXPECT_EQ(FehlerVon([&] { rs->MovePrevious(); }), 3021);
    rs->MoveFirst();
    auto z = rs->GetRows(2);
    ASSERT_EQ(z[1].size(), 2u);
    EXPECT_EQ(z[0][1].text(), u"b");
    EXPECT_EQ(Nr(rs), 3);  // moved past the rows read
    EXPECT_EQ(rs->GetRows(10)[1].size(), 3u);
    EXPECT_TRUE(rs->EOF_());
}

TEST_F(Cursor, KlonLöschenUndÄndern) {
    Füllen(u"T", {u"c", u"a", u"b"});
    auto rs = db->OpenRecordset(u"SELECT * FROM [T] ORDER BY [Name]");
    auto klon = rs->Clone();
    klon->MoveLast();
    klon->MoveFirst();
    EXPECT_EQ(Nummern(klon), (std::vector<int32_t>{2, 3, 1}));
    rs->MoveFirst();
    rs->Move(1);
    klon->MoveLast();
    EXPECT_EQ(Nr(rs), 3);  // own positions
    EXPECT_EQ(Nr(klon), 1);
    rs->Edit();
    rs->Fields()[u"Name"]->Value(Variante(u"z"));
    rs->Update();
    EXPECT_EQ(Nr(rs), 3);  // the set keeps its order until requeried
    klon->MovePrevious();
    EXPECT_EQ(klon->Fields()[u"Name"]->Value().text(), u"z");
    rs->Delete();
    EXPECT_EQ(FehlerVon([&] { rs->Fields()[0]->Value(); }), 3167);
    rs->MoveNext();
    EXPECT_EQ(Nr(rs), 1);
    EXPECT_EQ(rs->RecordCount(), 2);
    rs->Requery();
    EXPECT_EQ(Nummern(rs), (std::vector<int32_t>{2, 1}));
}

TEST_F(Cursor, AnfügenAnSortierteMengeBehältPositionen) {
    Füllen(u"T", {u"m", u"b", u"x"});
    auto rs = db->OpenRecordset(u"SELECT * FROM [T] ORDER BY [Name]");
    rs->Move(1);  // on "m"
    for (const char16_t* n : {u"a", u"n"}) {
        rs->AddNew();
        rs->Fields()[u"Name"]->Value(Variante(n));
        rs->Fields()[u"Nr"]->Value(Variante(int32_t{10}));
        rs->Update();
        EXPECT_EQ(rs->Fields()[u"Name"]->Value().text(), u"m");
    }
    EXPECT_EQ(rs->RecordCount(), 5);
    EXPECT_EQ(Nummern(rs), (std::vector<int32_t>{2, 1, 3, 10, 10}));
    rs->MoveLast();
    rs->Move(-1);
    EXPECT_EQ(rs->Fields()[u"Name"]->Value().text(), u"a");
    // A recordset at EOF that appends stays at EOF.
    auto r2 = db->OpenRecordset(u"T");
    r2->MoveLast();
    r2->MoveNext();
    r2->AddNew();
    r2->Fields()[u"Name"]->Value(Variante(u"q"));
    r2->Update();
    EXPECT_TRUE(r2->EOF_());
    r2->Move(-1);
    EXPECT_EQ(r2->Fields()[u"Name"]->Value().text(), u"q");
}

TEST_F(Cursor, Transaktionen) {
    EXPECT_EQ(FehlerVon([&] { ws->CommitTrans(); }), 3034);
    EXPECT_EQ(FehlerVon([&] { ws->Rollback(); }), 3034);
    auto t = db->TableDefs()[u"T"];  // made outside any transaction
    auto rs = db->OpenRecordset(u"T");
    ws->BeginTrans();
    Füllen(u"T", {u"a"});
    ws->BeginTrans();
    Füllen(u"T", {u"b", u"c"});
    rs->AddNew();
    rs->Fields()[u"Name"]->Value(Variante(u"d"));
    rs->Update();
    ws->Rollback();  // only the inner savepoint
    EXPECT_EQ(Nummern(db->OpenRecordset(u"T")), (std::vector<int32_t>{1}));
    rs->MoveLast();
    EXPECT_EQ(FehlerVon([&] { rs->Fields()[0]->Value(); }), 3167);  // the rolled-back row
    ws->CommitTrans();
    EXPECT_EQ(FehlerVon([&] { ws->CommitTrans(); }), 3034);

    // A commit leaves recordsets usable; a rollback keeps the structure made before.
    auto r2 = db->OpenRecordset(u"SELECT * FROM [T] ORDER BY [Nr]");
    ws->BeginTrans();
    Füllen(u"T", {u"e"});
    ws->CommitTrans();
    r2->MoveFirst();
    r2->Edit();
    r2->Fields()[u"Name"]->Value(Variante(u"A"));
    r2->Update();
    ws->BeginTrans();
    Füllen(u"T", {u"f"});
    db->Execute(u"DELETE * FROM [T]");
    ws->Rollback();
    EXPECT_EQ(db->TableDefs()[u"T"], t);
    t->Fields().Append(t->CreateField(u"Neu", dbText, 5));  // still bound to the table
    EXPECT_EQ(Nummern(db->OpenRecordset(u"T")), (std::vector<int32_t>{1, 2}));
    EXPECT_EQ(db->OpenRecordset(u"T")->Fields()[u"Name"]->Value().text(), u"A");

    // A table made inside a rolled-back transaction is gone with it.
    ws->BeginTrans();
    Tabelle(u"Weg");
    Füllen(u"Weg", {u"x"});
    ws->Rollback();
    EXPECT_EQ(db->TableDefs().Position(u"Weg"), -1);
    EXPECT_EQ(db->TableDefs()[u"T"]->Fields().Count(), 3);
}

TEST_F(Cursor, JetSqlWirdÜbersetztUndNamenSicherGequotet) {
    auto t = db->CreateTableDef(u"w");
    for (const char16_t* n : {u"TEMP_AMK", u"TEMP_DSS", u"TEMP_BN", u"TEMP_DSQ", u"TEMP_DSN"})
        t->Fields().Append(t->CreateField(n, n == Text(u"TEMP_AMK") ? dbText : dbLong, 20));
    db->TableDefs().Append(t);
    auto rs = db->OpenRecordset(u"w");
    const int32_t zeilen[][4] = {{13, 7, 2, 3}, {13, 8, 2, 1}, {21, 7, 2, 2}, {12, 7, 1, 4}, {13, 7, 2, 5}};
    for (auto& z : zeilen) {
        rs->AddNew();
        rs->Fields()[u"TEMP_AMK"]->Value(Variante(u"n" + ausUtf8(std::to_string(z[3]))));
        for (int i = 0; i < 4; ++i) rs->Fields()[i + 1]->Value(Variante(z[i]));
        rs->Update();
    }
    auto a = db->OpenRecordset(u"SELECT [TEMP_AMK],* FROM [w]WHERE [TEMP_DSS] = 13AND [TEMP_BN] = 7");
    EXPECT_EQ(a->Fields().Count(), 6);
    EXPECT_EQ(a->RecordCount(), 2);
    EXPECT_EQ(a->Fields()[0]->Value().text(), u"n3");
    auto b = db->OpenRecordset(u"SELECT * FROM [w] ORDER BY [TEMP_DSN]");
    EXPECT_EQ(b->GetRows(5)[0][0].text(), u"n1");
    db->Execute(u"DELETE * FROM [w] WHERE ([TEMP_DSQ] = 2 AND NOT ([TEMP_DSS] = 21 OR [TEMP_DSS] = 22))");
    EXPECT_EQ(db->OpenRecordset(u"w")->RecordCount(), 2);  // the 21 and the 12 stay

    // Names with ] [ ' " ; and non-Latin letters; text sorted case-blind, German letters in
    // place, Null first, ties in record order.
    const Text tabelle = u"Ад[рес' \"x\"; DROP TABLE T;--", feld = u"名前 'a\"", zahl = u"N;r";
    Tabelle(tabelle, feld, zahl);
    Füllen(tabelle, {u"Zorn", u"ähre", u"Abend", Variante::Null(), u"Ähre", u"apfel", u"Öl", u"Ofen", u"ABEND"});
    auto s = db->OpenRecordset(u"SELECT * FROM [" + tabelle + u"] ORDER BY [" + feld + u"],[" + feld + u"] , [" + zahl +
                               u"]");
    auto z = s->GetRows(20);
    std::vector<int32_t> reihe;
    for (auto& v : z[1]) reihe.push_back(v.alsLong());
    EXPECT_EQ(reihe, (std::vector<int32_t>{4, 3, 9, 2, 5, 6, 8, 7, 1}));
    EXPECT_EQ(db->OpenRecordset(u"SELECT * FROM [" + tabelle + u"] WHERE [" + feld + u"] = 'ÄHRE'")->RecordCount(), 2);
    EXPECT_EQ(db->TableDefs().Count(), 3);  // nothing was spliced
    for (const char16_t* falsch :
         {u"SELECT * FROM [w", u"SELECT * FROM [w] WHERE [TEMP_DSS] = 'x'", u"SELECT * FROM [gibtsnicht]",
          u"SELECT * FROM [w] ORDER BY [fehlt]", u"SELECT * FROM [w]; DROP TABLE [w]", u"UPDATE [w] SET [TEMP_BN] = 1"})
        EXPECT_NE(FehlerVon([&] { db->OpenRecordset(falsch); }), 0) << nachUtf8(falsch);
}

TEST_F(Cursor, StrukturNachWiederöffnenGleichUndTabellenartInSchlüsselfolge) {
    auto t = db->CreateTableDef(u"Voll");
    auto id = t->CreateField(u"ID", dbLong);
    id->Attributes(dbAutoIncrField);
    t->Fields().Append(id);
    auto name = t->CreateField(u"Name", dbText, 30);
    name->AllowZeroLength(true);
    name->Required(true);
    t->Fields().Append(name);
    for (int16_t typ : {dbBoolean, dbByte, dbInteger, dbCurrency, dbSingle, dbDouble, dbDate, dbMemo, dbTime})
        t->Fields().Append(t->CreateField(u"F" + ausUtf8(std::to_string(typ)), typ));
    auto pk = t->CreateIndex(u"PrimaryKey");
    pk->Fields().Append(pk->CreateField(u"Name"));
    pk->Fields().Append(pk->CreateField(u"ID"));
    pk->Primary(true);
    t->Indexes().Append(pk);
    db->TableDefs().Append(t);
    auto r = db->CreateRelation(u"VollT", u"T", u"Voll", dbRelationDeleteCascade);
    auto rf = r->CreateField(u"Nr");
    rf->ForeignName(u"ID");
    r->Fields().Append(rf);
    db->Relations().Append(r);
    auto rs = db->OpenRecordset(u"Voll");
    for (const char16_t* n : {u"b", u"a", u"B"}) {
        rs->AddNew();
        rs->Fields()[u"Name"]->Value(Variante(n));
        rs->Update();
    }
    auto beschreiben = [](const DatabasePtr& d) {
        std::string s;
        for (auto& td : d->TableDefs().liste()) {
            s += nachUtf8(td->Name()) + ":" + std::to_string(td->Attributes()) + " " +
                 std::to_string(td->DateCreated().zahl()) + " " + std::to_string(td->LastUpdated().zahl()) + "\n";
            for (auto& f : td->Fields().liste())
                s += " " + nachUtf8(f->Name()) + " " + std::to_string(f->Type()) + " " + std::to_string(f->Size()) +
                     " " + std::to_string(f->Attributes()) + " " + std::to_string(f->AllowZeroLength()) + " " +
                     std::to_string(f->Required()) + "\n";
            for (auto& ix : td->Indexes().liste()) {
                s += " [" + nachUtf8(ix->Name()) + " " + std::to_string(ix->Unique()) + std::to_string(ix->Primary());
                for (auto& f : ix->Fields().liste()) s += " " + nachUtf8(f->Name());
                s += "]\n";
            }
        }
        for (auto& rel : d->Relations().liste()) {
            s += nachUtf8(rel->Name() + u" " + rel->Table() + u" " + rel->ForeignTable()) + " " +
                 std::to_string(rel->Attributes());
            for (auto& f : rel->Fields().liste()) s += " " + nachUtf8(f->Name() + u"=" + f->ForeignName());
        }
        return s;
    };
    const std::string vorher = beschreiben(db);
    const Variante geändert = db->TableDefs()[u"Voll"]->LastUpdated();
    ASSERT_TRUE(geändert.istDatum());
    EXPECT_LE(db->TableDefs()[u"Voll"]->DateCreated().zahl(), geändert.zahl());
    db->Close();
    db = ws->OpenDatabase(ausUtf8(ordner / "c.db"));
    EXPECT_EQ(beschreiben(db), vorher);
    auto tab = db->OpenRecordset(u"Voll", dbOpenTable);
    std::vector<int32_t> ids;
    for (; !tab->EOF_(); tab->MoveNext()) ids.push_back(tab->Fields()[u"ID"]->Value().alsLong());
    EXPECT_EQ(ids, (std::vector<int32_t>{2, 1, 3}));  // a, b, B: case-blind, ties by ID
    EXPECT_EQ(FehlerVon([&] { db->OpenRecordset(u"SELECT * FROM [Voll]", dbOpenTable); }), 3219);
}

TEST_F(Cursor, TabellenUndFelderUmbenennen) {
    Füllen(u"T", {u"Meier"});
    Tabelle(u"U");
    auto t = db->TableDefs()[u"T"];
    auto ix = t->CreateIndex(u"ixName");
    ix->Fields().Append(ix->CreateField(u"Name"));
    ix->Unique(true);
    t->Indexes().Append(ix);
    auto r = db->CreateRelation(u"TU", u"T", u"U");
    auto rf = r->CreateField(u"Nr");
    rf->ForeignName(u"Nr");
    r->Fields().Append(rf);
    db->Relations().Append(r);

    EXPECT_EQ(FehlerVon([&] { t->Name(u"u"); }), 3010);
    EXPECT_EQ(FehlerVon([&] { t->Fields()[u"Name"]->Name(u"NR"); }), 3191);
    t->Name(u"Kunden");
    t->Fields()[u"Name"]->Name(u"Firma");
    t->Fields()[u"Firma"]->Name(u"FIRMA");  // a change of case only
    db->TableDefs()[u"U"]->Fields()[u"Nr"]->Name(u"KundenNr");
    db->Close();
    db = ws->OpenDatabase(ausUtf8(ordner / "c.db"));
    EXPECT_EQ(db->TableDefs().Position(u"T"), -1);
    auto k = db->TableDefs()[u"Kunden"];
    EXPECT_EQ(k->Fields()[0]->Name(), u"FIRMA");
    EXPECT_EQ(k->Indexes()[u"ixName"]->Fields()[0]->Name(), u"FIRMA");
    auto rel = db->Relations()[u"TU"];
    EXPECT_EQ(rel->Table(), u"Kunden");
    EXPECT_EQ(rel->Fields()[0]->ForeignName(), u"KundenNr");
    EXPECT_EQ(db->OpenRecordset(u"SELECT * FROM [Kunden] WHERE [Firma] = 'meier'")->RecordCount(), 1);
    Füllen(u"Kunden", {u"x"});
    auto rs = db->OpenRecordset(u"Kunden");
    rs->AddNew();
    rs->Fields()[u"Firma"]->Value(Variante(u"MEIER"));
    EXPECT_EQ(FehlerVon([&] { rs->Update(); }), 3022);  // the unique index came along
}

TEST_F(Cursor, SuchenUndLesezeichen) {
    Füllen(u"T", {u"a", u"b", u"a", u"c", u"a"});
    auto rs = db->OpenRecordset(u"SELECT * FROM [T] ORDER BY [Nr]");
    const struct {
        std::function<void()> schritt;
        int32_t nr;  // 0: no match
    } schritte[] = {
        {[&] { rs->FindFirst(u"[Name] = 'A'"); }, 1},
        {[&] { rs->FindNext(u"[Name] = 'a'"); }, 3},
        {[&] { rs->FindNext(u"[Name] = 'a'"); }, 5},
        {[&] { rs->FindNext(u"[Name] = 'a'"); }, 0},
        {[&] { rs->FindPrevious(u"[Name] = 'a'"); }, 3},
        {[&] { rs->FindLast(u"[Nr] < 3"); }, 2},
        {[&] { rs->FindFirst(u"[Nr] = 4 AND [Name] = 'c'"); }, 4},
        {[&] { rs->FindFirst(u"[Name] = 'z'"); }, 0},
    };
    int i = 0;
    for (auto& s : schritte) {
        s.schritt();
        EXPECT_EQ(rs->NoMatch(), s.nr == 0) << i;
        if (s.nr) {
            EXPECT_EQ(Nr(rs), s.nr) << i;
        }
        ++i;
    }
    EXPECT_EQ(Nr(rs), 4);  // a failed search keeps the position
    EXPECT_NE(FehlerVon([&] { rs->FindFirst(u"[fehlt] = 1"); }), 0);
    const int64_t lesezeichen = rs->Bookmark();
    auto klon = rs->Clone();
    klon->Bookmark(lesezeichen);
    EXPECT_EQ(Nr(klon), 4);
    rs->Delete();
    EXPECT_EQ(FehlerVon([&] { rs->Bookmark(lesezeichen); }), 3159);
}

// A sorted read in chunks sees every change made between the chunks: values edited
// and rows deleted through a clone, a rollback, rows appended, a structure change
// of another table, and moves back and forth in between.
TEST_F(Cursor, GetRowsInChunksSeesChangesBetweenThem) {
    std::vector<Variante> namen;
    for (int i = 0; i < 40; ++i)
        namen.push_back(Variante(ausUtf8(std::string(1, static_cast<char>('a' + (i * 7) % 26)) + std::to_string(i))));
    {
        auto rs = db->OpenRecordset(u"T");
        for (int i = 0; i < 40; ++i) {
            rs->AddNew();
            rs->Fields()[0]->Value(namen[static_cast<size_t>(i)]);
            rs->Fields()[1]->Value(Variante(i + 1));
            rs->Update();
        }
    }
    Tabelle(u"Andere");
    auto rs = db->OpenRecordset(u"SELECT * FROM [T] ORDER BY [Name]");
    auto klon = rs->Clone();
    // The reference for every chunk: the rows' values field by field.
    auto erwartet = [&](int32_t ab, int32_t n) { return Einzeln(rs, ab, n); };
    std::vector<std::vector<Variante>> z = rs->GetRows(5);
    EXPECT_EQ(z, erwartet(0, 5));
    // Edited ahead of the read, through a clone.
    klon->Move(7);
    klon->Edit();
    klon->Fields()[1]->Value(Variante(1000));
    klon->Update();
    z = rs->GetRows(5);
    EXPECT_EQ(z[1][2].alsLong(), 1000);
    EXPECT_EQ(z, erwartet(5, 5));
    // A rollback undoes an edit made after the read began.
    ws->BeginTrans();
    klon->MoveFirst();
    klon->Move(12);
    klon->Edit();
    klon->Fields()[0]->Value(Variante(u"zz"));
    klon->Update();
    ws->Rollback();
    z = rs->GetRows(5);
    EXPECT_NE(z[0][2].text(), u"zz");
    EXPECT_EQ(z, erwartet(10, 5));
    // Another table's structure changes while the read is half way.
    db->TableDefs().Delete(u"Andere");
    // Back, then forward past rows.
    rs->Move(-8);
    z = rs->GetRows(3);
    EXPECT_EQ(z, erwartet(7, 3));
    rs->Move(5);
    z = rs->GetRows(4);
    EXPECT_EQ(z, erwartet(15, 4));
    // A row deleted through the clone ahead of the read is gone for the read too.
    klon->MoveFirst();
    klon->Move(20);
    klon->Delete();
    EXPECT_EQ(FehlerVon([&] { rs->GetRows(5); }), 3167);
    // Rows appended through the set come after its rows.
    rs->AddNew();
    rs->Fields()[0]->Value(Variante(u"aaa"));
    rs->Fields()[1]->Value(Variante(99));
    rs->Update();
    rs->MoveFirst();
    rs->Move(21);
    z = rs->GetRows(100);
    ASSERT_EQ(z[1].size(), 20u);
    EXPECT_EQ(z[1].back().alsLong(), 99);
    EXPECT_EQ(z, erwartet(21, 100));
    // A filtered set keeps its rows and their order when their values leave the filter
    // or their sort keys change before the first read.
    auto gefiltert = db->OpenRecordset(u"SELECT * FROM [T] WHERE [Nr] < 30 ORDER BY [Name]");
    const int32_t anzahl = gefiltert->RecordCount();
    auto ändern = gefiltert->Clone();
    ändern->Move(2);
    ändern->Edit();
    ändern->Fields()[0]->Value(Variante(u"zzz"));
    ändern->Fields()[1]->Value(Variante(500));
    ändern->Update();
    const auto reihe = gefiltert->GetRows(100);
    ASSERT_EQ(static_cast<int32_t>(reihe[1].size()), anzahl);
    EXPECT_EQ(reihe[0][2].text(), u"zzz");
    EXPECT_EQ(reihe[1][2].alsLong(), 500);
    for (size_t i = 1; i < reihe[0].size(); ++i) {
        if (i == 2 || i == 3) continue;
        EXPECT_LE(reihe[0][i - 1].text(), reihe[0][i].text()) << i;
    }
}

// A set in rowid order reads forward through the table itself; what it reads must be
// the rows as they are now, wherever the set moved and whatever changed under it.
TEST_F(Cursor, InRowidOrderReadsAreTheRowsAsTheyAreNow) {
    std::map<int32_t, Text> modell;  // Name by Nr
    {
        auto rs = db->OpenRecordset(u"T");
        for (int32_t i = 1; i <= 300; ++i) {
            modell[i] = u"n" + ausUtf8(std::to_string(i));
            rs->AddNew();
            rs->Fields()[0]->Value(Variante(modell[i]));
            rs->Fields()[1]->Value(Variante(i));
            rs->Update();
        }
    }
    auto rs = db->OpenRecordset(u"T", dbOpenDynaset);
    auto klon = rs->Clone();
    // Reads n records from the current one on, field by field, against the model.
    auto lesen = [&](const RecordsetPtr& r, int32_t n, int32_t ersteNr) {
        for (int32_t i = 0; i < n; ++i, r->MoveNext()) {
            ASSERT_FALSE(r->EOF_());
            EXPECT_EQ(Nr(r), ersteNr + i);
            EXPECT_EQ(r->Fields()[0]->Value().text(), modell[Nr(r)]) << Nr(r);
        }
    };
    auto ändern = [&](int32_t nr, const Text& name) {
        klon->MoveFirst();
        klon->Move(nr - 1);
        klon->Edit();
        klon->Fields()[0]->Value(Variante(name));
        klon->Update();
    };
    rs->MoveFirst();
    lesen(rs, 10, 1);
    // Edited ahead of the read, and an edit undone by a rollback.
    ändern(12, u"x12");
    ändern(13, u"x13");
    modell[12] = u"x12";
    modell[13] = u"x13";
    ws->BeginTrans();
    ändern(25, u"weg");
    ws->Rollback();
    lesen(rs, 30, 11);
    // A row deleted ahead: the read there fails, the next one goes on.
    klon->MoveFirst();
    klon->Move(44);
    klon->Delete();
    lesen(rs, 4, 41);
    EXPECT_EQ(FehlerVon([&] { rs->Fields()[0]->Value(); }), 3167);
    rs->MoveNext();
    lesen(rs, 3, 46);
    // Jumps both ways and to the end.
    rs->Move(100);
    lesen(rs, 2, 149);
    rs->Move(-60);
    lesen(rs, 2, 91);
    rs->MoveLast();
    lesen(rs, 1, 300);
    // Deleted through the set, then a row appended: both as the set holds them.
    rs->MoveFirst();
    rs->Delete();
    rs->MoveNext();
    lesen(rs, 3, 2);
    rs->AddNew();
    rs->Fields()[0]->Value(Variante(u"neu"));
    rs->Fields()[1]->Value(Variante(301));
    rs->Update();
    modell[301] = u"neu";
    rs->MoveLast();
    lesen(rs, 1, 301);
    // A filtered set passes far more rows than it holds; read by field and by GetRows.
    auto gefiltert = db->OpenRecordset(u"SELECT * FROM [T] WHERE [Nr] < 4 OR [Nr] > 295");
    lesen(gefiltert, 2, 2);
    lesen(gefiltert, 6, 296);
    EXPECT_TRUE(gefiltert->EOF_());
    gefiltert->MoveFirst();
    const auto zeilen = gefiltert->GetRows(100);
    std::vector<int32_t> nummern;
    for (size_t i = 0; i < zeilen[1].size(); ++i) {
        nummern.push_back(zeilen[1][i].alsLong());
        EXPECT_EQ(zeilen[0][i].text(), modell[nummern.back()]);
    }
    EXPECT_EQ(nummern, (std::vector<int32_t>{2, 3, 296, 297, 298, 299, 300, 301}));
}

// A sorted set read through many small windows: every row as it is now, whatever
// changed under the set, wherever it jumped, by GetRows chunk by chunk and by field.
TEST_F(Cursor, SortierteMengeÜberVieleFensterGelesen) {
    const size_t budget = detail::FensterBytes;
    detail::FensterBytes = 2000;  // windows of a few dozen rows
    struct Zurück {
        size_t b;
        ~Zurück() { detail::FensterBytes = b; }
    } zurück{budget};
    {
        auto rs = db->OpenRecordset(u"T");
        for (int32_t i = 1; i <= 400; ++i) {
            rs->AddNew();
            rs->Fields()[0]->Value(Variante(ausUtf8(std::to_string((i * 37) % 400 + 1000))));
            rs->Fields()[1]->Value(Variante(i));
            rs->Update();
        }
    }
    auto rs = db->OpenRecordset(u"SELECT * FROM [T] ORDER BY [Name] DESC");
    auto klon = rs->Clone();
    // The reference: the rows from position `ab`, field by field, each looked up.
    auto erwartet = [&](int32_t ab, int32_t n) { return Einzeln(rs, ab, n); };
    auto ändern = [&](int32_t position, int32_t nr) {
        klon->MoveFirst();
        klon->Move(position);
        klon->Edit();
        klon->Fields()[1]->Value(Variante(nr));
        klon->Update();
    };
    int32_t position = 0;
    auto lesen = [&](int32_t n) {
        const auto z = rs->GetRows(n);
        EXPECT_EQ(z, erwartet(position, n)) << position;
        position += static_cast<int32_t>(z[0].size());
    };
    for (int i = 0; i < 3; ++i) lesen(37);
    ändern(120, -1);  // ahead, in a window not read yet and in the one being read
    ändern(112, -2);
    lesen(37);
    ws->BeginTrans();
    ändern(160, -3);
    ws->Rollback();
    klon->MoveFirst();
    klon->Move(170);
    klon->Delete();
    lesen(22);
    EXPECT_EQ(FehlerVon([&] { rs->GetRows(40); }), 3167);
    rs->MoveFirst();
    rs->Move(171);
    position = 171;
    lesen(50);
    // Back, then far ahead, then on by field.
    rs->Move(-150);
    position -= 150;
    lesen(30);
    rs->Move(250);
    position += 250;
    lesen(20);
    for (int i = 0; i < 20 && !rs->EOF_(); ++i, rs->MoveNext())
        EXPECT_EQ(rs->Fields()[1]->Value(), erwartet(position + i, 1)[1][0]) << position + i;
    // Appended through the set: read after its rows.
    rs->AddNew();
    rs->Fields()[0]->Value(Variante(u"0"));
    rs->Fields()[1]->Value(Variante(401));
    rs->Update();
    rs->MoveFirst();
    rs->Move(380);
    position = 380;
    lesen(100);
    EXPECT_EQ(position, 401);
}
