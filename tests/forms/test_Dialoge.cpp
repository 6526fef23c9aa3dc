// The real Qt dialogs, driven like a user would: a timer finds the modal
// dialog once it is up, presses keys or buttons, and the answer is checked.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <functional>
#include <optional>

#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QDir>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include "common/TempVerzeichnis.h"
#include "platform/basic/VbKonstanten.h"
#include "platform/forms/Dialoge.h"

using namespace forms;

namespace {

// Runs `öffnen`, which shows a modal dialog and returns once it is closed;
// `tun` acts on the dialog as soon as it is up. A dialog still open well after
// `tun` is closed by force, so that a fault fails the test instead of hanging it.
void Bedienen(const std::function<void(QDialog*)>& tun, const std::function<void()>& öffnen) {
    bool getan = false;
    QDialog* offen = nullptr;
    QElapsedTimer seit;
    QTimer zeitgeber;
    zeitgeber.setInterval(10);
    QObject::connect(&zeitgeber, &QTimer::timeout, [&] {
        auto* d = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        if (!getan) {
            if (d && d->isVisible()) {
                getan = true;
                offen = d;
                seit.start();
                tun(d);
            }
        } else if (d && d == offen && seit.hasExpired(5000)) {
            ADD_FAILURE() << "der Dialog blieb offen";
            d->done(0);
        }
    });
    zeitgeber.start();
    öffnen();
    zeitgeber.stop();
    EXPECT_TRUE(getan) << "kein modaler Dialog erschienen";
}

// Where the keyboard goes: the focused child, else the dialog itself.
QWidget* Tastaturziel(QDialog* d) { return d->focusWidget() ? d->focusWidget() : d; }

// The box's push buttons from left to right.
std::vector<QPushButton*> KnöpfeVonLinks(QDialog* d) {
    std::vector<QPushButton*> knöpfe;
    for (auto* b : d->findChildren<QPushButton*>())
        if (b->isVisible()) knöpfe.push_back(b);
    std::sort(knöpfe.begin(), knöpfe.end(), [d](QPushButton* a, QPushButton* b) {
        return a->mapTo(d, QPoint(0, 0)).x() < b->mapTo(d, QPoint(0, 0)).x();
    });
    return knöpfe;
}

std::vector<QString> Texte(const std::vector<QPushButton*>& knöpfe) {
    std::vector<QString> t;
    for (auto* b : knöpfe) t.push_back(b->text());
    return t;
}

QPushButton* Knopf(QDialog* d, const QString& text) {
    for (auto* b : KnöpfeVonLinks(d))
        if (b->text() == text) return b;
    ADD_FAILURE() << "kein Knopf " << text.toStdString();
    return nullptr;
}

void Klicken(QDialog* d, const QString& text) {
    if (auto* b = Knopf(d, text)) b->click();
}

// Lets pending events run, so that a deferred close would have happened.
void Nachlaufen() { QTest::qWait(50); }

}  // namespace

// Readable failures; gtest would print a QString as a row of QChars.
void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }

// --- MsgBox ---

struct Stilfall {
    int stil;
    std::vector<QString> knöpfe;
    QMessageBox::Icon symbol;
    QString standard;
    bool schließfeld;
};

TEST(MsgBox, KnöpfeSymbolUndStandardknopfNachStil) {
    const std::vector<Stilfall> fälle = {
        {vb::OKOnly, {"OK"}, QMessageBox::NoIcon, "OK", true},
        {vb::OKOnly + vb::Information + vb::DefaultButton3, {"OK"}, QMessageBox::Information, "OK", true},
        {vb::OKCancel + vb::Exclamation, {"OK", "Abbrechen"}, QMessageBox::Warning, "OK", true},
        {vb::OKCancel + vb::DefaultButton2, {"OK", "Abbrechen"}, QMessageBox::NoIcon, "Abbrechen", true},
        {vb::AbortRetryIgnore + vb::Critical,
         {"Abbrechen", "Wiederholen", "Ignorieren"},
         QMessageBox::Critical,
         "Abbrechen",
         false},
        {vb::AbortRetryIgnore + vb::DefaultButton2,
         {"Abbrechen", "Wiederholen", "Ignorieren"},
         QMessageBox::NoIcon,
         "Wiederholen",
         false},
        {vb::AbortRetryIgnore + vb::Exclamation + vb::DefaultButton3,
         {"Abbrechen", "Wiederholen", "Ignorieren"},
         QMessageBox::Warning,
         "Ignorieren",
         false},
        {vb::YesNoCancel + vb::Question, {"Ja", "Nein", "Abbrechen"}, QMessageBox::Question, "Ja", true},
        {vb::YesNoCancel + vb::DefaultButton3, {"Ja", "Nein", "Abbrechen"}, QMessageBox::NoIcon, "Abbrechen", true},
        {vb::YesNo + vb::Question + vb::DefaultButton2, {"Ja", "Nein"}, QMessageBox::Question, "Nein", false},
        {vb::YesNo + vb::DefaultButton3, {"Ja", "Nein"}, QMessageBox::NoIcon, "Ja", false},
        {vb::RetryCancel + vb::Critical + vb::DefaultButton2,
         {"Wiederholen", "Abbrechen"},
         QMessageBox::Critical,
         "Abbrechen",
         true},
    };
    QtDialoge dialoge;
    for (const auto& f : fälle) {
        SCOPED_TRACE(f.stil);
        Bedienen(
            [&](QDialog* d) {
                auto* box = qobject_cast<QMessageBox*>(d);
                ASSERT_NE(box, nullptr);
                const auto knöpfe = KnöpfeVonLinks(d);
                EXPECT_EQ(Texte(knöpfe), f.knöpfe);
                EXPECT_EQ(box->icon(), f.symbol);
                ASSERT_NE(box->defaultButton(), nullptr);
                EXPECT_EQ(box->defaultButton()->text(), f.standard);
                for (auto* b : knöpfe) EXPECT_EQ(b->isDefault(), b->text() == f.standard) << b->text().toStdString();
                EXPECT_EQ(box->windowFlags().testFlag(Qt::WindowCloseButtonHint), f.schließfeld);
                knöpfe.back()->click();
            },
            [&] { dialoge.MsgBox("Text", f.stil, std::nullopt); });
    }
}

TEST(MsgBox, JederKnopfGibtSeineAntwort) {
    const struct {
        int stil;
        QString knopf;
        int antwort;
    } fälle[] = {
        {vb::OKOnly, "OK", vb::OK},
        {vb::OKCancel, "OK", vb::OK},
        {vb::OKCancel, "Abbrechen", vb::Cancel},
        {vb::AbortRetryIgnore, "Abbrechen", vb::Abort},
        {vb::AbortRetryIgnore, "Wiederholen", vb::Retry},
        {vb::AbortRetryIgnore, "Ignorieren", vb::Ignore},
        {vb::YesNoCancel, "Ja", vb::Yes},
        {vb::YesNoCancel, "Nein", vb::No},
        {vb::YesNoCancel, "Abbrechen", vb::Cancel},
        {vb::YesNo, "Ja", vb::Yes},
        {vb::YesNo, "Nein", vb::No},
        {vb::RetryCancel, "Wiederholen", vb::Retry},
        {vb::RetryCancel, "Abbrechen", vb::Cancel},
    };
    QtDialoge dialoge;
    for (const auto& f : fälle) {
        SCOPED_TRACE(f.stil);
        SCOPED_TRACE(f.knopf.toStdString());
        int antwort = 0;
        Bedienen([&](QDialog* d) { Klicken(d, f.knopf); },
                 [&] { antwort = dialoge.MsgBox("Text", f.stil, std::nullopt); });
        EXPECT_EQ(antwort, f.antwort);
    }
}

TEST(MsgBox, EingabetasteNimmtDenStandardknopf) {
    const struct {
        int stil;
        Qt::Key taste;
        int antwort;
    } fälle[] = {
        {vb::AbortRetryIgnore + vb::Exclamation + vb::DefaultButton3, Qt::Key_Return, vb::Ignore},
        {vb::YesNo + vb::Question + vb::DefaultButton2, Qt::Key_Enter, vb::No},
        {vb::YesNo + vb::Question, Qt::Key_Return, vb::Yes},
        {vb::OKCancel + vb::DefaultButton2, Qt::Key_Enter, vb::Cancel},
        {vb::YesNoCancel + vb::DefaultButton2, Qt::Key_Return, vb::No},
        {vb::RetryCancel, Qt::Key_Return, vb::Retry},
    };
    QtDialoge dialoge;
    for (const auto& f : fälle) {
        SCOPED_TRACE(f.stil);
        int antwort = 0;
        Bedienen([&](QDialog* d) { QTest::keyClick(Tastaturziel(d), f.taste); },
                 [&] { antwort = dialoge.MsgBox("Text", f.stil, std::nullopt); });
        EXPECT_EQ(antwort, f.antwort);
    }
}

// Esc and the close box end the box only where Windows lets them; on Yes/No and
// Abort/Retry/Ignore nothing but a button does, and never as Abort or No.
TEST(MsgBox, EscUndSchließenNurWoWindowsSieZulässt) {
    const struct {
        int stil;
        std::optional<int> antwort;  // none: the box stays open
        QString knopfZumSchluss;
        int schlussantwort;
    } fälle[] = {
        {vb::OKOnly, vb::OK, "", 0},
        {vb::OKCancel, vb::Cancel, "", 0},
        {vb::YesNoCancel + vb::DefaultButton2, vb::Cancel, "", 0},
        {vb::RetryCancel, vb::Cancel, "", 0},
        {vb::YesNo + vb::Question + vb::DefaultButton2, std::nullopt, "Ja", vb::Yes},
        {vb::AbortRetryIgnore + vb::DefaultButton3, std::nullopt, "Wiederholen", vb::Retry},
    };
    enum Weg { Esc, Schließen };
    QtDialoge dialoge;
    for (const auto& f : fälle) {
        for (Weg weg : {Esc, Schließen}) {
            SCOPED_TRACE(f.stil);
            SCOPED_TRACE(weg == Esc ? "Esc" : "Schließen");
            int antwort = 0;
            Bedienen(
                [&](QDialog* d) {
                    if (weg == Esc) QTest::keyClick(Tastaturziel(d), Qt::Key_Escape);
                    else d->close();
                    if (f.antwort) return;
                    Nachlaufen();
                    EXPECT_TRUE(d->isVisible());
                    EXPECT_EQ(QApplication::activeModalWidget(), d);
                    // Nor does the dialog's own way out.
                    d->reject();
                    Nachlaufen();
                    EXPECT_TRUE(d->isVisible());
                    Klicken(d, f.knopfZumSchluss);
                },
                [&] { antwort = dialoge.MsgBox("Text", f.stil, std::nullopt); });
            EXPECT_EQ(antwort, f.antwort ? *f.antwort : f.schlussantwort);
        }
    }
}

TEST(MsgBox, Titel) {
    QtDialoge dialoge;
    auto gezeigterTitel = [&](const std::optional<QString>& titel) {
        QString gezeigt = "<nicht gesehen>";
        Bedienen(
            [&](QDialog* d) {
                gezeigt = d->windowTitle();
                Klicken(d, "OK");
            },
            [&] { dialoge.MsgBox("Text", vb::OKOnly, titel); });
        return gezeigt;
    };
    EXPECT_EQ(gezeigterTitel(std::nullopt), "Purivo");
    ProgrammtitelSetzen("Kundenpflege");
    EXPECT_EQ(gezeigterTitel(std::nullopt), "Kundenpflege");
    EXPECT_EQ(gezeigterTitel(QString("")), "");
    EXPECT_EQ(gezeigterTitel(QString(" Hinweis")), " Hinweis");
    ProgrammtitelSetzen("Purivo");
}

TEST(MsgBox, ZeilenumbrücheUndTextWörtlich) {
    QtDialoge dialoge;
    QString text;
    Qt::TextFormat format = Qt::AutoText;
    Bedienen(
        [&](QDialog* d) {
            auto* label = d->findChild<QLabel*>("qt_msgbox_label");
            ASSERT_NE(label, nullptr);
            text = label->text();
            format = label->textFormat();
            Klicken(d, "OK");
        },
        [&] { dialoge.MsgBox("<b>Zeile 1</b>\r\nZeile 2\rZeile 3\nZeile 4", vb::OKOnly, std::nullopt); });
    EXPECT_EQ(text, "<b>Zeile 1</b>\nZeile 2\nZeile 3\nZeile 4");
    EXPECT_EQ(format, Qt::PlainText);
}

TEST(Zeilenumbrueche, CrLfUndCrWerdenZuLf) {
    EXPECT_EQ(Zeilenumbrüche("a\r\n\r\nb\r\rc\n"), "a\n\nb\n\nc\n");
    EXPECT_EQ(Zeilenumbrüche("\r\r\n"), "\n\n");
}

// --- InputBox ---

TEST(InputBox, OkGibtDenGetipptenText) {
    QtDialoge dialoge;
    QString ergebnis = "<nicht gesetzt>";
    Bedienen(
        [&](QDialog* d) {
            EXPECT_EQ(d->windowTitle(), "Suche");
            auto* label = d->findChild<QLabel*>();
            ASSERT_NE(label, nullptr);
            EXPECT_EQ(label->text(), "Name\n<eingeben>");
            EXPECT_EQ(label->textFormat(), Qt::PlainText);
            EXPECT_EQ(KnöpfeVonLinks(d).size(), 2u);
            Knopf(d, "Abbrechen");  // fails when missing
            auto* feld = d->findChild<QLineEdit*>();
            ASSERT_NE(feld, nullptr);
            EXPECT_EQ(feld->text(), "Meier");
            // The default text is selected, so typing replaces it.
            QTest::keyClicks(feld, "M");
            QTest::sendKeyEvent(QTest::Click, feld, Qt::Key_Udiaeresis, QStringLiteral("ü"), Qt::NoModifier);
            QTest::keyClicks(feld, "ller");
            Klicken(d, "OK");
        },
        [&] { ergebnis = dialoge.InputBox("Name\r\n<eingeben>", "Suche", "Meier"); });
    EXPECT_EQ(ergebnis, "Müller");
}

TEST(InputBox, AbbrechenUndEscGebenLeerenText) {
    QtDialoge dialoge;
    for (bool esc : {true, false}) {
        SCOPED_TRACE(esc ? "Esc" : "Abbrechen");
        QString ergebnis = "<nicht gesetzt>";
        Bedienen(
            [&](QDialog* d) {
                QTest::keyClicks(d->findChild<QLineEdit*>(), "x");
                if (esc) QTest::keyClick(Tastaturziel(d), Qt::Key_Escape);
                else Klicken(d, "Abbrechen");
            },
            [&] { ergebnis = dialoge.InputBox("Name", "Suche", "Meier"); });
        EXPECT_EQ(ergebnis, "");
    }
}

// --- DateiÖffnen ---

TEST(Namensfilter, VbFilterAlsQtFilter) {
    const struct {
        QString vb;
        QStringList qt;
    } fälle[] = {
        {"", {}},
        {"Access (*.MDB)|*.MDB", {"Access (*.MDB) (*.MDB)"}},
        {"Access|*.mdb|Alle|*.mdb;*.xls", {"Access (*.mdb)", "Alle (*.mdb *.xls)"}},
        {"Access|*.mdb|Rest", {"Access (*.mdb)"}},
        {"Access|*.mdb|", {"Access (*.mdb)"}},
        {"Tabellen|*.xls; *.dbf;", {"Tabellen (*.xls *.dbf)"}},
    };
    for (const auto& f : fälle) EXPECT_EQ(Namensfilter(f.vb), f.qt) << f.vb.toStdString();
}

namespace {

void DateiAnlegen(const std::string& pfad) { std::ofstream(pfad) << "x"; }

// The names the dialog lists in `ordner` under its current filter. The model
// loads and refilters in the background, so this waits (up to 5 s) until they
// are `erwartet`, then returns what it lists.
QStringList Gelistet(QFileDialog* d, const QString& ordner, const QStringList& erwartet) {
    auto* modell = d->findChild<QFileSystemModel*>();
    if (!modell) return {"<kein Modell>"};
    QStringList namen;
    QElapsedTimer seit;
    seit.start();
    do {
        QTest::qWait(10);
        const QModelIndex wurzel = modell->index(ordner);
        namen.clear();
        for (int i = 0; i < modell->rowCount(wurzel); ++i) namen << modell->index(i, 0, wurzel).data().toString();
        namen.sort();
    } while (namen != erwartet && !seit.hasExpired(5000));
    return namen;
}

}  // namespace

TEST(DateiOeffnen, FilterOhneGroßKleinschreibungUndGewählterFilterZurück) {
    TempVerzeichnis tmp;
    DateiAnlegen(tmp / "kunden.mdb");
    DateiAnlegen(tmp / "other.txt");
    const QString ordner = QString::fromStdString(tmp.pfad());

    Dateiauswahl auswahl;
    auswahl.Filter = "Access (*.MDB)|*.MDB|Alle Dateien (*.*)|*.*";
    auswahl.FilterIndex = 2;
    auswahl.InitDir = ordner;
    auswahl.DialogTitle = "Datenbank öffnen";
    auswahl.Flags = DateiMussExistieren | SchreibschutzAusblenden;

    bool ok = false;
    QtDialoge dialoge;
    Bedienen(
        [&](QDialog* d) {
            auto* fd = qobject_cast<QFileDialog*>(d);
            ASSERT_NE(fd, nullptr);
            EXPECT_EQ(fd->windowTitle(), "Datenbank öffnen");
            EXPECT_EQ(QDir(fd->directory()).canonicalPath(), QDir(ordner).canonicalPath());
            auto* typ = fd->findChild<QComboBox*>("fileTypeCombo");
            ASSERT_NE(typ, nullptr);
            EXPECT_EQ(typ->currentText(), "Alle Dateien (*.*)");
            EXPECT_EQ(typ->count(), 2);
            const QStringList alle = {"kunden.mdb", "other.txt"};
            EXPECT_EQ(Gelistet(fd, ordner, alle), alle);
            Knopf(d, "Abbrechen");

            // Like a user: the arrow key moves to the first filter.
            QTest::keyClick(typ, Qt::Key_Up);
            EXPECT_EQ(typ->currentText(), "Access (*.MDB)");
            const QStringList access = {"kunden.mdb"};
            EXPECT_EQ(Gelistet(fd, ordner, access), access);

            auto* name = fd->findChild<QLineEdit*>("fileNameEdit");
            ASSERT_NE(name, nullptr);
            name->setText("kunden.mdb");
            Klicken(d, "Öffnen");
        },
        [&] { ok = dialoge.DateiÖffnen(auswahl); });
    EXPECT_TRUE(ok);
    EXPECT_EQ(QFileInfo(auswahl.FileName).canonicalFilePath(),
              QFileInfo(QString::fromStdString(tmp / "kunden.mdb")).canonicalFilePath());
    EXPECT_EQ(auswahl.FilterIndex, 1);
}

TEST(DateiOeffnen, FilterindexAußerhalbNimmtDenErsten) {
    TempVerzeichnis tmp;
    DateiAnlegen(tmp / "liste.xls");
    Dateiauswahl auswahl;
    auswahl.Filter = "Excel|*.xls|Alle|*.*";
    auswahl.FilterIndex = 7;
    auswahl.InitDir = QString::fromStdString(tmp.pfad());
    bool ok = false;
    QtDialoge dialoge;
    Bedienen(
        [&](QDialog* d) {
            auto* typ = d->findChild<QComboBox*>("fileTypeCombo");
            ASSERT_NE(typ, nullptr);
            EXPECT_EQ(typ->currentText(), "Excel");
            d->findChild<QLineEdit*>("fileNameEdit")->setText("liste.xls");
            Klicken(d, "Öffnen");
        },
        [&] { ok = dialoge.DateiÖffnen(auswahl); });
    EXPECT_TRUE(ok);
    EXPECT_EQ(auswahl.FilterIndex, 1);
}

TEST(DateiOeffnen, AbbrechenLässtDieAuswahlUnverändert) {
    TempVerzeichnis tmp;
    DateiAnlegen(tmp / "kunden.mdb");
    Dateiauswahl auswahl;
    auswahl.Filter = "Access|*.mdb|Alle|*.*";
    auswahl.FilterIndex = 2;
    auswahl.InitDir = QString::fromStdString(tmp.pfad());
    auswahl.Flags = DateiMussExistieren;
    auswahl.FileName = "vorher.mdb";
    const Dateiauswahl vorher = auswahl;
    bool ok = true;
    QtDialoge dialoge;
    Bedienen(
        [&](QDialog* d) {
            QTest::keyClick(d->findChild<QComboBox*>("fileTypeCombo"), Qt::Key_Up);
            d->findChild<QLineEdit*>("fileNameEdit")->setText("kunden.mdb");
            Klicken(d, "Abbrechen");
        },
        [&] { ok = dialoge.DateiÖffnen(auswahl); });
    EXPECT_FALSE(ok);
    EXPECT_EQ(auswahl.FileName, vorher.FileName);
    EXPECT_EQ(auswahl.FilterIndex, vorher.FilterIndex);
    EXPECT_EQ(auswahl.Filter, vorher.Filter);
    EXPECT_EQ(auswahl.InitDir, vorher.InitDir);
}
