#include "platform/dao/storage/dbase/DbaseTreiber.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <ctime>
#include <cstring>
#include <map>
#include <set>

#include "platform/dao/Dao.h"
#include "platform/dao/DaoFehler.h"
#include "platform/dao/storage/dbase/DbfDatei.h"

namespace dao::speicher::dbase {
namespace {

std::string klein(std::string s) {
    for (char& c : s)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
    return s;
}

Text systemFehler() { return ausUtf8(std::strerror(errno)); }

// The whole file, or its first `max` bytes; `größe` receives the file's length.
std::string DateiLesen(const std::string& pfad, uint64_t& größe, size_t max = SIZE_MAX) {
    const int fd = ::open(pfad.c_str(), O_RDONLY | O_CLOEXEC);
    struct stat st {};
    if (fd < 0 || ::fstat(fd, &st) != 0) {
        const Text grund = systemFehler();
        if (fd >= 0) ::close(fd);
        FehlerAuslösen(kFehlerEinAusgabe, u"Die Datei '" + ausUtf8(pfad) + u"' kann nicht gelesen werden (" + grund + u").");
    }
    größe = static_cast<uint64_t>(st.st_size);
    std::string d(static_cast<size_t>(std::min<uint64_t>(größe, max)), '\0');
    size_t gelesen = 0;
    while (gelesen < d.size()) {
        const ssize_t n = ::read(fd, d.data() + gelesen, d.size() - gelesen);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            const Text grund = systemFehler();
            ::close(fd);
            FehlerAuslösen(kFehlerEinAusgabe, u"Die Datei '" + ausUtf8(pfad) + u"' kann nicht gelesen werden (" + grund + u").");
        }
        if (n == 0) break;
        gelesen += static_cast<size_t>(n);
    }
    ::close(fd);
    d.resize(gelesen);
    return d;
}

[[noreturn]] void SchreibFehler(const std::string& pfad) {
    FehlerAuslösen(kFehlerEinAusgabe,
                   u"Die Datei '" + ausUtf8(pfad) + u"' kann nicht geschrieben werden (" + systemFehler() + u").");
}

// Temporary files beside their targets; those not yet renamed are removed when it goes out of scope.
class Zwischendateien {
public:
    explicit Zwischendateien(std::string ordner) : ordner_(std::move(ordner)) {}
    ~Zwischendateien() {
        for (const auto& p : offen_) ::unlink(p.c_str());
    }
    // Writes `inhalt` to a new temporary file (with the mode of `ziel` when it exists).
    std::string Schreiben(const std::string& ziel, const std::string& inhalt) {
        struct stat st {};
        const bool gibt = ::stat(ziel.c_str(), &st) == 0;
        std::string pfad;
        int fd = -1;
        for (int versuch = 0; fd < 0; ++versuch) {
            pfad = ordner_ + "/.purivo-" + std::to_string(::getpid()) + "-" + std::to_string(++zähler_) + ".tmp";
            fd = ::open(pfad.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
            if (fd < 0 && (errno != EEXIST || versuch > 100)) SchreibFehler(pfad);
        }
        offen_.push_back(pfad);
        if (gibt) ::fchmod(fd, st.st_mode & 07777);
        size_t geschrieben = 0;
        while (geschrieben < inhalt.size()) {
            const ssize_t n = ::write(fd, inhalt.data() + geschrieben, inhalt.size() - geschrieben);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) {
                ::close(fd);
                SchreibFehler(ziel);
            }
            geschrieben += static_cast<size_t>(n);
        }
        if (::fsync(fd) != 0) {
            ::close(fd);
            SchreibFehler(ziel);
        }
        if (::close(fd) != 0) SchreibFehler(ziel);
        return pfad;
    }
    void Umbenennen(const std::string& temp, const std::string& ziel) {
        if (::rename(temp.c_str(), ziel.c_str()) != 0) SchreibFehler(ziel);
        offen_.erase(std::remove(offen_.begin(), offen_.end(), temp), offen_.end());
    }

private:
    std::string ordner_;
    std::vector<std::string> offen_;
    uint64_t zähler_ = 0;
};

struct Eintrag {
    Text name;  // the file's name without extension, as on disk
    std::string dbf, memo, cpg;  // paths; "" when there is no such file
    std::string codepage;
    DbfKopf kopf;
    double geändert = 0;  // the file's time as a date value
};

double DatumAusZeit(std::time_t zeit) {
    std::tm tm{};
    if (!localtime_r(&zeit, &tm)) return 0;
    using namespace std::chrono;
    const sys_days tag{year{tm.tm_year + 1900} / (tm.tm_mon + 1) / tm.tm_mday};
    const double tage = static_cast<double>((tag - sys_days{year{1899} / 12 / 30}).count());
    return tage + (tm.tm_hour * 3600 + tm.tm_min * 60 + tm.tm_sec) / 86400.0;
}

DbfFeld Standardfeld(const FeldBeschreibung& f) {
    DbfFeld d;
    d.name = f.name;
    switch (f.typ) {
    case dbText:
        d.typ = 'C';
        d.breite = static_cast<uint16_t>(std::clamp(f.größe > 0 ? f.größe : 50, 1, 254));
        break;
    case dbBoolean: d.typ = 'L'; d.breite = 1; break;
    case dbByte: d.typ = 'N'; d.breite = 3; break;
    case dbInteger: d.typ = 'N'; d.breite = 6; break;
    case dbLong: d.typ = 'N'; d.breite = 11; break;
    case dbCurrency: d.typ = 'N'; d.breite = 20; d.dezimalen = 4; break;
    case dbSingle: d.typ = 'N'; d.breite = 20; d.dezimalen = 6; break;
    case dbDouble: d.typ = 'N'; d.breite = 20; d.dezimalen = 8; break;
    case dbDate:
    case dbTime: d.typ = 'D'; d.breite = 8; break;
    default: d.typ = 'M'; d.breite = 10; break;  // Memo and what has no dBase form
    }
    return d;
}

class DbaseTreiber final : public Speichertreiber {
public:
    DbaseTreiber(std::string ordner, bool nurLesen) : ordner_(std::move(ordner)), nurLesen_(nurLesen) {
        struct stat st {};
        if (ordner_.empty() || ::stat(ordner_.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
            FehlerAuslösen(kFehlerPfad, u"'" + ausUtf8(ordner_) +
                                            u"' ist kein zulässiger Pfad. Stellen Sie sicher, dass der Pfad richtig "
                                            u"geschrieben ist und dass eine Verbindung mit dem Server besteht, auf dem "
                                            u"sich die Datei befindet.");
        while (ordner_.size() > 1 && ordner_.back() == '/') ordner_.pop_back();
    }

    Struktur StrukturLesen() override {
        auflisten();
        Struktur s;
        for (const auto& e : tabellen_) {
            TabellenBeschreibung t;
            t.name = e.name;
            t.geändert = e.geändert;
            for (const auto& f : e.kopf.felder) {
                const JetTyp j = JetTypVon(f);
                FeldBeschreibung b;
                b.name = f.name;
                b.typ = j.typ;
                b.größe = j.größe;
                t.felder.push_back(std::move(b));  // "" and blanks are one in a dBase field
            }
            s.tabellen.push_back(std::move(t));
        }
        return s;
    }

    void ZeilenLesen(const TabellenBeschreibung& tabelle, const Zeilenziel& ziel) override {
        Eintrag* e = finden(tabelle.name);
        if (!e) FehlerAuslösen(3011, u"Das Objekt '" + tabelle.name + u"' wurde nicht gefunden.");
        const Text datei = ausUtf8(e->dbf);
        uint64_t größe = 0;
        const std::string daten = DateiLesen(e->dbf, größe);
        const Zeichensatz zs(e->codepage);
        e->kopf = KopfLesen(daten, größe, datei, zs);  // the file as it is now
        Memodaten memo;
        std::string memoBytes;
        if (!e->memo.empty()) {
            uint64_t g = 0;
            memoBytes = DateiLesen(e->memo, g);
            memo.vorhanden = true;
            memo.daten = memoBytes;
            memo.datei = ausUtf8(e->memo);
        }
        // The engine's fields by name onto the file's.
        std::vector<size_t> quelle;
        for (const auto& f : tabelle.felder) {
            const Text k = NamenSchlüssel(f.name);
            const auto it = std::find_if(e->kopf.felder.begin(), e->kopf.felder.end(),
                                         [&](const DbfFeld& d) { return NamenSchlüssel(d.name) == k; });
            if (it == e->kopf.felder.end())
                FehlerAuslösen(3265, u"Das Feld '" + f.name + u"' fehlt in der Datei '" + datei + u"'.");
            quelle.push_back(static_cast<size_t>(it - e->kopf.felder.begin()));
        }
        std::vector<Variante> zeile(quelle.size());
        SätzeLesen(e->kopf, daten, memo, zs, datei, [&](const std::vector<Variante>& werte) {
            for (size_t i = 0; i < quelle.size(); ++i) zeile[i] = werte[quelle[i]];
            ziel(zeile);
        });
    }

    bool Schreibbar() const override { return !nurLesen_ && ::access(ordner_.c_str(), W_OK) == 0; }

    Text SchreibschutzGrund() const override {
        if (nurLesen_ || Schreibbar()) return {};
        return u"Der Ordner '" + ausUtf8(ordner_) + u"' ist schreibgeschützt; seine dBase-Tabellen können nur gelesen werden.";
    }

    void TabellennamePrüfen(TextSicht name) const override {
        const bool gut = !name.empty() && name.size() <= 8 && name.front() != u' ' &&
                         std::none_of(name.begin(), name.end(), [](char16_t c) {
                             return c < 0x20 || TextSicht(u":/\\*?[].").find(c) != TextSicht::npos;
                         });
        if (!gut)
            FehlerAuslösen(kFehlerName, u"'" + Text(name) +
                                            u"' ist kein zulässiger Name für eine dBase-Tabelle: höchstens 8 Zeichen, "
                                            u"keines von : / \\ * ? [ ] und kein Punkt.");
    }

    void Schreiben(const Rückschrift& r) override {
        if (nurLesen_) FehlerAuslösen(3027, u"Die Datenbank oder das Objekt ist schreibgeschützt.");
        struct Ersetzung {
            std::string temp, ziel;
        };
        Zwischendateien zwischen(ordner_);
        std::vector<Ersetzung> ersetzungen;  // memo and .cpg before their .dbf
        std::vector<std::string> entfernen;

        for (const auto& t : r.tabellen) {
            const Eintrag* alt = t.zustand == Rückschrift::Zustand::neu ? nullptr : finden(t.alterName);
            const bool umbenannt = alt && alt->name != t.beschreibung.name;
            if (alt && !umbenannt && t.zustand == Rückschrift::Zustand::unverändert) continue;

            const std::string stamm = ordner_ + "/" + nachUtf8(t.beschreibung.name);
            std::string dbfZiel = stamm + ".dbf", memoZiel = stamm + ".dbt";
            if (alt && !umbenannt) {
                dbfZiel = alt->dbf;  // the spelling on disk stays
                const std::string endung = dbfZiel.substr(dbfZiel.size() - 4);
                const std::string dbt = endung == ".DBF" ? ".DBT" : ".dbt";
                memoZiel = alt->memo.empty() ? dbfZiel.substr(0, dbfZiel.size() - 4) + dbt : alt->memo;
                if (klein(memoZiel).ends_with(".fpt")) memoZiel.replace(memoZiel.size() - 4, 4, dbt);  // FoxPro becomes dBase IV
            }
            const std::string codepage = alt ? alt->codepage : "windows-1252";
            const Zeichensatz zs(codepage);
            uint8_t treiber = SprachtreiberFür(codepage);
            const bool altDbase = alt && (alt->kopf.format == Format::dBase3 || alt->kopf.format == Format::dBase4);
            if (altDbase && CodepageAusSprachtreiber(alt->kopf.sprachtreiber) == codepage) treiber = alt->kopf.sprachtreiber;

            std::vector<DbfFeld> felder;
            for (const auto& f : t.beschreibung.felder) felder.push_back(feldFür(f, alt));
            DbfSchreiber s(std::move(felder), treiber, alt && alt->kopf.version == 0x83, zs, ausUtf8(dbfZiel),
                           nachUtf8(t.beschreibung.name));
            t.zeilen([&](const std::vector<Variante>& zeile) { s.Zeile(zeile); });

            if (s.HatMemo()) ersetzungen.push_back({zwischen.Schreiben(memoZiel, s.MemoBytes()), memoZiel});
            if (umbenannt && !alt->cpg.empty()) {
                uint64_t g = 0;
                const std::string cpgZiel = stamm + ".cpg";
                ersetzungen.push_back({zwischen.Schreiben(cpgZiel, DateiLesen(alt->cpg, g)), cpgZiel});
            }
            ersetzungen.push_back({zwischen.Schreiben(dbfZiel, s.DbfBytes()), dbfZiel});
            if (alt) {
                if (umbenannt) entfernen.insert(entfernen.end(), {alt->dbf, alt->cpg});
                entfernen.push_back(alt->memo);  // kept below when it was just written
            }
        }
        for (const auto& name : r.gelöscht)
            if (const Eintrag* e = finden(name)) entfernen.insert(entfernen.end(), {e->dbf, e->memo, e->cpg});

        // Every new file stands complete before the first one is renamed into place.
        std::set<std::string> geschrieben;
        for (const auto& e : ersetzungen) {
            zwischen.Umbenennen(e.temp, e.ziel);
            geschrieben.insert(e.ziel);
        }
        for (const auto& p : entfernen)
            if (!p.empty() && !geschrieben.count(p) && ::unlink(p.c_str()) != 0 && errno != ENOENT)
                FehlerAuslösen(kFehlerEinAusgabe,
                               u"Die Datei '" + ausUtf8(p) + u"' kann nicht gelöscht werden (" + systemFehler() + u").");
        if (const int fd = ::open(ordner_.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC); fd >= 0) {
            ::fsync(fd);
            ::close(fd);
        }
        auflisten();
    }

private:
    Eintrag* finden(TextSicht name) {
        const Text k = NamenSchlüssel(name);
        for (auto& e : tabellen_)
            if (NamenSchlüssel(e.name) == k) return &e;
        return nullptr;
    }
    const Eintrag* finden(TextSicht name) const { return const_cast<DbaseTreiber*>(this)->finden(name); }

    // The file's own layout for a field it had with the same type, else the standard one.
    static DbfFeld feldFür(const FeldBeschreibung& f, const Eintrag* alt) {
        if (alt) {
            const Text k = NamenSchlüssel(f.name);
            for (const auto& d : alt->kopf.felder) {
                if (NamenSchlüssel(d.name) != k) continue;
                const JetTyp j = JetTypVon(d);
                const bool writable = d.typ != 'C' || d.breite <= 254;
                if (j.typ == f.typ && writable && (f.typ != dbText || j.größe == f.größe)) {
                    DbfFeld n = d;
                    n.name = f.name;
                    if (n.typ == 'M') n.breite = 10;  // Visual FoxPro's binary block numbers become dBase's
                    return n;
                }
            }
        }
        return Standardfeld(f);
    }

    void auflisten() {
        DIR* dir = ::opendir(ordner_.c_str());
        if (!dir)
            FehlerAuslösen(kFehlerEinAusgabe,
                           u"Der Ordner '" + ausUtf8(ordner_) + u"' kann nicht gelesen werden (" + systemFehler() + u").");
        std::map<std::string, std::string> dateien;  // lower-case name -> name on disk
        std::vector<std::string> dbfs;
        while (const dirent* d = ::readdir(dir)) {
            const std::string n = d->d_name;
            if (n.empty() || n[0] == '.') continue;
            dateien.emplace(klein(n), n);
            if (n.size() > 4 && klein(n.substr(n.size() - 4)) == ".dbf") dbfs.push_back(n);
        }
        ::closedir(dir);
        std::sort(dbfs.begin(), dbfs.end(), [](const std::string& a, const std::string& b) {
            const Text ka = NamenSchlüssel(ausUtf8(a)), kb = NamenSchlüssel(ausUtf8(b));
            return ka != kb ? ka < kb : a < b;
        });
        std::vector<Eintrag> neu;
        std::set<Text> namen;
        for (const auto& n : dbfs) {
            const std::string pfad = ordner_ + "/" + n;
            struct stat st {};
            if (::stat(pfad.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) continue;
            Eintrag e;
            e.name = ausUtf8(n.substr(0, n.size() - 4));
            if (!namen.insert(NamenSchlüssel(e.name)).second) continue;  // "A.dbf" beside "a.DBF": the first one
            e.dbf = pfad;
            e.geändert = DatumAusZeit(st.st_mtime);
            const std::string stamm = klein(n.substr(0, n.size() - 4));
            auto nebendatei = [&](const char* endung) {
                const auto it = dateien.find(stamm + endung);
                return it == dateien.end() ? std::string{} : ordner_ + "/" + it->second;
            };
            const Text datei = ausUtf8(pfad);
            uint64_t größe = 0;
            const std::string kopf = DateiLesen(pfad, größe, 65536 + 68);
            const Vorkopf v = VorkopfLesen(kopf, datei);
            e.cpg = nebendatei(".cpg");
            std::string codepage;
            if (!e.cpg.empty()) {
                uint64_t g = 0;
                codepage = CodepageAusCpg(DateiLesen(e.cpg, g, 256));
            }
            e.codepage = codepage.empty() ? v.codepage : codepage;
            const Zeichensatz zs(e.codepage);
            e.codepage = zs.name();
            e.kopf = KopfLesen(kopf, größe, datei, zs);
            const bool fox = e.kopf.format == Format::FoxPro || e.kopf.format == Format::VisualFoxPro;
            e.memo = nebendatei(fox ? ".fpt" : ".dbt");
            neu.push_back(std::move(e));
        }
        tabellen_ = std::move(neu);
    }

    std::string ordner_;
    bool nurLesen_;
    std::vector<Eintrag> tabellen_;
};

}  // namespace

std::unique_ptr<Speichertreiber> TreiberÖffnen(const Text& ordner, bool nurLesen) {
    return std::make_unique<DbaseTreiber>(nachUtf8(ordner), nurLesen);
}

}  // namespace dao::speicher::dbase
