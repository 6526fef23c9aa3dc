// The user's names never reach the working store's own namespace: columns named
// like SQLite's row address, tables named like the engine's bookkeeping, in every
// format.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "common/TempVerzeichnis.h"
#include "platform/basic/Fehler.h"
#include "platform/dao/Dao.h"
#include "platform/dao/storage/dbase/DbaseTreiber.h"
#include "platform/dao/storage/excel/ExcelTreiber.h"

using namespace dao;
namespace fs = std::filesystem;

namespace {
struct Format {
    const char* name;
    // Opens the database of the test in `tmp` (made on the first call).
    std::function<DatabasePtr(Workspace&, const TempVerzeichnis&)> öffnen;
};

const std::vector<Format> kFormate = {
    {"nativ",
     [](Workspace& ws, const TempVerzeichnis& tmp) {
         const std::string datei = tmp / "daten.sqlite";
         return fs::exists(datei) ? ws.OpenDatabase(ausUtf8(datei)) : ws.CreateDatabase(ausUtf8(datei));
     }},
    {"dBase",
     [](Workspace& ws, const TempVerzeichnis& tmp) {
         return ws.OpenDatabase(speicher::dbase::TreiberÖffnen(ausUtf8(tmp.pfad()), false), ausUtf8(tmp.pfad()));
     }},
    {"Excel",
     [](Workspace& ws, const TempVerzeichnis& tmp) {
         const std::string datei = tmp / "mappe.xls";
         if (!fs::exists(datei)) fs::copy_file(std::string(PURIVO_FIXTURES) + "/excel/Test97.xls", datei);
         return ws.OpenDatabase(speicher::excel::TreiberÖffnen(ausUtf8(datei), false), ausUtf8(datei));
     }},
};

// Table names that look like the engine's own or SQLite's; column names SQLite
// takes for the row address, in several spellings.
const std::vector<Text> kTabellen = {u"__purivo_spiegel", u"__purivo_tabellen", u"sqlite_daten"};
const std::vector<Text> kSpalten = {u"ROWID", u"oid", u"_RowID_", u"NAME"};

void Anlegen(Database& db, const Text& name) {
    auto t = db.CreateTableDef(name);
    t->Fields().Append(t->CreateField(kSpalten[0], dbLong));
    for (size_t i = 1; i < kSpalten.size(); ++i) t->Fields().Append(t->CreateField(kSpalten[i], dbText, 20));
    db.TableDefs().Append(t);
    auto rs = db.OpenRecordset(name);
    // The same value in the "rowid" column twice, and falling: neither may steer the rows.
    for (int32_t z : {7, 7, 3}) {
        rs->AddNew();
        rs->Fields()[0]->Value(Variante(z));
        rs->Fields()[1]->Value(Variante(u"o" + ausUtf8(std::to_string(z))));
        rs->Fields()[2]->Value(Variante(u"r"));
        rs->Fields()[3]->Value(Variante(name + ausUtf8(std::to_string(rs->RecordCount()))));
        rs->Update();
    }
    rs->Close();
}

std::vector<Text> Namen(Database& db, const Text& tabelle) {
    std::vector<Text> r;
    auto rs = db.OpenRecordset(tabelle);
    for (; !rs->EOF_(); rs->MoveNext()) r.push_back(rs->Fields()[u"NAME"]->Value().alsText());
    return r;
}

std::vector<Text> Tabellen(Database& db) {
    std::vector<Text> r;
    for (auto& t : db.TableDefs().liste())
        if (t->Attributes() == 0) r.push_back(t->Name());
    return r;
}
}  // namespace

TEST(Namensraum, EigeneNamenDesNutzersBleibenSeine) {
    for (const auto& format : kFormate) try {
            SCOPED_TRACE(format.name);
            const TempVerzeichnis tmp;
            auto ws = CreateWorkspace(u"", u"Admin", u"");
            const bool dbase = std::string(format.name) == "dBase";
            // dBase makes names of up to 8 characters; longer ones come from files named so.
            std::vector<Text> angelegt = kTabellen;
            if (dbase) angelegt = {u"T0", u"T1", u"T2"};
            std::vector<Text> vorher;
            {
                auto db = format.öffnen(*ws, tmp);
                vorher = Tabellen(*db);
                for (const auto& t : angelegt) Anlegen(*db, t);
                // One Delete removes one record, whatever the "rowid" column holds.
                auto rs = db->OpenRecordset(angelegt[0]);
                rs->Delete();
                EXPECT_EQ(Namen(*db, angelegt[0]), (std::vector<Text>{angelegt[0] + u"1", angelegt[0] + u"2"}));
                db->Close();
            }
            if (dbase)
                for (size_t i = 0; i < angelegt.size(); ++i)
                    fs::rename(tmp / (nachUtf8(angelegt[i]) + ".dbf"), tmp / (nachUtf8(kTabellen[i]) + ".dbf"));
            std::vector<Text> erwartet = vorher;
            erwartet.insert(erwartet.end(), kTabellen.begin(), kTabellen.end());
            std::sort(erwartet.begin(), erwartet.end());
            // Read back, then once more after a change written through the clashing names.
            for (int runde = 0; runde < 2; ++runde) {
                SCOPED_TRACE(runde);
                auto db = format.öffnen(*ws, tmp);
                std::vector<Text> ist = Tabellen(*db);
                std::sort(ist.begin(), ist.end());
                EXPECT_EQ(ist, erwartet);
                for (size_t k = 0; k < kTabellen.size(); ++k) {
                    const Text& t = kTabellen[k];
                    const Text& a = angelegt[k];
                    SCOPED_TRACE(nachUtf8(t));
                    auto td = db->TableDefs()[t];
                    ASSERT_EQ(td->Fields().Count(), static_cast<int32_t>(kSpalten.size()));
                    for (size_t i = 0; i < kSpalten.size(); ++i)
                        EXPECT_EQ(NamenSchlüssel(td->Fields()[static_cast<int32_t>(i)]->Name()),
                                  NamenSchlüssel(kSpalten[i]));
                    // Written back in the order they were added, not by the "rowid" column.
                    std::vector<Text> zeilen = {a + u"0", a + u"1", a + u"2"};
                    if (k == 0) zeilen.erase(zeilen.begin());
                    if (runde == 1) zeilen.erase(zeilen.begin());
                    EXPECT_EQ(Namen(*db, t), zeilen);
                    auto rs = db->OpenRecordset(u"SELECT * FROM [" + t + u"] WHERE [rowid] = 7 ORDER BY [oid] DESC");
                    int32_t sieben = 0;
                    for (const Text& z : zeilen) sieben += z.back() != u'2';
                    EXPECT_EQ(rs->EOF_() ? 0 : (rs->MoveLast(), rs->RecordCount()), sieben);
                    if (runde == 0) db->OpenRecordset(t)->Delete();
                }
                db->Close();
            }
        } catch (const LaufzeitFehler& e) {
            ADD_FAILURE() << format.name << ": " << nachUtf8(e.Beschreibung());
        }
}
