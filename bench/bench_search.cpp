// The whole duplicate search, headless, over a generated German address table of
// N records (default 10 000; give N as the argument) with a known share of near
// duplicates: quick mode, three passes, enrichment, "Fertig" in the review.
// With --full: full mode, once on one worker thread and once on every core, the
// two results compared; the last line is the speedup of the passes.
// Prints the seconds of each phase, the peak memory, and a bare reference in the
// same run: reading the table three times sorted by the passes' columns through
// plain SQLite.
#include <sqlite3.h>
#include <sys/resource.h>
#include <unicode/ucol.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "Adressen.h"
#include "foundation/Oberflaeche.h"
#include "foundation/mdlAllgemeines.h"
#include "foundation/mdlDatenbank.h"
#include "foundation/mdlDeklarationen.h"
#include "foundation/mdlFeldtypen.h"
#include "platform/dao/Dao.h"
#include "platform/dao/DaoIntern.h"
#include "search/mdlDublettensuche.h"
#include "search/mdlSuchlauf.h"

namespace {

using Uhr = std::chrono::steady_clock;
double Sekunden(Uhr::time_point von, Uhr::time_point bis) { return std::chrono::duration<double>(bis - von).count(); }

// The window as a user leaves it during the run: the options set, every question
// answered yes, "Fertig" in the review; the status texts keep their times.
class Fenster : public Benutzeroberfläche {
public:
    std::map<std::pair<std::u16string, int>, int32_t> werte;
    std::vector<std::pair<Uhr::time_point, Text>> status;
    Uhr::time_point durchsicht{};

    int Meldung(const Text& text, int, const std::optional<Text>&) override {
        std::fprintf(stderr, "message: %s\n", nachUtf8(text).c_str());
        return vb::Yes;
    }
    void Ereignisse() override {}
    void Mauszeiger(int) override {}
    void BeschriftungSetzen(TextSicht s, const Text& t) override {
        if (s == u"lblInformation") status.emplace_back(Uhr::now(), t);
    }
    void FortschrittsbalkenSetzen(float) override {}
    float Fortschrittsbalken() const override { return 0; }
    void TimerSetzen(TextSicht, int32_t, bool) override {}
    int32_t TimerIntervall(TextSicht) const override { return 0; }
    void AktivSetzen(TextSicht, bool) override {}
    int32_t Wert(TextSicht s, int index) const override {
        auto it = werte.find({Text(s), index});
        return it == werte.end() ? 0 : it->second;
    }
    Text Inhalt(TextSicht, int) const override { return {}; }
    void ListeLeeren(TextSicht) override {}
    void ListeHinzufügen(TextSicht, const Text&) override {}
    void ListeAuswählen(TextSicht, int) override {}
    void RahmenÖffnen(int16_t seite, bool) override { gAktuellerRahmen = seite; }
    void RahmenWechseln(int16_t, int16_t nach, bool, bool) override { gAktuellerRahmen = nach; }
    bool RahmenSchließen(int16_t, bool) override { return true; }
    int32_t DublettenBearbeiten() override {
        durchsicht = Uhr::now();
        return 0;
    }
    void MüllBearbeiten() override {}
    void NachDerBearbeitung() override {}
};

using bench::Adresse;

void Anlegen(int32_t n, double anteil) {
    auto t = gDatenbank->CreateTableDef(u"Adressen");
    const struct {
        const char16_t* name;
        int16_t typ;
        int32_t größe;
    } spalten[] = {{u"KundenNr", dao::dbLong, 0}, {u"Firma", dao::dbText, 80}, {u"Straße", dao::dbText, 60},
                   {u"PLZ", dao::dbText, 10},     {u"Ort", dao::dbText, 60},   {u"Telefon", dao::dbText, 30}};
    for (const auto& s : spalten) t->Fields().Append(t->CreateField(s.name, s.typ, s.größe));
    gDatenbank->TableDefs().Append(t);
    std::mt19937 z(20261210);
    std::vector<Adresse> früher;
    gArbeitsbereich->BeginTrans();
    auto rs = gDatenbank->OpenRecordset(u"Adressen");
    for (int32_t i = 1; i <= n; ++i) {
        const bool kopie = !früher.empty() && (z() % 1000) < anteil * 1000;
        const Adresse a = kopie ? bench::Abwandlung(z, früher[z() % früher.size()]) : bench::Neu(z);
        if (!kopie && früher.size() < 100000) früher.push_back(a);
        else if (!kopie) früher[z() % früher.size()] = a;
        rs->AddNew();
        rs->Fields()[0]->Value(Variante(i));
        rs->Fields()[1]->Value(Variante(a.firma));
        rs->Fields()[2]->Value(Variante(a.straße));
        rs->Fields()[3]->Value(Variante(a.plz));
        rs->Fields()[4]->Value(Variante(a.ort));
        if (!a.telefon.empty()) rs->Fields()[5]->Value(Variante(a.telefon));
        rs->Update();
    }
    rs->Close();
    gArbeitsbereich->CommitTrans();
}

bool Schalter(int argc, char** argv, const char* name) {
    for (int i = 1; i < argc; ++i)
        if (std::string(argv[i]) == name) return true;
    return false;
}

// The seconds from the first pass's start to the evaluation's start.
double Durchlaufzeit(const Fenster& f) {
    Uhr::time_point von{}, bis{};
    for (const auto& [zeit, text] : f.status) {
        if (von == Uhr::time_point{} && text == u"Tabelle öffnen ...") von = zeit;
        if (text.rfind(u"Auswertung der gefundenen Dubletten", 0) == 0) bis = zeit;
    }
    return Sekunden(von, bis);
}

// CPU seconds of the calling thread, or of the whole process.
double Rechenzeit(int wer) {
    rusage r{};
    getrusage(wer, &r);
    return static_cast<double>(r.ru_utime.tv_sec + r.ru_stime.tv_sec) +
           static_cast<double>(r.ru_utime.tv_usec + r.ru_stime.tv_usec) / 1e6;
}

// Every value of a table in its order, as text.
std::vector<Text> Tabelleninhalt(const Text& name) {
    std::vector<Text> r;
    auto rs = gDatenbank->OpenRecordset(name);
    for (; !rs->EOF_(); rs->MoveNext())
        for (const auto& f : rs->Fields().liste()) {
            const Variante v = f->Value();
            r.push_back(v.istNull() ? Text(u"<Null>") : v.alsText());
        }
    rs->Close();
    return r;
}

// The value after `name` ("--format dbase"), or `vorgabe`.
std::string Option(int argc, char** argv, const char* name, const char* vorgabe) {
    for (int i = 1; i + 1 < argc; ++i)
        if (std::string(argv[i]) == name) return argv[i + 1];
    return vorgabe;
}

// The table Adressen of the open native database written as the user's file of the
// format: a dBase folder or a sheet of a workbook (a copy of the program's sample,
// since the driver writes only into an existing workbook). Returns the path the
// program opens.
std::string Ausgeben(const std::string& format, const std::filesystem::path& ordner) {
    std::string ziel, verbindung;
    if (format == "dbase") {
        std::filesystem::create_directory(ordner / "dbase");
        ziel = (ordner / "dbase").string();
        verbindung = "Dbase 5;";
    } else {
        ziel = (ordner / "adressen.xls").string();
        std::filesystem::copy_file(
            std::filesystem::path(__FILE__).parent_path().parent_path() / "share" / "Beispiel.xls", ziel);
        verbindung = "Excel 5.0;";
    }
    auto db = gArbeitsbereich->OpenDatabase(ausUtf8(ziel), false, false, ausUtf8(verbindung));
    if (db->TableDefs().Position(u"Adressen") >= 0) db->TableDefs().Delete(u"Adressen");
    auto quelle = gDatenbank->TableDefs()[u"Adressen"];
    auto t = db->CreateTableDef(u"Adressen");
    for (const auto& f : quelle->Fields().liste()) t->Fields().Append(t->CreateField(f->Name(), f->Type(), f->Size()));
    db->TableDefs().Append(t);
    auto von = gDatenbank->OpenRecordset(u"Adressen");
    auto nach = db->OpenRecordset(u"Adressen");
    const int32_t spalten = von->Fields().Count();
    while (!von->EOF_()) {
        const auto zeilen = von->GetRows(1000);
        for (size_t r = 0; r < zeilen[0].size(); ++r) {
            nach->AddNew();
            for (int32_t c = 0; c < spalten; ++c) nach->Fields()[c]->Value(zeilen[static_cast<size_t>(c)][r]);
            nach->Update();
        }
    }
    von->Close();
    nach->Close();
    db->Close();
    // The program opens a dBase table by the path of one of its files.
    return format == "dbase" ? ziel + "/Adressen.dbf" : ziel;
}

// The collation as the figures before December 2026 registered it: SQLITE_UTF16_ALIGNED
// makes SQLite copy every odd-placed value into a fresh allocation per comparison.
int AusgerichtetVergleichen(void* c, int la, const void* a, int lb, const void* b) {
    return ucol_strcoll(static_cast<UCollator*>(c), static_cast<const UChar*>(a), la / 2, static_cast<const UChar*>(b),
                        lb / 2);
}

// The three sorted reads of the passes through plain SQLite, every column read; with
// the engine's collation, or (`wieFrüher`) with the one the earlier figures used.
double Vergleichslauf(const std::string& pfad, int32_t n, bool wieFrüher) {
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(pfad.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) std::exit(1);
    UErrorCode status = U_ZERO_ERROR;
    UCollator* sortierung = ucol_open("de", &status);
    ucol_setStrength(sortierung, UCOL_SECONDARY);
    if (wieFrüher) sqlite3_create_collation16(db, u"BANK", SQLITE_UTF16_ALIGNED, sortierung, AusgerichtetVergleichen);
    else dao::detail::SortierungAnmelden(db, u"BANK", sortierung);
    const char* ordnungen[] = {"\"Firma\" COLLATE BANK", "\"PLZ\" COLLATE BANK, \"Straße\" COLLATE BANK",
                               "\"Telefon\" COLLATE BANK"};
    const auto start = Uhr::now();
    for (const char* o : ordnungen) {
        sqlite3_stmt* s = nullptr;
        const std::string sql = std::string("SELECT * FROM \"Adressen\" ORDER BY ") + o + ", rowid";
        if (sqlite3_prepare_v2(db, sql.c_str(), -1, &s, nullptr) != SQLITE_OK) {
            std::fprintf(stderr, "SQLite: %s\n", sqlite3_errmsg(db));
            std::exit(1);
        }
        int32_t gelesen = 0;
        size_t summe = 0;
        while (sqlite3_step(s) == SQLITE_ROW) {
            ++gelesen;
            for (int c = 0; c < sqlite3_column_count(s); ++c) {
                const void* t = sqlite3_column_text16(s, c);
                summe += t ? static_cast<size_t>(sqlite3_column_bytes16(s, c)) : 0;
            }
        }
        sqlite3_finalize(s);
        if (gelesen != n) std::fprintf(stderr, "plain SQLite read %d rows (%zu bytes)\n", gelesen, summe);
    }
    const double sekunden = Sekunden(start, Uhr::now());
    sqlite3_close(db);
    ucol_close(sortierung);
    return sekunden;
}

}  // namespace

int main(int argc, char** argv) {
    int32_t n = 10000;
    for (int i = 1; i < argc; ++i)
        if (argv[i][0] >= '0' && argv[i][0] <= '9') n = std::atoi(argv[i]);
    const double anteil = 0.1;
    // --format dbase|excel: the table comes from a file of that format, mirrored in on
    // the first use and written back by the search, as the user's files are.
    const std::string format = Option(argc, argv, "--format", "native");
    if (format != "native" && format != "dbase" && format != "excel") {
        std::fprintf(stderr, "--format native|dbase|excel\n");
        return 2;
    }
    if (format == "excel" && n > 65535) {
        std::fprintf(stderr, "a sheet holds at most 65535 records below its header\n");
        return 2;
    }
    // A folder of this run's own: runs at the same time leave each other alone.
    std::string vorlage = (std::filesystem::temp_directory_path() / "purivo_bench_search_XXXXXX").string();
    if (!mkdtemp(vorlage.data())) {
        std::perror("mkdtemp");
        return 1;
    }
    const std::filesystem::path ordner = vorlage;
    struct Aufräumen {
        std::filesystem::path p;
        ~Aufräumen() {
            std::error_code ec;
            std::filesystem::remove_all(p, ec);
        }
    } aufräumen{ordner};
    const std::string pfad = (ordner / "adressen.sqlite").string();

    Fenster fenster;
    OberflächeSetzen(&fenster);
    ProgrammVerzeichnisSetzen(u"/nonexistent/");  // built-in weights
    FeldtypenInitialisieren();
    gArbeitsbereich = dao::CreateWorkspace(u"", u"Admin", u"", 2);
    gDatenbank = gArbeitsbereich->CreateDatabase(ausUtf8(pfad));

    auto start = Uhr::now();
    Anlegen(n, anteil);
    const double füllen = Sekunden(start, Uhr::now());
    double ausgeben = 0, öffnen = 0;
    if (format != "native") {
        start = Uhr::now();
        const std::string datei = Ausgeben(format, ordner);
        DatenbankSchließen(gDatenbank);
        ausgeben = Sekunden(start, Uhr::now());
        start = Uhr::now();
        DatenbankÖffnen(Variante(ausUtf8(datei)), Variante(u""), gDatenbank);
        öffnen = Sekunden(start, Uhr::now());
        if (gFehlerAbbruch || !gDatenbank) {
            std::fprintf(stderr, "the %s file does not open\n", format.c_str());
            return 1;
        }
    }

    gFelder1 = {{1, 1}, {2, 3}, {3, 3}, {3, 4}, {3, 8}, {5, 3}};
    auto& w = fenster.werte;
    // --full: full mode, blocks by the leading characters of each pass's first column.
    const bool voll = Schalter(argc, argv, "--full");
    w[{u"chkQuickSuche", -1}] = voll ? 0 : 1;
    w[{u"sdrToleranz", -1}] = 1;
    const int sortierung[3][3] = {{2, 0, 0}, {4, 3, 0}, {6, 0, 0}};
    for (int p = 0; p < 3; ++p) {
        w[{u"chkSucheDurchführen", p}] = 1;
        w[{u"sdrZeichenRichtig", p}] = 3;
        for (int j = 0; j < 3; ++j) w[{u"cbxSuchFeld", 3 * p + j}] = sortierung[p][j];
    }

    // Full mode runs once on the calling thread alone, then on every core.
    double einzeln = 0, einzelnCpu = 0, hauptCpu = 0, alleCpu = 0;
    const int32_t kerne = static_cast<int32_t>(std::max(1u, std::thread::hardware_concurrency()));
    if (voll) {
        SuchArbeiter = 1;
        const double cpu = Rechenzeit(RUSAGE_SELF);
        DublettensucheStarten(Variante(u"Adressen"), Variante(u"Einzeln"));
        einzelnCpu = Rechenzeit(RUSAGE_SELF) - cpu;
        if (gAbbruch || gFehlerAbbruch) {
            std::fprintf(stderr, "the search was cancelled\n");
            return 1;
        }
        einzeln = Durchlaufzeit(fenster);
        fenster.status.clear();
        SuchArbeiter = kerne;
    }
    start = Uhr::now();
    const double haupt = Rechenzeit(RUSAGE_THREAD), alle = Rechenzeit(RUSAGE_SELF);
    DublettensucheStarten(Variante(u"Adressen"), Variante(u"Ergebnis"));
    const auto ende = Uhr::now();
    hauptCpu = Rechenzeit(RUSAGE_THREAD) - haupt;
    alleCpu = Rechenzeit(RUSAGE_SELF) - alle;
    const double suche = Sekunden(start, ende);
    if (gAbbruch || gFehlerAbbruch) {
        std::fprintf(stderr, "the search was cancelled\n");
        return 1;
    }
    auto rs = gDatenbank->OpenRecordset(u"Ergebnis");
    if (!rs->EOF_()) rs->MoveLast();
    const int32_t ergebnis = rs->RecordCount();
    rs->Close();
    if (voll && Tabelleninhalt(u"Einzeln") != Tabelleninhalt(u"Ergebnis")) {
        std::fprintf(stderr, "full mode on %d workers gave another result than on one\n", kerne);
        return 1;
    }
    const auto schließen = Uhr::now();
    DatenbankSchließen(gDatenbank);
    const double zurück = Sekunden(schließen, Uhr::now());

    // Phases by the status texts the search writes.
    struct Phase {
        const char* name;
        const char16_t* anfang;
    };
    const Phase phasen[] = {{"buffer", u"Bereite Tabelle auf Vergleich vor"},
                            {"pass", u"Tabelle öffnen ..."},
                            {"evaluation", u"Auswertung der gefundenen Dubletten ..."},
                            {"review", u"Bereite Anzeige der Ergebnisse vor ..."}};
    std::vector<std::pair<std::string, Uhr::time_point>> marken;
    int pass = 0;
    for (const auto& [zeit, text] : fenster.status)
        for (const auto& ph : phasen)
            if (text.rfind(ph.anfang, 0) == 0) {
                std::string name = ph.name;
                if (name == "pass") name += " " + std::to_string(++pass);
                marken.emplace_back(name, zeit);
            }
    marken.emplace_back("corrected table", fenster.durchsicht);
    marken.emplace_back("end", ende);

    std::printf("records: %d (%.0f %% near copies), result: %d records\n", n, anteil * 100, ergebnis);
    std::printf("filling the table: %.2f s\n", füllen);
    if (format != "native")
        std::printf("format %s: writing the file %.2f s, opening it %.2f s (tables mirrored in on first use)\n",
                    format.c_str(), ausgeben, öffnen);
    for (size_t i = 0; i + 1 < marken.size(); ++i)
        std::printf("  %-16s %8.2f s\n", marken[i].first.c_str(), Sekunden(marken[i].second, marken[i + 1].second));
    std::printf("search in all: %.2f s, records in groups: %d\n", suche, gAnzahlDubletten);
    std::printf("closing (%s): %.2f s\n", format == "native" ? "checkpoint" : "write-back", zurück);
    const double bloß = Vergleichslauf(pfad, n, false), früher = Vergleichslauf(pfad, n, true);
    rusage r{};
    getrusage(RUSAGE_SELF, &r);
    std::printf("bare sorted reads (3 passes): %.2f s\n", bloß);
    std::printf("peak memory: %.1f MiB\n", static_cast<double>(r.ru_maxrss) / 1024.0);
    std::printf("bare sorted reads with the collation of the earlier figures: %.2f s (ratio %.2f)\n", früher,
                suche / früher);
    std::printf("search/bare-sort ratio: %.2f at %d records\n", suche / bloß, n);
    if (voll) {
        const double mehrere = Durchlaufzeit(fenster);
        std::printf("full mode passes: %.2f s on one worker, %.2f s on %d (same result)\n", einzeln, mehrere, kerne);
        std::printf("full mode CPU of the whole search: %.2f s on one worker; on %d: %.2f s, %.2f s of it on the "
                    "calling thread\n",
                    einzelnCpu, kerne, alleCpu, hauptCpu);
        std::printf("full mode speedup: %.2f on %d cores\n", einzeln / mehrere, kerne);
    }
    std::filesystem::remove_all(ordner);
    return 0;
}
