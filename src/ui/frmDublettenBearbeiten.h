#pragma once
// The review of a duplicate search: the user moves the records to keep from the
// enriched records and the members of the selected group into the take-over
// folder. Changes nothing but TEMP_DSS, between 12 and 21 and between 13 and 22;
// the caller deletes what is still marked once the dialog has closed.
#include <cstdint>
#include <functional>
#include <memory>

#include "platform/forms/Anwendung.h"
#include "ui/Rastermodell.h"

class frmDublettenBearbeiten : public Nachbearbeitungsfenster {
public:
    explicit frmDublettenBearbeiten(QWidget* eltern = nullptr);
    ~frmDublettenBearbeiten() override;

    // Opens the folders of the work table gZieltabelle. False when the error box
    // of the load was answered "Abbrechen": gFehlerAbbruch is set, the dialog closed.
    bool Form_Load();

    // The enriched records of the run (status 12 or 21) when "Fertig" was confirmed.
    int32_t azlAngereichert = 0;
    // What "Hilfe" shows (the main window gives it the help window).
    std::function<void()> Hilfe;

    // ---- the handlers, as the controls call them ----
    void dgdAngereichert_Taste(int tastencode, int umschalt);
    void dgdAngereichert_Auswahl();
    void tmrAnsicht_Timer();
    void dgdAngereichert_Maustaste(int knopf, int umschalt, int x, int y);
    void dgdDublette_Maustaste(int knopf, int umschalt, int x, int y);
    void dgdÜbernehmen_Maustaste(int knopf, int umschalt, int x, int y);
    void btnAngereichert_Click();
    void btnDublette_Click();
    void btnÜbernehmen_Click();
    void btnFertig_Click();
    void btnAbbrechen_Click() override;
    void btnHilfe_Click();

    // ---- controls ----
    forms::Beschriftung *Label1 = nullptr, *Label2 = nullptr, *Label3 = nullptr;
    Datenraster *dgdAngereichert = nullptr, *dgdDublette = nullptr, *dgdÜbernehmen = nullptr;
    Rastermodell *adoAngereichert = nullptr, *adoDublette = nullptr, *adoÜbernehmen = nullptr;
    forms::Schaltfläche *btnAngereichert = nullptr, *btnDublette = nullptr, *btnÜbernehmen = nullptr;
    forms::Schaltfläche *btnHilfe = nullptr, *btnFertig = nullptr, *btnAbbrechen = nullptr;
    forms::Zeitgeber tmrAnsicht;

    // The editing recordsets; rsDublette only during a move out of the group folder.
    std::shared_ptr<dao::Recordset> rsAngereichert, rsDublette, rsÜbernehmen;
    // Columns of the work table named "TEMP_…": the grids hide all but one of them.
    int16_t azlTempFelder = 0;

private:
    void AngereichertAktualisieren();
    void DublettenAktualisieren();
    void ÜbernehmenAktualisieren();
    void DublettenAnzeigen();
    void Formatieren(Datenraster& raster);
    // TEMP_BN of the enriched grid's current row.
    int32_t Gruppennummer() const;
    Datenquelle Gruppe() const;
    void Gruppenabfrage(bool mitGruppe, bool leerOhneLeerzeichen);
};
