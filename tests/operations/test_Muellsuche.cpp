#include <string>
#include <vector>

#include "Tabellentest.h"
#include "foundation/Oberflaeche.h"
#include "foundation/mdlFeldtypen.h"
#include "operations/mdlMuellsuche.h"
#include "search/mdlSuchpuffer.h"

using namespace dao;

namespace {
constexpr Müllkriterien Firma = KriteriumFirmenname, Rechtsform = KriteriumRechtsform, Branche = KriteriumBranche,
                        Post = KriteriumPostalisch, Hausnr = KriteriumHausnummer, Kontakt = KriteriumKontakt,
                        Anrede = KriteriumAnrede, Vorname = KriteriumVorname, Nachname = KriteriumNachname,
                        Abteilung = KriteriumAbteilung, Tel = KriteriumTelefon, Fax = KriteriumFax,
                        Email = KriteriumEmail, Internet = KriteriumInternet, Alle = (1 << 14) - 1;

// The assignment of a column holding the given types (all of one group).
Feldzuordnung Z(const std::vector<Typcode>& codes) {
    Feldzuordnung z;
    for (Typcode c : codes) {
        z.Gruppe = GruppeVonFeldtyp(c);
        z.Bits = static_cast<int16_t>(z.Bits | Typen[c].Bit);
    }
    return z;
}

struct Sp {
    std::vector<Typcode> typen;
    Variante wert;
    int16_t art = dbText;
};

struct Bemerkungsfall {
    Müllkriterien kriterien;
    std::vector<Sp> spalten;
    const char16_t* anmerkung;  // empty: no junk
};
}  // namespace

TEST(Müllkriterien, AnmerkungenJeFeldtyp) {
    FeldtypenInitialisieren();
    const Bemerkungsfall fälle[] = {
        // Index columns whatever the boxes; a zero-length text is a value.
        {0, {{{TypIndex}, N()}}, u"k. Index;"},
        {0, {{{TypIndex}, T(u"")}}, u""},
        {Firma, {{{TypFirmenname}, T(u"12345")}}, u"Firmenn. unvernünftig;"},
        {Firma, {{{TypFirmenname}, Variante(5), dbLong}}, u"Firmenn. unvernünftig;"},
        {Firma, {{{TypFirmenname}, N()}}, u"k. Firmenn.;"},
        {Firma, {{{TypFirmenname}, T(u"Muster")}}, u""},
        {Alle & ~Firma, {{{TypFirmenname}, N()}}, u""},
        {Firma | Post, {{{TypFirmenname}, N()}, {{TypOrt}, N()}}, u"k. Firmenn.; k. Ort;"},
        // Inner boxes count only with their outer box.
        {Rechtsform, {{{TypFirmenname, TypRechtsform}, T(u"Muster")}}, u""},
        {Firma | Rechtsform, {{{TypFirmenname, TypRechtsform}, T(u"Muster")}}, u"k. Rechtsform;"},
        {Firma | Rechtsform, {{{TypFirmenname, TypRechtsform}, T(u"Muster GmbH")}}, u""},
        {Branche, {{{TypBranche}, T(u"42")}}, u"Branche unvernünftig;"},
        {Branche, {{{TypBranche}, N()}}, u"k. Branche;"},
        {Post | Hausnr, {{{TypStraße, TypHausnummer}, N()}}, u"k. Straße; k. Hausnr.;"},
        {Post, {{{TypStraße, TypHausnummer}, N()}}, u"k. Straße;"},
        {Alle & ~Post, {{{TypStraße, TypHausnummer}, N()}}, u""},
        {Post, {{{TypStraße}, T(u"12345")}}, u"k. Straße;"},
        {Post, {{{TypStraße}, T(u"-12")}}, u"Straße unvernünftig;"},
        {Post, {{{TypPostleitzahl}, T(u"123")}}, u"k. PLZ;"},
        {Post, {{{TypPostleitzahl, TypOrt}, T(u"12345 Berlin")}}, u""},
        {Post, {{{TypOrt}, T(u"12345")}}, u"k. Ort;"},
        {Post, {{{TypOrt}, T(u"12,5")}}, u"Ort unvernünftig;"},
        {Alle & ~Kontakt, {{{TypNachname}, N()}}, u""},
        {Kontakt | Nachname, {{{TypNachname}, N()}}, u"k. Nachname;"},
        {Kontakt | Anrede | Vorname, {{{TypAnrede, TypVorname}, T(u"Hans")}}, u"k. Anrede; k. Vorname;"},
        {Kontakt | Anrede | Vorname, {{{TypAnrede, TypVorname}, T(u"Herr Hans Muster")}}, u""},
        {Kontakt | Abteilung, {{{TypAbteilungPosition}, N()}}, u"k. Abteilung;"},
        // Abteilung/Position joined with another type gets no Abteilung test.
        {Alle, {{{TypNachname, TypAbteilungPosition}, N()}}, u"k. Nachname;"},
        // One word from the area code on: a telephone number when longer than 6 characters.
        {Tel, {{{TypTelefon}, T(u"0301234567")}}, u""},
        {Tel | Fax, {{{TypTelefax}, T(u"0301234567")}}, u"k. Faxnr.;"},
        {Tel, {{{TypTelefon}, T(u"030123")}}, u"k. Telefonnr.;"},
        {Tel, {{{TypTelefon}, N()}}, u"k. Telefonnr.;"},
        {Tel, {{{TypTelefax}, N()}}, u""},
        {Fax, {{{TypTelefax}, N()}}, u""},
        {Tel, {{{TypVorwahl}, T(u"1234")}}, u"k. Vorwahl;"},
        {Tel, {{{TypVorwahl, TypTelefon}, T(u"030 123456")}}, u""},
        {Email, {{{TypEmailadresse}, T(u"info.beispiel.de")}}, u"Emailadr. unvernünftig;"},
        {Email, {{{TypEmailadresse}, T(u"12345")}}, u"Emailadr. unvernünftig;"},
        {Email, {{{TypEmailadresse}, T(u"a@b.de")}}, u""},
        {Email, {{{TypEmailadresse}, N()}}, u"k. Emailadr.;"},
        {Internet, {{{TypInternetadresse}, T(u"www")}}, u"Internetadr. unvernünftig;"},
        {Internet, {{{TypInternetadresse}, T(u"www.beispiel.de")}}, u""},
        {Internet, {{{TypInternetadresse}, N()}}, u"k. Internetadr.;"},
        // Never tested: Boolean, currency, date and time columns, and group 0.
        {Alle,
         {{{TypFirmenname}, N(), dbBoolean},
          {{TypFirmenname}, N(), dbCurrency},
          {{TypOrt}, N(), dbDate},
          {{TypIndex}, N(), dbTime},
          {{TypIgnorieren}, N()}},
         u""},
        // Column order first, then the order of the tests.
        {Alle, {{{TypOrt}, N()}, {{TypFirmenname}, T(u"1")}}, u"k. Ort; Firmenn. unvernünftig;"},
    };
    for (const auto& f : fälle) {
        std::vector<Variante> werte;
        std::vector<int16_t> arten;
        std::vector<Feldzuordnung> zuordnung;
        for (const auto& s : f.spalten) {
            werte.push_back(s.wert);
            arten.push_back(s.art);
            zuordnung.push_back(Z(s.typen));
        }
        const Müllbefund b = DatensatzBeurteilen(werte, arten, zuordnung, f.kriterien);
        SCOPED_TRACE("erwartet '" + u8(f.anmerkung) + "', Kriterien " + std::to_string(f.kriterien));
        EXPECT_EQ(u8(b.Anmerkung), u8(f.anmerkung));
        EXPECT_EQ(b.Müll, !Text(f.anmerkung).empty());
    }
}

namespace {
class Müllsuche : public Tabellentest {
protected:
    void SetUp() override {
        Tabellentest::SetUp();
        FeldtypenInitialisieren();
        gAktuellerRahmen = -1;  // page 21 was left by "Starten"
        gAnzahlMüll = 0;
        ui.WertSetzen(u"chkFirmenname", 1);
        ui.WertSetzen(u"chkPostalisch", 1);
        ui.beiMüllBearbeiten = [] { ADD_FAILURE() << "Nachbearbeitung unerwartet"; };
    }

    // ID (index), Firma, Ort.
    void Adressen(const std::vector<std::vector<Variante>>& zeilen) {
        Anlegen(u"Adressen", {{u"ID", dbLong}, {u"Firma", dbText, 40}, {u"Ort", dbText, 40}}, zeilen);
        gFelder1 = {Z({TypIndex}), Z({TypFirmenname}), Z({TypOrt})};
        gAnzahlFelder = 3;
    }

    void Starten() { MüllsucheStarten(Variante(u"Adressen"), Variante(u"Ergebnis")); }

    // What the review does when the user keeps a junk record.
    static void Behalten(int32_t nummer) {
        auto rs = gDatenbank->OpenRecordset(u"SELECT * FROM [Ergebnis] WHERE [TEMP_DSS] = 14");
        rs->FindFirst(u"[TEMP_DSN] = " + ausUtf8(std::to_string(nummer)));
        ASSERT_FALSE(rs->NoMatch());
        gArbeitsbereich->BeginTrans();
        rs->Edit();
        rs->Fields()[u"TEMP_DSS"]->Value(Variante(uint8_t{StatusMüllBeibehalten}));
        rs->Update();
        gArbeitsbereich->CommitTrans();
        rs->Close();
    }

    void ErwarteTabellenseite() {
        EXPECT_FALSE(Gibt(u"Ergebnis"));
        EXPECT_EQ(gAktuellerRahmen, 3);
        EXPECT_EQ(ui.Beschriftung(u"lblInformation"), u"Breche Vorgang ab ...");
        EXPECT_TRUE(ui.aktiv[u"btnZurück"]);
        EXPECT_THROW(gArbeitsbereich->CommitTrans(), LaufzeitFehler);
    }
};
}  // namespace

// The work table carries the marks and remarks into the review; what the user
// keeps stays, the rest of the marked records and the bookkeeping columns go.
TEST_F(Müllsuche, NachbearbeitungBehältEinenDatensatz) {
    Adressen({{Variante(1), T(u"Muster GmbH"), T(u"Berlin")},
              {Variante(2), N(), T(u"Hamburg")},
              {Variante(3), T(u"12345"), T(u"80331")},
              {N(), T(u"Beispiel AG"), T(u"Köln")}});
    ui.beiMüllBearbeiten = [&] {
        EXPECT_EQ(gAktuellerRahmen, 22);
        EXPECT_EQ(gAnzahlMüll, 3);
        EXPECT_EQ(Felder(u"Ergebnis"), (std::vector<Feldbild>{{u"ID", dbLong, 0},
                                                              {u"Firma", dbText, 40},
                                                              {u"Ort", dbText, 40},
                                                              {u"TEMP_DSS", dbByte, 0},
                                                              {u"TEMP_DSN", dbLong, 0},
                                                              {u"TEMP_AMK", dbText, 200}}));
        EXPECT_EQ(Spaltenwerte(u"Ergebnis", u"TEMP_DSS"), (std::vector<std::string>{"#11", "#14", "#14", "#14"}));
        EXPECT_EQ(Spaltenwerte(u"Ergebnis", u"TEMP_DSN"), (std::vector<std::string>{"#1", "#2", "#3", "#4"}));
        EXPECT_EQ(Spaltenwerte(u"Ergebnis", u"TEMP_AMK"),
                  (std::vector<std::string>{"", "k. Firmenn.;", "Firmenn. unvernünftig; k. Ort;", "k. Index;"}));
        EXPECT_EQ(ui.Beschriftung(u"lblInformation"), u"Bereite Anzeige der Ergebnisse vor ...");
        Behalten(3);
    };
    Starten();
    EXPECT_FALSE(gAbbruch);
    EXPECT_FALSE(gFehlerAbbruch);
    EXPECT_TRUE(ui.meldungen.empty());
    EXPECT_EQ(ui.wechsel, (std::vector<int16_t>{6, 22, 23}));
    EXPECT_EQ(ui.nachDerBearbeitung, 1);
    EXPECT_EQ(ui.Beschriftung(u"lblDatensätze"), u"4 Datensätze insgesamt");
    EXPECT_EQ(gFortschrittPosition, 4);
    EXPECT_EQ(Felder(u"Ergebnis").size(), 3u);
    EXPECT_EQ(Spaltenwerte(u"Ergebnis", u"ID"), (std::vector<std::string>{"#1", "#3"}));
    EXPECT_EQ(Zeilen(u"Adressen").size(), 4u);
    EXPECT_EQ(Felder(u"Adressen").size(), 3u);
    EXPECT_THROW(gArbeitsbereich->CommitTrans(), LaufzeitFehler);
}

// No finding (a grey box counts as not ticked): the hint, no work table, page 3.
TEST_F(Müllsuche, KeineFunde) {
    Adressen({{Variante(1), N(), T(u"Berlin")}, {Variante(2), T(u"Beispiel AG"), T(u"Köln")}});
    ui.WertSetzen(u"chkFirmenname", 2);
    ui.Antworten(vb::OK, u"Es wurden keine Mülldatensätze gefunden.");
    Starten();
    EXPECT_EQ(ui.meldungen.back().titel, u" Hinweis");
    EXPECT_EQ(ui.wechsel, (std::vector<int16_t>{6, 3}));
    ErwarteTabellenseite();
}

// "Abbrechen" in the review drops the work table. The remarks of a record that
// has more of them than TEMP_AMK holds are cut, and the record stays marked.
TEST_F(Müllsuche, AbbruchInDerNachbearbeitung) {
    std::vector<Spalte> spalten;
    std::vector<Variante> zeile;
    for (int i = 0; i < 10; ++i) {
        spalten.push_back({u"Firma" + ausUtf8(std::to_string(i)), dbText, 20});
        zeile.push_back(T(u"1"));
    }
    Anlegen(u"Adressen", spalten, {zeile});
    gFelder1.assign(10, Z({TypFirmenname}));
    gAnzahlFelder = 10;
    ui.beiMüllBearbeiten = [&] {
        Text alle;
        for (int i = 0; i < 10; ++i) alle += u" Firmenn. unvernünftig;";
        EXPECT_EQ(Spaltenwerte(u"Ergebnis", u"TEMP_AMK"), (std::vector<std::string>{u8(alle.substr(1, 200))}));
        EXPECT_EQ(Spaltenwerte(u"Ergebnis", u"TEMP_DSS"), (std::vector<std::string>{"#14"}));
        gAbbruch = true;
    };
    Starten();
    EXPECT_TRUE(ui.meldungen.empty());
    EXPECT_EQ(ui.wechsel, (std::vector<int16_t>{6, 22, 3}));
    EXPECT_EQ(ui.nachDerBearbeitung, 0);
    ErwarteTabellenseite();
    EXPECT_EQ(Zeilen(u"Adressen").size(), 1u);
}

// "Abbrechen" while the table is scanned after 2500 records: the marks of the
// first 2000 were committed, those of the open batch are not; the work table goes.
TEST_F(Müllsuche, AbbruchWährendDerSuche) {
    std::vector<std::vector<Variante>> zeilen;
    for (int32_t i = 1; i <= 3000; ++i) zeilen.push_back({Variante(i), N(), T(u"Berlin")});
    Adressen(zeilen);
    int gesehen = 0;
    int32_t markiert = -1;
    ui.beiEreignissen = [&] {
        if (++gesehen != 3000 + 2500) return;  // the copy yields once per record first
        auto andere = CreateWorkspace(u"", u"Admin", u"", 2)->OpenDatabase(ausUtf8(tmp / "daten.sqlite"));
        markiert = DatensätzeZählen(andere->OpenRecordset(u"SELECT * FROM [Ergebnis] WHERE [TEMP_DSS] = 14"));
        gAbbruch = true;
    };
    Starten();
    EXPECT_EQ(markiert, 2000);
    EXPECT_EQ(gFortschrittPosition, 2499);
    EXPECT_EQ(ui.wechsel, (std::vector<int16_t>{6, 3}));
    ErwarteTabellenseite();
    EXPECT_EQ(Felder(u"Adressen").size(), 3u);
}

// An error while a record is tested names the record and the column; abort
// ends the run through the cancel routine.
TEST_F(Müllsuche, FehlerBeimEntmüllen) {
    Adressen({{Variante(7), T(u"Muster GmbH"), T(u"Berlin")}});
    gAnzahlFelder = 7;  // one column more than the work table holds
    ui.Antworten(vb::Abort, u"Fehler beim Entmüllen des Datensatzes '7' im Feld '' mit dem Wert ''.");
    Starten();
    EXPECT_EQ(ui.meldungen.back().titel, u" Fehler!");
    EXPECT_TRUE(gFehlerAbbruch);
    EXPECT_EQ(ui.wechsel, (std::vector<int16_t>{6, 3}));
    ErwarteTabellenseite();
}

// Each column's remarks are one step: an error while they are written names that
// column with its value, and "Ignorieren" loses only that column's remarks.
TEST_F(Müllsuche, FehlerImFeldVerliertNurDessenAnmerkung) {
    // A remark column too short for " k. Firmenn.;", long enough for " k. Ort;".
    Anlegen(u"Arbeit",
            {{u"ID", dbLong},
             {u"Firma", dbText, 40},
             {u"Ort", dbText, 40},
             {u"TEMP_DSS", dbByte},
             {u"TEMP_DSN", dbLong},
             {u"TEMP_AMK", dbText, 10}},
            {{Variante(7), N(), N(), Variante(uint8_t{StatusNormal}), Variante(1), T(u"")}});
    gFelder1 = {Z({TypIndex}), Z({TypFirmenname}), Z({TypOrt})};
    gAnzahlFelder = 3;
    ui.Antworten(vb::Ignore, u"Fehler beim Entmüllen des Datensatzes '7' im Feld 'Firma' mit dem Wert ''.");
    auto rs = gDatenbank->OpenRecordset(u"Arbeit");
    rs->Edit();
    DatensatzEntmüllen(*rs);
    EXPECT_FALSE(gFehlerAbbruch);
    EXPECT_EQ(gAnzahlMüll, 1);
    EXPECT_TRUE(rs->Fields()[u"TEMP_DSS"]->Value().identisch(Variante(uint8_t{StatusMüll})));
    EXPECT_TRUE(rs->Fields()[u"TEMP_AMK"]->Value().identisch(T(u"k. Ort;")));
    rs->CancelUpdate();
    rs->Close();
}

// Before any page is shown: a source with a bookkeeping column's name is refused
// back to page 21; an empty source gets the hint and a source that cannot be
// opened the error box, and then only page 3 is entered.
TEST_F(Müllsuche, VorDemLauf) {
    struct Fall {
        Text spalte;  // empty: no source table
        std::vector<std::vector<Variante>> zeilen;
        int antwort;
        const char16_t* meldung;
        const char16_t* titel;
        std::pair<int16_t, bool> seite;
    };
    const Fall fälle[] = {
        {u"temp_amk",
         {{T(u"x")}},
         vb::OK,
         u"Die Tabelle 'Adressen' enthält die Spalte 'temp_amk', deren Name für die Verwaltungsspalten des "
         u"Programms reserviert ist.\rBitte benennen sie die Spalte vorher um.",
         u" Achtung!",
         {21, false}},
        {u"Firma",
         {},
         vb::OK,
         u"Kein Datensatz vorhanden.\rEine Korrektur ist daher überflüssig.",
         u" Hinweis",
         {3, true}},
        {u"", {}, vb::Abort, u"Fehler beim Vorbereiten der Müllsuche.", u" Fehler!", {3, true}},
    };
    for (const auto& f : fälle) {
        SCOPED_TRACE(u8(f.meldung));
        if (!f.spalte.empty()) Anlegen(u"Adressen", {{f.spalte, dbText, 20}}, f.zeilen);
        gFelder1 = {Z({TypFirmenname})};
        gAnzahlFelder = 1;
        ui.Antworten(f.antwort, f.meldung);
        ui.geöffneteRahmen.clear();
        gAktuellerRahmen = -1;
        gAbbruch = gFehlerAbbruch = true;  // as the run before left them
        Starten();
        // A refused start leaves no flag of the run before.
        if (!f.seite.second) {
            EXPECT_FALSE(gAbbruch || gFehlerAbbruch);
        }
        EXPECT_EQ(ui.meldungen.back().titel, f.titel);
        EXPECT_TRUE(ui.wechsel.empty());
        EXPECT_TRUE(ui.geschlosseneRahmen.empty());
        EXPECT_EQ(ui.geöffneteRahmen, (std::vector<std::pair<int16_t, bool>>{f.seite}));
        EXPECT_FALSE(Gibt(u"Ergebnis"));
        if (!f.spalte.empty()) gDatenbank->TableDefs().Delete(u"Adressen");
    }
}
