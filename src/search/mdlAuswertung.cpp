#include "search/mdlAuswertung.h"

#include <initializer_list>
#include <string>

#include "foundation/Oberflaeche.h"
#include "foundation/mdlDatenbank.h"
#include "foundation/mdlFeldInhalte.h"
#include "foundation/mdlFeldtypen.h"
#include "foundation/mdlMeldungen.h"
#include "platform/basic/Fehler.h"
#include "platform/basic/Laufzeit.h"
#include "platform/dao/Dao.h"
#include "search/mdlDublettenpaare.h"
#include "search/mdlSuche.h"
#include "search/mdlSuchpuffer.h"

namespace {
// How a typed column's enriched value is built from the normalised values of its
// own field types: one type, or two or three joined by a separator.
struct Regel {
    std::vector<Typcode> teile;  // none: the column's best raw value
    const char16_t* trenner = u" ";
};

Regel RegelFür(const Feldzuordnung& z) {
    auto genau = [&](std::initializer_list<Typcode> typen) {
        int32_t maske = 0;
        for (Typcode t : typen) maske |= Typen[t].Bit;
        return z.Bits == maske;
    };
    using L = std::initializer_list<Typcode>;
    auto eine = [&](L kandidaten) -> Regel {
        for (Typcode t : kandidaten)
            if (genau({t})) return {{t}};
        return {};
    };
    switch (z.Gruppe) {
        case 2: return eine({TypRechtsform, TypBranche});  // a name column keeps its raw value
        case 3:
            if (genau({TypStraße, TypHausnummer})) return {{TypStraße, TypHausnummer}};
            if (genau({TypPostleitzahl, TypOrt})) return {{TypPostleitzahl, TypOrt}};
            return eine({TypStraße, TypHausnummer, TypPostleitzahl, TypOrt});
        case 4:
            if (genau({TypVorname, TypNachname})) return {{TypVorname, TypNachname}};
            if (genau({TypAnrede, TypNachname})) return {{TypAnrede, TypNachname}};
            if (genau({TypAnrede, TypVorname, TypNachname})) return {{TypAnrede, TypVorname, TypNachname}};
            return eine({TypAnrede, TypVorname, TypNachname, TypAbteilungPosition});
        case 5:
            if (genau({TypVorwahl, TypTelefon})) return {{TypVorwahl, TypTelefon}, u" / "};
            if (genau({TypVorwahl, TypTelefax})) return {{TypVorwahl, TypTelefax}, u" / "};
            return eine({TypVorwahl, TypTelefon, TypTelefax});
        case 6: return eine({TypEmailadresse, TypInternetadresse});
        default: return {};
    }
}

// Whether `neu` replaces `alt` as the longer value (a tie keeps the earlier one).
bool Länger(const Variante& neu, const Variante& alt) {
    if (alt.istEmpty()) return true;
    if (neu.istNull() || alt.istNull()) return false;
    return Len(neu.alsText()) > Len(alt.alsText());
}

Variante Getrimmt(const Variante& v) { return v.istText() ? Variante(Trim(v.text())) : v; }

// The longest normalised value of type t among the members' values of column c.
Variante Typwert(const std::vector<std::vector<Variante>>& Mitglieder, size_t c, Typcode t) {
    Variante best, anrede, titel;
    for (const auto& m : Mitglieder) {
        if (t == TypAnrede) {
            const Variante a = AnredeErmitteln(m[c]);
            if (Länger(a, anrede)) anrede = a;
            const Variante b = TitelErmitteln(m[c]);
            if (Länger(b, titel)) titel = b;
            continue;
        }
        const Variante r = FeldinhaltNormalisieren(m[c], t);
        if (Länger(r, best)) best = r;
    }
    if (t == TypAnrede) return Variante(Trim((anrede & Variante(u" ") & titel).alsText()));
    return best;
}

// Nothing but blanks and separators: no value of its own.
bool OhneInhalt(const Variante& v) {
    if (!v.istText()) return false;
    for (char16_t z : v.text())
        if (z != u' ' && z != u'/') return false;
    return true;
}

}  // namespace

std::vector<Variante> AngereicherteWerte(const std::vector<Anreicherungsspalte>& Spalten,
                                         const std::vector<std::vector<Variante>>& Mitglieder) {
    std::vector<Variante> werte(Spalten.size());
    for (size_t c = 0; c < Spalten.size(); ++c) {
        const Anreicherungsspalte& s = Spalten[c];
        if (s.Zähler) continue;
        Variante roh;
        for (const auto& m : Mitglieder) {
            const Variante& v = m[c];
            if (v.istNull()) continue;
            if (s.Typ == dao::dbText ? Länger(v, roh) : (roh.istEmpty() || v > roh)) roh = v;
        }
        const Regel regel = RegelFür(s.Zuordnung);
        Variante w;
        for (size_t k = 0; k < regel.teile.size(); ++k) {
            const Variante teil = Typwert(Mitglieder, c, regel.teile[k]);
            w = k == 0 ? teil : Getrimmt(w + Variante(regel.trenner) + teil);
        }
        if (w.istEmpty() || w.istNull() || OhneInhalt(w)) w = roh;
        if (s.Typ == dao::dbText && w.istText() && Len(w.text()) > s.Größe) w = Variante(Left(w.text(), s.Größe));
        werte[c] = w;
    }
    return werte;
}

namespace {
dao::Recordset& Cursor(const dao::RecordsetPtr& rs) { return Objekt(rs); }

// Puts the cursor (ordered by TEMP_DSN) on the record numbered k. The remembered
// position gives the move; the number read there confirms it, else the record
// is searched, so a mark never lands on another record.
void Positionieren(dao::Recordset& rs, const dao::FieldPtr& Nummer, int32_t& Position, int32_t k) {
    if (k != Position) rs.Move(k - Position);
    Position = k;
    if (!rs.EOF_() && !rs.BOF_() && Nummer->Value() == Variante(k)) return;
    rs.FindFirst(dao::SqlBezeichner(SpalteNummer) + u" = " + ausUtf8(std::to_string(k)));
    if (rs.NoMatch()) FehlerAuslösen(dao::fehler::KeinAktuellerDatensatz, u"Kein aktueller Datensatz.");
}

// A save ignored in the error box leaves no pending row behind.
template <typename Schritt>
bool Speichern(Schritt& schritt) {
    bool gespeichert = false;
    if (!schritt([&] {
            Cursor(rsZiel).Update();
            gespeichert = true;
        }))
        return false;
    if (!gespeichert) Fehlerfalle::ohneFehler([] { Cursor(rsZiel).CancelUpdate(); });
    return true;
}

void Abbrechen() {
    gFehlerAbbruch = true;
    Fehlerfalle::ohneFehler([] { Arbeitsbereich().Rollback(); });
    RecordsetSchließen(rsPuffer);
    RecordsetSchließen(rsZiel);
    Fehlerfalle::ohneFehler([] { FortschrittAnhalten(); });
}

// The target's and the buffer's fields as the evaluation walks them, and the
// positions of both cursors.
struct Auswertungsstand {
    size_t n = 0;  // the search columns
    std::vector<dao::FieldPtr> felder;
    std::vector<Anreicherungsspalte> spalten;
    dao::FieldPtr status, nummer, gruppe, anmerkung, nummerPuffer, anmerkungPuffer;
    int32_t positionZiel = 1, positionPuffer = 1;
};

// Both tables ordered by record number, each at its first record.
template <typename Schritt>
bool TabellenÖffnen(Schritt& schritt, const Text& ziel) {
    auto öffnen = [&](dao::RecordsetPtr& rs, const Text& tabelle) {
        return schritt([&] {
            rs = Datenbank().OpenRecordset(u"SELECT * FROM " + dao::SqlBezeichner(tabelle) + u" ORDER BY " +
                                           dao::SqlBezeichner(SpalteNummer));
            if (!rs->EOF_()) rs->MoveFirst();
        });
    };
    if (!öffnen(rsZiel, ziel) || !öffnen(rsPuffer, Suchpuffername)) return false;
    return true;
}

// The fields read and written per record, looked up once; the column types for the enrichment.
template <typename Schritt>
bool FelderErmitteln(Schritt& schritt, const Text& ziel, Auswertungsstand& s) {
    s.n = static_cast<size_t>(Suchspaltenzahl);
    const bool weiter = schritt([&] {
        // A repeated step starts again from the first field.
        s.felder.clear();
        s.spalten.clear();
        auto& f = Cursor(rsZiel).Fields();
        auto t = Datenbank().TableDefs()[ziel];
        for (size_t c = 0; c < s.n; ++c) {
            s.felder.push_back(f[static_cast<int32_t>(c)]);
            const auto& tf = t->Fields()[static_cast<int32_t>(c)];
            s.spalten.push_back(
                {tf->Type(), tf->Size(), (tf->Attributes() & dao::dbAutoIncrField) != 0, Suchzuordnung[c]});
        }
        s.status = f[SpalteStatus];
        s.nummer = f[SpalteNummer];
        s.gruppe = f[SpalteGruppe];
        s.anmerkung = f[SpalteAnmerkung];
        s.nummerPuffer = Cursor(rsPuffer).Fields()[SpalteNummer];
        s.anmerkungPuffer = Cursor(rsPuffer).Fields()[SpalteAnmerkung];
    });
    if (!weiter) return false;
    // Ignored part way, the step leaves fields the evaluation would use unset: it cannot
    // go on without them, so it ends as if aborted instead of touching what is not there.
    const bool vollständig = s.felder.size() == s.n && s.spalten.size() == s.n && s.status && s.nummer && s.gruppe &&
                             s.anmerkung && s.nummerPuffer && s.anmerkungPuffer;
    if (!vollständig) Abbrechen();
    return vollständig;
}

// Marks the members of the group starting at list entry i as duplicates, with the
// buffer's remark, a yield after each; with enrichment their values are kept.
template <typename Schritt>
bool GruppeMarkieren(Schritt& schritt, Benutzeroberfläche& o, Auswertungsstand& s, int32_t& i, int32_t aktuelleGruppe,
                     std::vector<std::vector<Variante>>& mitglieder) {
    const size_t n = s.n;
    while (i <= gAnzahlDubletten && Dublettenliste[static_cast<size_t>(i - 1)].Gruppe == aktuelleGruppe) {
        const int32_t satz = Dublettenliste[static_cast<size_t>(i - 1)].Satz;
        if (!schritt([&] { Positionieren(Cursor(rsZiel), s.nummer, s.positionZiel, satz); })) return false;
        if (Anreicherung) {
            std::vector<Variante> werte(n);
            if (!schritt([&] {
                    for (size_t c = 0; c < n; ++c) werte[c] = s.felder[c]->Value();
                }))
                return false;
            mitglieder.push_back(std::move(werte));
        }
        if (!schritt([] { Cursor(rsZiel).Edit(); })) return false;
        if (!schritt([&] { s.status->Value(Variante(uint8_t{StatusDublette})); })) return false;
        if (!schritt([&] { s.gruppe->Value(Variante(aktuelleGruppe)); })) return false;
        if (!schritt([&] { Positionieren(Cursor(rsPuffer), s.nummerPuffer, s.positionPuffer, satz); })) return false;
        if (!schritt([&] { s.anmerkung->Value(s.anmerkungPuffer->Value()); })) return false;
        if (!Speichern(schritt)) return false;
        ++i;
        if (i <= gAnzahlDubletten) gFortschrittPosition = i;
        o.Ereignisse();
        if (gAbbruch) return false;
    }
    return true;
}

// Appends the group's enriched record, numbered after the last record of the target.
template <typename Schritt>
bool GruppeAnreichern(Schritt& schritt, Auswertungsstand& s, int32_t aktuelleGruppe,
                      const std::vector<std::vector<Variante>>& mitglieder) {
    int32_t letzteNummer = 0;
    if (!schritt([&] {
            Cursor(rsZiel).MoveLast();
            s.positionZiel = Cursor(rsZiel).RecordCount();
            letzteNummer = s.nummer->Value().alsLong();
        }))
        return false;
    const std::vector<Variante> werte = AngereicherteWerte(s.spalten, mitglieder);
    if (!schritt([] { Cursor(rsZiel).AddNew(); })) return false;
    for (size_t c = 0; c < s.n; ++c)
        if (!s.spalten[c].Zähler && !schritt([&] { s.felder[c]->Value(werte[c]); })) return false;
    const uint8_t kennung = NeueDatenModus ? StatusAngereichertÜbernehmen : StatusAngereichert;
    if (!schritt([&] { s.status->Value(Variante(kennung)); })) return false;
    if (!schritt([&] { s.nummer->Value(Variante(letzteNummer + 1)); })) return false;
    if (!schritt([&] { s.gruppe->Value(Variante(aktuelleGruppe)); })) return false;
    if (!schritt([&] { s.anmerkung->Value(Variante(u"Angereichert")); })) return false;
    return Speichern(schritt);
}

// The sorted list group by group; false when the evaluation must leave.
template <typename Schritt>
bool GruppenDurchgehen(Schritt& schritt, Benutzeroberfläche& o, Auswertungsstand& s) {
    int32_t i = 1;
    std::vector<std::vector<Variante>> mitglieder;
    while (i <= gAnzahlDubletten) {
        const int32_t aktuelleGruppe = Dublettenliste[static_cast<size_t>(i - 1)].Gruppe;
        mitglieder.clear();
        if (!GruppeMarkieren(schritt, o, s, i, aktuelleGruppe, mitglieder)) return false;
        if (!Anreicherung) continue;
        if (!GruppeAnreichern(schritt, s, aktuelleGruppe, mitglieder)) return false;
    }
    return true;
}

}  // namespace

void DublettenAuswerten() {
    Fehlerfalle falle([] { return Text(u"Fehler bei der Ähnlichkeitenauswertung."); });
    auto& o = Oberfläche();
    auto schritt = [&](const std::function<void()>& f) {
        if (falle(f)) return true;
        Abbrechen();
        return false;
    };

    o.BeschriftungSetzen(u"lblInformation", u"Auswertung der gefundenen Dubletten ...");
    DublettengruppenNummerieren();
    DublettenlisteAufbauen();
    DublettenpaareFreigeben();
    o.BeschriftungSetzen(u"lblInformation", u"Sortiere Dubletten ...");
    if (gAnzahlDubletten > 1) DublettenSortieren();

    o.BeschriftungSetzen(u"lblInformation", u"Reichere Datensätze an ...");
    const Text ziel = Suchziel.alsText();
    if (!TabellenÖffnen(schritt, ziel)) return;
    Auswertungsstand stand;
    if (!FelderErmitteln(schritt, ziel, stand)) return;

    FortschrittZurücksetzen();
    FortschrittStarten(gAnzahlDubletten, 0.1);
    if (!schritt([] { Arbeitsbereich().BeginTrans(); })) return;
    if (!GruppenDurchgehen(schritt, o, stand)) return;

    if (!schritt([] { Arbeitsbereich().CommitTrans(); })) return;
    FortschrittBeenden();
    RecordsetSchließen(rsPuffer);
    RecordsetSchließen(rsZiel);
    DublettenlisteFreigeben();
}
