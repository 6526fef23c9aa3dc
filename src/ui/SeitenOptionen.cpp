// The option pages: search options, junk criteria, field split and field
// merge, with the states their controls have when the window is created.
#include <QApplication>
#include <QFontMetrics>
#include <QStyle>

#include "ui/Seiten.h"
#include "ui/Seitenbau.h"

namespace {

QString Name(const char16_t* n) { return forms::Q(n); }

// A small square in front of a line of the split and merge sentences, centred on its letters.
forms::Figur* Markierung(Seitenbau& b, int oben, const QString& name = {}) {
    forms::Figur* m = name.isEmpty() ? new forms::Figur(b.seite) : b.Element<forms::Figur>(name, 0, 0, 0, 0);
    forms::Platzieren(m, 360, oben + 45, 120, 120);
    m->FüllfarbeSetzen(QColor(0x1f, 0x4e, 0x79));
    return m;
}

void SuchoptionenBauen(frmHaupt& f) {
    Seitenbau b(f, 11);
    b.Text(QStringLiteral("Sortierung nach den Feldern:"), 2580, 420, 5160, 255);
    b.Text(QStringLiteral("Gleiche Anfangszeichen:"), 7860, 420, 1620, 480);
    const char16_t* pässe[3] = {u"1. Suche durchführen:", u"2. Suche durchführen:", u"3. Suche durchführen:"};
    const int häkchen[3] = {1, 1, 0};
    for (int p = 0; p < 3; ++p) {
        const int oben = 1020 + p * 720;
        f.chkSucheDurchführen[p] =
            b.Häkchen(QStringLiteral("chkSucheDurchführen"), p, Name(pässe[p]), häkchen[p], 360, oben, 2160);
        for (int j = 0; j < 3; ++j) {
            auto* c = b.Element<forms::Kombinationsfeld>(QStringLiteral("cbxSuchFeld"), 3 * p + j, 2580 + j * 1740,
                                                         oben - 45, 1650, 345);
            c->setAccessibleName(QStringLiteral("%1. Suche, %2. Sortierfeld").arg(p + 1).arg(j + 1));
            f.cbxSuchFeld[3 * p + j] = c;
        }
        auto* s = b.Element<forms::Schieberegler>(QStringLiteral("sdrZeichenRichtig"), p, 7860, oben - 90, 1500, 420);
        s->setRange(1, 10);
        s->setValue(3);
        s->setAccessibleName(QStringLiteral("%1. Suche, gleiche Anfangszeichen").arg(p + 1));
        f.sdrZeichenRichtig[p] = s;
    }
    // The third pass starts switched off, its lists and slider with it.
    for (int i = 6; i < 9; ++i) f.cbxSuchFeld[i]->setEnabled(false);
    f.sdrZeichenRichtig[2]->setEnabled(false);

    b.Text(QStringLiteral("Nötige Über- einstimmung:"), 360, 3360, 1320, 480);
    // Under the sort lists, so that the outer scale labels keep clear of the two-line label.
    const int regler = 2580, reglerbreite = 3 * 1740 - 90;
    f.sdrToleranz = b.Element<forms::Schieberegler>(QStringLiteral("sdrToleranz"), regler, 3300, reglerbreite, 420);
    f.sdrToleranz->setRange(0, 3);
    f.sdrToleranz->setValue(1);
    f.sdrToleranz->setAccessibleName(QStringLiteral("Nötige Übereinstimmung"));
    const char16_t* stufen[4] = {u"Sehr hoch", u"hoch", u"niedrig", u"Sehr niedrig"};
    // Each scale label centred under its tick; the ticks stand half a handle in from the ends.
    const int griff =
        forms::Twips(f.sdrToleranz->style()->pixelMetric(QStyle::PM_SliderLength, nullptr, f.sdrToleranz));
    const int erste = regler + griff / 2, schritt = (reglerbreite - griff) / 3;
    for (int k = 0; k < 4; ++k) {
        auto* l = b.Text(Name(stufen[k]), erste + k * schritt - 720, 3750, 1440, 255);
        l->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    }
    f.chkQuickSuche =
        b.Häkchen(QStringLiteral("chkQuickSuche"), -1, QStringLiteral("Quicksuch-Modus"), 1, 360, 4500, 4200);
    f.chkAnsprechpartnerDifferenzieren =
        b.Häkchen(QStringLiteral("chkAnsprechpartnerDifferenzieren"), -1,
                  QStringLiteral("Mehrere Ansprechpartner pro Unternehmen zulassen"), 1, 360, 4920, 6000);
}

void MüllKriterienBauen(frmHaupt& f) {
    Seitenbau b(f, 21);
    b.Text(QStringLiteral("Markieren sie die Felder, welche bei der Suche berücksichtigt werden sollen."), 360, 420,
           8880, 480);
    struct Kästchen {
        forms::Kontrollkästchen** ziel;
        const char16_t* name;
        const char16_t* caption;
        int wert;
        bool aktiv;
        int links, oben;
    };
    const int l = 600, e = 960, r = 5160, r2 = 5520, z = 330, o = 1080;
    const Kästchen kästchen[] = {
        {&f.chkFirmenname, u"chkFirmenname", u"Firmenname", 1, true, l, o},
        {&f.chkRechtsform, u"chkRechtsform", u"+ Rechtsform", 0, true, e, o + z},
        {&f.chkBranche, u"chkBranche", u"Branche", 0, true, l, o + 2 * z},
        {&f.chkPostalisch, u"chkPostalisch", u"Postalische Kontrolle", 1, true, l, o + 3 * z},
        {&f.chkHausnummer, u"chkHausnummer", u"+ Hausnummer", 1, true, e, o + 4 * z},
        {&f.chkKontakt, u"chkKontakt", u"Kontakt", 0, true, l, o + 5 * z},
        {&f.chkAnrede, u"chkAnrede", u"Anrede", 0, false, e, o + 6 * z},
        {&f.chkVorname, u"chkVorname", u"Vorname", 0, false, e, o + 7 * z},
        {&f.chkNachname, u"chkNachname", u"Nachname", 1, false, e, o + 8 * z},
        {&f.chkAbteilung, u"chkAbteilung", u"Abteilung / Position", 0, false, e, o + 9 * z},
        {&f.chkTelefon, u"chkTelefon", u"Telefonnummer", 1, true, r, o},
        {&f.chkFax, u"chkFax", u"+ Faxnummer", 0, true, r2, o + z},
        {&f.chkEmail, u"chkEmail", u"Emailadresse", 0, true, r, o + 2 * z},
        {&f.chkInternet, u"chkInternet", u"Internetseite", 0, true, r, o + 3 * z},
    };
    for (const Kästchen& k : kästchen) {
        auto* c = b.Häkchen(Name(k.name), -1, Name(k.caption), k.wert, k.links, k.oben, 3600);
        c->setEnabled(k.aktiv);
        *k.ziel = c;
    }
    b.Text(QStringLiteral("\"Postalische Kontrolle\" beinhaltet Postleitzahl, Ort und Straße."), 360, 4800, 8880, 255);
}

void SplittenBauen(frmHaupt& f) {
    Seitenbau b(f, 31);
    b.Text(QStringLiteral("Machen sie bitte die folgenden Angaben:"), 360, 420, 8880, 255);

    Markierung(b, 960);
    b.Text(QStringLiteral("Die Aufspaltung ist vom Typ:"), 600, 960, 8640, 255);
    f.cbxSplittenTypus = b.Element<forms::Kombinationsfeld>(QStringLiteral("cbxSplittenTypus"), 600, 1290, 8640, 345);

    Markierung(b, 1920);
    f.lblSplitten1 = b.Label(QStringLiteral("lblSplitten1"), QStringLiteral("Das Feld"), 600, 1920, 1080, 255);
    // A list 75 twips above its label puts both texts on one baseline.
    f.cbxSplitten1 = b.Element<forms::Kombinationsfeld>(QStringLiteral("cbxSplitten1"), 1740, 1845, 3000, 345);
    f.lblSplitten3 = b.Label(QStringLiteral("lblSplitten3"), QStringLiteral("und"), 4920, 1920, 480, 255);
    f.cbxSplitten2 = b.Element<forms::Kombinationsfeld>(QStringLiteral("cbxSplitten2"), 5400, 1845, 3000, 345);
    f.lblSplitten3->hide();
    f.cbxSplitten2->hide();
    f.lblSplitten2 = b.Label(QStringLiteral("lblSplitten2"), QStringLiteral("wird in mehrere Felder aufgespalten."),
                             600, 2310, 8640, 255);

    Markierung(b, 2880);
    b.Text(QStringLiteral("Die neuen Felder heißen:"), 600, 2880, 8640, 255);
    forms::Textfeld** namen[3] = {&f.tbxSplitten1, &f.tbxSplitten2, &f.tbxSplitten3};
    for (int i = 0; i < 3; ++i) {
        *namen[i] =
            b.Element<forms::Textfeld>(QStringLiteral("tbxSplitten%1").arg(i + 1), 600 + i * 2940, 3210, 2760, 330);
        (*namen[i])->setAccessibleName(QStringLiteral("%1. neues Feld").arg(i + 1));
    }

    f.shpSplitten_Verdeutlichung = Markierung(b, 3840, QStringLiteral("shpSplitten_Verdeutlichung"));
    f.shpSplitten_Verdeutlichung->hide();
    const QString satz = QStringLiteral("Die Felder sollen beim Trennzeichen         getrennt werden. ");
    f.lblSplitten4 = b.Label(QStringLiteral("lblSplitten4"), satz, 600, 3840, 8640, 255);
    f.lblSplitten4->setWordWrap(false);
    f.lblSplitten4->hide();
    // The separator box sits in the blanks of the sentence. Measured in the font
    // the label shows: its own is the window's old one until the font change arrives.
    const QFontMetrics maße(QApplication::font(f.lblSplitten4));
    const int vor = forms::Twips(maße.horizontalAdvance(QStringLiteral("Die Felder sollen beim Trennzeichen ")));
    const int lücke = forms::Twips(maße.horizontalAdvance(QStringLiteral("       ")));
    f.tbxSplitten_Trennzeichen = b.Element<forms::Textfeld>(QStringLiteral("tbxSplitten_Trennzeichen"), 600 + vor, 3780,
                                                            std::max(lücke, 360), 330);
    f.tbxSplitten_Trennzeichen->setMaxLength(1);
    f.tbxSplitten_Trennzeichen->TextSetzen(QStringLiteral("/"));
    f.tbxSplitten_Trennzeichen->setAlignment(Qt::AlignCenter);
    f.tbxSplitten_Trennzeichen->setEnabled(false);
    f.tbxSplitten_Trennzeichen->setAccessibleName(QStringLiteral("Trennzeichen"));

    f.chkSplittenLöschen = b.Häkchen(QStringLiteral("chkSplittenLöschen"), -1,
                                     QStringLiteral("Die ursprünglichen Felder werden gelöscht."), 0, 600, 4560, 6000);
}

void VerschmelzenBauen(frmHaupt& f) {
    Seitenbau b(f, 41);
    b.Text(QStringLiteral("Machen sie bitte die folgenden Angaben:"), 360, 420, 8880, 255);

    Markierung(b, 960);
    b.Text(QStringLiteral("Die Felder"), 600, 960, 1080, 255);
    f.cbxVerschmelzen1 = b.Element<forms::Kombinationsfeld>(QStringLiteral("cbxVerschmelzen1"), 1740, 885, 3000, 345);
    b.Text(QStringLiteral("und"), 4920, 960, 480, 255);
    f.cbxVerschmelzen2 = b.Element<forms::Kombinationsfeld>(QStringLiteral("cbxVerschmelzen2"), 5400, 885, 3000, 345);
    b.Text(QStringLiteral("werden zu einem Feld verschmolzen."), 600, 1350, 8640, 255);

    Markierung(b, 1920);
    b.Text(QStringLiteral("Das neue Feld heißt:"), 600, 1920, 1980, 255);
    f.tbxVerschmolzen = b.Element<forms::Textfeld>(QStringLiteral("tbxVerschmolzen"), 2640, 1860, 3600, 330);
    f.tbxVerschmolzen->setAccessibleName(QStringLiteral("Name des neuen Feldes"));

    Markierung(b, 2640);
    for (int i = 0; i < 2; ++i) {
        auto* o = b.Element<forms::Optionsfeld>(QStringLiteral("otnTrennzeichen"), i, 600, 2640 + i * 420, 6000, 255);
        o->CaptionSetzen(i == 0 ? QStringLiteral("             als Trennzeichen verwendet.")
                                : QStringLiteral("keine Trennzeichen verwendet."));
        f.otnTrennzeichen[i] = o;
    }
    f.otnTrennzeichen[0]->ValueSetzen(true);
    // The separator box sits in the blanks at the start of the first option's caption.
    const QStyle* stil = f.otnTrennzeichen[0]->style();
    const int marke = stil->pixelMetric(QStyle::PM_ExclusiveIndicatorWidth, nullptr, f.otnTrennzeichen[0]) +
                      stil->pixelMetric(QStyle::PM_RadioButtonLabelSpacing, nullptr, f.otnTrennzeichen[0]);
    const int lücke =
        QFontMetrics(QApplication::font(f.otnTrennzeichen[0])).horizontalAdvance(QStringLiteral("           "));
    f.tbxTrennzeichen = b.Element<forms::Textfeld>(QStringLiteral("tbxTrennzeichen"), 600 + forms::Twips(marke) + 30,
                                                   2595, forms::Twips(lücke), 330);
    f.tbxTrennzeichen->setMaxLength(3);
    f.tbxTrennzeichen->TextSetzen(QStringLiteral(" "));
    f.tbxTrennzeichen->setAccessibleName(QStringLiteral("Trennzeichen"));

    f.chkVerschmelzenLöschen =
        b.Häkchen(QStringLiteral("chkVerschmelzenLöschen"), -1,
                  QStringLiteral("Die ursprünglichen Felder werden gelöscht."), 0, 600, 3600, 6000);
}

}  // namespace

void SeitenOptionenBauen(frmHaupt& f) {
    SuchoptionenBauen(f);
    MüllKriterienBauen(f);
    SplittenBauen(f);
    VerschmelzenBauen(f);
}
