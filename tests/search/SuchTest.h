#pragma once
// Common ground of the search tests: the built-in field types, a typing of the
// source columns, and rows of TEMP_DS given row by row.
#include <gtest/gtest.h>

#include <vector>

#include "common/FakeOberflaeche.h"
#include "common/TempVerzeichnis.h"
#include "foundation/mdlAllgemeines.h"
#include "foundation/mdlDeklarationen.h"
#include "foundation/mdlFeldtypen.h"
#include "foundation/mdlMeldungen.h"
#include "operations/Programmzustand.h"
#include "platform/dao/DaoFehler.h"
#include "search/Suchzeilen.h"
#include "search/mdlSuche.h"

inline void Typisieren(std::vector<Feldzuordnung> felder) {
    Suchzuordnung = std::move(felder);
    Suchspaltenzahl = static_cast<int16_t>(Suchzuordnung.size());
}

class SuchTest : public ::testing::Test {
protected:
    FakeOberfläche oberfläche;
    TempVerzeichnis tmp;

    void SetUp() override {
        ProgrammzustandZurücksetzen();
        vorher_ = ProgrammVerzeichnis();
        ProgrammVerzeichnisSetzen(ausUtf8(tmp.pfad()));  // no settings file: built-in weights
        FeldtypenInitialisieren();
        dao::FehlerSammlungLeeren();
        Err().Clear();
    }
    void TearDown() override {
        ProgrammVerzeichnisSetzen(vorher_);
        ProgrammzustandZurücksetzen();
    }

    // TEMP_DS rows (user columns only), as GetRows gives them: [column][row],
    // with the four bookkeeping columns appended.
    static std::vector<std::vector<Variante>> Spaltenweise(const std::vector<std::vector<Variante>>& zeilen) {
        std::vector<std::vector<Variante>> spalten(zeilen.empty() ? 4 : zeilen[0].size() + 4);
        for (size_t r = 0; r < zeilen.size(); ++r) {
            for (size_t c = 0; c < zeilen[r].size(); ++c) spalten[c].push_back(zeilen[r][c]);
            const size_t n = zeilen[r].size();
            spalten[n].push_back(Variante(static_cast<uint8_t>(11)));
            spalten[n + 1].push_back(Variante(static_cast<int32_t>(r + 1)));
            spalten[n + 2].push_back(Variante(static_cast<int32_t>(0)));
            spalten[n + 3].push_back(Variante(u""));
        }
        return spalten;
    }

    // The score of two rows held in one block; -1 when no score was written.
    static float Punkte(const std::vector<Variante>& a, const std::vector<Variante>& b) {
        const Suchzeilen z(Spaltenweise({a, b}));
        float wert = -1;
        DatensätzeVergleichen(z, z, 0, 1, wert);
        return wert;
    }

private:
    Text vorher_;
};

inline constexpr Feldzuordnung Ignorieren{0, 1}, Index{1, 1}, Firmenname{2, 1}, Rechtsform{2, 2}, FirmaUndForm{2, 3},
    Branche{2, 4}, Straße{3, 1}, Hausnummer{3, 2}, StraßeUndNummer{3, 3}, Postleitzahl{3, 4}, Ort{3, 8},
    PlzUndOrt{3, 12}, Anrede{4, 1}, Vorname{4, 2}, Nachname{4, 4}, VorUndNachname{4, 6}, AnredeUndNachname{4, 5},
    Kontaktname{4, 7}, Abteilung{4, 8}, Vorwahl{5, 1}, Telefon{5, 2}, Telefax{5, 4}, VorwahlUndTelefon{5, 3},
    VorwahlUndTelefax{5, 5}, Email{6, 1}, Internet{6, 2};
