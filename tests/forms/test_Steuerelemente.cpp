// The controls and the runtime of the forms layer, driven as the program and
// a user drive them: values set by code, keys and clicks, timers in the event loop.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include <QApplication>
#include <QCursor>
#include <QObject>
#include <QTest>
#include <QThread>
#include <QTimer>
#include <QWidget>

#include "common/Fehlerfang.h"
#include "platform/forms/Anwendung.h"
#include "platform/forms/Steuerelemente.h"

using namespace forms;

namespace {

// Texts compared as UTF-8, so that a failure prints them readably.
std::string U(const QString& q) { return q.toStdString(); }

constexpr int Unzulässig = 380, Schreibgeschützt = 383;

}  // namespace

// ---- twips ----

TEST(Twips, RundenAufGanzePixel) {
    const std::vector<std::pair<int, int>> fälle = {{0, 0}, {15, 1}, {22, 1}, {23, 2}, {1500, 100}, {-15, -1}};
    for (const auto& [twips, pixel] : fälle) EXPECT_EQ(Pixel(twips), pixel) << twips;
}

TEST(Twips, PlatzierenRelativZumEltern) {
    QWidget eltern;
    QWidget kind(&eltern);
    Platzieren(&kind, 150, 300, 1500, 450);
    EXPECT_EQ(kind.geometry(), QRect(10, 20, 100, 30));
}

// ---- captions ----

TEST(Beschriftungen, CaptionWieGespeichertZeilenumbrücheAngezeigt) {
    struct Fall {
        QString caption, angezeigt;
    };
    const std::vector<Fall> fälle = {
        {"  Name  ", "  Name  "},
        {"Zeile 1\r\nZeile 2", "Zeile 1\nZeile 2"},
        {"Zeile 1\rZeile 2", "Zeile 1\nZeile 2"},
        {"A\r\n\r\nB\r", "A\n\nB\n"},
    };
    QWidget eltern;
    Beschriftung b(&eltern);
    for (const auto& f : fälle) {
        b.CaptionSetzen(f.caption);
        EXPECT_EQ(U(b.Caption()), U(f.caption));
        EXPECT_EQ(U(b.Inhalt()), U(f.caption));
        EXPECT_EQ(U(b.text()), U(f.angezeigt));
    }
}

TEST(Beschriftungen, KnopfUndRahmenZeigenLeerzeichen) {
    QWidget eltern;
    Schaltfläche knopf(&eltern);
    Rahmenfeld rahmen(&eltern);
    knopf.CaptionSetzen(" Suchen ");
    rahmen.CaptionSetzen("  Optionen \r");
    EXPECT_EQ(U(knopf.Caption()), " Suchen ");
    EXPECT_EQ(U(knopf.text()), " Suchen ");
    EXPECT_EQ(U(rahmen.Caption()), "  Optionen \r");
    EXPECT_EQ(U(rahmen.Inhalt()), "  Optionen \r");
    EXPECT_TRUE(rahmen.title().startsWith("  Optionen "));
}

TEST(Beschriftungen, KnopfKlickRuftClick) {
    QWidget eltern;
    Schaltfläche knopf(&eltern);
    int klicks = 0;
    knopf.Click = [&] { ++klicks; };
    QTest::keyClick(&knopf, Qt::Key_Space);
    EXPECT_EQ(klicks, 1);
}

// ---- the control list ----

TEST(Elementliste, NamenUndFeldelemente) {
    QWidget eltern;
    Steuerelementliste liste;
    auto* einzeln = liste.Anlegen<Textfeld>(&eltern, "tbxName");
    std::map<int, Steuerelement*> angelegt;
    for (int i : {5, 0, 7, 2, 1, 3}) angelegt[i] = liste.Anlegen<Kontrollkästchen>(&eltern, "chkFeld", i);
    liste.Anlegen<Textfeld>(&eltern, "chkFeldX", 4);

    EXPECT_EQ(U(einzeln->objectName()), "tbxName");
    EXPECT_EQ(U(einzeln->accessibleDescription()), "tbxName");
    EXPECT_EQ(U(angelegt[3]->Widget()->objectName()), "chkFeld(3)");
    EXPECT_EQ(U(angelegt[3]->Widget()->accessibleDescription()), "chkFeld(3)");

    EXPECT_EQ(liste.Finden("tbxName"), einzeln);
    EXPECT_EQ(liste.Finden("chkFeld", 7), angelegt[7]);
    EXPECT_EQ(liste.Finden("chkFeld"), nullptr);
    EXPECT_EQ(liste.Finden("chkFeld", 4), nullptr);
    EXPECT_EQ(liste.Finden("tbxName", 0), nullptr);
    EXPECT_EQ(liste.Finden("lblFehlt"), nullptr);

    const auto feld = liste.Feld("chkFeld");
    std::vector<int> indexe;
    for (const auto& [i, s] : feld) {
        indexe.push_back(i);
        EXPECT_EQ(s, angelegt[i]) << i;
    }
    EXPECT_EQ(indexe, (std::vector<int>{0, 1, 2, 3, 5, 7}));
    EXPECT_TRUE(liste.Feld("tbxName").empty());
}

// ---- the drop-down list ----

struct KombiFall : ::testing::Test {
    QWidget eltern;
    Kombinationsfeld* k = new Kombinationsfeld(&eltern);
    int klicks = 0;
    void SetUp() override {
        k->Click = [this] { ++klicks; };
        for (const char* e : {"Name", "name", "Ort"}) k->AddItem(e);
    }
};

TEST_F(KombiFall, FüllenUndLeerenWählenNichtsAus) {
    EXPECT_EQ(k->ListIndex(), -1);
    EXPECT_EQ(k->Wert(), -1);
    EXPECT_EQ(k->ListCount(), 3);
    EXPECT_EQ(U(k->List(2)), "Ort");
    EXPECT_EQ(U(k->Text()), "");
    k->ListIndexSetzen(2);
    k->Clear();
    EXPECT_EQ(k->ListIndex(), -1);
    EXPECT_EQ(k->ListCount(), 0);
    EXPECT_EQ(U(k->Text()), "");
    k->AddItem("Neu");
    EXPECT_EQ(k->ListIndex(), -1);
    EXPECT_EQ(klicks, 1);
}

TEST_F(KombiFall, ListIndexSetzenKlicktAuchBeiGleichemWert) {
    k->ListIndexSetzen(1);
    EXPECT_EQ(klicks, 1);
    EXPECT_EQ(U(k->Text()), "name");
    k->ListIndexSetzen(1);
    EXPECT_EQ(klicks, 2);
    // A choice that leaves the list unselected reads as nothing.
    k->ListIndexSetzen(-1);
    EXPECT_EQ(klicks, 3);
    EXPECT_EQ(U(k->Text()), "");
    EXPECT_EQ(U(k->Inhalt()), "");
}

TEST_F(KombiFall, ListIndexAußerhalbIst380) {
    k->ListIndexSetzen(0);
    for (int i : {-2, 3, 100}) {
        EXPECT_EQ(FehlerVon([&] { k->ListIndexSetzen(i); }), Unzulässig) << i;
        EXPECT_EQ(k->ListIndex(), 0);
    }
    EXPECT_EQ(klicks, 1);
}

TEST_F(KombiFall, TextWähltGenauVorOhneGroßKlein) {
    struct Fall {
        QString text;
        int index;
    };
    const std::vector<Fall> fälle = {{"name", 1}, {"Name", 0}, {"NAME", 0}, {"ort", 2}, {"Ort", 2}};
    for (const auto& f : fälle) {
        k->ListIndexSetzen(-1);
        klicks = 0;
        k->TextSetzen(f.text);
        EXPECT_EQ(k->ListIndex(), f.index) << U(f.text);
        EXPECT_EQ(klicks, 1) << U(f.text);
    }
}

TEST_F(KombiFall, TextOhneEintragIst383UndÄndertNichts) {
    k->ListIndexSetzen(2);
    klicks = 0;
    for (const QString& t : {QString("Straße"), QString("Ort "), QString("Na")}) {
        EXPECT_EQ(FehlerVon([&] { k->InhaltSetzen(t); }), Schreibgeschützt) << U(t);
        EXPECT_EQ(k->ListIndex(), 2);
    }
    EXPECT_EQ(klicks, 0);
}

TEST_F(KombiFall, AuswahlDesBenutzersKlickt) {
    QTest::keyClick(k, Qt::Key_Down);
    EXPECT_EQ(k->ListIndex(), 0);
    QTest::keyClick(k, Qt::Key_End);
    EXPECT_EQ(k->ListIndex(), 2);
    EXPECT_EQ(U(k->Text()), "Ort");
    EXPECT_EQ(klicks, 2);
}

// ---- the list box ----

struct ListeFall : ::testing::Test {
    QWidget eltern;
    Listenfeld* l = new Listenfeld(&eltern);
    int klicks = 0;
    void SetUp() override {
        l->Click = [this] { ++klicks; };
        for (const char* e : {"Kunden", "Lieferanten", "Artikel"}) l->AddItem(e);
    }
};

TEST_F(ListeFall, FüllenUndLeerenWählenNichtsAus) {
    EXPECT_EQ(l->ListIndex(), -1);
    EXPECT_EQ(l->ListCount(), 3);
    EXPECT_EQ(U(l->List(1)), "Lieferanten");
    EXPECT_EQ(U(l->List(3)), "");
    EXPECT_EQ(U(l->Text()), "");
    l->ListIndexSetzen(1);
    l->Clear();
    EXPECT_EQ(l->ListIndex(), -1);
    EXPECT_EQ(l->ListCount(), 0);
    l->AddItem("Neu");
    EXPECT_EQ(l->ListIndex(), -1);
    EXPECT_EQ(klicks, 1);
}

TEST_F(ListeFall, ListIndexSetzenKlicktEinmal) {
    struct Schritt {
        int index;
        int klicks;
    };
    // The same index again still counts as a choice.
    const std::vector<Schritt> schritte = {{2, 1}, {2, 2}, {0, 3}, {-1, 4}};
    for (const auto& s : schritte) {
        l->ListIndexSetzen(s.index);
        EXPECT_EQ(l->ListIndex(), s.index);
        EXPECT_EQ(l->Wert(), s.index);
        EXPECT_EQ(klicks, s.klicks) << s.index;
    }
    l->ListIndexSetzen(2);
    EXPECT_EQ(U(l->Text()), "Artikel");
    EXPECT_EQ(U(l->Inhalt()), "Artikel");
}

TEST_F(ListeFall, ListIndexAußerhalbIst380) {
    l->ListIndexSetzen(1);
    for (int i : {-2, 3}) {
        EXPECT_EQ(FehlerVon([&] { l->ListIndexSetzen(i); }), Unzulässig) << i;
        EXPECT_EQ(l->ListIndex(), 1);
    }
    EXPECT_EQ(klicks, 1);
}

TEST_F(ListeFall, AuswahlDesBenutzersKlickt) {
    eltern.resize(300, 200);
    l->setGeometry(0, 0, 300, 200);
    eltern.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&eltern));
    QTest::mouseClick(l->viewport(), Qt::LeftButton, {}, l->visualItemRect(l->item(1)).center());
    EXPECT_EQ(l->ListIndex(), 1);
    QTest::keyClick(l, Qt::Key_Down);
    EXPECT_EQ(l->ListIndex(), 2);
    EXPECT_EQ(klicks, 2);
}

TEST_F(ListeFall, FokusWähltNichtsAus) {
    eltern.show();
    QApplication::setActiveWindow(&eltern);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&eltern));
    l->setFocus(Qt::TabFocusReason);
    QApplication::processEvents();
    ASSERT_TRUE(l->hasFocus());
    EXPECT_EQ(l->ListIndex(), -1);
    EXPECT_EQ(klicks, 0);
    // The keyboard then starts at the first entry.
    QTest::keyClick(l, Qt::Key_Down);
    EXPECT_EQ(l->ListIndex(), 0);
    EXPECT_EQ(klicks, 1);
}

// ---- check box and option button ----

TEST(Kontrollkästchen, JedeÄnderungDesWertsKlickt) {
    QWidget eltern;
    Kontrollkästchen c(&eltern);
    int klicks = 0;
    c.Click = [&] { ++klicks; };
    struct Schritt {
        int wert;
        int klicks;
    };
    const std::vector<Schritt> schritte = {{1, 1}, {2, 2}, {2, 2}, {0, 3}, {2, 4}, {1, 5}, {1, 5}, {0, 6}};
    for (const auto& s : schritte) {
        c.ValueSetzen(s.wert);
        EXPECT_EQ(c.Value(), s.wert);
        EXPECT_EQ(c.Wert(), s.wert);
        EXPECT_EQ(klicks, s.klicks) << s.wert;
    }
}

TEST(Kontrollkästchen, BenutzerWechseltNurZwischenAnUndAus) {
    QWidget eltern;
    Kontrollkästchen c(&eltern);
    int klicks = 0;
    c.Click = [&] { ++klicks; };
    // Grey is the program's to set; a click from grey ticks the box.
    c.ValueSetzen(2);
    klicks = 0;
    std::vector<int> werte;
    for (int i = 0; i < 4; ++i) {
        QTest::keyClick(&c, Qt::Key_Space);
        werte.push_back(c.Value());
    }
    EXPECT_EQ(werte, (std::vector<int>{1, 0, 1, 0}));
    EXPECT_EQ(klicks, 4);
}

TEST(Kontrollkästchen, UnzulässigerWertIst380) {
    QWidget eltern;
    Kontrollkästchen c(&eltern);
    c.ValueSetzen(1);
    int klicks = 0;
    c.Click = [&] { ++klicks; };
    for (int v : {-1, 3}) {
        EXPECT_EQ(FehlerVon([&] { c.ValueSetzen(v); }), Unzulässig) << v;
        EXPECT_EQ(c.Value(), 1);
    }
    EXPECT_EQ(klicks, 0);
}

TEST(Optionsfeld, GewähltIstMinusEinsUndLässtSichAbwählen) {
    QWidget eltern;
    Optionsfeld a(&eltern), b(&eltern);
    int klicksA = 0;
    a.Click = [&] { ++klicksA; };
    a.ValueSetzen(true);
    EXPECT_TRUE(a.Value());
    EXPECT_EQ(a.Wert(), -1);
    EXPECT_EQ(b.Wert(), 0);
    EXPECT_EQ(klicksA, 1);
    b.ValueSetzen(true);
    EXPECT_EQ(a.Wert(), 0);
    EXPECT_EQ(b.Wert(), -1);
    // Code may leave a group with none chosen.
    b.ValueSetzen(false);
    EXPECT_FALSE(b.Value());
    EXPECT_EQ(b.Wert(), 0);
    EXPECT_EQ(klicksA, 1);
    // The group stays exclusive afterwards.
    a.ValueSetzen(true);
    b.ValueSetzen(true);
    EXPECT_FALSE(a.Value());
}

// ---- progress bar ----

TEST(Fortschrittsbalken, HältKommawertZeigtGerundet) {
    const std::vector<std::pair<float, int>> fälle = {{12.5f, 13}, {12.4f, 12}, {0.f, 0}, {99.5f, 100}, {100.f, 100}};
    QWidget eltern;
    Fortschrittsbalken p(&eltern);
    for (const auto& [wert, gezeigt] : fälle) {
        p.ValueSetzen(wert);
        EXPECT_EQ(p.Value(), wert);
        EXPECT_EQ(p.value(), gezeigt) << wert;
    }
}

TEST(Fortschrittsbalken, AußerhalbIst380UndÄndertNichts) {
    QWidget eltern;
    Fortschrittsbalken p(&eltern);
    p.ValueSetzen(40.25f);
    for (float v : {-0.5f, 100.5f, -1000.f, std::nanf("")}) {
        EXPECT_EQ(FehlerVon([&] { p.ValueSetzen(v); }), Unzulässig) << v;
        EXPECT_EQ(p.Value(), 40.25f);
        EXPECT_EQ(p.value(), 40);
    }
}

// ---- timer ----

namespace {

// Lets the event loop run until `bis` holds or a generous bound is over.
bool Warten(const std::function<bool()>& bis, int ms = 1000) { return QTest::qWaitFor(bis, ms); }

struct Uhr {
    QObject eltern;
    Zeitgeber z{&eltern};
    int takte = 0;
    std::vector<int32_t> gelesen;
    Uhr() {
        z.Timer = [this] {
            ++takte;
            gelesen.push_back(z.Interval());
        };
    }
};

}  // namespace

TEST(Zeitgeber, TicktWennAktivMitIntervall) {
    Uhr u;
    u.z.IntervalSetzen(10);
    u.z.EnabledSetzen(true);
    EXPECT_TRUE(u.z.Läuft());
    EXPECT_TRUE(Warten([&] { return u.takte >= 2; }));
    EXPECT_EQ(u.gelesen.front(), 10);
    u.z.EnabledSetzen(false);
    const int bisher = u.takte;
    QTest::qWait(100);
    EXPECT_EQ(u.takte, bisher);
}

TEST(Zeitgeber, AusOhneEnabledOderMitIntervallNull) {
    struct Fall {
        bool enabled;
        int32_t interval;
    };
    const std::vector<Fall> fälle = {{false, 10}, {true, 0}, {false, 0}};
    // Each state once set on a fresh timer and once on a running one.
    std::vector<std::unique_ptr<Uhr>> neu, angehalten;
    for (const auto& f : fälle) {
        neu.push_back(std::make_unique<Uhr>());
        neu.back()->z.EnabledSetzen(f.enabled);
        neu.back()->z.IntervalSetzen(f.interval);
        EXPECT_FALSE(neu.back()->z.Läuft());
        angehalten.push_back(std::make_unique<Uhr>());
        angehalten.back()->z.IntervalSetzen(10);
        angehalten.back()->z.EnabledSetzen(true);
        angehalten.back()->z.EnabledSetzen(f.enabled);
        angehalten.back()->z.IntervalSetzen(f.interval);
    }
    QTest::qWait(200);
    for (size_t i = 0; i < fälle.size(); ++i) {
        SCOPED_TRACE(testing::Message() << fälle[i].enabled << " " << fälle[i].interval);
        EXPECT_EQ(neu[i]->takte, 0);
        EXPECT_EQ(angehalten[i]->takte, 0);
    }
}

TEST(Zeitgeber, TicktNurInDerEreignisschleife) {
    Uhr u;
    u.z.IntervalSetzen(1);
    u.z.EnabledSetzen(true);
    QThread::msleep(50);
    EXPECT_EQ(u.takte, 0);
    EXPECT_TRUE(Warten([&] {
        Ereignisse();
        return u.takte >= 1;
    }));
}

TEST(Zeitgeber, TaktVonHand) {
    Uhr u;
    u.z.IntervalSetzen(250);
    u.z.Takt();
    EXPECT_EQ(u.takte, 1);
    EXPECT_EQ(u.gelesen, (std::vector<int32_t>{250}));
}

TEST(Zeitgeber, NeuesIntervallStartetNeu) {
    Uhr u;
    u.z.IntervalSetzen(60000);
    u.z.EnabledSetzen(true);
    u.z.IntervalSetzen(10);
    EXPECT_TRUE(Warten([&] { return u.takte >= 1; }));
    ASSERT_FALSE(u.gelesen.empty());
    EXPECT_EQ(u.gelesen.front(), 10);

    u.z.IntervalSetzen(60000);
    const int bisher = u.takte;
    QTest::qWait(200);
    EXPECT_EQ(u.takte, bisher);
}

TEST(Zeitgeber, NachDemEndeLäuftNichtsWeiter) {
    QObject eltern;
    bool getickt = false;
    {
        Zeitgeber z(&eltern);
        z.Timer = [&] { getickt = true; };
        z.IntervalSetzen(1);
        z.EnabledSetzen(true);
    }
    // The form outlives the timer: nothing of it may tick on.
    bool aktiv = false;
    for (auto* t : eltern.findChildren<QTimer*>()) aktiv = aktiv || t->isActive();
    ASSERT_FALSE(aktiv);
    QTest::qWait(50);
    EXPECT_FALSE(getickt);
}

// ---- mouse pointer ----

TEST(Mauszeiger, SanduhrStapeltSichNicht) {
    ASSERT_EQ(QApplication::overrideCursor(), nullptr);
    Mauszeiger(11);
    Mauszeiger(11);
    EXPECT_EQ(Mauszeiger(), 11);
    ASSERT_NE(QApplication::overrideCursor(), nullptr);
    EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
    Mauszeiger(0);
    EXPECT_EQ(Mauszeiger(), 0);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    Mauszeiger(0);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    // Leave nothing behind for the next test, whatever failed above.
    while (QApplication::overrideCursor()) QApplication::restoreOverrideCursor();
}
