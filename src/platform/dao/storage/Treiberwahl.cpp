// Which storage serves a database name and connect string.
#include <sys/stat.h>

#include <cstdio>
#include <cstring>

#include "platform/dao/DaoIntern.h"
#include "platform/dao/storage/access/AccessTreiber.h"
#include "platform/dao/storage/dbase/DbaseTreiber.h"
#include "platform/dao/storage/excel/ExcelTreiber.h"

namespace dao {
namespace detail {

Text PasswortLesen(TextSicht connect) {
    const Text groß = Grossbuchstaben(connect);
    const size_t a = groß.find(u";PWD=");
    if (a == Text::npos) return {};
    TextSicht rest = connect.substr(a + 5);
    // Everything up to the final ";": a ";" inside the password keeps its meaning.
    if (!rest.empty() && rest.back() == u';') rest.remove_suffix(1);
    return Text(rest);
}

}  // namespace detail

namespace speicher {
namespace {

enum class Inhalt { SQLite, Fremd, Unbestimmt };

// Unbestimmt (missing, empty, unreadable) stays with the native engine, which
// reports it or creates the file.
Inhalt Dateiinhalt(const Text& pfad) {
    const std::string p = nachUtf8(pfad);
    struct stat st {};
    if (p.empty() || ::stat(p.c_str(), &st) != 0) return Inhalt::Unbestimmt;
    if (S_ISDIR(st.st_mode)) return Inhalt::Fremd;
    std::FILE* f = std::fopen(p.c_str(), "rb");
    if (!f) return Inhalt::Unbestimmt;
    char kopf[16] = {};
    const size_t n = std::fread(kopf, 1, sizeof kopf, f);
    std::fclose(f);
    if (n == 0) return Inhalt::Unbestimmt;
    return n == sizeof kopf && std::memcmp(kopf, "SQLite format 3", 16) == 0 ? Inhalt::SQLite : Inhalt::Fremd;
}

bool AccessEndung(const Text& pfad) {
    const Text k = Grossbuchstaben(pfad);
    return k.ends_with(u".MDB") || k.ends_with(u".MDE");
}

bool Leer(const Text& pfad) {
    struct stat st {};
    return ::stat(nachUtf8(pfad).c_str(), &st) == 0 && S_ISREG(st.st_mode) && st.st_size == 0;
}

}  // namespace

std::unique_ptr<Speichertreiber> TreiberÖffnen(TextSicht connect, const Text& pfad, const Text& passwort,
                                               bool nurLesen) {
    const Text c(connect);
    const bool nativ = c.empty() || Grossbuchstaben(c).rfind(u";PWD=", 0) == 0;
    if (nativ) {
        const Inhalt inhalt = Dateiinhalt(pfad);
        // An empty file named as an Access file is a damaged one, not a new native database.
        if (inhalt == Inhalt::Unbestimmt && AccessEndung(pfad) && Leer(pfad))
            return access::TreiberÖffnen(pfad, passwort, nurLesen);
        if (inhalt != Inhalt::Fremd) return nullptr;
        // Any other file goes to the Access driver, which refuses what is not Jet.
        struct stat st {};
        if (::stat(nachUtf8(pfad).c_str(), &st) == 0 && !S_ISDIR(st.st_mode))
            return access::TreiberÖffnen(pfad, passwort, nurLesen);
        // The connect string may hold a password: it is never part of a message.
        FehlerAuslösen(fehler::TreiberFehlt,
                       u"Für das Format der Datei '" + pfad + u"' ist kein Speichertreiber vorhanden.");
    }
    const Text art = Grossbuchstaben(c);
    if (art.rfind(u"EXCEL ", 0) == 0) return excel::TreiberÖffnen(pfad, nurLesen);
    if (art.rfind(u"DBASE ", 0) == 0) return dbase::TreiberÖffnen(pfad, nurLesen);
    FehlerAuslösen(fehler::TreiberFehlt, u"Für das Format '" + c + u"' ist kein Speichertreiber vorhanden.");
}

}  // namespace speicher
}  // namespace dao
