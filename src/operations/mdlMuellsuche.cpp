#include "operations/mdlMuellsuche.h"

#include <algorithm>
#include <string>

#include "foundation/Oberflaeche.h"
#include "foundation/mdlAllgemeines.h"
#include "foundation/mdlDatenbank.h"
#include "foundation/mdlFeldInhalte.h"
#include "foundation/mdlFeldtypen.h"
#include "foundation/mdlLaufTabellen.h"
#include "foundation/mdlMeldungen.h"
#include "operations/Vorgangsrahmen.h"
#include "platform/basic/Fehler.h"
#include "platform/basic/Laufzeit.h"
#include "platform/dao/Dao.h"
#include "search/mdlSuchpuffer.h"

namespace {
// TEMP_AMK of the junk work table is a text column of this size; longer remark lists are cut.
constexpr int32_t AnmerkungLänge = 200;

// ---- the tests ----

struct Prüfung {
    Typcode Typ;
    Müllkriterien Kästchen;  // all must be ticked
    // Missing when it finds nothing in the value; without one, when the value itself is missing.
    Variante (*Finden)(const Variante&);
    const char16_t* Fehlt;
    // When the value is not missing: unreasonable when numeric, or when it lacks Pflichtzeichen.
    const char16_t* Unvernünftig = nullptr;
    const char16_t* Pflichtzeichen = nullptr;
};

// In the order the remarks of one column are written.
const Prüfung Prüfungen[] = {
    {TypIndex, 0, nullptr, u" k. Index;"},
    {TypFirmenname, KriteriumFirmenname, nullptr, u" k. Firmenn.;", u" Firmenn. unvernünftig;"},
    {TypRechtsform, KriteriumFirmenname | KriteriumRechtsform, RechtsformNormalisieren, u" k. Rechtsform;"},
    {TypBranche, KriteriumBranche, nullptr, u" k. Branche;", u" Branche unvernünftig;"},
    {TypStraße, KriteriumPostalisch, StraßeNormalisieren, u" k. Straße;", u" Straße unvernünftig;"},
    {TypHausnummer, KriteriumPostalisch | KriteriumHausnummer, HausnummerNormalisieren, u" k. Hausnr.;"},
    {TypPostleitzahl, KriteriumPostalisch, PostleitzahlNormalisieren, u" k. PLZ;"},
    {TypOrt, KriteriumPostalisch, OrtNormalisieren, u" k. Ort;", u" Ort unvernünftig;"},
    {TypAnrede, KriteriumKontakt | KriteriumAnrede, AnredeNormalisieren, u" k. Anrede;"},
    {TypVorname, KriteriumKontakt | KriteriumVorname, VornameNormalisieren, u" k. Vorname;"},
    {TypNachname, KriteriumKontakt | KriteriumNachname, NachnameNormalisieren, u" k. Nachname;"},
    {TypAbteilungPosition, KriteriumKontakt | KriteriumAbteilung, nullptr, u" k. Abteilung;"},
    {TypVorwahl, KriteriumTelefon, VorwahlNormalisieren, u" k. Vorwahl;"},
    {TypTelefon, KriteriumTelefon, TelefonNormalisieren, u" k. Telefonnr.;"},
    {TypTelefax, KriteriumTelefon | KriteriumFax, TelefonNormalisieren, u" k. Faxnr.;"},
    {TypEmailadresse, KriteriumEmail, nullptr, u" k. Emailadr.;", u" Emailadr. unvernünftig;", u"@"},
    {TypInternetadresse, KriteriumInternet, nullptr, u" k. Internetadr.;", u" Internetadr. unvernünftig;", u"."},
};

const std::pair<const char16_t*, Müllkriterien> Kästchen[] = {
    {u"chkFirmenname", KriteriumFirmenname}, {u"chkRechtsform", KriteriumRechtsform},
    {u"chkBranche", KriteriumBranche},       {u"chkPostalisch", KriteriumPostalisch},
    {u"chkHausnummer", KriteriumHausnummer}, {u"chkKontakt", KriteriumKontakt},
    {u"chkAnrede", KriteriumAnrede},         {u"chkVorname", KriteriumVorname},
    {u"chkNachname", KriteriumNachname},     {u"chkAbteilung", KriteriumAbteilung},
    {u"chkTelefon", KriteriumTelefon},       {u"chkFax", KriteriumFax},
    {u"chkEmail", KriteriumEmail},           {u"chkInternet", KriteriumInternet},
};

bool Fehlend(const Variante& v) { return v.istNull() || v.istEmpty(); }

// Whether the column gets the test of this type.
bool Hält(const Prüfung& p, const Feldzuordnung& z) {
    if (GruppeVonFeldtyp(p.Typ) != z.Gruppe) return false;
    // The index group has this one type: every column of it is tested.
    if (p.Typ == TypIndex) return true;
    // Abteilung/Position only as the column's one type: joined with other contact
    // types (as the proposal may join them) the column gets their tests only.
    if (p.Typ == TypAbteilungPosition) return z.Bits == Typen[TypAbteilungPosition].Bit;
    return FeldtypInMaske(z.Bits, p.Typ);
}

// A number written as one word from its area code is a telephone number when it is long enough.
bool VorwahlRegel(const Variante& v) { return !VorwahlNormalisieren(v).istEmpty() && Len(v.alsText()) > 6; }

bool Ungeprüft(int16_t Typ) {
    return Typ == dao::dbBoolean || Typ == dao::dbCurrency || Typ == dao::dbDate || Typ == dao::dbTime;
}

// ---- the run ----

Vorgangslauf Lauf;
// Whether the run has left page 21 for the progress page; before that a cancel
// has no page to leave.
bool SeiteGezeigt = false;
const Text Verwaltungsspalten[] = {SpalteStatus, SpalteNummer, SpalteAnmerkung};

bool Gestört() { return gAbbruch || gFehlerAbbruch; }

Text Zahl(int64_t n) { return ausUtf8(std::to_string(n)); }

// A column's name and value for the error message; what cannot be read stays empty.
Text Spaltenname(dao::Recordset& rs, int32_t i) {
    Text n;
    Fehlerfalle::ohneFehler([&] { n = rs.Fields()[i]->Name(); });
    return n;
}

Text Spalteninhalt(dao::Recordset& rs, int32_t i) {
    Text t;
    Fehlerfalle::ohneFehler([&] { t = (rs.Fields()[i]->Value() & Variante(Text())).text(); });
    return t;
}

void MüllsucheVorbereiten() {
    auto& o = Oberfläche();
    Fehlerfalle falle([] { return Text(u"Fehler beim Vorbereiten der Müllsuche."); });
    o.BeschriftungSetzen(u"lblInformation", u"Bereite Tabelle für den Vorgang vor und erstelle Sicherungskopie ...");
    o.BeschriftungSetzen(u"lblDatensätze", Zahl(Lauf.Gesamt) + u" Datensätze insgesamt");
    if (!Lauf.StrukturKopieren(true)) return;

    dao::TableDefPtr td;
    if (!falle([&] { td = Datenbank().TableDefs()[Lauf.Ziel.alsText()]; })) return;
    const std::pair<int16_t, int32_t> Art[] = {{dao::dbByte, 0}, {dao::dbLong, 0}, {dao::dbText, AnmerkungLänge}};
    for (size_t k = 0; k < 3; ++k)
        if (!falle([&] { td->Fields().Append(td->CreateField(Verwaltungsspalten[k], Art[k].first, Art[k].second)); }))
            return;
    Fehlerfalle::ohneFehler([&] { td->Fields()[SpalteAnmerkung]->AllowZeroLength(true); });
    gAnzahlMüll = 0;

    if (!Lauf.Öffnen(falle)) return;
    const bool fertig = Lauf.Durchlaufen(falle, Lauf.rsQuelle, {0, true}, [&] {
        if (!falle([&] { Lauf.rsZiel->AddNew(); })) return false;
        // The work table holds the source's columns at their positions, the bookkeeping ones behind.
        if (!Lauf.SpaltenKopieren(falle, Text(), 0)) return false;
        if (!falle([&] { Lauf.rsZiel->Fields()[SpalteStatus]->Value(Variante(uint8_t{StatusNormal})); })) return false;
        if (!falle([&] { Lauf.rsZiel->Fields()[SpalteNummer]->Value(Variante(Lauf.Zähler)); })) return false;
        if (!falle([&] { Lauf.rsZiel->Fields()[SpalteAnmerkung]->Value(Variante(Text())); })) return false;
        return Lauf.Schreiben(falle);
    });
    if (!fertig || !Lauf.Beenden(falle)) return;
    RelationenErstellen(Lauf.Quelle, Lauf.Ziel);
}

void MüllsucheAusführen() {
    Fehlerfalle falle([] { return Text(u"Fehler bei der Ausführung der Müllsuche."); });
    Oberfläche().BeschriftungSetzen(u"lblInformation", u"Durchsuche die Tabelle nach Mülldatensätzen ...");
    // The scan runs over the records the work table holds: a record whose copy
    // failed and was ignored is not there.
    int32_t anzahl = 0;
    if (!falle([&] { Lauf.rsZiel = Datenbank().OpenRecordset(Lauf.Ziel.alsText()); })) return;
    if (!falle([&] { anzahl = DatensätzeZählen(Lauf.rsZiel); })) return;
    if (!Lauf.Beginnen(falle)) return;
    FortschrittZurücksetzen();
    FortschrittStarten(anzahl, 0.3);
    // Counting from 1, raised after the batch test; the display shows the record just tested.
    const bool fertig = Lauf.Durchlaufen(falle, Lauf.rsZiel, {1, false, -1}, [&] {
        if (!falle([&] { Lauf.rsZiel->Edit(); })) return false;
        DatensatzEntmüllen(*Lauf.rsZiel);
        if (gFehlerAbbruch) return false;
        return Lauf.Schreiben(falle);
    });
    if (fertig) Lauf.Beenden(falle);
}

void MüllsucheBeenden() {
    Fehlerfalle falle([] { return Text(u"Fehler beim Beenden der Müllsuche."); });
    const Text ziel = Lauf.Ziel.alsText();
    if (!Lauf.Beginnen(falle)) return;
    if (!falle([&] {
            Datenbank().Execute(u"DELETE * FROM " + dao::SqlBezeichner(ziel) + u" WHERE [" + SpalteStatus + u"] = " +
                                Zahl(StatusMüll));
        }))
        return;
    if (!Lauf.Festschreiben(falle) || !Lauf.Beginnen(falle)) return;
    for (const Text& spalte : Verwaltungsspalten)
        if (!falle([&] { Datenbank().TableDefs()[ziel]->Fields().Delete(spalte); })) return;
    Lauf.Festschreiben(falle);
}
}  // namespace

Müllkriterien MüllkriterienLesen() {
    const auto& o = Oberfläche();
    Müllkriterien k = 0;
    for (const auto& [name, bit] : Kästchen)
        if (o.Wert(name) == 1) k |= bit;
    return k;
}

Text SpalteBeurteilen(const Variante& Wert, const Feldzuordnung& Zuordnung, Müllkriterien Kriterien) {
    Text anmerkung;
    for (const Prüfung& p : Prüfungen) {
        if ((Kriterien & p.Kästchen) != p.Kästchen || !Hält(p, Zuordnung)) continue;
        bool fehlt = p.Finden ? p.Finden(Wert).istEmpty() : Fehlend(Wert);
        if (fehlt && p.Typ == TypTelefon && VorwahlRegel(Wert)) continue;
        if (fehlt) {
            anmerkung += p.Fehlt;
        } else if (p.Unvernünftig &&
                   (IsNumeric(Wert) || (p.Pflichtzeichen && InStr(Wert.alsText(), p.Pflichtzeichen) == 0))) {
            anmerkung += p.Unvernünftig;
        }
    }
    return anmerkung;
}

Müllbefund DatensatzBeurteilen(const std::vector<Variante>& Werte, const std::vector<int16_t>& Typen,
                               const std::vector<Feldzuordnung>& Zuordnung, Müllkriterien Kriterien) {
    Text alle;
    for (size_t i = 0; i < Werte.size() && i < Typen.size() && i < Zuordnung.size(); ++i)
        if (!Ungeprüft(Typen[i])) alle += SpalteBeurteilen(Werte[i], Zuordnung[i], Kriterien);
    return {Trim(alle), !alle.empty()};
}

void DatensatzEntmüllen(dao::Recordset& rs) {
    const int32_t anzahl = gAnzahlFelder;
    // The column under test; behind the loop the one behind the user's columns, TEMP_DSS.
    int32_t spalte = 0;
    Fehlerfalle falle([&] {
        return u"Fehler beim Entmüllen des Datensatzes '" + Spalteninhalt(rs, 0) + u"' im Feld '" +
               Spaltenname(rs, spalte) + u"' mit dem Wert '" + Spalteninhalt(rs, spalte) + u"'.";
    });
    Müllkriterien kriterien = 0;
    if (!falle([&] { kriterien = MüllkriterienLesen(); })) return;
    bool befund = false;
    // Column by column, so that an error names its column and an ignored one
    // loses only that column's remarks.
    for (spalte = 0; spalte < anzahl; ++spalte) {
        const auto i = static_cast<size_t>(spalte);
        int16_t typ = 0;
        if (!falle([&] { typ = rs.Fields()[spalte]->Type(); })) return;
        if (Ungeprüft(typ)) continue;
        Variante wert;
        if (!falle([&] { wert = rs.Fields()[spalte]->Value(); })) return;
        if (i >= gFelder1.size()) continue;
        Text anmerkung;
        if (!falle([&] { anmerkung = SpalteBeurteilen(wert, gFelder1[i], kriterien); })) return;
        if (anmerkung.empty()) continue;
        befund = true;
        // Stored without the blank before the first remark; remarks beyond the
        // column's size are cut, and the record stays marked.
        if (!falle([&] {
                auto& f = *rs.Fields()[SpalteAnmerkung];
                const Text bisher = (f.Value() & Variante(Text())).text();
                f.Value(Variante(Left(LTrim(bisher + anmerkung), AnmerkungLänge)));
            }))
            return;
    }
    if (!befund) return;
    if (!falle([&] { rs.Fields()[SpalteStatus]->Value(Variante(uint8_t{StatusMüll})); })) return;
    ++gAnzahlMüll;
}

void MüllsucheAbbrechen() {
    Lauf.Abbrechen(u"Breche Vorgang ab ...", true, {Lauf.Ziel},
                   SeiteGezeigt ? Rückkehr::Wechseln : Rückkehr::NurÖffnen);
}

void MüllsucheStarten(const Variante& Quelltabelle, const Variante& Zieltabelle) {
    auto& o = Oberfläche();
    // Cleared first, so that a refused start does not report the last run's flags.
    gAbbruch = false;
    gFehlerAbbruch = false;
    // A source column of a bookkeeping name would be dropped with the bookkeeping columns.
    if (!ReservierteNamenPrüfen({Zieltabelle.alsText()}, {Quelltabelle.alsText()})) {
        o.RahmenÖffnen(rahmen::MüllKriterien, false);
        return;
    }
    Lauf = Vorgangslauf();
    Lauf.Quelle = Quelltabelle;
    Lauf.Ziel = Zieltabelle;
    LaufTabellenLeeren();
    SeiteGezeigt = false;

    // Counted before any page is shown; a source that cannot be opened comes to the
    // preparation's error box rather than ending the program.
    Fehlerfalle falle([] { return Text(u"Fehler beim Vorbereiten der Müllsuche."); });
    if (!falle([&] { Lauf.rsQuelle = Datenbank().OpenRecordset(Quelltabelle.alsText()); }) ||
        !falle([&] { Lauf.Gesamt = DatensätzeZählen(Lauf.rsQuelle); }))
        return MüllsucheAbbrechen();
    if (Lauf.Gesamt == 0) {
        HinweisAnzeigen(
            Variante(u"Kein Datensatz vorhanden." + Text(1, 13) + u"Eine Korrektur ist daher überflüssig."));
        return MüllsucheAbbrechen();
    }

    o.RahmenWechseln(rahmen::MüllKriterien, rahmen::Durchführung, true, true);
    SeiteGezeigt = true;
    MüllsucheVorbereiten();
    if (Gestört()) return MüllsucheAbbrechen();
    MüllsucheAusführen();
    if (Gestört()) return MüllsucheAbbrechen();
    if (gAnzahlMüll < 1) {
        HinweisAnzeigen(Variante(u"Es wurden keine Mülldatensätze gefunden."));
        return MüllsucheAbbrechen();
    }

    o.BeschriftungSetzen(u"lblInformation", u"Bereite Anzeige der Ergebnisse vor ...");
    o.RahmenWechseln(rahmen::Durchführung, rahmen::MüllNachbearbeitung, true, true);
    o.MüllBearbeiten();
    if (Gestört()) return MüllsucheAbbrechen();
    // Every driver with a review dialog calls the main window's member after it.
    o.NachDerBearbeitung();
    MüllsucheBeenden();
    if (Gestört()) return MüllsucheAbbrechen();
    // The result reaches the user's file before the run reports it.
    if (!DatenbankSpeichern()) return MüllsucheAbbrechen();
    o.RahmenWechseln(rahmen::MüllNachbearbeitung, rahmen::MüllProtokoll, true, true);
}

void MüllsucheZustandZurücksetzen() {
    Lauf = Vorgangslauf{};
    SeiteGezeigt = false;
}
