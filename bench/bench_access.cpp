// The Access writer: a generated address table of N rows (default 100 000) written as a
// new table into a copy of a Jet 4 file through the driver's write-back. Times the
// write-back alone (building the rows and reading them back are outside) and checks
// the table reads back with its row count.
// Then the file is grown to 100 MB and the write-back of one new 10 000-row table is
// timed against copying the file (read, write, sync; the best of three each).
//   bench_access [N] [file.mdb]   (default: the shared fixture empty.mdb)
#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "Adressen.h"
#include "platform/basic/Fehler.h"
#include "platform/dao/Dao.h"
#include "platform/dao/storage/access/AccessTreiber.h"

namespace fs = std::filesystem;
using namespace dao::speicher;
using Uhr = std::chrono::steady_clock;

int main(int argc, char** argv) {
    const long n = argc > 1 ? std::atol(argv[1]) : 100000;
    const std::string vorlage = argc > 2 ? argv[2] : std::string(PURIVO_SHARED) + "/fixtures/access/empty.mdb";
    std::string ordner = (fs::temp_directory_path() / "bench_access_XXXXXX").string();
    if (!mkdtemp(ordner.data())) return 1;
    const std::string pfad = ordner + "/ziel.mdb";
    fs::copy_file(vorlage, pfad);
    fs::permissions(pfad, fs::perms::owner_read | fs::perms::owner_write);

    TabellenBeschreibung b;
    b.name = u"Adressen";
    const std::pair<const char16_t*, int32_t> texte[] = {
        {u"Firma", 80}, {u"Straße", 60}, {u"PLZ", 10}, {u"Ort", 60}, {u"Telefon", 30}};
    FeldBeschreibung nr;
    nr.name = u"KundenNr";
    nr.typ = dao::dbLong;
    nr.größe = 4;
    b.felder.push_back(nr);
    for (const auto& [name, größe] : texte) {
        FeldBeschreibung f;
        f.name = name;
        f.typ = dao::dbText;
        f.größe = größe;
        b.felder.push_back(f);
    }
    b.indizes.push_back({u"PrimaryKey", {u"KundenNr"}, true, true});
    b.indizes.push_back({u"PLZ", {u"PLZ"}, false, false});

    std::mt19937 z(20261211);
    std::vector<std::vector<Variante>> zeilen;
    zeilen.reserve(static_cast<size_t>(n));
    for (long i = 1; i <= n; ++i) {
        const bench::Adresse a = bench::Neu(z);
        zeilen.push_back({Variante(static_cast<int32_t>(i)), Variante(a.firma), Variante(a.straße), Variante(a.plz),
                          Variante(a.ort), a.telefon.empty() ? Variante::Null() : Variante(a.telefon)});
    }
    // A write-back that adds the table under `name` with the first `anzahl` rows.
    const auto neueTabelle = [&](const Text& name, size_t anzahl) {
        Rückschrift r;
        Rückschrift::Tabelle t;
        t.beschreibung = b;
        t.beschreibung.name = name;
        t.zustand = Rückschrift::Zustand::neu;
        t.zeilen = [&zeilen, anzahl](const Zeilenziel& ziel) {
            for (size_t i = 0; i < anzahl && i < zeilen.size(); ++i) ziel(zeilen[i]);
        };
        r.tabellen.push_back(t);
        return r;
    };
    const Rückschrift r = neueTabelle(b.name, zeilen.size());

    try {
        auto treiber = access::TreiberÖffnen(ausUtf8(pfad), u"", false);
        const auto start = Uhr::now();
        treiber->Schreiben(r);
        const double sekunden = std::chrono::duration<double>(Uhr::now() - start).count();
        long gelesen = 0;
        for (const auto& tab : treiber->StrukturLesen().tabellen)
            if (tab.name == b.name) treiber->ZeilenLesen(tab, [&](const std::vector<Variante>&) { ++gelesen; });
        if (gelesen != n) {
            std::fprintf(stderr, "read back %ld rows instead of %ld\n", gelesen, n);
            return 1;
        }
        std::printf("file: %.1f MB after the write-back\n", static_cast<double>(fs::file_size(pfad)) / 1e6);
        std::printf("write-back: %.3f s for %ld rows\n", sekunden, n);
        std::printf("access write rows per second: %.0f\n", static_cast<double>(n) / sekunden);

        for (int k = 1; fs::file_size(pfad) < 100000000; ++k)
            treiber->Schreiben(neueTabelle(u"Bestand " + ausUtf8(std::to_string(k)), zeilen.size()));
        const auto größe = fs::file_size(pfad);
        double kopie = 1e9, rückschrift = 1e9;
        for (int versuch = 0; versuch < 3; ++versuch) {
            const auto anfang = Uhr::now();
            {
                std::ifstream ein(pfad, std::ios::binary);
                std::string inhalt(größe, '\0');
                if (!ein.read(inhalt.data(), static_cast<std::streamsize>(größe))) return 1;
                const int fd = ::open((ordner + "/kopie.mdb").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
                if (fd < 0 || ::write(fd, inhalt.data(), inhalt.size()) != static_cast<ssize_t>(inhalt.size()) ||
                    ::fsync(fd) != 0)
                    return 1;
                ::close(fd);
            }
            kopie = std::min(kopie, std::chrono::duration<double>(Uhr::now() - anfang).count());
            fs::remove(ordner + "/kopie.mdb");
            const auto los = Uhr::now();
            treiber->Schreiben(neueTabelle(u"Ergebnis " + ausUtf8(std::to_string(versuch)), 10000));
            rückschrift = std::min(rückschrift, std::chrono::duration<double>(Uhr::now() - los).count());
        }
        std::printf("file of %.1f MB: copy %.3f s, write-back of 10 000 rows %.3f s\n",
                    static_cast<double>(größe) / 1e6, kopie, rückschrift);
        std::printf("write-back / copy: %.2f (goal <= 3)\n", rückschrift / kopie);
    } catch (const LaufzeitFehler& e) {
        std::fprintf(stderr, "error %d: %s\n", e.Nummer(), nachUtf8(e.Beschreibung()).c_str());
        return 1;
    }
    fs::remove_all(ordner);
    return 0;
}
