#include "platform/dao/DaoIntern.h"

namespace dao {
using detail::Bezeichner;

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
    if (ix.Fields().Count() == 0) FehlerAuslösen(3264, u"Der Index '" + ix.Name() + u"' hat keine Felder.");
    Text sql = Text(ix.Unique() ? u"CREATE UNIQUE INDEX " : u"CREATE INDEX ") +
               Bezeichner(SqlIndexName(t.Name(), ix.Name())) + u" ON " + Bezeichner(t.Name()) + u"(";
    bool erstes = true;
    for (auto& f : ix.Fields().liste()) {
        if (const_cast<TableDef&>(t).Fields().Position(f->Name()) < 0)
            FehlerAuslösen(3265, u"Das Feld '" + f->Name() + u"' des Index ist nicht in der Tabelle.");
        sql += (erstes ? u"" : u",") + Bezeichner(f->Name());
        erstes = false;
    }
    v.ausführen(sql + u")");
}
}  // namespace

// ---- Field ----

void Field::geändert() {
    if (auto t = tabelle_.lock())
        if (auto v = t->db_.lock()) v->strukturSchreiben();
}
void Field::Name(Text n) {
    if (!tabelle_.expired() && tabelle_.lock()->db_.lock())
        FehlerAuslösen(3219, u"Der Name eines gespeicherten Feldes kann nicht geändert werden.");
    name_ = std::move(n);
}
void Field::Type(int16_t t) {
    if (!tabelle_.expired() && tabelle_.lock()->db_.lock())
        FehlerAuslösen(3219, u"Der Typ eines gespeicherten Feldes kann nicht geändert werden.");
    typ_ = t;
    if (FesteGröße(t)) größe_ = FesteGröße(t);
}
void Field::Size(int32_t s) {
    if (FesteGröße(typ_)) return;  // fixed types keep their storage size
    if (typ_ == dbText && (s < 1 || s > 255)) FehlerAuslösen(3009, u"Ungültige Feldgröße für ein Textfeld.");
    größe_ = s;
    geändert();
}
void Field::Attributes(int32_t a) {
    attribute_ = a;
    geändert();
}
void Field::AllowZeroLength(bool b) {
    leerErlaubt_ = b;
    geändert();
}
void Field::Required(bool b) {
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

std::shared_ptr<TableDef> TableDef::Neu() {
    std::shared_ptr<TableDef> t(new TableDef());
    t->einrichten();
    return t;
}

void TableDef::Name(Text n) {
    if (db_.lock()) FehlerAuslösen(3219, u"Eine gespeicherte Tabelle kann nicht umbenannt werden.");
    name_ = std::move(n);
}

FieldPtr TableDef::CreateField(Text name, int16_t typ, int32_t größe) const {
    auto f = std::make_shared<Field>();
    f->name_ = std::move(name);
    f->typ_ = typ;
    f->größe_ = FesteGröße(typ) ? FesteGröße(typ) : typ == dbText ? (größe > 0 ? größe : 50) : größe;
    if (typ == dbText && (f->größe_ < 1 || f->größe_ > 255)) FehlerAuslösen(3009, u"Ungültige Feldgröße für ein Textfeld.");
    return f;
}

IndexPtr TableDef::CreateIndex(Text name) const {
    auto ix = std::make_shared<Index>();
    ix->Name(std::move(name));
    return ix;
}

void TableDef::einrichten() {
    felder_.vorAnhängen_ = [this](const FieldPtr& f) {
        if (f->Name().empty()) FehlerAuslösen(3264, u"Das Feld hat keinen Namen.");
        if (auto v = db_.lock()) {
            v->schreibbar();
            v->ausführen(u"ALTER TABLE " + Bezeichner(name_) + u" ADD COLUMN " + Bezeichner(f->Name()));
        }
        f->tabelle_ = weak_from_this();
    };
    felder_.vorLöschen_ = [this](const FieldPtr& f, int32_t) {
        for (auto& ix : indizes_.liste())
            if (ix->Fields().Position(f->Name()) >= 0)
                FehlerAuslösen(3280, u"Das Feld '" + f->Name() + u"' gehört zum Index '" + ix->Name() +
                                         u"' und kann nicht gelöscht werden.");
        if (auto v = db_.lock()) {
            v->schreibbar();
            v->ausführen(u"ALTER TABLE " + Bezeichner(name_) + u" DROP COLUMN " + Bezeichner(f->Name()));
        }
    };
    indizes_.vorAnhängen_ = [this](const IndexPtr& ix) {
        if (ix->Primary())
            for (auto& a : indizes_.liste())
                if (a->Primary()) FehlerAuslösen(3283, u"Die Tabelle hat bereits einen Primärschlüssel.");
        if (auto v = db_.lock()) {
            v->schreibbar();
            IndexAnlegen(*v, *this, *ix);
        }
    };
    indizes_.vorLöschen_ = [this](const IndexPtr& ix, int32_t) {
        if (auto v = db_.lock()) v->ausführen(u"DROP INDEX " + Bezeichner(SqlIndexName(name_, ix->Name())));
    };
    auto schreiben = [this] {
        if (auto v = db_.lock()) v->strukturSchreiben();
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
void Verbindung::strukturHaken() {
    Verbindung& v = *this;
    v.tabellen.vorAnhängen_ = [&v](const TableDefPtr& t) {
        v.schreibbar();
        if (t->Name().empty()) FehlerAuslösen(3125, u"Die Tabelle hat keinen gültigen Namen.");
        if (t->db_.lock()) FehlerAuslösen(3367, u"Die Tabelle ist bereits angefügt.");
        if (t->Fields().Count() == 0) FehlerAuslösen(3264, u"Die Tabelle '" + t->Name() + u"' hat keine Felder.");
        Text sql = u"CREATE TABLE " + Bezeichner(t->Name()) + u"(";
        for (int32_t i = 0; i < t->Fields().Count(); ++i) {
            const Text& n = t->Fields().liste()[static_cast<size_t>(i)]->Name();
            for (int32_t j = 0; j < i; ++j)
                if (NamenSchlüssel(t->Fields().liste()[static_cast<size_t>(j)]->Name()) == NamenSchlüssel(n))
                    FehlerAuslösen(3191, u"Das Feld '" + n + u"' ist mehrfach definiert.");
            sql += (i ? u"," : u"") + Bezeichner(n);
        }
        ausführenInSicherung(v, [&] {
            v.ausführen(sql + u")");
            for (auto& ix : t->Indexes().liste()) IndexAnlegen(v, *t, *ix);
        });
        t->db_ = v.selbst;
    };
    v.tabellen.vorLöschen_ = [&v](const TableDefPtr& t, int32_t) {
        v.schreibbar();
        for (auto& r : v.relationen.liste())
            if (NamenSchlüssel(r->Table()) == NamenSchlüssel(t->Name()) ||
                NamenSchlüssel(r->ForeignTable()) == NamenSchlüssel(t->Name()))
                FehlerAuslösen(3303, u"Die Tabelle '" + t->Name() + u"' gehört zur Beziehung '" + r->Name() +
                                         u"' und kann nicht gelöscht werden.");
        v.ausführen(u"DROP TABLE " + Bezeichner(t->Name()));
        v.leser.erase(t.get());
        t->db_.reset();
    };
    v.relationen.vorAnhängen_ = [&v](const RelationPtr& r) {
        v.schreibbar();
        if (v.tabellen.Position(r->Table()) < 0 || v.tabellen.Position(r->ForeignTable()) < 0)
            FehlerAuslösen(3265, u"Eine Tabelle der Beziehung '" + r->Name() + u"' gibt es nicht.");
    };
    v.tabellen.nachÄndern_ = [&v] { v.strukturSchreiben(); };
    v.relationen.nachÄndern_ = [&v] { v.strukturSchreiben(); };
}
}  // namespace detail

}  // namespace dao
