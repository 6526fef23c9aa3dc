// The database and table pages' own controls, the about box and the "?" menu.
#include <chrono>
#include <fstream>
#include <thread>

#include <QDir>
#include <QFile>
#include <QTimer>

#include "foundation/mdlRegistry.h"
#include "platform/shell/Shell.h"
#include "ui/Fenstertest.h"
#include "ui/Seiten.h"
#include "ui/frmInfo.h"

namespace {

const Text Schlüssel = u"Software\\Valdrin Software\\Purivo\\1.0";

class Datenbankseiten : public Fenstertest {
protected:
    void SetUp() override {
        Fenstertest::SetUp();
        DatenbankAnlegen({{u"Kunden", Kundenzeilen()}, {u"Lieferanten", Kundenzeilen()}, {u"Leer", {}}});
    }
    void Wählen(const QString& tabelle) {
        const auto e = f->lstTabellen->findItems(tabelle, Qt::MatchExactly);
        ASSERT_EQ(e.size(), 1) << tabelle.toStdString();
        f->lstTabellen->ListIndexSetzen(f->lstTabellen->row(e.front()));
    }
    std::vector<QString> Liste() const {
        std::vector<QString> r;
        for (int i = 0; i < f->lstTabellen->ListCount(); ++i) r.push_back(f->lstTabellen->List(i));
        std::sort(r.begin(), r.end());
        return r;
    }
};

// ---- the file dialog ----

TEST_F(Datenbankseiten, DateidialogSetztPfadOrdnerUndFormat) {
    Weiter();
    Weiter();
    const QString pfad = QString::fromStdString(tmp / "Daten/kunden.mdb");
    const char16_t* marken[7] = {nullptr,     u"vorher",    u"Access",    u"Excel 5.0;",
                                 u"Dbase 5;", u"Dbase IV;", u"Dbase III;"};
    for (int index = 1; index <= 6; ++index) {
        SCOPED_TRACE(index);
        gDAOVerbindung = u"vorher";
        dialoge.dateien.push_back(std::make_pair(pfad, index));
        Klicken(f->btnDatenbankAuswählen);
        ASSERT_EQ(dialoge.dateidialoge.size(), static_cast<size_t>(index));
        const forms::Dateiauswahl& a = dialoge.dateidialoge.back();
        EXPECT_EQ(a.FilterIndex, 1);
        EXPECT_EQ(a.Flags, 4100);
        EXPECT_EQ(forms::Namensfilter(a.Filter).size(), 6);
        EXPECT_TRUE(a.Filter.startsWith("Alle Datendateien (*.mdb;*.xls;*.dbf)|*.MDB;*.XLS;*.DBF|Microsoft Access"));
        // The folder is remembered from the first choice on.
        EXPECT_EQ(a.InitDir, index == 1 ? QString() : QString::fromStdString(tmp / "Daten/"));
        EXPECT_EQ(f->tbxDatenbankName->Text(), pfad);
        EXPECT_EQ(forms::Q(gDAOVerbindung), forms::Q(marken[index]));
    }
    EXPECT_EQ(RegWertLesen(registry::HKEY_CURRENT_USER, Schlüssel, u"SV").alsText(), ausUtf8(tmp / "Daten/"));
    // A cancel changes nothing.
    f->tbxDatenbankName->TextSetzen(QStringLiteral("unverändert"));
    dialoge.dateien.push_back(std::nullopt);
    Klicken(f->btnDatenbankAuswählen);
    EXPECT_EQ(f->tbxDatenbankName->Text(), QStringLiteral("unverändert"));
    EXPECT_EQ(forms::Q(gDAOVerbindung), QStringLiteral("Dbase III;"));
}

TEST_F(Datenbankseiten, ErsterDateidialogStartetBeimBeispiel) {
    const std::string daten = tmp / "daten";
    const QByteArray vorher = qgetenv("XDG_DATA_HOME");
    qputenv("XDG_DATA_HOME", QByteArray::fromStdString(daten));
    { std::ofstream(tmp / "Beispiel.xls") << "Mappe"; }
    std::filesystem::permissions(tmp / "Beispiel.xls", std::filesystem::perms::owner_read);
    Weiter();
    Weiter();
    dialoge.dateien.push_back(std::nullopt);
    Klicken(f->btnDatenbankAuswählen);
    const QString ordner = QString::fromStdString(daten + "/Purivo/Beispiel/");
    ASSERT_EQ(dialoge.dateidialoge.size(), 1u);
    EXPECT_EQ(dialoge.dateidialoge[0].InitDir, ordner);
    QFile kopie(ordner + "Beispiel.xls");
    ASSERT_TRUE(kopie.open(QIODevice::ReadWrite)) << "the user's copy is the user's to change";
    EXPECT_EQ(kopie.readAll(), QByteArray("Mappe"));
    kopie.write("geändert");
    kopie.close();
    // A second start keeps the user's copy; the shipped file is untouched.
    dialoge.dateien.push_back(std::nullopt);
    Klicken(f->btnDatenbankAuswählen);
    EXPECT_EQ(QFile(ordner + "Beispiel.xls").size(), 5 + QByteArray("geändert").size());
    std::ifstream geliefert(tmp / "Beispiel.xls");
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(geliefert), {}), "Mappe");
    qputenv("XDG_DATA_HOME", vorher);
}

// ---- the table page ----

TEST(Geändert, DatumUndUhrzeit) {
    struct Fall {
        QDate datum;
        int stunde, minute;
        QString text;
    };
    const Fall fälle[] = {
        {QDate(2003, 3, 5), 9, 7, "Zuletzt geändert am :\r\r5. März 2003\rum 9.07 Uhr"},
        {QDate(2026, 12, 31), 14, 5, "Zuletzt geändert am :\r\r31. Dezember 2026\rum 14.05 Uhr"},
        {QDate(2026, 1, 1), 8, 0, "Zuletzt geändert am :\r\r1. Januar 2026\rum 8.00 Uhr"},
    };
    for (const Fall& f : fälle) {
        const double tage = QDate(1899, 12, 30).daysTo(f.datum) + (f.stunde * 60 + f.minute) / 1440.0;
        EXPECT_EQ(forms::Q(GeändertText(tage)), f.text);
    }
}

TEST_F(Datenbankseiten, TabelleninformationBeiDerAuswahl) {
    BisZurTabelle();
    EXPECT_TRUE(f->lblGeändert->Caption().startsWith("Zuletzt geändert am :\r\r"));
    EXPECT_TRUE(f->lblGeändert->Caption().endsWith(" Uhr"));
    EXPECT_EQ(f->lblGröße->Caption(), QStringLiteral("4 Datensätz(e)"));
    Wählen("Leer");
    EXPECT_EQ(f->lblGröße->Caption(), QStringLiteral("Keine Datensätze vorhanden"));
}

TEST_F(Datenbankseiten, OhneAuswahlNichtsZuLöschenOderUmzubenennen) {
    BisZurTabelle();
    f->lstTabellen->ListIndexSetzen(-1);
    for (auto* knopf : {f->cmdTabelleLöschen, f->cmdTabelleUmbenennen}) {
        dialoge.Antworten(vb::OK, QStringLiteral("Keine Tabelle ausgewählt."));
        Klicken(knopf);
        EXPECT_EQ(dialoge.letzte().titel, QStringLiteral(" Achtung!"));
    }
    EXPECT_EQ(Liste().size(), 3u);
}

TEST_F(Datenbankseiten, TabelleLöschenNurNachJa) {
    BisZurTabelle("Lieferanten");
    dialoge.Antworten(vb::No);
    Klicken(f->cmdTabelleLöschen);
    EXPECT_EQ(dialoge.letzte().text, QStringLiteral("Sind sie sich sicher, dass sie die Tabelle \"Lieferanten\"\r"
                                                    "inklusive sämtlicher enthaltener Datensätze löschen möchten?"));
    EXPECT_EQ(dialoge.letzte().stil, vb::YesNo + vb::Information + vb::DefaultButton2);
    EXPECT_EQ(dialoge.letzte().titel, QString());
    EXPECT_EQ(Liste().size(), 3u);
    EXPECT_FALSE(f->lblGröße->Caption().isEmpty());
    dialoge.Antworten(vb::Yes);
    Klicken(f->cmdTabelleLöschen);
    EXPECT_EQ(Liste(), (std::vector<QString>{"Kunden", "Leer"}));
    EXPECT_EQ(f->lstTabellen->ListIndex(), -1);
    EXPECT_EQ(f->lblGeändert->Caption(), QString());
    EXPECT_EQ(f->lblGröße->Caption(), QString());
    EXPECT_EQ(TabellenIndexErmitteln(Variante(u"Lieferanten")), -1);
}

TEST_F(Datenbankseiten, GescheitertesLöschenLässtKeineTransaktionOffen) {
    BisZurTabelle("Lieferanten");
    gDatenbank->TableDefs().Delete(u"Lieferanten");  // gone behind the list's back
    dialoge.Antworten(vb::Yes);
    dialoge.Antworten(vb::Abort, QStringLiteral("Fehler beim Löschen der Tabelle 'Lieferanten'."));
    Klicken(f->cmdTabelleLöschen);
    EXPECT_FALSE(gFehlerAbbruch);
    EXPECT_FALSE(gAbbruch);
    // What comes later is written for good, not into a forgotten transaction.
    TesttabelleAnlegen(u"Danach", Kundenspalten(), Kundenzeilen());
    DatenbankSchließen(gDatenbank);
    DatenbankÖffnen(Variante(ausUtf8(datenbank)), Variante(u""), gDatenbank);
    EXPECT_EQ(TabellenSpalte(u"Danach", u"Ort").size(), 4u);
}

TEST_F(Datenbankseiten, TabelleUmbenennen) {
    struct Fall {
        QString eingabe;
        const char* meldung;  // part of the refusal; null: renamed (or, for "", nothing happens)
    };
    const Fall fälle[] = {
        {"", nullptr},
        {"a.b", "einer Access-Datenbanktabelle, oder ist länger als 64 Zeichen oder leer."},
        {"KUNDEN", "existiert bereits."},
        {"LIEFERANTEN alt", nullptr},
    };
    BisZurTabelle("Lieferanten");
    for (const Fall& fall : fälle) {
        SCOPED_TRACE(fall.eingabe.toStdString());
        Wählen(f->lstTabellen->findItems("Lieferanten", Qt::MatchExactly).isEmpty() ? "LIEFERANTEN alt"
                                                                                    : "Lieferanten");
        dialoge.eingaben.push_back(fall.eingabe);
        if (fall.meldung) dialoge.Antworten(vb::OK, QString::fromUtf8(fall.meldung));
        Klicken(f->cmdTabelleUmbenennen);
    }
    EXPECT_EQ(Liste(), (std::vector<QString>{"Kunden", "LIEFERANTEN alt", "Leer"}));
    EXPECT_EQ(f->lstTabellen->ListIndex(), -1);
    // Its own name in another case is no clash.
    Wählen("Kunden");
    dialoge.eingaben.push_back("kunden");
    Klicken(f->cmdTabelleUmbenennen);
    EXPECT_EQ(Liste(), (std::vector<QString>{"LIEFERANTEN alt", "Leer", "kunden"}));
}

// ---- about box and menus ----

TEST_F(Fenstertest, InfofensterUndSysteminfo) {
    bool gesehen = false;
    QTimer::singleShot(0, [&] {
        auto* info = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        ASSERT_TRUE(info);
        gesehen = true;
        EXPECT_EQ(info->objectName(), QStringLiteral("frmInfo"));
        EXPECT_EQ(info->windowTitle(), QString());
        EXPECT_EQ(info->size(), QSize(forms::Pixel(5295), forms::Pixel(4260)));
        EXPECT_EQ(info->findChild<QLabel*>("lblTitle")->text(), QStringLiteral("Purivo"));
        EXPECT_EQ(info->findChild<QLabel*>("lblVersion")->text(), QStringLiteral("Version 1.0"));
        EXPECT_TRUE(info->findChild<QLabel*>("lblDescription")->text().contains("@"));
        auto* sys = info->findChild<QPushButton*>("cmdSysInfo");
        EXPECT_EQ(sys->text(), QStringLiteral("&Systeminfo..."));
        dialoge.Antworten(vb::OK);
        QTest::mouseClick(sys, Qt::LeftButton);
        EXPECT_EQ(dialoge.letzte().text, QStringLiteral("Systeminformationen sind momentan nicht verfügbar"));
        EXPECT_EQ(dialoge.letzte().stil, vb::OKOnly);
        EXPECT_FALSE(dialoge.letzte().titel.has_value());
        QDir().mkpath(PURIVO_BUILD "/screenshots");
        info->grab().save(PURIVO_BUILD "/screenshots/info.png");
        QTest::mouseClick(info->findChild<QPushButton*>("cmdOK"), Qt::LeftButton);
    });
    f->mnuInfo->trigger();
    EXPECT_TRUE(gesehen);
    EXPECT_FALSE(QApplication::activeModalWidget());
}

TEST_F(Fenstertest, MenüleisteUndTestknöpfe) {
    QStringList namen;
    for (QAction* a : f->mnuInformation->actions()) namen << a->objectName();
    EXPECT_EQ(namen, (QStringList{"mnuHilfe", "mnuLeer1", "mnuInternetseite", "mnuSupport", "mnuLeer2", "mnuInfo"}));
    for (auto* k : {f->Command1, f->Command2, f->Command3}) EXPECT_FALSE(k->isVisible());
    EXPECT_EQ(f->Command1->Caption(), QStringLiteral("TEST - starten (neue daten)"));
    dialoge.Antworten(vb::OK);
    f->Command2->click();
    EXPECT_TRUE(dialoge.letzte().text.startsWith("###Brunow-Systeme"));
    EXPECT_TRUE(dialoge.letzte().text.endsWith("###"));
    EXPECT_EQ(dialoge.letzte().text.count("###"), 3);
    EXPECT_FALSE(dialoge.letzte().titel.has_value());
}

TEST_F(Fenstertest, SupportmailGehtKodiertAnDenÖffner) {
    const std::string ausgabe = tmp / "mailto.txt", skript = tmp / "oeffner.sh";
    {
        std::ofstream s(skript);
        s << "#!/bin/sh\nprintf '%s' \"$1\" > " << ausgabe << ".tmp && mv " << ausgabe << ".tmp " << ausgabe << "\n";
    }
    std::filesystem::permissions(skript, std::filesystem::perms::owner_all);
    shell::ÖffnerSetzen(skript);
    f->mnuSupport->trigger();
    for (int i = 0; i < 500 && !std::filesystem::exists(ausgabe); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    shell::ÖffnerSetzen("");
    std::ifstream gelesen(ausgabe);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(gelesen), {}),
              "mailto:support@valdrin.example?Subject=Supportanfrage%20f%C3%BCr%20'Purivo%201.0'"
              "&Body=Anfrage%20von%20%0D%0A%0D%0A");
}

TEST(Uri, KodiertWasEineAdresseNichtTragenKann) {
    const std::pair<std::string, std::string> fälle[] = {
        {"mailto:a@b.example?Subject=x y&Body=%0D%0A", "mailto:a@b.example?Subject=x%20y&Body=%0D%0A"},
        {"für 100%", "f%C3%BCr%20100%25"},
        {"%zz %4", "%25zz%20%254"},
        {"https://www.valdrin-software.example/", "https://www.valdrin-software.example/"},
        {"a\"b<c>", "a%22b%3Cc%3E"},
    };
    for (const auto& [roh, kodiert] : fälle) EXPECT_EQ(shell::UriKodieren(roh), kodiert) << roh;
}

}  // namespace
