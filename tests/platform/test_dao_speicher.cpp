// The engine over a storage driver: a small driver that keeps its "file" in memory.
#include <gtest/gtest.h>

#include <map>
#include <set>

#include "common/Fehlerfang.h"
#include "platform/basic/Fehler.h"
#include "platform/dao/Dao.h"
#include "platform/dao/storage/Speichertreiber.h"

using namespace dao;
using namespace dao::speicher;

namespace {
using Zeilen = std::vector<std::vector<Variante>>;

// What the format holds, outliving each driver object; and what the engine did with it.
struct Datei {
    Struktur struktur;
    std::map<Text, Zeilen> zeilen;
    std::vector<Text> gelesen;  // tables read through ZeilenLesen
    int schreibvorgänge = 0;
    std::map<Text, std::pair<Rückschrift::Zustand, Text>> zustände;  // name -> state, alterName
    std::vector<Text> gelöscht;
    std::set<Text> ersetzt;
    std::vector<Text> gelöschteRelationen;
    int fehlschläge = 0;  // so many writes fail as a full disk would
};

class Speichertreiber_ : public Speichertreiber {
public:
    Speichertreiber_(std::shared_ptr<Datei> d, bool schreibbar) : d_(std::move(d)), schreibbar_(schreibbar) {}
    Struktur StrukturLesen() override { return d_->struktur; }
    void ZeilenLesen(const TabellenBeschreibung& t, const Zeilenziel& ziel) override {
        d_->gelesen.push_back(t.name);
        for (auto& z : d_->zeilen[t.name]) ziel(z);
    }
    bool Schreibbar() const override { return schreibbar_; }
    Text SchreibschutzGrund() const override { return u"Das Testformat ist nur lesbar."; }
    void TabellennamePrüfen(TextSicht name) const override {
        if (name.size() > 12) dao::FehlerAuslösen(3125, u"Der Name ist für das Testformat zu lang.");
    }
    void Schreiben(const Rückschrift& r) override {
        if (d_->fehlschläge > 0) {
            --d_->fehlschläge;
            dao::FehlerAuslösen(3043, u"Auf dem Datenträger ist kein Platz mehr.");
        }
        ++d_->schreibvorgänge;
        d_->zustände.clear();
        d_->gelöscht = r.gelöscht;
        d_->gelöschteRelationen = r.gelöschteRelationen;
        d_->ersetzt.clear();
        Struktur neu;
        std::map<Text, Zeilen> zeilen;
        for (auto& t : r.tabellen) {
            d_->zustände[t.beschreibung.name] = {t.zustand, t.alterName};
            if (t.ersetzt) d_->ersetzt.insert(t.beschreibung.name);
            neu.tabellen.push_back(t.beschreibung);
            if (t.zustand == Rückschrift::Zustand::unverändert) {
                zeilen[t.beschreibung.name] = d_->zeilen[t.alterName];  // kept as it is in the file
            } else {
                auto& ziel = zeilen[t.beschreibung.name];
                t.zeilen([&](const std::vector<Variante>& z) { ziel.push_back(z); });
            }
        }
        d_->struktur = neu;
        d_->zeilen = zeilen;
    }

private:
    std::shared_ptr<Datei> d_;
    bool schreibbar_;
};

std::shared_ptr<Datei> Beispieldatei() {
    auto d = std::make_shared<Datei>();
    TabellenBeschreibung k{u"Kunden",
                           {{u"ID", dbLong, 4, dbAutoIncrField, false, false},
                            {u"Name", dbText, 20, 0, true, false},
                            {u"Betrag", dbCurrency, 8, 0, false, false},
                            {u"Seit", dbDate, 8, 0, false, false},
                            {u"Aktiv", dbBoolean, 1, 0, false, false},
                            {u"Zahl", dbByte, 1, 0, false, false}},
                           {{u"PK", {u"ID"}, true, true}}};
    TabellenBeschreibung o{u"Orte", {{u"Ort", dbText, 30, 0, true, false}}, {}};
    d->struktur.tabellen = {k, o};
    d->zeilen[u"Kunden"] = {
        {Variante(int32_t{1}), Variante(u"Meier"), Variante::Währung(12345678), Variante::Datum(45000.25),
         Variante(true), Variante(uint8_t{7})},
        {Variante(int32_t{2}), Variante::Null(), Variante::Null(), Variante::Null(), Variante(false), Variante::Null()},
    };
    d->zeilen[u"Orte"] = {{Variante(u"Köln")}, {Variante(u"Бремен")}};
    return d;
}

struct Spiegel : ::testing::Test {
    std::shared_ptr<Datei> datei = Beispieldatei();
    WorkspacePtr ws = CreateWorkspace(u"", u"admin", u"");
    DatabasePtr Öffnen(bool schreibbar = true) {
        return ws->OpenDatabase(std::make_unique<Speichertreiber_>(datei, schreibbar), u"test");
    }
};
}  // namespace

TEST_F(Spiegel, LädtErstBeiBenutzungUndSchreibtGelesenesNichtZurück) {
    auto db = Öffnen();
    ASSERT_EQ(db->TableDefs().Count(), 2);
    auto k = db->TableDefs()[u"kunden"];
    EXPECT_EQ(k->Fields()[u"Name"]->Size(), 20);
    EXPECT_EQ(k->Fields()[u"ID"]->Attributes(), dbAutoIncrField);
    EXPECT_TRUE(k->Indexes()[u"PK"]->Primary());
    EXPECT_TRUE(datei->gelesen.empty());
    auto rs = db->OpenRecordset(u"Kunden");
    EXPECT_EQ(datei->gelesen, std::vector<Text>{u"Kunden"});
    ASSERT_EQ(rs->RecordCount(), 2);
    // Values come back with their Jet types.
    const auto& zeile = datei->zeilen[u"Kunden"][0];
    for (int32_t i = 0; i < rs->Fields().Count(); ++i)
        EXPECT_TRUE(rs->Fields()[i]->Value().identisch(zeile[static_cast<size_t>(i)])) << i;
    db->OpenRecordset(u"SELECT * FROM [Kunden] ORDER BY [Name]")->MoveLast();
    EXPECT_EQ(datei->gelesen.size(), 1u);  // loaded once
    // Refused or empty changes change nothing.
    rs->Edit();
    EXPECT_EQ(FehlerVon([&] { rs->Fields()[u"Name"]->Value(Variante(Text(21, u'x'))); }), 3163);
    rs->CancelUpdate();
    db->Execute(u"DELETE * FROM [Kunden] WHERE [ID] = 99");
    db->Execute(u"DELETE * FROM [Orte] WHERE [Ort] = 'Bonn'");
    db->Close();
    EXPECT_EQ(datei->schreibvorgänge, 0);
    EXPECT_EQ(datei->gelesen, (std::vector<Text>{u"Kunden", u"Orte"}));
}

TEST_F(Spiegel, SchreibtGeänderteNeueUndGelöschteTabellenAberKeineTemporären) {
    auto db = Öffnen();
    auto rs = db->OpenRecordset(u"SELECT * FROM [Kunden] WHERE [ID] = 2");
    rs->Edit();
    rs->Fields()[u"Name"]->Value(Variante(u"Schulz"));
    rs->Update();
    rs->AddNew();
    rs->Fields()[u"Name"]->Value(Variante(u"Neu"));
    rs->Update();
    for (const char16_t* name : {u"TEMP_DS", u"Ergebnis"}) {
        auto t = db->CreateTableDef(name);
        t->Fields().Append(t->CreateField(u"Wert", dbText, 10));
        db->TableDefs().Append(t);
        auto w = db->OpenRecordset(name);
        w->AddNew();
        w->Fields()[0]->Value(Variante(u"x"));
        w->Update();
    }
    db->TableDefs().Delete(u"TEMP_DS");
    db->TableDefs().Delete(u"Orte");
    EXPECT_EQ(FehlerVon([&] {
                  auto t = db->CreateTableDef(u"VielZuLangerName");
                  t->Fields().Append(t->CreateField(u"a"));
                  db->TableDefs().Append(t);
              }),
              3125);
    db->Close();
    ASSERT_EQ(datei->schreibvorgänge, 1);
    EXPECT_EQ(datei->gelöscht, std::vector<Text>{u"Orte"});
    ASSERT_EQ(datei->zustände.size(), 2u);
    EXPECT_EQ(datei->zustände[u"Kunden"].first, Rückschrift::Zustand::geändert);
    EXPECT_EQ(datei->zustände[u"Kunden"].second, u"Kunden");
    EXPECT_EQ(datei->zustände[u"Ergebnis"].first, Rückschrift::Zustand::neu);
    const Zeilen& k = datei->zeilen[u"Kunden"];
    ASSERT_EQ(k.size(), 3u);
    EXPECT_EQ(k[1][1].text(), u"Schulz");
    EXPECT_TRUE(k[2][0].identisch(Variante(int32_t{3})));  // auto number above the loaded rows
    EXPECT_TRUE(k[0][2].identisch(Variante::Währung(12345678)));
    EXPECT_EQ(datei->zeilen[u"Ergebnis"].size(), 1u);

    // Opened again, the written state is what the driver lists.
    auto db2 = Öffnen();
    EXPECT_EQ(db2->TableDefs().Count(), 2);
    EXPECT_EQ(db2->OpenRecordset(u"SELECT * FROM [Kunden] WHERE [Name] = 'schulz'")->RecordCount(), 1);
}

TEST_F(Spiegel, UmbenennenUndErsetzenGehenMitAltemNamenZumTreiber) {
    auto db = Öffnen();
    db->TableDefs()[u"Orte"]->Name(u"Städte");
    db->TableDefs().Delete(u"Kunden");  // dropped and made again, as a copy does
    auto t = db->CreateTableDef(u"KUNDEN");
    t->Fields().Append(t->CreateField(u"Name", dbText, 20));
    db->TableDefs().Append(t);
    db->Close();
    EXPECT_TRUE(datei->gelöscht.empty());
    // Renamed only: the driver renames; replaced: it may drop the old table and add this one.
    EXPECT_EQ(datei->zustände[u"Städte"], std::make_pair(Rückschrift::Zustand::unverändert, Text(u"Orte")));
    EXPECT_EQ(datei->zustände[u"KUNDEN"], std::make_pair(Rückschrift::Zustand::geändert, Text(u"Kunden")));
    EXPECT_TRUE(datei->ersetzt.count(u"KUNDEN"));
    EXPECT_FALSE(datei->ersetzt.count(u"Städte"));
    EXPECT_EQ(datei->zeilen[u"Städte"].size(), 2u);
    EXPECT_TRUE(datei->zeilen[u"KUNDEN"].empty());
}

TEST_F(Spiegel, ZurückgerollteArbeitErreichtDenTreiberNicht) {
    auto db = Öffnen();
    ws->BeginTrans();
    auto rs = db->OpenRecordset(u"Orte");  // first load inside the transaction
    rs->AddNew();
    rs->Fields()[0]->Value(Variante(u"Bonn"));
    rs->Update();
    ws->Rollback();
    EXPECT_EQ(db->OpenRecordset(u"Orte")->RecordCount(), 2);  // loaded again, without Bonn
    ws->BeginTrans();
    db->Execute(u"DELETE * FROM [Orte]");
    db->Close();  // with the transaction still open
    EXPECT_EQ(datei->schreibvorgänge, 0);
    EXPECT_EQ(FehlerVon([&] { ws->CommitTrans(); }), 0);
}

TEST_F(Spiegel, NurLesbaresFormatVerweigertJedeÄnderung) {
    auto db = Öffnen(false);
    auto rs = db->OpenRecordset(u"Kunden");
    EXPECT_EQ(rs->RecordCount(), 2);
    Text grund;
    const std::vector<std::pair<const char*, std::function<void()>>> änderungen = {
        {"AddNew", [&] { rs->AddNew(); }},
        {"Edit", [&] { rs->Edit(); }},
        {"Delete", [&] { rs->Delete(); }},
        {"Execute", [&] { db->Execute(u"DELETE * FROM [Orte]"); }},
        {"Tabelle anfügen",
         [&] {
             auto t = db->CreateTableDef(u"Neu");
             t->Fields().Append(t->CreateField(u"a"));
             db->TableDefs().Append(t);
         }},
        {"Tabelle löschen", [&] { db->TableDefs().Delete(u"Orte"); }},
        {"Feld anfügen",
         [&] {
             auto t = db->TableDefs()[u"Orte"];
             t->Fields().Append(t->CreateField(u"Plz", dbText, 5));
         }},
        {"Feldeigenschaft", [&] { db->TableDefs()[u"Orte"]->Fields()[0]->Required(true); }},
        {"Index",
         [&] {
             auto t = db->TableDefs()[u"Orte"];
             auto ix = t->CreateIndex(u"ix");
             ix->Fields().Append(ix->CreateField(u"Ort"));
             t->Indexes().Append(ix);
         }},
        {"Umbenennen", [&] { db->TableDefs()[u"Orte"]->Name(u"Städte"); }},
    };
    for (auto& [was, f] : änderungen) {
        EXPECT_EQ(FehlerVon(f, &grund), 3027) << was;
        EXPECT_EQ(grund, u"Das Testformat ist nur lesbar.") << was;
    }
    EXPECT_EQ(db->TableDefs()[u"Orte"]->Fields().Count(), 1);
    EXPECT_FALSE(db->TableDefs()[u"Orte"]->Fields()[0]->Required());
    db->Close();
    EXPECT_EQ(datei->schreibvorgänge, 0);
}

TEST_F(Spiegel, SchreibfehlerLässtDieDatenbankOffen) {
    struct Fehlschlag : Speichertreiber_ {
        using Speichertreiber_::Speichertreiber_;
        void Schreiben(const Rückschrift&) override { dao::FehlerAuslösen(3043, u"Datenträgerfehler."); }
    };
    auto d = Beispieldatei();
    auto db2 = ws->OpenDatabase(std::make_unique<Fehlschlag>(d, true), u"x");
    db2->TableDefs().Delete(u"Orte");
    EXPECT_EQ(FehlerVon([&] { db2->Close(); }), 3043);
    EXPECT_EQ(db2->TableDefs().Count(), 1);  // still open, nothing lost
    EXPECT_EQ(d->struktur.tabellen.size(), 2u);
}

TEST_F(Spiegel, ArbeitsbereichUndVergesseneDatenbankSchreibenZurück) {
    {
        auto db = Öffnen();
        db->TableDefs().Delete(u"Orte");
    }  // released without Close
    EXPECT_EQ(datei->schreibvorgänge, 1);
    EXPECT_EQ(datei->struktur.tabellen.size(), 1u);
    auto db = Öffnen();
    auto rs = db->OpenRecordset(u"Kunden");
    rs->Delete();
    ws->BeginTrans();  // rolled back by the close
    rs->MoveNext();
    rs->Delete();
    ws->Close();
    EXPECT_EQ(datei->schreibvorgänge, 2);
    EXPECT_EQ(datei->zeilen[u"Kunden"].size(), 1u);
    EXPECT_EQ(FehlerVon([&] { rs->MoveFirst(); }), 3420);
    EXPECT_EQ(FehlerVon([&] { db->TableDefs(); }), 3420);
}

TEST_F(Spiegel, FlushSchreibtJedeÄnderungGenauEinmal) {
    auto db = Öffnen();
    db->Flush();  // nothing changed yet
    EXPECT_EQ(datei->schreibvorgänge, 0);
    db->TableDefs()[u"Orte"]->Name(u"Städte");  // never loaded before it is written
    auto t = db->CreateTableDef(u"Ergebnis");
    t->Fields().Append(t->CreateField(u"Wert", dbText, 10));
    db->TableDefs().Append(t);
    auto rs = db->OpenRecordset(u"Ergebnis");
    rs->AddNew();
    rs->Fields()[0]->Value(Variante(u"a"));
    rs->Update();
    db->Execute(u"DELETE * FROM [Kunden] WHERE [ID] = 1");
    db->Flush();
    ASSERT_EQ(datei->schreibvorgänge, 1);
    EXPECT_EQ(datei->zustände[u"Städte"], std::make_pair(Rückschrift::Zustand::unverändert, Text(u"Orte")));
    EXPECT_EQ(datei->zustände[u"Ergebnis"].first, Rückschrift::Zustand::neu);
    EXPECT_EQ(datei->zeilen[u"Städte"].size(), 2u);
    EXPECT_EQ(datei->zeilen[u"Kunden"].size(), 1u);

    db->Flush();  // the baseline is renewed: nothing to write twice
    db->Close();
    EXPECT_EQ(datei->schreibvorgänge, 1);

    // After a flush the next change goes as a change of what the file now holds.
    auto db2 = Öffnen();
    db2->Execute(u"DELETE * FROM [Ergebnis]");
    db2->Flush();
    db2->TableDefs().Delete(u"Ergebnis");
    db2->Flush();
    EXPECT_EQ(datei->schreibvorgänge, 3);
    EXPECT_EQ(datei->gelöscht, std::vector<Text>{u"Ergebnis"});
    EXPECT_EQ(datei->zustände.count(u"Ergebnis"), 0u);
    db2->Close();
    EXPECT_EQ(datei->schreibvorgänge, 3);
}

TEST_F(Spiegel, FlushInEinerTransaktionWirdVerweigert) {
    auto db = Öffnen();
    ws->BeginTrans();
    db->Execute(u"DELETE * FROM [Orte]");
    EXPECT_EQ(FehlerVon([&] { db->Flush(); }), 3246);
    EXPECT_EQ(db->OpenRecordset(u"Orte")->EOF_(), true);  // nothing rolled back
    ws->CommitTrans();
    db->Flush();
    EXPECT_EQ(datei->schreibvorgänge, 1);
    EXPECT_TRUE(datei->zeilen[u"Orte"].empty());
}

TEST_F(Spiegel, FehlgeschlagenerFlushBehältAllesFürDenNächstenVersuch) {
    auto db = Öffnen();
    db->Execute(u"DELETE * FROM [Orte] WHERE [Ort] = 'Köln'");
    datei->fehlschläge = 2;
    Text grund;
    EXPECT_EQ(FehlerVon([&] { db->Flush(); }, &grund), 3043);
    EXPECT_EQ(grund, u"Auf dem Datenträger ist kein Platz mehr.");
    EXPECT_EQ(FehlerVon([&] { db->Close(); }), 3043);  // the close tries again and stays open
    EXPECT_EQ(db->OpenRecordset(u"Orte")->RecordCount(), 1);
    db->Flush();
    EXPECT_EQ(datei->schreibvorgänge, 1);
    EXPECT_EQ(datei->zeilen[u"Orte"].size(), 1u);
    db->Close();
    EXPECT_EQ(datei->schreibvorgänge, 1);
}

TEST_F(Spiegel, FlushEinerGeschlossenenDatenbankIst3420) {
    auto db = Öffnen();
    db->Close();
    EXPECT_EQ(FehlerVon([&] { db->Flush(); }), 3420);
}
