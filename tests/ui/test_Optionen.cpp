// Field assignment, the option pages' rules and the result pages in the real window.
#include <QMenu>

#include "ui/Fenstertest.h"
#include "ui/Seiten.h"

namespace {

class Optionen : public Fenstertest {
protected:
    void SetUp() override {
        Fenstertest::SetUp();
        DatenbankAnlegen({{u"Kunden", Kundenzeilen()}});
    }
    void Betreten(int16_t seite) {
        ASSERT_TRUE(RahmenSchließen(gAktuellerRahmen, false));
        RahmenÖffnen(seite, true);
        ASSERT_EQ(gAktuellerRahmen, seite);
    }
    // Page 7 for `tabelle`, as the operation button of the duplicate search leads there.
    void ZurZuordnung(const QString& tabelle = QStringLiteral("Kunden")) {
        BisZurTabelle(tabelle);
        Weiter();
        Klicken(f->btnAuswahl[3]);
        ASSERT_EQ(gAktuellerRahmen, 7);
    }
    // A left press on row `zeile` (or below the rows) that chooses the entry named `eintrag`.
    QPoint gezeigtBei;
    int menüs = 0;
    void Wählen(int zeile, const QString& eintrag, int taste = 1) {
        f->MenüZeigen = [&, eintrag](QMenu& m, const QPoint& p) -> QAction* {
            ++menüs;
            gezeigtBei = p;
            return m.findChild<QAction*>(eintrag);
        };
        const QRect r = zeile < f->lstFelder->ListCount() ? f->lstFelder->visualItemRect(f->lstFelder->item(zeile))
                                                          : QRect(0, f->lstFelder->viewport()->height() - 3, 10, 1);
        lstFelder_MouseDown(taste, r.center());
    }
};

TEST_F(Optionen, FeldartenmenüTyptGenauDieGezeigteZeile) {
    ZurZuordnung();
    const QString firma = f->lstFelder->List(0);
    struct Wahl {
        const char* eintrag;
        int16_t gruppe, bits;
        QString suffix;
    };
    const Wahl wahlen[] = {
        {"smnAdresse(2)", 3, 3, "(Straße,Hausnummer)"},
        {"smnAdresse(4)", 3, 8, "(Ort)"},
        {"smnAdresse(4)", 3, 8, "(Ort)"},  // the same choice twice: no accumulation
        {"smnFeldArten(1)", 1, 1, "(Index)"},
        {"smnKontakt(5)", 4, 7, "(Anrede,Vorname,Nachname)"},
        {"smnInternet(1)", 6, 2, "(Internetadresse)"},
    };
    for (const Wahl& w : wahlen) {
        SCOPED_TRACE(w.eintrag);
        Wählen(1, QString::fromUtf8(w.eintrag));
        EXPECT_EQ(f->lstFelder->ListIndex(), 1);
        EXPECT_EQ(gZuordnung[1].Gruppe, w.gruppe);
        EXPECT_EQ(gZuordnung[1].Bits, w.bits);
        EXPECT_EQ(f->lstFelder->List(1), " Strasse" + QString(58 - 7 - w.suffix.size(), '.') + w.suffix);
        EXPECT_EQ(f->lstFelder->List(1).size(), 59);
    }
    EXPECT_EQ(f->lstFelder->List(0), firma);
    // Centred horizontally at the pointer.
    const QPoint zeiger =
        f->lstFelder->viewport()->mapToGlobal(f->lstFelder->visualItemRect(f->lstFelder->item(1)).center());
    EXPECT_EQ(gezeigtBei, QPoint(zeiger.x() - f->mnuFeldArten->sizeHint().width() / 2, zeiger.y()));

    // A submenu's own entry, the right button and a press below the rows change nothing.
    const auto vorher = gZuordnung[1];
    const int gezeigt = menüs;
    Wählen(1, QStringLiteral("smnFeldArten(3)"));
    Wählen(2, QStringLiteral("smnAdresse(0)"), 2);
    Wählen(99, QStringLiteral("smnAdresse(0)"));
    EXPECT_EQ(menüs, gezeigt + 1);
    EXPECT_EQ(f->lstFelder->ListIndex(), 1);
    EXPECT_EQ(gZuordnung[1].Bits, vorher.Bits);
    EXPECT_EQ(gZuordnung[2].Gruppe, 3);  // PLZ keeps its guess
    // Leaving forward stores what the user chose.
    Weiter();
    EXPECT_EQ(gFelder1[1].Gruppe, 6);
}

TEST_F(Optionen, ZeilenLangerNamen) {
    const Text zehn = u"Zehnzeiche", dreiunddreißig(33, u'N'), überlang(50, u'L');
    DatenbankÖffnen(Variante(ausUtf8(datenbank)), Variante(u""), gDatenbank);
    TesttabelleAnlegen(u"Lang", {{zehn}, {dreiunddreißig}, {überlang}},
                       {{Variante(u"a"), Variante(u"b"), Variante(u"c")}});
    DatenbankSchließen(gDatenbank);
    ZurZuordnung(QStringLiteral("Lang"));
    Wählen(0, QStringLiteral("smnFeldArten(1)"));
    EXPECT_EQ(f->lstFelder->List(0), QStringLiteral(" Zehnzeiche") + QString(41, '.') + QStringLiteral("(Index)"));
    Wählen(1, QStringLiteral("smnKontakt(5)"));
    EXPECT_EQ(f->lstFelder->List(1), QStringLiteral(" ") + forms::Q(dreiunddreißig) + "(Anrede,Vorname,Nachname)");
    Wählen(2, QStringLiteral("smnKontakt(5)"));
    EXPECT_EQ(f->lstFelder->List(2), QStringLiteral(" ") + forms::Q(überlang) + "(Anrede,Vorname,Nachname)");
}

TEST_F(Optionen, SplittentypOrdnetDieSeite) {
    BisZurTabelle();
    Weiter();
    Klicken(f->btnAuswahl[1]);
    Weiter();
    ASSERT_EQ(gAktuellerRahmen, 31);
    struct Anordnung {
        bool zwei, dritter, trenner;
    };
    const Anordnung anordnung[6] = {{false, false, false}, {false, false, false}, {false, true, false},
                                    {false, false, false}, {true, true, false},   {false, false, true}};
    f->tbxSplitten3->TextSetzen(QStringLiteral("Dritter"));
    for (int t : {4, 0, 1, 2, 3, 5, 5, 4}) {
        SCOPED_TRACE(t);
        f->cbxSplittenTypus->ListIndexSetzen(t);
        const Anordnung& a = anordnung[t];
        EXPECT_EQ(f->lblSplitten1->Caption(), a.zwei ? QStringLiteral("Die Felder") : QStringLiteral("Das Feld"));
        EXPECT_EQ(f->lblSplitten2->Caption(), a.zwei ? QStringLiteral("werden in mehrere Felder aufgespalten.")
                                                     : QStringLiteral("wird in mehrere Felder aufgespalten."));
        EXPECT_EQ(f->lblSplitten3->isVisible(), a.zwei);
        EXPECT_EQ(f->cbxSplitten2->isVisible(), a.zwei);
        EXPECT_EQ(f->tbxSplitten3->isEnabled(), a.dritter);
        EXPECT_EQ(f->lblSplitten4->isVisible(), a.trenner);
        EXPECT_EQ(f->shpSplitten_Verdeutlichung->isVisible(), a.trenner);
        EXPECT_EQ(f->tbxSplitten_Trennzeichen->isEnabled(), a.trenner);
        if (t == 4 && f->cbxSplitten2->ListIndex() != 2) f->cbxSplitten2->ListIndexSetzen(2);
        // Nothing the user entered is cleared by a change of type.
        EXPECT_EQ(f->tbxSplitten3->Text(), QStringLiteral("Dritter"));
        EXPECT_EQ(f->tbxSplitten_Trennzeichen->Text(), QStringLiteral("/"));
        EXPECT_EQ(f->cbxSplitten2->ListIndex(), 2);
    }
    // Entering the page forward starts again from type 0.
    Zurück();
    Weiter();
    EXPECT_EQ(f->cbxSplittenTypus->ListIndex(), 0);
    EXPECT_FALSE(f->cbxSplitten2->isVisible());
}

TEST_F(Optionen, KästchenSchaltenIhreAbhängigenFrei) {
    struct Tor {
        forms::Kontrollkästchen* meister;
        std::vector<QWidget*> abhängige;
    };
    const Tor tore[] = {
        {f->chkFirmenname, {f->chkRechtsform}},
        {f->chkPostalisch, {f->chkHausnummer}},
        {f->chkKontakt, {f->chkAnrede, f->chkVorname, f->chkNachname, f->chkAbteilung}},
        {f->chkTelefon, {f->chkFax}},
        {f->chkSucheDurchführen[1], {f->cbxSuchFeld[3], f->cbxSuchFeld[4], f->cbxSuchFeld[5], f->sdrZeichenRichtig[1]}},
        {f->chkSucheDurchführen[2], {f->cbxSuchFeld[6], f->cbxSuchFeld[7], f->cbxSuchFeld[8], f->sdrZeichenRichtig[2]}},
    };
    for (const Tor& t : tore) {
        SCOPED_TRACE(t.meister->objectName().toStdString());
        for (int wert : {1, 0, 1, 0}) {
            t.meister->ValueSetzen(wert);
            for (QWidget* w : t.abhängige) EXPECT_EQ(w->isEnabled(), wert == 1) << w->objectName().toStdString();
        }
    }
    // A gate keeps the dependents' own ticks; the first pass gates nothing.
    EXPECT_EQ(f->chkNachname->Value(), 1);
    f->chkSucheDurchführen[0]->ValueSetzen(0);
    EXPECT_TRUE(f->cbxSuchFeld[0]->isEnabled());
    EXPECT_TRUE(f->sdrZeichenRichtig[0]->isEnabled());
}

// ---- result pages ----

std::vector<std::vector<Variante>> Zeilen(int n) {
    std::vector<std::vector<Variante>> z(static_cast<size_t>(n), {Variante(u"x")});
    return z;
}

TEST_F(Optionen, ProtokollseitenZeichnenIhreBalken) {
    DatenbankÖffnen(Variante(ausUtf8(datenbank)), Variante(u""), gDatenbank);
    TesttabelleAnlegen(u"Quelle", {{u"F"}}, Zeilen(1000));
    TesttabelleAnlegen(u"Ziel", {{u"F"}}, Zeilen(940));
    TesttabelleAnlegen(u"Groß", {{u"F"}}, Zeilen(1100));
    gTabelle1 = u"Quelle";
    struct Fall {
        int16_t seite;
        const char16_t* ziel;
        int32_t dubletten, müll, angereichert;
        const char* balken;
        int höhe[3], oben[3];
        QString texte[4];
    };
    const Fall fälle[] = {
        {13,
         u"Ziel",
         120,
         0,
         40,
         "shpDubletten",
         {3435, 412, 3228},
         {600, 3623, 807},
         {"1000 Datensätze", "120 Dubletten", "940 Datensätze nach Korrektur", "8% Verunreinigung"}},
        {23,
         u"Ziel",
         0,
         60,
         0,
         "shpMüll",
         {3435, 206, 3228},
         {600, 3829, 807},
         {"1000 Datensätze", "60 Mülldatensätze", "940 Datensätze nach Bereinigung", "6% Verunreinigung"}},
        {53,
         u"Groß",
         7,
         0,
         0,
         "shpDatenabgleich",
         {3435, 12, 3778},
         {600, 4023, 257},
         {"1000 Quelldatensätze", "davon 3 in Referenz vorhanden", "1100 Datensätze nach Abgleich",
          "0% Übereinstimmung"}},
        {63,
         u"Groß",
         401,
         0,
         0,
         "shpNeueDaten",
         {3122, 626, 3435},
         {913, 3409, 600},
         {"1000 Quelldatensätze", "200 doppelt vorhanden", "1100 Datensätze nach Korrektur", "20% Übereinstimmung"}},
    };
    for (const Fall& fall : fälle) {
        SCOPED_TRACE(fall.seite);
        gZieltabelle = fall.ziel;
        gAnzahlDubletten = fall.dubletten;
        gAnzahlMüll = fall.müll;
        f->azlAngereichert = fall.angereichert;
        Betreten(fall.seite);
        EXPECT_FALSE(f->btnZurück->isVisible());
        EXPECT_EQ(f->btnWeiter->Caption(), QStringLiteral("Fertig"));
        for (int i = 0; i < 3; ++i) {
            auto* b = dynamic_cast<forms::Figur*>(
                f->Elemente().Finden(QString::fromUtf8(fall.balken) + QString::number(i + 1)));
            ASSERT_TRUE(b);
            EXPECT_EQ(b->Höhe(), fall.höhe[i]) << i;
            EXPECT_EQ(b->Oben(), fall.oben[i]) << i;
            EXPECT_EQ(b->Oben() + b->Höhe(), 4035) << "bottom line " << i;
        }
        const QString namen[4][4] = {
            {"lblDubletten1", "lblDubletten2", "lblDubletten3", "lblDublettenVerunreinigung"},
            {"lblMüll1", "lblMüll2", "lblMüll3", "lblMüllVerunreinigung"},
            {"lblDatenabgleich1", "lblDatenabgleich2", "lblDatenabgleich3", "lblDatenabgleich4"},
            {"lblNeueDaten1", "lblNeueDaten2", "lblNeueDaten3", "lblNeueDaten4"}};
        const int k = fall.seite == 13 ? 0 : fall.seite == 23 ? 1 : fall.seite == 53 ? 2 : 3;
        for (int i = 0; i < 4; ++i) EXPECT_EQ(f->Elemente().Finden(namen[k][i])->Inhalt(), fall.texte[i]) << i;
        Weiter();
        EXPECT_EQ(gAktuellerRahmen, 3);
    }
    gAnzahlDubletten = gAnzahlMüll = 0;
}

// ---- split and merge through the window ----

TEST_F(Optionen, SplittenUndVerschmelzenBisZurErgebnisseite) {
    BisZurTabelle();
    ASSERT_NO_FATAL_FAILURE(SplittenBisZurErgebnisseite(QStringLiteral("Gesplittet")));
    EXPECT_EQ(TabellenSpalten(u"Gesplittet"),
              (std::vector<std::string>{"Firma", "Str", "Nr", "PLZ", "Ort", "Telefon"}));
    EXPECT_EQ(TabellenSpalte(u"Gesplittet", u"Nr"), (std::vector<std::string>{"5", "5", "1", "12"}));
    Weiter();
    ASSERT_EQ(gAktuellerRahmen, 3);
    EXPECT_EQ(f->lstTabellen->findItems(QStringLiteral("Gesplittet"), Qt::MatchExactly).size(), 1);

    f->lstTabellen->ListIndexSetzen(f->lstTabellen->row(f->lstTabellen->findItems("Kunden", Qt::MatchExactly)[0]));
    Weiter();
    Klicken(f->btnAuswahl[0]);
    f->tbxZielTabelle->TextSetzen(QStringLiteral("Verschmolzen"));
    Weiter();
    ASSERT_EQ(gAktuellerRahmen, 41);
    f->cbxVerschmelzen1->TextSetzen(QStringLiteral("PLZ"));
    f->cbxVerschmelzen2->TextSetzen(QStringLiteral("Ort"));
    f->tbxVerschmolzen->TextSetzen(QStringLiteral("PLZ_Ort"));
    Weiter();
    ASSERT_EQ(gAktuellerRahmen, 42);
    EXPECT_EQ(TabellenSpalte(u"Verschmolzen", u"PLZ_Ort"),
              (std::vector<std::string>{"10115 Berlin", "10115 Berlin", "80331 München", "50667 Köln"}));
    Weiter();
    EXPECT_EQ(gAktuellerRahmen, 3);
}

}  // namespace
