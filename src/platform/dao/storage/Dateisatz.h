#pragma once
// Safe replacement of the user's files, shared by every driver.
//
// A Dateisatz replaces (and removes) files of one folder as one set: each new file is
// written to a temporary name beside its target and synced; when the set has more than
// one step, a small journal listing the renames and removals is written, synced and
// renamed into place, which commits the set; then the renames and removals follow, the
// folder is synced and the journal goes. OrdnerAufräumen, called when a driver opens a
// folder or file, completes a committed set a killed write-back left, and removes
// temporary files of one that was never committed. Temporary files and journals are
// named ".purivo-<pid>-<n>.tmp" / ".journal", so that they are never taken for the
// user's files.
#include <sys/types.h>

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/basic/Text.h"

namespace dao::speicher {

// What identifies a file as it was read: a file another program changed or replaced
// since then differs in one of these.
struct Dateikennung {
    bool vorhanden = false;
    uint64_t gerät = 0, inode = 0, größe = 0;
    int64_t sekunden = 0, nanosekunden = 0;
    // Of the whole content, when it was read whole: a change within the clock's
    // granularity keeps size, time and inode.
    bool mitPrüfsumme = false;
    uint64_t prüfsumme = 0;
    bool gleicheDatei(const Dateikennung& a) const {
        return vorhanden == a.vorhanden && gerät == a.gerät && inode == a.inode && größe == a.größe &&
               sekunden == a.sekunden && nanosekunden == a.nanosekunden;
    }
};
Dateikennung KennungLesen(const std::string& pfad);
Dateikennung KennungVon(int fd);

// Refuses (engine error naming the file) to touch a file that is no longer the one read.
void KennungPrüfen(const std::string& pfad, const Dateikennung& gelesen);

// Writable by its mode bits and by the process's rights (root may write a 0444 file,
// but the user marked it read-only). A missing path is not writable.
bool Beschreibbar(const std::string& pfad);

// The whole file, or its first `max` bytes; `kennung` receives the identity of what
// was read. Engine error 3040 naming the file when it cannot be read.
std::string DateiLesen(const std::string& pfad, Dateikennung& kennung, size_t max = SIZE_MAX);
// The whole file as bytes, for a caller that checks the identity without a checksum
// (a big file it keeps in memory anyway).
std::vector<uint8_t> DateiBytesLesen(const std::string& pfad, Dateikennung& kennung);

class Dateisatz {
public:
    explicit Dateisatz(std::string ordner);
    ~Dateisatz();  // temporary files of a set not carried out are removed
    Dateisatz(const Dateisatz&) = delete;
    Dateisatz& operator=(const Dateisatz&) = delete;

    // `ziel` (in the folder) gets `inhalt`, with the mode of the file it replaces.
    void Ersetzen(const std::string& ziel, std::string_view inhalt);
    // `pfad` (in the folder) is removed, unless the set also writes it.
    void Entfernen(const std::string& pfad);
    // Carries the set out; an engine error naming the file when a step fails.
    void Ausführen();

private:
    struct Schritt {
        std::string temp, ziel;
    };
    std::string ordner_;
    std::vector<Schritt> ersetzungen_;
    std::vector<std::string> entfernungen_;
    std::vector<std::string> offen_;  // temporary files still ours to remove
};

// Completes or removes what a killed write-back left in `ordner`.
void OrdnerAufräumen(const std::string& ordner);

// For tests: called after each step of a Dateisatz with its name ("geschrieben", "journal",
// "umbenannt", "entfernt", "fertig"); a test ends the process there to stand for a kill.
extern std::function<void(std::string_view schritt)> gSchreibHaken;

}  // namespace dao::speicher
