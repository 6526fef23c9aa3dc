// Dropping fields: several drops on one table give the same table as one at a time,
// with the errors at the call as before.
#include <gtest/gtest.h>

#include <sqlite3.h>

#include <algorithm>
#include <cstring>
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

// The first column of every row of a query.
std::vector<std::string> Liste(sqlite3* db, const std::string& sql) {
    std::vector<std::string> aus;
    sqlite3_stmt* s = nullptr;
    EXPECT_EQ(sqlite3_prepare_v2(db, sql.c_str(), -1, &s, nullptr), SQLITE_OK) << sql;
    while (sqlite3_step(s) == SQLITE_ROW) {
        const auto* t = sqlite3_column_text(s, 0);
        aus.emplace_back(t ? reinterpret_cast<const char*>(t) : "(null)");
    }
    sqlite3_finalize(s);
    return aus;
}

// The table's columns as SQLite holds them, read beside the engine.
std::vector<std::string> Spalten(const std::string& pfad, const char* tabelle) {
    sqlite3* db = nullptr;
    sqlite3_open_v2(pfad.c_str(), &db, SQLITE_OPEN_READONLY, nullptr);
    auto aus = Liste(db, std::string("SELECT name FROM pragma_table_info('") + tabelle + "')");
    sqlite3_close(db);
    return aus;
}

// A table as SQLite holds it, read beside the engine: its columns in order but `ohne`,
// every row by rowid with each value's storage class, its indexes and the file's schema.
struct Rohbild {
    std::vector<std::string> spalten, zeilen, indizes, schema;
};

Rohbild RohAnsehen(const std::string& pfad, const std::string& tabelle, const std::vector<std::string>& ohne = {}) {
    Rohbild b;
    for (auto& s : Spalten(pfad, tabelle.c_str()))
        if (std::find(ohne.begin(), ohne.end(), s) == ohne.end()) b.spalten.push_back(s);
    sqlite3* db = nullptr;
    sqlite3_open_v2(pfad.c_str(), &db, SQLITE_OPEN_READONLY, nullptr);
    std::string zeile = "_rowid_";  // the rowid itself, unless a column takes the name
    for (auto& s : b.spalten) zeile += "||'|'||typeof(\"" + s + "\")||':'||quote(\"" + s + "\")";
    b.zeilen = Liste(db, "SELECT " + zeile + " FROM \"" + tabelle + "\" ORDER BY _rowid_");
    b.indizes = Liste(db, "SELECT name||':'||sql FROM sqlite_master WHERE type='index' AND tbl_name='" + tabelle +
                              "' ORDER BY name");
    b.schema = Liste(db, "SELECT type||':'||name||':'||tbl_name||':'||coalesce(sql,'') FROM sqlite_master ORDER BY 1");
    sqlite3_close(db);
    return b;
}

// SQL run on the closed file; PURIVO compares bytes here, not as the engine does.
void RohAusführen(const std::string& pfad, const char* sql) {
    sqlite3* db = nullptr;
    sqlite3_open(pfad.c_str(), &db);
    sqlite3_create_collation(db, "PURIVO", SQLITE_UTF8, nullptr,
                             [](void*, int na, const void* a, int nb, const void* b) {
                                 const int c = std::memcmp(a, b, static_cast<size_t>(std::min(na, nb)));
                                 return c ? c : na - nb;
                             });
    char* fehler = nullptr;
    EXPECT_EQ(sqlite3_exec(db, sql, nullptr, nullptr, &fehler), SQLITE_OK) << (fehler ? fehler : "");
    sqlite3_free(fehler);
    sqlite3_close(db);
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

// Four drops or more at once copy the table: what SQLite holds after is what it held
// before without the columns, rowids (with their holes), storage classes and indexes alike.
TEST_F(Feldlöschung, GemeinsameLöschungBehältZeilenWerteUndIndizes) {
    const struct {
        const char* tabelle;
        const char* roh;  // made beside the engine, "" for none
        std::vector<const char16_t*> weg;
        const char16_t* merkmal;  // a kept field to find by bookmark, or none
        size_t zeilen;
    } fälle[] = {
        {"Kunden", "", {u"Notiz", u"Später", u"Umsatz", u"Datum"}, u"ID", 198},
        {"Kunden", "", {u"Datum", u"rowid", u"Notiz", u"Umsatz", u"Später"}, u"Ort", 198},
        // A table made beside the engine may name a column rowid: the copy must still
        // keep the rows' own rowids.
        {"Roh",
         "CREATE TABLE \"Roh\"(\"rowid\",\"a\",\"oid\",\"b\",\"c\",\"d\"); INSERT INTO "
         "\"Roh\"(_rowid_,\"rowid\",a,oid,b) VALUES(5,1,'x',NULL,2),(9,2,3.5,'y',NULL),(40,NULL,'z',7,'w');",
         {u"a", u"b", u"c", u"d"},
         nullptr,
         3},
        // All three names taken: the columns go one by one.
        {"Roh",
         "CREATE TABLE \"Roh\"(\"rowid\",\"_rowid_\",\"oid\",\"a\",\"b\",\"c\",\"d\"); INSERT INTO "
         "\"Roh\"(\"rowid\",\"_rowid_\",\"oid\",a,b) VALUES(1,2,3,'x',4),(5,6,7,NULL,8); DELETE FROM \"Roh\" "
         "WHERE \"b\"=4;",
         {u"a", u"b", u"c", u"d"},
         nullptr,
         1},
    };
    int nr = 0;
    for (auto& fall : fälle) {
        const std::string datei = "gemeinsam" + std::to_string(++nr) + ".db", pfad = ordner / datei;
        SCOPED_TRACE(datei);
        Anlegen(datei)->Close();
        if (*fall.roh) RohAusführen(pfad, fall.roh);
        std::vector<std::string> weg;
        // The engine stores its user's field rowid as ~rowid.
        for (auto* f : fall.weg) weg.push_back(nachUtf8(Text(f) == u"rowid" ? u"~rowid" : f));
        const Rohbild vorher = RohAnsehen(pfad, fall.tabelle, weg);
        auto db = ws->OpenDatabase(ausUtf8(pfad));
        const Text tabelle = ausUtf8(fall.tabelle);
        RecordsetPtr rs;
        std::vector<std::pair<int64_t, Text>> marken;
        if (fall.merkmal) {
            rs = db->OpenRecordset(u"SELECT * FROM [" + tabelle + u"] ORDER BY [Name]");
            for (; !rs->EOF_(); rs->MoveNext())
                marken.emplace_back(rs->Bookmark(), rs->Fields()[fall.merkmal]->Value().alsText());
        }
        for (auto* f : fall.weg) db->TableDefs()[tabelle]->Fields().Delete(f);
        db->Flush();
        // The open recordset's bookmarks still find their rows.
        for (auto& [lesezeichen, wert] : marken) {
            rs->Bookmark(lesezeichen);
            EXPECT_EQ(rs->Fields()[fall.merkmal]->Value().alsText(), wert);
        }
        rs.reset();
        db->Close();
        const Rohbild nachher = RohAnsehen(pfad, fall.tabelle);
        EXPECT_EQ(nachher.spalten, vorher.spalten);
        EXPECT_EQ(nachher.zeilen, vorher.zeilen);
        EXPECT_EQ(nachher.indizes, vorher.indizes);
        EXPECT_EQ(nachher.zeilen.size(), fall.zeilen);
    }
}

// Four drops or more that fail undo all: the error comes once, the table stays as
// it was with the columns in it, unseen, and no trace of a copy is left.
TEST_F(Feldlöschung, MisslungeneGemeinsameLöschungLässtDieTabelle) {
    const struct {
        const char* roh;
        int32_t fehler;
    } fälle[] = {
        // An engine-named index the engine does not list, over a dropped column: SQLite
        // refuses the drop (a copy would index the name as a string).
        {"CREATE INDEX \"__pix\x1F"
         "Kunden\x1F"
         "Fremd\" ON \"Kunden\"(\"Datum\")",
         3000},
        // A unique index whose keys collide under the engine's collation, as after a
        // change of the collation: the copy cannot make it again, the drops succeed.
        {"INSERT INTO \"Kunden\"(\"ID\",\"Name\",\"Ort\") VALUES(500,'Zusatz','ORT 5'); CREATE UNIQUE INDEX "
         "\"__pix\x1F"
         "Kunden\x1F"
         "OrtGenau\" ON \"Kunden\"(\"Ort\" COLLATE PURIVO)",
         0},
    };
    int nr = 0;
    for (auto& fall : fälle) {
        const std::string datei = "misslungen" + std::to_string(++nr) + ".db", pfad = ordner / datei;
        SCOPED_TRACE(datei);
        Anlegen(datei)->Close();
        RohAusführen(pfad, fall.roh);
        const Rohbild vorher = RohAnsehen(pfad, "Kunden");
        const Rohbild ohne = RohAnsehen(pfad, "Kunden", {"Notiz", "Datum", "Später", "Umsatz"});
        auto db = ws->OpenDatabase(ausUtf8(pfad));
        auto t = db->TableDefs()[u"Kunden"];
        for (auto* f : {u"Notiz", u"Datum", u"Später", u"Umsatz"}) t->Fields().Delete(f);
        EXPECT_EQ(FehlerVon([&] { db->Flush(); }), fall.fehler);
        EXPECT_EQ(FehlerVon([&] { db->Flush(); }), 0);
        EXPECT_EQ(t->Fields().Count(), 4);
        EXPECT_EQ(db->OpenRecordset(u"SELECT * FROM [Kunden] WHERE [ID] = 6")->Fields()[u"Ort"]->Value().text(),
                  u"Ort 5");
        db->Close();
        const Rohbild nachher = RohAnsehen(pfad, "Kunden");
        if (fall.fehler == 0) {  // the columns gone, nothing else changed
            EXPECT_EQ(nachher.spalten, ohne.spalten);
            EXPECT_EQ(nachher.zeilen, ohne.zeilen);
            EXPECT_EQ(nachher.indizes, ohne.indizes);
            continue;
        }
        EXPECT_EQ(nachher.spalten, vorher.spalten);
        EXPECT_EQ(nachher.zeilen, vorher.zeilen);
        EXPECT_EQ(nachher.schema, vorher.schema);
    }
}
