#pragma once
// The pages of the main window: each family of pages builds its controls with
// their static texts and initial states, and holds its own handlers.
#include <cstdint>

#include "platform/basic/Text.h"

class frmHaupt;
class QPoint;

// The caption of a page's frame as designed, blanks included.
Text Rahmenbeschriftung(int seite);

void SeitenAllgemeinBauen(frmHaupt& f);    // 0 to 5, 7, 51 and 61
void SeiteDurchführungBauen(frmHaupt& f);  // 6
void SeitenOptionenBauen(frmHaupt& f);     // 11, 21, 31 and 41
void SeitenProtokollBauen(frmHaupt& f);    // 12, 13, 22, 23, 32, 42, 53 and 63

// The field-assignment page: its menu of field types and the press on a row.
void FeldartenmenüBauen(frmHaupt& f);
void lstFelder_MouseDown(int Button, const QPoint& Position);
void smnFeldArten_Click(int Index);
void smnUnternehmen_Click(int Index);
void smnAdresse_Click(int Index);
void smnKontakt_Click(int Index);
void smnKommunikation_Click(int Index);
void smnInternet_Click(int Index);

// The database and table pages' own controls.
void DatenbankseitenVerbinden(frmHaupt& f);
void btnDatenbankAuswählen_Click();
void lstTabellen_Click();
void cmdTabelleLöschen_Click();
void cmdTabelleUmbenennen_Click();
// "Zuletzt geändert am :" with the date and time of an engine date.
Text GeändertText(double tage);

// The option pages' handlers, joined to their controls.
void OptionsregelnVerbinden(frmHaupt& f);
void cbxSplittenTypus_Click();
void chkFirmenname_Click();
void chkPostalisch_Click();
void chkKontakt_Click();
void chkTelefon_Click();
void chkSucheDurchführen_Click(int Index);

// The chart of result page 13, 23, 53 or 63; false when the trap was aborted.
class Fehlerfalle;
bool ProtokollEinrichten(frmHaupt& f, int16_t seite, Fehlerfalle& falle);

// The progress page's timers.
void tmrFortschritt_Timer();
void tmrDauer_Timer();
