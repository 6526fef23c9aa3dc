// The database engine against plain SQLite prepared statements on the same work:
// copy an address table record by record (a commit every 1000), then read it sorted
// by two text columns in chunks of 100 rows.
#include <sqlite3.h>
#include <unicode/ucol.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "platform/dao/Dao.h"
#include "platform/dao/DaoIntern.h"

namespace {
constexpr int kZeilen = 100000;
constexpr int kSpalten = 15;

struct Spalte {
    const char16_t* name;
    int16_t typ;
    int32_t größe;
};
const Spalte kAdresse[kSpalten] = {
    {u"Anrede", dao::dbText, 20},  {u"Vorname", dao::dbText, 40}, {u"Name", dao::dbText, 50},
    {u"Firma", dao::dbText, 80},   {u"Straße", dao::dbText, 60},  {u"Hausnummer", dao::dbText, 10},
    {u"PLZ", dao::dbText, 10},     {u"Ort", dao::dbText, 50},     {u"Land", dao::dbText, 30},
    {u"Telefon", dao::dbText, 30}, {u"Fax", dao::dbText, 30},     {u"EMail", dao::dbText, 80},
    {u"Geboren", dao::dbDate, 8},  {u"KundenNr", dao::dbLong, 4}, {u"Umsatz", dao::dbCurrency, 8},
};

double Sekunden(std::chrono::steady_clock::time_point seit) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - seit).count();
}

// Reproducible address data.
struct Daten {
    uint32_t z = 12345;
    uint32_t nächste() { return z = z * 1103515245u + 12345u; }
    Text aus(std::initializer_list<const char16_t*> l) {
        auto it = l.begin();
        std::advance(it, (nächste() >> 8) % l.size());
        return *it;
    }
    std::vector<Variante> zeile(int i) {
        const Text nr = ausUtf8(std::to_string(nächste() % 200 + 1));
        return {Variante(aus({u"Herr", u"Frau", u"Firma"})),
                Variante(aus({u"Anna", u"Jürgen", u"Özlem", u"peter", u"Ärmin", u"Zoë", u"Bernd", u"Claudia"})),
                Variante(aus({u"Müller", u"Mueller", u"Schmidt", u"schmitt", u"Ähler", u"Zander", u"Öztürk", u"Becker",
                              u"Weiß", u"Weiss"}) +
                         ausUtf8(std::to_string(nächste() % 500))),
                Variante(u"Firma " + ausUtf8(std::to_string(nächste() % 10000)) + u" GmbH"),
                Variante(aus({u"Hauptstraße", u"Bahnhofstr.", u"Am Markt", u"Lindenweg"})),
                Variante(nr),
                Variante(ausUtf8(std::to_string(10000 + nächste() % 89999))),
                Variante(aus({u"Köln", u"München", u"Berlin", u"Hamburg", u"Bremen"})),
                Variante(u"Deutschland"),
                Variante(u"0221 " + ausUtf8(std::to_string(nächste() % 999999))),
                Variante::Null(),
                Variante(u"post" + ausUtf8(std::to_string(i)) + u"@beispiel.de"),
                Variante::Datum(20000.0 + nächste() % 20000),
                Variante(int32_t{i}),
                Variante::Währung(static_cast<int64_t>(nächste() % 100000000))};
    }
};

void AusführenSql(sqlite3* db, const char* sql) {
    char* fehler = nullptr;
    if (sqlite3_exec(db, sql, nullptr, nullptr, &fehler) != SQLITE_OK) {
        std::fprintf(stderr, "SQLite: %s\n", fehler ? fehler : "?");
        std::exit(1);
    }
}

void Binden(sqlite3_stmt* s, int i, const Variante& v) {
    switch (v.typ()) {
        case VTyp::Null: sqlite3_bind_null(s, i); break;
        case VTyp::Text:
            sqlite3_bind_text16(s, i, v.text().data(), static_cast<int>(v.text().size() * 2), SQLITE_TRANSIENT);
            break;
        case VTyp::Currency: sqlite3_bind_int64(s, i, v.währungRoh()); break;
        case VTyp::Date: sqlite3_bind_double(s, i, v.zahl()); break;
        default: sqlite3_bind_int64(s, i, static_cast<int64_t>(v.zahl())); break;
    }
}

Variante Lesen(sqlite3_stmt* s, int i) {
    switch (sqlite3_column_type(s, i)) {
        case SQLITE_NULL: return Variante::Null();
        case SQLITE_TEXT:
            return Variante(TextSicht(static_cast<const char16_t*>(sqlite3_column_text16(s, i)),
                                      static_cast<size_t>(sqlite3_column_bytes16(s, i)) / 2));
        case SQLITE_FLOAT: return Variante::Datum(sqlite3_column_double(s, i));
        default:
            return i == 14 ? Variante::Währung(sqlite3_column_int64(s, i))
                           : Variante(static_cast<int64_t>(sqlite3_column_int64(s, i)));
    }
}

struct Ergebnis {
    double kopieren, lesen;
};

Ergebnis Engine(const std::string& pfad) {
    auto ws = dao::CreateWorkspace(u"", u"admin", u"");
    auto db = ws->CreateDatabase(ausUtf8(pfad));
    for (const char16_t* name : {u"Quelle", u"Ziel"}) {
        auto t = db->CreateTableDef(name);
        for (auto& s : kAdresse) t->Fields().Append(t->CreateField(s.name, s.typ, s.größe));
        db->TableDefs().Append(t);
    }
    {
        Daten d;
        auto rs = db->OpenRecordset(u"Quelle");
        ws->BeginTrans();
        for (int i = 0; i < kZeilen; ++i) {
            auto z = d.zeile(i);
            rs->AddNew();
            for (int c = 0; c < kSpalten; ++c) rs->Fields()[c]->Value(z[static_cast<size_t>(c)]);
            rs->Update();
        }
        ws->CommitTrans();
    }
    auto start = std::chrono::steady_clock::now();
    {
        auto quelle = db->OpenRecordset(u"Quelle");
        auto ziel = db->OpenRecordset(u"Ziel");
        std::vector<dao::FieldPtr> von, nach;
        for (int c = 0; c < kSpalten; ++c) {
            von.push_back(quelle->Fields()[c]);
            nach.push_back(ziel->Fields()[kAdresse[c].name]);
        }
        ws->BeginTrans();
        for (int n = 1; !quelle->EOF_(); ++n) {
            ziel->AddNew();
            for (int c = 0; c < kSpalten; ++c)
                nach[static_cast<size_t>(c)]->Value(von[static_cast<size_t>(c)]->Value());
            ziel->Update();
            if (n % 1000 == 0) {
                ws->CommitTrans();
                ws->BeginTrans();
            }
            quelle->MoveNext();
        }
        ws->CommitTrans();
    }
    const double kopieren = Sekunden(start);
    start = std::chrono::steady_clock::now();
    size_t gelesen = 0;
    {
        auto rs = db->OpenRecordset(u"SELECT * FROM [Ziel] ORDER BY [Name],[Vorname]");
        while (!rs->EOF_()) gelesen += rs->GetRows(100)[0].size();
    }
    const double lesen = Sekunden(start);
    if (gelesen != kZeilen) std::fprintf(stderr, "Engine las %zu Zeilen\n", gelesen);
    db->Close();
    return {kopieren, lesen};
}

Ergebnis Sqlite(const std::string& pfad) {
    sqlite3* db = nullptr;
    sqlite3_open(pfad.c_str(), &db);
    AusführenSql(db, "PRAGMA encoding='UTF-16le'");
    UErrorCode status = U_ZERO_ERROR;
    UCollator* sortierung = ucol_open("de", &status);
    ucol_setStrength(sortierung, UCOL_SECONDARY);
    dao::detail::SortierungAnmelden(db, u"PURIVO", sortierung);  // as the engine does
    std::string spalten, fragen;
    for (int c = 0; c < kSpalten; ++c) {
        spalten += (c ? ",\"" : "\"") + nachUtf8(kAdresse[c].name) + "\"";
        fragen += c ? ",?" : "?";
    }
    AusführenSql(db, ("CREATE TABLE quelle(" + spalten + ")").c_str());
    AusführenSql(db, ("CREATE TABLE ziel(" + spalten + ")").c_str());
    auto vorbereiten = [&](const std::string& sql) {
        sqlite3_stmt* s = nullptr;
        if (sqlite3_prepare_v2(db, sql.c_str(), -1, &s, nullptr) != SQLITE_OK) std::exit(1);
        return s;
    };
    {
        Daten d;
        sqlite3_stmt* ein = vorbereiten("INSERT INTO quelle VALUES(" + fragen + ")");
        AusführenSql(db, "BEGIN");
        for (int i = 0; i < kZeilen; ++i) {
            auto z = d.zeile(i);
            for (int c = 0; c < kSpalten; ++c) Binden(ein, c + 1, z[static_cast<size_t>(c)]);
            sqlite3_step(ein);
            sqlite3_reset(ein);
        }
        AusführenSql(db, "COMMIT");
        sqlite3_finalize(ein);
    }
    auto start = std::chrono::steady_clock::now();
    {
        sqlite3_stmt* aus = vorbereiten("SELECT " + spalten + " FROM quelle ORDER BY rowid");
        sqlite3_stmt* ein = vorbereiten("INSERT INTO ziel(" + spalten + ") VALUES(" + fragen + ")");
        AusführenSql(db, "BEGIN");
        std::vector<Variante> zeile(kSpalten);
        for (int n = 1; sqlite3_step(aus) == SQLITE_ROW; ++n) {
            for (int c = 0; c < kSpalten; ++c) zeile[static_cast<size_t>(c)] = Lesen(aus, c);
            for (int c = 0; c < kSpalten; ++c) Binden(ein, c + 1, zeile[static_cast<size_t>(c)]);
            sqlite3_step(ein);
            sqlite3_reset(ein);
            if (n % 1000 == 0) {
                AusführenSql(db, "COMMIT");
                AusführenSql(db, "BEGIN");
            }
        }
        AusführenSql(db, "COMMIT");
        sqlite3_finalize(aus);
        sqlite3_finalize(ein);
    }
    const double kopieren = Sekunden(start);
    start = std::chrono::steady_clock::now();
    size_t gelesen = 0;
    {
        sqlite3_stmt* s = vorbereiten("SELECT " + spalten +
                                      " FROM ziel ORDER BY \"Name\" COLLATE PURIVO, \"Vorname\" COLLATE PURIVO, rowid");
        bool weiter = true;
        while (weiter) {
            std::vector<std::vector<Variante>> block(kSpalten);
            for (int r = 0; r < 100 && (weiter = sqlite3_step(s) == SQLITE_ROW); ++r)
                for (int c = 0; c < kSpalten; ++c) block[static_cast<size_t>(c)].push_back(Lesen(s, c));
            gelesen += block[0].size();
        }
        sqlite3_finalize(s);
    }
    const double lesen = Sekunden(start);
    if (gelesen != kZeilen) std::fprintf(stderr, "SQLite las %zu Zeilen\n", gelesen);
    sqlite3_close(db);
    ucol_close(sortierung);
    return {kopieren, lesen};
}
}  // namespace

int main() {
    const std::string basis = "/tmp/bench_engine_" + std::to_string(::getpid());
    const std::string a = basis + "_engine.db", b = basis + "_sqlite.db";
    std::remove(a.c_str());
    std::remove(b.c_str());
    const Ergebnis e = Engine(a), s = Sqlite(b);
    std::remove(a.c_str());
    std::remove(b.c_str());
    const double rk = e.kopieren / s.kopieren, rl = e.lesen / s.lesen;
    std::printf("%d records, %d columns\n", kZeilen, kSpalten);
    std::printf("copy (AddNew/Update, commit per 1000): engine %.0f rec/s, sqlite %.0f rec/s, ratio %.2f\n",
                kZeilen / e.kopieren, kZeilen / s.kopieren, rk);
    std::printf("read sorted by 2 text columns (GetRows 100): engine %.0f rec/s, sqlite %.0f rec/s, ratio %.2f\n",
                kZeilen / e.lesen, kZeilen / s.lesen, rl);
    std::printf("engine/sqlite worst ratio: %.2f\n", std::max(rk, rl));
}
