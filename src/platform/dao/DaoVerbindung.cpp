#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstring>
#include <limits>

#include "platform/basic/Laufzeit.h"
#include "platform/dao/DaoIntern.h"

namespace dao {

Text NamenSchlüssel(TextSicht name) {
    Text g = Grossbuchstaben(name), aus;
    aus.reserve(g.size());
    for (char16_t c : g) {
        if (c == u'ß' || c == u'\u1E9E') aus += u"SS";
        else aus.push_back(c);
    }
    return aus;
}

namespace detail {

Anweisung::Anweisung(sqlite3* db, TextSicht sql) : db_(db) {
    const int rc = sqlite3_prepare16_v2(db, sql.data(), static_cast<int>(sql.size() * 2), &s_, nullptr);
    if (rc != SQLITE_OK) SqlFehler(db, rc);
}
Anweisung::~Anweisung() { sqlite3_finalize(s_); }

void Anweisung::binden(int i, const Variante& roh, bool bleibt) {
    switch (roh.typ()) {
        case VTyp::Empty:
        case VTyp::Null: sqlite3_bind_null(s_, i); break;
        case VTyp::Text:
            sqlite3_bind_text16(s_, i, roh.text().data(), static_cast<int>(roh.text().size() * 2),
                                bleibt ? SQLITE_STATIC : SQLITE_TRANSIENT);
            break;
        case VTyp::Double:
        case VTyp::Single: sqlite3_bind_double(s_, i, roh.zahl()); break;
        case VTyp::Currency: sqlite3_bind_int64(s_, i, roh.währungRoh()); break;
        default: sqlite3_bind_int64(s_, i, static_cast<int64_t>(roh.zahl())); break;
    }
}

bool Anweisung::schritt() {
    const int rc = sqlite3_step(s_);
    if (rc == SQLITE_ROW) return true;
    if (rc == SQLITE_DONE) return false;
    sqlite3_reset(s_);
    SqlFehler(db_, rc);
}
void Anweisung::zurück() {
    sqlite3_reset(s_);
    sqlite3_clear_bindings(s_);
}

void SqlFehler(sqlite3* db, int rc) {
    const Text meldung = ausUtf8(sqlite3_errmsg(db));
    switch (rc & 0xFF) {
        case SQLITE_CONSTRAINT:
            FehlerAuslösen(fehler::DoppelterSchlüssel,
                           u"Die Änderung wurde nicht gespeichert: ein eindeutiger Index oder Primärschlüssel "
                           u"erhielte doppelte Werte.");
        case SQLITE_READONLY:
            FehlerAuslösen(fehler::Schreibgeschützt, u"Die Datenbank oder das Objekt ist schreibgeschützt.");
        case SQLITE_BUSY:
        case SQLITE_LOCKED: FehlerAuslösen(fehler::Gesperrt, u"Die Datei ist von einem anderen Benutzer gesperrt.");
        case SQLITE_NOTADB:
        case SQLITE_CORRUPT: FehlerAuslösen(fehler::FormatUnbekannt, u"Unbekanntes Datenbankformat.");
        case SQLITE_CANTOPEN: FehlerAuslösen(fehler::PfadUngültig, u"Die Datei kann nicht geöffnet werden.");
        default: FehlerAuslösen(fehler::Allgemein, u"Fehler der Datenbank: " + meldung);
    }
}

Text Bezeichner(TextSicht name) {
    Text aus = u"\"";
    for (char16_t c : name) {
        if (c == u'"') aus += u"\"\"";
        else aus.push_back(c);
    }
    return aus + u"\"";
}

namespace {
constexpr char16_t kMarke = u'~';

bool BeginntAsciiBlind(TextSicht name, std::u16string_view vorn) {
    if (name.size() < vorn.size()) return false;
    for (size_t i = 0; i < vorn.size(); ++i) {
        char16_t c = name[i];
        if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c - u'A' + u'a');
        if (c != vorn[i]) return false;
    }
    return true;
}
}  // namespace

Text Speichername(TextSicht name) {
    // SQLite folds only ASCII letters in names, so these checks do the same.
    auto gleich = [&](std::u16string_view w) { return name.size() == w.size() && BeginntAsciiBlind(name, w); };
    const bool eigen = (!name.empty() && name[0] == kMarke) || BeginntAsciiBlind(name, u"__") ||
                       BeginntAsciiBlind(name, u"sqlite_") || gleich(u"rowid") || gleich(u"oid") || gleich(u"_rowid_");
    return eigen ? kMarke + Text(name) : Text(name);
}

Text Nutzername(TextSicht gespeichert) {
    if (!gespeichert.empty() && gespeichert[0] == kMarke) return Text(gespeichert.substr(1));
    return Text(gespeichert);
}

bool IstTextTyp(int16_t typ) { return typ == dbText || typ == dbMemo; }

namespace {
[[noreturn]] void Umwandlungsfehler(const Field& f) {
    FehlerAuslösen(fehler::DatentypFalsch, u"Der Wert passt nicht zum Datentyp des Feldes '" + f.Name() + u"'.");
}
[[noreturn]] void Überlauf(const Field& f) {
    FehlerAuslösen(fehler::NumerischerÜberlauf,
                   u"Der Wert ist zu groß oder zu klein für das Feld '" + f.Name() + u"'.");
}

double AlsZahl(const Field& f, const Variante& v) {
    if (v.istText()) {
        auto z = ZahlAusText(v.text());
        if (!z) Umwandlungsfehler(f);
        return *z;
    }
    if (v.typ() == VTyp::Currency) return static_cast<double>(v.währungRoh()) / 10000.0;
    return v.zahl();
}

int64_t Ganzzahl(const Field& f, const Variante& v, double min, double max) {
    const double d = RundenGerade(AlsZahl(f, v));
    if (!(d >= min && d <= max)) Überlauf(f);
    return static_cast<int64_t>(d);
}

// UTF-16 text as SQLite hands it over: a value inside a record may start at an odd
// address, and ICU reads whole code units. Copied only then, and onto the stack when short.
class Ausgerichtet {
public:
    Ausgerichtet(const void* z, int bytes) : länge_(bytes / 2) {
        if ((reinterpret_cast<uintptr_t>(z) & 1) == 0) {
            text_ = static_cast<const UChar*>(z);
            return;
        }
        UChar* ziel = puffer_;
        if (länge_ > kPlatz) {
            groß_.resize(static_cast<size_t>(länge_));
            ziel = groß_.data();
        }
        std::memcpy(ziel, z, static_cast<size_t>(länge_) * 2);
        text_ = ziel;
    }
    const UChar* text() const { return text_; }
    int32_t länge() const { return länge_; }

private:
    static constexpr int32_t kPlatz = 256;
    int32_t länge_;
    const UChar* text_ = nullptr;
    UChar puffer_[kPlatz];
    std::u16string groß_;
};

int UcolVergleich16(void* arg, int la, const void* a, int lb, const void* b) {
    const Ausgerichtet x(a, la), y(b, lb);
    return ucol_strcoll(static_cast<UCollator*>(arg), x.text(), x.länge(), y.text(), y.länge());
}

int UcolVergleich8(void* arg, int la, const void* a, int lb, const void* b) {
    UErrorCode status = U_ZERO_ERROR;
    const int r = ucol_strcollUTF8(static_cast<UCollator*>(arg), static_cast<const char*>(a), la,
                                   static_cast<const char*>(b), lb, &status);
    return U_FAILURE(status) ? 0 : r;
}
}  // namespace

void Stellenbuch::füllen(const std::vector<int64_t>& zeilen) {
    dicht_.clear();
    streu_.clear();
    int64_t größte = -1;
    bool negativ = false;
    for (int64_t z : zeilen) {
        größte = std::max(größte, z);
        negativ = negativ || z < 0;
    }
    // By index while the rowids are dense enough (a table's usually are).
    dünn_ = negativ || größte >= std::numeric_limits<int32_t>::max() ||
            größte > 4 * static_cast<int64_t>(zeilen.size()) + 1024;
    if (!dünn_) {
        dicht_.assign(static_cast<size_t>(größte + 1), -1);
        for (size_t i = 0; i < zeilen.size(); ++i) dicht_[static_cast<size_t>(zeilen[i])] = static_cast<int32_t>(i);
    } else {
        streu_.reserve(zeilen.size());
        for (size_t i = 0; i < zeilen.size(); ++i) streu_.emplace(zeilen[i], static_cast<int64_t>(i));
    }
}

void StellenfunktionAnmelden(sqlite3* db) {
    sqlite3_create_function(
        db, "purivo_fenster", 2, SQLITE_UTF8, nullptr,
        [](sqlite3_context* k, int, sqlite3_value** argumente) {
            const auto* buch = static_cast<const Stellenbuch*>(sqlite3_value_pointer(argumente[0], kStellenbuchArt));
            const int64_t stelle = buch ? buch->stelle(sqlite3_value_int64(argumente[1])) : -1;
            if (stelle >= 0 && stelle >= buch->fensterVon && stelle < buch->fensterBis) sqlite3_result_int(k, 1);
            else sqlite3_result_null(k);
        },
        nullptr, nullptr);
}

// ---- windows of a sorted set ----

namespace {

void ZelleAnhängen(std::vector<char16_t>& d, const Zelle& z) {
    d.push_back(static_cast<char16_t>(z.art));
    switch (z.art) {
        case Zelle::Null: break;
        case Zelle::Ganz: EinheitenAnhängen(d, z.ganz); break;
        case Zelle::Zahl: EinheitenAnhängen(d, z.zahl); break;
        case Zelle::Text:
            EinheitenAnhängen(d, static_cast<uint32_t>(z.text.size()));
            d.insert(d.end(), z.text.begin(), z.text.end());
            break;
    }
}
}  // namespace

Text Spaltenliste(TableDef& t) {
    Text sql;
    for (auto& f : t.Fields().liste()) {
        sql += u',';
        sql += SqlName(f->Name());
    }
    return sql;
}

void Fenster::leeren() {
    von_ = bis_ = 0;
    std::vector<char16_t>().swap(daten_);
    std::vector<uint64_t>().swap(anfang_);
    std::vector<int64_t>().swap(rowid_);
}

int64_t Fenster::Zeilen(Verbindung& v, TableDef& t, size_t budget, size_t& einheiten) {
    constexpr int kProbe = 256;
    Anweisung a(v.db, u"SELECT rowid" + Spaltenliste(t) + u" FROM " + SqlName(t.Name()) + u" LIMIT " +
                          ausUtf8(std::to_string(kProbe)));
    const auto& felder = t.Fields().liste();
    std::vector<char16_t> probe;
    int64_t n = 0;
    for (; a.schritt(); ++n)
        for (size_t i = 0; i < felder.size(); ++i)
            ZelleAnhängen(probe, ZelleLesen(*felder[i], a.s(), static_cast<int>(i) + 1));
    einheiten = n ? probe.size() / static_cast<size_t>(n) + 1 : 0;
    const size_t jeZeile = einheiten * sizeof(char16_t) + sizeof(uint64_t) + sizeof(int64_t);
    return std::max<int64_t>(16, static_cast<int64_t>(budget / jeZeile));
}

void Fenster::laden(Verbindung& v, TableDef& t, Stellenbuch& stellen, int64_t von, int64_t bis, size_t einheiten) {
    // The next window reuses the memory of the last: fresh pages would each be
    // faulted in and cleared by the system again.
    von_ = bis_ = 0;
    daten_.clear();
    stellen.fensterVon = von;
    stellen.fensterBis = bis;
    Anweisung a(v.db, u"SELECT rowid" + Spaltenliste(t) + u" FROM " + SqlName(t.Name()) +
                          u" WHERE purivo_fenster(?1, rowid)");
    sqlite3_bind_pointer(a.s(), 1, &stellen, kStellenbuchArt, nullptr);
    const auto größe = static_cast<size_t>(bis - von);
    anfang_.assign(größe, kFehlt);
    rowid_.assign(größe, 0);
    daten_.reserve(größe * einheiten + größe / 8);  // grown by doubling it would briefly need twice
    const auto& felder = t.Fields().liste();
    while (a.schritt()) {
        const int64_t rowid = sqlite3_column_int64(a.s(), 0);
        const auto platz = static_cast<size_t>(stellen.stelle(rowid) - von);
        anfang_[platz] = daten_.size();
        rowid_[platz] = rowid;
        for (size_t i = 0; i < felder.size(); ++i)
            ZelleAnhängen(daten_, ZelleLesen(*felder[i], a.s(), static_cast<int>(i) + 1));
    }
    von_ = von;
    bis_ = bis;
}

bool Fenster::zeile(int64_t stelle, int64_t rowid, std::vector<Zelle>& zellen) const {
    if (!enthält(stelle)) return false;
    const auto platz = static_cast<size_t>(stelle - von_);
    if (anfang_[platz] == kFehlt || rowid_[platz] != rowid) return false;
    const char16_t* p = daten_.data() + anfang_[platz];
    for (Zelle& z : zellen) {
        z = Zelle{};
        z.art = static_cast<Zelle::Art>(*p++);
        switch (z.art) {
            case Zelle::Null: break;
            case Zelle::Ganz: z.ganz = EinheitenHolen<int64_t>(p); break;
            case Zelle::Zahl: z.zahl = EinheitenHolen<double>(p); break;
            case Zelle::Text: {
                const auto n = EinheitenHolen<uint32_t>(p);
                z.text = TextSicht(p, n);
                p += n;
                break;
            }
        }
    }
    return true;
}

void SortierungAnmelden(sqlite3* db, const char16_t* name, UCollator* sortierung) {
    // Not SQLITE_UTF16_ALIGNED: SQLite then copies every odd-placed value into a fresh
    // allocation for each comparison, which made sorting twice as expensive.
    sqlite3_create_collation16(db, name, SQLITE_UTF16LE, sortierung, UcolVergleich16);
    sqlite3_create_collation16(db, name, SQLITE_UTF8, sortierung, UcolVergleich8);
}

namespace {
void LängePrüfen(const Field& f, TextSicht t) {
    if (f.Type() == dbText && f.Size() > 0 && static_cast<int32_t>(t.size()) > f.Size())
        FehlerAuslösen(fehler::TextZuLang, u"Der Text ist zu lang für das Feld '" + f.Name() + u"'.");
}
void TextPrüfen(const Field& f, TextSicht t) {
    LängePrüfen(f, t);
    if (t.empty() && !f.AllowZeroLength())
        FehlerAuslösen(fehler::LeereZeichenfolge,
                       u"Das Feld '" + f.Name() + u"' darf keine leere Zeichenfolge enthalten.");
}
}  // namespace

bool AlsSpeicherwertPrüfen(const Field& f, const Variante& v) {
    if (!v.istText() || !IstTextTyp(f.Type())) return false;
    TextPrüfen(f, v.text());
    return true;
}

Variante Speicherwert(const Field& f, const Variante& v, bool vergleich) {
    if (v.istNull() || v.istEmpty()) return Variante::Null();
    switch (f.Type()) {
        case dbText:
        case dbMemo: {
            Text t = v.alsText();
            if (!vergleich) TextPrüfen(f, t);
            return Variante(std::move(t));
        }
        case dbBoolean:
            if (v.istText()) {
                try {
                    return Variante(static_cast<int64_t>(v.alsBool() ? -1 : 0));
                } catch (const LaufzeitFehler&) {
                    Umwandlungsfehler(f);
                }
            }
            return Variante(static_cast<int64_t>(AlsZahl(f, v) != 0 ? -1 : 0));
        case dbByte: return Variante(Ganzzahl(f, v, 0, 255));
        case dbInteger: return Variante(Ganzzahl(f, v, -32768, 32767));
        case dbLong: return Variante(Ganzzahl(f, v, -2147483648.0, 2147483647.0));
        case dbCurrency: {
            if (v.typ() == VTyp::Currency) return v;
            const double z = RundenGerade(AlsZahl(f, v) * 10000.0);
            if (!(std::fabs(z) < 9.2e18)) Überlauf(f);
            return Variante::Währung(static_cast<int64_t>(z));
        }
        case dbSingle: {
            const double z = AlsZahl(f, v);
            if (std::fabs(z) > std::numeric_limits<float>::max()) Überlauf(f);
            return Variante(static_cast<double>(static_cast<float>(z)));
        }
        case dbDate:
        case dbTime: return Variante(AlsZahl(f, v));
        default:
            if (v.istText()) return v;
            return Variante(AlsZahl(f, v));
    }
}

void ZuweisungPrüfen(const Field& f, const Variante& v) {
    if (IstTextTyp(f.Type()) && v.istText()) {  // taken as it is, not copied to be looked at
        LängePrüfen(f, v.text());
        return;
    }
    const Variante roh = Speicherwert(f, v, true);
    if (f.Type() == dbText && f.Size() > 0 && roh.istText() && static_cast<int32_t>(roh.text().size()) > f.Size())
        FehlerAuslösen(fehler::TextZuLang, u"Der Text ist zu lang für das Feld '" + f.Name() + u"'.");
}

Zelle ZelleLesen(const Field& f, sqlite3_stmt* s, int spalte) {
    Zelle z;
    const int art = sqlite3_column_type(s, spalte);
    if (art == SQLITE_NULL) return z;
    switch (f.Type()) {
        case dbText:
        case dbMemo: z.art = Zelle::Text; break;
        case dbBoolean:
        case dbByte:
        case dbInteger:
        case dbLong:
        case dbCurrency: z.art = Zelle::Ganz; break;
        case dbSingle:
        case dbDouble:
        case dbDate:
        case dbTime: z.art = Zelle::Zahl; break;
        default: z.art = art == SQLITE_INTEGER ? Zelle::Ganz : art == SQLITE_FLOAT ? Zelle::Zahl : Zelle::Text;
    }
    if (z.art == Zelle::Ganz) {
        z.ganz = sqlite3_column_int64(s, spalte);
    } else if (z.art == Zelle::Zahl) {
        z.zahl = sqlite3_column_double(s, spalte);
    } else {
        const auto* t = static_cast<const char16_t*>(sqlite3_column_text16(s, spalte));
        z.text = TextSicht(t, static_cast<size_t>(sqlite3_column_bytes16(s, spalte)) / 2);
    }
    return z;
}

Variante Umwandeln(const Field& f, const Zelle& z) {
    switch (z.art) {
        case Zelle::Null: return Variante::Null();
        case Zelle::Text: return Variante(z.text);
        case Zelle::Ganz:
            switch (f.Type()) {
                case dbBoolean: return Variante(z.ganz != 0);
                case dbByte: return Variante(static_cast<uint8_t>(z.ganz));
                case dbInteger: return Variante(static_cast<int16_t>(z.ganz));
                case dbLong: return Variante(static_cast<int32_t>(z.ganz));
                case dbCurrency: return Variante::Währung(z.ganz);
                default: return Variante(static_cast<int64_t>(z.ganz));
            }
        default:
            switch (f.Type()) {
                case dbSingle: return Variante(static_cast<float>(z.zahl));
                case dbDate:
                case dbTime: return Variante::Datum(z.zahl);
                default: return Variante(z.zahl);
            }
    }
}

// ---- connection and stored structure ----

Verbindung::~Verbindung() {
    try {
        schließen();
    } catch (...) {  // best effort: a destructor never throws
    }
    kopierer.reset();
    vorrat.clear();
    if (db) sqlite3_close_v2(db);
    if (sortierung) ucol_close(sortierung);
}

void Verbindung::strömeBeenden() {
    for (Strom* s : ströme) s->beenden();
    ströme.clear();
    geänderteZeilen.clear();
}

void Verbindung::zeileGeändert(const TableDef& t, int64_t rowid) {
    for (const Strom* s : ströme)
        if (s->tabelle == &t) {
            geänderteZeilen[&t].setzen(rowid, ++änderungsStand);
            return;
        }
}

void Verbindung::ausführen(TextSicht sql) {
    if (!strukturSchreibt && !gelöschteSpalten.empty()) spaltenEntfernen();
    if (!protokollVersucht && sql.starts_with(u"SAVEPOINT ")) protokollEinschalten();
    // Savepoints and their release leave running reads alone; anything else
    // (structure, rollback, pragmas) ends them first.
    if (!ströme.empty() && !sql.starts_with(u"SAVEPOINT ") && !sql.starts_with(u"RELEASE ")) strömeBeenden();
    Anweisung a(db, sql);
    while (a.schritt()) {
    }
}

void Verbindung::schreibbar() {
    offen();
    if (nurLesen)
        FehlerAuslösen(fehler::Schreibgeschützt, schreibschutzGrund.empty()
                                                     ? Text(u"Die Datenbank ist schreibgeschützt geöffnet.")
                                                     : schreibschutzGrund);
    if (!protokollVersucht) protokollEinschalten();
}

namespace {
// The text of the first column of the pragma's first row; false when SQLite refused.
bool Pragma(sqlite3* db, const char* sql, std::string* aus = nullptr) {
    sqlite3_stmt* s = nullptr;
    if (sqlite3_prepare_v2(db, sql, -1, &s, nullptr) != SQLITE_OK) return false;
    const int rc = sqlite3_step(s);
    if (rc == SQLITE_ROW && aus) {
        const auto* t = sqlite3_column_text(s, 0);
        *aus = t ? reinterpret_cast<const char*>(t) : "";
    }
    return sqlite3_finalize(s) == SQLITE_OK && (rc == SQLITE_ROW || rc == SQLITE_DONE);
}
}  // namespace

int LogSeitenAnstoß = 1000, LogSeitenHöchstens = 16384;

std::unique_ptr<Logkopierer> Logkopierer::Starten(const char* datei) {
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(datei, &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr) != SQLITE_OK) {
        sqlite3_close(db);
        return nullptr;
    }
    // A first read opens the log and its shared index, or is refused.
    if (!Pragma(db, "SELECT count(*) FROM sqlite_master")) {
        sqlite3_close(db);
        return nullptr;
    }
    return std::unique_ptr<Logkopierer>(new Logkopierer(db));
}

Logkopierer::Logkopierer(sqlite3* db) : db_(db), faden_([this] { laufen(); }) {}

Logkopierer::~Logkopierer() {
    {
        std::lock_guard<std::mutex> l(m_);
        ende_ = true;
    }
    auftrag_.notify_all();
    faden_.join();
    sqlite3_close(db_);
}

void Logkopierer::laufen() {
    std::unique_lock<std::mutex> l(m_);
    for (;;) {
        auftrag_.wait(l, [this] { return angestoßen_ || ende_; });
        if (ende_) return;
        angestoßen_ = false;
        ++angefangen_;
        l.unlock();
        // Passive: never waits for the writer or for readers, copies what all of them
        // have seen. A failure leaves the log as it is; the next flush reports it.
        int log = 0, kopiert = 0;
        if (sqlite3_wal_checkpoint_v2(db_, "main", SQLITE_CHECKPOINT_PASSIVE, &log, &kopiert) == SQLITE_OK &&
            log >= 0 && kopiert >= 0)
            stand_.store(static_cast<uint64_t>(log) << 32 | static_cast<uint32_t>(kopiert));
        l.lock();
        ++beendet_;
        fertig_.notify_all();
    }
}

bool Logkopierer::nachCommit(int seiten) {
    const auto rückstand = [&] {
        const uint64_t st = stand_.load();
        const auto log = static_cast<int>(st >> 32), kopiert = static_cast<int>(st & 0xffffffffu);
        return seiten >= log ? seiten - kopiert : seiten;  // a smaller log started anew
    };
    if (rückstand() < LogSeitenAnstoß) return true;
    std::unique_lock<std::mutex> l(m_);
    angestoßen_ = true;
    auftrag_.notify_one();
    if (rückstand() < LogSeitenHöchstens) return true;
    const uint64_t ziel = angefangen_ + 1;  // a copy that starts after this commit
    fertig_.wait_for(l, std::chrono::seconds(10), [&] { return beendet_ >= ziel || ende_; });
    return rückstand() < LogSeitenHöchstens;
}

namespace {
int LogHaken(void* kontext, sqlite3* db, const char* schema, int seiten) {
    auto* v = static_cast<Verbindung*>(kontext);
    if (seiten >= LogSeitenAnstoß && !(v->kopierer && v->kopierer->nachCommit(seiten)))
        sqlite3_wal_checkpoint_v2(db, schema, SQLITE_CHECKPOINT_PASSIVE, nullptr, nullptr);
    return SQLITE_OK;
}
}  // namespace

void Verbindung::kopiererStarten() {
    if (!protokollAn || kopierer) return;
    // A file held exclusively would refuse its own holder the next write.
    std::string sperre;
    if (!Pragma(db, "PRAGMA locking_mode", &sperre) || sperre != "normal") return;
    kopierer = Logkopierer::Starten(sqlite3_db_filename(db, "main"));
    // Without it SQLite copies the log itself, as by default.
    if (kopierer) sqlite3_wal_hook(db, LogHaken, this);
}

void Verbindung::kopiererAnhalten() {
    if (!kopierer) return;
    sqlite3_wal_autocheckpoint(db, LogSeitenAnstoß);
    kopierer.reset();
}

void Verbindung::protokollEinschalten() {
    // Inside a transaction SQLite cannot change the mode; the next chance comes.
    if (protokollVersucht || !db || geschlossen || !sqlite3_get_autocommit(db)) return;
    protokollVersucht = true;
    const char* datei = sqlite3_db_filename(db, "main");
    if (treiber || nurLesen || !datei || !*datei || sqlite3_db_readonly(db, "main") != 0) return;
    strömeBeenden();  // a running read holds the mode
    std::string alt, neu;
    if (!Pragma(db, "PRAGMA journal_mode", &alt)) return;
    if (alt != "wal") {
        if (!Pragma(db, "PRAGMA journal_mode=WAL", &neu) || neu != "wal") return;
        // The shared index of the log is made at the first read: where the file system
        // cannot give it, the file goes back to its own mode.
        if (!Pragma(db, "SELECT count(*) FROM sqlite_master")) {
            Pragma(db, ("PRAGMA journal_mode=" + alt).c_str());
            return;
        }
    }
    eigenesJournal = alt;
    protokollAn = true;
    Pragma(db, "PRAGMA synchronous=NORMAL");
    kopiererStarten();
}

void Verbindung::protokollSichern() {
    if (!protokollAn || !db) return;
    strömeBeenden();
    // The copying thread would hold the checkpoint back.
    kopiererAnhalten();
    sqlite3_stmt* s = nullptr;
    bool fertig = false;
    if (sqlite3_prepare_v2(db, "PRAGMA wal_checkpoint(FULL)", -1, &s, nullptr) == SQLITE_OK &&
        sqlite3_step(s) == SQLITE_ROW)
        fertig = sqlite3_column_int(s, 0) == 0;
    sqlite3_finalize(s);
    kopiererStarten();
    if (fertig) return;
    // Another process reads from the log and holds the checkpoint back: then the log
    // itself is made durable, from where SQLite recovers it.
    const std::string log = std::string(sqlite3_db_filename(db, "main")) + "-wal";
    const int fd = ::open(log.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0 || ::fsync(fd) != 0) {
        if (fd >= 0) ::close(fd);
        FehlerAuslösen(fehler::Allgemein, u"Die Datenbank konnte nicht auf den Datenträger geschrieben werden.");
    }
    ::close(fd);
}

void Verbindung::protokollBeenden() {
    if (!protokollAn || !db) return;
    kopiererAnhalten();
    protokollAn = false;
    strömeBeenden();
    vorrat.clear();
    if (!sqlite3_get_autocommit(db)) sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
    Pragma(db, "PRAGMA synchronous=FULL");
    Pragma(db, "PRAGMA wal_checkpoint(TRUNCATE)");
    // Refused while another process holds the file: it removes the log when it closes.
    if (eigenesJournal != "wal") Pragma(db, ("PRAGMA journal_mode=" + eigenesJournal).c_str());
}

void Verbindung::offen() const {
    if (geschlossen || !db) FehlerAuslösen(fehler::ObjektUngültig, u"Die Datenbank ist geschlossen.");
}

Tabellenvorrat& Verbindung::vorratVon(const TableDef& t) { return vorrat[&t]; }

Anweisung& Verbindung::zeilenLeser(const TableDef& t, bool nurDasein) {
    auto& a = nurDasein ? vorrat[&t].dasein : vorrat[&t].leser;
    if (!a) {
        Text sql = u"SELECT ";
        const auto& felder = const_cast<TableDef&>(t).Fields().liste();
        if (nurDasein) sql += u"1";
        else
            for (size_t i = 0; i < felder.size(); ++i) sql += (i ? u"," : u"") + SqlName(felder[i]->Name());
        sql += u" FROM " + SqlName(t.Name()) + u" WHERE rowid=?";
        a = std::make_unique<Anweisung>(db, sql);
    }
    return *a;
}

namespace {
constexpr char16_t kTrenner = u'\x1F';
constexpr char16_t kPaar = u'\x1E';

std::vector<Text> Teilen(TextSicht s, char16_t t) {
    std::vector<Text> teile;
    if (s.empty()) return teile;
    size_t a = 0;
    for (;;) {
        const size_t e = s.find(t, a);
        teile.emplace_back(s.substr(a, e == TextSicht::npos ? TextSicht::npos : e - a));
        if (e == TextSicht::npos) break;
        a = e + 1;
    }
    return teile;
}

// A table that the engine did not create: its fields from the declared types.
int16_t TypAusDeklaration(const Text& d) {
    const Text g = Grossbuchstaben(d);
    if (g.find(u"INT") != Text::npos) return dbLong;
    if (g.find(u"REAL") != Text::npos || g.find(u"FLOA") != Text::npos || g.find(u"DOUB") != Text::npos)
        return dbDouble;
    return dbMemo;
}
}  // namespace

namespace {
bool ZählungPositiv(sqlite3* db, const char16_t* sql) {
    Anweisung a(db, sql);
    a.schritt();
    return sqlite3_column_int(a.s(), 0) > 0;
}
}  // namespace

void Verbindung::strukturLaden() {
    vorrat.clear();
    löschTabelle.reset();  // a rollback brought the columns back with their fields
    gelöschteSpalten.clear();
    tabellen.liste_.clear();
    relationen.liste_.clear();
    std::map<Text, TableDefPtr> nachName;
    if (ZählungPositiv(db, u"SELECT count(*) FROM sqlite_master WHERE name='__purivo_tabellen'")) {
        gespeicherteTabellenLaden(nachName);
        gespeicherteFelderLaden(nachName);
        gespeicherteIndizesLaden(nachName);
        gespeicherteRelationenLaden();
    }
    fremdeTabellenLaden(nachName);
    for (auto& td : tabellen.liste()) td->db_ = selbst;
}

// The tables the engine stored, in their order.
void Verbindung::gespeicherteTabellenLaden(std::map<Text, TableDefPtr>& nachName) {
    // Files of earlier versions keep no dates.
    const bool mitDaten =
        ZählungPositiv(db, u"SELECT count(*) FROM pragma_table_info('__purivo_tabellen') WHERE name='geaendert'");
    Anweisung t(db, mitDaten ? u"SELECT name, attribute, erstellt, geaendert FROM __purivo_tabellen ORDER BY pos"
                             : u"SELECT name, attribute, 0, 0 FROM __purivo_tabellen ORDER BY pos");
    while (t.schritt()) {
        auto td = TableDef::Neu();
        td->name_ = SpaltenText(t.s(), 0);
        td->attribute_ = sqlite3_column_int(t.s(), 1);
        td->erstellt_ = sqlite3_column_double(t.s(), 2);
        td->geändert_ = sqlite3_column_double(t.s(), 3);
        nachName[td->name_] = td;
        tabellen.liste_.push_back(td);
    }
}

void Verbindung::gespeicherteFelderLaden(const std::map<Text, TableDefPtr>& nachName) {
    Anweisung f(db,
                u"SELECT tabelle,name,typ,groesse,attribute,leer,pflicht FROM __purivo_felder ORDER BY tabelle, pos");
    while (f.schritt()) {
        auto it = nachName.find(SpaltenText(f.s(), 0));
        if (it == nachName.end()) continue;
        auto fd = std::make_shared<Field>();
        fd->name_ = SpaltenText(f.s(), 1);
        fd->typ_ = static_cast<int16_t>(sqlite3_column_int(f.s(), 2));
        fd->größe_ = sqlite3_column_int(f.s(), 3);
        fd->attribute_ = sqlite3_column_int(f.s(), 4);
        fd->leerErlaubt_ = sqlite3_column_int(f.s(), 5) != 0;
        fd->pflicht_ = sqlite3_column_int(f.s(), 6) != 0;
        fd->tabelle_ = it->second;
        it->second->felder_.liste_.push_back(fd);
    }
}

void Verbindung::gespeicherteIndizesLaden(const std::map<Text, TableDefPtr>& nachName) {
    Anweisung x(db, u"SELECT tabelle,name,felder,eindeutig,primaer FROM __purivo_indizes ORDER BY tabelle, pos");
    while (x.schritt()) {
        auto it = nachName.find(SpaltenText(x.s(), 0));
        if (it == nachName.end()) continue;
        auto ix = std::make_shared<Index>();
        ix->Name(SpaltenText(x.s(), 1));
        for (auto& n : Teilen(SpaltenText(x.s(), 2), kTrenner)) ix->Fields().liste_.push_back(ix->CreateField(n));
        ix->Unique(sqlite3_column_int(x.s(), 3) != 0);
        ix->Primary(sqlite3_column_int(x.s(), 4) != 0);
        it->second->indizes_.liste_.push_back(ix);
    }
}

void Verbindung::gespeicherteRelationenLaden() {
    Anweisung r(db, u"SELECT name,tabelle,fremd,attribute,felder FROM __purivo_relationen ORDER BY pos");
    while (r.schritt()) {
        auto rel = std::make_shared<Relation>();
        rel->Name(SpaltenText(r.s(), 0));
        rel->Table(SpaltenText(r.s(), 1));
        rel->ForeignTable(SpaltenText(r.s(), 2));
        rel->Attributes(sqlite3_column_int(r.s(), 3));
        for (auto& p : Teilen(SpaltenText(r.s(), 4), kPaar)) {
            auto teile = Teilen(p, kTrenner);
            auto fd = rel->CreateField(teile.empty() ? Text() : teile[0]);
            if (teile.size() > 1) fd->ForeignName(teile[1]);
            rel->Fields().liste_.push_back(fd);
        }
        relationen.liste_.push_back(rel);
    }
}

// Tables written by other programs: visible with fields from their declared types.
void Verbindung::fremdeTabellenLaden(const std::map<Text, TableDefPtr>& nachName) {
    Anweisung m(db, u"SELECT name FROM sqlite_master WHERE type='table' AND name NOT LIKE 'sqlite\\_%' ESCAPE '\\' "
                    u"AND name NOT LIKE '\\_\\_purivo\\_%' ESCAPE '\\' ORDER BY rowid");
    double dateizeit = 0;
    if (struct stat st{}; ::stat(nachUtf8(pfad).c_str(), &st) == 0)
        dateizeit = 25569.0 + static_cast<double>(st.st_mtime) / 86400.0;
    while (m.schritt()) {
        const Text gespeichert = SpaltenText(m.s(), 0), name = Nutzername(gespeichert);
        if (nachName.count(name)) continue;
        auto td = TableDef::Neu();
        td->name_ = name;
        td->erstellt_ = td->geändert_ = dateizeit;  // SQLite keeps no dates of its own
        Anweisung info(db, u"SELECT name, type FROM pragma_table_info(?)");
        info.binden(1, Variante(gespeichert));
        while (info.schritt()) {
            auto fd = std::make_shared<Field>();
            fd->name_ = Nutzername(SpaltenText(info.s(), 0));
            fd->typ_ = TypAusDeklaration(SpaltenText(info.s(), 1));
            fd->größe_ = fd->typ_ == dbLong ? 4 : fd->typ_ == dbDouble ? 8 : 0;
            fd->leerErlaubt_ = true;
            fd->tabelle_ = td;
            td->felder_.liste_.push_back(fd);
        }
        tabellen.liste_.push_back(td);
    }
}

namespace {
// One row of the stored structure: the values bound in order, the statement run.
void Eintragen(Anweisung& a, std::initializer_list<Variante> werte) {
    int i = 0;
    for (const Variante& w : werte) a.binden(++i, w);
    a.schritt();
    a.zurück();
}

Variante Zahl(int64_t z) { return Variante(z); }

void StrukturtabellenAnlegen(Verbindung& v) {
    v.ausführen(u"DROP TABLE IF EXISTS __purivo_tabellen");
    v.ausführen(u"CREATE TABLE __purivo_tabellen(pos INTEGER, name TEXT, attribute INTEGER, erstellt REAL, "
                u"geaendert REAL)");
    v.ausführen(u"CREATE TABLE IF NOT EXISTS __purivo_felder(tabelle TEXT, pos INTEGER, name TEXT, typ INTEGER, "
                u"groesse INTEGER, attribute INTEGER, leer INTEGER, pflicht INTEGER)");
    v.ausführen(u"CREATE TABLE IF NOT EXISTS __purivo_indizes(tabelle TEXT, pos INTEGER, name TEXT, felder TEXT, "
                u"eindeutig INTEGER, primaer INTEGER)");
    v.ausführen(u"CREATE TABLE IF NOT EXISTS __purivo_relationen(pos INTEGER, name TEXT, tabelle TEXT, fremd TEXT, "
                u"attribute INTEGER, felder TEXT)");
    for (const char16_t* t : {u"__purivo_tabellen", u"__purivo_felder", u"__purivo_indizes", u"__purivo_relationen"})
        v.ausführen(Text(u"DELETE FROM ") + t);
}

// A table's row (with its two dates, which only the connection may read), its fields'
// and its indexes' rows.
void TabelleEintragen(Verbindung& v, TableDef& td, int64_t pos, double erstellt, double geändert) {
    Anweisung at(v.db, u"INSERT INTO __purivo_tabellen VALUES(?,?,?,?,?)");
    Anweisung af(v.db, u"INSERT INTO __purivo_felder VALUES(?,?,?,?,?,?,?,?)");
    Anweisung ai(v.db, u"INSERT INTO __purivo_indizes VALUES(?,?,?,?,?,?)");
    Eintragen(at, {Zahl(pos), Variante(td.Name()), Zahl(td.Attributes()), Variante(erstellt), Variante(geändert)});
    int64_t fp = 0;
    for (auto& f : td.Fields().liste())
        Eintragen(af, {Variante(td.Name()), Zahl(fp++), Variante(f->Name()), Zahl(f->Type()), Zahl(f->Size()),
                       Zahl(f->Attributes()), Zahl(f->AllowZeroLength()), Zahl(f->Required())});
    int64_t ip = 0;
    for (auto& ix : td.Indexes().liste()) {
        Text felder;
        for (auto& f : ix->Fields().liste()) {
            if (!felder.empty()) felder += kTrenner;
            felder += f->Name();
        }
        Eintragen(ai, {Variante(td.Name()), Zahl(ip++), Variante(ix->Name()), Variante(felder), Zahl(ix->Unique()),
                       Zahl(ix->Primary())});
    }
}

void RelationenEintragen(Verbindung& v) {
    Anweisung ar(v.db, u"INSERT INTO __purivo_relationen VALUES(?,?,?,?,?,?)");
    int64_t pos = 0;
    for (auto& r : v.relationen.liste()) {
        Text paare;
        for (auto& f : r->Fields().liste()) {
            if (!paare.empty()) paare += kPaar;
            paare += f->Name();
            paare += kTrenner;
            paare += f->ForeignName();
        }
        Eintragen(ar, {Zahl(pos++), Variante(r->Name()), Variante(r->Table()), Variante(r->ForeignTable()),
                       Zahl(r->Attributes()), Variante(paare)});
    }
}
}  // namespace

void Verbindung::strukturSchreiben() {
    vorrat.clear();
    ++strukturStand;
    struct Merker {
        bool& b;
        bool alt;
        ~Merker() { b = alt; }
    } merker{strukturSchreibt, strukturSchreibt};
    strukturSchreibt = true;
    ausführen(u"SAVEPOINT purivo_struktur");
    try {
        StrukturtabellenAnlegen(*this);
        int64_t pos = 0;
        for (auto& td : tabellen.liste()) TabelleEintragen(*this, *td, pos++, td->erstellt_, td->geändert_);
        RelationenEintragen(*this);
        ausführen(u"RELEASE purivo_struktur");
    } catch (...) {
        sqlite3_exec(db, "ROLLBACK TO purivo_struktur; RELEASE purivo_struktur", nullptr, nullptr, nullptr);
        throw;
    }
}

void Verbindung::einrichten() {
    UErrorCode status = U_ZERO_ERROR;
    sortierung = ucol_open("de", &status);
    if (U_FAILURE(status)) FehlerAuslösen(fehler::Allgemein, u"Die Sortierung kann nicht eingerichtet werden.");
    ucol_setStrength(sortierung, UCOL_SECONDARY);
    SortierungAnmelden(db, u"PURIVO", sortierung);
    StellenfunktionAnmelden(db);
    // Some builds of SQLite zero every deleted row and freed page on disk, which
    // doubles what dropping a work table or rebuilding one writes; the freed space
    // stays in the file as deleted rows stay in a Jet file until it is compacted.
    sqlite3_exec(db, "PRAGMA secure_delete=FAST", nullptr, nullptr, nullptr);
}

}  // namespace detail
}  // namespace dao
