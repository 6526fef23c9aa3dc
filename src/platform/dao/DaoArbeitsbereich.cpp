#include <sys/stat.h>

#include <exception>

#include "platform/dao/DaoIntern.h"
#include "platform/dao/storage/Dateisatz.h"

namespace dao {

WorkspacePtr CreateWorkspace(Text name, Text, Text, int32_t typ) {
    if (typ != 2) FehlerAuslösen(fehler::NichtUnterstützt, u"Dieser Arbeitsbereichstyp wird nicht unterstützt.");
    auto w = std::shared_ptr<Workspace>(new Workspace());
    w->name_ = std::move(name);
    return w;
}

namespace {
// A search pass sorts and reads whole tables of a million records: 64 MiB of
// pages (SQLite's default is 2 MiB) keep them and the sorter in memory.
constexpr const char16_t* kSeitenspeicher = u"PRAGMA cache_size=-65536";

bool Existiert(const std::string& pfad) {
    struct stat st {};
    return ::stat(pfad.c_str(), &st) == 0;
}

std::shared_ptr<detail::Verbindung> Verbinden(const Text& name, int flags, bool nurLesen) {
    auto v = std::make_shared<detail::Verbindung>();
    v->selbst = v;
    v->pfad = name;
    v->nurLesen = nurLesen;
    // One thread works a connection (the search's workers never touch it), so SQLite
    // need not lock around every call.
    const int rc = sqlite3_open_v2(nachUtf8(name).c_str(), &v->db, flags | SQLITE_OPEN_NOMUTEX, nullptr);
    if (rc != SQLITE_OK) detail::SqlFehler(v->db, rc);
    sqlite3_extended_result_codes(v->db, 0);
    sqlite3_busy_timeout(v->db, 1000);
    v->ausführen(kSeitenspeicher);
    v->einrichten();
    v->strukturLaden();  // also proves the file is a database; reads only
    v->strukturHaken();
    return v;
}
}  // namespace

DatabasePtr Workspace::anmelden(std::shared_ptr<detail::Verbindung> v, bool exklusiv) {
    if (exklusiv) v->ausführen(u"PRAGMA locking_mode=EXCLUSIVE");
    for (int32_t i = 1; i <= tiefe_; ++i) {  // joins the open transaction
        v->sicherungsStände.push_back(v->strukturStand);
        v->ausführen(u"SAVEPOINT purivo_t" + ausUtf8(std::to_string(i)));
    }
    std::erase_if(datenbanken_, [](const std::weak_ptr<detail::Verbindung>& w) { return w.expired(); });
    datenbanken_.push_back(v);
    auto d = std::shared_ptr<Database>(new Database());
    d->db_ = std::move(v);
    return d;
}

DatabasePtr Workspace::OpenDatabase(TextSicht name, bool exklusiv, bool nurLesen, TextSicht connect) {
    const Text pfadText(name);
    if (auto treiber = speicher::TreiberÖffnen(connect, pfadText, detail::PasswortLesen(connect), nurLesen))
        return OpenDatabase(std::move(treiber), name, nurLesen);
    const std::string pfad = nachUtf8(name);
    if (pfad.empty() || !Existiert(pfad))
        FehlerAuslösen(fehler::DateiNichtGefunden, u"Die Datei '" + pfadText + u"' wurde nicht gefunden.");
    auto v = Verbinden(pfadText, nurLesen ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE, nurLesen);
    // SQLite would fall back to reading a file that is write-protected on disk; an open
    // for writing must fail instead, so the user learns it before any work is done.
    // The mode bits count too: root may write a file the user marked read-only.
    if (!nurLesen && (sqlite3_db_readonly(v->db, "main") == 1 || !speicher::Beschreibbar(pfad)))
        FehlerAuslösen(fehler::DateiNichtÖffenbar, u"Die Datei '" + pfadText +
                                                       u"' ist schreibgeschützt und kann nicht zum Schreiben "
                                                       u"geöffnet werden.");
    return anmelden(std::move(v), exklusiv);
}

DatabasePtr Workspace::OpenDatabase(std::unique_ptr<speicher::Speichertreiber> treiber, TextSicht name, bool nurLesen) {
    if (!treiber) FehlerAuslösen(91, u"Objektvariable nicht festgelegt.");
    auto v = std::make_shared<detail::Verbindung>();
    v->selbst = v;
    v->pfad = Text(name);
    // The working store: a private temporary file that SQLite removes on close, so that
    // large tables need not fit into memory.
    const int rc =
        sqlite3_open_v2("", &v->db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX, nullptr);
    if (rc != SQLITE_OK) detail::SqlFehler(v->db, rc);
    sqlite3_extended_result_codes(v->db, 0);
    v->ausführen(u"PRAGMA encoding='UTF-16le'");
    v->ausführen(u"PRAGMA journal_mode=MEMORY");
    v->ausführen(u"PRAGMA synchronous=OFF");
    v->ausführen(kSeitenspeicher);
    v->einrichten();
    const speicher::Struktur struktur = treiber->StrukturLesen();
    v->treiber = std::move(treiber);
    v->spiegelAnlegen(struktur);
    v->strukturHaken();
    if (nurLesen || !v->treiber->Schreibbar()) {
        v->nurLesen = true;
        if (!v->treiber->Schreibbar()) v->schreibschutzGrund = v->treiber->SchreibschutzGrund();
    }
    return anmelden(std::move(v), false);
}

DatabasePtr Workspace::CreateDatabase(TextSicht name) {
    const std::string pfad = nachUtf8(name);
    if (pfad.empty() || Existiert(pfad))
        FehlerAuslösen(fehler::DatenbankVorhanden, u"Die Datenbank '" + Text(name) + u"' existiert bereits.");
    auto v = Verbinden(Text(name), SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, false);
    v->ausführen(u"PRAGMA encoding='UTF-16le'");
    v->strukturSchreiben();
    return anmelden(std::move(v), false);
}

void Workspace::allen(const char* sql) {
    for (auto& w : datenbanken_)
        if (auto v = w.lock(); v && !v->geschlossen) v->ausführen(ausUtf8(sql));
}

void Workspace::BeginTrans() {
    ++tiefe_;
    const std::string n = "SAVEPOINT purivo_t" + std::to_string(tiefe_);
    for (auto& w : datenbanken_)
        if (auto v = w.lock(); v && !v->geschlossen) v->sicherungsStände.push_back(v->strukturStand);
    allen(n.c_str());
}

void Workspace::CommitTrans() {
    if (tiefe_ == 0)
        FehlerAuslösen(fehler::KeineTransaktion, u"Es wurde keine Transaktion begonnen, die bestätigt werden könnte.");
    const std::string n = "RELEASE purivo_t" + std::to_string(tiefe_);
    --tiefe_;
    for (auto& w : datenbanken_)
        if (auto v = w.lock(); v && !v->geschlossen && !v->sicherungsStände.empty()) v->sicherungsStände.pop_back();
    allen(n.c_str());
}

void Workspace::Rollback() {
    if (tiefe_ == 0)
        FehlerAuslösen(fehler::KeineTransaktion,
                       u"Es wurde keine Transaktion begonnen, die zurückgesetzt werden könnte.");
    const std::string n = "purivo_t" + std::to_string(tiefe_);
    --tiefe_;
    for (auto& w : datenbanken_)
        if (auto v = w.lock(); v && !v->geschlossen) {
            v->ausführen(ausUtf8("ROLLBACK TO " + n));
            v->ausführen(ausUtf8("RELEASE " + n));
            const uint64_t stand = v->sicherungsStände.empty() ? v->strukturStand + 1 : v->sicherungsStände.back();
            if (!v->sicherungsStände.empty()) v->sicherungsStände.pop_back();
            v->rückgängigGemacht();
            // A structure change inside the transaction is undone too.
            if (stand != v->strukturStand) v->strukturLaden();
        }
}

void Workspace::Close() {
    while (tiefe_ > 0) Rollback();
    std::exception_ptr erster;
    for (auto& w : datenbanken_)
        if (auto v = w.lock()) try {
                v->schließen();
            } catch (...) {
                if (!erster) erster = std::current_exception();
            }
    datenbanken_.clear();
    if (erster) std::rethrow_exception(erster);
}

// ---- Database ----

Database::~Database() = default;

std::shared_ptr<detail::Verbindung> Database::offen() const {
    if (!db_ || db_->geschlossen)
        FehlerAuslösen(fehler::ObjektUngültig, u"Das Objekt ist ungültig oder nicht mehr festgelegt.");
    return db_;
}

Text Database::Name() const { return offen()->pfad; }

void Database::Close() {
    if (!db_ || db_->geschlossen) FehlerAuslösen(fehler::ObjektUngültig, u"Die Datenbank ist bereits geschlossen.");
    db_->schließen();
    db_.reset();
}

void Database::Flush() { offen()->flush(); }

void Database::Execute(TextSicht sql) {
    auto v = offen();
    auto a = detail::SqlÜbersetzen(*v, sql);
    if (!a.löschen)
        FehlerAuslösen(fehler::AuswahlabfrageAusgeführt, u"Eine Auswahlabfrage kann nicht ausgeführt werden.");
    v->schreibenVorbereiten(*a.tabelle);
    v->strömeBeenden();  // rows leave the table under the running reads
    Text text = u"DELETE FROM " + detail::SqlName(a.tabelle->Name());
    if (!a.bedingung.empty()) text += u" WHERE " + a.bedingung;
    detail::Anweisung st(v->db, text);
    for (size_t i = 0; i < a.parameter.size(); ++i) st.binden(static_cast<int>(i + 1), a.parameter[i]);
    st.schritt();
    if (sqlite3_changes(v->db) > 0) v->markieren(*a.tabelle);
}

}  // namespace dao
