#include <gtest/gtest.h>

#include "common/FakeOberflaeche.h"
#include "common/TempVerzeichnis.h"
#include "foundation/mdlAllgemeines.h"
#include "foundation/mdlDeklarationen.h"
#include "foundation/mdlFeldtypen.h"
#include "foundation/mdlStart.h"
#include "platform/basic/Fehler.h"
#include "platform/basic/Laufzeit.h"
#include "platform/dao/Dao.h"

namespace {
class Start : public ::testing::Test {
protected:
    void SetUp() override {
        vorher_ = ProgrammVerzeichnis();
        ProgrammVerzeichnisSetzen(ausUtf8(tmp.pfad()));  // no Einstellungen.CFG here
        gSystemmeldung = false;
        gRelevanz = gSignifikanz = 0;
        gRegSchlüssel.clear();
        gArbeitsbereich.reset();
        gDatenbank.reset();
    }
    void TearDown() override {
        gDatenbank.reset();
        gArbeitsbereich.reset();
        ProgrammVerzeichnisSetzen(vorher_);
        FeldtypenInitialisieren();
    }
    TempVerzeichnis tmp;
    FakeOberfläche ui;  // any message box fails the test

private:
    Text vorher_;
};
}  // namespace

TEST_F(Start, FülltDenZustandOhneEinstellungsdatei) {
    RandomizeMit(7);
    const float ohneStart = Rnd();
    RandomizeMit(7);
    ASSERT_TRUE(ProgrammInitialisieren());
    EXPECT_NE(Rnd(), ohneStart) << "the generator is seeded from the clock";
    EXPECT_TRUE(gSystemmeldung);
    ASSERT_TRUE(gArbeitsbereich);
    EXPECT_EQ(gArbeitsbereich->Name(), u"");
    EXPECT_EQ(gRegSchlüssel, u"Software\\Valdrin Software\\Purivo\\1.0");
    EXPECT_FLOAT_EQ(gRelevanz, 0.8f);
    EXPECT_FLOAT_EQ(gSignifikanz, 0.6f);
    EXPECT_EQ(Typen[TypFirmenname].Name.empty(), false);
    EXPECT_TRUE(ui.meldungen.empty());
}

TEST_F(Start, OhneArbeitsbereichEndetDasProgrammMitMeldung) {
    // Type 1 is a workspace type the engine does not offer.
    ui.Antworten(vb::OK, u"Das Programm wird beendet.");
    EXPECT_FALSE(ArbeitsbereichErstellen(1));
    EXPECT_FALSE(gArbeitsbereich);
    ASSERT_EQ(ui.meldungen.size(), 1u);
    EXPECT_EQ(ui.meldungen[0].stil, vb::OKOnly + vb::Critical);
    EXPECT_NE(ui.meldungen[0].text.find(u"Systemmeldung:\r"), Text::npos);
    // Shutting down after such a start closes nothing and says nothing.
    ArbeitsbereichSchließen();
    EXPECT_FALSE(gArbeitsbereich);
}

TEST_F(Start, HerunterfahrenSchließtDatenbankUndArbeitsbereich) {
    ASSERT_TRUE(ProgrammInitialisieren());
    // Never opened a database: no message.
    ArbeitsbereichSchließen();
    EXPECT_FALSE(gArbeitsbereich);
    EXPECT_FALSE(gDatenbank);

    ASSERT_TRUE(ProgrammInitialisieren());
    const std::string datei = tmp / "kunden.sqlite";
    {
        auto db = gArbeitsbereich->CreateDatabase(ausUtf8(datei));
        auto t = db->CreateTableDef(u"Kunden");
        t->Fields().Append(t->CreateField(u"Name", dao::dbText, 20));
        db->TableDefs().Append(t);
        db->Close();
    }
    gDatenbank = gArbeitsbereich->OpenDatabase(ausUtf8(datei));
    auto offen = gDatenbank;
    // A transaction left open at shutdown is rolled back, not committed.
    gArbeitsbereich->BeginTrans();
    auto rs = gDatenbank->OpenRecordset(u"Kunden");
    rs->AddNew();
    rs->Fields()[u"Name"]->Value(Variante(u"Müller"));
    rs->Update();
    rs.reset();
    ArbeitsbereichSchließen();
    EXPECT_FALSE(gDatenbank);
    EXPECT_FALSE(gArbeitsbereich);
    EXPECT_THROW(offen->TableDefs(), LaufzeitFehler) << "the database was closed";

    ASSERT_TRUE(ProgrammInitialisieren());
    auto wieder = gArbeitsbereich->OpenDatabase(ausUtf8(datei));
    EXPECT_EQ(wieder->OpenRecordset(u"Kunden")->RecordCount(), 0);
    EXPECT_TRUE(ui.meldungen.empty());
}
