#include "ui/frmMuellBearbeiten.h"

#include <string>

#include "foundation/Oberflaeche.h"
#include "foundation/mdlDatenbank.h"
#include "foundation/mdlDeklarationen.h"
#include "foundation/mdlMeldungen.h"
#include "platform/basic/VbKonstanten.h"
#include "platform/dao/Dao.h"
#include "search/mdlSuchpuffer.h"

namespace {

// The window in twips: two folders one below the other, each a label over its
// grid with the move button at its right; the buttons of the dialog below.
namespace maß {
inline constexpr int Breite = 10500, Höhe = 7935, Rand = 120;
inline constexpr int Zeilenhöhe = 255, Rasterhöhe = 3240, Abstand = 120, Knopfbreite = 495;
inline constexpr int KnopfLinks = Breite - Rand - Knopfbreite;
inline constexpr int Schaltbreite = 1455, Schalthöhe = 375, SchaltOben = Höhe - Rand - Schalthöhe;
constexpr int Oben(int ordner) { return Rand + ordner * (Zeilenhöhe + Rasterhöhe + Abstand); }
}  // namespace maß

const Text Fehlertext = u"Fehler beim Anzeigen der Ergebnisse der Müllsuche.";

int Beibehalten(int) { return StatusMüllBeibehalten; }
int Zurücklegen(int status) { return status == StatusMüllBeibehalten ? StatusMüll : status; }

Text Abfrage(int status) {
    return u"SELECT * FROM " + dao::SqlBezeichner(gZieltabelle) + u" WHERE [" + SpalteStatus + u"] = " +
           ausUtf8(std::to_string(status));
}

}  // namespace

frmMüllBearbeiten::frmMüllBearbeiten(QWidget* eltern)
    : Nachbearbeitungsfenster(eltern, QStringLiteral("frmMüllBearbeiten"), QStringLiteral(" Nachbearbeitung"),
                              maß::Breite, maß::Höhe, Fehlertext) {
    using namespace maß;
    const int rasterbreite = KnopfLinks - Abstand - Rand;
    Label2 = Beschriftung(QStringLiteral("Label2"), QStringLiteral("Mülldatensätze:"), Rand, Oben(0), 6000, Zeilenhöhe);
    dgdMüll = Raster(QStringLiteral("dgdMüll"), QStringLiteral("adoMüll"), QStringLiteral("Müll"), Rand,
                     Oben(0) + Zeilenhöhe, rasterbreite, Rasterhöhe);
    btnMüll =
        Verschiebeknopf(QStringLiteral("btnMüll"), true, KnopfLinks, Oben(0) + Zeilenhöhe, Knopfbreite, Rasterhöhe);
    Label3 =
        Beschriftung(QStringLiteral("Label3"), QStringLiteral("Doch beibehalten:"), Rand, Oben(1), 6000, Zeilenhöhe);
    dgdÜbernehmen = Raster(QStringLiteral("dgdÜbernehmen"), QStringLiteral("adoÜbernehmen"),
                           QStringLiteral("Übernehmen"), Rand, Oben(1) + Zeilenhöhe, rasterbreite, Rasterhöhe);
    btnÜbernehmen = Verschiebeknopf(QStringLiteral("btnÜbernehmen"), false, KnopfLinks, Oben(1) + Zeilenhöhe,
                                    Knopfbreite, Rasterhöhe);
    adoMüll = &dgdMüll->Daten();
    adoÜbernehmen = &dgdÜbernehmen->Daten();
    btnHilfe = Knopf(QStringLiteral("btnHilfe"), QStringLiteral("Hilfe"), Rand, SchaltOben, Schaltbreite, Schalthöhe);
    btnFertig = Knopf(QStringLiteral("btnFertig"), QStringLiteral("Fertig"), Breite - Rand - Schaltbreite, SchaltOben,
                      Schaltbreite, Schalthöhe);
    btnAbbrechen = Knopf(QStringLiteral("btnAbbrechen"), QStringLiteral("Abbrechen"),
                         Breite - Rand - 2 * Schaltbreite - Abstand, SchaltOben, Schaltbreite, Schalthöhe);
    gesperrt_ = {btnFertig, btnMüll, btnÜbernehmen};

    dgdMüll->Maustaste = [this](int k, int u, int x, int y) { dgdMüll_Maustaste(k, u, x, y); };
    dgdÜbernehmen->Maustaste = [this](int k, int u, int x, int y) { dgdÜbernehmen_Maustaste(k, u, x, y); };
    btnMüll->Click = [this] { btnMüll_Click(); };
    btnÜbernehmen->Click = [this] { btnÜbernehmen_Click(); };
    btnFertig->Click = [this] { btnFertig_Click(); };
    btnAbbrechen->Click = [this] { btnAbbrechen_Click(); };
    btnHilfe->Click = [this] { btnHilfe_Click(); };
}

frmMüllBearbeiten::~frmMüllBearbeiten() = default;

bool frmMüllBearbeiten::Form_Load() {
    Fehlerfalle falle([] { return Fehlertext; });
    const std::function<void()> schritte[] = {
        [&] { rsMüll = Datenbank().OpenRecordset(Abfrage(StatusMüll)); },
        [&] {
            adoMüll->ConnectionString = gADOVerbindung;
            adoMüll->RecordSourceSetzen({gZieltabelle, {StatusMüll}, std::nullopt, false});
        },
        [&] { rsÜbernehmen = Datenbank().OpenRecordset(Abfrage(StatusMüllBeibehalten)); },
        [&] {
            adoÜbernehmen->ConnectionString = gADOVerbindung;
            adoÜbernehmen->RecordSourceSetzen({gZieltabelle, {StatusMüllBeibehalten}, std::nullopt, false});
        },
        [&] { MüllAktualisieren(); },
        [&] { ÜbernehmenAktualisieren(); },
    };
    for (const auto& schritt : schritte) {
        if (falle(schritt)) continue;
        RecordsetSchließen(rsMüll);
        RecordsetSchließen(rsÜbernehmen);
        Schließen();
        return false;
    }
    return true;
}

// The remark first and wide enough for a line of it; TEMP_DSN and the second
// TEMP_AMK hidden, TEMP_DSS the last column shown.
void frmMüllBearbeiten::Formatieren(Datenraster& raster) {
    raster.Refresh();
    const int n = raster.Spaltenzahl();
    if (n == 0) return;
    raster.SpaltenbeschriftungSetzen(0, QStringLiteral("--< Anmerkungen >--"));
    raster.SpaltenbreiteSetzen(0, 3000);
    for (int i = 1; i <= 2; ++i)
        if (n - i >= 0) raster.SpalteSichtbarSetzen(n - i, false);
}

void frmMüllBearbeiten::MüllAktualisieren() { Formatieren(*dgdMüll); }

void frmMüllBearbeiten::ÜbernehmenAktualisieren() { Formatieren(*dgdÜbernehmen); }

// ---- moves ----

void frmMüllBearbeiten::Verschieben(Datenraster& raster, const std::shared_ptr<dao::Recordset>& rs, int (*neu)(int)) {
    if (Schließt() || VerschiebtAlle() || raster.EOF_()) return;
    Behandeln([&] {
        Objekt(rs).Requery();
        if (rs->EOF_()) return;
        EinenSchreiben(rs, raster.Wert(SpalteNummer), neu);
        MüllAktualisieren();
        ÜbernehmenAktualisieren();
    });
}

void frmMüllBearbeiten::AlleVerschieben(const std::shared_ptr<dao::Recordset>& rs, int (*neu)(int)) {
    if (Schließt() || VerschiebtAlle()) return;
    Behandeln([&] {
        Objekt(rs).Requery();
        if (rs->EOF_()) return;
        Sperre sperre(*this);
        if (!AlleSchreiben(rs, neu, true)) return;
        MüllAktualisieren();
        ÜbernehmenAktualisieren();
    });
}

void frmMüllBearbeiten::dgdMüll_Maustaste(int knopf, int, int, int) {
    if (knopf == 2) Verschieben(*dgdMüll, rsMüll, Beibehalten);
}

void frmMüllBearbeiten::dgdÜbernehmen_Maustaste(int knopf, int, int, int) {
    if (knopf == 2) Verschieben(*dgdÜbernehmen, rsÜbernehmen, Zurücklegen);
}

void frmMüllBearbeiten::btnMüll_Click() { AlleVerschieben(rsMüll, Beibehalten); }

void frmMüllBearbeiten::btnÜbernehmen_Click() { AlleVerschieben(rsÜbernehmen, Zurücklegen); }

// ---- closing ----

void frmMüllBearbeiten::btnFertig_Click() {
    if (Schließt() || VerschiebtAlle()) return;
    if (Oberfläche().Meldung(u"Sollen wirklich sämtliche im Ordner 'Mülldatensätze'\r"
                             u"befindliche Datensätze gelöscht werden?",
                             vb::YesNo + vb::Information, Text()) != vb::Yes)
        return;
    RecordsetSchließen(rsMüll);
    RecordsetSchließen(rsÜbernehmen);
    Schließen();
}

void frmMüllBearbeiten::btnAbbrechen_Click() {
    if (Schließt()) return;
    AllesZurückrollen();
    RecordsetSchließen(rsMüll);
    RecordsetSchließen(rsÜbernehmen);
    Schließen();
    gAbbruch = true;
}

void frmMüllBearbeiten::btnHilfe_Click() {
    if (Hilfe) Hilfe();
}
