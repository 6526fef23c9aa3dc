#include "platform/dao/storage/Dateisatz.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <set>

#include "platform/dao/DaoFehler.h"

namespace dao::speicher {

std::function<void(std::string_view schritt)> gSchreibHaken;

namespace {

constexpr std::string_view kPräfix = ".purivo-";
constexpr std::string_view kJournalKopf = "PURIVO-JOURNAL-1";

uint64_t Prüfsumme(std::string_view d) {
    uint64_t h = 1469598103934665603ull;  // FNV-1a
    for (unsigned char c : d) h = (h ^ c) * 1099511628211ull;
    return h;
}

Text systemFehler(int fehler) { return ausUtf8(std::strerror(fehler)); }

[[noreturn]] void SchreibFehler(const std::string& pfad, int fehler) {
    FehlerAuslösen(fehler::EinAusgabe, u"Die Datei '" + ausUtf8(pfad) + u"' kann nicht geschrieben werden (" +
                                           systemFehler(fehler) + u").");
}

// Temporary names of this process that a live Dateisatz still owns.
std::set<std::string>& inArbeit() {
    static std::set<std::string> s;
    return s;
}

uint64_t nächsteNummer() {
    static uint64_t n = 0;
    return ++n;
}

std::string name(const std::string& pfad) {
    const size_t s = pfad.rfind('/');
    return s == std::string::npos ? pfad : pfad.substr(s + 1);
}

void OrdnerSync(const std::string& ordner) {
    const int fd = ::open(ordner.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    ::fsync(fd);
    ::close(fd);
}

void Haken(std::string_view schritt) {
    if (gSchreibHaken) gSchreibHaken(schritt);
}

// A new file under a fresh temporary name, written and synced; its path.
std::string TempSchreiben(const std::string& ordner, std::string_view inhalt, const std::string& ziel,
                          const char* endung) {
    struct stat st {};
    const bool gibt = ::stat(ziel.c_str(), &st) == 0;
    std::string pfad;
    int fd = -1;
    for (int versuch = 0; fd < 0; ++versuch) {
        pfad = ordner + "/" + std::string(kPräfix) + std::to_string(::getpid()) + "-" +
               std::to_string(nächsteNummer()) + endung;
        fd = ::open(pfad.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && (errno != EEXIST || versuch > 100)) SchreibFehler(ziel, errno);
    }
    inArbeit().insert(pfad);
    auto scheitern = [&](int fehler) {
        ::close(fd);
        ::unlink(pfad.c_str());
        inArbeit().erase(pfad);
        SchreibFehler(ziel, fehler);
    };
    if (gibt) ::fchmod(fd, st.st_mode & 07777);
    size_t geschrieben = 0;
    while (geschrieben < inhalt.size()) {
        const ssize_t n = ::write(fd, inhalt.data() + geschrieben, inhalt.size() - geschrieben);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) scheitern(n < 0 ? errno : ENOSPC);
        geschrieben += static_cast<size_t>(n);
    }
    if (::fsync(fd) != 0) scheitern(errno);
    if (::close(fd) != 0) {
        const int fehler = errno;
        ::unlink(pfad.c_str());
        inArbeit().erase(pfad);
        SchreibFehler(ziel, fehler);
    }
    return pfad;
}

struct Journal {
    std::vector<std::pair<std::string, std::string>> umbenennen;  // names in the folder
    std::vector<std::string> entfernen;
};

std::string JournalText(const Journal& j) {
    std::string s(kJournalKopf);
    s += '\0';
    for (const auto& [temp, ziel] : j.umbenennen) s += "R" + std::string(1, '\0') + temp + '\0' + ziel + '\0';
    for (const auto& p : j.entfernen) s += "D" + std::string(1, '\0') + p + '\0';
    s += "E";
    s += '\0';
    return s;
}

// false for a journal that is not complete (it is then not committed).
bool JournalLesen(std::string_view d, Journal& j) {
    std::vector<std::string> teile;
    for (size_t p = 0; p < d.size();) {
        const size_t e = d.find('\0', p);
        if (e == std::string_view::npos) return false;
        teile.emplace_back(d.substr(p, e - p));
        p = e + 1;
    }
    if (teile.empty() || teile.front() != kJournalKopf || teile.back() != "E") return false;
    auto gut = [](const std::string& n) {
        return !n.empty() && n.find('/') == std::string::npos && n != "." && n != "..";
    };
    for (size_t i = 1; i + 1 < teile.size();) {
        if (teile[i] == "R" && i + 2 < teile.size() && gut(teile[i + 1]) && gut(teile[i + 2])) {
            j.umbenennen.emplace_back(teile[i + 1], teile[i + 2]);
            i += 3;
        } else if (teile[i] == "D" && i + 1 < teile.size() && gut(teile[i + 1])) {
            j.entfernen.push_back(teile[i + 1]);
            i += 2;
        } else {
            return false;
        }
    }
    return true;
}

// Renames and removals of a committed set; what is done already is skipped.
void JournalAusführen(const std::string& ordner, const Journal& j, bool mitHaken) {
    for (const auto& [temp, ziel] : j.umbenennen) {
        const std::string t = ordner + "/" + temp, z = ordner + "/" + ziel;
        if (::rename(t.c_str(), z.c_str()) != 0 && errno != ENOENT) SchreibFehler(z, errno);
        inArbeit().erase(t);
        if (mitHaken) Haken("umbenannt");
    }
    for (const auto& p : j.entfernen) {
        const std::string z = ordner + "/" + p;
        if (::unlink(z.c_str()) != 0 && errno != ENOENT)
            FehlerAuslösen(fehler::EinAusgabe, u"Die Datei '" + ausUtf8(z) + u"' kann nicht gelöscht werden (" +
                                                   systemFehler(errno) + u").");
        if (mitHaken) Haken("entfernt");
    }
    OrdnerSync(ordner);
}

// The process that made a temporary name: 0 when the name is not one of ours.
pid_t Urheber(std::string_view n) {
    if (n.substr(0, kPräfix.size()) != kPräfix) return 0;
    n.remove_prefix(kPräfix.size());
    pid_t pid = 0;
    size_t i = 0;
    for (; i < n.size() && n[i] >= '0' && n[i] <= '9' && pid < 100000000; ++i) pid = pid * 10 + (n[i] - '0');
    return i > 0 && i < n.size() && n[i] == '-' ? pid : 0;
}

// Still at work: another live process, or a Dateisatz of this one.
bool InArbeit(const std::string& pfad, pid_t pid) {
    if (pid == ::getpid()) return inArbeit().count(pfad) != 0;
    return ::kill(pid, 0) == 0 || errno == EPERM;
}

}  // namespace

namespace {

Dateikennung KennungAus(const struct stat& st) {
    Dateikennung k;
    k.vorhanden = true;
    k.gerät = st.st_dev;
    k.inode = st.st_ino;
    k.größe = static_cast<uint64_t>(st.st_size);
    k.sekunden = st.st_mtim.tv_sec;
    k.nanosekunden = st.st_mtim.tv_nsec;
    return k;
}

}  // namespace

Dateikennung KennungVon(int fd) {
    struct stat st {};
    if (::fstat(fd, &st) != 0) return {};
    return KennungAus(st);
}

Dateikennung KennungLesen(const std::string& pfad) {
    const int fd = ::open(pfad.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return {};
    const Dateikennung k = KennungVon(fd);
    ::close(fd);
    return k;
}

void KennungPrüfen(const std::string& pfad, const Dateikennung& gelesen) {
    struct stat st {};
    const Dateikennung jetzt = ::stat(pfad.c_str(), &st) == 0 ? KennungAus(st) : Dateikennung{};
    bool gleich = jetzt.gleicheDatei(gelesen);
    if (gleich && gelesen.vorhanden && gelesen.mitPrüfsumme) {
        Dateikennung k;
        const std::string inhalt = DateiLesen(pfad, k);
        gleich = k.gleicheDatei(gelesen) && Prüfsumme(inhalt) == gelesen.prüfsumme;
    }
    if (gleich) return;
    const Text datei = ausUtf8(pfad);
    if (!gelesen.vorhanden)
        FehlerAuslösen(fehler::FremdGeändert,
                       u"Die Datei '" + datei +
                           u"' wurde inzwischen von einem anderen Programm angelegt; sie wird nicht "
                           u"überschrieben.");
    FehlerAuslösen(fehler::FremdGeändert,
                   u"Die Datei '" + datei +
                       (jetzt.vorhanden ? u"' wurde seit dem Lesen von einem anderen Programm geändert oder ersetzt"
                                        : u"' wurde seit dem Lesen von einem anderen Programm gelöscht") +
                       u"; sie wird nicht überschrieben, damit dessen Änderungen erhalten bleiben.");
}

bool Beschreibbar(const std::string& pfad) {
    struct stat st {};
    if (::stat(pfad.c_str(), &st) != 0) return false;
    if ((st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) return false;
    return ::access(pfad.c_str(), W_OK) == 0;
}

namespace {

// Reads the file (up to `max` bytes) into a buffer of type P (std::string or a byte vector).
template <typename P>
P Einlesen(const std::string& pfad, Dateikennung& kennung, size_t max) {
    const int fd = ::open(pfad.c_str(), O_RDONLY | O_CLOEXEC);
    auto fehler = [&](int e) {
        if (fd >= 0) ::close(fd);
        FehlerAuslösen(fehler::EinAusgabe,
                       u"Die Datei '" + ausUtf8(pfad) + u"' kann nicht gelesen werden (" + systemFehler(e) + u").");
    };
    if (fd < 0) fehler(errno);
    kennung = KennungVon(fd);
    if (!kennung.vorhanden) fehler(errno);
    P d(static_cast<size_t>(std::min<uint64_t>(kennung.größe, max)), 0);
    size_t gelesen = 0;
    while (gelesen < d.size()) {
        const ssize_t n = ::read(fd, d.data() + gelesen, d.size() - gelesen);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) fehler(errno);
        if (n == 0) break;
        gelesen += static_cast<size_t>(n);
    }
    ::close(fd);
    d.resize(gelesen);
    return d;
}

}  // namespace

std::string DateiLesen(const std::string& pfad, Dateikennung& kennung, size_t max) {
    std::string d = Einlesen<std::string>(pfad, kennung, max);
    kennung.mitPrüfsumme = d.size() == kennung.größe;
    kennung.prüfsumme = kennung.mitPrüfsumme ? Prüfsumme(d) : 0;
    return d;
}

std::vector<uint8_t> DateiBytesLesen(const std::string& pfad, Dateikennung& kennung) {
    return Einlesen<std::vector<uint8_t>>(pfad, kennung, SIZE_MAX);
}

Dateisatz::Dateisatz(std::string ordner) : ordner_(std::move(ordner)) {}

Dateisatz::~Dateisatz() {
    for (const auto& p : offen_) {
        ::unlink(p.c_str());
        inArbeit().erase(p);
    }
}

void Dateisatz::Ersetzen(const std::string& ziel, std::string_view inhalt) {
    const std::string temp = TempSchreiben(ordner_, inhalt, ziel, ".tmp");
    offen_.push_back(temp);
    ersetzungen_.push_back({temp, ziel});
    Haken("geschrieben");
}

void Dateisatz::Entfernen(const std::string& pfad) {
    if (!pfad.empty()) entfernungen_.push_back(pfad);
}

void Dateisatz::Ausführen() {
    Journal j;
    std::set<std::string> ziele;
    for (const auto& s : ersetzungen_) {
        j.umbenennen.emplace_back(name(s.temp), name(s.ziel));
        ziele.insert(name(s.ziel));
    }
    for (const auto& p : entfernungen_)
        if (!ziele.count(name(p)) && std::find(j.entfernen.begin(), j.entfernen.end(), name(p)) == j.entfernen.end())
            j.entfernen.push_back(name(p));
    const size_t schritte = j.umbenennen.size() + j.entfernen.size();
    if (schritte == 0) return;

    std::string journal;
    if (schritte > 1) {
        // Every new file stands complete and synced; the journal in its place commits the set.
        const std::string temp =
            TempSchreiben(ordner_, JournalText(j), ordner_ + "/" + std::string(kPräfix) + "journal", ".tmp");
        offen_.push_back(temp);
        journal = temp.substr(0, temp.size() - 4) + ".journal";
        if (::rename(temp.c_str(), journal.c_str()) != 0) SchreibFehler(journal, errno);
        inArbeit().erase(temp);
        inArbeit().insert(journal);
        OrdnerSync(ordner_);
        // From here the set is committed: the next open completes it, so nothing is removed.
        offen_.clear();
    }
    offen_.clear();
    try {
        if (!journal.empty()) Haken("journal");
        JournalAusführen(ordner_, j, true);
    } catch (...) {
        if (journal.empty())
            for (const auto& s : ersetzungen_) {
                ::unlink(s.temp.c_str());
                inArbeit().erase(s.temp);
            }
        inArbeit().erase(journal);  // the next open completes the set
        throw;
    }
    if (!journal.empty()) {
        ::unlink(journal.c_str());
        inArbeit().erase(journal);
        OrdnerSync(ordner_);
    }
    Haken("fertig");
}

void OrdnerAufräumen(const std::string& ordner) {
    DIR* dir = ::opendir(ordner.c_str());
    if (!dir) return;
    std::vector<std::string> namen;
    while (const dirent* d = ::readdir(dir))
        if (Urheber(d->d_name) > 0) namen.emplace_back(d->d_name);
    ::closedir(dir);
    std::sort(namen.begin(), namen.end());
    // A read-only folder cannot be mended; its files stay as they are.
    if (::access(ordner.c_str(), W_OK) != 0) return;
    // Committed sets first: their temporary files are the new versions.
    for (const auto& n : namen) {
        if (!n.ends_with(".journal")) continue;
        const std::string pfad = ordner + "/" + n;
        if (InArbeit(pfad, Urheber(n))) continue;
        Dateikennung k;
        std::string inhalt;
        try {
            inhalt = DateiLesen(pfad, k);
        } catch (const LaufzeitFehler&) {
            continue;
        }
        Journal j;
        if (JournalLesen(inhalt, j)) JournalAusführen(ordner, j, false);
        ::unlink(pfad.c_str());
    }
    for (const auto& n : namen) {
        if (!n.ends_with(".tmp")) continue;
        const std::string pfad = ordner + "/" + n;
        if (!InArbeit(pfad, Urheber(n))) ::unlink(pfad.c_str());
    }
    OrdnerSync(ordner);
}

}  // namespace dao::speicher
