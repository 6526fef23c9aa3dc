#include "platform/dao/storage/dbase/DbfDatei.h"

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <set>

#include "platform/dao/DaoFehler.h"
#include "platform/dao/DaoGrundlagen.h"
#include "platform/dao/storage/Bytes.h"

namespace dao::speicher::dbase {
namespace {

uint32_t be32(std::string_view d, size_t p) {
    uint32_t w = 0;
    for (size_t i = 0; i < 4; ++i) w = w << 8 | static_cast<uint8_t>(d[p + i]);
    return w;
}
void setzeLe16(char* p, uint32_t w) {
    p[0] = static_cast<char>(w & 0xFF);
    p[1] = static_cast<char>(w >> 8 & 0xFF);
}
void setzeLe32(char* p, uint32_t w) {
    setzeLe16(p, w & 0xFFFF);
    setzeLe16(p + 2, w >> 16);
}

Text zahlText(uint64_t n) { return ausUtf8(std::to_string(n)); }
Text bytesText(std::string_view b) {
    std::string s;
    for (unsigned char c : b) s += (c >= 0x20 && c < 0x7F) ? static_cast<char>(c) : '?';
    return ausUtf8(s);
}

[[noreturn]] void Kaputt(const Text& datei, const Text& was) {
    FehlerAuslösen(fehler::FormatUnbekannt, u"Nicht erkanntes Datenbankformat '" + datei + u"': " + was + u".");
}
[[noreturn]] void SatzKaputt(const Text& datei, uint64_t satz, const DbfFeld& f, const Text& was) {
    FehlerAuslösen(fehler::FormatUnbekannt, u"Die Datei '" + datei + u"' ist beschädigt: Satz " + zahlText(satz) +
                                                u", Feld '" + f.name + u"' " + was + u".");
}

std::string_view ohneRänder(std::string_view s) {
    auto leer = [](char c) { return c == ' ' || c == '\0'; };
    while (!s.empty() && leer(s.front())) s.remove_prefix(1);
    while (!s.empty() && leer(s.back())) s.remove_suffix(1);
    return s;
}

// Sign, digits with at most one '.' or ',', an optional exponent; nothing else.
bool zahlLesen(std::string_view s, double& wert) {
    std::string b;
    size_t i = 0;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) {
        if (s[i] == '-') b += '-';
        ++i;
    }
    bool ziffern = false, punkt = false;
    for (; i < s.size(); ++i) {
        const char c = s[i];
        if (c >= '0' && c <= '9') {
            ziffern = true;
            b += c;
        } else if ((c == '.' || c == ',') && !punkt) {
            punkt = true;
            b += '.';
        } else {
            break;
        }
    }
    if (!ziffern) return false;
    if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
        b += 'e';
        ++i;
        if (i < s.size() && (s[i] == '+' || s[i] == '-')) b += s[i++];
        bool exp = false;
        for (; i < s.size() && s[i] >= '0' && s[i] <= '9'; ++i) {
            exp = true;
            b += s[i];
        }
        if (!exp) return false;
    }
    if (i != s.size()) return false;
    const auto r = std::from_chars(b.data(), b.data() + b.size(), wert);
    return r.ec == std::errc() && std::isfinite(wert);
}

constexpr std::chrono::sys_days kOleNull = std::chrono::sys_days{std::chrono::year{1899} / 12 / 30};

struct Treiberbyte {
    uint8_t byte;
    const char* codepage;
};
// The language driver bytes of dBase, FoxPro and their successors.
// Kept as a table.
// clang-format off
constexpr Treiberbyte kTreiber[] = {
    {0x57, "windows-1252"}, {0x01, "ibm-437"},      {0x02, "ibm-850"},      {0x03, "windows-1252"},
    {0x04, "macintosh"},    {0x08, "ibm-865"},      {0x09, "ibm-437"},      {0x0A, "ibm-850"},
    {0x0B, "ibm-437"},      {0x0D, "ibm-437"},      {0x0E, "ibm-850"},      {0x0F, "ibm-437"},
    {0x10, "ibm-850"},      {0x11, "ibm-437"},      {0x12, "ibm-850"},      {0x13, "windows-932"},
    {0x14, "ibm-850"},      {0x15, "ibm-437"},      {0x16, "ibm-850"},      {0x17, "ibm-865"},
    {0x18, "ibm-437"},      {0x19, "ibm-437"},      {0x1A, "ibm-850"},      {0x1B, "ibm-437"},
    {0x1C, "ibm-863"},      {0x1D, "ibm-850"},      {0x1F, "ibm-852"},      {0x22, "ibm-852"},
    {0x23, "ibm-852"},      {0x24, "ibm-860"},      {0x25, "ibm-850"},      {0x26, "ibm-866"},
    {0x37, "ibm-850"},      {0x40, "ibm-852"},      {0x4D, "windows-936"},  {0x4E, "windows-949"},
    {0x4F, "windows-950"},  {0x50, "windows-874"},  {0x58, "windows-1252"}, {0x59, "windows-1252"},
    {0x64, "ibm-852"},      {0x65, "ibm-866"},      {0x66, "ibm-865"},      {0x67, "ibm-861"},
    {0x6A, "ibm-737"},      {0x6B, "ibm-857"},      {0x78, "windows-950"},  {0x79, "windows-949"},
    {0x7A, "windows-936"},  {0x7B, "windows-932"},  {0x7C, "windows-874"},  {0x7D, "windows-1255"},
    {0x7E, "windows-1256"}, {0x96, "x-mac-cyrillic"}, {0x97, "x-mac-centraleurroman"}, {0x98, "x-mac-greek"},
    {0xC8, "windows-1250"}, {0xC9, "windows-1251"}, {0xCA, "windows-1254"}, {0xCB, "windows-1253"},
    {0xCC, "windows-1257"},
};
// clang-format on

// A Windows/DOS code page number as ICU names it; "" when none.
std::string codepageNummer(unsigned n) { return n == 0 ? std::string() : CodepageName(n); }

}  // namespace

std::string CodepageAusSprachtreiber(uint8_t byte) {
    for (const auto& t : kTreiber)
        if (t.byte == byte) return t.codepage;
    return {};
}

std::string CodepageAusCpg(std::string_view inhalt) {
    std::string s(ohneRänder(inhalt));
    while (!s.empty() && (s.back() == '\r' || s.back() == '\n' || s.back() == ' ')) s.pop_back();
    if (s.empty()) return {};
    std::string gross;
    for (char c : s) gross += (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c;
    // "1252", "ANSI 1252", "OEM 850", "CP1252": the number decides.
    const size_t ziffer = gross.find_first_of("0123456789");
    const std::string_view vorn =
        std::string_view(gross).substr(0, ziffer == std::string::npos ? gross.size() : ziffer);
    if (ziffer != std::string::npos && gross.find_first_not_of("0123456789", ziffer) == std::string::npos &&
        (vorn.empty() || vorn == "ANSI " || vorn == "ANSI_" || vorn == "OEM " || vorn == "CP" || vorn == "CP ")) {
        return codepageNummer(static_cast<unsigned>(std::stoul(gross.substr(ziffer, 6))));
    }
    // "ISO 88591", "8859-1", "ISO-8859-15"
    const size_t iso = gross.find("8859");
    if (iso != std::string::npos) {
        std::string rest = gross.substr(iso + 4);
        if (!rest.empty() && (rest[0] == '-' || rest[0] == '_' || rest[0] == ' ')) rest.erase(0, 1);
        if (!rest.empty() && rest.size() <= 2 && rest.find_first_not_of("0123456789") == std::string::npos)
            return "ISO-8859-" + rest;
    }
    return IcuKennt(s) ? s : std::string{};
}

uint8_t SprachtreiberFür(const std::string& codepage) {
    for (const auto& t : kTreiber)
        if (codepage == t.codepage) return t.byte;
    return 0;
}

bool DbfKopf::hatMemo() const {
    return std::any_of(felder.begin(), felder.end(), [](const DbfFeld& f) { return f.typ == 'M'; });
}

Vorkopf VorkopfLesen(std::string_view daten, const Text& datei) {
    if (daten.size() < 32)
        Kaputt(datei, u"der Dateikopf ist unvollständig (" + zahlText(daten.size()) + u" statt mindestens 32 Bytes)");
    Vorkopf v;
    v.version = static_cast<uint8_t>(daten[0]);
    v.sprachtreiber = static_cast<uint8_t>(daten[29]);
    if ((v.version == 0x04 || v.version == 0x8C) && daten.size() >= 64) {
        // dBase 7 names its language driver: "DBWINUS0", "DB437DE0", "DB850DE0" …
        const std::string_view n = ohneRänder(daten.substr(32, 32));
        if (n.substr(0, 5) == "DBWIN") v.codepage = "windows-1252";
        else if (n.size() >= 5 && n.substr(0, 2) == "DB" &&
                 std::all_of(n.begin() + 2, n.begin() + 5, [](char c) { return c >= '0' && c <= '9'; }))
            v.codepage = codepageNummer(static_cast<unsigned>(std::stoul(std::string(n.substr(2, 3)))));
    }
    if (v.codepage.empty()) v.codepage = CodepageAusSprachtreiber(v.sprachtreiber);
    return v;
}

namespace {

Format FormatAusVersion(uint8_t version, const Text& datei) {
    switch (version) {
        case 0x03:
        case 0x8B: return Format::dBase4;
        case 0x83: return Format::dBase3;
        case 0x04:
        case 0x8C: return Format::dBase7;
        case 0x30:
        case 0x31:
        case 0x32: return Format::VisualFoxPro;
        case 0xF5:
        case 0xFB: return Format::FoxPro;
        default: {
            char hex[8];
            std::snprintf(hex, sizeof hex, "0x%02X", version);
            Kaputt(datei, u"die Versionskennung " + ausUtf8(hex) + u" ist keine bekannte dBase-Version");
        }
    }
}

// One field description as dBase 7 (48 bytes, long names) or all the others (32 bytes) write it.
DbfFeld FeldLesen(std::string_view d, Format format, size_t nr, const Text& datei, const Zeichensatz& zs) {
    const bool d7 = format == Format::dBase7;
    const bool fox = format == Format::FoxPro || format == Format::VisualFoxPro;
    const size_t nameLänge = d7 ? 32 : 11;
    std::string_view roh = d.substr(0, nameLänge);
    roh = roh.substr(0, std::min(roh.find('\0'), roh.size()));
    while (!roh.empty() && roh.back() == ' ') roh.remove_suffix(1);
    DbfFeld f;
    f.name = zs.dekodieren(roh);
    const bool nameGut = !roh.empty() && std::none_of(roh.begin(), roh.end(),
                                                      [](char c) { return static_cast<unsigned char>(c) < 0x20; });
    if (!nameGut)
        Kaputt(datei,
               u"die Feldbeschreibung Nr. " + zahlText(nr) + u" hat keinen gültigen Namen ('" + bytesText(roh) + u"')");
    f.typ = d[d7 ? 32 : 11];
    uint32_t breite = static_cast<uint8_t>(d[d7 ? 33 : 16]);
    f.dezimalen = static_cast<uint8_t>(d[d7 ? 34 : 17]);
    if (f.typ == 'C' && (fox || !d7)) {  // FoxPro and Clipper: the decimals byte is the high byte
        breite |= static_cast<uint32_t>(f.dezimalen) << 8;
        f.dezimalen = 0;
    }
    f.breite = static_cast<uint16_t>(breite);
    return f;
}

void FeldPrüfen(const DbfFeld& f, Format format, const Text& datei) {
    const uint32_t breite = f.breite;
    const std::string_view typen = "CNFDLM";
    if (typen.find(f.typ) == std::string_view::npos) {
        const unsigned char t = static_cast<unsigned char>(f.typ);
        const std::string z = (t >= 0x20 && t < 0x7F) ? std::string(1, f.typ) : "?";
        Kaputt(datei, u"das Feld '" + f.name + u"' hat den Typ '" + ausUtf8(z) +
                          u"', den dieser Treiber nicht liest (nur C, N, F, D, L und M)");
    }
    bool breiteGut = breite > 0;
    if (f.typ == 'D') breiteGut = breite == 8;
    if (f.typ == 'L') breiteGut = breite == 1;
    if (f.typ == 'M') breiteGut = breite == 10 || (breite == 4 && format == Format::VisualFoxPro);
    if ((f.typ == 'N' || f.typ == 'F') && f.dezimalen >= breite && breite > 0) breiteGut = false;
    if (!breiteGut)
        Kaputt(datei, u"das Feld '" + f.name + u"' (Typ " + ausUtf8(std::string(1, f.typ)) +
                          u") hat die unmögliche Breite " + zahlText(breite) + u"," + zahlText(f.dezimalen));
}

// The field descriptions up to the 0x0D terminator; returns the record length they add up to.
uint32_t FelderLesen(std::string_view daten, DbfKopf& k, const Text& datei, const Zeichensatz& zs) {
    const bool d7 = k.format == Format::dBase7;
    const size_t anfang = d7 ? 68 : 32, größe = d7 ? 48 : 32;
    uint32_t versatz = 1;
    std::set<Text> namen;
    size_t nr = 0;
    for (size_t p = anfang; p < k.kopfLänge && daten[p] != '\x0D'; p += größe) {
        ++nr;
        if (p + größe > k.kopfLänge)
            Kaputt(datei, u"die Feldbeschreibung Nr. " + zahlText(nr) +
                              u" reicht über den Dateikopf hinaus "
                              u"(fehlt das Endezeichen 0x0D?)");
        const std::string_view d = daten.substr(p, größe);
        DbfFeld f = FeldLesen(d, k.format, nr, datei, zs);
        f.versatz = versatz;
        versatz += f.breite;
        if (k.format == Format::VisualFoxPro && (static_cast<uint8_t>(d[18]) & 0x01)) continue;  // _NullFlags
        FeldPrüfen(f, k.format, datei);
        if (!namen.insert(NamenSchlüssel(f.name)).second)
            Kaputt(datei, u"das Feld '" + f.name + u"' kommt zweimal vor");
        k.felder.push_back(std::move(f));
    }
    if (k.felder.empty()) Kaputt(datei, u"die Datei beschreibt keine Felder");
    return versatz;
}

void SatzlängePrüfen(const DbfKopf& k, uint32_t versatz, const Text& datei) {
    if (k.satzLänge < versatz)
        Kaputt(datei, u"die Satzlänge von " + zahlText(k.satzLänge) + u" Bytes ist kleiner als die Felder (" +
                          zahlText(versatz) + u" Bytes)");
    // Longer than its fields, a record would be read with every later one shifted.
    if (k.satzLänge > versatz)
        Kaputt(datei, u"die Satzlänge von " + zahlText(k.satzLänge) + u" Bytes passt nicht zu den Feldern (" +
                          zahlText(versatz) + u" Bytes)");
}

}  // namespace

DbfKopf KopfLesen(std::string_view daten, uint64_t dateiGröße, const Text& datei, const Zeichensatz& zs) {
    VorkopfLesen(daten, datei);
    DbfKopf k;
    k.version = static_cast<uint8_t>(daten[0]);
    k.format = FormatAusVersion(k.version, datei);
    k.sprachtreiber = static_cast<uint8_t>(daten[29]);
    const uint32_t anzahlKopf = le32(daten, 4);
    k.kopfLänge = le16(daten, 8);
    k.satzLänge = le16(daten, 10);
    const size_t anfang = k.format == Format::dBase7 ? 68 : 32;
    if (k.kopfLänge < anfang + 1) Kaputt(datei, u"die Kopflänge von " + zahlText(k.kopfLänge) + u" Bytes ist zu klein");
    if (k.kopfLänge > dateiGröße || k.kopfLänge > daten.size())
        Kaputt(datei, u"die Kopflänge von " + zahlText(k.kopfLänge) + u" Bytes reicht über das Dateiende (" +
                          zahlText(dateiGröße) + u" Bytes) hinaus");
    const uint32_t felderLänge = FelderLesen(daten, k, datei, zs);
    SatzlängePrüfen(k, felderLänge, datei);
    // The header's count only as far as the file's length holds whole records.
    const uint64_t platz = (dateiGröße - k.kopfLänge) / k.satzLänge;
    k.anzahl = static_cast<uint32_t>(std::min<uint64_t>(anzahlKopf, platz));
    k.anzahlKopf = anzahlKopf;
    return k;
}

JetTyp JetTypVon(const DbfFeld& f) {
    switch (f.typ) {
        case 'C': return f.breite <= 255 ? JetTyp{dbText, f.breite} : JetTyp{dbMemo, 0};
        case 'N':
            if (f.dezimalen == 0 && f.breite <= 9) return {dbLong, 4};
            return {dbDouble, 8};
        case 'F': return {dbDouble, 8};
        case 'D': return {dbDate, 8};
        case 'L': return {dbBoolean, 1};
        default: return {dbMemo, 0};
    }
}

namespace {

std::string_view memoLesen(const DbfKopf& k, const Memodaten& m, uint64_t block, const Text& datei, uint64_t satz,
                           const DbfFeld& f) {
    if (!m.vorhanden)
        FehlerAuslösen(fehler::DateiNichtGefunden, u"Die Memodatei zur Datei '" + datei +
                                                       u"' wurde nicht gefunden (Satz " + zahlText(satz) + u", Feld '" +
                                                       f.name + u"' verweist auf Block " + zahlText(block) + u").");
    const std::string_view d = m.daten;
    auto zuKurz = [&]() {
        FehlerAuslösen(fehler::FormatUnbekannt, u"Die Memodatei '" + m.datei + u"' ist beschädigt oder zu kurz: Satz " +
                                                    zahlText(satz) + u", Feld '" + f.name + u"' verweist auf Block " +
                                                    zahlText(block) + u", die Datei hat nur " + zahlText(d.size()) +
                                                    u" Bytes.");
    };
    if (k.format == Format::FoxPro || k.format == Format::VisualFoxPro) {
        if (d.size() < 8) zuKurz();
        const uint32_t bs = static_cast<uint32_t>(static_cast<uint8_t>(d[6]) << 8 | static_cast<uint8_t>(d[7]));
        const uint64_t pos = block * (bs ? bs : 1);
        if (bs == 0 || pos + 8 > d.size()) zuKurz();
        const uint64_t länge = be32(d, pos + 4);
        if (pos + 8 + länge > d.size()) zuKurz();
        return d.substr(pos + 8, länge);
    }
    uint32_t bs = 512;
    if (k.format != Format::dBase3 && d.size() >= 22) {
        const uint32_t angabe = le16(d, 20);
        if (angabe >= 64 && angabe % 64 == 0) bs = angabe;
    }
    const uint64_t pos = block * bs;
    if (pos >= d.size()) zuKurz();
    if (k.format != Format::dBase3 && pos + 8 <= d.size() &&
        d.substr(pos, 4) == std::string_view("\xFF\xFF\x08\x00", 4)) {
        const uint64_t länge = le32(d, pos + 4);  // with the block's 8 header bytes
        if (länge < 8 || pos + länge > d.size()) zuKurz();
        return d.substr(pos + 8, länge - 8);
    }
    // dBase III: the text runs to the end-of-file mark.
    const std::string_view rest = d.substr(pos);
    return rest.substr(0, std::min(rest.find('\x1A'), rest.size()));
}

}  // namespace

void SätzeLesen(const DbfKopf& k, std::string_view daten, const Memodaten& memo, const Zeichensatz& zs,
                const Text& datei, const std::function<void(const std::vector<Variante>&)>& ziel) {
    std::vector<Variante> zeile(k.felder.size());
    std::vector<JetTyp> typen;
    for (const auto& f : k.felder) typen.push_back(JetTypVon(f));
    for (uint64_t i = 0; i < k.anzahl; ++i) {
        const uint64_t start = k.kopfLänge + i * k.satzLänge;
        if (start + k.satzLänge > daten.size()) break;  // the file shrank since its header was read
        const std::string_view satz = daten.substr(start, k.satzLänge);
        if (satz[0] == '*') continue;
        if (satz[0] == '\x1A') break;
        const uint64_t nr = i + 1;
        for (size_t j = 0; j < k.felder.size(); ++j) {
            const DbfFeld& f = k.felder[j];
            const std::string_view roh = satz.substr(f.versatz, f.breite);
            Variante& w = zeile[j];
            switch (f.typ) {
                case 'C': {
                    std::string_view s = roh;
                    while (!s.empty() && (s.back() == ' ' || s.back() == '\0')) s.remove_suffix(1);
                    w = s.empty() ? Variante::Null() : Variante(zs.dekodieren(s));
                    break;
                }
                case 'N':
                case 'F': {
                    std::string_view s = ohneRänder(roh);
                    if (s.find_first_not_of('*') == std::string_view::npos) {  // blank, or dBase's overflow stars
                        w = Variante::Null();
                        break;
                    }
                    double d = 0;
                    if (!zahlLesen(s, d))
                        SatzKaputt(datei, nr, f, u"enthält keine gültige Zahl ('" + bytesText(s) + u"')");
                    if (typen[j].typ != dbLong) {
                        w = Variante(d);
                    } else if (std::fabs(d) < 2147483647.5) {
                        w = Variante(static_cast<int32_t>(std::llround(d)));
                    } else {
                        SatzKaputt(datei, nr, f,
                                   u"enthält eine Zahl, die das Feld nicht fassen kann ('" + bytesText(s) + u"')");
                    }
                    break;
                }
                case 'D': {
                    if (roh.find_first_not_of(std::string_view(" 0\0", 3)) == std::string_view::npos) {
                        w = Variante::Null();
                        break;
                    }
                    const bool ziffern =
                        std::all_of(roh.begin(), roh.end(), [](char c) { return c >= '0' && c <= '9'; });
                    const auto zahl = [&](size_t p, size_t n) { return std::stoi(std::string(roh.substr(p, n))); };
                    std::chrono::year_month_day t{};
                    if (ziffern)
                        t = std::chrono::year{zahl(0, 4)} / static_cast<unsigned>(zahl(4, 2)) /
                            static_cast<unsigned>(zahl(6, 2));
                    if (!ziffern || !t.ok() || t.year() < std::chrono::year{1})
                        SatzKaputt(datei, nr, f, u"enthält kein gültiges Datum ('" + bytesText(roh) + u"')");
                    w = Variante::Datum(static_cast<double>((std::chrono::sys_days{t} - kOleNull).count()));
                    break;
                }
                case 'L': {
                    const char c = roh[0];
                    if (std::strchr("TtYy", c) && c) w = Variante(true);
                    else if (std::strchr("FfNn", c) && c) w = Variante(false);
                    else if (c == ' ' || c == '?' || c == '\0') w = Variante::Null();
                    else SatzKaputt(datei, nr, f, u"enthält keinen Wahrheitswert ('" + bytesText(roh) + u"')");
                    break;
                }
                default: {  // M
                    uint64_t block = 0;
                    if (f.breite == 4) {
                        block = le32(roh, 0);
                    } else {
                        const std::string_view s = ohneRänder(roh);
                        if (!s.empty()) {
                            const auto r = std::from_chars(s.data(), s.data() + s.size(), block);
                            if (r.ec != std::errc() || r.ptr != s.data() + s.size())
                                SatzKaputt(datei, nr, f,
                                           u"enthält keine gültige Memo-Blocknummer ('" + bytesText(s) + u"')");
                        }
                    }
                    w = block == 0 ? Variante::Null()
                                   : Variante(zs.dekodieren(memoLesen(k, memo, block, datei, nr, f)));
                    break;
                }
            }
        }
        ziel(zeile);
    }
}

DbfSchreiber::DbfSchreiber(std::vector<DbfFeld> felder, uint8_t sprachtreiber, bool dBase3Memo, const Zeichensatz& zs,
                           Text datei, std::string memoName)
    : felder_(std::move(felder)), sprachtreiber_(sprachtreiber), dBase3_(dBase3Memo), zs_(zs), datei_(std::move(datei)),
      tabelle_(ausUtf8(memoName)) {
    for (auto& f : felder_) {
        f.versatz = satzLänge_;
        satzLänge_ += f.breite;
        if (f.typ == 'M') memo_ = true;
    }
    if (memo_) {
        memoDaten_.assign(512, '\0');
        if (!dBase3_) {
            memoName.resize(std::min<size_t>(memoName.size(), 8));
            std::memcpy(memoDaten_.data() + 8, memoName.data(), memoName.size());
            setzeLe16(memoDaten_.data() + 20, 512);
        } else {
            memoDaten_[16] = 0x03;
        }
    }
}

std::string DbfSchreiber::Kodieren(TextSicht text, const DbfFeld& f) const {
    std::string b = zs_.kodieren(text);
    if (zs_.dekodieren(b) == text) return b;
    // Never a '?' in place of what the code page lacks: the first such character is named.
    size_t i = 0;
    while (i < text.size() && zs_.dekodieren(zs_.kodieren(text.substr(0, i + 1))) == text.substr(0, i + 1)) ++i;
    const size_t n = i < text.size() && (text[i] & 0xFC00) == 0xD800 && i + 1 < text.size() ? 2 : 1;
    FehlerAuslösen(fehler::Allgemein, u"Tabelle '" + tabelle_ + u"', Feld '" + f.name + u"': Das Zeichen '" +
                                          Text(text.substr(std::min(i, text.size() - 1), n)) +
                                          u"' kann in der Codepage " + ausUtf8(zs_.name()) + u" der Datei '" + datei_ +
                                          u"' nicht gespeichert werden.");
}

void DbfSchreiber::Memo(TextSicht text, char* feld, const DbfFeld& f) {
    const std::string b = Kodieren(text, f);
    const size_t block = memoDaten_.size() / 512;
    if (dBase3_) {
        memoDaten_ += b;
        memoDaten_ += "\x1A\x1A";
    } else {
        char kopf[8] = {'\xFF', '\xFF', '\x08', '\x00'};
        setzeLe32(kopf + 4, static_cast<uint32_t>(b.size() + 8));
        memoDaten_.append(kopf, 8);
        memoDaten_ += b;
        memoDaten_ += '\x1F';  // readers that take the length as the text's find its end
    }
    memoDaten_.resize((memoDaten_.size() + 511) / 512 * 512, '\0');
    char z[24];
    std::snprintf(z, sizeof z, "%10zu", block);
    std::memcpy(feld, z, 10);
}

namespace {

[[noreturn]] void Überlauf(const DbfFeld& f, const Text& datei, const Text& wert) {
    FehlerAuslösen(fehler::NumerischerÜberlauf, u"Numerischer Feldüberlauf: der Wert " + wert +
                                                    u" passt nicht in das Feld '" + f.name + u"' (" +
                                                    ausUtf8(std::string(1, f.typ)) + u" " + zahlText(f.breite) + u"," +
                                                    zahlText(f.dezimalen) + u") der Datei '" + datei + u"'.");
}

// A currency value exactly, without a detour through double; `dezimalen` is at least 4.
std::string WährungAlsZahl(int64_t roh, uint8_t dezimalen) {
    const uint64_t betrag = roh < 0 ? 0 - static_cast<uint64_t>(roh) : static_cast<uint64_t>(roh);
    char b[48];
    std::snprintf(b, sizeof b, "%s%llu.%04llu", roh < 0 ? "-" : "", static_cast<unsigned long long>(betrag / 10000),
                  static_cast<unsigned long long>(betrag % 10000));
    std::string s = b;
    s.append(dezimalen - 4u, '0');
    return s;
}

// The number's text, still to be checked against the field's width.
std::string ZahlFormatieren(const Variante& v, const DbfFeld& f, const Text& datei) {
    if (v.typ() == VTyp::Currency && f.dezimalen >= 4) return WährungAlsZahl(v.währungRoh(), f.dezimalen);
    double d = v.typ() == VTyp::Currency ? static_cast<double>(v.währungRoh()) / 10000.0 : v.alsDouble();
    if (!std::isfinite(d)) Überlauf(f, datei, v.alsText());
    if (d == 0) d = 0;  // no "-0"
    char b[400];
    // Fewer decimals, then the exponent form, before a value is refused.
    for (int dez = f.dezimalen; dez >= 0; --dez) {
        std::snprintf(b, sizeof b, "%.*f", dez, dez == 0 ? std::round(d) : d);
        if (std::strlen(b) <= f.breite) break;
    }
    if (std::strlen(b) > f.breite && (f.dezimalen > 0 || f.typ == 'F'))
        for (int p = 15; p >= 0; --p) {
            std::snprintf(b, sizeof b, "%.*E", p, d);
            if (std::strlen(b) <= f.breite) break;
        }
    return b;
}

// YYYYMMDD for the years 1 to 9999.
void DatumEintragen(const Variante& v, const DbfFeld& f, const Text& datei, char* feld) {
    const double tage = std::floor(v.istDatum() ? v.zahl() : v.alsDouble());
    if (!(tage > -700000 && tage < 3000000)) Überlauf(f, datei, v.alsText());
    const std::chrono::year_month_day t{kOleNull + std::chrono::days{static_cast<int64_t>(tage)}};
    if (t.year() < std::chrono::year{1} || t.year() > std::chrono::year{9999}) Überlauf(f, datei, v.alsText());
    char b[16];
    std::snprintf(b, sizeof b, "%04d%02u%02u", static_cast<int>(t.year()), static_cast<unsigned>(t.month()),
                  static_cast<unsigned>(t.day()));
    std::memcpy(feld, b, 8);
}

}  // namespace

void DbfSchreiber::Zeile(const std::vector<Variante>& werte) {
    std::string satz(satzLänge_, ' ');
    for (size_t j = 0; j < felder_.size(); ++j) {
        const DbfFeld& f = felder_[j];
        char* feld = satz.data() + f.versatz;
        const Variante leer = Variante::Null();
        const Variante& v = j < werte.size() ? werte[j] : leer;
        if (v.istNull() || v.istEmpty()) {
            if (f.typ == 'L') *feld = '?';
            continue;
        }
        switch (f.typ) {
            case 'C': {
                const Text text = v.istText() ? v.text() : v.alsText();
                Kodieren(text, f);
                const std::string b = zs_.kodieren(text, f.breite);
                std::memcpy(feld, b.data(), b.size());
                break;
            }
            case 'N':
            case 'F': {
                const std::string s = ZahlFormatieren(v, f, datei_);
                if (s.size() > f.breite) Überlauf(f, datei_, v.alsText());
                std::memcpy(feld + (f.breite - s.size()), s.data(), s.size());
                break;
            }
            case 'D': DatumEintragen(v, f, datei_, feld); break;
            case 'L': *feld = v.alsBool() ? 'T' : 'F'; break;
            default: {  // M: "" and Null are both no block
                const Text t = v.istText() ? v.text() : v.alsText();
                if (!t.empty()) Memo(t, feld, f);
                break;
            }
        }
    }
    sätze_ += satz;
    ++anzahl_;
}

std::string DbfSchreiber::MemoBytes() const {
    std::string m = memoDaten_;
    if (!m.empty()) setzeLe32(m.data(), static_cast<uint32_t>(m.size() / 512));  // the next free block
    return m;
}

std::string DbfSchreiber::DbfBytes() const {
    const uint32_t kopfLänge = 32 + 32 * static_cast<uint32_t>(felder_.size()) + 1;
    std::string d(kopfLänge, '\0');
    d[0] = static_cast<char>(!memo_ ? 0x03 : dBase3_ ? 0x83 : 0x8B);
    const std::time_t jetzt = std::time(nullptr);
    std::tm tm{};
    localtime_r(&jetzt, &tm);
    d[1] = static_cast<char>(tm.tm_year % 256);
    d[2] = static_cast<char>(tm.tm_mon + 1);
    d[3] = static_cast<char>(tm.tm_mday);
    setzeLe32(d.data() + 4, anzahl_);
    setzeLe16(d.data() + 8, kopfLänge);
    setzeLe16(d.data() + 10, satzLänge_);
    d[29] = static_cast<char>(sprachtreiber_);
    // Names of at most 10 bytes, made unique (as a reader compares them) where cutting made two alike.
    std::set<Text> vergeben;
    for (size_t j = 0; j < felder_.size(); ++j) {
        const DbfFeld& f = felder_[j];
        char* p = d.data() + 32 + 32 * j;
        Text roh = f.name;
        for (char16_t& c : roh)
            if (c < 0x20) c = u'_';
        auto kürzen = [&](size_t max) {
            std::string b = zs_.kodieren(roh, max);
            while (!b.empty() && b.back() == ' ') b.pop_back();
            return b.empty() ? ("FELD" + std::to_string(j + 1)).substr(0, max) : b;
        };
        std::string name = kürzen(10);
        for (int n = 1; !vergeben.insert(NamenSchlüssel(zs_.dekodieren(name))).second; ++n) {
            const std::string anhang = "~" + std::to_string(n);
            name = kürzen(10 - anhang.size()) + anhang;
        }
        std::memcpy(p, name.data(), name.size());
        p[11] = f.typ;
        p[16] = static_cast<char>(f.breite & 0xFF);
        p[17] = static_cast<char>(f.typ == 'C' ? f.breite >> 8 : f.dezimalen);
    }
    d[kopfLänge - 1] = '\x0D';
    d += sätze_;
    d += '\x1A';
    return d;
}

}  // namespace dao::speicher::dbase
