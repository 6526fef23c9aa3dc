// Preparation of a new TEMP_DS row: every typed value is replaced by the form in
// which the passes sort and compare it.
#include <algorithm>
#include <exception>
#include <iterator>

#include "foundation/mdlAllgemeines.h"
#include "foundation/mdlFeldInhalte.h"
#include "foundation/mdlFeldtypen.h"
#include "foundation/mdlMeldungen.h"
#include "platform/basic/Fehler.h"
#include "platform/basic/Laufzeit.h"
#include "search/mdlSuche.h"

namespace {

// Removed from street names in this order; each removal works on the result of
// the one before ("strasse" before "str", "zum" after "am" and "an").
constexpr const char16_t* straßenwörter[] = {u"weg",   u"gasse", u"strasse", u"str", u"chaussee", u"allee",
                                             u"platz", u"ring",  u"der",     u"dem", u"den",      u"auf",
                                             u"am",    u"an",    u"zum",     u"zu",  u"im",       u"in"};
constexpr size_t straßenwortzahl = std::size(straßenwörter);

bool behalten(char16_t c) {
    return (c >= u'a' && c <= u'z') || (c >= u'0' && c <= u'9') || c == u'ä' || c == u'ö' || c == u'ü';
}

bool genau(int16_t bits, Typcode t) { return bits == Typen[t].Bit; }
bool genau(int16_t bits, Typcode t, Typcode u) { return bits == (Typen[t].Bit | Typen[u].Bit); }

// cut(x): the first Size characters; a Memo column is not cut.
Variante zuschneiden(const dao::Field& F, const Variante& x) {
    if (!x.istText() || F.Type() == dao::dbMemo) return x;
    const int32_t n = F.Size();
    if (Len(x.text()) <= n) return x;
    return Variante(Left(x.text(), n < 0 ? 0 : n));
}

// An extractor's Empty is stored as no value; so is the empty text where the
// column holds no texts.
void speichern(dao::Field& F, const Variante& x) {
    if (x.istEmpty() || (x.istText() && x.text().empty() && F.Type() != dao::dbText && F.Type() != dao::dbMemo)) {
        F.Value(Variante::Null());
        return;
    }
    F.Value(x);
}

// Lower case of every letter, nothing else changed; Empty and Null stay.
Variante kleinOhneSs(const Variante& v) {
    if (v.istEmpty() || v.istNull()) return v;
    Text ablage;
    return Variante(LCase(AlsTextSicht(v, ablage)));
}

// TeilEntfernen in place: a text without the part stays as it is, without a copy.
void teilEntfernen(Variante& s, TextSicht teil) {
    if (s.istText() && !teil.empty() && TextSicht(s.text()).find(teil) == TextSicht::npos) return;
    s = TeilEntfernen(s, teil);
}

dao::Field& feld(const dao::FieldPtr& F) {
    if (!F) FehlerAuslösen(91, u"Objektvariable oder With-Blockvariable nicht festgelegt");
    return *F;
}

// Applies the rule of column assignment `a` to F, step by step under `falle`;
// false when the user chose abort.
bool regelAnwenden(Fehlerfalle& falle, const dao::FieldPtr& F, const Feldzuordnung& a) {
    const int16_t bits = a.Bits;
    auto einSchritt = [&](auto berechnen) {
        return falle([&] {
            dao::Field& f = feld(F);
            speichern(f, berechnen(f, f.Value()));
        });
    };
    auto textRegel = [&] {
        return einSchritt([](const dao::Field& f, const Variante& v) { return zuschneiden(f, TextNormalisieren(v)); });
    };
    switch (a.Gruppe) {
        case 2:
            if (FeldtypInMaske(bits, TypRechtsform))
                return einSchritt([](const dao::Field& f, const Variante& v) {
                    const Variante name(TextNormalisieren(FirmennameNormalisieren(kleinOhneSs(v))));
                    return zuschneiden(f, name & Variante(u" ") & RechtsformNormalisieren(v));
                });
            return textRegel();
        case 3:
            if (genau(bits, TypStraße)) {
                Variante s;
                if (!falle([&] { s = TextNormalisieren(feld(F).Value()); })) return false;
                for (size_t i = 0; i + 1 < straßenwortzahl; ++i)
                    if (!falle([&] { teilEntfernen(s, straßenwörter[i]); })) return false;
                return falle([&] {
                    dao::Field& f = feld(F);
                    speichern(f, zuschneiden(f, TeilEntfernen(s, straßenwörter[straßenwortzahl - 1])));
                });
            }
            if (genau(bits, TypHausnummer) || genau(bits, TypPostleitzahl))
                return einSchritt([](const dao::Field&, const Variante& v) { return Variante(NurZiffern(v)); });
            if (genau(bits, TypStraße, TypHausnummer)) {
                Variante v, h, s;
                if (!falle([&] {
                        v = feld(F).Value();
                        h = NurZiffern(HausnummerNormalisieren(v));
                    }))
                    return false;
                if (!falle([&] { s = StraßeNormalisieren(v); })) return false;
                if (!falle([&] { s = TextNormalisieren(s); })) return false;
                for (const char16_t* wort : straßenwörter)
                    if (!falle([&] { teilEntfernen(s, wort); })) return false;
                return falle([&] {
                    dao::Field& f = feld(F);
                    speichern(f, zuschneiden(f, Variante(Trim(s.alsText())) & Variante(u" ") & h));
                });
            }
            if (genau(bits, TypOrt) || genau(bits, TypPostleitzahl, TypOrt)) return textRegel();
            return true;
        case 4: return textRegel();
        case 5:
            if (genau(bits, TypVorwahl))
                return einSchritt([](const dao::Field&, const Variante& v) { return VorwahlNormalisieren(v); });
            if (genau(bits, TypTelefon) || genau(bits, TypTelefax))
                return einSchritt([](const dao::Field&, const Variante& v) { return TelefonNormalisieren(v); });
            if (genau(bits, TypVorwahl, TypTelefon) || genau(bits, TypVorwahl, TypTelefax))
                return einSchritt([](const dao::Field&, const Variante& v) {
                    return VorwahlNormalisieren(v) & Variante(u" ") & TelefonNormalisieren(v);
                });
            return true;
        case 6:
            if (FeldtypInMaske(bits, TypEmailadresse) && !textRegel()) return false;
            if (FeldtypInMaske(bits, TypInternetadresse)) {
                if (!einSchritt([](const dao::Field&, const Variante& v) { return TeilEntfernen(v, u"http://"); }))
                    return false;
                return textRegel();
            }
            return true;
        default: return true;
    }
}

}  // namespace

Text TextNormalisieren(const Variante& Wert) {
    if (Wert.istEmpty() || Wert.istNull()) return {};
    // Kleinschreiben character by character, without its two copies of the text:
    // each lower-case letter, and "ss" for "ß".
    Text ablage;
    const TextSicht s = AlsTextSicht(Wert, ablage);
    Text r;
    r.reserve(s.size());
    bool trenner = false;
    const auto anhängen = [&](char16_t c) {
        if (trenner && !r.empty()) r += u' ';
        trenner = false;
        r += c;
    };
    for (char16_t c : s) {
        const char16_t k = Kleinbuchstabe(c);
        if (k == u'ß') {
            anhängen(u's');
            anhängen(u's');
        } else if (behalten(k)) {
            anhängen(k);
        } else {
            trenner = true;
        }
    }
    return r;
}

Text NurZiffern(const Variante& Wert) {
    if (Wert.istEmpty() || Wert.istNull()) return {};
    Text ablage;
    Text r;
    for (char16_t c : AlsTextSicht(Wert, ablage))
        if (c >= u'0' && c <= u'9') r += c;
    return r;
}

Variante TeilEntfernen(const Variante& Wert, TextSicht Teil) {
    if (Wert.istNull()) return Variante::Empty();
    Text ablage;
    return Variante(TextEntfernen(AlsTextSicht(Wert, ablage), Teil));
}

void DatensatzAufbereiten(dao::Recordset& rs) {
    dao::FieldPtr F;
    Fehlerfalle falle([&]() -> Text {
        Variante erster, name, wert;
        try {
            erster = rs.Fields().Item(0)->Value();
        } catch (const std::exception&) {
        }
        if (F) {
            name = Variante(F->Name());
            try {
                wert = F->Value();
            } catch (const std::exception&) {
            }
        }
        return (Variante(u"Fehler beim Aufbereiten des Datensatzes '") & erster & Variante(u"' im Feld '") & name &
                Variante(u"' mit dem Wert '") & wert & Variante(u"'."))
            .text();
    });
    const size_t spalten = std::min(Suchzuordnung.size(), static_cast<size_t>(std::max<int16_t>(Suchspaltenzahl, 0)));
    int32_t feldposition = 0;
    for (size_t j = 0; j < spalten; ++j) {
        const Feldzuordnung a = Suchzuordnung[j];
        if (Ignoriert(a)) continue;
        bool unverändert = false;
        // F still names the field before while the lookup fails; ignored, the
        // column is passed over rather than prepared on that field.
        bool gefunden = false;
        if (!falle([&] {
                F = rs.Fields().Item(feldposition);
                gefunden = true;
            }))
            return;
        if (!gefunden) {
            ++feldposition;
            continue;
        }
        if (!falle([&] {
                const int16_t t = feld(F).Type();
                unverändert = (F->Attributes() & dao::dbAutoIncrField) != 0 || t == dao::dbBoolean ||
                              t == dao::dbCurrency || t == dao::dbDate || t == dao::dbTime;
            }))
            return;
        if (!unverändert && !regelAnwenden(falle, F, a)) return;
        ++feldposition;
    }
}
