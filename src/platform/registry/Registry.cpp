#include "platform/registry/Registry.h"

#include <fcntl.h>
#include <pwd.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <sstream>
#include <utility>

namespace registry {

namespace {

// ---------------------------------------------------------------------------
// windows-1252

// 0x80..0x9F; the five bytes the code page leaves open keep their own number.
// ---------------------------------------------------------------------------
// The tree as the file holds it

struct Wert {
    Text name;
    uint32_t typ = 0;
    std::vector<uint8_t> daten;
};

struct Schlüssel {
    Text pfad;  // as first written, for the file
    std::vector<Wert> werte;
};

// By upper-cased path, so that lookups are case-blind; "" is the root of HKCU.
using Baum = std::map<Text, Schlüssel>;

Text vergleichsform(const Text& name) { return Grossbuchstaben(name); }

Wert* wertSuchen(Schlüssel& s, const Text& name) {
    const Text n = vergleichsform(name);
    for (auto& w : s.werte)
        if (vergleichsform(w.name) == n) return &w;
    return nullptr;
}

// Adds `pfad` and every key above it; true when anything was missing.
bool schlüsselEintragen(Baum& baum, const Text& pfad) {
    bool neu = false;
    size_t pos = 0;
    while (true) {
        const size_t ende = pfad.find(u'\\', pos);
        const Text teil = pfad.substr(0, ende);
        if (baum.emplace(vergleichsform(teil), Schlüssel{teil, {}}).second) neu = true;
        if (ende == Text::npos) break;
        pos = ende + 1;
    }
    return neu;
}

Baum leererBaum() {
    Baum b;
    b.emplace(Text(), Schlüssel{});
    return b;
}

// ---------------------------------------------------------------------------
// File format: a header line, then "K :<path>" for each key, each followed by
// its "V :<name> <type> :<hex bytes>" lines. Names keep printable ASCII as it
// is and write every other UTF-16 unit (and '%') as %XXXX, so a line never
// holds a blank or line break of its own and any name survives.

constexpr const char* kKopf = "purivo-registry 1";

const char* const kHex = "0123456789ABCDEF";

std::string nameSchreiben(const Text& t) {
    std::string out = ":";
    for (char16_t c : t) {
        if (c > 0x20 && c < 0x7F && c != u'%') {
            out.push_back(static_cast<char>(c));
        } else {
            out.push_back('%');
            for (int shift = 12; shift >= 0; shift -= 4) out.push_back(kHex[(c >> shift) & 0xF]);
        }
    }
    return out;
}

int hexZiffer(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

std::optional<Text> nameLesen(const std::string& feld) {
    if (feld.empty() || feld[0] != ':') return std::nullopt;
    Text out;
    for (size_t i = 1; i < feld.size(); ++i) {
        if (feld[i] != '%') {
            const auto c = static_cast<unsigned char>(feld[i]);
            if (c <= 0x20 || c >= 0x7F) return std::nullopt;
            out.push_back(c);
            continue;
        }
        if (i + 4 >= feld.size()) return std::nullopt;
        char16_t c = 0;
        for (size_t k = 1; k <= 4; ++k) {
            const int z = hexZiffer(feld[i + k]);
            if (z < 0) return std::nullopt;
            c = static_cast<char16_t>((c << 4) | z);
        }
        out.push_back(c);
        i += 4;
    }
    return out;
}

std::string bytesSchreiben(const std::vector<uint8_t>& daten) {
    std::string out = ":";
    for (uint8_t b : daten) {
        out.push_back(kHex[b >> 4]);
        out.push_back(kHex[b & 0xF]);
    }
    return out;
}

std::optional<std::vector<uint8_t>> bytesLesen(const std::string& feld) {
    if (feld.empty() || feld[0] != ':' || feld.size() % 2 == 0) return std::nullopt;
    std::vector<uint8_t> out;
    for (size_t i = 1; i < feld.size(); i += 2) {
        const int hoch = hexZiffer(feld[i]), tief = hexZiffer(feld[i + 1]);
        if (hoch < 0 || tief < 0) return std::nullopt;
        out.push_back(static_cast<uint8_t>(hoch << 4 | tief));
    }
    return out;
}

std::optional<uint32_t> typLesen(const std::string& feld) {
    if (feld.empty() || feld.size() > 10) return std::nullopt;
    uint64_t z = 0;
    for (char c : feld) {
        if (c < '0' || c > '9') return std::nullopt;
        z = z * 10 + static_cast<uint64_t>(c - '0');
    }
    if (z > 0xFFFFFFFFu) return std::nullopt;
    return static_cast<uint32_t>(z);
}

std::vector<std::string> felder(const std::string& zeile) {
    std::vector<std::string> out;
    size_t pos = 0;
    while (true) {
        const size_t ende = zeile.find(' ', pos);
        out.push_back(zeile.substr(pos, ende == std::string::npos ? std::string::npos : ende - pos));
        if (ende == std::string::npos) break;
        pos = ende + 1;
    }
    return out;
}

// Anything that does not parse as a whole counts as no file at all.
std::optional<Baum> baumAusText(const std::string& inhalt) {
    if (inhalt.empty() || inhalt.back() != '\n') return std::nullopt;  // also a cut-off file
    std::istringstream ein(inhalt);
    std::string zeile;
    if (!std::getline(ein, zeile) || zeile != kKopf) return std::nullopt;
    Baum baum = leererBaum();
    std::map<Text, bool> gesehen;  // keys named in the file, to catch doubles
    Schlüssel* aktuell = nullptr;
    while (std::getline(ein, zeile)) {
        const auto f = felder(zeile);
        if (f.size() == 2 && f[0] == "K") {
            auto pfad = nameLesen(f[1]);
            if (!pfad) return std::nullopt;
            if (!pfad->empty() &&
                (pfad->front() == u'\\' || pfad->back() == u'\\' || pfad->find(u"\\\\") != Text::npos))
                return std::nullopt;
            const Text v = vergleichsform(*pfad);
            if (!gesehen.emplace(v, true).second) return std::nullopt;
            if (!pfad->empty()) schlüsselEintragen(baum, *pfad);
            aktuell = &baum.at(v);
            aktuell->pfad = *pfad;
        } else if (f.size() == 4 && f[0] == "V" && aktuell) {
            auto name = nameLesen(f[1]);
            auto typ = typLesen(f[2]);
            auto daten = bytesLesen(f[3]);
            if (!name || !typ || !daten || wertSuchen(*aktuell, *name)) return std::nullopt;
            aktuell->werte.push_back(Wert{std::move(*name), *typ, std::move(*daten)});
        } else {
            return std::nullopt;
        }
    }
    return baum;
}

std::string baumAlsText(const Baum& baum) {
    std::string out = std::string(kKopf) + "\n";
    for (const auto& [_, s] : baum) {
        out += "K " + nameSchreiben(s.pfad) + "\n";
        for (const auto& w : s.werte)
            out += "V " + nameSchreiben(w.name) + " " + std::to_string(w.typ) + " " + bytesSchreiben(w.daten) + "\n";
    }
    return out;
}

// ---------------------------------------------------------------------------
// The file

std::string gDateiGesetzt;  // empty: the default place

std::string standardDatei() {
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    std::string basis;
    if (xdg && xdg[0] == '/') {
        basis = xdg;  // a relative value is to be ignored
    } else {
        const char* home = std::getenv("HOME");
        if (home && home[0] != '\0') {
            basis = home;
        } else if (const passwd* pw = getpwuid(getuid()); pw && pw->pw_dir) {
            basis = pw->pw_dir;
        } else {
            return {};
        }
        basis += "/.config";
    }
    return basis + "/purivo/registry";
}

// Read anew at every call: another instance of the program may have written it.
Baum laden() {
    const std::string pfad = RegistryDatei();
    if (pfad.empty()) return leererBaum();
    std::ifstream ein(pfad, std::ios::binary);
    if (!ein) return leererBaum();
    std::ostringstream inhalt;
    inhalt << ein.rdbuf();
    if (ein.bad()) return leererBaum();
    auto baum = baumAusText(inhalt.str());
    return baum ? std::move(*baum) : leererBaum();
}

bool allesSchreiben(int fd, const std::string& daten) {
    size_t geschrieben = 0;
    while (geschrieben < daten.size()) {
        const ssize_t n = ::write(fd, daten.data() + geschrieben, daten.size() - geschrieben);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        geschrieben += static_cast<size_t>(n);
    }
    return true;
}

// Written to a temporary file beside it and renamed over it, so that a crash
// leaves either the old file or the new one, never half of one.
bool speichern(const Baum& baum) {
    const std::string pfad = RegistryDatei();
    if (pfad.empty()) return false;
    const std::filesystem::path ziel(pfad);
    std::error_code fehler;
    if (ziel.has_parent_path()) std::filesystem::create_directories(ziel.parent_path(), fehler);
    if (fehler) return false;

    std::string vorlage = pfad + ".XXXXXX";
    const int fd = ::mkstemp(vorlage.data());
    if (fd < 0) return false;
    const bool ok = allesSchreiben(fd, baumAlsText(baum)) && ::fsync(fd) == 0;
    if (::close(fd) != 0 || !ok || std::rename(vorlage.c_str(), pfad.c_str()) != 0) {
        ::unlink(vorlage.c_str());
        return false;
    }
    // The rename itself must reach the disk too.
    const std::string ordner = ziel.has_parent_path() ? ziel.parent_path().string() : std::string(".");
    const int dfd = ::open(ordner.c_str(), O_RDONLY | O_DIRECTORY);
    if (dfd >= 0) {
        ::fsync(dfd);
        ::close(dfd);
    }
    return true;
}

// ---------------------------------------------------------------------------
// Handles

struct OffenerSchlüssel {
    bool maschine = false;  // below HKEY_LOCAL_MACHINE: empty and read-only
    Text pfad;              // full path from the root, as asked for
    uint32_t zugriff = 0;
};

// Slot i holds handle i + 1; 0 is never a handle.
std::vector<std::optional<OffenerSchlüssel>> gOffen;

std::optional<OffenerSchlüssel> auflösen(int32_t handle) {
    if (handle == HKEY_CURRENT_USER) return OffenerSchlüssel{false, Text(), KEY_ALL_ACCESS};
    if (handle == HKEY_LOCAL_MACHINE) return OffenerSchlüssel{true, Text(), KEY_ALL_ACCESS};
    if (handle <= 0 || static_cast<size_t>(handle) > gOffen.size()) return std::nullopt;
    return gOffen[static_cast<size_t>(handle) - 1];
}

int32_t handleVergeben(OffenerSchlüssel s) {
    for (size_t i = 0; i < gOffen.size(); ++i) {
        if (!gOffen[i]) {
            gOffen[i] = std::move(s);
            return static_cast<int32_t>(i + 1);
        }
    }
    gOffen.push_back(std::move(s));
    return static_cast<int32_t>(gOffen.size());
}

bool zugriffGültig(uint32_t zugriff) {
    // The key's own rights, the standard rights, the 32/64-bit view flags and
    // MAXIMUM_ALLOWED; anything else is a caller's mistake.
    constexpr uint32_t erlaubt = KEY_ALL_ACCESS | 0x300u | 0x02000000u;
    return (zugriff & ~erlaubt) == 0;
}

// `basis` + `unter`, or ERROR_BAD_PATHNAME for an empty part ("a\\b", "\a").
// One trailing backslash is allowed, as the system allowed it.
int32_t pfadBilden(const Text& basis, Text unter, Text& pfad) {
    if (!unter.empty() && unter.back() == u'\\') unter.pop_back();
    if (unter.empty()) {
        pfad = basis;
        return ERROR_SUCCESS;
    }
    if (unter.front() == u'\\' || unter.back() == u'\\' || unter.find(u"\\\\") != Text::npos) return ERROR_BAD_PATHNAME;
    pfad = basis.empty() ? unter : basis + u"\\" + unter;
    return ERROR_SUCCESS;
}

// What opening and creating a key check first: the root, the access mask and the path.
int32_t schlüsselVorbereiten(int32_t root, const Text& subkey, uint32_t zugriff, int32_t& handle,
                             std::optional<OffenerSchlüssel>& basis, Text& pfad) {
    handle = 0;
    basis = auflösen(root);
    if (!basis) return ERROR_INVALID_HANDLE;
    if (!zugriffGültig(zugriff)) return ERROR_INVALID_PARAMETER;
    return pfadBilden(basis->pfad, subkey, pfad);
}

}  // namespace

// ---------------------------------------------------------------------------

void RegistryDateiSetzen(std::string pfad) { gDateiGesetzt = std::move(pfad); }

std::string RegistryDatei() { return gDateiGesetzt.empty() ? standardDatei() : gDateiGesetzt; }

int32_t RegCreateKeyEx(int32_t root, const Text& subkey, uint32_t zugriff, int32_t& handle, int32_t& disposition) {
    std::optional<OffenerSchlüssel> basis;
    Text pfad;
    if (const int32_t s = schlüsselVorbereiten(root, subkey, zugriff, handle, basis, pfad); s != ERROR_SUCCESS)
        return s;

    if (basis->maschine) {
        if (!pfad.empty()) return ERROR_ACCESS_DENIED;
        disposition = REG_OPENED_EXISTING_KEY;
        handle = handleVergeben(OffenerSchlüssel{true, pfad, zugriff});
        return ERROR_SUCCESS;
    }

    Baum baum = laden();
    if (!baum.contains(vergleichsform(basis->pfad))) return ERROR_KEY_DELETED;
    if (baum.contains(vergleichsform(pfad))) {
        disposition = REG_OPENED_EXISTING_KEY;
    } else {
        if (!(basis->zugriff & KEY_CREATE_SUB_KEY)) return ERROR_ACCESS_DENIED;
        schlüsselEintragen(baum, pfad);
        if (!speichern(baum)) return ERROR_REGISTRY_IO_FAILED;
        disposition = REG_CREATED_NEW_KEY;
    }
    handle = handleVergeben(OffenerSchlüssel{false, pfad, zugriff});
    return ERROR_SUCCESS;
}

int32_t RegOpenKeyEx(int32_t root, const Text& subkey, uint32_t zugriff, int32_t& handle) {
    std::optional<OffenerSchlüssel> basis;
    Text pfad;
    if (const int32_t s = schlüsselVorbereiten(root, subkey, zugriff, handle, basis, pfad); s != ERROR_SUCCESS)
        return s;

    if (basis->maschine) {
        if (!pfad.empty()) return ERROR_FILE_NOT_FOUND;
    } else if (!laden().contains(vergleichsform(pfad))) {
        return ERROR_FILE_NOT_FOUND;
    }
    handle = handleVergeben(OffenerSchlüssel{basis->maschine, pfad, zugriff});
    return ERROR_SUCCESS;
}

int32_t RegQueryValueEx(int32_t handle, const Text& name, uint32_t& typ, std::vector<uint8_t>* buffer, uint32_t& size) {
    const auto schlüssel = auflösen(handle);
    if (!schlüssel) return ERROR_INVALID_HANDLE;
    if (!(schlüssel->zugriff & KEY_QUERY_VALUE)) return ERROR_ACCESS_DENIED;
    if (schlüssel->maschine) return ERROR_FILE_NOT_FOUND;

    Baum baum = laden();
    const auto it = baum.find(vergleichsform(schlüssel->pfad));
    if (it == baum.end()) return ERROR_KEY_DELETED;
    const Wert* w = wertSuchen(it->second, name);
    if (!w) return ERROR_FILE_NOT_FOUND;

    typ = w->typ;
    const auto länge = static_cast<uint32_t>(w->daten.size());
    if (buffer) {
        if (size < länge) {
            size = länge;
            return ERROR_MORE_DATA;
        }
        if (buffer->size() < size) buffer->resize(size);
        std::copy(w->daten.begin(), w->daten.end(), buffer->begin());
    }
    size = länge;
    return ERROR_SUCCESS;
}

int32_t RegSetValueEx(int32_t handle, const Text& name, uint32_t typ, const uint8_t* daten, uint32_t size) {
    const auto schlüssel = auflösen(handle);
    if (!schlüssel) return ERROR_INVALID_HANDLE;
    if (schlüssel->maschine || !(schlüssel->zugriff & KEY_SET_VALUE)) return ERROR_ACCESS_DENIED;
    if (!daten && size > 0) return ERROR_INVALID_PARAMETER;

    Baum baum = laden();
    const auto it = baum.find(vergleichsform(schlüssel->pfad));
    if (it == baum.end()) return ERROR_KEY_DELETED;
    std::vector<uint8_t> bytes(daten, daten + size);
    if (Wert* w = wertSuchen(it->second, name)) {
        // An existing value keeps the spelling of its name.
        w->typ = typ;
        w->daten = std::move(bytes);
    } else {
        it->second.werte.push_back(Wert{name, typ, std::move(bytes)});
    }
    return speichern(baum) ? ERROR_SUCCESS : ERROR_REGISTRY_IO_FAILED;
}

int32_t RegCloseKey(int32_t handle) {
    if (handle == HKEY_CURRENT_USER || handle == HKEY_LOCAL_MACHINE) return ERROR_SUCCESS;
    if (handle <= 0 || static_cast<size_t>(handle) > gOffen.size() || !gOffen[static_cast<size_t>(handle) - 1])
        return ERROR_INVALID_HANDLE;
    gOffen[static_cast<size_t>(handle) - 1].reset();
    return ERROR_SUCCESS;
}

}  // namespace registry
