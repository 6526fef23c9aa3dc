#include <memory>

#include "platform/dao/Dao.h"
#include "search/SuchTest.h"

namespace {

using dao::dbAutoIncrField, dao::dbBoolean, dao::dbCurrency, dao::dbDate, dao::dbLong, dao::dbMemo, dao::dbText;

const Variante N = Variante::Null();

struct Spalte {
    Feldzuordnung typ;
    Variante wert;
    int16_t art = dbText;
    int32_t größe = 50;
    int32_t attribute = 0;
};

class Aufbereitung : public SuchTest {
protected:
    void SetUp() override {
        SuchTest::SetUp();
        ws_ = dao::CreateWorkspace(u"", u"Admin", u"");
        db_ = ws_->CreateDatabase(ausUtf8(tmp / "such.db"));
    }
    void TearDown() override {
        rs_.reset();
        db_.reset();
        SuchTest::TearDown();
    }

    // A new TEMP_DS with one field per column not typed Ignorieren, a new row
    // holding the values, prepared; returns the row's values.
    std::vector<Variante> Aufbereiten(const std::vector<Spalte>& spalten) {
        const Text name = u"TEMP_DS" + ausUtf8(std::to_string(++tabellen_));
        auto t = db_->CreateTableDef(name);
        std::vector<Feldzuordnung> typen;
        int n = 0;
        for (const auto& s : spalten) {
            typen.push_back(s.typ);
            if (s.typ.Gruppe == 0 && s.typ.Bits == 1) continue;
            auto f = t->CreateField(u"F" + ausUtf8(std::to_string(n++)), s.art, s.größe);
            f->Attributes(s.attribute);
            if (s.art == dbText || s.art == dbMemo) f->AllowZeroLength(true);
            t->Fields().Append(f);
        }
        db_->TableDefs().Append(t);
        Typisieren(typen);
        rs_ = db_->OpenRecordset(name);
        rs_->AddNew();
        n = 0;
        for (const auto& s : spalten)
            if (!(s.typ.Gruppe == 0 && s.typ.Bits == 1) && !(s.attribute & dbAutoIncrField))
                rs_->Fields()[n++]->Value(s.wert);
            else if (s.attribute & dbAutoIncrField) ++n;
        DatensatzAufbereiten(*rs_);
        std::vector<Variante> werte;
        for (int i = 0; i < rs_->Fields().Count(); ++i) werte.push_back(rs_->Fields()[i]->Value());
        return werte;
    }
    Variante Eins(Feldzuordnung typ, Variante wert, int16_t art = dbText, int32_t größe = 50) {
        return Aufbereiten({{typ, std::move(wert), art, größe}}).at(0);
    }

    dao::WorkspacePtr ws_;
    dao::DatabasePtr db_;
    dao::RecordsetPtr rs_;
    int tabellen_ = 0;
};

}  // namespace

TEST(Textwerkzeuge, NormalisierenZiffernEntfernen) {
    struct Fall {
        Variante wert;
        Text erwartet;
    };
    for (const auto& f : {Fall{Variante::Empty(), u""}, Fall{N, u""}, Fall{u"- / .", u""},
                          Fall{u"Müller-Lüdenscheidt GmbH & Co. KG", u"müller lüdenscheidt gmbh co kg"},
                          Fall{u" .Müller-Lüdenscheidt GmbH & Co. KG. ", u"müller lüdenscheidt gmbh co kg"},
                          Fall{u"Straße 5a", u"strasse 5a"}, Fall{u"Café René", u"caf ren"}, Fall{u"ÄÖÜ  x", u"äöü x"},
                          Fall{Variante(1.5), u"1 5"}})
        EXPECT_EQ(TextNormalisieren(f.wert), f.erwartet) << f.wert;
    for (const auto& f : {Fall{u"D-12345", u"12345"}, Fall{u"12-14a", u"1214"}, Fall{N, u""},
                          Fall{Variante::Empty(), u""}, Fall{Variante(12345), u"12345"}, Fall{u"abc", u""}})
        EXPECT_EQ(NurZiffern(f.wert), f.erwartet) << f.wert;
    EXPECT_TRUE(TeilEntfernen(N, u"x").istEmpty());
    EXPECT_TRUE(TeilEntfernen(Variante::Empty(), u"x").identisch(Variante(u"")));
    EXPECT_TRUE(TeilEntfernen(u"xaXxbx", u"x").identisch(Variante(u"aXb")));
}

TEST_F(Aufbereitung, RegelnJeFeldtyp) {
    struct Fall {
        Feldzuordnung typ;
        Variante wert;
        Variante erwartet;
    };
    const Fall fälle[] = {
        {Straße, u"Hauptstraße 12", u"haupt 12"},
        {Straße, u"Hauptstr. 12", u"haupt 12"},
        {Straße, u"Lindenallee", u"l"},
        {Straße, u"Am Anger 3", u" ger 3"},  // removed inside words, not trimmed
        {StraßeUndNummer, u"Am Anger 3a", u"ger 3"},
        {StraßeUndNummer, u"Am Markt", u"markt "},
        {StraßeUndNummer, N, u" "},
        {Hausnummer, u"12-14a", u"1214"},
        {Postleitzahl, u"D-12345", u"12345"},
        {Ort, u"Frankfurt (Main)", u"frankfurt main"},
        {PlzUndOrt, u"12345 Berlin", u"12345 berlin"},
        {{3, 5}, u"Hauptstraße 12345", u"Hauptstraße 12345"},  // no rule for Straße + Postleitzahl
        {FirmaUndForm, u"Müller Bau GmbH", u"müller bau GmbH"},
        {FirmaUndForm, u"Müller Bau", u"müller bau "},
        {FirmaUndForm, N, u" "},
        {Rechtsform, u"Beispiel GmbH & Co. KG",
         u"beispiel co GmbH & Co. KG"},  // Co. with its dot is no legal-form word
        {Firmenname, u"Müller-Bau GmbH", u"müller bau gmbh"},
        {Branche, u"Groß- und Einzelhandel", u"gross und einzelhandel"},
        {Vorname, u"Hans-Peter", u"hans peter"},
        {Kontaktname, u"Herr Dr. Hans Müller", u"herr dr hans müller"},
        {Vorwahl, u"+49 221 1234", u"0221"},
        {Telefon, u"0221 123456", u"123456"},
        {Telefax, u"0221/12 34 56", u"3456"},
        {VorwahlUndTelefon, u"0221/123456", u"0221 123456"},
        {VorwahlUndTelefax, N, u" "},
        {{5, 6}, u"0221 123456", u"0221 123456"},  // no rule for Telefon + Telefax
        {Email, u"Info@Beispiel-Firma.de", u"info beispiel firma de"},
        {Internet, u"http://www.beispiel-firma.de/seite", u"www beispiel firma de seite"},
        {Internet, u"HTTP://www.x.de", u"http www x de"},  // the removal tells the case
        {{6, 3}, u"http://A.de", u"http a de"},            // Emailadresse first, then Internetadresse
        {Index, u"A-1", u"A-1"},
        {{0, 2}, u"A-1", u"A-1"},
        // Null becomes the empty text in the text-normalised rules.
        {Vorname, N, u""},
        {Email, N, u""},
        {Internet, N, u""},
        {Straße, N, u""},
        {Hausnummer, N, u""},
        {Postleitzahl, N, u""},
        {Ort, N, u""},
        {PlzUndOrt, N, u""},
        // Extractors that find nothing store no value.
        {Vorwahl, u"221 1234", N},
        {Telefon, u"0221", N},
    };
    for (const auto& f : fälle) {
        const Variante v = Eins(f.typ, f.wert);
        EXPECT_TRUE(v.identisch(f.erwartet)) << f.typ.Gruppe << "/" << f.typ.Bits << " " << f.wert << ": " << v;
    }
}

TEST_F(Aufbereitung, ZuschnittUndSpaltenarten) {
    // Cut to the column's size; a Memo (Size 0) is never cut.
    EXPECT_TRUE(Eins(Ort, u"Straße", dbText, 6).identisch(Variante(u"strass")));
    const Text lang(300, u'x');
    EXPECT_TRUE(Eins(Ort, Variante(lang), dbMemo, 0).identisch(Variante(lang)));
    // A rule without a cut whose result outgrows the column fails in the trap;
    // ignored, the column keeps the copied value.
    oberfläche.Antworten(ReaktionIgnorieren, u"Fehler beim Aufbereiten des Datensatzes");
    EXPECT_TRUE(Eins(VorwahlUndTelefon, u"123456", dbText, 6).identisch(Variante(u"123456")));
    rs_->CancelUpdate();
    // The empty text stays in a text column but is no value in any other.
    EXPECT_TRUE(Eins(Postleitzahl, u"", dbText).identisch(Variante(u"")));
    EXPECT_TRUE(Eins(Postleitzahl, Variante(int32_t{-7}), dbLong).identisch(Variante(u"7")));
    EXPECT_TRUE(Eins(Hausnummer, N, dbLong).istNull());
    EXPECT_NO_THROW(rs_->Update());
    EXPECT_TRUE(Eins(Postleitzahl, Variante(int32_t{12345}), dbLong).identisch(Variante(u"12345")));
    EXPECT_NO_THROW(rs_->Update());
}

TEST_F(Aufbereitung, UnveraenderteArtenUndPositionen) {
    const Variante datum = Variante::Datum(45000.5);
    const auto werte = Aufbereiten({
        {Ignorieren, u"weg"},
        {Ort, datum, dbDate},
        {Ort, Variante(true), dbBoolean},
        {Ort, Variante::Währung(12345), dbCurrency},
        {Postleitzahl, N, dbLong, 4, dbAutoIncrField},
        {Ignorieren, u"weg"},
        {Ignorieren, u"weg"},
        {Ort, u"Köln-Deutz"},
        {{0, 2}, u"A"},
        {Ort, u"Bonn"},
    });
    ASSERT_EQ(werte.size(), 7u);
    EXPECT_TRUE(werte[0].identisch(datum));
    EXPECT_TRUE(werte[1].identisch(Variante(true)));
    EXPECT_TRUE(werte[2].identisch(Variante::Währung(12345)));
    EXPECT_TRUE(werte[3].istNull());  // nothing written into the auto-increment column
    EXPECT_TRUE(werte[4].identisch(Variante(u"köln deutz")));
    EXPECT_TRUE(werte[5].identisch(Variante(u"A")));
    EXPECT_TRUE(werte[6].identisch(Variante(u"bonn")));
}

TEST_F(Aufbereitung, FehlerfalleBrichtAb) {
    // One typed column more than TEMP_DS has fields: reaching it fails.
    oberfläche.Antworten(ReaktionAbbrechen,
                         u"Fehler beim Aufbereiten des Datensatzes 'köln' im Feld 'F1' mit dem Wert '12345'.");
    const auto werte = Aufbereiten({{Ort, u"Köln"}, {Postleitzahl, u"D-12345"}});
    Suchzuordnung.push_back(Ort);
    Suchspaltenzahl = 3;
    rs_->CancelUpdate();
    rs_->AddNew();
    rs_->Fields()[0]->Value(Variante(u"Köln"));
    rs_->Fields()[1]->Value(Variante(u"D-12345"));
    gFehlerAbbruch = false;
    DatensatzAufbereiten(*rs_);
    EXPECT_TRUE(gFehlerAbbruch);
    EXPECT_TRUE(rs_->Fields()[0]->Value().identisch(Variante(u"köln")));
    EXPECT_TRUE(rs_->Fields()[1]->Value().identisch(Variante(u"12345")));
    EXPECT_EQ(werte.size(), 2u);
}

// Ignored, a field that cannot be reached is passed over: the rule of its
// column does not fall on the field before it, which the message still names.
TEST_F(Aufbereitung, IgnorierteFehlendeSpalteTrifftNichtDasVorigeFeld) {
    const auto werte = Aufbereiten({{Ort, u"Köln-Deutz"}});
    ASSERT_EQ(werte.size(), 1u);
    Suchzuordnung.push_back(Hausnummer);
    Suchspaltenzahl = 2;
    rs_->CancelUpdate();
    rs_->AddNew();
    rs_->Fields()[0]->Value(Variante(u"Köln-Deutz 5"));
    oberfläche.Antworten(
        ReaktionIgnorieren,
        u"Fehler beim Aufbereiten des Datensatzes 'köln deutz 5' im Feld 'F0' mit dem Wert 'köln deutz 5'.");
    DatensatzAufbereiten(*rs_);
    EXPECT_FALSE(gFehlerAbbruch);
    EXPECT_EQ(oberfläche.meldungen.size(), 1u);
    EXPECT_TRUE(rs_->Fields()[0]->Value().identisch(Variante(u"köln deutz 5")));
}
