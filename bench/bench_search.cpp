// The whole duplicate search, headless, over a generated German address table of
// N records (default 10 000; give N as the argument) with a known share of near
// duplicates: quick mode, three passes, enrichment, "Fertig" in the review.
// Prints the seconds of each phase, the peak memory, and a bare reference in the
// same run: reading the table three times sorted by the passes' columns through
// plain SQLite.
#include <sqlite3.h>
#include <sys/resource.h>
#include <unicode/ucol.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "foundation/Oberflaeche.h"
#include "foundation/mdlAllgemeines.h"
#include "foundation/mdlDatenbank.h"
#include "foundation/mdlDeklarationen.h"
#include "foundation/mdlFeldtypen.h"
#include "platform/dao/Dao.h"
#include "search/mdlDublettensuche.h"

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

const char16_t* namen[] = {u"Müller", u"Schmidt", u"Schneider", u"Fischer", u"Weber", u"Meyer", u"Wagner",
                           u"Becker", u"Schulz", u"Hoffmann", u"Koch", u"Richter", u"Klein", u"Wolf",
                           u"Schröder", u"Neumann", u"Schwarz", u"Zimmermann", u"Braun", u"Krüger"};
const char16_t* branchen[] = {u"Bau", u"Druck", u"Elektro", u"Logistik", u"Immobilien", u"Consult",
                              u"Metallbau", u"Computer", u"Reisen", u"Sanitär", u"Holz", u"Optik"};
const char16_t* formen[] = {u"GmbH", u"KG", u"AG", u"GmbH & Co. KG", u"OHG", u"e.K.", u"GbR", u""};
const char16_t* straßen[] = {u"Hauptstraße", u"Bahnhofstraße", u"Lindenallee", u"Am Markt", u"Ringweg",
                             u"Goethestraße", u"Schillerplatz", u"Industriestraße", u"Gartenweg", u"Kirchgasse"};
const char16_t* orte[] = {u"Berlin", u"Hamburg", u"München", u"Köln", u"Frankfurt am Main", u"Leipzig",
                          u"Dresden", u"Stuttgart", u"Düsseldorf", u"Bremen"};

template <size_t N>
Text wahl(std::mt19937& z, const char16_t* (&liste)[N]) {
    return liste[z() % N];
}
Text ziffern(std::mt19937& z, int n) {
    Text t;
    for (int i = 0; i < n; ++i) t += static_cast<char16_t>(u'0' + z() % 10);
    return t;
}
Text silbe(std::mt19937& z) {
    static const char16_t* s[] = {u"ka", u"lo", u"mer", u"tis", u"ben", u"ra", u"nu", u"vel", u"dor", u"sin"};
    return Text(s[z() % 10]) + s[z() % 10];
}

struct Adresse {
    Text firma, straße, plz, ort, telefon;
};

Adresse Neu(std::mt19937& z) {
    Text firma = wahl(z, namen) + u" " + silbe(z) + u" " + wahl(z, branchen);
    const Text form = wahl(z, formen);
    if (!form.empty()) firma += u" " + form;
    return {firma, wahl(z, straßen) + u" " + ziffern(z, 1 + z() % 2), ziffern(z, 5), wahl(z, orte),
            u"0" + ziffern(z, 2 + z() % 2) + u"/" + ziffern(z, 6)};
}

// A copy of an address as it reaches a second system: one or two typical changes.
Adresse Variante_(std::mt19937& z, Adresse a) {
    switch (z() % 5) {
        case 0:
            if (auto p = a.straße.find(u"straße"); p != Text::npos) a.straße.replace(p, 6, u"str.");
            break;
        case 1:
            if (auto p = a.firma.find(u"GmbH"); p != Text::npos) a.firma.replace(p, 4, u"Gesellschaft mbH");
            break;
        case 2:
            if (auto p = a.telefon.find(u'/'); p != Text::npos) a.telefon.replace(p, 1, u" ");
            break;
        case 3:
            if (a.firma.size() > 4) std::swap(a.firma[2], a.firma[3]);
            break;
        default: a.ort += u" (Zentrale)"; break;
    }
    if (z() % 3 == 0) a.telefon.clear();
    return a;
}

void Anlegen(int32_t n, double anteil) {
    auto t = gDatenbank->CreateTableDef(u"Adressen");
    const struct {
        const char16_t* name;
        int16_t typ;
        int32_t größe;
    } spalten[] = {{u"KundenNr", dao::dbLong, 0}, {u"Firma", dao::dbText, 80},  {u"Straße", dao::dbText, 60},
                   {u"PLZ", dao::dbText, 10},     {u"Ort", dao::dbText, 60},    {u"Telefon", dao::dbText, 30}};
    for (const auto& s : spalten) t->Fields().Append(t->CreateField(s.name, s.typ, s.größe));
    gDatenbank->TableDefs().Append(t);
    std::mt19937 z(20261210);
    std::vector<Adresse> früher;
    gArbeitsbereich->BeginTrans();
    auto rs = gDatenbank->OpenRecordset(u"Adressen");
    for (int32_t i = 1; i <= n; ++i) {
        const bool kopie = !früher.empty() && (z() % 1000) < anteil * 1000;
        const Adresse a = kopie ? Variante_(z, früher[z() % früher.size()]) : Neu(z);
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

int Vergleich(void* c, int la, const void* a, int lb, const void* b) {
    return ucol_strcoll(static_cast<UCollator*>(c), static_cast<const UChar*>(a), la / 2,
                        static_cast<const UChar*>(b), lb / 2);
}

// The three sorted reads of the passes through plain SQLite, every column read.
double Vergleichslauf(const std::string& pfad, int32_t n) {
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(pfad.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) std::exit(1);
    UErrorCode status = U_ZERO_ERROR;
    UCollator* sortierung = ucol_open("de", &status);
    ucol_setStrength(sortierung, UCOL_SECONDARY);
    sqlite3_create_collation16(db, u"BANK", SQLITE_UTF16_ALIGNED, sortierung, Vergleich);
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
    const int32_t n = argc > 1 ? std::atoi(argv[1]) : 10000;
    const double anteil = 0.1;
    const std::filesystem::path ordner = std::filesystem::temp_directory_path() / "purivo_bench_search";
    std::filesystem::remove_all(ordner);
    std::filesystem::create_directories(ordner);
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

    gFelder1 = {{1, 1}, {2, 3}, {3, 3}, {3, 4}, {3, 8}, {5, 3}};
    auto& w = fenster.werte;
    w[{u"chkQuickSuche", -1}] = 1;
    w[{u"sdrToleranz", -1}] = 1;
    const int sortierung[3][3] = {{2, 0, 0}, {4, 3, 0}, {6, 0, 0}};
    for (int p = 0; p < 3; ++p) {
        w[{u"chkSucheDurchführen", p}] = 1;
        w[{u"sdrZeichenRichtig", p}] = 3;
        for (int j = 0; j < 3; ++j) w[{u"cbxSuchFeld", 3 * p + j}] = sortierung[p][j];
    }

    start = Uhr::now();
    DublettensucheStarten(Variante(u"Adressen"), Variante(u"Ergebnis"));
    const auto ende = Uhr::now();
    const double suche = Sekunden(start, ende);
    if (gAbbruch || gFehlerAbbruch) {
        std::fprintf(stderr, "the search was cancelled\n");
        return 1;
    }
    auto rs = gDatenbank->OpenRecordset(u"Ergebnis");
    if (!rs->EOF_()) rs->MoveLast();
    const int32_t ergebnis = rs->RecordCount();
    rs->Close();
    DatenbankSchließen(gDatenbank);

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
    for (size_t i = 0; i + 1 < marken.size(); ++i)
        std::printf("  %-16s %8.2f s\n", marken[i].first.c_str(), Sekunden(marken[i].second, marken[i + 1].second));
    std::printf("search in all: %.2f s, records in groups: %d\n", suche, gAnzahlDubletten);
    const double bloß = Vergleichslauf(pfad, n);
    rusage r{};
    getrusage(RUSAGE_SELF, &r);
    std::printf("bare sorted reads (3 passes): %.2f s\n", bloß);
    std::printf("peak memory: %.1f MiB\n", static_cast<double>(r.ru_maxrss) / 1024.0);
    std::printf("search/bare-sort ratio: %.2f at %d records\n", suche / bloß, n);
    std::filesystem::remove_all(ordner);
    return 0;
}
