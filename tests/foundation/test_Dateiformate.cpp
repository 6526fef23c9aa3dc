// The formats through the program's own open: an .xls workbook and an .mdb file.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "common/FakeOberflaeche.h"
#include "common/TempVerzeichnis.h"
#include "foundation/mdlDatenbank.h"
#include "foundation/mdlDeklarationen.h"
#include "foundation/mdlStart.h"
#include "platform/basic/Fehler.h"
#include "platform/dao/Dao.h"

namespace {
namespace fs = std::filesystem;

std::string Inhalt(const fs::path& p) {
    std::ifstream f(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(f), {}};
}

class Dateiformate : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(ArbeitsbereichErstellen());
        gDAOVerbindung.clear();
    }
    void TearDown() override { ArbeitsbereichSchließen(); }
    FakeOberfläche ui;
    TempVerzeichnis tmp;
};

const Text kÖffnungsfehler = u"Fehler beim Öffnen der Datenbank.";

TEST_F(Dateiformate, ArbeitsmappeNeuesBlattBleibtNachDemSchließen) {
    const fs::path datei = tmp / "Mappe.xls";
    fs::copy_file(fs::path(PURIVO_FIXTURES) / "excel/Test97.xls", datei);
    DatenbankÖffnen(Variante(ausUtf8(datei.string())), Variante(u""), gDatenbank);
    ASSERT_FALSE(gFehlerAbbruch);
    EXPECT_EQ(gDAOVerbindung, u"Excel 5.0;");
    ASSERT_GE(TabellenIndexErmitteln(Variante(u"sheet2")), 0);
    const int32_t zeilen = DatensätzeZählen(gDatenbank->OpenRecordset(u"Sheet1-ASC"));
    EXPECT_GT(zeilen, 0);

    auto t = gDatenbank->CreateTableDef(u"Kunden");
    t->Fields().Append(t->CreateField(u"Name", dao::dbText, 50));
    t->Fields().Append(t->CreateField(u"Umsatz", dao::dbDouble));
    gDatenbank->TableDefs().Append(t);
    auto rs = gDatenbank->OpenRecordset(u"Kunden");
    for (const auto& [name, umsatz] : {std::pair{u"Müller", 12.5}, std::pair{u"Weiß", 3.0}}) {
        rs->AddNew();
        rs->Fields()[u"Name"]->Value(Variante(name));
        rs->Fields()[u"Umsatz"]->Value(Variante(umsatz));
        rs->Update();
    }
    rs.reset();
    DatenbankSchließen(gDatenbank);

    DatenbankÖffnen(Variante(ausUtf8(datei.string())), Variante(u""), gDatenbank);
    ASSERT_FALSE(gFehlerAbbruch);
    auto neu = gDatenbank->OpenRecordset(u"SELECT * FROM [Kunden] ORDER BY [Name]");
    ASSERT_EQ(DatensätzeZählen(neu), 2);
    EXPECT_EQ(neu->Fields()[u"Name"]->Value().alsText(), u"Müller");
    EXPECT_DOUBLE_EQ(neu->Fields()[u"Umsatz"]->Value().alsDouble(), 12.5);
    EXPECT_EQ(DatensätzeZählen(gDatenbank->OpenRecordset(u"Sheet1-ASC")), zeilen);
}

TEST_F(Dateiformate, SchreibgeschützteAccessDateiWirdGelesenAberNichtGeschrieben) {
    const fs::path ordner = fs::path(PURIVO_SHARED) / "fixtures/access";
    if (!fs::exists(ordner)) GTEST_SKIP() << "no " << ordner << " (shared folder absent)";
    const fs::path datei = ordner / "sample-adressen.mdb";
    const std::string vorher = Inhalt(datei);
    DatenbankÖffnen(Variante(ausUtf8(datei.string())), Variante(u""), gDatenbank);
    ASSERT_FALSE(gFehlerAbbruch);
    EXPECT_EQ(gDAOVerbindung, u";PWD=;");
    auto rs = gDatenbank->OpenRecordset(u"SELECT * FROM [Adressen] ORDER BY [ID]");
    EXPECT_EQ(DatensätzeZählen(rs), 20);
    EXPECT_EQ(rs->Fields()[u"Ort"]->Value().alsText(), u"München");
    try {
        rs->AddNew();
        ADD_FAILURE() << "a read-only Access file must refuse changes";
    } catch (const LaufzeitFehler& e) {
        EXPECT_EQ(e.Nummer(), 3027);
    }
    rs.reset();
    DatenbankSchließen(gDatenbank);
    EXPECT_EQ(Inhalt(datei), vorher);

    // A password on a file without one, and none on a file with one: the open-failure box.
    for (const auto& [name, passwort] :
         {std::pair{"V2000_no-password.mdb", u"falsch"}, std::pair{"V2000_with-password.mdb", u""}}) {
        ui.Antworten(vb::OK, kÖffnungsfehler);
        DatenbankÖffnen(Variante(ausUtf8((ordner / name).string())), Variante(passwort), gDatenbank);
        EXPECT_TRUE(gFehlerAbbruch) << name;
        EXPECT_FALSE(gDatenbank) << name;
    }
    DatenbankÖffnen(Variante(ausUtf8((ordner / "V2000_with-password.mdb").string())), Variante(u"password"),
                    gDatenbank);
    EXPECT_FALSE(gFehlerAbbruch);
    DatenbankSchließen(gDatenbank);
}

}  // namespace
