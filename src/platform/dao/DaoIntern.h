#pragma once
// Inside of the engine: the SQLite connection, the stored structure, value conversion.
#include <sqlite3.h>
#include <unicode/ucol.h>

#include <map>
#include <string>

#include "platform/dao/Dao.h"

namespace dao::detail {

// A prepared statement; finalized with the object.
class Anweisung {
public:
    Anweisung(sqlite3* db, TextSicht sql);
    ~Anweisung();
    Anweisung(const Anweisung&) = delete;
    Anweisung& operator=(const Anweisung&) = delete;
    sqlite3_stmt* s() const { return s_; }
    void binden(int i, const Variante& roh);  // a stored value (see Speicherwert)
    bool schritt();                           // true: a row; errors raised as engine errors
    void zurück();

private:
    sqlite3* db_;
    sqlite3_stmt* s_ = nullptr;
};

[[noreturn]] void SqlFehler(sqlite3* db, int rc);
Text Bezeichner(TextSicht name);  // "name" with doubled quotes
bool IstTextTyp(int16_t typ);

// A value as stored for field f: Null, an integer (Long/Variante int64), a double or a
// text. Refusals are engine errors. `vergleich`: a literal in a condition, no size rules.
Variante Speicherwert(const Field& f, const Variante& v, bool vergleich = false);
// The stored column value, typed by the field's Jet type.
Variante Lesen(const Field& f, sqlite3_stmt* s, int spalte);

struct Verbindung {
    sqlite3* db = nullptr;
    UCollator* sortierung = nullptr;
    Text pfad;
    bool nurLesen = false;
    Sammlung<TableDef> tabellen;
    Sammlung<Relation> relationen;
    std::map<std::pair<const TableDef*, int32_t>, int64_t> autoWert;  // next auto number
    std::map<const TableDef*, std::unique_ptr<Anweisung>> leser;       // row by rowid

    ~Verbindung();
    void ausführen(TextSicht sql);
    void strukturLaden();
    void strukturSchreiben();  // the whole stored structure, in one savepoint
    void einrichten();         // collation
    void strukturHaken();      // collection hooks
    std::weak_ptr<Verbindung> selbst;
    Anweisung& zeilenLeser(const TableDef& t);
    void schreibbar() const;   // read-only: 3027
};

// Runs f inside a savepoint: all of it or nothing.
template <class F>
void ausführenInSicherung(Verbindung& v, F f) {
    v.ausführen(u"SAVEPOINT purivo_schritt");
    try {
        f();
    } catch (...) {
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
    Text sortierung;               // "" or SQL order list
};
Abfrage SqlÜbersetzen(Verbindung& v, TextSicht sql);

}  // namespace dao::detail
