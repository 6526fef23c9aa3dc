#pragma once
// Inside of the engine: the SQLite connection, the stored structure, value conversion.
#include <sqlite3.h>
#include <unicode/ucol.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstring>
#include <iterator>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <unordered_map>
#include <vector>

#include "platform/dao/Dao.h"
#include "platform/dao/storage/Speichertreiber.h"

namespace dao::detail {

// A prepared statement; finalized with the object.
class Anweisung {
public:
    Anweisung(sqlite3* db, TextSicht sql);
    ~Anweisung();
    Anweisung(const Anweisung&) = delete;
    Anweisung& operator=(const Anweisung&) = delete;
    sqlite3_stmt* s() const { return s_; }
    // A stored value (see Speicherwert); `bleibt`: the text outlives the statement's
    // use of it (up to zurück), so SQLite need not copy it.
    void binden(int i, const Variante& roh, bool bleibt = false);
    void bindenGanz(int i, int64_t z) { sqlite3_bind_int64(s_, i, z); }
    bool schritt();  // true: a row; errors raised as engine errors
    void zurück();

private:
    sqlite3* db_;
    sqlite3_stmt* s_ = nullptr;
};

[[noreturn]] void SqlFehler(sqlite3* db, int rc);
Text Bezeichner(TextSicht name);  // "name" with doubled quotes
// The name under which a user's table or column is stored: the name itself, unless
// SQLite or the engine could take it for their own (rowid, oid, _rowid_, sqlite_…,
// __…) or it begins with the mark; such names get the mark "~" in front. So no
// user name, in any spelling, reaches the store's own namespace, and the map is
// one to one (Nutzername undoes it).
Text Speichername(TextSicht name);
Text Nutzername(TextSicht gespeichert);
// Bezeichner of the Speichername: how every user name goes into SQL.
inline Text SqlName(TextSicht name) { return Bezeichner(Speichername(name)); }
// ",a,b,..." of every field of t, in their order: what follows "SELECT rowid".
Text Spaltenliste(TableDef& t);
bool IstTextTyp(int16_t typ);

// A value as stored for field f: Null, an integer (Long/Variante int64), a double or a
// text. Refusals are engine errors. `vergleich`: a literal in a condition, no size rules.
Variante Speicherwert(const Field& f, const Variante& v, bool vergleich = false);
// True when v is stored as it is (Speicherwert would give a copy of it), after the
// checks of Speicherwert for it.
bool AlsSpeicherwertPrüfen(const Field& f, const Variante& v);
// The checks of an assignment to a recordset field: type, range, text size.
void ZuweisungPrüfen(const Field& f, const Variante& v);
// A stored column value as read for field f: by the field's Jet type, or for a
// field without one by the value's own. A text is a view into where it was read.
struct Zelle {
    enum Art : uint8_t { Null, Ganz, Zahl, Text } art = Null;
    int64_t ganz = 0;
    double zahl = 0;
    TextSicht text;
};
Zelle ZelleLesen(const Field& f, sqlite3_stmt* s, int spalte);
// Column i of the row `s` stands on as text ("" for Null).
inline Text SpaltenText(sqlite3_stmt* s, int i) {
    const auto* t = static_cast<const char16_t*>(sqlite3_column_text16(s, i));
    return t ? Text(t, static_cast<size_t>(sqlite3_column_bytes16(s, i)) / 2) : Text();
}
// A number's bytes kept among UTF-16 units (the engine's in-memory rows and keys).
template <class T>
void EinheitenAnhängen(std::vector<char16_t>& d, const T& wert) {
    static_assert(sizeof(T) % sizeof(char16_t) == 0);
    char16_t einheiten[sizeof(T) / sizeof(char16_t)];
    std::memcpy(einheiten, &wert, sizeof(T));
    d.insert(d.end(), std::begin(einheiten), std::end(einheiten));
}
template <class T>
T EinheitenHolen(const char16_t*& p) {
    T wert;
    std::memcpy(&wert, p, sizeof(T));
    p += sizeof(T) / sizeof(char16_t);
    return wert;
}
// The cell typed by the field's Jet type.
Variante Umwandeln(const Field& f, const Zelle& z);
// The stored column value, typed by the field's Jet type.
inline Variante Lesen(const Field& f, sqlite3_stmt* s, int spalte) { return Umwandeln(f, ZelleLesen(f, s, spalte)); }

// Statements and facts of one table, kept until its structure changes.
struct Tabellenvorrat {
    std::unique_ptr<Anweisung> leser;                            // row by rowid
    std::unique_ptr<Anweisung> dasein;                           // whether a rowid is there
    std::map<std::string, std::unique_ptr<Anweisung>> einfügen;  // by the written fields
    std::map<std::string, std::unique_ptr<Anweisung>> ändern;
    std::vector<bool> primär;  // per field
    bool primärBekannt = false;
};

// Each row's place in a recordset's fixed order: which rows a window keeps, and
// where in it.
class Stellenbuch {
public:
    void füllen(const std::vector<int64_t>& zeilen);
    // The places a scan keeps (purivo_fenster), from `von` up to `bis`.
    int64_t fensterVon = 0, fensterBis = 0;
    // The place of `rowid`, or -1 for a row the set does not hold.
    int64_t stelle(int64_t rowid) const {
        if (!dünn_) {
            if (rowid < 0 || static_cast<uint64_t>(rowid) >= dicht_.size()) return -1;
            return dicht_[static_cast<size_t>(rowid)];
        }
        const auto z = streu_.find(rowid);
        return z == streu_.end() ? -1 : z->second;
    }

private:
    bool dünn_ = false;
    std::vector<int32_t> dicht_;
    std::unordered_map<int64_t, int64_t> streu_;
};
// The SQL function purivo_fenster(book, rowid): 1 for a row whose place lies in the
// book's window, else Null.
void StellenfunktionAnmelden(sqlite3* db);
inline constexpr const char* kStellenbuchArt = "purivo_stellenbuch";

// The rows of a sorted set from place `von` up to `bis`, read by one scan of the
// table in rowid order and kept cell by cell as the engine reads them: the set's
// order needs no sort of whole rows, and a window sized to a budget bounds memory.
class Fenster {
public:
    bool enthält(int64_t stelle) const { return stelle >= von_ && stelle < bis_; }
    void leeren();
    // `einheiten`: the UTF-16 units a row is expected to take.
    void laden(Verbindung& v, TableDef& t, Stellenbuch& stellen, int64_t von, int64_t bis, size_t einheiten);
    // The cells of the row at `stelle`, when the window holds it with this rowid.
    bool zeile(int64_t stelle, int64_t rowid, std::vector<Zelle>& zellen) const;
    // How many rows of table t fit into `budget` bytes, and the units of one, judged
    // by its first rows.
    static int64_t Zeilen(Verbindung& v, TableDef& t, size_t budget, size_t& einheiten);

private:
    static constexpr uint64_t kFehlt = ~uint64_t{0};
    int64_t von_ = 0, bis_ = 0;
    std::vector<char16_t> daten_;   // per field: its Art, then the value
    std::vector<uint64_t> anfang_;  // per place in the window
    std::vector<int64_t> rowid_;
};

// The memory of one window (tests lower it to see many windows on a few rows).
extern size_t FensterBytes;

// A recordset's rows read in the set's order. In rowid order the statement `a` steps
// through the table itself from a seek to the row wanted, `pos` the set position of
// the row its next step delivers; a sorted set reads its rows from windows. Rows
// changed after `seit` are read again by rowid.
struct Strom {
    std::unique_ptr<Anweisung> a;
    Fenster fenster;
    const TableDef* tabelle = nullptr;
    int64_t pos = 0;
    uint64_t seit = 0;
    int starts = 0;               // windows loaded other than as the next one
    int64_t fensterEnde = -1;     // where the last window ended
    int64_t fensterZeilen = 0;    // rows per window
    size_t fensterEinheiten = 0;  // UTF-16 units per row
    Stellenbuch stellen;
    bool stellenGültig = false;  // filled for the set's rows as they are
    std::vector<Zelle> zellen;   // the row read, every field
    void beenden() {
        a.reset();
        fenster.leeren();
    }
};

// When each row of a table last changed (0: not since the book was opened). A stream
// asks for every row it reads, so small rowids go by index, the rest by hash.
class Änderungsbuch {
public:
    void setzen(int64_t rowid, uint64_t stand) {
        if (rowid >= 0 && rowid < kDicht) {
            const auto i = static_cast<size_t>(rowid);
            if (i >= dicht_.size()) dicht_.resize(std::max<size_t>(i + 1, dicht_.size() * 2), 0);
            dicht_[i] = stand;
        } else {
            dünn_[rowid] = stand;
        }
    }
    uint64_t stand(int64_t rowid) const {
        if (rowid >= 0 && rowid < kDicht)
            return static_cast<size_t>(rowid) < dicht_.size() ? dicht_[static_cast<size_t>(rowid)] : 0;
        const auto z = dünn_.find(rowid);
        return z == dünn_.end() ? 0 : z->second;
    }

private:
    static constexpr int64_t kDicht = int64_t{1} << 24;  // at most 128 MiB by index
    std::vector<uint64_t> dicht_;
    std::unordered_map<int64_t, uint64_t> dünn_;
};

// Copies a native file's write-ahead log into the file on a thread and connection of
// its own, so that a commit need not wait for it (SQLite otherwise copies the log at
// the commit that lets it pass its limit, on the writer's time).
class Logkopierer {
public:
    // nullptr where a second connection cannot work beside the first (a file held
    // exclusively, a file system without shared memory).
    static std::unique_ptr<Logkopierer> Starten(const char* datei);
    ~Logkopierer();
    Logkopierer(const Logkopierer&) = delete;
    Logkopierer& operator=(const Logkopierer&) = delete;
    // After a commit that left `seiten` pages in the log. A log far ahead of the
    // copies holds the writer until the next copy is done; false when even that did
    // not catch up, so that the writer copies itself.
    bool nachCommit(int seiten);

private:
    explicit Logkopierer(sqlite3* db);
    void laufen();
    sqlite3* db_;
    std::mutex m_;
    std::condition_variable auftrag_, fertig_;
    bool angestoßen_ = false, ende_ = false;
    uint64_t angefangen_ = 0, beendet_ = 0;  // copies
    std::atomic<uint64_t> stand_{0};         // pages of the log and copied, at the last copy
    std::thread faden_;
};
// Pages in the log before a copy starts, and ahead of the copies before the writer
// waits (tests lower them).
extern int LogSeitenAnstoß, LogSeitenHöchstens;

struct Verbindung {
    sqlite3* db = nullptr;
    UCollator* sortierung = nullptr;
    Text pfad;
    bool nurLesen = false;
    Text schreibschutzGrund;  // description of 3027 when not empty
    bool geschlossen = false;
    Sammlung<TableDef> tabellen;
    Sammlung<Relation> relationen;
    std::map<std::pair<const TableDef*, int32_t>, int64_t> autoWert;  // next auto number
    // Forgets the auto numbers of table t (by field position) once its fields shift or
    // it is gone: a table made later may take its place in memory.
    void autoWerteVergessen(const TableDef* t) {
        for (auto it = autoWert.begin(); it != autoWert.end();)
            it = it->first.first == t ? autoWert.erase(it) : std::next(it);
    }
    std::map<const TableDef*, Tabellenvorrat> vorrat;
    // Running streams, and while any runs, the rows changed since (row -> stand).
    std::set<Strom*> ströme;
    uint64_t änderungsStand = 0;
    std::map<const TableDef*, Änderungsbuch> geänderteZeilen;
    // Ends every stream: before anything but a row change or a savepoint, which
    // SQLite may refuse beside a running read or which the streams could not follow.
    void strömeBeenden();
    void zeileGeändert(const TableDef& t, int64_t rowid);

    // A database over a storage driver: the tables live in a private working store
    // and their mirror state in __purivo_spiegel / __purivo_geloescht of that store,
    // so that savepoints and rollbacks cover it together with the rows.
    std::unique_ptr<speicher::Speichertreiber> treiber;
    std::map<Text, speicher::TabellenBeschreibung> quellen;  // as the driver listed them
    std::set<Text> bekanntGeladen, bekanntGeändert;          // cleared by every rollback
    std::set<Text> bekanntÄnderbar;                          // passed the driver's Bestandsschutz
    std::set<Text> quellRelationen;  // names of the relations the file holds as last read or written

    // Structure version, and the version at each open workspace savepoint: a
    // rollback reloads the structure only when it changed inside.
    uint64_t strukturStand = 0;
    std::vector<uint64_t> sicherungsStände;

    // A native file writes through a write-ahead log while the engine holds it, so a
    // commit needs no sync. Switched on before the first write or transaction (a run
    // that only reads leaves the file as it was), never for a read-only open; where the
    // log cannot work the file keeps its own mode. Every flush checkpoints it with a
    // sync; the close restores the file's own journal mode, leaving no -wal or -shm.
    bool protokollVersucht = false;
    bool protokollAn = false;
    std::string eigenesJournal;  // the mode before ("delete", "wal", ...)
    void protokollEinschalten();
    void protokollSichern();
    void protokollBeenden();
    std::unique_ptr<Logkopierer> kopierer;
    void kopiererStarten();
    void kopiererAnhalten();

    // Columns dropped from a table's Fields but still in the table: consecutive drops
    // on one table are carried out together, in one savepoint that writes the table's
    // pages once, before the engine's next statement of its own (savepoint, structure,
    // pragma) and at flush and close. Rows are read and written by naming their
    // columns, so nobody sees the columns meanwhile.
    std::weak_ptr<TableDef> löschTabelle;
    std::vector<Text> gelöschteSpalten;  // stored names
    bool strukturSchreibt = false;       // writing the structure keeps them waiting
    // Records the drop of field f (3280 and the read-only check come first, at the
    // call); drops at once where SQLite could refuse the drop later.
    void spalteLöschen(TableDef& t, const Field& f);
    void spaltenEntfernen();

    ~Verbindung();
    void ausführen(TextSicht sql);
    void strukturLaden();
    void strukturSchreiben();  // the whole stored structure, in one savepoint
    void einrichten();         // collation
    void strukturHaken();      // collection hooks
    std::weak_ptr<Verbindung> selbst;
    Tabellenvorrat& vorratVon(const TableDef& t);
    // Reads the row of a rowid (its first parameter); `nurDasein`: only whether it is there.
    Anweisung& zeilenLeser(const TableDef& t, bool nurDasein = false);
    void schreibbar();   // read-only: 3027; else the log is switched on (below)
    void offen() const;  // closed: 3420

    // Mirror: the rows of a listed table into the working store on first use.
    void laden(const TableDef& t);
    // Before a change of a table's rows: read-only check and load; after it succeeded:
    // the mark that the driver has to write the table back.
    void schreibenVorbereiten(const TableDef& t);
    void markieren(const TableDef& t);
    // Before a change of a table's structure: both at once.
    void ändern(const TableDef& t);
    void spiegelNeu(const TableDef& t);
    void spiegelGelöscht(const TableDef& t);
    void spiegelUmbenannt(const Text& alt, const Text& neu);
    void spiegelAnlegen(const speicher::Struktur& s);
    // Hands the changed tables to the driver (nothing when nothing changed), then
    // counts them as written. Uncommitted work is rolled back first, as closing a
    // database does.
    void zurückschreiben();
    // The same outside a transaction only (3246 inside one); nothing is rolled back.
    void flush();
    // Writes back (driver), then releases SQLite; the objects stay but refuse work.
    void schließen();
    void rückgängigGemacht();  // after a rollback: caches, structure when it changed

private:
    // The steps of strukturLaden.
    void gespeicherteTabellenLaden(std::map<Text, TableDefPtr>& nachName);
    void gespeicherteFelderLaden(const std::map<Text, TableDefPtr>& nachName);
    void gespeicherteIndizesLaden(const std::map<Text, TableDefPtr>& nachName);
    void gespeicherteRelationenLaden();
    void fremdeTabellenLaden(const std::map<Text, TableDefPtr>& nachName);
};

// Now, local time, as Variante::Datum days.
double Jetzt();

// CREATE TABLE with its indexes, from a table definition.
void TabelleAnlegen(Verbindung& v, const TableDef& t);
// The password of a connect string: everything between ";PWD=" and the final ";".
Text PasswortLesen(TextSicht connect);

// Runs f inside a savepoint: all of it or nothing.
template <class F>
void ausführenInSicherung(Verbindung& v, F f) {
    v.ausführen(u"SAVEPOINT purivo_schritt");
    try {
        f();
    } catch (...) {
        v.strömeBeenden();
        sqlite3_exec(v.db, "ROLLBACK TO purivo_schritt; RELEASE purivo_schritt", nullptr, nullptr, nullptr);
        throw;
    }
    v.ausführen(u"RELEASE purivo_schritt");
}

// A Jet SELECT or DELETE turned into SQLite text with parameters.
struct Abfrage {
    TableDefPtr tabelle;
    bool löschen = false;
    std::vector<int32_t> spalten;  // fields of the select list
    Text bedingung;                // "" or SQL condition
    std::vector<Variante> parameter;
    Text sortierung;                    // "" or SQL order list
    std::vector<Sortierglied> ordnung;  // the same, term by term
};
Abfrage SqlÜbersetzen(Verbindung& v, TextSicht sql);
// The rowids of `sql` (SELECT rowid, then one column per term of `ordnung`) in that
// order, ties by rowid, as SQLite would order them; false when a value is one this
// order cannot place, which leaves SQLite to sort.
bool SchlüsselSortieren(Verbindung& v, TextSicht sql, const std::vector<Variante>& parameter,
                        const std::vector<Sortierglied>& ordnung, std::vector<int64_t>& zeilen);
// From how many rows the keys are made and sorted on several cores (tests lower it).
extern size_t SortierenParallelAb;
// A bare Jet condition on table t (the criteria of FindFirst).
Abfrage BedingungÜbersetzen(Verbindung& v, const TableDefPtr& t, TextSicht kriterium);

// Registers `sortierung` as collation `name` for UTF-16 and UTF-8 text, so that
// SQLite compares in the database's own encoding without converting or copying.
void SortierungAnmelden(sqlite3* db, const char16_t* name, UCollator* sortierung);

// A relation as the storage drivers see it.
speicher::RelationsBeschreibung RelationsBeschreibungVon(Relation& r);

}  // namespace dao::detail
