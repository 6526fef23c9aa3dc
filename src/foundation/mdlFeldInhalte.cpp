#include "foundation/mdlFeldInhalte.h"

#include <algorithm>
#include <array>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "foundation/Oberflaeche.h"
#include "foundation/mdlAllgemeines.h"
#include "foundation/mdlDatenbank.h"
#include "foundation/mdlMeldungen.h"
#include "platform/basic/Laufzeit.h"
#include "platform/dao/Dao.h"

namespace {

// The normalisers run for every value of the duplicate search, on several
// threads: they look at views of the value and copy only what they return.

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

// Calls f(start, word) for every word (start 1-based) until f returns false.
// Every single blank ends a word, so adjacent, leading and trailing blanks give
// empty words, which count like any other word.
template <class F>
void blankWörter(TextSicht t, F f) {
    for (size_t start = 0;;) {
        const size_t ende = std::min(t.find(u' ', start), t.size());
        if (!f(static_cast<int32_t>(start) + 1, t.substr(start, ende - start)) || ende == t.size()) return;
        start = ende + 1;
    }
}

// Whether UCase(wort) is one of `liste`, without making the upper-case copy.
template <size_t N>
bool großEinesVon(TextSicht wort, const std::array<TextSicht, N>& liste) {
    return std::any_of(liste.begin(), liste.end(), [wort](TextSicht eintrag) {
        return eintrag.size() == wort.size() &&
               std::equal(wort.begin(), wort.end(), eintrag.begin(),
                          [](char16_t a, char16_t b) { return Grossbuchstabe(a) == b; });
    });
}

// UCase(t) in a buffer of the calling thread, valid until its next call there.
Text& großImPuffer(TextSicht t) {
    thread_local Text puffer;
    puffer.resize(t.size());
    std::transform(t.begin(), t.end(), puffer.begin(), Grossbuchstabe);
    return puffer;
}

// TextEntfernen in place: the occurrences are looked for from left to right in
// the text as it was, so the result is the same.
void entfernenAnOrt(Text& t, TextSicht teil) {
    size_t schreiben = t.find(teil);
    for (size_t treffer = schreiben; treffer != Text::npos;) {
        const size_t rest = treffer + teil.size();
        treffer = t.find(teil, rest);
        const size_t ende = treffer == Text::npos ? t.size() : treffer;
        std::copy(t.begin() + static_cast<ptrdiff_t>(rest), t.begin() + static_cast<ptrdiff_t>(ende),
                  t.begin() + static_cast<ptrdiff_t>(schreiben));
        schreiben += ende - rest;
    }
    if (schreiben != Text::npos) t.resize(schreiben);
}

// A result that starts as Empty and takes " " & word for every word kept.
class Wortsammlung {
public:
    explicit Wortsammlung(size_t platz) : platz_(platz) {}
    void anhängen(TextSicht wort) {
        if (!belegt_) text_.reserve(platz_ + 1);
        belegt_ = true;
        text_ += u' ';
        text_ += TrimSicht(wort);
    }
    Variante ergebnis() const { return belegt_ ? Variante(TrimSicht(text_)) : Variante::Empty(); }

private:
    size_t platz_;  // the length of the text the words come from
    bool belegt_ = false;
    Text text_;
};

bool istZahlText(TextSicht t) { return ZahlAusText(t).has_value(); }

// What WortErmitteln counts as part of a word.
bool wortzeichen(char16_t c) {
    return (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || c == u'ä' || c == u'ö' ||
           c == u'ü' || c == u'Ä' || c == u'Ö' || c == u'Ü' || c == u'ß';
}

// WortErmitteln(t, 1) as a view: the first run of word characters; none without one.
std::optional<TextSicht> erstesWort(TextSicht t) {
    const auto anfang = std::find_if(t.begin(), t.end(), wortzeichen);
    if (anfang == t.end()) return std::nullopt;
    return TextSicht(anfang, std::find_if_not(anfang, t.end(), wortzeichen));
}

// WortErmitteln(t, -n) as a view: the n-th run of word characters from the end;
// the empty text when there are fewer.
TextSicht wortVonHinten(TextSicht t, int n) {
    for (auto von = t.rbegin();;) {
        const auto ende = std::find_if(von, t.rend(), wortzeichen);
        if (ende == t.rend()) return {};
        von = std::find_if_not(ende, t.rend(), wortzeichen);
        if (--n == 0) return TextSicht(von.base(), ende.base());
    }
}

// The part behind "+" of the country code that LandesvorwahlErmitteln finds at the
// start of the trimmed text `w`; none without one.
std::optional<TextSicht> landesvorwahl(TextSicht w) {
    const auto teil = [w](size_t von, size_t länge) { return w.substr(std::min(von, w.size()), länge); };
    if (w.starts_with(u'+') && istZahlText(teil(1, 2))) return teil(1, 2);
    if (w.starts_with(u"00") && istZahlText(teil(2, 2))) return teil(2, 2);
    if ((w.size() < 3 || !istZahlText(teil(2, 1))) && istZahlText(teil(0, 2))) return teil(0, 2);
    return std::nullopt;
}

Variante mitVorsatz(char16_t vorsatz, TextSicht t) {
    Text r;
    r.reserve(t.size() + 1);
    r += vorsatz;
    r += t;
    return Variante(std::move(r));
}

// AnredeErmitteln on a text: "Herr", "Frau" or nullptr.
const char16_t* anredeVon(TextSicht t) {
    Text& groß = großImPuffer(t);
    groß += u' ';
    if (groß.find(u"HERR ") != Text::npos || groß.find(u"HR.") != Text::npos) return u"Herr";
    if (groß.find(u"FRAU ") != Text::npos || groß.find(u"FR.") != Text::npos) return u"Frau";
    return nullptr;
}

struct Rechtsform {
    TextSicht gesucht, kanonisch;
};
// Longer forms first: removing them keeps the shorter ones they contain from counting again.
constexpr std::array<Rechtsform, 10> kRechtsformen = {{{u" GMBH & CO", u" GmbH & Co."},
                                                       {u" G. M. B. H.", u" GmbH"},
                                                       {u" GMBH", u" GmbH"},
                                                       {u" CO", u" Co."},
                                                       {u" GBRMBH", u" GbRmbH"},
                                                       {u" GBR", u" GbR"},
                                                       {u" MBH", u" GmbH"},
                                                       {u" KGAA", u" KGaA"},
                                                       {u" KG", u" KG"},
                                                       {u" AG", u" AG"}}};

// Bit i for each form from number `ab` on that occurs in the upper-case text `u`:
// one scan for all of them, since each starts with a blank.
size_t rechtsformenIn(TextSicht u, size_t ab) {
    size_t bits = 0;
    for (size_t p = u.find(u' '); p != TextSicht::npos; p = u.find(u' ', p + 1))
        for (size_t i = ab; i < kRechtsformen.size(); ++i)
            if (u.substr(p).starts_with(kRechtsformen[i].gesucht)) bits |= size_t{1} << i;
    return bits;
}

constexpr std::array<TextSicht, 9> kTitel = {u"PROF.", u"DR.",  u"MED.", u"RER.", u"NAT.",
                                             u"PHIL.", u"POL.", u"H.",   u"C."};

// NachnameNormalisieren on a text.
TextSicht nachnameVon(TextSicht t) {
    const size_t p = t.rfind(u' ');
    return p == TextSicht::npos ? t : t.substr(p + 1);
}

}  // namespace

Variante FirmennameNormalisieren(const Variante& Wert) {
    if (ohneWert(Wert)) return Variante::Empty();
    Text ablage;
    TextSicht t = AlsTextSicht(Wert, ablage);
    static constexpr std::array<TextSicht, 3> gepunktet = {u"G. M. B. H.", u"g. m. b. h.", u"G. m. b. H."};
    // Rare, so only a text that holds one is copied; without ". " it holds none.
    const bool mitPunkten = t.find(u". ") != TextSicht::npos;
    for (TextSicht form : gepunktet) {
        if (!mitPunkten || t.find(form) == TextSicht::npos) continue;
        ablage = TextEntfernen(t, form);
        t = ablage;
    }
    static constexpr std::array<TextSicht, 8> rechtsformen = {u"GMBH", u"CO",   u"GBRMBH", u"GBR",
                                                              u"MBH",  u"KGAA", u"KG",     u"AG"};
    Wortsammlung name(t.size());
    blankWörter(t, [&](int32_t, TextSicht w) {
        if (!großEinesVon(w, rechtsformen)) name.anhängen(w);
        return true;
    });
    return name.ergebnis();
}

Variante RechtsformNormalisieren(const Variante& Wert) {
    if (ohneWert(Wert)) return Variante::Empty();
    Text ablage;
    const TextSicht t = AlsTextSicht(Wert, ablage);
    // Every form starts with a blank.
    if (t.find(u' ') == TextSicht::npos) return Variante::Empty();
    Text& u = großImPuffer(t);
    Text f;
    for (size_t i = 0, vorhanden = rechtsformenIn(u, 0); i < kRechtsformen.size(); ++i) {
        if ((vorhanden >> i & 1) == 0) continue;
        entfernenAnOrt(u, kRechtsformen[i].gesucht);
        f += kRechtsformen[i].kanonisch;
        // What the removal joins can make a form further down the list.
        vorhanden = rechtsformenIn(u, i + 1);
    }
    return f.empty() ? Variante::Empty() : Variante(TrimSicht(f));
}

Variante StraßeNormalisieren(const Variante& Wert) {
    if (ohneWert(Wert)) return Variante::Empty();
    Text ablage;
    const TextSicht t = AlsTextSicht(Wert, ablage);
    const int32_t p = erstePosition(t, kZiffern, true);
    if (p == 0) return Variante(TrimSicht(t));
    const TextSicht s = TrimSicht(t.substr(0, static_cast<size_t>(p - 1)));
    return s.empty() ? Variante::Empty() : Variante(s);
}

Variante HausnummerNormalisieren(const Variante& Wert) {
    if (ohneWert(Wert)) return Variante::Empty();
    Text ablage;
    const TextSicht t = AlsTextSicht(Wert, ablage);
    const int32_t p = erstePosition(t, kZiffern, true);
    return p == 0 ? Variante::Empty() : Variante(t.substr(static_cast<size_t>(p - 1)));
}

Variante OrtNormalisieren(const Variante& Wert) {
    if (ohneWert(Wert)) return Variante::Empty();
    Text ablage;
    const TextSicht t = AlsTextSicht(Wert, ablage);
    const int32_t p = erstePosition(t, kVorDemOrt, false);
    return p == 0 ? Variante::Empty() : Variante(t.substr(static_cast<size_t>(p - 1)));
}

Variante PostleitzahlNormalisieren(const Variante& Wert) {
    if (ohneWert(Wert)) return Variante::Empty();
    // Lower case maps digits and blanks only to themselves and keeps the length,
    // so the run is found in the text as it is and only the run is lowered.
    Text ablage;
    const TextSicht w = AlsTextSicht(Wert, ablage);
    const int32_t p = erstePosition(w, kZiffern, true);
    if (p == 0) return Variante::Empty();
    // Up to the next letter: separators such as the hyphen of a ZIP+4 code stay in.
    size_t q = static_cast<size_t>(p);
    while (q < w.size() && kPlzEnde.find(Kleinbuchstabe(w[q])) == TextSicht::npos) ++q;
    const TextSicht k = TrimSicht(w.substr(static_cast<size_t>(p - 1), q - static_cast<size_t>(p - 1)));
    return k.size() >= 4 ? Variante(Kleinbuchstaben(k)) : Variante::Empty();
}

Variante LandesvorwahlErmitteln(const Variante& Wert) {
    if (ohneWert(Wert)) return Variante::Empty();
    Text ablage;
    const auto k = landesvorwahl(TrimSicht(AlsTextSicht(Wert, ablage)));
    return k ? mitVorsatz(u'+', *k) : Variante::Empty();
}

Variante VorwahlNormalisieren(const Variante& Wert) {
    if (ohneWert(Wert)) return Variante::Empty();
    // Cut on the trimmed text, the same one the country code was found in, so a
    // leading blank does not shift the cut.
    Text ablage;
    const TextSicht w = TrimSicht(AlsTextSicht(Wert, ablage));
    if (!landesvorwahl(w)) {
        const auto r = erstesWort(w);
        return r && r->front() == u'0' ? Variante(*r) : Variante::Empty();
    }
    const size_t schnitt = w.starts_with(u'+') ? 3 : w.starts_with(u"00") ? 4 : 2;
    const auto r = erstesWort(w.substr(std::min(schnitt, w.size())));
    if (!r) return Variante::Empty();
    return r->front() == u'0' ? Variante(*r) : mitVorsatz(u'0', *r);
}

Variante TelefonNormalisieren(const Variante& Wert) {
    if (ohneWert(Wert)) return Variante::Empty();
    Text ablage;
    const TextSicht t = AlsTextSicht(Wert, ablage);
    const TextSicht letztes = wortVonHinten(t, 1);
    // A short last word is the tail of a number written in groups.
    const TextSicht davor = letztes.size() < 4 ? wortVonHinten(t, 2) : TextSicht();
    const TextSicht anfang = davor.empty() ? letztes : davor;
    if (anfang.starts_with(u'0')) return Variante::Empty();
    Text r;
    r.reserve(davor.size() + letztes.size());
    r += davor;
    r += letztes;
    return Variante(std::move(r));
}

Variante AnredeErmitteln(const Variante& Wert) {
    if (ohneWert(Wert)) return Variante::Empty();
    Text ablage;
    const char16_t* anrede = anredeVon(AlsTextSicht(Wert, ablage));
    return anrede ? Variante(anrede) : Variante::Empty();
}

Variante TitelErmitteln(const Variante& Wert) {
    if (ohneWert(Wert)) return Variante::Empty();
    Text ablage;
    const TextSicht t = AlsTextSicht(Wert, ablage);
    Wortsammlung gefunden(t.size());
    blankWörter(t, [&](int32_t, TextSicht w) {
        if (großEinesVon(w, kTitel)) gefunden.anhängen(w);
        return true;
    });
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
    Text ablage;
    const TextSicht t = AlsTextSicht(Wert, ablage);
    Variante vorname;
    blankWörter(t, [&](int32_t start, TextSicht w) {
        // A word holds no blank, so it is a title exactly when it is one of them.
        if (anredeVon(w) || großEinesVon(w, kTitel)) return true;
        // The surname seen from this word on; for the last word that is the word itself.
        if (w == nachnameVon(t.substr(static_cast<size_t>(start - 1)))) return true;
        vorname = Variante(w);
        return false;
    });
    return vorname;
}

Variante NachnameNormalisieren(const Variante& Wert) {
    if (ohneWert(Wert)) return Variante::Empty();
    Text ablage;
    const TextSicht t = AlsTextSicht(Wert, ablage);
    return t.find(u' ') == TextSicht::npos ? Wert : Variante(nachnameVon(t));
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

int16_t SpalteSuchen(const std::vector<Feldzuordnung>& Felder, int16_t Gruppe, Typcode Code) {
    if (Typen[Code].Bit == -1) return -1;
    for (size_t i = 0; i < Felder.size(); ++i)
        if (Felder[i].Gruppe == Gruppe && FeldtypInMaske(Felder[i].Bits, Code)) return static_cast<int16_t>(i);
    return -1;
}

int16_t SpalteVonFeldtyp(const std::vector<Feldzuordnung>& Felder, Typcode Code) {
    return SpalteSuchen(Felder, GruppeVonFeldtyp(Code), Code);
}

Text Typenbeschriftung(const std::vector<Typcode>& Codes) {
    Text label = u"(";
    for (size_t i = 0; i < Codes.size(); ++i) {
        if (i > 0) label += u',';
        label += Typen[Codes[i]].Name;
    }
    return label + u")";
}

Text Zuordnungszeile(TextSicht Name, TextSicht Beschriftung) {
    const int32_t punkte = 58 - Len(Name) - Len(Beschriftung);
    Text zeile = u" ";
    zeile += Name;
    if (punkte > 0) zeile.append(static_cast<size_t>(punkte), u'.');
    zeile += Beschriftung;
    return zeile;
}

namespace {

// The guesser's state, only while FeldtypenErraten runs.
dao::TableDefPtr tdfStichprobe;
dao::RecordsetPtr rsStichprobe;
int32_t StichprobeAnzahl = 0;

template <class T>
T& festgelegt(const std::shared_ptr<T>& objekt) {
    if (!objekt) FehlerAuslösen(91, u"Objektvariable nicht festgelegt.");
    return *objekt;
}

bool enthält(const Text& name, TextSicht teil) { return InStr(name, teil) > 0; }

template <size_t N>
bool enthältEines(const Text& name, const std::array<TextSicht, N>& teile) {
    return std::any_of(teile.begin(), teile.end(), [&](TextSicht t) { return enthält(name, t); });
}

// What a hit of a name test draws samples for.
enum class Stichprobenregel { Keine, Hausnummer, Vorname, Vorwahl };

struct Namenstest {
    int16_t gruppe;
    bool (*trifft)(const Text& name);  // on the lower-case name
    std::array<Typcode, 3> typen;      // 0: unused
    Stichprobenregel regel;
};

const std::array<Namenstest, 20> kNamenstests = {{
    {1,
     [](const Text& n) {
         return enthältEines(
                    n, std::array<TextSicht, 6>{u"index", u"kundennummer", u"id", u"kunden-", u"code", u"kundennr"}) ||
                (enthält(n, u"nummer") && !enthältEines(n, std::array<TextSicht, 3>{u"haus", u"telefon", u"fax"}));
     },
     {TypIndex},
     Stichprobenregel::Keine},
    {2,
     [](const Text& n) {
         return enthältEines(n, std::array<TextSicht, 4>{u"firm", u"unternehmen", u"betrieb", u"name"}) &&
                !enthältEines(n, std::array<TextSicht, 4>{u"vorname", u"nachname", u"noname", u"kunde"});
     },
     {TypFirmenname, TypRechtsform},
     Stichprobenregel::Keine},
    {2, [](const Text& n) { return enthält(n, u"branche"); }, {TypBranche}, Stichprobenregel::Keine},
    {2,
     [](const Text& n) { return enthält(n, u"recht") || enthält(n, u"sform"); },
     {TypRechtsform},
     Stichprobenregel::Keine},
    {3,
     [](const Text& n) {
         return enthältEines(n, std::array<TextSicht, 4>{u"straße", u"str.", u"anschrift", u"strasse"});
     },
     {TypStraße},
     Stichprobenregel::Hausnummer},
    {3, [](const Text& n) { return enthält(n, u"haus"); }, {TypHausnummer}, Stichprobenregel::Keine},
    {3,
     [](const Text& n) { return enthält(n, u"plz") || enthält(n, u"postleit"); },
     {TypPostleitzahl},
     Stichprobenregel::Keine},
    {3, [](const Text& n) { return enthält(n, u"ort"); }, {TypOrt}, Stichprobenregel::Keine},
    {4,
     [](const Text& n) { return enthält(n, u"anrede") || enthält(n, u"titel"); },
     {TypAnrede},
     Stichprobenregel::Keine},
    {4, [](const Text& n) { return enthält(n, u"vorname"); }, {TypVorname}, Stichprobenregel::Keine},
    {4, [](const Text& n) { return enthält(n, u"nachname"); }, {TypNachname}, Stichprobenregel::Keine},
    {4,
     [](const Text& n) {
         return (enthält(n, u"ansprech") || enthält(n, u"name")) && !enthält(n, u"vorname") && !enthält(n, u"noname");
     },
     {TypNachname},
     Stichprobenregel::Vorname},
    {4,
     [](const Text& n) { return enthält(n, u"kontakt"); },
     {TypAnrede, TypVorname, TypNachname},
     Stichprobenregel::Keine},
    {4,
     [](const Text& n) { return enthält(n, u"abteilung") || enthält(n, u"position"); },
     {TypAbteilungPosition},
     Stichprobenregel::Keine},
    {5, [](const Text& n) { return enthält(n, u"vorwahl"); }, {TypVorwahl}, Stichprobenregel::Keine},
    {5, [](const Text& n) { return enthält(n, u"durchwahl"); }, {TypTelefon}, Stichprobenregel::Keine},
    {5,
     [](const Text& n) { return enthält(n, u"telefon") || enthält(n, u"phon") || n == u"tel"; },
     {TypTelefon},
     Stichprobenregel::Vorwahl},
    {5, [](const Text& n) { return enthält(n, u"fax"); }, {TypTelefax}, Stichprobenregel::Vorwahl},
    {6, [](const Text& n) { return enthält(n, u"mail"); }, {TypEmailadresse}, Stichprobenregel::Keine},
    {6,
     [](const Text& n) { return enthält(n, u"internet") || enthält(n, u"web"); },
     {TypInternetadresse},
     Stichprobenregel::Keine},
}};

// The order in which a column's types are named in its label.
const std::array<std::vector<Typcode>, 7> kBeschriftungsfolge = {{
    {},
    {TypIndex},
    {TypFirmenname, TypBranche, TypRechtsform},
    {TypStraße, TypHausnummer, TypPostleitzahl, TypOrt},
    {TypAnrede, TypVorname, TypNachname, TypAbteilungPosition},
    {TypVorwahl, TypTelefon, TypTelefax},
    {TypEmailadresse, TypInternetadresse},
}};

constexpr int kProbenJeRegel = 10;

void typHinzufügen(Feldzuordnung& f, Typcode code) { f.Bits = static_cast<int16_t>(f.Bits | Typen[code].Bit); }

}  // namespace

void FeldInhalteZustandZurücksetzen() {
    tdfStichprobe.reset();
    rsStichprobe.reset();
    StichprobeAnzahl = 0;
}

Text ZufallswertHolen(int32_t Spalte) {
    if (StichprobeAnzahl <= 0) return {};
    dao::Recordset& rs = festgelegt(rsStichprobe);
    rs.MoveFirst();
    // At most 299 rows from the first record, whatever the size of the table.
    const double m = Minimum(Variante(StichprobeAnzahl - 2), Variante(int32_t{300})).alsDouble();
    rs.Move(static_cast<int32_t>(Int(static_cast<double>(Rnd()) * m)));
    Text wert;
    Fehlerfalle::ohneFehler([&] { wert = rs.Fields()[Spalte - 1]->Value().alsText(); });
    return wert;
}

void FeldtypenErraten(const Text& Tabelle, std::vector<Feldzuordnung>& Felder, int16_t& Anzahl, TextSicht Liste,
                      bool MitListe) {
    Variante spalte;  // the column being typed; Empty before the first
    Fehlerfalle falle(
        [&] { return (Variante(u"Fehler beim Öffnen des Feldes ") & spalte & Variante(u".")).alsText(); });
    const auto aufräumen = [] {
        Fehlerfalle::ohneFehler([] { festgelegt(rsStichprobe).Close(); });
        rsStichprobe.reset();
        tdfStichprobe.reset();
        StichprobeAnzahl = 0;
    };
    const auto schritt = [&](const std::function<void()>& f) {
        if (falle(f)) return true;
        aufräumen();
        return false;
    };

    if (!schritt([&] { tdfStichprobe = festgelegt(gDatenbank).TableDefs()[Tabelle]; })) return;
    if (!schritt([&] { rsStichprobe = festgelegt(gDatenbank).OpenRecordset(Tabelle, dao::dbOpenTable); })) return;
    if (!schritt([&] { StichprobeAnzahl = DatensätzeZählen(rsStichprobe); })) return;
    int32_t n = 0;
    if (!schritt([&] { n = festgelegt(rsStichprobe).Fields().Count(); })) return;
    if (!schritt([&] {
            Felder.assign(static_cast<size_t>(n), Feldzuordnung{});
            Anzahl = static_cast<int16_t>(n);
        }))
        return;
    if (MitListe && !schritt([&] { Oberfläche().ListeLeeren(Liste); })) return;

    int32_t i = 0;
    for (; i < n && i < static_cast<int32_t>(Felder.size()); ++i) {
        spalte = Variante(i);
        Feldzuordnung& feld = Felder[static_cast<size_t>(i)];
        Text feldname;
        if (!schritt([&] { feldname = festgelegt(tdfStichprobe).Fields()[i]->Name(); })) return;
        const Text name = LCase(feldname);

        // One sample of this column; a failure the user ignores counts as an empty one.
        bool weiter = true;
        const auto probe = [&] {
            Text wert;
            weiter = schritt([&] { wert = ZufallswertHolen(i + 1); });
            return wert;
        };
        const auto regelAnwenden = [&](Stichprobenregel regel) {
            switch (regel) {
                case Stichprobenregel::Keine: break;
                case Stichprobenregel::Hausnummer:
                    for (int k = 0; k < kProbenJeRegel && weiter; ++k) {
                        const Text wert = probe();
                        if (weiter && !HausnummerNormalisieren(Variante(wert)).istEmpty()) {
                            typHinzufügen(feld, TypHausnummer);
                            break;
                        }
                    }
                    break;
                case Stichprobenregel::Vorname:
                    for (int k = 0; k < kProbenJeRegel && weiter; ++k) {
                        const Text wert = probe();
                        if (weiter && InStr(wert, u" ") > 0) {
                            typHinzufügen(feld, TypAnrede);
                            typHinzufügen(feld, TypVorname);
                            break;
                        }
                    }
                    break;
                case Stichprobenregel::Vorwahl: {
                    int lange = 0;
                    for (int k = 0; k < kProbenJeRegel && weiter; ++k)
                        if (Len(probe()) > 9) ++lange;
                    if (weiter && lange > 5) typHinzufügen(feld, TypVorwahl);
                    break;
                }
            }
        };

        Text label;
        for (size_t t = 0; t < kNamenstests.size() && feld.Gruppe == 0;) {
            // Every test of one group, then the group decides the column if it hit.
            const int16_t gruppe = kNamenstests[t].gruppe;
            for (; t < kNamenstests.size() && kNamenstests[t].gruppe == gruppe; ++t) {
                const Namenstest& test = kNamenstests[t];
                if (!test.trifft(name)) continue;
                feld.Gruppe = gruppe;
                for (Typcode c : test.typen)
                    if (c != 0) typHinzufügen(feld, c);
                regelAnwenden(test.regel);
                if (!weiter) return;
            }
            if (feld.Gruppe != 0) {
                std::vector<Typcode> gehalten;
                for (Typcode c : kBeschriftungsfolge[static_cast<size_t>(gruppe)])
                    if (FeldtypInMaske(feld.Bits, c)) gehalten.push_back(c);
                label = Typenbeschriftung(gehalten);
            }
        }
        if (feld.Gruppe == 0) {
            feld.Bits = Typen[TypIgnorieren].Bit;
            label = Typenbeschriftung({TypIgnorieren});
        }
        if (MitListe && !schritt([&] { Oberfläche().ListeHinzufügen(Liste, Zuordnungszeile(feldname, label)); }))
            return;
    }
    spalte = Variante(i);  // as a finished counting loop leaves it

    if (MitListe && !schritt([&] { Oberfläche().ListeAuswählen(Liste, 0); })) return;
    if (!schritt([] { festgelegt(rsStichprobe).Close(); })) return;
    aufräumen();
}
