#pragma once
// The database engine: the DAO-style object model the program calls, over SQLite.
// Objects are handed out as shared_ptr. Every failure is an engine error raised
// through dao::FehlerAuslösen (a LaufzeitFehler with the engine's number and text).
// A native database is an SQLite file; the engine keeps the Jet structure (types,
// sizes, flags, indexes, relations, dates) in private tables of that file. Other
// formats come through a storage driver (storage/Speichertreiber.h) and live in a
// private working store while open; their changed tables are written back on Flush
// and Close. Users' table and column names are stored so that none can pass for the
// engine's own or SQLite's (rowid, sqlite_…, the engine's __… tables).
#include <cstdint>
#include <functional>
#include <memory>
#include <utility>
#include <vector>

#include "platform/basic/Text.h"
#include "platform/basic/Variante.h"
#include "platform/dao/DaoFehler.h"
#include "platform/dao/DaoGrundlagen.h"

namespace dao {
namespace detail {
struct Verbindung;
struct Strom;
class Anweisung;
// One term of a recordset's order: the table field, whether it sorts through the
// collation, and its direction.
struct Sortierglied {
    int32_t feld;
    bool text;
    bool absteigend;
};
}
namespace speicher {
class Speichertreiber;
}


// A name as the SQL the engine reads takes it: "[name]", a "]" inside doubled, so
// that no name can change a statement. Every name put into SQL text goes through it.
Text SqlBezeichner(TextSicht name);

// An ordered collection with lookup by position (from 0) or by name (case-blind).
// A missing item raises error 3265. Append/Delete run the owner's checks first.
template <class T>
class Sammlung {
public:
    int32_t Count() const { return static_cast<int32_t>(liste_.size()); }
    std::shared_ptr<T> Item(int32_t pos) const;
    std::shared_ptr<T> Item(TextSicht name) const;
    std::shared_ptr<T> operator[](int32_t pos) const { return Item(pos); }
    std::shared_ptr<T> operator[](TextSicht name) const { return Item(name); }
    void Append(std::shared_ptr<T> objekt);
    void Delete(TextSicht name);
    // Position of the named item, -1 when missing.
    int32_t Position(TextSicht name) const;
    const std::vector<std::shared_ptr<T>>& liste() const { return liste_; }

private:
    friend class TableDef;
    friend class Index;
    friend class Relation;
    friend class Database;
    friend class Recordset;
    friend struct detail::Verbindung;
    std::vector<std::shared_ptr<T>> liste_;
    std::function<void(const std::shared_ptr<T>&)> vorAnhängen_;
    std::function<void(const std::shared_ptr<T>&, int32_t)> vorLöschen_;
    std::function<void()> nachÄndern_;
};

class Recordset;
class TableDef;

// A field: of a table definition (its structure), of an index or relation (a name,
// for a relation also ForeignName) or of a recordset (Value of the current record).
class Field {
public:
    Text Name() const { return name_; }
    // On an appended table field: renames the column (indexes and relations follow);
    // a name another field has raises 3191.
    void Name(Text n);
    int16_t Type() const { return typ_; }
    void Type(int16_t t);
    int32_t Size() const { return größe_; }
    void Size(int32_t s);
    int32_t Attributes() const { return attribute_; }
    void Attributes(int32_t a);
    bool AllowZeroLength() const { return leerErlaubt_; }
    void AllowZeroLength(bool b);
    bool Required() const { return pflicht_; }
    void Required(bool b);
    Text ForeignName() const { return fremdName_; }
    void ForeignName(Text n) { fremdName_ = std::move(n); }
    // Recordset fields only (else error 3219). Reading needs a current record
    // (3021); writing needs AddNew or Edit first (3020). Empty written leaves the field
    // without value (Null), with the rules for Null.
    Variante Value() const;
    void Value(const Variante& v);

private:
    friend class TableDef;
    friend class Recordset;
    friend class Database;
    friend struct detail::Verbindung;
    void geändert();
    std::shared_ptr<detail::Verbindung> gespeichertIn() const;
    Text name_;
    int16_t typ_ = dbText;
    int32_t größe_ = 0;
    int32_t attribute_ = 0;
    bool leerErlaubt_ = false;
    bool pflicht_ = false;
    Text fremdName_;
    std::weak_ptr<TableDef> tabelle_;
    std::weak_ptr<Recordset> satz_;
    Recordset* satzRoh_ = nullptr;  // the same, while satz_ lives: a value access locks nothing
    int32_t spalte_ = -1;
};
using FieldPtr = std::shared_ptr<Field>;

class Index {
public:
    Index();
    Text Name() const { return name_; }
    void Name(Text n) { name_ = std::move(n); }
    Sammlung<Field>& Fields() { return felder_; }
    const Sammlung<Field>& Fields() const { return felder_; }
    void Fields(const Sammlung<Field>& andere) { felder_.liste_ = andere.liste_; }
    bool Unique() const { return eindeutig_ || primär_; }
    void Unique(bool b) { eindeutig_ = b; }
    bool Primary() const { return primär_; }
    void Primary(bool b) { primär_ = b; }
    FieldPtr CreateField(Text name);

private:
    Text name_;
    Sammlung<Field> felder_;
    bool eindeutig_ = false;
    bool primär_ = false;
};
using IndexPtr = std::shared_ptr<Index>;

// A table definition. Until appended to a database's TableDefs it is only a
// description; afterwards changes to Fields and Indexes alter the table at once.
class TableDef : public std::enable_shared_from_this<TableDef> {
public:
    static std::shared_ptr<TableDef> Neu();
    Text Name() const { return name_; }
    // After the append: renames the table (a name in use raises 3010).
    void Name(Text n);
    int32_t Attributes() const { return attribute_; }
    void Attributes(int32_t a) { attribute_ = a; }
    // When the table was made and its structure last changed (a Date; Null before the
    // append). Changes of its rows do not count, as with Jet.
    Variante DateCreated() const;
    Variante LastUpdated() const;
    Sammlung<Field>& Fields() { return felder_; }
    Sammlung<Index>& Indexes() { return indizes_; }
    FieldPtr CreateField(Text name, int16_t typ = dbText, int32_t größe = 0) const;
    IndexPtr CreateIndex(Text name) const;

private:
    friend class Field;
    friend class Database;
    friend struct detail::Verbindung;
    TableDef() = default;
    void einrichten();
    Text name_;
    int32_t attribute_ = 0;
    double erstellt_ = 0, geändert_ = 0;  // days as Variante::Datum, 0 before the append
    Sammlung<Field> felder_;
    Sammlung<Index> indizes_;
    std::weak_ptr<detail::Verbindung> db_;  // set once appended
};
using TableDefPtr = std::shared_ptr<TableDef>;

// A relation between a primary table and a foreign table. Stored with the
// database; the engine does not enforce it on the rows.
class Relation {
public:
    Text Name() const { return name_; }
    void Name(Text n) { name_ = std::move(n); }
    Text Table() const { return tabelle_; }
    void Table(Text t) { tabelle_ = std::move(t); }
    Text ForeignTable() const { return fremdTabelle_; }
    void ForeignTable(Text t) { fremdTabelle_ = std::move(t); }
    int32_t Attributes() const { return attribute_; }
    void Attributes(int32_t a) { attribute_ = a; }
    Sammlung<Field>& Fields() { return felder_; }
    FieldPtr CreateField(Text name) const;

private:
    Text name_, tabelle_, fremdTabelle_;
    int32_t attribute_ = 0;
    Sammlung<Field> felder_;
};
using RelationPtr = std::shared_ptr<Relation>;

class Database;

// A set of rows of one table: fixed when opened (rowids in order) until Requery.
// Rows appended through it come after all its rows; positions of the earlier rows
// and the current record stay as they were. RecordCount is always exact.
class Recordset : public std::enable_shared_from_this<Recordset> {
public:
    ~Recordset();
    bool EOF_() const;
    bool BOF_() const;
    int32_t RecordCount() const;
    void MoveFirst();
    void MoveLast();
    void MoveNext();      // at EOF: error 3021
    void MovePrevious();  // at BOF: error 3021
    // Relative to the current record, also from BOF/EOF; beyond the ends gives BOF/EOF.
    void Move(int32_t n);
    // Up to n rows from the current one, indexed [column][row]; moves past them.
    std::vector<std::vector<Variante>> GetRows(int32_t n);
    void AddNew();
    void Edit();    // needs a current record
    void Update();  // checks the values by the field rules and writes
    void CancelUpdate();
    void Delete();  // the current record; it stays current but unreadable (3167)
    void Requery();
    // Jet criteria as in a WHERE clause ("[TEMP_DSN] = 5"): the first, next, last or
    // previous matching row of the set becomes current; none: NoMatch, position kept.
    void FindFirst(TextSicht kriterium);
    void FindNext(TextSicht kriterium);
    void FindLast(TextSicht kriterium);
    void FindPrevious(TextSicht kriterium);
    bool NoMatch() const { return keinTreffer_; }
    // The current record's bookmark; setting one makes its record current (3159 when the
    // set does not hold it). Bookmarks of a recordset and its clones are interchangeable.
    int64_t Bookmark() const;
    void Bookmark(int64_t lesezeichen);
    std::shared_ptr<Recordset> Clone();  // same rows and order, own position (on the first)
    void Close();
    Sammlung<Field>& Fields() { return felder_; }
    bool istNeu() const { return modus_ == 1; }

private:
    friend class Database;
    friend class Field;
    struct Spalte {
        int32_t feld;  // index into the table's fields
    };
    Recordset() = default;
    void füllen();
    void brauchtAktuellen() const;
    void zeileLaden();
    detail::Anweisung& zeileSuchen(int64_t rowid, bool nurDasein = false) const;
    Variante wert(int32_t spalte);
    void setzen(int32_t spalte, const Variante& v);
    void offen() const;
    // Update: the values its statement writes.
    void werteSammeln(const std::vector<bool>& primär, std::string& schlüssel, std::vector<const Variante*>& werte,
                      std::vector<Variante>& eigene);

    std::shared_ptr<detail::Verbindung> db_;
    TableDefPtr tabelle_;
    int32_t typ_ = dbOpenDynaset;
    std::u16string sql_;  // the rowid query, kept for Requery
    // The same rows with their sort values, unordered, and the order of those values:
    // the order is then made by the engine itself (empty: by SQLite).
    std::u16string schlüsselSql_;
    std::vector<detail::Sortierglied> ordnung_;
    std::vector<Variante> parameter_;
    std::vector<int32_t> spalten_;  // table field per recordset column
    std::vector<int64_t> zeilen_;   // rowids in order
    bool aufsteigend_ = false;      // zeilen_ in rowid order
    int64_t pos_ = -1;              // -1 BOF, zeilen_.size() EOF
    bool gelöscht_ = false;         // current record deleted through Delete
    bool keinTreffer_ = false;
    void suchen(TextSicht kriterium, int64_t ab, int schritt);
    bool geschlossen_ = false;
    int modus_ = 0;                 // 0 none, 1 AddNew, 2 Edit
    std::vector<Variante> puffer_;  // edit buffer per table field (Empty = untouched)
    int64_t geladen_ = -1;          // rowid of the cached row
    std::vector<Variante> zeile_;
    Sammlung<Field> felder_;
    std::unique_ptr<detail::Strom> strom_;  // reading in order, see DaoIntern.h
    void stromBeenden();
    void stromStarten();
    void fensterLaden();
    detail::Strom* stromAnPosition(bool sortiertStarten);
    bool stromSchritt(detail::Strom*& s, int64_t rowid);
    bool zeileAusStrom(detail::Strom*& s, int64_t rowid, std::vector<std::vector<Variante>>& feld);
    void zeileNachschlagen(int64_t rowid, std::vector<std::vector<Variante>>& feld);
};
using RecordsetPtr = std::shared_ptr<Recordset>;

class Database : public std::enable_shared_from_this<Database> {
public:
    ~Database();
    Text Name() const;
    Sammlung<TableDef>& TableDefs();
    Sammlung<Relation>& Relations();
    TableDefPtr CreateTableDef(Text name = {}) const;
    RelationPtr CreateRelation(Text name = {}, Text tabelle = {}, Text fremdTabelle = {}, int32_t attribute = 0) const;
    // A table name or a Jet SELECT text; dbOpenTable only for a table name.
    RecordsetPtr OpenRecordset(TextSicht quelle, int32_t typ = dbOpenDynaset);
    // A Jet DELETE statement.
    void Execute(TextSicht sql);
    int32_t QueryTimeout() const { return zeitlimit_; }
    void QueryTimeout(int32_t s) { zeitlimit_ = s; }
    // Writes back through the driver what changed since the open or the last flush;
    // afterwards those changes count as written, so a second flush writes nothing.
    // Inside an open transaction it refuses with 3246; when the driver fails its error
    // is raised and every change is kept for the next flush or the close. A native
    // database writes at once; its log is checkpointed into the file with a sync, so
    // that every committed change is on disk.
    void Flush();
    // Changed tables of a driver-backed database are written back first; when that
    // fails the error is raised and the database stays open.
    void Close();

private:
    friend class Workspace;
    Database() = default;
    std::shared_ptr<detail::Verbindung> offen() const;
    std::shared_ptr<detail::Verbindung> db_;
    int32_t zeitlimit_ = 60;
};
using DatabasePtr = std::shared_ptr<Database>;

// Transactions span every database opened through the workspace; nested ones
// are savepoints. Commit/Rollback without a begin raise error 3034.
// A rollback discards every row written since the matching begin.
class Workspace {
public:
    Text Name() const { return name_; }
    // Connect "" or ";PWD=...;" on an SQLite file opens natively (missing: 3024; not a
    // database: 3343; locked: 3260; unreadable: 3044). Opening writes nothing to the
    // file. A file that is read-only on disk opens read-only: every change raises 3027.
    // Other formats go to their storage driver (none: 3170).
    DatabasePtr OpenDatabase(TextSicht name, bool exklusiv = false, bool nurLesen = false, TextSicht connect = {});
    // A database over a storage driver: its tables are mirrored into a private working
    // store and the changed ones handed back to the driver on Flush and Close. `name` is what
    // Database::Name reports.
    DatabasePtr OpenDatabase(std::unique_ptr<speicher::Speichertreiber> treiber, TextSicht name, bool nurLesen = false);
    // A new empty native database; an existing file raises 3204.
    DatabasePtr CreateDatabase(TextSicht name);
    void BeginTrans();
    void CommitTrans();
    void Rollback();
    // Rolls back open transactions and closes every database opened through it
    // (changed tables written back by their drivers; the first failure is raised
    // after all were tried).
    void Close();

private:
    friend std::shared_ptr<Workspace> CreateWorkspace(Text, Text, Text, int32_t);
    Text name_;
    int32_t tiefe_ = 0;
    std::vector<std::weak_ptr<detail::Verbindung>> datenbanken_;
    void allen(const char* sql);
    DatabasePtr anmelden(std::shared_ptr<detail::Verbindung> v, bool exklusiv);
};
using WorkspacePtr = std::shared_ptr<Workspace>;

// DBEngine.CreateWorkspace; type 2 (Jet) is the only one.
WorkspacePtr CreateWorkspace(Text name, Text benutzer, Text passwort, int32_t typ = 2);

template <class T>
std::shared_ptr<T> Sammlung<T>::Item(int32_t pos) const {
    if (pos < 0 || pos >= Count())
        FehlerAuslösen(fehler::NichtInAuflistung, u"Element in dieser Auflistung nicht gefunden.");
    return liste_[static_cast<size_t>(pos)];
}

template <class T>
int32_t Sammlung<T>::Position(TextSicht name) const {
    for (size_t i = 0; i < liste_.size(); ++i)
        if (liste_[i]->Name() == name) return static_cast<int32_t>(i);
    const Text schlüssel = NamenSchlüssel(name);
    for (size_t i = 0; i < liste_.size(); ++i)
        if (NamenSchlüssel(liste_[i]->Name()) == schlüssel) return static_cast<int32_t>(i);
    return -1;
}

template <class T>
std::shared_ptr<T> Sammlung<T>::Item(TextSicht name) const {
    const int32_t p = Position(name);
    if (p < 0)
        FehlerAuslösen(fehler::NichtInAuflistung,
                       u"Element in dieser Auflistung nicht gefunden: '" + Text(name) + u"'.");
    return liste_[static_cast<size_t>(p)];
}

template <class T>
void Sammlung<T>::Append(std::shared_ptr<T> objekt) {
    if (!objekt) FehlerAuslösen(91, u"Objektvariable nicht festgelegt.");
    if (Position(objekt->Name()) >= 0)
        FehlerAuslösen(fehler::NameVorhanden,
                       u"Ein Objekt namens '" + objekt->Name() + u"' ist in der Auflistung bereits vorhanden.");
    if (vorAnhängen_) vorAnhängen_(objekt);
    liste_.push_back(std::move(objekt));
    if (nachÄndern_) nachÄndern_();
}

template <class T>
void Sammlung<T>::Delete(TextSicht name) {
    const int32_t p = Position(name);
    if (p < 0)
        FehlerAuslösen(fehler::NichtInAuflistung,
                       u"Element in dieser Auflistung nicht gefunden: '" + Text(name) + u"'.");
    if (vorLöschen_) vorLöschen_(liste_[static_cast<size_t>(p)], p);
    liste_.erase(liste_.begin() + p);
    if (nachÄndern_) nachÄndern_();
}

}  // namespace dao
