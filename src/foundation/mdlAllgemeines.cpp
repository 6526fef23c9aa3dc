#include "foundation/mdlAllgemeines.h"

#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <fstream>

#include "platform/basic/Fehler.h"
#include "platform/basic/Laufzeit.h"
#include "platform/shell/Shell.h"

void EmailSenden(const Text& Adresse, const Text& Betreff, const Text& Text) {
    // The text is joined as the program always did; the opener gets it as a valid URI.
    shell::Öffnen(shell::UriKodieren(nachUtf8(u"mailto:" + Adresse + u"?Subject=" + Betreff + u"&Body=" + Text)));
}

void InternetseiteÖffnen(const Text& URL) { shell::Öffnen(nachUtf8(URL)); }

Variante Minimum(const Variante& a, const Variante& b) { return a < b ? a : b; }

Text TextErsetzen(TextSicht Text, TextSicht Suchen, TextSicht Ersetzen) {
    if (Suchen.empty()) return ::Text(Text);
    ::Text ergebnis;
    size_t p = 0;
    for (size_t q = Text.find(Suchen); q != TextSicht::npos; q = Text.find(Suchen, p)) {
        ergebnis.append(Text.substr(p, q - p));
        ergebnis.append(Ersetzen);
        p = q + Suchen.size();
    }
    ergebnis.append(Text.substr(p));
    return ergebnis;
}

Text TextEntfernen(TextSicht Text, TextSicht Suchen) { return TextErsetzen(Text, Suchen, u""); }

Text Großschreiben(const Variante& Wert) {
    if (Wert.istNull()) FehlerAuslösen(fehlernummer::VerwendungVonNull);
    return TextErsetzen(UCase(Wert.alsText()), u"ß", u"SS");
}

Text Kleinschreiben(const Variante& Wert) {
    if (Wert.istNull()) FehlerAuslösen(fehlernummer::VerwendungVonNull);
    return TextErsetzen(LCase(Wert.alsText()), u"ß", u"ss");
}

namespace {
bool imWortAlphabet(char16_t c) {
    static constexpr TextSicht alphabet = u"0123456789abcdefghijklmnopqrstuvwxyzäöüABCDEFGHIJKLMNOPQRSTUVWXYZÄÖÜß";
    return alphabet.find(c) != TextSicht::npos;
}
}  // namespace

Variante WortErmitteln(const Variante& Text, int32_t Nummer) {
    if (Text.istEmpty() || Text.istNull()) return Variante::Empty();
    ::Text t = Trim(Text.alsText());
    if (Nummer < 0) t = StrReverse(t);
    const int64_t gesucht = Nummer < 0 ? -static_cast<int64_t>(Nummer) : Nummer;
    int64_t zähler = 1;
    size_t i = 0;
    while (i < t.size()) {
        if (!imWortAlphabet(t[i])) {
            ++i;
            continue;
        }
        size_t ende = i;
        while (ende < t.size() && imWortAlphabet(t[ende])) ++ende;
        if (zähler == gesucht) {
            ::Text wort = t.substr(i, ende - i);
            return Variante(Nummer < 0 ? StrReverse(wort) : wort);
        }
        ++zähler;
        i = ende;
    }
    if (Nummer < 0) return Variante(u"");
    return Variante::Empty();
}

namespace {
size_t letzterTrenner(const Text& p) {
    const auto a = p.rfind(u'/'), b = p.rfind(u'\\');
    if (a == Text::npos) return b;
    if (b == Text::npos) return a;
    return std::max(a, b);
}
}  // namespace

Text DateinameErmitteln(const Variante& Pfad) {
    const Text p = Pfad.istNull() ? Text() : Pfad.alsText();
    const auto k = letzterTrenner(p);
    return Trim(k == Text::npos ? TextSicht(p) : TextSicht(p).substr(k + 1));
}

Text VerzeichnisErmitteln(const Variante& Pfad) {
    // Up to and including the last separator, so blanks at the end cannot cut it.
    const Text p = Pfad.istNull() ? Text() : Pfad.alsText();
    const auto k = letzterTrenner(p);
    return k == Text::npos ? Text() : p.substr(0, k + 1);
}

Variante DateiendungErmitteln(const Variante& Pfad) {
    const Text p = Pfad.istNull() ? Text() : Pfad.alsText();
    const auto k = p.rfind(u'.');
    if (k == Text::npos) return Variante::Empty();
    return Variante(Trim(TextSicht(p).substr(k + 1)));
}

Variante DateiExistiert(const Variante& Pfad) {
    if (Pfad.istNull() || Pfad.istEmpty()) return Variante(false);
    const std::string p = nachUtf8(Pfad.alsText());
    if (p.empty()) return Variante(false);
    struct stat st {};
    if (::stat(p.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return Variante(false);
    std::ifstream f(p, std::ios::binary);
    return Variante(f.is_open());
}

bool BitGesetzt(int64_t Wert, int64_t Maske) { return (Wert & Maske) == Maske; }

namespace {
Text& programmVerzeichnis() {
    static Text v = [] {
        char buf[PATH_MAX];
        const ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf - 1);
        if (n <= 0) return Text(u"./");
        return VerzeichnisErmitteln(Variante(ausUtf8(std::string(buf, static_cast<size_t>(n)))));
    }();
    return v;
}
}  // namespace

Text ProgrammVerzeichnis() { return programmVerzeichnis(); }

void ProgrammVerzeichnisSetzen(const Text& verzeichnis) {
    Text v = verzeichnis;
    if (v.empty() || (v.back() != u'/' && v.back() != u'\\')) v += u'/';
    programmVerzeichnis() = v;
}
