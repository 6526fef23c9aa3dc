// Write-back safety of the file drivers: a write-back killed at any step leaves the
// user's files as they were or complete and new, once the next open has run; a file
// another program changed is not overwritten; read-only files and folders open read-only.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "common/AlsNobody.h"
#include "common/Dateiinhalt.h"
#include "common/Rueckschrift.h"
#include "common/TempVerzeichnis.h"
#include "platform/basic/Fehler.h"
#include "platform/dao/Dao.h"
#include "platform/dao/storage/Dateisatz.h"
#include "platform/dao/storage/dbase/DbaseTreiber.h"
#include "platform/dao/storage/excel/ExcelTreiber.h"

namespace fs = std::filesystem;
using namespace dao::speicher;
using Zeilen = std::vector<std::vector<Variante>>;

namespace {

std::vector<std::string> dateien(const std::string& ordner) {
    std::vector<std::string> n;
    for (const auto& e : fs::directory_iterator(ordner)) n.push_back(e.path().filename().string());
    std::sort(n.begin(), n.end());
    return n;
}
bool hatZwischendateien(const std::string& ordner) {
    for (const auto& n : dateien(ordner))
        if (n.rfind(".purivo-", 0) == 0) return true;
    return false;
}

TabellenBeschreibung memotabelle(Text name) {
    TabellenBeschreibung t;
    t.name = std::move(name);
    t.felder = {feld(u"nr", dao::dbLong, 4), feld(u"notiz", dao::dbMemo)};
    return t;
}
// Rows whose memos differ in length, so that old block numbers over a new memo file show.
Zeilen memozeilen(const std::string& stand, int n) {
    Zeilen z;
    for (int i = 1; i <= n; ++i)
        z.push_back({Variante(int32_t{i}), Variante(ausUtf8(stand + std::string(static_cast<size_t>(i * 300), 'x')))});
    return z;
}
std::string zeilenText(Speichertreiber& t, TextSicht name) {
    const Struktur s = t.StrukturLesen();
    for (const auto& b : s.tabellen)
        if (dao::NamenSchlüssel(b.name) == dao::NamenSchlüssel(name)) {
            std::string text;
            t.ZeilenLesen(b, [&](const std::vector<Variante>& z) {
                for (const auto& v : z) text += nachUtf8(v.alsText()) + "|";
                text += "\n";
            });
            return text;
        }
    return "<fehlt>";
}

template <class F>
void erwarteFehler(F&& f, int32_t nummer, const std::string& datei, const std::string& was = {}) {
    try {
        f();
        ADD_FAILURE() << "kein Fehler, erwartet: " << nummer << " " << was;
    } catch (const LaufzeitFehler& e) {
        EXPECT_EQ(e.Nummer(), nummer) << e.what();
        EXPECT_NE(std::string(e.what()).find(datei), std::string::npos) << e.what();
        EXPECT_NE(std::string(e.what()).find(was), std::string::npos) << e.what();
    }
}

// Runs `arbeit` in a child process that ends at once when the write-back reaches its
// `nach`-th step (counted from 1), as a kill there would; true when it ended so.
bool GetötetNach(int nach, const std::function<void()>& arbeit) {
    const pid_t kind = ::fork();
    if (kind == 0) {
        int schritt = 0;
        gSchreibHaken = [&](std::string_view) {
            if (++schritt == nach) ::_exit(42);
        };
        try {
            arbeit();
        } catch (...) {
            ::_exit(1);
        }
        ::_exit(0);
    }
    int status = 0;
    ::waitpid(kind, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 42;
}

}  // namespace

// Two tables with memo files change at one write-back; killed after each of its steps,
// the next open finds both tables old or both new, every memo with its own record.
TEST(Dateisatz, EinGetöteterZurückschriebWirdBeimNächstenÖffnenVollendetOderVerworfen) {
    TempVerzeichnis t;
    {
        auto d = dbase::TreiberÖffnen(ausUtf8(t.pfad()), false);
        d->StrukturLesen();
        Rückschrift r;
        r.tabellen.push_back(eintrag(memotabelle(u"kunden"), Rückschrift::Zustand::neu, u"", memozeilen("alt", 3)));
        r.tabellen.push_back(eintrag(memotabelle(u"orte"), Rückschrift::Zustand::neu, u"", memozeilen("alt", 2)));
        d->Schreiben(r);
    }
    const std::string vorher = t.pfad() + ".vorher";
    fs::copy(t.pfad(), vorher);
    struct Ordner {
        std::string pfad;
        ~Ordner() { fs::remove_all(pfad); }
    } aufräumen{vorher};
    auto zurücksetzen = [&] {
        for (const auto& n : dateien(t.pfad())) fs::remove(t / n);
        for (const auto& n : dateien(vorher)) fs::copy(vorher + "/" + n, t / n);
    };
    auto neuSchreiben = [&] {
        auto d = dbase::TreiberÖffnen(ausUtf8(t.pfad()), false);
        d->StrukturLesen();
        Rückschrift r;
        r.tabellen.push_back(
            eintrag(memotabelle(u"kunden"), Rückschrift::Zustand::geändert, u"kunden", memozeilen("neu", 1)));
        r.tabellen.push_back(
            eintrag(memotabelle(u"orte"), Rückschrift::Zustand::geändert, u"orte", memozeilen("neu", 4)));
        d->Schreiben(r);
    };
    std::string alt, neu;
    {
        auto d = dbase::TreiberÖffnen(ausUtf8(t.pfad()), false);
        alt = zeilenText(*d, u"kunden") + zeilenText(*d, u"orte");
    }
    neuSchreiben();
    {
        auto d = dbase::TreiberÖffnen(ausUtf8(t.pfad()), false);
        neu = zeilenText(*d, u"kunden") + zeilenText(*d, u"orte");
    }
    ASSERT_NE(alt, neu);
    EXPECT_FALSE(hatZwischendateien(t.pfad())) << "after a normal run";

    // Steps: 4 temporary files, the journal, 4 renames, "fertig".
    int getötet = 0;
    for (int nach = 1; nach <= 10; ++nach) {
        SCOPED_TRACE("kill after step " + std::to_string(nach));
        zurücksetzen();
        if (!GetötetNach(nach, neuSchreiben)) continue;
        ++getötet;
        auto d = dbase::TreiberÖffnen(ausUtf8(t.pfad()), false);  // recovers
        const std::string jetzt = zeilenText(*d, u"kunden") + zeilenText(*d, u"orte");
        EXPECT_EQ(jetzt, nach <= 4 ? alt : neu);
        EXPECT_FALSE(hatZwischendateien(t.pfad()));
        EXPECT_EQ(dateien(t.pfad()), (std::vector<std::string>{"kunden.dbf", "kunden.dbt", "orte.dbf", "orte.dbt"}));
    }
    EXPECT_EQ(getötet, 10);
}

// Temporary files of a write-back that never committed go at the next open, also in the
// folder of a workbook; files of a live writer and the user's own files stay.
TEST(Dateisatz, ZurückgelasseneZwischendateienWerdenEntfernt) {
    TempVerzeichnis t;
    schreiben(t / ".purivo-999999999-1.tmp", "halb");  // no such process
    schreiben(t / ".purivo-1-7.tmp", "init lebt");     // process 1 is alive: another writer
    schreiben(t / ".versteckt.tmp", "des Benutzers");
    schreiben(t / "notiz.purivo-1.tmp", "des Benutzers");
    {
        auto d = dbase::TreiberÖffnen(ausUtf8(t.pfad()), false);
        EXPECT_TRUE(d->StrukturLesen().tabellen.empty());
    }
    EXPECT_EQ(dateien(t.pfad()), (std::vector<std::string>{".purivo-1-7.tmp", ".versteckt.tmp", "notiz.purivo-1.tmp"}));

    fs::copy_file(std::string(PURIVO_FIXTURES) + "/excel/Test97.xls", t / "m.xls");
    schreiben(t / ".purivo-999999999-2.tmp", "halb");
    auto m = excel::TreiberÖffnen(ausUtf8(t / "m.xls"), false);
    EXPECT_FALSE(fs::exists(t / ".purivo-999999999-2.tmp"));
}

// Before a file is replaced or removed, it must still be the one that was read.
TEST(Dateisatz, EineVonAndererSeiteGeänderteDateiWirdNichtÜberschrieben) {
    enum class Fremd { inPlatzGeändert, ersetztGleicheGröße, gelöscht, neuAngelegt };
    for (const Fremd fall : {Fremd::inPlatzGeändert, Fremd::ersetztGleicheGröße, Fremd::gelöscht, Fremd::neuAngelegt}) {
        SCOPED_TRACE(static_cast<int>(fall));
        TempVerzeichnis t;
        {
            auto d = dbase::TreiberÖffnen(ausUtf8(t.pfad()), false);
            d->StrukturLesen();
            Rückschrift r;
            r.tabellen.push_back(eintrag(memotabelle(u"kunden"), Rückschrift::Zustand::neu, u"", memozeilen("alt", 2)));
            d->Schreiben(r);
        }
        auto d = dbase::TreiberÖffnen(ausUtf8(t.pfad()), false);
        zeilenText(*d, u"kunden");
        const std::string dbf = t / "kunden.dbf";
        std::string fremd = lesen(dbf);
        std::string ziel = dbf;
        struct stat st {};
        ::stat(dbf.c_str(), &st);
        switch (fall) {
            case Fremd::inPlatzGeändert: {
                fremd[fremd.size() - 2] = 'y';
                std::fstream f(dbf, std::ios::in | std::ios::out | std::ios::binary);
                f.seekp(static_cast<std::streamoff>(fremd.size() - 2));
                f.put('y');
                break;
            }
            case Fremd::ersetztGleicheGröße: {
                // Same size and time, but another file: only the inode tells.
                schreiben(t / "neu", fremd);
                const struct timespec zeiten[2] = {st.st_atim, st.st_mtim};
                ::utimensat(AT_FDCWD, (t / "neu").c_str(), zeiten, 0);
                fs::rename(t / "neu", dbf);
                break;
            }
            case Fremd::gelöscht: fs::remove(dbf); break;
            case Fremd::neuAngelegt:
                ziel = t / "orte.dbf";
                schreiben(ziel, fremd = "von anderswo");
                break;
        }
        Rückschrift r;
        r.tabellen.push_back(
            eintrag(memotabelle(u"kunden"), Rückschrift::Zustand::geändert, u"kunden", memozeilen("neu", 1)));
        if (fall == Fremd::neuAngelegt)
            r.tabellen.push_back(eintrag(memotabelle(u"orte"), Rückschrift::Zustand::neu, u"", memozeilen("neu", 1)));
        erwarteFehler([&] { d->Schreiben(r); }, 3197, ziel, "anderen Programm");
        if (fall != Fremd::gelöscht) {
            EXPECT_TRUE(lesen(ziel) == fremd) << "overwritten";
        }
        EXPECT_FALSE(hatZwischendateien(t.pfad()));
    }

    // The workbook alike: another program saved it after it was read.
    TempVerzeichnis t;
    const std::string xls = t / "m.xls";
    fs::copy_file(std::string(PURIVO_FIXTURES) + "/excel/Test97.xls", xls);
    auto m = excel::TreiberÖffnen(ausUtf8(xls), false);
    const Struktur s = m->StrukturLesen();
    std::string fremd = lesen(xls);
    schreiben(t / "neu", fremd);
    fs::rename(t / "neu", xls);
    Rückschrift r;
    for (const auto& b : s.tabellen) r.tabellen.push_back(eintrag(b, Rückschrift::Zustand::unverändert, b.name, {}));
    TabellenBeschreibung neu;
    neu.name = u"Neu";
    neu.felder = {feld(u"a", dao::dbText, 10)};
    r.tabellen.push_back(eintrag(neu, Rückschrift::Zustand::neu, u"", {{Variante(u"x")}}));
    erwarteFehler([&] { m->Schreiben(r); }, 3197, xls, "anderen Programm");
    EXPECT_TRUE(lesen(xls) == fremd) << "overwritten";
}

// Read-only by the mode bits (as root, who could write anyway) and by the process's rights
// (as nobody): the driver says so, names the file, and a write-back is refused with 3027.
TEST(Dateisatz, SchreibgeschützteDateienUndOrdnerÖffnenNurLesend) {
    TempVerzeichnis t;
    ::chmod(t.pfad().c_str(), 0777);
    const std::string ordnerDbf = t / "dbf", ordnerXls = t / "xls";
    fs::create_directories(ordnerDbf);
    fs::create_directories(ordnerXls);
    {
        auto d = dbase::TreiberÖffnen(ausUtf8(ordnerDbf), false);
        d->StrukturLesen();
        Rückschrift r;
        r.tabellen.push_back(eintrag(memotabelle(u"kunden"), Rückschrift::Zustand::neu, u"", memozeilen("alt", 2)));
        d->Schreiben(r);
    }
    const std::string xls = ordnerXls + "/m.xls";
    fs::copy_file(std::string(PURIVO_FIXTURES) + "/excel/Test97.xls", xls);

    struct Fall {
        const char* name;
        std::string datei;  // chmod'ed
        mode_t modus;
        bool excel;
        bool alsNobody;
        std::string genannt;  // in the reason
    };
    const std::vector<Fall> fälle = {
        {"dbf 0444", ordnerDbf + "/kunden.dbf", 0444, false, false, ordnerDbf + "/kunden.dbf"},
        {"dbt 0444", ordnerDbf + "/kunden.dbt", 0444, false, false, ordnerDbf + "/kunden.dbt"},
        {"dBase folder 0555", ordnerDbf, 0555, false, false, ordnerDbf},
        {"xls 0444", xls, 0444, true, false, xls},
        {"Excel folder 0555", ordnerXls, 0555, true, false, xls},
        {"dBase folder of root, as nobody", ordnerDbf, 0755, false, true, ordnerDbf},
        {"dbf of root in an open folder, as nobody", ordnerDbf + "/kunden.dbf", 0644, false, true,
         ordnerDbf + "/kunden.dbf"},
        {"xls of root in an open folder, as nobody", xls, 0644, true, true, xls},
        {"Excel folder of root, as nobody", ordnerXls, 0755, true, true, xls},
    };
    for (const Fall& f : fälle) {
        SCOPED_TRACE(f.name);
        for (const auto& p : {ordnerDbf, ordnerXls}) ::chmod(p.c_str(), f.alsNobody ? 0777 : 0755);
        for (const auto& p : {ordnerDbf + "/kunden.dbf", ordnerDbf + "/kunden.dbt", xls}) ::chmod(p.c_str(), 0666);
        ::chmod(f.datei.c_str(), f.modus);
        const std::string vorherDbf = lesen(ordnerDbf + "/kunden.dbf"), vorherXls = lesen(xls);
        auto prüfen = [&]() -> int {
            auto d =
                f.excel ? excel::TreiberÖffnen(ausUtf8(xls), false) : dbase::TreiberÖffnen(ausUtf8(ordnerDbf), false);
            const Struktur s = d->StrukturLesen();
            if (d->Schreibbar()) return 10;
            if (nachUtf8(d->SchreibschutzGrund()).find(f.genannt) == std::string::npos) return 11;
            Rückschrift r;
            for (const auto& b : s.tabellen)
                r.tabellen.push_back(eintrag(b, Rückschrift::Zustand::unverändert, b.name, {}));
            r.tabellen.push_back(eintrag(memotabelle(u"neu"), Rückschrift::Zustand::neu, u"", memozeilen("neu", 1)));
            try {
                d->Schreiben(r);
                return 12;
            } catch (const LaufzeitFehler& e) {
                if (e.Nummer() != 3027) return 13;
            }
            // The engine over the driver refuses the first change with its read-only error.
            auto ws = dao::CreateWorkspace(u"", u"admin", u"");
            auto db = ws->OpenDatabase(std::move(d), u"x", false);
            try {
                db->Execute(u"DELETE * FROM [" + s.tabellen.front().name + u"]");
                return 14;
            } catch (const LaufzeitFehler& e) {
                if (e.Nummer() != 3027) return 15;
            }
            return 0;
        };
        if (f.alsNobody) {
            // Files and folders of root, which nobody may read but not write.
            for (const auto& p : {ordnerDbf, ordnerXls}) ::chmod(p.c_str(), 0755);
            ::chmod(t.pfad().c_str(), 0755);
            if (f.modus == 0755) ::chmod(f.datei.c_str(), 0755);
            else {  // the file is root's, the folder open to all
                ::chmod(f.excel ? ordnerXls.c_str() : ordnerDbf.c_str(), 0777);
                if (!f.excel) ::chmod((ordnerDbf + "/kunden.dbt").c_str(), 0666);
                ::chmod(f.datei.c_str(), 0644);
            }
            if (::geteuid() != 0) GTEST_FAIL() << "needs root to switch to nobody";
            EXPECT_EQ(AlsNobody(prüfen), 0);
            ::chmod(t.pfad().c_str(), 0777);
        } else {
            EXPECT_EQ(prüfen(), 0);
        }
        EXPECT_TRUE(lesen(ordnerDbf + "/kunden.dbf") == vorherDbf) << "table changed";
        EXPECT_TRUE(lesen(xls) == vorherXls) << "workbook changed";
        EXPECT_EQ(dateien(ordnerDbf), (std::vector<std::string>{"kunden.dbf", "kunden.dbt"}));
    }
}

// A write-back that fails in this process (a full disk, say) leaves the files as they were
// and no temporary file before its commit; after it, the next open completes the set.
TEST(Dateisatz, EinFehlschlagImProzessLässtNichtsZurück) {
    for (int nach = 1; nach <= 10; ++nach) {
        SCOPED_TRACE("fails after step " + std::to_string(nach));
        TempVerzeichnis t;
        {
            auto d = dbase::TreiberÖffnen(ausUtf8(t.pfad()), false);
            d->StrukturLesen();
            Rückschrift r;
            r.tabellen.push_back(eintrag(memotabelle(u"a"), Rückschrift::Zustand::neu, u"", memozeilen("alt", 2)));
            r.tabellen.push_back(eintrag(memotabelle(u"b"), Rückschrift::Zustand::neu, u"", memozeilen("alt", 3)));
            d->Schreiben(r);
        }
        auto d = dbase::TreiberÖffnen(ausUtf8(t.pfad()), false);
        const std::string alt = zeilenText(*d, u"a") + zeilenText(*d, u"b");
        int schritt = 0;
        gSchreibHaken = [&](std::string_view) {
            if (++schritt == nach) dao::FehlerAuslösen(3043, u"Auf dem Datenträger ist kein Platz mehr.");
        };
        Rückschrift r;
        r.tabellen.push_back(eintrag(memotabelle(u"a"), Rückschrift::Zustand::geändert, u"a", memozeilen("neu", 4)));
        r.tabellen.push_back(eintrag(memotabelle(u"b"), Rückschrift::Zustand::geändert, u"b", memozeilen("neu", 1)));
        EXPECT_THROW(d->Schreiben(r), LaufzeitFehler);
        gSchreibHaken = nullptr;
        if (nach <= 4) {
            EXPECT_FALSE(hatZwischendateien(t.pfad()));
        }
        auto wieder = dbase::TreiberÖffnen(ausUtf8(t.pfad()), false);
        const std::string jetzt = zeilenText(*wieder, u"a") + zeilenText(*wieder, u"b");
        EXPECT_EQ(jetzt == alt, nach <= 4) << jetzt;
        EXPECT_FALSE(hatZwischendateien(t.pfad()));
    }
}

// A native file marked read-only refuses an open for writing also for root, as it does
// for every other user; read-only it opens.
TEST(Dateisatz, SchreibgeschützteNativeDateiAuchFürRoot) {
    TempVerzeichnis t;
    const std::string pfad = t / "n.db";
    auto ws = dao::CreateWorkspace(u"", u"admin", u"");
    ws->CreateDatabase(ausUtf8(pfad))->Close();
    ::chmod(pfad.c_str(), 0444);
    const std::string vorher = lesen(pfad);
    erwarteFehler([&] { ws->OpenDatabase(ausUtf8(pfad)); }, 3051, pfad, "schreibgeschützt");
    auto db = ws->OpenDatabase(ausUtf8(pfad), false, true);
    db->Close();
    EXPECT_TRUE(lesen(pfad) == vorher);
}
