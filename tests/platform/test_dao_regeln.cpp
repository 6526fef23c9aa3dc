// Jet's value rules as the engine keeps them, and values that round-trip unchanged.
#include <gtest/gtest.h>

#include "common/Fehlerfang.h"
#include "common/TempVerzeichnis.h"
#include "platform/basic/Fehler.h"
#include "platform/dao/Dao.h"

using namespace dao;

namespace {
struct Regeln : ::testing::Test {
    TempVerzeichnis ordner;
    WorkspacePtr ws = CreateWorkspace(u"", u"admin", u"");
    DatabasePtr db;
    void SetUp() override {
        db = ws->CreateDatabase(ausUtf8(ordner / "r.db"));
        auto t = db->CreateTableDef(u"R");
        auto id = t->CreateField(u"ID", dbLong);
        id->Attributes(dbAutoIncrField);
        t->Fields().Append(id);
        t->Fields().Append(t->CreateField(u"Kurz", dbText, 5));
        auto leer = t->CreateField(u"Leer", dbText, 5);
        leer->AllowZeroLength(true);
        t->Fields().Append(leer);
        t->Fields().Append(t->CreateField(u"B", dbByte));
        t->Fields().Append(t->CreateField(u"I", dbInteger));
        auto pflicht = t->CreateField(u"Pflicht", dbText, 10);
        pflicht->Required(true);
        t->Fields().Append(pflicht);
        t->Fields().Append(t->CreateField(u"Eindeutig", dbText, 10));
        t->Fields().Append(t->CreateField(u"Geld", dbCurrency));
        t->Fields().Append(t->CreateField(u"Tag", dbDate));
        t->Fields().Append(t->CreateField(u"Ja", dbBoolean));
        t->Fields().Append(t->CreateField(u"S", dbSingle));
        t->Fields().Append(t->CreateField(u"D", dbDouble));
        t->Fields().Append(t->CreateField(u"M", dbMemo));
        auto pk = t->CreateIndex(u"PK");
        pk->Fields().Append(pk->CreateField(u"ID"));
        pk->Primary(true);
        t->Indexes().Append(pk);
        auto ux = t->CreateIndex(u"UX");
        ux->Fields().Append(ux->CreateField(u"Eindeutig"));
        ux->Unique(true);
        t->Indexes().Append(ux);
        db->TableDefs().Append(t);
    }
    // One new row: Pflicht filled unless the case sets it; the given field last.
    int32_t Anfügen(const char16_t* feld, const Variante& wert) {
        auto rs = db->OpenRecordset(u"R");
        rs->AddNew();
        rs->Fields()[u"Pflicht"]->Value(Variante(u"p"));
        // Type, range and size are refused at the assignment, the rest at Update.
        if (const int32_t e = FehlerVon([&] { rs->Fields()[feld]->Value(wert); })) return e;
        return FehlerVon([&] { rs->Update(); });
    }
};
}  // namespace

TEST_F(Regeln, WerteWerdenNachJetsRegelnAngenommenOderAbgewiesen) {
    const struct {
        const char16_t* feld;
        Variante wert;
        int32_t fehler;
    } fälle[] = {
        {u"Kurz", Variante(u"123456"), 3163},
        {u"Kurz", Variante(u"12345"), 0},
        {u"Kurz", Variante(u""), 3315},
        {u"Leer", Variante(u""), 0},
        {u"B", Variante(u"abc"), 3421},
        {u"B", Variante(u"12"), 0},
        {u"B", Variante(256), 3349},
        {u"B", Variante(-1), 3349},
        {u"B", Variante(255), 0},
        {u"B", Variante(0), 0},
        {u"I", Variante(32768), 3349},
        {u"I", Variante(u"-32768"), 0},
        {u"Geld", Variante(u"kein Geld"), 3421},
        {u"Tag", Variante(u"x"), 3421},
        {u"Pflicht", Variante::Null(), 3314},
        {u"Pflicht", Variante::Empty(), 3314},  // Empty: no value
        {u"ID", Variante::Null(), 3058},
        {u"Eindeutig", Variante(u"Meier"), 0},
        {u"Eindeutig", Variante(u"Meier"), 3022},
        {u"Eindeutig", Variante(u"MEIER"), 3022},
        {u"Eindeutig", Variante(u"Meyer"), 0},
        {u"Eindeutig", Variante::Null(), 0},
        {u"Eindeutig", Variante::Null(), 0},
    };
    int32_t angenommen = 0;
    for (auto& f : fälle) {
        const int32_t e = Anfügen(f.feld, f.wert);
        EXPECT_EQ(e, f.fehler) << nachUtf8(f.feld) << " " << f.wert;
        if (e == 0) ++angenommen;
    }
    EXPECT_EQ(db->OpenRecordset(u"R")->RecordCount(), angenommen);
    // A required field left without a value is refused too.
    auto rs = db->OpenRecordset(u"R");
    rs->AddNew();
    rs->Fields()[u"Kurz"]->Value(Variante(u"a"));
    EXPECT_EQ(FehlerVon([&] { rs->Update(); }), 3314);
}

TEST_F(Regeln, AutowertÜberAllenWertenUndEmptyLässtOhneWert) {
    EXPECT_EQ(Anfügen(u"Kurz", Variante(u"a")), 0);           // 1
    EXPECT_EQ(Anfügen(u"ID", Variante(int32_t{100})), 0);     // kept
    EXPECT_EQ(Anfügen(u"Kurz", Variante(u"b")), 0);           // 101
    EXPECT_EQ(Anfügen(u"ID", Variante(int32_t{50})), 0);      // kept, below
    EXPECT_EQ(Anfügen(u"ID", Variante(int32_t{100})), 3022);  // taken
    db->Close();
    db = ws->OpenDatabase(ausUtf8(ordner / "r.db"));
    EXPECT_EQ(Anfügen(u"Kurz", Variante(u"c")), 0);  // 102, also after reopening
    auto rs = db->OpenRecordset(u"SELECT [ID] FROM [R] ORDER BY [ID]");
    auto ids = rs->GetRows(10)[0];
    std::vector<int32_t> gelesen;
    for (auto& v : ids) gelesen.push_back(v.alsLong());
    EXPECT_EQ(gelesen, (std::vector<int32_t>{1, 50, 100, 101, 102}));

    auto r = db->OpenRecordset(u"SELECT * FROM [R] WHERE [ID] = 1");
    r->Edit();
    r->Fields()[u"Kurz"]->Value(Variante::Empty());
    r->Fields()[u"Leer"]->Value(Variante(u"neu"));
    r->Update();
    EXPECT_TRUE(r->Fields()[u"Kurz"]->Value().istNull());
    EXPECT_EQ(r->Fields()[u"Leer"]->Value().text(), u"neu");
    EXPECT_EQ(r->Fields()[u"Pflicht"]->Value().text(), u"p");  // untouched
}

// A table dropped and made again under its name numbers from 1, whatever memory the
// new definition takes; so does a counter whose field moved after a field was deleted.
TEST_F(Regeln, AutowertEinerNeuenTabelleBeginntBeiEins) {
    const auto anlegen = [&] {
        auto t = db->CreateTableDef(u"Neu");
        auto id = t->CreateField(u"ID", dbLong, 4);
        id->Attributes(dbAutoIncrField);
        t->Fields().Append(t->CreateField(u"Vorn", dbText, 5));
        t->Fields().Append(id);
        db->TableDefs().Append(t);
    };
    const auto hinzufügen = [&](int n) {
        auto rs = db->OpenRecordset(u"Neu");
        for (int i = 0; i < n; ++i) {
            rs->AddNew();
            rs->Update();
        }
        rs->Close();
    };
    const auto größte = [&] {
        return db->OpenRecordset(u"SELECT [ID] FROM [Neu] ORDER BY [ID] DESC")->Fields()[u"ID"]->Value().alsLong();
    };
    for (int runde = 0; runde < 20; ++runde) {
        anlegen();
        hinzufügen(3);
        ASSERT_EQ(größte(), 3) << "round " << runde;
        db->TableDefs().Delete(u"Neu");
    }
    anlegen();
    hinzufügen(2);
    db->TableDefs()[u"Neu"]->Fields().Delete(u"Vorn");
    hinzufügen(1);
    EXPECT_EQ(größte(), 3);
}

TEST_F(Regeln, WerteKommenMitIhremTypUnverändertZurück) {
    const struct {
        const char16_t* feld;
        Variante geschrieben, gelesen;
    } fälle[] = {
        {u"Geld", Variante::Währung(-922337203685477), Variante::Währung(-922337203685477)},
        {u"Geld", Variante(1234.5678), Variante::Währung(12345678)},
        {u"Tag", Variante::Datum(45291.999988426), Variante::Datum(45291.999988426)},
        {u"Tag", Variante::Datum(-657434.0), Variante::Datum(-657434.0)},  // year 100
        {u"Ja", Variante(true), Variante(true)},
        {u"Ja", Variante(int32_t{5}), Variante(true)},
        {u"S", Variante(1.1), Variante(1.1f)},
        {u"D", Variante(0.1), Variante(0.1)},
        {u"B", Variante(u"7"), Variante(uint8_t{7})},
        {u"I", Variante(2.5), Variante(int16_t{2})},
        {u"M", Variante(Text(70000, u'ä')), Variante(Text(70000, u'ä'))},
        {u"Kurz", Variante(int32_t{42}), Variante(u"42")},
    };
    for (auto& f : fälle) {
        auto rs = db->OpenRecordset(u"R");
        rs->AddNew();
        rs->Fields()[u"Pflicht"]->Value(Variante(u"p"));
        rs->Fields()[f.feld]->Value(f.geschrieben);
        rs->Update();
        rs->MoveLast();
        EXPECT_TRUE(rs->Fields()[f.feld]->Value().identisch(f.gelesen)) << nachUtf8(f.feld) << " " << f.geschrieben;
    }
}
