#pragma once
// Independent readers of Access files for the tests: the mdbtools programs (libmdb) and
// the node package mdb-reader (tests/leser/lesen.mjs), which shares no code with libmdb.
// Each call runs the program and returns its output parsed; a program that fails throws
// std::runtime_error with its exit status.
#include <optional>
#include <string>
#include <vector>

namespace fremd {

// A cell: nullopt is Null.
using Zelle = std::optional<std::string>;
using Zeile = std::vector<Zelle>;

struct Tabelleninhalt {
    std::vector<std::string> spalten;
    std::vector<Zeile> zeilen;
};

// The output of a shell command; throws when it does not exit with 0.
std::string Ausgabe(const std::string& befehl);

// The file name quoted for sh.
std::string Shell(const std::string& s);

// ---- mdbtools ----

// mdb-export, mdb-schema, mdb-tables and mdb-prop are on the PATH.
bool MdbtoolsDa();

// Every row of a table as mdb-export prints it: dates as "YYYY-MM-DD HH:MM:SS", binary
// and OLE as hex, Boolean as 0/1, Currency with four decimals. mdb-export prints a
// zero-length text as it prints Null (both nullopt here).
Tabelleninhalt MdbExport(const std::string& datei, const std::string& tabelle);
// The schema as mdb-schema prints it for `backend` (access, postgres, …); one table or all.
std::string MdbSchema(const std::string& datei, const std::string& tabelle = "", const std::string& backend = "access");
// The table names, user tables or all.
std::vector<std::string> MdbTabellen(const std::string& datei, bool system = false);
// The properties of an object (a table's name, or a column's property list) as mdb-prop
// prints them: "name: value" lines, each group headed by "name: <object>".
std::string MdbProp(const std::string& datei, const std::string& objekt);

// ---- mdb-reader ----

// A JSON value: numbers keep their literal text, Booleans are "true"/"false".
struct Json {
    enum Art { Null, Wahrheit, Zahl, Text, Liste, Objekt } art = Null;
    std::string text;
    std::vector<Json> liste;                          // a list's values, an object's values
    std::vector<std::string> namen;                   // an object's field names, beside its values in `liste`
    const Json* Feld(const std::string& name) const;  // nullptr when absent
};
// Throws std::runtime_error for text that is no JSON.
Json JsonLesen(const std::string& text);

struct FremdeSpalte {
    std::string name;
    std::string typ;  // mdb-reader's name: text, memo, long, integer, byte, boolean, currency, datetime, …
    long größe = 0;
};

struct FremdeTabelle {
    std::string name;
    long zeilenzahl = 0;  // the row count the definition states
    std::vector<FremdeSpalte> spalten;
    // Cells by column; Null is nullopt. Numbers as JSON printed them, Booleans "true"/"false",
    // Currency and Numeric as decimal text, dates "YYYY-MM-DDTHH:MM:SS" (".mmm" when not whole
    // seconds), binary and OLE as lower-case hex.
    std::vector<Zeile> zeilen;
    std::string fehler;  // a system table the reader cannot read (then no columns or rows)
};

// node on the PATH and tests/leser installed (npm ci).
bool MdbReaderDa();
// The tables of a file as mdb-reader reads them: all user tables, with `system` the
// system tables too, or just `tabelle`; `passwort` for a file with a database password.
std::vector<FremdeTabelle> MdbReaderLesen(const std::string& datei, const std::string& tabelle = "",
                                          const std::string& passwort = "", bool system = false);

}  // namespace fremd
