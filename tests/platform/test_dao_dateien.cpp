// Files the engine is asked to open: broken, foreign, locked, protected; connect strings.
#include <gtest/gtest.h>

#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "common/AlsNobody.h"
#include "common/Fehlerfang.h"
#include "common/TempVerzeichnis.h"
#include "platform/basic/Fehler.h"
#include "platform/dao/Dao.h"
#include "platform/dao/DaoIntern.h"

using namespace dao;

namespace {
std::string Inhalt(const std::string& pfad) {
    std::ifstream f(pfad, std::ios::binary);
    std::stringstream s;
    s << f.rdbuf();
    return s.str();
}

void Schreiben(const std::string& pfad, const std::string& inhalt) { std::ofstream(pfad, std::ios::binary) << inhalt; }

// An SQLite file made by another program, with one table and a row.
void FremdeDatei(const std::string& pfad) {
    sqlite3* db = nullptr;
    sqlite3_open(pfad.c_str(), &db);
    sqlite3_exec(db, "CREATE TABLE kunden(name TEXT, nr INTEGER, wert REAL); INSERT INTO kunden VALUES('a', 1, 2.5);",
                 nullptr, nullptr, nullptr);
    sqlite3_close(db);
}

struct Dateien : ::testing::Test {
    TempVerzeichnis ordner;
    WorkspacePtr ws = CreateWorkspace(u"", u"admin", u"");
    Text Pfad(const std::string& name) { return ausUtf8(ordner / name); }
};
}  // namespace

TEST_F(Dateien, KaputteUndFremdeDateienGebenEinenFehlerUndBleibenUnberührt) {
    Schreiben(ordner / "text.db", "Dies ist keine Datenbank, nur ein Text mit etwas Länge.\n");
    Schreiben(ordner / "kopf.db", std::string("SQLite format 3\0", 16) + std::string(300, 'x'));
    {
        auto db = ws->CreateDatabase(Pfad("voll.db"));
        auto t = db->CreateTableDef(u"T");
        t->Fields().Append(t->CreateField(u"a", dbMemo));
        db->TableDefs().Append(t);
        auto rs = db->OpenRecordset(u"T");
        ws->BeginTrans();
        for (int i = 0; i < 200; ++i) {
            rs->AddNew();
            rs->Fields()[0]->Value(Variante(Text(500, u'x')));
            rs->Update();
        }
        ws->CommitTrans();
        db->Close();
    }
    const std::string voll = Inhalt(ordner / "voll.db");
    Schreiben(ordner / "halb.db", voll.substr(0, voll.size() / 3));
    std::filesystem::create_directory(ordner / "ordner.db");
    const struct {
        const char* datei;
        int32_t fehler;
    } fälle[] = {{"text.db", 3343}, {"kopf.db", 3343}, {"halb.db", 3343}, {"ordner.db", 3170}, {"fehlt.db", 3024}};
    for (auto& f : fälle) {
        const std::string vorher = Inhalt(ordner / f.datei);
        auto [nummer, text] = FehlerMitText([&] {
            auto db = ws->OpenDatabase(Pfad(f.datei));
            // A truncated file may open; reading its rows must fail then.
            for (auto& td : db->TableDefs().liste()) db->OpenRecordset(td->Name())->MoveLast();
        });
        EXPECT_EQ(nummer, f.fehler) << f.datei;
        EXPECT_FALSE(text.empty());
        EXPECT_EQ(Inhalt(ordner / f.datei), vorher) << f.datei;
    }
    // A foreign SQLite file: read, listed with fields from its declared types, not written.
    FremdeDatei(ordner / "fremd.db");
    const std::string vorher = Inhalt(ordner / "fremd.db");
    auto db = ws->OpenDatabase(Pfad("fremd.db"));
    auto t = db->TableDefs()[u"kunden"];
    EXPECT_EQ(t->Fields()[u"nr"]->Type(), dbLong);
    EXPECT_EQ(t->Fields()[u"wert"]->Type(), dbDouble);
    auto rs = db->OpenRecordset(u"SELECT * FROM [kunden] ORDER BY [name]");
    EXPECT_EQ(rs->Fields()[u"name"]->Value().text(), u"a");
    db->Close();
    EXPECT_EQ(Inhalt(ordner / "fremd.db"), vorher);
}

TEST_F(Dateien, GesperrteGeschützteUndUnlesbareDateien) {
    FremdeDatei(ordner / "f.db");
    {  // another program holds the file locked for writing
        sqlite3* fremd = nullptr;
        sqlite3_open((ordner / "f.db").c_str(), &fremd);
        sqlite3_exec(fremd, "BEGIN EXCLUSIVE; INSERT INTO kunden VALUES('b', 2, 0);", nullptr, nullptr, nullptr);
        EXPECT_EQ(FehlerMitText([&] { ws->OpenDatabase(Pfad("f.db")); }).first, 3260);
        sqlite3_exec(fremd, "ROLLBACK", nullptr, nullptr, nullptr);
        sqlite3_close(fremd);
    }
    {  // opened read-only on request
        const std::string vorher = Inhalt(ordner / "f.db");
        auto db = ws->OpenDatabase(Pfad("f.db"), false, true);
        EXPECT_EQ(db->OpenRecordset(u"kunden")->RecordCount(), 1);
        EXPECT_EQ(FehlerMitText([&] { db->Execute(u"DELETE * FROM [kunden]"); }).first, 3027);
        db->Close();
        EXPECT_EQ(Inhalt(ordner / "f.db"), vorher);
    }
    // Write-protected on disk: an open for writing fails, reading still works, nothing written.
    EXPECT_TRUE(OhneRootRechte(
        [&] {
            ::chmod((ordner / "f.db").c_str(), 0444);
            const std::string vorher = Inhalt(ordner / "f.db");
            auto [nummer, text] = FehlerMitText([&] { ws->OpenDatabase(Pfad("f.db")); });
            EXPECT_EQ(nummer, 3051);
            EXPECT_NE(text.find(u"schreibgeschützt"), Text::npos);
            auto db = ws->OpenDatabase(Pfad("f.db"), false, true);
            EXPECT_EQ(db->OpenRecordset(u"kunden")->RecordCount(), 1);
            db->Close();
            EXPECT_EQ(Inhalt(ordner / "f.db"), vorher);
            ::chmod((ordner / "f.db").c_str(), 0);
            EXPECT_EQ(FehlerMitText([&] { ws->OpenDatabase(Pfad("f.db")); }).first, 3044);
        },
        {ordner.pfad(), ordner / "f.db"}));
}

TEST_F(Dateien, VerbindungstexteUndPasswörter) {
    Schreiben(ordner / "k.mdb", std::string(2048, '\x01'));
    auto [nummer, text] = FehlerMitText([&] { ws->OpenDatabase(Pfad("k.mdb"), false, false, u";PWD=geheim;x;"); });
    EXPECT_EQ(nummer, 3343);                      // the Access driver refuses what is not Jet
    EXPECT_EQ(text.find(u"geheim"), Text::npos);  // a password is never shown
    EXPECT_EQ(FehlerMitText([&] { ws->OpenDatabase(Pfad("k.mdb"), false, false, u"Excel 5.0;"); }).first, 3274);
    // A native file opens with a password connect string, as Access files are opened.
    ws->CreateDatabase(Pfad("n.db"))->Close();
    ws->OpenDatabase(Pfad("n.db"), false, false, u";PWD=;")->Close();
    const struct {
        const char16_t *verbindung, *passwort;
    } fälle[] = {{u";PWD=;", u""},           {u";PWD=a;b;", u"a;b"}, {u";PWD=ohne", u"ohne"},
                 {u";pwd=GroSS;", u"GroSS"}, {u";PWD=;;", u";"},     {u"", u""}};
    for (auto& f : fälle) EXPECT_EQ(detail::PasswortLesen(f.verbindung), f.passwort) << nachUtf8(f.verbindung);
}
