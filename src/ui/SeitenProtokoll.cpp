// The review pages (shown while a review dialog is open) and the result pages.
#include "ui/Seiten.h"
#include "ui/Seitenbau.h"

namespace {

// Three bars standing on one line, a legend of three squares with a label each,
// and a fourth label for the percentage below the legend.
void DiagrammBauen(frmHaupt& f, int seite, const QString& balken, const QString& beschriftung, const QString& vierte) {
    Seitenbau b(f, seite);
    const QColor farben[3] = {QColor(0x2e, 0xa0, 0x4f), QColor(0xd0, 0x31, 0x2d), QColor(0xf2, 0xc2, 0x1b)};
    const int links[3] = {600, 1740, 2880};
    for (int i = 0; i < 3; ++i) {
        auto* s = b.Element<forms::Figur>(balken + QString::number(i + 1), links[i], 600, 675, 3435);
        s->FüllfarbeSetzen(farben[i]);
        // Each square centred on the letters of its label.
        auto* marke = new forms::Figur(b.seite);
        forms::Platzieren(marke, 4200, 1050 + i * 480, 180, 180);
        marke->FüllfarbeSetzen(farben[i]);
        b.Label(beschriftung + QString::number(i + 1), QString(), 4560, 1035 + i * 480, 4680, 255);
    }
    b.Label(vierte, QString(), 4200, 2760, 5040, 255);
}

void ErfolgBauen(frmHaupt& f, int seite, const QString& text) {
    Seitenbau b(f, seite);
    b.Text(text, 360, 600, 8880, 255);
}

}  // namespace

void SeitenProtokollBauen(frmHaupt& f) {
    DiagrammBauen(f, 13, QStringLiteral("shpDubletten"), QStringLiteral("lblDubletten"),
                  QStringLiteral("lblDublettenVerunreinigung"));
    DiagrammBauen(f, 23, QStringLiteral("shpMüll"), QStringLiteral("lblMüll"), QStringLiteral("lblMüllVerunreinigung"));
    DiagrammBauen(f, 53, QStringLiteral("shpDatenabgleich"), QStringLiteral("lblDatenabgleich"),
                  QStringLiteral("lblDatenabgleich4"));
    DiagrammBauen(f, 63, QStringLiteral("shpNeueDaten"), QStringLiteral("lblNeueDaten"),
                  QStringLiteral("lblNeueDaten4"));
    ErfolgBauen(f, 32, QStringLiteral("Splitten erfolgreich abgeschlossen."));
    ErfolgBauen(f, 42, QStringLiteral("Verschmelzen erfolgreich abgeschlossen."));
}
