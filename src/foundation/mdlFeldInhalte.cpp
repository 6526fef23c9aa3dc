#include "foundation/mdlFeldInhalte.h"

#include <algorithm>
#include <array>
#include <functional>
#include <memory>
#include <vector>

#include "foundation/Oberflaeche.h"
#include "foundation/mdlAllgemeines.h"
#include "foundation/mdlDatenbank.h"
#include "foundation/mdlMeldungen.h"
#include "platform/basic/Laufzeit.h"
#include "platform/dao/Dao.h"

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
    static constexpr std::array<TextSicht, 8> rechtsformen = {u"GMBH", u"CO",   u"GBRMBH", u"GBR",
                                                              u"MBH",  u"KGAA", u"KG",     u"AG"};
    Wortsammlung name;
    for (const auto& w : blankWörter(t))
        if (!einesVon(UCase(w.text), rechtsformen)) name.anhängen(w.text);
    return name.ergebnis();
}

Variante RechtsformNormalisieren(const Variante& Wert) {
    if (ohneWert(Wert)) return Variante::Empty();
    struct Form {
        TextSicht gesucht, kanonisch;
    };
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
    if ((Len(w) < 3 || !istZahlText(Mid(w, 3, 1))) && istZahlText(Left(w, 2))) return Variante(u"+" + Left(w, 2));
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
    static constexpr std::array<TextSicht, 9> titel = {u"PROF.", u"DR.",  u"MED.", u"RER.", u"NAT.",
                                                       u"PHIL.", u"POL.", u"H.",   u"C."};
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
    return p > 0 ? Variante(Mid(t, p + 1)) : Wert;
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
