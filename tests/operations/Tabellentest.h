#pragma once
// A native database with tables made for one test, the fake window, and readers
// for the result tables.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/FakeOberflaeche.h"
#include "common/TempVerzeichnis.h"
#include "common/Testtabelle.h"
#include "foundation/mdlDatenbank.h"
#include "foundation/mdlDeklarationen.h"
#include "foundation/mdlLaufTabellen.h"
#include "foundation/mdlMeldungen.h"
#include "operations/Programmzustand.h"
#include "platform/basic/Fehler.h"
#include "platform/dao/Dao.h"

using Spalte = Testspalte;

struct Feldbild {
    Text name;
    int16_t typ;
    int32_t größe;
    bool operator==(const Feldbild&) const = default;
};

inline std::ostream& operator<<(std::ostream& os, const Feldbild& f) {
    return os << nachUtf8(f.name) << ":" << f.typ << ":" << f.größe;
}

class Tabellentest : public ::testing::Test {
protected:
    void SetUp() override {
        ProgrammzustandZurücksetzen();
        gArbeitsbereich = dao::CreateWorkspace(u"", u"Admin", u"", 2);
        gSystemmeldung = true;
        gAktuellerRahmen = 31;
        Err().Clear();
        gDatenbank = gArbeitsbereich->CreateDatabase(ausUtf8(tmp / "daten.sqlite"));
    }
    void TearDown() override {
        DatenbankSchließen(gDatenbank);
        ProgrammzustandZurücksetzen();
    }

    // A table with the given columns and rows (one Variante per column).
    void Anlegen(const Text& name, const std::vector<Spalte>& spalten,
                 const std::vector<std::vector<Variante>>& zeilen) {
        TesttabelleAnlegen(name, spalten, zeilen);
    }

    void Indizieren(const Text& tabelle, const Text& spalte) {
        auto t = gDatenbank->TableDefs()[tabelle];
        auto ix = t->CreateIndex(u"ix" + spalte);
        ix->Fields().Append(ix->CreateField(spalte));
        t->Indexes().Append(ix);
    }

    bool Gibt(const Text& tabelle) const { return TabellenIndexErmitteln(Variante(tabelle)) >= 0; }

    std::vector<Feldbild> Felder(const Text& tabelle) const {
        std::vector<Feldbild> r;
        for (const auto& f : gDatenbank->TableDefs()[tabelle]->Fields().liste())
            r.push_back({f->Name(), f->Type(), f->Type() == dao::dbText ? f->Size() : 0});
        return r;
    }

    std::vector<std::vector<Variante>> Zeilen(const Text& tabelle) const {
        std::vector<std::vector<Variante>> r;
        auto rs = gDatenbank->OpenRecordset(tabelle);
        for (; !rs->EOF_(); rs->MoveNext()) {
            std::vector<Variante> z;
            for (int32_t i = 0; i < rs->Fields().Count(); ++i) z.push_back(rs->Fields()[i]->Value());
            r.push_back(z);
        }
        rs->Close();
        return r;
    }

    std::vector<std::string> Spaltenwerte(const Text& tabelle, const Text& spalte) const {
        return TabellenSpalte(tabelle, spalte);
    }

    TempVerzeichnis tmp;
    FakeOberfläche ui;
};

inline Variante N() { return Variante::Null(); }
inline Variante T(const char16_t* t) { return Variante(t); }
