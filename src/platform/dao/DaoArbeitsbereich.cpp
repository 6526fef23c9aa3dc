#include <sys/stat.h>

#include "platform/dao/DaoIntern.h"

namespace dao {

WorkspacePtr CreateWorkspace(Text name, Text, Text, int32_t typ) {
    if (typ != 2) FehlerAuslösen(3251, u"Dieser Arbeitsbereichstyp wird nicht unterstützt.");
    auto w = std::shared_ptr<Workspace>(new Workspace());
    w->name_ = std::move(name);
    return w;
}

namespace {
bool Existiert(const std::string& pfad) {
    struct stat st {};
    return ::stat(pfad.c_str(), &st) == 0;
}

std::shared_ptr<detail::Verbindung> Verbinden(const Text& name, int flags, bool nurLesen) {
    auto v = std::make_shared<detail::Verbindung>();
    v->selbst = v;
    v->pfad = name;
    v->nurLesen = nurLesen;
    const int rc = sqlite3_open_v2(nachUtf8(name).c_str(), &v->db, flags, nullptr);
    if (rc != SQLITE_OK) detail::SqlFehler(v->db, rc);
    sqlite3_extended_result_codes(v->db, 0);
    sqlite3_busy_timeout(v->db, 1000);
    v->einrichten();
    v->strukturLaden();  // also proves the file is a database
    v->strukturHaken();
    return v;
}
}  // namespace

DatabasePtr Workspace::OpenDatabase(TextSicht name, bool exklusiv, bool nurLesen, TextSicht connect) {
    const Text c(connect);
    if (!c.empty() && c.rfind(u";PWD=", 0) != 0)
        FehlerAuslösen(3170, u"Für das Format '" + c + u"' ist kein Speichertreiber vorhanden.");
    const std::string pfad = nachUtf8(name);
    if (pfad.empty() || !Existiert(pfad))
        FehlerAuslösen(3024, u"Die Datei '" + Text(name) + u"' wurde nicht gefunden.");
    auto v = Verbinden(Text(name), nurLesen ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE, nurLesen);
    if (exklusiv) v->ausführen(u"PRAGMA locking_mode=EXCLUSIVE");
    if (tiefe_ > 0)  // joins the open transaction
        for (int32_t i = 1; i <= tiefe_; ++i) v->ausführen(u"SAVEPOINT purivo_t" + ausUtf8(std::to_string(i)));
    datenbanken_.push_back(v);
    auto d = std::shared_ptr<Database>(new Database());
    d->db_ = std::move(v);
    return d;
}

DatabasePtr Workspace::CreateDatabase(TextSicht name) {
    const std::string pfad = nachUtf8(name);
    if (pfad.empty() || Existiert(pfad)) FehlerAuslösen(3204, u"Die Datenbank '" + Text(name) + u"' existiert bereits.");
    auto v = Verbinden(Text(name), SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, false);
    v->ausführen(u"PRAGMA encoding='UTF-16le'");
    v->strukturSchreiben();
    datenbanken_.push_back(v);
    auto d = std::shared_ptr<Database>(new Database());
    d->db_ = std::move(v);
    return d;
}

void Workspace::allen(const char* sql) {
    for (auto& w : datenbanken_)
        if (auto v = w.lock()) v->ausführen(ausUtf8(sql));
}

void Workspace::BeginTrans() {
    ++tiefe_;
    const std::string n = "SAVEPOINT purivo_t" + std::to_string(tiefe_);
    allen(n.c_str());
}

void Workspace::CommitTrans() {
    if (tiefe_ == 0) FehlerAuslösen(3034, u"Es wurde keine Transaktion begonnen, die bestätigt werden könnte.");
    const std::string n = "RELEASE purivo_t" + std::to_string(tiefe_);
    --tiefe_;
    allen(n.c_str());
}

void Workspace::Rollback() {
    if (tiefe_ == 0) FehlerAuslösen(3034, u"Es wurde keine Transaktion begonnen, die zurückgesetzt werden könnte.");
    const std::string n = "purivo_t" + std::to_string(tiefe_);
    --tiefe_;
    for (auto& w : datenbanken_)
        if (auto v = w.lock()) {
            v->ausführen(ausUtf8("ROLLBACK TO " + n));
            v->ausführen(ausUtf8("RELEASE " + n));
            v->autoWert.clear();
            v->strukturLaden();  // a structure change inside the transaction is undone too
        }
}

void Workspace::Close() {
    while (tiefe_ > 0) Rollback();
    datenbanken_.clear();
}

// ---- Database ----

Database::~Database() = default;

std::shared_ptr<detail::Verbindung> Database::offen() const {
    if (!db_) FehlerAuslösen(3420, u"Das Objekt ist ungültig oder nicht mehr festgelegt.");
    return db_;
}

Text Database::Name() const { return offen()->pfad; }

void Database::Close() {
    if (!db_) FehlerAuslösen(3420, u"Die Datenbank ist bereits geschlossen.");
    db_.reset();
}

void Database::Execute(TextSicht sql) {
    auto v = offen();
    auto a = detail::SqlÜbersetzen(*v, sql);
    if (!a.löschen) FehlerAuslösen(3065, u"Eine Auswahlabfrage kann nicht ausgeführt werden.");
    v->schreibbar();
    Text text = u"DELETE FROM " + detail::Bezeichner(a.tabelle->Name());
    if (!a.bedingung.empty()) text += u" WHERE " + a.bedingung;
    detail::Anweisung st(v->db, text);
    for (size_t i = 0; i < a.parameter.size(); ++i) st.binden(static_cast<int>(i + 1), a.parameter[i]);
    st.schritt();
}

}  // namespace dao
