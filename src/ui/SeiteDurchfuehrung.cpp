// The progress page and its two timers; the core computes what they show.
#include "foundation/mdlMeldungen.h"
#include "ui/Seiten.h"
#include "ui/Seitenbau.h"

void tmrFortschritt_Timer() { FortschrittBalkenTakt(); }

void tmrDauer_Timer() { FortschrittDauerTakt(); }

void SeiteDurchführungBauen(frmHaupt& f) {
    Seitenbau b(f, 6);
    f.lblInformation = b.Label(QStringLiteral("lblInformation"), QStringLiteral("Information"), 360, 600, 8880, 960);
    f.lblDatensätze =
        b.Label(QStringLiteral("lblDatensätze"), QStringLiteral("Datensätze insgesamt"), 360, 1680, 8880, 255);
    b.Text(QStringLiteral("Fortschritt:"), 360, 2460, 1320, 255);
    f.pgbTeilFortschritt =
        b.Element<forms::Fortschrittsbalken>(QStringLiteral("pgbTeilFortschritt"), 1680, 2400, 6360, 360);
    f.pgbTeilFortschritt->setAccessibleName(QStringLiteral("Fortschritt"));
    f.lblTeilFortschritt = b.Label(QStringLiteral("lblTeilFortschritt"), QString(), 8160, 2460, 1080, 255);
    f.lblDauer = b.Label(QStringLiteral("lblDauer"), QStringLiteral("Geschätzte Dauer :"), 1680, 3000, 6360, 255);
    f.lblVerbleibendeZeit =
        b.Label(QStringLiteral("lblVerbleibendeZeit"), QStringLiteral("Verbleibende Zeit  :"), 1680, 3360, 6360, 255);
}
