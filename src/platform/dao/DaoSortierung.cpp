// A recordset's order computed here rather than by SQLite's sorter: each row's sort
// values become one byte string whose plain byte order is SQLite's order of them
// (Null, then numbers, then texts through the collation), so the sort compares bytes
// instead of calling the collation some twenty times per row.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "platform/dao/DaoIntern.h"

namespace dao::detail {
namespace {

enum Klasse : uint8_t { kNull = 1, kZahl = 2, kText = 3 };

// The bytes of one sort value; false for a value this order cannot place as SQLite
// would (a blob, a text outside the collation, an integer a double does not hold).
class Schlüsselbauer {
public:
    explicit Schlüsselbauer(UCollator* sortierung) : sortierung_(sortierung) {}

    bool anhängen(std::string& ziel, sqlite3_stmt* s, int spalte, bool sortiert, bool absteigend) {
        const size_t anfang = ziel.size();
        switch (sqlite3_column_type(s, spalte)) {
            case SQLITE_NULL: ziel.push_back(static_cast<char>(kNull)); break;
            case SQLITE_INTEGER: {
                const sqlite3_int64 z = sqlite3_column_int64(s, spalte);
                constexpr sqlite3_int64 kGenau = sqlite3_int64{1} << 53;
                if (z > kGenau || z < -kGenau) return false;
                zahl(ziel, static_cast<double>(z));
                break;
            }
            case SQLITE_FLOAT: zahl(ziel, sqlite3_column_double(s, spalte)); break;
            case SQLITE_TEXT: {
                if (!sortiert) return false;
                const auto* t = static_cast<const UChar*>(sqlite3_column_text16(s, spalte));
                const int länge = sqlite3_column_bytes16(s, spalte) / 2;
                ziel.push_back(static_cast<char>(kText));
                // The key ends in its single zero byte, which sorts a shorter key first.
                int32_t n =
                    ucol_getSortKey(sortierung_, t, länge, puffer_.data(), static_cast<int32_t>(puffer_.size()));
                if (n > static_cast<int32_t>(puffer_.size())) {
                    puffer_.resize(static_cast<size_t>(n));
                    n = ucol_getSortKey(sortierung_, t, länge, puffer_.data(), n);
                }
                if (n <= 0) return false;
                ziel.append(reinterpret_cast<const char*>(puffer_.data()), static_cast<size_t>(n));
                break;
            }
            default: return false;
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
        ziel.push_back(static_cast<char>(kZahl));
        for (int i = 7; i >= 0; --i) ziel.push_back(static_cast<char>((b >> (8 * i)) & 0xff));
    }

    UCollator* sortierung_;
    std::vector<uint8_t> puffer_ = std::vector<uint8_t>(256);
};

// A row's place in the key bytes, with their first eight bytes at hand: most
// comparisons end there, without touching the bytes themselves.
struct Eintrag {
    uint64_t kopf;
    uint32_t anfang, länge;
    int64_t rowid;
};

uint64_t Kopf(const char* b, size_t n) {
    uint64_t k = 0;
    for (size_t i = 0; i < 8; ++i) k = (k << 8) | (i < n ? static_cast<uint8_t>(b[i]) : 0u);
    return k;
}

}  // namespace

bool SchlüsselSortieren(Verbindung& v, TextSicht sql, const std::vector<Variante>& parameter,
                        const std::vector<Sortierglied>& ordnung, std::vector<int64_t>& zeilen) {
    Anweisung a(v.db, sql);
    for (size_t i = 0; i < parameter.size(); ++i) a.binden(static_cast<int>(i + 1), parameter[i]);
    Schlüsselbauer bauer(v.sortierung);
    std::string bytes;
    std::vector<Eintrag> einträge;
    while (a.schritt()) {
        const size_t anfang = bytes.size();
        for (size_t k = 0; k < ordnung.size(); ++k)
            if (!bauer.anhängen(bytes, a.s(), static_cast<int>(k) + 1, ordnung[k].text, ordnung[k].absteigend))
                return false;
        if (bytes.size() > UINT32_MAX) return false;
        const size_t länge = bytes.size() - anfang;
        einträge.push_back({Kopf(bytes.data() + anfang, länge), static_cast<uint32_t>(anfang),
                            static_cast<uint32_t>(länge), sqlite3_column_int64(a.s(), 0)});
    }
    const char* basis = bytes.data();
    std::sort(einträge.begin(), einträge.end(), [basis](const Eintrag& x, const Eintrag& y) {
        if (x.kopf != y.kopf) return x.kopf < y.kopf;
        const int c = std::memcmp(basis + x.anfang, basis + y.anfang, std::min(x.länge, y.länge));
        if (c != 0) return c < 0;
        if (x.länge != y.länge) return x.länge < y.länge;
        return x.rowid < y.rowid;
    });
    zeilen.clear();
    zeilen.reserve(einträge.size());
    for (const Eintrag& e : einträge) zeilen.push_back(e.rowid);
    return true;
}

}  // namespace dao::detail
