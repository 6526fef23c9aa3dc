#pragma once
// The real main window on the offscreen platform, over a database of the test's
// own, with scripted dialogs. Helpers walk the wizard as a user clicks it.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>

#include <QDate>
#include <QTest>

#include "common/TempVerzeichnis.h"
#include "common/Testtabelle.h"
#include "foundation/Oberflaeche.h"
#include "foundation/mdlAllgemeines.h"
#include "foundation/mdlDatenbank.h"
#include "foundation/mdlDeklarationen.h"
#include "foundation/mdlLaufTabellen.h"
#include "foundation/mdlMeldungen.h"
#include "operations/Programmzustand.h"
#include "platform/basic/Fehler.h"
#include "platform/dao/Dao.h"
#include "platform/dao/DaoFehler.h"
#include "platform/registry/Registry.h"
#include "ui/SkriptDialoge.h"
#include "ui/frmHaupt.h"
#include "ui/mdlRahmen.h"

inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }

// Address rows for the wizard's runs: two of them the same company.
inline std::vector<Testspalte> Kundenspalten() {
    return {{u"Firma"}, {u"Strasse"}, {u"PLZ", dao::dbText, 10}, {u"Ort"}, {u"Telefon"}};
}
inline std::vector<std::vector<Variante>> Kundenzeilen() {
    return {
        {Variante(u"Müller GmbH"), Variante(u"Hauptstraße 5"), Variante(u"10115"), Variante(u"Berlin"),
         Variante(u"030 123456")},
        {Variante(u"Müller GmbH"), Variante(u"Hauptstraße 5"), Variante(u"10115"), Variante(u"Berlin"),
         Variante(u"030 123456")},
        {Variante(u"Schmidt AG"), Variante(u"Marktplatz 1"), Variante(u"80331"), Variante(u"München"),
         Variante(u"089 998877")},
        {Variante(u"Weber KG"), Variante(u"Ringstraße 12"), Variante(u"50667"), Variante(u"Köln"),
         Variante(u"0221 445566")},
    };
}

class Fenstertest : public ::testing::Test {
protected:
    TempVerzeichnis tmp;
    SkriptDialoge dialoge;
    std::unique_ptr<frmHaupt> f;
    std::string datenbank;  // path of the test's database

    void SetUp() override {
        ProgrammzustandZurücksetzen();
        vorher_ = ProgrammVerzeichnis();
        ProgrammVerzeichnisSetzen(ausUtf8(tmp.pfad() + "/"));
        registry::RegistryDateiSetzen(tmp / "registry");
        f = std::make_unique<frmHaupt>(dialoge);
        OberflächeSetzen(f.get());
        ASSERT_TRUE(f->Form_Load());
        f->Heute = [] { return QDate(2026, 12, 9); };
        f->show();
        datenbank = tmp / "kunden.sqlite";
    }
    void TearDown() override {
        DatenbankSchließen(gDatenbank);
        f.reset();
        OberflächeSetzen(nullptr);
        ProgrammzustandZurücksetzen();
        registry::RegistryDateiSetzen("");
        ProgrammVerzeichnisSetzen(vorher_);
        Err().Clear();
        dao::FehlerSammlungLeeren();
    }

    // A native database at `datenbank` holding the tables, closed again.
    void DatenbankAnlegen(const std::vector<std::pair<Text, std::vector<std::vector<Variante>>>>& tabellen,
                          const std::vector<Testspalte>& spalten = Kundenspalten()) {
        if (!std::filesystem::exists(datenbank)) gArbeitsbereich->CreateDatabase(ausUtf8(datenbank))->Close();
        DatenbankÖffnen(Variante(ausUtf8(datenbank)), Variante(u""), gDatenbank);
        ASSERT_FALSE(gFehlerAbbruch);
        for (const auto& [name, zeilen] : tabellen) TesttabelleAnlegen(name, spalten, zeilen);
        DatenbankSchließen(gDatenbank);
    }

    static void Klicken(QAbstractButton* b) {
        ASSERT_TRUE(b->isVisible()) << b->objectName().toStdString() << " ist nicht sichtbar";
        ASSERT_TRUE(b->isEnabled()) << b->objectName().toStdString() << " ist gesperrt";
        QTest::mouseClick(b, Qt::LeftButton);
    }
    void Weiter() { Klicken(f->btnWeiter); }
    void Zurück() { Klicken(f->btnZurück); }

    // Pages 0 to 3 with the test's database opened and `tabelle` chosen on page 3 (not yet left).
    void BisZurTabelle(const QString& tabelle = QStringLiteral("Kunden")) {
        Weiter();
        Weiter();
        f->tbxDatenbankName->TextSetzen(QString::fromStdString(datenbank));
        Weiter();
        ASSERT_EQ(gAktuellerRahmen, 3);
        const auto gefunden = f->lstTabellen->findItems(tabelle, Qt::MatchExactly);
        ASSERT_EQ(gefunden.size(), 1) << tabelle.toStdString();
        f->lstTabellen->ListIndexSetzen(f->lstTabellen->row(gefunden.front()));
    }

    // From page 3 (table chosen) through a split of Strasse into Str and Nr, the source
    // column dropped, into `ziel`, to the result page.
    void SplittenBisZurErgebnisseite(const QString& ziel) {
        Weiter();
        Klicken(f->btnAuswahl[1]);
        f->tbxZielTabelle->TextSetzen(ziel);
        Weiter();
        ASSERT_EQ(gAktuellerRahmen, 31);
        f->cbxSplittenTypus->ListIndexSetzen(1);
        f->cbxSplitten1->TextSetzen(QStringLiteral("Strasse"));
        f->tbxSplitten1->TextSetzen(QStringLiteral("Str"));
        f->tbxSplitten2->TextSetzen(QStringLiteral("Nr"));
        f->chkSplittenLöschen->ValueSetzen(1);
        Weiter();
        ASSERT_EQ(gAktuellerRahmen, 32);
    }

    // On to the search options of a duplicate search on Kunden.
    void BisZuDenSuchoptionen() {
        BisZurTabelle();
        Weiter();
        Klicken(f->btnAuswahl[3]);
        Weiter();
        Weiter();
        ASSERT_EQ(gAktuellerRahmen, 11);
    }

    // The frames shown: exactly the current page's.
    std::vector<int> SichtbareRahmen() const {
        std::vector<int> r;
        for (const auto& [seite, rahmen] : f->freRahmen)
            if (rahmen->isVisible()) r.push_back(seite);
        return r;
    }

private:
    Text vorher_;
};
