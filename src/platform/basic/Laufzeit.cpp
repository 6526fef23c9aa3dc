#include "platform/basic/Laufzeit.h"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <string>

#include "platform/basic/Fehler.h"

int32_t Len(TextSicht s) { return static_cast<int32_t>(s.size()); }

Variante Len(const Variante& v) {
    if (v.istNull()) return Variante::Null();
    if (v.istText()) return Variante(Len(v.text()));
    return Variante(Len(v.alsText()));
}

Text Left(TextSicht s, int32_t n) {
    if (n < 0) FehlerAuslösen(fehlernummer::UngueltigesArgument);
    return Text(s.substr(0, static_cast<size_t>(n)));
}

Text Right(TextSicht s, int32_t n) {
    if (n < 0) FehlerAuslösen(fehlernummer::UngueltigesArgument);
    const auto k = std::min(static_cast<size_t>(n), s.size());
    return Text(s.substr(s.size() - k));
}

Text Mid(TextSicht s, int32_t start) {
    if (start < 1) FehlerAuslösen(fehlernummer::UngueltigesArgument);
    if (static_cast<size_t>(start) > s.size()) return {};
    return Text(s.substr(static_cast<size_t>(start - 1)));
}

Text Mid(TextSicht s, int32_t start, int32_t laenge) {
    if (start < 1 || laenge < 0) FehlerAuslösen(fehlernummer::UngueltigesArgument);
    if (static_cast<size_t>(start) > s.size()) return {};
    return Text(s.substr(static_cast<size_t>(start - 1), static_cast<size_t>(laenge)));
}

int32_t InStr(TextSicht s, TextSicht suchen) { return InStr(1, s, suchen); }

int32_t InStr(int32_t start, TextSicht s, TextSicht suchen) {
    if (start < 1) FehlerAuslösen(fehlernummer::UngueltigesArgument);
    if (static_cast<size_t>(start) > s.size() + 1) return 0;
    if (suchen.empty()) return start;
    const auto p = s.find(suchen, static_cast<size_t>(start - 1));
    return p == TextSicht::npos ? 0 : static_cast<int32_t>(p + 1);
}

int32_t InStrRev(TextSicht s, TextSicht suchen, int32_t start) {
    if (start == 0 || start < -1) FehlerAuslösen(fehlernummer::UngueltigesArgument);
    const auto n = static_cast<int32_t>(s.size());
    if (start == -1) start = n;
    if (start > n) return 0;
    if (suchen.empty()) return start;
    const auto m = static_cast<int32_t>(suchen.size());
    if (m > start) return 0;
    const auto p = s.rfind(suchen, static_cast<size_t>(start - m));
    return p == TextSicht::npos ? 0 : static_cast<int32_t>(p + 1);
}

Text LTrim(TextSicht s) {
    size_t i = 0;
    while (i < s.size() && s[i] == u' ') ++i;
    return Text(s.substr(i));
}

Text RTrim(TextSicht s) {
    size_t n = s.size();
    while (n > 0 && s[n - 1] == u' ') --n;
    return Text(s.substr(0, n));
}

Text Trim(TextSicht s) { return Text(TrimSicht(s)); }

Text StrReverse(TextSicht s) { return Text(s.rbegin(), s.rend()); }

Text Space(int32_t n) {
    if (n < 0) FehlerAuslösen(fehlernummer::UngueltigesArgument);
    return Text(static_cast<size_t>(n), u' ');
}

namespace {
bool istZiffer(char16_t c) { return c >= u'0' && c <= u'9'; }
}  // namespace

std::optional<double> ZahlAusText(TextSicht s) {
    const Text t = Trim(s);
    if (t.empty()) return std::nullopt;
    if (t.size() > 2 && t[0] == u'&' && (t[1] == u'H' || t[1] == u'h' || t[1] == u'O' || t[1] == u'o')) {
        const int basis = (t[1] == u'H' || t[1] == u'h') ? 16 : 8;
        int64_t wert = 0;
        for (size_t i = 2; i < t.size(); ++i) {
            const char16_t c = t[i];
            int d;
            if (istZiffer(c)) d = c - u'0';
            else if (c >= u'a' && c <= u'f') d = c - u'a' + 10;
            else if (c >= u'A' && c <= u'F') d = c - u'A' + 10;
            else return std::nullopt;
            if (d >= basis) return std::nullopt;
            wert = wert * basis + d;
            if (wert > 0xFFFFFFFFLL) return std::nullopt;
        }
        // As in the runtime, eight hex digits are a signed 32-bit value, four a signed 16-bit one.
        if (basis == 16 && t.size() - 2 <= 4 && wert > 0x7FFF) wert -= 0x10000;
        else if (wert > 0x7FFFFFFF) wert -= 0x100000000LL;
        return static_cast<double>(wert);
    }
    std::string ascii;
    size_t i = 0;
    if (t[i] == u'+' || t[i] == u'-') ascii.push_back(static_cast<char>(t[i++]));
    bool ziffern = false, trenner = false;
    for (; i < t.size(); ++i) {
        const char16_t c = t[i];
        if (istZiffer(c)) {
            ascii.push_back(static_cast<char>(c));
            ziffern = true;
        } else if ((c == u',' || c == u'.') && !trenner) {
            ascii.push_back('.');
            trenner = true;
        } else {
            break;
        }
    }
    if (!ziffern) return std::nullopt;
    if (i < t.size() && (t[i] == u'E' || t[i] == u'e')) {
        ascii.push_back('e');
        ++i;
        if (i < t.size() && (t[i] == u'+' || t[i] == u'-')) ascii.push_back(static_cast<char>(t[i++]));
        bool exp = false;
        for (; i < t.size() && istZiffer(t[i]); ++i) {
            ascii.push_back(static_cast<char>(t[i]));
            exp = true;
        }
        if (!exp) return std::nullopt;
    }
    if (i != t.size()) return std::nullopt;
    const double d = std::strtod(ascii.c_str(), nullptr);
    if (!std::isfinite(d)) return std::nullopt;
    return d;
}

bool IsNumeric(const Variante& v) {
    if (v.istEmpty()) return true;
    if (v.istNull() || v.istDatum()) return false;
    if (v.istText()) return ZahlAusText(v.text()).has_value();
    return true;
}

double Val(TextSicht s) {
    std::string ascii;
    size_t i = 0;
    auto überspringen = [&] {
        while (i < s.size() && (s[i] == u' ' || s[i] == u'\t' || s[i] == u'\n' || s[i] == u'\r')) ++i;
    };
    überspringen();
    if (i < s.size() && (s[i] == u'+' || s[i] == u'-')) ascii.push_back(static_cast<char>(s[i++]));
    bool punkt = false;
    for (;; ++i) {
        überspringen();
        if (i >= s.size()) break;
        if (istZiffer(s[i])) ascii.push_back(static_cast<char>(s[i]));
        else if (s[i] == u'.' && !punkt) {
            ascii.push_back('.');
            punkt = true;
        } else break;
    }
    if (i < s.size() && (s[i] == u'E' || s[i] == u'e' || s[i] == u'D' || s[i] == u'd')) {
        std::string exp = "e";
        size_t j = i + 1;
        if (j < s.size() && (s[j] == u'+' || s[j] == u'-')) exp.push_back(static_cast<char>(s[j++]));
        bool ziffer = false;
        while (j < s.size() && istZiffer(s[j])) {
            exp.push_back(static_cast<char>(s[j++]));
            ziffer = true;
        }
        if (ziffer) ascii += exp;
    }
    const double d = std::strtod(ascii.c_str(), nullptr);
    return std::isfinite(d) ? d : 0.0;
}

Text ZahlAlsText(double d, bool einfach) {
    if (d == 0) return u"0";
    char buf[64];
    const int stellen = einfach ? 7 : 15;
    std::snprintf(buf, sizeof buf, "%.*G", stellen, d);
    std::string s(buf);
    // %G keeps trailing zeros away already; mantissa "1.5E+20" becomes "1,5E+20".
    const auto e = s.find('E');
    if (e != std::string::npos) {
        std::string mant = s.substr(0, e), exp = s.substr(e + 1);
        const char vz = exp[0];
        exp = exp.substr(1);
        while (exp.size() > 2 && exp[0] == '0') exp.erase(0, 1);
        s = mant + "E" + vz + exp;
    }
    for (auto& c : s)
        if (c == '.') c = ',';
    return ausUtf8(s);
}

namespace {
// Days since 1970-01-01 to civil date (H. Hinnant's algorithm).
void zivil(int64_t z, int64_t& j, unsigned& m, unsigned& t) {
    z += 719468;
    const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const int64_t y = static_cast<int64_t>(yoe) + era * 400;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    t = doy - (153 * mp + 2) / 5 + 1;
    m = mp < 10 ? mp + 3 : mp - 9;
    j = y + (m <= 2);
}
}  // namespace

Text DatumAlsText(double tage) {
    const double tag = std::trunc(tage);
    double bruch = std::fabs(tage - tag);
    int64_t sekunden = std::llround(bruch * 86400.0);
    int64_t tagZahl = static_cast<int64_t>(tag);
    if (sekunden >= 86400) {
        sekunden -= 86400;
        tagZahl += tage < 0 ? -1 : 1;
    }
    std::string s;
    char buf[64];
    if (tagZahl != 0 || sekunden == 0) {
        int64_t j;
        unsigned m, t;
        zivil(tagZahl - 25569, j, m, t);  // 25569: days from 1899-12-30 to 1970-01-01
        std::snprintf(buf, sizeof buf, "%02u.%02u.%04lld", t, m, static_cast<long long>(j));
        s = buf;
    }
    if (sekunden != 0) {
        std::snprintf(buf, sizeof buf, "%s%02lld:%02lld:%02lld", s.empty() ? "" : " ",
                      static_cast<long long>(sekunden / 3600), static_cast<long long>(sekunden / 60 % 60),
                      static_cast<long long>(sekunden % 60));
        s += buf;
    }
    return ausUtf8(s);
}

Text Format(double wert, TextSicht muster) {
    // Zero-padded integer digits before the decimal point, fixed decimals after it.
    const auto punkt = muster.find(u'.');
    const size_t ganzStellen = punkt == TextSicht::npos ? muster.size() : punkt;
    const size_t nachkomma = punkt == TextSicht::npos ? 0 : muster.size() - punkt - 1;
    const double faktor = std::pow(10.0, static_cast<double>(nachkomma));
    double gerundet = std::round(wert * faktor) / faktor;  // halves away from zero
    char buf[400];
    std::snprintf(buf, sizeof buf, "%0*.*f",
                  static_cast<int>(ganzStellen + (nachkomma ? nachkomma + 1 : 0) + (gerundet < 0 ? 1 : 0)),
                  static_cast<int>(nachkomma), gerundet);
    std::string s(buf);
    if (s == "-0" || s.find_first_not_of("-0.") == std::string::npos) {
        if (!s.empty() && s[0] == '-') s.erase(0, 1);
    }
    for (auto& c : s)
        if (c == '.') c = ',';
    return ausUtf8(s);
}

double Int(double d) { return std::floor(d); }
double Fix(double d) { return std::trunc(d); }
double RundenGerade(double d) { return std::nearbyint(d); }  // default rounding mode: to even

int32_t CLng(double d) {
    const double r = RundenGerade(d);
    if (!(r >= -2147483648.0 && r <= 2147483647.0)) FehlerAuslösen(fehlernummer::Ueberlauf);
    return static_cast<int32_t>(r);
}

int16_t CInt(double d) {
    const double r = RundenGerade(d);
    if (!(r >= -32768.0 && r <= 32767.0)) FehlerAuslösen(fehlernummer::Ueberlauf);
    return static_cast<int16_t>(r);
}

namespace {
uint32_t& zufallsZustand() {
    static uint32_t x = 0x50000;  // the runtime's start value
    return x;
}
}  // namespace

void Randomize() {
    const auto jetzt = std::chrono::steady_clock::now().time_since_epoch().count();
    RandomizeMit(static_cast<uint32_t>(jetzt ^ (jetzt >> 24)));
}

void RandomizeMit(uint32_t saat) { zufallsZustand() = saat & 0xFFFFFF; }

float Rnd() {
    auto& x = zufallsZustand();
    x = (x * 1140671485u + 12820163u) & 0xFFFFFFu;
    return static_cast<float>(x) / 16777216.0f;
}
