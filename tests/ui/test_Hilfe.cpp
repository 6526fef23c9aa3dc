// The help window: topics of a help file by the page shown, the rules of the
// file's layout, its code page and line ends, the missing file, the help file
// shipped with the program, and the real modal window.
#include <cmath>
#include <fstream>
#include <set>
#include <sstream>

#include <QApplication>
#include <QDir>
#include <QFontMetrics>
#include <QScrollBar>
#include <QTimer>

#include "platform/basic/VbKonstanten.h"
#include "ui/Fenstertest.h"
#include "ui/frmHilfe.h"

namespace {

const QString KeineHilfe = QStringLiteral("Zu diesem Thema ist leider keine Hilfe verfügbar.");
const std::string Ausgeliefert = PURIVO_FIXTURES "/../../share/Hilfe.HLP";

// The names of all topics: each page's and the two review dialogs'.
const std::vector<QString> Themen = {
    QStringLiteral("Nichts"),
    QStringLiteral("Sicherheitshinweis"),
    QStringLiteral("Auswahl der Datenbank"),
    QStringLiteral("Auswahl der Tabelle"),
    QStringLiteral("Auswahl der Zieltabelle"),
    QStringLiteral("Auswahl des Vorgangs"),
    QStringLiteral("Durchführung"),
    QStringLiteral("Zuordnung der Felder"),
    QStringLiteral("Suchoptionen"),
    QStringLiteral("Protokoll"),
    QStringLiteral("Mülldatensätze erkennen"),
    QStringLiteral("Felder splitten"),
    QStringLiteral("Felder verschmelzen"),
    QStringLiteral("Daten abgleichen"),
    QStringLiteral("Neue Daten einfügen"),
    QStringLiteral("Dubletten bearbeiten"),
    QStringLiteral("Mülldatensätze bearbeiten"),
};

std::string DateiInhalt(const std::string& pfad) {
    std::ifstream datei(pfad, std::ios::binary);
    std::ostringstream s;
    s << datei.rdbuf();
    return s.str();
}

class Hilfe : public Fenstertest {
protected:
    void TearDown() override {
        gAktuellerRahmen = 0;
        Fenstertest::TearDown();
    }
    // The help file beside the program, byte for byte.
    void Hilfedatei(const std::string& bytes) {
        std::ofstream(tmp / "Hilfe.HLP", std::ios::binary | std::ios::trunc) << bytes;
    }
    // What the help window shows when it is opened on `seite`.
    QString HilfeAuf(int seite) {
        gAktuellerRahmen = static_cast<int16_t>(seite);
        frmHilfe hilfe;
        hilfe.Form_Load();
        return hilfe.tbxHilfe->Text();
    }
};

// ---- the layout of the file ----

TEST_F(Hilfe, ThemaNachDenRegelnDerDatei) {
    struct Fall {
        const char* name;
        std::string datei;
        QString erwartet;  // on page 11, topic "Suchoptionen"
    };
    const std::vector<Fall> fälle = {
        {"Beispiel: Trennlinie nie gezeigt, Leerzeile bleibt",
         "###\r\nSuchoptionen\r\n----------\r\nZeile 1\r\n\r\nZeile 3\r\n###\r\nProtokoll\r\n---\r\nP\r\n",
         QStringLiteral("Zeile 1\r\n\r\nZeile 3\r\n")},
        {"Leerzeichen in und um Zeilen bleiben", "###\r\nSuchoptionen\r\n\r\n  a  b \r\n",
         QStringLiteral("  a  b \r\n")},
        {"Kopfzeile direkt nach der Trennlinie", "###\r\nSuchoptionen\r\n---\r\n### Protokoll\r\nProtokoll\r\n",
         QString()},
        {"Trennlinie selbst eine Kopfzeile", "###\r\nSuchoptionen\r\n### x\r\nText\r\n", QString()},
        {"Themenname als letzte Zeile", "###\r\nSuchoptionen", QString()},
        {"Leerzeichen hinter dem Namen", "###\r\nSuchoptionen \r\n---\r\nText\r\n", KeineHilfe},
        {"andere Schreibung", "###\r\nsuchoptionen\r\n---\r\nText\r\n", KeineHilfe},
        {"letztes Thema bis zum Dateiende, letzte Zeile ohne Zeilenende",
         "###\r\nProtokoll\r\n---\r\nP\r\n###\r\nSuchoptionen\r\n---\r\nB\r\nC", QStringLiteral("B\r\nC\r\n")},
        {"Kopfzeile auf Kopfzeile beendet die Suche",
         "###\r\nProtokoll\r\n---\r\nP\r\n###\r\n###\r\nSuchoptionen\r\n---\r\nT\r\n", KeineHilfe},
        {"Kopfzeile als letzte Zeile", "###\r\nProtokoll\r\n---\r\nP\r\n###", KeineHilfe},
        {"eine einfache Zeile gleich dem Namen beginnt das Thema",
         "###\r\nProtokoll\r\n---\r\nP\r\nSuchoptionen\r\nüberlesen\r\nB\r\n###\r\nSuchoptionen\r\n---\r\nC\r\n",
         QStringLiteral("B\r\n")},
        {"das erste Thema gewinnt", "###\r\nSuchoptionen\r\n-\r\nerstes\r\n###\r\nSuchoptionen\r\n-\r\nzweites\r\n",
         QStringLiteral("erstes\r\n")},
        {"nur der Anfang ### zählt", "###\r\nSuchoptionen\r\n-\r\nA\r\n ### B\r\n#### C\r\nD\r\n",
         QStringLiteral("A\r\n ### B\r\n")},
        {"leere Datei", "", KeineHilfe},
        {"Thema fehlt", "###\r\nProtokoll\r\n---\r\nP\r\n", KeineHilfe},
    };
    for (const Fall& fall : fälle) {
        SCOPED_TRACE(fall.name);
        Hilfedatei(fall.datei);
        EXPECT_EQ(HilfeAuf(rahmen::Suchoptionen), fall.erwartet);
    }
    EXPECT_TRUE(dialoge.meldungen.empty());
}

TEST_F(Hilfe, ZeilenendenCrLfCrUndLf) {
    // Each line end alone and mixed: the same topic text, always shown with CR LF.
    for (const std::string ende : {"\r\n", "\r", "\n"}) {
        SCOPED_TRACE(ende == "\r\n" ? "CR LF" : ende == "\r" ? "CR" : "LF");
        Hilfedatei("###" + ende + "Protokoll" + ende + "---" + ende + "P" + ende + "###" + ende + "Suchoptionen" +
                   ende + "---" + ende + "Zeile 1" + ende + ende + "Zeile 3" + ende + "###" + ende);
        EXPECT_EQ(HilfeAuf(rahmen::Suchoptionen), QStringLiteral("Zeile 1\r\n\r\nZeile 3\r\n"));
    }
    Hilfedatei("###\nSuchoptionen\r---\r\nA\nB\rC\r\n\nD");
    EXPECT_EQ(HilfeAuf(rahmen::Suchoptionen), QStringLiteral("A\r\nB\r\nC\r\n\r\nD\r\n"));
}

TEST_F(Hilfe, UmlauteInWindows1252) {
    // "Mülldatensätze erkennen", "Mülldatensätze bearbeiten", "Größe 5 €" and "Schließen" in the ANSI code page.
    Hilfedatei("###\r\nM\xfclldatens\xe4tze erkennen\r\n---\r\nGr\xf6\xdf"
               "e 5 \x80\r\n"
               "###\r\nM\xfclldatens\xe4tze bearbeiten\r\n---\r\nSchlie\xdf"
               "en\r\n");
    EXPECT_EQ(HilfeAuf(rahmen::MüllKriterien), QStringLiteral("Größe 5 €\r\n"));
    EXPECT_EQ(HilfeAuf(rahmen::MüllNachbearbeitung), QStringLiteral("Schließen\r\n"));
    // The same names in UTF-8 are other bytes and name no topic.
    Hilfedatei("###\r\nMülldatensätze erkennen\r\n---\r\nText\r\n");
    EXPECT_EQ(HilfeAuf(rahmen::MüllKriterien), KeineHilfe);
}

// ---- the topic of each page ----

TEST_F(Hilfe, ThemaJeSeite) {
    // Besides the topics, the review pages' caption and a caption set below.
    std::vector<QString> themen = Themen;
    themen.push_back(QStringLiteral("Nachbearbeitung"));
    themen.push_back(QStringLiteral("Anders"));
    std::string datei;
    for (const QString& thema : themen)
        datei += "###\r\n" + AnsiAusText(forms::T(thema)) + "\r\n---\r\nText " + AnsiAusText(forms::T(thema)) + "\r\n";
    Hilfedatei(datei);

    const std::map<int, QString> erwartet = {
        {0, QStringLiteral("Nichts")},
        {1, QStringLiteral("Sicherheitshinweis")},
        {2, QStringLiteral("Auswahl der Datenbank")},
        {3, QStringLiteral("Auswahl der Tabelle")},
        {4, QStringLiteral("Auswahl der Zieltabelle")},
        {5, QStringLiteral("Auswahl des Vorgangs")},
        {6, QStringLiteral("Durchführung")},
        {7, QStringLiteral("Zuordnung der Felder")},
        {11, QStringLiteral("Suchoptionen")},
        {12, QStringLiteral("Dubletten bearbeiten")},
        {13, QStringLiteral("Protokoll")},
        {21, QStringLiteral("Mülldatensätze erkennen")},
        {22, QStringLiteral("Mülldatensätze bearbeiten")},
        {23, QStringLiteral("Protokoll")},
        {31, QStringLiteral("Felder splitten")},
        {32, QStringLiteral("Protokoll")},
        {41, QStringLiteral("Felder verschmelzen")},
        {42, QStringLiteral("Protokoll")},
        {51, QStringLiteral("Daten abgleichen")},
        {53, QStringLiteral("Protokoll")},
        {61, QStringLiteral("Neue Daten einfügen")},
        {63, QStringLiteral("Protokoll")},
    };
    ASSERT_EQ(erwartet.size(), f->freRahmen.size());
    for (const auto& [seite, thema] : erwartet) {
        SCOPED_TRACE(seite);
        EXPECT_EQ(HilfeAuf(seite), QStringLiteral("Text ") + thema + QStringLiteral("\r\n"));
    }

    // Page 7 names its table at run time; its topic stays.
    f->Rahmen(7)->CaptionSetzen(QStringLiteral(" Zuordnung der Felder von 'Kunden' "));
    EXPECT_EQ(HilfeAuf(7), QStringLiteral("Text Zuordnung der Felder\r\n"));
    // Other pages take their caption as it stands, without the blanks around it.
    f->Rahmen(2)->CaptionSetzen(QStringLiteral("   Anders  "));
    EXPECT_EQ(HilfeAuf(2), QStringLiteral("Text Anders\r\n"));
    // Between two pages there is no frame and no topic.
    EXPECT_EQ(HilfeAuf(-1), KeineHilfe);
    EXPECT_TRUE(dialoge.meldungen.empty());
}

TEST_F(Hilfe, DateiFehlt) {
    for (int seite : {0, 11}) {
        SCOPED_TRACE(seite);
        dialoge.Antworten(vb::OK);
        EXPECT_EQ(HilfeAuf(seite), QString());
        ASSERT_EQ(dialoge.meldungen.size(), 1u);
        const auto m = dialoge.meldungen.front();
        EXPECT_EQ(m.text, QStringLiteral("Hilfedatei nicht gefunden!"));
        EXPECT_EQ(m.stil, 16);
        // An empty title, not the program's.
        ASSERT_TRUE(m.titel.has_value());
        EXPECT_EQ(*m.titel, QString());
        dialoge.meldungen.clear();
    }
    // A folder of that name is no file.
    std::filesystem::create_directory(tmp / "Hilfe.HLP");
    dialoge.Antworten(vb::OK, QStringLiteral("Hilfedatei nicht gefunden!"));
    EXPECT_EQ(HilfeAuf(1), QString());
}

// ---- the help file shipped with the program ----

TEST_F(Hilfe, AusgelieferteDateiHatJedesThema) {
    const std::string bytes = DateiInhalt(Ausgeliefert);
    ASSERT_FALSE(bytes.empty()) << Ausgeliefert;
    Hilfedatei(bytes);

    // Every page shows a text of its own topic, whole in the box without scrolling.
    for (const auto& [seite, rahmen] : f->freRahmen) {
        SCOPED_TRACE(seite);
        gAktuellerRahmen = static_cast<int16_t>(seite);
        frmHilfe hilfe;
        hilfe.Form_Load();
        const QString text = hilfe.tbxHilfe->Text();
        EXPECT_NE(text, KeineHilfe);
        EXPECT_GE(text.count(QStringLiteral("\r\n")), 5);
        EXPECT_FALSE(text.trimmed().isEmpty());
        hilfe.show();
        QCoreApplication::processEvents();
        EXPECT_EQ(hilfe.tbxHilfe->verticalScrollBar()->maximum(), 0);
    }
    EXPECT_TRUE(dialoge.meldungen.empty());
}

TEST_F(Hilfe, AusgelieferteDateiIstSauberGesetzt) {
    const std::string bytes = DateiInhalt(Ausgeliefert);
    ASSERT_FALSE(bytes.empty()) << Ausgeliefert;
    // CR LF throughout.
    for (size_t i = 0; i < bytes.size(); ++i) {
        if (bytes[i] == '\n') {
            ASSERT_TRUE(i > 0 && bytes[i - 1] == '\r') << "LF ohne CR bei Byte " << i;
        }
        if (bytes[i] == '\r') {
            ASSERT_TRUE(i + 1 < bytes.size() && bytes[i + 1] == '\n') << "CR ohne LF bei Byte " << i;
        }
    }
    ASSERT_TRUE(bytes.ends_with("\r\n"));
    const QString inhalt = forms::Q(TextAusAnsi(bytes));
    const QStringList zeilen = inhalt.left(inhalt.size() - 2).split(QStringLiteral("\r\n"));
    ASSERT_TRUE(zeilen.front().startsWith(QStringLiteral("###")));

    // Each topic's name stands once, right under a header, so that no text line starts a topic early.
    std::set<QString> namen(Themen.begin(), Themen.end());
    std::map<QString, int> gefunden;
    for (qsizetype i = 0; i < zeilen.size(); ++i) {
        if (!namen.count(zeilen[i])) continue;
        ++gefunden[zeilen[i]];
        EXPECT_TRUE(i > 0 && zeilen[i - 1].startsWith(QStringLiteral("###"))) << "Zeile " << i + 1;
    }
    for (const QString& thema : Themen) EXPECT_EQ(gefunden[thema], 1) << thema.toStdString();
    // Every header introduces one of the topics.
    for (qsizetype i = 0; i < zeilen.size(); ++i) {
        if (!zeilen[i].startsWith(QStringLiteral("###"))) continue;
        EXPECT_TRUE(i + 1 < zeilen.size() && namen.count(zeilen[i + 1])) << "Zeile " << i + 2;
    }

    // Every line fits the text box as it is written, with a blank to spare: nothing wraps in
    // the middle of a sentence.
    frmHilfe hilfe;
    const QFontMetrics maß(hilfe.tbxHilfe->font());
    hilfe.show();
    const int breite = hilfe.tbxHilfe->viewport()->width() -
                       2 * static_cast<int>(std::ceil(hilfe.tbxHilfe->document()->documentMargin())) -
                       hilfe.tbxHilfe->cursorWidth();
    ASSERT_GT(breite, 200);
    for (qsizetype i = 0; i < zeilen.size(); ++i) {
        if (zeilen[i].startsWith(QStringLiteral("###"))) continue;
        EXPECT_LE(maß.horizontalAdvance(zeilen[i] + QLatin1Char(' ')), breite)
            << "Zeile " << i + 1 << ": " << zeilen[i].toStdString();
        EXPECT_LE(zeilen[i].size(), 60) << "Zeile " << i + 1;
        EXPECT_FALSE(zeilen[i].endsWith(QLatin1Char(' '))) << "Zeile " << i + 1 << " endet mit Leerzeichen";
    }
}

// ---- the real window ----

TEST_F(Hilfe, FensterUeberDenHilfeknopf) {
    Hilfedatei(DateiInhalt(Ausgeliefert));
    Weiter();
    Weiter();
    ASSERT_EQ(gAktuellerRahmen, rahmen::Datenbank);

    bool gesehen = false;
    QTimer::singleShot(0, [&] {
        auto* hilfe = dynamic_cast<frmHilfe*>(QApplication::activeModalWidget());
        if (!hilfe) {
            ADD_FAILURE() << "kein modales Hilfefenster";
            if (QWidget* w = QApplication::activeModalWidget()) w->close();
            return;
        }
        gesehen = true;
        EXPECT_EQ(hilfe->windowTitle(), QStringLiteral(" Hilfe"));
        EXPECT_EQ(hilfe->parentWidget(), nullptr);
        EXPECT_EQ(hilfe->size(), QSize(forms::Pixel(4950), forms::Pixel(6270)));
        EXPECT_EQ(hilfe->minimumSize(), hilfe->maximumSize());
        EXPECT_EQ(hilfe->tbxHilfe->geometry(), QRect(16, 16, forms::Pixel(4575), forms::Pixel(5235)));
        EXPECT_EQ(hilfe->Command1->geometry(), QRect(92, 380, forms::Pixel(2055), forms::Pixel(435)));
        EXPECT_TRUE(hilfe->tbxHilfe->isReadOnly());
        EXPECT_EQ(hilfe->Command1->text(), QStringLiteral("OK"));
        const QString text = hilfe->tbxHilfe->Text();
        EXPECT_TRUE(text.startsWith(QStringLiteral("Hier legen sie fest"))) << text.toStdString();
        // Shown with plain line breaks, held with CR LF.
        EXPECT_EQ(hilfe->tbxHilfe->toPlainText(), QString(text).replace(QStringLiteral("\r\n"), QStringLiteral("\n")));

        QCoreApplication::processEvents();
        const QString ordner = QStringLiteral(PURIVO_BUILD "/screenshots/");
        EXPECT_TRUE(QDir().mkpath(ordner));
        EXPECT_TRUE(hilfe->grab().save(ordner + QStringLiteral("hilfe.png")));
        Klicken(hilfe->Command1);
    });
    Klicken(f->btnHilfe);
    EXPECT_TRUE(gesehen);
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    EXPECT_TRUE(dialoge.meldungen.empty());
}

}  // namespace
