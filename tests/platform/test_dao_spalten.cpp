// Dropping fields: several drops on one table give the same table as one at a time,
// with the errors at the call as before.
#include <gtest/gtest.h>

#include <sqlite3.h>

#include <string>
#include <vector>

#include "common/Fehlerfang.h"
#include "common/TempVerzeichnis.h"
#include "platform/dao/Dao.h"

using namespace dao;

namespace {
// Everything a caller can see of a table: fields, indexes and every row by rowid.
struct Bild {
    std::vector<std::string> felder, indizes;
    std::vector<std::vector<Variante>> zeilen;  // [column][row]
};

Bild Ansehen(const DatabasePtr& db, const Text& name) {
    Bild b;
    auto t = db->TableDefs()[name];
    for (auto& f : t->Fields().liste())
        b.felder.push_back(nachUtf8(f->Name()) + "/" + std::to_string(f->Type()) + "/" + std::to_string(f->Size()) +
                           "/" + std::to_string(f->Attributes()) + "/" + std::to_string(f->Required()));
    for (auto& ix : t->Indexes().liste()) {
        std::string s = nachUtf8(ix->Name()) + (ix->Primary() ? " P" : "") + (ix->Unique() ? " U" : "") + ":";
        for (auto& f : ix->Fields().liste()) s += " " + nachUtf8(f->Name());
        b.indizes.push_back(s);
    }
    auto rs = db->OpenRecordset(name);
    if (!rs->EOF_()) b.zeilen = rs->GetRows(100000);
    return b;
}

void ErwartetGleich(const Bild& a, const Bild& b) {
    EXPECT_EQ(a.felder, b.felder);
    EXPECT_EQ(a.indizes, b.indizes);
    ASSERT_EQ(a.zeilen.size(), b.zeilen.size());
    for (size_t c = 0; c < a.zeilen.size(); ++c) {
        ASSERT_EQ(a.zeilen[c].size(), b.zeilen[c].size());
        for (size_t r = 0; r < a.zeilen[c].size(); ++r) {
            EXPECT_EQ(a.zeilen[c][r].typ(), b.zeilen[c][r].typ()) << c << "/" << r;
            if (!a.zeilen[c][r].istNull()) {
                EXPECT_EQ(a.zeilen[c][r].alsText(), b.zeilen[c][r].alsText()) << c << "/" << r;
            }
        }
    }
}

// The table's columns as SQLite holds them, read beside the engine.
std::vector<std::string> Spalten(const std::string& pfad, const char* tabelle) {
    sqlite3* db = nullptr;
    std::vector<std::string> aus;
    sqlite3_open_v2(pfad.c_str(), &db, SQLITE_OPEN_READONLY, nullptr);
    sqlite3_stmt* s = nullptr;
    sqlite3_prepare_v2(db, "SELECT name FROM pragma_table_info(?)", -1, &s, nullptr);
    sqlite3_bind_text(s, 1, tabelle, -1, SQLITE_STATIC);
    while (sqlite3_step(s) == SQLITE_ROW) aus.emplace_back(reinterpret_cast<const char*>(sqlite3_column_text(s, 0)));
    sqlite3_finalize(s);
    sqlite3_close(db);
    return aus;
}

struct Feldlöschung : ::testing::Test {
    TempVerzeichnis ordner;
    WorkspacePtr ws = CreateWorkspace(u"", u"admin", u"");

    // Kunden: a key, unique and plain indexes, fields of several types, 200 rows with
    // Nulls; the field "Später" comes by ALTER like the search's bookkeeping columns.
    DatabasePtr Anlegen(const std::string& datei) {
        auto db = ws->CreateDatabase(ausUtf8(ordner / datei));
        auto t = db->CreateTableDef(u"Kunden");
        auto id = t->CreateField(u"ID", dbLong);
        id->Attributes(dbAutoIncrField);
        t->Fields().Append(id);
        t->Fields().Append(t->CreateField(u"Name", dbText, 40));
        t->Fields().Append(t->CreateField(u"Ort", dbText, 30));
        t->Fields().Append(t->CreateField(u"Notiz", dbMemo));
        t->Fields().Append(t->CreateField(u"Umsatz", dbCurrency));
        t->Fields().Append(t->CreateField(u"Datum", dbDate));
        t->Fields().Append(t->CreateField(u"rowid", dbLong));  // a user's name the engine must keep apart
        const struct {
            const char16_t* name;
            std::vector<const char16_t*> felder;
            bool primär, eindeutig;
        } indizes[] = {{u"PK", {u"ID"}, true, true},
                       {u"NameOrt", {u"Name", u"Ort"}, false, true},
                       {u"Ort", {u"Ort"}, false, false}};
        for (auto& i : indizes) {
            auto ix = t->CreateIndex(i.name);
            for (auto* f : i.felder) ix->Fields().Append(ix->CreateField(f));
            ix->Primary(i.primär);
            ix->Unique(i.eindeutig);
            t->Indexes().Append(ix);
        }
        db->TableDefs().Append(t);
        t->Fields().Append(t->CreateField(u"Später", dbLong));
        auto rs = db->OpenRecordset(u"Kunden");
        for (int i = 0; i < 200; ++i) {
            rs->AddNew();
            rs->Fields()[u"Name"]->Value(Variante(u"Name " + ausUtf8(std::to_string(i % 50))));
            rs->Fields()[u"Ort"]->Value(Variante(u"Ort " + ausUtf8(std::to_string(i))));
            if (i % 3) rs->Fields()[u"Notiz"]->Value(Variante(Text(static_cast<size_t>(i), u'n')));
            rs->Fields()[u"Umsatz"]->Value(Variante(i * 1.25));
            if (i % 4) rs->Fields()[u"Datum"]->Value(Variante::Datum(45000 + i));
            rs->Fields()[u"rowid"]->Value(Variante(1000 - i));
            rs->Fields()[u"Später"]->Value(Variante(i));
            rs->Update();
        }
        // Holes in the rowids: dropping columns must keep them, not renumber.
        db->Execute(u"DELETE * FROM [Kunden] WHERE [ID] = 7 OR [ID] = 100");
        return db;
    }
};
}  // namespace

TEST_F(Feldlöschung, MehrereLöschungenGebenDieselbeTabelleWieEinzelne) {
    const std::vector<const char16_t*> weg = {u"Notiz", u"Später", u"rowid", u"Datum"};
    auto einzeln = Anlegen("einzeln.db");
    for (auto* f : weg) {
        einzeln->TableDefs()[u"Kunden"]->Fields().Delete(f);
        einzeln->Flush();  // each drop carried out by itself
    }
    auto zusammen = Anlegen("zusammen.db");
    auto rs = zusammen->OpenRecordset(u"SELECT * FROM [Kunden] ORDER BY [Ort]");
    rs->FindFirst(u"[Ort] = 'Ort 150'");
    const int64_t lesezeichen = rs->Bookmark();
    for (auto* f : weg) zusammen->TableDefs()[u"Kunden"]->Fields().Delete(f);
    EXPECT_EQ(zusammen->TableDefs()[u"Kunden"]->Fields().Position(u"Notiz"), -1);  // gone at once
    // Reading and writing before anything else: the dropped fields are not there.
    ErwartetGleich(Ansehen(zusammen, u"Kunden"), Ansehen(einzeln, u"Kunden"));
    for (auto& db : {einzeln, zusammen}) {
        auto neu = db->OpenRecordset(u"Kunden");
        neu->AddNew();
        neu->Fields()[u"Name"]->Value(Variante(u"Neu"));
        neu->Fields()[u"Ort"]->Value(Variante(u"Neustadt"));
        neu->Update();
    }
    ErwartetGleich(Ansehen(zusammen, u"Kunden"), Ansehen(einzeln, u"Kunden"));
    // A field of a dropped name comes back empty; the structure survives the close.
    for (auto& db : {einzeln, zusammen}) {
        auto t = db->TableDefs()[u"Kunden"];
        t->Fields().Append(t->CreateField(u"Notiz", dbText, 20));
    }
    ErwartetGleich(Ansehen(zusammen, u"Kunden"), Ansehen(einzeln, u"Kunden"));
    rs->Bookmark(lesezeichen);
    auto zeile = zusammen->OpenRecordset(u"Kunden");
    zeile->Bookmark(lesezeichen);
    EXPECT_EQ(zeile->Fields()[u"Ort"]->Value().text(), u"Ort 150");
    EXPECT_TRUE(zeile->Fields()[u"Notiz"]->Value().istNull());
    zeile.reset();
    rs.reset();
    einzeln->Close();
    zusammen->Close();
    const std::vector<std::string> rest = {"ID", "Name", "Ort", "Umsatz", "Notiz"};
    EXPECT_EQ(Spalten(ordner / "zusammen.db", "Kunden"), rest);
    EXPECT_EQ(Spalten(ordner / "einzeln.db", "Kunden"), rest);
    einzeln = ws->OpenDatabase(ausUtf8(ordner / "einzeln.db"));
    zusammen = ws->OpenDatabase(ausUtf8(ordner / "zusammen.db"));
    ErwartetGleich(Ansehen(zusammen, u"Kunden"), Ansehen(einzeln, u"Kunden"));
    // The indexes still hold: the key, and Name with Ort, refuse a second row.
    auto doppelt = zusammen->OpenRecordset(u"Kunden");
    doppelt->AddNew();
    doppelt->Fields()[u"ID"]->Value(Variante(1));
    doppelt->Fields()[u"Name"]->Value(Variante(u"x"));
    EXPECT_EQ(FehlerVon([&] { doppelt->Update(); }), 3022);
    doppelt->AddNew();
    doppelt->Fields()[u"Name"]->Value(Variante(u"NAME 1"));
    doppelt->Fields()[u"Ort"]->Value(Variante(u"ort 1"));
    EXPECT_EQ(FehlerVon([&] { doppelt->Update(); }), 3022);
}

TEST_F(Feldlöschung, LöschungenInTransaktionenUndZwischenTabellen) {
    auto db = Anlegen("t.db");
    auto t = db->CreateTableDef(u"Zweite");
    for (auto* n : {u"a", u"b", u"c"}) t->Fields().Append(t->CreateField(n, dbLong));
    db->TableDefs().Append(t);
    const Bild vorher = Ansehen(db, u"Kunden");
    // Undone with the transaction: the fields are back with their values.
    ws->BeginTrans();
    db->TableDefs()[u"Kunden"]->Fields().Delete(u"Notiz");
    db->TableDefs()[u"Kunden"]->Fields().Delete(u"Datum");
    ws->Rollback();
    ErwartetGleich(Ansehen(db, u"Kunden"), vorher);
    // Drops on two tables in turn, kept by the commit.
    ws->BeginTrans();
    db->TableDefs()[u"Kunden"]->Fields().Delete(u"Notiz");
    db->TableDefs()[u"Zweite"]->Fields().Delete(u"a");
    db->TableDefs()[u"Kunden"]->Fields().Delete(u"Datum");
    db->TableDefs()[u"Zweite"]->Fields().Delete(u"c");
    ws->CommitTrans();
    // A table with drops waiting can go.
    db->TableDefs()[u"Kunden"]->Fields().Delete(u"Umsatz");
    db->TableDefs()[u"Kunden"]->Fields().Delete(u"Später");
    db->TableDefs().Delete(u"Kunden");
    db->Close();
    EXPECT_EQ(Spalten(ordner / "t.db", "Zweite"), std::vector<std::string>{"b"});
    EXPECT_TRUE(Spalten(ordner / "t.db", "Kunden").empty());
}

TEST_F(Feldlöschung, FehlerKommenBeimAufruf) {
    auto db = Anlegen("f.db");
    // A foreign table with a check over two of its columns: SQLite refuses that drop.
    db->Close();
    {
        sqlite3* roh = nullptr;
        sqlite3_open((ordner / "f.db").c_str(), &roh);
        sqlite3_exec(roh,
                     "CREATE TABLE fremd(a TEXT, b INTEGER, c INTEGER, CHECK (b <> c)); "
                     "INSERT INTO fremd VALUES('x', 1, 2);",
                     nullptr, nullptr, nullptr);
        sqlite3_close(roh);
    }
    db = ws->OpenDatabase(ausUtf8(ordner / "f.db"));
    auto t = db->TableDefs()[u"Kunden"];
    t->Fields().Delete(u"Notiz");  // one waiting while the others fail
    const struct {
        const char16_t *tabelle, *feld;
        int32_t fehler;
    } fälle[] = {{u"Kunden", u"Ort", 3280},
                 {u"Kunden", u"ID", 3280},
                 {u"Kunden", u"fehlt", 3265},
                 {u"fremd", u"b", 3000},
                 {u"Kunden", u"Notiz", 3265}};
    for (auto& f : fälle) {
        auto td = db->TableDefs()[f.tabelle];
        const int32_t vorher = td->Fields().Count();
        EXPECT_EQ(FehlerVon([&] { td->Fields().Delete(f.feld); }), f.fehler) << nachUtf8(f.feld);
        EXPECT_EQ(td->Fields().Count(), vorher) << nachUtf8(f.feld);
    }
    // The foreign table's other columns go, typed as they were.
    db->TableDefs()[u"fremd"]->Fields().Delete(u"a");
    EXPECT_EQ(db->OpenRecordset(u"fremd")->Fields()[u"c"]->Value().alsLong(), 2);
    // The last field cannot go.
    auto z = db->CreateTableDef(u"Z");
    z->Fields().Append(z->CreateField(u"a", dbLong));
    z->Fields().Append(z->CreateField(u"b", dbLong));
    db->TableDefs().Append(z);
    z->Fields().Delete(u"a");
    EXPECT_NE(FehlerVon([&] { z->Fields().Delete(u"b"); }), 0);
    EXPECT_EQ(z->Fields().Count(), 1);
    db->Close();
    EXPECT_EQ(Spalten(ordner / "f.db", "Z"), std::vector<std::string>{"b"});
    EXPECT_EQ(Spalten(ordner / "f.db", "fremd"), (std::vector<std::string>{"b", "c"}));
    EXPECT_EQ(Spalten(ordner / "f.db", "Kunden").size(), 7u);
    // Read-only: refused at the call.
    db = ws->OpenDatabase(ausUtf8(ordner / "f.db"), false, true);
    EXPECT_EQ(FehlerVon([&] { db->TableDefs()[u"Kunden"]->Fields().Delete(u"Datum"); }), 3027);
    EXPECT_EQ(db->TableDefs()[u"Kunden"]->Fields().Count(), 7);
}
