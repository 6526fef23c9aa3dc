#include "foundation/mdlFeldInhalte.h"

#include <algorithm>
#include <array>
#include <vector>

#include "foundation/mdlAllgemeines.h"
#include "platform/basic/Laufzeit.h"

namespace {

constexpr TextSicht kZiffern = u"0123456789";
constexpr TextSicht kVorDemOrt = u"0123456789- ";
constexpr TextSicht kPlzEnde = u"abcdefghijklmnopqrstuvwxyzäöüß";

bool ohneWert(const Variante& v) { return v.istEmpty() || v.istNull(); }

// 1-based position of the first character of `t` that is (or is not) in `menge`; 0 if none.
int32_t erstePosition(TextSicht t, TextSicht menge, bool enthalten) {
    for (size_t i = 0; i < t.size(); ++i)
        if ((menge.find(t[i]) != TextSicht::npos) == enthalten) return static_cast<int32_t>(i) + 1;
    return 0;
}

struct Wort {
    int32_t start;  // 1-based
    Text text;
};

// Every single blank ends a word, so adjacent, leading and trailing blanks give
// empty words, which count like any other word.
std::vector<Wort> blankWörter(const Text& t) {
    std::vector<Wort> wörter;
    size_t start = 0;
    for (size_t i = 0; i <= t.size(); ++i) {
        if (i == t.size() || t[i] == u' ') {
            wörter.push_back({static_cast<int32_t>(start) + 1, t.substr(start, i - start)});
            start = i + 1;
        }
    }
    return wörter;
}

template <size_t N>
bool einesVon(const Text& wort, const std::array<TextSicht, N>& liste) {
    return std::find(liste.begin(), liste.end(), TextSicht(wort)) != liste.end();
}

// A result that starts as Empty and takes " " & word for every word kept.
class Wortsammlung {
public:
    void anhängen(const Text& wort) {
        belegt_ = true;
        text_ += u' ';
        text_ += Trim(wort);
    }
    Variante ergebnis() const { return belegt_ ? Variante(Trim(text_)) : Variante::Empty(); }

private:
    bool belegt_ = false;
    Text text_;
};

bool istZahlText(const Text& t) { return IsNumeric(Variante(t)); }

}  // namespace

Variante FirmennameNormalisieren(const Variante& Wert) {
    if (ohneWert(Wert)) return Variante::Empty();
    Text t = Wert.alsText();
    t = TextEntfernen(t, u"G. M. B. H.");
    t = TextEntfernen(t, u"g. m. b. h.");
    t = TextEntfernen(t, u"G. m. b. H.");
    static constexpr std::array<TextSicht, 8> rechtsformen = {u"GMBH", u"CO",  u"GBRMBH", u"GBR",
                                                              u"MBH",  u"KGAA", u"KG",     u"AG"};
    Wortsammlung name;
    for (const auto& w : blankWörter(t))
        if (!einesVon(UCase(w.text), rechtsformen)) name.anhängen(w.text);
    return name.ergebnis();
}

Variante RechtsformNormalisieren(const Variante& Wert) {
    if (ohneWert(Wert)) return Variante::Empty();
    struct Form { TextSicht gesucht, kanonisch; };
    // Longer forms first: removing them keeps the shorter ones they contain from counting again.
    static constexpr std::array<Form, 10> formen = {{{u" GMBH & CO", u" GmbH & Co."},
                                                     {u" G. M. B. H.", u" GmbH"},
                                                     {u" GMBH", u" GmbH"},
                                                     {u" CO", u" Co."},
                                                     {u" GBRMBH", u" GbRmbH"},
                                                     {u" GBR", u" GbR"},
                                                     {u" MBH", u" GmbH"},
                                                     {u" KGAA", u" KGaA"},
                                                     {u" KG", u" KG"},
                                                     {u" AG", u" AG"}}};
    Text u = UCase(Wert.alsText());
    Text f;
    for (const auto& form : formen) {
        if (InStr(u, form.gesucht) > 0) {
            u = TextEntfernen(u, form.gesucht);
            f += form.kanonisch;
        }
    }
    return f.empty() ? Variante::Empty() : Variante(Trim(f));
}

Variante StraßeNormalisieren(const Variante& Wert) {
    if (ohneWert(Wert)) return Variante::Empty();
    const Text t = Wert.alsText();
    const int32_t p = erstePosition(t, kZiffern, true);
    if (p == 0) return Variante(Trim(t));
    const Text s = Trim(Left(t, p - 1));
    return s.empty() ? Variante::Empty() : Variante(s);
}

Variante HausnummerNormalisieren(const Variante& Wert) {
    if (ohneWert(Wert)) return Variante::Empty();
    const Text t = Wert.alsText();
    const int32_t p = erstePosition(t, kZiffern, true);
    return p == 0 ? Variante::Empty() : Variante(Mid(t, p));
}

Variante OrtNormalisieren(const Variante& Wert) {
    if (ohneWert(Wert)) return Variante::Empty();
    const Text t = Wert.alsText();
    const int32_t p = erstePosition(t, kVorDemOrt, false);
    return p == 0 ? Variante::Empty() : Variante(Mid(t, p));
}

Variante PostleitzahlNormalisieren(const Variante& Wert) {
    if (ohneWert(Wert)) return Variante::Empty();
    const Text w = LCase(Wert.alsText());
    const int32_t p = erstePosition(w, kZiffern, true);
    if (p == 0) return Variante::Empty();
    // Up to the next letter: separators such as the hyphen of a ZIP+4 code stay in.
    int32_t q = p + 1;
    while (q <= Len(w) && kPlzEnde.find(w[static_cast<size_t>(q - 1)]) == TextSicht::npos) ++q;
    const Text k = Trim(Mid(w, p, q - p));
    return Len(k) >= 4 ? Variante(k) : Variante::Empty();
}

Variante LandesvorwahlErmitteln(const Variante& Wert) {
    if (ohneWert(Wert)) return Variante::Empty();
    const Text w = Trim(Wert.alsText());
    if (Left(w, 1) == u"+" && istZahlText(Mid(w, 2, 2))) return Variante(u"+" + Mid(w, 2, 2));
    if (Left(w, 2) == u"00" && istZahlText(Mid(w, 3, 2))) return Variante(u"+" + Mid(w, 3, 2));
    if ((Len(w) < 3 || !istZahlText(Mid(w, 3, 1))) && istZahlText(Left(w, 2)))
        return Variante(u"+" + Left(w, 2));
    return Variante::Empty();
}

Variante VorwahlNormalisieren(const Variante& Wert) {
    if (ohneWert(Wert)) return Variante::Empty();
    // Cut on the trimmed text, the same one the country code was found in, so a
    // leading blank does not shift the cut.
    const Text w = Trim(Wert.alsText());
    if (LandesvorwahlErmitteln(Wert).istEmpty()) {
        const Variante r = WortErmitteln(Variante(w), 1);
        return !r.istEmpty() && Left(r.alsText(), 1) != u"0" ? Variante::Empty() : r;
    }
    Text rest;
    if (Left(w, 1) == u"+") rest = Mid(w, 4);
    else if (Left(w, 2) == u"00") rest = Mid(w, 5);
    else rest = Mid(w, 3);
    const Variante r = WortErmitteln(Variante(rest), 1);
    if (!r.istEmpty() && Left(r.alsText(), 1) != u"0") return Variante(u"0" + r.alsText());
    return r;
}

Variante TelefonNormalisieren(const Variante& Wert) {
    if (ohneWert(Wert)) return Variante::Empty();
    Text r = WortErmitteln(Wert, -1).alsText();
    // A short last word is the tail of a number written in groups.
    if (Len(r) < 4) r = WortErmitteln(Wert, -2).alsText() + r;
    return Left(r, 1) == u"0" ? Variante::Empty() : Variante(r);
}

Variante AnredeErmitteln(const Variante& Wert) {
    if (ohneWert(Wert)) return Variante::Empty();
    const Text t = UCase(Wert.alsText()) + u" ";
    if (InStr(t, u"HERR ") > 0 || InStr(t, u"HR.") > 0) return Variante(u"Herr");
    if (InStr(t, u"FRAU ") > 0 || InStr(t, u"FR.") > 0) return Variante(u"Frau");
    return Variante::Empty();
}

Variante TitelErmitteln(const Variante& Wert) {
    if (ohneWert(Wert)) return Variante::Empty();
    static constexpr std::array<TextSicht, 9> titel = {u"PROF.", u"DR.", u"MED.", u"RER.", u"NAT.",
                                                       u"PHIL.", u"POL.", u"H.",  u"C."};
    Wortsammlung gefunden;
    for (const auto& w : blankWörter(Wert.alsText()))
        if (einesVon(UCase(w.text), titel)) gefunden.anhängen(w.text);
    return gefunden.ergebnis();
}

Variante AnredeNormalisieren(const Variante& Wert) {
    if (ohneWert(Wert)) return Variante::Empty();
    const Variante a = AnredeErmitteln(Wert), t = TitelErmitteln(Wert);
    if (a.istEmpty() && t.istEmpty()) return Variante::Empty();
    return Variante(Trim((a & Variante(u" ") & t).alsText()));
}

Variante VornameNormalisieren(const Variante& Wert) {
    if (ohneWert(Wert)) return Variante::Empty();
    const Text t = Wert.alsText();
    for (const auto& w : blankWörter(t)) {
        const Variante wort(w.text);
        if (!AnredeErmitteln(wort).istEmpty() || !TitelErmitteln(wort).istEmpty()) continue;
        // The surname seen from this word on; for the last word that is the word itself.
        const Variante nachname = NachnameNormalisieren(Variante(Mid(t, w.start)));
        if (w.text != nachname.alsText()) return Variante(Trim(w.text));
    }
    return Variante::Empty();
}

Variante NachnameNormalisieren(const Variante& Wert) {
    if (ohneWert(Wert)) return Variante::Empty();
    const Text t = Wert.alsText();
    const int32_t p = InStrRev(t, u" ");
    return Variante(p > 0 ? Mid(t, p + 1) : t);
}

Variante FeldinhaltNormalisieren(const Variante& Wert, Typcode Typ) {
    switch (Typ) {
        case TypIgnorieren:
        case TypIndex:
        case TypBranche:
        case TypAbteilungPosition:
        case TypEmailadresse:
        case TypInternetadresse: return Wert;
        case TypFirmenname: return FirmennameNormalisieren(Wert);
        case TypRechtsform: return RechtsformNormalisieren(Wert);
        case TypStraße: return StraßeNormalisieren(Wert);
        case TypHausnummer: return HausnummerNormalisieren(Wert);
        case TypPostleitzahl: return PostleitzahlNormalisieren(Wert);
        case TypOrt: return OrtNormalisieren(Wert);
        case TypAnrede: return AnredeNormalisieren(Wert);
        case TypVorname: return VornameNormalisieren(Wert);
        case TypNachname: return NachnameNormalisieren(Wert);
        case TypVorwahl: return VorwahlNormalisieren(Wert);
        case TypTelefon:
        case TypTelefax: return TelefonNormalisieren(Wert);
        default: return Variante::Empty();
    }
}
