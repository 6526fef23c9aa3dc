#pragma once
// A native database with a table made for one test and the options of the
// search-option page, for runs of the whole search.
#include <string>
#include <vector>

#include "common/Testtabelle.h"
#include "foundation/mdlDatenbank.h"
#include "foundation/mdlLaufTabellen.h"
#include "search/SuchTest.h"

class Suchdatenbank : public SuchTest {
protected:
    void SetUp() override {
        SuchTest::SetUp();
        gArbeitsbereich = dao::CreateWorkspace(u"", u"Admin", u"", 2);
        gDatenbank = gArbeitsbereich->CreateDatabase(ausUtf8(tmp / "daten.sqlite"));
        gAktuellerRahmen = 11;
        oberfläche.WertSetzen(u"sdrToleranz", 1);
        oberfläche.WertSetzen(u"chkQuickSuche", 1);
    }
    void TearDown() override {
        DatenbankSchließen(gDatenbank);
        SuchTest::TearDown();
    }

    // Pass p sorted by the columns at these list indexes (1: the first column).
    void Pass(int p, std::vector<int> listenindizes, int zeichen = 3) {
        oberfläche.WertSetzen(u"chkSucheDurchführen", 1, p);
        listenindizes.resize(3, 0);
        for (int j = 0; j < 3; ++j) oberfläche.WertSetzen(u"cbxSuchFeld", listenindizes[j], 3 * p + j);
        oberfläche.WertSetzen(u"sdrZeichenRichtig", zeichen, p);
    }

    static bool Gibt(const Text& tabelle) { return TabellenIndexErmitteln(Variante(tabelle)) >= 0; }
};
