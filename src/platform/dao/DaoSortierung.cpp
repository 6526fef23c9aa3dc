// A recordset's order computed here rather than by SQLite's sorter: each row's sort
// values become one byte string whose plain byte order is SQLite's order of them
// (Null, then numbers, then texts through the collation), so the sort compares bytes
// instead of calling the collation some twenty times per row.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include "platform/dao/DaoIntern.h"

namespace dao::detail {
namespace {

enum Klasse : char16_t { kNull = 1, kZahl = 2, kText = 3 };

// A row's sort values as read, before their keys are made: per term its class and
// then the number (four units) or the text's length (two) and its units.
class Rohwerte {
public:
    // False for a value this order cannot place as SQLite would (a blob, a text
    // outside the collation, an integer a double does not hold).
    bool anhängen(sqlite3_stmt* s, int spalte, bool sortiert) {
        switch (sqlite3_column_type(s, spalte)) {
            case SQLITE_NULL: d_.push_back(kNull); return true;
            case SQLITE_INTEGER: {
                const sqlite3_int64 z = sqlite3_column_int64(s, spalte);
                constexpr sqlite3_int64 kGenau = sqlite3_int64{1} << 53;
                if (z > kGenau || z < -kGenau) return false;
                zahl(static_cast<double>(z));
                return true;
            }
            case SQLITE_FLOAT: zahl(sqlite3_column_double(s, spalte)); return true;
            case SQLITE_TEXT: {
                if (!sortiert) return false;
                const auto* t = static_cast<const char16_t*>(sqlite3_column_text16(s, spalte));
                const auto n = static_cast<uint32_t>(sqlite3_column_bytes16(s, spalte) / 2);
                d_.push_back(kText);
                EinheitenAnhängen(d_, n);
                d_.insert(d_.end(), t, t + n);
                return true;
            }
            default: return false;
        }
    }
    size_t größe() const { return d_.size(); }
    const char16_t* daten() const { return d_.data(); }

private:
    void zahl(double d) {
        d_.push_back(kZahl);
        EinheitenAnhängen(d_, d);
    }
    std::vector<char16_t> d_;
};

// The key bytes of one row's sort values, taken from Rohwerte at `p`.
class Schlüsselbauer {
public:
    explicit Schlüsselbauer(const UCollator* sortierung) {
        UErrorCode status = U_ZERO_ERROR;
        sortierung_ = ucol_clone(sortierung, &status);  // one per thread
        if (U_FAILURE(status)) sortierung_ = nullptr;
    }
    ~Schlüsselbauer() {
        if (sortierung_) ucol_close(sortierung_);
    }
    Schlüsselbauer(const Schlüsselbauer&) = delete;
    Schlüsselbauer& operator=(const Schlüsselbauer&) = delete;
    bool bereit() const { return sortierung_ != nullptr; }

    // False when the collation gives no key.
    bool anhängen(std::string& ziel, const char16_t*& p, bool absteigend) {
        const size_t anfang = ziel.size();
        const char16_t klasse = *p++;
        ziel.push_back(static_cast<char>(klasse));
        if (klasse == kZahl) {
            zahl(ziel, EinheitenHolen<double>(p));
        } else if (klasse == kText) {
            const auto n = EinheitenHolen<uint32_t>(p);
            // The key ends in its single zero byte, which sorts a shorter key first.
            const auto länge = static_cast<int32_t>(n);
            int32_t k = ucol_getSortKey(sortierung_, p, länge, puffer_.data(), static_cast<int32_t>(puffer_.size()));
            if (k > static_cast<int32_t>(puffer_.size())) {
                puffer_.resize(static_cast<size_t>(k));
                k = ucol_getSortKey(sortierung_, p, länge, puffer_.data(), k);
            }
            p += n;
            if (k <= 0) return false;
            ziel.append(reinterpret_cast<const char*>(puffer_.data()), static_cast<size_t>(k));
        }
        if (absteigend)
            for (size_t i = anfang; i < ziel.size(); ++i) ziel[i] = static_cast<char>(~ziel[i]);
        return true;
    }

private:
    // Big-endian with the sign bit turned, so that the bytes order as the numbers do.
    static void zahl(std::string& ziel, double d) {
        if (d == 0) d = 0;  // -0 equals 0
        uint64_t b;
        std::memcpy(&b, &d, sizeof b);
        b = (b >> 63) ? ~b : b | (uint64_t{1} << 63);
        for (int i = 7; i >= 0; --i) ziel.push_back(static_cast<char>((b >> (8 * i)) & 0xff));
    }

    UCollator* sortierung_ = nullptr;
    std::vector<uint8_t> puffer_ = std::vector<uint8_t>(256);
};

// A row's key bytes, with their first eight bytes at hand: most comparisons end
// there, without touching the bytes themselves.
struct Eintrag {
    uint64_t kopf;
    const char* bytes;
    uint32_t länge;
    int64_t rowid;
};

bool Vor(const Eintrag& x, const Eintrag& y) {
    if (x.kopf != y.kopf) return x.kopf < y.kopf;
    const int c = std::memcmp(x.bytes, y.bytes, std::min(x.länge, y.länge));
    if (c != 0) return c < 0;
    if (x.länge != y.länge) return x.länge < y.länge;
    return x.rowid < y.rowid;
}

uint64_t Kopf(const char* b, size_t n) {
    uint64_t k = 0;
    for (size_t i = 0; i < 8; ++i) k = (k << 8) | (i < n ? static_cast<uint8_t>(b[i]) : 0u);
    return k;
}

// Runs f(0..teile-1) on as many threads, the first on this one; f reports its
// failures itself, an exception counts as one.
template <class F>
void Parallel(size_t teile, F f) {
    auto sicher = [&f](size_t t) {
        try {
            f(t);
        } catch (...) {
        }
    };
    std::vector<std::thread> threads;
    size_t hier = 1;  // parts no thread could be started for run here
    for (size_t t = 1; t < teile; ++t) {
        try {
            threads.emplace_back(sicher, t);
        } catch (const std::system_error&) {
            hier = t;
            break;
        }
        hier = t + 1;
    }
    sicher(0);
    for (size_t t = hier; t < teile; ++t) sicher(t);
    for (auto& th : threads) th.join();
}

}  // namespace

size_t SortierenParallelAb = 50000;

bool SchlüsselSortieren(Verbindung& v, TextSicht sql, const std::vector<Variante>& parameter,
                        const std::vector<Sortierglied>& ordnung, std::vector<int64_t>& zeilen) {
    Anweisung a(v.db, sql);
    for (size_t i = 0; i < parameter.size(); ++i) a.binden(static_cast<int>(i + 1), parameter[i]);
    Rohwerte roh;
    std::vector<size_t> anfang;  // of each row in `roh`
    std::vector<int64_t> rowids;
    while (a.schritt()) {
        anfang.push_back(roh.größe());
        rowids.push_back(sqlite3_column_int64(a.s(), 0));
        for (size_t k = 0; k < ordnung.size(); ++k)
            if (!roh.anhängen(a.s(), static_cast<int>(k) + 1, ordnung[k].text)) return false;
    }
    const size_t n = rowids.size();
    // Keys and sort on several cores for a large set: each part its own rows, the
    // parts merged; the order is a total one, so it is the same on any number.
    const size_t teile = n < SortierenParallelAb ? 1 : std::clamp<size_t>(std::thread::hardware_concurrency(), 2, 8);
    std::vector<std::string> bytes(teile);
    std::vector<Eintrag> einträge(n);
    std::vector<char> gelungen(teile, 0);
    auto grenze = [&](size_t t) { return n * t / teile; };
    Parallel(teile, [&](size_t t) {
        Schlüsselbauer bauer(v.sortierung);
        if (!bauer.bereit()) return;
        for (size_t i = grenze(t); i < grenze(t + 1); ++i) {
            const char16_t* p = roh.daten() + anfang[i];
            const size_t vorher = bytes[t].size();
            for (const Sortierglied& g : ordnung)
                if (!bauer.anhängen(bytes[t], p, g.absteigend)) return;
            einträge[i].länge = static_cast<uint32_t>(bytes[t].size() - vorher);
        }
        // The bytes are all there: now their places can be taken.
        const char* b = bytes[t].data();
        for (size_t i = grenze(t); i < grenze(t + 1); ++i) {
            einträge[i].kopf = Kopf(b, einträge[i].länge);
            einträge[i].bytes = b;
            einträge[i].rowid = rowids[i];
            b += einträge[i].länge;
        }
        std::sort(einträge.begin() + static_cast<ptrdiff_t>(grenze(t)),
                  einträge.begin() + static_cast<ptrdiff_t>(grenze(t + 1)), Vor);
        gelungen[t] = 1;
    });
    if (std::find(gelungen.begin(), gelungen.end(), 0) != gelungen.end()) return false;
    roh = Rohwerte();  // the keys hold all the order needs
    std::vector<size_t>().swap(anfang);
    std::vector<int64_t>().swap(rowids);
    for (size_t schritt = 1; schritt < teile; schritt *= 2) {
        const size_t paare = (teile + 2 * schritt - 1) / (2 * schritt);
        Parallel(paare, [&](size_t k) {
            const size_t von = grenze(std::min(teile, 2 * k * schritt)),
                         mitte = grenze(std::min(teile, (2 * k + 1) * schritt)),
                         bis = grenze(std::min(teile, (2 * k + 2) * schritt));
            std::inplace_merge(einträge.begin() + static_cast<ptrdiff_t>(von),
                               einträge.begin() + static_cast<ptrdiff_t>(mitte),
                               einträge.begin() + static_cast<ptrdiff_t>(bis), Vor);
        });
    }
    zeilen.clear();
    zeilen.reserve(n);
    for (const Eintrag& e : einträge) zeilen.push_back(e.rowid);
    return true;
}

}  // namespace dao::detail
