#include <ctime>

#include "platform/dao/DaoIntern.h"

namespace dao {
using detail::Bezeichner;
using detail::SqlName;

namespace {
int32_t FesteGröße(int16_t typ) {
    switch (typ) {
        case dbBoolean:
        case dbByte: return 1;
        case dbInteger: return 2;
        case dbLong:
        case dbSingle: return 4;
        case dbCurrency:
        case dbDouble:
        case dbDate:
        case dbTime: return 8;
        default: return 0;
    }
}

// SQLite index names are global; Jet's are per table.
Text SqlIndexName(const Text& tabelle, const Text& index) { return u"__pix\x1F" + tabelle + u"\x1F" + index; }

void IndexAnlegen(detail::Verbindung& v, const TableDef& t, const Index& ix) {
    if (ix.Fields().Count() == 0)
        FehlerAuslösen(fehler::OhneFelder, u"Der Index '" + ix.Name() + u"' hat keine Felder.");
    Text sql = Text(ix.Unique() ? u"CREATE UNIQUE INDEX " : u"CREATE INDEX ") +
               Bezeichner(SqlIndexName(t.Name(), ix.Name())) + u" ON " + SqlName(t.Name()) + u"(";
    bool erstes = true;
    auto& felder = const_cast<TableDef&>(t).Fields();
    for (auto& f : ix.Fields().liste()) {
        const int32_t p = felder.Position(f->Name());
        if (p < 0)
            FehlerAuslösen(fehler::NichtInAuflistung,
                           u"Das Feld '" + f->Name() + u"' des Index ist nicht in der Tabelle.");
        sql += (erstes ? u"" : u",") + SqlName(felder.liste()[static_cast<size_t>(p)]->Name());
        // Jet compares text keys case-blind: "Meier" and "MEIER" collide in a unique index.
        if (detail::IstTextTyp(felder.liste()[static_cast<size_t>(p)]->Type())) sql += u" COLLATE PURIVO";
        erstes = false;
    }
    v.ausführen(sql + u")");
}

bool GleicherName(TextSicht a, TextSicht b) { return NamenSchlüssel(a) == NamenSchlüssel(b); }
}  // namespace

// ---- Field ----

std::shared_ptr<detail::Verbindung> Field::gespeichertIn() const {
    if (auto t = tabelle_.lock()) return t->db_.lock();
    return nullptr;
}

// A property of a stored field: checked for read-only (and the table loaded) before it
// changes, written to the stored structure after.
void Field::geändert() {
    if (auto v = gespeichertIn()) {
        tabelle_.lock()->geändert_ = detail::Jetzt();
        v->strukturSchreiben();
    }
}
void Field::Name(Text n) {
    auto v = gespeichertIn();
    if (!v || n == name_) {
        name_ = std::move(n);
        return;
    }
    auto t = tabelle_.lock();
    if (n.empty()) FehlerAuslösen(fehler::OhneFelder, u"Das Feld hat keinen Namen.");
    for (auto& g : t->felder_.liste())
        if (g.get() != this && GleicherName(g->Name(), n))
            FehlerAuslösen(fehler::FeldVorhanden, u"Das Feld '" + n + u"' ist in der Tabelle bereits vorhanden.");
    v->ändern(*t);
    const Text alt = name_;
    auto umbenennen = [&](const Text& von, const Text& nach) {
        for (auto& ix : t->indizes_.liste())
            for (auto& f : ix->Fields().liste())
                if (GleicherName(f->name_, von)) f->name_ = nach;
        for (auto& r : v->relationen.liste()) {
            const bool primär = GleicherName(r->Table(), t->name_), fremd = GleicherName(r->ForeignTable(), t->name_);
            for (auto& f : r->Fields().liste()) {
                if (primär && GleicherName(f->name_, von)) f->name_ = nach;
                if (fremd && GleicherName(f->fremdName_, von)) f->fremdName_ = nach;
            }
        }
        name_ = nach;
    };
    try {
        detail::ausführenInSicherung(*v, [&] {
            // Two steps, since SQLite sees a change of case only as the same name.
            const Text tabelle = SqlName(t->name_), zwischen = Bezeichner(u"__purivo_umbenennung");
            v->ausführen(u"ALTER TABLE " + tabelle + u" RENAME COLUMN " + SqlName(alt) + u" TO " + zwischen);
            v->ausführen(u"ALTER TABLE " + tabelle + u" RENAME COLUMN " + zwischen + u" TO " + SqlName(n));
            umbenennen(alt, n);
            t->geändert_ = detail::Jetzt();
            v->strukturSchreiben();
        });
    } catch (...) {
        umbenennen(n, alt);
        throw;
    }
    v->vorrat.erase(t.get());
}
void Field::Type(int16_t t) {
    if (gespeichertIn())
        FehlerAuslösen(fehler::OperationUngültig, u"Der Typ eines gespeicherten Feldes kann nicht geändert werden.");
    typ_ = t;
    if (FesteGröße(t)) größe_ = FesteGröße(t);
}
void Field::Size(int32_t s) {
    if (FesteGröße(typ_)) return;  // fixed types keep their storage size
    if (typ_ == dbText && (s < 1 || s > 255))
        FehlerAuslösen(fehler::FeldgrößeUngültig, u"Ungültige Feldgröße für ein Textfeld.");
    if (auto v = gespeichertIn()) v->ändern(*tabelle_.lock());
    größe_ = s;
    geändert();
}
void Field::Attributes(int32_t a) {
    if (auto v = gespeichertIn()) v->ändern(*tabelle_.lock());
    attribute_ = a;
    geändert();
}
void Field::AllowZeroLength(bool b) {
    if (auto v = gespeichertIn()) v->ändern(*tabelle_.lock());
    leerErlaubt_ = b;
    geändert();
}
void Field::Required(bool b) {
    if (auto v = gespeichertIn()) v->ändern(*tabelle_.lock());
    pflicht_ = b;
    geändert();
}

// ---- Index, Relation ----

Index::Index() = default;
FieldPtr Index::CreateField(Text name) {
    auto f = std::make_shared<Field>();
    f->Name(std::move(name));
    return f;
}
FieldPtr Relation::CreateField(Text name) const {
    auto f = std::make_shared<Field>();
    f->Name(std::move(name));
    return f;
}

// ---- TableDef ----

Variante TableDef::DateCreated() const { return erstellt_ ? Variante::Datum(erstellt_) : Variante::Null(); }
Variante TableDef::LastUpdated() const { return geändert_ ? Variante::Datum(geändert_) : Variante::Null(); }

double detail::Jetzt() {
    const std::time_t t = std::time(nullptr);
    std::tm lokal{};
    localtime_r(&t, &lokal);
    // 25569: 1.1.1970 counted from 30.12.1899.
    return 25569.0 + static_cast<double>(t + lokal.tm_gmtoff) / 86400.0;
}

std::shared_ptr<TableDef> TableDef::Neu() {
    std::shared_ptr<TableDef> t(new TableDef());
    t->einrichten();
    return t;
}

void TableDef::Name(Text n) {
    auto v = db_.lock();
    if (!v || n == name_) {
        name_ = std::move(n);
        return;
    }
    if (n.empty()) FehlerAuslösen(fehler::NameUngültig, u"Die Tabelle hat keinen gültigen Namen.");
    const int32_t p = v->tabellen.Position(n);
    if (p >= 0 && v->tabellen.liste()[static_cast<size_t>(p)].get() != this)
        FehlerAuslösen(fehler::TabelleVorhanden, u"Die Tabelle '" + n + u"' ist bereits vorhanden.");
    v->schreibbar();
    if (v->treiber) v->treiber->TabellennamePrüfen(n);
    const Text alt = name_;
    std::vector<std::pair<Relation*, int>> geändert;  // 1 primary side, 2 foreign side
    auto umbenennen = [&](const Text& nach) {
        name_ = nach;
        for (auto& [r, seite] : geändert) (seite == 1 ? static_cast<void>(r->Table(nach)) : r->ForeignTable(nach));
    };
    for (auto& r : v->relationen.liste()) {
        if (GleicherName(r->Table(), alt)) geändert.emplace_back(r.get(), 1);
        if (GleicherName(r->ForeignTable(), alt)) geändert.emplace_back(r.get(), 2);
    }
    try {
        detail::ausführenInSicherung(*v, [&] {
            for (auto& ix : indizes_.liste()) v->ausführen(u"DROP INDEX " + Bezeichner(SqlIndexName(alt, ix->Name())));
            const Text zwischen = Bezeichner(u"__purivo_umbenennung");
            v->ausführen(u"ALTER TABLE " + SqlName(alt) + u" RENAME TO " + zwischen);
            v->ausführen(u"ALTER TABLE " + zwischen + u" RENAME TO " + SqlName(n));
            umbenennen(n);
            for (auto& ix : indizes_.liste()) IndexAnlegen(*v, *this, *ix);
            v->spiegelUmbenannt(alt, n);
            geändert_ = detail::Jetzt();
            v->strukturSchreiben();
        });
    } catch (...) {
        umbenennen(alt);
        throw;
    }
    v->vorrat.erase(this);
}

FieldPtr TableDef::CreateField(Text name, int16_t typ, int32_t größe) const {
    auto f = std::make_shared<Field>();
    f->name_ = std::move(name);
    f->typ_ = typ;
    f->größe_ = FesteGröße(typ) ? FesteGröße(typ) : typ == dbText ? (größe > 0 ? größe : 50) : größe;
    if (typ == dbText && (f->größe_ < 1 || f->größe_ > 255))
        FehlerAuslösen(fehler::FeldgrößeUngültig, u"Ungültige Feldgröße für ein Textfeld.");
    return f;
}

IndexPtr TableDef::CreateIndex(Text name) const {
    auto ix = std::make_shared<Index>();
    ix->Name(std::move(name));
    return ix;
}

void TableDef::einrichten() {
    felder_.vorAnhängen_ = [this](const FieldPtr& f) {
        if (f->Name().empty()) FehlerAuslösen(fehler::OhneFelder, u"Das Feld hat keinen Namen.");
        if (auto v = db_.lock()) {
            for (auto& g : felder_.liste())
                if (GleicherName(g->Name(), f->Name()))
                    FehlerAuslösen(fehler::FeldVorhanden,
                                   u"Das Feld '" + f->Name() + u"' ist in der Tabelle bereits vorhanden.");
            v->ändern(*this);
            v->ausführen(u"ALTER TABLE " + SqlName(name_) + u" ADD COLUMN " + SqlName(f->Name()));
            v->vorrat.erase(this);
        }
        f->tabelle_ = weak_from_this();
    };
    felder_.vorLöschen_ = [this](const FieldPtr& f, int32_t) {
        for (auto& ix : indizes_.liste())
            if (ix->Fields().Position(f->Name()) >= 0)
                FehlerAuslösen(fehler::FeldImIndex, u"Das Feld '" + f->Name() + u"' gehört zum Index '" + ix->Name() +
                                                        u"' und kann nicht gelöscht werden.");
        if (auto v = db_.lock()) {
            v->ändern(*this);
            v->spalteLöschen(*this, *f);
            v->vorrat.erase(this);
            v->autoWerteVergessen(this);
        }
    };
    indizes_.vorAnhängen_ = [this](const IndexPtr& ix) {
        if (ix->Primary())
            for (auto& a : indizes_.liste())
                if (a->Primary())
                    FehlerAuslösen(fehler::PrimärschlüsselVorhanden, u"Die Tabelle hat bereits einen Primärschlüssel.");
        if (auto v = db_.lock()) {
            v->ändern(*this);
            IndexAnlegen(*v, *this, *ix);
            v->vorrat.erase(this);
        }
    };
    indizes_.vorLöschen_ = [this](const IndexPtr& ix, int32_t) {
        if (auto v = db_.lock()) {
            v->ändern(*this);
            v->ausführen(u"DROP INDEX " + Bezeichner(SqlIndexName(name_, ix->Name())));
            v->vorrat.erase(this);
        }
    };
    auto schreiben = [this] {
        if (auto v = db_.lock()) {
            geändert_ = detail::Jetzt();
            v->strukturSchreiben();
        }
    };
    felder_.nachÄndern_ = schreiben;
    indizes_.nachÄndern_ = schreiben;
}

// ---- Database: structure ----

Sammlung<TableDef>& Database::TableDefs() { return offen()->tabellen; }
Sammlung<Relation>& Database::Relations() { return offen()->relationen; }

TableDefPtr Database::CreateTableDef(Text name) const {
    offen();
    auto t = TableDef::Neu();
    t->name_ = std::move(name);
    return t;
}

RelationPtr Database::CreateRelation(Text name, Text tabelle, Text fremdTabelle, int32_t attribute) const {
    offen();
    auto r = std::make_shared<Relation>();
    r->Name(std::move(name));
    r->Table(std::move(tabelle));
    r->ForeignTable(std::move(fremdTabelle));
    r->Attributes(attribute);
    return r;
}

namespace detail {
namespace {
// A table as the engine makes it: untyped columns without constraints, only the
// engine's own indexes, no trigger or view in the file. SQLite drops any of its
// columns that no index holds, so a drop can wait without an error coming later.
bool SchlichteTabelle(Verbindung& v, const TableDef& t) {
    const Text name = Speichername(t.Name());
    Text sql;
    {
        Anweisung a(v.db, u"SELECT sql FROM sqlite_master WHERE type='table' AND name=?");
        a.binden(1, Variante(name));
        if (!a.schritt()) return false;
        sql = SpaltenText(a.s(), 0);
    }
    // Without its quoted names and blanks the statement must read CREATE TABLE(,,…).
    Text rest;
    for (size_t i = 0; i < sql.size(); ++i) {
        if (sql[i] == u'"') {
            for (++i; i < sql.size(); ++i)
                if (sql[i] == u'"') {
                    if (i + 1 < sql.size() && sql[i + 1] == u'"') ++i;
                    else break;
                }
            continue;
        }
        if (sql[i] != u' ' && sql[i] != u'\t' && sql[i] != u'\n' && sql[i] != u'\r') rest.push_back(sql[i]);
    }
    rest = Grossbuchstaben(rest);
    const TextSicht kopf = u"CREATETABLE(";
    if (!rest.starts_with(kopf) || !rest.ends_with(u")")) return false;
    for (size_t i = kopf.size(); i + 1 < rest.size(); ++i)
        if (rest[i] != u',') return false;
    Anweisung z(v.db, u"SELECT count(*) FROM sqlite_master WHERE type IN ('trigger','view') OR (type='index' AND "
                      u"tbl_name=? AND (sql IS NULL OR substr(name,1,6)<>'__pix'||char(31)))");
    z.binden(1, Variante(name));
    z.schritt();
    return sqlite3_column_int(z.s(), 0) == 0;
}

constexpr size_t kKopierenAb = 4;  // waiting columns, see spaltenEntfernen

// Table t without the columns `weg`, as a copy that takes its name, rowids and engine
// indexes (made again from their stored SQL after the rows, which sorts each once).
// False, with nothing done, where the drops must decide: no alias left for the rowid,
// a column missing, an index over an expression or part of the rows, or one over a
// dropped column (SQLite refuses that drop; the copy's index would take the quoted name
// for a string).
bool OhneSpaltenNeuAnlegen(Verbindung& v, const TableDef& t, const std::vector<Text>& weg) {
    const Text name = Speichername(t.Name());
    // SQLite folds only ASCII letters in names.
    auto gleich = [](TextSicht a) {
        return [a8 = nachUtf8(a)](TextSicht b) { return sqlite3_stricmp(a8.c_str(), nachUtf8(b).c_str()) == 0; };
    };
    std::vector<Text> spalten;
    {
        Anweisung a(v.db, u"SELECT name FROM pragma_table_info(?)");
        a.binden(1, Variante(name));
        while (a.schritt()) spalten.push_back(SpaltenText(a.s(), 0));
    }
    const char16_t* zeile = nullptr;
    for (const char16_t* alias : {u"rowid", u"_rowid_", u"oid"})
        if (std::none_of(spalten.begin(), spalten.end(), gleich(alias))) {
            zeile = alias;
            break;
        }
    for (const Text& s : weg)
        if (std::none_of(spalten.begin(), spalten.end(), gleich(s))) zeile = nullptr;
    {
        Anweisung a(v.db, u"SELECT x.name, x.cid < 0 OR l.partial FROM pragma_index_list(?) l, "
                          u"pragma_index_xinfo(l.name) x WHERE x.key");
        a.binden(1, Variante(name));
        while (zeile && a.schritt())
            if (sqlite3_column_int(a.s(), 1) || std::any_of(weg.begin(), weg.end(), gleich(SpaltenText(a.s(), 0))))
                zeile = nullptr;
    }
    if (!zeile) return false;
    Text liste;
    for (const Text& s : spalten)
        if (std::none_of(weg.begin(), weg.end(), gleich(s))) liste += (liste.empty() ? u"" : u",") + Bezeichner(s);
    std::vector<Text> indizes;
    {
        Anweisung a(v.db, u"SELECT sql FROM sqlite_master WHERE type='index' AND tbl_name=? COLLATE NOCASE AND sql "
                          u"IS NOT NULL ORDER BY rowid");
        a.binden(1, Variante(name));
        while (a.schritt()) indizes.push_back(SpaltenText(a.s(), 0));
    }
    const Text alt = Bezeichner(name), neu = Bezeichner(u"__purivo_neubau");
    v.ausführen(u"CREATE TABLE " + neu + u"(" + liste + u")");
    v.ausführen(u"INSERT INTO " + neu + u"(" + zeile + u"," + liste + u") SELECT " + zeile + u"," + liste + u" FROM " +
                alt);
    v.ausführen(u"DROP TABLE " + alt);
    v.ausführen(u"ALTER TABLE " + neu + u" RENAME TO " + alt);
    for (const Text& sql : indizes) v.ausführen(sql);
    return true;
}
}  // namespace

void Verbindung::spalteLöschen(TableDef& t, const Field& f) {
    const Text spalte = Speichername(f.Name());
    if (löschTabelle.lock().get() != &t) spaltenEntfernen();
    strömeBeenden();  // a running read holds the former columns
    // Dropping the last column fails in SQLite; that error belongs to the call.
    if (t.Fields().Count() > 1 && (!gelöschteSpalten.empty() || SchlichteTabelle(*this, t))) {
        löschTabelle = t.weak_from_this();
        gelöschteSpalten.push_back(spalte);
        return;
    }
    spaltenEntfernen();
    ausführen(u"ALTER TABLE " + SqlName(t.Name()) + u" DROP COLUMN " + Bezeichner(spalte));
}

void Verbindung::spaltenEntfernen() {
    auto t = löschTabelle.lock();
    std::vector<Text> spalten = std::move(gelöschteSpalten);
    gelöschteSpalten.clear();
    löschTabelle.reset();
    if (!t || spalten.empty() || !db || geschlossen) return;
    // SQLite rewrites every row for each DROP COLUMN. One copy into a new table takes
    // less than half the time of four such drops, but the commit after it writes more,
    // as the file grows by the copy: all told it gains from four columns on (the search's
    // end, a million rows: a fifth quicker) and loses below. One savepoint: a failure is
    // raised once and undoes all; the columns then stay in the table, unseen.
    ausführenInSicherung(*this, [&] {
        if (spalten.size() >= kKopierenAb) {
            // A copy that fails (an index that cannot be made again, say) leaves the
            // drops to decide, as they would without it.
            bool kopiert = false;
            try {
                ausführenInSicherung(*this, [&] { kopiert = OhneSpaltenNeuAnlegen(*this, *t, spalten); });
            } catch (const std::exception&) {
                kopiert = false;
            }
            if (kopiert) return;
        }
        for (const Text& s : spalten)
            ausführen(u"ALTER TABLE " + SqlName(t->Name()) + u" DROP COLUMN " + Bezeichner(s));
    });
    vorrat.erase(t.get());
}

void TabelleAnlegen(Verbindung& v, const TableDef& t) {
    auto& felder = const_cast<TableDef&>(t).Fields();
    if (felder.Count() == 0) FehlerAuslösen(fehler::OhneFelder, u"Die Tabelle '" + t.Name() + u"' hat keine Felder.");
    Text sql = u"CREATE TABLE " + SqlName(t.Name()) + u"(";
    for (int32_t i = 0; i < felder.Count(); ++i) {
        const Text& n = felder.liste()[static_cast<size_t>(i)]->Name();
        if (n.empty())
            FehlerAuslösen(fehler::OhneFelder, u"Ein Feld der Tabelle '" + t.Name() + u"' hat keinen Namen.");
        for (int32_t j = 0; j < i; ++j)
            if (GleicherName(felder.liste()[static_cast<size_t>(j)]->Name(), n))
                FehlerAuslösen(fehler::FeldVorhanden, u"Das Feld '" + n + u"' ist mehrfach definiert.");
        sql += (i ? u"," : u"") + SqlName(n);
    }
    v.ausführen(sql + u")");
    int primär = 0;
    for (auto& ix : const_cast<TableDef&>(t).Indexes().liste()) {
        if (ix->Primary() && ++primär > 1)
            FehlerAuslösen(fehler::PrimärschlüsselVorhanden, u"Die Tabelle hat bereits einen Primärschlüssel.");
        IndexAnlegen(v, t, *ix);
    }
}

void Verbindung::strukturHaken() {
    Verbindung& v = *this;
    v.tabellen.vorAnhängen_ = [&v](const TableDefPtr& t) {
        v.schreibbar();
        if (t->Name().empty()) FehlerAuslösen(fehler::NameUngültig, u"Die Tabelle hat keinen gültigen Namen.");
        if (t->db_.lock()) FehlerAuslösen(fehler::NameVorhanden, u"Die Tabelle ist bereits angefügt.");
        if (v.treiber) v.treiber->TabellennamePrüfen(t->Name());
        ausführenInSicherung(v, [&] {
            TabelleAnlegen(v, *t);
            v.spiegelNeu(*t);
        });
        t->erstellt_ = t->geändert_ = Jetzt();
        t->db_ = v.selbst;
        for (auto& f : t->Fields().liste()) f->tabelle_ = t;
    };
    v.tabellen.vorLöschen_ = [&v](const TableDefPtr& t, int32_t) {
        v.schreibbar();
        for (auto& r : v.relationen.liste())
            if (GleicherName(r->Table(), t->Name()) || GleicherName(r->ForeignTable(), t->Name()))
                FehlerAuslösen(fehler::InBeziehung, u"Die Tabelle '" + t->Name() + u"' gehört zur Beziehung '" +
                                                        r->Name() + u"' und kann nicht gelöscht werden.");
        // Drops waiting on a table about to go are void, unless it stays.
        std::vector<Text> wartend;
        if (v.löschTabelle.lock() == t) {
            wartend = std::move(v.gelöschteSpalten);
            v.gelöschteSpalten.clear();
            v.löschTabelle.reset();
        }
        try {
            ausführenInSicherung(v, [&] {
                v.ausführen(u"DROP TABLE " + SqlName(t->Name()));
                v.spiegelGelöscht(*t);
            });
        } catch (...) {
            if (!wartend.empty()) {
                v.löschTabelle = t;
                v.gelöschteSpalten = std::move(wartend);
            }
            throw;
        }
        v.vorrat.erase(t.get());
        v.autoWerteVergessen(t.get());
        t->db_.reset();
    };
    v.relationen.vorAnhängen_ = [&v](const RelationPtr& r) {
        v.schreibbar();
        if (v.tabellen.Position(r->Table()) < 0 || v.tabellen.Position(r->ForeignTable()) < 0)
            FehlerAuslösen(fehler::NichtInAuflistung,
                           u"Eine Tabelle der Beziehung '" + r->Name() + u"' gibt es nicht.");
        if (v.treiber) v.treiber->BeziehungPrüfen(RelationsBeschreibungVon(*r), true);
    };
    v.relationen.vorLöschen_ = [&v](const RelationPtr& r, int32_t) {
        v.schreibbar();
        // Only what the file holds is the driver's to refuse.
        if (v.treiber && v.quellRelationen.count(r->Name()))
            v.treiber->BeziehungPrüfen(RelationsBeschreibungVon(*r), false);
    };
    v.tabellen.nachÄndern_ = [&v] { v.strukturSchreiben(); };
    v.relationen.nachÄndern_ = [&v] { v.strukturSchreiben(); };
}
}  // namespace detail

}  // namespace dao
