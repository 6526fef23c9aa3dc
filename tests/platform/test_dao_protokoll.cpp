// A native file while the engine holds it: written through a write-ahead log, made
// durable at every flush, given back in its own journal mode at the close.
#include <gtest/gtest.h>

#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <map>
#include <string>

#include "common/Dateiinhalt.h"
#include "common/Fehlerfang.h"
#include "common/TempVerzeichnis.h"
#include "platform/dao/Dao.h"
#include "platform/dao/DaoIntern.h"

using namespace dao;

namespace {
bool Da(const std::string& pfad) { return std::filesystem::exists(pfad); }

// Bytes 18 and 19 of the header: 2 while the file is in WAL mode, 1 otherwise.
int Kopfart(const std::string& pfad) {
    const std::string k = lesen(pfad);
    return k.size() >= 20 && k[18] == k[19] ? k[18] : -1;
}

// A file of another program, in the given journal mode, with table T(a) of n rows.
void Anlegen(const std::string& pfad, const char* modus, int n) {
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(pfad.c_str(), &db), SQLITE_OK);
    const std::string sql = std::string("PRAGMA journal_mode=") + modus + "; CREATE TABLE T(a INTEGER);";
    ASSERT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK);
    for (int i = 0; i < n; ++i) sqlite3_exec(db, "INSERT INTO T VALUES(1)", nullptr, nullptr, nullptr);
    sqlite3_close(db);
}

// A plain SQLite reader: the journal mode it sees and the rows of T.
std::pair<std::string, int> Fremdblick(const std::string& pfad) {
    sqlite3* db = nullptr;
    std::pair<std::string, int> aus{"?", -1};
    if (sqlite3_open_v2(pfad.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr) == SQLITE_OK) {
        sqlite3_stmt* s = nullptr;
        if (sqlite3_prepare_v2(db, "PRAGMA journal_mode", -1, &s, nullptr) == SQLITE_OK &&
            sqlite3_step(s) == SQLITE_ROW)
            aus.first = reinterpret_cast<const char*>(sqlite3_column_text(s, 0));
        sqlite3_finalize(s);
        if (sqlite3_prepare_v2(db, "SELECT count(*) FROM T", -1, &s, nullptr) == SQLITE_OK &&
            sqlite3_step(s) == SQLITE_ROW)
            aus.second = sqlite3_column_int(s, 0);
        sqlite3_finalize(s);
    }
    sqlite3_close(db);
    return aus;
}

void Zeilen(const DatabasePtr& db, int n) {
    auto rs = db->OpenRecordset(u"T");
    for (int i = 0; i < n; ++i) {
        rs->AddNew();
        rs->Fields()[0]->Value(Variante(i));
        rs->Update();
    }
}

struct Protokoll : ::testing::Test {
    TempVerzeichnis ordner;
    WorkspacePtr ws = CreateWorkspace(u"", u"admin", u"");
    std::string pfad = ordner / "d.db";
    DatabasePtr Öffnen(bool exklusiv = false, bool nurLesen = false) {
        return ws->OpenDatabase(ausUtf8(pfad), exklusiv, nurLesen);
    }
};
}  // namespace

TEST_F(Protokoll, SchreibtImLogUndGibtDieDateiInIhrerArtZurück) {
    const struct {
        const char* modus;
        bool exklusiv;
        int kopf;  // of the file before and after
    } fälle[] = {{"delete", false, 1}, {"wal", false, 2}, {"delete", true, 1}, {"wal", true, 2}};
    for (const auto& f : fälle) {
        SCOPED_TRACE(std::string(f.modus) + (f.exklusiv ? " exklusiv" : ""));
        std::filesystem::remove(pfad);
        Anlegen(pfad, f.modus, 3);
        ASSERT_EQ(Kopfart(pfad), f.kopf);
        auto db = Öffnen(f.exklusiv);
        ws->BeginTrans();
        Zeilen(db, 20);
        ws->CommitTrans();
        EXPECT_EQ(Kopfart(pfad), 2);
        EXPECT_TRUE(Da(pfad + "-wal"));
        db->Flush();
        Zeilen(db, 5);  // outside a transaction too
        db->Close();
        EXPECT_EQ(Kopfart(pfad), f.kopf);
        EXPECT_FALSE(Da(pfad + "-wal"));
        EXPECT_FALSE(Da(pfad + "-shm"));
        EXPECT_EQ(Fremdblick(pfad), std::make_pair(std::string(f.kopf == 2 ? "wal" : "delete"), 28));
    }
    // A database the engine makes starts in SQLite's own mode and ends in it.
    std::filesystem::remove(pfad);
    auto db = ws->CreateDatabase(ausUtf8(pfad));
    auto t = db->CreateTableDef(u"T");
    t->Fields().Append(t->CreateField(u"a", dbLong));
    db->TableDefs().Append(t);
    Zeilen(db, 2);
    EXPECT_EQ(Kopfart(pfad), 2);
    db->Close();
    EXPECT_EQ(Kopfart(pfad), 1);
    EXPECT_FALSE(Da(pfad + "-wal"));
    EXPECT_EQ(Fremdblick(pfad), std::make_pair(std::string("delete"), 2));
    sqlite3* roh = nullptr;  // the log came after the text encoding was chosen
    sqlite3_open(pfad.c_str(), &roh);
    sqlite3_stmt* s = nullptr;
    sqlite3_prepare_v2(roh, "PRAGMA encoding", -1, &s, nullptr);
    ASSERT_EQ(sqlite3_step(s), SQLITE_ROW);
    EXPECT_STREQ(reinterpret_cast<const char*>(sqlite3_column_text(s, 0)), "UTF-16le");
    sqlite3_finalize(s);
    sqlite3_close(roh);
}

// The log is copied into the file beside the writer: with limits of a few pages the
// copying thread is woken at nearly every commit and the writer waits for it often,
// also while a read runs across the commits and holds the copies back.
TEST_F(Protokoll, DasLogWirdNebenDemSchreibenKopiert) {
    struct Grenzen {
        int a = detail::LogSeitenAnstoß, h = detail::LogSeitenHöchstens;
        ~Grenzen() {
            detail::LogSeitenAnstoß = a;
            detail::LogSeitenHöchstens = h;
        }
    } grenzen;
    detail::LogSeitenAnstoß = 2;
    detail::LogSeitenHöchstens = 6;
    sqlite3* db0 = nullptr;
    ASSERT_EQ(sqlite3_open(pfad.c_str(), &db0), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(db0, "CREATE TABLE T(a INTEGER, b TEXT)", nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close(db0);
    auto db = Öffnen();
    auto rs = db->OpenRecordset(u"T");
    const Text lang(400, u'x');
    auto zeilen = [&](int von, int n) {
        ws->BeginTrans();
        for (int i = von; i < von + n; ++i) {
            rs->AddNew();
            rs->Fields()[0]->Value(Variante(i));
            rs->Fields()[1]->Value(Variante(lang));
            rs->Update();
        }
        ws->CommitTrans();
    };
    for (int t = 0; t < 60; ++t) zeilen(t * 20, 20);
    {  // a sorted read that stays open across further commits
        auto leser = db->OpenRecordset(u"SELECT * FROM [T] ORDER BY [a] DESC");
        for (int t = 60; t < 120; ++t) {
            zeilen(t * 20, 20);
            leser->MoveNext();
        }
        EXPECT_EQ(leser->Fields()[0]->Value().alsLong(), 1199 - 60);
    }
    for (int t = 120; t < 150; ++t) zeilen(t * 20, 20);
    EXPECT_EQ(Fremdblick(pfad).second, 3000);
    db->Flush();
    // What was flushed is in the file itself.
    const std::string kopie = ordner / "kopie.db";
    schreiben(kopie, lesen(pfad));
    EXPECT_EQ(Fremdblick(kopie).second, 3000);
    rs->Close();
    db->Close();
    EXPECT_FALSE(Da(pfad + "-wal"));
    EXPECT_FALSE(Da(pfad + "-shm"));
    EXPECT_EQ(Fremdblick(pfad), std::make_pair(std::string("delete"), 3000));
}

TEST_F(Protokoll, WerNurLiestÄndertDieDateiNicht) {
    Anlegen(pfad, "delete", 4);
    const std::string vorher = lesen(pfad);
    for (bool nurLesen : {true, false}) {
        SCOPED_TRACE(nurLesen ? "schreibgeschützt geöffnet" : "zum Schreiben geöffnet");
        auto db = Öffnen(false, nurLesen);
        auto rs = db->OpenRecordset(u"SELECT * FROM [T] ORDER BY [a]");
        rs->MoveLast();
        EXPECT_EQ(rs->RecordCount(), 4);
        if (nurLesen) {
            EXPECT_EQ(FehlerVon([&] { db->Execute(u"DELETE * FROM [T]"); }), 3027);
            EXPECT_EQ(FehlerVon([&] {
                          ws->BeginTrans();
                          Zeilen(db, 1);
                      }),
                      3027);
            ws->Rollback();
        }
        db->Flush();
        EXPECT_FALSE(Da(pfad + "-wal"));
        db->Close();
        EXPECT_EQ(lesen(pfad), vorher);
        EXPECT_FALSE(Da(pfad + "-wal"));
        EXPECT_FALSE(Da(pfad + "-shm"));
    }
}

TEST_F(Protokoll, GespeichertesÜberstehtEinenAbsturz) {
    Anlegen(pfad, "delete", 0);
    const pid_t kind = ::fork();
    ASSERT_GE(kind, 0);
    if (kind == 0) {  // writes, flushes, writes more, and dies without closing
        int status = 1;
        try {
            auto db = Öffnen();
            ws->BeginTrans();
            Zeilen(db, 50);
            ws->CommitTrans();
            db->Flush();
            Zeilen(db, 7);
            ::_exit(0);
        } catch (...) {
        }
        ::_exit(status);
    }
    int status = -1;
    ASSERT_EQ(::waitpid(kind, &status, 0), kind);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    ASSERT_TRUE(Da(pfad + "-wal"));  // left behind by the crash
    // What was flushed is in the file itself, without the log beside it.
    const std::string kopie = ordner / "kopie.db";
    schreiben(kopie, lesen(pfad));
    EXPECT_GE(Fremdblick(kopie).second, 50);
    // SQLite recovers the rest from the log at the next open.
    auto db = Öffnen();
    auto rs = db->OpenRecordset(u"T");
    rs->MoveLast();
    EXPECT_EQ(rs->RecordCount(), 57);
    rs->Close();
    db->Close();
    EXPECT_FALSE(Da(pfad + "-wal"));
    EXPECT_FALSE(Da(pfad + "-shm"));
    EXPECT_EQ(Fremdblick(pfad).second, 57);
}

TEST_F(Protokoll, EinAndererProzessHältDieDateiOffen) {
    for (bool schließtVorher : {true, false}) {
        SCOPED_TRACE(schließtVorher ? "der andere schließt zuerst" : "der andere hält die Datei über das Schließen");
        std::filesystem::remove(pfad);
        Anlegen(pfad, "delete", 1);
        sqlite3* andere = nullptr;
        ASSERT_EQ(sqlite3_open(pfad.c_str(), &andere), SQLITE_OK);
        auto zählen = [&] {
            sqlite3_stmt* s = nullptr;
            sqlite3_prepare_v2(andere, "SELECT count(*) FROM T", -1, &s, nullptr);
            const int n = sqlite3_step(s) == SQLITE_ROW ? sqlite3_column_int(s, 0) : -1;
            sqlite3_finalize(s);
            return n;
        };
        EXPECT_EQ(zählen(), 1);
        auto db = Öffnen();
        ws->BeginTrans();
        Zeilen(db, 10);
        ws->CommitTrans();
        db->Flush();
        EXPECT_EQ(zählen(), 11);  // the other sees what the engine committed
        if (schließtVorher) sqlite3_close(andere);
        EXPECT_EQ(FehlerVon([&] { db->Close(); }), 0);
        if (!schließtVorher) {
            EXPECT_EQ(zählen(), 11);
            sqlite3_close(andere);
        } else {
            EXPECT_EQ(Kopfart(pfad), 1);
        }
        EXPECT_FALSE(Da(pfad + "-wal"));
        EXPECT_FALSE(Da(pfad + "-shm"));
        EXPECT_EQ(Fremdblick(pfad).second, 11);
    }
}

namespace {
// The default file system without shared memory, as some network file systems are:
// SQLite cannot keep a log there unless the file is held exclusively.
sqlite3_vfs* gEcht = nullptr;
std::map<const sqlite3_io_methods*, sqlite3_io_methods> gOhneShm;  // by the real methods
int ÖffnenOhneShm(sqlite3_vfs*, const char* name, sqlite3_file* datei, int flags, int* aus) {
    const int rc = gEcht->xOpen(gEcht, name, datei, flags, aus);
    if (rc == SQLITE_OK && datei->pMethods) {
        auto [it, neu] = gOhneShm.try_emplace(datei->pMethods, *datei->pMethods);
        it->second.iVersion = 1;
        datei->pMethods = &it->second;
    }
    return rc;
}
}  // namespace

TEST_F(Protokoll, OhneGemeinsamenSpeicherBleibtDieDateiInIhrerArt) {
    gEcht = sqlite3_vfs_find(nullptr);
    sqlite3_vfs ohne = *gEcht;
    ohne.zName = "purivo_ohne_shm";
    ohne.xOpen = ÖffnenOhneShm;
    ASSERT_EQ(sqlite3_vfs_register(&ohne, 1), SQLITE_OK);
    Anlegen(pfad, "delete", 2);
    {
        auto db = Öffnen();
        ws->BeginTrans();
        Zeilen(db, 30);
        ws->CommitTrans();
        EXPECT_EQ(Kopfart(pfad), 1);
        EXPECT_FALSE(Da(pfad + "-wal"));
        db->Flush();
        db->Close();
    }
    sqlite3_vfs_register(gEcht, 1);
    sqlite3_vfs_unregister(&ohne);
    EXPECT_EQ(Kopfart(pfad), 1);
    EXPECT_EQ(Fremdblick(pfad), std::make_pair(std::string("delete"), 32));
}
