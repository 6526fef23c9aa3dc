// The option pages keep themselves consistent: the split type arranges its
// sentence, and master boxes enable what depends on them. Nothing here changes
// a value the user chose.
#include "ui/Seiten.h"
#include "ui/frmHaupt.h"

void cbxSplittenTypus_Click() {
    frmHaupt& f = Haupt();
    const int t = f.cbxSplittenTypus->ListIndex();
    if (t < 0 || t > 5) return;
    const bool zwei = t == 4;
    f.lblSplitten1->CaptionSetzen(zwei ? QStringLiteral("Die Felder") : QStringLiteral("Das Feld"));
    f.lblSplitten2->CaptionSetzen(zwei ? QStringLiteral("werden in mehrere Felder aufgespalten.")
                                       : QStringLiteral("wird in mehrere Felder aufgespalten."));
    f.lblSplitten3->setVisible(zwei);
    f.cbxSplitten2->setVisible(zwei);
    f.tbxSplitten3->setEnabled(t == 2 || t == 4);
    f.lblSplitten4->setVisible(t == 5);
    f.shpSplitten_Verdeutlichung->setVisible(t == 5);
    f.tbxSplitten_Trennzeichen->setEnabled(t == 5);
}

namespace {
void Freigeben(forms::Kontrollkästchen* meister, std::initializer_list<QWidget*> abhängige) {
    const bool an = meister->Value() != 0;
    for (QWidget* w : abhängige) w->setEnabled(an);
}
}  // namespace

void chkFirmenname_Click() { Freigeben(Haupt().chkFirmenname, {Haupt().chkRechtsform}); }
void chkPostalisch_Click() { Freigeben(Haupt().chkPostalisch, {Haupt().chkHausnummer}); }
void chkKontakt_Click() {
    frmHaupt& f = Haupt();
    Freigeben(f.chkKontakt, {f.chkAnrede, f.chkVorname, f.chkNachname, f.chkAbteilung});
}
void chkTelefon_Click() { Freigeben(Haupt().chkTelefon, {Haupt().chkFax}); }

void chkSucheDurchführen_Click(int Index) {
    if (Index != 1 && Index != 2) return;
    frmHaupt& f = Haupt();
    const bool an = f.chkSucheDurchführen[Index]->Value() == 1;
    for (int j = 0; j < 3; ++j) f.cbxSuchFeld[3 * Index + j]->setEnabled(an);
    f.sdrZeichenRichtig[Index]->setEnabled(an);
}

void OptionsregelnVerbinden(frmHaupt& f) {
    f.cbxSplittenTypus->Click = cbxSplittenTypus_Click;
    f.chkFirmenname->Click = chkFirmenname_Click;
    f.chkPostalisch->Click = chkPostalisch_Click;
    f.chkKontakt->Click = chkKontakt_Click;
    f.chkTelefon->Click = chkTelefon_Click;
    for (int i = 0; i < 3; ++i) f.chkSucheDurchführen[i]->Click = [i] { chkSucheDurchführen_Click(i); };
}
