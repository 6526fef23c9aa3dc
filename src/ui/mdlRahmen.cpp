#include "ui/mdlRahmen.h"

#include <string>
#include <vector>

#include "foundation/mdlAllgemeines.h"
#include "foundation/mdlDatenbank.h"
#include "foundation/mdlDeklarationen.h"
#include "foundation/mdlFeldInhalte.h"
#include "foundation/mdlLaufTabellen.h"
#include "foundation/mdlMeldungen.h"
#include "operations/mdlDatenabgleich.h"
#include "operations/mdlMuellsuche.h"
#include "operations/mdlSplitten.h"
#include "operations/mdlVerschmelzen.h"
#include "platform/basic/Laufzeit.h"
#include "platform/dao/Dao.h"
#include "search/mdlDublettensuche.h"
#include "ui/Seiten.h"
#include "ui/frmHaupt.h"

using forms::Q;
using forms::T;

namespace {

const Text CR(1, u'\r');

Text Zahl(int64_t n) { return ausUtf8(std::to_string(n)); }

bool IstProtokoll(int16_t s) { return s == 13 || s == 23 || s == 32 || s == 42 || s == 53 || s == 63; }
bool IstOptionsseite(int16_t s) { return s == 11 || s == 21 || s == 31 || s == 41; }
bool ZweiTabellen() { return gVorgang == VorgangDatenabgleich || gVorgang == VorgangNeueDaten; }

// ---- the button strip ----

void KnopfleisteBeimÖffnen(frmHaupt& f, int16_t s) {
    if (s == 0) {
        f.btnHilfe->setVisible(false);
        f.btnZurück->setVisible(false);
    } else if (s == 1) {
        f.btnZurück->setVisible(false);
    } else if (s == 5) {
        f.btnWeiter->setVisible(false);
    } else if (s == 6) {
        f.btnZurück->CaptionSetzen(QStringLiteral("Abbrechen"));
        f.btnWeiter->setVisible(false);
    } else if (s == 12 || s == 22) {
        f.btnZurück->setVisible(false);
        f.btnWeiter->setVisible(false);
    } else if (IstOptionsseite(s)) {
        f.btnWeiter->CaptionSetzen(QStringLiteral("Starten"));
    } else if (IstProtokoll(s)) {
        f.btnZurück->setVisible(false);
        f.btnWeiter->CaptionSetzen(QStringLiteral("Fertig"));
    }
}

void KnopfleisteBeimSchließen(frmHaupt& f, int16_t s) {
    if (s == 0 || s == 1) {
        f.btnZurück->setVisible(true);
        f.btnHilfe->setVisible(true);
    } else if (s == 5) {
        f.btnWeiter->setVisible(true);
    } else if (s == 6) {
        f.btnZurück->CaptionSetzen(QStringLiteral("<<  Zurück"));
        f.btnWeiter->setVisible(true);
    } else if (s == 12 || s == 22) {
        f.btnWeiter->setVisible(true);
        f.btnZurück->setVisible(true);
    } else if (IstOptionsseite(s) || s == 51 || s == 61) {
        f.btnWeiter->CaptionSetzen(QStringLiteral("Weiter  >>"));
    } else if (IstProtokoll(s)) {
        f.btnZurück->setVisible(true);
        f.btnWeiter->CaptionSetzen(QStringLiteral("Weiter  >>"));
    }
}

// ---- checks on leaving a page; false refuses ----

bool DatenbankPrüfen(frmHaupt& f, Fehlerfalle& falle) {
    bool gut = true;
    const Variante pfad(T(f.tbxDatenbankName->Text()));
    if (!falle([&] {
            if (!DateiExistiert(pfad).alsBool()) {
                AchtungAnzeigen(Variante(u"Datei kann nicht geöffnet werden."));
                gut = false;
            }
        }) ||
        !gut)
        return false;
    if (!falle([] { DatenbankSchließen(gDatenbank); })) return false;
    // The old database could not write its results back and stays open: opening another
    // one over it would lose them.
    if (gDatenbank) return false;
    if (!falle([&] { DatenbankÖffnen(pfad, Variante(T(f.tbxDatenbankPasswort->Text())), gDatenbank); })) return false;
    if (gFehlerAbbruch) return false;
    return falle([] {
        if (gDAOVerbindung == u"Excel 5.0;")
            HinweisAnzeigen(Variante(u"Sie verwenden eine Excel-Tabelle." + CR +
                                     u"Es wird empfohlen, diese mit dem entsprechenden Programm in " + CR +
                                     u"eine Access-Datenbank zu konvertieren, da jene ein erheblich" + CR +
                                     u"besseres Leistungsverhalten aufweisen."));
    });
}

bool TabellePrüfen(frmHaupt& f, Fehlerfalle& falle) {
    if (f.lstTabellen->ListIndex() < 0) {
        AchtungAnzeigen(Variante(u"Keine Tabelle ausgewählt."));
        return false;
    }
    if (!falle([&] { gTabelle1 = Trim(T(f.lstTabellen->Text())); })) return false;
    int32_t n = -1;
    if (!falle([&] {
            auto rs = Datenbank().OpenRecordset(gTabelle1);
            n = DatensätzeZählen(rs);
            RecordsetSchließen(rs);
        }))
        return false;
    if (n == 0) {
        AchtungAnzeigen(Variante(u"Tabelle enthält keine Datensätze."));
        return false;
    }
    return true;
}

}  // namespace

Text TabellennamenRegel(const Text& N) {
    const Text& v = gDAOVerbindung;
    TextSicht verboten;
    int32_t länge;
    Text zeichen, format;
    if (v == u"Dbase III;" || v == u"Dbase IV;" || v == u"Dbase 5;") {
        verboten = u":/\\*?[]";
        länge = 8;
        zeichen = u"( / \\ ? : [ ] * )";
        format = Text(u"einer dBase-Datenbank, oder ist länger als 8 Zeichen oder leer.");
    } else if (v == u"Excel 5.0;") {
        verboten = u":/\\*?[]$";
        länge = 31;
        zeichen = u"( / \\ ? : [ ] * $ )";
        format = Text(u"eines Excel-Tabellenblattes, oder ist länger als 31 Zeichen oder leer.");
    } else {
        verboten = u"!.[]'\"";
        länge = 64;
        zeichen = Text(u"( ! . [ ] ' ") + u"\"" + u" )";
        format = Text(u"einer Access-Datenbanktabelle, oder ist länger als 64 Zeichen oder leer.");
    }
    bool gut = !N.empty() && Len(N) <= länge;
    for (char16_t c : N)
        if (verboten.find(c) != TextSicht::npos) gut = false;
    if (gut) return {};
    return u"Der Name enthält ungültige Zeichen " + zeichen + u" für die Bezeichnung" + CR + format;
}

namespace {

bool ZieltabellePrüfen(frmHaupt& f, Fehlerfalle& falle) {
    Text N;
    if (!falle([&] {
            f.tbxZielTabelle->TextSetzen(Q(Trim(T(f.tbxZielTabelle->Text()))));
            N = T(f.tbxZielTabelle->Text());
        }))
        return false;
    if (const Text regel = TabellennamenRegel(N); !regel.empty()) {
        AchtungAnzeigen(Variante(regel));
        return false;
    }
    if (Großschreiben(Variante(N)) == Großschreiben(Variante(gTabelle1))) {
        AchtungAnzeigen(Variante(u"Die Zieltabelle kann nicht identisch mit der Ausgangstabelle sein."));
        return false;
    }
    // A run would drop or overwrite these; say so here rather than at its start.
    if (!ReservierteNamenPrüfen({N}, {})) return false;
    if (ZweiTabellen() && Großschreiben(Variante(N)) == Großschreiben(Variante(gTabelle2))) {
        AchtungAnzeigen(Variante(u"Die Zieltabelle kann nicht identisch mit der zweiten Tabelle sein."));
        return false;
    }
    int16_t i = -1;
    Text gespeichert;
    if (!falle([&] {
            i = TabellenIndexErmitteln(Variante(N));
            if (i >= 0) gespeichert = Datenbank().TableDefs()[i]->Name();
        }))
        return false;
    if (i >= 0) {
        const int antwort = f.Meldung(u"Die Tabelle \"" + gespeichert + u"\" existiert bereits." + CR +
                                          u"Soll sie überschrieben werden?",
                                      vb::YesNo + vb::Exclamation, Text());
        if (antwort == vb::No) return false;
    }
    gZieltabelle = N;
    return true;
}

bool SuchoptionenPrüfen(frmHaupt& f) {
    for (auto* c : f.cbxSuchFeld)
        if (c->ListIndex() != 0) return true;
    AchtungAnzeigen(Variante(u"Mindestens ein Feld muss ausgewählt werden."));
    return false;
}

bool SplittenPrüfen(frmHaupt& f, Fehlerfalle& falle) {
    if (!falle([&] {
            for (auto* t : {f.tbxSplitten1, f.tbxSplitten2, f.tbxSplitten3}) t->TextSetzen(Q(Trim(T(t->Text()))));
        }))
        return false;
    // The checks the run makes itself, so that page and run agree.
    bool gut = false;
    if (!falle([&] { gut = SplittenEingabenPrüfen(Variante(gTabelle1)); })) return false;
    return gut;
}

bool VerschmelzenPrüfen(frmHaupt& f, Fehlerfalle& falle) {
    if (!falle([&] { f.tbxVerschmolzen->TextSetzen(Q(Trim(T(f.tbxVerschmolzen->Text())))); })) return false;
    bool gut = false;
    if (!falle([&] { gut = VerschmelzenEingabenPrüfen(Variante(gTabelle1)); })) return false;
    return gut;
}

bool ZweiteTabellePrüfen(forms::Kombinationsfeld* cbx, Fehlerfalle& falle) {
    const Text t = T(cbx->Text());
    if (t == gTabelle1) {
        AchtungAnzeigen(Variante(u"Die 2. Tabelle kann nicht identisch mit der 1. Tabelle sein."));
        return false;
    }
    return falle([&] { gTabelle2 = t; });
}

bool SeitePrüfen(frmHaupt& f, int16_t s, Fehlerfalle& falle) {
    switch (s) {
        case 2: return DatenbankPrüfen(f, falle);
        case 3: return TabellePrüfen(f, falle);
        case 4: return ZieltabellePrüfen(f, falle);
        case 11: return SuchoptionenPrüfen(f);
        case 31: return SplittenPrüfen(f, falle);
        case 41: return VerschmelzenPrüfen(f, falle);
        case 51: return ZweiteTabellePrüfen(f.cbxDatenabgleich, falle);
        case 61: return ZweiteTabellePrüfen(f.cbxNeueDaten, falle);
        default: return true;
    }
}

// ---- set-up on entering a page ----

// The names of the tables a user sees: those without attribute bits.
std::vector<Text> Benutzertabellen() {
    std::vector<Text> namen;
    auto& tabellen = Datenbank().TableDefs();
    for (int32_t i = 0; i < tabellen.Count(); ++i)
        if (tabellen[i]->Attributes() == 0) namen.push_back(tabellen[i]->Name());
    return namen;
}

bool TabellenlisteEinrichten(frmHaupt& f, Fehlerfalle& falle) {
    if (!falle([] { gVorgang = VorgangKeiner; })) return false;
    if (!falle([&] {
            f.lstTabellen->Clear();
            f.lblGeändert->CaptionSetzen(QString());
            f.lblGröße->CaptionSetzen(QString());
        }))
        return false;
    return falle([&] {
        for (const Text& n : Benutzertabellen()) f.lstTabellen->AddItem(Q(n));
    });
}

bool ZielnamenVorschlagen(frmHaupt& f, Fehlerfalle& falle) {
    Text basis = TextEntfernen(gTabelle1, u"$");
    if (const auto p = basis.find(u" _#"); p != Text::npos) basis.resize(p);
    const QDate heute = f.Heute();
    const Text datum = u"__" + Zahl(heute.day()) + u"_" + Zahl(heute.month()) + u"_" + Zahl(heute.year());
    Text kandidat;
    return falle([&] {
        for (int64_t n = 1;; ++n) {
            kandidat = basis + u" _#" + Zahl(n) + datum;
            if (TabellenIndexErmitteln(Variante(kandidat)) == -1) break;
        }
        f.tbxZielTabelle->TextSetzen(Q(kandidat));
    });
}

// The sort columns the search presets, in the order of cbxSuchFeld; a second
// type is tried when the first has no column.
struct Vorbesetzung {
    int16_t Gruppe;
    Typcode Code;
    int16_t ErsatzGruppe = -1;
    Typcode Ersatz = 0;
};
constexpr Vorbesetzung Suchvorgaben[9] = {
    {2, 21, 4, 43}, {3, 33}, {3, 31}, {5, 51}, {5, 52}, {2, 21}, {3, 33}, {3, 34}, {2, 21},
};

bool SuchoptionenEinrichten(frmHaupt& f, Fehlerfalle& falle) {
    std::vector<Text> spalten;
    if (!falle([&] { spalten = Spaltennamen(gTabelle1); })) return false;
    for (auto* c : f.cbxSuchFeld)
        if (!falle([&] {
                c->Clear();
                c->AddItem(QStringLiteral("*** Unbenutzt ***"));
                for (const Text& s : spalten) c->AddItem(Q(s));
                c->ListIndexSetzen(0);
            }))
            return false;
    for (int i = 0; i < 9; ++i) {
        const Vorbesetzung& v = Suchvorgaben[i];
        if (!falle([&] {
                int16_t k = SpalteSuchen(gFelder1, v.Gruppe, v.Code);
                if (k == -1 && v.ErsatzGruppe >= 0) k = SpalteSuchen(gFelder1, v.ErsatzGruppe, v.Ersatz);
                if (k == -1) return;
                if (k >= static_cast<int16_t>(spalten.size())) FehlerAuslösen(9);
                f.cbxSuchFeld[i]->TextSetzen(Q(spalten[k]));
            }))
            return false;
    }
    return true;
}

bool SpaltenlistenEinrichten(Fehlerfalle& falle, forms::Kombinationsfeld* a, forms::Kombinationsfeld* b) {
    std::vector<Text> spalten;
    if (!falle([&] { spalten = Spaltennamen(gTabelle1); })) return false;
    return falle([&] {
        for (auto* c : {a, b}) {
            c->Clear();
            for (const Text& s : spalten) c->AddItem(Q(s));
            if (!spalten.empty()) c->TextSetzen(Q(spalten.front()));
        }
    });
}

const char16_t* const Splittentypen[6] = {
    u"Postleitzahl+Ort   --->   Postleitzahl  |  Ort",
    u"Straße+Hausnummer   --->   Straße  |  Hausnummer",
    u"Anrede+Vorname+Name   --->   Anrede  |  Vorname  |  Name",
    u"Vorwahl+Durchwahl   --->   Vorwahl  |  Durchwahl",
    u"Vorwahl+Telefon  |  Vorwahl+Telefax   --->   Vorwahl  |  Telefon  |  Telefax",
    u"Beliebig+Beliebig   --->   Beliebig  |  Beliebig",
};

bool SplittenEinrichten(frmHaupt& f, Fehlerfalle& falle) {
    if (!SpaltenlistenEinrichten(falle, f.cbxSplitten1, f.cbxSplitten2)) return false;
    if (!falle([&] {
            f.cbxSplittenTypus->Clear();
            for (const char16_t* t : Splittentypen) f.cbxSplittenTypus->AddItem(Q(t));
        }))
        return false;
    return falle([&] { f.cbxSplittenTypus->ListIndexSetzen(0); });
}

bool ZweiteTabelleEinrichten(forms::Kombinationsfeld* cbx, Fehlerfalle& falle) {
    return falle([&] {
        cbx->Clear();
        for (const Text& n : Benutzertabellen()) cbx->AddItem(Q(n));
        if (cbx->ListCount() > 0) cbx->ListIndexSetzen(0);
    });
}

bool SeiteEinrichten(frmHaupt& f, int16_t s, Fehlerfalle& falle) {
    switch (s) {
        case 3: return TabellenlisteEinrichten(f, falle);
        case 4: return ZielnamenVorschlagen(f, falle);
        case 5: return falle([] { gVorgang = VorgangKeiner; });
        case 6: return falle([&] { f.pgbTeilFortschritt->ValueSetzen(0); });
        case 7:
            if (!falle(
                    [&] { f.Rahmen(7)->CaptionSetzen(Q(u" Zuordnung der Felder von '" + gZuordnungTabelle + u"' ")); }))
                return false;
            return falle([] { FeldtypenErraten(gZuordnungTabelle, gZuordnung, gAnzahlFelder, u"lstFelder", true); });
        case 11: return SuchoptionenEinrichten(f, falle);
        case 31: return SplittenEinrichten(f, falle);
        case 41: return SpaltenlistenEinrichten(falle, f.cbxVerschmelzen1, f.cbxVerschmelzen2);
        case 51: return ZweiteTabelleEinrichten(f.cbxDatenabgleich, falle);
        case 61: return ZweiteTabelleEinrichten(f.cbxNeueDaten, falle);
        case 13:
        case 23:
        case 53:
        case 63: return ProtokollEinrichten(f, s, falle);
        default: return true;
    }
}

// Shows a page again after a change that could not enter its target, so that
// a page is always visible.
void Zurückfallen(int16_t seite) {
    if (gAktuellerRahmen != -1 || seite < 0) return;
    const bool fehler = gFehlerAbbruch;
    RahmenÖffnen(seite, false);
    gFehlerAbbruch = fehler;
}

// Runs an operation from its option page; the window takes no second start meanwhile.
void VorgangStarten(frmHaupt& f, int16_t seite) {
    f.LaufAktivSetzen(true);
    const Variante t1(gTabelle1), t2(gTabelle2), ziel(gZieltabelle);
    switch (seite) {
        case 11:
            if (gVorgang == VorgangDubletten) DublettensucheStarten(t1, ziel);
            else if (gVorgang == VorgangDatenabgleich) DatenabgleichStarten(t1, t2, ziel, gFelder1, gFelder2);
            else if (gVorgang == VorgangNeueDaten) NeueDatenStarten(t1, t2, ziel, gFelder1, gFelder2);
            break;
        case 21: MüllsucheStarten(t1, ziel); break;
        case 31: FelderSplitten(t1, ziel); break;
        case 41: FelderVerschmelzen(t1, ziel); break;
        default: break;
    }
    f.LaufAktivSetzen(false);
    // A run whose last page change failed ends on the table page.
    if (gAktuellerRahmen == -1) {
        RahmenÖffnen(rahmen::Tabelle, true);
        Zurückfallen(rahmen::Tabelle);
    }
}

}  // namespace

bool RahmenSchließen(int16_t Seite, bool Prüfen) {
    // No page is shown (a run cancelled before its first page): nothing to leave.
    if (Seite == -1) {
        gAktuellerRahmen = -1;
        return true;
    }
    frmHaupt& f = Haupt();
    Fehlerfalle falle([Seite] { return u"Fehler beim Schließen des Rahmens " + Zahl(Seite) + u"."; });
    if (Prüfen && (!SeitePrüfen(f, Seite, falle) || falle.abgebrochen())) return false;
    if (!falle([&] { KnopfleisteBeimSchließen(f, Seite); })) return false;
    if (!falle([&] {
            forms::Rahmenfeld* r = f.Rahmen(Seite);
            if (!r) FehlerAuslösen(340, u"Steuerelementfeld-Element '" + Zahl(Seite) + u"' existiert nicht");
            r->hide();
        }))
        return false;
    gAktuellerRahmen = -1;
    return true;
}

void RahmenÖffnen(int16_t Seite, bool Einrichten) {
    frmHaupt& f = Haupt();
    Fehlerfalle falle([Seite] { return u"Fehler beim Öffnen des Rahmens " + Zahl(Seite) + u"."; });
    if (!falle([&] { KnopfleisteBeimÖffnen(f, Seite); })) return;
    if (Einrichten && (!SeiteEinrichten(f, Seite, falle) || falle.abgebrochen())) return;
    if (!falle([&] {
            forms::Rahmenfeld* r = f.Rahmen(Seite);
            if (!r) FehlerAuslösen(340, u"Steuerelementfeld-Element '" + Zahl(Seite) + u"' existiert nicht");
            r->show();
            r->raise();
        }))
        return;
    gAktuellerRahmen = Seite;
}

void RahmenWechseln(int16_t Von, int16_t Nach, bool Prüfen, bool Einrichten) {
    if (!RahmenSchließen(Von, Prüfen)) return;
    RahmenÖffnen(Nach, Einrichten);
    // Outside a run the page that was left comes back; a run ends on the table page.
    if (!Haupt().LaufAktiv()) Zurückfallen(Von);
}

int16_t NächsteSeite(int16_t s) {
    switch (s) {
        case 0:
        case 1:
        case 2: return s + 1;
        case 3: return 5;
        case 4:
            switch (gVorgang) {
                case VorgangDubletten:
                case VorgangDatenabgleich:
                case VorgangNeueDaten: return 11;
                case VorgangMüll: return 21;
                case VorgangSplitten: return 31;
                case VorgangVerschmelzen: return 41;
                default: return -1;
            }
        case 7: return ZweiTabellen() && gZuordnungNr == 1 ? 7 : 4;
        case 51:
        case 61: return 7;
        default: return IstProtokoll(s) ? 3 : -1;
    }
}

int16_t VorigeSeite(int16_t s) {
    switch (s) {
        case 2:
        case 3: return s - 1;
        case 4:
            switch (gVorgang) {
                case VorgangDubletten:
                case VorgangMüll:
                case VorgangDatenabgleich:
                case VorgangNeueDaten: return 7;
                case VorgangSplitten:
                case VorgangVerschmelzen: return 5;
                default: return -1;
            }
        case 5: return 3;
        case 7:
            if (!ZweiTabellen()) return 5;
            if (gZuordnungNr != 1) return 7;
            return gVorgang == VorgangDatenabgleich ? 51 : 61;
        case 11:
        case 21:
        case 31:
        case 41: return 4;
        case 51:
        case 61: return 5;
        default: return -1;
    }
}

void btnWeiter_Click() {
    frmHaupt& f = Haupt();
    if (f.LaufAktiv()) return;
    const int16_t s = gAktuellerRahmen;
    if (IstOptionsseite(s)) {
        if (RahmenSchließen(s, true)) VorgangStarten(f, s);
        return;
    }
    const int16_t nach = NächsteSeite(s);
    if (nach < 0) return;
    if (s == 7) {
        if (ZweiTabellen() && gZuordnungNr == 1) {
            gFelder1 = gZuordnung;
            gZuordnungNr = 2;
            gZuordnungTabelle = gTabelle2;
        } else if (ZweiTabellen()) {
            gFelder2 = gZuordnung;
        } else {
            gFelder1 = gZuordnung;
        }
    } else if (s == 51 || s == 61) {
        gZuordnungNr = 1;
        gZuordnungTabelle = gTabelle1;
    }
    RahmenWechseln(s, nach, true, true);
}

void btnZurück_Click() {
    frmHaupt& f = Haupt();
    const int16_t s = gAktuellerRahmen;
    if (s == rahmen::Durchführung) {
        AbbruchFragen();
        return;
    }
    if (f.LaufAktiv()) return;
    const int16_t nach = VorigeSeite(s);
    if (nach < 0) return;
    bool einrichten = s == 5;
    if (s == 4 && ZweiTabellen()) {
        gZuordnungNr = 2;
        gZuordnungTabelle = gTabelle2;
    } else if (s == 7 && ZweiTabellen() && gZuordnungNr != 1) {
        gZuordnungNr = 1;
        gZuordnungTabelle = gTabelle1;
        einrichten = true;
    }
    RahmenWechseln(s, nach, false, einrichten);
}

void btnAuswahl_Click(int Index) {
    frmHaupt& f = Haupt();
    if (f.LaufAktiv() || gAktuellerRahmen != rahmen::Vorgang) return;
    static constexpr Vorgang vorgänge[6] = {VorgangVerschmelzen, VorgangSplitten,      VorgangMüll,
                                            VorgangDubletten,    VorgangDatenabgleich, VorgangNeueDaten};
    static constexpr int16_t seiten[6] = {4, 4, 7, 7, 51, 61};
    if (Index < 0 || Index > 5) return;
    gVorgang = vorgänge[Index];
    if (Index == 2 || Index == 3) gZuordnungTabelle = gTabelle1;
    RahmenWechseln(rahmen::Vorgang, seiten[Index], true, true);
}

void AbbruchFragen() {
    if (Haupt().Meldung(u"Wollen sie den aktuellen Vorgang wirklich abbrechen?",
                        vb::YesNo + vb::Exclamation + vb::DefaultButton2, Text()) == vb::Yes)
        gAbbruch = true;
}
