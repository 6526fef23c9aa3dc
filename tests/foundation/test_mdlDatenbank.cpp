#include <gtest/gtest.h>

#include <sqlite3.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "common/FakeOberflaeche.h"
#include "common/Stoertreiber.h"
#include "common/TempVerzeichnis.h"
#include "common/Testtabelle.h"
#include "foundation/mdlDatenbank.h"
#include "foundation/mdlDeklarationen.h"
#include "foundation/mdlLaufTabellen.h"
#include "foundation/mdlStart.h"
#include "platform/basic/Fehler.h"
#include "platform/dao/Dao.h"

using namespace dao;

namespace {
const Text kÖffnungsfehler = u"Fehler beim Öffnen der Datenbank.\rDas Datenbankformat wird nicht unterstützt oder\r"
                             u"das eingegebene Passwort ist nicht korrekt.";

std::string Inhalt(const std::string& datei) {
    std::ifstream f(datei, std::ios::binary);
    return {std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>()};
}

void Schreiben(const std::string& datei, const std::string& inhalt) {
    std::ofstream f(datei, std::ios::binary | std::ios::trunc);
    f << inhalt;
}

std::vector<Text> Feldnamen(const TableDefPtr& t) {
    std::vector<Text> n;
    for (auto& f : t->Fields().liste()) n.push_back(f->Name());
    return n;
}

class Datenbankzugriff : public ::testing::Test {
protected:
    void SetUp() override {
        gArbeitsbereich = CreateWorkspace(u"", u"Admin", u"", 2);
        gDatenbank.reset();
        gDAOVerbindung.clear();
        gADOVerbindung.clear();
        gAbbruch = gFehlerAbbruch = false;
        gSystemmeldung = true;
        dao::FehlerSammlungLeeren();
        Err().Clear();
    }
    void TearDown() override {
        DatenbankSchließen(gDatenbank);
        gArbeitsbereich.reset();
        gDAOVerbindung.clear();
        gADOVerbindung.clear();
        gAbbruch = gFehlerAbbruch = false;
    }

    // A native database with the table Kunden (three records) and two more.
    std::string Anlegen(const std::string& name) {
        const std::string datei = tmp / name;
        auto db = gArbeitsbereich->CreateDatabase(ausUtf8(datei));
        auto k = db->CreateTableDef(u"Kunden");
        auto id = k->CreateField(u"ID", dbLong);
        id->Attributes(dbAutoIncrField);
        k->Fields().Append(id);
        auto n = k->CreateField(u"Name", dbText, 40);
        n->Required(true);
        k->Fields().Append(n);
        k->Fields().Append(k->CreateField(u"Notiz", dbMemo));
        k->Fields().Append(k->CreateField(u"Betrag", dbCurrency));
        k->Fields().Append(k->CreateField(u"Seit", dbDate));
        auto pk = k->CreateIndex(u"PrimaryKey");
        pk->Fields().Append(pk->CreateField(u"ID"));
        pk->Primary(true);
        k->Indexes().Append(pk);
        auto ns = k->CreateIndex(u"NameSeit");
        ns->Fields().Append(ns->CreateField(u"Name"));
        ns->Fields().Append(ns->CreateField(u"Seit"));
        ns->Unique(true);
        k->Indexes().Append(ns);
        db->TableDefs().Append(k);
        for (auto t : {u"Aufträge", u"Orte"}) {
            auto td = db->CreateTableDef(t);
            td->Fields().Append(td->CreateField(u"ID", dbLong));
            td->Fields().Append(td->CreateField(u"KundenID", dbLong));
            db->TableDefs().Append(td);
        }
        auto rs = db->OpenRecordset(u"Kunden");
        for (auto name : {u"Arndt", u"Bäcker", u"Çelik"}) {
            rs->AddNew();
            rs->Fields()[u"Name"]->Value(Variante(name));
            rs->Update();
        }
        rs->Close();
        db->Close();
        return datei;
    }

    void Öffnen(const std::string& datei) {
        gDatenbank = gArbeitsbereich->OpenDatabase(ausUtf8(datei));
        ASSERT_TRUE(gDatenbank);
    }

    void Relation(const Text& name, const Text& von, const Text& nach, int32_t attribute) {
        auto r = gDatenbank->CreateRelation(name, von, nach, attribute);
        auto f = r->CreateField(u"ID");
        f->ForeignName(u"KundenID");
        r->Fields().Append(f);
        gDatenbank->Relations().Append(r);
    }

    TempVerzeichnis tmp;
    FakeOberfläche ui;
};
}  // namespace

// ---- Opening ----

TEST_F(Datenbankzugriff, VerbindungstexteNachEndung) {
    struct Fall {
        const char* datei;
        const char16_t* passwort;
        const char16_t* vorher;  // gDAOVerbindung before the open
        const char16_t* verbindung;
    };
    const Fall fälle[] = {
        {"a.mdb", u"", u"Access", u";PWD=;"},
        {"a.MDB", u"geh;eim", u"", u";PWD=geh;eim;"},
        {"a.Mdb", u"x", u"", u";PWD=x;"},
        {"a.xls", u"pw", u"", u"Excel 5.0;"},
        {"a.dbf", u"", u"Dbase IV;", u"Dbase 5;"},
        {"a.db", u"", u"Dbase IV;", u"Dbase IV;"},
        {"a.txt", u"", u"Dbase III;", u"Dbase III;"},
        {"a.sqlite", u"", u"Excel 5.0;", u""},
        {"a", u"", u"Access", u""},
    };
    for (const auto& f : fälle) {
        // Files that are no database of any kind: every open fails, the texts are set anyway.
        const std::string pfad = tmp / f.datei;
        Schreiben(pfad, "kein Datenbankinhalt");
        gDAOVerbindung = f.vorher;
        ui.Antworten(vb::OK, u"Fehler beim Öffnen der Datenbank.");
        DatenbankÖffnen(Variante(ausUtf8(pfad)), Variante(f.passwort), gDatenbank);
        EXPECT_EQ(gDAOVerbindung, f.verbindung) << f.datei;
        EXPECT_EQ(gADOVerbindung, u"Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + ausUtf8(pfad) +
                                      u";Jet OLEDB:Database Password=" + Text(f.passwort) + u";")
            << f.datei;
        EXPECT_EQ(gDatenbankPfad, ausUtf8(pfad));
        EXPECT_TRUE(gFehlerAbbruch) << f.datei;
        EXPECT_FALSE(gDatenbank) << f.datei;
        EXPECT_EQ(ui.mauszeiger, 0);
        EXPECT_EQ(Inhalt(pfad), "kein Datenbankinhalt") << f.datei << ": nothing is written to a bad file";
        ASSERT_FALSE(ui.meldungen.empty());
        EXPECT_EQ(ui.meldungen.back().text, kÖffnungsfehler);
        EXPECT_EQ(ui.meldungen.back().stil, vb::Exclamation);
        EXPECT_EQ(ui.meldungen.back().titel, u" Achtung!");
        // The password is never shown.
        if (Text(f.passwort).size() > 1) {
            EXPECT_EQ(ui.meldungen.back().text.find(f.passwort), Text::npos);
        }
    }
}

TEST_F(Datenbankzugriff, ÖffnetEineNativeDatenbank) {
    const std::string mitEndung = Anlegen("kunden.sqlite");
    const std::string ohneEndung = tmp / "Kunden ohne Punkt";
    std::filesystem::copy_file(mitEndung, ohneEndung);
    for (const auto& pfad : {mitEndung, ohneEndung}) {
        gFehlerAbbruch = true;
        gDAOVerbindung = u"Dbase IV;";
        DatenbankÖffnen(Variante(ausUtf8(pfad)), Variante(u""), gDatenbank);
        EXPECT_FALSE(gFehlerAbbruch) << pfad;
        ASSERT_TRUE(gDatenbank) << pfad;
        EXPECT_EQ(gDAOVerbindung, u"");
        EXPECT_EQ(gDatenbank->QueryTimeout(), 1);
        EXPECT_EQ(ui.mauszeiger, 0);
        EXPECT_GE(TabellenIndexErmitteln(Variante(u"Kunden")), 0);
        DatenbankSchließen(gDatenbank);
    }
}

TEST_F(Datenbankzugriff, SchlechteEingabenGebenDieÖffnungsmeldung) {
    const std::string gut = Anlegen("gut.sqlite");
    const std::string ganz = Inhalt(gut);
    const std::string abgeschnitten = tmp / "abgeschnitten.sqlite";
    const std::string hälfte = ganz.substr(0, ganz.size() / 2);
    Schreiben(abgeschnitten, hälfte);
    const std::string leer = tmp / "leer.sqlite";
    Schreiben(leer, "");
    std::filesystem::create_directory(tmp / "ordner.sqlite");
    struct Fall {
        const char* name;
        Variante pfad;
    };
    const Fall fälle[] = {
        {"fehlt", Variante(ausUtf8(tmp / "fehlt.sqlite"))},
        {"abgeschnitten", Variante(ausUtf8(abgeschnitten))},
        {"ordner", Variante(ausUtf8(tmp / "ordner.sqlite"))},
        {"leerer Pfad", Variante(u"")},
        {"Null", Variante::Null()},
        {"dbf ohne Ordner", Variante(u"kunden.dbf")},
    };
    for (const auto& f : fälle) {
        ui.Antworten(vb::OK, kÖffnungsfehler);
        DatenbankÖffnen(f.pfad, Variante(u""), gDatenbank);
        EXPECT_TRUE(gFehlerAbbruch) << f.name;
        EXPECT_FALSE(gDatenbank) << f.name;
        EXPECT_EQ(ui.mauszeiger, 0) << f.name;
    }
    EXPECT_EQ(Inhalt(abgeschnitten), hälfte);
}

TEST_F(Datenbankzugriff, GesperrteDateiGibtDieÖffnungsmeldung) {
    const std::string datei = Anlegen("gesperrt.sqlite");
    sqlite3* andere = nullptr;
    ASSERT_EQ(sqlite3_open(datei.c_str(), &andere), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(andere, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);
    ui.Antworten(vb::OK, kÖffnungsfehler);
    DatenbankÖffnen(Variante(ausUtf8(datei)), Variante(u""), gDatenbank);
    EXPECT_TRUE(gFehlerAbbruch);
    EXPECT_FALSE(gDatenbank);
    sqlite3_exec(andere, "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_close(andere);
}

// The file is made immutable, since the tests may run as root, whom permission bits
// do not stop.
TEST_F(Datenbankzugriff, SchreibgeschützteDateiGibtDieÖffnungsmeldung) {
    const std::string datei = Anlegen("schreibgeschützt.sqlite");
    if (std::system(("chattr +i '" + datei + "' 2>/dev/null").c_str()) != 0) GTEST_SKIP() << "chattr +i not possible";
    struct Freigeben {
        std::string d;
        ~Freigeben() { [[maybe_unused]] int r = std::system(("chattr -i '" + d + "'").c_str()); }
    } freigeben{datei};
    ui.Antworten(vb::OK, kÖffnungsfehler);
    DatenbankÖffnen(Variante(ausUtf8(datei)), Variante(u""), gDatenbank);
    EXPECT_TRUE(gFehlerAbbruch);
    EXPECT_FALSE(gDatenbank);
}

// A dBase folder opens through the engine's dBase driver.
TEST_F(Datenbankzugriff, DbaseOrdnerUndNamenslänge) {
    const std::filesystem::path quelle = std::filesystem::path(PURIVO_SHARED) / "fixtures/dbase/sids.dbf";
    if (!std::filesystem::exists(quelle)) GTEST_SKIP() << "no " << quelle << " (shared folder absent)";
    const std::string ordner = tmp / "dbase";
    std::filesystem::create_directory(ordner);
    std::filesystem::copy_file(quelle, ordner + "/kunden.dbf");
    std::filesystem::copy_file(quelle, ordner + "/achtzehn.dbf");   // 8 characters
    std::filesystem::copy_file(quelle, ordner + "/neunzehn9.dbf");  // 9 characters
    // .dbf: the folder without its separator, always "Dbase 5;", no length check.
    gDAOVerbindung = u"Dbase IV;";
    DatenbankÖffnen(Variante(ausUtf8(ordner + "/kunden.dbf")), Variante(u""), gDatenbank);
    ASSERT_FALSE(gFehlerAbbruch);
    EXPECT_EQ(gDAOVerbindung, u"Dbase 5;");
    EXPECT_EQ(gDatenbank->Name(), ausUtf8(ordner));
    EXPECT_EQ(gDatenbank->QueryTimeout(), 1);
    DatenbankSchließen(gDatenbank);
    // .db with the dialog's "Dbase IV;": the folder with its separator, and the first
    // name longer than 8 characters is named; the database stays open.
    gDAOVerbindung = u"Dbase IV;";
    ui.Antworten(vb::OK);
    DatenbankÖffnen(Variante(ausUtf8(ordner + "/x.db")), Variante(u""), gDatenbank);
    EXPECT_TRUE(gFehlerAbbruch);
    ASSERT_TRUE(gDatenbank);
    EXPECT_NE(gDatenbank->QueryTimeout(), 1);
    ASSERT_EQ(ui.meldungen.size(), 1u);
    EXPECT_EQ(ui.meldungen[0].text, u"Bitte geben sie der Tabelle \"neunzehn9\"\reinen Namen mit maximal 8 Zeichen "
                                    u"Länge, sonst\rkönnen bei diesen älteren Formaten Probleme auftreten.");
    EXPECT_EQ(ui.meldungen[0].stil, vb::OKOnly);
    EXPECT_FALSE(ui.meldungen[0].titel.has_value()) << "the box carries the program's title";
}

// ---- Closing, counting, finding ----

TEST_F(Datenbankzugriff, SchließenIstStillUndLeert) {
    const std::string datei = Anlegen("k.sqlite");
    DatenbankSchließen(gDatenbank);  // nothing open
    EXPECT_FALSE(gDatenbank);
    Öffnen(datei);
    auto kopie = gDatenbank;
    DatenbankSchließen(gDatenbank);
    EXPECT_FALSE(gDatenbank);
    EXPECT_THROW(kopie->TableDefs(), LaufzeitFehler);
    DatenbankSchließen(kopie);  // already closed: cleared quietly
    EXPECT_FALSE(kopie);
    EXPECT_TRUE(ui.meldungen.empty());
}

TEST_F(Datenbankzugriff, DatensätzeZählenUndTabelleFinden) {
    Öffnen(Anlegen("k.sqlite"));
    auto leer = gDatenbank->OpenRecordset(u"Orte");
    EXPECT_EQ(DatensätzeZählen(leer), 0);
    EXPECT_TRUE(leer->EOF_());
    auto rs = gDatenbank->OpenRecordset(u"SELECT * FROM [Kunden] ORDER BY [Name]");
    rs->MoveNext();
    EXPECT_EQ(DatensätzeZählen(rs), 3);
    EXPECT_EQ(rs->Fields()[u"Name"]->Value().text(), u"Arndt") << "back on the first record";
    auto eins = gDatenbank->OpenRecordset(u"Kunden");
    eins->MoveLast();
    eins->Delete();
    eins->MoveFirst();
    eins->Delete();
    eins->Requery();
    EXPECT_EQ(DatensätzeZählen(eins), 1);
    EXPECT_EQ(eins->Fields()[u"Name"]->Value().text(), u"Bäcker");
    EXPECT_THROW(DatensätzeZählen(nullptr), LaufzeitFehler);

    auto s = gDatenbank->CreateTableDef(u"Straße");
    s->Fields().Append(s->CreateField(u"a"));
    gDatenbank->TableDefs().Append(s);
    struct Fall {
        Variante name;
        int16_t position;
    };
    for (const auto& f : {Fall{Variante(u"Kunden"), 0}, Fall{Variante(u"KUNDEN"), 0}, Fall{Variante(u"strasse"), 3},
                          Fall{Variante(u"STRAßE"), 3}, Fall{Variante(u"aufträge"), 1},
                          Fall{Variante(u"AUFTRAEGE"), -1}, Fall{Variante(u"Ort"), -1}, Fall{Variante(u""), -1}})
        EXPECT_EQ(TabellenIndexErmitteln(f.name), f.position) << f.name;
    EXPECT_THROW(TabellenIndexErmitteln(Variante::Null()), LaufzeitFehler);
    DatenbankSchließen(gDatenbank);
    EXPECT_THROW(TabellenIndexErmitteln(Variante(u"Kunden")), LaufzeitFehler) << "error 91 to the caller";
}

// ---- Structure copy ----

TEST_F(Datenbankzugriff, KopieGleicherStrukturOhneDatensätze) {
    Öffnen(Anlegen("k.sqlite"));
    TabelleKopieren(Variante(u"Kunden"), Variante(u"Kunden_neu"), false);
    EXPECT_FALSE(gAbbruch);
    EXPECT_FALSE(gFehlerAbbruch);
    EXPECT_TRUE(ui.meldungen.empty());
    auto q = gDatenbank->TableDefs()[u"Kunden"];
    auto z = gDatenbank->TableDefs()[u"Kunden_neu"];
    EXPECT_EQ(z->Name(), u"Kunden_neu");
    ASSERT_EQ(Feldnamen(z), Feldnamen(q));
    for (int32_t i = 0; i < q->Fields().Count(); ++i) {
        auto a = q->Fields()[i];
        auto b = z->Fields()[i];
        EXPECT_EQ(b->Type(), a->Type()) << u8(a->Name());
        EXPECT_EQ(b->Size(), a->Size()) << u8(a->Name());
        EXPECT_EQ(b->Attributes(), a->Attributes()) << u8(a->Name());
        EXPECT_TRUE(b->AllowZeroLength()) << u8(a->Name());
        EXPECT_FALSE(b->Required()) << u8(a->Name()) << ": the required flag is not copied";
    }
    ASSERT_EQ(z->Indexes().Count(), 2);
    for (int32_t i = 0; i < 2; ++i) {
        auto a = q->Indexes()[i];
        auto b = z->Indexes()[i];
        EXPECT_EQ(b->Name(), a->Name());
        EXPECT_EQ(b->Unique(), a->Unique());
        EXPECT_EQ(b->Primary(), a->Primary());
        ASSERT_EQ(b->Fields().Count(), a->Fields().Count());
        for (int32_t j = 0; j < a->Fields().Count(); ++j) EXPECT_EQ(b->Fields()[j]->Name(), a->Fields()[j]->Name());
    }
    EXPECT_TRUE(z->Indexes()[u"PrimaryKey"]->Primary());
    EXPECT_TRUE(z->Indexes()[u"PrimaryKey"]->Unique());
    EXPECT_EQ(gDatenbank->OpenRecordset(u"Kunden_neu")->RecordCount(), 0);
    EXPECT_EQ(gDatenbank->OpenRecordset(u"Kunden")->RecordCount(), 3);
    // The copied rules hold: an empty text is allowed now, the primary key still refuses duplicates.
    auto rs = gDatenbank->OpenRecordset(u"Kunden_neu");
    rs->AddNew();
    rs->Fields()[u"Name"]->Value(Variante(u""));
    rs->Update();
    rs->AddNew();
    rs->Fields()[u"ID"]->Value(Variante(1));
    EXPECT_THROW(rs->Update(), LaufzeitFehler);

    // A source without indexes gives a target without indexes.
    TabelleKopieren(Variante(u"Orte"), Variante(u"Orte2"), false);
    EXPECT_EQ(gDatenbank->TableDefs()[u"Orte2"]->Indexes().Count(), 0);
    EXPECT_EQ(Feldnamen(gDatenbank->TableDefs()[u"Orte2"]), (std::vector<Text>{u"ID", u"KundenID"}));
}

TEST_F(Datenbankzugriff, NeueFelderHinterNachFeld) {
    Öffnen(Anlegen("k.sqlite"));
    const Wahlweise fehlt;
    const Wahlweise n1 = Variante(u"N1"), t1 = Variante(dbLong), g1 = Variante(0);
    const Wahlweise n2 = Variante(u"N2"), t2 = Variante(dbText), g2 = Variante(12);
    const Wahlweise n3 = Variante(u"N3"), t3 = Variante(dbMemo), g3 = Variante(0);
    struct Fall {
        const char* name;
        Wahlweise nachFeld;
        Wahlweise a[9];
        std::vector<Text> felder;
    };
    const std::vector<Text> ohne = {u"ID", u"Name", u"Notiz", u"Betrag", u"Seit"};
    const Fall fälle[] = {
        {"alle drei",
         Variante(u"Name"),
         {n1, t1, g1, n2, t2, g2, n3, t3, g3},
         {u"ID", u"Name", u"N1", u"N2", u"N3", u"Notiz", u"Betrag", u"Seit"}},
        {"hinter dem letzten",
         Variante(u"Seit"),
         {n1, t1, g1, n2, t2, g2, n3, t3, g3},
         {u"ID", u"Name", u"Notiz", u"Betrag", u"Seit", u"N1", u"N2", u"N3"}},
        {"nur Gruppe 2",
         Variante(u"ID"),
         {fehlt, fehlt, fehlt, n2, t2, g2, fehlt, fehlt, fehlt},
         {u"ID", u"N2", u"Name", u"Notiz", u"Betrag", u"Seit"}},
        {"Gruppe 1 ohne Größe",
         Variante(u"ID"),
         {n1, t1, fehlt, n2, t2, g2, n3, t3, g3},
         {u"ID", u"N2", u"N3", u"Name", u"Notiz", u"Betrag", u"Seit"}},
        {"kein solches Feld", Variante(u"Strasse"), {n1, t1, g1, n2, t2, g2, n3, t3, g3}, ohne},
        {"anders geschrieben", Variante(u"name"), {n1, t1, g1, n2, t2, g2, n3, t3, g3}, ohne},
        {"ohne NachFeld", fehlt, {n1, t1, g1, n2, t2, g2, n3, t3, g3}, ohne},
    };
    int k = 0;
    for (const auto& f : fälle) {
        const Text ziel = u"Ziel" + ausUtf8(std::to_string(k++));
        TabelleKopieren(Variante(u"Kunden"), Variante(ziel), false, f.nachFeld, Variante(u"egal"), f.a[0], f.a[1],
                        f.a[2], f.a[3], f.a[4], f.a[5], f.a[6], f.a[7], f.a[8]);
        ASSERT_FALSE(gFehlerAbbruch) << f.name;
        auto z = gDatenbank->TableDefs()[ziel];
        EXPECT_EQ(Feldnamen(z), f.felder) << f.name;
        if (z->Fields().Position(u"N2") >= 0) {
            EXPECT_EQ(z->Fields()[u"N2"]->Type(), dbText);
            EXPECT_EQ(z->Fields()[u"N2"]->Size(), 12);
            EXPECT_FALSE(z->Fields()[u"N2"]->AllowZeroLength()) << "new fields get no AllowZeroLength";
        }
    }
    EXPECT_TRUE(ui.meldungen.empty());
}

TEST_F(Datenbankzugriff, ÜberschreibenNurNachJa) {
    Öffnen(Anlegen("k.sqlite"));
    struct Fall {
        const char16_t* vorhanden;
        const char16_t* ziel;
        int antwort;
    };
    for (const auto& f : {Fall{u"Alt", u"ALT", vb::No}, Fall{u"Straße", u"STRASSE", vb::No},
                          Fall{u"Alt", u"alt", vb::Yes}, Fall{u"Straße", u"strasse", vb::Yes}}) {
        gAbbruch = false;
        if (TabellenIndexErmitteln(Variante(f.vorhanden)) < 0) {
            auto t = gDatenbank->CreateTableDef(f.vorhanden);
            t->Fields().Append(t->CreateField(u"Eigenes"));
            gDatenbank->TableDefs().Append(t);
            auto rs = gDatenbank->OpenRecordset(f.vorhanden);
            rs->AddNew();
            rs->Fields()[0]->Value(Variante(u"bleibt"));
            rs->Update();
        }
        ui.meldungen.clear();
        ui.Antworten(f.antwort);
        TabelleKopieren(Variante(u"Kunden"), Variante(f.ziel), false);
        ASSERT_EQ(ui.meldungen.size(), 1u);
        EXPECT_EQ(ui.meldungen[0].text, u"Sind sie sicher, dass die Tabelle \"" + Text(f.ziel) +
                                            u"\"\rinklusive ihrer Relationen überschrieben werden soll?");
        EXPECT_EQ(ui.meldungen[0].stil, 52);
        EXPECT_EQ(ui.meldungen[0].titel, u"");
        EXPECT_FALSE(gFehlerAbbruch);
        if (f.antwort == vb::No) {
            EXPECT_TRUE(gAbbruch);
            EXPECT_EQ(Feldnamen(gDatenbank->TableDefs()[f.vorhanden]), std::vector<Text>{u"Eigenes"});
            EXPECT_EQ(gDatenbank->OpenRecordset(f.vorhanden)->RecordCount(), 1);
        } else {
            EXPECT_FALSE(gAbbruch);
            auto z = gDatenbank->TableDefs()[f.ziel];
            EXPECT_EQ(z->Name(), f.ziel);
            EXPECT_EQ(z->Fields().Count(), 5);
            EXPECT_EQ(gDatenbank->OpenRecordset(f.ziel)->RecordCount(), 0);
        }
    }
}

TEST_F(Datenbankzugriff, ZielGleichQuelleWirdAbgelehnt) {
    Öffnen(Anlegen("k.sqlite"));
    // The box's own text gives the reason, also without the system-message line.
    gSystemmeldung = false;
    for (int antwort : {vb::Abort, vb::Ignore}) {
        for (const char16_t* ziel : {u"Kunden", u"KUNDEN", u"kunden"}) {
            gFehlerAbbruch = false;
            ui.Antworten(antwort,
                         u"Fehler beim Kopieren der Tabelle 'Kunden' nach '" + Text(ziel) +
                             u"'.\rQuell- und Zieltabelle sind dieselbe Tabelle; sie wird nicht überschrieben.");
            TabelleKopieren(Variante(u"Kunden"), Variante(ziel), false);
            EXPECT_TRUE(gFehlerAbbruch) << u8(ziel);
            EXPECT_EQ(ui.meldungen.back().stil, vb::AbortRetryIgnore + vb::Critical + vb::DefaultButton3);
            EXPECT_EQ(gDatenbank->OpenRecordset(u"Kunden")->RecordCount(), 3) << "nothing deleted";
        }
    }
    ui.Antworten(vb::Retry);
    ui.Antworten(vb::Abort);
    TabelleKopieren(Variante(u"Straße"), Variante(u"STRASSE"), false);
    EXPECT_EQ(ui.offeneAntworten(), 0u);
}

TEST_F(Datenbankzugriff, FehlerBeimKopierenNachDerFehlerfalle) {
    Öffnen(Anlegen("k.sqlite"));
    // A missing source: abort ends with the flag and nothing made.
    ui.Antworten(vb::Abort, u"Fehler beim Kopieren der Tabelle 'Fehlt' nach 'Neu'.\rSystemmeldung:\r");
    TabelleKopieren(Variante(u"Fehlt"), Variante(u"Neu"), false);
    EXPECT_TRUE(gFehlerAbbruch);
    EXPECT_EQ(TabellenIndexErmitteln(Variante(u"Neu")), -1);

    // A new field that the copied "Notiz" clashes with, after the old target was
    // deleted: abort leaves no target at all; ignore skips only the failed field.
    for (int antwort : {vb::Abort, vb::Ignore}) {
        gFehlerAbbruch = false;
        if (TabellenIndexErmitteln(Variante(u"Ziel")) < 0) TabelleKopieren(Variante(u"Orte"), Variante(u"Ziel"), false);
        ui.Antworten(vb::Yes, u"\"Ziel\"");
        ui.Antworten(antwort, u"Fehler beim Kopieren der Tabelle 'Kunden' nach 'Ziel'.");
        TabelleKopieren(Variante(u"Kunden"), Variante(u"Ziel"), false, Variante(u"ID"), std::nullopt,
                        Variante(u"NOTIZ"), Variante(dbText), Variante(10), Variante(u"Extra"), Variante(dbLong),
                        Variante(0));
        if (antwort == vb::Abort) {
            EXPECT_TRUE(gFehlerAbbruch);
            EXPECT_EQ(TabellenIndexErmitteln(Variante(u"Ziel")), -1) << "the old target is gone, the new one dropped";
        } else {
            EXPECT_FALSE(gFehlerAbbruch);
            EXPECT_EQ(Feldnamen(gDatenbank->TableDefs()[u"Ziel"]),
                      (std::vector<Text>{u"ID", u"NOTIZ", u"Extra", u"Name", u"Betrag", u"Seit"}));
        }
    }
    // Without any database the error box comes instead of a crash.
    DatenbankSchließen(gDatenbank);
    ui.Antworten(vb::Abort, u"Fehler beim Kopieren der Tabelle 'Kunden' nach 'X'.");
    TabelleKopieren(Variante(u"Kunden"), Variante(u"X"), false);
    ui.Antworten(vb::Abort, u"Fehler beim Erstellen der Relationen.");
    gDAOVerbindung = u"Access";
    RelationenErstellen(Variante(u"Kunden"), Variante(u"X"));
}

TEST_F(Datenbankzugriff, FeindlicheNamen) {
    Öffnen(Anlegen("k.sqlite"));
    const Text quelle = u"Kä]u[fer;'\"名前";
    auto t = gDatenbank->CreateTableDef(quelle);
    t->Fields().Append(t->CreateField(u"Na]me'\"", dbText, 20));
    t->Fields().Append(t->CreateField(u"Στήλη;", dbLong));
    auto ix = t->CreateIndex(u"i]x'");
    ix->Fields().Append(ix->CreateField(u"Στήλη;"));
    ix->Unique(true);
    t->Indexes().Append(ix);
    gDatenbank->TableDefs().Append(t);
    const Text ziel = u"Ziel [\"'];";
    TabelleKopieren(Variante(quelle), Variante(ziel), false, Variante(u"Στήλη;"), std::nullopt, Variante(u"Neu]\""),
                    Variante(dbText), Variante(5));
    ASSERT_FALSE(gFehlerAbbruch);
    auto z = gDatenbank->TableDefs()[ziel];
    EXPECT_EQ(Feldnamen(z), (std::vector<Text>{u"Na]me'\"", u"Στήλη;", u"Neu]\""}));
    EXPECT_TRUE(z->Indexes()[u"i]x'"]->Unique());
    ui.Antworten(vb::Yes, u"\"" + ziel + u"\"");
    TabelleKopieren(Variante(quelle), Variante(ziel), false);
    EXPECT_FALSE(gFehlerAbbruch);
    EXPECT_EQ(gDatenbank->TableDefs()[ziel]->Fields().Count(), 2);
}

// ---- Relations ----

TEST_F(Datenbankzugriff, VerknüpfungswarnungenBeimKopieren) {
    Öffnen(Anlegen("k.sqlite"));
    Relation(u"KundenAufträge", u"Kunden", u"Aufträge", dbRelationUpdateCascade | dbRelationDeleteCascade);
    Relation(u"OrteKunden", u"Orte", u"Kunden", dbRelationUpdateCascade);  // Kunden only the foreign table
    Relation(u"KundenOrte", u"Kunden", u"Orte", 0);
    const Text beide =
        u"Es besteht eine Verknüpfung zur Tabelle 'Aufträge'.\r1. Alle Änderungen der Datensätze werden "
        u"weitergegeben!\r2. Verknüpfte Datensätze werden ebenfalls in 'Aufträge' gelöscht!\r\rÄnderungen dieser "
        u"Einstellungen nehmen sie bitte mit den entsprechenden Programmen vor.\rMöchten sie fortsetzen?";
    const Text keine =
        u"Es besteht eine Verknüpfung zur Tabelle 'Orte'.\r1. Änderungen der Datensätze werden nicht "
        u"weitergegeben.\r2. Verknüpfte Datensätze werden nicht in 'Orte' gelöscht.\r\rÄnderungen dieser "
        u"Einstellungen nehmen sie bitte mit den entsprechenden Programmen vor.\rMöchten sie fortsetzen?";
    struct Fall {
        const char16_t* verbindung;
        bool mitRelationen;
        bool warnt;
    };
    int k = 0;
    for (const auto& f : {Fall{u"Access", true, true}, Fall{u";PWD=;", true, true}, Fall{u";PWD=ge;heim;", true, true},
                          Fall{u"Access", false, false}, Fall{u"", true, false}, Fall{u"Excel 5.0;", true, false},
                          Fall{u"Dbase 5;", true, false}, Fall{u"access", true, false}}) {
        gDAOVerbindung = f.verbindung;
        ui.meldungen.clear();
        if (f.warnt) {
            ui.Antworten(vb::Yes);
            ui.Antworten(vb::Yes);
        }
        const Text ziel = u"K" + ausUtf8(std::to_string(k++));
        TabelleKopieren(Variante(u"Kunden"), Variante(ziel), f.mitRelationen);
        EXPECT_FALSE(gAbbruch);
        EXPECT_GE(TabellenIndexErmitteln(Variante(ziel)), 0);
        if (!f.warnt) {
            EXPECT_TRUE(ui.meldungen.empty()) << u8(f.verbindung);
            continue;
        }
        ASSERT_EQ(ui.meldungen.size(), 2u) << u8(f.verbindung);
        EXPECT_EQ(ui.meldungen[0].text, beide);
        EXPECT_EQ(ui.meldungen[1].text, keine);
        EXPECT_EQ(ui.meldungen[0].stil, 68);
        EXPECT_EQ(ui.meldungen[0].titel, u"");
    }
    // No to the first warning: cancelled, the new empty target stays, no further box.
    gDAOVerbindung = u"Access";
    ui.Antworten(vb::No, u"'Aufträge'");
    TabelleKopieren(Variante(u"Kunden"), Variante(u"Abgelehnt"), true);
    EXPECT_TRUE(gAbbruch);
    EXPECT_FALSE(gFehlerAbbruch);
    EXPECT_GE(TabellenIndexErmitteln(Variante(u"Abgelehnt")), 0);
}

TEST_F(Datenbankzugriff, RelationenErstellenUndÜberschreiben) {
    Öffnen(Anlegen("k.sqlite"));
    Relation(u"Kunden", u"Kunden", u"Aufträge", dbRelationDeleteCascade);
    Relation(u"OrteKunden", u"Orte", u"Kunden", 0);
    gDAOVerbindung = u"Access";
    TabelleKopieren(Variante(u"Kunden"), Variante(u"Neu"), false);
    RelationenErstellen(Variante(u"Kunden"), Variante(u"Neu"));
    ASSERT_EQ(gDatenbank->Relations().Count(), 3);
    auto r = gDatenbank->Relations()[2];
    EXPECT_EQ(r->Name(), u"Kunden (korrigiert)");
    EXPECT_EQ(r->Table(), u"Neu");
    EXPECT_EQ(r->ForeignTable(), u"Aufträge");
    EXPECT_EQ(r->Attributes(), dbRelationDeleteCascade);
    ASSERT_EQ(r->Fields().Count(), 1);
    EXPECT_EQ(r->Fields()[0]->Name(), u"ID");
    EXPECT_EQ(r->Fields()[0]->ForeignName(), u"KundenID");
    // The relations survive closing and opening again.
    DatenbankSchließen(gDatenbank);
    Öffnen(tmp / "k.sqlite");
    EXPECT_EQ(gDatenbank->Relations()[u"Kunden (korrigiert)"]->Table(), u"Neu");

    // A second call for the same pair finds the name taken: the error box, ignore goes on.
    ui.Antworten(vb::Ignore, u"Fehler beim Erstellen der Relationen.");
    RelationenErstellen(Variante(u"Kunden"), Variante(u"Neu"));
    EXPECT_FALSE(gFehlerAbbruch);
    EXPECT_EQ(gDatenbank->Relations().Count(), 3);

    // Without the Access marker nothing happens, and a target that takes part in a
    // relation cannot be replaced: the error box, and the table stays.
    gDAOVerbindung = u"";
    RelationenErstellen(Variante(u"Kunden"), Variante(u"Anders"));
    EXPECT_EQ(gDatenbank->Relations().Count(), 3);
    ui.Antworten(vb::Yes);
    ui.Antworten(vb::Abort, u"Fehler beim Kopieren der Tabelle 'Kunden' nach 'Neu'.");
    TabelleKopieren(Variante(u"Kunden"), Variante(u"Neu"), false);
    EXPECT_TRUE(gFehlerAbbruch);
    EXPECT_GE(TabellenIndexErmitteln(Variante(u"Neu")), 0);
    EXPECT_EQ(gDatenbank->Relations().Count(), 3);

    // With the marker the target's own relations go first, then the table is replaced;
    // its relations are made again afterwards.
    gFehlerAbbruch = false;
    gDAOVerbindung = u"Access";
    ui.Antworten(vb::Yes);
    TabelleKopieren(Variante(u"Kunden"), Variante(u"Neu"), false);
    EXPECT_FALSE(gFehlerAbbruch);
    EXPECT_EQ(gDatenbank->Relations().Count(), 2);
    EXPECT_EQ(gDatenbank->Relations().Position(u"Kunden (korrigiert)"), -1);
    RelationenErstellen(Variante(u"Kunden"), Variante(u"Neu"));
    EXPECT_EQ(gDatenbank->Relations().Count(), 3);
}

// A cancel drops only what the run appended: the copy, never a table the user kept.
TEST_F(Datenbankzugriff, LaufListeKenntNurAngelegteTabellen) {
    Öffnen(Anlegen("k.sqlite"));
    LaufTabellenLeeren();
    ui.Antworten(vb::No);
    TabelleKopieren(Variante(u"Kunden"), Variante(u"ORTE"), false);  // declined: Orte stays the user's
    ASSERT_TRUE(gAbbruch);
    gAbbruch = false;
    TabelleKopieren(Variante(u"Kunden"), Variante(u"Kopie"), false);
    EXPECT_TRUE(VomLaufAngelegt(u"KOPIE"));
    EXPECT_FALSE(VomLaufAngelegt(u"Orte"));
    EXPECT_FALSE(LaufTabelleLöschen(u"Orte"));
    EXPECT_FALSE(LaufTabelleLöschen(u"Kunden"));
    EXPECT_TRUE(LaufTabelleLöschen(u"kopie"));
    EXPECT_LT(TabellenIndexErmitteln(Variante(u"Kopie")), 0);
    EXPECT_GE(TabellenIndexErmitteln(Variante(u"Orte")), 0);
    EXPECT_GE(TabellenIndexErmitteln(Variante(u"Kunden")), 0);
    EXPECT_FALSE(VomLaufAngelegt(u"Kopie"));
}

// ---- Writing the results back ----

namespace {
// A dBase folder with one new table of one row in the working store, not yet written.
struct Rückschreiben : Datenbankzugriff {
    std::unique_ptr<TempVerzeichnis> ordner;
    std::shared_ptr<Schreibstörung> störung;
    void SetUp() override {
        Datenbankzugriff::SetUp();
        ordner = std::make_unique<TempVerzeichnis>();
        störung = GestörtenDbaseOrdnerÖffnen(ordner->pfad());
        TesttabelleAnlegen(u"ERGEBNIS", {{u"NAME", dbText, 20}}, {{Variante(u"Müller")}});
    }
    // What a fresh open of the folder finds: the rows of ERGEBNIS, -1 without the table.
    int32_t ImOrdner() const {
        auto ws = CreateWorkspace(u"", u"Admin", u"", 2);
        auto db = ws->OpenDatabase(speicher::dbase::TreiberÖffnen(ausUtf8(ordner->pfad()), true), u"x");
        if (db->TableDefs().Position(u"ERGEBNIS") < 0) return -1;
        auto rs = db->OpenRecordset(u"ERGEBNIS");
        return rs->EOF_() ? 0 : (rs->MoveLast(), rs->RecordCount());
    }
    void BoxPrüfen(const GezeigteMeldung& m) const {
        // The trap's own box: the message, then the driver's reason.
        EXPECT_EQ(m.text.rfind(u"Fehler beim Speichern der Datenbank.\rSystemmeldung:\r" + kVollerDatenträger, 0), 0u)
            << nachUtf8(m.text);
        EXPECT_EQ(m.titel, std::optional<Text>(u" Fehler!"));
        EXPECT_EQ(m.stil, vb::AbortRetryIgnore + vb::Critical + vb::DefaultButton3);
    }
};
}  // namespace

TEST_F(Rückschreiben, SpeichernSchreibtInDieDateiOderZeigtDenGrund) {
    struct Fall {
        const char* was;
        int fehlschläge;
        std::vector<int> antworten;
        bool ergebnis;     // of DatenbankSpeichern
        int32_t imOrdner;  // afterwards
        bool fehlerAbbruch;
    };
    const std::vector<Fall> fälle = {
        {"gelingt", 0, {}, true, 1, false},
        {"Wiederholen nach einem Fehler", 1, {vb::Retry}, true, 1, false},
        {"zweimal Wiederholen", 2, {vb::Retry, vb::Retry}, true, 1, false},
        {"Ignorieren", 1, {vb::Ignore}, true, -1, false},
        {"Abbrechen", 1, {vb::Abort}, false, -1, true},
    };
    for (const auto& f : fälle) {
        SCOPED_TRACE(f.was);
        TearDown();
        SetUp();
        störung->fehlschläge = f.fehlschläge;
        for (int a : f.antworten) ui.Antworten(a);
        ui.meldungen.clear();
        EXPECT_EQ(DatenbankSpeichern(), f.ergebnis);
        EXPECT_EQ(ImOrdner(), f.imOrdner);
        EXPECT_EQ(gFehlerAbbruch, f.fehlerAbbruch);
        ASSERT_EQ(ui.meldungen.size(), f.antworten.size());
        for (const auto& m : ui.meldungen) BoxPrüfen(m);
        // What was kept in the working store goes with the next write; nothing twice.
        const int vorher = störung->versuche;
        DatenbankSchließen(gDatenbank);
        EXPECT_FALSE(gDatenbank);
        EXPECT_EQ(ImOrdner(), 1);
        EXPECT_EQ(störung->versuche, vorher + (f.imOrdner < 0 ? 1 : 0));
        gFehlerAbbruch = false;
    }
}

TEST_F(Rückschreiben, SchließenMitFehlerBleibtOffen) {
    störung->fehlschläge = 3;
    ui.Antworten(vb::Ignore);
    DatenbankSchließen(gDatenbank);
    ASSERT_TRUE(gDatenbank);
    EXPECT_EQ(gDatenbank->TableDefs().Position(u"ERGEBNIS"), 0);  // still open, the result kept
    EXPECT_EQ(ImOrdner(), -1);
    ASSERT_EQ(ui.meldungen.size(), 1u);
    BoxPrüfen(ui.meldungen[0]);
    // The shutdown keeps the workspace while the database stays open; abort says so.
    ui.Antworten(vb::Abort);
    EXPECT_FALSE(ArbeitsbereichSchließen());
    EXPECT_TRUE(gFehlerAbbruch);
    ASSERT_TRUE(gDatenbank);
    ASSERT_TRUE(gArbeitsbereich);
    ui.Antworten(vb::Retry);  // the disk has room again after one more failure
    DatenbankSchließen(gDatenbank);
    EXPECT_EQ(ui.meldungen.size(), 3u);
    EXPECT_FALSE(gDatenbank);
    EXPECT_EQ(ImOrdner(), 1);
    EXPECT_EQ(ui.offeneAntworten(), 0u);
}
