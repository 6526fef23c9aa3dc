// The wizard's pages and routes in the real window.
#include <filesystem>

#include <QApplication>
#include <QCloseEvent>
#include <QTimer>

#include "foundation/mdlFeldInhalte.h"
#include "ui/Fenstertest.h"
#include "ui/frmDublettenBearbeiten.h"

namespace {

std::vector<std::string> Tabellennamen() {
    std::vector<std::string> r;
    auto& t = gDatenbank->TableDefs();
    for (int32_t i = 0; i < t.Count(); ++i)
        if (t[i]->Attributes() == 0) r.push_back(nachUtf8(t[i]->Name()));
    std::sort(r.begin(), r.end());
    return r;
}

class Seitenfluss : public Fenstertest {
protected:
    void SetUp() override {
        Fenstertest::SetUp();
        DatenbankAnlegen({{u"Kunden", Kundenzeilen()}, {u"Lieferanten", Kundenzeilen()}, {u"Leer", {}}});
    }
    // Leaves the current page unchecked and enters `seite` with its set-up, as a driver does.
    void Betreten(int16_t seite, bool einrichten = true) {
        ASSERT_TRUE(RahmenSchließen(gAktuellerRahmen, false));
        RahmenÖffnen(seite, einrichten);
        ASSERT_EQ(gAktuellerRahmen, seite);
    }
};

TEST_F(Fenstertest, StartZeigtSeiteNullMitWeiterUndBeenden) {
    EXPECT_EQ(gAktuellerRahmen, 0);
    EXPECT_EQ(SichtbareRahmen(), std::vector<int>{0});
    EXPECT_FALSE(f->btnHilfe->isVisible());
    EXPECT_FALSE(f->btnZurück->isVisible());
    EXPECT_TRUE(f->btnWeiter->isVisible());
    EXPECT_TRUE(f->btnBeenden->isVisible());
    EXPECT_EQ(f->windowTitle(), QStringLiteral(" Purivo"));
    const QRect r0 = f->freRahmen.at(0)->geometry();
    for (const auto& [seite, r] : f->freRahmen) EXPECT_EQ(r->geometry(), r0) << seite;
    // Equal margins left and right; the strip of 600 twips and a bottom margin as wide as the left one.
    const QSize fläche = f->centralWidget()->size();
    EXPECT_EQ(fläche.width(), 2 * r0.x() + r0.width());
    EXPECT_EQ(fläche.height(), r0.y() + r0.height() + forms::Pixel(600) + r0.x());
    // Every control is found by its name, arrays by name and index.
    for (const auto& [name, index] : std::vector<std::pair<QString, int>>{
             {"btnWeiter", -1}, {"cbxSuchFeld(8)", -1}, {"btnAuswahl(5)", -1}, {"freRahmen(63)", -1}})
        EXPECT_TRUE(f->findChild<QWidget*>(name)) << name.toStdString();
    EXPECT_EQ(f->cbxSuchFeld[4]->accessibleDescription(), QStringLiteral("cbxSuchFeld(4)"));
}

// ---- routes ----

struct Schritt {
    char taste;  // W Weiter, Z Zurück, A the operation button `wahl`, T the second table Lieferanten chosen
    int wahl;
    int seite;                            // the page shown afterwards
    const char16_t* zuordnung = nullptr;  // page 7: the table it assigns
};

struct Route {
    const char* name;
    std::vector<Schritt> schritte;
};

TEST_F(Seitenfluss, JedeRouteVorUndZurück) {
    const Route routen[] = {
        {"Dubletten",
         {{'A', 3, 7, u"Kunden"}, {'W', 0, 4}, {'W', 0, 11}, {'Z', 0, 4}, {'Z', 0, 7, u"Kunden"}, {'Z', 0, 5}}},
        {"Müll", {{'A', 2, 7, u"Kunden"}, {'W', 0, 4}, {'W', 0, 21}, {'Z', 0, 4}, {'Z', 0, 7}, {'Z', 0, 5}}},
        {"Splitten", {{'A', 1, 4}, {'W', 0, 31}, {'Z', 0, 4}, {'Z', 0, 5}}},
        {"Verschmelzen", {{'A', 0, 4}, {'W', 0, 41}, {'Z', 0, 4}, {'Z', 0, 5}}},
        {"Datenabgleich",
         {{'A', 4, 51},
          {'T', 0, 51},
          {'W', 0, 7, u"Kunden"},
          {'W', 0, 7, u"Lieferanten"},
          {'W', 0, 4},
          {'W', 0, 11},
          {'Z', 0, 4},
          {'Z', 0, 7, u"Lieferanten"},
          {'Z', 0, 7, u"Kunden"},
          {'Z', 0, 51},
          {'Z', 0, 5}}},
        {"Daten hinzufügen",
         {{'A', 5, 61},
          {'T', 0, 61},
          {'W', 0, 7, u"Kunden"},
          {'W', 0, 7, u"Lieferanten"},
          {'W', 0, 4},
          {'W', 0, 11},
          {'Z', 0, 4},
          {'Z', 0, 7, u"Lieferanten"},
          {'Z', 0, 7, u"Kunden"},
          {'Z', 0, 61},
          {'Z', 0, 5}}},
    };
    BisZurTabelle();
    Weiter();
    ASSERT_EQ(gAktuellerRahmen, 5);
    EXPECT_EQ(forms::Q(gTabelle1), QStringLiteral("Kunden"));
    for (const Route& r : routen) {
        SCOPED_TRACE(r.name);
        for (size_t i = 0; i < r.schritte.size(); ++i) {
            const Schritt& s = r.schritte[i];
            SCOPED_TRACE(i);
            if (s.taste == 'A') Klicken(f->btnAuswahl[s.wahl]);
            else if (s.taste == 'T')
                (gAktuellerRahmen == 51 ? f->cbxDatenabgleich : f->cbxNeueDaten)
                    ->TextSetzen(QStringLiteral("Lieferanten"));
            else if (s.taste == 'W') Weiter();
            else Zurück();
            ASSERT_EQ(gAktuellerRahmen, s.seite);
            EXPECT_EQ(SichtbareRahmen(), std::vector<int>{s.seite});
            if (s.zuordnung) {
                EXPECT_EQ(f->freRahmen.at(7)->Caption(),
                          QStringLiteral(" Zuordnung der Felder von '%1' ").arg(forms::Q(s.zuordnung)));
                EXPECT_EQ(forms::Q(gZuordnungTabelle), forms::Q(s.zuordnung));
                EXPECT_EQ(f->lstFelder->ListCount(), 5);
                if (s.taste == 'W' || s.taste == 'A') {
                    EXPECT_EQ(f->lstFelder->ListIndex(), 0);
                }
            }
        }
    }
    // Leaving page 5 backwards reads the table list again: nothing is selected.
    Zurück();
    EXPECT_EQ(gAktuellerRahmen, 3);
    EXPECT_EQ(f->lstTabellen->ListIndex(), -1);
    EXPECT_EQ(f->lstTabellen->ListCount(), 3);
    Zurück();
    EXPECT_EQ(gAktuellerRahmen, 2);
    Zurück();
    EXPECT_EQ(gAktuellerRahmen, 1);
    EXPECT_FALSE(f->btnZurück->isVisible());
}

TEST_F(Seitenfluss, ZweiTabellenSpeichernBeideZuordnungen) {
    BisZurTabelle();
    Weiter();
    Klicken(f->btnAuswahl[4]);
    f->cbxDatenabgleich->TextSetzen(QStringLiteral("Lieferanten"));
    Weiter();
    gZuordnung[0] = {4, 4};  // the user retypes the first column of the first table
    Weiter();
    EXPECT_EQ(gZuordnungNr, 2);
    EXPECT_EQ(gFelder1[0].Gruppe, 4);
    Weiter();
    ASSERT_EQ(gAktuellerRahmen, 4);
    EXPECT_EQ(gFelder2.size(), 5u);
    EXPECT_EQ(forms::Q(gTabelle2), QStringLiteral("Lieferanten"));
    // Back to the first table's assignment: guessed afresh, the stored copy kept.
    Zurück();
    Zurück();
    EXPECT_EQ(gZuordnungNr, 1);
    EXPECT_NE(gZuordnung[0].Gruppe, 4);
    EXPECT_EQ(gFelder1[0].Gruppe, 4);
}

TEST_F(Seitenfluss, OhneVorgangFührtWeiterAufSeiteVierNirgendwohin) {
    BisZurTabelle();
    Weiter();
    Klicken(f->btnAuswahl[1]);
    ASSERT_EQ(gAktuellerRahmen, 4);
    gVorgang = VorgangKeiner;
    Weiter();
    Zurück();
    EXPECT_EQ(gAktuellerRahmen, 4);
}

// ---- checks on leaving a page ----

TEST_F(Seitenfluss, DatenbankseitePrüftDieDatei) {
    Weiter();
    Weiter();
    f->tbxDatenbankName->TextSetzen(QString::fromStdString(tmp / "fehlt.sqlite"));
    dialoge.Antworten(vb::OK);
    Weiter();
    EXPECT_EQ(gAktuellerRahmen, 2);
    EXPECT_EQ(dialoge.letzte().text, QStringLiteral("Datei kann nicht geöffnet werden."));
    EXPECT_EQ(dialoge.letzte().titel, QStringLiteral(" Achtung!"));
    EXPECT_EQ(dialoge.letzte().stil, vb::Exclamation);

    // The database opened before stays open when the next path does not exist.
    f->tbxDatenbankName->TextSetzen(QString::fromStdString(datenbank));
    Weiter();
    ASSERT_EQ(gAktuellerRahmen, 3);
    Zurück();
    f->tbxDatenbankName->TextSetzen(QString::fromStdString(tmp / "fehlt.sqlite"));
    dialoge.Antworten(vb::OK, QStringLiteral("Datei kann nicht"));
    Weiter();
    ASSERT_TRUE(gDatenbank);
    EXPECT_EQ(Tabellennamen(), (std::vector<std::string>{"Kunden", "Leer", "Lieferanten"}));
}

TEST_F(Fenstertest, ExcelMappeBekommtDenHinweis) {
    const std::string mappe = tmp / "mappe.xls";
    std::filesystem::copy_file(PURIVO_FIXTURES "/excel/Test97.xls", mappe);
    Weiter();
    Weiter();
    f->tbxDatenbankName->TextSetzen(QString::fromStdString(mappe));
    dialoge.Antworten(vb::OK);
    Weiter();
    EXPECT_EQ(gAktuellerRahmen, 3);
    EXPECT_EQ(dialoge.letzte().text,
              QStringLiteral("Sie verwenden eine Excel-Tabelle.\rEs wird empfohlen, diese mit dem entsprechenden "
                             "Programm in \reine Access-Datenbank zu konvertieren, da jene ein erheblich\rbesseres "
                             "Leistungsverhalten aufweisen."));
    EXPECT_EQ(dialoge.letzte().titel, QStringLiteral(" Hinweis"));
    EXPECT_GT(f->lstTabellen->ListCount(), 0);
}

TEST_F(Seitenfluss, TabellenseiteVerlangtEineTabelleMitDatensätzen) {
    BisZurTabelle();
    f->lstTabellen->setCurrentRow(-1);
    dialoge.Antworten(vb::OK, QStringLiteral("Keine Tabelle ausgewählt."));
    Weiter();
    EXPECT_EQ(gAktuellerRahmen, 3);
    f->lstTabellen->ListIndexSetzen(f->lstTabellen->row(f->lstTabellen->findItems("Leer", Qt::MatchExactly)[0]));
    dialoge.Antworten(vb::OK, QStringLiteral("Tabelle enthält keine Datensätze."));
    Weiter();
    EXPECT_EQ(gAktuellerRahmen, 3);
    EXPECT_EQ(forms::Q(gTabelle1), QStringLiteral("Leer"));
}

struct Namensfall {
    const char16_t* verbindung;  // gDAOVerbindung; empty: the open database's own
    QString name;
    const char* meldung;  // part of the refusal; null: accepted
};

TEST_F(Seitenfluss, ZieltabellenNamen) {
    const QString lang64(64, 'x');
    const Namensfall fälle[] = {
        {nullptr, lang64, nullptr},
        {nullptr, lang64 + "x", "einer Access-Datenbanktabelle, oder ist länger als 64 Zeichen oder leer."},
        {nullptr, "a.b", "( ! . [ ] ' \" ) für die Bezeichnung\reiner Access"},
        {nullptr, "it's", "Access"},
        {nullptr, "   ", "oder leer."},
        {nullptr, "  Neu  ", nullptr},
        {nullptr, "KUNDEN", "Die Zieltabelle kann nicht identisch mit der Ausgangstabelle sein."},
        {nullptr, "temp_ds", "ist für die Arbeitstabellen des Programms reserviert."},
        {u"Excel 5.0;", QString(31, 'x'), nullptr},
        {u"Excel 5.0;", QString(32, 'x'), "eines Excel-Tabellenblattes, oder ist länger als 31 Zeichen oder leer."},
        {u"Excel 5.0;", "Blatt$", "( / \\ ? : [ ] * $ )"},
        {u"Dbase IV;", "ACHTZEHN", nullptr},
        {u"Dbase IV;", "NEUNZEHN9", "einer dBase-Datenbank, oder ist länger als 8 Zeichen oder leer."},
        {u"Dbase 5;", "a:b", "( / \\ ? : [ ] * )"},
    };
    BisZurTabelle();
    Weiter();
    Klicken(f->btnAuswahl[1]);
    ASSERT_EQ(gAktuellerRahmen, 4);
    EXPECT_EQ(f->tbxZielTabelle->Text(), QStringLiteral("Kunden _#1__9_12_2026"));
    const Text eigene = gDAOVerbindung;
    for (const Namensfall& n : fälle) {
        SCOPED_TRACE(n.name.toStdString());
        gDAOVerbindung = n.verbindung ? Text(n.verbindung) : eigene;
        f->tbxZielTabelle->TextSetzen(n.name);
        if (n.meldung) dialoge.Antworten(vb::OK, QString::fromUtf8(n.meldung));
        Weiter();
        if (n.meldung) {
            EXPECT_EQ(gAktuellerRahmen, 4);
            EXPECT_EQ(dialoge.letzte().titel, QStringLiteral(" Achtung!"));
        } else {
            ASSERT_EQ(gAktuellerRahmen, 31);
            EXPECT_EQ(f->tbxZielTabelle->Text(), n.name.trimmed());
            EXPECT_EQ(forms::Q(gZieltabelle), n.name.trimmed());
            Zurück();
        }
    }
}

TEST_F(Seitenfluss, VorhandeneZieltabelleNurNachFrage) {
    BisZurTabelle();
    Weiter();
    Klicken(f->btnAuswahl[1]);
    f->tbxZielTabelle->TextSetzen(QStringLiteral("lieferanten"));
    dialoge.Antworten(vb::No);
    Weiter();
    EXPECT_EQ(gAktuellerRahmen, 4);
    EXPECT_EQ(dialoge.letzte().text,
              QStringLiteral("Die Tabelle \"Lieferanten\" existiert bereits.\rSoll sie überschrieben werden?"));
    EXPECT_EQ(dialoge.letzte().stil, vb::YesNo + vb::Exclamation);
    EXPECT_EQ(dialoge.letzte().titel, QString());
    dialoge.Antworten(vb::Yes);
    Weiter();
    EXPECT_EQ(gAktuellerRahmen, 31);
    EXPECT_EQ(forms::Q(gZieltabelle), QStringLiteral("lieferanten"));
}

TEST_F(Seitenfluss, ZieltabelleNichtDieZweiteTabelle) {
    BisZurTabelle();
    Weiter();
    Klicken(f->btnAuswahl[5]);
    f->cbxNeueDaten->TextSetzen(QStringLiteral("Kunden"));
    dialoge.Antworten(vb::OK, QStringLiteral("Die 2. Tabelle kann nicht identisch mit der 1. Tabelle sein."));
    Weiter();
    ASSERT_EQ(gAktuellerRahmen, 61);
    f->cbxNeueDaten->TextSetzen(QStringLiteral("Lieferanten"));
    Weiter();
    Weiter();
    Weiter();
    ASSERT_EQ(gAktuellerRahmen, 4);
    f->tbxZielTabelle->TextSetzen(QStringLiteral("LIEFERANTEN"));
    dialoge.Antworten(vb::OK, QStringLiteral("Die Zieltabelle kann nicht identisch mit der zweiten Tabelle sein."));
    Weiter();
    EXPECT_EQ(gAktuellerRahmen, 4);
}

TEST_F(Seitenfluss, VorschlagDerZieltabelle) {
    struct Fall {
        Text quelle;
        std::vector<Text> vorhanden;
        QString vorschlag;
    };
    const Fall fälle[] = {
        {u"Kunden", {}, "Kunden _#1__9_12_2026"},
        {u"Kunden", {u"Kunden _#1__9_12_2026", u"kunden _#3__9_12_2026"}, "Kunden _#2__9_12_2026"},
        {u"Kun$den$", {}, "Kunden _#1__9_12_2026"},
        {u"Kunden _#1__9_12_2026 _#4__1_1_2020", {}, "Kunden _#1__9_12_2026"},
    };
    BisZurTabelle();
    Weiter();
    for (const Fall& fall : fälle) {
        SCOPED_TRACE(nachUtf8(fall.quelle));
        for (const Text& t : fall.vorhanden) TesttabelleAnlegen(t, Kundenspalten(), {});
        gTabelle1 = fall.quelle;
        Betreten(4);
        EXPECT_EQ(f->tbxZielTabelle->Text(), fall.vorschlag);
        for (const Text& t : fall.vorhanden) gDatenbank->TableDefs().Delete(t);
    }
}

TEST_F(Seitenfluss, SuchoptionenVorbesetzenUndPrüfen) {
    BisZurTabelle();
    Weiter();
    // Firma, Strasse, PLZ, Ort, Telefon; no company name but a surname; postcode and town in one column.
    gFelder1 = {{4, 4}, {3, 1}, {3, 4 | 8}, {0, 1}, {5, 2}};
    Betreten(11);
    const QString erwartet[9] = {
        "Firma", "PLZ", "Strasse",          "*** Unbenutzt ***", "Telefon", "*** Unbenutzt ***",
        "PLZ",   "PLZ", "*** Unbenutzt ***"};
    for (int i = 0; i < 9; ++i) {
        EXPECT_EQ(f->cbxSuchFeld[i]->Text(), erwartet[i]) << i;
        EXPECT_EQ(f->cbxSuchFeld[i]->ListCount(), 6) << i;
        EXPECT_EQ(f->cbxSuchFeld[i]->List(0), QStringLiteral("*** Unbenutzt ***"));
    }
    EXPECT_EQ(f->btnWeiter->Caption(), QStringLiteral("Starten"));
    for (auto* c : f->cbxSuchFeld) c->ListIndexSetzen(0);
    dialoge.Antworten(vb::OK, QStringLiteral("Mindestens ein Feld muss ausgewählt werden."));
    EXPECT_FALSE(RahmenSchließen(11, true));
    EXPECT_EQ(gAktuellerRahmen, 11);
    // A sort column of a switched-off pass is enough.
    f->cbxSuchFeld[7]->ListIndexSetzen(2);
    EXPECT_TRUE(RahmenSchließen(11, true));
    EXPECT_EQ(f->btnWeiter->Caption(), QStringLiteral("Weiter  >>"));
}

TEST_F(Seitenfluss, SplittenUndVerschmelzenPrüfenWieIhreLäufe) {
    BisZurTabelle();
    Weiter();
    Klicken(f->btnAuswahl[1]);
    Weiter();
    ASSERT_EQ(gAktuellerRahmen, 31);
    EXPECT_EQ(f->cbxSplittenTypus->ListIndex(), 0);
    EXPECT_EQ(f->cbxSplittenTypus->List(4),
              QStringLiteral("Vorwahl+Telefon  |  Vorwahl+Telefax   --->   Vorwahl  |  Telefon  |  Telefax"));
    EXPECT_EQ(f->cbxSplitten1->Text(), QStringLiteral("Firma"));
    f->tbxSplitten1->TextSetzen(QStringLiteral("  PLZ_neu "));
    dialoge.Antworten(vb::OK, QStringLiteral("Geben sie einen Namen für das Zielfeld an."));
    Weiter();
    EXPECT_EQ(gAktuellerRahmen, 31);
    EXPECT_EQ(f->tbxSplitten1->Text(), QStringLiteral("PLZ_neu"));
    f->tbxSplitten2->TextSetzen(QStringLiteral("ort"));
    dialoge.Antworten(vb::OK, QStringLiteral("Das Zielfeld exisitiert bereits."));
    Weiter();
    EXPECT_EQ(gAktuellerRahmen, 31);

    Zurück();
    Zurück();
    Klicken(f->btnAuswahl[0]);
    Weiter();
    ASSERT_EQ(gAktuellerRahmen, 41);
    dialoge.Antworten(vb::OK, QStringLiteral("Ein Feld kann nicht mit sich selbst verschmolzen werden."));
    Weiter();
    f->cbxVerschmelzen2->TextSetzen(QStringLiteral("Ort"));
    dialoge.Antworten(vb::OK, QStringLiteral("Geben sie einen Namen für das verschmolzene Feld an."));
    Weiter();
    EXPECT_EQ(gAktuellerRahmen, 41);
}

TEST_F(Seitenfluss, AbgebrochenesÖffnenZeigtDieVerlasseneSeite) {
    BisZurTabelle();
    Weiter();
    DatenbankSchließen(gDatenbank);  // the proposal of page 4 cannot look up its names now
    dialoge.Antworten(vb::Abort, QStringLiteral("Fehler beim Öffnen des Rahmens 4."));
    Klicken(f->btnAuswahl[0]);
    EXPECT_EQ(gAktuellerRahmen, 5);
    EXPECT_EQ(SichtbareRahmen(), std::vector<int>{5});
    EXPECT_TRUE(gFehlerAbbruch);
    EXPECT_EQ(dialoge.letzte().stil, vb::AbortRetryIgnore + vb::Critical + vb::DefaultButton3);
    // No page shown: leaving it succeeds without a word.
    RahmenSchließen(5, false);
    EXPECT_TRUE(RahmenSchließen(-1, true));
    EXPECT_EQ(gAktuellerRahmen, -1);
}

// ---- the progress page ----

TEST_F(Fenstertest, FortschrittsanzeigeRechnetWieDerKern) {
    ASSERT_TRUE(RahmenSchließen(0, false));
    RahmenÖffnen(6, true);
    EXPECT_EQ(f->btnZurück->Caption(), QStringLiteral("Abbrechen"));
    EXPECT_FALSE(f->btnWeiter->isVisible());
    struct Fall {
        int32_t erledigt, gesamt;
        float balken;
        QString text;
    };
    const Fall fälle[] = {
        {0, 40, 0, "0 %"}, {1, 3, 100.0f / 3, "33 %"}, {1, 8, 12.5f, "13 %"}, {40, 40, 100, "100 %"}, {5, 0, 0, "0 %"}};
    for (const Fall& fall : fälle) {
        gFortschrittPosition = fall.erledigt;
        gFortschrittGesamt = fall.gesamt;
        f->tmrFortschritt.Takt();
        EXPECT_FLOAT_EQ(f->pgbTeilFortschritt->Value(), fall.balken) << fall.erledigt << "/" << fall.gesamt;
        EXPECT_EQ(f->lblTeilFortschritt->Caption(), fall.text);
    }
    int32_t gesamt = 20;
    FortschrittStarten(gesamt, 1);
    EXPECT_TRUE(f->tmrDauer.Läuft());
    EXPECT_EQ(f->tmrDauer.Interval(), 1000);
    EXPECT_EQ(f->tmrFortschritt.Interval(), 10);
    f->tmrDauer.Takt();
    EXPECT_EQ(f->lblDauer->Caption(), QString());
    f->tmrDauer.Takt();
    gFortschrittPosition = 7;
    f->tmrDauer.Takt();
    EXPECT_EQ(gFortschrittDauer, 3000);
    EXPECT_EQ(f->lblDauer->Caption(), QStringLiteral("Geschätzte Dauer : 0:00:08"));
    EXPECT_EQ(f->lblVerbleibendeZeit->Caption(), QStringLiteral("Verbleibende Zeit  : 0:00:05"));
    FortschrittBeenden();
    EXPECT_FALSE(f->tmrDauer.Läuft());
    EXPECT_FALSE(f->tmrFortschritt.Läuft());
    EXPECT_EQ(f->lblTeilFortschritt->Caption(), QStringLiteral("100 %"));
    ASSERT_TRUE(RahmenSchließen(6, false));
    EXPECT_EQ(f->btnZurück->Caption(), QStringLiteral("<<  Zurück"));
    EXPECT_TRUE(f->btnWeiter->isVisible());
}

TEST_F(Fenstertest, AbbruchfrageUndSchließenAufDerFortschrittsseite) {
    ASSERT_TRUE(RahmenSchließen(0, false));
    RahmenÖffnen(6, true);
    dialoge.Antworten(vb::No);
    Klicken(f->btnZurück);
    EXPECT_FALSE(gAbbruch);
    EXPECT_EQ(dialoge.letzte().text, QStringLiteral("Wollen sie den aktuellen Vorgang wirklich abbrechen?"));
    EXPECT_EQ(dialoge.letzte().stil, 308);
    EXPECT_EQ(dialoge.letzte().titel, QString());
    dialoge.Antworten(vb::Yes);
    Klicken(f->btnZurück);
    EXPECT_TRUE(gAbbruch);
    // Closing never closes the window here, whichever the answer.
    for (int antwort : {vb::Yes, vb::No}) {
        dialoge.Antworten(antwort);
        EXPECT_FALSE(f->close());
        EXPECT_TRUE(f->isVisible());
    }
    dialoge.Antworten(vb::No);
    Klicken(f->btnBeenden);
    EXPECT_TRUE(f->isVisible());
    EXPECT_EQ(gAktuellerRahmen, 6);
}

TEST_F(Fenstertest, BeendenSchließtAndernortsOhneFrage) {
    ASSERT_TRUE(gArbeitsbereich);
    f->mnuBeenden->trigger();
    EXPECT_FALSE(f->isVisible());
    EXPECT_FALSE(gArbeitsbereich);
    EXPECT_TRUE(dialoge.meldungen.empty());
}

TEST_F(Fenstertest, StrgFSchaltetDieSystemmeldungUm) {
    f->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(f.get()));
    const bool vorher = gSystemmeldung;
    QTest::keyClick(f.get(), Qt::Key_F, Qt::ControlModifier);
    EXPECT_NE(gSystemmeldung, vorher);
    QTest::keyClick(f.get(), Qt::Key_F, Qt::ControlModifier | Qt::ShiftModifier);
    QTest::keyClick(f.get(), Qt::Key_F, Qt::ControlModifier | Qt::AltModifier);
    QTest::keyClick(f.get(), Qt::Key_F);
    EXPECT_NE(gSystemmeldung, vorher);
    QTest::keyClick(f.get(), Qt::Key_F, Qt::ControlModifier);
    EXPECT_EQ(gSystemmeldung, vorher);
}

// ---- running an operation from "Starten" ----

using Lauf = Seitenfluss;

TEST_F(Lauf, DublettensucheBisZurPrüfungOhneDiesenichtsGelöscht) {
    BisZuDenSuchoptionen();
    int prüfungen = 0;
    int16_t seiteDerPrüfung = -1;
    f->beiDublettenBearbeiten = [&] {
        ++prüfungen;
        seiteDerPrüfung = gAktuellerRahmen;
        // Untouched marks: every group member and enriched record is dropped.
        return 0;
    };
    Weiter();
    EXPECT_EQ(prüfungen, 1);
    EXPECT_EQ(seiteDerPrüfung, 12);
    ASSERT_EQ(gAktuellerRahmen, 13);
    EXPECT_FALSE(f->LaufAktiv());
    EXPECT_EQ(TabellenSpalte(gZieltabelle, u"Firma"), (std::vector<std::string>{"Schmidt AG", "Weber KG"}));
    // Two members and one enriched record: one record of four was redundant.
    EXPECT_EQ(f->azlAngereichert, 1);
    EXPECT_EQ(f->Elemente().Finden(QStringLiteral("lblDublettenVerunreinigung"))->Inhalt(),
              QStringLiteral("25% Verunreinigung"));
    EXPECT_EQ(Tabellennamen(), (std::vector<std::string>{"Kunden", "Kunden _#1__9_12_2026", "Leer", "Lieferanten"}));
    Weiter();
    EXPECT_EQ(gAktuellerRahmen, 3);
    EXPECT_EQ(f->lstTabellen->ListCount(), 4);
}

TEST_F(Lauf, AbgebrochenePrüfungLässtNichtsZurück) {
    BisZuDenSuchoptionen();
    // The user ends the review with "Abbrechen" as soon as it is open.
    QTimer warten;
    QObject::connect(&warten, &QTimer::timeout, [&] {
        if (auto* d = dynamic_cast<frmDublettenBearbeiten*>(QApplication::activeModalWidget())) {
            warten.stop();
            QTest::mouseClick(d->btnAbbrechen, Qt::LeftButton);
        }
    });
    warten.start(1);
    Weiter();
    EXPECT_FALSE(warten.isActive());
    EXPECT_EQ(gAktuellerRahmen, 3);
    EXPECT_EQ(SichtbareRahmen(), std::vector<int>{3});
    EXPECT_EQ(Tabellennamen(), (std::vector<std::string>{"Kunden", "Leer", "Lieferanten"}));
    EXPECT_TRUE(f->btnZurück->isEnabled());
    EXPECT_EQ(f->btnZurück->Caption(), QStringLiteral("<<  Zurück"));
}

TEST_F(Lauf, AbbrechenWährendDesLaufs) {
    BisZuDenSuchoptionen();
    // At the run's first yield the user presses "Abbrechen" and tries to start a second run.
    bool gedrückt = false;
    QTimer::singleShot(0, f.get(), [&] {
        gedrückt = true;
        EXPECT_EQ(gAktuellerRahmen, 6);
        btnWeiter_Click();
        btnAuswahl_Click(2);
        QTest::mouseClick(f->btnZurück, Qt::LeftButton);
    });
    dialoge.Antworten(vb::Yes, QStringLiteral("wirklich abbrechen?"));
    Weiter();
    EXPECT_TRUE(gedrückt);
    EXPECT_EQ(gAktuellerRahmen, 3);
    EXPECT_EQ(Tabellennamen(), (std::vector<std::string>{"Kunden", "Leer", "Lieferanten"}));
    EXPECT_FALSE(f->LaufAktiv());
}

}  // namespace
