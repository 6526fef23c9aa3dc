// The database and table pages' own controls: the file dialog, the table's
// information, deleting and renaming a table.
#include <cmath>
#include <string>

#include <QDateTime>

#include "foundation/mdlAllgemeines.h"
#include "foundation/mdlDatenbank.h"
#include "foundation/mdlDeklarationen.h"
#include "foundation/mdlMeldungen.h"
#include "foundation/mdlRegistry.h"
#include "platform/dao/Dao.h"
#include "platform/registry/Registry.h"
#include "ui/Beispiel.h"
#include "ui/Seiten.h"
#include "ui/frmHaupt.h"
#include "ui/mdlRahmen.h"

using forms::Q;
using forms::T;

namespace {

const Text CR(1, u'\r');

Text Zahl(int64_t n) { return ausUtf8(std::to_string(n)); }

const char16_t* const Dateifilter = u"Alle Datendateien (*.mdb;*.xls;*.dbf)|*.MDB;*.XLS;*.DBF|"
                                    u"Microsoft Access Datenbank (*.mdb)|*.MDB|"
                                    u"Microsoft Excel Tabelle (*.xls)|*.XLS|"
                                    u"dBase 5 Datenbank (*.dbf)|*.DBF|"
                                    u"dBase IV Datenbank (*.dbf)|*.DBF|"
                                    u"dBase III Datenbank (*.dbf)|*.DBF|";

// The list of the user's tables afresh, nothing selected, both labels empty.
void TabellenlisteNeu(frmHaupt& f) {
    f.lstTabellen->Clear();
    f.lblGeändert->CaptionSetzen(QString());
    f.lblGröße->CaptionSetzen(QString());
    auto& tabellen = Datenbank().TableDefs();
    for (int32_t i = 0; i < tabellen.Count(); ++i)
        if (tabellen[i]->Attributes() == 0) f.lstTabellen->AddItem(Q(tabellen[i]->Name()));
}

// A date of the engine (days since 30.12.1899) as the clock shows it.
QDateTime AlsDatumZeit(double tage) {
    const double ganz = std::floor(tage);
    const auto sekunden = static_cast<int64_t>(std::llround((tage - ganz) * 86400.0));
    return QDateTime(QDate(1899, 12, 30).addDays(static_cast<int64_t>(ganz)), QTime(0, 0)).addSecs(sekunden);
}

}  // namespace

Text GeändertText(double tage) {
    static const char16_t* const monate[12] = {u"Januar",    u"Februar", u"März",     u"April",
                                               u"Mai",       u"Juni",    u"Juli",     u"August",
                                               u"September", u"Oktober", u"November", u"Dezember"};
    const QDateTime z = AlsDatumZeit(tage);
    const int minute = z.time().minute();
    return u"Zuletzt geändert am :" + CR + CR + Zahl(z.date().day()) + u". " + monate[z.date().month() - 1] + u" " +
           Zahl(z.date().year()) + CR + u"um " + Zahl(z.time().hour()) + u"." + (minute < 10 ? u"0" : u"") +
           Zahl(minute) + u" Uhr";
}

void btnDatenbankAuswählen_Click() {
    frmHaupt& f = Haupt();
    forms::Dateiauswahl a;
    a.Flags = forms::DateiMussExistieren | forms::SchreibschutzAusblenden;
    a.Filter = Q(Dateifilter);
    a.FilterIndex = 1;
    const Variante ordner = RegWertLesen(registry::HKEY_CURRENT_USER, gRegSchlüssel, u"SV");
    a.InitDir = ordner.istText() ? Q(ordner.text()) : QString();
    // Before any database was chosen, the sample shipped with the program is where the dialog starts.
    if (a.InitDir.isEmpty()) a.InitDir = Q(BeispielordnerBereitstellen());
    if (!f.Dialoge().DateiÖffnen(a)) return;
    f.tbxDatenbankName->TextSetzen(a.FileName);
    // The key is made before its first value, so the folder is remembered from the first choice on.
    RegSchlüsselAnlegen(registry::HKEY_CURRENT_USER, gRegSchlüssel);
    RegWertSchreiben(registry::HKEY_CURRENT_USER, gRegSchlüssel, u"SV", 1,
                     Variante(VerzeichnisErmitteln(Variante(T(a.FileName)))));
    switch (a.FilterIndex) {
        case 2: gDAOVerbindung = u"Access"; break;
        case 3: gDAOVerbindung = u"Excel 5.0;"; break;
        case 4: gDAOVerbindung = u"Dbase 5;"; break;
        case 5: gDAOVerbindung = u"Dbase IV;"; break;
        case 6: gDAOVerbindung = u"Dbase III;"; break;
        default: break;
    }
}

void lstTabellen_Click() {
    frmHaupt& f = Haupt();
    // A list just emptied selects nothing and has nothing to show.
    if (f.lstTabellen->ListIndex() < 0) return;
    const Text name = T(f.lstTabellen->Text());
    Fehlerfalle falle([name] { return u"Fehler beim Anzeigen der Tabelle '" + name + u"'."; }, false);
    Variante geändert;
    if (!falle([&] { geändert = Datenbank().TableDefs()[name]->LastUpdated(); })) return;
    if (!falle([&] {
            if (geändert.istNull() || geändert.istEmpty()) FehlerAuslösen(94, u"Unzulässige Verwendung von Null");
            f.lblGeändert->CaptionSetzen(Q(GeändertText(geändert.alsDouble())));
        }))
        return;
    dao::RecordsetPtr rs;
    if (!falle([&] { rs = Datenbank().OpenRecordset(name); })) return;
    if (!falle([&] {
            if (rs->EOF_()) {
                f.lblGröße->CaptionSetzen(QStringLiteral("Keine Datensätze vorhanden"));
            } else {
                rs->MoveLast();
                f.lblGröße->CaptionSetzen(Q(Zahl(rs->RecordCount()) + u" Datensätz(e)"));
            }
        }))
        return RecordsetSchließen(rs);
    falle([&] { rs->Close(); });
}

void cmdTabelleLöschen_Click() {
    frmHaupt& f = Haupt();
    if (f.lstTabellen->ListIndex() < 0) {
        AchtungAnzeigen(Variante(u"Keine Tabelle ausgewählt."));
        return;
    }
    const Text name = T(f.lstTabellen->Text());
    if (f.Meldung(u"Sind sie sich sicher, dass sie die Tabelle \"" + name + u"\"" + CR +
                      u"inklusive sämtlicher enthaltener Datensätze löschen möchten?",
                  vb::YesNo + vb::Information + vb::DefaultButton2, Text()) != vb::Yes)
        return;
    Fehlerfalle falle([name] { return u"Fehler beim Löschen der Tabelle '" + name + u"'."; }, false);
    bool offen = false;
    const bool weiter = falle([&] {
                            Arbeitsbereich().BeginTrans();
                            offen = true;
                        }) &&
                        falle([&] { Datenbank().TableDefs().Delete(name); }) && falle([&] {
                            Arbeitsbereich().CommitTrans();
                            offen = false;
                        });
    // No later run may nest inside a transaction this handler left open.
    if (offen) Fehlerfalle::ohneFehler([] { Arbeitsbereich().Rollback(); });
    if (!weiter) return;
    DatenbankSpeichern();
    falle([&] { TabellenlisteNeu(f); });
}

void cmdTabelleUmbenennen_Click() {
    frmHaupt& f = Haupt();
    if (f.lstTabellen->ListIndex() < 0) {
        AchtungAnzeigen(Variante(u"Keine Tabelle ausgewählt."));
        return;
    }
    const Text name = T(f.lstTabellen->Text());
    const Text neu = T(f.Dialoge().InputBox(Q(u"\"" + name + u"\" umbennen in: "), QString(), QString()));
    if (neu.empty()) return;
    // The new name must be one the format holds and no other table's.
    if (const Text regel = TabellennamenRegel(neu); !regel.empty()) {
        AchtungAnzeigen(Variante(regel));
        return;
    }
    Fehlerfalle falle([name] { return u"Fehler beim Umbenennen der Tabelle '" + name + u"'."; }, false);
    bool frei = true;
    if (!falle([&] {
            auto& tabellen = Datenbank().TableDefs();
            for (int32_t i = 0; i < tabellen.Count(); ++i) {
                const Text andere = tabellen[i]->Name();
                if (andere != name && Großschreiben(Variante(andere)) == Großschreiben(Variante(neu))) frei = false;
            }
        }))
        return;
    if (!frei) {
        AchtungAnzeigen(Variante(u"Eine Tabelle namens \"" + neu + u"\" existiert bereits."));
        return;
    }
    if (!falle([&] { Datenbank().TableDefs()[name]->Name(neu); })) return;
    DatenbankSpeichern();
    falle([&] { TabellenlisteNeu(f); });
}

void DatenbankseitenVerbinden(frmHaupt& f) {
    f.btnDatenbankAuswählen->Click = btnDatenbankAuswählen_Click;
    f.lstTabellen->Click = lstTabellen_Click;
    f.cmdTabelleLöschen->Click = cmdTabelleLöschen_Click;
    f.cmdTabelleUmbenennen->Click = cmdTabelleUmbenennen_Click;
}
