#include "FremdeLeser.h"

#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>

namespace fremd {

// The output of a shell command; throws when it does not exit with 0.
std::string Ausgabe(const std::string& befehl) {
    std::string text;
    FILE* p = popen(befehl.c_str(), "r");
    if (!p) throw std::runtime_error("kann nicht starten: " + befehl);
    char puffer[65536];
    size_t n;
    while ((n = fread(puffer, 1, sizeof puffer, p)) > 0) text.append(puffer, n);
    const int status = pclose(p);
    if (status != 0)
        throw std::runtime_error(befehl + " endete mit Status " +
                                 std::to_string(WIFEXITED(status) ? WEXITSTATUS(status) : status));
    return text;
}

namespace {


bool Vorhanden(const std::string& programm) {
    return std::system(("command -v " + programm + " >/dev/null 2>&1").c_str()) == 0;
}

std::vector<std::string> Teilen(const std::string& s, const std::string& trenner) {
    std::vector<std::string> teile;
    size_t anfang = 0;
    for (size_t i; (i = s.find(trenner, anfang)) != std::string::npos; anfang = i + trenner.size())
        teile.push_back(s.substr(anfang, i - anfang));
    teile.push_back(s.substr(anfang));
    return teile;
}

// Separators no table holds: control characters around a marker (single control
// characters do occur in texts).
const std::string kFeld = "\x1f<F>\x1f", kSatz = "\x1e<R>\x1e", kNull = "\x1d<N>\x1d";

std::filesystem::path Leserordner() { return std::filesystem::path(__FILE__).parent_path().parent_path() / "leser"; }

class JsonLeser {
public:
    explicit JsonLeser(const std::string& t) : t_(t) {}

    Json Ganz() {
        Json j = Wert(0);
        Leer();
        if (i_ != t_.size()) Fehler("Text hinter dem Wert");
        return j;
    }

private:
    const std::string& t_;
    size_t i_ = 0;

    [[noreturn]] void Fehler(const std::string& was) {
        throw std::runtime_error("JSON: " + was + " bei Zeichen " + std::to_string(i_));
    }
    void Leer() {
        while (i_ < t_.size() && (t_[i_] == ' ' || t_[i_] == '\n' || t_[i_] == '\r' || t_[i_] == '\t')) ++i_;
    }
    bool Wort(const char* w) {
        const std::string s(w);
        if (t_.compare(i_, s.size(), s) != 0) return false;
        i_ += s.size();
        return true;
    }
    void Utf8(std::string& ziel, uint32_t c) {
        if (c < 0x80) {
            ziel += static_cast<char>(c);
        } else if (c < 0x800) {
            ziel += static_cast<char>(0xC0 | c >> 6);
            ziel += static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            ziel += static_cast<char>(0xE0 | c >> 12);
            ziel += static_cast<char>(0x80 | (c >> 6 & 0x3F));
            ziel += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            ziel += static_cast<char>(0xF0 | c >> 18);
            ziel += static_cast<char>(0x80 | (c >> 12 & 0x3F));
            ziel += static_cast<char>(0x80 | (c >> 6 & 0x3F));
            ziel += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    uint32_t Hex4() {
        if (i_ + 4 > t_.size()) Fehler("kurzes \\u");
        uint32_t c = 0;
        for (int k = 0; k < 4; ++k) {
            const char h = t_[i_++];
            c <<= 4;
            if (h >= '0' && h <= '9') c |= static_cast<uint32_t>(h - '0');
            else if (h >= 'a' && h <= 'f') c |= static_cast<uint32_t>(h - 'a' + 10);
            else if (h >= 'A' && h <= 'F') c |= static_cast<uint32_t>(h - 'A' + 10);
            else Fehler("falsches \\u");
        }
        return c;
    }
    std::string Zeichenkette() {
        ++i_;  // the opening quote
        std::string s;
        for (;;) {
            if (i_ >= t_.size()) Fehler("offene Zeichenkette");
            const char c = t_[i_++];
            if (c == '"') return s;
            if (c != '\\') {
                s += c;
                continue;
            }
            if (i_ >= t_.size()) Fehler("offene Zeichenkette");
            switch (const char e = t_[i_++]) {
                case '"':
                case '\\':
                case '/': s += e; break;
                case 'b': s += '\b'; break;
                case 'f': s += '\f'; break;
                case 'n': s += '\n'; break;
                case 'r': s += '\r'; break;
                case 't': s += '\t'; break;
                case 'u': {
                    uint32_t c1 = Hex4();
                    if (c1 >= 0xD800 && c1 < 0xDC00 && Wort("\\u")) {
                        const uint32_t c2 = Hex4();
                        c1 = 0x10000 + ((c1 - 0xD800) << 10) + (c2 - 0xDC00);
                    }
                    Utf8(s, c1);
                    break;
                }
                default: Fehler("unbekanntes Escape");
            }
        }
    }
    Json Wert(int tiefe) {
        if (tiefe > 64) Fehler("zu tief");
        Leer();
        if (i_ >= t_.size()) Fehler("Wert fehlt");
        Json j;
        const char c = t_[i_];
        if (c == '{') {
            j.art = Json::Objekt;
            ++i_;
            Leer();
            if (i_ < t_.size() && t_[i_] == '}') {
                ++i_;
                return j;
            }
            for (;;) {
                Leer();
                if (i_ >= t_.size() || t_[i_] != '"') Fehler("Feldname erwartet");
                std::string name = Zeichenkette();
                Leer();
                if (i_ >= t_.size() || t_[i_++] != ':') Fehler("':' erwartet");
                j.namen.push_back(std::move(name));
                j.liste.push_back(Wert(tiefe + 1));
                Leer();
                if (i_ < t_.size() && t_[i_] == ',') {
                    ++i_;
                    continue;
                }
                if (i_ < t_.size() && t_[i_] == '}') {
                    ++i_;
                    return j;
                }
                Fehler("',' oder '}' erwartet");
            }
        }
        if (c == '[') {
            j.art = Json::Liste;
            ++i_;
            Leer();
            if (i_ < t_.size() && t_[i_] == ']') {
                ++i_;
                return j;
            }
            for (;;) {
                j.liste.push_back(Wert(tiefe + 1));
                Leer();
                if (i_ < t_.size() && t_[i_] == ',') {
                    ++i_;
                    continue;
                }
                if (i_ < t_.size() && t_[i_] == ']') {
                    ++i_;
                    return j;
                }
                Fehler("',' oder ']' erwartet");
            }
        }
        if (c == '"') {
            j.art = Json::Text;
            j.text = Zeichenkette();
            return j;
        }
        if (Wort("null")) return j;
        if (Wort("true")) {
            j.art = Json::Wahrheit;
            j.text = "true";
            return j;
        }
        if (Wort("false")) {
            j.art = Json::Wahrheit;
            j.text = "false";
            return j;
        }
        const size_t anfang = i_;
        while (i_ < t_.size() && std::string_view("+-0123456789.eE").find(t_[i_]) != std::string_view::npos) ++i_;
        if (i_ == anfang) Fehler("unbekannter Wert");
        j.art = Json::Zahl;
        j.text = t_.substr(anfang, i_ - anfang);
        return j;
    }
};

const Json& Muss(const Json& j, const std::string& feld) {
    const Json* f = j.Feld(feld);
    if (!f) throw std::runtime_error("mdb-reader: Feld \"" + feld + "\" fehlt");
    return *f;
}

}  // namespace

std::string Shell(const std::string& s) {
    std::string q = "'";
    for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

bool MdbtoolsDa() {
    return Vorhanden("mdb-export") && Vorhanden("mdb-schema") && Vorhanden("mdb-tables") && Vorhanden("mdb-prop");
}

Tabelleninhalt MdbExport(const std::string& datei, const std::string& tabelle) {
    const std::string text = Ausgabe("mdb-export -Q -d " + Shell(kFeld) + " -R " + Shell(kSatz) + " -0 " +
                                     Shell(kNull) + " -D '%Y-%m-%d %H:%M:%S' -T '%Y-%m-%d %H:%M:%S' -b hex " +
                                     Shell(datei) + " " + Shell(tabelle) + " 2>/dev/null");
    Tabelleninhalt inhalt;
    std::vector<std::string> sätze = Teilen(text, kSatz);
    if (!sätze.empty() && sätze.back().empty()) sätze.pop_back();
    if (sätze.empty()) throw std::runtime_error("mdb-export: keine Kopfzeile für " + tabelle);
    inhalt.spalten = Teilen(sätze[0], kFeld);
    for (size_t i = 1; i < sätze.size(); ++i) {
        Zeile zeile;
        for (std::string& f : Teilen(sätze[i], kFeld)) zeile.push_back(f == kNull ? Zelle() : Zelle(std::move(f)));
        if (zeile.size() != inhalt.spalten.size())
            throw std::runtime_error("mdb-export: Zeile " + std::to_string(i) + " von " + tabelle + " hat " +
                                     std::to_string(zeile.size()) + " Felder");
        inhalt.zeilen.push_back(std::move(zeile));
    }
    return inhalt;
}

std::string MdbSchema(const std::string& datei, const std::string& tabelle, const std::string& backend) {
    return Ausgabe("mdb-schema " + (tabelle.empty() ? std::string() : "-T " + Shell(tabelle) + " ") + Shell(datei) +
                   " " + Shell(backend) + " 2>/dev/null");
}

std::vector<std::string> MdbTabellen(const std::string& datei, bool system) {
    std::vector<std::string> namen;
    for (std::string& n : Teilen(Ausgabe(std::string("mdb-tables -1 ") + (system ? "-S " : "") + Shell(datei)), "\n"))
        if (!n.empty()) namen.push_back(std::move(n));
    return namen;
}

std::string MdbProp(const std::string& datei, const std::string& objekt) {
    return Ausgabe("mdb-prop " + Shell(datei) + " " + Shell(objekt) + " 2>/dev/null");
}

const Json* Json::Feld(const std::string& name) const {
    if (art != Objekt) return nullptr;
    for (size_t i = 0; i < namen.size() && i < liste.size(); ++i)
        if (namen[i] == name) return &liste[i];
    return nullptr;
}

Json JsonLesen(const std::string& text) { return JsonLeser(text).Ganz(); }

bool MdbReaderDa() {
    return Vorhanden("node") && std::filesystem::exists(Leserordner() / "node_modules" / "mdb-reader" / "package.json");
}

std::vector<FremdeTabelle> MdbReaderLesen(const std::string& datei, const std::string& tabelle,
                                          const std::string& passwort, bool system) {
    std::string befehl = "node " + Shell((Leserordner() / "lesen.mjs").string()) + " " + Shell(datei);
    if (!tabelle.empty()) befehl += " --tabelle " + Shell(tabelle);
    if (!passwort.empty()) befehl += " --passwort " + Shell(passwort);
    if (system) befehl += " --system";
    const Json ganz = JsonLesen(Ausgabe(befehl));
    std::vector<FremdeTabelle> tabellen;
    for (const Json& t : Muss(ganz, "tabellen").liste) {
        FremdeTabelle ft;
        ft.name = Muss(t, "name").text;
        if (const Json* f = t.Feld("fehler")) {
            ft.fehler = f->text;
            tabellen.push_back(std::move(ft));
            continue;
        }
        ft.zeilenzahl = std::stol(Muss(t, "zeilenzahl").text);
        for (const Json& s : Muss(t, "spalten").liste)
            ft.spalten.push_back({Muss(s, "name").text, Muss(s, "typ").text, std::stol(Muss(s, "groesse").text)});
        for (const Json& z : Muss(t, "zeilen").liste) {
            Zeile zeile;
            for (const Json& w : z.liste) zeile.push_back(w.art == Json::Null ? Zelle() : Zelle(w.text));
            ft.zeilen.push_back(std::move(zeile));
        }
        tabellen.push_back(std::move(ft));
    }
    return tabellen;
}

}  // namespace fremd
