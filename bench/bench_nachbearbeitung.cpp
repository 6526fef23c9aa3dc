// The duplicate review over a work table of N records (default 100 000; give N
// as the argument), as a duplicate search leaves it: a third of the records in
// groups of two with their enriched record, the rest without duplicates. On
// the offscreen platform: opening the dialog until it is painted, choosing the
// last enriched record (a far block of rows and the group grid's tick), moving
// all enriched records to the take-over folder and all of them back.
// Prints the seconds of each step.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>

#include <QApplication>
#include <QTest>

#include "foundation/Oberflaeche.h"
#include "foundation/mdlDatenbank.h"
#include "foundation/mdlDeklarationen.h"
#include "platform/dao/Dao.h"
#include "ui/frmDublettenBearbeiten.h"

namespace {

using Uhr = std::chrono::steady_clock;
double Sekunden(Uhr::time_point von, Uhr::time_point bis) { return std::chrono::duration<double>(bis - von).count(); }

// Every question answered yes; nothing else of the main window is needed here.
class Fenster : public Benutzeroberfläche {
public:
    int Meldung(const Text& text, int, const std::optional<Text>&) override {
        std::fprintf(stderr, "message: %s\n", nachUtf8(text).c_str());
        return vb::Yes;
    }
    void Ereignisse() override { QCoreApplication::processEvents(); }
    void Mauszeiger(int) override {}
    void BeschriftungSetzen(TextSicht, const Text&) override {}
    void FortschrittsbalkenSetzen(float) override {}
    float Fortschrittsbalken() const override { return 0; }
    void TimerSetzen(TextSicht, int32_t, bool) override {}
    int32_t TimerIntervall(TextSicht) const override { return 0; }
    void AktivSetzen(TextSicht, bool) override {}
    int32_t Wert(TextSicht, int) const override { return 0; }
    Text Inhalt(TextSicht, int) const override { return {}; }
    void ListeLeeren(TextSicht) override {}
    void ListeHinzufügen(TextSicht, const Text&) override {}
    void ListeAuswählen(TextSicht, int) override {}
    void RahmenÖffnen(int16_t, bool) override {}
    void RahmenWechseln(int16_t, int16_t, bool, bool) override {}
    bool RahmenSchließen(int16_t, bool) override { return true; }
    int32_t DublettenBearbeiten() override { return 0; }
    void MüllBearbeiten() override {}
    void NachDerBearbeitung() override {}
};

const char16_t* namen[] = {u"Müller", u"Schmidt", u"Schneider", u"Fischer", u"Weber",   u"Meyer", u"Wagner",
                           u"Becker", u"Schulz",  u"Hoffmann",  u"Koch",    u"Richter", u"Klein", u"Wolf"};
const char16_t* orte[] = {u"Berlin", u"Hamburg", u"München", u"Köln", u"Frankfurt am Main", u"Leipzig"};

// The work table: user columns, then TEMP_DSS, TEMP_DSN, TEMP_BN, TEMP_AMK. Returns the enriched count.
int32_t Anlegen(int32_t n) {
    auto t = gDatenbank->CreateTableDef(u"Ergebnis");
    const struct {
        const char16_t* name;
        int16_t typ;
        int32_t größe;
    } spalten[] = {{u"KundenNr", dao::dbLong, 0}, {u"Firma", dao::dbText, 80},  {u"Straße", dao::dbText, 60},
                   {u"PLZ", dao::dbText, 10},     {u"Ort", dao::dbText, 60},    {u"TEMP_DSS", dao::dbByte, 0},
                   {u"TEMP_DSN", dao::dbLong, 0}, {u"TEMP_BN", dao::dbLong, 0}, {u"TEMP_AMK", dao::dbText, 30}};
    for (const auto& s : spalten) {
        auto f = t->CreateField(s.name, s.typ, s.größe);
        f->AllowZeroLength(true);
        t->Fields().Append(f);
    }
    gDatenbank->TableDefs().Append(t);
    std::mt19937 z(20261211);
    const int32_t gruppen = n / 9;  // 2 members + 1 enriched each: a third of the records
    gArbeitsbereich->BeginTrans();
    auto rs = gDatenbank->OpenRecordset(u"Ergebnis");
    int32_t nr = 0;
    auto zeile = [&](int status, int32_t gruppe, const Text& firma, const char16_t* anmerkung) {
        ++nr;
        rs->AddNew();
        rs->Fields()[0]->Value(Variante(nr));
        rs->Fields()[1]->Value(Variante(firma));
        rs->Fields()[2]->Value(Variante(u"Hauptstraße " + ausUtf8(std::to_string(1 + z() % 90))));
        rs->Fields()[3]->Value(Variante(ausUtf8(std::to_string(10000 + z() % 89999))));
        rs->Fields()[4]->Value(Variante(orte[z() % 6]));
        rs->Fields()[5]->Value(Variante(static_cast<uint8_t>(status)));
        rs->Fields()[6]->Value(Variante(nr));
        rs->Fields()[7]->Value(Variante(gruppe));
        rs->Fields()[8]->Value(Variante(anmerkung));
        rs->Update();
        if (nr % 1000 == 0) {
            gArbeitsbereich->CommitTrans();
            gArbeitsbereich->BeginTrans();
        }
    };
    // As the search leaves it: the copied records, the enriched ones appended behind them.
    const int32_t kopiert = n - gruppen;
    for (int32_t i = 0; i < kopiert; ++i) {
        const int32_t g = i < 2 * gruppen ? i / 2 + 1 : 0;
        zeile(g ? 13 : 11, g, Text(namen[(g ? g : i) % 14]) + u" GmbH " + ausUtf8(std::to_string(g ? g : i)), u"");
    }
    for (int32_t g = 1; g <= gruppen; ++g)
        zeile(12, g, Text(namen[g % 14]) + u" GmbH " + ausUtf8(std::to_string(g)), u"Angereichert");
    rs->Close();
    gArbeitsbereich->CommitTrans();
    return gruppen;
}

}  // namespace

int main(int argc, char** argv) {
    if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication app(argc, argv);
    const int32_t n = argc > 1 ? std::atoi(argv[1]) : 100000;
    const std::filesystem::path ordner = std::filesystem::temp_directory_path() / "purivo_bench_nachbearbeitung";
    std::filesystem::remove_all(ordner);
    std::filesystem::create_directories(ordner);
    const std::string pfad = (ordner / "ergebnis.sqlite").string();

    Fenster fenster;
    OberflächeSetzen(&fenster);
    gArbeitsbereich = dao::CreateWorkspace(u"", u"Admin", u"", 2);
    gDatenbank = gArbeitsbereich->CreateDatabase(ausUtf8(pfad));
    auto start = Uhr::now();
    const int32_t angereichert = Anlegen(n);
    std::printf("records: %d, enriched: %d, filling the table: %.2f s\n", n, angereichert, Sekunden(start, Uhr::now()));
    gZieltabelle = u"Ergebnis";

    int fehler = 0;
    {
        start = Uhr::now();
        frmDublettenBearbeiten d;
        if (!d.Form_Load()) return 1;
        d.show();
        QCoreApplication::processEvents();
        d.repaint();
        const double öffnen = Sekunden(start, Uhr::now());

        start = Uhr::now();
        d.dgdAngereichert->setFocus();
        QTest::keyClick(d.dgdAngereichert, Qt::Key_End, Qt::ControlModifier);
        QTest::keyClick(d.dgdAngereichert, Qt::Key_Up);
        if (!QTest::qWaitFor([&] { return !d.tmrAnsicht.Enabled(); })) ++fehler;
        d.repaint();
        const double wählen = Sekunden(start, Uhr::now());
        if (d.adoDublette->RecordCount() != 2) ++fehler;

        start = Uhr::now();
        d.btnAngereichert->click();
        d.repaint();
        const double hin = Sekunden(start, Uhr::now());
        if (d.adoÜbernehmen->RecordCount() != angereichert || d.adoAngereichert->RecordCount() != 0) ++fehler;

        start = Uhr::now();
        d.btnÜbernehmen->click();
        d.repaint();
        const double zurück = Sekunden(start, Uhr::now());
        if (d.adoAngereichert->RecordCount() != angereichert) ++fehler;

        std::printf("opening the dialog (load and first paint): %.3f s\n", öffnen);
        std::printf("choosing the last but one enriched record, group grid after its tick: %.3f s\n", wählen);
        std::printf("moving all %d enriched records to the take-over folder (yielding after each): %.3f s\n",
                    angereichert, hin);
        std::printf("moving all of them back (without yielding): %.3f s\n", zurück);
        d.btnAbbrechen_Click();
    }
    DatenbankSchließen(gDatenbank);
    gArbeitsbereich->Close();
    OberflächeSetzen(nullptr);
    std::filesystem::remove_all(ordner);
    if (fehler) std::fprintf(stderr, "%d checks of the dialog's folders failed\n", fehler);
    return fehler ? 1 : 0;
}
