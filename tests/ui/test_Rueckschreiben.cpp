// Deleting and renaming a table reach the user's file at once; a write-back that
// fails is reported, and a database that could not write its changes stays open,
// with the window, until it could.
#include <filesystem>

#include "common/Stoertreiber.h"
#include "ui/Fenstertest.h"

namespace {
const QString kSpeicherfehler = QStringLiteral("Fehler beim Speichern der Datenbank.\rSystemmeldung:\r") +
                                QString::fromStdU16String(kVollerDatenträger);

class Rückschreiben : public Fenstertest {
protected:
    std::string ordner;
    std::shared_ptr<Schreibstörung> störung;

    void SetUp() override {
        Fenstertest::SetUp();
        gSystemmeldung = true;
        ordner = tmp / "dbase";
        std::filesystem::create_directory(ordner);
        GestörtenDbaseOrdnerÖffnen(ordner);
        for (const char16_t* t : {u"KUNDEN", u"LIEFER"}) TesttabelleAnlegen(t, Kundenspalten(), Kundenzeilen());
        DatenbankSchließen(gDatenbank);
        datenbank = ordner + "/KUNDEN.dbf";
        BisZurTabelle("LIEFER");
        // The same folder again, now behind a driver whose writes the test can fail.
        DatenbankSchließen(gDatenbank);
        störung = GestörtenDbaseOrdnerÖffnen(ordner);
    }
    bool Datei(const std::string& name) const { return std::filesystem::exists(ordner + "/" + name); }
};
}  // namespace

TEST_F(Rückschreiben, LöschenUndUmbenennenSchreibenSofort) {
    störung->fehlschläge = 1;
    dialoge.Antworten(vb::Yes);
    dialoge.Antworten(vb::Retry, kSpeicherfehler);
    Klicken(f->cmdTabelleLöschen);
    EXPECT_EQ(dialoge.letzte().titel, QStringLiteral(" Fehler!"));
    EXPECT_FALSE(Datei("LIEFER.dbf"));
    EXPECT_EQ(f->lstTabellen->ListCount(), 1);

    // Ignored: the new name waits in the working store for the next write.
    f->lstTabellen->ListIndexSetzen(0);
    störung->fehlschläge = 1;
    dialoge.eingaben.push_back("KUNDEN2");
    dialoge.Antworten(vb::Ignore, kSpeicherfehler);
    Klicken(f->cmdTabelleUmbenennen);
    EXPECT_FALSE(gFehlerAbbruch);
    EXPECT_TRUE(Datei("KUNDEN.dbf"));
    EXPECT_FALSE(Datei("KUNDEN2.dbf"));
    EXPECT_EQ(f->lstTabellen->List(0), QStringLiteral("KUNDEN2"));
    EXPECT_EQ(dialoge.offeneAntworten(), 0u);

    // The close writes what waited, and the window ends.
    const int vorher = störung->versuche;
    EXPECT_TRUE(f->close());
    EXPECT_EQ(störung->versuche, vorher + 1);
    EXPECT_FALSE(gDatenbank);
    EXPECT_TRUE(Datei("KUNDEN2.dbf"));
    EXPECT_FALSE(Datei("KUNDEN.dbf"));
}

TEST_F(Rückschreiben, GescheitertesSchließenBehältDatenbankUndFenster) {
    gDatenbank->TableDefs().Delete(u"LIEFER");  // a change that only the close writes
    // Leaving the database page for another file keeps the old one while it cannot write.
    Klicken(f->btnZurück);
    ASSERT_EQ(gAktuellerRahmen, rahmen::Datenbank);
    störung->fehlschläge = 1;
    dialoge.Antworten(vb::Ignore, kSpeicherfehler);
    Weiter();
    EXPECT_EQ(gAktuellerRahmen, rahmen::Datenbank);
    ASSERT_TRUE(gDatenbank);
    EXPECT_TRUE(Datei("LIEFER.dbf"));

    // Ending the program: abort keeps database and window.
    störung->fehlschläge = 1;
    dialoge.Antworten(vb::Abort, kSpeicherfehler);
    EXPECT_FALSE(f->close());
    EXPECT_TRUE(f->isVisible());
    ASSERT_TRUE(gDatenbank);
    ASSERT_TRUE(gArbeitsbereich);
    EXPECT_EQ(gDatenbank->TableDefs().Count(), 1);
    EXPECT_TRUE(Datei("LIEFER.dbf"));

    // Once the write succeeds the window ends.
    gFehlerAbbruch = false;
    EXPECT_TRUE(f->close());
    EXPECT_FALSE(gDatenbank);
    EXPECT_FALSE(Datei("LIEFER.dbf"));
    EXPECT_EQ(dialoge.offeneAntworten(), 0u);
}
