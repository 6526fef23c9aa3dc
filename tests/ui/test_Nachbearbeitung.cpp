// The review dialogs as a user drives them: opened modally, right-clicks on
// their grids, the move buttons, the key and selection events of the enriched
// grid, "Fertig" and "Abbrechen"; and the four marking operations clicked
// through the real window from the operation page to their result pages.
#include <functional>
#include <map>

#include <QApplication>
#include <QDir>
#include <QHeaderView>
#include <QTimer>

#include "search/mdlSuchpuffer.h"
#include "ui/Fenstertest.h"
#include "ui/frmDublettenBearbeiten.h"
#include "ui/frmMuellBearbeiten.h"

namespace {

using S = std::vector<std::string>;
using N = std::vector<int>;

const Text Arbeit = u"Arbeit";

// A row of a work table: its serial number, company, status and group.
struct Satz {
    int dsn;
    const char16_t* firma;
    int status;
    int gruppe = 0;
    Variante ort = Variante(u"Berlin");  // a required column: Null makes writing the row fail
};

// Two groups of a duplicate search, each with its enriched record, and a record without duplicates.
const std::vector<Satz> ZweiGruppen = {
    {1, u"Müller GmbH", 13, 1},
    {2, u"Müller GmbH", 13, 1},
    {3, u"Schmidt AG", 13, 2, Variante(u"München")},
    {4, u"Schmidt AG.", 13, 2, Variante(u"München")},
    {5, u"Weber KG", 11, 0, Variante(u"Köln")},
    {6, u"Müller GmbH", 12, 1},
    {7, u"Schmidt AG", 12, 2, Variante(u"München")},
};

// Two junk records among clean ones.
const std::vector<Satz> ZweiMüll = {
    {1, u"Müller GmbH", 11},
    {2, u"12345", 14},
    {3, u"Meier OHG", 14},
    {4, u"Weber KG", 11},
};

class Nachbearbeitung : public Fenstertest {
protected:
    void SetUp() override {
        Fenstertest::SetUp();
        DatenbankAnlegen({});
        DatenbankÖffnen(Variante(ausUtf8(datenbank)), Variante(u""), gDatenbank);
        ASSERT_FALSE(gFehlerAbbruch);
        gZieltabelle = Arbeit;
    }

    // The work table of a duplicate search (with TEMP_DSQ: of a mixed table) or of a junk search.
    void Dublettentabelle(const std::vector<Satz>& sätze, bool gemischt = false) {
        std::vector<Testspalte> spalten = {{u"Firma"}, {u"Ort"}};
        if (gemischt) spalten.push_back({u"TEMP_DSQ", dao::dbByte});
        for (const Testspalte& s : std::vector<Testspalte>{{u"TEMP_DSS", dao::dbByte},
                                                           {u"TEMP_DSN", dao::dbLong},
                                                           {u"TEMP_BN", dao::dbLong},
                                                           {u"TEMP_AMK", dao::dbText, 30}})
            spalten.push_back(s);
        std::vector<std::vector<Variante>> zeilen;
        for (const Satz& s : sätze) {
            std::vector<Variante> z = {Variante(s.firma), s.ort};
            if (gemischt) z.push_back(Variante(uint8_t{1}));
            for (const Variante& v : {Variante(static_cast<uint8_t>(s.status)), Variante(s.dsn), Variante(s.gruppe),
                                      Variante(s.status == 12 || s.status == 21 ? u"Angereichert" : u"")})
                z.push_back(v);
            zeilen.push_back(z);
        }
        TesttabelleAnlegen(Arbeit, spalten, zeilen);
        gDatenbank->TableDefs()[Arbeit]->Fields()[u"Ort"]->Required(true);
    }
    void Müllltabelle(const std::vector<Satz>& sätze) {
        std::vector<std::vector<Variante>> zeilen;
        for (const Satz& s : sätze)
            zeilen.push_back({Variante(s.firma), Variante(static_cast<uint8_t>(s.status)), Variante(s.dsn),
                              Variante(s.status == 14 ? u"Firmenn. unvernünftig;" : u"")});
        TesttabelleAnlegen(
            Arbeit,
            {{u"Firma"}, {u"TEMP_DSS", dao::dbByte}, {u"TEMP_DSN", dao::dbLong}, {u"TEMP_AMK", dao::dbText, 200}},
            zeilen);
    }

    // TEMP_DSS of every record by TEMP_DSN, as the table holds it now.
    static std::map<int, int> Stände() {
        std::map<int, int> r;
        auto rs = gDatenbank->OpenRecordset(Arbeit);
        for (; !rs->EOF_(); rs->MoveNext())
            r[rs->Fields()[u"TEMP_DSN"]->Value().alsLong()] = rs->Fields()[u"TEMP_DSS"]->Value().alsLong();
        rs->Close();
        return r;
    }
    static std::map<int, int> StändeVon(const std::vector<Satz>& sätze) {
        std::map<int, int> r;
        for (const Satz& s : sätze) r[s.dsn] = s.status;
        return r;
    }
    // The serial numbers of the rows a grid shows, in order.
    static N Ordner(const Datenraster* r) {
        N n;
        for (int z = 0; z < r->Daten().RecordCount(); ++z) n.push_back(r->Daten().Wert(z, u"TEMP_DSN").alsLong());
        return n;
    }
    static bool TransaktionOffen() {
        // A rollback without a transaction fails; with one it would undo it, so try it only to see.
        try {
            gArbeitsbereich->Rollback();
            return true;
        } catch (const std::exception&) {
            return false;
        }
    }

    static QPoint Mitte(Datenraster* r, int zeile) { return r->visualRect(r->Daten().index(zeile, 1)).center(); }
    static void Rechtsklick(Datenraster* r, int zeile) {
        QTest::mouseClick(r->viewport(), Qt::RightButton, {}, zeile < 0 ? QPoint(20, 40) : Mitte(r, zeile));
    }
    static void Linksklick(Datenraster* r, int zeile) {
        QTest::mouseClick(r->viewport(), Qt::LeftButton, {}, Mitte(r, zeile));
    }

    // Runs `schritt` inside the modal loop of the next dialog of type D to open;
    // a dialog the script leaves open is cancelled, so a failing step cannot hang the run.
    template <class D>
    void WennOffen(std::function<void(D&)> schritt) {
        auto* t = new QTimer(f.get());
        t->setInterval(1);
        QObject::connect(t, &QTimer::timeout, t, [this, t, schritt] {
            auto* d = dynamic_cast<D*>(QApplication::activeModalWidget());
            if (!d || !d->isVisible()) return;
            t->stop();
            t->deleteLater();
            ++geöffnet;
            schritt(*d);
            if (!d->Schließt()) {
                ADD_FAILURE() << "der Dialog blieb offen";
                d->btnAbbrechen_Click();
            }
        });
        t->start();
    }
    // The dialog over the work table, loaded and shown modally while `schritt` acts.
    template <class D>
    void Zeigen(std::function<void(D&)> schritt) {
        D d(f.get());
        ASSERT_TRUE(d.Form_Load());
        WennOffen<D>(schritt);
        d.exec();
        EXPECT_EQ(geöffnet, 1);
        EXPECT_FALSE(d.isVisible());
        EXPECT_FALSE(TransaktionOffen());
    }
    int geöffnet = 0;
};

// ---- the engine takes the dialogs' query texts ----

TEST_F(Nachbearbeitung, AbfragetexteLaufenDurchDieMaschine) {
    Dublettentabelle(ZweiGruppen);
    struct Fall {
        Datenquelle quelle;
        const char16_t* text;
        N dsn;
    };
    const Fall fälle[] = {
        {{Arbeit, {12}, std::nullopt, false}, u"SELECT [TEMP_AMK],* FROM [Arbeit]WHERE [TEMP_DSS] = 12", {6, 7}},
        {{Arbeit, {13}, 2, false}, u"SELECT [TEMP_AMK],* FROM [Arbeit]WHERE [TEMP_DSS] = 13AND [TEMP_BN] = 2", {3, 4}},
        {{Arbeit, {21, 22}, std::nullopt, false},
         u"SELECT [TEMP_AMK],* FROM [Arbeit]WHERE [TEMP_DSS] = 21 OR [TEMP_DSS] = 22",
         {}},
        {{Arbeit, {11, 12}, 1, false},
         u"SELECT [TEMP_AMK],* FROM [Arbeit]WHERE ([TEMP_DSS] = 11 OR [TEMP_DSS] = 12)AND [TEMP_BN] = 1",
         {6}},
        {{Arbeit, {}, std::nullopt, false}, u"SELECT [TEMP_AMK],* FROM [Arbeit]WHERE 1 = 2", {}},
        {{Arbeit, {}, std::nullopt, true}, u"SELECT [TEMP_AMK],* FROM [Arbeit]WHERE 1=2", {}},
    };
    for (const Fall& fall : fälle) {
        SCOPED_TRACE(nachUtf8(fall.text));
        EXPECT_EQ(Anzeigeabfrage(fall.quelle), Text(fall.text));
        Rastermodell m;
        m.RecordSourceSetzen(fall.quelle);
        m.Refresh();
        // The remark once more in front of all columns.
        ASSERT_EQ(m.columnCount(), 7);
        EXPECT_EQ(m.Feldname(0), u"TEMP_AMK");
        EXPECT_EQ(m.Feldname(1), u"Firma");
        EXPECT_EQ(m.Feldname(6), u"TEMP_AMK");
        N dsn;
        for (int z = 0; z < m.rowCount(); ++z) dsn.push_back(m.Wert(z, u"TEMP_DSN").alsLong());
        EXPECT_EQ(dsn, fall.dsn);
    }
    // The editing queries and the criterion of a single move.
    auto rs = gDatenbank->OpenRecordset(u"SELECT * FROM [Arbeit]WHERE [TEMP_DSS] = 13AND [TEMP_BN] = 1");
    EXPECT_EQ(rs->RecordCount(), 2);
    rs = gDatenbank->OpenRecordset(u"SELECT * FROM [Arbeit] WHERE [TEMP_DSS] = 12");
    rs->FindFirst(u"[TEMP_DSN] = 7");
    ASSERT_FALSE(rs->NoMatch());
    EXPECT_EQ(rs->Fields()[u"Firma"]->Value().alsText(), u"Schmidt AG");
    EXPECT_EQ(gDatenbank->OpenRecordset(u"SELECT * FROM [Arbeit] WHERE 1 = 1")->RecordCount(), 7);
    // A number compares with a number only.
    for (const char16_t* falsch : {u"SELECT * FROM [Arbeit] WHERE 1 = [TEMP_DSS]", u"SELECT * FROM [Arbeit] WHERE 1 2",
                                   u"SELECT * FROM [Arbeit] WHERE 1 = 'a'"})
        EXPECT_ANY_THROW(gDatenbank->OpenRecordset(falsch)) << nachUtf8(falsch);
}

// ---- the duplicate review ----

TEST_F(Nachbearbeitung, DublettendialogNachDemLaden) {
    struct Fall {
        bool gemischt;
        int spalten;  // of each grid
        const char* letzteSichtbare;
    };
    for (const Fall fall : {Fall{false, 7, "TEMP_DSS"}, Fall{true, 8, "TEMP_DSQ"}}) {
        SCOPED_TRACE(fall.letzteSichtbare);
        Dublettentabelle(ZweiGruppen, fall.gemischt);
        frmDublettenBearbeiten d(f.get());
        ASSERT_TRUE(d.Form_Load());
        EXPECT_EQ(d.windowTitle(), QStringLiteral(" Nachbearbeitung der Dubletten"));
        EXPECT_EQ(d.size(), QSize(forms::Pixel(10455), forms::Pixel(8325)));
        EXPECT_EQ(d.minimumSize(), d.maximumSize());
        const Qt::WindowFlags flags = d.windowFlags();
        EXPECT_FALSE(flags & (Qt::WindowCloseButtonHint | Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint));
        EXPECT_TRUE(d.isModal());
        EXPECT_EQ(d.azlTempFelder, fall.gemischt ? 5 : 4);
        EXPECT_FALSE(d.tmrAnsicht.Enabled());
        EXPECT_EQ(d.tmrAnsicht.Interval(), 10);
        const std::pair<forms::Beschriftung*, const char*> labels[] = {
            {d.Label1, "Angereicherte Datensätze:"},
            {d.Label2, "Zugeordnete Dubletten:"},
            {d.Label3, "Tatsächlich zu übernehmende Datensätze:"}};
        for (const auto& [l, text] : labels) EXPECT_EQ(l->Caption(), QString::fromUtf8(text));
        for (const auto& [b, text] : std::vector<std::pair<forms::Schaltfläche*, const char*>>{
                 {d.btnHilfe, "Hilfe"}, {d.btnFertig, "Fertig"}, {d.btnAbbrechen, "Abbrechen"}})
            EXPECT_EQ(b->Caption(), QString::fromUtf8(text));
        for (forms::Schaltfläche* b : {d.btnAngereichert, d.btnDublette, d.btnÜbernehmen}) {
            EXPECT_TRUE(b->text().isEmpty());
            EXPECT_FALSE(b->icon().isNull());
            EXPECT_GT(b->height(), 3 * b->width());
        }
        for (const char* name : {"Label1", "dgdAngereichert", "dgdDublette", "dgdÜbernehmen", "btnAngereichert",
                                 "btnDublette", "btnÜbernehmen", "btnHilfe", "btnFertig", "btnAbbrechen"}) {
            auto* w = d.findChild<QWidget*>(QString::fromUtf8(name));
            ASSERT_TRUE(w) << name;
            EXPECT_EQ(w->accessibleDescription(), QString::fromUtf8(name));
        }
        EXPECT_EQ(d.adoAngereichert->objectName(), QStringLiteral("adoAngereichert"));
        EXPECT_EQ(d.adoAngereichert->Caption, QStringLiteral("Angereichert"));
        EXPECT_EQ(d.adoDublette->Caption, QStringLiteral("Dublette"));
        EXPECT_EQ(d.adoÜbernehmen->Caption, QStringLiteral("Übernehmen"));
        EXPECT_EQ(d.adoDublette->ConnectionString, gADOVerbindung);
        EXPECT_FALSE(gADOVerbindung.empty());
        // The group grid stands a little to the right of the others.
        EXPECT_GT(d.dgdDublette->x(), d.dgdAngereichert->x());

        EXPECT_EQ(Ordner(d.dgdAngereichert), (N{6, 7}));
        EXPECT_EQ(Ordner(d.dgdDublette), (N{1, 2}));
        EXPECT_EQ(Ordner(d.dgdÜbernehmen), (N{}));
        EXPECT_EQ(Anzeigeabfrage(d.adoDublette->RecordSource()),
                  u"SELECT [TEMP_AMK],* FROM [Arbeit]WHERE [TEMP_DSS] = 13AND [TEMP_BN] = 1");
        for (Datenraster* r : {d.dgdAngereichert, d.dgdDublette, d.dgdÜbernehmen}) {
            SCOPED_TRACE(r->objectName().toStdString());
            ASSERT_EQ(r->Spaltenzahl(), fall.spalten);
            EXPECT_EQ(r->Spaltenbeschriftung(0), QStringLiteral("--< Anmerkungen >--"));
            // 1600 twips, or what the caption needs in the font shown.
            EXPECT_GE(r->Spaltenbreite(0), forms::Twips(forms::Pixel(1600)));
            EXPECT_EQ(r->Spaltenbreite(0), std::max(forms::Twips(forms::Pixel(1600)), r->Kopfbreite(0)));
            EXPECT_EQ(r->Spaltenbeschriftung(1), QStringLiteral("Firma"));
            int letzte = -1;
            for (int s = 0; s < r->Spaltenzahl(); ++s)
                if (r->SpalteSichtbar(s)) letzte = s;
            EXPECT_EQ(r->Spaltenbeschriftung(letzte), QString::fromUtf8(fall.letzteSichtbare));
            EXPECT_EQ(letzte, 3);  // the remark, two columns of the user's, and that one
            for (int s = letzte + 1; s < r->Spaltenzahl(); ++s) EXPECT_FALSE(r->SpalteSichtbar(s)) << s;
            EXPECT_EQ(r->editTriggers(), QAbstractItemView::NoEditTriggers);
            EXPECT_FALSE(r->Daten().flags(r->Daten().index(0, 1)) & Qt::ItemIsEditable);
        }
        EXPECT_EQ(d.dgdAngereichert->Zeile(), 0);
        EXPECT_TRUE(d.dgdÜbernehmen->EOF_());
        d.btnAbbrechen_Click();
        gDatenbank->TableDefs().Delete(Arbeit);
        gAbbruch = false;
    }
}

// A step of a user in the duplicate review and the folders afterwards.
struct Dublettenschritt {
    const char* was;
    char aktion;  // R right-click, L left-click and the timer's tick, A/D/U the move buttons
    int raster;   // 0 enriched, 1 group, 2 take-over
    int zeile;    // -1: below the rows
    N angereichert, dubletten, übernehmen;
};

TEST_F(Nachbearbeitung, DublettenVerschiebenEinzelnUndAlle) {
    Dublettentabelle(ZweiGruppen);
    const Dublettenschritt schritte[] = {
        {"rechts in die leere Übernahme", 'R', 2, -1, {6, 7}, {1, 2}, {}},
        {"links ins Angereicherte verschiebt nichts", 'L', 0, 0, {6, 7}, {1, 2}, {}},
        {"eine Dublette übernehmen", 'R', 1, 1, {6, 7}, {1}, {2}},
        {"den zweiten Angereicherten übernehmen: die Gruppe des ersten", 'R', 0, 1, {6}, {1}, {2, 7}},
        {"zurück: 22 wird 13 in ihrer Gruppe", 'R', 2, 0, {6}, {1, 2}, {7}},
        {"zurück: 21 wird 12", 'R', 2, 0, {6, 7}, {1, 2}, {}},
        {"die zweite Gruppe wählen", 'L', 0, 1, {6, 7}, {3, 4}, {}},
        {"aus ihr übernehmen: nur Gruppe und Übernahme neu", 'R', 1, 0, {6, 7}, {4}, {3}},
        {"zurück: wieder die Gruppe des ersten", 'R', 2, 0, {6, 7}, {1, 2}, {}},
        {"alle Dubletten der Gruppe", 'D', 1, 0, {6, 7}, {}, {1, 2}},
        {"alle Angereicherten", 'A', 0, 0, {}, {}, {1, 2, 6, 7}},
        {"rechts ins leere Angereicherte", 'R', 0, -1, {}, {}, {1, 2, 6, 7}},
        {"alle Dubletten ohne Angereicherte: nichts", 'D', 1, 0, {}, {}, {1, 2, 6, 7}},
        {"alle zurück", 'U', 2, 0, {6, 7}, {1, 2}, {}},
        {"alle zurück aus der leeren Übernahme: nichts", 'U', 2, 0, {6, 7}, {1, 2}, {}},
    };
    Zeigen<frmDublettenBearbeiten>([&](frmDublettenBearbeiten& d) {
        EXPECT_EQ(gAktuellerRahmen, 0);  // no run: the window stays where it was
        Datenraster* raster[] = {d.dgdAngereichert, d.dgdDublette, d.dgdÜbernehmen};
        for (const Dublettenschritt& s : schritte) {
            SCOPED_TRACE(s.was);
            switch (s.aktion) {
                case 'R': Rechtsklick(raster[s.raster], s.zeile); break;
                case 'L':
                    Linksklick(raster[s.raster], s.zeile);
                    ASSERT_TRUE(QTest::qWaitFor([&] { return !d.tmrAnsicht.Enabled(); }));
                    break;
                case 'A': Klicken(d.btnAngereichert); break;
                case 'D': Klicken(d.btnDublette); break;
                default: Klicken(d.btnÜbernehmen); break;
            }
            EXPECT_EQ(Ordner(d.dgdAngereichert), s.angereichert);
            EXPECT_EQ(Ordner(d.dgdDublette), s.dubletten);
            EXPECT_EQ(Ordner(d.dgdÜbernehmen), s.übernehmen);
            for (auto* b : {d.btnFertig, d.btnAngereichert, d.btnDublette, d.btnÜbernehmen})
                EXPECT_TRUE(b->isEnabled());
            EXPECT_FALSE(TransaktionOffen());
            // The grids show what the table holds.
            const auto stände = Stände();
            for (int n : s.übernehmen) EXPECT_TRUE(stände.at(n) == 21 || stände.at(n) == 22) << n;
            for (int n : s.angereichert) EXPECT_EQ(stände.at(n), 12) << n;
        }
        // An emptied group folder shows the empty query of its reload.
        Klicken(d.btnAngereichert);
        EXPECT_EQ(Anzeigeabfrage(d.adoDublette->RecordSource()), u"SELECT [TEMP_AMK],* FROM [Arbeit]WHERE 1 = 2");
        Klicken(d.btnÜbernehmen);
        dialoge.Antworten(vb::Yes, QStringLiteral("(beim Datenabgleich ist dies der Normalfall)"));
        dialoge.Antworten(vb::Yes, QStringLiteral("Sollen wirklich"));
        Klicken(d.btnFertig);
    });
    EXPECT_EQ(Stände(), StändeVon(ZweiGruppen));
    EXPECT_FALSE(gAbbruch);
}

TEST_F(Nachbearbeitung, GruppenrasterFolgtEinenTaktSpäter) {
    Dublettentabelle(ZweiGruppen);
    Zeigen<frmDublettenBearbeiten>([&](frmDublettenBearbeiten& d) {
        d.dgdAngereichert->setFocus();
        struct Taste {
            Qt::Key taste;
            bool stellt;  // arms the timer
            N dubletten;
        };
        const Taste tasten[] = {{Qt::Key_Down, true, {3, 4}},     {Qt::Key_Up, true, {1, 2}},
                                {Qt::Key_PageDown, true, {3, 4}}, {Qt::Key_PageUp, true, {1, 2}},
                                {Qt::Key_Home, false, {1, 2}},    {Qt::Key_Right, false, {1, 2}}};
        for (const Taste& t : tasten) {
            SCOPED_TRACE(t.taste);
            QTest::keyClick(d.dgdAngereichert, t.taste);
            EXPECT_EQ(d.tmrAnsicht.Enabled(), t.stellt);
            if (t.stellt) {
                EXPECT_EQ(d.tmrAnsicht.Interval(), 10);
                // Not before the tick.
                EXPECT_NE(Ordner(d.dgdDublette), t.dubletten);
                ASSERT_TRUE(QTest::qWaitFor([&] { return !d.tmrAnsicht.Enabled(); }));
            }
            EXPECT_EQ(Ordner(d.dgdDublette), t.dubletten);
        }
        // A right-click in the group grid before its tick: the record is not in the
        // group of the enriched grid's row, so nothing changes and the folders reload.
        QTest::keyClick(d.dgdAngereichert, Qt::Key_Down);
        ASSERT_EQ(Ordner(d.dgdDublette), (N{1, 2}));
        Rechtsklick(d.dgdDublette, 0);
        EXPECT_EQ(Stände(), StändeVon(ZweiGruppen));
        EXPECT_FALSE(TransaktionOffen());
        EXPECT_EQ(Ordner(d.dgdDublette), (N{3, 4}));
        EXPECT_EQ(Ordner(d.dgdÜbernehmen), (N{}));
        QTest::keyClick(d.dgdAngereichert, Qt::Key_Up);
        ASSERT_TRUE(QTest::qWaitFor([&] { return !d.tmrAnsicht.Enabled(); }));
        // Within the tick the group grid still shows the first group; the button
        // moves the members of the enriched grid's row all the same.
        QTest::keyClick(d.dgdAngereichert, Qt::Key_Down);
        ASSERT_TRUE(d.tmrAnsicht.Enabled());
        EXPECT_EQ(Ordner(d.dgdDublette), (N{1, 2}));
        d.btnDublette_Click();
        EXPECT_EQ(Ordner(d.dgdÜbernehmen), (N{3, 4}));
        EXPECT_EQ(Stände(), (std::map<int, int>{{1, 13}, {2, 13}, {3, 22}, {4, 22}, {5, 11}, {6, 12}, {7, 12}}));
        d.btnAbbrechen_Click();
        EXPECT_FALSE(d.tmrAnsicht.Enabled());
    });
    EXPECT_TRUE(gAbbruch);
}

TEST_F(Nachbearbeitung, DublettenFertigFragtUndZählt) {
    Dublettentabelle(ZweiGruppen);
    const QString leer = QStringLiteral(
        "Sie haben keine Datensätze zum Übernehmen ausgewählt!\rAlle angezeigten Datensätze werden gelöscht. "
        "Sind sie sicher?\r\r(beim Datenabgleich ist dies der Normalfall)");
    const QString löschen = QStringLiteral(
        "Sollen wirklich sämtliche in den Ordnern 'Angereicherte Datensätze'\r und 'Dubletten' befindliche "
        "Datensätze gelöscht werden?");
    int azl = -1;
    Zeigen<frmDublettenBearbeiten>([&](frmDublettenBearbeiten& d) {
        struct Antwort {
            std::vector<int> antworten;
            bool offen;
        };
        for (const Antwort& a :
             {Antwort{{vb::No}, true}, Antwort{{vb::Yes, vb::No}, true}, Antwort{{vb::Yes, vb::Yes}, false}}) {
            const size_t vorher = dialoge.meldungen.size();
            for (int antwort : a.antworten) dialoge.Antworten(antwort);
            Klicken(d.btnFertig);
            ASSERT_EQ(dialoge.meldungen.size(), vorher + a.antworten.size());
            EXPECT_EQ(dialoge.meldungen[vorher].text, leer);
            EXPECT_EQ(dialoge.meldungen[vorher].stil, vb::YesNo + vb::Information + vb::DefaultButton2);
            EXPECT_EQ(dialoge.meldungen[vorher].titel, QString());
            if (a.antworten.size() == 2) {
                EXPECT_EQ(dialoge.meldungen[vorher + 1].text, löschen);
                EXPECT_EQ(dialoge.meldungen[vorher + 1].stil, vb::YesNo + vb::Information);
                EXPECT_EQ(dialoge.meldungen[vorher + 1].titel, QString());
            }
            EXPECT_EQ(d.isVisible(), a.offen);
            EXPECT_EQ(Stände(), StändeVon(ZweiGruppen));
        }
        azl = d.azlAngereichert;
        EXPECT_FALSE(d.rsAngereichert);
        EXPECT_FALSE(d.rsÜbernehmen);
    });
    // Both enriched records of the run.
    EXPECT_EQ(azl, 2);
    EXPECT_FALSE(gAbbruch);
    EXPECT_FALSE(gFehlerAbbruch);

    // With a record to take over, only the second question; taken-over enriched records count too.
    gDatenbank->TableDefs().Delete(Arbeit);
    Dublettentabelle(ZweiGruppen);
    geöffnet = 0;
    Zeigen<frmDublettenBearbeiten>([&](frmDublettenBearbeiten& d) {
        Rechtsklick(d.dgdAngereichert, 0);
        dialoge.Antworten(vb::Yes, löschen);
        Klicken(d.btnFertig);
        azl = d.azlAngereichert;
    });
    EXPECT_EQ(azl, 2);
    EXPECT_EQ(Stände().at(6), 21);
}

// The close box and Esc do nothing; only "Fertig" and "Abbrechen" close a review.
TEST_F(Nachbearbeitung, NurFertigUndAbbrechenSchließen) {
    Dublettentabelle(ZweiGruppen);
    Zeigen<frmDublettenBearbeiten>([&](frmDublettenBearbeiten& d) {
        QTest::keyClick(&d, Qt::Key_Escape);
        QTest::keyClick(d.dgdAngereichert, Qt::Key_Escape);
        EXPECT_FALSE(d.close());
        EXPECT_TRUE(d.isVisible());
        EXPECT_FALSE(gAbbruch);
        // "Hilfe" calls what the window gives it.
        int hilfe = 0;
        Klicken(d.btnHilfe);
        d.Hilfe = [&] { ++hilfe; };
        Klicken(d.btnHilfe);
        EXPECT_EQ(hilfe, 1);
        Klicken(d.btnAbbrechen);
        EXPECT_FALSE(d.rsAngereichert);
    });
    EXPECT_TRUE(gAbbruch);
    EXPECT_EQ(Stände(), StändeVon(ZweiGruppen));

    gAbbruch = false;
    gDatenbank->TableDefs().Delete(Arbeit);
    Müllltabelle(ZweiMüll);
    geöffnet = 0;
    Zeigen<frmMüllBearbeiten>([&](frmMüllBearbeiten& d) {
        QTest::keyClick(d.dgdMüll, Qt::Key_Escape);
        EXPECT_FALSE(d.close());
        EXPECT_TRUE(d.isVisible());
        Klicken(d.btnAbbrechen);
    });
    EXPECT_TRUE(gAbbruch);
}

// "Abbrechen" while a move-all yields: its transaction goes back, nothing more is written.
TEST_F(Nachbearbeitung, AbbrechenWährendAllesVerschiebens) {
    struct Fall {
        const char* dialog;
        char knopf;
    };
    for (const Fall fall : {Fall{"Dubletten", 'A'}, Fall{"Dubletten", 'D'}, Fall{"Müll", 'M'}, Fall{"Müll", 'U'}}) {
        SCOPED_TRACE(std::string(fall.dialog) + " " + fall.knopf);
        gAbbruch = false;
        geöffnet = 0;
        int gesehen = 0;
        // Runs at the move's first yield.
        auto währenddessen = [&](Nachbearbeitungsfenster* d, std::vector<QWidget*> gesperrt, Datenraster* raster,
                                 QWidget* abbrechen) {
            QTimer::singleShot(0, d, [&gesehen, d, gesperrt, raster, abbrechen] {
                ++gesehen;
                EXPECT_TRUE(d->VerschiebtAlle());
                EXPECT_TRUE(d->TransaktionOffen());
                for (QWidget* w : gesperrt) EXPECT_FALSE(w->isEnabled()) << w->objectName().toStdString();
                EXPECT_TRUE(abbrechen->isEnabled());
                // The grids stay live but take no move meanwhile.
                Rechtsklick(raster, 0);
                EXPECT_TRUE(d->VerschiebtAlle());
                QTest::mouseClick(abbrechen, Qt::LeftButton);
            });
        };
        if (fall.dialog == std::string("Dubletten")) {
            Dublettentabelle(ZweiGruppen);
            Zeigen<frmDublettenBearbeiten>([&](frmDublettenBearbeiten& d) {
                währenddessen(&d, {d.btnFertig, d.btnAngereichert, d.btnDublette, d.btnÜbernehmen},
                              fall.knopf == 'A' ? d.dgdDublette : d.dgdAngereichert, d.btnAbbrechen);
                (fall.knopf == 'A' ? d.btnAngereichert : d.btnDublette)->click();
                EXPECT_FALSE(d.VerschiebtAlle());
            });
            EXPECT_EQ(Stände(), StändeVon(ZweiGruppen));
        } else {
            // The keep folder has rows to move back too.
            std::vector<Satz> sätze = ZweiMüll;
            sätze.push_back({5, u"Abc", 23});
            sätze.push_back({6, u"Xyz", 23});
            Müllltabelle(sätze);
            Zeigen<frmMüllBearbeiten>([&](frmMüllBearbeiten& d) {
                währenddessen(&d, {d.btnFertig, d.btnMüll, d.btnÜbernehmen},
                              fall.knopf == 'M' ? d.dgdÜbernehmen : d.dgdMüll, d.btnAbbrechen);
                (fall.knopf == 'M' ? d.btnMüll : d.btnÜbernehmen)->click();
            });
            EXPECT_EQ(Stände(), StändeVon(sätze));
        }
        EXPECT_EQ(gesehen, 1);
        EXPECT_TRUE(gAbbruch);
        gDatenbank->TableDefs().Delete(Arbeit);
    }
}

// A move that fails goes back whole and says so in the box of the load; its
// "Abbrechen" ends the review as the button does. A load that fails ends it too.
TEST_F(Nachbearbeitung, FehlschlägeImDialog) {
    std::vector<Satz> sätze = ZweiGruppen;
    sätze[6].ort = Variante::Null();  // the second enriched record cannot be written
    Dublettentabelle(sätze);
    Zeigen<frmDublettenBearbeiten>([&](frmDublettenBearbeiten& d) {
        dialoge.Antworten(vb::Retry, QStringLiteral("Fehler beim Anzeigen der Ergebnisse der Dublettensuche."));
        dialoge.Antworten(vb::Ignore, QStringLiteral("Fehler beim Anzeigen der Ergebnisse der Dublettensuche."));
        Klicken(d.btnAngereichert);
        EXPECT_EQ(dialoge.offeneAntworten(), 0u);
        EXPECT_TRUE(d.isVisible());
        EXPECT_FALSE(TransaktionOffen());
        // The first record was written before the failure, and went back with it.
        EXPECT_EQ(Stände(), StändeVon(sätze));
        for (auto* b : {d.btnFertig, d.btnAngereichert, d.btnDublette, d.btnÜbernehmen}) EXPECT_TRUE(b->isEnabled());
        dialoge.Antworten(vb::Abort);
        Linksklick(d.dgdAngereichert, 1);
        Rechtsklick(d.dgdAngereichert, 1);
        EXPECT_FALSE(d.isVisible());
        EXPECT_TRUE(d.Schließt());
    });
    EXPECT_TRUE(gAbbruch);
    EXPECT_FALSE(gFehlerAbbruch);
    EXPECT_EQ(Stände(), StändeVon(sätze));

    // A work table that is not there: the error box of the load, answered "Abbrechen".
    gAbbruch = false;
    gZieltabelle = u"Fehlt";
    for (const QString& meldung : {QStringLiteral("Fehler beim Anzeigen der Ergebnisse der Dublettensuche."),
                                   QStringLiteral("Fehler beim Anzeigen der Ergebnisse der Müllsuche.")}) {
        gFehlerAbbruch = false;
        dialoge.Antworten(vb::Abort, meldung);
        bool geladen = true;
        if (meldung.contains(QStringLiteral("Dubletten"))) {
            frmDublettenBearbeiten d(f.get());
            geladen = d.Form_Load();
            EXPECT_TRUE(d.Schließt());
        } else {
            frmMüllBearbeiten d(f.get());
            geladen = d.Form_Load();
            EXPECT_TRUE(d.Schließt());
        }
        EXPECT_FALSE(geladen);
        EXPECT_TRUE(gFehlerAbbruch);
        EXPECT_FALSE(gAbbruch);
        EXPECT_EQ(dialoge.letzte().stil, vb::AbortRetryIgnore + vb::Critical + vb::DefaultButton3);
    }
}

// ---- the junk review ----

TEST_F(Nachbearbeitung, MüllVerschiebenUndFertig) {
    Müllltabelle(ZweiMüll);
    struct Müllschritt {
        const char* was;
        char aktion;  // R right-click, M/U the move buttons
        int raster;   // 0 junk, 1 keep
        int zeile;
        N müll, behalten;
    };
    const Müllschritt schritte[] = {
        {"rechts in den leeren Beibehalten-Ordner", 'R', 1, -1, {2, 3}, {}},
        {"alle zurück aus dem leeren Ordner", 'U', 1, 0, {2, 3}, {}},
        {"den zweiten behalten", 'R', 0, 1, {2}, {3}},
        {"alle behalten", 'M', 0, 0, {}, {2, 3}},
        {"rechts in den leeren Müll", 'R', 0, -1, {}, {2, 3}},
        {"den ersten zurück", 'R', 1, 0, {2}, {3}},
        {"alle zurück", 'U', 1, 0, {2, 3}, {}},
        {"den ersten behalten", 'R', 0, 0, {3}, {2}},
    };
    Zeigen<frmMüllBearbeiten>([&](frmMüllBearbeiten& d) {
        EXPECT_EQ(d.windowTitle(), QStringLiteral(" Nachbearbeitung"));
        EXPECT_EQ(d.size(), QSize(forms::Pixel(10500), forms::Pixel(7935)));
        EXPECT_FALSE(d.windowFlags() &
                     (Qt::WindowCloseButtonHint | Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint));
        EXPECT_EQ(d.Label2->Caption(), QStringLiteral("Mülldatensätze:"));
        EXPECT_EQ(d.Label3->Caption(), QStringLiteral("Doch beibehalten:"));
        EXPECT_EQ(d.adoMüll->Caption, QStringLiteral("Müll"));
        EXPECT_EQ(d.adoÜbernehmen->Caption, QStringLiteral("Übernehmen"));
        for (const char* name : {"dgdMüll", "dgdÜbernehmen", "btnMüll", "btnÜbernehmen", "btnHilfe", "btnFertig",
                                 "btnAbbrechen", "Label2", "Label3"})
            EXPECT_TRUE(d.findChild<QWidget*>(QString::fromUtf8(name))) << name;
        for (Datenraster* r : {d.dgdMüll, d.dgdÜbernehmen}) {
            // The remark, the user's column and TEMP_DSS; TEMP_DSN and the second TEMP_AMK hidden.
            ASSERT_EQ(r->Spaltenzahl(), 5);
            EXPECT_EQ(r->Spaltenbeschriftung(0), QStringLiteral("--< Anmerkungen >--"));
            EXPECT_EQ(r->Spaltenbreite(0), 3000);
            for (int s = 0; s < 5; ++s) EXPECT_EQ(r->SpalteSichtbar(s), s < 3) << s;
        }
        EXPECT_EQ(d.dgdMüll->Daten().data(d.dgdMüll->Daten().index(0, 0), Qt::DisplayRole).toString(),
                  QStringLiteral("Firmenn. unvernünftig;"));
        Datenraster* raster[] = {d.dgdMüll, d.dgdÜbernehmen};
        for (const Müllschritt& s : schritte) {
            SCOPED_TRACE(s.was);
            if (s.aktion == 'R') Rechtsklick(raster[s.raster], s.zeile);
            else Klicken(s.aktion == 'M' ? d.btnMüll : d.btnÜbernehmen);
            EXPECT_EQ(Ordner(d.dgdMüll), s.müll);
            EXPECT_EQ(Ordner(d.dgdÜbernehmen), s.behalten);
            for (auto* b : {d.btnFertig, d.btnMüll, d.btnÜbernehmen}) EXPECT_TRUE(b->isEnabled());
            const auto stände = Stände();
            for (int n : s.müll) EXPECT_EQ(stände.at(n), 14);
            for (int n : s.behalten) EXPECT_EQ(stände.at(n), 23);
        }
        // One question, also with records kept; "Nein" leaves the dialog open.
        const QString frage = QStringLiteral(
            "Sollen wirklich sämtliche im Ordner 'Mülldatensätze'\rbefindliche Datensätze gelöscht werden?");
        for (int antwort : {vb::No, vb::Yes}) {
            dialoge.Antworten(antwort);
            Klicken(d.btnFertig);
            EXPECT_EQ(dialoge.letzte().text, frage);
            EXPECT_EQ(dialoge.letzte().stil, vb::YesNo + vb::Information);
            EXPECT_EQ(dialoge.letzte().titel, QString());
            EXPECT_EQ(d.isVisible(), antwort == vb::No);
        }
        EXPECT_FALSE(d.rsMüll);
        EXPECT_FALSE(d.rsÜbernehmen);
    });
    EXPECT_FALSE(gAbbruch);
    EXPECT_EQ(Stände(), (std::map<int, int>{{1, 11}, {2, 23}, {3, 14}, {4, 11}}));
}

// ---- what a German user sees ----

// Every control inside the window, none on another, every text whole.
QStringList Layoutfehler(const QWidget& d) {
    QStringList fehler;
    std::vector<QWidget*> kinder;
    for (QWidget* w : d.findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
        if (w->isVisible()) kinder.push_back(w);
    for (size_t i = 0; i < kinder.size(); ++i) {
        QWidget* a = kinder[i];
        if (!d.rect().contains(a->geometry())) fehler << a->objectName() + QStringLiteral(" ragt hinaus");
        for (size_t j = i + 1; j < kinder.size(); ++j)
            if (a->geometry().intersects(kinder[j]->geometry()))
                fehler << a->objectName() + QStringLiteral(" überdeckt ") + kinder[j]->objectName();
        if (auto* l = qobject_cast<QLabel*>(a))
            if (l->fontMetrics().horizontalAdvance(l->text()) > l->contentsRect().width() ||
                l->fontMetrics().height() > l->height())
                fehler << l->objectName() + QStringLiteral(" abgeschnitten");
        if (auto* b = qobject_cast<QPushButton*>(a))
            if (!b->text().isEmpty() && b->sizeHint().width() > b->width())
                fehler << b->objectName() + QStringLiteral(" abgeschnitten");
        if (auto* r = qobject_cast<QTableView*>(a))
            for (int s = 0; s < r->model()->columnCount(); ++s) {
                if (r->isColumnHidden(s)) continue;
                const QString kopf = r->model()->headerData(s, Qt::Horizontal, Qt::DisplayRole).toString();
                if (r->horizontalHeader()->fontMetrics().horizontalAdvance(kopf) + 8 > r->columnWidth(s))
                    fehler << r->objectName() + QStringLiteral(": Spaltenkopf ") + kopf +
                                  QStringLiteral(" abgeschnitten");
            }
    }
    return fehler;
}

void Aufnehmen(QWidget& d, const QString& datei) {
    QCoreApplication::processEvents();
    const QString ordner = QStringLiteral(PURIVO_BUILD "/screenshots/");
    ASSERT_TRUE(QDir().mkpath(ordner));
    EXPECT_TRUE(d.grab().toImage().save(ordner + datei)) << datei.toStdString();
    const QStringList fehler = Layoutfehler(d);
    EXPECT_TRUE(fehler.isEmpty()) << datei.toStdString() << ":\n  "
                                  << fehler.join(QStringLiteral("\n  ")).toStdString();
}

TEST_F(Nachbearbeitung, BildschirmfotosDerDialoge) {
    std::vector<Satz> sätze = ZweiGruppen;
    sätze[1].status = 22;
    Dublettentabelle(sätze);
    Zeigen<frmDublettenBearbeiten>([&](frmDublettenBearbeiten& d) {
        EXPECT_EQ(Ordner(d.dgdÜbernehmen), (N{2}));
        Aufnehmen(d, QStringLiteral("dialog_dubletten.png"));
        d.btnAbbrechen_Click();
    });
    gDatenbank->TableDefs().Delete(Arbeit);
    std::vector<Satz> müll = ZweiMüll;
    müll.push_back({5, u"Xyz", 23});
    Müllltabelle(müll);
    geöffnet = 0;
    Zeigen<frmMüllBearbeiten>([&](frmMüllBearbeiten& d) {
        Aufnehmen(d, QStringLiteral("dialog_muell.png"));
        d.btnAbbrechen_Click();
    });
}

// ---- the marking operations through the real window ----

// Rows of the runs: two of Kunden the same company; Lieferanten shares one of them.
std::vector<std::vector<Variante>> Lieferantenzeilen() {
    return {
        {Variante(u"Müller GmbH"), Variante(u"Hauptstraße 5"), Variante(u"10115"), Variante(u"Berlin"),
         Variante(u"030 123456")},
        {Variante(u"Fischer OHG"), Variante(u"Seeweg 7"), Variante(u"20095"), Variante(u"Hamburg"),
         Variante(u"040 778899")},
    };
}
std::vector<std::vector<Variante>> Müllzeilen() {
    auto z = Kundenzeilen();
    z.push_back({Variante(u"12345"), Variante(u"Ringweg 3"), Variante(u"01067"), Variante(u"Dresden"),
                 Variante(u"0351 112233")});
    z.push_back({Variante(u"Meier OHG"), Variante(u"Bahnweg 2"), Variante(u"123"), Variante(u"Bonn"),
                 Variante(u"0228 445566")});
    return z;
}

class NachbearbeitungImFenster : public Nachbearbeitung {
protected:
    void SetUp() override {
        Nachbearbeitung::SetUp();
        DatenbankSchließen(gDatenbank);
        DatenbankAnlegen(
            {{u"Kunden", Kundenzeilen()}, {u"Lieferanten", Lieferantenzeilen()}, {u"Adressen", Müllzeilen()}});
        gZieltabelle.clear();
    }
    static S Tabellen() {
        S r;
        for (const auto& t : gDatenbank->TableDefs().liste())
            if (t->Attributes() == 0) r.push_back(nachUtf8(t->Name()));
        std::sort(r.begin(), r.end());
        return r;
    }
    static bool KeineArbeitsspalten(const Text& tabelle) {
        for (const std::string& s : TabellenSpalten(tabelle))
            if (s.find("TEMP_") != std::string::npos) return false;
        return true;
    }
    void Starten() {
        ASSERT_EQ(f->btnWeiter->Caption(), QStringLiteral("Starten"));
        Weiter();
        EXPECT_EQ(geöffnet, 1);
        EXPECT_FALSE(f->LaufAktiv());
    }
    // Matching or adding: the second table, both field assignments with a way back between them.
    void Zweitabellen(int knopf, int seite) {
        BisZurTabelle();
        Weiter();
        Klicken(f->btnAuswahl[knopf]);
        ASSERT_EQ(gAktuellerRahmen, seite);
        (seite == 51 ? f->cbxDatenabgleich : f->cbxNeueDaten)->TextSetzen(QStringLiteral("Lieferanten"));
        Weiter();
        ASSERT_EQ(forms::Q(gZuordnungTabelle), QStringLiteral("Kunden"));
        Weiter();
        ASSERT_EQ(forms::Q(gZuordnungTabelle), QStringLiteral("Lieferanten"));
        Zurück();
        ASSERT_EQ(gAktuellerRahmen, 7);
        ASSERT_EQ(forms::Q(gZuordnungTabelle), QStringLiteral("Kunden"));
        Weiter();
        ASSERT_EQ(forms::Q(gZuordnungTabelle), QStringLiteral("Lieferanten"));
        Weiter();
        ASSERT_EQ(gAktuellerRahmen, 4);
        Weiter();
        ASSERT_EQ(gAktuellerRahmen, 11);
    }
};

TEST_F(NachbearbeitungImFenster, DublettensucheMitÜbernommenerDublette) {
    BisZuDenSuchoptionen();
    WennOffen<frmDublettenBearbeiten>([&](frmDublettenBearbeiten& d) {
        EXPECT_EQ(gAktuellerRahmen, 12);
        EXPECT_FALSE(f->btnWeiter->isVisible());
        EXPECT_EQ(Ordner(d.dgdAngereichert), (N{5}));
        EXPECT_EQ(Ordner(d.dgdDublette), (N{1, 2}));
        Rechtsklick(d.dgdDublette, 1);
        dialoge.Antworten(vb::Yes, QStringLiteral("Sollen wirklich"));
        Klicken(d.btnFertig);
    });
    Starten();
    ASSERT_EQ(gAktuellerRahmen, 13);
    EXPECT_EQ(TabellenSpalte(gZieltabelle, u"Firma"), (S{"Müller GmbH", "Schmidt AG", "Weber KG"}));
    EXPECT_EQ(TabellenSpalte(gZieltabelle, u"Ort"), (S{"Berlin", "München", "Köln"}));
    EXPECT_TRUE(KeineArbeitsspalten(gZieltabelle));
    EXPECT_EQ(f->azlAngereichert, 1);
    EXPECT_EQ(f->Elemente().Finden(QStringLiteral("lblDublettenVerunreinigung"))->Inhalt(),
              QStringLiteral("25% Verunreinigung"));
    EXPECT_EQ(Tabellen(), (S{"Adressen", "Kunden", "Kunden _#1__9_12_2026", "Lieferanten"}));
    Weiter();
    EXPECT_EQ(gAktuellerRahmen, 3);
}

TEST_F(NachbearbeitungImFenster, DublettensucheOhneÜbernahmeUndAbgebrochen) {
    BisZuDenSuchoptionen();
    WennOffen<frmDublettenBearbeiten>([&](frmDublettenBearbeiten& d) {
        dialoge.Antworten(vb::Yes, QStringLiteral("(beim Datenabgleich ist dies der Normalfall)"));
        dialoge.Antworten(vb::Yes, QStringLiteral("und 'Dubletten' befindliche"));
        Klicken(d.btnFertig);
    });
    Starten();
    ASSERT_EQ(gAktuellerRahmen, 13);
    EXPECT_EQ(TabellenSpalte(gZieltabelle, u"Firma"), (S{"Schmidt AG", "Weber KG"}));
    Weiter();
    ASSERT_EQ(gAktuellerRahmen, 3);

    // Moves made and then "Abbrechen": no target, no work table, the source as it was.
    geöffnet = 0;
    f->lstTabellen->ListIndexSetzen(f->lstTabellen->row(f->lstTabellen->findItems("Kunden", Qt::MatchExactly)[0]));
    Weiter();
    Klicken(f->btnAuswahl[3]);
    Weiter();
    f->tbxZielTabelle->TextSetzen(QStringLiteral("Bereinigt"));
    Weiter();
    WennOffen<frmDublettenBearbeiten>([&](frmDublettenBearbeiten& d) {
        Klicken(d.btnAngereichert);
        Rechtsklick(d.dgdÜbernehmen, 0);
        Klicken(d.btnAbbrechen);
    });
    Starten();
    EXPECT_EQ(gAktuellerRahmen, 3);
    EXPECT_EQ(Tabellen(), (S{"Adressen", "Kunden", "Kunden _#1__9_12_2026", "Lieferanten"}));
    EXPECT_EQ(TabellenSpalten(u"Kunden"), (S{"Firma", "Strasse", "PLZ", "Ort", "Telefon"}));
    EXPECT_EQ(TabellenSpalte(u"Kunden", u"Firma"), (S{"Müller GmbH", "Müller GmbH", "Schmidt AG", "Weber KG"}));
    EXPECT_TRUE(f->btnZurück->isEnabled());
}

TEST_F(NachbearbeitungImFenster, MüllsucheBehältEinenUndEntferntDenAnderen) {
    BisZurTabelle(QStringLiteral("Adressen"));
    Weiter();
    Klicken(f->btnAuswahl[2]);
    Weiter();
    f->tbxZielTabelle->TextSetzen(QStringLiteral("Sauber"));
    Weiter();
    ASSERT_EQ(gAktuellerRahmen, 21);
    f->chkFirmenname->ValueSetzen(1);
    f->chkPostalisch->ValueSetzen(1);
    WennOffen<frmMüllBearbeiten>([&](frmMüllBearbeiten& d) {
        EXPECT_EQ(gAktuellerRahmen, 22);
        ASSERT_EQ(Ordner(d.dgdMüll), (N{5, 6}));
        EXPECT_EQ(d.dgdMüll->Wert(u"Firma").alsText(), u"12345");
        Rechtsklick(d.dgdMüll, 0);
        dialoge.Antworten(vb::Yes, QStringLiteral("im Ordner 'Mülldatensätze'"));
        Klicken(d.btnFertig);
    });
    Starten();
    ASSERT_EQ(gAktuellerRahmen, 23);
    EXPECT_EQ(TabellenSpalte(u"Sauber", u"Firma"),
              (S{"Müller GmbH", "Müller GmbH", "Schmidt AG", "Weber KG", "12345"}));
    EXPECT_TRUE(KeineArbeitsspalten(u"Sauber"));
    Weiter();
    ASSERT_EQ(gAktuellerRahmen, 3);

    // Cancelled from the dialog: nothing left behind.
    geöffnet = 0;
    f->lstTabellen->ListIndexSetzen(f->lstTabellen->row(f->lstTabellen->findItems("Adressen", Qt::MatchExactly)[0]));
    Weiter();
    Klicken(f->btnAuswahl[2]);
    Weiter();
    f->tbxZielTabelle->TextSetzen(QStringLiteral("Verworfen"));
    Weiter();
    WennOffen<frmMüllBearbeiten>([&](frmMüllBearbeiten& d) {
        Klicken(d.btnMüll);
        Klicken(d.btnAbbrechen);
    });
    Starten();
    EXPECT_EQ(gAktuellerRahmen, 3);
    EXPECT_EQ(Tabellen(), (S{"Adressen", "Kunden", "Lieferanten", "Sauber"}));
    EXPECT_EQ(TabellenSpalten(u"Adressen"), (S{"Firma", "Strasse", "PLZ", "Ort", "Telefon"}));
}

TEST_F(NachbearbeitungImFenster, DatenabgleichMitZurückZwischenDenZuordnungen) {
    Zweitabellen(4, 51);
    WennOffen<frmDublettenBearbeiten>([&](frmDublettenBearbeiten& d) {
        EXPECT_EQ(gAktuellerRahmen, 12);
        // A mixed table: TEMP_DSQ stands where TEMP_DSS would.
        int letzte = -1;
        for (int s = 0; s < d.dgdAngereichert->Spaltenzahl(); ++s)
            if (d.dgdAngereichert->SpalteSichtbar(s)) letzte = s;
        EXPECT_EQ(d.dgdAngereichert->Spaltenbeschriftung(letzte), QStringLiteral("TEMP_DSQ"));
        EXPECT_EQ(d.adoAngereichert->RecordCount(), 1);
        EXPECT_EQ(d.adoDublette->RecordCount(), 3);
        dialoge.Antworten(vb::Yes, QStringLiteral("(beim Datenabgleich ist dies der Normalfall)"));
        dialoge.Antworten(vb::Yes, QStringLiteral("Sollen wirklich"));
        Klicken(d.btnFertig);
    });
    Starten();
    ASSERT_EQ(gAktuellerRahmen, 53);
    EXPECT_EQ(TabellenSpalte(gZieltabelle, u"Firma"), (S{"Schmidt AG", "Weber KG"}));
    EXPECT_TRUE(KeineArbeitsspalten(gZieltabelle));
    for (const std::string& t : Tabellen()) EXPECT_EQ(t.find("TEMP_"), std::string::npos) << t;
    Weiter();
    EXPECT_EQ(gAktuellerRahmen, 3);
}

TEST_F(NachbearbeitungImFenster, DatenHinzufügenÖffnetMitLeeremAngereichertenOrdner) {
    Zweitabellen(5, 61);
    WennOffen<frmDublettenBearbeiten>([&](frmDublettenBearbeiten& d) {
        EXPECT_TRUE(d.dgdAngereichert->EOF_());
        EXPECT_EQ(Anzeigeabfrage(d.adoDublette->RecordSource()),
                  u"SELECT [TEMP_AMK],* FROM [" + gZieltabelle + u"]WHERE 1 = 2");
        ASSERT_EQ(Ordner(d.dgdÜbernehmen).size(), 1u);
        EXPECT_EQ(d.dgdÜbernehmen->Wert(u"TEMP_AMK").alsText(), u"Angereichert");
        d.dgdAngereichert->setFocus();
        QTest::keyClick(d.dgdAngereichert, Qt::Key_Down);
        EXPECT_FALSE(d.tmrAnsicht.Enabled());
        EXPECT_EQ(Anzeigeabfrage(d.adoDublette->RecordSource()),
                  u"SELECT [TEMP_AMK],* FROM [" + gZieltabelle + u"]WHERE 1=2");
        Klicken(d.btnDublette);
        EXPECT_EQ(Ordner(d.dgdÜbernehmen).size(), 1u);
        dialoge.Antworten(vb::Yes, QStringLiteral("Sollen wirklich"));
        Klicken(d.btnFertig);
    });
    Starten();
    ASSERT_EQ(gAktuellerRahmen, 63);
    EXPECT_EQ(TabellenSpalte(gZieltabelle, u"Firma"), (S{"Schmidt AG", "Weber KG", "Fischer OHG", "Müller GmbH"}));
    EXPECT_TRUE(KeineArbeitsspalten(gZieltabelle));
    for (const std::string& t : Tabellen()) EXPECT_EQ(t.find("TEMP_"), std::string::npos) << t;
}

}  // namespace
