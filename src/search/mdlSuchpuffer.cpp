#include "search/mdlSuchpuffer.h"

#include <string>
#include <vector>

#include "foundation/Oberflaeche.h"
#include "foundation/mdlDatenbank.h"
#include "foundation/mdlLaufTabellen.h"
#include "foundation/mdlMeldungen.h"
#include "platform/basic/Fehler.h"
#include "search/mdlSuche.h"

namespace {
constexpr int32_t Stapelgröße = 1000;

dao::Recordset& Cursor(const dao::RecordsetPtr& rs) { return Objekt(rs); }

// Steps 6 to 8 for one table: older bookkeeping columns removed, the four appended.
bool BuchhaltungsspaltenAnhängen(Fehlerfalle& Falle, const Text& Tabelle) {
    for (const char16_t* s : {SpalteStatus, SpalteNummer, SpalteGruppe, SpalteAnmerkung})
        Fehlerfalle::ohneFehler([&] { Datenbank().TableDefs()[Tabelle]->Fields().Delete(s); });
    const struct {
        const char16_t* name;
        int16_t typ;
        int32_t größe;
    } spalten[] = {{SpalteStatus, dao::dbByte, 0},
                   {SpalteNummer, dao::dbLong, 0},
                   {SpalteGruppe, dao::dbLong, 0},
                   {SpalteAnmerkung, dao::dbText, AnmerkungGröße}};
    for (const auto& s : spalten)
        if (!Falle([&] {
                auto t = Datenbank().TableDefs()[Tabelle];
                t->Fields().Append(t->CreateField(s.name, s.typ, s.größe));
            }))
            return false;
    return true;
}

// The copy of one source record into both tables; false when the build is to end.
// A save ignored in the error box leaves the record out of both tables and gives
// its serial number to the next record, so TEMP_DSN stays 1..n in both.
struct Kopie {
    Fehlerfalle& falle;
    std::vector<dao::FieldPtr> quelle, puffer, ziel;  // puffer[i] null for an ignored column
    dao::FieldPtr status[2], nummer[2], gruppe[2], anmerkung[2];

    bool Felderholen() {
        return falle([&] {
            quelle.clear();
            puffer.clear();
            ziel.clear();
            for (int16_t i = 0; i < Suchspaltenzahl; ++i) {
                auto f = Cursor(rsQuelle).Fields()[i];
                quelle.push_back(f);
                puffer.push_back(Ignoriert(Suchzuordnung[i]) ? nullptr : Cursor(rsPuffer).Fields()[f->Name()]);
                ziel.push_back(Cursor(rsZiel).Fields()[f->Name()]);
            }
            const dao::RecordsetPtr* rs[2] = {&rsPuffer, &rsZiel};
            for (int k = 0; k < 2; ++k) {
                status[k] = Cursor(*rs[k]).Fields()[SpalteStatus];
                nummer[k] = Cursor(*rs[k]).Fields()[SpalteNummer];
                gruppe[k] = Cursor(*rs[k]).Fields()[SpalteGruppe];
                anmerkung[k] = Cursor(*rs[k]).Fields()[SpalteAnmerkung];
            }
        });
    }

    bool Datensatz(int32_t& n) {
        if (!falle([] { Cursor(rsPuffer).AddNew(); })) return false;
        if (!falle([] { Cursor(rsZiel).AddNew(); })) return false;
        for (size_t i = 0; i < quelle.size(); ++i) {
            // The source value is read once for both copies (again only where that failed).
            Variante wert;
            bool gelesen = false;
            if (puffer[i] && !falle([&] {
                    wert = quelle[i]->Value();
                    gelesen = true;
                    puffer[i]->Value(wert);
                }))
                return false;
            if (!falle([&] { ziel[i]->Value(gelesen ? wert : quelle[i]->Value()); })) return false;
        }
        DatensatzAufbereiten(Cursor(rsPuffer));
        if (gFehlerAbbruch) {
            Fehlerfalle::ohneFehler([] { Arbeitsbereich().Rollback(); });
            RecordsetSchließen(rsPuffer);
            RecordsetSchließen(rsZiel);
            return false;
        }
        ++n;
        for (int k = 0; k < 2; ++k) {
            if (!falle([&] { status[k]->Value(Variante(uint8_t{StatusNormal})); })) return false;
            if (!falle([&] { nummer[k]->Value(Variante(n)); })) return false;
            if (!falle([&] { gruppe[k]->Value(Variante(int32_t{0})); })) return false;
            if (!falle([&] { anmerkung[k]->Value(Variante(u"")); })) return false;
        }
        bool imPuffer = false, imZiel = false;
        if (!falle([&] {
                Cursor(rsPuffer).Update();
                imPuffer = true;
            }))
            return false;
        if (imPuffer && !falle([&] {
                Cursor(rsZiel).Update();
                imZiel = true;
            }))
            return false;
        if (!imZiel) {
            Fehlerfalle::ohneFehler([] { Cursor(rsPuffer).CancelUpdate(); });
            Fehlerfalle::ohneFehler([] { Cursor(rsZiel).CancelUpdate(); });
            if (imPuffer)
                Fehlerfalle::ohneFehler([&] {
                    Datenbank().Execute(u"DELETE * FROM " + dao::SqlBezeichner(Suchpuffername) + u" WHERE " +
                                        dao::SqlBezeichner(SpalteNummer) + u" = " + ausUtf8(std::to_string(n)));
                });
            --n;
        }
        return true;
    }
};
}  // namespace

void SuchpufferErstellen() {
    Fehlerfalle falle([] { return Text(u"Fehler beim Erstellen des Suchpuffers."); });
    auto& o = Oberfläche();
    const Variante puffer(Suchpuffername);
    const Text quelle = Suchquelle.alsText(), ziel = Suchziel.alsText();

    if (!falle([&] {
            o.BeschriftungSetzen(u"lblInformation", u"Bereite Tabelle auf Vergleich vor und erstelle "
                                                    u"Sicherungskopie ...");
        }))
        return;
    if (!falle([&] {
            o.BeschriftungSetzen(u"lblDatensätze",
                                 ausUtf8(std::to_string(Suchdatensatzzahl)) + u" Datensätze insgesamt");
        }))
        return;

    TabelleKopieren(Suchquelle, puffer, false);
    if (gAbbruch || gFehlerAbbruch) return;
    // The search copy never refuses a record: its indexes only speed up the sorts.
    if (!falle([&] { IndizesEntschärfen(Suchpuffername); })) return;
    for (int16_t i = 0; i < Suchspaltenzahl; ++i) {
        if (!Ignoriert(Suchzuordnung[i])) continue;
        Text name;
        try {
            name = Datenbank().TableDefs()[quelle]->Fields()[i]->Name();
            Datenbank().TableDefs()[Suchpuffername]->Fields().Delete(name);
        } catch (const std::exception& e) {
            FehlerMerken(e);
            o.Meldung(u"Bei dem Feld \"" + name + u"\" handelt es sich vermutlich im ein Indexfeld." + Text(1, 13) +
                          u"Bitte markieren sie dieses als solches und starten sie erneut.",
                      vb::OKOnly + vb::Exclamation, Text());
            Err().Clear();
            gFehlerAbbruch = true;
            return;
        }
    }

    TabelleKopieren(Suchquelle, Suchziel, true);
    if (gAbbruch || gFehlerAbbruch) return;
    // The work table receives the enriched records beside their members; its keys
    // come back when the corrected table is written.
    Suchschlüssel.clear();
    if (!falle([&] { Suchschlüssel = IndizesEntschärfen(ziel); })) return;

    if (!BuchhaltungsspaltenAnhängen(falle, Suchpuffername)) return;
    if (!BuchhaltungsspaltenAnhängen(falle, ziel)) return;
    for (const Text* t : {static_cast<const Text*>(&Suchpuffername), &ziel})
        if (!falle([&] { Datenbank().TableDefs()[*t]->Fields()[SpalteAnmerkung]->AllowZeroLength(true); })) return;

    if (!falle([&] { rsQuelle = Datenbank().OpenRecordset(quelle, dao::dbOpenDynaset); })) return;
    if (!falle([&] { rsZiel = Datenbank().OpenRecordset(ziel, dao::dbOpenDynaset); })) return;
    if (!falle([&] { rsPuffer = Datenbank().OpenRecordset(Suchpuffername, dao::dbOpenDynaset); })) return;
    Kopie kopie{falle, {}, {}, {}, {}, {}, {}, {}};
    if (!kopie.Felderholen()) return;

    if (!falle([] { Arbeitsbereich().BeginTrans(); })) return;
    FortschrittZurücksetzen();
    FortschrittStarten(Suchdatensatzzahl, 0.1);
    int32_t n = 0, gelesen = 0, festgeschrieben = 0;
    if (!falle([] { Cursor(rsQuelle).MoveFirst(); })) return;
    // Counted against the total taken at the start, and never past the last record.
    while (gelesen < Suchdatensatzzahl) {
        bool ende = false;
        if (!falle([&] { ende = Cursor(rsQuelle).EOF_(); })) return;
        if (ende) break;
        if (!kopie.Datensatz(n)) return;
        ++gelesen;
        if (n % Stapelgröße == 0 && n != festgeschrieben) {
            if (!(falle([] { Arbeitsbereich().CommitTrans(); }) && falle([] { Arbeitsbereich().BeginTrans(); })))
                return;
            festgeschrieben = n;
        }
        if (!falle([] { Cursor(rsQuelle).MoveNext(); })) return;
        o.Ereignisse();
        if (gAbbruch) {
            SucheAbbrechen();
            return;
        }
        gFortschrittPosition = gelesen;
    }
    FortschrittBeenden();
    if (!falle([] { Arbeitsbereich().CommitTrans(); })) return;
    RecordsetSchließen(rsPuffer);
    RecordsetSchließen(rsZiel);
    RecordsetSchließen(rsQuelle);
    if (!falle([&] { RelationenErstellen(Suchquelle, Suchziel); })) return;
}

void SuchpufferLöschen() {
    if (!Suchpuffername.empty()) LaufTabelleLöschen(Suchpuffername);
}
