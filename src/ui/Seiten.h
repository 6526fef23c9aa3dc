#pragma once
// The pages of the main window: each family of pages builds its controls with
// their static texts and initial states, and holds its own handlers.
#include "platform/basic/Text.h"

class frmHaupt;

// The caption of a page's frame as designed, blanks included.
Text Rahmenbeschriftung(int seite);

void SeitenAllgemeinBauen(frmHaupt& f);   // 0 to 5, 7, 51 and 61
void SeiteDurchführungBauen(frmHaupt& f); // 6
void SeitenOptionenBauen(frmHaupt& f);    // 11, 21, 31 and 41
void SeitenProtokollBauen(frmHaupt& f);   // 12, 13, 22, 23, 32, 42, 53 and 63

// The progress page's timers.
void tmrFortschritt_Timer();
void tmrDauer_Timer();
