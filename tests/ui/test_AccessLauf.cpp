// A whole run of the wizard on an Access file: the result lands in the .mdb, where the
// foreign readers find it, and the file stays sound.
#include "common/AccessVorlagen.h"
#include "common/FremdeLeser.h"
#include "common/Jet4Pruefer.h"
#include "ui/Fenstertest.h"

namespace {

using AccessLauf = Fenstertest;

TEST_F(AccessLauf, DublettensucheSchreibtIhrErgebnisInDieMdb) {
    ACCESS_FIXTUREN_NOETIG();
    TempVerzeichnis t;
    datenbank = AccessKopie(t, "empty.mdb");
    DatenbankAnlegen({{u"Kunden", Kundenzeilen()}, {u"Leer", {}}});
    BisZuDenSuchoptionen();
    f->beiDublettenBearbeiten = [] { return 0; };
    Weiter();
    ASSERT_EQ(gAktuellerRahmen, 13);
    DatenbankSchließen(gDatenbank);
    EXPECT_EQ(fremd::MdbTabellen(datenbank),
              (std::vector<std::string>{"Kunden", "Leer", "Kunden _#1__9_12_2026"}));
    const auto ergebnis = fremd::MdbExport(datenbank, "Kunden _#1__9_12_2026");
    ASSERT_EQ(ergebnis.zeilen.size(), 2u);
    EXPECT_EQ(ergebnis.zeilen[0].at(0), "Schmidt AG");
    EXPECT_EQ(ergebnis.zeilen[1].at(0), "Weber KG");
    EXPECT_EQ(fremd::MdbExport(datenbank, "Kunden").zeilen.size(), 4u);
    for (const auto& p : Jet4Prüfen(DateiBytes(datenbank))) ADD_FAILURE() << p;
}

}  // namespace
