#include "ui/frmDublettenBearbeiten.h"

#include <algorithm>
#include <string>

#include "foundation/Oberflaeche.h"
#include "foundation/mdlDatenbank.h"
#include "foundation/mdlDeklarationen.h"
#include "foundation/mdlMeldungen.h"
#include "platform/basic/VbKonstanten.h"
#include "platform/dao/Dao.h"
#include "search/mdlSuchpuffer.h"

namespace {

// The window in twips: three folders one below the other, each a label over
// its grid with the move button at its right; the buttons of the dialog below.
namespace maß {
inline constexpr int Breite = 10455, Höhe = 8325, Rand = 120;
inline constexpr int Zeilenhöhe = 255, Rasterhöhe = 2160, Abstand = 120;
inline constexpr int Knopfbreite = 495, Einzug = 480;
inline constexpr int KnopfLinks = Breite - Rand - Knopfbreite;
inline constexpr int Schaltbreite = 1455, Schalthöhe = 375, SchaltOben = Höhe - Rand - Schalthöhe;
constexpr int Oben(int ordner) { return Rand + ordner * (Zeilenhöhe + Rasterhöhe + Abstand); }
}  // namespace maß

const Text Fehlertext = u"Fehler beim Anzeigen der Ergebnisse der Dublettensuche.";

int Übernehmen(int) { return StatusAngereichertÜbernehmen; }
int DubletteÜbernehmen(int) { return StatusDubletteÜbernehmen; }
int Zurücklegen(int status) {
    if (status == StatusAngereichertÜbernehmen) return StatusAngereichert;
    if (status == StatusDubletteÜbernehmen) return StatusDublette;
    return status;
}

Text Zahl(int64_t n) { return ausUtf8(std::to_string(n)); }
Text Tabelle() { return dao::SqlBezeichner(gZieltabelle); }
Text Status(int s) { return u"[" + Text(SpalteStatus) + u"] = " + Zahl(s); }

int Fragen(const Text& text, int stil) { return Oberfläche().Meldung(text, stil, Text()); }

}  // namespace

frmDublettenBearbeiten::frmDublettenBearbeiten(QWidget* eltern)
    : Nachbearbeitungsfenster(eltern, QStringLiteral("frmDublettenBearbeiten"),
                              QStringLiteral(" Nachbearbeitung der Dubletten"), maß::Breite, maß::Höhe, Fehlertext),
      tmrAnsicht(this) {
    using namespace maß;
    const int rasterbreite = KnopfLinks - Abstand - Rand;
    struct Ordner {
        forms::Beschriftung** label;
        const char16_t *labelName, *labelText;
        Datenraster** raster;
        Rastermodell** daten;
        const char16_t *rasterName, *datenName, *datenCaption;
        forms::Schaltfläche** knopf;
        const char16_t* knopfName;
        int einzug;
        bool abwärts;
    };
    const Ordner ordner[] = {
        {&Label1, u"Label1", u"Angereicherte Datensätze:", &dgdAngereichert, &adoAngereichert, u"dgdAngereichert",
         u"adoAngereichert", u"Angereichert", &btnAngereichert, u"btnAngereichert", 0, true},
        {&Label2, u"Label2", u"Zugeordnete Dubletten:", &dgdDublette, &adoDublette, u"dgdDublette", u"adoDublette",
         u"Dublette", &btnDublette, u"btnDublette", Einzug - Rand, true},
        {&Label3, u"Label3", u"Tatsächlich zu übernehmende Datensätze:", &dgdÜbernehmen, &adoÜbernehmen,
         u"dgdÜbernehmen", u"adoÜbernehmen", u"Übernehmen", &btnÜbernehmen, u"btnÜbernehmen", 0, false},
    };
    for (int i = 0; i < 3; ++i) {
        const Ordner& o = ordner[i];
        const int oben = Oben(i), links = Rand + o.einzug;
        *o.label = Beschriftung(forms::Q(o.labelName), forms::Q(o.labelText), links, oben, 6000, Zeilenhöhe);
        *o.raster = Raster(forms::Q(o.rasterName), forms::Q(o.datenName), forms::Q(o.datenCaption), links,
                           oben + Zeilenhöhe, rasterbreite - o.einzug, Rasterhöhe);
        *o.daten = &(*o.raster)->Daten();
        *o.knopf =
            Verschiebeknopf(forms::Q(o.knopfName), o.abwärts, KnopfLinks, oben + Zeilenhöhe, Knopfbreite, Rasterhöhe);
    }
    btnHilfe = Knopf(QStringLiteral("btnHilfe"), QStringLiteral("Hilfe"), Rand, SchaltOben, Schaltbreite, Schalthöhe);
    btnFertig = Knopf(QStringLiteral("btnFertig"), QStringLiteral("Fertig"), Breite - Rand - Schaltbreite, SchaltOben,
                      Schaltbreite, Schalthöhe);
    btnAbbrechen = Knopf(QStringLiteral("btnAbbrechen"), QStringLiteral("Abbrechen"),
                         Breite - Rand - 2 * Schaltbreite - Abstand, SchaltOben, Schaltbreite, Schalthöhe);
    gesperrt_ = {btnFertig, btnAngereichert, btnDublette, btnÜbernehmen};

    dgdAngereichert->Taste = [this](int k, int u) { dgdAngereichert_Taste(k, u); };
    dgdAngereichert->Auswahl = [this] { dgdAngereichert_Auswahl(); };
    dgdAngereichert->Maustaste = [this](int k, int u, int x, int y) { dgdAngereichert_Maustaste(k, u, x, y); };
    dgdDublette->Maustaste = [this](int k, int u, int x, int y) { dgdDublette_Maustaste(k, u, x, y); };
    dgdÜbernehmen->Maustaste = [this](int k, int u, int x, int y) { dgdÜbernehmen_Maustaste(k, u, x, y); };
    btnAngereichert->Click = [this] { btnAngereichert_Click(); };
    btnDublette->Click = [this] { btnDublette_Click(); };
    btnÜbernehmen->Click = [this] { btnÜbernehmen_Click(); };
    btnFertig->Click = [this] { btnFertig_Click(); };
    btnAbbrechen->Click = [this] { btnAbbrechen_Click(); };
    btnHilfe->Click = [this] { btnHilfe_Click(); };
    tmrAnsicht.Timer = [this] { tmrAnsicht_Timer(); };
    tmrAnsicht.IntervalSetzen(10);
    tmrAnsicht.EnabledSetzen(false);
}

frmDublettenBearbeiten::~frmDublettenBearbeiten() = default;

bool frmDublettenBearbeiten::Form_Load() {
    Fehlerfalle falle([] { return Fehlertext; });
    const std::function<void()> schritte[] = {
        [&] { rsAngereichert = Datenbank().OpenRecordset(u"SELECT * FROM " + Tabelle() + u" WHERE " + Status(12)); },
        [&] {
            adoAngereichert->ConnectionString = gADOVerbindung;
            adoAngereichert->RecordSourceSetzen({gZieltabelle, {StatusAngereichert}, std::nullopt, false});
        },
        [&] {
            rsÜbernehmen = Datenbank().OpenRecordset(u"SELECT * FROM " + Tabelle() + u"WHERE " + Status(21) + u" OR " +
                                                     Status(22));
        },
        [&] {
            adoÜbernehmen->ConnectionString = gADOVerbindung;
            adoÜbernehmen->RecordSourceSetzen(
                {gZieltabelle, {StatusAngereichertÜbernehmen, StatusDubletteÜbernehmen}, std::nullopt, false});
        },
        [&] {
            azlTempFelder = 0;
            for (const auto& f : Objekt(rsÜbernehmen).Fields().liste())
                if (f->Name().find(u"TEMP_") != Text::npos) ++azlTempFelder;
        },
        [&] { AngereichertAktualisieren(); },
        [&] { DublettenAktualisieren(); },
        [&] { ÜbernehmenAktualisieren(); },
    };
    for (const auto& schritt : schritte) {
        if (falle(schritt)) continue;
        RecordsetSchließen(rsAngereichert);
        RecordsetSchließen(rsÜbernehmen);
        Schließen();
        return false;
    }
    return true;
}

// ---- reloading the folders ----

void frmDublettenBearbeiten::Formatieren(Datenraster& raster) {
    raster.Refresh();
    if (raster.Spaltenzahl() == 0) return;
    raster.SpaltenbeschriftungSetzen(0, QStringLiteral("--< Anmerkungen >--"));
    // In the font shown here the caption needs a little more than the 1600 twips it was given.
    raster.SpaltenbreiteSetzen(0, std::max(1600, raster.Kopfbreite(0)));
    for (int i = 1; i <= azlTempFelder - 1; ++i)
        if (raster.Spaltenzahl() - i >= 0) raster.SpalteSichtbarSetzen(raster.Spaltenzahl() - i, false);
}

void frmDublettenBearbeiten::AngereichertAktualisieren() { Formatieren(*dgdAngereichert); }

void frmDublettenBearbeiten::ÜbernehmenAktualisieren() { Formatieren(*dgdÜbernehmen); }

int32_t frmDublettenBearbeiten::Gruppennummer() const { return dgdAngereichert->Wert(SpalteGruppe).alsLong(); }

Datenquelle frmDublettenBearbeiten::Gruppe() const { return {gZieltabelle, {StatusDublette}, Gruppennummer(), false}; }

void frmDublettenBearbeiten::Gruppenabfrage(bool mitGruppe, bool leerOhneLeerzeichen) {
    adoDublette->RecordSourceSetzen(mitGruppe ? Gruppe() : Datenquelle{gZieltabelle, {}, {}, leerOhneLeerzeichen});
    Formatieren(*dgdDublette);
}

void frmDublettenBearbeiten::DublettenAktualisieren() {
    adoDublette->ConnectionString = gADOVerbindung;
    Gruppenabfrage(adoAngereichert->RecordCount() > 0, false);
}

// The group folder follows the enriched grid one timer tick late, so that a
// key that moves the row is read after the move, and a burst of events gives one reload.
void frmDublettenBearbeiten::DublettenAnzeigen() {
    adoDublette->ConnectionString = gADOVerbindung;
    if (adoAngereichert->RecordCount() == 0) {
        Gruppenabfrage(false, true);
        return;
    }
    tmrAnsicht.IntervalSetzen(10);
    tmrAnsicht.EnabledSetzen(true);
}

void frmDublettenBearbeiten::tmrAnsicht_Timer() {
    tmrAnsicht.EnabledSetzen(false);
    // A move may have emptied the enriched folder within the tick.
    Behandeln([&] { Gruppenabfrage(!dgdAngereichert->EOF_(), false); });
}

void frmDublettenBearbeiten::dgdAngereichert_Taste(int tastencode, int) {
    if (tastencode == 38 || tastencode == 40 || tastencode == 33 || tastencode == 34)
        Behandeln([&] { DublettenAnzeigen(); });
}

void frmDublettenBearbeiten::dgdAngereichert_Auswahl() {
    Behandeln([&] { DublettenAnzeigen(); });
}

// ---- moves ----

void frmDublettenBearbeiten::dgdAngereichert_Maustaste(int knopf, int, int, int) {
    if (knopf != 2 || Schließt() || VerschiebtAlle() || dgdAngereichert->EOF_()) return;
    Behandeln([&] {
        Objekt(rsAngereichert).Requery();
        if (rsAngereichert->EOF_()) return;
        EinenSchreiben(rsAngereichert, dgdAngereichert->Wert(SpalteNummer), Übernehmen);
        AngereichertAktualisieren();
        DublettenAktualisieren();
        ÜbernehmenAktualisieren();
    });
}

void frmDublettenBearbeiten::dgdDublette_Maustaste(int knopf, int, int, int) {
    if (knopf != 2 || Schließt() || VerschiebtAlle() || dgdDublette->EOF_() || dgdAngereichert->EOF_()) return;
    Behandeln([&] {
        rsDublette = Datenbank().OpenRecordset(Text(u"SELECT * FROM ") + Tabelle() + u"WHERE " + Status(13) + u"AND [" +
                                               SpalteGruppe + u"] = " + Zahl(Gruppennummer()));
        if (rsDublette->EOF_()) return;
        EinenSchreiben(rsDublette, dgdDublette->Wert(SpalteNummer), DubletteÜbernehmen);
        RecordsetSchließen(rsDublette);
        DublettenAktualisieren();
        ÜbernehmenAktualisieren();
    });
}

void frmDublettenBearbeiten::dgdÜbernehmen_Maustaste(int knopf, int, int, int) {
    if (knopf != 2 || Schließt() || VerschiebtAlle() || dgdÜbernehmen->EOF_()) return;
    Behandeln([&] {
        Objekt(rsÜbernehmen).Requery();
        if (rsÜbernehmen->EOF_()) return;
        EinenSchreiben(rsÜbernehmen, dgdÜbernehmen->Wert(SpalteNummer), Zurücklegen);
        AngereichertAktualisieren();
        DublettenAktualisieren();
        ÜbernehmenAktualisieren();
    });
}

void frmDublettenBearbeiten::btnAngereichert_Click() {
    if (Schließt() || VerschiebtAlle()) return;
    Behandeln([&] {
        Objekt(rsAngereichert).Requery();
        if (rsAngereichert->EOF_()) return;
        Sperre sperre(*this);
        if (!AlleSchreiben(rsAngereichert, Übernehmen, true)) return;
        AngereichertAktualisieren();
        DublettenAktualisieren();
        ÜbernehmenAktualisieren();
    });
}

void frmDublettenBearbeiten::btnDublette_Click() {
    if (Schließt() || VerschiebtAlle() || adoAngereichert->RecordCount() == 0) return;
    Behandeln([&] {
        // The group of the enriched grid's row, whatever the group grid shows before its tick.
        rsDublette = Datenbank().OpenRecordset(Text(u"SELECT * FROM ") + Tabelle() + u"WHERE " + Status(13) + u"AND [" +
                                               SpalteGruppe + u"] = " + Zahl(Gruppennummer()));
        if (rsDublette->EOF_()) return;
        Sperre sperre(*this);
        if (!AlleSchreiben(rsDublette, DubletteÜbernehmen, true)) return;
        RecordsetSchließen(rsDublette);
        DublettenAktualisieren();
        ÜbernehmenAktualisieren();
    });
}

void frmDublettenBearbeiten::btnÜbernehmen_Click() {
    if (Schließt() || VerschiebtAlle()) return;
    Behandeln([&] {
        Objekt(rsÜbernehmen).Requery();
        if (rsÜbernehmen->EOF_()) return;
        Sperre sperre(*this);
        if (!AlleSchreiben(rsÜbernehmen, Zurücklegen, false)) return;
        AngereichertAktualisieren();
        DublettenAktualisieren();
        ÜbernehmenAktualisieren();
    });
}

// ---- closing ----

void frmDublettenBearbeiten::btnFertig_Click() {
    if (Schließt() || VerschiebtAlle()) return;
    if (adoÜbernehmen->RecordCount() == 0 && Fragen(u"Sie haben keine Datensätze zum Übernehmen ausgewählt!\r"
                                                    u"Alle angezeigten Datensätze werden gelöscht. Sind sie sicher?\r\r"
                                                    u"(beim Datenabgleich ist dies der Normalfall)",
                                                    vb::YesNo + vb::Information + vb::DefaultButton2) != vb::Yes)
        return;
    if (Fragen(u"Sollen wirklich sämtliche in den Ordnern 'Angereicherte Datensätze'\r"
               u" und 'Dubletten' befindliche Datensätze gelöscht werden?",
               vb::YesNo + vb::Information) != vb::Yes)
        return;
    // The enriched records of the run, taken over or not: the result page counts
    // one of each group's members as no contamination.
    if (!Behandeln([&] {
            auto rs = Datenbank().OpenRecordset(u"SELECT * FROM " + Tabelle() + u" WHERE " + Status(12) + u" OR " +
                                                Status(21));
            azlAngereichert = rs->RecordCount();
            RecordsetSchließen(rs);
        }))
        return;
    RecordsetSchließen(rsAngereichert);
    RecordsetSchließen(rsÜbernehmen);
    tmrAnsicht.EnabledSetzen(false);
    Schließen();
}

void frmDublettenBearbeiten::btnAbbrechen_Click() {
    if (Schließt()) return;
    AllesZurückrollen();
    RecordsetSchließen(rsAngereichert);
    RecordsetSchließen(rsÜbernehmen);
    RecordsetSchließen(rsDublette);
    tmrAnsicht.EnabledSetzen(false);
    Schließen();
    gAbbruch = true;
}

void frmDublettenBearbeiten::btnHilfe_Click() {
    if (Hilfe) Hilfe();
}
