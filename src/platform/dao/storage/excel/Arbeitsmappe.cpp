#include "platform/dao/storage/excel/Arbeitsmappe.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <map>
#include <memory>

#include "platform/dao/storage/Bytes.h"
#include "platform/dao/storage/Zeichensatz.h"

namespace dao::speicher::excel {
namespace {

enum : uint16_t {
    kFormula = 0x0006,
    kEof = 0x000A,
    kExternsheet = 0x0017,
    kName = 0x0018,
    kProtect = 0x0012,
    kFilepass = 0x002F,
    kContinue = 0x003C,
    kWindow1 = 0x003D,
    kCodepage = 0x0042,
    kDatemode = 0x0022,
    kFilesharing = 0x005B,
    kBoundsheet = 0x0085,
    kWriteprot = 0x0086,
    kTabid = 0x013D,
    kSupbook = 0x01AE,
    kExtsst = 0x00FF,
    kXf = 0x00E0,
    kFormat = 0x041E,
    kDimensions = 0x0200,
    kNumber = 0x0203,
    kLabel = 0x0204,
    kBoolerr = 0x0205,
    kRk = 0x027E,
    kMulrk = 0x00BD,
    kString = 0x0207,
    kIndex = 0x020B,
    kWindow2 = 0x023E,
    kBof = 0x0809,
};

void an16(std::string& d, uint16_t w) {
    d.append(2, '\0');
    setze16(d, d.size() - 2, w);
}
void an32(std::string& d, uint32_t w) {
    d.append(4, '\0');
    setze32(d, d.size() - 4, w);
}
std::string satz(uint16_t typ, std::string_view körper) {
    std::string s;
    an16(s, typ);
    an16(s, static_cast<uint16_t>(körper.size()));
    s += körper;
    return s;
}

[[noreturn]] void kaputt(Text grund) { throw Formatfehler{std::move(grund)}; }

// An XLUnicodeString's characters (BIFF8): compressed (Latin-1) or UTF-16.
Text unicodeZeichen(std::string_view d, size_t p, size_t anzahl, bool hoch) {
    Text t;
    const size_t breite = hoch ? 2 : 1;
    if (p > d.size()) return t;
    anzahl = std::min(anzahl, (d.size() - p) / breite);
    for (size_t i = 0; i < anzahl; ++i)
        t.push_back(hoch ? static_cast<char16_t>(le16(d, p + 2 * i))
                         : static_cast<char16_t>(static_cast<uint8_t>(d[p + i])));
    return t;
}

// An XLUnicodeString with a 16-bit count (BIFF8) or a byte string (BIFF5).
Text zeichenkette16(std::string_view d, size_t p, int version, uint16_t cp) {
    if (p + 2 > d.size()) return {};
    const uint16_t n = le16(d, p);
    if (version < 8) return AusCodepage(d.substr(std::min(d.size(), p + 2), n), cp);
    if (p + 3 > d.size()) return {};
    const uint8_t flags = static_cast<uint8_t>(d[p + 2]);
    size_t q = p + 3;
    if (flags & 0x08) q += 2;
    if (flags & 0x04) q += 4;
    return unicodeZeichen(d, q, n, flags & 0x01);
}

std::string unicodeKodieren(TextSicht t, bool zweiByteLänge) {
    const bool hoch = std::any_of(t.begin(), t.end(), [](char16_t c) { return c > 0xFF; });
    std::string s;
    if (zweiByteLänge) an16(s, static_cast<uint16_t>(t.size()));
    else s.push_back(static_cast<char>(t.size()));
    s.push_back(hoch ? 1 : 0);
    for (char16_t c : t) {
        if (hoch) an16(s, c);
        else s.push_back(static_cast<char>(c));
    }
    return s;
}

bool formatTextIstDatum(TextSicht f) {
    bool inZitat = false;
    for (size_t i = 0; i < f.size(); ++i) {
        const char16_t c = f[i];
        if (inZitat) {
            if (c == u'"') inZitat = false;
            continue;
        }
        if (c == u'"') inZitat = true;
        else if (c == u'\\' || c == u'_' || c == u'*') ++i;
        else if (c == u'[') {
            // [h], [mm], [ss] are elapsed times; colours and conditions are not dates.
            const size_t e = f.find(u']', i);
            if (e == TextSicht::npos) return false;
            const TextSicht innen = f.substr(i + 1, e - i - 1);
            if (!innen.empty() && std::all_of(innen.begin(), innen.end(), [](char16_t z) {
                    return z == u'h' || z == u'H' || z == u'm' || z == u'M' || z == u's' || z == u'S';
                }))
                return true;
            i = e;
        } else if (c == u'0' || c == u'#' || c == u'?') return false;
        else if (TextSicht(u"dDmMyYhHs").find(c) != TextSicht::npos) return true;
        else if (c == u';') return false;
    }
    return false;
}

// A BIFF5 EXTERNSHEET that names a sheet of this workbook (type byte 3): the name's
// bytes; writers differ in whether the count includes the type byte.
std::optional<std::string_view> eigenesBlatt(std::string_view k) {
    if (k.size() < 2 || k[1] != 0x03) return std::nullopt;
    const size_t n = static_cast<uint8_t>(k[0]);
    if (k.size() >= n + 2) return k.substr(2, n);
    if (n >= 1 && k.size() == n + 1) return k.substr(2, n - 1);
    return std::nullopt;
}

bool eingebautIstDatum(uint16_t f) {
    return (f >= 14 && f <= 22) || (f >= 45 && f <= 47) || (f >= 27 && f <= 36) || (f >= 50 && f <= 58);
}

}  // namespace

Text AusCodepage(std::string_view bytes, uint16_t codepage) {
    return ZeichensatzDerCodepage(codepage).dekodieren(bytes);
}

std::string InCodepage(TextSicht text, uint16_t codepage) {
    const Zeichensatz& zs = ZeichensatzDerCodepage(codepage);
    if (const size_t i = zs.ersterFremder(text); i != TextSicht::npos) {
        const size_t n = i + 1 < text.size() && (text[i] & 0xFC00) == 0xD800 ? 2 : 1;
        throw Verweigerung{u"Das Zeichen '" + Text(text.substr(i, n)) + u"' kann in der Codepage " +
                           ausUtf8(std::to_string(codepage == 32769 ? 1252 : codepage)) +
                           u" der Arbeitsmappe nicht gespeichert werden."};
    }
    return zs.kodieren(text);
}

bool Arbeitsmappe::NameZulässig(TextSicht name) {
    if (name.empty() || name.size() > 31) return false;
    return name.find_first_of(u":/\\*?[]") == TextSicht::npos;
}

Arbeitsmappe::Satzstelle Arbeitsmappe::SatzLesen(size_t pos) const {
    const std::string_view d = strom_;
    if (pos + 4 > d.size()) kaputt(u"ein Datensatz reicht über das Ende der Arbeitsmappe hinaus");
    Satzstelle s{le16(d, pos), pos, le16(d, pos + 2)};
    if (pos + 4 + s.länge > d.size()) kaputt(u"ein Datensatz ist länger als der Rest der Arbeitsmappe");
    return s;
}

Arbeitsmappe::Arbeitsmappe(std::string strom) : strom_(std::move(strom)) {
    const std::string_view d = strom_;
    if (d.size() < 4) kaputt(u"die Arbeitsmappe ist leer");
    const Satzstelle bof = SatzLesen(0);
    if (bof.typ == 0x0009 || bof.typ == 0x0209 || bof.typ == 0x0409) {
        version_ = bof.typ == 0x0009 ? 2 : bof.typ == 0x0209 ? 3 : 4;
        return;  // the old formats: read through freexl only
    }
    if (bof.typ != kBof || bof.länge < 4) kaputt(u"die Arbeitsmappe beginnt nicht mit einem BOF-Datensatz");
    const uint16_t vers = le16(d, 4);
    if (vers == 0x0600) version_ = 8;
    else if (vers == 0x0500 || vers == 0x0400 || vers == 0) version_ = 5;
    else kaputt(u"die BIFF-Version der Arbeitsmappe ist unbekannt");
    codepage_ = version_ == 8 ? 1200 : 1252;

    GlobaleLesen();
    if (!verschlüsselt_) BlätterAbgrenzen();
    for (size_t i = 0; i < xfFormat_.size(); ++i)
        if (!xfStil_[i]) {
            standardXf_ = static_cast<uint16_t>(i);
            break;
        }
    if (xfFormat_.size() > 15 && !xfStil_[15]) standardXf_ = 15;
}

// The workbook globals from the first BOF to their EOF.
void Arbeitsmappe::GlobaleLesen() {
    for (size_t pos = 0;;) {
        const Satzstelle s = SatzLesen(pos);
        globale_.push_back(s);
        pos += 4 + s.länge;
        GlobalenSatzAuswerten(s);
        if (s.typ == kEof) {
            globalEnde_ = pos;
            break;
        }
        if (pos >= strom_.size()) kaputt(u"die globalen Daten der Arbeitsmappe enden ohne EOF-Datensatz");
    }
}

// Code page, date mode, protection, the sheets' entries and the cell formats; other records stay as they are.
void Arbeitsmappe::GlobalenSatzAuswerten(const Satzstelle& s) {
    const std::string_view k = Körper(s);
    switch (s.typ) {
        case kCodepage:
            if (s.länge >= 2) codepage_ = le16(k, 0);
            if (version_ == 8) codepage_ = 1200;
            break;
        case kDatemode:
            if (s.länge >= 2) datum1904_ = le16(k, 0) != 0;
            break;
        case kFilepass: verschlüsselt_ = true; break;
        case kWriteprot: kennwortschutz_ = true; break;
        case kFilesharing:
            if (s.länge >= 4 && le16(k, 2) != 0) kennwortschutz_ = true;
            break;
        case kProtect:
            if (s.länge >= 2 && le16(k, 0) != 0) kennwortschutz_ = true;
            break;
        case kBoundsheet: {
            if (s.länge < 7) kaputt(u"ein Blatteintrag (BOUNDSHEET) ist zu kurz");
            Blatt b;
            b.von = le32(k, 0);
            b.art = static_cast<uint8_t>(k[5]);
            b.name = BlattnameLesen(k);
            blattSatz_.push_back(globale_.size() - 1);
            blätter_.push_back(std::move(b));
            break;
        }
        case kXf:
            if (s.länge >= 6) {
                xfFormat_.push_back(le16(k, 2));
                xfStil_.push_back((le16(k, 4) & 0x0004) != 0);
            }
            break;
        case kFormat:
            if (s.länge >= 3) formate_.emplace_back(le16(k, 0), zeichenkette16(k, 2, version_, codepage_));
            break;
        default: break;
    }
}

// Each sheet's substream: from its BOF to the matching EOF (charts inside nest).
void Arbeitsmappe::BlätterAbgrenzen() {
    const size_t ende = strom_.size();
    for (Blatt& b : blätter_) {
        if (b.von < globalEnde_ || b.von >= ende)
            kaputt(u"der Verweis auf das Blatt '" + b.name + u"' zeigt nicht in die Arbeitsmappe");
        if (SatzLesen(b.von).typ != kBof) kaputt(u"das Blatt '" + b.name + u"' beginnt nicht mit einem BOF-Datensatz");
        int tiefe = 0;
        size_t pos = b.von;
        for (;;) {
            const Satzstelle s = SatzLesen(pos);
            pos += 4 + s.länge;
            if (s.typ == kBof) ++tiefe;
            else if (s.typ == kEof && --tiefe == 0) break;
            if (pos >= ende) kaputt(u"das Blatt '" + b.name + u"' endet ohne EOF-Datensatz");
        }
        b.bis = pos;
    }
    std::vector<const Blatt*> sortiert;
    for (const Blatt& b : blätter_) sortiert.push_back(&b);
    std::sort(sortiert.begin(), sortiert.end(), [](const Blatt* a, const Blatt* b) { return a->von < b->von; });
    for (size_t i = 1; i < sortiert.size(); ++i)
        if (sortiert[i]->von < sortiert[i - 1]->bis) kaputt(u"zwei Blätter der Arbeitsmappe überlappen sich");
}

Text Arbeitsmappe::BlattnameLesen(std::string_view k) const {
    const size_t n = static_cast<uint8_t>(k[6]);
    if (version_ < 8) return AusCodepage(k.substr(7, n), codepage_);
    if (k.size() < 8) return {};
    return unicodeZeichen(k, 8, n, k[7] & 0x01);
}

std::string Arbeitsmappe::BlattnameKodieren(TextSicht name) const {
    if (version_ >= 8) return unicodeKodieren(name, false);
    std::string b = InCodepage(name, codepage_);
    return std::string(1, static_cast<char>(b.size())) + b;
}

bool Arbeitsmappe::XfIstDatum(uint16_t xf) const {
    if (xf >= xfFormat_.size()) return false;
    const uint16_t f = xfFormat_[xf];
    for (const auto& [nummer, text] : formate_)
        if (nummer == f) return formatTextIstDatum(text);
    return eingebautIstDatum(f);
}

std::vector<Sonderzelle> Arbeitsmappe::Sonderzellen(size_t blatt) const {
    std::vector<Sonderzelle> zellen;
    if (blatt >= blätter_.size() || verschlüsselt_) return zellen;
    const std::string_view d = strom_;
    const Blatt& b = blätter_[blatt];
    int tiefe = 0;
    bool textFolgt = false;
    for (size_t pos = b.von; pos < b.bis;) {
        const uint16_t typ = le16(d, pos), länge = le16(d, pos + 2);
        const std::string_view k = d.substr(pos + 4, länge);
        pos += 4 + länge;
        if (typ == kBof) ++tiefe;
        else if (typ == kEof) --tiefe;
        if (tiefe != 1) continue;
        if (typ == kString && textFolgt && !zellen.empty()) {
            zellen.back().art = Sonderzelle::Art::text;
            zellen.back().text = zeichenkette16(k, 0, version_, codepage_);
            textFolgt = false;
            continue;
        }
        textFolgt = false;
        // Dates by their serial number: the reader library's date text loses the end of the range.
        auto datum = [&](uint16_t zeile, uint16_t spalte, uint16_t xf, double serie) {
            if (!XfIstDatum(xf)) return;
            Sonderzelle z;
            z.zeile = zeile;
            z.spalte = spalte;
            z.art = Sonderzelle::Art::datum;
            z.zahl = serie;
            zellen.push_back(std::move(z));
        };
        auto rk = [](uint32_t w) {
            double d;
            if (w & 0x02) {
                d = static_cast<double>(static_cast<int32_t>(w) >> 2);
            } else {
                const uint64_t roh = static_cast<uint64_t>(w & 0xFFFFFFFCu) << 32;
                std::memcpy(&d, &roh, 8);
            }
            return (w & 0x01) ? d / 100 : d;
        };
        if (typ == kNumber && länge >= 14) {
            double w;
            const uint64_t roh = le32(k, 6) | (uint64_t{le32(k, 10)} << 32);
            std::memcpy(&w, &roh, 8);
            datum(le16(k, 0), le16(k, 2), le16(k, 4), w);
            continue;
        }
        if (typ == kRk && länge >= 10) {
            datum(le16(k, 0), le16(k, 2), le16(k, 4), rk(le32(k, 6)));
            continue;
        }
        if (typ == kMulrk && länge >= 6) {
            const uint16_t zeile = le16(k, 0), erste = le16(k, 2);
            for (size_t i = 0; 4 + 6 * i + 6 <= länge - 2u; ++i)
                datum(zeile, static_cast<uint16_t>(erste + i), le16(k, 4 + 6 * i), rk(le32(k, 6 + 6 * i)));
            continue;
        }
        if ((typ == kBoolerr && länge >= 8) || (typ == kFormula && länge >= 14)) {
            Sonderzelle z;
            z.zeile = le16(k, 0);
            z.spalte = le16(k, 2);
            const uint16_t xf = le16(k, 4);
            if (typ == kBoolerr) {
                z.art = k[7] ? Sonderzelle::Art::fehler : Sonderzelle::Art::wahrheit;
                z.zahl = static_cast<uint8_t>(k[6]) != 0;
            } else if (le16(k, 12) == 0xFFFF) {
                switch (static_cast<uint8_t>(k[6])) {
                    case 0:
                        z.art = Sonderzelle::Art::leer;
                        textFolgt = true;
                        break;  // text in the STRING record
                    case 1:
                        z.art = Sonderzelle::Art::wahrheit;
                        z.zahl = static_cast<uint8_t>(k[8]) != 0;
                        break;
                    case 2: z.art = Sonderzelle::Art::fehler; break;
                    default: z.art = Sonderzelle::Art::leer; break;
                }
            } else {
                double w;
                uint64_t roh = le32(k, 6) | (uint64_t{le32(k, 10)} << 32);
                std::memcpy(&w, &roh, 8);
                z.zahl = w;
                z.art = XfIstDatum(xf) ? Sonderzelle::Art::datum : Sonderzelle::Art::zahl;
            }
            zellen.push_back(std::move(z));
        }
    }
    return zellen;
}

uint16_t Arbeitsmappe::DatumXf(bool mitZeit) {
    std::optional<uint16_t>& gemerkt = mitZeit ? datumZeitXf_ : datumXf_;
    if (gemerkt) return *gemerkt;
    const uint16_t format = mitZeit ? 22 : 14;
    for (size_t i = 0; i < xfFormat_.size(); ++i)
        if (!xfStil_[i] && xfFormat_[i] == format) return *(gemerkt = static_cast<uint16_t>(i));
    // A copy of the default cell format with the date format, after the last XF.
    std::string xf;
    size_t n = 0;
    for (const Satzstelle& s : globale_)
        if (s.typ == kXf) {
            if (n++ == standardXf_) xf = std::string(Körper(s));
        }
    const size_t xfLänge = version_ >= 8 ? 20 : 16;
    if (xf.size() < 6) {
        xf.assign(xfLänge, '\0');
        setze16(xf, 4, 0x0001);  // locked, parent style 0
    }
    xf.resize(xfLänge, '\0');
    setze16(xf, 2, format);
    xf[version_ >= 8 ? 9 : 7] |= 0x04;  // the number format is the cell's own
    neueXf_.push_back(xf);
    return *(gemerkt = static_cast<uint16_t>(xfFormat_.size() + neueXf_.size() - 1));
}

// --- writing a sheet ---------------------------------------------------------

Arbeitsmappe::Blattschreiber::Blattschreiber(const Arbeitsmappe& mappe) : mappe_(mappe) {}

void Arbeitsmappe::Blattschreiber::Satz(uint16_t typ, const std::string& körper) {
    const size_t grenze = mappe_.version_ >= 8 ? 8224 : 2080;
    if (körper.size() > grenze)
        throw Verweigerung{u"Ein Wert ist zu lang für eine Zelle der Arbeitsmappe (höchstens " +
                           ausUtf8(std::to_string(grenze - 12)) + u" Bytes)."};
    zellen_ += satz(typ, körper);
}

void Arbeitsmappe::Blattschreiber::Text_(uint32_t zeile, uint16_t spalte, TextSicht text) {
    std::string k;
    an16(k, static_cast<uint16_t>(zeile));
    an16(k, spalte);
    an16(k, mappe_.standardXf_);
    if (mappe_.version_ >= 8) {
        k += unicodeKodieren(text, true);
    } else {
        const std::string b = InCodepage(text, mappe_.codepage_);
        an16(k, static_cast<uint16_t>(b.size()));
        k += b;
    }
    Satz(kLabel, k);
    zeilen_ = std::max(zeilen_, zeile + 1);
    spalten_ = std::max<uint16_t>(spalten_, spalte + 1);
}

void Arbeitsmappe::Blattschreiber::Zahl(uint32_t zeile, uint16_t spalte, double wert, uint16_t xf) {
    std::string k;
    an16(k, static_cast<uint16_t>(zeile));
    an16(k, spalte);
    an16(k, xf);
    uint64_t roh;
    std::memcpy(&roh, &wert, 8);
    an32(k, static_cast<uint32_t>(roh));
    an32(k, static_cast<uint32_t>(roh >> 32));
    Satz(kNumber, k);
    zeilen_ = std::max(zeilen_, zeile + 1);
    spalten_ = std::max<uint16_t>(spalten_, spalte + 1);
}

void Arbeitsmappe::Blattschreiber::Wahrheit(uint32_t zeile, uint16_t spalte, bool wert) {
    std::string k;
    an16(k, static_cast<uint16_t>(zeile));
    an16(k, spalte);
    an16(k, mappe_.standardXf_);
    k.push_back(wert ? 1 : 0);
    k.push_back(0);
    Satz(kBoolerr, k);
    zeilen_ = std::max(zeilen_, zeile + 1);
    spalten_ = std::max<uint16_t>(spalten_, spalte + 1);
}

std::string Arbeitsmappe::Blattschreiber::Fertig() const {
    // The globals' BOF with the type of a worksheet.
    std::string bof(mappe_.Körper(mappe_.globale_.front()));
    setze16(bof, 2, 0x0010);
    std::string s = satz(kBof, bof);
    std::string dim;
    if (mappe_.version_ >= 8) {
        an32(dim, 0);
        an32(dim, zeilen_);
    } else {
        an16(dim, 0);
        an16(dim, static_cast<uint16_t>(zeilen_));
    }
    an16(dim, 0);
    an16(dim, spalten_);
    an16(dim, 0);
    s += satz(kDimensions, dim);
    s += zellen_;
    std::string fenster;
    an16(fenster, 0x00B6);  // grid, headers, zeros, default grid colour, outline symbols
    an16(fenster, 0);
    an16(fenster, 0);
    an32(fenster, mappe_.version_ >= 8 ? 64 : 0);
    if (mappe_.version_ >= 8) {
        an16(fenster, 0);
        an16(fenster, 0);
        an32(fenster, 0);
    }
    s += satz(kWindow2, fenster);
    s += satz(kEof, {});
    return s;
}

// --- rebuilding the stream ---------------------------------------------------

// One rebuild, phase by phase: the new sheet order, the references that forbid it,
// the globals, then the sheets' substreams.
struct Arbeitsmappe::Umbau {
    const Arbeitsmappe& m;
    const std::vector<BlattPlan>& plan;
    const std::string_view d;
    const size_t alt;                            // sheets before
    std::vector<int> neuerIndex;                 // old sheet -> new position, -1 when removed
    std::vector<const BlattPlan*> planFür;       // old sheet -> its plan
    int neu = 0;                                 // sheets after
    int selbst = -1;                             // the SUPBOOK of this workbook's own sheets
    std::vector<std::pair<size_t, int>> zeiger;  // position of a BOUNDSHEET offset field, new sheet index

    Umbau(const Arbeitsmappe& mappe, const std::vector<BlattPlan>& p)
        : m(mappe), plan(p), d(mappe.strom_), alt(mappe.blätter_.size()), neuerIndex(alt, -1), planFür(alt, nullptr) {
        for (const BlattPlan& b : plan) {
            if (b.alt >= 0) {
                if (static_cast<size_t>(b.alt) >= alt || planFür[b.alt]) throw Verweigerung{u"Ungültige Blattfolge."};
                neuerIndex[b.alt] = neu;
                planFür[b.alt] = &b;
            }
            ++neu;
        }
        if (neu == 0) throw Verweigerung{u"Eine Arbeitsmappe muss mindestens ein Blatt behalten."};
    }

    bool Entfernt(int itab) const { return itab >= 0 && static_cast<size_t>(itab) < alt && neuerIndex[itab] < 0; }

    [[noreturn]] void Verweigern(int itab, const char16_t* was) const {
        throw Verweigerung{u"Das Blatt '" + m.blätter_[itab].name + u"' kann nicht gelöscht werden: " + was +
                           u" verweisen darauf."};
    }

    // A removed sheet must not be the target of any reference.
    void VerweisePrüfen() {
        int supbook = -1;
        for (const Satzstelle& s : m.globale_) {
            const std::string_view k = m.Körper(s);
            if (s.typ == kSupbook) {
                ++supbook;
                if (s.länge == 4 && le16(k, 2) == 0x0401) selbst = supbook;
            } else if (s.typ == kName && s.länge >= 10) {
                const int itab = le16(k, 8) - 1;
                if (Entfernt(itab)) Verweigern(itab, u"Namen");
            } else if (s.typ == kExternsheet && m.version_ >= 8 && s.länge >= 2) {
                const size_t n = std::min<size_t>(le16(k, 0), (s.länge - 2) / 6);
                for (size_t i = 0; i < n; ++i) {
                    if (le16(k, 2 + 6 * i) != selbst) continue;
                    const int von = static_cast<int16_t>(le16(k, 4 + 6 * i)),
                              bis = static_cast<int16_t>(le16(k, 6 + 6 * i));
                    for (int t = std::max(von, 0); t <= bis && t < static_cast<int>(alt); ++t)
                        if (Entfernt(t)) Verweigern(t, u"Formeln oder Namen");
                    if (von >= 0 && bis >= von)
                        for (int t = von + 1; t < bis; ++t)
                            if (t < static_cast<int>(alt) && neuerIndex[t] < 0) Verweigern(t, u"Formeln oder Namen");
                }
            }
        }
        if (m.version_ < 8) Biff5VerweisePrüfen();
    }

    // BIFF5 keeps EXTERNSHEET lists in the globals and in each sheet, and its formulas
    // hold sheet positions: refuse when a referenced sheet would go or move.
    void Biff5VerweisePrüfen() const {
        std::vector<std::string_view> verweise;
        for (const Satzstelle& s : m.globale_)
            if (s.typ == kExternsheet) verweise.push_back(m.Körper(s));
        for (const Blatt& b : m.blätter_) {
            int tiefe = 0;
            for (size_t p = b.von; p < b.bis; p += 4 + le16(d, p + 2)) {
                const uint16_t typ = le16(d, p);
                if (typ == kBof) ++tiefe;
                else if (typ == kEof) --tiefe;
                if (typ == kExternsheet && tiefe == 1) verweise.push_back(d.substr(p + 4, le16(d, p + 2)));
            }
        }
        for (std::string_view k : verweise) {
            if (!eigenesBlatt(k)) continue;
            const Text ziel = AusCodepage(*eigenesBlatt(k), m.codepage_);
            for (size_t t = 0; t < alt; ++t)
                if (m.blätter_[t].name == ziel) {
                    if (neuerIndex[t] < 0) Verweigern(static_cast<int>(t), u"Formeln oder Namen");
                    if (neuerIndex[t] != static_cast<int>(t))
                        throw Verweigerung{u"Ein Blatt vor '" + ziel +
                                           u"' kann nicht gelöscht werden: Formeln verweisen auf '" + ziel + u"'."};
                }
        }
    }

    // A BIFF5 reference to a renamed sheet names it anew.
    void VerweisUmbenennen(std::string& k) const {
        if (m.version_ >= 8 || !eigenesBlatt(k)) return;
        const std::string_view altName = *eigenesBlatt(k);
        const Text ziel = AusCodepage(altName, m.codepage_);
        const bool mitTyp = static_cast<uint8_t>(k[0]) == altName.size() + 1;
        for (size_t t = 0; t < alt; ++t)
            if (m.blätter_[t].name == ziel && planFür[t] && planFür[t]->name != ziel) {
                const std::string b = InCodepage(planFür[t]->name, m.codepage_);
                k = std::string(1, static_cast<char>(b.size() + (mitTyp ? 1 : 0))) + '\x03' + b +
                    k.substr(2 + altName.size());
                return;
            }
    }

    // The globals, record by record, with the sheet indexes, counts and names of the new order.
    std::string GlobaleBauen() {
        std::string g;
        std::vector<std::array<size_t, 2>> stellen;  // old and new position of each record copied
        std::vector<size_t> extsst;
        size_t letztesBlatt = 0, letztesXf = 0;
        for (size_t i = 0; i < m.globale_.size(); ++i) {
            if (m.globale_[i].typ == kBoundsheet) letztesBlatt = i;
            if (m.globale_[i].typ == kXf) letztesXf = i;
        }
        size_t blattNr = 0;
        int supbook = -1;
        auto blattSatz = [&](const Text& name, uint16_t grbit, int index) {
            std::string k(6, '\0');
            setze16(k, 4, grbit);
            k += m.BlattnameKodieren(name);
            zeiger.emplace_back(g.size() + 4, index);
            g += satz(kBoundsheet, k);
        };
        for (size_t i = 0; i < m.globale_.size(); ++i) {
            const Satzstelle& s = m.globale_[i];
            std::string k(m.Körper(s));
            bool weg = false;
            switch (s.typ) {
                case kBoundsheet: {
                    const size_t b = blattNr++;
                    if (neuerIndex[b] < 0) weg = true;
                    else {
                        const Text& name = planFür[b]->name;
                        if (name != m.blätter_[b].name) k = k.substr(0, 6) + m.BlattnameKodieren(name);
                        zeiger.emplace_back(g.size() + 4, neuerIndex[b]);
                    }
                    break;
                }
                case kSupbook:
                    if (++supbook == selbst && k.size() == 4) setze16(k, 0, static_cast<uint16_t>(neu));
                    break;
                case kName:
                    if (k.size() >= 10) {
                        const int itab = le16(k, 8) - 1;
                        if (itab >= 0 && static_cast<size_t>(itab) < alt)
                            setze16(k, 8, static_cast<uint16_t>(neuerIndex[itab] + 1));
                    }
                    break;
                case kExternsheet:
                    if (m.version_ >= 8 && k.size() >= 2) {
                        const size_t n = std::min<size_t>(le16(k, 0), (k.size() - 2) / 6);
                        for (size_t x = 0; x < n; ++x) {
                            if (le16(k, 2 + 6 * x) != selbst) continue;
                            for (size_t f = 4; f <= 6; f += 2) {
                                const int t = static_cast<int16_t>(le16(k, f + 6 * x));
                                if (t >= 0 && static_cast<size_t>(t) < alt)
                                    setze16(k, f + 6 * x, static_cast<uint16_t>(neuerIndex[t]));
                            }
                        }
                    } else {
                        VerweisUmbenennen(k);
                    }
                    break;
                case kTabid: k = Tabid(k); break;
                case kWindow1: Fenster(k); break;
                case kExtsst: extsst.push_back(g.size()); break;
                default: break;
            }
            if (!weg) {
                stellen.push_back({s.pos, g.size()});
                g += satz(s.typ, k);
            }
            if (i == letztesBlatt) {
                int index = 0;
                for (const BlattPlan& p : plan) {
                    if (p.alt < 0) blattSatz(p.name, 0, index);
                    ++index;
                }
            }
            if (i == letztesXf)
                for (const std::string& xf : m.neueXf_) g += satz(kXf, xf);
        }
        ExtsstVerschieben(g, stellen, extsst);
        return g;
    }

    std::string Tabid(std::string_view k) const {
        std::string t;
        uint16_t höchste = 0;
        for (size_t x = 0; x + 1 < k.size(); x += 2) höchste = std::max(höchste, le16(k, x));
        for (size_t b = 0; b < alt; ++b)
            if (neuerIndex[b] >= 0) t.append(2 * b + 2 <= k.size() ? k.substr(2 * b, 2) : std::string(2, '\0'));
        for (const BlattPlan& p : plan)
            if (p.alt < 0) an16(t, ++höchste);
        return t;
    }

    // The active and the first visible sheet of WINDOW1, moved with the order.
    void Fenster(std::string& k) const {
        if (k.size() < 14) return;
        for (size_t f = 10; f <= 12; f += 2) {
            const int t = le16(k, f);
            int n = 0;
            if (static_cast<size_t>(t) < alt) {
                for (int x = 0; x <= t; ++x) n += neuerIndex[x] >= 0;
                n = std::max(0, neuerIndex[t] >= 0 ? neuerIndex[t] : n - 1);
            }
            setze16(k, f, static_cast<uint16_t>(n));
        }
    }

    // EXTSST points at strings inside SST/CONTINUE records, which moved as a whole.
    static void ExtsstVerschieben(std::string& g, const std::vector<std::array<size_t, 2>>& stellen,
                                  const std::vector<size_t>& extsst) {
        for (size_t e : extsst) {
            const uint16_t länge = le16(g, e + 2);
            const size_t n = länge >= 2 ? (länge - 2u) / 8 : 0;
            for (size_t x = 0; x < n; ++x) {
                const size_t feld = e + 6 + 8 * x;
                const uint32_t altPos = le32(g, feld);
                auto it = std::upper_bound(stellen.begin(), stellen.end(), altPos,
                                           [](size_t p, const std::array<size_t, 2>& st) { return p < st[0]; });
                if (it == stellen.begin()) continue;
                --it;
                setze32(g, feld, static_cast<uint32_t>((*it)[1] + (altPos - (*it)[0])));
            }
        }
    }

    // The sheets in the order they lie in the stream, gaps and trailing bytes kept; new
    // sheets before the trailing bytes; then every BOUNDSHEET points at its sheet.
    void BlätterAnhängen(std::string& aus) {
        std::vector<size_t> lage(alt);
        for (size_t i = 0; i < alt; ++i) lage[i] = i;
        std::sort(lage.begin(), lage.end(), [&](size_t a, size_t b) { return m.blätter_[a].von < m.blätter_[b].von; });
        std::vector<size_t> beginn(plan.size(), 0);
        size_t pos = m.globalEnde_;
        for (size_t b : lage) {
            aus.append(d.substr(pos, m.blätter_[b].von - pos));
            pos = m.blätter_[b].bis;
            if (neuerIndex[b] < 0) continue;
            beginn[neuerIndex[b]] = aus.size();
            if (planFür[b]->inhalt) aus += *planFür[b]->inhalt;
            else BlattKopieren(b, aus);
        }
        std::string rest(d.substr(pos));
        int index = 0;
        for (const BlattPlan& p : plan) {
            if (p.alt < 0) {
                beginn[index] = aus.size();
                aus += *p.inhalt;
            }
            ++index;
        }
        aus += rest;
        for (const auto& [feld, i] : zeiger) setze32(aus, feld, static_cast<uint32_t>(beginn[i]));
    }

    // Record by record: BIFF5 references renamed, and the INDEX records' stream
    // positions of the sheet's DEFCOLWIDTH and DBCELL records moved with them.
    void BlattKopieren(size_t b, std::string& aus) const {
        const size_t anfang = aus.size();
        std::map<size_t, size_t> lageNeu;  // old record position -> new
        std::vector<size_t> indizes;
        int tiefe = 0;
        for (size_t p = m.blätter_[b].von; p < m.blätter_[b].bis;) {
            const uint16_t typ = le16(d, p), länge = le16(d, p + 2);
            if (typ == kBof) ++tiefe;
            else if (typ == kEof) --tiefe;
            lageNeu[p] = aus.size();
            std::string k(d.substr(p + 4, länge));
            if (tiefe == 1 && typ == kExternsheet) VerweisUmbenennen(k);
            if (tiefe == 1 && typ == kIndex) indizes.push_back(aus.size());
            aus += satz(typ, k);
            p += 4 + länge;
        }
        const int64_t versatz = static_cast<int64_t>(anfang) - static_cast<int64_t>(m.blätter_[b].von);
        for (size_t p : indizes) {
            const uint16_t länge = le16(aus, p + 2);
            for (size_t f = m.version_ >= 8 ? 12 : 8; f + 4 <= länge; f += 4) {
                const uint32_t w = le32(aus, p + 4 + f);
                if (w == 0) continue;
                const auto it = lageNeu.find(w);
                setze32(aus, p + 4 + f, static_cast<uint32_t>(it != lageNeu.end() ? it->second : w + versatz));
            }
        }
    }
};

std::string Arbeitsmappe::Umbauen(const std::vector<BlattPlan>& plan) const {
    Umbau umbau(*this, plan);
    umbau.VerweisePrüfen();
    std::string strom = umbau.GlobaleBauen();
    umbau.BlätterAnhängen(strom);
    return strom;
}

}  // namespace dao::speicher::excel
