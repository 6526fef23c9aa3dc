// A whole run of the wizard on an Access file: the result lands in the .mdb, where the
// foreign readers find it, and the file stays sound.
#include <algorithm>
#include <filesystem>

#include "common/AccessVorlagen.h"
#include "common/Fehlerfang.h"
#include "common/FremdeLeser.h"
#include "common/Jet4Pruefer.h"
#include "ui/Fenstertest.h"

#define MDB_READER_NOETIG()                                                                      \
    do {                                                                                         \
        if (!fremd::MdbReaderDa())                                                               \
            GTEST_SKIP() << "mdb-reader ist nicht installiert (node und npm ci in tests/leser)"; \
    } while (0)

namespace {

using AccessLauf = Fenstertest;
using fremd::Zeile;
using Namen = std::vector<std::string>;

// Customers of another source: one of them twice, none like the ones of Kundenzeilen.
std::vector<std::vector<Variante>> Neukundenzeilen() {
    return {
        {Variante(u"Fischer OHG"), Variante(u"Bahnhofstraße 3"), Variante(u"20095"), Variante(u"Hamburg"),
         Variante(u"040 112233")},
        {Variante(u"Fischer OHG"), Variante(u"Bahnhofstraße 3"), Variante(u"20095"), Variante(u"Hamburg"),
         Variante(u"040 112233")},
        {Variante(u"Becker Bau GmbH"), Variante(u"Lindenallee 77"), Variante(u"01067"), Variante(u"Dresden"),
         Variante(u"0351 556677")},
        {Variante(u"Wagner & Söhne"), Variante(u"Schloßweg 2"), Variante(u"70173"), Variante(u"Stuttgart"),
         Variante(u"0711 334455")},
    };
}

Namen Sortiert(Namen n) {
    std::sort(n.begin(), n.end());
    return n;
}

// Each problem the structural check finds in the file is a failure.
void DateiPrüfen(const std::string& pfad) {
    for (const auto& p : Jet4Prüfen(DateiBytes(pfad))) ADD_FAILURE() << p;
}

TEST_F(AccessLauf, DublettensucheSchreibtIhrErgebnisInDieMdb) {
    ACCESS_FIXTUREN_NOETIG();
    TempVerzeichnis t;
    datenbank = AccessKopie(t, "empty.mdb");
    DatenbankAnlegen({{u"Kunden", Kundenzeilen()}, {u"Leer", {}}});
    BisZuDenSuchoptionen();
    f->beiDublettenBearbeiten = [] { return 0; };
    Weiter();
    ASSERT_EQ(gAktuellerRahmen, 13);
    DatenbankSchließen(gDatenbank);
    EXPECT_EQ(fremd::MdbTabellen(datenbank), (std::vector<std::string>{"Kunden", "Leer", "Kunden _#1__9_12_2026"}));
    const auto ergebnis = fremd::MdbExport(datenbank, "Kunden _#1__9_12_2026");
    ASSERT_EQ(ergebnis.zeilen.size(), 2u);
    EXPECT_EQ(ergebnis.zeilen[0].at(0), "Schmidt AG");
    EXPECT_EQ(ergebnis.zeilen[1].at(0), "Weber KG");
    EXPECT_EQ(fremd::MdbExport(datenbank, "Kunden").zeilen.size(), 4u);
    DateiPrüfen(datenbank);
}

// The split's run writes its table into the file itself, before any close; the source
// stays as it was.
TEST_F(AccessLauf, SplittenSchreibtDieNeueTabelleUndLässtDieQuelle) {
    ACCESS_FIXTUREN_NOETIG();
    datenbank = AccessKopie(tmp, "empty.mdb");
    DatenbankAnlegen({{u"Kunden", Kundenzeilen()}});
    const fremd::Tabelleninhalt quelle = fremd::MdbExport(datenbank, "Kunden");
    BisZurTabelle();
    ASSERT_NO_FATAL_FAILURE(SplittenBisZurErgebnisseite(QStringLiteral("Gesplittet")));

    EXPECT_EQ(fremd::MdbTabellen(datenbank), (std::vector<std::string>{"Kunden", "Gesplittet"}));
    const fremd::Tabelleninhalt ergebnis = fremd::MdbExport(datenbank, "Gesplittet");
    EXPECT_EQ(ergebnis.spalten, (std::vector<std::string>{"Firma", "Str", "Nr", "PLZ", "Ort", "Telefon"}));
    EXPECT_EQ(ergebnis.zeilen, (std::vector<Zeile>{
                                   {"Müller GmbH", "Hauptstraße", "5", "10115", "Berlin", "030 123456"},
                                   {"Müller GmbH", "Hauptstraße", "5", "10115", "Berlin", "030 123456"},
                                   {"Schmidt AG", "Marktplatz", "1", "80331", "München", "089 998877"},
                                   {"Weber KG", "Ringstraße", "12", "50667", "Köln", "0221 445566"},
                               }));
    const fremd::Tabelleninhalt danach = fremd::MdbExport(datenbank, "Kunden");
    EXPECT_EQ(danach.spalten, quelle.spalten);
    EXPECT_EQ(danach.zeilen, quelle.zeilen);
    DateiPrüfen(datenbank);
}

// A second search whose result takes the first one's name replaces that table after both
// questions: one table of the name, the second run's rows, in the pages the drop freed.
TEST_F(AccessLauf, ZweiterLaufErsetztDieErgebnistabelle) {
    ACCESS_FIXTUREN_NOETIG();
    datenbank = AccessKopie(tmp, "empty.mdb");
    DatenbankAnlegen({{u"Kunden", Kundenzeilen()}, {u"Neukunden", Neukundenzeilen()}});
    const auto größe0 = std::filesystem::file_size(datenbank);
    const std::string ziel = "Kunden _#1__9_12_2026";
    f->beiDublettenBearbeiten = [] { return 0; };
    BisZuDenSuchoptionen();
    Weiter();
    ASSERT_EQ(gAktuellerRahmen, 13);
    ASSERT_EQ(fremd::MdbExport(datenbank, ziel).zeilen.size(), 2u);
    const auto größe1 = std::filesystem::file_size(datenbank);

    Weiter();
    ASSERT_EQ(gAktuellerRahmen, 3);
    const auto gefunden = f->lstTabellen->findItems(QStringLiteral("Neukunden"), Qt::MatchExactly);
    ASSERT_EQ(gefunden.size(), 1);
    f->lstTabellen->ListIndexSetzen(f->lstTabellen->row(gefunden.front()));
    Weiter();
    Klicken(f->btnAuswahl[3]);
    Weiter();
    ASSERT_EQ(gAktuellerRahmen, 4);
    f->tbxZielTabelle->TextSetzen(QString::fromStdString(ziel));
    dialoge.Antworten(vb::Yes, QStringLiteral("existiert bereits."));
    Weiter();
    ASSERT_EQ(gAktuellerRahmen, 11);
    dialoge.Antworten(vb::Yes, QString::fromStdString("Sind sie sicher, dass die Tabelle \"" + ziel + "\""));
    Weiter();
    ASSERT_EQ(gAktuellerRahmen, 13);

    EXPECT_EQ(Sortiert(fremd::MdbTabellen(datenbank)), Sortiert({"Kunden", "Neukunden", ziel}));
    const Namen alle = fremd::MdbTabellen(datenbank, true);
    EXPECT_EQ(std::count(alle.begin(), alle.end(), ziel), 1);
    const fremd::Tabelleninhalt ergebnis = fremd::MdbExport(datenbank, ziel);
    EXPECT_EQ(ergebnis.spalten, (Namen{"Firma", "Strasse", "PLZ", "Ort", "Telefon"}));
    EXPECT_EQ(ergebnis.zeilen, (std::vector<Zeile>{
                                   {"Becker Bau GmbH", "Lindenallee 77", "01067", "Dresden", "0351 556677"},
                                   {"Wagner & Söhne", "Schloßweg 2", "70173", "Stuttgart", "0711 334455"},
                               }));
    EXPECT_EQ(fremd::MdbExport(datenbank, "Kunden").zeilen.size(), 4u);
    DateiPrüfen(datenbank);
    const auto größe2 = std::filesystem::file_size(datenbank);
    // Without the pages the drop freed the file would grow by as much as the first result took.
    ASSERT_GT(größe1, größe0);
    EXPECT_LT(größe2, größe1 + (größe1 - größe0));
}

// The table page's rename and delete reach the file at once; the renamed table keeps its rows.
TEST_F(AccessLauf, TabellenseiteBenenntUmUndLöschtInDerMdb) {
    ACCESS_FIXTUREN_NOETIG();
    MDB_READER_NOETIG();
    datenbank = AccessKopie(tmp, "empty.mdb");
    DatenbankAnlegen({{u"Kunden", Kundenzeilen()}, {u"Leer", {}}});
    const fremd::Tabelleninhalt kunden = fremd::MdbExport(datenbank, "Kunden");
    BisZurTabelle();
    dialoge.eingaben.push_back(QStringLiteral("Kunden Ü"));
    Klicken(f->cmdTabelleUmbenennen);
    EXPECT_EQ(Sortiert(fremd::MdbTabellen(datenbank)), (Namen{"Kunden Ü", "Leer"}));
    const fremd::Tabelleninhalt umbenannt = fremd::MdbExport(datenbank, "Kunden Ü");
    EXPECT_EQ(umbenannt.spalten, kunden.spalten);
    EXPECT_EQ(umbenannt.zeilen, kunden.zeilen);
    DateiPrüfen(datenbank);

    const auto leer = f->lstTabellen->findItems(QStringLiteral("Leer"), Qt::MatchExactly);
    ASSERT_EQ(leer.size(), 1);
    f->lstTabellen->ListIndexSetzen(f->lstTabellen->row(leer.front()));
    dialoge.Antworten(vb::Yes, QStringLiteral("\"Leer\""));
    Klicken(f->cmdTabelleLöschen);
    EXPECT_EQ(fremd::MdbTabellen(datenbank), (Namen{"Kunden Ü"}));
    DateiPrüfen(datenbank);
    // A reader that shares no code with libmdb sees the same.
    const auto tabellen = fremd::MdbReaderLesen(datenbank);
    ASSERT_EQ(tabellen.size(), 1u);
    EXPECT_EQ(tabellen[0].name, "Kunden Ü");
    EXPECT_EQ(tabellen[0].zeilen.size(), 4u);
}

// A table that takes part in a relation which enforces referential integrity is neither
// deleted on the table page nor overwritten by a run: the user is told why, and the file
// stays as it was, also after the close.
TEST_F(AccessLauf, TabelleMitBeziehungBleibtUndDieDateiUnverändert) {
    ACCESS_FIXTUREN_NOETIG();
    datenbank = AccessKopie(tmp, "indexTestV2000.mdb");
    const std::vector<uint8_t> vorher = DateiBytes(datenbank);
    BisZurTabelle("Table2");
    dialoge.Antworten(vb::Yes);
    dialoge.Antworten(vb::Abort, QStringLiteral("Fehler beim Löschen der Tabelle 'Table2'."));
    Klicken(f->cmdTabelleLöschen);
    EXPECT_EQ(dialoge.letzte().titel, QStringLiteral(" Fehler!"));
    EXPECT_TRUE(dialoge.letzte().text.contains(QStringLiteral("gehört zur Beziehung 'Table2Table1'")))
        << dialoge.letzte().text.toStdString();
    EXPECT_EQ(f->lstTabellen->findItems(QStringLiteral("Table2"), Qt::MatchExactly).size(), 1);
    EXPECT_TRUE(DateiBytes(datenbank) == vorher);

    // A split of Table1 into Table2, both questions answered with yes.
    const auto table1 = f->lstTabellen->findItems(QStringLiteral("Table1"), Qt::MatchExactly);
    ASSERT_EQ(table1.size(), 1);
    f->lstTabellen->ListIndexSetzen(f->lstTabellen->row(table1.front()));
    Weiter();
    Klicken(f->btnAuswahl[1]);
    f->tbxZielTabelle->TextSetzen(QStringLiteral("Table2"));
    dialoge.Antworten(vb::Yes, QStringLiteral("existiert bereits."));
    Weiter();
    ASSERT_EQ(gAktuellerRahmen, 31);
    f->cbxSplitten1->TextSetzen(QStringLiteral("data"));
    f->tbxSplitten1->TextSetzen(QStringLiteral("Teil1"));
    f->tbxSplitten2->TextSetzen(QStringLiteral("Teil2"));
    dialoge.Antworten(vb::Yes, QStringLiteral("inklusive ihrer Relationen überschrieben werden soll?"));
    dialoge.Antworten(vb::Abort, QStringLiteral("Fehler beim Kopieren der Tabelle 'Table1' nach 'Table2'."));
    Weiter();
    EXPECT_EQ(gAktuellerRahmen, 3);
    EXPECT_TRUE(dialoge.letzte().text.contains(QStringLiteral("Die Beziehung 'Table2Table1' wahrt die referentielle")))
        << dialoge.letzte().text.toStdString();
    EXPECT_EQ(f->lstTabellen->ListCount(), 3);
    EXPECT_TRUE(DateiBytes(datenbank) == vorher);
    DatenbankSchließen(gDatenbank);
    EXPECT_FALSE(gDatenbank);
    EXPECT_TRUE(DateiBytes(datenbank) == vorher);
}

// A file with a database password: opened on the database page with it (and refused without),
// searched, and written back with the password kept.
class AccessPasswortLauf : public Fenstertest, public ::testing::WithParamInterface<const char*> {};

TEST_P(AccessPasswortLauf, DublettensucheSchreibtUndDasPasswortBleibt) {
    ACCESS_FIXTUREN_NOETIG();
    MDB_READER_NOETIG();
    datenbank = AccessKopie(tmp, GetParam());
    const Text pfad = ausUtf8(datenbank);
    // The addresses come into the file in a session of their own, as an earlier run would write them.
    DatenbankÖffnen(Variante(pfad), Variante(u"password"), gDatenbank);
    ASSERT_FALSE(gFehlerAbbruch);
    TesttabelleAnlegen(u"Kunden", Kundenspalten(), Kundenzeilen());
    DatenbankSchließen(gDatenbank);
    ASSERT_FALSE(gDatenbank);

    Weiter();
    Weiter();
    f->tbxDatenbankName->TextSetzen(QString::fromStdString(datenbank));
    dialoge.Antworten(vb::OK, QStringLiteral("das eingegebene Passwort ist nicht korrekt."));
    Weiter();
    ASSERT_EQ(gAktuellerRahmen, 2);
    f->tbxDatenbankPasswort->TextSetzen(QStringLiteral("password"));
    Weiter();
    ASSERT_EQ(gAktuellerRahmen, 3);
    const auto gefunden = f->lstTabellen->findItems(QStringLiteral("Kunden"), Qt::MatchExactly);
    ASSERT_EQ(gefunden.size(), 1);
    f->lstTabellen->ListIndexSetzen(f->lstTabellen->row(gefunden.front()));
    Weiter();
    Klicken(f->btnAuswahl[3]);
    Weiter();
    Weiter();
    ASSERT_EQ(gAktuellerRahmen, 11);
    f->beiDublettenBearbeiten = [] { return 0; };
    Weiter();
    ASSERT_EQ(gAktuellerRahmen, 13);
    DatenbankSchließen(gDatenbank);

    const auto ergebnis = fremd::MdbReaderLesen(datenbank, "Kunden _#1__9_12_2026", "password");
    ASSERT_EQ(ergebnis.size(), 1u);
    EXPECT_EQ(ergebnis[0].zeilen, (std::vector<Zeile>{
                                      {"Schmidt AG", "Marktplatz 1", "80331", "München", "089 998877"},
                                      {"Weber KG", "Ringstraße 12", "50667", "Köln", "0221 445566"},
                                  }));
    EXPECT_EQ(Sortiert(fremd::MdbTabellen(datenbank)), Sortiert({"Table1", "Kunden", "Kunden _#1__9_12_2026"}));
    // The file's own table is untouched.
    EXPECT_EQ(fremd::MdbExport(datenbank, "Table1").zeilen,
              (std::vector<Zeile>{{"1", "One"}, {"2", "Two"}, {"3", "Three"}}));
    DateiPrüfen(datenbank);

    auto db = gArbeitsbereich->OpenDatabase(pfad, false, false, u";PWD=password;");
    EXPECT_EQ(db->TableDefs()[u"Kunden _#1__9_12_2026"]->Fields().Count(), 5);
    db->Close();
    for (const char16_t* verbindung : {u"", u";PWD=passwort;"})
        EXPECT_EQ(FehlerVon([&] { gArbeitsbereich->OpenDatabase(pfad, false, false, verbindung); }), 3031)
            << nachUtf8(verbindung);
}

INSTANTIATE_TEST_SUITE_P(Dateien, AccessPasswortLauf,
                         ::testing::Values("V2000_with-password.mdb", "V2003_with-password.mdb"));

}  // namespace
